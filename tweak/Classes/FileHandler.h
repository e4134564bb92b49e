// FileHandler: the export button's work. Class methods only, no state:
//
//   +exportAlbum:andType:              void(id entry, int viewIndex)
//       shows the "Preparing Track(s)" badge and copies the entry's track (a
//       song, or a row of the flipside album view) or its collection's
//       tracks into the export folder on a background queue, tags the
//       copies, zips a multi-track export and offers the result in the share
//       sheet. Nothing copied: "Export failed" and no sheet.
//   +sanitizeFileNameString:           id(id)     one safe path component
//   +createInitialSharingFolder:       id(BOOL)   the export folder, or a new
//                                                 UUID folder in it (YES)
//   +checkAndCreateFolder:             BOOL(id)   exists, or made now
//   +zipFolder:                        id(id)     "<folder>.zip"; nil when
//                                                 the archive failed (removed)
//
// Layout under var/mobile/Media/general_storage/Cantrel:
//   single track   <title>.<ext>
//   album/artist   <UUID>/<album artist>/<album title>/<title>.<ext>
//   playlist       <UUID>/<playlist name> - Playlist/<title>.<ext>
// and the archive <UUID>.zip beside a multi-track export's folder. Every
// component is made safe (safeComponent); a taken name gets " (2)", " (3)" …
// before its extension, claimed by exclusive create, so nothing is ever
// overwritten.
//
// A multi-track export is built in the hidden folder ".<UUID>" (and its
// archive as ".<UUID>.zip"), with every file made durable in one pass at the
// end; only then are both renamed to their names. A single track's copy is
// made durable before it is named. An export that shares nothing leaves
// nothing behind. Share sheets show one at a time: a sheet that is ready
// while another is open waits until that one ends.
#pragma once

#include <objc/NSObject.h>

#include <string>
#include <string_view>
#include <unordered_map>

struct FileHandler : NSObject {
    OBJC_CLASS(FileHandler)
};

void registerFileHandler();

// Whether every export started from the button has reached its share step
// (main thread; for hosts and tests).
extern "C" __attribute__((visibility("default"))) bool Cantrel_exportsIdle();

namespace cantrel::exporting {

// The export folder, a device path.
inline constexpr char kExportFolder[] = "var/mobile/Media/general_storage/Cantrel";
inline constexpr char kUnknownArtist[] = "Unknown Artist";
inline constexpr char kUnknownAlbum[] = "Unknown Album";
inline constexpr char kUntitled[] = "Untitled";

// One path component made from a library name: the characters / \ ? % * | "
// < > and control characters removed; "", "." and ".." become the
// placeholder; a leading "." becomes "_"; cut (on a UTF-8 character
// boundary) to at most 255 - reserve bytes.
std::string safeComponent(std::string_view name, std::string_view placeholder, size_t reserve = 0);

// Removes what exports ended before they finished left in the export
// folder (their working folders and temporary files); at start.
void removeLeftovers();

// The export copy's ID3 tag.
struct Tags {
    std::u16string title, album, artist;
};

// The names one export has claimed: for each folder and name, the suffix
// to offer next, so that many alike titles take their names in one try each.
struct NameClaims {
    std::unordered_map<std::string, int> next;
};

// Copies the device file `source` into the device folder `folder` (which
// must lie in the export folder) as "<title>.<source's extension>", taking
// the first free name. With `tags` (an MP3) the copy is written with that
// tag in the same pass, else through the file manager's copyItemAtURL:.
// Answers the new file's device path, or "" (with the reason in *why) when
// nothing was copied. A copy appears only once whole: a failed one leaves
// no file. With `claims`, the names taken before through the same claims
// are not tried again.
std::string copyInto(const std::string& folder, std::string_view title, const std::string& source,
                     std::string* why = nullptr, const Tags* tags = nullptr, NameClaims* claims = nullptr);

// Writes "<folder>.zip" of the regular files under the device folder, named
// by their paths relative to it; the archive appears only once whole and
// never replaces a file. Answers the archive's device path, or "" when any
// file or the archive failed (nothing is then left).
std::string zipFolder(const std::string& folder);

// The folder of a playlist's export: "<name> - Playlist", the name made a
// safe component and cut so that the whole stays within 255 bytes.
std::string playlistFolderName(std::string_view playlistName);

}  // namespace cantrel::exporting
