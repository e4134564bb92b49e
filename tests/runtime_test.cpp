// The object runtime: lookup, replacement, added methods, sends, memory
// management, weak references, associated objects, ivars, threads.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <Foundation/NSException.h>
#include <objc/NSObject.h>

#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Rect {
    double x, y, w, h;
};

// A small class family: Base <- Sub, Base <- Sibling, Sub <- SubSub.
struct Base : NSObject {
    OBJC_CLASS(Base)
    long value = 0;
    NSObject* plainRef = nullptr;
    std::string name;
};
struct Sub : Base {
    OBJC_CLASS(Sub)
    double ratio = 0.5;
};
struct Sibling : Base {
    OBJC_CLASS(Sibling)
};
struct SubSub : Sub {
    OBJC_CLASS(SubSub)
};

// Runs code of its own when its C++ members are destroyed and in its dealloc.
struct Probe {
    std::function<void()> onDestroy;
    ~Probe() {
        if (onDestroy) onDestroy();
    }
};
struct Dying : NSObject {
    OBJC_CLASS(Dying)
    Probe probe;
    std::function<void(Dying*)> inDealloc;
};

std::vector<std::string>* deallocLog = nullptr;

NSInteger baseNumber(Base*, SEL) { return 1; }
NSInteger subSubNumber(SubSub*, SEL) { return 3; }
id baseEcho(Base*, SEL, id x) { return x; }
NSInteger baseAdd(Base* self, SEL, NSInteger a, NSInteger b) { return self->value + a + b; }
double baseRatio(Base*, SEL) { return 1.5; }
Rect baseRect(Base*, SEL) { return {1, 2, 3, 4}; }
BOOL baseYes(Base*, SEL) { return YES; }
void baseDealloc(Base* self, SEL) {
    if (deallocLog) deallocLog->push_back("Base:" + self->name);
    objc_msgSendSuper<void()>(self, Base::cls(), "dealloc"_sel);
}
id baseMake(objc_class*, SEL) { return nullptr; }
void dyingDealloc(Dying* self, SEL) {
    if (self->inDealloc) self->inDealloc(self);
    objc_msgSendSuper<void()>(self, Dying::cls(), "dealloc"_sel);
}

void registerClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Base>("Base", NSObject::cls())
            .method<baseNumber>("number")
            .method<baseEcho>("echo:")
            .method<baseAdd>("add:to:")
            .method<baseRatio>("ratio")
            .method<baseRect>("rect")
            .method<baseYes>("yes")
            .method<baseDealloc>("dealloc")
            .classMethod<baseMake>("make")
            .OBJC_IVAR(Base, value)
            .OBJC_IVAR(Base, plainRef)
            .OBJC_IVAR(Base, name);
        objc::ClassDef<Sub>("Sub", Base::cls()).OBJC_IVAR(Sub, ratio);
        objc::ClassDef<Sibling>("Sibling", Base::cls());
        objc::ClassDef<SubSub>("SubSub", Sub::cls()).method<subSubNumber>("number");
        objc::ClassDef<Dying>("Dying", NSObject::cls()).method<dyingDealloc>("dealloc");
    });
}

template <class T>
T* make() {
    return static_cast<T*>(objc_msgSend<id()>(objc_msgSend<id()>(T::cls(), "alloc"_sel), "init"_sel));
}

NSInteger number(id obj) { return objc_msgSend<NSInteger()>(obj, "number"_sel); }

class Runtime : public ::testing::Test {
protected:
    void SetUp() override { registerClasses(); }
};

// --- replacement -----------------------------------------------------------

Slot<NSInteger(Base*, SEL)> originalNumber;
NSInteger replacedNumber(Base* self, SEL cmd) { return 100 + originalNumber(self, cmd); }

TEST_F(Runtime, ReplaceOwnedMethodThenCallThrough) {
    OWN_PROCESS();  // replaces Base's number for good
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    EXPECT_EQ(number(b), 1);  // fills the cache before the hook
    MSHookMessageEx(Base::cls(), "number"_sel, replacedNumber, &originalNumber);
    ASSERT_TRUE(originalNumber);
    EXPECT_EQ(number(b), 101);
    auto log = objc_copyInstallationLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].className, "Base");
    EXPECT_EQ(log[0].selector, "number");
    EXPECT_EQ(log[0].kind, 'R');
}

Slot<NSInteger(Base*, SEL)> firstSlot, secondSlot;
NSInteger firstHook(Base* self, SEL cmd) { return 10 * firstSlot(self, cmd); }
NSInteger secondHook(Base* self, SEL cmd) { return secondSlot(self, cmd) + 7; }

TEST_F(Runtime, HookingTwiceChains) {
    OWN_PROCESS();  // replaces Base's number for good
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    MSHookMessageEx(Base::cls(), "number"_sel, firstHook, &firstSlot);
    MSHookMessageEx(Base::cls(), "number"_sel, secondHook, &secondSlot);
    EXPECT_EQ(number(b), 17);  // second(first(original))
}

