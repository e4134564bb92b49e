// UIBlurEffect and UIVisualEffectView.
//
// UIVisualEffect : NSObject; UIBlurEffect : UIVisualEffect
//   +effectWithStyle:     id(NSInteger)   0 extra light, 1 light, 2 dark (others: light)
//   style                 NSInteger()     (the stand-in's own accessor)
// UIVisualEffectView : UIView
//   initWithEffect:       id(id)          a view with a contentView, frame zero
//   effect                id()
//   contentView           id()            a subview that always covers the bounds
//
// The render pass draws an effect view as a translucent fill of the blur's
// tint (light: white at 80 %), under its contentView.
//
// A platform without blur: platform::setBlurAvailable(false) makes UIBlurEffect
// behave as a class the running system lacks does when the library is built
// against a newer one (a weakly linked class): +class answers nil, and
// +alloc, +new and +effectWithStyle: answer nil, so `[UIBlurEffect class]`
// tests false and nothing can be made of it. The class object itself stays
// in the class table (the runtime has no way to take a class out again), so
// objc_getClass("UIBlurEffect") still finds it; code checks availability with
// the `class` message. Switching back on restores everything.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <UIKit/UIView.h>

#include <optional>

struct UIVisualEffect : NSObject {
    OBJC_CLASS(UIVisualEffect)
};

struct UIBlurEffect : UIVisualEffect {
    OBJC_CLASS(UIBlurEffect)
    NSInteger _style = 1;
};

struct UIVisualEffectView : UIView {
    OBJC_CLASS(UIVisualEffectView)

    UIVisualEffect* _effect = nullptr;  // owned
    UIView* _contentView = nullptr;     // owned (and a subview)

    ~UIVisualEffectView() override;
};

namespace platform {
// Whether the platform offers UIBlurEffect (yes until set).
void setBlurAvailable(bool available);
bool blurAvailable();
// The colour an effect view is drawn with; nullopt for a view that is not one
// or has no blur effect.
std::optional<CGColor> visualEffectTint(UIView* view);
}  // namespace platform
