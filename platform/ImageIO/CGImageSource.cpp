// ImageIO's image sources over giflib's record reading and our LZW decoding
// (GIF, composed on a canvas of the size shown), and the platform's PNG and
// JPEG decoders.
#include "../Registration.h"
#include "GifLzw.h"

#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>
#include <Foundation/NSURL.h>
#include <ImageIO/ImageDecoder.h>
#include <ImageIO/ImageIO.h>
#include <UIKit/UIImage.h>
#include <platform/MappedMemory.h>
#include <platform/MemoryBudget.h>

#include <cairo.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

CFStringRef kCGImagePropertyGIFDictionary = nullptr;
CFStringRef kCGImagePropertyGIFDelayTime = nullptr;
CFStringRef kCGImagePropertyGIFUnclampedDelayTime = nullptr;
CFStringRef kCGImagePropertyPixelWidth = nullptr;
CFStringRef kCGImagePropertyPixelHeight = nullptr;

namespace {

// One frame as the structural pass found it.
struct FrameInfo {
    bool hasControl = false;  // a graphic control block came before it
    int delay = 0;            // centiseconds
    int disposal = 0;
    int transparent = NO_TRANSPARENT_COLOR;
    bool complete = false;    // its pixels could be read
    long decodedPixels = 0;   // what decoding its part on the canvas takes
};

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t position = 0;
};

int readMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    size_t left = r->bytes->size() - r->position;
    size_t n = std::min(left, static_cast<size_t>(std::max(length, 0)));
    std::memcpy(out, r->bytes->data() + r->position, n);
    r->position += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// The part of an image that lies on the canvas, in canvas pixels; empty
// when the image lies wholly outside it.
struct Clip {
    Clip(const GifImageDesc& d, int width, int height)
        : x0(std::max(0, d.Left)),
          y0(std::max(0, d.Top)),
          x1(std::min(width, d.Left + d.Width)),
          y1(std::min(height, d.Top + d.Height)) {}
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    size_t width() const { return empty() ? 0 : static_cast<size_t>(x1 - x0); }
    size_t height() const { return empty() ? 0 : static_cast<size_t>(y1 - y0); }
    int x0, y0, x1, y1;
};

// Interlaced images come in four passes: rows offset, offset + step...
constexpr int kPassOffsets[] = {0, 4, 2, 1}, kPassSteps[] = {8, 8, 4, 2};

// How many of the image's lines, in the order they are stored, must be
// decoded before every line on the canvas has been: the lines after them
// are skipped undecoded.
long linesToDecode(const GifImageDesc& d, const Clip& clip) {
    if (clip.empty() || d.Width <= 0 || d.Height <= 0) return 0;
    long first = clip.y0 - d.Top, end = clip.y1 - d.Top;  // rows of the image
    if (!d.Interlace) return end;
    long before = 0, lines = 0;
    for (int pass = 0; pass < 4; ++pass) {
        long offset = kPassOffsets[pass], step = kPassSteps[pass];
        if (end - 1 >= offset) {
            long last = offset + (end - 1 - offset) / step * step;  // this pass's last row before `end`
            if (last >= first) lines = before + (last - offset) / step + 1;
        }
        if (d.Height > offset) before += (d.Height - offset + step - 1) / step;
    }
    return lines;
}

// Reads a GIF record by record. With a canvas it also composes each frame.
class GifReader {
public:
    explicit GifReader(const std::vector<uint8_t>& bytes) : reader_{&bytes} {
        int error = 0;
        gif_.reset(DGifOpen(&reader_, readMemory, &error));
    }
    bool ok() const { return gif_ != nullptr; }
    int width() const { return gif_->SWidth; }
    int height() const { return gif_->SHeight; }

