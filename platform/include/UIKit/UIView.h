// UIView: a rectangle in its superview, with ordered subviews.
//
// Runtime methods (prototypes as sent):
//   init                      id()            -> initWithFrame: CGRectZero
//   initWithFrame:            id(CGRect)
//   frame / setFrame:         CGRect() / void(CGRect)
//   bounds                    CGRect()        origin zero, the frame's size
//   tag / setTag:             NSInteger() / void(NSInteger)
//   addSubview:               void(id)        adding a subview again brings it to the front
//   removeFromSuperview       void()
//   subviews                  id()            NSArray, back to front
//   superview                 id()
//   viewWithTag:              id(NSInteger)   the receiver first, then depth-first
//   setNeedsLayout            void()
//   layoutIfNeeded            void()          when needed: viewWillLayoutSubviews to the
//                                             view's controller, layoutSubviews,
//                                             viewDidLayoutSubviews; then every subview
//   layoutSubviews            void()          nothing here; subclasses place their subviews
//   backgroundColor / setBackgroundColor:   id() / void(id)   a UIColor, retained; nil (the
//                                           default) is no background
//
// Drawing, layer and animation (UIViewDrawing.cpp; the render pass in
// UIKit/Rendering.h draws views):
//   layer                     id()            its CALayer, made on first use
//   alpha / setAlpha:         double() / void(double)   the layer's opacity, 0..1
//   isHidden / hidden / setHidden:   BOOL() / void(BOOL)   a hidden view and its subviews
//                                             are not drawn
//   clipsToBounds / setClipsToBounds:   BOOL() / void(BOOL)   the layer's masksToBounds
//   center / setCenter:       CGPoint() / void(CGPoint)   the frame's middle; setting it
//                                             moves the frame
//   bringSubviewToFront:      void(id)        to the end of the subviews
//   sendSubviewToBack:        void(id)        to the start
//   setNeedsDisplay           void()          marks the view for drawing (the render pass
//                                             draws every view anyway)
//   drawRect:                 void(CGRect)    draws nothing; subclasses draw into
//                                             UIGraphicsGetCurrentContext()
//   initWithCoder:            id(id)          -> initWithFrame: CGRectZero (the coders
//                                             carry no view state)
//   +animateWithDuration:animations:completion:   void(double, id, id)   runs the
//                                             animations block (void()) at once, so the
//                                             final values hold; the completion block
//                                             (void(BOOL)) runs with YES on the main run
//                                             loop once the duration has passed. The blocks
//                                             and every view changed in the animations
//                                             block are kept alive until then
//   +animateWithDuration:animations:   void(double, id)
//   +animateWithDuration:delay:options:animations:completion:
//                             void(double, double, NSUInteger, id, id)   the same, the
//                                             completion after delay + duration
//
// Touches, tint, accessibility and constraints (UIControl.cpp):
//   userInteractionEnabled / isUserInteractionEnabled / setUserInteractionEnabled:
//                             BOOL() / void(BOOL)   YES (a UIImageView: NO); touches and
//                                             taps reach only views that take them
//   hitTest:withEvent:        id(CGPoint, id) the deepest visible, interactive subview
//                                             (front first) whose bounds hold the point;
//                                             a scroll view's subviews as shown from its
//                                             contentOffset
//   pointInside:withEvent:    BOOL(CGPoint, id)
//   convertPoint:toView: / convertPoint:fromView:   CGPoint(CGPoint, id)   through the
//                                             frames (nil: the top of the view's tree)
//   tintColor / setTintColor: id() / void(id)   its own, else its superview's, else the
//                                             system blue
//   accessibilityLabel / setAccessibilityLabel:   id() / void(id)   NSString, copied
//   autoresizingMask / setAutoresizingMask:   NSUInteger() / void(NSUInteger)   stored
//   addConstraint: / removeConstraint: / constraints   NSLayoutConstraint, retained
//   updateConstraints         void()          a width or height constraint of the view
//                                             on itself sets that side of its frame
//   translatesAutoresizingMaskIntoConstraints / setTranslatesAutoresizingMaskIntoConstraints:
//                             BOOL() / void(BOOL)   YES by default
//   layoutSubviews            (UIView's own) places each direct subview that does not
//                             translate its mask by the view's equal constraints tying
//                             its left, right, top or bottom (leading, trailing) edge
//                             to the same edge of the view: x = edge x multiplier +
//                             constant; a side tied at both edges gets its size too
//
// Content mode (UIViewDrawing.cpp):
//   contentMode / setContentMode:   NSInteger() / void(NSInteger)   how an image view draws
//                             its picture: 0 scale to fill (the default), 1 aspect fit,
//                             2 aspect fill
//
// A view owns its subviews; the superview and the controller pointers are not
// retained and are cleared when the link goes.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIResponder.h>

#include <vector>

struct CALayer;
struct NSLayoutConstraint;
struct NSString;
struct UIColor;
struct UIViewController;

struct UIView : UIResponder {
    OBJC_CLASS(UIView)

    CGRect _frame = CGRectZero;
    NSInteger _tag = 0;
    UIView* _superview = nullptr;
    // The controller whose view this is (set by the controller).
    UIViewController* _viewDelegate = nullptr;
    BOOL _needsLayout = YES;
    UIColor* _backgroundColor = nullptr;  // owned
    // Back to front.
    std::vector<Strong<UIView>> _subviews;
    BOOL _hidden = NO;
    CALayer* _layer = nullptr;  // owned, made on first use
    BOOL _userInteractionEnabled = YES;
    NSUInteger _autoresizingMask = 0;
    Strong<UIColor> _tintColor;
    Strong<NSString> _accessibilityLabel;
    std::vector<Strong<NSLayoutConstraint>> _constraints;
    BOOL _translatesAutoresizingMask = YES;
    NSInteger _contentMode = 0;

    ~UIView() override;

    // The view's layer, made when first asked for.
    CALayer* layerObject();
};
