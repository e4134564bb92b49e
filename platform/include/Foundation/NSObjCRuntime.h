// Foundation's basic types and the runtime helpers that speak NSString.
#pragma once

#include <objc/NSObject.h>

#include <climits>

struct NSString;

// -compare: answers one of these (as NSInteger in every prototype).
using NSComparisonResult = NSInteger;
inline constexpr NSComparisonResult NSOrderedAscending = -1;
inline constexpr NSComparisonResult NSOrderedSame = 0;
inline constexpr NSComparisonResult NSOrderedDescending = 1;

inline constexpr NSInteger NSIntegerMax = LONG_MAX;
inline constexpr NSInteger NSIntegerMin = LONG_MIN;
inline constexpr NSUInteger NSUIntegerMax = ULONG_MAX;
// "No such index" from indexOfObject: and friends.
inline constexpr NSUInteger NSNotFound = static_cast<NSUInteger>(NSIntegerMax);

// A run of positions: `length` places from `location`. Passed by value in
// message sends (as in contentsDidChangeByRemovingRange:).
struct NSRange {
    NSUInteger location = 0;
    NSUInteger length = 0;
    bool operator==(const NSRange&) const = default;
};
constexpr NSRange NSMakeRange(NSUInteger location, NSUInteger length) { return {location, length}; }

// The class's name (autoreleased); nil for a nil class.
NSString* NSStringFromClass(Class cls);
// The registered class of that name; nil when absent or for nil.
Class NSClassFromString(NSString* name);
// The selector's name (autoreleased); nil for a null selector.
NSString* NSStringFromSelector(SEL sel);
// The selector of that name (registered if new); null for nil.
SEL NSSelectorFromString(NSString* name);

namespace platform {

// Raises NSGenericException "*** Collection <Class: address> was mutated
// while being enumerated."
[[noreturn]] void raiseMutatedWhileEnumerated(id collection);

// One walk over a collection by index, for range-for. Reading an element or
// testing for the end raises as above once the collection's count of
// changes has moved since the walk began. At(collection, i) reads element i.
template <class C, class Element, Element (*At)(const C*, size_t)>
class EnumerationIterator {
public:
    EnumerationIterator(const C* collection, size_t index, const unsigned long& mutations)
        : collection_(collection), index_(index), mutations_(&mutations), seen_(mutations) {}
    Element operator*() const {
        check();
        return At(collection_, index_);
    }
    EnumerationIterator& operator++() {
        ++index_;
        return *this;
    }
    bool operator!=(const EnumerationIterator& o) const {
        check();
        return index_ < o.index_;
    }

private:
    void check() const {
        if (*mutations_ != seen_) raiseMutatedWhileEnumerated(objc::as_id(const_cast<C*>(collection_)));
    }

    const C* collection_;
    size_t index_;
    const unsigned long* mutations_;
    unsigned long seen_;
};

}  // namespace platform
