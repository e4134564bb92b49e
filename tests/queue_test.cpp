// Play now, next and last into the live queue: the Music app's queue model,
// the feeder tracking, the queue accessors and QueueHandler, checked against
// the cases of the design and against a plain reference queue.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "QueueFixture.h"
#include "QueueHandler.h"
#include "SwipeButtons.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <MediaPlayer/QueueMessages.h>
#include <MusicApp/RURadioQueueFeeder.h>
#include <UIKit/UITableViewController.h>
#include <platform/Log.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace queuetest;

// Whether a call-log line starts with `prefix`.
bool called(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

class Queue : public QueueFixture {
protected:
    Pids source() const { return pidsOf(shuffled()->_sourceMediaQueryItems); }
    // What the player plays from, checked against the shuffled items' order.
    Pids playOrder() const {
        Pids now = loaded();
        EXPECT_EQ(now, pidsOf(objc_msgSend<id()>(shuffled(), "items"_sel))) << "stale queue snapshot";
        return now;
    }

    ItemEntry* entry(long viewIndex) {
        auto* e = static_cast<ItemEntry*>(objc_autorelease(
            objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
        e->viewIndex = viewIndex;
        e->currentViewController = app.songsViewController();
        return e;
    }
    ItemEntry* songEntry(unsigned long long pid, long viewIndex = kViewIndexSongs) {
        ItemEntry* e = entry(viewIndex);
        e->mediaItem = static_cast<NSObject*>(songWithID(pid));
        return e;
    }
    // A collection of those songs; the record's song is its first, as a
    // collection row's record carries its representative item.
    ItemEntry* collectionEntry(const Pids& pids, long viewIndex = kViewIndexAlbums) {
        ItemEntry* e = entry(viewIndex);
        id c = objc_msgSend<id(id)>(MPMediaItemCollection::cls(), "collectionWithItems:"_sel, arrayOfSongs(pids));
        e->mediaItemCollection = static_cast<NSObject*>(c);
        e->mediaItem = static_cast<NSObject*>(objc_msgSend<id()>(c, "representativeItem"_sel));
        return e;
    }

    // As a queue button does: the first stage, then the second unless done.
    int tap(int style, ItemEntry* e) {
        AutoreleasePool pool;
        Class handler = objc_getClass("QueueHandler");
        int prepared = objc_msgSend<int(int, id, id)>(objc::as_id(handler), "preparePlayNowOrNext:itemEntry:tableView:"_sel,
                                                      style, e, nil);
        if (prepared != PREPARE_DONE)
            objc_msgSend<void(int, id, id)>(objc::as_id(handler), "playNowOrNext:itemEntry:tableView:"_sel, style, e,
                                            nil);
        return prepared;
    }
};

constexpr unsigned long long s1 = 1001, s2 = 1002, s3 = 1003, s4 = 1004, s5 = 1005, x = 1006, y = 1007, z = 1008;

// ---------------------------------------------------------------------------
// The add flow: the requested song is not queued.

TEST_F(Queue, ANewSongGoesAfterInPlaceOfOrAfterThePlayingOne) {
    struct Case {
        int style;
        Pids expected;
        unsigned long long playing;
    };
    const Case cases[] = {
        {PLAY_NEXT, {s1, s2, x, s3, s4}, s2},
        {PLAY_NOW, {s1, x, s2, s3, s4}, x},
        {PLAY_LAST, {s1, s2, s3, s4, x}, s2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        startQueue({s1, s2, s3, s4}, s2);
        EXPECT_EQ(tap(c.style, songEntry(x)), PREPARE_DONE);
        EXPECT_EQ(ordered(), c.expected);
        EXPECT_EQ(playOrder(), c.expected);
        EXPECT_EQ(playingPid(), c.playing);
    }
}

TEST_F(Queue, ANewAlbumGoesInAsOneBlockInItsOrder) {
    startQueue({s1, s2, s3}, s2);
    EXPECT_EQ(tap(PLAY_NEXT, collectionEntry({x, y, z})), PREPARE_DONE);
    EXPECT_EQ(playOrder(), (Pids{s1, s2, x, y, z, s3}));
    EXPECT_EQ(playingPid(), s2);

    startQueue({s1, s2, s3}, s2);
    tap(PLAY_NOW, collectionEntry({x, y, z}));
    EXPECT_EQ(playOrder(), (Pids{s1, x, y, z, s2, s3}));
    EXPECT_EQ(playingPid(), x);
}

TEST_F(Queue, WhenThePlayingSongIsNotInTheOrderNewSongsAreAppended) {
    for (int style : {PLAY_NEXT, PLAY_NOW}) {
        SCOPED_TRACE(style);
        startQueue({s1, s2, s3, s4}, s4);
        // The playing song leaves the order behind the player's back.
        objc_msgSend<void(NSUInteger)>(shuffled()->_orderedArray, "removeObjectAtIndex:"_sel, 3);
        objc_msgSend<void()>(objc::as_id(feeder()), "_handleMediaLibraryDidChange"_sel);
        tap(style, songEntry(x));
        EXPECT_EQ(playOrder(), (Pids{s1, s2, s3, x}));
        EXPECT_EQ(playingPid(), style == PLAY_NOW ? x : s4);
    }
    EXPECT_NE(std::find(playerCalls().begin(), playerCalls().end(), "playItemAtIndex:forceRestart: 3 1"),
              playerCalls().end());
}

TEST_F(Queue, WithOnlyASourceListTheNewListIsHandedToTheListsTableView) {
    platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::source);
    const std::pair<int, Pids> cases[] = {
        {PLAY_NEXT, {s1, s2, x, s3, s4, s5}},
        {PLAY_LAST, {s1, s2, s3, s4, s5, x}},
    };
    for (const auto& [style, expected] : cases) {
        startQueue({s1, s2, s3, s4, s5}, s2);
        ASSERT_TRUE(ordered().empty());
        tap(style, songEntry(x));
        EXPECT_EQ(source(), expected);
        EXPECT_TRUE(ordered().empty());
        EXPECT_EQ(playOrder(), expected);
        EXPECT_EQ(playingPid(), s2);
    }
}

// ---------------------------------------------------------------------------
// The re-arrange: the requested song is queued.

TEST_F(Queue, AQueuedSongMovesRelativeToThePlayingOneWherePlaceItStood) {
    struct Case {
        int style;
        unsigned long long song;
        Pids expected;
        unsigned long long playing;
    };
    const Case cases[] = {
        {PLAY_NEXT, s5, {s1, s2, s3, s5, s4}, s3},
        // From before the playing song: right after it, not one further.
        {PLAY_NEXT, s1, {s2, s3, s1, s4, s5}, s3},
        {PLAY_NOW, s1, {s2, s3, s1, s4, s5}, s1},
        {PLAY_NOW, s5, {s1, s2, s3, s5, s4}, s5},
        {PLAY_LAST, s1, {s2, s3, s4, s5, s1}, s3},
        // The playing song itself: the one after it plays.
        {PLAY_NEXT, s3, {s1, s2, s4, s3, s5}, s4},
        {PLAY_LAST, s3, {s1, s2, s4, s5, s3}, s4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.style) + " of " + std::to_string(c.song));
        startQueue({s1, s2, s3, s4, s5}, s3);
        playerCalls().clear();
        EXPECT_EQ(tap(c.style, songEntry(c.song)), PREPARE_REARRANGE);
        EXPECT_EQ(ordered(), c.expected);
        EXPECT_EQ(playOrder(), c.expected);
        EXPECT_EQ(playingPid(), c.playing);
        EXPECT_TRUE(objc_msgSend<BOOL()>(player(), "isPlaying"_sel));
    }
}

TEST_F(Queue, MovingThePlayingSongPausesThenRestartsAtItsOldPlace) {
    startQueue({s1, s2, s3, s4, s5}, s3);
    playerCalls().clear();
    tap(PLAY_NEXT, songEntry(s3));
    EXPECT_EQ(playerCalls(), (std::vector<std::string>{"pauseWithFadeout: 0.3", "playItemAtIndex:forceRestart: 2 1",
                                                       "_itemWillChange: nil"}));
}

TEST_F(Queue, PlayNowOfAQueuedSongCommitsOnceWithItsNewPlace) {
    startQueue({s1, s2, s3, s4, s5}, s3);
    feeder()->_calls.clear();
    tap(PLAY_NOW, songEntry(s5));
    std::vector<std::string> commits;
    for (const std::string& line : feeder()->_calls.lines)
        if (line.rfind("commitSourceChangeWithStartQueueIndex:", 0) == 0) commits.push_back(line);
    EXPECT_EQ(commits, std::vector<std::string>{"commitSourceChangeWithStartQueueIndex: 3"});
    EXPECT_EQ(playingPid(), s5);

    // Appended behind the playing last song: the last place, not the feeder's stale index.
    startQueue({s1, s2, s3}, s3);
    feeder()->_calls.clear();
    shuffled()->_calls.clear();
    tap(PLAY_NOW, songEntry(s1));
    EXPECT_EQ(playOrder(), (Pids{s2, s3, s1}));
    EXPECT_EQ(shuffled()->_calls.lines, std::vector<std::string>{"shuffleItemsWithInitialIndex: 2"});
    EXPECT_TRUE(called(feeder()->_calls.lines, "commitSourceChangeWithStartQueueIndex: 2"));
    EXPECT_EQ(playingPid(), s1);

    // A whole album: one commit, at its first song.
    startQueue({x, s1, y, s2, s3}, s2);
    feeder()->_calls.clear();
    tap(PLAY_NOW, collectionEntry({x, y}));
    commits.clear();
    for (const std::string& line : feeder()->_calls.lines)
        if (line.rfind("commitSourceChangeWithStartQueueIndex:", 0) == 0) commits.push_back(line);
    EXPECT_EQ(commits, std::vector<std::string>{"commitSourceChangeWithStartQueueIndex: 2"});
}

TEST_F(Queue, AQueuedAlbumMovesAsOneBlockInItsOrder) {
    struct Case {
        Pids queue;
        unsigned long long playing;
        int style;
        Pids expected;
        unsigned long long nowPlaying;
    };
    const Case cases[] = {
        {{s1, s2, x, y, s3}, s2, PLAY_NEXT, {s1, s2, x, y, s3}, s2},
        // Several items before the playing one still end right after it.
        {{x, y, s1, s2, s3}, s2, PLAY_NEXT, {s1, s2, x, y, s3}, s2},
        {{x, s1, y, s2, s3}, s2, PLAY_NOW, {s1, s2, x, y, s3}, x},
        // Appended in the album's order, not reversed.
        {{x, y, s1, s2, s3}, s2, PLAY_LAST, {s1, s2, s3, x, y}, s2},
        {{s1, x, y, s2}, s2, PLAY_NEXT, {s1, s2, x, y}, s2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.queue) + " " + std::to_string(c.style));
        startQueue(c.queue, c.playing);
        EXPECT_EQ(tap(c.style, collectionEntry({x, y})), PREPARE_REARRANGE);
        EXPECT_EQ(playOrder(), c.expected);
        EXPECT_EQ(playingPid(), c.nowPlaying);
    }
}

TEST_F(Queue, OnTheSourcePathPlayLastOfAQueuedAlbumAppendsIt) {
    platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::source);
    startQueue({x, y, s1, s2, s3}, s2);
    EXPECT_EQ(tap(PLAY_LAST, collectionEntry({x, y})), PREPARE_REARRANGE);
    EXPECT_EQ(source(), (Pids{s1, s2, s3, x, y}));
    EXPECT_EQ(playOrder(), (Pids{s1, s2, s3, x, y}));
    EXPECT_EQ(playingPid(), s2);

    startQueue({s1, s2, s3, s4, s5}, s3);
    tap(PLAY_NEXT, songEntry(s1));
    EXPECT_EQ(playOrder(), (Pids{s2, s3, s1, s4, s5}));
    tap(PLAY_NEXT, songEntry(s3));
    EXPECT_EQ(playOrder(), (Pids{s2, s1, s3, s4, s5}));
    EXPECT_EQ(playingPid(), s1);
}

