// The Music app's object graph.
#include <MusicApp/MusicApp.h>

#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPHRootViewController.h>
#include <UIKit/UIApplication.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicLibraryDataSource.h>
#include <MusicApp/MusicLibraryScreens.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTabBarController.h>
#include <MusicApp/MusicTableViewController.h>
#include <Foundation/NSNotification.h>
#include <MediaPlayer/QueueMessages.h>
#include <MusicApp/RURadioQueueFeeder.h>
#include <UIKit/UIKit.h>

#include <algorithm>
#include <vector>

using namespace platform::support;

namespace platform {

namespace {

// The longest wait for a presentation in flight to end.
constexpr double kTransitionWait = 5;

// The queue at launch: this many of the library's songs, or as many
// placeholders when the library has none.
constexpr NSUInteger kQueueItems = 3;

template <class T>
Strong<T> make(Class cls) {
    return adoptObject<T>(newObject(cls), "MusicApp::launch");
}

CGRect screenBounds() {
    return objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
}

// Sizes a controller's view to `frame` (the screen) and lays it out.
void layOut(id controller, CGRect frame = screenBounds()) {
    id view = objc_msgSend<id()>(controller, "view"_sel);
    objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, frame);
    objc_msgSend<void()>(view, "setNeedsLayout"_sel);
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
}

// Shows a controller as the app does when it comes on screen.
void present(id controller) {
    objc_msgSend<id()>(controller, "view"_sel);
    objc_msgSend<void(BOOL)>(controller, "viewWillAppear:"_sel, YES);
    layOut(controller);
    objc_msgSend<void(BOOL)>(controller, "viewDidAppear:"_sel, YES);
}

id queryResults(SEL query, SEL results) {
    return objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), query), results);
}

// The collection of the query whose persistent id is `pid`, or nil.
id collectionWithID(SEL query, unsigned long long pid) {
    id collections = queryResults(query, "collections"_sel);
    for (NSUInteger i = 0, n = arrayCount(collections); i < n; ++i) {
        id c = arrayObjectAt(collections, i);
        if (objc_msgSend<unsigned long long()>(c, "persistentID"_sel) == pid) return c;
    }
    return nil;
}

// The tracks of the item's album, in album order; empty when it has none.
id albumTracksOf(id item) {
    if (item == nullptr || !objc_msgSend<BOOL(SEL)>(item, "respondsToSelector:"_sel, "albumPersistentID"_sel))
        return mutableArray();
    id album = collectionWithID("albumsQuery"_sel, objc_msgSend<unsigned long long()>(item, "albumPersistentID"_sel));
    id items = objc_msgSend<id()>(album, "items"_sel);
    return items != nullptr ? items : mutableArray();
}

struct ScreenKind {
    const char* name;
    const char* className;
    bool takesID;
    const char* query;  // for the id's collection
    const char* what;   // in messages
};

const ScreenKind kScreens[] = {
    {"songs", "MusicSongsViewController", false, nullptr, nullptr},
    {"artists", "MusicArtistsViewController", false, nullptr, nullptr},
    {"albums", "MusicAlbumsViewController", false, nullptr, nullptr},
    {"album", "MusicAlbumsDetailViewController", true, "albumsQuery", "album"},
    {"composers", "MusicComposersViewController", false, nullptr, nullptr},
    {"genres", "MusicGenresViewController", false, nullptr, nullptr},
    {"playlists", "MusicPlaylistsListViewController", false, nullptr, nullptr},
    {"playlist", "MusicPlaylistSongsViewController", true, "playlistsQuery", "playlist"},
    {"compilations", "MusicCompilationsViewController", false, nullptr, nullptr},
};

const ScreenKind* screenKind(const std::string& name) {
    for (const ScreenKind& k : kScreens)
        if (name == k.name) return &k;
    return nullptr;
}

