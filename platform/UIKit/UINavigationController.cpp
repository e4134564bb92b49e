// UINavigationController, UINavigationItem and UINavigationBar.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKit.h>

#include <algorithm>

using namespace platform::support;

UINavigationController::~UINavigationController() {
    if (_navigationBar) _navigationBar->_navigationController = nullptr;
}

namespace {

// The view loads first, as when it comes on screen.
void sendAppearance(id controller, BOOL animated) {
    objc_msgSend<id()>(controller, "view"_sel);
    objc_msgSend<void(BOOL)>(controller, "viewWillAppear:"_sel, animated);
    objc_msgSend<void(BOOL)>(controller, "viewDidAppear:"_sel, animated);
}

namespace navigationItem {

id title(UINavigationItem* self, SEL) {
    if (self->_title) return self->_title.get();
    return self->_controller != nullptr ? objc_msgSend<id()>(self->_controller, "title"_sel) : nil;
}
void setTitle(UINavigationItem* self, SEL, id title) {
    self->_title = title == nil ? Strong<NSString>()
                                : adoptObject<NSString>(objc_msgSend<id()>(title, "copy"_sel), "-[UINavigationItem setTitle:]");
}
id rightBarButtonItems(UINavigationItem* self, SEL) {
    return self->_rightBarButtonItems.empty() ? nil : arrayOf(self->_rightBarButtonItems);
}
void setRightBarButtonItems(UINavigationItem* self, SEL, id items) {
    self->_rightBarButtonItems =
        items == nil ? std::vector<Strong<UIBarButtonItem>>{}
                     : objectsOf<UIBarButtonItem>(items, "-[UINavigationItem setRightBarButtonItems:]");
}
void setRightBarButtonItemsAnimated(UINavigationItem* self, SEL, id items, BOOL) {
    objc_msgSend<void(id)>(self, "setRightBarButtonItems:"_sel, items);
}
id rightBarButtonItem(UINavigationItem* self, SEL) {
    return self->_rightBarButtonItems.empty() ? nil : objc::as_id(self->_rightBarButtonItems.front().get());
}
void setRightBarButtonItem(UINavigationItem* self, SEL, id item) {
    auto* barItem = requireObject<UIBarButtonItem>(item, "-[UINavigationItem setRightBarButtonItem:]");
    self->_rightBarButtonItems.clear();
    if (barItem != nullptr) self->_rightBarButtonItems.emplace_back(barItem);
}
void setRightBarButtonItemAnimated(UINavigationItem* self, SEL, id item, BOOL) {
    objc_msgSend<void(id)>(self, "setRightBarButtonItem:"_sel, item);
}

}  // namespace navigationItem

id controllerNavigationItem(UIViewController* self, SEL) {
    if (self->_navigationItem == nullptr) {
        self->_navigationItem = objectAs<UINavigationItem>(newObject(UINavigationItem::cls()));
        if (self->_navigationItem != nullptr) self->_navigationItem->_controller = self;
    }
    return self->_navigationItem;
}

namespace navigation {

id initWithRootViewController(UINavigationController* self, SEL, id root) {
    self = objectAs<UINavigationController>(
        objc_msgSend<id(id, id)>(self, "initWithNibName:bundle:"_sel, nil, nil));
    if (self == nullptr) return nil;
    if (root != nullptr) objc_msgSend<void(id, BOOL)>(self, "pushViewController:animated:"_sel, root, NO);
    return self;
}

id viewControllers(UINavigationController* self, SEL) { return arrayOf(self->_childViewControllers); }

// A controller stands on one stack at most, as on the platform.
void pushViewController(UINavigationController* self, SEL, id obj, BOOL animated) {
    auto* pushed = requireObject<UIViewController>(obj, "-[UINavigationController pushViewController:animated:]");
    if (pushed == nullptr) return;
    if (pushed->_parentViewController != nullptr)
        NSException::raise(NSInvalidArgumentException,
                           pushed->_parentViewController == self
                               ? "-[UINavigationController pushViewController:animated:]: already on the stack"
                               : "-[UINavigationController pushViewController:animated:]: the controller already "
                                 "has a parent (another stack)");
    bool onTop = !self->_childViewControllers.empty();
    objc_msgSend<void(id)>(self, "addChildViewController:"_sel, pushed);
    if (onTop) sendAppearance(pushed, animated);
}

id popViewControllerAnimated(UINavigationController* self, SEL, BOOL animated) {
    if (self->_childViewControllers.size() < 2) return nil;
    UIViewController* top = self->_childViewControllers.back().get();
    autorelease(retain(top));
    objc_msgSend<void()>(top, "removeFromParentViewController"_sel);
    sendAppearance(self->_childViewControllers.back().get(), animated);
    return top;
}

id popToViewController(UINavigationController* self, SEL, id target, BOOL animated) {
    auto& list = self->_childViewControllers;
    if (std::none_of(list.begin(), list.end(), [&](const Strong<UIViewController>& c) { return objc::as_id(c.get()) == target; }))
        return nil;
    id popped = mutableArray();
    while (objc::as_id(list.back().get()) != target) {
        UIViewController* top = list.back().get();
        arrayAdd(popped, top);
        objc_msgSend<void()>(top, "removeFromParentViewController"_sel);
    }
    if (arrayCount(popped) > 0) sendAppearance(target, animated);
    return popped;
}

id popToRootViewControllerAnimated(UINavigationController* self, SEL, BOOL) {
    id popped = mutableArray();
    while (self->_childViewControllers.size() > 1) {
        UIViewController* top = self->_childViewControllers.back().get();
        arrayAdd(popped, top);
        objc_msgSend<void()>(top, "removeFromParentViewController"_sel);
    }
    return popped;
}

void setViewControllers(UINavigationController* self, SEL, id array, BOOL animated) {
    auto incoming = objectsOf<UIViewController>(array, "-[UINavigationController setViewControllers:animated:]");
    std::vector<Strong<UIViewController>> old = self->_childViewControllers;
    for (const Strong<UIViewController>& c : old) objc_msgSend<void()>(c.get(), "removeFromParentViewController"_sel);
    for (const Strong<UIViewController>& c : incoming) {
        objc_msgSend<void()>(c.get(), "removeFromParentViewController"_sel);
        objc_msgSend<void(id)>(self, "addChildViewController:"_sel, c.get());
    }
    if (!self->_childViewControllers.empty()) sendAppearance(self->_childViewControllers.back().get(), animated);
}

id topViewController(UINavigationController* self, SEL) {
    return self->_childViewControllers.empty() ? nullptr : self->_childViewControllers.back().get();
}

id navigationBar(UINavigationController* self, SEL) {
    if (!self->_navigationBar) {
        CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
        id bar = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UINavigationBar::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                          CGRectMake(0, 0, screen.size.width, kUINavigationBarHeight));
        self->_navigationBar = adoptObject<UINavigationBar>(bar, "-[UINavigationController navigationBar]");
        self->_navigationBar->_navigationController = self;
    }
    return self->_navigationBar.get();
}

}  // namespace navigation

