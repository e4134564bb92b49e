// Shared between the Music host's registration and the system stand-in.
#pragma once

#include <sys/types.h>

namespace platform::detail {

// True while this process holds a MusicHostRegistration.
bool hasMusicHostRegistration();
// The pid written in the Music lock file open as `fd`, or 0.
pid_t readLockPid(int fd);

}  // namespace platform::detail
