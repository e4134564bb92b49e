// Pictures decoded straight to the size they are shown at, within the
// process's decode budget: JPEG through libjpeg's scaled decoding, PNG a row
// at a time through libpng, averaged down as the rows arrive, GIF composed
// by the image source on a canvas of that size (CGImageSource.cpp).
#include <ImageIO/ImageDecoder.h>
#include <platform/MappedMemory.h>

#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

// A whole-picture coefficient array of a multi-scan JPEG, kept in a mapped
// block rather than in libjpeg's pools (see JpegDecode below).
struct jvirt_barray_control {
    size_t blocksPerRow = 0, rowCount = 0;
    platform::MappedBlock block;
    std::vector<JBLOCKROW> rows;  // once realized
};

namespace platform {

namespace {

bool hasPrefix(const uint8_t* bytes, size_t length, const char* magic, size_t magicLength) {
    return length >= magicLength && std::memcmp(bytes, magic, magicLength) == 0;
}

bool isPNG(const uint8_t* bytes, size_t length) { return hasPrefix(bytes, length, "\x89PNG\r\n\x1a\n", 8); }
bool isJPEG(const uint8_t* bytes, size_t length) { return hasPrefix(bytes, length, "\xff\xd8\xff", 3); }
bool isGIF(const uint8_t* bytes, size_t length) {
    return length >= 10 && (hasPrefix(bytes, length, "GIF87a", 6) || hasPrefix(bytes, length, "GIF89a", 6));
}

size_t surfaceBytes(uint64_t width, uint64_t height) { return static_cast<size_t>(width * height * 4); }

// `surface` at exactly width x height (taken over).
cairo_surface_t* toSize(cairo_surface_t* surface, unsigned width, unsigned height) {
    if (surface == nullptr) return nullptr;
    if (cairo_image_surface_get_width(surface) == static_cast<int>(width) &&
        cairo_image_surface_get_height(surface) == static_cast<int>(height))
        return surface;
    cairo_surface_t* out = scaledSurface(surface, width, height);
    cairo_surface_destroy(surface);
    return out;
}

// --- JPEG -------------------------------------------------------------------

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool truncated = false;
};

[[noreturn]] void jpegFailed(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

// Warnings are not printed; a file that ends early counts as corrupt.
void jpegMessage(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) errors->truncated = true;
}

// One JPEG decode, on the heap: each step below sets its own jump point
// before it calls libjpeg, so nothing that changes after setjmp lives in the
// frame longjmp returns to.
//
// libjpeg asks its memory manager for a multi-scan picture's whole-picture
// coefficient arrays (tens of megabytes for a large progressive JPEG), and
// its own manager takes them from malloc. This decode serves those arrays
// itself from mapped blocks, which go back to the system when libjpeg frees
// the picture's pool; everything else stays with libjpeg's manager.
struct JpegDecode {
    jpeg_decompress_struct info;
    JpegErrors errors;
    bool created = false;
    cairo_surface_t* out = nullptr;
    std::vector<std::unique_ptr<jvirt_barray_control>> arrays;
    void (*realizeInLibjpeg)(j_common_ptr) = nullptr;
    void (*freeInLibjpeg)(j_common_ptr, int) = nullptr;
    JpegDecode() {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = jpegFailed;
        errors.manager.emit_message = jpegMessage;
    }
    ~JpegDecode() {
        if (created) jpeg_destroy_decompress(&info);
        if (out != nullptr) cairo_surface_destroy(out);
    }
};

JpegDecode& decodeOf(j_common_ptr info) { return *static_cast<JpegDecode*>(info->client_data); }

// Only noted here; every array is mapped when libjpeg realizes them.
jvirt_barray_ptr requestCoefficients(j_common_ptr info, int, boolean, JDIMENSION blocksPerRow, JDIMENSION rows,
                                     JDIMENSION) {
    jvirt_barray_control* array = nullptr;
    try {
        auto made = std::make_unique<jvirt_barray_control>();
        made->blocksPerRow = blocksPerRow;
        made->rowCount = rows;
        array = made.get();
        decodeOf(info).arrays.push_back(std::move(made));
    } catch (const std::bad_alloc&) {
        array = nullptr;
    }
    if (array == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
    return array;
}

void realizeArrays(j_common_ptr info) {
    JpegDecode& d = decodeOf(info);
    for (auto& array : d.arrays) {
        if (array->block || array->rowCount == 0 || array->blocksPerRow == 0) continue;
        bool fits = array->blocksPerRow <= SIZE_MAX / sizeof(JBLOCK) / array->rowCount;
        if (fits) array->block = MappedBlock(array->blocksPerRow * array->rowCount * sizeof(JBLOCK));  // zeroed
        if (!array->block) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
        auto* first = static_cast<JBLOCKROW>(array->block.data());
        try {
            array->rows.resize(array->rowCount);
        } catch (const std::bad_alloc&) {
            array->block = MappedBlock();
        }
        if (!array->block) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
        for (size_t r = 0; r < array->rowCount; ++r) array->rows[r] = first + r * array->blocksPerRow;
    }
    d.realizeInLibjpeg(info);
}

// The arrays go with the picture's pool, as soon as the decode finishes.
void freePool(j_common_ptr info, int pool) {
    JpegDecode& d = decodeOf(info);
    if (pool == JPOOL_IMAGE) d.arrays.clear();
    d.freeInLibjpeg(info, pool);
}

JBLOCKARRAY accessCoefficients(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count,
                               boolean) {
    if (!array->block || first > array->rows.size() || count > array->rows.size() - first)
        ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    return array->rows.data() + first;
}

bool jpegHeader(JpegDecode& d, const uint8_t* bytes, size_t length) {
    if (setjmp(d.errors.jump) != 0) return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    d.info.client_data = &d;
    d.realizeInLibjpeg = d.info.mem->realize_virt_arrays;
    d.info.mem->request_virt_barray = requestCoefficients;
    d.info.mem->realize_virt_arrays = realizeArrays;
    d.info.mem->access_virt_barray = accessCoefficients;
    d.freeInLibjpeg = d.info.mem->free_pool;
    d.info.mem->free_pool = freePool;
    jpeg_mem_src(&d.info, bytes, static_cast<unsigned long>(length));
    jpeg_read_header(&d.info, TRUE);
    return true;
}

// What libjpeg itself takes for the picture: for a progressive (or any
// multi-scan) picture every component's coefficients at full size, however
// small the output, and its row buffers.
size_t jpegWorkingBytes(const jpeg_decompress_struct& info) {
    size_t bytes = (1u << 20) + 64 * static_cast<size_t>(info.image_width) * std::max(1, info.num_components);
    if (!jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info))) return bytes;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        auto roundUp = [](size_t n, int by) { return by > 0 ? (n + by - 1) / by * by : n; };
        bytes += roundUp(comp.width_in_blocks, comp.h_samp_factor) * roundUp(comp.height_in_blocks, comp.v_samp_factor) *
                 DCTSIZE2 * sizeof(JCOEF);
    }
    return bytes;
}