bool fail(std::string* error, const std::string& message) {
    if (error != nullptr) *error = message;
    return false;
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
    platform::setKeyWindowRootViewController(rootViewController_.get());

    avController_ = make<MPAVController>(MPAVController::cls());
    objc_msgSend<void(id)>(objc_msgSend<queue::sharedInstance>(MPMusicPlayerControllerServer::cls(), "sharedInstance"_sel),
                           "_setPlayer:"_sel, avController_.get());
    audioDeviceController_ = make<MPAudioDeviceController>(MPAudioDeviceController::cls());

    queueFeeder_ = make<MusicQueryQueueFeeder>(MusicQueryQueueFeeder::cls());
    id items = mutableArray();
    id songs = queryResults("songsQuery"_sel, "items"_sel);
    for (NSUInteger i = 0, n = std::min(arrayCount(songs), kQueueItems); i < n; ++i) arrayAdd(items, arrayObjectAt(songs, i));
    if (arrayCount(items) == 0) {
        for (NSUInteger i = 0; i < kQueueItems; ++i) {
            id item = newObject(NSObject::cls());
            arrayAdd(items, item);
            objc_release(item);
        }
    }
    objc_msgSend<void(id)>(queueFeeder_.get(), "setQueryItems:"_sel, items);
    // The player holds the launch queue without playing it: nothing is loaded yet.
    objc_msgSend<queue::switchToFeeder>(avController_.get(), "switchToFeeder:mode:index:play:"_sel, queueFeeder_.get(),
                                        0L, 0L, NO);

    nowPlayingViewController_ = adoptObject<MusicNowPlayingViewController>(
        objc_msgSend<id(id, id)>(objc_msgSend<id()>(MusicNowPlayingViewController::cls(), "alloc"_sel),
                                 "initWithNibName:bundle:"_sel, nil, nil),
        "MusicApp::launch");
    nowPlayingNavigationController_ = adoptObject<UINavigationController>(
        objc_msgSend<id(id)>(objc_msgSend<id()>(UINavigationController::cls(), "alloc"_sel),
                             "initWithRootViewController:"_sel, nowPlayingViewController_.get()),
        "MusicApp::launch");

    if (options_.radio) radioQueueFeeder_ = make<RURadioQueueFeeder>(RURadioQueueFeeder::cls());
}

void MusicApp::shutdown() {
    AutoreleasePool pool;
    radioQueueFeeder_.reset();
    flipsideViewController_.reset();
    nowPlayingNavigationController_.reset();
    nowPlayingViewController_.reset();
    queueFeeder_.reset();
    audioDeviceController_.reset();
    avController_.reset();
    platform::setKeyWindowRootViewController(nullptr);
    rootViewController_.reset();
    songsNavigationController_.reset();
    songsViewController_.reset();
    tabBarController_.reset();
    launched_ = false;
    nowPlayingShown_ = false;
    flipsideShown_ = false;
}

// What the now-playing screen shows: the player's item, none before
// anything is loaded.
id MusicApp::nowPlayingItem() const {
    if (!launched_) return nil;
    id player = avController_.get();
    return objc_msgSend<queue::currentMediaItem>(player, "currentMediaItem"_sel);
}

void MusicApp::showNowPlaying() {
    if (!launched_) return;
    AutoreleasePool pool;
    id controller = nowPlayingViewController_.get();
    id item = nowPlayingItem();
    objc_msgSend<id()>(nowPlayingNavigationController_.get(), "view"_sel);
    objc_msgSend<void(id)>(controller, "setItem:"_sel, item);
    objc_msgSend<void()>(controller, "_didUpdateArtworkImage"_sel);
    present(controller);
    nowPlayingShown_ = true;
    flipsideShown_ = false;
}

void MusicApp::showFlipside() {
    if (!launched_) return;
    AutoreleasePool pool;
    nowPlayingShown_ = false;
    if (!flipsideViewController_)
        flipsideViewController_ = make<MusicFlipsideAlbumDetailViewController>(MusicFlipsideAlbumDetailViewController::cls());
    id item = nowPlayingItem();
    id tracks = albumTracksOf(item);
    id titles = mutableArray();
    for (NSUInteger i = 0, n = arrayCount(tracks); i < n; ++i) {
        id title = objc_msgSend<id(id)>(arrayObjectAt(tracks, i), "valueForProperty:"_sel, NSString::make("title"));
        arrayAdd(titles, title != nullptr ? title : NSString::make(""));
    }
    id alloced = objc_msgSend<id()>(MusicLibraryDataSource::cls(), "alloc"_sel);
    auto source = adoptObject<MusicLibraryDataSource>(
        objc_msgSend<id(id, id, BOOL)>(alloced, "initWithEntities:titles:grouped:"_sel, tracks, titles, NO),
        "MusicApp::showFlipside");
    id controller = flipsideViewController_.get();
    objc_msgSend<void(id)>(controller, "setDataSource:"_sel, source.get());
    objc_msgSend<void()>(controller, "reloadData"_sel);
    // The header names the album and its artist.
    if (auto* header = objectAs<MusicFlipsideAlbumDetailHeaderView>(
            objc_msgSend<id()>(objc_msgSend<id()>(controller, "tableView"_sel), "tableHeaderView"_sel))) {
        id artist = objc_msgSend<id(id)>(item, "valueForProperty:"_sel, NSString::make("albumArtist"));
        if (artist == nil) artist = objc_msgSend<id(id)>(item, "valueForProperty:"_sel, NSString::make("artist"));
        objc_msgSend<void(id)>(header->_albumLabel, "setText:"_sel,
                               objc_msgSend<id(id)>(item, "valueForProperty:"_sel, NSString::make("albumTitle")));
        objc_msgSend<void(id)>(header->_artistLabel, "setText:"_sel, artist);
    }
    present(controller);
    flipsideShown_ = true;
}

