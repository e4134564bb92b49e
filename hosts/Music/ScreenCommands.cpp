// Commands on the pictures of the screen.
#include "Commands.h"

#include <MusicApp/MusicApp.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIColor.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIPopoverController.h>
#include <UIKit/UITextField.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITableViewController.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace host {

// A host path named on a command line: relative ones are relative to where
// the host was started.
std::string resolveHostPath(const Context& c, const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_absolute() || c.startDirectory.empty()) return path;
    return (std::filesystem::path(c.startDirectory) / p).string();
}

namespace {


// The navigation controller of the screen shown: the now-playing screen's
// while it is shown, else the list screens'; none while the flipside view is.
id shownNavigation(const Context& c) {
    if (c.app == nullptr || c.app->flipsideShown()) return nil;
    if (c.app->nowPlayingShown()) return objc::as_id(c.app->nowPlayingNavigationController());
    return objc::as_id(c.app->songsNavigationController());
}

// What stands on the screen, back to front: the view of the controller on top
// of the navigation stack (with whatever was added to it, such as a badge),
// then the navigation controller's own view when it has one.
std::vector<UIView*> screenViews(const Context& c) {
    std::vector<UIView*> views;
    if (c.app != nullptr && c.app->flipsideShown()) {
        views.push_back(static_cast<UIView*>(objc_msgSend<id()>(objc::as_id(c.app->flipsideViewController()), "view"_sel)));
        return views;
    }
    id navigation = shownNavigation(c);
    id top = objc_msgSend<id()>(navigation, "topViewController"_sel);
    if (top == nil && c.app != nullptr) top = objc::as_id(c.app->currentScreen());
    if (top != nil) views.push_back(static_cast<UIView*>(objc_msgSend<id()>(top, "view"_sel)));
    if (navigation != nil && objc_msgSend<BOOL()>(navigation, "isViewLoaded"_sel))
        views.push_back(static_cast<UIView*>(objc_msgSend<id()>(navigation, "view"_sel)));
    return views;
}

// Over the screen: each presented controller's view (an alert's card over a
// dimmed screen), each shown popover's card, then the focused field's input view (or a plain keyboard)
// at the bottom. `keep` holds the views made for the picture; `moved` the
// input views to put back where they were.

UIView* plainView(CGRect frame, UIColor* colour, std::vector<Strong<UIView>>& keep) {
    id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, frame);
    keep.push_back(Strong<UIView>::adopt(static_cast<UIView*>(view)));
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, colour);
    return static_cast<UIView*>(view);
}

void addPresentedViews(std::vector<UIView*>& views, std::vector<Strong<UIView>>& keep,
                       std::vector<std::pair<Strong<UIView>, CGRect>>& moved) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    for (UIViewController* controller : platform::presentedViewControllers()) {
        auto* view = static_cast<UIView*>(objc_msgSend<id()>(controller, "view"_sel));
        if (objc_isKindOfClass(objc::as_id(controller), UIAlertController::cls()))
            views.push_back(plainView(screen, UIColor::make(0, 0, 0, 0.4), keep));
        views.push_back(view);
    }
    for (UIPopoverController* popover : platform::shownPopovers())
        if (popover->_popoverView) views.push_back(popover->_popoverView.get());
    CGRect keyboard = platform::keyboardFrame();
    if (CGRectIsEmpty(keyboard)) return;
    auto* input = static_cast<UIView*>(objc_msgSend<id()>(platform::firstResponder(), "inputView"_sel));
    if (input == nullptr) {
        views.push_back(plainView(keyboard, UIColor::make(0.82, 0.83, 0.86, 1), keep));
        return;
    }
    moved.emplace_back(input, objc_msgSend<CGRect()>(input, "frame"_sel));
    objc_msgSend<void(CGRect)>(input, "setFrame:"_sel, keyboard);
    views.push_back(input);
}

// The navigation bar over the top of the screen while it shows; the view of
// the controller on top stands below it (platform::navigationContentFrame),
// as the list screens are laid out.
void addNavigationBar(const Context& c, std::vector<UIView*>& views,
                      std::vector<std::pair<Strong<UIView>, CGRect>>& moved) {
    auto* navigation = static_cast<UINavigationController*>(shownNavigation(c));
    if (navigation == nullptr || !platform::navigationBarShows(navigation)) return;
    auto* bar = static_cast<UIView*>(objc_msgSend<id()>(navigation, "navigationBar"_sel));
    // The bar spans the screen as it stands (turned or not).
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    CGRect barFrame = objc_msgSend<CGRect()>(bar, "frame"_sel);
    if (barFrame.size.width != screen.size.width) {
        moved.emplace_back(bar, barFrame);
        objc_msgSend<void(CGRect)>(bar, "setFrame:"_sel,
                                   CGRectMake(barFrame.origin.x, barFrame.origin.y, screen.size.width, barFrame.size.height));
    }
    auto* view = static_cast<UIView*>(objc_msgSend<id()>(objc_msgSend<id()>(navigation, "topViewController"_sel), "view"_sel));
    CGRect frame = objc_msgSend<CGRect()>(view, "frame"_sel);
    CGRect room = platform::navigationContentFrame(navigation);
    if (!CGRectEqualToRect(frame, room)) {
        moved.emplace_back(view, frame);
        objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, room);
    }
    views.push_back(bar);
}

