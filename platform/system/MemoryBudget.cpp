// A byte budget shared by holders, and the process's picture memory.
#include <platform/MemoryBudget.h>

#include <algorithm>

namespace platform {

size_t MemoryBudget::inUse() const {
    std::lock_guard<std::mutex> g(lock_);
    return used_;
}

size_t MemoryBudget::kept() const {
    std::lock_guard<std::mutex> g(lock_);
    return kept_;
}

size_t MemoryBudget::peak() const {
    std::lock_guard<std::mutex> g(lock_);
    return peak_;
}

void MemoryBudget::resetPeak() {
    std::lock_guard<std::mutex> g(lock_);
    peak_ = used_;
}

void MemoryBudget::addReclaimer(void (*reclaim)()) {
    std::lock_guard<std::mutex> g(lock_);
    reclaimers_.push_back(reclaim);
}

// (lock held)
bool MemoryBudget::fits(size_t n, Hold::Kind kind) const {
    if (n > limit_ - used_) return false;
    return kind == Hold::Work || n <= keptLimit_ - std::min(keptLimit_, kept_);
}

void MemoryBudget::give(size_t n, Hold::Kind kind) {
    {
        std::lock_guard<std::mutex> g(lock_);
        used_ -= std::min(n, used_);
        if (kind == Hold::Kept) kept_ -= std::min(n, kept_);
    }
    returned_.notify_all();
}

MemoryBudget::Hold& MemoryBudget::Hold::operator=(Hold&& other) noexcept {
    if (this != &other) {
        release();
        budget_ = other.budget_;
        kind_ = other.kind_;
        bytes_ = other.bytes_;
        other.bytes_ = 0;
    }
    return *this;
}

bool MemoryBudget::Hold::grow(size_t n) {
    if (budget_ == nullptr) return true;
    MemoryBudget& b = *budget_;
    std::lock_guard<std::mutex> g(b.lock_);
    if (!b.fits(n, kind_)) return false;
    b.used_ += n;
    if (kind_ == Kept) b.kept_ += n;
    b.peak_ = std::max(b.peak_, b.used_);
    bytes_ += n;
    return true;
}

bool MemoryBudget::Hold::growWaiting(size_t n, Deadline until, const std::atomic<bool>* cancel, size_t alsoHeld) {
    if (budget_ == nullptr || kind_ == Kept) return grow(n);
    MemoryBudget& b = *budget_;
    std::unique_lock<std::mutex> lk(b.lock_);
    // What this holder holds counts as a waiter's while it waits. The first
    // to find that every holder waits is refused; others learn that this
    // one waits only once it sleeps.
    const size_t held = bytes_ + alsoHeld;
    b.waitingHeld_ += held;
    bool told = held == 0;
    bool taken = false;
    for (bool reclaimed = false;;) {
        if (b.fits(n, Work)) {
            taken = true;
            break;
        }
        if (!reclaimed && b.kept_ > 0 && !b.reclaimers_.empty()) {
            std::vector<void (*)()> reclaimers = b.reclaimers_;
            lk.unlock();
            for (auto reclaim : reclaimers) reclaim();
            lk.lock();
            reclaimed = true;
            continue;
        }
        // Never fits beside what is kept, or nothing that holds work memory
        // runs: no turn can come.
        size_t room = b.limit_ - std::min(b.limit_, b.kept_);
        if (n > room || held > room - n) break;
        if (b.used_ - b.kept_ <= b.waitingHeld_) break;
        if (cancel != nullptr && cancel->load()) break;
        auto now = std::chrono::steady_clock::now();
        if (until && now >= *until) break;
        // A cancel flag is looked at every 20 ms.
        auto wake = cancel != nullptr ? now + std::chrono::milliseconds(20) : std::chrono::steady_clock::time_point::max();
        if (until) wake = std::min(wake, *until);
        if (!told) {
            b.returned_.notify_all();
            told = true;
        }
        if (wake == std::chrono::steady_clock::time_point::max())
            b.returned_.wait(lk);
        else
            b.returned_.wait_until(lk, wake);
    }
    b.waitingHeld_ -= held;
    if (taken) {
        b.used_ += n;
        b.peak_ = std::max(b.peak_, b.used_);
        bytes_ += n;
    }
    return taken;
}

void MemoryBudget::Hold::release() {
    if (budget_ != nullptr && bytes_ > 0) budget_->give(bytes_, kind_);
    bytes_ = 0;
}

MemoryBudget& pictureMemory() {
    static auto* budget = new MemoryBudget(kPictureMemoryBytes, kKeptPictureBytes);  // lives as long as the process
    return *budget;
}

}  // namespace platform
