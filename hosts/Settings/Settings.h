// The Settings host: loads a settings plug-in from its bundle and drives its
// pages.
#pragma once

#include <objc/NSObject.h>

#include <iosfwd>
#include <string>
#include <vector>

struct UIViewController;

namespace settings {

struct Context {
    Strong<NSObject> pane;       // the plug-in's principal controller
    std::string bundleHostPath;  // the bundle's folder on the host
    std::string startDirectory;  // FILE arguments are relative to it
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    bool quit = false;
    UIViewController* shown = nullptr;  // the page last shown (not retained)
    size_t shownDepth = 0;
};

// Runs one command line; false when it failed (the error is printed).
// Blank lines and lines starting with '#' pass.
bool runLine(Context& c, const std::string& line);

// Shows the page on top of the navigation stack: loads its view, and sends
// a page newly pushed viewWillAppear: YES.
void showTop(Context& c);

// The usage lines of the commands, for --help.
const char* commandHelp();

}  // namespace settings
