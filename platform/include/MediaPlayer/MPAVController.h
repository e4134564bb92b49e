// MPAVController: the player behind the now-playing screen.
//
//   _itemWillChange:   void(id)   the player is about to move to another item;
//                                 the argument is the notification (may be nil)
#pragma once

#include <objc/NSObject.h>

struct MPAVController : NSObject {
    OBJC_CLASS(MPAVController)

    // How many item changes the player has seen.
    NSInteger _itemChangeCount = 0;
};
