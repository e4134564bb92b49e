// UIView's touches, tint, accessibility label and constraints; UIControl's
// touch tracking and actions; UITouch,
// UITapGestureRecognizer and NSLayoutConstraint; the platform's delivery of
// taps and touches.
#include "ImageViewsAndGestures.h"
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITouch.h>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace platform::support;

namespace {

bool containsPoint(CGRect r, CGPoint p) {
    r = CGRectStandardize(r);
    return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y && p.y < r.origin.y + r.size.height;
}

// The view's origin in the coordinates of the top of its tree.
CGPoint originInRoot(UIView* view) {
    CGPoint p{};
    for (UIView* v = view; v != nullptr && v->_superview != nullptr; v = v->_superview) {
        CGRect f = objc_msgSend<CGRect()>(v, "frame"_sel);
        p.x += f.origin.x;
        p.y += f.origin.y;
        if (auto* scroll = objectAs<UIScrollView>(v->_superview)) {
            p.x -= scroll->_contentOffset.x;
            p.y -= scroll->_contentOffset.y;
        }
    }
    return p;
}


namespace view {

BOOL userInteractionEnabled(UIView* self, SEL) { return self->_userInteractionEnabled; }
void setUserInteractionEnabled(UIView* self, SEL, BOOL on) { self->_userInteractionEnabled = on; }

BOOL pointInside(UIView* self, SEL, CGPoint p, id) {
    return containsPoint(objc_msgSend<CGRect()>(self, "bounds"_sel), p);
}

id hitTest(UIView* self, SEL, CGPoint p, id event) {
    if (!objc_msgSend<BOOL()>(self, "isUserInteractionEnabled"_sel) || objc_msgSend<BOOL()>(self, "isHidden"_sel) ||
        objc_msgSend<double()>(self, "alpha"_sel) <= 0.01)
        return nil;
    if (!objc_msgSend<BOOL(CGPoint, id)>(self, "pointInside:withEvent:"_sel, p, event)) return nil;
    std::vector<Strong<UIView>> subviews = self->_subviews;
    // A scroll view's subviews stand in its content, shown from contentOffset.
    auto* scroll = objectAs<UIScrollView>(self);
    CGPoint offset = scroll != nullptr ? scroll->_contentOffset : CGPointZero;
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        CGRect f = objc_msgSend<CGRect()>(it->get(), "frame"_sel);
        CGPoint inner = CGPointMake(p.x + offset.x - f.origin.x, p.y + offset.y - f.origin.y);
        if (id hit = objc_msgSend<id(CGPoint, id)>(it->get(), "hitTest:withEvent:"_sel, inner, event)) return hit;
    }
    return self;
}

CGPoint convertPointToView(UIView* self, SEL, CGPoint p, id other) {
    CGPoint from = originInRoot(self);
    CGPoint to = other != nullptr ? originInRoot(static_cast<UIView*>(other)) : CGPointZero;
    return CGPointMake(p.x + from.x - to.x, p.y + from.y - to.y);
}

CGPoint convertPointFromView(UIView* self, SEL, CGPoint p, id other) {
    CGPoint from = other != nullptr ? originInRoot(static_cast<UIView*>(other)) : CGPointZero;
    CGPoint to = originInRoot(self);
    return CGPointMake(p.x + from.x - to.x, p.y + from.y - to.y);
}

id tintColor(UIView* self, SEL) {
    for (UIView* v = self; v != nullptr; v = v->_superview)
        if (v->_tintColor) return v->_tintColor.get();
    return UIColor::make(0, 122 / 255.0, 1, 1);
}
void setTintColor(UIView* self, SEL, id color) {
    self->_tintColor = requireObject<UIColor>(color, "-[UIView setTintColor:]");
}

id accessibilityLabel(UIView* self, SEL) { return self->_accessibilityLabel.get(); }
void setAccessibilityLabel(UIView* self, SEL, id label) {
    self->_accessibilityLabel = adoptObject<NSString>(objc_msgSend<id()>(label, "copy"_sel), "-[UIView setAccessibilityLabel:]");
}

NSUInteger autoresizingMask(UIView* self, SEL) { return self->_autoresizingMask; }
void setAutoresizingMask(UIView* self, SEL, NSUInteger mask) { self->_autoresizingMask = mask; }

void addConstraint(UIView* self, SEL, id obj) {
    auto* c = requireObject<NSLayoutConstraint>(obj, "-[UIView addConstraint:]");
    if (c == nullptr) return;
    for (auto& have : self->_constraints)
        if (have.get() == c) return;
    self->_constraints.emplace_back(c);
}
void removeConstraint(UIView* self, SEL, id obj) {
    std::erase_if(self->_constraints, [&](const Strong<NSLayoutConstraint>& c) { return objc::as_id(c.get()) == obj; });
}
id constraints(UIView* self, SEL) { return arrayOf(self->_constraints); }

void updateConstraints(UIView* self, SEL) {
    CGRect frame = objc_msgSend<CGRect()>(self, "frame"_sel);
    bool changed = false;
    for (const Strong<NSLayoutConstraint>& c : self->_constraints) {
        if (!c->_active || c->_firstItem != objc::as_id(self) || c->_secondItem != nil) continue;
        if (c->_firstAttribute == NSLayoutAttributeWidth && frame.size.width != c->_constant) {
            frame.size.width = c->_constant;
            changed = true;
        } else if (c->_firstAttribute == NSLayoutAttributeHeight && frame.size.height != c->_constant) {
            frame.size.height = c->_constant;
            changed = true;
        }
    }
    if (changed) objc_msgSend<void(CGRect)>(self, "setFrame:"_sel, frame);
}

BOOL translatesMask(UIView* self, SEL) { return self->_translatesAutoresizingMask; }
void setTranslatesMask(UIView* self, SEL, BOOL v) { self->_translatesAutoresizingMask = v; }

}  // namespace view

