// NSException: a runtime object, thrown as a C++ exception by pointer
// (autoreleased), so `catch (NSException* e)` and `catch (...)` both work.
// The AutoreleasePool scopes a throw leaves stay open, so the exception lives
// until an enclosing pool drains, after the catch.
// Runtime methods: +exceptionWithName:reason:userInfo:,
// -initWithName:reason:userInfo:, name, reason, userInfo, description (the
// reason) and raise.
#pragma once

#include <objc/NSObject.h>

#include <string>

struct NSString;
struct NSDictionary;

struct NSException : NSObject {
    OBJC_CLASS(NSException)

    std::string name_;
    std::string reason_;
    Strong<NSDictionary> userInfo_;

    // An autoreleased exception.
    static NSException* make(const std::string& name, const std::string& reason);
    // Throws an autoreleased exception with this name and reason.
    [[noreturn]] static void raise(const std::string& name, const std::string& reason);
    [[noreturn]] void raise();

    const std::string& nameString() const { return name_; }
    const std::string& reasonString() const { return reason_; }
};

inline const char* const NSInvalidArgumentException = "NSInvalidArgumentException";
inline const char* const NSRangeException = "NSRangeException";
inline const char* const NSInternalInconsistencyException = "NSInternalInconsistencyException";
inline const char* const NSGenericException = "NSGenericException";
