// Presentation of view controllers, UIAlertController, UIAlertAction and the
// journal of what was shown.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <cmath>

using namespace platform::support;

namespace {

std::vector<platform::JournalEntry>& journalEntries() {
    static auto* entries = new std::vector<platform::JournalEntry>();
    return *entries;
}

// Presented controllers, in order; each is owned by its presenter too.
std::vector<Strong<UIViewController>>& presented() {
    static auto* list = new std::vector<Strong<UIViewController>>();
    return *list;
}

std::string className(id obj) { return obj ? object_getClassName(obj) : ""; }

void journalPresentation(const char* kind, UIViewController* presenter, UIViewController* controller) {
    platform::JournalEntry e{kind, className(presenter), className(controller), "", ""};
    if (auto* alert = objectAs<UIAlertController>(controller)) {
        e.title = to_string(static_cast<NSString*>(objc_msgSend<id()>(alert, "title"_sel)));
        e.message = to_string(alert->_message.get());
    }
    platform::addJournalEntry(e);
}

int& transitionsInProgress() {
    static int count = 0;
    return count;
}

}  // namespace

void platform::uikit::afterTransition(BOOL animated, std::function<void()> work) {
    ++transitionsInProgress();
    auto done = [work = std::move(work)] {
        --transitionsInProgress();
        work();
    };
    if (animated)
        platform::RunLoop::main().addTimer(platform::Clock::now() + kUIPresentationDuration, std::move(done));
    else
        platform::RunLoop::main().post(std::move(done));
}

namespace {

using platform::uikit::afterTransition;

namespace presentation {

void present(UIViewController* self, SEL, id obj, BOOL animated, id completion) {
    auto* controller = requireObject<UIViewController>(obj, "-[UIViewController presentViewController:animated:completion:]");
    if (controller == nullptr) return;
    if (self->_presentedViewController != nullptr || self->_inTransition || controller->_presentingViewController != nullptr ||
        controller == self) {
        NSLog("Warning: Attempt to present %@ on %@ which is already presenting or in a transition", controller, self);
        journalPresentation("refused", self, controller);
        return;
    }
    storeStrong(self->_presentedViewController, controller);
    controller->_presentingViewController = self;
    self->_inTransition = YES;
    presented().emplace_back(controller);
    journalPresentation("present", self, controller);
    // The view is loaded now, as the transition does, and fills the screen.
    auto* view = static_cast<UIView*>(objc_msgSend<id()>(controller, "view"_sel));
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    if (view != nullptr && !CGRectEqualToRect(view->_frame, screen)) {
        CGSize was = view->_frame.size;
        objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, screen);
        platform::uikit::resizeSubviews(view, was, screen.size);
    }
    objc_msgSend<void(BOOL)>(controller, "viewWillAppear:"_sel, animated);
    Strong<UIViewController> keepSelf(self), keepController(controller);
    Strong<NSObject> block(static_cast<NSObject*>(objc_msgSend<id()>(completion, "copy"_sel)));
    objc_release(objc::as_id(block.get()));
    afterTransition(animated, [keepSelf, keepController, block] {
        keepSelf->_inTransition = NO;
        objc_msgSend<void(BOOL)>(keepController.get(), "viewDidAppear:"_sel, YES);
        objc_callBlock<void()>(objc::as_id(block.get()));
    });
}

void dismiss(UIViewController* self, SEL, BOOL animated, id completion) {
    // Sent to the presented controller, it is its presenter's dismissal.
    UIViewController* presenter = self;
    if (presenter->_presentedViewController == nullptr && presenter->_presentingViewController != nullptr)
        presenter = presenter->_presentingViewController;
    UIViewController* controller = presenter->_presentedViewController;
    // A popover's content ending itself ends its popover.
    if (controller == nullptr && platform::uikit::dismissPopoverShowing(self, animated, completion)) return;
    if (controller == nullptr || presenter->_inTransition) return;
    presenter->_inTransition = YES;
    journalPresentation("dismiss", presenter, controller);
    objc_msgSend<void(BOOL)>(controller, "viewWillDisappear:"_sel, animated);
    Strong<UIViewController> keepPresenter(presenter), keepController(controller);
    Strong<NSObject> block(static_cast<NSObject*>(objc_msgSend<id()>(completion, "copy"_sel)));
    objc_release(objc::as_id(block.get()));
    afterTransition(animated, [keepPresenter, keepController, block] {
        UIViewController* p = keepPresenter.get();
        UIViewController* c = keepController.get();
        p->_inTransition = NO;
        if (p->_presentedViewController == c) {
            c->_presentingViewController = nullptr;
            clearStrong(p->_presentedViewController);
            std::erase_if(presented(), [&](const Strong<UIViewController>& v) { return v.get() == c; });
        }
        objc_msgSend<void(BOOL)>(c, "viewDidDisappear:"_sel, YES);
        objc_callBlock<void()>(objc::as_id(block.get()));
    });
}

id presentedViewController(UIViewController* self, SEL) { return self->_presentedViewController; }
id presentingViewController(UIViewController* self, SEL) { return self->_presentingViewController; }

}  // namespace presentation

