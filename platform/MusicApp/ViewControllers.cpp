// The Music app's controllers, views and cells.
#include "../UIKit/ObjectSupport.h"
#include "Private.h"

#include <MusicApp/MPHRootViewController.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTabBarController.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>

#include <algorithm>

using namespace platform::support;

MPHRootViewController::~MPHRootViewController() { clearStrong(_tabBarController); }

MusicNowPlayingViewController::~MusicNowPlayingViewController() {
    clearStrong(_item);
    clearStrong(_albumText);
    clearStrong(_playbackControlsView);
}

MusicTableViewController::~MusicTableViewController() {
    // The table view may outlive its controller; it must not keep pointing here.
    if (auto* table = objectAs<UITableView>(_view)) {
        if (table->_delegate == this) table->_delegate = nil;
        if (table->_dataSource == this) table->_dataSource = nil;
    }
}

namespace {

id newTableView(NSInteger style) {
    id alloced = objc_msgSend<id()>(UITableView::cls(), "alloc"_sel);
    return objc_msgSend<id(CGRect, NSInteger)>(alloced, "initWithFrame:style:"_sel, CGRectZero, style);
}

void sendLayoutSubviewsToSuper(id self, Class cls) { objc_msgSendSuper<void()>(self, cls, "layoutSubviews"_sel); }

namespace root {

id initWithTabBarController(MPHRootViewController* self, SEL, id tabBarController) {
    self = objectAs<MPHRootViewController>(objc_msgSend<id(id, id)>(self, "initWithNibName:bundle:"_sel, nil, nil));
    if (self == nullptr) return nil;
    storeStrong(self->_tabBarController,
                requireObject<UITabBarController>(tabBarController, "-[MPHRootViewController initWithTabBarController:]"));
    objc_msgSend<void(id)>(self, "addChildViewController:"_sel, tabBarController);
    return self;
}

void loadView(MPHRootViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MPHRootViewController::cls(), "loadView"_sel);
    if (self->_tabBarController == nullptr) return;
    id tabsView = objc_msgSend<id()>(self->_tabBarController, "view"_sel);
    objc_msgSend<void(id)>(objc_msgSend<id()>(self, "view"_sel), "addSubview:"_sel, tabsView);
}

}  // namespace root

namespace tabs {

void radioEnabledDidChange(MusicTabBarController* self, SEL, id) { ++self->_radioEnabledChanges; }
void availableLibrariesDidChange(MusicTabBarController* self, SEL, id) { ++self->_availableLibrariesChanges; }
void mediaLibraryDidChange(MusicTabBarController* self, SEL, id) { ++self->_mediaLibraryChanges; }

}  // namespace tabs

namespace nowPlaying {

id initWithNibNameBundle(MusicNowPlayingViewController* self, SEL, id nibName, id bundle) {
    return objc_msgSendSuper<id(id, id)>(self, MusicNowPlayingViewController::cls(), "initWithNibName:bundle:"_sel,
                                         nibName, bundle);
}

id item(MusicNowPlayingViewController* self, SEL) { return self->_item; }
void setItem(MusicNowPlayingViewController* self, SEL, id item) { storeStrong(self->_item, item); }
id albumText(MusicNowPlayingViewController* self, SEL) { return self->_albumText; }
id playbackControlsView(MusicNowPlayingViewController* self, SEL) { return self->_playbackControlsView; }

void loadView(MusicNowPlayingViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicNowPlayingViewController::cls(), "loadView"_sel);
    id alloced = objc_msgSend<id()>(MusicNowPlayingPlaybackControlsView::cls(), "alloc"_sel);
    auto controls = adoptObject<MusicNowPlayingPlaybackControlsView>(
        objc_msgSend<id(CGRect)>(alloced, "initWithFrame:"_sel, CGRectZero), "-[MusicNowPlayingViewController loadView]");
    storeStrong(self->_playbackControlsView, controls.get());
    objc_msgSend<void(id)>(objc_msgSend<id()>(self, "view"_sel), "addSubview:"_sel, controls.get());
}

void viewWillAppear(MusicNowPlayingViewController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, MusicNowPlayingViewController::cls(), "viewWillAppear:"_sel, animated);
    id text = objc_msgSend<id(id)>(self, "_albumTextForItem:"_sel, self->_item);
    storeStrong(self->_albumText, text);
}

void viewDidLayoutSubviews(MusicNowPlayingViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicNowPlayingViewController::cls(), "viewDidLayoutSubviews"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(objc_msgSend<id()>(self, "view"_sel), "bounds"_sel);
    CGFloat height = std::min(kMusicNowPlayingControlsHeight, CGRectGetHeight(bounds));
    objc_msgSend<void(CGRect)>(self->_playbackControlsView, "setFrame:"_sel,
                               CGRectMake(0, CGRectGetMaxY(bounds) - height, CGRectGetWidth(bounds), height));
}

