// Registration of the Music app's classes, one function per source file.
#pragma once

#include <CoreGraphics/CGGeometry.h>

struct objc_object;

namespace platform::musicapp {
void registerQueueFeeders();     // MPQueueFeeder, MusicQueryQueueFeeder
void registerRadio();            // RadioTrack, RURadioQueueFeeder
void registerViewControllers();  // the app's root, tabs, now-playing and album detail controllers and views
void registerNowPlayingIndicator();  // MusicNowPlayingIndicatorView
void registerNowPlayingArtwork();  // the now-playing placeholder artwork view, _didUpdateArtworkImage
// Adds the placeholder artwork view to a now-playing controller's view.
void addNowPlayingArtworkView(objc_object* controller);
// Places the now-playing screen's artwork over its controls, which stand
// from `controlsTop` down: a square of the view's width at its top where that
// fits (upright), else (turned) the largest square between the navigation bar
// and the controls, centred across the view.
void layOutNowPlayingArtwork(objc_object* controller, CGRect bounds, double controlsTop);
void registerListScreens();      // MusicTableViewController, its screens, data source and cells
}  // namespace platform::musicapp
