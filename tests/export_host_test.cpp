// The Music host's export commands end to end with the library injected: an
// album exported from its swipe button, the share sheet printed, "Export to
// Folder" chosen and the folder listed; a song exported and the sheet
// cancelled; a choice with no sheet open refused.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <cairo.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/wait.h>

using testsupport::TempDir;

namespace {

class ExportHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        std::filesystem::create_directories(root.path() + "/var/mobile/Media/Music/F00");
        auto audio = platform::generator::toneMP3(330);
        for (const auto& s : fixture::songs())
            std::ofstream(root.path() + "/var/mobile/Media/Music/F00/" + std::to_string(s.pid) + ".mp3", std::ios::binary)
                .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
    }
    TempDir root{"exporthost"};
};

// Lines with the UUID of an export folder replaced by "U".
std::vector<std::string> withoutUUIDs(const std::vector<std::string>& lines) {
    static const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    std::vector<std::string> out;
    for (const std::string& l : lines) out.push_back(std::regex_replace(l, uuid, "U"));
    return out;
}

// The host's output of a script, export folders' UUIDs replaced by "U".
std::vector<std::string> runExportScript(const TempDir& root, const std::string& script, int& code) {
    return withoutUUIDs(testsupport::runMusicScript(root.path(), script, code));
}

// A script that exports, and then the export folder listed: the share
// sheets' `text` lines, and the folder's entries that are export folders or
// their archives ("U...") or `file`. The script must succeed.
struct Sharing {
    std::vector<std::string> texts, files;
};
Sharing runSharing(const TempDir& root, const std::string& script, const std::string& flags = "",
                   const std::string& file = "") {
    int code = -1;
    std::vector<std::string> errors;
    auto lines = withoutUUIDs(testsupport::runMusicScript(
        root.path(), script + "ls var/mobile/Media/general_storage/Cantrel\n", code, flags, &errors));
    EXPECT_EQ(code, 0) << ::testing::PrintToString(errors);
    Sharing out;
    for (const std::string& l : lines) {
        if (l.starts_with("text ")) out.texts.push_back(l);
        if (l.starts_with("U") || (!file.empty() && l == file)) out.files.push_back(l);
    }
    return out;
}

TEST_F(ExportHost, ExportShareAndList) {
    int code = -1;
    auto lines = runExportScript(
        root,
        "open albums\nswipe 0 0\ntap 5\nsharesheet\nactivity Export to Folder\n"
        "ls var/mobile/Media/general_storage/Cantrel\n"
        "open album 202\nswipe 0 0\ntap 5\nsharesheet\nactivity cancel\n"
        "ls var/mobile/Media/general_storage/Cantrel\n",
        code);
    EXPECT_EQ(code, 0);
    std::vector<std::string> expected = {
        "text 'Aerial Maps' via Cantrel",
        "file var/mobile/Media/general_storage/Cantrel/U.zip",
        "activity Cantrel.export \"Export to Folder\"",
        "U.zip",
        "U/",
        "U/Blue Harbor/",
        "U/Blue Harbor/Aerial Maps/",
        "U/Blue Harbor/Aerial Maps/Coming Home.mp3",
        "U/Blue Harbor/Aerial Maps/Otter's Garden.mp3",
        "U/Blue Harbor/Aerial Maps/Something Blue.mp3",
        "text 'Coming Home' via Cantrel",
        "file var/mobile/Media/general_storage/Cantrel/Coming Home.mp3",
        "Coming Home.mp3",
    };
    for (const std::string& e : expected)
        EXPECT_NE(std::find(lines.begin(), lines.end(), e), lines.end()) << e;
}

