// UICollectionView, its layout, layout attributes and cells.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSIndexPath.h>
#include <Foundation/NSString.h>
#include <UIKit/UICollectionView.h>

#include <algorithm>

using namespace platform::support;

UICollectionView::~UICollectionView() {
    if (_layout && _layout->_collectionView == this) _layout->_collectionView = nullptr;
}

namespace {

BOOL answers(id obj, SEL sel) { return obj != nil && objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel); }

id indexPath(NSInteger item, NSInteger section) {
    return objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForItem:inSection:"_sel, item, section);
}

std::string keyOf(id identifier) { return to_string(static_cast<NSString*>(identifier)); }

namespace attributes {

id make(Class cls, SEL, id path) {
    auto* a = static_cast<UICollectionViewLayoutAttributes*>(newObject(cls));
    a->_indexPath = static_cast<NSObject*>(path);
    return autorelease(a);
}
id indexPathOf(UICollectionViewLayoutAttributes* self, SEL) { return self->_indexPath.get(); }
CGRect frame(UICollectionViewLayoutAttributes* self, SEL) { return self->_frame; }
void setFrame(UICollectionViewLayoutAttributes* self, SEL, CGRect f) { self->_frame = f; }

}  // namespace attributes

namespace layout {

id collectionView(UICollectionViewLayout* self, SEL) { return self->_collectionView; }
id initWithCoder(UICollectionViewLayout* self, SEL, id) { return objc_msgSend<id()>(self, "init"_sel); }
void prepareLayout(UICollectionViewLayout*, SEL) {}
id elementsInRect(UICollectionViewLayout*, SEL, CGRect) { return nil; }
id itemAtIndexPath(UICollectionViewLayout*, SEL, id) { return nil; }
CGSize contentSize(UICollectionViewLayout*, SEL) { return CGSizeZero; }
void invalidateLayout(UICollectionViewLayout* self, SEL) {
    self->_invalid = YES;
    if (self->_collectionView != nullptr) objc_msgSend<void()>(self->_collectionView, "setNeedsLayout"_sel);
}

}  // namespace layout

namespace cell {

id initWithFrame(UICollectionViewCell* self, SEL, CGRect frame) {
    self = objectAs<UICollectionViewCell>(
        objc_msgSendSuper<id(CGRect)>(self, UICollectionViewCell::cls(), "initWithFrame:"_sel, frame));
    if (self == nullptr) return nil;
    id content = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                          objc_msgSend<CGRect()>(self, "bounds"_sel));
    self->_contentView = adoptObject<UIView>(content, "-[UICollectionViewCell initWithFrame:]");
    objc_msgSend<void(id)>(self, "addSubview:"_sel, self->_contentView.get());
    return self;
}
id contentView(UICollectionViewCell* self, SEL) { return self->_contentView.get(); }
id reuseIdentifier(UICollectionViewCell* self, SEL) { return self->_reuseIdentifier.get(); }
void prepareForReuse(UICollectionViewCell*, SEL) {}
BOOL isHighlighted(UICollectionViewCell* self, SEL) { return self->_highlighted; }
void setHighlighted(UICollectionViewCell* self, SEL, BOOL v) { self->_highlighted = v; }
BOOL isSelected(UICollectionViewCell* self, SEL) { return self->_selected; }
void setSelected(UICollectionViewCell* self, SEL, BOOL v) { self->_selected = v; }
void layoutSubviews(UICollectionViewCell* self, SEL) {
    objc_msgSendSuper<void()>(self, UICollectionViewCell::cls(), "layoutSubviews"_sel);
    objc_msgSend<void(CGRect)>(self->_contentView.get(), "setFrame:"_sel, objc_msgSend<CGRect()>(self, "bounds"_sel));
}

}  // namespace cell

