// The Music app's root, tabs, now-playing and album detail controllers and
// views (the list screens are in ListScreens.cpp).
#include "../UIKit/ObjectSupport.h"
#include "Private.h"

#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPHRootViewController.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTabBarController.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>

#include <algorithm>
#include <climits>

using namespace platform::support;

MPHRootViewController::~MPHRootViewController() { clearStrong(_tabBarController); }

MusicFlipsideAlbumDetailViewController::~MusicFlipsideAlbumDetailViewController() {
    if (auto* table = objectAs<UITableView>(_view)) {
        if (table->_delegate == this) table->_delegate = nil;
        if (table->_dataSource == _dataSource) table->_dataSource = nil;
    }
    clearStrong(_dataSource);
}

MusicNowPlayingViewController::~MusicNowPlayingViewController() {
    clearStrong(_item);
    clearStrong(_albumText);
    clearStrong(_playbackControlsView);
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
void setItem(MusicNowPlayingViewController* self, SEL, id item) {
    bool changed = item != self->_item;
    storeStrong(self->_item, item);
    if (!changed || !objc_msgSend<BOOL()>(self, "isViewLoaded"_sel)) return;
    objc_msgSend<void()>(objc_msgSend<id()>(self, "view"_sel), "setNeedsLayout"_sel);
    objc_msgSend<void()>(self->_playbackControlsView, "setNeedsLayout"_sel);
}
id albumText(MusicNowPlayingViewController* self, SEL) { return self->_albumText; }
id playbackControlsView(MusicNowPlayingViewController* self, SEL) { return self->_playbackControlsView; }

void loadView(MusicNowPlayingViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicNowPlayingViewController::cls(), "loadView"_sel);
    id alloced = objc_msgSend<id()>(MusicNowPlayingPlaybackControlsView::cls(), "alloc"_sel);
    auto controls = adoptObject<MusicNowPlayingPlaybackControlsView>(
        objc_msgSend<id(CGRect)>(alloced, "initWithFrame:"_sel, CGRectZero), "-[MusicNowPlayingViewController loadView]");
    storeStrong(self->_playbackControlsView, controls.get());
    platform::musicapp::addNowPlayingArtworkView(objc::as_id(self));
    id view = objc_msgSend<id()>(self, "view"_sel);
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel));
    objc_msgSend<void(id)>(view, "addSubview:"_sel, controls.get());
    id tracks = objc_msgSend<id(id, NSInteger, id, SEL)>(objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel),
                                                         "initWithTitle:style:target:action:"_sel, NSString::make("Tracks"),
                                                         UIBarButtonItemStylePlain, nil, static_cast<SEL>(nullptr));
    objc_msgSend<void(id)>(objc_msgSend<id()>(self, "navigationItem"_sel), "setRightBarButtonItem:"_sel, tracks);
    objc_release(tracks);
}

// What the app asks the album line of: the playing item as the player's
// queue wraps it (no media item for anything but a library item).
id nowPlayingItemFor(id item) {
    id media = objc_isKindOfClass(item, MPMediaItem::cls()) ? item : nil;
    id alloced = objc_msgSend<id()>(MusicQueryNowPlayingItem::cls(), "alloc"_sel);
    return objc_autorelease(objc_msgSend<id(id)>(alloced, "initWithMediaItem:"_sel, media));
}

void viewWillAppear(MusicNowPlayingViewController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, MusicNowPlayingViewController::cls(), "viewWillAppear:"_sel, animated);
    AutoreleasePool pool;
    id text = objc_msgSend<id(id)>(self, "_albumTextForItem:"_sel, nowPlayingItemFor(self->_item));
    storeStrong(self->_albumText, text);
    if (auto* controls = self->_playbackControlsView) {
        id title = objc_isKindOfClass(self->_item, MPMediaItem::cls())
                       ? objc_msgSend<id(id)>(self->_item, "valueForProperty:"_sel, NSString::make("title"))
                       : nil;
        objc_msgSend<void(id)>(controls->_titleLabel, "setText:"_sel, title);
        objc_msgSend<void(id)>(controls->_albumLabel, "setText:"_sel, text);
    }
    objc_msgSend<void()>(self, "music_updateStoreNavigationItem"_sel);
}

void viewDidLayoutSubviews(MusicNowPlayingViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicNowPlayingViewController::cls(), "viewDidLayoutSubviews"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(objc_msgSend<id()>(self, "view"_sel), "bounds"_sel);
    CGFloat below = CGRectGetHeight(bounds) - CGRectGetWidth(bounds);
    CGFloat height = std::min(std::max(kMusicNowPlayingControlsHeight, below), CGRectGetHeight(bounds));
    objc_msgSend<void(CGRect)>(self->_playbackControlsView, "setFrame:"_sel,
                               CGRectMake(0, CGRectGetMaxY(bounds) - height, CGRectGetWidth(bounds), height));
    platform::musicapp::layOutNowPlayingArtwork(objc::as_id(self), bounds, CGRectGetMaxY(bounds) - height);
}

