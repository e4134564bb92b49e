// The messages of the Music app's live play queue, with their prototypes:
// the one table that the app's classes are registered with and that the
// library states at every send (objc_msgSend<queue::indexOfMediaItem>(…)).
//
// MusicQueryQueueFeeder F (MusicApp/MPQueueFeeder.h)
//   init                                   id()
//   dealloc                                void()
//   query / setQuery:                      id() / void(id)
//   AVController                           id()             the player fed by F (weak), or nil
//   indexOfMediaItem:                      int(id)          position in F's snapshot, -1 when absent
//   itemCount                              NSUInteger()     the snapshot's length
//   mediaItemAtIndex:                      id(NSUInteger)   nil past the end
//   playbackInfoAtIndex:                   id(NSUInteger)   the item the player plays at that place
//   shouldBeginPlaybackOfItem:error:       BOOL(id, NSError**)
//   _handleMediaLibraryDidChange           void()           snapshot follows the shuffled items
//   commitSourceChangeWithStartQueueIndex: void(NSInteger)  snapshot follows; the player plays the index
//   contentsDidChangeByRemovingRange:      void(NSRange)    snapshot follows
// MPMediaQueryShuffledItems S (MPMediaQueryShuffledItems.h)
//   items                                  id()             O when not empty, else L
//   shuffleItemsWithInitialIndex:          void(NSInteger)  logged; no shuffle mode in this app
//   _rebuildItemCachesWithInitialSourceItemIndex:  void(NSInteger)  logged
//   _rebuildCachesWithInitialSourceIndex:  void(NSInteger)  logged
//   invalidateSourceMediaQueryAndLoadItems void()           L and O from the source query again
// MPAVController P (MPAVController.h)
//   currentMediaItem                       id()
//   currentIndex                           NSUInteger()     the playing entry's place, NSNotFound for none
//   feeder                                 id()
//   isPlaying                              BOOL()
//   switchToFeeder:mode:index:play:        void(id, NSInteger, NSInteger, BOOL)
//   reloadFeederWithStartQueueIndex:       void(int)
//   playItemAtIndex:forceRestart:          void(int, BOOL)
//   pauseWithFadeout:                      void(double)
//   play                                   void()
//   _itemWillChange:                       void(id)
// MPMusicPlayerControllerServer (MPAVController.h)
//   +sharedInstance                        id()
//   player                                 id()
// the list screens' UITableView (MusicApp/MusicTableViewController.h)
//   setSourceMediaQueryItems:andFeeder:    void(id, id)
// RURadioQueueFeeder / RadioTrack (MusicApp/RURadioQueueFeeder.h)
//   itemCount                              NSUInteger()
//   tracks, tracksForNextPlaybackGroup     id()
//   copyRawItemAtIndex:                    id(NSUInteger)   +1
//   _offers                                id()
#pragma once

#include <Foundation/NSObjCRuntime.h>

struct NSError;

namespace queue {
using init = id();
using query = id();
using setQuery = void(id);
using AVController = id();
using indexOfMediaItem = int(id);
using itemCount = NSUInteger();
using mediaItemAtIndex = id(NSUInteger);
using playbackInfoAtIndex = id(NSUInteger);
using shouldBeginPlaybackOfItem = BOOL(id, NSError**);
using handleMediaLibraryDidChange = void();
using commitSourceChangeWithStartQueueIndex = void(NSInteger);
using contentsDidChangeByRemovingRange = void(NSRange);

using items = id();
using shuffleItemsWithInitialIndex = void(NSInteger);
using rebuildCaches = void(NSInteger);
using invalidateSourceMediaQueryAndLoadItems = void();

using currentMediaItem = id();
using currentIndex = NSUInteger();
using feeder = id();
using isPlaying = BOOL();
using switchToFeeder = void(id, NSInteger, NSInteger, BOOL);
using reloadFeederWithStartQueueIndex = void(int);
using playItemAtIndex = void(int, BOOL);
using pauseWithFadeout = void(double);
using play = void();
using itemWillChange = void(id);

using sharedInstance = id();
using player = id();

using setSourceMediaQueryItems = void(id, id);

using tracks = id();
using copyRawItemAtIndex = id(NSUInteger);
using offers = id();
}  // namespace queue
