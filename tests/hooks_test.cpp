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
    platform::registerMusicApp();
    CantrelInitialize();
    std::vector<std::string> expected = {
        "MPAudioDeviceController init R",
        "MPUNowPlayingPlaybackControlsView setDelegate: R",
        "MPUNowPlayingPlaybackControlsView initWithFrame: R",
        "UIMoreListController _layoutCells R",
        "MusicNowPlayingViewController setID3TagArtwork:andImagePath: A",
        "MusicAlbumsDetailTableHeaderView layoutSubviews R",
        "MusicFlipsideAlbumDetailViewController setDataSource: R",
        "MusicTabBarController _isRadioEnabledDidChangeNotification: R",
        "MusicTabBarController _availableMediaLibrariesDidChangeNotification: R",
        "MusicTabBarController _mediaLibraryDidChangeNotification: R",
        "MPMediaLibraryArtworkDataSource _cacheRepresentation:forCatalog: R",
        "MusicTableViewController tableView:viewForHeaderInSection: R",
        "MusicTableViewController tableView:willDisplayHeaderView:forSection: R",
        "MusicSongListTableViewCell initWithStyle:reuseIdentifier: R",
        "_UITableViewCellActionButton layoutSubviews R",
        "UITableView _swipeActionButtonsForRowAtIndexPath: R",
        "UITableView setID3Tags:andTitle:andAlbum:andArtist:andImagePath: A",
        "UITableView setID3TagArtwork:andImagePath: A",
    };
    EXPECT_EQ(installedLines(), expected);
}

TEST_F(Hooks, MissingClassesInstallNothingAndTheRestGoesOn) {
    // An app without its Music classes: only the platform's own classes
    // (UIKit, MediaPlayer) receive their entries.
    CantrelInitialize();
    for (const auto& line : installedLines()) EXPECT_EQ(line.rfind("Music", 0), std::string::npos) << line;
    EXPECT_FALSE(installedLines().empty());
}

TEST_F(Hooks, ReplacementsCallThroughAndLogOnlyWhenAsked) {
    platform::registerMusicApp();
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
    objc_msgSend<id(id, NSInteger)>(songs, "tableView:viewForHeaderInSection:"_sel, tableView, 0);
    EXPECT_TRUE(loggedPrefix("** Cantrel ** _tableView_viewForHeaderInSection$MusicSongsViewController, headerView: "));

    // A song cell made by the app goes through the replaced initialiser.
    id cell = objc_msgSend<id(NSInteger, id)>(objc_msgSend<id()>(objc_getClass("MusicSongListTableViewCell"), "alloc"_sel),
                                             "initWithStyle:reuseIdentifier:"_sel, 0, nil);
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(logged("** Cantrel ** _initWithStyle_reuseIdentifier$MusicSongListTableViewCell"));
    objc_release(cell);
}

TEST_F(Hooks, SetDelegateStillStoresTheDelegate) {
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
