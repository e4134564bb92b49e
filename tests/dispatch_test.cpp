// The clock, the main run loop, dispatch queues and delayed performs.
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>
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
using Names = std::vector<std::string>;

namespace {

Class makeClass(const char* name) {
    if (Class existing = objc_getClass(name)) return existing;
    Class cls = objc_allocateClassPair(NSObject::cls(), name, 0);
    objc_registerClassPair(cls);
    return cls;
}

id newInstance(Class cls) { return objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel); }

// Names of the work that ran, with the clock reading at the time.
struct Trace {
    Names names;
    std::vector<double> times;
    std::function<void()> step(const std::string& name) {
        return [this, name] {
            names.push_back(name);
            times.push_back(Clock::now());
        };
    }
};

}  // namespace

TEST(Clock, VirtualTimeMovesOnlyWhenAdvanced) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Clock::now(), t0);
    Clock::advance(1.5);
    Clock::advanceTo(t0);  // never backwards
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 1.5);
    Clock::setVirtual(false);
    EXPECT_THROW(Clock::advance(1), std::logic_error);
}

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
    EXPECT_EQ(trace.times, (std::vector<double>{t0 + 1, t0 + 2, t0 + 2}));
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 2.5);
    loop.runFor(1);
    EXPECT_EQ(trace.names.back(), "c");
    EXPECT_DOUBLE_EQ(trace.times.back(), t0 + 3);

    // runUntil jumps to the timer it waits for, and no further.
    bool fired = false;
    loop.addTimer(t0 + 100, [&] { fired = true; });
    auto later = loop.addTimer(t0 + 200, trace.step("later"));
    EXPECT_TRUE(loop.runUntil([&] { return fired; }, 1000));
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 100);
    EXPECT_TRUE(loop.cancelTimer(later));
    loop.runFor(500);
    EXPECT_EQ(trace.names.back(), "c");
}

TEST(RunLoop, PostsRunInOrderAndWorkPostedByWorkWaitsForTheNextPass) {
    Trace trace;
    RunLoop& loop = RunLoop::main();
    loop.post(trace.step("1"));
    loop.post([&] {
        trace.step("2")();
        loop.post(trace.step("4"));
    });
    loop.post(trace.step("3"));
    loop.runPending();
    EXPECT_EQ(trace.names, (Names{"1", "2", "3"}));
    loop.runPending();
    EXPECT_EQ(trace.names, (Names{"1", "2", "3", "4"}));

    // Work that posts itself again runs once per pass and cannot hang it.
    int runs = 0;
    std::function<void()> again = [&] {
        if (++runs < 3) loop.post(again);
    };
    loop.post(again);
    loop.runPending();
    EXPECT_EQ(runs, 1);
    loop.runPending();
    loop.runPending();
    EXPECT_EQ(runs, 3);
}

TEST(RunLoop, EachItemDrainsItsOwnAutoreleasePool) {
    Class cls = makeClass("PooledThing");
    long seenBySecond = -1;
    RunLoop::main().post([&] { autorelease(newInstance(cls)); });
    RunLoop::main().post([&] { seenBySecond = class_getLiveInstanceCount(cls); });
    RunLoop::main().runPending();
    EXPECT_EQ(seenBySecond, 0);
}

