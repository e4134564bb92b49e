// Commands on the flipside album view: open it on the playing album and tap
// its edit button.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIKit.h>

#include <ostream>
#include <string>

namespace host {
namespace {

id flipsideHeader(Context& c) {
    id controller = objc::as_id(c.app->flipsideViewController());
    if (controller == nil) return nil;
    return objc_msgSend<id()>(objc_msgSend<id()>(controller, "tableView"_sel), "tableHeaderView"_sel);
}

// The header's edit toolbar (kButtonToolbarTag inside one of its direct subviews), or nil.
id editToolbar(id header) {
    id subviews = header ? objc_msgSend<id()>(header, "subviews"_sel) : nil;
    for (NSUInteger i = 0, n = subviews ? objc_msgSend<NSUInteger()>(subviews, "count"_sel) : 0; i < n; ++i) {
        id inner = objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i), "subviews"_sel);
        for (NSUInteger k = 0, m = objc_msgSend<NSUInteger()>(inner, "count"_sel); k < m; ++k) {
            id view = objc_msgSend<id(NSUInteger)>(inner, "objectAtIndex:"_sel, k);
            if (objc_isKindOfClass(view, UIToolbar::cls()) && objc_msgSend<NSInteger()>(view, "tag"_sel) == kButtonToolbarTag)
                return view;
        }
    }
    return nil;
}

bool launchedFor(Context& c, const char* command) {
    if (c.app != nullptr && c.app->launched()) return true;
    *c.err << command << ": the app is not running\n";
    return false;
}

// Opens the flipside view of the playing album, lays its header out and
// prints the tracks and the edit button's frame; with FILE, a picture of the
// flipside view too.
bool flipside(Context& c, const std::vector<std::string>& args) {
    if (!launchedFor(c, "flipside")) return false;
    AutoreleasePool pool;
    c.app->showFlipside();
    id controller = objc::as_id(c.app->flipsideViewController());
    id header = flipsideHeader(c);
    if (header != nil) objc_msgSend<void()>(header, "layoutSubviews"_sel);
    id source = controller ? objc_msgSend<id()>(controller, "dataSource"_sel) : nil;
    id entities = source ? objc_msgSend<id()>(source, "entities"_sel) : nil;
    NSUInteger n = entities ? objc_msgSend<NSUInteger()>(entities, "count"_sel) : 0;
    *c.out << "flipside " << n << " tracks\n";
    for (NSUInteger i = 0; i < n; ++i) {
        id item = objc_msgSend<id(NSUInteger)>(entities, "objectAtIndex:"_sel, i);
        *c.out << objc_msgSend<unsigned long long()>(item, "persistentID"_sel) << " "
               << printableText(objc_msgSend<id(id)>(item, "valueForProperty:"_sel, NSString::make("title"))) << "\n";
    }
    id toolbar = editToolbar(header);
    if (toolbar == nil) {
        *c.out << "# no edit button\n";
    } else {
        CGRect f = objc_msgSend<CGRect()>(objc_msgSend<id()>(toolbar, "superview"_sel), "frame"_sel);
        *c.out << "edit button " << f.origin.x << " " << f.origin.y << " " << f.size.width << " " << f.size.height
               << "\n";
    }
    if (args.empty() || controller == nil) return true;
    std::string error;
    std::vector<UIView*> views = {static_cast<UIView*>(objc_msgSend<id()>(controller, "view"_sel))};
    if (!platform::writeScreenPNG(resolveHostPath(c, args[0]), views, 0, &error)) {
        *c.err << "flipside: cannot write " << args[0] << ": " << error << "\n";
        return false;
    }
    *c.out << "picture -> " << args[0] << "\n";
    return true;
}

// Taps the flipside header's edit button: the edit sheet opens on the album.
bool editFlipside(Context& c, const std::vector<std::string>&) {
    if (!launchedFor(c, "editflipside")) return false;
    AutoreleasePool pool;
    id toolbar = editToolbar(flipsideHeader(c));
    id items = toolbar ? objc_msgSend<id()>(toolbar, "items"_sel) : nil;
    if (items == nil || objc_msgSend<NSUInteger()>(items, "count"_sel) == 0) {
        *c.err << "editflipside: no edit button is shown (flipside first)\n";
        return false;
    }
    id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 0);
    objc_msgSend<void()>(objc_msgSend<id()>(item, "target"_sel), objc_msgSend<SEL()>(item, "action"_sel));
    platform::finishTransitions(2);
    return true;
}

}  // namespace

void addFlipsideCommands(CommandTable& table) {
    table["flipside"] = {"flipside [FILE]",
                         "open the flipside view of the playing album: prints `flipside N tracks`, one "
                         "`persistentID title` a track, and `edit button X Y W H` (or `# no edit button`); with FILE "
                         "a PNG of the flipside view",
                         flipside};
    table["editflipside"] = {"editflipside", "tap the flipside header's edit button (the album's edit sheet opens)",
                             editFlipside};
}

}  // namespace host
