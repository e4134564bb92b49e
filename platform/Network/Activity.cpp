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

// Never destroyed: a request's own thread may still end its work while the
// process exits and the static objects go.
struct ActivityState {
    std::mutex lock;
    std::condition_variable changed;
    size_t inFlight = 0;
};

ActivityState& activity() {
    static ActivityState* state = new ActivityState();
    return *state;
}

}  // namespace

Activity::Activity() {
    std::lock_guard<std::mutex> g(activity().lock);
    ++activity().inFlight;
}

Activity::~Activity() {
    {
        std::lock_guard<std::mutex> g(activity().lock);
        --activity().inFlight;
    }
    activity().changed.notify_all();
}

size_t activityCount() {
    std::lock_guard<std::mutex> g(activity().lock);
    return activity().inFlight;
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
        std::unique_lock<std::mutex> lk(net::activity().lock);
        net::activity().changed.wait_for(lk, milliseconds(2));
    }
}
