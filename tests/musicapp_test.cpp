// The UIKit, MediaPlayer and Music app stand-ins: the class graph the library
// hooks into, and proof that the stand-in reaches its own methods through
// message sends (so that replacements take effect).
#include <gtest/gtest.h>

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSException.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPHRootViewController.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTabBarController.h>
#include <MusicApp/MusicTableViewController.h>
#include <MusicApp/RURadioQueueFeeder.h>
#include <UIKit/UIKit.h>
#include <objc/NSObject.h>

#include <string>
#include <typeinfo>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Helpers: everything through sends, as the library sees it.

id alloc(Class cls) { return objc_msgSend<id()>(cls, "alloc"_sel); }

// [[cls alloc] init], autoreleased.
id make(Class cls) { return objc_autorelease(objc_msgSend<id()>(alloc(cls), "init"_sel)); }

id makeView(Class cls, CGRect frame) {
    return objc_autorelease(objc_msgSend<id(CGRect)>(alloc(cls), "initWithFrame:"_sel, frame));
}

Class cls(const char* name) { return objc_getClass(name); }

NSUInteger count(id array) { return objc_msgSend<NSUInteger()>(array, "count"_sel); }
id at(id array, NSUInteger i) { return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, i); }

std::vector<id> elements(id array) {
    std::vector<id> out;
    for (NSUInteger i = 0, n = count(array); i < n; ++i) out.push_back(at(array, i));
    return out;
}

// The objects of an NSArray-valued property, read in a pool of their own so
// that the array does not hold them afterwards.
std::vector<id> listOf(id obj, SEL property) {
    AutoreleasePool pool;
    return elements(objc_msgSend<id()>(obj, property));
}

id emptyArray() { return objc_msgSend<id()>(cls("NSArray"), "array"_sel); }

id string(const char* s) { return objc_msgSend<id(const char*)>(cls("NSString"), "stringWithUTF8String:"_sel, s); }

bool isKind(id obj, const char* className) { return objc_isKindOfClass(obj, cls(className)); }

// The normalised prototype of a method.
template <class F>
struct Proto;
template <class R, class... A>
struct Proto<R(A...)> {
    static const std::type_info& get() { return objc::signature<R, A...>(); }
};

struct Owned {
    const char* cls;
    const char* sel;
    const std::type_info& (*proto)();
};

struct Edge {
    const char* cls;
    const char* superclass;
};

struct Named {
    const char* cls;
    const char* sel;
};

// Registers everything, radio included, and drains what a test autoreleases.
class MusicAppTest : public ::testing::Test {
protected:
    void SetUp() override { platform::registerMusicApp({.radio = true}); }

    AutoreleasePool pool_;
};

// ---------------------------------------------------------------------------
// The class graph.

using ClassGraph = MusicAppTest;

TEST_F(ClassGraph, ClassesHaveTheirSuperclassChains) {
    const Edge edges[] = {
        {"UIResponder", "NSObject"},
        {"UIView", "UIResponder"},
        {"UIScrollView", "UIView"},
        {"UITableView", "UIScrollView"},
        {"UITableViewCell", "UIView"},
        {"UIControl", "UIView"},
        {"UIButton", "UIControl"},
        {"_UITableViewCellActionButton", "UIButton"},
        {"UIViewController", "UIResponder"},
        {"UINavigationController", "UIViewController"},
        {"UITabBarController", "UIViewController"},
        {"UIMoreListController", "UIViewController"},
        {"MPAVController", "NSObject"},
        {"MPMediaQueryShuffledItems", "NSObject"},
        {"MPAudioDeviceController", "NSObject"},
        {"MPUNowPlayingPlaybackControlsView", "UIView"},
        {"MPMediaLibraryArtworkDataSource", "NSObject"},
        {"MPHRootViewController", "UIViewController"},
        {"MPQueueFeeder", "NSObject"},
        {"MusicQueryQueueFeeder", "MPQueueFeeder"},
        {"MusicNowPlayingViewController", "UIViewController"},
        {"MusicNowPlayingPlaybackControlsView", "UIView"},
        {"MusicAlbumsDetailTableHeaderView", "UIView"},
        {"MusicFlipsideAlbumDetailViewController", "UIViewController"},
        {"MusicFlipsideAlbumDetailHeaderView", "UIView"},
        {"MusicTabBarController", "UITabBarController"},
        {"RURadioQueueFeeder", "MPQueueFeeder"},
        {"RadioTrack", "NSObject"},
        {"MusicTableViewController", "UIViewController"},
        {"MusicTableViewCell", "UITableViewCell"},
        {"MusicMediaTableViewCell", "MusicTableViewCell"},
        {"MusicSongListTableViewCell", "MusicMediaTableViewCell"},
    };
    for (const Edge& e : edges) {
        SCOPED_TRACE(e.cls);
        Class c = cls(e.cls);
        ASSERT_NE(c, nullptr);
        ASSERT_NE(cls(e.superclass), nullptr);
        EXPECT_EQ(class_getSuperclass(c), cls(e.superclass));
        // Every class can make an instance of its own.
        id obj = make(c);
        ASSERT_NE(obj, nullptr);
        EXPECT_EQ(object_getClass(obj), c);
    }
}

