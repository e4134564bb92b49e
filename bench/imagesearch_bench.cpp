// A web image search against tools/searchserver on loopback, as the screen
// runs it: the three pages fetched, the grid laid out on a 320 x 480 phone
// screen, and the visible cells' pictures fetched and decoded, until every
// visible cell has its picture. The run loop's clock is virtual, so the
// fade-in's delay is not counted. The random source is seeded, so every
// search lays out the same tiles.
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "Classes.h"
#include "GeneratedLibrary.h"
#include "SearchQueryViewController.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <UIKit/UIKit.h>
#include <platform/Network.h>
#include <platform/Random.h>
#include <platform/RunLoop.h>

#include "Timing.h"

#include <filesystem>
#include <string>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct BundleRoot : bench::DeviceRootFolder {
    BundleRoot() { installResourceBundle(); }
};

// tools/searchserver on a free loopback port, stopped at the end.
struct Server {
    pid_t pid = -1;
    int port = 0;
    Server() {
        std::string program = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/searchserver";
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string idle = "120";
        char* args[] = {program.data(), const_cast<char*>("--idle-exit"), idle.data(), nullptr};
        int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        char c;
        while (rc == 0 && poll(&p, 1, 20000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        if (!line.empty()) port = std::stoi(line);
    }
    ~Server() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status;
            waitpid(pid, &status, 0);
        }
    }
};

bool everyVisibleCellHasItsPicture(id grid) {
    id cells = objc_msgSend<id()>(grid, "visibleCells"_sel);
    NSUInteger n = objc_msgSend<NSUInteger()>(cells, "count"_sel);
    for (NSUInteger i = 0; i < n; ++i)
        if (objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(cells, "objectAtIndex:"_sel, i), "image"_sel) == nil) return false;
    return n > 0;
}

void SearchUntilPictures(benchmark::State& state) {
    if (bench::sharedFixture<BundleRoot>(state) == nullptr) return;
    static Server server;
    if (server.port == 0) {
        state.SkipWithError("searchserver did not start");
        return;
    }
    setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", ("http://127.0.0.1:" + std::to_string(server.port)).c_str(), 1);
    platform::net::setLoopbackOnly(true);
    platform::Clock::setVirtual(true);
    Cantrel_registerClasses();
    id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
    size_t cells = 0;
    auto search = [&] {
        AutoreleasePool pool;
        platform::seedRandom(1);  // the same tiles every time
        Strong<NSObject> screen = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id(id, id)>(
            objc_msgSend<id()>(SearchQueryViewController::cls(), "alloc"_sel), "initWithNibName:bundle:"_sel,
            "SearchQueryViewController"_ns, bundle)));
        objc_msgSend<void(id)>(screen.get(), "setSearchString:"_sel, "'Blue%20Harbor'%20album%20artwork"_ns);
        objc_msgSend<void()>(screen.get(), "buildDatasource"_sel);
        objc_msgSend<void()>(objc_msgSend<id()>(screen.get(), "view"_sel), "layoutIfNeeded"_sel);
        id grid = objc_msgSend<id()>(screen.get(), "collectionView"_sel);
        bool done = platform::RunLoop::main().runUntil([&] { return everyVisibleCellHasItsPicture(grid); }, 20);
        cells = objc_msgSend<NSUInteger()>(objc_msgSend<id()>(grid, "visibleCells"_sel), "count"_sel);
        return done;
    };
    std::vector<double> samples = bench::timeTrips(state, search, "the pictures did not all arrive within 20 s");
    platform::waitForNetworkIdle(5);
    state.counters["visible_cells"] = static_cast<double>(cells);
    state.counters["median_ms"] = bench::percentile(samples, 0.5) * 1e3;
    state.counters["p99_ms"] = bench::percentile(samples, 0.99) * 1e3;
}
BENCHMARK(SearchUntilPictures)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
