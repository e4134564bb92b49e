// Device files by descriptor: folders opened beneath the device root, and
// every file operation relative to one of them.
#include <platform/DeviceFiles.h>

#include <platform/DeviceRoot.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

Status Status::error(int code, std::string_view action, std::string_view path) {
    Status s;
    s.code_ = code != 0 ? code : EIO;
    s.message_ = "cannot " + std::string(action) + " " + std::string(path) + ": " + std::strerror(s.code_);
    return s;
}

bool Status::setErrno() const {
    errno = code_;
    return ok();
}

namespace {

constexpr char kTempPrefix[] = ".new-";
constexpr size_t kTempRandom = 6;

std::string joined(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// A hidden temporary name not taken before in this process (the random
// source the tests seed is left alone).
std::string temporaryName() {
    static std::atomic<unsigned> counter{0};
    unsigned n = counter.fetch_add(1) * 2654435761u + static_cast<unsigned>(::getpid()) * 40503u +
                 static_cast<unsigned>(::time(nullptr));
    char random[16];
    std::snprintf(random, sizeof random, "%06x", n & 0xFFFFFFu);
    return std::string(kTempPrefix) + random;
}

bool isTemporaryName(const char* name) {
    size_t prefix = sizeof kTempPrefix - 1;
    return std::strncmp(name, kTempPrefix, prefix) == 0 && std::strlen(name) == prefix + kTempRandom;
}

int closeKeepingErrno(int fd) {
    int err = errno;
    ::close(fd);
    errno = err;
    return -1;
}

// Removes everything in the folder open at `dir`, never following a
// symlink; false (errno set) on the first failure. `depth` bounds the
// descriptors held at once.
bool emptyFolder(int dir, int depth) {
    if (depth > 64) {
        errno = ELOOP;
        return false;
    }
    int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(listing), ::closedir);
    if (!d) return closeKeepingErrno(listing) == 0;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d.get()))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    for (const std::string& name : names) {
        if (::unlinkat(dir, name.c_str(), 0) == 0 || errno == ENOENT) continue;
        if (errno != EISDIR && errno != EPERM) return false;
        int sub = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) return false;
        bool emptied = emptyFolder(sub, depth + 1);
        if (!emptied) return closeKeepingErrno(sub) == 0;
        ::close(sub);
        if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) return false;
    }
    return true;
}

}  // namespace

bool isPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

// ---- NewFile ----

NewFile::~NewFile() { discard(); }

NewFile::NewFile(NewFile&& other) noexcept { *this = std::move(other); }

NewFile& NewFile::operator=(NewFile&& other) noexcept {
    if (this != &other) {
        discard();
        folder_ = other.folder_;
        fd_ = other.fd_;
        folderPath_ = std::move(other.folderPath_);
        tempName_ = std::move(other.tempName_);
        other.fd_ = -1;
        other.tempName_.clear();
    }
    return *this;
}

