// FMDatabase: a small SQLite connection object over SQLiteCpp, for the
// library's writes that take their values from a printf-style format.
//
//   FMDatabase* db = objc_msgSend<FMDatabase*(NSString*)>(FMDatabase::cls(), "databaseWithPath:"_sel, path);
//   if (objc_msgSend<BOOL()>(db, "open"_sel)) {
//       db->executeUpdateWithFormat("UPDATE album SET album = %@ WHERE album_pid = %llu", title, pid);
//       objc_msgSend<BOOL()>(db, "close"_sel);
//   }
//
// Runtime methods:
//   +databaseWithPath:              FMDatabase*(NSString*)   autoreleased, not open
//   -initWithPath:                  id(NSString*)
//   -databasePath                   NSString*()
//   -open                           BOOL()   read-write; never creates the file
//   -close                          BOOL()   YES also when it was not open
//   -lastErrorMessage               NSString*()   "not an error" after a success
//   -lastErrorCode                  int()    an SQLite result code, SQLITE_OK after a success
//   -changes                        int()    rows changed by the last successful update
//   -maxBusyRetryTimeInterval       double() seconds a locked database is retried (2.0)
//   -setMaxBusyRetryTimeInterval:   void(double)
//
// Paths are device paths (platform::devicePath). executeUpdateWithFormat is
// C++ only: a variadic call cannot be a runtime method.
#pragma once

#include <Foundation/NSString.h>

#include <memory>
#include <string>
#include <string_view>

namespace SQLite {
class Database;
}

struct FMDatabase : NSObject {
    OBJC_CLASS(FMDatabase)

    FMDatabase();
    ~FMDatabase() override;

    // Runs one statement whose values come from the arguments. Every
    // placeholder of the format becomes a bound parameter ("?") holding its
    // argument; no value is ever pasted into the SQL text, so quotes and
    // percent signs in values reach the database intact. "%%" is a literal
    // percent sign.
    //   %@                    an object: NSString as text, NSNumber as an
    //                         integer or real, NSData as a blob, nil as NULL,
    //                         anything else as its description
    //   %d %i %u %x %X %o     integers, with hh h l ll q z t j; unsigned
    //                         64-bit values keep their bits (stored signed)
    //   %f %F %e %E %g %G %a %A   floating values
    //   %s                    a C string or std::string (NULL as NULL)
    //   %c                    a character, as text
    // Flags, widths and precisions are accepted and have no effect. NO, with
    // nothing run, when the database is not open, the format cannot be read,
    // the arguments do not match the placeholders in number or kind, or the
    // statement fails (lastErrorCode and lastErrorMessage say why); YES when
    // the statement ran to completion.
    template <class... A>
    BOOL executeUpdateWithFormat(const char* format, A&&... args) {
        if constexpr (sizeof...(A) == 0) {
            return executeUpdate(format ? std::string_view(format) : std::string_view(), format == nullptr, nullptr, 0);
        } else {
            const platform::fmt::Arg captured[] = {platform::fmt::makeArg(args)...};
            return executeUpdate(format ? std::string_view(format) : std::string_view(), format == nullptr, captured,
                                 sizeof...(A));
        }
    }
    template <class... A>
    BOOL executeUpdateWithFormat(NSString* format, A&&... args) {
        if (format == nullptr) return executeUpdateWithFormat(static_cast<const char*>(nullptr));
        return executeUpdateWithFormat(format->c_str(), std::forward<A>(args)...);
    }

    // The C++ side of the runtime methods above.
    BOOL open();
    BOOL close();
    void setMaxBusyRetryTimeInterval(double seconds);
    int lastErrorCode() const { return lastErrorCode_; }
    const std::string& lastErrorText() const { return lastErrorMessage_; }
    int changes() const { return changes_; }

    Strong<NSString> databasePath_;
    double maxBusyRetryTimeInterval_ = 2.0;

private:
    BOOL executeUpdate(std::string_view format, bool nullFormat, const platform::fmt::Arg* args, size_t count);
    void setError(int code, std::string message);
    void clearError();

    std::unique_ptr<SQLite::Database> db_;
    int lastErrorCode_ = 0;
    std::string lastErrorMessage_ = "not an error";
    int changes_ = 0;
};

// Registers the FMDatabase class; Cantrel_registerClasses calls it.
void registerFMDatabase();
