// NSArray and NSMutableArray: ordered lists of objects, each retained while
// it is in the list. Arrays are shared by reference; a mutable one changes in
// place. Equality of elements is -isEqual: sent through the runtime.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <initializer_list>
#include <string>
#include <vector>

struct NSArray : NSObject {
    OBJC_CLASS(NSArray)

    // C++ API ---------------------------------------------------------------
    // Autoreleased immutable arrays; a nil element raises
    // NSInvalidArgumentException.
    static NSArray* make(std::initializer_list<id> items);
    static NSArray* make(const std::vector<id>& items);

    NSUInteger count() const { return items_.size(); }
    // Raises NSRangeException past the end.
    id at(NSUInteger index) const;
    id firstObject() const { return items_.empty() ? nullptr : items_.front().get(); }
    id lastObject() const { return items_.empty() ? nullptr : items_.back().get(); }
    // NSNotFound when absent.
    NSUInteger indexOfObject(id obj) const;
    bool containsObject(id obj) const { return indexOfObject(obj) != NSNotFound; }
    bool isEqualToArray(const NSArray* other) const;

    // for (id obj : *array): each element in order. Changing the array while
    // walking it raises NSGenericException at the walk's next step (after the
    // last element too); leaving the loop right after the change is fine.
    static id elementAt(const NSArray* a, size_t i) { return a->items_[i].get(); }
    using Iterator = platform::EnumerationIterator<NSArray, id, &NSArray::elementAt>;
    Iterator begin() const { return Iterator(this, 0, mutations_); }
    Iterator end() const { return Iterator(this, count(), mutations_); }

    // The elements; for initialisers and NSMutableArray.
    std::vector<Strong<objc_object>>& items() { return items_; }
    const std::vector<Strong<objc_object>>& items() const { return items_; }

protected:
    // Every change of a mutable array counts, for the walks over it.
    void changed() { ++mutations_; }

private:
    std::vector<Strong<objc_object>> items_;
    unsigned long mutations_ = 0;
};

struct NSMutableArray : NSArray {
    OBJC_CLASS(NSMutableArray)

    static NSMutableArray* make();  // autoreleased, empty

    // The methods of the same selectors, for C++ callers; the same checks
    // (nil raises NSInvalidArgumentException, a bad index NSRangeException).
    void addObject(id obj);
    void insertObject(id obj, NSUInteger index);
    void removeObjectAtIndex(NSUInteger index);
    void removeObject(id obj);  // every element equal to obj
    void removeLastObject();    // nothing when empty
    void removeAllObjects();
    void replaceObjectAtIndex(NSUInteger index, id obj);
    void exchangeObjects(NSUInteger a, NSUInteger b);
    void addObjectsFromArray(const NSArray* other);
    // The objects in `range` give way to the other array's, in one pass (a
    // range of length 0 inserts them as a block at its location).
    void replaceObjectsInRange(NSRange range, const NSArray* other);
    void setArray(const NSArray* other);
};

namespace platform {
// The multi-line description the platform prints for collections; nested
// arrays and dictionaries are indented by `level`.
std::string describeObject(id obj, int level);
}  // namespace platform
