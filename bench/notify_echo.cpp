// The far end of notify_bench: answers each "cantrel.bench.ping" with a
// "cantrel.bench.pong" and exits on "cantrel.bench.quit".
//   notify_echo ROOT
#include <CoreFoundation/CoreFoundation.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cstdio>

namespace {

bool quit = false;

void onPing(CFNotificationCenterRef center, void*, CFStringRef, const void*, CFDictionaryRef) {
    CFNotificationCenterPostNotification(center, CFSTR("cantrel.bench.pong"), nullptr, nullptr, true);
}

void onQuit(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { quit = true; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: notify_echo ROOT\n");
        return 2;
    }
    platform::setDeviceRoot(argv[1]);
    CFNotificationCenterRef centre = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(centre, nullptr, onPing, CFSTR("cantrel.bench.ping"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(centre, nullptr, onQuit, CFSTR("cantrel.bench.quit"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    std::printf("ready\n");
    std::fflush(stdout);
    return platform::RunLoop::main().runUntil([] { return quit; }, 600) ? 0 : 1;
}
