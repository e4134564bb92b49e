// UITableViewController, and what tables and cells do for it: editing with
// reorder controls, selection, row reloads, a user's row move and tap; the
// subtitle cells' labels and picture; CALayer's renderInContext:.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSIndexPath.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewController.h>

#include <algorithm>

using namespace platform::support;

namespace {

BOOL answers(id obj, SEL sel) { return obj != nil && objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel); }

id indexPath(NSInteger row, NSInteger section) {
    return objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
}

bool rowExists(UITableView* table, NSInteger section, NSInteger row) {
    return section >= 0 && static_cast<size_t>(section) < table->_rowCounts.size() && row >= 0 &&
           row < table->_rowCounts[static_cast<size_t>(section)];
}

namespace controller {

id initWithStyle(UITableViewController* self, SEL, NSInteger style) {
    self = objectAs<UITableViewController>(objc_msgSend<id(id, id)>(self, "initWithNibName:bundle:"_sel, nil, nil));
    if (self == nullptr) return nil;
    self->_tableStyle = style;
    return self;
}

void loadView(UITableViewController* self, SEL) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id table = objc_msgSend<id(CGRect, NSInteger)>(objc_msgSend<id()>(UITableView::cls(), "alloc"_sel),
                                                   "initWithFrame:style:"_sel, screen, self->_tableStyle);
    objc_msgSend<void(id)>(table, "setDataSource:"_sel, self);
    objc_msgSend<void(id)>(table, "setDelegate:"_sel, self);
    objc_msgSend<void(id)>(self, "setView:"_sel, table);
    objc_release(table);
}

id tableView(UITableViewController* self, SEL) { return objc_msgSend<id()>(self, "view"_sel); }

void setEditingAnimated(UITableViewController* self, SEL, BOOL editing, BOOL animated) {
    objc_msgSend<void(BOOL, BOOL)>(objc_msgSend<id()>(self, "tableView"_sel), "setEditing:animated:"_sel, editing, animated);
}

BOOL isEditing(UITableViewController* self, SEL) {
    return objc_msgSend<BOOL()>(objc_msgSend<id()>(self, "tableView"_sel), "isEditing"_sel);
}

void didReceiveMemoryWarning(UITableViewController*, SEL) {}

}  // namespace controller

namespace table {

BOOL allowsSelection(UITableView* self, SEL) { return self->_allowsSelection; }
void setAllowsSelection(UITableView* self, SEL, BOOL v) { self->_allowsSelection = v; }
BOOL allowsSelectionDuringEditing(UITableView* self, SEL) { return self->_allowsSelectionDuringEditing; }
void setAllowsSelectionDuringEditing(UITableView* self, SEL, BOOL v) { self->_allowsSelectionDuringEditing = v; }

// The rows' visible cells go back to the pool; the next layout makes them
// again through the data source.
void reloadRows(UITableView* self, SEL, id paths, NSInteger) {
    NSUInteger n = arrayCount(paths);
    bool any = false;
    for (NSUInteger i = 0; i < n; ++i) {
        id path = arrayObjectAt(paths, i);
        NSInteger section = objc_msgSend<NSInteger()>(path, "section"_sel);
        NSInteger row = objc_msgSend<NSInteger()>(path, "row"_sel);
        auto& cells = self->_visibleCells;
        auto it = std::find_if(cells.begin(), cells.end(), [&](const UITableView::VisibleCell& v) {
            return v.section == section && v.row == row;
        });
        if (it == cells.end()) continue;
        Strong<UITableViewCell> cell = std::move(it->cell);
        cells.erase(it);
        objc_msgSend<void()>(cell.get(), "removeFromSuperview"_sel);
        if (cell->_reuseIdentifier != nullptr) self->_reusableCells.push_back(std::move(cell));
        any = true;
    }
    if (!any) return;
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
    objc_msgSend<void()>(self, "layoutIfNeeded"_sel);
}

}  // namespace table

