#include "MosaicLayout.h"

#include <Foundation/Foundation.h>

#include <cfloat>
#include <cmath>
#include <mutex>

namespace {

constexpr unsigned kHeightStep = 40;

id delegateOf(MosaicLayout* self) { return objc::as_id(self->delegate.get()); }

NSInteger columnsQuantity(MosaicLayout* self, SEL) {
    return objc_msgSend<NSInteger(id)>(delegateOf(self), "numberOfColumnsInCollectionView:"_sel,
                                       self->_collectionView);
}

float columnWidth(MosaicLayout* self, SEL) {
    NSInteger n = objc_msgSend<NSInteger()>(self, "columnsQuantity"_sel);
    if (n < 1) return 0;
    CGRect bounds = objc_msgSend<CGRect()>(self->_collectionView, "bounds"_sel);
    return std::roundf(static_cast<float>(bounds.size.width / static_cast<double>(n)));
}

NSUInteger shortestColumnIndex(MosaicLayout* self, SEL) {
    NSUInteger index = 0;
    double lowest = DBL_MAX;
    for (size_t i = 0; i < self->columns.size(); ++i) {
        if (self->columns[i] < lowest) {
            lowest = self->columns[i];
            index = i;
        }
    }
    return index;
}

NSUInteger longestColumnIndex(MosaicLayout* self, SEL) {
    NSUInteger index = 0;
    double highest = 0;
    for (size_t i = 0; i < self->columns.size(); ++i) {
        if (self->columns[i] > highest) {
            highest = self->columns[i];
            index = i;
        }
    }
    return index;
}

BOOL canUseDoubleColumnOnIndex(MosaicLayout* self, SEL, NSUInteger column) {
    NSInteger n = objc_msgSend<NSInteger()>(self, "columnsQuantity"_sel);
    if (n < 2 || column >= static_cast<NSUInteger>(n - 1) || column + 1 >= self->columns.size()) return NO;
    return self->columns[column] == self->columns[column + 1];
}

// A length in points as a whole number, truncated; nothing for a negative or
// unusable value.
unsigned whole(double v) {
    if (!(v > 0)) return 0;
    return v >= 1e7 ? 10000000u : static_cast<unsigned>(v);
}

void prepareLayout(MosaicLayout* self, SEL) {
    objc_msgSendSuper<void()>(self, MosaicLayout::cls(), "prepareLayout"_sel);
    NSInteger quantity = objc_msgSend<NSInteger()>(self, "columnsQuantity"_sel);
    self->columns.assign(static_cast<size_t>(std::clamp<NSInteger>(quantity, 0, 1000)), 0.0);
    self->itemsAttributes.clear();
    if (self->columns.empty()) return;
    UICollectionView* view = self->_collectionView;
    NSInteger n = objc_msgSend<NSInteger(NSInteger)>(view, "numberOfItemsInSection:"_sel, 0);
    id delegate = delegateOf(self);
    self->itemsAttributes.reserve(static_cast<size_t>(std::max<NSInteger>(n, 0)));
    for (NSInteger i = 0; i < n; ++i) {
        AutoreleasePool pool;
        id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForItem:inSection:"_sel, i, 0);
        NSUInteger c = objc_msgSend<NSUInteger()>(self, "shortestColumnIndex"_sel);
        float width = objc_msgSend<float()>(self, "columnWidth"_sel);
        unsigned x = whole(static_cast<double>(static_cast<float>(c) * width));
        double y = std::trunc(self->columns[c]);
        float r = objc_msgSend<float(id, id)>(delegate, "collectionView:relativeHeightForItemAtIndexPath:"_sel, view, path);
        bool isDouble = objc_msgSend<BOOL(NSUInteger)>(self, "canUseDoubleColumnOnIndex:"_sel, c) &&
                        objc_msgSend<BOOL(id, id)>(delegate, "collectionView:isDoubleColumnAtIndexPath:"_sel, view, path);
        unsigned w = whole(isDouble ? width * 2 : width);
        unsigned full = whole(static_cast<double>(r) * w);
        unsigned h = full - full % kHeightStep;
        self->columns[c] = y + h;
        if (isDouble) self->columns[c + 1] = y + h;
        id attributes = objc_msgSend<id(id)>(UICollectionViewLayoutAttributes::cls(),
                                             "layoutAttributesForCellWithIndexPath:"_sel, path);
        objc_msgSend<void(CGRect)>(attributes, "setFrame:"_sel, CGRectMake(x, y, w, h));
        self->itemsAttributes.emplace_back(static_cast<UICollectionViewLayoutAttributes*>(attributes));
    }
}

id layoutAttributesForElementsInRect(MosaicLayout* self, SEL, CGRect rect) {
    id list = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    for (const auto& a : self->itemsAttributes)
        if (CGRectIntersectsRect(objc_msgSend<CGRect()>(a.get(), "frame"_sel), rect))
            objc_msgSend<void(id)>(list, "addObject:"_sel, a.get());
    return list;
}

id layoutAttributesForItemAtIndexPath(MosaicLayout* self, SEL, id path) {
    if (path == nil) return nil;
    NSInteger row = objc_msgSend<NSInteger()>(path, "row"_sel);
    if (row < 0 || static_cast<size_t>(row) >= self->itemsAttributes.size()) return nil;
    return objc::as_id(self->itemsAttributes[static_cast<size_t>(row)].get());
}

CGSize collectionViewContentSize(MosaicLayout* self, SEL) {
    CGRect bounds = objc_msgSend<CGRect()>(self->_collectionView, "bounds"_sel);
    double tallest = self->columns.empty() ? 0 : self->columns[objc_msgSend<NSUInteger()>(self, "longestColumnIndex"_sel)];
    return CGSizeMake(bounds.size.width, tallest);
}

}  // namespace

void registerMosaicLayout() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<MosaicLayout>("MosaicLayout", UICollectionViewLayout::cls())
            .property<&MosaicLayout::delegate>("delegate")
            .method<columnsQuantity>("columnsQuantity", "q@:")
            .method<columnWidth>("columnWidth", "f@:")
            .method<shortestColumnIndex>("shortestColumnIndex", "Q@:")
            .method<longestColumnIndex>("longestColumnIndex", "Q@:")
            .method<canUseDoubleColumnOnIndex>("canUseDoubleColumnOnIndex:", "c@:Q")
            .method<prepareLayout>("prepareLayout", "v@:")
            .method<layoutAttributesForElementsInRect>("layoutAttributesForElementsInRect:", "@@:{CGRect}")
            .method<layoutAttributesForItemAtIndexPath>("layoutAttributesForItemAtIndexPath:", "@@:@")
            .method<collectionViewContentSize>("collectionViewContentSize", "{CGSize}@:")
            .OBJC_IVAR(MosaicLayout, columns)
            .OBJC_IVAR(MosaicLayout, itemsAttributes)
            .OBJC_IVAR(MosaicLayout, delegate);
    });
}
