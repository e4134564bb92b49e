// The edit sheet over the known library: the panel, title, glyph and
// message of every view index; the sample and bit rate labels; the carried
// title and rating; the artwork or its placeholder; the field width rules on
// each screen; the genre and album-artist pickers with Done and Cancel; and a
// missing bundle or nib.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "EditHandler.h"
#include "EditSheetSupport.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "ParentSongAlbumArtistView.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";
const std::string kBundleSource = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle";

std::string text(id s) { return to_string(static_cast<NSString*>(s)); }
id get(id obj, const char* selector) { return objc_msgSend<id()>(obj, sel_registerName(selector)); }
bool hidden(id view) { return objc_msgSend<BOOL()>(view, "isHidden"_sel); }

NSIndexPath* path(NSInteger row, NSInteger section) {
    return objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
}

size_t pairsIn(const std::string& message) {
    size_t n = 0;
    for (size_t at = message.find("\r\n"); at != std::string::npos; at = message.find("\r\n", at + 2)) ++n;
    EXPECT_EQ(message.size(), 2 * n) << "the message is CR LF pairs only";
    return n;
}

class EditSheet : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        ASSERT_TRUE(fixture::writeLibrary());
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy(kBundleSource, root.host(kBundle));
        platform::setDeviceIdiom(UIUserInterfaceIdiomPhone);
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
    }
    // SQL on the library before the app reads it.
    void sql(const std::string& statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
        EXPECT_TRUE(fixture::exec(db, statements)) << statements;
        sqlite3_close(db);
    }
    void launch() {
        if (!app.launched()) app.launch();
    }
    UITableView* table() const { return static_cast<UITableView*>(get(app.currentScreen(), "tableView")); }

    // The record a swipe on the row of that entity would fill.
    Strong<ItemEntry> entryFor(const std::string& screen, unsigned long long pid,
                               std::optional<unsigned long long> container = std::nullopt) {
        return test::entryForRow(app, screen, pid, container);
    }

    // Opens the sheet and returns its alert once presented (nil when none).
    UIAlertController* open(ItemEntry* entry, id image = nil, long rating = -1) {
        objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         image, entry, rating);
        platform::finishTransitions(1);
        id presenter = entry->viewIndex == kViewIndexNowPlaying ? entry->currentNowPlayingViewController.get()
                                                                : entry->currentViewController.get();
        return static_cast<UIAlertController*>(get(presenter, "presentedViewController"));
    }
    static ParentSongAlbumArtistView* panelOf(UIAlertController* alert) {
        return static_cast<ParentSongAlbumArtistView*>(
            objc_msgSend<id(NSInteger)>(get(alert, "view"), "subViewWithTag:"_sel, 99));
    }
    // A tap on the artwork closed the sheet for the picture menu: the menu is
    // shown; it is closed as it stands.
    void closeMenu(ItemEntry* entry) {
        platform::finishTransitions(1);
        id menu = get(entry->currentViewController.get(), "presentedViewController");
        ASSERT_NE(menu, nil);
        EXPECT_EQ(to_string(static_cast<NSString*>(get(menu, "title"))), "Search the web for...");
        close(static_cast<UIAlertController*>(menu));
    }
    void close(UIAlertController* alert) {
        objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::finishTransitions(1);
    }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
};

