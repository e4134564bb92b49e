// The object runtime: class table, selectors, method lookup and caches,
// replacement, ivars. Tables change only while the runtime lock is held
// (registration and installation); sends read the per-class caches without
// a lock. A cache is never freed while the process runs: a flush publishes a
// fresh table, and readers still probing an old one stay valid.
#include <objc/NSObject.h>
#include <Foundation/NSException.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

struct objc_selector {
    std::string name;
};

struct objc_method {
    SEL name;
    IMP imp;
    std::string types;
};

struct objc_class_data {
    std::string name;
    Class superclass = nullptr;
    Class cls = nullptr;  // the class itself (for a metaclass: its class)
    bool isMeta = false;
    bool registered = false;
    std::unordered_map<SEL, objc_method*> methods;
    std::vector<objc_ivar*> ivars;
    id (*factory)() = nullptr;
    const std::type_info* cppType = nullptr;
    std::atomic<long> live{0};
};

namespace {

constexpr uint64_t kCountMask = (uint64_t(1) << 48) - 1;
constexpr uint64_t kDeallocating = uint64_t(1) << 62;
constexpr uint64_t kImmortal = uint64_t(1) << 63;
constexpr uint32_t kHasWeak = 1;
constexpr uint32_t kHasAssociations = 2;

struct Runtime {
    std::mutex lock;
    std::unordered_map<std::string, SEL> selectors;
    std::unordered_map<std::string, Class> classes;
    std::vector<Class> allClasses;  // classes and metaclasses
    std::vector<objc_installation> installations;
    // Never freed: readers may still hold them.
    std::vector<objc_cache*> retiredCaches;
    std::vector<objc_cache_entry*> entries;
    std::vector<objc::super_target*> superTargets;  // of replaced inherited methods
    std::mutex selectorLock;
};

Runtime& rt() {
    static Runtime* r = new Runtime();  // lives to the end of the process
    return *r;
}

objc_cache* emptyCache() {
    static objc_cache* c = [] {
        auto* cache = new objc_cache{0, 0, new std::atomic<const objc_cache_entry*>[1]};
        cache->buckets[0].store(nullptr);
        return cache;
    }();
    return c;
}

objc_cache* newCache(size_t capacity) {
    auto* c = new objc_cache{capacity - 1, 0, new std::atomic<const objc_cache_entry*>[capacity]};
    for (size_t i = 0; i < capacity; ++i) c->buckets[i].store(nullptr, std::memory_order_relaxed);
    return c;
}

void cacheInsertInto(objc_cache* c, const objc_cache_entry* e) {
    size_t i = objc::selector_hash(e->sel) & c->mask;
    while (c->buckets[i].load(std::memory_order_relaxed) != nullptr) i = (i + 1) & c->mask;
    c->buckets[i].store(e, std::memory_order_release);
    ++c->used;
}

// Lock held.
void cacheInsert(Class cls, const objc_cache_entry* e) {
    objc_cache* c = cls->cache.load(std::memory_order_relaxed);
    size_t capacity = c->mask + 1;
    if (c == emptyCache() || (c->used + 1) * 4 > capacity * 3) {
        size_t newCapacity = c == emptyCache() ? 8 : capacity * 2;
        objc_cache* n = newCache(newCapacity);
        for (size_t i = 0; i < capacity; ++i) {
            const objc_cache_entry* old = c->buckets[i].load(std::memory_order_relaxed);
            if (old) cacheInsertInto(n, old);
        }
        cacheInsertInto(n, e);
        cls->cache.store(n, std::memory_order_release);
        if (c != emptyCache()) rt().retiredCaches.push_back(c);
        return;
    }
    cacheInsertInto(c, e);
}

// Lock held. Any change of a method table may change what any subclass
// answers, so every cache starts again.
void flushAllCaches() {
    for (Class c : rt().allClasses) {
        objc_cache* old = c->cache.exchange(emptyCache(), std::memory_order_acq_rel);
        if (old != emptyCache()) rt().retiredCaches.push_back(old);
    }
}

// Lock held.
objc_method* findOwnMethod(Class cls, SEL sel) {
    auto it = cls->data->methods.find(sel);
    return it == cls->data->methods.end() ? nullptr : it->second;
}

objc_method* findMethod(Class cls, SEL sel) {
    for (Class c = cls; c != nullptr; c = c->data->superclass) {
        if (objc_method* m = findOwnMethod(c, sel)) return m;
    }
    return nullptr;
}

// Lock held.
Class newClassObject(const std::string& name, Class superclass, bool isMeta) {
    auto* cls = new objc_class();
    cls->rc_.store(1 | kImmortal);
    cls->cache.store(emptyCache());
    cls->data = new objc_class_data();
    cls->data->name = name;
    cls->data->superclass = superclass;
    cls->data->isMeta = isMeta;
    rt().allClasses.push_back(cls);
    return cls;
}

// Lock held. A class and its metaclass; the root metaclass's superclass is
// the root class, so classes answer the root's instance methods.
Class makeClassPair(const char* name, Class superclass) {
    Class meta = newClassObject(name, superclass ? superclass->isa : nullptr, true);
    Class cls = newClassObject(name, superclass, false);
    cls->isa = meta;
    cls->data->cls = cls;
    meta->data->cls = cls;
    if (superclass == nullptr) {
        meta->data->superclass = cls;
        meta->isa = meta;
    } else {
        Class rootMeta = superclass->isa;
        while (rootMeta->isa != rootMeta) rootMeta = rootMeta->isa;
        meta->isa = rootMeta;
        cls->data->factory = superclass->data->factory;
        cls->data->cppType = superclass->data->cppType;
    }
    return cls;
}

std::string describeReceiver(id self, SEL sel) {
    bool isClass = self->isa->data->isMeta;
    std::ostringstream out;
    out << (isClass ? "+[" : "-[") << self->isa->data->name << " " << sel_getName(sel) << "]";
    return out.str();
}

}  // namespace

