#include <platform/Platform.h>

#include <objc/NSObject.h>
#include <Foundation/NSException.h>

#include <mutex>

namespace platform {

void initialize() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc_registerRootClasses();
        objc::ClassDef<NSException>("NSException", NSObject::cls());
    });
}

}  // namespace platform

__attribute__((constructor)) static void platformLoad() { platform::initialize(); }
