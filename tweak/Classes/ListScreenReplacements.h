// The list screens' replacements: a row whose item was marked after an
// artwork import takes its artwork anew, a swipe-delete is confirmed by the
// user first (while ask_before_delete is set), and a song cell can slide its
// content aside. The entries stand in the installation table (Cantrel.cpp).
#pragma once

#include <objc/NSObject.h>
#include <objc/runtime.h>

struct MusicTableViewController;
struct UITableView;
struct NSIndexPath;
struct NSString;
struct UIView;

extern Slot<id(MusicTableViewController*, SEL, UITableView*, NSIndexPath*)>
    _tableView_cellForRowAtIndexPath$MusicTableViewController;
extern Slot<void(MusicTableViewController*, SEL, UITableView*, NSInteger, NSIndexPath*)>
    _tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController;

id tableView_cellForRowAtIndexPath$MusicTableViewController(MusicTableViewController* self, SEL _cmd,
                                                            UITableView* tableView, NSIndexPath* indexPath);
void tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController(MusicTableViewController* self, SEL _cmd,
                                                                             UITableView* tableView,
                                                                             NSInteger editingStyle,
                                                                             NSIndexPath* indexPath);

// The added song-cell method: slides the cell's media content view to x 250.
void songsViewControllerCellSwipe(id self, SEL _cmd, id gesture);

// The content view last slid (not retained), or nil.
extern UIView* currentContentView;

// The delete question's text for a list controller ("" for a controller of
// no listed class).
NSString* deleteConfirmationText(id controller);
