// The record of one media library entry and of the screen it was acted on
// from, carried from a row's button, the now-playing screen or the flipside
// album view to the handlers.
#pragma once

#include <objc/NSObject.h>

struct NSArray;
struct NSIndexPath;
struct NSString;
struct UITableView;

// The screen an entry comes from.
using MusicViewIndex = long;
inline constexpr MusicViewIndex kViewIndexNone = -1;  // compilations, or no known screen
inline constexpr MusicViewIndex kViewIndexSongs = 0;
inline constexpr MusicViewIndex kViewIndexArtists = 1;
inline constexpr MusicViewIndex kViewIndexAlbums = 2;
inline constexpr MusicViewIndex kViewIndexAlbumTracks = 3;
inline constexpr MusicViewIndex kViewIndexComposers = 6;
inline constexpr MusicViewIndex kViewIndexGenres = 7;
inline constexpr MusicViewIndex kViewIndexPlaylists = 8;
inline constexpr MusicViewIndex kViewIndexPlaylistSongs = 9;
inline constexpr MusicViewIndex kViewIndexFlipsideAlbum = 10;
inline constexpr MusicViewIndex kViewIndexNowPlaying = 12;

// Made per action (alloc/init, then autoreleased) and passed by reference.
// After plain creation every reference is nil and every number 0. The index
// paths, the media item, the collection, the collection's items, the
// artwork and the edited name are owned; the controllers and the table view
// are the Music app's, followed weakly: the app frees a screen when the user
// leaves it, and a record that outlives it (an open sheet, a block waiting
// on the main queue) then finds nil.
struct ItemEntry : NSObject {
    OBJC_CLASS(ItemEntry)

    Weak<objc_object> currentNowPlayingViewController;  // MusicNowPlayingViewController, view index 12 only
    Weak<objc_object> currentViewController;            // the table's delegate: the list screen's controller
    Strong<NSIndexPath> currentIndexPath;    // in the data source's sections
    Strong<NSIndexPath> origionalIndexPath;  // as the table view gave it
    Strong<NSObject> mediaItem;              // MPConcreteMediaItem
    Strong<NSObject> mediaItemCollection;    // MPConcreteMediaItemCollection
    Strong<NSArray> mediaItemCollectionItems;
    Strong<NSObject> artwork;  // UIImage, 80x80
    MusicViewIndex viewIndex = 0;
    Weak<UITableView> tableView;
    long genreIndex = 0;
    long artistIndex = 0;
    Strong<NSString> editName;
    // A picture picked for the sheet and not yet saved: kept from the pick
    // until Save (which imports it) or Cancel (which drops it), whichever
    // sub-screens reopen the sheet meanwhile.
    Strong<NSObject> pendingArtwork;  // UIImage
};

void registerItemEntry();

// The screen of a list controller; -1 when it is none of the known ones.
MusicViewIndex getViewIndex(id controller);

// The name of a view index in log lines; "" for an unknown value.
NSString* getViewIndexNameByMusicViewIndex(long viewIndex);

// Fills `entry` from a table row (or, for view index 12, from `extra`: an
// array of the now-playing controller and its media item).
void assignMediaItem(UITableView* tableView, NSIndexPath* indexPath, long viewIndex, ItemEntry* entry, id extra);

// The entry's 80x80 picture of a media item: its artwork, else the file of
// its artwork token in the media library; nil when there is none.
id artworkForMediaItem(id mediaItem);
