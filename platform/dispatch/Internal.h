// Hooks between the clock and the global queues inside libplatform.
#pragma once

#include <cstddef>

namespace platform::detail {

// Lets the global queues' workers look at the clock again (it moved).
void wakeGlobalQueues();

// Global-queue blocks queued (and due) or running; delayed ones not yet due
// do not count.
size_t globalQueueOutstanding();

}  // namespace platform::detail
