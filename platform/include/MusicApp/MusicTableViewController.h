// The app's list screens and their rows.
//
// MusicTableViewController : UIViewController — data source and delegate of its table
//   loadView                                        void()   a plain UITableView of the main screen's bounds
//   viewDidLoad                                     void()   -> _music_updateForContentChangeForInitialViewLoad: YES,
//                                                            then the table's reloadData
//   viewWillAppear:                                 void(BOOL) -> music_updateStoreNavigationItem
//   tableView                                       id()     the view
// When the controller goes, its table stops pointing at it and a row left
// swiped closes (setEditing: NO), so that buttons whose actions hold the
// table let it go.
//
// Its entities (what the rows show) come from a data source
// (MusicLibraryDataSource.h) that the controller makes on first use from
// the three methods each screen overrides:
//   loadEntities                                    id()     NSArray of the screen's media items or
//                                                            collections; nil here (no data source)
//   titleForEntity:                                 id(id)   the row text of an entity; nil here
//   groupsEntitiesBySection                         BOOL()   NO here: one section in the entities'
//                                                            order; YES: sections A..Z and "#"
//   cellClass                                       id()     the Class of the entity rows'
//                                                            cells: MusicSongListTableViewCell here
//   dataSource / setDataSource:                     id() / void(id)   retained; nil on a screen
//                                                            without entities
//   reloadDataSource                                void()   forgets the data source (made again
//                                                            on the next ask) and reloads the table
//   collection / setCollection:                     id() / void(id)   the album or playlist a
//                                                            detail screen shows (retained)
//
// Table layout. Normally the table's sections are `dataSourceSectionOffset`
// empty header sections followed by the data source's sections, and
// `numberOfActionRows` action rows (Shuffle, Play All, Genius…) come first in
// the first data-source section. With `allowsActions` the data source has a
// single section: table section 0 holds the action rows and table section 1
// the entities. A screen with nothing shows one empty section.
//   sectionForDataSourceSection:                    int(NSInteger)   table section of a
//                                                            data-source section (+ offset)
//   numberOfActionRowsInTableView:                  NSInteger(id)
//   allowsActions                                   BOOL()
//   dataSourceSectionOffset / setDataSourceSectionOffset:   NSInteger() / void(NSInteger)   0
//   setNumberOfActionRows:                          void(NSInteger)   0 unless set
//   setAllowsActions:                               void(BOOL)        NO unless set
//   dataSourceIndexPathForIndexPath:                id(id)   the data source's index path of a
//                                                            table row; nil for action rows,
//                                                            header sections and rows past the end
//   (each setter reloads the data source and the table)
//
// The table's data source and delegate methods:
//   numberOfSectionsInTableView:                    NSInteger(id)
//   tableView:numberOfRowsInSection:                NSInteger(id, NSInteger)
//   tableView:cellForRowAtIndexPath:                id(id, id)   an autoreleased cell: for an
//                                                    entity a cellClass cell (reused through
//                                                    dequeueReusableCellWithIdentifier:) with the
//                                                    entity's title and artwork; for an action row
//                                                    a MusicMediaTableViewCell titled by the action
//                                                    (no artwork);
//                                                    a bare cellClass cell for anything else
//   tableView:titleForHeaderInSection:              id(id, NSInteger)   the data-source
//                                                    section's title, nil for other sections
//   tableView:commitEditingStyle:forRowAtIndexPath: void(id, NSInteger, id)   a delete is counted in
//                                                    _deleteCommits, ends the table's editing, deletes the
//                                                    row's entity from the media library
//                                                    (platform::deleteMediaEntity; counted in
//                                                    _deletedEntities) and reloads the data source
//   tableView:viewForHeaderInSection:               id(id, NSInteger)   nil (no section header views)
//   tableView:willDisplayHeaderView:forSection:     void(id, id, NSInteger)
//
// MusicTableViewCell : UITableViewCell
// MusicMediaTableViewCell : MusicTableViewCell — a row with a picture
//   initWithStyle:reuseIdentifier:                  id(NSInteger, id)   makes _mediaCellContentView
//   artworkImage                                    id()     the UIImage shown, or nil
//   setArtworkImage:                                void(id)         -> setArtworkImage:animated: NO
//   setArtworkImage:animated:                       void(id, BOOL)   keeps it and hands it to the
//                                                            content view (setArtworkImage:animated:)
//   ivar _mediaCellContentView                      a MusicMediaCellContentView filling contentView
//   layoutSubviews                                  void()   with artwork the text label starts
//                                                            15 points after the artwork's square
// MusicSongListTableViewCell : MusicMediaTableViewCell
//   initWithStyle:reuseIdentifier:                  id(NSInteger, id)
//
// MusicMediaCellContentView : UIView — draws a media row
//   artworkImage                                    id()
//   setArtworkImage:                                void(id)
//   setArtworkImage:animated:                       void(id, BOOL)
//   setNeedsContentReload                           void()   marks the content stale
//   reloadContent                                   void()   redraws: counted in _contentReloads,
//                                                            clears the mark
//   drawRect:                                       void(CGRect)   the artwork (drawInRect:) in a
//                                                            square of the row's height at the left
#pragma once

#include <UIKit/UITableViewCell.h>
#include <UIKit/UIViewController.h>

struct MusicLibraryDataSource;
struct UIImage;

struct MusicTableViewController : UIViewController {
    OBJC_CLASS(MusicTableViewController)

    NSInteger _deleteCommits = 0;
    NSInteger _deletedEntities = 0;
    MusicLibraryDataSource* _dataSource = nullptr;  // owned
    BOOL _dataSourceLoaded = NO;
    id _collection = nil;  // owned
    NSInteger _dataSourceSectionOffset = 0;
    NSInteger _numberOfActionRows = 0;
    BOOL _allowsActions = NO;

    ~MusicTableViewController() override;
};

struct MusicTableViewCell : UITableViewCell {
    OBJC_CLASS(MusicTableViewCell)
};

struct MusicMediaCellContentView : UIView {
    OBJC_CLASS(MusicMediaCellContentView)

    UIImage* _artworkImage = nullptr;  // owned
    BOOL _needsContentReload = NO;
    NSInteger _contentReloads = 0;

    ~MusicMediaCellContentView() override;
};

struct MusicMediaTableViewCell : MusicTableViewCell {
    OBJC_CLASS(MusicMediaTableViewCell)

    UIImage* _artworkImage = nullptr;                          // owned
    MusicMediaCellContentView* _mediaCellContentView = nullptr;  // owned (and a subview of contentView)

    ~MusicMediaTableViewCell() override;
};

struct MusicSongListTableViewCell : MusicMediaTableViewCell {
    OBJC_CLASS(MusicSongListTableViewCell)
};

// The reuse identifier of the song rows.
inline constexpr const char* kMusicSongListCellIdentifier = "MusicSongListTableViewCell";
// The reuse identifier of the other media rows (albums, artists…).
inline constexpr const char* kMusicMediaCellIdentifier = "MusicMediaTableViewCell";
// The reuse identifier of the action rows.
inline constexpr const char* kMusicActionCellIdentifier = "MusicActionTableViewCell";
// The size the rows ask their artwork for.
inline constexpr double kMusicCellArtworkSize = 60;