// Every view index: its panel, the title shown, the glyph and the message.
TEST_F(EditSheet, EachViewIndexGetsItsPanelTitleGlyphAndMessage) {
    struct Case {
        const char* screen;
        std::optional<unsigned long long> container;
        unsigned long long pid;
        long viewIndex;
        const char* panel;
        const char* title;
        NSInteger glyph, subTag;
        size_t pairs;  // none of these songs has rates in the database: 14
    };
    const Case cases[] = {
        {"songs", {}, 1003, 0, "SongView", "Coming Home", 6, 0, 14},
        {"artists", {}, 102, 1, "SongView", "Blue Harbor", 7, 0, 15},
        {"albums", {}, 202, 2, "AlbumView", "Aerial Maps", 8, 0, 15},
        {"album", 201, 1002, 3, "SongView", "Money, Money, Maybe", 6, 0, 14},
        {"composers", {}, 402, 6, "GenreView", "Lindqvist", 9, 0, 7},
        {"genres", {}, 2, 7, "GenreView", "Rock", 4, 4, 7},
        {"playlists", {}, 501, 8, "GenreView", "Road Trip", 10, 0, 7},
        {"playlist", 501, 1006, 9, "SongView", "Lullaby", 6, 0, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        Strong<ItemEntry> entry = entryFor(c.screen, c.pid, c.container);
        ASSERT_TRUE(entry);
        ASSERT_EQ(entry->viewIndex, c.viewIndex);
        UIAlertController* alert = open(entry.get());
        ASSERT_NE(alert, nullptr);
        ParentSongAlbumArtistView* panel = panelOf(alert);
        ASSERT_NE(panel, nullptr);
        EXPECT_STREQ(object_getClassName(panel), c.panel);
        EXPECT_EQ(text(get(panel->titleTextField.get(), "text")), c.title);
        EXPECT_EQ(text(panel->prevTitle.get()), c.title);
        EXPECT_EQ(objc_msgSend<NSInteger()>(panel->typeIndicatorDrawView.get(), "tag"_sel), c.glyph);
        EXPECT_EQ(objc_msgSend<NSInteger()>(panel->typeIndicatorDrawView.get(), "subTag"_sel), c.subTag);
        EXPECT_EQ(pairsIn(text(get(alert, "message"))), c.pairs);
        EXPECT_EQ(text(get(alert, "title")), "");
        EXPECT_EQ(panel->newRating, -1);
        EXPECT_EQ(panel->item_entry.get(), objc::as_id(entry.get()));
        id actions = get(alert, "actions");
        ASSERT_EQ(objc_msgSend<NSUInteger()>(actions, "count"_sel), 2u);
        EXPECT_EQ(text(get(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, 0), "title")), "Cancel");
        EXPECT_EQ(text(get(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, 1), "title")), "Save");
        close(alert);
    }
}

// View index 5 is a composer sheet too; indexes without a panel open nothing.
TEST_F(EditSheet, ViewIndexesWithoutAPanelOpenNothing) {
    Strong<ItemEntry> entry = entryFor("composers", 401);
    entry->viewIndex = 5;
    UIAlertController* alert = open(entry.get());
    ASSERT_NE(alert, nullptr);
    EXPECT_STREQ(object_getClassName(panelOf(alert)), "GenreView");
    EXPECT_EQ(text(get(panelOf(alert)->titleTextField.get(), "text")), "Ashford");
    close(alert);
    for (long v : {-1L, 4L, 11L, 13L}) {
        entry->viewIndex = v;
        EXPECT_EQ(open(entry.get()), nullptr) << v;
    }
}

// The rates from the database: both, one, none; an id with the top bit set
// finds its rates too. The labels read in the C locale.
TEST_F(EditSheet, SampleAndBitRateLabels) {
    sql("INSERT INTO item_playback (item_pid, sample_rate, bit_rate) VALUES (1003, 44100, 256), (1004, 0, 128),"
        " (1005, 0, 0);"
        "UPDATE item SET item_pid = -9223372036854775807 WHERE item_pid = 1007;"
        "UPDATE item_stats SET item_pid = -9223372036854775807 WHERE item_pid = 1007;"
        "INSERT INTO item_playback (item_pid, sample_rate, bit_rate) VALUES (-9223372036854775807, 22050, 320);");
    struct Case {
        unsigned long long pid;
        const char* sample;  // nullptr: hidden with its mark
        const char* bit;
        size_t pairs;
    };
    const Case cases[] = {
        {1003, "44.100 kHz", "256 kbps", 15},
        {1004, nullptr, "128 kbps", 15},
        {1005, nullptr, nullptr, 14},
        {0x8000000000000001ULL, "22.050 kHz", "320 kbps", 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pid);
        Strong<ItemEntry> entry = entryFor("songs", c.pid);
        ASSERT_TRUE(entry);
        UIAlertController* alert = open(entry.get());
        ParentSongAlbumArtistView* panel = panelOf(alert);
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(hidden(panel->samplerateLbl.get()), c.sample == nullptr);
        EXPECT_EQ(hidden(panel->samplerateDrawView.get()), c.sample == nullptr);
        if (c.sample) {
            EXPECT_EQ(text(get(panel->samplerateLbl.get(), "text")), c.sample);
        }
        EXPECT_EQ(hidden(panel->bitrateLbl.get()), c.bit == nullptr);
        EXPECT_EQ(hidden(panel->bitrateDrawView.get()), c.bit == nullptr);
        if (c.bit) {
            EXPECT_EQ(text(get(panel->bitrateLbl.get(), "text")), c.bit);
        }
        EXPECT_EQ(pairsIn(text(get(alert, "message"))), c.pairs);
        close(alert);
    }
}

