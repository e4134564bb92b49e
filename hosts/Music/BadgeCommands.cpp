// The badges the injected library shows over the screen.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace host {
namespace {

constexpr NSInteger kTextTag = 1;
constexpr NSInteger kSubTextTag = 2;

std::string labelText(id badge, NSInteger tag) {
    id label = objc_msgSend<id(NSInteger)>(badge, "viewWithTag:"_sel, tag);
    if (label == nil || !objc_msgSend<BOOL(SEL)>(label, "respondsToSelector:"_sel, "text"_sel)) return "";
    id text = objc_msgSend<id()>(label, "text"_sel);
    return text != nil ? to_string(static_cast<NSString*>(text)) : "";
}

// Prints the badges in `view`'s tree, front-most last, each once.
void printBadges(Context& c, id view, Class badgeClass, std::set<id>& found) {
    if (objc_isKindOfClass(view, badgeClass)) {
        if (!found.insert(view).second) return;
        *c.out << printable(labelText(view, kTextTag));
        std::string sub = labelText(view, kSubTextTag);
        if (!sub.empty()) *c.out << " / " << printable(sub);
        *c.out << "\n";
        return;
    }
    id subviews = objc_msgSend<id()>(view, "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i)
        printBadges(c, objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i), badgeClass, found);
}

bool badges(Context& c, const std::vector<std::string>&) {
    Class badgeClass = objc_getClass("MessageView");
    if (badgeClass == nullptr) {
        *c.err << "badges: no injected library shows badges\n";
        return false;
    }
    AutoreleasePool pool;
    std::set<id> found;
    for (UIView* view : shownViews(c)) printBadges(c, objc::as_id(view), badgeClass, found);
    if (found.empty()) *c.out << "# no badge\n";
    return true;
}

}  // namespace

void addBadgeCommands(CommandTable& table) {
    table["badges"] = {"badges", "print the badges shown over the screen: TEXT [/ SUBTEXT] a line", badges};
}

}  // namespace host