// Both ways the queue is kept (an ordered array, or only a source list).
const platform::ShuffledItemsOrder kBothOrders[] = {platform::ShuffledItemsOrder::ordered,
                                                    platform::ShuffledItemsOrder::source};

TEST_F(Queue, PlayNowOfThePlayingSongAloneRestartsItInPlace) {
    for (auto order : kBothOrders) {
        SCOPED_TRACE(order == platform::ShuffledItemsOrder::source ? "source list" : "ordered array");
        platform::setShuffledItemsOrder(order);
        startQueue({s1, s2, s3, s4, s5}, s3);
        playerCalls().clear();
        EXPECT_EQ(tap(PLAY_NOW, songEntry(s3)), PREPARE_REARRANGE);
        EXPECT_EQ(playOrder(), (Pids{s1, s2, s3, s4, s5}));
        EXPECT_EQ(playingPid(), s3);
        EXPECT_TRUE(called(playerCalls(), "playItemAtIndex:forceRestart: 2 1"));
        EXPECT_FALSE(called(playerCalls(), "pauseWithFadeout:"));
        EXPECT_TRUE(objc_msgSend<BOOL()>(player(), "isPlaying"_sel));
        // The song after it comes next, none is skipped.
        app.advance();
        EXPECT_EQ(playingPid(), s4);
    }
}

