// The Settings app host: loads the settings plug-in Cantrel_Prefs from its
// bundle in the device root the way the Settings app does (the bundle's
// Info.plist names the executable and the principal class), makes the
// principal class with initForContentSize:, asks it for its view and
// navigation title, and runs commands on the pages from a script or
// standard input.
#include "../HostOptions.h"
#include "../Printable.h"
#include "../StandardOutput.h"
#include "Settings.h"

#include <Foundation/Foundation.h>
#include <Preferences/PSViewController.h>
#include <platform/DeviceRoot.h>
#include <platform/Platform.h>
#include <platform/RunLoop.h>

#include <plist/plist.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kBundle[] = "Library/PreferenceBundles/Cantrel_Prefs.bundle";

const char kUsage[] =
    "usage: Settings --root DIR [--script FILE] [--idiom phone|ipad|none] [--screen WIDTHxHEIGHT[@SCALE]]\n"
    "\n"
    "Runs the Settings app on the device root DIR with the settings plug-in of\n"
    "DIR/Library/PreferenceBundles/Cantrel_Prefs.bundle. Commands come from FILE or\n"
    "standard input, one a line:\n";

struct Options {
    std::string root;
    std::optional<std::string> script;
    bool setIdiom = false;
    std::optional<NSInteger> idiom;
    std::optional<CGSize> screen;
    double screenScale = 0;
};

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string v;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage << settings::commandHelp()
                      << "\nAn unknown command or bad argument prints an error and the host goes on;\n"
                         "the exit status is 1 when any command failed, 2 for bad options.\n";
            std::exit(host::reportOutputError("Settings") ? 1 : 0);
        }
        if (a != "--root" && a != "--script" && a != "--idiom" && a != "--screen") {
            std::cerr << "Settings: unknown option '" << a << "' (try --help)\n";
            return false;
        }
        if (i + 1 >= argc) {
            std::cerr << "Settings: " << a << " needs a value\n";
            return false;
        }
        v = argv[++i];
        if (a == "--root") o.root = v;
        else if (a == "--script") o.script = v;
        else if (a == "--idiom") {
            if (!host::parseIdiom(v, o.idiom)) {
                std::cerr << "Settings: --idiom takes phone, ipad or none, not '" << v << "'\n";
                return false;
            }
            o.setIdiom = true;
        } else {
            CGSize size;
            if (!host::parseScreen(v, size, o.screenScale)) {
                std::cerr << "Settings: --screen takes WIDTHxHEIGHT or WIDTHxHEIGHT@SCALE in points, not '" << v << "'\n";
                return false;
            }
            o.screen = size;
        }
    }
    if (o.root.empty()) {
        std::cerr << "Settings: --root DIR is required (try --help)\n";
        return false;
    }
    return true;
}

// The string value of a key of the bundle's Info.plist, read with libplist.
bool infoString(const std::string& file, const char* key, std::string& out) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string bytes = buffer.str();
    if (!in || bytes.empty()) return false;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    bool ok = false;
    if (root != nullptr && plist_get_node_type(root) == PLIST_DICT) {
        plist_t node = plist_dict_get_item(root, key);
        if (node != nullptr && plist_get_node_type(node) == PLIST_STRING) {
            char* value = nullptr;
            plist_get_string_val(node, &value);
            if (value != nullptr) {
                out = value;
                ok = !out.empty();
                std::free(value);
            }
        }
    }
    if (root != nullptr) plist_free(root);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    host::failWritesPastTheFileSizeLimit();
    Options options;
    if (!parse(argc, argv, options)) return 2;
    std::ifstream scriptFile;
    if (!host::openScript("Settings", options.script, scriptFile)) return 2;
    std::error_code ec;
    std::string startDirectory = fs::current_path(ec).string();
    if (!host::enterDeviceRoot("Settings", options.root)) return 2;
    platform::initialize();
    host::applyDevice(options.setIdiom, options.idiom, options.screen, options.screenScale);

    std::string bundle = (fs::path(platform::deviceRoot()) / kBundle).string();
    std::string executable, principal;
    if (!infoString(bundle + "/Info.plist", "CFBundleExecutable", executable) ||
        !infoString(bundle + "/Info.plist", "NSPrincipalClass", principal)) {
        std::cerr << "Settings: no readable Info.plist naming CFBundleExecutable and NSPrincipalClass in " << bundle
                  << "\n";
        return 2;
    }
    if (executable.find('/') != std::string::npos) {
        std::cerr << "Settings: CFBundleExecutable '" << executable << "' is not a file of the bundle\n";
        return 2;
    }
    void* handle = dlopen((bundle + "/" + executable).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::cerr << "Settings: cannot load the plug-in: " << dlerror() << "\n";
        return 2;
    }

    settings::Context context;
    context.out = &std::cout;
    context.err = &std::cerr;
    context.startDirectory = startDirectory;
    context.bundleHostPath = bundle;
    {
        AutoreleasePool pool;
        Class cls = objc_getClass(principal.c_str());
        if (cls == nil) {
            std::cerr << "Settings: the plug-in has no class " << principal << "\n";
            return 2;
        }
        CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
        id pane = objc_msgSend<id(CGSize)>(objc_msgSend<id()>(cls, "alloc"_sel), "initForContentSize:"_sel, screen.size);
        if (pane == nil) {
            std::cerr << "Settings: " << principal << " gave no controller\n";
            return 2;
        }
        context.pane = Strong<NSObject>::adopt(static_cast<NSObject*>(pane));
        objc_msgSend<id()>(pane, "view"_sel);
        std::cout << "pane " << principal << " title=\""
                  << host::printable(to_string(static_cast<NSString*>(objc_msgSend<id()>(pane, "navigationTitle"_sel))))
                  << "\"\n";
        settings::showTop(context);
    }

    // Standard output that cannot be written ends the host with status 1.
    bool failed = host::reportOutputError("Settings");

    std::istream& in = options.script ? static_cast<std::istream&>(scriptFile) : std::cin;
    std::string line;
    bool outputBroken = failed;
    while (!outputBroken && !context.quit && std::getline(in, line)) {
        platform::RunLoop::main().runPending();
        if (!settings::runLine(context, line)) failed = true;
        if (host::reportOutputError("Settings")) outputBroken = failed = true;
    }
    platform::SettingsStack::shared().clear();
    context.pane = Strong<NSObject>();
    return failed ? 1 : 0;
}