    // Moves to the next image; false at the end of the data or where it
    // breaks off before an image. With `decode` the image's pixels on the
    // canvas are decoded (row() gives them), else its data is only walked
    // over; `info.complete` tells whether that could be done.
    bool next(FrameInfo& info, bool decode, GifImageDesc& desc) {
        info = FrameInfo{};
        for (;;) {
            GifRecordType type;
            if (DGifGetRecordType(gif_.get(), &type) == GIF_ERROR) return false;
            if (type == TERMINATE_RECORD_TYPE) return false;
            if (type == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif_.get(), &code, &block) == GIF_ERROR) return false;
                while (block != nullptr) {
                    if (code == GRAPHICS_EXT_FUNC_CODE && block[0] == 4) {
                        GraphicsControlBlock gcb;
                        if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
                            info.hasControl = true;
                            info.delay = gcb.DelayTime;
                            info.disposal = gcb.DisposalMode;
                            info.transparent = gcb.TransparentColor;
                        }
                    }
                    code = CONTINUE_EXT_FUNC_CODE;
                    if (DGifGetExtensionNext(gif_.get(), &block) == GIF_ERROR) return false;
                }
                continue;
            }
            if (type != IMAGE_DESC_RECORD_TYPE) return false;
            if (DGifGetImageDesc(gif_.get()) == GIF_ERROR) return false;
            desc = gif_->Image;
            info.decodedPixels = static_cast<long>(desc.Width) * linesToDecode(desc, Clip(desc, width(), height()));
            info.complete = readPixels(desc, decode);
            return true;
        }
    }

    const ColorMapObject* colours() const { return gif_->Image.ColorMap ? gif_->Image.ColorMap : gif_->SColorMap; }
    // The minimum code size of the last decoded image: its indexes are below
    // 1 << codeSize().
    int codeSize() const { return codeSize_; }

    // The palette indexes of row `y` of the last decoded image's part on the
    // canvas (Clip(desc) wide; y counted from its top).
    const uint8_t* row(size_t y) const { return indexes_.data() + rows_[y]; }

private:
    // Decodes the pixels of the image's part on the canvas, or (`decode`
    // false) only walks over its data blocks. Lines past the last one on the
    // canvas are never decoded: a few bytes can claim an image of
    // 65535 x 65535 pixels.
    bool readPixels(const GifImageDesc& desc, bool decode) {
        if (desc.Width <= 0 || desc.Height <= 0) return false;
        Clip clip(desc, width(), height());
        long lines = linesToDecode(desc, clip);
        if (!decode || lines == 0) return walkData(nullptr);
        if (!walkData(&data_)) return false;
        size_t wanted = static_cast<size_t>(desc.Width) * static_cast<size_t>(lines);
        if (platform::gif::decodeLzw(codeSize_, data_.data(), data_.size(), wanted, indexes_) != wanted) return false;
        // Where each row on the canvas starts among the lines as stored.
        rows_.resize(clip.height());
        long first = clip.y0 - desc.Top, end = clip.y1 - desc.Top;  // rows of the image
        auto place = [&](long row, long line) {
            if (row >= first && row < end)
                rows_[static_cast<size_t>(row - first)] =
                    static_cast<size_t>(line) * static_cast<size_t>(desc.Width) + static_cast<size_t>(clip.x0 - desc.Left);
        };
        if (desc.Interlace) {
            long line = 0;
            for (int pass = 0; pass < 4 && line < lines; ++pass)
                for (long row = kPassOffsets[pass]; row < desc.Height && line < lines; row += kPassSteps[pass])
                    place(row, line++);
        } else {
            for (long row = first; row < end; ++row) place(row, row);
        }
        return true;
    }

    // Walks over the image's data blocks, joining their bytes in `into` when
    // it is not null.
    bool walkData(std::vector<uint8_t>* into) {
        GifByteType* block = nullptr;
        if (into) into->clear();
        if (DGifGetCode(gif_.get(), &codeSize_, &block) == GIF_ERROR) return false;
        while (block != nullptr) {
            if (into) into->insert(into->end(), block + 1, block + 1 + block[0]);
            if (DGifGetCodeNext(gif_.get(), &block) == GIF_ERROR) return false;
        }
        return true;
    }

    MemoryReader reader_;
    GifHandle gif_;
    int codeSize_ = 0;              // the image's minimum LZW code size
    std::vector<uint8_t> data_;     // its LZW data, its blocks joined
    platform::MappedVector<uint8_t> indexes_;  // its lines as decoded, in the order stored
    std::vector<size_t> rows_;      // where each of its rows on the canvas starts there
};

// The largest canvas a source decodes (pixels): beyond it frames give NULL.
constexpr long kMaxCanvasPixels = 64L * 1024 * 1024;
// The most pixels a source decodes for all its frames together (the lines
// of each image down to its last one on the canvas, at the image's full
// width): beyond it the source is refused and every frame gives NULL.
constexpr long kMaxDecodedPixels = 64L * 1024 * 1024;

