// NSSet: an unordered collection of distinct objects (by isEqual:), each
// retained while it is in the set.
//
//   +setWithObject:     id(id)   nil raises NSInvalidArgumentException
//   +setWithArray:      id(id)   the array's distinct objects; nil gives an empty set
//   count               NSUInteger()
//   allObjects          id()     NSArray, in the order the objects went in
//   anyObject           id()     nil when empty
//   containsObject:     BOOL(id)
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <vector>

struct NSSet : NSObject {
    OBJC_CLASS(NSSet)

    std::vector<Strong<objc_object>> _objects;
};
