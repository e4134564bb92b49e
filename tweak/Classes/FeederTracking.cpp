#include "FeederTracking.h"

#include "Cantrel.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/QueueMessages.h>

Slot<id(MPHRootViewController*, SEL, id)> _initWithTabBarController$MPHRootViewController;
Slot<id(MusicQueryQueueFeeder*, SEL)> _init$MusicQueryQueueFeeder;
Slot<void(MusicQueryQueueFeeder*, SEL)> _dealloc$MusicQueryQueueFeeder;
Slot<id(MusicQueryQueueFeeder*, SEL, NSUInteger)> _playbackInfoAtIndex$MusicQueryQueueFeeder;
Slot<void(MPAVController*, SEL, id)> __itemWillChange$MPAVController;
Slot<id(RURadioQueueFeeder*, SEL)> _init$RURadioQueueFeeder;
Slot<id(RadioTrack*, SEL)> __offers$RadioTrack;

id initWithTabBarController$MPHRootViewController(MPHRootViewController* self, SEL _cmd, id tabBarController) {
    id result = _initWithTabBarController$MPHRootViewController(self, _cmd, tabBarController);
    CLog("** Cantrel ** _initWithTabBarController$MPHRootViewController, retValue: %@", result);
    isOnStartup = YES;
    return result;
}

id init$MusicQueryQueueFeeder(MusicQueryQueueFeeder* self, SEL _cmd) {
    id result = _init$MusicQueryQueueFeeder(self, _cmd);
    CLog("** Cantrel ** _init$MusicQueryQueueFeeder");
    _MusicQueryQueueFeeder = static_cast<MusicQueryQueueFeeder*>(result);
    return result;
}

// Whichever feeder goes, the pointer never names a freed one.
void dealloc$MusicQueryQueueFeeder(MusicQueryQueueFeeder* self, SEL _cmd) {
    _dealloc$MusicQueryQueueFeeder(self, _cmd);
    CLog("** Cantrel ** _dealloc$MusicQueryQueueFeeder");
    _MusicQueryQueueFeeder = nil;
}

id playbackInfoAtIndex$MusicQueryQueueFeeder(MusicQueryQueueFeeder* self, SEL _cmd, NSUInteger index) {
    id result = _playbackInfoAtIndex$MusicQueryQueueFeeder(self, _cmd, index);
    _MusicQueryQueueFeeder = self;
    return result;
}

// The "Playing list" hears of the change only while it lives; nothing here
// makes it.
void _itemWillChange$MPAVController(MPAVController* self, SEL _cmd, id argument) {
    __itemWillChange$MPAVController(self, _cmd, argument);
    Class list = objc_getClass("PlaylistTableViewController");
    if (list == nil || !objc_msgSend<BOOL(SEL)>(objc::as_id(list), "respondsToSelector:"_sel, "sharedInstanceIfAlive"_sel))
        return;
    id controller = objc_msgSend<id()>(objc::as_id(list), "sharedInstanceIfAlive"_sel);
    if (controller != nil) objc_msgSend<void(id)>(controller, "nowPlayingItemChanged:"_sel, objc::as_id(self));
}

// A radio queue takes over: the library's queue actions find no library
// feeder, whatever the radio's initialiser does.
id init$RURadioQueueFeeder(RURadioQueueFeeder* self, SEL _cmd) {
    _MusicQueryQueueFeeder = nil;
    id result = _init$RURadioQueueFeeder(self, _cmd);
    if (!LOGGER_ON) return result;
    // What follows only feeds the log: asked only while logging, and the
    // first track's +1 copy is given back.
    NSLog("** Cantrel ** _init$RURadioQueueFeeder");
    if (result == nil) return result;
    NSUInteger count = objc_msgSend<queue::itemCount>(result, "itemCount"_sel);
    NSLog("preparePlayNowOrNext -RURadioQueueFeeder itemCount: %lu", count);
    NSLog("preparePlayNowOrNext -RURadioQueueFeeder tracks: %@", objc_msgSend<queue::tracks>(result, "tracks"_sel));
    NSLog("preparePlayNowOrNext -RURadioQueueFeeder tracksForNextPlaybackGroup: %@",
          objc_msgSend<queue::tracks>(result, "tracksForNextPlaybackGroup"_sel));
    if (count > 0) {
        id first = objc_msgSend<queue::copyRawItemAtIndex>(result, "copyRawItemAtIndex:"_sel, 0);
        NSLog("preparePlayNowOrNext -RURadioQueueFeeder copyRawItemAtIndex: %@", first);
        objc_release(first);
    }
    return result;
}

id _offers$RadioTrack(RadioTrack* self, SEL _cmd) {
    CLog("** Cantrel ** __offers$RadioTrack");
    if (hide_buy_button_for_radio_track) return nil;
    return __offers$RadioTrack(self, _cmd);
}