// ---------------------------------------------------------------------------
// Selectors.

SEL sel_registerName(const char* name) {
    if (name == nullptr) return nullptr;
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.selectorLock);
    auto it = r.selectors.find(name);
    if (it != r.selectors.end()) return it->second;
    auto* sel = new objc_selector{name};
    r.selectors.emplace(sel->name, sel);
    return sel;
}

const char* sel_getName(SEL sel) { return sel ? sel->name.c_str() : "<null selector>"; }

// ---------------------------------------------------------------------------
// Lookup and sends.

const objc_cache_entry* objc::lookup_slow(Class cls, SEL sel) {
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (const objc_cache_entry* e = cache_find(cls, sel)) return e;
    objc_method* m = findMethod(cls, sel);
    auto* e = new objc_cache_entry{sel, m ? m->imp : IMP{}};
    r.entries.push_back(e);
    cacheInsert(cls, e);
    return e;
}

void objc::unrecognized_selector(id self, SEL sel) {
    std::ostringstream reason;
    reason << describeReceiver(self, sel) << ": unrecognized selector sent to instance " << static_cast<void*>(self);
    NSException::raise(NSInvalidArgumentException, reason.str());
}

void objc::bad_signature(id self, SEL sel, const std::type_info* have, const std::type_info& want) {
    std::ostringstream reason;
    reason << describeReceiver(self, sel) << " sent with prototype " << want.name() << " but implemented as "
           << (have ? have->name() : "<none>");
    throw BadSignature(reason.str());
}

objc_imp objc::super_implementation(const super_target* target, id self, const std::type_info& want) {
    Class super = target->cls->data->superclass;
    const objc_cache_entry* e = super ? lookup(super, target->sel) : nullptr;
    if (e == nullptr || !e->imp) unrecognized_selector(self, target->sel);
    if (!same_signature(e->imp.sig, want)) bad_signature(self, target->sel, e->imp.sig, want);
    return e->imp;
}

void objc::bad_ivar(id obj, const char* name, const char* problem) {
    std::string reason = std::string(obj ? obj->isa->data->name : "nil") + " ivar " + (name ? name : "") + ": " + problem;
    NSException::raise(NSInvalidArgumentException, reason);
}

// ---------------------------------------------------------------------------
// Classes.

Class objc_getClass(const char* name) {
    if (name == nullptr) return nullptr;
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.classes.find(name);
    return it == r.classes.end() ? nullptr : it->second;
}

