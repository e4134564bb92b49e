// The Music app's object graph.
#include <MusicApp/MusicApp.h>

#include "../UIKit/ObjectSupport.h"

#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPHRootViewController.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTabBarController.h>
#include <MusicApp/MusicTableViewController.h>
#include <MusicApp/RURadioQueueFeeder.h>
#include <UIKit/UIKit.h>

using namespace platform::support;

namespace platform {

namespace {

constexpr CGRect kScreenBounds = CGRectMake(0, 0, 320, 480);
// Stand-ins for the library's items until the media library exists.
constexpr int kQueueItems = 3;

template <class T>
Strong<T> make(Class cls) {
    return adoptObject<T>(newObject(cls), "MusicApp::launch");
}

}  // namespace

MusicApp::MusicApp(MusicAppOptions options) : options_(options) {}

MusicApp::~MusicApp() { shutdown(); }

void MusicApp::launch() {
    if (launched_) return;
    registerMusicApp(options_);
    launched_ = true;
    AutoreleasePool pool;

    tabBarController_ = make<MusicTabBarController>(MusicTabBarController::cls());
    songsViewController_ = make<MusicTableViewController>(MusicTableViewController::cls());
    objc_msgSend<id()>(songsViewController_.get(), "tableView"_sel);
    songsNavigationController_ = adoptObject<UINavigationController>(
        objc_msgSend<id(id)>(objc_msgSend<id()>(UINavigationController::cls(), "alloc"_sel),
                             "initWithRootViewController:"_sel, songsViewController_.get()),
        "MusicApp::launch");
    id tabs = mutableArray();
    arrayAdd(tabs, songsNavigationController_.get());
    objc_msgSend<void(id)>(tabBarController_.get(), "setViewControllers:"_sel, tabs);

    rootViewController_ = adoptObject<MPHRootViewController>(
        objc_msgSend<id(id)>(objc_msgSend<id()>(MPHRootViewController::cls(), "alloc"_sel),
                             "initWithTabBarController:"_sel, tabBarController_.get()),
        "MusicApp::launch");

    avController_ = make<MPAVController>(MPAVController::cls());
    audioDeviceController_ = make<MPAudioDeviceController>(MPAudioDeviceController::cls());

    queueFeeder_ = make<MusicQueryQueueFeeder>(MusicQueryQueueFeeder::cls());
    id items = mutableArray();
    for (int i = 0; i < kQueueItems; ++i) {
        id item = newObject(NSObject::cls());
        arrayAdd(items, item);
        objc_release(item);
    }
    objc_msgSend<void(id)>(queueFeeder_.get(), "setQueryItems:"_sel, items);

    nowPlayingViewController_ = adoptObject<MusicNowPlayingViewController>(
        objc_msgSend<id(id, id)>(objc_msgSend<id()>(MusicNowPlayingViewController::cls(), "alloc"_sel),
                                 "initWithNibName:bundle:"_sel, nil, nil),
        "MusicApp::launch");

    if (options_.radio) radioQueueFeeder_ = make<RURadioQueueFeeder>(RURadioQueueFeeder::cls());
}

void MusicApp::shutdown() {
    AutoreleasePool pool;
    radioQueueFeeder_.reset();
    nowPlayingViewController_.reset();
    queueFeeder_.reset();
    audioDeviceController_.reset();
    avController_.reset();
    rootViewController_.reset();
    songsNavigationController_.reset();
    songsViewController_.reset();
    tabBarController_.reset();
    launched_ = false;
}

void MusicApp::showNowPlaying() {
    if (!launched_) return;
    AutoreleasePool pool;
    id controller = nowPlayingViewController_.get();
    id item = objc_msgSend<id(NSUInteger)>(queueFeeder_.get(), "playbackInfoAtIndex:"_sel, 0);
    objc_msgSend<void(id)>(controller, "setItem:"_sel, item);
    id view = objc_msgSend<id()>(controller, "view"_sel);
    objc_msgSend<void(BOOL)>(controller, "viewWillAppear:"_sel, YES);
    objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, kScreenBounds);
    objc_msgSend<void()>(view, "setNeedsLayout"_sel);
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    objc_msgSend<void(BOOL)>(controller, "viewDidAppear:"_sel, YES);
}

void MusicApp::changeItem(id notification) {
    if (!launched_) return;
    objc_msgSend<void(id)>(avController_.get(), "_itemWillChange:"_sel, notification);
}

void MusicApp::postRadioEnabledChange(id notification) {
    if (!launched_) return;
    id tabs = tabBarController_.get();
    objc_msgSend<void(id)>(tabs, "_isRadioEnabledDidChangeNotification:"_sel, notification);
    objc_msgSend<void(id)>(tabs, "_availableMediaLibrariesDidChangeNotification:"_sel, notification);
    objc_msgSend<void(id)>(tabs, "_mediaLibraryDidChangeNotification:"_sel, notification);
}

id MusicApp::requestOffers() {
    if (!launched_ || !radioQueueFeeder_) return nil;
    id track = objc_msgSend<id(NSUInteger)>(radioQueueFeeder_.get(), "copyRawItemAtIndex:"_sel, 0);
    id offers = objc_msgSend<id()>(track, "_offers"_sel);
    // The offers may belong to the track, which goes now.
    objc_autorelease(objc_retain(offers));
    objc_release(track);
    return offers;
}

}  // namespace platform
