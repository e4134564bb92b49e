#include "MessageView.h"

#include "Cantrel.h"
#include "ItemEntry.h"

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSString.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIScreen.h>

#include <mutex>

namespace {

constexpr double kSide = 150;
constexpr double kRise = 30;                // above the middle of the given frame
constexpr double kFlipsideLift = -150;      // further up on the flipside album view
constexpr double kFadeDuration = 0.3;
constexpr NSInteger kMainLineTag = 1;
constexpr NSInteger kSecondLineTag = 2;
constexpr NSInteger kBlurStyleLight = 1;

double liftFor(long viewIndex) { return viewIndex == kViewIndexFlipsideAlbum ? kFlipsideLift : 0; }

id colour(SEL name) { return objc_msgSend<id()>(UIColor::cls(), name); }

// A bold, centred, dark grey label that shrinks its text to fit.
id makeLabel(CGRect frame, double fontSize, NSString* text, NSInteger tag) {
    id label = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("UILabel"), "alloc"_sel), "initWithFrame:"_sel,
                                        frame);
    id font = objc_msgSend<id(double)>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, fontSize);
    objc_msgSend<void(id)>(label, "setFont:"_sel, font);
    objc_msgSend<void(NSInteger)>(label, "setNumberOfLines:"_sel, 0);
    objc_msgSend<void(BOOL)>(label, "setAdjustsFontSizeToFitWidth:"_sel, YES);
    objc_msgSend<void(id)>(label, "setTextColor:"_sel, colour("darkGrayColor"_sel));
    objc_msgSend<void(NSInteger)>(label, "setTextAlignment:"_sel, NSTextAlignmentCenter);
    objc_msgSend<void(id)>(label, "setText:"_sel, text);
    objc_msgSend<void(NSInteger)>(label, "setTag:"_sel, tag);
    return label;  // owned
}

id initWithFrameOfBadge(MessageView* self, CGRect frame, NSString* message, double interval, NSInteger iconTag) {
    id result = objc_msgSendSuper<id(CGRect)>(self, MessageView::cls(), "initWithFrame:"_sel, frame);
    if (result == nullptr) return nil;
    objc_msgSend<void(id, NSInteger, double)>(result, "setupView:iconTag:andInterval:"_sel, message, iconTag, interval);
    return result;
}

id initWithMessageAndFrame(MessageView* self, SEL, id message, double interval, NSInteger iconTag, CGRect frame,
                           int viewIndex) {
    CGRect badge = CGRectMake(frame.size.width / 2 - kSide / 2,
                              frame.size.height / 2 - kSide / 2 - kRise + liftFor(viewIndex), kSide, kSide);
    return initWithFrameOfBadge(self, badge, static_cast<NSString*>(message), interval, iconTag);
}

id initWithMessageOnScreen(MessageView* self, SEL, id message, double interval, NSInteger iconTag,
                           NSInteger viewIndex) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    CGRect badge = CGRectMake(screen.size.width / 2 - kSide / 2,
                              screen.size.height / 2 - kSide / 2 + liftFor(viewIndex), kSide, kSide);
    return initWithFrameOfBadge(self, badge, static_cast<NSString*>(message), interval, iconTag);
}

void setupView(MessageView* self, SEL, id message, NSInteger iconTag, double interval) {
    id layer = objc_msgSend<id()>(self, "layer"_sel);
    objc_msgSend<void(double)>(layer, "setCornerRadius:"_sel, 10.0);
    objc_msgSend<void(BOOL)>(self, "setClipsToBounds:"_sel, YES);
    objc_msgSend<void(CGColor)>(layer, "setBorderColor:"_sel,
                                objc_msgSend<CGColor()>(colour("lightGrayColor"_sel), "CGColor"_sel));
    objc_msgSend<void(double)>(layer, "setBorderWidth:"_sel, 0.2);
    objc_msgSend<void(id)>(self, "setBackgroundColor:"_sel, colour("clearColor"_sel));

    double top = kSide / 2 - (interval == 0 ? 65 : 60);
    id mainLine = makeLabel(CGRectMake(0, top, kSide, 50), 17, static_cast<NSString*>(message), kMainLineTag);

    objc_msgSend<void(id)>(self, "addBlurToView:"_sel, self);

    objc_msgSend<void(id)>(self, "addSubview:"_sel, mainLine);
    objc_release(mainLine);

    if (interval == 0) {
        id secondLine = makeLabel(CGRectMake(0, 35, kSide, 50), 15, ""_ns, kSecondLineTag);
        objc_msgSend<void(id)>(self, "addSubview:"_sel, secondLine);
        objc_release(secondLine);
    }

    id icon = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("IconView"), "alloc"_sel), "initWithFrame:"_sel,
                                       CGRectMake(50, 80, 50, 50));
    objc_msgSend<void(NSInteger)>(icon, "setTag:"_sel, iconTag);
    objc_msgSend<void(id)>(icon, "setBackgroundColor:"_sel, colour("clearColor"_sel));
    objc_msgSend<void(id)>(self, "addSubview:"_sel, icon);
    objc_release(icon);

    // The pending perform keeps the badge alive until it has run.
    if (interval > 0)
        objc_msgSend<void(SEL, id, double)>(self, "performSelector:withObject:afterDelay:"_sel,
                                            "dismissAfterDelay"_sel, nil, interval);
}

