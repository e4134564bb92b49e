// CALayer: how a view's rectangle is drawn. Every UIView has one (its
// `layer`); the render pass reads it.
//
//   cornerRadius / setCornerRadius:     double() / void(double)     0 by default
//   borderWidth / setBorderWidth:       double() / void(double)     0: no border
//   borderColor / setBorderColor:       CGColor() / void(CGColor)   opaque black by default
//   masksToBounds / setMasksToBounds:   BOOL() / void(BOOL)         clips the sublayers (the
//                                       view's subviews and drawing) to the rounded bounds
//   opacity / setOpacity:               float() / void(float)       0..1, 1 by default
//   hidden / isHidden / setHidden:      BOOL() / void(BOOL)
//   shadowColor / setShadowColor:       CGColor() / void(CGColor)   opaque black by default
//   shadowOffset / setShadowOffset:     CGSize() / void(CGSize)     (0, -3) by default
//   shadowOpacity / setShadowOpacity:   float() / void(float)       0..1, 0 (no shadow) by default
//   shadowRadius / setShadowRadius:     double() / void(double)     stored; the shadow is drawn
//                                       sharp: the layer's painted pixels (its view and
//                                       subviews) in the shadow colour at the offset, under them
//   renderInContext:                    void(CGContextRef)   draws the layer's view and its
//                                       subviews, as the render pass does, into the context at
//                                       its origin
//
// The view's alpha, clipsToBounds and hidden are the layer's opacity,
// masksToBounds and hidden.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <objc/NSObject.h>

struct CALayer : NSObject {
    OBJC_CLASS(CALayer)

    double _cornerRadius = 0;
    double _borderWidth = 0;
    CGColor _borderColor{0, 0, 0, 1};
    BOOL _masksToBounds = NO;
    float _opacity = 1;
    BOOL _hidden = NO;
    CGColor _shadowColor{0, 0, 0, 1};
    CGSize _shadowOffset{0, -3};
    float _shadowOpacity = 0;
    double _shadowRadius = 3;
    struct UIView* _view = nullptr;  // the view whose layer this is (not retained)
};
