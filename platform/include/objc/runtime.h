// The object runtime: classes by name, selectors, method tables with a
// per-class cache, typed message sends, method replacement, added methods,
// instance variables by name, reference counting, autorelease pools, weak
// references and associated objects.
#pragma once

#include <objc/objc.h>

#include <cstdlib>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// ---------------------------------------------------------------------------
// Classes and the method cache (the cache layout is public for the inline
// send path only; nothing else may touch it).

struct objc_cache_entry {
    SEL sel;
    IMP imp;  // imp.fn == nullptr: the class does not answer sel
};

struct objc_cache {
    size_t mask;
    size_t used;
    std::atomic<const objc_cache_entry*>* buckets;
};

struct objc_class_data;

struct objc_class : objc_object {
    std::atomic<objc_cache*> cache;
    objc_class_data* data;
};

namespace objc {
inline size_t selector_hash(SEL sel) {
    auto v = reinterpret_cast<uintptr_t>(sel);
    return (v >> 4) ^ (v >> 13);
}

inline const objc_cache_entry* cache_find(Class cls, SEL sel) {
    objc_cache* c = cls->cache.load(std::memory_order_acquire);
    size_t i = selector_hash(sel) & c->mask;
    for (;;) {
        const objc_cache_entry* e = c->buckets[i].load(std::memory_order_acquire);
        if (e == nullptr || e->sel == sel) return e;
        i = (i + 1) & c->mask;
    }
}

// A send stated with a prototype that the method does not have.
struct BadSignature : std::logic_error {
    using std::logic_error::logic_error;
};

// Fills the cache on a miss; never returns nullptr (a negative entry instead).
const objc_cache_entry* lookup_slow(Class cls, SEL sel);
[[noreturn]] void unrecognized_selector(id self, SEL sel);
[[noreturn]] void bad_signature(id self, SEL sel, const std::type_info* have, const std::type_info& want);

inline const objc_cache_entry* lookup(Class cls, SEL sel) {
    const objc_cache_entry* e = cache_find(cls, sel);
    return e ? e : lookup_slow(cls, sel);
}

template <class R>
inline R zero() {
    if constexpr (!std::is_void_v<R>) return R{};
}

template <class F>
struct Call;
template <class R, class... A>
struct Call<R(A...)> {
    using Invoke = norm_t<R> (*)(void (*)(), id, SEL, norm_t<A>...);

    static R run(const IMP& imp, id self, SEL sel, A... args) {
        if (!same_signature(imp.sig, signature<R, A...>())) bad_signature(self, sel, imp.sig, signature<R, A...>());
        auto inv = reinterpret_cast<Invoke>(imp.invoke);
        if constexpr (std::is_void_v<R>) {
            inv(imp.fn, self, sel, static_cast<norm_t<A>>(args)...);
        } else {
            return denorm<R>(inv(imp.fn, self, sel, static_cast<norm_t<A>>(args)...));
        }
    }

    static R send(id self, SEL sel, A... args) {
        if (self == nullptr) return zero<R>();
        const objc_cache_entry* e = lookup(self->isa, sel);
        if (!e->imp) unrecognized_selector(self, sel);
        return run(e->imp, self, sel, args...);
    }

    static R send_super(id self, Class cls, SEL sel, A... args);
};
}  // namespace objc

// ---------------------------------------------------------------------------
// Selectors.

SEL sel_registerName(const char* name);
const char* sel_getName(SEL sel);
inline bool sel_isEqual(SEL a, SEL b) { return a == b; }

namespace objc {
// A string literal as a template argument (for per-spelling constants).
template <size_t N>
struct Literal {
    char chars[N];
    constexpr Literal(const char (&s)[N]) {
        for (size_t i = 0; i < N; ++i) chars[i] = s[i];
    }
};
}  // namespace objc

// "tableView:cellForRowAtIndexPath:"_sel is interned once per spelling.
template <objc::Literal S>
SEL operator""_sel() {
    static SEL const sel = sel_registerName(S.chars);
    return sel;
}

// ---------------------------------------------------------------------------
// Message sends. The prototype is stated at the call site:
//   objc_msgSend<NSArray*(NSIndexPath*)>(tableView, "_swipe…:"_sel, path)
// A message to nil runs nothing and returns a zero value. An unknown selector
// raises NSInvalidArgumentException; a prototype the method does not have
// raises objc::BadSignature.

template <class F, class... X>
inline auto objc_msgSend(id self, SEL sel, X&&... args) {
    return objc::Call<F>::send(self, sel, std::forward<X>(args)...);
}

