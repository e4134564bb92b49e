#include <UIKit/UIActivityViewController.h>

#include "Private.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIPopoverController.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>

#include <cairo.h>

#include <cmath>

namespace {

id get(id obj, SEL sel) { return objc_msgSend<id()>(obj, sel); }
std::string str(id s) { return to_string(static_cast<NSString*>(s)); }

NSInteger activityCategory(id, SEL) { return 0; }
id nothing(id, SEL) { return nil; }
BOOL cannotPerform(id, SEL, id) { return NO; }
void prepare(id, SEL, id) {}

// Ends the sheet once: it is dismissed, then its handler runs.
void endSheet(UIActivityViewController* sheet, id type, BOOL completed) {
    if (sheet == nullptr || sheet->_ended) return;
    sheet->_ended = true;
    Strong<UIActivityViewController> kept(sheet);
    Strong<NSObject> keptType(static_cast<NSObject*>(type));
    id completion = objc_block<void()>([kept, keptType, completed] {
        objc_callBlock<void(id, BOOL, id, id)>(kept->_completionWithItemsHandler.get(), keptType.get(), completed,
                                               nil, nil);
    });
    objc_msgSend<void(BOOL, id)>(sheet, "dismissViewControllerAnimated:completion:"_sel, YES, completion);
}

// Dismissed without a choice (the app closed it, its screen left): the
// handler hears of it as of a cancel, since it runs at every dismissal.
void sheetDidDisappear(UIActivityViewController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, UIActivityViewController::cls(), "viewDidDisappear:"_sel, animated);
    if (self->_ended) return;
    self->_ended = true;
    Strong<UIActivityViewController> kept(self);
    objc_callBlock<void(id, BOOL, id, id)>(self->_completionWithItemsHandler.get(), nil, NO, nil, nil);
}

void activityDidFinish(UIActivity* self, SEL, BOOL completed) {
    auto* sheet = static_cast<UIActivityViewController*>(self->_sheet);
    self->_sheet = nullptr;
    endSheet(sheet, get(self, "activityType"_sel), completed);
}

void performActivity(id self, SEL) { objc_msgSend<void(BOOL)>(self, "activityDidFinish:"_sel, YES); }

