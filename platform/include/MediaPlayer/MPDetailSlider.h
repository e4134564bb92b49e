// MPDetailSlider: the playback position slider of the now-playing screen.
//
// MPDetailSlider : UIView
//   value / setValue:   double() / void(double)   0..1, the played part
//   drawRect:           a grey track across the middle, the played part in
//                       the tint colour and a round knob at the value
#pragma once

#include <UIKit/UIView.h>

struct MPDetailSlider : UIView {
    OBJC_CLASS(MPDetailSlider)

    double _value = 0;
};
