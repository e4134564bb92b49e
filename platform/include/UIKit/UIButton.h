// UIButton: a control drawn as a button, with a title and a background
// image per control state.
//
//   setTitle:forState:             void(id, NSUInteger)   NSString, copied; nil removes it
//   titleForState:                 id(NSUInteger)   the state's title, else the normal
//                                  state's, else nil
//   setBackgroundImage:forState:   void(id, NSUInteger)   UIImage, retained; nil removes it
//   backgroundImageForState:       id(NSUInteger)   the same fallback as titles
//   currentTitle                   id()   the normal state's title
//   currentBackgroundImage         id()   the normal state's background image
//   setImage:forState:             void(id, NSUInteger)   UIImage, retained; nil removes it
//   imageForState:                 id(NSUInteger)   the same fallback as titles
//   imageEdgeInsets / setImageEdgeInsets:   UIEdgeInsets() / void(UIEdgeInsets)
//   drawRect:                      void(CGRect)   the normal state's background image scaled
//                                  to the bounds (drawInRect:), then its title centred in
//                                  white, system font of 15 points (the backgroundColor
//                                  under both is the render pass's)
#pragma once

#include <UIKit/UIControl.h>

#include <map>

struct NSString;
struct UIImage;

using UIControlState = NSUInteger;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1;
inline constexpr UIControlState UIControlStateDisabled = 2;
inline constexpr UIControlState UIControlStateSelected = 4;

struct UIEdgeInsets {
    CGFloat top = 0, left = 0, bottom = 0, right = 0;
};
constexpr UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) {
    return UIEdgeInsets{top, left, bottom, right};
}

struct UIButton : UIControl {
    OBJC_CLASS(UIButton)

    std::map<UIControlState, Strong<NSString>> _titles;
    std::map<UIControlState, Strong<UIImage>> _backgroundImages;
    std::map<UIControlState, Strong<UIImage>> _images;
    UIEdgeInsets _imageEdgeInsets;
};
