// Pictures decoded straight to the size they are shown at: JPEG through
// libjpeg's scaled decoding, PNG a row at a time through libpng, averaged
// down as the rows arrive; the encoded bytes kept within a budget so that a
// picture can be decoded again larger; UIImage's _imageWithMaxPixelSide:.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIImage.h>

#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <vector>

using namespace platform::support;

namespace {

constexpr uint64_t kMaxDecodedPixels = 40'000'000;  // as decodeImage

std::atomic<size_t> keptSourceBytes{0};

bool hasPrefix(const uint8_t* bytes, size_t length, const char* magic, size_t magicLength) {
    return length >= magicLength && std::memcmp(bytes, magic, magicLength) == 0;
}

// --- PNG, a row at a time ---------------------------------------------------

struct PngInput {
    const uint8_t* bytes;
    size_t length;
    size_t offset = 0;
};

void pngRead(png_structp png, png_bytep out, png_size_t length) {
    auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
    if (in->length - in->offset < length) png_error(png, "truncated");
    std::memcpy(out, in->bytes + in->offset, length);
    in->offset += length;
}

[[noreturn]] void pngFailed(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

// The state of one PNG decode, on the heap so that nothing that changes
// after setjmp lives in the frame that longjmp returns to.
struct PngDecode {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> rows;      // one row, or the whole picture when interlaced
    std::vector<uint32_t> sums;     // per output column: premultiplied B, G, R, A
    cairo_surface_t* out = nullptr;
    ~PngDecode() {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (out != nullptr) cairo_surface_destroy(out);
    }
};

// Adds one RGBA row (premultiplied on the way) into the column sums of a
// k-fold reduction.
void addRow(const uint8_t* row, unsigned width, unsigned k, std::vector<uint32_t>& sums) {
    for (unsigned x = 0; x < width; ++x) {
        const uint8_t* p = row + 4 * static_cast<size_t>(x);
        uint32_t a = p[3];
        uint32_t* s = &sums[4 * static_cast<size_t>(x / k)];
        s[0] += (p[2] * a + 127) / 255;
        s[1] += (p[1] * a + 127) / 255;
        s[2] += (p[0] * a + 127) / 255;
        s[3] += a;
    }
}

// Writes the averaged sums as output row `y` (rowsIn source rows deep) and
// clears them.
void emitRow(PngDecode& d, unsigned width, unsigned k, unsigned y, unsigned rowsIn) {
    unsigned outWidth = static_cast<unsigned>(cairo_image_surface_get_width(d.out));
    auto* line = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(d.out) +
                                             static_cast<size_t>(y) * cairo_image_surface_get_stride(d.out));
    for (unsigned x = 0; x < outWidth; ++x) {
        unsigned columns = std::min(k, width - x * k);
        uint32_t n = columns * rowsIn;
        uint32_t* s = &d.sums[4 * static_cast<size_t>(x)];
        uint32_t b = (s[0] + n / 2) / n, g = (s[1] + n / 2) / n, r = (s[2] + n / 2) / n, a = (s[3] + n / 2) / n;
        line[x] = a << 24 | r << 16 | g << 8 | b;
        s[0] = s[1] = s[2] = s[3] = 0;
    }
}

// The PNG reduced k-fold in each direction (a box average), read a row at a
// time; an interlaced one is read whole first. nullptr on any failure.
cairo_surface_t* decodePNGReduced(const uint8_t* bytes, size_t length, unsigned k) {
    auto d = std::make_unique<PngDecode>();
    PngInput input{bytes, length};
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarning);
    if (d->png == nullptr) return nullptr;
    d->info = png_create_info_struct(d->png);
    if (d->info == nullptr) return nullptr;
    if (setjmp(png_jmpbuf(d->png)) != 0) return nullptr;
    png_set_read_fn(d->png, &input, pngRead);
    png_set_user_limits(d->png, 0x7fffffff, 0x7fffffff);
    png_read_info(d->png, d->info);
    png_uint_32 width = png_get_image_width(d->png, d->info), height = png_get_image_height(d->png, d->info);
    if (width == 0 || height == 0 || uint64_t{width} * height > kMaxDecodedPixels) return nullptr;
    bool interlaced = png_get_interlace_type(d->png, d->info) != PNG_INTERLACE_NONE;
    if (interlaced && uint64_t{width} * height > platform::kWholeDecodePixels) return nullptr;
    // Every kind of PNG as 8-bit RGBA.
    png_set_expand(d->png);
    png_set_strip_16(d->png);
    png_set_gray_to_rgb(d->png);
    png_set_add_alpha(d->png, 0xff, PNG_FILLER_AFTER);
    int passes = png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
    if (png_get_rowbytes(d->png, d->info) != 4 * static_cast<size_t>(width)) return nullptr;

    k = std::max(1u, k);
    unsigned outWidth = (width + k - 1) / k, outHeight = (height + k - 1) / k;
    d->out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(outWidth), static_cast<int>(outHeight));
    if (cairo_surface_status(d->out) != CAIRO_STATUS_SUCCESS) return nullptr;
    cairo_surface_flush(d->out);
    d->sums.assign(4 * static_cast<size_t>(outWidth), 0);
    size_t rowBytes = 4 * static_cast<size_t>(width);
    if (interlaced) {
        d->rows.assign(rowBytes * height, 0);
        for (int pass = 0; pass < passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) png_read_row(d->png, &d->rows[rowBytes * y], nullptr);
    } else {
        d->rows.assign(rowBytes, 0);
    }
    unsigned gathered = 0, outY = 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        const uint8_t* row = interlaced ? &d->rows[rowBytes * y] : d->rows.data();
        if (!interlaced) png_read_row(d->png, d->rows.data(), nullptr);
        addRow(row, width, k, d->sums);
        if (++gathered == k || y + 1 == height) {
            emitRow(*d, width, k, outY++, gathered);
            gathered = 0;
        }
    }
    png_read_end(d->png, nullptr);
    cairo_surface_mark_dirty(d->out);
    return std::exchange(d->out, nullptr);
}

// `surface` at exactly width x height (taken over).
cairo_surface_t* toSize(cairo_surface_t* surface, unsigned width, unsigned height) {
    if (surface == nullptr) return nullptr;
    if (cairo_image_surface_get_width(surface) == static_cast<int>(width) &&
        cairo_image_surface_get_height(surface) == static_cast<int>(height))
        return surface;
    cairo_surface_t* out = platform::scaledSurface(surface, width, height);
    cairo_surface_destroy(surface);
    return out;
}

// --- UIImage ----------------------------------------------------------------

id imageWithMaxPixelSide(UIImage* self, SEL, NSUInteger side) {
    if (side == 0) return nil;
    unsigned maxSide = static_cast<unsigned>(std::min<NSUInteger>(side, 1u << 20));
    if (self->_source != nullptr) {
        const std::string& bytes = self->_source->bytes();
        uint64_t width = 0, height = 0;
        if (platform::imagePixelSize(bytes.data(), bytes.size(), width, height) && width > 0 && height > 0) {
            unsigned w, h;
            platform::ImageFit fit;
            fit.maxSide = maxSide;
            platform::fittedPixelSize(width, height, fit, w, h);
            if (w == static_cast<unsigned>(self->pixelWidth()) && h == static_cast<unsigned>(self->pixelHeight()))
                return self;
            if (UIImage* made = UIImage::withSurface(platform::decodeImageFitting(bytes.data(), bytes.size(), fit),
                                                     self->_scale)) {
                made->_source = self->_source;
                return made;
            }
        }
    }
    int width = self->pixelWidth(), height = self->pixelHeight();
    if (self->_surface == nullptr || (static_cast<unsigned>(std::max(width, height)) <= maxSide)) return self;
    unsigned w, h;
    platform::ImageFit fit;
    fit.maxSide = maxSide;
    platform::fittedPixelSize(static_cast<uint64_t>(width), static_cast<uint64_t>(height), fit, w, h);
    UIImage* made = UIImage::withSurface(platform::scaledSurface(self->_surface, w, h), self->_scale);
    return made != nullptr ? made : self;
}

}  // namespace

