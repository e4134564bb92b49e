// The album artwork import with ID3 writes on an album of 12 tracks (each
// with its own MP3 file) of a generated library: Save with a picked picture,
// until the import's closing step has run; a track takes Time / tracks.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "EditSave.h"
#include "GeneratedLibrary.h"
#include "ItemEntry.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <cairo.h>
#include <filesystem>

namespace {

constexpr int kTracks = 12;

struct Fixture : bench::GeneratedLibrary {
    Strong<ItemEntry> entry;
    Strong<UIImage> picture;

    Fixture() : GeneratedLibrary(5000) {
        installResourceBundle();
        if (!error.empty()) return;
        // One album of 12 tracks, each with a file of its own.
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        sqlite3_exec(db,
                     "INSERT INTO album (album_pid, album, sort_album, album_artist_pid) "
                     "SELECT 777777, 'Bench Album', 'Bench Album', album_artist_pid FROM album LIMIT 1;"
                     "UPDATE item SET album_pid = 777777, "
                     "location = 'iTunes_Control/Music/Bench/' || abs(item_pid) || '.mp3' "
                     "WHERE item_pid IN (SELECT item_pid FROM item ORDER BY item_pid LIMIT 12)",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT location FROM item WHERE location LIKE '%/Bench/%'", -1, &st, nullptr);
        std::string source;
        for (const auto& e : std::filesystem::recursive_directory_iterator(root + "/var/mobile/Media/iTunes_Control/Music"))
            if (e.path().extension() == ".mp3") {
                source = e.path().string();
                break;
            }
        std::filesystem::create_directories(root + "/var/mobile/Media/iTunes_Control/Music/Bench");
        while (sqlite3_step(st) == SQLITE_ROW)
            std::filesystem::copy_file(source, root + "/var/mobile/Media/" + reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                       std::filesystem::copy_options::overwrite_existing);
        sqlite3_finalize(st);
        sqlite3_close(db);

        platform::Clock::setVirtual(true);
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        app = std::make_unique<platform::MusicApp>();
        app->launch();
        app->openScreen("albums", std::nullopt, &error);
        if (!error.empty()) return;
        id controller = objc::as_id(app->currentScreen());
        auto* table = static_cast<UITableView*>(objc_msgSend<id()>(controller, "tableView"_sel));
        for (NSInteger s = 0; s < objc_msgSend<NSInteger()>(table, "numberOfSections"_sel); ++s)
            for (NSInteger r = 0; r < objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, s); ++r) {
                auto* p = objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, r, s);
                Strong<ItemEntry> e = Strong<ItemEntry>::adopt(static_cast<ItemEntry*>(
                    objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
                assignMediaItem(table, p, kViewIndexAlbums, e.get(), nil);
                id items = objc_msgSend<id()>(e->mediaItemCollection.get(), "items"_sel);
                if (objc_msgSend<NSUInteger()>(items, "count"_sel) == kTracks) entry = e;
            }
        if (!entry) error = "no album of 12 tracks";
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 600, 600);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.7, 0.2, 0.3);
        cairo_paint(cr);
        cairo_destroy(cr);
        picture = Strong<UIImage>(UIImage::withSurface(s));
    }

    bool saveWithPicture() {
        objc_msgSend<void(id, id, long)>(objc_getClass("EditHandler"), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         objc::as_id(picture.get()), entry.get(), -1L);
        platform::finishTransitions(1);
        id alert = objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel);
        id actions = objc_msgSend<id()>(alert, "actions"_sel);
        auto* save = static_cast<UIAlertAction*>(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, 1));
        if (!platform::tapAlertAction(static_cast<UIAlertController*>(alert), save)) return false;
        return platform::RunLoop::main().runUntil([] { return EditSheetImportsIdle(); }, 60);
    }
};

void BM_AlbumImportOf12TracksWithID3(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    for (auto _ : state) {
        AutoreleasePool pool;
        if (!f->saveWithPicture()) {
            state.SkipWithError("the import did not finish");
            return;
        }
        state.PauseTiming();
        platform::RunLoop::main().runFor(1.1);  // the refresh
        state.ResumeTiming();
    }
    // The time of one track: the time per iteration over the tracks.
    state.counters["tracks"] = kTracks;
}
BENCHMARK(BM_AlbumImportOf12TracksWithID3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
