#include "UILongPressGestureRecognizerWithBlock.h"

#include <mutex>
#include <utility>

namespace {

id initWithBlock(UILongPressGestureRecognizerWithBlock* self, SEL, id block) {
    id result = objc_msgSend<id(id, SEL)>(self, "initWithTarget:action:"_sel, self, "dispatchBlock:"_sel);
    if (result == nullptr) return nil;
    objc_msgSend<void(id)>(result, "setBlock:"_sel, block);
    return result;
}

id block(UILongPressGestureRecognizerWithBlock* self, SEL) { return self->_block; }

void setBlock(UILongPressGestureRecognizerWithBlock* self, SEL, id block) {
    if (block == self->_block) return;
    id copied = objc_msgSend<id()>(block, "copy"_sel);
    objc_release(std::exchange(self->_block, copied));
}

void dispatchBlock(UILongPressGestureRecognizerWithBlock* self, SEL, id sender) {
    // The block may replace itself while it runs.
    Strong<objc_object> running(objc_msgSend<id()>(self, "block"_sel));
    objc_callBlock<LongPressBlock>(running.get(), sender);
}

void dealloc(UILongPressGestureRecognizerWithBlock* self, SEL) {
    objc_msgSend<void(id)>(self, "setBlock:"_sel, nil);
    objc_msgSendSuper<void()>(self, UILongPressGestureRecognizerWithBlock::cls(), "dealloc"_sel);
}

}  // namespace

void registerUILongPressGestureRecognizerWithBlock() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<UILongPressGestureRecognizerWithBlock>("UILongPressGestureRecognizerWithBlock",
                                                              UILongPressGestureRecognizer::cls())
            .method<initWithBlock>("initWithBlock:", "@@:@?")
            .method<block>("block", "@?@:")
            .method<setBlock>("setBlock:", "v@:@?")
            .method<dispatchBlock>("dispatchBlock:", "v@:@")
            .method<dealloc>("dealloc", "v@:")
            .OBJC_IVAR(UILongPressGestureRecognizerWithBlock, _block);
    });
}
