// The now-playing screen: one layout pass of its playback controls with the
// add and edit buttons present; opening the add-to-playlist picker over a
// library of 1,000 playlists (its panel, its rows with one hidden check per
// playlist, each opening the database, and its picker; the presentation's
// animation excluded), then the same opening with every DBHandler statement
// on one kept connection.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"
#include "KeptOpenConnection.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr size_t kSongs = 5000;
constexpr int kPlaylists = 1000;

struct Fixture : bench::GeneratedLibrary {
    Fixture() : GeneratedLibrary(kSongs) {
        installResourceBundle();
        if (!error.empty()) return;
        addPlaylists();
        if (!error.empty()) return;
        openSongsScreenWithCantrel();
        if (!error.empty()) return;
        // Every playlist reaches the library's own hidden check.
        platform::setPlaylistsQueryListsHidden(true);
        if (!app->play("songs", std::nullopt, &error)) return;
        app->showNowPlaying();
        platform::finishTransitions(2);
        if (buttonCount() != 2) error = "the now-playing buttons are not shown";
    }

    // 1,000 playlists of one song each, every tenth hidden.
    void addPlaylists() {
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        std::string sql = "BEGIN;";
        for (int i = 0; i < kPlaylists; ++i) {
            std::string pid = std::to_string(900000 + i);
            sql += "INSERT INTO container (container_pid, name, name_order, is_hidden) VALUES (" + pid +
                   ", 'Bench list " + std::to_string(i) + "', " + std::to_string(100000 + i) + ", " +
                   (i % 10 == 0 ? "1" : "0") + ");";
            sql += "INSERT INTO container_items (container_pid, item_pid, position) SELECT " + pid +
                   ", item_pid, 0 FROM item LIMIT 1;";
        }
        sql += "COMMIT;";
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) error = sqlite3_errmsg(db);
        sqlite3_close(db);
    }

    id controller() const { return objc::as_id(app->nowPlayingViewController()); }
    id controls() const { return objc_msgSend<id()>(controller(), "playbackControlsView"_sel); }

    int buttonCount() const {
        int n = 0;
        id subviews = objc_msgSend<id()>(controls(), "subviews"_sel);
        for (NSUInteger i = 0, c = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < c; ++i) {
            id inner = objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i), "subviews"_sel);
            if (objc_msgSend<NSUInteger()>(inner, "count"_sel) == 1 &&
                objc_isKindOfClass(objc_msgSend<id(NSUInteger)>(inner, "objectAtIndex:"_sel, 0), UIToolbar::cls()))
                ++n;
        }
        return n;
    }

    // The picker presented over the now-playing screen, or nil.
    id presented() const { return objc_msgSend<id()>(controller(), "presentedViewController"_sel); }

    // Lets the presentation (or dismissal) finish on the virtual clock.
    void settle() const {
        for (int i = 0; i < 10 && platform::finishTransitions(0) == false; ++i) {
            platform::Clock::advance(kUIPresentationDuration + 0.01);
            platform::RunLoop::main().runPending();
        }
    }
};

void BM_NowPlayingControlsLayout(benchmark::State& state) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    id controls = f->controls();
    for (auto _ : state) {
        AutoreleasePool pool;
        objc_msgSend<void()>(controls, "layoutSubviews"_sel);
    }
    if (f->buttonCount() != 2) state.SkipWithError("the buttons changed");
}

void openPicker(benchmark::State& state, bool keptConnection) {
    Fixture* f = bench::sharedFixture<Fixture>(state);
    if (f == nullptr) return;
    std::unique_ptr<bench::KeptOpenConnection> kept;
    if (keptConnection) kept = std::make_unique<bench::KeptOpenConnection>();
    platform::Clock::setVirtual(true);
    id controls = f->controls();
    long rows = 0;
    for (auto _ : state) {
        {
            AutoreleasePool pool;
            objc_msgSend<void(id)>(controls, "addToPlaylist:"_sel, nil);
        }
        state.PauseTiming();
        f->settle();
        id alert = f->presented();
        if (alert == nil) {
            state.SkipWithError("the picker did not open");
            break;
        }
        id panel = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(alert, "view"_sel), "viewWithTag:"_sel, 99);
        rows = static_cast<long>(objc_msgSend<NSUInteger()>(
            objc_msgSend<id(id)>(objc_msgSend<id()>(panel, "genreDictionary"_sel), "objectForKey:"_sel, "name"_ns),
            "count"_sel));
        objc_msgSend<BOOL()>(objc_msgSend<id()>(panel, "titleTextField"_sel), "resignFirstResponder"_sel);
        objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        f->settle();
        state.ResumeTiming();
    }
    platform::Clock::setVirtual(false);
    state.counters["rows"] = static_cast<double>(rows);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("NowPlayingControlsLayout", BM_NowPlayingControlsLayout)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("OpenAddToPlaylistPicker/opened_per_statement",
                                 [](benchmark::State& s) { openPicker(s, false); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OpenAddToPlaylistPicker/kept_connection",
                                 [](benchmark::State& s) { openPicker(s, true); })
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto perStatement = reporter.times.find("OpenAddToPlaylistPicker/opened_per_statement");
    auto kept = reporter.times.find("OpenAddToPlaylistPicker/kept_connection");
    if (perStatement != reporter.times.end() && kept != reporter.times.end() && kept->second > 0)
        std::printf("\nPicker over %d playlists, database opened per statement / kept open: %.1f ms / %.1f ms = %.1fx\n",
                    kPlaylists, perStatement->second, kept->second, perStatement->second / kept->second);
    return 0;
}
