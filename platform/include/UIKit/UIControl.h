// UIControl: a view that reacts to touches.
//
// Touch tracking (the platform's touch delivery, platform::TouchSequence in
// UIKit/UITouch.h, sends these to the control a touch began on):
//   beginTrackingWithTouch:withEvent:      BOOL(id, id)   YES: tracking goes on
//   continueTrackingWithTouch:withEvent:   BOOL(id, id)   YES: tracking goes on
//   endTrackingWithTouch:withEvent:        void(id, id)   tracking ends
//   cancelTrackingWithEvent:               void(id)       tracking ends
//   isTracking / isTouchInside             BOOL()
// Targets and actions:
//   addTarget:action:forControlEvents:     void(id, SEL, NSUInteger)   targets not retained
//   removeTarget:action:forControlEvents:  void(id, SEL, NSUInteger)
//   sendActionsForControlEvents:           void(NSUInteger)   each matching pair, in order
// A touch that ends inside the control sends TouchUpInside, outside it
// TouchUpOutside; a touch that begins sends TouchDown.
// State:
//   isHighlighted / setHighlighted:        BOOL() / void(BOOL)
//   isSelected / setSelected:              BOOL() / void(BOOL)
//   isEnabled / setEnabled:                BOOL() / void(BOOL)   a disabled control takes
//                                          no touch
#pragma once

#include <UIKit/UIView.h>

#include <vector>

using UIControlEvents = NSUInteger;
inline constexpr UIControlEvents UIControlEventTouchDown = 1 << 0;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1 << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1 << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1 << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;
inline constexpr UIControlEvents UIControlEventEditingDidBegin = 1 << 16;
inline constexpr UIControlEvents UIControlEventEditingChanged = 1 << 17;
inline constexpr UIControlEvents UIControlEventEditingDidEnd = 1 << 18;
inline constexpr UIControlEvents UIControlEventEditingDidEndOnExit = 1 << 19;

struct UIControl : UIView {
    OBJC_CLASS(UIControl)

    struct TargetAction {
        id target;  // not retained
        SEL action;
        UIControlEvents events;
    };
    std::vector<TargetAction> _controlTargets;
    BOOL _tracking = NO;
    BOOL _touchInside = NO;
    BOOL _highlighted = NO;
    BOOL _selected = NO;
    BOOL _enabled = YES;
};
