// The Darwin notify centre, within this process and across processes.
#include "ProcessSupport.h"

#include <CoreFoundation/CoreFoundation.h>
#include <objc/runtime.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using platform::RunLoop;
using testsupport::Child;
using testsupport::TempDir;
using testsupport::binPath;
using testsupport::runProgram;

namespace {

struct Delivery {
    void* observer;
    std::string name;
    const void* object;
    CFDictionaryRef userInfo;
    std::thread::id thread;
    CFNotificationCenterRef center;
};
std::vector<Delivery> deliveries;

void record(CFNotificationCenterRef center, void* observer, CFStringRef name, const void* object,
            CFDictionaryRef userInfo) {
    deliveries.push_back({observer, platform::stringUTF8(name), object, userInfo, std::this_thread::get_id(), center});
}

CFStringRef str(const std::string& text) {
    return reinterpret_cast<CFStringRef>(
        objc_msgSend<id(const char*)>(objc_getClass("NSString"), "stringWithUTF8String:"_sel, text.c_str()));
}

CFNotificationCenterRef centre() { return CFNotificationCenterGetDarwinNotifyCenter(); }

std::vector<const void*> observers;  // removed after each test

void observe(const void* observer, const std::string& name, CFNotificationCallback callback = record) {
    observers.push_back(observer);
    CFNotificationCenterAddObserver(centre(), observer, callback, str(name), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
}

void post(const std::string& name) { CFNotificationCenterPostNotification(centre(), str(name), nullptr, nullptr, true); }

size_t count(const std::string& name) {
    size_t n = 0;
    for (const auto& d : deliveries) n += d.name == name;
    return n;
}

std::vector<std::string> names() {
    std::vector<std::string> out;
    for (const auto& d : deliveries) out.push_back(d.name);
    return out;
}

// Serves the main run loop until `name` has arrived `times` times.
bool waitFor(const std::string& name, size_t times = 1) {
    return RunLoop::main().runUntil([&] { return count(name) >= times; }, 60);
}

size_t socketsIn(const std::string& root) {
    std::error_code ec;
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(root + "/.platform/notify", ec)) n += e.is_socket();
    return n;
}

int exitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int notifyutil(const std::string& root, const std::string& name) {
    return exitCode(runProgram({binPath("notifyutil"), "--root", root, "-p", name}));
}

struct Notify : ::testing::Test {
    TempDir root{"notify"};
    AutoreleasePool pool;
    int a = 0, b = 0, c = 0;  // observers are plain addresses
    void SetUp() override {
        deliveries.clear();
        platform::setDeviceRoot(root.path());
    }
    void TearDown() override {
        for (const void* o : observers) CFNotificationCenterRemoveEveryObserver(centre(), o);
        observers.clear();
    }
};

}  // namespace

TEST_F(Notify, DeliversOnTheMainRunLoopWithoutObjectOrUserInfo) {
    auto literal = [] { return CFSTR("cantrel.test.hello"); };
    ASSERT_EQ(literal(), literal()) << "one constant string per call site";
    observe(&a, "cantrel.test.hello");
    int payload = 0;
    CFNotificationCenterPostNotification(centre(), literal(), &payload,
                                         reinterpret_cast<CFDictionaryRef>(str("not carried")), false);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(deliveries.empty()) << "callbacks run only from the main run loop";

    ASSERT_TRUE(waitFor("cantrel.test.hello"));
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].observer, &a);
    EXPECT_EQ(deliveries[0].object, nullptr);
    EXPECT_EQ(deliveries[0].userInfo, nullptr);
    EXPECT_EQ(deliveries[0].thread, std::this_thread::get_id());
    EXPECT_EQ(deliveries[0].center, centre());
}

TEST_F(Notify, OnlyObserversOfThePostedNameAreCalledInPostOrder) {
    observe(&a, "alpha");
    observe(&b, "beta");
    observe(&c, "alpha");
    observe(&a, "gamma");
    post("alpha");
    post("gamma");
    ASSERT_TRUE(waitFor("gamma"));
    post("alpha");
    ASSERT_TRUE(waitFor("alpha", 4));
    EXPECT_EQ(names(), (std::vector<std::string>{"alpha", "alpha", "gamma", "alpha", "alpha"}));
    EXPECT_EQ(deliveries[0].observer, &a);
    EXPECT_EQ(deliveries[1].observer, &c);
    EXPECT_EQ(count("beta"), 0u);
}

