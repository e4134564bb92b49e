// The swipe buttons of table rows: UITableViewRowAction, the action buttons'
// style and action, the system's buttons of a row, and the swipe and tap a
// user makes.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSIndexPath.h>
#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>

#include <atomic>
#include <cmath>

using namespace platform::support;

namespace {

std::atomic<bool> systemButtonsEnabled{true};

// Width of one revealed button, in points.
constexpr CGFloat kButtonWidth = 74;

namespace rowAction {

id rowActionWithStyle(objc_class* cls, SEL, NSInteger style, id title, id handler) {
    auto action = adoptObject<UITableViewRowAction>(newObject(cls), "+[UITableViewRowAction rowActionWithStyle:title:handler:]");
    if (!action) return nil;
    action->_style = style;
    objc_msgSend<void(id)>(action.get(), "setTitle:"_sel, title);
    if (handler != nullptr) {
        action->_handler = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id()>(handler, "copy"_sel)));
    }
    return autorelease(action.detach());
}

NSInteger style(UITableViewRowAction* self, SEL) { return self->_style; }
id title(UITableViewRowAction* self, SEL) { return self->_title.get(); }
void setTitle(UITableViewRowAction* self, SEL, id title) {
    NSString* text = requireObject<NSString>(title, "-[UITableViewRowAction setTitle:]");
    self->_title = text == nullptr ? Strong<NSString>()
                                   : adoptObject<NSString>(objc_msgSend<id()>(text, "copy"_sel),
                                                           "-[UITableViewRowAction setTitle:]");
}
id handler(UITableViewRowAction* self, SEL) { return self->_handler.get(); }
id backgroundColor(UITableViewRowAction* self, SEL) { return self->_backgroundColor.get(); }
void setBackgroundColor(UITableViewRowAction* self, SEL, id color) {
    self->_backgroundColor = requireObject<UIColor>(color, "-[UITableViewRowAction setBackgroundColor:]");
}

}  // namespace rowAction

namespace actionButton {

id actionButtonWithStyle(objc_class* cls, SEL, NSInteger style) {
    id made = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    auto button = adoptObject<_UITableViewCellActionButton>(made, "+[_UITableViewCellActionButton actionButtonWithStyle:]");
    if (!button) return nil;
    button->_style = style;
    return autorelease(button.detach());
}

NSInteger style(_UITableViewCellActionButton* self, SEL) { return self->_style; }
id action(_UITableViewCellActionButton* self, SEL) { return self->_action.get(); }
void setAction(_UITableViewCellActionButton* self, SEL, id action) {
    self->_action = requireObject<UITableViewRowAction>(action, "-[_UITableViewCellActionButton setAction:]");
}

}  // namespace actionButton

// The system's buttons of a row: the delete button, whose action commits a
// delete of the row through the table's data source.
id swipeActionButtonsForRowAtIndexPath(UITableView* self, SEL, id) {
    id list = mutableArray();
    if (!systemButtonsEnabled) return list;
    id button = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(), "actionButtonWithStyle:"_sel,
                                            UITableViewRowActionStyleDestructive);
    Weak<UITableView> table(self);
    NSBlock* handler = objc_block<UITableViewRowActionHandler>([table](id, id indexPath) {
        Strong<UITableView> tv = table.lock();
        if (!tv) return;
        id source = objc_msgSend<id()>(tv.get(), "dataSource"_sel);
        objc_msgSend<void(id, NSInteger, id)>(source, "tableView:commitEditingStyle:forRowAtIndexPath:"_sel, tv.get(),
                                              UITableViewCellEditingStyleDelete, indexPath);
    });
    id action = objc_msgSend<id(NSInteger, id, id)>(UITableViewRowAction::cls(), "rowActionWithStyle:title:handler:"_sel,
                                                    UITableViewRowActionStyleDestructive, "Delete"_ns, handler);
    objc_msgSend<void(id)>(button, "setAction:"_sel, action);
    objc_msgSend<void(id, NSUInteger)>(button, "setTitle:forState:"_sel, "Delete"_ns, UIControlStateNormal);
    arrayAdd(list, button);
    return list;
}

}  // namespace

void platform::uikit::removeSwipeButtons(objc_object* view) {
    if (view == nullptr) return;
    AutoreleasePool pool;
    std::vector<Strong<UIView>> subviews =
        objectsOf<UIView>(objc_msgSend<id()>(view, "subviews"_sel), "platform::uikit::removeSwipeButtons");
    for (const Strong<UIView>& sub : subviews)
        if (objectAs<_UITableViewCellActionButton>(objc::as_id(sub.get())))
            objc_msgSend<void()>(sub.get(), "removeFromSuperview"_sel);
}