// Two exports from two swipes on one screen: both sheets show, one after the
// other (in the order the exports finish), and each keeps its own folder.
TEST_F(ExportHost, TwoExportsShowTwoSheets) {
    auto [texts, files] = runSharing(root,
                                     "open albums\nswipe 0 0\ntap 5\nswipe 1 0\ntap 5\nsharesheet\nactivity Export to "
                                     "Folder\nsharesheet\nactivity Export to Folder\n");
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"text 'Aerial Maps' via Cantrel",
                                               "text 'Bigger, Brighter, Louder!' via Cantrel"}));
    EXPECT_EQ(std::count(files.begin(), files.end(), "U.zip"), 2);
    EXPECT_EQ(std::count(files.begin(), files.end(), "U/Blue Harbor/Aerial Maps/Coming Home.mp3"), 1);
    EXPECT_NE(std::find_if(files.begin(), files.end(),
                           [](const std::string& f) { return f.find("/Bigger, Brighter, Louder!/") != std::string::npos; }),
              files.end())
        << ::testing::PrintToString(files);
}

// Opening another screen closes the share sheet its screen presented (on a
// pad, its popover), as a cancel: its working folder goes, and the next
// export's sheet shows.
TEST_F(ExportHost, OpeningAnotherScreenEndsTheSheetAsACancel) {
    for (const char* device : {"", "--idiom ipad --screen 768x1024"}) {
        SCOPED_TRACE(device);
        std::filesystem::remove_all(root.path() + "/var/mobile/Media/general_storage");
        auto [texts, files] = runSharing(
            root, "open albums\nswipe 0 0\ntap 5\nsharesheet\nopen songs\nswipe 0 0\ntap 5\nsharesheet\nactivity cancel\n",
            device, "Atlas.mp3");
        EXPECT_EQ(texts, (std::vector<std::string>{"text 'Aerial Maps' via Cantrel", "text 'Atlas' via Cantrel"}));
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{"Atlas.mp3", "U.zip"})) << "the working folder U/ is gone";
    }
}

// On a pad the sheet comes in a popover: the snapshot draws its card (light
// grey) in the middle of the screen until the sheet ends.
TEST_F(ExportHost, PadSheetInAPopoverIsDrawn) {
    int code = -1;
    std::string shown = root.path() + "/shown.png", ended = root.path() + "/ended.png";
    auto lines = testsupport::runMusicScript(root.path(),
                                             "open albums\nswipe 0 0\ntap 5\nsharesheet\nsnapshot " + shown +
                                                 "\nactivity cancel\nsnapshot " + ended + "\n",
                                             code, "--idiom ipad --screen 768x1024");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    auto centre = [](const std::string& png) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
        EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
        cairo_surface_flush(s);
        uint32_t pixel = *reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) +
                                                      1024 * cairo_image_surface_get_stride(s) + 768 * 4) &
                         0xFFFFFF;
        cairo_surface_destroy(s);
        return pixel;
    };
    EXPECT_EQ(centre(shown), 0xF8F8F8u);
    EXPECT_NE(centre(ended), 0xF8F8F8u);
}

TEST_F(ExportHost, ChoicesWithoutASheetAreRefused) {
    int code = -1;
    std::vector<std::string> errors;
    testsupport::runMusicScript(root.path(), "activity cancel\nls var/mobile/Nowhere\nls ../..\n", code, "", &errors);
    EXPECT_NE(code, 0);
    std::vector<std::string> expected = {"activity: no open share sheet offers 'cancel'",
                                         "ls: no device folder var/mobile/Nowhere", "ls: no device folder ../.."};
    EXPECT_EQ(errors, expected);
}

