// Whole exports through FileHandler, as the export button starts them (copies
// written with their tags, the archive, every file made durable, up to the
// share sheet), on a generated library of 3,000 songs, against copying the
// same files in process and zipping them stored by a plain minizip loop:
//   album          an album of the generated library (10 tracks of about
//                  10 KB, as in the demo)
//   album 12x4MB   an album of 12 tracks of 4 MB of MP3 frames each
//   playlist 3000  a playlist of all 3,000 songs, with distinct titles and
//                  with one title for all (" (2)" … " (3000)"), in turns
// The plain copy writes the files where an album's export puts them, an
// artist's folder and an album's folder in a new folder (making folders
// costs more than the files on some file systems). It is timed as it is and
// followed by one sync of its files (what the export must do before it
// names them); the export is also timed with the tag option off. Ends with
// the ratios.
#include <benchmark/benchmark.h>

#include "EditSheetSupport.h"
#include "FileHandler.h"
#include "Sends.h"
#include "GeneratedLibrary.h"
#include "Timing.h"

#include <UIKit/UIActivityViewController.h>
#include <dispatch/dispatch.h>
#include <platform/RunLoop.h>

#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace ex = cantrel::exporting;

namespace {

constexpr size_t kSongs = 3000;
constexpr int kBigTracks = 12;
constexpr size_t kBigBytes = 4u << 20;

bool sql(const std::string& statements) {
    sqlite3* db = nullptr;
    sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
    bool ok = sqlite3_exec(db, statements.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The first column of the first row; 0 when there is none (no id is 0).
long long sqlNumber(const std::string& query) {
    sqlite3* db = nullptr;
    sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
    sqlite3_stmt* st = nullptr;
    long long n = 0;
    if (sqlite3_prepare_v2(db, query.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

struct Library : bench::GeneratedLibrary {
    long long smallAlbum = 0, bigAlbum = 0, playlist = 0;

    Library() : GeneratedLibrary(kSongs) {
        if (!error.empty()) return;
        smallAlbum = sqlNumber("SELECT album_pid FROM item GROUP BY album_pid HAVING count(*) = 10 LIMIT 1");
        // The big album: another album given two more tracks, each its own 4 MB file.
        bigAlbum = sqlNumber("SELECT album_pid FROM item WHERE album_pid != " + std::to_string(smallAlbum) + " LIMIT 1");
        playlist = sqlNumber("SELECT container_pid FROM container WHERE distinguished_kind = 0 AND is_hidden = 0 "
                             "AND container_pid IN (SELECT container_pid FROM container_items) LIMIT 1");
        if (smallAlbum == 0 || bigAlbum == 0 || playlist == 0) {
            error = "the library has no album or playlist to export";
            return;
        }
        std::string big = std::to_string(bigAlbum);
        bool ok = sql("UPDATE item SET album_pid = " + big + " WHERE item_pid IN (SELECT item_pid FROM item WHERE album_pid "
                      "NOT IN (" + big + ", " + std::to_string(smallAlbum) + ") LIMIT 2);") &&
                  sqlNumber("SELECT count(*) FROM item WHERE album_pid = " + big) == kBigTracks;
        auto tone = platform::generator::toneMP3(440);
        std::string audio;
        while (audio.size() < kBigBytes) audio.append(reinterpret_cast<const char*>(tone.data()), tone.size());
        fs::create_directories(root + "/var/mobile/Media/Big");
        for (int i = 0; i < kBigTracks; ++i)
            std::ofstream(root + "/var/mobile/Media/Big/" + std::to_string(i) + ".mp3", std::ios::binary) << audio;
        ok = ok && sql("UPDATE item SET location = 'Big/' || (SELECT count(*) FROM item o WHERE o.album_pid = " + big +
                       " AND o.item_pid < item.item_pid) || '.mp3' WHERE album_pid = " + big + ";");
        // The playlist holds every song, in the order of their ids.
        std::string list = std::to_string(playlist);
        ok = ok && sql("DELETE FROM container_items WHERE container_pid = " + list +
                       ";"
                       "INSERT INTO container_items (container_pid, item_pid, position) SELECT " +
                       list + ", item_pid, (SELECT count(*) FROM item o WHERE o.item_pid < item.item_pid) FROM item;"
                              "CREATE TABLE saved_title AS SELECT item_pid, title FROM item;");
        if (!ok) error = "cannot prepare the library";
        // Badges and sheet transitions on the virtual clock, so that only the
        // export's own work is timed.
        platform::Clock::setVirtual(true);
        openSongsScreenWithCantrel();
        platform::setManualGlobalQueues(true);
    }
    std::string exports() const { return platform::devicePath(ex::kExportFolder); }
};

Library* library(benchmark::State& state) { return bench::sharedFixture<Library>(state); }

Strong<ItemEntry> entryFor(Library& lib, const char* screen, long long pid) {
    return test::entryForRow(*lib.app, screen, static_cast<unsigned long long>(pid));
}

// One whole export, from the button to the share sheet; its time in
// `seconds`. Then (not timed) the sheet cancelled.
bool exportOnce(ItemEntry* entry, double& seconds) {
    double t0 = bench::now();
    objc_msgSend<void(id, int)>(FileHandler::cls(), "exportAlbum:andType:"_sel, entry, static_cast<int>(entry->viewIndex));
    platform::drainGlobalQueues();
    platform::RunLoop::main().runUntil([] { return Cantrel_exportsIdle(); }, 600);
    platform::finishTransitions(1);
    seconds = bench::now() - t0;
    bool shown = platform::chooseActivity(platform::presentedActivitySheet(), "cancel");
    platform::finishTransitions(1);
    return shown;
}

void clearExports(Library& lib) {
    std::error_code ec;
    fs::remove_all(lib.exports(), ec);
}

const char kDistinctTitles[] = "UPDATE item SET title = 'Track ' || item_pid;";
const char kAlikeTitles[] = "UPDATE item SET title = 'Same';";
const char kSavedTitles[] =
    "UPDATE item SET title = (SELECT title FROM saved_title s WHERE s.item_pid = item.item_pid);";

// One export of a collection, timed, and the export folder emptied after.
bool exportStep(Library& lib, const char* screen, long long Library::*pid, double& seconds) {
    AutoreleasePool pool;
    Strong<ItemEntry> entry = entryFor(lib, screen, lib.*pid);
    bool shown = entry && exportOnce(entry.get(), seconds);
    clearExports(lib);
    return shown;
}

void runExport(benchmark::State& state, const char* screen, long long Library::*pid, const char* titles,
               bool tags = true) {
    Library* lib = library(state);
    if (lib == nullptr) return;
    enforce_ID3Tag_on_export = tags ? YES : NO;
    if (titles != nullptr && !sql(titles)) {
        state.SkipWithError("cannot set the titles");
        return;
    }
    clearExports(*lib);
    for (auto _ : state) {
        double seconds = 0;
        if (!exportStep(*lib, screen, pid, seconds)) {
            state.SkipWithError("the export did not reach its share sheet");
            break;
        }
        state.SetIterationTime(seconds);
    }
    enforce_ID3Tag_on_export = YES;
}

// The source files of a collection's items, host paths.
std::vector<std::string> sourcesOf(Library& lib, const char* screen, long long pid) {
    AutoreleasePool pool;
    std::vector<std::string> out;
    Strong<ItemEntry> entry = entryFor(lib, screen, pid);
    if (!entry) return out;
    id items = objc_msgSend<id()>(entry->mediaItemCollection.get(), "items"_sel);
    for (NSUInteger i = 0; i < cantrel::countOf(items); ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        out.push_back(platform::devicePath(
            to_string(static_cast<NSString*>(objc_msgSend<id(id)>(item, "valueForProperty:"_sel, "filePath"_ns)))));
    }
    return out;
}

// The same files copied in process and zipped stored by minizip; with
// `durable`, then each output synced once. Timed; the copies removed after.
double plainCopyStep(Library& lib, const std::vector<std::string>& sources, bool durable) {
    const std::string top = lib.exports() + "/P", inner = "Artist/Album", folder = top + "/" + inner;
    std::vector<char> buffer(256 * 1024);
    double t0 = bench::now();
    fs::create_directories(folder);
    for (size_t i = 0; i < sources.size(); ++i) fs::copy_file(sources[i], folder + "/" + std::to_string(i) + ".mp3");
    zipFile z = zipOpen64((top + ".zip").c_str(), APPEND_STATUS_CREATE);
    for (size_t i = 0; i < sources.size(); ++i) {
        zip_fileinfo info{};
        zipOpenNewFileInZip64(z, (inner + "/" + std::to_string(i) + ".mp3").c_str(), &info, nullptr, 0, nullptr, 0,
                              nullptr, 0, 0, 1);
        FILE* in = std::fopen((folder + "/" + std::to_string(i) + ".mp3").c_str(), "rb");
        size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
            zipWriteInFileInZip(z, buffer.data(), static_cast<unsigned>(n));
        std::fclose(in);
        zipCloseFileInZip(z);
    }
    zipClose(z, nullptr);
    if (durable) {
        std::vector<std::string> outputs = {top + ".zip"};
        for (size_t i = 0; i < sources.size(); ++i) outputs.push_back(folder + "/" + std::to_string(i) + ".mp3");
        for (const std::string& f : outputs) {
            int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
            ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            ::close(fd);
        }
        for (const std::string& f : outputs) {
            int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
            ::fdatasync(fd);
            ::close(fd);
        }
    }
    double seconds = bench::now() - t0;
    clearExports(lib);
    return seconds;
}

void runPlainCopy(benchmark::State& state, const char* screen, long long Library::*pid, bool durable) {
    Library* lib = library(state);
    if (lib == nullptr) return;
    std::vector<std::string> sources = sourcesOf(*lib, screen, lib->*pid);
    clearExports(*lib);
    for (auto _ : state) state.SetIterationTime(plainCopyStep(*lib, sources, durable));
}

// Runs `timed` and `other` once each per iteration, in an order that
// changes every iteration, so that both meet the file system alike (on
// some, making a file costs more the more files were removed in the last
// minutes). The time counted is `timed`'s; each step answers false to end
// the run with `failure`. The samples in seconds, timed's first.
using Step = std::function<bool(double& seconds)>;
std::pair<std::vector<double>, std::vector<double>> inTurns(benchmark::State& state, const Step& timed,
                                                            const Step& other, const char* failure) {
    std::vector<double> a, b;
    bool timedFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            bool isTimed = (turn == 0) == timedFirst;
            double seconds = 0;
            if (!(isTimed ? timed : other)(seconds)) {
                state.SkipWithError(failure);
                return {a, b};
            }
            (isTimed ? a : b).push_back(seconds);
            if (isTimed) state.SetIterationTime(seconds);
        }
        timedFirst = !timedFirst;
    }
    return {a, b};
}

// A playlist exported with one title for all its songs and with distinct
// titles, in turns. The counter "ratio" is the alike exports' total over
// the distinct ones'.
void runAlikeAgainstDistinct(benchmark::State& state) {
    Library* lib = library(state);
    if (lib == nullptr) return;
    clearExports(*lib);
    auto exportWith = [&](const char* titles) {
        return [&, titles](double& seconds) {
            return sql(titles) && exportStep(*lib, "playlists", &Library::playlist, seconds);
        };
    };
    auto [alike, distinct] = inTurns(state, exportWith(kAlikeTitles), exportWith(kDistinctTitles),
                                     "the playlist's export did not reach its share sheet");
    auto total = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); };
    if (total(distinct) > 0) state.counters["ratio"] = total(alike) / total(distinct);
    sql(kSavedTitles);
}

// The export and the synced plain copy in turns. The counter "ratio" is the
// export's median over the copy's.
void runExportAgainstSyncedCopy(benchmark::State& state, const char* screen, long long Library::*pid) {
    Library* lib = library(state);
    if (lib == nullptr) return;
    if (!sql(kSavedTitles)) {
        state.SkipWithError("cannot set the titles");
        return;
    }
    std::vector<std::string> sources = sourcesOf(*lib, screen, lib->*pid);
    clearExports(*lib);
    auto [exports, copies] = inTurns(
        state, [&](double& seconds) { return exportStep(*lib, screen, pid, seconds); },
        [&](double& seconds) {
            seconds = plainCopyStep(*lib, sources, true);
            return true;
        },
        "the export did not reach its share sheet");
    double copy = bench::percentile(copies, 0.5);
    state.counters["copy_ms"] = copy * 1e3;
    if (copy > 0) state.counters["ratio"] = bench::percentile(exports, 0.5) / copy;
}

struct Case {
    const char* name;
    const char* screen;
    long long Library::*pid;
};
const Case kCases[] = {{"album", "albums", &Library::smallAlbum},
                       {"album_12x4MB", "albums", &Library::bigAlbum}};

}  // namespace

int main(int argc, char** argv) {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("export/") + c.name).c_str(), [c](benchmark::State& s) {
            runExport(s, c.screen, c.pid, kSavedTitles);
        })->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);
        benchmark::RegisterBenchmark((std::string("export_untagged/") + c.name).c_str(), [c](benchmark::State& s) {
            runExport(s, c.screen, c.pid, kSavedTitles, false);
        })->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);
        benchmark::RegisterBenchmark((std::string("plain_copy/") + c.name).c_str(), [c](benchmark::State& s) {
            runPlainCopy(s, c.screen, c.pid, false);
        })->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);
        benchmark::RegisterBenchmark((std::string("plain_copy_synced/") + c.name).c_str(), [c](benchmark::State& s) {
            runPlainCopy(s, c.screen, c.pid, true);
        })->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2);
        benchmark::RegisterBenchmark((std::string("export_vs_synced_copy/") + c.name).c_str(), [c](benchmark::State& s) {
            runExportAgainstSyncedCopy(s, c.screen, c.pid);
        })->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(3);
    }
    benchmark::RegisterBenchmark("export_alike_vs_distinct/playlist_3000", [](benchmark::State& s) {
        runAlikeAgainstDistinct(s);
    })->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // A run's time by its registered name (the reporter's names carry the run's options).
    auto timeOf = [&](const std::string& name) {
        for (const auto& [run, time] : reporter.times)
            if (run == name || run.starts_with(name + "/")) return time;
        return 0.0;
    };
    auto ratio = [&](const char* label, const std::string& a, const std::string& b, double aim) {
        double x = timeOf(a), y = timeOf(b);
        if (x <= 0 || y <= 0) return;
        std::printf("  %-44s %9.1f ms / %9.1f ms = %5.2fx (aim at most %.1fx)\n", label, x, y, x / y, aim);
    };
    std::printf("\nRatios:\n");
    for (const Case& c : kCases) {
        ratio((std::string(c.name) + ": export / plain copy").c_str(), std::string("export/") + c.name,
              std::string("plain_copy/") + c.name, 1.5);
        ratio((std::string(c.name) + ": export / plain copy synced").c_str(), std::string("export/") + c.name,
              std::string("plain_copy_synced/") + c.name, 1.5);
        ratio((std::string(c.name) + ": untagged export / plain copy synced").c_str(),
              std::string("export_untagged/") + c.name, std::string("plain_copy_synced/") + c.name, 1.5);
        for (const auto& [run, r] : reporter.ratios)
            if (run.starts_with(std::string("export_vs_synced_copy/") + c.name + "/"))
                std::printf("  %-44s %27s = %5.2fx (aim at most 1.5x)\n",
                            (std::string(c.name) + ": export / synced copy, in turns").c_str(), "", r);
    }
    for (const auto& [run, r] : reporter.ratios)
        if (run.starts_with("export_alike_vs_distinct/playlist_3000/"))
            std::printf("  %-44s %27s = %5.2fx (aim at most 1.2x)\n", "playlist of 3000: alike titles / distinct, in turns",
                        "", r);
    return 0;
}
