// The system stand-in: the Music host's registration under a device root,
// and system(3) for the one command the app may run, "killall -9 Music".
//
// A Music host holds an exclusive flock on <root>/.platform/Music.lock, with
// its pid written in the file. "killall -9 Music" ends only the host that
// holds the lock of the current device root; it never looks for a process
// by name, and it never runs a shell.
#pragma once

#include <string>
#include <vector>

#include <signal.h>

namespace platform {

// <root>/.platform/Music.lock of the current device root.
std::string musicLockPath();

// Registers this process as the Music host of the current device root for
// its lifetime, and makes SIGTERM request the main run loop to quit. Fails
// (ok() false, error() says why) when another host of the same root holds
// the lock.
class MusicHostRegistration {
public:
    MusicHostRegistration();
    ~MusicHostRegistration();
    MusicHostRegistration(const MusicHostRegistration&) = delete;
    MusicHostRegistration& operator=(const MusicHostRegistration&) = delete;

    bool ok() const { return fd_ >= 0; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_; }
    const std::string& lockPath() const { return path_; }
    // Whether SIGTERM came while a registration lived (the quit it asked
    // for is a termination, not the user's own quit).
    static bool terminated();
    // While set, SIGTERM ends the process at once with status 143, after
    // writing `message` (a string that outlives the setting) to standard
    // error and emptying the lock file, instead of asking the main run loop
    // to quit: for a host inside a command that may not return for long.
    static void setEndAtOnce(bool atOnce, const char* message = nullptr);

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
    struct sigaction previousTerm_ {};
};

// Runs `command` as far as the platform allows: "killall -9 Music" (white
// space around it is ignored) ends the registered Music host of the current
// device root and returns 0, or returns 1 when none runs. The host gets
// SIGTERM, then SIGKILL when it still holds the lock after the grace
// period; when the host is this process, its main run loop is asked to quit
// instead. Anything else is refused: logged, recorded, nothing run, -1.
int system(const char* command);

// One call of platform::system, as recorded in memory and as a line of
// <root>/.platform/system-requests.log.
struct SystemRequest {
    std::string command;  // "" for a null command
    bool null = false;
    bool accepted = false;
    int result = 0;
};
std::vector<SystemRequest> systemRequests();
void clearSystemRequests();

// Seconds between SIGTERM and SIGKILL (2 by default).
void setKillGrace(double seconds);
double killGrace();

}  // namespace platform
