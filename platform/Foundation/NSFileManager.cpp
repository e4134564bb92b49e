// NSFileManager over the device root.
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSString.h>
#include <Foundation/NSURL.h>
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>

#include "Internal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum class Access { Read, Write };

NSInteger cocoaCode(int err, Access access) {
    bool reading = access == Access::Read;
    switch (err) {
        case ENOENT:
        case ENOTDIR: return reading ? NSFileReadNoSuchFileError : NSFileNoSuchFileError;
        case EEXIST: return NSFileWriteFileExistsError;
        case EACCES:
        case EPERM:
        case EROFS: return reading ? NSFileReadNoPermissionError : NSFileWriteNoPermissionError;
        case ENOSPC: return NSFileWriteOutOfSpaceError;
        default: return reading ? NSFileReadUnknownError : NSFileWriteUnknownError;
    }
}

// Sets *error (when asked for) and answers false.
bool fail(NSError** error, int err, NSString* path, Access access, const char* what) {
    if (error == nullptr) return false;
    NSMutableDictionary* info = NSMutableDictionary::make();
    std::string message = std::string("\u201C") + to_string(path) + "\u201D couldn\u2019t be " + what + ": " + std::strerror(err);
    info->setObject(NSString::make(message), NSLocalizedDescriptionKey);
    if (path) info->setObject(path, NSFilePathErrorKey);
    info->setObject(NSError::make(NSPOSIXErrorDomain, err, nullptr), NSUnderlyingErrorKey);
    *error = NSError::make(NSCocoaErrorDomain, cocoaCode(err, access), info);
    return false;
}

// The host path, or "" for nil or a path outside the device root.
std::string hostPath(NSString* path) { return path ? platform::devicePath(path->str()) : std::string(); }

// The folder of a host path, opened beneath the device root, and the
// path's last name in it.
platform::Status openParent(const std::string& host, platform::DeviceFolder& parent, std::string& name) {
    size_t slash = host.rfind('/');
    name = slash == std::string::npos ? host : host.substr(slash + 1);
    return platform::DeviceFolder::open(slash == std::string::npos || slash == 0 ? "/" : host.substr(0, slash), parent);
}

}  // namespace

NSFileManager* NSFileManager::defaultManager() {
    static NSFileManager* const manager = static_cast<NSFileManager*>(class_createInstance(cls()));
    return manager;
}

bool NSFileManager::fileExistsAtPath(NSString* path, BOOL* isDirectory) {
    std::string host = hostPath(path);
    struct stat st;
    if (host.empty() || ::stat(host.c_str(), &st) != 0) return false;
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return true;
}

bool NSFileManager::createDirectoryAtPath(NSString* path, bool withIntermediates, NSError** error) {
    std::string host = hostPath(path);
    if (host.empty()) return fail(error, EPERM, path, Access::Write, "created");
    if (withIntermediates) {
        platform::DeviceFolder folder;
        platform::Status s = platform::DeviceFolder::open(host, folder, true);
        return s.ok() || fail(error, s.code() == ENOTDIR ? EEXIST : s.code(), path, Access::Write, "created");
    }
    platform::DeviceFolder parent;
    std::string name;
    platform::Status s = openParent(host, parent, name);
    if (s.ok()) s = parent.makeFolder(name);
    return s.ok() || fail(error, s.code(), path, Access::Write, "created");
}

bool NSFileManager::removeItemAtPath(NSString* path, NSError** error) {
    std::string host = hostPath(path);
    if (host.empty() || host == platform::deviceRoot()) return fail(error, EPERM, path, Access::Write, "removed");
    // The tree is removed by descriptor from its folder down: a symlink
    // swapped in anywhere is removed as a link, never followed.
    platform::DeviceFolder parent;
    std::string name;
    platform::Status s = openParent(host, parent, name);
    if (s.ok()) s = parent.removeTree(name);
    return s.ok() || fail(error, s.code(), path, Access::Write, "removed");
}

