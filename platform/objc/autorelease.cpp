// Autorelease pools: one stack of objects per thread, with the open pools as
// marks into it. A pool releases its objects newest first; objects
// autoreleased while a pool drains are drained with it. Whatever is left
// when a thread ends is released then.
#include <objc/runtime.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct PoolStack {
    struct Open {
        uintptr_t token;  // never used twice in the process
        size_t mark;      // objects below it belong to outer pools
    };
    std::vector<id> objects;
    std::vector<Open> open;

    ~PoolStack() {
        open.clear();
        drainTo(0);
    }

    void drainTo(size_t mark) {
        while (objects.size() > mark) {
            id obj = objects.back();
            objects.pop_back();
            objc_release(obj);
        }
    }
};

std::atomic<uintptr_t> lastToken{0};

PoolStack& pools() {
    thread_local PoolStack stack;
    return stack;
}

}  // namespace

id objc_autorelease(id obj) {
    if (obj == nullptr) return nullptr;
    pools().objects.push_back(obj);
    return obj;
}

void* objc_autoreleasePoolPush() {
    PoolStack& p = pools();
    uintptr_t token = lastToken.fetch_add(1, std::memory_order_relaxed) + 1;
    p.open.push_back({token, p.objects.size()});
    return reinterpret_cast<void*>(token);
}

void objc_autoreleasePoolPop(void* token) {
    if (token == nullptr) return;
    PoolStack& p = pools();
    auto t = reinterpret_cast<uintptr_t>(token);
    size_t i = p.open.size();
    while (i > 0 && p.open[i - 1].token != t) --i;
    if (i == 0) {
        std::fprintf(stderr, "objc: autorelease pool %p is not open on this thread: popped already or never pushed here\n",
                     token);
        std::abort();
    }
    size_t mark = p.open[i - 1].mark;
    p.open.resize(i - 1);  // pools opened inside it close with it
    p.drainTo(mark);
}

size_t objc_autoreleasePoolCount() { return pools().objects.size(); }
