// UIViewController, UITabBarController and UIMoreListController
// (UINavigationController: UINavigationController.cpp).
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIKit.h>

#include <algorithm>

using namespace platform::support;

UIViewController::~UIViewController() {
    for (Strong<UIViewController>& c : _childViewControllers) c->_parentViewController = nullptr;
    if (_view != nullptr && _view->_viewDelegate == this) _view->_viewDelegate = nullptr;
    clearStrong(_view);
    clearStrong(_title);
    clearStrong(_nibName);
    clearStrong(_nibBundle);
    if (_presentedViewController != nullptr) _presentedViewController->_presentingViewController = nullptr;
    clearStrong(_presentedViewController);
    if (_navigationItem != nullptr) _navigationItem->_controller = nullptr;
    clearStrong(_navigationItem);
}

namespace {

// The nearest controller above `self` that is a `cls`, asked through
// parentViewController.
id ancestorOfClass(id self, Class cls) {
    for (id p = objc_msgSend<id()>(self, "parentViewController"_sel); p != nullptr;
         p = objc_msgSend<id()>(p, "parentViewController"_sel)) {
        if (objc_isKindOfClass(p, cls)) return p;
    }
    return nil;
}

namespace controller {

id init(UIViewController* self, SEL) {
    return objc_msgSend<id(id, id)>(self, "initWithNibName:bundle:"_sel, nil, nil);
}

id initWithNibNameBundle(UIViewController* self, SEL, id nibName, id bundle) {
    self = objectAs<UIViewController>(objc_msgSendSuper<id()>(self, UIViewController::cls(), "init"_sel));
    if (self == nullptr) return nil;
    storeStrong(self->_nibName, nibName);
    storeStrong(self->_nibBundle, bundle);
    return self;
}

id nibName(UIViewController* self, SEL) { return self->_nibName; }
NSInteger interfaceOrientation(UIViewController* self, SEL) { return self->_interfaceOrientation; }
void willRotate(UIViewController*, SEL, NSInteger, double) {}
void didRotate(UIViewController*, SEL, NSInteger) {}
id nibBundle(UIViewController* self, SEL) { return self->_nibBundle; }

id view(UIViewController* self, SEL) {
    if (self->_view == nullptr) {
        objc_msgSend<void()>(self, "loadView"_sel);
        if (self->_view == nullptr)
            NSException::raise(NSInternalInconsistencyException,
                               std::string("-[") + object_getClassName(self) + " loadView] did not set a view");
        objc_msgSend<void()>(self, "viewDidLoad"_sel);
    }
    return self->_view;
}

// The controller gets the view's layout callbacks. A view taken from another
// controller stays owned by it but reports to this one.
void setView(UIViewController* self, SEL, id obj) {
    UIView* view = requireObject<UIView>(obj, "-[UIViewController setView:]");
    if (view == self->_view) return;
    if (self->_view != nullptr && self->_view->_viewDelegate == self) self->_view->_viewDelegate = nullptr;
    storeStrong(self->_view, view);
    if (view != nullptr) view->_viewDelegate = self;
}

BOOL isViewLoaded(UIViewController* self, SEL) { return self->_view != nullptr; }

// From the nib named by initWithNibName:bundle: when there is one (its
// File's Owner is the controller, which gets its view through the "view"
// outlet), else a plain view.
void loadView(UIViewController* self, SEL) {
    if (self->_nibName != nullptr) {
        id bundle = self->_nibBundle != nullptr ? self->_nibBundle : objc_msgSend<id()>(objc_getClass("NSBundle"), "mainBundle"_sel);
        objc_msgSend<id(id, id, id)>(bundle, "loadNibNamed:owner:options:"_sel, self->_nibName, self, nil);
        return;
    }
    id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
}

void viewDidLoad(UIViewController*, SEL) {}
void viewWillAppear(UIViewController*, SEL, BOOL) {}
void viewDidAppear(UIViewController*, SEL, BOOL) {}
void viewWillDisappear(UIViewController*, SEL, BOOL) {}
void viewDidDisappear(UIViewController*, SEL, BOOL) {}
void viewWillLayoutSubviews(UIViewController*, SEL) {}
void viewDidLayoutSubviews(UIViewController*, SEL) {}

id title(UIViewController* self, SEL) { return self->_title; }
void setTitle(UIViewController* self, SEL, id title) { storeStrong(self->_title, title); }

id parentViewController(UIViewController* self, SEL) { return self->_parentViewController; }

id navigationController(UIViewController* self, SEL) { return ancestorOfClass(self, UINavigationController::cls()); }

id tabBarController(UIViewController* self, SEL) { return ancestorOfClass(self, UITabBarController::cls()); }

void addChildViewController(UIViewController* self, SEL, id obj) {
    UIViewController* child = requireObject<UIViewController>(obj, "-[UIViewController addChildViewController:]");
    if (child == nullptr || child->_parentViewController == self) return;
    for (UIViewController* p = self; p != nullptr; p = p->_parentViewController) {
        if (p == child)
            NSException::raise(NSInvalidArgumentException,
                               "-[UIViewController addChildViewController:]: a controller cannot be its own child");
    }
    Strong<UIViewController> keep(child);
    objc_msgSend<void()>(child, "removeFromParentViewController"_sel);
    self->_childViewControllers.push_back(keep);
    child->_parentViewController = self;
}

void removeFromParentViewController(UIViewController* self, SEL) {
    UIViewController* parent = self->_parentViewController;
    if (parent == nullptr) return;
    Strong<UIViewController> keep(self);
    self->_parentViewController = nullptr;
    auto& list = parent->_childViewControllers;
    auto it = std::find_if(list.begin(), list.end(),
                           [&](const Strong<UIViewController>& c) { return c.get() == self; });
    if (it != list.end()) list.erase(it);
}

id childViewControllers(UIViewController* self, SEL) { return arrayOf(self->_childViewControllers); }

// The Music app's category.
BOOL supportsCoverFlow(UIViewController*, SEL) { return YES; }

// The store button stands alone on a bar that has no right item.
void updateStoreNavigationItem(UIViewController* self, SEL) {
    ++self->_storeButtonUpdates;
    id item = objc_msgSend<id()>(self, "navigationItem"_sel);
    if (objc_msgSend<id()>(item, "rightBarButtonItem"_sel) != nil) return;
    id store = objc_msgSend<id(id, NSInteger, id, SEL)>(objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel),
                                                        "initWithTitle:style:target:action:"_sel, NSString::make("Store"),
                                                        UIBarButtonItemStylePlain, nil, static_cast<SEL>(nullptr));
    objc_msgSend<void(id)>(item, "setRightBarButtonItem:"_sel, store);
    objc_release(store);
}

void updateForContentChangeForInitialViewLoad(UIViewController* self, SEL, BOOL) {
    objc_msgSend<void()>(self, "music_updateStoreNavigationItem"_sel);
}

}  // namespace controller

