// CoreFoundation's methods on the root class: delayed performs on the main run
// loop.
#include "../Registration.h"

#include <objc/NSObject.h>
#include <objc/runtime.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {
namespace {

// A pending performSelector:withObject:afterDelay:. It owns a reference to
// the target and the object until it fires or is cancelled.
struct PerformRequest {
    id target;
    SEL selector;
    id object;
    RunLoop::TimerId timer;
};

std::mutex performLock;
std::vector<PerformRequest>& performRequests() {
    static auto* requests = new std::vector<PerformRequest>();
    return *requests;
}

void releaseRequest(const PerformRequest& r) {
    objc_release(r.object);
    objc_release(r.target);
}

// Takes the request out of the list; false when a cancel got there first.
bool takeRequest(const std::shared_ptr<RunLoop::TimerId>& timerOf, PerformRequest& out) {
    std::lock_guard<std::mutex> g(performLock);
    RunLoop::TimerId timer = *timerOf;
    auto& list = performRequests();
    auto it = std::find_if(list.begin(), list.end(), [&](const PerformRequest& r) { return r.timer == timer; });
    if (it == list.end()) return false;
    out = *it;
    list.erase(it);
    return true;
}

void fire(const std::shared_ptr<RunLoop::TimerId>& timerOf) {
    PerformRequest r;
    if (!takeRequest(timerOf, r)) return;
    struct Release {
        const PerformRequest& r;
        ~Release() { releaseRequest(r); }
    } release{r};
    // The method gets the object, or nothing when it takes no argument (the
    // platform ignores the extra argument); what it returns is dropped. A
    // method that takes anything else raises objc::BadSignature.
    IMP imp = class_getMethodImplementation(object_getClass(r.target), r.selector);
    if (!imp) objc::unrecognized_selector(r.target, r.selector);
    if (!imp.ops || !imp.ops->call_dropping_result(imp, r.target, r.selector, r.object))
        throw objc::BadSignature(std::string("-[") + object_getClassName(r.target) + " " + sel_getName(r.selector) +
                                 "] performed after a delay takes other arguments than one object; it is " +
                                 imp.sig->name());
}

// On the run loop of the calling thread; a thread other than the main one
// has a run loop that never runs, so nothing is kept for it.
void performAfterDelay(objc_object* self, SEL, SEL selector, id object, double delay) {
    if (!RunLoop::main().isLoopThread()) return;
    objc_retain(self);
    objc_retain(object);
    std::lock_guard<std::mutex> g(performLock);
    // The timer may fire on the main thread at once, but fire() reads its
    // id and looks for the request under the same lock.
    auto timerOf = std::make_shared<RunLoop::TimerId>(0);
    *timerOf = RunLoop::main().addTimer(Clock::now() + std::max(0.0, delay), [timerOf] { fire(timerOf); });
    performRequests().push_back(PerformRequest{self, selector, object, *timerOf});
}

bool sameObject(id a, id b) { return a == b || (a != nullptr && objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b)); }

// Cancels the target's requests that match (a null selector matches all);
// objects are compared with isEqual:, outside the lock, since that may run
// code that performs again.
void cancelRequests(id target, SEL selector, id object, bool matchObject) {
    std::vector<PerformRequest> candidates;
    {
        std::lock_guard<std::mutex> g(performLock);
        for (const PerformRequest& r : performRequests())
            if (r.target == target && (!selector || r.selector == selector)) candidates.push_back(r);
        for (const PerformRequest& r : candidates) objc_retain(r.object);
    }
    std::vector<RunLoop::TimerId> matching;
    for (const PerformRequest& r : candidates) {
        if (!matchObject || sameObject(r.object, object)) matching.push_back(r.timer);
        objc_release(r.object);
    }
    std::vector<PerformRequest> cancelled;
    {
        std::lock_guard<std::mutex> g(performLock);
        auto& list = performRequests();
        for (auto it = list.begin(); it != list.end();) {
            bool match = std::find(matching.begin(), matching.end(), it->timer) != matching.end();
            if (match && RunLoop::main().cancelTimer(it->timer)) {
                cancelled.push_back(*it);
                it = list.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const PerformRequest& r : cancelled) releaseRequest(r);
}

void cancelWithTarget(objc_class*, SEL, id target) { cancelRequests(target, nullptr, nullptr, false); }
void cancelWithTargetSelectorObject(objc_class*, SEL, id target, SEL selector, id object) {
    cancelRequests(target, selector, object, true);
}

}  // namespace

void registerCoreFoundation() {
    objc::define_method(NSObject::cls(), "performSelector:withObject:afterDelay:"_sel,
                        imp_implementationWithFunction(&performAfterDelay), "v@::@d");
    objc::define_method(NSObject::cls()->isa, "cancelPreviousPerformRequestsWithTarget:"_sel,
                        imp_implementationWithFunction(&cancelWithTarget), "v@:@");
    objc::define_method(NSObject::cls()->isa, "cancelPreviousPerformRequestsWithTarget:selector:object:"_sel,
                        imp_implementationWithFunction(&cancelWithTargetSelectorObject), "v@:@:@");
}

}  // namespace platform
