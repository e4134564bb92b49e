// The Music host's save commands end to end with the library injected: a
// song saved with a new title and rating, an album given a picture picked as
// in the photo library, then the rows and the files' tags printed.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>

using testsupport::TempDir;

namespace {

class SaveHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        fixture::exec(db, "INSERT OR IGNORE INTO item_artwork (item_pid, best_artwork_token, sync_artwork_token) "
                          "SELECT item_pid, '', '' FROM item");
        sqlite3_close(db);
        std::filesystem::create_directories(root.path() + "/var/mobile/Media/Music/F00");
        auto audio = platform::generator::toneMP3(330);
        for (const auto& s : fixture::songs())
            std::ofstream(root.path() + "/var/mobile/Media/Music/F00/" + std::to_string(s.pid) + ".mp3", std::ios::binary)
                .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
        std::string bundle = root.path() + "/Library/Application Support/Cantrel/Cantrel.bundle";
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
    }
    static bool has(const std::vector<std::string>& lines, const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    TempDir root{"savehost"};
};

TEST_F(SaveHost, SaveAndPickedPictureShowInRowsAndTags) {
    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(),
        "open album 202\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\ntype Nouvel été\nstars 4\naction Save\nrun 1.5\n"
        "db 1003\n"
        "open albums\nswipe 0 0\ntap 2\npickimage " + picture + "\naction Save\nrun 3\n"
        "db 1005\ntags /var/mobile/Media/Music/F00/1005.mp3\n",
        code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(has(lines, "title=Nouvel été"));
    EXPECT_TRUE(has(lines, "user_rating=80"));
    auto sync = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& l) { return l.rfind("sync_artwork_token=", 0) == 0; });
    ASSERT_NE(sync, lines.rend());
    EXPECT_NE(*sync, "sync_artwork_token=");
    EXPECT_TRUE(has(lines, "APIC type=11 mime=image/jpeg description=@brevankl bytes="));
}

// A song whose names hold bytes outside well-formed UTF-8: its rows print
// them as \xHH, and a save of another field (the stars) writes back nothing
// but the rating: the names stay byte for byte.
TEST_F(SaveHost, NamesOutsideUtf8KeepTheirBytesThroughASave) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
    fixture::exec(db, "UPDATE item SET title = 'Coming' || CAST(X'FF' AS TEXT) || 'Home' WHERE item_pid = 1003;"
                      "UPDATE album SET album = 'Aerial' || CAST(X'C3' AS TEXT) WHERE album_pid = 202;");
    sqlite3_close(db);
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(), "open album 202\nrows\nswipe 0 0\ntap 2\nstars 4\naction Save\nrun 1.5\ndb 1003\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(has(lines, " Coming\\xffHome")) << "rows";
    EXPECT_TRUE(has(lines, "user_rating=80"));
    EXPECT_TRUE(has(lines, "title=Coming\\xffHome"));
    EXPECT_TRUE(has(lines, "album=Aerial\\xc3"));
    sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT hex(title) FROM item WHERE item_pid = 1003", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))), "436F6D696E67FF486F6D65");
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST_F(SaveHost, BadArgumentsAreReported) {
    struct Case {
        const char* script;
        const char* error;
    } cases[] = {
        {"pickimage /nowhere.png\n", "pickimage: no edit sheet is open"},
        {"open album 202\nswipe 0 0\ntap 2\npickimage /nowhere.png\n", "pickimage: cannot read a picture from '/nowhere.png'"},
        {"db 999\n", "db: no item 999"},
        {"db twelve\n", "db: bad persistent id 'twelve'"},
        {"tags /var/mobile/none.mp3\n", "tags: no file '/var/mobile/none.mp3'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        auto lines = testsupport::runMusicScript(root.path(), c.script, code);
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(has(lines, c.error));
    }
}


// Everything under a folder, names and contents, symlinks as their targets.
std::string stateOf(const std::string& folder) {
    std::string out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        out += e.path().string();
        if (e.is_symlink()) out += " -> " + std::filesystem::read_symlink(e.path()).string();
        else if (e.is_regular_file()) {
            std::ifstream in(e.path(), std::ios::binary);
            out += "=" + std::string(std::istreambuf_iterator<char>(in), {});
        }
        out += "\n";
    }
    return out;
}

