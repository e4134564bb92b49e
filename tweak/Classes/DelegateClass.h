// DelegateClass: the delegate of the mail and the message compose sheets. It
// logs how the sheet ended and dismisses the sheet's presenter.
//
//   currentViewController / setCurrentViewController:   id() / void(id)   not retained
//   mailComposeController:didFinishWithResult:error:    void(id, NSInteger, id)
//   messageComposeViewController:didFinishWithResult:   void(id, NSInteger)
//
// Results of the mail sheet: 0 cancelled, 1 saved, 2 sent, 3 failed; of the
// message sheet: 0 cancelled, 1 sent, 2 failed.
#pragma once

#include <objc/NSObject.h>

struct UIViewController;

struct DelegateClass : NSObject {
    OBJC_CLASS(DelegateClass)

    UIViewController* _currentViewController = nullptr;  // not retained
};

// Registers the class. Idempotent.
void registerDelegateClass();
