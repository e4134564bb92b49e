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

using UIInterfaceOrientation = NSInteger;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationPortrait = 1;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationPortraitUpsideDown = 2;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationLandscapeRight = 3;
inline constexpr UIInterfaceOrientation UIInterfaceOrientationLandscapeLeft = 4;

namespace platform {
void setKeyWindowRootViewController(UIViewController* controller);

// The user turns the device to `orientation` (1 to 4): the key window's root
// controller and every presented controller hear
// willRotateToInterfaceOrientation:duration: (0.4 s), then, between portrait
// and landscape, the main screen's sides swap and the key window and each
// of those controllers' views that covered the screen take its new bounds,
// their subviews following their autoresizing masks;
// then each answers the new interfaceOrientation and hears
// didRotateFromInterfaceOrientation: with the old one. False for a value
// that is no orientation.
bool rotateInterface(UIInterfaceOrientation orientation);
}  // namespace platform
