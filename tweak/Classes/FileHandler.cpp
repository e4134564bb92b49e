#include "FileHandler.h"
#include "Sends.h"

#include "Cantrel.h"
#include "DBHandler.h"
#include "EditHandler.h"
#include "ID3Writer.h"
#include "Cantrel_Tools.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "Libs/ZipArchive/ZipArchive.h"
#include "MessageView.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>
#include <platform/Unicode.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <memory>
#include <sys/file.h>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using cantrel::get;
using cantrel::countOf;

namespace cantrel::exporting {

namespace {

constexpr size_t kMaxComponent = 255;
constexpr int kMaxSuffix = 100000;

// The characters a file name never keeps (control characters go too).
constexpr char kRemovedCharacters[] = "/\\?%*|\"<>";

// The longest prefix of at most `limit` bytes that ends on a character boundary.
std::string cutUtf8(std::string s, size_t limit) {
    s.resize(platform::unicode::prefixBoundary(s, limit));
    return s;
}

std::string hostFolderOfExports() { return platform::devicePath(kExportFolder); }

// Whether a host path lies inside the export folder (or is that folder, when
// `orItself`).
bool insideExports(const std::string& host, bool orItself = false) {
    std::string root = hostFolderOfExports();
    if (root.empty() || host.empty()) return false;
    if (orItself && host == root) return platform::resolvesInside(host, root);
    if (host.size() <= root.size() || host.compare(0, root.size(), root) != 0 || host[root.size()] != '/')
        return false;
    return platform::resolvesInside(host, root);
}

id fileManager() { return objc_msgSend<id()>(NSFileManager::cls(), "defaultManager"_sel); }
id fileURL(const std::string& devicePath) {
    return objc_msgSend<id(id)>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, NSString::make(devicePath));
}

// The name split at `set`'s characters and joined again without them.
std::string withoutCharacters(const std::string& name, id set) {
    id pieces = objc_msgSend<id(id)>(NSString::make(name), "componentsSeparatedByCharactersInSet:"_sel, set);
    return to_string(objc_msgSend<NSString*(id)>(pieces, "componentsJoinedByString:"_sel, ""_ns));
}

}  // namespace

std::string safeComponent(std::string_view name, std::string_view placeholder, size_t reserve) {
    std::string out;
    {
        AutoreleasePool pool;
        id removed = objc_msgSend<id(id)>(objc_getClass("NSCharacterSet"), "characterSetWithCharactersInString:"_sel,
                                          NSString::make(kRemovedCharacters));
        id control = objc_msgSend<id()>(objc_getClass("NSCharacterSet"), "controlCharacterSet"_sel);
        out = withoutCharacters(withoutCharacters(std::string(name), removed), control);
    }
    if (out.empty() || out == "." || out == "..") out = std::string(placeholder);
    if (out[0] == '.') out[0] = '_';
    return cutUtf8(std::move(out), reserve < kMaxComponent ? kMaxComponent - reserve : 1);
}

