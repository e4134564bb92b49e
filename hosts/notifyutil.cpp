// notifyutil: posts Darwin notifications from the shell.
//   notifyutil [--root DIR] -p NAME [-p NAME ...]
// Exit status: 0 when every observing process got every notification, 1
// when one could not be reached (its queue full: stopped or not reading),
// 2 for bad arguments.
#include "StandardOutput.h"

#include <CoreFoundation/CoreFoundation.h>
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
                 "  --help       show this help\n"
                 "exit status 1 when an observing process could not be reached (never waits for one)\n");
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
            return host::reportOutputError("notifyutil") ? 1 : 0;
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

    // Posting never waits for an observer; one that could not be reached
    // makes the exit status 1.
    size_t failed = 0;
    for (const std::string& name : names) {
        platform::DarwinPostReport report = platform::postDarwinNotification(name);
        if (report.failed > 0)
            std::fprintf(stderr, "notifyutil: \"%s\" did not reach %zu observing process%s\n", name.c_str(),
                         report.failed, report.failed == 1 ? "" : "es");
        failed += report.failed;
    }
    return failed > 0 ? 1 : 0;
}
