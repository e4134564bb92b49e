// The now-playing screen's add-to-playlist and edit buttons and the
// add-to-playlist picker they open.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "NowPlayingButtons.h"
#include "ParentSongAlbumArtistView.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";

NSUInteger count(id array) { return objc_msgSend<NSUInteger()>(array, "count"_sel); }
id at(id array, NSUInteger i) { return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, i); }
std::string text(id s) { return s == nil ? "(nil)" : to_string(static_cast<NSString*>(s)); }
unsigned long long pidOf(id entity) { return objc_msgSend<unsigned long long()>(entity, "persistentID"_sel); }

// What the edit sheet and the picker were asked to open.
struct Opened {
    int edits = 0;
    Strong<NSObject> entry;
    long rating = 0;
};
Opened* opened = nullptr;

void recordEdit(objc_class*, SEL, id, id entry, long rating) {
    ++opened->edits;
    opened->entry = static_cast<NSObject*>(entry);
    opened->rating = rating;
}

class NowPlaying : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::writeLibrary());
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", root.host(kBundle));
        platform::resetMainScreen();
        platform::setDeviceIdiom(0);
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        MSHookMessageEx(objc_getClass("EditHandler")->isa, "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                        objc::make_imp<recordEdit>(), nullptr);
        opened = &record;
        app.launch();
        std::string error;
        ASSERT_TRUE(app.play("album", 202, &error)) << error;  // Coming Home plays
        app.showNowPlaying();
    }
    void TearDown() override {
        platform::setAddPlaylistAnswersNil(false);
        platform::setPlaylistsQueryListsHidden(false);
        platform::finishTransitions(5);
        // Nothing a test left presented stands over the next test's screen.
        auto presented = platform::presentedViewControllers();
        for (auto it = presented.rbegin(); it != presented.rend(); ++it)
            objc_msgSend<void(BOOL, id)>(objc::as_id(*it), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::finishTransitions(5);
        opened = nullptr;
    }

    id controller() { return objc::as_id(app.nowPlayingViewController()); }
    id controls() { return objc_msgSend<id()>(controller(), "playbackControlsView"_sel); }

    // The button items of the containers among a view's direct subviews, by
    // their action.
    std::map<std::string, id> buttonsIn(id view, std::map<std::string, CGRect>* frames = nullptr) {
        std::map<std::string, id> out;
        id subviews = objc_msgSend<id()>(view, "subviews"_sel);
        for (NSUInteger i = 0; i < count(subviews); ++i) {
            id inner = objc_msgSend<id()>(at(subviews, i), "subviews"_sel);
            for (NSUInteger k = 0; k < count(inner); ++k) {
                id bar = at(inner, k);
                if (!objc_isKindOfClass(bar, UIToolbar::cls()) || objc_msgSend<NSInteger()>(bar, "tag"_sel) != 99) continue;
                id item = at(objc_msgSend<id()>(bar, "items"_sel), 0);
                std::string action = sel_getName(objc_msgSend<SEL()>(item, "action"_sel));
                EXPECT_EQ(out.count(action), 0u) << "two " << action << " buttons";
                out[action] = item;
                if (frames) (*frames)[action] = objc_msgSend<CGRect()>(at(subviews, i), "frame"_sel);
            }
        }
        return out;
    }
    std::map<std::string, id> buttons() { return buttonsIn(controls()); }

    void layout() { objc_msgSend<void()>(controls(), "layoutSubviews"_sel); }

    // The album-line request the app makes for a playing item.
    void askAlbumLine(id mediaItem) {
        AutoreleasePool pool;
        id item = objc_autorelease(objc_msgSend<id(id)>(objc_msgSend<id()>(objc_getClass("MusicQueryNowPlayingItem"),
                                                                           "alloc"_sel),
                                                        "initWithMediaItem:"_sel, mediaItem));
        objc_msgSend<id(id)>(controller(), "_albumTextForItem:"_sel, item);
    }

    void tap(const char* action) {
        id item = buttons()[action];
        ASSERT_NE(item, nullptr) << action;
        ASSERT_TRUE(platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(item)));
        platform::finishTransitions(5);
    }

    UIAlertController* pickerAlert() {
        for (UIViewController* c : platform::presentedViewControllers())
            if (objc_isKindOfClass(objc::as_id(c), UIAlertController::cls())) return static_cast<UIAlertController*>(c);
        return nullptr;
    }
    ParentSongAlbumArtistView* panel() {
        UIAlertController* alert = pickerAlert();
        id view = alert ? objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(alert, "view"_sel), "viewWithTag:"_sel, 99) : nil;
        return objc_isKindOfClass(view, PlaylistSelectionView::cls()) ? static_cast<ParentSongAlbumArtistView*>(view)
                                                                      : nullptr;
    }
    id field() { return panel()->titleTextField.get(); }
    id pickerOf(id f) {
        id subviews = objc_msgSend<id()>(objc_msgSend<id()>(f, "inputView"_sel), "subviews"_sel);
        for (NSUInteger i = 0; i < count(subviews); ++i)
            if (objc_isKindOfClass(at(subviews, i), UIPickerView::cls())) return at(subviews, i);
        return nil;
    }
    void toolbar(const std::string& title) {
        id bar = nil;
        id subviews = objc_msgSend<id()>(objc_msgSend<id()>(field(), "inputView"_sel), "subviews"_sel);
        for (NSUInteger i = 0; i < count(subviews); ++i)
            if (objc_isKindOfClass(at(subviews, i), UIToolbar::cls())) bar = at(subviews, i);
        id items = objc_msgSend<id()>(bar, "items"_sel);
        for (NSUInteger i = 0; i < count(items); ++i)
            if (text(objc_msgSend<id()>(at(items, i), "title"_sel)) == title) {
                ASSERT_TRUE(platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(at(items, i))));
            }
    }
    void action(const std::string& title) {
        UIAlertController* alert = pickerAlert();
        ASSERT_NE(alert, nullptr);
        for (const auto& a : alert->_actions)
            if (text(objc::as_id(a->_title.get())) == title) {
                ASSERT_TRUE(platform::tapAlertAction(alert, a.get()));
            }
        platform::finishTransitions(5);
        platform::RunLoop::main().runUntil([] { return false; }, 0.05);
    }
    std::vector<std::string> rowNames() {
        id names = objc_msgSend<id(id)>(panel()->genreDictionary.get(), "objectForKey:"_sel, "name"_ns);
        std::vector<std::string> out;
        for (NSUInteger i = 0; i < count(names); ++i) out.push_back(text(at(names, i)));
        return out;
    }

    // The badges over the now-playing screen: their text and icon tag. Each
    // is taken off the screen once read.
    std::vector<std::pair<std::string, NSInteger>> badges() {
        std::vector<std::pair<std::string, NSInteger>> out;
        id subviews = objc_msgSend<id()>(objc_msgSend<id()>(controller(), "view"_sel), "subviews"_sel);
        for (NSUInteger i = 0; i < count(subviews); ++i) {
            id v = at(subviews, i);
            if (!objc_isKindOfClass(v, objc_getClass("MessageView"))) continue;
            NSInteger icon = 0;
            id parts = objc_msgSend<id()>(v, "subviews"_sel);
            for (NSUInteger k = 0; k < count(parts); ++k)
                if (objc_isKindOfClass(at(parts, k), objc_getClass("IconView")))
                    icon = objc_msgSend<NSInteger()>(at(parts, k), "tag"_sel);
            out.emplace_back(text(objc_msgSend<id()>(objc_msgSend<id(NSInteger)>(v, "viewWithTag:"_sel, 1), "text"_sel)),
                             icon);
            objc_msgSend<void()>(v, "removeFromSuperview"_sel);
        }
        return out;
    }

    // The songs of the playlist of that name, by persistent id (hidden
    // playlists included).
    std::vector<unsigned long long> songsOf(const std::string& name) {
        AutoreleasePool pool;
        bool hidden = platform::playlistsQueryListsHidden();
        platform::setPlaylistsQueryListsHidden(true);
        id lists = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "playlistsQuery"_sel), "collections"_sel);
        platform::setPlaylistsQueryListsHidden(hidden);
        for (NSUInteger i = 0; i < count(lists); ++i) {
            id list = at(lists, i);
            id n = objc_msgSend<id(id)>(list, "valueForProperty:"_sel, MPMediaPlaylistPropertyName);
            if ((n == nil ? "" : text(n)) != name) continue;
            std::vector<unsigned long long> out;
            id items = objc_msgSend<id()>(list, "items"_sel);
            for (NSUInteger k = 0; k < count(items); ++k) out.push_back(pidOf(at(items, k)));
            return out;
        }
        return {0};  // no such playlist
    }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
    Opened record;
};