// A title typed before a sub-screen is shown again, while prevTitle keeps
// the stored one; the album artist's panel hides the rate labels.
TEST_F(EditSheet, CarriedTitleAndStoredTitle) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    entry->editName = NSString::make("Typed Before");
    UIAlertController* alert = open(entry.get());
    EXPECT_EQ(text(get(panelOf(alert)->titleTextField.get(), "text")), "Typed Before");
    EXPECT_EQ(text(panelOf(alert)->prevTitle.get()), "Coming Home");
    close(alert);

    Strong<ItemEntry> artist = entryFor("artists", 101);
    alert = open(artist.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    for (id v : {panel->bitrateLbl.get(), panel->samplerateLbl.get(), panel->bitrateDrawView.get(),
                 panel->samplerateDrawView.get(), panel->imageViewTapIndicator.get(), panel->noImageViewTapIndicator.get()})
        EXPECT_TRUE(hidden(v));
    EXPECT_EQ(objc_msgSend<double()>(panel->facebookImageView.get(), "alpha"_sel), 0);
}

// The sent rating: -1 shows the item's own and leaves newRating at -1; 0 to 5
// show and take the sent one.
TEST_F(EditSheet, SentRatingOrTheItemsOwn) {
    sql("UPDATE item_stats SET user_rating = 100 WHERE item_pid IN (1003, 1004, 1005);");
    for (long sent : {-1L, 0L, 1L, 2L, 3L, 4L, 5L}) {
        SCOPED_TRACE(sent);
        Strong<ItemEntry> entry = entryFor("albums", 202);
        UIAlertController* alert = open(entry.get(), nil, sent);
        ParentSongAlbumArtistView* panel = panelOf(alert);
        EXPECT_EQ(panel->prevRating, 5);
        EXPECT_EQ(objc_msgSend<int()>(panel->ratingView.get(), "rating"_sel), sent == -1 ? 5 : sent);
        EXPECT_EQ(panel->newRating, sent);
        EXPECT_EQ(get(panel->ratingView.get(), "delegate"), objc::as_id(panel));
        close(alert);
    }
}

