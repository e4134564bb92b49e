// Commands on the list screens: open one, print its rows, fill an item
// record for a row.
#include "Commands.h"

#include <MusicApp/MusicApp.h>
#include <Foundation/NSIndexPath.h>
#include <UIKit/UIKit.h>

#include <algorithm>

#include <dlfcn.h>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace host {
namespace {

// Rows printed by `rows` without a window.
constexpr long kDefaultRowCap = 200;

// A persistent id: unsigned decimal, or the signed spelling of the same bits.
bool parseID(const std::string& text, unsigned long long& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    if (text[0] == '-') {
        long long v = std::strtoll(text.c_str(), &end, 10);
        out = static_cast<unsigned long long>(v);
    } else {
        if (text[0] == '+') return false;
        out = std::strtoull(text.c_str(), &end, 10);
    }
    return errno == 0 && end != nullptr && *end == '\0';
}

bool parseCount(const std::string& text, long& out) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || end == nullptr || *end != '\0' || v < 0) return false;
    out = v;
    return true;
}

std::string screenList() {
    std::string out;
    for (const std::string& name : platform::MusicApp::screenNames()) {
        if (!out.empty()) out += ", ";
        out += name;
        if (platform::MusicApp::screenTakesID(name)) out += " ID";
    }
    return out;
}

bool open(Context& c, const std::vector<std::string>& args) {
    std::optional<unsigned long long> pid;
    if (args.size() > 1) {
        unsigned long long v = 0;
        if (!parseID(args[1], v)) {
            *c.err << "open: bad id '" << args[1] << "'\n";
            return false;
        }
        pid = v;
    }
    std::string error;
    // The swiped row belongs to the screen being left.
    c.forgetSwipe();
    if (c.app == nullptr) {
        *c.err << "open: the app is not running\n";
        return false;
    }
    if (!c.app->openScreen(args[0], pid, &error, args.size() > 1 ? args[1] : std::string())) {
        *c.err << "open: " << error;
        if (error.find("screen") != std::string::npos) *c.err << " (screens: " << screenList() << ")";
        *c.err << "\n";
        return false;
    }
    return true;
}

// The current list screen, or nil after an error naming the command.
id currentScreen(Context& c, const char* command) {
    id screen = c.app ? objc::as_id(c.app->currentScreen()) : nil;
    if (screen == nullptr) *c.err << command << ": no list screen is open\n";
    return screen;
}

// A table row in table order.
struct Row {
    NSInteger section;
    NSInteger row;
};

std::string text(id string) {
    const char* t = string != nullptr ? objc_msgSend<const char*()>(string, "UTF8String"_sel) : nullptr;
    return t ? t : "";
}

// Prints rows [first, first + count) of the current screen, in table order,
// each from the cell the table's data source makes for it (cells are reused,
// so any number of rows takes the memory of one); the table then shows the
// first of them at its top.
bool rows(Context& c, const std::vector<std::string>& args) {
    long first = 0;
    long wanted = kDefaultRowCap;
    if (!args.empty() && (!parseCount(args[0], first) || !parseCount(args[1], wanted))) {
        *c.err << "rows: FIRST and COUNT must be whole numbers\n";
        return false;
    }
    id screen = currentScreen(c, "rows");
    if (screen == nullptr) return false;
    AutoreleasePool pool;
    auto* table = static_cast<UITableView*>(objc_msgSend<id()>(screen, "tableView"_sel));
    std::optional<Row> top;
    size_t shown = platform::forEachRowCell(table, static_cast<unsigned long long>(first),
                                            static_cast<unsigned long long>(wanted),
                                            [&](NSInteger section, NSInteger row, UITableViewCell* cell) {
        if (!top) top = Row{section, row};
        *c.out << section << " " << row;
        std::string title = text(objc_msgSend<id()>(cell, "title"_sel));
        if (!title.empty()) *c.out << " " << title;
        *c.out << "\n";
    });
    if (top) {
        id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel,
                                                         top->row, top->section);
        objc_msgSend<void(id, NSInteger, BOOL)>(table, "scrollToRowAtIndexPath:atScrollPosition:animated:"_sel, path,
                                                UITableViewScrollPositionTop, NO);
        objc_msgSend<void()>(table, "layoutIfNeeded"_sel);
    }
    if (args.empty() && shown == static_cast<size_t>(wanted)) {
        unsigned long long more = 0;
        for (NSInteger s = 0, n = objc_msgSend<NSInteger()>(table, "numberOfSections"_sel); s < n; ++s)
            more += std::max<NSInteger>(0, objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, s));
        more -= shown;
        if (more > 0) *c.out << "# " << more << " more rows (rows FIRST COUNT)\n";
    }
    return true;
}

