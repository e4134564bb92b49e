// Save and Cancel of the edit sheet over the known library, read back through
// a connection of its own: each view index's writes, untouched sheets, the
// album artist without songs, the playlist on a locked database; the artwork
// imports (song and album, badge texts, reload marks, refused imports,
// overlapping saves) and the row refresh after the list was left.
#include "Cantrel.h"
#include "Classes.h"
#include "EditHandler.h"
#include "EditSave.h"
#include "EditSheetSupport.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "MessageView.h"
#include "NSObject+BKAssociatedObjects.h"
#include "ParentSongAlbumArtistView.h"
#include "TestSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/ML3MusicLibrary.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <attachedpictureframe.h>
#include <id3v2tag.h>
#include <mpegfile.h>

#include <gtest/gtest.h>

#include <cairo.h>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";
const std::string kBundleSource = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle";

id get(id obj, const char* selector) { return objc_msgSend<id()>(obj, sel_registerName(selector)); }

// The badge's texts, in the order they were set.
std::vector<std::string>& badgeLog() {
    static std::vector<std::string> log;
    return log;
}
Slot<void(MessageView*, SEL, id)> originalText, originalSubText;
void recordText(MessageView* self, SEL cmd, id t) {
    badgeLog().push_back("text " + to_string(static_cast<NSString*>(t)));
    originalText(self, cmd, t);
}
void recordSubText(MessageView* self, SEL cmd, id t) {
    badgeLog().push_back("sub " + to_string(static_cast<NSString*>(t)));
    originalSubText(self, cmd, t);
}

class EditSave : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        ASSERT_TRUE(fixture::writeLibrary());
        // Every item has its artwork row, and an MP3 file.
        sql("INSERT OR IGNORE INTO item_artwork (item_pid, best_artwork_token, sync_artwork_token) "
            "SELECT item_pid, '', '' FROM item");
        std::filesystem::create_directories(root.host("/var/mobile/Media/Music/F00"));
        audio = platform::generator::toneMP3(440);
        for (const auto& s : fixture::songs()) writeFile(mp3Of(s.pid), audio);
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy(kBundleSource, root.host(kBundle));
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        platform::ml3::setRefusesImports(false);
        // The options as a fresh start loads them, whatever a test before
        // in this process set.
        enforce_ID3Tag_on_artwork = YES;
        has_ArtworkOverwriteProblems = NO;
        if (!originalText) {
            MSHookMessageEx(MessageView::cls(), "updateText:"_sel, imp_implementationWithFunction(recordText),
                            &originalText.imp);
            MSHookMessageEx(MessageView::cls(), "updateSubText:"_sel, imp_implementationWithFunction(recordSubText),
                            &originalSubText.imp);
        }
        badgeLog().clear();
    }
    static void writeFile(const std::string& p, const std::vector<unsigned char>& bytes) {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::string mp3Of(long long pid) { return root.host("/var/mobile/Media/Music/F00/" + std::to_string(pid) + ".mp3"); }
    sqlite3* openDb() {
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        return db;
    }
    void sql(const std::string& statements) {
        sqlite3* db = openDb();
        EXPECT_TRUE(fixture::exec(db, statements)) << statements;
        sqlite3_close(db);
    }
    std::string query(const std::string& text) {
        sqlite3* db = openDb();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, text.c_str(), -1, &st, nullptr);
        std::string out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            if (!out.empty()) out += ";";
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                auto* t = sqlite3_column_text(st, c);
                out += (c ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "<NULL>");
            }
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }
    Strong<ItemEntry> entryFor(const std::string& screen, unsigned long long pid,
                               std::optional<unsigned long long> container = std::nullopt) {
        return test::entryForRow(app, screen, pid, container);
    }
    UIAlertController* open(ItemEntry* entry, id image = nil, long rating = -1) {
        objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         image, entry, rating);
        platform::finishTransitions(1);
        return static_cast<UIAlertController*>(get(entry->currentViewController.get(), "presentedViewController"));
    }
    static ParentSongAlbumArtistView* panelOf(UIAlertController* alert) {
        return static_cast<ParentSongAlbumArtistView*>(objc_msgSend<id(NSInteger)>(get(alert, "view"), "viewWithTag:"_sel, 99));
    }
    void tap(UIAlertController* alert, const char* title) {
        id actions = get(alert, "actions");
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i) {
            auto* a = static_cast<UIAlertAction*>(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i));
            if (to_string(static_cast<NSString*>(get(a, "title"))) == title) {
                ASSERT_TRUE(platform::tapAlertAction(alert, a));
                return;
            }
        }
        ADD_FAILURE() << "no action " << title;
    }
    // Serves the main run loop until the imports have closed, then through
    // the refresh's second.
    void settle() {
        platform::RunLoop::main().runUntil([] { return EditSheetImportsIdle(); }, 20);
        platform::RunLoop::main().runFor(1.1);
    }
    long indexOf(id dictionary, const char* key, const char* name) {
        id names = objc_msgSend<id(id)>(dictionary, "objectForKey:"_sel, NSString::make(key));
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(names, "count"_sel); ++i)
            if (to_string(static_cast<NSString*>(objc_msgSend<id(NSUInteger)>(names, "objectAtIndex:"_sel, i))) == name)
                return static_cast<long>(i);
        ADD_FAILURE() << "no " << name;
        return -1;
    }
    UIImage* picture(double red) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, red, 0.3, 0.3);
        cairo_paint(cr);
        cairo_destroy(cr);
        return UIImage::withSurface(s);
    }
    std::vector<std::string> picturesIn(long long pid) {
        TagLib::MPEG::File f(mp3Of(pid).c_str());
        std::vector<std::string> out;
        if (!f.hasID3v2Tag()) return out;
        for (auto* frame : f.ID3v2Tag()->frameListMap()["APIC"]) {
            auto* p = static_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
            out.push_back(std::to_string(static_cast<int>(p->type())) + " " + p->description().to8Bit());
        }
        return out;
    }
    bool marked(id item) { return objc_msgSend<id(const void*)>(item, "associatedValueForKey:"_sel, kReloadImageKey) != nil; }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
    std::vector<unsigned char> audio;
};

