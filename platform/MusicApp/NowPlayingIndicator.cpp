// MusicNowPlayingIndicatorView.
#include "../UIKit/ObjectSupport.h"
#include "Private.h"

#include <MusicApp/MusicNowPlayingIndicatorView.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKit.h>

namespace {

NSInteger playbackState(MusicNowPlayingIndicatorView* self, SEL) { return self->_playbackState; }
void setPlaybackState(MusicNowPlayingIndicatorView* self, SEL, NSInteger state) {
    self->_playbackState = state;
    objc_msgSend<void()>(self, "setNeedsDisplay"_sel);
}

void drawRect(MusicNowPlayingIndicatorView* self, SEL, CGRect) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr || self->_playbackState == 0) return;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    bool playing = self->_playbackState == MusicNowPlayingIndicatorViewStatePlaying;
    CGColor colour = playing ? static_cast<UIColor*>(objc_msgSend<id()>(self, "tintColor"_sel))->cgColor()
                             : CGColor{0.6, 0.6, 0.6, 1};
    // Three bars with gaps half as wide, from the bottom.
    const double heights[3] = {playing ? 0.6 : 0.25, playing ? 1.0 : 0.25, playing ? 0.8 : 0.25};
    double bar = bounds.size.width / 4;
    CGContextSaveGState(c);
    CGContextSetFillColorWithColor(c, colour);
    for (int i = 0; i < 3; ++i) {
        double h = bounds.size.height * heights[i];
        CGContextFillRect(c, CGRectMake(i * bar * 1.5, bounds.size.height - h, bar, h));
    }
    CGContextRestoreGState(c);
}

}  // namespace

void platform::musicapp::registerNowPlayingIndicator() {
    objc::ClassDef<MusicNowPlayingIndicatorView>("MusicNowPlayingIndicatorView", UIView::cls())
        .method<playbackState>("playbackState")
        .method<setPlaybackState>("setPlaybackState:")
        .method<drawRect>("drawRect:");
}
