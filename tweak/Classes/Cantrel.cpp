// The hook file: start-up, preferences, and the one installation table of
// every method the library replaces in, or adds to, the Music app's classes.
//
// A replacement is named after its selector (colons but the last turned into
// underscores, the last dropped), a "$" and the class; the replaced
// implementation stays in the slot of the same name with a leading
// underscore, and the replacement calls it with its own receiver, selector
// and arguments.
#include "Cantrel.h"
#include "Cantrel_Tools.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "FeederTracking.h"
#include "NavigationOptions.h"
#include "NowPlayingButtons.h"
#include "QueueAccessors.h"
#include "FileHandler.h"
#include "FlipsideAlbumView.h"
#include "ID3Writer.h"
#include "ListScreenReplacements.h"
#include "SwipeButtons.h"

#include <CoreFoundation/CFNotificationCenter.h>
#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTabBarController.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>

#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>

#include <cstring>
#include <vector>

BOOL LOGGER_ON = NO;
MusicQueryQueueFeeder* _MusicQueryQueueFeeder = nil;
BOOL isOnStartup = NO;

std::atomic<BOOL> is_enabled{YES};
std::atomic<BOOL> enforce_ID3Tag_on_export{YES};
std::atomic<BOOL> enforce_ID3Tag_on_artwork{YES};
std::atomic<BOOL> disable_cover_flow{YES};
std::atomic<BOOL> hide_store_button{YES};
std::atomic<BOOL> ask_before_delete{YES};
std::atomic<BOOL> hide_buy_button_for_radio_track{NO};
std::atomic<BOOL> hide_export_button{NO};
std::atomic<BOOL> hide_edit_button{NO};
std::atomic<BOOL> hide_queue_buttons{NO};
std::atomic<BOOL> hide_delete_button{NO};
std::atomic<BOOL> has_ArtworkOverwriteProblems{NO};

namespace {

const CantrelPreference kPreferences[] = {
    {"is_enabled", &is_enabled, YES},
    {"enforce_ID3Tag_on_export", &enforce_ID3Tag_on_export, YES},
    {"enforce_ID3Tag_on_artwork", &enforce_ID3Tag_on_artwork, YES},
    {"disable_cover_flow", &disable_cover_flow, YES},
    {"hide_store_button", &hide_store_button, YES},
    {"ask_before_delete", &ask_before_delete, YES},
    {"hide_buy_button_for_radio_track", &hide_buy_button_for_radio_track, NO},
    {"hide_export_button", &hide_export_button, NO},
    {"hide_edit_button", &hide_edit_button, NO},
    {"hide_queue_buttons", &hide_queue_buttons, NO},
    {"hide_delete_button", &hide_delete_button, NO},
    {"has_ArtworkOverwriteProblems", &has_ArtworkOverwriteProblems, NO},
};
constexpr size_t kPreferenceCount = sizeof(kPreferences) / sizeof(kPreferences[0]);

// Only numbers and strings have a boolean reading; anything else (an array,
// a dictionary, data, a date) leaves the flag at its default.
bool hasBooleanReading(id value) {
    return objc_msgSend<BOOL(Class)>(value, "isKindOfClass:"_sel, NSNumber::cls()) ||
           objc_msgSend<BOOL(Class)>(value, "isKindOfClass:"_sel, NSString::cls());
}

}  // namespace

NSString* CantrelBundlePath() {
    return NSStringWithFormat("Library/Application Support/%@/%@.bundle", "Cantrel"_ns, "Cantrel"_ns);
}

const CantrelPreference* Cantrel_preferences(size_t* count) {
    if (count) *count = kPreferenceCount;
    return kPreferences;
}

