// Dispatch queues on the main run loop and a small worker pool.
#include <dispatch/dispatch.h>

#include "Internal.h"

#include <Foundation/NSException.h>
#include <objc/runtime.h>
#include <platform/Log.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

struct dispatch_queue_s {
    enum class Kind { Main, Global } kind;
    int band;  // global queues: 0 (high) to 3 (background)
};

namespace platform {
namespace {

dispatch_queue_s mainQueue{dispatch_queue_s::Kind::Main, 0};
dispatch_queue_s globalQueues[4] = {{dispatch_queue_s::Kind::Global, 0},
                                    {dispatch_queue_s::Kind::Global, 1},
                                    {dispatch_queue_s::Kind::Global, 2},
                                    {dispatch_queue_s::Kind::Global, 3}};

void runInPool(dispatch_block_t& block) {
    AutoreleasePool pool;
    block();
    block = nullptr;
}

// The workers behind the global queues. Higher bands are served first;
// within a band, blocks run in the order queued. Delayed blocks wait in
// `timers` until the clock reaches them.
class GlobalPool {
public:
    static GlobalPool& shared() {
        // Lives as long as the process: workers may still be waiting at exit.
        static GlobalPool* pool = new GlobalPool();
        return *pool;
    }

    void enqueue(int band, dispatch_block_t block) {
        {
            std::lock_guard<std::mutex> g(lock_);
            bands_[band].push_back(Job{seq_++, std::move(block)});
            ++outstanding_;
            startWorkersLocked();
        }
        cv_.notify_one();
    }

    void enqueueAt(double time, int band, dispatch_block_t block) {
        {
            std::lock_guard<std::mutex> g(lock_);
            timers_.emplace(std::make_pair(time, seq_++), Delayed{band, std::move(block)});
            startWorkersLocked();
        }
        cv_.notify_all();
    }

    void setManual(bool manual) {
        {
            std::lock_guard<std::mutex> g(lock_);
            manual_ = manual;
        }
        cv_.notify_all();
    }

    bool manual() {
        std::lock_guard<std::mutex> g(lock_);
        return manual_;
    }

    void wake() { cv_.notify_all(); }
    size_t outstanding() {
        std::lock_guard<std::mutex> g(lock_);
        promoteDueLocked();
        return outstanding_;
    }

    size_t drain() {
        size_t ran = 0;
        for (;;) {
            Job job;
            {
                std::lock_guard<std::mutex> g(lock_);
                promoteDueLocked();
                // Oldest first, whatever the band.
                std::deque<Job>* oldest = nullptr;
                for (auto& band : bands_)
                    if (!band.empty() && (!oldest || band.front().seq < oldest->front().seq)) oldest = &band;
                if (!oldest) return ran;
                job = std::move(oldest->front());
                oldest->pop_front();
            }
            runInPool(job.block);
            finished();
            ++ran;
        }
    }

private:
    struct Job {
        uint64_t seq = 0;
        dispatch_block_t block;
    };
    struct Delayed {
        int band;
        dispatch_block_t block;
    };

    void finished() {
        std::lock_guard<std::mutex> g(lock_);
        --outstanding_;
    }
    void startWorkersLocked() {
        if (started_) return;
        started_ = true;
        unsigned n = std::clamp(std::thread::hardware_concurrency(), 2u, 4u);
        for (unsigned i = 0; i < n; ++i) std::thread([this] { work(); }).detach();
    }

    // Moves delayed blocks whose time has come to their bands, in time order.
    void promoteDueLocked() {
        double now = Clock::now();
        while (!timers_.empty() && timers_.begin()->first.first <= now) {
            auto node = timers_.extract(timers_.begin());
            bands_[node.mapped().band].push_back(Job{node.key().second, std::move(node.mapped().block)});
            ++outstanding_;
        }
    }

    void work() {
        std::unique_lock<std::mutex> lk(lock_);
        for (;;) {
            promoteDueLocked();
            if (!manual_) {
                auto band = std::find_if(std::begin(bands_), std::end(bands_), [](auto& b) { return !b.empty(); });
                if (band != std::end(bands_)) {
                    Job job = std::move(band->front());
                    band->pop_front();
                    lk.unlock();
                    try {
                        runInPool(job.block);
                    } catch (...) {
                        logLine("dispatch: a block on a global queue raised an exception");
                        std::terminate();
                    }
                    lk.lock();
                    --outstanding_;
                    continue;
                }
            }
            if (!timers_.empty() && !Clock::isVirtual()) {
                double wait = timers_.begin()->first.first - Clock::now();
                cv_.wait_for(lk, std::chrono::duration<double>(std::max(wait, 0.0)));
            } else {
                cv_.wait(lk);
            }
        }
    }

