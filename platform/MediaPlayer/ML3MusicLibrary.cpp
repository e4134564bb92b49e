#include <MediaPlayer/ML3MusicLibrary.h>

#include "LibraryStore.h"

#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSData.h>
#include <Foundation/NSException.h>
#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UIImage.h>
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>
#include <platform/Log.h>

#include <cairo.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>

using namespace platform::support;
using namespace platform::medialibrary;
namespace fs = std::filesystem;

namespace platform::ml3 {
namespace {

std::atomic<bool> refusesImports{false};
std::atomic<bool> hasHandlerForm{true};
std::atomic<bool> hasPlainForm{true};
std::atomic<unsigned> importCounter{0};

std::mutex logLock;
std::vector<std::string>& calls() {
    static auto* list = new std::vector<std::string>();
    return *list;
}
void note(std::string line) {
    std::lock_guard<std::mutex> g(logLock);
    calls().push_back(std::move(line));
}

struct ML3MusicLibrary : NSObject {
    OBJC_CLASS(ML3MusicLibrary)
};

struct ML3Artwork : NSObject {
    OBJC_CLASS(ML3Artwork)
    Strong<NSString> _token;
    Strong<NSString> _relativePath;
};

std::string originalsFolder() { return platform::devicePath(artworkFolderDevicePath()); }

// A relative path that stays inside its folder.
bool isSafeRelative(const std::string& rel) {
    if (rel.empty() || rel[0] == '/') return false;
    for (const auto& part : fs::path(rel))
        if (part == "..") return false;
    return true;
}

std::optional<std::string> pathOfToken(const std::string& token) {
    std::optional<std::string> rel;
    readRows("SELECT relative_path FROM artwork WHERE artwork_token = ?", {Binding::text(token)},
             [&](sqlite3_stmt* st) { rel = columnText(st, 0); });
    return rel;
}

std::string cachesFolder(int size) {
    return platform::devicePath(artworkCachesDevicePath()) + "/" + std::to_string(size) + "x" + std::to_string(size);
}

// The folder of `rel` under the host folder `base`, opened beneath the
// device root (made when `create`), and the file's own name in it.
platform::Status openArtworkFolder(const std::string& base, const std::string& rel, platform::DeviceFolder& folder,
                                   std::string& name, bool create) {
    size_t slash = rel.rfind('/');
    name = slash == std::string::npos ? rel : rel.substr(slash + 1);
    std::string dir = slash == std::string::npos ? base : base + "/" + rel.substr(0, slash);
    if (base.empty()) return platform::Status::error(ENOENT, "open the folder", "of the artwork");
    return platform::DeviceFolder::open(dir, folder, create);
}

void removeArtworkFile(const std::string& base, const std::string& rel) {
    platform::DeviceFolder folder;
    std::string name;
    if (!openArtworkFolder(base, rel, folder, name, false).ok()) return;
    platform::Status removed = folder.removeFile(name);
    if (!removed.ok() && removed.code() != ENOENT) platform::logLine("ML3MusicLibrary: " + removed.message());
}

void removeArtworkFiles(const std::string& rel) {
    if (!isSafeRelative(rel)) return;
    removeArtworkFile(originalsFolder(), rel);
    for (int size : kArtworkSizes) removeArtworkFile(cachesFolder(size), rel);
}

// Writes the file whole: it appears complete or not at all, and nothing is
// written outside the device root.
bool writeWhole(const std::string& base, const std::string& rel, const void* bytes, size_t length) {
    platform::DeviceFolder folder;
    std::string name;
    platform::Status s = openArtworkFolder(base, rel, folder, name, true);
    if (s.ok()) s = folder.replaceWhole(name, bytes, length);
    if (!s.ok()) platform::logLine("ML3MusicLibrary: " + s.message());
    return s.ok();
}

id sharedLibrary(objc_class* cls, SEL) {
    static id shared = objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel);
    return shared;
}

id fetchItemArtwork(ML3MusicLibrary*, SEL, unsigned long long pid) {
    note("fetchItemArtworkForPersistentID: " + std::to_string(pid));
    auto* artwork = static_cast<ML3Artwork*>(newObject(ML3Artwork::cls()));
    Text token;
    readRows(
        "SELECT CASE WHEN coalesce(sync_artwork_token, '') <> '' THEN sync_artwork_token ELSE best_artwork_token END "
        "FROM item_artwork WHERE item_pid = ?",
        {Binding::integer(static_cast<int64_t>(pid))}, [&](sqlite3_stmt* st) { token = columnText(st, 0); });
    if (token) {
        artwork->_token = Strong<NSString>(NSString::make(*token));
        if (auto rel = pathOfToken(*token)) artwork->_relativePath = Strong<NSString>(NSString::make(*rel));
    }
    return autorelease(artwork);
}

id artworkToken(ML3Artwork* self, SEL) { return self->_token.get(); }
id relativePath(ML3Artwork* self, SEL) { return self->_relativePath.get(); }

void deleteArtworkWithToken(ML3MusicLibrary*, SEL, id token) {
    std::string t = to_string(objectAs<NSString>(token));
    note("deleteArtworkWithToken: " + t);
    if (t.empty()) return;
    auto rel = pathOfToken(t);
    if (!writeLibrary([&](sqlite3* db) { return execute(db, "DELETE FROM artwork WHERE artwork_token = ?", {Binding::text(t)}); }))
        return;
    if (rel) removeArtworkFiles(*rel);
}

BOOL importOriginalArtwork(ML3MusicLibrary*, SEL, id data, id token, NSInteger artworkType, NSInteger sourceType,
                           NSInteger mediaType) {
    std::string t = to_string(objectAs<NSString>(token));
    note("importOriginalArtworkFromImageData: " + t + " " + std::to_string(artworkType) + " " +
         std::to_string(sourceType) + " " + std::to_string(mediaType));
    auto* bytes = objectAs<NSData>(data);
    if (refusesImports || t.empty() || bytes == nullptr || bytes->length() == 0) return NO;
    // A new file per import, so that an artwork replaced under a kept token
    // never shows its old picture from a cache.
    std::string safe;
    for (char c : t) safe += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    char name[64];
    std::snprintf(name, sizeof name, "%02x/%s-%u-%u.jpg", static_cast<unsigned>(std::hash<std::string>()(t) & 0xFF),
                  safe.substr(0, 32).c_str(), static_cast<unsigned>(getpid()), importCounter.fetch_add(1));
    std::string rel = name;
    if (!writeWhole(originalsFolder(), rel, bytes->bytes(), bytes->length())) return NO;
    bool ok = writeLibrary([&](sqlite3* db) {
        return execute(db,
                       "INSERT INTO artwork (artwork_token, artwork_source_type, relative_path, artwork_type) "
                       "VALUES (?, ?, ?, ?) ON CONFLICT (artwork_token) DO UPDATE SET "
                       "artwork_source_type = excluded.artwork_source_type, relative_path = excluded.relative_path, "
                       "artwork_type = excluded.artwork_type",
                       {Binding::text(t), Binding::integer(sourceType), Binding::text(rel), Binding::integer(artworkType)});
    });
    if (!ok) removeArtworkFiles(rel);
    return ok ? YES : NO;
}

void generateSizes(const std::string& rel) {
    if (!isSafeRelative(rel)) return;
    std::string bytes;
    {
        platform::DeviceFolder folder;
        std::string name;
        int fd = -1;
        struct stat st {};
        if (!openArtworkFolder(originalsFolder(), rel, folder, name, false).ok() ||
            !folder.openRead(name, fd, &st).ok())
            return;
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
        bytes.resize(done);
    }
    cairo_surface_t* original = platform::decodeImage(bytes.data(), bytes.size());
    if (original == nullptr) return;
    int w = cairo_image_surface_get_width(original), h = cairo_image_surface_get_height(original);
    for (int size : kArtworkSizes) {
        cairo_surface_t* scaled = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(scaled);
        cairo_scale(cr, static_cast<double>(size) / std::max(w, 1), static_cast<double>(size) / std::max(h, 1));
        cairo_set_source_surface(cr, original, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        std::vector<uint8_t> jpeg = platform::encodeJPEG(scaled, 0.9);
        cairo_surface_destroy(scaled);
        writeWhole(cachesFolder(size), rel, jpeg.data(), jpeg.size());
    }
    cairo_surface_destroy(original);
}

void autogenerateWithHandler(ML3MusicLibrary* self, SEL sel, id path, NSInteger, NSInteger, id) {
    if (!hasHandlerForm)
        NSException::raise(NSInvalidArgumentException, std::string("unrecognized selector ") + sel_getName(sel));
    note("_autogenerateArtworkForRelativePath:completionHandler: " + to_string(objectAs<NSString>(path)));
    generateSizes(to_string(objectAs<NSString>(path)));
    (void)self;
}

void autogenerate(ML3MusicLibrary*, SEL sel, id path, NSInteger, NSInteger) {
    if (!hasPlainForm)
        NSException::raise(NSInvalidArgumentException, std::string("unrecognized selector ") + sel_getName(sel));
    note("_autogenerateArtworkForRelativePath: " + to_string(objectAs<NSString>(path)));
    generateSizes(to_string(objectAs<NSString>(path)));
}

void deleteOrphanedArtwork(ML3MusicLibrary*, SEL, NSInteger options) {
    note("deleteOrphanedArtworkWithSearchOptions: " + std::to_string(options));
    std::vector<std::string> orphans;
    readRows("SELECT relative_path FROM artwork WHERE artwork_token NOT IN "
             "(SELECT best_artwork_token FROM item_artwork WHERE best_artwork_token IS NOT NULL UNION "
             "SELECT sync_artwork_token FROM item_artwork WHERE sync_artwork_token IS NOT NULL)",
             {}, [&](sqlite3_stmt* st) {
                 if (auto rel = columnText(st, 0)) orphans.push_back(*rel);
             });
    bool ok = writeLibrary([&](sqlite3* db) {
        return execute(db,
                       "DELETE FROM artwork WHERE artwork_token NOT IN "
                       "(SELECT best_artwork_token FROM item_artwork WHERE best_artwork_token IS NOT NULL UNION "
                       "SELECT sync_artwork_token FROM item_artwork WHERE sync_artwork_token IS NOT NULL)",
                       {});
    });
    if (ok)
        for (const auto& rel : orphans) removeArtworkFiles(rel);
}

BOOL respondsToSelector(ML3MusicLibrary* self, SEL, SEL sel) {
    if (sel == "_autogenerateArtworkForRelativePath:artworkType:mediaType:completionHandler:"_sel) return hasHandlerForm;
    if (sel == "_autogenerateArtworkForRelativePath:artworkType:mediaType:"_sel) return hasPlainForm;
    return class_respondsToSelector(self->isa, sel);
}

}  // namespace

const char* artworkCachesDevicePath() { return "/var/mobile/Media/iTunes_Control/iTunes/Artwork/Caches"; }

void setRefusesImports(bool refuses) { refusesImports = refuses; }
void setAutogenerateForms(bool withHandler, bool withoutHandler) {
    hasHandlerForm = withHandler;
    hasPlainForm = withoutHandler;
}
std::vector<std::string> callLog() {
    std::lock_guard<std::mutex> g(logLock);
    return calls();
}
void clearCallLog() {
    std::lock_guard<std::mutex> g(logLock);
    calls().clear();
}

void registerML3MusicLibrary() {
    objc::ClassDef<ML3Artwork>("ML3Artwork", NSObject::cls())
        .method<artworkToken>("artworkToken")
        .method<relativePath>("relativePath");
    objc::ClassDef<ML3MusicLibrary>("ML3MusicLibrary", NSObject::cls())
        .classMethod<sharedLibrary>("sharedLibrary")
        .method<respondsToSelector>("respondsToSelector:")
        .method<fetchItemArtwork>("fetchItemArtworkForPersistentID:")
        .method<deleteArtworkWithToken>("deleteArtworkWithToken:")
        .method<importOriginalArtwork>("importOriginalArtworkFromImageData:withArtworkToken:artworkType:sourceType:mediaType:")
        .method<autogenerateWithHandler>("_autogenerateArtworkForRelativePath:artworkType:mediaType:completionHandler:")
        .method<autogenerate>("_autogenerateArtworkForRelativePath:artworkType:mediaType:")
        .method<deleteOrphanedArtwork>("deleteOrphanedArtworkWithSearchOptions:");
}

}  // namespace platform::ml3
