// Device roots for the benchmarks: a temporary folder made the device root
// (removed at the end), optionally holding the library's resource bundle, a
// generated media library and the Music app launched on its songs screen.
#pragma once

#include "Cantrel.h"
#include "Classes.h"
#include "TemporaryFolder.h"

#include <Foundation/NSString.h>
#include <MediaLibraryGenerator.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MusicApp/MusicApp.h>
#include <benchmark/benchmark.h>
#include <platform/DeviceRoot.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// A temporary folder, made the device root while it lives.
struct DeviceRootFolder {
    TemporaryFolder folder;
    std::string root = folder.path();
    std::string error = folder.error();  // empty while all is well

    DeviceRootFolder() {
        if (error.empty()) platform::setDeviceRoot(root);
    }

    // Copies the library's resource bundle to its place under the root.
    void installResourceBundle() {
        if (!error.empty()) return;
        std::filesystem::path bundle;
        {
            AutoreleasePool pool;
            bundle = std::filesystem::path(root) / to_string(CantrelBundlePath());
        }
        std::error_code ec;
        std::filesystem::create_directories(bundle.parent_path(), ec);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle,
                              std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing,
                              ec);
        if (ec) error = "cannot copy the resource bundle: " + ec.message();
    }
};

struct GeneratedLibrary : DeviceRootFolder {
    unsigned long long itemPid = 0;  // an item (top bit set) with an artwork file
    std::string itemArtworkToken;    // its artwork token
    std::unique_ptr<platform::MusicApp> app;  // after openSongsScreen()

    explicit GeneratedLibrary(size_t songs) {
        if (!error.empty()) return;
        if (!platform::generateMediaLibrary(root, {songs, 1}, &error)) return;

        sqlite3* db = nullptr;
        sqlite3_open_v2(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db, SQLITE_OPEN_READONLY,
                        nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT a.item_pid, a.best_artwork_token FROM item_artwork a JOIN artwork w "
                           "ON w.artwork_token = a.best_artwork_token WHERE a.item_pid < 0 LIMIT 1 OFFSET 1000",
                           -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) {
            itemPid = static_cast<unsigned long long>(sqlite3_column_int64(st, 0));
            itemArtworkToken = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        } else {
            error = "no item with artwork";
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    ~GeneratedLibrary() {
        if (app) app->shutdown();
    }

    // Starts the library in the Music app (its classes registered, its
    // replacements installed) and opens the songs screen.
    void openSongsScreenWithCantrel() {
        if (!error.empty()) return;
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        openSongsScreen();
    }

    // Launches the Music app with its songs screen open.
    void openSongsScreen() {
        if (!error.empty()) return;
        platform::registerMusicApp();
        app = std::make_unique<platform::MusicApp>();
        app->launch();
        app->openScreen("songs", std::nullopt, &error);
    }
};

// The console report, keeping each run's time per iteration (by name) for a
// closing comparison.
class TimesReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
                if (auto r = run.counters.find("ratio"); r != run.counters.end()) ratios[run.benchmark_name()] = r->second;
            }
    }
    std::map<std::string, double> times;
    std::map<std::string, double> ratios;  // the runs' "ratio" counters
};

// The process's one fixture of type F, made at first use; nullptr, with the
// benchmark skipped, when it could not be made.
template <class F>
F* sharedFixture(benchmark::State& state) {
    // Never destroyed (the app's objects must outlive the static objects at
    // exit); its device root is removed at exit all the same.
    static F* fixture = new F();
    if (!fixture->error.empty()) {
        state.SkipWithError(fixture->error.c_str());
        return nullptr;
    }
    return fixture;
}

}  // namespace bench
