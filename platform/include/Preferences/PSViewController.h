// PSViewController: the Preferences framework's base class of a settings
// pane, as the Settings app hosts it.
//
//   initForContentSize:    id(CGSize)   -> init
//   view                   id()         the pane's view (UIViewController's)
//   navigationTitle        id()         nil unless a subclass answers
//   pushController:        void(id)     shows the controller on top of the Settings
//                                       app's navigation stack (platform::settingsStack)
//
// The stack holds the controllers pushed, owned, bottom first. The host shows
// the top one; going back pops it and sends viewWillAppear: to the one below.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIViewController.h>

#include <vector>

struct PSViewController : UIViewController {
    OBJC_CLASS(PSViewController)
};

namespace platform {

// The Settings app's navigation stack.
class SettingsStack {
public:
    static SettingsStack& shared();

    void push(UIViewController* controller);
    // Pops the top controller (it is released) and sends viewWillAppear: NO
    // to the one now on top; false when one or none is on the stack.
    bool back();
    UIViewController* top() const;
    size_t depth() const { return stack_.size(); }
    // Takes every controller off (the Settings app closing the pane).
    void clear();

private:
    std::vector<Strong<UIViewController>> stack_;
};

}  // namespace platform
