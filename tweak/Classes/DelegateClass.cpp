#include "DelegateClass.h"

#include "Cantrel.h"

#include <Foundation/NSString.h>
#include <UIKit/UIViewController.h>

#include <mutex>

namespace {

id currentViewController(DelegateClass* self, SEL) { return self->_currentViewController; }

void setCurrentViewController(DelegateClass* self, SEL, id controller) {
    self->_currentViewController = static_cast<UIViewController*>(controller);
}

void dismissPresenter(DelegateClass* self) {
    objc_msgSend<void(BOOL, id)>(objc_msgSend<id()>(self, "currentViewController"_sel),
                                 "dismissViewControllerAnimated:completion:"_sel, YES, nil);
}

void mailComposeControllerDidFinish(DelegateClass* self, SEL, id, NSInteger result, id) {
    switch (result) {
        case 0: CLog("You cancelled sending this email."); break;
        case 1: CLog("You saved a draft of this email"); break;
        case 2: CLog("You sent the email."); break;
        case 3: CLog("Mail failed:  An error occurred when trying to compose this email"); break;
        default: CLog("An error occurred when trying to compose this email"); break;
    }
    dismissPresenter(self);
}

void messageComposeViewControllerDidFinish(DelegateClass* self, SEL, id, NSInteger result) {
    if (result == 0) CLog("Message cancelled");
    dismissPresenter(self);
}

}  // namespace

void registerDelegateClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<DelegateClass>("DelegateClass", NSObject::cls())
            .method<currentViewController>("currentViewController", "@@:")
            .method<setCurrentViewController>("setCurrentViewController:", "v@:@")
            .method<mailComposeControllerDidFinish>("mailComposeController:didFinishWithResult:error:", "v@:@q@")
            .method<messageComposeViewControllerDidFinish>("messageComposeViewController:didFinishWithResult:",
                                                           "v@:@q")
            .OBJC_IVAR(DelegateClass, _currentViewController);
    });
}