Slot<NSInteger(Sub*, SEL)> inheritedSlot;
NSInteger subHook(Sub* self, SEL cmd) { return 50 + inheritedSlot(self, cmd); }

TEST_F(Runtime, ReplaceInheritedMethodChangesOnlyThatClass) {
    OWN_PROCESS();  // replaces Sub's number for good
    Strong<Base> base = Strong<Base>::adopt(make<Base>());
    Strong<Sub> sub = Strong<Sub>::adopt(make<Sub>());
    Strong<Sibling> sibling = Strong<Sibling>::adopt(make<Sibling>());
    Strong<SubSub> subSub = Strong<SubSub>::adopt(make<SubSub>());
    // Warm every cache so that a missing flush would show.
    EXPECT_EQ(number(base), 1);
    EXPECT_EQ(number(sub), 1);
    EXPECT_EQ(number(sibling), 1);
    EXPECT_EQ(number(subSub), 3);
    EXPECT_FALSE(class_ownsMethod(Sub::cls(), "number"_sel));

    MSHookMessageEx(Sub::cls(), "number"_sel, subHook, &inheritedSlot);

    EXPECT_TRUE(class_ownsMethod(Sub::cls(), "number"_sel));
    EXPECT_EQ(number(sub), 51);     // the override calls the inherited one
    EXPECT_EQ(number(base), 1);     // superclass untouched
    EXPECT_EQ(number(sibling), 1);  // sibling untouched
    EXPECT_EQ(number(subSub), 3);   // a subclass with its own override untouched
}

Slot<NSInteger(Sub*, SEL)> subFirstSlot;
Slot<NSInteger(Base*, SEL)> baseLaterSlot;
NSInteger subFirstHook(Sub* self, SEL cmd) { return 50 + subFirstSlot(self, cmd); }
NSInteger baseLaterHook(Base* self, SEL cmd) { return 1000 + baseLaterSlot(self, cmd); }

TEST_F(Runtime, HookOfAnInheritedMethodReachesALaterHookOfTheSuperclass) {
    OWN_PROCESS();  // replaces Sub's and Base's number for good
    Strong<Base> base = Strong<Base>::adopt(make<Base>());
    Strong<Sub> sub = Strong<Sub>::adopt(make<Sub>());
    MSHookMessageEx(Sub::cls(), "number"_sel, subFirstHook, &subFirstSlot);
    EXPECT_EQ(number(sub), 51);
    // The superclass's method is looked up at each call through the slot.
    MSHookMessageEx(Base::cls(), "number"_sel, baseLaterHook, &baseLaterSlot);
    EXPECT_EQ(number(base), 1001);
    EXPECT_EQ(number(sub), 1051);
}

TEST_F(Runtime, HookOfMissingClassOrSelectorLeavesSlotEmpty) {
    OWN_PROCESS();  // needs an empty installation log
    Slot<NSInteger(Base*, SEL)> slot;
    MSHookMessageEx(nullptr, "number"_sel, replacedNumber, &slot);
    EXPECT_FALSE(slot);
    MSHookMessageEx(Base::cls(), "noSuchSelector"_sel, replacedNumber, &slot);
    EXPECT_FALSE(slot);
    MSHookMessageEx(objc_getClass("NoSuchClass"), "number"_sel, replacedNumber, &slot);
    EXPECT_FALSE(slot);
    EXPECT_TRUE(objc_copyInstallationLog().empty());
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    EXPECT_EQ(number(b), 1);
    EXPECT_FALSE(objc_msgSend<BOOL(SEL)>(b, "respondsToSelector:"_sel, "noSuchSelector"_sel));
}

double wrongPrototype(Base*, SEL) { return 0; }

TEST_F(Runtime, HookWithAnotherPrototypeIsRefused) {
    OWN_PROCESS();  // needs Base's own number
    Slot<double(Base*, SEL)> slot;
    EXPECT_THROW(MSHookMessageEx(Base::cls(), "number"_sel, wrongPrototype, &slot), objc::BadSignature);
    EXPECT_FALSE(slot);
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    EXPECT_EQ(number(b), 1);
}

Slot<id(objc_class*, SEL)> makeSlot;
id hookedMake(objc_class* self, SEL cmd) {
    makeSlot(self, cmd);
    return objc_msgSend<id()>(self, "alloc"_sel);
}

