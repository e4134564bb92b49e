// The Music host's navigation-bar and "Playing list" commands, end to end
// with the library injected.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <platform/DeviceRoot.h>

#include <filesystem>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

class PlayingListHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    }
    std::vector<std::string> run(const std::string& script, int& exitCode, std::vector<std::string>* errors) {
        return testsupport::runMusicScript(root.path(), script, exitCode, "", errors);
    }
    TempDir root{"playinglisthost"};
};

TEST_F(PlayingListHost, TheQueueButtonOpensTheListWhichDragsTapsAndGoesInTheBackground) {
    int code = -1;
    std::vector<std::string> errors;
    // Album 202 plays in its query's order (by disc and track); the album screen shown
    // afterwards carries the queue button.
    auto lines = run("play album 202\nopen album 201\nnavbar\nplayinglist\nmove 2 0\nqueue\ntaprow 1\nnowplaying\n"
                     "background\nnavbar\n",
                     code, &errors);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(errors, std::vector<std::string>{});
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "101 bookmarks",
                         "# Playing list, 3 row(s)",
                         "* 0 1003 Coming Home | Blue Harbor, Aerial Maps (playing)",
                         "  1 1004 Something Blue | Blue Harbor, Aerial Maps",
                         "  2 1005 Otter's Garden | Blue Harbor, Aerial Maps",
                         "# Playing list, 3 row(s)",
                         "  0 1005 Otter's Garden | Blue Harbor, Aerial Maps",
                         "* 1 1003 Coming Home | Blue Harbor, Aerial Maps (playing)",
                         "  2 1004 Something Blue | Blue Harbor, Aerial Maps",
                         "  0 1005 Otter's Garden",
                         "* 1 1003 Coming Home",
                         "  2 1004 Something Blue",
                         "# Playing list, 3 row(s)",
                         "  0 1005 Otter's Garden | Blue Harbor, Aerial Maps",
                         "* 1 1003 Coming Home | Blue Harbor, Aerial Maps (paused)",
                         "  2 1004 Something Blue | Blue Harbor, Aerial Maps",
                         "1003 Coming Home paused",
                         "101 bookmarks",  // back on the album screen
                     }));
}

TEST_F(PlayingListHost, CommandsWithoutTheListOrItsButtonFail) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"navbar\n", nullptr},
        {"playinglist\n", "playinglist: the current screen has no queue button"},
        {"move 0 1\n", "move: the Playing list is not shown"},
        {"taprow 0\n", "taprow: the Playing list is not shown"},
        {"play album 202\nopen songs\nplayinglist\nmove 0 3\n", "move: cannot drag row 0 to 3 (the list has 3 row(s))"},
        {"play album 202\nopen songs\nplayinglist\ntaprow x\n", "taprow: ROW must be a whole number, not 'x'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        std::vector<std::string> errors;
        auto lines = run(c.script, code, &errors);
        EXPECT_EQ(code, c.error ? 1 : 0);
        if (c.error) {
            ASSERT_FALSE(errors.empty());
            EXPECT_EQ(errors.back(), c.error);
        } else {
            EXPECT_EQ(lines, std::vector<std::string>{"# no right bar items"});
        }
    }
}

}  // namespace