// Starts the lookup at the superclass of `cls` (the class whose method is
// running), as [super …] does.
template <class F, class... X>
inline auto objc_msgSendSuper(id self, Class cls, SEL sel, X&&... args) {
    return objc::Call<F>::send_super(self, cls, sel, std::forward<X>(args)...);
}

// Calls an implementation directly with a stated prototype.
template <class F, class... X>
inline auto imp_call(const IMP& imp, id self, SEL sel, X&&... args) {
    return objc::Call<F>::run(imp, self, sel, std::forward<X>(args)...);
}

// ---------------------------------------------------------------------------
// Classes.

Class objc_getClass(const char* name);  // nil when absent
Class objc_lookUpClass(const char* name);
const char* class_getName(Class cls);
Class class_getSuperclass(Class cls);
BOOL class_isMetaClass(Class cls);
Class object_getClass(id obj);
const char* object_getClassName(id obj);
std::vector<Class> objc_copyClassList();

// Runtime-only subclasses (their instances are of the superclass's C++ type).
Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
void objc_registerClassPair(Class cls);

// Takes a registered class out of name lookup (objc_getClass and
// NSClassFromString answer nil) or puts it back; the class itself and its
// objects stay valid. For stand-ins of classes a platform may lack.
void objc_setClassHidden(Class cls, BOOL hidden);

id class_createInstance(Class cls, size_t extraBytes = 0);

// Number of live instances whose class is exactly `cls`.
long class_getLiveInstanceCount(Class cls);

// ---------------------------------------------------------------------------
// Methods.

struct objc_method_description_record {
    const char* name;
    const char* types;
};

Method class_getInstanceMethod(Class cls, SEL sel);  // searches superclasses
Method class_getClassMethod(Class cls, SEL sel);
IMP class_getMethodImplementation(Class cls, SEL sel);  // empty IMP when absent
BOOL class_respondsToSelector(Class cls, SEL sel);
BOOL class_ownsMethod(Class cls, SEL sel);  // defined on cls itself
SEL method_getName(Method m);
IMP method_getImplementation(Method m);
const char* method_getTypeEncoding(Method m);
IMP method_setImplementation(Method m, IMP imp);

// Adds a method the class does not own itself (an inherited one is
// overridden). NO, with nothing changed, for a nil class or an owned selector.
// The type string is stored as given and never decides how a call is made.
BOOL class_addMethod(Class cls, SEL sel, IMP imp, const char* types);
template <class R, class S, class... A>
BOOL class_addMethod(Class cls, SEL sel, R (*f)(S*, SEL, A...), const char* types) {
    return class_addMethod(cls, sel, imp_implementationWithFunction(f), types);
}

// Entries installed through MSHookMessageEx and class_addMethod, in order.
struct objc_installation {
    std::string className;
    std::string selector;
    char kind;  // 'R' replaced, 'A' added
};
std::vector<objc_installation> objc_copyInstallationLog();

// ---------------------------------------------------------------------------
// Method replacement.

// The replaced implementation of a hooked method, callable with the
// replacement's own prototype.
template <class F>
class Slot;
template <class R, class S, class... A>
class Slot<R(S*, SEL, A...)> {
public:
    IMP imp;

    explicit operator bool() const { return static_cast<bool>(imp); }
    R operator()(S* self, SEL cmd, A... args) const {
        if (!imp) throw objc::BadSignature(std::string("call through an empty slot for ") + sel_getName(cmd));
        return objc::Call<R(A...)>::run(imp, self, cmd, args...);
    }
};

// Nil class, or a selector that neither the class nor its superclasses have:
// nothing happens and *result stays as it was. A method owned by the class is
// swapped and the old implementation stored in *result; an inherited one gets
// an override on this class and *result calls, at each call, what the
// superclass answers then (so a later replacement there is not skipped).
// A replacement whose prototype differs from the method's raises
// objc::BadSignature.
void MSHookMessageEx(Class cls, SEL sel, IMP replacement, IMP* result);

template <class R, class S, class... A>
void MSHookMessageEx(Class cls, SEL sel, R (*replacement)(S*, SEL, A...), Slot<R(S*, SEL, A...)>* slot) {
    MSHookMessageEx(cls, sel, imp_implementationWithFunction(replacement), slot ? &slot->imp : nullptr);
}

// ---------------------------------------------------------------------------
// Instance variables.

struct objc_ivar {
    std::string name;
    std::ptrdiff_t offset;
    const std::type_info* type;
    std::string typeEncoding;
    bool isObject;
};

