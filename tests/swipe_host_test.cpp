// The Music host's swipe and tap commands, end to end with the library
// injected.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <platform/DeviceRoot.h>

#include <cairo.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using testsupport::binPath;
using testsupport::Child;
using testsupport::TempDir;

namespace {

class SwipeHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    }

    // Runs the host on a script: its output lines and exit code. With
    // `errors`, the error lines go there (they may end with a sanitizer's
    // summary); without, they are merged into the output.
    std::vector<std::string> run(const std::string& script, int& exitCode, std::vector<std::string>* errors = nullptr) {
        return testsupport::runMusicScript(root.path(), script, exitCode, "", errors);
    }
    std::vector<std::string> run(const std::string& script, int& exitCode, const std::string& flags) {
        return testsupport::runMusicScript(root.path(), script, exitCode, flags);
    }

    TempDir root{"swipehost"};
};

const std::vector<std::string> kAlbumTrackButtons = {
    "1 U+2715,U+0020,U+0020 0.996,0.231,0.184,1.000 none",
    "2 U+2026 0.780,0.780,0.800,1.000 none",
    "6 U+0020,U+0020,U+0020 1.000,0.486,0.000,1.000 play_last_short@2x.png",
    "4 U+0020,U+0020,U+0020 1.000,0.584,0.000,1.000 play_next_short@2x.png",
    "3 U+0020,U+0020,U+0020 1.000,0.663,0.000,1.000 play_now_short@2x.png",
    "5 U+0020,U+0020,U+0020 1.000,0.769,0.216,1.000 export_short@2x.png",
};

// A pixel of a PNG written by the host's snapshot, 0xAARRGGBB; 0 when the
// file cannot be read.
uint32_t pixelOf(const std::string& png, int x, int y) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(png.c_str());
    uint32_t value = 0;
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS && x < cairo_image_surface_get_width(surface) &&
        y < cairo_image_surface_get_height(surface)) {
        const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        std::memcpy(&value, row + 4 * x, 4);
    }
    cairo_surface_destroy(surface);
    return value;
}

TEST_F(SwipeHost, SwipeListsTheButtonsAndTapsShowTheBadgeAndDelete) {
    int code = -1;
    std::string shown = root.path() + "/shown.png", gone = root.path() + "/gone.png";
    std::vector<std::string> errors;  // drawing text may end them with a sanitizer's summary
    auto lines = run("open album 201\nswipe 0 1\ntap 4\nsnapshot " + shown + "\nrun 1\nsnapshot " + gone +
                         "\ndeletes\ntap 1\nrun 1\ndeletes\naction Delete\ndeletes\n",
                     code, &errors);
    EXPECT_EQ(code, 0);
    std::vector<std::string> expected = kAlbumTrackButtons;
    expected.push_back("snapshot: 320x480 points at scale 2 -> " + shown);
    expected.push_back("snapshot: 320x480 points at scale 2 -> " + gone);
    expected.push_back("deletes 0");
    expected.push_back("deletes 0");  // asked first
    expected.push_back("deletes 1");  // the restyled delete still deletes, once confirmed
    EXPECT_EQ(lines, expected);

    // The "Play Next!" badge, 150 points square, stands centred 30 points
    // above the middle of the 320 x 480 screen: its icon (50, 80) inside it,
    // a grey disc with two white triangles, the back one's left side at x 6.
    const double iconX = 160 - 75 + 50, iconY = 240 - 75 - 30 + 80;
    auto at = [](const std::string& png, double x, double y) { return pixelOf(png, int(x * 2), int(y * 2)); };
    EXPECT_EQ(at(shown, iconX + 25, iconY + 5), 0xFF808080u);   // the disc
    EXPECT_EQ(at(shown, iconX + 6, iconY + 25), 0xFFFFFFFFu);   // the back triangle's side
    EXPECT_EQ(at(shown, iconX + 30, iconY + 25), 0xFF808080u);  // inside the front triangle
    // After its half second and its fade, the badge is gone.
    EXPECT_NE(at(gone, iconX + 25, iconY + 5), 0xFF808080u);
    EXPECT_NE(at(gone, iconX + 30, iconY + 25), 0xFF808080u);
}

