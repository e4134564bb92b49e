// The Music host on a library that another process has left in trouble: a
// writer killed inside a transaction, a lock held by another connection, a
// damaged file; and a save of the edit sheet while the library is locked or
// refuses a write.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

const char kBusy[] = "the media library is busy (another process holds its lock)";
// The last line of `prefs`, which marks the end of what came before it.
const char kLastPreference[] = "has_ArtworkOverwriteProblems=";

bool has(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

class LibraryTrouble : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        std::string bundle = root.path() + "/Library/Application Support/Cantrel/Cantrel.bundle";
        fs::create_directories(bundle);
        fs::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
    }

    std::string file() const { return platform::devicePath(platform::mediaLibraryDevicePath()); }

    // One value of the library, read by a connection of the test's own.
    std::string value(const std::string& sql) const {
        sqlite3* db = nullptr;
        std::string out = "<none>";
        if (sqlite3_open_v2(file().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
                auto* t = sqlite3_column_text(st, 0);
                out = t ? reinterpret_cast<const char*>(t) : "NULL";
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return out;
    }

    void exec(const std::string& sql) const {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    // Runs a script; `errors` gets standard error.
    std::vector<std::string> run(const std::string& script, int& code, std::vector<std::string>& errors) {
        return testsupport::runMusicScript(root.path(), script, code, "", &errors);
    }

    TempDir root{"libtrouble"};
};

// A lock on the library held by a connection of the test.
class HeldLock {
public:
    HeldLock(const std::string& file, const char* begin) {
        EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db_, begin, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
    }
    ~HeldLock() { release(); }
    void release() {
        if (db_ == nullptr) return;
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
        db_ = nullptr;
    }

private:
    sqlite3* db_ = nullptr;
};

// A child process renames every song inside a transaction big enough to
// spill into the file, and is killed before it commits: the next app shows
// the songs as they were last committed.
TEST_F(LibraryTrouble, AWriterKilledInsideATransactionLeavesTheLastCommittedLibrary) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        close(ready[0]);
        sqlite3* db = nullptr;
        bool ok = sqlite3_open(file().c_str(), &db) == SQLITE_OK &&
                  sqlite3_exec(db,
                               "PRAGMA cache_size = 1; BEGIN; UPDATE item SET title = title || ' (unsaved)'; "
                               "CREATE TABLE filler (b); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                               "FROM n WHERE i < 400) INSERT INTO filler SELECT randomblob(4000) FROM n;",
                               nullptr, nullptr, nullptr) == SQLITE_OK;
        char byte = ok ? 'y' : 'n';
        if (write(ready[1], &byte, 1) != 1) _exit(2);
        for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(writer, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(writer, &status, 0), writer);
    ASSERT_EQ(byte, 'y');
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(fs::exists(file() + "-journal"));
    ASSERT_GT(fs::file_size(file() + "-journal"), 0u);

    int code = -1;
    std::vector<std::string> errors;
    auto lines = run("open songs\nrows\ndb 1003\n", code, errors);
    EXPECT_EQ(code, 0) << joined(errors);
    for (const auto& song : fixture::songs()) EXPECT_TRUE(has(lines, song.title)) << song.title << "\n" << joined(lines);
    EXPECT_TRUE(has(lines, "title=Coming Home"));
    EXPECT_FALSE(has(lines, "(unsaved)"));
    EXPECT_FALSE(fs::exists(file() + "-journal"));
    EXPECT_EQ(value("SELECT count(*) FROM sqlite_master WHERE name = 'filler'"), "0");
}

// While another connection holds the library's lock, every command that
// reads the library or prints what it read says so, with a failing status.
TEST_F(LibraryTrouble, ALockedLibraryIsBusyForEveryCommandThatReadsIt) {
    HeldLock lock(file(), "BEGIN EXCLUSIVE");
    int code = -1;
    std::vector<std::string> errors;
    run("queue\nrows\nopen albums\nplay songs\ndb 1003\nnowplaying\nprefs\n", code, errors);
    EXPECT_EQ(code, 1);
    for (const char* command : {"queue", "rows", "open", "play", "db", "nowplaying"})
        EXPECT_TRUE(has(errors, std::string(command) + ": " + kBusy)) << command << "\n" << joined(errors);
    // Nothing reads as if the library were empty.
    EXPECT_FALSE(has(errors, "db: no item")) << joined(errors);
    // A command that does not read the library is not blamed.
    EXPECT_FALSE(has(errors, "prefs:")) << joined(errors);

    // Once the lock goes, so does the trouble.
    lock.release();
    auto lines = run("open albums\nrows 0 1\ndb 1003\n", code, errors);
    EXPECT_EQ(code, 0) << joined(errors);
    EXPECT_TRUE(has(lines, "title=Coming Home"));
}

