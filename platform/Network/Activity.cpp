// The count of network work in flight and the wait for it.
#include <platform/Network.h>
#include <platform/RunLoop.h>

#include <dispatch/dispatch.h>

#include "../dispatch/Internal.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform::net {

namespace {

std::mutex activityLock;
std::condition_variable activityChanged;
size_t inFlight = 0;

}  // namespace

Activity::Activity() {
    std::lock_guard<std::mutex> g(activityLock);
    ++inFlight;
}

Activity::~Activity() {
    {
        std::lock_guard<std::mutex> g(activityLock);
        --inFlight;
    }
    activityChanged.notify_all();
}

size_t activityCount() {
    std::lock_guard<std::mutex> g(activityLock);
    return inFlight;
}

}  // namespace platform::net

bool platform::waitForNetworkIdle(double seconds) {
    using namespace std::chrono;
    auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));
    RunLoop& loop = RunLoop::main();
    for (;;) {
        if (manualGlobalQueues()) drainGlobalQueues();
        loop.runPending();
        // In this order: a global block posts its result before it stops
        // counting, and a request's result is posted before its token goes.
        if (net::activityCount() == 0 && detail::globalQueueOutstanding() == 0 && loop.postedCount() == 0)
            return true;
        if (steady_clock::now() >= deadline) return false;
        std::unique_lock<std::mutex> lk(net::activityLock);
        net::activityChanged.wait_for(lk, milliseconds(2));
    }
}