// Done on a picker that shows no row (the item's genre or album artist is
// not in the list, and none was scrolled to) changes neither the field nor
// the record, and Save writes nothing for it.
TEST_F(EditSave, DoneWithNoRowChosenChangesNothingForEitherPicker) {
    sql("UPDATE item SET genre_id = 99 WHERE item_pid = 1004;"
        "UPDATE item SET album_artist_pid = 999 WHERE album_pid = 204;");
    auto doneOn = [](id field) {
        ASSERT_TRUE(objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel));
        id toolbar = objc_msgSend<id(NSUInteger)>(get(get(field, "inputView"), "subviews"), "objectAtIndex:"_sel, 0);
        id done = objc_msgSend<id(NSUInteger)>(get(toolbar, "items"), "objectAtIndex:"_sel, 2);
        ASSERT_EQ(to_string(static_cast<NSString*>(get(done, "title"))), "Done");
        EXPECT_TRUE(platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(done)));
        EXPECT_FALSE(objc_msgSend<BOOL()>(field, "isFirstResponder"_sel));
    };

    Strong<ItemEntry> song = entryFor("songs", 1004);
    UIAlertController* alert = open(song.get());
    auto* panel = panelOf(alert);
    doneOn(panel->subTitleTextField.get());
    EXPECT_EQ(to_string(static_cast<NSString*>(get(panel->subTitleTextField.get(), "text"))), "");
    EXPECT_EQ(panel->genreIndexAfter, -1);
    EXPECT_EQ(song->genreIndex, -1);
    tap(alert, "Save");
    settle();
    EXPECT_EQ(query("SELECT genre_id FROM item WHERE item_pid = 1004"), "99");

    Strong<ItemEntry> album = entryFor("albums", 204);
    alert = open(album.get());
    panel = panelOf(alert);
    doneOn(panel->subTitleTextField.get());
    EXPECT_EQ(to_string(static_cast<NSString*>(get(panel->subTitleTextField.get(), "text"))), "");
    EXPECT_EQ(panel->artistIndexAfter, -1);
    EXPECT_EQ(album->artistIndex, -1);
    tap(alert, "Save");
    settle();
    EXPECT_EQ(query("SELECT album_artist_pid FROM item WHERE item_pid = 1008"), "999");
}

