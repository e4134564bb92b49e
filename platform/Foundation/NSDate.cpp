// NSDate.
#include <Foundation/NSDate.h>
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>

#include "Internal.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

using platform::foundation::allocate;

namespace {

NSTimeInterval currentTime() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

NSDate* NSDate::now() { return withTimeIntervalSince1970(currentTime()); }

NSDate* NSDate::withTimeIntervalSince1970(NSTimeInterval t) {
    auto* d = allocate<NSDate>(cls());
    d->setTimeIntervalSince1970(t);
    return autorelease(d);
}

namespace {

bool isDate(id obj) { return objc_isKindOfClass(obj, NSDate::cls()); }

id dateAt(Class cls, NSTimeInterval since1970) {
    auto* d = allocate<NSDate>(cls);
    d->setTimeIntervalSince1970(since1970);
    return autorelease(d);
}

id date(objc_class* self, SEL) { return dateAt(self, currentTime()); }
id dateWithTimeIntervalSince1970(objc_class* self, SEL, double t) { return dateAt(self, t); }
id dateWithTimeIntervalSinceReferenceDate(objc_class* self, SEL, double t) {
    return dateAt(self, t + NSTimeIntervalSince1970);
}
id init(NSDate* self, SEL) {
    self->setTimeIntervalSince1970(currentTime());
    return self;
}
id initWithTimeIntervalSince1970(NSDate* self, SEL, double t) {
    self->setTimeIntervalSince1970(t);
    return self;
}
double timeIntervalSince1970(NSDate* self, SEL) { return self->timeIntervalSince1970(); }
double timeIntervalSinceReferenceDate(NSDate* self, SEL) { return self->timeIntervalSinceReferenceDate(); }
double timeIntervalSinceNow(NSDate* self, SEL) { return self->timeIntervalSince1970() - currentTime(); }
BOOL isEqualToDate(NSDate* self, SEL, NSDate* other) {
    return other != nullptr && other->timeIntervalSince1970() == self->timeIntervalSince1970();
}
BOOL isEqual(NSDate* self, SEL s, id other) { return other == self || (isDate(other) && isEqualToDate(self, s, static_cast<NSDate*>(other))); }
NSUInteger hash(NSDate* self, SEL) {
    double t = self->timeIntervalSince1970();
    if (t == 0) return 0;  // 0 and -0
    uint64_t bits;
    std::memcpy(&bits, &t, sizeof bits);
    return bits ^ (bits >> 29);
}
NSInteger compare(NSDate* self, SEL, NSDate* other) {
    if (other == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSDate compare:]: nil argument");
    double a = self->timeIntervalSince1970(), b = other->timeIntervalSince1970();
    return a < b ? NSOrderedAscending : a > b ? NSOrderedDescending : NSOrderedSame;
}
// "2001-01-01 00:00:00 +0000" (UTC, whole seconds).
NSString* description(NSDate* self, SEL) {
    double t = std::floor(self->timeIntervalSince1970());
    if (!std::isfinite(t) || std::fabs(t) > 1e14) return NSString::make("<invalid date>");
    std::time_t secs = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &tm);
    return NSString::make(buf);
}
id copyWithZone(NSDate* self, SEL, id) { return retain(self); }

}  // namespace

void platform::foundation::registerDates() {
    objc::ClassDef<NSDate>("NSDate", NSObject::cls())
        .classMethod<date>("date")
        .classMethod<dateWithTimeIntervalSince1970>("dateWithTimeIntervalSince1970:")
        .classMethod<dateWithTimeIntervalSinceReferenceDate>("dateWithTimeIntervalSinceReferenceDate:")
        .method<init>("init")
        .method<initWithTimeIntervalSince1970>("initWithTimeIntervalSince1970:")
        .method<timeIntervalSince1970>("timeIntervalSince1970")
        .method<timeIntervalSinceReferenceDate>("timeIntervalSinceReferenceDate")
        .method<timeIntervalSinceNow>("timeIntervalSinceNow")
        .method<isEqualToDate>("isEqualToDate:")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<compare>("compare:")
        .method<description>("description")
        .method<copyWithZone>("copyWithZone:");
}
