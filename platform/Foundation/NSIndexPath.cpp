// NSIndexPath.
#include <Foundation/NSException.h>
#include <Foundation/NSIndexPath.h>
#include <Foundation/NSString.h>

#include "Internal.h"

using platform::foundation::allocate;

NSIndexPath* NSIndexPath::make(NSInteger row, NSInteger section) {
    auto* p = allocate<NSIndexPath>(cls());
    p->set(row, section);
    return autorelease(p);
}

NSComparisonResult NSIndexPath::compare(const NSIndexPath* other) const {
    if (section_ != other->section_) return section_ < other->section_ ? NSOrderedAscending : NSOrderedDescending;
    if (row_ != other->row_) return row_ < other->row_ ? NSOrderedAscending : NSOrderedDescending;
    return NSOrderedSame;
}

namespace {

id indexPath(objc_class* self, SEL, NSInteger row, NSInteger section) {
    auto* p = allocate<NSIndexPath>(self);
    p->set(row, section);
    return autorelease(p);
}
NSInteger row(NSIndexPath* self, SEL) { return self->row(); }
NSInteger section(NSIndexPath* self, SEL) { return self->section(); }
BOOL isEqual(NSIndexPath* self, SEL, id other) {
    return other == self || (objc_isKindOfClass(other, NSIndexPath::cls()) &&
                             self->compare(static_cast<NSIndexPath*>(other)) == NSOrderedSame);
}
NSUInteger hash(NSIndexPath* self, SEL) {
    return static_cast<NSUInteger>(self->section()) * 1000003u ^ static_cast<NSUInteger>(self->row());
}
NSInteger compare(NSIndexPath* self, SEL, NSIndexPath* other) {
    if (other == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSIndexPath compare:]: nil argument");
    return self->compare(other);
}
NSUInteger length(NSIndexPath*, SEL) { return 2; }
NSString* description(NSIndexPath* self, SEL) {
    return NSStringWithFormat("<NSIndexPath: %p> {length = 2, path = %ld - %ld}", self, self->section(), self->row());
}
id copyWithZone(NSIndexPath* self, SEL, id) { return retain(self); }

}  // namespace

void platform::foundation::registerIndexPaths() {
    objc::ClassDef<NSIndexPath>("NSIndexPath", NSObject::cls())
        .classMethod<indexPath>("indexPathForRow:inSection:")
        .classMethod<indexPath>("indexPathForItem:inSection:")
        .method<row>("row")
        .method<row>("item")
        .method<section>("section")
        .method<length>("length")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<compare>("compare:")
        .method<description>("description")
        .method<copyWithZone>("copyWithZone:");
}