// A rating handed to the sheet from outside -1 ... 5 is taken as the nearest
// of them when the sheet opens: the stars and Save agree.
TEST_F(EditSave, ARatingOutsideTheStarsIsClampedWhenTheSheetOpens) {
    const std::string rating = "SELECT user_rating FROM item_stats WHERE item_pid = 1003";
    sql("UPDATE item_stats SET user_rating = 40 WHERE item_pid = 1003;");
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    UIAlertController* alert = open(entry.get(), nil, -7);
    EXPECT_EQ(panelOf(alert)->newRating, -1);
    EXPECT_EQ(objc_msgSend<int()>(panelOf(alert)->ratingView.get(), "rating"_sel), 2);
    tap(alert, "Save");
    settle();
    EXPECT_EQ(query(rating), "40");

    alert = open(entry.get(), nil, 9);
    EXPECT_EQ(panelOf(alert)->newRating, 5);
    EXPECT_EQ(objc_msgSend<int()>(panelOf(alert)->ratingView.get(), "rating"_sel), 5);
    tap(alert, "Save");
    settle();
    EXPECT_EQ(query(rating), "100");
}

// A song sheet writes its title, rating and genre; an untouched one writes
// nothing; Cancel writes nothing either.
TEST_F(EditSave, SongFieldsAreWrittenOnlyWhenChanged) {
    const std::string rows = "SELECT i.title, s.user_rating, i.genre_id FROM item i JOIN item_stats s USING (item_pid) "
                             "WHERE item_pid = 1003";
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    std::string before = query(rows);
    tap(open(entry.get()), "Save");
    settle();
    EXPECT_EQ(query(rows), before);

    UIAlertController* alert = open(entry.get());
    auto* panel = panelOf(alert);
    objc_msgSend<void(id)>(panel->titleTextField.get(), "setText:"_sel, "Été à Tōkyō 東京 🎧"_ns);
    panel->newRating = 4;
    panel->genreIndexAfter = indexOf(panel->genreDictionary.get(), "genreNames", "Pop");
    tap(alert, "Cancel");
    settle();
    EXPECT_EQ(query(rows), before);

    alert = open(entry.get());
    panel = panelOf(alert);
    objc_msgSend<void(id)>(panel->titleTextField.get(), "setText:"_sel, "Été à Tōkyō 東京 🎧"_ns);
    panel->newRating = 4;
    panel->genreIndexAfter = indexOf(panel->genreDictionary.get(), "genreNames", "Pop");
    tap(alert, "Save");
    settle();
    EXPECT_EQ(query(rows), "Été à Tōkyō 東京 🎧|80|1");
    EXPECT_EQ(to_string(static_cast<NSString*>(get(entry->mediaItem.get(), "title"))), "Été à Tōkyō 東京 🎧");

    // Stars cleared to 0 write 0.
    alert = open(entry.get());
    panelOf(alert)->newRating = 0;
    tap(alert, "Save");
    settle();
    EXPECT_EQ(query("SELECT user_rating FROM item_stats WHERE item_pid = 1003"), "0");
}

// The album artist step: an artist without songs takes its place from the
// sort map, album and tracks together; with no place at all neither changes.
TEST_F(EditSave, AlbumArtistWithoutSongsMovesAlbumAndTracksTogether) {
    sql("INSERT INTO album_artist VALUES (110, 'Zephyr Lane', 'Zephyr Lane');"
        "INSERT INTO sort_map VALUES ('Zephyr Lane', 9000, 25, 'zephyr lane');"
        "INSERT INTO album_artist VALUES (111, 'Nowhere Band', 'Nowhere Band');");
    for (const char* artist : {"Nowhere Band", "Zephyr Lane"}) {
        SCOPED_TRACE(artist);
        Strong<ItemEntry> entry = entryFor("albums", 202);
        UIAlertController* alert = open(entry.get());
        auto* panel = panelOf(alert);
        panel->artistIndexAfter = indexOf(panel->artistDictionary.get(), "artistNames", artist);
        tap(alert, "Save");
        settle();
        bool moved = std::string(artist) == "Zephyr Lane";
        EXPECT_EQ(query("SELECT album_artist_pid FROM album WHERE album_pid = 202"), moved ? "110" : "102");
        EXPECT_EQ(query("SELECT DISTINCT album_artist_pid || ',' || album_artist_order || ',' || album_artist_order_section "
                        "FROM item WHERE album_pid = 202"),
                  moved ? "110,9000,25" : query("SELECT DISTINCT album_artist_pid || ',' || album_artist_order || ',' || "
                                                "album_artist_order_section FROM item WHERE album_pid = 202"));
        if (!moved) {
            EXPECT_EQ(query("SELECT DISTINCT album_artist_pid FROM item WHERE album_pid = 202"), "102");
        }
    }
}

