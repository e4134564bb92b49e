// UINavigationController: a stack of controllers; its children, bottom to
// top, are the stack.
//
//   initWithRootViewController:       id(id)
//   viewControllers                   id()          NSArray, root first
//   pushViewController:animated:      void(id, BOOL)
//   popViewControllerAnimated:        id(BOOL)      the popped controller (autoreleased);
//                                                   nil when only the root is left
//   popToRootViewControllerAnimated:  id(BOOL)      NSArray of the popped controllers, top first
//   topViewController                 id()
#pragma once

#include <UIKit/UIViewController.h>

struct UINavigationController : UIViewController {
    OBJC_CLASS(UINavigationController)
};