// An exception leaving a run-loop item, or a block sent with dispatch_sync
// to the main queue, is alive where it is caught.
TEST(RunLoop, AnExceptionLeavingAnItemOutlivesTheItemsPool) {
    long before = class_getLiveInstanceCount(NSException::cls());
    std::string caught;
    {
        AutoreleasePool pool;
        RunLoop::main().post([] { NSException::raise(NSGenericException, "raised by an item"); });
        try {
            RunLoop::main().runPending();
        } catch (NSException* e) {
            EXPECT_EQ(class_getLiveInstanceCount(NSException::cls()), before + 1);
            caught = e->reasonString();
        }
    }
    EXPECT_EQ(caught, "raised by an item");
    EXPECT_EQ(class_getLiveInstanceCount(NSException::cls()), before);

    std::atomic<long> liveInCatch{-1};
    std::string caughtBySync;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        AutoreleasePool pool;
        try {
            dispatch_sync(dispatch_get_main_queue(), [] { NSException::raise(NSGenericException, "raised by a sync block"); });
        } catch (NSException* e) {
            liveInCatch = class_getLiveInstanceCount(NSException::cls());
            caughtBySync = e->reasonString();
        }
        dispatch_async(dispatch_get_main_queue(), [&] { finished = true; });
    });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return finished.load(); }, 60));
    worker.join();
    EXPECT_EQ(caughtBySync, "raised by a sync block");
    EXPECT_EQ(liveInCatch.load(), before + 1);
    EXPECT_EQ(class_getLiveInstanceCount(NSException::cls()), before);
}

TEST(RunLoop, StopAndQuitEndTheRunInProgress) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    Trace trace;
    RunLoop& loop = RunLoop::main();
    loop.addTimer(t0 + 1, [&] { loop.stop(); });
    loop.addTimer(t0 + 5, trace.step("late"));
    loop.runFor(10);
    EXPECT_DOUBLE_EQ(Clock::now(), t0 + 1);
    EXPECT_TRUE(trace.names.empty());

    // A quit request (here from another thread) holds until cleared.
    std::thread([&] { loop.requestQuit(); }).join();
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_FALSE(loop.runUntil([] { return false; }, 600));
    loop.runFor(10);
    EXPECT_TRUE(trace.names.empty());
    loop.clearQuitRequest();
    loop.runFor(10);
    EXPECT_EQ(trace.names, (Names{"late"}));
}

TEST(RunLoop, OtherThreadsWakeARealRun) {
    RunLoop& loop = RunLoop::main();
    std::atomic<bool> serving{false};
    bool done = false;
    loop.post([&] { serving = true; });
    std::thread poster([&] {
        while (!serving) std::this_thread::yield();
        loop.post([&] { done = true; });
    });
    EXPECT_TRUE(loop.runUntil([&] { return done; }, 60));
    poster.join();
}

TEST(Dispatch, AfterOnTheMainQueueFollowsTheClock) {
    Clock::setVirtual(true);
    double t0 = Clock::now();
    EXPECT_NEAR(static_cast<double>(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_MSEC)), t0 * 1e9 + 1e6, 1e3);
    Trace trace;
    dispatch_queue_t main = dispatch_get_main_queue();
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), main, trace.step("2s"));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 500 * NSEC_PER_MSEC), main, trace.step("500ms"));
    dispatch_after(DISPATCH_TIME_FOREVER, main, trace.step("never"));
    dispatch_async(main, trace.step("now"));

    RunLoop::main().runFor(1.9);
    EXPECT_EQ(trace.names, (Names{"now", "500ms"}));
    RunLoop::main().runFor(0.2);
    EXPECT_EQ(trace.names, (Names{"now", "500ms", "2s"}));
    EXPECT_NEAR(trace.times[1], t0 + 0.5, 1e-6);
    EXPECT_NEAR(trace.times[2], t0 + 2, 1e-6);
    EXPECT_EQ(RunLoop::main().pendingCount(), 0u);
}

TEST(Dispatch, ADelayIsDueAfterAdvancingTheClockByExactlyThatDelay) {
    Clock::setVirtual(true);
    platform::setManualGlobalQueues(true);
    int early = 0, missed = 0, runs = 0;
    for (int i = 1; i <= 300; ++i) {
        Clock::advance(0.000123456789 * i);  // a different fraction of a nanosecond each round
        for (uint64_t delay : {NSEC_PER_MSEC, 300 * NSEC_PER_MSEC, 2 * NSEC_PER_SEC + 1}) {
            int ran = 0;
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay)), dispatch_get_main_queue(),
                           [&] { ++ran; });
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(delay)),
                           dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] { ++ran; });
            RunLoop::main().runPending();
            platform::drainGlobalQueues();
            early += ran;
            Clock::advance(static_cast<double>(delay) / NSEC_PER_SEC);
            RunLoop::main().runPending();
            platform::drainGlobalQueues();
            missed += 2 - ran;
            runs += 2;
        }
    }
    EXPECT_EQ(early, 0);
    EXPECT_EQ(missed, 0) << "of " << runs;
}

