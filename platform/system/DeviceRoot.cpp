#include <platform/DeviceRoot.h>
#include <platform/DeviceFiles.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::mutex rootLock;
std::string* rootPath = nullptr;

// The folder of the platform's own state; it must be a real folder, never a
// symlink, so that locks and sockets stay where they are looked for.
constexpr const char kPlatformFolder[] = "/.platform";

// Lexical normalisation of an absolute path; false when ".." climbs above "/".
bool normalise(const std::string& in, std::string& out) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < in.size()) {
        size_t j = in.find('/', i);
        if (j == std::string::npos) j = in.size();
        std::string part = in.substr(i, j - i);
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else {
            parts.push_back(part);
        }
        i = j + 1;
    }
    out.clear();
    for (const auto& p : parts) out += "/" + p;
    if (out.empty()) out = "/";
    return true;
}

std::string initialRoot() {
    const char* env = std::getenv("CANTREL_DEVICE_ROOT");
    std::error_code ec;
    std::string base = (env && *env) ? std::string(env) : fs::current_path(ec).string();
    return absoluteHostPath(base);
}

bool isUnder(const std::string& path, const std::string& folder) {
    if (folder == "/") return !path.empty() && path[0] == '/';
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// What an open descriptor refers to, as the kernel names it; "" when unknown.
std::string pathOfDescriptor(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    ssize_t n = ::readlink(link, target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target || target[0] != '/') return "";  // none, or cut short
    return std::string(target, static_cast<size_t>(n));
}

// The path with every symlink resolved; "" for a dangling symlink, a loop
// or a path that does not exist. The kernel resolves it in one lookup (a
// descriptor that only names the file); realpath(3), which reads every
// component as a possible link, is the fallback without /proc.
std::string realPath(const std::string& path) {
    int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return "";
    std::string out = pathOfDescriptor(fd);
    ::close(fd);
    // A name the kernel marks (deleted, or outside this process's root) is
    // no answer: the library function decides.
    if (!out.empty() && out.find(" (deleted)") == std::string::npos) return out;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return "";
    out = resolved;
    std::free(resolved);
    return out;
}

// realPath() of a root folder. A root whose path holds no symlink is
// remembered as such: every check of a path inside it asks again, and the
// root is the host's own folder, which nothing inside the device replaces.
std::string realRootPath(const std::string& root) {
    static std::mutex lock;
    static std::string* canonical = new std::string();  // never destroyed: used until the process ends
    {
        std::lock_guard<std::mutex> g(lock);
        if (!canonical->empty() && *canonical == root) return root;
    }
    std::string real = realPath(root);
    if (!real.empty() && real == root) {
        std::lock_guard<std::mutex> g(lock);
        *canonical = root;
    }
    return real;
}

// Opens `relative` beneath the folder open at `folder`; the kernel refuses
// every step that would leave it (".." above it, a symlink that leads out,
// any absolute symlink): -1 with EXDEV or ELOOP then, ENOSYS where the
// kernel cannot.
int openBeneath(int folder, const std::string& relative, int flags) {
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how));
}

// A root folder held open (O_PATH) for resolutions beneath it: opened once
// per root, and again once its path names another folder (the one held was
// removed or moved). Shared by threads; the descriptor closes when the last
// user lets go of it.
class HeldFolder {
public:
    static std::shared_ptr<const HeldFolder> of(const std::string& path) {
        // The few folders checks are made against (the device root, the
        // export folder), the one used last first.
        constexpr size_t kHeld = 4;
        static std::mutex lock;
        static auto* held = new std::vector<std::shared_ptr<const HeldFolder>>();  // never destroyed: used until the process ends
        std::shared_ptr<const HeldFolder> folder;
        {
            std::lock_guard<std::mutex> g(lock);
            for (const auto& f : *held)
                if (f->path_ == path) folder = f;
        }
        struct stat st;
        if (folder && ::stat(path.c_str(), &st) == 0 && st.st_dev == folder->device_ && st.st_ino == folder->inode_)
            return folder;
        folder = std::make_shared<const HeldFolder>(path);
        if (folder->fd_ < 0) return nullptr;
        std::lock_guard<std::mutex> g(lock);
        std::erase_if(*held, [&](const auto& f) { return f->path_ == path; });
        if (held->size() == kHeld) held->pop_back();
        held->insert(held->begin(), folder);
        return folder;
    }
    explicit HeldFolder(std::string path)
        : path_(std::move(path)), fd_(::open(path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
        struct stat st;
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0) {
            device_ = st.st_dev;
            inode_ = st.st_ino;
        }
    }
    ~HeldFolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;
    int fd() const { return fd_; }

private:
    std::string path_;
    int fd_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// `path` (under `root`) relative to `root`.
std::string relativeTo(const std::string& path, const std::string& root) {
    return path.size() > root.size() ? path.substr(root.size() + 1) : ".";
}

}  // namespace

