// The installation table: what start-up installs, in which order, and the
// replacements that log and call through.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>
#include <platform/Log.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string> installedLines() {
    std::vector<std::string> out;
    for (const auto& e : objc_copyInstallationLog()) out.push_back(e.className + " " + e.selector + " " + e.kind);
    return out;
}

bool logged(const std::string& line) {
    auto lines = platform::recentLogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool loggedPrefix(const std::string& prefix) {
    for (const auto& l : platform::recentLogLines())
        if (l.rfind(prefix, 0) == 0) return true;
    return false;
}

class Hooks : public ::testing::Test {
protected:
    test::TempRoot root;
};

TEST_F(Hooks, TableIsInstalledInOrder) {
    OWN_PROCESS();  // installs the table
    platform::registerMusicApp();
    CantrelInitialize();
    const bool radio = objc_getClass("RadioTrack") != nullptr;
    std::vector<std::string> expected = {
        "MPHRootViewController initWithTabBarController: R",
        "MPAudioDeviceController init R",
        "MusicQueryQueueFeeder init R",
        "MusicQueryQueueFeeder dealloc R",
        "MusicQueryQueueFeeder playbackInfoAtIndex: R",
        "MusicQueryQueueFeeder getMPMediaQueryShuffledItems A",
        "MPMediaQueryShuffledItems get_sourceMediaQueryItems A",
        "MPMediaQueryShuffledItems set_sourceMediaQueryItems: A",
        "MPMediaQueryShuffledItems get_orderedArray A",
        "MPMediaQueryShuffledItems set_orderedArray: A",
        "MPMediaQueryShuffledItems set_sourceMediaQuery: A",
        "MPUNowPlayingPlaybackControlsView setDelegate: R",
        "MPUNowPlayingPlaybackControlsView initWithFrame: R",
        "UIMoreListController _layoutCells R",
        "MPAVController _itemWillChange: R",
        "MusicNowPlayingViewController _albumTextForItem: R",
        "MusicNowPlayingViewController setID3TagArtwork:andImagePath: A",
        "MusicNowPlayingViewController viewWillAppear: R",
        "MusicNowPlayingViewController viewDidLayoutSubviews R",
        "MusicNowPlayingViewController initWithNibName:bundle: R",
        "MusicNowPlayingViewController showNowPlayingList: A",
        "MusicNowPlayingPlaybackControlsView layoutSubviews R",
        "MusicNowPlayingPlaybackControlsView addToPlaylist: A",
        "MusicNowPlayingPlaybackControlsView editItemOnNowPlayingView: A",
        "MusicAlbumsDetailTableHeaderView layoutSubviews R",
        "MusicFlipsideAlbumDetailViewController setDataSource: R",
        "MusicFlipsideAlbumDetailViewController reloadData R",
        "MusicFlipsideAlbumDetailHeaderView layoutSubviews R",
        "MusicTabBarController _isRadioEnabledDidChangeNotification: R",
        "MusicTabBarController _availableMediaLibrariesDidChangeNotification: R",
        "MusicTabBarController _mediaLibraryDidChangeNotification: R",
        "MPMediaLibraryArtworkDataSource _cacheRepresentation:forCatalog: R",
    };
    if (radio) {
        expected.push_back("RURadioQueueFeeder init R");
        expected.push_back("RadioTrack _offers R");
    }
    for (const char* line : {
             "UIViewController MPH_supportsCoverFlow R",
             "UIViewController music_updateStoreNavigationItem R",
             "UIViewController showNowPlayingList: A",
             "UIViewController _music_updateForContentChangeForInitialViewLoad: R",
             "UIViewController documentInteractionControllerViewControllerForPreview: A",
             "MusicTableViewController tableView:cellForRowAtIndexPath: R",
             "MusicTableViewController tableView:commitEditingStyle:forRowAtIndexPath: R",
             "MusicTableViewController tableView:viewForHeaderInSection: R",
             "MusicTableViewController tableView:willDisplayHeaderView:forSection: R",
             "MusicSongListTableViewCell initWithStyle:reuseIdentifier: R",
             "MusicSongListTableViewCell songsViewControllerCellSwipe: A",
             "_UITableViewCellActionButton layoutSubviews R",
             "UITableView _swipeActionButtonsForRowAtIndexPath: R",
             "UITableView setPlaylistName:andItemEntry: A",
             "UITableView setID3Tags:andTitle:andAlbum:andArtist:andImagePath: A",
             "UITableView setID3TagArtwork:andImagePath: A",
             "UITableView getMPMediaItemArtworkImage: A",
             "UITableView setMPMediaItemArtworkImage:andObject: A",
             "UITableView getClassIVar: A",
             "UITableView getMediaItemProperties: A",
         })
        expected.push_back(line);
    EXPECT_EQ(installedLines(), expected);
}

TEST_F(Hooks, MissingClassesInstallNothingAndTheRestGoesOn) {
    OWN_PROCESS();  // needs a process without the Music app's classes
    // An app without its Music classes: the UIKit and MediaPlayer classes
    // still receive their entries, in the table's order.
    CantrelInitialize();
    EXPECT_EQ(installedLines(), (std::vector<std::string>{
                                    "MPAudioDeviceController init R",
                                    "MPMediaQueryShuffledItems get_sourceMediaQueryItems A",
                                    "MPMediaQueryShuffledItems set_sourceMediaQueryItems: A",
                                    "MPMediaQueryShuffledItems get_orderedArray A",
                                    "MPMediaQueryShuffledItems set_orderedArray: A",
                                    "MPMediaQueryShuffledItems set_sourceMediaQuery: A",
                                    "MPUNowPlayingPlaybackControlsView setDelegate: R",
                                    "MPUNowPlayingPlaybackControlsView initWithFrame: R",
                                    "UIMoreListController _layoutCells R",
                                    "MPAVController _itemWillChange: R",
                                    "MPMediaLibraryArtworkDataSource _cacheRepresentation:forCatalog: R",
                                    "UIViewController MPH_supportsCoverFlow R",
                                    "UIViewController music_updateStoreNavigationItem R",
                                    "UIViewController showNowPlayingList: A",
                                    "UIViewController _music_updateForContentChangeForInitialViewLoad: R",
                                    "UIViewController documentInteractionControllerViewControllerForPreview: A",
                                    "_UITableViewCellActionButton layoutSubviews R",
                                    "UITableView _swipeActionButtonsForRowAtIndexPath: R",
                                    "UITableView setPlaylistName:andItemEntry: A",
                                    "UITableView setID3Tags:andTitle:andAlbum:andArtist:andImagePath: A",
                                    "UITableView setID3TagArtwork:andImagePath: A",
                                    "UITableView getMPMediaItemArtworkImage: A",
                                    "UITableView setMPMediaItemArtworkImage:andObject: A",
                                    "UITableView getClassIVar: A",
                                    "UITableView getMediaItemProperties: A",
                                }));
}

// An app whose song cell initialiser has another prototype than the
// replacement: that entry is left out, quietly while LOGGER_ON is NO (as
// start-up leaves it), and the cell keeps its own method.
id otherInitialiser(id self, SEL, double, id) { return self; }

TEST_F(Hooks, AnEntryOfAnotherPrototypeIsLeftOutWithoutALogLine) {
    OWN_PROCESS();  // registers its own song cell class
    Class cell = objc_allocateClassPair(UIView::cls(), "MusicSongListTableViewCell", 0);
    objc::define_method(cell, "initWithStyle:reuseIdentifier:"_sel, imp_implementationWithFunction(&otherInitialiser),
                        "@@:d@");
    objc_registerClassPair(cell);
    platform::clearRecentLogLines();
    CantrelInitialize();
    std::vector<std::string> lines = installedLines();
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "MusicSongListTableViewCell initWithStyle:reuseIdentifier: R"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "UITableView _swipeActionButtonsForRowAtIndexPath: R"),
              lines.end());  // the entries after it are installed
    EXPECT_TRUE(platform::recentLogLines().empty());
    id made = objc_msgSend<id()>(cell, "alloc"_sel);
    EXPECT_EQ(objc_msgSend<id(double, id)>(made, "initWithStyle:reuseIdentifier:"_sel, 0.0, nil), made);
    objc_release(made);
}

