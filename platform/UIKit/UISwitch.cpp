// UISwitch and UISwipeGestureRecognizer.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSArray.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIColor.h>
#include <UIKit/UISwipeGestureRecognizer.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITouch.h>

using namespace platform::support;

namespace {

constexpr CGFloat kSwitchWidth = 51;
constexpr CGFloat kSwitchHeight = 31;

namespace uiswitch {

id initWithFrame(UISwitch* self, SEL, CGRect frame) {
    frame.size = CGSizeMake(kSwitchWidth, kSwitchHeight);
    return objc_msgSendSuper<id(CGRect)>(self, UISwitch::cls(), "initWithFrame:"_sel, frame);
}

BOOL isOn(UISwitch* self, SEL) { return self->_on; }
void setOn(UISwitch* self, SEL, BOOL on) { self->_on = on ? YES : NO; }
void setOnAnimated(UISwitch* self, SEL, BOOL on, BOOL) { objc_msgSend<void(BOOL)>(self, "setOn:"_sel, on); }

void fillRoundedRect(CGRect r, CGFloat radius, id colour) {
    id path = objc_msgSend<id(CGRect, double)>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                                               r, radius);
    objc_msgSend<void()>(colour, "setFill"_sel);
    objc_msgSend<void()>(path, "fill"_sel);
}

void drawRect(UISwitch* self, SEL, CGRect) {
    CGRect b = objc_msgSend<CGRect()>(self, "bounds"_sel);
    CGFloat h = std::min(b.size.height, kSwitchHeight);
    CGRect track{{0, 0}, {std::min(b.size.width, kSwitchWidth), h}};
    id on = UIColor::make(0.30, 0.85, 0.39, 1);
    id off = UIColor::make(0.90, 0.90, 0.90, 1);
    fillRoundedRect(track, h / 2, self->_on ? on : off);
    CGFloat knob = h - 4;
    CGFloat x = self->_on ? track.size.width - knob - 2 : 2;
    fillRoundedRect(CGRect{{x, 2}, {knob, knob}}, knob / 2, UIColor::make(1, 1, 1, 1));
}

}  // namespace uiswitch

namespace swipe {

NSUInteger direction(UISwipeGestureRecognizer* self, SEL) { return self->_direction; }
void setDirection(UISwipeGestureRecognizer* self, SEL, NSUInteger d) { self->_direction = d; }
NSUInteger touches(UISwipeGestureRecognizer* self, SEL) { return self->_numberOfTouchesRequired; }
void setTouches(UISwipeGestureRecognizer* self, SEL, NSUInteger n) { self->_numberOfTouchesRequired = n; }

}  // namespace swipe

}  // namespace

bool platform::toggleSwitch(UISwitch* control) {
    if (control == nullptr || !objc_msgSend<BOOL()>(control, "isEnabled"_sel) || !viewIsReachable(control)) return false;
    Strong<UISwitch> keep(control);
    objc_msgSend<void(BOOL)>(control, "setOn:"_sel, !objc_msgSend<BOOL()>(control, "isOn"_sel));
    objc_msgSend<void(NSUInteger)>(control, "sendActionsForControlEvents:"_sel, UIControlEventValueChanged);
    return true;
}

int platform::swipeView(UIView* view, UISwipeGestureRecognizerDirection direction) {
    if (view == nullptr || !viewIsReachable(view)) return 0;
    Strong<UIView> keep(view);
    auto recognizers =
        objectsOf<UIGestureRecognizer>(objc_msgSend<id()>(view, "gestureRecognizers"_sel), "swipeView");
    int fired = 0;
    for (const Strong<UIGestureRecognizer>& r : recognizers) {
        auto* s = objectAs<UISwipeGestureRecognizer>(r.get());
        if (s == nullptr || !objc_msgSend<BOOL()>(s, "isEnabled"_sel)) continue;
        if ((objc_msgSend<NSUInteger()>(s, "direction"_sel) & direction) == 0) continue;
        if (objc_msgSend<NSUInteger()>(s, "numberOfTouchesRequired"_sel) != 1) continue;
        objc_msgSend<void()>(s, "reset"_sel);
        objc_msgSend<void(NSInteger)>(s, "setState:"_sel, UIGestureRecognizerStateEnded);
        ++fired;
    }
    return fired;
}

void platform::uikit::registerSwitchesAndSwipes() {
    objc::ClassDef<UISwitch>("UISwitch", UIControl::cls())
        .method<uiswitch::initWithFrame>("initWithFrame:", "@@:{CGRect={CGPoint=dd}{CGSize=dd}}")
        .method<uiswitch::isOn>("isOn", "B@:")
        .method<uiswitch::isOn>("on", "B@:")
        .method<uiswitch::setOn>("setOn:", "v@:B")
        .method<uiswitch::setOnAnimated>("setOn:animated:", "v@:BB")
        .method<uiswitch::drawRect>("drawRect:", "v@:{CGRect={CGPoint=dd}{CGSize=dd}}")
        .OBJC_IVAR(UISwitch, _on);
    objc::ClassDef<UISwipeGestureRecognizer>("UISwipeGestureRecognizer", UIGestureRecognizer::cls())
        .method<swipe::direction>("direction", "Q@:")
        .method<swipe::setDirection>("setDirection:", "v@:Q")
        .method<swipe::touches>("numberOfTouchesRequired", "Q@:")
        .method<swipe::setTouches>("setNumberOfTouchesRequired:", "v@:Q");
}