// A damaged library, or something else in its place: the commands name the
// reason and fail.
TEST_F(LibraryTrouble, ADamagedLibraryIsNamed) {
    struct Case {
        const char* what;
        void (*damage)(const std::string& file);
        const char* reason;
    };
    const Case cases[] = {
        {"truncated",
         [](const std::string& f) { fs::resize_file(f, fs::file_size(f) / 2); },
         "the media library cannot be read: database disk image is malformed"},
        {"a table missing",
         [](const std::string& f) {
             sqlite3* db = nullptr;
             sqlite3_open(f.c_str(), &db);
             sqlite3_exec(db, "DROP TABLE album", nullptr, nullptr, nullptr);
             sqlite3_close(db);
         },
         "the media library cannot be read: no such table: album"},
        {"a directory in its place",
         [](const std::string& f) {
             fs::remove(f);
             fs::create_directory(f);
         },
         "the media library is not a file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(fixture::writeLibrary());
        if (fs::is_directory(file())) fs::remove(file());
        ASSERT_TRUE(fixture::writeLibrary());
        c.damage(file());
        int code = -1;
        std::vector<std::string> errors;
        run("open albums\nrows\nqueue\n", code, errors);
        EXPECT_EQ(code, 1);
        for (const char* command : {"open", "rows", "queue"})
            EXPECT_TRUE(has(errors, std::string(command) + ": " + c.reason)) << command << "\n" << joined(errors);
        if (fs::is_directory(file())) fs::remove(file());
    }
}

// The Music host driven a line at a time, standard error merged into its
// output.
class InteractiveHost {
public:
    explicit InteractiveHost(const std::string& root)
        : child_({"/bin/sh", "-c", "exec " + testsupport::binPath("Music") + " --root '" + root + "' 2>&1"}, true) {}

    // Sends lines, then waits for the output line that starts with `until`;
    // every line read on the way, and whether it came.
    bool send(const std::string& lines, const std::string& until, std::vector<std::string>* seen = nullptr) {
        if (!child_.writeLine(lines)) return false;
        while (auto line = child_.readLine(30)) {
            if (seen != nullptr) seen->push_back(*line);
            if (line->rfind(until, 0) == 0) return true;
        }
        return false;
    }
    void quit() {
        child_.writeLine("quit");
        child_.closeInput();
        child_.waitExit(20);
    }

private:
    testsupport::Child child_;
};

// Saves the open sheet under the lock: the seconds until the save has
// returned, and the host's output meanwhile (with the badges after it).
double saveUnderLock(InteractiveHost& host, const std::string& file, std::vector<std::string>& seen) {
    HeldLock lock(file, "BEGIN EXCLUSIVE");
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(host.send("action Save\nbadges\nprefs", kLastPreference, &seen));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One save waits about 2 s for a locked library in all, however many
// statements and tracks it has (each used to wait 2 s of its own: a minute
// for an album of 30 tracks), and tells the user that nothing was stored.
TEST_F(LibraryTrouble, ASaveUnderALockedLibraryWaitsOnceAndSaysFailed) {
    struct Case {
        const char* what;
        const char* open;  // to the open sheet, its title, stars (and a song's genre) changed
    };
    const Case cases[] = {
        {"song",
         "open album 202\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\ntype Renamed\nstars 4\n"
         "focus subTitleTextField\npick 0\ntoolbar Done\n"},
        {"album", "open albums\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\ntype Renamed\nstars 4\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(fixture::writeLibrary());
        InteractiveHost host(root.path());
        std::vector<std::string> seen;
        ASSERT_TRUE(host.send(std::string(c.open) + "badges\nprefs", kLastPreference, &seen)) << joined(seen);
        ASSERT_TRUE(has(seen, "# no badge")) << joined(seen);
        seen.clear();
        double seconds = saveUnderLock(host, file(), seen);
        host.quit();
        // Well below two waits of 2 s, let alone one per statement.
        EXPECT_LT(seconds, 3.9) << joined(seen);
        EXPECT_TRUE(has(seen, "Failed")) << joined(seen);
        EXPECT_EQ(value("SELECT count(*) FROM item WHERE title = 'Renamed'"), "0");
        EXPECT_EQ(value("SELECT count(*) FROM album WHERE album = 'Renamed'"), "0");
        EXPECT_EQ(value("SELECT count(*) FROM item_stats WHERE user_rating = 80"), "0");
        EXPECT_EQ(value("SELECT count(*) FROM item WHERE album_pid = 202 AND genre_id = 3"), "0");
    }
}

// Each command is one user action with one wait for a locked library,
// however many reads it makes (the sheet's lists, the Playing list's
// pictures, a list's query, the playlists): a script of nine commands takes
// at most one wait of 2 s per command, not one per read. Each that met the
// lock says so first and fails, shows nothing as if it were the library's
// and stores nothing: the sheet and the playlist picker do not open and the
// delete is not counted, each with the "Failed" badge.
TEST_F(LibraryTrouble, EachCommandWaitsForALockedLibraryOnceAndSaysBusyFirst) {
    InteractiveHost host(root.path());
    std::vector<std::string> seen;
    ASSERT_TRUE(host.send("play songs\nopen album 201\nswipe 0 0\nprefs", kLastPreference, &seen)) << joined(seen);
    seen.clear();
    HeldLock lock(file(), "BEGIN EXCLUSIVE");
    auto start = std::chrono::steady_clock::now();
    // Nine commands, and `badges` (which reads nothing) after each that
    // should show one.
    ASSERT_TRUE(host.send("tap 2\nbadges\ndelete 0 1\naction Delete\nbadges\ndeletes\nplayinglist\nbackground\n"
                          "open albums\nnowplayingscreen\naddtoplaylist\nbadges\nprefs",
                          kLastPreference, &seen))
        << joined(seen);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    lock.release();
    host.quit();
    // Five of them meet the lock; with a wait of 2 s for each of their
    // reads they take over 25 s.
    EXPECT_LT(seconds, 9 * 2.0) << joined(seen);
    for (const char* command : {"tap", "action", "playinglist", "open", "addtoplaylist"}) {
        std::string busy = std::string(command) + ": " + kBusy;
        auto first = std::find_if(seen.begin(), seen.end(), [&](const std::string& l) {
            return l.rfind(std::string(command) + ":", 0) == 0;
        });
        ASSERT_TRUE(first != seen.end() && *first == busy) << command << "\n" << joined(seen);
        // The sheet's, the delete's and the picker's badge, shown when they
        // failed (the picker's after the host's word that it is not open).
        if (std::string(command) == "tap" || std::string(command) == "action") {
            EXPECT_TRUE(first + 1 != seen.end() && first[1] == "Failed") << command << "\n" << joined(seen);
        }
        if (std::string(command) == "addtoplaylist") {
            EXPECT_NE(std::find(first, seen.end(), "Failed"), seen.end()) << joined(seen);
        }
    }
    EXPECT_FALSE(has(seen, "# Playing list")) << joined(seen);
    EXPECT_FALSE(has(seen, "# Add to playlist")) << joined(seen);
    EXPECT_TRUE(has(seen, "deletes 0")) << joined(seen);
    EXPECT_EQ(value("SELECT count(*) FROM item WHERE album_pid = 201"), "2");
}

// A playlist's export that cannot read the playlist's name or songs shares
// nothing (no nameless folder) and leaves nothing; the host says why.
TEST_F(LibraryTrouble, APlaylistExportUnderALockedLibraryFailsAndLeavesNothing) {
    // A library whose songs have their files.
    std::string error;
    ASSERT_TRUE(fs::remove(file()));
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {.songs = 20, .seed = 1}, &error)) << error;
    InteractiveHost host(root.path());
    std::vector<std::string> seen;
    ASSERT_TRUE(host.send("open playlists\nswipe 0 0\nprefs", kLastPreference, &seen)) << joined(seen);
    seen.clear();
    HeldLock lock(file(), "BEGIN EXCLUSIVE");
    ASSERT_TRUE(host.send("tap 5\nsharesheet\nbadges\nprefs", kLastPreference, &seen)) << joined(seen);
    lock.release();
    host.quit();
    EXPECT_TRUE(has(seen, kBusy)) << joined(seen);
    EXPECT_TRUE(has(seen, "Export failed")) << joined(seen);
    EXPECT_FALSE(has(seen, "via Cantrel")) << joined(seen);
    std::error_code ec;
    fs::path exports = root.path() + "/var/mobile/Media/general_storage/Cantrel";
    EXPECT_TRUE(!fs::exists(exports, ec) || fs::is_empty(exports, ec)) << joined(seen);
}

// A save of which one field cannot be stored keeps the fields that were
// stored, and does not say that it failed; one that stores nothing does.
TEST_F(LibraryTrouble, ASaveKeepsWhatItStoredAndFailsOnlyWhenNothingWas) {
    // The album's title is refused; its tracks' ratings are not.
    exec("CREATE TRIGGER refuse_album BEFORE UPDATE OF album ON album BEGIN SELECT RAISE(ABORT, 'refused'); END");
    int code = -1;
    std::vector<std::string> errors;
    auto lines = run("open albums\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\ntype Renamed\nstars 4\n"
                     "action Save\nbadges\nrun 1.5\n",
                     code, errors);
    EXPECT_EQ(code, 0) << joined(errors);
    EXPECT_TRUE(has(lines, "# no badge")) << joined(lines);
    EXPECT_EQ(value("SELECT count(*) FROM album WHERE album = 'Renamed'"), "0");
    EXPECT_EQ(value("SELECT count(*) FROM item_stats s JOIN item i ON i.item_pid = s.item_pid "
                    "WHERE i.album_pid = 202 AND s.user_rating = 80"),
              "3");

    // A song's title alone, refused: the save says so.
    exec("CREATE TRIGGER refuse_title BEFORE UPDATE OF title ON item BEGIN SELECT RAISE(ABORT, 'refused'); END");
    lines = run("open album 202\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\ntype Renamed\naction Save\nbadges\n",
                code, errors);
    EXPECT_TRUE(has(lines, "Failed")) << joined(lines);
    EXPECT_EQ(value("SELECT count(*) FROM item WHERE title = 'Renamed'"), "0");
}

// An album without an album artist opens its sheet with no artist chosen:
// its save writes no artist and raises nothing.
TEST_F(LibraryTrouble, AnAlbumWithoutAnAlbumArtistSavesWithoutAnArtist) {
    std::string error;
    ASSERT_TRUE(fs::remove(file()));
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {.songs = 20, .seed = 1}, &error)) << error;
    std::string before = value("SELECT group_concat(album_pid || ':' || album_artist_pid) FROM album");
    int code = -1;
    std::vector<std::string> errors;
    auto lines = run("open albums\nswipe 0 0\ntap 2\naction Save\nrun 1\n", code, errors);
    EXPECT_EQ(code, 0) << joined(errors);
    EXPECT_FALSE(has(errors, "EXCEPTION")) << joined(errors);
    EXPECT_FALSE(has(lines, "EXCEPTION")) << joined(lines);
    EXPECT_EQ(value("SELECT group_concat(album_pid || ':' || album_artist_pid) FROM album"), before);
}

}  // namespace

namespace {

// With very few descriptors (from 4 to 10, the three standard ones
// included) the host cannot open all it needs: it says why, in the words for
// it, never that there is no library, and ends with a failing status rather
// than a crash.
TEST_F(LibraryTrouble, TooFewDescriptorsAreNamedAsTheReason) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own runtime opens files as it checks the host, and
    // fails in its own words when it cannot: the limits say nothing there.
    GTEST_SKIP() << "the sanitizer runtime needs descriptors of its own";
#endif
    for (long limit = 4; limit <= 10; ++limit) {
        SCOPED_TRACE(limit);
        int code = -1;
        std::vector<std::string> errors;
        auto lines = testsupport::runMusicScript(root.path(), "open songs\nrows\n", code, "", &errors, limit);
        std::string all = joined(lines) + joined(errors);
        EXPECT_TRUE(code == 1 || code == 2) << code;
        EXPECT_NE(all.find("Too many open files"), std::string::npos) << all;
        EXPECT_EQ(all.find("no media library"), std::string::npos) << all;
    }
}

}  // namespace