TEST_F(Queue, AMoveTakesOutEveryEntryOfAnItemQueuedTwice) {
    for (auto order : kBothOrders) {
        SCOPED_TRACE(order == platform::ShuffledItemsOrder::source ? "source list" : "ordered array");
        platform::setShuffledItemsOrder(order);
        startQueue({s1, x, y, s2, x, y, s3}, s2);
        EXPECT_EQ(tap(PLAY_NEXT, collectionEntry({x, y})), PREPARE_REARRANGE);
        EXPECT_EQ(playOrder(), (Pids{s1, s2, x, y, s3}));
        EXPECT_EQ(playingPid(), s2);

        startQueue({s1, s4, s2, s3, s4}, s2);
        tap(PLAY_LAST, songEntry(s4));
        EXPECT_EQ(playOrder(), (Pids{s1, s2, s3, s4}));
        EXPECT_EQ(playingPid(), s2);
    }
}

TEST_F(Queue, OnTheFlipsideAlbumViewOnlyTheRowsSongIsQueued) {
    startQueue({s1, s2, s3}, s2);
    ItemEntry* e = collectionEntry({x, y, z}, kViewIndexFlipsideAlbum);
    e->mediaItem = static_cast<NSObject*>(songWithID(y));
    tap(PLAY_NEXT, e);
    EXPECT_EQ(playOrder(), (Pids{s1, s2, y, s3}));
    // Queued: moved alone, the album's other tracks stay out.
    startQueue({y, s1, s2, x, s3}, s2);
    tap(PLAY_NEXT, e);
    EXPECT_EQ(playOrder(), (Pids{s1, s2, y, x, s3}));
}

TEST_F(Queue, ARecordWithNeitherSongNorCollectionChangesNothing) {
    startQueue({s1, s2, s3}, s2);
    playerCalls().clear();
    for (int style : {PLAY_NOW, PLAY_NEXT, PLAY_LAST}) {
        EXPECT_EQ(tap(style, entry(kViewIndexSongs)), PREPARE_DONE);
        EXPECT_EQ(playOrder(), (Pids{s1, s2, s3}));
    }
    EXPECT_TRUE(playerCalls().empty());
    EXPECT_EQ(playingPid(), s2);
}

TEST_F(Queue, AStaleSnapshotIndexIsCheckedAgainstTheOrder) {
    startQueue({s1, s2, s3, s4, s5}, s3);
    // The order changes without telling the feeder: its snapshot is stale.
    objc_msgSend<void(NSUInteger, NSUInteger)>(shuffled()->_orderedArray, "exchangeObjectAtIndex:withObjectAtIndex:"_sel,
                                               0, 4);
    EXPECT_EQ(ordered(), (Pids{s5, s2, s3, s4, s1}));
    tap(PLAY_NEXT, songEntry(s1));
    EXPECT_EQ(playOrder(), (Pids{s5, s2, s3, s1, s4}));
}

// ---------------------------------------------------------------------------
// Random requests, songs ending and rows dragged in the Playing list, on
// queues that hold songs more than once, against a reference queue: plain
// vectors, the playing entry by its place, and the rules of play now / next /
// last, written out here.

struct Reference {
    Pids order;      // what plays, in order
    size_t cur = 0;  // the playing entry's place
    bool sourceVariant = false;

    unsigned long long playing() const { return order[cur]; }
    static long find(const Pids& v, unsigned long long pid) {
        auto it = std::find(v.begin(), v.end(), pid);
        return it == v.end() ? -1 : it - v.begin();
    }
    // The items go in as one block at `at` when allowed and inside, else at the end.
    static size_t place(Pids& v, const Pids& items, long at, bool allowed) {
        if (allowed && at >= 0 && static_cast<size_t>(at) < v.size()) {
            v.insert(v.begin() + at, items.begin(), items.end());
            return static_cast<size_t>(at);
        }
        size_t start = v.size();
        v.insert(v.end(), items.begin(), items.end());
        return start;
    }

    void apply(int style, const Pids& items, bool collection) {
        unsigned long long requested = items.front();
        if (find(order, requested) < 0) {
            // Not queued: in after the playing entry (next), in its place (now), at the end (last).
            size_t at = place(order, items, static_cast<long>(cur) + (style == PLAY_NEXT ? 1 : 0), style != PLAY_LAST);
            if (style == PLAY_NOW) cur = at;
            return;
        }
        // Play now of the playing song alone starts it again where it stands.
        if (style == PLAY_NOW && items.size() == 1 && requested == playing()) return;
        // Queued: every entry of each item out, then back in as a block
        // relative to the playing entry's place after the removal; the playing
        // entry taken out leaves its place to the one after it, which plays.
        unsigned long long was = playing();
        bool moved = false;
        for (unsigned long long item : items) {
            for (long at; (at = find(order, item)) >= 0;) {
                order.erase(order.begin() + at);
                if (static_cast<size_t>(at) < cur) --cur;
                else if (static_cast<size_t>(at) == cur) moved = true;
            }
        }
        size_t start;
        if (!sourceVariant) {
            start = place(order, items, static_cast<long>(cur) + 1, style != PLAY_LAST && cur + 1 < order.size());
        } else {
            start = place(order, items, static_cast<long>(cur) + (style == PLAY_NEXT ? 1 : 0), style != PLAY_LAST);
            // A collection that took the playing song along restarts
            // nothing: the song plays on where the block holds it.
            if (moved && collection) cur = static_cast<size_t>(find(order, was));
        }
        if (style == PLAY_NOW) cur = start;
    }
    // The playing song ended: the next entry plays; after the last the player stops.
    void advance() {
        if (cur + 1 < order.size()) ++cur;
    }
    // A row dragged in the Playing list; what plays stays.
    void move(size_t from, size_t to) {
        unsigned long long item = order[from];
        order.erase(order.begin() + static_cast<long>(from));
        order.insert(order.begin() + static_cast<long>(to), item);
        if (cur == from) cur = to;
        else if (from < cur && cur <= to) --cur;
        else if (to <= cur && cur < from) ++cur;
    }
};

