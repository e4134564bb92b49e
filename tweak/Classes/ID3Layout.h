// Where the tags and the audio of an MP3 file lie, read by bounded code of
// our own: the ID3v2 tag at the start (version, flags, syncsafe size,
// footer) and the tags appended at the end (ID3v1 with its extended block,
// APEv2, Lyrics3 v1 and v2, an appended ID3v2 tag with its footer), each
// checked against the file's size. Only a few bytes at each end are read,
// whatever the file holds.
//
// The frame walk checks the structure of a whole ID3v2 tag before any other
// reader sees it: every frame inside the tag, compressed frames inflating
// within a bound, no encrypted frame.
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

struct FrameWalk {
    bool readable = false;
    std::string problem;
    int version = 0;
    size_t frames = 0;      // frames found
    size_t framesEnd = 0;   // where the last frame ends, counted from the tag's first byte
                            // (in the tag as stored when it is not unsynchronised as a whole)
    // Where each frame lies (offset and length, its header included),
    // counted the same way.
    std::vector<std::pair<size_t, size_t>> spans;
};

// Walks the frames of a whole ID3v2 tag (`tag` starts with its header and
// holds at least the size the header gives). When it is readable and `plain`
// is given, *plain becomes the same frames as a plain tag: no extended
// header, no padding, no footer, and no unsynchronisation of the whole tag.
FrameWalk walkFrames(std::string_view tag, std::string* plain = nullptr);

}  // namespace cantrel::id3
