// The Music host's registration and the system stand-in.
#include "ProcessSupport.h"

#include <platform/DeviceRoot.h>
#include <platform/Log.h>
#include <platform/RunLoop.h>
#include <platform/System.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using platform::MusicHostRegistration;
using platform::RunLoop;
using testsupport::Child;
using testsupport::TempDir;
using testsupport::binPath;

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// A Music host helper of `root`, started and ready.
std::unique_ptr<Child> startHost(const std::string& root, bool ignoreTerm = false) {
    std::vector<std::string> args{binPath("platform_helper"), "host", root};
    if (ignoreTerm) args.push_back("--ignore-term");
    auto child = std::make_unique<Child>(args);
    auto line = child->readLine();
    EXPECT_EQ(line, "ready");
    return child;
}

// A process whose name is "Music" but that has nothing to do with any host:
// a copy of sleep(1) named Music.
std::unique_ptr<Child> startProcessNamedMusic(const std::string& folder) {
    std::string path = folder + "/Music";
    fs::copy_file("/bin/sleep", path, fs::copy_options::overwrite_existing);
    fs::permissions(path, fs::perms::owner_all);
    auto child = std::make_unique<Child>(std::vector<std::string>{path, "120"});
    // The name is the child's once it has run exec.
    std::string comm = "/proc/" + std::to_string(child->pid()) + "/comm";
    for (int i = 0; i < 2000 && readFile(comm) != "Music\n"; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(readFile(comm), "Music\n");
    return child;
}

struct System : ::testing::Test {
    TempDir root{"system"};
    void SetUp() override {
        platform::setDeviceRoot(root.path());
        platform::clearSystemRequests();
        platform::clearRecentLogLines();
        RunLoop::main().clearQuitRequest();
    }
    std::string requestLog() { return readFile(root.path() + "/.platform/system-requests.log"); }
};

bool endedCleanly(Child& child) {
    auto status = child.waitExit();
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

}  // namespace

TEST_F(System, RegistrationIsExclusivePerRoot) {
    auto first = std::make_unique<MusicHostRegistration>();
    ASSERT_TRUE(first->ok()) << first->error();
    EXPECT_EQ(first->lockPath(), root.path() + "/.platform/Music.lock");
    EXPECT_EQ(readFile(platform::musicLockPath()), std::to_string(getpid()) + "\n");

    MusicHostRegistration second;
    EXPECT_FALSE(second.ok());
    EXPECT_NE(second.error().find("another Music host (pid " + std::to_string(getpid()) + ")"), std::string::npos)
        << second.error();

    Child rival({binPath("platform_helper"), "host", root.path()});
    auto line = rival.readLine();
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->rfind("error: another Music host", 0), 0u) << *line;
    EXPECT_EQ(WEXITSTATUS(rival.waitExit().value_or(-1)), 3);

    first.reset();
    MusicHostRegistration third;
    EXPECT_TRUE(third.ok()) << third.error();
}

TEST_F(System, KillallEndsOnlyTheHostOfItsOwnRoot) {
    TempDir other("system-other");
    auto host = startHost(root.path());
    auto otherHost = startHost(other.path());
    auto namedMusic = startProcessNamedMusic(root.path());

    EXPECT_EQ(platform::system("killall -9 Music"), 0);
    EXPECT_TRUE(endedCleanly(*host)) << "the host quits its run loop on SIGTERM";
    EXPECT_TRUE(otherHost->running());
    EXPECT_TRUE(namedMusic->running());

    auto requests = platform::systemRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].accepted);
    EXPECT_EQ(requests[0].result, 0);
    EXPECT_EQ(lines(requestLog()), (std::vector<std::string>{std::to_string(getpid()) + "\taccepted\t0\tkillall -9 Music"}));

    // Nobody left on this root.
    EXPECT_EQ(platform::system("killall -9 Music"), 1);
    EXPECT_TRUE(otherHost->running());
}

TEST_F(System, AHostThatIgnoresSigtermIsKilledAfterTheGrace) {
    platform::setKillGrace(0.3);
    auto host = startHost(root.path(), true);
    EXPECT_EQ(platform::system("killall -9 Music"), 0);
    auto status = host->waitExit();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), SIGKILL);
}