namespace control {

BOOL beginTracking(UIControl*, SEL, id, id) { return YES; }
BOOL continueTracking(UIControl*, SEL, id, id) { return YES; }
void endTracking(UIControl* self, SEL, id, id) { self->_tracking = NO; }
void cancelTracking(UIControl* self, SEL, id) { self->_tracking = NO; }
BOOL isTracking(UIControl* self, SEL) { return self->_tracking; }
BOOL isTouchInside(UIControl* self, SEL) { return self->_touchInside; }

void addTarget(UIControl* self, SEL, id target, SEL action, NSUInteger events) {
    if (action == nullptr) return;
    for (auto& t : self->_controlTargets) {
        if (t.target == target && t.action == action) {
            t.events |= events;
            return;
        }
    }
    self->_controlTargets.push_back({target, action, events});
}

void removeTarget(UIControl* self, SEL, id target, SEL action, NSUInteger events) {
    for (auto& t : self->_controlTargets)
        if ((target == nil || t.target == target) && (action == nullptr || t.action == action)) t.events &= ~events;
    std::erase_if(self->_controlTargets, [](const UIControl::TargetAction& t) { return t.events == 0; });
}

void sendActions(UIControl* self, SEL, NSUInteger events) {
    Strong<UIControl> keep(self);
    std::vector<UIControl::TargetAction> targets = self->_controlTargets;
    for (const auto& t : targets)
        if ((t.events & events) != 0) objc_sendAction(t.target, t.action, self, nil);
}

BOOL isHighlighted(UIControl* self, SEL) { return self->_highlighted; }
void setHighlighted(UIControl* self, SEL, BOOL on) { self->_highlighted = on; }
BOOL isSelected(UIControl* self, SEL) { return self->_selected; }
void setSelected(UIControl* self, SEL, BOOL on) { self->_selected = on; }
BOOL isEnabled(UIControl* self, SEL) { return self->_enabled; }
void setEnabled(UIControl* self, SEL, BOOL on) { self->_enabled = on; }

}  // namespace control


