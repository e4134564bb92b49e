// A device root in a temporary folder holding a generated media library,
// for the benchmarks: made when constructed, removed when destroyed.
#pragma once

#include <MediaLibraryGenerator.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MusicApp/MusicApp.h>
#include <platform/DeviceRoot.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace bench {

struct GeneratedLibrary {
    std::string root;
    std::string error;                    // empty when the library stands
    unsigned long long itemPid = 0;       // an item (top bit set) with an artwork file
    std::string itemArtworkToken;         // its artwork token

    explicit GeneratedLibrary(size_t songs) {
        root = (std::filesystem::temp_directory_path() / "cantrel-bench-XXXXXX").string();
        if (mkdtemp(root.data()) == nullptr) {
            error = "mkdtemp failed";
            return;
        }
        platform::setDeviceRoot(root);
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
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    GeneratedLibrary(const GeneratedLibrary&) = delete;
    GeneratedLibrary& operator=(const GeneratedLibrary&) = delete;
};

// The Music app launched on the current device root with its songs screen
// open; nil with *error set when the screen cannot open.
inline std::unique_ptr<platform::MusicApp> launchOnSongsScreen(std::string* error) {
    platform::registerMusicApp();
    auto app = std::make_unique<platform::MusicApp>();
    app->launch();
    if (!app->openScreen("songs", std::nullopt, error)) return nullptr;
    return app;
}

}  // namespace bench
