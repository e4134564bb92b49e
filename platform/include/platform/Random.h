// The random source behind arc4random and arc4random_uniform, which
// libplatform provides in place of the C library's: seeded from the system
// at start, and seedable so that tests see a fixed sequence.
#pragma once

#include <cstdint>

extern "C" {
uint32_t arc4random(void) noexcept;
// Uniform in [0, bound) without modulo bias; 0 for a bound below 2.
uint32_t arc4random_uniform(uint32_t bound) noexcept;
}

namespace platform {
// From now on the sequence that follows from `seed` (the same for the same seed).
void seedRandom(uint32_t seed);
}  // namespace platform
