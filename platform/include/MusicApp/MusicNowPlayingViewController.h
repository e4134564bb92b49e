// The now-playing screen.
//
// MusicNowPlayingViewController : UIViewController
//   initWithNibName:bundle:    id(id, id)
//   item / setItem:            id() / void(id)   the item on screen, retained
//   loadView                   void()            a view with the playback controls
//   viewWillAppear:            void(BOOL)        refreshes the album line: _albumTextForItem:,
//                                                then music_updateStoreNavigationItem
//   viewDidLayoutSubviews      void()            the controls take the bottom of the view
//   _albumTextForItem:         id(id)            the item's albumTitle (when it answers it), else nil
//   albumText                  id()              as of the last viewWillAppear:
//   playbackControlsView       id()
//   _didUpdateArtworkImage     void()            shows the item's artwork in the placeholder
//                                                artwork view (an MPUSlantedTextPlaceholderArtworkView,
//                                                UIImageView, first among the view's subviews)
//
// MusicNowPlayingPlaybackControlsView : UIView
//   layoutSubviews             void()
#pragma once

#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

struct MusicNowPlayingPlaybackControlsView : UIView {
    OBJC_CLASS(MusicNowPlayingPlaybackControlsView)
};

struct MusicNowPlayingViewController : UIViewController {
    OBJC_CLASS(MusicNowPlayingViewController)

    id _item = nil;       // owned
    id _albumText = nil;  // owned
    MusicNowPlayingPlaybackControlsView* _playbackControlsView = nullptr;  // owned (and a subview)

    ~MusicNowPlayingViewController() override;
};

// Height of the playback controls at the bottom of the now-playing view.
inline constexpr CGFloat kMusicNowPlayingControlsHeight = 96;

namespace platform {
// How often _didUpdateArtworkImage ran in this process.
int nowPlayingArtworkUpdates();
}  // namespace platform