const std::vector<std::string>& MusicApp::screenNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const ScreenKind& k : kScreens) out.emplace_back(k.name);
        return out;
    }();
    return names;
}

bool MusicApp::screenTakesID(const std::string& name) {
    const ScreenKind* kind = screenKind(name);
    return kind != nullptr && kind->takesID;
}

bool MusicApp::openScreen(const std::string& name, std::optional<unsigned long long> persistentID,
                          std::string* error, const std::string& idAsGiven) {
    if (!launched_) return fail(error, "the app is not running");
    const ScreenKind* kind = screenKind(name);
    if (kind == nullptr) return fail(error, "unknown screen '" + name + "'");
    if (kind->takesID && !persistentID) return fail(error, "the " + name + " screen needs an id");
    if (!kind->takesID && persistentID) return fail(error, "the " + name + " screen takes no id");
    AutoreleasePool pool;
    const char* busy = "the media library is busy (another process holds its lock)";
    unsigned long busyBefore = mediaLibraryReadFailures().busy;
    id collection = nil;
    if (kind->takesID) {
        collection = collectionWithID(sel_registerName(kind->query), *persistentID);
        if (mediaLibraryReadFailures().busy != busyBefore) return fail(error, busy);
        if (collection == nullptr)
            return fail(error, std::string("no ") + kind->what + " with id " +
                                   (idAsGiven.empty() ? std::to_string(*persistentID) : idAsGiven));
    }
    Class cls = objc_getClass(kind->className);
    auto screen = adoptObject<MusicTableViewController>(newObject(cls), "MusicApp::openScreen");
    if (collection != nullptr) objc_msgSend<void(id)>(screen.get(), "setCollection:"_sel, collection);
    Strong<UIViewController> shown(screen.get());
    if (objc_isKindOfClass(screen.get(), MusicAlbumsDetailViewController::cls())) {
        shown = adoptObject<UIViewController>(newObject(MusicAlbumsDetailContainerViewController::cls()),
                                              "MusicApp::openScreen");
        objc_msgSend<void(id)>(shown.get(), "setDetailViewController:"_sel, screen.get());
    }
    id nav = songsNavigationController_.get();
    closePresentations();
    objc_msgSend<id(BOOL)>(nav, "popToRootViewControllerAnimated:"_sel, NO);
    nowPlayingShown_ = false;
    flipsideShown_ = false;
    objc_msgSend<void(id, BOOL)>(nav, "pushViewController:animated:"_sel, shown.get(), YES);
    // The list starts below the navigation bar while the bar shows.
    layOut(shown.get(), platform::navigationContentFrame(static_cast<UINavigationController*>(nav)));
    if (mediaLibraryReadFailures().busy != busyBefore) {
        // A list the library could not be read for is not shown as empty.
        objc_msgSend<id(BOOL)>(nav, "popToRootViewControllerAnimated:"_sel, NO);
        return fail(error, busy);
    }
    return true;
}