Ivar class_getInstanceVariable(Class cls, const char* name);  // searches superclasses
Ivar* class_copyIvarList(Class cls, unsigned* outCount);     // own ivars only; free() the list
const char* ivar_getName(Ivar ivar);
std::ptrdiff_t ivar_getOffset(Ivar ivar);
const char* ivar_getTypeEncoding(Ivar ivar);

namespace objc {
[[noreturn]] void bad_ivar(id obj, const char* name, const char* problem);

template <class T>
bool ivar_accepts(Ivar iv) {
    if (*iv->type == typeid(T)) return true;
    return iv->isObject && std::is_same_v<T, id>;
}
}  // namespace objc

// Non-throwing: the address of the named variable of the receiver's class
// (superclasses included), or nullptr when it is absent or of another type.
template <class T>
T* objc_ivarPointer(id obj, const char* name) {
    if (obj == nullptr) return nullptr;
    Ivar iv = class_getInstanceVariable(obj->isa, name);
    if (iv == nullptr || !objc::ivar_accepts<T>(iv)) return nullptr;
    return reinterpret_cast<T*>(reinterpret_cast<char*>(obj) + iv->offset);
}

// A reference to the named variable; raises when it is absent or of another
// type. T may be id for any object variable.
template <class T>
T& MSHookIvar(id obj, const char* name) {
    if (obj == nullptr) objc::bad_ivar(obj, name, "nil object");
    Ivar iv = class_getInstanceVariable(obj->isa, name);
    if (iv == nullptr) objc::bad_ivar(obj, name, "no such instance variable");
    if (!objc::ivar_accepts<T>(iv)) objc::bad_ivar(obj, name, "instance variable of another type");
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(obj) + iv->offset);
}

// ---------------------------------------------------------------------------
// Reference counting and autorelease pools.

// Retain and release of an object that is deallocating do nothing. Releasing
// a freed object aborts with a message, as far as it can be seen.
id objc_retain(id obj);
void objc_release(id obj);
id objc_autorelease(id obj);
NSUInteger objc_retainCount(id obj);
// Frees the object: runs the C++ destructor (its members), releases its
// associated objects, clears weak references to it. Called by the root
// dealloc.
void object_dispose(id obj);

template <class T>
T* retain(T* obj) {
    objc_retain(obj);
    return obj;
}
template <class T>
T* autorelease(T* obj) {
    objc_autorelease(obj);
    return obj;
}
inline void release(id obj) { objc_release(obj); }

// Pools nest per thread. Popping a pool pops the pools opened inside it too;
// popping one that is not open on this thread (popped already, directly or
// with an outer one) aborts with a message.
void* objc_autoreleasePoolPush();
void objc_autoreleasePoolPop(void* token);
size_t objc_autoreleasePoolCount();  // objects waiting in this thread's pools

// A pool for a scope. A scope left by an exception leaves its pool open, so
// what it holds (a raised NSException among it) lives on until an enclosing
// pool drains: the catch handler can use the exception.
class AutoreleasePool {
public:
    AutoreleasePool() : token_(objc_autoreleasePoolPush()), exceptions_(std::uncaught_exceptions()) {}
    ~AutoreleasePool() {
        if (std::uncaught_exceptions() <= exceptions_) objc_autoreleasePoolPop(token_);
    }
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

private:
    void* token_;
    int exceptions_;  // in flight when the pool opened
};

// An owning reference ("owned" in the design). Construction from a plain
// pointer retains; adopt() takes over a reference already owned (alloc/init).
namespace objc {
// Every runtime object starts with its objc_object base, so a pointer to a
// type only declared so far is still the object's address.
template <class T>
inline id as_id(T* p) {
    return reinterpret_cast<id>(p);
}
}  // namespace objc

