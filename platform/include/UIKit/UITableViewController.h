// UITableViewController : UIViewController — a controller whose view is a
// table it serves as data source and delegate.
//
//   initWithStyle:              id(NSInteger)   0 plain, 1 grouped
//   loadView                    void()          a UITableView of the main screen's bounds in that
//                                               style, data source and delegate the controller
//   tableView                   id()            the view
//   setEditing:animated:        void(BOOL, BOOL) the table's
//   isEditing                   BOOL()
//   didReceiveMemoryWarning     void()          nothing
//
// What the tables add for it (UITableView.h has the rest):
//   allowsSelection / setAllowsSelection:                     BOOL() / void(BOOL)   YES
//   allowsSelectionDuringEditing / setAllowsSelectionDuringEditing:   BOOL() / void(BOOL)   NO
//   reloadRowsAtIndexPaths:withRowAnimation:  void(id, NSInteger)   the visible cells of those
//                                            rows are made again by the data source
// While editing, each placed cell asks the delegate tableView:editingStyleForRowAtIndexPath:
// (NSInteger(id, id), else delete), tableView:shouldIndentWhileEditingRowAtIndexPath:
// (BOOL(id, id), else YES) and the data source tableView:canMoveRowAtIndexPath:
// (BOOL(id, id), else YES when it answers tableView:moveRowAtIndexPath:toIndexPath:):
// a row that can move shows the reorder control at its right edge, its
// editingAccessoryView left of it.
//
// UITableViewCell additions:
//   detailTextLabel             id()   the subtitle's label (styles 1 to 3), made on first use
//   imageView                   id()   a UIImageView at the left, made on first use; shown
//                                      while it has an image
//   editingAccessoryView / setEditingAccessoryView:   id() / void(id)   retained; a subview
//                                      while the table edits
//   selectionStyle / setSelectionStyle:   NSInteger() / void(NSInteger)
//   showsReorderControl         BOOL()  as the table placed it while editing
#pragma once

#include <UIKit/UITableView.h>
#include <UIKit/UIViewController.h>

struct NSIndexPath;

struct UITableViewController : UIViewController {
    OBJC_CLASS(UITableViewController)

    UITableViewStyle _tableStyle = UITableViewStylePlain;
};

inline constexpr CGFloat kUITableViewReorderControlWidth = 38;

namespace platform {

// A user's tap on a row: none when the table's allowsSelection (or, while
// editing, allowsSelectionDuringEditing) is NO or the row does not exist;
// else the delegate's tableView:didSelectRowAtIndexPath: (void(id, id)).
// Whether the delegate heard of it.
bool tapTableRow(UITableView* tableView, NSInteger section, NSInteger row);

// A user's drag of a row by its reorder control to another place of the
// same section, as UIKit plays it: refused (false) unless the table edits,
// both rows exist and the data source answers tableView:canMoveRowAtIndexPath:
// (when it does) with YES; the table first moves the row on screen (the
// cells of the rows between shift by one), then tells the data source
// tableView:moveRowAtIndexPath:toIndexPath: (void(id, id, id)).
bool dragTableRow(UITableView* tableView, NSInteger section, NSInteger from, NSInteger to);

}  // namespace platform
