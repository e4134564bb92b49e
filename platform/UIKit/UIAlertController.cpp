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
    // What was being edited in the controller's views gives up its keyboard.
    if (objc_msgSend<BOOL()>(controller, "isViewLoaded"_sel))
        platform::uikit::endEditingIn(objc_msgSend<id()>(controller, "view"_sel));
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

// The alert's card: the view of an alert controller. Its content (the title,
// the message and the views laid over them) scrolls when the card is shorter
// than it; the action rows stand in a view of their own at the card's bottom,
// over the content.
struct _UIAlertControllerView : UIScrollView {
    OBJC_CLASS(_UIAlertControllerView)
    UIAlertController* _controller = nullptr;  // not retained
    Strong<UIView> _actionsView;
};

struct _UIAlertControllerActionsView : UIView {
    OBJC_CLASS(_UIAlertControllerActionsView)
    UIAlertController* _controller = nullptr;  // not retained
};

constexpr double kCardWidth = 270;
constexpr double kActionRowHeight = 44;
constexpr double kTitleFont = 17;
constexpr double kMessageFont = 13;
constexpr double kMessageLineHeight = 16;
constexpr double kMargin = 20;
constexpr double kMessageInset = 16;  // a message's text from the card's sides
// An action sheet stands on the bottom edge of the screen, its sides this far
// from the screen's (at most as wide as the screen's shorter side allows), its
// cancel action in a card of its own under the others.
constexpr double kSheetEdge = 10;
constexpr double kSheetGap = 8;
constexpr double kSheetHeaderFont = 13;
// A card stays below the status bar.
constexpr double kStatusBarHeight = 20;

bool isActionSheet(const UIAlertController* alert) { return alert->_preferredStyle == UIAlertControllerStyleActionSheet; }

CGRect screenBounds() {
    return objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
}

double cardWidth(const UIAlertController* alert) {
    if (!isActionSheet(alert)) return kCardWidth;
    CGSize screen = screenBounds().size;
    return std::max(kCardWidth, std::min(screen.width, screen.height) - 2 * kSheetEdge);
}

// A message of blank lines is room that a view laid over the card fills: one
// line of room a line.
NSUInteger blankLines(NSString* message) {
    if (message == nullptr || message->length() == 0) return 0;
    const std::string& s = message->str();
    NSUInteger lines = 1;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
        if (s[i] == '\n' || s[i] == '\r') ++lines;
    }
    return lines;
}

bool hasText(NSString* s) { return s != nullptr && s->str().find_first_not_of(" \t\r\n") != std::string::npos; }

platform::text::Face messageFace() { return platform::text::Face{false, kMessageFont}; }

// The lines a message of text is drawn in: wrapped to the card's width.
std::vector<std::string> messageText(const UIAlertController* alert) {
    NSString* message = alert->_message.get();
    if (!hasText(message)) return {};
    std::string text = message->str();
    std::erase(text, '\r');
    return platform::text::wrap(messageFace(), text, cardWidth(alert) - 2 * kMessageInset, 0);
}

NSUInteger messageLines(const UIAlertController* alert) {
    NSString* message = alert->_message.get();
    return hasText(message) ? messageText(alert).size() : blankLines(message);
}

bool hasTitle(UIAlertController* alert) {
    return hasText(static_cast<NSString*>(objc_msgSend<id()>(alert, "title"_sel)));
}

// An alert's title, message and actions in one card; an action sheet's title
// and message (when it has them) over its actions, and its cancel action apart.
struct CardLayout {
    double headerHeight = 0;            // the title and the message
    std::vector<UIAlertAction*> group;  // the actions of the card, in order
    UIAlertAction* cancel = nullptr;    // an action sheet's cancel action, in a card of its own
    bool row = false;                   // two actions side by side
    double actionsHeight = 0;           // the action rows (and a sheet's gap before its cancel card)
    double height = 0;
};

