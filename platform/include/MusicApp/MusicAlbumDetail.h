// The album detail screens: the header above an album's songs, and the
// album seen from the back (flipside).
//
// MusicAlbumsDetailTableHeaderView : UIView
//   layoutSubviews               void()
//   tableView / setTableView:    id() / void(id)   the table it heads; not retained
//
// MusicFlipsideAlbumDetailViewController : UIViewController
//   loadView                     void()   a plain UITableView, its data source the controller's
//   tableView                    id()     the view
//   dataSource / setDataSource:  id() / void(id)   not retained; passed on to the table view
//   reloadData                   void()   -> the table view's reloadData
//
// MusicFlipsideAlbumDetailHeaderView : UIView
//   layoutSubviews               void()
#pragma once

#include <UIKit/UITableView.h>
#include <UIKit/UIViewController.h>

struct MusicAlbumsDetailTableHeaderView : UIView {
    OBJC_CLASS(MusicAlbumsDetailTableHeaderView)

    UITableView* _tableView = nullptr;
};

struct MusicFlipsideAlbumDetailViewController : UIViewController {
    OBJC_CLASS(MusicFlipsideAlbumDetailViewController)

    id _dataSource = nil;
};

struct MusicFlipsideAlbumDetailHeaderView : UIView {
    OBJC_CLASS(MusicFlipsideAlbumDetailHeaderView)
};
