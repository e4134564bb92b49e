// The root class NSObject and NSBlock.
#include <objc/NSObject.h>
#include <Foundation/NSException.h>

#include <mutex>

namespace {

// Instance methods.
id alloc(objc_class* self, SEL) { return class_createInstance(self); }
id newObject(objc_class* self, SEL) {
    id obj = objc_msgSend<id()>(self, "alloc"_sel);
    return objc_msgSend<id()>(obj, "init"_sel);
}
id init(objc_object* self, SEL) { return self; }
id retainImp(objc_object* self, SEL) { return objc_retain(self); }
void releaseImp(objc_object* self, SEL) { objc_release(self); }
id autoreleaseImp(objc_object* self, SEL) { return objc_autorelease(self); }
NSUInteger retainCountImp(objc_object* self, SEL) { return objc_retainCount(self); }
void dealloc(objc_object* self, SEL) { object_dispose(self); }
id self_(objc_object* self, SEL) { return self; }
Class classImp(objc_object* self, SEL) {
    return class_isMetaClass(self->isa) ? static_cast<Class>(self) : self->isa;
}
Class superclassImp(objc_object* self, SEL) { return class_getSuperclass(classImp(self, nullptr)); }
BOOL isKindOfClass(objc_object* self, SEL, Class cls) { return objc_isKindOfClass(self, cls); }
BOOL isMemberOfClass(objc_object* self, SEL, Class cls) { return cls != nullptr && self->isa == cls; }
BOOL respondsToSelector(objc_object* self, SEL, SEL sel) { return class_respondsToSelector(self->isa, sel); }
BOOL isEqual(objc_object* self, SEL, id other) { return self == other; }
NSUInteger hash(objc_object* self, SEL) { return reinterpret_cast<NSUInteger>(self); }
id copy(objc_object* self, SEL) { return objc_msgSend<id(id)>(self, "copyWithZone:"_sel, nullptr); }
id mutableCopy(objc_object* self, SEL) { return objc_msgSend<id(id)>(self, "mutableCopyWithZone:"_sel, nullptr); }

// performSelector: answers methods that return an object or nothing and take
// as many objects as it passes.
template <class... A>
id perform(id self, SEL sel, A... args) {
    if (sel == nullptr) NSException::raise(NSInvalidArgumentException, "performSelector: with a null selector");
    IMP imp = class_getMethodImplementation(self->isa, sel);
    if (!imp) objc::unrecognized_selector(self, sel);
    if (objc::same_signature(imp.sig, objc::signature<id, A...>())) return imp_call<id(A...)>(imp, self, sel, args...);
    imp_call<void(A...)>(imp, self, sel, args...);
    return nullptr;
}
id performSelector0(objc_object* self, SEL, SEL sel) { return perform(self, sel); }
id performSelector1(objc_object* self, SEL, SEL sel, id a) { return perform<id>(self, sel, a); }
id performSelector2(objc_object* self, SEL, SEL sel, id a, id b) { return perform<id, id>(self, sel, a, b); }

// Class methods.
BOOL instancesRespondToSelector(objc_class* self, SEL, SEL sel) { return class_respondsToSelector(self, sel); }
BOOL isSubclassOfClass(objc_class* self, SEL, Class other) {
    for (Class c = self; c != nullptr; c = class_getSuperclass(c))
        if (c == other) return YES;
    return NO;
}

id blockCopy(objc_object* self, SEL) { return objc_retain(self); }
id blockCopyWithZone(objc_object* self, SEL, id) { return objc_retain(self); }
void blockInvoke(objc_object* self, SEL) { objc_callBlock<void()>(self); }

}  // namespace

BOOL objc_isKindOfClass(id obj, Class cls) {
    if (obj == nullptr || cls == nullptr) return NO;
    for (Class c = obj->isa; c != nullptr; c = class_getSuperclass(c))
        if (c == cls) return YES;
    return NO;
}

BOOL objc_sendAction(id target, SEL action, id sender, id event) {
    if (target == nullptr || action == nullptr) return NO;
    IMP imp = class_getMethodImplementation(target->isa, action);
    if (!imp) return NO;
    if (objc::same_signature(imp.sig, objc::signature<void>())) {
        imp_call<void()>(imp, target, action);
    } else if (objc::same_signature(imp.sig, objc::signature<void, id>())) {
        imp_call<void(id)>(imp, target, action, sender);
    } else if (objc::same_signature(imp.sig, objc::signature<void, id, id>())) {
        imp_call<void(id, id)>(imp, target, action, sender, event);
    } else {
        return NO;
    }
    return YES;
}

void objc_registerRootClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<NSObject>("NSObject", nullptr)
            .classMethod<alloc>("alloc")
            .classMethod<newObject>("new")
            .classMethod<instancesRespondToSelector>("instancesRespondToSelector:")
            .classMethod<isSubclassOfClass>("isSubclassOfClass:")
            .method<init>("init")
            .method<retainImp>("retain")
            .method<releaseImp>("release")
            .method<autoreleaseImp>("autorelease")
            .method<retainCountImp>("retainCount")
            .method<dealloc>("dealloc")
            .method<self_>("self")
            .method<classImp>("class")
            .method<superclassImp>("superclass")
            .method<isKindOfClass>("isKindOfClass:")
            .method<isMemberOfClass>("isMemberOfClass:")
            .method<respondsToSelector>("respondsToSelector:")
            .method<isEqual>("isEqual:")
            .method<hash>("hash")
            .method<copy>("copy")
            .method<mutableCopy>("mutableCopy")
            .method<performSelector0>("performSelector:")
            .method<performSelector1>("performSelector:withObject:")
            .method<performSelector2>("performSelector:withObject:withObject:");
        objc::ClassDef<NSBlock>("NSBlock", NSObject::cls())
            .method<blockCopy>("copy")
            .method<blockCopyWithZone>("copyWithZone:")
            .method<blockInvoke>("invoke");
    });
}
