// The clock, the main run loop, dispatch queues and delayed performs.
#include <dispatch/dispatch.h>
#include <objc/NSObject.h>
#include <platform/RunLoop.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using platform::Clock;
using platform::RunLoop;

namespace {

Class makeClass(const char* name) {
    if (Class existing = objc_getClass(name)) return existing;
    Class cls = objc_allocateClassPair(NSObject::cls(), name, 0);
    objc_registerClassPair(cls);
    return cls;
}

id newInstance(Class cls) { return objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel); }

// Records names with the clock reading when they ran.
struct Trace {
    std::vector<std::string> names;
    std::vector<double> times;
    void add(const std::string& name) {
        names.push_back(name);
        times.push_back(Clock::now());
    }
    std::function<void()> step(const std::string& name) {
        return [this, name] { add(name); };
    }
};

using Names = std::vector<std::string>;

}  // namespace

// ---------------------------------------------------------------------------

TEST(Clock, VirtualTimeMovesOnlyWhenAdvanced) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Clock::now(), t0);
    Clock::advance(1.5);
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 1.5);
    Clock::advance(-3);
    Clock::advanceTo(t0);
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 1.5);

    Clock::setVirtual(false);
    double r0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GT(Clock::now(), r0);
    EXPECT_THROW(Clock::advance(1), std::logic_error);
}

// ---------------------------------------------------------------------------

TEST(RunLoop, TimersFireInTimeOrderAtTheirTimes) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    Trace trace;
    RunLoop& loop = RunLoop::main();
    loop.addTimer(t0 + 3, trace.step("c"));
    loop.addTimer(t0 + 1, trace.step("a"));
    loop.addTimer(t0 + 2, trace.step("b"));
    loop.addTimer(t0 + 2, trace.step("b2"));  // same time: in the order added

    loop.runFor(2.5);
    EXPECT_EQ(trace.names, (Names{"a", "b", "b2"}));
    ASSERT_EQ(trace.times.size(), 3u);
    EXPECT_DOUBLE_EQ(trace.times[0], t0 + 1);
    EXPECT_DOUBLE_EQ(trace.times[1], t0 + 2);
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 2.5);

    loop.runFor(1);
    EXPECT_EQ(trace.names, (Names{"a", "b", "b2", "c"}));
    EXPECT_DOUBLE_EQ(trace.times.back(), t0 + 3);
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST(RunLoop, RunUntilJumpsToTheTimerItWaitsFor) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    bool fired = false;
    RunLoop::main().addTimer(t0 + 100, [&] { fired = true; });
    auto later = RunLoop::main().addTimer(t0 + 200, [] { ADD_FAILURE() << "ran past the condition"; });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return fired; }, 1000));
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 100);
    // Nothing due before the limit: waits that long for other threads, then
    // leaves the clock at the limit.
    EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, 0.05));
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 100.05);
    EXPECT_TRUE(RunLoop::main().cancelTimer(later));
}

TEST(RunLoop, PostsRunInOrderAndWorkPostedByWorkWaitsForTheNextPass) {
    Trace trace;
    RunLoop& loop = RunLoop::main();
    loop.post(trace.step("1"));
    loop.post([&] {
        trace.add("2");
        loop.post(trace.step("4"));
    });
    loop.post(trace.step("3"));
    loop.runPending();
    EXPECT_EQ(trace.names, (Names{"1", "2", "3"}));
    loop.runPending();
    EXPECT_EQ(trace.names, (Names{"1", "2", "3", "4"}));

    // Work that posts itself again runs once per pass.
    int runs = 0;
    bool repost = true;
    std::function<void()> again = [&] {
        ++runs;
        if (repost) loop.post(again);
    };
    loop.post(again);
    loop.runPending();
    loop.runPending();
    EXPECT_EQ(runs, 2);
    repost = false;
    loop.runPending();
    EXPECT_EQ(loop.pendingCount(), 0u);
}

TEST(RunLoop, EachItemDrainsItsOwnAutoreleasePool) {
    Class cls = makeClass("PooledThing");
    long seenBySecond = -1;
    RunLoop::main().post([&] { autorelease(newInstance(cls)); });
    RunLoop::main().post([&] { seenBySecond = class_getLiveInstanceCount(cls); });
    RunLoop::main().runPending();
    EXPECT_EQ(seenBySecond, 0);
    EXPECT_EQ(class_getLiveInstanceCount(cls), 0);
}

