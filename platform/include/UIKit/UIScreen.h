// UIScreen and UIDevice: the phone's screen and the device itself.
//
// UIScreen
//   +mainScreen           id()       one screen for the process
//   bounds                CGRect()   in points, origin zero; 320 x 480 until set
//   scale                 double()   pixels per point; 2 until set
//
// UIDevice
//   +currentDevice        id()       one device for the process
//   userInterfaceIdiom    NSInteger()   0 phone (the default), 1 iPad, or any other value set
//   model / systemName / systemVersion / name   id()   NSString
//
// A device may predate user interface idioms: with platform::setDeviceIdiom
// (std::nullopt), +currentDevice answers an instance of _UIOldDevice, a
// UIDevice subclass that does not answer userInterfaceIdiom at all
// (respondsToSelector: NO; a send raises NSInvalidArgumentException).
// UI_USER_INTERFACE_IDIOM() then answers phone, as the platform's macro does.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObject.h>

#include <optional>

struct UIScreen : NSObject {
    OBJC_CLASS(UIScreen)
};

struct UIDevice : NSObject {
    OBJC_CLASS(UIDevice)

    NSInteger _userInterfaceIdiom = 0;
};

struct _UIOldDevice : UIDevice {
    OBJC_CLASS(_UIOldDevice)
};

using UIUserInterfaceIdiom = NSInteger;
inline constexpr UIUserInterfaceIdiom UIUserInterfaceIdiomPhone = 0;
inline constexpr UIUserInterfaceIdiom UIUserInterfaceIdiomPad = 1;

// The idiom of the current device, phone for a device that does not know
// idioms; through sends (currentDevice, respondsToSelector:, userInterfaceIdiom).
NSInteger UI_USER_INTERFACE_IDIOM();

namespace platform {

// The main screen's size in points and its scale, for tests and hosts.
void setMainScreen(CGSize size, double scale);
// The main screen back to 320 x 480 points at scale 2.
void resetMainScreen();

// The device's idiom: a value (0 phone, 1 iPad, anything else), or nullopt
// for a device that does not answer userInterfaceIdiom. Phone until set.
void setDeviceIdiom(std::optional<NSInteger> idiom);

}  // namespace platform
