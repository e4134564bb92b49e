// UIMoreListController: the list of the tabs that do not fit on the tab bar.
//
//   viewWillAppear:   void(BOOL)   -> _layoutCells
//   _layoutCells      void()
#pragma once

#include <UIKit/UIViewController.h>

struct UIMoreListController : UIViewController {
    OBJC_CLASS(UIMoreListController)
};
