// Filling an item record for a song row of a 50,000-song library, and the
// artwork rule's fallback through the database (token, then path, each
// question opening and closing the file) and the artwork file.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"
#include "ItemEntry.h"

#include <Foundation/Foundation.h>
#include <MediaLibraryGenerator.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UITableView.h>
#include <platform/DeviceRoot.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr size_t kSongs = 50000;

// A media item whose artwork object has no picture, so that the rule falls
// back to the database.
struct BareItem : NSObject {
    OBJC_CLASS(BareItem)
    unsigned long long pid = 0;
};
id bareArtwork(BareItem*, SEL) { return nil; }
unsigned long long barePid(BareItem* self, SEL) { return self->pid; }

struct Fixture : bench::GeneratedLibrary {
    Fixture() : GeneratedLibrary(kSongs) {
        if (!error.empty()) return;
        Cantrel_registerClasses();
        objc::ClassDef<BareItem>("BareItem", NSObject::cls())
            .method<bareArtwork>("artwork")
            .method<barePid>("persistentID");
        openSongsScreen();
    }
};

void BM_AssignMediaItemSongRow(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    id screen = objc::as_id(f->app->currentScreen());
    id table = objc_msgSend<id()>(screen, "tableView"_sel);
    NSInteger sections = objc_msgSend<NSInteger()>(table, "numberOfSections"_sel);
    NSInteger section = sections / 2;
    for (auto _ : state) {
        AutoreleasePool pool;
        auto* entry = static_cast<ItemEntry*>(
            objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel));
        id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 3,
                                                          section);
        assignMediaItem(static_cast<UITableView*>(table), static_cast<NSIndexPath*>(path), kViewIndexSongs, entry, nil);
        benchmark::DoNotOptimize(entry->artwork.get());
        objc_release(entry);
    }
}
BENCHMARK(BM_AssignMediaItemSongRow)->Unit(benchmark::kMicrosecond);

void BM_ArtworkRuleThroughTheDatabase(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    auto* item = static_cast<BareItem*>(class_createInstance(BareItem::cls()));
    item->pid = f->itemPid;
    for (auto _ : state) {
        AutoreleasePool pool;
        id image = artworkForMediaItem(item);
        if (image == nil) {
            state.SkipWithError("the artwork file did not load");
            break;
        }
        benchmark::DoNotOptimize(image);
    }
    objc_release(item);
}
BENCHMARK(BM_ArtworkRuleThroughTheDatabase)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
