// The MP3 tag writer: two methods added to the Music app's classes, and the
// file work under them.
//
//   -[UITableView setID3Tags:andTitle:andAlbum:andArtist:andImagePath:]
//       void(NSString* file, NSString* title, NSString* album, NSString* artist,
//            NSString* imagePath)          ("" for no picture)
//       the file keeps only a new ID3v2 tag with title, album, lead artist
//       (UTF-16) and the picture; a file that is not an MP3 gets an alert.
//   -[UITableView / MusicNowPlayingViewController setID3TagArtwork:andImagePath:]
//       NSNumber*(NSString* file, NSString* artworkRelativePath)
//       the file's ID3v2 tag gets the picture from the artwork folder in
//       place of its earlier pictures (front cover, other, and our own);
//       every other frame, as its bytes, and the ID3v1 tag stay. @1 when the
//       file got the picture; @0 when it is not an MP3 or was left as it was
//       (the reason for a person from takeArtworkRefusal()).
//
// The file is read by bounded code of our own (ID3Layout.h): where its
// ID3v2 tag ends and where the tags appended at its end begin, and the
// frames of that tag. A tag that cannot be read within those bounds, whose
// size or layout cannot be trusted, or that claims more than the file holds,
// leaves the file exactly as it was. The export's tag is rendered by
// TagLib; the artwork's keeps the old frames' bytes and adds its own.
//
// A file is rewritten in one pass beside the original (the rendered tag, then
// the audio), with the original's mode and owner; once complete it is
// checked to hold the original's audio byte for byte, synced and renamed
// over the original: a killed process leaves the old file or the new one. A symlink is
// followed: its target is rewritten and the link stays. A file or picture
// that cannot be read, or a file that is read-only, is left exactly as it
// was.
#pragma once

#include <objc/NSObject.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct NSString;
struct NSNumber;

namespace cantrel::id3 {

inline constexpr char kPictureDescription[] = "@brevankl";
inline constexpr int kPictureType = 11;

enum class Outcome {
    Written,   // the file was replaced by its tagged form
    NotMP3,    // the extension is not mp3 (any case); nothing done
    Untouched  // the file or picture could not be read or written; nothing changed
};

// Host paths. `imagePath` empty: no picture.
Outcome writeExportTag(const std::string& path, const std::u16string& title, const std::u16string& album,
                       const std::u16string& artist, const std::string& imagePath, std::string* why = nullptr);
// A new copy of the MP3 file `source` in the folder `folder`, written in one
// pass: a new ID3v2 tag with title, album and lead artist, then the source's
// audio (its own tags left out); a source whose tag cannot be read within
// bounds is copied as it is. The copy appears complete under the first
// free name of nameFor(1), nameFor(2), … (platform::publishNewFile) or not
// at all. Host paths; answers the name taken, or "" (the reason in *why).
std::string writeTaggedCopy(const std::string& source, const std::string& folder,
                            const std::function<std::string(int)>& nameFor, const std::u16string& title,
                            const std::u16string& album, const std::u16string& artist, std::string* why = nullptr);
// When the file is left as it was, *why says so for the log and *forUser
// for a person ("its tag is damaged: …").
Outcome writeArtworkTag(const std::string& path, const std::string& imagePath, std::string* why = nullptr,
                        std::string* forUser = nullptr);

// The tags themselves, rendered in memory, without padding.
// The export's: title, album and lead artist in UTF-16 with a byte-order
// mark, then the picture when there is one.
std::string renderExportTag(const std::u16string& title, const std::u16string& album, const std::u16string& artist,
                            const std::string* jpeg = nullptr);
// The artwork's, in the version of `oldTag` (a whole ID3v2 tag; empty: a
// new ID3v2.3 tag): every frame of it, in order and as the bytes it was, but
// the pictures of types 0 and 3 and those described as ours, frames of size
// 0 and frames marked to be dropped once the tag is altered; then our
// picture. Nothing when the old tag cannot be trusted or read within bounds
// (the reason in *why, and in *forUser for a person).
std::optional<std::string> renderArtworkTag(std::string_view oldTag, std::string_view jpeg, std::string* why = nullptr,
                                            std::string* forUser = nullptr);

// Why the last setID3TagArtwork on this thread left an MP3 file as it was,
// in words for a person; "" when it did not. Reading it clears it.
std::string takeArtworkRefusal();

// Whether a path names an MP3 file by its extension, in any case.
bool hasMP3Extension(const std::string& path);

}  // namespace cantrel::id3

// The added methods' functions (the installation table adds them).
void setID3Tags(id self, SEL _cmd, NSString* filePath, NSString* title, NSString* album, NSString* artist,
                NSString* imagePath);
id setID3TagArtwork(id self, SEL _cmd, NSString* filePath, NSString* imagePath);