namespace constraint {

id make(Class cls, SEL, id first, NSInteger firstAttribute, NSInteger relation, id second, NSInteger secondAttribute,
        double multiplier, double constant) {
    auto* c = static_cast<NSLayoutConstraint*>(newObject(cls));
    c->_firstItem = first;
    c->_firstAttribute = firstAttribute;
    c->_relation = relation;
    c->_secondItem = second;
    c->_secondAttribute = secondAttribute;
    c->_multiplier = multiplier;
    c->_constant = constant;
    return autorelease(c);
}
double constant(NSLayoutConstraint* self, SEL) { return self->_constant; }
void setConstant(NSLayoutConstraint* self, SEL, double v) { self->_constant = v; }
id firstItem(NSLayoutConstraint* self, SEL) { return self->_firstItem; }
id secondItem(NSLayoutConstraint* self, SEL) { return self->_secondItem; }
NSInteger firstAttribute(NSLayoutConstraint* self, SEL) { return self->_firstAttribute; }
void setFirstAttribute(NSLayoutConstraint* self, SEL, NSInteger v) { self->_firstAttribute = v; }
void setFirstItem(NSLayoutConstraint* self, SEL, id v) { self->_firstItem = v; }
NSInteger secondAttribute(NSLayoutConstraint* self, SEL) { return self->_secondAttribute; }
NSInteger relation(NSLayoutConstraint* self, SEL) { return self->_relation; }
double multiplier(NSLayoutConstraint* self, SEL) { return self->_multiplier; }
BOOL isActive(NSLayoutConstraint* self, SEL) { return self->_active; }
void setActive(NSLayoutConstraint* self, SEL, BOOL v) { self->_active = v; }
id identifier(NSLayoutConstraint* self, SEL) { return self->_identifier.get(); }
void setIdentifier(NSLayoutConstraint* self, SEL, id v) { self->_identifier = static_cast<NSObject*>(v); }

}  // namespace constraint

namespace touch {

CGPoint locationIn(CGPoint p, id view) {
    if (view == nil) return p;
    CGPoint origin = originInRoot(static_cast<UIView*>(view));
    return CGPointMake(p.x - origin.x, p.y - origin.y);
}
CGPoint locationInView(UITouch* self, SEL, id view) { return locationIn(self->_location, view); }
CGPoint previousLocationInView(UITouch* self, SEL, id view) { return locationIn(self->_previousLocation, view); }
id view(UITouch* self, SEL) { return self->_view.get(); }
NSInteger phase(UITouch* self, SEL) { return self->_phase; }
NSInteger tapCount(UITouch* self, SEL) { return self->_tapCount; }

}  // namespace touch

namespace tap {

NSUInteger numberOfTapsRequired(UITapGestureRecognizer* self, SEL) { return self->_numberOfTapsRequired; }
void setNumberOfTapsRequired(UITapGestureRecognizer* self, SEL, NSUInteger v) { self->_numberOfTapsRequired = v; }

const char kDelegateKey = 0;
id delegate(UIGestureRecognizer* self, SEL) {
    id box = objc_getAssociatedObject(self, &kDelegateKey);
    return box;
}
void setDelegate(UIGestureRecognizer* self, SEL, id delegate) {
    objc_setAssociatedObject(self, &kDelegateKey, delegate, OBJC_ASSOCIATION_ASSIGN);
}

}  // namespace tap

}  // namespace

