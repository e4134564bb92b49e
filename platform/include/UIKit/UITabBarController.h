// UITabBarController: one tab per child controller.
//
//   viewControllers / setViewControllers:        id() / void(id)   NSArray
//   selectedViewController / setSelectedViewController:   id() / void(id)
//   selectedIndex / setSelectedIndex:            NSUInteger() / void(NSUInteger)
#pragma once

#include <UIKit/UIViewController.h>

struct UITabBarController : UIViewController {
    OBJC_CLASS(UITabBarController)

    NSUInteger _selectedIndex = 0;
};