std::string absoluteHostPath(const std::string& path) {
    std::error_code ec;
    std::string abs = fs::absolute(path, ec).string();
    std::string out;
    if (ec || !normalise(abs, out)) return "";
    return out;
}

bool resolvesInside(const std::string& hostPath, const std::string& rootHostPath) {
    if (rootHostPath == "/") return true;
    if (!isUnder(hostPath, rootHostPath)) return false;
    // The deepest part of the path that exists decides: below it nothing
    // exists, so nothing there can lead elsewhere. Where the kernel resolves
    // it beneath the root it is inside; else (an absolute symlink, one that
    // leads nowhere, a kernel that cannot) the resolved paths are compared.
    std::shared_ptr<const HeldFolder> root = HeldFolder::of(rootHostPath);
    std::string p = hostPath;
    while (p.size() > rootHostPath.size()) {
        if (root) {
            int fd = openBeneath(root->fd(), relativeTo(p, rootHostPath), O_PATH);
            if (fd >= 0) {
                ::close(fd);
                return true;
            }
        }
        struct stat st;
        if (::lstat(p.c_str(), &st) == 0) {
            std::string real = realPath(p);          // fails for a dangling symlink or a loop
            std::string realRoot = realRootPath(rootHostPath);
            return !real.empty() && !realRoot.empty() && isUnder(real, realRoot);
        }
        if (errno != ENOENT && errno != ENOTDIR) return false;
        p.erase(p.rfind('/'));
    }
    return true;
}

void setDeviceRoot(const std::string& path) {
    std::string out = absoluteHostPath(path);
    if (out.empty()) out = "/";
    std::lock_guard<std::mutex> g(rootLock);
    if (rootPath == nullptr) rootPath = new std::string();
    *rootPath = out;
}

std::string deviceRoot() {
    std::lock_guard<std::mutex> g(rootLock);
    if (rootPath == nullptr) rootPath = new std::string(initialRoot());
    return *rootPath;
}

namespace {

// The lexical host path of a device path, or "" when ".." leaves the root.
std::string lexicalDevicePath(const std::string& path, const std::string& root) {
    std::string rootSlash = root == "/" ? "/" : root + "/";
    if (path.empty()) return "";
    std::string rel;
    if (path[0] == '/') {
        std::string norm;
        if (!normalise(path, norm)) return "";
        if (norm == root || norm.compare(0, rootSlash.size(), rootSlash) == 0) {
            // Already a host path under the root; it must stay there.
            return norm;
        }
        rel = norm;
        if (rel == "/User" || rel.compare(0, 6, "/User/") == 0) rel = "/var/mobile" + rel.substr(5);
    } else {
        rel = "/" + path;
    }
    std::string normRel;
    if (!normalise(rel, normRel)) return "";
    if (normRel == "/User" || normRel.compare(0, 6, "/User/") == 0) normRel = "/var/mobile" + normRel.substr(5);
    return root == "/" ? normRel : root + (normRel == "/" ? "" : normRel);
}

}  // namespace

