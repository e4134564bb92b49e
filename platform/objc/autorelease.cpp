// Autorelease pools: one stack of objects per thread, with pool boundaries
// as indexes into it. A pool releases its objects newest first; objects
// autoreleased while a pool drains are drained with it. Whatever is left
// when a thread ends is released then.
#include <objc/runtime.h>

#include <vector>

namespace {

struct PoolStack {
    std::vector<id> objects;
    ~PoolStack() { drainTo(0); }

    void drainTo(size_t mark) {
        while (objects.size() > mark) {
            id obj = objects.back();
            objects.pop_back();
            objc_release(obj);
        }
    }
};

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

void* objc_autoreleasePoolPush() { return reinterpret_cast<void*>(pools().objects.size() + 1); }

void objc_autoreleasePoolPop(void* token) {
    size_t mark = reinterpret_cast<size_t>(token);
    if (mark == 0) return;
    pools().drainTo(mark - 1);
}

size_t objc_autoreleasePoolCount() { return pools().objects.size(); }