Class objc_lookUpClass(const char* name) { return objc_getClass(name); }

const char* class_getName(Class cls) { return cls ? cls->data->name.c_str() : "nil"; }

Class class_getSuperclass(Class cls) { return cls ? cls->data->superclass : nullptr; }

BOOL class_isMetaClass(Class cls) { return cls && cls->data->isMeta; }

Class object_getClass(id obj) { return obj ? obj->isa : nullptr; }

const char* object_getClassName(id obj) { return obj ? obj->isa->data->name.c_str() : "nil"; }

std::vector<Class> objc_copyClassList() {
    std::lock_guard<std::mutex> g(rt().lock);
    std::vector<Class> out;
    for (auto& [name, cls] : rt().classes) out.push_back(cls);
    return out;
}

Class objc::define_class(const char* name, Class superclass, id (*factory)(), const std::type_info* cppType) {
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (r.classes.count(name)) throw std::logic_error(std::string("class defined twice: ") + name);
    Class cls = makeClassPair(name, superclass);
    cls->data->factory = factory;
    cls->data->cppType = cppType;
    cls->data->registered = true;
    r.classes.emplace(name, cls);
    return cls;
}

Class objc_allocateClassPair(Class superclass, const char* name, size_t) {
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (name == nullptr || r.classes.count(name)) return nullptr;
    return makeClassPair(name, superclass);
}

void objc_registerClassPair(Class cls) {
    if (cls == nullptr) return;
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (cls->data->registered) return;
    cls->data->registered = true;
    r.classes.emplace(cls->data->name, cls);
}

void objc_setClassHidden(Class cls, BOOL hidden) {
    if (cls == nullptr || cls->data->isMeta || !cls->data->registered) return;
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (hidden) {
        auto it = r.classes.find(cls->data->name);
        if (it != r.classes.end() && it->second == cls) r.classes.erase(it);
    } else {
        r.classes.emplace(cls->data->name, cls);
    }
}

id class_createInstance(Class cls, size_t) {
    if (cls == nullptr) return nullptr;
    if (cls->data->factory == nullptr)
        NSException::raise(NSInvalidArgumentException,
                           std::string("class ") + cls->data->name + " cannot make instances");
    id obj = cls->data->factory();
    obj->isa = cls;
    cls->data->live.fetch_add(1, std::memory_order_relaxed);
    return obj;
}

long class_getLiveInstanceCount(Class cls) { return cls ? cls->data->live.load() : 0; }

// ---------------------------------------------------------------------------
// Methods.

void objc::define_method(Class cls, SEL sel, IMP imp, const char* types) {
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (objc_method* m = findOwnMethod(cls, sel)) {
        m->imp = imp;
        m->types = types ? types : "";
    } else {
        cls->data->methods.emplace(sel, new objc_method{sel, imp, types ? types : ""});
    }
    flushAllCaches();
}

Method class_getInstanceMethod(Class cls, SEL sel) {
    if (cls == nullptr || sel == nullptr) return nullptr;
    std::lock_guard<std::mutex> g(rt().lock);
    return findMethod(cls, sel);
}

Method class_getClassMethod(Class cls, SEL sel) { return cls ? class_getInstanceMethod(cls->isa, sel) : nullptr; }

IMP class_getMethodImplementation(Class cls, SEL sel) {
    if (cls == nullptr || sel == nullptr) return IMP{};
    return objc::lookup(cls, sel)->imp;
}

BOOL class_respondsToSelector(Class cls, SEL sel) { return static_cast<bool>(class_getMethodImplementation(cls, sel)); }

BOOL class_ownsMethod(Class cls, SEL sel) {
    if (cls == nullptr || sel == nullptr) return NO;
    std::lock_guard<std::mutex> g(rt().lock);
    return findOwnMethod(cls, sel) != nullptr;
}

SEL method_getName(Method m) { return m ? m->name : nullptr; }

IMP method_getImplementation(Method m) { return m ? m->imp : IMP{}; }

const char* method_getTypeEncoding(Method m) { return m ? m->types.c_str() : nullptr; }

IMP method_setImplementation(Method m, IMP imp) {
    if (m == nullptr) return IMP{};
    std::lock_guard<std::mutex> g(rt().lock);
    IMP old = m->imp;
    m->imp = imp;
    flushAllCaches();
    return old;
}

