// UIToolbar and UIBarButtonItem.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>
#include <UIKit/UIToolbar.h>

using namespace platform::support;

namespace {

const char* systemItemTitle(NSInteger item) {
    switch (item) {
        case UIBarButtonSystemItemDone: return "Done";
        case UIBarButtonSystemItemCancel: return "Cancel";
        case UIBarButtonSystemItemEdit: return "Edit";
        case UIBarButtonSystemItemSave: return "Save";
        case UIBarButtonSystemItemAdd: return "Add";
        default: return nullptr;
    }
}

namespace item {

id initWithTitle(UIBarButtonItem* self, SEL, id title, NSInteger style, id target, SEL action) {
    self = objectAs<UIBarButtonItem>(objc_msgSendSuper<id()>(self, UIBarButtonItem::cls(), "init"_sel));
    if (self == nullptr) return nil;
    objc_msgSend<void(id)>(self, "setTitle:"_sel, title);
    self->_style = style;
    self->_target = target;
    self->_action = action;
    return self;
}

id initWithSystemItem(UIBarButtonItem* self, SEL, NSInteger systemItem, id target, SEL action) {
    const char* name = systemItemTitle(systemItem);
    self = objectAs<UIBarButtonItem>(objc_msgSend<id(id, NSInteger, id, SEL)>(
        self, "initWithTitle:style:target:action:"_sel, name ? NSString::make(name) : nil,
        systemItem == UIBarButtonSystemItemDone ? UIBarButtonItemStyleDone : UIBarButtonItemStylePlain, target, action));
    if (self != nullptr) self->_systemItem = systemItem;
    return self;
}

id initWithCustomView(UIBarButtonItem* self, SEL, id view) {
    self = objectAs<UIBarButtonItem>(objc_msgSend<id(id, NSInteger, id, SEL)>(
        self, "initWithTitle:style:target:action:"_sel, nil, UIBarButtonItemStylePlain, nil, static_cast<SEL>(nullptr)));
    if (self != nullptr) self->_customView = requireObject<UIView>(view, "-[UIBarButtonItem initWithCustomView:]");
    return self;
}

id title(UIBarButtonItem* self, SEL) { return self->_title.get(); }
void setTitle(UIBarButtonItem* self, SEL, id title) {
    self->_title = title == nil ? Strong<NSString>()
                                : adoptObject<NSString>(objc_msgSend<id()>(title, "copy"_sel), "-[UIBarButtonItem setTitle:]");
}
NSInteger style(UIBarButtonItem* self, SEL) { return self->_style; }
void setStyle(UIBarButtonItem* self, SEL, NSInteger v) { self->_style = v; }
NSInteger tag(UIBarButtonItem* self, SEL) { return self->_tag; }
void setTag(UIBarButtonItem* self, SEL, NSInteger v) { self->_tag = v; }
id target(UIBarButtonItem* self, SEL) { return self->_target; }
void setTarget(UIBarButtonItem* self, SEL, id v) { self->_target = v; }
SEL action(UIBarButtonItem* self, SEL) { return self->_action; }
void setAction(UIBarButtonItem* self, SEL, SEL v) { self->_action = v; }
BOOL isEnabled(UIBarButtonItem* self, SEL) { return self->_enabled; }
void setEnabled(UIBarButtonItem* self, SEL, BOOL v) { self->_enabled = v; }
double width(UIBarButtonItem* self, SEL) { return self->_width; }
void setWidth(UIBarButtonItem* self, SEL, double v) { self->_width = v; }
id customView(UIBarButtonItem* self, SEL) { return self->_customView.get(); }
id tintColor(UIBarButtonItem* self, SEL) { return self->_tintColor.get(); }
void setTintColor(UIBarButtonItem* self, SEL, id c) {
    self->_tintColor = requireObject<UIColor>(c, "-[UIBarButtonItem setTintColor:]");
}
NSInteger systemItem(UIBarButtonItem* self, SEL) { return self->_systemItem; }

}  // namespace item

namespace toolbar {

id items(UIToolbar* self, SEL) { return arrayOf(self->_items); }
void setItems(UIToolbar* self, SEL, id array) {
    self->_items = objectsOf<UIBarButtonItem>(array, "-[UIToolbar setItems:]");
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}
void setItemsAnimated(UIToolbar* self, SEL, id array, BOOL) { objc_msgSend<void(id)>(self, "setItems:"_sel, array); }
NSInteger barStyle(UIToolbar* self, SEL) { return self->_barStyle; }
void setBarStyle(UIToolbar* self, SEL, NSInteger v) { self->_barStyle = v; }

constexpr double kMargin = 12;
constexpr double kFontSize = 17;

void setBackgroundImage(UIToolbar* self, SEL, id image, NSInteger position, NSInteger metrics) {
    self->_backgroundImages[{position, metrics}] = static_cast<NSObject*>(image);
}

id backgroundImage(UIToolbar* self, SEL, NSInteger position, NSInteger metrics) {
    auto it = self->_backgroundImages.find({position, metrics});
    return it == self->_backgroundImages.end() ? nil : objc::as_id(it->second.get());
}

// A pad and pencil: a square outline with a stroke across its top right.
void drawCompose(double x, double height, id colour) {
    double side = 20, top = (height - side) / 2;
    objc_msgSend<void()>(colour, "setStroke"_sel);
    id pad = objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel,
                                      CGRectMake(x, top + 2, side - 2, side - 2));
    objc_msgSend<void(double)>(pad, "setLineWidth:"_sel, 1.5);
    objc_msgSend<void()>(pad, "stroke"_sel);
    id pencil = objc_msgSend<id()>(objc_getClass("UIBezierPath"), "bezierPath"_sel);
    objc_msgSend<void(CGPoint)>(pencil, "moveToPoint:"_sel, CGPointMake(x + 7, top + 13));
    objc_msgSend<void(CGPoint)>(pencil, "addLineToPoint:"_sel, CGPointMake(x + side + 1, top - 1));
    objc_msgSend<void(double)>(pencil, "setLineWidth:"_sel, 2);
    objc_msgSend<void()>(pencil, "stroke"_sel);
}

// A plus sign, the add item's picture.
void drawPlus(double x, double height, id colour) {
    double side = 20, top = (height - side) / 2;
    objc_msgSend<void()>(colour, "setStroke"_sel);
    id plus = objc_msgSend<id()>(objc_getClass("UIBezierPath"), "bezierPath"_sel);
    objc_msgSend<void(CGPoint)>(plus, "moveToPoint:"_sel, CGPointMake(x + side / 2, top));
    objc_msgSend<void(CGPoint)>(plus, "addLineToPoint:"_sel, CGPointMake(x + side / 2, top + side));
    objc_msgSend<void(CGPoint)>(plus, "moveToPoint:"_sel, CGPointMake(x, top + side / 2));
    objc_msgSend<void(CGPoint)>(plus, "addLineToPoint:"_sel, CGPointMake(x + side, top + side / 2));
    objc_msgSend<void(double)>(plus, "setLineWidth:"_sel, 2);
    objc_msgSend<void()>(plus, "stroke"_sel);
}

void drawRect(UIToolbar* self, SEL, CGRect) {
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    if (id picture = backgroundImage(self, nullptr, 0, 0)) {
        objc_msgSend<void(CGRect)>(picture, "drawInRect:"_sel, bounds);
    } else {
        id line = objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel,
                                           CGRectMake(0, 0, bounds.size.width, 0.5));
        objc_msgSend<void()>(UIColor::make(0.7, 0.7, 0.7, 1), "setFill"_sel);
        objc_msgSend<void()>(line, "fill"_sel);
    }

