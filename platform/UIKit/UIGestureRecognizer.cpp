// UIGestureRecognizer, UILongPressGestureRecognizer, and UIView's list of
// attached recognisers.
#include "ImageViewsAndGestures.h"
#include "ObjectSupport.h"

#include <Foundation/NSArray.h>
#include <UIKit/UIGestureRecognizer.h>

#include <algorithm>
#include <string>

using namespace platform::support;

namespace {

const char* stateName(NSInteger state) {
    switch (state) {
        case UIGestureRecognizerStatePossible: return "Possible";
        case UIGestureRecognizerStateBegan: return "Began";
        case UIGestureRecognizerStateChanged: return "Changed";
        case UIGestureRecognizerStateEnded: return "Ended";
        case UIGestureRecognizerStateCancelled: return "Cancelled";
        case UIGestureRecognizerStateFailed: return "Failed";
        default: return "unknown";
    }
}

bool reportsToTargets(NSInteger state) {
    return state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged ||
           state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled;
}

bool isOver(NSInteger state) {
    return state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled ||
           state == UIGestureRecognizerStateFailed;
}

namespace recognizer {

id init(UIGestureRecognizer* self, SEL) {
    return objc_msgSend<id(id, SEL)>(self, "initWithTarget:action:"_sel, nil, static_cast<SEL>(nullptr));
}

id initWithTargetAction(UIGestureRecognizer* self, SEL, id target, SEL action) {
    self = objectAs<UIGestureRecognizer>(objc_msgSendSuper<id()>(self, UIGestureRecognizer::cls(), "init"_sel));
    if (self == nullptr) return nil;
    objc_msgSend<void(id, SEL)>(self, "addTarget:action:"_sel, target, action);
    return self;
}

void addTargetAction(UIGestureRecognizer* self, SEL, id target, SEL action) {
    if (target == nullptr || action == nullptr) return;
    auto& list = self->_targets;
    bool present = std::any_of(list.begin(), list.end(), [&](const UIGestureRecognizer::TargetAction& t) {
        return t.target == target && t.action == action;
    });
    if (!present) list.push_back({target, action});
}

void removeTargetAction(UIGestureRecognizer* self, SEL, id target, SEL action) {
    std::erase_if(self->_targets, [&](const UIGestureRecognizer::TargetAction& t) {
        return (target == nullptr || t.target == target) && (action == nullptr || t.action == action);
    });
}

NSInteger state(UIGestureRecognizer* self, SEL) { return self->_state; }

void setState(UIGestureRecognizer* self, SEL, NSInteger state) {
    self->_state = state;
    if (!reportsToTargets(state)) return;
    // A copy: an action may add or remove targets, or let the recogniser go.
    Strong<UIGestureRecognizer> keep(self);
    std::vector<UIGestureRecognizer::TargetAction> targets = self->_targets;
    for (const auto& t : targets) {
        if (!objc_sendAction(t.target, t.action, self, nil))
            NSException::raise(NSInvalidArgumentException, std::string("-[UIGestureRecognizer setState:]: ") +
                                                                object_getClassName(t.target) + " cannot take " +
                                                                sel_getName(t.action));
    }
}

BOOL isEnabled(UIGestureRecognizer* self, SEL) { return self->_enabled; }

void setEnabled(UIGestureRecognizer* self, SEL, BOOL enabled) {
    self->_enabled = enabled;
    NSInteger current = objc_msgSend<NSInteger()>(self, "state"_sel);
    if (!enabled && (current == UIGestureRecognizerStateBegan || current == UIGestureRecognizerStateChanged))
        objc_msgSend<void(NSInteger)>(self, "setState:"_sel, UIGestureRecognizerStateCancelled);
}

id view(UIGestureRecognizer* self, SEL) { return self->_view.get(); }

void reset(UIGestureRecognizer* self, SEL) { self->_state = UIGestureRecognizerStatePossible; }

}  // namespace recognizer

namespace longPress {

double minimumPressDuration(UILongPressGestureRecognizer* self, SEL) { return self->_minimumPressDuration; }
void setMinimumPressDuration(UILongPressGestureRecognizer* self, SEL, double v) { self->_minimumPressDuration = v; }
NSUInteger numberOfTouchesRequired(UILongPressGestureRecognizer* self, SEL) { return self->_numberOfTouchesRequired; }
void setNumberOfTouchesRequired(UILongPressGestureRecognizer* self, SEL, NSUInteger v) {
    self->_numberOfTouchesRequired = v;
}
NSUInteger numberOfTapsRequired(UILongPressGestureRecognizer* self, SEL) { return self->_numberOfTapsRequired; }
void setNumberOfTapsRequired(UILongPressGestureRecognizer* self, SEL, NSUInteger v) { self->_numberOfTapsRequired = v; }
double allowableMovement(UILongPressGestureRecognizer* self, SEL) { return self->_allowableMovement; }
void setAllowableMovement(UILongPressGestureRecognizer* self, SEL, double v) { self->_allowableMovement = v; }

}  // namespace longPress

// The view keeps its recognisers in an NSMutableArray associated with it, so
// they go with the view; each recogniser points back weakly.
namespace viewGestures {

const char kRecognizersKey = 0;

id recognizerList(UIView* self, bool create) {
    id list = objc_getAssociatedObject(self, &kRecognizersKey);
    if (list == nullptr && create) {
        // Owned here, not autoreleased: the list goes with the view.
        list = newObject(NSMutableArray::cls());
        objc_setAssociatedObject(self, &kRecognizersKey, list, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        objc_release(list);
    }
    return list;
}

void addGestureRecognizer(UIView* self, SEL, id obj) {
    UIGestureRecognizer* r = requireObject<UIGestureRecognizer>(obj, "-[UIView addGestureRecognizer:]");
    if (r == nullptr) return;
    Strong<UIGestureRecognizer> keep(r);
    Strong<UIView> former = r->_view.lock();
    if (former.get() == self) return;
    if (former) objc_msgSend<void(id)>(former.get(), "removeGestureRecognizer:"_sel, r);
    arrayAdd(recognizerList(self, true), r);
    r->_view = self;
}

void removeGestureRecognizer(UIView* self, SEL, id obj) {
    UIGestureRecognizer* r = objectAs<UIGestureRecognizer>(obj);
    if (r == nullptr || r->_view.get() != self) return;
    Strong<UIGestureRecognizer> keep(r);
    r->_view = nullptr;
    objc_msgSend<void(id)>(recognizerList(self, false), "removeObject:"_sel, r);
}

id gestureRecognizers(UIView* self, SEL) {
    id list = recognizerList(self, false);
    if (arrayCount(list) == 0) return nil;
    return objc_msgSend<id(id)>(NSArray::cls(), "arrayWithArray:"_sel, list);
}

}  // namespace viewGestures

}  // namespace

void platform::uikit::registerGestureRecognizers() {
    objc::ClassDef<UIGestureRecognizer>("UIGestureRecognizer", NSObject::cls())
        .method<recognizer::init>("init", "@@:")
        .method<recognizer::initWithTargetAction>("initWithTarget:action:", "@@:@:")
        .method<recognizer::addTargetAction>("addTarget:action:", "v@:@:")
        .method<recognizer::removeTargetAction>("removeTarget:action:", "v@:@:")
        .method<recognizer::state>("state", "q@:")
        .method<recognizer::setState>("setState:", "v@:q")
        .method<recognizer::isEnabled>("isEnabled", "B@:")
        .method<recognizer::setEnabled>("setEnabled:", "v@:B")
        .method<recognizer::view>("view", "@@:")
        .method<recognizer::reset>("reset", "v@:")
        .OBJC_IVAR(UIGestureRecognizer, _state)
        .OBJC_IVAR(UIGestureRecognizer, _enabled);
    objc::ClassDef<UILongPressGestureRecognizer>("UILongPressGestureRecognizer", UIGestureRecognizer::cls())
        .method<longPress::minimumPressDuration>("minimumPressDuration", "d@:")
        .method<longPress::setMinimumPressDuration>("setMinimumPressDuration:", "v@:d")
        .method<longPress::numberOfTouchesRequired>("numberOfTouchesRequired", "Q@:")
        .method<longPress::setNumberOfTouchesRequired>("setNumberOfTouchesRequired:", "v@:Q")
        .method<longPress::numberOfTapsRequired>("numberOfTapsRequired", "Q@:")
        .method<longPress::setNumberOfTapsRequired>("setNumberOfTapsRequired:", "v@:Q")
        .method<longPress::allowableMovement>("allowableMovement", "d@:")
        .method<longPress::setAllowableMovement>("setAllowableMovement:", "v@:d")
        .OBJC_IVAR(UILongPressGestureRecognizer, _minimumPressDuration)
        .OBJC_IVAR(UILongPressGestureRecognizer, _numberOfTouchesRequired)
        .OBJC_IVAR(UILongPressGestureRecognizer, _numberOfTapsRequired)
        .OBJC_IVAR(UILongPressGestureRecognizer, _allowableMovement);

    objc::define_method(UIView::cls(), "addGestureRecognizer:"_sel, objc::make_imp<viewGestures::addGestureRecognizer>(), "v@:@");
    objc::define_method(UIView::cls(), "removeGestureRecognizer:"_sel, objc::make_imp<viewGestures::removeGestureRecognizer>(), "v@:@");
    objc::define_method(UIView::cls(), "gestureRecognizers"_sel, objc::make_imp<viewGestures::gestureRecognizers>(), "@@:");
}

BOOL platform::simulateLongPress(UILongPressGestureRecognizer* recognizer, UIGestureRecognizerState state) {
    if (recognizer == nullptr || !objc_msgSend<BOOL()>(recognizer, "isEnabled"_sel)) return NO;
    Strong<UILongPressGestureRecognizer> keep(recognizer);
    NSInteger current = objc_msgSend<NSInteger()>(recognizer, "state"_sel);
    if (isOver(current)) {
        objc_msgSend<void()>(recognizer, "reset"_sel);
        current = objc_msgSend<NSInteger()>(recognizer, "state"_sel);
    }
    bool allowed = false;
    if (current == UIGestureRecognizerStatePossible) {
        allowed = state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateFailed;
    } else if (current == UIGestureRecognizerStateBegan || current == UIGestureRecognizerStateChanged) {
        allowed = state == UIGestureRecognizerStateChanged || state == UIGestureRecognizerStateEnded ||
                  state == UIGestureRecognizerStateCancelled;
    }
    if (!allowed)
        NSException::raise(NSInternalInconsistencyException, std::string("simulateLongPress: a press cannot go from ") +
                                                                 stateName(current) + " to " + stateName(state));
    objc_msgSend<void(NSInteger)>(recognizer, "setState:"_sel, state);
    return YES;
}