std::string copyInto(const std::string& folder, std::string_view title, const std::string& source, std::string* why,
                     const Tags* tags, NameClaims* claims) {
    auto fail = [&](std::string reason) {
        if (why) *why = std::move(reason);
        return std::string();
    };
    std::string hostFolder = platform::devicePath(folder);
    if (!insideExports(hostFolder, true)) return fail("destination outside the export folder");
    std::string hostSource = platform::devicePath(source);
    if (hostSource.empty()) return fail("source outside the device");
    // Only a regular file is copied (never a folder, a FIFO or a device);
    // the tagged copy opens its source the same way itself.
    if (tags == nullptr) {
        int probe = platform::openDeviceFile(hostSource);
        if (probe < 0) return fail(std::string("source not readable: ") + std::strerror(errno));
        ::close(probe);
    }

    std::string ext = fs::path(hostSource).extension().string();
    if (!ext.empty()) ext = safeComponent(ext.substr(1), "", kMaxComponent - 16);
    std::string dotExt = ext.empty() ? "" : "." + ext;
    std::string base = safeComponent(title, kUntitled);
    // Suffixes this export has already taken for the name are not offered again.
    int* next = nullptr;
    if (claims != nullptr) next = &claims->next.try_emplace(hostFolder + '/' + base + dotExt, 1).first->second;
    int first = next != nullptr ? *next : 1;
    // The k-th name offered: "<title>.<ext>", then "<title> (n).<ext>" from
    // the first suffix not yet claimed; the title is cut to leave room.
    auto suffixOf = [&](int k) { return first + k - 1; };
    auto nameFor = [&](int k) -> std::string {
        int n = suffixOf(k);
        if (n > kMaxSuffix) return "";
        std::string suffix = n == 1 ? "" : " (" + std::to_string(n) + ")";
        return cutUtf8(base, kMaxComponent - std::min(kMaxComponent - 1, suffix.size() + dotExt.size())) + suffix + dotExt;
    };

    if (tags != nullptr) {
        // The tag and the audio in one pass; the file appears whole under a
        // free name, or not at all: the last name asked for is the one taken.
        int tried = 0;
        auto counted = [&](int k) {
            tried = k;
            return nameFor(k);
        };
        std::string name =
            id3::writeTaggedCopy(hostSource, hostFolder, counted, tags->title, tags->album, tags->artist, why);
        if (name.empty()) return "";
        if (next != nullptr) *next = suffixOf(tried) + 1;
        return folder + "/" + name;
    }
    // The file manager's copy never replaces a file and leaves nothing half
    // written: a name taken meanwhile answers "file exists", and the next is tried.
    AutoreleasePool pool;
    for (int k = 1;; ++k) {
        std::string name = nameFor(k);
        if (name.empty()) return fail("no free name");
        struct stat st;
        if (::lstat((hostFolder + "/" + name).c_str(), &st) == 0) continue;
        NSError* error = nullptr;
        if (objc_msgSend<BOOL(id, id, NSError**)>(fileManager(), "copyItemAtURL:toURL:error:"_sel, fileURL(source),
                                                  fileURL(folder + "/" + name), &error)) {
            if (next != nullptr) *next = suffixOf(k) + 1;
            return folder + "/" + name;
        }
        if (objc_msgSend<NSInteger()>(error, "code"_sel) != NSFileWriteFileExistsError)
            return fail(to_string(objc_msgSend<NSString*()>(error, "localizedDescription"_sel)));
    }
}

namespace {

// Calls `use` with the folder that holds `entry` (slash-separated, beneath
// `top`) and its last name, each folder on the way opened by descriptor and
// never through a symlink; false when one cannot be opened or `use` answers
// false.
template <class F>
bool atEntry(const platform::DeviceFolder& top, const std::string& entry, F&& use) {
    const platform::DeviceFolder* at = &top;
    platform::DeviceFolder held;
    size_t start = 0;
    for (size_t slash; (slash = entry.find('/', start)) != std::string::npos; start = slash + 1) {
        platform::DeviceFolder next;
        if (!at->openFolder(entry.substr(start, slash - start), next).ok()) return false;
        held = std::move(next);
        at = &held;
    }
    return use(*at, entry.substr(start));
}

}  // namespace

std::string zipFolder(const std::string& folder) {
    std::string host = platform::devicePath(folder);
    if (!insideExports(host)) return "";
    platform::DeviceFolder top;
    if (!platform::DeviceFolder::open(host, top).ok()) return "";
    std::vector<std::string> entries;
    {
        AutoreleasePool pool;
        id subpaths = objc_msgSend<id(id)>(fileManager(), "subpathsAtPath:"_sel, NSString::make(folder));
        for (NSUInteger i = 0, n = countOf(subpaths); i < n; ++i) {
            std::string entry = to_string(objc_msgSend<NSString*(NSUInteger)>(subpaths, "objectAtIndex:"_sel, i));
            // Regular files only: a symlink is never followed.
            bool regular = atEntry(top, entry, [](const platform::DeviceFolder& at, const std::string& name) {
                struct stat st;
                return at.statName(name, st).ok() && S_ISREG(st.st_mode);
            });
            if (regular) entries.push_back(entry);
        }
    }
    fs::path archive(host + ".zip");
    std::string name = platform::publishNewFile(
        archive.parent_path().string(),
        [&](const std::string& path, int) {
            ZipArchive zip;
            bool ok = zip.create(path);
            for (const std::string& entry : entries) {
                if (!ok) break;
                ok = atEntry(top, entry, [&](const platform::DeviceFolder& at, const std::string& file) {
                    int fd = -1;
                    struct stat st {};
                    at.openRead(file, fd, &st);
                    bool added = zip.addFile(fd, st, entry);
                    if (fd >= 0) ::close(fd);
                    return added;
                });
            }
            return zip.close() && ok;
        },
        [&](int k) { return k == 1 ? archive.filename().string() : std::string(); });
    return name.empty() ? "" : folder + ".zip";
}

