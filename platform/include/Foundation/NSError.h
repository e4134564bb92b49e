// NSError: a domain, a code and a user-info dictionary.
#pragma once

#include <Foundation/NSString.h>

struct NSDictionary;

struct NSError : NSObject {
    OBJC_CLASS(NSError)

    static NSError* make(NSString* domain, NSInteger code, NSDictionary* userInfo);  // autoreleased

    // userInfo[NSLocalizedDescriptionKey], else a generic sentence with the
    // domain and code (autoreleased).
    NSString* localizedDescription() const;

    Strong<NSString> domain_;
    NSInteger code_ = 0;
    Strong<NSDictionary> userInfo_;
};

// Domains and user-info keys (immortal strings, made on first use).
#define NSCocoaErrorDomain ("NSCocoaErrorDomain"_ns)
#define NSPOSIXErrorDomain ("NSPOSIXErrorDomain"_ns)
#define NSLocalizedDescriptionKey ("NSLocalizedDescription"_ns)
#define NSFilePathErrorKey ("NSFilePath"_ns)
#define NSUnderlyingErrorKey ("NSUnderlyingError"_ns)

// Codes of NSCocoaErrorDomain.
inline constexpr NSInteger NSFileNoSuchFileError = 4;
inline constexpr NSInteger NSFileReadUnknownError = 256;
inline constexpr NSInteger NSFileReadNoPermissionError = 257;
inline constexpr NSInteger NSFileReadNoSuchFileError = 260;
inline constexpr NSInteger NSFileWriteUnknownError = 512;
inline constexpr NSInteger NSFileWriteNoPermissionError = 513;
inline constexpr NSInteger NSFileWriteFileExistsError = 516;
inline constexpr NSInteger NSFileWriteOutOfSpaceError = 640;
