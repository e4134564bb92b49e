// The MediaPlayer classes: MPAVController, MPMediaQueryShuffledItems,
// MPAudioDeviceController, MPUNowPlayingPlaybackControlsView and
// MPMediaLibraryArtworkDataSource; the media library's classes register from
// their own files (LibraryStore.h).
#include "../Registration.h"

#include "LibraryStore.h"

#include <MediaPlayer/ML3MusicLibrary.h>

#include "../UIKit/ObjectSupport.h"

#include <MediaPlayer/MediaPlayer.h>

using namespace platform::support;

MPMediaQueryShuffledItems::~MPMediaQueryShuffledItems() {
    clearStrong(_sourceMediaQuery);
    clearStrong(_sourceMediaQueryItems);
    clearStrong(_orderedArray);
}

MPAudioDeviceController::~MPAudioDeviceController() { clearStrong(_routes); }

namespace {

namespace avController {

void itemWillChange(MPAVController* self, SEL, id) { ++self->_itemChangeCount; }

}  // namespace avController

namespace shuffledItems {

// The playing order starts as the query's order.
id initWithSourceItems(MPMediaQueryShuffledItems* self, SEL, id items) {
    self = objectAs<MPMediaQueryShuffledItems>(
        objc_msgSendSuper<id()>(self, MPMediaQueryShuffledItems::cls(), "init"_sel));
    if (self == nullptr) return nil;
    storeStrong(self->_sourceMediaQueryItems, items);
    id ordered = mutableArray();
    NSUInteger n = arrayCount(items);
    for (NSUInteger i = 0; i < n; ++i) arrayAdd(ordered, arrayObjectAt(items, i));
    storeStrong(self->_orderedArray, ordered);
    return self;
}

NSUInteger count(MPMediaQueryShuffledItems* self, SEL) { return arrayCount(self->_orderedArray); }

id objectAtIndex(MPMediaQueryShuffledItems* self, SEL, NSUInteger index) {
    if (index >= arrayCount(self->_orderedArray)) return nil;
    return arrayObjectAt(self->_orderedArray, index);
}

}  // namespace shuffledItems

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
    medialibrary::registerItemRefresh();
    objc::ClassDef<MPAVController>("MPAVController", NSObject::cls())
        .method<avController::itemWillChange>("_itemWillChange:")
        .OBJC_IVAR(MPAVController, _itemChangeCount);
    objc::ClassDef<MPMediaQueryShuffledItems>("MPMediaQueryShuffledItems", NSObject::cls())
        .method<shuffledItems::initWithSourceItems>("initWithSourceItems:")
        .method<shuffledItems::count>("count")
        .method<shuffledItems::objectAtIndex>("objectAtIndex:")
        .OBJC_IVAR(MPMediaQueryShuffledItems, _sourceMediaQuery)
        .OBJC_IVAR(MPMediaQueryShuffledItems, _sourceMediaQueryItems)
        .OBJC_IVAR(MPMediaQueryShuffledItems, _orderedArray);
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
