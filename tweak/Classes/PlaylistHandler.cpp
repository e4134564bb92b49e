#include "PlaylistHandler.h"

#include "Cantrel.h"
#include "CustomDrawView.h"
#include "EditHandler.h"
#include "IconView.h"
#include "MessageView.h"
#include "ParentSongAlbumArtistView.h"
#include "Sends.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MPMediaItemCollection.h>
#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>

#include <mutex>

using cantrel::set;
using cantrel::get;
using cantrel::countOf;
using cantrel::objectAt;

namespace {

using Panel = ParentSongAlbumArtistView;

constexpr int kMessagePairs = 6;
constexpr double kAlertBottom = 45;
constexpr double kBadgeInterval = 1.0;
constexpr int kBadgeViewIndex = 11;

id rowsNamed(Panel* panel, NSString* key) {
    return objc_msgSend<id(id)>(panel->genreDictionary.get(), "objectForKey:"_sel, key);
}

// The outcome of an add, over the presenting controller's view.
void showOutcome(id controller, bool added) {
    MessageViewShow(controller, added ? "Done"_ns : "Failed"_ns, kBadgeInterval,
                    added ? IconViewTagDiscPlus : IconViewTagDiscCross, kBadgeViewIndex);
}

void showOutcomeOnMainQueue(const Weak<NSObject>& controller, bool added) {
    Weak<NSObject> target = controller;
    dispatch_async(dispatch_get_main_queue(), [target, added] {
        Strong<NSObject> live = target.lock();
        showOutcome(objc::as_id(live.get()), added);
    });
}

// --- The picker's toolbar ------------------------------------------------------

struct PlaylistPickerToolbarTarget : NSObject {
    OBJC_CLASS(PlaylistPickerToolbarTarget)

    Weak<Panel> panel;
    Weak<NSObject> picker;
};

// Done commits the row the picker shows: the first row brings the keyboard
// for a new playlist's name, another shows its name in the field.
void donePickerView(PlaylistPickerToolbarTarget* self, SEL, id) {
    CLog("donePickerView");
    Strong<Panel> panel = self->panel.lock();
    if (!panel) return;
    id names = rowsNamed(panel, "name"_ns);
    NSInteger shown = objc_msgSend<NSInteger(NSInteger)>(self->picker.get(), "selectedRowInComponent:"_sel, 0);
    if (shown >= 0 && static_cast<NSUInteger>(shown) < countOf(names)) panel->playlistIndex = shown;
    id field = panel->titleTextField.get();
    objc_msgSend<BOOL()>(field, "resignFirstResponder"_sel);
    if (panel->playlistIndex == 0) {
        set(field, "setInputView:"_sel, nil);
        objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel);
    } else {
        set(field, "setText:"_sel, objectAt(names, static_cast<NSUInteger>(panel->playlistIndex)));
    }
}

// Cancel puts the picker back on the committed row; the field keeps its text.
void cancelPickerView(PlaylistPickerToolbarTarget* self, SEL, id) {
    CLog("cancelPickerView");
    Strong<Panel> panel = self->panel.lock();
    if (!panel) return;
    objc_msgSend<void(NSInteger, NSInteger, BOOL)>(self->picker.get(), "selectRow:inComponent:animated:"_sel,
                                                   panel->playlistIndex, 0, NO);
    objc_msgSend<BOOL()>(panel->titleTextField.get(), "resignFirstResponder"_sel);
}

// --- The class methods ---------------------------------------------------------

