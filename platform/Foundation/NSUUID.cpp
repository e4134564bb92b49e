// NSUUID over libuuid.
#include <Foundation/NSString.h>
#include <Foundation/NSUUID.h>

#include "Internal.h"

#include <cstring>

#include <uuid/uuid.h>

namespace {

id initUUID(NSUUID* self, SEL) {
    self = static_cast<NSUUID*>(objc_msgSendSuper<id()>(self, NSUUID::cls(), "init"_sel));
    if (self != nullptr) uuid_generate_random(self->_bytes);
    return self;
}

id makeUUID(Class cls, SEL) {
    id made = objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel);
    return objc_autorelease(made);
}

id uuidString(NSUUID* self, SEL) {
    char text[37];
    uuid_unparse_upper(self->_bytes, text);
    return NSString::make(text);
}

BOOL isEqual(NSUUID* self, SEL, id other) {
    if (other == nil || !objc_isKindOfClass(other, NSUUID::cls())) return NO;
    return std::memcmp(self->_bytes, static_cast<NSUUID*>(other)->_bytes, sizeof self->_bytes) == 0;
}

NSUInteger hashUUID(NSUUID* self, SEL) {
    NSUInteger h = 0;
    std::memcpy(&h, self->_bytes, sizeof h);
    return h;
}

id description(NSUUID* self, SEL) { return uuidString(self, nullptr); }

}  // namespace

void platform::foundation::registerUUIDs() {
    objc::ClassDef<NSUUID>("NSUUID", NSObject::cls())
        .classMethod<makeUUID>("UUID")
        .method<initUUID>("init")
        .method<uuidString>("UUIDString")
        .method<isEqual>("isEqual:")
        .method<hashUUID>("hash")
        .method<description>("description");
}
