// The platform clock and the main run loop.
#include <platform/RunLoop.h>

#include "../dispatch/Internal.h"

#include <objc/runtime.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

namespace platform {

// ---------------------------------------------------------------------------
// Clock

namespace {

double realNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::atomic<bool> clockVirtual{false};
std::atomic<double> virtualTime{0.0};

void clockMoved() {
    RunLoop::main().wake();
    detail::wakeGlobalQueues();
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();

}  // namespace

double Clock::now() { return clockVirtual.load(std::memory_order_acquire) ? virtualTime.load() : realNow(); }

void Clock::setVirtual(bool on) {
    if (on && !isVirtual()) virtualTime.store(realNow());
    clockVirtual.store(on, std::memory_order_release);
    clockMoved();
}

bool Clock::isVirtual() { return clockVirtual.load(std::memory_order_acquire); }

void Clock::advance(double seconds) {
    if (!isVirtual()) throw std::logic_error("Clock::advance needs the virtual clock");
    if (!(seconds > 0)) return;
    advanceTo(virtualTime.load() + seconds);
}

void Clock::advanceTo(double time) {
    if (!isVirtual()) return;
    double current = virtualTime.load();
    while (time > current && !virtualTime.compare_exchange_weak(current, time)) {
    }
    clockMoved();
}

// ---------------------------------------------------------------------------
// RunLoop

// Marks the calling thread as serving the loop for the length of a run;
// runs nest on one thread, but two threads never serve at once.
class RunLoop::Serving {
public:
    explicit Serving(RunLoop& loop) : loop_(loop) {
        std::lock_guard<std::mutex> g(loop_.lock_);
        std::thread::id me = std::this_thread::get_id();
        if (loop_.depth_.load() > 0 && loop_.owner_.load() != me)
            throw std::logic_error("the main run loop is already served by another thread");
        loop_.owner_.store(me);
        loop_.depth_.fetch_add(1);
    }
    ~Serving() {
        std::lock_guard<std::mutex> g(loop_.lock_);
        if (loop_.depth_.fetch_sub(1) == 1) loop_.owner_.store(std::thread::id());
    }

private:
    RunLoop& loop_;
};

RunLoop& RunLoop::main() {
    static RunLoop* loop = new RunLoop();
    return *loop;
}

RunLoop::RunLoop() {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::runtime_error(std::string("cannot start the main run loop: ") + std::strerror(errno));
}

RunLoop::TimerId RunLoop::add(double time, std::function<void()> work, bool timer) {
    bool wasSleeping;
    TimerId id;
    {
        std::lock_guard<std::mutex> g(lock_);
        id = nextSeq_++;
        // A post is due now; taking the time under the lock keeps posts in
        // the order of their sequence numbers.
        if (!timer) time = Clock::now();
        items_.emplace(Key{time, id}, std::move(work));
        if (timer) timerTimes_.emplace(id, time);
        wasSleeping = sleeping_;
    }
    if (wasSleeping) wake();
    return id;
}

void RunLoop::post(std::function<void()> work) { add(0, std::move(work), false); }

RunLoop::TimerId RunLoop::addTimer(double fireTime, std::function<void()> work) {
    if (std::isnan(fireTime)) fireTime = kInfinity;
    return add(fireTime, std::move(work), true);
}

bool RunLoop::cancelTimer(TimerId timer) {
    std::function<void()> dropped;  // destroyed outside the lock
    std::lock_guard<std::mutex> g(lock_);
    auto t = timerTimes_.find(timer);
    if (t == timerTimes_.end()) return false;
    auto it = items_.find(Key{t->second, timer});
    timerTimes_.erase(t);
    if (it == items_.end()) return false;
    dropped = std::move(it->second);
    items_.erase(it);
    return true;
}

void RunLoop::wake() {
    // Async-signal-safe: one write(2), errno kept.
    int saved = errno;
    uint64_t one = 1;
    ssize_t r = write(wakeFd_, &one, sizeof one);
    (void)r;
    errno = saved;
}

void RunLoop::stop() {
    if (depth_.load() == 0) return;
    stop_.store(true);
    wake();
}

void RunLoop::requestQuit() {
    quit_.store(true);
    wake();
}

bool RunLoop::quitRequested() const { return quit_.load(); }

void RunLoop::clearQuitRequest() { quit_.store(false); }

size_t RunLoop::pendingCount() const {
    std::lock_guard<std::mutex> g(lock_);
    return items_.size();
}

size_t RunLoop::postedCount() const {
    std::lock_guard<std::mutex> g(lock_);
    return items_.size() - timerTimes_.size();
}

bool RunLoop::isServingThread() const {
    return depth_.load() > 0 && owner_.load() == std::this_thread::get_id();
}

bool RunLoop::isLoopThread() const { return gettid() == getpid() || isServingThread(); }

bool RunLoop::interrupted() { return quit_.load() || stop_.exchange(false); }

double RunLoop::nextDueTime() const {
    std::lock_guard<std::mutex> g(lock_);
    return items_.empty() ? kInfinity : items_.begin()->first.time;
}

RunLoop::Outcome RunLoop::runPass(const std::function<bool()>* done) {
    double passNow = Clock::now();
    uint64_t lastSeq;
    {
        std::lock_guard<std::mutex> g(lock_);
        lastSeq = nextSeq_ - 1;
    }
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> g(lock_);
            auto it = items_.begin();
            // Skip what was added during this pass (a timer set in the past
            // sorts before older items but belongs to the next pass).
            while (it != items_.end() && it->first.time <= passNow && it->first.seq > lastSeq) ++it;
            if (it == items_.end() || it->first.time > passNow) return Outcome::Drained;
            work = std::move(it->second);
            timerTimes_.erase(it->first.seq);
            items_.erase(it);
        }
        {
            AutoreleasePool pool;
            work();
            work = nullptr;  // captured objects go inside the pool
        }
        if (interrupted()) return Outcome::Stopped;
        if (done && (*done)()) return Outcome::Done;
    }
}

