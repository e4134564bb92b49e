// The playback queue feeders: a feeder hands the player the items of the
// queue. MPQueueFeeder is the abstract base. Prototypes of the queue's
// messages: MediaPlayer/QueueMessages.h.
//
// MPQueueFeeder
//   itemCount                          NSUInteger()    0
//   playbackInfoAtIndex:               id(NSUInteger)  nil
//   indexOfMediaItem:                  int(id)         -1
//
// MusicQueryQueueFeeder : MPQueueFeeder — plays the items of a library query
//   init                               id()            shuffled items without an ordered array
//   query / setQuery:                  id() / void(id)  the feeder keeps the query; its
//                                                       shuffled items take the query's items
//   setQueryItems:                     void(id)        NSArray: as setQuery: with those items
//   AVController                       id()            the player (weak), set by the player's
//                                                       switchToFeeder:…; setAVController: void(id)
//   indexOfMediaItem:, itemCount, mediaItemAtIndex:, playbackInfoAtIndex:   over `_loaded`
//   shouldBeginPlaybackOfItem:error:   BOOL(id, NSError**)   YES for an item; *error set to nil
//   _handleMediaLibraryDidChange, commitSourceChangeWithStartQueueIndex:,
//   contentsDidChangeByRemovingRange:  the snapshot follows the shuffled items; the commit
//                                                       then has the player play the index
//   dealloc                            void()          releases what it owns, then [super dealloc]
//
// `_loaded` is a snapshot of the order the feeder plays from (the shuffled
// items' `items`), taken only by setQuery:/setQueryItems:,
// _handleMediaLibraryDidChange, commitSourceChangeWithStartQueueIndex:,
// contentsDidChangeByRemovingRange:, the shuffled items'
// invalidateSourceMediaQueryAndLoadItems and the list table view's
// setSourceMediaQueryItems:andFeeder:. A change of the ordered array that
// none of these follows stays invisible to the player: a stale queue.
#pragma once

#include <MediaPlayer/MPAVController.h>
#include <MediaPlayer/MPMediaQueryShuffledItems.h>
#include <objc/NSObject.h>
#include <platform/CallLog.h>

#include <vector>

struct NSError;


struct MPQueueFeeder : NSObject {
    OBJC_CLASS(MPQueueFeeder)
};

struct MusicQueryQueueFeeder : MPQueueFeeder {
    OBJC_CLASS(MusicQueryQueueFeeder)

    MPMediaQueryShuffledItems* _items = nullptr;  // owned; released by dealloc
    id _query = nil;                               // owned
    Weak<MPAVController> _AVController;
    std::vector<Strong<objc_object>> _loaded;
    platform::CallLog _calls;
};

namespace platform {
// The feeder's snapshot taken again from its shuffled items' `items`.
void refreshQueueSnapshot(MusicQueryQueueFeeder* feeder);
}  // namespace platform
