// NSAutoreleasePool.
#include <Foundation/NSAutoreleasePool.h>

#include <Foundation/NSException.h>

#include "Internal.h"

namespace {

id init(NSAutoreleasePool* self, SEL) {
    self->token_ = objc_autoreleasePoolPush();
    return self;
}

// Empties the pool (objects autoreleased while it was the innermost one,
// and any inner pools left open) and frees the pool object.
void drain(NSAutoreleasePool* self, SEL) {
    void* token = self->token_;
    self->token_ = nullptr;
    if (token) objc_autoreleasePoolPop(token);
    objc_release(self);
}

id autoreleaseRefused(NSAutoreleasePool*, SEL) {
    NSException::raise(NSInvalidArgumentException, "an NSAutoreleasePool cannot be autoreleased");
}

}  // namespace

void platform::foundation::registerAutoreleasePools() {
    objc::ClassDef<NSAutoreleasePool>("NSAutoreleasePool", NSObject::cls())
        .method<init>("init")
        .method<drain>("drain")
        .method<drain>("release")
        .method<autoreleaseRefused>("autorelease");
}
