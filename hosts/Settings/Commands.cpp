// The Settings host's commands.
#include "Settings.h"
#include "../NibOutlets.h"
#include "../Printable.h"

#include <Foundation/Foundation.h>
#include <Preferences/PSViewController.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UISwipeGestureRecognizer.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITouch.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>

namespace settings {
namespace {

using Args = std::vector<std::string>;

std::vector<UIView*> subviewsOf(UIView* view) {
    std::vector<UIView*> out;
    id list = objc_msgSend<id()>(view, "subviews"_sel);
    NSUInteger n = objc_msgSend<NSUInteger()>(list, "count"_sel);
    for (NSUInteger i = 0; i < n; ++i)
        out.push_back(static_cast<UIView*>(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, i)));
    return out;
}

UIViewController* topPage() { return platform::SettingsStack::shared().top(); }

// The page's outlets by name, as its nib connects them to its owner.
std::vector<std::string> outletNames(UIViewController* page) {
    id nib = objc_msgSend<id()>(page, "nibName"_sel);
    id bundle = objc_msgSend<id()>(page, "nibBundle"_sel);
    if (nib == nil || bundle == nil) return {};
    std::string folder = platform::devicePath(to_string(static_cast<NSString*>(objc_msgSend<id()>(bundle, "bundlePath"_sel))));
    return host::nibOutlets((std::filesystem::path(folder) / (to_string(static_cast<NSString*>(nib)) + ".nib.json")).string(),
                            "File's Owner");
}

// The view an outlet the page's nib declares (one of `declared`) holds, or
// nil: any other name is never sent to the page.
id outletView(UIViewController* page, const std::string& name, const std::vector<std::string>& declared) {
    if (page == nullptr || !host::declares(declared, name)) return nil;
    SEL getter = sel_registerName(name.c_str());
    if (!objc_msgSend<BOOL(SEL)>(page, "respondsToSelector:"_sel, getter)) return nil;
    id v = objc_msgSend<id()>(page, getter);
    return objc_isKindOfClass(v, UIView::cls()) ? v : nil;
}

id outletView(UIViewController* page, const std::string& name) {
    return page != nullptr ? outletView(page, name, outletNames(page)) : nil;
}

std::string number(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

void dumpView(Context& c, UIView* view, int depth, const std::map<UIView*, std::string>& outlets) {
    std::ostream& o = *c.out;
    o << std::string(2 * depth, ' ') << object_getClassName(view);
    if (auto it = outlets.find(view); it != outlets.end()) o << " outlet=" << it->second;
    NSInteger tag = objc_msgSend<NSInteger()>(view, "tag"_sel);
    if (tag != 0) o << " tag=" << tag;
    if (objc_isKindOfClass(view, UISwitch::cls())) o << " on=" << (objc_msgSend<BOOL()>(view, "isOn"_sel) ? "YES" : "NO");
    if (objc_isKindOfClass(view, UILabel::cls()))
        o << " text=\"" << host::printable(to_string(static_cast<NSString*>(objc_msgSend<id()>(view, "text"_sel)))) << "\"";
    if (objc_isKindOfClass(view, UIButton::cls()))
        o << " title=\"" << host::printable(to_string(static_cast<NSString*>(objc_msgSend<id()>(view, "currentTitle"_sel))))
          << "\"";
    CGRect f = objc_msgSend<CGRect()>(view, "frame"_sel);
    o << " frame=" << number(f.origin.x) << "," << number(f.origin.y) << "," << number(f.size.width) << ","
      << number(f.size.height);
    if (auto* iv = objc_isKindOfClass(view, UIImageView::cls()) ? static_cast<UIImageView*>(view) : nullptr) {
        id frames = objc_msgSend<id()>(iv, "animationImages"_sel);
        NSUInteger n = frames ? objc_msgSend<NSUInteger()>(frames, "count"_sel) : 0;
        long shown = platform::imageViewFrameIndex(iv);
        o << " animating=" << (objc_msgSend<BOOL()>(iv, "isAnimating"_sel) ? "YES" : "NO") << " frames=" << n
          << " duration=" << number(objc_msgSend<double()>(iv, "animationDuration"_sel))
          << " shown=" << (shown >= 0 ? std::to_string(shown) : std::string(objc_msgSend<id()>(iv, "image"_sel) ? "image" : "none"));
    }
    o << "\n";
    for (UIView* sub : subviewsOf(view)) dumpView(c, sub, depth + 1, outlets);
}

bool dump(Context& c, const Args&) {
    UIViewController* page = topPage();
    if (page == nullptr) {
        *c.err << "dump: no page is shown\n";
        return false;
    }
    std::map<UIView*, std::string> outlets;
    std::vector<std::string> declared = outletNames(page);
    for (const std::string& name : declared)
        if (id v = outletView(page, name, declared)) outlets[static_cast<UIView*>(v)] = name;
    *c.out << "page " << object_getClassName(page) << " depth=" << platform::SettingsStack::shared().depth() << "\n";
    dumpView(c, static_cast<UIView*>(objc_msgSend<id()>(page, "view"_sel)), 1, outlets);
    return true;
}

bool toggle(Context& c, const Args& a) {
    id v = outletView(topPage(), a[0]);
    if (!objc_isKindOfClass(v, UISwitch::cls())) {
        *c.err << "toggle: the page has no switch outlet '" << a[0] << "'\n";
        return false;
    }
    BOOL before = objc_msgSend<BOOL()>(v, "isOn"_sel);
    if (!platform::toggleSwitch(static_cast<UISwitch*>(v))) {
        *c.err << "toggle: the switch '" << a[0] << "' cannot be reached\n";
        return false;
    }
    BOOL after = objc_msgSend<BOOL()>(v, "isOn"_sel);
    *c.out << "toggle " << a[0] << " on=" << (after ? "YES" : "NO") << "\n";
    // A page puts a switch back to the stored value when its store failed.
    if (after == before) {
        *c.err << "toggle: the switch '" << a[0] << "' could not be stored; it shows the stored value\n";
        return false;
    }
    return true;
}

// The first button of the tree whose touch-up-inside action is `action`.
UIButton* buttonWithAction(UIView* view, SEL action) {
    if (auto* b = objc_isKindOfClass(view, UIButton::cls()) ? static_cast<UIButton*>(view) : nullptr)
        for (const auto& t : b->_controlTargets)
            if (t.action == action && (t.events & UIControlEventTouchUpInside)) return b;
    for (UIView* sub : subviewsOf(view))
        if (UIButton* b = buttonWithAction(sub, action)) return b;
    return nullptr;
}

bool tap(Context& c, const Args& a) {
    UIViewController* page = topPage();
    auto* root = static_cast<UIView*>(objc_msgSend<id()>(page, "view"_sel));
    if (UIButton* b = buttonWithAction(root, sel_registerName(a[0].c_str()))) {
        if (!objc_msgSend<BOOL()>(b, "isEnabled"_sel) || !platform::viewIsReachable(b)) {
            *c.err << "tap: the button of " << a[0] << " cannot be reached\n";
            return false;
        }
        Strong<UIButton> keep(b);
        objc_msgSend<void(NSUInteger)>(b, "sendActionsForControlEvents:"_sel, UIControlEventTouchUpInside);
        *c.out << "tap " << a[0] << "\n";
        return true;
    }
    id v = outletView(page, a[0]);
    if (v == nil) {
        *c.err << "tap: the page has no button of action '" << a[0] << "' and no outlet of that name\n";
        return false;
    }
    int fired = platform::tapView(static_cast<UIView*>(v));
    *c.out << "tap " << a[0] << " recognisers=" << fired << "\n";
    return true;
}

bool swipe(Context& c, const Args& a) {
    static const std::map<std::string, UISwipeGestureRecognizerDirection> directions = {
        {"left", UISwipeGestureRecognizerDirectionLeft}, {"right", UISwipeGestureRecognizerDirectionRight},
        {"up", UISwipeGestureRecognizerDirectionUp}, {"down", UISwipeGestureRecognizerDirectionDown}};
    auto d = directions.find(a[0]);
    if (d == directions.end()) {
        *c.err << "swipe: the direction is left, right, up or down, not '" << a[0] << "'\n";
        return false;
    }
    id v = outletView(topPage(), a[1]);
    if (v == nil) {
        *c.err << "swipe: the page has no outlet '" << a[1] << "'\n";
        return false;
    }
    int fired = platform::swipeView(static_cast<UIView*>(v), d->second);
    *c.out << "swipe " << a[0] << " " << a[1] << " recognisers=" << fired << "\n";
    return true;
}

bool back(Context& c, const Args&) {
    if (!platform::SettingsStack::shared().back()) {
        *c.err << "back: the first page is shown\n";
        return false;
    }
    return true;
}

bool run(Context& c, const Args& a) {
    char* end = nullptr;
    double seconds = std::strtod(a[0].c_str(), &end);
    if (a[0].empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 86400) {
        *c.err << "run: bad number of seconds '" << a[0] << "'\n";
        return false;
    }
    platform::RunLoop::main().runFor(seconds);
    return true;
}

bool snapshot(Context& c, const Args& a) {
    std::filesystem::path p(a[0]);
    if (!p.is_absolute()) p = std::filesystem::path(c.startDirectory) / p;
    auto* view = static_cast<UIView*>(objc_msgSend<id()>(topPage(), "view"_sel));
    double scale = objc_msgSend<double()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "scale"_sel);
    std::string error;
    if (!platform::writeScreenPNG(p.string(), {view}, scale, &error)) {
        *c.err << "snapshot: cannot write " << a[0] << ": " << error << "\n";
        return false;
    }
    *c.out << "snapshot -> " << a[0] << "\n";
    return true;
}

bool quit(Context& c, const Args&) {
    c.quit = true;
    return true;
}

struct Command {
    size_t arguments;
    const char* usage;
    std::function<bool(Context&, const Args&)> run;
};

const std::map<std::string, Command>& table() {
    static const std::map<std::string, Command> t = {
        {"dump", {0, "dump", dump}},
        {"toggle", {1, "toggle OUTLET", toggle}},
        {"tap", {1, "tap NAME", tap}},
        {"swipe", {2, "swipe left|right|up|down OUTLET", swipe}},
        {"back", {0, "back", back}},
        {"run", {1, "run SECONDS", run}},
        {"snapshot", {1, "snapshot FILE", snapshot}},
        {"quit", {0, "quit", quit}},
    };
    return t;
}

}  // namespace