// Sets the scale (m/8) and the output; libjpeg may take no more than
// `working` bytes (past them it stops with an error rather than grow).
bool jpegScale(JpegDecode& d, unsigned m, size_t working) {
    if (setjmp(d.errors.jump) != 0) return false;
    d.info.scale_num = std::clamp(m, 1u, 8u);
    d.info.scale_denom = 8;
    // Cairo's ARGB32 is a native-endian 32-bit word: B, G, R, A in memory on
    // a little-endian machine. Opaque pixels need no premultiplying.
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    d.info.out_color_space = JCS_EXT_BGRA;
#else
    d.info.out_color_space = JCS_EXT_ARGB;
#endif
    // The integer transform is several times faster and indistinguishable
    // at the sizes pictures are shown.
    d.info.dct_method = JDCT_IFAST;
    d.info.mem->max_memory_to_use = static_cast<long>(std::min<size_t>(working, 0x7fffffff));
    jpeg_calc_output_dimensions(&d.info);
    return true;
}

bool jpegPixels(JpegDecode& d) {
    if (setjmp(d.errors.jump) != 0) return false;
    jpeg_start_decompress(&d.info);
    d.out = newPictureSurface(d.info.output_width, d.info.output_height);
    if (d.out == nullptr) return false;
    cairo_surface_flush(d.out);
    unsigned char* data = cairo_image_surface_get_data(d.out);
    size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(d.out));
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = data + static_cast<size_t>(d.info.output_scanline) * stride;
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    cairo_surface_mark_dirty(d.out);
    return !d.errors.truncated;
}

