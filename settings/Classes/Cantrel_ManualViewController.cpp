#include "Cantrel_ManualViewController.h"

#include "PrefsBundle.h"

#include <Foundation/NSString.h>
#include <UIKit/UISwipeGestureRecognizer.h>
#include <UIKit/UITouch.h>

#include <mutex>

namespace {

using Manual = Cantrel_ManualViewController;

void loadView(Manual* self, SEL) { loadViewOrEmptyPage(self, Manual::cls()); }

void viewDidLoad(Manual* self, SEL) {
    objc_msgSendSuper<void()>(self, Manual::cls(), "viewDidLoad"_sel);
    id bundle = openSettingsBundle();
    id url = objc_msgSend<id(id, id)>(bundle, "URLForResource:withExtension:"_sel, "Cantrel_@2x"_ns, "gif"_ns);
    id data = objc_msgSend<id(id)>(objc_getClass("NSData"), "dataWithContentsOfURL:"_sel, url);
    id animated = objc_msgSend<id(id)>(objc_getClass("UIImage"), "animatedImageWithAnimatedGIFData:"_sel, data);

    id imageView = self->_exampleImageView.get();
    id frames = objc_msgSend<id()>(animated, "images"_sel);
    objc_msgSend<void(id)>(imageView, "setAnimationImages:"_sel, frames);
    objc_msgSend<void(double)>(imageView, "setAnimationDuration:"_sel, objc_msgSend<double()>(animated, "duration"_sel));
    objc_msgSend<void(NSInteger)>(imageView, "setAnimationRepeatCount:"_sel, 1);
    objc_msgSend<void(id)>(imageView, "setImage:"_sel, objc_msgSend<id()>(frames, "lastObject"_sel));
    objc_msgSend<void()>(imageView, "startAnimating"_sel);

    id tap = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(objc_getClass("UITapGestureRecognizer"), "alloc"_sel),
                                       "initWithTarget:action:"_sel, self, "exampleImageTap"_sel);
    objc_msgSend<void(id)>(imageView, "addGestureRecognizer:"_sel, tap);
    objc_release(tap);
    id swipe = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(objc_getClass("UISwipeGestureRecognizer"), "alloc"_sel),
                                         "initWithTarget:action:"_sel, self, "exampleImageTap"_sel);
    objc_msgSend<void(NSUInteger)>(swipe, "setDirection:"_sel, UISwipeGestureRecognizerDirectionLeft);
    objc_msgSend<void(id)>(imageView, "addGestureRecognizer:"_sel, swipe);
    objc_release(swipe);

    fixContainerWidth(self->_containerView.get(), shorterScreenSide());
    objc_msgSend<void()>(self->_tapHandView.get(), "setNeedsDisplay"_sel);
}

void exampleImageTap(Manual* self, SEL) { objc_msgSend<void()>(self->_exampleImageView.get(), "startAnimating"_sel); }

}  // namespace

void registerManualPage() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Manual>("Cantrel_ManualViewController", UIViewController::cls())
            .method<loadView>("loadView", "v@:")
            .method<viewDidLoad>("viewDidLoad", "v@:")
            .method<exampleImageTap>("exampleImageTap", "v@:")
            .property<&Manual::_containerView>("containerView")
            .property<&Manual::_exampleImageView>("exampleImageView")
            .property<&Manual::_tapHandView>("tapHandView");
    });
}