class QueueModel : public Queue, public ::testing::WithParamInterface<bool> {
protected:
    void start(const Pids& pids, size_t at) {
        AutoreleasePool pool;
        id f = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel),
                                                   "init"_sel));
        objc_msgSend<void(id)>(f, "setQueryItems:"_sel, arrayOfSongs(pids));
        objc_msgSend<queue::switchToFeeder>(player(), "switchToFeeder:mode:index:play:"_sel, f, 0L, long(at), YES);
    }
    // A user's drag in the Playing list, shown afresh. The list shows one
    // row: each row shown reads its picture from the library.
    void drag(size_t from, size_t to) {
        AutoreleasePool pool;
        id list = objc_msgSend<id()>(objc::as_id(objc_getClass("PlaylistTableViewController")), "sharedInstance"_sel);
        auto* table = static_cast<UITableView*>(objc_msgSend<id()>(list, "tableView"_sel));
        objc_msgSend<void(CGRect)>(objc::as_id(table), "setFrame:"_sel, CGRectMake(0, 0, 320, 10));
        objc_msgSend<void(BOOL)>(list, "loadupTable:"_sel, NO);
        ASSERT_TRUE(platform::dragTableRow(table, 0, static_cast<NSInteger>(from), static_cast<NSInteger>(to)));
    }
};

TEST_P(QueueModel, RandomStepsOnQueuesWithRepeatedSongsMatchTheReferenceQueue) {
    OWN_PROCESS();  // the Playing list lives as long as the process
    const bool sourceVariant = GetParam();
    if (sourceVariant) platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::source);
    const Pids library = {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010};
    const int styles[] = {PLAY_NOW, PLAY_NEXT, PLAY_LAST};
    int moves = 0, adds = 0, ends = 0, drags = 0;
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        std::mt19937 random(seed);
        auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
        Reference ref;
        ref.sourceVariant = sourceVariant;
        for (int step = 0; step < 400; ++step) {
            AutoreleasePool pool;
            if (step % 20 == 0) {
                // Songs drawn from four, so that most queues hold one twice or more.
                Pids four = library;
                std::shuffle(four.begin(), four.end(), random);
                ref.order.clear();
                for (size_t k = 0, n = 3 + pick(6); k < n; ++k) ref.order.push_back(four[pick(4)]);
                ref.cur = pick(ref.order.size());
                start(ref.order, ref.cur);
            }
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(step));
            Pids before = ref.order;
            std::string what = "the end of the song at " + std::to_string(ref.cur);
            size_t kind = pick(10);
            if (kind < 2) {
                ++ends;
                ref.advance();
                app.advance();
            } else if (kind == 2 && !sourceVariant) {
                ++drags;
                size_t from = pick(ref.order.size()), to = pick(ref.order.size());
                what = "a drag from " + std::to_string(from) + " to " + std::to_string(to) + ", playing " +
                       std::to_string(ref.cur);
                ref.move(from, to);
                drag(from, to);
            } else {
                int style = styles[pick(3)];
                bool collection = pick(2) == 0;
                Pids items;
                if (collection) {
                    Pids shuffled = library;
                    std::shuffle(shuffled.begin(), shuffled.end(), random);
                    items.assign(shuffled.begin(), shuffled.begin() + 1 + pick(4));
                } else {
                    // Often a queued song, often the playing one.
                    items = {pick(3) == 0   ? ref.playing()
                             : pick(2) == 0 ? ref.order[pick(ref.order.size())]
                                            : library[pick(10)]};
                }
                bool queued = Reference::find(ref.order, items.front()) >= 0;
                bool restarted = style == PLAY_NOW && items.size() == 1 && items.front() == ref.playing();
                (queued ? moves : adds) += 1;
                what = "style " + std::to_string(style) + " of " + ::testing::PrintToString(items) + ", playing " +
                       std::to_string(ref.cur);
                ref.apply(style, items, collection);
                tap(style, collection ? collectionEntry(items) : songEntry(items.front()));
                if (queued) {
                    // A move loses nothing queued and duplicates nothing: each
                    // requested item stands once, whatever it stood before; a
                    // restart in place changes nothing.
                    for (unsigned long long pid : library) {
                        auto n = [&](const Pids& v) { return std::count(v.begin(), v.end(), pid); };
                        bool requested = std::find(items.begin(), items.end(), pid) != items.end();
                        long expected = !requested || restarted ? n(before) : 1;
                        ASSERT_EQ(n(ref.order), expected) << pid;
                    }
                    // A moved collection stands together, in its order.
                    ASSERT_NE(std::search(ref.order.begin(), ref.order.end(), items.begin(), items.end()),
                              ref.order.end());
                }
            }
            ASSERT_EQ(playOrder(), ref.order) << what << " on " << ::testing::PrintToString(before);
            ASSERT_EQ(sourceVariant ? source() : ordered(), ref.order);
            ASSERT_EQ(objc_msgSend<queue::currentIndex>(objc::as_id(player()), "currentIndex"_sel), ref.cur)
                << what << " on " << ::testing::PrintToString(before);
            ASSERT_EQ(playingPid(), ref.playing());
        }
    }
    EXPECT_GT(moves, 300);
    EXPECT_GT(adds, 150);
    EXPECT_GT(ends, 200);
    EXPECT_GT(drags, sourceVariant ? -1 : 100);
}

INSTANTIATE_TEST_SUITE_P(Variants, QueueModel, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "SourceList" : "OrderedArray"; });

// ---------------------------------------------------------------------------
// Nothing loaded: the queue is replaced by a query for the record's songs.

id collectionWithID(SEL query, unsigned long long pid) {
    id collections = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), query), "collections"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(collections, "count"_sel); i < n; ++i) {
        id c = objc_msgSend<id(NSUInteger)>(collections, "objectAtIndex:"_sel, i);
        if (objc_msgSend<unsigned long long()>(c, "persistentID"_sel) == pid) return c;
    }
    return nil;
}

