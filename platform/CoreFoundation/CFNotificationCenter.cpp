// The Darwin notify centre over Unix datagram sockets in
// <root>/.platform/notify/, one per observing process. A datagram is a
// notification name, nothing else.
#include <CoreFoundation/CFNotificationCenter.h>

#include <objc/runtime.h>
#include <platform/DeviceRoot.h>
#include <platform/Log.h>
#include <platform/RunLoop.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <mutex>
#include <set>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

struct CFNotificationCenterOpaque {
    int unused;
};

namespace platform {
namespace {

constexpr const char* kNotifyFolder = "/.platform/notify";

CFNotificationCenterOpaque darwinCenter{0};

// The address of `name` inside the folder `dirPath`, open as `dirFd`: the
// plain path when it fits in sun_path, else the same file reached through
// /proc/self/fd, which is short whatever the root.
bool socketAddress(int dirFd, const std::string& dirPath, const char* name, sockaddr_un& addr, socklen_t& len) {
    addr = sockaddr_un{};
    addr.sun_family = AF_UNIX;
    std::string path = dirPath + "/" + name;
    if (path.size() >= sizeof addr.sun_path) path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + name;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

class DarwinNotifyCenter {
public:
    static DarwinNotifyCenter& shared() {
        // Lives as long as the process: the receiver thread uses it to the end.
        static DarwinNotifyCenter* centre = new DarwinNotifyCenter();
        return *centre;
    }

    void add(const void* observer, CFNotificationCallback callback, const std::string& name,
             CFNotificationSuspensionBehavior behavior) {
        std::lock_guard<std::mutex> g(lock_);
        startReceiverLocked();
        for (Observer& o : observers_) {
            if (o.observer == observer && o.name == name) {
                o.callback = callback;
                o.behavior = behavior;
                return;
            }
        }
        observers_.push_back(Observer{nextId_++, observer, callback, name, behavior});
    }

    // All of the observer's registrations when `name` is null.
    void remove(const void* observer, const std::string* name) {
        std::lock_guard<std::mutex> g(lock_);
        std::erase_if(observers_,
                      [&](const Observer& o) { return o.observer == observer && (!name || o.name == *name); });
    }

    // The folder is read on every post rather than cached: notify_bench
    // measures about 10 us per post plus 3 us per peer, far below the cost
    // of delivery, and there is no cache to go stale. Never waits for a
    // peer.
    DarwinPostReport post(const std::string& name) {
        DarwinPostReport report;
        {
            // This process's own socket, when an earlier attempt failed.
            std::lock_guard<std::mutex> g(lock_);
            if (!observers_.empty()) startReceiverLocked();
        }
        std::string dir = devicePath(kNotifyFolder);
        if (dir.empty()) return report;
        int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dirFd < 0) return report;  // nobody has ever observed under this root
        DIR* d = fdopendir(dirFd);
        if (d == nullptr) {
            close(dirFd);
            return report;
        }
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            if (e->d_type != DT_SOCK) {
                struct stat st;
                if (e->d_type != DT_UNKNOWN || fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
                    !S_ISSOCK(st.st_mode))
                    continue;
            }
            switch (sendTo(dirFd, dir, e->d_name, name)) {
                case Sent::delivered: ++report.delivered; break;
                case Sent::failed: ++report.failed; break;
                case Sent::gone: break;
            }
        }
        closedir(d);
        return report;
    }

private:
    struct Observer {
        uint64_t id;
        const void* observer;
        CFNotificationCallback callback;
        std::string name;
        CFNotificationSuspensionBehavior behavior;
    };

    DarwinNotifyCenter() { sendFd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0); }

    enum class Sent { delivered, failed, gone };

