// The player (MPAVController), the shuffled items behind a feeder
// (MPMediaQueryShuffledItems) and the system player's server, with their
// call logs.
#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSArray.h>
#include <Foundation/NSNotification.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MediaPlayer/QueueMessages.h>

#include <atomic>

using namespace platform::support;

namespace platform {

namespace {
std::atomic<ShuffledItemsOrder> gShuffledItemsOrder{ShuffledItemsOrder::ordered};
}

void setShuffledItemsOrder(ShuffledItemsOrder order) { gShuffledItemsOrder = order; }
ShuffledItemsOrder shuffledItemsOrder() { return gShuffledItemsOrder; }

std::string callArgument(id value) {
    if (value == nullptr) return "nil";
    if (objc_isKindOfClass(value, objc_getClass("MPMediaEntity")))
        return std::to_string(objc_msgSend<unsigned long long()>(value, "persistentID"_sel));
    if (objc_isKindOfClass(value, NSArray::cls())) return "[" + std::to_string(arrayCount(value)) + "]";
    return object_getClassName(value);
}

}  // namespace platform

MPMediaQueryShuffledItems::~MPMediaQueryShuffledItems() {
    clearStrong(_sourceMediaQuery);
    clearStrong(_sourceMediaQueryItems);
    clearStrong(_orderedArray);
}

