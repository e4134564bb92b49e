// NSNotification and NSNotificationCenter.
#include <Foundation/NSDictionary.h>
#include <Foundation/NSException.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSString.h>

#include "Internal.h"

#include <atomic>

using platform::foundation::allocate;

namespace {
Strong<NSString> copyName(NSString* name) {
    return Strong<NSString>::adopt(static_cast<NSString*>(objc_msgSend<id()>(name, "copy"_sel)));
}
}  // namespace

struct NSNotificationCenter::Observation {
    Weak<objc_object> observer;
    id observerAddress;  // for removal; the observer may be gone already
    SEL selector;
    Strong<NSString> name;   // nil: every name
    uintptr_t object;        // 0: every sender
    std::atomic<bool> removed{false};

    bool matches(NSString* noteName, id sender) const {
        if (name && (noteName == nullptr || !name->isEqualToString(noteName))) return false;
        return object == 0 || object == reinterpret_cast<uintptr_t>(sender);
    }
};

NSNotification* NSNotification::make(NSString* name, id object, NSDictionary* userInfo) {
    if (name == nullptr) NSException::raise(NSInvalidArgumentException, "NSNotification needs a name");
    auto* n = allocate<NSNotification>(cls());
    n->name_ = copyName(name);
    n->object_ = object;
    n->userInfo_ = userInfo;
    return autorelease(n);
}

NSNotificationCenter* NSNotificationCenter::defaultCenter() {
    static NSNotificationCenter* const center = allocate<NSNotificationCenter>(cls());
    return center;
}

void NSNotificationCenter::addObserver(id observer, SEL selector, NSString* name, id object) {
    if (observer == nullptr || selector == nullptr)
        NSException::raise(NSInvalidArgumentException, "-[NSNotificationCenter addObserver:selector:name:object:]: nil observer or selector");
    auto obs = std::make_shared<Observation>();
    obs->observer = observer;
    obs->observerAddress = observer;
    obs->selector = selector;
    if (name) obs->name = copyName(name);
    obs->object = reinterpret_cast<uintptr_t>(object);
    std::lock_guard<std::mutex> g(lock_);
    observations_.push_back(std::move(obs));
}

void NSNotificationCenter::removeObserver(id observer, NSString* name, id object) {
    if (observer == nullptr) return;
    std::vector<std::shared_ptr<Observation>> removed;  // released outside the lock
    std::lock_guard<std::mutex> g(lock_);
    std::vector<std::shared_ptr<Observation>> kept;
    for (auto& obs : observations_) {
        bool hit = obs->observerAddress == observer && (name == nullptr || (obs->name && obs->name->isEqualToString(name))) &&
                   (object == nullptr || obs->object == reinterpret_cast<uintptr_t>(object));
        if (hit) obs->removed = true;
        (hit ? removed : kept).push_back(std::move(obs));
    }
    observations_ = std::move(kept);
}

void NSNotificationCenter::postNotification(NSNotification* note) {
    if (note == nullptr) NSException::raise(NSInvalidArgumentException, "-[NSNotificationCenter postNotification:]: nil notification");
    Strong<NSNotification> keep(note);
    std::vector<std::shared_ptr<Observation>> targets;
    {
        std::lock_guard<std::mutex> g(lock_);
        std::erase_if(observations_, [](const auto& obs) { return obs->observer.expired(); });
        for (const auto& obs : observations_)
            if (obs->matches(note->name_.get(), note->object_.get())) targets.push_back(obs);
    }
    for (const auto& obs : targets) {
        if (obs->removed) continue;
        Strong<objc_object> observer = obs->observer.lock();
        if (!observer) continue;
        objc_msgSend<void(id)>(observer.get(), obs->selector, note);
    }
}

void NSNotificationCenter::post(NSString* name, id object, NSDictionary* userInfo) {
    postNotification(NSNotification::make(name, object, userInfo));
}

size_t NSNotificationCenter::observationCount() {
    std::lock_guard<std::mutex> g(lock_);
    size_t n = 0;
    for (const auto& obs : observations_)
        if (!obs->observer.expired()) ++n;
    return n;
}

namespace {

id notificationWithName(objc_class*, SEL, NSString* name, id object, NSDictionary* userInfo) {
    return NSNotification::make(name, object, userInfo);
}
id notificationWithNameObject(objc_class*, SEL, NSString* name, id object) {
    return NSNotification::make(name, object, nullptr);
}
NSString* name(NSNotification* self, SEL) { return self->name_; }
id object(NSNotification* self, SEL) { return self->object_; }
NSDictionary* userInfo(NSNotification* self, SEL) { return self->userInfo_; }
NSString* noteDescription(NSNotification* self, SEL) {
    return NSStringWithFormat("NSNotification %p {name = %@; object = %@}", self, self->name_, self->object_);
}

id defaultCenter(objc_class*, SEL) { return NSNotificationCenter::defaultCenter(); }
void addObserver(NSNotificationCenter* self, SEL, id observer, SEL selector, NSString* name, id object) {
    self->addObserver(observer, selector, name, object);
}
void removeObserver(NSNotificationCenter* self, SEL, id observer) { self->removeObserver(observer); }
void removeObserverNamed(NSNotificationCenter* self, SEL, id observer, NSString* name, id object) {
    self->removeObserver(observer, name, object);
}
void postNotification(NSNotificationCenter* self, SEL, NSNotification* note) { self->postNotification(note); }
void postNamed(NSNotificationCenter* self, SEL, NSString* name, id object) { self->post(name, object); }
void postNamedWithInfo(NSNotificationCenter* self, SEL, NSString* name, id object, NSDictionary* userInfo) {
    self->post(name, object, userInfo);
}

}  // namespace

void platform::foundation::registerNotifications() {
    objc::ClassDef<NSNotification>("NSNotification", NSObject::cls())
        .classMethod<notificationWithName>("notificationWithName:object:userInfo:")
        .classMethod<notificationWithNameObject>("notificationWithName:object:")
        .method<name>("name")
        .method<object>("object")
        .method<userInfo>("userInfo")
        .method<noteDescription>("description");
    objc::ClassDef<NSNotificationCenter>("NSNotificationCenter", NSObject::cls())
        .classMethod<defaultCenter>("defaultCenter")
        .method<addObserver>("addObserver:selector:name:object:")
        .method<removeObserver>("removeObserver:")
        .method<removeObserverNamed>("removeObserver:name:object:")
        .method<postNotification>("postNotification:")
        .method<postNamed>("postNotificationName:object:")
        .method<postNamedWithInfo>("postNotificationName:object:userInfo:");
}
