// Bytes that several holders share up to one limit, and the one such budget
// that all picture memory of the process draws from.
//
// A holder takes what it grows by and gives it all back when its Hold goes.
// Work (a body being fetched, a decode) may wait for room; it waits only
// while someone who is not waiting holds what it lacks, so a turn comes
// once that work ends: when every holder of work memory is itself waiting,
// or the bytes asked for could never fit beside what is kept, the request
// is refused at once. Kept bytes (what is held between uses: a picture's
// encoded bytes kept for a larger decode, frame buffers kept for the next
// frames) never wait: they are taken only within their own share of the
// limit, and refused past it. Kept bytes that are only a cache give way:
// work that does not fit first has the budget's reclaimers free them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace platform {

class MemoryBudget {
public:
    using Deadline = std::optional<std::chrono::steady_clock::time_point>;

    // `keptLimit`: the most that kept holds may take together.
    explicit MemoryBudget(size_t limit, size_t keptLimit = 0) : limit_(limit), keptLimit_(keptLimit) {}
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    size_t limit() const { return limit_; }
    // The bytes held now (kept ones included), and the most held together
    // since the last reset (for tests and benchmarks).
    size_t inUse() const;
    size_t kept() const;
    size_t peak() const;
    void resetPeak();

    // Adds a function that frees kept bytes nobody uses (a cache's),
    // called without the budget's lock when work does not fit.
    void addReclaimer(void (*reclaim)());

    // What one holder holds; given back when it goes.
    class Hold {
    public:
        enum Kind { Work, Kept };
        Hold() = default;
        Hold(MemoryBudget* budget, Kind kind = Work) : budget_(budget), kind_(kind) {}
        Hold(Hold&& other) noexcept : budget_(other.budget_), kind_(other.kind_), bytes_(other.bytes_) { other.bytes_ = 0; }
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { release(); }

        // Takes n more bytes if they fit now; false (nothing taken) if not.
        bool grow(size_t n);
        // Takes n more bytes, waiting for room as described above, at most
        // until `until` and while `cancel` (when given) stays false; false
        // (nothing taken) when refused, cancelled or out of time. `alsoHeld`:
        // what the waiter holds of the same budget through other holds,
        // given back no sooner than this one. Only work waits: a kept hold
        // answers as grow does.
        bool growWaiting(size_t n, Deadline until = std::nullopt, const std::atomic<bool>* cancel = nullptr,
                         size_t alsoHeld = 0);
        void release();
        size_t bytes() const { return bytes_; }

    private:
        MemoryBudget* budget_ = nullptr;
        Kind kind_ = Work;
        size_t bytes_ = 0;
    };

private:
    bool fits(size_t n, Hold::Kind kind) const;
    void give(size_t n, Hold::Kind kind);

    mutable std::mutex lock_;
    std::condition_variable returned_;
    const size_t limit_, keptLimit_;
    size_t used_ = 0, kept_ = 0, peak_ = 0;
    size_t waitingHeld_ = 0;  // work bytes held by holders that wait for more
    std::vector<void (*)()> reclaimers_;
};

// All picture memory of the process: bodies of pictures being fetched,
// decoders' memory, pictures' encoded bytes kept for a larger decode and
// GIF frame buffers kept aside.
inline constexpr size_t kPictureMemoryBytes = 128u << 20;
// Of which kept bytes may take at most this.
inline constexpr size_t kKeptPictureBytes = 32u << 20;
MemoryBudget& pictureMemory();

}  // namespace platform
