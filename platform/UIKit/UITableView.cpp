// UITableView, UITableViewCell and _UITableViewCellActionButton.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSIndexPath.h>
#include <Foundation/NSString.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewController.h>

#include <algorithm>

using namespace platform::support;

UITableView::~UITableView() {
    // The visible cells and the header are subviews too; the view's own
    // destructor lets go of those references.
    clearStrong(_tableHeaderView);
}

UITableViewCell::~UITableViewCell() {
    clearStrong(_reuseIdentifier);
    clearStrong(_contentView);
    clearStrong(_title);
    clearStrong(_textLabel);
}

namespace {

BOOL answers(id obj, SEL sel) { return objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel); }

id indexPath(NSInteger row, NSInteger section) {
    return objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
}

// Row and section of an NSIndexPath, asked through sends.
struct Path {
    NSInteger section = 0;
    NSInteger row = 0;
};

bool readPath(id path, Path& out) {
    if (path == nullptr) return false;
    out.section = objc_msgSend<NSInteger()>(path, "section"_sel);
    out.row = objc_msgSend<NSInteger()>(path, "row"_sel);
    return true;
}

namespace table {

bool rowExists(UITableView* self, NSInteger section, NSInteger row) {
    return section >= 0 && static_cast<size_t>(section) < self->_rowCounts.size() && row >= 0 &&
           row < self->_rowCounts[static_cast<size_t>(section)];
}

CGFloat headerHeight(UITableView* self, NSInteger section) {
    id delegate = self->_delegate;
    if (delegate != nullptr && answers(delegate, "tableView:heightForHeaderInSection:"_sel))
        return std::max<CGFloat>(0, objc_msgSend<double(id, NSInteger)>(delegate, "tableView:heightForHeaderInSection:"_sel,
                                                                      self, section));
    return self->_sectionHeaderHeight;
}

CGFloat rowHeight(UITableView* self, NSInteger section, NSInteger row, bool delegateAnswers) {
    auto it = self->_rowHeights.find({section, row});
    if (it != self->_rowHeights.end()) return it->second;
    if (delegateAnswers)
        return std::max<CGFloat>(0, objc_msgSend<double(id, id)>(self->_delegate, "tableView:heightForRowAtIndexPath:"_sel,
                                                               self, indexPath(row, section)));
    return self->_rowHeight;
}

CGFloat tableHeaderHeight(UITableView* self) {
    return self->_tableHeaderView ? CGRectGetHeight(self->_tableHeaderView->_frame) : 0;
}

// Walks the rows top to bottom with their vertical extent; `visit` returns
// false to stop. Returns the content height when the walk ran to the end.
template <class Visit>
CGFloat walkRows(UITableView* self, Visit visit) {
    AutoreleasePool pool;
    bool delegateAnswers =
        self->_delegate != nullptr && answers(self->_delegate, "tableView:heightForRowAtIndexPath:"_sel);
    CGFloat y = tableHeaderHeight(self);
    for (size_t s = 0; s < self->_rowCounts.size(); ++s) {
        auto section = static_cast<NSInteger>(s);
        y += headerHeight(self, section);
        for (NSInteger r = 0; r < self->_rowCounts[s]; ++r) {
            CGFloat h = rowHeight(self, section, r, delegateAnswers);
            if (!visit(section, r, y, h)) return y + h;
            y += h;
        }
    }
    return y;
}

CGFloat contentHeight(UITableView* self) {
    return walkRows(self, [](NSInteger, NSInteger, CGFloat, CGFloat) { return true; });
}

CGRect rectOfRow(UITableView* self, NSInteger section, NSInteger row) {
    if (!rowExists(self, section, row)) return CGRectZero;
    CGRect rect = CGRectZero;
    CGFloat width = CGRectGetWidth(self->_frame);
    walkRows(self, [&](NSInteger s, NSInteger r, CGFloat y, CGFloat h) {
        if (s != section || r != row) return true;
        rect = CGRectMake(0, y, width, h);
        return false;
    });
    return rect;
}

void recycle(UITableView* self, Strong<UITableViewCell> cell) {
    platform::uikit::removeSwipeButtons(objc::as_id(cell.get()));
    objc_msgSend<void()>(cell.get(), "removeFromSuperview"_sel);
    if (cell->_reuseIdentifier != nullptr) self->_reusableCells.push_back(std::move(cell));
}

void recycleAll(UITableView* self) {
    std::vector<UITableView::VisibleCell> cells = std::move(self->_visibleCells);
    self->_visibleCells.clear();
    for (auto& v : cells) recycle(self, std::move(v.cell));
}

void layoutIfNeeded(UITableView* self) {
    if (self->_needsLayout) objc_msgSend<void()>(self, "layoutIfNeeded"_sel);
}

id initWithFrame(UITableView* self, SEL, CGRect frame) {
    return objc_msgSend<id(CGRect, NSInteger)>(self, "initWithFrame:style:"_sel, frame, UITableViewStylePlain);
}

id initWithFrameStyle(UITableView* self, SEL, CGRect frame, NSInteger style) {
    self = objectAs<UITableView>(objc_msgSendSuper<id(CGRect)>(self, UITableView::cls(), "initWithFrame:"_sel, frame));
    if (self == nullptr) return nil;
    self->_style = style;
    return self;
}

NSInteger style(UITableView* self, SEL) { return self->_style; }
id delegate(UITableView* self, SEL) { return self->_delegate; }
void setDelegate(UITableView* self, SEL, id delegate) {
    self->_delegate = delegate;
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}
id dataSource(UITableView* self, SEL) { return self->_dataSource; }
void setDataSource(UITableView* self, SEL, id dataSource) { self->_dataSource = dataSource; }
BOOL isEditing(UITableView* self, SEL) { return self->_editing; }
// Leaving editing closes a swiped row: its buttons go.
void setEditing(UITableView* self, SEL, BOOL editing) {
    if (self->_editing != editing || self->_swipeEditing) objc_msgSend<void()>(self, "setNeedsLayout"_sel);
    self->_editing = editing;
    self->_swipeEditing = NO;
    if (editing) return;
    std::vector<UITableView::VisibleCell> cells = self->_visibleCells;
    for (const auto& v : cells) platform::uikit::removeSwipeButtons(objc::as_id(v.cell.get()));
}
void setEditingAnimated(UITableView* self, SEL, BOOL editing, BOOL) {
    objc_msgSend<void(BOOL)>(self, "setEditing:"_sel, editing);
}

void reloadData(UITableView* self, SEL) {
    id source = self->_dataSource;
    NSInteger sections = 0;
    if (source != nullptr) {
        sections = answers(source, "numberOfSectionsInTableView:"_sel)
                       ? objc_msgSend<NSInteger(id)>(source, "numberOfSectionsInTableView:"_sel, self)
                       : 1;
    }
    std::vector<NSInteger> rows(static_cast<size_t>(std::max<NSInteger>(sections, 0)), 0);
    if (answers(source, "tableView:numberOfRowsInSection:"_sel)) {
        for (size_t s = 0; s < rows.size(); ++s) {
            NSInteger n = objc_msgSend<NSInteger(id, NSInteger)>(source, "tableView:numberOfRowsInSection:"_sel, self,
                                                                 static_cast<NSInteger>(s));
            rows[s] = std::max<NSInteger>(n, 0);
        }
    }
    self->_rowCounts = std::move(rows);
    self->_dataLoaded = YES;
    recycleAll(self);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

NSInteger numberOfSections(UITableView* self, SEL) { return static_cast<NSInteger>(self->_rowCounts.size()); }

NSInteger numberOfRowsInSection(UITableView* self, SEL, NSInteger section) {
    if (section < 0 || static_cast<size_t>(section) >= self->_rowCounts.size()) return 0;
    return self->_rowCounts[static_cast<size_t>(section)];
}

double getRowHeight(UITableView* self, SEL) { return self->_rowHeight; }
void setRowHeight(UITableView* self, SEL, double height) {
    self->_rowHeight = std::max(0.0, height);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}
double getSectionHeaderHeight(UITableView* self, SEL) { return self->_sectionHeaderHeight; }
void setSectionHeaderHeight(UITableView* self, SEL, double height) {
    self->_sectionHeaderHeight = std::max(0.0, height);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

void setHeightForRow(UITableView* self, SEL, double height, id path) {
    Path p;
    if (!readPath(path, p)) return;
    if (height < 0) {
        self->_rowHeights.erase({p.section, p.row});
    } else {
        self->_rowHeights[{p.section, p.row}] = height;
    }
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

id tableHeaderView(UITableView* self, SEL) { return self->_tableHeaderView; }

void setTableHeaderView(UITableView* self, SEL, id obj) {
    UIView* header = requireObject<UIView>(obj, "-[UITableView setTableHeaderView:]");
    if (header == self->_tableHeaderView) return;
    if (self->_tableHeaderView != nullptr) objc_msgSend<void()>(self->_tableHeaderView, "removeFromSuperview"_sel);
    storeStrong(self->_tableHeaderView, header);
    if (header != nullptr) objc_msgSend<void(id)>(self, "addSubview:"_sel, header);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

CGRect rectForRowAtIndexPath(UITableView* self, SEL, id path) {
    Path p;
    if (!readPath(path, p)) return CGRectZero;
    return rectOfRow(self, p.section, p.row);
}

void setContentOffset(UITableView* self, SEL, CGPoint offset) {
    objc_msgSendSuper<void(CGPoint)>(self, UITableView::cls(), "setContentOffset:"_sel, offset);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

void scrollToRow(UITableView* self, SEL, id path, NSInteger position, BOOL) {
    Path p;
    if (!readPath(path, p) || !rowExists(self, p.section, p.row)) return;
    CGRect rect = rectOfRow(self, p.section, p.row);
    CGFloat window = CGRectGetHeight(self->_frame);
    CGFloat y = self->_contentOffset.y;
    switch (position) {
        case UITableViewScrollPositionTop: y = rect.origin.y; break;
        case UITableViewScrollPositionMiddle: y = CGRectGetMidY(rect) - window / 2; break;
        case UITableViewScrollPositionBottom: y = CGRectGetMaxY(rect) - window; break;
        default:  // None: the least move that shows the row
            if (rect.origin.y < y) y = rect.origin.y;
            else if (CGRectGetMaxY(rect) > y + window) y = CGRectGetMaxY(rect) - window;
            break;
    }
    y = std::max<CGFloat>(0, std::min(y, contentHeight(self) - window));
    objc_msgSend<void(CGPoint)>(self, "setContentOffset:"_sel, CGPointMake(self->_contentOffset.x, y));
}

void layoutSubviews(UITableView* self, SEL) {
    objc_msgSendSuper<void()>(self, UITableView::cls(), "layoutSubviews"_sel);
    if (!self->_dataLoaded) {
        objc_msgSend<void()>(self, "reloadData"_sel);
        self->_needsLayout = NO;  // this pass is the one reloadData asked for
    }
    AutoreleasePool pool;
    CGFloat width = CGRectGetWidth(self->_frame);
    CGFloat top = self->_contentOffset.y;
    CGFloat bottom = top + CGRectGetHeight(self->_frame);
    if (self->_tableHeaderView != nullptr) {
        CGRect header = self->_tableHeaderView->_frame;
        objc_msgSend<void(CGRect)>(self->_tableHeaderView, "setFrame:"_sel,
                                   CGRectMake(0, 0, width, CGRectGetHeight(header)));
    }

    struct Placement {
        NSInteger section, row;
        CGRect frame;
    };
    std::vector<Placement> wanted;
    bool stopped = false;
    CGFloat height = walkRows(self, [&](NSInteger s, NSInteger r, CGFloat y, CGFloat h) {
        if (y >= bottom) {
            stopped = true;
            return false;
        }
        if (h > 0 && y + h > top) wanted.push_back({s, r, CGRectMake(0, y, width, h)});
        return true;
    });
    self->_contentSize = CGSizeMake(width, stopped ? contentHeight(self) : height);

    // Cells of rows that stay keep their cell; the others go to the pool.
    std::vector<UITableView::VisibleCell> old = std::move(self->_visibleCells);
    self->_visibleCells.clear();
    std::vector<UITableView::VisibleCell> kept;
    for (auto& v : old) {
        bool stays = std::any_of(wanted.begin(), wanted.end(),
                                 [&](const Placement& p) { return p.section == v.section && p.row == v.row; });
        if (stays) kept.push_back(std::move(v));
        else recycle(self, std::move(v.cell));
    }

    std::vector<UITableView::VisibleCell> now;
    for (const Placement& p : wanted) {
        auto it = std::find_if(kept.begin(), kept.end(),
                               [&](const UITableView::VisibleCell& v) { return v.section == p.section && v.row == p.row; });
        Strong<UITableViewCell> cell;
        bool fresh = it == kept.end();
        id path = indexPath(p.row, p.section);
        if (!fresh) {
            cell = it->cell;
        } else {
            id source = self->_dataSource;
            if (source == nullptr || !answers(source, "tableView:cellForRowAtIndexPath:"_sel)) continue;
            id made = objc_msgSend<id(id, id)>(source, "tableView:cellForRowAtIndexPath:"_sel, self, path);
            if (made == nullptr)
                NSException::raise(NSInternalInconsistencyException,
                                   "UITableView dataSource must return a cell from tableView:cellForRowAtIndexPath:");
            cell = requireObject<UITableViewCell>(made, "-[UITableView layoutSubviews]");
        }
        platform::uikit::placeEditingState(self, cell.get(), path);
        objc_msgSend<void(CGRect)>(cell.get(), "setFrame:"_sel, p.frame);
        if (fresh) {
            objc_msgSend<void(id)>(self, "addSubview:"_sel, cell.get());
            id delegate = self->_delegate;
            if (delegate != nullptr && answers(delegate, "tableView:willDisplayCell:forRowAtIndexPath:"_sel))
                objc_msgSend<void(id, id, id)>(delegate, "tableView:willDisplayCell:forRowAtIndexPath:"_sel, self,
                                               cell.get(), path);
        }
        now.push_back({p.section, p.row, std::move(cell)});
    }
    self->_visibleCells = std::move(now);
}

id cellForRowAtIndexPath(UITableView* self, SEL, id path) {
    Path p;
    if (!readPath(path, p)) return nil;
    layoutIfNeeded(self);
    for (const auto& v : self->_visibleCells)
        if (v.section == p.section && v.row == p.row) return v.cell.get();
    return nil;
}

id indexPathForCell(UITableView* self, SEL, id cell) {
    if (cell == nullptr) return nil;
    layoutIfNeeded(self);
    for (const auto& v : self->_visibleCells)
        if (objc::as_id(v.cell.get()) == cell) return indexPath(v.row, v.section);
    return nil;
}

id visibleCells(UITableView* self, SEL) {
    layoutIfNeeded(self);
    id list = mutableArray();
    for (const auto& v : self->_visibleCells) arrayAdd(list, v.cell.get());
    return list;
}

id indexPathsForVisibleRows(UITableView* self, SEL) {
    layoutIfNeeded(self);
    id list = mutableArray();
    for (const auto& v : self->_visibleCells) arrayAdd(list, indexPath(v.row, v.section));
    return list;
}

id dequeueReusableCell(UITableView* self, SEL, id identifier) {
    if (identifier == nullptr) return nil;
    auto& pool = self->_reusableCells;
    for (auto it = pool.begin(); it != pool.end(); ++it) {
        if (!objc_msgSend<BOOL(id)>(identifier, "isEqual:"_sel, (*it)->_reuseIdentifier)) continue;
        Strong<UITableViewCell> cell = std::move(*it);
        pool.erase(it);
        objc_msgSend<void()>(cell.get(), "prepareForReuse"_sel);
        return autorelease(retain(cell.get()));
    }
    return nil;
}

}  // namespace table

namespace cell {

// The size of a plain row.
constexpr CGRect kDefaultFrame = CGRectMake(0, 0, 320, UITableViewDefaultRowHeight);
// The text's inset from the row's sides, and the separator's from the left.
constexpr CGFloat kTextInset = 15;

id initWithFrame(UITableViewCell* self, SEL, CGRect frame) {
    self = objectAs<UITableViewCell>(objc_msgSend<id(NSInteger, id)>(self, "initWithStyle:reuseIdentifier:"_sel,
                                                                     UITableViewCellStyleDefault, nil));
    if (self == nullptr) return nil;
    objc_msgSend<void(CGRect)>(self, "setFrame:"_sel, frame);
    return self;
}

id initWithStyleReuseIdentifier(UITableViewCell* self, SEL, NSInteger style, id reuseIdentifier) {
    self = objectAs<UITableViewCell>(
        objc_msgSendSuper<id(CGRect)>(self, UITableViewCell::cls(), "initWithFrame:"_sel, kDefaultFrame));
    if (self == nullptr) return nil;
    self->_style = style;
    storeStrong(self->_reuseIdentifier, reuseIdentifier);
    id content = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                          objc_msgSend<CGRect()>(self, "bounds"_sel));
    storeStrong(self->_contentView, requireObject<UIView>(content, "-[UITableViewCell initWithStyle:reuseIdentifier:]"));
    objc_release(content);
    objc_msgSend<void(id)>(self, "addSubview:"_sel, self->_contentView);
    id label = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UILabel::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    storeStrong(self->_textLabel, requireObject<UILabel>(label, "-[UITableViewCell initWithStyle:reuseIdentifier:]"));
    objc_release(label);
    objc_msgSend<void(id)>(self->_contentView, "addSubview:"_sel, self->_textLabel);
    return self;
}

id contentView(UITableViewCell* self, SEL) { return self->_contentView; }
id reuseIdentifier(UITableViewCell* self, SEL) { return self->_reuseIdentifier; }
NSInteger style(UITableViewCell* self, SEL) { return self->_style; }
id title(UITableViewCell* self, SEL) { return self->_title; }
id textLabel(UITableViewCell* self, SEL) { return self->_textLabel; }
void setTitle(UITableViewCell* self, SEL, id title) {
    storeStrong(self->_title, title);
    id text = objectAs<NSString>(title);
    objc_msgSend<void(id)>(objc_msgSend<id()>(self, "textLabel"_sel), "setText:"_sel, text);
}
void prepareForReuse(UITableViewCell*, SEL) {}

// While the table edits, the content gives way to the indent, the editing
// accessory and the reorder control; a picture stands at the left and a
// subtitle under the text.
void layoutSubviews(UITableViewCell* self, SEL) {
    objc_msgSendSuper<void()>(self, UITableViewCell::cls(), "layoutSubviews"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    CGFloat left = 0, right = bounds.size.width;
    UIView* accessory = self->_editingAccessoryView.get();
    if (self->_editingShown) {
        left = self->_editingIndent;
        if (self->_showsReorderControl) right -= kUITableViewReorderControlWidth;
        if (accessory != nullptr) {
            CGRect a = objc_msgSend<CGRect()>(accessory, "frame"_sel);
            right -= a.size.width + 8;
            objc_msgSend<void(CGRect)>(accessory, "setFrame:"_sel,
                                       CGRectMake(right + 4, (bounds.size.height - a.size.height) / 2, a.size.width,
                                                  a.size.height));
            if (objc_msgSend<id()>(accessory, "superview"_sel) != objc::as_id(self))
                objc_msgSend<void(id)>(self, "addSubview:"_sel, accessory);
        }
    } else if (accessory != nullptr && objc_msgSend<id()>(accessory, "superview"_sel) == objc::as_id(self)) {
        objc_msgSend<void()>(accessory, "removeFromSuperview"_sel);
    }
    objc_msgSend<void(CGRect)>(self->_contentView, "setFrame:"_sel,
                               CGRectMake(left, 0, std::max<CGFloat>(0, right - left), bounds.size.height));
    CGRect content = objc_msgSend<CGRect()>(self->_contentView, "bounds"_sel);
    CGFloat textX = kTextInset;
    if (UIView* image = self->_imageView.get()) {
        bool shown = objc_msgSend<id()>(image, "image"_sel) != nil;
        CGFloat side = std::max<CGFloat>(0, content.size.height - 8);
        objc_msgSend<void(CGRect)>(image, "setFrame:"_sel, CGRectMake(kTextInset, 4, side, side));
        objc_msgSend<void(BOOL)>(image, "setHidden:"_sel, !shown);
        if (shown) textX += side + kTextInset / 2;
    }
    CGFloat textWidth = std::max<CGFloat>(0, content.size.width - textX - kTextInset);
    UILabel* detail = self->_detailTextLabel.get();
    if (detail != nullptr && self->_style == UITableViewCellStyleSubtitle) {
        CGFloat h = content.size.height;
        objc_msgSend<void(CGRect)>(objc_msgSend<id()>(self, "textLabel"_sel), "setFrame:"_sel,
                                   CGRectMake(textX, h * 0.08, textWidth, h * 0.5));
        objc_msgSend<void(CGRect)>(detail, "setFrame:"_sel, CGRectMake(textX, h * 0.55, textWidth, h * 0.38));
        return;
    }
    objc_msgSend<void(CGRect)>(objc_msgSend<id()>(self, "textLabel"_sel), "setFrame:"_sel,
                               CGRectMake(textX, 0, textWidth, content.size.height));
    if (detail != nullptr)
        objc_msgSend<void(CGRect)>(detail, "setFrame:"_sel,
                                   CGRectMake(textX + textWidth / 2, 0, textWidth / 2, content.size.height));
}

void drawRect(UITableViewCell* self, SEL, CGRect) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    CGFloat line = 1 / (c->scale > 0 ? c->scale : 1);
    CGContextSaveGState(c);
    CGContextSetFillColorWithColor(c, CGColor{0.78, 0.78, 0.8, 1});
    CGContextFillRect(c, CGRectMake(kTextInset, bounds.size.height - line,
                                    std::max<CGFloat>(0, bounds.size.width - kTextInset), line));
    // The reorder control: three grey bars at the right edge.
    if (self->_editingShown && self->_showsReorderControl) {
        CGContextSetFillColorWithColor(c, CGColor{0.6, 0.6, 0.62, 1});
        CGFloat x = bounds.size.width - kUITableViewReorderControlWidth + 9, mid = bounds.size.height / 2;
        for (int i = -1; i <= 1; ++i) CGContextFillRect(c, CGRectMake(x, mid + i * 5 - 1, 20, 2));
    }
    CGContextRestoreGState(c);
}

}  // namespace cell

namespace actionButton {

void layoutSubviews(_UITableViewCellActionButton* self, SEL) {
    objc_msgSendSuper<void()>(self, _UITableViewCellActionButton::cls(), "layoutSubviews"_sel);
}

}  // namespace actionButton

}  // namespace

size_t platform::forEachRowCell(UITableView* tableView, unsigned long long first, unsigned long long count,
                                const std::function<void(NSInteger, NSInteger, UITableViewCell*)>& visit) {
    if (tableView == nullptr || count == 0) return 0;
    if (!tableView->_dataLoaded) objc_msgSend<void()>(tableView, "reloadData"_sel);
    id source = tableView->_dataSource;
    if (source == nullptr || !answers(source, "tableView:cellForRowAtIndexPath:"_sel)) return 0;
    size_t visited = 0;
    unsigned long long skip = first;
    for (size_t s = 0; s < tableView->_rowCounts.size() && visited < count; ++s) {
        auto rows = static_cast<unsigned long long>(std::max<NSInteger>(0, tableView->_rowCounts[s]));
        if (skip >= rows) {
            skip -= rows;
            continue;
        }
        for (unsigned long long r = skip; r < rows && visited < count; ++r) {
            AutoreleasePool pool;
            auto section = static_cast<NSInteger>(s);
            auto row = static_cast<NSInteger>(r);
            id made = objc_msgSend<id(id, id)>(source, "tableView:cellForRowAtIndexPath:"_sel, tableView,
                                               indexPath(row, section));
            auto* cell = requireObject<UITableViewCell>(made, "platform::forEachRowCell");
            visit(section, row, cell);
            ++visited;
            bool shown = std::any_of(tableView->_visibleCells.begin(), tableView->_visibleCells.end(),
                                     [&](const UITableView::VisibleCell& v) { return v.cell.get() == cell; });
            if (cell != nullptr && !shown) table::recycle(tableView, Strong<UITableViewCell>(cell));
        }
        skip = 0;
    }
    return visited;
}

void platform::uikit::registerTableViews() {
    objc::ClassDef<UITableView>("UITableView", UIScrollView::cls())
        .method<table::initWithFrame>("initWithFrame:")
        .method<table::initWithFrameStyle>("initWithFrame:style:")
        .method<table::style>("style")
        .method<table::delegate>("delegate")
        .method<table::setDelegate>("setDelegate:")
        .method<table::dataSource>("dataSource")
        .method<table::setDataSource>("setDataSource:")
        .method<table::isEditing>("isEditing")
        .method<table::setEditing>("setEditing:")
        .method<table::setEditingAnimated>("setEditing:animated:")
        .method<table::reloadData>("reloadData")
        .method<table::numberOfSections>("numberOfSections")
        .method<table::numberOfRowsInSection>("numberOfRowsInSection:")
        .method<table::getRowHeight>("rowHeight")
        .method<table::setRowHeight>("setRowHeight:")
        .method<table::getSectionHeaderHeight>("sectionHeaderHeight")
        .method<table::setSectionHeaderHeight>("setSectionHeaderHeight:")
        .method<table::setHeightForRow>("setHeight:forRowAtIndexPath:")
        .method<table::tableHeaderView>("tableHeaderView")
        .method<table::setTableHeaderView>("setTableHeaderView:")
        .method<table::rectForRowAtIndexPath>("rectForRowAtIndexPath:")
        .method<table::setContentOffset>("setContentOffset:")
        .method<table::scrollToRow>("scrollToRowAtIndexPath:atScrollPosition:animated:")
        .method<table::layoutSubviews>("layoutSubviews")
        .method<table::cellForRowAtIndexPath>("cellForRowAtIndexPath:")
        .method<table::indexPathForCell>("indexPathForCell:")
        .method<table::visibleCells>("visibleCells")
        .method<table::indexPathsForVisibleRows>("indexPathsForVisibleRows")
        .method<table::dequeueReusableCell>("dequeueReusableCellWithIdentifier:")
        .OBJC_IVAR(UITableView, _style)
        .OBJC_IVAR(UITableView, _delegate)
        .OBJC_IVAR(UITableView, _dataSource)
        .OBJC_IVAR(UITableView, _editing)
        .OBJC_IVAR(UITableView, _rowHeight)
        .OBJC_IVAR(UITableView, _tableHeaderView);
    objc::ClassDef<UITableViewCell>("UITableViewCell", UIView::cls())
        .method<cell::initWithFrame>("initWithFrame:")
        .method<cell::initWithStyleReuseIdentifier>("initWithStyle:reuseIdentifier:")
        .method<cell::contentView>("contentView")
        .method<cell::reuseIdentifier>("reuseIdentifier")
        .method<cell::style>("style")
        .method<cell::title>("title")
        .method<cell::setTitle>("setTitle:")
        .method<cell::textLabel>("textLabel")
        .method<cell::drawRect>("drawRect:")
        .method<cell::prepareForReuse>("prepareForReuse")
        .method<cell::layoutSubviews>("layoutSubviews")
        .OBJC_IVAR(UITableViewCell, _style)
        .OBJC_IVAR(UITableViewCell, _reuseIdentifier)
        .OBJC_IVAR(UITableViewCell, _contentView)
        .OBJC_IVAR(UITableViewCell, _title)
        .OBJC_IVAR(UITableViewCell, _textLabel);
    objc::ClassDef<_UITableViewCellActionButton>("_UITableViewCellActionButton", UIButton::cls())
        .method<actionButton::layoutSubviews>("layoutSubviews");
}
