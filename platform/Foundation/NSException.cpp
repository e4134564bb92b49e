#include <Foundation/NSDictionary.h>
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>

#include "Internal.h"

NSException* NSException::make(const std::string& name, const std::string& reason) {
    auto* e = static_cast<NSException*>(class_createInstance(NSException::cls()));
    e->name_ = name;
    e->reason_ = reason;
    return autorelease(e);
}

void NSException::raise(const std::string& name, const std::string& reason) { make(name, reason)->raise(); }

void NSException::raise() { throw this; }

namespace {

id exceptionWithName(objc_class* self, SEL, NSString* name, NSString* reason, NSDictionary* userInfo) {
    auto* e = platform::foundation::allocate<NSException>(self);
    e->name_ = to_string(name);
    e->reason_ = to_string(reason);
    e->userInfo_ = userInfo;
    return autorelease(e);
}
id initWithName(NSException* self, SEL, NSString* name, NSString* reason, NSDictionary* userInfo) {
    self->name_ = to_string(name);
    self->reason_ = to_string(reason);
    self->userInfo_ = userInfo;
    return self;
}
NSString* name(NSException* self, SEL) { return NSString::make(self->name_); }
NSString* reason(NSException* self, SEL) { return NSString::make(self->reason_); }
NSDictionary* userInfo(NSException* self, SEL) { return self->userInfo_; }
void raise(NSException* self, SEL) { self->raise(); }

}  // namespace

void platform::foundation::registerExceptions() {
    objc::ClassDef<NSException>("NSException", NSObject::cls())
        .classMethod<exceptionWithName>("exceptionWithName:reason:userInfo:")
        .method<initWithName>("initWithName:reason:userInfo:")
        .method<name>("name")
        .method<reason>("reason")
        .method<userInfo>("userInfo")
        .method<reason>("description")
        .method<raise>("raise");
}
