#include "QueueHandler.h"
#include "Sends.h"

#include "Cantrel.h"
#include "ItemEntry.h"
#include "SwipeButtons.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MediaPlayer/QueueMessages.h>

#include <climits>
#include <vector>

using cantrel::countOf;
using cantrel::objectAt;

namespace {

constexpr double kPauseFadeSeconds = 0.3;
constexpr NSInteger kSwitchModeQuery = 2;

// The feeders this class makes live as long as the process.
void keepForever(id feeder) {
    static auto* const kept = new std::vector<Strong<objc_object>>();
    kept->emplace_back(feeder);
}

id newQueueFeeder() {
    Class cls = objc_getClass("MusicQueryQueueFeeder");
    id feeder = objc_msgSend<queue::init>(objc_msgSend<id()>(objc::as_id(cls), "alloc"_sel), "init"_sel);
    if (feeder == nil) return nil;
    keepForever(feeder);
    objc_release(feeder);  // the list holds it
    return feeder;
}

bool isLibraryFeeder(id feeder) {
    return feeder != nil &&
           objc_msgSend<BOOL(SEL)>(feeder, "respondsToSelector:"_sel, "shouldBeginPlaybackOfItem:error:"_sel);
}

void fetchQueue(ResolvedQueue& q) {
    q.shuffledItems = objc_msgSend<id()>(q.feeder, "getMPMediaQueryShuffledItems"_sel);
    q.orderedArray = objc_msgSend<id()>(q.shuffledItems, "get_orderedArray"_sel);
}

NSUInteger indexIn(id array, id object) {
    if (array == nil || object == nil) return NSNotFound;
    return objc_msgSend<NSUInteger(id)>(array, "indexOfObject:"_sel, object);
}
bool same(id a, id b) { return a != nil && b != nil && (a == b || objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b)); }

// What a record asks to place: its collection's items in order, or its one
// song. On the flipside album view the record carries the whole album, but a
// row there stands for one track: only the song is placed.
struct Request {
    id song = nil;
    id collection = nil;
    id items = nil;  // NSArray
    // The item that plays for play now: the song, or the collection's first.
    id first() const { return collection != nil ? objc_msgSend<id()>(items, "firstObject"_sel) : song; }
};

Request requestOf(ItemEntry* entry) {
    Request r;
    if (entry == nullptr) return r;
    r.song = entry->mediaItem.get();
    if (entry->viewIndex != kViewIndexFlipsideAlbum) r.collection = entry->mediaItemCollection.get();
    if (r.collection != nil) {
        r.items = objc_msgSend<id()>(r.collection, "items"_sel);
        if (r.items == nil) r.items = objc_msgSend<id()>(NSArray::cls(), "array"_sel);
    } else if (r.song != nil) {
        r.items = objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel, r.song);
    }
    return r;
}

// Puts the items into `target` as one block, in order: at `position` when
// that is inside the array and the style allows it, else at the end. The
// place of the block's first item.
NSUInteger placeBlock(id target, id items, NSUInteger position, bool insertAllowed) {
    NSUInteger count = countOf(target);
    if (insertAllowed && position < count) {
        objc_msgSend<void(NSRange, id)>(target, "replaceObjectsInRange:withObjectsFromArray:"_sel,
                                        NSMakeRange(position, 0), items);
        return position;
    }
    objc_msgSend<void(id)>(target, "addObjectsFromArray:"_sel, items);
    return count;
}

// The list screen's table view takes the new list (an immutable copy) as the
// queue's source list, bound to the feeder.
void handOver(ItemEntry* entry, id list, id feeder) {
    id tableView = objc_msgSend<id()>(entry->currentViewController.get(), "tableView"_sel);
    id copy = objc_autorelease(objc_msgSend<id()>(list, "copy"_sel));
    objc_msgSend<queue::setSourceMediaQueryItems>(tableView, "setSourceMediaQueryItems:andFeeder:"_sel, copy, feeder);
}

// A list position as the player's 32-bit index; -1 for none.
int queueIndex(NSUInteger position) { return position <= INT_MAX ? static_cast<int>(position) : -1; }

void startAt(id player, NSUInteger position) {
    int i = queueIndex(position);
    if (i < 0) return;
    objc_msgSend<queue::reloadFeederWithStartQueueIndex>(player, "reloadFeederWithStartQueueIndex:"_sel, i);
    objc_msgSend<queue::playItemAtIndex>(player, "playItemAtIndex:forceRestart:"_sel, i, YES);
}

void restartAt(id player, NSUInteger position) {
    int i = queueIndex(position);
    if (i >= 0) objc_msgSend<queue::playItemAtIndex>(player, "playItemAtIndex:forceRestart:"_sel, i, YES);
}