namespace tabBar {

id viewControllers(UITabBarController* self, SEL) { return arrayOf(self->_childViewControllers); }

void setViewControllers(UITabBarController* self, SEL, id array) {
    auto incoming = objectsOf<UIViewController>(array, "-[UITabBarController setViewControllers:]");
    std::vector<Strong<UIViewController>> old = self->_childViewControllers;
    for (const Strong<UIViewController>& c : old) objc_msgSend<void()>(c.get(), "removeFromParentViewController"_sel);
    for (const Strong<UIViewController>& c : incoming) objc_msgSend<void(id)>(self, "addChildViewController:"_sel, c.get());
    if (self->_selectedIndex >= self->_childViewControllers.size()) self->_selectedIndex = 0;
}

id selectedViewController(UITabBarController* self, SEL) {
    if (self->_selectedIndex >= self->_childViewControllers.size()) return nil;
    return self->_childViewControllers[self->_selectedIndex].get();
}

void setSelectedViewController(UITabBarController* self, SEL, id obj) {
    auto& list = self->_childViewControllers;
    auto it = std::find_if(list.begin(), list.end(), [&](const Strong<UIViewController>& c) {
        return objc::as_id(c.get()) == obj;
    });
    if (it != list.end()) self->_selectedIndex = static_cast<NSUInteger>(it - list.begin());
}

NSUInteger selectedIndex(UITabBarController* self, SEL) { return self->_selectedIndex; }

void setSelectedIndex(UITabBarController* self, SEL, NSUInteger index) {
    if (index < self->_childViewControllers.size()) self->_selectedIndex = index;
}

}  // namespace tabBar

