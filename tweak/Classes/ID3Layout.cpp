#include "ID3Layout.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>

namespace cantrel::id3 {
namespace {

constexpr size_t kHeaderSize = 10;

uint32_t bigEndian(const unsigned char* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}
uint32_t littleEndian32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
bool syncsafe(const unsigned char* p) { return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0; }
uint32_t syncsafeValue(const unsigned char* p) {
    return uint32_t(p[0]) << 21 | uint32_t(p[1]) << 14 | uint32_t(p[2]) << 7 | uint32_t(p[3]);
}

struct Header {
    bool present = false;  // the bytes start with "ID3"
    std::string problem;   // present but not a tag we can read
    int version = 0;
    unsigned flags = 0;
    uint64_t bodySize = 0;
    uint64_t total = 0;  // header, body and footer
};

// The 10-byte header of an ID3v2 tag.
Header parseHeader(const unsigned char* h) {
    Header out;
    if (std::memcmp(h, "ID3", 3) != 0) return out;
    out.present = true;
    out.version = h[3];
    out.flags = h[5];
    if (out.version < 2 || out.version > 4 || h[4] == 0xFF) {
        out.problem = "an ID3v2 tag of unknown version " + std::to_string(h[3]) + "." + std::to_string(h[4]);
        return out;
    }
    // Flags the version defines; v2.2's compression has no defined scheme.
    unsigned known = out.version == 2 ? 0x80u : out.version == 3 ? 0xE0u : 0xF0u;
    if ((out.flags & ~known) != 0 || (out.version == 2 && (out.flags & 0x40))) {
        out.problem = "an ID3v2 header with flags it cannot have";
        return out;
    }
    if (!syncsafe(h + 6)) {
        out.problem = "an ID3v2 size that is not syncsafe";
        return out;
    }
    out.bodySize = syncsafeValue(h + 6);
    bool footer = out.version == 4 && (out.flags & 0x10);
    out.total = kHeaderSize + out.bodySize + (footer ? kHeaderSize : 0);
    return out;
}

bool matches(const ReadAt& read, uint64_t offset, const char* magic) {
    unsigned char buf[16];
    size_t n = std::strlen(magic);
    return read(offset, n, buf) && std::memcmp(buf, magic, n) == 0;
}

// The start of a tag recognised as ending at `end` and starting at or after
// `floor`, or `end` when none is. A claim that does not fit leaves the bytes
// where they are: they count as audio and are kept.
uint64_t appendedTagStart(const ReadAt& read, uint64_t floor, uint64_t end) {
    uint64_t room = end - floor;
    // ID3v1, with the extended block before it.
    if (room >= 128 && matches(read, end - 128, "TAG")) {
        uint64_t start = end - 128;
        if (start - floor >= 227 && matches(read, start - 227, "TAG+")) start -= 227;
        return start;
    }
    // APEv2, whose footer gives the size of the items and footer, and
    // whether a header of its own size comes first.
    unsigned char ape[32];
    if (room >= 32 && read(end - 32, 32, ape) && std::memcmp(ape, "APETAGEX", 8) == 0) {
        uint32_t version = littleEndian32(ape + 8);
        uint64_t size = littleEndian32(ape + 12);
        uint32_t flags = littleEndian32(ape + 20);
        uint64_t total = size + ((flags & 0x80000000u) ? 32 : 0);
        if ((version == 1000 || version == 2000) && size >= 32 && total <= room &&
            (!(flags & 0x80000000u) || matches(read, end - total, "APETAGEX")))
            return end - total;
        return end;
    }
    // Lyrics3 v2: six digits of size, then "LYRICS200".
    unsigned char lyrics[15];
    if (room >= 15 + 11 && read(end - 15, 15, lyrics) && std::memcmp(lyrics + 6, "LYRICS200", 9) == 0) {
        uint64_t size = 0;
        for (int i = 0; i < 6; ++i) {
            if (lyrics[i] < '0' || lyrics[i] > '9') return end;
            size = size * 10 + (lyrics[i] - '0');
        }
        uint64_t total = size + 15;
        if (size >= 11 && total <= room && matches(read, end - total, "LYRICSBEGIN")) return end - total;
        return end;
    }
    // Lyrics3 v1: "LYRICSBEGIN", at most 5100 bytes of lyrics, "LYRICSEND".
    if (room >= 9 + 11 && matches(read, end - 9, "LYRICSEND")) {
        uint64_t span = std::min<uint64_t>(room - 9, 5100 + 11);
        std::string block(span, '\0');
        if (!read(end - 9 - span, span, reinterpret_cast<unsigned char*>(block.data()))) return end;
        size_t at = block.rfind("LYRICSBEGIN");
        return at == std::string::npos ? end : end - 9 - span + at;
    }
    // An ID3v2 tag appended with its footer.
    unsigned char footer[10];
    if (room >= 20 && read(end - 10, 10, footer) && std::memcmp(footer, "3DI", 3) == 0 && footer[3] == 4 &&
        syncsafe(footer + 6)) {
        uint64_t total = uint64_t(syncsafeValue(footer + 6)) + 20;
        if (total <= room && matches(read, end - total, "ID3")) return end - total;
    }
    return end;
}

// Undoes unsynchronisation: every 0xFF 0x00 becomes 0xFF.
std::string resynchronised(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (static_cast<unsigned char>(in[i]) == 0xFF && i + 1 < in.size() && in[i + 1] == 0) ++i;
    }
    return out;
}

bool isFrameIDChar(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

bool validFrameID(std::string_view body, size_t at, size_t length) {
    if (at > body.size() || body.size() - at < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (!isFrameIDChar(static_cast<unsigned char>(body[at + i]))) return false;
    return true;
}

// The size of the v2.4 frame at `at`: syncsafe as written; a size with a
// high bit set, or one that leads nowhere while the plain reading leads to
// a frame (as some writers put v2.3 sizes in v2.4 tags), is read plain.
uint64_t v4FrameSize(std::string_view body, size_t at) {
    auto p = reinterpret_cast<const unsigned char*>(body.data()) + at + 4;
    uint64_t plain = bigEndian(p, 4);
    uint64_t size = syncsafe(p) ? syncsafeValue(p) : plain;
    if (size > 127 && !validFrameID(body, at + kHeaderSize + size, 4) && validFrameID(body, at + kHeaderSize + plain, 4))
        size = plain;
    return size;
}

// Inflates zlib data, counting what it gives against `budget` (which it
// lowers); false when the data is not one whole zlib stream or gives more.
bool inflatesWithin(std::string_view data, uint64_t& budget) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    unsigned char out[1 << 16];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = out;
        z.avail_out = sizeof out;
        status = inflate(&z, Z_NO_FLUSH);
        uint64_t made = sizeof out - z.avail_out;
        if (made > budget) {
            status = Z_MEM_ERROR;
            break;
        }
        budget -= made;
        if (status == Z_BUF_ERROR && z.avail_in == 0) break;  // the stream ends early
    }
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

}  // namespace

Layout locateTags(const ReadAt& read, uint64_t size) {
    Layout out;
    out.audioEnd = size;
    auto unreadable = [&](std::string why) {
        out.readable = false;
        out.problem = std::move(why);
        return out;
    };
    unsigned char head[kHeaderSize];
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, kHeaderSize));
    if (n > 0 && !read(0, n, head)) return unreadable("the file cannot be read");
    if (n >= 3 && std::memcmp(head, "ID3", 3) == 0) {
        if (n < kHeaderSize) return unreadable("an ID3v2 header cut short");
        Header h = parseHeader(head);
        if (!h.problem.empty()) return unreadable(h.problem);
        if (h.total > size)
            return unreadable("the ID3v2 tag claims " + std::to_string(h.total) + " bytes of a file of " +
                              std::to_string(size));
        if (h.total != kHeaderSize + h.bodySize) {
            unsigned char footer[kHeaderSize];
            if (!read(h.total - kHeaderSize, kHeaderSize, footer) || std::memcmp(footer, "3DI", 3) != 0 ||
                std::memcmp(footer + 3, head + 3, 7) != 0)
                return unreadable("an ID3v2 footer that does not match its header");
        }
        out.version = h.version;
        out.tagEnd = h.total;
    }
    uint64_t end = size;
    for (int i = 0; i < 8; ++i) {
        uint64_t start = appendedTagStart(read, out.tagEnd, end);
        if (start == end) break;
        end = start;
    }
    out.audioEnd = end;
    return out;
}

