// Small typed sends that the library's classes share. Each is a message
// send like any other: nil answers 0, nil or NO.
#pragma once

#include <Foundation/Foundation.h>

namespace cantrel {

// The object's answer to a getter that answers an object.
inline id get(id object, SEL getter) { return objc_msgSend<id()>(object, getter); }
// Sends a setter (or any one-object message) its object.
inline void set(id object, SEL setter, id value) { objc_msgSend<void(id)>(object, setter, value); }
// The array's count.
inline NSUInteger countOf(id array) { return objc_msgSend<NSUInteger()>(array, "count"_sel); }
// The array's object at `index` (the array raises beyond its end).
inline id objectAt(id array, NSUInteger index) {
    return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, index);
}
// Whether the object answers the selector; NO for nil.
inline bool responds(id object, SEL selector) {
    return object != nil && objc_msgSend<BOOL(SEL)>(object, "respondsToSelector:"_sel, selector);
}

}  // namespace cantrel