void NewFile::discard() {
    if (!tempName_.empty() && folder_ >= 0) ::unlinkat(folder_, tempName_.c_str(), 0);
    tempName_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string NewFile::reopenPath() const { return "/proc/self/fd/" + std::to_string(fd_); }

Status NewFile::close() {
    if (fd_ < 0) return {};
    // An unnamed file must stay open until it is linked: only a named
    // temporary is closed here.
    if (tempName_.empty()) return {};
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Status::error(errno, "write", joined(folderPath_, tempName_));
    return {};
}

Status NewFile::publish(const std::function<std::string(int n)>& nameFor, std::string& taken) {
    taken.clear();
    int err = EEXIST;
    for (int n = 1;; ++n) {
        std::string candidate = nameFor(n);
        if (candidate.empty()) break;
        if (!isPlainName(candidate)) {
            err = EINVAL;
            break;
        }
        // A link never replaces: a taken name answers EEXIST.
        int linked = tempName_.empty()
                         ? ::linkat(AT_FDCWD, reopenPath().c_str(), folder_, candidate.c_str(), AT_SYMLINK_FOLLOW)
                         : ::linkat(folder_, tempName_.c_str(), folder_, candidate.c_str(), 0);
        if (linked == 0) {
            taken = candidate;
            discard();
            return {};
        }
        err = errno;
        if (err != EEXIST) break;
    }
    std::string name = nameFor(1);
    return Status::error(err, "publish", joined(folderPath_, name.empty() ? "a new file" : name));
}

Status NewFile::replace(const std::string& name) {
    if (!isPlainName(name)) return Status::error(EINVAL, "replace", joined(folderPath_, name));
    if (tempName_.empty()) {
        // Unnamed: linked under a hidden name of its own, then renamed over
        // the file in one step; locked first, so that a sweep of the folder
        // by another process leaves the name between the two.
        ::flock(fd_, LOCK_EX);
        for (int attempt = 0; attempt < 16 && tempName_.empty(); ++attempt) {
            std::string temp = temporaryName();
            if (::linkat(AT_FDCWD, reopenPath().c_str(), folder_, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) tempName_ = temp;
            else if (errno != EEXIST) return Status::error(errno, "write", joined(folderPath_, name));
        }
        if (tempName_.empty()) return Status::error(EEXIST, "write", joined(folderPath_, name));
    }
    if (::renameat(folder_, tempName_.c_str(), folder_, name.c_str()) != 0) {
        Status failed = Status::error(errno, "replace", joined(folderPath_, name));
        discard();
        return failed;
    }
    tempName_.clear();
    discard();
    return {};
}

// ---- DeviceFolder ----

DeviceFolder::~DeviceFolder() {
    if (fd_ >= 0) ::close(fd_);
}

DeviceFolder::DeviceFolder(DeviceFolder&& other) noexcept { *this = std::move(other); }

DeviceFolder& DeviceFolder::operator=(DeviceFolder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

Status DeviceFolder::open(const std::string& hostPath, DeviceFolder& out, bool create) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY;
    if (out.fd_ >= 0) ::close(out.fd_);
    out.fd_ = -1;
    out.path_ = hostPath;
    int fd = openInsideRoot(hostPath, kFlags);
    if (fd < 0 && create && errno == ENOENT) {
        // The folder above first, then this one beneath it.
        size_t slash = hostPath.rfind('/');
        std::string name = slash == std::string::npos ? "" : hostPath.substr(slash + 1);
        if (slash == std::string::npos || slash == 0 || !isPlainName(name))
            return Status::error(ENOENT, "open the folder", hostPath);
        DeviceFolder parent;
        if (Status s = open(hostPath.substr(0, slash), parent, true); !s.ok()) return s;
        if (::mkdirat(parent.fd_, name.c_str(), 0755) != 0 && errno != EEXIST)
            return Status::error(errno, "create the folder", hostPath);
        fd = ::openat(parent.fd_, name.c_str(), kFlags | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0) return Status::error(errno == ELOOP ? EXDEV : errno, "open the folder", hostPath);
    out.fd_ = fd;
    return {};
}

Status DeviceFolder::openHostFolder(const std::string& hostPath, DeviceFolder& out) {
    if (out.fd_ >= 0) ::close(out.fd_);
    out.path_ = hostPath;
    out.fd_ = ::open(hostPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (out.fd_ < 0) return Status::error(errno, "open the folder", hostPath);
    return {};
}

Status DeviceFolder::openFolder(const std::string& name, DeviceFolder& out) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "open the folder", path);
    int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return Status::error(errno, "open the folder", path);
    if (out.fd_ >= 0) ::close(out.fd_);
    out.fd_ = fd;
    out.path_ = path;
    return {};
}

Status DeviceFolder::openRead(const std::string& name, int& fd, struct stat* st) const {
    fd = -1;
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "read", path);
    int f = ::openat(fd_, name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (f < 0) return Status::error(errno, "read", path);
    struct stat own {};
    struct stat& s = st ? *st : own;
    if (::fstat(f, &s) != 0) {
        Status failed = Status::error(errno, "read", path);
        ::close(f);
        return failed;
    }
    if (!S_ISREG(s.st_mode)) {
        ::close(f);
        return Status::error(S_ISDIR(s.st_mode) ? EISDIR : EINVAL, "read", path);
    }
    int flags = ::fcntl(f, F_GETFL);
    if (flags >= 0) ::fcntl(f, F_SETFL, flags & ~O_NONBLOCK);
    fd = f;
    return {};
}

Status DeviceFolder::statName(const std::string& name, struct stat& st) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "look at", path);
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Status::error(errno, "look at", path);
    return {};
}