TEST_F(Runtime, ClassMethodsAreHookedOnTheMetaclass) {
    OWN_PROCESS();  // replaces Base's make for good
    MSHookMessageEx(Base::cls()->isa, "make"_sel, hookedMake, &makeSlot);
    ASSERT_TRUE(makeSlot);
    Strong<Base> b = Strong<Base>::adopt(static_cast<Base*>(objc_msgSend<id()>(Base::cls(), "make"_sel)));
    ASSERT_NE(b.get(), nullptr);
    EXPECT_TRUE(objc_msgSend<BOOL(Class)>(b, "isMemberOfClass:"_sel, Base::cls()));
    // Subclasses inherit the class method.
    Strong<Sub> s = Strong<Sub>::adopt(static_cast<Sub*>(objc_msgSend<id()>(Sub::cls(), "make"_sel)));
    EXPECT_TRUE(objc_msgSend<BOOL(Class)>(s, "isMemberOfClass:"_sel, Sub::cls()));
}

// --- added methods ----------------------------------------------------------

NSInteger addedNumber(Base*, SEL) { return 42; }
NSInteger addedTwice(Base*, SEL) { return 43; }

TEST_F(Runtime, AddMethodWhereOwnedChangesNothing) {
    OWN_PROCESS();  // adds to Base for good
    EXPECT_FALSE(class_addMethod(Base::cls(), "number"_sel, addedNumber, "q@:"));
    EXPECT_FALSE(class_addMethod(nullptr, "fresh"_sel, addedNumber, "q@:"));
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    EXPECT_EQ(number(b), 1);
    EXPECT_TRUE(class_addMethod(Base::cls(), "fresh"_sel, addedNumber, "@@"));
    EXPECT_FALSE(class_addMethod(Base::cls(), "fresh"_sel, addedTwice, "@@"));
    EXPECT_EQ(objc_msgSend<NSInteger()>(b, "fresh"_sel), 42);
    EXPECT_STREQ(method_getTypeEncoding(class_getInstanceMethod(Base::cls(), "fresh"_sel)), "@@");
    auto log = objc_copyInstallationLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].kind, 'A');
}

TEST_F(Runtime, AddMethodOverridesAnInheritedOne) {
    OWN_PROCESS();  // adds to Sub for good
    Strong<Sub> sub = Strong<Sub>::adopt(make<Sub>());
    Strong<Base> base = Strong<Base>::adopt(make<Base>());
    EXPECT_EQ(number(sub), 1);
    EXPECT_TRUE(class_addMethod(Sub::cls(), "number"_sel, addedNumber, "q@:"));
    EXPECT_EQ(number(sub), 42);
    EXPECT_EQ(number(base), 1);
    EXPECT_TRUE(objc_msgSend<BOOL(SEL)>(sub, "respondsToSelector:"_sel, "number"_sel));
}

TEST_F(Runtime, RespondsToOwnInheritedAndAddedSelectors) {
    Strong<SubSub> obj = Strong<SubSub>::adopt(make<SubSub>());
    auto responds = [&](SEL s) { return objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, s); };
    EXPECT_TRUE(responds("number"_sel));  // own
    EXPECT_TRUE(responds("echo:"_sel));   // inherited
    EXPECT_FALSE(responds("later:"_sel));
    EXPECT_TRUE(class_addMethod(Base::cls(), "later:"_sel, baseEcho, "@@:"));
    EXPECT_TRUE(responds("later:"_sel));  // added to a superclass after the miss was cached
    EXPECT_TRUE(objc_msgSend<BOOL(SEL)>(SubSub::cls(), "instancesRespondToSelector:"_sel, "later:"_sel));
}

// --- sends -----------------------------------------------------------------

TEST_F(Runtime, NilReceiverReturnsZeroForEveryKind) {
    id none = nil;
    EXPECT_EQ(objc_msgSend<id(id)>(none, "echo:"_sel, none), nil);
    EXPECT_EQ(objc_msgSend<NSInteger()>(none, "number"_sel), 0);
    EXPECT_EQ(objc_msgSend<BOOL()>(none, "yes"_sel), NO);
    EXPECT_EQ(objc_msgSend<double()>(none, "ratio"_sel), 0.0);
    Rect r = objc_msgSend<Rect()>(none, "rect"_sel);
    EXPECT_EQ(r.x + r.y + r.w + r.h, 0.0);
    objc_msgSend<void()>(none, "anything"_sel);  // runs nothing, raises nothing
}

TEST_F(Runtime, ArgumentsAndStructsPassThrough) {
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    b->value = 5;
    EXPECT_EQ((objc_msgSend<NSInteger(NSInteger, NSInteger)>(b, "add:to:"_sel, 3, 4)), 12);
    EXPECT_EQ(objc_msgSend<id(id)>(b, "echo:"_sel, b.get()), b.get());
    // Object types normalise: a send stated with a specific class type matches.
    EXPECT_EQ(objc_msgSend<Base*(Base*)>(b, "echo:"_sel, b.get()), b.get());
    Rect r = objc_msgSend<Rect()>(b, "rect"_sel);
    EXPECT_EQ(r.w, 3);
    EXPECT_DOUBLE_EQ(objc_msgSend<double()>(b, "ratio"_sel), 1.5);
}