// What stands on the key window over the screens: the views added to its
// root controller's view (such as a badge), not its child controllers' views,
// which show the screens drawn above.
void addKeyWindowViews(std::vector<UIView*>& views) {
    id app = objc_msgSend<id()>(objc_getClass("UIApplication"), "sharedApplication"_sel);
    id root = objc_msgSend<id()>(objc_msgSend<id()>(app, "keyWindow"_sel), "rootViewController"_sel);
    if (root == nil || !objc_msgSend<BOOL()>(root, "isViewLoaded"_sel)) return;
    std::vector<id> screens;
    id children = objc_msgSend<id()>(root, "childViewControllers"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(children, "count"_sel); i < n; ++i) {
        id child = objc_msgSend<id(NSUInteger)>(children, "objectAtIndex:"_sel, i);
        if (objc_msgSend<BOOL()>(child, "isViewLoaded"_sel)) screens.push_back(objc_msgSend<id()>(child, "view"_sel));
    }
    id subviews = objc_msgSend<id()>(objc_msgSend<id()>(root, "view"_sel), "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
        id view = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (std::find(screens.begin(), screens.end(), view) == screens.end()) views.push_back(static_cast<UIView*>(view));
    }
}

}  // namespace

std::vector<UIView*> shownViews(const Context& c) {
    std::vector<UIView*> views = screenViews(c);
    addKeyWindowViews(views);
    return views;
}

namespace {

// The views a picture of the screen draws, back to front; the views moved
// for it go back where they were when it ends.
struct ScreenPicture {
    std::vector<UIView*> views;
    std::vector<Strong<UIView>> keep;
    std::vector<std::pair<Strong<UIView>, CGRect>> moved;

    explicit ScreenPicture(const Context& c) : views(screenViews(c)) {
        platform::finishTransitions(5);
        addNavigationBar(c, views, moved);
        addKeyWindowViews(views);
        addPresentedViews(views, keep, moved);
    }
    ~ScreenPicture() {
        for (auto& [view, frame] : moved) objc_msgSend<void(CGRect)>(view.get(), "setFrame:"_sel, frame);
    }
    ScreenPicture(const ScreenPicture&) = delete;
    ScreenPicture& operator=(const ScreenPicture&) = delete;
};

bool snapshot(Context& c, const std::vector<std::string>& args) {
    if (c.app == nullptr || !c.app->launched()) {
        *c.err << "snapshot: the app is not running\n";
        return false;
    }
    std::string path = resolveHostPath(c, args[0]);
    AutoreleasePool pool;
    ScreenPicture picture(c);
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    double scale = objc_msgSend<double()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "scale"_sel);
    std::string error;
    if (!platform::writeScreenPNG(path, picture.views, scale, &error)) {
        *c.err << "snapshot: cannot write " << args[0] << ": " << error << "\n";
        return false;
    }
    *c.out << "snapshot: " << screen.size.width << "x" << screen.size.height << " points at scale " << scale << " -> "
           << args[0] << "\n";
    return true;
}

// Prints the text of each shown label in `view`'s tree, back to front.
void printLabels(Context& c, id view) {
    if (objc_msgSend<BOOL()>(view, "isHidden"_sel) || objc_msgSend<double()>(view, "alpha"_sel) <= 0) return;
    if (objc_isKindOfClass(view, UILabel::cls())) {
        id text = objc_msgSend<id()>(view, "text"_sel);
        if (text != nil && objc_msgSend<NSUInteger()>(text, "length"_sel) > 0) *c.out << printableText(text) << "\n";
    }
    id subviews = objc_msgSend<id()>(view, "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i)
        printLabels(c, objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i));
}

bool labels(Context& c, const std::vector<std::string>&) {
    if (c.app == nullptr || !c.app->launched()) {
        *c.err << "labels: the app is not running\n";
        return false;
    }
    AutoreleasePool pool;
    ScreenPicture picture(c);
    for (UIView* view : picture.views) printLabels(c, objc::as_id(view));
    return true;
}

}  // namespace

void addScreenCommands(CommandTable& table) {
    table["snapshot"] = Command{"snapshot FILE",
                                "writes the screen as it stands (the current list screen and what was added to it "
                                "or to the key window, such as a badge, the presented controllers and alerts, the keyboard or a field's "
                                "picker) as a PNG at the screen's scale; FILE is relative to where the host "
                                "was started",
                                [](Context& c, const std::vector<std::string>& args) {
                                    if (args.size() != 1) {
                                        *c.err << "usage: snapshot FILE\n";
                                        return false;
                                    }
                                    return snapshot(c, args);
                                }};
    table["labels"] = {"labels", "print the text of each label that `snapshot` would draw, back to front, a line each", labels};
}

}  // namespace host
