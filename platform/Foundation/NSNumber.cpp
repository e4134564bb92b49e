// NSNumber.
#include <Foundation/NSException.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>

#include "Internal.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

using platform::foundation::allocate;

namespace {

constexpr double kTwo63 = 9223372036854775808.0;
constexpr double kTwo64 = 18446744073709551616.0;

// Truncation toward zero, clamped to the target range (NaN gives 0).
long long clampToLongLong(double d) {
    if (std::isnan(d)) return 0;
    if (d >= kTwo63) return LLONG_MAX;
    if (d <= -kTwo63) return LLONG_MIN;
    return static_cast<long long>(d);
}

unsigned long long clampToUnsigned(double d) {
    if (std::isnan(d)) return 0;
    if (d >= kTwo64) return ULLONG_MAX;
    if (d < 0) return static_cast<unsigned long long>(clampToLongLong(d));  // wraps, as an integer would
    return static_cast<unsigned long long>(d);
}

uint64_t mix(uint64_t v) {
    v ^= v >> 33;
    v *= 0xff51afd7ed558ccdull;
    v ^= v >> 33;
    return v;
}

}  // namespace

// ---------------------------------------------------------------------------
// C++ API

NSNumber* NSNumber::withBool(bool v) {
    auto* n = allocate<NSNumber>(cls());
    n->setBool(v);
    return autorelease(n);
}
NSNumber* NSNumber::withLongLong(long long v) {
    auto* n = allocate<NSNumber>(cls());
    n->setSigned(v);
    return autorelease(n);
}
NSNumber* NSNumber::withUnsignedLongLong(unsigned long long v) {
    auto* n = allocate<NSNumber>(cls());
    n->setUnsigned(v);
    return autorelease(n);
}
NSNumber* NSNumber::withDouble(double v) {
    auto* n = allocate<NSNumber>(cls());
    n->setDouble(v);
    return autorelease(n);
}

void NSNumber::setBool(bool v) {
    kind_ = Kind::Bool;
    i_ = v ? 1 : 0;
}
void NSNumber::setSigned(long long v) {
    kind_ = Kind::Signed;
    i_ = v;
}
void NSNumber::setUnsigned(unsigned long long v) {
    if (v <= static_cast<unsigned long long>(LLONG_MAX)) {
        setSigned(static_cast<long long>(v));
    } else {
        kind_ = Kind::Unsigned;
        u_ = v;
    }
}
void NSNumber::setDouble(double v) {
    kind_ = Kind::Double;
    d_ = v;
}
void NSNumber::setFloat(float v) {
    kind_ = Kind::Float;
    d_ = v;
}

bool NSNumber::boolValue() const {
    switch (kind_) {
        case Kind::Unsigned: return true;
        case Kind::Float:
        case Kind::Double: return d_ != 0.0;
        default: return i_ != 0;
    }
}

long long NSNumber::longLongValue() const {
    switch (kind_) {
        case Kind::Unsigned: return static_cast<long long>(u_);
        case Kind::Float:
        case Kind::Double: return clampToLongLong(d_);
        default: return i_;
    }
}

unsigned long long NSNumber::unsignedLongLongValue() const {
    switch (kind_) {
        case Kind::Unsigned: return u_;
        case Kind::Float:
        case Kind::Double: return clampToUnsigned(d_);
        default: return static_cast<unsigned long long>(i_);
    }
}

double NSNumber::doubleValue() const {
    switch (kind_) {
        case Kind::Unsigned: return static_cast<double>(u_);
        case Kind::Float:
        case Kind::Double: return d_;
        default: return static_cast<double>(i_);
    }
}