// Nothing is loaded: the queue becomes the record's songs, by a query.
int32_t customQueryFlow(ItemEntry* entry, const Request& request, id player) {
    NSString* property = MPMediaItemPropertyPersistentID;
    unsigned long long pid = 0;
    bool collectionPredicate = request.collection != nil;
    bool mayBeEmpty = true;
    switch (entry->viewIndex) {
        case kViewIndexArtists: property = MPMediaItemPropertyAlbumArtistPersistentID; break;
        case kViewIndexAlbums: property = MPMediaItemPropertyAlbumPersistentID; break;
        case kViewIndexComposers: property = MPMediaItemPropertyComposerPersistentID, mayBeEmpty = false; break;
        case kViewIndexGenres: property = MPMediaItemPropertyGenrePersistentID, mayBeEmpty = false; break;
        case kViewIndexPlaylists: property = MPMediaPlaylistPropertyPersistentID, mayBeEmpty = false; break;
        default: collectionPredicate = false; break;
    }
    id value = nil;
    if (collectionPredicate) {
        if (!mayBeEmpty && countOf(request.items) == 0) return PREPARE_DONE;
        pid = objc_msgSend<unsigned long long()>(request.collection, "persistentID"_sel);
        value = NSStringWithFormat("%lld", static_cast<long long>(pid));
    } else {
        property = MPMediaItemPropertyPersistentID;
        if (request.song == nil) return PREPARE_DONE;  // no song to ask for
        pid = objc_msgSend<unsigned long long()>(request.song, "persistentID"_sel);
        value = NSStringWithFormat("%llu", pid);
    }
    id predicate = objc_msgSend<id(id, id, NSInteger)>(MPMediaPropertyPredicate::cls(),
                                                       "predicateWithValue:forProperty:comparisonType:"_sel, value,
                                                       property, MPMediaPredicateComparisonEqualTo);
    id query = objc_msgSend<id(id)>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel), "initWithFilterPredicates:"_sel,
                                    objc_msgSend<id(id)>(NSSet::cls(), "setWithObject:"_sel, predicate));

    id feeder = objc::as_id(_MusicQueryQueueFeeder);
    if (feeder == nil) {
        feeder = newQueueFeeder();
        _MusicQueryQueueFeeder = static_cast<MusicQueryQueueFeeder*>(feeder);
    }
    objc_msgSend<queue::setQuery>(feeder, "setQuery:"_sel, query);
    objc_release(query);
    objc_msgSend<queue::switchToFeeder>(player, "switchToFeeder:mode:index:play:"_sel, feeder, kSwitchModeQuery, 0L,
                                        YES);
    return PREPARE_DONE;
}

// The requested song is not queued: the items go in after the playing item
// (next), in its place (now) or at the end (last).
void addFlow(QueueInsertStyle style, ItemEntry* entry, const Request& request, const ResolvedQueue& q, id playing,
             NSUInteger n) {
    id target = q.orderedArray;
    NSUInteger base = 0;
    if (n == 0) {
        id source = objc_msgSend<id()>(q.shuffledItems, "get_sourceMediaQueryItems"_sel);
        base = playingPlace(q.player, source, playing);
        target = objc_autorelease(objc_msgSend<id()>(source != nil ? source : objc_msgSend<id()>(NSArray::cls(), "array"_sel),
                                                     "mutableCopy"_sel));
    } else {
        base = playingPlace(q.player, q.orderedArray, playing);
    }
    // base is at most NSNotFound, so this cannot wrap.
    NSUInteger position = base + (style == PLAY_NEXT ? 1 : 0);
    NSUInteger block = placeBlock(target, request.items, position, style != PLAY_LAST);

    id list = objc_msgSend<id(id)>(NSArray::cls(), "arrayWithArray:"_sel, target);
    handOver(entry, list, q.feeder);
    if (style == PLAY_NOW) {
        // The block's first item, not an earlier copy of the same song.
        if (request.first() != nil) startAt(q.player, block);
    } else if (style == PLAY_NEXT) {
        handOver(entry, list, q.feeder);
        objc_msgSend<queue::contentsDidChangeByRemovingRange>(q.feeder, "contentsDidChangeByRemovingRange:"_sel,
                                                              NSMakeRange(0, 0));
    }
}

// Where the playing item stood, followed through removals: removing an
// earlier item moves it one place down; removing the playing item itself
// leaves the place (now holding the item after it).
struct PlayingPlace {
    NSUInteger at = NSNotFound;
    bool moved = false;
    void removed(NSUInteger index) {
        if (at == NSNotFound) return;
        if (index < at) --at;
        else if (index == at) moved = true;
    }
};

// Takes every entry equal to one of the items out of `array`, following
// the playing item's place.
void removeEvery(id array, id items, PlayingPlace& place) {
    for (NSUInteger k = 0, m = countOf(items); k < m; ++k) {
        id item = objectAt(items, k);
        for (NSUInteger i = countOf(array); i-- > 0;) {
            if (!same(objectAt(array, i), item)) continue;
            objc_msgSend<void(NSUInteger)>(array, "removeObjectAtIndex:"_sel, i);
            place.removed(i);
        }
    }
}