// The artwork, or the placeholder that a tap reaches like the artwork.
TEST_F(EditSheet, ArtworkOrPlaceholder) {
    Strong<ItemEntry> withArt = entryFor("songs", 1001);
    UIAlertController* alert = open(withArt.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    EXPECT_NE(get(panel->imageview.get(), "image"), nil);
    EXPECT_TRUE(hidden(panel->noImageCustomView.get()));
    EXPECT_FALSE(hidden(panel->imageViewTapIndicator.get()));
    EXPECT_EQ(platform::tapView(static_cast<UIView*>(panel->imageview.get())), 1);
    closeMenu(withArt.get());

    Strong<ItemEntry> without = entryFor("songs", 1003);
    alert = open(without.get());
    panel = panelOf(alert);
    EXPECT_FALSE(hidden(panel->noImageCustomView.get()));
    EXPECT_TRUE(hidden(panel->imageViewTapIndicator.get()));
    EXPECT_EQ(objc_msgSend<NSInteger()>(panel->noImageCustomView.get(), "tag"_sel), 5);
    EXPECT_EQ(platform::tapView(static_cast<UIView*>(panel->noImageCustomView.get())), 1);
    closeMenu(without.get());

    // A picture passed in is pending until Save or Cancel, and shown; the
    // record's artwork stays the item's own.
    id picture = get(withArt->artwork.get(), "self");
    alert = open(without.get(), picture);
    EXPECT_EQ(without->pendingArtwork.get(), picture);
    EXPECT_EQ(without->artwork.get(), nullptr);
    EXPECT_EQ(get(panelOf(alert)->imageview.get(), "image"), picture);
    EXPECT_TRUE(hidden(panelOf(alert)->noImageCustomView.get()));
}

// The share icons follow the services' availability.
TEST_F(EditSheet, ShareIconsFollowTheServices) {
    platform::setSocialServiceAvailable(to_string(SLServiceTypeTwitter), true);
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    UIAlertController* alert = open(entry.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    EXPECT_EQ(objc_msgSend<double()>(panel->twitterImageView.get(), "alpha"_sel), 1);
    EXPECT_EQ(objc_msgSend<double()>(panel->facebookImageView.get(), "alpha"_sel), 0);
    EXPECT_EQ(platform::tapView(static_cast<UIView*>(panel->twitterImageView.get())), 1);
    EXPECT_EQ(platform::tapView(static_cast<UIView*>(panel->facebookImageView.get())), 0);
}

// The text fields' width on each screen, and the panel's frame. The rules
// give the width; a field laid over the 270-point card at x 40 keeps inside
// it, 6 points short of its edge: at most 224.
TEST_F(EditSheet, FieldWidthRules) {
    struct Case {
        double w, h, scale;
        NSInteger idiom;
        long viewIndex;
        double width;
    };
    const Case cases[] = {
        {320, 480, 2, 0, 2, 224},    // W - 96
        {320, 568, 2, 0, 2, 224},
        {375, 667, 2, 0, 2, 227},    // W - 148
        {414, 736, 3, 0, 2, 219},    // W - 195
        {736, 414, 3, 0, 2, 541},
        {736, 414, 3, 0, 10, 219},   // landscape flipside: H in W's place
        {480, 320, 2, 0, 10, 224},
        {480, 320, 2, 0, 2, 384},
        {320, 480, 1, 0, 2, 224},    // scale 1: 320 - 540 is no width; the rule before stands
        {768, 1024, 2, 1, 2, 672},   // iPad at 2x: W - 96
        {768, 1024, 1, 1, 2, 228},   // iPad at 1x, portrait: W - 540
        {1024, 768, 1, 1, 2, 228},   // landscape: W - 796
        {1024, 768, 1, 1, 10, 228},
    };
    launch();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + "@" + std::to_string(c.scale) + " index " +
                     std::to_string(c.viewIndex));
        platform::setMainScreen(CGSizeMake(c.w, c.h), c.scale);
        platform::setDeviceIdiom(c.idiom);
        Strong<ItemEntry> entry = entryFor("albums", 202);
        entry->viewIndex = c.viewIndex;
        UIAlertController* alert = open(entry.get());
        ParentSongAlbumArtistView* panel = panelOf(alert);
        ASSERT_NE(panel, nullptr);
        // The rules see the alert's view as it was when the sheet was built: the screen.
        EXPECT_EQ(EditSheetFieldWidth(c.viewIndex, CGRectMake(0, 0, c.w, c.h)), c.width);
        const double shown = std::min(c.width, 224.0);
        for (id constraint : {panel->constraintWidthTitle.get(), panel->constraintWidthSubTitle.get(),
                              panel->constraintWidthSubSubTitle.get()})
            EXPECT_EQ(objc_msgSend<double()>(constraint, "constant"_sel), shown);
        for (id field : {panel->titleTextField.get(), panel->subTitleTextField.get(), panel->subSubTitleTextField.get()})
            EXPECT_LE(CGRectGetMaxX(objc_msgSend<CGRect()>(field, "frame"_sel)), 264);
        EXPECT_EQ(objc_msgSend<CGRect()>(panel->titleTextField.get(), "frame"_sel).size.width, shown);
        CGRect frame = objc_msgSend<CGRect()>(panel, "frame"_sel);
        EXPECT_TRUE(CGRectEqualToRect(frame, CGRectMake(0, 0, c.w, c.h - 45)));
        close(alert);
    }
}

