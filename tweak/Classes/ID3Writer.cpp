#include "ID3Writer.h"

#include "Cantrel.h"
#include "ID3Layout.h"

#include <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <MediaPlayer/MediaLibrary.h>
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>

#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace cantrel::id3 {
namespace {

constexpr char kArtworkFolder[] = "//var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals";
// The largest picture put into a tag.
constexpr size_t kMaxPictureBytes = 64u << 20;

void fail(std::string* why, const std::string& text) {
    if (why) *why = text;
}

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool readAt(int fd, char* out, size_t length, off_t offset) {
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, out + done, length - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool readWhole(const std::string& path, std::string& out, size_t maxBytes) {
    // A FIFO or a device in the picture's place answers at once.
    Fd f(platform::openDeviceFile(path));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxBytes)
        return false;
    out.resize(static_cast<size_t>(st.st_size));
    return readAt(f.fd, out.data(), out.size(), 0);
}

// Whether the file open at `fd` is exactly `tagSize` bytes of tag followed by
// bytes [from, to) of `original`.
bool holdsAudio(int fd, size_t tagSize, int original, off_t from, off_t to) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size != static_cast<off_t>(tagSize) + (to - from)) return false;
    // Chunks that stay in the processor's cache between the reads and the
    // comparison; not cleared, as every byte compared was read.
    constexpr size_t kChunk = 128 << 10;
    std::unique_ptr<char[]> a(new char[kChunk]), b(new char[kChunk]);
    for (off_t at = from; at < to;) {
        size_t n = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(kChunk), to - at));
        if (!readAt(original, a.get(), n, at) || !readAt(fd, b.get(), n, at - from + static_cast<off_t>(tagSize)) ||
            std::memcmp(a.get(), b.get(), n) != 0)
            return false;
        at += static_cast<off_t>(n);
    }
    return true;
}

// A song's file, open for a rewrite: the folder it is replaced in (opened
// beneath the device root), its name there, and the original open for
// reading.
struct Song {
    platform::DeviceFolder folder;
    std::string name;
    std::string path;  // host path, for messages
    Fd fd{-1};
    struct stat st {};
};

// Whether a resolved host path lies where the library keeps songs: inside
// the media folder, outside its own database and artwork folder.
bool inSongFolders(const std::string& real) {
    std::string media = platform::devicePath(platform::mediaFolderDevicePath());
    char resolved[PATH_MAX];
    if (media.empty() || ::realpath(media.c_str(), resolved) == nullptr) return false;
    std::string base = std::string(resolved) + "/";
    std::string own = base + "iTunes_Control/iTunes/";
    return real.compare(0, base.size(), base) == 0 && real.compare(0, own.size(), own) != 0;
}

// Opens the song at `path` for a rewrite. A symlink is rewritten in its
// target's place (the link stays) only when that target is itself a regular
// .mp3 file where the library keeps songs; a FIFO, a device or a folder is
// refused at once. An MP3 we may replace must be readable and writable.
// *forUser says in plain words why the song cannot be rewritten.
bool openSong(const std::string& path, Song& song, std::string* why, const char** forUser = nullptr) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        fail(why, "cannot read " + path);
        return false;
    }
    song.path = path;
    song.name = path.substr(slash + 1);
    platform::Status s = platform::DeviceFolder::open(path.substr(0, slash), song.folder);
    struct stat link {};
    if (s.ok()) s = song.folder.statName(song.name, link);
    if (s.ok() && S_ISLNK(link.st_mode)) {
        // The kernel resolves the link beneath the root; what it opened is
        // where the rewrite goes.
        Fd target(platform::openInsideRoot(path, O_RDONLY | O_NONBLOCK | O_NOCTTY));
        char proc[64], real[PATH_MAX];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", target.fd);
        ssize_t n = target.fd < 0 ? -1 : ::readlink(proc, real, sizeof real - 1);
        struct stat st {};
        std::string resolved = n > 0 ? std::string(real, static_cast<size_t>(n)) : std::string();
        if (resolved.empty() || ::fstat(target.fd, &st) != 0 || !S_ISREG(st.st_mode) || !hasMP3Extension(resolved) ||
            !inSongFolders(resolved)) {
            fail(why, "a symlink that does not lead to an MP3 file among the songs: " + path);
            if (forUser) *forUser = "it is a link that does not lead to a music file of the library";
            return false;
        }
        slash = resolved.rfind('/');
        song.path = resolved;
        song.name = resolved.substr(slash + 1);
        s = platform::DeviceFolder::open(resolved.substr(0, slash), song.folder);
    }
    int fd = -1;
    if (s.ok()) s = song.folder.openRead(song.name, fd, &song.st);
    song.fd.fd = fd;
    if (!s.ok()) {
        fail(why, s.message());
        if (forUser) *forUser = "it is not a plain file that can be read";
        return false;
    }
    // Root may write anything: the permission bits still say read-only.
    if ((song.st.st_mode & 0222) == 0 || ::faccessat(song.folder.fd(), song.name.c_str(), W_OK, AT_SYMLINK_NOFOLLOW) != 0) {
        fail(why, "read-only: " + song.path);
        if (forUser) *forUser = "the file is read-only";
        return false;
    }
    return true;
}

