// The Music app's list screens, each a MusicTableViewController over the
// media library (MusicTableViewController.h for what they share).
//
//   screen                               entities (loadEntities)                 row title        grouped
//   MusicSongsViewController             songsQuery items                        title            yes
//   MusicArtistsViewController           artistsQuery collections                albumArtist      yes
//   MusicAlbumsViewController            albumsQuery collections                 albumTitle       yes
//   MusicAlbumsDetailViewController      its collection's items (an album)       title            no
//   MusicComposersViewController         composersQuery collections              composer         yes
//   MusicGenresViewController            genresQuery collections                 genre            yes
//   MusicPlaylistsListViewController     playlistsQuery collections              "name" of the
//                                                                                playlist's
//                                                                                _properties      no
//   MusicPlaylistSongsViewController     its collection's items (a playlist)     title            no
//   MusicCompilationsViewController      compilationsQuery collections           albumTitle       yes
//
// Screens of songs (songs, an album's, a playlist's) use
// MusicSongListTableViewCell rows; the others MusicMediaTableViewCell rows,
// whose artwork is that of the collection's representative item.
//
// An album's tracks live inside a MusicAlbumsDetailContainerViewController:
//   detailViewController / setDetailViewController:   id() / void(id)   its child of that
//                                                      class (nil when none), whose view fills
//                                                      the container's view; setting replaces it
//   viewWillAppear: / viewDidAppear: / viewWillDisappear: / viewDidDisappear:   void(BOOL)
//                                                      passed on to the child
//
// MusicAlbumsDetailViewController's table has a MusicAlbumsDetailTableHeaderView
// (kMusicAlbumsDetailHeaderHeight high) as its header view.
#pragma once

#include <MusicApp/MusicTableViewController.h>

struct MusicSongsViewController : MusicTableViewController {
    OBJC_CLASS(MusicSongsViewController)
};

struct MusicArtistsViewController : MusicTableViewController {
    OBJC_CLASS(MusicArtistsViewController)
};

struct MusicAlbumsViewController : MusicTableViewController {
    OBJC_CLASS(MusicAlbumsViewController)
};

struct MusicAlbumsDetailViewController : MusicTableViewController {
    OBJC_CLASS(MusicAlbumsDetailViewController)
};

struct MusicComposersViewController : MusicTableViewController {
    OBJC_CLASS(MusicComposersViewController)
};

struct MusicGenresViewController : MusicTableViewController {
    OBJC_CLASS(MusicGenresViewController)
};

struct MusicPlaylistsListViewController : MusicTableViewController {
    OBJC_CLASS(MusicPlaylistsListViewController)
};

struct MusicPlaylistSongsViewController : MusicTableViewController {
    OBJC_CLASS(MusicPlaylistSongsViewController)
};

struct MusicCompilationsViewController : MusicTableViewController {
    OBJC_CLASS(MusicCompilationsViewController)
};

struct MusicAlbumsDetailContainerViewController : UIViewController {
    OBJC_CLASS(MusicAlbumsDetailContainerViewController)
};

inline constexpr double kMusicAlbumsDetailHeaderHeight = 88;
