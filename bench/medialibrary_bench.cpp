// The media library's queries on a generated library of 50,000 songs:
// the songs query (items) and the albums query (collections), with the
// items made afresh (nothing holds them between runs) and with the items
// still alive from the run before (the identity map hands them out again).
#include "TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <Foundation/Foundation.h>
#include <MediaLibraryGenerator.h>
#include <MediaPlayer/MediaPlayer.h>
#include <platform/DeviceRoot.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// One generated library for the whole program (never destroyed: its
// folder outlives the statics, and is removed at exit).
const std::string& libraryRoot() {
    static const std::string root = [] {
        auto* folder = new bench::TemporaryFolder;
        std::string error = folder->error();
        if (!error.empty() || !platform::generateMediaLibrary(folder->path(), {50000, 1}, &error)) {
            std::fprintf(stderr, "cannot generate the library: %s\n", error.c_str());
            std::abort();
        }
        platform::setDeviceRoot(folder->path());
        return folder->path();
    }();
    return root;
}

id run(SEL factory, SEL result) {
    return objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), factory), result);
}

void BM_GenerateLibrary50k(benchmark::State& state) {
    bench::TemporaryFolder folder;
    if (!folder.error().empty()) {
        state.SkipWithError(folder.error().c_str());
        return;
    }
    for (auto _ : state) {
        std::string error;
        if (!platform::generateMediaLibrary(folder.path(), {50000, 1}, &error)) state.SkipWithError(error.c_str());
    }
}
BENCHMARK(BM_GenerateLibrary50k)->Unit(benchmark::kMillisecond)->Iterations(1);

template <SEL (*Factory)(), SEL (*Result)()>
void queryFresh(benchmark::State& state) {
    libraryRoot();
    size_t count = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        count = objc_msgSend<NSUInteger()>(run(Factory(), Result()), "count"_sel);
    }
    state.counters["results"] = static_cast<double>(count);
}

template <SEL (*Factory)(), SEL (*Result)()>
void queryWarm(benchmark::State& state) {
    libraryRoot();
    AutoreleasePool outer;
    Strong<objc_object> previous = run(Factory(), Result());
    size_t count = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        id result = run(Factory(), Result());
        count = objc_msgSend<NSUInteger()>(result, "count"_sel);
        previous = result;
    }
    state.counters["results"] = static_cast<double>(count);
}

SEL songsQuery() { return "songsQuery"_sel; }
SEL albumsQuery() { return "albumsQuery"_sel; }
SEL items() { return "items"_sel; }
SEL collections() { return "collections"_sel; }

BENCHMARK(queryFresh<songsQuery, items>)->Name("SongsQuery/fresh")->Unit(benchmark::kMillisecond);
BENCHMARK(queryWarm<songsQuery, items>)->Name("SongsQuery/alive")->Unit(benchmark::kMillisecond);
BENCHMARK(queryFresh<albumsQuery, collections>)->Name("AlbumsQuery/fresh")->Unit(benchmark::kMillisecond);
BENCHMARK(queryWarm<albumsQuery, collections>)->Name("AlbumsQuery/alive")->Unit(benchmark::kMillisecond);

}  // namespace