TEST_F(ClassGraph, ReplaceableSelectorsAreOwnedWithTheirPrototypes) {
    const Owned owned[] = {
        {"MPHRootViewController", "initWithTabBarController:", &Proto<id(id)>::get},
        {"MPAudioDeviceController", "init", &Proto<id()>::get},
        {"MPAudioDeviceController", "_pickableRoutes", &Proto<id()>::get},
        {"MusicQueryQueueFeeder", "init", &Proto<id()>::get},
        {"MusicQueryQueueFeeder", "dealloc", &Proto<void()>::get},
        {"MusicQueryQueueFeeder", "playbackInfoAtIndex:", &Proto<id(NSUInteger)>::get},
        {"MusicQueryQueueFeeder", "shouldBeginPlaybackOfItem:error:", &Proto<BOOL(id, NSError**)>::get},
        {"MusicQueryQueueFeeder", "itemCount", &Proto<NSUInteger()>::get},
        {"MPMediaQueryShuffledItems", "initWithSourceItems:", &Proto<id(id)>::get},
        {"MPUNowPlayingPlaybackControlsView", "initWithFrame:", &Proto<id(CGRect)>::get},
        {"MPUNowPlayingPlaybackControlsView", "setDelegate:", &Proto<void(id)>::get},
        {"MPUNowPlayingPlaybackControlsView", "delegate", &Proto<id()>::get},
        {"UIMoreListController", "_layoutCells", &Proto<void()>::get},
        {"MPAVController", "_itemWillChange:", &Proto<void(id)>::get},
        {"MusicNowPlayingViewController", "_albumTextForItem:", &Proto<id(id)>::get},
        {"MusicNowPlayingViewController", "viewWillAppear:", &Proto<void(BOOL)>::get},
        {"MusicNowPlayingViewController", "viewDidLayoutSubviews", &Proto<void()>::get},
        {"MusicNowPlayingViewController", "initWithNibName:bundle:", &Proto<id(id, id)>::get},
        {"MusicNowPlayingPlaybackControlsView", "layoutSubviews", &Proto<void()>::get},
        {"MusicAlbumsDetailTableHeaderView", "layoutSubviews", &Proto<void()>::get},
        {"MusicAlbumsDetailTableHeaderView", "tableView", &Proto<id()>::get},
        {"MusicFlipsideAlbumDetailViewController", "setDataSource:", &Proto<void(id)>::get},
        {"MusicFlipsideAlbumDetailViewController", "dataSource", &Proto<id()>::get},
        {"MusicFlipsideAlbumDetailViewController", "reloadData", &Proto<void()>::get},
        {"MusicFlipsideAlbumDetailViewController", "tableView", &Proto<id()>::get},
        {"MusicFlipsideAlbumDetailHeaderView", "layoutSubviews", &Proto<void()>::get},
        {"MusicTabBarController", "_isRadioEnabledDidChangeNotification:", &Proto<void(id)>::get},
        {"MusicTabBarController", "_availableMediaLibrariesDidChangeNotification:", &Proto<void(id)>::get},
        {"MusicTabBarController", "_mediaLibraryDidChangeNotification:", &Proto<void(id)>::get},
        {"MPMediaLibraryArtworkDataSource", "_cacheRepresentation:forCatalog:", &Proto<id(id, id)>::get},
        {"RURadioQueueFeeder", "init", &Proto<id()>::get},
        {"RURadioQueueFeeder", "itemCount", &Proto<NSUInteger()>::get},
        {"RURadioQueueFeeder", "tracks", &Proto<id()>::get},
        {"RURadioQueueFeeder", "tracksForNextPlaybackGroup", &Proto<id()>::get},
        {"RURadioQueueFeeder", "copyRawItemAtIndex:", &Proto<id(NSUInteger)>::get},
        {"RadioTrack", "_offers", &Proto<id()>::get},
        {"UIViewController", "MPH_supportsCoverFlow", &Proto<BOOL()>::get},
        {"UIViewController", "music_updateStoreNavigationItem", &Proto<void()>::get},
        {"UIViewController", "_music_updateForContentChangeForInitialViewLoad:", &Proto<void(BOOL)>::get},
        {"UIViewController", "init", &Proto<id()>::get},
        {"UIViewController", "initWithNibName:bundle:", &Proto<id(id, id)>::get},
        {"UIViewController", "view", &Proto<id()>::get},
        {"UIViewController", "isViewLoaded", &Proto<BOOL()>::get},
        {"UIViewController", "viewWillAppear:", &Proto<void(BOOL)>::get},
        {"UIViewController", "viewDidAppear:", &Proto<void(BOOL)>::get},
        {"UIViewController", "viewDidLayoutSubviews", &Proto<void()>::get},
        {"UIViewController", "title", &Proto<id()>::get},
        {"UIViewController", "setTitle:", &Proto<void(id)>::get},
        {"UIViewController", "addChildViewController:", &Proto<void(id)>::get},
        {"UIViewController", "childViewControllers", &Proto<id()>::get},
        {"UIViewController", "parentViewController", &Proto<id()>::get},
        {"UIViewController", "navigationController", &Proto<id()>::get},
        {"UIViewController", "tabBarController", &Proto<id()>::get},
        {"MusicTableViewController", "tableView", &Proto<id()>::get},
        {"MusicTableViewController", "tableView:cellForRowAtIndexPath:", &Proto<id(id, id)>::get},
        {"MusicTableViewController", "tableView:commitEditingStyle:forRowAtIndexPath:",
         &Proto<void(id, NSInteger, id)>::get},
        {"MusicTableViewController", "tableView:viewForHeaderInSection:", &Proto<id(id, NSInteger)>::get},
        {"MusicTableViewController", "tableView:willDisplayHeaderView:forSection:",
         &Proto<void(id, id, NSInteger)>::get},
        {"MusicSongListTableViewCell", "initWithStyle:reuseIdentifier:", &Proto<id(NSInteger, id)>::get},
        {"_UITableViewCellActionButton", "layoutSubviews", &Proto<void()>::get},
        {"UITableView", "initWithFrame:style:", &Proto<id(CGRect, NSInteger)>::get},
        {"UITableView", "delegate", &Proto<id()>::get},
        {"UITableView", "setDelegate:", &Proto<void(id)>::get},
        {"UITableView", "dataSource", &Proto<id()>::get},
        {"UITableView", "setDataSource:", &Proto<void(id)>::get},
        {"UITableView", "setEditing:", &Proto<void(BOOL)>::get},
        {"UITableView", "isEditing", &Proto<BOOL()>::get},
        {"UITableView", "_swipeActionButtonsForRowAtIndexPath:", &Proto<id(id)>::get},
        {"UITableView", "reloadData", &Proto<void()>::get},
        {"UITableViewCell", "initWithStyle:reuseIdentifier:", &Proto<id(NSInteger, id)>::get},
        {"UITableViewCell", "contentView", &Proto<id()>::get},
        {"UIView", "init", &Proto<id()>::get},
        {"UIView", "initWithFrame:", &Proto<id(CGRect)>::get},
        {"UIView", "frame", &Proto<CGRect()>::get},
        {"UIView", "setFrame:", &Proto<void(CGRect)>::get},
        {"UIView", "bounds", &Proto<CGRect()>::get},
        {"UIView", "tag", &Proto<NSInteger()>::get},
        {"UIView", "setTag:", &Proto<void(NSInteger)>::get},
        {"UIView", "addSubview:", &Proto<void(id)>::get},
        {"UIView", "removeFromSuperview", &Proto<void()>::get},
        {"UIView", "subviews", &Proto<id()>::get},
        {"UIView", "superview", &Proto<id()>::get},
        {"UIView", "viewWithTag:", &Proto<id(NSInteger)>::get},
        {"UIView", "setNeedsLayout", &Proto<void()>::get},
        {"UIView", "layoutIfNeeded", &Proto<void()>::get},
        {"UIView", "layoutSubviews", &Proto<void()>::get},
        {"UINavigationController", "initWithRootViewController:", &Proto<id(id)>::get},
        {"UINavigationController", "viewControllers", &Proto<id()>::get},
        {"UINavigationController", "pushViewController:animated:", &Proto<void(id, BOOL)>::get},
        {"UINavigationController", "popViewControllerAnimated:", &Proto<id(BOOL)>::get},
        {"UINavigationController", "topViewController", &Proto<id()>::get},
        {"UITabBarController", "viewControllers", &Proto<id()>::get},
        {"UITabBarController", "setViewControllers:", &Proto<void(id)>::get},
        {"UITabBarController", "selectedViewController", &Proto<id()>::get},
    };
    for (const Owned& o : owned) {
        SCOPED_TRACE(std::string(o.cls) + " " + o.sel);
        Class c = cls(o.cls);
        ASSERT_NE(c, nullptr);
        SEL sel = sel_registerName(o.sel);
        EXPECT_TRUE(class_ownsMethod(c, sel));
        IMP imp = method_getImplementation(class_getInstanceMethod(c, sel));
        ASSERT_TRUE(imp);
        EXPECT_TRUE(objc::same_signature(imp.sig, o.proto())) << "implemented as " << imp.sig->name();
    }
}

void addedMethod(objc_object*, SEL) {}

TEST_F(ClassGraph, SelectorsTheLibraryAddsAreFree) {
    const Named added[] = {
        {"UIViewController", "showNowPlayingList:"},
        {"UIViewController", "documentInteractionControllerViewControllerForPreview:"},
        {"UITableView", "setPlaylistName:andItemEntry:"},
        {"UITableView", "setID3Tags:andTitle:andAlbum:andArtist:andImagePath:"},
        {"UITableView", "setID3TagArtwork:andImagePath:"},
        {"UITableView", "getMPMediaItemArtworkImage:"},
        {"UITableView", "setMPMediaItemArtworkImage:andObject:"},
        {"UITableView", "getClassIVar:"},
        {"UITableView", "getMediaItemProperties:"},
        {"MPMediaQueryShuffledItems", "get_sourceMediaQueryItems"},
        {"MPMediaQueryShuffledItems", "set_sourceMediaQueryItems:"},
        {"MPMediaQueryShuffledItems", "get_orderedArray"},
        {"MPMediaQueryShuffledItems", "set_orderedArray:"},
        {"MPMediaQueryShuffledItems", "set_sourceMediaQuery:"},
        {"MusicQueryQueueFeeder", "getMPMediaQueryShuffledItems"},
        {"MusicNowPlayingViewController", "setID3TagArtwork:andImagePath:"},
        {"MusicNowPlayingViewController", "showNowPlayingList:"},
        {"MusicNowPlayingPlaybackControlsView", "addToPlaylist:"},
        {"MusicNowPlayingPlaybackControlsView", "editItemOnNowPlayingView:"},
        {"MusicSongListTableViewCell", "songsViewControllerCellSwipe:"},
    };
    // Nobody answers them yet, not even through a superclass.
    for (const Named& a : added) {
        SCOPED_TRACE(std::string(a.cls) + " " + a.sel);
        ASSERT_NE(cls(a.cls), nullptr);
        EXPECT_FALSE(class_respondsToSelector(cls(a.cls), sel_registerName(a.sel)));
    }
    for (const Named& a : added) {
        SCOPED_TRACE(std::string(a.cls) + " " + a.sel);
        SEL sel = sel_registerName(a.sel);
        EXPECT_TRUE(class_addMethod(cls(a.cls), sel, &addedMethod, "v@:"));
        EXPECT_TRUE(class_ownsMethod(cls(a.cls), sel));
    }
}

