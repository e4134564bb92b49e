// The playback queue feeders: a feeder hands the player the items of the
// queue. MPQueueFeeder is the abstract base.
//
// MPQueueFeeder
//   itemCount                          NSUInteger()    0
//   playbackInfoAtIndex:               id(NSUInteger)  nil
//
// MusicQueryQueueFeeder : MPQueueFeeder — plays the items of a library query
//   init                               id()            empty queue
//   setQueryItems:                     void(id)        NSArray; new shuffled items in that order
//   itemCount                          NSUInteger()
//   playbackInfoAtIndex:               id(NSUInteger)  the item at that place of the playing order
//   shouldBeginPlaybackOfItem:error:   BOOL(id, NSError**)   YES; *error set to nil
//   dealloc                            void()          releases _shuffledItems, then [super dealloc]
#pragma once

#include <MediaPlayer/MPMediaQueryShuffledItems.h>
#include <objc/NSObject.h>

struct NSError;

struct MPQueueFeeder : NSObject {
    OBJC_CLASS(MPQueueFeeder)
};

struct MusicQueryQueueFeeder : MPQueueFeeder {
    OBJC_CLASS(MusicQueryQueueFeeder)

    MPMediaQueryShuffledItems* _shuffledItems = nullptr;  // owned; released by dealloc
};