// The genre picker: filled from the database in its order, preselected on
// the item's genre; a scrolled row is committed by Done only.
TEST_F(EditSheet, GenrePickerDoneAndCancel) {
    const std::vector<std::string> genres = {"Alternative", "Pop", "Rock"};
    Strong<ItemEntry> entry = entryFor("songs", 1003);  // Rock
    UIAlertController* alert = open(entry.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    auto* field = static_cast<UITextField*>(panel->subTitleTextField.get());
    id container = get(field, "inputView");
    ASSERT_NE(container, nil);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(container, "frame"_sel), CGRectMake(0, 219, 320, 258)));
    id subviews = get(container, "subviews");
    id toolbar = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, 0);
    auto* picker = static_cast<UIPickerView*>(objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, 1));
    EXPECT_EQ(objc_msgSend<NSInteger()>(picker, "tag"_sel), 7);
    EXPECT_EQ(objc_msgSend<CGRect()>(picker, "frame"_sel).origin.y, 258 - 216);
    ASSERT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker, "numberOfRowsInComponent:"_sel, 0), 3);
    for (NSInteger r = 0; r < 3; ++r)
        EXPECT_EQ(text(objc_msgSend<id(id, NSInteger, NSInteger)>(panel, "pickerView:titleForRow:forComponent:"_sel, picker, r, 0)),
                  genres[r]);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker, "selectedRowInComponent:"_sel, 0), 2);
    EXPECT_EQ(panel->genreIndexBefore, 2);
    EXPECT_EQ(panel->genreIndexAfter, 2);
    EXPECT_EQ(text(get(field, "text")), "Rock");

    auto tap = [&](const char* title) {
        id items = get(toolbar, "items");
        ASSERT_EQ(objc_msgSend<NSUInteger()>(items, "count"_sel), 3u);
        for (NSUInteger i : {0u, 2u}) {
            id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
            if (text(get(item, "title")) == title) {
                EXPECT_TRUE(platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(item)));
                return;
            }
        }
        ADD_FAILURE() << "no " << title;
    };

    // Typing into the genre field changes nothing.
    ASSERT_TRUE(objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel));
    EXPECT_EQ(platform::typeText(field, "Jazz"), 0);

    // Cancel after a scroll: nothing committed, the picker back on its row.
    ASSERT_TRUE(platform::scrollPicker(picker, 0));
    EXPECT_EQ(panel->genreIndexAfter, 2);
    tap("Cancel");
    EXPECT_EQ(panel->genreIndexAfter, 2);
    EXPECT_EQ(entry->genreIndex, -1);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker, "selectedRowInComponent:"_sel, 0), 2);
    EXPECT_EQ(text(get(field, "text")), "Rock");
    EXPECT_FALSE(objc_msgSend<BOOL()>(field, "isFirstResponder"_sel));

    // Done after a scroll commits the row and shows its name.
    objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel);
    platform::scrollPicker(picker, 1);
    tap("Done");
    EXPECT_EQ(panel->genreIndexAfter, 1);
    EXPECT_EQ(entry->genreIndex, 1);
    EXPECT_EQ(text(get(field, "text")), "Pop");
    EXPECT_EQ(panel->genreIndexBefore, 2);
    close(alert);

    // The next sheet for the record preselects the carried row.
    alert = open(entry.get());
    panel = panelOf(alert);
    EXPECT_EQ(panel->genreIndexBefore, 2);
    EXPECT_EQ(panel->genreIndexAfter, 1);
    EXPECT_EQ(text(get(panel->subTitleTextField.get(), "text")), "Pop");
    close(alert);

    // A carried row outside the list counts as none.
    entry->genreIndex = 7;
    alert = open(entry.get());
    panel = panelOf(alert);
    EXPECT_EQ(panel->genreIndexAfter, 2);
    EXPECT_EQ(text(get(panel->subTitleTextField.get(), "text")), "Rock");
}

