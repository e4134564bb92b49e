// The Music host's now-playing commands, end to end with the library
// injected: the screen's bar and buttons, the picker's rows, an add to an
// existing playlist and to a new one.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

TEST(NowPlayingHost, ShowsTheButtonsAndAddsThePlayingSong) {
    signal(SIGPIPE, SIG_IGN);
    TempDir root{"nowplayinghost"};
    ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "addtoplaylist\n"
                                             "play album 202\n"
                                             "nowplayingscreen\n"
                                             "addtoplaylist\n"
                                             "pick 2\n"
                                             "toolbar Done\n"
                                             "playlists\n"
                                             "action Done\n"
                                             "addtoplaylist\n"
                                             "toolbar Done\n"
                                             "type Night Drive\n"
                                             "action Done\n"
                                             "open playlists\n"
                                             "rows\n"
                                             "open playlist 501\n"
                                             "rows\n",
                                             code, "", nullptr);
    EXPECT_NE(code, 0);  // the first tap comes before the screen is shown
    // A 320 x 480 phone: the controls take the bottom 180 points (y 300),
    // their slider stands at (8, 10, 304, 30); the add button at
    // (304 - 63 + 20, 300 + 10 + 120 - 37), the edit button at
    // (8 + 18 - 20, 300 + 10 + 117 - 35).
    std::vector<std::string> expected = {
        "addtoplaylist: no add button is shown (nowplayingscreen first)",
        "nowplaying 1003 Coming Home",
        "99 Tracks",
        "101 bookmarks",
        "add button 261 393 50 50",
        "edit button 6 392 50 50",
        "# Add to playlist, 3 row(s), chosen 0, picker at 0, field \"\"",
        "* 0 Create new playlist",
        "  1 Chill",
        "  2 Road Trip",
        "# Add to playlist, 3 row(s), chosen 2, picker at 2, field \"Road Trip\"",
        "  0 Create new playlist",
        "  1 Chill",
        "* 2 Road Trip",
        "# Add to playlist, 3 row(s), chosen 0, picker at 0, field \"\"",
        "* 0 Create new playlist",
        "  1 Chill",
        "  2 Road Trip",
        "type: 11 character(s) taken, text \"Night Drive\"",
    };
    ASSERT_GE(lines.size(), expected.size() + 7);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
    // The playlists screen lists the new playlist beside the two visible
    // ones; Road Trip ends with the song added to it.
    std::vector<std::string> names;
    for (size_t i = expected.size(); i < expected.size() + 3; ++i) names.push_back(lines[i].substr(4));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Chill", "Night Drive", "Road Trip"}));
    EXPECT_EQ(std::vector<std::string>(lines.begin() + expected.size() + 3, lines.end()),
              (std::vector<std::string>{"0 0 Atlas", "0 1 Coming Home", "0 2 Lullaby", "0 3 Coming Home"}));
}

// On a 375 x 667 phone the controls take the 292 points below the square
// artwork (y 375): add at (359 - 63 + 10, 375 + 10 + 120 - 14), edit at
// (8 + 18 - 15, 375 + 10 + 117 - 14). The edit button opens the playing
// song's sheet.
TEST(NowPlayingHost, OnA667PhoneTheEditButtonOpensTheSongsSheet) {
    signal(SIGPIPE, SIG_IGN);
    TempDir root{"nowplayinghost667"};
    ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(), "play album 202\nnowplayingscreen\neditnowplaying\nsheet\n",
                                             code, "--screen 375x667", nullptr);
    EXPECT_EQ(code, 0);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 6),
              (std::vector<std::string>{"nowplaying 1003 Coming Home", "99 Tracks", "101 bookmarks",
                                        "add button 306 491 50 50", "edit button 11 488 50 50", "panel SongView"}));
    // The 667 phone's rule gives 227; the card's inner width caps it at 224.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "field titleTextField \"Coming Home\" width=224"), lines.end());
}

// On a pad turned to landscape the buttons stand where the turned screen puts
// them, whether the screen was shown upright first or not.
TEST(NowPlayingHost, TurnedPadPlacesTheButtonsFromTheTurnedScreen) {
    signal(SIGPIPE, SIG_IGN);
    TempDir root{"nowplayinghostpad"};
    ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    auto buttons = [&](const std::string& script) {
        int code = -1;
        auto lines = testsupport::runMusicScript(root.path(), script, code, "--idiom ipad --screen 768x1024", nullptr);
        EXPECT_EQ(code, 0);
        std::vector<std::string> out;
        for (const std::string& line : lines)
            if (line.find(" button ") != std::string::npos) out.push_back(line);
        return out;
    };
    auto turnedOnly = buttons("play album 202\nrotate landscape\nnowplayingscreen\n");
    auto uprightFirst = buttons("play album 202\nnowplayingscreen\nrotate landscape\nnowplayingscreen\n");
    ASSERT_EQ(turnedOnly.size(), 2u);
    ASSERT_EQ(uprightFirst.size(), 4u);
    EXPECT_NE(uprightFirst[0], turnedOnly[0]);  // upright, the add button stands elsewhere
    EXPECT_EQ(std::vector<std::string>(uprightFirst.begin() + 2, uprightFirst.end()), turnedOnly);
    // The add button near the right edge of the 1024-point-wide screen.
    EXPECT_EQ(turnedOnly[0].rfind("add button 9", 0), 0u) << turnedOnly[0];
}

// Before anything plays the screen names no song, as the player says; once a
// list plays both name its first song.
TEST(NowPlayingHost, TheScreenAndThePlayerAgreeBeforeAndAfterAListPlays) {
    signal(SIGPIPE, SIG_IGN);
    TempDir root{"nowplayinghostidle"};
    ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "nowplayingscreen\nnowplaying\nplay songs\nnowplayingscreen\nnowplaying\n",
                                             code, "", nullptr);
    EXPECT_EQ(code, 0);
    auto first = std::find(lines.begin(), lines.end(), "nowplaying 1010 Atlas");
    ASSERT_NE(first, lines.end());
    std::vector<std::string> before(lines.begin(), first);
    EXPECT_EQ(std::count(before.begin(), before.end(), "# nothing is loaded"), 2);
    EXPECT_EQ(std::count_if(before.begin(), before.end(), [](const std::string& l) { return l.rfind("nowplaying ", 0) == 0; }), 0);
    EXPECT_EQ(lines.back(), "1010 Atlas playing");
}

}  // namespace
