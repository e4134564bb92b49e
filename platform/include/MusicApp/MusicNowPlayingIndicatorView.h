// MusicNowPlayingIndicatorView : UIView — the Music app's small picture of
// the playing song: three bars.
//
//   initWithFrame:             id(CGRect)
//   playbackState / setPlaybackState:   NSInteger() / void(NSInteger)   1 playing (tall
//                              bars of differing heights in the tint colour), 2 not playing
//                              (three short equal bars in grey); 0 (none) draws nothing
//   drawRect:                  void(CGRect)
#pragma once

#include <UIKit/UIView.h>

inline constexpr NSInteger MusicNowPlayingIndicatorViewStatePlaying = 1;
inline constexpr NSInteger MusicNowPlayingIndicatorViewStateNotPlaying = 2;

struct MusicNowPlayingIndicatorView : UIView {
    OBJC_CLASS(MusicNowPlayingIndicatorView)

    NSInteger _playbackState = 0;
};