BOOL class_addMethod(Class cls, SEL sel, IMP imp, const char* types) {
    if (cls == nullptr || sel == nullptr || !imp) return NO;
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    if (findOwnMethod(cls, sel)) return NO;
    cls->data->methods.emplace(sel, new objc_method{sel, imp, types ? types : ""});
    r.installations.push_back({cls->data->name, sel->name, 'A'});
    flushAllCaches();
    return YES;
}

std::vector<objc_installation> objc_copyInstallationLog() {
    std::lock_guard<std::mutex> g(rt().lock);
    return rt().installations;
}

void MSHookMessageEx(Class cls, SEL sel, IMP replacement, IMP* result) {
    if (cls == nullptr || sel == nullptr || !replacement) return;
    Runtime& r = rt();
    std::lock_guard<std::mutex> g(r.lock);
    objc_method* m = findMethod(cls, sel);
    if (m == nullptr) return;
    if (!objc::same_signature(m->imp.sig, *replacement.sig)) {
        throw objc::BadSignature(std::string("replacement of ") + (cls->data->isMeta ? "+[" : "-[") +
                                 cls->data->name + " " + sel->name + "] has prototype " + replacement.sig->name() +
                                 ", the method " + m->imp.sig->name());
    }
    IMP old = m->imp;
    if (findOwnMethod(cls, sel) == m) {
        m->imp = replacement;
    } else {
        cls->data->methods.emplace(sel, new objc_method{sel, replacement, m->types});
        // The replacement calls through to whatever the superclass answers
        // when it is called, so a later replacement there is not skipped.
        if (replacement.ops) {
            auto* target = new objc::super_target{cls, sel};
            r.superTargets.push_back(target);
            old.fn = reinterpret_cast<void (*)()>(reinterpret_cast<uintptr_t>(target));
            old.invoke = replacement.ops->call_super;
            old.sig = replacement.sig;
            old.ops = replacement.ops;
        }
    }
    if (result) *result = old;
    r.installations.push_back({cls->data->name, sel->name, 'R'});
    flushAllCaches();
}

std::string objc::setter_name(const char* getter) {
    std::string name = getter ? getter : "";
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return "set" + name + ":";
}

// ---------------------------------------------------------------------------
// Instance variables.

void objc::define_ivar(Class cls, const char* name, std::ptrdiff_t offset, const std::type_info& type,
                       const char* encoding, bool isObject) {
    std::lock_guard<std::mutex> g(rt().lock);
    cls->data->ivars.push_back(new objc_ivar{name, offset, &type, encoding, isObject});
}

Ivar class_getInstanceVariable(Class cls, const char* name) {
    if (cls == nullptr || name == nullptr) return nullptr;
    std::lock_guard<std::mutex> g(rt().lock);
    for (Class c = cls; c != nullptr; c = c->data->superclass) {
        for (objc_ivar* iv : c->data->ivars)
            if (iv->name == name) return iv;
    }
    return nullptr;
}

Ivar* class_copyIvarList(Class cls, unsigned* outCount) {
    if (outCount) *outCount = 0;
    if (cls == nullptr) return nullptr;
    std::lock_guard<std::mutex> g(rt().lock);
    const auto& ivars = cls->data->ivars;
    if (ivars.empty()) return nullptr;
    auto* list = static_cast<Ivar*>(std::calloc(ivars.size() + 1, sizeof(Ivar)));
    for (size_t i = 0; i < ivars.size(); ++i) list[i] = ivars[i];
    if (outCount) *outCount = static_cast<unsigned>(ivars.size());
    return list;
}

const char* ivar_getName(Ivar ivar) { return ivar ? ivar->name.c_str() : nullptr; }

std::ptrdiff_t ivar_getOffset(Ivar ivar) { return ivar ? ivar->offset : 0; }

const char* ivar_getTypeEncoding(Ivar ivar) { return ivar ? ivar->typeEncoding.c_str() : nullptr; }

// ---------------------------------------------------------------------------
// Reference counting.