TEST_F(Queue, WithNothingLoadedEveryStyleReplacesTheQueueAndPlaysTheFirstSong) {
    for (int style : {PLAY_NOW, PLAY_NEXT, PLAY_LAST}) {
        SCOPED_TRACE(style);
        app.shutdown();
        app.launch();
        ASSERT_EQ(player()->_currentItem.get(), nullptr);
        EXPECT_EQ(tap(style, songEntry(s4)), PREPARE_DONE);
        EXPECT_EQ(playOrder(), (Pids{s4}));
        EXPECT_EQ(playingPid(), s4);
        EXPECT_EQ(objc::as_id(_MusicQueryQueueFeeder), objc::as_id(feeder()));
        EXPECT_TRUE(called(playerCalls(), "switchToFeeder:mode:index:play: MusicQueryQueueFeeder 2 0 1"));
    }
    // An album: its songs, in the query's order (by disc and track, as the album's screen).
    app.shutdown();
    app.launch();
    ItemEntry* album = entry(kViewIndexAlbums);
    album->mediaItemCollection = static_cast<NSObject*>(collectionWithID("albumsQuery"_sel, 202));
    album->mediaItem = static_cast<NSObject*>(songWithID(1003));
    tap(PLAY_NEXT, album);
    EXPECT_EQ(playOrder(), (Pids{1003, 1004, 1005}));
    EXPECT_EQ(playingPid(), 1003u);
    // The query carries one predicate on the album's id.
    id predicates = objc_msgSend<id()>(feeder()->_query, "filterPredicates"_sel);
    ASSERT_EQ(objc_msgSend<NSUInteger()>(predicates, "count"_sel), 1u);
    id predicate = objc_msgSend<id(NSUInteger)>(predicates, "objectAtIndex:"_sel, 0);
    EXPECT_EQ(to_string(static_cast<NSString*>(objc_msgSend<id()>(predicate, "property"_sel))), "albumPersistentID");
}

TEST_F(Queue, AnEmptyComposerGenreOrPlaylistLeavesEverythingAlone) {
    for (long viewIndex : {kViewIndexComposers, kViewIndexGenres, kViewIndexPlaylists}) {
        SCOPED_TRACE(viewIndex);
        ItemEntry* e = collectionEntry({}, viewIndex);
        playerCalls().clear();
        EXPECT_EQ(tap(PLAY_NOW, e), PREPARE_DONE);
        EXPECT_TRUE(playerCalls().empty());
        EXPECT_EQ(player()->_currentItem.get(), nullptr);
        EXPECT_EQ(objc::as_id(feeder()), objc::as_id(app.queueFeeder()));
    }
    // An empty album is asked for all the same.
    playerCalls().clear();
    tap(PLAY_NOW, collectionEntry({}, kViewIndexAlbums));
    EXPECT_TRUE(called(playerCalls(), "switchToFeeder:mode:index:play: MusicQueryQueueFeeder 2 0 1"));
    EXPECT_TRUE(playOrder().empty());
}

TEST_F(Queue, WithoutAnOrderedArrayTheQueueIsReplaced) {
    platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::none);
    startQueue({s1, s2, s3}, s2);
    EXPECT_EQ(tap(PLAY_NEXT, songEntry(x)), PREPARE_DONE);
    EXPECT_EQ(playOrder(), (Pids{x}));
    EXPECT_EQ(playingPid(), x);
}

TEST_F(Queue, WhileTheRadioPlaysAQueueButtonStartsALibraryQueue) {
    std::string error;
    if (!app.startRadio(&error)) GTEST_SKIP() << error;
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);
    EXPECT_TRUE(objc_isKindOfClass(objc_msgSend<id()>(player(), "currentMediaItem"_sel), objc_getClass("RadioTrack")));
    tap(PLAY_NEXT, songEntry(s2));
    EXPECT_EQ(playOrder(), (Pids{s2}));
    EXPECT_EQ(playingPid(), s2);
}

TEST_F(Queue, AStaleFeederPointerIsClearedAndThePlayersFeederTaken) {
    startQueue({s1, s2, s3}, s2);
    Strong<NSObject> other = Strong<NSObject>::adopt(static_cast<NSObject*>(
        objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel)));
    _MusicQueryQueueFeeder = reinterpret_cast<MusicQueryQueueFeeder*>(other.get());
    tap(PLAY_NEXT, songEntry(x));
    EXPECT_EQ(objc::as_id(_MusicQueryQueueFeeder), objc::as_id(feeder()));
    EXPECT_EQ(playOrder(), (Pids{s1, s2, x, s3}));
}

// ---------------------------------------------------------------------------
// Persistent ids at and above 2^63.

TEST_F(Queue, IDsWithTheTopBitSetAreAskedForAndQueued) {
    const unsigned long long bigSong = 9223372036854775813ULL;  // 2^63 + 5
    const unsigned long long bigAlbum = 18446744073709551611ULL;  // 2^64 - 5
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(root.host(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
    ASSERT_TRUE(fixture::exec(db,
                              "UPDATE item SET item_pid = -9223372036854775803 WHERE item_pid = 1010;"
                              "UPDATE item_stats SET item_pid = -9223372036854775803 WHERE item_pid = 1010;"
                              "UPDATE container_items SET item_pid = -9223372036854775803 WHERE item_pid = 1010;"
                              "UPDATE album SET album_pid = -5 WHERE album_pid = 203;"
                              "UPDATE item SET album_pid = -5 WHERE album_pid = 203;"));
    sqlite3_close(db);

    tap(PLAY_NEXT, songEntry(bigSong));
    EXPECT_EQ(playOrder(), (Pids{bigSong}));
    EXPECT_EQ(playingPid(), bigSong);

    tap(PLAY_NEXT, songEntry(s1));
    tap(PLAY_LAST, songEntry(bigSong));
    EXPECT_EQ(playOrder(), (Pids{s1, bigSong}));

    app.shutdown();
    app.launch();
    ItemEntry* album = entry(kViewIndexAlbums);
    album->mediaItemCollection = static_cast<NSObject*>(collectionWithID("albumsQuery"_sel, bigAlbum));
    ASSERT_NE(album->mediaItemCollection.get(), nullptr);
    tap(PLAY_NOW, album);
    EXPECT_EQ(playOrder(), (Pids{1006, 1007}));  // by track, as the album's screen lists them
}

// ---------------------------------------------------------------------------
// Feeder tracking.

id newFeeder() {
    return objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel), "init"_sel);
}

