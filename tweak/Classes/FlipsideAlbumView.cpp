// The flipside album view's edit button.
#include "FlipsideAlbumView.h"

#include "Cantrel.h"
#include "ItemEntry.h"
#include "NSObject+BKAssociatedObjects.h"
#include "NowPlayingButtons.h"

#include <UIKit/UIToolbar.h>
#include <Foundation/Foundation.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <UIKit/UIKit.h>

Slot<void(MusicFlipsideAlbumDetailViewController*, SEL)> _reloadData$MusicFlipsideAlbumDetailViewController;
Slot<void(MusicFlipsideAlbumDetailHeaderView*, SEL)> _layoutSubviews$MusicFlipsideAlbumDetailHeaderView;

UIView* musicFlipsideAlbumDetailViewController_drawView = nullptr;

namespace {

// The container owns its button's block (which holds the record); the
// controller whose header may show it is remembered weakly.
const char kContainerBlockKey[] = "FLIPSIDE_EDIT_BLOCK";
Weak<NSObject> containerController;


void dropContainer() {
    if (musicFlipsideAlbumDetailViewController_drawView == nullptr) return;
    id old = objc::as_id(musicFlipsideAlbumDetailViewController_drawView);
    musicFlipsideAlbumDetailViewController_drawView = nullptr;
    objc_msgSend<void()>(old, "removeFromSuperview"_sel);
    objc_msgSend<void(id, const void*)>(old, "associateValue:withKey:"_sel, nil, kContainerBlockKey);
    objc_release(old);
    containerController = nullptr;
}

}  // namespace

void reloadData$MusicFlipsideAlbumDetailViewController(MusicFlipsideAlbumDetailViewController* self, SEL _cmd) {
    _reloadData$MusicFlipsideAlbumDetailViewController(self, _cmd);
    CLog("** Cantrel ** _reloadData$MusicFlipsideAlbumDetailViewController");
    id tableView = objc_msgSend<id()>(self, "tableView"_sel);
    id source = objc_msgSend<id()>(objc_msgSend<id()>(tableView, "delegate"_sel), "dataSource"_sel);
    id entities = source == nil ? nil : objc_msgSend<id()>(source, "entities"_sel);
    NSUInteger count = entities == nil ? 0 : objc_msgSend<NSUInteger()>(entities, "count"_sel);

    // The button of an earlier album goes in any case; an empty list gets none.
    dropContainer();
    if (count == 0) return;

    auto* entry = static_cast<ItemEntry*>(
        objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
    assignMediaItem(static_cast<UITableView*>(tableView), nullptr, kViewIndexFlipsideAlbum, entry, nil);
    entry->mediaItem = static_cast<NSObject*>(objc_msgSend<id(NSUInteger)>(entities, "objectAtIndex:"_sel, 0));
    entry->currentViewController = objc::as_id(self);
    entry->mediaItemCollection = nullptr;
    entry->mediaItemCollectionItems =
        static_cast<NSArray*>(objc_msgSend<id(id)>(NSArray::cls(), "arrayWithArray:"_sel, entities));

    Strong<ItemEntry> record(entry);
    id block = objc_block<void()>([record] {
        CLog("** Cantrel ** editAlbum");
        objc_msgSend<void(id, id, long)>(objc_getClass("EditHandler"),
                                         "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel, nil,
                                         objc::as_id(record.get()), -1);
    });

    id container = newToolbarButtonContainer(UIBarButtonSystemItemCompose, block, "invoke"_sel);
    objc_msgSend<void(id, const void*)>(container, "associateValue:withKey:"_sel, block, kContainerBlockKey);

    musicFlipsideAlbumDetailViewController_drawView = static_cast<UIView*>(container);  // keeps the +1
    containerController = static_cast<NSObject*>(objc::as_id(self));
}

void layoutSubviews$MusicFlipsideAlbumDetailHeaderView(MusicFlipsideAlbumDetailHeaderView* self, SEL _cmd) {
    _layoutSubviews$MusicFlipsideAlbumDetailHeaderView(self, _cmd);
    CLog("** Cantrel ** _layoutSubviews$MusicFlipsideAlbumDetailHeaderView");
    id container = objc::as_id(musicFlipsideAlbumDetailViewController_drawView);
    if (container == nil) return;
    // Only the header of the controller the button was built for shows it.
    Strong<NSObject> controller = containerController.lock();
    if (!controller) return;
    id header = objc_msgSend<id()>(objc_msgSend<id()>(controller.get(), "tableView"_sel), "tableHeaderView"_sel);
    if (header != objc::as_id(self)) return;
    CGRect frame = objc_msgSend<CGRect()>(self, "frame"_sel);
    objc_msgSend<void(CGRect)>(container, "setFrame:"_sel,
                               CGRectMake(frame.size.width - 55, frame.size.height - 100, 50, 50));
    objc_msgSend<void(id)>(self, "addSubview:"_sel, container);
}
