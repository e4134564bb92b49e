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

// What UIView subclasses made from nibs and drawn in code rely on, for as long
// as UIView does not define it itself. The stand-in's coders carry no view
// state and it has no drawing pass.
namespace viewFallbacks {

id initWithCoder(UIView* self, SEL, id) { return objc_msgSend<id(CGRect)>(self, "initWithFrame:"_sel, CGRectZero); }

// Nothing is ever drawn later, so there is nothing to mark.
void setNeedsDisplay(UIView*, SEL) {}

// A plain view draws nothing of its own.
void drawRect(UIView*, SEL, CGRect) {}

}  // namespace viewFallbacks

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
    defineOnViewUnlessOwned<viewFallbacks::initWithCoder>("initWithCoder:", "@@:@");
    defineOnViewUnlessOwned<viewFallbacks::setNeedsDisplay>("setNeedsDisplay", "v@:");
    defineOnViewUnlessOwned<viewFallbacks::drawRect>("drawRect:", "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
}

void platform::uikit::registerImageViewsAndGestures() {
    registerImageViews();
    registerGestureRecognizers();
}