TEST_F(ClassGraph, InstanceVariablesAreReachableByName) {
    id items = objc_msgSend<id()>(cls("NSMutableArray"), "array"_sel);
    objc_msgSend<void(id)>(items, "addObject:"_sel, make(NSObject::cls()));
    objc_msgSend<void(id)>(items, "addObject:"_sel, make(NSObject::cls()));
    id shuffled = objc_autorelease(
        objc_msgSend<id(id)>(alloc(cls("MPMediaQueryShuffledItems")), "initWithSourceItems:"_sel, items));

    EXPECT_EQ(elements(MSHookIvar<id>(shuffled, "_sourceMediaQueryItems")), elements(items));
    id ordered = MSHookIvar<id>(shuffled, "_orderedArray");
    EXPECT_TRUE(isKind(ordered, "NSMutableArray"));
    EXPECT_EQ(elements(ordered), elements(items));
    EXPECT_EQ(MSHookIvar<id>(shuffled, "_sourceMediaQuery"), nullptr);

    // The library swaps the playing order through the variable.
    id reversed = objc_msgSend<id()>(cls("NSMutableArray"), "array"_sel);
    objc_msgSend<void(id)>(reversed, "addObject:"_sel, at(items, 1));
    objc_msgSend<void(id)>(reversed, "addObject:"_sel, at(items, 0));
    id& slot = MSHookIvar<id>(shuffled, "_orderedArray");
    objc_release(slot);
    slot = objc_retain(reversed);
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(shuffled, "objectAtIndex:"_sel, 0), at(items, 1));
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(shuffled, "objectAtIndex:"_sel, 2), nullptr);

    id feeder = make(cls("MusicQueryQueueFeeder"));
    EXPECT_TRUE(isKind(MSHookIvar<id>(feeder, "_items"), "MPMediaQueryShuffledItems"));
    EXPECT_EQ(MSHookIvar<NSInteger>(make(cls("MusicTableViewController")), "_deleteCommits"), 0);
    EXPECT_EQ(MSHookIvar<NSInteger>(make(cls("UIViewController")), "_storeButtonUpdates"), 0);
}

// ---------------------------------------------------------------------------
// With and without the radio.

// Classes cannot be unregistered: these need a process in which nothing has
// asked for the radio yet (as ctest runs them).
#define SKIP_IF_RADIO_REGISTERED()                                                   \
    if (cls("RadioTrack") != nullptr) GTEST_SKIP() << "the radio is already registered in this process"

TEST(Radio, WithoutTheRadioItsClassesDoNotExist) {
    SKIP_IF_RADIO_REGISTERED();
    AutoreleasePool pool;
    platform::registerMusicApp({.radio = false});
    platform::registerMusicApp({.radio = false});  // idempotent
    EXPECT_EQ(cls("RURadioQueueFeeder"), nullptr);
    EXPECT_EQ(cls("RadioTrack"), nullptr);
    EXPECT_NE(cls("MusicQueryQueueFeeder"), nullptr);
    EXPECT_NE(cls("MusicTabBarController"), nullptr);

    platform::MusicApp app({.radio = false});
    app.launch();
    EXPECT_EQ(app.radioQueueFeeder(), nullptr);
    EXPECT_EQ(app.requestOffers(), nullptr);
    app.shutdown();
    EXPECT_EQ(cls("RadioTrack"), nullptr);
}

TEST(Radio, AskingForTheRadioLaterAddsIt) {
    SKIP_IF_RADIO_REGISTERED();
    AutoreleasePool pool;
    platform::registerMusicApp({.radio = false});
    ASSERT_EQ(cls("RadioTrack"), nullptr);
    platform::registerMusicApp({.radio = true});
    EXPECT_EQ(class_getSuperclass(cls("RURadioQueueFeeder")), cls("MPQueueFeeder"));
    EXPECT_NE(cls("RadioTrack"), nullptr);
    platform::registerMusicApp({.radio = true});  // idempotent
}

using RadioFeeder = MusicAppTest;

TEST_F(RadioFeeder, HandsOutItsTracks) {
    id feeder = make(cls("RURadioQueueFeeder"));
    NSUInteger n = objc_msgSend<NSUInteger()>(feeder, "itemCount"_sel);
    EXPECT_EQ(n, 2u);
    id tracks = objc_msgSend<id()>(feeder, "tracks"_sel);
    ASSERT_EQ(count(tracks), n);
    EXPECT_EQ(elements(objc_msgSend<id()>(feeder, "tracksForNextPlaybackGroup"_sel)), elements(tracks));

    // copyRawItemAtIndex: hands over a reference.
    id track = objc_msgSend<id(NSUInteger)>(feeder, "copyRawItemAtIndex:"_sel, 1);
    EXPECT_EQ(track, at(tracks, 1));
    EXPECT_TRUE(isKind(track, "RadioTrack"));
    NSUInteger owned = objc_retainCount(track);
    objc_release(track);
    EXPECT_EQ(objc_retainCount(track), owned - 1);
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(feeder, "copyRawItemAtIndex:"_sel, n), nullptr);

    id offers = objc_msgSend<id()>(track, "_offers"_sel);
    EXPECT_TRUE(isKind(offers, "NSArray"));
    EXPECT_GT(count(offers), 0u);
}

// ---------------------------------------------------------------------------
// Replacements take effect where the stand-in itself works.

int actionButtonLayouts = 0;
Slot<void(objc_object*, SEL)> origActionButtonLayout;
void actionButtonLayoutSubviews(objc_object* self, SEL cmd) {
    ++actionButtonLayouts;
    origActionButtonLayout(self, cmd);
}

TEST_F(ClassGraph, ActionButtonLayoutReplacementRunsInTheLayoutPass) {
    MSHookMessageEx(cls("_UITableViewCellActionButton"), "layoutSubviews"_sel, &actionButtonLayoutSubviews,
                    &origActionButtonLayout);
    ASSERT_TRUE(origActionButtonLayout);
    id cell = objc_autorelease(objc_msgSend<id(NSInteger, id)>(alloc(cls("UITableViewCell")),
                                                                "initWithStyle:reuseIdentifier:"_sel, 0, nil));
    id button = makeView(cls("_UITableViewCellActionButton"), CGRectMake(240, 0, 80, 44));
    objc_msgSend<void(id)>(cell, "addSubview:"_sel, button);

    int before = actionButtonLayouts;
    objc_msgSend<void()>(cell, "layoutIfNeeded"_sel);
    EXPECT_EQ(actionButtonLayouts, before + 1);
    // Nothing changed: no second pass.
    objc_msgSend<void()>(cell, "layoutIfNeeded"_sel);
    EXPECT_EQ(actionButtonLayouts, before + 1);
    objc_msgSend<void()>(button, "setNeedsLayout"_sel);
    objc_msgSend<void()>(cell, "layoutIfNeeded"_sel);
    EXPECT_EQ(actionButtonLayouts, before + 2);
    // A resize asks for layout too.
    objc_msgSend<void(CGRect)>(button, "setFrame:"_sel, CGRectMake(200, 0, 120, 44));
    objc_msgSend<void()>(cell, "layoutIfNeeded"_sel);
    EXPECT_EQ(actionButtonLayouts, before + 3);
}

int feederInits = 0;
int feederDeallocs = 0;
Slot<id(objc_object*, SEL)> origFeederInit;
Slot<void(objc_object*, SEL)> origFeederDealloc;
id feederInit(objc_object* self, SEL cmd) {
    ++feederInits;
    return origFeederInit(self, cmd);
}
void feederDealloc(objc_object* self, SEL cmd) {
    ++feederDeallocs;
    origFeederDealloc(self, cmd);
}