    // One attempt, without waiting: a peer whose queue is full (a stopped
    // or stuck process) misses this notification.
    Sent sendTo(int dirFd, const std::string& dir, const char* peer, const std::string& name) {
        sockaddr_un addr;
        socklen_t len;
        if (sendFd_ < 0 || !socketAddress(dirFd, dir, peer, addr, len)) {
            logLine("notify: cannot deliver \"" + name + "\" to " + peer + ": no socket address");
            return Sent::failed;
        }
        for (;;) {
            if (sendto(sendFd_, name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                       reinterpret_cast<sockaddr*>(&addr), len) >= 0)
                return Sent::delivered;
            int err = errno;
            if (err == EINTR) continue;
            if (err == ECONNREFUSED) {
                // Its process is gone without removing it.
                unlinkat(dirFd, peer, 0);
                return Sent::gone;
            }
            if (err == ENOENT) return Sent::gone;
            logLine("notify: cannot deliver \"" + name + "\" to " + peer + ": " +
                    (err == EAGAIN || err == EWOULDBLOCK ? std::string("its queue is full") : std::strerror(err)));
            return Sent::failed;
        }
    }

    // Makes sure this process has a socket in the current root's folder,
    // with a thread reading it. When the device root has changed since, the
    // socket moves: the new one is bound and the old one retired.
    // A folder where this fails is tried again at the next post or added
    // observer (and named in the log once).
    void startReceiverLocked() {
        std::string dir = devicePath(kNotifyFolder);
        if (dir.empty() || (dir == boundDir_ && receiverFd_ >= 0)) return;
        if (!makeDeviceDirectories(kNotifyFolder)) {
            if (dir != failedDir_) logLine("notify: cannot make the folder " + dir + ": " + std::strerror(errno));
            failedDir_ = dir;
            return;
        }
        int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        char name[64];
        std::snprintf(name, sizeof name, "%d-%08x.sock", getpid(), static_cast<unsigned>(std::random_device{}()));
        sockaddr_un addr;
        socklen_t len;
        struct stat st;
        if (dirFd < 0 || fd < 0 || !socketAddress(dirFd, dir, name, addr, len) ||
            bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || fstatat(dirFd, name, &st, 0) != 0) {
            if (dir != failedDir_) logLine("notify: cannot bind a socket in " + dir + ": " + std::strerror(errno));
            if (fd >= 0) close(fd);
            if (dirFd >= 0) close(dirFd);
            failedDir_ = dir;
            return;
        }
        close(dirFd);
        if (receiverFd_ >= 0) {
            removeSocketLocked();
            shutdown(receiverFd_, SHUT_RDWR);  // its thread sees it is retired and ends
        } else {
            std::atexit([] {
                DarwinNotifyCenter& centre = shared();
                std::lock_guard<std::mutex> g(centre.lock_);
                centre.removeSocketLocked();
            });
        }
        receiverFd_ = fd;
        boundDir_ = dir;
        failedDir_.clear();
        socketPath_ = dir + "/" + name;
        socketInode_ = st.st_ino;
        ownerPid_ = getpid();
        std::thread([this, fd] { receive(fd); }).detach();
    }

    // Takes this process's socket out of the folder (not when a forked child
    // is the one exiting).
    void removeSocketLocked() {
        struct stat st;
        if (getpid() == ownerPid_ && stat(socketPath_.c_str(), &st) == 0 && st.st_ino == socketInode_)
            unlink(socketPath_.c_str());
    }

    void receive(int fd) {
        char buffer[kDarwinNotificationNameMax + 1];
        for (;;) {
            ssize_t n = recv(fd, buffer, sizeof buffer, MSG_TRUNC);
            int err = errno;
            if (n < 0 && err == EINTR) continue;
            {
                std::lock_guard<std::mutex> g(lock_);
                if (fd != receiverFd_) {
                    close(fd);
                    return;
                }
            }
            if (n < 0) {
                logLine(std::string("notify: receiving stopped: ") + std::strerror(err));
                return;
            }
            if (n == 0 || static_cast<size_t>(n) > kDarwinNotificationNameMax) continue;
            std::string name(buffer, static_cast<size_t>(n));
            if (startDelivery(name)) RunLoop::main().post([this, name] { deliver(name); });
        }
    }