// The containers stand at the slider's frame in the controls, (8, 10, width
// - 16, 30): add at (width - 63, y + 120), edit at (x + 18, y + 117), moved on
// phones by the screen's longer side (667: +10/-14 and -15/-14; 568 or less:
// +20/-37 and -20/-35), never on an iPad.
TEST_F(NowPlaying, ButtonsStandBesideTheSliderByScreen) {
    struct Case {
        double width, height;
        NSInteger idiom;
        CGPoint add, edit;
    };
    const Case cases[] = {
        {320, 568, 0, {261, 93}, {6, 92}},    {320, 480, 0, {261, 93}, {6, 92}},
        {375, 667, 0, {306, 116}, {11, 113}}, {667, 375, 0, {598, 116}, {11, 113}},
        {414, 736, 0, {335, 130}, {26, 127}}, {768, 1024, 1, {689, 130}, {26, 127}},
        {1024, 768, 1, {945, 130}, {26, 127}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(int(k.width)) + "x" + std::to_string(int(k.height)));
        platform::setMainScreen(CGSizeMake(k.width, k.height), 2);
        platform::setDeviceIdiom(k.idiom);
        AutoreleasePool inner;
        id view = objc_autorelease(objc_msgSend<id(CGRect)>(
            objc_msgSend<id()>(MusicNowPlayingPlaybackControlsView::cls(), "alloc"_sel), "initWithFrame:"_sel,
            CGRectMake(0, 0, k.width, 200)));
        objc_msgSend<void()>(view, "layoutSubviews"_sel);
        std::map<std::string, CGRect> frames;
        buttonsIn(view, &frames);
        ASSERT_EQ(frames.size(), 2u);
        CGRect add = frames["addToPlaylist:"], edit = frames["editItemOnNowPlayingView:"];
        EXPECT_EQ(add.origin.x, k.add.x);
        EXPECT_EQ(add.origin.y, k.add.y);
        EXPECT_EQ(edit.origin.x, k.edit.x);
        EXPECT_EQ(edit.origin.y, k.edit.y);
        EXPECT_EQ(add.size.width, 50);
        EXPECT_EQ(edit.size.height, 50);
    }
}

