// Decoding of PNG, JPEG and GIF pictures, all through one entry point that
// takes the size the picture is shown at and one set of limits, and all
// within the process's picture memory (platform/MemoryBudget.h), which the
// bodies of pictures being fetched and the bytes kept for later share.
//
// A decode's share counts the bytes it holds while it runs (its output,
// libjpeg's whole-picture coefficients for a progressive JPEG, an interlaced
// PNG read whole, a GIF's canvas and its image's decoded lines). A decode
// that would pass the budget waits until others give theirs back (at most
// DecodeLimits::waitSeconds, and while its cancel flag stays false); one
// whose turn cannot come (more than the budget leaves beside what is kept,
// or nothing that holds picture memory is running) is refused before any
// pixel memory is taken. A decode holds its share until all it took is
// freed. Its large buffers (output surfaces, libjpeg's coefficient arrays,
// PNG rows, GIF canvases) are blocks mapped on their own
// (platform/MappedMemory.h): what is freed leaves the process at once, so
// the budget bounds what is resident, not only what is in use, and the
// allocator's settings stay as the rest of the process has them.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include <platform/MemoryBudget.h>

struct _cairo_surface;

namespace platform {

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

// What a decode may take.
struct DecodeLimits {
    // Pictures whose header claims more pixels are refused from it.
    uint64_t maxPixels = 40'000'000;
    // An interlaced PNG is read whole before it is reduced: refused above this.
    uint64_t maxWholePixels = 16'000'000;
    // The longest wait for a turn within the picture memory (infinity: as
    // long as the turn can come).
    double waitSeconds = 20;
    // When given, a wait for a turn ends as soon as it is true.
    const std::atomic<bool>* cancel = nullptr;
    // Picture memory the caller holds while the decode runs (the encoded
    // bytes it fetched): while it waits, that waits too.
    size_t heldBytes = 0;
};

// Decodes PNG, JPEG or GIF bytes (a GIF's first frame) straight to the size
// `fit` asks for into a new ARGB32 surface owned by the caller: a JPEG
// through libjpeg's scaled decoding, a PNG a row at a time averaged down as
// it is read, a GIF composed on a canvas of that size. nullptr for other
// bytes, broken or truncated ones, pictures past the limits, or no turn
// within the budget.
_cairo_surface* decodeImage(const void* bytes, size_t length, const ImageFit& fit = {},
                            const DecodeLimits& limits = {});

// The pixel size that PNG, JPEG or GIF bytes claim in their header, read
// without decoding any pixel; false for other bytes or a broken header.
bool imagePixelSize(const void* bytes, size_t length, uint64_t& width, uint64_t& height);

// A new, cleared ARGB32 surface of width x height whose pixels are a block
// mapped on its own (platform/MappedMemory.h), given back when the surface
// goes; nullptr when a side is 0 or too large, or the memory is refused.
_cairo_surface* newPictureSurface(unsigned width, unsigned height);

// A new ARGB32 surface of width x height holding `surface` scaled (owned by
// the caller); nullptr for a surface in error or a size of 0.
_cairo_surface* scaledSurface(_cairo_surface* surface, unsigned width, unsigned height);

// A decode's share of the process's picture memory, held while it lives.
class DecodeTicket {
public:
    // Waits for `bytes` as `limits` allow; empty (false) when no turn came.
    DecodeTicket(size_t bytes, const DecodeLimits& limits);
    explicit operator bool() const { return held_; }

private:
    MemoryBudget::Hold hold_;
    bool held_ = false;
};

// The first frame of GIF bytes on a canvas fitted to `fit` (ImageIO).
_cairo_surface* decodeGIFFrame(const void* bytes, size_t length, const ImageFit& fit, const DecodeLimits& limits);

}  // namespace platform