// The values are gathered in a local record first and each flag is then
// published whole, so a reader on another thread never sees a default that
// the file overrides.
static void LoadPrefs() {
    NSString* path = objc_msgSend<NSString*(NSString*)>("/User/Library/Preferences"_ns,
                                                        "stringByAppendingPathComponent:"_sel,
                                                        "com.brevank.Cantrel.plist"_ns);
    id prefs = objc_msgSend<id(NSString*)>(objc_msgSend<id()>(NSDictionary::cls(), "alloc"_sel),
                                           "initWithContentsOfFile:"_sel, path);

    BOOL values[kPreferenceCount];
    for (size_t i = 0; i < kPreferenceCount; ++i) values[i] = kPreferences[i].defaultValue;

    // A file that is there but gives no dictionary (damaged, nested too
    // deep, too large) is named once, not again on every reload, until a
    // load succeeds.
    static bool unreadableLogged = false;
    if (prefs == nil) {
        id manager = objc_msgSend<id()>(NSFileManager::cls(), "defaultManager"_sel);
        if (objc_msgSend<BOOL(NSString*)>(manager, "fileExistsAtPath:"_sel, path)) {
            if (!unreadableLogged && LOGGER_ON) {
                CLog("** Cantrel ** LoadPrefs: cannot read %@ as a dictionary; every preference takes its default",
                     path);
                unreadableLogged = true;
            }
        } else {
            unreadableLogged = false;
        }
    } else {
        unreadableLogged = false;
        for (size_t i = 0; i < kPreferenceCount; ++i) {
            NSString* key = objc_msgSend<NSString*(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel,
                                                                 kPreferences[i].key);
            id value = objc_msgSend<id(NSString*)>(prefs, "valueForKey:"_sel, key);
            if (value != nil && hasBooleanReading(value)) values[i] = objc_msgSend<BOOL()>(value, "boolValue"_sel);
            // The queue swipe buttons always show.
            if (kPreferences[i].flag == &hide_queue_buttons) values[i] = NO;
        }
    }

    for (size_t i = 0; i < kPreferenceCount; ++i) kPreferences[i].flag->store(values[i]);
    objc_release(prefs);
}

static void preferencesChangedCallback(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
    CLog("preferencesChangedCallback");
    LoadPrefs();
}

// ---------------------------------------------------------------------------
// Replacements that only log and call through.

static Slot<id(MPAudioDeviceController*, SEL)> _init$MPAudioDeviceController;
static id init$MPAudioDeviceController(MPAudioDeviceController* self, SEL _cmd) {
    id result = _init$MPAudioDeviceController(self, _cmd);
    CLog("** Cantrel ** _init$MPAudioDeviceController: %@", result);
    CLog("** Cantrel ** _init$MPAudioDeviceController: _pickableRoutes = %@",
         objc_msgSend<id()>(result, "_pickableRoutes"_sel));
    return result;
}

static Slot<void(MPUNowPlayingPlaybackControlsView*, SEL, id)> _setDelegate$MPUNowPlayingPlaybackControlsView;
static void setDelegate$MPUNowPlayingPlaybackControlsView(MPUNowPlayingPlaybackControlsView* self, SEL _cmd,
                                                          id delegate) {
    _setDelegate$MPUNowPlayingPlaybackControlsView(self, _cmd, delegate);
    CLog("setDelegate$MPUNowPlayingPlaybackControlsView: %@", delegate);
}

static Slot<id(MPUNowPlayingPlaybackControlsView*, SEL, CGRect)> _initWithFrame$MPUNowPlayingPlaybackControlsView;
static id initWithFrame$MPUNowPlayingPlaybackControlsView(MPUNowPlayingPlaybackControlsView* self, SEL _cmd,
                                                           CGRect frame) {
    id result = _initWithFrame$MPUNowPlayingPlaybackControlsView(self, _cmd, frame);
    CLog("** Cantrel ** initWithFrame$MPPlaybackControlsView: %@", result);
    return result;
}

static Slot<void(UIMoreListController*, SEL)> __layoutCells$UIMoreListController;
static void _layoutCells$UIMoreListController(UIMoreListController* self, SEL _cmd) {
    __layoutCells$UIMoreListController(self, _cmd);
}

