// NSDictionary and NSMutableDictionary.
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSException.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSString.h>

#include "Internal.h"

using platform::foundation::allocate;

namespace {

bool equalObjects(id a, id b) { return a == b || (a != nullptr && objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b)); }
NSUInteger hashOf(id obj) { return objc_msgSend<NSUInteger()>(obj, "hash"_sel); }

}  // namespace

// ---------------------------------------------------------------------------
// C++ API

NSDictionary* NSDictionary::make(std::initializer_list<std::pair<id, id>> entries) {
    auto* d = autorelease(allocate<NSDictionary>(cls()));
    for (const auto& [key, value] : entries) d->setObject(value, key);
    return d;
}

long NSDictionary::find(id key, NSUInteger hash) const {
    auto [first, last] = index_.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (equalObjects(entries_[it->second].key.get(), key)) return static_cast<long>(it->second);
    return -1;
}

void NSDictionary::reindex() {
    index_.clear();
    for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].hash, i);
}

id NSDictionary::objectForKey(id key) const {
    if (key == nullptr || entries_.empty()) return nullptr;
    long i = find(key, hashOf(key));
    return i < 0 ? nullptr : entries_[static_cast<size_t>(i)].value.get();
}

bool NSDictionary::isEqualToDictionary(const NSDictionary* other) const {
    if (other == nullptr) return false;
    if (other == this) return true;
    if (other->count() != count()) return false;
    for (const auto& e : entries_) {
        id theirs = other->objectForKey(e.key.get());
        if (theirs == nullptr || !equalObjects(e.value.get(), theirs)) return false;
    }
    return true;
}

NSArray* NSDictionary::allKeys() const {
    std::vector<id> keys;
    for (const auto& e : entries_) keys.push_back(e.key.get());
    return NSArray::make(keys);
}

NSArray* NSDictionary::allValues() const {
    std::vector<id> values;
    for (const auto& e : entries_) values.push_back(e.value.get());
    return NSArray::make(values);
}

void NSDictionary::setObject(id obj, id key) {
    if (obj == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSMutableDictionary setObject:forKey:]: object cannot be nil");
    if (key == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSMutableDictionary setObject:forKey:]: key cannot be nil");
    // The dictionary keeps its own copy of the key, so a mutable key changed
    // later cannot move its entry.
    auto copied = Strong<objc_object>::adopt(objc_msgSend<id()>(key, "copy"_sel));
    NSUInteger h = hashOf(copied.get());
    long i = find(copied.get(), h);
    ++mutations_;
    if (i >= 0) {
        Strong<objc_object> old = std::move(entries_[static_cast<size_t>(i)].value);
        entries_[static_cast<size_t>(i)].value = obj;
        return;
    }
    entries_.push_back(Entry{std::move(copied), Strong<objc_object>(obj), h});
    index_.emplace(h, entries_.size() - 1);
}

void NSDictionary::removeObjectForKey(id key) {
    if (key == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSMutableDictionary removeObjectForKey:]: key cannot be nil");
    if (entries_.empty()) return;
    long i = find(key, hashOf(key));
    if (i < 0) return;
    ++mutations_;
    // Released after the dictionary is consistent again.
    Entry removed = std::move(entries_[static_cast<size_t>(i)]);
    entries_.erase(entries_.begin() + i);
    reindex();
}

void NSDictionary::removeAllObjects() {
    ++mutations_;
    std::vector<Entry> removed;
    removed.swap(entries_);
    index_.clear();
}

NSMutableDictionary* NSMutableDictionary::make() { return autorelease(allocate<NSMutableDictionary>(cls())); }

// ---------------------------------------------------------------------------
// Runtime methods.