void playlistPickerInit(Class, SEL, id panelObj, id, int type) {
    auto* panel = static_cast<Panel*>(panelObj);
    if (panel == nullptr) return;
    id names = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    id lists = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    set(names, "addObject:"_sel, NSString::make(kCreateNewPlaylistRow));
    set(lists, "addObject:"_sel, ""_ns);
    id db = objc_msgSend<id()>(objc_getClass("DBHandler"), "sharedInstance"_sel);
    id playlists = get(objc_msgSend<id()>(objc_getClass("MPMediaQuery"), "playlistsQuery"_sel), "collections"_sel);
    for (NSUInteger i = 0, n = countOf(playlists); i < n; ++i) {
        id playlist = objectAt(playlists, i);
        auto pid = static_cast<long long>(objc_msgSend<unsigned long long()>(playlist, "persistentID"_sel));
        if (objc_msgSend<BOOL(long long)>(db, "getIsPlaylistHidden:"_sel, pid)) continue;
        id name = objc_msgSend<id(id)>(playlist, "valueForProperty:"_sel, MPMediaPlaylistPropertyName);
        set(names, "addObject:"_sel, name != nil ? name : ""_ns);
        set(lists, "addObject:"_sel, playlist);
    }
    id rows = objc::as_id(NSDictionary::make({{"name"_ns, names}, {"playList"_ns, lists}}));
    panel->genreDictionary = Strong<NSObject>::adopt(static_cast<NSObject*>(get(rows, "copy"_sel)));

    auto* target = static_cast<PlaylistPickerToolbarTarget*>(
        objc_msgSend<id()>(objc_msgSend<id()>(PlaylistPickerToolbarTarget::cls(), "alloc"_sel), "init"_sel));
    id picker = nil;
    id container = EditPickerInputView(panel, type, target, "cancelPickerView:"_sel, "donePickerView:"_sel, &picker);
    target->panel = panel;
    target->picker = static_cast<NSObject*>(picker);
    objc_release(target);

    id field = panel->titleTextField.get();
    set(field, "setInputView:"_sel, container);
    set(field, "setDelegate:"_sel, panel);
    panel->playlistIndex = 0;
    objc_msgSend<void(NSInteger)>(picker, "reloadComponent:"_sel, 0);
    objc_msgSend<void(NSInteger, NSInteger, BOOL)>(picker, "selectRow:inComponent:animated:"_sel, 0, 0, NO);
}

// The sheet's panel, or nil.
Panel* panelOf(id alert) {
    id panel = objc_msgSend<id(NSInteger)>(get(alert, "view"_sel), "viewWithTag:"_sel, kPanelTag);
    return objc_isKindOfClass(panel, Panel::cls()) ? static_cast<Panel*>(panel) : nullptr;
}

// Closes the sheet; its field gives the keyboard or picker up first.
void closeSheet(id alert) {
    if (Panel* panel = panelOf(alert)) objc_msgSend<BOOL()>(panel->titleTextField.get(), "resignFirstResponder"_sel);
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, YES, nil);
}

// The playlist that "Done" adds to: a new one for the first row, else the
// committed row's; nil when none can be had.
id chosenPlaylist(Panel* panel) {
    if (panel == nullptr) return nil;
    long row = panel->playlistIndex;
    if (row == 0) {
        id name = objc_msgSend<id(id)>(NSString::cls(), "stringFromObject:"_sel,
                                       get(panel->titleTextField.get(), "text"_sel));
        id library = objc_msgSend<id()>(objc::as_id(NSClassFromString("MPMediaLibrary"_ns)), "defaultMediaLibrary"_sel);
        CLog("*#*#*#*#*#* mediaLibrary: %@", library);
        return objc_msgSend<id(id)>(library, "addPlaylistWithName:"_sel, name);
    }
    id lists = rowsNamed(panel, "playList"_ns);
    if (row < 0 || static_cast<NSUInteger>(row) >= countOf(lists)) return nil;
    return objectAt(lists, static_cast<NSUInteger>(row));
}

id buildAlertActionBtn(Class, SEL, int kind, id alert, id item, id controller) {
    if (kind != -1 && kind != 0) return nil;
    Weak<NSObject> weakAlert(static_cast<NSObject*>(alert));
    if (kind == -1) {
        return objc_msgSend<id(id, NSInteger, id)>(
            UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Cancel"_ns, UIAlertActionStyleCancel,
            objc_block<void(id)>([weakAlert](id) {
                Strong<NSObject> a = weakAlert.lock();
                closeSheet(objc::as_id(a.get()));
            }));
    }
    Strong<NSObject> keptItem(static_cast<NSObject*>(item));
    Weak<NSObject> presenter(static_cast<NSObject*>(controller));
    return objc_msgSend<id(id, NSInteger, id)>(
        UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Done"_ns, UIAlertActionStyleDefault,
        objc_block<void(id)>([weakAlert, keptItem, presenter](id) {
            CLog("DONE PRESSED!");
            Strong<NSObject> a = weakAlert.lock();
            Strong<Panel> panel(panelOf(objc::as_id(a.get())));
            closeSheet(objc::as_id(a.get()));
            id playlist = chosenPlaylist(panel.get());
            if (playlist == nil) {
                showOutcomeOnMainQueue(presenter, false);
                return;
            }
            objc_msgSend<void(id, id)>(playlist, "addItem:completionBlock:"_sel, objc::as_id(keptItem.get()),
                                       objc_block<void(id)>([presenter](id error) {
                                           showOutcomeOnMainQueue(presenter, error == nil);
                                       }));
        }));
}

