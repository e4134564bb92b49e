// Images made from pixels, animated images, and UIImageView's frame
// animation on the run loop's clock.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSArray.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <platform/RunLoop.h>

#include <cairo.h>

#include <cmath>

using namespace platform::support;

namespace {

namespace animated {

id imageWithCGImage(Class, SEL, CGImageRef image) {
    if (image == nullptr || image->surface == nullptr) return nil;
    return UIImage::withSurface(cairo_surface_reference(image->surface), 1);
}

id animatedImageWithImages(Class, SEL, id images, double duration) {
    std::vector<Strong<UIImage>> list = objectsOf<UIImage>(images, "+[UIImage animatedImageWithImages:duration:]");
    if (list.empty() || list.front()->_surface == nullptr) return nil;
    UIImage* first = list.front().get();
    UIImage* made = UIImage::withSurface(cairo_surface_reference(first->_surface), first->_scale);
    if (made == nullptr) return nil;
    made->_images = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id()>(images, "copy"_sel)));
    made->_duration = std::isfinite(duration) && duration > 0 ? duration : 0;
    return made;
}

id images(UIImage* self, SEL) { return self->_images.get(); }
double duration(UIImage* self, SEL) { return self->_duration; }

}  // namespace animated

namespace animation {

NSUInteger imageCount(UIImageView* self) {
    return self->_animationImages ? arrayCount(self->_animationImages.get()) : 0;
}

// The length of one run in seconds.
double runLength(UIImageView* self) {
    NSUInteger n = imageCount(self);
    return self->_animationDuration > 0 ? self->_animationDuration : n / 30.0;
}

// Whether the runs are still going; ends the animation once they are over.
bool running(UIImageView* self) {
    if (!self->_animating) return false;
    if (imageCount(self) == 0) {
        self->_animating = NO;
        return false;
    }
    if (self->_animationRepeatCount > 0) {
        double end = self->_animationStart + runLength(self) * static_cast<double>(self->_animationRepeatCount);
        if (platform::Clock::now() >= end) self->_animating = NO;
    }
    return self->_animating;
}

id animationImages(UIImageView* self, SEL) { return self->_animationImages.get(); }
void setAnimationImages(UIImageView* self, SEL, id images) {
    requireObject<NSArray>(images, "-[UIImageView setAnimationImages:]");
    self->_animationImages = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id()>(images, "copy"_sel)));
    if (images == nil) self->_animating = NO;
}
double animationDuration(UIImageView* self, SEL) { return self->_animationDuration; }
void setAnimationDuration(UIImageView* self, SEL, double d) {
    self->_animationDuration = std::isfinite(d) && d > 0 ? d : 0;
}
NSInteger animationRepeatCount(UIImageView* self, SEL) { return self->_animationRepeatCount; }
void setAnimationRepeatCount(UIImageView* self, SEL, NSInteger n) { self->_animationRepeatCount = n > 0 ? n : 0; }
void startAnimating(UIImageView* self, SEL) {
    if (imageCount(self) == 0) return;
    self->_animationStart = platform::Clock::now();
    self->_animating = YES;
}
void stopAnimating(UIImageView* self, SEL) { self->_animating = NO; }
BOOL isAnimating(UIImageView* self, SEL) { return running(self) ? YES : NO; }

}  // namespace animation

}  // namespace

long platform::imageViewFrameIndex(UIImageView* view) {
    if (view == nullptr || !animation::running(view)) return -1;
    NSUInteger n = animation::imageCount(view);
    double length = animation::runLength(view);
    double elapsed = platform::Clock::now() - view->_animationStart;
    double into = std::fmod(std::max(0.0, elapsed), length);
    long index = static_cast<long>(std::floor(into / (length / static_cast<double>(n))));
    return std::clamp(index, 0L, static_cast<long>(n) - 1);
}

UIImage* platform::imageViewShownImage(UIImageView* view) {
    if (view == nullptr) return nullptr;
    long index = imageViewFrameIndex(view);
    if (index >= 0)
        return objectAs<UIImage>(arrayObjectAt(view->_animationImages.get(), static_cast<NSUInteger>(index)));
    return objectAs<UIImage>(objc_msgSend<id()>(view, "image"_sel));
}

void platform::uikit::registerImageAnimation() {
    objc::define_method(UIImage::cls()->isa, "imageWithCGImage:"_sel, objc::make_imp<animated::imageWithCGImage>(),
                        "@@:^{CGImage=}");
    objc::define_method(UIImage::cls()->isa, "animatedImageWithImages:duration:"_sel,
                        objc::make_imp<animated::animatedImageWithImages>(), "@@:@d");
    objc::define_method(UIImage::cls(), "images"_sel, objc::make_imp<animated::images>(), "@@:");
    objc::define_method(UIImage::cls(), "duration"_sel, objc::make_imp<animated::duration>(), "d@:");
    Class iv = UIImageView::cls();
    objc::define_method(iv, "animationImages"_sel, objc::make_imp<animation::animationImages>(), "@@:");
    objc::define_method(iv, "setAnimationImages:"_sel, objc::make_imp<animation::setAnimationImages>(), "v@:@");
    objc::define_method(iv, "animationDuration"_sel, objc::make_imp<animation::animationDuration>(), "d@:");
    objc::define_method(iv, "setAnimationDuration:"_sel, objc::make_imp<animation::setAnimationDuration>(), "v@:d");
    objc::define_method(iv, "animationRepeatCount"_sel, objc::make_imp<animation::animationRepeatCount>(), "q@:");
    objc::define_method(iv, "setAnimationRepeatCount:"_sel, objc::make_imp<animation::setAnimationRepeatCount>(),
                        "v@:q");
    objc::define_method(iv, "startAnimating"_sel, objc::make_imp<animation::startAnimating>(), "v@:");
    objc::define_method(iv, "stopAnimating"_sel, objc::make_imp<animation::stopAnimating>(), "v@:");
    objc::define_method(iv, "isAnimating"_sel, objc::make_imp<animation::isAnimating>(), "B@:");
}