TEST_F(Runtime, UnknownSelectorRaisesInvalidArgument) {
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    AutoreleasePool pool;
    try {
        objc_msgSend<void()>(b, "frobnicate"_sel);
        FAIL() << "no exception";
    } catch (NSException* e) {
        EXPECT_EQ(e->nameString(), "NSInvalidArgumentException");
        EXPECT_NE(e->reasonString().find("-[Base frobnicate]: unrecognized selector sent to instance"),
                  std::string::npos)
            << e->reasonString();
    }
    try {
        objc_msgSend<void()>(Base::cls(), "frobnicate"_sel);
        FAIL() << "no exception";
    } catch (NSException* e) {
        EXPECT_NE(e->reasonString().find("+[Base frobnicate]"), std::string::npos);
    }
}

TEST_F(Runtime, SignatureMismatchRaises) {
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    EXPECT_THROW(objc_msgSend<double()>(b, "number"_sel), objc::BadSignature);
    EXPECT_THROW(objc_msgSend<NSInteger(NSInteger)>(b, "number"_sel, 1), objc::BadSignature);
    EXPECT_THROW(objc_msgSend<int()>(b, "number"_sel), objc::BadSignature);  // int is not NSInteger
    EXPECT_THROW(objc_msgSend<id()>(b, "echo:"_sel), objc::BadSignature);
}

TEST_F(Runtime, SuperSendsStartAboveTheGivenClass) {
    OWN_PROCESS();  // needs Base's own number
    Strong<SubSub> obj = Strong<SubSub>::adopt(make<SubSub>());
    EXPECT_EQ(number(obj), 3);
    EXPECT_EQ(objc_msgSendSuper<NSInteger()>(obj, SubSub::cls(), "number"_sel), 1);
}

TEST_F(Runtime, ClassQueries) {
    Strong<SubSub> obj = Strong<SubSub>::adopt(make<SubSub>());
    EXPECT_TRUE(objc_msgSend<BOOL(Class)>(obj, "isKindOfClass:"_sel, Base::cls()));
    EXPECT_TRUE(objc_msgSend<BOOL(Class)>(obj, "isKindOfClass:"_sel, NSObject::cls()));
    EXPECT_FALSE(objc_msgSend<BOOL(Class)>(obj, "isKindOfClass:"_sel, Sibling::cls()));
    EXPECT_FALSE(objc_msgSend<BOOL(Class)>(obj, "isKindOfClass:"_sel, nullptr));
    EXPECT_TRUE(objc_msgSend<BOOL(Class)>(obj, "isMemberOfClass:"_sel, SubSub::cls()));
    EXPECT_FALSE(objc_msgSend<BOOL(Class)>(obj, "isMemberOfClass:"_sel, Sub::cls()));
    EXPECT_EQ(objc_msgSend<Class()>(obj, "class"_sel), SubSub::cls());
    EXPECT_EQ(objc_msgSend<Class()>(obj, "superclass"_sel), Sub::cls());
    EXPECT_EQ(objc_msgSend<Class()>(SubSub::cls(), "class"_sel), SubSub::cls());
    EXPECT_EQ(objc_getClass("SubSub"), SubSub::cls());
    EXPECT_EQ(objc_getClass("Nope"), nullptr);
    EXPECT_EQ(objc_getClass(nullptr), nullptr);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(obj, "isEqual:"_sel, obj.get()));
    Strong<SubSub> other = Strong<SubSub>::adopt(make<SubSub>());
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(obj, "isEqual:"_sel, other.get()));
    EXPECT_NE(objc_msgSend<NSUInteger()>(obj, "hash"_sel), objc_msgSend<NSUInteger()>(other, "hash"_sel));
}

// --- performSelector and target/action ---------------------------------------

struct Target : NSObject {
    OBJC_CLASS(Target)
    std::vector<std::string> calls;
    id lastSender = nullptr;
    id lastEvent = nullptr;
};
void tapNone(Target* self, SEL) { self->calls.push_back("none"); }
void tapSender(Target* self, SEL, id sender) {
    self->calls.push_back("sender");
    self->lastSender = sender;
}
void tapBoth(Target* self, SEL, id sender, id event) {
    self->calls.push_back("both");
    self->lastSender = sender;
    self->lastEvent = event;
}
id giveBack(Target*, SEL, id a) { return a; }
NSInteger wrongAction(Target*, SEL, NSInteger) { return 0; }

void registerTarget() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Target>("Target", NSObject::cls())
            .method<tapNone>("tapNone")
            .method<tapSender>("tapSender:")
            .method<tapBoth>("tapBoth:event:")
            .method<giveBack>("giveBack:")
            .method<wrongAction>("wrongAction:");
    });
}

TEST_F(Runtime, ActionsPassAsManyArgumentsAsTheMethodTakes) {
    registerTarget();
    Strong<Target> t = Strong<Target>::adopt(make<Target>());
    Strong<Base> sender = Strong<Base>::adopt(make<Base>());
    Strong<Base> event = Strong<Base>::adopt(make<Base>());
    EXPECT_TRUE(objc_sendAction(t, "tapNone"_sel, sender, event));
    EXPECT_TRUE(objc_sendAction(t, "tapSender:"_sel, sender, event));
    EXPECT_EQ(t->lastSender, sender.get());
    EXPECT_TRUE(objc_sendAction(t, "tapBoth:event:"_sel, sender, event));
    EXPECT_EQ(t->lastEvent, event.get());
    EXPECT_FALSE(objc_sendAction(t, "missing:"_sel, sender, event));
    EXPECT_FALSE(objc_sendAction(t, "wrongAction:"_sel, sender, event));
    EXPECT_EQ(t->calls, (std::vector<std::string>{"none", "sender", "both"}));

    EXPECT_EQ(objc_msgSend<id(SEL, id)>(t, "performSelector:withObject:"_sel, "giveBack:"_sel, sender.get()),
              sender.get());
    EXPECT_EQ(objc_msgSend<id(SEL)>(t, "performSelector:"_sel, "tapNone"_sel), nil);
    objc_msgSend<id(SEL, id, id)>(t, "performSelector:withObject:withObject:"_sel, "tapBoth:event:"_sel, event.get(),
                                  sender.get());
    EXPECT_EQ(t->lastSender, event.get());
    EXPECT_THROW(objc_msgSend<id(SEL)>(t, "performSelector:"_sel, "nothing"_sel), NSException*);
}

// --- memory ------------------------------------------------------------------

Slot<void(Base*, SEL)> deallocSlot;
int replacedDeallocs = 0;
void replacedDealloc(Base* self, SEL cmd) {
    ++replacedDeallocs;
    deallocSlot(self, cmd);
}

TEST_F(Runtime, DeallocIsSentThroughTheRuntime) {
    MSHookMessageEx(Base::cls(), "dealloc"_sel, replacedDealloc, &deallocSlot);
    long before = class_getLiveInstanceCount(Sub::cls());
    Sub* s = make<Sub>();
    EXPECT_EQ(class_getLiveInstanceCount(Sub::cls()), before + 1);
    objc_retain(s);
    objc_release(s);
    EXPECT_EQ(replacedDeallocs, 0);
    objc_release(s);
    EXPECT_EQ(replacedDeallocs, 1);  // inherited by Sub, reached through the send
    EXPECT_EQ(class_getLiveInstanceCount(Sub::cls()), before);
}

TEST_F(Runtime, AutoreleasePoolsDrainNewestFirst) {
    std::vector<std::string> log;
    deallocLog = &log;
    {
        AutoreleasePool outer;
        for (const char* n : {"a", "b"}) {
            Base* o = make<Base>();
            o->name = n;
            objc_msgSend<id()>(o, "autorelease"_sel);
        }
        {
            AutoreleasePool inner;
            Base* o = make<Base>();
            o->name = "inner";
            autorelease(o);
        }
        EXPECT_EQ(log, (std::vector<std::string>{"Base:inner"}));
        Base* c = make<Base>();
        c->name = "c";
        autorelease(c);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"Base:inner", "Base:c", "Base:b", "Base:a"}));
    deallocLog = nullptr;
}

TEST_F(Runtime, ExplicitPoolObjectDrains) {
    // NSAutoreleasePool is a Foundation class; the runtime's push and pop
    // behave the same for a pool whose owner forgot to drain an inner one.
    std::vector<std::string> log;
    deallocLog = &log;
    void* outer = objc_autoreleasePoolPush();
    Base* o = make<Base>();
    o->name = "x";
    autorelease(o);
    objc_autoreleasePoolPush();  // never popped by itself
    Base* p = make<Base>();
    p->name = "y";
    autorelease(p);
    objc_autoreleasePoolPop(outer);  // pops the inner pool too
    EXPECT_EQ(log, (std::vector<std::string>{"Base:y", "Base:x"}));
    deallocLog = nullptr;
}

TEST_F(Runtime, AnExceptionOutlivesThePoolsItLeaves) {
    long before = class_getLiveInstanceCount(NSException::cls());
    size_t poolsBefore = objc_autoreleasePoolCount();
    std::string caught;
    {
        AutoreleasePool outer;
        try {
            AutoreleasePool pool;
            Base* o = make<Base>();
            o->name = "made in the pool";
            autorelease(o);
            {
                AutoreleasePool inner;
                NSException::raise(NSGenericException, "thrown through two pools");
            }
        } catch (NSException* e) {
            EXPECT_EQ(class_getLiveInstanceCount(NSException::cls()), before + 1);
            caught = e->reasonString();
        }
        // Pools work as before after the exception.
        {
            AutoreleasePool after;
            autorelease(make<Base>());
        }
    }
    EXPECT_EQ(caught, "thrown through two pools");
    EXPECT_EQ(class_getLiveInstanceCount(NSException::cls()), before);  // the enclosing pool freed it
    EXPECT_EQ(objc_autoreleasePoolCount(), poolsBefore);
}