// Where the tags of the file open at `fd` lie; false (the reason in *why)
// when a tag cannot be read within bounds.
bool locate(int fd, off_t size, const std::string& path, Layout& layout, std::string* why) {
    layout = locateTags(fd, static_cast<uint64_t>(size));
    if (!layout.readable) fail(why, path + ": " + layout.problem);
    return layout.readable;
}

// The ID3v2 tag at the start of the file open at `fd`, of at most
// kMaxTagBytes; false (the reason in *why) when it is larger or cannot be read.
bool readTag(int fd, const Layout& layout, const std::string& path, std::string& tag, std::string* why) {
    if (layout.tagEnd > kMaxTagBytes) {
        fail(why, path + ": an ID3v2 tag of " + std::to_string(layout.tagEnd) + " bytes");
        return false;
    }
    tag.assign(static_cast<size_t>(layout.tagEnd), '\0');
    if (!readAt(fd, tag.data(), tag.size(), 0)) {
        fail(why, "cannot read " + path);
        return false;
    }
    return true;
}

// Whether the ID3v2 tag at the start of the file open at `fd` (if any) ends
// where its size says: every frame inside it and zeros after the last.
// Otherwise the bytes its size covers may hold audio, which a new tag in
// its place would lose.
bool trusted(int fd, const Layout& layout, const std::string& path, std::string* why) {
    std::string tag;
    if (layout.version == 0) return true;
    if (!readTag(fd, layout, path, tag, why)) return false;
    FrameWalk walk = walkFrames(tag, false);
    if (!walk.trusted) fail(why, path + ": the ID3v2 tag cannot be trusted: " + walk.problem);
    return walk.trusted;
}