namespace action {

id make(Class cls, SEL, id title, NSInteger style, id handler) {
    auto* a = static_cast<UIAlertAction*>(newObject(cls));
    if (title != nil)
        a->_title = adoptObject<NSString>(objc_msgSend<id()>(title, "copy"_sel), "+[UIAlertAction actionWithTitle:style:handler:]");
    a->_style = style;
    if (handler != nil) {
        a->_handler = static_cast<NSObject*>(objc_msgSend<id()>(handler, "copy"_sel));
        objc_release(handler);
    }
    return autorelease(a);
}
id title(UIAlertAction* self, SEL) { return self->_title.get(); }
NSInteger style(UIAlertAction* self, SEL) { return self->_style; }
BOOL isEnabled(UIAlertAction* self, SEL) { return self->_enabled; }
void setEnabled(UIAlertAction* self, SEL, BOOL v) { self->_enabled = v; }

}  // namespace action

// The alert's card: the view of an alert controller.
struct _UIAlertControllerView : UIView {
    OBJC_CLASS(_UIAlertControllerView)
    UIAlertController* _controller = nullptr;  // not retained
};

constexpr double kCardWidth = 270;
constexpr double kActionRowHeight = 44;
constexpr double kTitleFont = 17;
constexpr double kMessageFont = 13;
constexpr double kMessageLineHeight = 16;
constexpr double kMargin = 20;

NSUInteger messageLines(NSString* message) {
    if (message == nullptr || message->length() == 0) return 0;
    const std::string& s = message->str();
    NSUInteger lines = 1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        if (s[i] == '\n' || s[i] == '\r') ++lines;
    }
    return lines;
}

CGSize cardSize(UIAlertController* alert) {
    NSString* title = static_cast<NSString*>(objc_msgSend<id()>(alert, "title"_sel));
    double height = kMargin;
    if (title != nullptr && title->length() > 0) height += 22;
    height += messageLines(alert->_message.get()) * kMessageLineHeight;
    height += kMargin;
    size_t actions = alert->_actions.size();
    bool row = actions == 2 && alert->_preferredStyle == UIAlertControllerStyleAlert;
    height += kActionRowHeight * (actions == 0 ? 0 : row ? 1 : actions);
    return CGSizeMake(kCardWidth, height);
}

NSDictionary* textAttributes(double size, bool bold, id colour) {
    return NSDictionary::make({{NSFontAttributeName, UIFont::system(size, bold)}, {NSForegroundColorAttributeName, colour}});
}

void drawCentred(id text, NSDictionary* attributes, CGRect box) {
    if (text == nil) return;
    CGSize size = objc_msgSend<CGSize(id)>(text, "sizeWithAttributes:"_sel, attributes);
    objc_msgSend<void(CGPoint, id)>(text, "drawAtPoint:withAttributes:"_sel,
                                    CGPointMake(box.origin.x + (box.size.width - size.width) / 2,
                                                box.origin.y + (box.size.height - size.height) / 2),
                                    attributes);
}

