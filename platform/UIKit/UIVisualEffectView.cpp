// UIBlurEffect and UIVisualEffectView.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIVisualEffectView.h>

#include <atomic>

using namespace platform::support;

UIVisualEffectView::~UIVisualEffectView() {
    clearStrong(_effect);
    clearStrong(_contentView);
}

namespace {

std::atomic<bool> blurOffered{true};

namespace blur {

// While blur is not offered the class answers as an absent one does.
id classOrNil(objc_class* cls, SEL) { return blurOffered ? cls : nil; }

id alloc(objc_class* cls, SEL) {
    if (!blurOffered) return nil;
    return objc_msgSendSuper<id()>(cls, object_getClass(reinterpret_cast<id>(UIBlurEffect::cls())), "alloc"_sel);
}

id newEffect(objc_class* cls, SEL) {
    return objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel);
}

id effectWithStyle(objc_class* cls, SEL, NSInteger style) {
    auto* e = objectAs<UIBlurEffect>(objc_msgSend<id()>(cls, "new"_sel));
    if (e == nullptr) return nil;
    e->_style = style;
    return objc_autorelease(e);
}

NSInteger style(UIBlurEffect* self, SEL) { return self->_style; }

}  // namespace blur

namespace effectView {

id initWithEffect(UIVisualEffectView* self, SEL, id effect) {
    self = objectAs<UIVisualEffectView>(objc_msgSend<id(CGRect)>(self, "initWithFrame:"_sel, CGRectZero));
    if (self == nullptr) return nil;
    storeStrong(self->_effect, requireObject<UIVisualEffect>(effect, "-[UIVisualEffectView initWithEffect:]"));
    Strong<UIView> content = adoptObject<UIView>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero),
        "-[UIVisualEffectView initWithEffect:]");
    storeStrong(self->_contentView, content.get());
    objc_msgSend<void(id)>(self, "addSubview:"_sel, content.get());
    return self;
}

id effect(UIVisualEffectView* self, SEL) { return self->_effect; }
id contentView(UIVisualEffectView* self, SEL) { return self->_contentView; }

void setFrame(UIVisualEffectView* self, SEL, CGRect frame) {
    objc_msgSendSuper<void(CGRect)>(self, UIVisualEffectView::cls(), "setFrame:"_sel, frame);
    objc_msgSend<void(CGRect)>(self->_contentView, "setFrame:"_sel, objc_msgSend<CGRect()>(self, "bounds"_sel));
}

}  // namespace effectView

}  // namespace

// Without blur the class is also gone from name lookup, as on a platform
// that lacks it.
void platform::setBlurAvailable(bool available) {
    blurOffered = available;
    objc_setClassHidden(UIBlurEffect::cls(), !available);
}
bool platform::blurAvailable() { return blurOffered; }

std::optional<CGColor> platform::visualEffectTint(UIView* view) {
    auto* v = objectAs<UIVisualEffectView>(view);
    if (v == nullptr) return std::nullopt;
    auto* b = objectAs<UIBlurEffect>(v->_effect);
    if (b == nullptr) return std::nullopt;
    switch (b->_style) {
    case 0: return CGColor{1, 1, 1, 0.9};
    case 2: return CGColor{0.11, 0.11, 0.11, 0.73};
    default: return CGColor{0.97, 0.97, 0.97, 0.8};
    }
}

void platform::uikit::registerVisualEffects() {
    objc::ClassDef<UIVisualEffect>("UIVisualEffect", NSObject::cls());
    objc::ClassDef<UIBlurEffect>("UIBlurEffect", UIVisualEffect::cls())
        .classMethod<blur::classOrNil>("class")
        .classMethod<blur::alloc>("alloc")
        .classMethod<blur::newEffect>("new")
        .classMethod<blur::effectWithStyle>("effectWithStyle:")
        .method<blur::style>("style")
        .OBJC_IVAR(UIBlurEffect, _style);
    objc::ClassDef<UIVisualEffectView>("UIVisualEffectView", UIView::cls())
        .method<effectView::initWithEffect>("initWithEffect:")
        .method<effectView::effect>("effect")
        .method<effectView::contentView>("contentView")
        .method<effectView::setFrame>("setFrame:")
        .OBJC_IVAR(UIVisualEffectView, _effect)
        .OBJC_IVAR(UIVisualEffectView, _contentView);
}
