#include "ID3Writer.h"

#include "Cantrel.h"

#include <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <platform/DeviceRoot.h>

#include <id3/tag.h>

#include <algorithm>
#include <bit>
#include <cerrno>
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

bool readWhole(const std::string& path, std::vector<unsigned char>& out) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    out.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(f.fd, out.data() + done, out.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// An MP3 file we may replace: a regular file, readable, with write permission.
bool openForRewrite(const std::string& path, Fd& fd, struct stat& st, std::string* why) {
    fd.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd.fd < 0 || ::fstat(fd.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        fail(why, "cannot read " + path);
        return false;
    }
    // Root may write anything: the permission bits still say read-only.
    if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0) {
        fail(why, "read-only: " + path);
        return false;
    }
    return true;
}

// id3lib renders the tag that `fill` gives its frames into the empty file at
// `path`, without padding or unsynchronisation.
bool renderTag(const char* path, const std::function<void(ID3_Tag&)>& fill) {
    ID3_Tag tag;
    tag.Link(path, static_cast<flags_t>(ID3TT_NONE));
    fill(tag);
    tag.SetPadding(false);
    tag.SetUnsync(false);
    return (tag.Update(ID3TT_ID3V2) & ID3TT_ID3V2) != 0;
}

// Where the audio of an MP3 file lies: after its ID3v2 tag, before every
// appended tag.
std::pair<off_t, off_t> audioRange(const std::string& path, off_t size) {
    ID3_Tag old;
    old.Link(path.c_str(), static_cast<flags_t>(ID3TT_ALL));
    auto from = static_cast<off_t>(old.GetPrependedBytes());
    off_t to = size - static_cast<off_t>(old.GetAppendedBytes());
    return {std::min(from, to), to};
}

// Writes a new file beside the original: id3lib renders the tag that `fill`
// gives its frames into the new, empty file (without padding or
// unsynchronisation), then [from, to) of the original follows. The new file
// takes the original's mode and owner, is synced and renamed over the
// original. On any failure the new file is removed and the original stays.
// (id3lib's Render into memory copies the whole tag through a copy
// constructor that frees with the wrong size; Update on an empty file does
// not copy.)
// A writer holds a lock on its new file while it writes. A new file whose
// lock is free and that has not changed for a minute was left by a writer
// that died (killed, or the device lost power): it is removed before the
// next write of the same file.
constexpr time_t kAbandonedAfterSeconds = 60;

void removeAbandonedFiles(const std::string& dir, const std::string& prefix) {
    std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(dir.c_str()), ::closedir);
    if (!folder) return;
    time_t now = ::time(nullptr);
    while (const dirent* e = ::readdir(folder.get())) {
        std::string name = e->d_name;
        // mkostemp's six characters follow the prefix.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string path = dir + "/" + name;
        Fd f(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (f.fd < 0 || ::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - st.st_mtime < kAbandonedAfterSeconds) continue;
        if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) continue;  // its writer is still at work
        ::unlink(path.c_str());
    }
}

bool replaceFile(const std::string& path, const Fd& original, const struct stat& st,
                 const std::function<void(ID3_Tag&)>& fill, off_t from, off_t to, std::string* why) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string prefix = "." + base + ".id3-";
    removeAbandonedFiles(dir, prefix);
    std::string temp = dir + "/" + prefix + "XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    Fd owned(::mkostemp(name.data(), O_CLOEXEC));
    if (owned.fd < 0) {
        fail(why, "cannot create a file beside " + path);
        return false;
    }
    ::flock(owned.fd, LOCK_EX);  // held until this write ends
    bool ok = renderTag(name.data(), fill);
    Fd out(::open(name.data(), O_WRONLY | O_APPEND | O_CLOEXEC));
    struct stat made {};
    ok = ok && out.fd >= 0 && ::fstat(out.fd, &made) == 0 && made.st_size > 0;
    ok = ok && ::fchmod(out.fd, st.st_mode & 07777) == 0;
    ok = ok && (made.st_uid == st.st_uid && made.st_gid == st.st_gid ? true : ::fchown(out.fd, st.st_uid, st.st_gid) == 0);
    ok = ok && platform::appendFileRange(original.fd, out.fd, from, to);
    ok = ok && ::fsync(out.fd) == 0;
    ok = ok && ::rename(name.data(), path.c_str()) == 0;
    if (!ok) {
        fail(why, "cannot write " + path + ": " + std::strerror(errno));
        ::unlink(name.data());
        return false;
    }
    Fd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd >= 0) ::fsync(folder.fd);
    return true;
}

