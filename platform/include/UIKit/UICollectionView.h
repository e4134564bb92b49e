// UICollectionView: a scrolling view of items placed by a layout object.
//
// UICollectionViewLayoutAttributes : NSObject
//   +layoutAttributesForCellWithIndexPath:   id(id)
//   indexPath                    id()
//   frame / setFrame:            CGRect() / void(CGRect)
//
// UICollectionViewLayout : NSObject   (subclasses place the items)
//   initWithCoder:               id(id)     -> init (a nib's layout object)
//   collectionView               id()       the view using it (not retained)
//   prepareLayout                void()     nothing here
//   layoutAttributesForElementsInRect:   id(CGRect)   nil here
//   layoutAttributesForItemAtIndexPath:  id(id)       nil here
//   collectionViewContentSize    CGSize()   zero here
//   invalidateLayout             void()     the next layout pass of the view sends
//                                           prepareLayout again
//
// UICollectionViewCell : UIView
//   initWithFrame:               id(CGRect)  with a contentView of the cell's size
//   contentView / reuseIdentifier   id()
//   prepareForReuse              void()      nothing here
//   isHighlighted / setHighlighted:, isSelected / setSelected:   BOOL() / void(BOOL)
//
// UICollectionView : UIScrollView
//   initWithFrame:collectionViewLayout:   id(CGRect, id)
//   initWithCoder:               id(id)      no layout yet (a nib sets it)
//   collectionViewLayout / setCollectionViewLayout:   id() / void(id)   retained
//   dataSource / setDataSource:, delegate / setDelegate:   id() / void(id)   not retained
//   registerClass:forCellWithReuseIdentifier:   void(Class, id)
//   dequeueReusableCellWithReuseIdentifier:forIndexPath:   id(id, id)   a pooled cell of
//       that identifier (sent prepareForReuse) or a new one of the registered class,
//       given the frame that the layout's layoutAttributesForItemAtIndexPath: has for
//       the index path; raises NSInternalInconsistencyException for an identifier never
//       registered
//   reloadData                   void()      asks the data source again
//       (numberOfSectionsInCollectionView: NSInteger(id), else 1;
//       collectionView:numberOfItemsInSection: NSInteger(id, NSInteger)); the visible
//       cells go back to the pool and the layout is invalidated
//   numberOfSections / numberOfItemsInSection:   NSInteger() / NSInteger(NSInteger)
//   contentSize                  CGSize()    the layout's collectionViewContentSize
//   setContentOffset:            void(CGPoint)   asks for a layout
//   cellForItemAtIndexPath:      id(id)      the visible cell of the item, or nil
//   indexPathForCell:            id(id)
//   visibleCells / indexPathsForVisibleItems   id()   NSArray, in item order
//
// The layout pass (layoutSubviews): prepareLayout when the layout was
// invalidated, then the items whose attributes meet the visible rectangle
// (contentOffset, bounds size) get a cell from the data source's
// collectionView:cellForItemAtIndexPath: (id(id, id)) unless they have one;
// cells that leave the rectangle go to the pool. Only visible items have
// cells. A collection view clips to its bounds.
#pragma once

#include <UIKit/UIScrollView.h>

#include <map>
#include <string>
#include <vector>

struct NSString;
struct UICollectionView;

struct UICollectionViewLayoutAttributes : NSObject {
    OBJC_CLASS(UICollectionViewLayoutAttributes)

    Strong<NSObject> _indexPath;
    CGRect _frame = CGRectZero;
};

struct UICollectionViewLayout : NSObject {
    OBJC_CLASS(UICollectionViewLayout)

    UICollectionView* _collectionView = nullptr;  // not retained
    BOOL _invalid = YES;
};

struct UICollectionViewCell : UIView {
    OBJC_CLASS(UICollectionViewCell)

    Strong<UIView> _contentView;
    Strong<NSString> _reuseIdentifier;
    BOOL _highlighted = NO;
    BOOL _selected = NO;
};

struct UICollectionView : UIScrollView {
    OBJC_CLASS(UICollectionView)

    struct VisibleCell {
        NSInteger section;
        NSInteger item;
        Strong<UICollectionViewCell> cell;
    };

    Strong<UICollectionViewLayout> _layout;
    id _dataSource = nil;
    id _delegate = nil;
    std::map<std::string, Class> _cellClasses;
    std::vector<NSInteger> _itemCounts;
    BOOL _dataLoaded = NO;
    std::vector<VisibleCell> _visibleCells;
    std::vector<Strong<UICollectionViewCell>> _reusableCells;

    ~UICollectionView() override;
};

namespace platform {

// A user's tap on an item: the visible item's cell is highlighted and
// unhighlighted, then the delegate hears
// collectionView:didSelectItemAtIndexPath: (void(id, id)). False (nothing
// sent) for an item that is not on screen or a delegate that does not answer.
bool tapCollectionItem(UICollectionView* view, NSInteger section, NSInteger item);

}  // namespace platform