// The app's own header view, which the replacement must hand back.
id appHeaderView = nil;
Slot<id(MusicTableViewController*, SEL, UITableView*, NSInteger)> _appViewForHeader;
id appViewForHeader(MusicTableViewController*, SEL, UITableView*, NSInteger) { return appHeaderView; }

TEST_F(Hooks, ReplacementsCallThroughAndLogOnlyWhenAsked) {
    OWN_PROCESS();  // gives the app a header view before the library installs
    platform::registerMusicApp();
    // The app's list answers a header view of its own.
    Strong<UIView> header = Strong<UIView>::adopt(static_cast<UIView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectZero)));
    appHeaderView = header.get();
    MSHookMessageEx(MusicTableViewController::cls(), "tableView:viewForHeaderInSection:"_sel, appViewForHeader,
                    &_appViewForHeader);
    CantrelInitialize();
    platform::clearRecentLogLines();
    {
        // Silent while LOGGER_ON is NO (start-up clears it).
        platform::MusicApp app;
        app.launch();
        app.postRadioEnabledChange();
    }
    EXPECT_FALSE(loggedPrefix("** Cantrel **"));

    LOGGER_ON = YES;
    platform::MusicApp app;
    app.launch();  // makes an MPAudioDeviceController through alloc/init
    EXPECT_NE(app.audioDeviceController(), nullptr);
    EXPECT_TRUE(loggedPrefix("** Cantrel ** _init$MPAudioDeviceController: <MPAudioDeviceController"));
    EXPECT_TRUE(loggedPrefix("** Cantrel ** _init$MPAudioDeviceController: _pickableRoutes = "));

    app.postRadioEnabledChange();
    EXPECT_TRUE(loggedPrefix("** Cantrel ** __isRadioEnabledDidChangeNotification$MusicTabBarController: notification: "));
    EXPECT_TRUE(loggedPrefix(
        "** Cantrel ** __availableMediaLibrariesDidChangeNotification$MusicTabBarController: notification.userInfo "));
    EXPECT_TRUE(logged("** Cantrel ** __mediaLibraryDidChangeNotification$MusicTabBarController: notification.object (null)"));

    // A header replacement hands back the app's own header view.
    AutoreleasePool pool;
    MusicTableViewController* songs = app.songsViewController();
    id tableView = objc_msgSend<id()>(songs, "tableView"_sel);
    EXPECT_EQ(objc_msgSend<id(id, NSInteger)>(songs, "tableView:viewForHeaderInSection:"_sel, tableView, 0),
              header.get());
    EXPECT_TRUE(loggedPrefix("** Cantrel ** _tableView_viewForHeaderInSection$MusicSongsViewController, headerView: "));

    // A song cell made by the app goes through the replaced initialiser.
    id cell = objc_msgSend<id(NSInteger, id)>(objc_msgSend<id()>(objc_getClass("MusicSongListTableViewCell"), "alloc"_sel),
                                             "initWithStyle:reuseIdentifier:"_sel, 0, nil);
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(logged("** Cantrel ** _initWithStyle_reuseIdentifier$MusicSongListTableViewCell"));
    objc_release(cell);
}

TEST_F(Hooks, SetDelegateStillStoresTheDelegate) {
    OWN_PROCESS();  // registers the Music app's classes
    platform::registerMusicApp();
    CantrelInitialize();
    LOGGER_ON = YES;
    AutoreleasePool pool;
    id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("MPUNowPlayingPlaybackControlsView"), "alloc"_sel),
                                      "initWithFrame:"_sel, CGRectMake(0, 0, 320, 100));
    EXPECT_TRUE(loggedPrefix("** Cantrel ** initWithFrame$MPPlaybackControlsView: <MPUNowPlayingPlaybackControlsView"));
    id delegate = objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "new"_sel), "autorelease"_sel);
    objc_msgSend<void(id)>(view, "setDelegate:"_sel, delegate);
    EXPECT_EQ(objc_msgSend<id()>(view, "delegate"_sel), delegate);
    EXPECT_TRUE(loggedPrefix("setDelegate$MPUNowPlayingPlaybackControlsView: <NSObject"));
    objc_release(view);
}

}  // namespace
