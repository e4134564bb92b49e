// AFImageRequestOperation: loads one picture from the web.
//
//   +imageRequestOperationWithRequest:success:   id(id, id)   an autoreleased
//        operation for an NSURLRequest; the success block has the prototype
//        void(UIImage*) (objc_block<void(UIImage*)>)
//   start                       void()   fetches the request's URL on a thread of
//                                        its own (platform::net::HTTPRequest, at most
//                                        20 MB), reads the picture's size from its
//                                        header and refuses it above 25 megapixels,
//                                        decodes it there (PNG, JPEG, the first frame
//                                        of a GIF) and then calls the success block on
//                                        the main queue with the picture. A failure at
//                                        any step (not an http(s) URL, HTTP error,
//                                        time-out, too large, undecodable) calls
//                                        nothing. A second start does nothing. The
//                                        operation keeps itself alive until it has
//                                        delivered or failed
//   cancel                      void()   no call of the block from now on, even of
//                                        one already queued; the transfer stops
//   isCancelled                 BOOL()
//
// The operation holds a platform::net::Activity until its result has been
// handled on the main queue, so platform::waitForNetworkIdle covers it.
#pragma once

#include <objc/NSObject.h>

#include <memory>

struct NSURLRequest;

struct AFImageRequestOperation : NSObject {
    OBJC_CLASS(AFImageRequestOperation)

    struct State;
    Strong<NSURLRequest> _request;
    Strong<NSBlock> _success;
    std::shared_ptr<State> _state;
};

namespace platform {
// Pictures larger than this are refused from their header.
inline constexpr uint64_t kMaxWebImagePixels = 25'000'000;
inline constexpr size_t kMaxWebImageBytes = 20 * 1024 * 1024;
}  // namespace platform