namespace bar {

constexpr double kMargin = 10;
constexpr double kSpacing = 14;
constexpr double kFontSize = 17;
constexpr double kBookWidth = 22;

// An open book: two pages from a spine, in the tint colour.
void drawBook(double x, double midY, id colour) {
    objc_msgSend<void()>(colour, "setStroke"_sel);
    id path = objc_msgSend<id()>(objc_getClass("UIBezierPath"), "bezierPath"_sel);
    double top = midY - 8, bottom = midY + 8, spine = x + kBookWidth / 2;
    objc_msgSend<void(CGPoint)>(path, "moveToPoint:"_sel, CGPointMake(spine, top + 2));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(x, top));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(x, bottom - 2));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(spine, bottom));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(x + kBookWidth, bottom - 2));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(x + kBookWidth, top));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(spine, top + 2));
    objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(spine, bottom));
    objc_msgSend<void(double)>(path, "setLineWidth:"_sel, 1.5);
    objc_msgSend<void()>(path, "stroke"_sel);
}

void drawRect(UINavigationBar* self, SEL, CGRect) {
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    objc_msgSend<void()>(UIColor::make(0.97, 0.97, 0.97, 1), "setFill"_sel);
    objc_msgSend<void()>(objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel, bounds),
                         "fill"_sel);
    objc_msgSend<void()>(UIColor::make(0.7, 0.7, 0.7, 1), "setFill"_sel);
    objc_msgSend<void()>(objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel,
                                                  CGRectMake(0, bounds.size.height - 0.5, bounds.size.width, 0.5)),
                         "fill"_sel);
    id top = objc_msgSend<id()>(self->_navigationController, "topViewController"_sel);
    if (top == nil) return;
    id item = objc_msgSend<id()>(top, "navigationItem"_sel);
    double midY = bounds.size.height / 2;
    id title = objc_msgSend<id()>(item, "title"_sel);
    if (title != nil) {
        id attributes = NSDictionary::make({{NSFontAttributeName, UIFont::system(kFontSize, true)},
                                            {NSForegroundColorAttributeName, UIColor::make(0, 0, 0, 1)}});
        CGSize size = objc_msgSend<CGSize(id)>(title, "sizeWithAttributes:"_sel, attributes);
        objc_msgSend<void(CGPoint, id)>(title, "drawAtPoint:withAttributes:"_sel,
                                        CGPointMake((bounds.size.width - size.width) / 2, midY - size.height / 2), attributes);
    }
    id tint = objc_msgSend<id()>(self, "tintColor"_sel);
    double right = bounds.size.width - kMargin;
    auto* items = objectAs<UINavigationItem>(item);
    if (items == nullptr) return;
    for (const Strong<UIBarButtonItem>& it : items->_rightBarButtonItems) {
        id colour = it->_tintColor ? objc::as_id(it->_tintColor.get()) : tint;
        if (it->_systemItem == UIBarButtonSystemItemBookmarks) {
            right -= kBookWidth;
            drawBook(right, midY, colour);
        } else if (it->_title) {
            id attributes = NSDictionary::make({{NSFontAttributeName, UIFont::system(kFontSize, it->_style == UIBarButtonItemStyleDone)},
                                                {NSForegroundColorAttributeName, colour}});
            CGSize size = objc_msgSend<CGSize(id)>(it->_title.get(), "sizeWithAttributes:"_sel, attributes);
            right -= size.width;
            objc_msgSend<void(CGPoint, id)>(it->_title.get(), "drawAtPoint:withAttributes:"_sel,
                                            CGPointMake(right, midY - size.height / 2), attributes);
        }
        right -= kSpacing;
    }
}

}  // namespace bar

}  // namespace