void openPlaylistSelectionView(Class, SEL, id item, id controller) {
    CLog("openPlaylistSelectionViewOnItem - START - mediaItem = %@............................", item);
    if (item == nil || controller == nil) return;
    AutoreleasePool pool;
    // The picker's reads share one wait for a locked library; a picker that
    // could not read the playlists does not open as if there were none.
    platform::MediaLibraryWait wait;
    unsigned long failuresBefore = platform::mediaLibraryReadFailures().total();
    Strong<Panel> panel(EditPanelFromNib("PlaylistSelectionView", PlaylistHandler::cls()));
    if (!panel) return;

    id layer = get(panel, "layer"_sel);
    objc_msgSend<void(double)>(layer, "setCornerRadius:"_sel, 0.5);
    objc_msgSend<void(BOOL)>(layer, "setMasksToBounds:"_sel, YES);
    set(panel, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel));
    id glyph = panel->typeIndicatorDrawView.get();
    objc_msgSend<void(NSInteger)>(glyph, "setTag:"_sel, CustomDrawTagPlaylist);
    objc_msgSend<void(NSInteger)>(glyph, "setSubTag:"_sel, 0);
    objc_msgSend<void()>(glyph, "setNeedsDisplay"_sel);

    id alert = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(),
                                                   "alertControllerWithTitle:message:preferredStyle:"_sel, ""_ns,
                                                   EditSheetMessage(kMessagePairs), UIAlertControllerStyleAlert);
    Class handler = PlaylistHandler::cls();
    objc_msgSend<void(id, id, int)>(handler, "playlistPickerInit:andMediaItemEntry:andContentType:"_sel, panel.get(),
                                    item, static_cast<int>(kPickerPlaylist));

    id alertView = get(alert, "view"_sel);
    CGRect frame = objc_msgSend<CGRect()>(alertView, "frame"_sel);
    objc_msgSend<void(CGRect)>(panel, "setFrame:"_sel, CGRectMake(0, 0, frame.size.width, frame.size.height - kAlertBottom));
    double width = EditSheetFieldWidth(kPickerPlaylist, frame);
    EditSheetSetFieldWidth(panel->constraintWidthTitle.get(), panel->titleTextField.get(), width);
    EditSheetSetFieldWidth(panel->constraintMsgWidth.get(), panel->msgLabel.get(), width);

    objc_msgSend<void(NSInteger)>(panel, "setTag:"_sel, kPanelTag);
    set(alertView, "addSubview:"_sel, panel);
    set(alertView, "setTintColor:"_sel,
        objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, 0.0,
                                                         122.0 / 255.0, 1.0, 1.0));
    for (int kind : {-1, 0}) {
        id action = objc_msgSend<id(int, id, id, id)>(handler, "buildAlertActionBtn:alert:andMediaItem:andViewController:"_sel,
                                                      kind, alert, item, controller);
        if (action != nil) set(alert, "addAction:"_sel, action);
    }

    if (platform::mediaLibraryReadFailures().total() != failuresBefore) {
        CLog("openPlaylistSelectionViewOnItem - the media library could not be read");
        showOutcome(controller, false);
        return;
    }
    Weak<Panel> shown(panel.get());
    objc_msgSend<void(id, BOOL, id)>(controller, "presentViewController:animated:completion:"_sel, alert, YES,
                                     objc_block<void()>([shown] {
                                         Strong<Panel> p = shown.lock();
                                         if (p) objc_msgSend<BOOL()>(p->titleTextField.get(), "becomeFirstResponder"_sel);
                                     }));
}

}  // namespace

void registerPlaylistHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<PlaylistHandler>("PlaylistHandler", NSObject::cls())
            .classMethod<openPlaylistSelectionView>("openPlaylistSelectionViewOnItem:andViewController:", "v@:@@")
            .classMethod<playlistPickerInit>("playlistPickerInit:andMediaItemEntry:andContentType:", "v@:@@i")
            .classMethod<buildAlertActionBtn>("buildAlertActionBtn:alert:andMediaItem:andViewController:", "@@:i@@@");
        objc::ClassDef<PlaylistPickerToolbarTarget>("PlaylistPickerToolbarTarget", NSObject::cls())
            .method<donePickerView>("donePickerView:", "v@:@")
            .method<cancelPickerView>("cancelPickerView:", "v@:@");
    });
}
