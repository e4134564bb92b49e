// UIImageView: a view that shows one image.
//
//   initWithImage:               id(id)          a frame of the image's size at the origin
//   image / setImage:            id() / void(id) a UIImage, retained; nil shows nothing
//   _defaultRenderingMode        NSInteger()     how an image of the automatic mode is
//   _setDefaultRenderingMode:    void(NSInteger) drawn: 0 automatic (the default),
//                                                1 always original, 2 always template
//
// Frame animation on the run loop's clock (UIImageAnimation.cpp):
//   animationImages / setAnimationImages:           id() / void(id)   an NSArray of UIImage, copied
//   animationDuration / setAnimationDuration:       double() / void(double)   seconds of one
//                                                   run; 0: 1/30 s per image
//   animationRepeatCount / setAnimationRepeatCount:  NSInteger() / void(NSInteger)   runs; 0: endless
//   startAnimating / stopAnimating                  void()   start (again, from the first image)
//                                                   or stop; nothing without images
//   isAnimating                                     BOOL()   started and its runs not yet over
// While it animates the view shows the image of the current moment;
// otherwise it shows `image`.
//
// Until UIView defines them itself, UIView also answers (for views made from
// nibs and drawn in code):
//   initWithCoder:               id(id)          -> initWithFrame: CGRectZero (the coders
//                                                carry no view state)
//   setNeedsDisplay              void()          nothing: there is no drawing pass
//   drawRect:                    void(CGRect)    draws nothing
#pragma once

#include <UIKit/UIView.h>

struct UIImage;

struct UIImageView : UIView {
    OBJC_CLASS(UIImageView)

    UIImage* _image = nullptr;  // owned
    NSInteger _defaultRenderingMode = 0;
    Strong<NSObject> _animationImages;  // an NSArray
    double _animationDuration = 0;
    NSInteger _animationRepeatCount = 0;
    double _animationStart = 0;  // Clock seconds
    BOOL _animating = NO;

    UIImageView() { _userInteractionEnabled = NO; }
    ~UIImageView() override;
};

namespace platform {

// The index of the animation image the view shows now, or -1 while it does
// not animate (it then shows `image`).
long imageViewFrameIndex(UIImageView* view);
// The image the view shows now: the current animation image, or `image`.
UIImage* imageViewShownImage(UIImageView* view);

}  // namespace platform
