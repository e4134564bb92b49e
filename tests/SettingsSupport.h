// Test support for the settings plug-in: a device root with both bundles
// installed and the preference folder, the plug-in's classes registered,
// and the pages driven as the Settings app does.
#pragma once

#include "ProcessSupport.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <InstalledBundles.h>
#include <Preferences/PSViewController.h>
#include <UIKit/UISwitch.h>
#include <PrefsBundle.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace settingstest {

inline const std::string kPrefsFile = "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A device root as mklibrary makes it (without a media library).
class SettingsRoot : public test::TempRoot {
public:
    SettingsRoot() {
        std::string error;
        if (!platform::installBundles(path(), &error)) ADD_FAILURE() << error;
        std::filesystem::create_directories(prefsFolder());
        CantrelPrefs_registerClasses();
    }
    ~SettingsRoot() { platform::SettingsStack::shared().clear(); }
    std::string prefsFolder() const { return path() + "/var/mobile/Library/Preferences"; }
    std::string prefsFile() const { return prefsFolder() + "/com.brevank.Cantrel.plist"; }
    std::string bundle() const { return path() + "/" + platform::kInstalledPrefsBundle; }
};

// Runs a program (argv) to its end; true when it exited 0.
inline bool runsCleanly(const std::vector<std::string>& argv) {
    int status = testsupport::runProgram(argv);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Writes `file` with Python's plistlib: `dict` is a Python expression of the
// root, `format` "xml" or "binary".
inline bool writeWithPython(const std::string& file, const std::string& root, const std::string& format) {
    return runsCleanly({"/usr/bin/python3", "-c",
                        "import plistlib, sys, datetime\n"
                        "fmt = plistlib.FMT_BINARY if sys.argv[3] == 'binary' else plistlib.FMT_XML\n"
                        "plistlib.dump(eval(sys.argv[2]), open(sys.argv[1], 'wb'), fmt=fmt)\n",
                        file, root, format});
}

// The file read back by Python's plistlib, as the repr of its root with
// dictionary keys sorted.
inline std::string readWithPython(const std::string& file) {
    std::string out = file + ".repr";
    bool ok = runsCleanly({"/usr/bin/python3", "-c",
                           "import plistlib, sys\n"
                           "def norm(v):\n"
                           "    if isinstance(v, dict): return sorted((k, norm(x)) for k, x in v.items())\n"
                           "    if isinstance(v, list): return [norm(x) for x in v]\n"
                           "    return v\n"
                           "open(sys.argv[2], 'w').write(repr(norm(plistlib.load(open(sys.argv[1], 'rb')))))\n",
                           file, out});
    std::string text = ok ? readFile(out) : "(unreadable)";
    std::filesystem::remove(out);
    return text;
}

// The Settings app on the plug-in: the principal controller and its pages.
struct SettingsApp {
    Strong<NSObject> pane;

    SettingsApp() {
        AutoreleasePool pool;
        id made = objc_msgSend<id(CGSize)>(objc_msgSend<id()>(objc_getClass("Cantrel_PreferencesController"), "alloc"_sel),
                                           "initForContentSize:"_sel, CGSizeMake(320, 480));
        pane = Strong<NSObject>::adopt(static_cast<NSObject*>(made));
        objc_msgSend<id()>(made, "view"_sel);
    }
    UIViewController* top() const { return platform::SettingsStack::shared().top(); }
    // The page on top with its view loaded.
    UIViewController* shown() const {
        objc_msgSend<id()>(top(), "view"_sel);
        return top();
    }
    UISwitch* outlet(const char* name) const {
        return static_cast<UISwitch*>(objc_msgSend<id()>(shown(), sel_registerName(name)));
    }
    // A user's tap on the main page's button of that action.
    void tapMain(const char* action) const {
        UIViewController* main = platform::SettingsStack::shared().top();
        objc_msgSend<void(id)>(main, sel_registerName(action), nil);
        objc_msgSend<id()>(top(), "view"_sel);
    }
    bool toggle(const char* outlet) const { return platform::toggleSwitch(this->outlet(outlet)); }
    void back() const { platform::SettingsStack::shared().back(); }

    // Every switch a page shows, in a fixed order: is_enabled,
    // enforce_ID3Tag_on_export, enforce_ID3Tag_on_artwork,
    // hide_export_button, hide_edit_button, ask_before_delete,
    // disable_cover_flow, hide_store_button, hide_buy_button_for_radio_track;
    // '1' on, '0' off. Opens and leaves the options and visuals pages.
    std::string allSwitches() const {
        std::string s;
        auto bit = [&](const char* name) { s += objc_msgSend<BOOL()>(outlet(name), "isOn"_sel) ? '1' : '0'; };
        bit("isEnabledSwitch");
        tapMain("button1Tap:");
        bit("enforceID3TagOnExportSwitch");
        bit("enforceID3TagArtworkSwitch");
        back();
        tapMain("button2Tap:");
        for (const char* n : {"hideExportButtonSwitch", "hideEditButtonSwitch", "askBeforeDeleteSwitch",
                              "disableCoverFlowSwitch", "hideStoreButtonSwitch", "hideBuyButtonSwitch"})
            bit(n);
        back();
        return s;
    }
};

}  // namespace settingstest