TEST_F(Queue, TheTrackedFeederFollowsInitDeallocAndThePlayersItemChanges) {
    AutoreleasePool pool;
    id first = newFeeder();
    EXPECT_EQ(objc::as_id(_MusicQueryQueueFeeder), first);
    id second = newFeeder();
    EXPECT_EQ(objc::as_id(_MusicQueryQueueFeeder), second);
    objc_msgSend<id(NSUInteger)>(first, "playbackInfoAtIndex:"_sel, 0);
    EXPECT_EQ(objc::as_id(_MusicQueryQueueFeeder), first);
    // An untracked feeder's end clears the pointer all the same.
    objc_release(second);
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);
    objc_release(first);
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);

    // The player's next item change names its feeder again.
    startQueue({s1, s2, s3}, s1);
    _MusicQueryQueueFeeder = nullptr;
    app.advance();
    EXPECT_EQ(playingPid(), s2);
    EXPECT_EQ(objc::as_id(_MusicQueryQueueFeeder), objc::as_id(feeder()));

    std::string error;
    if (!app.startRadio(&error)) return;  // a Music app without the radio
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);
}

TEST_F(Queue, TheAccessorsGuardTheirReceiversAndArguments) {
    startQueue({s1, s2, s3}, s1);
    AutoreleasePool pool;
    id plain = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel));
    Class feederClass = MusicQueryQueueFeeder::cls();
    IMP getItems = class_getMethodImplementation(feederClass, "getMPMediaQueryShuffledItems"_sel);
    EXPECT_EQ(imp_call<id()>(getItems, plain, "getMPMediaQueryShuffledItems"_sel), nullptr);
    EXPECT_EQ(objc_msgSend<id()>(objc::as_id(feeder()), "getMPMediaQueryShuffledItems"_sel), objc::as_id(shuffled()));

    // The order array only from shuffled items; the live object.
    IMP getOrdered = class_getMethodImplementation(MPMediaQueryShuffledItems::cls(), "get_orderedArray"_sel);
    EXPECT_EQ(imp_call<id()>(getOrdered, objc::as_id(feeder()), "get_orderedArray"_sel), nullptr);
    EXPECT_EQ(objc_msgSend<id()>(objc::as_id(shuffled()), "get_orderedArray"_sel), shuffled()->_orderedArray);

    // set_orderedArray: keeps a copy; nil changes nothing.
    id mine = arrayOfSongs({s3, s2});
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_orderedArray:"_sel, mine);
    objc_msgSend<void(id)>(mine, "addObject:"_sel, songWithID(s5));
    EXPECT_EQ(ordered(), (Pids{s3, s2}));
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_orderedArray:"_sel, nil);
    EXPECT_EQ(ordered(), (Pids{s3, s2}));
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_sourceMediaQueryItems:"_sel, nil);
    EXPECT_EQ(source(), (Pids{s1, s2, s3}));

    // The query is kept; the one it replaces is let go.
    id q1 = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel), "init"_sel);
    id q2 = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel), "init"_sel);
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_sourceMediaQuery:"_sel, q1);
    EXPECT_EQ(objc_retainCount(q1), 2u);
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_sourceMediaQuery:"_sel, q2);
    EXPECT_EQ(objc_retainCount(q1), 1u);
    objc_release(q1);
    objc_release(q2);
    EXPECT_EQ(shuffled()->_sourceMediaQuery, q2);
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_sourceMediaQuery:"_sel, nil);
    EXPECT_EQ(shuffled()->_sourceMediaQuery, q2);

    // Artwork and properties through the list's table view; the receiver is not used.
    id table = objc_msgSend<id()>(objc::as_id(app.songsViewController()), "tableView"_sel);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMPMediaItemArtworkImage:"_sel, nil), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMPMediaItemArtworkImage:"_sel, plain), nullptr);
    objc_msgSend<void(id, id)>(table, "setMPMediaItemArtworkImage:andObject:"_sel, plain, nil);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMediaItemProperties:"_sel, plain), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMediaItemProperties:"_sel, nil), nullptr);
    id properties = objc_msgSend<id(id)>(table, "getMediaItemProperties:"_sel, songWithID(s1));
    ASSERT_NE(properties, nullptr);
    EXPECT_EQ(to_string(static_cast<NSString*>(objc_msgSend<id(id)>(properties, "objectForKey:"_sel, "title"_ns))),
              "Dancing Lights");
}

// An object that has the variables the accessors reach but answers none of
// the selectors that mark the Music app's objects: every guard must refuse it.
struct IvarsWithoutSelectors : NSObject {
    OBJC_CLASS(IvarsWithoutSelectors)
    id _items = nil;
    id _orderedArray = nil;
    id _sourceMediaQuery = nil;
    id _image = nil;
};