TEST_F(Notify, RemovedObserversAreNotCalled) {
    observe(&a, "one");
    observe(&a, "two");
    observe(&b, "one");
    observe(&c, "marker");
    CFNotificationCenterRemoveObserver(centre(), &a, str("one"), nullptr);
    post("one");
    post("two");
    post("marker");
    ASSERT_TRUE(waitFor("marker"));
    ASSERT_EQ(count("one"), 1u);
    EXPECT_EQ(deliveries[0].observer, &b);
    EXPECT_EQ(count("two"), 1u);

    deliveries.clear();
    CFNotificationCenterRemoveEveryObserver(centre(), &a);
    CFNotificationCenterRemoveObserver(centre(), &b, nullptr, nullptr);
    post("one");
    post("two");
    post("marker");
    ASSERT_TRUE(waitFor("marker"));
    EXPECT_EQ(names(), (std::vector<std::string>{"marker"}));
}

TEST_F(Notify, APostWithNoObserverAnywhereReachesNobody) {
    post("early");
    EXPECT_EQ(socketsIn(root.path()), 0u);
    observe(&a, "early");
    observe(&a, "marker");
    post("marker");
    ASSERT_TRUE(waitFor("marker"));
    EXPECT_EQ(count("early"), 0u);
}

TEST_F(Notify, APostFromAnotherProcessArrives) {
    observe(&a, "cantrel.test.remote");
    ASSERT_EQ(notifyutil(root.path(), "cantrel.test.remote"), 0);
    ASSERT_TRUE(waitFor("cantrel.test.remote"));
    EXPECT_EQ(deliveries[0].object, nullptr);
    EXPECT_EQ(deliveries[0].thread, std::this_thread::get_id());
}

TEST_F(Notify, AnotherProcessReceivesOurPost) {
    Child helper({binPath("platform_helper"), "observe", root.path(), "cantrel.test.outbound"});
    ASSERT_EQ(helper.readLine(), "ready");
    post("cantrel.test.outbound");
    EXPECT_EQ(helper.readLine(), "got cantrel.test.outbound");
    auto status = helper.waitExit();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(exitCode(*status), 0);
    EXPECT_EQ(socketsIn(root.path()), 0u) << "a process that exits takes its socket away";
}

TEST_F(Notify, TwoRootsDoNotSeeEachOthersPosts) {
    TempDir other("notify-other");
    observe(&a, "shared.name");
    observe(&a, "marker");
    Child helper({binPath("platform_helper"), "observe", other.path(), "shared.name", "marker"});
    ASSERT_EQ(helper.readLine(), "ready");

    // The other root's post does not arrive here...
    ASSERT_EQ(notifyutil(other.path(), "shared.name"), 0);
    EXPECT_EQ(helper.readLine(), "got shared.name");
    post("marker");
    ASSERT_TRUE(waitFor("marker"));
    EXPECT_EQ(count("shared.name"), 0u);

    // ...and ours does not arrive there: the helper's next notification is
    // the other root's marker, posted after ours.
    post("shared.name");
    ASSERT_TRUE(waitFor("shared.name"));
    ASSERT_EQ(notifyutil(other.path(), "marker"), 0);
    EXPECT_EQ(helper.readLine(), "got marker");
}

TEST_F(Notify, ASocketLeftByADeadProcessIsRemoved) {
    Child helper({binPath("platform_helper"), "observe", root.path(), "never"});
    ASSERT_EQ(helper.readLine(), "ready");
    ASSERT_EQ(socketsIn(root.path()), 1u);
    kill(helper.pid(), SIGKILL);
    ASSERT_TRUE(helper.waitExit().has_value());
    EXPECT_EQ(socketsIn(root.path()), 1u) << "a killed process leaves its socket";

    observe(&a, "after.death");
    EXPECT_EQ(socketsIn(root.path()), 2u);
    post("after.death");
    ASSERT_TRUE(waitFor("after.death"));
    EXPECT_EQ(socketsIn(root.path()), 1u) << "the dead process's socket is gone";
    ASSERT_EQ(notifyutil(root.path(), "after.death"), 0);
    ASSERT_TRUE(waitFor("after.death", 2));
}

