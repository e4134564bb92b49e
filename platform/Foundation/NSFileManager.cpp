// NSFileManager over the device root.
#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSString.h>
#include <Foundation/NSURL.h>
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

bool exists(const std::string& host) {
    struct stat st;
    return ::lstat(host.c_str(), &st) == 0;
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
        std::error_code ec;
        fs::create_directories(host, ec);
        if (ec) return fail(error, ec.value(), path, Access::Write, "created");
        if (!fs::is_directory(host, ec)) return fail(error, EEXIST, path, Access::Write, "created");
        return true;
    }
    if (::mkdir(host.c_str(), 0755) != 0) return fail(error, errno, path, Access::Write, "created");
    return true;
}

bool NSFileManager::removeItemAtPath(NSString* path, NSError** error) {
    std::string host = hostPath(path);
    if (host.empty() || host == platform::deviceRoot()) return fail(error, EPERM, path, Access::Write, "removed");
    if (!exists(host)) return fail(error, ENOENT, path, Access::Write, "removed");
    std::error_code ec;
    fs::remove_all(host, ec);
    if (ec) return fail(error, ec.value(), path, Access::Write, "removed");
    return true;
}

bool NSFileManager::copyItemAtPath(NSString* from, NSString* to, NSError** error) {
    std::string src = hostPath(from), dst = hostPath(to);
    if (src.empty()) return fail(error, EPERM, from, Access::Read, "copied");
    if (dst.empty()) return fail(error, EPERM, to, Access::Write, "copied");
    struct stat st;
    if (::lstat(src.c_str(), &st) != 0) return fail(error, ENOENT, from, Access::Read, "copied");
    if (exists(dst)) return fail(error, EEXIST, to, Access::Write, "copied");
    if (S_ISREG(st.st_mode)) {
        // A file appears whole under its name or not at all, and never
        // replaces one that was made meanwhile.
        int in = platform::openDeviceFile(src);
        if (in < 0) return fail(error, errno, from, Access::Read, "copied");
        struct stat opened;
        bool sized = ::fstat(in, &opened) == 0;
        fs::path target(dst);
        std::string name = platform::publishNewFile(
            target.parent_path().string(),
            [&](const std::string&, int out) {
                return sized && ::fchmod(out, opened.st_mode & 0777) == 0 &&
                       platform::appendFileRange(in, out, 0, opened.st_size);
            },
            [&](int n) { return n == 1 ? target.filename().string() : std::string(); });
        int err = errno;
        ::close(in);
        if (name.empty()) return fail(error, err, to, Access::Write, "copied");
        return true;
    }
    std::error_code ec;
    fs::copy(src, dst, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) return fail(error, ec.value(), to, Access::Write, "copied");
    return true;
}

bool NSFileManager::moveItemAtPath(NSString* from, NSString* to, NSError** error) {
    std::string src = hostPath(from), dst = hostPath(to);
    if (src.empty() || src == platform::deviceRoot()) return fail(error, EPERM, from, Access::Write, "moved");
    if (dst.empty()) return fail(error, EPERM, to, Access::Write, "moved");
    if (!exists(src)) return fail(error, ENOENT, from, Access::Write, "moved");
    if (exists(dst)) return fail(error, EEXIST, to, Access::Write, "moved");
    if (std::rename(src.c_str(), dst.c_str()) == 0) return true;
    if (errno != EXDEV) return fail(error, errno, to, Access::Write, "moved");
    std::error_code ec;
    fs::copy(src, dst, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (!ec) fs::remove_all(src, ec);
    if (ec) return fail(error, ec.value(), to, Access::Write, "moved");
    return true;
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
