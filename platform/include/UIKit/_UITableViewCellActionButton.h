// _UITableViewCellActionButton: a button revealed by swiping a table row
// (the system's delete button, and any the app adds).
//
//   +actionButtonWithStyle:   id(NSInteger)   autoreleased; 0 the system's destructive
//                                             style, 1 normal, 2 the app's own style
//   style                     NSInteger()
//   action / setAction:       id() / void(id)   the UITableViewRowAction it carries, retained
//   layoutSubviews            void()   defined on this class
//
// UITableView's private _swipeActionButtonsForRowAtIndexPath: (id(id))
// answers an NSArray of the row's system buttons: the delete button first
// (tag 0, style 0, title "Delete", carrying a row action whose handler sends
// the table's data source tableView:commitEditingStyle:forRowAtIndexPath:
// with the delete style 1), or an empty array while the system buttons are
// switched off for a test.
#pragma once

#include <UIKit/UIButton.h>

#include <vector>

struct NSIndexPath;
struct UITableView;
struct UITableViewRowAction;

struct _UITableViewCellActionButton : UIButton {
    OBJC_CLASS(_UITableViewCellActionButton)

    NSInteger _style = 0;
    Strong<UITableViewRowAction> _action;
    // The row the button was revealed on (set by platform::swipeRow).
    Strong<NSIndexPath> _indexPath;
};

namespace platform {

// Whether _swipeActionButtonsForRowAtIndexPath: gives the system's delete
// button (the default) or no button at all.
void setSystemSwipeButtonsEnabled(bool enabled);

// What the user's swipe on a row does: sends the table view
// _swipeActionButtonsForRowAtIndexPath: through the runtime, closes any row
// swiped before (its buttons leave its cell), puts the table into editing
// (setEditing: YES), and lays each button out for the row (frame: the row's
// height, 74 points wide, placed right to left from the table's right edge;
// then a layoutSubviews send). When the row has a visible cell the buttons
// become its subviews, on top of its content, their frames in the cell's
// coordinates; otherwise the frames are in the table's. The buttons leave
// the cell when the table leaves editing (setEditing: NO), another row is
// swiped, or the cell goes back to the reuse pool. The buttons in the order
// the method gave them; anything in the array that is not an action button
// raises NSInvalidArgumentException.
std::vector<Strong<_UITableViewCellActionButton>> swipeRow(UITableView* tableView, NSIndexPath* indexPath);

// What the user's tap on a revealed button does: runs the handler of the
// button's row action with the action and the button's row. A button without
// an action does nothing.
void tapSwipeButton(_UITableViewCellActionButton* button);

}  // namespace platform
