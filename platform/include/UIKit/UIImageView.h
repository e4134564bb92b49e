// UIImageView: a view that shows one image.
//
//   initWithImage:               id(id)          a frame of the image's size at the origin
//   image / setImage:            id() / void(id) a UIImage, retained; nil shows nothing
//   _defaultRenderingMode        NSInteger()     how an image of the automatic mode is
//   _setDefaultRenderingMode:    void(NSInteger) drawn: 0 automatic (the default),
//                                                1 always original, 2 always template
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

    UIImageView() { _userInteractionEnabled = NO; }
    ~UIImageView() override;
};