TEST_F(ClassGraph, FeederInitAndDeallocReplacementsRunAtLaunchAndShutdown) {
    Class feeder = cls("MusicQueryQueueFeeder");
    MSHookMessageEx(feeder, "init"_sel, &feederInit, &origFeederInit);
    MSHookMessageEx(feeder, "dealloc"_sel, &feederDealloc, &origFeederDealloc);
    ASSERT_TRUE(origFeederInit);
    ASSERT_TRUE(origFeederDealloc);

    int inits = feederInits;
    int deallocs = feederDeallocs;
    {
        platform::MusicApp app;
        app.launch();
        EXPECT_EQ(feederInits, inits + 1);
        EXPECT_EQ(class_getLiveInstanceCount(feeder), 1);
        app.shutdown();
        EXPECT_EQ(feederDeallocs, deallocs + 1);
    }
    // The original dealloc ran (it freed the object and its shuffled items).
    EXPECT_EQ(class_getLiveInstanceCount(feeder), 0);
    EXPECT_EQ(class_getLiveInstanceCount(cls("MPMediaQueryShuffledItems")), 0);
}

int controlsInits = 0;
Slot<id(objc_object*, SEL, CGRect)> origControlsInit;
id controlsInitWithFrame(objc_object* self, SEL cmd, CGRect frame) {
    ++controlsInits;
    return origControlsInit(self, cmd, frame);
}

TEST_F(ClassGraph, PlainInitReachesAReplacedInitWithFrame) {
    MSHookMessageEx(cls("MPUNowPlayingPlaybackControlsView"), "initWithFrame:"_sel, &controlsInitWithFrame,
                    &origControlsInit);
    int before = controlsInits;
    id view = make(cls("MPUNowPlayingPlaybackControlsView"));
    EXPECT_EQ(controlsInits, before + 1);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(view, "frame"_sel), CGRectZero));

    id delegate = make(NSObject::cls());
    objc_msgSend<void(id)>(view, "setDelegate:"_sel, delegate);
    EXPECT_EQ(objc_msgSend<id()>(view, "delegate"_sel), delegate);
}

std::vector<std::string> events;
Slot<void(objc_object*, SEL)> origLoadView, origViewDidLoad, origStoreButton;
void recordLoadView(objc_object* self, SEL cmd) {
    events.push_back("loadView");
    origLoadView(self, cmd);
}
void recordViewDidLoad(objc_object* self, SEL cmd) {
    events.push_back("viewDidLoad");
    origViewDidLoad(self, cmd);
}
void recordStoreButton(objc_object* self, SEL cmd) {
    events.push_back("storeButton");
    origStoreButton(self, cmd);
}

TEST_F(ClassGraph, ViewLoadingGoesThroughTheRuntime) {
    Class list = cls("MusicTableViewController");
    MSHookMessageEx(list, "loadView"_sel, &recordLoadView, &origLoadView);
    MSHookMessageEx(list, "viewDidLoad"_sel, &recordViewDidLoad, &origViewDidLoad);
    MSHookMessageEx(cls("UIViewController"), "music_updateStoreNavigationItem"_sel, &recordStoreButton,
                    &origStoreButton);

    id controller = make(list);
    EXPECT_FALSE(objc_msgSend<BOOL()>(controller, "isViewLoaded"_sel));
    events.clear();
    id table = objc_msgSend<id()>(controller, "tableView"_sel);
    EXPECT_EQ(events, (std::vector<std::string>{"loadView", "viewDidLoad", "storeButton"}));
    EXPECT_TRUE(objc_msgSend<BOOL()>(controller, "isViewLoaded"_sel));
    EXPECT_TRUE(isKind(table, "UITableView"));
    EXPECT_EQ(objc_msgSend<id()>(controller, "view"_sel), table);
    EXPECT_EQ(MSHookIvar<NSInteger>(controller, "_storeButtonUpdates"), 1);
    // Loaded once.
    objc_msgSend<id()>(controller, "view"_sel);
    EXPECT_EQ(events.size(), 3u);
}

std::vector<std::string> nowPlayingEvents;
Slot<void(objc_object*, SEL, BOOL)> origWillAppear;
Slot<void(objc_object*, SEL)> origDidLayout;
Slot<id(objc_object*, SEL, id)> origAlbumText;
void nowPlayingWillAppear(objc_object* self, SEL cmd, BOOL animated) {
    nowPlayingEvents.push_back(animated ? "willAppear animated" : "willAppear");
    origWillAppear(self, cmd, animated);
}
void nowPlayingDidLayout(objc_object* self, SEL cmd) {
    nowPlayingEvents.push_back("didLayout");
    origDidLayout(self, cmd);
}
id nowPlayingAlbumText(objc_object*, SEL, id item) {
    nowPlayingEvents.push_back("albumText");
    return item == nullptr ? nullptr : string("Replaced album");
}

TEST_F(ClassGraph, ShowingNowPlayingReachesTheReplacedCallbacks) {
    Class c = cls("MusicNowPlayingViewController");
    MSHookMessageEx(c, "viewWillAppear:"_sel, &nowPlayingWillAppear, &origWillAppear);
    MSHookMessageEx(c, "viewDidLayoutSubviews"_sel, &nowPlayingDidLayout, &origDidLayout);
    MSHookMessageEx(c, "_albumTextForItem:"_sel, &nowPlayingAlbumText, &origAlbumText);
    ASSERT_TRUE(origAlbumText);

    platform::MusicApp app;
    app.launch();
    // Before anything plays the screen shows no item, as the player has none.
    app.showNowPlaying();
    id controller = app.nowPlayingViewController();
    EXPECT_EQ(objc_msgSend<id()>(controller, "item"_sel), nullptr);

    objc_msgSend<void(int, BOOL)>(objc::as_id(app.avController()), "playItemAtIndex:forceRestart:"_sel, 0, YES);
    nowPlayingEvents.clear();
    app.showNowPlaying();
    EXPECT_EQ(nowPlayingEvents, (std::vector<std::string>{"willAppear animated", "albumText", "didLayout"}));
    EXPECT_EQ(objc_msgSend<id()>(controller, "item"_sel), objc_msgSend<id(NSUInteger)>(app.queueFeeder(),
                                                                                      "playbackInfoAtIndex:"_sel, 0));
    id text = objc_msgSend<id()>(controller, "albumText"_sel);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(objc_msgSend<const char*()>(text, "UTF8String"_sel), "Replaced album");

    // The controls sit at the bottom of the screen-sized view.
    id view = objc_msgSend<id()>(controller, "view"_sel);
    id controls = objc_msgSend<id()>(controller, "playbackControlsView"_sel);
    EXPECT_TRUE(isKind(controls, "MusicNowPlayingPlaybackControlsView"));
    EXPECT_EQ(objc_msgSend<id()>(controls, "superview"_sel), view);
    CGRect bounds = objc_msgSend<CGRect()>(view, "bounds"_sel);
    CGRect frame = objc_msgSend<CGRect()>(controls, "frame"_sel);
    EXPECT_GT(CGRectGetHeight(bounds), 0);
    EXPECT_EQ(CGRectGetMaxY(frame), CGRectGetMaxY(bounds));
    EXPECT_EQ(CGRectGetWidth(frame), CGRectGetWidth(bounds));
    EXPECT_EQ(CGRectGetHeight(frame), kMusicNowPlayingControlsHeight);
}

int itemChanges = 0;
std::vector<std::string> tabNotifications;
Slot<void(objc_object*, SEL, id)> origItemWillChange, origRadio, origLibraries, origLibrary;
void itemWillChange(objc_object* self, SEL cmd, id note) {
    ++itemChanges;
    origItemWillChange(self, cmd, note);
}
void radioChanged(objc_object* self, SEL cmd, id note) {
    tabNotifications.push_back("radio");
    origRadio(self, cmd, note);
}
void librariesChanged(objc_object* self, SEL cmd, id note) {
    tabNotifications.push_back("libraries");
    origLibraries(self, cmd, note);
}
void libraryChanged(objc_object* self, SEL cmd, id note) {
    tabNotifications.push_back("library");
    origLibrary(self, cmd, note);
}

