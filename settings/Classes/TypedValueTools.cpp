#include "TypedValueTools.h"

#include <Foundation/NSString.h>

#include <mutex>

namespace {

id valueFor(id key, id dictionary) {
    if (dictionary == nil || key == nil) return nil;
    return objc_msgSend<id(id)>(dictionary, "objectForKey:"_sel, key);
}

bool answers(id value, SEL sel) { return objc_msgSend<BOOL(SEL)>(value, "respondsToSelector:"_sel, sel); }

bool sameIgnoringCase(id string, NSString* word) {
    return objc_msgSend<NSInteger(id)>(string, "caseInsensitiveCompare:"_sel, word) == 0;  // NSOrderedSame
}

id stringForKey(Class, SEL, id key, id defaultValue, id dictionary) {
    id value = valueFor(key, dictionary);
    if (value == nil) return defaultValue;
    if (objc_isKindOfClass(value, NSString::cls())) return value;
    if (answers(value, "stringValue"_sel)) return objc_msgSend<id()>(value, "stringValue"_sel);
    return defaultValue;
}

int intForKey(Class, SEL, id key, int defaultValue, id dictionary) {
    id value = valueFor(key, dictionary);
    if (value == nil || !answers(value, "intValue"_sel)) return defaultValue;
    return objc_msgSend<int()>(value, "intValue"_sel);
}

float floatForKey(Class, SEL, id key, float defaultValue, id dictionary) {
    id value = valueFor(key, dictionary);
    if (value == nil || !answers(value, "floatValue"_sel)) return defaultValue;
    return objc_msgSend<float()>(value, "floatValue"_sel);
}

BOOL boolForKey(Class, SEL, id key, BOOL defaultValue, id dictionary) {
    id value = valueFor(key, dictionary);
    if (value == nil) return defaultValue;
    if (answers(value, "boolValue"_sel)) return objc_msgSend<BOOL()>(value, "boolValue"_sel) ? YES : NO;
    if (objc_isKindOfClass(value, NSString::cls()))
        return sameIgnoringCase(value, "YES"_ns) || sameIgnoringCase(value, "TRUE"_ns) ? YES : NO;
    return defaultValue;
}

}  // namespace

void registerTypedValueTools() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<TypedValueTools>("TypedValueTools", NSObject::cls())
            .classMethod<stringForKey>("stringForKey:defaultValue:dictionary:", "@@:@@@")
            .classMethod<intForKey>("intForKey:defaultValue:dictionary:", "i@:@i@")
            .classMethod<floatForKey>("floatForKey:defaultValue:dictionary:", "f@:@f@")
            .classMethod<boolForKey>("boolForKey:defaultValue:dictionary:", "B@:@B@");
    });
}