std::string playlistFolderName(std::string_view playlistName) {
    constexpr std::string_view kSuffix = " - Playlist";
    return safeComponent(playlistName, "", kSuffix.size()) + std::string(kSuffix);
}

}  // namespace cantrel::exporting

namespace {

namespace ex = cantrel::exporting;

// Exports from the button until their share step has run (main thread only).
int exportsInFlight = 0;

NSString* ns(const std::string& s) { return NSString::make(s); }
std::string str(id s) { return to_string(static_cast<NSString*>(s)); }
std::u16string to_u16(id s) { return s ? static_cast<NSString*>(s)->utf16() : std::u16string(); }
using ex::fileManager;
void onMain(std::function<void()> work) { dispatch_async(dispatch_get_main_queue(), std::move(work)); }

BOOL checkAndCreateFolder(id, SEL, NSString* path) {
    BOOL isDir = NO;
    if (objc_msgSend<BOOL(id, BOOL*)>(fileManager(), "fileExistsAtPath:isDirectory:"_sel, path, &isDir))
        return isDir;
    return objc_msgSend<BOOL(id, BOOL, id, NSError**)>(
        fileManager(), "createDirectoryAtPath:withIntermediateDirectories:attributes:error:"_sel, path, NO, nil,
        nullptr);
}

// A new folder "<prefix><UUID>" in the export folder, or nil. Made without
// intermediate folders, so an existing one is never taken.
id newUUIDFolder(const char* prefix) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        id uuid = objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass("NSUUID"), "UUID"_sel), "UUIDString"_sel);
        id folder = NSStringWithFormat("%@/%s%@", ns(ex::kExportFolder), prefix, uuid);
        if (objc_msgSend<BOOL(id, BOOL, id, NSError**)>(
                fileManager(), "createDirectoryAtPath:withIntermediateDirectories:attributes:error:"_sel, folder, NO,
                nil, nullptr))
            return folder;
    }
    return nil;
}

id createInitialSharingFolder(id self, SEL, BOOL unique) {
    std::string root = "var/mobile/Media/general_storage";
    checkAndCreateFolder(self, nullptr, ns(root));
    checkAndCreateFolder(self, nullptr, ns(ex::kExportFolder));
    return unique ? newUUIDFolder("") : ns(ex::kExportFolder);
}

id sanitizeFileNameString(id, SEL, NSString* name) { return ns(ex::safeComponent(str(name), ex::kUntitled)); }

id zipFolderMethod(id, SEL, NSString* folder) {
    std::string archive = ex::zipFolder(str(folder));
    return archive.empty() ? nil : ns(archive);
}

// An export holds a lock on its hidden folder while it builds there. One
// whose lock is free and that has not changed for a minute was left by an
// export that never finished (the app was ended): it goes, with its archive,
// when the next multi-track export starts.
bool removeItem(const std::string& path) {
    return objc_msgSend<BOOL(id, NSError**)>(fileManager(), "removeItemAtPath:error:"_sel, ns(path), nullptr);
}
bool moveItem(const std::string& from, const std::string& to) {
    return objc_msgSend<BOOL(id, id, NSError**)>(fileManager(), "moveItemAtPath:toPath:error:"_sel, ns(from), ns(to),
                                                 nullptr);
}

constexpr time_t kAbandonedAfterSeconds = 60;

bool isStagingName(const std::string& name) {
    if (name.size() != 37 || name[0] != '.') return false;
    return std::all_of(name.begin() + 1, name.end(),
                       [](char c) { return c == '-' || std::isxdigit(static_cast<unsigned char>(c)); });
}

void removeAbandonedStaging(time_t minimumAge = kAbandonedAfterSeconds) {
    platform::DeviceFolder exports;
    if (!platform::DeviceFolder::open(ex::hostFolderOfExports(), exports).ok()) return;
    int listed = ::fcntl(exports.fd(), F_DUPFD_CLOEXEC, 0);
    std::unique_ptr<DIR, int (*)(DIR*)> folder(listed < 0 ? nullptr : ::fdopendir(listed), ::closedir);
    if (!folder) {
        if (listed >= 0) ::close(listed);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(folder.get()))
        if (isStagingName(e->d_name)) names.push_back(e->d_name);
    time_t now = ::time(nullptr);
    for (const std::string& name : names) {
        platform::DeviceFolder staging;
        struct stat st {};
        if (!exports.openFolder(name, staging).ok()) continue;
        if (::fstat(staging.fd(), &st) == 0 && now - st.st_mtime >= minimumAge && ::flock(staging.fd(), LOCK_EX | LOCK_NB) == 0) {
            removeItem(std::string(ex::kExportFolder) + "/" + name + ".zip");
            removeItem(std::string(ex::kExportFolder) + "/" + name);
        }
    }
}

}  // namespace