// id3lib 3.8.3 writes a UTF-16 text field's code units in the machine's
// byte order but labels them with a big-endian byte-order mark (and with the
// field's encoding left at its default it writes nothing at all). Handing it
// the units already swapped on a little-endian machine makes the bytes on
// disk match the mark, which every other reader then decodes intact.
std::vector<unicode_t> unitsForID3Lib(const std::u16string& text) {
    std::vector<unicode_t> units;
    units.reserve(text.size() + 1);
    for (char16_t c : text) {
        auto u = static_cast<unicode_t>(c);
        if constexpr (std::endian::native == std::endian::little) u = static_cast<unicode_t>((u << 8) | (u >> 8));
        units.push_back(u);
    }
    units.push_back(0);
    return units;
}

ID3_Frame* textFrame(ID3_FrameID id, const std::u16string& text) {
    auto* frame = new ID3_Frame(ID3FID_NOFRAME);
    frame->SetID(id);
    frame->GetField(ID3FN_TEXTENC)->Set(static_cast<uint32>(ID3TE_UTF16));
    ID3_Field* field = frame->GetField(ID3FN_TEXT);
    field->SetEncoding(ID3TE_UTF16);
    std::vector<unicode_t> units = unitsForID3Lib(text);
    field->Set(units.data());
    return frame;
}

// The picture frame: JPEG, type 11, our description; the frame's own text
// encoding stays id3lib's default.
ID3_Frame* pictureFrame(const std::vector<unsigned char>& jpeg) {
    auto* frame = new ID3_Frame(ID3FID_NOFRAME);
    frame->SetID(ID3FID_PICTURE);
    frame->GetField(ID3FN_MIMETYPE)->Set("image/jpeg");
    frame->GetField(ID3FN_PICTURETYPE)->Set(static_cast<uint32>(kPictureType));
    frame->GetField(ID3FN_DESCRIPTION)->Set(kPictureDescription);
    frame->GetField(ID3FN_DATA)->Set(jpeg.data(), jpeg.size());
    return frame;
}

// The export tag's frames.
std::function<void(ID3_Tag&)> exportFrames(const std::u16string& title, const std::u16string& album,
                                           const std::u16string& artist, const std::vector<unsigned char>* jpeg) {
    return [&title, &album, &artist, jpeg](ID3_Tag& tag) {
        tag.AttachFrame(textFrame(ID3FID_TITLE, title));
        tag.AttachFrame(textFrame(ID3FID_ALBUM, album));
        tag.AttachFrame(textFrame(ID3FID_LEADARTIST, artist));
        if (jpeg != nullptr) tag.AttachFrame(pictureFrame(*jpeg));
    };
}

bool isOurDescription(ID3_Field* field) {
    if (field == nullptr) return false;
    if (field->GetEncoding() == ID3TE_ISO8859_1 || field->GetEncoding() == ID3TE_UTF8) {
        const char* text = field->GetRawText();
        return text != nullptr && std::strcmp(text, kPictureDescription) == 0;
    }
    const unicode_t* units = field->GetRawUnicodeText();
    if (units == nullptr) return false;
    // Either byte order (see unitsForID3Lib).
    size_t n = std::strlen(kPictureDescription);
    bool same = true, swapped = true;
    for (size_t i = 0; i <= n; ++i) {
        auto want = static_cast<unicode_t>(static_cast<unsigned char>(kPictureDescription[i]));
        if (units[i] != want) same = false;
        if (units[i] != static_cast<unicode_t>(want << 8)) swapped = false;
        if (!same && !swapped) return false;
    }
    return true;
}

