// The Music app: its classes, registered when the app asks for them, and the
// object graph a host builds when it launches the app.
//
// Everything here works through message sends (alloc, init…, the view
// controller callbacks), so replacements installed before launch() see the
// objects being made and the callbacks being sent.
#pragma once

#include <objc/runtime.h>

#include <optional>
#include <string>
#include <vector>

struct MPAVController;
struct MPAudioDeviceController;
struct MPHRootViewController;
struct MusicFlipsideAlbumDetailViewController;
struct MusicNowPlayingViewController;
struct MusicQueryQueueFeeder;
struct MusicTabBarController;
struct MusicTableViewController;
struct RURadioQueueFeeder;
struct UINavigationController;

namespace platform {

// Whether the app has the radio unless told otherwise: NO in a build
// configured with CANTREL_RADIO=OFF.
bool musicAppRadioByDefault();

struct MusicAppOptions {
    // Without the radio, RURadioQueueFeeder and RadioTrack do not exist.
    bool radio = musicAppRadioByDefault();
};

// Registers the app's classes (see the MusicApp/ headers). Idempotent: a
// later call registers only what is still missing, so asking for the radio
// after a launch without it adds the two radio classes.
void registerMusicApp(const MusicAppOptions& options = {});

// The app's objects from launch() to shutdown().
class MusicApp {
public:
    explicit MusicApp(MusicAppOptions options = {});
    ~MusicApp();  // shutdown()
    MusicApp(const MusicApp&) = delete;
    MusicApp& operator=(const MusicApp&) = delete;

    const MusicAppOptions& options() const { return options_; }

    // Registers the app's classes and makes its objects: the tab bar
    // controller (one tab: a navigation controller over the songs list), the
    // root controller, the player (the system player's, through
    // MPMusicPlayerControllerServer), the audio device controller, the query
    // queue feeder with a few items (the library's first songs, or
    // placeholders when the library has none; the player holds it without
    // playing: nothing is loaded), the now-playing controller and, with the
    // radio, a radio queue feeder. Does nothing when already launched.
    void launch();
    // Releases the objects, newest first. Launching again afterwards makes a
    // fresh set.
    void shutdown();
    bool launched() const { return launched_; }

    MusicTabBarController* tabBarController() const { return tabBarController_; }
    MPHRootViewController* rootViewController() const { return rootViewController_; }
    MusicTableViewController* songsViewController() const { return songsViewController_; }
    UINavigationController* songsNavigationController() const { return songsNavigationController_; }
    MPAVController* avController() const { return avController_; }
    MPAudioDeviceController* audioDeviceController() const { return audioDeviceController_; }
    MusicQueryQueueFeeder* queueFeeder() const { return queueFeeder_; }
    MusicNowPlayingViewController* nowPlayingViewController() const { return nowPlayingViewController_; }
    // The navigation controller the now-playing screen stands in (its root).
    UINavigationController* nowPlayingNavigationController() const { return nowPlayingNavigationController_; }
    // Made by the first showFlipside().
    MusicFlipsideAlbumDetailViewController* flipsideViewController() const { return flipsideViewController_; }
    RURadioQueueFeeder* radioQueueFeeder() const { return radioQueueFeeder_; }  // nil without the radio

    // What a user does; each is a no-op before launch().

