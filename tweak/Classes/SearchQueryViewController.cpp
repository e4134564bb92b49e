#include "SearchQueryViewController.h"

#include "Cantrel.h"
#include "Cantrel_Tools.h"
#include "CustomDataSource.h"
#include "Libs/MosaicLayout/Entities/MosaicData.h"
#include "Libs/MosaicLayout/Views/MosaicCell.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>
#include <platform/Random.h>

#include <mutex>

namespace {

constexpr NSInteger kPadColumns[2] = {4, 5};    // portrait, landscape
constexpr NSInteger kOtherColumns[2] = {2, 3};  // portrait, landscape
constexpr uint32_t kDoublePercent = 40;
// A picked picture's longer side at most: enough for artwork, bounded.
constexpr NSUInteger kPickedPixelSide = 2048;

id grid(SearchQueryViewController* self) { return objc::as_id(self->collectionView.get()); }

id initWithNibNameBundle(SearchQueryViewController* self, SEL, id nibName, id bundle) {
    CLog("SearchQueryViewController initWithNibName");
    self = static_cast<SearchQueryViewController*>(objc_msgSendSuper<id(id, id)>(
        self, SearchQueryViewController::cls(), "initWithNibName:bundle:"_sel, nibName, bundle));
    if (self == nullptr) return nil;
    self->customDatasource = Strong<CustomDataSource>::adopt(static_cast<CustomDataSource*>(
        objc_msgSend<id()>(objc_msgSend<id()>(CustomDataSource::cls(), "alloc"_sel), "init"_sel)));
    return self;
}

id collectionView(SearchQueryViewController* self, SEL) { return grid(self); }
void setCollectionView(SearchQueryViewController* self, SEL, id view) { self->collectionView = static_cast<NSObject*>(view); }
id customDatasource(SearchQueryViewController* self, SEL) { return objc::as_id(self->customDatasource.get()); }
id delegate(SearchQueryViewController* self, SEL) { return objc::as_id(self->delegate.get()); }

// The delegate is kept until it has heard the pick or the cancel: the panel
// that asked must still be there to take the answer.
void setDelegate(SearchQueryViewController* self, SEL, id delegate) {
    self->delegate = static_cast<NSObject*>(delegate);
    self->waitingDelegate = self->reported ? nullptr : static_cast<NSObject*>(delegate);
}

void setSearchString(SearchQueryViewController* self, SEL, id query) {
    CLog("setSearchString: searchString: %@", query);
    objc_msgSend<void(id)>(self->customDatasource.get(), "setSearchString:"_sel, query);
}

void buildDatasource(SearchQueryViewController* self, SEL) {
    objc_msgSend<void()>(self->customDatasource.get(), "loadFromDisk"_sel);
}

void viewDidLoad(SearchQueryViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, SearchQueryViewController::cls(), "viewDidLoad"_sel);
    id view = grid(self);
    objc_msgSend<void(id)>(objc_msgSend<id()>(view, "collectionViewLayout"_sel), "setDelegate:"_sel, self);
    objc_msgSend<void(Class, id)>(view, "registerClass:forCellWithReuseIdentifier:"_sel, MosaicCell::cls(), "Cell"_ns);
    objc_msgSend<void(id)>(view, "setDataSource:"_sel, self->customDatasource.get());
    objc_msgSend<void(id)>(view, "setDelegate:"_sel, self);
}

// The one report of this screen: the delegate is let go after it.
Strong<NSObject> takeDelegate(SearchQueryViewController* self) {
    self->reported = YES;
    Strong<NSObject> kept = self->waitingDelegate ? self->waitingDelegate : Strong<NSObject>(self->delegate.get());
    self->waitingDelegate = nullptr;
    return kept;
}

void cancelItemSearch(SearchQueryViewController* self, SEL, id) {
    if (self->reported) return;
    Strong<NSObject> delegate = takeDelegate(self);
    Strong<SearchQueryViewController> kept(self);
    // The delegate hears of it once the screen has gone, so that it can
    // present again.
    objc_msgSend<void(BOOL, id)>(self, "dismissViewControllerAnimated:completion:"_sel, YES,
                                 objc_block<void()>([kept, delegate] {
                                     objc_msgSend<void(id)>(objc::as_id(delegate.get()),
                                                            "internetImagePickerControllerDidCancel:"_sel, kept.get());
                                 }));
}