std::string devicePath(const std::string& path) {
    const std::string root = deviceRoot();
    std::string host = lexicalDevicePath(path, root);
    if (host.empty()) return "";
    std::string platformFolder = (root == "/" ? "" : root) + kPlatformFolder;
    if (isUnder(host, platformFolder)) {
        struct stat st;
        if (::lstat(platformFolder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return "";
    }
    return resolvesInside(host, root) ? host : "";
}

bool makeDeviceDirectories(const std::string& path) {
    std::string host = devicePath(path);
    if (host.empty()) return false;
    std::error_code ec;
    fs::create_directories(host, ec);
    return !ec && fs::is_directory(host) && resolvesInside(host, deviceRoot());
}

int descriptorShortage() {
    int fd = ::open("/", O_PATH | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    return errno == EMFILE || errno == ENFILE ? errno : 0;
}

int openDeviceFile(const std::string& hostPath) {
    if (hostPath.empty()) {
        errno = ENOENT;
        return -1;
    }
    // Non-blocking, so that a FIFO or a device answers at once; the mode
    // goes back to blocking once the file is known to be a regular one.
    // Opened beneath the root where the kernel can: what was opened then
    // lies inside it, whatever the name leads to a moment later.
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const std::string root = deviceRoot();
    bool beneath = false;
    int fd = -1;
    if (root != "/" && isUnder(hostPath, root) && hostPath != root) {
        if (std::shared_ptr<const HeldFolder> folder = HeldFolder::of(root)) {
            fd = openBeneath(folder->fd(), relativeTo(hostPath, root), kFlags);
            int err = errno;
            beneath = fd >= 0;
            // Not there, or not allowed: the plain open answers the same.
            if (!beneath && (err == ENOENT || err == ENOTDIR || err == EACCES || err == ENXIO)) {
                errno = err;
                return -1;
            }
        }
    }
    if (!beneath) fd = ::open(hostPath.c_str(), kFlags);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    // What was opened, not what the name led to a moment before, must lie
    // inside the root.
    bool inside = beneath;
    if (!inside) {
        std::string opened = pathOfDescriptor(fd);
        std::string realRoot = realRootPath(root);
        inside = opened.empty() ? resolvesInside(hostPath, root)
                                : root == "/" || (!realRoot.empty() && isUnder(opened, realRoot));
    }
    if (!inside) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

int openInsideRoot(const std::string& hostPath, int flags) {
    const std::string root = deviceRoot();
    if (hostPath.empty() || !isUnder(hostPath, root)) {
        errno = hostPath.empty() ? ENOENT : EXDEV;
        return -1;
    }
    std::shared_ptr<const HeldFolder> folder = HeldFolder::of(root);
    if (!folder) return -1;
    if (hostPath == root) return ::openat(folder->fd(), ".", flags | O_CLOEXEC);
    int fd = openBeneath(folder->fd(), relativeTo(hostPath, root), flags);
    if (fd >= 0 || (errno != EXDEV && errno != ELOOP && errno != ENOSYS)) return fd;
    // An absolute symlink on the way (or a kernel without openat2): the
    // names are resolved, and the resolved path, if inside, is opened
    // beneath the root with no symlink at all, so that nothing swapped in
    // meanwhile can lead elsewhere.
    std::string real = realPath(hostPath);
    std::string realRoot = realRootPath(root);
    if (real.empty()) {
        // Nothing there yet: the folder above decides, the name is taken as it is.
        size_t slash = hostPath.rfind('/');
        if (slash == std::string::npos || slash <= root.size()) {
            errno = ENOENT;
            return -1;
        }
        std::string parent = realPath(hostPath.substr(0, slash));
        if (parent.empty()) {
            errno = ENOENT;
            return -1;
        }
        real = parent + hostPath.substr(slash);
    }
    if (realRoot.empty() || real == realRoot || !isUnder(real, realRoot)) {
        errno = EXDEV;
        return -1;
    }
    std::shared_ptr<const HeldFolder> realFolder = realRoot == root ? folder : HeldFolder::of(realRoot);
    if (!realFolder) return -1;
    open_how how{};
    how.flags = static_cast<uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    fd = static_cast<int>(::syscall(SYS_openat2, realFolder->fd(), relativeTo(real, realRoot).c_str(), &how, sizeof how));
    if (fd >= 0 || errno != ENOSYS) return fd;
    // No openat2 at all: what was opened is checked.
    fd = ::open(real.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return -1;
    std::string opened = pathOfDescriptor(fd);
    if (!opened.empty() && !isUnder(opened, realRoot)) {
        ::close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

bool readDeviceFile(const std::string& hostPath, std::string& out, size_t maxBytes) {
    int fd = openDeviceFile(hostPath);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        errno = EFBIG;
        return false;
    }
    out.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            errno = err;
            return false;
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > maxBytes) {  // it grew while read
            ::close(fd);
            errno = EFBIG;
            return false;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace platform
