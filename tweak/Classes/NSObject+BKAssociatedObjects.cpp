#include "NSObject+BKAssociatedObjects.h"

#include <mutex>

const char kReloadImageKey[] = "RELOAD_IMAGE";

namespace {

// One body for the instance and the class form: `self` is the object or the
// class object that carries the values.
template <objc_AssociationPolicy Policy>
void associate(objc_object* self, SEL, id value, const void* key) {
    objc_setAssociatedObject(self, key, value, Policy);
}

id associatedValueForKey(objc_object* self, SEL, const void* key) { return objc_getAssociatedObject(self, key); }

void removeAllAssociatedObjects(objc_object* self, SEL) { objc_removeAssociatedObjects(self); }

void defineOnBothSides(const char* selector, IMP imp, const char* types) {
    SEL sel = sel_registerName(selector);
    objc::define_method(NSObject::cls(), sel, imp, types);
    objc::define_method(object_getClass(NSObject::cls()), sel, imp, types);
}

}  // namespace

void registerNSObjectBKAssociatedObjects() {
    static std::once_flag once;
    std::call_once(once, [] {
        defineOnBothSides("associateValue:withKey:",
                          imp_implementationWithFunction(associate<OBJC_ASSOCIATION_RETAIN_NONATOMIC>), "v@:@^v");
        defineOnBothSides("atomicallyAssociateValue:withKey:",
                          imp_implementationWithFunction(associate<OBJC_ASSOCIATION_RETAIN>), "v@:@^v");
        defineOnBothSides("associateCopyOfValue:withKey:",
                          imp_implementationWithFunction(associate<OBJC_ASSOCIATION_COPY_NONATOMIC>), "v@:@^v");
        defineOnBothSides("atomicallyAssociateCopyOfValue:withKey:",
                          imp_implementationWithFunction(associate<OBJC_ASSOCIATION_COPY>), "v@:@^v");
        defineOnBothSides("weaklyAssociateValue:withKey:",
                          imp_implementationWithFunction(associate<OBJC_ASSOCIATION_ASSIGN>), "v@:@^v");
        defineOnBothSides("associatedValueForKey:", imp_implementationWithFunction(associatedValueForKey), "@@:^v");
        defineOnBothSides("removeAllAssociatedObjects", imp_implementationWithFunction(removeAllAssociatedObjects),
                          "v@:");
    });
}