id initSheet(UIActivityViewController* self, SEL, id items, id activities) {
    self = static_cast<UIActivityViewController*>(objc_msgSendSuper<id()>(self, UIViewController::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->_activityItems = Strong<NSArray>(static_cast<NSArray*>(items));
    self->_applicationActivities = Strong<NSArray>(static_cast<NSArray*>(activities));
    return self;
}
id activityItems(UIActivityViewController* self, SEL) { return self->_activityItems.get(); }
id applicationActivities(UIActivityViewController* self, SEL) { return self->_applicationActivities.get(); }
id completionHandler(UIActivityViewController* self, SEL) { return self->_completionWithItemsHandler.get(); }
void setCompletionHandler(UIActivityViewController* self, SEL, id block) {
    id copy = objc_msgSend<id()>(block, "copy"_sel);
    self->_completionWithItemsHandler = Strong<NSObject>::adopt(static_cast<NSObject*>(copy));
}

// --- The sheet's picture -----------------------------------------------------------
//
// Presented, the sheet stands on the bottom edge of the dimmed screen: a card
// with what is shared (the text, and each file by its name beside a page),
// the share activities in a row and the action activities in a row under it,
// each an icon over its title, and a cancel button in a card of its own under
// it. In a popover the card fills the popover, without the cancel button.

// The view of the sheet.
struct _UIActivitySheetView : UIView {
    OBJC_CLASS(_UIActivitySheetView)
    UIActivityViewController* _sheet = nullptr;  // not retained
};

constexpr double kEdge = 8;            // the cards from the screen's edges, and between them
constexpr double kCorner = 13;
constexpr double kHeaderHeight = 56;   // what is shared
constexpr double kRowHeight = 84;      // a row of activities
constexpr double kIconSize = 50;
constexpr double kIconCorner = 12;
constexpr double kCellWidth = 72;      // an activity: its icon centred over its title
constexpr double kInset = 12;          // the rows' contents from the card's sides
constexpr double kCancelHeight = 57;
constexpr CGColor kCardColour{0.97, 0.97, 0.97, 1};
constexpr CGColor kLineColour{0.8, 0.8, 0.82, 1};
constexpr CGColor kTint{0, 122.0 / 255, 1, 1};
constexpr CGColor kGreyText{0.43, 0.43, 0.45, 1};

CGRect inset(CGRect r, double dx, double dy) {
    return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
}

void fill(cairo_t* cr, CGColor c) { cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha); }

void fillRounded(cairo_t* cr, CGRect r, double radius, CGColor c) {
    platform::uikit::roundedRectPath(cr, r, radius);
    fill(cr, c);
    cairo_fill(cr);
}

// Lines of text in `box` (wrapped, at most `lines` of them), aligned within it.
void drawText(const std::string& text, CGRect box, double size, bool bold, CGColor colour, NSInteger alignment,
              long lines) {
    platform::text::Face face{bold, size};
    platform::text::drawLines(UIGraphicsGetCurrentContext(), face, platform::text::wrap(face, text, box.size.width, lines),
                              box, alignment, colour);
}

// One activity as the sheet shows it.
struct Shown {
    std::string type;
    std::string title;
    UIImage* image = nullptr;  // an application activity's picture
};

std::string systemTitle(const std::string& type) {
    if (type == "UIActivityTypeMail") return "Mail";
    if (type == "UIActivityTypeMessage") return "Message";
    if (type == "UIActivityTypeCopyToPasteboard") return "Copy";
    return type;
}
bool systemShares(const std::string& type) { return type != "UIActivityTypeCopyToPasteboard"; }

// The share activities (category 1) and the action activities (0): the
// system's first, then the application's in their order.
void activitiesOf(UIActivityViewController* sheet, std::vector<Shown>& share, std::vector<Shown>& action) {
    for (const std::string& type : platform::systemActivityTypes())
        (systemShares(type) ? share : action).push_back(Shown{type, systemTitle(type), nullptr});
    id activities = sheet->_applicationActivities.get();
    NSUInteger n = activities ? objc_msgSend<NSUInteger()>(activities, "count"_sel) : 0;
    for (NSUInteger i = 0; i < n; ++i) {
        id a = objc_msgSend<id(NSUInteger)>(activities, "objectAtIndex:"_sel, i);
        NSInteger category = objc_msgSend<NSInteger()>(objc::as_id(object_getClass(a)), "activityCategory"_sel);
        auto* image = static_cast<UIImage*>(get(a, "activityImage"_sel));
        if (image != nullptr && !objc_isKindOfClass(objc::as_id(image), UIImage::cls())) image = nullptr;
        (category == 1 ? share : action).push_back(Shown{str(get(a, "activityType"_sel)), str(get(a, "activityTitle"_sel)), image});
    }
}

// The system activities' icons, drawn; an application's activity shows its
// picture on a white tile.
void drawIcon(cairo_t* cr, const Shown& s, CGRect r) {
    double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
    cairo_save(cr);
    if (s.type == "UIActivityTypeMessage") {
        fillRounded(cr, r, kIconCorner, CGColor{0.3, 0.85, 0.39, 1});
        cairo_save(cr);
        cairo_translate(cr, x + w / 2, y + h * 0.46);
        cairo_scale(cr, w * 0.34, h * 0.27);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_restore(cr);
        cairo_move_to(cr, x + w * 0.3, y + h * 0.62);
        cairo_line_to(cr, x + w * 0.24, y + h * 0.8);
        cairo_line_to(cr, x + w * 0.44, y + h * 0.7);
        cairo_close_path(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill(cr);
    } else if (s.type == "UIActivityTypeMail") {
        fillRounded(cr, r, kIconCorner, CGColor{0.12, 0.55, 0.98, 1});
        CGRect env = CGRectMake(x + w * 0.18, y + h * 0.3, w * 0.64, h * 0.42);
        cairo_rectangle(cr, env.origin.x, env.origin.y, env.size.width, env.size.height);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill(cr);
        cairo_move_to(cr, env.origin.x, env.origin.y);
        cairo_line_to(cr, env.origin.x + env.size.width / 2, env.origin.y + env.size.height * 0.6);
        cairo_line_to(cr, env.origin.x + env.size.width, env.origin.y);
        cairo_set_source_rgb(cr, 0.12, 0.55, 0.98);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    } else {
        fillRounded(cr, r, kIconCorner, CGColor{1, 1, 1, 1});
        platform::uikit::roundedRectPath(cr, inset(r, 0.5, 0.5), kIconCorner);
        fill(cr, kLineColour);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        if (s.type == "UIActivityTypeCopyToPasteboard") {
            cairo_set_source_rgb(cr, 0.3, 0.3, 0.32);
            cairo_set_line_width(cr, 1.5);
            cairo_rectangle(cr, x + w * 0.3, y + h * 0.22, w * 0.32, h * 0.42);
            cairo_stroke(cr);
            cairo_rectangle(cr, x + w * 0.4, y + h * 0.34, w * 0.32, h * 0.42);
            cairo_set_source_rgb(cr, 1, 1, 1);
            cairo_fill_preserve(cr);
            cairo_set_source_rgb(cr, 0.3, 0.3, 0.32);
            cairo_stroke(cr);
        } else if (s.image != nullptr) {
            platform::uikit::drawImageInRect(cr, s.image, inset(r, w * 0.2, h * 0.2), 1);
        }
    }
    cairo_restore(cr);
}

// A row of activities from the top-left corner `origin`.
void drawRow(cairo_t* cr, const std::vector<Shown>& row, CGPoint origin, double width) {
    for (size_t i = 0; i < row.size(); ++i) {
        double x = origin.x + i * kCellWidth;
        if (x + kCellWidth > origin.x + width + 0.01) break;  // the rest is scrolled to
        drawIcon(cr, row[i], CGRectMake(x + (kCellWidth - kIconSize) / 2, origin.y + 6, kIconSize, kIconSize));
        drawText(row[i].title, CGRectMake(x + 2, origin.y + 6 + kIconSize + 2, kCellWidth - 4, 26), 11, false,
                 CGColor{0.2, 0.2, 0.2, 1}, NSTextAlignmentCenter, 2);
    }
}

// A page with a folded corner: a file being shared.
void drawPage(cairo_t* cr, CGRect r) {
    double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height, fold = w * 0.3;
    cairo_new_path(cr);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + w - fold, y);
    cairo_line_to(cr, x + w, y + fold);
    cairo_line_to(cr, x + w, y + h);
    cairo_line_to(cr, x, y + h);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.58);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, x + w - fold, y);
    cairo_line_to(cr, x + w - fold, y + fold);
    cairo_line_to(cr, x + w, y + fold);
    cairo_stroke(cr);
}

