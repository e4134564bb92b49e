// The MediaPlayer classes: MPAudioDeviceController,
// MPUNowPlayingPlaybackControlsView and MPMediaLibraryArtworkDataSource; the
// media library's classes and the player's register from their own files
// (LibraryStore.h).
#include "../Registration.h"

#include "LibraryStore.h"

#include <MediaPlayer/ML3MusicLibrary.h>

#include "../UIKit/ObjectSupport.h"

#include <MediaPlayer/MediaPlayer.h>

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
    objc::ClassDef<MPMediaLibraryArtworkDataSource>("MPMediaLibraryArtworkDataSource", NSObject::cls())
        .method<artwork::cacheRepresentationForCatalog>("_cacheRepresentation:forCatalog:");
    ml3::registerML3MusicLibrary();
}
}  // namespace platform