void cantrel::exporting::removeLeftovers() {
    // At start no export of this app is at work: any working folder whose
    // lock is free was left by one that was ended, however recent.
    removeAbandonedStaging(0);
    platform::sweepTemporaries(hostFolderOfExports());
}

namespace {

// The hidden folder ".<UUID>" where a multi-track export is built, locked
// through *lock (closed by the caller); "" when none could be made.
std::string createStagingFolder(int* lock) {
    createInitialSharingFolder(nil, nullptr, NO);
    removeAbandonedStaging();
    std::string folder = str(newUUIDFolder("."));
    if (folder.empty()) return "";
    // The lock is taken on the folder opened beneath the root, by descriptor.
    platform::DeviceFolder staging;
    *lock = platform::DeviceFolder::open(platform::devicePath(folder), staging).ok()
                ? ::fcntl(staging.fd(), F_DUPFD_CLOEXEC, 0)
                : -1;
    if (*lock >= 0) ::flock(*lock, LOCK_EX);
    return folder;
}

// One export's state, kept alive by its blocks.
struct Export {
    Strong<ItemEntry> entry;
    Strong<MessageView> badge;
    Strong<NSObject> screen;  // the entry's controller
    Strong<NSObject> table;   // its table view
    int type = 0;
    bool single = true;
    std::string working;
    std::string shared;
    size_t asked = 0;
    size_t copied = 0;
    std::vector<std::string> leftOut;
    ex::NameClaims names;
    std::string playlistName;  // a playlist export's, read once
    // The tap's deadline for a locked library, which the export's reads on
    // the global queue share.
    platform::MediaLibraryWait::Clock::time_point deadline;
};

void badgeText(const std::shared_ptr<Export>& job, std::string text) {
    onMain([job, text] { objc_msgSend<void(id)>(job->badge.get(), "updateSubText:"_sel, ns(text)); });
}

void showBadge(id inView, const char* text, double interval, NSInteger icon, long viewIndex, MessageView** out) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id badge = objc_msgSend<id(id, double, NSInteger, CGRect, int)>(
        objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
        "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, ns(text), interval, icon, screen,
        static_cast<int>(viewIndex));
    objc_msgSend<void(id)>(get(inView, "view"_sel), "addSubview:"_sel, badge);
    if (out) *out = static_cast<MessageView*>(badge);
    objc_release(badge);
}

// The entry's screen when it still stands in a window, else the key window's root.
id presenter(const std::shared_ptr<Export>& job) {
    id screen = job->screen.get();
    auto answers = [](id obj, SEL sel) {
        return obj && objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel) ? get(obj, sel) : nil;
    };
    if (screen && (answers(screen, "navigationController"_sel) || answers(get(screen, "view"_sel), "superview"_sel)))
        return screen;
    id app = objc_msgSend<id()>(objc_getClass("UIApplication"), "sharedApplication"_sel);
    id root = get(get(app, "keyWindow"_sel), "rootViewController"_sel);
    return root ? root : screen;
}

// The share sheet on screen, and those waiting for it to end (main thread).
bool sheetShowing = false;
std::deque<std::function<void()>> waitingSheets;

void showNextSheet() {
    sheetShowing = false;
    while (!sheetShowing && !waitingSheets.empty()) {
        std::function<void()> present = std::move(waitingSheets.front());
        waitingSheets.pop_front();
        present();
    }
}

