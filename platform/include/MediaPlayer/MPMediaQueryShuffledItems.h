// MPMediaQueryShuffledItems: the items of a query in playing order.
//
//   initWithSourceItems:   id(id)          NSArray of the query's items, in the query's order
//   count                  NSUInteger()
//   objectAtIndex:         id(NSUInteger)  in playing order; nil past the end
//
// The three instance variables are object variables (MSHookIvar<id> reaches
// them), each owned: _sourceMediaQuery (the query, nil while queries do not
// exist), _sourceMediaQueryItems (NSArray) and _orderedArray (NSMutableArray,
// the playing order).
#pragma once

#include <objc/NSObject.h>

struct MPMediaQueryShuffledItems : NSObject {
    OBJC_CLASS(MPMediaQueryShuffledItems)

    id _sourceMediaQuery = nil;
    id _sourceMediaQueryItems = nil;
    id _orderedArray = nil;

    ~MPMediaQueryShuffledItems() override;
};