namespace platform {

std::shared_ptr<const ImageSource> ImageSource::keep(std::string bytes) {
    size_t n = bytes.size();
    size_t kept = keptSourceBytes.load();
    do {
        if (n > kImageSourceBudget - kept) return nullptr;
    } while (!keptSourceBytes.compare_exchange_weak(kept, kept + n));
    bytes.shrink_to_fit();
    return std::shared_ptr<const ImageSource>(new ImageSource(std::move(bytes)));
}

ImageSource::~ImageSource() { keptSourceBytes -= bytes_.size(); }

size_t ImageSource::keptBytes() { return keptSourceBytes.load(); }

void fittedPixelSize(uint64_t width, uint64_t height, const ImageFit& fit, unsigned& outWidth, unsigned& outHeight) {
    double w = static_cast<double>(width), h = static_cast<double>(height);
    double scale = 1;
    if (fit.coverWidth > 0 && fit.coverHeight > 0) {
        double box = static_cast<double>(fit.coverWidth) * fit.coverHeight;
        scale = std::min({scale, std::max(fit.coverWidth / w, fit.coverHeight / h),
                          std::sqrt(kCoverPixelFactor * box / (w * h))});
    }
    if (fit.maxSide > 0) scale = std::min(scale, fit.maxSide / std::max(w, h));
    auto side = [&](double v) {
        return static_cast<unsigned>(std::clamp(std::floor(v * scale + 0.5), 1.0, v));
    };
    outWidth = side(w);
    outHeight = side(h);
    if (fit.maxSide > 0) {
        outWidth = std::min(outWidth, fit.maxSide);
        outHeight = std::min(outHeight, fit.maxSide);
    }
}

_cairo_surface* decodeImageFitting(const void* data, size_t length, const ImageFit& fit) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint64_t width = 0, height = 0;
    if (bytes == nullptr || !imagePixelSize(bytes, length, width, height)) return nullptr;
    if (width == 0 || height == 0 || width > kMaxDecodedPixels / height) return nullptr;
    unsigned w, h;
    fittedPixelSize(width, height, fit, w, h);
    if (hasPrefix(bytes, length, "\xff\xd8\xff", 3)) {
        // The smallest eighth that still gives at least the size wanted.
        auto eighths = [w, h](unsigned iw, unsigned ih) {
            for (unsigned m = 1; m < 8; ++m)
                if ((iw * m + 7) / 8 >= w && (ih * m + 7) / 8 >= h) return m;
            return 8u;
        };
        return toSize(uikit::decodeJPEGScaled(bytes, length, eighths), w, h);
    }
    if (hasPrefix(bytes, length, "\x89PNG\r\n\x1a\n", 8)) {
        unsigned k = static_cast<unsigned>(std::max<uint64_t>(1, std::min(width / w, height / h)));
        return toSize(decodePNGReduced(bytes, length, k), w, h);
    }
    return nullptr;
}

_cairo_surface* scaledSurface(_cairo_surface* surface, unsigned width, unsigned height) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || width == 0 || height == 0)
        return nullptr;
    int sw = cairo_image_surface_get_width(surface), sh = cairo_image_surface_get_height(surface);
    if (sw <= 0 || sh <= 0) return nullptr;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(out) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(out);
        return nullptr;
    }
    cairo_t* cr = cairo_create(out);
    cairo_scale(cr, static_cast<double>(width) / sw, static_cast<double>(height) / sh);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    return out;
}

}  // namespace platform

void platform::uikit::registerScaledImages() {
    objc::define_method(UIImage::cls(), "_imageWithMaxPixelSide:"_sel, objc::make_imp<imageWithMaxPixelSide>(), "@@:Q");
}
