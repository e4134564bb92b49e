// The Darwin notify centre: notifications that carry only a name and reach
// every process of the same device root.
//
// Each process that observes binds one Unix datagram socket in
// <root>/.platform/notify/; a post sends the name to every socket there (its
// own process included), without waiting for any, and removes sockets whose
// process is gone. A thread of the receiving process hands each name to the
// main run loop, which calls the matching observers' callbacks on the main
// thread in the order received, with object and userInfo NULL; a name that
// arrives again while its delivery still waits is coalesced into it. A post
// while nobody observes reaches nobody.
//
// The socket is made when an observer is added, in the device root current
// then (when the folder cannot be made or written, the next post or added
// observer tries again); it moves when an observer is added after the root
// changed, and goes when the process exits. Processes are never suspended here, so the
// suspension behaviour is kept but has no effect.
#pragma once

#include <CoreFoundation/CFBase.h>

struct CFNotificationCenterOpaque;
using CFNotificationCenterRef = CFNotificationCenterOpaque*;

using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer, CFStringRef name,
                                        const void* object, CFDictionaryRef userInfo);

enum CFNotificationSuspensionBehavior : CFIndex {
    CFNotificationSuspensionBehaviorDrop = 1,
    CFNotificationSuspensionBehaviorCoalesce = 2,
    CFNotificationSuspensionBehaviorHold = 3,
    CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();

// Calls `callback` for every notification named `name` (required: a NULL
// name is refused with a log line). Adding the same observer for the same
// name again replaces its callback. `object` is ignored, as Darwin
// notifications carry none.
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
// Removes the observer's registration for `name`, or all of them when name
// is NULL. A callback already on its way is not called after this.
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
                                        const void* object);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);
// Sends `name` to every observing process. object and userInfo are not
// carried; deliverImmediately changes nothing. Names longer than
// kDarwinNotificationNameMax bytes are refused with a log line.
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                          CFDictionaryRef userInfo, Boolean deliverImmediately);

inline constexpr size_t kDarwinNotificationNameMax = 1024;

#include <string>

namespace platform {

// What one post did: the observing processes it reached, and those it could
// not (each named in the log).
struct DarwinPostReport {
    size_t delivered = 0;
    size_t failed = 0;
};

// CFNotificationCenterPostNotification with its report. A post never waits:
// a process whose queue is full (stopped, or not reading) misses it. The
// receiving side coalesces: while a delivery of a name waits on the main
// run loop, more datagrams of that name add nothing to it.
DarwinPostReport postDarwinNotification(const std::string& name);

}  // namespace platform
