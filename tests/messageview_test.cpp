// The message badge: its frame, its parts, the self-dismissal on the run
// loop's clock, the persistent badge's lines, and a platform without blur.
#include <gtest/gtest.h>

#include "Classes.h"
#include "IconView.h"
#include "MessageView.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <UIKit/CALayer.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIKit.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIVisualEffectView.h>
#include <platform/RunLoop.h>

#include <string>
#include <vector>

namespace {

// Makes a badge with the frame form of the initialiser; owned.
Strong<MessageView> makeBadge(const char* text, double interval, NSInteger iconTag,
                              CGRect frame = CGRectMake(0, 0, 320, 480), int viewIndex = 0) {
    id made = objc_msgSend<id(id, double, NSInteger, CGRect, int)>(
        objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
        "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, NSString::make(text), interval,
        iconTag, frame, viewIndex);
    return Strong<MessageView>::adopt(static_cast<MessageView*>(made));
}

std::vector<id> subviewsOf(id view) {
    std::vector<id> out;
    id list = objc_msgSend<id()>(view, "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(list, "count"_sel); i < n; ++i)
        out.push_back(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, i));
    return out;
}

bool sameRect(CGRect a, CGRect b) { return CGRectEqualToRect(a, b); }

std::string textOf(id label) { return to_string(static_cast<NSString*>(objc_msgSend<id()>(label, "text"_sel))); }

bool sameColour(id a, id b) { return objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b); }

// A label as the badge makes its lines.
void expectLine(id label, NSInteger tag, CGRect frame, double fontSize, const std::string& text) {
    ASSERT_TRUE(objc_msgSend<BOOL(Class)>(label, "isKindOfClass:"_sel, UILabel::cls()));
    EXPECT_EQ(objc_msgSend<NSInteger()>(label, "tag"_sel), tag);
    EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(label, "frame"_sel), frame));
    EXPECT_EQ(textOf(label), text);
    id font = objc_msgSend<id()>(label, "font"_sel);
    id bold = objc_msgSend<id(double)>(UIFont::cls(), "boldSystemFontOfSize:"_sel, fontSize);
    EXPECT_EQ(objc_msgSend<double()>(font, "pointSize"_sel), fontSize);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(objc_msgSend<id()>(font, "fontName"_sel), "isEqual:"_sel,
                                       objc_msgSend<id()>(bold, "fontName"_sel)));
    EXPECT_EQ(objc_msgSend<NSInteger()>(label, "numberOfLines"_sel), 0);
    EXPECT_TRUE(objc_msgSend<BOOL()>(label, "adjustsFontSizeToFitWidth"_sel));
    EXPECT_EQ(objc_msgSend<NSInteger()>(label, "textAlignment"_sel), 1);
    EXPECT_TRUE(sameColour(objc_msgSend<id()>(label, "textColor"_sel),
                           objc_msgSend<id()>(UIColor::cls(), "darkGrayColor"_sel)));
}

// Border, corners and background, with or without blur.
void expectFrameOfBadge(MessageView* badge) {
    id layer = objc_msgSend<id()>(badge, "layer"_sel);
    EXPECT_EQ(objc_msgSend<double()>(layer, "cornerRadius"_sel), 10);
    EXPECT_EQ(objc_msgSend<double()>(layer, "borderWidth"_sel), 0.2);
    CGColor border = objc_msgSend<CGColor()>(layer, "borderColor"_sel);
    CGColor light = objc_msgSend<CGColor()>(objc_msgSend<id()>(UIColor::cls(), "lightGrayColor"_sel), "CGColor"_sel);
    EXPECT_EQ(border.red, light.red);
    EXPECT_EQ(border.green, light.green);
    EXPECT_EQ(border.blue, light.blue);
    EXPECT_EQ(border.alpha, light.alpha);
    EXPECT_TRUE(objc_msgSend<BOOL()>(badge, "clipsToBounds"_sel));
    EXPECT_TRUE(sameColour(objc_msgSend<id()>(badge, "backgroundColor"_sel),
                           objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel)));
}

