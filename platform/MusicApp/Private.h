// Registration of the Music app's classes, one function per source file.
#pragma once

namespace platform::musicapp {
void registerQueueFeeders();     // MPQueueFeeder, MusicQueryQueueFeeder
void registerRadio();            // RadioTrack, RURadioQueueFeeder
void registerViewControllers();  // the app's root, tabs, now-playing and album detail controllers and views
void registerNowPlayingIndicator();  // MusicNowPlayingIndicatorView
void registerListScreens();      // MusicTableViewController, its screens, data source and cells
}  // namespace platform::musicapp
