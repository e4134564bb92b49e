// SLComposeViewController: the composer of a post to a social service.
//
//   +isAvailableForServiceType:            BOOL(id)   whether an account of that service
//                                          is set up (platform::setSocialServiceAvailable;
//                                          none is until set)
//   +composeViewControllerForServiceType:  id(id)     a new autoreleased composer; nil for a
//                                          service that is not available
//   serviceType                            id()
//   setInitialText: / initialText          BOOL(id) / id()   YES
//   addImage: / images                     BOOL(id) / id()   YES; NSArray of UIImage
//   setCompletionHandler: / completionHandler   void(id) / id()   block void(NSInteger):
//                                          1 done, 0 cancelled
//   view                                   drawn: a card in the upper part of the dimmed
//                                          screen with "Cancel", the service's name and
//                                          "Post", the text wrapped, the first image beside it
// The service types: SLServiceTypeTwitter, SLServiceTypeFacebook.
#pragma once

#include <UIKit/UIViewController.h>

#include <string>
#include <vector>

struct NSString;

#define SLServiceTypeTwitter ("com.platform.social.twitter"_ns)
#define SLServiceTypeFacebook ("com.platform.social.facebook"_ns)

struct SLComposeViewController : UIViewController {
    OBJC_CLASS(SLComposeViewController)

    Strong<NSString> _serviceType;
    Strong<NSString> _initialText;
    std::vector<Strong<NSObject>> _images;
    Strong<NSObject> _completionHandler;
};

namespace platform {

// Sets whether a service (by its type string) is available; tests and the
// host set it.
void setSocialServiceAvailable(const std::string& serviceType, bool available);
bool socialServiceAvailable(const std::string& serviceType);

}  // namespace platform
