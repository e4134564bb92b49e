// The queue feeders and the radio's tracks.
#include "../UIKit/ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSArray.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MediaPlayer/QueueMessages.h>
#include <MusicApp/RURadioQueueFeeder.h>
#include <UIKit/UITableView.h>

#include <cstdint>

using namespace platform::support;

namespace {

namespace feeder {

NSUInteger itemCount(MPQueueFeeder*, SEL) { return 0; }
id playbackInfoAtIndex(MPQueueFeeder*, SEL, NSUInteger) { return nil; }
int indexOfMediaItem(MPQueueFeeder*, SEL, id) { return -1; }

}  // namespace feeder

namespace queryFeeder {

// New shuffled items over `items` (nil: without an ordered array), owned by
// the caller and tied to the feeder.
MPMediaQueryShuffledItems* newShuffledItems(MusicQueryQueueFeeder* feeder, id items) {
    id alloced = objc_msgSend<id()>(MPMediaQueryShuffledItems::cls(), "alloc"_sel);
    MPMediaQueryShuffledItems* fresh =
        adoptObject<MPMediaQueryShuffledItems>(objc_msgSend<id(id)>(alloced, "initWithSourceItems:"_sel, items),
                                               "-[MusicQueryQueueFeeder init]")
            .detach();
    fresh->_feeder = feeder;
    return fresh;
}

id init(MusicQueryQueueFeeder* self, SEL) {
    self = objectAs<MusicQueryQueueFeeder>(objc_msgSendSuper<id()>(self, MusicQueryQueueFeeder::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->_items = newShuffledItems(self, nil);
    platform::refreshQueueSnapshot(self);
    return self;
}

// The shuffled items take `items` as the source list (and the ordered array
// as the process-wide order says); the snapshot follows.
void takeItems(MusicQueryQueueFeeder* self, id items) {
    MPMediaQueryShuffledItems* fresh = newShuffledItems(self, items);
    storeStrong(fresh->_sourceMediaQuery, self->_query);
    clearStrong(self->_items);
    self->_items = fresh;
    platform::refreshQueueSnapshot(self);
}

void setQuery(MusicQueryQueueFeeder* self, SEL, id query) {
    self->_calls.add("setQuery:", query);
    storeStrong(self->_query, query);
    id items = objc_msgSend<id()>(query, "items"_sel);
    takeItems(self, items != nullptr ? items : mutableArray());
}

id query(MusicQueryQueueFeeder* self, SEL) { return self->_query; }

void setQueryItems(MusicQueryQueueFeeder* self, SEL, id items) {
    self->_calls.add("setQueryItems:", items);
    takeItems(self, items != nullptr ? items : mutableArray());
}

id avController(MusicQueryQueueFeeder* self, SEL) { return objc::as_id(self->_AVController.get()); }
void setAVController(MusicQueryQueueFeeder* self, SEL, id player) {
    self->_AVController = objectAs<MPAVController>(player);
}

NSUInteger itemCount(MusicQueryQueueFeeder* self, SEL) { return self->_loaded.size(); }

int indexOfMediaItem(MusicQueryQueueFeeder* self, SEL, id item) {
    if (item == nullptr) return -1;
    for (size_t i = 0; i < self->_loaded.size(); ++i) {
        id at = self->_loaded[i].get();
        if (at == item || objc_msgSend<BOOL(id)>(at, "isEqual:"_sel, item)) return static_cast<int>(i);
    }
    return -1;
}

id mediaItemAtIndex(MusicQueryQueueFeeder* self, SEL, NSUInteger index) {
    return index < self->_loaded.size() ? self->_loaded[index].get() : nil;
}

id playbackInfoAtIndex(MusicQueryQueueFeeder* self, SEL, NSUInteger index) {
    self->_calls.add("playbackInfoAtIndex:", index);
    return index < self->_loaded.size() ? self->_loaded[index].get() : nil;
}

BOOL shouldBeginPlaybackOfItem(MusicQueryQueueFeeder*, SEL, id item, NSError** error) {
    if (error != nullptr) *error = nullptr;
    return item != nullptr;
}

void handleMediaLibraryDidChange(MusicQueryQueueFeeder* self, SEL) {
    self->_calls.add("_handleMediaLibraryDidChange");
    platform::refreshQueueSnapshot(self);
}

void commitSourceChange(MusicQueryQueueFeeder* self, SEL, NSInteger index) {
    self->_calls.add("commitSourceChangeWithStartQueueIndex:", index);
    platform::refreshQueueSnapshot(self);
    // An index outside the queue starts nothing (the player logs it).
    id player = objc::as_id(self->_AVController.get());
    int start = index >= 0 && index <= INT32_MAX ? static_cast<int>(index) : -1;
    objc_msgSend<queue::playItemAtIndex>(player, "playItemAtIndex:forceRestart:"_sel, start, YES);
}

void contentsDidChange(MusicQueryQueueFeeder* self, SEL, NSRange range) {
    self->_calls.add("contentsDidChangeByRemovingRange:", range);
    platform::refreshQueueSnapshot(self);
}

void dealloc(MusicQueryQueueFeeder* self, SEL) {
    clearStrong(self->_items);
    clearStrong(self->_query);
    self->_loaded.clear();
    objc_msgSendSuper<void()>(self, MusicQueryQueueFeeder::cls(), "dealloc"_sel);
}

}  // namespace queryFeeder

// The same objects in the same order (by address).
bool sameObjects(const NSArray* a, const NSArray* b) {
    if (a == nullptr || b == nullptr) return a == b;
    if (a->count() != b->count()) return false;
    for (NSUInteger i = 0; i < a->count(); ++i)
        if (a->items()[i].get() != b->items()[i].get()) return false;
    return true;
}

// The list screens' table view hands the feeder the list it plays from.
void setSourceMediaQueryItems(UITableView* self, SEL, id items, id feederObject) {
    auto* feeder = objectAs<MusicQueryQueueFeeder>(feederObject);
    if (feeder == nullptr || feeder->_items == nullptr) return;
    MPMediaQueryShuffledItems* shuffled = feeder->_items;
    id copy = objc_autorelease(objc_msgSend<id()>(items, "copy"_sel));
    if (copy == nullptr) copy = objc_msgSend<id()>(NSArray::cls(), "array"_sel);
    storeStrong(shuffled->_sourceMediaQueryItems, copy);
    auto* ordered = objectAs<NSMutableArray>(shuffled->_orderedArray);
    if (ordered != nullptr && ordered->count() > 0 && !sameObjects(ordered, objectAs<NSArray>(copy)))
        ordered->setArray(objectAs<NSArray>(copy));
    feeder->_calls.add("setSourceMediaQueryItems:andFeeder:", copy);
    platform::refreshQueueSnapshot(feeder);
    (void)self;
}

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

id radioPlaybackInfoAtIndex(RURadioQueueFeeder* self, SEL, NSUInteger index) {
    return index < self->_tracks.size() ? objc::as_id(self->_tracks[index].get()) : nil;
}

int radioIndexOfMediaItem(RURadioQueueFeeder* self, SEL, id item) {
    for (size_t i = 0; i < self->_tracks.size(); ++i)
        if (objc::as_id(self->_tracks[i].get()) == item) return static_cast<int>(i);
    return -1;
}

id copyRawItemAtIndex(RURadioQueueFeeder* self, SEL, NSUInteger index) {
    if (index >= self->_tracks.size()) return nil;
    return objc_retain(objc::as_id(self->_tracks[index].get()));
}

}  // namespace radioFeeder

}  // namespace

void platform::refreshQueueSnapshot(MusicQueryQueueFeeder* feeder) {
    if (feeder == nullptr) return;
    id items = objc_msgSend<queue::items>(objc::as_id(feeder->_items), "items"_sel);
    auto* array = objectAs<NSArray>(items);
    static const std::vector<Strong<objc_object>> kNone;
    const std::vector<Strong<objc_object>>& source = array != nullptr ? array->items() : kNone;
    // Taken again only when it differs: a queue of thousands is announced often.
    bool same = source.size() == feeder->_loaded.size();
    for (size_t i = 0; same && i < source.size(); ++i) same = source[i].get() == feeder->_loaded[i].get();
    if (same) return;
    std::vector<Strong<objc_object>> next = source;
    feeder->_loaded.swap(next);
}

void platform::musicapp::registerQueueFeeders() {
    objc::ClassDef<MPQueueFeeder>("MPQueueFeeder", NSObject::cls())
        .method<feeder::itemCount>("itemCount")
        .method<feeder::playbackInfoAtIndex>("playbackInfoAtIndex:")
        .method<feeder::indexOfMediaItem>("indexOfMediaItem:");
    objc::ClassDef<MusicQueryQueueFeeder>("MusicQueryQueueFeeder", MPQueueFeeder::cls())
        .method<queryFeeder::init>("init")
        .method<queryFeeder::setQuery>("setQuery:")
        .method<queryFeeder::query>("query")
        .method<queryFeeder::setQueryItems>("setQueryItems:")
        .method<queryFeeder::avController>("AVController")
        .method<queryFeeder::setAVController>("setAVController:")
        .method<queryFeeder::itemCount>("itemCount")
        .method<queryFeeder::indexOfMediaItem>("indexOfMediaItem:")
        .method<queryFeeder::mediaItemAtIndex>("mediaItemAtIndex:")
        .method<queryFeeder::playbackInfoAtIndex>("playbackInfoAtIndex:")
        .method<queryFeeder::shouldBeginPlaybackOfItem>("shouldBeginPlaybackOfItem:error:")
        .method<queryFeeder::handleMediaLibraryDidChange>("_handleMediaLibraryDidChange")
        .method<queryFeeder::commitSourceChange>("commitSourceChangeWithStartQueueIndex:")
        .method<queryFeeder::contentsDidChange>("contentsDidChangeByRemovingRange:")
        .method<queryFeeder::dealloc>("dealloc")
        .OBJC_IVAR(MusicQueryQueueFeeder, _items);
    objc::define_method(UITableView::cls(), "setSourceMediaQueryItems:andFeeder:"_sel,
                        imp_implementationWithFunction(&setSourceMediaQueryItems), "v@:@@");
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
        .method<radioFeeder::copyRawItemAtIndex>("copyRawItemAtIndex:")
        .method<radioFeeder::radioPlaybackInfoAtIndex>("playbackInfoAtIndex:")
        .method<radioFeeder::radioIndexOfMediaItem>("indexOfMediaItem:");
}
