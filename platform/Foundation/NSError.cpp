// NSError.
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>

#include "Internal.h"

using platform::foundation::allocate;

NSError* NSError::make(NSString* domain, NSInteger code, NSDictionary* userInfo) {
    auto* e = allocate<NSError>(cls());
    e->domain_ = domain;
    e->code_ = code;
    e->userInfo_ = userInfo;
    return autorelease(e);
}

NSString* NSError::localizedDescription() const {
    id given = userInfo_ ? userInfo_->objectForKey(NSLocalizedDescriptionKey) : nullptr;
    if (objc_isKindOfClass(given, NSString::cls())) return static_cast<NSString*>(given);
    return NSStringWithFormat("The operation couldn\u2019t be completed. (%@ error %ld.)", domain_, code_);
}

namespace {

id errorWithDomain(objc_class* self, SEL, NSString* domain, NSInteger code, NSDictionary* userInfo) {
    auto* e = allocate<NSError>(self);
    e->domain_ = domain;
    e->code_ = code;
    e->userInfo_ = userInfo;
    return autorelease(e);
}
id initWithDomain(NSError* self, SEL, NSString* domain, NSInteger code, NSDictionary* userInfo) {
    self->domain_ = domain;
    self->code_ = code;
    self->userInfo_ = userInfo;
    return self;
}
NSString* domain(NSError* self, SEL) { return self->domain_; }
NSInteger code(NSError* self, SEL) { return self->code_; }
NSDictionary* userInfo(NSError* self, SEL) { return self->userInfo_; }
NSString* localizedDescription(NSError* self, SEL) { return self->localizedDescription(); }
NSString* description(NSError* self, SEL) {
    return NSStringWithFormat("Error Domain=%@ Code=%ld \"%@\"", self->domain_, self->code_, self->localizedDescription());
}

}  // namespace

void platform::foundation::registerErrors() {
    objc::ClassDef<NSError>("NSError", NSObject::cls())
        .classMethod<errorWithDomain>("errorWithDomain:code:userInfo:")
        .method<initWithDomain>("initWithDomain:code:userInfo:")
        .method<domain>("domain")
        .method<code>("code")
        .method<userInfo>("userInfo")
        .method<localizedDescription>("localizedDescription")
        .method<description>("description");
}