// One container a button however many passes; the app's own views tagged
// 13 and 6 are not taken for them; an item without a media item clears both
// values and the next layout removes the buttons.
TEST_F(NowPlaying, ButtonsOncePerLayoutAndGoneWhenTheItemIsCleared) {
    for (NSInteger tag : {13, 6}) {
        id own = objc_autorelease(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel),
                                                           "initWithFrame:"_sel, CGRectMake(0, 0, 5, 5)));
        objc_msgSend<void(NSInteger)>(own, "setTag:"_sel, tag);
        objc_msgSend<void(id)>(controls(), "addSubview:"_sel, own);
    }
    for (int i = 0; i < 5; ++i) layout();
    auto shown = buttons();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(objc_msgSend<NSInteger()>(shown["addToPlaylist:"], "systemItem"_sel), 4);
    EXPECT_EQ(objc_msgSend<NSInteger()>(shown["editItemOnNowPlayingView:"], "systemItem"_sel), 7);
    EXPECT_EQ(objc_msgSend<id()>(shown["addToPlaylist:"], "target"_sel), controls());
    EXPECT_EQ(pidOf(currentNowPlayingMediaItem()), 1003u);
    EXPECT_EQ(currentNowPlayingViewController(), controller());

    askAlbumLine(nil);
    EXPECT_EQ(currentNowPlayingMediaItem(), nullptr);
    EXPECT_EQ(currentNowPlayingViewController(), nullptr);
    layout();
    EXPECT_TRUE(buttons().empty());
    EXPECT_EQ(count(objc_msgSend<id()>(controls(), "subviews"_sel)), 5u);  // slider, two labels, the app's two views
    // Nothing to act on: the actions open nothing.
    objc_msgSend<void(id)>(controls(), "editItemOnNowPlayingView:"_sel, nil);
    objc_msgSend<void(id)>(controls(), "addToPlaylist:"_sel, nil);
    platform::finishTransitions(5);
    EXPECT_EQ(record.edits, 0);
    EXPECT_EQ(pickerAlert(), nullptr);
}