TEST_F(Queue, TheAccessorsAskForTheSelectorNotOnlyForTheVariable) {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<IvarsWithoutSelectors>("IvarsWithoutSelectors", NSObject::cls())
            .OBJC_IVAR(IvarsWithoutSelectors, _items)
            .OBJC_IVAR(IvarsWithoutSelectors, _orderedArray)
            .OBJC_IVAR(IvarsWithoutSelectors, _sourceMediaQuery)
            .OBJC_IVAR(IvarsWithoutSelectors, _image);
    });
    startQueue({s1, s2, s3}, s1);
    AutoreleasePool pool;
    auto* impostor = static_cast<IvarsWithoutSelectors*>(objc_autorelease(
        objc_msgSend<id()>(objc_msgSend<id()>(objc::as_id(IvarsWithoutSelectors::cls()), "alloc"_sel), "init"_sel)));
    id impostorId = objc::as_id(impostor);
    for (SEL marker : {"shouldBeginPlaybackOfItem:error:"_sel, "shuffleItemsWithInitialIndex:"_sel, "imageWithSize:"_sel})
        ASSERT_FALSE(objc_msgSend<BOOL(SEL)>(impostorId, "respondsToSelector:"_sel, marker));
    // The variables hold their own references, as the app's would.
    id order = arrayOfSongs({s1, s2});
    id query = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel), "init"_sel));
    id picture = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel));
    impostor->_items = objc_retain(objc::as_id(shuffled()));
    impostor->_orderedArray = objc_retain(order);
    impostor->_sourceMediaQuery = objc_retain(query);
    impostor->_image = objc_retain(picture);

    IMP getItems = class_getMethodImplementation(MusicQueryQueueFeeder::cls(), "getMPMediaQueryShuffledItems"_sel);
    EXPECT_EQ(imp_call<id()>(getItems, impostorId, "getMPMediaQueryShuffledItems"_sel), nullptr);
    Class shuffledClass = MPMediaQueryShuffledItems::cls();
    IMP getOrdered = class_getMethodImplementation(shuffledClass, "get_orderedArray"_sel);
    EXPECT_EQ(imp_call<id()>(getOrdered, impostorId, "get_orderedArray"_sel), nullptr);
    IMP setOrdered = class_getMethodImplementation(shuffledClass, "set_orderedArray:"_sel);
    imp_call<void(id)>(setOrdered, impostorId, "set_orderedArray:"_sel, arrayOfSongs({s3}));
    EXPECT_EQ(impostor->_orderedArray, order);
    IMP setQuery = class_getMethodImplementation(shuffledClass, "set_sourceMediaQuery:"_sel);
    id otherQuery = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel), "init"_sel));
    imp_call<void(id)>(setQuery, impostorId, "set_sourceMediaQuery:"_sel, otherQuery);
    EXPECT_EQ(impostor->_sourceMediaQuery, query);

    id table = objc_msgSend<id()>(objc::as_id(app.songsViewController()), "tableView"_sel);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMPMediaItemArtworkImage:"_sel, impostorId), nullptr);
    id otherPicture = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel));
    objc_msgSend<void(id, id)>(table, "setMPMediaItemArtworkImage:andObject:"_sel, otherPicture, impostorId);
    EXPECT_EQ(impostor->_image, picture);

    for (id* slot : {&impostor->_items, &impostor->_orderedArray, &impostor->_sourceMediaQuery, &impostor->_image}) {
        objc_release(*slot);
        *slot = nil;
    }
}

// The second stage when the feeder's query has two filter predicates and the
// shuffled items keep an ordered array: a song standing in the order where
// the query lists the request's first item goes the ordered way; any other
// takes the source list's way, handed back through the list's table view.
TEST_F(Queue, WithTwoFilterPredicatesTheSecondStageChoosesItsPathByTheQuery) {
    auto startAlbumQuery = [&](unsigned long long playing) {
        AutoreleasePool pool;
        auto predicate = [](const char* value, NSString* property) {
            return objc_msgSend<id(id, id, NSInteger)>(MPMediaPropertyPredicate::cls(),
                                                       "predicateWithValue:forProperty:comparisonType:"_sel,
                                                       NSString::make(value), property, MPMediaPredicateComparisonEqualTo);
        };
        id predicates = NSArray::make({predicate("202", MPMediaItemPropertyAlbumPersistentID),
                                       predicate("2", MPMediaItemPropertyGenrePersistentID)});
        id query = objc_autorelease(objc_msgSend<id(id)>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel),
                                                         "initWithFilterPredicates:"_sel, predicates));
        id f = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel),
                                                   "init"_sel));
        objc_msgSend<queue::setQuery>(f, "setQuery:"_sel, query);
        long at = playing == s3 ? 0 : playing == s4 ? 1 : 2;
        objc_msgSend<queue::switchToFeeder>(player(), "switchToFeeder:mode:index:play:"_sel, f, 0L, at, YES);
        ASSERT_EQ(playingPid(), playing);
        ASSERT_EQ(ordered(), (Pids{s3, s4, s5}));  // the album by track
        ASSERT_EQ(source(), (Pids{s3, s4, s5}));
        feeder()->_calls.clear();
    };
    auto handedOver = [&] { return called(feeder()->_calls.lines, "setSourceMediaQueryItems:andFeeder:"); };

    // s5 stands at 2 in the order, the query lists s3 first: the source list's way.
    startAlbumQuery(s3);
    EXPECT_EQ(tap(PLAY_NEXT, songEntry(s5)), PREPARE_REARRANGE);
    EXPECT_TRUE(handedOver());
    EXPECT_EQ(source(), (Pids{s3, s5, s4}));
    EXPECT_EQ(playOrder(), (Pids{s3, s5, s4}));
    EXPECT_EQ(playingPid(), s3);

    // s3 stands at 0, where the query lists it: the ordered way.
    startAlbumQuery(s4);
    EXPECT_EQ(tap(PLAY_NEXT, songEntry(s3)), PREPARE_REARRANGE);
    EXPECT_FALSE(handedOver());
    EXPECT_TRUE(called(feeder()->_calls.lines, "_handleMediaLibraryDidChange"));
    EXPECT_EQ(ordered(), (Pids{s4, s3, s5}));
    EXPECT_EQ(playOrder(), (Pids{s4, s3, s5}));
    EXPECT_EQ(playingPid(), s4);

    // Play now of a song on the source list's way: in the playing song's
    // place, and it starts there.
    startAlbumQuery(s3);
    tap(PLAY_NOW, songEntry(s5));
    EXPECT_TRUE(handedOver());
    EXPECT_EQ(playOrder(), (Pids{s5, s3, s4}));
    EXPECT_EQ(playingPid(), s5);
}

TEST_F(Queue, TheArtworkKeepsThePictureItIsGiven) {
    id artwork = objc_msgSend<id()>(songWithID(s1), "artwork"_sel);
    ASSERT_NE(artwork, nullptr);
    id table = objc_msgSend<id()>(objc::as_id(app.songsViewController()), "tableView"_sel);
    Strong<NSObject> picture = Strong<NSObject>::adopt(static_cast<NSObject*>(
        objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel)));
    NSUInteger before = objc_retainCount(objc::as_id(picture.get()));
    objc_msgSend<void(id, id)>(table, "setMPMediaItemArtworkImage:andObject:"_sel, objc::as_id(picture.get()), artwork);
    EXPECT_EQ(objc_retainCount(objc::as_id(picture.get())), before + 1);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMPMediaItemArtworkImage:"_sel, artwork), objc::as_id(picture.get()));
    objc_msgSend<void(id, id)>(table, "setMPMediaItemArtworkImage:andObject:"_sel, nil, artwork);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "getMPMediaItemArtworkImage:"_sel, artwork), objc::as_id(picture.get()));
}

