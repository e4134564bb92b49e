// StarRatingControl: a row of stars (StarView buttons) that takes a rating by
// touch, 0 to numberOfStars, and reports it to its delegate when the touch
// ends. A star is lit while it is highlighted.
//
// StarRatingControl : UIControl (prototypes as sent):
//   initWithCoder: / initWithFrame:        id(id) / id(CGRect)   5 stars, then setupView
//   initWithFrame:andStars:isFractional:   id(CGRect, int, BOOL)  the fractional flag has no
//                                          effect
//   setupView                              void()   clips to its bounds, no star lit, one
//                                          StarView per position 0 .. numberOfStars - 1
//   starForPoint:                          id(CGPoint)   the first star whose frame holds the
//                                          point, positions from 0 upwards; nil for none
//   enableStarsUpTo: / disableStarsDownTo: / disableStarsDownToExclusive:   void(int)
//   setRating:                             void(int)   lights that many stars (clamped to 0 ..
//                                          numberOfStars); no newRating::
//   rating                                 int()      the highest lit position + 1
//   numberOfStars                          int()
//   delegate / setDelegate:                id() / void(id)   not retained
// The delegate (StarRatingDelegate) gets newRating:: void(id control, int
// rating) when a touch ends, and releaseKeyboard void() for each star lit or
// put out while the touch moves. A cancelled touch puts the stars back to
// the rating they showed before it began, and reports nothing.
//
// StarView : UIButton
//   initWithDefaultPosition:   id(int p)   frame (40p + 35, 0, 40, 60), tag p, image insets
//                              (0, 0, 20, 0), clear background, accessibility label "1 star"
//                              or "N stars"
//   hitTest:withEvent:         id(CGPoint, id)   its superview, for every point
//   drawRect:                  void(CGRect)   lit: a filled red five-pointed star; unlit: a
//                              small red dot
#pragma once

#include <UIKit/UIButton.h>

struct StarRatingControl : UIControl {
    OBJC_CLASS(StarRatingControl)

    int numberOfStars = 5;
    int currentIdx = -1;
    id delegate = nil;           // not retained
    int idxBeforeTouch = -1;     // what a cancelled touch goes back to
    bool decoding = false;       // inside initWithCoder: (which runs initWithFrame:)
};

struct StarView : UIButton {
    OBJC_CLASS(StarView)
};

// Registers StarView and StarRatingControl. Idempotent.
void registerStarRatingControl();
