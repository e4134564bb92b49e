// NSNotification and NSNotificationCenter: synchronous broadcast by name.
//
// Observers are held weakly (an observer freed without removing itself is
// skipped and forgotten) and are called on the posting thread in the order
// they registered, their method sent through the runtime with prototype
// void(id). Registration and removal are thread-safe; an observation removed
// while a post is delivering is not called afterwards, one added during a
// post first hears the next post.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <memory>
#include <mutex>
#include <vector>

struct NSString;
struct NSDictionary;

struct NSNotification : NSObject {
    OBJC_CLASS(NSNotification)

    static NSNotification* make(NSString* name, id object, NSDictionary* userInfo);  // autoreleased

    Strong<NSString> name_;
    Strong<objc_object> object_;
    Strong<NSDictionary> userInfo_;
};

struct NSNotificationCenter : NSObject {
    OBJC_CLASS(NSNotificationCenter)

    // The process-wide centre (never freed).
    static NSNotificationCenter* defaultCenter();

    // A nil name hears every name; a nil object every sender. The sender is
    // compared by address and not retained.
    void addObserver(id observer, SEL selector, NSString* name, id object);
    // Removes the observer's observations matching name and object (nil
    // matches any).
    void removeObserver(id observer, NSString* name = nullptr, id object = nullptr);
    void postNotification(NSNotification* note);
    void post(NSString* name, id object, NSDictionary* userInfo = nullptr);

    // Live observations (for tests).
    size_t observationCount();

private:
    struct Observation;
    std::mutex lock_;
    std::vector<std::shared_ptr<Observation>> observations_;
};
