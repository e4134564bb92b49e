#include <platform/Platform.h>

#include "Registration.h"

#include <objc/NSObject.h>

#include <mutex>

namespace platform {

void initialize() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc_registerRootClasses();
        registerFoundation();
        registerCoreFoundation();
        registerUIKit();
        registerMediaPlayer();
        registerImageIO();
        registerPreferences();
        registerNetwork();
    });
}

}  // namespace platform

__attribute__((constructor)) static void platformLoad() { platform::initialize(); }
