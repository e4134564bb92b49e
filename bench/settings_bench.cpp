// The settings plug-in: a switch change on the visuals page until a running
// Music host (with the library, across processes) has reloaded its flags,
// and expanding the bundle's animated example (20 frames of 480 x 320 pixels
// into 78 entries).
//
// ExpandHostileGifPeakMemory: the process's peak resident memory (its
// high-water mark reset before) while the animation is made from a hostile
// GIF: an 8000 x 8000 screen holding one 1 x 1 frame (807 bytes), or one
// frame filling it whose LZW data is a few tens of kilobytes.
#include "GeneratedLibrary.h"
#include "Timing.h"

#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/Foundation.h>
#include <InstalledBundles.h>
#include <Preferences/PSViewController.h>
#include <PrefsBundle.h>
#include <UIKit/UIImage.h>
#include <UIKit/UISwitch.h>
#include <platform/RunLoop.h>

#include <gif_lib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

namespace {

long reloadedYes = 0, reloadedNo = 0, echoReady = 0;
void onYes(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { ++reloadedYes; }
void onNo(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { ++reloadedNo; }
void onReady(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { ++echoReady; }

std::string binDir() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

void SwitchChangeUntilMusicReloads(benchmark::State& state) {
    bench::DeviceRootFolder folder;
    std::string error;
    if (!folder.error.empty() || !platform::generateMediaLibrary(folder.root, {20, 1}, &error) ||
        !platform::installBundles(folder.root, &error)) {
        state.SkipWithError(("cannot make the device root: " + folder.error + error).c_str());
        return;
    }
    std::filesystem::create_directories(folder.root + "/var/mobile/Library/Preferences");
    CFNotificationCenterRef centre = CFNotificationCenterGetDarwinNotifyCenter();
    int marker = 0;
    CFNotificationCenterAddObserver(centre, &marker, onYes, CFSTR("cantrel.bench.reloaded.yes"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(centre, &marker, onNo, CFSTR("cantrel.bench.reloaded.no"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(centre, &marker, onReady, CFSTR("cantrel.bench.echo-ready"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);

    // The Music host serves its main loop for a while, with the library and the echo.
    std::string script = folder.root + "/.bench-script";
    std::ofstream(script) << "run 600\n";
    std::string music = binDir() + "/Music", lib = binDir() + "/../lib/";
    std::vector<std::string> argv{music, "--root", folder.root, "--script", script, "--inject",
                                  lib + "libCantrel.so", "--inject", lib + "libreload_echo.so"};
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid;
    platform::RunLoop& loop = platform::RunLoop::main();
    if (posix_spawn(&pid, music.c_str(), nullptr, nullptr, args.data(), environ) != 0 ||
        !loop.runUntil([] { return echoReady > 0; }, 20)) {
        state.SkipWithError("the Music host did not start");
        return;
    }

    CantrelPrefs_registerClasses();
    Strong<NSObject> pane;
    UISwitch* exportSwitch = nullptr;
    {
        AutoreleasePool pool;
        id made = objc_msgSend<id(CGSize)>(objc_msgSend<id()>(objc_getClass("Cantrel_PreferencesController"), "alloc"_sel),
                                           "initForContentSize:"_sel, CGSizeMake(320, 480));
        pane = Strong<NSObject>::adopt(static_cast<NSObject*>(made));
        objc_msgSend<id()>(made, "view"_sel);
        objc_msgSend<void(id)>(platform::SettingsStack::shared().top(), "button2Tap:"_sel, nil);
        UIViewController* visuals = platform::SettingsStack::shared().top();
        objc_msgSend<id()>(visuals, "view"_sel);
        exportSwitch = static_cast<UISwitch*>(objc_msgSend<id()>(visuals, "hideExportButtonSwitch"_sel));
    }
    auto change = [&] {
        AutoreleasePool pool;
        bool willHide = !objc_msgSend<BOOL()>(exportSwitch, "isOn"_sel);
        long& counter = willHide ? reloadedYes : reloadedNo;
        long expected = counter + 1;
        platform::toggleSwitch(exportSwitch);
        return loop.runUntil([&] { return counter >= expected; }, 10);
    };
    for (int i = 0; i < 20; ++i) change();  // warm up both ends

    std::vector<double> samples = bench::timeTrips(state, change, "no reload within 10 s");
    kill(pid, SIGTERM);
    int status;
    waitpid(pid, &status, 0);
    CFNotificationCenterRemoveEveryObserver(centre, &marker);
    platform::SettingsStack::shared().clear();
    state.counters["median_ms"] = bench::percentile(samples, 0.5) * 1e3;
    state.counters["p99_ms"] = bench::percentile(samples, 0.99) * 1e3;
}
BENCHMARK(SwitchChangeUntilMusicReloads)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The plug-in's side alone: the store, the whole-file atomic write and the post.
void SwitchChangeStoreWritePost(benchmark::State& state) {
    bench::DeviceRootFolder folder;
    std::filesystem::create_directories(folder.root + "/var/mobile/Library/Preferences");
    std::string error;
    if (!folder.error.empty() || !platform::installBundles(folder.root, &error)) {
        state.SkipWithError("cannot make the device root");
        return;
    }
    CantrelPrefs_registerClasses();
    AutoreleasePool outer;
    id pane = objc_msgSend<id(CGSize)>(objc_msgSend<id()>(objc_getClass("Cantrel_PreferencesController"), "alloc"_sel),
                                       "initForContentSize:"_sel, CGSizeMake(320, 480));
    objc_msgSend<id()>(pane, "view"_sel);
    objc_msgSend<void(id)>(platform::SettingsStack::shared().top(), "button2Tap:"_sel, nil);
    UIViewController* visuals = platform::SettingsStack::shared().top();
    objc_msgSend<id()>(visuals, "view"_sel);
    auto* exportSwitch = static_cast<UISwitch*>(objc_msgSend<id()>(visuals, "hideExportButtonSwitch"_sel));
    for (auto _ : state) {
        AutoreleasePool pool;
        platform::toggleSwitch(exportSwitch);
    }
    platform::SettingsStack::shared().clear();
    objc_release(pane);
}
BENCHMARK(SwitchChangeStoreWritePost)->Unit(benchmark::kMillisecond);

void ExpandBundleGif(benchmark::State& state) {
    CantrelPrefs_registerClasses();
    std::ifstream in(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel_Prefs.bundle/Cantrel_@2x.gif", std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::string gif = bytes.str();
    Strong<NSObject> data(static_cast<NSObject*>(objc_msgSend<id(const void*, NSUInteger)>(
        objc_getClass("NSData"), "dataWithBytes:length:"_sel, gif.data(), gif.size())));
    for (auto _ : state) {
        AutoreleasePool pool;
        id image = objc_msgSend<id(id)>(UIImage::cls(), "animatedImageWithAnimatedGIFData:"_sel, data.get());
        NSUInteger entries = objc_msgSend<NSUInteger()>(objc_msgSend<id()>(image, "images"_sel), "count"_sel);
        if (entries != 78) {
            state.SkipWithError("the bundle's example should give 78 entries");
            break;
        }
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(ExpandBundleGif)->Unit(benchmark::kMillisecond);

int appendBytes(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

// An 8000 x 8000 screen with one image of `side` x `side` at its corner,
// padded with a comment to `atLeast` bytes.
std::string hostileGif(int side, size_t atLeast) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    GifColorType colours[2] = {{200, 40, 40}, {0, 0, 0}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 8000, 8000, 1, 0, map);
    EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr);
    std::vector<GifPixelType> line(static_cast<size_t>(side), 0);
    for (int y = 0; y < side; ++y) EGifPutLine(gif, line.data(), side);
    while (out.size() + 300 < atLeast) EGifPutComment(gif, std::string(200, 'x').c_str());
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

double residentMB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

// args: 0 the 807-byte screen, 1 the LZW bomb.
void ExpandHostileGifPeakMemory(benchmark::State& state) {
    CantrelPrefs_registerClasses();
    std::string gif = state.range(0) == 0 ? hostileGif(1, 807) : hostileGif(8000, 0);
    Strong<NSObject> data(static_cast<NSObject*>(objc_msgSend<id(const void*, NSUInteger)>(
        objc_getClass("NSData"), "dataWithBytes:length:"_sel, gif.data(), gif.size())));
    double peak = 0, before = 0;
    NSUInteger entries = 0;
    for (auto _ : state) {
        AutoreleasePool pool;
        before = residentMB("VmRSS");
        std::ofstream("/proc/self/clear_refs") << "5";
        id image = objc_msgSend<id(id)>(UIImage::cls(), "animatedImageWithAnimatedGIFData:"_sel, data.get());
        entries = objc_msgSend<NSUInteger()>(objc_msgSend<id()>(image, "images"_sel), "count"_sel);
        peak = residentMB("VmHWM");
    }
    state.SetLabel(state.range(0) == 0 ? "8000 x 8000 screen, 1 x 1 frame" : "8000 x 8000 frame");
    state.counters["gif_KB"] = static_cast<double>(gif.size()) / 1024.0;
    state.counters["peak_MB"] = peak;
    state.counters["before_MB"] = before;
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(ExpandHostileGifPeakMemory)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
