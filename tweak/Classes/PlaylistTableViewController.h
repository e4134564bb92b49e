// PlaylistTableViewController: the "Playing list" screen, a grouped table of
// the Music app's live play queue in play order, the playing song marked by
// the app's now-playing indicator. A tap plays (or pauses) a row; dragging a
// row reorders the live queue. One instance for the process, made by the
// first +sharedInstance and kept for good.
//
//   +sharedInstance            id()    the instance, made (with its three
//                                      notification registrations) on first use
//   +sharedInstanceIfAlive     id()    the instance or nil; never makes one
//   -loadupTable:              void(BOOL)   the rows from the live queue, editing on,
//                                      reload; with YES scrolls the playing row to the top
//   -nowPlayingItemChanged:, -nowPlayingStateChanged:   void(id)   the visible rows reload
//   -handleEnteredBackground:  void(id)   the navigation controller pops its top screen
//
// Every appearance loads the queue of that moment (the first one scrolls).
// A row move reaches the live queue only while the queue still holds the
// rows shown before the move; otherwise the list shows the queue again and
// the move is dropped, so nothing queued meanwhile is lost. The notification
// handlers run inline on the main thread and hop to the main queue when
// posted from another thread.
//
// A row's picture may be read from the library when its cell appears, after
// the action that loaded the rows: read outside any action, it shares the
// deadline for a locked library (platform::MediaLibraryWait) of the action
// that last loaded or reloaded the rows, so a screen of them costs one wait
// in all; a picture that could not be read shows the white square.
#pragma once

#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UITableViewController.h>

struct PlaylistTableViewController : UITableViewController {
    OBJC_CLASS(PlaylistTableViewController)

    // The rows (NSMutableArray of media items); nil until the first load.
    Strong<NSObject> tmp;
    // The deadline of the action that last loaded or reloaded the rows.
    platform::MediaLibraryWait::Clock::time_point picturesDeadline;
};

void registerPlaylistTableViewController();