static Slot<void(MusicAlbumsDetailTableHeaderView*, SEL)> _layoutSubviews$MusicAlbumsDetailTableHeaderView;
static void layoutSubviews$MusicAlbumsDetailTableHeaderView(MusicAlbumsDetailTableHeaderView* self, SEL _cmd) {
    _layoutSubviews$MusicAlbumsDetailTableHeaderView(self, _cmd);
    CLog("** Cantrel ** _layoutSubviews$MusicAlbumsDetailTableHeaderView, self.tableview: %@",
         objc_msgSend<id()>(self, "tableView"_sel));
}

static Slot<void(MusicFlipsideAlbumDetailViewController*, SEL, id)>
    _setDataSource$MusicFlipsideAlbumDetailViewController;
static void setDataSource$MusicFlipsideAlbumDetailViewController(MusicFlipsideAlbumDetailViewController* self,
                                                                 SEL _cmd, id dataSource) {
    _setDataSource$MusicFlipsideAlbumDetailViewController(self, _cmd, dataSource);
    CLog("** Cantrel ** _setDataSource$MusicFlipsideAlbumDetailViewController");
}

namespace {
// The three tab-bar notification replacements log the same three things.
void logNotification(const char* notificationLine, const char* objectLine, const char* userInfoLine,
                     NSNotification* notification) {
    if (!LOGGER_ON) return;
    NSLog(notificationLine, notification);
    NSLog(objectLine, objc_msgSend<id()>(notification, "object"_sel));
    NSLog(userInfoLine, objc_msgSend<id()>(notification, "userInfo"_sel));
}
}  // namespace

static Slot<void(MusicTabBarController*, SEL, NSNotification*)>
    __isRadioEnabledDidChangeNotification$MusicTabBarController;
static void _isRadioEnabledDidChangeNotification$MusicTabBarController(MusicTabBarController* self, SEL _cmd,
                                                                       NSNotification* notification) {
    __isRadioEnabledDidChangeNotification$MusicTabBarController(self, _cmd, notification);
    logNotification(
        "** Cantrel ** __isRadioEnabledDidChangeNotification$MusicTabBarController: notification: %@",
        "** Cantrel ** __isRadioEnabledDidChangeNotification$MusicTabBarController: notification.object: %@",
        "** Cantrel ** __isRadioEnabledDidChangeNotification$MusicTabBarController: notification.userInfo: %@",
        notification);
}

static Slot<void(MusicTabBarController*, SEL, NSNotification*)>
    __availableMediaLibrariesDidChangeNotification$MusicTabBarController;
static void _availableMediaLibrariesDidChangeNotification$MusicTabBarController(MusicTabBarController* self,
                                                                                SEL _cmd,
                                                                                NSNotification* notification) {
    __availableMediaLibrariesDidChangeNotification$MusicTabBarController(self, _cmd, notification);
    logNotification(
        "** Cantrel ** __availableMediaLibrariesDidChangeNotification$MusicTabBarController: notification: %@",
        "** Cantrel ** __availableMediaLibrariesDidChangeNotification$MusicTabBarController: notification.object %@",
        "** Cantrel ** __availableMediaLibrariesDidChangeNotification$MusicTabBarController: notification.userInfo %@",
        notification);
}

static Slot<void(MusicTabBarController*, SEL, NSNotification*)>
    __mediaLibraryDidChangeNotification$MusicTabBarController;
static void _mediaLibraryDidChangeNotification$MusicTabBarController(MusicTabBarController* self, SEL _cmd,
                                                                     NSNotification* notification) {
    __mediaLibraryDidChangeNotification$MusicTabBarController(self, _cmd, notification);
    logNotification("** Cantrel ** __mediaLibraryDidChangeNotification$MusicTabBarController: notification: %@",
                    "** Cantrel ** __mediaLibraryDidChangeNotification$MusicTabBarController: notification.object %@",
                    "** Cantrel ** __mediaLibraryDidChangeNotification$MusicTabBarController: notification.userInfo %@",
                    notification);
}

