// notifyutil: posts Darwin notifications from the shell.
//   notifyutil [--root DIR] -p NAME [-p NAME ...]
#include <CoreFoundation/CoreFoundation.h>
#include <objc/runtime.h>
#include <platform/DeviceRoot.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: notifyutil [--root DIR] -p NAME [-p NAME ...]\n"
                 "  -p NAME      post the Darwin notification NAME (in the order given)\n"
                 "  --root DIR   device root (default: $CANTREL_DEVICE_ROOT, else the working directory)\n"
                 "  --help       show this help\n");
}

int bad(const std::string& problem) {
    std::fprintf(stderr, "notifyutil: %s\n", problem.c_str());
    usage(stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--root" || arg == "-p") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return bad(arg + " needs a value");
            std::string value = argv[++i];
            if (arg == "--root") {
                platform::setDeviceRoot(value);
            } else if (value.size() > kDarwinNotificationNameMax) {
                return bad("a notification name may have at most " + std::to_string(kDarwinNotificationNameMax) +
                           " bytes");
            } else {
                names.push_back(value);
            }
            continue;
        }
        return bad("unknown argument \"" + arg + "\"");
    }
    if (names.empty()) return bad("nothing to post");

    AutoreleasePool pool;
    CFNotificationCenterRef centre = CFNotificationCenterGetDarwinNotifyCenter();
    for (const std::string& name : names) {
        auto str = reinterpret_cast<CFStringRef>(objc_msgSend<id(const char*)>(
            objc_getClass("NSString"), "stringWithUTF8String:"_sel, name.c_str()));
        CFNotificationCenterPostNotification(centre, str, nullptr, nullptr, true);
    }
    return 0;
}