void expectIcon(id icon, NSInteger tag) {
    ASSERT_TRUE(objc_msgSend<BOOL(Class)>(icon, "isKindOfClass:"_sel, IconView::cls()));
    EXPECT_EQ(objc_msgSend<NSInteger()>(icon, "tag"_sel), tag);
    EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(icon, "frame"_sel), CGRectMake(50, 80, 50, 50)));
    EXPECT_TRUE(sameColour(objc_msgSend<id()>(icon, "backgroundColor"_sel),
                           objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel)));
}

class Badge : public ::testing::Test {
protected:
    void SetUp() override {
        Cantrel_registerClasses();
        platform::Clock::setVirtual(true);
        platform::setBlurAvailable(true);
        platform::resetMainScreen();
        host = Strong<UIView>::adopt(static_cast<UIView*>(objc_msgSend<id(CGRect)>(
            objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 320, 480))));
    }
    void TearDown() override { platform::setBlurAvailable(true); }

    bool shown(MessageView* badge) { return objc_msgSend<id()>(badge, "superview"_sel) == host.get(); }

    test::TempRoot root;
    AutoreleasePool pool;
    Strong<UIView> host;
};

TEST_F(Badge, SelfDismissingBadgeShowsItsPartsThenFadesAndGoes) {
    Weak<MessageView> weak;
    {
        AutoreleasePool inner;
        Strong<MessageView> badge = makeBadge("Play Now!", 0.5, IconViewTagDiscPlay);
        ASSERT_TRUE(badge);
        objc_msgSend<void(id)>(host.get(), "addSubview:"_sel, badge.get());
        weak = badge.get();
    }  // the caller let go at once: the host view and the pending dismissal keep it
    MessageView* badge = weak.get();
    ASSERT_NE(badge, nullptr);
    EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(badge, "frame"_sel), CGRectMake(85, 135, 150, 150)));
    expectFrameOfBadge(badge);
    std::vector<id> parts = subviewsOf(badge);
    ASSERT_EQ(parts.size(), 3u);
    ASSERT_TRUE(objc_msgSend<BOOL(Class)>(parts[0], "isKindOfClass:"_sel, UIVisualEffectView::cls()));
    EXPECT_EQ(objc_msgSend<NSInteger()>(parts[0], "tag"_sel), 0);
    EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(parts[0], "frame"_sel), CGRectMake(0, 0, 150, 150)));
    id effect = objc_msgSend<id()>(parts[0], "effect"_sel);
    EXPECT_TRUE(objc_msgSend<BOOL(Class)>(effect, "isKindOfClass:"_sel, UIBlurEffect::cls()));
    EXPECT_EQ(objc_msgSend<NSInteger()>(effect, "style"_sel), 1);
    expectLine(parts[1], 1, CGRectMake(0, 15, 150, 50), 17, "Play Now!");
    expectIcon(parts[2], IconViewTagDiscPlay);

    // No second line: updateSubText: does nothing; updateText: changes the line.
    EXPECT_NO_THROW(objc_msgSend<void(id)>(badge, "updateSubText:"_sel, "1 of 2"_ns));
    EXPECT_EQ(subviewsOf(badge).size(), 3u);
    objc_msgSend<void(id)>(badge, "updateText:"_sel, "Again!"_ns);
    EXPECT_EQ(textOf(parts[1]), "Again!");

    // Fully shown for its 0.5 s, then fading for 0.3 s, then gone.
    auto alphaShown = [&]() -> double {  // -1 once it has left the host
        MessageView* b = weak.get();
        return b != nullptr && shown(b) ? objc_msgSend<double()>(b, "alpha"_sel) : -1;
    };
    platform::RunLoop::main().runFor(0.49);
    EXPECT_EQ(alphaShown(), 1.0);
    platform::RunLoop::main().runFor(0.02);  // 0.51 s: fading towards alpha 0
    EXPECT_EQ(alphaShown(), 0.0);
    platform::RunLoop::main().runFor(0.27);  // 0.78 s: still fading
    EXPECT_EQ(alphaShown(), 0.0);
    platform::RunLoop::main().runFor(0.04);  // 0.82 s
    EXPECT_TRUE(weak.expired());  // removed, and nothing else held it
    EXPECT_TRUE(subviewsOf(host.get()).empty());
}

