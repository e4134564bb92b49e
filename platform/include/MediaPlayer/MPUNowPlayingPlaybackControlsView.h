// MPUNowPlayingPlaybackControlsView: the transport controls of the
// now-playing screen.
//
//   initWithFrame:           id(CGRect)   defined on this class
//   delegate / setDelegate:  id() / void(id)   not retained
#pragma once

#include <UIKit/UIView.h>

struct MPUNowPlayingPlaybackControlsView : UIView {
    OBJC_CLASS(MPUNowPlayingPlaybackControlsView)

    id _delegate = nil;
};
