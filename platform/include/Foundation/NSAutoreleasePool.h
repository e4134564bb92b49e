// NSAutoreleasePool: the runtime class over objc_autoreleasePoolPush/Pop.
// [[NSAutoreleasePool alloc] init] opens a pool; -drain or -release empties
// it and frees the pool object. C++ code uses AutoreleasePool (runtime.h).
#pragma once

#include <objc/NSObject.h>

struct NSAutoreleasePool : NSObject {
    OBJC_CLASS(NSAutoreleasePool)

    void* token_ = nullptr;
};