TEST(RunLoop, CancelledTimerNeverRuns) {
    Clock::setVirtual(true);
    bool fired = false;
    auto timer = RunLoop::main().addTimer(Clock::now() + 1, [&] { fired = true; });
    EXPECT_TRUE(RunLoop::main().cancelTimer(timer));
    EXPECT_FALSE(RunLoop::main().cancelTimer(timer));
    RunLoop::main().runFor(5);
    EXPECT_FALSE(fired);
}

TEST(RunLoop, StopEndsTheRunInProgress) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    Trace trace;
    RunLoop& loop = RunLoop::main();
    loop.stop();  // no run in progress: ignored
    loop.addTimer(t0 + 1, [&] { loop.stop(); });
    loop.addTimer(t0 + 5, trace.step("late"));
    loop.runFor(10);
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 1);
    EXPECT_TRUE(trace.names.empty());
    loop.runFor(10);
    EXPECT_EQ(trace.names, (Names{"late"}));
}

TEST(RunLoop, OtherThreadsWakeARealRun) {
    RunLoop& loop = RunLoop::main();
    std::atomic<bool> running{false};
    bool done = false;
    loop.post([&] { running = true; });
    std::thread poster([&] {
        while (!running) std::this_thread::yield();
        loop.post([&] { done = true; });
    });
    EXPECT_TRUE(loop.runUntil([&] { return done; }, 60));
    poster.join();

    // stop() from another thread ends a long run.
    running = false;
    loop.post([&] { running = true; });
    std::thread stopper([&] {
        while (!running) std::this_thread::yield();
        loop.stop();
    });
    loop.runFor(600);
    stopper.join();
    EXPECT_FALSE(loop.quitRequested());
}

TEST(RunLoop, QuitRequestEndsRunsUntilCleared) {
    RunLoop& loop = RunLoop::main();
    std::thread quitter([&] { loop.requestQuit(); });
    loop.runUntil([] { return false; }, 600);
    quitter.join();
    EXPECT_TRUE(loop.quitRequested());

    bool ran = false;
    loop.post([&] { ran = true; });
    loop.runPending();
    EXPECT_FALSE(ran);
    loop.clearQuitRequest();
    loop.runPending();
    EXPECT_TRUE(ran);
}

TEST(RunLoop, OnlyOneThreadServesAtATime) {
    RunLoop& loop = RunLoop::main();
    bool refused = false, done = false;
    loop.post([&] {
        EXPECT_TRUE(loop.isServingThread());
        std::thread other([&] {
            EXPECT_FALSE(loop.isServingThread());
            try {
                loop.runPending();
            } catch (const std::logic_error&) {
                refused = true;
            }
        });
        other.join();
        loop.runPending();  // nested on the same thread is fine
        done = true;
    });
    loop.runPending();
    EXPECT_TRUE(done);
    EXPECT_TRUE(refused);
    EXPECT_FALSE(loop.isServingThread());
}

// ---------------------------------------------------------------------------

TEST(Dispatch, TimeArithmetic) {
    Clock::setVirtual(true);
    dispatch_time_t now = dispatch_time(DISPATCH_TIME_NOW, 0);
    EXPECT_NEAR(static_cast<double>(now), Clock::now() * 1e9, 1e3);
    EXPECT_EQ(dispatch_time(now, 5 * NSEC_PER_MSEC), now + 5 * NSEC_PER_MSEC);
    EXPECT_EQ(dispatch_time(now, -static_cast<int64_t>(NSEC_PER_SEC)), now - NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -1), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(10, -100), 1u);
    EXPECT_LT(dispatch_time(now, INT64_MAX), DISPATCH_TIME_FOREVER);
}

TEST(Dispatch, QueuesAndArguments) {
    EXPECT_NE(dispatch_get_main_queue(), nullptr);
    dispatch_queue_t high = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0);
    dispatch_queue_t background = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0);
    EXPECT_NE(high, nullptr);
    EXPECT_NE(high, background);
    EXPECT_EQ(high, dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0));
    EXPECT_EQ(dispatch_get_global_queue(7, 0), nullptr);
    EXPECT_EQ(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 1), nullptr);
    EXPECT_THROW(dispatch_async(nullptr, [] {}), std::invalid_argument);
}

TEST(Dispatch, AfterOnTheMainQueueFollowsTheClock) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    Trace trace;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), dispatch_get_main_queue(), trace.step("2s"));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 500 * NSEC_PER_MSEC), dispatch_get_main_queue(),
                   trace.step("500ms"));
    dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), trace.step("never"));
    dispatch_async(dispatch_get_main_queue(), trace.step("now"));

    RunLoop::main().runFor(1.9);
    EXPECT_EQ(trace.names, (Names{"now", "500ms"}));
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(trace.names, (Names{"now", "500ms", "2s"}));
    EXPECT_NEAR(trace.times[1], t0 + 0.5, 1e-6);
    EXPECT_NEAR(trace.times[2], t0 + 2, 1e-6);
    RunLoop::main().runFor(1e6);
    EXPECT_EQ(trace.names.size(), 3u);
    EXPECT_EQ(RunLoop::main().pendingCount(), 0u);
}