// What is shared: the text items, then the files by their names.
void drawItems(cairo_t* cr, UIActivityViewController* sheet, CGRect box) {
    std::string text, files;
    id items = sheet->_activityItems.get();
    NSUInteger n = items ? objc_msgSend<NSUInteger()>(items, "count"_sel) : 0;
    for (NSUInteger i = 0; i < n; ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        std::string& into = objc_isKindOfClass(item, NSString::cls()) ? text : files;
        std::string value = objc_isKindOfClass(item, NSString::cls())
                                ? str(item)
                                : str(get(get(item, "path"_sel), "lastPathComponent"_sel));
        if (value.empty()) continue;
        into += (into.empty() ? "" : ", ") + value;
    }
    double left = box.origin.x;
    if (!files.empty()) {
        drawPage(cr, CGRectMake(left, box.origin.y + 8, 30, 38));
        left += 42;
    }
    CGRect lines = CGRectMake(left, box.origin.y + 10, box.origin.x + box.size.width - left, 18);
    drawText(text, lines, 15, true, CGColor{0, 0, 0, 1}, NSTextAlignmentLeft, 1);
    lines.origin.y += 20;
    drawText(files, lines, 13, false, kGreyText, NSTextAlignmentLeft, 1);
}

void hairline(cairo_t* cr, double x, double y, double width) {
    cairo_rectangle(cr, x, y, width, 0.5);
    fill(cr, kLineColour);
    cairo_fill(cr);
}

// The card's contents: what is shared, the share row, the action row.
void drawCardContents(cairo_t* cr, UIActivityViewController* sheet, CGRect card) {
    std::vector<Shown> share, action;
    activitiesOf(sheet, share, action);
    double x = card.origin.x + kInset, width = card.size.width - 2 * kInset, y = card.origin.y;
    drawItems(cr, sheet, CGRectMake(x, y, width, kHeaderHeight));
    y += kHeaderHeight;
    hairline(cr, card.origin.x, y, card.size.width);
    drawRow(cr, share, CGPointMake(x, y), width);
    y += kRowHeight;
    hairline(cr, card.origin.x + kInset, y, card.size.width - kInset);
    drawRow(cr, action, CGPointMake(x, y), width);
}

