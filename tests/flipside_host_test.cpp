// The Music host's flipside commands, end to end with the library injected.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <csignal>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

TEST(FlipsideHost, ShowsThePlayingAlbumWithItsEditButtonWhichOpensTheSheet) {
    signal(SIGPIPE, SIG_IGN);
    TempDir root{"flipsidehost"};
    ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(), "editflipside\nplay album 202\nflipside\neditflipside\n",
                                             code, "", nullptr);
    EXPECT_NE(code, 0);  // the first tap comes before any flipside
    // The header is the 320-point screen wide and 140 high: the button
    // stands at (320 - 55, 140 - 100), 50 square.
    std::vector<std::string> expected = {
        "editflipside: no edit button is shown (flipside first)",
        "flipside 3 tracks",
        "1003 Coming Home",
        "1004 Something Blue",
        "1005 Otter's Garden",
        "edit button 265 40 50 50",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace
