// NSArray, NSMutableArray and the collection description format.
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>

#include "Internal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

using platform::foundation::allocate;

namespace {

bool equalObjects(id a, id b) { return a == b || (a != nullptr && objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b)); }

[[noreturn]] void raiseIndex(const char* method, NSUInteger index, NSUInteger count) {
    std::string bounds = count == 0 ? "for empty array" : "beyond bounds [0 .. " + std::to_string(count - 1) + "]";
    NSException::raise(NSRangeException, std::string(method) + ": index " + std::to_string(index) + " " + bounds);
}

[[noreturn]] void raiseNilObject(const char* method) {
    NSException::raise(NSInvalidArgumentException, std::string(method) + ": object cannot be nil");
}

}  // namespace

void platform::raiseMutatedWhileEnumerated(id collection) {
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<void*>(collection));
    NSException::raise(NSGenericException, std::string("*** Collection <") + object_getClassName(collection) + ": " +
                                               address + "> was mutated while being enumerated.");
}

// ---------------------------------------------------------------------------
// C++ API

NSArray* NSArray::make(std::initializer_list<id> items) { return make(std::vector<id>(items)); }

NSArray* NSArray::make(const std::vector<id>& items) {
    for (id obj : items)
        if (obj == nullptr) raiseNilObject("NSArray::make");
    auto* a = allocate<NSArray>(cls());
    a->items_.assign(items.begin(), items.end());
    return autorelease(a);
}

id NSArray::at(NSUInteger index) const {
    if (index >= items_.size()) raiseIndex("-[NSArray objectAtIndex:]", index, items_.size());
    return items_[index].get();
}

NSUInteger NSArray::indexOfObject(id obj) const {
    if (obj == nullptr) return NSNotFound;
    for (size_t i = 0; i < items_.size(); ++i)
        if (equalObjects(obj, items_[i].get())) return i;
    return NSNotFound;
}

bool NSArray::isEqualToArray(const NSArray* other) const {
    if (other == nullptr) return false;
    if (other == this) return true;
    if (other->count() != count()) return false;
    for (size_t i = 0; i < items_.size(); ++i)
        if (!equalObjects(items_[i].get(), other->items_[i].get())) return false;
    return true;
}

NSMutableArray* NSMutableArray::make() { return autorelease(allocate<NSMutableArray>(cls())); }

void NSMutableArray::addObject(id obj) {
    if (obj == nullptr) raiseNilObject("-[NSMutableArray addObject:]");
    changed();
    items().emplace_back(obj);
}

void NSMutableArray::insertObject(id obj, NSUInteger index) {
    if (obj == nullptr) raiseNilObject("-[NSMutableArray insertObject:atIndex:]");
    if (index > count()) raiseIndex("-[NSMutableArray insertObject:atIndex:]", index, count());
    changed();
    items().emplace(items().begin() + static_cast<long>(index), obj);
}

void NSMutableArray::removeObjectAtIndex(NSUInteger index) {
    if (index >= count()) raiseIndex("-[NSMutableArray removeObjectAtIndex:]", index, count());
    changed();
    // Released only after the array is consistent again: its dealloc may
    // look at this array.
    Strong<objc_object> removed = std::move(items()[index]);
    items().erase(items().begin() + static_cast<long>(index));
}

void NSMutableArray::removeObject(id obj) {
    if (obj == nullptr) return;
    // Compare first (isEqual: may raise), then rebuild; the removed elements
    // are released once the array is consistent.
    std::vector<bool> match;
    for (const auto& item : items()) match.push_back(equalObjects(obj, item.get()));
    changed();
    std::vector<Strong<objc_object>> removed, kept;
    for (size_t i = 0; i < match.size(); ++i) (match[i] ? removed : kept).push_back(std::move(items()[i]));
    items() = std::move(kept);
}

void NSMutableArray::removeLastObject() {
    if (count() > 0) removeObjectAtIndex(count() - 1);
}

void NSMutableArray::removeAllObjects() {
    changed();
    std::vector<Strong<objc_object>> removed;
    removed.swap(items());
}

void NSMutableArray::replaceObjectAtIndex(NSUInteger index, id obj) {
    if (obj == nullptr) raiseNilObject("-[NSMutableArray replaceObjectAtIndex:withObject:]");
    if (index >= count()) raiseIndex("-[NSMutableArray replaceObjectAtIndex:withObject:]", index, count());
    changed();
    Strong<objc_object> old = std::move(items()[index]);
    items()[index] = obj;
}

void NSMutableArray::exchangeObjects(NSUInteger a, NSUInteger b) {
    if (a >= count()) raiseIndex("-[NSMutableArray exchangeObjectAtIndex:withObjectAtIndex:]", a, count());
    if (b >= count()) raiseIndex("-[NSMutableArray exchangeObjectAtIndex:withObjectAtIndex:]", b, count());
    changed();
    std::swap(items()[a], items()[b]);
}