template <class T>
class Strong {
public:
    Strong() = default;
    Strong(std::nullptr_t) {}
    Strong(T* p) : p_(p) { objc_retain(objc::as_id(p_)); }
    Strong(const Strong& o) : p_(o.p_) { objc_retain(objc::as_id(p_)); }
    Strong(Strong&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    template <class U>
        requires std::is_convertible_v<U*, T*>
    Strong(const Strong<U>& o) : p_(o.get()) {
        objc_retain(objc::as_id(p_));
    }
    ~Strong() { objc_release(objc::as_id(p_)); }

    Strong& operator=(const Strong& o) {
        reset(o.p_);
        return *this;
    }
    Strong& operator=(Strong&& o) noexcept {
        if (this != &o) {
            T* old = std::exchange(p_, std::exchange(o.p_, nullptr));
            objc_release(objc::as_id(old));
        }
        return *this;
    }
    Strong& operator=(T* p) {
        reset(p);
        return *this;
    }

    static Strong adopt(T* p) {
        Strong s;
        s.p_ = p;
        return s;
    }

    void reset(T* p = nullptr) {
        objc_retain(objc::as_id(p));
        T* old = std::exchange(p_, p);
        objc_release(objc::as_id(old));
    }
    // Gives up ownership without releasing.
    T* detach() { return std::exchange(p_, nullptr); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    operator T*() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Weak references: zeroed when the object goes, and read as nil while it
// deallocates. Storing an object that is deallocating aborts with a message.
void objc_storeWeak(id* location, id obj);
id objc_loadWeakRetained(id* location);  // +1, or nil
id objc_loadWeak(id* location);          // not retained, or nil
void objc_moveWeak(id* to, id* from);

template <class T>
class Weak {
public:
    Weak() = default;
    Weak(T* p) { objc_storeWeak(&slot_, p); }
    Weak(const Weak& o) {
        Strong<T> s = o.lock();
        objc_storeWeak(&slot_, s.get());
    }
    Weak& operator=(const Weak& o) {
        if (this != &o) {
            Strong<T> s = o.lock();
            objc_storeWeak(&slot_, s.get());
        }
        return *this;
    }
    Weak& operator=(T* p) {
        objc_storeWeak(&slot_, p);
        return *this;
    }
    ~Weak() { objc_storeWeak(&slot_, nullptr); }

    // A strong reference while the object lives, else nil.
    Strong<T> lock() const { return Strong<T>::adopt(static_cast<T*>(objc_loadWeakRetained(const_cast<id*>(&slot_)))); }
    // The plain pointer, or nil; only for the thread that owns the object.
    T* get() const { return static_cast<T*>(objc_loadWeak(const_cast<id*>(&slot_))); }
    bool expired() const { return get() == nullptr; }

private:
    id slot_ = nullptr;  // the weak table holds this address
};

// ---------------------------------------------------------------------------
// Associated objects.

enum objc_AssociationPolicy : uintptr_t {
    OBJC_ASSOCIATION_ASSIGN = 0,
    OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1,
    OBJC_ASSOCIATION_COPY_NONATOMIC = 3,
    OBJC_ASSOCIATION_RETAIN = 01401,
    OBJC_ASSOCIATION_COPY = 01403,
};

void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy);
id objc_getAssociatedObject(id object, const void* key);
void objc_removeAssociatedObjects(id object);

// ---------------------------------------------------------------------------
// Defining classes from C++ types.

namespace objc {

template <auto M>
struct MemberThunk;
template <class C, class R, class... A, R (C::*M)(A...)>
struct MemberThunk<M> {
    static R fn(C* self, SEL, A... args) { return (self->*M)(args...); }
};
template <class C, class R, class... A, R (C::*M)(A...) const>
struct MemberThunk<M> {
    static R fn(C* self, SEL, A... args) { return (self->*M)(args...); }
};

// A static function without self or selector, as a class method.
template <auto F>
struct StaticThunk;
template <class R, class... A, R (*F)(A...)>
struct StaticThunk<F> {
    static R fn(objc_class*, SEL, A... args) { return F(args...); }
};

template <class T>
struct IsImpFunction : std::false_type {};
template <class R, class S, class... A>
struct IsImpFunction<R (*)(S*, SEL, A...)> : std::is_base_of<objc_object, S> {};

template <auto M>
IMP make_imp() {
    if constexpr (std::is_member_function_pointer_v<decltype(M)>) {
        return imp_implementationWithFunction(&MemberThunk<M>::fn);
    } else if constexpr (IsImpFunction<decltype(M)>::value) {
        return imp_implementationWithFunction(M);
    } else {
        return imp_implementationWithFunction(&StaticThunk<M>::fn);
    }
}

// Accessors of a data member as a property: a Strong<T> or Weak<T> member
// reads as T* and keeps (or weakly holds) what is set; a plain pointer or a
// value is read and stored as it is.
template <class T>
struct PropertyValue {
    using type = T;
    static T get(const T& v) { return v; }
};
template <class T>
struct PropertyValue<Strong<T>> {
    using type = T*;
    static T* get(const Strong<T>& v) { return v.get(); }
};
template <class T>
struct PropertyValue<Weak<T>> {
    using type = T*;
    static T* get(const Weak<T>& v) { return v.get(); }
};

template <auto M>
struct PropertyThunk;
template <class C, class T, T C::*M>
struct PropertyThunk<M> {
    using Value = typename PropertyValue<T>::type;
    static Value get(C* self, SEL) { return PropertyValue<T>::get(self->*M); }
    static void set(C* self, SEL, Value v) { self->*M = v; }
};

// "title" -> "setTitle:"
std::string setter_name(const char* getter);

// Registration primitives (not logged as installations).
Class define_class(const char* name, Class superclass, id (*factory)(), const std::type_info* cppType);
void define_method(Class cls, SEL sel, IMP imp, const char* types);
void define_ivar(Class cls, const char* name, std::ptrdiff_t offset, const std::type_info& type, const char* encoding,
                 bool isObject);

template <class T>
const char* type_encoding() {
    if constexpr (is_object_ptr_v<T>) return "@";
    else if constexpr (std::is_same_v<T, bool>) return "B";
    else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, signed char>) return "c";
    else if constexpr (std::is_same_v<T, int>) return "i";
    else if constexpr (std::is_same_v<T, unsigned>) return "I";
    else if constexpr (std::is_same_v<T, long> || std::is_same_v<T, long long>) return "q";
    else if constexpr (std::is_same_v<T, unsigned long> || std::is_same_v<T, unsigned long long>) return "Q";
    else if constexpr (std::is_same_v<T, double>) return "d";
    else if constexpr (std::is_same_v<T, float>) return "f";
    else if constexpr (std::is_pointer_v<T>) return "^v";
    else return "?";
}

}  // namespace objc

// Inside a C++ class that mirrors a runtime class. The class pointer is one
// variable for the whole process, whatever the visibility settings of the
// code that includes the header.
#define OBJC_CLASS(Name)                                                  \
    __attribute__((visibility("default"))) static inline Class class_ = nullptr; \
    static Class cls() { return class_; }

// Registers C++ type C as the runtime class `name`; methods follow:
//   objc::ClassDef<UIView>("UIView", UIResponder::cls())
//       .method<&UIView::layoutSubviews>("layoutSubviews")
//       .method<initWithFrame>("initWithFrame:");
namespace objc {
template <class C>
class ClassDef {
public:
    ClassDef(const char* name, Class superclass) {
        id (*factory)() = nullptr;
        if constexpr (std::is_default_constructible_v<C> && !std::is_abstract_v<C>) {
            factory = []() -> id { return new C(); };
        }
        cls_ = define_class(name, superclass, factory, &typeid(C));
        C::class_ = cls_;
    }

