// NSJSONSerialization (reading) and NSNull.
//
//   +[NSJSONSerialization JSONObjectWithData:options:error:]
//                               id(id, NSUInteger, NSError**)
//       Objects become NSDictionary (a repeated key: the last one wins),
//       arrays NSArray, strings NSString, integers and floating numbers
//       NSNumber, true/false NSNumber booleans, null the NSNull singleton.
//       Options: NSJSONReadingMutableContainers (NSMutableDictionary and
//       NSMutableArray), NSJSONReadingMutableLeaves (NSMutableString),
//       NSJSONReadingAllowFragments (a top level that is no object or array).
//       nil, with *error (when asked for) set to an NSCocoaErrorDomain error
//       of code 3840 saying where and why, for: data that is not NSData,
//       invalid JSON, invalid UTF-8, a number out of range, nesting deeper
//       than 512 objects and arrays, a fragment without the option. Never
//       raises for any input.
//
//   +[NSNull null]              id()   the one NSNull; description "<null>"
#pragma once

#include <Foundation/NSObjCRuntime.h>

inline constexpr NSUInteger NSJSONReadingMutableContainers = 1 << 0;
inline constexpr NSUInteger NSJSONReadingMutableLeaves = 1 << 1;
inline constexpr NSUInteger NSJSONReadingAllowFragments = 1 << 2;

// Code of NSCocoaErrorDomain for data that is not valid JSON.
inline constexpr NSInteger NSPropertyListReadCorruptError = 3840;

// Deepest nesting of objects and arrays that is read.
inline constexpr size_t NSJSONMaximumDepth = 512;

struct NSJSONSerialization : NSObject {
    OBJC_CLASS(NSJSONSerialization)
};

struct NSNull : NSObject {
    OBJC_CLASS(NSNull)
};