namespace view {

void attach(UICollectionView* self, UICollectionViewLayout* layout) {
    if (self->_layout && self->_layout->_collectionView == self) self->_layout->_collectionView = nullptr;
    self->_layout = layout;
    if (layout != nullptr) {
        layout->_collectionView = self;
        layout->_invalid = YES;
    }
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

id initWithFrameLayout(UICollectionView* self, SEL, CGRect frame, id layoutObject) {
    self = objectAs<UICollectionView>(
        objc_msgSendSuper<id(CGRect)>(self, UICollectionView::cls(), "initWithFrame:"_sel, frame));
    if (self == nullptr) return nil;
    objc_msgSend<void(BOOL)>(self, "setClipsToBounds:"_sel, YES);
    attach(self, requireObject<UICollectionViewLayout>(layoutObject, "-[UICollectionView initWithFrame:collectionViewLayout:]"));
    return self;
}

id initWithCoder(UICollectionView* self, SEL, id) {
    return objc_msgSend<id(CGRect, id)>(self, "initWithFrame:collectionViewLayout:"_sel, CGRectZero, nil);
}

id collectionViewLayout(UICollectionView* self, SEL) { return self->_layout.get(); }
void setCollectionViewLayout(UICollectionView* self, SEL, id obj) {
    attach(self, requireObject<UICollectionViewLayout>(obj, "-[UICollectionView setCollectionViewLayout:]"));
}
id dataSource(UICollectionView* self, SEL) { return self->_dataSource; }
void setDataSource(UICollectionView* self, SEL, id v) {
    self->_dataSource = v;
    self->_dataLoaded = NO;
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}
id delegate(UICollectionView* self, SEL) { return self->_delegate; }
void setDelegate(UICollectionView* self, SEL, id v) { self->_delegate = v; }

void registerClass(UICollectionView* self, SEL, Class cls, id identifier) {
    if (identifier == nil) NSException::raise(NSInvalidArgumentException, "a reuse identifier is required");
    if (cls == nil) self->_cellClasses.erase(keyOf(identifier));
    else self->_cellClasses[keyOf(identifier)] = cls;
}

void recycle(UICollectionView* self, Strong<UICollectionViewCell> cell) {
    objc_msgSend<void()>(cell.get(), "removeFromSuperview"_sel);
    if (cell->_reuseIdentifier) self->_reusableCells.push_back(std::move(cell));
}

void recycleAll(UICollectionView* self) {
    std::vector<UICollectionView::VisibleCell> cells = std::move(self->_visibleCells);
    self->_visibleCells.clear();
    for (auto& v : cells) recycle(self, std::move(v.cell));
}

// As the platform does, a dequeued cell already has the frame its layout
// gives the index path, so that the data source sees its size.
id placed(UICollectionView* self, UICollectionViewCell* cell, id path) {
    if (path != nil && self->_layout) {
        id attributes = objc_msgSend<id(id)>(self->_layout.get(), "layoutAttributesForItemAtIndexPath:"_sel, path);
        if (attributes != nil)
            objc_msgSend<void(CGRect)>(cell, "setFrame:"_sel, objc_msgSend<CGRect()>(attributes, "frame"_sel));
    }
    return autorelease(retain(cell));
}

id dequeue(UICollectionView* self, SEL, id identifier, id path) {
    std::string key = keyOf(identifier);
    auto& pool = self->_reusableCells;
    for (auto it = pool.begin(); it != pool.end(); ++it) {
        if (keyOf((*it)->_reuseIdentifier.get()) != key) continue;
        Strong<UICollectionViewCell> cell = std::move(*it);
        pool.erase(it);
        objc_msgSend<void()>(cell.get(), "prepareForReuse"_sel);
        return placed(self, cell.get(), path);
    }
    auto found = self->_cellClasses.find(key);
    if (identifier == nil || found == self->_cellClasses.end())
        NSException::raise(NSInternalInconsistencyException,
                           "could not dequeue a view of kind: UICollectionElementKindCell with identifier " + key +
                               " - must register a nib or a class for the identifier");
    id made = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(found->second, "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    Strong<UICollectionViewCell> cell = adoptObject<UICollectionViewCell>(made, "-[UICollectionView dequeueReusableCell…]");
    if (!cell) return nil;
    cell->_reuseIdentifier = Strong<NSString>::adopt(static_cast<NSString*>(objc_msgSend<id()>(identifier, "copy"_sel)));
    return placed(self, cell.get(), path);
}

void reloadData(UICollectionView* self, SEL) {
    id source = self->_dataSource;
    NSInteger sections = 0;
    if (source != nil)
        sections = answers(source, "numberOfSectionsInCollectionView:"_sel)
                       ? objc_msgSend<NSInteger(id)>(source, "numberOfSectionsInCollectionView:"_sel, self)
                       : 1;
    std::vector<NSInteger> counts(static_cast<size_t>(std::max<NSInteger>(sections, 0)), 0);
    if (answers(source, "collectionView:numberOfItemsInSection:"_sel))
        for (size_t s = 0; s < counts.size(); ++s)
            counts[s] = std::max<NSInteger>(0, objc_msgSend<NSInteger(id, NSInteger)>(
                                                   source, "collectionView:numberOfItemsInSection:"_sel, self,
                                                   static_cast<NSInteger>(s)));
    self->_itemCounts = std::move(counts);
    self->_dataLoaded = YES;
    recycleAll(self);
    if (self->_layout) self->_layout->_invalid = YES;
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

void loadIfNeeded(UICollectionView* self) {
    if (!self->_dataLoaded) reloadData(self, nullptr);
}

NSInteger numberOfSections(UICollectionView* self, SEL) {
    loadIfNeeded(self);
    return static_cast<NSInteger>(self->_itemCounts.size());
}
NSInteger numberOfItemsInSection(UICollectionView* self, SEL, NSInteger section) {
    loadIfNeeded(self);
    if (section < 0 || static_cast<size_t>(section) >= self->_itemCounts.size()) return 0;
    return self->_itemCounts[static_cast<size_t>(section)];
}

void setContentOffset(UICollectionView* self, SEL, CGPoint offset) {
    objc_msgSendSuper<void(CGPoint)>(self, UICollectionView::cls(), "setContentOffset:"_sel, offset);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

void setFrame(UICollectionView* self, SEL, CGRect frame) {
    objc_msgSendSuper<void(CGRect)>(self, UICollectionView::cls(), "setFrame:"_sel, frame);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

void layoutSubviews(UICollectionView* self, SEL) {
    objc_msgSendSuper<void()>(self, UICollectionView::cls(), "layoutSubviews"_sel);
    loadIfNeeded(self);
    AutoreleasePool pool;
    Strong<UICollectionViewLayout> layout = self->_layout;
    if (!layout) {
        recycleAll(self);
        return;
    }
    if (layout->_invalid) {
        layout->_invalid = NO;
        objc_msgSend<void()>(layout.get(), "prepareLayout"_sel);
    }
    self->_contentSize = objc_msgSend<CGSize()>(layout.get(), "collectionViewContentSize"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    CGRect visible{self->_contentOffset, bounds.size};
    id list = objc_msgSend<id(CGRect)>(layout.get(), "layoutAttributesForElementsInRect:"_sel, visible);

    struct Placement {
        NSInteger section, item;
        CGRect frame;
    };
    std::vector<Placement> wanted;
    for (const auto& a : objectsOf<UICollectionViewLayoutAttributes>(list, "-[UICollectionView layoutSubviews]")) {
        if (!a) continue;
        id path = a->_indexPath.get();
        NSInteger section = objc_msgSend<NSInteger()>(path, "section"_sel);
        NSInteger item = objc_msgSend<NSInteger()>(path, "item"_sel);
        if (section < 0 || static_cast<size_t>(section) >= self->_itemCounts.size() || item < 0 ||
            item >= self->_itemCounts[static_cast<size_t>(section)] || !CGRectIntersectsRect(a->_frame, visible))
            continue;
        wanted.push_back({section, item, a->_frame});
    }

    std::vector<UICollectionView::VisibleCell> old = std::move(self->_visibleCells);
    self->_visibleCells.clear();
    std::vector<UICollectionView::VisibleCell> now;
    for (const Placement& p : wanted) {
        auto it = std::find_if(old.begin(), old.end(), [&](const UICollectionView::VisibleCell& v) {
            return v.section == p.section && v.item == p.item && v.cell;
        });
        Strong<UICollectionViewCell> cell;
        bool fresh = it == old.end();
        if (!fresh) {
            cell = std::move(it->cell);
        } else {
            id source = self->_dataSource;
            if (!answers(source, "collectionView:cellForItemAtIndexPath:"_sel)) continue;
            id made = objc_msgSend<id(id, id)>(source, "collectionView:cellForItemAtIndexPath:"_sel, self,
                                               indexPath(p.item, p.section));
            if (made == nil)
                NSException::raise(NSInternalInconsistencyException,
                                   "the collection view's data source did not return a valid cell");
            cell = requireObject<UICollectionViewCell>(made, "-[UICollectionView layoutSubviews]");
        }
        objc_msgSend<void(CGRect)>(cell.get(), "setFrame:"_sel, p.frame);
        if (fresh) objc_msgSend<void(id)>(self, "addSubview:"_sel, cell.get());
        objc_msgSend<void()>(cell.get(), "setNeedsLayout"_sel);
        now.push_back({p.section, p.item, std::move(cell)});
    }
    for (auto& v : old)
        if (v.cell) recycle(self, std::move(v.cell));
    self->_visibleCells = std::move(now);
}

void layoutIfNeeded(UICollectionView* self) {
    if (self->_needsLayout) objc_msgSend<void()>(self, "layoutIfNeeded"_sel);
}

id cellForItem(UICollectionView* self, SEL, id path) {
    if (path == nil) return nil;
    layoutIfNeeded(self);
    NSInteger section = objc_msgSend<NSInteger()>(path, "section"_sel), item = objc_msgSend<NSInteger()>(path, "item"_sel);
    for (const auto& v : self->_visibleCells)
        if (v.section == section && v.item == item) return v.cell.get();
    return nil;
}

id indexPathForCell(UICollectionView* self, SEL, id cell) {
    if (cell == nil) return nil;
    layoutIfNeeded(self);
    for (const auto& v : self->_visibleCells)
        if (objc::as_id(v.cell.get()) == cell) return indexPath(v.item, v.section);
    return nil;
}

std::vector<UICollectionView::VisibleCell> sortedVisible(UICollectionView* self) {
    layoutIfNeeded(self);
    std::vector<UICollectionView::VisibleCell> cells = self->_visibleCells;
    std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) {
        return a.section != b.section ? a.section < b.section : a.item < b.item;
    });
    return cells;
}

id visibleCells(UICollectionView* self, SEL) {
    id list = mutableArray();
    for (const auto& v : sortedVisible(self)) arrayAdd(list, v.cell.get());
    return list;
}

id indexPathsForVisibleItems(UICollectionView* self, SEL) {
    id list = mutableArray();
    for (const auto& v : sortedVisible(self)) arrayAdd(list, indexPath(v.item, v.section));
    return list;
}

}  // namespace view

}  // namespace

bool platform::tapCollectionItem(UICollectionView* view, NSInteger section, NSInteger item) {
    if (view == nullptr) return false;
    Strong<UICollectionView> keep(view);
    AutoreleasePool pool;
    id path = indexPath(item, section);
    id cell = objc_msgSend<id(id)>(view, "cellForItemAtIndexPath:"_sel, path);
    id delegate = view->_delegate;
    if (cell == nil || !answers(delegate, "collectionView:didSelectItemAtIndexPath:"_sel)) return false;
    Strong<NSObject> keepCell(static_cast<NSObject*>(cell)), keepDelegate(static_cast<NSObject*>(delegate));
    objc_msgSend<void(BOOL)>(cell, "setHighlighted:"_sel, YES);
    objc_msgSend<void(BOOL)>(cell, "setHighlighted:"_sel, NO);
    objc_msgSend<void(id, id)>(delegate, "collectionView:didSelectItemAtIndexPath:"_sel, view, path);
    return true;
}

void platform::uikit::registerCollectionViews() {
    objc::ClassDef<UICollectionViewLayoutAttributes>("UICollectionViewLayoutAttributes", NSObject::cls())
        .classMethod<attributes::make>("layoutAttributesForCellWithIndexPath:")
        .method<attributes::indexPathOf>("indexPath")
        .method<attributes::frame>("frame")
        .method<attributes::setFrame>("setFrame:");
    objc::ClassDef<UICollectionViewLayout>("UICollectionViewLayout", NSObject::cls())
        .method<layout::initWithCoder>("initWithCoder:")
        .method<layout::collectionView>("collectionView")
        .method<layout::prepareLayout>("prepareLayout")
        .method<layout::elementsInRect>("layoutAttributesForElementsInRect:")
        .method<layout::itemAtIndexPath>("layoutAttributesForItemAtIndexPath:")
        .method<layout::contentSize>("collectionViewContentSize")
        .method<layout::invalidateLayout>("invalidateLayout");
    objc::ClassDef<UICollectionViewCell>("UICollectionViewCell", UIView::cls())
        .method<cell::initWithFrame>("initWithFrame:")
        .method<cell::contentView>("contentView")
        .method<cell::reuseIdentifier>("reuseIdentifier")
        .method<cell::prepareForReuse>("prepareForReuse")
        .method<cell::isHighlighted>("isHighlighted")
        .method<cell::setHighlighted>("setHighlighted:")
        .method<cell::isSelected>("isSelected")
        .method<cell::setSelected>("setSelected:")
        .method<cell::layoutSubviews>("layoutSubviews");
    objc::ClassDef<UICollectionView>("UICollectionView", UIScrollView::cls())
        .method<view::initWithFrameLayout>("initWithFrame:collectionViewLayout:")
        .method<view::initWithCoder>("initWithCoder:")
        .method<view::collectionViewLayout>("collectionViewLayout")
        .method<view::setCollectionViewLayout>("setCollectionViewLayout:")
        .method<view::dataSource>("dataSource")
        .method<view::setDataSource>("setDataSource:")
        .method<view::delegate>("delegate")
        .method<view::setDelegate>("setDelegate:")
        .method<view::registerClass>("registerClass:forCellWithReuseIdentifier:")
        .method<view::dequeue>("dequeueReusableCellWithReuseIdentifier:forIndexPath:")
        .method<view::reloadData>("reloadData")
        .method<view::numberOfSections>("numberOfSections")
        .method<view::numberOfItemsInSection>("numberOfItemsInSection:")
        .method<view::setContentOffset>("setContentOffset:")
        .method<view::setFrame>("setFrame:")
        .method<view::layoutSubviews>("layoutSubviews")
        .method<view::cellForItem>("cellForItemAtIndexPath:")
        .method<view::indexPathForCell>("indexPathForCell:")
        .method<view::visibleCells>("visibleCells")
        .method<view::indexPathsForVisibleItems>("indexPathsForVisibleItems");
}