void fillRect(CGRect r, UIColor* colour) {
    id path = objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel, r);
    objc_msgSend<void()>(colour, "setFill"_sel);
    objc_msgSend<void()>(path, "fill"_sel);
}

// The title, then the action row at the bottom (the message's lines are the
// room that a view laid over the card fills).
void drawCard(_UIAlertControllerView* self, SEL, CGRect) {
    UIAlertController* alert = self->_controller;
    if (alert == nullptr || alert->_presentingViewController == nullptr) return;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    id title = objc_msgSend<id()>(alert, "title"_sel);
    drawCentred(title, textAttributes(kTitleFont, true, UIColor::make(0, 0, 0, 1)), CGRectMake(0, kMargin - 4, bounds.size.width, 22));
    // A message of one line of text (a question) stands under the title; a
    // message of blank lines is room for a view laid over the card.
    NSString* message = alert->_message.get();
    if (message != nullptr && messageLines(message) == 1 &&
        message->str().find_first_not_of(" \t") != std::string::npos) {
        double titleHeight = title != nil && static_cast<NSString*>(title)->length() > 0 ? 22 : 0;
        drawCentred(message, textAttributes(13, false, UIColor::make(0, 0, 0, 1)),
                    CGRectMake(0, kMargin + titleHeight, bounds.size.width, kMessageLineHeight));
    }
    size_t n = alert->_actions.size();
    if (n == 0) return;
    id tint = objc_msgSend<id()>(self, "tintColor"_sel);
    UIColor* line = UIColor::make(0.8, 0.8, 0.82, 1);
    bool row = n == 2 && alert->_preferredStyle == UIAlertControllerStyleAlert;
    double top = bounds.size.height - kActionRowHeight * (row ? 1 : n);
    for (size_t i = 0; i < n; ++i) {
        UIAlertAction* a = alert->_actions[i].get();
        CGRect box = row ? CGRectMake(i * bounds.size.width / 2, top, bounds.size.width / 2, kActionRowHeight)
                         : CGRectMake(0, top + i * kActionRowHeight, bounds.size.width, kActionRowHeight);
        fillRect(CGRectMake(box.origin.x, box.origin.y, box.size.width, 0.5), line);
        if (row && i == 1) fillRect(CGRectMake(box.origin.x, box.origin.y, 0.5, box.size.height), line);
        id colour = a->_style == UIAlertActionStyleDestructive ? objc::as_id(UIColor::make(1, 0.23, 0.19, 1)) : tint;
        drawCentred(a->_title.get(), textAttributes(17, a->_style == UIAlertActionStyleCancel, colour), box);
    }
}

namespace alert {

id make(Class cls, SEL, id title, id message, NSInteger style) {
    auto* a = static_cast<UIAlertController*>(newObject(cls));
    objc_msgSend<void(id)>(a, "setTitle:"_sel, title);
    objc_msgSend<void(id)>(a, "setMessage:"_sel, message);
    a->_preferredStyle = style;
    return autorelease(a);
}
id message(UIAlertController* self, SEL) { return self->_message.get(); }
void setMessage(UIAlertController* self, SEL, id m) {
    self->_message = m == nil ? Strong<NSString>()
                              : adoptObject<NSString>(objc_msgSend<id()>(m, "copy"_sel), "-[UIAlertController setMessage:]");
}
NSInteger preferredStyle(UIAlertController* self, SEL) { return self->_preferredStyle; }
void addAction(UIAlertController* self, SEL, id obj) {
    auto* a = requireObject<UIAlertAction>(obj, "-[UIAlertController addAction:]");
    if (a == nullptr)
        NSException::raise(NSInvalidArgumentException, "-[UIAlertController addAction:]: action must not be nil");
    self->_actions.emplace_back(a);
}
id actions(UIAlertController* self, SEL) { return arrayOf(self->_actions); }

void loadView(UIAlertController* self, SEL) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    auto* view = static_cast<_UIAlertControllerView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(_UIAlertControllerView::cls(), "alloc"_sel), "initWithFrame:"_sel, screen));
    view->_controller = self;
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
}

