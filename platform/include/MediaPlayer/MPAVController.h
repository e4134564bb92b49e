// MPAVController: the player. It plays from a feeder (the feeder's
// playbackInfoAtIndex: gives the item at a place) and keeps the place of the
// entry it plays, so that a song queued twice plays twice and the queue goes
// on after the copy that played. Re-ordering the queue never changes what
// plays. When the feeder's queue changed, the place is found again: the same
// copy (first, second …) of the playing song while no copy came or went,
// else the copy nearest the old place. A change that moves a copy of the
// playing song itself positions the player anew
// (reloadFeederWithStartQueueIndex:). Prototypes: MediaPlayer/QueueMessages.h.
//
//   currentMediaItem                 id()    the playing (or paused) item; while the radio
//                                            plays, the radio track; nil when nothing is loaded
//   currentIndex                     NSUInteger()   the playing entry's place in the feeder,
//                                            NSNotFound when nothing is loaded or the entry
//                                            has left the queue
//   feeder                           id()    retained; the feeder's AVController names the player
//   isPlaying                        BOOL()
//   switchToFeeder:mode:index:play:  void(id, NSInteger, NSInteger, BOOL)   takes the feeder;
//                                            with play YES, an item change to the index
//   reloadFeederWithStartQueueIndex: void(int)   logged; the player's place becomes the
//                                            index when that entry holds the playing song
//                                            (the feeder is read on each change)
//   playItemAtIndex:forceRestart:    void(int, BOOL)   an item change to that place of the
//                                            feeder (out of range: logged, ignored)
//   pauseWithFadeout:                void(double)   stops playing, keeps the item
//   play                             void()         plays the current item (nothing without one)
//   _itemWillChange:                 void(id)       sent through the runtime, nil argument
//   _itemDidReachEnd                 void()         the song ended: the place after the
//                                            playing entry's plays; after the last, or when
//                                            the entry has left the queue, the player stops
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
    // Where _currentItem stood in the feeder when last seen there, and how
    // many entries of the same song stood before it.
    NSUInteger _currentIndex = NSNotFound;
    NSUInteger _currentCopy = 0;
    BOOL _playing = NO;
    platform::CallLog _calls;
};

struct MPMusicPlayerControllerServer : NSObject {
    OBJC_CLASS(MPMusicPlayerControllerServer)

    Weak<MPAVController> _player;
};