void setTextOfLine(MessageView* self, NSInteger tag, id text) {
    id label = objc_msgSend<id(NSInteger)>(self, "viewWithTag:"_sel, tag);
    if (label == nullptr) return;
    objc_msgSend<void(id)>(label, "setText:"_sel, text);
    objc_msgSend<void()>(label, "setNeedsDisplay"_sel);
}

void updateText(MessageView* self, SEL, id text) { setTextOfLine(self, kMainLineTag, text); }
void updateSubText(MessageView* self, SEL, id text) { setTextOfLine(self, kSecondLineTag, text); }

void addBlurToView(MessageView*, SEL, id view) {
    Class blurClass = objc_getClass("UIBlurEffect");
    if (objc_msgSend<id()>(blurClass, "class"_sel) == nil) return;
    id effect = objc_msgSend<id(NSInteger)>(blurClass, "effectWithStyle:"_sel, kBlurStyleLight);
    id blur = objc_msgSend<id(id)>(objc_msgSend<id()>(objc_getClass("UIVisualEffectView"), "alloc"_sel),
                                   "initWithEffect:"_sel, effect);
    objc_msgSend<void(CGRect)>(blur, "setFrame:"_sel, objc_msgSend<CGRect()>(view, "bounds"_sel));
    objc_msgSend<void(id)>(view, "addSubview:"_sel, blur);
    objc_release(blur);
}

void dismissAfterDelay(MessageView* self, SEL) {
    Strong<MessageView> badge(self);
    NSBlock* fade = objc_block<void()>([badge] { objc_msgSend<void(double)>(badge.get(), "setAlpha:"_sel, 0.0); });
    NSBlock* remove =
        objc_block<void(BOOL)>([badge](BOOL) { objc_msgSend<void()>(badge.get(), "removeFromSuperview"_sel); });
    objc_msgSend<void(double, id, id)>(UIView::cls(), "animateWithDuration:animations:completion:"_sel, kFadeDuration,
                                       fade, remove);
}

}  // namespace

void MessageViewShow(id controller, NSString* text, double interval, long iconTag, int viewIndex) {
    if (controller == nil) return;
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id badge = objc_msgSend<id(id, double, NSInteger, CGRect, int)>(
        objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
        "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, text, interval,
        static_cast<NSInteger>(iconTag), screen, viewIndex);
    objc_msgSend<void(id)>(objc_msgSend<id()>(controller, "view"_sel), "addSubview:"_sel, badge);
    objc_release(badge);
}

void registerMessageView() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<MessageView>("MessageView", UIView::cls())
            .method<initWithMessageAndFrame>("initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:",
                                             "@@:@dq{CGRect={CGPoint=dd}{CGSize=dd}}i")
            .method<initWithMessageOnScreen>("initWithMessage:dismissAfter:andWithIconTag:andViewIndex:", "@@:@dqq")
            .method<setupView>("setupView:iconTag:andInterval:", "v@:@qd")
            .method<updateText>("updateText:", "v@:@")
            .method<updateSubText>("updateSubText:", "v@:@")
            .method<addBlurToView>("addBlurToView:", "v@:@")
            .method<dismissAfterDelay>("dismissAfterDelay", "v@:")
            .property<&MessageView::_messageTxt>("messageTxt")
            .property<&MessageView::_txtLabel>("txtLabel")
            .OBJC_IVAR(MessageView, _messageTxt)
            .OBJC_IVAR(MessageView, _txtLabel);
    });
}