bool NSFileManager::copyItemAtPath(NSString* from, NSString* to, NSError** error) {
    std::string src = hostPath(from), dst = hostPath(to);
    if (src.empty()) return fail(error, EPERM, from, Access::Read, "copied");
    if (dst.empty()) return fail(error, EPERM, to, Access::Write, "copied");
    platform::DeviceFolder srcParent, dstParent;
    std::string srcName, dstName;
    if (platform::Status s = openParent(src, srcParent, srcName); !s.ok()) return fail(error, s.code(), from, Access::Read, "copied");
    if (platform::Status s = openParent(dst, dstParent, dstName); !s.ok()) return fail(error, s.code(), to, Access::Write, "copied");
    struct stat st;
    if (platform::Status s = srcParent.statName(srcName, st); !s.ok()) return fail(error, s.code(), from, Access::Read, "copied");
    struct stat taken;
    if (dstParent.statName(dstName, taken).ok()) return fail(error, EEXIST, to, Access::Write, "copied");
    if (S_ISREG(st.st_mode)) {
        // A file appears whole under its name or not at all, and never
        // replaces one that was made meanwhile.
        int in = -1;
        struct stat opened;
        if (platform::Status s = srcParent.openRead(srcName, in, &opened); !s.ok())
            return fail(error, s.code(), from, Access::Read, "copied");
        std::string name = platform::publishNewFile(
            dstParent.path(),
            [&](const std::string&, int out) {
                return ::fchmod(out, opened.st_mode & 0777) == 0 && platform::appendFileRange(in, out, 0, opened.st_size);
            },
            [&](int n) { return n == 1 ? dstName : std::string(); });
        int err = errno;
        ::close(in);
        return !name.empty() || fail(error, err, to, Access::Write, "copied");
    }
    if (platform::Status s = srcParent.copyTree(srcName, dstParent, dstName); !s.ok())
        return fail(error, s.code(), s.code() == ENOENT ? from : to, Access::Write, "copied");
    return true;
}

bool NSFileManager::moveItemAtPath(NSString* from, NSString* to, NSError** error) {
    std::string src = hostPath(from), dst = hostPath(to);
    if (src.empty() || src == platform::deviceRoot()) return fail(error, EPERM, from, Access::Write, "moved");
    if (dst.empty()) return fail(error, EPERM, to, Access::Write, "moved");
    platform::DeviceFolder srcParent, dstParent;
    std::string srcName, dstName;
    if (platform::Status s = openParent(src, srcParent, srcName); !s.ok()) return fail(error, s.code(), from, Access::Write, "moved");
    if (platform::Status s = openParent(dst, dstParent, dstName); !s.ok()) return fail(error, s.code(), to, Access::Write, "moved");
    platform::Status s = srcParent.rename(srcName, dstParent, dstName, false);
    if (s.ok()) return true;
    if (s.code() != EXDEV) return fail(error, s.code(), s.code() == ENOENT ? from : to, Access::Write, "moved");
    // Another file system: copied, then the original removed.
    s = srcParent.copyTree(srcName, dstParent, dstName);
    if (s.ok()) s = srcParent.removeTree(srcName);
    return s.ok() || fail(error, s.code(), to, Access::Write, "moved");
}

bool NSFileManager::copyItemAtURL(NSURL* from, NSURL* to, NSError** error) {
    auto pathOf = [](NSURL* url) -> NSString* {
        if (url == nullptr || !objc_msgSend<BOOL()>(url, "isFileURL"_sel)) return nullptr;
        return objc_msgSend<NSString*()>(url, "path"_sel);
    };
    NSString* src = pathOf(from);
    NSString* dst = pathOf(to);
    if (src == nullptr) return fail(error, EINVAL, src, Access::Read, "copied");
    if (dst == nullptr) return fail(error, EINVAL, dst, Access::Write, "copied");
    return copyItemAtPath(src, dst, error);
}

