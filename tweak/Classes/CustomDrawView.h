// CustomDrawView: a view that draws one small glyph chosen by its UIKit tag
// (CustomDrawTag): the kind of the item being edited, the sample-rate and
// bit-rate marks, the no-artwork placeholder, the tap hint, an alarm clock,
// a heart and a star. Glyphs are drawn at their own size from the view's
// top-left corner; neither drawRect:'s rectangle nor the view's bounds
// change them, and what lies outside the view is clipped.
//
// One source for the library and the settings plug-in: built with
// CUSTOM_DRAW_VIEW_SETTINGS_BUILD defined (the plug-in) it knows glyphs 1 to
// 11 only, so tags 12 and 13 draw nothing there.
//
// Runtime methods (prototypes as sent):
//   initWithCoder:         id(id)          UIView's, then a clear background and setSubTag: 0
//   subTag / setSubTag:    NSInteger() / void(NSInteger)   only the alarm clock reads it
//                          (1: filled; 0: dark grey; other: red outline, white hands)
//   drawRect:              void(CGRect)    the glyph of the current tag; any other tag
//                          draws nothing
// Setting the tag or subTag does not redraw: send setNeedsDisplay.
#pragma once

#include <UIKit/UIView.h>

enum CustomDrawTag : NSInteger {
    CustomDrawTagAlarmClock = 1,
    CustomDrawTagWaveform = 2,
    CustomDrawTagPulse = 3,
    CustomDrawTagGenre = 4,
    CustomDrawTagPhotos = 5,
    CustomDrawTagSong = 6,
    CustomDrawTagArtist = 7,
    CustomDrawTagAlbum = 8,
    CustomDrawTagComposer = 9,
    CustomDrawTagPlaylist = 10,
    CustomDrawTagTapHand = 11,
    CustomDrawTagHeart = 12,
    CustomDrawTagStar = 13,
};

struct CustomDrawView : UIView {
    OBJC_CLASS(CustomDrawView)

    NSInteger _subTag = 0;  // atomic: read and written whole
};

// Registers the class. Idempotent.
void registerCustomDrawView();