    template <auto M>
    ClassDef& method(const char* sel, const char* types = "") {
        define_method(cls_, sel_registerName(sel), make_imp<M>(), types);
        return *this;
    }
    template <auto M>
    ClassDef& classMethod(const char* sel, const char* types = "") {
        define_method(cls_->isa, sel_registerName(sel), make_imp<M>(), types);
        return *this;
    }
    // A property over a data member: the getter, and the setter named after
    // it ("title" -> "setTitle:") unless readonly.
    template <auto M>
    ClassDef& property(const char* getter, bool readonly = false) {
        define_method(cls_, sel_registerName(getter), imp_implementationWithFunction(&PropertyThunk<M>::get), "");
        if (!readonly)
            define_method(cls_, sel_registerName(setter_name(getter).c_str()),
                          imp_implementationWithFunction(&PropertyThunk<M>::set), "");
        return *this;
    }
    template <class T>
    ClassDef& ivar(const char* name, std::ptrdiff_t offset) {
        define_ivar(cls_, name, offset, typeid(T), type_encoding<T>(), is_object_ptr_v<T>);
        return *this;
    }
    Class get() const { return cls_; }

private:
    Class cls_;
};
}  // namespace objc

// def.OBJC_IVAR(MPConcreteMediaItem, _propertiesCache)
#define OBJC_IVAR(Type, member)                                                                            \
    ivar<decltype(Type::member)>(#member, []() {                                                           \
        _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Winvalid-offsetof\"") return     \
            static_cast<std::ptrdiff_t>(offsetof(Type, member));                                           \
        _Pragma("GCC diagnostic pop")                                                                      \
    }())

template <class R, class... A>
R objc::Call<R(A...)>::send_super(id self, Class cls, SEL sel, A... args) {
    if (self == nullptr) return zero<R>();
    Class super = class_getSuperclass(cls);
    if (super == nullptr) unrecognized_selector(self, sel);
    const objc_cache_entry* e = lookup(super, sel);
    if (!e->imp) unrecognized_selector(self, sel);
    return run(e->imp, self, sel, args...);
}
