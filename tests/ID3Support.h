// ID3 tags built byte by byte for the tests: frames of v2.2, v2.3 and v2.4,
// whole tags with unsynchronisation, extended headers, footers and
// compressed frames, and a tag of many frames of the kinds taggers write.
#pragma once

#include "ID3Layout.h"

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace id3test {

inline std::string bigEndian(uint32_t v, int n) {
    std::string out;
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}
inline std::string syncsafe(uint32_t v) {
    std::string out;
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((v >> (7 * i)) & 0x7F));
    return out;
}

// Unsynchronisation (the writer's own: a zero after every 0xFF followed by
// a byte of 0xE0 or more, by a zero, or at the end).
inline std::string unsynchronise(const std::string& in) { return cantrel::id3::unsynchronise(in); }

inline std::string zlibOf(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

// Text in an ID3 encoding: 0 ISO-8859-1 (ASCII here), 1 UTF-16 with a
// little-endian byte-order mark, 3 UTF-8.
inline std::string encoded(int encoding, const std::u16string& text) {
    std::string out;
    if (encoding == 1) {
        out = "\xFF\xFE";
        for (char16_t c : text) out += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    } else if (encoding == 3) {
        for (size_t i = 0; i < text.size(); ++i) {
            uint32_t c = text[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else if (c < 0x800) {
                out += std::string{static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
            } else if (c < 0x10000) {
                out += std::string{static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                                   static_cast<char>(0x80 | (c & 0x3F))};
            } else {
                out += std::string{static_cast<char>(0xF0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
                                   static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
            }
        }
    } else {
        for (char16_t c : text) out.push_back(static_cast<char>(c));
    }
    return out;
}
inline std::string terminator(int encoding) { return encoding == 1 ? std::string(2, '\0') : std::string(1, '\0'); }

// One frame; for v2.4 with the unsynchronisation flag (0x0002) the data is
// unsynchronised here.
inline std::string frame(int version, const std::string& id, std::string data, uint16_t flags = 0) {
    if (version == 2) return id + bigEndian(static_cast<uint32_t>(data.size()), 3) + data;
    if (version == 4 && (flags & 0x0002)) data = unsynchronise(data);
    std::string size = version == 3 ? bigEndian(static_cast<uint32_t>(data.size()), 4) : syncsafe(static_cast<uint32_t>(data.size()));
    return id + size + bigEndian(flags, 2) + data;
}

// A compressed frame: v2.3 with the inflated size first, v2.4 with a data
// length indicator.
inline std::string compressedFrame(int version, const std::string& id, const std::string& data) {
    if (version == 3) return frame(3, id, bigEndian(static_cast<uint32_t>(data.size()), 4) + zlibOf(data), 0x0080);
    return frame(4, id, syncsafe(static_cast<uint32_t>(data.size())) + zlibOf(data), 0x0009);
}

struct TagOptions {
    bool unsynchronised = false;  // v2.2/v2.3: the whole tag; v2.4: the header flag (frames carry their own)
    bool extendedHeader = false;  // v2.3, v2.4
    bool footer = false;          // v2.4
    size_t padding = 0;
};

inline std::string tag(int version, const std::string& frames, const TagOptions& o = {}) {
    std::string body;
    unsigned flags = 0;
    if (o.extendedHeader && version == 3) body += bigEndian(6, 4) + std::string(2, '\0') + bigEndian(static_cast<uint32_t>(o.padding), 4);
    if (o.extendedHeader && version == 4) body += syncsafe(6) + std::string("\x01\x00", 2);
    if (o.extendedHeader) flags |= 0x40;
    body += frames + std::string(o.padding, '\0');
    if (o.unsynchronised) {
        flags |= 0x80;
        if (version < 4) body = unsynchronise(body);
    }
    if (o.footer) flags |= 0x10;
    std::string head = std::string("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags) +
                       syncsafe(static_cast<uint32_t>(body.size()));
    std::string out = head + body;
    if (o.footer) out += std::string("3DI") + head.substr(3);
    return out;
}

// A picture frame: v2.2 "PIC" with a three-letter format, else "APIC".
inline std::string picture(int version, int type, int encoding, const std::u16string& description,
                           const std::string& data, uint16_t flags = 0) {
    if (version == 2)
        return frame(2, "PIC", std::string(1, static_cast<char>(encoding)) + "PNG" + static_cast<char>(type) +
                                   encoded(encoding, description) + terminator(encoding) + data);
    return frame(version, "APIC",
                 std::string(1, static_cast<char>(encoding)) + "image/png" + '\0' + static_cast<char>(type) +
                     encoded(encoding, description) + terminator(encoding) + data,
                 flags);
}

inline std::string text(int version, const std::string& id, int encoding, const std::u16string& value, uint16_t flags = 0) {
    return frame(version, id, std::string(1, static_cast<char>(encoding)) + encoded(encoding, value), flags);
}

// What the many-frame tag holds, for the checks.
inline const std::u16string kTitle = u"東京の夜 🎵";
inline const std::u16string kArtist = u"山田太郎";
inline const std::string kBackCover = std::string("\x89PNG\xFF\xE0\xFF\x00 back", 14);
inline const std::string kPrivate = std::string("\xFF\xE0\x00\xFF\xFF\x01", 6);

// Sixteen frames of the kinds taggers write (fifteen in v2.2, which has no
// private frame): texts in several encodings, track, genre, year, comment,
// lyrics, a user text, a private frame, a popularimeter, a composer, and
// four pictures: a back cover, which the artwork write keeps, and a front
// cover, an "other" and one described as ours in UTF-16, which it replaces.
// `flags` go on every v2.3/v2.4 frame (v2.4 unsynchronisation: 0x0002).
inline std::string manyFrames(int version, uint16_t flags = 0) {
    bool v2 = version == 2;
    int wide = version == 4 ? 3 : 1;  // UTF-8 where the version has it
    auto id = [&](const char* v22, const char* v23) { return std::string(v2 ? v22 : v23); };
    auto f = [&](const std::string& name, std::string data) { return frame(version, name, std::move(data), v2 ? 0 : flags); };
    std::string out;
    out += text(version, id("TT2", "TIT2"), 1, kTitle, v2 ? 0 : flags);
    out += text(version, id("TAL", "TALB"), 0, u"Album", v2 ? 0 : flags);
    out += text(version, id("TP1", "TPE1"), wide, kArtist, v2 ? 0 : flags);
    out += text(version, id("TRK", "TRCK"), 0, u"7/12", v2 ? 0 : flags);
    out += text(version, id("TCO", "TCON"), 0, u"Jazz", v2 ? 0 : flags);
    out += text(version, id("TYE", version == 4 ? "TDRC" : "TYER"), 0, u"2001", v2 ? 0 : flags);
    out += f(id("COM", "COMM"), std::string("\x00" "eng", 4) + std::string(1, '\0') + "A comment");
    out += f(id("ULT", "USLT"), std::string("\x00" "eng", 4) + std::string(1, '\0') + "Some lyrics");
    out += f(id("TXX", "TXXX"), std::string(1, '\0') + "MOOD" + std::string(1, '\0') + "calm");
    if (!v2) out += f("PRIV", std::string("owner@example") + '\0' + kPrivate);
    out += f(id("POP", "POPM"), std::string("rater@example") + '\0' + '\xC8' + bigEndian(4, 4));
    out += text(version, id("TCM", "TCOM"), 0, u"Composer", v2 ? 0 : flags);
    out += picture(version, 4, 0, u"back", kBackCover, v2 ? 0 : flags);
    out += picture(version, 3, 0, u"front", "front cover", v2 ? 0 : flags);
    out += picture(version, 0, 0, u"other", "other picture", v2 ? 0 : flags);
    out += picture(version, 8, 1, u"@brevankl", "earlier artwork", v2 ? 0 : flags);
    return out;
}

// MPEG audio frames (a header and silence), as a file's audio.
inline std::string mpegFrames(int count) {
    std::string one = std::string("\xFF\xFB\x90\xC4", 4) + std::string(413, '\0');
    std::string out;
    for (int i = 0; i < count; ++i) out += one;
    return out;
}

// An ID3v1 tag with a title.
inline std::string id3v1(const std::string& title) {
    std::string out = "TAG" + title;
    out.resize(128, '\0');
    return out;
}

}  // namespace id3test
