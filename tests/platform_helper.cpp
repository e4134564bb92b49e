// A helper process for the platform tests. Prints "ready" once set up.
//   platform_helper host ROOT [--ignore-term]
//       registers as the Music host of ROOT and serves the main run loop
//       until asked to quit (exit 0); with --ignore-term SIGTERM is ignored.
//   platform_helper writing ROOT FILE
//       registers as the Music host of ROOT, to be ended at once by SIGTERM,
//       makes FILE and keeps it as a temporary file being written.
//   platform_helper observe ROOT NAME [NAME...]
//       observes the Darwin notifications named, prints "got NAME" for each
//       that arrives and exits 0 when the last one named has arrived.
#include <CoreFoundation/CoreFoundation.h>
#include <objc/runtime.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>
#include <platform/System.h>

#include "../platform/system/SystemInternal.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <signal.h>

namespace {

constexpr double kLifetime = 60.0;  // a forgotten helper ends by itself

void ready() {
    std::printf("ready\n");
    std::fflush(stdout);
}

int host(bool ignoreTerm) {
    platform::MusicHostRegistration registration;
    if (!registration) {
        std::printf("error: %s\n", registration.error().c_str());
        return 3;
    }
    if (ignoreTerm) signal(SIGTERM, SIG_IGN);
    ready();
    platform::RunLoop& loop = platform::RunLoop::main();
    loop.runUntil([] { return false; }, kLifetime);
    return loop.quitRequested() ? 0 : 4;
}

int writing(const std::string& file) {
    platform::MusicHostRegistration registration;
    if (!registration) return 3;
    platform::MusicHostRegistration::setEndAtOnce(true, "ended at once\n");
    std::ofstream(file) << "half of it";
    platform::detail::TrackedTemporary temporary(file.c_str());
    ready();
    platform::RunLoop::main().runUntil([] { return false; }, kLifetime);
    return 4;
}

std::string lastName;
bool lastArrived = false;

void onNotification(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef) {
    std::printf("got %s\n", platform::stringUTF8(name));
    std::fflush(stdout);
    if (lastName == platform::stringUTF8(name)) lastArrived = true;
}

int observe(const std::vector<std::string>& names) {
    AutoreleasePool pool;
    for (const std::string& name : names) {
        auto str = reinterpret_cast<CFStringRef>(
            objc_msgSend<id(const char*)>(objc_getClass("NSString"), "stringWithUTF8String:"_sel, name.c_str()));
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, onNotification, str,
                                        nullptr, CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    lastName = names.back();
    ready();
    return platform::RunLoop::main().runUntil([] { return lastArrived; }, kLifetime) ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    std::string mode = argc > 2 ? argv[1] : "";
    if (argc > 2) platform::setDeviceRoot(argv[2]);
    if (mode == "host" && argc <= 4) return host(argc == 4 && std::string(argv[3]) == "--ignore-term");
    if (mode == "writing" && argc == 4) return writing(argv[3]);
    if (mode == "observe" && argc >= 4) return observe(std::vector<std::string>(argv + 3, argv + argc));
    std::fprintf(stderr, "usage: platform_helper host ROOT [--ignore-term] | writing ROOT FILE | observe ROOT NAME [NAME...]\n");
    return 2;
}
