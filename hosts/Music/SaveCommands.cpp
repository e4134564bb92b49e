// Commands around saving the edit sheet: hand the sheet a picture as the
// photo library would, print a device file's ID3 frames as TagLib reads them,
// and print an item's row values.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <attachedpictureframe.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <ostream>

namespace host {
namespace {

// As a pick in the photo library, the whole way: the sheet's artwork tapped,
// "Browse Photo library" chosen in the picture menu, the picture picked; the
// sheet reopens for the same record with the picture and the stars as they were.
bool pickimage(Context& c, const std::vector<std::string>& args) {
    if (openPanel() == nil) {
        *c.err << "pickimage: no edit sheet is open\n";
        return false;
    }
    id image = readPicture(c, "pickimage", args[0]);
    if (image == nil) return false;
    return tapArtwork(c, "pickimage", false) && chooseMenuEntry(c, "Browse Photo library", "pickimage") &&
           finishPhotoPicker(c, image, "pickimage");
}

std::string utf8(const TagLib::String& s) { return s.to8Bit(true); }

bool tags(Context& c, const std::vector<std::string>& args) {
    std::string path = platform::devicePath(args[0]);
    if (path.empty() || !std::filesystem::is_regular_file(path)) {
        *c.err << "tags: no file '" << args[0] << "'\n";
        return false;
    }
    TagLib::MPEG::File f(path.c_str(), false);
    if (!f.isValid()) {
        *c.err << "tags: not an MPEG file '" << args[0] << "'\n";
        return false;
    }
    if (TagLib::ID3v2::Tag* v2 = f.hasID3v2Tag() ? f.ID3v2Tag() : nullptr) {
        for (auto* frame : v2->frameList()) {
            std::string id(frame->frameID().data(), frame->frameID().size());
            if (auto* pic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame)) {
                *c.out << printable(id) << " type=" << static_cast<int>(pic->type())
                       << " mime=" << printable(utf8(pic->mimeType()))
                       << " description=" << printable(utf8(pic->description())) << " bytes=" << pic->picture().size()
                       << "\n";
            } else {
                *c.out << printable(id) << " " << printable(utf8(frame->toString())) << "\n";
            }
        }
    } else {
        *c.out << "no ID3v2 tag\n";
    }
    if (f.hasID3v1Tag()) *c.out << "ID3v1 title=" << printable(utf8(f.ID3v1Tag()->title())) << "\n";
    return true;
}

bool db(Context& c, const std::vector<std::string>& args) {
    // Persistent ids are unsigned 64-bit numbers; the file stores them signed.
    long long pid = 0;
    errno = 0;
    char* end = nullptr;
    const std::string& a = args[0];
    if (!a.empty() && a[0] == '-') pid = std::strtoll(a.c_str(), &end, 10);
    else pid = static_cast<long long>(std::strtoull(a.c_str(), &end, 10));
    if (a.empty() || errno != 0 || end == nullptr || *end != '\0') {
        *c.err << "db: bad persistent id '" << args[0] << "'\n";
        return false;
    }
    static const char kSql[] =
        "SELECT i.title, i.artist, a.album, aa.album_artist, g.genre, s.user_rating, i.album_artist_pid, "
        "ia.best_artwork_token, ia.sync_artwork_token, w.relative_path, i.location "
        "FROM item i LEFT JOIN album a ON a.album_pid = i.album_pid "
        "LEFT JOIN album_artist aa ON aa.album_artist_pid = i.album_artist_pid "
        "LEFT JOIN genre g ON g.genre_id = i.genre_id LEFT JOIN item_stats s ON s.item_pid = i.item_pid "
        "LEFT JOIN item_artwork ia ON ia.item_pid = i.item_pid "
        "LEFT JOIN artwork w ON w.artwork_token = CASE WHEN coalesce(ia.sync_artwork_token, '') <> '' "
        "THEN ia.sync_artwork_token ELSE ia.best_artwork_token END WHERE i.item_pid = ?";
    static const char* const kNames[] = {"title", "artist", "album", "album_artist", "genre", "user_rating",
                                         "album_artist_pid", "best_artwork_token", "sync_artwork_token",
                                         "artwork_path", "location"};
    bool found = false;
    bool read = platform::readMediaLibrary(kSql, {pid}, [&](sqlite3_stmt* st) {
        if (found) return;
        found = true;
        for (int k = 0; k < 11; ++k) {
            auto* t = sqlite3_column_text(st, k);
            *c.out << kNames[k] << "=" << (t ? printable(reinterpret_cast<const char*>(t)) : "NULL") << "\n";
        }
    });
    // A library that could not be read is not an item that does not exist.
    if (!read) {
        if (!reportLibraryTrouble(c, "db")) *c.err << "db: the media library cannot be read\n";
        return false;
    }
    if (!found) *c.err << "db: no item " << args[0] << "\n";
    return found;
}

}  // namespace

id alertPanel(id controller) {
    if (!objc_isKindOfClass(controller, UIAlertController::cls())) return nil;
    return objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(controller, "view"_sel), "subViewWithTag:"_sel, kPanelTag);
}

id openPanel(Class cls, UIAlertController** alert) {
    platform::finishTransitions(kTransitionWait);
    auto presented = platform::presentedViewControllers();
    for (auto it = presented.rbegin(); it != presented.rend(); ++it) {
        id panel = alertPanel(objc::as_id(*it));
        if (panel == nil || (cls != nil && !objc_isKindOfClass(panel, cls))) continue;
        if (alert) *alert = static_cast<UIAlertController*>(*it);
        return panel;
    }
    if (alert) *alert = nullptr;
    return nil;
}

void addSaveCommands(CommandTable& table) {
    table["pickimage"] = {"pickimage FILE", "hand a picture (host path) to the open edit sheet, as a pick in the photo library", pickimage};
    table["tags"] = {"tags FILE", "print a device file's ID3 frames as TagLib reads them (FILE: the rest of the line)",
                     tags, true};
    table["db"] = {"db PID", "print an item's row values by persistent id", db};
}

}  // namespace host
