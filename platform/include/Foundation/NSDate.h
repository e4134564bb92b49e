// NSDate: a point in time, seconds since 1970-01-01 00:00:00 UTC.
#pragma once

#include <Foundation/NSObjCRuntime.h>

using NSTimeInterval = double;

// Seconds from 1970 to the reference date 2001-01-01 00:00:00 UTC.
inline constexpr NSTimeInterval NSTimeIntervalSince1970 = 978307200.0;

struct NSDate : NSObject {
    OBJC_CLASS(NSDate)

    static NSDate* now();                                         // autoreleased
    static NSDate* withTimeIntervalSince1970(NSTimeInterval t);  // autoreleased

    NSTimeInterval timeIntervalSince1970() const { return since1970_; }
    NSTimeInterval timeIntervalSinceReferenceDate() const { return since1970_ - NSTimeIntervalSince1970; }
    void setTimeIntervalSince1970(NSTimeInterval t) { since1970_ = t; }

private:
    NSTimeInterval since1970_ = 0;
};
