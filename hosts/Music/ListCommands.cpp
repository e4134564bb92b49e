// Commands on the list screens: open one, print its rows, fill an item
// record for a row.
#include "Commands.h"

#include <MusicApp/MusicApp.h>
#include <Foundation/NSIndexPath.h>
#include <UIKit/UIKit.h>

#include <algorithm>

#include <dlfcn.h>
#include <charconv>
#include <climits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace host {

bool parseID(Context& c, const char* command, const std::string& text, unsigned long long& out) {
    if (!text.empty() && text[0] == '-') {
        long long v = 0;
        if (!parseWhole(c, command, "ID", text, LLONG_MIN, LLONG_MAX, v)) return false;
        out = static_cast<unsigned long long>(v);
        return true;
    }
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    if (end != text.data() + text.size() || text.empty() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        *c.err << command << ": ID must be a whole number, not '" << text << "'\n";
        return false;
    }
    if (ec == std::errc::result_out_of_range) {
        *c.err << command << ": ID " << text << " is too large (at most " << ULLONG_MAX << ")\n";
        return false;
    }
    return true;
}

bool screenID(Context& c, const char* command, const std::vector<std::string>& args,
              std::optional<unsigned long long>& out) {
    out.reset();
    if (args.size() < 2) return true;
    unsigned long long v = 0;
    if (!parseID(c, command, args[1], v)) return false;
    out = v;
    return true;
}

namespace {

// Rows printed by `rows` without a window.
constexpr long long kDefaultRowCap = 200;

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
    if (!screenID(c, "open", args, pid)) return false;
    std::string error;
    // The swiped row belongs to the screen being left.
    c.forgetSwipe();
    if (c.app == nullptr) {
        *c.err << "open: the app is not running\n";
        return false;
    }
    unsigned long readFailures = platform::mediaLibraryReadFailures().total();
    if (!c.app->openScreen(args[0], pid, &error, args.size() > 1 ? args[1] : std::string())) {
        // A library that could not be read is why, whatever the screen says.
        if (platform::mediaLibraryReadFailures().total() != readFailures && reportLibraryTrouble(c, "open"))
            return false;
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
    long long first = 0;
    long long wanted = kDefaultRowCap;
    if (!args.empty() && (!parseWhole(c, "rows", "FIRST", args[0], 0, LLONG_MAX, first) ||
                          !parseWhole(c, "rows", "COUNT", args[1], 0, LLONG_MAX, wanted)))
        return false;
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
        if (!title.empty()) *c.out << " " << printable(title);
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
    long long section = 0, row = 0;
    if (!parseWhole(c, "entry", "SECTION", args[0], 0, LONG_MAX, section) ||
        !parseWhole(c, "entry", "ROW", args[1], 0, LONG_MAX, row))
        return false;
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
           << "mediaItem.title=" << printable(text(objc_msgSend<id()>(item, "title"_sel))) << "\n"
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