TEST_F(ClassGraph, PlayerAndTabNotificationsReachTheReplacements) {
    MSHookMessageEx(cls("MPAVController"), "_itemWillChange:"_sel, &itemWillChange, &origItemWillChange);
    Class tabs = cls("MusicTabBarController");
    MSHookMessageEx(tabs, "_isRadioEnabledDidChangeNotification:"_sel, &radioChanged, &origRadio);
    MSHookMessageEx(tabs, "_availableMediaLibrariesDidChangeNotification:"_sel, &librariesChanged, &origLibraries);
    MSHookMessageEx(tabs, "_mediaLibraryDidChangeNotification:"_sel, &libraryChanged, &origLibrary);

    platform::MusicApp app;
    app.launch();
    int before = itemChanges;
    app.changeItem();
    app.changeItem();
    EXPECT_EQ(itemChanges, before + 2);
    EXPECT_EQ(MSHookIvar<NSInteger>(app.avController(), "_itemChangeCount"), 2);

    tabNotifications.clear();
    app.postRadioEnabledChange();
    EXPECT_EQ(tabNotifications, (std::vector<std::string>{"radio", "libraries", "library"}));
    id tabBar = app.tabBarController();
    EXPECT_EQ(MSHookIvar<NSInteger>(tabBar, "_radioEnabledChanges"), 1);
    EXPECT_EQ(MSHookIvar<NSInteger>(tabBar, "_availableLibrariesChanges"), 1);
    EXPECT_EQ(MSHookIvar<NSInteger>(tabBar, "_mediaLibraryChanges"), 1);
}

// Replacements stay for the life of the process; this one only acts while
// its test runs.
bool withholdOffers = false;
Slot<id(objc_object*, SEL)> origOffers;
id noOffers(objc_object* self, SEL cmd) { return withholdOffers ? emptyArray() : origOffers(self, cmd); }

TEST_F(ClassGraph, OffersPassThroughUnlessReplaced) {
    platform::MusicApp app({.radio = true});
    app.launch();
    id offers = app.requestOffers();
    ASSERT_TRUE(isKind(offers, "NSArray"));
    EXPECT_GT(count(offers), 0u);

    MSHookMessageEx(cls("RadioTrack"), "_offers"_sel, &noOffers, &origOffers);
    ASSERT_TRUE(origOffers);
    withholdOffers = true;
    offers = app.requestOffers();
    withholdOffers = false;
    ASSERT_TRUE(isKind(offers, "NSArray"));
    EXPECT_EQ(count(offers), 0u);
    EXPECT_GT(count(app.requestOffers()), 0u);
}

Slot<id(objc_object*, SEL, id)> origSwipeButtons;
id swipeButtonsWithDelete(objc_object* self, SEL cmd, id path) {
    id buttons = objc_msgSend<id()>(origSwipeButtons(self, cmd, path), "mutableCopy"_sel);
    objc_msgSend<void(id)>(buttons, "addObject:"_sel,
                           makeView(cls("_UITableViewCellActionButton"), CGRectMake(0, 0, 80, 44)));
    return objc_autorelease(buttons);
}

TEST_F(ClassGraph, SwipeButtonsStartWithTheSystemsDeleteAndCanBeAddedTo) {
    id table = objc_autorelease(objc_msgSend<id(CGRect, NSInteger)>(alloc(cls("UITableView")), "initWithFrame:style:"_sel,
                                                                    CGRectMake(0, 0, 320, 480), UITableViewStylePlain));
    id path = objc_msgSend<id(NSInteger, NSInteger)>(cls("NSIndexPath"), "indexPathForRow:inSection:"_sel, 0, 0);
    id buttons = objc_msgSend<id(id)>(table, "_swipeActionButtonsForRowAtIndexPath:"_sel, path);
    ASSERT_TRUE(isKind(buttons, "NSArray"));
    ASSERT_EQ(count(buttons), 1u);
    EXPECT_TRUE(isKind(at(buttons, 0), "_UITableViewCellActionButton"));

    MSHookMessageEx(cls("UITableView"), "_swipeActionButtonsForRowAtIndexPath:"_sel, &swipeButtonsWithDelete,
                    &origSwipeButtons);
    buttons = objc_msgSend<id(id)>(table, "_swipeActionButtonsForRowAtIndexPath:"_sel, path);
    ASSERT_EQ(count(buttons), 2u);
    EXPECT_TRUE(isKind(at(buttons, 1), "_UITableViewCellActionButton"));
}

// ---------------------------------------------------------------------------
// The app's object graph.

using Launch = MusicAppTest;

TEST_F(Launch, BuildsTheObjectGraph) {
    platform::MusicApp app({.radio = true});
    EXPECT_FALSE(app.launched());
    app.launch();
    ASSERT_TRUE(app.launched());

    id tabs = app.tabBarController();
    id root = app.rootViewController();
    id songs = app.songsViewController();
    id nav = app.songsNavigationController();
    EXPECT_EQ(object_getClass(tabs), cls("MusicTabBarController"));
    EXPECT_EQ(object_getClass(root), cls("MPHRootViewController"));
    EXPECT_EQ(object_getClass(songs), cls("MusicTableViewController"));
    EXPECT_EQ(object_getClass(app.avController()), cls("MPAVController"));
    EXPECT_EQ(object_getClass(app.audioDeviceController()), cls("MPAudioDeviceController"));
    EXPECT_EQ(object_getClass(app.queueFeeder()), cls("MusicQueryQueueFeeder"));
    EXPECT_EQ(object_getClass(app.nowPlayingViewController()), cls("MusicNowPlayingViewController"));
    EXPECT_EQ(object_getClass(app.radioQueueFeeder()), cls("RURadioQueueFeeder"));

    // Root → tab bar → navigation → songs list.
    EXPECT_EQ(MSHookIvar<id>(root, "_tabBarController"), tabs);
    EXPECT_EQ(elements(objc_msgSend<id()>(root, "childViewControllers"_sel)), std::vector<id>{tabs});
    EXPECT_EQ(objc_msgSend<id()>(tabs, "parentViewController"_sel), root);
    EXPECT_EQ(elements(objc_msgSend<id()>(tabs, "viewControllers"_sel)), std::vector<id>{nav});
    EXPECT_EQ(objc_msgSend<id()>(tabs, "selectedViewController"_sel), nav);
    EXPECT_EQ(objc_msgSend<id()>(nav, "topViewController"_sel), songs);
    EXPECT_EQ(objc_msgSend<id()>(songs, "navigationController"_sel), nav);
    EXPECT_EQ(objc_msgSend<id()>(songs, "tabBarController"_sel), tabs);
    EXPECT_EQ(objc_msgSend<id()>(tabs, "tabBarController"_sel), nullptr);

    // The songs list has its table view, served by the controller.
    EXPECT_TRUE(objc_msgSend<BOOL()>(songs, "isViewLoaded"_sel));
    id table = objc_msgSend<id()>(songs, "tableView"_sel);
    ASSERT_TRUE(isKind(table, "UITableView"));
    EXPECT_EQ(objc_msgSend<id()>(table, "delegate"_sel), songs);
    EXPECT_EQ(objc_msgSend<id()>(table, "dataSource"_sel), songs);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 1);
    EXPECT_EQ(MSHookIvar<NSInteger>(songs, "_storeButtonUpdates"), 1);

    // The queue: a few items in playing order.
    id feeder = app.queueFeeder();
    EXPECT_EQ(objc_msgSend<NSUInteger()>(feeder, "itemCount"_sel), 3u);
    id shuffled = MSHookIvar<id>(feeder, "_items");
    id ordered = MSHookIvar<id>(shuffled, "_orderedArray");
    EXPECT_EQ(count(ordered), 3u);
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(feeder, "playbackInfoAtIndex:"_sel, 2), at(ordered, 2));
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(feeder, "playbackInfoAtIndex:"_sel, 3), nullptr);
    NSError* error = reinterpret_cast<NSError*>(feeder);  // must be overwritten
    EXPECT_TRUE(objc_msgSend<BOOL(id, NSError**)>(feeder, "shouldBeginPlaybackOfItem:error:"_sel, at(ordered, 0),
                                                  &error));
    EXPECT_EQ(error, nullptr);
    EXPECT_FALSE(objc_msgSend<BOOL(id, NSError**)>(feeder, "shouldBeginPlaybackOfItem:error:"_sel, nil, nullptr));

    EXPECT_TRUE(isKind(objc_msgSend<id()>(app.audioDeviceController(), "_pickableRoutes"_sel), "NSArray"));
    EXPECT_FALSE(objc_msgSend<BOOL()>(app.nowPlayingViewController(), "isViewLoaded"_sel));

    // Launching twice keeps the same objects.
    app.launch();
    EXPECT_EQ(app.tabBarController(), tabs);
}

