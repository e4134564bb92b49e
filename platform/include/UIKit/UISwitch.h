// UISwitch: an on/off control.
//
//   initWithFrame:          id(CGRect)   always 51 x 31 points at the frame's origin
//   isOn / on               BOOL()
//   setOn: / setOn:animated:   void(BOOL) / void(BOOL, BOOL)   sets the state and sends
//                           nothing (only a user's change sends value changed)
//   drawRect:               void(CGRect)   a rounded track, green when on, light grey
//                           when off, with a white knob at its end
// Nibs set the state with the property "on".
#pragma once

#include <UIKit/UIControl.h>

struct UISwitch : UIControl {
    OBJC_CLASS(UISwitch)

    BOOL _on = NO;
};

namespace platform {

// A user's change of the switch: it flips, then sends its value-changed
// actions. Nothing (false) for nil, a disabled switch or one the user cannot
// reach (hidden, or under a view that takes no touches).
bool toggleSwitch(UISwitch* control);

}  // namespace platform
