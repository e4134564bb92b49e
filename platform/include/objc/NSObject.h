// The root class and the blocks of the runtime.
#pragma once

#include <objc/runtime.h>

#include <functional>
#include <memory>

// The root class. Its methods are runtime methods (alloc, init, retain,
// release, autorelease, retainCount, dealloc, class, superclass,
// isKindOfClass:, isMemberOfClass:, respondsToSelector:, isEqual:, hash,
// performSelector: with 0 to 2 objects, copy, self); Foundation adds
// description.
struct NSObject : objc_object {
    OBJC_CLASS(NSObject)
};

// Registers the runtime's own classes (NSObject, NSBlock). Idempotent.
void objc_registerRootClasses();

// Sends `action` to `target` with as many arguments as its method takes:
// none, the sender, or the sender and the event. NO when the target does not
// answer or the method takes something else.
BOOL objc_sendAction(id target, SEL action, id sender, id event);

// [obj isKindOfClass:cls] without a send (nil class → NO).
BOOL objc_isKindOfClass(id obj, Class cls);

// ---------------------------------------------------------------------------
// Blocks: runtime objects holding a std::function. A block made here is
// already on the heap, autoreleased; `copy` retains it. Blocks of type void()
// answer `invoke`, so they can be a bar button's target.
struct NSBlock : NSObject {
    OBJC_CLASS(NSBlock)
    const std::type_info* signature = nullptr;
    std::shared_ptr<void> function;  // std::function<F>
};

template <class F>
NSBlock* objc_makeBlock(std::function<F> fn) {
    auto* b = static_cast<NSBlock*>(class_createInstance(NSBlock::cls()));
    b->signature = &typeid(F);
    b->function = std::make_shared<std::function<F>>(std::move(fn));
    return autorelease(b);
}

template <class F, class L>
NSBlock* objc_block(L&& lambda) {
    return objc_makeBlock<F>(std::function<F>(std::forward<L>(lambda)));
}

// Runs a block with a stated prototype; a nil block runs nothing.
template <class F, class... X>
auto objc_callBlock(id block, X&&... args) {
    using R = typename std::function<F>::result_type;
    if (block == nullptr) return objc::zero<R>();
    auto* b = static_cast<NSBlock*>(block);
    if (!objc_isKindOfClass(block, NSBlock::cls()) || *b->signature != typeid(F))
        throw objc::BadSignature("block called with another prototype");
    std::shared_ptr<void> keep = b->function;
    return (*static_cast<std::function<F>*>(keep.get()))(std::forward<X>(args)...);
}
