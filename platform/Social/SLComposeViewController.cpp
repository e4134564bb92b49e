// SLComposeViewController and the availability of the social services.
#include "../UIKit/ObjectSupport.h"
#include "../UIKit/Private.h"

#include <Foundation/NSString.h>
#include <Social/SLComposeViewController.h>

#include <set>

using namespace platform::support;

namespace {

std::set<std::string>& available() {
    static auto* services = new std::set<std::string>();
    return *services;
}

BOOL isAvailable(Class, SEL, id type) { return platform::socialServiceAvailable(to_string(static_cast<NSString*>(type))); }

id composer(Class cls, SEL, id type) {
    if (!platform::socialServiceAvailable(to_string(static_cast<NSString*>(type)))) return nil;
    auto* c = static_cast<SLComposeViewController*>(newObject(cls));
    c->_serviceType = static_cast<NSString*>(type);
    return autorelease(c);
}

id serviceType(SLComposeViewController* self, SEL) { return self->_serviceType.get(); }
BOOL setInitialText(SLComposeViewController* self, SEL, id text) {
    self->_initialText = requireObject<NSString>(text, "-[SLComposeViewController setInitialText:]");
    return YES;
}
id initialText(SLComposeViewController* self, SEL) { return self->_initialText.get(); }
BOOL addImage(SLComposeViewController* self, SEL, id image) {
    if (image == nil) return NO;
    self->_images.emplace_back(static_cast<NSObject*>(image));
    return YES;
}
id images(SLComposeViewController* self, SEL) { return arrayOf(self->_images); }
void setCompletionHandler(SLComposeViewController* self, SEL, id block) {
    self->_completionHandler = static_cast<NSObject*>(objc_msgSend<id()>(block, "copy"_sel));
    objc_release(block);
}
id completionHandler(SLComposeViewController* self, SEL) { return self->_completionHandler.get(); }

}  // namespace

void platform::uikit::registerSocial() {
    objc::ClassDef<SLComposeViewController>("SLComposeViewController", UIViewController::cls())
        .classMethod<isAvailable>("isAvailableForServiceType:")
        .classMethod<composer>("composeViewControllerForServiceType:")
        .method<serviceType>("serviceType")
        .method<setInitialText>("setInitialText:")
        .method<initialText>("initialText")
        .method<addImage>("addImage:")
        .method<images>("images")
        .method<setCompletionHandler>("setCompletionHandler:")
        .method<completionHandler>("completionHandler");
}

void platform::setSocialServiceAvailable(const std::string& serviceType, bool on) {
    if (on) available().insert(serviceType);
    else available().erase(serviceType);
}

bool platform::socialServiceAvailable(const std::string& serviceType) { return available().count(serviceType) > 0; }