std::vector<std::string>& shownNames() {
    static std::vector<std::string> names;
    return names;
}
void recordPlaylistName(id, SEL, id name, id) { shownNames().push_back(to_string(static_cast<NSString*>(name))); }

// A playlist renamed while the database is locked keeps its shown name; once
// the database takes the name, the list shows it.
TEST_F(EditSave, PlaylistShowsItsNewNameOnlyOnceWritten) {
    // The library's own renamer stands in the table; the recorder takes its place.
    MSHookMessageEx(UITableView::cls(), "setPlaylistName:andItemEntry:"_sel,
                    imp_implementationWithFunction(recordPlaylistName), nullptr);
    for (bool locked : {true, false}) {
        SCOPED_TRACE(locked ? "locked" : "free");
        shownNames().clear();
        Strong<ItemEntry> entry = entryFor("playlists", 501);
        UIAlertController* alert = open(entry.get());
        objc_msgSend<void(id)>(panelOf(alert)->titleTextField.get(), "setText:"_sel, "Night Drive"_ns);
        sqlite3* lock = openDb();
        if (locked) sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
        tap(alert, "Save");
        settle();
        sqlite3_exec(lock, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(lock);
        EXPECT_EQ(query("SELECT name FROM container WHERE container_pid = 501"), locked ? "Road Trip" : "Night Drive");
        EXPECT_EQ(shownNames(), locked ? std::vector<std::string>{} : std::vector<std::string>{"Night Drive"});
    }
}

// The song import: a song without artwork gets a new token in its row's sync
// token, its file the picture; the item is marked for reload.
TEST_F(EditSave, SongImportGivesANewTokenAndTagsTheFile) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    std::string next = query("SELECT max(CAST(artwork_token AS INTEGER)) + 1 FROM artwork WHERE artwork_token GLOB '[0-9]*'");
    if (next.empty() || next == "<NULL>") next = "1";
    tap(open(entry.get(), picture(0.9)), "Save");
    settle();
    EXPECT_EQ(query("SELECT sync_artwork_token FROM item_artwork WHERE item_pid = 1003"), next);
    std::string rel = query("SELECT relative_path FROM artwork WHERE artwork_token = '" + next + "'");
    ASSERT_FALSE(rel.empty());
    EXPECT_TRUE(std::filesystem::exists(root.host(std::string(platform::artworkFolderDevicePath()) + "/" + rel)));
    EXPECT_EQ(picturesIn(1003), (std::vector<std::string>{"11 @brevankl"}));
    EXPECT_TRUE(marked(entry->mediaItem.get()));
    EXPECT_EQ(entry->pendingArtwork.get(), nullptr);
}

// A refused import leaves the row and the file as they were, and still
// closes (badge removed, row refreshed).
TEST_F(EditSave, RefusedImportChangesNothing) {
    platform::ml3::setRefusesImports(true);
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    tap(open(entry.get(), picture(0.2)), "Save");
    settle();
    EXPECT_EQ(query("SELECT sync_artwork_token FROM item_artwork WHERE item_pid = 1003"), "");
    EXPECT_TRUE(picturesIn(1003).empty());
    EXPECT_EQ(std::count_if(platform::journal().begin(), platform::journal().end(),
                            [](const auto& e) { return e.kind == "alert"; }),
              0);
}

// The album import of three tracks: badge texts in order, each track's file
// tagged and given the new token, only the first track marked.
TEST_F(EditSave, AlbumImportOfThreeTracks) {
    Strong<ItemEntry> entry = entryFor("albums", 202);
    tap(open(entry.get(), picture(0.5)), "Save");
    settle();
    EXPECT_EQ(badgeLog(), (std::vector<std::string>{"sub artwork", "text Updating Tracks", "sub 1 of 3", "sub 2 of 3",
                                                    "sub 3 of 3"}));
    std::string token = query("SELECT DISTINCT sync_artwork_token FROM item_artwork WHERE item_pid IN (1003, 1004, 1005)");
    EXPECT_FALSE(token.empty());
    EXPECT_EQ(token.find(';'), std::string::npos) << token;
    for (long long pid : {1003, 1004, 1005}) EXPECT_EQ(picturesIn(pid), (std::vector<std::string>{"11 @brevankl"})) << pid;
    id tracks = get(entry->mediaItemCollection.get(), "items");
    for (NSUInteger i = 0; i < 3; ++i)
        EXPECT_EQ(marked(objc_msgSend<id(NSUInteger)>(tracks, "objectAtIndex:"_sel, i)), i == 0) << i;
    // No badge remains on the screen.
    id subviews = get(get(entry->currentViewController.get(), "view"), "subviews");
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(subviews, "count"_sel); ++i)
        EXPECT_FALSE(objc_msgSend<BOOL(Class)>(objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i),
                                               "isKindOfClass:"_sel, MessageView::cls()));
}