void platform::setSystemSwipeButtonsEnabled(bool enabled) { systemButtonsEnabled = enabled; }

std::vector<Strong<_UITableViewCellActionButton>> platform::swipeRow(UITableView* tableView, NSIndexPath* indexPath) {
    std::vector<Strong<_UITableViewCellActionButton>> buttons;
    {
        AutoreleasePool pool;
        id list = objc_msgSend<id(id)>(tableView, "_swipeActionButtonsForRowAtIndexPath:"_sel, indexPath);
        buttons = objectsOf<_UITableViewCellActionButton>(list, "platform::swipeRow");
    }
    if (tableView == nullptr) return buttons;
    AutoreleasePool pool;
    // Another row's open buttons close first.
    id cells = objc_msgSend<id()>(tableView, "visibleCells"_sel);
    for (NSUInteger i = 0, n = arrayCount(cells); i < n; ++i)
        platform::uikit::removeSwipeButtons(arrayObjectAt(cells, i));
    // The table edits for the swiped row alone: no other row moves aside.
    bool editedBefore = tableView->_editing && !tableView->_swipeEditing;
    objc_msgSend<void(BOOL)>(tableView, "setEditing:"_sel, YES);
    if (!editedBefore) tableView->_swipeEditing = YES;
    CGRect row = objc_msgSend<CGRect(id)>(tableView, "rectForRowAtIndexPath:"_sel, indexPath);
    CGFloat right = CGRectGetWidth(objc_msgSend<CGRect()>(tableView, "bounds"_sel));
    // Each button takes its usual width while they all fit the row; more
    // share the row's width alike.
    CGFloat width = kButtonWidth;
    if (!buttons.empty() && width * static_cast<CGFloat>(buttons.size()) > right)
        width = std::floor(right / static_cast<CGFloat>(buttons.size()));
    // The buttons go onto the row's cell when it has one, in its coordinates.
    id cell = objc_msgSend<id(id)>(tableView, "cellForRowAtIndexPath:"_sel, indexPath);
    CGRect cellFrame = objc_msgSend<CGRect()>(cell, "frame"_sel);
    CGFloat x = right;
    for (const Strong<_UITableViewCellActionButton>& button : buttons) {
        x -= width;
        button->_indexPath = indexPath;
        CGRect frame = CGRectMake(x, row.origin.y, width, CGRectGetHeight(row));
        if (cell != nullptr) {
            frame.origin.x -= cellFrame.origin.x;
            frame.origin.y -= cellFrame.origin.y;
        }
        objc_msgSend<void(CGRect)>(button.get(), "setFrame:"_sel, frame);
        objc_msgSend<void()>(button.get(), "layoutSubviews"_sel);
        if (cell != nullptr) objc_msgSend<void(id)>(cell, "addSubview:"_sel, button.get());
    }
    return buttons;
}

void platform::tapSwipeButton(_UITableViewCellActionButton* button) {
    if (button == nullptr) return;
    AutoreleasePool pool;
    Strong<NSObject> action(static_cast<NSObject*>(objc_msgSend<id()>(button, "action"_sel)));
    if (!action) return;
    Strong<NSObject> handler(static_cast<NSObject*>(objc_msgSend<id()>(action.get(), "handler"_sel)));
    Strong<NSIndexPath> path = button->_indexPath;
    objc_callBlock<UITableViewRowActionHandler>(handler.get(), action.get(), objc::as_id(path.get()));
}

void platform::uikit::registerRowActions() {
    objc::ClassDef<UITableViewRowAction>("UITableViewRowAction", NSObject::cls())
        .classMethod<rowAction::rowActionWithStyle>("rowActionWithStyle:title:handler:")
        .method<rowAction::style>("style")
        .method<rowAction::title>("title")
        .method<rowAction::setTitle>("setTitle:")
        .method<rowAction::handler>("handler")
        .method<rowAction::backgroundColor>("backgroundColor")
        .method<rowAction::setBackgroundColor>("setBackgroundColor:");
    Class button = _UITableViewCellActionButton::cls();
    objc::define_method(button->isa, "actionButtonWithStyle:"_sel, objc::make_imp<actionButton::actionButtonWithStyle>(),
                        "@@:q");
    objc::define_method(button, "style"_sel, objc::make_imp<actionButton::style>(), "q@:");
    objc::define_method(button, "action"_sel, objc::make_imp<actionButton::action>(), "@@:");
    objc::define_method(button, "setAction:"_sel, objc::make_imp<actionButton::setAction>(), "v@:@");
    objc::define_method(UITableView::cls(), "_swipeActionButtonsForRowAtIndexPath:"_sel,
                        objc::make_imp<swipeActionButtonsForRowAtIndexPath>(), "@@:@");
}
