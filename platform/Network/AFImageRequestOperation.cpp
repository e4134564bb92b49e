// AFImageRequestOperation: fetch and decode on a thread of the operation's
// own, deliver on the main queue. Only bytes and the decoded surface cross
// threads; every runtime object is retained and released on the main
// thread.
#include <Network/AFImageRequestOperation.h>

#include <Foundation/NSData.h>
#include <Foundation/NSURL.h>
#include <ImageIO/ImageDecoder.h>
#include <UIKit/UIImage.h>
#include <dispatch/dispatch.h>
#include <platform/Network.h>

#include "../Registration.h"

#include <UIKit/UIScreen.h>

#include <cairo.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <thread>

struct AFImageRequestOperation::State {
    std::atomic<bool> cancelled{false};
    bool started = false;                    // main thread only
    Strong<AFImageRequestOperation> running;  // main thread only
};

namespace {

using platform::net::Activity;
using Clock = std::chrono::steady_clock;

// The downloads running, at most kMaxPictureDownloads; the others wait.
std::mutex gateLock;
std::condition_variable gateChanged;
int downloading = 0;

// Waits for a turn; false when the operation was cancelled or its time ran
// out first.
bool enterGate(const std::atomic<bool>& cancelled, Clock::time_point deadline) {
    std::unique_lock<std::mutex> lk(gateLock);
    while (downloading >= platform::kMaxPictureDownloads) {
        if (cancelled.load() || Clock::now() >= deadline) return false;
        gateChanged.wait_for(lk, std::chrono::milliseconds(20));
    }
    ++downloading;
    return true;
}

void leaveGate() {
    {
        std::lock_guard<std::mutex> g(gateLock);
        --downloading;
    }
    gateChanged.notify_one();
}

// The decoded picture at its fitting size (a GIF's first frame), or nullptr;
// a turn within picture memory is waited for as long as it can come, until
// the operation is cancelled.
cairo_surface_t* decodePicture(const platform::net::Response& r, const platform::ImageFit& fit,
                               const std::atomic<bool>& cancelled) {
    const std::string& bytes = r.body;
    platform::DecodeLimits limits;
    limits.heldBytes = r.hold.bytes();
    limits.maxPixels = platform::kMaxWebImagePixels;
    limits.waitSeconds = std::numeric_limits<double>::infinity();
    limits.cancel = &cancelled;
    return platform::decodeImage(bytes.data(), bytes.size(), fit, limits);
}

// The picture's fit on the main screen (main thread).
platform::ImageFit fitOf(CGSize points) {
    platform::ImageFit fit;
    fit.maxSide = platform::kDefaultWebImageSide;
    double scale = objc_msgSend<double()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "scale"_sel);
    if (!(scale > 0)) scale = 1;
    double w = points.width * scale, h = points.height * scale;
    if (w >= 1 && h >= 1 && w <= fit.maxSide && h <= fit.maxSide) {
        fit.coverWidth = static_cast<unsigned>(std::ceil(w));
        fit.coverHeight = static_cast<unsigned>(std::ceil(h));
    }
    return fit;
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
    platform::ImageFit fit = fitOf(self->_fittingSize);
    auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(platform::net::totalTimeoutSeconds()));
    std::thread([state, activity, fit, deadline, address = url->_string] {
        cairo_surface_t* surface = nullptr;
        std::shared_ptr<const platform::ImageSource> source;
        if (enterGate(state->cancelled, deadline)) {
            platform::net::Response r = platform::net::HTTPRequest(address, platform::kMaxWebImageBytes)
                                            .until(deadline)
                                            .sharing(&platform::pictureMemory())
                                            .perform(&state->cancelled);
            leaveGate();
            if (r.ok() && !state->cancelled.load()) surface = decodePicture(r, fit, state->cancelled);
            if (surface != nullptr) {
                r.hold.release();  // the bytes go on as kept ones, or go
                source = platform::ImageSource::keep(std::move(r.body));
            }
        }
        dispatch_async(dispatch_get_main_queue(), [state, activity, surface, source] {
            Strong<AFImageRequestOperation> op = std::move(state->running);
            if (surface == nullptr) return;
            if (state->cancelled.load() || op == nullptr) {
                cairo_surface_destroy(surface);
                return;
            }
            UIImage* image = UIImage::withSurface(surface);
            if (image == nullptr) return;
            image->_source = source;
            objc_callBlock<void(UIImage*)>(op->_success.get(), image);
        });
    }).detach();
}

void cancel(AFImageRequestOperation* self, SEL) {
    self->_state->cancelled.store(true);
    // Lets the operation go now; the thread's late result finds nothing.
    Strong<AFImageRequestOperation> done = std::move(self->_state->running);
}

BOOL isCancelled(AFImageRequestOperation* self, SEL) { return self->_state->cancelled.load(); }

void setFittingSize(AFImageRequestOperation* self, SEL, CGSize size) { self->_fittingSize = size; }

}  // namespace

void platform::registerNetwork() {
    objc::ClassDef<AFImageRequestOperation>("AFImageRequestOperation", NSObject::cls())
        .classMethod<operationWithRequest>("imageRequestOperationWithRequest:success:")
        .method<start>("start")
        .method<cancel>("cancel")
        .method<isCancelled>("isCancelled")
        .method<setFittingSize>("_setFittingSize:");
}
