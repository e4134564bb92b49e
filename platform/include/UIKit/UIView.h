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
// A view owns its subviews; the superview and the controller pointers are not
// retained and are cleared when the link goes.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIResponder.h>

#include <vector>

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

    ~UIView() override;
};
