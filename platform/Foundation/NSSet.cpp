// NSSet.
#include <Foundation/NSArray.h>
#include <Foundation/NSException.h>
#include <Foundation/NSSet.h>

#include "Internal.h"

using platform::foundation::allocate;

namespace {

bool equalObjects(id a, id b) { return a == b || (a != nullptr && objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b)); }

bool contains(const NSSet* set, id obj) {
    for (const auto& o : set->_objects)
        if (equalObjects(obj, o.get())) return true;
    return false;
}

void add(NSSet* set, id obj) {
    if (!contains(set, obj)) set->_objects.emplace_back(obj);
}

id setWithObject(objc_class* self, SEL, id obj) {
    if (obj == nullptr) NSException::raise(NSInvalidArgumentException, "+[NSSet setWithObject:]: object cannot be nil");
    auto* s = allocate<NSSet>(self);
    add(s, obj);
    return autorelease(s);
}

id setWithArray(objc_class* self, SEL, NSArray* array) {
    auto* s = allocate<NSSet>(self);
    if (array != nullptr)
        for (id obj : *array) add(s, obj);
    return autorelease(s);
}

NSUInteger count(NSSet* self, SEL) { return self->_objects.size(); }

id allObjects(NSSet* self, SEL) {
    std::vector<id> objects;
    for (const auto& o : self->_objects) objects.push_back(o.get());
    return NSArray::make(objects);
}

id anyObject(NSSet* self, SEL) { return self->_objects.empty() ? nullptr : self->_objects.front().get(); }

BOOL containsObject(NSSet* self, SEL, id obj) { return obj != nullptr && contains(self, obj); }

id copyWithZone(NSSet* self, SEL, id) { return retain(self); }

}  // namespace

void platform::foundation::registerSets() {
    objc::ClassDef<NSSet>("NSSet", NSObject::cls())
        .classMethod<setWithObject>("setWithObject:")
        .classMethod<setWithArray>("setWithArray:")
        .method<count>("count")
        .method<allObjects>("allObjects")
        .method<anyObject>("anyObject")
        .method<containsObject>("containsObject:")
        .method<copyWithZone>("copyWithZone:");
}
