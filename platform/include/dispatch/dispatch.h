// Dispatch queues: the main queue (served by the main run loop) and the
// global queues (a small pool of worker threads). Blocks are std::function;
// each runs inside its own autorelease pool. Times are nanoseconds on
// platform::Clock, so delayed blocks follow the virtual clock in tests.
#pragma once

#include <cstdint>
#include <functional>

struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;
using dispatch_block_t = std::function<void()>;
using dispatch_time_t = uint64_t;

inline constexpr dispatch_time_t DISPATCH_TIME_NOW = 0;
inline constexpr dispatch_time_t DISPATCH_TIME_FOREVER = ~0ull;
inline constexpr uint64_t NSEC_PER_SEC = 1000000000ull;
inline constexpr uint64_t NSEC_PER_MSEC = 1000000ull;
inline constexpr uint64_t NSEC_PER_USEC = 1000ull;

inline constexpr long DISPATCH_QUEUE_PRIORITY_HIGH = 2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_DEFAULT = 0;
inline constexpr long DISPATCH_QUEUE_PRIORITY_LOW = -2;
inline constexpr long DISPATCH_QUEUE_PRIORITY_BACKGROUND = -32768;

dispatch_queue_t dispatch_get_main_queue();
// One of the four priorities above and flags 0; anything else gives nullptr.
dispatch_queue_t dispatch_get_global_queue(long priority, unsigned long flags);

// `base` + `delta` nanoseconds; DISPATCH_TIME_NOW is the clock's present,
// DISPATCH_TIME_FOREVER stays forever.
dispatch_time_t dispatch_time(dispatch_time_t base, int64_t delta);

// A null queue raises std::invalid_argument; an empty block does nothing.
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);
// Runs the block on `queue` once the clock reaches `when` (never for
// DISPATCH_TIME_FOREVER). A time made as now plus a delay is due once the
// clock has moved by exactly that delay.
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);
// Returns after the block ran. A global queue runs it on the calling thread;
// the main queue runs it on the thread serving the main run loop (called
// from that thread itself, it raises std::logic_error, as it would deadlock).
// What the block raises is raised again in the caller; an NSException passes
// into the caller's autorelease pools.
void dispatch_sync(dispatch_queue_t queue, const dispatch_block_t& block);

namespace platform {

// For tests: while on, global-queue blocks (and delayed ones once due) wait
// for drainGlobalQueues() instead of running on the workers.
void setManualGlobalQueues(bool manual);
bool manualGlobalQueues();
// Runs the waiting global blocks on the calling thread in the order they
// were queued, including blocks queued meanwhile, until none is left.
// Returns how many ran.
size_t drainGlobalQueues();

}  // namespace platform
