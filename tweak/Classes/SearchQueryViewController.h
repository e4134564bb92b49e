// SearchQueryViewController: the web image search's screen: the results as a
// mosaic grid (from the nib "SearchQueryViewController") and a cancel
// control. It is the grid's delegate and its layout's delegate.
//
//   initWithNibName:bundle:     id(id, id)   the superclass's, then a new CustomDataSource
//   collectionView / setCollectionView:   id() / void(id)   the nib's grid (weak)
//   customDatasource            id()         the results
//   delegate / setDelegate:     id() / void(id)   InternetSearchCallbackDelegate; held
//                               until it has heard the pick or the cancel
//   setSearchString:            void(id)     the query, for the data source
//   buildDatasource             void()       the data source's loadFromDisk (blocking)
//   viewDidLoad                 void()       wires the grid, its layout and the cell class
//   cancelItemSearch:           void(id)     dismisses itself, then tells the delegate
//                               internetImagePickerControllerDidCancel:
//   collectionView:didSelectItemAtIndexPath:   void(id, id)   tells the delegate
//                               internetImagePickerController:didFinishPickingImage:
//                               with the cell's picture (nil while it has none), decoded
//                               anew at up to 2048 pixels a side (the tile holds it at
//                               its own size; _imageWithMaxPixelSide:); the delegate
//                               closes the screen
//   willRotateToInterfaceOrientation:duration:   the grid is laid out again
//   numberOfColumnsInCollectionView:, collectionView:relativeHeightForItemAtIndexPath:,
//   collectionView:isDoubleColumnAtIndexPath:   the layout's questions
//
// The screen reports once: after a pick or a cancel, later taps and cancels
// do nothing. Columns: 5 landscape / 4 portrait on a pad, 3 / 2 elsewhere. An
// element's double column (40 %) and relative height (1.00-1.24 single,
// 0.75-0.99 double) are decided at the first question and kept.
#pragma once

#include <UIKit/UIViewController.h>

struct CustomDataSource;

struct SearchQueryViewController : UIViewController {
    OBJC_CLASS(SearchQueryViewController)

    Weak<NSObject> collectionView;
    Strong<CustomDataSource> customDatasource;
    Weak<NSObject> delegate;
    Strong<NSObject> waitingDelegate;  // the delegate, until it has heard back
    BOOL reported = NO;
};

void registerSearchQueryViewController();