    // Opens the now-playing screen on nowPlayingItem(), the root of its
    // navigation controller: setItem:, _didUpdateArtworkImage,
    // viewWillAppear:, a layout pass of its
    // view (which sends viewWillLayoutSubviews / viewDidLayoutSubviews and
    // lays the playback controls out), viewDidAppear:. It is the screen shown
    // until a list screen is opened or the flipside view is shown.
    void showNowPlaying();
    bool nowPlayingShown() const { return nowPlayingShown_; }
    // The player moves on: _itemWillChange: to the MPAVController.
    void changeItem(id notification = nil);
    // Starts a list playing from its first song as the app does when a row
    // of it is tapped: a new MusicQueryQueueFeeder gets the list's query
    // (setQuery:) and the player switches to it and plays index 0. "songs"
    // (every song), "album" or "playlist" with the collection's persistent
    // id. The current screen stays. False, with *error set and nothing
    // changed, before launch, for another screen, an id missing, not wanted
    // or unknown, or an empty list.
    bool play(const std::string& name, std::optional<unsigned long long> persistentID = std::nullopt,
              std::string* error = nullptr);
    // The playing song ends (_itemDidReachEnd to the player).
    void advance();
    // The app goes to the background: UIApplicationDidEnterBackgroundNotification
    // is posted to the default centre (object nil).
    void enterBackground();
    // The device turns to landscape: the app asks the controller on top of the
    // songs stack MPH_supportsCoverFlow and shows cover flow when it answers
    // YES. Whether it was shown; false before launch.
    bool rotateToLandscape();
    // Starts a radio station: a new RURadioQueueFeeder, to which the player
    // switches and plays its first track. False without the radio.
    bool startRadio(std::string* error = nullptr);
    // The player's current item: nil before anything is loaded and before
    // launch. The now-playing and flipside screens show it.
    id nowPlayingItem() const;
    // The radio setting changed: the tab bar controller's three handlers.
    void postRadioEnabledChange(id notification = nil);
    // The store offers of the radio's first track (copyRawItemAtIndex: 0,
    // then _offers), autoreleased; nil without the radio.
    id requestOffers();

    // The list screens openScreen knows, in menu order: "songs", "artists",
    // "albums", "album" (an album's tracks; takes the album's persistent
    // id), "composers", "genres", "playlists", "playlist" (a playlist's
    // songs; takes the playlist's persistent id), "compilations".
    static const std::vector<std::string>& screenNames();
    static bool screenTakesID(const std::string& name);
    // Makes that screen the current one: the navigation controller goes back
    // to its root and the new screen (made with alloc/init; an album's tracks
    // inside a MusicAlbumsDetailContainerViewController) is pushed (the push
    // sends viewWillAppear: and viewDidAppear:), sized to the main screen
    // below the navigation bar while the bar shows, and laid out. What the
    // screens left present is dismissed first (the screen presenting it
    // stays until that dismissal ends).
    // False, with *error set and nothing changed, before launch, for an
    // unknown name, an id missing or not wanted, or an id the library does
    // not have (named in the error as `idAsGiven` when set, so as the user
    // typed it). False too, saying so, while another process holds the
    // media library's lock: the screen then goes again (back to the root).
    bool openScreen(const std::string& name, std::optional<unsigned long long> persistentID = std::nullopt,
                    std::string* error = nullptr, const std::string& idAsGiven = {});
    // The list screen on top of the navigation stack (the songs root until a
    // screen is opened; inside a container, the container's list); nil before
    // launch.
    MusicTableViewController* currentScreen() const;
    // Flips the now-playing screen to its album: the flipside controller gets
    // a MusicLibraryDataSource over the tracks of the album of
    // nowPlayingItem() (none when it has no album in the library), reloadData, and
    // is shown like a screen (its header view lays out).
    void showFlipside();
    // Whether the flipside view is the screen shown: from showFlipside() until
    // a list screen is opened or the now-playing screen is shown.
    bool flipsideShown() const { return flipsideShown_; }

private:
    // Dismisses, without animation, what the list screens, the now-playing
    // screen and the flipside present (a sheet, a menu, a picker) and the
    // popovers shown over them (a pad's share sheet), after the transitions
    // in flight: leaving them ends it, as a tab switch does.
    void closePresentations();

    MusicAppOptions options_;
    bool launched_ = false;
    bool nowPlayingShown_ = false;
    bool flipsideShown_ = false;
    Strong<MusicTabBarController> tabBarController_;
    Strong<MusicTableViewController> songsViewController_;
    Strong<UINavigationController> songsNavigationController_;
    Strong<MPHRootViewController> rootViewController_;
    Strong<MPAVController> avController_;
    Strong<MPAudioDeviceController> audioDeviceController_;
    Strong<MusicQueryQueueFeeder> queueFeeder_;
    Strong<MusicNowPlayingViewController> nowPlayingViewController_;
    Strong<UINavigationController> nowPlayingNavigationController_;
    Strong<MusicFlipsideAlbumDetailViewController> flipsideViewController_;
    Strong<RURadioQueueFeeder> radioQueueFeeder_;
};

}  // namespace platform