id albumTextForItem(MusicNowPlayingViewController*, SEL, id item) {
    if (!objc_msgSend<BOOL(SEL)>(item, "respondsToSelector:"_sel, "albumTitle"_sel)) return nil;
    return objc_msgSend<id()>(item, "albumTitle"_sel);
}

void controlsLayoutSubviews(MusicNowPlayingPlaybackControlsView* self, SEL) {
    sendLayoutSubviewsToSuper(self, MusicNowPlayingPlaybackControlsView::cls());
}

}  // namespace nowPlaying

namespace albumDetail {

void headerLayoutSubviews(MusicAlbumsDetailTableHeaderView* self, SEL) {
    sendLayoutSubviewsToSuper(self, MusicAlbumsDetailTableHeaderView::cls());
}

id headerTableView(MusicAlbumsDetailTableHeaderView* self, SEL) { return self->_tableView; }

void setHeaderTableView(MusicAlbumsDetailTableHeaderView* self, SEL, id table) {
    self->_tableView = requireObject<UITableView>(table, "-[MusicAlbumsDetailTableHeaderView setTableView:]");
}

void flipsideLoadView(MusicFlipsideAlbumDetailViewController* self, SEL) {
    id table = newTableView(UITableViewStylePlain);
    objc_msgSend<void(id)>(table, "setDataSource:"_sel, self->_dataSource);
    objc_msgSend<void(id)>(self, "setView:"_sel, table);
    objc_release(table);
}

id flipsideTableView(MusicFlipsideAlbumDetailViewController* self, SEL) {
    return objectAs<UITableView>(objc_msgSend<id()>(self, "view"_sel));
}

id flipsideDataSource(MusicFlipsideAlbumDetailViewController* self, SEL) { return self->_dataSource; }

void flipsideSetDataSource(MusicFlipsideAlbumDetailViewController* self, SEL, id dataSource) {
    self->_dataSource = dataSource;
    if (objc_msgSend<BOOL()>(self, "isViewLoaded"_sel))
        objc_msgSend<void(id)>(objc_msgSend<id()>(self, "tableView"_sel), "setDataSource:"_sel, dataSource);
}

void flipsideReloadData(MusicFlipsideAlbumDetailViewController* self, SEL) {
    objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
}

void flipsideHeaderLayoutSubviews(MusicFlipsideAlbumDetailHeaderView* self, SEL) {
    sendLayoutSubviewsToSuper(self, MusicFlipsideAlbumDetailHeaderView::cls());
}

}  // namespace albumDetail

namespace list {

void loadView(MusicTableViewController* self, SEL) {
    id table = newTableView(UITableViewStylePlain);
    objc_msgSend<void(id)>(table, "setDelegate:"_sel, self);
    objc_msgSend<void(id)>(table, "setDataSource:"_sel, self);
    objc_msgSend<void(id)>(self, "setView:"_sel, table);
    objc_release(table);
}

void viewDidLoad(MusicTableViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicTableViewController::cls(), "viewDidLoad"_sel);
    objc_msgSend<void(BOOL)>(self, "_music_updateForContentChangeForInitialViewLoad:"_sel, YES);
    objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
}

id tableView(MusicTableViewController* self, SEL) {
    return objectAs<UITableView>(objc_msgSend<id()>(self, "view"_sel));
}

NSInteger numberOfSections(MusicTableViewController*, SEL, id) { return 1; }
NSInteger numberOfRows(MusicTableViewController*, SEL, id, NSInteger) { return 0; }

id cellForRow(MusicTableViewController*, SEL, id, id) {
    id identifier =
        objc_msgSend<id(const char*)>(objc_getClass("NSString"), "stringWithUTF8String:"_sel, kMusicSongListCellIdentifier);
    id alloced = objc_msgSend<id()>(MusicSongListTableViewCell::cls(), "alloc"_sel);
    id cell = objc_msgSend<id(NSInteger, id)>(alloced, "initWithStyle:reuseIdentifier:"_sel,
                                              UITableViewCellStyleDefault, identifier);
    return objc_autorelease(cell);
}

void commitEditingStyle(MusicTableViewController* self, SEL, id, NSInteger style, id) {
    if (style == UITableViewCellEditingStyleDelete) ++self->_deleteCommits;
}

id viewForHeader(MusicTableViewController*, SEL, id, NSInteger) { return nil; }

void willDisplayHeaderView(MusicTableViewController*, SEL, id, id, NSInteger) {}

id songCellInit(MusicSongListTableViewCell* self, SEL, NSInteger style, id reuseIdentifier) {
    return objc_msgSendSuper<id(NSInteger, id)>(self, MusicSongListTableViewCell::cls(),
                                                "initWithStyle:reuseIdentifier:"_sel, style, reuseIdentifier);
}

}  // namespace list

}  // namespace

