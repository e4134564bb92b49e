#include <UIKit/UIApplication.h>

#include "Private.h"

#include <UIKit/UIScreen.h>
#include <UIKit/UIViewController.h>

namespace {

id keyWindowInstance() {
    static id window = [] {
        id w = objc_msgSend<id()>(objc_msgSend<id()>(UIWindow::cls(), "alloc"_sel), "init"_sel);
        CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
        objc_msgSend<void(CGRect)>(w, "setFrame:"_sel, screen);
        return w;
    }();
    return window;
}

id sharedApplication(id, SEL) {
    static id app = objc_msgSend<id()>(objc_msgSend<id()>(UIApplication::cls(), "alloc"_sel), "init"_sel);
    return app;
}
id keyWindow(id, SEL) { return keyWindowInstance(); }
id rootViewController(UIWindow* self, SEL) { return self->_rootViewController.get(); }
void setRootViewController(UIWindow* self, SEL, id controller) {
    self->_rootViewController = Strong<NSObject>(static_cast<NSObject*>(controller));
}

}  // namespace

void platform::setKeyWindowRootViewController(UIViewController* controller) {
    objc_msgSend<void(id)>(keyWindowInstance(), "setRootViewController:"_sel, controller);
}

void platform::uikit::registerApplication() {
    objc::ClassDef<UIWindow>("UIWindow", UIView::cls())
        .method<rootViewController>("rootViewController")
        .method<setRootViewController>("setRootViewController:");
    objc::ClassDef<UIApplication>("UIApplication", NSObject::cls())
        .classMethod<sharedApplication>("sharedApplication")
        .method<keyWindow>("keyWindow");
}