// Writes a new file beside the original: `tag`, then [from, to) of the
// original. The new file takes the original's mode and owner, is checked to
// hold the original's bytes, synced and renamed over the original, which
// must still be the file that was read (same file, size and change time).
// On any failure the new file goes and the original stays. The new file has
// no name until it replaces the original, so an interrupted write leaves
// nothing behind.
bool replaceFile(const Song& song, const std::string& tag, off_t from, off_t to, std::string* why) {
    const struct stat& st = song.st;
    platform::sweepTemporaries(song.folder.path());
    platform::NewFile out;
    if (platform::Status s = song.folder.createFile(out); !s.ok()) {
        fail(why, s.message());
        return false;
    }
    struct stat made {};
    bool written = writeAll(out.fd(), tag) && ::fstat(out.fd(), &made) == 0 && ::fchmod(out.fd(), st.st_mode & 07777) == 0 &&
                   (made.st_uid == st.st_uid && made.st_gid == st.st_gid ? true
                                                                         : ::fchown(out.fd(), st.st_uid, st.st_gid) == 0) &&
                   platform::appendFileRange(song.fd.fd, out.fd(), from, to, true);
    // The disk writes the new file while it is copied and read back.
    if (written) ::sync_file_range(out.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    bool whole = written && holdsAudio(out.fd(), tag.size(), song.fd.fd, from, to);
    if (!whole || ::fsync(out.fd()) != 0) {
        fail(why, "cannot write " + song.path + ": " +
                      (written && !whole ? "the new file does not hold the original's audio" : std::strerror(errno)));
        return false;
    }
    struct stat now {};
    if (!song.folder.statName(song.name, now).ok() || now.st_dev != st.st_dev || now.st_ino != st.st_ino ||
        now.st_size != st.st_size || now.st_mtim.tv_sec != st.st_mtim.tv_sec ||
        now.st_mtim.tv_nsec != st.st_mtim.tv_nsec) {
        fail(why, "cannot write " + song.path + ": the file changed while it was rewritten");
        return false;
    }
    if (platform::Status s = out.replace(song.name); !s.ok()) {
        fail(why, s.message());
        return false;
    }
    return true;
}

// A frame holds well-formed UTF-16: a lone surrogate (a byte the name keeps
// outside well-formed UTF-8 reads as one) is written as U+FFFD.
TagLib::String taglibString(const std::u16string& text) {
    TagLib::ByteVector units(static_cast<unsigned int>(text.size() * 2), '\0');
    char* out = units.data();
    auto high = [](char16_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto low = [](char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool paired = (high(c) && i + 1 < text.size() && low(text[i + 1])) || (low(c) && i > 0 && high(text[i - 1]));
        if ((high(c) || low(c)) && !paired) c = 0xFFFD;
        *out++ = static_cast<char>(c >> 8);
        *out++ = static_cast<char>(c & 0xFF);
    }
    return TagLib::String(units, TagLib::String::UTF16BE);
}

TagLib::ID3v2::Frame* textFrame(const char* id, const std::u16string& text) {
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(TagLib::ByteVector(id, 4), TagLib::String::UTF16);
    frame->setText(taglibString(text));
    return frame;
}

bool setTagSize(std::string& tag, std::string* why) {
    size_t body = tag.size() - 10;
    if (body > 0x0FFFFFFFu) {
        fail(why, "the new tag would be too large");
        return false;
    }
    for (int i = 0; i < 4; ++i) tag[6 + i] = static_cast<char>((body >> (7 * (3 - i))) & 0x7F);
    return true;
}

// Where the frames of a tag rendered by TagLib (no extended header, no
// unsynchronisation) end: its padding starts there.
size_t framesEnd(const FrameWalk& walk) {
    return 10 + (walk.frames.empty() ? 0 : walk.frames.back().at + walk.frames.back().length);
}

// TagLib's rendering without its padding: the tag ends with its last frame.
std::string withoutPadding(const TagLib::ByteVector& rendered, std::string* why) {
    std::string_view bytes(rendered.data(), rendered.size());
    FrameWalk walk = walkFrames(bytes);
    if (!walk.readable) {
        fail(why, "the new tag cannot be written: " + walk.problem);
        return "";
    }
    std::string out(bytes.substr(0, framesEnd(walk)));
    return setTagSize(out, why) ? out : "";
}

// Our picture frame in an ID3v2 tag of `version`: JPEG, type 11, our
// description in ISO-8859-1. In a v2.4 tag whose frames are all
// unsynchronised it is unsynchronised too. Empty when the picture does not
// fit the version's frame size.
std::string pictureFrame(int version, std::string_view jpeg, bool unsynchronised = false) {
    std::string data = std::string(1, '\0') + (version == 2 ? std::string("JPG") : std::string("image/jpeg") + '\0') +
                       static_cast<char>(kPictureType) + kPictureDescription + '\0';
    data.append(jpeg);
    if (unsynchronised) data = unsynchronise(data);
    uint64_t size = data.size();
    std::string header;
    if (version == 2) {
        if (size > 0xFFFFFFu) return "";
        header = "PIC";
        for (int i = 2; i >= 0; --i) header.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    } else {
        if (size > (version == 4 ? 0x0FFFFFFFu : 0xFFFFFFFFu)) return "";
        header = "APIC";
        for (int i = 3; i >= 0; --i)
            header.push_back(static_cast<char>(version == 4 ? (size >> (7 * i)) & 0x7F : (size >> (8 * i)) & 0xFF));
        header += std::string{'\0', static_cast<char>(unsynchronised ? 0x02 : 0x00)};
    }
    return header + data;
}

// Whether `text` (in an ID3 text encoding, ending with its terminator)
// begins with our description; UTF-16 in either byte order, with or
// without a byte-order mark.
bool startsWithOurDescription(std::string_view text, int encoding) {
    std::string_view ours = kPictureDescription;
    size_t n = ours.size();
    if (encoding == 0 || encoding == 3) return text.size() > n && text.substr(0, n) == ours && text[n] == '\0';
    if (encoding != 1 && encoding != 2) return false;
    if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF')))
        text.remove_prefix(2);
    if (text.size() < 2 * n + 2 || text[2 * n] != '\0' || text[2 * n + 1] != '\0') return false;
    for (int high : {0, 1}) {
        bool same = true;
        for (size_t i = 0; i < n && same; ++i)
            same = text[2 * i + high] == '\0' && text[2 * i + 1 - high] == ours[i];
        if (same) return true;
    }
    return false;
}

// A picture frame the artwork write replaces: other (0), front cover (3), or
// one described as ours in whatever encoding.
bool isReplacedPicture(std::string_view tag, const FrameWalk& walk, const FrameSpan& frame) {
    if (std::string_view(frame.id) != (walk.version == 2 ? "PIC" : "APIC")) return false;
    // Encoding, MIME type (or v2.2's format), type and description come first.
    std::string data = walk.content(tag, frame, 512);
    if (data.empty()) return false;
    size_t typeAt = walk.version == 2 ? 4 : data.find('\0', 1) + 1;
    if (typeAt == 0 || typeAt >= data.size()) return false;
    int type = static_cast<unsigned char>(data[typeAt]);
    return type == 0 || type == 3 || startsWithOurDescription(std::string_view(data).substr(typeAt + 1), data[0]);
}

// Frames marked to be dropped once the tag is altered.
bool droppedOnChange(const FrameWalk& walk, const FrameSpan& frame) {
    return walk.version == 3 ? (frame.flags & 0x8000) != 0 : walk.version == 4 && (frame.flags & 0x4000) != 0;
}

}  // namespace

std::string renderExportTag(const std::u16string& title, const std::u16string& album, const std::u16string& artist,
                            const std::string* jpeg) {
    TagLib::ID3v2::Tag tag;
    tag.addFrame(textFrame("TIT2", title));
    tag.addFrame(textFrame("TALB", album));
    tag.addFrame(textFrame("TPE1", artist));
    std::string out = withoutPadding(tag.render(TagLib::ID3v2::v3), nullptr);
    if (out.empty() || jpeg == nullptr) return out;
    std::string picture = pictureFrame(3, *jpeg);
    if (picture.empty()) return "";
    out += picture;
    return setTagSize(out, nullptr) ? out : "";
}

std::optional<std::string> renderArtworkTag(std::string_view oldTag, std::string_view jpeg, std::string* why,
                                            std::string* forUser) {
    // A file without a tag gets one of our picture alone.
    int version = 3;
    bool unsynchronised = false;
    std::string out = std::string("ID3\x03\x00\x00", 6) + std::string(4, '\0');
    if (!oldTag.empty()) {
        FrameWalk walk = walkFrames(oldTag);
        if (!walk.readable) {
            fail(why, "the ID3v2 tag cannot be read: " + walk.problem);
            fail(forUser, walk.trusted ? "its tag holds encrypted or compressed parts that cannot be checked safely"
                                       : "its tag is damaged: its size does not match what it holds, so rewriting it "
                                         "could cut into the music");
            return std::nullopt;
        }
        // The same version; a v2.4 tag whose frames are all unsynchronised
        // says so again. The rest of the header (an extended header, a
        // footer, a v2.2/v2.3 unsynchronisation of the whole tag) is not kept.
        version = walk.version;
        unsynchronised = walk.unsynchronised;
        out[3] = static_cast<char>(version);
        out[5] = static_cast<char>(unsynchronised ? 0x80 : 0x00);
        std::string_view body = walk.body(oldTag);
        out.reserve(out.size() + body.size() + jpeg.size() + 64);
        // Every other frame as the bytes it was, in its order; frames that
        // lie one after the other are copied together.
        size_t runStart = 0, runEnd = 0;
        for (const FrameSpan& frame : walk.frames) {
            if (droppedOnChange(walk, frame) || isReplacedPicture(oldTag, walk, frame)) continue;
            if (frame.at != runEnd) {
                out.append(body.substr(runStart, runEnd - runStart));
                runStart = frame.at;
            }
            runEnd = frame.at + frame.length;
        }
        out.append(body.substr(runStart, runEnd - runStart));
    }
    std::string picture = pictureFrame(version, jpeg, unsynchronised);
    if (picture.empty()) {
        fail(why, "the picture is too large for the file's ID3v2." + std::to_string(version) + " tag");
        fail(forUser, "the picture is too large for the old kind of tag the file has");
        return std::nullopt;
    }
    out += picture;
    if (!setTagSize(out, why)) {
        fail(forUser, "its tag with the picture would be too large");
        return std::nullopt;
    }
    return out;
}

bool hasMP3Extension(const std::string& path) {
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) return false;
    std::string ext = path.substr(dot + 1);
    return ext.size() == 3 && (ext[0] | 0x20) == 'm' && (ext[1] | 0x20) == 'p' && ext[2] == '3';
}