// A song whose file is a FIFO or a symlink to the media library or to the
// preference file: an album's picture Save answers within seconds, leaves
// those files as they were and still tags the album's other song.
TEST_F(SaveHost, ASongThatIsNoPlainMP3AmongTheSongsIsLeftAsItIs) {
    std::string songs = root.path() + "/var/mobile/Media/Music/F00/";
    std::string database = platform::devicePath(platform::mediaLibraryDevicePath());
    std::string prefs = root.path() + "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";
    std::filesystem::create_directories(std::filesystem::path(prefs).parent_path());
    std::ofstream(prefs) << "<plist version=\"1.0\"><dict/></plist>";
    std::filesystem::remove(songs + "1003.mp3");
    ASSERT_EQ(::mkfifo((songs + "1003.mp3").c_str(), 0644), 0);
    std::filesystem::remove(songs + "1004.mp3");
    std::filesystem::create_symlink(prefs, songs + "1004.mp3");
    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    std::string prefsBefore = stateOf(std::filesystem::path(prefs).parent_path());
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "a link to the preference file" : "a link to the media library");
        if (run == 1) {
            std::filesystem::remove(songs + "1004.mp3");
            std::filesystem::create_symlink(database, songs + "1004.mp3");
        }
        int code = -1;
        auto start = std::chrono::steady_clock::now();
        auto lines = testsupport::runMusicScript(root.path(),
                                                 "open albums\nswipe 0 0\ntap 2\npickimage " + picture +
                                                     "\naction Save\nrun 3\ntags /var/mobile/Media/Music/F00/1005.mp3\n"
                                                     "open albums\ndb 1004\n",
                                                 code);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(code, 0) << testing::PrintToString(lines);
        EXPECT_TRUE(has(lines, "APIC type=11 mime=image/jpeg description=@brevankl bytes="));
        EXPECT_TRUE(has(lines, "sync_artwork_token="));
        std::ifstream db(database, std::ios::binary);
        std::string header(16, '\0');
        db.read(header.data(), 16);
        EXPECT_EQ(header, std::string("SQLite format 3\0", 16));
        EXPECT_EQ(stateOf(std::filesystem::path(prefs).parent_path()), prefsBefore);
    }
}

// The artwork folders symlinked out of the root: a picture Save creates,
// changes and removes nothing outside and says it failed.
TEST_F(SaveHost, ArtworkFoldersLinkedOutOfTheRootAreNeverWrittenThrough) {
    std::string outside = root.path() + "-outside";
    std::string artwork = root.path() + "/var/mobile/Media/iTunes_Control/iTunes/Artwork";
    for (const char* size : {"600x600", "100x100"}) {
        std::filesystem::create_directories(outside + "/" + size);
        std::filesystem::create_directories(artwork + "/Caches");
        std::filesystem::create_directory_symlink(outside + "/" + size, artwork + "/Caches/" + size);
    }
    std::filesystem::create_directories(outside + "/originals");
    std::ofstream(outside + "/originals/kept.jpg") << "outside";
    std::filesystem::create_directories(artwork + "/Originals");
    for (int i = 0; i < 256; ++i) {
        char name[3];
        std::snprintf(name, sizeof name, "%02x", i);
        std::filesystem::remove_all(artwork + "/Originals/" + name);
        std::filesystem::create_directory_symlink(outside + "/originals", artwork + "/Originals/" + name);
    }
    std::string before = stateOf(outside);
    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(), "open album 202\nswipe 0 0\ntap 2\npickimage " + picture + "\naction Save\nrun 0.5\nbadges\nrun 3\n",
        code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(has(lines, "Failed")) << testing::PrintToString(lines);
    EXPECT_EQ(stateOf(outside), before);
    std::filesystem::remove_all(outside);
}

}  // namespace

