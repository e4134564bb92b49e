// AFImageRequestOperation: fetch and decode on a thread of the operation's
// own, deliver on the main queue. Only bytes and the decoded surface cross
// threads; every runtime object is retained and released on the main
// thread.
#include <Network/AFImageRequestOperation.h>

#include <Foundation/NSData.h>
#include <Foundation/NSURL.h>
#include <ImageIO/ImageIO.h>
#include <UIKit/UIImage.h>
#include <dispatch/dispatch.h>
#include <platform/Network.h>

#include "../Registration.h"

#include <cairo.h>

#include <atomic>
#include <thread>

struct AFImageRequestOperation::State {
    std::atomic<bool> cancelled{false};
    bool started = false;                    // main thread only
    Strong<AFImageRequestOperation> running;  // main thread only
};

namespace {

using platform::net::Activity;

// The decoded picture, or nullptr. GIF data gives its first frame.
cairo_surface_t* decodePicture(const std::string& bytes) {
    uint64_t width = 0, height = 0;
    if (!platform::imagePixelSize(bytes.data(), bytes.size(), width, height)) return nullptr;
    if (width == 0 || height == 0 || width > platform::kMaxWebImagePixels / height) return nullptr;
    if (bytes.compare(0, 3, "GIF") != 0) return platform::decodeImage(bytes.data(), bytes.size());
    AutoreleasePool pool;
    CGImageSourceRef source = CGImageSourceCreateWithData(NSData::make(bytes), nullptr);
    if (source == nullptr) return nullptr;
    CGImageRef frame = CGImageSourceCreateImageAtIndex(source, 0, nullptr);
    cairo_surface_t* surface = frame ? cairo_surface_reference(frame->surface) : nullptr;
    CGImageRelease(frame);
    CFRelease(source);
    return surface;
}

id operationWithRequest(Class cls, SEL, id request, id success) {
    auto* op = static_cast<AFImageRequestOperation*>(class_createInstance(cls));
    if (objc_isKindOfClass(request, NSURLRequest::cls())) op->_request = static_cast<NSURLRequest*>(request);
    if (objc_isKindOfClass(success, NSBlock::cls())) op->_success = static_cast<NSBlock*>(success);
    op->_state = std::make_shared<AFImageRequestOperation::State>();
    return autorelease(op);
}

void start(AFImageRequestOperation* self, SEL) {
    auto state = self->_state;
    if (state->started || state->cancelled.load()) return;
    state->started = true;
    NSURL* url = self->_request ? self->_request->_URL.get() : nullptr;
    if (url == nullptr || !platform::net::isWebURL(url->_string)) return;
    state->running = self;
    auto activity = std::make_shared<Activity>();
    std::thread([state, activity, address = url->_string] {
        platform::net::Response r =
            platform::net::HTTPRequest(address, platform::kMaxWebImageBytes).perform(&state->cancelled);
        cairo_surface_t* surface = r.ok() && !state->cancelled.load() ? decodePicture(r.body) : nullptr;
        dispatch_async(dispatch_get_main_queue(), [state, activity, surface] {
            Strong<AFImageRequestOperation> op = std::move(state->running);
            if (surface == nullptr) return;
            if (state->cancelled.load() || op == nullptr) {
                cairo_surface_destroy(surface);
                return;
            }
            UIImage* image = UIImage::withSurface(surface);
            if (image != nullptr) objc_callBlock<void(UIImage*)>(op->_success.get(), image);
        });
    }).detach();
}

void cancel(AFImageRequestOperation* self, SEL) {
    self->_state->cancelled.store(true);
    // Lets the operation go now; the thread's late result finds nothing.
    Strong<AFImageRequestOperation> done = std::move(self->_state->running);
}

BOOL isCancelled(AFImageRequestOperation* self, SEL) { return self->_state->cancelled.load(); }

}  // namespace

void platform::registerNetwork() {
    objc::ClassDef<AFImageRequestOperation>("AFImageRequestOperation", NSObject::cls())
        .classMethod<operationWithRequest>("imageRequestOperationWithRequest:success:")
        .method<start>("start")
        .method<cancel>("cancel")
        .method<isCancelled>("isCancelled");
}