static Slot<id(MPMediaLibraryArtworkDataSource*, SEL, id, id)>
    __cacheRepresentation_forCatalog$MPMediaLibraryArtworkDataSource;
static id _cacheRepresentation_forCatalog$MPMediaLibraryArtworkDataSource(MPMediaLibraryArtworkDataSource* self,
                                                                          SEL _cmd, id representation,
                                                                          id catalog) {
    return __cacheRepresentation_forCatalog$MPMediaLibraryArtworkDataSource(self, _cmd, representation, catalog);
}

static Slot<id(MusicTableViewController*, SEL, UITableView*, NSInteger)>
    _tableView_viewForHeaderInSection$MusicTableViewController;
static id tableView_viewForHeaderInSection$MusicTableViewController(MusicTableViewController* self, SEL _cmd,
                                                                    UITableView* tableView, NSInteger section) {
    id headerView = _tableView_viewForHeaderInSection$MusicTableViewController(self, _cmd, tableView, section);
    CLog("** Cantrel ** _tableView_viewForHeaderInSection$MusicSongsViewController, headerView: %@", headerView);
    return headerView;
}

static Slot<void(MusicTableViewController*, SEL, UITableView*, UIView*, NSInteger)>
    _tableView_willDisplayHeaderView_forSection$MusicTableViewController;
static void tableView_willDisplayHeaderView_forSection$MusicTableViewController(MusicTableViewController* self,
                                                                                SEL _cmd, UITableView* tableView,
                                                                                UIView* headerView,
                                                                                NSInteger section) {
    _tableView_willDisplayHeaderView_forSection$MusicTableViewController(self, _cmd, tableView, headerView, section);
    CLog("** Cantrel ** _tableView_willDisplayHeaderView_forSection$MusicSongsViewController, headerView: %@",
         headerView);
}

static Slot<id(MusicSongListTableViewCell*, SEL, NSInteger, NSString*)>
    _initWithStyle_reuseIdentifier$MusicSongListTableViewCell;
static id initWithStyle_reuseIdentifier$MusicSongListTableViewCell(MusicSongListTableViewCell* self, SEL _cmd,
                                                                   NSInteger style, NSString* reuseIdentifier) {
    id cell = _initWithStyle_reuseIdentifier$MusicSongListTableViewCell(self, _cmd, style, reuseIdentifier);
    CLog("** Cantrel ** _initWithStyle_reuseIdentifier$MusicSongListTableViewCell");
    return cell;
}

// ---------------------------------------------------------------------------
// The installation table.

