// A web image search against tools/searchserver on loopback, as the screen
// runs it: the three pages fetched, the grid laid out on a 320 x 480 phone
// screen, and the visible cells' pictures fetched and decoded, until every
// visible cell has its picture. The run loop's clock is virtual, so the
// fade-in's delay is not counted. The random source is seeded, so every
// search lays out the same tiles.
//
// SearchPeakMemory: the same search of 24 large pictures (5000 x 5000 JPEG,
// 4900 x 5000 PNG, 20000 x 1200 PNG, 5000 x 5000 progressive JPEG,
// interlaced PNG and GIF, and a mix of progressive JPEGs, interlaced PNGs,
// GIFs of 4000 x 4000 and progressive JPEGs cut after their first scan) on a
// phone and on a pad, then a pick of the first tile: the process's peak
// resident memory during it (its high-water mark reset before), the resident
// memory before it, the time until every visible cell shows its picture (for
// the mix and the interlaced PNGs, until the network is idle: the cut ones,
// and interlaced PNGs this large, are refused), and the
// picked picture's pixel size. Each case is best run in a process of its own
// (--benchmark_filter=SearchPeakMemory/DEVICE/PICTURE/): what one search
// leaves with the allocator would count in the next one's figures.
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
#include <fstream>
#include <string>
#include <vector>

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
    // The library's searches go to this server, on loopback only, on the
    // virtual clock.
    void serveTheSearch() const {
        setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);
        platform::net::setLoopbackOnly(true);
        platform::Clock::setVirtual(true);
    }
    explicit Server(std::vector<std::string> options = {}) {
        std::string program = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/searchserver";
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string idle = "120";
        std::vector<char*> args = {program.data(), const_cast<char*>("--idle-exit"), idle.data()};
        for (std::string& o : options) args.push_back(o.data());
        args.push_back(nullptr);
        int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
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
    server.serveTheSearch();
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

// "VmRSS" or "VmHWM" of this process, in MB.
double residentMB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

// Starts the process's high-water mark of resident memory anew.
bool resetPeakResident() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return static_cast<bool>(out);
}

struct Picked : NSObject {
    OBJC_CLASS(Picked)
    Strong<NSObject> image;
};

void pickedImage(Picked* self, SEL, id, id image) { self->image = static_cast<NSObject*>(image); }

void registerPicked() {
    static bool done = [] {
        objc::ClassDef<Picked>("BenchPickDelegate", NSObject::cls())
            .method<pickedImage>("internetImagePickerController:didFinishPickingImage:", "v@:@@");
        return true;
    }();
    (void)done;
}

struct PictureKind {
    const char* size;
    const char* format;
};
const PictureKind kPictures[] = {{"5000x5000", "jpeg"},        {"4900x5000", "png"},         {"20000x1200", "png"},
                                 {"5000x5000", "progressive"}, {"5000x5000", "interlaced"}, {"4000x4000", "gif"},
                                 {"4000x4000", "mixed"}};

// args: device (0 phone, 1 pad), picture (an entry of kPictures).
void SearchPeakMemory(benchmark::State& state) {
    if (bench::sharedFixture<BundleRoot>(state) == nullptr) return;
    bool pad = state.range(0) == 1;
    const PictureKind& kind = kPictures[state.range(1)];
    // Interlaced PNGs this large and the cut JPEGs of the mix never show.
    bool allShow = std::string(kind.format) != "mixed" && std::string(kind.format) != "interlaced";
    Server server({"--picture-size", kind.size, "--picture-format", kind.format});
    if (server.port == 0) {
        state.SkipWithError("searchserver did not start");
        return;
    }
    server.serveTheSearch();
    if (pad) {
        platform::setMainScreen(CGSizeMake(768, 1024), 2);
        platform::setDeviceIdiom(UIUserInterfaceIdiomPad);
    } else {
        platform::setMainScreen(CGSizeMake(320, 480), 2);
        platform::setDeviceIdiom(UIUserInterfaceIdiomPhone);
    }
    Cantrel_registerClasses();
    registerPicked();
    id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
    size_t cells = 0;
    double peak = 0, before = 0, toGrid = 0;
    int pickedWidth = 0, pickedHeight = 0;
    auto search = [&](bool measured) {
        AutoreleasePool pool;
        platform::seedRandom(1);
        if (measured) {
            before = residentMB("VmRSS");
            resetPeakResident();
        }
        double t0 = bench::now();
        Strong<NSObject> screen = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id(id, id)>(
            objc_msgSend<id()>(SearchQueryViewController::cls(), "alloc"_sel), "initWithNibName:bundle:"_sel,
            "SearchQueryViewController"_ns, bundle)));
        Strong<Picked> delegate = Strong<Picked>::adopt(static_cast<Picked*>(
            objc_msgSend<id()>(objc_msgSend<id()>(Picked::cls(), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(screen.get(), "setDelegate:"_sel, delegate.get());
        objc_msgSend<void(id)>(screen.get(), "setSearchString:"_sel, "'Blue%20Harbor'%20album%20artwork"_ns);
        objc_msgSend<void()>(screen.get(), "buildDatasource"_sel);
        id view = objc_msgSend<id()>(screen.get(), "view"_sel);
        CGRect bounds = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
        objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, bounds);
        objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
        id grid = objc_msgSend<id()>(screen.get(), "collectionView"_sel);
        bool done = allShow ? platform::RunLoop::main().runUntil([&] { return everyVisibleCellHasItsPicture(grid); }, 60)
                            : platform::waitForNetworkIdle(60);
        toGrid = bench::now() - t0;
        cells = objc_msgSend<NSUInteger()>(objc_msgSend<id()>(grid, "visibleCells"_sel), "count"_sel);
        platform::waitForNetworkIdle(30);
        id first = objc::as_id(NSIndexPath::make(0, 0));
        objc_msgSend<void(id, id)>(screen.get(), "collectionView:didSelectItemAtIndexPath:"_sel, grid, first);
        auto* image = static_cast<UIImage*>(objc::as_id(delegate->image.get()));
        pickedWidth = image ? image->pixelWidth() : 0;
        pickedHeight = image ? image->pixelHeight() : 0;
        if (measured) peak = residentMB("VmHWM");
        return done;
    };
    if (!search(false)) {  // the server makes and keeps its pictures
        state.SkipWithError("the pictures did not all arrive within 60 s");
        return;
    }
    for (auto _ : state) {
        if (!search(true)) {
            state.SkipWithError("the pictures did not all arrive within 60 s");
            break;
        }
        state.SetIterationTime(toGrid);
    }
    platform::waitForNetworkIdle(5);
    state.SetLabel(std::string(pad ? "pad " : "phone ") + kind.format + " " + kind.size);
    state.counters["peak_MB"] = peak;
    state.counters["before_MB"] = before;
    state.counters["to_grid_ms"] = toGrid * 1e3;
    state.counters["visible_cells"] = static_cast<double>(cells);
    state.counters["picked_w"] = pickedWidth;
    state.counters["picked_h"] = pickedHeight;
}
BENCHMARK(SearchPeakMemory)
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4, 5, 6}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
