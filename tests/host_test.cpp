// The Music host end to end: the library injected into it, its commands, a
// settings change posted from another process, and its end by the system
// stand-in.
#include <gtest/gtest.h>

#include <cairo.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <Foundation/Foundation.h>
#include <platform/DeviceRoot.h>
#include <platform/System.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using testsupport::binPath;
using testsupport::Child;
using testsupport::TempDir;

namespace {

const char kPrefsPath[] = "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";
const size_t kFlagCount = 12;

class Host : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Library/Preferences"));
    }

    void writePrefs(std::initializer_list<std::pair<const char*, bool>> entries) {
        AutoreleasePool pool;
        id dict = objc_msgSend<id()>(NSMutableDictionary::cls(), "dictionary"_sel);
        for (auto& [key, value] : entries) {
            id k = objc_msgSend<id(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, key);
            id v = objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, value);
            objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel, v, k);
        }
        ASSERT_TRUE(platform::writePropertyList(dict, kPrefsPath, true));
    }

    // Runs the host on a script; its output lines (stderr merged) and exit code.
    std::vector<std::string> runScript(const std::string& script, std::vector<std::string> extra, int& exitCode) {
        std::string scriptPath = root.path() + "/../" + std::filesystem::path(root.path()).filename().string() +
                                 ".script";
        std::ofstream(scriptPath) << script;
        std::string cmd = binPath("Music") + " --root '" + root.path() + "' --script '" + scriptPath + "'";
        for (const auto& e : extra) cmd += " " + e;
        Child child({"/bin/sh", "-c", cmd + " 2>&1"});
        std::vector<std::string> lines;
        while (auto line = child.readLine()) lines.push_back(*line);
        auto status = child.waitExit();
        std::filesystem::remove(scriptPath);
        exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        return lines;
    }

    static std::vector<std::string> slice(const std::vector<std::string>& v, size_t from, size_t count) {
        if (from + count > v.size()) return {};
        return {v.begin() + from, v.begin() + from + count};
    }

    TempDir root{"host"};
};

const std::vector<std::string> kDefaults = {
    "is_enabled=YES",
    "enforce_ID3Tag_on_export=YES",
    "enforce_ID3Tag_on_artwork=YES",
    "disable_cover_flow=YES",
    "hide_store_button=YES",
    "ask_before_delete=YES",
    "hide_buy_button_for_radio_track=NO",
    "hide_export_button=NO",
    "hide_edit_button=NO",
    "hide_queue_buttons=NO",
    "hide_delete_button=NO",
    "has_ArtworkOverwriteProblems=NO",
};

TEST_F(Host, InjectedLibraryLoadsPreferencesAndInstalls) {
    for (bool radio : {true, false}) {
        SCOPED_TRACE(radio ? "with radio" : "without radio");
        int code = -1;
        auto lines = runScript("prefs\ninstalled\nquit\nprefs\n", radio ? std::vector<std::string>{}
                                                                      : std::vector<std::string>{"--no-radio"},
                               code);
        EXPECT_EQ(code, 0);
        ASSERT_GE(lines.size(), kFlagCount + 1);
        EXPECT_EQ(slice(lines, 0, kFlagCount), kDefaults);
        EXPECT_EQ(lines[kFlagCount], "MPAudioDeviceController init R");
        EXPECT_EQ(lines.back(), "UITableView setID3TagArtwork:andImagePath: A");
        // Nothing runs after quit.
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "is_enabled=YES"), 1);
    }
}

