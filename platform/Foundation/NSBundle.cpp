// NSBundle: a folder of resources under the device root.
#include "Internal.h"

#include <Foundation/NSBundle.h>
#include <Foundation/NSString.h>
#include <platform/DeviceRoot.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

id bundleAt(Class cls, const std::string& path) {
    std::string host = platform::devicePath(path);
    std::error_code ec;
    if (!fs::is_directory(host, ec)) return nil;
    auto* b = platform::foundation::allocate<NSBundle>(cls);
    b->_path = path;
    b->_hostPath = host;
    return autorelease(b);
}

id bundleWithPath(Class cls, SEL, id path) {
    if (path == nil) return nil;
    return bundleAt(cls, to_string(static_cast<NSString*>(path)));
}

id mainBundle(Class cls, SEL) { return bundleAt(cls, "."); }

id bundlePath(NSBundle* self, SEL) { return platform::foundation::str(self->_path); }

id pathForResourceOfType(NSBundle* self, SEL, id name, id type) {
    std::string file = to_string(static_cast<NSString*>(name));
    std::string extension = to_string(static_cast<NSString*>(type));
    if (file.empty() || file.find('/') != std::string::npos || extension.find('/') != std::string::npos) return nil;
    if (!extension.empty()) file += "." + extension;
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(self->_hostPath) / file, ec)) return nil;
    return platform::foundation::str((fs::path(self->_path) / file).string());
}

}  // namespace

void platform::foundation::registerBundles() {
    objc::ClassDef<NSBundle>("NSBundle", NSObject::cls())
        .classMethod<bundleWithPath>("bundleWithPath:")
        .classMethod<mainBundle>("mainBundle")
        .method<bundlePath>("bundlePath")
        .method<pathForResourceOfType>("pathForResource:ofType:");
}