    id tint = objc_msgSend<id()>(self, "tintColor"_sel);
    struct Placed {
        id title;
        double width;
        bool flexible;
        NSDictionary* attributes;
        NSInteger systemItem;
    };
    std::vector<Placed> placed;
    double used = 0;
    int flexible = 0;
    for (const Strong<UIBarButtonItem>& it : self->_items) {
        Placed p{nil, it->_width, it->_systemItem == UIBarButtonSystemItemFlexibleSpace, nullptr, it->_systemItem};
        if (p.flexible) {
            ++flexible;
        } else if (it->_systemItem == UIBarButtonSystemItemCompose || it->_systemItem == UIBarButtonSystemItemAdd) {
            p.width = 22;
            p.attributes = NSDictionary::make({{NSForegroundColorAttributeName,
                                                it->_tintColor ? objc::as_id(it->_tintColor.get()) : tint}});
        } else if (it->_title) {
            id colour = it->_tintColor ? objc::as_id(it->_tintColor.get()) : tint;
            p.attributes = NSDictionary::make(
                {{NSFontAttributeName, UIFont::system(kFontSize, it->_style == UIBarButtonItemStyleDone)},
                 {NSForegroundColorAttributeName, colour}});
            p.title = it->_title.get();
            p.width = objc_msgSend<CGSize(id)>(p.title, "sizeWithAttributes:"_sel, p.attributes).width;
        }
        used += p.width;
        placed.push_back(p);
    }
    double spare = bounds.size.width - 2 * kMargin - used - kMargin * std::max<double>(0, double(placed.size()) - 1);
    double share = flexible > 0 && spare > 0 ? spare / flexible : 0;
    double x = kMargin;
    for (const Placed& p : placed) {
        if (p.flexible) {
            x += share;
        } else if (p.title == nil && p.attributes != nullptr) {
            id colour = objc_msgSend<id(id)>(p.attributes, "objectForKey:"_sel, NSForegroundColorAttributeName);
            if (p.systemItem == UIBarButtonSystemItemAdd) drawPlus(x, bounds.size.height, colour);
            else drawCompose(x, bounds.size.height, colour);
            x += p.width + kMargin;
        } else if (p.title != nil) {
            CGSize size = objc_msgSend<CGSize(id)>(p.title, "sizeWithAttributes:"_sel, p.attributes);
            objc_msgSend<void(CGPoint, id)>(p.title, "drawAtPoint:withAttributes:"_sel,
                                            CGPointMake(x, (bounds.size.height - size.height) / 2), p.attributes);
            x += p.width + kMargin;
        } else {
            x += p.width + kMargin;
        }
    }
}

}  // namespace toolbar

}  // namespace