void platform::uikit::registerNavigationControllers() {
    objc::ClassDef<UINavigationItem>("UINavigationItem", NSObject::cls())
        .method<navigationItem::title>("title")
        .method<navigationItem::setTitle>("setTitle:")
        .method<navigationItem::rightBarButtonItems>("rightBarButtonItems")
        .method<navigationItem::setRightBarButtonItems>("setRightBarButtonItems:")
        .method<navigationItem::setRightBarButtonItemsAnimated>("setRightBarButtonItems:animated:")
        .method<navigationItem::rightBarButtonItem>("rightBarButtonItem")
        .method<navigationItem::setRightBarButtonItem>("setRightBarButtonItem:")
        .method<navigationItem::setRightBarButtonItemAnimated>("setRightBarButtonItem:animated:");
    objc::define_method(UIViewController::cls(), "navigationItem"_sel, objc::make_imp<controllerNavigationItem>(), "");
    objc::ClassDef<UINavigationBar>("UINavigationBar", UIView::cls()).method<bar::drawRect>("drawRect:");
    objc::ClassDef<UINavigationController>("UINavigationController", UIViewController::cls())
        .method<navigation::initWithRootViewController>("initWithRootViewController:")
        .method<navigation::viewControllers>("viewControllers")
        .method<navigation::setViewControllers>("setViewControllers:animated:")
        .method<navigation::pushViewController>("pushViewController:animated:")
        .method<navigation::popViewControllerAnimated>("popViewControllerAnimated:")
        .method<navigation::popToViewController>("popToViewController:animated:")
        .method<navigation::popToRootViewControllerAnimated>("popToRootViewControllerAnimated:")
        .method<navigation::topViewController>("topViewController")
        .method<navigation::navigationBar>("navigationBar");
}

bool platform::navigationBarShows(UINavigationController* navigation) {
    id top = objc_msgSend<id()>(navigation, "topViewController"_sel);
    if (top == nil) return false;
    id item = objc_msgSend<id()>(top, "navigationItem"_sel);
    return objc_msgSend<id()>(item, "title"_sel) != nil || objc_msgSend<id()>(item, "rightBarButtonItem"_sel) != nil;
}

CGRect platform::navigationContentFrame(UINavigationController* navigation) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    if (!navigationBarShows(navigation)) return screen;
    CGFloat top = CGRectGetMaxY(objc_msgSend<CGRect()>(objc_msgSend<id()>(navigation, "navigationBar"_sel), "frame"_sel));
    top = std::min(top, screen.size.height);
    return CGRectMake(0, top, screen.size.width, screen.size.height - top);
}
