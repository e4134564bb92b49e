// The list screens' replacements: artwork reload of marked rows, the delete
// confirmation, and the song cell's slide.
#include "ListScreenReplacements.h"

#include "Cantrel.h"
#include "Cantrel_Tools.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "MessageView.h"
#include "NSObject+BKAssociatedObjects.h"
#include "QueueAccessors.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>

#include <cstdlib>
#include <optional>

Slot<id(MusicTableViewController*, SEL, UITableView*, NSIndexPath*)>
    _tableView_cellForRowAtIndexPath$MusicTableViewController;
Slot<void(MusicTableViewController*, SEL, UITableView*, NSInteger, NSIndexPath*)>
    _tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController;

UIView* currentContentView = nullptr;

namespace {

// How long the "Failed" badge of a delete the library kept out stays.
constexpr double kFailedBadgeInterval = 1.0;

bool isKindOfNamed(id object, const char* className) {
    Class cls = objc_getClass(className);
    return object != nil && cls != nil && objc_msgSend<BOOL(Class)>(object, "isKindOfClass:"_sel, cls);
}

// The entity a table row shows: the data source's index path keeps the row
// and takes section = s - |sectionForDataSourceSection:(s) - s|. A section
// that would fall below 0 shows no entity.
id entityOfRow(MusicTableViewController* controller, NSIndexPath* indexPath) {
    if (controller == nil || indexPath == nil) return nil;
    NSInteger section = objc_msgSend<NSInteger()>(indexPath, "section"_sel);
    NSInteger row = objc_msgSend<NSInteger()>(indexPath, "row"_sel);
    long t = objc_msgSend<int(NSInteger)>(controller, "sectionForDataSourceSection:"_sel, section);
    long corrected = section - std::labs(t - section);
    if (corrected < 0) return nil;
    id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row,
                                                     corrected);
    id source = objc_msgSend<id()>(controller, "dataSource"_sel);
    return source == nil ? nil : objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, path);
}

// The media item that stands for an entity: a collection's representative
// item, an item itself; nil for anything else.
id itemOfEntity(id entity) {
    if (isKindOfNamed(entity, "MPConcreteMediaItemCollection"))
        return objc_msgSend<id()>(entity, "representativeItem"_sel);
    if (isKindOfNamed(entity, "MPConcreteMediaItem")) return entity;
    return nil;
}

// The entity's persistent id, or none for a row that shows no entity.
std::optional<unsigned long long> persistentIDOf(id entity) {
    if (entity == nil || !objc_msgSend<BOOL(SEL)>(entity, "respondsToSelector:"_sel, "persistentID"_sel))
        return std::nullopt;
    return objc_msgSend<unsigned long long()>(entity, "persistentID"_sel);
}

// The item's artwork from the artwork object, else from the library's
// artwork file; nil when neither yields one. An artwork without a relative
// path has no file: nil.
id reloadedArtwork(UITableView* tableView, id item) {
    id picture = objc_msgSend<id(id)>(tableView, "getMPMediaItemArtworkImage:"_sel,
                                      objc_msgSend<id()>(item, "artwork"_sel));
    if (picture != nil) return picture;
    Class library = objc_getClass("ML3MusicLibrary");
    if (library == nil) return nil;
    id artwork = objc_msgSend<id(unsigned long long)>(objc_msgSend<id()>(library, "sharedLibrary"_sel),
                                                      "fetchItemArtworkForPersistentID:"_sel,
                                                      objc_msgSend<unsigned long long()>(item, "persistentID"_sel));
    id relative = artwork == nil ? nil : objc_msgSend<id()>(artwork, "relativePath"_sel);
    if (relative == nil) return nil;
    id file = objc_msgSend<id(id)>("//var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals"_ns,
                                   "stringByAppendingPathComponent:"_sel, relative);
    return objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, file);
}

struct ConfirmationText {
    const char* className;
    const char* text;
};

constexpr ConfirmationText kConfirmationTexts[] = {
    {"MusicSongsViewController", "Are you sure you want to delete this track?"},
    {"MusicAlbumsDetailViewController", "Are you sure you want to delete this track?"},
    {"MusicPlaylistSongsViewController", "Are you sure you want to delete this track?"},
    {"MusicAlbumsViewController", "Are you sure you want to delete this album?"},
    {"MusicArtistsViewController", "Are you sure you want to delete this artist?"},
    {"MusicMoreListController", "Are you sure you want to delete this?"},
    {"MusicCompilationsViewController", "Are you sure you want to delete this compilation?"},
    {"MusicComposersViewController", "Are you sure you want to delete this composer?"},
    {"MusicGenresViewController", "Are you sure you want to delete this genre?"},
    {"MusicPlaylistsListViewController", "Are you sure you want to delete this playlist?"},
};

void endEditing(UITableView* tableView) { objc_msgSend<void(BOOL)>(tableView, "setEditing:"_sel, NO); }

