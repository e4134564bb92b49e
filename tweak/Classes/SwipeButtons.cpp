// The swipe buttons of the list rows: the system's delete button, restyled,
// and the library's edit, play last, play next, play now and export buttons,
// each painted in the colour of its tag.
#include "SwipeButtons.h"

#include "Cantrel.h"
#include "Cantrel_Tools.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "QueueAccessors.h"

#include "QueueHandler.h"
#include <Foundation/Foundation.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>

Slot<id(UITableView*, SEL, NSIndexPath*)> __swipeActionButtonsForRowAtIndexPath$UITableView;
Slot<void(_UITableViewCellActionButton*, SEL)> _layoutSubviews$_UITableViewCellActionButton;

namespace {

// How long a queue button's badge stays, in seconds.
constexpr double kQueueBadgeInterval = 0.5;

// Row heights that pick the long and short background pictures.
constexpr CGFloat kLongRowAbove = 65.0;
constexpr CGFloat kShortRowBelow = 48.0;

struct ButtonColour {
    int red, green, blue;
};

// By tag, 1 to 6: delete, edit, play now, play next, export, play last.
constexpr ButtonColour kColours[] = {
    {254, 59, 47}, {199, 199, 204}, {255, 169, 0}, {255, 149, 0}, {255, 196, 55}, {255, 124, 0},
};

bool isQueueStyle(int style) { return style == PLAY_NOW || style == PLAY_NEXT || style == PLAY_LAST; }

NSInteger tagForStyle(int style) {
    switch (style) {
        case EDIT: return SwipeButtonTagEdit;
        case PLAY_NOW: return SwipeButtonTagPlayNow;
        case PLAY_NEXT: return SwipeButtonTagPlayNext;
        case EXPORT: return SwipeButtonTagExport;
        case PLAY_LAST: return SwipeButtonTagPlayLast;
        default: return 0;
    }
}

// The file name pattern of a style's background picture, or nullptr.
const char* picturePattern(int style) {
    switch (style) {
        case PLAY_NOW: return "play_now%@%@.png";
        case PLAY_NEXT: return "play_next%@%@.png";
        case EXPORT: return "export%@%@.png";
        case PLAY_LAST: return "play_last%@%@.png";
        default: return nullptr;
    }
}

NSString* sizeSuffix(CGFloat rowHeight) {
    if (rowHeight > kLongRowAbove) return "_long"_ns;
    if (rowHeight < kShortRowBelow) return "_short"_ns;
    return ""_ns;
}

// The badge of a queue button: its text and icon.
struct QueueBadge {
    NSString* text;
    NSInteger iconTag;
};

QueueBadge queueBadge(int style) {
    switch (style) {
        case PLAY_NOW: return {"Play Now!"_ns, IconViewTagDiscPlay};
        case PLAY_NEXT: return {"Play Next!"_ns, IconViewTagDiscPlayNext};
        default: return {"Play Last!"_ns, IconViewTagDiscPlayLast};
    }
}

// A queue button's tap: close the swipe, show the badge, queue the entry.
void runQueueAction(int style, ItemEntry* entry, UITableView* tableView) {
    objc_msgSend<void(BOOL)>(tableView, "setEditing:"_sel, NO);

    QueueBadge badge = queueBadge(style);
    id host = entry->currentViewController.get();
    Class albumDetail = NSClassFromString("MusicAlbumsDetailViewController"_ns);
    if (albumDetail != nil && objc_msgSend<BOOL(Class)>(host, "isKindOfClass:"_sel, albumDetail))
        host = objc_msgSend<id()>(host, "parentViewController"_sel);

    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id message = objc_msgSend<id()>(objc_getClass("MessageView"), "alloc"_sel);
    message = objc_msgSend<id(NSString*, double, NSInteger, CGRect, int)>(
        message, "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, badge.text,
        kQueueBadgeInterval, badge.iconTag, screen, static_cast<int>(entry->viewIndex));
    objc_msgSend<void(id)>(objc_msgSend<id()>(host, "view"_sel), "addSubview:"_sel, message);
    objc_release(message);

    Class queueHandler = objc_getClass("QueueHandler");
    int prepared = objc_msgSend<int(int, id, id)>(queueHandler, "preparePlayNowOrNext:itemEntry:tableView:"_sel, style,
                                                  entry, tableView);
    if (prepared != PREPARE_DONE)
        objc_msgSend<void(int, id, id)>(queueHandler, "playNowOrNext:itemEntry:tableView:"_sel, style, entry, tableView);
}

void runAction(int style, ItemEntry* entry, UITableView* tableView) {
    switch (style) {
        case EDIT:
            objc_msgSend<void(id, id, long)>(objc_getClass("EditHandler"),
                                             "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel, nil, entry, -1L);
            break;
        case EXPORT:
            objc_msgSend<void(id, int)>(objc_getClass("FileHandler"), "exportAlbum:andType:"_sel, entry,
                                        static_cast<int>(entry->viewIndex));
            break;
        default: runQueueAction(style, entry, tableView); break;
    }
}

// Whether the export button belongs on a row of this screen.
bool offersExport(MusicViewIndex viewIndex, ItemEntry* entry) {
    switch (viewIndex) {
        case kViewIndexSongs:
        case kViewIndexAlbumTracks:
        case kViewIndexPlaylistSongs:
        case kViewIndexFlipsideAlbum: return !hide_export_button;
        case kViewIndexArtists:
        case kViewIndexAlbums:
        case kViewIndexPlaylists: {
            if (hide_export_button) return false;
            id collection = entry->mediaItemCollection.get();
            if (collection == nil) return false;
            id items = objc_msgSend<id()>(collection, "items"_sel);
            return objc_msgSend<NSUInteger()>(items, "count"_sel) > 0;
        }
        default: return false;
    }
}

NSString* buttonText(const char* selector) {
    return objc_msgSend<NSString*()>(Cantrel_Tools::cls(), sel_registerName(selector));
}

}  // namespace

static _UITableViewCellActionButton* createExtraButton(int style, NSString* title, UITableView* tableView,
                                                       ItemEntry* entry) {
    auto* button = static_cast<_UITableViewCellActionButton*>(objc_msgSend<id(NSInteger)>(
        _UITableViewCellActionButton::cls(), "actionButtonWithStyle:"_sel, isQueueStyle(style) ? 2 : 1));

    // The handler keeps the record and the table view alive for as long as
    // the row action lives. The screen the record names is the record's
    // plain reference: when it has gone before the tap, the record stops
    // naming it rather than point at a freed object.
    Strong<ItemEntry> keptEntry(entry);
    Strong<UITableView> keptTable(tableView);
    Weak<objc_object> screen(entry->currentViewController.get());
    NSBlock* handler = objc_block<UITableViewRowActionHandler>([style, keptEntry, keptTable, screen](id, id) {
        Strong<objc_object> live = screen.lock();
        if (!live) keptEntry->currentViewController = nil;
        runAction(style, keptEntry.get(), keptTable.get());
    });
    id action = objc_msgSend<id(NSInteger, NSString*, id)>(UITableViewRowAction::cls(),
                                                           "rowActionWithStyle:title:handler:"_sel,
                                                           UITableViewRowActionStyleNormal, title, handler);
    objc_msgSend<void(id)>(button, "setAction:"_sel, action);
    objc_msgSend<void(NSString*, NSUInteger)>(button, "setTitle:forState:"_sel, title, UIControlStateNormal);

    if (const char* pattern = picturePattern(style)) {
        CGRect row = objc_msgSend<CGRect(NSIndexPath*)>(tableView, "rectForRowAtIndexPath:"_sel,
                                                        entry->origionalIndexPath.get());
        NSString* idiom = Cantrel_isPad() ? "_ipad"_ns : ""_ns;
        NSString* name = NSStringWithFormat(pattern, sizeSuffix(CGRectGetHeight(row)), idiom);
        NSString* path =
            objc_msgSend<NSString*(NSString*)>(CantrelBundlePath(), "stringByAppendingPathComponent:"_sel, name);
        id picture = objc_msgSend<id(NSString*)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, path);
        objc_msgSend<void(id, NSUInteger)>(button, "setBackgroundImage:forState:"_sel, picture, UIControlStateNormal);
    }