Status DeviceFolder::createFile(NewFile& out) const {
    out.discard();
    out.folder_ = fd_;
    out.folderPath_ = path_;
    int fd = ::openat(fd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        out.fd_ = fd;
        return {};
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
        return Status::error(errno, "create a file in", path_);
    // No unnamed files here: a hidden name of our own, locked while it is
    // written so that a sweep leaves it.
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string name = temporaryName();
        fd = ::openat(fd_, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Status::error(errno, "create a file in", path_);
        }
        ::flock(fd, LOCK_EX);
        out.fd_ = fd;
        out.tempName_ = name;
        return {};
    }
    return Status::error(EEXIST, "create a file in", path_);
}

Status DeviceFolder::makeFolder(const std::string& name, mode_t mode) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "create the folder", path);
    if (::mkdirat(fd_, name.c_str(), mode) != 0) return Status::error(errno, "create the folder", path);
    return {};
}

Status DeviceFolder::rename(const std::string& name, const DeviceFolder& to, const std::string& toName,
                            bool replace) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name) || !isPlainName(toName)) return Status::error(EINVAL, "move", path);
    int moved = replace ? ::renameat(fd_, name.c_str(), to.fd_, toName.c_str())
                        : ::renameat2(fd_, name.c_str(), to.fd_, toName.c_str(), RENAME_NOREPLACE);
    if (moved != 0) return Status::error(errno, "move", path + " to " + joined(to.path_, toName));
    return {};
}

Status DeviceFolder::removeFile(const std::string& name) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "remove", path);
    if (::unlinkat(fd_, name.c_str(), 0) != 0) return Status::error(errno, "remove", path);
    return {};
}

Status DeviceFolder::removeTree(const std::string& name) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "remove", path);
    if (::unlinkat(fd_, name.c_str(), 0) == 0) return {};
    if (errno != EISDIR && errno != EPERM) return Status::error(errno, "remove", path);
    int sub = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (sub < 0) return Status::error(errno, "remove", path);
    bool emptied = emptyFolder(sub, 0);
    int err = errno;
    ::close(sub);
    if (!emptied) return Status::error(err, "remove", path);
    if (::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) != 0) return Status::error(errno, "remove", path);
    return {};
}

Status DeviceFolder::copyTree(const std::string& name, const DeviceFolder& to, const std::string& toName) const {
    return copyTreeAt(name, to, toName, 0);
}

