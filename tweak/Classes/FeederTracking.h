// The replacements that keep _MusicQueryQueueFeeder on the Music app's
// library queue feeder, mark the end of start-up, hide the radio tracks'
// offers on request and tell the "Playing list" that the player moves on.
#pragma once

#include <MediaPlayer/MPAVController.h>
#include <MusicApp/MPHRootViewController.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/RURadioQueueFeeder.h>
#include <objc/NSObject.h>

extern Slot<id(MPHRootViewController*, SEL, id)> _initWithTabBarController$MPHRootViewController;
id initWithTabBarController$MPHRootViewController(MPHRootViewController* self, SEL _cmd, id tabBarController);

extern Slot<id(MusicQueryQueueFeeder*, SEL)> _init$MusicQueryQueueFeeder;
id init$MusicQueryQueueFeeder(MusicQueryQueueFeeder* self, SEL _cmd);

extern Slot<void(MusicQueryQueueFeeder*, SEL)> _dealloc$MusicQueryQueueFeeder;
void dealloc$MusicQueryQueueFeeder(MusicQueryQueueFeeder* self, SEL _cmd);

extern Slot<id(MusicQueryQueueFeeder*, SEL, NSUInteger)> _playbackInfoAtIndex$MusicQueryQueueFeeder;
id playbackInfoAtIndex$MusicQueryQueueFeeder(MusicQueryQueueFeeder* self, SEL _cmd, NSUInteger index);

extern Slot<void(MPAVController*, SEL, id)> __itemWillChange$MPAVController;
void _itemWillChange$MPAVController(MPAVController* self, SEL _cmd, id argument);

extern Slot<id(RURadioQueueFeeder*, SEL)> _init$RURadioQueueFeeder;
id init$RURadioQueueFeeder(RURadioQueueFeeder* self, SEL _cmd);

extern Slot<id(RadioTrack*, SEL)> __offers$RadioTrack;
id _offers$RadioTrack(RadioTrack* self, SEL _cmd);
