// A cached message send against a C++ virtual call, and a send through a
// replaced method that calls through against a plain send.
#include <benchmark/benchmark.h>

#include <objc/NSObject.h>

#include <mutex>

namespace {

struct Virtual {
    virtual ~Virtual() = default;
    virtual long number(long x) = 0;
};
struct VirtualImpl : Virtual {
    __attribute__((noinline)) long number(long x) override { return x + 1; }
};

struct Counter : NSObject {
    OBJC_CLASS(Counter)
};
struct Hooked : NSObject {
    OBJC_CLASS(Hooked)
};

NSInteger counterNumber(Counter*, SEL, NSInteger x) { return x + 1; }
NSInteger hookedNumber(Hooked*, SEL, NSInteger x) { return x + 1; }

Slot<NSInteger(Hooked*, SEL, NSInteger)> original;
NSInteger replacement(Hooked* self, SEL cmd, NSInteger x) { return original(self, cmd, x); }

void setUp() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Counter>("Counter", NSObject::cls()).method<counterNumber>("number:");
        objc::ClassDef<Hooked>("Hooked", NSObject::cls()).method<hookedNumber>("number:");
        MSHookMessageEx(Hooked::cls(), "number:"_sel, replacement, &original);
    });
}

void BM_VirtualCall(benchmark::State& state) {
    Virtual* v = new VirtualImpl();
    benchmark::DoNotOptimize(v);
    long x = 0;
    for (auto _ : state) {
        x = v->number(x);
        benchmark::DoNotOptimize(x);
    }
    delete v;
}
BENCHMARK(BM_VirtualCall);

// Sends number: to a new instance of the class in a loop.
void sendLoop(benchmark::State& state, const char* className) {
    setUp();
    id obj = objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass(className), "alloc"_sel), "init"_sel);
    SEL sel = "number:"_sel;
    NSInteger x = 0;
    for (auto _ : state) {
        x = objc_msgSend<NSInteger(NSInteger)>(obj, sel, x);
        benchmark::DoNotOptimize(x);
    }
    objc_release(obj);
}

void BM_MessageSend(benchmark::State& state) { sendLoop(state, "Counter"); }
BENCHMARK(BM_MessageSend);

void BM_ReplacedSendCallingThrough(benchmark::State& state) { sendLoop(state, "Hooked"); }
BENCHMARK(BM_ReplacedSendCallingThrough);

}  // namespace
