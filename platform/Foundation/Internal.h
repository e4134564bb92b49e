// Shared declarations of the Foundation sources: per-class registration (called by
// registerFoundation in superclass-first order) and small helpers.
#pragma once

#include <objc/NSObject.h>

#include <string>
#include <vector>

struct NSString;

namespace platform::foundation {

void registerObjectAdditions();  // NSObject description, debugDescription
void registerStrings();          // NSString, NSMutableString
void registerNumbers();          // NSNumber
void registerArrays();           // NSArray, NSMutableArray
void registerSets();             // NSSet
void registerDictionaries();     // NSDictionary, NSMutableDictionary
void registerData();             // NSData, NSMutableData
void registerDates();            // NSDate
void registerIndexPaths();       // NSIndexPath
void registerNotifications();    // NSNotification, NSNotificationCenter
void registerErrors();           // NSError
void registerFileManager();      // NSFileManager
void registerExceptions();       // NSException's runtime methods
void registerAutoreleasePools();  // NSAutoreleasePool
void registerBundles();          // NSBundle (its nibs come with UIKit)
void registerUUIDs();           // NSUUID
void registerCharacterSets();   // NSCharacterSet, NSString's componentsSeparatedByCharactersInSet:
void registerURLs();             // NSURL, NSBundle's and NSData's URL methods
void registerJSON();             // NSJSONSerialization, NSNull

// A fresh instance of `cls` (which must be T's runtime class or a subclass),
// owned (+1).
template <class T>
T* allocate(Class cls) {
    return static_cast<T*>(class_createInstance(cls));
}

// The object's description through the runtime; "(null)" for nil.
std::string describe(id obj);

// An autoreleased NSString.
NSString* str(const std::string& utf8);

}  // namespace platform::foundation
