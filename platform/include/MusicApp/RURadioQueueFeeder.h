// The radio: a station's queue is a list of radio tracks, played in groups.
//
// RURadioQueueFeeder : MPQueueFeeder
//   init                          id()            a station with two tracks
//   itemCount                     NSUInteger()
//   tracks                        id()            NSArray of RadioTrack
//   tracksForNextPlaybackGroup    id()            NSArray of RadioTrack
//   copyRawItemAtIndex:           id(NSUInteger)  the track, owned by the caller; nil past the end
//   playbackInfoAtIndex:          id(NSUInteger)  the track; nil past the end
//   indexOfMediaItem:             int(id)         the track's place, -1 when absent
//
// RadioTrack : NSObject
//   init                          id()
//   _offers                       id()            NSArray of the track's store offers (never empty)
//
// Neither class exists when the app runs without the radio
// (MusicAppOptions::radio).
#pragma once

#include <MusicApp/MPQueueFeeder.h>

#include <vector>

struct RadioTrack : NSObject {
    OBJC_CLASS(RadioTrack)

    // The store offers, one per purchase option.
    std::vector<Strong<NSObject>> _storeOffers;
};

struct RURadioQueueFeeder : MPQueueFeeder {
    OBJC_CLASS(RURadioQueueFeeder)

    std::vector<Strong<RadioTrack>> _tracks;
};