TEST_F(Badge, PersistentBadgeHasASecondLineAndStaysUntilRemoved) {
    Strong<MessageView> badge = makeBadge("Preparing Tracks", 0, IconViewTagDiscPlus);
    objc_msgSend<void(id)>(host.get(), "addSubview:"_sel, badge.get());
    std::vector<id> parts = subviewsOf(badge);
    ASSERT_EQ(parts.size(), 4u);
    expectLine(parts[1], 1, CGRectMake(0, 10, 150, 50), 17, "Preparing Tracks");
    expectLine(parts[2], 2, CGRectMake(0, 35, 150, 50), 15, "");
    expectIcon(parts[3], IconViewTagDiscPlus);

    objc_msgSend<void(id)>(badge.get(), "updateSubText:"_sel, "3 of 7"_ns);
    objc_msgSend<void(id)>(badge.get(), "updateText:"_sel, "Zipping Files"_ns);
    EXPECT_EQ(textOf(parts[2]), "3 of 7");
    EXPECT_EQ(textOf(parts[1]), "Zipping Files");

    platform::RunLoop::main().runFor(10);
    EXPECT_TRUE(shown(badge));
    EXPECT_EQ(objc_msgSend<double()>(badge.get(), "alpha"_sel), 1.0);
    objc_msgSend<void()>(badge.get(), "removeFromSuperview"_sel);
    EXPECT_FALSE(shown(badge));

    // A negative interval: the main line at 15, no second line, no dismissal.
    Strong<MessageView> stays = makeBadge("Odd", -1, IconViewTagDiscPlus);
    objc_msgSend<void(id)>(host.get(), "addSubview:"_sel, stays.get());
    parts = subviewsOf(stays);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(parts[1], "frame"_sel), CGRectMake(0, 15, 150, 50)));
    platform::RunLoop::main().runFor(10);
    EXPECT_TRUE(shown(stays));
}

TEST_F(Badge, StandsAboveTheMiddleOfTheGivenSizeAndHigherOnTheFlipside) {
    struct Case {
        CGRect frame;
        int viewIndex;
        CGRect expected;
    };
    const Case cases[] = {
        {CGRectMake(0, 0, 320, 480), 0, CGRectMake(85, 135, 150, 150)},
        {CGRectMake(40, 70, 320, 480), 3, CGRectMake(85, 135, 150, 150)},  // the origin does not count
        {CGRectMake(0, 0, 320, 480), 10, CGRectMake(85, -15, 150, 150)},
        {CGRectMake(0, 0, 768, 1024), 12, CGRectMake(309, 407, 150, 150)},
        {CGRectMake(0, 0, 768, 1024), 10, CGRectMake(309, 257, 150, 150)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.viewIndex);
        Strong<MessageView> badge = makeBadge("Done", 0, IconViewTagDiscPlus, c.frame, c.viewIndex);
        EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(badge.get(), "frame"_sel), c.expected));
    }

    // The form without a frame: the main screen, centred on its middle.
    platform::setMainScreen(CGSizeMake(375, 667), 2);
    for (auto [viewIndex, y] : {std::pair<NSInteger, double>{0, 258.5}, {10, 108.5}}) {
        id made = objc_msgSend<id(id, double, NSInteger, NSInteger)>(
            objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
            "initWithMessage:dismissAfter:andWithIconTag:andViewIndex:"_sel, "Done"_ns, 0.0,
            static_cast<NSInteger>(IconViewTagDiscPlus), viewIndex);
        Strong<MessageView> badge = Strong<MessageView>::adopt(static_cast<MessageView*>(made));
        EXPECT_TRUE(sameRect(objc_msgSend<CGRect()>(badge.get(), "frame"_sel), CGRectMake(112.5, y, 150, 150)))
            << viewIndex;
    }
}

TEST_F(Badge, WithoutBlurTheBadgeKeepsItsBorderLinesAndIcon) {
    platform::setBlurAvailable(false);
    Strong<MessageView> badge = makeBadge("Done", 1.0, IconViewTagDiscPlus);
    objc_msgSend<void(id)>(host.get(), "addSubview:"_sel, badge.get());
    expectFrameOfBadge(badge);
    std::vector<id> parts = subviewsOf(badge);
    ASSERT_EQ(parts.size(), 2u);
    expectLine(parts[0], 1, CGRectMake(0, 15, 150, 50), 17, "Done");
    expectIcon(parts[1], IconViewTagDiscPlus);
    platform::RunLoop::main().runFor(1.31);
    EXPECT_FALSE(shown(badge));
}

}  // namespace
