// What the stand-in draws of its sheets and screens: an action sheet on the
// bottom edge of the screen, an alert's long message wrapped inside its card,
// and the now-playing artwork kept clear of the controls on a turned screen.
#include <gtest/gtest.h>

#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIKit.h>
#include <UIKit/UIScreen.h>
#include <platform/RunLoop.h>

#include "TestSupport.h"

#include <string>

namespace {

class Pictures : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        platform::setMainScreen(CGSizeMake(320, 480), 1);
        presenter = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
            objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    }
    void TearDown() override {
        objc_msgSend<void(BOOL, id)>(presenter.get(), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::RunLoop::main().runFor(0.1);
        platform::resetMainScreen();
    }

    // An alert of `style` with the message and the actions (title, style), presented.
    id present(NSInteger style, id title, id message, const std::vector<std::pair<const char*, NSInteger>>& actions) {
        id alert = objc_msgSend<id(id, id, NSInteger)>(
            UIAlertController::cls(), "alertControllerWithTitle:message:preferredStyle:"_sel, title, message, style);
        for (const auto& [name, actionStyle] : actions)
            objc_msgSend<void(id)>(alert, "addAction:"_sel,
                                   objc_msgSend<id(id, NSInteger, id)>(UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel,
                                                                       NSString::make(name), actionStyle, nil));
        objc_msgSend<void(id, BOOL, id)>(presenter.get(), "presentViewController:animated:completion:"_sel, alert, NO, nil);
        platform::RunLoop::main().runFor(0.1);
        return alert;
    }
    void dismiss() {
        objc_msgSend<void(BOOL, id)>(presenter.get(), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::RunLoop::main().runFor(0.1);
    }

    AutoreleasePool pool;
    Strong<UIViewController> presenter;
};

uint32_t alphaOf(uint32_t p) { return p >> 24; }
int lightness(uint32_t p) { return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3; }

CGRect frameOf(id alert) { return objc_msgSend<CGRect()>(objc_msgSend<id()>(alert, "view"_sel), "frame"_sel); }

// An action sheet rises from the bottom edge of the screen, as wide as the
// screen less a small margin; its cancel action stands in a card of its own
// under the others. An alert stays a card in the middle.
TEST_F(Pictures, ActionSheetsStandOnTheBottomEdgeAndAlertsInTheMiddle) {
    id sheet = present(UIAlertControllerStyleActionSheet, nil, "Are you sure you want to delete this track?"_ns,
                       {{"Delete", UIAlertActionStyleDestructive}, {"Cancel", UIAlertActionStyleCancel}});
    CGRect card = frameOf(sheet);
    EXPECT_GT(CGRectGetMinY(card), 240);  // in the lower half
    EXPECT_LE(CGRectGetMaxY(card), 480);
    EXPECT_GE(CGRectGetMaxY(card), 480 - 20);  // on the bottom edge
    EXPECT_GE(card.size.width, 290);
    EXPECT_NEAR(CGRectGetMidX(card), 160, 1);

    // Drawn: the cancel card at the bottom, a clear gap over it, the card of
    // the question and "Delete" over that.
    Strong<UIImage> picture(UIImage::withSurface(platform::renderView(static_cast<UIView*>(objc_msgSend<id()>(sheet, "view"_sel)), 1), 1));
    int w = static_cast<int>(card.size.width), h = static_cast<int>(card.size.height);
    ASSERT_GT(h, 120);
    auto opaqueRow = [&](int y) { return alphaOf(picture->pixel(w / 2, y)) == 255 && lightness(picture->pixel(10, y)) > 200; };
    EXPECT_TRUE(opaqueRow(h - 10));  // the cancel card
    int gapRows = 0;
    for (int y = h - 70; y < h - 40; ++y)
        if (alphaOf(picture->pixel(w / 2, y)) == 0) ++gapRows;
    EXPECT_GE(gapRows, 4);      // a gap between the two cards
    EXPECT_TRUE(opaqueRow(10));  // the question's card
    dismiss();

    id alert = present(UIAlertControllerStyleAlert, "Title"_ns, "A question?"_ns,
                       {{"Yes", UIAlertActionStyleDefault}, {"No", UIAlertActionStyleCancel}});
    CGRect middle = frameOf(alert);
    EXPECT_NEAR(CGRectGetMidY(middle), 240, 1);
    EXPECT_EQ(middle.size.width, 270);
}

// A message longer than the card is wide is wrapped into lines inside the
// card, which grows to hold them; a message of blank lines stays room for a
// view laid over the card.
TEST_F(Pictures, LongAlertMessagesAreWrappedInsideTheCard) {
    id shortOne = present(UIAlertControllerStyleAlert, "Export"_ns, "Done."_ns, {{"OK", UIAlertActionStyleDefault}});
    double shortHeight = frameOf(shortOne).size.height;
    dismiss();

    std::string text = "The file could not be written because the folder it was meant for has gone away; "
                       "nothing was changed and the old copy is still where it was before this started.";
    id longOne = present(UIAlertControllerStyleAlert, "Export"_ns, NSString::make(text), {{"OK", UIAlertActionStyleDefault}});
    CGRect card = frameOf(longOne);
    EXPECT_EQ(card.size.width, 270);
    EXPECT_GE(card.size.height, shortHeight + 3 * 14);  // at least four lines of text
    EXPECT_LE(card.size.height, 480);

    // Ink on every line of the message's room, and none at the card's sides.
    Strong<UIImage> picture(UIImage::withSurface(platform::renderView(static_cast<UIView*>(objc_msgSend<id()>(longOne, "view"_sel)), 1), 1));
    int w = static_cast<int>(card.size.width), h = static_cast<int>(card.size.height);
    auto inkIn = [&](int x0, int x1, int y0, int y1) {
        int ink = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (alphaOf(picture->pixel(x, y)) == 255 && lightness(picture->pixel(x, y)) < 120) ++ink;
        return ink;
    };
    int messageTop = 20 + 22, messageBottom = h - 20 - 44;
    ASSERT_GT(messageBottom - messageTop, 3 * 14);
    int lines = 0;
    for (int y = messageTop; y + 14 <= messageBottom; y += 16)
        if (inkIn(16, w - 16, y, y + 14) > 20) ++lines;
    EXPECT_GE(lines, 4);
    EXPECT_EQ(inkIn(0, 8, messageTop, messageBottom) + inkIn(w - 8, w, messageTop, messageBottom), 0);
    dismiss();

    id room = present(UIAlertControllerStyleAlert, ""_ns, "\r\n\r\n\r\n"_ns, {{"Save", UIAlertActionStyleDefault}});
    EXPECT_EQ(frameOf(room).size.height, 20 + 4 * 16 + 20 + 44);
    dismiss();
}

// The now-playing screen's artwork: a square of the screen's width over the
// controls where that fits; else (a turned screen, or a short one) the
// largest square between the navigation bar and the controls, clear of both.
TEST_F(Pictures, NowPlayingArtworkKeepsClearOfTheControlsWhenTurned) {
    test::TempRoot root;
    platform::MusicApp app;
    app.launch();
    auto frames = [&] {
        app.showNowPlaying();
        id controller = objc::as_id(app.nowPlayingViewController());
        id view = objc_msgSend<id()>(controller, "view"_sel);
        id artwork = objc_msgSend<id(NSUInteger)>(objc_msgSend<id()>(view, "subviews"_sel), "objectAtIndex:"_sel, 0);
        id controls = objc_msgSend<id()>(controller, "playbackControlsView"_sel);
        return std::make_pair(objc_msgSend<CGRect()>(artwork, "frame"_sel), objc_msgSend<CGRect()>(controls, "frame"_sel));
    };
    platform::setMainScreen(CGSizeMake(375, 667), 1);
    auto [upright, uprightControls] = frames();
    EXPECT_TRUE(CGRectEqualToRect(upright, CGRectMake(0, 0, 375, 375)));
    EXPECT_LE(CGRectGetMaxY(upright), CGRectGetMinY(uprightControls));

    // 320 x 480: the controls need 180 points, more than is left under a
    // square of the width.
    for (CGSize screen : {CGSizeMake(480, 320), CGSizeMake(1024, 768), CGSizeMake(320, 480)}) {
        platform::setMainScreen(screen, 1);
        auto [art, controls] = frames();
        EXPECT_LE(CGRectGetMaxY(art), CGRectGetMinY(controls) + 0.01) << screen.width;
        EXPECT_GE(CGRectGetMinY(art), kUINavigationBarHeight - 0.01) << screen.width;  // under the bar
        EXPECT_EQ(art.size.width, art.size.height) << screen.width;
        EXPECT_NEAR(art.size.height, CGRectGetMinY(controls) - kUINavigationBarHeight, 0.01) << screen.width;
        EXPECT_NEAR(CGRectGetMidX(art), screen.width / 2, 0.51) << screen.width;
    }
    app.shutdown();
}

}  // namespace
