// A whole swipe on a song row of a 50,000-song library: the replacement
// fills the record (with the artwork rule), makes the six buttons and loads
// their pictures from the resource bundle, and each button is laid out.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr size_t kSongs = 50000;

struct Fixture : bench::GeneratedLibrary {
    Fixture() : GeneratedLibrary(kSongs) {
        installResourceBundle();
        if (!error.empty()) return;
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        openSongsScreen();
    }
};

void BM_SwipeSongRow(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    auto* table = static_cast<UITableView*>(objc_msgSend<id()>(objc::as_id(f->app->currentScreen()), "tableView"_sel));
    NSInteger section = objc_msgSend<NSInteger()>(table, "numberOfSections"_sel) / 2;
    Strong<NSIndexPath> path(objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(
        NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 3, section));
    size_t buttons = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        auto swiped = platform::swipeRow(table, path);
        buttons = swiped.size();
        benchmark::DoNotOptimize(swiped.data());
    }
    if (buttons != 6) state.SkipWithError("the row did not get six buttons");
}
BENCHMARK(BM_SwipeSongRow)->Unit(benchmark::kMicrosecond);

}  // namespace
