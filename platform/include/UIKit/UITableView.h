// UITableView: a scrolling list of rows in sections, filled by its data
// source.
//
//   initWithFrame:style:                     id(CGRect, NSInteger)
//   initWithFrame:                           id(CGRect)   -> style Plain
//   style                                    NSInteger()
//   delegate / setDelegate:                  id() / void(id)     not retained
//   dataSource / setDataSource:              id() / void(id)     not retained
//   isEditing / setEditing:                  BOOL() / void(BOOL)
//   reloadData                               void()   asks the data source for
//                                            numberOfSectionsInTableView: (NSInteger(id), else 1)
//                                            and tableView:numberOfRowsInSection: (NSInteger(id, NSInteger))
//   numberOfSections                         NSInteger()
//   numberOfRowsInSection:                   NSInteger(NSInteger)
//   _swipeActionButtonsForRowAtIndexPath:    id(id)   NSArray of the row's swipe buttons
#pragma once

#include <UIKit/UIScrollView.h>

#include <vector>

using UITableViewStyle = NSInteger;
inline constexpr UITableViewStyle UITableViewStylePlain = 0;
inline constexpr UITableViewStyle UITableViewStyleGrouped = 1;

struct UITableView : UIScrollView {
    OBJC_CLASS(UITableView)

    UITableViewStyle _style = UITableViewStylePlain;
    id _delegate = nil;
    id _dataSource = nil;
    BOOL _editing = NO;
    // Rows per section as of the last reloadData.
    std::vector<NSInteger> _rowCounts;
};