namespace cell {

UILabel* newLabel(CGFloat size, UIColor* colour) {
    id label = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UILabel::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    objc_msgSend<void(id)>(label, "setFont:"_sel, UIFont::system(size, false));
    if (colour != nullptr) objc_msgSend<void(id)>(label, "setTextColor:"_sel, colour);
    return static_cast<UILabel*>(label);
}

id detailTextLabel(UITableViewCell* self, SEL) {
    if (self->_style == UITableViewCellStyleDefault) return nil;
    if (!self->_detailTextLabel) {
        self->_detailTextLabel = Strong<UILabel>::adopt(newLabel(12, UIColor::make(0.5, 0.5, 0.5, 1)));
        objc_msgSend<void(id)>(self->_contentView, "addSubview:"_sel, self->_detailTextLabel.get());
        objc_msgSend<void()>(self, "setNeedsLayout"_sel);
    }
    return self->_detailTextLabel.get();
}

id imageView(UITableViewCell* self, SEL) {
    if (!self->_imageView) {
        id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIImageView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                           CGRectZero);
        self->_imageView = Strong<UIView>::adopt(static_cast<UIView*>(view));
        objc_msgSend<void(id)>(self->_contentView, "addSubview:"_sel, view);
        objc_msgSend<void()>(self, "setNeedsLayout"_sel);
    }
    return self->_imageView.get();
}

id editingAccessoryView(UITableViewCell* self, SEL) { return self->_editingAccessoryView.get(); }

void setEditingAccessoryView(UITableViewCell* self, SEL, id obj) {
    UIView* view = requireObject<UIView>(obj, "-[UITableViewCell setEditingAccessoryView:]");
    if (view == self->_editingAccessoryView.get()) return;
    if (UIView* old = self->_editingAccessoryView.get();
        old != nullptr && objc_msgSend<id()>(old, "superview"_sel) == objc::as_id(self))
        objc_msgSend<void()>(old, "removeFromSuperview"_sel);
    self->_editingAccessoryView = view;
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

NSInteger selectionStyle(UITableViewCell* self, SEL) { return self->_selectionStyle; }
void setSelectionStyle(UITableViewCell* self, SEL, NSInteger v) { self->_selectionStyle = v; }
BOOL showsReorderControl(UITableViewCell* self, SEL) { return self->_showsReorderControl; }

}  // namespace cell

void renderInContext(CALayer* self, SEL, CGContextRef context) { platform::drawViewInContext(self->_view, context); }

}  // namespace

void platform::uikit::placeEditingState(UITableView* table, UITableViewCell* cell, objc_object* path) {
    BOOL editing = table->_editing && !table->_swipeEditing;
    BOOL reorder = NO;
    CGFloat indent = 0;
    if (editing) {
        id delegate = table->_delegate, source = table->_dataSource;
        NSInteger style = answers(delegate, "tableView:editingStyleForRowAtIndexPath:"_sel)
                              ? objc_msgSend<NSInteger(id, id)>(delegate, "tableView:editingStyleForRowAtIndexPath:"_sel,
                                                                table, path)
                              : UITableViewCellEditingStyleDelete;
        BOOL indents = answers(delegate, "tableView:shouldIndentWhileEditingRowAtIndexPath:"_sel)
                           ? objc_msgSend<BOOL(id, id)>(delegate, "tableView:shouldIndentWhileEditingRowAtIndexPath:"_sel,
                                                        table, path)
                           : YES;
        if (indents && style != UITableViewCellEditingStyleNone) indent = kUITableViewReorderControlWidth;
        if (answers(source, "tableView:moveRowAtIndexPath:toIndexPath:"_sel))
            reorder = answers(source, "tableView:canMoveRowAtIndexPath:"_sel)
                          ? objc_msgSend<BOOL(id, id)>(source, "tableView:canMoveRowAtIndexPath:"_sel, table, path)
                          : YES;
    }
    if (cell->_editingShown != editing || cell->_showsReorderControl != reorder || cell->_editingIndent != indent)
        objc_msgSend<void()>(cell, "setNeedsLayout"_sel);
    cell->_editingShown = editing;
    cell->_showsReorderControl = reorder;
    cell->_editingIndent = indent;
}

bool platform::tapTableRow(UITableView* table, NSInteger section, NSInteger row) {
    if (table == nullptr) return false;
    Strong<UITableView> keep(table);
    objc_msgSend<void()>(table, "layoutIfNeeded"_sel);
    BOOL allowed = table->_editing ? table->_allowsSelectionDuringEditing : table->_allowsSelection;
    if (!allowed || !rowExists(table, section, row)) return false;
    AutoreleasePool pool;
    id delegate = table->_delegate;
    if (!answers(delegate, "tableView:didSelectRowAtIndexPath:"_sel)) return false;
    objc_msgSend<void(id, id)>(delegate, "tableView:didSelectRowAtIndexPath:"_sel, table, indexPath(row, section));
    return true;
}

