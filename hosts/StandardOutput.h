// Standard output of the hosts and tools: what a full disk or a closed pipe
// did to it.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace host {

// Flushes standard output (the C++ stream and C's stdio alike): "" when
// everything printed so far was written, else why not.
inline std::string standardOutputError() {
    errno = 0;
    std::cout.flush();
    int err = errno;
    if (std::fflush(stdout) != 0 && err == 0) err = errno;
    if (std::cout && !std::ferror(stdout)) return "";
    return err != 0 ? std::strerror(err) : "write error";
}

// Prints "NAME: cannot write to standard output: WHY" and answers true when
// standard output could not be written.
inline bool reportOutputError(const char* name) {
    std::string why = standardOutputError();
    if (why.empty()) return false;
    std::cerr << name << ": cannot write to standard output: " << why << "\n";
    return true;
}

// Writes a long text (a help) to standard output at once, so that a failure
// keeps its reason; false after the error above.
inline bool writeStandardOutput(const char* name, const std::string& text) {
    std::cout.flush();
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0)
        return !reportOutputError(name);
    int err = errno;
    std::cerr << name << ": cannot write to standard output: " << (err != 0 ? std::strerror(err) : "write error")
              << "\n";
    return false;
}

}  // namespace host
