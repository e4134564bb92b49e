// GIF's LZW decoding. Each code's string is a run of the output already
// written: a new code is the string emitted before it followed by the first
// byte emitted after it, and those lie side by side in the output. So the
// table holds where each string starts and how long it is, and a code is
// emitted by copying from earlier in the output.
#include "GifLzw.h"

#include <algorithm>
#include <cstring>

namespace platform::gif {

namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kTableSize = 1u << kMaxCodeBits;
constexpr size_t kSpare = 16;  // copies may run up to 7 bytes past their end

// Eight bytes as a little-endian number (one load where the machine allows).
uint64_t littleEndian64(const uint8_t* p) {
    uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word |= static_cast<uint64_t>(p[i]) << (8 * i);
    return word;
}

// Copies `count` bytes forward from `from` to `to`, later ones from `to` that
// this copy wrote (so a string can repeat itself: the code just added). May
// write up to 7 bytes past `to + count`.
inline void copyForward(uint8_t* to, const uint8_t* from, size_t count) {
    size_t distance = static_cast<size_t>(to - from);
    if (distance >= 8) {
        for (size_t i = 0; i < count; i += 8) std::memcpy(to + i, from + i, 8);
    } else if (distance == 1) {
        std::memset(to, *from, count);
    } else {
        for (size_t i = 0; i < count; ++i) to[i] = from[i];
    }
}

}  // namespace

size_t decodeLzw(int minimumCodeSize, const uint8_t* data, size_t size, size_t wanted, MappedVector<uint8_t>& out) {
    if (out.size() < wanted + kSpare) out.resize(wanted + kSpare);
    if (minimumCodeSize < 1 || minimumCodeSize > 8) return 0;
    const uint32_t clear = 1u << minimumCodeSize, end = clear + 1;
    // Codes past `end`: where their string starts in the output, its length.
    size_t start[kTableSize];
    uint32_t length[kTableSize];
    uint32_t next = clear + 2;  // the code the next string gets
    int bits = minimumCodeSize + 1;
    bool havePrevious = false;  // a string was emitted since the last clear
    size_t previousStart = 0;
    uint32_t previousLength = 0;

    uint8_t* o = out.data();
    size_t n = 0;
    uint64_t buffer = 0;  // bits not yet used, the first in the lowest bit
    int buffered = 0;
    size_t in = 0;
    while (n < wanted) {
        if (buffered < bits) {
            if (size - in >= 8) {
                // Bits past the whole bytes taken repeat those of the next
                // byte, which the next refill puts in the same place.
                buffer |= littleEndian64(data + in) << buffered;
                size_t taken = static_cast<size_t>(63 - buffered) >> 3;
                in += taken;
                buffered += static_cast<int>(taken) * 8;
            } else {
                while (buffered < bits && in < size) {
                    buffer |= static_cast<uint64_t>(data[in++]) << buffered;
                    buffered += 8;
                }
                if (buffered < bits) break;  // the data ends
            }
        }
        const uint32_t code = static_cast<uint32_t>(buffer) & ((1u << bits) - 1);
        buffer >>= bits;
        buffered -= bits;

        if (code == clear) {
            next = clear + 2;
            bits = minimumCodeSize + 1;
            havePrevious = false;
            continue;
        }
        if (code == end) break;
        // A code past the next one has no string; nor has the next one
        // before any string was emitted.
        if (code > next || (code == next && !havePrevious)) break;
        if (havePrevious && next < kTableSize) {
            start[next] = previousStart;
            length[next] = previousLength + 1;
            ++next;
        }
        const size_t here = n;
        uint32_t emitted;
        if (code < clear) {
            o[n++] = static_cast<uint8_t>(code);
            emitted = 1;
        } else {
            emitted = length[code];
            size_t count = std::min<size_t>(emitted, wanted - n);
            copyForward(o + n, o + start[code], count);
            n += count;
        }
        havePrevious = true;
        previousStart = here;
        previousLength = emitted;
        if (next >= (1u << bits) && bits < kMaxCodeBits) ++bits;
    }
    return n;
}

}  // namespace platform::gif
