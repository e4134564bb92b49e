// NSData and NSMutableData.
#include <Foundation/NSData.h>
#include <Foundation/NSException.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSString.h>
#include <platform/DeviceRoot.h>

#include "Internal.h"

#include <cstdio>

using platform::foundation::allocate;

NSData* NSData::make(const void* bytes, NSUInteger length) {
    auto* d = allocate<NSData>(cls());
    if (length > 0) {
        auto* p = static_cast<const uint8_t*>(bytes);
        d->bytes_.assign(p, p + length);
    }
    return autorelease(d);
}

NSMutableData* NSMutableData::make() { return autorelease(allocate<NSMutableData>(cls())); }

void NSMutableData::appendBytes(const void* bytes, NSUInteger length) {
    if (length == 0) return;
    if (bytes == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSMutableData appendBytes:length:]: NULL bytes");
    auto* p = static_cast<const uint8_t*>(bytes);
    buffer().insert(buffer().end(), p, p + length);
}

namespace {

bool isData(id obj) { return objc_isKindOfClass(obj, NSData::cls()); }

NSData* newDataOf(Class cls, const std::vector<uint8_t>& bytes) {
    auto* d = allocate<NSData>(cls);
    d->buffer() = bytes;
    return d;
}

id dataClass(objc_class* self, SEL) { return autorelease(class_createInstance(self)); }
id dataWithBytes(objc_class* self, SEL, const void* bytes, NSUInteger length) {
    if (length > 0 && bytes == nullptr)
        NSException::raise(NSInvalidArgumentException, "+[NSData dataWithBytes:length:]: NULL bytes");
    auto* d = allocate<NSData>(self);
    if (length > 0) d->buffer().assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + length);
    return autorelease(d);
}
id dataWithContentsOfFile(objc_class* self, SEL, NSString* path) {
    if (path == nullptr) return nullptr;
    std::string host = platform::devicePath(path->str());
    std::string contents;
    if (host.empty() || !platform::readDeviceFile(host, contents)) return nullptr;
    auto* d = allocate<NSData>(self);
    d->buffer().assign(contents.begin(), contents.end());
    return autorelease(d);
}

NSUInteger length(NSData* self, SEL) { return self->length(); }
const void* bytes(NSData* self, SEL) { return self->bytes(); }
BOOL isEqualToData(NSData* self, SEL, NSData* other) { return self->isEqualToData(other); }
BOOL isEqual(NSData* self, SEL, id other) {
    return other == self || (isData(other) && self->isEqualToData(static_cast<NSData*>(other)));
}
NSUInteger hash(NSData* self, SEL) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : self->buffer()) h = (h ^ b) * 1099511628211ull;
    return h;
}
// {length = 3, bytes = 0x0a0b0c}; long data shows its first and last bytes.
NSString* description(NSData* self, SEL) {
    const auto& b = self->buffer();
    auto hex = [&](size_t from, size_t to) {
        std::string out;
        char two[3];
        for (size_t i = from; i < to; ++i) {
            std::snprintf(two, sizeof two, "%02x", b[i]);
            out += two;
        }
        return out;
    };
    std::string shown = b.size() <= 24 ? hex(0, b.size()) : hex(0, 16) + " ... " + hex(b.size() - 8, b.size());
    return NSString::make("{length = " + std::to_string(b.size()) + ", bytes = 0x" + shown + "}");
}
id copyImmutable(NSData* self, SEL, id) { return retain(self); }
id copyMutable(NSData* self, SEL, id) { return newDataOf(NSData::cls(), self->buffer()); }
id mutableCopy(NSData* self, SEL, id) { return newDataOf(NSMutableData::cls(), self->buffer()); }
BOOL writeToFile(NSData* self, SEL, NSString* path, BOOL) {
    if (path == nullptr) return NO;
    std::string host = platform::devicePath(path->str());
    return !host.empty() && platform::writeFileAtomically(host, self->bytes(), self->length());
}

id dataWithCapacity(objc_class* self, SEL, NSUInteger) { return autorelease(class_createInstance(self)); }
void appendBytes(NSMutableData* self, SEL, const void* bytes, NSUInteger length) { self->appendBytes(bytes, length); }
void appendData(NSMutableData* self, SEL, NSData* other) {
    if (other == nullptr) return;
    std::vector<uint8_t> copy = other->buffer();  // other may be self
    self->appendBytes(copy.data(), copy.size());
}
void* mutableBytes(NSMutableData* self, SEL) { return self->buffer().data(); }
void setLength(NSMutableData* self, SEL, NSUInteger length) { self->buffer().resize(length, 0); }

}  // namespace

void platform::foundation::registerData() {
    objc::ClassDef<NSData>("NSData", NSObject::cls())
        .classMethod<dataClass>("data")
        .classMethod<dataWithBytes>("dataWithBytes:length:")
        .classMethod<dataWithContentsOfFile>("dataWithContentsOfFile:")
        .method<length>("length")
        .method<bytes>("bytes")
        .method<isEqualToData>("isEqualToData:")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<description>("description")
        .method<copyImmutable>("copyWithZone:")
        .method<mutableCopy>("mutableCopyWithZone:")
        .method<writeToFile>("writeToFile:atomically:");
    objc::ClassDef<NSMutableData>("NSMutableData", NSData::cls())
        .classMethod<dataWithCapacity>("dataWithCapacity:")
        .method<copyMutable>("copyWithZone:")
        .method<appendBytes>("appendBytes:length:")
        .method<appendData>("appendData:")
        .method<mutableBytes>("mutableBytes")
        .method<setLength>("setLength:");
}
