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
//   +imageWithData:             id(id)   NSData holding PNG or JPEG bytes; nil otherwise
//   +_imageWithContentsOfFile:fittingSize:   id(id, CGSize)   the same as
//                                        +imageWithContentsOfFile: for a picture shown
//                                        at that size in points: a JPEG is decoded only
//                                        as large as it takes to cover the size on the
//                                        main screen (see decodeImage below)
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
#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObject.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _cairo_surface;

namespace platform {
// The encoded bytes a picture was decoded from, kept so that it can be
// decoded again at another size. All kept bytes together stay within a
// budget (kImageSourceBudget); `keep` answers nullptr past it.
class ImageSource {
public:
    static std::shared_ptr<const ImageSource> keep(std::string bytes);
    ~ImageSource();
    const std::string& bytes() const { return bytes_; }
    // The bytes kept by all sources alive.
    static size_t keptBytes();

private:
    explicit ImageSource(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string bytes_;
};
inline constexpr size_t kImageSourceBudget = 48 * 1024 * 1024;
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
// Decodes PNG or JPEG bytes into a new ARGB32 surface (owned by the caller),
// or nullptr when they are neither, cannot be decoded, or claim more than
// 40 megapixels (refused from the header, before any pixel is decoded). With
// fitPixels, a JPEG is decoded at the smallest of libjpeg's scales (1/8 to
// 8/8) whose picture is still at least that many pixels a side.
_cairo_surface* decodeImage(const void* bytes, size_t length, unsigned fitPixels = 0);
// How large a picture is decoded: it covers a box of coverWidth x
// coverHeight pixels (as aspect fill shows it), with at most
// kCoverPixelFactor times the box's pixels (a panorama loses detail that
// the box crops anyway), and neither side above maxSide; 0 leaves a bound
// out. Never larger than the picture itself.
struct ImageFit {
    unsigned coverWidth = 0, coverHeight = 0;
    unsigned maxSide = 0;
};
inline constexpr double kCoverPixelFactor = 2;
// The pixel size of a picture of width x height decoded for `fit` (each side
// at least 1).
void fittedPixelSize(uint64_t width, uint64_t height, const ImageFit& fit, unsigned& outWidth, unsigned& outHeight);
// Decodes PNG or JPEG bytes straight to the size `fit` asks for, without the
// whole picture in memory: a JPEG through libjpeg's scaled decoding, a PNG a
// row at a time, averaged down as it is read. An interlaced PNG is decoded
// whole and is refused past kWholeDecodePixels. nullptr for other bytes,
// broken or truncated ones, or more than 40 megapixels.
_cairo_surface* decodeImageFitting(const void* bytes, size_t length, const ImageFit& fit);
inline constexpr uint64_t kWholeDecodePixels = 16'000'000;
// A new ARGB32 surface of width x height holding `surface` scaled (owned by
// the caller); nullptr for a surface in error or a size of 0.
_cairo_surface* scaledSurface(_cairo_surface* surface, unsigned width, unsigned height);
// The pixel size that PNG, JPEG or GIF bytes claim in their header, read
// without decoding any pixel; false for other bytes or a broken header.
bool imagePixelSize(const void* bytes, size_t length, uint64_t& width, uint64_t& height);
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