bool NSFileManager::isReadableFileAtPath(NSString* path) {
    std::string host = hostPath(path);
    return !host.empty() && ::access(host.c_str(), R_OK) == 0;
}

NSArray* NSFileManager::subpathsAtPath(NSString* path) {
    std::string host = hostPath(path);
    std::error_code ec;
    if (host.empty() || !fs::is_directory(host, ec)) return nullptr;
    std::vector<std::string> names;
    // Symlinks are listed, never followed.
    // Relative by the text of the path: resolving it would follow the symlinks.
    for (fs::recursive_directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().generic_string().substr(host.size() + 1));
    if (ec) return nullptr;
    std::sort(names.begin(), names.end());
    std::vector<id> items;
    for (const auto& n : names) items.push_back(NSString::make(n));
    return NSArray::make(items);
}

NSArray* NSFileManager::contentsOfDirectoryAtPath(NSString* path, NSError** error) {
    std::string host = hostPath(path);
    if (host.empty()) {
        fail(error, EPERM, path, Access::Read, "listed");
        return nullptr;
    }
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec) {
        fail(error, ec.value(), path, Access::Read, "listed");
        return nullptr;
    }
    std::sort(names.begin(), names.end());
    std::vector<id> items;
    for (const auto& n : names) items.push_back(NSString::make(n));
    return NSArray::make(items);
}

namespace {

id defaultManager(objc_class*, SEL) { return NSFileManager::defaultManager(); }
BOOL fileExists(NSFileManager* self, SEL, NSString* path) { return self->fileExistsAtPath(path); }
BOOL fileExistsIsDirectory(NSFileManager* self, SEL, NSString* path, BOOL* isDirectory) {
    return self->fileExistsAtPath(path, isDirectory);
}
BOOL createDirectory(NSFileManager* self, SEL, NSString* path, BOOL intermediates, NSDictionary*, NSError** error) {
    return self->createDirectoryAtPath(path, intermediates, error);
}
BOOL removeItem(NSFileManager* self, SEL, NSString* path, NSError** error) { return self->removeItemAtPath(path, error); }
BOOL copyItem(NSFileManager* self, SEL, NSString* from, NSString* to, NSError** error) {
    return self->copyItemAtPath(from, to, error);
}
BOOL moveItem(NSFileManager* self, SEL, NSString* from, NSString* to, NSError** error) {
    return self->moveItemAtPath(from, to, error);
}
BOOL copyURL(NSFileManager* self, SEL, NSURL* from, NSURL* to, NSError** error) {
    return self->copyItemAtURL(from, to, error);
}
BOOL isReadable(NSFileManager* self, SEL, NSString* path) { return self->isReadableFileAtPath(path); }
NSArray* subpaths(NSFileManager* self, SEL, NSString* path) { return self->subpathsAtPath(path); }
NSArray* contentsOfDirectory(NSFileManager* self, SEL, NSString* path, NSError** error) {
    return self->contentsOfDirectoryAtPath(path, error);
}

}  // namespace

void platform::foundation::registerFileManager() {
    objc::ClassDef<NSFileManager>("NSFileManager", NSObject::cls())
        .classMethod<defaultManager>("defaultManager")
        .method<fileExists>("fileExistsAtPath:")
        .method<fileExistsIsDirectory>("fileExistsAtPath:isDirectory:")
        .method<createDirectory>("createDirectoryAtPath:withIntermediateDirectories:attributes:error:")
        .method<removeItem>("removeItemAtPath:error:")
        .method<copyItem>("copyItemAtPath:toPath:error:")
        .method<copyURL>("copyItemAtURL:toURL:error:")
        .method<isReadable>("isReadableFileAtPath:")
        .method<subpaths>("subpathsAtPath:")
        .method<moveItem>("moveItemAtPath:toPath:error:")
        .method<contentsOfDirectory>("contentsOfDirectoryAtPath:error:");
}
