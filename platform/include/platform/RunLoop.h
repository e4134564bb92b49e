// The platform clock and the main run loop.
//
// Clock: monotonic seconds. Tests switch it to virtual time, which moves only
// when a test advances it or a run loop runs through a span of it, so timers
// and delayed work fire in a fixed order without real waiting.
//
// RunLoop::main(): the queue of work served by the host's main thread
// (whichever thread calls runFor/runUntil/runPending serves it; only one
// thread at a time). Posts and timers share one order: by due time, then by
// the order they were added. A pass runs the work that was due when the pass
// began; work added during the pass waits for the next pass, so work that
// posts itself again cannot starve anything and runPending() always returns.
// Each item runs inside its own autorelease pool. An exception thrown by an
// item leaves the run that ran it; the item's pool then stays open, so the
// exception lives until an enclosing pool drains.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform {

class Clock {
public:
    // Seconds; real time is CLOCK_MONOTONIC.
    static double now();

    // On: virtual time starts at the current real reading (switching on
    // again keeps it) and stands still until advanced. Off: back to real
    // time (pending timers keep their times).
    static void setVirtual(bool on);
    static bool isVirtual();

    // Moves virtual time forward (negative or zero amounts do nothing).
    // Raises std::logic_error on the real clock.
    static void advance(double seconds);
    // Moves virtual time to `time` if that is later than now.
    static void advanceTo(double time);
};

class RunLoop {
public:
    using TimerId = uint64_t;

    static RunLoop& main();

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Thread-safe. Runs `work` on the serving thread, after the work already
    // posted.
    void post(std::function<void()> work);
    // Thread-safe. Runs `work` once Clock::now() has reached fireTime (Clock
    // seconds; a time in the past is due at once).
    TimerId addTimer(double fireTime, std::function<void()> work);
    // True when the timer was still pending and is now gone.
    bool cancelTimer(TimerId timer);

    // Serves work and timers for `seconds`. On the virtual clock it jumps from
    // one due timer to the next up to the limit (ending with the clock at the
    // limit) and never sleeps; work that other threads post meanwhile runs if
    // it is there by then.
    void runFor(double seconds);
    // Serves work until done() holds (checked before and after every item),
    // or the timeout passes, stop() or a quit request. Returns done(). On the
    // virtual clock it jumps to due timers like runFor; when none is due
    // before the limit it waits for work from other threads for up to the
    // timeout in real time, then sets the clock to the limit.
    bool runUntil(const std::function<bool()>& done, double timeoutSeconds);
    // One pass over what is due now; never waits.
    void runPending();

    // Thread-safe: the run in progress returns after its current item. Does
    // nothing while no run is in progress.
    void stop();

    // Asks the host to quit; every run returns as soon as it sees the request
    // (after its current item) and later runs return at once until it is
    // cleared. Async-signal-safe, like quitRequested().
    void requestQuit();
    bool quitRequested() const;
    void clearQuitRequest();

    // Items (work and timers) waiting to run.
    size_t pendingCount() const;
    // Posted work waiting to run (timers not counted).
    size_t postedCount() const;
    // True on the thread that is serving the loop right now.
    bool isServingThread() const;
    // True on the threads whose run loop this is: the process's main thread
    // and the thread serving it right now. Other threads have no run loop.
    bool isLoopThread() const;

    // Wakes a waiting run so that it looks at the clock and its queue again.
    void wake();

private:
    RunLoop();
    ~RunLoop() = delete;  // lives as long as the process

    struct Key {
        double time;
        uint64_t seq;
        bool operator<(const Key& o) const { return time != o.time ? time < o.time : seq < o.seq; }
    };
    enum class Outcome { Drained, Stopped, Done };

    class Serving;
    TimerId add(double time, std::function<void()> work, bool timer);
    // Runs the items due at `now` with seq <= the last seq at the start.
    Outcome runPass(const std::function<bool()>* done);
    // The due time of the earliest item, or +infinity.
    double nextDueTime() const;
    // Sleeps until work is posted, wake() is called, or `realSeconds` pass.
    void waitForWork(double realSeconds);
    bool interrupted();

    mutable std::mutex lock_;
    std::map<Key, std::function<void()>> items_;
    std::unordered_map<TimerId, double> timerTimes_;
    uint64_t nextSeq_ = 1;
    bool sleeping_ = false;

    int wakeFd_ = -1;  // eventfd; written by wake(), posts and requestQuit()
    std::atomic<bool> quit_{false};
    std::atomic<bool> stop_{false};
    std::atomic<int> depth_{0};
    std::atomic<std::thread::id> owner_{};
};

}  // namespace platform
