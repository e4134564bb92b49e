// CALayer, and UIView's layer, drawing and animation methods.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/CALayer.h>
#include <UIKit/UIView.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace platform::support;

CALayer* UIView::layerObject() {
    if (_layer == nullptr) {
        _layer = objectAs<CALayer>(newObject(CALayer::cls()));
        if (_layer != nullptr) _layer->_view = this;
    }
    return _layer;
}

namespace {

// The animations blocks running on this thread, innermost last; each
// collects the views it changes.
thread_local std::vector<std::vector<Strong<UIView>>*> runningAnimations;

namespace layer {

double cornerRadius(CALayer* self, SEL) { return self->_cornerRadius; }
void setCornerRadius(CALayer* self, SEL, double v) { self->_cornerRadius = std::isfinite(v) && v > 0 ? v : 0; }
double borderWidth(CALayer* self, SEL) { return self->_borderWidth; }
void setBorderWidth(CALayer* self, SEL, double v) { self->_borderWidth = std::isfinite(v) && v > 0 ? v : 0; }
CGColor borderColor(CALayer* self, SEL) { return self->_borderColor; }
void setBorderColor(CALayer* self, SEL, CGColor c) { self->_borderColor = c; }
BOOL masksToBounds(CALayer* self, SEL) { return self->_masksToBounds; }
void setMasksToBounds(CALayer* self, SEL, BOOL v) { self->_masksToBounds = v; }
float opacity(CALayer* self, SEL) { return self->_opacity; }
void setOpacity(CALayer* self, SEL, float v) { self->_opacity = std::isnan(v) ? 0 : std::clamp(v, 0.0f, 1.0f); }
BOOL hidden(CALayer* self, SEL) { return self->_hidden; }
void setHidden(CALayer* self, SEL, BOOL v) { self->_hidden = v; }

CGColor shadowColor(CALayer* self, SEL) { return self->_shadowColor; }
void setShadowColor(CALayer* self, SEL, CGColor c) { self->_shadowColor = c; }
CGSize shadowOffset(CALayer* self, SEL) { return self->_shadowOffset; }
void setShadowOffset(CALayer* self, SEL, CGSize v) {
    if (std::isfinite(v.width) && std::isfinite(v.height)) self->_shadowOffset = v;
}
float shadowOpacity(CALayer* self, SEL) { return self->_shadowOpacity; }
void setShadowOpacity(CALayer* self, SEL, float v) {
    self->_shadowOpacity = std::isnan(v) ? 0 : std::clamp(v, 0.0f, 1.0f);
}
double shadowRadius(CALayer* self, SEL) { return self->_shadowRadius; }
void setShadowRadius(CALayer* self, SEL, double v) { self->_shadowRadius = std::isfinite(v) && v > 0 ? v : 0; }

}  // namespace layer

namespace view {

id layer(UIView* self, SEL) { return self->layerObject(); }

double alpha(UIView* self, SEL) { return objc_msgSend<float()>(self->layerObject(), "opacity"_sel); }

void setAlpha(UIView* self, SEL, double alpha) {
    platform::uikit::noteAnimatedChange(self);
    objc_msgSend<void(float)>(self->layerObject(), "setOpacity:"_sel, static_cast<float>(alpha));
}

BOOL isHidden(UIView* self, SEL) { return objc_msgSend<BOOL()>(self->layerObject(), "isHidden"_sel); }

void setHidden(UIView* self, SEL, BOOL hidden) {
    platform::uikit::noteAnimatedChange(self);
    self->_hidden = hidden;
    objc_msgSend<void(BOOL)>(self->layerObject(), "setHidden:"_sel, hidden);
}

BOOL clipsToBounds(UIView* self, SEL) { return objc_msgSend<BOOL()>(self->layerObject(), "masksToBounds"_sel); }

void setClipsToBounds(UIView* self, SEL, BOOL clips) {
    objc_msgSend<void(BOOL)>(self->layerObject(), "setMasksToBounds:"_sel, clips);
}

CGPoint center(UIView* self, SEL) {
    CGRect f = objc_msgSend<CGRect()>(self, "frame"_sel);
    return CGPointMake(CGRectGetMidX(f), CGRectGetMidY(f));
}

void setCenter(UIView* self, SEL, CGPoint c) {
    CGRect f = objc_msgSend<CGRect()>(self, "frame"_sel);
    f = CGRectStandardize(f);
    f.origin = CGPointMake(c.x - f.size.width / 2, c.y - f.size.height / 2);
    objc_msgSend<void(CGRect)>(self, "setFrame:"_sel, f);
}

void moveSubview(UIView* self, id obj, bool toFront) {
    auto& list = self->_subviews;
    auto it = std::find_if(list.begin(), list.end(), [&](const Strong<UIView>& v) { return objc::as_id(v.get()) == obj; });
    if (it == list.end()) return;
    Strong<UIView> keep = *it;
    list.erase(it);
    if (toFront) list.push_back(keep);
    else list.insert(list.begin(), keep);
}

NSInteger contentMode(UIView* self, SEL) { return self->_contentMode; }
void setContentMode(UIView* self, SEL, NSInteger mode) { self->_contentMode = mode; }

void bringSubviewToFront(UIView* self, SEL, id obj) { moveSubview(self, obj, true); }
void sendSubviewToBack(UIView* self, SEL, id obj) { moveSubview(self, obj, false); }

void setNeedsDisplay(UIView*, SEL) {}
void drawRect(UIView*, SEL, CGRect) {}

id initWithCoder(UIView* self, SEL, id) { return objc_msgSend<id(CGRect)>(self, "initWithFrame:"_sel, CGRectZero); }

void animate(double delay, double duration, id animations, id completion) {
    // The blocks and the views they change live until the completion has run.
    Strong<NSObject> animationsBlock(static_cast<NSObject*>(animations));
    Strong<NSObject> completionBlock(static_cast<NSObject*>(completion));
    auto changed = std::make_shared<std::vector<Strong<UIView>>>();
    runningAnimations.push_back(changed.get());
    try {
        objc_callBlock<void()>(animations);
    } catch (...) {
        runningAnimations.pop_back();
        throw;
    }
    runningAnimations.pop_back();
    double wait = (std::isfinite(delay) && delay > 0 ? delay : 0) + (std::isfinite(duration) && duration > 0 ? duration : 0);
    platform::RunLoop::main().addTimer(platform::Clock::now() + wait,
                                       [animationsBlock, completionBlock, changed]() mutable {
                                           objc_callBlock<void(BOOL)>(completionBlock.get(), YES);
                                           changed->clear();
                                           completionBlock = nullptr;
                                           animationsBlock = nullptr;
                                       });
}

void animateWithCompletion(objc_class*, SEL, double duration, id animations, id completion) {
    animate(0, duration, animations, completion);
}

void animateWithoutCompletion(objc_class*, SEL, double duration, id animations) {
    animate(0, duration, animations, nil);
}

void animateWithDelay(objc_class*, SEL, double duration, double delay, NSUInteger, id animations, id completion) {
    animate(delay, duration, animations, completion);
}

}  // namespace view

}  // namespace