// While anything is presented over the screen, album-line requests change
// nothing; afterwards they do again.
TEST_F(NowPlaying, ValuesStayWhileSomethingIsPresented) {
    id other = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel));
    objc_msgSend<void(id, BOOL, id)>(controller(), "presentViewController:animated:completion:"_sel, other, NO, nil);
    platform::finishTransitions(5);
    askAlbumLine(nil);
    EXPECT_EQ(pidOf(currentNowPlayingMediaItem()), 1003u);
    EXPECT_EQ(currentNowPlayingViewController(), controller());
    layout();
    EXPECT_EQ(buttons().size(), 2u);
    objc_msgSend<void(BOOL, id)>(controller(), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
    platform::finishTransitions(5);
    askAlbumLine(nil);
    EXPECT_EQ(currentNowPlayingMediaItem(), nullptr);
}

// The controller is held weakly, the item strongly: a controller that goes
// is forgotten (the buttons then open nothing), an item the app lets go of
// stays alive while it is shown.
TEST_F(NowPlaying, ControllerIsWeakAndItemIsStrong) {
    Class probe = objc_allocateClassPair(NSObject::cls(), "NowPlayingProbeItem", 0);
    objc_registerClassPair(probe);
    id item = objc_msgSend<id()>(objc_msgSend<id()>(objc::as_id(probe), "alloc"_sel), "init"_sel);
    askAlbumLine(item);
    objc_release(item);
    EXPECT_EQ(class_getLiveInstanceCount(probe), 1);
    EXPECT_EQ(currentNowPlayingMediaItem(), item);

    {
        AutoreleasePool inner;
        id second = objc_msgSend<id(id, id)>(objc_msgSend<id()>(MusicNowPlayingViewController::cls(), "alloc"_sel),
                                             "initWithNibName:bundle:"_sel, nil, nil);
        EXPECT_EQ(currentNowPlayingViewController(), second);
        objc_release(second);
    }
    EXPECT_EQ(currentNowPlayingViewController(), nullptr);
    objc_msgSend<void(id)>(controls(), "editItemOnNowPlayingView:"_sel, nil);
    objc_msgSend<void(id)>(controls(), "addToPlaylist:"_sel, nil);
    platform::finishTransitions(5);
    EXPECT_EQ(record.edits, 0);
    EXPECT_EQ(pickerAlert(), nullptr);

    askAlbumLine(nil);
    EXPECT_EQ(class_getLiveInstanceCount(probe), 0);
}

// The edit button opens the song's sheet: view index 12, the kept
// controller and item, no picture, rating -1.
TEST_F(NowPlaying, EditButtonOpensTheSheetOnThePlayingSong) {
    tap("editItemOnNowPlayingView:");
    ASSERT_EQ(record.edits, 1);
    auto* entry = static_cast<ItemEntry*>(objc::as_id(record.entry.get()));
    EXPECT_EQ(entry->viewIndex, 12);
    EXPECT_EQ(pidOf(entry->mediaItem.get()), 1003u);
    EXPECT_EQ(entry->currentNowPlayingViewController.get(), controller());
    EXPECT_EQ(record.rating, -1);
}

// The rows: "Create new playlist", then the visible playlists in the
// query's order, a playlist without a name as "" with its own object beside
// it; the hidden one is left out even when the query lists it.
TEST_F(NowPlaying, PickerRowsLeaveHiddenOutAndKeepNamelessOnes) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
    bool inserted = fixture::exec(db, "INSERT INTO container (container_pid, name, name_order, is_hidden) VALUES (504, NULL, 1000, 0)");
    sqlite3_close(db);
    ASSERT_TRUE(inserted);
    platform::setPlaylistsQueryListsHidden(true);
    tap("addToPlaylist:");
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"Create new playlist", "Chill", "Road Trip", ""}));
    id lists = objc_msgSend<id(id)>(panel()->genreDictionary.get(), "objectForKey:"_sel, "playList"_ns);
    ASSERT_EQ(count(lists), 4u);
    EXPECT_EQ(text(at(lists, 0)), "");
    EXPECT_EQ(pidOf(at(lists, 1)), 502u);
    EXPECT_EQ(pidOf(at(lists, 2)), 501u);
    EXPECT_EQ(pidOf(at(lists, 3)), 504u);
    EXPECT_EQ(objc_msgSend<NSInteger()>(pickerOf(field()), "tag"_sel), 11);
    EXPECT_TRUE(objc_msgSend<BOOL()>(field(), "isFirstResponder"_sel));
}