using ItemEntryForRowFn = id (*)(id controller, id tableView, NSInteger section, NSInteger row);


std::string indexPathText(id path) {
    if (path == nullptr) return "nil";
    return std::to_string(objc_msgSend<NSInteger()>(path, "section"_sel)) + "," +
           std::to_string(objc_msgSend<NSInteger()>(path, "row"_sel));
}

// Fills an item record for a row of the current screen, as a swipe on that
// row does, and prints its fields.
bool entry(Context& c, const std::vector<std::string>& args) {
    long section = 0, row = 0;
    if (!parseCount(args[0], section) || !parseCount(args[1], row)) {
        *c.err << "entry: SECTION and ROW must be whole numbers\n";
        return false;
    }
    ItemEntryForRowFn fill = nullptr;
    for (void* handle : c.libraries)
        if (!fill) fill = reinterpret_cast<ItemEntryForRowFn>(dlsym(handle, "Cantrel_itemEntryForRow"));
    if (fill == nullptr) {
        *c.err << "entry: no injected library makes item records\n";
        return false;
    }
    id screen = currentScreen(c, "entry");
    if (screen == nullptr) return false;
    AutoreleasePool pool;
    id table = objc_msgSend<id()>(screen, "tableView"_sel);
    if (section >= objc_msgSend<NSInteger()>(table, "numberOfSections"_sel) ||
        row >= objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, section)) {
        *c.err << "entry: no row " << section << " " << row << " on this screen\n";
        return false;
    }
    id record = fill(screen, table, section, row);
    id item = objc_msgSend<id()>(record, "mediaItem"_sel);
    id collection = objc_msgSend<id()>(record, "mediaItemCollection"_sel);
    id artwork = objc_msgSend<id()>(record, "artwork"_sel);
    *c.out << "viewIndex=" << objc_msgSend<long()>(record, "viewIndex"_sel) << "\n"
           << "currentIndexPath=" << indexPathText(objc_msgSend<id()>(record, "currentIndexPath"_sel)) << "\n"
           << "origionalIndexPath=" << indexPathText(objc_msgSend<id()>(record, "origionalIndexPath"_sel)) << "\n"
           << "mediaItem.persistentID=" << objc_msgSend<unsigned long long()>(item, "persistentID"_sel) << "\n"
           << "mediaItem.title=" << text(objc_msgSend<id()>(item, "title"_sel)) << "\n"
           << "mediaItemCollection.persistentID="
           << objc_msgSend<unsigned long long()>(collection, "persistentID"_sel) << "\n"
           << "mediaItemCollection.count=" << objc_msgSend<NSUInteger()>(collection, "count"_sel) << "\n"
           << "artwork=" << (artwork != nullptr ? "YES" : "NO") << "\n";
    return true;
}

}  // namespace

void addListCommands(CommandTable& table) {
    table["entry"] = {"entry SECTION ROW",
                      "fill an item record for a row of the current screen, as a swipe does, and print its fields",
                      entry};
    table["open"] = {"open SCREEN [ID]",
                     "make a list screen current: songs, artists, albums, album ID, composers, genres, playlists, "
                     "playlist ID, compilations",
                     open};
    table["rows"] = {"rows [FIRST COUNT]",
                     "show the current screen's rows FIRST to FIRST+COUNT-1 (table order; default the first 200) and "
                     "print each as: section row title",
                     rows};
}

}  // namespace host