NSComparisonResult NSNumber::compare(const NSNumber* other) const {
    auto order = [](auto a, auto b) { return a < b ? NSOrderedAscending : b < a ? NSOrderedDescending : NSOrderedSame; };
    bool aFloat = kind_ == Kind::Float || kind_ == Kind::Double;
    bool bFloat = other->kind_ == Kind::Float || other->kind_ == Kind::Double;
    if (aFloat || bFloat) {
        // long double holds every 64-bit integer exactly; NaN sorts first.
        auto value = [](const NSNumber* n) -> long double {
            switch (n->kind_) {
                case Kind::Unsigned: return static_cast<long double>(n->u_);
                case Kind::Float:
                case Kind::Double: return n->d_;
                default: return static_cast<long double>(n->i_);
            }
        };
        long double a = value(this), b = value(other);
        if (std::isnan(a) || std::isnan(b)) return order(!std::isnan(a), !std::isnan(b));
        return order(a, b);
    }
    bool aBig = kind_ == Kind::Unsigned, bBig = other->kind_ == Kind::Unsigned;
    if (aBig && bBig) return order(u_, other->u_);
    if (aBig) return NSOrderedDescending;  // above every signed value
    if (bBig) return NSOrderedAscending;
    return order(i_, other->i_);
}

NSUInteger NSNumber::hash() const {
    // Equal numbers hash alike: integral values by their integer.
    switch (kind_) {
        case Kind::Unsigned: return mix(u_);
        case Kind::Float:
        case Kind::Double:
            if (std::isfinite(d_) && std::trunc(d_) == d_) {
                if (d_ >= -kTwo63 && d_ < kTwo63) return mix(static_cast<uint64_t>(static_cast<long long>(d_)));
                if (d_ >= kTwo63 && d_ < kTwo64) return mix(static_cast<uint64_t>(d_));
            }
            {
                uint64_t bits;
                std::memcpy(&bits, &d_, sizeof bits);
                return mix(bits);
            }
        default: return mix(static_cast<uint64_t>(i_));
    }
}

std::string NSNumber::descriptionString() const {
    char buf[64];
    switch (kind_) {
        case Kind::Unsigned: std::snprintf(buf, sizeof buf, "%llu", u_); break;
        case Kind::Float: std::snprintf(buf, sizeof buf, "%.7g", d_); break;
        case Kind::Double: std::snprintf(buf, sizeof buf, "%.16g", d_); break;
        default: std::snprintf(buf, sizeof buf, "%lld", i_); break;
    }
    return buf;
}

// ---------------------------------------------------------------------------
// Runtime methods.

