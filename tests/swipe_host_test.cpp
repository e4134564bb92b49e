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
    std::vector<std::string> run(const std::string& script, int& exitCode) {
        std::string scriptPath = root.path() + ".script";
        std::ofstream(scriptPath) << script;
        Child child({"/bin/sh", "-c", binPath("Music") + " --root '" + root.path() + "' --script '" + scriptPath +
                                          "' 2>&1"});
        std::vector<std::string> lines;
        while (auto line = child.readLine()) lines.push_back(*line);
        auto status = child.waitExit();
        std::filesystem::remove(scriptPath);
        exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        return lines;
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
        auto lines = run(c.script, code);
        EXPECT_EQ(code, 1);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.error);
    }
}

}  // namespace
