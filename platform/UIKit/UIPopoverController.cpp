// UIPopoverController: the content's view in a card over the screen.
#include <UIKit/UIPopoverController.h>

#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kScreenMargin = 10;

// Shown popovers, in order; each is kept alive while it is listed.
std::vector<Strong<UIPopoverController>>& shown() {
    static auto* list = new std::vector<Strong<UIPopoverController>>();
    return *list;
}

std::string className(id obj) { return obj ? object_getClassName(obj) : ""; }

void journal(const char* kind, UIPopoverController* popover) {
    platform::addJournalEntry({kind, "UIPopoverController", className(popover->_contentViewController.get()), "", ""});
}

CGRect screenBounds() {
    return objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
}

// A rectangle of `view` in screen coordinates: the frames' origins up to the
// topmost view, which stands at the screen's origin.
CGRect onScreen(CGRect rect, UIView* view) {
    for (UIView* v = view; v != nullptr; v = v->_superview) {
        CGRect frame = objc_msgSend<CGRect()>(v, "frame"_sel);
        if (v->_superview == nullptr) break;
        rect.origin.x += frame.origin.x;
        rect.origin.y += frame.origin.y;
    }
    return rect;
}

// The card: centred on the anchor, as large as the content asks, inside the
// screen's margins.
void layOut(UIPopoverController* self) {
    if (!self->_popoverView) return;
    CGRect screen = screenBounds();
    double w = std::clamp<double>(self->_popoverContentSize.width, 0, std::max(0.0, screen.size.width - 2 * kScreenMargin));
    double h = std::clamp<double>(self->_popoverContentSize.height, 0, std::max(0.0, screen.size.height - 2 * kScreenMargin));
    double cx = self->_anchor.origin.x + self->_anchor.size.width / 2;
    double cy = self->_anchor.origin.y + self->_anchor.size.height / 2;
    double x = std::clamp(std::round(cx - w / 2), kScreenMargin, std::max(kScreenMargin, screen.size.width - kScreenMargin - w));
    double y = std::clamp(std::round(cy - h / 2), kScreenMargin, std::max(kScreenMargin, screen.size.height - kScreenMargin - h));
    objc_msgSend<void(CGRect)>(self->_popoverView.get(), "setFrame:"_sel, CGRectMake(x, y, w, h));
    id content = objc_msgSend<id()>(self->_contentViewController.get(), "view"_sel);
    objc_msgSend<void(CGRect)>(content, "setFrame:"_sel, CGRectMake(0, 0, w, h));
}

id initWithContent(UIPopoverController* self, SEL, id content) {
    self = static_cast<UIPopoverController*>(objc_msgSendSuper<id()>(self, UIPopoverController::cls(), "init"_sel));
    if (self == nullptr) return nil;
    auto* controller = platform::support::requireObject<UIViewController>(
        content, "-[UIPopoverController initWithContentViewController:]");
    self->_contentViewController = Strong<UIViewController>(controller);
    return self;
}

id contentViewController(UIPopoverController* self, SEL) { return self->_contentViewController.get(); }
CGSize contentSize(UIPopoverController* self, SEL) { return self->_popoverContentSize; }
void setContentSize(UIPopoverController* self, SEL, CGSize size) {
    if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width < 0 || size.height < 0) return;
    self->_popoverContentSize = size;
    layOut(self);
}
void setContentSizeAnimated(UIPopoverController* self, SEL, CGSize size, BOOL) {
    objc_msgSend<void(CGSize)>(self, "setPopoverContentSize:"_sel, size);
}
BOOL isVisible(UIPopoverController* self, SEL) { return self->_visible; }