// An item whose genre is not in the list: no row, and Done with none chosen
// changes nothing; an empty list: Done leaves the field as it was.
TEST_F(EditSheet, GenreNotInTheListAndAnEmptyList) {
    sql("UPDATE item SET genre_id = 99 WHERE item_pid = 1004;");
    Strong<ItemEntry> entry = entryFor("songs", 1004);
    UIAlertController* alert = open(entry.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    id picker = objc_msgSend<id(NSUInteger)>(get(get(panel->subTitleTextField.get(), "inputView"), "subviews"), "objectAtIndex:"_sel, 1);
    EXPECT_EQ(panel->genreIndexBefore, -1);
    EXPECT_EQ(panel->genreIndexAfter, -1);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker, "selectedRowInComponent:"_sel, 0), -1);
    id items = get(objc_msgSend<id(NSUInteger)>(get(get(panel->subTitleTextField.get(), "inputView"), "subviews"), "objectAtIndex:"_sel, 0), "items");
    platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 2)));
    EXPECT_EQ(entry->genreIndex, -1);
    EXPECT_EQ(panel->genreIndexAfter, -1);
    EXPECT_EQ(text(get(panel->subTitleTextField.get(), "text")), "");
    close(alert);

    sql("DELETE FROM genre;");
    Strong<ItemEntry> other = entryFor("songs", 1003);
    alert = open(other.get());
    panel = panelOf(alert);
    std::string before = text(get(panel->subTitleTextField.get(), "text"));
    items = get(objc_msgSend<id(NSUInteger)>(get(get(panel->subTitleTextField.get(), "inputView"), "subviews"), "objectAtIndex:"_sel, 0), "items");
    platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 2)));
    EXPECT_EQ(panel->genreIndexAfter, -1);
    EXPECT_EQ(text(get(panel->subTitleTextField.get(), "text")), before);
}

// The album sheet: the album artist on the second line with its picker, the
// genre on the third; each picker writes only its own field and row.
TEST_F(EditSheet, AlbumSheetHasBothPickers) {
    Strong<ItemEntry> entry = entryFor("albums", 202);  // Blue Harbor, Rock
    UIAlertController* alert = open(entry.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    id artistField = panel->subTitleTextField.get();
    id genreField = panel->subSubTitleTextField.get();
    EXPECT_EQ(text(get(artistField, "text")), "Blue Harbor");
    EXPECT_EQ(text(get(genreField, "text")), "Rock");
    auto pieces = [](id field, NSUInteger i) {
        return objc_msgSend<id(NSUInteger)>(get(get(field, "inputView"), "subviews"), "objectAtIndex:"_sel, i);
    };
    auto* artistPicker = static_cast<UIPickerView*>(pieces(artistField, 1));
    EXPECT_EQ(objc_msgSend<NSInteger()>(artistPicker, "tag"_sel), 1);
    EXPECT_EQ(objc_msgSend<NSInteger()>(pieces(genreField, 1), "tag"_sel), 7);
    const std::vector<std::string> artists = {"4 Quiet Rooms", "Amber Lane", "Blue Harbor", "The Copper Moths", "Various Artists"};
    ASSERT_EQ(objc_msgSend<NSInteger(NSInteger)>(artistPicker, "numberOfRowsInComponent:"_sel, 0), 5);
    for (NSInteger r = 0; r < 5; ++r)
        EXPECT_EQ(text(objc_msgSend<id(id, NSInteger, NSInteger)>(panel, "pickerView:titleForRow:forComponent:"_sel, artistPicker, r, 0)),
                  artists[r]);
    EXPECT_EQ(panel->artistIndexBefore, 2);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(artistPicker, "selectedRowInComponent:"_sel, 0), 2);
    platform::scrollPicker(artistPicker, 4);
    id items = get(pieces(artistField, 0), "items");
    platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 2)));
    EXPECT_EQ(text(get(artistField, "text")), "Various Artists");
    EXPECT_EQ(entry->artistIndex, 4);
    EXPECT_EQ(text(get(genreField, "text")), "Rock");
    EXPECT_EQ(entry->genreIndex, -1);
    EXPECT_EQ(panel->genreIndexAfter, 2);
}