// Every class whose instances the app makes.
const char* const kAppClasses[] = {
    "MusicTabBarController", "MPHRootViewController", "MusicTableViewController", "UINavigationController",
    "UITableView", "UIView", "MPAVController", "MPAudioDeviceController", "MusicQueryQueueFeeder",
    "MPMediaQueryShuffledItems", "MusicNowPlayingViewController", "MusicNowPlayingPlaybackControlsView",
    "RURadioQueueFeeder", "RadioTrack", "MusicSongListTableViewCell", "NSObject",
};

void expectNoLiveInstances() {
    for (const char* name : kAppClasses) {
        EXPECT_EQ(class_getLiveInstanceCount(cls(name)), 0) << name;
    }
}

TEST_F(Launch, ShutdownLeavesNoLiveInstances) {
    {
        AutoreleasePool inner;
        platform::MusicApp app({.radio = true});
        app.launch();
        app.showNowPlaying();
        app.changeItem();
        app.postRadioEnabledChange();
        EXPECT_GT(count(app.requestOffers()), 0u);
        id songs = app.songsViewController();
        objc_msgSend<id(id, id)>(songs, "tableView:cellForRowAtIndexPath:"_sel,
                                 objc_msgSend<id()>(songs, "tableView"_sel), nil);
        EXPECT_GT(class_getLiveInstanceCount(cls("RadioTrack")), 0);
        app.shutdown();
        EXPECT_FALSE(app.launched());
        EXPECT_EQ(app.queueFeeder(), nullptr);
    }
    expectNoLiveInstances();

    // Again, and this time the destructor shuts down.
    {
        AutoreleasePool inner;
        platform::MusicApp app({.radio = true});
        app.launch();
        app.showNowPlaying();
        app.shutdown();
        app.launch();
        EXPECT_NE(app.queueFeeder(), nullptr);
    }
    expectNoLiveInstances();
}

TEST_F(Launch, HelpersDoNothingBeforeLaunch) {
    platform::MusicApp app;
    app.showNowPlaying();
    app.changeItem();
    app.postRadioEnabledChange();
    EXPECT_EQ(app.requestOffers(), nullptr);
    EXPECT_EQ(app.rootViewController(), nullptr);
    app.shutdown();
    EXPECT_EQ(class_getLiveInstanceCount(cls("MPAVController")), 0);
}

// ---------------------------------------------------------------------------
// Views.

using Views = MusicAppTest;

TEST_F(Views, InitHasAZeroFrameAndBoundsStartAtZero) {
    id view = make(UIView::cls());
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(view, "frame"_sel), CGRectZero));
    objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, CGRectMake(10, 20, 30, 40));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(view, "frame"_sel), CGRectMake(10, 20, 30, 40)));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(view, "bounds"_sel), CGRectMake(0, 0, 30, 40)));
    objc_msgSend<void(NSInteger)>(view, "setTag:"_sel, -7);
    EXPECT_EQ(objc_msgSend<NSInteger()>(view, "tag"_sel), -7);
}

TEST_F(Views, SubviewsKeepTheirOrderAndReaddingBringsToFront) {
    id parent = make(UIView::cls());
    id a = make(UIView::cls());
    id b = make(UIView::cls());
    id c = make(UIView::cls());
    for (id v : {a, b, c}) objc_msgSend<void(id)>(parent, "addSubview:"_sel, v);
    EXPECT_EQ(listOf(parent, "subviews"_sel), (std::vector<id>{a, b, c}));
    EXPECT_EQ(objc_msgSend<id()>(b, "superview"_sel), parent);

    NSUInteger retained = objc_retainCount(a);
    objc_msgSend<void(id)>(parent, "addSubview:"_sel, a);
    EXPECT_EQ(listOf(parent, "subviews"_sel), (std::vector<id>{b, c, a}));
    EXPECT_EQ(objc_retainCount(a), retained);

    // Moving a view to another superview takes it out of the first.
    id other = make(UIView::cls());
    objc_msgSend<void(id)>(other, "addSubview:"_sel, b);
    EXPECT_EQ(listOf(parent, "subviews"_sel), (std::vector<id>{c, a}));
    EXPECT_EQ(objc_msgSend<id()>(b, "superview"_sel), other);
}

TEST_F(Views, SuperviewsOwnSubviewsButNotTheOtherWay) {
    id child = make(UIView::cls());
    NSUInteger alone = objc_retainCount(child);
    id parent = objc_msgSend<id()>(alloc(UIView::cls()), "init"_sel);
    NSUInteger parentAlone = objc_retainCount(parent);
    objc_msgSend<void(id)>(parent, "addSubview:"_sel, child);
    EXPECT_EQ(objc_retainCount(child), alone + 1);
    EXPECT_EQ(objc_retainCount(parent), parentAlone);

    objc_msgSend<void()>(child, "removeFromSuperview"_sel);
    EXPECT_EQ(objc_retainCount(child), alone);
    EXPECT_EQ(objc_msgSend<id()>(child, "superview"_sel), nullptr);
    EXPECT_EQ(listOf(parent, "subviews"_sel).size(), 0u);
    objc_msgSend<void()>(child, "removeFromSuperview"_sel);  // no superview: nothing happens

    // A superview that goes leaves its surviving subviews without one.
    objc_msgSend<void(id)>(parent, "addSubview:"_sel, child);
    objc_release(parent);
    EXPECT_EQ(objc_msgSend<id()>(child, "superview"_sel), nullptr);
    EXPECT_EQ(objc_retainCount(child), alone);
}

TEST_F(Views, RemovingTheLastReferenceFreesTheView) {
    id parent = make(UIView::cls());
    id child = objc_msgSend<id()>(alloc(UIView::cls()), "init"_sel);
    objc_msgSend<void(id)>(parent, "addSubview:"_sel, child);
    objc_release(child);  // the superview holds it now
    long live = class_getLiveInstanceCount(UIView::cls());
    objc_msgSend<void()>(child, "removeFromSuperview"_sel);
    EXPECT_EQ(class_getLiveInstanceCount(UIView::cls()), live - 1);
}

TEST_F(Views, ViewWithTagLooksAtTheReceiverThenDepthFirst) {
    id root = make(UIView::cls());
    id a = make(UIView::cls());
    id a1 = make(UIView::cls());
    id b = make(UIView::cls());
    objc_msgSend<void(NSInteger)>(a, "setTag:"_sel, 1);
    objc_msgSend<void(NSInteger)>(a1, "setTag:"_sel, 5);
    objc_msgSend<void(NSInteger)>(b, "setTag:"_sel, 5);
    objc_msgSend<void(id)>(root, "addSubview:"_sel, a);
    objc_msgSend<void(id)>(root, "addSubview:"_sel, b);
    objc_msgSend<void(id)>(a, "addSubview:"_sel, a1);

    EXPECT_EQ(objc_msgSend<id(NSInteger)>(root, "viewWithTag:"_sel, 0), root);
    EXPECT_EQ(objc_msgSend<id(NSInteger)>(root, "viewWithTag:"_sel, 1), a);
    EXPECT_EQ(objc_msgSend<id(NSInteger)>(root, "viewWithTag:"_sel, 5), a1);
    EXPECT_EQ(objc_msgSend<id(NSInteger)>(b, "viewWithTag:"_sel, 5), b);
    EXPECT_EQ(objc_msgSend<id(NSInteger)>(root, "viewWithTag:"_sel, 9), nullptr);
}