    std::mutex lock_;
    std::condition_variable cv_;
    std::deque<Job> bands_[4];
    std::map<std::pair<double, uint64_t>, Delayed> timers_;
    uint64_t seq_ = 0;
    size_t outstanding_ = 0;  // queued and running blocks
    bool manual_ = false;
    bool started_ = false;
};

dispatch_time_t nanosecondsOf(double seconds) { return static_cast<dispatch_time_t>(std::llround(seconds * 1e9)); }

// The clock time of `when`, taken as an offset from the present, so that a
// time made as now plus a delay is due once the clock has moved by exactly
// that delay (the present read in nanoseconds is rounded).
double clockTimeOf(dispatch_time_t when) {
    double now = Clock::now();
    dispatch_time_t nowNs = nanosecondsOf(now);
    if (when >= nowNs) return now + static_cast<double>(when - nowNs) / static_cast<double>(NSEC_PER_SEC);
    return now - static_cast<double>(nowNs - when) / static_cast<double>(NSEC_PER_SEC);
}

void checkQueue(dispatch_queue_t queue, const char* function) {
    if (queue == nullptr) throw std::invalid_argument(std::string(function) + ": null queue");
}

}  // namespace

void detail::wakeGlobalQueues() { GlobalPool::shared().wake(); }
size_t detail::globalQueueOutstanding() { return GlobalPool::shared().outstanding(); }

void setManualGlobalQueues(bool manual) { GlobalPool::shared().setManual(manual); }
bool manualGlobalQueues() { return GlobalPool::shared().manual(); }
size_t drainGlobalQueues() { return GlobalPool::shared().drain(); }

}  // namespace platform

using platform::GlobalPool;

dispatch_queue_t dispatch_get_main_queue() { return &platform::mainQueue; }

dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags) {
    if (flags != 0) return nullptr;
    switch (priority) {
        case DISPATCH_QUEUE_PRIORITY_HIGH: return &platform::globalQueues[0];
        case DISPATCH_QUEUE_PRIORITY_DEFAULT: return &platform::globalQueues[1];
        case DISPATCH_QUEUE_PRIORITY_LOW: return &platform::globalQueues[2];
        case DISPATCH_QUEUE_PRIORITY_BACKGROUND: return &platform::globalQueues[3];
        default: return nullptr;
    }
}

dispatch_time_t dispatch_time(dispatch_time_t base, int64_t delta) {
    if (base == DISPATCH_TIME_FOREVER) return DISPATCH_TIME_FOREVER;
    if (base == DISPATCH_TIME_NOW) base = platform::nanosecondsOf(platform::Clock::now());
    if (delta >= 0) {
        uint64_t d = static_cast<uint64_t>(delta);
        return d >= DISPATCH_TIME_FOREVER - base ? DISPATCH_TIME_FOREVER - 1 : base + d;
    }
    uint64_t d = static_cast<uint64_t>(-(delta + 1)) + 1;
    return d >= base ? 1 : base - d;  // 0 would read as "now"
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block) {
    platform::checkQueue(queue, "dispatch_async");
    if (!block) return;
    if (queue->kind == dispatch_queue_s::Kind::Main)
        platform::RunLoop::main().post(std::move(block));
    else
        GlobalPool::shared().enqueue(queue->band, std::move(block));
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
    platform::checkQueue(queue, "dispatch_after");
    if (!block || when == DISPATCH_TIME_FOREVER) return;
    double time = when == DISPATCH_TIME_NOW ? platform::Clock::now() : platform::clockTimeOf(when);
    if (queue->kind == dispatch_queue_s::Kind::Main)
        platform::RunLoop::main().addTimer(time, std::move(block));
    else
        GlobalPool::shared().enqueueAt(time, queue->band, std::move(block));
}

void dispatch_sync(dispatch_queue_t queue, const dispatch_block_t& block) {
    platform::checkQueue(queue, "dispatch_sync");
    if (!block) return;
    if (queue->kind == dispatch_queue_s::Kind::Global) {
        dispatch_block_t copy = block;
        platform::runInPool(copy);
        return;
    }
    platform::RunLoop& loop = platform::RunLoop::main();
    if (loop.isServingThread()) throw std::logic_error("dispatch_sync to the main queue from the main thread");
    std::mutex m;
    std::condition_variable cv;
    bool finished = false;
    std::exception_ptr error;
    NSException* raised = nullptr;  // kept alive for the calling thread
    loop.post([&] {
        try {
            block();
        } catch (NSException* e) {
            raised = static_cast<NSException*>(objc_retain(e));
            error = std::current_exception();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard<std::mutex> g(m);
        finished = true;
        cv.notify_one();
    });
    std::unique_lock<std::mutex> lk(m);
    cv.wait(lk, [&] { return finished; });
    // The exception now belongs to this thread's pools, as one raised here.
    if (raised) objc_autorelease(raised);
    if (error) std::rethrow_exception(error);
}