// A library without playlists offers the one row that creates one.
TEST_F(NowPlaying, NoPlaylistsLeaveTheCreateRowAlone) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
    bool emptied = fixture::exec(db, "DELETE FROM container_items; DELETE FROM container;");
    sqlite3_close(db);
    ASSERT_TRUE(emptied);
    tap("addToPlaylist:");
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"Create new playlist"}));
}

// Each layout of the screen runs the queue-button step: while the queue
// plays, the screen's own first item gets a queue button beside it (the
// item tagged 99, the button untagged); a second layout adds no other.
TEST_F(NowPlaying, LayoutPutsTheQueueButtonBesideTheScreensItem) {
    id navigationItem = objc_msgSend<id()>(controller(), "navigationItem"_sel);
    id own = objc_autorelease(objc_msgSend<id(id, NSInteger, id, SEL)>(
        objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel), "initWithTitle:style:target:action:"_sel,
        "Own"_ns, 0, nil, static_cast<SEL>(nullptr)));
    objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, nil);
    objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItem:"_sel, own);
    for (int pass = 0; pass < 2; ++pass) {
        id view = objc_msgSend<id()>(controller(), "view"_sel);
        objc_msgSend<void()>(view, "setNeedsLayout"_sel);
        objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    }
    id items = objc_msgSend<id()>(navigationItem, "rightBarButtonItems"_sel);
    ASSERT_EQ(count(items), 2u);
    EXPECT_EQ(at(items, 0), own);
    EXPECT_EQ(objc_msgSend<NSInteger()>(own, "tag"_sel), 99);
    EXPECT_EQ(objc_msgSend<NSInteger()>(at(items, 1), "systemItem"_sel), 11);
    EXPECT_EQ(objc_msgSend<NSInteger()>(at(items, 1), "tag"_sel), 0);
    EXPECT_EQ(objc_msgSend<id()>(at(items, 1), "target"_sel), controller());
}

// Only the toolbar's Done commits a row: scrolled and cancelled, the picker
// goes back to row 0 and "Done" on the sheet makes a new playlist (of the
// empty name, as the field is empty) rather than adding to the row scrolled
// to; the sheet's Cancel changes nothing.
TEST_F(NowPlaying, ScrolledThenCancelledRowIsNotTaken) {
    tap("addToPlaylist:");
    ASSERT_TRUE(platform::scrollPicker(static_cast<UIPickerView*>(pickerOf(field())), 1));
    toolbar("Cancel");
    EXPECT_EQ(panel()->playlistIndex, 0);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(pickerOf(field()), "selectedRowInComponent:"_sel, 0), 0);
    EXPECT_FALSE(objc_msgSend<BOOL()>(field(), "isFirstResponder"_sel));
    action("Done");
    EXPECT_EQ(songsOf("Chill"), (std::vector<unsigned long long>{1004}));
    EXPECT_EQ(songsOf(""), (std::vector<unsigned long long>{1003}));

    tap("addToPlaylist:");
    ASSERT_TRUE(platform::scrollPicker(static_cast<UIPickerView*>(pickerOf(field())), 1));
    toolbar("Done");
    action("Cancel");
    EXPECT_EQ(pickerAlert(), nullptr);
    EXPECT_EQ(songsOf("Chill"), (std::vector<unsigned long long>{1004}));
}