namespace {

// ---------------------------------------------------------------------------
// Shuffled items.

namespace shuffledItems {

// L becomes a copy of `items` (nil: empty) and O follows the process-wide order.
void load(MPMediaQueryShuffledItems* self, id items) {
    id copy = objc_msgSend<id(id)>(NSArray::cls(), "arrayWithArray:"_sel, items);
    storeStrong(self->_sourceMediaQueryItems, copy);
    switch (platform::shuffledItemsOrder()) {
        case platform::ShuffledItemsOrder::ordered:
            storeStrong(self->_orderedArray, objc_msgSend<id(id)>(NSMutableArray::cls(), "arrayWithArray:"_sel, copy));
            break;
        case platform::ShuffledItemsOrder::source: storeStrong(self->_orderedArray, mutableArray()); break;
        case platform::ShuffledItemsOrder::none: clearStrong(self->_orderedArray); break;
    }
}

// With nil items the shuffled items have no ordered array (a fresh feeder's).
id initWithSourceItems(MPMediaQueryShuffledItems* self, SEL, id items) {
    self = objectAs<MPMediaQueryShuffledItems>(
        objc_msgSendSuper<id()>(self, MPMediaQueryShuffledItems::cls(), "init"_sel));
    if (self == nullptr) return nil;
    if (items != nullptr) {
        load(self, items);
    } else {
        storeStrong(self->_sourceMediaQueryItems, objc_msgSend<id()>(NSArray::cls(), "array"_sel));
    }
    return self;
}

id items(MPMediaQueryShuffledItems* self, SEL) {
    if (self->_orderedArray != nullptr && arrayCount(self->_orderedArray) > 0) return self->_orderedArray;
    return self->_sourceMediaQueryItems;
}

NSUInteger count(MPMediaQueryShuffledItems* self, SEL sel) { return arrayCount(items(self, sel)); }

id objectAtIndex(MPMediaQueryShuffledItems* self, SEL sel, NSUInteger index) {
    id all = items(self, sel);
    if (index >= arrayCount(all)) return nil;
    return arrayObjectAt(all, index);
}

void shuffleItemsWithInitialIndex(MPMediaQueryShuffledItems* self, SEL, NSInteger index) {
    self->_calls.add("shuffleItemsWithInitialIndex:", index);
}
// A rebuild takes the ordered array set since as the order: the next reload
// keeps it.
void keepOrderedArray(MPMediaQueryShuffledItems* self) {
    if (self->_orderedArray != nullptr && arrayCount(self->_orderedArray) > 0) self->_orderRebuilt = YES;
}
void rebuildItemCaches(MPMediaQueryShuffledItems* self, SEL, NSInteger index) {
    self->_calls.add("_rebuildItemCachesWithInitialSourceItemIndex:", index);
    keepOrderedArray(self);
}
void rebuildCaches(MPMediaQueryShuffledItems* self, SEL, NSInteger index) {
    self->_calls.add("_rebuildCachesWithInitialSourceIndex:", index);
    keepOrderedArray(self);
}

void invalidateSourceMediaQueryAndLoadItems(MPMediaQueryShuffledItems* self, SEL) {
    self->_calls.add("invalidateSourceMediaQueryAndLoadItems");
    if (self->_sourceMediaQuery != nullptr) {
        Strong<NSObject> order(static_cast<NSObject*>(self->_orderRebuilt ? self->_orderedArray : nil));
        load(self, objc_msgSend<id()>(self->_sourceMediaQuery, "items"_sel));
        if (order) storeStrong(self->_orderedArray, objc::as_id(order.get()));
    }
    self->_orderRebuilt = NO;
    Strong<NSObject> feeder = self->_feeder.lock();
    objc_msgSend<queue::handleMediaLibraryDidChange>(feeder.get(), "_handleMediaLibraryDidChange"_sel);
}

}  // namespace shuffledItems

// ---------------------------------------------------------------------------
// The player.

namespace avController {

void itemWillChange(MPAVController* self, SEL, id note) {
    self->_calls.add("_itemWillChange:", note);
    ++self->_itemChangeCount;
}

void post(MPAVController* self, NSString* name) {
    objc_msgSend<void(id, id)>(objc::as_id(NSNotificationCenter::defaultCenter()), "postNotificationName:object:"_sel,
                               name, self);
}

void setPlaying(MPAVController* self, BOOL playing) {
    if (self->_playing == playing) return;
    self->_playing = playing;
    post(self, MPMusicPlayerControllerPlaybackStateDidChangeNotification);
}

NSUInteger feederCount(MPAVController* self) {
    return objc_msgSend<queue::itemCount>(self->_feeder.get(), "itemCount"_sel);
}

// Whether the feeder lists its items (the radio's feeder does not: its
// places never move).
bool listsItems(id feeder) {
    return objc_msgSend<BOOL(SEL)>(feeder, "respondsToSelector:"_sel, "mediaItemAtIndex:"_sel);
}

// Whether the feeder's entry at `index` holds the playing song.
bool holdsPlaying(MPAVController* self, NSUInteger index) {
    id playing = objc::as_id(self->_currentItem.get());
    id at = objc_msgSend<queue::mediaItemAtIndex>(self->_feeder.get(), "mediaItemAtIndex:"_sel, index);
    return at != nullptr && (at == playing || objc_msgSend<BOOL(id)>(at, "isEqual:"_sel, playing));
}

// How many entries before `index` hold the playing song.
NSUInteger copiesBefore(MPAVController* self, NSUInteger index) {
    NSUInteger copies = 0;
    for (NSUInteger i = 0; i < index; ++i) copies += holdsPlaying(self, i) ? 1 : 0;
    return copies;
}

void keepPlace(MPAVController* self, NSUInteger index) {
    self->_currentIndex = index;
    self->_currentCopy = index != NSNotFound && listsItems(self->_feeder.get()) ? copiesBefore(self, index) : 0;
}

// The place of the playing entry in the feeder now. A change of the queue
// that adds or removes no copy of the playing song keeps the entry the same
// copy (the first, the second …) of its song, wherever it went; when copies
// came or went, the copy nearest the old place is taken. NSNotFound once no
// copy is left (the place stays for a later look).
NSUInteger followPlace(MPAVController* self) {
    if (!self->_currentItem || self->_currentIndex == NSNotFound) return NSNotFound;
    if (!listsItems(self->_feeder.get())) return self->_currentIndex;
    NSUInteger count = feederCount(self), old = self->_currentIndex;
    if (old < count && holdsPlaying(self, old) && copiesBefore(self, old) == self->_currentCopy) return old;
    NSUInteger same = NSNotFound, nearest = NSNotFound, copies = 0;
    auto distance = [old](NSUInteger i) { return i > old ? i - old : old - i; };
    for (NSUInteger i = 0; i < count; ++i) {
        if (!holdsPlaying(self, i)) continue;
        if (copies++ == self->_currentCopy) same = i;
        if (nearest == NSNotFound || distance(i) < distance(nearest)) nearest = i;
    }
    NSUInteger found = same != NSNotFound ? same : nearest;
    if (found != NSNotFound) keepPlace(self, found);
    return found;
}

// The item at `index` of the feeder becomes the current one and plays.
void changeItem(MPAVController* self, NSUInteger index) {
    Strong<MPAVController> keep(self);
    objc_msgSend<queue::itemWillChange>(self, "_itemWillChange:"_sel, nil);
    id item = objc_msgSend<queue::playbackInfoAtIndex>(self->_feeder.get(), "playbackInfoAtIndex:"_sel, index);
    self->_currentItem = static_cast<NSObject*>(item);
    keepPlace(self, item != nullptr ? index : NSNotFound);
    BOOL wasPlaying = self->_playing;
    self->_playing = YES;
    post(self, MPMusicPlayerControllerNowPlayingItemDidChangeNotification);
    if (!wasPlaying) post(self, MPMusicPlayerControllerPlaybackStateDidChangeNotification);
}

id currentMediaItem(MPAVController* self, SEL) { return self->_currentItem.get(); }
NSUInteger currentIndex(MPAVController* self, SEL) { return followPlace(self); }
id feeder(MPAVController* self, SEL) { return self->_feeder.get(); }
BOOL isPlaying(MPAVController* self, SEL) { return self->_playing; }

void switchToFeeder(MPAVController* self, SEL, id feeder, NSInteger mode, NSInteger index, BOOL play) {
    self->_calls.add("switchToFeeder:mode:index:play:", feeder, mode, index, play);
    Strong<NSObject> keep(static_cast<NSObject*>(feeder));
    if (feeder != nullptr && objc_msgSend<BOOL(SEL)>(feeder, "respondsToSelector:"_sel, "setAVController:"_sel))
        objc_msgSend<void(id)>(feeder, "setAVController:"_sel, self);
    // The feeder given up may go now, before the new item plays.
    self->_feeder = static_cast<NSObject*>(feeder);
    if (!play) return;
    if (index < 0 || static_cast<NSUInteger>(index) >= feederCount(self)) return;
    changeItem(self, static_cast<NSUInteger>(index));
}

// Positions the player at `index` when that entry holds the playing song
// (the feeder is read on each change anyway).
void reloadFeederWithStartQueueIndex(MPAVController* self, SEL, int index) {
    self->_calls.add("reloadFeederWithStartQueueIndex:", index);
    if (!self->_currentItem || index < 0 || static_cast<NSUInteger>(index) >= feederCount(self)) return;
    if (listsItems(self->_feeder.get()) && holdsPlaying(self, static_cast<NSUInteger>(index)))
        keepPlace(self, static_cast<NSUInteger>(index));
}

void playItemAtIndex(MPAVController* self, SEL, int index, BOOL forceRestart) {
    self->_calls.add("playItemAtIndex:forceRestart:", index, forceRestart);
    if (index < 0 || static_cast<NSUInteger>(index) >= feederCount(self)) {
        self->_calls.add("ignored: index out of range", index);
        return;
    }
    changeItem(self, static_cast<NSUInteger>(index));
}

void pauseWithFadeout(MPAVController* self, SEL, double seconds) {
    self->_calls.add("pauseWithFadeout:", seconds);
    setPlaying(self, NO);
}

void play(MPAVController* self, SEL) {
    self->_calls.add("play");
    if (self->_currentItem) setPlaying(self, YES);
}

void itemDidReachEnd(MPAVController* self, SEL) {
    self->_calls.add("_itemDidReachEnd");
    if (!self->_currentItem) return;
    NSUInteger at = followPlace(self);
    if (at != NSNotFound && at + 1 < feederCount(self)) {
        changeItem(self, at + 1);
    } else {
        setPlaying(self, NO);
    }
}

}  // namespace avController

namespace server {

id sharedInstance(objc_class*, SEL) {
    // One object for the life of the process.
    static id const instance = newObject(MPMusicPlayerControllerServer::cls());
    return instance;
}

id player(MPMusicPlayerControllerServer* self, SEL) {
    MPAVController* p = self->_player.get();
    return objc::as_id(p);
}

void setPlayer(MPMusicPlayerControllerServer* self, SEL, id player) {
    self->_player = objectAs<MPAVController>(player);
}

}  // namespace server

}  // namespace

