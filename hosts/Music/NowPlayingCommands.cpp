// Commands on the now-playing screen: show it with its bar and its two
// buttons, tap the add-to-playlist and edit buttons, print the playlist
// picker's rows.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <UIKit/UIKit.h>

#include <ostream>
#include <string>

namespace host {
namespace {

struct ButtonKind {
    const char* name;
    const char* action;
};
constexpr ButtonKind kAddButton{"add", "addToPlaylist:"};
constexpr ButtonKind kEditButton{"edit", "editItemOnNowPlayingView:"};

bool running(Context& c, const char* command) {
    if (c.app != nullptr && c.app->launched()) return true;
    *c.err << command << ": the app is not running\n";
    return false;
}

NSUInteger count(id array) { return objc_msgSend<NSUInteger()>(array, "count"_sel); }
id at(id array, NSUInteger i) { return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, i); }
std::string text(id s) {
    return s != nil && objc_isKindOfClass(s, NSString::cls()) ? printable(to_string(static_cast<NSString*>(s))) : "";
}

// The bar item of a button among the toolbars (kButtonToolbarTag) that stand inside
// the playback controls' direct subviews; its container in *container.
id buttonItem(Context& c, const ButtonKind& kind, id* container = nullptr) {
    id controls = objc_msgSend<id()>(objc::as_id(c.app->nowPlayingViewController()), "playbackControlsView"_sel);
    id subviews = objc_msgSend<id()>(controls, "subviews"_sel);
    for (NSUInteger i = 0, n = count(subviews); i < n; ++i) {
        id inner = objc_msgSend<id()>(at(subviews, i), "subviews"_sel);
        for (NSUInteger k = 0, m = count(inner); k < m; ++k) {
            id bar = at(inner, k);
            if (!objc_isKindOfClass(bar, UIToolbar::cls()) || objc_msgSend<NSInteger()>(bar, "tag"_sel) != kButtonToolbarTag) continue;
            id items = objc_msgSend<id()>(bar, "items"_sel);
            if (count(items) == 0) continue;
            id item = at(items, 0);
            if (objc_msgSend<SEL()>(item, "action"_sel) != sel_registerName(kind.action)) continue;
            if (container) *container = at(subviews, i);
            return item;
        }
    }
    return nil;
}

// Shows the now-playing screen and prints its item, its right bar items and
// its two buttons' frames on the screen.
bool nowPlayingScreen(Context& c, const std::vector<std::string>&) {
    if (!running(c, "nowplayingscreen")) return false;
    AutoreleasePool pool;
    c.app->showNowPlaying();
    platform::finishTransitions(kTransitionWait);
    id controller = objc::as_id(c.app->nowPlayingViewController());
    id item = objc_msgSend<id()>(controller, "item"_sel);
    if (objc_isKindOfClass(item, MPMediaItem::cls()))
        *c.out << "nowplaying " << objc_msgSend<unsigned long long()>(item, "persistentID"_sel) << " "
               << text(objc_msgSend<id(id)>(item, "valueForProperty:"_sel, "title"_ns)) << "\n";
    else
        *c.out << "# nothing is loaded\n";
    printBarItems(c, objc_msgSend<id()>(objc_msgSend<id()>(controller, "navigationItem"_sel), "rightBarButtonItems"_sel));
    id view = objc_msgSend<id()>(controller, "view"_sel);
    for (const ButtonKind& kind : {kAddButton, kEditButton}) {
        id container = nil;
        if (buttonItem(c, kind, &container) == nil) {
            *c.out << "# no " << kind.name << " button\n";
            continue;
        }
        CGRect f = objc_msgSend<CGRect()>(container, "frame"_sel);
        CGPoint p = objc_msgSend<CGPoint(CGPoint, id)>(objc_msgSend<id()>(container, "superview"_sel),
                                                       "convertPoint:toView:"_sel, f.origin, view);
        *c.out << kind.name << " button " << p.x << " " << p.y << " " << f.size.width << " " << f.size.height << "\n";
    }
    return true;
}

bool tapButton(Context& c, const ButtonKind& kind, const char* command) {
    if (!running(c, command)) return false;
    AutoreleasePool pool;
    id item = buttonItem(c, kind);
    if (item == nil || !c.app->nowPlayingShown()) {
        *c.err << command << ": no " << kind.name << " button is shown (nowplayingscreen first)\n";
        return false;
    }
    platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(item));
    platform::finishTransitions(kTransitionWait);
    return true;
}

// The add-to-playlist panel on top, or nil.
id pickerPanel() {
    Class panelClass = objc_getClass("PlaylistSelectionView");
    return panelClass != nil ? openPanel(panelClass) : nil;
}

// The picker rows: `* ROW NAME` for the chosen row, `  ROW NAME` for the
// others, after a line with the count, the chosen row and the row the
// picker shows (`-` while the keyboard takes its place).
bool playlists(Context& c, const std::vector<std::string>&) {
    if (!running(c, "playlists")) return false;
    AutoreleasePool pool;
    id panel = pickerPanel();
    if (panel == nil) {
        *c.err << "playlists: the add-to-playlist picker is not open (addtoplaylist first)\n";
        return false;
    }
    id names = objc_msgSend<id(id)>(objc_msgSend<id()>(panel, "genreDictionary"_sel), "objectForKey:"_sel, "name"_ns);
    long chosen = objc_msgSend<long()>(panel, "playlistIndex"_sel);
    id field = objc_msgSend<id()>(panel, "titleTextField"_sel);
    id picker = nil;
    id inputs = objc_msgSend<id()>(objc_msgSend<id()>(field, "inputView"_sel), "subviews"_sel);
    for (NSUInteger i = 0, n = count(inputs); i < n; ++i)
        if (objc_isKindOfClass(at(inputs, i), UIPickerView::cls())) picker = at(inputs, i);
    *c.out << "# Add to playlist, " << count(names) << " row(s), chosen " << chosen << ", picker at ";
    if (picker != nil) *c.out << objc_msgSend<NSInteger(NSInteger)>(picker, "selectedRowInComponent:"_sel, 0);
    else *c.out << "-";
    *c.out << ", field \"" << text(objc_msgSend<id()>(field, "text"_sel)) << "\"\n";
    for (NSUInteger i = 0, n = count(names); i < n; ++i)
        *c.out << (static_cast<long>(i) == chosen ? "* " : "  ") << i << " " << text(at(names, i)) << "\n";
    return true;
}

}  // namespace

void addNowPlayingCommands(CommandTable& table) {
    table["nowplayingscreen"] = {"nowplayingscreen",
                                 "show the now-playing screen: prints `nowplaying PID TITLE`, its right bar items "
                                 "(`TAG NAME`) and `add button X Y W H` / `edit button X Y W H` (or `# no ... button`)",
                                 nowPlayingScreen};
    table["addtoplaylist"] = {"addtoplaylist", "tap the now-playing screen's add button and print the picker's rows",
                              [](Context& c, const std::vector<std::string>& args) {
                                  return tapButton(c, kAddButton, "addtoplaylist") && playlists(c, args);
                              }};
    table["playlists"] = {"playlists", "print the add-to-playlist picker's rows (`*` the chosen one)", playlists};
    table["editnowplaying"] = {"editnowplaying", "tap the now-playing screen's edit button (the song's edit sheet opens)",
                               [](Context& c, const std::vector<std::string>&) {
                                   return tapButton(c, kEditButton, "editnowplaying");
                               }};
}

}  // namespace host
