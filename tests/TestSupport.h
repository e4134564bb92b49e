// Shared helpers of the tests: a fresh device root per test, the settings
// plug-in's change notification, and the mark of a test that needs a process
// of its own.
#pragma once

#include <gtest/gtest.h>

#include <CoreFoundation/CFNotificationCenter.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cstdlib>
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
// Such a test begins with OWN_PROCESS(); run in one process after another
// test, it fails at once and says so, instead of passing or failing by the
// order of the tests.
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

}  // namespace test

#define OWN_PROCESS()                                                                                         \
    do {                                                                                                      \
        if (::test::testsStartedInThisProcess() > 1)                                                          \
            FAIL() << "this test needs a process of its own (ctest gives it one); run it alone, as with "      \
                      "--gtest_filter="                                                                       \
                   << ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() << "."      \
                   << ::testing::UnitTest::GetInstance()->current_test_info()->name();                        \
    } while (0)
