// The queue feeders and the radio's tracks.
#include "../UIKit/ObjectSupport.h"
#include "Private.h"

#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/RURadioQueueFeeder.h>

using namespace platform::support;

namespace {

namespace feeder {

NSUInteger itemCount(MPQueueFeeder*, SEL) { return 0; }
id playbackInfoAtIndex(MPQueueFeeder*, SEL, NSUInteger) { return nil; }

}  // namespace feeder

namespace queryFeeder {

// New shuffled items over `items`, owned by the caller.
MPMediaQueryShuffledItems* newShuffledItems(id items) {
    id alloced = objc_msgSend<id()>(MPMediaQueryShuffledItems::cls(), "alloc"_sel);
    return adoptObject<MPMediaQueryShuffledItems>(objc_msgSend<id(id)>(alloced, "initWithSourceItems:"_sel, items),
                                                  "-[MusicQueryQueueFeeder init]")
        .detach();
}

id init(MusicQueryQueueFeeder* self, SEL) {
    self = objectAs<MusicQueryQueueFeeder>(objc_msgSendSuper<id()>(self, MusicQueryQueueFeeder::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->_shuffledItems = newShuffledItems(mutableArray());
    return self;
}

void setQueryItems(MusicQueryQueueFeeder* self, SEL, id items) {
    MPMediaQueryShuffledItems* fresh = newShuffledItems(items);
    clearStrong(self->_shuffledItems);
    self->_shuffledItems = fresh;
}

NSUInteger itemCount(MusicQueryQueueFeeder* self, SEL) {
    return objc_msgSend<NSUInteger()>(self->_shuffledItems, "count"_sel);
}

id playbackInfoAtIndex(MusicQueryQueueFeeder* self, SEL, NSUInteger index) {
    return objc_msgSend<id(NSUInteger)>(self->_shuffledItems, "objectAtIndex:"_sel, index);
}

BOOL shouldBeginPlaybackOfItem(MusicQueryQueueFeeder*, SEL, id item, NSError** error) {
    if (error != nullptr) *error = nullptr;
    return item != nullptr;
}

void dealloc(MusicQueryQueueFeeder* self, SEL) {
    clearStrong(self->_shuffledItems);
    objc_msgSendSuper<void()>(self, MusicQueryQueueFeeder::cls(), "dealloc"_sel);
}

}  // namespace queryFeeder

namespace radioTrack {

id init(RadioTrack* self, SEL) {
    self = objectAs<RadioTrack>(objc_msgSendSuper<id()>(self, RadioTrack::cls(), "init"_sel));
    if (self == nullptr) return nil;
    // One purchase option until the store exists.
    self->_storeOffers.push_back(adoptObject<NSObject>(newObject(NSObject::cls()), "-[RadioTrack init]"));
    return self;
}

id offers(RadioTrack* self, SEL) { return arrayOf(self->_storeOffers); }

}  // namespace radioTrack

namespace radioFeeder {

constexpr int kStationTracks = 2;

id init(RURadioQueueFeeder* self, SEL) {
    self = objectAs<RURadioQueueFeeder>(objc_msgSendSuper<id()>(self, RURadioQueueFeeder::cls(), "init"_sel));
    if (self == nullptr) return nil;
    for (int i = 0; i < kStationTracks; ++i)
        self->_tracks.push_back(adoptObject<RadioTrack>(newObject(RadioTrack::cls()), "-[RURadioQueueFeeder init]"));
    return self;
}

NSUInteger itemCount(RURadioQueueFeeder* self, SEL) { return self->_tracks.size(); }

id tracks(RURadioQueueFeeder* self, SEL) { return arrayOf(self->_tracks); }

// A station plays as one group for now.
id tracksForNextPlaybackGroup(RURadioQueueFeeder* self, SEL) { return arrayOf(self->_tracks); }

id copyRawItemAtIndex(RURadioQueueFeeder* self, SEL, NSUInteger index) {
    if (index >= self->_tracks.size()) return nil;
    return objc_retain(objc::as_id(self->_tracks[index].get()));
}

}  // namespace radioFeeder

}  // namespace

void platform::musicapp::registerQueueFeeders() {
    objc::ClassDef<MPQueueFeeder>("MPQueueFeeder", NSObject::cls())
        .method<feeder::itemCount>("itemCount")
        .method<feeder::playbackInfoAtIndex>("playbackInfoAtIndex:");
    objc::ClassDef<MusicQueryQueueFeeder>("MusicQueryQueueFeeder", MPQueueFeeder::cls())
        .method<queryFeeder::init>("init")
        .method<queryFeeder::setQueryItems>("setQueryItems:")
        .method<queryFeeder::itemCount>("itemCount")
        .method<queryFeeder::playbackInfoAtIndex>("playbackInfoAtIndex:")
        .method<queryFeeder::shouldBeginPlaybackOfItem>("shouldBeginPlaybackOfItem:error:")
        .method<queryFeeder::dealloc>("dealloc")
        .OBJC_IVAR(MusicQueryQueueFeeder, _shuffledItems);
}

void platform::musicapp::registerRadio() {
    objc::ClassDef<RadioTrack>("RadioTrack", NSObject::cls())
        .method<radioTrack::init>("init")
        .method<radioTrack::offers>("_offers");
    objc::ClassDef<RURadioQueueFeeder>("RURadioQueueFeeder", MPQueueFeeder::cls())
        .method<radioFeeder::init>("init")
        .method<radioFeeder::itemCount>("itemCount")
        .method<radioFeeder::tracks>("tracks")
        .method<radioFeeder::tracksForNextPlaybackGroup>("tracksForNextPlaybackGroup")
        .method<radioFeeder::copyRawItemAtIndex>("copyRawItemAtIndex:");
}