TEST_F(Host, DisabledLibraryInstallsNothing) {
    writePrefs({{"is_enabled", false}, {"hide_export_button", true}});
    int code = -1;
    auto lines = runScript("installed\nprefs\n", {}, code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(lines.size(), kFlagCount);  // `installed` printed nothing
    EXPECT_EQ(lines[0], "is_enabled=NO");
    EXPECT_EQ(lines[7], "hide_export_button=YES");
}

TEST_F(Host, BadCommandsAreReportedAndTheHostGoesOn) {
    int code = -1;
    auto lines = runScript("frobnicate now\nrun abc\nrun\nrun -1\n# a comment\n\nprefs\n", {}, code);
    EXPECT_EQ(code, 1);
    auto contains = [&](const std::string& text) {
        for (const auto& l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(contains("unknown command 'frobnicate'"));
    EXPECT_TRUE(contains("run: bad number of seconds 'abc'"));
    EXPECT_TRUE(contains("run: expected 1 argument"));
    EXPECT_TRUE(contains("run: bad number of seconds '-1'"));
    EXPECT_TRUE(contains("is_enabled=YES"));  // went on after the errors
}

TEST_F(Host, WithoutInjectionThereAreNoPreferences) {
    int code = -1;
    auto lines = runScript("installed\nprefs\n", {"--no-inject"}, code);
    EXPECT_EQ(code, 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("prefs: no injected library"), std::string::npos);
}

TEST_F(Host, BadOptionsExitWithUsageError) {
    EXPECT_EQ(WEXITSTATUS(testsupport::runProgram({binPath("Music")})), 2);  // no root
    EXPECT_EQ(WEXITSTATUS(testsupport::runProgram({binPath("Music"), "--root", root.path(), "--bogus"})), 2);
    EXPECT_EQ(WEXITSTATUS(testsupport::runProgram(
                  {binPath("Music"), "--root", root.path(), "--script", root.path() + "/missing"})),
              2);
    EXPECT_EQ(WEXITSTATUS(testsupport::runProgram(
                  {binPath("Music"), "--root", root.path(), "--inject", root.path() + "/nolib.so"})),
              2);
    EXPECT_EQ(WEXITSTATUS(testsupport::runProgram({binPath("Music"), "--help"})), 0);
}

// Reads one `prefs` answer from a running host.
std::vector<std::string> readPrefs(Child& host) {
    std::vector<std::string> out;
    while (out.size() < kFlagCount) {
        auto line = host.readLine();
        if (!line) break;
        out.push_back(*line);
    }
    return out;
}

TEST_F(Host, ChangePostedByAnotherProcessReachesTheRunningHost) {
    writePrefs({{"hide_edit_button", true}});
    Child host({binPath("Music"), "--root", root.path()}, true);
    ASSERT_TRUE(host.writeLine("prefs"));
    auto before = readPrefs(host);
    ASSERT_EQ(before.size(), kFlagCount);
    EXPECT_EQ(before[8], "hide_edit_button=YES");

    writePrefs({{"hide_edit_button", false}, {"ask_before_delete", false}});
    ASSERT_EQ(testsupport::runProgram(
                  {binPath("notifyutil"), "--root", root.path(), "-p", "com.brevank.Cantrel.settingschanged"}),
              0);
    std::vector<std::string> after;
    for (int attempt = 0; attempt < 50; ++attempt) {
        ASSERT_TRUE(host.writeLine("run 0.1"));
        ASSERT_TRUE(host.writeLine("prefs"));
        after = readPrefs(host);
        if (after.size() == kFlagCount && after[8] == "hide_edit_button=NO") break;
    }
    ASSERT_EQ(after.size(), kFlagCount);
    EXPECT_EQ(after[8], "hide_edit_button=NO");
    EXPECT_EQ(after[5], "ask_before_delete=NO");
    host.writeLine("quit");
    auto status = host.waitExit();
    ASSERT_TRUE(status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST_F(Host, KillallEndsTheHostOfThisRootOnly) {
    TempDir otherRoot{"other"};
    Child host({binPath("Music"), "--root", root.path()}, true);
    Child other({binPath("Music"), "--root", otherRoot.path()}, true);
    for (Child* c : {&host, &other}) {
        ASSERT_TRUE(c->writeLine("prefs"));
        ASSERT_EQ(readPrefs(*c).size(), kFlagCount);  // up and running
        ASSERT_TRUE(c->writeLine("run 60"));
    }
    // A second host of the same root is refused.
    EXPECT_EQ(WEXITSTATUS(testsupport::runProgram({binPath("Music"), "--root", root.path(), "--no-inject"})), 2);

    platform::setDeviceRoot(root.path());
    EXPECT_EQ(platform::system("killall -9 Music"), 0);
    auto status = host.waitExit(10);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status));  // asked to stop, not killed
    EXPECT_TRUE(other.running());
    other.closeInput();
}

// ---------------------------------------------------------------------------
// The list screens: open and rows (MediaLibraryFixture.h for the library).

bool hasLineContaining(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST_F(Host, OpenShowsEachScreenAndRowsPrintsItsRows) {
    ASSERT_TRUE(fixture::writeLibrary());
    int code = -1;
    auto lines = runScript(
        "open songs\nrows 0 3\n"
        "open album 203\nrows\n"
        "open playlist 501\nrows 1 5\n"
        "open artists\nrows 4 1\nrows 3 2\n"
        "open playlists\nrows\n"
        "open genres\nrows 1 1\n"
        "open composers\nrows 9 3\nrows 0 0\n"
        "open compilations\nrows\n"
        "open albums\nrows 1 1\n",
        {}, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "0 0 Atlas", "1 0 Coming Home", "2 0 Dancing Lights",  // one song per letter
                         "0 0 Lullaby", "0 1 Lovesong",                           // the album's track order
                         "0 1 Coming Home", "0 2 Lullaby",                       // the playlist's order
                         "4 0 4 Quiet Rooms",                                      // "#" comes last
                         "3 0 Various Artists", "4 0 4 Quiet Rooms",
                         "0 0 Chill", "0 1 Road Trip",  // not the hidden one
                         "1 0 Pop",
                         "0 0 Now Hits",
                         "0 1 Arrival",
                     }));
}

TEST_F(Host, EntryFillsARecordForARowAsASwipeWould) {
    ASSERT_TRUE(fixture::writeLibrary());
    int code = -1;
    auto lines = runScript("open songs\nentry 2 0\nopen album 203\nentry 0 0\nopen albums\nentry 0 1\nentry 5 5\n", {},
                           code);
    EXPECT_EQ(code, 1);  // the last one names no row
    std::vector<std::string> song = {"viewIndex=0",
                                     "currentIndexPath=2,0",
                                     "origionalIndexPath=2,0",
                                     "mediaItem.persistentID=1001",
                                     "mediaItem.title=Dancing Lights",
                                     "mediaItemCollection.persistentID=0",
                                     "mediaItemCollection.count=0",
                                     "artwork=YES"};
    EXPECT_EQ(slice(lines, 0, 8), song);
    EXPECT_EQ(slice(lines, 8, 8), (std::vector<std::string>{"viewIndex=3", "currentIndexPath=0,0", "origionalIndexPath=0,0",
                                                            "mediaItem.persistentID=1006", "mediaItem.title=Lullaby",
                                                            "mediaItemCollection.persistentID=0",
                                                            "mediaItemCollection.count=0", "artwork=NO"}));
    auto album = slice(lines, 16, 8);
    ASSERT_EQ(album.size(), 8u);
    EXPECT_EQ(album[0], "viewIndex=2");
    EXPECT_EQ(album[5], "mediaItemCollection.persistentID=201");  // Arrival, after Aerial Maps
    EXPECT_EQ(album[6], "mediaItemCollection.count=2");
    EXPECT_EQ(album[7], "artwork=YES");  // the picture shown in the row's cell
    EXPECT_TRUE(hasLineContaining(lines, "entry: no row 5 5 on this screen"));
}

TEST_F(Host, OpenAndRowsRejectBadArgumentsAndKeepTheScreen) {
    ASSERT_TRUE(fixture::writeLibrary());
    int code = -1;
    auto lines = runScript(
        "rows\n"  // the songs tab's root list is empty
        "open genres\n"
        "open\nopen radio\nopen album\nopen album 999\nopen album x\nopen songs 5\nopen album 1 2\n"
        "rows 1\nrows a b\nrows -1 2\nrows 0 1 2\n"
        "rows\n",
        {"--no-inject"}, code);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(hasLineContaining(lines, "open: expected 1 or 2 argument(s), usage: open SCREEN [ID]"));
    EXPECT_TRUE(hasLineContaining(lines, "open: unknown screen 'radio' (screens: songs, artists, albums, album ID,"));
    EXPECT_TRUE(hasLineContaining(lines, "open: the album screen needs an id"));
    EXPECT_TRUE(hasLineContaining(lines, "open: no album with id 999"));
    EXPECT_TRUE(hasLineContaining(lines, "open: bad id 'x'"));
    EXPECT_TRUE(hasLineContaining(lines, "open: the songs screen takes no id"));
    EXPECT_TRUE(hasLineContaining(lines, "rows: expected 0 or 2 argument(s), usage: rows [FIRST COUNT]"));
    EXPECT_TRUE(hasLineContaining(lines, "rows: FIRST and COUNT must be whole numbers"));
    // The genres list is still the current screen.
    std::vector<std::string> rows;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(rows),
                 [](const std::string& l) { return std::isdigit(static_cast<unsigned char>(l[0])); });
    EXPECT_EQ(rows, (std::vector<std::string>{"0 0 Alternative", "1 0 Pop", "2 0 Rock"}));
}

TEST_F(Host, RowsCapsALongListAndWalksItInWindows) {
    int made = testsupport::runProgram({binPath("mklibrary"), "--root", root.path(), "--songs", "230", "--seed", "7"});
    ASSERT_TRUE(WIFEXITED(made) && WEXITSTATUS(made) == 0);
    int code = -1;
    auto all = runScript("open songs\nrows\n", {}, code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(all.size(), 201u);
    EXPECT_EQ(all.back(), "# 30 more rows (rows FIRST COUNT)");
    // Every line is "section row[ title]", in table order.
    long lastSection = 0, lastRow = -1;
    for (size_t i = 0; i + 1 < all.size(); ++i) {
        std::istringstream in(all[i]);
        long section = -1, r = -1;
        ASSERT_TRUE(in >> section >> r) << all[i];
        ASSERT_TRUE(in.eof() || in.get() == ' ') << all[i];
        EXPECT_TRUE(section > lastSection ? r == 0 : section == lastSection && r == lastRow + 1) << all[i];
        lastSection = section;
        lastRow = r;
    }
    // The same rows, a window at a time.
    auto windows = runScript("open songs\nrows 0 150\nrows 150 50\nrows 228 10\nrows 230 5\n", {}, code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(windows.size(), 202u);
    EXPECT_EQ(std::vector<std::string>(windows.begin(), windows.begin() + 200),
              std::vector<std::string>(all.begin(), all.begin() + 200));
}

}  // namespace

namespace {

TEST_F(Host, SnapshotWritesTheScreenWhereTheHostStartedAndFlagsAreChecked) {
    // Started in a folder of its own, the host writes a relative path there.
    TempDir start{"host-start"};
    std::string script = start.path() + "/script";
    std::ofstream(script) << "snapshot shot.png\nsnapshot /nonexistent-dir/x.png\n";
    auto run = [&](const std::string& flags) {
        Child child({"/bin/sh", "-c",
                     "cd '" + start.path() + "' && " + binPath("Music") + " --root '" + root.path() +
                         "' --no-inject --script script " + flags + " 2>&1"});
        std::vector<std::string> lines;
        while (auto line = child.readLine()) lines.push_back(*line);
        auto status = child.waitExit();
        return std::make_pair(status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1, lines);
    };
    auto [code, lines] = run("--screen 200x300@1.5 --idiom ipad");
    EXPECT_EQ(code, 1);  // the second snapshot cannot be written
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "snapshot: 200x300 points at scale 1.5 -> shot.png");
    EXPECT_NE(lines[1].find("cannot write"), std::string::npos);
    cairo_surface_t* png = cairo_image_surface_create_from_png((start.path() + "/shot.png").c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 300);
    EXPECT_EQ(cairo_image_surface_get_height(png), 450);
    cairo_surface_destroy(png);
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/shot.png"));

    for (const char* bad : {"--idiom tv", "--idiom", "--screen 200", "--screen 0x300", "--screen 200x300@x",
                            "--screen -1x5"}) {
        auto [badCode, badLines] = run(bad);
        EXPECT_EQ(badCode, 2) << bad;
        ASSERT_FALSE(badLines.empty()) << bad;
        EXPECT_NE(badLines[0].find(std::string(bad).substr(0, 7)), std::string::npos) << bad << ": " << badLines[0];
    }
}

}  // namespace