void present(UIPopoverController* self, SEL, CGRect rect, id inView, NSUInteger, BOOL animated) {
    UIViewController* content = self->_contentViewController.get();
    if (self->_visible || self->_inTransition || inView == nil || content == nullptr ||
        content->_presentingViewController != nullptr) {
        NSLog("Warning: Attempt to present a popover that is shown, has no content or no view");
        journal("refused", self);
        return;
    }
    for (const auto& other : shown())
        if (other->_contentViewController.get() == content) {
            journal("refused", self);
            return;
        }
    self->_anchor = onScreen(rect, static_cast<UIView*>(inView));
    if (!self->_popoverView) {
        id card = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
        self->_popoverView = Strong<UIView>::adopt(static_cast<UIView*>(card));
        objc_msgSend<void(id)>(card, "setBackgroundColor:"_sel, UIColor::make(0.97, 0.97, 0.97, 1));
        id layer = objc_msgSend<id()>(card, "layer"_sel);
        objc_msgSend<void(double)>(layer, "setCornerRadius:"_sel, 13.0);
        objc_msgSend<void(double)>(layer, "setBorderWidth:"_sel, 1.0);
        objc_msgSend<void(CGColor)>(layer, "setBorderColor:"_sel, CGColor{0.6, 0.6, 0.6, 1});
        objc_msgSend<void(BOOL)>(card, "setClipsToBounds:"_sel, YES);
    }
    id view = objc_msgSend<id()>(content, "view"_sel);
    objc_msgSend<void(id)>(self->_popoverView.get(), "addSubview:"_sel, view);
    layOut(self);
    self->_visible = YES;
    self->_inTransition = YES;
    shown().emplace_back(self);
    journal("present", self);
    objc_msgSend<void(BOOL)>(content, "viewWillAppear:"_sel, animated);
    Strong<UIPopoverController> keep(self);
    platform::uikit::afterTransition(animated, [keep] {
        keep->_inTransition = NO;
        objc_msgSend<void(BOOL)>(keep->_contentViewController.get(), "viewDidAppear:"_sel, YES);
    });
}

// Ends a shown popover; the completion block (void(), may be nil) runs after.
void dismissShown(UIPopoverController* self, BOOL animated, id completion) {
    if (!self->_visible || self->_inTransition) return;
    self->_inTransition = YES;
    journal("dismiss", self);
    UIViewController* content = self->_contentViewController.get();
    objc_msgSend<void(BOOL)>(content, "viewWillDisappear:"_sel, animated);
    Strong<UIPopoverController> keep(self);
    Strong<NSObject> block(static_cast<NSObject*>(objc_msgSend<id()>(completion, "copy"_sel)));
    objc_release(objc::as_id(block.get()));
    platform::uikit::afterTransition(animated, [keep, block] {
        UIPopoverController* p = keep.get();
        p->_inTransition = NO;
        p->_visible = NO;
        objc_msgSend<void()>(objc_msgSend<id()>(p->_contentViewController.get(), "view"_sel), "removeFromSuperview"_sel);
        std::erase_if(shown(), [&](const Strong<UIPopoverController>& s) { return s.get() == p; });
        objc_msgSend<void(BOOL)>(p->_contentViewController.get(), "viewDidDisappear:"_sel, YES);
        objc_callBlock<void()>(objc::as_id(block.get()));
    });
}

void dismissPopover(UIPopoverController* self, SEL, BOOL animated) { dismissShown(self, animated, nil); }

}  // namespace

bool platform::uikit::dismissPopoverShowing(objc_object* content, BOOL animated, objc_object* completion) {
    if (content == nullptr) return false;
    for (const auto& p : shown())
        if (objc::as_id(p->_contentViewController.get()) == content) {
            Strong<UIPopoverController> keep(p.get());
            dismissShown(keep.get(), animated, completion);
            return true;
        }
    return false;
}

std::vector<UIPopoverController*> platform::shownPopovers() {
    std::vector<UIPopoverController*> out;
    for (const auto& p : shown()) out.push_back(p.get());
    return out;
}

void platform::uikit::registerPopovers() {
    objc::ClassDef<UIPopoverController>("UIPopoverController", NSObject::cls())
        .method<initWithContent>("initWithContentViewController:", "@@:@")
        .method<contentViewController>("contentViewController", "@@:")
        .method<contentSize>("popoverContentSize")
        .method<setContentSize>("setPopoverContentSize:")
        .method<setContentSizeAnimated>("setPopoverContentSize:animated:")
        .method<present>("presentPopoverFromRect:inView:permittedArrowDirections:animated:")
        .method<dismissPopover>("dismissPopoverAnimated:")
        .method<isVisible>("isPopoverVisible");
}
