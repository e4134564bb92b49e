// UIViewController: manages one view (loaded on first use) and a list of
// child controllers.
//
//   init                                  id()          -> initWithNibName:bundle: nil nil
//   initWithNibName:bundle:               id(id, id)
//   view                                  id()          loads it first: loadView, then viewDidLoad
//   setView:                              void(id)
//   isViewLoaded                          BOOL()
//   loadView                              void()        a plain UIView
//   viewDidLoad                           void()
//   viewWillAppear: / viewDidAppear:      void(BOOL)
//   viewWillDisappear: / viewDidDisappear: void(BOOL)
//   viewWillLayoutSubviews / viewDidLayoutSubviews   void()  sent around the view's layoutSubviews
//   title / setTitle:                     id() / void(id)   retained
//   nibName / nibBundle                   id()
//   parentViewController                  id()
//   navigationController                  id()          nearest UINavigationController above
//   tabBarController                      id()          nearest UITabBarController above
//   addChildViewController:               void(id)
//   removeFromParentViewController        void()
//   childViewControllers                  id()          NSArray
//   interfaceOrientation                  NSInteger()   1 portrait (the default), 2 upside
//                                                       down, 3 and 4 landscape
//   willRotateToInterfaceOrientation:duration:   void(NSInteger, double)   nothing here
//   didRotateFromInterfaceOrientation:    void(NSInteger)   nothing here
//   (platform::rotateInterface in UIApplication.h turns the device)
//
// The Music app's category on UIViewController (defined on this class):
//   MPH_supportsCoverFlow                              BOOL()  YES
//   music_updateStoreNavigationItem                    void()  places the store button: a
//                                                              "Store" item as the only right
//                                                              item of a bar that has none
//                                                              (counted in _storeButtonUpdates)
//   _music_updateForContentChangeForInitialViewLoad:   void(BOOL)  -> music_updateStoreNavigationItem
#pragma once

#include <UIKit/UIResponder.h>

#include <vector>

struct UIView;

struct UIViewController : UIResponder {
    OBJC_CLASS(UIViewController)

    UIView* _view = nullptr;  // owned
    id _title = nil;          // owned
    id _nibName = nil;        // owned
    id _nibBundle = nil;      // owned
    UIViewController* _parentViewController = nullptr;
    std::vector<Strong<UIViewController>> _childViewControllers;
    NSInteger _storeButtonUpdates = 0;
    // Made on first use by navigationItem (UINavigationController.h).
    struct UINavigationItem* _navigationItem = nullptr;  // owned
    // Presentation (UIAlertController.h): the controller this one presents
    // (owned) and the one presenting it.
    UIViewController* _presentedViewController = nullptr;
    UIViewController* _presentingViewController = nullptr;
    BOOL _inTransition = NO;
    NSInteger _interfaceOrientation = 1;

    ~UIViewController() override;
};