void MusicApp::closePresentations() {
    // A presentation still in flight ends first: one cannot be dismissed
    // while it moves.
    finishTransitions(kTransitionWait);
    std::vector<id> screens;
    id stack = objc_msgSend<id()>(songsNavigationController_.get(), "viewControllers"_sel);
    for (NSUInteger i = 0, n = arrayCount(stack); i < n; ++i) {
        id screen = arrayObjectAt(stack, i);
        screens.push_back(screen);
        if (objc_isKindOfClass(screen, MusicAlbumsDetailContainerViewController::cls()))
            screens.push_back(objc_msgSend<id()>(screen, "detailViewController"_sel));
    }
    screens.push_back(nowPlayingViewController_.get());
    screens.push_back(flipsideViewController_.get());
    for (id screen : screens)
        if (screen != nil && objc_msgSend<id()>(screen, "presentedViewController"_sel) != nil)
            objc_msgSend<void(BOOL, id)>(screen, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
    // A pad shows some of them in popovers over these screens (the share
    // sheet): they go too, their content told it disappeared.
    for (UIPopoverController* popover : shownPopovers())
        objc_msgSend<void(BOOL)>(popover, "dismissPopoverAnimated:"_sel, NO);
}

MusicTableViewController* MusicApp::currentScreen() const {
    if (!launched_) return nullptr;
    id top = objc_msgSend<id()>(songsNavigationController_.get(), "topViewController"_sel);
    if (objc_isKindOfClass(top, MusicAlbumsDetailContainerViewController::cls()))
        top = objc_msgSend<id()>(top, "detailViewController"_sel);
    return objectAs<MusicTableViewController>(top);
}

void MusicApp::changeItem(id notification) {
    if (!launched_) return;
    objc_msgSend<void(id)>(avController_.get(), "_itemWillChange:"_sel, notification);
}

bool MusicApp::play(const std::string& name, std::optional<unsigned long long> persistentID, std::string* error) {
    if (!launched_) return fail(error, "the app is not running");
    const char* property = nullptr;
    const char* query = nullptr;
    if (name == "songs") {
    } else if (name == "album") {
        property = "albumPersistentID";
        query = "albumsQuery";
    } else if (name == "playlist") {
        property = "playlistPersistentID";
        query = "playlistsQuery";
    } else {
        return fail(error, "cannot play the " + name + " screen (songs, album ID or playlist ID)");
    }
    if (property != nullptr && !persistentID) return fail(error, "the " + name + " screen needs an id");
    if (property == nullptr && persistentID) return fail(error, "the " + name + " screen takes no id");
    AutoreleasePool pool;
    if (query != nullptr && collectionWithID(sel_registerName(query), *persistentID) == nullptr)
        return fail(error, "no " + name + " with id " + std::to_string(*persistentID));

    id mediaQuery = nil;
    if (property == nullptr) {
        mediaQuery = objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel);
    } else {
        id predicate = objc_msgSend<id(id, id, NSInteger)>(
            MPMediaPropertyPredicate::cls(), "predicateWithValue:forProperty:comparisonType:"_sel,
            NSStringWithFormat("%llu", *persistentID), NSString::make(property), MPMediaPredicateComparisonEqualTo);
        mediaQuery = objc_autorelease(objc_msgSend<id(id)>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel),
                                                           "initWithFilterPredicates:"_sel,
                                                           objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel,
                                                                                predicate)));
    }
    if (arrayCount(objc_msgSend<id()>(mediaQuery, "items"_sel)) == 0) return fail(error, "the " + name + " list is empty");
    // A new feeder for the list; the player keeps it.
    id feeder = objc_autorelease(newObject(MusicQueryQueueFeeder::cls()));
    objc_msgSend<queue::setQuery>(feeder, "setQuery:"_sel, mediaQuery);
    objc_msgSend<queue::switchToFeeder>(avController_.get(), "switchToFeeder:mode:index:play:"_sel, feeder, 0L, 0L,
                                        YES);
    return true;
}

void MusicApp::advance() {
    if (!launched_) return;
    AutoreleasePool pool;
    objc_msgSend<void()>(avController_.get(), "_itemDidReachEnd"_sel);
}

void MusicApp::enterBackground() {
    if (!launched_) return;
    AutoreleasePool pool;
    objc_msgSend<void(id, id)>(objc::as_id(NSNotificationCenter::defaultCenter()), "postNotificationName:object:"_sel,
                               UIApplicationDidEnterBackgroundNotification, nil);
}

bool MusicApp::rotateToLandscape() {
    if (!launched_) return false;
    id top = objc_msgSend<id()>(songsNavigationController_.get(), "topViewController"_sel);
    return objc_msgSend<BOOL()>(top, "MPH_supportsCoverFlow"_sel);
}

bool MusicApp::startRadio(std::string* error) {
    if (!launched_) return fail(error, "the app is not running");
    Class radio = objc_getClass("RURadioQueueFeeder");
    if (radio == nil) return fail(error, "this Music app has no radio");
    AutoreleasePool pool;
    id station = objc_autorelease(newObject(radio));
    objc_msgSend<queue::switchToFeeder>(avController_.get(), "switchToFeeder:mode:index:play:"_sel, station, 1L, 0L,
                                        YES);
    return true;
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
