// MPMediaQueryShuffledItems S: the items a feeder plays, in playing order.
// Prototypes: MediaPlayer/QueueMessages.h.
//
//   initWithSourceItems:   id(id)          NSArray of the query's items, in the query's order
//   items                  id()            O when it is not empty, else L
//   count                  NSUInteger()    of items
//   objectAtIndex:         id(NSUInteger)  of items; nil past the end
//   shuffleItemsWithInitialIndex:, _rebuildItemCachesWithInitialSourceItemIndex:,
//   _rebuildCachesWithInitialSourceIndex:   void(NSInteger)   logged; the app has no shuffle
//                          mode, so the order stays (an index not in it is ignored). The two
//                          _rebuild… messages take a non-empty O as the order from then on
//   invalidateSourceMediaQueryAndLoadItems  void()   L and O again from _sourceMediaQuery's
//                          items (O kept when a _rebuild… took it since the last reload); the
//                          owning feeder's snapshot follows
//
// The three instance variables are object variables (MSHookIvar<id> reaches
// them), each owned: _sourceMediaQuery (the query), _sourceMediaQueryItems L
// (NSArray, the query's items) and _orderedArray O (NSMutableArray, the
// playing order, shared with whoever holds it). How O is filled from L is
// the process-wide ShuffledItemsOrder: ordered (O holds L's order, the
// default), source (O empty: the items play from L) or none (O nil).
#pragma once

#include <objc/NSObject.h>
#include <platform/CallLog.h>

namespace platform {
enum class ShuffledItemsOrder { ordered, source, none };
void setShuffledItemsOrder(ShuffledItemsOrder order);
ShuffledItemsOrder shuffledItemsOrder();
}  // namespace platform

struct MPMediaQueryShuffledItems : NSObject {
    OBJC_CLASS(MPMediaQueryShuffledItems)

    id _sourceMediaQuery = nil;
    id _sourceMediaQueryItems = nil;
    id _orderedArray = nil;
    Weak<NSObject> _feeder;  // the feeder whose items these are
    BOOL _orderRebuilt = NO;
    platform::CallLog _calls;

    ~MPMediaQueryShuffledItems() override;
};
