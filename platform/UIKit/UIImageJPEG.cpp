// JPEG encoding of images through libjpeg(-turbo): UIImageJPEGRepresentation.
#include <Foundation/NSData.h>
#include <UIKit/UIImage.h>

#include <cairo.h>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace {

struct Errors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void failed(j_common_ptr info) { std::longjmp(reinterpret_cast<Errors*>(info->err)->jump, 1); }

}  // namespace

namespace platform {

std::vector<uint8_t> encodeJPEG(_cairo_surface* surface, double quality) {
    if (surface == nullptr || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) return {};
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(surface);
    if (width <= 0 || height <= 0 || pixels == nullptr) return {};

    // Un-premultiplied RGB over white, as the picture shows on screen.
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            uint32_t p = row[x];
            unsigned a = p >> 24;
            unsigned char* out = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
            for (int c = 0; c < 3; ++c) out[c] = static_cast<unsigned char>(((p >> (16 - 8 * c)) & 0xFF) + (255 - a));
        }
    }

    return encodeRGBJPEG(rgb, width, height, static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100)));
}

std::vector<uint8_t> encodeRGBJPEG(const std::vector<uint8_t>& rgb, int width, int height, int quality, bool progressive) {
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
        return {};
    jpeg_compress_struct info;
    Errors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = failed;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(out);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 0, 100), TRUE);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(&rgb[static_cast<size_t>(info.next_scanline) * static_cast<size_t>(width) * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

}  // namespace platform

NSData* UIImageJPEGRepresentation(UIImage* image, double quality) {
    if (image == nullptr) return nullptr;
    std::vector<uint8_t> bytes = platform::encodeJPEG(image->surface(), quality);
    if (bytes.empty()) return nullptr;
    return NSData::make(bytes.data(), bytes.size());
}
