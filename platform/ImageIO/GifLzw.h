// The LZW decoding of a GIF image's pixel data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <platform/MappedMemory.h>

namespace platform::gif {

// Decodes the LZW codes in `data` (an image's data sub-blocks, joined without
// their length bytes) for an image whose minimum code size is
// `minimumCodeSize`, into the first `wanted` bytes of `out` (one palette index
// a pixel, the image's lines in the order they are stored). `out` grows to
// hold them, with a few spare bytes after them that are left undefined.
// Returns how many indexes were decoded: fewer than `wanted` when the data
// ends first (its end code or its last byte) or is broken (a code that has
// no string yet, a minimum code size that is not 1 to 8); never more.
size_t decodeLzw(int minimumCodeSize, const uint8_t* data, size_t size, size_t wanted, MappedVector<uint8_t>& out);

}  // namespace platform::gif