TEST(Dispatch, ManualGlobalQueuesDrainInQueueOrder) {
    platform::setManualGlobalQueues(true);
    std::vector<std::string> order;
    std::vector<std::thread::id> threads;
    auto step = [&](const std::string& name) {
        return [&, name] {
            order.push_back(name);
            threads.push_back(std::this_thread::get_id());
        };
    };
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0), step("1"));
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), step("2"));
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        step("3")();
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), step("5"));
    });
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_BACKGROUND, 0), step("4"));
    EXPECT_TRUE(order.empty());

    EXPECT_EQ(platform::drainGlobalQueues(), 5u);
    EXPECT_EQ(order, (Names{"1", "2", "3", "4", "5"}));
    for (auto t : threads) EXPECT_EQ(t, std::this_thread::get_id());
    EXPECT_EQ(platform::drainGlobalQueues(), 0u);
}

TEST(Dispatch, DelayedGlobalBlockWaitsForItsTime) {
    Clock::setVirtual(true);
    platform::setManualGlobalQueues(true);
    Trace trace;
    dispatch_queue_t q = dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC), q, trace.step("late"));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 1 * NSEC_PER_SEC), q, trace.step("early"));
    EXPECT_EQ(platform::drainGlobalQueues(), 0u);
    Clock::advance(1);
    EXPECT_EQ(platform::drainGlobalQueues(), 1u);
    Clock::advance(4);
    EXPECT_EQ(platform::drainGlobalQueues(), 1u);
    EXPECT_EQ(trace.names, (Names{"early", "late"}));
}

// The delete-confirmation pattern: work on a global queue, then the answer
// on the main queue.
TEST(Dispatch, GlobalWorkHopsBackToTheMainQueue) {
    platform::setManualGlobalQueues(true);
    std::vector<std::string> steps;
    std::thread::id confirmedOn;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
        steps.push_back("deleted");
        dispatch_async(dispatch_get_main_queue(), [&] {
            steps.push_back("confirmed");
            confirmedOn = std::this_thread::get_id();
        });
    });
    RunLoop::main().runPending();
    EXPECT_TRUE(steps.empty());
    platform::drainGlobalQueues();
    EXPECT_EQ(steps, (Names{"deleted"}));
    RunLoop::main().runPending();
    EXPECT_EQ(steps, (Names{"deleted", "confirmed"}));
    EXPECT_EQ(confirmedOn, std::this_thread::get_id());
}

TEST(Dispatch, WorkerThreadsRunGlobalBlocks) {
    platform::setManualGlobalQueues(false);
    std::thread::id worker;
    bool confirmed = false;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), [&] {
        worker = std::this_thread::get_id();
        dispatch_async(dispatch_get_main_queue(), [&] { confirmed = true; });
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return confirmed; }, 60));
    EXPECT_NE(worker, std::this_thread::get_id());

    // Blocks queued while manual wait; switching back lets the workers run them.
    platform::setManualGlobalQueues(true);
    std::atomic<int> ran{0};
    for (int i = 0; i < 8; ++i)
        dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_LOW, 0), [&] {
            if (++ran == 8) dispatch_async(dispatch_get_main_queue(), [] {});
        });
    EXPECT_EQ(ran.load(), 0);
    platform::setManualGlobalQueues(false);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return ran.load() == 8; }, 60));
}

TEST(Dispatch, GlobalBlocksDrainTheirAutoreleasePools) {
    platform::setManualGlobalQueues(true);
    Class cls = makeClass("GlobalPooledThing");
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                   [cls] { autorelease(newInstance(cls)); });
    platform::drainGlobalQueues();
    EXPECT_EQ(class_getLiveInstanceCount(cls), 0);
}

TEST(Dispatch, SyncReturnsAfterTheBlockRan) {
    int value = 0;
    dispatch_sync(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] { value = 1; });
    EXPECT_EQ(value, 1);

    // To the main queue from a worker: runs on the serving thread.
    std::thread::id ranOn;
    bool returned = false;
    std::thread worker([&] {
        dispatch_sync(dispatch_get_main_queue(), [&] { ranOn = std::this_thread::get_id(); });
        dispatch_async(dispatch_get_main_queue(), [&] { returned = true; });
    });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return returned; }, 60));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // From the serving thread itself it would deadlock.
    bool refused = false;
    dispatch_async(dispatch_get_main_queue(), [&] {
        try {
            dispatch_sync(dispatch_get_main_queue(), [] {});
        } catch (const std::logic_error&) {
            refused = true;
        }
    });
    RunLoop::main().runPending();
    EXPECT_TRUE(refused);
}