// Play now of the playing song alone starts it again where it stands.
bool restartsInPlace(QueueInsertStyle style, const Request& request, id playing) {
    return style == PLAY_NOW && countOf(request.items) == 1 && same(objectAt(request.items, 0), playing);
}

// Ordered path: the items leave O and go back in as one block, placed from
// the playing item's place after the removal.
void orderedPath(QueueInsertStyle style, const Request& request, id feeder, id shuffled, id ordered, id player,
                 id playing) {
    PlayingPlace place{playingPlace(player, ordered, playing)};
    NSUInteger start = place.at;
    bool appended = false;
    if (!restartsInPlace(style, request, playing) || place.at == NSNotFound) {
        if (place.at != NSNotFound && indexIn(request.items, playing) != NSNotFound)
            objc_msgSend<queue::pauseWithFadeout>(player, "pauseWithFadeout:"_sel, kPauseFadeSeconds);
        removeEvery(ordered, request.items, place);
        NSUInteger after = place.at == NSNotFound ? 0 : place.at + 1;
        appended = style == PLAY_LAST || after >= countOf(ordered);
        start = placeBlock(ordered, request.items, after, !appended);
    }

    if (style == PLAY_NOW && appended)
        objc_msgSend<queue::shuffleItemsWithInitialIndex>(shuffled, "shuffleItemsWithInitialIndex:"_sel,
                                                          static_cast<NSInteger>(start));
    objc_msgSend<queue::handleMediaLibraryDidChange>(feeder, "_handleMediaLibraryDidChange"_sel);
    if (style == PLAY_NOW) {
        objc_msgSend<queue::commitSourceChangeWithStartQueueIndex>(feeder, "commitSourceChangeWithStartQueueIndex:"_sel,
                                                                   static_cast<NSInteger>(start));
    } else if (place.moved) {
        restartAt(player, place.at);
    }
    if (!objc_msgSend<queue::isPlaying>(player, "isPlaying"_sel)) objc_msgSend<queue::play>(player, "play"_sel);
}

// Source path: the same on a copy of the source list, handed back to the
// list's table view.
void sourcePath(QueueInsertStyle style, ItemEntry* entry, const Request& request, id feeder, id shuffled, id player,
                id playing) {
    id source = objc_msgSend<id()>(shuffled, "get_sourceMediaQueryItems"_sel);
    id working = objc_autorelease(
        objc_msgSend<id()>(source != nil ? source : objc_msgSend<id()>(NSArray::cls(), "array"_sel), "mutableCopy"_sel));
    PlayingPlace place{playingPlace(player, working, playing)};
    if (restartsInPlace(style, request, playing) && place.at != NSNotFound) {
        startAt(player, place.at);
        return;
    }
    bool song = request.collection == nil;
    if (song && style != PLAY_NOW && same(playing, request.song))
        objc_msgSend<queue::pauseWithFadeout>(player, "pauseWithFadeout:"_sel, kPauseFadeSeconds);
    removeEvery(working, request.items, place);
    NSUInteger position = place.at == NSNotFound ? NSNotFound : place.at + (style == PLAY_NEXT ? 1 : 0);
    NSUInteger block = placeBlock(working, request.items, position, style != PLAY_LAST);

    id list = objc_msgSend<id(id)>(NSArray::cls(), "arrayWithArray:"_sel, working);
    handOver(entry, list, feeder);
    if (style == PLAY_NOW) {
        if (request.first() != nil) startAt(player, block);
    } else if (song && place.moved) {
        restartAt(player, place.at);
    }
}

// Every item of the request stands in O where the feeder's query lists it.
bool orderedArrayFollowsQuery(const Request& request, id feeder, id ordered) {
    id queryItems = objc_msgSend<id()>(objc_msgSend<queue::query>(feeder, "query"_sel), "items"_sel);
    NSUInteger orderedCount = countOf(ordered), queryCount = countOf(queryItems);
    for (NSUInteger k = 0, m = countOf(request.items); k < m; ++k) {
        id item = objectAt(request.items, k);
        int r = objc_msgSend<queue::indexOfMediaItem>(feeder, "indexOfMediaItem:"_sel, item);
        if (r < 0 || static_cast<NSUInteger>(r) >= orderedCount || k >= queryCount) return false;
        if (!same(objectAt(ordered, r), objectAt(queryItems, k))) return false;
    }
    return true;
}

}  // namespace

NSUInteger playingPlace(id player, id list, id playing) {
    if (playing == nil) return NSNotFound;
    NSUInteger at = objc_msgSend<queue::currentIndex>(player, "currentIndex"_sel);
    if (at < countOf(list) && same(objectAt(list, at), playing)) return at;
    return indexIn(list, playing);
}