CardLayout layoutOf(UIAlertController* alert) {
    CardLayout l;
    bool sheet = isActionSheet(alert);
    for (const Strong<UIAlertAction>& a : alert->_actions) {
        if (sheet && l.cancel == nullptr && a->_style == UIAlertActionStyleCancel) l.cancel = a.get();
        else l.group.push_back(a.get());
    }
    bool title = hasTitle(alert);
    NSUInteger lines = messageLines(alert);
    if (!sheet || title || lines > 0)
        l.headerHeight = kMargin + (title ? 22 : 0) + lines * kMessageLineHeight + kMargin;
    l.row = l.group.size() == 2 && !sheet;
    l.actionsHeight = kActionRowHeight * (l.group.empty() ? 0 : l.row ? 1 : l.group.size());
    if (l.cancel != nullptr) l.actionsHeight += (l.group.empty() && l.headerHeight == 0 ? 0 : kSheetGap) + kActionRowHeight;
    l.height = l.headerHeight + l.actionsHeight;
    return l;
}

// Each action's row in the actions' view of a card this wide, in the order of
// the alert's actions.
std::vector<std::pair<UIAlertAction*, CGRect>> actionBoxes(const CardLayout& l, double width) {
    std::vector<std::pair<UIAlertAction*, CGRect>> boxes;
    for (size_t i = 0; i < l.group.size(); ++i)
        boxes.emplace_back(l.group[i], l.row ? CGRectMake(i * width / 2, 0, width / 2, kActionRowHeight)
                                             : CGRectMake(0, i * kActionRowHeight, width, kActionRowHeight));
    if (l.cancel) boxes.emplace_back(l.cancel, CGRectMake(0, l.actionsHeight - kActionRowHeight, width, kActionRowHeight));
    return boxes;
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

constexpr double kCardCorner = 13;
UIColor* cardColour() { return UIColor::make(0.97, 0.97, 0.97, 1); }

void fillCard(CGRect r) {
    id path = objc_msgSend<id(CGRect, double)>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                                               r, kCardCorner);
    objc_msgSend<void()>(cardColour(), "setFill"_sel);
    objc_msgSend<void()>(path, "fill"_sel);
}

// One action's row: a hairline over it, its title centred (red when it
// destroys, bold when it cancels).
void drawAction(UIAlertAction* a, CGRect box, id tint, bool lineOnTop) {
    if (lineOnTop) fillRect(CGRectMake(box.origin.x, box.origin.y, box.size.width, 0.5), UIColor::make(0.8, 0.8, 0.82, 1));
    id colour = a->_style == UIAlertActionStyleDestructive ? objc::as_id(UIColor::make(1, 0.23, 0.19, 1)) : tint;
    drawCentred(a->_title.get(), textAttributes(17, a->_style == UIAlertActionStyleCancel, colour), box);
}

// The title and the message's text, scrolled with the content (the message's
// blank lines are the room that a view laid over the card fills); an action
// sheet's two cards.
void drawCard(_UIAlertControllerView* self, SEL, CGRect) {
    UIAlertController* alert = self->_controller;
    if (alert == nullptr || alert->_presentingViewController == nullptr) return;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    CardLayout l = layoutOf(alert);
    bool sheet = isActionSheet(alert);
    if (sheet) {  // the view is clear: its cards are drawn here
        double groupHeight = bounds.size.height - (l.cancel ? kActionRowHeight : 0) -
                             (l.cancel && (l.headerHeight > 0 || !l.group.empty()) ? kSheetGap : 0);
        if (groupHeight > 0) fillCard(CGRectMake(0, 0, bounds.size.width, groupHeight));
        if (l.cancel) fillCard(CGRectMake(0, bounds.size.height - kActionRowHeight, bounds.size.width, kActionRowHeight));
    }
    double top = -self->_contentOffset.y;
    id title = objc_msgSend<id()>(alert, "title"_sel);
    bool titled = hasTitle(alert);
    UIColor* headerColour = sheet ? UIColor::make(0.43, 0.43, 0.45, 1) : UIColor::make(0, 0, 0, 1);
    if (titled)
        drawCentred(title, textAttributes(sheet ? kSheetHeaderFont : kTitleFont, true, headerColour),
                    CGRectMake(0, top + kMargin - 4, bounds.size.width, 22));
    std::vector<std::string> lines = messageText(alert);
    if (!lines.empty()) {
        CGRect box = CGRectMake(kMessageInset, top + kMargin + (titled ? 22 : 0), bounds.size.width - 2 * kMessageInset,
                                lines.size() * kMessageLineHeight);
        platform::text::drawLines(UIGraphicsGetCurrentContext(), messageFace(), lines, box, NSTextAlignmentCenter,
                                  headerColour->cgColor());
    }
}