bool jpegSize(const uint8_t* bytes, size_t length, uint64_t& width, uint64_t& height) {
    auto d = std::make_unique<JpegDecode>();
    if (!jpegHeader(*d, bytes, length)) return false;
    width = d->info.image_width;
    height = d->info.image_height;
    return true;
}

// Decoded at the smallest eighth that still gives at least w x h, then
// brought to exactly that.
cairo_surface_t* decodeJPEG(const uint8_t* bytes, size_t length, unsigned w, unsigned h, const DecodeLimits& limits) {
    std::optional<DecodeTicket> ticket;  // outlives the decoder's memory
    auto d = std::make_unique<JpegDecode>();
    if (!jpegHeader(*d, bytes, length)) return nullptr;
    unsigned iw = d->info.image_width, ih = d->info.image_height;
    unsigned m = 8;
    for (unsigned k = 1; k < 8; ++k)
        if ((uint64_t{iw} * k + 7) / 8 >= w && (uint64_t{ih} * k + 7) / 8 >= h) {
            m = k;
            break;
        }
    size_t working = jpegWorkingBytes(d->info);
    if (!jpegScale(*d, m, working)) return nullptr;
    size_t scaled = surfaceBytes(d->info.output_width, d->info.output_height);
    size_t exact = d->info.output_width == w && d->info.output_height == h ? 0 : surfaceBytes(w, h);
    ticket.emplace(working + scaled + exact, limits);
    if (!*ticket || !jpegPixels(*d)) return nullptr;
    return toSize(std::exchange(d->out, nullptr), w, h);
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
    PngInput input;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_uint_32 width = 0, height = 0;
    bool interlaced = false;
    int passes = 1;
    MappedBlock rows;            // one row, or the whole picture when interlaced
    std::vector<uint32_t> sums;  // per output column: premultiplied B, G, R, A
    cairo_surface_t* out = nullptr;
    PngDecode(const uint8_t* bytes, size_t length) : input{bytes, length} {}
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

// Reads the header and sets every kind of PNG to come as 8-bit RGBA.
bool pngHeader(PngDecode& d) {
    d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngFailed, pngWarning);
    if (d.png == nullptr) return false;
    d.info = png_create_info_struct(d.png);
    if (d.info == nullptr) return false;
    if (setjmp(png_jmpbuf(d.png)) != 0) return false;
    png_set_read_fn(d.png, &d.input, pngRead);
    png_set_user_limits(d.png, 0x7fffffff, 0x7fffffff);
    png_read_info(d.png, d.info);
    d.width = png_get_image_width(d.png, d.info);
    d.height = png_get_image_height(d.png, d.info);
    d.interlaced = png_get_interlace_type(d.png, d.info) != PNG_INTERLACE_NONE;
    png_set_expand(d.png);
    png_set_strip_16(d.png);
    png_set_gray_to_rgb(d.png);
    png_set_add_alpha(d.png, 0xff, PNG_FILLER_AFTER);
    d.passes = png_set_interlace_handling(d.png);
    png_read_update_info(d.png, d.info);
    return png_get_rowbytes(d.png, d.info) == 4 * static_cast<size_t>(d.width);
}

