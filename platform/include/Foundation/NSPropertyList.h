// Property lists: NSDictionary, NSArray, NSString, NSNumber, NSData and
// NSDate to and from XML or binary files.
//
// Reading accepts both formats. Integers keep their sign and width (an
// unsigned value with the top bit set stays unsigned), booleans read back as
// boolean NSNumbers, dates as NSDate, data as NSData; containers read back
// immutable.
//
// Writing is crash-safe: a temporary file in the same folder is written and
// fsynced, renamed over the target, and the folder fsynced. On any failure
// (a value of another class, a non-string dictionary key, a date outside the
// format's range, a missing folder, a failed write) the result is false, the
// old file is untouched and no temporary file remains.
#pragma once

#include <objc/NSObject.h>

#include <string>

namespace platform {

// `path` is a device path (resolved with devicePath()).
bool writePropertyList(id root, const std::string& path, bool binary);
// The root object (autoreleased), or nil for a missing, empty or unreadable
// file or one that is not a property list. Refused unread, in time linear in
// their size: files over 1 MB (or not regular files), lists nested deeper
// than 512 containers, binary lists with a cycle or whose shared objects
// would expand to over a million, and XML whose closing tags do not match.
id readPropertyList(const std::string& path);

// The same, in memory (without the size limit).
bool encodePropertyList(id root, bool binary, std::string& out);
id decodePropertyList(const std::string& bytes);

// Writes bytes to the host path crash-safely as described above. On failure
// errno says why (a folder in the file's place is EISDIR).
bool writeFileAtomically(const std::string& hostPath, const void* bytes, size_t length);

}  // namespace platform