// The share sheet: the text and the file, with "Export to Folder". When it
// ends, a multi-track export's working folder goes unless that activity was
// chosen; the archive and a single export's file stay. While another export's
// sheet is open it waits, and shows once that one has ended.
void presentShareSheet(const std::shared_ptr<Export>& job, id text, id url) {
    if (sheetShowing) {
        Strong<NSObject> keptText(static_cast<NSObject*>(text)), keptURL(static_cast<NSObject*>(url));
        waitingSheets.push_back([job, keptText, keptURL] {
            AutoreleasePool pool;
            presentShareSheet(job, keptText.get(), keptURL.get());
        });
        return;
    }
    Class sheetClass = objc_getClass("UIActivityViewController");
    if (sheetClass == nil) return;
    id activity = objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass("ActivityViewCustomActivity"), "alloc"_sel),
                                     "init"_sel);
    id sheet = objc_msgSend<id(id, id)>(objc_msgSend<id()>(sheetClass, "alloc"_sel),
                                        "initWithActivityItems:applicationActivities:"_sel, NSArray::make({text, url}),
                                        activity ? NSArray::make({activity}) : NSArray::make({}));
    objc_release(activity);
    objc_msgSend<void(id)>(
        sheet, "setCompletionWithItemsHandler:"_sel,
        objc_block<void(id, BOOL, id, id)>([job](id activityType, BOOL completed, id, id) {
            CLog("completed    = '%@'", completed ? "YES"_ns : "NO"_ns);
            CLog("activityType = '%@'", activityType);
            bool keep = job->single || (activityType != nil && objc_msgSend<BOOL(id)>(
                                                                   activityType, "isEqualToString:"_sel,
                                                                   NSStringWithFormat("%@.export", "Cantrel"_ns)));
            if (!keep) removeItem(job->working);
            showNextSheet();
        }));
    id from = presenter(job);
    Class popoverClass = objc_getClass("UIPopoverController");
    if (Cantrel_isPad() && popoverClass != nil) {
        id popover = objc_msgSend<id(id)>(objc_msgSend<id()>(popoverClass, "alloc"_sel),
                                          "initWithContentViewController:"_sel, sheet);
        CGRect screen =
            objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
        id inView = job->table.get() ? static_cast<id>(job->table.get()) : get(from, "view"_sel);
        objc_msgSend<void(CGRect, id, NSUInteger, BOOL)>(
            popover, "presentPopoverFromRect:inView:permittedArrowDirections:animated:"_sel, screen, inView, 0, YES);
        objc_msgSend<void(CGSize)>(popover, "setPopoverContentSize:"_sel, CGSize{330, 225});
        sheetShowing = objc_msgSend<BOOL()>(popover, "isPopoverVisible"_sel);
        objc_release(popover);
    } else {
        // Over whatever the screen presents already.
        for (id over = get(from, "presentedViewController"_sel); over != nil;
             over = get(from, "presentedViewController"_sel))
            from = over;
        objc_msgSend<void(id, BOOL, id)>(from, "presentViewController:animated:completion:"_sel, sheet, YES, nil);
        sheetShowing = get(sheet, "presentingViewController"_sel) != nil;
    }
    if (!sheetShowing) NSLog("** Cantrel ** export: the share sheet could not be shown");
    objc_release(sheet);
}

void shareStep(const std::shared_ptr<Export>& job) {
    --exportsInFlight;
    objc_msgSend<void()>(job->badge.get(), "removeFromSuperview"_sel);
    objc_msgSend<void(BOOL)>(job->table.get(), "setEditing:"_sel, NO);
    for (const std::string& name : job->leftOut) NSLog("** Cantrel ** export: left out %@", ns(name));
    if (job->shared.empty()) {
        NSLog("** Cantrel ** export: %lu of %lu files copied, nothing to share", static_cast<unsigned long>(job->copied),
              static_cast<unsigned long>(job->asked));
        showBadge(presenter(job), "Export failed", 1.3, IconViewTagDiscSquare, job->entry->viewIndex, nullptr);
        return;
    }
    std::string name;
    ItemEntry* entry = job->entry.get();
    if (job->single) {
        name = str(get(entry->mediaItem.get(), "title"_sel));
    } else if (job->type == kViewIndexPlaylists) {
        name = job->playlistName;
    } else if (job->type == kViewIndexArtists) {
        name = str(get(get(entry->mediaItemCollection.get(), "representativeItem"_sel), "albumArtist"_sel));
    } else {
        name = str(get(get(entry->mediaItemCollection.get(), "representativeItem"_sel), "albumTitle"_sel));
    }
    id text = NSStringWithFormat("'%@' via %@", ns(name), "Cantrel"_ns);
    id url = objc_msgSend<id(id)>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, ns(job->shared));
    presentShareSheet(job, text, url);
}