// Text from the library reaches the host's output escaped in every command
// (an album name that would forge a line of the share sheet, a title that
// is not UTF-8, whose bytes the exported file's name keeps), paths with
// spaces are named, and a symlink leading out of the root is listed as a
// link.
TEST_F(ExportHost, LibraryTextIsEscapedPathsTakeTheRestOfTheLineAndLinksAreNotFollowed) {
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "UPDATE album SET album = 'Aerial' || char(10) || 'fake line' WHERE album_pid = 202;"
                               "UPDATE item SET title = 'Something' || CAST(X'FF' AS TEXT) || 'Blue' "
                               "WHERE item_pid = 1004;"
                               "UPDATE item SET title = 'What' || char(8232) || 'fake' || char(133) || 'line' || "
                               "char(8238) || 'x' || char(8297) WHERE item_pid = 1008",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const std::string folder = root.path() + "/var/mobile/Media/general_storage/Cantrel";
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink("../../../../../../victim.mp3", folder + "/away.mp3");
    std::ofstream(folder + "/raw\xfe name.mp3") << "not audio";
    int code = -1;
    auto lines = runExportScript(
        root,
        "open songs\nrows\nplay songs\nqueue\ndb 1004\n"
        "open albums\nswipe 0 0\ntap 5\nsharesheet\nactivity Export to Folder\n"
        "open album 202\nswipe 0 0\ntap 5\nsharesheet\nactivity cancel\n"
        "tags  var/mobile/Media/general_storage/Cantrel/Coming Home.mp3\n"
        "ls var/mobile/Media/general_storage/Cantrel\n",
        code);
    EXPECT_EQ(code, 0) << ::testing::PrintToString(lines);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    for (const std::string& l : lines) {
        EXPECT_TRUE(l.find('\xff') == std::string::npos && l.find('\xfe') == std::string::npos)
            << "a raw byte that is not UTF-8: " << l;
        EXPECT_NE(l.rfind("fake line", 0), 0u) << "a forged line: " << l;
        for (const char* raw : {"\u2028", "\u0085", "\u202e", "\u2069"})
            EXPECT_EQ(l.find(raw), std::string::npos) << "a line break or bidi control printed raw: " << l;
    }
    auto ends = [&](const std::string& tail) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.size() >= tail.size() && l.compare(l.size() - tail.size(), tail.size(), tail) == 0;
        });
    };
    EXPECT_TRUE(ends(" What\\u2028fake\\u0085line\\u202ex\\u2069")) << "rows and queue";
    EXPECT_TRUE(has("title=Something\\xffBlue")) << "db";
    EXPECT_TRUE(has("album=Aerial\\nfake line")) << "db";
    EXPECT_TRUE(has("text 'Aerial\\nfake line' via Cantrel")) << "sharesheet";
    EXPECT_TRUE(has("file var/mobile/Media/general_storage/Cantrel/U.zip"));
    EXPECT_TRUE(has("TIT2 Coming Home")) << "tags of a file whose name has a space";
    EXPECT_TRUE(has("TALB Aerial\\nfake line")) << "tags";
    EXPECT_TRUE(has("raw\\xfe name.mp3")) << "ls";
    EXPECT_TRUE(ends("/Something\\xffBlue.mp3")) << "the export's file keeps the title's bytes";
    EXPECT_TRUE(has("away.mp3 -> ../../../../../../victim.mp3")) << "ls shows the link as a link";
    EXPECT_FALSE(has("../../../../../../victim.mp3"));
}

// A playlist of 1,000 tracks exported with 64 descriptors: every track is
// copied and the export is kept.
TEST_F(ExportHost, AThousandTracksExportWithFewDescriptors) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
    std::string sql = "DELETE FROM container_items WHERE container_pid = 502;";
    for (int i = 0; i < 1000; ++i)
        sql += "INSERT INTO container_items VALUES (502, " + std::to_string(fixture::songs()[i % fixture::songs().size()].pid) +
               ", " + std::to_string(i) + ");";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "open playlists\nswipe 0 0\ntap 5\nsharesheet\nactivity Export to Folder\n",
                                             code, "", nullptr, 64);
    EXPECT_EQ(code, 0) << testing::PrintToString(lines);
    size_t copies = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root.path() + "/var/mobile/Media/general_storage/Cantrel"))
        if (e.is_regular_file() && e.path().extension() == ".mp3") ++copies;
    EXPECT_EQ(copies, 1000u);
}

}  // namespace