id albumTextForItem(MusicNowPlayingViewController*, SEL, id item) {
    id media = objc_msgSend<BOOL(SEL)>(item, "respondsToSelector:"_sel, "mediaItem"_sel)
                   ? objc_msgSend<id()>(item, "mediaItem"_sel)
                   : nil;
    if (!objc_msgSend<BOOL(SEL)>(media, "respondsToSelector:"_sel, "albumTitle"_sel)) return nil;
    return objc_msgSend<id()>(media, "albumTitle"_sel);
}

id newLabel(double fontSize, id colour) {
    id label = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UILabel::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero);
    objc_msgSend<void(id)>(label, "setFont:"_sel,
                           objc_msgSend<id(double)>(UIFont::cls(), "systemFontOfSize:"_sel, fontSize));
    objc_msgSend<void(id)>(label, "setTextColor:"_sel, colour);
    objc_msgSend<void(NSInteger)>(label, "setTextAlignment:"_sel, NSTextAlignmentCenter);
    return label;
}

id controlsInitWithFrame(MusicNowPlayingPlaybackControlsView* self, SEL, CGRect frame) {
    self = objectAs<MusicNowPlayingPlaybackControlsView>(objc_msgSendSuper<id(CGRect)>(
        self, MusicNowPlayingPlaybackControlsView::cls(), "initWithFrame:"_sel, frame));
    if (self == nullptr) return nil;
    id slider = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(MPDetailSlider::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                         CGRectZero);
    objc_msgSend<void(id)>(self, "addSubview:"_sel, slider);
    objc_release(slider);
    id title = newLabel(17, objc_msgSend<id()>(UIColor::cls(), "blackColor"_sel));
    id album = newLabel(14, objc_msgSend<id()>(UIColor::cls(), "grayColor"_sel));
    for (id label : {title, album}) {
        objc_msgSend<void(id)>(self, "addSubview:"_sel, label);
        objc_release(label);
    }
    self->_titleLabel = static_cast<UIView*>(title);
    self->_albumLabel = static_cast<UIView*>(album);
    return self;
}

id controlsTitleLabel(MusicNowPlayingPlaybackControlsView* self, SEL) { return self->_titleLabel; }
id controlsAlbumLabel(MusicNowPlayingPlaybackControlsView* self, SEL) { return self->_albumLabel; }

void controlsLayoutSubviews(MusicNowPlayingPlaybackControlsView* self, SEL) {
    sendLayoutSubviewsToSuper(self, MusicNowPlayingPlaybackControlsView::cls());
    CGFloat width = CGRectGetWidth(objc_msgSend<CGRect()>(self, "bounds"_sel));
    id subviews = objc_msgSend<id()>(self, "subviews"_sel);
    for (NSUInteger i = 0, n = arrayCount(subviews); i < n; ++i) {
        id view = arrayObjectAt(subviews, i);
        if (objc_isKindOfClass(view, MPDetailSlider::cls()))
            objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, CGRectMake(8, 10, std::max<CGFloat>(0, width - 16), 30));
    }
    const CGFloat labelWidth = std::max<CGFloat>(0, width - 32);
    objc_msgSend<void(CGRect)>(self->_titleLabel, "setFrame:"_sel, CGRectMake(16, 44, labelWidth, 20));
    objc_msgSend<void(CGRect)>(self->_albumLabel, "setFrame:"_sel, CGRectMake(16, 66, labelWidth, 18));
}

id queryItemInit(MusicQueryNowPlayingItem* self, SEL, id mediaItem) {
    self = objectAs<MusicQueryNowPlayingItem>(objc_msgSendSuper<id()>(self, MusicQueryNowPlayingItem::cls(), "init"_sel));
    if (self != nullptr) self->_mediaItem = static_cast<NSObject*>(mediaItem);
    return self;
}

id queryItemMediaItem(MusicQueryNowPlayingItem* self, SEL) { return self->_mediaItem.get(); }

}  // namespace nowPlaying