void platform::musicapp::registerViewControllers() {
    objc::ClassDef<MPHRootViewController>("MPHRootViewController", UIViewController::cls())
        .method<root::initWithTabBarController>("initWithTabBarController:")
        .method<root::loadView>("loadView")
        .OBJC_IVAR(MPHRootViewController, _tabBarController);
    objc::ClassDef<MusicTabBarController>("MusicTabBarController", UITabBarController::cls())
        .method<tabs::radioEnabledDidChange>("_isRadioEnabledDidChangeNotification:")
        .method<tabs::availableLibrariesDidChange>("_availableMediaLibrariesDidChangeNotification:")
        .method<tabs::mediaLibraryDidChange>("_mediaLibraryDidChangeNotification:")
        .OBJC_IVAR(MusicTabBarController, _radioEnabledChanges)
        .OBJC_IVAR(MusicTabBarController, _availableLibrariesChanges)
        .OBJC_IVAR(MusicTabBarController, _mediaLibraryChanges);
    objc::ClassDef<MusicNowPlayingPlaybackControlsView>("MusicNowPlayingPlaybackControlsView", UIView::cls())
        .method<nowPlaying::controlsLayoutSubviews>("layoutSubviews");
    objc::ClassDef<MusicNowPlayingViewController>("MusicNowPlayingViewController", UIViewController::cls())
        .method<nowPlaying::initWithNibNameBundle>("initWithNibName:bundle:")
        .method<nowPlaying::item>("item")
        .method<nowPlaying::setItem>("setItem:")
        .method<nowPlaying::albumText>("albumText")
        .method<nowPlaying::playbackControlsView>("playbackControlsView")
        .method<nowPlaying::loadView>("loadView")
        .method<nowPlaying::viewWillAppear>("viewWillAppear:")
        .method<nowPlaying::viewDidLayoutSubviews>("viewDidLayoutSubviews")
        .method<nowPlaying::albumTextForItem>("_albumTextForItem:")
        .OBJC_IVAR(MusicNowPlayingViewController, _item)
        .OBJC_IVAR(MusicNowPlayingViewController, _albumText)
        .OBJC_IVAR(MusicNowPlayingViewController, _playbackControlsView);
    objc::ClassDef<MusicAlbumsDetailTableHeaderView>("MusicAlbumsDetailTableHeaderView", UIView::cls())
        .method<albumDetail::headerLayoutSubviews>("layoutSubviews")
        .method<albumDetail::headerTableView>("tableView")
        .method<albumDetail::setHeaderTableView>("setTableView:")
        .OBJC_IVAR(MusicAlbumsDetailTableHeaderView, _tableView);
    objc::ClassDef<MusicFlipsideAlbumDetailViewController>("MusicFlipsideAlbumDetailViewController",
                                                           UIViewController::cls())
        .method<albumDetail::flipsideLoadView>("loadView")
        .method<albumDetail::flipsideTableView>("tableView")
        .method<albumDetail::flipsideDataSource>("dataSource")
        .method<albumDetail::flipsideSetDataSource>("setDataSource:")
        .method<albumDetail::flipsideReloadData>("reloadData")
        .OBJC_IVAR(MusicFlipsideAlbumDetailViewController, _dataSource);
    objc::ClassDef<MusicFlipsideAlbumDetailHeaderView>("MusicFlipsideAlbumDetailHeaderView", UIView::cls())
        .method<albumDetail::flipsideHeaderLayoutSubviews>("layoutSubviews");
    objc::ClassDef<MusicTableViewController>("MusicTableViewController", UIViewController::cls())
        .method<list::loadView>("loadView")
        .method<list::viewDidLoad>("viewDidLoad")
        .method<list::tableView>("tableView")
        .method<list::numberOfSections>("numberOfSectionsInTableView:")
        .method<list::numberOfRows>("tableView:numberOfRowsInSection:")
        .method<list::cellForRow>("tableView:cellForRowAtIndexPath:")
        .method<list::commitEditingStyle>("tableView:commitEditingStyle:forRowAtIndexPath:")
        .method<list::viewForHeader>("tableView:viewForHeaderInSection:")
        .method<list::willDisplayHeaderView>("tableView:willDisplayHeaderView:forSection:")
        .OBJC_IVAR(MusicTableViewController, _deleteCommits);
    objc::ClassDef<MusicTableViewCell>("MusicTableViewCell", UITableViewCell::cls());
    objc::ClassDef<MusicSongListTableViewCell>("MusicSongListTableViewCell", MusicTableViewCell::cls())
        .method<list::songCellInit>("initWithStyle:reuseIdentifier:");
}