TEST(Dispatch, ManualGlobalQueuesDrainInQueueOrderOnTheCallingThread) {
    platform::setManualGlobalQueues(true);
    Names order;
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

    // Delayed global blocks wait for the clock.
    Clock::setVirtual(true);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), dispatch_get_global_queue(0, 0), step("6"));
    EXPECT_EQ(platform::drainGlobalQueues(), 0u);
    Clock::advance(1);
    EXPECT_EQ(platform::drainGlobalQueues(), 1u);
}

// The delete-confirmation pattern: work on a global queue, then the answer
// on the main queue.
TEST(Dispatch, GlobalWorkHopsBackToTheMainQueue) {
    platform::setManualGlobalQueues(true);
    Names steps;
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

TEST(Dispatch, WorkerThreadsRunGlobalBlocksAndSyncWaits) {
    platform::setManualGlobalQueues(false);
    std::thread::id worker, syncedOn;
    bool confirmed = false;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), [&] {
        worker = std::this_thread::get_id();
        // From a worker, dispatch_sync to the main queue returns after the
        // serving thread ran the block.
        dispatch_sync(dispatch_get_main_queue(), [&] { syncedOn = std::this_thread::get_id(); });
        dispatch_async(dispatch_get_main_queue(), [&] { confirmed = true; });
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return confirmed; }, 60));
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(syncedOn, std::this_thread::get_id());

    int value = 0;
    dispatch_sync(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] { value = 1; });
    EXPECT_EQ(value, 1);
}

namespace {

std::vector<std::pair<id, double>> performed;  // (object, clock) per call

void fireVoid(objc_object*, SEL, id object) { performed.emplace_back(object, Clock::now()); }
id fireReturning(objc_object* self, SEL, id object) {
    performed.emplace_back(object, Clock::now());
    return self;
}
void fireWithInt(objc_object*, SEL, int) { performed.emplace_back(nullptr, Clock::now()); }
void fireWithoutArgument(objc_object* self, SEL) { performed.emplace_back(self, Clock::now()); }
BOOL fireAnsweringBool(objc_object*, SEL, id object) {
    performed.emplace_back(object, Clock::now());
    return YES;
}
double fireAnsweringDouble(objc_object* self, SEL) {
    performed.emplace_back(self, Clock::now());
    return 2.5;
}

struct Perform : ::testing::Test {
    Class targetClass = makeClass("PerformTarget");
    Class argClass = makeClass("PerformArgument");
    void SetUp() override {
        performed.clear();
        Clock::setVirtual(true);
        class_addMethod(targetClass, "fire:"_sel, &fireVoid, "v@:@");
        class_addMethod(targetClass, "fireReturning:"_sel, &fireReturning, "@@:@");
        class_addMethod(targetClass, "fireWithInt:"_sel, &fireWithInt, "v@:i");
        class_addMethod(targetClass, "fireWithoutArgument"_sel, &fireWithoutArgument, "v@:");
        class_addMethod(targetClass, "fireAnsweringBool:"_sel, &fireAnsweringBool, "B@:@");
        class_addMethod(targetClass, "fireAnsweringDouble"_sel, &fireAnsweringDouble, "d@:");
    }
    void later(id target, SEL sel, id object, double delay) {
        objc_msgSend<void(SEL, id, double)>(target, "performSelector:withObject:afterDelay:"_sel, sel, object, delay);
    }
};

}  // namespace

