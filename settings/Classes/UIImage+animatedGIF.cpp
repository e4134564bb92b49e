#include "UIImage+animatedGIF.h"

#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSURL.h>
#include <ImageIO/ImageIO.h>
#include <UIKit/UIImage.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr size_t kMaxFrames = 4096;
// The frames together: 32 MB of pixels.
constexpr int64_t kMaxPixels = 8LL * 1000 * 1000;
constexpr int64_t kMaxEntries = 10000;
constexpr int64_t kMaxDelay = 65535;  // 655.35 s

int64_t pairGCD(int64_t a, int64_t b) {
    if (a < b) return pairGCD(b, a);
    if (b == 0) return a;
    for (;;) {
        int64_t r = a - (a / b) * b;
        if (r == 0) return b;
        a = b;
        b = r;
    }
}

int64_t vectorGCD(const std::vector<int64_t>& delays) {
    int64_t g = delays[0];
    for (size_t i = 1; i < delays.size(); ++i) g = pairGCD(delays[i], g);
    return g;
}

double doubleOf(const void* number) {
    return objc_msgSend<double()>(const_cast<id>(static_cast<const objc_object*>(number)), "doubleValue"_sel);
}

int64_t delayCentisecondsForImageAtIndex(CGImageSourceRef source, size_t index) {
    int64_t delay = 1;
    CFDictionaryRef props = CGImageSourceCopyPropertiesAtIndex(source, index, nullptr);
    if (props == nullptr) return delay;
    const void* gif = CFDictionaryGetValue(props, kCGImagePropertyGIFDictionary);
    if (gif != nullptr) {
        auto* gifDictionary = static_cast<CFDictionaryRef>(const_cast<id>(static_cast<const objc_object*>(gif)));
        const void* v = CFDictionaryGetValue(gifDictionary, kCGImagePropertyGIFUnclampedDelayTime);
        if (v == nullptr || doubleOf(v) == 0.0) v = CFDictionaryGetValue(gifDictionary, kCGImagePropertyGIFDelayTime);
        double seconds = v != nullptr ? doubleOf(v) : 0.0;
        if (std::isfinite(seconds) && seconds > 0.0)
            delay = seconds * 100.0 >= static_cast<double>(kMaxDelay) ? kMaxDelay : std::lrint(seconds * 100.0);
    }
    CFRelease(props);
    return delay;
}

// The pixels the frames would take once decoded, from their properties.
int64_t plannedPixels(CGImageSourceRef source, size_t n) {
    int64_t pixels = 0;
    for (size_t i = 0; i < n; ++i) {
        CFDictionaryRef props = CGImageSourceCopyPropertiesAtIndex(source, i, nullptr);
        if (props == nullptr) continue;
        const void* w = CFDictionaryGetValue(props, kCGImagePropertyPixelWidth);
        const void* h = CFDictionaryGetValue(props, kCGImagePropertyPixelHeight);
        if (w != nullptr && h != nullptr) {
            double area = doubleOf(w) * doubleOf(h);
            pixels += std::isfinite(area) && area > 0 ? static_cast<int64_t>(std::min(area, 1e15)) : 0;
        }
        CFRelease(props);
    }
    return pixels;
}

id animatedImageWithAnimatedGIFImageSource(CGImageSourceRef source) {
    size_t n = CGImageSourceGetCount(source);
    if (n == 0 || n > kMaxFrames) return nil;
    // Refused before anything is decoded when the frames would be too large.
    if (plannedPixels(source, n) > kMaxPixels) return nil;
    std::vector<CGImageRef> images;
    std::vector<int64_t> delays;
    int64_t pixels = 0;
    bool tooLarge = false;
    for (size_t i = 0; i < n && !tooLarge; ++i) {
        CGImageRef image = CGImageSourceCreateImageAtIndex(source, i, nullptr);
        if (image == nullptr) continue;  // left out with its delay
        pixels += static_cast<int64_t>(CGImageGetWidth(image)) * static_cast<int64_t>(CGImageGetHeight(image));
        images.push_back(image);
        delays.push_back(delayCentisecondsForImageAtIndex(source, i));
        tooLarge = pixels > kMaxPixels;
    }
    id result = nil;
    std::vector<int64_t> counts = tooLarge || images.empty() ? std::vector<int64_t>{} : gifEntryCounts(delays);
    if (!counts.empty()) {
        int64_t total = 0;
        for (int64_t d : delays) total += d;
        id frames = objc_msgSend<id()>(objc_getClass("NSMutableArray"), "array"_sel);
        for (size_t i = 0; i < images.size(); ++i) {
            if (counts[i] == 0) continue;
            id img = objc_msgSend<id(CGImageRef)>(UIImage::cls(), "imageWithCGImage:"_sel, images[i]);
            for (int64_t k = 0; k < counts[i]; ++k) objc_msgSend<void(id)>(frames, "addObject:"_sel, img);
        }
        result = objc_msgSend<id(id, double)>(UIImage::cls(), "animatedImageWithImages:duration:"_sel, frames,
                                              static_cast<double>(total) / 100.0);
    }
    for (CGImageRef image : images) CGImageRelease(image);
    return result;
}

id animatedImageWithAnimatedGIFReleasingImageSource(CGImageSourceRef source) {
    if (source == nullptr) return nil;
    id image = animatedImageWithAnimatedGIFImageSource(source);
    CFRelease(source);
    return image;
}

id animatedImageWithAnimatedGIFData(Class, SEL, id data) {
    return animatedImageWithAnimatedGIFReleasingImageSource(
        CGImageSourceCreateWithData(static_cast<CFDataRef>(data), nullptr));
}

id animatedImageWithAnimatedGIFURL(Class, SEL, id url) {
    return animatedImageWithAnimatedGIFReleasingImageSource(
        CGImageSourceCreateWithURL(static_cast<CFURLRef>(url), nullptr));
}

}  // namespace

std::vector<int64_t> gifEntryCounts(const std::vector<int64_t>& delays) {
    if (delays.empty()) return {};
    int64_t g = vectorGCD(delays);
    if (g <= 0) return {};
    std::vector<int64_t> counts;
    int64_t entries = 0;
    for (int64_t d : delays) {
        counts.push_back(d / g);
        entries += d / g;
    }
    if (entries > kMaxEntries)
        for (int64_t& c : counts) c = c > 0 ? 1 : 0;
    return counts;
}

void registerAnimatedGIF() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::define_method(UIImage::cls()->isa, "animatedImageWithAnimatedGIFData:"_sel,
                            objc::make_imp<animatedImageWithAnimatedGIFData>(), "@@:@");
        objc::define_method(UIImage::cls()->isa, "animatedImageWithAnimatedGIFURL:"_sel,
                            objc::make_imp<animatedImageWithAnimatedGIFURL>(), "@@:@");
    });
}
