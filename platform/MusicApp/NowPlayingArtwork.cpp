// The now-playing screen's artwork: its placeholder artwork view
// (MPUSlantedTextPlaceholderArtworkView, an image view among the screen
// view's direct subviews) and -[MusicNowPlayingViewController
// _didUpdateArtworkImage], which shows the item's artwork again in it and is
// counted for tests (platform::nowPlayingArtworkUpdates()).
#include "Private.h"

#include <MusicApp/MusicNowPlayingViewController.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIKit.h>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

struct MPUSlantedTextPlaceholderArtworkView : UIImageView {
    OBJC_CLASS(MPUSlantedTextPlaceholderArtworkView)
};

std::atomic<int> updates{0};

id placeholderOf(id controller) {
    id subviews = objc_msgSend<id()>(objc_msgSend<id()>(controller, "view"_sel), "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
        id view = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_isKindOfClass(view, MPUSlantedTextPlaceholderArtworkView::cls())) return view;
    }
    return nil;
}

void didUpdateArtworkImage(MusicNowPlayingViewController* self, SEL) {
    ++updates;
    id item = self->_item;
    if (item == nil || !objc_msgSend<BOOL(SEL)>(item, "respondsToSelector:"_sel, "artwork"_sel)) return;
    id artwork = objc_msgSend<id()>(item, "artwork"_sel);
    if (artwork == nil) return;
    id image = objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(320, 320));
    if (image != nil) objc_msgSend<void(id)>(placeholderOf(objc::as_id(self)), "setImage:"_sel, image);
}

}  // namespace

namespace platform {
int nowPlayingArtworkUpdates() { return updates; }
}  // namespace platform

namespace platform::musicapp {

void addNowPlayingArtworkView(id controller) {
    id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(MPUSlantedTextPlaceholderArtworkView::cls(), "alloc"_sel),
                                       "initWithFrame:"_sel, CGRectMake(0, 0, 320, 320));
    objc_msgSend<void(id)>(objc_msgSend<id()>(controller, "view"_sel), "addSubview:"_sel, view);
    objc_release(view);
}

void layOutNowPlayingArtwork(id controller, CGRect bounds, double controlsTop) {
    id artwork = placeholderOf(controller);
    if (artwork == nil) return;
    double width = bounds.size.width;
    CGRect frame = CGRectMake(0, 0, width, width);
    if (width > controlsTop) {
        double top = 0;
        id navigation = objc_msgSend<id()>(controller, "navigationController"_sel);
        if (navigation != nil)
            top = CGRectGetMaxY(objc_msgSend<CGRect()>(objc_msgSend<id()>(navigation, "navigationBar"_sel), "frame"_sel));
        top = std::clamp(top, 0.0, std::max(0.0, controlsTop));
        double side = std::max(0.0, controlsTop - top);
        frame = CGRectMake(std::round((width - side) / 2), top, side, side);
    }
    objc_msgSend<void(CGRect)>(artwork, "setFrame:"_sel, frame);
}

void registerNowPlayingArtwork() {
    objc::ClassDef<MPUSlantedTextPlaceholderArtworkView>("MPUSlantedTextPlaceholderArtworkView", UIImageView::cls());
    objc::define_method(MusicNowPlayingViewController::cls(), "_didUpdateArtworkImage"_sel,
                        objc::make_imp<didUpdateArtworkImage>(), "v@:");
}

}  // namespace platform::musicapp