// The question itself, on the main queue. The entity's persistent id is
// read now: "Delete" deletes only while the row still shows that entity.
void askBeforeDelete(MusicTableViewController* self, SEL cmd, UITableView* tableView, NSInteger style,
                     NSIndexPath* indexPath, NSString* text) {
    Strong<MusicTableViewController> controller(self);
    Strong<UITableView> table(tableView);
    Strong<NSIndexPath> path(indexPath);
    std::optional<unsigned long long> asked = persistentIDOf(entityOfRow(self, indexPath));

    NSInteger alertStyle = Cantrel_isPad() ? UIAlertControllerStyleAlert
                                                          : UIAlertControllerStyleActionSheet;
    id alert = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(),
                                                   "alertControllerWithTitle:message:preferredStyle:"_sel, nil, text,
                                                   alertStyle);
    id remove = objc_msgSend<id(id, NSInteger, id)>(
        UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Delete"_ns, UIAlertActionStyleDestructive,
        objc_block<void(id)>([controller, table, path, style, cmd, asked](id) {
            if (persistentIDOf(entityOfRow(controller.get(), path.get())) != asked) {
                CLog("** Cantrel ** delete: the row shows another entity now; nothing deleted");
                endEditing(table.get());
                return;
            }
            // A delete the library kept out (locked, damaged) says so.
            platform::MediaLibraryWait wait;
            unsigned long failuresBefore = platform::mediaLibraryReadFailures().total();
            _tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController(controller.get(), cmd, table.get(),
                                                                                     style, path.get());
            if (platform::mediaLibraryReadFailures().total() != failuresBefore)
                MessageViewShow(controller.get(), "Failed"_ns, kFailedBadgeInterval, IconViewTagDiscCross,
                                static_cast<int>(getViewIndex(controller.get())));
        }));
    id cancel = objc_msgSend<id(id, NSInteger, id)>(UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel,
                                                    "Cancel"_ns, UIAlertActionStyleCancel,
                                                    objc_block<void(id)>([table](id) { endEditing(table.get()); }));
    objc_msgSend<void(id)>(alert, "addAction:"_sel, remove);
    objc_msgSend<void(id)>(alert, "addAction:"_sel, cancel);
    objc_msgSend<void(id)>(objc_msgSend<id()>(alert, "view"_sel), "setTintColor:"_sel,
                           objc_msgSend<id(double, double, double, double)>(
                               UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, 0.0, 122.0 / 255.0, 1.0, 1.0));
    objc_msgSend<void(id, BOOL, id)>(self, "presentViewController:animated:completion:"_sel, alert, YES, nil);
    // Refused (another controller is up): the row closes, nothing is deleted.
    if (objc_msgSend<id()>(alert, "presentingViewController"_sel) == nil) endEditing(tableView);
}

}  // namespace

NSString* deleteConfirmationText(id controller) {
    for (const ConfirmationText& entry : kConfirmationTexts)
        if (isKindOfNamed(controller, entry.className)) return NSString::make(entry.text);
    return ""_ns;
}

id tableView_cellForRowAtIndexPath$MusicTableViewController(MusicTableViewController* self, SEL _cmd,
                                                            UITableView* tableView, NSIndexPath* indexPath) {
    id cell = _tableView_cellForRowAtIndexPath$MusicTableViewController(self, _cmd, tableView, indexPath);
    if (!isKindOfNamed(cell, "MusicSongListTableViewCell") && !isKindOfNamed(cell, "MusicMediaTableViewCell"))
        return cell;
    id item = itemOfEntity(entityOfRow(self, indexPath));
    if (item == nil) return cell;
    id mark = objc_msgSend<id(const void*)>(item, "associatedValueForKey:"_sel, kReloadImageKey);
    if (mark == nil || objc_msgSend<long long()>(mark, "longLongValue"_sel) != 1) return cell;

    id picture = reloadedArtwork(tableView, item);
    objc_msgSend<void(id, BOOL)>(cell, "setArtworkImage:animated:"_sel, picture, YES);
    id* content = objc_ivarPointer<id>(cell, "_mediaCellContentView");
    if (content != nullptr && *content != nil) {
        objc_msgSend<void(id, BOOL)>(*content, "setArtworkImage:animated:"_sel, picture, YES);
        objc_msgSend<void(id)>(*content, "setArtworkImage:"_sel, picture);
        objc_msgSend<void()>(*content, "reloadContent"_sel);
        objc_msgSend<void()>(*content, "setNeedsContentReload"_sel);
    }
    return cell;
}

void tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController(MusicTableViewController* self, SEL _cmd,
                                                                             UITableView* tableView,
                                                                             NSInteger editingStyle,
                                                                             NSIndexPath* indexPath) {
    CLog("** Cantrel ** _tableView_commitEditingStyle_forRowAtIndexPath$MusicSongsViewController");
    NSString* text = deleteConfirmationText(self);
    // Only a delete is asked about; an insert goes to the app at once.
    if (!ask_before_delete || editingStyle != UITableViewCellEditingStyleDelete) {
        _tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController(self, _cmd, tableView, editingStyle,
                                                                                 indexPath);
        return;
    }
    Strong<MusicTableViewController> controller(self);
    Strong<UITableView> table(tableView);
    Strong<NSIndexPath> path(indexPath);
    Strong<NSString> question(text);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [=] {
        dispatch_async(dispatch_get_main_queue(), [=] {
            askBeforeDelete(controller.get(), _cmd, table.get(), editingStyle, path.get(), question.get());
        });
    });
}

void songsViewControllerCellSwipe(id self, SEL, id) {
    id* content = objc_ivarPointer<id>(self, "_mediaCellContentView");
    if (content == nullptr || *content == nil) return;
    currentContentView = static_cast<UIView*>(*content);
    Strong<NSObject> view(static_cast<NSObject*>(*content));
    CGRect frame = objc_msgSend<CGRect()>(view.get(), "frame"_sel);
    frame.origin.x = 250;
    objc_msgSend<void(double, id, id)>(
        UIView::cls(), "animateWithDuration:animations:completion:"_sel, 0.3,
        objc_block<void()>([view, frame] { objc_msgSend<void(CGRect)>(view.get(), "setFrame:"_sel, frame); }),
        objc_block<void(BOOL)>([](BOOL) {}));
}