// A picture frame this writer replaces: other (0), front cover (3), the
// writer's own type (11), or one carrying the writer's description.
bool isReplacedPicture(ID3_Frame* frame) {
    if (frame->GetID() != ID3FID_PICTURE) return false;
    ID3_Field* type = frame->GetField(ID3FN_PICTURETYPE);
    uint32 t = type ? type->Get() : 0;
    return t == 0 || t == 3 || t == static_cast<uint32>(kPictureType) || isOurDescription(frame->GetField(ID3FN_DESCRIPTION));
}

}  // namespace

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
    Fd original(-1);
    struct stat st {};
    if (!openForRewrite(path, original, st, why)) return Outcome::Untouched;
    std::vector<unsigned char> jpeg;
    if (!imagePath.empty() && !readWhole(imagePath, jpeg)) {
        fail(why, "cannot read the picture " + imagePath);
        return Outcome::Untouched;
    }
    auto [from, to] = audioRange(path, st.st_size);
    return replaceFile(path, original, st, exportFrames(title, album, artist, imagePath.empty() ? nullptr : &jpeg), from,
                       to, why)
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
    auto [from, to] = audioRange(source, st.st_size);
    auto frames = exportFrames(title, album, artist, nullptr);
    std::string name = platform::publishNewFile(
        folder,
        [&](const std::string& path, int fd) {
            return renderTag(path.c_str(), frames) && ::lseek(fd, 0, SEEK_END) > 0 && ::fchmod(fd, 0644) == 0 &&
                   platform::appendFileRange(in.fd, fd, from, to);
        },
        nameFor);
    if (name.empty()) fail(why, "cannot write a copy of " + source + " in " + folder + ": " + std::strerror(errno));
    return name;
}

Outcome writeArtworkTag(const std::string& path, const std::string& imagePath, std::string* why) {
    if (!hasMP3Extension(path)) return Outcome::NotMP3;
    Fd original(-1);
    struct stat st {};
    if (!openForRewrite(path, original, st, why)) return Outcome::Untouched;
    std::vector<unsigned char> jpeg;
    if (!readWhole(imagePath, jpeg)) {
        fail(why, "cannot read the picture " + imagePath);
        return Outcome::Untouched;
    }
    // Only the ID3v2 tag is read and replaced; what follows it (the audio,
    // an ID3v1 tag and other appended tags) is kept as it is.
    ID3_Tag tag;
    tag.Link(path.c_str(), static_cast<flags_t>(ID3TT_ID3V2));
    auto from = std::min(static_cast<off_t>(tag.GetPrependedBytes()), st.st_size);

    // The kept frames move to the new tag as they are (no copy), in order.
    std::vector<ID3_Frame*> frames;
    {
        ID3_Tag::Iterator* it = tag.CreateIterator();
        while (ID3_Frame* frame = it->GetNext()) frames.push_back(frame);
        // id3lib hands out a derived iterator whose base has no virtual
        // destructor, so `delete it` would free it as the wrong type. Its
        // destructor does nothing: release the memory only.
        ::operator delete(static_cast<void*>(it));
    }
    std::vector<std::unique_ptr<ID3_Frame>> kept;
    for (ID3_Frame* frame : frames) {
        std::unique_ptr<ID3_Frame> owned(tag.RemoveFrame(frame));
        if (owned && !isReplacedPicture(owned.get())) kept.push_back(std::move(owned));
    }
    auto fill = [&](ID3_Tag& out) {
        for (auto& frame : kept) out.AttachFrame(frame.release());
        out.AttachFrame(pictureFrame(jpeg));
    };
    return replaceFile(path, original, st, fill, from, st.st_size, why) ? Outcome::Written : Outcome::Untouched;
}

}  // namespace cantrel::id3

namespace {

std::u16string utf16(NSString* s) { return s ? s->utf16() : std::u16string(); }

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
            std::string why;
            if (path.empty() || imageHost.empty() ||
                cantrel::id3::writeArtworkTag(path, imageHost, &why) != cantrel::id3::Outcome::Written)
                NSLog("** Cantrel ** setID3TagArtwork: file left as it was: %s", why.c_str());
        }
    } catch (NSException* e) {
        NSLog("** Cantrel EXCEPTION: setID3TagArtwork: %@", objc_msgSend<id()>(e, "reason"_sel));
    }
    CLog("setID3TagArtwork END");
    return NSNumber::withLongLong(result);
}
