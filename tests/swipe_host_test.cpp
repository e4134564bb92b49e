// The Music host's swipe and tap commands, end to end with the library
// injected.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <platform/DeviceRoot.h>

#include <filesystem>
#include <fstream>
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
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        std::string bundle = root.path() + "/Library/Application Support/Cantrel/Cantrel.bundle";
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
    }

    // Runs the host on a script: its output lines (stderr merged) and exit code.
    std::vector<std::string> run(const std::string& script, int& exitCode, const std::string& flags = "") {
        return testsupport::runMusicScript(root.path(), script, exitCode, flags);
    }

    TempDir root{"swipehost"};
};

const std::vector<std::string> kAlbumTrackButtons = {
    "1 U+2715,U+0020,U+0020 0.996,0.231,0.184,1.000 none",
    "2 U+2026 0.780,0.780,0.800,1.000 none",
    "6 U+0020,U+0020,U+0020 1.000,0.486,0.000,1.000 play_last_short.png",
    "4 U+0020,U+0020,U+0020 1.000,0.584,0.000,1.000 play_next_short.png",
    "3 U+0020,U+0020,U+0020 1.000,0.663,0.000,1.000 play_now_short.png",
    "5 U+0020,U+0020,U+0020 1.000,0.769,0.216,1.000 export_short.png",
};

TEST_F(SwipeHost, SwipeListsTheButtonsAndTapRunsOne) {
    int code = -1;
    auto lines = run("open album 201\nswipe 0 1\ntap 4\nrun 1\ntap 1\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(lines, kAlbumTrackButtons);
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
    // The album plays in its query's order (by title); the swiped song goes in after the playing one.
    const std::vector<std::string> after(lines.begin() + 1 + kAlbumTrackButtons.size(), lines.end());
    EXPECT_EQ(after, (std::vector<std::string>{
                         "* 0 1003 Coming Home",
                         "  1 1002 Money, Money, Maybe",
                         "  2 1005 Otter's Garden",
                         "  3 1004 Something Blue",
                         "1003 Coming Home playing",
                         "1002 Money, Money, Maybe playing",
                         // After the last song the player stops and keeps it.
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
        {"play album x1\n", "play: bad id 'x1'"},
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
        {"swipe a 1\n", "swipe: SECTION and ROW must be whole numbers"},
        {"tap x\n", "tap: TAG must be a whole number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        auto lines = run(c.script, code);
        EXPECT_EQ(code, 1);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.error);
    }
}

}  // namespace
