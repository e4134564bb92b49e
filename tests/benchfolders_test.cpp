// The benchmarks' temporary folders end with the program: a benchmark ended
// by SIGTERM, or one whose fixture is never destroyed, leaves no folder.
#include <gtest/gtest.h>

#include "TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs `body` in a child process that writes the folders' paths (one a
// line) to the returned pipe; the child's pid in *pid.
template <class Body>
std::string startChild(pid_t* pid, Body body) {
    int fds[2];
    if (::pipe(fds) != 0) return "";
    *pid = ::fork();
    if (*pid == 0) {
        ::close(fds[0]);
        body(fds[1]);
        ::_exit(99);
    }
    ::close(fds[1]);
    std::string paths;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        paths.append(buffer, static_cast<size_t>(n));
        if (paths.size() >= 2 && paths.compare(paths.size() - 2, 2, "\n\n") == 0) break;
    }
    ::close(fds[0]);
    return paths;
}

void say(int fd, const std::string& text) { (void)!::write(fd, text.data(), text.size()); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

}  // namespace

TEST(BenchmarkFolders, SigtermRemovesEveryLiveFolderWithAllItHoldsAndTheProgramStillEndsByIt) {
    pid_t pid = -1;
    std::string paths = startChild(&pid, [](int out) {
        bench::TemporaryFolder a, b;
        fs::create_directories(a.path() + "/var/mobile/Media/Music/F00");
        std::ofstream(a.path() + "/var/mobile/Media/Music/F00/song.mp3") << "frames";
        say(out, a.path() + "\n" + b.path() + "\n\n");
        for (;;) ::pause();
    });
    ASSERT_GT(pid, 0);
    auto folders = lines(paths);
    ASSERT_EQ(folders.size(), 2u);
    ASSERT_TRUE(fs::exists(folders[0] + "/var/mobile/Media/Music/F00/song.mp3"));
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << "status " << status;
    for (const auto& folder : folders) EXPECT_FALSE(fs::exists(folder)) << folder;
}

TEST(BenchmarkFolders, AFolderNeverDestroyedIsRemovedAtExit) {
    pid_t pid = -1;
    std::string paths = startChild(&pid, [](int out) {
        auto* kept = new bench::TemporaryFolder;  // as a shared fixture's
        fs::create_directories(kept->path() + "/a/b");
        say(out, kept->path() + "\n\n");
        std::exit(0);
    });
    ASSERT_GT(pid, 0);
    auto folders = lines(paths);
    ASSERT_EQ(folders.size(), 1u);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_FALSE(fs::exists(folders[0]));
}
