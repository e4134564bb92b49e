// system(3) for the Music app: "killall -9 Music" ends the Music host
// registered under the current device root, found through its lock file.
// Nothing is matched by process name and no command is ever executed.
#include <platform/System.h>

#include "SystemInternal.h"

#include <platform/DeviceRoot.h>
#include <platform/Log.h>
#include <platform/RunLoop.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr const char* kKillCommand = "killall -9 Music";
// How long the lock may be held before the holder has written its pid.
constexpr double kIdentifyPatience = 1.0;
// How long a SIGKILLed host may take to let go of the lock.
constexpr double kKillPatience = 5.0;

std::atomic<double> grace{2.0};

std::mutex requestsLock;
std::vector<SystemRequest>& requests() {
    static auto* list = new std::vector<SystemRequest>();
    return *list;
}

// Real time: these waits are for other processes, never virtual.
double realNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void sleepFor(double seconds) {
    timespec ts{0, static_cast<long>(seconds * 1e9)};
    nanosleep(&ts, nullptr);
}

std::string trim(const std::string& s) {
    const char* space = " \t\r\n\f\v";
    size_t b = s.find_first_not_of(space);
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(space) - b + 1);
}

// One line of the request log: tabs, newlines and backslashes escaped.
std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

void record(const SystemRequest& request) {
    std::lock_guard<std::mutex> g(requestsLock);
    requests().push_back(request);
    if (!makeDeviceDirectories("/.platform")) return;
    std::string line = std::to_string(getpid()) + "\t" + (request.accepted ? "accepted" : "refused") + "\t" +
                       std::to_string(request.result) + "\t" + (request.null ? "(null)" : escape(request.command)) +
                       "\n";
    int fd = open(devicePath("/.platform/system-requests.log").c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (write(fd, line.data(), line.size()) < 0) {
    }
    close(fd);
}

// Takes and at once drops the lock: true when nobody holds it.
bool lockIsFree(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return false;
    flock(fd, LOCK_UN);
    return true;
}

bool waitForRelease(int fd, double seconds) {
    double deadline = realNow() + seconds;
    for (;;) {
        if (lockIsFree(fd)) return true;
        if (realNow() >= deadline) return false;
        sleepFor(0.005);
    }
}

// Does process `pid` have the file (device, inode) open?
bool hasFileOpen(pid_t pid, const struct stat& file) {
    std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    while (dirent* e = readdir(d)) {
        struct stat st;
        if (e->d_name[0] != '.' && stat((dir + "/" + e->d_name).c_str(), &st) == 0 && st.st_dev == file.st_dev &&
            st.st_ino == file.st_ino) {
            found = true;
            break;
        }
    }
    closedir(d);
    return found;
}

// The pid of the host holding the lock: the pid in the file, once that
// process is seen to have the file open (a new host may not have written
// its pid yet, and a stale pid may belong to anyone by now). 0 when the
// lock comes free meanwhile or the holder cannot be confirmed.
pid_t lockHolder(int fd) {
    struct stat file;
    if (fstat(fd, &file) != 0) return 0;
    double deadline = realNow() + kIdentifyPatience;
    for (;;) {
        pid_t pid = detail::readLockPid(fd);
        if (pid == getpid()) {
            if (detail::hasMusicHostRegistration()) return pid;
        } else if (pid > 0 && hasFileOpen(pid, file)) {
            return pid;
        }
        if (lockIsFree(fd) || realNow() >= deadline) return 0;
        sleepFor(0.01);
    }
}

int killMusicHost() {
    std::string path = musicLockPath();
    int fd = path.empty() ? -1 : open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || lockIsFree(fd)) {
        if (fd >= 0) close(fd);
        logLine("system: killall -9 Music: no Music host runs on " + deviceRoot());
        return 1;
    }
    pid_t pid = lockHolder(fd);
    if (pid <= 0) {
        close(fd);
        logLine("system: killall -9 Music: the holder of " + path + " could not be confirmed; nothing sent");
        return 1;
    }
    if (pid == getpid()) {
        close(fd);
        logLine("system: killall -9 Music: this process is the Music host; quitting its run loop");
        RunLoop::main().requestQuit();
        return 0;
    }
    logLine("system: killall -9 Music: SIGTERM to the Music host, pid " + std::to_string(pid));
    kill(pid, SIGTERM);
    if (!waitForRelease(fd, grace.load())) {
        logLine("system: killall -9 Music: pid " + std::to_string(pid) + " still runs; SIGKILL");
        kill(pid, SIGKILL);
        waitForRelease(fd, kKillPatience);
    }
    close(fd);
    return 0;
}

}  // namespace

int system(const char* command) {
    SystemRequest request;
    request.null = command == nullptr;
    request.command = command ? command : "";
    request.accepted = command != nullptr && trim(request.command) == kKillCommand;
    if (request.accepted) {
        request.result = killMusicHost();
    } else {
        logLine("system: refused \"" + (request.null ? std::string("(null)") : escape(request.command)) +
                "\": only \"" + kKillCommand + "\" is allowed");
        request.result = -1;
    }
    record(request);
    return request.result;
}

std::vector<SystemRequest> systemRequests() {
    std::lock_guard<std::mutex> g(requestsLock);
    return requests();
}

void clearSystemRequests() {
    std::lock_guard<std::mutex> g(requestsLock);
    requests().clear();
}

void setKillGrace(double seconds) { grace.store(seconds > 0 ? seconds : 0.0); }
double killGrace() { return grace.load(); }

}  // namespace platform