TEST_F(SwipeHost, CompilationsKeepTheSystemsDeleteAlone) {
    int code = -1;
    auto lines = run("open compilations\nswipe 0 0\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"0 U+0044,U+0065,U+006C,U+0065,U+0074,U+0065 none none"}));
}

TEST_F(SwipeHost, PlayNextFromAnotherListChangesTheLiveQueue) {
    int code = -1;
    auto lines = run("nowplaying\nplay album 202\nopen album 201\nswipe 0 1\ntap 4\nqueue\nnowplaying\n"
                     "advance\nnowplaying\nadvance\nadvance\nadvance\nnowplaying\n",
                     code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(lines.size(), 1 + kAlbumTrackButtons.size() + 7);
    EXPECT_EQ(lines[0], "# nothing is loaded");
    // The album plays in its query's order (by disc and track); the swiped song goes in after the playing one.
    const std::vector<std::string> after(lines.begin() + 1 + kAlbumTrackButtons.size(), lines.end());
    EXPECT_EQ(after, (std::vector<std::string>{
                         "* 0 1003 Coming Home",
                         "  1 1002 Money, Money, Maybe",
                         "  2 1004 Something Blue",
                         "  3 1005 Otter's Garden",
                         "1003 Coming Home playing",
                         "1002 Money, Money, Maybe playing",
                         // After the last song the player stops and keeps it.
                         "1005 Otter's Garden paused",
                     }));
}

// A playlist that lists Coming Home twice: the player goes on after the copy
// that plays, reaches the end and stops, and play next puts the song right
// after that copy.
TEST_F(SwipeHost, ASongQueuedTwicePlaysTwiceAndTheQueueGoesOnAfterThePlayingCopy) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "INSERT INTO container_items VALUES (501, 1003, 3), (501, 1004, 4);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    int code = -1;
    auto lines = run("play playlist 501\nadvance\nadvance\nadvance\nopen album 201\nswipe 0 1\ntap 4\nqueue\n"
                     "navbar\nplayinglist\ntaprow 1\nnowplaying\nqueue\n"
                     "advance\nadvance\nadvance\nadvance\nnowplaying\nadvance\nnowplaying\n",
                     code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(lines.size(), kAlbumTrackButtons.size() + 30);
    const std::vector<std::string> after(lines.begin() + kAlbumTrackButtons.size(), lines.end());
    EXPECT_EQ(after, (std::vector<std::string>{
                         "  0 1010 Atlas",
                         "  1 1003 Coming Home",
                         "  2 1006 Lullaby",
                         "* 3 1003 Coming Home",
                         "  4 1002 Money, Money, Maybe",
                         "  5 1004 Something Blue",
                         "101 bookmarks",
                         // The Playing list marks the copy that plays; a tap on
                         // the other copy plays that one.
                         "# Playing list, 6 row(s)",
                         "  0 1010 Atlas | Tollund, Now Hits",
                         "  1 1003 Coming Home | Blue Harbor, Aerial Maps",
                         "  2 1006 Lullaby | The Copper Moths, Driftwood",
                         "* 3 1003 Coming Home | Blue Harbor, Aerial Maps (playing)",
                         "  4 1002 Money, Money, Maybe | Amber Lane, Arrival",
                         "  5 1004 Something Blue | Blue Harbor, Aerial Maps",
                         "# Playing list, 6 row(s)",
                         "  0 1010 Atlas | Tollund, Now Hits",
                         "* 1 1003 Coming Home | Blue Harbor, Aerial Maps (playing)",
                         "  2 1006 Lullaby | The Copper Moths, Driftwood",
                         "  3 1003 Coming Home | Blue Harbor, Aerial Maps",
                         "  4 1002 Money, Money, Maybe | Amber Lane, Arrival",
                         "  5 1004 Something Blue | Blue Harbor, Aerial Maps",
                         "1003 Coming Home playing",
                         "  0 1010 Atlas",
                         "* 1 1003 Coming Home",
                         "  2 1006 Lullaby",
                         "  3 1003 Coming Home",
                         "  4 1002 Money, Money, Maybe",
                         "  5 1004 Something Blue",
                         // Four songs on, the last plays; after it the player stops.
                         "1004 Something Blue playing",
                         "1004 Something Blue paused",
                     }));
}

TEST_F(SwipeHost, TheRadioTakesThePlayerAndAQueueButtonTakesItBack) {
    int code = -1;
    auto lines = run("radio\nnowplaying\nqueue\nopen songs\nswipe 0 0\ntap 3\nnowplaying\n", code);
    EXPECT_EQ(code, 0);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "- RadioTrack playing");
    EXPECT_EQ(lines[1], "# the player plays RURadioQueueFeeder, 2 item(s)");
    // Play now on the songs list's first row (Atlas): the radio gives way to a queue of that song.
    EXPECT_EQ(lines.back(), "1010 Atlas playing");

    lines = run("radio\nnowplaying\n", code, "--no-radio");
    EXPECT_NE(code, 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"radio: this Music app has no radio", "# nothing is loaded"}));
}