// The panel as the fields' delegate: the sub-title fields refuse typing, the
// return key closes the keyboard; scrolling the playlist picker commits
// nothing (only its toolbar's Done does); a picker of another tag has no rows.
TEST_F(EditSheet, PanelAnswersItsFieldsAndPickers) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    UIAlertController* alert = open(entry.get());
    ParentSongAlbumArtistView* panel = panelOf(alert);
    auto* title = static_cast<UITextField*>(panel->titleTextField.get());
    ASSERT_TRUE(objc_msgSend<BOOL()>(title, "becomeFirstResponder"_sel));
    EXPECT_EQ(platform::clearText(title), 1);
    EXPECT_EQ(platform::typeText(title, "New"), 3);
    EXPECT_TRUE(platform::pressReturn(title));
    EXPECT_FALSE(objc_msgSend<BOOL()>(title, "isFirstResponder"_sel));
    EXPECT_EQ(text(get(title, "text")), "New");

    auto picker = Strong<UIPickerView>::adopt(static_cast<UIPickerView*>(
        objc_msgSend<id(CGRect)>(get(UIPickerView::cls(), "alloc"), "initWithFrame:"_sel, CGRectMake(0, 0, 320, 0))));
    objc_msgSend<void(id)>(picker.get(), "setDataSource:"_sel, panel);
    objc_msgSend<void(id)>(picker.get(), "setDelegate:"_sel, panel);
    objc_msgSend<void(NSInteger)>(picker.get(), "setTag:"_sel, 3);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker.get(), "numberOfRowsInComponent:"_sel, 0), 0);
    objc_msgSend<void(NSInteger)>(picker.get(), "setTag:"_sel, 11);
    panel->genreDictionary = static_cast<NSObject*>(NSDictionary::make({{"name"_ns, NSArray::make({"Road Trip"_ns, "Chill"_ns})}}));
    entry->genreIndex = 1;
    entry->artistIndex = 1;
    EXPECT_TRUE(platform::scrollPicker(picker.get(), 1));
    EXPECT_EQ(panel->playlistIndex, 0);
    EXPECT_EQ(entry->genreIndex, 1);
    EXPECT_EQ(entry->artistIndex, 1);
    // setRating: lights stars without touching newRating.
    objc_msgSend<void(int)>(panel, "setRating:"_sel, 4);
    EXPECT_EQ(objc_msgSend<int()>(panel->ratingView.get(), "rating"_sel), 4);
    EXPECT_EQ(panel->newRating, -1);
}

// A missing bundle, nib or panel opens nothing and raises nothing.
TEST_F(EditSheet, MissingBundleOrNibOpensNothing) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    platform::clearJournal();
    std::filesystem::path nib = std::filesystem::path(root.host(kBundle)) / "SongView.nib.json";
    std::filesystem::rename(nib, nib.string() + ".away");
    EXPECT_EQ(open(entry.get()), nullptr);
    {
        std::ofstream(nib) << "{\"objects\": [{\"class\": \"UIView\"}]}";
    }
    EXPECT_EQ(open(entry.get()), nullptr);
    {
        std::ofstream(nib) << "not a nib";
    }
    EXPECT_EQ(open(entry.get()), nullptr);
    std::filesystem::remove_all(root.host(kBundle));
    EXPECT_EQ(open(entry.get()), nullptr);
    for (const auto& e : platform::journal()) EXPECT_NE(e.kind, "present");
}

// The edit swipe button opens the sheet from the list screen, journalled
// with its message; Cancel closes it and the swipe.
TEST_F(EditSheet, EditSwipeButtonOpensTheSheetAndCancelClosesIt) {
    launch();
    platform::clearJournal();
    std::string error;
    ASSERT_TRUE(app.openScreen("songs", std::nullopt, &error)) << error;
    auto buttons = platform::swipeRow(table(), path(0, 0));
    _UITableViewCellActionButton* edit = nullptr;
    for (const auto& b : buttons)
        if (objc_msgSend<NSInteger()>(b.get(), "tag"_sel) == 2) edit = b.get();
    ASSERT_NE(edit, nullptr);
    platform::tapSwipeButton(edit);
    platform::finishTransitions(1);
    auto* alert = static_cast<UIAlertController*>(get(app.currentScreen(), "presentedViewController"));
    ASSERT_NE(alert, nullptr);
    ASSERT_NE(panelOf(alert), nullptr);
    ASSERT_FALSE(platform::journal().empty());
    EXPECT_EQ(platform::journal().front().kind, "present");
    EXPECT_EQ(platform::journal().front().presented, "UIAlertController");
    EXPECT_EQ(pairsIn(platform::journal().front().message), 14u);
    id cancel = objc_msgSend<id(NSUInteger)>(get(alert, "actions"), "objectAtIndex:"_sel, 0);
    EXPECT_TRUE(platform::tapAlertAction(alert, static_cast<UIAlertAction*>(cancel)));
    platform::finishTransitions(1);
    EXPECT_EQ(get(app.currentScreen(), "presentedViewController"), nil);
    EXPECT_FALSE(objc_msgSend<BOOL()>(table(), "isEditing"_sel));
}