Outcome writeExportTag(const std::string& path, const std::u16string& title, const std::u16string& album,
                       const std::u16string& artist, const std::string& imagePath, std::string* why) {
    if (!hasMP3Extension(path)) return Outcome::NotMP3;
    Song song;
    if (!openSong(path, song, why)) return Outcome::Untouched;
    const Fd& original = song.fd;
    const struct stat& st = song.st;
    const std::string& target = song.path;
    std::string jpeg;
    if (!imagePath.empty() && !readWhole(imagePath, jpeg, kMaxPictureBytes)) {
        fail(why, "cannot read the picture " + imagePath);
        return Outcome::Untouched;
    }
    Layout layout;
    if (!locate(original.fd, st.st_size, target, layout, why) || !trusted(original.fd, layout, target, why))
        return Outcome::Untouched;
    std::string tag = renderExportTag(title, album, artist, imagePath.empty() ? nullptr : &jpeg);
    if (tag.empty()) {
        fail(why, "the new tag cannot be written");
        return Outcome::Untouched;
    }
    return replaceFile(song, tag, static_cast<off_t>(layout.tagEnd), static_cast<off_t>(layout.audioEnd), why)
               ? Outcome::Written
               : Outcome::Untouched;
}

std::string writeTaggedCopy(const std::string& source, const std::string& folder,
                            const std::function<std::string(int)>& nameFor, const std::u16string& title,
                            const std::u16string& album, const std::u16string& artist, std::string* why) {
    Fd in(platform::openDeviceFile(source));
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0) {
        fail(why, "cannot read " + source + ": " + std::strerror(errno));
        return "";
    }
    // A tag that cannot be read: the file is copied as it is.
    std::string tag;
    off_t from = 0, to = st.st_size;
    std::string problem;
    Layout layout;
    if (locate(in.fd, st.st_size, source, layout, &problem) && trusted(in.fd, layout, source, &problem)) {
        tag = renderExportTag(title, album, artist);
        from = static_cast<off_t>(layout.tagEnd);
        to = static_cast<off_t>(layout.audioEnd);
    } else {
        NSLog("** Cantrel ** export: copied without a new tag: %s", problem.c_str());
    }
    std::string name = platform::publishNewFile(
        folder,
        [&](const std::string&, int fd) {
            return writeAll(fd, tag) && ::fchmod(fd, 0644) == 0 && platform::appendFileRange(in.fd, fd, from, to);
        },
        nameFor);
    if (name.empty()) fail(why, "cannot write a copy of " + source + " in " + folder + ": " + std::strerror(errno));
    return name;
}