TEST_F(SwipeHost, BadPlayRequestsFail) {
    const std::pair<const char*, const char*> cases[] = {
        {"play artists\n", "play: cannot play the artists screen (songs, album ID or playlist ID)"},
        {"play album 999\n", "play: no album with id 999"},
        {"play album x1\n", "play: ID must be a whole number, not 'x1'"},
        {"play songs 5\n", "play: the songs screen takes no id"},
        {"play playlist\n", "play: the playlist screen needs an id"},
    };
    for (const auto& [script, error] : cases) {
        SCOPED_TRACE(script);
        int code = -1;
        auto lines = run(std::string(script) + "nowplaying\n", code);
        EXPECT_NE(code, 0);
        EXPECT_EQ(lines, (std::vector<std::string>{error, "# nothing is loaded"}));
    }
}

TEST_F(SwipeHost, BadSwipesAndTapsFail) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"tap 4\n", "tap: no swiped row (swipe SECTION ROW first)"},
        {"open album 201\nswipe 0 0\ntap 9\n", "tap: the last swipe has no button tagged 9"},
        {"open album 201\nswipe 0 7\n", "swipe: no row 0 7 on this screen"},
        {"swipe a 1\n", "swipe: SECTION must be a whole number, not 'a'"},
        {"tap x\n", "tap: TAG must be a whole number, not 'x'"},
        // A swipe is forgotten when its screen goes or a later swipe fails.
        {"open songs\nswipe 0 0\nopen albums\ntap 4\n", "tap: no swiped row (swipe SECTION ROW first)"},
        {"open songs\nswipe 0 0\nopen songs\ntap 4\n", "tap: no swiped row (swipe SECTION ROW first)"},
        {"open album 201\nswipe 0 0\nswipe 0 7\ntap 4\n", "tap: no swiped row (swipe SECTION ROW first)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        std::vector<std::string> errors;
        run(c.script, code, &errors);
        EXPECT_EQ(code, 1);
        EXPECT_NE(std::find(errors.begin(), errors.end(), c.error), errors.end()) << c.error;
    }
}

// An alert a user reads is printed once, as it is shown, whichever class
// shows it: on a pad the delete question is an alert controller's. The edit
// sheet, an alert too, is printed by `sheet` instead.
TEST_F(SwipeHost, AnAlertIsPrintedOnceAsItIsShown) {
    int code = -1;
    auto lines = run("open album 201\nswipe 0 0\ntap 2\naction Cancel\ndelete 0 0\naction Cancel\n", code,
                     "--idiom ipad --screen 768x1024");
    EXPECT_EQ(code, 0) << ::testing::PrintToString(lines);
    std::vector<std::string> alerts;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(alerts),
                 [](const std::string& l) { return l.starts_with("alert"); });
    EXPECT_EQ(alerts, std::vector<std::string>{"alert: : Are you sure you want to delete this track?"});
}

// A delete asks first; Cancel keeps the row, Delete removes the song from
// the library and its row from the list.
TEST_F(SwipeHost, DeleteAsksAndTheAnswerDecides) {
    int code = -1;
    auto lines = run("open album 201\nrows\ndelete 0 0\naction Cancel\ndeletes\nrows\ndelete 0 0\naction Delete\n"
                     "deletes\nrows\ndelete 0 5\n",
                     code);
    EXPECT_NE(code, 0);  // the last delete names a row that is not there
    std::vector<std::string> expected = {
        "0 0 Dancing Lights", "0 1 Money, Money, Maybe",  // before
        "deletes 0",          "0 0 Dancing Lights", "0 1 Money, Money, Maybe",  // cancelled
        "deletes 1",          "0 0 Money, Money, Maybe",                         // deleted
        "delete: no row 0 5 on this screen",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace
