// Shared between the Music host's registration and the system stand-in.
#pragma once

#include <sys/types.h>

namespace platform::detail {

// True while this process holds a MusicHostRegistration.
bool hasMusicHostRegistration();
// The pid written in the Music lock file open as `fd`, or 0.
pid_t readLockPid(int fd);

// A temporary file while it is written, before it is renamed into place or
// removed: a SIGTERM that ends the host at once removes it first, so that
// no half-written file stays behind. A few at a time are tracked (threads
// may write at once); a path too long to track is simply not tracked.
class TrackedTemporary {
public:
    explicit TrackedTemporary(const char* path);
    ~TrackedTemporary();
    TrackedTemporary(const TrackedTemporary&) = delete;
    TrackedTemporary& operator=(const TrackedTemporary&) = delete;

private:
    int slot_ = -1;
};

}  // namespace platform::detail