void platform::uikit::registerControls() {
    Class v = UIView::cls();
    auto def = [](Class cls, const char* sel, IMP imp) { objc::define_method(cls, sel_registerName(sel), imp, ""); };
    def(v, "userInteractionEnabled", objc::make_imp<view::userInteractionEnabled>());
    def(v, "isUserInteractionEnabled", objc::make_imp<view::userInteractionEnabled>());
    def(v, "setUserInteractionEnabled:", objc::make_imp<view::setUserInteractionEnabled>());
    def(v, "pointInside:withEvent:", objc::make_imp<view::pointInside>());
    def(v, "hitTest:withEvent:", objc::make_imp<view::hitTest>());
    def(v, "convertPoint:toView:", objc::make_imp<view::convertPointToView>());
    def(v, "convertPoint:fromView:", objc::make_imp<view::convertPointFromView>());
    def(v, "tintColor", objc::make_imp<view::tintColor>());
    def(v, "setTintColor:", objc::make_imp<view::setTintColor>());
    def(v, "accessibilityLabel", objc::make_imp<view::accessibilityLabel>());
    def(v, "setAccessibilityLabel:", objc::make_imp<view::setAccessibilityLabel>());
    def(v, "autoresizingMask", objc::make_imp<view::autoresizingMask>());
    def(v, "setAutoresizingMask:", objc::make_imp<view::setAutoresizingMask>());
    def(v, "addConstraint:", objc::make_imp<view::addConstraint>());
    def(v, "removeConstraint:", objc::make_imp<view::removeConstraint>());
    def(v, "constraints", objc::make_imp<view::constraints>());
    def(v, "updateConstraints", objc::make_imp<view::updateConstraints>());
    def(v, "translatesAutoresizingMaskIntoConstraints", objc::make_imp<view::translatesMask>());
    def(v, "setTranslatesAutoresizingMaskIntoConstraints:", objc::make_imp<view::setTranslatesMask>());

    Class c = UIControl::cls();
    def(c, "beginTrackingWithTouch:withEvent:", objc::make_imp<control::beginTracking>());
    def(c, "continueTrackingWithTouch:withEvent:", objc::make_imp<control::continueTracking>());
    def(c, "endTrackingWithTouch:withEvent:", objc::make_imp<control::endTracking>());
    def(c, "cancelTrackingWithEvent:", objc::make_imp<control::cancelTracking>());
    def(c, "isTracking", objc::make_imp<control::isTracking>());
    def(c, "isTouchInside", objc::make_imp<control::isTouchInside>());
    def(c, "addTarget:action:forControlEvents:", objc::make_imp<control::addTarget>());
    def(c, "removeTarget:action:forControlEvents:", objc::make_imp<control::removeTarget>());
    def(c, "sendActionsForControlEvents:", objc::make_imp<control::sendActions>());
    def(c, "isHighlighted", objc::make_imp<control::isHighlighted>());
    def(c, "setHighlighted:", objc::make_imp<control::setHighlighted>());
    def(c, "isSelected", objc::make_imp<control::isSelected>());
    def(c, "setSelected:", objc::make_imp<control::setSelected>());
    def(c, "isEnabled", objc::make_imp<control::isEnabled>());
    def(c, "setEnabled:", objc::make_imp<control::setEnabled>());

    objc::ClassDef<NSLayoutConstraint>("NSLayoutConstraint", NSObject::cls())
        .classMethod<constraint::make>("constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:")
        .method<constraint::constant>("constant")
        .method<constraint::setConstant>("setConstant:")
        .method<constraint::firstItem>("firstItem")
        .method<constraint::setFirstItem>("setFirstItem:")
        .method<constraint::secondItem>("secondItem")
        .method<constraint::firstAttribute>("firstAttribute")
        .method<constraint::setFirstAttribute>("setFirstAttribute:")
        .method<constraint::secondAttribute>("secondAttribute")
        .method<constraint::relation>("relation")
        .method<constraint::multiplier>("multiplier")
        .method<constraint::isActive>("isActive")
        .method<constraint::setActive>("setActive:")
        .method<constraint::identifier>("identifier")
        .method<constraint::setIdentifier>("setIdentifier:")
        .OBJC_IVAR(NSLayoutConstraint, _constant);
    objc::ClassDef<UITouch>("UITouch", NSObject::cls())
        .method<touch::locationInView>("locationInView:")
        .method<touch::previousLocationInView>("previousLocationInView:")
        .method<touch::view>("view")
        .method<touch::phase>("phase")
        .method<touch::tapCount>("tapCount");
    objc::ClassDef<UITapGestureRecognizer>("UITapGestureRecognizer", UIGestureRecognizer::cls())
        .method<tap::numberOfTapsRequired>("numberOfTapsRequired")
        .method<tap::setNumberOfTapsRequired>("setNumberOfTapsRequired:");
    def(UIGestureRecognizer::cls(), "delegate", objc::make_imp<tap::delegate>());
    def(UIGestureRecognizer::cls(), "setDelegate:", objc::make_imp<tap::setDelegate>());
}