    objc_msgSend<void(NSInteger)>(button, "setTag:"_sel, tagForStyle(style));
    return button;
}

id _swipeActionButtonsForRowAtIndexPath$UITableView(UITableView* self, SEL _cmd, NSIndexPath* indexPath) {
    id systemButtons = __swipeActionButtonsForRowAtIndexPath$UITableView(self, _cmd, indexPath);
    MusicViewIndex viewIndex = getViewIndex(objc_msgSend<id()>(self, "delegate"_sel));
    if (viewIndex == kViewIndexNone) return systemButtons;

    auto* entry = static_cast<ItemEntry*>(
        objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel));
    objc_autorelease(entry);
    assignMediaItem(self, indexPath, viewIndex, entry, nil);
    CLog("** Cantrel ** _swipeActionButtonsForRowAtIndexPath$UITableView, viewIndex: %ld", viewIndex);

    id deleteButton = nil;
    if (objc_msgSend<NSUInteger()>(systemButtons, "count"_sel) > 0) {
        deleteButton = objc_msgSend<id(NSUInteger)>(systemButtons, "objectAtIndex:"_sel, 0);
        objc_msgSend<void(NSString*, NSUInteger)>(deleteButton, "setTitle:forState:"_sel,
                                                  buttonText("getDeleteButtonText"), UIControlStateNormal);
        objc_msgSend<void(NSInteger)>(deleteButton, "setTag:"_sel, SwipeButtonTagDelete);
    }

    id editButton = nil;
    if (!hide_edit_button) editButton = createExtraButton(EDIT, buttonText("getEditButtonText"), self, entry);

    id playNow = nil, playNext = nil, playLast = nil;
    if (!hide_queue_buttons) {
        playNow = createExtraButton(PLAY_NOW, buttonText("getPlayNowButtonText"), self, entry);
        playNext = createExtraButton(PLAY_NEXT, buttonText("getPlayNextButtonText"), self, entry);
        playLast = createExtraButton(PLAY_LAST, buttonText("getPlayLastButtonText"), self, entry);
    }

    id exportButton = nil;
    if (offersExport(viewIndex, entry))
        exportButton = createExtraButton(EXPORT, buttonText("getExportButtonText"), self, entry);

    id buttons = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    for (id button : {deleteButton, editButton, playLast, playNext, playNow, exportButton})
        if (button != nil) objc_msgSend<void(id)>(buttons, "addObject:"_sel, button);
    return objc_msgSend<id(id)>(NSArray::cls(), "arrayWithArray:"_sel, buttons);
}

void layoutSubviews$_UITableViewCellActionButton(_UITableViewCellActionButton* self, SEL _cmd) {
    NSInteger tag = objc_msgSend<NSInteger()>(self, "tag"_sel);
    if (tag >= SwipeButtonTagDelete && tag <= SwipeButtonTagPlayLast) {
        const ButtonColour& c = kColours[tag - 1];
        id colour = objc_msgSend<id(double, double, double, double)>(
            UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, c.red / 255.0, c.green / 255.0, c.blue / 255.0, 1.0);
        objc_msgSend<void(id)>(self, "setBackgroundColor:"_sel, colour);
    }
    _layoutSubviews$_UITableViewCellActionButton(self, _cmd);
}
