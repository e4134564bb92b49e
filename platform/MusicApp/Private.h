// Registration of the Music app's classes, one function per source file.
#pragma once

struct objc_object;

namespace platform::musicapp {
void registerQueueFeeders();     // MPQueueFeeder, MusicQueryQueueFeeder
void registerRadio();            // RadioTrack, RURadioQueueFeeder
void registerViewControllers();  // the app's root, tabs, now-playing and album detail controllers and views
void registerNowPlayingIndicator();  // MusicNowPlayingIndicatorView
void registerNowPlayingArtwork();  // the now-playing placeholder artwork view, _didUpdateArtworkImage
// Adds the placeholder artwork view to a now-playing controller's view.
void addNowPlayingArtworkView(objc_object* controller);
void registerListScreens();      // MusicTableViewController, its screens, data source and cells
}  // namespace platform::musicapp