bool platform::viewIsReachable(UIView* view) {
    if (view == nullptr) return false;
    for (UIView* v = view; v != nullptr; v = v->_superview) {
        if (objc_msgSend<BOOL()>(v, "isHidden"_sel) || objc_msgSend<double()>(v, "alpha"_sel) <= 0.01 ||
            !objc_msgSend<BOOL()>(v, "isUserInteractionEnabled"_sel))
            return false;
    }
    return true;
}

int platform::tapView(UIView* view) {
    if (!viewIsReachable(view)) return 0;
    Strong<UIView> keep(view);
    auto recognizers = objectsOf<UIGestureRecognizer>(objc_msgSend<id()>(view, "gestureRecognizers"_sel), "tapView");
    int fired = 0;
    for (const Strong<UIGestureRecognizer>& r : recognizers) {
        if (!objectAs<UITapGestureRecognizer>(r.get()) || !objc_msgSend<BOOL()>(r.get(), "isEnabled"_sel)) continue;
        id delegate = objc_msgSend<id()>(r.get(), "delegate"_sel);
        if (delegate != nil &&
            objc_msgSend<BOOL(SEL)>(delegate, "respondsToSelector:"_sel, "gestureRecognizerShouldBegin:"_sel) &&
            !objc_msgSend<BOOL(id)>(delegate, "gestureRecognizerShouldBegin:"_sel, r.get()))
            continue;
        objc_msgSend<void()>(r.get(), "reset"_sel);
        objc_msgSend<void(NSInteger)>(r.get(), "setState:"_sel, UIGestureRecognizerStateEnded);
        ++fired;
    }
    return fired;
}

namespace platform {

TouchSequence::TouchSequence(UIView* root, CGPoint start) : root_(root) {
    if (root == nullptr) return;
    auto* hit = static_cast<UIView*>(objc_msgSend<id(CGPoint, id)>(root, "hitTest:withEvent:"_sel, start, nil));
    UIView* v = hit;
    while (v != nullptr && !objectAs<UIControl>(v)) v = v->_superview;
    if (v == nullptr || !objc_msgSend<BOOL()>(v, "isEnabled"_sel)) return;
    control_ = static_cast<UIControl*>(v);
    touch_ = Strong<UITouch>::adopt(static_cast<UITouch*>(newObject(UITouch::cls())));
    touch_->_view = hit;
    touch_->_root = root;
    touch_->_location = touch_->_previousLocation = start;
    touch_->_phase = UITouchPhaseBegan;
    control_->_touchInside = YES;
    control_->_tracking = YES;
    objc_msgSend<void(NSUInteger)>(control_.get(), "sendActionsForControlEvents:"_sel, UIControlEventTouchDown);
    tracking_ = objc_msgSend<BOOL(id, id)>(control_.get(), "beginTrackingWithTouch:withEvent:"_sel, touch_.get(), nil);
    control_->_tracking = tracking_;
}

TouchSequence::~TouchSequence() {
    if (tracking_) cancel();
}

void TouchSequence::moveTo(CGPoint point) {
    if (!tracking_) return;
    touch_->_previousLocation = touch_->_location;
    touch_->_location = point;
    touch_->_phase = UITouchPhaseMoved;
    CGPoint inside = objc_msgSend<CGPoint(id)>(touch_.get(), "locationInView:"_sel, control_.get());
    control_->_touchInside = objc_msgSend<BOOL(CGPoint, id)>(control_.get(), "pointInside:withEvent:"_sel, inside, nil);
    tracking_ = objc_msgSend<BOOL(id, id)>(control_.get(), "continueTrackingWithTouch:withEvent:"_sel, touch_.get(), nil);
    if (!tracking_) {
        control_->_tracking = NO;
        objc_msgSend<void(id, id)>(control_.get(), "endTrackingWithTouch:withEvent:"_sel, touch_.get(), nil);
    }
}

void TouchSequence::end() {
    if (!tracking_) return;
    tracking_ = false;
    touch_->_phase = UITouchPhaseEnded;
    objc_msgSend<void(id, id)>(control_.get(), "endTrackingWithTouch:withEvent:"_sel, touch_.get(), nil);
    control_->_tracking = NO;
    objc_msgSend<void(NSUInteger)>(control_.get(), "sendActionsForControlEvents:"_sel,
                                   control_->_touchInside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside);
}

void TouchSequence::cancel() {
    if (!tracking_) return;
    tracking_ = false;
    touch_->_phase = UITouchPhaseCancelled;
    objc_msgSend<void(id)>(control_.get(), "cancelTrackingWithEvent:"_sel, nil);
    control_->_tracking = NO;
    objc_msgSend<void(NSUInteger)>(control_.get(), "sendActionsForControlEvents:"_sel, UIControlEventTouchCancel);
}

}  // namespace platform

