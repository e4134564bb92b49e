// Darwin notifications between processes: the round trip from a post here
// to the callback of an echo process, whose answer comes back to a callback
// here (one way is half of it), and the cost of one post to N peers.
#include <benchmark/benchmark.h>

#include "TemporaryFolder.h"
#include "Timing.h"

#include <CoreFoundation/CoreFoundation.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace {

// A temporary folder made the device root.
struct TempRoot {
    bench::TemporaryFolder folder;
    std::string path = folder.path();
    TempRoot() {
        if (path.empty()) {
            std::fprintf(stderr, "%s\n", folder.error().c_str());
            std::abort();
        }
        platform::setDeviceRoot(path);
    }
};

long pongs = 0;
void onPong(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { ++pongs; }

void RoundTrip(benchmark::State& state) {
    TempRoot root;
    CFNotificationCenterRef centre = CFNotificationCenterGetDarwinNotifyCenter();
    int marker = 0;
    CFNotificationCenterAddObserver(centre, &marker, onPong, CFSTR("cantrel.bench.pong"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);

    std::string echo = std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/notify_echo";
    int out[2];
    if (pipe(out) != 0) {
        state.SkipWithError("pipe failed");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* args[] = {echo.data(), root.path.data(), nullptr};
    pid_t pid;
    int rc = posix_spawn(&pid, echo.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char ready[6] = {};
    pollfd p{out[0], POLLIN, 0};
    if (rc != 0 || poll(&p, 1, 20000) <= 0 || read(out[0], ready, 5) != 5) {
        close(out[0]);
        state.SkipWithError("notify_echo did not start");
        return;
    }
    close(out[0]);

    platform::RunLoop& loop = platform::RunLoop::main();
    auto ping = [&] {
        long expected = pongs + 1;
        CFNotificationCenterPostNotification(centre, CFSTR("cantrel.bench.ping"), nullptr, nullptr, true);
        return loop.runUntil([&] { return pongs >= expected; }, 10);
    };
    for (int i = 0; i < 100; ++i) ping();  // warm up both ends

    std::vector<double> samples = bench::timeTrips(state, ping, "no answer within 10 s");
    CFNotificationCenterPostNotification(centre, CFSTR("cantrel.bench.quit"), nullptr, nullptr, true);
    int status;
    waitpid(pid, &status, 0);
    CFNotificationCenterRemoveEveryObserver(centre, &marker);

    state.counters["round_trip_median_us"] = bench::percentile(samples, 0.5) * 1e6;
    state.counters["round_trip_p99_us"] = bench::percentile(samples, 0.99) * 1e6;
    state.counters["one_way_median_us"] = bench::percentile(samples, 0.5) / 2 * 1e6;
}
BENCHMARK(RoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// One post to N peers that read everything at once (sockets bound here,
// drained by a thread).
void PostToPeers(benchmark::State& state) {
    TempRoot root;
    std::string dir = root.path + "/.platform/notify";
    std::filesystem::create_directories(dir);
    std::vector<int> peers;
    for (int i = 0; i < state.range(0); ++i) {
        int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s/peer-%d.sock", dir.c_str(), i);
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            state.SkipWithError("bind failed");
            return;
        }
        peers.push_back(fd);
    }
    std::atomic<bool> stop{false};
    std::thread drainer([&] {
        std::vector<pollfd> fds;
        for (int fd : peers) fds.push_back(pollfd{fd, POLLIN, 0});
        char buf[2048];
        while (!stop) {
            if (poll(fds.data(), fds.size(), 50) <= 0) continue;
            for (auto& f : fds)
                while (f.revents && recv(f.fd, buf, sizeof buf, MSG_DONTWAIT) > 0) {
                }
        }
    });
    CFNotificationCenterRef centre = CFNotificationCenterGetDarwinNotifyCenter();
    for (auto _ : state) CFNotificationCenterPostNotification(centre, CFSTR("cantrel.bench.post"), nullptr, nullptr, true);
    stop = true;
    drainer.join();
    for (int fd : peers) close(fd);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(PostToPeers)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
