// Commands on the swipe buttons of list rows: swipe a row of the current
// screen and list its buttons, tap one of them.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>
#include <platform/Unicode.h>

#include <climits>
#include <cstdio>
#include <ostream>
#include <string>

namespace host {
namespace {

// The code points of UTF-8 text as "U+2715,U+0020"; "-" for no text.
std::string codePoints(const std::string& utf8) {
    if (utf8.empty()) return "-";
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned long cp = platform::unicode::decode(utf8, i);
        char buf[16];
        std::snprintf(buf, sizeof buf, "U+%04lX", cp);
        if (!out.empty()) out += ",";
        out += buf;
    }
    return out;
}

std::string colourText(id colour) {
    if (colour == nullptr) return "none";
    double r = 0, g = 0, b = 0, a = 0;
    objc_msgSend<BOOL(double*, double*, double*, double*)>(colour, "getRed:green:blue:alpha:"_sel, &r, &g, &b, &a);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f,%.3f,%.3f,%.3f", r, g, b, a);
    return buf;
}

std::string imageText(id image) {
    auto* picture = static_cast<UIImage*>(image);
    if (picture == nullptr) return "none";
    const std::string& path = picture->_fileName;
    if (path.empty()) return "unnamed";
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Swipes the row SECTION ROW (args) of the current screen; the command's
// name heads its error lines.
bool swipeRowAt(Context& c, const char* name, const std::vector<std::string>& args) {
    // A failed swipe leaves no swiped row behind.
    c.forgetSwipe();
    long long section = 0, row = 0;
    if (!parseWhole(c, name, "SECTION", args[0], 0, LONG_MAX, section) ||
        !parseWhole(c, name, "ROW", args[1], 0, LONG_MAX, row))
        return false;
    id screen = c.app ? objc::as_id(c.app->currentScreen()) : nil;
    if (screen == nullptr) {
        *c.err << name << ": no list screen is open\n";
        return false;
    }
    AutoreleasePool pool;
    auto* table = static_cast<UITableView*>(objc_msgSend<id()>(screen, "tableView"_sel));
    if (section >= objc_msgSend<NSInteger()>(table, "numberOfSections"_sel) ||
        row >= objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, section)) {
        *c.err << name << ": no row " << section << " " << row << " on this screen\n";
        return false;
    }
    auto* path = objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel,
                                                                  row, section);
    c.swipeButtons = platform::swipeRow(table, path);
    c.swipeScreen = screen;
    return true;
}

bool swipe(Context& c, const std::vector<std::string>& args) {
    if (!swipeRowAt(c, "swipe", args)) return false;
    for (const Strong<_UITableViewCellActionButton>& button : c.swipeButtons) {
        id title = objc_msgSend<id(NSUInteger)>(button.get(), "titleForState:"_sel, UIControlStateNormal);
        *c.out << objc_msgSend<NSInteger()>(button.get(), "tag"_sel) << " "
               << codePoints(to_string(static_cast<NSString*>(title))) << " "
               << colourText(objc_msgSend<id()>(button.get(), "backgroundColor"_sel)) << " "
               << imageText(objc_msgSend<id(NSUInteger)>(button.get(), "backgroundImageForState:"_sel,
                                                         UIControlStateNormal))
               << "\n";
    }
    if (c.swipeButtons.empty()) *c.out << "# no buttons\n";
    return true;
}

bool tap(Context& c, const std::vector<std::string>& args) {
    long long tag = 0;
    if (!parseWhole(c, "tap", "TAG", args[0], LONG_MIN, LONG_MAX, tag)) return false;
    // The buttons of a screen that is no longer the current one are gone.
    id screen = c.app ? objc::as_id(c.app->currentScreen()) : nil;
    if (screen == nil || c.swipeScreen.get() != screen) c.forgetSwipe();
    if (c.swipeButtons.empty()) {
        *c.err << "tap: no swiped row (swipe SECTION ROW first)\n";
        return false;
    }
    for (const Strong<_UITableViewCellActionButton>& button : c.swipeButtons) {
        if (objc_msgSend<NSInteger()>(button.get(), "tag"_sel) != tag) continue;
        platform::tapSwipeButton(button.get());
        return true;
    }
    *c.err << "tap: the last swipe has no button tagged " << tag << "\n";
    return false;
}

// The rows the current list screen has deleted from the library: a delete
// the library refused (locked, say) is no delete.
bool deletes(Context& c, const std::vector<std::string>&) {
    MusicTableViewController* screen = c.app ? c.app->currentScreen() : nullptr;
    if (screen == nullptr) {
        *c.err << "deletes: no list screen is open\n";
        return false;
    }
    *c.out << "deletes " << screen->_deletedEntities << "\n";
    return true;
}

// Taps the delete button of a row: the library's (tag 1), else the
// system's ("Delete"). A delete that asks first shows its question before
// the command ends; `action Delete` or `action Cancel` answers it.
bool deleteRow(Context& c, const std::vector<std::string>& args) {
    if (!swipeRowAt(c, "delete", args)) return false;
    _UITableViewCellActionButton* button = nullptr;
    for (const Strong<_UITableViewCellActionButton>& b : c.swipeButtons) {
        std::string title =
            to_string(static_cast<NSString*>(objc_msgSend<id(NSUInteger)>(b.get(), "titleForState:"_sel, UIControlStateNormal)));
        if (objc_msgSend<NSInteger()>(b.get(), "tag"_sel) == 1 || title == "Delete") {
            button = b.get();
            break;
        }
    }
    if (button == nullptr) {
        *c.err << "delete: the row has no delete button\n";
        c.forgetSwipe();
        return false;
    }
    auto* screen = c.app->currentScreen();
    NSInteger before = screen->_deleteCommits;
    size_t shown = platform::journal().size();
    Strong<MusicTableViewController> kept(screen);
    platform::tapSwipeButton(button);
    c.forgetSwipe();
    platform::RunLoop::main().runUntil(
        [&] { return kept->_deleteCommits != before || platform::journal().size() != shown; }, 2);
    platform::finishTransitions(2);
    return true;
}

}  // namespace

void addSwipeCommands(CommandTable& table) {
    table["swipe"] = {"swipe SECTION ROW",
                      "swipe a row of the current screen and print its buttons: tag title-code-points r,g,b,a image",
                      swipe};
    table["tap"] = {"tap TAG", "tap the button of that tag of the last swipe", tap};
    table["delete"] = {"delete SECTION ROW",
                       "tap the delete button of a row of the current screen (answer a question with action)",
                       deleteRow};
    table["deletes"] = {"deletes", "print how many rows the current list screen has deleted from the library", deletes};
}

}  // namespace host