const char* commandHelp() {
    return "  dump                       the page shown: each view with its class, outlet, tag, switch state,\n"
           "                             frame, and an image view's animation and the frame it shows\n"
           "  toggle OUTLET              a user's change of that outlet's switch\n"
           "  tap NAME                   a user's tap on the button whose action is NAME (e.g. button2Tap:),\n"
           "                             or on the outlet NAME (its tap recognisers)\n"
           "  swipe left|right|up|down OUTLET   a user's swipe across that outlet's view\n"
           "  back                       back to the page below\n"
           "  run SECONDS                serve the main loop that long\n"
           "  snapshot FILE              the page shown as a PNG\n"
           "  quit                       end the app\n";
}

void showTop(Context& c) {
    UIViewController* page = topPage();
    size_t depth = platform::SettingsStack::shared().depth();
    if (page != nullptr && (page != c.shown || depth != c.shownDepth)) {
        bool pushed = depth > c.shownDepth;
        objc_msgSend<id()>(page, "view"_sel);
        if (pushed && c.shown != nullptr) objc_msgSend<void(BOOL)>(page, "viewWillAppear:"_sel, YES);
    }
    c.shown = page;
    c.shownDepth = depth;
}

bool runLine(Context& c, const std::string& line) {
    std::istringstream in(line);
    Args words;
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty() || words[0][0] == '#') return true;
    auto it = table().find(words[0]);
    if (it == table().end()) {
        *c.err << words[0] << ": unknown command\n";
        return false;
    }
    Args args(words.begin() + 1, words.end());
    if (args.size() != it->second.arguments) {
        *c.err << words[0] << ": usage: " << it->second.usage << "\n";
        return false;
    }
    if (topPage() == nullptr && words[0] != "quit" && words[0] != "run") {
        *c.err << words[0] << ": no page is shown\n";
        return false;
    }
    AutoreleasePool pool;
    bool ok = false;
    try {
        ok = it->second.run(c, args);
    } catch (NSException* e) {
        *c.err << words[0] << ": " << host::printable(to_string(static_cast<NSString*>(objc_msgSend<id()>(e, "reason"_sel))))
               << "\n";
        ok = false;
    }
    showTop(c);
    return ok;
}

}  // namespace settings
