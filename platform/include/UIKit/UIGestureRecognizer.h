// UIGestureRecognizer and UILongPressGestureRecognizer: turn touches on a
// view into a gesture and report each change of its state to their targets.
//
// UIGestureRecognizer (prototypes as sent):
//   initWithTarget:action:    id(id, SEL)     the first target-action pair (none for a nil
//                                             target or a NULL action)
//   init                      id()            -> initWithTarget:action: nil, NULL
//   addTarget:action:         void(id, SEL)   a pair already there is not added twice
//   removeTarget:action:      void(id, SEL)   nil target: the action of every target;
//                                             NULL action: every action of the target
//   state / setState:         NSInteger() / void(NSInteger)   UIGestureRecognizerState
//   isEnabled / setEnabled:   BOOL() / void(BOOL)   disabling a gesture in progress
//                                             cancels it
//   view                      id()            the view it is attached to, or nil
//   reset                     void()          back to Possible; sent before a new gesture
//
// setState: with Began, Changed, Ended (Recognized) or Cancelled sends every
// target its action (objc_sendAction: no argument, the recogniser, or the
// recogniser and nil), in the order they were added; Possible and Failed send
// nothing. A target that cannot take its action raises
// NSInvalidArgumentException. Targets are not retained. A gesture that has
// ended (Ended, Cancelled, Failed) keeps its state until the next one starts.
//
// UIView gains, when UIView does not define them itself:
//   addGestureRecognizer:     void(id)        the view retains it; taken from its former view
//   removeGestureRecognizer:  void(id)
//   gestureRecognizers        id()            NSArray in the order added, nil when none
//
// UILongPressGestureRecognizer : UIGestureRecognizer (a continuous gesture):
//   minimumPressDuration / setMinimumPressDuration:          double() / void(double)      0.5
//   numberOfTouchesRequired / setNumberOfTouchesRequired:    NSUInteger() / void(NSUInteger)  1
//   numberOfTapsRequired / setNumberOfTapsRequired:          NSUInteger() / void(NSUInteger)  0
//   allowableMovement / setAllowableMovement:                double() / void(double)      10
#pragma once

#include <UIKit/UIView.h>

#include <vector>

enum UIGestureRecognizerState : NSInteger {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

struct UIGestureRecognizer : NSObject {
    OBJC_CLASS(UIGestureRecognizer)

    struct TargetAction {
        id target;  // not retained
        SEL action;
    };
    std::vector<TargetAction> _targets;
    NSInteger _state = UIGestureRecognizerStatePossible;
    BOOL _enabled = YES;
    Weak<UIView> _view;
};

struct UILongPressGestureRecognizer : UIGestureRecognizer {
    OBJC_CLASS(UILongPressGestureRecognizer)

    double _minimumPressDuration = 0.5;
    NSUInteger _numberOfTouchesRequired = 1;
    NSUInteger _numberOfTapsRequired = 0;
    double _allowableMovement = 10;
};

namespace platform {

// Plays the user's finger on a long-press recogniser: moves it to `state`
// through setState:, as UIKit does while the finger rests, moves and lifts.
// A recogniser whose last gesture is over (Ended, Cancelled, Failed) is sent
// `reset` first, so Began starts a new press. The moves a press allows are
// Possible -> Began or Failed, and Began or Changed -> Changed, Ended or
// Cancelled; any other raises NSInternalInconsistencyException. NO, with
// nothing done, for nil or a disabled recogniser.
BOOL simulateLongPress(UILongPressGestureRecognizer* recognizer, UIGestureRecognizerState state);

}  // namespace platform