void NSMutableArray::addObjectsFromArray(const NSArray* other) {
    if (other == nullptr) return;
    std::vector<Strong<objc_object>> copy = other->items();  // other may be this array
    changed();
    items().insert(items().end(), copy.begin(), copy.end());
}

void NSMutableArray::replaceObjectsInRange(NSRange range, const NSArray* other) {
    const char* method = "-[NSMutableArray replaceObjectsInRange:withObjectsFromArray:]";
    if (range.location > count()) raiseIndex(method, range.location, count());
    if (range.length > count() - range.location) raiseIndex(method, range.location + range.length, count());
    std::vector<Strong<objc_object>> incoming;
    if (other) incoming = other->items();  // other may be this array
    auto first = items().begin() + static_cast<long>(range.location);
    std::vector<Strong<objc_object>> removed(std::make_move_iterator(first),
                                             std::make_move_iterator(first + static_cast<long>(range.length)));
    first = items().erase(first, first + static_cast<long>(range.length));
    items().insert(first, std::make_move_iterator(incoming.begin()), std::make_move_iterator(incoming.end()));
}

void NSMutableArray::setArray(const NSArray* other) {
    std::vector<Strong<objc_object>> next;
    if (other) next = other->items();
    changed();
    next.swap(items());  // the old elements are released at the end of scope
}

// ---------------------------------------------------------------------------
// Descriptions: arrays as "(\n    a,\n    b\n)", dictionaries as
// "{\n    key = value;\n}", strings quoted unless plain words.

namespace {

std::string indent(int level) { return std::string(static_cast<size_t>(level) * 4, ' '); }

std::string quoted(const std::string& s) {
    bool plain = !s.empty();
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) && u < 0x80) && c != '_' && c != '$' && c != '/' && c != ':' && c != '.' && c != '-') {
            plain = false;
            break;
        }
    }
    if (plain) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

std::string platform::describeObject(id obj, int level) {
    if (objc_isKindOfClass(obj, NSArray::cls())) {
        auto* a = static_cast<NSArray*>(obj);
        std::string out = "(\n";
        for (NSUInteger i = 0; i < a->count(); ++i) {
            out += indent(level + 1) + describeObject(a->at(i), level + 1);
            out += i + 1 < a->count() ? ",\n" : "\n";
        }
        return out + indent(level) + ")";
    }
    if (objc_isKindOfClass(obj, NSDictionary::cls())) {
        auto* d = static_cast<NSDictionary*>(obj);
        std::string out = "{\n";
        for (const auto& e : d->entries()) {
            out += indent(level + 1) + describeObject(e.key.get(), level + 1) + " = " +
                   describeObject(e.value.get(), level + 1) + ";\n";
        }
        return out + indent(level) + "}";
    }
    if (objc_isKindOfClass(obj, NSString::cls())) return quoted(static_cast<NSString*>(obj)->str());
    return foundation::describe(obj);
}

// ---------------------------------------------------------------------------
// Runtime methods.