void platform::uikit::registerToolbars() {
    objc::ClassDef<UIBarButtonItem>("UIBarButtonItem", NSObject::cls())
        .method<item::initWithTitle>("initWithTitle:style:target:action:")
        .method<item::initWithSystemItem>("initWithBarButtonSystemItem:target:action:")
        .method<item::initWithCustomView>("initWithCustomView:")
        .method<item::title>("title")
        .method<item::setTitle>("setTitle:")
        .method<item::style>("style")
        .method<item::setStyle>("setStyle:")
        .method<item::tag>("tag")
        .method<item::setTag>("setTag:")
        .method<item::target>("target")
        .method<item::setTarget>("setTarget:")
        .method<item::action>("action")
        .method<item::setAction>("setAction:")
        .method<item::isEnabled>("isEnabled")
        .method<item::setEnabled>("setEnabled:")
        .method<item::width>("width")
        .method<item::setWidth>("setWidth:")
        .method<item::customView>("customView")
        .method<item::tintColor>("tintColor")
        .method<item::setTintColor>("setTintColor:")
        .method<item::systemItem>("systemItem");
    objc::ClassDef<UIToolbar>("UIToolbar", UIView::cls())
        .method<toolbar::items>("items")
        .method<toolbar::setItems>("setItems:")
        .method<toolbar::setItemsAnimated>("setItems:animated:")
        .method<toolbar::barStyle>("barStyle")
        .method<toolbar::setBarStyle>("setBarStyle:")
        .method<toolbar::setBackgroundImage>("setBackgroundImage:forToolbarPosition:barMetrics:")
        .method<toolbar::backgroundImage>("backgroundImageForToolbarPosition:barMetrics:")
        .method<toolbar::drawRect>("drawRect:");
}

bool platform::tapBarButtonItem(UIBarButtonItem* item) {
    if (item == nullptr || !objc_msgSend<BOOL()>(item, "isEnabled"_sel)) return false;
    SEL action = objc_msgSend<SEL()>(item, "action"_sel);
    if (action == nullptr) return false;
    Strong<UIBarButtonItem> keep(item);
    return objc_sendAction(objc_msgSend<id()>(item, "target"_sel), action, item, nil);
}
