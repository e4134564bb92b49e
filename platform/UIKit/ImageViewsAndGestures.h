// Registration of UIImageView and the gesture recognisers (with what they add
// to UIView), called last by platform::registerUIKit().
#pragma once

#include <UIKit/UIView.h>

namespace platform::uikit {
void registerImageViewsAndGestures();  // both of the below
void registerImageViews();             // UIImageView; UIView's nib and drawing fallbacks
void registerGestureRecognizers();     // UIGestureRecognizer, UILongPressGestureRecognizer;
                                       // UIView's list of recognisers

// Gives UIView the method F under `selector`, unless UIView defines that
// selector itself (its own definition wins).
template <auto F>
void defineOnViewUnlessOwned(const char* selector, const char* types) {
    SEL sel = sel_registerName(selector);
    if (!class_ownsMethod(UIView::cls(), sel)) objc::define_method(UIView::cls(), sel, objc::make_imp<F>(), types);
}
}  // namespace platform::uikit