// A song's sheet is taller than the room above the genre picker of a small
// phone, or above the keyboard of a turned one: it stays within the screen,
// and its Cancel and Save show whole above the keyboard or picker.
TEST_F(EditSheet, SheetAndItsActionsFitAboveTheKeyboardOrPicker) {
    struct Case {
        double w, h;
        bool picker;  // the genre field edits, else the title field
        double keyboardTop;
    };
    const Case cases[] = {
        {320, 480, true, 480 - 258},  // the picker and its toolbar
        {375, 667, false, 667 - 216},
        {667, 375, false, 375 - 162},
    };
    launch();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        platform::setMainScreen(CGSizeMake(c.w, c.h), 2);
        Strong<ItemEntry> entry = entryFor("songs", 1003);
        UIAlertController* alert = open(entry.get());
        ParentSongAlbumArtistView* panel = panelOf(alert);
        ASSERT_NE(panel, nullptr);
        id field = c.picker ? panel->subTitleTextField.get() : panel->titleTextField.get();
        ASSERT_TRUE(objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel));
        ASSERT_EQ(platform::keyboardFrame().origin.y, c.keyboardTop);

        CGRect card = objc_msgSend<CGRect()>(get(alert, "view"), "frame"_sel);
        EXPECT_GE(card.origin.x, 0);
        EXPECT_GE(card.origin.y, 0);
        EXPECT_LE(CGRectGetMaxX(card), c.w);
        EXPECT_LE(CGRectGetMaxY(card), c.keyboardTop);
        std::vector<std::string> titles;
        for (auto [action, frame] : platform::alertActionFrames(alert)) {
            titles.push_back(text(get(action, "title")));
            EXPECT_GE(frame.size.height, 44) << titles.back();
            EXPECT_GE(frame.origin.x, card.origin.x) << titles.back();
            EXPECT_GE(frame.origin.y, card.origin.y) << titles.back();
            EXPECT_LE(CGRectGetMaxX(frame), CGRectGetMaxX(card)) << titles.back();
            EXPECT_LE(CGRectGetMaxY(frame), CGRectGetMaxY(card)) << titles.back();
        }
        EXPECT_EQ(titles, (std::vector<std::string>{"Cancel", "Save"}));
        close(alert);
    }
}

}  // namespace

namespace {

// The now-playing entry's sheet is presented by the now-playing controller;
// the editor's small helpers.
TEST_F(EditSheet, NowPlayingPresenterAndHelpers) {
    Strong<ItemEntry> entry = entryFor("songs", 1003);
    auto nowPlaying = Strong<NSObject>::adopt(static_cast<NSObject*>(get(get(UIViewController::cls(), "alloc"), "init")));
    entry->viewIndex = kViewIndexNowPlaying;
    entry->currentNowPlayingViewController = nowPlaying.get();
    UIAlertController* alert = open(entry.get());
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(get(entry->currentViewController.get(), "presentedViewController"), nil);
    EXPECT_STREQ(object_getClassName(panelOf(alert)), "SongView");
    close(alert);

    EXPECT_EQ(text(objc_msgSend<id(id)>(NSString::cls(), "stringFromObject:"_sel, nil)), "");
    EXPECT_EQ(text(objc_msgSend<id(id)>(NSString::cls(), "stringFromObject:"_sel, "Pop"_ns)), "Pop");
    for (long v : {0L, 2L, 7L, 10L, 12L, -1L, 99L})
        EXPECT_EQ(text(objc_msgSend<id(long)>(EditHandler::cls(), "getViewIndexNameByMusicViewIndex:"_sel, v)),
                  to_string(getViewIndexNameByMusicViewIndex(v)))
            << v;
    EXPECT_EQ(text(objc_msgSend<id(long)>(EditHandler::cls(), "getViewIndexNameByMusicViewIndex:"_sel, 0L)),
              "MusicSongsViewController");
    EXPECT_EQ(objc_msgSend<id(int, id, BOOL, id)>(EditHandler::cls(), "buildAlertActionBtn:alert:hasArtwork:andItemEntry:"_sel,
                                                  1, nil, NO, entry.get()),
              nil);
    EXPECT_NO_THROW(objc_msgSend<void()>(EditHandler::cls(), "tweet"_sel));
}

}  // namespace
