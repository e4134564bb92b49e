// Play next into a live queue of 10,000 songs (the ordered variant), with the
// item at position 5,000 playing: a 1,000-song collection that is not queued,
// one song that is not queued, and one queued song moved. The queue is set
// up again, untimed, before each request.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"
#include "ItemEntry.h"
#include "QueueHandler.h"
#include "SwipeButtons.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MediaPlayer/QueueMessages.h>

namespace {

constexpr NSUInteger kQueue = 10000;
constexpr NSUInteger kPlaying = 5000;
constexpr NSUInteger kCollection = 1000;

struct Fixture : bench::GeneratedLibrary {
    Strong<NSArray> queue;       // the first 10,000 songs
    Strong<NSArray> collection;  // the next 1,000
    Strong<NSObject> feeder;

    Fixture() : GeneratedLibrary(kQueue + kCollection) {
        if (!error.empty()) return;
        openSongsScreenWithCantrel();
        if (!error.empty()) return;
        AutoreleasePool pool;
        id songs = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
        if (objc_msgSend<NSUInteger()>(songs, "count"_sel) < kQueue + kCollection) {
            error = "the library is too small";
            return;
        }
        id first = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
        id rest = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
        for (NSUInteger i = 0; i < kQueue + kCollection; ++i)
            objc_msgSend<void(id)>(i < kQueue ? first : rest, "addObject:"_sel,
                                   objc_msgSend<id(NSUInteger)>(songs, "objectAtIndex:"_sel, i));
        queue = static_cast<NSArray*>(first);
        collection = static_cast<NSArray*>(rest);
        feeder = Strong<NSObject>::adopt(static_cast<NSObject*>(
            objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel), "init"_sel)));
    }

    // The 10,000 songs in the feeder, the one at 5,000 playing.
    void reset() {
        AutoreleasePool pool;
        objc_msgSend<void(id)>(objc::as_id(feeder.get()), "setQueryItems:"_sel, objc::as_id(queue.get()));
        objc_msgSend<queue::switchToFeeder>(objc::as_id(app->avController()), "switchToFeeder:mode:index:play:"_sel,
                                            objc::as_id(feeder.get()), 0L, static_cast<NSInteger>(kPlaying), YES);
    }

    ItemEntry* entry() const {
        auto* e = static_cast<ItemEntry*>(objc_autorelease(
            objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
        e->currentViewController = objc::as_id(app->currentScreen());
        return e;
    }
};

// One request as a queue button makes it; false when the result is wrong.
template <class Check>
void runPlayNext(benchmark::State& state, ItemEntry* (*make)(Fixture*), Check check) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    Class handler = objc_getClass("QueueHandler");
    bool ok = true;
    for (auto _ : state) {
        state.PauseTiming();
        f->reset();
        AutoreleasePool pool;
        ItemEntry* e = make(f);
        state.ResumeTiming();
        int prepared = objc_msgSend<int(int, id, id)>(objc::as_id(handler), "preparePlayNowOrNext:itemEntry:tableView:"_sel,
                                                      PLAY_NEXT, e, nil);
        if (prepared != PREPARE_DONE)
            objc_msgSend<void(int, id, id)>(objc::as_id(handler), "playNowOrNext:itemEntry:tableView:"_sel, PLAY_NEXT,
                                            e, nil);
        state.PauseTiming();
        ok = ok && check(f);
        state.ResumeTiming();
    }
    if (!ok) state.SkipWithError("the queue did not come out as expected");
}

MusicQueryQueueFeeder* feederOf(Fixture* f) { return static_cast<MusicQueryQueueFeeder*>(f->feeder.get()); }

// The item now at `index` of what the feeder plays.
id playsAt(Fixture* f, NSUInteger index) {
    return objc_msgSend<queue::mediaItemAtIndex>(objc::as_id(feederOf(f)), "mediaItemAtIndex:"_sel, index);
}

void BM_PlayNextCollectionNotQueued(benchmark::State& state) {
    runPlayNext(
        state,
        [](Fixture* f) {
            ItemEntry* e = f->entry();
            e->viewIndex = kViewIndexAlbums;
            id c = objc_msgSend<id(id)>(MPMediaItemCollection::cls(), "collectionWithItems:"_sel,
                                        objc::as_id(f->collection.get()));
            e->mediaItemCollection = static_cast<NSObject*>(c);
            e->mediaItem = static_cast<NSObject*>(objc_msgSend<id()>(c, "representativeItem"_sel));
            return e;
        },
        [](Fixture* f) {
            return objc_msgSend<queue::itemCount>(objc::as_id(feederOf(f)), "itemCount"_sel) == kQueue + kCollection &&
                   playsAt(f, kPlaying + 1) == f->collection->at(0) &&
                   playsAt(f, kPlaying + kCollection) == f->collection->at(kCollection - 1);
        });
}
BENCHMARK(BM_PlayNextCollectionNotQueued)->Unit(benchmark::kMillisecond);

void BM_PlayNextSongNotQueued(benchmark::State& state) {
    runPlayNext(
        state,
        [](Fixture* f) {
            ItemEntry* e = f->entry();
            e->mediaItem = static_cast<NSObject*>(f->collection->at(0));
            return e;
        },
        [](Fixture* f) { return playsAt(f, kPlaying + 1) == f->collection->at(0); });
}
BENCHMARK(BM_PlayNextSongNotQueued)->Unit(benchmark::kMicrosecond);

void BM_PlayNextQueuedSong(benchmark::State& state) {
    runPlayNext(
        state,
        [](Fixture* f) {
            ItemEntry* e = f->entry();
            e->mediaItem = static_cast<NSObject*>(f->queue->at(kQueue - 1));
            return e;
        },
        [](Fixture* f) { return playsAt(f, kPlaying + 1) == f->queue->at(kQueue - 1); });
}
BENCHMARK(BM_PlayNextQueuedSong)->Unit(benchmark::kMicrosecond);

}  // namespace