Layout locateTags(int fd, uint64_t size) {
    return locateTags(
        [fd](uint64_t offset, size_t length, unsigned char* buf) {
            size_t done = 0;
            while (done < length) {
                ssize_t r = ::pread(fd, buf + done, length - done, static_cast<off_t>(offset + done));
                if (r < 0 && errno == EINTR) continue;
                if (r <= 0) return false;
                done += static_cast<size_t>(r);
            }
            return true;
        },
        size);
}

Layout locateTags(std::string_view file) {
    return locateTags(
        [file](uint64_t offset, size_t length, unsigned char* buf) {
            if (offset > file.size() || file.size() - offset < length) return false;
            std::memcpy(buf, file.data() + offset, length);
            return true;
        },
        file.size());
}

namespace {

// The bytes a frame's flags put before its data: v2.3 the inflated size,
// the encryption method and the group; v2.4 the group, the encryption
// method and the data length.
size_t flagBytes(int version, unsigned flags) {
    unsigned f = flags & 0xFF;
    if (version == 3) return ((f & 0x80) ? 4 : 0) + ((f & 0x40) ? 1 : 0) + ((f & 0x20) ? 1 : 0);
    if (version == 4) return ((f & 0x40) ? 1 : 0) + ((f & 0x04) ? 1 : 0) + ((f & 0x01) ? 4 : 0);
    return 0;
}

// The frames from `pos` on; `w` holds the version and flags already.
void walkFrom(std::string_view body, size_t pos, bool checkContent, FrameWalk& w) {
    auto problem = [&](bool trusted, std::string why) {
        w.readable = false;
        w.trusted = trusted;
        w.problem = std::move(why);
    };
    auto bytes = [&](size_t at) { return reinterpret_cast<const unsigned char*>(body.data()) + at; };
    const int version = w.version;
    const size_t headerSize = version == 2 ? 6 : 10;
    const size_t idSize = version == 2 ? 3 : 4;
    uint64_t budget = kMaxInflatedBytes;
    while (pos < body.size()) {
        if (body[pos] == 0) {
            // Padding: zeros up to the tag's end, or the size cannot be trusted.
            if (body.find_first_not_of('\0', pos) != std::string_view::npos)
                return problem(false, "bytes that are not zeros after the padding began (the tag's size cannot be trusted)");
            break;
        }
        if (body.size() - pos < headerSize) return problem(false, "a frame header cut short");
        bool idOK = validFrameID(body, pos, idSize) ||
                    (version == 3 && validFrameID(body, pos, 3) && body[pos + 3] == 0);  // a v2.2 name in v2.3
        if (!idOK) return problem(false, "a frame with an invalid name");
        uint64_t size = version == 2 ? bigEndian(bytes(pos + 3), 3)
                        : version == 3 ? bigEndian(bytes(pos + 4), 4)
                                       : v4FrameSize(body, pos);
        if (size > body.size() - pos - headerSize) return problem(false, "a frame larger than its tag");
        unsigned flags = version == 2 ? 0u : bigEndian(bytes(pos + 8), 2);
        if (size <= flagBytes(version, flags)) {
            // Holds nothing: no data at all, or not even what its flags say comes first.
            ++w.emptyFrames;
            pos += headerSize + static_cast<size_t>(size);
            continue;
        }
        FrameSpan span{pos, headerSize + static_cast<size_t>(size), {}, flags};
        body.copy(span.id, idSize, pos);  // a v2.2 name in v2.3 ends with its zero
        if (checkContent && version >= 3) {
            unsigned format = flags & 0xFF;
            if (format & (version == 3 ? 0x40 : 0x04)) return problem(true, "an encrypted frame");
            if (format & (version == 3 ? 0x80 : 0x08)) {
                std::string_view payload = body.substr(pos + headerSize + flagBytes(version, flags),
                                                       static_cast<size_t>(size) - flagBytes(version, flags));
                std::string plain;
                if (version == 4 && ((format & 0x02) || w.unsynchronised)) {
                    plain = resynchronised(payload);
                    payload = plain;
                }
                if (!inflatesWithin(payload, budget))
                    return problem(true, "a compressed frame that does not inflate within bounds");
            }
        }
        w.frames.push_back(span);
        pos += span.length;
    }
    w.readable = true;
    w.trusted = true;
}

// At most `limit` bytes that zlib data inflates to.
std::string inflatedPrefix(std::string_view data, size_t limit) {
    std::string out(limit, '\0');
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "";
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(limit);
    int status = Z_OK;
    while (status == Z_OK && z.avail_out > 0) status = inflate(&z, Z_NO_FLUSH);
    out.resize(limit - z.avail_out);
    inflateEnd(&z);
    return out;
}

}  // namespace

