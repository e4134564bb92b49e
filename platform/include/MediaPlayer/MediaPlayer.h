// The MediaPlayer classes of the platform.
#pragma once

#include <MediaPlayer/MPAVController.h>
#include <MediaPlayer/MPAudioDeviceController.h>
#include <MediaPlayer/MPMediaLibraryArtworkDataSource.h>
#include <MediaPlayer/MPMediaQueryShuffledItems.h>
#include <MediaPlayer/MPUNowPlayingPlaybackControlsView.h>
