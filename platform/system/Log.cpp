#include <platform/Log.h>

#include <cstdio>
#include <mutex>

#include <unistd.h>

extern char* program_invocation_short_name;

namespace platform {
namespace {

struct LogState {
    std::mutex lock;
    FILE* file = nullptr;
    std::vector<std::string> recent;
};

LogState& state() {
    static LogState* s = new LogState();
    return *s;
}

constexpr size_t kRecentLimit = 10000;

}  // namespace

void setLogFile(const std::string& hostPath) {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (s.file) std::fclose(s.file);
    s.file = hostPath.empty() ? nullptr : std::fopen(hostPath.c_str(), "a");
}

void logLine(const std::string& text) {
    LogState& s = state();
    std::string line = std::string(program_invocation_short_name) + "[" + std::to_string(getpid()) + "]: " + text;
    std::lock_guard<std::mutex> g(s.lock);
    FILE* out = s.file ? s.file : stderr;
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
    if (s.recent.size() >= kRecentLimit) s.recent.erase(s.recent.begin(), s.recent.begin() + kRecentLimit / 2);
    s.recent.push_back(text);
}

std::vector<std::string> recentLogLines() {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.recent;
}

void clearRecentLogLines() {
    LogState& s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.recent.clear();
}

}  // namespace platform
