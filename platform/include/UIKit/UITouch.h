// UITouch, UITapGestureRecognizer, NSLayoutConstraint, and the platform's
// delivery of a user's touches and taps to views.
//
// UITouch : NSObject
//   locationInView:            CGPoint(id)   where the finger is, in that view's coordinates
//                                            (nil: the top of the touched view's tree)
//   previousLocationInView:    CGPoint(id)
//   view                       id()          the view the touch began on
//   phase / tapCount           NSInteger()
//
// UITapGestureRecognizer : UIGestureRecognizer
//   numberOfTapsRequired / setNumberOfTapsRequired:   NSUInteger() / void(NSUInteger)   1
// UIGestureRecognizer gains delegate / setDelegate: (id, not retained); a
// delegate that answers gestureRecognizerShouldBegin: can refuse a tap.
//
// NSLayoutConstraint : NSObject
//   +constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:
//       id(id, NSInteger, NSInteger, id, NSInteger, double, double)
//   constant / setConstant:    double() / void(double)
//   firstItem / secondItem     id()          not retained
//   firstAttribute / secondAttribute / relation   NSInteger()
//   multiplier                 double()
//   isActive / setActive:      BOOL() / void(BOOL)
//   identifier / setIdentifier:   id() / void(id)
#pragma once

#include <UIKit/UIControl.h>
#include <UIKit/UIGestureRecognizer.h>

#include <vector>

using NSLayoutAttribute = NSInteger;
inline constexpr NSLayoutAttribute NSLayoutAttributeNotAnAttribute = 0;
inline constexpr NSLayoutAttribute NSLayoutAttributeLeft = 1;
inline constexpr NSLayoutAttribute NSLayoutAttributeRight = 2;
inline constexpr NSLayoutAttribute NSLayoutAttributeTop = 3;
inline constexpr NSLayoutAttribute NSLayoutAttributeBottom = 4;
inline constexpr NSLayoutAttribute NSLayoutAttributeLeading = 5;
inline constexpr NSLayoutAttribute NSLayoutAttributeTrailing = 6;
inline constexpr NSLayoutAttribute NSLayoutAttributeWidth = 7;
inline constexpr NSLayoutAttribute NSLayoutAttributeHeight = 8;

struct NSLayoutConstraint : NSObject {
    OBJC_CLASS(NSLayoutConstraint)

    id _firstItem = nil;   // not retained
    id _secondItem = nil;  // not retained
    NSInteger _firstAttribute = 0;
    NSInteger _secondAttribute = 0;
    NSInteger _relation = 0;
    double _multiplier = 1;
    double _constant = 0;
    BOOL _active = YES;
    Strong<NSObject> _identifier;
};

enum UITouchPhase : NSInteger {
    UITouchPhaseBegan = 0,
    UITouchPhaseMoved = 1,
    UITouchPhaseStationary = 2,
    UITouchPhaseEnded = 3,
    UITouchPhaseCancelled = 4,
};

struct UITouch : NSObject {
    OBJC_CLASS(UITouch)

    Strong<UIView> _view;
    UIView* _root = nullptr;  // the top of the tree the location is in; not retained
    CGPoint _location{};      // in _root's coordinates
    CGPoint _previousLocation{};
    NSInteger _phase = UITouchPhaseBegan;
    NSInteger _tapCount = 1;
};

struct UITapGestureRecognizer : UIGestureRecognizer {
    OBJC_CLASS(UITapGestureRecognizer)

    NSUInteger _numberOfTapsRequired = 1;
};

namespace platform {

// Whether the user can reach the view: it and every view above it are
// shown (not hidden, alpha above 0.01) and take touches.
bool viewIsReachable(UIView* view);

// A user's tap on a view: each enabled tap recogniser attached to the view
// whose delegate (when it answers gestureRecognizerShouldBegin:) lets it
// begin is recognised (Ended), which sends its actions. Nothing when the
// view is not reachable. Returns how many recognisers fired.
int tapView(UIView* view);

// One finger on a view tree: `root` is the top of the tree (a screen or a
// presented view), points are in its coordinates. The touch goes to the
// view that root's hitTest:withEvent: answers; when that view is a control
// (or lies inside one) the control tracks it: begin, continue for each move,
// end or cancel, through the runtime. A touch outside every control moves
// nothing. The sequence keeps the control and the touch alive.
class TouchSequence {
public:
    TouchSequence(UIView* root, CGPoint start);
    ~TouchSequence();
    TouchSequence(const TouchSequence&) = delete;
    TouchSequence& operator=(const TouchSequence&) = delete;

    void moveTo(CGPoint point);
    void end();
    void cancel();
    // The control tracking the touch, or nullptr.
    UIControl* control() const { return control_.get(); }
    bool tracking() const { return tracking_; }

private:
    Strong<UIView> root_;
    Strong<UIControl> control_;
    Strong<UITouch> touch_;
    bool tracking_ = false;
};

}  // namespace platform