// The most decoded lines one image may hold at a time (a byte a pixel, the
// lines down to its last one on the canvas at its full width): beyond it the
// source is refused.
constexpr size_t kMaxImageLineBytes = 16u << 20;

// Frames' pixels live in buffers that earlier frames gave back when they
// could: an animation asks for many frames of one size, again each time it
// is shown, and fresh pages from the system for every frame cost more than
// decoding it. The buffers waiting aside for the next frames are kept bytes
// of the process's picture memory: one that finds no room there is freed.
class FrameBuffers {
public:
    // A buffer of `bytes`, not cleared; null when there is no memory.
    static unsigned char* take(size_t bytes) {
        {
            std::lock_guard<std::mutex> lock(mutex());
            auto& kept = list();
            for (auto it = kept.begin(); it != kept.end(); ++it)
                if (sizeOf(it->base) == bytes) {
                    unsigned char* base = it->base;
                    kept.erase(it);  // its share of picture memory goes with it
                    return base + kHeader;
                }
        }
        auto* base = static_cast<unsigned char*>(platform::mapBlock(kHeader + bytes));
        if (base == nullptr) return nullptr;
        std::memcpy(base, &bytes, sizeof bytes);
        return base + kHeader;
    }

    // Frees the buffers kept aside (when picture memory runs short).
    static void freeKept() {
        std::vector<Kept> kept;
        {
            std::lock_guard<std::mutex> lock(mutex());
            kept.swap(list());
        }
        for (Kept& k : kept) release(k.base);
    }

    // Takes back a buffer from take() (a surface's destroy callback).
    static void give(void* data) {
        unsigned char* base = static_cast<unsigned char*>(data) - kHeader;
        platform::MemoryBudget::Hold share(&platform::pictureMemory(), platform::MemoryBudget::Hold::Kept);
        if (share.grow(sizeOf(base))) {
            std::lock_guard<std::mutex> lock(mutex());
            list().push_back({base, std::move(share)});
            return;
        }
        release(base);
    }

private:
    static constexpr size_t kHeader = 64;  // the size, and the pixels' alignment
    struct Kept {
        unsigned char* base;
        platform::MemoryBudget::Hold share;
    };

    static void release(unsigned char* base) { platform::unmapBlock(base, kHeader + sizeOf(base)); }
    static size_t sizeOf(const unsigned char* base) {
        size_t bytes;
        std::memcpy(&bytes, base, sizeof bytes);
        return bytes;
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    // Never destroyed: the buffers stay reachable until the process ends.
    static std::vector<Kept>& list() {
        static auto* kept = [] {
            platform::pictureMemory().addReclaimer(freeKept);
            return new std::vector<Kept>();
        }();
        return *kept;
    }
};

}  // namespace

// A source: an NSObject, so that CFRelease frees it as it frees dictionaries.
struct CGImageSource : NSObject {
    OBJC_CLASS(CGImageSource)

    std::vector<uint8_t> bytes;
    bool isGif = false;
    int screenWidth = 0, screenHeight = 0;  // the GIF's screen, as the data says
    int width = 0, height = 0;              // the frames given: the screen fitted to the size shown
    std::vector<FrameInfo> frames;
    cairo_surface_t* still = nullptr;  // a PNG or JPEG
    platform::DecodeLimits limits;  // the wait for a turn within picture memory
    size_t mostLineBytes = 0;  // the decoded lines of the largest image

    // Each column and row of the frames given: the screen's pixel it shows
    // (its nearest; itself when the screen is not reduced).
    std::vector<int> columnOf, rowOf;

    // The sequential decoder: the frame it made last and the canvas after it.
    std::unique_ptr<GifReader> reader;
    long decoded = -1;
    platform::MappedVector<uint32_t> canvas;  // the frame made last, width x height
    // Its disposal, done before the next frame is drawn over it.
    int disposal = DISPOSAL_UNSPECIFIED;
    GifImageDesc disposalArea{};
    platform::MappedVector<uint32_t> previous;
    bool broken = false;
    bool refused = false;  // decoding every frame would take too much

    ~CGImageSource() override {
        if (still) cairo_surface_destroy(still);
    }