bool platform::dragTableRow(UITableView* table, NSInteger section, NSInteger from, NSInteger to) {
    if (table == nullptr || !table->_editing) return false;
    Strong<UITableView> keep(table);
    objc_msgSend<void()>(table, "layoutIfNeeded"_sel);
    if (!rowExists(table, section, from) || !rowExists(table, section, to)) return false;
    AutoreleasePool pool;
    id source = table->_dataSource;
    if (!answers(source, "tableView:moveRowAtIndexPath:toIndexPath:"_sel)) return false;
    id fromPath = indexPath(from, section), toPath = indexPath(to, section);
    if (answers(source, "tableView:canMoveRowAtIndexPath:"_sel) &&
        !objc_msgSend<BOOL(id, id)>(source, "tableView:canMoveRowAtIndexPath:"_sel, table, fromPath))
        return false;
    // On screen first: the dragged row's cell takes its new place and the
    // rows between shift by one.
    for (UITableView::VisibleCell& v : table->_visibleCells) {
        if (v.section != section) continue;
        if (v.row == from) v.row = to;
        else if (from < to && v.row > from && v.row <= to) --v.row;
        else if (to < from && v.row >= to && v.row < from) ++v.row;
    }
    std::stable_sort(table->_visibleCells.begin(), table->_visibleCells.end(),
                     [](const UITableView::VisibleCell& a, const UITableView::VisibleCell& b) {
                         return a.section != b.section ? a.section < b.section : a.row < b.row;
                     });
    objc_msgSend<void()>(table, "setNeedsLayout"_sel);
    objc_msgSend<void(id, id, id)>(source, "tableView:moveRowAtIndexPath:toIndexPath:"_sel, table, fromPath, toPath);
    objc_msgSend<void()>(table, "layoutIfNeeded"_sel);
    return true;
}

void platform::uikit::registerTableViewControllers() {
    objc::ClassDef<UITableViewController>("UITableViewController", UIViewController::cls())
        .method<controller::initWithStyle>("initWithStyle:")
        .method<controller::loadView>("loadView")
        .method<controller::tableView>("tableView")
        .method<controller::setEditingAnimated>("setEditing:animated:")
        .method<controller::isEditing>("isEditing")
        .method<controller::didReceiveMemoryWarning>("didReceiveMemoryWarning");
    Class tableClass = UITableView::cls();
    objc::define_method(tableClass, "allowsSelection"_sel, objc::make_imp<table::allowsSelection>(), "");
    objc::define_method(tableClass, "setAllowsSelection:"_sel, objc::make_imp<table::setAllowsSelection>(), "");
    objc::define_method(tableClass, "allowsSelectionDuringEditing"_sel,
                        objc::make_imp<table::allowsSelectionDuringEditing>(), "");
    objc::define_method(tableClass, "setAllowsSelectionDuringEditing:"_sel,
                        objc::make_imp<table::setAllowsSelectionDuringEditing>(), "");
    objc::define_method(tableClass, "reloadRowsAtIndexPaths:withRowAnimation:"_sel, objc::make_imp<table::reloadRows>(), "");
    Class cellClass = UITableViewCell::cls();
    objc::define_method(cellClass, "detailTextLabel"_sel, objc::make_imp<cell::detailTextLabel>(), "");
    objc::define_method(cellClass, "imageView"_sel, objc::make_imp<cell::imageView>(), "");
    objc::define_method(cellClass, "editingAccessoryView"_sel, objc::make_imp<cell::editingAccessoryView>(), "");
    objc::define_method(cellClass, "setEditingAccessoryView:"_sel, objc::make_imp<cell::setEditingAccessoryView>(), "");
    objc::define_method(cellClass, "selectionStyle"_sel, objc::make_imp<cell::selectionStyle>(), "");
    objc::define_method(cellClass, "setSelectionStyle:"_sel, objc::make_imp<cell::setSelectionStyle>(), "");
    objc::define_method(cellClass, "showsReorderControl"_sel, objc::make_imp<cell::showsReorderControl>(), "");
    objc::define_method(CALayer::cls(), "renderInContext:"_sel, objc::make_imp<renderInContext>(), "");
}