TEST_F(Views, AViewCannotContainItsAncestor) {
    id parent = make(UIView::cls());
    id child = make(UIView::cls());
    objc_msgSend<void(id)>(parent, "addSubview:"_sel, child);
    EXPECT_THROW(objc_msgSend<void(id)>(child, "addSubview:"_sel, parent), NSException*);
    EXPECT_THROW(objc_msgSend<void(id)>(child, "addSubview:"_sel, child), NSException*);
    EXPECT_THROW(objc_msgSend<void(id)>(child, "addSubview:"_sel, make(NSObject::cls())), NSException*);
    EXPECT_EQ(objc_msgSend<id()>(parent, "superview"_sel), nullptr);
}

TEST_F(Views, CellsFillTheirContentView) {
    id cell = objc_autorelease(objc_msgSend<id(NSInteger, id)>(alloc(cls("MusicSongListTableViewCell")),
                                                                "initWithStyle:reuseIdentifier:"_sel,
                                                                UITableViewCellStyleSubtitle, string("Song")));
    EXPECT_EQ(objc_msgSend<NSInteger()>(cell, "style"_sel), UITableViewCellStyleSubtitle);
    EXPECT_STREQ(objc_msgSend<const char*()>(objc_msgSend<id()>(cell, "reuseIdentifier"_sel), "UTF8String"_sel), "Song");
    id content = objc_msgSend<id()>(cell, "contentView"_sel);
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(elements(objc_msgSend<id()>(cell, "subviews"_sel)), std::vector<id>{content});

    objc_msgSend<void(CGRect)>(cell, "setFrame:"_sel, CGRectMake(0, 88, 320, 60));
    objc_msgSend<void()>(cell, "layoutIfNeeded"_sel);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(content, "frame"_sel), CGRectMake(0, 0, 320, 60)));

    // initWithFrame: makes a default cell of that frame.
    id plain = makeView(cls("UITableViewCell"), CGRectMake(0, 0, 100, 30));
    EXPECT_EQ(objc_msgSend<NSInteger()>(plain, "style"_sel), UITableViewCellStyleDefault);
    EXPECT_NE(objc_msgSend<id()>(plain, "contentView"_sel), nullptr);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(plain, "frame"_sel), CGRectMake(0, 0, 100, 30)));
}

// ---------------------------------------------------------------------------
// Tables.

using Tables = MusicAppTest;

NSInteger sectionsOf(objc_object*, SEL, id) { return 3; }
NSInteger rowsOf(objc_object*, SEL, id, NSInteger section) { return section * 2 + 1; }

TEST_F(Tables, ReloadDataAsksTheDataSource) {
    Class source = objc_allocateClassPair(NSObject::cls(), "TestAlbumSource", 0);
    ASSERT_NE(source, nullptr);
    class_addMethod(source, "numberOfSectionsInTableView:"_sel, &sectionsOf, "q@:@");
    class_addMethod(source, "tableView:numberOfRowsInSection:"_sel, &rowsOf, "q@:@q");
    objc_registerClassPair(source);
    id dataSource = make(source);

    id flipside = make(cls("MusicFlipsideAlbumDetailViewController"));
    objc_msgSend<void(id)>(flipside, "setDataSource:"_sel, dataSource);
    id table = objc_msgSend<id()>(flipside, "tableView"_sel);
    ASSERT_TRUE(isKind(table, "UITableView"));
    EXPECT_EQ(objc_msgSend<id()>(table, "dataSource"_sel), dataSource);
    EXPECT_EQ(objc_msgSend<id()>(flipside, "dataSource"_sel), dataSource);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 0);

    objc_msgSend<void()>(flipside, "reloadData"_sel);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 3);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 2), 5);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 3), 0);

    // A data source set after loading reaches the table too.
    objc_msgSend<void(id)>(flipside, "setDataSource:"_sel, nil);
    EXPECT_EQ(objc_msgSend<id()>(table, "dataSource"_sel), nullptr);
    objc_msgSend<void()>(flipside, "reloadData"_sel);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 0);
}

TEST_F(Tables, EditingAndDeletesOfTheSongsList) {
    id songs = make(cls("MusicTableViewController"));
    id table = objc_msgSend<id()>(songs, "tableView"_sel);
    EXPECT_FALSE(objc_msgSend<BOOL()>(table, "isEditing"_sel));
    objc_msgSend<void(BOOL)>(table, "setEditing:"_sel, YES);
    EXPECT_TRUE(objc_msgSend<BOOL()>(table, "isEditing"_sel));
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "style"_sel), UITableViewStylePlain);

    id path = objc_msgSend<id(NSInteger, NSInteger)>(cls("NSIndexPath"), "indexPathForRow:inSection:"_sel, 0, 0);
    SEL commit = "tableView:commitEditingStyle:forRowAtIndexPath:"_sel;
    objc_msgSend<void(id, NSInteger, id)>(songs, commit, table, UITableViewCellEditingStyleInsert, path);
    EXPECT_EQ(MSHookIvar<NSInteger>(songs, "_deleteCommits"), 0);
    objc_msgSend<void(id, NSInteger, id)>(songs, commit, table, UITableViewCellEditingStyleDelete, path);
    EXPECT_EQ(MSHookIvar<NSInteger>(songs, "_deleteCommits"), 1);

    id cell = objc_msgSend<id(id, id)>(songs, "tableView:cellForRowAtIndexPath:"_sel, table, path);
    EXPECT_EQ(object_getClass(cell), cls("MusicSongListTableViewCell"));
    EXPECT_STREQ(objc_msgSend<const char*()>(objc_msgSend<id()>(cell, "reuseIdentifier"_sel), "UTF8String"_sel),
                 kMusicSongListCellIdentifier);
    EXPECT_EQ(objc_msgSend<id(id, NSInteger)>(songs, "tableView:viewForHeaderInSection:"_sel, table, 0), nullptr);
    objc_msgSend<void(id, id, NSInteger)>(songs, "tableView:willDisplayHeaderView:forSection:"_sel, table,
                                          make(UIView::cls()), 0);
}

TEST_F(Tables, AControllersTableForgetsItWhenItGoes) {
    id songs = objc_msgSend<id()>(alloc(cls("MusicTableViewController")), "init"_sel);
    id table = objc_retain(objc_msgSend<id()>(songs, "tableView"_sel));
    ASSERT_EQ(objc_msgSend<id()>(table, "delegate"_sel), songs);
    objc_release(songs);
    EXPECT_EQ(objc_msgSend<id()>(table, "delegate"_sel), nullptr);
    EXPECT_EQ(objc_msgSend<id()>(table, "dataSource"_sel), nullptr);
    objc_release(table);
}

TEST_F(Tables, HeaderViewsKnowTheirTable) {
    id header = make(cls("MusicAlbumsDetailTableHeaderView"));
    id table = makeView(cls("UITableView"), CGRectMake(0, 0, 320, 480));
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "style"_sel), UITableViewStylePlain);
    objc_msgSend<void(id)>(header, "setTableView:"_sel, table);
    EXPECT_EQ(objc_msgSend<id()>(header, "tableView"_sel), table);
    EXPECT_THROW(objc_msgSend<void(id)>(header, "setTableView:"_sel, header), NSException*);
}

// ---------------------------------------------------------------------------
// View controllers.

using Controllers = MusicAppTest;

TEST_F(Controllers, NavigationStackPushesAndPops) {
    id a = make(UIViewController::cls());
    id b = make(UIViewController::cls());
    id nav = objc_autorelease(
        objc_msgSend<id(id)>(alloc(UINavigationController::cls()), "initWithRootViewController:"_sel, a));
    objc_msgSend<void(id, BOOL)>(nav, "pushViewController:animated:"_sel, b, YES);
    EXPECT_EQ(elements(objc_msgSend<id()>(nav, "viewControllers"_sel)), (std::vector<id>{a, b}));
    EXPECT_EQ(objc_msgSend<id()>(nav, "topViewController"_sel), b);
    EXPECT_EQ(objc_msgSend<id()>(b, "navigationController"_sel), nav);
    EXPECT_THROW(objc_msgSend<void(id, BOOL)>(nav, "pushViewController:animated:"_sel, b, NO), NSException*);

    EXPECT_EQ(objc_msgSend<id(BOOL)>(nav, "popViewControllerAnimated:"_sel, NO), b);
    EXPECT_EQ(objc_msgSend<id()>(b, "navigationController"_sel), nullptr);
    EXPECT_EQ(objc_msgSend<id()>(b, "parentViewController"_sel), nullptr);
    // The root stays.
    EXPECT_EQ(objc_msgSend<id(BOOL)>(nav, "popViewControllerAnimated:"_sel, NO), nullptr);
    EXPECT_EQ(objc_msgSend<id()>(nav, "topViewController"_sel), a);
}

