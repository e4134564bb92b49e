// The Music host's registration: an exclusive flock on
// <root>/.platform/Music.lock holding the host's pid.
#include <platform/System.h>

#include "SystemInternal.h"

#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr int kLockAttempts = 40;  // 5 ms apart
std::atomic<int> liveRegistrations{0};
std::atomic<RunLoop*> quitTarget{nullptr};
std::atomic<bool> terminateReceived{false};
std::atomic<const char*> endAtOnceMessage{nullptr};  // set: end at once
std::atomic<int> lockFd{-1};

// The temporary files being written: a slot is free (0), being filled (1)
// or names a file (2).
struct TemporarySlot {
    std::atomic<int> state{0};
    char path[4096];
};
TemporarySlot temporaries[16];

// Removes the temporary files being written (unlink, safe in a handler).
void removeTemporaries() {
    for (TemporarySlot& slot : temporaries)
        if (slot.state.load() == 2) unlink(slot.path);
}

// Asks the main run loop to quit (atomic stores and a write(2)), or ends the
// process at once (write, unlink, ftruncate and _exit, all safe in a
// handler).
extern "C" void onTerminate(int) {
    terminateReceived.store(true);
    if (const char* message = endAtOnceMessage.load()) {
        if (write(STDERR_FILENO, message, std::strlen(message)) < 0) {
        }
        removeTemporaries();
        if (int fd = lockFd.load(); fd >= 0 && ftruncate(fd, 0) != 0) {
        }
        _exit(128 + SIGTERM);
    }
    if (RunLoop* loop = quitTarget.load()) loop->requestQuit();
}

}  // namespace

std::string musicLockPath() { return devicePath("/.platform/Music.lock"); }

detail::TrackedTemporary::TrackedTemporary(const char* path) {
    size_t length = std::strlen(path);
    for (int i = 0; i < static_cast<int>(std::size(temporaries)) && length < sizeof temporaries[i].path; ++i) {
        int free = 0;
        if (!temporaries[i].state.compare_exchange_strong(free, 1)) continue;
        std::memcpy(temporaries[i].path, path, length + 1);
        temporaries[i].state.store(2);
        slot_ = i;
        return;
    }
}

detail::TrackedTemporary::~TrackedTemporary() {
    if (slot_ >= 0) temporaries[slot_].state.store(0);
}

bool detail::hasMusicHostRegistration() { return liveRegistrations.load() > 0; }

pid_t detail::readLockPid(int fd) {
    char buf[32] = {};
    ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) return 0;
    char* end = nullptr;
    long pid = std::strtol(buf, &end, 10);
    return (end != buf && pid > 0) ? static_cast<pid_t>(pid) : 0;
}

MusicHostRegistration::MusicHostRegistration() : path_(musicLockPath()) {
    // A path that did not resolve for want of descriptors says so.
    if (path_.empty()) {
        int shortage = descriptorShortage();
        error_ = "cannot use " + deviceRoot() + "/.platform/Music.lock: " +
                 (shortage != 0 ? std::strerror(shortage)
                                : ".platform is a symlink or not a folder, or the lock leads out of the root");
        return;
    }
    if (!makeDeviceDirectories("/.platform")) {
        int shortage = descriptorShortage();
        error_ = "cannot make the folder of the Music lock under " + deviceRoot() +
                 (shortage != 0 ? std::string(": ") + std::strerror(shortage) : std::string());
        return;
    }
    // Never through a symlink (the pid write truncates what it opens), and
    // never anything but a regular file (a FIFO would block the open).
    int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        fd = -1;
        errno = EINVAL;
    }
    if (fd < 0) {
        const char* why = errno == ELOOP ? "it is a symlink" : errno == EINVAL ? "not a regular file" : nullptr;
        error_ = "cannot open " + path_ + ": " + (why ? why : std::strerror(errno));
        return;
    }
    // killall probes the lock by taking it for a moment; a short retry
    // keeps such a probe from failing a host that starts right then.
    int err = 0;
    for (int attempt = 0; flock(fd, LOCK_EX | LOCK_NB) != 0; ++attempt) {
        err = errno;
        if (err != EWOULDBLOCK || attempt == kLockAttempts) break;
        usleep(5000);
        err = 0;
    }
    if (err != 0) {
        pid_t holder = detail::readLockPid(fd);
        close(fd);
        if (err == EWOULDBLOCK)
            error_ = "another Music host" + (holder > 0 ? " (pid " + std::to_string(holder) + ")" : std::string()) +
                     " runs on this device root; it holds " + path_;
        else
            error_ = "cannot lock " + path_ + ": " + std::strerror(err);
        return;
    }
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        close(fd);
        return;
    }
    try {
        quitTarget.store(&RunLoop::main());
    } catch (const std::exception& e) {
        error_ = e.what();
        if (ftruncate(fd, 0) != 0) {
        }
        close(fd);
        return;
    }
    lockFd.store(fd);
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, &previousTerm_);
    liveRegistrations.fetch_add(1);
    fd_ = fd;
}

bool MusicHostRegistration::terminated() { return terminateReceived.load(); }

void MusicHostRegistration::setEndAtOnce(bool atOnce, const char* message) {
    endAtOnceMessage.store(atOnce ? (message != nullptr ? message : "") : nullptr);
}

MusicHostRegistration::~MusicHostRegistration() {
    if (fd_ < 0) return;
    sigaction(SIGTERM, &previousTerm_, nullptr);
    endAtOnceMessage.store(nullptr);
    lockFd.store(-1);
    liveRegistrations.fetch_sub(1);
    // An empty file tells a reader that the pid it would find is gone.
    if (ftruncate(fd_, 0) != 0) {
    }
    close(fd_);  // releases the lock
}

}  // namespace platform
