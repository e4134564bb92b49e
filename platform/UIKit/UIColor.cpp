// UIColor.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSString.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>

#include <algorithm>
#include <cmath>
#include <functional>

using namespace platform::support;

namespace {

double clampComponent(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }

namespace color {

id initWithRGBA(UIColor* self, SEL, double red, double green, double blue, double alpha) {
    self = objectAs<UIColor>(objc_msgSendSuper<id()>(self, UIColor::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->_red = clampComponent(red);
    self->_green = clampComponent(green);
    self->_blue = clampComponent(blue);
    self->_alpha = clampComponent(alpha);
    return self;
}

id colorWithRGBA(objc_class* cls, SEL, double red, double green, double blue, double alpha) {
    id alloced = objc_msgSend<id()>(cls, "alloc"_sel);
    return objc_autorelease(objc_msgSend<id(double, double, double, double)>(
        alloced, "initWithRed:green:blue:alpha:"_sel, red, green, blue, alpha));
}

id colorWithWhite(objc_class* cls, SEL, double white, double alpha) {
    return objc_msgSend<id(double, double, double, double)>(cls, "colorWithRed:green:blue:alpha:"_sel, white, white,
                                                            white, alpha);
}

template <int R, int G, int B, int A>
id named(objc_class* cls, SEL) {
    // Components in sixths: the greys are 1/3, 1/2 and 2/3.
    return objc_msgSend<id(double, double, double, double)>(cls, "colorWithRed:green:blue:alpha:"_sel, R / 6.0,
                                                            G / 6.0, B / 6.0, A / 6.0);
}

BOOL getRGBA(UIColor* self, SEL, double* red, double* green, double* blue, double* alpha) {
    if (red) *red = self->_red;
    if (green) *green = self->_green;
    if (blue) *blue = self->_blue;
    if (alpha) *alpha = self->_alpha;
    return YES;
}

id withAlphaComponent(UIColor* self, SEL, double alpha) {
    return objc_msgSend<id(double, double, double, double)>(object_getClass(self), "colorWithRed:green:blue:alpha:"_sel,
                                                            self->_red, self->_green, self->_blue, alpha);
}

BOOL isEqual(UIColor* self, SEL, id other) {
    auto* o = objectAs<UIColor>(other);
    return o != nullptr && o->_red == self->_red && o->_green == self->_green && o->_blue == self->_blue &&
           o->_alpha == self->_alpha;
}

NSUInteger hash(UIColor* self, SEL) {
    NSUInteger h = 0;
    for (double v : {self->_red, self->_green, self->_blue, self->_alpha})
        h = h * 31 + static_cast<NSUInteger>(std::lround(v * 255));
    return h;
}

NSString* description(UIColor* self, SEL) {
    return NSStringWithFormat("UIDeviceRGBColorSpace %g %g %g %g", self->_red, self->_green, self->_blue,
                              self->_alpha);
}

CGColor cgColor(UIColor* self, SEL) { return self->cgColor(); }

void setFill(UIColor* self, SEL) { CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), self->cgColor()); }

void setStroke(UIColor* self, SEL) {
    CGContextSetStrokeColorWithColor(UIGraphicsGetCurrentContext(), self->cgColor());
}

void set(UIColor* self, SEL) {
    objc_msgSend<void()>(self, "setFill"_sel);
    objc_msgSend<void()>(self, "setStroke"_sel);
}

}  // namespace color

}  // namespace

UIColor* UIColor::make(double red, double green, double blue, double alpha) {
    return static_cast<UIColor*>(objc_msgSend<id(double, double, double, double)>(
        cls(), "colorWithRed:green:blue:alpha:"_sel, red, green, blue, alpha));
}

void platform::uikit::registerColors() {
    objc::ClassDef<UIColor>("UIColor", NSObject::cls())
        .method<color::initWithRGBA>("initWithRed:green:blue:alpha:")
        .classMethod<color::colorWithRGBA>("colorWithRed:green:blue:alpha:")
        .classMethod<color::colorWithWhite>("colorWithWhite:alpha:")
        .classMethod<color::named<6, 6, 6, 6>>("whiteColor")
        .classMethod<color::named<0, 0, 0, 6>>("blackColor")
        .classMethod<color::named<0, 0, 0, 0>>("clearColor")
        .classMethod<color::named<6, 0, 0, 6>>("redColor")
        .classMethod<color::named<0, 6, 0, 6>>("greenColor")
        .classMethod<color::named<0, 0, 6, 6>>("blueColor")
        .classMethod<color::named<6, 6, 0, 6>>("yellowColor")
        .classMethod<color::named<3, 3, 3, 6>>("grayColor")
        .classMethod<color::named<4, 4, 4, 6>>("lightGrayColor")
        .classMethod<color::named<2, 2, 2, 6>>("darkGrayColor")
        .method<color::getRGBA>("getRed:green:blue:alpha:")
        .method<color::withAlphaComponent>("colorWithAlphaComponent:")
        .method<color::isEqual>("isEqual:")
        .method<color::hash>("hash")
        .method<color::description>("description")
        .method<color::cgColor>("CGColor")
        .method<color::setFill>("setFill")
        .method<color::setStroke>("setStroke")
        .method<color::set>("set")
        .OBJC_IVAR(UIColor, _red)
        .OBJC_IVAR(UIColor, _green)
        .OBJC_IVAR(UIColor, _blue)
        .OBJC_IVAR(UIColor, _alpha);
}
