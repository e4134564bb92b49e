// Filling an item record for a song row of a 50,000-song library, and the
// artwork rule's fallback through the database (token, then path, each
// question opening and closing the file) and the artwork file.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
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

struct Fixture {
    std::string root;
    std::string error;
    std::unique_ptr<platform::MusicApp> app;
    unsigned long long pidWithArtwork = 0;

    Fixture() {
        root = (std::filesystem::temp_directory_path() / "cantrel-bench-XXXXXX").string();
        if (mkdtemp(root.data()) == nullptr) {
            error = "mkdtemp failed";
            return;
        }
        platform::setDeviceRoot(root);
        if (!platform::generateMediaLibrary(root, {kSongs, 1}, &error)) return;
        Cantrel_registerClasses();
        objc::ClassDef<BareItem>("BareItem", NSObject::cls())
            .method<bareArtwork>("artwork")
            .method<barePid>("persistentID");
        platform::registerMusicApp();
        app = std::make_unique<platform::MusicApp>();
        app->launch();
        if (!app->openScreen("songs", std::nullopt, &error)) return;

        sqlite3* db = nullptr;
        sqlite3_open_v2(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT a.item_pid FROM item_artwork a JOIN artwork w ON w.artwork_token = "
                           "a.best_artwork_token LIMIT 1 OFFSET 777",
                           -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) pidWithArtwork = static_cast<unsigned long long>(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        sqlite3_close(db);
        if (pidWithArtwork == 0) error = "no item with artwork";
    }
    ~Fixture() {
        if (app) app->shutdown();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
};

Fixture& fixture() {
    static Fixture* f = new Fixture();
    return *f;
}

void BM_AssignMediaItemSongRow(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    id screen = objc::as_id(f.app->currentScreen());
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
    Fixture& f = fixture();
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    auto* item = static_cast<BareItem*>(class_createInstance(BareItem::cls()));
    item->pid = f.pidWithArtwork;
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