namespace {

bool isArray(id obj) { return objc_isKindOfClass(obj, NSArray::cls()); }

NSArray* newArrayOf(Class cls, const std::vector<Strong<objc_object>>& items) {
    auto* a = allocate<NSArray>(cls);
    a->items() = items;
    return a;
}

id arrayClass(objc_class* self, SEL) { return autorelease(class_createInstance(self)); }
id arrayWithObject(objc_class* self, SEL, id obj) {
    if (obj == nullptr) raiseNilObject("+[NSArray arrayWithObject:]");
    auto* a = allocate<NSArray>(self);
    a->items().emplace_back(obj);
    return autorelease(a);
}
id arrayWithArray(objc_class* self, SEL, NSArray* other) {
    return autorelease(other ? newArrayOf(self, other->items()) : allocate<NSArray>(self));
}
id initWithArray(NSArray* self, SEL, NSArray* other) {
    if (other) self->items() = other->items();
    return self;
}

NSUInteger count(NSArray* self, SEL) { return self->count(); }
id objectAtIndex(NSArray* self, SEL, NSUInteger index) { return self->at(index); }
id firstObject(NSArray* self, SEL) { return self->firstObject(); }
id lastObject(NSArray* self, SEL) { return self->lastObject(); }
BOOL containsObject(NSArray* self, SEL, id obj) { return self->containsObject(obj); }
NSUInteger indexOfObject(NSArray* self, SEL, id obj) { return self->indexOfObject(obj); }
BOOL isEqualToArray(NSArray* self, SEL, NSArray* other) { return self->isEqualToArray(other); }
BOOL isEqual(NSArray* self, SEL, id other) {
    return other == self || (isArray(other) && self->isEqualToArray(static_cast<NSArray*>(other)));
}
NSUInteger hash(NSArray* self, SEL) { return self->count(); }
NSString* description(NSArray* self, SEL) { return NSString::make(platform::describeObject(self, 0)); }
id copyImmutable(NSArray* self, SEL, id) { return retain(self); }
id copyMutable(NSArray* self, SEL, id) { return newArrayOf(NSArray::cls(), self->items()); }
id mutableCopy(NSArray* self, SEL, id) { return newArrayOf(NSMutableArray::cls(), self->items()); }
NSArray* arrayByAddingObject(NSArray* self, SEL, id obj) {
    if (obj == nullptr) raiseNilObject("-[NSArray arrayByAddingObject:]");
    NSArray* a = newArrayOf(NSArray::cls(), self->items());
    a->items().emplace_back(obj);
    return autorelease(a);
}

id arrayWithCapacity(objc_class* self, SEL, NSUInteger capacity) {
    auto* a = allocate<NSArray>(self);
    a->items().reserve(std::min<NSUInteger>(capacity, 1 << 16));
    return autorelease(a);
}
id initWithCapacity(NSMutableArray* self, SEL, NSUInteger capacity) {
    self->items().reserve(std::min<NSUInteger>(capacity, 1 << 16));
    return self;
}
void addObject(NSMutableArray* self, SEL, id obj) { self->addObject(obj); }
void insertObject(NSMutableArray* self, SEL, id obj, NSUInteger index) { self->insertObject(obj, index); }
void removeObjectAtIndex(NSMutableArray* self, SEL, NSUInteger index) { self->removeObjectAtIndex(index); }
void removeObject(NSMutableArray* self, SEL, id obj) { self->removeObject(obj); }
void removeLastObject(NSMutableArray* self, SEL) { self->removeLastObject(); }
void removeAllObjects(NSMutableArray* self, SEL) { self->removeAllObjects(); }
void replaceObject(NSMutableArray* self, SEL, NSUInteger index, id obj) { self->replaceObjectAtIndex(index, obj); }
void exchangeObjects(NSMutableArray* self, SEL, NSUInteger a, NSUInteger b) { self->exchangeObjects(a, b); }
void addObjectsFromArray(NSMutableArray* self, SEL, NSArray* other) { self->addObjectsFromArray(other); }
void setArray(NSMutableArray* self, SEL, NSArray* other) { self->setArray(other); }
void replaceObjectsInRange(NSMutableArray* self, SEL, NSRange range, NSArray* other) {
    self->replaceObjectsInRange(range, other);
}

// The elements' descriptions (a string is its own) joined by the separator.
NSString* componentsJoinedByString(NSArray* self, SEL, NSString* separator) {
    std::string out;
    bool first = true;
    for (id item : *self) {
        if (!first) out += to_string(separator);
        first = false;
        out += objc_isKindOfClass(item, NSString::cls())
                   ? to_string(static_cast<NSString*>(item))
                   : to_string(objc_msgSend<NSString*()>(item, "description"_sel));
    }
    return NSString::make(out);
}

}  // namespace

void platform::foundation::registerArrays() {
    objc::ClassDef<NSArray>("NSArray", NSObject::cls())
        .classMethod<arrayClass>("array")
        .classMethod<arrayWithObject>("arrayWithObject:")
        .classMethod<arrayWithArray>("arrayWithArray:")
        .method<initWithArray>("initWithArray:")
        .method<count>("count")
        .method<objectAtIndex>("objectAtIndex:")
        .method<firstObject>("firstObject")
        .method<lastObject>("lastObject")
        .method<containsObject>("containsObject:")
        .method<indexOfObject>("indexOfObject:")
        .method<isEqualToArray>("isEqualToArray:")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<description>("description")
        .method<copyImmutable>("copyWithZone:")
        .method<mutableCopy>("mutableCopyWithZone:")
        .method<arrayByAddingObject>("arrayByAddingObject:")
        .method<componentsJoinedByString>("componentsJoinedByString:");
    objc::ClassDef<NSMutableArray>("NSMutableArray", NSArray::cls())
        .classMethod<arrayWithCapacity>("arrayWithCapacity:")
        .method<initWithCapacity>("initWithCapacity:")
        .method<copyMutable>("copyWithZone:")
        .method<addObject>("addObject:")
        .method<insertObject>("insertObject:atIndex:")
        .method<removeObjectAtIndex>("removeObjectAtIndex:")
        .method<removeObject>("removeObject:")
        .method<removeLastObject>("removeLastObject")
        .method<removeAllObjects>("removeAllObjects")
        .method<replaceObject>("replaceObjectAtIndex:withObject:")
        .method<exchangeObjects>("exchangeObjectAtIndex:withObjectAtIndex:")
        .method<addObjectsFromArray>("addObjectsFromArray:")
        .method<setArray>("setArray:")
        .method<replaceObjectsInRange>("replaceObjectsInRange:withObjectsFromArray:");
}