TEST_F(Controllers, TabBarSelectsAmongItsControllers) {
    id tabs = make(cls("MusicTabBarController"));
    EXPECT_EQ(objc_msgSend<id()>(tabs, "selectedViewController"_sel), nullptr);
    id a = make(UIViewController::cls());
    id b = make(UIViewController::cls());
    id list = objc_msgSend<id()>(cls("NSMutableArray"), "array"_sel);
    objc_msgSend<void(id)>(list, "addObject:"_sel, a);
    objc_msgSend<void(id)>(list, "addObject:"_sel, b);
    objc_msgSend<void(id)>(tabs, "setViewControllers:"_sel, list);
    EXPECT_EQ(elements(objc_msgSend<id()>(tabs, "viewControllers"_sel)), (std::vector<id>{a, b}));
    EXPECT_EQ(objc_msgSend<id()>(tabs, "selectedViewController"_sel), a);
    EXPECT_EQ(objc_msgSend<id()>(b, "tabBarController"_sel), tabs);

    objc_msgSend<void(id)>(tabs, "setSelectedViewController:"_sel, b);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(tabs, "selectedIndex"_sel), 1u);
    objc_msgSend<void(NSUInteger)>(tabs, "setSelectedIndex:"_sel, 5);
    EXPECT_EQ(objc_msgSend<id()>(tabs, "selectedViewController"_sel), b);

    // New tabs replace the old ones.
    id c = make(UIViewController::cls());
    id only = objc_msgSend<id()>(cls("NSMutableArray"), "array"_sel);
    objc_msgSend<void(id)>(only, "addObject:"_sel, c);
    objc_msgSend<void(id)>(tabs, "setViewControllers:"_sel, only);
    EXPECT_EQ(elements(objc_msgSend<id()>(tabs, "childViewControllers"_sel)), std::vector<id>{c});
    EXPECT_EQ(objc_msgSend<id()>(a, "tabBarController"_sel), nullptr);
    EXPECT_EQ(objc_msgSend<id()>(tabs, "selectedViewController"_sel), c);
    EXPECT_THROW(objc_msgSend<void(id)>(tabs, "setViewControllers:"_sel, objc_msgSend<id()>(tabs, "view"_sel)),
                 NSException*);
}

TEST_F(Controllers, ChildrenAreOwnedAndForgetAParentThatGoes) {
    id parent = objc_msgSend<id()>(alloc(UIViewController::cls()), "init"_sel);
    id child = make(UIViewController::cls());
    NSUInteger alone = objc_retainCount(child);
    objc_msgSend<void(id)>(parent, "addChildViewController:"_sel, child);
    objc_msgSend<void(id)>(parent, "addChildViewController:"_sel, child);  // once only
    EXPECT_EQ(listOf(parent, "childViewControllers"_sel).size(), 1u);
    EXPECT_EQ(objc_retainCount(child), alone + 1);
    EXPECT_EQ(objc_msgSend<id()>(child, "parentViewController"_sel), parent);
    EXPECT_THROW(objc_msgSend<void(id)>(child, "addChildViewController:"_sel, parent), NSException*);

    objc_release(parent);
    EXPECT_EQ(objc_msgSend<id()>(child, "parentViewController"_sel), nullptr);
    EXPECT_EQ(objc_retainCount(child), alone);
}

TEST_F(Controllers, TitleAndNibAreKept) {
    id name = string("Nib");
    id controller = objc_autorelease(
        objc_msgSend<id(id, id)>(alloc(cls("MusicNowPlayingViewController")), "initWithNibName:bundle:"_sel, name, nil));
    EXPECT_EQ(objc_msgSend<id()>(controller, "nibName"_sel), name);
    EXPECT_EQ(objc_msgSend<id()>(controller, "title"_sel), nullptr);
    id title = string("Now Playing");
    objc_msgSend<void(id)>(controller, "setTitle:"_sel, title);
    EXPECT_EQ(objc_msgSend<id()>(controller, "title"_sel), title);
}

TEST_F(Controllers, TheAppCategoryAnswers) {
    for (const char* name : {"UIViewController", "MusicTableViewController", "UINavigationController"}) {
        id controller = make(cls(name));
        EXPECT_TRUE(objc_msgSend<BOOL()>(controller, "MPH_supportsCoverFlow"_sel)) << name;
        objc_msgSend<void(BOOL)>(controller, "_music_updateForContentChangeForInitialViewLoad:"_sel, NO);
        EXPECT_EQ(MSHookIvar<NSInteger>(controller, "_storeButtonUpdates"), 1) << name;
    }
}

Slot<void(objc_object*, SEL)> origLayoutCells;
int cellLayouts = 0;
void layoutCells(objc_object* self, SEL cmd) {
    ++cellLayouts;
    origLayoutCells(self, cmd);
}

TEST_F(Controllers, MoreListLaysOutItsCellsWhenItAppears) {
    MSHookMessageEx(cls("UIMoreListController"), "_layoutCells"_sel, &layoutCells, &origLayoutCells);
    id more = make(cls("UIMoreListController"));
    objc_msgSend<id()>(more, "view"_sel);
    int before = cellLayouts;
    objc_msgSend<void(BOOL)>(more, "viewWillAppear:"_sel, NO);
    EXPECT_EQ(cellLayouts, before + 1);
}

TEST_F(Controllers, ArtworkDataSourceCachesWhatItIsGiven) {
    id source = make(cls("MPMediaLibraryArtworkDataSource"));
    id representation = make(NSObject::cls());
    EXPECT_EQ(objc_msgSend<id(id, id)>(source, "_cacheRepresentation:forCatalog:"_sel, representation, nil),
              representation);
    EXPECT_EQ(objc_msgSend<id(id, id)>(source, "_cacheRepresentation:forCatalog:"_sel, nil, representation), nullptr);
}

// ---------------------------------------------------------------------------
// Geometry.

TEST(Geometry, RectanglesAndTheirEdges) {
    CGRect r = CGRectMake(10, 20, 30, 40);
    EXPECT_EQ(CGRectGetMinX(r), 10);
    EXPECT_EQ(CGRectGetMaxX(r), 40);
    EXPECT_EQ(CGRectGetMinY(r), 20);
    EXPECT_EQ(CGRectGetMaxY(r), 60);
    EXPECT_EQ(CGRectGetWidth(r), 30);
    EXPECT_EQ(CGRectGetHeight(r), 40);
    EXPECT_EQ(CGRectGetMidX(r), 25);
    EXPECT_TRUE(CGRectEqualToRect(r, CGRectMake(10, 20, 30, 40)));
    EXPECT_FALSE(CGRectEqualToRect(r, CGRectMake(10, 20, 30, 41)));
    EXPECT_TRUE(CGRectEqualToRect(CGRectZero, CGRectMake(0, 0, 0, 0)));
    EXPECT_TRUE(CGPointEqualToPoint(CGPointMake(1, 2), CGPoint{1, 2}));
    EXPECT_TRUE(CGSizeEqualToSize(CGSizeMake(3, 4), CGSize{3, 4}));

    // A negative extent counts from the other edge.
    CGRect flipped = CGRectMake(10, 20, -4, -6);
    EXPECT_EQ(CGRectGetMinX(flipped), 6);
    EXPECT_EQ(CGRectGetMaxX(flipped), 10);
    EXPECT_EQ(CGRectGetMinY(flipped), 14);
    EXPECT_EQ(CGRectGetWidth(flipped), 4);
    EXPECT_EQ(CGRectGetHeight(flipped), 6);
    EXPECT_FALSE(CGRectEqualToRect(flipped, CGRectStandardize(flipped)));
    EXPECT_TRUE(CGRectIsEmpty(CGRectMake(5, 5, 0, 3)));
    EXPECT_FALSE(CGRectIsEmpty(r));
}

}  // namespace
