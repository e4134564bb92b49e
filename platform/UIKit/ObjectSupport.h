// Helpers shared by the UIKit, MediaPlayer and Music app classes: owned
// pointers, checked casts, and NSArrays built and read through Foundation's
// messages (array, addObject:, count, objectAtIndex:) only.
#pragma once

#include <Foundation/NSException.h>
#include <objc/NSObject.h>

#include <string>
#include <utility>
#include <vector>

namespace platform::support {

// Stores `value` retained in an owning slot; the old value is released after.
template <class T>
void storeStrong(T*& slot, T* value) {
    objc_retain(objc::as_id(value));
    T* old = std::exchange(slot, value);
    objc_release(objc::as_id(old));
}

// Releases an owning slot and clears it.
template <class T>
void clearStrong(T*& slot) {
    objc_release(objc::as_id(std::exchange(slot, nullptr)));
}

// `obj` as a T when it is one (or of a subclass), else nullptr.
template <class T>
T* objectAs(id obj) {
    return objc_isKindOfClass(obj, T::cls()) ? static_cast<T*>(obj) : nullptr;
}

// `obj` as a T; nil stays nil, anything else raises NSInvalidArgumentException.
template <class T>
T* requireObject(id obj, const char* where) {
    if (obj == nullptr) return nullptr;
    if (T* t = objectAs<T>(obj)) return t;
    NSException::raise(NSInvalidArgumentException, std::string(where) + ": expected " + class_getName(T::cls()) +
                                                       ", got " + object_getClassName(obj));
}

// Takes over a reference the caller owns (from alloc/init…) as a T; anything
// else is released and raises NSInternalInconsistencyException.
template <class T>
Strong<T> adoptObject(id owned, const char* where) {
    T* t = objectAs<T>(owned);
    if (owned != nullptr && t == nullptr) {
        std::string got = object_getClassName(owned);
        objc_release(owned);
        NSException::raise(NSInternalInconsistencyException,
                           std::string(where) + ": expected " + class_getName(T::cls()) + ", got " + got);
    }
    return Strong<T>::adopt(t);
}

// [[cls alloc] init], owned by the caller.
inline id newObject(Class cls) { return objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel); }

// An empty autoreleased NSMutableArray.
inline id mutableArray() { return objc_msgSend<id()>(objc_getClass("NSMutableArray"), "array"_sel); }

inline void arrayAdd(id array, id obj) { objc_msgSend<void(id)>(array, "addObject:"_sel, obj); }

inline NSUInteger arrayCount(id array) { return objc_msgSend<NSUInteger()>(array, "count"_sel); }

inline id arrayObjectAt(id array, NSUInteger index) {
    return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, index);
}

// An autoreleased NSArray (mutable) of the objects, in order.
template <class T>
id arrayOf(const std::vector<Strong<T>>& objects) {
    id array = mutableArray();
    for (const Strong<T>& o : objects) arrayAdd(array, objc::as_id(o.get()));
    return array;
}

// The objects of an NSArray (nil has none), each required to be a T.
template <class T>
std::vector<Strong<T>> objectsOf(id array, const char* where) {
    std::vector<Strong<T>> out;
    NSUInteger n = arrayCount(array);
    out.reserve(n);
    for (NSUInteger i = 0; i < n; ++i) out.emplace_back(requireObject<T>(arrayObjectAt(array, i), where));
    return out;
}

}  // namespace platform::support