TEST_F(Notify, ARootLongerThanASocketAddressWorks) {
    std::string deep = root.path() + "/" + std::string(60, 'd') + "/" + std::string(60, 'e');
    std::filesystem::create_directories(deep);
    platform::setDeviceRoot(deep);
    ASSERT_GT(deep.size(), 108u);
    observe(&a, "deep");
    post("deep");
    ASSERT_TRUE(waitFor("deep"));
    ASSERT_EQ(notifyutil(deep, "deep"), 0);
    ASSERT_TRUE(waitFor("deep", 2));
}

TEST(Notifyutil, UsageAndExitCodes) {
    Child help({binPath("notifyutil"), "--help"});
    EXPECT_EQ(help.readLine().value_or("").rfind("usage: notifyutil", 0), 0u);
    EXPECT_EQ(exitCode(help.waitExit().value_or(-1)), 0);
    for (auto args : std::vector<std::vector<std::string>>{{}, {"-p"}, {"--root"}, {"--bogus", "-p", "x"}}) {
        args.insert(args.begin(), binPath("notifyutil"));
        EXPECT_EQ(exitCode(runProgram(args)), 2) << args.size();
    }
}

// A storm of one name while the main thread is busy: one delivery job
// waits on the run loop for it, however many datagrams came.
TEST_F(Notify, PostsOfANameWaitingForDeliveryAreCoalesced) {
    observe(&a, "storm");
    observe(&b, "marker");
    for (int i = 0; i < 300; ++i) post("storm");
    // The marker comes after the storm; posted again until its job waits
    // too (a full queue may have dropped it; it coalesces like the rest).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (RunLoop::main().pendingCount() < 2 && std::chrono::steady_clock::now() < deadline) {
        post("marker");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(RunLoop::main().pendingCount(), 2u);
    ASSERT_TRUE(waitFor("marker"));
    EXPECT_EQ(count("storm"), 1u);
    // Once delivered, the name is delivered again.
    post("storm");
    ASSERT_TRUE(waitFor("storm", 2));
}

// A folder that cannot take this process's socket is tried again at the
// next post.
TEST_F(Notify, AnUnusableNotifyFolderIsTriedAgainAtTheNextPost) {
    std::filesystem::create_directories(root.path() + "/.platform");
    std::ofstream(root.path() + "/.platform/notify") << "not a folder";
    observe(&a, "again");
    EXPECT_EQ(socketsIn(root.path()), 0u);
    std::filesystem::remove(root.path() + "/.platform/notify");
    post("again");
    EXPECT_EQ(socketsIn(root.path()), 1u);
    ASSERT_TRUE(waitFor("again"));
}

// notifyutil never waits for an observer that does not read, and says in
// its exit status that one was not reached.
TEST_F(Notify, NotifyutilReportsAnObserverItCouldNotReach) {
    Child helper({binPath("platform_helper"), "observe", root.path(), "never"});
    ASSERT_EQ(helper.readLine(), "ready");
    ASSERT_EQ(kill(helper.pid(), SIGSTOP), 0);
    std::vector<std::string> argv = {binPath("notifyutil"), "--root", root.path()};
    for (int i = 0; i < 200; ++i) {
        argv.push_back("-p");
        argv.push_back("unread");
    }
    Child poster(argv);
    auto status = poster.waitExit(20);  // waiting a second per post would take minutes
    kill(helper.pid(), SIGCONT);
    ASSERT_TRUE(status);
    EXPECT_EQ(exitCode(*status), 1);
    // A reachable observer: success.
    ASSERT_EQ(notifyutil(root.path(), "never"), 0);
    EXPECT_EQ(helper.readLine(), "got never");
}