namespace {

// The host ended by SIGTERM in the middle of an export's long copy (a song
// of 256 MB), then started again: the device holds what it held before —
// no temporary, no working folder, no disk space kept — for one song's
// export and for an album's.
TEST_F(ExportHost, AnExportEndedMidWriteLeavesNothingAfterTheNextStart) {
    std::filesystem::resize_file(root.path() + "/var/mobile/Media/Music/F00/1003.mp3", 256u << 20);
    std::filesystem::create_directories(root.path() + "/var/mobile/Media/general_storage/Cantrel");
    int code = -1;
    testsupport::runMusicScript(root.path(), "", code);
    ASSERT_EQ(code, 0);
    const auto before = testsupport::entriesUnder(root.path() + "/var");
    for (const char* exportOf : {"open album 202\nswipe 0 0\ntap 5\n", "open albums\nswipe 0 0\ntap 5\n"}) {
        SCOPED_TRACE(exportOf);
        ASSERT_TRUE(testsupport::endMusicHostMidWrite(root.path(), std::string(exportOf) + "run 60\n",
                                                      "/general_storage/Cantrel/"));
        EXPECT_EQ(testsupport::entriesUnder(root.path() + "/var"), before);
    }
}

}  // namespace

namespace {

// Another process swaps each export's working folder, and the artist's
// folder inside it, for a symlink to a folder outside the root and back, as
// fast as it can, while one host run starts 200 exports of an album, and
// while the next start removes the working folders they left: nothing
// outside is created, changed or removed.
TEST_F(ExportHost, FoldersSwappedForLinksOutDuringExportsAndTheirRemovalLeadNothingOut) {
    std::string outside = root.path() + "-outside";
    std::filesystem::create_directories(outside + "/Blue Harbor/Aerial Maps");
    std::ofstream(outside + "/Blue Harbor/Aerial Maps/Coming Home.mp3") << "outside";
    std::ofstream(outside + "/kept.txt") << "outside";
    auto stateOutside = [&] {
        std::string state;
        for (const auto& [name, size] : testsupport::entriesUnder(outside)) {
            state += name + " " + std::to_string(size);
            if (std::filesystem::is_regular_file(std::filesystem::symlink_status(outside + "/" + name))) {
                std::ifstream in(outside + "/" + name);
                state += " " + std::string(std::istreambuf_iterator<char>(in), {});
            }
            state += "\n";
        }
        return state;
    };
    const std::string before = stateOutside();
    const std::string exports = root.path() + "/var/mobile/Media/general_storage/Cantrel";
    std::filesystem::create_directories(exports);
    pid_t swapper = ::fork();
    ASSERT_GE(swapper, 0);
    if (swapper == 0) {
        // Every working folder, and the artist's folder in it, is put aside
        // and a link out put in its place; then each is put back: each is a
        // link about half of the time.
        auto toLink = [&](const std::string& path) {
            std::string link = path + ".link";
            ::unlink(link.c_str());
            if (::symlink(outside.c_str(), link.c_str()) == 0 && ::rename(path.c_str(), (path + ".aside").c_str()) == 0)
                ::rename(link.c_str(), path.c_str());
        };
        auto back = [&](const std::string& path) {
            if (::rename(path.c_str(), (path + ".link").c_str()) == 0)
                ::rename((path + ".aside").c_str(), path.c_str());
        };
        for (;;) {
            DIR* d = ::opendir(exports.c_str());
            if (d == nullptr) continue;
            std::vector<std::string> working;
            while (const dirent* e = ::readdir(d))
                if (e->d_name[0] == '.' && e->d_type == DT_DIR && std::strlen(e->d_name) == 37)
                    working.push_back(exports + "/" + e->d_name);
            ::closedir(d);
            for (const std::string& w : working) toLink(w + "/Blue Harbor");
            for (const std::string& w : working) toLink(w);
            for (const std::string& w : working) back(w);
            for (const std::string& w : working) back(w + "/Blue Harbor");
        }
    }
    std::string script = "open albums\n";
    for (int i = 0; i < 200; ++i) script += "swipe 0 0\ntap 5\n";
    script += "run 1\n";
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(), script, code);
    EXPECT_TRUE(code == 0 || code == 1) << testing::PrintToString(lines);
    // The working folders the run left are removed at the next start, still
    // swapped meanwhile.
    testsupport::runMusicScript(root.path(), "", code);
    EXPECT_EQ(code, 0);
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    EXPECT_EQ(stateOutside(), before);
    std::filesystem::remove_all(outside);
}

}  // namespace