    bool scan(const platform::ImageFit& fit) {
        GifReader r(bytes);
        if (!r.ok()) return false;
        screenWidth = r.width();
        screenHeight = r.height();
        FrameInfo info;
        GifImageDesc desc;
        long decodedPixels = 0;
        while (r.next(info, false, desc)) {
            frames.push_back(info);
            decodedPixels += info.decodedPixels;
            mostLineBytes = std::max(mostLineBytes, static_cast<size_t>(info.decodedPixels));
            if (!info.complete) break;
        }
        refused = decodedPixels > kMaxDecodedPixels || mostLineBytes > kMaxImageLineBytes;
        if (screenWidth > 0 && screenHeight > 0) {
            unsigned w, h;
            platform::fittedPixelSize(static_cast<uint64_t>(screenWidth), static_cast<uint64_t>(screenHeight), fit, w, h);
            width = static_cast<int>(w);
            height = static_cast<int>(h);
            auto sample = [](int out, int in) {
                std::vector<int> at(static_cast<size_t>(out));
                for (int i = 0; i < out; ++i)
                    at[static_cast<size_t>(i)] = static_cast<int>((2 * int64_t{i} + 1) * in / (2 * int64_t{out}));
                return at;
            };
            columnOf = sample(width, screenWidth);
            rowOf = sample(height, screenHeight);
        }
        return true;
    }

    // The canvas after frame `index`, as ARGB32 premultiplied; NULL when it
    // cannot be decoded, or gets no turn within the decode budget.
    cairo_surface_t* frame(size_t index) {
        if (refused || index >= frames.size() || !frames[index].complete) return nullptr;
        if (width <= 0 || height <= 0 || static_cast<long>(width) * height > kMaxCanvasPixels) return nullptr;
        // The canvas, the frame given, the canvas kept for a disposal to the
        // previous one, an image's decoded lines and its LZW data.
        const size_t canvasBytes = 4 * static_cast<size_t>(width) * static_cast<size_t>(height);
        platform::DecodeTicket ticket(3 * canvasBytes + mostLineBytes + bytes.size(), limits);
        if (!ticket) return nullptr;
        if (static_cast<long>(index) <= decoded || reader == nullptr) restart();
        // The frame is drawn straight into the buffer the surface frees (its
        // rows as they are: no zeroed buffer first); the frames before it,
        // skipped over, only on the canvas.
        int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
        unsigned char* data = FrameBuffers::take(static_cast<size_t>(stride) * height);
        if (data == nullptr) return nullptr;
        while (decoded < static_cast<long>(index)) {
            if (broken || !step(decoded + 1 == static_cast<long>(index) ? data : nullptr, stride)) {
                broken = true;
                FrameBuffers::give(data);
                return nullptr;
            }
        }
        cairo_surface_t* s = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, width, height, stride);
        static cairo_user_data_key_t owned;
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS ||
            cairo_surface_set_user_data(s, &owned, data, FrameBuffers::give) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(s);
            FrameBuffers::give(data);
            return nullptr;
        }
        cairo_surface_mark_dirty(s);
        return s;
    }

