// UIImageView.
#include "ImageViewsAndGestures.h"
#include "ObjectSupport.h"

#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>

using namespace platform::support;

UIImageView::~UIImageView() { clearStrong(_image); }

namespace {

namespace imageView {

id initWithImage(UIImageView* self, SEL, id image) {
    CGSize size = objc_msgSend<CGSize()>(image, "size"_sel);
    self = objectAs<UIImageView>(
        objc_msgSend<id(CGRect)>(self, "initWithFrame:"_sel, CGRect{CGPointZero, size}));
    if (self == nullptr) return nil;
    objc_msgSend<void(id)>(self, "setImage:"_sel, image);
    return self;
}

id image(UIImageView* self, SEL) { return self->_image; }

void setImage(UIImageView* self, SEL, id image) {
    storeStrong(self->_image, requireObject<UIImage>(image, "-[UIImageView setImage:]"));
}

NSInteger defaultRenderingMode(UIImageView* self, SEL) { return self->_defaultRenderingMode; }

void setDefaultRenderingMode(UIImageView* self, SEL, NSInteger mode) { self->_defaultRenderingMode = mode; }

}  // namespace imageView

}  // namespace

void platform::uikit::registerImageViews() {
    objc::ClassDef<UIImageView>("UIImageView", UIView::cls())
        .method<imageView::initWithImage>("initWithImage:", "@@:@")
        .method<imageView::image>("image", "@@:")
        .method<imageView::setImage>("setImage:", "v@:@")
        .method<imageView::defaultRenderingMode>("_defaultRenderingMode", "q@:")
        .method<imageView::setDefaultRenderingMode>("_setDefaultRenderingMode:", "v@:q")
        .OBJC_IVAR(UIImageView, _image)
        .OBJC_IVAR(UIImageView, _defaultRenderingMode);
}

void platform::uikit::registerImageViewsAndGestures() {
    registerImageViews();
    registerGestureRecognizers();
}