namespace {

bool tryRetain(id obj) {
    uint64_t v = obj->rc_.load(std::memory_order_relaxed);
    for (;;) {
        if ((v & kDeallocating) || (v & kCountMask) == 0) return false;
        if (obj->rc_.compare_exchange_weak(v, v + 1, std::memory_order_acq_rel)) return true;
    }
}

}  // namespace

// While an object deallocates, retain and release do nothing, so that its
// dealloc may hand itself to code that retains and releases it again.
id objc_retain(id obj) {
    if (obj == nullptr) return nullptr;
    uint64_t v = obj->rc_.load(std::memory_order_relaxed);
    if (v & (kImmortal | kDeallocating)) return obj;
    obj->rc_.fetch_add(1, std::memory_order_relaxed);
    return obj;
}

void objc_release(id obj) {
    if (obj == nullptr) return;
    uint64_t v = obj->rc_.load(std::memory_order_acquire);
    if (v & (kImmortal | kDeallocating)) return;
    uint64_t prev = obj->rc_.fetch_sub(1, std::memory_order_acq_rel);
    if ((prev & kCountMask) == 0 || (prev & kDeallocating)) {
        std::fprintf(stderr, "objc: over-release of %s %p\n", obj->isa->data->name.c_str(), static_cast<void*>(obj));
        std::abort();
    }
    if ((prev & kCountMask) == 1) {
        obj->rc_.fetch_or(kDeallocating, std::memory_order_acq_rel);
        objc_msgSend<void()>(obj, "dealloc"_sel);
    }
}

NSUInteger objc_retainCount(id obj) {
    if (obj == nullptr) return 0;
    uint64_t v = obj->rc_.load(std::memory_order_relaxed);
    if (v & kImmortal) return static_cast<NSUInteger>(-1);
    return static_cast<NSUInteger>(v & kCountMask);
}

// ---------------------------------------------------------------------------
// Weak references.

namespace {

struct WeakTable {
    std::mutex lock;
    std::unordered_map<id, std::vector<id*>> refs;
};

WeakTable& weakTable() {
    static WeakTable* t = new WeakTable();
    return *t;
}

void weakUnregister(WeakTable& t, id obj, id* location) {
    auto it = t.refs.find(obj);
    if (it == t.refs.end()) return;
    auto& v = it->second;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == location) {
            v[i] = v.back();
            v.pop_back();
            break;
        }
    }
    if (v.empty()) t.refs.erase(it);
}

void weakClear(id obj) {
    WeakTable& t = weakTable();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.refs.find(obj);
    if (it == t.refs.end()) return;
    for (id* location : it->second) __atomic_store_n(location, nullptr, __ATOMIC_RELEASE);
    t.refs.erase(it);
}

}  // namespace

void objc_storeWeak(id* location, id obj) {
    WeakTable& t = weakTable();
    std::lock_guard<std::mutex> g(t.lock);
    id old = __atomic_load_n(location, __ATOMIC_ACQUIRE);
    if (old == obj) return;
    if (old) weakUnregister(t, old, location);
    if (obj && (obj->rc_.load() & kImmortal) == 0) {
        if (obj->rc_.load() & kDeallocating) {
            std::fprintf(stderr, "objc: cannot form a weak reference to %s %p: it is being deallocated\n",
                         obj->isa->data->name.c_str(), static_cast<void*>(obj));
            std::abort();
        }
        t.refs[obj].push_back(location);
        obj->flags_.fetch_or(kHasWeak);
    }
    __atomic_store_n(location, obj, __ATOMIC_RELEASE);
}

// Read under the weak table's lock: a disposal clears the object's weak
// references under that lock before its memory goes, so while the location
// still names the object here, the object's count can be read. Without the
// lock another thread could free the object between the two reads.
id objc_loadWeak(id* location) {
    WeakTable& t = weakTable();
    std::lock_guard<std::mutex> g(t.lock);
    id obj = __atomic_load_n(location, __ATOMIC_ACQUIRE);
    if (obj == nullptr || (obj->rc_.load(std::memory_order_acquire) & kDeallocating)) return nullptr;
    return obj;
}

id objc_loadWeakRetained(id* location) {
    WeakTable& t = weakTable();
    std::lock_guard<std::mutex> g(t.lock);
    id obj = __atomic_load_n(location, __ATOMIC_ACQUIRE);
    if (obj == nullptr) return nullptr;
    if (obj->rc_.load() & kImmortal) return obj;
    return tryRetain(obj) ? obj : nullptr;
}

