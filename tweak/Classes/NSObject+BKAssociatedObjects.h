// NSObject(BKAssociatedObjects): values attached to any object (or class
// object) under a key whose address, not its contents, names the value.
// Each selector is both an instance and a class method:
//
//   associateValue:withKey:                   void(id, const void*)  retained, nonatomic
//   atomicallyAssociateValue:withKey:         void(id, const void*)  retained, atomic
//   associateCopyOfValue:withKey:             void(id, const void*)  a copy, nonatomic
//   atomicallyAssociateCopyOfValue:withKey:   void(id, const void*)  a copy, atomic
//   weaklyAssociateValue:withKey:             void(id, const void*)  not retained
//   associatedValueForKey:                    id(const void*)        the value, or nil
//   removeAllAssociatedObjects                void()
//
// Setting nil under a key removes that value. A weakly attached value is a
// plain reference: it is not cleared when the value goes.
#pragma once

#include <objc/NSObject.h>

// The key of the artwork reload mark: a media item carrying the number 1
// under it has its row's artwork taken anew each time the row is displayed.
// Writers and readers pass this address.
extern const char kReloadImageKey[];

// Adds the category's methods to NSObject and its class object. Idempotent.
void registerNSObjectBKAssociatedObjects();