std::string unsynchronise(std::string_view in) {
    std::string out;
    out.reserve(in.size() + in.size() / 64);
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (static_cast<unsigned char>(in[i]) == 0xFF &&
            (i + 1 == in.size() || static_cast<unsigned char>(in[i + 1]) >= 0xE0 || in[i + 1] == 0))
            out.push_back('\0');
    }
    return out;
}

std::string FrameWalk::content(std::string_view tag, const FrameSpan& frame, size_t limit) const {
    const size_t headerSize = version == 2 ? 6 : 10;
    std::string_view data = body(tag).substr(frame.at + headerSize, frame.length - headerSize);
    unsigned format = frame.flags & 0xFF;
    if ((version == 3 && (format & 0x40)) || (version == 4 && (format & 0x04))) return "";  // encrypted
    bool compressed = (version == 3 && (format & 0x80)) || (version == 4 && (format & 0x08));
    bool unsync = version == 4 && ((format & 0x02) || unsynchronised);
    size_t skip = flagBytes(version, frame.flags);
    if (skip >= data.size()) return "";
    data.remove_prefix(skip);
    std::string plain;
    if (unsync) {
        // Each byte read back needs at most two stored.
        plain = resynchronised(data.substr(0, compressed ? data.size() : std::min(data.size(), limit * 2)));
        data = plain;
    }
    if (compressed) return inflatedPrefix(data, limit);
    return std::string(data.substr(0, limit));
}

