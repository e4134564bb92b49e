// The Music host's edit-sheet commands, end to end with the library
// injected: open the sheet from the swipe's edit button, type, pick, close
// the picker, drag across the stars, picture it and close it.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <platform/DeviceRoot.h>

#include <cairo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

class SheetHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        ASSERT_TRUE(fixture::writeHostRoot(root.path()));
    }

    std::vector<std::string> run(const std::string& script, int& exitCode) {
        return testsupport::runMusicScript(root.path(), script, exitCode);
    }

    // Whether `want` appear in `lines` in that order.
    static bool inOrder(const std::vector<std::string>& lines, const std::vector<std::string>& want) {
        auto at = lines.begin();
        for (const std::string& w : want) {
            at = std::find(at, lines.end(), w);
            if (at == lines.end()) return false;
            ++at;
        }
        return true;
    }

    TempDir root{"sheethost"};
};

// On a pad at scale 2 (the rules give 672 points) and on a 667 x 375 phone
// (519), a long title's fields stay inside the 270-point card: 224 points
// from x 40, 6 short of its edge.
TEST_F(SheetHost, OnWideScreensTheFieldsStayInsideTheCard) {
    const std::string script =
        "open album 202\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\n"
        "type A title far longer than the sheet's card is wide, and then some more\nsheet\n";
    for (const char* options : {"--idiom ipad --screen 768x1024@2", "--screen 667x375@2"}) {
        SCOPED_TRACE(options);
        int code = -1;
        auto lines = testsupport::runMusicScript(root.path(), script, code, options);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(inOrder(lines, {"panel SongView",
                                    "field titleTextField \"A title far longer than the sheet's card is wide, and then "
                                    "some more\" width=224 focused",
                                    "field subTitleTextField \"Rock\" width=224"}));
    }
}

TEST_F(SheetHost, EditSheetFromTheSwipeTypedPickedRatedAndClosed) {
    std::string picture = root.path() + "/sheet.png";
    int code = -1;
    auto lines = run("open album 202\nswipe 0 0\ntap 2\nsheet\n"
                     "focus titleTextField\nclear\ntype New Name\n"
                     "focus subTitleTextField\ntype x\npick 0\ntoolbar Cancel\n"
                     "focus subTitleTextField\npick 1\ntoolbar Done\n"
                     "stars 3\nstars 0\nstars 5\nsheet\nsnapshot " + picture + "\naction Save\nsheet\n",
                     code);
    EXPECT_EQ(code, 1);  // the last `sheet` finds none
    EXPECT_TRUE(inOrder(lines, {
        "panel SongView",
        "message 14 CR LF pairs",
        "glyph tag=6 subTag=0",
        "field titleTextField \"Coming Home\" width=224",
        "field subTitleTextField \"Rock\" width=224",
        "picker subTitleTextField tag=7 rows=3 selected=2",
        "    0 Alternative",
        "    1 Pop",
        "  * 2 Rock",
        "stars 0",
        "rating prev=0 new=-1",
        "title prev=\"Coming Home\"",
        "label samplerateLbl hidden",
        "label bitrateLbl hidden",
        "view facebookImageView hidden",
        "view twitterImageView hidden",
        "artwork placeholder",
        "actions Cancel Save",
        "focus titleTextField (keyboard)",
        "clear: cleared",
        "type: 8 character(s) taken, text \"New Name\"",
        "focus subTitleTextField (picker)",
        "type: 0 character(s) taken, text \"Rock\"",
        "focus subTitleTextField (picker)",
        "stars 3, newRating 3",
        "stars 0, newRating 0",
        "stars 5, newRating 5",
        "field titleTextField \"New Name\" width=224",
        "field subTitleTextField \"Pop\" width=224",
        "picker subTitleTextField tag=7 rows=3 selected=1",
        "stars 5",
        "rating prev=0 new=5",
        "sheet: no edit sheet is open",
    })) << ::testing::PrintToString(lines);

    // The picture shows the alert's card (light grey) over a dimmed screen,
    // with the sheet's title field (white) on it.
    cairo_surface_t* s = cairo_image_surface_create_from_png(picture.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    cairo_surface_flush(s);
    auto pixel = [&](double x, double y) {  // points at scale 2
        auto* data = cairo_image_surface_get_data(s);
        return *reinterpret_cast<uint32_t*>(data + int(y * 2) * cairo_image_surface_get_stride(s) + int(x * 2) * 4) &
               0xFFFFFF;
    };
    EXPECT_EQ(pixel(40, 300), 0xF8F8F8u);  // the card (0.97 grey), beside the stars
    EXPECT_EQ(pixel(200, 90), 0xFFFFFFu);  // inside the title field
    EXPECT_LT(pixel(5, 5) & 0xFF, 0xC0u);  // the dimmed screen
    cairo_surface_destroy(s);
}

TEST_F(SheetHost, SheetCommandsWithoutASheetOrFieldFail) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"sheet\n", "sheet: no edit sheet is open"},
        {"focus titleTextField\n", "focus: no edit sheet is open"},
        {"open album 202\nswipe 0 0\ntap 2\nfocus nothing\n", "focus: the panel has no field 'nothing'"},
        // Only the names the panel declares: any other is never sent to it.
        {"open album 202\nswipe 0 0\ntap 2\nfocus dealloc\nfocus autorelease\nfocus autorelease\n",
         "focus: the panel has no field 'autorelease'"},
        {"open album 202\nswipe 0 0\ntap 2\ntype abc\n", "type: no field is focused (focus FIELD first)"},
        {"open album 202\nswipe 0 0\ntap 2\nfocus titleTextField\npick 1\n", "pick: the focused field has no picker"},
        {"open album 202\nswipe 0 0\ntap 2\nfocus subTitleTextField\npick 9\n", "pick: the picker has no row 9"},
        {"open album 202\nswipe 0 0\ntap 2\nstars 6\n", "stars: the sheet has 5 stars"},
        {"open composers\nswipe 0 0\ntap 2\nstars 2\n", "stars: this sheet has no stars"},
        {"action Save\n", "action: no alert is shown"},
        {"social myspace on\n", "social: usage social twitter|facebook on|off"},
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