Outcome writeArtworkTag(const std::string& path, const std::string& imagePath, std::string* why,
                        std::string* forUser) {
    if (!hasMP3Extension(path)) return Outcome::NotMP3;
    auto untouched = [&](const char* reason) {
        if (forUser) *forUser = reason;
        return Outcome::Untouched;
    };
    Song song;
    const char* unopened = "the file cannot be read";
    if (!openSong(path, song, why, &unopened)) return untouched(unopened);
    const Fd& original = song.fd;
    const struct stat& st = song.st;
    const std::string& target = song.path;
    std::string jpeg;
    if (!readWhole(imagePath, jpeg, kMaxPictureBytes)) {
        fail(why, "cannot read the picture " + imagePath);
        return untouched("the new picture could not be read");
    }
    // Only the ID3v2 tag is read and replaced; what follows it (the audio,
    // an ID3v1 tag and other appended tags) is kept as it is.
    Layout layout;
    if (!locate(original.fd, st.st_size, target, layout, why)) return untouched("its tag is damaged");
    std::string old;
    if (!readTag(original.fd, layout, target, old, why))
        return untouched(layout.tagEnd > kMaxTagBytes ? "its tag is larger than 32 MB" : "the file cannot be read");
    std::optional<std::string> tag = renderArtworkTag(old, jpeg, why, forUser);
    if (!tag) {
        if (why) *why = target + ": " + *why;
        return Outcome::Untouched;
    }
    if (!replaceFile(song, *tag, static_cast<off_t>(layout.tagEnd), st.st_size, why))
        return untouched("the file could not be rewritten (the disk may be full)");
    return Outcome::Written;
}

}  // namespace cantrel::id3

