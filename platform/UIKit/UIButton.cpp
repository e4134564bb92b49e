// UIButton's titles and background images per control state.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>

using namespace platform::support;

namespace {

// The state's entry, else the normal state's, else nil.
template <class T>
T* forState(const std::map<UIControlState, Strong<T>>& values, UIControlState state) {
    auto it = values.find(state);
    if (it == values.end()) it = values.find(UIControlStateNormal);
    return it == values.end() ? nullptr : it->second.get();
}

void setTitleForState(UIButton* self, SEL, id title, NSUInteger state) {
    NSString* text = requireObject<NSString>(title, "-[UIButton setTitle:forState:]");
    if (text == nullptr) {
        self->_titles.erase(state);
    } else {
        self->_titles[state] = adoptObject<NSString>(objc_msgSend<id()>(text, "copy"_sel), "-[UIButton setTitle:forState:]");
    }
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

id titleForState(UIButton* self, SEL, NSUInteger state) { return forState(self->_titles, state); }

void setBackgroundImageForState(UIButton* self, SEL, id image, NSUInteger state) {
    UIImage* picture = requireObject<UIImage>(image, "-[UIButton setBackgroundImage:forState:]");
    if (picture == nullptr) {
        self->_backgroundImages.erase(state);
    } else {
        self->_backgroundImages[state] = picture;
    }
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

id backgroundImageForState(UIButton* self, SEL, NSUInteger state) { return forState(self->_backgroundImages, state); }

void setImageForState(UIButton* self, SEL, id image, NSUInteger state) {
    UIImage* picture = requireObject<UIImage>(image, "-[UIButton setImage:forState:]");
    if (picture == nullptr) self->_images.erase(state);
    else self->_images[state] = picture;
}
id imageForState(UIButton* self, SEL, NSUInteger state) { return forState(self->_images, state); }
UIEdgeInsets imageEdgeInsets(UIButton* self, SEL) { return self->_imageEdgeInsets; }
void setImageEdgeInsets(UIButton* self, SEL, UIEdgeInsets insets) { self->_imageEdgeInsets = insets; }

id currentTitle(UIButton* self, SEL) { return forState(self->_titles, UIControlStateNormal); }
id currentBackgroundImage(UIButton* self, SEL) { return forState(self->_backgroundImages, UIControlStateNormal); }

// The title's size in points.
constexpr double kTitleFontSize = 15;

// The normal state's background image scaled to the bounds, then its title
// in white, centred.
void drawRect(UIButton* self, SEL, CGRect) {
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    id picture = objc_msgSend<id(NSUInteger)>(self, "backgroundImageForState:"_sel, UIControlStateNormal);
    objc_msgSend<void(CGRect)>(picture, "drawInRect:"_sel, bounds);
    id title = objc_msgSend<id(NSUInteger)>(self, "titleForState:"_sel, UIControlStateNormal);
    if (title == nullptr) return;
    id font = objc_msgSend<id(double)>(UIFont::cls(), "systemFontOfSize:"_sel, kTitleFontSize);
    id white = objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel,
                                                                1.0, 1.0, 1.0, 1.0);
    NSDictionary* attributes = NSDictionary::make({{NSFontAttributeName, font}, {NSForegroundColorAttributeName, white}});
    CGSize size = objc_msgSend<CGSize(id)>(title, "sizeWithAttributes:"_sel, attributes);
    CGPoint at = CGPointMake(bounds.origin.x + (bounds.size.width - size.width) / 2,
                             bounds.origin.y + (bounds.size.height - size.height) / 2);
    objc_msgSend<void(CGPoint, id)>(title, "drawAtPoint:withAttributes:"_sel, at, attributes);
}

}  // namespace

void platform::uikit::registerButtons() {
    Class cls = UIButton::cls();
    objc::define_method(cls, "setTitle:forState:"_sel, objc::make_imp<setTitleForState>(), "v@:@Q");
    objc::define_method(cls, "titleForState:"_sel, objc::make_imp<titleForState>(), "@@:Q");
    objc::define_method(cls, "setBackgroundImage:forState:"_sel, objc::make_imp<setBackgroundImageForState>(), "v@:@Q");
    objc::define_method(cls, "backgroundImageForState:"_sel, objc::make_imp<backgroundImageForState>(), "@@:Q");
    objc::define_method(cls, "setImage:forState:"_sel, objc::make_imp<setImageForState>(), "v@:@Q");
    objc::define_method(cls, "imageForState:"_sel, objc::make_imp<imageForState>(), "@@:Q");
    objc::define_method(cls, "imageEdgeInsets"_sel, objc::make_imp<imageEdgeInsets>(), "");
    objc::define_method(cls, "setImageEdgeInsets:"_sel, objc::make_imp<setImageEdgeInsets>(), "");
    objc::define_method(cls, "currentTitle"_sel, objc::make_imp<currentTitle>(), "@@:");
    objc::define_method(cls, "currentBackgroundImage"_sel, objc::make_imp<currentBackgroundImage>(), "@@:");
    objc::define_method(cls, "drawRect:"_sel, objc::make_imp<drawRect>(), "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
}
