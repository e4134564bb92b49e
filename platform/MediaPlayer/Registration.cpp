// The MediaPlayer classes: MPAudioDeviceController,
// MPUNowPlayingPlaybackControlsView, MPDetailSlider and
// MPMediaLibraryArtworkDataSource; the
// media library's classes and the player's register from their own files
// (LibraryStore.h).
#include "../Registration.h"

#include "LibraryStore.h"

#include <MediaPlayer/ML3MusicLibrary.h>

#include "../UIKit/ObjectSupport.h"

#include <MediaPlayer/MediaPlayer.h>
#include <UIKit/UIGraphics.h>

#include <algorithm>

using namespace platform::support;

MPAudioDeviceController::~MPAudioDeviceController() { clearStrong(_routes); }

namespace {

namespace audioDevices {

id init(MPAudioDeviceController* self, SEL) {
    self = objectAs<MPAudioDeviceController>(
        objc_msgSendSuper<id()>(self, MPAudioDeviceController::cls(), "init"_sel));
    if (self == nullptr) return nil;
    storeStrong(self->_routes, mutableArray());
    return self;
}

id pickableRoutes(MPAudioDeviceController* self, SEL) { return self->_routes; }

}  // namespace audioDevices

namespace controlsView {

id initWithFrame(MPUNowPlayingPlaybackControlsView* self, SEL, CGRect frame) {
    return objc_msgSendSuper<id(CGRect)>(self, MPUNowPlayingPlaybackControlsView::cls(), "initWithFrame:"_sel, frame);
}

id delegate(MPUNowPlayingPlaybackControlsView* self, SEL) { return self->_delegate; }
void setDelegate(MPUNowPlayingPlaybackControlsView* self, SEL, id delegate) { self->_delegate = delegate; }

}  // namespace controlsView

namespace slider {

double value(MPDetailSlider* self, SEL) { return self->_value; }
void setValue(MPDetailSlider* self, SEL, double v) { self->_value = std::clamp(v, 0.0, 1.0); }

void fill(CGRect rect, double r, double g, double b) {
    id colour = objc_msgSend<id(double, double, double, double)>(objc_getClass("UIColor"),
                                                                 "colorWithRed:green:blue:alpha:"_sel, r, g, b, 1.0);
    objc_msgSend<void()>(colour, "setFill"_sel);
    objc_msgSend<void()>(objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithOvalInRect:"_sel, rect),
                         "fill"_sel);
}

void drawRect(MPDetailSlider* self, SEL, CGRect) {
    CGContextRef context = UIGraphicsGetCurrentContext();
    if (context == nullptr) return;
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    double knob = 12, mid = bounds.size.height / 2, span = std::max(0.0, bounds.size.width - knob);
    double at = knob / 2 + span * self->_value;
    CGContextSetFillColorWithColor(context, CGColor{0.78, 0.78, 0.8, 1});
    CGContextFillRect(context, CGRectMake(knob / 2, mid - 1, span, 2));
    CGContextSetFillColorWithColor(context, CGColor{1, 0.18, 0.33, 1});
    CGContextFillRect(context, CGRectMake(knob / 2, mid - 1, at - knob / 2, 2));
    fill(CGRectMake(at - knob / 2, mid - knob / 2, knob, knob), 0.55, 0.55, 0.58);
}

}  // namespace slider

namespace artwork {

id cacheRepresentationForCatalog(MPMediaLibraryArtworkDataSource*, SEL, id representation, id) {
    return representation;
}

}  // namespace artwork

}  // namespace

namespace platform {
void registerMediaPlayer() {
    medialibrary::registerItemClasses();
    medialibrary::registerCollectionClasses();
    medialibrary::registerQueryClasses();
    medialibrary::registerPlayerClasses();
    medialibrary::registerItemRefresh();
    objc::ClassDef<MPAudioDeviceController>("MPAudioDeviceController", NSObject::cls())
        .method<audioDevices::init>("init")
        .method<audioDevices::pickableRoutes>("_pickableRoutes")
        .OBJC_IVAR(MPAudioDeviceController, _routes);
    objc::ClassDef<MPUNowPlayingPlaybackControlsView>("MPUNowPlayingPlaybackControlsView", UIView::cls())
        .method<controlsView::initWithFrame>("initWithFrame:")
        .method<controlsView::delegate>("delegate")
        .method<controlsView::setDelegate>("setDelegate:")
        .OBJC_IVAR(MPUNowPlayingPlaybackControlsView, _delegate);
    objc::ClassDef<MPDetailSlider>("MPDetailSlider", UIView::cls())
        .method<slider::value>("value")
        .method<slider::setValue>("setValue:")
        .method<slider::drawRect>("drawRect:")
        .OBJC_IVAR(MPDetailSlider, _value);
    objc::ClassDef<MPMediaLibraryArtworkDataSource>("MPMediaLibraryArtworkDataSource", NSObject::cls())
        .method<artwork::cacheRepresentationForCatalog>("_cacheRepresentation:forCatalog:");
    ml3::registerML3MusicLibrary();
}
}  // namespace platform
