// The system log: one line per call, to standard error or to a file.
#pragma once

#include <string>
#include <vector>

namespace platform {

// "" sends lines to standard error (the default).
void setLogFile(const std::string& hostPath);
// Writes "<process>[<pid>]: <text>" as one line. Thread-safe.
void logLine(const std::string& text);
// The lines written by this process so far (for tests), oldest first.
std::vector<std::string> recentLogLines();
void clearRecentLogLines();

}  // namespace platform
