// DBHandler's reads on a generated library of 50,000 songs, as designed
// (the file opened and closed around every statement), and the same
// operations on one connection kept open; the ratio of the two closes the
// report.
//
// The kept-open runs swap DBHandler's openDatabase and closeDatabase for
// ones that lend a shared connection, so both runs execute the very same
// statement and result-building code.
#include <Foundation/Foundation.h>
#include <MediaLibraryGenerator.h>
#include <MediaPlayer/MediaLibrary.h>
#include <benchmark/benchmark.h>
#include <platform/DeviceRoot.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Cantrel.h"
#include "Classes.h"
#include "DBHandler.h"
#include "GeneratedLibrary.h"
#include "KeptOpenConnection.h"

namespace {

constexpr size_t kSongs = 50000;

// The generated device root, made once per process.
struct Library : bench::GeneratedLibrary {
    Strong<NSString> token;

    Library() : GeneratedLibrary(kSongs) {
        Cantrel_registerClasses();
        LOGGER_ON = NO;
        if (error.empty()) token = Strong<NSString>::adopt(NSString::create(itemArtworkToken));
    }
};

Library& library() {
    static Library lib;
    return lib;
}

id handler() { return objc_msgSend<id()>(DBHandler::cls(), "sharedInstance"_sel); }

struct Read {
    const char* name;
    std::function<id()> run;
};

const std::vector<Read>& reads() {
    static const std::vector<Read> all = {
        {"getGenres", [] { return objc_msgSend<id()>(handler(), "getGenres"_sel); }},
        {"getArtists", [] { return objc_msgSend<id()>(handler(), "getArtists"_sel); }},
        {"getArtworkTokenByItem_pid",
         [] {
             return objc_msgSend<id(unsigned long long)>(handler(), "getArtworkTokenByItem_pid:"_sel,
                                                         library().itemPid);
         }},
        {"getArtworkPathForToken",
         [] { return objc_msgSend<id(NSString*)>(handler(), "getArtworkPathForToken:"_sel, library().token.get()); }},
    };
    return all;
}

// A token or path that is not empty, or lists that are not.
bool foundSomething(id result) {
    if (objc_isKindOfClass(result, NSString::cls())) return static_cast<NSString*>(result)->length() > 0;
    if (!objc_isKindOfClass(result, NSDictionary::cls())) return false;
    auto* lists = static_cast<NSDictionary*>(result);
    return lists->count() > 0 && static_cast<NSArray*>(lists->entries().front().value.get())->count() > 0;
}

void runRead(benchmark::State& state, const Read& read, bool keptOpen) {
    if (!library().error.empty()) {
        state.SkipWithError(library().error.c_str());
        return;
    }
    std::unique_ptr<bench::KeptOpenConnection> kept;
    if (keptOpen) kept = std::make_unique<bench::KeptOpenConnection>();
    {
        AutoreleasePool pool;
        if (!foundSomething(read.run())) {
            state.SkipWithError("the read found nothing");
            return;
        }
    }
    for (auto _ : state) {
        AutoreleasePool pool;
        benchmark::DoNotOptimize(read.run());
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (const Read& read : reads()) {
        benchmark::RegisterBenchmark((std::string(read.name) + "/opened_per_call").c_str(), [&read](
                                                                                                benchmark::State& s) {
            runRead(s, read, false);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((std::string(read.name) + "/kept_open").c_str(), [&read](benchmark::State& s) {
            runRead(s, read, true);
        })->Unit(benchmark::kMicrosecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::TimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nOpened per call / kept open (%zu songs):\n", kSongs);
    for (const Read& read : reads()) {
        std::string name = read.name;
        auto perCall = reporter.times.find(name + "/opened_per_call");
        auto kept = reporter.times.find(name + "/kept_open");
        if (perCall == reporter.times.end() || kept == reporter.times.end() || kept->second <= 0) continue;
        std::printf("  %-28s %8.1f us / %8.1f us = %5.1fx\n", read.name, perCall->second, kept->second,
                    perCall->second / kept->second);
    }
    return 0;
}