private:
    void restart() {
        reader = std::make_unique<GifReader>(bytes);
        decoded = -1;
        broken = !reader->ok();
        canvas.assign(static_cast<size_t>(width) * height, 0);
        disposal = DISPOSAL_UNSPECIFIED;
        previous.clear();
    }

    // The frames' columns [first, end) that show the screen's columns
    // [x0, x1).
    std::pair<size_t, size_t> columnsShowing(int x0, int x1) const {
        auto first = std::lower_bound(columnOf.begin(), columnOf.end(), x0);
        auto end = std::lower_bound(first, columnOf.end(), x1);
        return {static_cast<size_t>(first - columnOf.begin()), static_cast<size_t>(end - columnOf.begin())};
    }

    // Decodes the next frame and draws it on the canvas; with `out` also
    // writes the canvas, as ARGB32 premultiplied, into `out`'s rows.
    bool step(unsigned char* out, int stride) {
        FrameInfo info;
        GifImageDesc desc;
        if (!reader->next(info, true, desc) || !info.complete) return false;
        dispose();
        // Each palette index as an opaque pixel; 0 for the transparent index
        // and indexes past the colour map, which leave the canvas as it is.
        uint32_t lut[256] = {};
        if (const ColorMapObject* map = reader->colours())
            for (int i = 0; i < std::min(map->ColorCount, 256); ++i)
                if (i != info.transparent)
                    lut[i] = 0xff000000u | (map->Colors[i].Red << 16) | (map->Colors[i].Green << 8) | map->Colors[i].Blue;
        platform::MappedVector<uint32_t> before;
        if (info.disposal == DISPOSE_PREVIOUS) before = canvas;
        Clip clip(desc, screenWidth, screenHeight);
        // Without the transparent index or indexes past the colour map among
        // those the image can hold, its pixels are simply its colours.
        const bool opaque =
            std::all_of(lut, lut + (1 << std::clamp(reader->codeSize(), 0, 8)), [](uint32_t v) { return v != 0; });
        const bool reduced = width != screenWidth;
        const auto [first, end] = columnsShowing(clip.x0, clip.x1);
        const size_t rowBytes = 4 * static_cast<size_t>(width);
        for (int y = 0; y < height; ++y) {
            int sy = rowOf[static_cast<size_t>(y)];
            if (!clip.empty() && sy >= clip.y0 && sy < clip.y1) {
                const uint8_t* src = reader->row(static_cast<size_t>(sy - clip.y0));
                uint32_t* dst = canvas.data() + static_cast<size_t>(y) * width;
                auto draw = [&](auto index) {
                    if (opaque) {
                        for (size_t x = first; x < end; ++x) dst[x] = lut[index(x)];
                    } else {
                        for (size_t x = first; x < end; ++x) {
                            uint32_t v = lut[index(x)];
                            dst[x] = v != 0 ? v : dst[x];
                        }
                    }
                };
                if (reduced) draw([&](size_t x) { return src[columnOf[x] - clip.x0]; });
                else draw([&](size_t x) { return src[x - static_cast<size_t>(clip.x0)]; });
            }
            if (out != nullptr)
                std::memcpy(out + static_cast<size_t>(y) * stride, canvas.data() + static_cast<size_t>(y) * width, rowBytes);
        }
        ++decoded;
        // `canvas` shows this frame now; its disposal applies before the next
        // frame is drawn.
        disposal = info.disposal;
        disposalArea = desc;
        previous = std::move(before);
        return true;
    }

    void dispose() {
        if (disposal == DISPOSE_BACKGROUND) clear(disposalArea);
        else if (disposal == DISPOSE_PREVIOUS) canvas = std::move(previous);
        disposal = DISPOSAL_UNSPECIFIED;
    }

    void clear(const GifImageDesc& d) {
        Clip clip(d, screenWidth, screenHeight);
        if (clip.empty()) return;
        const auto [first, end] = columnsShowing(clip.x0, clip.x1);
        for (int y = 0; y < height; ++y) {
            int sy = rowOf[static_cast<size_t>(y)];
            if (sy >= clip.y0 && sy < clip.y1)
                std::fill(canvas.begin() + static_cast<long>(static_cast<size_t>(y) * width + first),
                          canvas.begin() + static_cast<long>(static_cast<size_t>(y) * width + end), 0u);
        }
    }
};

namespace {

// A source whose frames are fitted to `fit`.
CGImageSourceRef makeSource(const void* data, size_t length, const platform::ImageFit& fit,
                            const platform::DecodeLimits& limits) {
    if (data == nullptr || length == 0) return nullptr;
    auto* source = static_cast<CGImageSource*>(class_createInstance(CGImageSource::cls()));
    source->limits = limits;
    const auto* p = static_cast<const uint8_t*>(data);
    if (length >= 6 && (std::memcmp(p, GIF87_STAMP, 6) == 0 || std::memcmp(p, GIF89_STAMP, 6) == 0)) {
        source->isGif = true;
        source->bytes.assign(p, p + length);
        if (source->scan(fit)) return source;
    } else if ((source->still = platform::decodeImage(p, length, fit, limits)) != nullptr) {
        source->width = cairo_image_surface_get_width(source->still);
        source->height = cairo_image_surface_get_height(source->still);
        return source;
    }
    objc_release(source);
    return nullptr;
}

// No picture is shown larger than the main screen: sources made without a
// size give frames of at most its longer side in pixels.
platform::ImageFit screenFit() {
    id screen = objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(screen, "bounds"_sel);
    double scale = objc_msgSend<double()>(screen, "scale"_sel);
    double side = std::max(bounds.size.width, bounds.size.height) * (scale > 0 ? scale : 1);
    platform::ImageFit fit;
    fit.maxSide = side >= 1 && side < 65536 ? static_cast<unsigned>(std::ceil(side)) : 0;
    return fit;
}

id number(double value) { return objc_msgSend<id(double)>(objc_getClass("NSNumber"), "numberWithDouble:"_sel, value); }

}  // namespace

