// MPHRootViewController: the Music app's root controller; its one child is
// the tab bar controller, whose view fills the root view.
//
//   initWithTabBarController:   id(id)
//   loadView                    void()   a plain view holding the tab bar controller's view
#pragma once

#include <UIKit/UITabBarController.h>
#include <UIKit/UIViewController.h>

struct MPHRootViewController : UIViewController {
    OBJC_CLASS(MPHRootViewController)

    UITabBarController* _tabBarController = nullptr;  // owned

    ~MPHRootViewController() override;
};
