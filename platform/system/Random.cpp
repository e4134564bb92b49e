// arc4random over one seedable generator shared by every thread.
#include <platform/Random.h>

#include <mutex>
#include <random>

namespace {

std::mutex lock;

std::mt19937& generator() {
    static std::mt19937 g{std::random_device{}()};
    return g;
}

}  // namespace

uint32_t arc4random(void) noexcept {
    std::lock_guard<std::mutex> g(lock);
    return static_cast<uint32_t>(generator()());
}

uint32_t arc4random_uniform(uint32_t bound) noexcept {
    if (bound < 2) return 0;
    // Values below 2^32 mod bound would come up once more than the rest.
    uint32_t floor = static_cast<uint32_t>(-bound) % bound;
    std::lock_guard<std::mutex> g(lock);
    for (;;) {
        uint32_t r = static_cast<uint32_t>(generator()());
        if (r >= floor) return r % bound;
    }
}

void platform::seedRandom(uint32_t seed) {
    std::lock_guard<std::mutex> g(lock);
    generator().seed(seed);
}