namespace {

// An album whose tracks' tags cannot be trusted (their size runs past their
// padding into the audio): the library takes the picture, those files stay
// byte for byte, and the user is told once for the import, in words, in a
// line the host prints as the alert is shown.
TEST_F(SaveHost, TagsLeftAsTheyWereAreToldInOneAlert) {
    std::string folder = root.path() + "/var/mobile/Media/Music/F00/";
    std::string title = std::string("TIT2") + std::string("\0\0\0\x06\0\0\0", 7) + "Title";
    std::string audio;
    for (int i = 0; i < 10; ++i) audio += std::string("\xFF\xFB\x90\xC4", 4) + std::string(413, '\0');
    std::string tag = title + std::string(1000, '\0');
    size_t size = tag.size() + audio.size();
    std::string header = std::string("ID3\x03\x00\x00", 6);
    for (int i = 3; i >= 0; --i) header.push_back(static_cast<char>((size >> (7 * i)) & 0x7F));
    std::string damaged = header + tag + audio + "TAG" + std::string(125, '\0');
    for (const char* pid : {"1004", "1005"})
        std::ofstream(folder + pid + ".mp3", std::ios::binary).write(damaged.data(), static_cast<std::streamsize>(damaged.size()));

    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(), "open albums\nswipe 0 0\ntap 2\npickimage " + picture + "\naction Save\nrun 3\ntags /var/mobile/Media/Music/F00/1003.mp3\n",
        code);
    EXPECT_EQ(code, 0);
    std::vector<std::string> alerts;
    for (const auto& l : lines)
        if (l.rfind("alert: ", 0) == 0) alerts.push_back(l);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("alert: Failed to change ID3Tags metadata: ", 0), 0u) << alerts[0];
    EXPECT_NE(alerts[0].find("2 tracks kept their tags as they were"), std::string::npos) << alerts[0];
    EXPECT_NE(alerts[0].find("1004.mp3"), std::string::npos) << alerts[0];
    EXPECT_NE(alerts[0].find("cut into the music"), std::string::npos) << alerts[0];
    for (const char* pid : {"1004", "1005"}) {
        std::ifstream in(folder + pid + ".mp3", std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == damaged) << pid << " changed";
    }
    EXPECT_TRUE(has(lines, "APIC type=11 mime=image/jpeg description=@brevankl bytes="));
}

}  // namespace

namespace {

// The host ended by SIGTERM in the middle of an artwork rewrite of a song of
// 256 MB, then started again: the device holds what it held before — the
// song as it was, no temporary beside it, no disk space kept.
TEST_F(SaveHost, AnArtworkRewriteEndedMidWriteLeavesNothingAfterTheNextStart) {
    std::filesystem::resize_file(root.path() + "/var/mobile/Media/Music/F00/1003.mp3", 256u << 20);
    int code = -1;
    testsupport::runMusicScript(root.path(), "", code);
    ASSERT_EQ(code, 0);
    const auto before = testsupport::entriesUnder(root.path() + "/var/mobile/Media/Music");
    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    ASSERT_TRUE(testsupport::endMusicHostMidWrite(
        root.path(), "open album 202\nswipe 0 0\ntap 2\npickimage " + picture + "\naction Save\nrun 60\n", "/Music/F00/"));
    EXPECT_EQ(testsupport::entriesUnder(root.path() + "/var/mobile/Media/Music"), before);
}

}  // namespace

namespace {

// The hidden ".new-XXXXXX" files that writers ended mid-write leave beside
// the songs, among the artwork and the preferences (where files cannot be
// unnamed, or between naming a finished file and putting it in place) are
// gone after the next start; other names stay, and nothing is removed
// through a symlinked folder.
TEST_F(SaveHost, TemporariesLeftByEndedWritersGoAtTheNextStart) {
    const std::string media = root.path() + "/var/mobile/Media/iTunes_Control";
    const std::vector<std::string> left = {
        media + "/Music/F03/.new-a1b2c3",
        media + "/iTunes/Artwork/Originals/3a/.new-0f0f0f",
        media + "/iTunes/Artwork/Caches/600x600/3a/.new-123abc",
        root.path() + "/var/mobile/Library/Preferences/.new-beefed",
    };
    const std::string outside = root.path() + "-outside";
    const std::vector<std::string> kept = {
        media + "/Music/F03/.new-kept",
        media + "/Music/F03/1003.mp3",
        root.path() + "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist.new-a1b2c3",
        outside + "/.new-a1b2c3",
    };
    for (const auto& path : left) std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::create_directories(outside);
    std::filesystem::create_directory_symlink(outside, media + "/Music/F04");
    for (const auto& path : left) std::ofstream(path) << "left by a writer that was ended";
    for (const auto& path : kept) std::ofstream(path) << "kept";
    int code = -1;
    testsupport::runMusicScript(root.path(), "", code);
    EXPECT_EQ(code, 0);
    for (const auto& path : left) EXPECT_FALSE(std::filesystem::exists(path)) << path;
    for (const auto& path : kept) EXPECT_TRUE(std::filesystem::exists(path)) << path;
    std::filesystem::remove_all(outside);
}

}  // namespace
