// The "Playing list" over a live queue of 10,000 songs that answer their
// artwork: opening it (rows read from the queue, the visible cells built)
// and one row drag with the live queue's update. Then one cell whose item
// has no artwork object, so its picture comes through the database (a
// token, then its path, each on a freshly opened database); the same two
// lookups on a kept connection are in dbhandler_bench
// (getArtworkTokenByItem_pid, getArtworkPathForToken).
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"
#include "PlaylistTableViewController.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <MediaPlayer/QueueMessages.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewController.h>

namespace {

constexpr NSUInteger kQueue = 10000;
constexpr NSUInteger kPlaying = 5000;

// A queue entry that has a persistent id with an artwork token in the
// database but no artwork object of its own.
unsigned long long gPid = 0;
struct DatabaseArtworkItem : NSObject {
    OBJC_CLASS(DatabaseArtworkItem)
};
unsigned long long databaseItemPid(DatabaseArtworkItem*, SEL) { return gPid; }
id itemTitle(DatabaseArtworkItem*, SEL) { return "Through the database"_ns; }
id itemNil(DatabaseArtworkItem*, SEL) { return nil; }

struct Fixture : bench::GeneratedLibrary {
    Strong<NSObject> feeder;
    id list = nil;

    Fixture() : GeneratedLibrary(kQueue) {
        if (!error.empty()) return;
        openSongsScreenWithCantrel();
        if (!error.empty()) return;
        AutoreleasePool pool;
        id songs = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
        if (objc_msgSend<NSUInteger()>(songs, "count"_sel) < kQueue) {
            error = "the library is too small";
            return;
        }
        feeder = Strong<NSObject>::adopt(static_cast<NSObject*>(
            objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(objc::as_id(feeder.get()), "setQueryItems:"_sel, songs);
        objc_msgSend<queue::switchToFeeder>(objc::as_id(app->avController()), "switchToFeeder:mode:index:play:"_sel,
                                            objc::as_id(feeder.get()), 0L, static_cast<NSInteger>(kPlaying), YES);
        list = objc_msgSend<id()>(objc::as_id(objc_getClass("PlaylistTableViewController")), "sharedInstance"_sel);
        gPid = itemPid;
        objc::ClassDef<DatabaseArtworkItem>("DatabaseArtworkItem", NSObject::cls())
            .method<databaseItemPid>("persistentID")
            .method<itemTitle>("title")
            .method<itemNil>("artist")
            .method<itemNil>("albumTitle")
            .method<itemNil>("artwork");
    }

    id navigation() const { return objc::as_id(app->songsNavigationController()); }
    void open() { objc_msgSend<void(id)>(objc::as_id(app->currentScreen()), "showNowPlayingList:"_sel, nil); }
    void close() { objc_msgSend<id(BOOL)>(navigation(), "popViewControllerAnimated:"_sel, NO); }
    UITableView* table() const { return static_cast<UITableView*>(objc_msgSend<id()>(list, "tableView"_sel)); }
};

void BM_OpenPlayingList(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    bool ok = true;
    for (auto _ : state) {
        AutoreleasePool pool;
        f->open();
        id visible = objc_msgSend<id()>(f->table(), "visibleCells"_sel);
        state.PauseTiming();
        ok = ok && objc_msgSend<NSUInteger()>(visible, "count"_sel) > 0 &&
             objc_msgSend<NSInteger(NSInteger)>(f->table(), "numberOfRowsInSection:"_sel, 0) == NSInteger(kQueue);
        f->close();
        state.ResumeTiming();
    }
    if (!ok) state.SkipWithError("the list did not show the queue");
}
BENCHMARK(BM_OpenPlayingList)->Unit(benchmark::kMillisecond);

// Drags the first row to the end and back in turn; each is one move.
void BM_DragRow(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    f->open();
    bool forward = true, ok = true;
    for (auto _ : state) {
        AutoreleasePool pool;
        ok = ok && (forward ? platform::dragTableRow(f->table(), 0, 0, kQueue - 1)
                            : platform::dragTableRow(f->table(), 0, kQueue - 1, 0));
        forward = !forward;
    }
    auto* feeder = static_cast<MusicQueryQueueFeeder*>(f->feeder.get());
    ok = ok && feeder->_loaded.size() == kQueue;
    f->close();
    if (!ok) state.SkipWithError("a drag was refused or the queue lost songs");
}
BENCHMARK(BM_DragRow)->Unit(benchmark::kMillisecond);

void BM_CellThroughTheDatabase(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    AutoreleasePool outer;
    auto* list = static_cast<PlaylistTableViewController*>(f->list);
    id item = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(objc::as_id(DatabaseArtworkItem::cls()), "alloc"_sel),
                                                  "init"_sel));
    Strong<NSObject> kept = list->tmp;
    list->tmp = static_cast<NSObject*>(objc_msgSend<id(id)>(NSMutableArray::cls(), "arrayWithObject:"_sel, item));
    id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 0, 0);
    bool ok = true;
    for (auto _ : state) {
        AutoreleasePool pool;
        id cell = objc_msgSend<id(id, id)>(f->list, "tableView:cellForRowAtIndexPath:"_sel, f->table(), path);
        id image = objc_msgSend<id()>(objc_msgSend<id()>(cell, "imageView"_sel), "image"_sel);
        ok = ok && image != nil && objc_msgSend<CGSize()>(image, "size"_sel).width != 60;  // not the white square
    }
    list->tmp = kept;
    if (!ok) state.SkipWithError("the picture did not come from the database");
}
BENCHMARK(BM_CellThroughTheDatabase)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
