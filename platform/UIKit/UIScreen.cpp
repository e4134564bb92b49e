// UIScreen and UIDevice.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSString.h>
#include <UIKit/UIScreen.h>

#include <mutex>

using namespace platform::support;

namespace {

constexpr CGSize kDefaultScreenSize = CGSizeMake(320, 480);
constexpr double kDefaultScreenScale = 2;

struct ScreenState {
    std::mutex lock;
    CGSize size = kDefaultScreenSize;
    double scale = kDefaultScreenScale;
    std::optional<NSInteger> idiom = UIUserInterfaceIdiomPhone;
};

ScreenState& state() {
    static ScreenState* s = new ScreenState();
    return *s;
}

// The screen and the two devices live as long as the process.
id sharedInstance(Class cls) { return newObject(cls); }

namespace screen {

id mainScreen(objc_class*, SEL) {
    static id const shared = sharedInstance(UIScreen::cls());
    return shared;
}

CGRect bounds(UIScreen*, SEL) {
    std::lock_guard<std::mutex> g(state().lock);
    return CGRect{CGPointZero, state().size};
}

double scale(UIScreen*, SEL) {
    std::lock_guard<std::mutex> g(state().lock);
    return state().scale;
}

}  // namespace screen

namespace device {

id currentDevice(objc_class*, SEL) {
    static id const modern = sharedInstance(UIDevice::cls());
    static id const old = sharedInstance(_UIOldDevice::cls());
    std::lock_guard<std::mutex> g(state().lock);
    if (!state().idiom) return old;
    static_cast<UIDevice*>(modern)->_userInterfaceIdiom = *state().idiom;
    return modern;
}

NSInteger userInterfaceIdiom(UIDevice* self, SEL) { return self->_userInterfaceIdiom; }

NSString* model(UIDevice* self, SEL) {
    return NSString::make(self->_userInterfaceIdiom == UIUserInterfaceIdiomPad ? "iPad" : "Phone");
}
NSString* systemName(UIDevice*, SEL) { return NSString::make("iOS"); }
NSString* systemVersion(UIDevice*, SEL) { return NSString::make("8.1"); }
NSString* name(UIDevice*, SEL) { return NSString::make("Cantrel Device"); }

}  // namespace device

}  // namespace

NSInteger UI_USER_INTERFACE_IDIOM() {
    id dev = objc_msgSend<id()>(UIDevice::cls(), "currentDevice"_sel);
    if (!objc_msgSend<BOOL(SEL)>(dev, "respondsToSelector:"_sel, "userInterfaceIdiom"_sel))
        return UIUserInterfaceIdiomPhone;
    return objc_msgSend<NSInteger()>(dev, "userInterfaceIdiom"_sel);
}

namespace platform {

void setMainScreen(CGSize size, double scale) {
    std::lock_guard<std::mutex> g(state().lock);
    state().size = size;
    state().scale = scale > 0 ? scale : 1;
}

void resetMainScreen() { setMainScreen(kDefaultScreenSize, kDefaultScreenScale); }

void setDeviceIdiom(std::optional<NSInteger> idiom) {
    std::lock_guard<std::mutex> g(state().lock);
    state().idiom = idiom;
}

}  // namespace platform

void platform::uikit::registerScreens() {
    objc::ClassDef<UIScreen>("UIScreen", NSObject::cls())
        .classMethod<screen::mainScreen>("mainScreen")
        .method<screen::bounds>("bounds")
        .method<screen::scale>("scale");
    objc::ClassDef<UIDevice>("UIDevice", NSObject::cls())
        .classMethod<device::currentDevice>("currentDevice")
        .method<device::userInterfaceIdiom>("userInterfaceIdiom")
        .method<device::model>("model")
        .method<device::systemName>("systemName")
        .method<device::systemVersion>("systemVersion")
        .method<device::name>("name")
        .OBJC_IVAR(UIDevice, _userInterfaceIdiom);
    // A device from before idioms: its own entry for the selector has no
    // implementation, so lookups from this class find nothing, as if the
    // method had never been written.
    Class old = objc::ClassDef<_UIOldDevice>("_UIOldDevice", UIDevice::cls()).get();
    objc::define_method(old, "userInterfaceIdiom"_sel, IMP{}, "");
}
