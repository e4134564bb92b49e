// Registration of UIImageView and the gesture recognisers (with what they add
// to UIView), called last by platform::registerUIKit().
#pragma once

#include <UIKit/UIView.h>

namespace platform::uikit {
void registerImageViewsAndGestures();  // both of the below
void registerImageViews();             // UIImageView
void registerGestureRecognizers();     // UIGestureRecognizer, UILongPressGestureRecognizer;
                                       // UIView's list of recognisers

}  // namespace platform::uikit
