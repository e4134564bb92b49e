// Cantrel_ManualViewController ("CManualVC"): the manual page. Outlets
// containerView, exampleImageView, tapHandView (a CustomDrawView of tag 11).
// viewDidLoad plays the bundle's "Cantrel_@2x.gif" once on the image view
// (resting on its last frame), adds a tap and a left-swipe recogniser whose
// action exampleImageTap (void()) plays it again, fixes the container's
// width to the screen's shorter side and redraws the hand.
#pragma once

#include "CustomDrawView.h"

#include <UIKit/UIImageView.h>
#include <UIKit/UIViewController.h>

struct Cantrel_ManualViewController : UIViewController {
    OBJC_CLASS(Cantrel_ManualViewController)

    Weak<UIView> _containerView;
    Weak<UIImageView> _exampleImageView;
    Weak<CustomDrawView> _tapHandView;
};

void registerManualPage();
