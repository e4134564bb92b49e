// NSURL: a URL string; file URLs name device paths.
//
//   +fileURLWithPath:           id(id)   "file://" and the path (percent-encoded where
//                                        needed); nil for nil. A relative path stays
//                                        relative to the device root, as device paths do
//   +URLWithString:             id(id)   nil for nil, a non-string or a string that is
//                                        not an absolute URL (platform::net::parseURL in
//                                        platform/Network.h: no scheme, a space, control
//                                        or non-ASCII character, a bad "%" escape, a bad
//                                        port, http(s) without a host)
//   absoluteString              id()     the whole URL
//   scheme                      id()     "file", "http", … as written
//   host                        id()     the host of the authority, percent-decoded,
//                                        without an IPv6 literal's brackets; nil without
//                                        an authority or for an empty host (file:///…)
//   isFileURL                   BOOL()
//   path                        id()     a file URL's path, percent-decoded; for other
//                                        URLs the part after the host, without query
//   isEqual: / hash / description
//
// NSBundle gains
//   URLForResource:withExtension:   id(id, id)   the file URL of pathForResource:ofType:,
//                                                nil when there is no such file
// NSData gains
//   +dataWithContentsOfURL:     id(id)   the whole file of a file URL; for an http(s)
//                                        URL the body of a GET (platform::net::HTTPRequest,
//                                        blocking on the calling thread, at most 2 MB: a
//                                        larger body, an answer other than 2xx, a time-out
//                                        or any other failure gives nil); nil for other
//                                        schemes or an unreadable file
//
// NSURLRequest: a request for a URL.
//   +requestWithURL:            id(id)   an autoreleased request (its URL nil for anything
//                                        but an NSURL), time-out 60 s
//   +requestWithURL:cachePolicy:timeoutInterval:   id(id, NSUInteger, double)   the same
//                                        with that time-out (the policy is not used); a
//                                        time-out that is not a positive number is 60 s
//   URL                         id()
//   timeoutInterval             double() seconds that the whole request may take
//
// NSURLConnection
//   +sendSynchronousRequest:returningResponse:error:   id(id, id*, NSError**)
//                                        the body of an http(s) request's GET as NSData,
//                                        as +dataWithContentsOfURL: (at most 2 MB, only a
//                                        2xx answer), ended by the request's time-out at
//                                        the latest, redirects included; nil on failure,
//                                        with an NSError in NSURLErrorDomain whose
//                                        description says why (NSURLErrorTimedOut -1001,
//                                        NSURLErrorDataLengthExceedsMaximum -1103, …). The
//                                        response is always nil
#pragma once

#include <objc/NSObject.h>

#include <string>

struct NSURL : NSObject {
    OBJC_CLASS(NSURL)

    std::string _string;  // the whole URL
};

struct NSURLRequest : NSObject {
    OBJC_CLASS(NSURLRequest)

    Strong<NSURL> _URL;
    double _timeoutInterval = 60;
};

struct NSURLConnection : NSObject {
    OBJC_CLASS(NSURLConnection)
};
