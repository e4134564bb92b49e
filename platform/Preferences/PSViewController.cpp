// PSViewController and the Settings app's navigation stack.
#include "../Registration.h"

#include <Preferences/PSViewController.h>

#include <utility>

namespace {

id initForContentSize(PSViewController* self, SEL, CGSize) { return objc_msgSend<id()>(self, "init"_sel); }

id navigationTitle(PSViewController*, SEL) { return nil; }

void pushController(PSViewController*, SEL, id controller) {
    if (!objc_isKindOfClass(controller, UIViewController::cls())) return;
    platform::SettingsStack::shared().push(static_cast<UIViewController*>(controller));
}

}  // namespace

namespace platform {

SettingsStack& SettingsStack::shared() {
    static SettingsStack stack;
    return stack;
}

void SettingsStack::push(UIViewController* controller) {
    if (controller != nullptr) stack_.emplace_back(controller);
}

bool SettingsStack::back() {
    if (stack_.size() < 2) return false;
    Strong<UIViewController> gone = std::move(stack_.back());
    stack_.pop_back();
    objc_msgSend<void(BOOL)>(stack_.back().get(), "viewWillAppear:"_sel, NO);
    return true;
}

UIViewController* SettingsStack::top() const { return stack_.empty() ? nullptr : stack_.back().get(); }

void SettingsStack::clear() {
    std::vector<Strong<UIViewController>> gone;
    gone.swap(stack_);
}

void registerPreferences() {
    objc::ClassDef<PSViewController>("PSViewController", UIViewController::cls())
        .method<initForContentSize>("initForContentSize:", "@@:{CGSize=dd}")
        .method<navigationTitle>("navigationTitle", "@@:")
        .method<pushController>("pushController:", "v@:@");
}

}  // namespace platform