// A living "Playing list" hears of every item change, with the player (and
// through the change notification, with the notification).
std::vector<id>* changesHeard = nullptr;
Slot<void(NSObject*, SEL, id)> _heardItemChange;
void heardItemChange(NSObject* self, SEL cmd, id argument) {
    if (changesHeard != nullptr) changesHeard->push_back(argument);
    _heardItemChange(self, cmd, argument);
}

TEST_F(Queue, TheStartIsMarkedAndALivingPlayingListHearsOfItemChanges) {
    OWN_PROCESS();  // replaces a method of the list
    EXPECT_TRUE(isOnStartup);
    Class list = objc_getClass("PlaylistTableViewController");
    ASSERT_NE(list, nullptr);
    MSHookMessageEx(list, "nowPlayingItemChanged:"_sel, heardItemChange, &_heardItemChange);
    std::vector<id> heard;
    changesHeard = &heard;
    startQueue({s1, s2}, s1);
    app.advance();
    // None alive: nothing made, nothing told.
    EXPECT_EQ(objc_msgSend<id()>(objc::as_id(list), "sharedInstanceIfAlive"_sel), nil);
    EXPECT_TRUE(heard.empty());
    id alive = objc_msgSend<id()>(objc::as_id(list), "sharedInstance"_sel);
    startQueue({s1, s2}, s1);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), objc::as_id(player())), 1);
    EXPECT_EQ(objc_msgSend<id()>(objc::as_id(list), "sharedInstanceIfAlive"_sel), alive);
    changesHeard = nullptr;
}

TEST_F(Queue, APlaylistIsRenamedOnlyWhileItsRowStillShowsIt) {
    std::string error;
    ASSERT_TRUE(app.openScreen("playlists", std::nullopt, &error)) << error;
    id screen = objc::as_id(app.currentScreen());
    id dataSource = objc_msgSend<id()>(screen, "dataSource"_sel);
    NSIndexPath* first = NSIndexPath::make(0, 0);
    NSIndexPath* second = NSIndexPath::make(1, 0);
    id shown = objc_msgSend<id(id)>(dataSource, "entityAtIndexPath:"_sel, first);
    id other = objc_msgSend<id(id)>(dataSource, "entityAtIndexPath:"_sel, second);
    ASSERT_NE(shown, nullptr);
    ASSERT_NE(other, nullptr);
    auto nameOf = [](id playlist) { return to_string(static_cast<NSString*>(objc_msgSend<id()>(playlist, "name"_sel))); };
    std::string shownName = nameOf(shown), otherName = nameOf(other);

    auto rename = [&](long viewIndex, id collection, NSString* name) {
        ItemEntry* e = entry(viewIndex);
        e->currentViewController = screen;
        e->currentIndexPath = first;
        e->mediaItemCollection = static_cast<NSObject*>(collection);
        objc_msgSend<void(id, id)>(objc_msgSend<id()>(screen, "tableView"_sel), "setPlaylistName:andItemEntry:"_sel,
                                   name, e);
    };
    rename(kViewIndexPlaylistSongs, shown, "Wrong screen"_ns);
    rename(kViewIndexPlaylists, other, "Wrong row"_ns);
    rename(kViewIndexPlaylists, shown, nil);
    EXPECT_EQ(nameOf(shown), shownName);
    EXPECT_EQ(nameOf(other), otherName);
    rename(kViewIndexPlaylists, shown, "Renamed"_ns);
    EXPECT_EQ(nameOf(shown), "Renamed");
    EXPECT_EQ(nameOf(other), otherName);
}

}  // namespace

// ---------------------------------------------------------------------------
// The radio tracks' buy button, decided on every ask.

namespace {
int offersAsked = 0;
Slot<id(objc_object*, SEL)> appOffers;
id countingOffers(objc_object* self, SEL cmd) {
    ++offersAsked;
    return appOffers(self, cmd);
}
}  // namespace

TEST(RadioOffers, HiddenWithTheOptionWithoutAskingTheApp) {
    OWN_PROCESS();  // replaces the app's method under the library's replacement
    test::TempRoot root;
    platform::registerMusicApp({.radio = true});
    // Stands for the app's own method, which the library's replacement calls.
    MSHookMessageEx(objc_getClass("RadioTrack"), "_offers"_sel, &countingOffers, &appOffers);
    Cantrel_registerClasses();
    CantrelInitialize();
    platform::MusicApp app({.radio = true});
    app.launch();
    AutoreleasePool pool;
    hide_buy_button_for_radio_track = NO;
    id offers = app.requestOffers();
    EXPECT_EQ(offersAsked, 1);
    ASSERT_NE(offers, nullptr);
    EXPECT_GT(objc_msgSend<NSUInteger()>(offers, "count"_sel), 0u);
    hide_buy_button_for_radio_track = YES;
    EXPECT_EQ(app.requestOffers(), nullptr);
    EXPECT_EQ(offersAsked, 1);
    hide_buy_button_for_radio_track = NO;
}

TEST(RadioFeeder, ItsInitialiserClearsThePointerAndLogsOnlyWhileLogging) {
    test::TempRoot root;
    platform::registerMusicApp({.radio = true});
    Cantrel_registerClasses();
    CantrelInitialize();
    AutoreleasePool pool;
    auto* f = reinterpret_cast<MusicQueryQueueFeeder*>(newFeeder());
    ASSERT_EQ(_MusicQueryQueueFeeder, f);
    Class radio = objc_getClass("RURadioQueueFeeder");
    long tracksBefore = class_getLiveInstanceCount(objc_getClass("RadioTrack"));
    platform::clearRecentLogLines();
    id station = objc_msgSend<id()>(objc_msgSend<id()>(objc::as_id(radio), "alloc"_sel), "init"_sel);
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);
    EXPECT_TRUE(platform::recentLogLines().empty());
    objc_release(station);

    {
        AutoreleasePool inner;
        LOGGER_ON = YES;
        station = objc_msgSend<id()>(objc_msgSend<id()>(objc::as_id(radio), "alloc"_sel), "init"_sel);
        LOGGER_ON = NO;
        objc_release(station);
    }
    auto lines = platform::recentLogLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "preparePlayNowOrNext -RURadioQueueFeeder itemCount: 2"),
              lines.end());
    // The copy the log asked for went back.
    EXPECT_EQ(class_getLiveInstanceCount(objc_getClass("RadioTrack")), tracksBefore);
    objc_release(objc::as_id(f));
}
