// MPAVController: the player. It plays from a feeder (the feeder's
// playbackInfoAtIndex: gives the item at a place) and follows the playing
// item by its identity, never by an index, so re-ordering the queue alone
// never changes what plays. Prototypes: MusicApp/QueueMessages.h.
//
//   currentMediaItem                 id()    the playing (or paused) item; while the radio
//                                            plays, the radio track; nil when nothing is loaded
//   feeder                           id()    retained; the feeder's AVController names the player
//   isPlaying                        BOOL()
//   switchToFeeder:mode:index:play:  void(id, NSInteger, NSInteger, BOOL)   takes the feeder;
//                                            with play YES, an item change to the index
//   reloadFeederWithStartQueueIndex: void(int)   logged (the feeder is read on each change)
//   playItemAtIndex:forceRestart:    void(int, BOOL)   an item change to that place of the
//                                            feeder (out of range: logged, ignored)
//   pauseWithFadeout:                void(double)   stops playing, keeps the item
//   play                             void()         plays the current item (nothing without one)
//   _itemWillChange:                 void(id)       sent through the runtime, nil argument
//   _itemDidReachEnd                 void()         the song ended: the next place of the
//                                            feeder plays; after the last, the player stops
//                                            and keeps its item
// An item change runs in this order: _itemWillChange:, the feeder's
// playbackInfoAtIndex:, the new current item, then the now-playing-item
// notification (and the playback-state one when the playing state changed),
// both posted by the player to the default centre.
//
// MPMusicPlayerControllerServer: +sharedInstance (one object), player (the
// app's player, weak; set by the app with _setPlayer:).
#pragma once

#include <Foundation/NSString.h>
#include <objc/NSObject.h>
#include <platform/CallLog.h>

#define MPMusicPlayerControllerNowPlayingItemDidChangeNotification \
    ("MPMusicPlayerControllerNowPlayingItemDidChangeNotification"_ns)
#define MPMusicPlayerControllerPlaybackStateDidChangeNotification \
    ("MPMusicPlayerControllerPlaybackStateDidChangeNotification"_ns)

struct MPAVController : NSObject {
    OBJC_CLASS(MPAVController)

    // How many item changes the player has seen.
    NSInteger _itemChangeCount = 0;
    Strong<NSObject> _feeder;
    Strong<NSObject> _currentItem;
    BOOL _playing = NO;
    platform::CallLog _calls;
};

struct MPMusicPlayerControllerServer : NSObject {
    OBJC_CLASS(MPMusicPlayerControllerServer)

    Weak<MPAVController> _player;
};