namespace platform::medialibrary {
void registerPlayerClasses() {
    objc::ClassDef<MPAVController>("MPAVController", NSObject::cls())
        .method<avController::itemWillChange>("_itemWillChange:")
        .method<avController::currentMediaItem>("currentMediaItem")
        .method<avController::currentIndex>("currentIndex")
        .method<avController::feeder>("feeder")
        .method<avController::isPlaying>("isPlaying")
        .method<avController::switchToFeeder>("switchToFeeder:mode:index:play:")
        .method<avController::reloadFeederWithStartQueueIndex>("reloadFeederWithStartQueueIndex:")
        .method<avController::playItemAtIndex>("playItemAtIndex:forceRestart:")
        .method<avController::pauseWithFadeout>("pauseWithFadeout:")
        .method<avController::play>("play")
        .method<avController::itemDidReachEnd>("_itemDidReachEnd")
        .OBJC_IVAR(MPAVController, _itemChangeCount);
    objc::ClassDef<MPMediaQueryShuffledItems>("MPMediaQueryShuffledItems", NSObject::cls())
        .method<shuffledItems::initWithSourceItems>("initWithSourceItems:")
        .method<shuffledItems::items>("items")
        .method<shuffledItems::count>("count")
        .method<shuffledItems::objectAtIndex>("objectAtIndex:")
        .method<shuffledItems::shuffleItemsWithInitialIndex>("shuffleItemsWithInitialIndex:")
        .method<shuffledItems::rebuildItemCaches>("_rebuildItemCachesWithInitialSourceItemIndex:")
        .method<shuffledItems::rebuildCaches>("_rebuildCachesWithInitialSourceIndex:")
        .method<shuffledItems::invalidateSourceMediaQueryAndLoadItems>("invalidateSourceMediaQueryAndLoadItems")
        .OBJC_IVAR(MPMediaQueryShuffledItems, _sourceMediaQuery)
        .OBJC_IVAR(MPMediaQueryShuffledItems, _sourceMediaQueryItems)
        .OBJC_IVAR(MPMediaQueryShuffledItems, _orderedArray);
    objc::ClassDef<MPMusicPlayerControllerServer>("MPMusicPlayerControllerServer", NSObject::cls())
        .classMethod<server::sharedInstance>("sharedInstance")
        .method<server::player>("player")
        .method<server::setPlayer>("_setPlayer:");
}
}  // namespace platform::medialibrary
