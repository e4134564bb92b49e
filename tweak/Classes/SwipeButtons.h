// The swipe buttons of the list rows: the replacement of UITableView's
// _swipeActionButtonsForRowAtIndexPath:, which keeps the system's delete
// button (restyled) and adds the library's edit, play last, play next, play
// now and export buttons, and the replacement of
// _UITableViewCellActionButton's layoutSubviews, which paints each button in
// the colour of its tag. The hook file's installation table installs both.
#pragma once

#include <objc/runtime.h>

#include <cstdint>

// A library button; the queue styles (2, 3, 5) are the queue's insert styles.
enum ExtraButtonStyle : int32_t {
    EDIT = 1,
    PLAY_NOW = 2,
    PLAY_NEXT = 3,
    EXPORT = 4,
    PLAY_LAST = 5,
};

// The UIKit tags of the swipe buttons; each tag has its colour.
enum SwipeButtonTag : NSInteger {
    SwipeButtonTagDelete = 1,
    SwipeButtonTagEdit = 2,
    SwipeButtonTagPlayNow = 3,
    SwipeButtonTagPlayNext = 4,
    SwipeButtonTagExport = 5,
    SwipeButtonTagPlayLast = 6,
};

struct UITableView;
struct NSIndexPath;
struct _UITableViewCellActionButton;

id _swipeActionButtonsForRowAtIndexPath$UITableView(UITableView* self, SEL _cmd, NSIndexPath* indexPath);
extern Slot<id(UITableView*, SEL, NSIndexPath*)> __swipeActionButtonsForRowAtIndexPath$UITableView;
void layoutSubviews$_UITableViewCellActionButton(_UITableViewCellActionButton* self, SEL _cmd);
extern Slot<void(_UITableViewCellActionButton*, SEL)> _layoutSubviews$_UITableViewCellActionButton;
