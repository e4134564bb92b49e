// MosaicLayout: a collection-view layout of equal columns in which each item
// goes to the column that is shortest so far, some items span two level
// columns, and every height is a multiple of 40 points.
//
// The delegate (MosaicLayoutDelegate) answers, in this order:
//   numberOfColumnsInCollectionView:           NSInteger(id)   asked anew at every use
//   collectionView:relativeHeightForItemAtIndexPath:   float(id, id)   height / width
//   collectionView:isDoubleColumnAtIndexPath:  BOOL(id, id)    asked only where the item
//                                              could span its column and the next
//
//   delegate / setDelegate:         id() / void(id)   weak
//   columnsQuantity                 NSInteger()   the delegate's column count
//   columnWidth                     float()       roundf(bounds width / columnsQuantity)
//   shortestColumnIndex             NSUInteger()  the first of the lowest columns
//   longestColumnIndex              NSUInteger()  the first of the highest (0 when all are 0)
//   canUseDoubleColumnOnIndex:      BOOL(NSUInteger)   c + 1 is a column and both are level
//   prepareLayout                   void()   places every item of section 0 again
//   layoutAttributesForElementsInRect:    id(CGRect)   the items meeting the rectangle
//   layoutAttributesForItemAtIndexPath:   id(id)       nil beyond the items
//   collectionViewContentSize       CGSize()  bounds width x the longest column's height
//
// A column count below 1 lays nothing out.
#pragma once

#include <UIKit/UICollectionView.h>

#include <vector>

struct MosaicLayout : UICollectionViewLayout {
    OBJC_CLASS(MosaicLayout)

    std::vector<double> columns;  // filled height of each column, in points
    std::vector<Strong<UICollectionViewLayoutAttributes>> itemsAttributes;  // one per item of section 0
    Weak<NSObject> delegate;
};

void registerMosaicLayout();
