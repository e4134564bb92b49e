// NSFileManager: files and folders of the device. Every path is a device
// path resolved through platform::devicePath(); one that would leave the
// device root fails. Failures set *error (autoreleased, NSCocoaErrorDomain,
// with NSFilePathErrorKey and the POSIX error under NSUnderlyingErrorKey)
// when error is non-null.
#pragma once

#include <Foundation/NSObjCRuntime.h>

struct NSString;
struct NSArray;
struct NSError;
struct NSURL;

struct NSFileManager : NSObject {
    OBJC_CLASS(NSFileManager)

    static NSFileManager* defaultManager();  // never freed

    bool fileExistsAtPath(NSString* path, BOOL* isDirectory = nullptr);
    bool createDirectoryAtPath(NSString* path, bool withIntermediates, NSError** error);
    // Removes a file or a whole folder; the device root itself is refused.
    bool removeItemAtPath(NSString* path, NSError** error);
    // Fails when the destination exists. A file appears under its name only
    // once copied whole, and never replaces a file made meanwhile.
    bool copyItemAtPath(NSString* from, NSString* to, NSError** error);
    // The same between file URLs; any other URL fails (EINVAL).
    bool copyItemAtURL(NSURL* from, NSURL* to, NSError** error);
    // Whether the process may read the file (or folder).
    bool isReadableFileAtPath(NSString* path);
    // Every path under the folder, relative to it, sorted; symlinks listed,
    // not followed. nil when the path is not a folder.
    NSArray* subpathsAtPath(NSString* path);
    bool moveItemAtPath(NSString* from, NSString* to, NSError** error);
    // Names in the folder, sorted (autoreleased); nil on failure.
    NSArray* contentsOfDirectoryAtPath(NSString* path, NSError** error);
};