// The PNG reduced k-fold in each direction (a box average), read a row at a
// time; an interlaced one is read whole first.
bool pngRows(PngDecode& d, unsigned k) {
    if (setjmp(png_jmpbuf(d.png)) != 0) return false;
    unsigned width = d.width, height = d.height;
    unsigned outWidth = (width + k - 1) / k, outHeight = (height + k - 1) / k;
    d.out = newPictureSurface(outWidth, outHeight);
    if (d.out == nullptr) return false;
    cairo_surface_flush(d.out);
    d.sums.assign(4 * static_cast<size_t>(outWidth), 0);
    size_t rowBytes = 4 * static_cast<size_t>(width);
    d.rows = MappedBlock(d.interlaced ? rowBytes * height : rowBytes);
    if (!d.rows) return false;
    auto* rows = static_cast<uint8_t*>(d.rows.data());
    if (d.interlaced)
        for (int pass = 0; pass < d.passes; ++pass)
            for (png_uint_32 y = 0; y < height; ++y) png_read_row(d.png, rows + rowBytes * y, nullptr);
    unsigned gathered = 0, outY = 0;
    for (png_uint_32 y = 0; y < height; ++y) {
        const uint8_t* row = d.interlaced ? rows + rowBytes * y : rows;
        if (!d.interlaced) png_read_row(d.png, rows, nullptr);
        addRow(row, width, k, d.sums);
        if (++gathered == k || y + 1 == height) {
            emitRow(d, width, k, outY++, gathered);
            gathered = 0;
        }
    }
    png_read_end(d.png, nullptr);
    cairo_surface_mark_dirty(d.out);
    return true;
}

cairo_surface_t* decodePNG(const uint8_t* bytes, size_t length, unsigned w, unsigned h, const DecodeLimits& limits) {
    std::optional<DecodeTicket> ticket;  // outlives the decoder's memory
    auto d = std::make_unique<PngDecode>(bytes, length);
    if (!pngHeader(*d)) return nullptr;
    if (d->width == 0 || d->height == 0 || d->width > limits.maxPixels / d->height) return nullptr;
    if (d->interlaced && uint64_t{d->width} * d->height > limits.maxWholePixels) return nullptr;
    unsigned k = static_cast<unsigned>(std::max<uint64_t>(1, std::min(d->width / w, d->height / h)));
    uint64_t outWidth = (d->width + k - 1) / k, outHeight = (d->height + k - 1) / k;
    size_t rowBytes = 4 * static_cast<size_t>(d->width);
    size_t bytesHeld = surfaceBytes(outWidth, outHeight) + 16 * outWidth + 3 * rowBytes + (64u << 10) +
                       (d->interlaced ? rowBytes * d->height : 0) +
                       (outWidth == w && outHeight == h ? 0 : surfaceBytes(w, h));
    ticket.emplace(bytesHeld, limits);
    if (!*ticket || !pngRows(*d, k)) return nullptr;
    return toSize(std::exchange(d->out, nullptr), w, h);
}

// The size stands in the first chunk (IHDR), right after the signature.
bool pngSize(const uint8_t* bytes, size_t length, uint64_t& width, uint64_t& height) {
    if (length < 24 || std::memcmp(bytes + 12, "IHDR", 4) != 0) return false;
    auto be32 = [&](size_t at) {
        return uint64_t{bytes[at]} << 24 | uint64_t{bytes[at + 1]} << 16 | uint64_t{bytes[at + 2]} << 8 | bytes[at + 3];
    };
    width = be32(16);
    height = be32(20);
    return true;
}

}  // namespace

