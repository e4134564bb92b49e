// The edit sheet on a 50,000-song library: opening a song's sheet (the
// record, the nib, the rates and both pickers' lists from the database, the
// presentation) and drawing it once; one step of a drag across the stars
// with the stars' redraw; and typing a long title into the sheet's field, a
// character at a time through the panel's delegate (time per character and
// the growth of the peak resident memory).
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"
#include "ItemEntry.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <cairo.h>

#include <sys/resource.h>

namespace {

constexpr size_t kSongs = 50000;

struct Fixture : bench::GeneratedLibrary {
    Strong<ItemEntry> entry;

    Fixture() : GeneratedLibrary(kSongs) {
        installResourceBundle();
        if (!error.empty()) return;
        platform::Clock::setVirtual(true);
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        openSongsScreen();
        if (!error.empty()) return;
        auto* table = static_cast<UITableView*>(objc_msgSend<id()>(objc::as_id(app->currentScreen()), "tableView"_sel));
        NSInteger section = objc_msgSend<NSInteger()>(table, "numberOfSections"_sel) / 2;
        auto* path = objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 3, section);
        entry = Strong<ItemEntry>::adopt(static_cast<ItemEntry*>(
            objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
        assignMediaItem(table, path, kViewIndexSongs, entry.get(), nil);
    }

    // Opens the sheet; its alert once presented.
    id open() {
        objc_msgSend<void(id, id, long)>(objc_getClass("EditHandler"), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         nil, entry.get(), -1L);
        platform::finishTransitions(1);
        return objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel);
    }
    void close(id alert) {
        objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::finishTransitions(1);
    }
};

void BM_OpenSongSheetAndDrawIt(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    for (auto _ : state) {
        AutoreleasePool pool;
        id alert = f->open();
        if (alert == nil) {
            state.SkipWithError("no sheet opened");
            return;
        }
        cairo_surface_destroy(platform::renderView(static_cast<UIView*>(objc_msgSend<id()>(alert, "view"_sel)), 2));
        state.PauseTiming();
        f->close(alert);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenSongSheetAndDrawIt)->Unit(benchmark::kMillisecond);

void BM_StarDragStepWithRedraw(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    AutoreleasePool outer;
    id alert = f->open();
    id panel = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(alert, "view"_sel), "subViewWithTag:"_sel, 99);
    auto* stars = static_cast<UIView*>(objc_msgSend<id()>(panel, "ratingView"_sel));
    if (stars == nullptr) {
        state.SkipWithError("no stars");
        return;
    }
    // Star centres: 55, 95, 135, 175, 215 in the control.
    platform::TouchSequence touch(stars, CGPointMake(55, 30));
    bool right = true;
    for (auto _ : state) {
        AutoreleasePool pool;
        touch.moveTo(CGPointMake(right ? 215 : 55, 30));
        right = !right;
        cairo_surface_destroy(platform::renderView(stars, 2));
    }
    touch.end();
    f->close(alert);
}
BENCHMARK(BM_StarDragStepWithRedraw)->Unit(benchmark::kMicrosecond);

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_TypeLongTitle(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    AutoreleasePool outer;
    id alert = f->open();
    id panel = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(alert, "view"_sel), "subViewWithTag:"_sel, 99);
    auto* field = static_cast<UITextField*>(objc_msgSend<id()>(panel, "titleTextField"_sel));
    if (field == nullptr) {
        state.SkipWithError("no title field");
        return;
    }
    const std::string typed(static_cast<size_t>(state.range(0)), 'a');
    long before = peakResidentKilobytes();
    for (auto _ : state) {
        AutoreleasePool pool;
        objc_msgSend<void(id)>(field, "setText:"_sel, ""_ns);
        if (platform::typeText(field, typed) != state.range(0)) {
            state.SkipWithError("characters refused");
            break;
        }
    }
    state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_growth_MB"] = static_cast<double>(peakResidentKilobytes() - before) / 1024.0;
    f->close(alert);
}
BENCHMARK(BM_TypeLongTitle)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace
