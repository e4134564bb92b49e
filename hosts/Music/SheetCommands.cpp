// Commands on the edit sheet: print it, focus, clear and type into its
// fields, scroll and close their pickers, drag across the stars, tap the
// alert's actions, and set the social services' availability.
#include "Commands.h"
#include "../NibOutlets.h"

#include <Foundation/Foundation.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>

#include <climits>
#include <map>
#include <cstdlib>
#include <ostream>
#include <string>

namespace host {
namespace {

// The library's resource bundle, which holds the panels' nibs.
constexpr char kLibraryBundle[] = "Library/Application Support/Cantrel/Cantrel.bundle";

id send(id obj, const char* selector) { return objc_msgSend<id()>(obj, sel_registerName(selector)); }

// An outlet of the panel by name, or nil when its nib (the library's
// CLASS.nib.json) declares none of that name: any other name is never sent.
id outlet(id panel, const std::string& name) {
    if (panel == nil) return nil;
    static std::map<std::string, std::vector<std::string>> declared;  // by panel class, read once
    std::string cls = object_getClassName(panel);
    auto it = declared.find(cls);
    if (it == declared.end())
        it = declared.emplace(cls, nibOutlets(platform::devicePath(kLibraryBundle) + "/" + cls + ".nib.json", "panel")).first;
    if (!declares(it->second, name)) return nil;
    SEL sel = sel_registerName(name.c_str());
    if (!objc_msgSend<BOOL(SEL)>(panel, "respondsToSelector:"_sel, sel)) return nil;
    return objc_msgSend<id()>(panel, sel);
}

std::string text(id s) { return to_string(static_cast<NSString*>(s)); }

bool requireSheet(Context& c, const char* command, UIAlertController*& alert, id& panel) {
    panel = openPanel(nil, &alert);
    if (panel == nil) {
        *c.err << command << ": no edit sheet is open\n";
        return false;
    }
    return true;
}

bool shown(id view) { return view != nil && !objc_msgSend<BOOL()>(view, "isHidden"_sel) && objc_msgSend<double()>(view, "alpha"_sel) > 0.01; }

const char* const kFields[] = {"titleTextField", "subTitleTextField", "subSubTitleTextField"};

// The picker and the toolbar inside a field's input view.
id inputSubview(id field, Class cls) {
    id input = objc_msgSend<id()>(field, "inputView"_sel);
    id subviews = objc_msgSend<id()>(input, "subviews"_sel);
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(subviews, "count"_sel); ++i) {
        id v = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_isKindOfClass(v, cls)) return v;
    }
    return nil;
}

void printPicker(Context& c, const std::string& name, id picker) {
    NSInteger rows = objc_msgSend<NSInteger(NSInteger)>(picker, "numberOfRowsInComponent:"_sel, 0);
    NSInteger selected = objc_msgSend<NSInteger(NSInteger)>(picker, "selectedRowInComponent:"_sel, 0);
    id delegate = objc_msgSend<id()>(picker, "delegate"_sel);
    *c.out << "picker " << name << " tag=" << objc_msgSend<NSInteger()>(picker, "tag"_sel) << " rows=" << rows
           << " selected=" << selected << "\n";
    for (NSInteger r = 0; r < rows; ++r) {
        id title = objc_msgSend<id(id, NSInteger, NSInteger)>(delegate, "pickerView:titleForRow:forComponent:"_sel, picker, r, 0);
        *c.out << "  " << (r == selected ? "* " : "  ") << r << " " << printableText(title) << "\n";
    }
}

bool sheet(Context& c, const std::vector<std::string>&) {
    UIAlertController* alert;
    id panel;
    if (!requireSheet(c, "sheet", alert, panel)) return false;
    AutoreleasePool pool;
    std::string message = text(objc_msgSend<id()>(alert, "message"_sel));
    size_t pairs = 0;
    for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at + 2)) ++pairs;
    *c.out << "panel " << object_getClassName(panel) << "\n";
    *c.out << "message " << pairs << " CR LF pairs\n";
    id glyph = outlet(panel, "typeIndicatorDrawView");
    *c.out << "glyph tag=" << objc_msgSend<NSInteger()>(glyph, "tag"_sel)
           << " subTag=" << objc_msgSend<NSInteger()>(glyph, "subTag"_sel) << "\n";
    for (const char* name : kFields) {
        id field = outlet(panel, name);
        if (field == nil) continue;
        CGRect f = objc_msgSend<CGRect()>(field, "frame"_sel);
        *c.out << "field " << name << " \"" << printableText(objc_msgSend<id()>(field, "text"_sel)) << "\" width=" << f.size.width
               << (objc_msgSend<BOOL()>(field, "isFirstResponder"_sel) ? " focused" : "") << "\n";
        if (id picker = inputSubview(field, UIPickerView::cls())) printPicker(c, name, picker);
    }
    if (id stars = outlet(panel, "ratingView"))
        *c.out << "stars " << objc_msgSend<int()>(stars, "rating"_sel) << "\n";
    *c.out << "rating prev=" << objc_msgSend<long()>(panel, "prevRating"_sel)
           << " new=" << objc_msgSend<long()>(panel, "newRating"_sel) << "\n";
    *c.out << "title prev=\"" << printableText(objc_msgSend<id()>(panel, "prevTitle"_sel)) << "\"\n";
    for (const char* name : {"samplerateLbl", "bitrateLbl"}) {
        id label = outlet(panel, name);
        if (label == nil) continue;
        *c.out << "label " << name << " " << (shown(label) ? "shown \"" + printableText(objc_msgSend<id()>(label, "text"_sel)) + "\"" : std::string("hidden")) << "\n";
    }
    for (const char* name : {"samplerateDrawView", "bitrateDrawView", "imageViewTapIndicator", "noImageViewTapIndicator",
                             "facebookImageView", "twitterImageView"}) {
        id view = outlet(panel, name);
        if (view != nil) *c.out << "view " << name << " " << (shown(view) ? "shown" : "hidden") << "\n";
    }
    id image = objc_msgSend<id()>(outlet(panel, "imageview"), "image"_sel);
    if (shown(outlet(panel, "noImageCustomView"))) {
        *c.out << "artwork placeholder\n";
    } else if (image != nil) {
        CGSize size = objc_msgSend<CGSize()>(image, "size"_sel);
        *c.out << "artwork " << size.width << "x" << size.height << "\n";
    } else {
        *c.out << "artwork none\n";
    }
    id actions = objc_msgSend<id()>(alert, "actions"_sel);
    *c.out << "actions";
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i)
        *c.out << " " << printableText(send(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i), "title"));
    *c.out << "\n";
    return true;
}

UITextField* focusedField(Context& c, const char* command) {
    UIAlertController* alert;
    id panel;
    if (!requireSheet(c, command, alert, panel)) return nullptr;
    id responder = platform::firstResponder();
    if (!objc_isKindOfClass(responder, UITextField::cls())) {
        *c.err << command << ": no field is focused (focus FIELD first)\n";
        return nullptr;
    }
    return static_cast<UITextField*>(responder);
}

bool focus(Context& c, const std::vector<std::string>& args) {
    UIAlertController* alert;
    id panel;
    if (!requireSheet(c, "focus", alert, panel)) return false;
    id field = outlet(panel, args[0]);
    if (!objc_isKindOfClass(field, UITextField::cls())) {
        *c.err << "focus: the panel has no field '" << args[0] << "'\n";
        return false;
    }
    if (!platform::viewIsReachable(static_cast<UIView*>(field))) {
        *c.err << "focus: the field '" << args[0] << "' cannot be reached\n";
        return false;
    }
    if (!objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel)) {
        *c.err << "focus: the field '" << args[0] << "' refused\n";
        return false;
    }
    *c.out << "focus " << args[0] << (objc_msgSend<id()>(field, "inputView"_sel) ? " (picker)" : " (keyboard)") << "\n";
    return true;
}

bool clear(Context& c, const std::vector<std::string>&) {
    UITextField* field = focusedField(c, "clear");
    if (field == nullptr) return false;
    int changed = platform::clearText(field);
    *c.out << "clear: " << (changed ? "cleared" : "refused by the field's delegate") << "\n";
    return true;
}

bool type(Context& c, const std::vector<std::string>& args) {
    UITextField* field = focusedField(c, "type");
    if (field == nullptr) return false;
    std::string words;
    for (const std::string& w : args) words += (words.empty() ? "" : " ") + w;
    int changed = platform::typeText(field, words);
    *c.out << "type: " << changed << " character(s) taken, text \"" << printableText(objc_msgSend<id()>(field, "text"_sel))
           << "\"\n";
    return true;
}

bool pick(Context& c, const std::vector<std::string>& args) {
    long long row = 0;
    if (!parseWhole(c, "pick", "ROW", args[0], LONG_MIN, LONG_MAX, row)) return false;
    UITextField* field = focusedField(c, "pick");
    if (field == nullptr) return false;
    auto* picker = static_cast<UIPickerView*>(inputSubview(field, UIPickerView::cls()));
    if (picker == nullptr) {
        *c.err << "pick: the focused field has no picker\n";
        return false;
    }
    if (!platform::scrollPicker(picker, row)) {
        *c.err << "pick: the picker has no row " << row << "\n";
        return false;
    }
    return true;
}

bool toolbar(Context& c, const std::vector<std::string>& args) {
    UITextField* field = focusedField(c, "toolbar");
    if (field == nullptr) return false;
    id bar = inputSubview(field, UIToolbar::cls());
    id items = objc_msgSend<id()>(bar, "items"_sel);
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(items, "count"_sel); ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        if (text(objc_msgSend<id()>(item, "title"_sel)) != args[0]) continue;
        platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(item));
        return true;
    }
    *c.err << "toolbar: the focused field has no toolbar button '" << args[0] << "'\n";
    return false;
}

// A point of a view in the alert view's coordinates.
CGPoint inAlert(id view, CGPoint p, id alertView) {
    return objc_msgSend<CGPoint(CGPoint, id)>(view, "convertPoint:toView:"_sel, p, alertView);
}

bool stars(Context& c, const std::vector<std::string>& args) {
    long long n = 0;
    if (!parseWhole(c, "stars", "N", args[0], 0, LONG_MAX, n)) return false;
    UIAlertController* alert;
    id panel;
    if (!requireSheet(c, "stars", alert, panel)) return false;
    id control = outlet(panel, "ratingView");
    if (control == nil) {
        *c.err << "stars: this sheet has no stars\n";
        return false;
    }
    int count = objc_msgSend<int()>(control, "numberOfStars"_sel);
    if (n > count) {
        *c.err << "stars: the sheet has " << count << " stars\n";
        return false;
    }
    id alertView = objc_msgSend<id()>(alert, "view"_sel);
    // The sheet's content scrolled until the stars show, as a user would.
    platform::scrollAlertToShow(alert, static_cast<UIView*>(control));
    auto starCentre = [&](int p) {
        id star = objc_msgSend<id(NSInteger)>(control, "subViewWithTag:"_sel, p);
        CGRect f = objc_msgSend<CGRect()>(star, "frame"_sel);
        return inAlert(control, CGPointMake(CGRectGetMidX(f), CGRectGetMidY(f)), alertView);
    };
    {
        platform::TouchSequence touch(static_cast<UIView*>(alertView), starCentre(0));
        if (touch.control() == nullptr) {
            *c.err << "stars: the stars cannot be reached\n";
            return false;
        }
        for (int p = 1; p < n; ++p) touch.moveTo(starCentre(p));
        if (n == 0) {
            CGPoint left = starCentre(0);
            left.x -= 25;
            touch.moveTo(left);
        }
        touch.end();
    }
    *c.out << "stars " << objc_msgSend<int()>(control, "rating"_sel) << ", newRating "
           << objc_msgSend<long()>(panel, "newRating"_sel) << "\n";
    return true;
}

bool action(Context& c, const std::vector<std::string>& args) {
    platform::finishTransitions(kTransitionWait);
    auto presented = platform::presentedViewControllers();
    std::string title;
    for (const std::string& w : args) title += (title.empty() ? "" : " ") + w;
    for (auto it = presented.rbegin(); it != presented.rend(); ++it) {
        if (!objc_isKindOfClass(objc::as_id(*it), UIAlertController::cls())) continue;
        auto* alert = static_cast<UIAlertController*>(*it);
        id actions = objc_msgSend<id()>(alert, "actions"_sel);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i) {
            id a = objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i);
            if (text(send(a, "title")) != title) continue;
            if (!platform::tapAlertAction(alert, static_cast<UIAlertAction*>(a))) {
                *c.err << "action: '" << title << "' cannot be tapped now\n";
                return false;
            }
            platform::finishTransitions(kTransitionWait);
            return true;
        }
        *c.err << "action: the alert has no action '" << title << "'\n";
        return false;
    }
    *c.err << "action: no alert is shown\n";
    return false;
}

bool social(Context& c, const std::vector<std::string>& args) {
    NSString* type = nullptr;
    if (args[0] == "twitter") type = SLServiceTypeTwitter;
    else if (args[0] == "facebook") type = SLServiceTypeFacebook;
    if (type == nullptr || (args[1] != "on" && args[1] != "off")) {
        *c.err << "social: usage social twitter|facebook on|off\n";
        return false;
    }
    platform::setSocialServiceAvailable(to_string(type), args[1] == "on");
    return true;
}

}  // namespace

void addSheetCommands(CommandTable& table) {
    table["sheet"] = {"sheet", "print the open edit sheet: panel, message, glyph, fields, pickers, stars, labels, artwork, actions", sheet};
    table["focus"] = {"focus FIELD", "make a field of the sheet (by outlet name, e.g. titleTextField) the first responder, as a tap", focus};
    table["clear"] = {"clear", "empty the focused field, through its delegate", clear};
    table["type"] = {"type TEXT...", "type into the focused field, a character at a time through its delegate", type};
    table["pick"] = {"pick ROW", "scroll the focused field's picker to a row", pick};
    table["toolbar"] = {"toolbar Done|Cancel", "tap a button of the focused field's picker toolbar", toolbar};
    table["stars"] = {"stars N", "drag across the sheet's stars to N (0: out past the first)", stars};
    table["action"] = {"action TITLE...", "tap an action of the alert on top (e.g. Save, Cancel)", action};
    table["social"] = {"social SERVICE on|off", "set whether twitter or facebook is available", social};
}

}  // namespace host