namespace {

bool isDictionary(id obj) { return objc_isKindOfClass(obj, NSDictionary::cls()); }

void addEntries(NSDictionary* to, const NSDictionary* from) {
    if (from == nullptr || from == to) return;
    for (const auto& e : from->entries()) to->setObject(e.value.get(), e.key.get());
}

NSDictionary* newDictionaryOf(Class cls, const NSDictionary* from) {
    auto* d = allocate<NSDictionary>(cls);
    addEntries(d, from);
    return d;
}

id dictionaryClass(objc_class* self, SEL) { return autorelease(class_createInstance(self)); }
id dictionaryWithObject(objc_class* self, SEL, id obj, id key) {
    auto* d = autorelease(allocate<NSDictionary>(self));
    d->setObject(obj, key);
    return d;
}
id dictionaryWithDictionary(objc_class* self, SEL, NSDictionary* other) {
    auto* d = autorelease(allocate<NSDictionary>(self));
    addEntries(d, other);
    return d;
}
id initWithDictionary(NSDictionary* self, SEL, NSDictionary* other) {
    addEntries(self, other);
    return self;
}
id initWithContentsOfFile(NSDictionary* self, SEL, NSString* path) {
    id root = path ? platform::readPropertyList(path->str()) : nullptr;
    if (!isDictionary(root)) {
        release(self);
        return nullptr;
    }
    addEntries(self, static_cast<NSDictionary*>(root));
    return self;
}
id dictionaryWithContentsOfFile(objc_class* self, SEL sel, NSString* path) {
    id d = initWithContentsOfFile(allocate<NSDictionary>(self), sel, path);
    return autorelease(d);
}

NSUInteger count(NSDictionary* self, SEL) { return self->count(); }
id objectForKey(NSDictionary* self, SEL, id key) { return self->objectForKey(key); }
id valueForKey(NSDictionary* self, SEL, NSString* key) { return self->objectForKey(key); }
NSArray* allKeys(NSDictionary* self, SEL) { return self->allKeys(); }
NSArray* allValues(NSDictionary* self, SEL) { return self->allValues(); }
BOOL isEqualToDictionary(NSDictionary* self, SEL, NSDictionary* other) { return self->isEqualToDictionary(other); }
BOOL isEqual(NSDictionary* self, SEL, id other) {
    return other == self || (isDictionary(other) && self->isEqualToDictionary(static_cast<NSDictionary*>(other)));
}
NSUInteger hash(NSDictionary* self, SEL) { return self->count(); }
NSString* description(NSDictionary* self, SEL) { return NSString::make(platform::describeObject(self, 0)); }
id copyImmutable(NSDictionary* self, SEL, id) { return retain(self); }
id copyMutable(NSDictionary* self, SEL, id) { return newDictionaryOf(NSDictionary::cls(), self); }
id mutableCopy(NSDictionary* self, SEL, id) { return newDictionaryOf(NSMutableDictionary::cls(), self); }
BOOL writeToFile(NSDictionary* self, SEL, NSString* path, BOOL) {
    // Always written crash-safely, whatever `atomically` says.
    return path != nullptr && platform::writePropertyList(self, path->str(), false);
}

id dictionaryWithCapacity(objc_class* self, SEL, NSUInteger) { return autorelease(class_createInstance(self)); }
id initWithCapacity(NSMutableDictionary* self, SEL, NSUInteger) { return self; }
void setObjectForKey(NSMutableDictionary* self, SEL, id obj, id key) { self->setObject(obj, key); }
void setValueForKey(NSMutableDictionary* self, SEL, id value, NSString* key) {
    if (value == nullptr) {
        self->removeObjectForKey(key);
    } else {
        self->setObject(value, key);
    }
}
void removeObjectForKey(NSMutableDictionary* self, SEL, id key) { self->removeObjectForKey(key); }
void removeAllObjects(NSMutableDictionary* self, SEL) { self->removeAllObjects(); }
void addEntriesFromDictionary(NSMutableDictionary* self, SEL, NSDictionary* other) { addEntries(self, other); }

}  // namespace

void platform::foundation::registerDictionaries() {
    objc::ClassDef<NSDictionary>("NSDictionary", NSObject::cls())
        .classMethod<dictionaryClass>("dictionary")
        .classMethod<dictionaryWithObject>("dictionaryWithObject:forKey:")
        .classMethod<dictionaryWithDictionary>("dictionaryWithDictionary:")
        .classMethod<dictionaryWithContentsOfFile>("dictionaryWithContentsOfFile:")
        .method<initWithDictionary>("initWithDictionary:")
        .method<initWithContentsOfFile>("initWithContentsOfFile:")
        .method<count>("count")
        .method<objectForKey>("objectForKey:")
        .method<valueForKey>("valueForKey:")
        .method<allKeys>("allKeys")
        .method<allValues>("allValues")
        .method<isEqualToDictionary>("isEqualToDictionary:")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<description>("description")
        .method<copyImmutable>("copyWithZone:")
        .method<mutableCopy>("mutableCopyWithZone:")
        .method<writeToFile>("writeToFile:atomically:");
    objc::ClassDef<NSMutableDictionary>("NSMutableDictionary", NSDictionary::cls())
        .classMethod<dictionaryWithCapacity>("dictionaryWithCapacity:")
        .method<initWithCapacity>("initWithCapacity:")
        .method<copyMutable>("copyWithZone:")
        .method<setObjectForKey>("setObject:forKey:")
        .method<setValueForKey>("setValue:forKey:")
        .method<removeObjectForKey>("removeObjectForKey:")
        .method<removeAllObjects>("removeAllObjects")
        .method<addEntriesFromDictionary>("addEntriesFromDictionary:");
}
