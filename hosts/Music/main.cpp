// The Music app host: registers the platform's and the app's classes, loads
// the injected libraries the way the code-injection host does (their loader
// hooks run before the app creates any object), launches the app and runs
// commands from a script or standard input.
#include "Commands.h"
#include "../HostOptions.h"

#include <MusicApp/MusicApp.h>
#include <UIKit/UIScreen.h>
#include <platform/DeviceRoot.h>
#include <platform/Platform.h>
#include <platform/RunLoop.h>
#include <platform/System.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: Music --root DIR [--script FILE] [--inject LIB]... [--no-inject] [--no-radio]\n"
    "             [--idiom phone|ipad|none] [--screen WIDTHxHEIGHT[@SCALE]]\n"
    "\n"
    "Runs the Music app on the device root DIR (every device path resolves under\n"
    "it) with the injected libraries loaded; by default the Cantrel library built\n"
    "beside this program. --idiom sets the device's user interface idiom (none: a\n"
    "device that predates idioms), --screen the main screen in points (and its\n"
    "scale; 320x480@2 by default). Commands come from FILE or standard input, one a\n"
    "line:\n";

struct Options {
    std::string root;
    std::optional<std::string> script;
    std::vector<std::string> inject;
    bool noInject = false;
    bool radio = true;
    bool setIdiom = false;
    std::optional<NSInteger> idiom;
    std::optional<CGSize> screen;
    double screenScale = 0;  // 0: keep the main screen's
};

using host::parseIdiom;
using host::parseScreen;

void printHelp(std::ostream& out) {
    out << kUsage;
    for (const auto& [name, cmd] : host::commands()) out << "  " << cmd.usage << "\n      " << cmd.help << "\n";
    out << "\nAn unknown command or bad argument prints an error and the host goes on;\n"
           "the exit status is 1 when any command failed, 2 for bad options.\n";
}

// The library built beside this program: bin/Music -> lib/libCantrel.so.
std::string defaultLibrary() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "lib" / "libCantrel.so").string();
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::cerr << "Music: " << a << " needs a value\n";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            printHelp(std::cout);
            std::exit(0);
        } else if (a == "--root") {
            if (!value(o.root)) return false;
        } else if (a == "--script") {
            std::string s;
            if (!value(s)) return false;
            o.script = s;
        } else if (a == "--inject") {
            std::string s;
            if (!value(s)) return false;
            o.inject.push_back(s);
        } else if (a == "--no-inject") {
            o.noInject = true;
        } else if (a == "--no-radio") {
            o.radio = false;
        } else if (a == "--idiom") {
            std::string s;
            if (!value(s)) return false;
            if (!parseIdiom(s, o.idiom)) {
                std::cerr << "Music: --idiom takes phone, ipad or none, not '" << s << "'\n";
                return false;
            }
            o.setIdiom = true;
        } else if (a == "--screen") {
            std::string s;
            if (!value(s)) return false;
            CGSize size;
            if (!parseScreen(s, size, o.screenScale)) {
                std::cerr << "Music: --screen takes WIDTHxHEIGHT or WIDTHxHEIGHT@SCALE in points (e.g. 320x568@2), not '"
                          << s << "'\n";
                return false;
            }
            o.screen = size;
        } else {
            std::cerr << "Music: unknown option '" << a << "' (try --help)\n";
            return false;
        }
    }
    if (o.root.empty()) {
        std::cerr << "Music: --root DIR is required (try --help)\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;

    // The script is named relative to where the host was started.
    std::ifstream scriptFile;
    if (!host::openScript("Music", options.script, scriptFile)) return 2;

    std::error_code ec;
    std::string startDirectory = fs::current_path(ec).string();
    if (!host::enterDeviceRoot("Music", options.root)) return 2;

    platform::MusicHostRegistration registration;
    if (!registration.ok()) {
        std::cerr << "Music: " << registration.error() << "\n";
        return 2;
    }

    platform::initialize();
    // The device as the app and the injected libraries will find it.
    host::applyDevice(options.setIdiom, options.idiom, options.screen, options.screenScale);
    platform::MusicAppOptions appOptions;
    appOptions.radio = options.radio;
    platform::registerMusicApp(appOptions);

    host::Context context;
    context.out = &std::cout;
    context.err = &std::cerr;
    context.startDirectory = startDirectory;
    std::vector<std::string> libraries = options.inject;
    if (libraries.empty() && !options.noInject) libraries.push_back(defaultLibrary());
    for (const std::string& path : libraries) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (handle == nullptr) {
            std::cerr << "Music: cannot load '" << path << "': " << dlerror() << "\n";
            return 2;
        }
        context.libraries.push_back(handle);
    }

    platform::MusicApp app;
    app.launch();
    context.app = &app;

    bool failed = false;
    std::istream& in = options.script ? static_cast<std::istream&>(scriptFile) : std::cin;
    std::string line;
    while (!context.quit && !platform::RunLoop::main().quitRequested() && std::getline(in, line)) {
        platform::RunLoop::main().runPending();
        if (!host::runLine(context, line)) failed = true;
        std::cout.flush();
    }
    app.shutdown();
    return failed ? 1 : 0;
}
