// NSURL: a URL string; file URLs name device paths.
//
//   +fileURLWithPath:           id(id)   "file://" and the path (percent-encoded where
//                                        needed); nil for nil. A relative path stays
//                                        relative to the device root, as device paths do
//   +URLWithString:             id(id)   nil for nil or a string that is not a URL
//                                        (no scheme, or a space or control character)
//   absoluteString              id()     the whole URL
//   scheme                      id()     "file", "http", …
//   isFileURL                   BOOL()
//   path                        id()     a file URL's path, percent-decoded; for other
//                                        URLs the part after the host, without query
//   isEqual: / hash / description
//
// NSBundle gains
//   URLForResource:withExtension:   id(id, id)   the file URL of pathForResource:ofType:,
//                                                nil when there is no such file
// NSData gains
//   +dataWithContentsOfURL:     id(id)   the whole file of a file URL; nil for other
//                                        schemes or an unreadable file
#pragma once

#include <objc/NSObject.h>

#include <string>

struct NSURL : NSObject {
    OBJC_CLASS(NSURL)

    std::string _string;  // the whole URL
};
