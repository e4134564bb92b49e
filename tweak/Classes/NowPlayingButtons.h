// The now-playing screen's add-to-playlist and edit buttons. The library
// follows the now-playing controller through four of its methods and keeps
// the controller it last saw (weakly: it never outlives the app's own) and
// the media item the screen shows (strongly, so that a button never acts on
// a freed item); the playback controls' layout places one container per
// button beside the position slider while an item is kept, and removes them
// once it is cleared. The entries stand in the installation table
// (Cantrel.cpp).
#pragma once

#include <objc/NSObject.h>
#include <objc/runtime.h>

struct MusicNowPlayingViewController;
struct MusicNowPlayingPlaybackControlsView;

extern Slot<id(MusicNowPlayingViewController*, SEL, id)> __albumTextForItem$MusicNowPlayingViewController;
extern Slot<void(MusicNowPlayingViewController*, SEL, BOOL)> _viewWillAppear$MusicNowPlayingViewController;
extern Slot<void(MusicNowPlayingViewController*, SEL)> _viewDidLayoutSubviews$MusicNowPlayingViewController;
extern Slot<id(MusicNowPlayingViewController*, SEL, id, id)> _initWithNibName_bundle$MusicNowPlayingViewController;
extern Slot<void(MusicNowPlayingPlaybackControlsView*, SEL)> _layoutSubviews$MusicNowPlayingPlaybackControlsView;

id _albumTextForItem$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd, id item);
void viewWillAppear$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd, BOOL animated);
void viewDidLayoutSubviews$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd);
id initWithNibName_bundle$MusicNowPlayingViewController(MusicNowPlayingViewController* self, SEL _cmd, id nibName,
                                                        id bundle);
void layoutSubviews$MusicNowPlayingPlaybackControlsView(MusicNowPlayingPlaybackControlsView* self, SEL _cmd);

// The added actions of the playback controls (the sender is not used): the
// add-to-playlist picker and the edit sheet for the kept item, over the kept
// controller; nothing while either is gone.
void addToPlaylist(id self, SEL _cmd, id sender);
void editItemOnNowPlayingView(id self, SEL _cmd, id sender);

// What the buttons act on: the now-playing controller last seen (nil once
// it has gone) and the media item it shows, or nil.
id currentNowPlayingViewController();
id currentNowPlayingMediaItem();

// A 50 x 50 clear CustomDrawView (+1) holding a clear 50 x 50 toolbar (an
// empty background picture, tag 99, clipping) whose only item is the system
// item, sent to `target` with `action`.
id newToolbarButtonContainer(NSInteger systemItem, id target, SEL action);

// The tag of a button container's toolbar.
inline constexpr NSInteger kButtonContainerToolbarTag = 99;