namespace {
std::string& artworkRefusal();
}

std::string cantrel::id3::takeArtworkRefusal() { return std::exchange(artworkRefusal(), std::string()); }

namespace {

std::u16string utf16(NSString* s) { return s ? s->utf16() : std::u16string(); }

std::string& artworkRefusal() {
    thread_local std::string reason;
    return reason;
}

NSString* extensionOf(NSString* path) { return objc_msgSend<NSString*()>(path, "pathExtension"_sel); }

void logNotMP3(NSString* filePath) {
    CLog("setID3TagArtwork Cannot set ID3Tag - Not dealing with MP3 file... filepath: %@, [ext lowercaseString]: %@",
         filePath, objc_msgSend<NSString*()>(extensionOf(filePath), "lowercaseString"_sel));
}

// The alert for a file whose type cannot be tagged, on the main thread.
void showNotMP3Alert(NSString* extension) {
    Strong<NSString> message(NSStringWithFormat("ID3Tags metadata from tracks of type %@ cannot be edited!", extension));
    dispatch_async(dispatch_get_main_queue(), [message] {
        id alert = objc_msgSend<id()>(objc_getClass("UIAlertView"), "alloc"_sel);
        alert = objc_msgSend<id(id, id, id, id, id)>(alert,
                                                     "initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:"_sel,
                                                     "Failed to change ID3Tags metadata"_ns, message.get(), nil, "OK"_ns, nil);
        objc_msgSend<void()>(alert, "show"_sel);
        objc_release(alert);
    });
}

}  // namespace

void setID3Tags(id, SEL, NSString* filePath, NSString* title, NSString* album, NSString* artist, NSString* imagePath) {
    CLog("\r\nsetID3Tags on item: %@ \r\n- START..............................", filePath);
    try {
        std::string path = platform::devicePath(to_string(filePath));
        if (!cantrel::id3::hasMP3Extension(to_string(filePath))) {
            logNotMP3(filePath);
            showNotMP3Alert(extensionOf(filePath));
        } else {
            std::string image = to_string(imagePath).empty() ? "" : platform::devicePath(to_string(imagePath));
            std::string why;
            if (path.empty() || (!to_string(imagePath).empty() && image.empty()) ||
                cantrel::id3::writeExportTag(path, utf16(title), utf16(album), utf16(artist), image, &why) !=
                    cantrel::id3::Outcome::Written)
                NSLog("** Cantrel ** setID3Tags: file left as it was: %s", why.c_str());
        }
    } catch (NSException* e) {
        NSLog("** Cantrel EXCEPTION: setID3Tags: %@", objc_msgSend<id()>(e, "reason"_sel));
    }
    CLog("title after: %@, album after: %@, artist after: %@, imagePath after: %@", title, album, artist, imagePath);
}

id setID3TagArtwork(id, SEL, NSString* filePath, NSString* imagePath) {
    int result = 1;
    std::string& refusal = artworkRefusal();
    refusal.clear();
    try {
        if (!cantrel::id3::hasMP3Extension(to_string(filePath))) {
            logNotMP3(filePath);
            result = 0;
        } else {
            NSString* image = objc_msgSend<NSString*(id)>(NSString::make(cantrel::id3::kArtworkFolder),
                                                          "stringByAppendingPathComponent:"_sel, imagePath);
            CLog("\r\n setID3TagArtwork on item: %@, image: %@ \r\n- START..............................", filePath,
                 image);
            std::string path = platform::devicePath(to_string(filePath));
            std::string imageHost = platform::devicePath(to_string(image));
            std::string why = "a path outside the device";
            std::string forUser = "it lies outside the music library";
            if (path.empty() || imageHost.empty() ||
                cantrel::id3::writeArtworkTag(path, imageHost, &why, &forUser) != cantrel::id3::Outcome::Written) {
                NSLog("** Cantrel ** setID3TagArtwork: file left as it was: %s", why.c_str());
                refusal = forUser;
                result = 0;
            }
        }
    } catch (NSException* e) {
        NSLog("** Cantrel EXCEPTION: setID3TagArtwork: %@", objc_msgSend<id()>(e, "reason"_sel));
        refusal = "an unexpected error stopped the write";
        result = 0;
    }
    CLog("setID3TagArtwork END");
    return NSNumber::withLongLong(result);
}
