// ActionButtonImageView: an image view that always shows the library's action
// picture ("10@2x.png" of the resource bundle) as a template image on a green
// background, and draws a stepped black line over it. Nothing in the library
// makes one; a nib may.
//
//   initWithCoder:               id(id)           UIView's, then a green background
//   _setDefaultRenderingMode:    void(NSInteger)  always template (2), whatever is asked
//   setImage:                    void(id)         ignores the image: shows the picture
//                                                 file (nil when it is missing)
//   drawRect:                    void(CGRect)     the line, through UIBezierPath
#pragma once

#include <UIKit/UIImageView.h>

struct ActionButtonImageView : UIImageView {
    OBJC_CLASS(ActionButtonImageView)
};

// Registers the class. Idempotent.
void registerActionButtonImageView();
