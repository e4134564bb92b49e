// AFImageRequestOperation: loads one picture from the web.
//
//   +imageRequestOperationWithRequest:success:   id(id, id)   an autoreleased
//        operation for an NSURLRequest; the success block has the prototype
//        void(UIImage*) (objc_block<void(UIImage*)>)
//   _setFittingSize:            void(CGSize)   the size in points the picture is
//                                        shown at (aspect fill) on the main screen; the
//                                        picture is decoded only as large as it takes to
//                                        cover it (platform::ImageFit). Without one, at
//                                        most kDefaultWebImageSide pixels a side
//   start                       void()   fetches the request's URL on a thread of
//                                        its own (platform::net::HTTPRequest, at most
//                                        20 MB), reads the picture's size from its
//                                        header and refuses it above 25 megapixels,
//                                        decodes it there to its fitting size (PNG,
//                                        JPEG, the first frame of a GIF; within the
//                                        process's picture memory, waiting for a turn
//                                        as long as one can come) and then calls
//                                        the success block on the main queue with the
//                                        picture, which keeps its bytes while
//                                        picture memory has room for them (platform::ImageSource,
//                                        for -[UIImage _imageWithMaxPixelSide:]). A
//                                        failure at any step (not an http(s) URL, HTTP
//                                        error, time-out, too large, undecodable) calls
//                                        nothing. A second start does nothing. The
//                                        operation keeps itself alive until it has
//                                        delivered or failed
//
// At most kMaxPictureDownloads pictures are fetched at a time; the others
// wait. The bodies being fetched take their bytes from the process's
// picture memory (platform::pictureMemory), waiting for room within the
// request's time; one that cannot get it fails. A picture's download, its
// wait for a turn included, ends within the requests' total time-out.
//   cancel                      void()   no call of the block from now on, even of
//                                        one already queued; the transfer stops
//   isCancelled                 BOOL()
//
// The operation holds a platform::net::Activity until its result has been
// handled on the main queue, so platform::waitForNetworkIdle covers it.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObject.h>

#include <memory>

struct NSURLRequest;

struct AFImageRequestOperation : NSObject {
    OBJC_CLASS(AFImageRequestOperation)

    struct State;
    Strong<NSURLRequest> _request;
    Strong<NSBlock> _success;
    std::shared_ptr<State> _state;
    CGSize _fittingSize{0, 0};
};

namespace platform {
// Pictures larger than this are refused from their header.
inline constexpr uint64_t kMaxWebImagePixels = 25'000'000;
inline constexpr size_t kMaxWebImageBytes = 20 * 1024 * 1024;
inline constexpr int kMaxPictureDownloads = 4;
inline constexpr unsigned kDefaultWebImageSide = 2048;
}  // namespace platform