void platform::uikit::noteAnimatedChange(objc_object* view) {
    if (runningAnimations.empty() || view == nullptr) return;
    auto& list = *runningAnimations.back();
    auto* v = static_cast<UIView*>(view);
    if (std::none_of(list.begin(), list.end(), [&](const Strong<UIView>& s) { return s.get() == v; })) list.emplace_back(v);
}

void platform::uikit::registerViewDrawing() {
    objc::ClassDef<CALayer>("CALayer", NSObject::cls())
        .method<layer::cornerRadius>("cornerRadius")
        .method<layer::setCornerRadius>("setCornerRadius:")
        .method<layer::borderWidth>("borderWidth")
        .method<layer::setBorderWidth>("setBorderWidth:")
        .method<layer::borderColor>("borderColor")
        .method<layer::setBorderColor>("setBorderColor:")
        .method<layer::masksToBounds>("masksToBounds")
        .method<layer::setMasksToBounds>("setMasksToBounds:")
        .method<layer::opacity>("opacity")
        .method<layer::setOpacity>("setOpacity:")
        .method<layer::hidden>("hidden")
        .method<layer::hidden>("isHidden")
        .method<layer::setHidden>("setHidden:")
        .method<layer::shadowColor>("shadowColor")
        .method<layer::setShadowColor>("setShadowColor:")
        .method<layer::shadowOffset>("shadowOffset")
        .method<layer::setShadowOffset>("setShadowOffset:")
        .method<layer::shadowOpacity>("shadowOpacity")
        .method<layer::setShadowOpacity>("setShadowOpacity:")
        .method<layer::shadowRadius>("shadowRadius")
        .method<layer::setShadowRadius>("setShadowRadius:")
        .OBJC_IVAR(CALayer, _cornerRadius)
        .OBJC_IVAR(CALayer, _borderWidth)
        .OBJC_IVAR(CALayer, _masksToBounds)
        .OBJC_IVAR(CALayer, _opacity);
    Class cls = UIView::cls();
    auto def = [cls](const char* sel, IMP imp) { objc::define_method(cls, sel_registerName(sel), imp, ""); };
    def("layer", objc::make_imp<view::layer>());
    def("alpha", objc::make_imp<view::alpha>());
    def("setAlpha:", objc::make_imp<view::setAlpha>());
    def("isHidden", objc::make_imp<view::isHidden>());
    def("hidden", objc::make_imp<view::isHidden>());
    def("setHidden:", objc::make_imp<view::setHidden>());
    def("clipsToBounds", objc::make_imp<view::clipsToBounds>());
    def("setClipsToBounds:", objc::make_imp<view::setClipsToBounds>());
    def("contentMode", objc::make_imp<view::contentMode>());
    def("setContentMode:", objc::make_imp<view::setContentMode>());
    def("center", objc::make_imp<view::center>());
    def("setCenter:", objc::make_imp<view::setCenter>());
    def("bringSubviewToFront:", objc::make_imp<view::bringSubviewToFront>());
    def("sendSubviewToBack:", objc::make_imp<view::sendSubviewToBack>());
    def("setNeedsDisplay", objc::make_imp<view::setNeedsDisplay>());
    def("drawRect:", objc::make_imp<view::drawRect>());
    def("initWithCoder:", objc::make_imp<view::initWithCoder>());
    Class meta = object_getClass(reinterpret_cast<id>(cls));
    objc::define_method(meta, "animateWithDuration:animations:completion:"_sel,
                        objc::make_imp<view::animateWithCompletion>(), "");
    objc::define_method(meta, "animateWithDuration:animations:"_sel, objc::make_imp<view::animateWithoutCompletion>(),
                        "");
    objc::define_method(meta, "animateWithDuration:delay:options:animations:completion:"_sel,
                        objc::make_imp<view::animateWithDelay>(), "");
}
