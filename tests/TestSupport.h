// Shared helpers of the tests: a fresh device root per test, the settings
// plug-in's change notification, and the mark of a test that needs a process
// of its own.
#pragma once

#include <gtest/gtest.h>

#include <CoreFoundation/CFNotificationCenter.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <string>

namespace test {

// A new empty folder under the system's temporary folder, made the device
// root, and removed again at the end of the test.
class TempRoot {
public:
    TempRoot() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cantrel-test-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) std::abort();
        path_ = tmpl;
        platform::setDeviceRoot(path_);
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    // The host path of a device path.
    std::string host(const std::string& devicePath) const { return platform::devicePath(devicePath); }

private:
    std::string path_;
};

// Posts the preference change notification as the settings plug-in does and
// serves the main loop until it has been delivered: the library (which
// observes it from start-up on) has reloaded its flags by then.
inline void postSettingsChanged() {
    static bool* delivered = nullptr;
    bool done = false;
    delivered = &done;
    CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(
        center, &done, [](CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { *delivered = true; },
        CFSTR("com.brevank.Cantrel.settingschanged"), nullptr, CFNotificationSuspensionBehaviorHold);
    CFNotificationCenterPostNotification(center, CFSTR("com.brevank.Cantrel.settingschanged"), nullptr, nullptr, true);
    bool arrived = platform::RunLoop::main().runUntil([&] { return done; }, 10);
    CFNotificationCenterRemoveEveryObserver(center, &done);
    delivered = nullptr;
    ASSERT_TRUE(arrived) << "the change notification did not arrive";
}

// Tests that leave something behind for good (method replacements, which can
// never be removed, classes they register, the library's one start-up) or
// that need a process in which nothing of the kind happened yet, need a
// process of their own: ctest runs every test alone (gtest_discover_tests).
// Such a test begins with OWN_PROCESS(). When a whole binary runs and the
// test is not the first of its process, it runs again alone in a child
// process of the same binary, whose result (and output) becomes its own;
// so a binary passes or fails the same run directly as under ctest.
inline int& testsStartedInThisProcess() {
    static int count = 0;
    return count;
}
struct TestStartCounter : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { ++testsStartedInThisProcess(); }
};
inline const bool kTestStartCounterInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new TestStartCounter);
    return true;
}();

// Runs the current test alone in a child process of this binary; a failure
// there is a failure here.
inline void runCurrentTestAlone() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::cout << std::flush;
    std::cerr << std::flush;
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) {
        ADD_FAILURE() << "cannot start " << self << " " << filter << " in a process of its own";
        return;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        ADD_FAILURE() << info->test_suite_name() << "." << info->name() << " failed in its own process (" << filter
                      << ")";
}

// Adds the file at `path` to an archive as the export does: opened without
// blocking (a FIFO answers at once), whatever it is handed over with its
// status, the add deciding; a file that cannot be opened fails the add.
template <class Archive>
bool addFileAt(Archive& zip, const std::string& path, const std::string& entry) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd >= 0 && fstat(fd, &st) != 0) st = {};
    bool added = zip.addFile(fd, st, entry);
    if (fd >= 0) ::close(fd);
    return added;
}

}  // namespace test

#define OWN_PROCESS()                                    \
    do {                                                 \
        if (::test::testsStartedInThisProcess() > 1) {   \
            ::test::runCurrentTestAlone();               \
            return;                                      \
        }                                                \
    } while (0)