void RunLoop::waitForWork(double realSeconds) {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (!items_.empty() && items_.begin()->first.time <= Clock::now()) return;
        sleeping_ = true;
    }
    if (!quit_.load() && !stop_.load() && realSeconds > 0) {
        pollfd p{wakeFd_, POLLIN, 0};
        timespec ts;
        const timespec* timeout = nullptr;
        if (std::isfinite(realSeconds)) {
            double whole = std::floor(realSeconds);
            ts.tv_sec = static_cast<time_t>(std::min(whole, 1e9));
            ts.tv_nsec = static_cast<long>((realSeconds - whole) * 1e9);
            timeout = &ts;
        }
        ppoll(&p, 1, timeout, nullptr);
    }
    uint64_t count;
    while (read(wakeFd_, &count, sizeof count) > 0) {
    }
    std::lock_guard<std::mutex> g(lock_);
    sleeping_ = false;
}

void RunLoop::runPending() {
    Serving serving(*this);
    if (quit_.load()) return;
    runPass(nullptr);
}

void RunLoop::runFor(double seconds) {
    Serving serving(*this);
    const double deadline = Clock::now() + std::max(0.0, seconds);
    while (!quit_.load()) {
        if (runPass(nullptr) == Outcome::Stopped) return;
        double next = nextDueTime();
        double now = Clock::now();
        if (next <= now) continue;
        if (Clock::isVirtual()) {
            if (next > deadline) {
                Clock::advanceTo(deadline);
                return;
            }
            Clock::advanceTo(next);
            continue;
        }
        if (now >= deadline) return;
        waitForWork(std::min(next, deadline) - now);
        if (interrupted()) return;
    }
}

bool RunLoop::runUntil(const std::function<bool()>& done, double timeoutSeconds) {
    Serving serving(*this);
    if (done()) return true;
    const double deadline = Clock::now() + std::max(0.0, timeoutSeconds);
    const double realDeadline = realNow() + std::max(0.0, timeoutSeconds);
    while (!quit_.load()) {
        Outcome outcome = runPass(&done);
        if (outcome == Outcome::Done) return true;
        if (outcome == Outcome::Stopped) return done();
        double next = nextDueTime();
        double now = Clock::now();
        if (next <= now) continue;
        if (Clock::isVirtual()) {
            if (next <= deadline) {
                Clock::advanceTo(next);
                continue;
            }
            double realLeft = realDeadline - realNow();
            if (realLeft <= 0) {
                Clock::advanceTo(deadline);
                runPass(&done);
                return done();
            }
            waitForWork(realLeft);
        } else {
            if (now >= deadline) return done();
            waitForWork(std::min(next, deadline) - now);
        }
        if (interrupted()) return done();
    }
    return done();
}

}  // namespace platform