namespace albumDetail {

void headerLayoutSubviews(MusicAlbumsDetailTableHeaderView* self, SEL) {
    sendLayoutSubviewsToSuper(self, MusicAlbumsDetailTableHeaderView::cls());
}

id headerTableView(MusicAlbumsDetailTableHeaderView* self, SEL) { return self->_tableView; }

void setHeaderTableView(MusicAlbumsDetailTableHeaderView* self, SEL, id table) {
    self->_tableView = requireObject<UITableView>(table, "-[MusicAlbumsDetailTableHeaderView setTableView:]");
}

// A screen-sized table headed by the album's header view; the controller is
// its delegate, the data source its data source.
void flipsideLoadView(MusicFlipsideAlbumDetailViewController* self, SEL) {
    id table = newTableView(UITableViewStylePlain);
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    objc_msgSend<void(CGRect)>(table, "setFrame:"_sel, screen);
    objc_msgSend<void(id)>(table, "setDelegate:"_sel, self);
    objc_msgSend<void(id)>(table, "setDataSource:"_sel, self->_dataSource);
    id alloced = objc_msgSend<id()>(MusicFlipsideAlbumDetailHeaderView::cls(), "alloc"_sel);
    id header = objc_msgSend<id(CGRect)>(alloced, "initWithFrame:"_sel,
                                         CGRectMake(0, 0, CGRectGetWidth(screen), kMusicFlipsideHeaderHeight));
    auto* flipsideHeader = static_cast<MusicFlipsideAlbumDetailHeaderView*>(header);
    id album = nowPlaying::newLabel(17, objc_msgSend<id()>(UIColor::cls(), "blackColor"_sel));
    id artist = nowPlaying::newLabel(15, objc_msgSend<id()>(UIColor::cls(), "grayColor"_sel));
    for (id label : {album, artist}) {
        objc_msgSend<void(NSInteger)>(label, "setTextAlignment:"_sel, NSTextAlignmentLeft);
        objc_msgSend<void(id)>(header, "addSubview:"_sel, label);
        objc_release(label);
    }
    flipsideHeader->_albumLabel = static_cast<UIView*>(album);
    flipsideHeader->_artistLabel = static_cast<UIView*>(artist);
    objc_msgSend<void(id)>(table, "setTableHeaderView:"_sel, header);
    objc_release(header);
    objc_msgSend<void(id)>(self, "setView:"_sel, table);
    objc_release(table);
}

id flipsideTableView(MusicFlipsideAlbumDetailViewController* self, SEL) {
    return objectAs<UITableView>(objc_msgSend<id()>(self, "view"_sel));
}

id flipsideDataSource(MusicFlipsideAlbumDetailViewController* self, SEL) { return self->_dataSource; }

void flipsideSetDataSource(MusicFlipsideAlbumDetailViewController* self, SEL, id dataSource) {
    storeStrong(self->_dataSource, dataSource);
    if (objc_msgSend<BOOL()>(self, "isViewLoaded"_sel))
        objc_msgSend<void(id)>(objc_msgSend<id()>(self, "tableView"_sel), "setDataSource:"_sel, dataSource);
}

// The table shows the data source's one section as it is, with no sections
// of its own before it.
int flipsideSectionForDataSourceSection(MusicFlipsideAlbumDetailViewController*, SEL, NSInteger section) {
    return static_cast<int>(std::clamp<NSInteger>(section, INT_MIN, INT_MAX));
}

void flipsideReloadData(MusicFlipsideAlbumDetailViewController* self, SEL) {
    objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
}

// The album's title and artist at the left, clear of the right end where an
// edit button may stand.
void flipsideHeaderLayoutSubviews(MusicFlipsideAlbumDetailHeaderView* self, SEL) {
    sendLayoutSubviewsToSuper(self, MusicFlipsideAlbumDetailHeaderView::cls());
    const CGFloat width = std::max<CGFloat>(0, CGRectGetWidth(objc_msgSend<CGRect()>(self, "bounds"_sel)) - 15 - 70);
    objc_msgSend<void(CGRect)>(self->_albumLabel, "setFrame:"_sel, CGRectMake(15, 44, width, 22));
    objc_msgSend<void(CGRect)>(self->_artistLabel, "setFrame:"_sel, CGRectMake(15, 68, width, 20));
}

}  // namespace albumDetail

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
        .method<nowPlaying::controlsInitWithFrame>("initWithFrame:")
        .method<nowPlaying::controlsTitleLabel>("titleLabel")
        .method<nowPlaying::controlsAlbumLabel>("albumLabel")
        .method<nowPlaying::controlsLayoutSubviews>("layoutSubviews");
    objc::ClassDef<MusicQueryNowPlayingItem>("MusicQueryNowPlayingItem", NSObject::cls())
        .method<nowPlaying::queryItemInit>("initWithMediaItem:")
        .method<nowPlaying::queryItemMediaItem>("mediaItem");
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
        .method<albumDetail::flipsideSectionForDataSourceSection>("sectionForDataSourceSection:")
        .OBJC_IVAR(MusicFlipsideAlbumDetailViewController, _dataSource);
    objc::ClassDef<MusicFlipsideAlbumDetailHeaderView>("MusicFlipsideAlbumDetailHeaderView", UIView::cls())
        .method<albumDetail::flipsideHeaderLayoutSubviews>("layoutSubviews");
}