// Zips a multi-track export's hidden folder, makes every file durable, and
// renames the folder and the archive to their names.
void publishArchive(const std::shared_ptr<Export>& job, platform::NewFileBatch& batch) {
    std::string archive = ex::zipFolder(job->working);
    if (archive.empty()) {
        NSLog("** Cantrel ** export: the archive of %@ failed", ns(job->working));
        return;
    }
    if (!batch.sync()) {
        NSLog("** Cantrel ** export: the files of %@ could not be written: %s", ns(job->working), std::strerror(errno));
        removeItem(archive);
        return;
    }
    // The archive first: a hidden archive never outlives its hidden folder.
    std::string staged = job->working;
    std::string folder = fs::path(staged).parent_path().string() + "/" + fs::path(staged).filename().string().substr(1);
    if (!moveItem(archive, folder + ".zip")) {
        removeItem(archive);
        return;
    }
    if (!moveItem(staged, folder)) {
        removeItem(folder + ".zip");
        return;
    }
    job->working = folder;
    job->shared = folder + ".zip";
}

// What an export that shares nothing has made goes: its folder (a single
// export's folder is the export folder itself, shared with others, and
// stays); an archive that was not shared is never left (publishArchive).
void discardUnshared(const std::shared_ptr<Export>& job) {
    if (!job->shared.empty() || job->single || job->working.empty()) return;
    removeItem(job->working);
}

void exportTracks(const std::shared_ptr<Export>& job) {
    ItemEntry* entry = job->entry.get();
    id collection = entry->mediaItemCollection.get();
    int lock = -1;
    job->working = job->single ? str(createInitialSharingFolder(nil, nullptr, NO)) : createStagingFolder(&lock);
    std::unique_ptr<int, void (*)(int*)> unlock(&lock, [](int* fd) {
        if (*fd >= 0) ::close(*fd);
    });
    CLog("exportAlbum - workingFolder = %@", ns(job->working));
    if (job->working.empty()) {
        job->asked = 1;
        onMain([job] { shareStep(job); });
        return;
    }
    // A read of the library that failed (locked, damaged) fails the export:
    // an empty name or list is not what the library holds.
    platform::MediaLibraryWait* wait = platform::MediaLibraryWait::current();
    const unsigned long failuresBefore = wait != nullptr ? wait->failures() : 0;
    auto libraryFailed = [&] { return wait != nullptr && wait->failures() != failuresBefore; };
    std::string playlistFolder;
    if (!job->single && job->type == kViewIndexPlaylists) {
        job->playlistName = str(objc_msgSend<id(long long)>(
            objc_msgSend<id()>(DBHandler::cls(), "sharedInstance"_sel), "getPlaylistName:"_sel,
            static_cast<long long>(objc_msgSend<unsigned long long()>(collection, "persistentID"_sel))));
        playlistFolder = job->working + "/" + ex::playlistFolderName(job->playlistName);
    }
    // A multi-track export's files are made durable together, before their
    // folder and archive take their names.
    std::optional<platform::NewFileBatch> batch;
    if (!job->single) batch.emplace();
    std::string lastCopy;
    id tableView = get(job->screen.get(), "tableView"_sel);
    for (NSUInteger index = 0;; ++index) {
        id item = nil;
        NSUInteger total = 1;
        if (job->single) {
            if (index > 0) break;
            item = entry->mediaItem.get();
        } else {
            id items = get(collection, "items"_sel);
            total = countOf(items);
            if (index >= total || libraryFailed()) break;
            item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, index);
        }
        ++job->asked;
        badgeText(job, str(NSStringWithFormat("%ld of %ld", static_cast<long>(index + 1), static_cast<long>(total))));
        std::string title = str(get(item, "title"_sel));
        std::string folder = job->working;
        if (!job->single) {
            if (!playlistFolder.empty()) {
                folder = playlistFolder;
            } else {
                folder += "/" + ex::safeComponent(str(get(item, "albumArtist"_sel)), ex::kUnknownArtist);
                checkAndCreateFolder(nil, nullptr, ns(folder));
                folder += "/" + ex::safeComponent(str(get(item, "albumTitle"_sel)), ex::kUnknownAlbum);
            }
            checkAndCreateFolder(nil, nullptr, ns(folder));
        }
        std::string source = str(objc_msgSend<id(id)>(item, "valueForProperty:"_sel, "filePath"_ns));
        std::string why = "no file path";
        bool readable =
            !source.empty() && objc_msgSend<BOOL(id)>(fileManager(), "isReadableFileAtPath:"_sel, ns(source));
        if (!source.empty() && !readable) {
            CLog("!isReadableFileAtPath %@", ns(source));
            why = "not readable";
        }
        // An MP3's copy is written with its tag in the same pass; any other
        // file is copied and then handed to the tag writer, which says it
        // cannot tag it.
        bool tagInCopy = enforce_ID3Tag_on_export && cantrel::id3::hasMP3Extension(source);
        ex::Tags tags;
        if (tagInCopy) {
            auto utf16 = [&](SEL sel) { return to_u16(get(item, sel)); };
            tags = {utf16("title"_sel), utf16("albumTitle"_sel), utf16("albumArtist"_sel)};
        }
        std::string copy =
            !readable ? "" : ex::copyInto(folder, title, source, &why, tagInCopy ? &tags : nullptr, &job->names);
        if (copy.empty()) {
            CLog("!!ERROR!! %@: %@", ns(title), ns(why));
            job->leftOut.push_back(title.empty() ? source : title);
            continue;
        }
        CLog("Copying %@ to %@", ns(source), ns(copy));
        ++job->copied;
        lastCopy = copy;
        if (enforce_ID3Tag_on_export && !tagInCopy)
            objc_msgSend<void(id, id, id, id, id)>(tableView, "setID3Tags:andTitle:andAlbum:andArtist:andImagePath:"_sel,
                                                   ns(copy), get(item, "title"_sel), get(item, "albumTitle"_sel),
                                                   get(item, "albumArtist"_sel), ""_ns);
    }
    if (libraryFailed()) {
        NSLog("** Cantrel ** export: the media library could not be read; nothing is shared");
        if (job->single && !lastCopy.empty()) removeItem(lastCopy);
        job->copied = 0;
        job->asked = std::max<size_t>(job->asked, 1);
    } else if (job->single) {
        job->shared = lastCopy;
    } else if (job->copied > 0) {
        badgeText(job, "Zipping Files");
        publishArchive(job, *batch);
    }
    discardUnshared(job);
    onMain([job] { shareStep(job); });
}

