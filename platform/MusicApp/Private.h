// Registration of the Music app's classes, one function per source file.
#pragma once

namespace platform::musicapp {
void registerQueueFeeders();     // MPQueueFeeder, MusicQueryQueueFeeder
void registerRadio();            // RadioTrack, RURadioQueueFeeder
void registerViewControllers();  // the app's controllers, views and cells
}  // namespace platform::musicapp
