// UISwipeGestureRecognizer : UIGestureRecognizer (a discrete gesture).
//
//   direction / setDirection:   NSUInteger() / void(NSUInteger)   a mask of
//                               UISwipeGestureRecognizerDirection; Right by default
//   numberOfTouchesRequired / setNumberOfTouchesRequired:   NSUInteger() / void(NSUInteger)   1
#pragma once

#include <UIKit/UIGestureRecognizer.h>

using UISwipeGestureRecognizerDirection = NSUInteger;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionRight = 1 << 0;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionLeft = 1 << 1;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionUp = 1 << 2;
inline constexpr UISwipeGestureRecognizerDirection UISwipeGestureRecognizerDirectionDown = 1 << 3;

struct UISwipeGestureRecognizer : UIGestureRecognizer {
    OBJC_CLASS(UISwipeGestureRecognizer)

    NSUInteger _direction = UISwipeGestureRecognizerDirectionRight;
    NSUInteger _numberOfTouchesRequired = 1;
};

namespace platform {

// A user's one-finger swipe across a view in one direction: each enabled
// swipe recogniser attached to the view whose direction includes it is
// recognised (Ended), which sends its actions. Nothing when the view is not
// reachable (platform::viewIsReachable: hidden, or it or a view above it
// takes no touches). Returns how many recognisers fired.
int swipeView(UIView* view, UISwipeGestureRecognizerDirection direction);

}  // namespace platform
