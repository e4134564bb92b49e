// The benchmarks' temporary folders (their device roots). A folder is
// removed when its object is destroyed; one that still exists when the
// program exits (a fixture's, never destroyed) is removed at exit; and when
// SIGTERM ends the program (as a time-out does), every folder that still
// exists is removed before the program ends by the signal, as it would have.
#pragma once

#include <atomic>
#include <climits>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace bench {

namespace folders {

// The folders that exist, in fixed storage the SIGTERM handler can read.
// A slot is 0 free, 1 being filled, 2 holding a folder.
struct Slot {
    std::atomic<int> state{0};
    char path[PATH_MAX];
};
inline constexpr int kSlots = 32;
inline Slot slots[kSlots];

// Removes `name` (beneath the folder `parent`) and all it holds, with only
// calls that are safe in a signal handler; symbolic links are removed, never
// followed. Nesting deeper than 32 folders is left.
inline void removeTree(int parent, const char* name, int depth) {
    if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT || depth > 32) return;
    int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    alignas(dirent64) char buffer[1024];
    long n;
    while ((n = ::getdents64(fd, buffer, sizeof buffer)) > 0) {
        for (long at = 0; at < n;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                removeTree(fd, entry->d_name, depth + 1);
        }
    }
    ::close(fd);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

inline void onTerm(int) {
    int saved = errno;
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == 2) removeTree(AT_FDCWD, slot.path, 0);
    errno = saved;
    // The handler was reset to the default when it was called; the signal,
    // blocked until the handler returns, then ends the program.
    ::raise(SIGTERM);
}

inline void atExit() {
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == 2) {
            std::error_code ec;
            std::filesystem::remove_all(slot.path, ec);
        }
}

// Installed once: the exit removal, and the SIGTERM handler unless the
// program handles SIGTERM itself.
inline void install() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit(atExit);
        struct sigaction current {};
        if (::sigaction(SIGTERM, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
            current.sa_handler != SIG_DFL)
            return;
        struct sigaction action {};
        action.sa_handler = onTerm;
        action.sa_flags = SA_RESETHAND;
        sigfillset(&action.sa_mask);
        ::sigaction(SIGTERM, &action, nullptr);
    });
}

// The slot now holding `path`, or -1 when all are taken (the folder is then
// still removed with its object, but not on SIGTERM or at exit).
inline int hold(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    install();
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(2, std::memory_order_release);
        return i;
    }
    return -1;
}

inline void release(int slot) {
    if (slot >= 0) slots[slot].state.store(0, std::memory_order_release);
}

}  // namespace folders

// A new folder under the system's temporary folder (cantrel-bench-XXXXXX).
// path() is empty, and error() says why, when it could not be made.
class TemporaryFolder {
public:
    TemporaryFolder() {
        std::error_code ec;
        std::string pattern = (std::filesystem::temp_directory_path(ec) / "cantrel-bench-XXXXXX").string();
        if (ec || ::mkdtemp(pattern.data()) == nullptr) {
            error_ = "cannot make a temporary folder: " + std::string(std::strerror(ec ? ec.value() : errno));
            return;
        }
        path_ = pattern;
        slot_ = folders::hold(path_);
    }
    ~TemporaryFolder() {
        if (path_.empty()) return;
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
        folders::release(slot_);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

private:
    std::string path_;
    std::string error_;
    int slot_ = -1;
};

}  // namespace bench
