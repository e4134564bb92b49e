// Hooks between the clock and the global queues inside libplatform.
#pragma once

namespace platform::detail {

// Lets the global queues' workers look at the clock again (it moved).
void wakeGlobalQueues();

}  // namespace platform::detail
