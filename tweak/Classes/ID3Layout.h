// Where the tags and the audio of an MP3 file lie, read by bounded code of
// our own: the ID3v2 tag at the start (version, flags, syncsafe size,
// footer) and the tags appended at the end (ID3v1 with its extended block,
// APEv2, Lyrics3 v1 and v2, an appended ID3v2 tag with its footer), each
// checked against the file's size. Only a few bytes at each end are read,
// whatever the file holds.
//
// The frame walk checks the structure of a whole ID3v2 tag before any other
// reader sees it, in one pass: every frame inside the tag, nothing but zeros
// after the last, compressed frames inflating within a bound, no encrypted
// frame; and tells where each frame lies, so that a writer can copy it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cantrel::id3 {

// The largest ID3v2 tag the writers read into memory, and the most its
// compressed frames may inflate to, together.
inline constexpr uint64_t kMaxTagBytes = 32u << 20;
inline constexpr uint64_t kMaxInflatedBytes = 32u << 20;

struct Layout {
    bool readable = true;  // false: a tag claims what cannot be read within bounds
    std::string problem;   // why not (for the log)
    int version = 0;       // major version of the ID3v2 tag at the start; 0 when there is none
    uint64_t tagEnd = 0;   // that tag (header, extended header, frames, padding, footer) is [0, tagEnd)
    uint64_t audioEnd = 0; // the appended tags are [audioEnd, size); the audio is [tagEnd, audioEnd)
};

// Reads `length` bytes at `offset` into `out`; false when they cannot all be read.
using ReadAt = std::function<bool(uint64_t offset, size_t length, unsigned char* out)>;

Layout locateTags(const ReadAt& read, uint64_t size);
Layout locateTags(int fd, uint64_t size);
Layout locateTags(std::string_view file);

// One frame of a walked tag: where it lies in the walk's body (its header
// included) and what its header says.
struct FrameSpan {
    size_t at = 0;
    size_t length = 0;
    char id[5] = {};       // "APIC", "PIC", …
    unsigned flags = 0;    // the two flag bytes (v2.3, v2.4); 0 in v2.2
};

struct FrameWalk {
    bool readable = false;  // every check passed
    bool trusted = false;   // the tag's size and layout hold (a refused frame may still make it unreadable)
    std::string problem;
    int version = 0;
    // v2.4: the header says every frame is unsynchronised (kept as it is).
    bool unsynchronised = false;
    size_t emptyFrames = 0;  // frames of size 0, which hold nothing and are left out of `frames`
    // The frames, in order, as they lie in body().
    std::vector<FrameSpan> frames;
    // The tag's frames area as read: after the header and after undoing a
    // v2.2/v2.3 unsynchronisation of the whole tag.
    std::string_view body(std::string_view tag) const {
        return hasPlainBody ? std::string_view(plainBody) : tag.substr(10, bodySize);
    }
    // Where a frame's data lies, its transport encodings (group, encryption
    // method, data length indicator, unsynchronisation, compression) undone;
    // at most `limit` bytes of it. Nothing for an encrypted frame.
    std::string content(std::string_view tag, const FrameSpan& frame, size_t limit) const;

    // Where body() lies: in the tag, or in plainBody once resynchronised.
    size_t bodySize = 0;
    bool hasPlainBody = false;
    std::string plainBody;
};

// Walks the frames of a whole ID3v2 tag (`tag` starts with its header and
// holds at least the size the header gives). The tag is trusted when every
// frame lies inside it and every byte after the last frame up to its end is
// zero; otherwise its size or its layout is wrong and nothing of it may be
// rewritten. With `checkContent`, compressed frames must inflate within
// bounds and no frame may be encrypted. An extended header is skipped by its
// size; when that reading does not hold, by what its flags say, or as
// absent, when exactly one of those holds.
FrameWalk walkFrames(std::string_view tag, bool checkContent = true);

// Unsynchronisation: a zero after every 0xFF followed by a byte of 0xE0 or
// more, by a zero, or at the end.
std::string unsynchronise(std::string_view in);

}  // namespace cantrel::id3
