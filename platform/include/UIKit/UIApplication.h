// UIApplication and UIWindow: the application's key window and its root
// controller.
//
// UIApplication : NSObject
//   +sharedApplication     id()   one application for the process
//   keyWindow              id()   the key window, made at first use
// UIWindow : UIView
//   rootViewController / setRootViewController:   id() / void(id)  (retained)
//
// The Music app sets its root controller as the key window's root when it
// launches (platform::setKeyWindowRootViewController).
#pragma once

#include <UIKit/UIView.h>

struct UIViewController;

struct UIWindow : UIView {
    OBJC_CLASS(UIWindow)

    Strong<NSObject> _rootViewController;
};

struct UIApplication : NSObject {
    OBJC_CLASS(UIApplication)
};

namespace platform {
void setKeyWindowRootViewController(UIViewController* controller);
}  // namespace platform
