// NSDictionary and NSMutableDictionary: objects by key. Keys are copied on
// insertion and compared with -hash and -isEqual: sent through the runtime;
// entries keep their insertion order, so output is deterministic.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <initializer_list>
#include <unordered_map>
#include <utility>
#include <vector>

struct NSString;
struct NSArray;

struct NSDictionary : NSObject {
    OBJC_CLASS(NSDictionary)

    struct Entry {
        Strong<objc_object> key;
        Strong<objc_object> value;
        NSUInteger hash;
    };

    // C++ API ---------------------------------------------------------------
    // Autoreleased immutable dictionary of {key, value} pairs; nil raises.
    static NSDictionary* make(std::initializer_list<std::pair<id, id>> entries);

    NSUInteger count() const { return entries_.size(); }
    id objectForKey(id key) const;  // nil when absent or for a nil key
    bool isEqualToDictionary(const NSDictionary* other) const;
    NSArray* allKeys() const;    // autoreleased, insertion order
    NSArray* allValues() const;  // autoreleased, insertion order

    // for (const auto& e : dict->entries()) … e.key, e.value, in insertion
    // order. Changing the dictionary while walking its entries raises
    // NSGenericException at the walk's next step.
    class Entries {
    public:
        static const Entry& entryAt(const NSDictionary* d, size_t i) { return d->entries_[i]; }
        using Iterator = platform::EnumerationIterator<NSDictionary, const Entry&, &Entries::entryAt>;
        explicit Entries(const NSDictionary* d) : d_(d) {}
        Iterator begin() const { return Iterator(d_, 0, d_->mutations_); }
        Iterator end() const { return Iterator(d_, d_->entries_.size(), d_->mutations_); }
        size_t size() const { return d_->entries_.size(); }
        const Entry& operator[](size_t i) const { return d_->entries_.at(i); }
        const Entry& front() const { return d_->entries_.at(0); }

    private:
        const NSDictionary* d_;
    };
    Entries entries() const { return Entries(this); }

    // Mutation, for initialisers and NSMutableDictionary. setObject copies
    // the key (+copy) and raises NSInvalidArgumentException for nil.
    void setObject(id obj, id key);
    void removeObjectForKey(id key);
    void removeAllObjects();

private:
    // Index of the entry for key (hash given), or -1.
    long find(id key, NSUInteger hash) const;
    void reindex();

    std::vector<Entry> entries_;
    std::unordered_multimap<NSUInteger, size_t> index_;  // hash → entry
    unsigned long mutations_ = 0;                         // changes, for the walks over it
};

struct NSMutableDictionary : NSDictionary {
    OBJC_CLASS(NSMutableDictionary)

    static NSMutableDictionary* make();  // autoreleased, empty
};
