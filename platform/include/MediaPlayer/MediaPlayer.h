// The MediaPlayer classes of the platform.
#pragma once

#include <MediaPlayer/MPAVController.h>
#include <MediaPlayer/MPAudioDeviceController.h>
#include <MediaPlayer/MPDetailSlider.h>
#include <MediaPlayer/MPMediaItem.h>
#include <MediaPlayer/MPMediaItemCollection.h>
#include <MediaPlayer/MPMediaLibraryArtworkDataSource.h>
#include <MediaPlayer/MPMediaQuery.h>
#include <MediaPlayer/MPMediaQueryShuffledItems.h>
#include <MediaPlayer/MPUNowPlayingPlaybackControlsView.h>
#include <MediaPlayer/MediaLibrary.h>
