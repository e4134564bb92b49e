// The Music host's panel commands end to end: the picture menu of a song's
// and an album's sheet, a search ending in an empty grid and cancelled, the photo picker
// cancelled, a post without and with a composer (a song without artwork:
// no picture is added); a search of a service that answers a byte a second
// ends within its deadline, in time for the host's wait.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "SearchServerSupport.h"

#include <platform/DeviceRoot.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

class PanelHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", "http://127.0.0.1:1", 1);  // nothing listens there
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        std::string bundle = root.path() + "/Library/Application Support/Cantrel/Cantrel.bundle";
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
    }
    TempDir root{"panelhost"};
};

TEST_F(PanelHost, MenuSearchPhotoAndPost) {
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(),
        "open album 202\nswipe 0 0\ntap 2\nartwork\nmenu Track title\ncancelsearch\nartwork\nmenu Browse Photo library\n"
        "photo cancel\nshare twitter\nsocial twitter on\nshare twitter\ncompose done\n"
        "open albums\nswipe 0 0\ntap 2\nartwork\n",
        code);
    EXPECT_EQ(code, 0);
    std::vector<std::string> menuOfSong = {"menu Artist name & Album title", "menu Album title & Track title",
                                           "menu Track title", "menu Browse Photo library", "menu Cancel"};
    std::vector<std::string> expected = menuOfSong;
    expected.push_back("screen SearchQueryViewController");  // an empty grid: no service answers
    expected.insert(expected.end(), menuOfSong.begin(), menuOfSong.end());
    for (const char* l : {"screen CUIImagePickerController", "screen sheet",  // photo cancelled
                          "screen sheet",                                     // no composer
                          "composer com.platform.social.twitter",
                          R"(text ♪ In my music library: Coming Home by Blue Harbor ♪\r\n\r\nsent via Cantrel ♫\r\n)",
                          "images 0", "screen sheet", "menu Artist name & Album title", "menu Browse Photo library",
                          "menu Cancel"})
        expected.push_back(l);
    std::vector<std::string> got;
    for (const std::string& l : lines)
        if (l.rfind("menu ", 0) == 0 || l.rfind("screen ", 0) == 0 || l.rfind("composer ", 0) == 0 ||
            l.rfind("text ", 0) == 0 || l.rfind("images ", 0) == 0 || l == " " || l.rfind("sent via", 0) == 0)
            got.push_back(l);
    EXPECT_EQ(got, expected);
}

TEST_F(PanelHost, ASlowServiceEndsTheSearchBeforeTheHostGivesUp) {
    test::SearchServer server({"--fail", "trickle"});
    setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", server.base().c_str(), 1);
    int code = -1;
    std::vector<std::string> errors;
    auto lines = testsupport::runMusicScript(root.path(), "open album 202\nswipe 0 0\ntap 2\nartwork\nmenu Track title\n",
                                             code, "", &errors);
    EXPECT_EQ(code, 0);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "screen SearchQueryViewController"), lines.end());
    for (const std::string& e : errors) EXPECT_EQ(e.find("did not end"), std::string::npos) << e;
}

}  // namespace

// Opening another screen closes the sheet, or whatever of its sub-screens
// shows, together with the screen that presented it: what was open cannot
// be used any more, and nothing comes back later.
TEST_F(PanelHost, OpeningAnotherScreenClosesTheSheetAndItsSubScreens) {
    struct Case {
        const char* script;  // after the sheet of a song opened
        const char* error;   // of the last command
    };
    const Case cases[] = {
        {"open albums\nartwork\n", "artwork: no edit sheet is open"},
        {"open albums\nshare twitter\n", "share: no edit sheet is open"},
        {"artwork\nopen albums\nmenu Cancel\n", "menu: no picture menu is open"},
        {"artwork\nmenu Browse Photo library\nopen albums\nphoto cancel\n", "photo: no photo picker is open"},
        {"social twitter on\nshare twitter\nopen albums\ncompose done\n", "compose: no composer is open"},
        {"artwork\nmenu Track title\nopen albums\ncancelsearch\n", "cancelsearch: no image search is open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        std::vector<std::string> errors;
        testsupport::runMusicScript(root.path(), std::string("open album 202\nswipe 0 0\ntap 2\n") + c.script +
                                                     "run 1\nsheet\n",
                                    code, "", &errors);
        EXPECT_EQ(code, 1);
        std::erase_if(errors, [](const std::string& e) { return e.rfind("Music[", 0) == 0; });  // the log
        EXPECT_EQ(errors, (std::vector<std::string>{c.error, "sheet: no edit sheet is open"}));
    }
}
