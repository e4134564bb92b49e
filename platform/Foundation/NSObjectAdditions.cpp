// Foundation's additions to NSObject (description, debugDescription) and the
// name conversions of NSObjCRuntime.h.
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSString.h>

#include "Internal.h"

#include <cstdio>

namespace {

NSString* description(objc_object* self, SEL) {
    // A class object describes itself by its name.
    if (class_isMetaClass(self->isa)) return NSString::make(class_getName(static_cast<Class>(self)));
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(self));
    return NSString::make(std::string("<") + object_getClassName(self) + ": " + address + ">");
}

NSString* debugDescription(objc_object* self, SEL) { return objc_msgSend<NSString*()>(self, "description"_sel); }

}  // namespace

namespace platform::foundation {

void registerObjectAdditions() {
    objc::define_method(NSObject::cls(), "description"_sel, objc::make_imp<description>(), "@@:");
    objc::define_method(NSObject::cls(), "debugDescription"_sel, objc::make_imp<debugDescription>(), "@@:");
}

std::string describe(id obj) {
    if (obj == nullptr) return "(null)";
    NSString* d = objc_msgSend<NSString*()>(obj, "description"_sel);
    return d ? d->str() : "(null)";
}

NSString* str(const std::string& utf8) { return NSString::make(utf8); }

}  // namespace platform::foundation

NSString* NSStringFromClass(Class cls) { return cls ? NSString::make(class_getName(cls)) : nullptr; }

Class NSClassFromString(NSString* name) { return name ? objc_getClass(name->c_str()) : nullptr; }

NSString* NSStringFromSelector(SEL sel) { return sel ? NSString::make(sel_getName(sel)) : nullptr; }

SEL NSSelectorFromString(NSString* name) { return name ? sel_registerName(name->c_str()) : nullptr; }
