// UITableView: a scrolling list of rows in sections, filled by its data
// source.
//
//   initWithFrame:style:                     id(CGRect, NSInteger)
//   initWithFrame:                           id(CGRect)   -> style Plain
//   style                                    NSInteger()
//   delegate / setDelegate:                  id() / void(id)     not retained
//   dataSource / setDataSource:              id() / void(id)     not retained
//   isEditing / setEditing:                  BOOL() / void(BOOL)   setEditing: NO takes the
//                                            swipe buttons off the visible cells; a swipe
//                                            edits too, without indenting any row
//   setEditing:animated:                     void(BOOL, BOOL)   -> setEditing:
//   reloadData                               void()   asks the data source for
//                                            numberOfSectionsInTableView: (NSInteger(id), else 1)
//                                            and tableView:numberOfRowsInSection: (NSInteger(id, NSInteger));
//                                            the visible cells go back to the reuse pool
//   numberOfSections                         NSInteger()
//   numberOfRowsInSection:                   NSInteger(NSInteger)
//   _swipeActionButtonsForRowAtIndexPath:    id(id)   NSArray of the row's swipe buttons
//
// Geometry. Rows stack from the top: the table header view, then per section
// its header (tableView:heightForHeaderInSection: of the delegate, double(id,
// NSInteger), else sectionHeaderHeight) and its rows. A row's height is, in
// this order: the one set with setHeight:forRowAtIndexPath:, the delegate's
// tableView:heightForRowAtIndexPath: (double(id, id)), rowHeight.
//   rowHeight / setRowHeight:                double() / void(double)   44
//   sectionHeaderHeight / setSectionHeaderHeight:   double() / void(double)   0
//   setHeight:forRowAtIndexPath:             void(double, id)   one row's height; a negative
//                                            height removes it
//   tableHeaderView / setTableHeaderView:    id() / void(id)   retained, a subview at the top
//   rectForRowAtIndexPath:                   CGRect(id)   CGRectZero for a row that does not exist
//   contentSize                              CGSize()   as of the last layout
//
// Visible rows: those whose rectangle meets the window [contentOffset.y,
// contentOffset.y + bounds height). The layout pass (layoutSubviews) makes a
// cell for each visible row that has none through the data source's
// tableView:cellForRowAtIndexPath: (id(id, id)), places it, and tells the
// delegate tableView:willDisplayCell:forRowAtIndexPath: (void(id, id, id))
// when it answers; cells that leave the window go to the reuse pool. The
// first layout loads the data when reloadData has not run yet. The queries
// below lay the table out first when it needs it.
//   cellForRowAtIndexPath:                   id(id)   the visible cell of the row, or nil
//   indexPathForCell:                        id(id)   nil for a cell that is not visible
//   visibleCells                             id()     NSArray, top to bottom
//   indexPathsForVisibleRows                 id()     NSArray, top to bottom
//   dequeueReusableCellWithIdentifier:       id(id)   a pooled cell of that identifier (sent
//                                            prepareForReuse), or nil
//   scrollToRowAtIndexPath:atScrollPosition:animated:   void(id, NSInteger, BOOL)
//                                            moves contentOffset so the row is at the top (1),
//                                            middle (2) or bottom (3), kept within the content
//   setContentOffset:                        void(CGPoint)   asks for a layout
// Editing, selection, row reloads and moves: UITableViewController.h.
#pragma once

#include <UIKit/UIScrollView.h>
#include <UIKit/UITableViewCell.h>

#include <functional>
#include <map>
#include <utility>
#include <vector>

using UITableViewStyle = NSInteger;
inline constexpr UITableViewStyle UITableViewStylePlain = 0;
inline constexpr UITableViewStyle UITableViewStyleGrouped = 1;

using UITableViewScrollPosition = NSInteger;
inline constexpr UITableViewScrollPosition UITableViewScrollPositionNone = 0;
inline constexpr UITableViewScrollPosition UITableViewScrollPositionTop = 1;
inline constexpr UITableViewScrollPosition UITableViewScrollPositionMiddle = 2;
inline constexpr UITableViewScrollPosition UITableViewScrollPositionBottom = 3;

inline constexpr CGFloat UITableViewDefaultRowHeight = 44;

struct UITableView : UIScrollView {
    OBJC_CLASS(UITableView)

    struct VisibleCell {
        NSInteger section;
        NSInteger row;
        Strong<UITableViewCell> cell;
    };

    UITableViewStyle _style = UITableViewStylePlain;
    id _delegate = nil;
    id _dataSource = nil;
    BOOL _editing = NO;
    // Editing only for a swiped row (platform::swipeRow): the rows keep
    // their place and show no editing controls.
    BOOL _swipeEditing = NO;
    BOOL _allowsSelection = YES;
    BOOL _allowsSelectionDuringEditing = NO;
    // Rows per section as of the last reloadData.
    std::vector<NSInteger> _rowCounts;
    BOOL _dataLoaded = NO;
    CGFloat _rowHeight = UITableViewDefaultRowHeight;
    CGFloat _sectionHeaderHeight = 0;
    // (section, row) -> height set by setHeight:forRowAtIndexPath:.
    std::map<std::pair<NSInteger, NSInteger>, CGFloat> _rowHeights;
    UIView* _tableHeaderView = nullptr;  // owned (and a subview)
    // Top to bottom; each cell is also a subview.
    std::vector<VisibleCell> _visibleCells;
    std::vector<Strong<UITableViewCell>> _reusableCells;

    ~UITableView() override;
};

namespace platform {

// What a reader going through a long list does: `count` rows from the
// `first` in table order (fewer at the end of the table; row positions
// count across sections), each from a cell that the data source's
// tableView:cellForRowAtIndexPath: makes; the cell goes back to the table's
// reuse pool once `visit` has seen it, as one that scrolls off does, so any
// number of rows takes the memory of one cell. The number of rows visited.
size_t forEachRowCell(UITableView* tableView, unsigned long long first, unsigned long long count,
                      const std::function<void(NSInteger section, NSInteger row, UITableViewCell* cell)>& visit);

}  // namespace platform