TEST_F(Runtime, StrongAndWeakReferences) {
    long before = class_getLiveInstanceCount(Base::cls());
    Weak<Base> weak;
    {
        Strong<Base> strong = Strong<Base>::adopt(make<Base>());
        weak = strong.get();
        Weak<Base> copy = weak;
        EXPECT_EQ(weak.get(), strong.get());
        EXPECT_EQ(copy.lock().get(), strong.get());
        Strong<Base> second = strong;
        EXPECT_EQ(objc_retainCount(strong), 2u);
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(weak.lock().get(), nullptr);
    EXPECT_EQ(class_getLiveInstanceCount(Base::cls()), before);
}

// Loader threads read weak references while other threads drop the last
// reference of the objects these name, round after round: a load answers the
// object or nil and never reads an object whose memory is going (the address
// sanitizer's build stops at the first read of freed memory).
TEST_F(Runtime, WeakLoadsRacingTheLastReleasesNeverReadFreedMemory) {
    constexpr int kSlots = 64, kDroppers = 4, kLoaders = 6, kRounds = 1500;
    long before = class_getLiveInstanceCount(Base::cls());
    std::array<id, kSlots> slots{};
    std::atomic<bool> done{false};
    std::atomic<long> loaded{0};
    std::vector<std::thread> loaders, droppers;
    for (int l = 0; l < kLoaders; ++l)
        loaders.emplace_back([&] {
            long seen = 0;
            while (!done.load(std::memory_order_relaxed))
                for (id& slot : slots)
                    if (objc_loadWeak(&slot) != nullptr) ++seen;
            loaded += seen;
        });
    for (int d = 0; d < kDroppers; ++d)
        droppers.emplace_back([&, d] {
            std::vector<Base*> objects;
            for (int round = 0; round < kRounds; ++round) {
                for (int k = d; k < kSlots; k += kDroppers) {
                    objects.push_back(make<Base>());
                    objc_storeWeak(&slots[k], objects.back());
                }
                for (Base* object : objects) objc_release(object);
                objects.clear();
            }
        });
    for (std::thread& t : droppers) t.join();
    done = true;
    for (std::thread& t : loaders) t.join();
    for (id& slot : slots) {
        EXPECT_EQ(objc_loadWeak(&slot), nil);
        objc_storeWeak(&slot, nullptr);
    }
    EXPECT_GT(loaded.load(), 0);
    EXPECT_EQ(class_getLiveInstanceCount(Base::cls()), before);
}

TEST_F(Runtime, BalancedRetainAndReleaseInsideDeallocDoNothing) {
    long before = class_getLiveInstanceCount(Dying::cls());
    int deallocs = 0;
    Dying* d = make<Dying>();
    d->inDealloc = [&](Dying* self) {
        ++deallocs;
        objc_retain(self);
        objc_release(self);
        Strong<Dying> held(self);  // as a notification posted with the object would
    };
    objc_release(d);
    EXPECT_EQ(deallocs, 1);
    EXPECT_EQ(class_getLiveInstanceCount(Dying::cls()), before);
}

TEST_F(Runtime, TeardownDestroysMembersThenAssociationsThenWeakReferences) {
    static const char kKey = 0;
    id weakRef = nullptr;
    std::vector<std::string> log;
    auto note = [&](const char* who) { log.push_back(std::string(who) + (weakRef ? ", weak set" : ", weak cleared")); };
    Dying* owner = make<Dying>();
    Dying* associated = make<Dying>();
    owner->probe.onDestroy = [&] { note("members"); };
    associated->probe.onDestroy = [&] { note("associated object"); };
    objc_setAssociatedObject(owner, &kKey, associated, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    objc_release(associated);
    objc_storeWeak(&weakRef, owner);
    objc_release(owner);
    EXPECT_EQ(log, (std::vector<std::string>{"members, weak set", "associated object, weak set"}));
    EXPECT_EQ(weakRef, nil);
}

TEST_F(Runtime, MisuseOfPoolsAndWeakReferencesIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            void* outer = objc_autoreleasePoolPush();
            void* inner = objc_autoreleasePoolPush();
            objc_autoreleasePoolPop(outer);
            objc_autoreleasePoolPop(inner);  // popped with its outer pool already
        },
        "autorelease pool .* is not open");
    EXPECT_DEATH(
        {
            void* pool = objc_autoreleasePoolPush();
            objc_autoreleasePoolPop(pool);
            objc_autoreleasePoolPush();  // a new pool is not the old one
            objc_autoreleasePoolPop(pool);
        },
        "autorelease pool .* is not open");
    EXPECT_DEATH(
        {
            Dying* d = make<Dying>();
            d->inDealloc = [](Dying* self) {
                id weakRef = nullptr;
                objc_storeWeak(&weakRef, self);
            };
            objc_release(d);
        },
        "weak reference to Dying .* being deallocated");
}