// Two saves whose imports overlap take different tokens.
TEST_F(EditSave, OverlappingSavesTakeDifferentTokens) {
    const long long songs[] = {1003, 1006, 1008, 1009, 1010};
    std::vector<Strong<ItemEntry>> entries;
    for (long long pid : songs) {
        entries.push_back(entryFor("songs", static_cast<unsigned long long>(pid)));
        tap(open(entries.back().get(), picture(0.1 * static_cast<double>(entries.size()))), "Save");
    }
    settle();
    EXPECT_EQ(query("SELECT count(DISTINCT sync_artwork_token) FROM item_artwork WHERE sync_artwork_token <> '' AND "
                    "item_pid IN (1003, 1006, 1008, 1009, 1010)"),
              "5");
}

// The refresh runs one second after Save even when the list was left and
// released meanwhile.
TEST_F(EditSave, RowRefreshedAfterTheListWasLeft) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    UIAlertController* alert = open(entry.get());
    objc_msgSend<void(id)>(panelOf(alert)->titleTextField.get(), "setText:"_sel, "Left Behind"_ns);
    tap(alert, "Save");
    std::string error;
    ASSERT_TRUE(app.openScreen("albums", std::nullopt, &error)) << error;
    platform::RunLoop::main().runFor(0.9);
    EXPECT_EQ(query("SELECT title FROM item WHERE item_pid = 1003"), "Left Behind");
    platform::RunLoop::main().runFor(0.2);  // the refresh ran without a crash
    EXPECT_EQ(to_string(static_cast<NSString*>(get(entry->mediaItem.get(), "title"))), "Left Behind");
}

}  // namespace

namespace {

// A song that has artwork keeps its token: the picture under it is replaced
// and no item row is rewritten; with has_ArtworkOverwriteProblems it takes a
// new token instead.
TEST_F(EditSave, KeptTokenOrNewTokenByTheOverwriteOption) {
    std::string oldFile = root.host(std::string(platform::artworkFolderDevicePath()) + "/a1/arrival.png");
    ASSERT_TRUE(std::filesystem::exists(oldFile));
    Strong<ItemEntry> entry = entryFor("album", 1001, 201);
    tap(open(entry.get(), picture(0.4)), "Save");
    settle();
    EXPECT_EQ(query("SELECT best_artwork_token || ',' || coalesce(sync_artwork_token, '') FROM item_artwork WHERE item_pid = 1001"), "aw1,");
    std::string rel = query("SELECT relative_path FROM artwork WHERE artwork_token = 'aw1'");
    EXPECT_NE(rel, "a1/arrival.png");
    EXPECT_TRUE(std::filesystem::exists(root.host(std::string(platform::artworkFolderDevicePath()) + "/" + rel)));
    EXPECT_FALSE(std::filesystem::exists(oldFile));

    has_ArtworkOverwriteProblems = YES;
    Strong<ItemEntry> again = entryFor("album", 1002, 201);
    tap(open(again.get(), picture(0.6)), "Save");
    settle();
    has_ArtworkOverwriteProblems = NO;
    std::string token = query("SELECT sync_artwork_token FROM item_artwork WHERE item_pid = 1002");
    EXPECT_FALSE(token.empty());
    EXPECT_NE(token, "aw1");
}

// With enforce_ID3Tag_on_artwork off the song import writes no file (the
// library still takes the picture).
TEST_F(EditSave, WithoutTheID3OptionNoFileIsWritten) {
    enforce_ID3Tag_on_artwork = NO;
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    tap(open(entry.get(), picture(0.3)), "Save");
    settle();
    EXPECT_FALSE(query("SELECT sync_artwork_token FROM item_artwork WHERE item_pid = 1003").empty());
    EXPECT_TRUE(picturesIn(1003).empty());
    // The tests after this one in the same process tag their files.
    enforce_ID3Tag_on_artwork = YES;
}

// Tracks that are not MP3 files: one alert per track, the import goes on.
TEST_F(EditSave, EachNonMP3TrackGetsItsAlert) {
    sql("UPDATE item SET location = replace(location, '.mp3', '.m4a') WHERE album_pid = 202");
    platform::clearJournal();
    Strong<ItemEntry> entry = entryFor("albums", 202);
    tap(open(entry.get(), picture(0.8)), "Save");
    settle();
    int alerts = 0;
    for (const auto& e : platform::journal())
        if (e.kind == "alert") {
            ++alerts;
            EXPECT_EQ(e.title, "Failed to change ID3Tags metadata");
            EXPECT_EQ(e.message, "Editing ID3Tags metadata from tracks can only be done on mp3 file types.");
        }
    EXPECT_EQ(alerts, 3);
    EXPECT_EQ(query("SELECT count(DISTINCT sync_artwork_token) FROM item_artwork WHERE item_pid IN (1003, 1004, 1005) "
                    "AND sync_artwork_token <> ''"),
              "1");
}

// A picture picked, then a sheet reopened without one (another sub-screen):
// Save still imports the picked picture; Cancel drops it.
TEST_F(EditSave, PickedPictureSurvivesAReopenedSheet) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    UIAlertController* alert = open(entry.get(), picture(0.9));
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
    platform::finishTransitions(1);
    tap(open(entry.get()), "Cancel");
    EXPECT_EQ(entry->pendingArtwork.get(), nullptr);

