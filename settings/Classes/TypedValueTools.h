// TypedValueTools: one typed value for a key from a dictionary, or the
// caller's default. Class methods only (prototypes as sent):
//   +stringForKey:defaultValue:dictionary:   id(id, id, id)       a string value as it is;
//                                            another value's stringValue when it answers it
//   +intForKey:defaultValue:dictionary:      int(id, int, id)     a value's intValue when it
//                                            answers it
//   +floatForKey:defaultValue:dictionary:    float(id, float, id) a value's floatValue when it
//                                            answers it
//   +boolForKey:defaultValue:dictionary:     BOOL(id, BOOL, id)   a value's boolValue when it
//                                            answers it, else a string reads YES for "YES"
//                                            or "TRUE" in any case
// A missing dictionary, a missing key or a value the lookup cannot convert
// gives the default.
#pragma once

#include <objc/NSObject.h>

struct TypedValueTools : NSObject {
    OBJC_CLASS(TypedValueTools)
};

void registerTypedValueTools();