namespace {

bool isNumber(id obj) { return objc_isKindOfClass(obj, NSNumber::cls()); }

template <class T, void (NSNumber::*Set)(T)>
id numberWith(objc_class* self, SEL, T v) {
    auto* n = allocate<NSNumber>(self);
    (n->*Set)(v);
    return autorelease(n);
}

template <class T, void (NSNumber::*Set)(T)>
id initWith(NSNumber* self, SEL, T v) {
    (self->*Set)(v);
    return self;
}

id numberWithBool(objc_class* self, SEL s, BOOL v) { return numberWith<bool, &NSNumber::setBool>(self, s, v); }
id numberWithInt(objc_class* self, SEL s, int v) { return numberWith<long long, &NSNumber::setSigned>(self, s, v); }
id numberWithInteger(objc_class* self, SEL s, NSInteger v) { return numberWith<long long, &NSNumber::setSigned>(self, s, v); }
id numberWithUnsignedInteger(objc_class* self, SEL s, NSUInteger v) {
    return numberWith<unsigned long long, &NSNumber::setUnsigned>(self, s, v);
}
id numberWithLongLong(objc_class* self, SEL s, long long v) { return numberWith<long long, &NSNumber::setSigned>(self, s, v); }
id numberWithUnsignedLongLong(objc_class* self, SEL s, unsigned long long v) {
    return numberWith<unsigned long long, &NSNumber::setUnsigned>(self, s, v);
}
id numberWithDouble(objc_class* self, SEL s, double v) { return numberWith<double, &NSNumber::setDouble>(self, s, v); }
id numberWithFloat(objc_class* self, SEL s, float v) { return numberWith<float, &NSNumber::setFloat>(self, s, v); }

id initWithBool(NSNumber* self, SEL s, BOOL v) { return initWith<bool, &NSNumber::setBool>(self, s, v); }
id initWithInt(NSNumber* self, SEL s, int v) { return initWith<long long, &NSNumber::setSigned>(self, s, v); }
id initWithInteger(NSNumber* self, SEL s, NSInteger v) { return initWith<long long, &NSNumber::setSigned>(self, s, v); }
id initWithUnsignedInteger(NSNumber* self, SEL s, NSUInteger v) {
    return initWith<unsigned long long, &NSNumber::setUnsigned>(self, s, v);
}
id initWithLongLong(NSNumber* self, SEL s, long long v) { return initWith<long long, &NSNumber::setSigned>(self, s, v); }
id initWithUnsignedLongLong(NSNumber* self, SEL s, unsigned long long v) {
    return initWith<unsigned long long, &NSNumber::setUnsigned>(self, s, v);
}
id initWithDouble(NSNumber* self, SEL s, double v) { return initWith<double, &NSNumber::setDouble>(self, s, v); }
id initWithFloat(NSNumber* self, SEL s, float v) { return initWith<float, &NSNumber::setFloat>(self, s, v); }

BOOL boolValue(NSNumber* self, SEL) { return self->boolValue(); }
int intValue(NSNumber* self, SEL) { return static_cast<int>(self->longLongValue()); }
NSInteger integerValue(NSNumber* self, SEL) { return self->longLongValue(); }
NSUInteger unsignedIntegerValue(NSNumber* self, SEL) { return self->unsignedLongLongValue(); }
long long longLongValue(NSNumber* self, SEL) { return self->longLongValue(); }
unsigned long long unsignedLongLongValue(NSNumber* self, SEL) { return self->unsignedLongLongValue(); }
double doubleValue(NSNumber* self, SEL) { return self->doubleValue(); }
float floatValue(NSNumber* self, SEL) { return static_cast<float>(self->doubleValue()); }
NSString* stringValue(NSNumber* self, SEL) { return NSString::make(self->descriptionString()); }
NSString* description(NSNumber* self, SEL) { return NSString::make(self->descriptionString()); }
BOOL isEqualToNumber(NSNumber* self, SEL, NSNumber* other) {
    return other != nullptr && self->compare(other) == NSOrderedSame;
}
BOOL isEqual(NSNumber* self, SEL, id other) {
    return other == self || (isNumber(other) && self->compare(static_cast<NSNumber*>(other)) == NSOrderedSame);
}
NSUInteger hash(NSNumber* self, SEL) { return self->hash(); }
NSInteger compare(NSNumber* self, SEL, NSNumber* other) {
    if (other == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSNumber compare:]: nil argument");
    return self->compare(other);
}
id copyWithZone(NSNumber* self, SEL, id) { return retain(self); }

}  // namespace

void platform::foundation::registerNumbers() {
    objc::ClassDef<NSNumber>("NSNumber", NSObject::cls())
        .classMethod<numberWithBool>("numberWithBool:")
        .classMethod<numberWithInt>("numberWithInt:")
        .classMethod<numberWithInteger>("numberWithInteger:")
        .classMethod<numberWithUnsignedInteger>("numberWithUnsignedInteger:")
        .classMethod<numberWithLongLong>("numberWithLongLong:")
        .classMethod<numberWithUnsignedLongLong>("numberWithUnsignedLongLong:")
        .classMethod<numberWithDouble>("numberWithDouble:")
        .classMethod<numberWithFloat>("numberWithFloat:")
        .method<initWithBool>("initWithBool:")
        .method<initWithInt>("initWithInt:")
        .method<initWithInteger>("initWithInteger:")
        .method<initWithUnsignedInteger>("initWithUnsignedInteger:")
        .method<initWithLongLong>("initWithLongLong:")
        .method<initWithUnsignedLongLong>("initWithUnsignedLongLong:")
        .method<initWithDouble>("initWithDouble:")
        .method<initWithFloat>("initWithFloat:")
        .method<boolValue>("boolValue")
        .method<intValue>("intValue")
        .method<integerValue>("integerValue")
        .method<unsignedIntegerValue>("unsignedIntegerValue")
        .method<longLongValue>("longLongValue")
        .method<unsignedLongLongValue>("unsignedLongLongValue")
        .method<doubleValue>("doubleValue")
        .method<floatValue>("floatValue")
        .method<stringValue>("stringValue")
        .method<description>("description")
        .method<isEqualToNumber>("isEqualToNumber:")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<compare>("compare:")
        .method<copyWithZone>("copyWithZone:");
}
