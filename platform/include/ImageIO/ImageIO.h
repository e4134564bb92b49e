// ImageIO's image sources: the frames of GIF data (its records read by
// giflib, its pixels decoded by the platform's own LZW decoder) and of PNG
// and JPEG stills, with their properties.
//
// A source, a properties dictionary and a created image are owned by the
// caller: sources and dictionaries go with CFRelease, images made by
// CGImageSourceCreateImageAtIndex with CGImageRelease (which must not be
// given the CGImage of a UIImage: that one belongs to its image).
//
// A GIF source counts every image of the data, up to where the data ends or
// stops being a GIF; an image whose data is cut short counts, but
// CGImageSourceCreateImageAtIndex gives NULL for it (and for every image
// after a broken one). Each frame is the whole canvas with the frames
// before it composed as their disposal modes say, transparent where
// nothing is drawn. A frame's properties hold kCGImagePropertyPixelWidth
// and kCGImagePropertyPixelHeight (the canvas) and, for GIF data with a
// graphic control block, kCGImagePropertyGIFDictionary holding
// kCGImagePropertyGIFDelayTime and kCGImagePropertyGIFUnclampedDelayTime
// (seconds: the block's delay over 100; the clamped one is 0.1 for delays
// of 0.01 s or less, as the platform clamps). Frames are decoded on demand,
// in order, one canvas at a time. Only the part of an image that lies on the
// canvas is kept, and its lines past the canvas are not decoded; a canvas
// above 64 megapixels, frames whose decoding would come to more than 64
// megapixels together, or one image whose lines down to the canvas's last
// come to more than 16 MiB of pixels, give NULL for every frame.
//
// No picture is shown larger than the main screen: the canvas, and so every
// frame, is kept at most as large as the screen's longer side in pixels
// (each pixel the nearest one of the GIF's screen), and the properties give
// that size. A still is decoded to the same bound. Each frame is decoded
// within the process's decode budget (ImageDecoder.h): NULL when it gets no
// turn.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreGraphics/CGContext.h>

#include <cstddef>

struct NSData;
struct NSURL;
struct CGImageSource;
using CGImageSourceRef = CGImageSource*;
using CFDataRef = NSData*;
using CFURLRef = NSURL*;

// Releases a CoreFoundation object (a source, a dictionary); nothing for NULL.
void CFRelease(CFTypeRef object);
// The dictionary's value for the key, or NULL.
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);

// NULL for nil data, or data that is neither GIF, PNG nor JPEG.
CGImageSourceRef CGImageSourceCreateWithData(CFDataRef data, CFDictionaryRef options);
// The file of a file URL; NULL when it cannot be read or is no image.
CGImageSourceRef CGImageSourceCreateWithURL(CFURLRef url, CFDictionaryRef options);
size_t CGImageSourceGetCount(CGImageSourceRef source);
CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef source, size_t index, CFDictionaryRef options);
CFDictionaryRef CGImageSourceCopyPropertiesAtIndex(CGImageSourceRef source, size_t index, CFDictionaryRef options);
// Releases an image made by CGImageSourceCreateImageAtIndex; nothing for NULL.
void CGImageRelease(CGImageRef image);

extern CFStringRef kCGImagePropertyGIFDictionary;
extern CFStringRef kCGImagePropertyGIFDelayTime;
extern CFStringRef kCGImagePropertyGIFUnclampedDelayTime;
extern CFStringRef kCGImagePropertyPixelWidth;
extern CFStringRef kCGImagePropertyPixelHeight;