DecodeTicket::DecodeTicket(size_t bytes, const DecodeLimits& limits) : hold_(&pictureMemory()) {
    MemoryBudget::Deadline until;
    if (std::isfinite(limits.waitSeconds))
        until = std::chrono::steady_clock::now() +
                std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(std::clamp(limits.waitSeconds, 0.0, 1e6)));
    held_ = hold_.growWaiting(bytes, until, limits.cancel, limits.heldBytes);
}

void fittedPixelSize(uint64_t width, uint64_t height, const ImageFit& fit, unsigned& outWidth, unsigned& outHeight) {
    double w = static_cast<double>(width), h = static_cast<double>(height);
    double scale = 1;
    if (fit.coverWidth > 0 && fit.coverHeight > 0) {
        double box = static_cast<double>(fit.coverWidth) * fit.coverHeight;
        scale = std::min({scale, std::max(fit.coverWidth / w, fit.coverHeight / h),
                          std::sqrt(kCoverPixelFactor * box / (w * h))});
    }
    if (fit.maxSide > 0) scale = std::min(scale, fit.maxSide / std::max(w, h));
    auto side = [&](double v) { return static_cast<unsigned>(std::clamp(std::floor(v * scale + 0.5), 1.0, v)); };
    outWidth = side(w);
    outHeight = side(h);
    if (fit.maxSide > 0) {
        outWidth = std::min(outWidth, fit.maxSide);
        outHeight = std::min(outHeight, fit.maxSide);
    }
}

bool imagePixelSize(const void* data, size_t length, uint64_t& width, uint64_t& height) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (bytes == nullptr) return false;
    if (isPNG(bytes, length)) return pngSize(bytes, length, width, height);
    if (isJPEG(bytes, length)) return jpegSize(bytes, length, width, height);
    // GIF: the logical screen's size, little-endian, right after the stamp.
    if (isGIF(bytes, length)) {
        width = bytes[6] | bytes[7] << 8;
        height = bytes[8] | bytes[9] << 8;
        return true;
    }
    return false;
}

_cairo_surface* decodeImage(const void* data, size_t length, const ImageFit& fit, const DecodeLimits& limits) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint64_t width = 0, height = 0;
    if (bytes == nullptr || !imagePixelSize(bytes, length, width, height)) return nullptr;
    if (width == 0 || height == 0 || width > limits.maxPixels / height) return nullptr;
    if (isGIF(bytes, length)) return decodeGIFFrame(bytes, length, fit, limits);
    unsigned w, h;
    fittedPixelSize(width, height, fit, w, h);
    if (isJPEG(bytes, length)) return decodeJPEG(bytes, length, w, h, limits);
    return decodePNG(bytes, length, w, h, limits);
}

_cairo_surface* newPictureSurface(unsigned width, unsigned height) {
    if (width == 0 || height == 0 || width > INT32_MAX / 4 || height > INT32_MAX) return nullptr;
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, static_cast<int>(width));
    if (stride <= 0) return nullptr;
    auto* block = new (std::nothrow) MappedBlock(static_cast<size_t>(stride) * height);
    if (block == nullptr || !*block) {
        delete block;
        return nullptr;
    }
    cairo_surface_t* s = cairo_image_surface_create_for_data(static_cast<unsigned char*>(block->data()),
                                                             CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                                             static_cast<int>(height), stride);
    static cairo_user_data_key_t owned;
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_set_user_data(s, &owned, block, [](void* b) { delete static_cast<MappedBlock*>(b); }) !=
            CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        delete block;
        return nullptr;
    }
    return s;
}

_cairo_surface* scaledSurface(_cairo_surface* surface, unsigned width, unsigned height) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || width == 0 || height == 0)
        return nullptr;
    int sw = cairo_image_surface_get_width(surface), sh = cairo_image_surface_get_height(surface);
    if (sw <= 0 || sh <= 0) return nullptr;
    cairo_surface_t* out = newPictureSurface(width, height);
    if (out == nullptr) return nullptr;
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