TEST_F(Runtime, AssociatedObjectsFollowTheirPolicyAndOwner) {
    static const char kRetained = 0, kAssigned = 0, kCopied = 0;
    long before = class_getLiveInstanceCount(Base::cls());
    Base* owner = make<Base>();
    Base* value = make<Base>();
    Base* assigned = make<Base>();
    NSBlock* block = nullptr;
    {
        AutoreleasePool pool;
        block = retain(objc_block<void()>([] {}));
    }
    objc_setAssociatedObject(owner, &kRetained, value, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    objc_setAssociatedObject(owner, &kAssigned, assigned, OBJC_ASSOCIATION_ASSIGN);
    objc_setAssociatedObject(owner, &kCopied, block, OBJC_ASSOCIATION_COPY_NONATOMIC);
    EXPECT_EQ(objc_retainCount(value), 2u);
    EXPECT_EQ(objc_retainCount(assigned), 1u);
    EXPECT_EQ(objc_retainCount(block), 2u);  // a block's copy retains it
    EXPECT_EQ(objc_getAssociatedObject(owner, &kRetained), value);
    EXPECT_EQ(objc_getAssociatedObject(owner, &kAssigned), assigned);

    // Keys are compared by address, not by content.
    static const char kOther = 0;
    EXPECT_EQ(objc_getAssociatedObject(owner, &kOther), nil);

    // Replacing releases the old value; nil removes.
    Base* value2 = make<Base>();
    objc_setAssociatedObject(owner, &kRetained, value2, OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(objc_retainCount(value), 1u);
    {
        AutoreleasePool pool;
        EXPECT_EQ(objc_getAssociatedObject(owner, &kRetained), value2);  // atomic read: retained and autoreleased
        EXPECT_EQ(objc_retainCount(value2), 3u);
    }
    EXPECT_EQ(objc_retainCount(value2), 2u);

    objc_release(owner);  // everything goes with the owner
    EXPECT_EQ(objc_retainCount(value2), 1u);
    EXPECT_EQ(objc_retainCount(block), 1u);
    objc_release(value);
    objc_release(value2);
    objc_release(assigned);
    objc_release(block);
    EXPECT_EQ(class_getLiveInstanceCount(Base::cls()), before);
}

TEST_F(Runtime, BlocksAreObjectsThatAnswerInvoke) {
    int runs = 0;
    AutoreleasePool pool;
    NSBlock* b = objc_block<void()>([&] { ++runs; });
    objc_msgSend<void()>(b, "invoke"_sel);
    EXPECT_TRUE(objc_sendAction(b, "invoke"_sel, nullptr, nullptr));
    EXPECT_EQ(runs, 2);
    NSBlock* adder = objc_block<int(int, int)>([](int a, int b2) { return a + b2; });
    EXPECT_EQ(objc_callBlock<int(int, int)>(adder, 2, 3), 5);
    EXPECT_THROW(objc_callBlock<void()>(adder), objc::BadSignature);
    EXPECT_THROW(objc_msgSend<void()>(adder, "invoke"_sel), objc::BadSignature);
    EXPECT_EQ(objc_callBlock<int(int, int)>(nullptr, 1, 1), 0);
}

// --- ivars -------------------------------------------------------------------

TEST_F(Runtime, IvarsByNameThroughSuperclasses) {
    Strong<SubSub> obj = Strong<SubSub>::adopt(make<SubSub>());
    obj->value = 9;
    EXPECT_NE(class_getInstanceVariable(SubSub::cls(), "value"), nullptr);  // declared on Base
    EXPECT_EQ(class_getInstanceVariable(SubSub::cls(), "missing"), nullptr);
    EXPECT_EQ(MSHookIvar<long>(obj, "value"), 9);
    MSHookIvar<long>(obj, "value") = 11;
    EXPECT_EQ(obj->value, 11);
    MSHookIvar<double>(obj, "ratio") = 2.5;
    EXPECT_EQ(obj->ratio, 2.5);

    Strong<Base> ref = Strong<Base>::adopt(make<Base>());
    MSHookIvar<NSObject*>(obj, "plainRef") = ref.get();
    EXPECT_EQ(MSHookIvar<id>(obj, "plainRef"), ref.get());  // id reads any object ivar

    Ivar iv = class_getInstanceVariable(Base::cls(), "value");
    EXPECT_STREQ(ivar_getName(iv), "value");
    EXPECT_EQ(*reinterpret_cast<long*>(reinterpret_cast<char*>(obj.get()) + ivar_getOffset(iv)), 11);

    EXPECT_THROW(MSHookIvar<long>(obj, "missing"), NSException*);
    EXPECT_THROW(MSHookIvar<int>(obj, "value"), NSException*);  // another type
    EXPECT_EQ(objc_ivarPointer<long>(obj, "missing"), nullptr);
    EXPECT_EQ(objc_ivarPointer<int>(obj, "value"), nullptr);
    EXPECT_EQ(objc_ivarPointer<long>(nullptr, "value"), nullptr);

    unsigned count = 0;
    Ivar* list = class_copyIvarList(Base::cls(), &count);
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(ivar_getName(list[0]), "value");
    EXPECT_STREQ(ivar_getTypeEncoding(list[1]), "@");
    std::free(list);
    EXPECT_EQ(class_copyIvarList(Sibling::cls(), &count), nullptr);  // superclasses not included
    EXPECT_EQ(count, 0u);
}

struct Holder : NSObject {
    OBJC_CLASS(Holder)
    Strong<Base> owned;
    Base* plain = nullptr;
    long number = 0;
};

TEST_F(Runtime, PropertiesOwnWhatTheyAreSetToOrNot) {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Holder>("Holder", NSObject::cls())
            .property<&Holder::owned>("owned")
            .property<&Holder::plain>("plain")
            .property<&Holder::number>("number", true);
    });
    Strong<Holder> h = Strong<Holder>::adopt(make<Holder>());
    Strong<Base> a = Strong<Base>::adopt(make<Base>());
    Strong<Base> b = Strong<Base>::adopt(make<Base>());
    objc_msgSend<void(id)>(h, "setOwned:"_sel, a.get());
    objc_msgSend<void(id)>(h, "setPlain:"_sel, b.get());
    EXPECT_EQ(objc_retainCount(a), 2u);
    EXPECT_EQ(objc_retainCount(b), 1u);
    EXPECT_EQ(objc_msgSend<id()>(h, "owned"_sel), a.get());
    EXPECT_EQ(objc_msgSend<id()>(h, "plain"_sel), b.get());
    objc_msgSend<void(id)>(h, "setOwned:"_sel, b.get());  // the old value is let go
    EXPECT_EQ(objc_retainCount(a), 1u);
    EXPECT_FALSE(objc_msgSend<BOOL(SEL)>(h, "respondsToSelector:"_sel, "setNumber:"_sel));  // read-only
    h = nil;
    EXPECT_EQ(objc_retainCount(b), 1u);
}