// The action rows: each with a hairline over it (not over a sheet's first
// row without a header), two side by side split by one.
void drawActions(_UIAlertControllerActionsView* self, SEL, CGRect) {
    UIAlertController* alert = self->_controller;
    if (alert == nullptr || alert->_presentingViewController == nullptr) return;
    CardLayout l = layoutOf(alert);
    bool sheet = isActionSheet(alert);
    id tint = objc_msgSend<id()>(self, "tintColor"_sel);
    auto boxes = actionBoxes(l, objc_msgSend<CGRect()>(self, "bounds"_sel).size.width);
    for (size_t i = 0; i < boxes.size(); ++i) {
        auto [action, box] = boxes[i];
        if (action == l.cancel) {
            drawAction(action, box, tint, false);
            continue;
        }
        if (l.row && i == 1) fillRect(CGRectMake(box.origin.x, box.origin.y, 0.5, box.size.height), UIColor::make(0.8, 0.8, 0.82, 1));
        drawAction(action, box, tint, !sheet || i > 0 || l.headerHeight > 0);
    }
}

// The card's content as tall as its title and message; the actions at the
// bottom of what shows, over the content. The content scrolls so that `show`
// (by default the field being edited in it) shows above the actions, else as
// little as keeps it within its height.
void layoutCard(UIAlertController* alert, UIView* show = nullptr) {
    auto* card = objectAs<_UIAlertControllerView>(objc_msgSend<id()>(alert, "view"_sel));
    if (card == nullptr || !card->_actionsView) return;
    CardLayout l = layoutOf(alert);
    CGSize size = card->_frame.size;
    double shown = std::max(0.0, size.height - l.actionsHeight);
    double offset = std::clamp(card->_contentOffset.y, 0.0, std::max(0.0, l.headerHeight - shown));
    double y = 0;
    if (show == nullptr) show = objectAs<UIView>(platform::firstResponder());
    UIView* v = show;
    for (; v != nullptr && v != card; v = v->_superview) y += v->_frame.origin.y;
    if (v == card && show != card && !isActionSheet(alert)) {
        double height = show->_frame.size.height;
        if (y + height > offset + shown) offset = y + height - shown;
        if (y < offset) offset = y;
        offset = std::max(0.0, offset);
    }
    objc_msgSend<void(CGSize)>(card, "setContentSize:"_sel, CGSizeMake(size.width, l.headerHeight));
    objc_msgSend<void(CGPoint)>(card, "setContentOffset:"_sel, CGPointMake(0, offset));
    UIView* actions = card->_actionsView.get();
    objc_msgSend<void(CGRect)>(actions, "setFrame:"_sel,
                               CGRectMake(0, offset + size.height - l.actionsHeight, size.width, l.actionsHeight));
    objc_msgSend<void(id)>(actions, "setBackgroundColor:"_sel, isActionSheet(alert) ? nil : objc::as_id(cardColour()));
    objc_msgSend<void(id)>(card, "bringSubviewToFront:"_sel, actions);
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
    auto* actions = static_cast<_UIAlertControllerActionsView*>(objc_msgSend<id(CGRect)>(
        objc_msgSend<id()>(_UIAlertControllerActionsView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero));
    actions->_controller = self;
    view->_actionsView = Strong<UIView>::adopt(actions);
    objc_msgSend<void(id)>(view, "addSubview:"_sel, actions);
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
}

// Presented, the view becomes the card in the middle of the screen.
void viewWillAppear(UIAlertController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, UIAlertController::cls(), "viewWillAppear:"_sel, animated);
    id view = objc_msgSend<id()>(self, "view"_sel);
    objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, platform::alertCardFrame(self));
    // An action sheet's view is clear: it draws its two cards itself.
    bool sheet = isActionSheet(self);
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, sheet ? UIColor::make(0, 0, 0, 0) : cardColour());
    objc_msgSend<void(double)>(objc_msgSend<id()>(view, "layer"_sel), "setCornerRadius:"_sel, sheet ? 0.0 : kCardCorner);
    objc_msgSend<void(BOOL)>(view, "setClipsToBounds:"_sel, YES);
    layoutCard(self);
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
    objc::ClassDef<_UIAlertControllerView>("_UIAlertControllerView", UIScrollView::cls()).method<drawCard>("drawRect:");
    objc::ClassDef<_UIAlertControllerActionsView>("_UIAlertControllerActionsView", UIView::cls())
        .method<drawActions>("drawRect:");
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
namespace {
std::function<void(const platform::JournalEntry&)>& journalObserver() {
    static auto* observer = new std::function<void(const platform::JournalEntry&)>();
    return *observer;
}
}  // namespace

