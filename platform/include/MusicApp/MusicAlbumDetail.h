// The album detail screens: the header above an album's songs, and the
// album seen from the back (flipside).
//
// MusicAlbumsDetailTableHeaderView : UIView
//   layoutSubviews               void()
//   tableView / setTableView:    id() / void(id)   the table it heads; not retained
//
// MusicFlipsideAlbumDetailViewController : UIViewController
//   loadView                     void()   a UITableView of the main screen's bounds: its delegate
//                                         the controller, its data source the controller's, its
//                                         header view a MusicFlipsideAlbumDetailHeaderView
//                                         (kMusicFlipsideHeaderHeight high)
//   tableView                    id()     the view
//   dataSource / setDataSource:  id() / void(id)   retained; passed on to the table view. The
//                                         app's is a MusicLibraryDataSource of the playing
//                                         album's tracks (its `entities`)
//   reloadData                   void()   -> the table view's reloadData
//   sectionForDataSourceSection: int(NSInteger)   the same section: the table has no
//                                         sections of its own
//
// MusicFlipsideAlbumDetailHeaderView : UIView
//   layoutSubviews               void()   the album's title, and its artist under it, at the
//                                         left (MusicApp::showFlipside sets their text)
#pragma once

#include <UIKit/UITableView.h>
#include <UIKit/UIViewController.h>

struct MusicAlbumsDetailTableHeaderView : UIView {
    OBJC_CLASS(MusicAlbumsDetailTableHeaderView)

    UITableView* _tableView = nullptr;
};

struct MusicFlipsideAlbumDetailViewController : UIViewController {
    OBJC_CLASS(MusicFlipsideAlbumDetailViewController)

    id _dataSource = nil;  // owned

    ~MusicFlipsideAlbumDetailViewController() override;
};

struct MusicFlipsideAlbumDetailHeaderView : UIView {
    OBJC_CLASS(MusicFlipsideAlbumDetailHeaderView)

    UIView* _albumLabel = nullptr;   // UILabel, a subview
    UIView* _artistLabel = nullptr;  // UILabel, a subview
};

inline constexpr double kMusicFlipsideHeaderHeight = 140;
