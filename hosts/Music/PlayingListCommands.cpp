// Commands on the navigation bar and the "Playing list": print the current
// screen's right bar items, open the list through the queue button, drag
// and tap its rows, send the app to the background.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewController.h>
#include <platform/RunLoop.h>

#include <climits>
#include <ostream>
#include <string>
#include <vector>

namespace host {
namespace {

bool running(Context& c, const char* command) {
    if (c.app != nullptr && c.app->launched()) return true;
    *c.err << command << ": the app is not running\n";
    return false;
}

id navigation(Context& c) { return objc::as_id(c.app->songsNavigationController()); }
id topController(Context& c) { return objc_msgSend<id()>(navigation(c), "topViewController"_sel); }

// The screen whose bar the user sees: the list screen on top (inside a
// container, its list), else whatever controller is on top.
id currentScreen(Context& c) {
    if (id list = objc::as_id(c.app->currentScreen())) return list;
    return topController(c);
}

// The "Playing list" when it is the screen on top, else nil.
id shownList(Context& c) {
    Class listClass = objc_getClass("PlaylistTableViewController");
    id top = topController(c);
    return listClass != nil && objc_isKindOfClass(top, listClass) ? top : nil;
}

std::string text(id string) {
    return string != nil && objc_isKindOfClass(string, NSString::cls()) ? to_string(static_cast<NSString*>(string)) : "";
}

id rightItems(Context& c) {
    return objc_msgSend<id()>(objc_msgSend<id()>(currentScreen(c), "navigationItem"_sel), "rightBarButtonItems"_sel);
}

bool navbar(Context& c, const std::vector<std::string>&) {
    if (!running(c, "navbar")) return false;
    AutoreleasePool pool;
    id items = rightItems(c);
    printBarItems(c, items);
    return true;
}

// One line a row: "ROW persistentID title | detail", the playing row marked
// "*" and ending with its indicator's state.
void printRows(Context& c, id list) {
    auto* table = static_cast<UITableView*>(objc_msgSend<id()>(list, "tableView"_sel));
    NSInteger rows = objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 0);
    *c.out << "# Playing list, " << rows << " row(s)\n";
    platform::forEachRowCell(table, 0, ULLONG_MAX, [&](NSInteger, NSInteger row, UITableViewCell* cell) {
        id indicator = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(cell, "editingAccessoryView"_sel), "viewWithTag:"_sel, 99);
        NSInteger state = objc_msgSend<NSInteger()>(indicator, "playbackState"_sel);
        *c.out << (indicator != nil ? "* " : "  ") << row << " "
               << static_cast<unsigned long long>(objc_msgSend<NSInteger()>(cell, "tag"_sel)) << " "
               << printable(text(objc_msgSend<id()>(objc_msgSend<id()>(cell, "textLabel"_sel), "text"_sel))) << " | "
               << printable(text(objc_msgSend<id()>(objc_msgSend<id()>(cell, "detailTextLabel"_sel), "text"_sel)));
        if (indicator != nil) *c.out << (state == 1 ? " (playing)" : " (paused)");
        *c.out << "\n";
    });
}

bool playinglist(Context& c, const std::vector<std::string>&) {
    if (!running(c, "playinglist")) return false;
    AutoreleasePool pool;
    id items = rightItems(c);
    id button = nil;
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(items, "count"_sel); i < n && button == nil; ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        if (objc_msgSend<SEL()>(item, "action"_sel) == "showNowPlayingList:"_sel) button = item;
    }
    if (button == nil) {
        *c.err << "playinglist: the current screen has no queue button\n";
        return false;
    }
    platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(button));
    id list = shownList(c);
    if (list == nil) {
        *c.err << "playinglist: the queue button did not show the Playing list\n";
        return false;
    }
    c.forgetSwipe();
    printRows(c, list);
    return true;
}

id requireList(Context& c, const char* command) {
    if (!running(c, command)) return nil;
    id list = shownList(c);
    if (list == nil) *c.err << command << ": the Playing list is not shown\n";
    return list;
}

bool move(Context& c, const std::vector<std::string>& args) {
    AutoreleasePool pool;
    id list = requireList(c, "move");
    if (list == nil) return false;
    long long from = 0, to = 0;
    if (!parseWhole(c, "move", "FROM", args[0], 0, LONG_MAX, from) || !parseWhole(c, "move", "TO", args[1], 0, LONG_MAX, to))
        return false;
    auto* table = static_cast<UITableView*>(objc_msgSend<id()>(list, "tableView"_sel));
    if (!platform::dragTableRow(table, 0, from, to)) {
        *c.err << "move: cannot drag row " << from << " to " << to << " (the list has "
               << objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 0) << " row(s))\n";
        return false;
    }
    printRows(c, list);
    return true;
}

bool taprow(Context& c, const std::vector<std::string>& args) {
    AutoreleasePool pool;
    id list = requireList(c, "taprow");
    if (list == nil) return false;
    long long row = 0;
    if (!parseWhole(c, "taprow", "ROW", args[0], 0, LONG_MAX, row)) return false;
    auto* table = static_cast<UITableView*>(objc_msgSend<id()>(list, "tableView"_sel));
    if (!platform::tapTableRow(table, 0, row)) {
        *c.err << "taprow: cannot tap row " << row << " (the list has "
               << objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 0) << " row(s))\n";
        return false;
    }
    printRows(c, list);
    return true;
}

bool background(Context& c, const std::vector<std::string>&) {
    if (!running(c, "background")) return false;
    c.app->enterBackground();
    platform::RunLoop::main().runPending();
    c.forgetSwipe();
    return true;
}

Handler withArgs(size_t count, const char* usage, bool (*run)(Context&, const std::vector<std::string>&)) {
    return [count, usage, run](Context& c, const std::vector<std::string>& args) {
        if (args.size() != count) {
            *c.err << "usage: " << usage << "\n";
            return false;
        }
        return run(c, args);
    };
}

}  // namespace

void printBarItems(Context& c, id items) {
    NSUInteger n = objc_msgSend<NSUInteger()>(items, "count"_sel);
    if (n == 0) *c.out << "# no right bar items\n";
    for (NSUInteger i = 0; i < n; ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        std::string name = objc_msgSend<NSInteger()>(item, "systemItem"_sel) == UIBarButtonSystemItemBookmarks
                               ? "bookmarks"
                               : printable(text(objc_msgSend<id()>(item, "title"_sel)));
        *c.out << objc_msgSend<NSInteger()>(item, "tag"_sel) << " " << (name.empty() ? "-" : name) << "\n";
    }
}

void addPlayingListCommands(CommandTable& table) {
    table["navbar"] = {"navbar", "prints the current screen's right bar items, `TAG NAME` a line",
                       withArgs(0, "navbar", navbar)};
    table["playinglist"] = {"playinglist",
                            "taps the current screen's queue button and prints the Playing list's rows",
                            withArgs(0, "playinglist", playinglist)};
    table["move"] = {"move FROM TO", "drags a row of the Playing list to another place and prints the rows",
                     withArgs(2, "move FROM TO", move)};
    table["taprow"] = {"taprow ROW", "taps a row of the Playing list and prints the rows",
                       withArgs(1, "taprow ROW", taprow)};
    table["background"] = {"background", "sends the app to the background", withArgs(0, "background", background)};
}

}  // namespace host