void platform::setJournalObserver(std::function<void(const JournalEntry&)> observer) {
    journalObserver() = std::move(observer);
}
void platform::addJournalEntry(JournalEntry entry) {
    journalEntries().push_back(std::move(entry));
    if (journalObserver()) journalObserver()(journalEntries().back());
}

std::vector<UIViewController*> platform::presentedViewControllers() {
    std::vector<UIViewController*> out;
    for (const auto& c : presented()) out.push_back(c.get());
    return out;
}

bool platform::finishTransitions(double timeoutSeconds) {
    return RunLoop::main().runUntil([] { return transitionsInProgress() == 0; }, timeoutSeconds);
}

// The card stands in the screen's room below the status bar and above the
// keyboard while a field edits: an alert in the middle of the screen (or of
// the room above the keyboard), an action sheet at its bottom. A card taller
// than the room fills it, its content shortened to scroll; its actions stay
// whole.
CGRect platform::alertCardFrame(UIAlertController* alert) {
    CGRect screen = screenBounds();
    CGRect keyboard = platform::keyboardFrame();
    double bottom = CGRectIsEmpty(keyboard) ? screen.size.height : keyboard.origin.y;
    CardLayout l = layoutOf(alert);
    double top = std::min(kStatusBarHeight, std::max(0.0, bottom - l.actionsHeight));
    CGSize size = CGSizeMake(cardWidth(alert), std::max(l.actionsHeight, std::min(l.height, bottom - top)));
    double x = std::round((screen.size.width - size.width) / 2);
    double y = isActionSheet(alert) ? bottom - kSheetEdge - size.height : std::round((bottom - size.height) / 2);
    y = std::min(y, bottom - size.height);
    return CGRectMake(x, std::max({top, y, 0.0}), size.width, size.height);
}

void platform::uikit::keyboardMoved() {
    for (const Strong<UIViewController>& c : presented()) {
        auto* alert = objectAs<UIAlertController>(objc::as_id(c.get()));
        if (alert == nullptr || !objc_msgSend<BOOL()>(alert, "isViewLoaded"_sel)) continue;
        objc_msgSend<void(CGRect)>(objc_msgSend<id()>(alert, "view"_sel), "setFrame:"_sel, platform::alertCardFrame(alert));
        layoutCard(alert);
    }
}

void platform::scrollAlertToShow(UIAlertController* alert, UIView* view) {
    if (alert != nullptr && view != nullptr && objc_msgSend<BOOL()>(alert, "isViewLoaded"_sel)) layoutCard(alert, view);
}

std::vector<std::pair<UIAlertAction*, CGRect>> platform::alertActionFrames(UIAlertController* alert) {
    std::vector<std::pair<UIAlertAction*, CGRect>> frames;
    auto* card = alert && objc_msgSend<BOOL()>(alert, "isViewLoaded"_sel)
                     ? objectAs<_UIAlertControllerView>(objc_msgSend<id()>(alert, "view"_sel))
                     : nullptr;
    if (card == nullptr || !card->_actionsView) return frames;
    CGRect actions = card->_actionsView->_frame;
    double x = card->_frame.origin.x + actions.origin.x;
    double y = card->_frame.origin.y + actions.origin.y - card->_contentOffset.y;
    for (auto [action, box] : actionBoxes(layoutOf(alert), actions.size.width))
        frames.emplace_back(action, CGRectMake(box.origin.x + x, box.origin.y + y, box.size.width, box.size.height));
    return frames;
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
