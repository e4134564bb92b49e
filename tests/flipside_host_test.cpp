// The Music host's flipside commands, end to end with the library injected.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <algorithm>
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

// While the flipside view is up, the screen shows it, not the list under it:
// its header's labels name the playing album and its artist, above its tracks.
TEST(FlipsideHost, TheScreenShowsTheFlipsideViewWithTheAlbumsTitleAndArtist) {
    signal(SIGPIPE, SIG_IGN);
    TempDir root{"flipsidelabels"};
    ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(), "open artists\nplay album 202\nflipside\nlabels\n", code, "", nullptr);
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    auto shown = std::find(lines.begin(), lines.end(), "edit button 265 40 50 50");
    ASSERT_NE(shown, lines.end()) << ::testing::PrintToString(lines);
    std::vector<std::string> labels(shown + 1, lines.end());
    std::vector<std::string> expected = {"Aerial Maps", "Blue Harbor", "Coming Home", "Something Blue", "Otter's Garden"};
    EXPECT_EQ(labels, expected);
}

}  // namespace