// ---------------------------------------------------------------------------

namespace {

std::vector<std::pair<id, double>> performed;  // (object, clock) per call

void fireVoid(objc_object*, SEL, id object) { performed.emplace_back(object, Clock::now()); }
id fireReturning(objc_object* self, SEL, id object) {
    performed.emplace_back(object, Clock::now());
    return self;
}
void fireWithInt(objc_object*, SEL, int) { performed.emplace_back(nullptr, Clock::now()); }

struct PerformFixture : ::testing::Test {
    Class targetClass = makeClass("PerformTarget");
    Class argClass = makeClass("PerformArgument");
    void SetUp() override {
        performed.clear();
        Clock::setVirtual(true);
        class_addMethod(targetClass, "fire:"_sel, &fireVoid, "v@:@");
        class_addMethod(targetClass, "fireReturning:"_sel, &fireReturning, "@@:@");
        class_addMethod(targetClass, "fireWithInt:"_sel, &fireWithInt, "v@:i");
    }
    void performLater(id target, SEL sel, id object, double delay) {
        objc_msgSend<void(SEL, id, double)>(target, "performSelector:withObject:afterDelay:"_sel, sel, object, delay);
    }
};

}  // namespace

TEST_F(PerformFixture, KeepsTargetAndObjectAliveUntilItFires) {
    double t0 = Clock::now();
    id target = newInstance(targetClass);
    id arg = newInstance(argClass);
    performLater(target, "fire:"_sel, arg, 1.0);
    release(target);
    release(arg);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 1);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 1);

    RunLoop::main().runFor(0.5);
    EXPECT_TRUE(performed.empty());
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 1);

    RunLoop::main().runFor(0.6);
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0].first, arg);
    EXPECT_DOUBLE_EQ(performed[0].second, t0 + 1.0);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 0);
}

TEST_F(PerformFixture, AnswersMethodsThatReturnAnObject) {
    id target = newInstance(targetClass);
    performLater(target, "fireReturning:"_sel, nullptr, 0);
    release(target);
    RunLoop::main().runFor(0.1);
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0].first, nullptr);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
}

TEST_F(PerformFixture, CancelReleasesAndNeverFires) {
    id target = newInstance(targetClass);
    id other = newInstance(targetClass);
    id arg = newInstance(argClass);
    performLater(target, "fire:"_sel, arg, 1.0);
    performLater(target, "fireReturning:"_sel, arg, 2.0);
    performLater(other, "fire:"_sel, nullptr, 3.0);
    release(target);
    release(arg);
    objc_msgSend<void(id)>(NSObject::cls(), "cancelPreviousPerformRequestsWithTarget:"_sel, target);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 0);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 1);  // `other` only

    RunLoop::main().runFor(5);
    ASSERT_EQ(performed.size(), 1u);  // other's
    EXPECT_EQ(performed[0].first, nullptr);
    release(other);
}

TEST_F(PerformFixture, CancelBySelectorAndObjectLeavesOthers) {
    id target = newInstance(targetClass);
    id arg = newInstance(argClass);
    performLater(target, "fire:"_sel, arg, 1.0);
    performLater(target, "fireReturning:"_sel, arg, 1.0);
    objc_msgSend<void(id, SEL, id)>(NSObject::cls(), "cancelPreviousPerformRequestsWithTarget:selector:object:"_sel,
                                    target, "fire:"_sel, arg);
    objc_msgSend<void(id, SEL, id)>(NSObject::cls(), "cancelPreviousPerformRequestsWithTarget:selector:object:"_sel,
                                    target, "fireReturning:"_sel, nullptr);  // other object: stays
    RunLoop::main().runFor(2);
    ASSERT_EQ(performed.size(), 1u);
    release(target);
    release(arg);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
}

TEST_F(PerformFixture, AMethodOfAnotherPrototypeRaisesAndStillReleases) {
    id target = newInstance(targetClass);
    performLater(target, "fireWithInt:"_sel, nullptr, 1.0);
    release(target);
    EXPECT_THROW(RunLoop::main().runFor(2), objc::BadSignature);
    EXPECT_TRUE(performed.empty());
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
}