void CFRelease(CFTypeRef object) { objc_release(const_cast<id>(static_cast<const objc_object*>(object))); }

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key) {
    if (dictionary == nullptr || key == nullptr) return nullptr;
    return objc_msgSend<id(id)>(dictionary, "objectForKey:"_sel, const_cast<id>(static_cast<const objc_object*>(key)));
}

CGImageSourceRef CGImageSourceCreateWithData(CFDataRef data, CFDictionaryRef) {
    if (data == nullptr) return nullptr;
    return makeSource(data->bytes(), data->length(), screenFit(), platform::DecodeLimits{});
}

CGImageSourceRef CGImageSourceCreateWithURL(CFURLRef url, CFDictionaryRef) {
    id data = objc_msgSend<id(id)>(objc_getClass("NSData"), "dataWithContentsOfURL:"_sel, url);
    return CGImageSourceCreateWithData(static_cast<NSData*>(data), nullptr);
}

size_t CGImageSourceGetCount(CGImageSourceRef source) {
    if (source == nullptr) return 0;
    return source->isGif ? source->frames.size() : (source->still ? 1 : 0);
}

CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef source, size_t index, CFDictionaryRef) {
    if (source == nullptr || index >= CGImageSourceGetCount(source)) return nullptr;
    cairo_surface_t* s = source->isGif ? source->frame(index) : cairo_surface_reference(source->still);
    if (s == nullptr) return nullptr;
    return new CGImage{s};
}

void CGImageRelease(CGImageRef image) {
    if (image == nullptr) return;
    if (image->surface) cairo_surface_destroy(image->surface);
    delete image;
}

CFDictionaryRef CGImageSourceCopyPropertiesAtIndex(CGImageSourceRef source, size_t index, CFDictionaryRef) {
    if (source == nullptr || index >= CGImageSourceGetCount(source)) return nullptr;
    id props = objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass("NSMutableDictionary"), "alloc"_sel), "init"_sel);
    objc_msgSend<void(id, id)>(props, "setObject:forKey:"_sel, number(source->width), kCGImagePropertyPixelWidth);
    objc_msgSend<void(id, id)>(props, "setObject:forKey:"_sel, number(source->height), kCGImagePropertyPixelHeight);
    if (source->isGif && source->frames[index].hasControl) {
        double seconds = source->frames[index].delay / 100.0;
        id gif = objc_msgSend<id()>(objc_getClass("NSMutableDictionary"), "dictionary"_sel);
        objc_msgSend<void(id, id)>(gif, "setObject:forKey:"_sel, number(seconds), kCGImagePropertyGIFUnclampedDelayTime);
        objc_msgSend<void(id, id)>(gif, "setObject:forKey:"_sel, number(seconds <= 0.01 ? 0.1 : seconds),
                                   kCGImagePropertyGIFDelayTime);
        objc_msgSend<void(id, id)>(props, "setObject:forKey:"_sel, gif, kCGImagePropertyGIFDictionary);
    }
    return static_cast<NSDictionary*>(props);
}

_cairo_surface* platform::decodeGIFFrame(const void* bytes, size_t length, const ImageFit& fit,
                                         const DecodeLimits& limits) {
    AutoreleasePool pool;
    CGImageSourceRef source = makeSource(bytes, length, fit, limits);
    cairo_surface_t* frame = source != nullptr && source->isGif ? source->frame(0) : nullptr;
    if (source != nullptr) CFRelease(source);
    return frame;
}

void platform::registerImageIO() {
    objc::ClassDef<CGImageSource>("CGImageSource", NSObject::cls());
    AutoreleasePool pool;  // the constants outlive it
    kCGImagePropertyGIFDictionary = makeConstantString("{GIF}");
    kCGImagePropertyGIFDelayTime = makeConstantString("DelayTime");
    kCGImagePropertyGIFUnclampedDelayTime = makeConstantString("UnclampedDelayTime");
    kCGImagePropertyPixelWidth = makeConstantString("PixelWidth");
    kCGImagePropertyPixelHeight = makeConstantString("PixelHeight");
}