TEST_F(Perform, KeepsTargetAndObjectAliveUntilItFires) {
    double t0 = Clock::now();
    id target = newInstance(targetClass);
    id arg = newInstance(argClass);
    later(target, "fire:"_sel, arg, 1.0);
    later(target, "fireReturning:"_sel, nullptr, 2.0);
    release(target);
    release(arg);

    RunLoop::main().runFor(0.5);
    EXPECT_TRUE(performed.empty());
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 1);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 1);

    RunLoop::main().runFor(1);
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0], std::make_pair(arg, t0 + 1.0));
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 0);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 1);  // the second request holds it

    RunLoop::main().runFor(1);
    ASSERT_EQ(performed.size(), 2u);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
}

TEST_F(Perform, CancelReleasesAndNeverFires) {
    id target = newInstance(targetClass);
    id other = newInstance(targetClass);
    id arg = newInstance(argClass);
    later(target, "fire:"_sel, arg, 1.0);
    later(target, "fireReturning:"_sel, arg, 2.0);
    later(other, "fire:"_sel, nullptr, 3.0);
    release(target);
    release(arg);
    objc_msgSend<void(id)>(NSObject::cls(), "cancelPreviousPerformRequestsWithTarget:"_sel, target);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 0);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 1);  // `other` only

    RunLoop::main().runFor(5);
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(performed[0].first, nullptr);  // other's
    release(other);
}

// Whatever the method returns is dropped.
TEST_F(Perform, AMethodWithoutArgumentIsPerformedWithoutTheObjectAndAnyResultIsDropped) {
    double t0 = Clock::now();
    id target = newInstance(targetClass);
    id arg = newInstance(argClass);
    later(target, "fireWithoutArgument"_sel, arg, 0.5);
    later(target, "fireAnsweringBool:"_sel, arg, 1.0);
    later(target, "fireAnsweringDouble"_sel, arg, 1.5);
    release(target);
    release(arg);
    RunLoop::main().runFor(2);
    EXPECT_EQ(performed, (std::vector<std::pair<id, double>>{{target, t0 + 0.5}, {arg, t0 + 1.0}, {target, t0 + 1.5}}));
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 0);
}

TEST_F(Perform, AMethodOfAnotherPrototypeRaisesAndStillReleases) {
    id target = newInstance(targetClass);
    later(target, "fireWithInt:"_sel, nullptr, 1.0);
    release(target);
    EXPECT_THROW(RunLoop::main().runFor(2), objc::BadSignature);
    EXPECT_TRUE(performed.empty());
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
}

TEST_F(Perform, FromAThreadWithoutARunLoopItNeverFires) {
    id target = newInstance(targetClass);
    id arg = newInstance(argClass);
    std::thread([&] { later(target, "fire:"_sel, arg, 0.5); }).join();
    RunLoop::main().runFor(2);
    EXPECT_TRUE(performed.empty());
    release(target);
    release(arg);
    EXPECT_EQ(class_getLiveInstanceCount(targetClass), 0);
    EXPECT_EQ(class_getLiveInstanceCount(argClass), 0);
}

TEST_F(Perform, CancelMatchesTheObjectByIsEqual) {
    AutoreleasePool pool;
    id target = newInstance(targetClass);
    NSString* song = NSString::make("song");
    NSString* sameText = NSString::make("song");
    ASSERT_NE(song, sameText);
    later(target, "fire:"_sel, song, 1.0);
    later(target, "fire:"_sel, NSString::make("album"), 1.0);
    objc_msgSend<void(id, SEL, id)>(NSObject::cls(), "cancelPreviousPerformRequestsWithTarget:selector:object:"_sel,
                                    target, "fire:"_sel, sameText);
    RunLoop::main().runFor(2);
    ASSERT_EQ(performed.size(), 1u);
    EXPECT_EQ(static_cast<NSString*>(performed[0].first)->str(), "album");
    release(target);
}
