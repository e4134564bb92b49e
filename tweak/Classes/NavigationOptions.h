// The navigation-bar options: cover flow refused, the store button hidden,
// and the queue button that opens the "Playing list" while the live queue is
// not empty. The replacements stand in the installation table (Cantrel.cpp).
//
// Tags of the right bar items: 101 the queue button standing alone, 99 the
// screen's own first item with a queue button beside it, 0 a screen item
// given back when the queue has emptied.
#pragma once

#include <objc/NSObject.h>
#include <objc/runtime.h>

struct UIViewController;

inline constexpr NSInteger kQueueBarButtonTag = 101;
inline constexpr NSInteger kQueueBarButtonBesideTag = 99;

extern Slot<BOOL(UIViewController*, SEL)> _MPH_supportsCoverFlow$UIViewController;
extern Slot<void(UIViewController*, SEL)> _music_updateStoreNavigationItem$UIViewController;
extern Slot<void(UIViewController*, SEL, BOOL)> __music_updateForContentChangeForInitialViewLoad$UIViewController;

BOOL MPH_supportsCoverFlow$UIViewController(UIViewController* self, SEL _cmd);
void music_updateStoreNavigationItem$UIViewController(UIViewController* self, SEL _cmd);
void _music_updateForContentChangeForInitialViewLoad$UIViewController(UIViewController* self, SEL _cmd, BOOL flag);

// The added action (on UIViewController and MusicNowPlayingViewController):
// pushes the one "Playing list" onto the receiver's navigation controller.
void showNowPlayingList(id self, SEL _cmd, id sender);

// Whether the live queue (the ordered array of the tracked feeder's
// shuffled items) holds anything; a missing link counts as empty.
bool liveQueueIsNotEmpty();

// The queue-button check of a screen's navigation bar.
void doNavigationPlaylistCheckAndAddOrRemove(id viewController);
// The now-playing screen's variant, run from its layout: adds the queue
// button beside its first right item, never removes it.
void doNowPlayingNavigationPlaylistCheck(id viewController);
