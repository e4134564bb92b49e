// Entry points for the programs that host the library (the Music host's
// commands and tests reach the library's record through these; the library
// itself does not use them).
#include "Cantrel.h"
#include "ItemEntry.h"

#include <Foundation/Foundation.h>
#include <UIKit/UITableView.h>

// A new autoreleased record for a row of a list screen's table, filled as a
// swipe on that row would fill it.
extern "C" CANTREL_EXPORT id Cantrel_itemEntryForRow(id controller, id tableView, NSInteger section, NSInteger row) {
    auto* entry = static_cast<ItemEntry*>(objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel));
    autorelease(entry);
    id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
    assignMediaItem(static_cast<UITableView*>(tableView), static_cast<NSIndexPath*>(path), getViewIndex(controller),
                    entry, nil);
    return entry;
}