// The background block: an exception ends the copying; what was copied
// until then is still offered when it was archived.
void exportBlock(const std::shared_ptr<Export>& job) {
    AutoreleasePool pool;
    platform::MediaLibraryWait wait(job->deadline);
    try {
        exportTracks(job);
        return;
    } catch (NSException* e) {
        NSLog("** Cantrel EXCEPTION: exportAlbum: %@", objc_msgSend<id()>(e, "reason"_sel));
    }
    try {
        discardUnshared(job);
    } catch (NSException*) {
    }
    onMain([job] { shareStep(job); });
}

void exportAlbum(id, SEL, ItemEntry* entry, int type) {
    if (entry == nil) return;
    CLog("exportAlbum - type = %@", getViewIndexNameByMusicViewIndex(type));
    auto job = std::make_shared<Export>();
    job->entry = Strong<ItemEntry>(entry);
    job->type = type;
    job->single = entry->mediaItemCollection.get() == nil || entry->viewIndex == kViewIndexFlipsideAlbum;
    job->screen = Strong<NSObject>(static_cast<NSObject*>(entry->currentViewController.get()));
    job->table = Strong<NSObject>(static_cast<NSObject*>(get(entry->currentViewController.get(), "tableView"_sel)));
    job->deadline = platform::MediaLibraryWait::actionDeadline();
    MessageView* badge = nullptr;
    showBadge(entry->currentViewController.get(), job->single ? "Preparing Track" : "Preparing Tracks", 0.0,
              IconViewTagDiscPlus, entry->viewIndex, &badge);
    job->badge = Strong<MessageView>(badge);
    ++exportsInFlight;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [job] { exportBlock(job); });
}

}  // namespace

bool Cantrel_exportsIdle() { return exportsInFlight == 0; }

void registerFileHandler() {
    objc::ClassDef<FileHandler>("FileHandler", NSObject::cls())
        .classMethod<exportAlbum>("exportAlbum:andType:", "v@:@i")
        .classMethod<sanitizeFileNameString>("sanitizeFileNameString:", "@@:@")
        .classMethod<createInitialSharingFolder>("createInitialSharingFolder:", "@@:c")
        .classMethod<checkAndCreateFolder>("checkAndCreateFolder:", "c@:@")
        .classMethod<zipFolderMethod>("zipFolder:", "@@:@");
}