ResolvedQueue resolveQueueFeeder() {
    ResolvedQueue q;
    q.feeder = objc::as_id(_MusicQueryQueueFeeder);
    if (q.feeder != nil) {
        if (isLibraryFeeder(q.feeder)) {
            fetchQueue(q);
            q.player = objc_msgSend<queue::AVController>(q.feeder, "AVController"_sel);
        } else {
            _MusicQueryQueueFeeder = nil;
            q.feeder = nil;
        }
    }
    if (q.player == nil) {
        Class server = objc_getClass("MPMusicPlayerControllerServer");
        id shared = server != nil ? objc_msgSend<queue::sharedInstance>(objc::as_id(server), "sharedInstance"_sel) : nil;
        q.player = objc_msgSend<queue::player>(shared, "player"_sel);
    }
    if (_MusicQueryQueueFeeder == nil) {
        id playerFeeder = objc_msgSend<queue::feeder>(q.player, "feeder"_sel);
        Class queueFeeder = objc_getClass("MusicQueryQueueFeeder");
        q.feeder = queueFeeder != nil && objc_isKindOfClass(playerFeeder, queueFeeder) ? playerFeeder : newQueueFeeder();
        _MusicQueryQueueFeeder = static_cast<MusicQueryQueueFeeder*>(q.feeder);
        fetchQueue(q);
    }
    return q;
}

int32_t preparePlayNowOrNext(QueueInsertStyle style, ItemEntry* entry, id) {
    Request request = requestOf(entry);
    // A row with neither a song nor a collection: nothing to place.
    if (request.song == nil && request.collection == nil) return PREPARE_DONE;

    ResolvedQueue q = resolveQueueFeeder();
    id playing = objc_msgSend<queue::currentMediaItem>(q.player, "currentMediaItem"_sel);
    int r = -1;
    if (q.feeder != nil && request.song != nil) {
        r = objc_msgSend<queue::indexOfMediaItem>(q.feeder, "indexOfMediaItem:"_sel, request.song);
        if (r >= 0) {
            NSUInteger count = objc_msgSend<queue::itemCount>(q.feeder, "itemCount"_sel);
            id at = static_cast<NSUInteger>(r) < count
                        ? objc_msgSend<queue::mediaItemAtIndex>(q.feeder, "mediaItemAtIndex:"_sel, static_cast<NSUInteger>(r))
                        : nil;
            if (!same(at, request.song)) r = -1;
        }
    }
    CLog("** Cantrel ** preparePlayNowOrNext - style: %d, requestedMediaItemIndex: %d", style, r);
    if (q.orderedArray == nil || playing == nil) return customQueryFlow(entry, request, q.player);

    NSUInteger n = countOf(q.orderedArray);
    if (r != -1) return PREPARE_REARRANGE;
    addFlow(style, entry, request, q, playing, n);
    return PREPARE_DONE;
}

void playNowOrNext(QueueInsertStyle style, ItemEntry* entry, id) {
    Request request = requestOf(entry);
    if (request.song == nil && request.collection == nil) return;
    id feeder = objc::as_id(_MusicQueryQueueFeeder);
    id shuffled = objc_msgSend<id()>(feeder, "getMPMediaQueryShuffledItems"_sel);
    id ordered = objc_msgSend<id()>(shuffled, "get_orderedArray"_sel);
    if (ordered == nil) return;
    id player = objc_msgSend<queue::AVController>(feeder, "AVController"_sel);
    id playing = objc_msgSend<queue::currentMediaItem>(player, "currentMediaItem"_sel);

    id source = objc_msgSend<id()>(shuffled, "get_sourceMediaQueryItems"_sel);
    id predicates = objc_msgSend<id()>(objc_msgSend<queue::query>(feeder, "query"_sel), "filterPredicates"_sel);
    bool useSource = countOf(source) > 0 && countOf(predicates) > 1;
    // One path for the whole request.
    bool ordered_path = countOf(ordered) > 0 && (!useSource || orderedArrayFollowsQuery(request, feeder, ordered));
    CLog("** Cantrel ** playNowOrNext - style: %d, ordered path: %d", style, ordered_path ? 1 : 0);
    if (ordered_path) {
        orderedPath(style, request, feeder, shuffled, ordered, player, playing);
    } else {
        sourcePath(style, entry, request, feeder, shuffled, player, playing);
    }
}

void registerQueueHandler() {
    objc::ClassDef<QueueHandler>("QueueHandler", NSObject::cls())
        .classMethod<preparePlayNowOrNext>("preparePlayNowOrNext:itemEntry:tableView:", "i@:i@@")
        .classMethod<playNowOrNext>("playNowOrNext:itemEntry:tableView:", "v@:i@@");
}