    // Whether a name needs a delivery job: one that is observed and has none
    // waiting on the run loop yet. Deliveries of one name that pile up while
    // the main thread is busy become that one job.
    bool startDelivery(const std::string& name) {
        std::lock_guard<std::mutex> g(lock_);
        bool observed = std::any_of(observers_.begin(), observers_.end(),
                                    [&](const Observer& o) { return o.name == name; });
        return observed && pending_.insert(name).second;
    }

    // On the main thread. An observer removed by an earlier callback of the
    // same notification is not called.
    void deliver(const std::string& name) {
        std::vector<uint64_t> ids;
        {
            std::lock_guard<std::mutex> g(lock_);
            pending_.erase(name);  // one arriving from now on is a new delivery
            for (const Observer& o : observers_)
                if (o.name == name) ids.push_back(o.id);
        }
        if (ids.empty()) return;
        id nameObject = objc_msgSend<id(const char*)>(objc_getClass("NSString"), "stringWithUTF8String:"_sel,
                                                      name.c_str());
        for (uint64_t wanted : ids) {
            CFNotificationCallback callback = nullptr;
            const void* observer = nullptr;
            {
                std::lock_guard<std::mutex> g(lock_);
                for (const Observer& o : observers_) {
                    if (o.id == wanted) {
                        callback = o.callback;
                        observer = o.observer;
                    }
                }
            }
            if (callback)
                callback(&darwinCenter, const_cast<void*>(observer), reinterpret_cast<CFStringRef>(nameObject),
                         nullptr, nullptr);
        }
    }

    std::mutex lock_;
    std::vector<Observer> observers_;
    std::set<std::string> pending_;  // names with a delivery job on the run loop
    uint64_t nextId_ = 1;
    int sendFd_ = -1;
    int receiverFd_ = -1;
    std::string boundDir_;   // folder of the socket
    std::string failedDir_;  // a folder where binding failed, named in the log
    std::string socketPath_;
    ino_t socketInode_ = 0;
    pid_t ownerPid_ = 0;
};

bool isDarwinCenter(CFNotificationCenterRef center, const char* function) {
    if (center == &darwinCenter) return true;
    logLine(std::string(function) + ": not the Darwin notify centre");
    return false;
}

}  // namespace
}  // namespace platform

using platform::DarwinNotifyCenter;

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter() { return &platform::darwinCenter; }

void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void*,
                                     CFNotificationSuspensionBehavior suspensionBehavior) {
    if (!platform::isDarwinCenter(center, "CFNotificationCenterAddObserver")) return;
    if (name == nullptr || callback == nullptr) {
        platform::logLine("CFNotificationCenterAddObserver: the Darwin notify centre needs a name and a callback");
        return;
    }
    DarwinNotifyCenter::shared().add(observer, callback, platform::stringUTF8(name), suspensionBehavior);
}

void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
                                        const void*) {
    if (!platform::isDarwinCenter(center, "CFNotificationCenterRemoveObserver")) return;
    if (name == nullptr) {
        DarwinNotifyCenter::shared().remove(observer, nullptr);
        return;
    }
    std::string text = platform::stringUTF8(name);
    DarwinNotifyCenter::shared().remove(observer, &text);
}

void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer) {
    if (!platform::isDarwinCenter(center, "CFNotificationCenterRemoveEveryObserver")) return;
    DarwinNotifyCenter::shared().remove(observer, nullptr);
}

platform::DarwinPostReport platform::postDarwinNotification(const std::string& name) {
    if (name.empty() || name.size() > kDarwinNotificationNameMax) {
        logLine("CFNotificationCenterPostNotification: refused a name that is empty or too long");
        return {};
    }
    return DarwinNotifyCenter::shared().post(name);
}

void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void*,
                                          CFDictionaryRef, Boolean) {
    if (!platform::isDarwinCenter(center, "CFNotificationCenterPostNotification")) return;
    platform::postDarwinNotification(platform::stringUTF8(name));
}