    alert = open(entry.get(), picture(0.9));
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
    platform::finishTransitions(1);
    tap(open(entry.get()), "Save");
    settle();
    EXPECT_FALSE(query("SELECT sync_artwork_token FROM item_artwork WHERE item_pid = 1003").empty());
}

}  // namespace

#include <MusicApp/MusicNowPlayingViewController.h>

namespace {

// The now-playing item: tagged through the now-playing controller, its
// refresh goes to the now-playing artwork (the placeholder view shows the
// new picture) instead of a list.
TEST_F(EditSave, NowPlayingItemRefreshesTheNowPlayingArtwork) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    auto* nowPlaying = app.nowPlayingViewController();
    objc_msgSend<void(id)>(nowPlaying, "setItem:"_sel, entry->mediaItem.get());
    id view = get(objc::as_id(nowPlaying), "view");
    entry->viewIndex = kViewIndexNowPlaying;
    entry->currentNowPlayingViewController = objc::as_id(nowPlaying);
    UIImage* pick = picture(0.95);
    objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                     objc::as_id(pick), entry.get(), -1L);
    platform::finishTransitions(1);
    auto* alert = static_cast<UIAlertController*>(get(objc::as_id(nowPlaying), "presentedViewController"));
    ASSERT_NE(alert, nullptr);
    int before = platform::nowPlayingArtworkUpdates();
    tap(alert, "Save");
    settle();
    EXPECT_EQ(platform::nowPlayingArtworkUpdates(), before + 1);
    EXPECT_EQ(picturesIn(1003), (std::vector<std::string>{"11 @brevankl"}));
    id placeholder = nil;
    id subviews = get(view, "subviews");
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(subviews, "count"_sel) && !placeholder; ++i) {
        id v = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (std::string(object_getClassName(v)) == "MPUSlantedTextPlaceholderArtworkView") placeholder = v;
    }
    ASSERT_NE(placeholder, nil);
    EXPECT_EQ(get(placeholder, "image"), objc::as_id(pick));
}

}  // namespace

namespace {

int refreshes = 0;
Slot<void(ParentSongAlbumArtistView*, SEL)> originalRefresh;
void countRefresh(ParentSongAlbumArtistView* self, SEL cmd) {
    ++refreshes;
    originalRefresh(self, cmd);
}

// The refresh runs once per save: 1.0 s after Save without a picture, and
// from the import's end with one.
TEST_F(EditSave, OneRefreshPerSave) {
    MSHookMessageEx(ParentSongAlbumArtistView::cls(), "updateRowAfterSave"_sel, imp_implementationWithFunction(countRefresh),
                    &originalRefresh.imp);
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    tap(open(entry.get()), "Save");
    platform::RunLoop::main().runFor(0.99);
    EXPECT_EQ(refreshes, 0);
    platform::RunLoop::main().runFor(0.02);
    EXPECT_EQ(refreshes, 1);
    platform::RunLoop::main().runFor(3);
    EXPECT_EQ(refreshes, 1);

    tap(open(entry.get(), picture(0.5)), "Save");
    settle();
    platform::RunLoop::main().runFor(3);
    EXPECT_EQ(refreshes, 2);
}

}  // namespace
