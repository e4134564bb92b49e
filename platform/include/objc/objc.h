// Core types of the object runtime: objects, classes, selectors, typed
// implementations.
//
// Every runtime object is a C++ object derived from objc_object. Its runtime
// class (isa) decides how messages are answered; its C++ type holds the
// instance variables. C++ classes mirror runtime classes one to one
// (struct UITableView : UIScrollView is registered as "UITableView" with the
// superclass "UIScrollView"), so a static_cast between them is valid.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <typeinfo>

struct objc_object;
struct objc_class;
struct objc_selector;
struct objc_ivar;
struct objc_method;

using id = objc_object*;
using Class = objc_class*;
using SEL = const objc_selector*;
using Ivar = const objc_ivar*;
using Method = objc_method*;
using BOOL = bool;
using NSInteger = long;
using NSUInteger = unsigned long;

inline constexpr BOOL YES = true;
inline constexpr BOOL NO = false;
inline constexpr std::nullptr_t nil = nullptr;

// A root object. Runtime objects are created by alloc (class_createInstance)
// and destroyed by the root dealloc, never by C++ new/delete directly.
struct objc_object {
    Class isa = nullptr;

    objc_object() = default;
    objc_object(const objc_object&) = delete;
    objc_object& operator=(const objc_object&) = delete;
    virtual ~objc_object() = default;

    // Reference count and flag bits; see runtime.cpp.
    std::atomic<uint64_t> rc_{1};
    std::atomic<uint32_t> flags_{0};
};

namespace objc {

// Signatures are compared after every pointer to a runtime object has been
// turned into id: a method declared NSArray*(UITableView*, SEL, NSIndexPath*)
// answers a send stated as id(id) or NSArray*(NSIndexPath*) alike.
template <class T>
struct Norm {
    using type = T;
};
template <class T>
concept RuntimeObject = requires { sizeof(T); } && std::is_base_of_v<objc_object, std::remove_cv_t<T>>;

template <class T>
    requires RuntimeObject<T>
struct Norm<T*> {
    using type = id;
};
template <class T>
using norm_t = typename Norm<T>::type;

template <class T>
inline constexpr bool is_object_ptr_v = std::is_pointer_v<T> && RuntimeObject<std::remove_pointer_t<T>>;

// Turns a normalised value back into the declared type.
template <class T>
inline T denorm(norm_t<T> v) {
    if constexpr (is_object_ptr_v<T>) {
        return static_cast<T>(v);
    } else {
        return v;
    }
}

}  // namespace objc

namespace objc {
struct imp_ops;
}

// A typed method implementation. `fn` is the function as written (its self
// parameter may be any runtime object type); `invoke` is a trampoline of the
// normalised signature NormR(void(*)(), id, SEL, NormA...) that casts the
// arguments back and calls `fn`; `sig` names the normalised R(A...); `ops`
// are the runtime's helpers for that signature.
struct objc_imp {
    void (*fn)() = nullptr;
    void (*invoke)() = nullptr;
    const std::type_info* sig = nullptr;
    const objc::imp_ops* ops = nullptr;

    explicit operator bool() const { return fn != nullptr; }
    friend bool operator==(const objc_imp& a, const objc_imp& b) { return a.fn == b.fn && a.invoke == b.invoke; }
};
using IMP = objc_imp;

namespace objc {

template <class R, class S, class... A>
norm_t<R> trampoline(void (*fn)(), id self, SEL cmd, norm_t<A>... args) {
    auto f = reinterpret_cast<R (*)(S*, SEL, A...)>(fn);
    if constexpr (std::is_void_v<R>) {
        f(static_cast<S*>(self), cmd, denorm<A>(args)...);
    } else {
        return f(static_cast<S*>(self), cmd, denorm<A>(args)...);
    }
}

template <class R, class... A>
const std::type_info& signature() {
    return typeid(norm_t<R>(norm_t<A>...));
}

// Same signature? Pointer identity first; type_info names where two shared
// objects carry their own copy.
inline bool same_signature(const std::type_info* a, const std::type_info& b) { return a == &b || *a == b; }

// What a replacement of an inherited method calls through to: the method
// `sel` as the superclass of `cls` answers it at the time of the call.
struct super_target {
    Class cls;
    SEL sel;
};
// The superclass's implementation of `target` for `self`; raises when there
// is none or it has another signature than `want`.
objc_imp super_implementation(const super_target* target, id self, const std::type_info& want);

// Helpers for the implementations of one normalised signature R(A...).
struct imp_ops {
    // An invoke trampoline of this signature whose `fn` is a super_target*:
    // it calls the superclass's implementation found at each call.
    void (*call_super)();
    // Calls the implementation with `object` when it takes one object, with
    // nothing when it takes no argument, and drops what it returns; false,
    // with nothing called, when it takes anything else.
    bool (*call_dropping_result)(const objc_imp& imp, id self, SEL sel, id object);
};

template <class R, class... A>
R call_super(void (*fn)(), id self, SEL, A... args) {
    const auto* target = reinterpret_cast<const super_target*>(reinterpret_cast<uintptr_t>(fn));
    objc_imp imp = super_implementation(target, self, typeid(R(A...)));
    return reinterpret_cast<R (*)(void (*)(), id, SEL, A...)>(imp.invoke)(imp.fn, self, target->sel, args...);
}

template <class R, class... A>
bool call_dropping_result(const objc_imp& imp, id self, SEL sel, id object) {
    auto invoke = reinterpret_cast<R (*)(void (*)(), id, SEL, A...)>(imp.invoke);
    if constexpr (sizeof...(A) == 0) {
        invoke(imp.fn, self, sel);
        return true;
    } else if constexpr (sizeof...(A) == 1 && (std::is_same_v<A, id> && ...)) {
        invoke(imp.fn, self, sel, object);
        return true;
    } else {
        return false;
    }
}

// R and A normalised.
template <class R, class... A>
const imp_ops* ops_for() {
    static const imp_ops ops{reinterpret_cast<void (*)()>(&call_super<R, A...>), &call_dropping_result<R, A...>};
    return &ops;
}

}  // namespace objc

// Wraps a function R f(Self*, SEL, Args...) as an implementation.
template <class R, class S, class... A>
    requires std::is_base_of_v<objc_object, S>
IMP imp_implementationWithFunction(R (*f)(S*, SEL, A...)) {
    IMP imp;
    imp.fn = reinterpret_cast<void (*)()>(f);
    imp.invoke = reinterpret_cast<void (*)()>(&objc::trampoline<R, S, A...>);
    imp.sig = &objc::signature<R, A...>();
    imp.ops = objc::ops_for<objc::norm_t<R>, objc::norm_t<A>...>();
    return imp;
}