// Adding to an existing playlist and to a new one; a nil new playlist and a
// failing add show "Failed" with the disc-cross icon instead of "Done" with
// the disc-plus icon.
TEST_F(NowPlaying, AddsAndTellsTheOutcome) {
    using Badges = std::vector<std::pair<std::string, NSInteger>>;
    tap("addToPlaylist:");
    ASSERT_TRUE(platform::scrollPicker(static_cast<UIPickerView*>(pickerOf(field())), 1));
    toolbar("Done");
    EXPECT_EQ(text(objc_msgSend<id()>(field(), "text"_sel)), "Chill");
    action("Done");
    EXPECT_EQ(songsOf("Chill"), (std::vector<unsigned long long>{1004, 1003}));
    EXPECT_EQ(badges(), (Badges{{"Done", 22}}));
    EXPECT_FALSE(objc_isKindOfClass(platform::firstResponder(), UITextField::cls()));  // the sheet took its field away

    // Row 0: Done brings the keyboard for the new name.
    tap("addToPlaylist:");
    toolbar("Done");
    EXPECT_EQ(objc_msgSend<id()>(field(), "inputView"_sel), nullptr);
    EXPECT_TRUE(objc_msgSend<BOOL()>(field(), "isFirstResponder"_sel));
    platform::typeText(static_cast<UITextField*>(field()), "Night Drive");
    action("Done");
    EXPECT_EQ(songsOf("Night Drive"), (std::vector<unsigned long long>{1003}));
    EXPECT_EQ(badges(), (Badges{{"Done", 22}}));

    platform::setAddPlaylistAnswersNil(true);
    tap("addToPlaylist:");
    toolbar("Done");
    platform::typeText(static_cast<UITextField*>(field()), "Nowhere");
    action("Done");
    EXPECT_EQ(songsOf("Nowhere"), (std::vector<unsigned long long>{0}));
    EXPECT_EQ(badges(), (Badges{{"Failed", 21}}));

    // An item the library cannot hold (not a media item): the add fails.
    id stray = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel));
    askAlbumLine(stray);
    tap("addToPlaylist:");
    ASSERT_TRUE(platform::scrollPicker(static_cast<UIPickerView*>(pickerOf(field())), 1));
    toolbar("Done");
    action("Done");
    EXPECT_EQ(songsOf("Chill"), (std::vector<unsigned long long>{1004, 1003}));
    EXPECT_EQ(badges(), (Badges{{"Failed", 21}}));
}

// The field widths by screen: the alert view's width (the screen's, before
// it is presented) less 96, less 148 on a 667-point phone, less 195 on a
// 736-point one.
TEST_F(NowPlaying, FieldWidthFollowsTheScreen) {
    struct Case {
        double width, height;
        double field;
    };
    // The 667-high phone's rule gives 227: capped at 224, the card's inner
    // width for a field at x 40.
    for (const Case& k : {Case{320, 480, 224}, Case{375, 667, 224}, Case{414, 736, 219}, Case{667, 375, 224},
                          Case{768, 1024, 224}}) {
        SCOPED_TRACE(std::to_string(int(k.height)));
        platform::setMainScreen(CGSizeMake(k.width, k.height), 2);
        tap("addToPlaylist:");
        ASSERT_NE(panel(), nullptr);
        EXPECT_EQ(objc_msgSend<double()>(panel()->constraintWidthTitle.get(), "constant"_sel), k.field);
        EXPECT_EQ(objc_msgSend<double()>(panel()->constraintMsgWidth.get(), "constant"_sel), k.field);
        action("Cancel");
    }
}

// Opening and closing the picker, and laying the controls out, many times
// leaves no panel, alert or container behind.
TEST_F(NowPlaying, NothingOutlivesItsUse) {
    Class container = objc_getClass("CustomDrawView");
    long containers = class_getLiveInstanceCount(container);
    for (int i = 0; i < 5; ++i) {
        AutoreleasePool inner;
        tap("addToPlaylist:");
        action("Cancel");
        layout();
    }
    {
        AutoreleasePool inner;
        askAlbumLine(nil);
        layout();
    }
    platform::finishTransitions(5);
    EXPECT_EQ(class_getLiveInstanceCount(objc_getClass("PlaylistSelectionView")), 0);
    EXPECT_EQ(class_getLiveInstanceCount(objc_getClass("PlaylistPickerToolbarTarget")), 0);
    EXPECT_EQ(class_getLiveInstanceCount(UIAlertController::cls()), 0);
    EXPECT_EQ(class_getLiveInstanceCount(container), containers - 2);
}

}  // namespace
