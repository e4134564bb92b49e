// UIColor: an RGBA colour, components 0..1 (values outside are clamped).
//
//   +colorWithRed:green:blue:alpha:   id(double, double, double, double)
//   +colorWithWhite:alpha:            id(double, double)
//   +whiteColor +blackColor +clearColor +redColor +greenColor +blueColor
//   +grayColor +lightGrayColor +darkGrayColor +yellowColor   id()
//   initWithRed:green:blue:alpha:     id(double, double, double, double)
//   getRed:green:blue:alpha:          BOOL(double*, double*, double*, double*)   YES; a NULL
//                                     pointer is skipped
//   colorWithAlphaComponent:          id(double)
//   isEqual: / hash                   equal components
//   description                       "UIDeviceRGBColorSpace 1 0 0 1"
//   CGColor                           CGColor()   the components as a value
//   setFill / setStroke / set         void()      the fill, the stroke or both colours of
//                                     the current context (UIGraphics.h); nothing without one
//   +colorWithPatternImage:           id(id)      a colour that paints the image tiled from
//                                     the origin of what it fills (UIPatternColor.cpp; a
//                                     label's text colour fills its letters with it); its
//                                     components are 0. nil for nil
//
// UIView's backgroundColor / setBackgroundColor: hold one (retained; nil is
// no background).
#pragma once

#include <CoreGraphics/CGContext.h>
#include <objc/NSObject.h>

struct UIColor : NSObject {
    OBJC_CLASS(UIColor)

    double _red = 0;
    double _green = 0;
    double _blue = 0;
    double _alpha = 0;
    Strong<NSObject> _patternImage;  // a UIImage, for a pattern colour

    // An autoreleased colour, for C++ callers.
    static UIColor* make(double red, double green, double blue, double alpha);
    CGColor cgColor() const { return CGColor{_red, _green, _blue, _alpha}; }
};
