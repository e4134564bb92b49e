// Base types of CoreFoundation. CF strings and dictionaries are the
// Foundation objects themselves (NSString*, NSDictionary*).
#pragma once

#include <objc/objc.h>

#include <cstdint>

struct NSString;
struct NSDictionary;

using Boolean = unsigned char;
using CFIndex = long;
using CFTypeRef = const void*;
using CFStringRef = NSString*;
using CFDictionaryRef = NSDictionary*;

namespace platform {
// An immortal NSString holding `utf8`, made through NSString's
// stringWithUTF8String: and never released. nil while no NSString class is
// registered.
CFStringRef makeConstantString(const char* utf8);
// The UTF-8 text of a string object ("" for nil).
const char* stringUTF8(CFStringRef string);
}  // namespace platform

// CFSTR("literal"): one immortal string per call site, made on first use.
#define CFSTR(literal)                                                              \
    ([]() -> CFStringRef {                                                          \
        static CFStringRef const cfstr_ = ::platform::makeConstantString("" literal); \
        return cfstr_;                                                              \
    }())