// --- runtime-only classes and threads ----------------------------------------

TEST_F(Runtime, RuntimeOnlySubclassesUseTheirSuperclassType) {
    OWN_PROCESS();  // registers DynamicBase
    Class dyn = objc_allocateClassPair(Base::cls(), "DynamicBase", 0);
    ASSERT_NE(dyn, nullptr);
    EXPECT_EQ(objc_getClass("DynamicBase"), nullptr);  // not yet registered
    objc_registerClassPair(dyn);
    EXPECT_EQ(objc_getClass("DynamicBase"), dyn);
    EXPECT_EQ(objc_allocateClassPair(Base::cls(), "DynamicBase", 0), nullptr);  // name taken
    id obj = objc_msgSend<id()>(objc_msgSend<id()>(dyn, "alloc"_sel), "init"_sel);
    EXPECT_EQ(number(obj), 1);
    EXPECT_EQ(class_getLiveInstanceCount(dyn), 1);
    objc_release(obj);
    EXPECT_EQ(class_getLiveInstanceCount(dyn), 0);
}

Slot<NSInteger(Base*, SEL)> threadSlot;
NSInteger threadHook(Base* self, SEL cmd) { return threadSlot(self, cmd); }

TEST_F(Runtime, SendsFromSeveralThreadsWhileAnotherClassIsHooked) {
    OWN_PROCESS();  // needs the family's own numbers
    std::atomic<bool> stop{false};
    std::atomic<long> wrong{0}, sends{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t) {
        senders.emplace_back([&] {
            AutoreleasePool pool;
            Strong<Sibling> sib = Strong<Sibling>::adopt(make<Sibling>());
            Strong<SubSub> ss = Strong<SubSub>::adopt(make<SubSub>());
            while (!stop.load()) {
                if (number(sib) != 1) ++wrong;
                if (number(ss) != 3) ++wrong;
                sends += 2;
            }
        });
    }
    // Each installation flushes every cache while the senders run.
    for (int i = 0; i < 200; ++i) {
        std::string name = "Hooked" + std::to_string(i);
        Class c = objc_allocateClassPair(Sub::cls(), name.c_str(), 0);
        objc_registerClassPair(c);
        MSHookMessageEx(c, "number"_sel, threadHook, &threadSlot);
        class_addMethod(c, sel_registerName(("extra" + std::to_string(i)).c_str()), addedNumber, "q@:");
    }
    while (sends.load() < 10000) std::this_thread::yield();
    stop = true;
    for (auto& t : senders) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
