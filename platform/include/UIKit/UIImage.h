// UIImage: a decoded picture. PNG and JPEG files are decoded for real; the
// pixels live in a cairo image surface (ARGB32, premultiplied) that the
// image keeps.
//
//   +imageWithContentsOfFile:   id(id)   a device path (resolved under the device root);
//                                        nil for a missing, unreadable or undecodable file.
//                                        A name ending in "@2x" or "@3x" (before the
//                                        extension) gives that scale
//   +imageWithData:             id(id)   NSData holding PNG or JPEG bytes; nil otherwise
//   initWithContentsOfFile: / initWithData:   id(id)   the same, owned by the caller
//   size                        CGSize()   in points: pixels divided by the scale
//   scale                       double()
//
// An image read from a file remembers the path it was given (_fileName), for
// the hosts' listings.
//   +imageNamed:                id(id)   a file of the app's bundle folder, the device
//                                        path /Applications/Music.app/NAME: the name as
//                                        given, then with "@2x.png", ".png", "@3x.png",
//                                        ".jpg" added; a name starting with "/" is a full
//                                        device path. nil when none is there
//   CGImage                     CGImage*()   the pixels (CoreGraphics/CGContext.h); they
//                                        belong to the image
//   drawInRect:                 void(CGRect)   the picture upright, scaled to the rect, into
//                                        the current context (UIGraphics.h); nothing without one
#pragma once

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObject.h>

#include <cstdint>
#include <string>
#include <vector>

struct _cairo_surface;

struct UIImage : NSObject {
    OBJC_CLASS(UIImage)

    _cairo_surface* _surface = nullptr;  // owned reference
    double _scale = 1;
    // The device path it was read from; empty for an image made otherwise.
    std::string _fileName;
    CGImage _cgImage;  // a view of _surface

    ~UIImage() override;

    // C++ API ---------------------------------------------------------------
    // An autoreleased image taking over one reference to an ARGB32 image
    // surface; nil (and the surface released) for a surface in error.
    static UIImage* withSurface(_cairo_surface* surface, double scale = 1);

    _cairo_surface* surface() const { return _surface; }
    // The image's pixels as a CGImageRef (NULL without any), valid while the
    // image lives.
    CGImageRef cgImage();
    int pixelWidth() const;
    int pixelHeight() const;
    // The pixel at (x, y) as 0xAARRGGBB (premultiplied); 0 outside.
    uint32_t pixel(int x, int y) const;
};

namespace platform {
// Decodes PNG or JPEG bytes into a new ARGB32 surface (owned by the caller),
// or nullptr when they are neither or cannot be decoded.
_cairo_surface* decodeImage(const void* bytes, size_t length);
// A baseline JPEG of an ARGB32 surface at a quality of 0..1 (transparent
// parts over white); empty on failure.
std::vector<uint8_t> encodeJPEG(_cairo_surface* surface, double quality);
// A baseline JPEG of packed RGB rows at a quality of 0..100; empty for a
// buffer too small or on failure.
std::vector<uint8_t> encodeRGBJPEG(const std::vector<uint8_t>& rgb, int width, int height, int quality);
}  // namespace platform

struct NSData;
// The image as JPEG data at a quality of 0..1 (autoreleased), nil for an
// image without pixels.
NSData* UIImageJPEGRepresentation(UIImage* image, double quality);