Status DeviceFolder::copyTreeAt(const std::string& name, const DeviceFolder& to, const std::string& toName,
                                int depth) const {
    std::string path = joined(path_, name), target = joined(to.path_, toName);
    if (!isPlainName(name) || !isPlainName(toName)) return Status::error(EINVAL, "copy", path);
    if (depth > 64) return Status::error(ELOOP, "copy", path);
    struct stat st {};
    if (Status s = statName(name, st); !s.ok()) return s;
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> link(static_cast<size_t>(st.st_size) + 2);
        ssize_t n = ::readlinkat(fd_, name.c_str(), link.data(), link.size() - 1);
        if (n < 0 || static_cast<size_t>(n) >= link.size() - 1) return Status::error(n < 0 ? errno : EIO, "copy", path);
        link[static_cast<size_t>(n)] = '\0';
        if (::symlinkat(link.data(), to.fd_, toName.c_str()) != 0) return Status::error(errno, "copy", target);
        return {};
    }
    if (S_ISREG(st.st_mode)) {
        int in = -1;
        if (Status s = openRead(name, in, &st); !s.ok()) return s;
        NewFile out;
        Status s = to.createFile(out);
        if (s.ok() && (::fchmod(out.fd(), st.st_mode & 0777) != 0 || !appendFileRange(in, out.fd(), 0, st.st_size) ||
                       ::fdatasync(out.fd()) != 0))
            s = Status::error(errno, "copy", target);
        ::close(in);
        std::string taken;
        if (s.ok()) s = out.publish([&](int n) { return n == 1 ? toName : std::string(); }, taken);
        return s;
    }
    if (!S_ISDIR(st.st_mode)) return Status::error(EINVAL, "copy", path);
    DeviceFolder from, into;
    if (Status s = openFolder(name, from); !s.ok()) return s;
    if (Status s = to.makeFolder(toName, st.st_mode & 07777); !s.ok()) return s;
    if (Status s = to.openFolder(toName, into); !s.ok()) return s;
    int listing = ::openat(from.fd_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return Status::error(errno, "copy", path);
    std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(listing), ::closedir);
    if (!d) {
        ::close(listing);
        return Status::error(errno, "copy", path);
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d.get()))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    d.reset();
    for (const std::string& entry : names)
        if (Status s = from.copyTreeAt(entry, into, entry, depth + 1); !s.ok()) return s;
    return {};
}

Status DeviceFolder::replaceWhole(const std::string& name, const void* bytes, size_t length) const {
    std::string path = joined(path_, name);
    if (!isPlainName(name)) return Status::error(EINVAL, "write", path);
    // Only a file (or a symlink, itself replaced) gives way to the new file.
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        return Status::error(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "write", path);
    NewFile file;
    if (Status s = createFile(file); !s.ok()) return s;
    const char* p = static_cast<const char*>(bytes);
    for (size_t left = length; left > 0;) {
        ssize_t n = ::write(file.fd(), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Status::error(n < 0 ? errno : EIO, "write", path);
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (::fchmod(file.fd(), 0644) != 0 || ::fsync(file.fd()) != 0) return Status::error(errno, "write", path);
    if (Status s = file.replace(name); !s.ok()) return s;
    syncEntries();
    return {};
}

void DeviceFolder::syncEntries() const {
    if (fd_ >= 0) ::fsync(fd_);
}

size_t sweepTemporaries(const std::string& folderHostPath) {
    DeviceFolder folder;
    if (!DeviceFolder::open(folderHostPath, folder).ok()) return 0;
    int listing = ::openat(folder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return 0;
    std::unique_ptr<DIR, int (*)(DIR*)> d(::fdopendir(listing), ::closedir);
    if (!d) {
        ::close(listing);
        return 0;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(d.get()))
        if (isTemporaryName(e->d_name)) names.push_back(e->d_name);
    size_t removed = 0;
    for (const std::string& name : names) {
        int fd = ::openat(folder.fd(), name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // A writer at work holds its lock.
        bool abandoned = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (abandoned && ::unlinkat(folder.fd(), name.c_str(), 0) == 0) ++removed;
        ::close(fd);
    }
    return removed;
}

size_t sweepTemporariesBelow(const std::string& folderHostPath, int levels) {
    size_t removed = sweepTemporaries(folderHostPath);
    if (levels <= 0) return removed;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folderHostPath, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        if (it->symlink_status(sec).type() == std::filesystem::file_type::directory)
            removed += sweepTemporariesBelow(it->path().string(), levels - 1);
    }
    return removed;
}

}  // namespace platform
