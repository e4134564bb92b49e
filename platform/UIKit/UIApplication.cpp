#include <UIKit/UIApplication.h>

#include "Private.h"

#include <UIKit/UIAlertController.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>

#include <algorithm>
#include <vector>
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

// A view's frame after its superview went from `was` to `now`, by its
// autoresizing mask (1 flexible left margin, 2 width, 4 right margin, 8 top
// margin, 16 height, 32 bottom margin): the change goes to the flexible
// parts, shared equally; then the same for its own subviews.
void platform::uikit::resizeSubviews(UIView* view, CGSize was, CGSize now) {
    std::vector<Strong<UIView>> subviews = view->_subviews;
    for (const Strong<UIView>& sub : subviews) {
        NSUInteger mask = sub->_autoresizingMask;
        CGRect f = sub->_frame;
        CGSize before = f.size;
        auto share = [](double delta, bool lead, bool size, bool trail, double& origin, double& length) {
            int parts = int(lead) + int(size) + int(trail);
            if (parts == 0) return;
            double each = delta / parts;
            if (lead) origin += each;
            if (size) length = std::max(0.0, length + each);
        };
        share(now.width - was.width, mask & 1, mask & 2, mask & 4, f.origin.x, f.size.width);
        share(now.height - was.height, mask & 8, mask & 16, mask & 32, f.origin.y, f.size.height);
        if (!CGRectEqualToRect(f, sub->_frame)) objc_msgSend<void(CGRect)>(sub.get(), "setFrame:"_sel, f);
        if (!CGSizeEqualToSize(before, f.size)) resizeSubviews(sub.get(), before, f.size);
    }
}


void platform::setKeyWindowRootViewController(UIViewController* controller) {
    objc_msgSend<void(id)>(keyWindowInstance(), "setRootViewController:"_sel, controller);
}

bool platform::rotateInterface(UIInterfaceOrientation orientation) {
    if (orientation < UIInterfaceOrientationPortrait || orientation > UIInterfaceOrientationLandscapeLeft) return false;
    AutoreleasePool pool;
    std::vector<Strong<UIViewController>> controllers;
    if (auto* root = static_cast<UIViewController*>(
            objc_msgSend<id()>(keyWindowInstance(), "rootViewController"_sel)))
        controllers.emplace_back(root);
    for (UIViewController* c : presentedViewControllers()) controllers.emplace_back(c);
    for (const auto& c : controllers)
        objc_msgSend<void(NSInteger, double)>(c.get(), "willRotateToInterfaceOrientation:duration:"_sel, orientation, 0.4);
    id screen = objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel);
    CGSize old = objc_msgSend<CGRect()>(screen, "bounds"_sel).size;
    bool landscape = orientation >= UIInterfaceOrientationLandscapeRight;
    if ((old.width > old.height) != landscape && old.width != old.height) {
        CGRect turned = CGRectMake(0, 0, old.height, old.width);
        setMainScreen(turned.size, objc_msgSend<double()>(screen, "scale"_sel));
        objc_msgSend<void(CGRect)>(keyWindowInstance(), "setFrame:"_sel, turned);
        for (const auto& c : controllers) {
            if (c->_view == nullptr) continue;
            CGRect f = objc_msgSend<CGRect()>(c->_view, "frame"_sel);
            if (!CGSizeEqualToSize(f.size, old)) continue;
            objc_msgSend<void(CGRect)>(c->_view, "setFrame:"_sel, turned);
            platform::uikit::resizeSubviews(c->_view, old, turned.size);
        }
    }
    for (const auto& c : controllers) {
        NSInteger was = c->_interfaceOrientation;
        c->_interfaceOrientation = orientation;
        objc_msgSend<void(NSInteger)>(c.get(), "didRotateFromInterfaceOrientation:"_sel, was);
    }
    return true;
}

void platform::uikit::registerApplication() {
    objc::ClassDef<UIWindow>("UIWindow", UIView::cls())
        .method<rootViewController>("rootViewController")
        .method<setRootViewController>("setRootViewController:");
    objc::ClassDef<UIApplication>("UIApplication", NSObject::cls())
        .classMethod<sharedApplication>("sharedApplication")
        .method<keyWindow>("keyWindow");
}