void drawSheet(_UIActivitySheetView* self, SEL, CGRect) {
    UIActivityViewController* sheet = self->_sheet;
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (sheet == nullptr || context == nullptr) return;
    auto* cr = context->cr;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    if (sheet->_presentingViewController == nullptr) {  // in a popover: the card is the popover's
        drawCardContents(cr, sheet, bounds);
        return;
    }
    cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_fill(cr);
    double width = bounds.size.width - 2 * kEdge;
    CGRect cancel = CGRectMake(kEdge, bounds.size.height - kEdge - kCancelHeight, width, kCancelHeight);
    CGRect card = CGRectMake(kEdge, cancel.origin.y - kEdge - (kHeaderHeight + 2 * kRowHeight), width,
                             kHeaderHeight + 2 * kRowHeight);
    fillRounded(cr, card, kCorner, kCardColour);
    drawCardContents(cr, sheet, card);
    fillRounded(cr, cancel, kCorner, CGColor{1, 1, 1, 1});
    drawText("Cancel", CGRectMake(cancel.origin.x, cancel.origin.y + (kCancelHeight - 22) / 2, width, 24), 19, true, kTint,
             NSTextAlignmentCenter, 1);
}

void loadSheetView(UIActivityViewController* self, SEL) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    auto* view = static_cast<_UIActivitySheetView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(_UIActivitySheetView::cls(), "alloc"_sel), "initWithFrame:"_sel, screen));
    view->_sheet = self;
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
}

}  // namespace

namespace platform {

const std::vector<std::string>& systemActivityTypes() {
    static const std::vector<std::string> types = {"UIActivityTypeMail", "UIActivityTypeMessage",
                                                   "UIActivityTypeCopyToPasteboard"};
    return types;
}

UIActivityViewController* presentedActivitySheet() {
    UIActivityViewController* found = nullptr;
    std::vector<UIViewController*> shown = presentedViewControllers();
    for (UIPopoverController* p : shownPopovers()) shown.push_back(p->_contentViewController.get());
    for (UIViewController* c : shown)
        if (objc_isKindOfClass(c, UIActivityViewController::cls())) found = static_cast<UIActivityViewController*>(c);
    return found;
}

bool chooseActivity(UIActivityViewController* sheet, const std::string& choice) {
    if (sheet == nullptr || sheet->_ended || presentedActivitySheet() != sheet) return false;
    if (choice == "cancel") {
        endSheet(sheet, nil, NO);
        return true;
    }
    for (const std::string& type : systemActivityTypes())
        if (type == choice) {
            endSheet(sheet, NSString::make(type), YES);
            return true;
        }
    id activities = sheet->_applicationActivities.get();
    NSUInteger n = activities ? objc_msgSend<NSUInteger()>(activities, "count"_sel) : 0;
    for (NSUInteger i = 0; i < n; ++i) {
        auto* activity = static_cast<UIActivity*>(objc_msgSend<id(NSUInteger)>(activities, "objectAtIndex:"_sel, i));
        if (str(get(activity, "activityType"_sel)) != choice && str(get(activity, "activityTitle"_sel)) != choice)
            continue;
        id items = sheet->_activityItems.get();
        if (!objc_msgSend<BOOL(id)>(activity, "canPerformWithActivityItems:"_sel, items)) return false;
        activity->_sheet = sheet;
        objc_msgSend<void(id)>(activity, "prepareWithActivityItems:"_sel, items);
        objc_msgSend<void()>(activity, "performActivity"_sel);
        return true;
    }
    return false;
}

}  // namespace platform

void platform::uikit::registerActivities() {
    objc::ClassDef<UIActivity>("UIActivity", NSObject::cls())
        .classMethod<activityCategory>("activityCategory", "q@:")
        .method<nothing>("activityType", "@@:")
        .method<nothing>("activityTitle", "@@:")
        .method<nothing>("activityImage", "@@:")
        .method<cannotPerform>("canPerformWithActivityItems:", "c@:@")
        .method<prepare>("prepareWithActivityItems:", "v@:@")
        .method<nothing>("activityViewController", "@@:")
        .method<performActivity>("performActivity", "v@:")
        .method<activityDidFinish>("activityDidFinish:", "v@:c");
    objc::ClassDef<_UIActivitySheetView>("_UIActivitySheetView", UIView::cls()).method<drawSheet>("drawRect:");
    objc::ClassDef<UIActivityViewController>("UIActivityViewController", UIViewController::cls())
        .method<initSheet>("initWithActivityItems:applicationActivities:", "@@:@@")
        .method<loadSheetView>("loadView", "v@:")
        .method<sheetDidDisappear>("viewDidDisappear:", "v@:c")
        .method<activityItems>("activityItems", "@@:")
        .method<applicationActivities>("applicationActivities", "@@:")
        .method<completionHandler>("completionWithItemsHandler", "@@:")
        .method<setCompletionHandler>("setCompletionWithItemsHandler:", "v@:@?");
}