FrameWalk walkFrames(std::string_view tag, bool checkContent) {
    FrameWalk w;
    auto problem = [&](std::string why) {
        w.readable = false;
        w.trusted = false;
        w.problem = std::move(why);
        return w;
    };
    if (tag.size() < kHeaderSize) return problem("no ID3v2 header");
    Header h = parseHeader(reinterpret_cast<const unsigned char*>(tag.data()));
    if (!h.present) return problem("no ID3v2 header");
    if (!h.problem.empty()) return problem(h.problem);
    if (h.bodySize > tag.size() - kHeaderSize) return problem("an ID3v2 tag larger than its bytes");
    w.version = h.version;
    w.bodySize = static_cast<size_t>(h.bodySize);
    bool unsynchronised = (h.flags & 0x80) != 0;
    if (unsynchronised && h.version < 4) {
        w.plainBody = resynchronised(tag.substr(kHeaderSize, w.bodySize));
        w.hasPlainBody = true;
    }
    w.unsynchronised = unsynchronised && h.version == 4;
    std::string_view body = w.body(tag);
    if (h.version < 3 || !(h.flags & 0x40)) {
        walkFrom(body, 0, checkContent, w);
        return w;
    }

    // The extended header: its size as written, what its flags say it holds
    // (v2.3: 6 bytes, 10 with a CRC; v2.4: 6, and each flag's data), or none
    // at all under a flag set by mistake.
    if (body.size() < 6) return problem("an extended header cut short");
    auto bytes = reinterpret_cast<const unsigned char*>(body.data());
    std::vector<size_t> readings;
    if (h.version == 3) {
        readings.push_back(4 + static_cast<size_t>(bigEndian(bytes, 4)));
        readings.push_back(4 + ((bytes[4] & 0x80) ? 10 : 6));
    } else {
        if (syncsafe(bytes)) readings.push_back(syncsafeValue(bytes));
        readings.push_back(6 + ((bytes[5] & 0x40) ? 1 : 0) + ((bytes[5] & 0x20) ? 6 : 0) + ((bytes[5] & 0x10) ? 2 : 0));
    }
    readings.push_back(0);
    // The size as written, when it holds; else the one other reading that
    // holds (readings that find no frames at all agree with each other).
    std::optional<FrameWalk> chosen;
    bool ambiguous = false;
    for (size_t i = 0; i < readings.size(); ++i) {
        size_t at = readings[i];
        if (at > body.size() || std::find(readings.begin(), readings.begin() + i, at) != readings.begin() + i) continue;
        FrameWalk attempt;
        attempt.version = w.version;
        attempt.unsynchronised = w.unsynchronised;
        walkFrom(body, at, checkContent, attempt);
        if (!attempt.trusted) continue;
        if (i == 0) {
            chosen = std::move(attempt);
            break;
        }
        if (!chosen) chosen = std::move(attempt);
        else if (!chosen->frames.empty() || !attempt.frames.empty()) ambiguous = true;
    }
    if (!chosen || ambiguous)
        return problem(readings[0] > body.size() ? "an extended header larger than its tag"
                                                 : "an extended header whose size and flags disagree");
    chosen->bodySize = w.bodySize;
    chosen->hasPlainBody = w.hasPlainBody;
    chosen->plainBody = std::move(w.plainBody);
    return std::move(*chosen);
}

}  // namespace cantrel::id3
