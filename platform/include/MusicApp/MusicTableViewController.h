// The app's list screens and their rows.
//
// MusicTableViewController : UIViewController — data source and delegate of its table
//   loadView                                        void()   a plain UITableView
//   viewDidLoad                                     void()   -> _music_updateForContentChangeForInitialViewLoad: YES
//   tableView                                       id()     the view
//   numberOfSectionsInTableView:                    NSInteger(id)             1
//   tableView:numberOfRowsInSection:                NSInteger(id, NSInteger)  0 (no library yet)
//   tableView:cellForRowAtIndexPath:                id(id, id)   an autoreleased MusicSongListTableViewCell
//   tableView:commitEditingStyle:forRowAtIndexPath: void(id, NSInteger, id)   a delete is counted in _deleteCommits
//   tableView:viewForHeaderInSection:               id(id, NSInteger)   nil (no section headers)
//   tableView:willDisplayHeaderView:forSection:     void(id, id, NSInteger)
//
// MusicTableViewCell : UITableViewCell
// MusicSongListTableViewCell : MusicTableViewCell
//   initWithStyle:reuseIdentifier:                  id(NSInteger, id)
#pragma once

#include <UIKit/UITableViewCell.h>
#include <UIKit/UIViewController.h>

struct MusicTableViewController : UIViewController {
    OBJC_CLASS(MusicTableViewController)

    NSInteger _deleteCommits = 0;

    ~MusicTableViewController() override;
};

struct MusicTableViewCell : UITableViewCell {
    OBJC_CLASS(MusicTableViewCell)
};

struct MusicSongListTableViewCell : MusicTableViewCell {
    OBJC_CLASS(MusicSongListTableViewCell)
};

// The reuse identifier of the song rows.
inline constexpr const char* kMusicSongListCellIdentifier = "MusicSongListTableViewCell";
