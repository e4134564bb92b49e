// UIButton: a control drawn as a button.
#pragma once

#include <UIKit/UIControl.h>

struct UIButton : UIControl {
    OBJC_CLASS(UIButton)
};