void platform::uikit::applyEdgeConstraints(objc_object* obj) {
    auto* self = static_cast<UIView*>(obj);
    if (self->_constraints.empty()) return;
    CGSize size = self->_frame.size;
    auto edgeOf = [&](NSInteger attribute) -> std::optional<double> {
        switch (attribute) {
            case NSLayoutAttributeLeft:
            case NSLayoutAttributeLeading:
            case NSLayoutAttributeTop: return 0.0;
            case NSLayoutAttributeRight:
            case NSLayoutAttributeTrailing: return size.width;
            case NSLayoutAttributeBottom: return size.height;
            default: return std::nullopt;
        }
    };
    struct Edges {
        std::optional<double> left, right, top, bottom;
    };
    std::vector<std::pair<UIView*, Edges>> placed;
    std::vector<Strong<NSLayoutConstraint>> constraints = self->_constraints;
    for (const Strong<NSLayoutConstraint>& c : constraints) {
        if (!c->_active || c->_relation != 0 || c->_firstAttribute != c->_secondAttribute) continue;
        std::optional<double> edge = edgeOf(c->_firstAttribute);
        if (!edge) continue;
        // subview.edge = view.edge x m + c, or view.edge = subview.edge x m + c.
        id other = c->_firstItem == obj ? c->_secondItem : c->_secondItem == obj ? c->_firstItem : nil;
        auto* sub = objectAs<UIView>(other);
        if (sub == nullptr || sub->_superview != self || sub->_translatesAutoresizingMask) continue;
        double value;
        if (c->_firstItem == other) {
            value = *edge * c->_multiplier + c->_constant;
        } else {
            if (c->_multiplier == 0) continue;
            value = (*edge - c->_constant) / c->_multiplier;
        }
        if (!std::isfinite(value)) continue;
        auto it = std::find_if(placed.begin(), placed.end(), [&](const auto& p) { return p.first == sub; });
        if (it == placed.end()) it = placed.insert(placed.end(), {sub, Edges{}});
        switch (c->_firstAttribute) {
            case NSLayoutAttributeLeft:
            case NSLayoutAttributeLeading: it->second.left = value; break;
            case NSLayoutAttributeRight:
            case NSLayoutAttributeTrailing: it->second.right = value; break;
            case NSLayoutAttributeTop: it->second.top = value; break;
            default: it->second.bottom = value; break;
        }
    }
    for (auto& [sub, e] : placed) {
        CGRect f = sub->_frame;
        if (e.left && e.right) {
            f.origin.x = *e.left;
            f.size.width = std::max(0.0, *e.right - *e.left);
        } else if (e.left) {
            f.origin.x = *e.left;
        } else if (e.right) {
            f.origin.x = *e.right - f.size.width;
        }
        if (e.top && e.bottom) {
            f.origin.y = *e.top;
            f.size.height = std::max(0.0, *e.bottom - *e.top);
        } else if (e.top) {
            f.origin.y = *e.top;
        } else if (e.bottom) {
            f.origin.y = *e.bottom - f.size.height;
        }
        if (!CGRectEqualToRect(f, sub->_frame)) objc_msgSend<void(CGRect)>(sub, "setFrame:"_sel, f);
    }
}
