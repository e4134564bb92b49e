// Commands on the pictures of the screen.
#include "Commands.h"

#include <MusicApp/MusicApp.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

#include <filesystem>
#include <ostream>

namespace host {

namespace {

// A host path named on a command line: relative ones are relative to where
// the host was started.
std::string resolveHostPath(const Context& c, const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_absolute() || c.startDirectory.empty()) return path;
    return (std::filesystem::path(c.startDirectory) / p).string();
}

// What stands on the screen, back to front: the view of the controller on top
// of the navigation stack (with whatever was added to it, such as a badge),
// then the navigation controller's own view when it has one.
std::vector<UIView*> screenViews(const Context& c) {
    std::vector<UIView*> views;
    id navigation = c.app ? objc::as_id(c.app->songsNavigationController()) : nil;
    id top = objc_msgSend<id()>(navigation, "topViewController"_sel);
    if (top == nil && c.app != nullptr) top = objc::as_id(c.app->currentScreen());
    if (top != nil) views.push_back(static_cast<UIView*>(objc_msgSend<id()>(top, "view"_sel)));
    if (navigation != nil && objc_msgSend<BOOL()>(navigation, "isViewLoaded"_sel))
        views.push_back(static_cast<UIView*>(objc_msgSend<id()>(navigation, "view"_sel)));
    return views;
}

bool snapshot(Context& c, const std::vector<std::string>& args) {
    if (c.app == nullptr || !c.app->launched()) {
        *c.err << "snapshot: the app is not running\n";
        return false;
    }
    std::string path = resolveHostPath(c, args[0]);
    AutoreleasePool pool;
    std::vector<UIView*> views = screenViews(c);
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    double scale = objc_msgSend<double()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "scale"_sel);
    std::string error;
    if (!platform::writeScreenPNG(path, views, scale, &error)) {
        *c.err << "snapshot: cannot write " << args[0] << ": " << error << "\n";
        return false;
    }
    *c.out << "snapshot: " << screen.size.width << "x" << screen.size.height << " points at scale " << scale << " -> "
           << args[0] << "\n";
    return true;
}

}  // namespace

void addScreenCommands(CommandTable& table) {
    table["snapshot"] = Command{"snapshot FILE",
                                "writes the screen as it stands (the current list screen and what was added to it, "
                                "such as a badge) as a PNG at the screen's scale; FILE is relative to where the host "
                                "was started",
                                [](Context& c, const std::vector<std::string>& args) {
                                    if (args.size() != 1) {
                                        *c.err << "usage: snapshot FILE\n";
                                        return false;
                                    }
                                    return snapshot(c, args);
                                }};
}

}  // namespace host
