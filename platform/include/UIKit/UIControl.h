// UIControl: a view that reacts to touches.
#pragma once

#include <UIKit/UIView.h>

struct UIControl : UIView {
    OBJC_CLASS(UIControl)
};