// Presented, the view becomes the card in the middle of the screen.
void viewWillAppear(UIAlertController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, UIAlertController::cls(), "viewWillAppear:"_sel, animated);
    id view = objc_msgSend<id()>(self, "view"_sel);
    objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, platform::alertCardFrame(self));
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, UIColor::make(0.97, 0.97, 0.97, 1));
    objc_msgSend<void(double)>(objc_msgSend<id()>(view, "layer"_sel), "setCornerRadius:"_sel, 13.0);
    objc_msgSend<void(BOOL)>(view, "setClipsToBounds:"_sel, YES);
}

}  // namespace alert

}  // namespace

void platform::uikit::registerAlerts() {
    Class c = UIViewController::cls();
    objc::define_method(c, "presentViewController:animated:completion:"_sel, objc::make_imp<presentation::present>(), "v@:@B@?");
    objc::define_method(c, "dismissViewControllerAnimated:completion:"_sel, objc::make_imp<presentation::dismiss>(), "v@:B@?");
    objc::define_method(c, "presentedViewController"_sel, objc::make_imp<presentation::presentedViewController>(), "@@:");
    objc::define_method(c, "presentingViewController"_sel, objc::make_imp<presentation::presentingViewController>(), "@@:");
    objc::ClassDef<UIAlertAction>("UIAlertAction", NSObject::cls())
        .classMethod<action::make>("actionWithTitle:style:handler:")
        .method<action::title>("title")
        .method<action::style>("style")
        .method<action::isEnabled>("isEnabled")
        .method<action::setEnabled>("setEnabled:");
    objc::ClassDef<_UIAlertControllerView>("_UIAlertControllerView", UIView::cls()).method<drawCard>("drawRect:");
    objc::ClassDef<UIAlertController>("UIAlertController", UIViewController::cls())
        .classMethod<alert::make>("alertControllerWithTitle:message:preferredStyle:")
        .method<alert::message>("message")
        .method<alert::setMessage>("setMessage:")
        .method<alert::preferredStyle>("preferredStyle")
        .method<alert::addAction>("addAction:")
        .method<alert::actions>("actions")
        .method<alert::loadView>("loadView")
        .method<alert::viewWillAppear>("viewWillAppear:");
}

const std::vector<platform::JournalEntry>& platform::journal() { return journalEntries(); }
void platform::clearJournal() { journalEntries().clear(); }
void platform::addJournalEntry(JournalEntry entry) { journalEntries().push_back(std::move(entry)); }

std::vector<UIViewController*> platform::presentedViewControllers() {
    std::vector<UIViewController*> out;
    for (const auto& c : presented()) out.push_back(c.get());
    return out;
}

bool platform::finishTransitions(double timeoutSeconds) {
    return RunLoop::main().runUntil([] { return transitionsInProgress() == 0; }, timeoutSeconds);
}

CGRect platform::alertCardFrame(UIAlertController* alert) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    CGSize size = cardSize(alert);
    return CGRectMake(std::round((screen.size.width - size.width) / 2), std::round((screen.size.height - size.height) / 2),
                      size.width, size.height);
}

bool platform::tapAlertAction(UIAlertController* alert, UIAlertAction* action) {
    if (alert == nullptr || action == nullptr || !action->_enabled || alert->_presentingViewController == nullptr ||
        alert->_presentingViewController->_inTransition)
        return false;
    auto& list = alert->_actions;
    if (std::none_of(list.begin(), list.end(), [&](const Strong<UIAlertAction>& a) { return a.get() == action; }))
        return false;
    Strong<UIAlertAction> keep(action);
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, YES, nil);
    objc_callBlock<void(id)>(objc::as_id(action->_handler.get()), objc::as_id(action));
    return true;
}
