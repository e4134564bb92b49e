// UIImage: a decoded picture. PNG and JPEG files are decoded for real; the
// pixels live in a cairo image surface (ARGB32, premultiplied) that the
// image keeps.
//
//   +imageWithContentsOfFile:   id(id)   a device path (resolved under the device root);
//                                        nil for a missing, unreadable or undecodable file.
//                                        A name ending in "@2x" or "@3x" (before the
//                                        extension) gives that scale. On a main screen of
//                                        scale 2 (or 3) a name without that ending is read
//                                        from its "@2x" ("@3x") variant when there is one,
//                                        as the platform does
//   +imageWithData:             id(id)   NSData holding PNG or JPEG bytes (or GIF: its
//                                        first frame); nil otherwise
//   +_imageWithContentsOfFile:fittingSize:   id(id, CGSize)   the same as
//                                        +imageWithContentsOfFile: for a picture shown
//                                        at that size in points: decoded only as large as
//                                        it takes to cover the size on the main screen
//                                        (platform::decodeImage, ImageIO/ImageDecoder.h)
//   initWithContentsOfFile: / initWithData:   id(id)   the same, owned by the caller
//   size                        CGSize()   in points: pixels divided by the scale
//   scale                       double()
//
// An image read from a file remembers the path it was read from (_fileName,
// the "@2x" variant when that was read), for the hosts' listings.
//   +imageNamed:                id(id)   a file of the app's bundle folder, the device
//                                        path /Applications/Music.app/NAME: the name as
//                                        given, then with "@2x.png", ".png", "@3x.png",
//                                        ".jpg" added; a name starting with "/" is a full
//                                        device path. nil when none is there, and for a
//                                        name holding ".." or "\", or a "/" other than
//                                        as its first character
//   CGImage                     CGImage*()   the pixels (CoreGraphics/CGContext.h); they
//                                        belong to the image
//   drawInRect:                 void(CGRect)   the picture upright, scaled to the rect, into
//                                        the current context (UIGraphics.h); nothing without one
//
// Made from pixels and animated (UIImageAnimation.cpp):
//   +imageWithCGImage:          id(CGImage*)   an image sharing the pixels (scale 1); nil
//                                        for NULL
//   +animatedImageWithImages:duration:   id(id, double)   an image showing the entries of
//                                        the NSArray one after another, each for an equal
//                                        share of the duration; it draws as its first
//                                        entry. nil for an empty or missing list
//   images                      id()     the animated image's list (nil for a still one)
//   duration                    double() its duration (0 for a still one)
//
// Decoded to a size (UIImageScaled.cpp):
//   _imageWithMaxPixelSide:     id(NSUInteger)   the picture with neither side above that
//                                        many pixels: decoded anew from the bytes it was
//                                        decoded from when it keeps them (see ImageSource;
//                                        never larger than the original), else this
//                                        picture scaled down when it is larger; self when it
//                                        already fits or cannot be made; nil for 0
#pragma once

#include <CoreGraphics/CGContext.h>
#include <ImageIO/ImageDecoder.h>
#include <platform/MemoryBudget.h>
#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObject.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _cairo_surface;

namespace platform {
// The encoded bytes a picture was decoded from, kept so that it can be
// decoded again at another size. They are kept bytes of the process's
// picture memory (platform/MemoryBudget.h); `keep` answers nullptr when
// there is no room for them there.
class ImageSource {
public:
    static std::shared_ptr<const ImageSource> keep(std::string bytes);
    const std::string& bytes() const { return bytes_; }

private:
    ImageSource(std::string bytes, MemoryBudget::Hold share) : share_(std::move(share)), bytes_(std::move(bytes)) {}
    MemoryBudget::Hold share_;  // goes after the bytes
    std::string bytes_;
};
}  // namespace platform

struct UIImage : NSObject {
    OBJC_CLASS(UIImage)

    _cairo_surface* _surface = nullptr;  // owned reference
    double _scale = 1;
    // The device path it was read from; empty for an image made otherwise.
    std::string _fileName;
    CGImage _cgImage;  // a view of _surface
    // An animated image's entries (an NSArray) and duration.
    Strong<NSObject> _images;
    double _duration = 0;
    // The bytes it was decoded from, when kept (see ImageSource).
    std::shared_ptr<const platform::ImageSource> _source;

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
// A baseline JPEG of an ARGB32 surface at a quality of 0..1 (transparent
// parts over white); empty on failure.
std::vector<uint8_t> encodeJPEG(_cairo_surface* surface, double quality);
// A JPEG of packed RGB rows at a quality of 0..100, baseline or progressive
// (libjpeg's usual scans); empty for a buffer too small or on failure.
std::vector<uint8_t> encodeRGBJPEG(const std::vector<uint8_t>& rgb, int width, int height, int quality,
                                   bool progressive = false);
}  // namespace platform

struct NSData;
// The image as JPEG data at a quality of 0..1 (autoreleased), nil for an
// image without pixels.
NSData* UIImageJPEGRepresentation(UIImage* image, double quality);