void didSelectItem(SearchQueryViewController* self, SEL, id view, id path) {
    id cell = objc_msgSend<id(id)>(view, "cellForItemAtIndexPath:"_sel, path);
    CLog("touched cell %@ at indexPath %@", cell, path);
    if (self->reported) return;
    Strong<NSObject> delegate = takeDelegate(self);
    Strong<SearchQueryViewController> kept(self);
    // The tile shows a picture decoded for its size; the pick gets it again
    // as large as artwork takes.
    id shown = objc_msgSend<id()>(cell, "image"_sel);
    id picked = shown == nil ? nil : objc_msgSend<id(NSUInteger)>(shown, "_imageWithMaxPixelSide:"_sel, kPickedPixelSide);
    objc_msgSend<void(id, id)>(objc::as_id(delegate.get()), "internetImagePickerController:didFinishPickingImage:"_sel,
                               self, picked != nil ? picked : shown);
}

void willRotate(SearchQueryViewController* self, SEL, NSInteger orientation, double duration) {
    objc_msgSendSuper<void(NSInteger, double)>(self, SearchQueryViewController::cls(),
                                               "willRotateToInterfaceOrientation:duration:"_sel, orientation, duration);
    objc_msgSend<void()>(objc_msgSend<id()>(grid(self), "collectionViewLayout"_sel), "invalidateLayout"_sel);
}

NSInteger numberOfColumns(SearchQueryViewController* self, SEL, id) {
    NSInteger orientation = objc_msgSend<NSInteger()>(self, "interfaceOrientation"_sel);
    bool landscape = orientation == 3 || orientation == 4;
    return (Cantrel_isPad() ? kPadColumns : kOtherColumns)[landscape ? 1 : 0];
}

MosaicData* elementAt(SearchQueryViewController* self, id path) {
    id list = objc_msgSend<id()>(self->customDatasource.get(), "elements"_sel);
    NSInteger row = objc_msgSend<NSInteger()>(path, "row"_sel);
    if (row < 0 || static_cast<NSUInteger>(row) >= objc_msgSend<NSUInteger()>(list, "count"_sel)) return nullptr;
    return static_cast<MosaicData*>(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, static_cast<NSUInteger>(row)));
}

BOOL isDoubleColumn(SearchQueryViewController* self, SEL, id, id path) {
    MosaicData* element = elementAt(self, path);
    if (element == nullptr) return NO;
    if (element->layoutType == MosaicLayoutTypeUndefined)
        element->layoutType = arc4random() % 100 < kDoublePercent ? MosaicLayoutTypeDouble : MosaicLayoutTypeSingle;
    return element->layoutType == MosaicLayoutTypeDouble;
}

float relativeHeight(SearchQueryViewController* self, SEL, id view, id path) {
    MosaicData* element = elementAt(self, path);
    if (element == nullptr) return 0;
    if (element->relativeHeight == 0) {
        bool isDouble = objc_msgSend<BOOL(id, id)>(self, "collectionView:isDoubleColumnAtIndexPath:"_sel, view, path);
        float base = isDouble ? 0.75f : 1.0f;
        element->relativeHeight = base + static_cast<float>(arc4random() % 25) / 100.0f;
    }
    return element->relativeHeight;
}

}  // namespace

void registerSearchQueryViewController() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<SearchQueryViewController>("SearchQueryViewController", UIViewController::cls())
            .method<initWithNibNameBundle>("initWithNibName:bundle:", "@@:@@")
            .method<collectionView>("collectionView", "@@:")
            .method<setCollectionView>("setCollectionView:", "v@:@")
            .method<customDatasource>("customDatasource", "@@:")
            .method<delegate>("delegate", "@@:")
            .method<setDelegate>("setDelegate:", "v@:@")
            .method<setSearchString>("setSearchString:", "v@:@")
            .method<buildDatasource>("buildDatasource", "v@:")
            .method<viewDidLoad>("viewDidLoad", "v@:")
            .method<cancelItemSearch>("cancelItemSearch:", "v@:@")
            .method<didSelectItem>("collectionView:didSelectItemAtIndexPath:", "v@:@@")
            .method<willRotate>("willRotateToInterfaceOrientation:duration:", "v@:qd")
            .method<numberOfColumns>("numberOfColumnsInCollectionView:", "q@:@")
            .method<relativeHeight>("collectionView:relativeHeightForItemAtIndexPath:", "f@:@@")
            .method<isDoubleColumn>("collectionView:isDoubleColumnAtIndexPath:", "c@:@@")
            .OBJC_IVAR(SearchQueryViewController, collectionView)
            .OBJC_IVAR(SearchQueryViewController, customDatasource)
            .OBJC_IVAR(SearchQueryViewController, delegate);
    });
}