// A host ended at once in the middle of a write removes the temporary
// file it was writing and empties its lock file.
TEST_F(System, AHostEndedAtOnceLeavesNoTemporaryFile) {
    std::string file = root.path() + "/.shot.png.XXXXXX";
    Child host({binPath("platform_helper"), "writing", root.path(), file});
    ASSERT_EQ(host.readLine(), "ready");
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(platform::system("killall -9 Music"), 0);
    auto status = host.waitExit();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 128 + SIGTERM);
    EXPECT_FALSE(fs::exists(file)) << "the half-written file stays";
    EXPECT_EQ(readFile(root.path() + "/.platform/Music.lock"), "");
}

TEST_F(System, WithoutAHostNothingIsEndedNotEvenAProcessNamedMusic) {
    auto namedMusic = startProcessNamedMusic(root.path());
    EXPECT_EQ(platform::system("killall -9 Music"), 1);  // no lock file at all
    { MusicHostRegistration gone; }
    EXPECT_TRUE(fs::exists(platform::musicLockPath()));
    EXPECT_EQ(platform::system("killall -9 Music"), 1);  // a lock file nobody holds
    EXPECT_TRUE(namedMusic->running());
    EXPECT_FALSE(RunLoop::main().quitRequested());
}

TEST_F(System, AnUnconfirmedPidInTheLockFileIsNotSignalled) {
    auto host = startHost(root.path());
    auto namedMusic = startProcessNamedMusic(root.path());
    // The file now names a process that does not hold the lock.
    std::ofstream(platform::musicLockPath(), std::ios::trunc) << namedMusic->pid() << "\n";
    EXPECT_EQ(platform::system("killall -9 Music"), 1);
    EXPECT_TRUE(namedMusic->running());
    EXPECT_TRUE(host->running());
}

TEST_F(System, WhenThisProcessIsTheHostItsRunLoopQuits) {
    struct sigaction before, after;
    sigaction(SIGTERM, nullptr, &before);
    {
        MusicHostRegistration registration;
        ASSERT_TRUE(registration.ok()) << registration.error();
        EXPECT_EQ(platform::system("\t killall -9 Music \n"), 0);
        EXPECT_TRUE(RunLoop::main().quitRequested());

        // SIGTERM only asks the run loop to quit, and wakes it.
        RunLoop::main().clearQuitRequest();
        std::atomic<bool> serving{false};
        RunLoop::main().post([&] { serving = true; });
        std::thread sender([&] {
            while (!serving) std::this_thread::yield();
            kill(getpid(), SIGTERM);
        });
        RunLoop::main().runUntil([] { return false; }, 600);
        sender.join();
        EXPECT_TRUE(RunLoop::main().quitRequested());
    }
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "the handler goes with the registration";
}

TEST_F(System, OtherCommandsAreRefusedRecordedAndRunNothing) {
    auto host = startHost(root.path());
    const char* refused[] = {nullptr,         "",
                             "rm -rf /",      "killall Music",
                             "killall -9 SpringBoard", "killall -9 Music; rm -rf /",
                             "killall -9 music",       "killall  -9 Music"};
    for (const char* command : refused) EXPECT_EQ(platform::system(command), -1) << (command ? command : "(null)");
    EXPECT_TRUE(host->running());

    auto requests = platform::systemRequests();
    ASSERT_EQ(requests.size(), std::size(refused));
    EXPECT_TRUE(requests[0].null);
    for (size_t i = 0; i < requests.size(); ++i) {
        EXPECT_FALSE(requests[i].accepted);
        EXPECT_EQ(requests[i].result, -1);
        if (refused[i]) {
            EXPECT_EQ(requests[i].command, refused[i]);
        }
    }
    size_t refusedLogLines = 0;
    for (const auto& line : platform::recentLogLines()) refusedLogLines += line.find("refused") != std::string::npos;
    EXPECT_EQ(refusedLogLines, std::size(refused));
    auto fileLines = lines(requestLog());
    ASSERT_EQ(fileLines.size(), std::size(refused));
    EXPECT_EQ(fileLines[0], std::to_string(getpid()) + "\trefused\t-1\t(null)");
    EXPECT_EQ(fileLines[2], std::to_string(getpid()) + "\trefused\t-1\trm -rf /");

    EXPECT_EQ(platform::system("  killall -9 Music\n"), 0);
    EXPECT_TRUE(endedCleanly(*host));
}