namespace {

struct InstallEntry {
    const char* className;
    const char* selector;
    char kind;  // 'R' replaced, 'A' added
    IMP imp;
    IMP* slot;          // replaced: where the replaced implementation goes
    const char* types;  // added: the type string, registered unchanged
};

template <class R, class S, class... A>
InstallEntry replaced(const char* cls, const char* sel, R (*fn)(S*, SEL, A...), Slot<R(S*, SEL, A...)>* slot) {
    return {cls, sel, 'R', imp_implementationWithFunction(fn), &slot->imp, nullptr};
}

template <class R, class S, class... A>
[[maybe_unused]] InstallEntry added(const char* cls, const char* sel, R (*fn)(S*, SEL, A...), const char* types) {
    return {cls, sel, 'A', imp_implementationWithFunction(fn), nullptr, types};
}

// In installation order; entries of one class stand together.
const std::vector<InstallEntry>& installationTable() {
    static const std::vector<InstallEntry> table = {
        replaced("MPHRootViewController", "initWithTabBarController:", initWithTabBarController$MPHRootViewController,
                 &_initWithTabBarController$MPHRootViewController),
        replaced("MPAudioDeviceController", "init", init$MPAudioDeviceController, &_init$MPAudioDeviceController),
        replaced("MusicQueryQueueFeeder", "init", init$MusicQueryQueueFeeder, &_init$MusicQueryQueueFeeder),
        replaced("MusicQueryQueueFeeder", "dealloc", dealloc$MusicQueryQueueFeeder, &_dealloc$MusicQueryQueueFeeder),
        replaced("MusicQueryQueueFeeder", "playbackInfoAtIndex:", playbackInfoAtIndex$MusicQueryQueueFeeder,
                 &_playbackInfoAtIndex$MusicQueryQueueFeeder),
        added("MusicQueryQueueFeeder", "getMPMediaQueryShuffledItems", getMPMediaQueryShuffledItems, "@@"),
        added("MPMediaQueryShuffledItems", "get_sourceMediaQueryItems", get_sourceMediaQueryItems, "@@"),
        added("MPMediaQueryShuffledItems", "set_sourceMediaQueryItems:", set_sourceMediaQueryItems, "v@:"),
        added("MPMediaQueryShuffledItems", "get_orderedArray", get_orderedArray, "@@"),
        added("MPMediaQueryShuffledItems", "set_orderedArray:", set_orderedArray, "v@:"),
        added("MPMediaQueryShuffledItems", "set_sourceMediaQuery:", set_sourceMediaQuery, "v@:"),
        replaced("MPUNowPlayingPlaybackControlsView", "setDelegate:", setDelegate$MPUNowPlayingPlaybackControlsView,
                 &_setDelegate$MPUNowPlayingPlaybackControlsView),
        replaced("MPUNowPlayingPlaybackControlsView", "initWithFrame:",
                 initWithFrame$MPUNowPlayingPlaybackControlsView, &_initWithFrame$MPUNowPlayingPlaybackControlsView),
        replaced("UIMoreListController", "_layoutCells", _layoutCells$UIMoreListController,
                 &__layoutCells$UIMoreListController),
        replaced("MPAVController", "_itemWillChange:", _itemWillChange$MPAVController, &__itemWillChange$MPAVController),
        replaced("MusicNowPlayingViewController", "_albumTextForItem:", _albumTextForItem$MusicNowPlayingViewController,
                 &__albumTextForItem$MusicNowPlayingViewController),
        added("MusicNowPlayingViewController", "setID3TagArtwork:andImagePath:", setID3TagArtwork, "@@::"),
        replaced("MusicNowPlayingViewController", "viewWillAppear:", viewWillAppear$MusicNowPlayingViewController,
                 &_viewWillAppear$MusicNowPlayingViewController),
        replaced("MusicNowPlayingViewController", "viewDidLayoutSubviews",
                 viewDidLayoutSubviews$MusicNowPlayingViewController,
                 &_viewDidLayoutSubviews$MusicNowPlayingViewController),
        replaced("MusicNowPlayingViewController", "initWithNibName:bundle:",
                 initWithNibName_bundle$MusicNowPlayingViewController,
                 &_initWithNibName_bundle$MusicNowPlayingViewController),
        added("MusicNowPlayingViewController", "showNowPlayingList:", showNowPlayingList, "v@:"),
        replaced("MusicNowPlayingPlaybackControlsView", "layoutSubviews",
                 layoutSubviews$MusicNowPlayingPlaybackControlsView,
                 &_layoutSubviews$MusicNowPlayingPlaybackControlsView),
        added("MusicNowPlayingPlaybackControlsView", "addToPlaylist:", addToPlaylist, "v@:"),
        added("MusicNowPlayingPlaybackControlsView", "editItemOnNowPlayingView:", editItemOnNowPlayingView, "v@:"),
        replaced("MusicAlbumsDetailTableHeaderView", "layoutSubviews", layoutSubviews$MusicAlbumsDetailTableHeaderView,
                 &_layoutSubviews$MusicAlbumsDetailTableHeaderView),
        replaced("MusicFlipsideAlbumDetailViewController", "setDataSource:",
                 setDataSource$MusicFlipsideAlbumDetailViewController,
                 &_setDataSource$MusicFlipsideAlbumDetailViewController),
        replaced("MusicFlipsideAlbumDetailViewController", "reloadData", reloadData$MusicFlipsideAlbumDetailViewController,
                 &_reloadData$MusicFlipsideAlbumDetailViewController),
        replaced("MusicFlipsideAlbumDetailHeaderView", "layoutSubviews", layoutSubviews$MusicFlipsideAlbumDetailHeaderView,
                 &_layoutSubviews$MusicFlipsideAlbumDetailHeaderView),
        replaced("MusicTabBarController", "_isRadioEnabledDidChangeNotification:",
                 _isRadioEnabledDidChangeNotification$MusicTabBarController,
                 &__isRadioEnabledDidChangeNotification$MusicTabBarController),
        replaced("MusicTabBarController", "_availableMediaLibrariesDidChangeNotification:",
                 _availableMediaLibrariesDidChangeNotification$MusicTabBarController,
                 &__availableMediaLibrariesDidChangeNotification$MusicTabBarController),
        replaced("MusicTabBarController", "_mediaLibraryDidChangeNotification:",
                 _mediaLibraryDidChangeNotification$MusicTabBarController,
                 &__mediaLibraryDidChangeNotification$MusicTabBarController),
        replaced("MPMediaLibraryArtworkDataSource", "_cacheRepresentation:forCatalog:",
                 _cacheRepresentation_forCatalog$MPMediaLibraryArtworkDataSource,
                 &__cacheRepresentation_forCatalog$MPMediaLibraryArtworkDataSource),
        replaced("RURadioQueueFeeder", "init", init$RURadioQueueFeeder, &_init$RURadioQueueFeeder),
        replaced("RadioTrack", "_offers", _offers$RadioTrack, &__offers$RadioTrack),
        replaced("UIViewController", "MPH_supportsCoverFlow", MPH_supportsCoverFlow$UIViewController,
                 &_MPH_supportsCoverFlow$UIViewController),
        replaced("UIViewController", "music_updateStoreNavigationItem", music_updateStoreNavigationItem$UIViewController,
                 &_music_updateStoreNavigationItem$UIViewController),
        added("UIViewController", "showNowPlayingList:", showNowPlayingList, "v@:"),
        replaced("UIViewController", "_music_updateForContentChangeForInitialViewLoad:",
                 _music_updateForContentChangeForInitialViewLoad$UIViewController,
                 &__music_updateForContentChangeForInitialViewLoad$UIViewController),
        added("UIViewController", "documentInteractionControllerViewControllerForPreview:",
              documentInteractionControllerViewControllerForPreview, "v@:"),
        replaced("MusicTableViewController", "tableView:cellForRowAtIndexPath:",
                 tableView_cellForRowAtIndexPath$MusicTableViewController,
                 &_tableView_cellForRowAtIndexPath$MusicTableViewController),
        replaced("MusicTableViewController", "tableView:commitEditingStyle:forRowAtIndexPath:",
                 tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController,
                 &_tableView_commitEditingStyle_forRowAtIndexPath$MusicTableViewController),
        replaced("MusicTableViewController", "tableView:viewForHeaderInSection:",
                 tableView_viewForHeaderInSection$MusicTableViewController,
                 &_tableView_viewForHeaderInSection$MusicTableViewController),
        replaced("MusicTableViewController", "tableView:willDisplayHeaderView:forSection:",
                 tableView_willDisplayHeaderView_forSection$MusicTableViewController,
                 &_tableView_willDisplayHeaderView_forSection$MusicTableViewController),
        replaced("MusicSongListTableViewCell", "initWithStyle:reuseIdentifier:",
                 initWithStyle_reuseIdentifier$MusicSongListTableViewCell,
                 &_initWithStyle_reuseIdentifier$MusicSongListTableViewCell),
        added("MusicSongListTableViewCell", "songsViewControllerCellSwipe:", songsViewControllerCellSwipe, "v@:"),
        replaced("_UITableViewCellActionButton", "layoutSubviews", layoutSubviews$_UITableViewCellActionButton,
                 &_layoutSubviews$_UITableViewCellActionButton),
        replaced("UITableView", "_swipeActionButtonsForRowAtIndexPath:", _swipeActionButtonsForRowAtIndexPath$UITableView,
                 &__swipeActionButtonsForRowAtIndexPath$UITableView),
        added("UITableView", "setPlaylistName:andItemEntry:", setPlaylistName, "v@::"),
        added("UITableView", "setID3Tags:andTitle:andAlbum:andArtist:andImagePath:", setID3Tags, "v@:::::"),
        added("UITableView", "setID3TagArtwork:andImagePath:", setID3TagArtwork, "@@::"),
        added("UITableView", "getMPMediaItemArtworkImage:", getMPMediaItemArtworkImage, "@@:"),
        added("UITableView", "setMPMediaItemArtworkImage:andObject:", setMPMediaItemArtworkImage, "v@::"),
        added("UITableView", "getClassIVar:", getClassIVar, "v@:"),
        added("UITableView", "getMediaItemProperties:", getMediaItemProperties, "v@:"),
    };
    return table;
}

// Walks the table in order, looking each class up once per group. An entry
// whose class or selector the running app lacks installs nothing; no entry
// depends on another.
void installHooks() {
    const char* groupName = nullptr;
    Class cls = nil;
    for (const InstallEntry& e : installationTable()) {
        if (groupName == nullptr || std::strcmp(groupName, e.className) != 0) {
            groupName = e.className;
            cls = objc_getClass(groupName);
        }
        SEL sel = sel_registerName(e.selector);
        try {
            if (e.kind == 'R') {
                MSHookMessageEx(cls, sel, e.imp, e.slot);
            } else {
                class_addMethod(cls, sel, e.imp, e.types);
            }
        } catch (const objc::BadSignature& error) {
            // A replacement written against another prototype than the app's
            // method: leave the app's method alone.
            CLog("** Cantrel ** not installed: %s", error.what());
        }
    }
}

}  // namespace