namespace moreList {

void viewWillAppear(UIMoreListController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, UIMoreListController::cls(), "viewWillAppear:"_sel, animated);
    objc_msgSend<void()>(self, "_layoutCells"_sel);
}

// Lays the list out now rather than at the next layout pass.
void layoutCells(UIMoreListController* self, SEL) {
    if (objc_msgSend<BOOL()>(self, "isViewLoaded"_sel))
        objc_msgSend<void()>(objc_msgSend<id()>(self, "view"_sel), "layoutIfNeeded"_sel);
}

}  // namespace moreList

}  // namespace

void platform::uikit::registerViewControllers() {
    objc::ClassDef<UIViewController>("UIViewController", UIResponder::cls())
        .method<controller::init>("init")
        .method<controller::initWithNibNameBundle>("initWithNibName:bundle:")
        .method<controller::nibName>("nibName")
        .method<controller::interfaceOrientation>("interfaceOrientation")
        .method<controller::willRotate>("willRotateToInterfaceOrientation:duration:")
        .method<controller::didRotate>("didRotateFromInterfaceOrientation:")
        .method<controller::nibBundle>("nibBundle")
        .method<controller::view>("view")
        .method<controller::setView>("setView:")
        .method<controller::isViewLoaded>("isViewLoaded")
        .method<controller::loadView>("loadView")
        .method<controller::viewDidLoad>("viewDidLoad")
        .method<controller::viewWillAppear>("viewWillAppear:")
        .method<controller::viewDidAppear>("viewDidAppear:")
        .method<controller::viewWillDisappear>("viewWillDisappear:")
        .method<controller::viewDidDisappear>("viewDidDisappear:")
        .method<controller::viewWillLayoutSubviews>("viewWillLayoutSubviews")
        .method<controller::viewDidLayoutSubviews>("viewDidLayoutSubviews")
        .method<controller::title>("title")
        .method<controller::setTitle>("setTitle:")
        .method<controller::parentViewController>("parentViewController")
        .method<controller::navigationController>("navigationController")
        .method<controller::tabBarController>("tabBarController")
        .method<controller::addChildViewController>("addChildViewController:")
        .method<controller::removeFromParentViewController>("removeFromParentViewController")
        .method<controller::childViewControllers>("childViewControllers")
        .method<controller::supportsCoverFlow>("MPH_supportsCoverFlow")
        .method<controller::updateStoreNavigationItem>("music_updateStoreNavigationItem")
        .method<controller::updateForContentChangeForInitialViewLoad>("_music_updateForContentChangeForInitialViewLoad:")
        .OBJC_IVAR(UIViewController, _view)
        .OBJC_IVAR(UIViewController, _title)
        .OBJC_IVAR(UIViewController, _nibName)
        .OBJC_IVAR(UIViewController, _nibBundle)
        .OBJC_IVAR(UIViewController, _parentViewController)
        .OBJC_IVAR(UIViewController, _storeButtonUpdates);
    registerNavigationControllers();
    objc::ClassDef<UITabBarController>("UITabBarController", UIViewController::cls())
        .method<tabBar::viewControllers>("viewControllers")
        .method<tabBar::setViewControllers>("setViewControllers:")
        .method<tabBar::selectedViewController>("selectedViewController")
        .method<tabBar::setSelectedViewController>("setSelectedViewController:")
        .method<tabBar::selectedIndex>("selectedIndex")
        .method<tabBar::setSelectedIndex>("setSelectedIndex:")
        .OBJC_IVAR(UITabBarController, _selectedIndex);
    objc::ClassDef<UIMoreListController>("UIMoreListController", UIViewController::cls())
        .method<moreList::viewWillAppear>("viewWillAppear:")
        .method<moreList::layoutCells>("_layoutCells");
}