void objc_moveWeak(id* to, id* from) {
    id obj = objc_loadWeakRetained(from);
    objc_storeWeak(to, obj);
    objc_storeWeak(from, nullptr);
    objc_release(obj);
}

// ---------------------------------------------------------------------------
// Associated objects.

namespace {

struct Association {
    objc_AssociationPolicy policy;
    id value;
};

struct AssociationTable {
    std::mutex lock;
    std::unordered_map<id, std::unordered_map<const void*, Association>> map;
};

AssociationTable& associations() {
    static AssociationTable* t = new AssociationTable();
    return *t;
}

bool policyRetains(objc_AssociationPolicy p) { return (p & 3) != 0; }
bool policyCopies(objc_AssociationPolicy p) { return (p & 3) == 3; }
bool policyAtomic(objc_AssociationPolicy p) { return (p & 01400) != 0; }

}  // namespace

void objc_setAssociatedObject(id object, const void* key, id value, objc_AssociationPolicy policy) {
    if (object == nullptr || key == nullptr) return;
    if (value && policyCopies(policy)) {
        value = objc_msgSend<id()>(value, "copy"_sel);
    } else if (value && policyRetains(policy)) {
        objc_retain(value);
    }
    Association old{OBJC_ASSOCIATION_ASSIGN, nullptr};
    {
        AssociationTable& t = associations();
        std::lock_guard<std::mutex> g(t.lock);
        auto& entries = t.map[object];
        auto it = entries.find(key);
        if (it != entries.end()) {
            old = it->second;
            if (value) {
                it->second = {policy, value};
            } else {
                entries.erase(it);
            }
        } else if (value) {
            entries.emplace(key, Association{policy, value});
        }
        if (entries.empty()) {
            t.map.erase(object);
        } else {
            object->flags_.fetch_or(kHasAssociations);
        }
    }
    if (old.value && policyRetains(old.policy)) objc_release(old.value);
}

id objc_getAssociatedObject(id object, const void* key) {
    if (object == nullptr || key == nullptr) return nullptr;
    if ((object->flags_.load() & kHasAssociations) == 0) return nullptr;
    AssociationTable& t = associations();
    id value = nullptr;
    bool atomicRead = false;
    {
        std::lock_guard<std::mutex> g(t.lock);
        auto it = t.map.find(object);
        if (it == t.map.end()) return nullptr;
        auto e = it->second.find(key);
        if (e == it->second.end()) return nullptr;
        value = e->second.value;
        atomicRead = policyAtomic(e->second.policy) && policyRetains(e->second.policy);
        if (atomicRead) objc_retain(value);
    }
    if (atomicRead) objc_autorelease(value);
    return value;
}

namespace {

// `object` is only a key here: its members may be gone already.
void removeAssociations(id object) {
    std::unordered_map<const void*, Association> removed;
    {
        AssociationTable& t = associations();
        std::lock_guard<std::mutex> g(t.lock);
        auto it = t.map.find(object);
        if (it == t.map.end()) return;
        removed.swap(it->second);
        t.map.erase(it);
    }
    for (auto& [key, a] : removed)
        if (policyRetains(a.policy)) objc_release(a.value);
}

}  // namespace

void objc_removeAssociatedObjects(id object) {
    if (object == nullptr || (object->flags_.load() & kHasAssociations) == 0) return;
    removeAssociations(object);
}

// ---------------------------------------------------------------------------
// Disposal.

// As the platform tears an object down: its C++ members, then its associated
// objects, then its weak references; the memory goes last, so weak
// references read nil (never freed memory) until they are cleared.
void object_dispose(id obj) {
    if (obj == nullptr) return;
    uint32_t flags = obj->flags_.load();
    Class cls = obj->isa;
    void* storage = dynamic_cast<void*>(obj);
    obj->~objc_object();
    if (flags & kHasAssociations) removeAssociations(obj);
    if (flags & kHasWeak) weakClear(obj);
    cls->data->live.fetch_sub(1, std::memory_order_relaxed);
    ::operator delete(storage);
}
