// UILongPressGestureRecognizerWithBlock: a long-press recogniser that is its
// own target and runs a block, with the recogniser as its argument, each time
// it reports a change of state.
//
//   initWithBlock:       id(id)     the block is copied; its prototype is void(id)
//   block / setBlock:    id() / void(id)   copied, nonatomic
//   dispatchBlock:       void(id)   runs the block with the sender (the action)
#pragma once

#include <UIKit/UIGestureRecognizer.h>

struct UILongPressGestureRecognizerWithBlock : UILongPressGestureRecognizer {
    OBJC_CLASS(UILongPressGestureRecognizerWithBlock)

    id _block = nil;  // owned copy
};

// The block's prototype, for objc_block<...> and objc_callBlock<...>.
using LongPressBlock = void(id);

// Registers the class. Idempotent.
void registerUILongPressGestureRecognizerWithBlock();
