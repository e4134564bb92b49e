// The now-playing screen.
//
// MusicNowPlayingViewController : UIViewController
//   initWithNibName:bundle:    id(id, id)
//   item / setItem:            id() / void(id)   the item on screen, retained; a new item
//                                                marks the view and the controls for layout
//   loadView                   void()            a white view with the artwork and the
//                                                playback controls; the navigation item's
//                                                own right item ("Tracks", tag 0)
//   viewWillAppear:            void(BOOL)        refreshes the album line: _albumTextForItem:
//                                                with a MusicQueryNowPlayingItem of the item,
//                                                the controls' title and album labels, then
//                                                music_updateStoreNavigationItem
//   viewDidLayoutSubviews      void()            the controls take the bottom of the view:
//                                                the height below a square of the view's
//                                                width, at least kMusicNowPlayingControlsHeight;
//                                                the artwork a square of the view's width over
//                                                them, or where that would reach them (turned),
//                                                the largest square between the navigation bar
//                                                and them, centred
//   _albumTextForItem:         id(id)            the albumTitle of the argument's mediaItem
//                                                (when it answers it), else nil
//   albumText                  id()              as of the last viewWillAppear:
//   playbackControlsView       id()
//   _didUpdateArtworkImage     void()            shows the item's artwork in the placeholder
//                                                artwork view (an MPUSlantedTextPlaceholderArtworkView,
//                                                UIImageView, first among the view's subviews)
//
// MusicNowPlayingPlaybackControlsView : UIView
//   initWithFrame:             id(CGRect)   with its subviews, in this order: the position
//                                            slider (MPDetailSlider), the title label and
//                                            the album label
//   layoutSubviews             void()       slider (8, 10, width - 16, 30), title label
//                                            (16, 44, width - 32, 20), album label
//                                            (16, 66, width - 32, 18)
//   titleLabel / albumLabel    id()
//
// MusicQueryNowPlayingItem : NSObject   what the app asks the album line of
//   initWithMediaItem:         id(id)   the media item it plays (nil for one it has not,
//                                        such as a radio track), retained
//   mediaItem                  id()
#pragma once

#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>

struct MusicNowPlayingPlaybackControlsView : UIView {
    OBJC_CLASS(MusicNowPlayingPlaybackControlsView)

    UIView* _titleLabel = nullptr;  // a subview
    UIView* _albumLabel = nullptr;  // a subview
};

struct MusicQueryNowPlayingItem : NSObject {
    OBJC_CLASS(MusicQueryNowPlayingItem)

    Strong<NSObject> _mediaItem;
};

struct MusicNowPlayingViewController : UIViewController {
    OBJC_CLASS(MusicNowPlayingViewController)

    id _item = nil;       // owned
    id _albumText = nil;  // owned
    MusicNowPlayingPlaybackControlsView* _playbackControlsView = nullptr;  // owned (and a subview)

    ~MusicNowPlayingViewController() override;
};

// The least height of the playback controls at the bottom of the now-playing view.
inline constexpr CGFloat kMusicNowPlayingControlsHeight = 180;

namespace platform {
// How often _didUpdateArtworkImage ran in this process.
int nowPlayingArtworkUpdates();
}  // namespace platform
