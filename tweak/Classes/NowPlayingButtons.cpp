// The now-playing screen's add-to-playlist and edit buttons.
#include "NowPlayingButtons.h"

#include "Cantrel.h"
#include "CustomDrawView.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "NavigationOptions.h"
#include "Sends.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <UIKit/UIKit.h>

#include <algorithm>

Slot<id(MusicNowPlayingViewController*, SEL, id)> __albumTextForItem$MusicNowPlayingViewController;
Slot<void(MusicNowPlayingViewController*, SEL, BOOL)> _viewWillAppear$MusicNowPlayingViewController;
Slot<void(MusicNowPlayingViewController*, SEL)> _viewDidLayoutSubviews$MusicNowPlayingViewController;
Slot<id(MusicNowPlayingViewController*, SEL, id, id)> _initWithNibName_bundle$MusicNowPlayingViewController;
Slot<void(MusicNowPlayingPlaybackControlsView*, SEL)> _layoutSubviews$MusicNowPlayingPlaybackControlsView;

using cantrel::countOf;
using cantrel::objectAt;

namespace {

// Never destroyed: the process ends without tearing them down.
Weak<NSObject>& nowPlayingController() {
    static auto* controller = new Weak<NSObject>;
    return *controller;
}
Strong<NSObject>& nowPlayingItem() {
    static auto* item = new Strong<NSObject>;
    return *item;
}

void keepController(id controller) { nowPlayingController() = static_cast<NSObject*>(controller); }

// A button beside the slider: its system item, its action, the marker that
// recognises its container, and its place relative to the slider's frame,
// then its shift on phones by the screen's longer side.
struct NowPlayingButton {
    NSInteger systemItem;
    const char* action;
    const char* marker;  // the address names the associated value
    bool fromRightEdge;  // x from the slider's width, else from its x
    double dx, dy;
    double dx667, dy667;
    double dxSmall, dySmall;  // longer side 568 or less
};

const char kAddContainerMarker[] = "NOW_PLAYING_ADD_TO_PLAYLIST";
const char kEditContainerMarker[] = "NOW_PLAYING_EDIT";

constexpr NowPlayingButton kButtons[] = {
    {4, "addToPlaylist:", kAddContainerMarker, true, -63, 120, 10, -14, 20, -37},
    {7, "editItemOnNowPlayingView:", kEditContainerMarker, false, 18, 117, -15, -14, -20, -35},
};

// The container of a button among the controls' direct subviews, or nil.
id containerOf(id controls, const NowPlayingButton& button) {
    id subviews = objc_msgSend<id()>(controls, "subviews"_sel);
    for (NSUInteger i = 0, n = countOf(subviews); i < n; ++i) {
        id view = objectAt(subviews, i);
        if (objc_getAssociatedObject(view, button.marker) != nil) return view;
    }
    return nil;
}

CGRect containerFrame(CGRect slider, const NowPlayingButton& button) {
    double x = (button.fromRightEdge ? slider.size.width : slider.origin.x) + button.dx;
    double y = slider.origin.y + button.dy;
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPhone) {
        CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
        double longer = std::max(screen.size.width, screen.size.height);
        if (longer == 667) {
            x += button.dx667;
            y += button.dy667;
        } else if (longer <= 568) {
            x += button.dxSmall;
            y += button.dySmall;
        }
    }
    return CGRectMake(x, y, 50, 50);
}

id clearColor() { return objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel); }

}  // namespace

id currentNowPlayingViewController() { return objc::as_id(nowPlayingController().get()); }
id currentNowPlayingMediaItem() { return objc::as_id(nowPlayingItem().get()); }

id newToolbarButtonContainer(NSInteger systemItem, id target, SEL action) {
    id container = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(CustomDrawView::cls(), "alloc"_sel),
                                            "initWithFrame:"_sel, CGRectZero);
    objc_msgSend<void(id)>(container, "setBackgroundColor:"_sel, clearColor());
    id toolbar = objc_autorelease(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIToolbar::cls(), "alloc"_sel),
                                                           "initWithFrame:"_sel, CGRectMake(0, 0, 50, 50)));
    objc_msgSend<void(NSInteger)>(toolbar, "setBarStyle:"_sel, 0);
    objc_msgSend<void(id)>(toolbar, "setBackgroundColor:"_sel, clearColor());
    if (cantrel::responds(toolbar, "setBackgroundImage:forToolbarPosition:barMetrics:"_sel))
        objc_msgSend<void(id, NSInteger, NSInteger)>(
            toolbar, "setBackgroundImage:forToolbarPosition:barMetrics:"_sel,
            objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(UIImage::cls(), "alloc"_sel), "init"_sel)), 0, 0);
    objc_msgSend<void(NSInteger)>(toolbar, "setTag:"_sel, kButtonContainerToolbarTag);
    objc_msgSend<void(BOOL)>(toolbar, "setClipsToBounds:"_sel, YES);
    id item = objc_autorelease(objc_msgSend<id(NSInteger, id, SEL)>(
        objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel), "initWithBarButtonSystemItem:target:action:"_sel,
        systemItem, target, action));
    objc_msgSend<void(id)>(toolbar, "setItems:"_sel, objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel, item));
    objc_msgSend<void(id)>(container, "addSubview:"_sel, toolbar);
    return container;
}

