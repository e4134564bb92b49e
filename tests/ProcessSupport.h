// Test support: temporary device roots and child processes.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

// A folder under the system's temporary directory, removed afterwards.
class TempDir {
public:
    explicit TempDir(const std::string& tag = "root") {
        std::string base = std::filesystem::temp_directory_path().string() + "/cantrel-" + tag + "-XXXXXX";
        std::vector<char> buf(base.begin(), base.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string binPath(const std::string& program) { return std::string(CANTREL_BIN_DIR) + "/" + program; }

// How a child is started beyond its arguments.
struct SpawnOptions {
    bool pipeInput = false;    // its standard input on a pipe (writeLine)
    bool mergeErrors = false;  // its standard error onto the output pipe
    std::string errorsTo;      // else, when given, its standard error into this file
    long fileLimit = 0;        // its limit of open descriptors (RLIMIT_NOFILE), when above 0
};

// A child process with its standard output on a pipe, and optionally its
// standard input (writeLine). It inherits no descriptor beyond its three
// standard ones. Killed (by its pid) and reaped when the object goes, if
// still running.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv, bool pipeInput = false)
        : Child(argv, SpawnOptions{pipeInput, false, "", 0}) {}
    Child(const std::vector<std::string>& argv, const SpawnOptions& options) {
        bool pipeInput = options.pipeInput;
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        int in[2] = {-1, -1};
        if (pipeInput && pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (options.mergeErrors) posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        else if (!options.errorsTo.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.errorsTo.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (pipeInput) posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        // The child takes the limit it is started with; this process keeps its own.
        rlimit before{};
        bool limited = options.fileLimit > 0 && getrlimit(RLIMIT_NOFILE, &before) == 0;
        if (limited) {
            rlimit lower = before;
            lower.rlim_cur = static_cast<rlim_t>(options.fileLimit);
            setrlimit(RLIMIT_NOFILE, &lower);
        }
        int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
        if (limited) setrlimit(RLIMIT_NOFILE, &before);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
        if (pipeInput) {
            close(in[0]);
            in_ = in[1];
        }
        if (rc != 0) {
            pid_ = -1;
            throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(rc));
        }
    }
    ~Child() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            int st;
            waitpid(pid_, &st, 0);
        }
        if (out_ >= 0) close(out_);
        closeInput();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    // Writes one line to the child's standard input; false once it is closed.
    bool writeLine(const std::string& line) {
        if (in_ < 0) return false;
        std::string data = line + "\n";
        return write(in_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
    }
    void closeInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }

    // The next line of output (without its newline); nullopt on end of
    // output or after `timeout` seconds.
    std::optional<std::string> readLine(double timeout = 20.0) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
        for (;;) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char chunk[256];
            ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

    // The wait status once the child has ended, polling up to `timeout`
    // seconds; nullopt while it still runs.
    std::optional<int> waitExit(double timeout = 20.0) {
        if (status_) return status_;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
        for (;;) {
            int st;
            pid_t r = waitpid(pid_, &st, WNOHANG);
            if (r == pid_) {
                status_ = st;
                return status_;
            }
            if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    bool running() { return !waitExit(0); }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::string buffer_;
    std::optional<int> status_;
};

// Whether process `pid` holds open a file whose path (as /proc shows it)
// `matches`, polled up to `timeout` seconds: the moment to interrupt it in
// the middle of writing that file.
inline bool waitForOpenFile(pid_t pid, const std::function<bool(const std::string&)>& matches, double timeout = 10.0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
    std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    while (std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (std::filesystem::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code lec;
            if (matches(std::filesystem::read_symlink(it->path(), lec).string())) return true;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

// Every entry under `folder` with its size (folders and links as 0), hidden
// ones included: what a run left there and the disk space it keeps.
inline std::map<std::string, uintmax_t> entriesUnder(const std::string& folder) {
    std::map<std::string, uintmax_t> out;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        bool file = it->is_regular_file(sec) && !it->is_symlink(sec);
        out[std::filesystem::relative(it->path(), folder).string()] = file ? it->file_size(sec) : 0;
    }
    return out;
}

// Runs a program to its end; its wait status.
inline int runProgram(const std::vector<std::string>& argv) {
    Child child(argv);
    auto status = child.waitExit(60.0);
    return status ? *status : -1;
}

#ifdef CANTREL_BIN_DIR
// Runs the Music host on the device root `root` with a script: its output
// lines and its exit code (-1 when it did not exit). Standard error is merged
// into the output, or read into `errors` when given. `flags` are more
// options, separated by spaces; `fileLimit`, when above 0, is the host's
// limit of open descriptors.
inline std::vector<std::string> runMusicScript(const std::string& root, const std::string& script, int& exitCode,
                                               const std::string& flags = "",
                                               std::vector<std::string>* errors = nullptr, long fileLimit = 0) {
    std::string scriptPath = root + ".script", errorPath = root + ".errors";
    std::ofstream(scriptPath) << script;
    std::vector<std::string> argv = {binPath("Music"), "--root", root, "--script", scriptPath};
    std::istringstream words(flags);
    for (std::string word; words >> word;) argv.push_back(word);
    SpawnOptions options;
    options.mergeErrors = errors == nullptr;
    if (errors != nullptr) options.errorsTo = errorPath;
    options.fileLimit = fileLimit;
    Child child(argv, options);
    std::vector<std::string> lines;
    while (auto line = child.readLine()) lines.push_back(*line);
    auto status = child.waitExit();
    if (errors != nullptr) {
        std::ifstream errorFile(errorPath);
        for (std::string line; std::getline(errorFile, line);) errors->push_back(line);
        std::filesystem::remove(errorPath);
    }
    std::filesystem::remove(scriptPath);
    exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    return lines;
}

// Runs the Music host on `root` with `script`, ends it by SIGTERM while it
// writes a new file somewhere under a path containing `folder` (the file
// unnamed, as /proc shows it, or under a hidden temporary name), then starts
// it once more with no script. Fails when no such write was seen or a host
// did not end as it should.
inline ::testing::AssertionResult endMusicHostMidWrite(const std::string& root, const std::string& script,
                                                       const std::string& folder) {
    std::string scriptPath = root + ".script";
    std::ofstream(scriptPath) << script;
    {
        Child host({binPath("Music"), "--root", root, "--script", scriptPath});
        bool seen = waitForOpenFile(host.pid(), [&](const std::string& path) {
            return path.find(folder) != std::string::npos &&
                   (path.ends_with(" (deleted)") || path.find("/.new-") != std::string::npos);
        });
        if (!seen) return ::testing::AssertionFailure() << "nothing was being written in " << folder;
        if (::kill(host.pid(), SIGTERM) != 0 || !host.waitExit(10))
            return ::testing::AssertionFailure() << "the host did not end on SIGTERM";
    }
    std::filesystem::remove(scriptPath);
    int code = -1;
    runMusicScript(root, "", code);
    if (code != 0) return ::testing::AssertionFailure() << "the next start ended with " << code;
    return ::testing::AssertionSuccess();
}
#endif

}  // namespace testsupport
