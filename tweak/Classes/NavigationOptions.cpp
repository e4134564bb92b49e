#include "NavigationOptions.h"
#include "Sends.h"

#include "Cantrel.h"

#include <UIKit/UIToolbar.h>
#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>

Slot<BOOL(UIViewController*, SEL)> _MPH_supportsCoverFlow$UIViewController;
Slot<void(UIViewController*, SEL)> _music_updateStoreNavigationItem$UIViewController;
Slot<void(UIViewController*, SEL, BOOL)> __music_updateForContentChangeForInitialViewLoad$UIViewController;

using cantrel::countOf;

namespace {


NSInteger tagOf(id item) { return objc_msgSend<NSInteger()>(item, "tag"_sel); }
void setTag(id item, NSInteger tag) { objc_msgSend<void(NSInteger)>(item, "setTag:"_sel, tag); }

// A queue button aimed at `target` (autoreleased).
id newQueueButton(id target) {
    id button = objc_msgSend<id(NSInteger, id, SEL)>(objc_msgSend<id()>(objc::as_id(objc_getClass("UIBarButtonItem")),
                                                                        "alloc"_sel),
                                                     "initWithBarButtonSystemItem:target:action:"_sel,
                                                     UIBarButtonSystemItemBookmarks, target, "showNowPlayingList:"_sel);
    objc_msgSend<void(NSInteger)>(button, "setStyle:"_sel, 0);
    return objc_autorelease(button);
}

id arrayOf(id a, id b) {
    id array = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    objc_msgSend<void(id)>(array, "addObject:"_sel, a);
    if (b != nil) objc_msgSend<void(id)>(array, "addObject:"_sel, b);
    return array;
}

NSUInteger liveQueueCount() {
    id shuffled = objc_msgSend<id()>(objc::as_id(_MusicQueryQueueFeeder), "getMPMediaQueryShuffledItems"_sel);
    return countOf(objc_msgSend<id()>(shuffled, "get_orderedArray"_sel));
}

}  // namespace

bool liveQueueIsNotEmpty() { return liveQueueCount() > 0; }

void doNavigationPlaylistCheckAndAddOrRemove(id viewController) {
    AutoreleasePool pool;
    id navigationItem = objc_msgSend<id()>(viewController, "navigationItem"_sel);
    id rightItems = objc_msgSend<id()>(navigationItem, "rightBarButtonItems"_sel);
    NSUInteger queued = liveQueueCount();
    CLog("doNavigationPlaylistCheckAndAddOrRemove viewController.navigationItem.rightBarButtonItems: %@", rightItems);
    CLog("doNavigationPlaylistCheckAndAddOrRemove - _orderedArray.count: %lu", queued);
    Strong<NSObject> first(static_cast<NSObject*>(objc_msgSend<id()>(navigationItem, "rightBarButtonItem"_sel)));
    id r = objc::as_id(first.get());
    if (queued > 0) {
        if (countOf(rightItems) >= 2) return;
        if (r != nil && tagOf(r) == kQueueBarButtonTag) return;
        id button = newQueueButton(viewController);
        setTag(button, kQueueBarButtonTag);
        if (r != nil) {
            objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, arrayOf(r, button));
            setTag(r, kQueueBarButtonBesideTag);
        } else {
            objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, arrayOf(button, nil));
        }
        return;
    }
    if (r == nil) return;
    if (tagOf(r) == kQueueBarButtonBesideTag) {
        objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, nil);
        objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItem:"_sel, r);
        setTag(r, 0);
    } else if (tagOf(r) == kQueueBarButtonTag) {
        objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, nil);
    }
}

// A bar that already carries two or more right items is left alone, as the
// general check leaves it: the screen's other items stay.
void doNowPlayingNavigationPlaylistCheck(id viewController) {
    AutoreleasePool pool;
    if (!liveQueueIsNotEmpty()) return;
    id navigationItem = objc_msgSend<id()>(viewController, "navigationItem"_sel);
    id r = objc_msgSend<id()>(navigationItem, "rightBarButtonItem"_sel);
    if (r == nil || tagOf(r) == kQueueBarButtonBesideTag || tagOf(r) == kQueueBarButtonTag) return;
    if (countOf(objc_msgSend<id()>(navigationItem, "rightBarButtonItems"_sel)) >= 2) return;
    objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, arrayOf(r, newQueueButton(viewController)));
    setTag(r, kQueueBarButtonBesideTag);
}

BOOL MPH_supportsCoverFlow$UIViewController(UIViewController* self, SEL _cmd) {
    if (disable_cover_flow) return NO;
    return _MPH_supportsCoverFlow$UIViewController(self, _cmd);
}

void music_updateStoreNavigationItem$UIViewController(UIViewController* self, SEL _cmd) {
    CLog("UIViewController - music_updateStoreNavigationItem: %@", objc::as_id(self));
    if (!hide_store_button) _music_updateStoreNavigationItem$UIViewController(self, _cmd);
    doNavigationPlaylistCheckAndAddOrRemove(objc::as_id(self));
}

void _music_updateForContentChangeForInitialViewLoad$UIViewController(UIViewController* self, SEL _cmd, BOOL flag) {
    CLog("UIViewController - __music_updateForContentChangeForInitialViewLoad: %@", objc::as_id(self));
    id navigationItem = objc_msgSend<id()>(objc::as_id(self), "navigationItem"_sel);
    if (objc_msgSend<id()>(navigationItem, "rightBarButtonItem"_sel) != nil && isOnStartup)
        doNavigationPlaylistCheckAndAddOrRemove(objc::as_id(self));
    __music_updateForContentChangeForInitialViewLoad$UIViewController(self, _cmd, flag);
}

// The list is one controller: it never stands on two stacks. Already on the
// receiver's stack it is shown again (nothing to do on top, a pop back to it
// below); on another stack it is taken off that one before the push.
void showNowPlayingList(id self, SEL, id) {
    AutoreleasePool pool;
    Class listClass = objc_getClass("PlaylistTableViewController");
    id list = objc_msgSend<id()>(objc::as_id(listClass), "sharedInstance"_sel);
    id navigation = objc_msgSend<id()>(self, "navigationController"_sel);
    if (list == nil || navigation == nil) return;
    id parent = objc_msgSend<id()>(list, "parentViewController"_sel);
    if (parent == navigation) {
        if (objc_msgSend<id()>(navigation, "topViewController"_sel) != list)
            objc_msgSend<id(id, BOOL)>(navigation, "popToViewController:animated:"_sel, list, YES);
        return;
    }
    if (parent != nil) {
        Strong<NSObject> keep(static_cast<NSObject*>(list));
        if (objc_isKindOfClass(parent, objc_getClass("UINavigationController"))) {
            id others = objc_msgSend<id()>(objc_msgSend<id()>(parent, "viewControllers"_sel), "mutableCopy"_sel);
            objc_msgSend<void(id)>(others, "removeObject:"_sel, list);
            objc_msgSend<void(id, BOOL)>(parent, "setViewControllers:animated:"_sel, others, NO);
            objc_release(others);
        } else {
            objc_msgSend<void()>(list, "removeFromParentViewController"_sel);
        }
    }
    objc_msgSend<void(id, BOOL)>(navigation, "pushViewController:animated:"_sel, list, YES);
}