id initWithNibName_bundle$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd, id nibName,
                                                        id bundle) {
    CLog("** Cantrel ** _initWithNibName_bundle$MusicNowPlayingViewController");
    id controller = _initWithNibName_bundle$MusicNowPlayingViewController(self, _cmd, nibName, bundle);
    keepController(controller);
    return controller;
}

void viewWillAppear$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd, BOOL animated) {
    CLog("** Cantrel ** _viewWillAppear$MusicNowPlayingViewController");
    _viewWillAppear$MusicNowPlayingViewController(self, _cmd, animated);
    keepController(objc::as_id(self));
}

void viewDidLayoutSubviews$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd) {
    CLog("** Cantrel ** _viewDidLayoutSubviews$MusicNowPlayingViewController");
    _viewDidLayoutSubviews$MusicNowPlayingViewController(self, _cmd);
    keepController(objc::as_id(self));
    doNowPlayingNavigationPlaylistCheck(objc::as_id(self));
}

// While the controller presents anything (the edit sheet, the picker, any
// other screen) the kept values stay; otherwise they follow the item asked
// about, and an item without a media item clears both.
id _albumTextForItem$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd, id item) {
    id result = __albumTextForItem$MusicNowPlayingViewController(self, _cmd, item);
    id media = cantrel::responds(item, "mediaItem"_sel) ? objc_msgSend<id()>(item, "mediaItem"_sel) : nil;
    id presented = objc_msgSend<id()>(objc::as_id(self), "presentedViewController"_sel);
    CLog("** Cantrel ** __albumTextForItem$MusicNowPlayingViewController MusicNowPlayingViewController.View: %@",
         objc_msgSend<id()>(objc_msgSend<id()>(objc::as_id(self), "view"_sel), "subviews"_sel));
    CLog("** Cantrel ** __albumTextForItem$MusicNowPlayingViewController [arg1 mediaItem]: %@", media);
    CLog("** Cantrel ** __albumTextForItem$MusicNowPlayingViewController  - presentedViewController: %@", presented);
    if (presented != nil) return result;
    nowPlayingController() = nullptr;
    nowPlayingItem() = static_cast<NSObject*>(media);
    if (media != nil) keepController(objc::as_id(self));
    return result;
}

void layoutSubviews$MusicNowPlayingPlaybackControlsView(MusicNowPlayingPlaybackControlsView* self, SEL _cmd) {
    _layoutSubviews$MusicNowPlayingPlaybackControlsView(self, _cmd);
    CLog("** Cantrel ** _layoutSubviews$MusicNowPlayingPlaybackControlsView");
    Class sliderClass = objc_getClass("MPDetailSlider");
    if (sliderClass == nil) return;
    id controls = objc::as_id(self);
    id subviews = objc_msgSend<id()>(controls, "subviews"_sel);
    id slider = nil;
    for (NSUInteger i = 0, n = countOf(subviews); i < n && slider == nil; ++i) {
        id view = objectAt(subviews, i);
        if (objc_isKindOfClass(view, sliderClass)) slider = view;
    }
    if (slider == nil) return;
    bool itemKept = nowPlayingItem().get() != nullptr;
    for (const NowPlayingButton& button : kButtons) {
        id container = containerOf(controls, button);
        if (container == nil && itemKept) {
            CLog("** Cantrel ** _layoutSubviews$MusicNowPlayingPlaybackControlsView, viewCheck: %@", controls);
            container = newToolbarButtonContainer(button.systemItem, controls, sel_registerName(button.action));
            objc_setAssociatedObject(container, button.marker, NSNumber::withBool(true),
                                     OBJC_ASSOCIATION_RETAIN_NONATOMIC);
            objc_msgSend<void(id)>(controls, "addSubview:"_sel, container);
            objc_release(container);
        } else if (container != nil && !itemKept) {
            objc_msgSend<void()>(container, "removeFromSuperview"_sel);
            continue;
        }
        // Placed from the slider as it lies now (the screen may have turned).
        if (container != nil)
            objc_msgSend<void(CGRect)>(container, "setFrame:"_sel,
                                       containerFrame(objc_msgSend<CGRect()>(slider, "frame"_sel), button));
    }
}

void addToPlaylist(id, SEL, id) {
    CLog("** Cantrel ** addToPlaylist$MusicNowPlayingPlaybackControlsView");
    Strong<NSObject> controller = nowPlayingController().lock();
    Strong<NSObject> item = nowPlayingItem();
    if (!controller || !item) return;
    objc_msgSend<void(id, id)>(objc::as_id(objc_getClass("PlaylistHandler")),
                               "openPlaylistSelectionViewOnItem:andViewController:"_sel, objc::as_id(item.get()),
                               objc::as_id(controller.get()));
}

void editItemOnNowPlayingView(id, SEL, id) {
    CLog("** Cantrel ** editItemOnNowPlayingView$MusicNowPlayingPlaybackControlsView");
    Strong<NSObject> controller = nowPlayingController().lock();
    Strong<NSObject> item = nowPlayingItem();
    if (!controller || !item) return;
    AutoreleasePool pool;
    auto* entry = static_cast<ItemEntry*>(
        objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
    id pair = objc::as_id(NSArray::make({objc::as_id(controller.get()), objc::as_id(item.get())}));
    assignMediaItem(nullptr, nullptr, kViewIndexNowPlaying, entry, pair);
    objc_msgSend<void(id, id, long)>(objc::as_id(objc_getClass("EditHandler")),
                                     "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel, nil,
                                     objc::as_id(entry), -1);
}
