// The media library file as other processes leave it: changed under a
// running query, locked, missing or something else in its place. Queries
// fail and say why; nothing ends the process.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MediaLibraryGenerator.h>
#include <MusicApp/MusicApp.h>
#include <platform/Log.h>

#include "../platform/MediaPlayer/LibraryStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <chrono>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string libraryFile() { return platform::devicePath(platform::mediaLibraryDevicePath()); }

NSUInteger songCount() {
    AutoreleasePool pool;
    id items = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
    return objc_msgSend<NSUInteger()>(items, "count"_sel);
}

TEST(LibraryFile, ChangedUnderARunningQueryGivesAnErrorNotASignal) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> change;
    };
    const Case cases[] = {
        {"truncated to nothing", [](const std::string& f) { ASSERT_EQ(truncate(f.c_str(), 0), 0); }},
        {"truncated to its first page", [](const std::string& f) { ASSERT_EQ(truncate(f.c_str(), 4096), 0); }},
        {"cut in half",
         [](const std::string& f) { ASSERT_EQ(truncate(f.c_str(), static_cast<off_t>(fs::file_size(f) / 2)), 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempRoot root;
        std::string error;
        ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {.songs = 3000, .seed = 3}, &error)) << error;
        // The connection is open, and has read none of the items yet.
        ASSERT_TRUE(platform::medialibrary::readRows("SELECT count(*) FROM genre", {}, [](sqlite3_stmt*) {}));
        size_t rows = 0;
        unsigned long unreadable = platform::mediaLibraryReadFailures().unreadable;
        bool read = platform::medialibrary::readRows("SELECT title, artist, location FROM item", {},
                                                     [&](sqlite3_stmt*) {
                                                         if (rows++ == 0) c.change(libraryFile());
                                                     });
        EXPECT_FALSE(read);
        EXPECT_LT(rows, 3000u);
        EXPECT_GT(platform::mediaLibraryReadFailures().unreadable, unreadable);
        // Later queries see the damaged file as it is.
        EXPECT_EQ(songCount(), 0u);
    }
}

TEST(LibraryFile, LockedByAnotherConnectionReadsAsBusy) {
    test::TempRoot root;
    std::string error;
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {.songs = 40, .seed = 3}, &error)) << error;
    platform::registerMusicApp({.radio = false});
    platform::MusicApp app;
    app.launch();
    ASSERT_EQ(songCount(), 40u);

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(libraryFile().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    unsigned long busy = platform::mediaLibraryReadFailures().busy;
    EXPECT_EQ(songCount(), 0u);
    EXPECT_GT(platform::mediaLibraryReadFailures().busy, busy);
    // A screen is not shown as an empty list, nor an album as missing.
    for (auto [screen, pid] : {std::pair<const char*, std::optional<unsigned long long>>{"songs", std::nullopt},
                               {"albums", std::nullopt},
                               {"album", 1ull}}) {
        SCOPED_TRACE(screen);
        std::string why;
        EXPECT_FALSE(app.openScreen(screen, pid, &why));
        EXPECT_EQ(why, "the media library is busy (another process holds its lock)");
    }
    // Once the lock goes, so does the trouble.
    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    busy = platform::mediaLibraryReadFailures().busy;
    std::string why;
    EXPECT_TRUE(app.openScreen("albums", std::nullopt, &why)) << why;
    EXPECT_EQ(songCount(), 40u);
    EXPECT_EQ(platform::mediaLibraryReadFailures().busy, busy);
    app.shutdown();
}

// A write in progress elsewhere (here: a lock held for 0.3 s) is waited for,
// also by a connection opened again because the file changed since the last
// read.
TEST(LibraryFile, AReadWaitsForAShortWriteAfterTheFileChanged) {
    test::TempRoot root;
    std::string error;
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {.songs = 40, .seed = 3}, &error)) << error;
    platform::registerMusicApp({.radio = false});
    platform::MusicApp app;
    app.launch();
    ASSERT_EQ(songCount(), 40u);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(libraryFile().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "UPDATE item SET title = title || ' (edit)'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    unsigned long busy = platform::mediaLibraryReadFailures().busy;
    EXPECT_EQ(songCount(), 40u);
    EXPECT_EQ(platform::mediaLibraryReadFailures().busy, busy);
    release.join();
    sqlite3_close(other);
    app.shutdown();
}

TEST(LibraryFile, AMissingLibraryOrADirectoryInItsPlaceIsNamedOnce) {
    struct Case {
        const char* what;
        bool directory;
        const char* logged;
    };
    const Case cases[] = {
        {"missing", false, "MediaPlayer: there is no media library at "},
        {"a directory", true, "MediaPlayer: the media library "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempRoot root;
        if (c.directory) fs::create_directories(libraryFile());
        platform::clearRecentLogLines();
        unsigned long missing = platform::mediaLibraryReadFailures().missing;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(songCount(), 0u);
        EXPECT_GE(platform::mediaLibraryReadFailures().missing, missing + 3);
        auto lines = platform::recentLogLines();
        long naming = std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.find(libraryFile()) != std::string::npos;
        });
        EXPECT_EQ(naming, 1);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind(c.logged, 0), 0u) << lines[0];
    }
}

}  // namespace