// Removes the hidden temporaries that writers ended mid-write left where
// files could not be unnamed, or between naming a finished file and putting
// it in place: beside the songs, among the artwork and the preferences.
static void removeTemporaries() {
    std::string control = platform::devicePath("/var/mobile/Media/iTunes_Control");
    platform::sweepTemporariesBelow(control + "/Music", 1);
    platform::sweepTemporariesBelow(control + "/iTunes/Artwork/Originals", 1);
    platform::sweepTemporariesBelow(control + "/iTunes/Artwork/Caches", 2);
    platform::sweepTemporaries(platform::devicePath("/var/mobile/Library/Preferences"));
}

void CantrelInitialize() {
    static bool initialized = false;
    if (initialized) return;
    initialized = true;

    id pool = objc_msgSend<id()>(objc_msgSend<id()>(NSAutoreleasePool::cls(), "alloc"_sel), "init"_sel);

    _MusicQueryQueueFeeder = nil;
    LOGGER_ON = NO;

    LoadPrefs();
    cantrel::exporting::removeLeftovers();
    removeTemporaries();

    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, preferencesChangedCallback,
                                    CFSTR("com.brevank.Cantrel.settingschanged"), nullptr,
                                    CFNotificationSuspensionBehaviorHold);

    if (is_enabled) {
        isOnStartup = NO;
        installHooks();
    }

    objc_msgSend<void()>(pool, "drain"_sel);
}
