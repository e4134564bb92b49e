// The editing panel's sub-screens: the web query as sent, the picture menu's
// entries by view index, the web search's grid, its cancel and pick, a missing composer, and a
// post whose end reopens the sheet with the typed title.
#include "Cantrel.h"
#include "Classes.h"
#include "EditHandler.h"
#include "EditSheetSupport.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "MessageView.h"
#include "PanelActions.h"
#include "ParentSongAlbumArtistView.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";

id get(id obj, const char* selector) { return objc_msgSend<id()>(obj, sel_registerName(selector)); }
std::string str(id s) { return to_string(static_cast<NSString*>(s)); }

TEST(SearchQuery, CleanedAndEncoded) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"'Jazz & Blues' 'Live - Vol' album artwork", "'Jazz%20Blues'%20'Live%20Vol'%20album%20artwork"},
        {"a    b", "a%20%20b"},
        {"a+b-c&d", "abcd"},
        {"'Été' album artwork", "'%C3%89t%C3%A9'%20album%20artwork"},
        {"東京", "%E6%9D%B1%E4%BA%AC"},
        {"#1 100% a=b", "%231%20100%25%20a%3Db"},
        {"(x)!*,;:@/?~._", "(x)!*,;:@/?~._"},
    };
    for (const Case& c : cases) EXPECT_EQ(cantrel::panel::searchQuery(c.in), c.out) << c.in;
}

class PanelActions : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        ASSERT_TRUE(fixture::writeLibrary());
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", root.host(kBundle));
        platform::resetMainScreen();
        setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", "http://127.0.0.1:1", 1);  // nothing listens there
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
    }
    UIAlertController* open(ItemEntry* entry) {
        objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         nil, entry, -1L);
        platform::finishTransitions(1);
        return static_cast<UIAlertController*>(get(entry->currentViewController.get(), "presentedViewController"));
    }
    static ParentSongAlbumArtistView* panelOf(id alert) {
        return static_cast<ParentSongAlbumArtistView*>(
            objc_msgSend<id(NSInteger)>(get(alert, "view"), "viewWithTag:"_sel, 99));
    }
    static std::vector<std::string> titles(id alert) {
        std::vector<std::string> out;
        id actions = get(alert, "actions");
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i)
            out.push_back(str(get(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i), "title")));
        return out;
    }
    static void tap(id alert, const std::string& title) {
        id actions = get(alert, "actions");
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i) {
            auto* a = static_cast<UIAlertAction*>(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i));
            if (str(get(a, "title")) == title) {
                ASSERT_TRUE(platform::tapAlertAction(static_cast<UIAlertController*>(alert), a));
                return;
            }
        }
        ADD_FAILURE() << "no entry " << title;
    }
    id presented(ItemEntry* entry) {
        platform::finishTransitions(2);
        platform::RunLoop::main().runFor(0.2);
        platform::finishTransitions(2);
        return get(entry->currentViewController.get(), "presentedViewController");
    }
    // The grid, once the search's page fetches (on a global queue) are over.
    id searchScreen(ItemEntry* entry) {
        platform::RunLoop::main().runUntil(
            [&] {
                return objc_isKindOfClass(get(entry->currentViewController.get(), "presentedViewController"),
                                          objc_getClass("SearchQueryViewController"));
            },
            20);
        return presented(entry);
    }
    // The journal's presentations and dismissals: "KIND CLASS".
    static std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (const auto& e : platform::journal())
            if (e.kind == "present" || e.kind == "dismiss" || e.kind == "refused") out.push_back(e.kind + " " + e.presented);
        return out;
    }
    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
};

// Songs offer the three web searches; albums only the album one. A search
// shows its grid (empty: no service answers) once the "Searching" badge has
// gone, with the query as the panel cleaned it; its cancel closes the grid
// first and then reopens the sheet with the typed title, once.
TEST_F(PanelActions, PictureMenuSearchAndCancel) {
    OWN_PROCESS();
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    auto* panel = panelOf(open(song.get()));
    objc_msgSend<void(id)>(panel->titleTextField.get(), "setText:"_sel, "Typed"_ns);
    objc_msgSend<void(id)>(panel, "selectPhoto:"_sel, nil);
    id menu = presented(song.get());
    ASSERT_TRUE(objc_isKindOfClass(menu, UIAlertController::cls()));
    EXPECT_EQ(str(get(menu, "title")), "Search the web for...");
    EXPECT_EQ(titles(menu), (std::vector<std::string>{"Artist name & Album title", "Album title & Track title",
                                                     "Track title", "Browse Photo library", "Cancel"}));
    tap(menu, "Track title");
    id search = searchScreen(song.get());
    ASSERT_TRUE(objc_isKindOfClass(search, objc_getClass("SearchQueryViewController")));
    EXPECT_EQ(str(get(get(search, "customDatasource"), "searchString")), "'Coming%20Home'%20album%20artwork");
    EXPECT_EQ(objc_msgSend<NSUInteger()>(get(get(search, "customDatasource"), "elements"), "count"_sel), 0u);
    id view = get(song->currentViewController.get(), "view");
    id subviews = get(view, "subviews");
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(subviews, "count"_sel); ++i)
        EXPECT_FALSE(objc_isKindOfClass(objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i), MessageView::cls()));

    // When the panel hears of the cancel, the grid has gone.
    static Slot<void(id, SEL, id)> _cancelled;
    static std::vector<id> presentedWhenTold;
    static id presenter = song->currentViewController.get();
    MSHookMessageEx(ParentSongAlbumArtistView::cls(), "internetImagePickerControllerDidCancel:"_sel,
                    +[](id self, SEL cmd, id controller) {
                        presentedWhenTold.push_back(get(presenter, "presentedViewController"));
                        _cancelled(self, cmd, controller);
                    },
                    &_cancelled);
    platform::clearJournal();
    objc_msgSend<void(id)>(search, "cancelItemSearch:"_sel, nil);
    objc_msgSend<void(id)>(search, "cancelItemSearch:"_sel, nil);  // a second tap before it has gone
    id sheet = presented(song.get());
    ASSERT_NE(sheet, nil);
    ASSERT_NE(panelOf(sheet), nullptr);
    EXPECT_EQ(str(get(panelOf(sheet)->titleTextField.get(), "text")), "Typed");
    EXPECT_EQ(shown(), (std::vector<std::string>{"dismiss SearchQueryViewController", "present UIAlertController"}));
    EXPECT_EQ(presentedWhenTold, std::vector<id>{nil});

    objc_msgSend<void(BOOL, id)>(song->currentViewController.get(), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
    platform::finishTransitions(1);
    Strong<ItemEntry> album = test::entryForRow(app, "albums", 202);
    objc_msgSend<void(id)>(panelOf(open(album.get())), "selectPhoto:"_sel, nil);
    EXPECT_EQ(titles(presented(album.get())),
              (std::vector<std::string>{"Artist name & Album title", "Browse Photo library", "Cancel"}));
}

// A tap on the artwork (or a share icon) while a field is being edited: the
// field gives up the keyboard before the sheet closes, so that none stands
// over the menu or the composer.
TEST_F(PanelActions, TheKeyboardGoesBeforeAMenuOrASubScreenOpens) {
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    for (const char* action : {"selectPhoto:", "shareTrack:"}) {
        SCOPED_TRACE(action);
        auto* panel = panelOf(open(song.get()));
        id field = panel->titleTextField.get();
        ASSERT_TRUE(objc_msgSend<BOOL()>(field, "becomeFirstResponder"_sel));
        ASSERT_EQ(platform::firstResponder(), field);
        id tap = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(UITapGestureRecognizer::cls(), "alloc"_sel),
                                           "initWithTarget:action:"_sel, panel, sel_registerName(action));
        objc_msgSend<void(id)>(panel->imageview.get(), "addGestureRecognizer:"_sel, tap);
        objc_msgSend<void(id)>(panel, sel_registerName(action), tap);
        objc_release(tap);
        id next = presented(song.get());
        ASSERT_NE(next, nil);
        EXPECT_FALSE(objc_msgSend<BOOL()>(field, "isFirstResponder"_sel));
        EXPECT_EQ(platform::firstResponder(), nil);
        objc_msgSend<void(BOOL, id)>(song->currentViewController.get(), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::finishTransitions(2);
    }
}

// A tap on a tile hands its picture to the panel, which closes the grid and
// reopens the sheet with it; a second tap before the grid has gone is not
// a second pick. The grid keeps the panel alive until it has answered.
TEST_F(PanelActions, SearchPickReachesThePanelOnce) {
    OWN_PROCESS();
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    Weak<ParentSongAlbumArtistView> firstPanel;
    {
        AutoreleasePool inner;
        auto* panel = panelOf(open(song.get()));
        firstPanel = panel;
        objc_msgSend<void(id)>(panel, "selectPhoto:"_sel, nil);
        tap(presented(song.get()), "Album title & Track title");
    }
    id search = searchScreen(song.get());
    ASSERT_NE(search, nil);
    EXPECT_NE(firstPanel.get(), nullptr);  // only the grid holds it now
    id list = get(get(search, "customDatasource"), "elements");
    for (int i = 0; i < 3; ++i) {
        id element = objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass("MosaicData"), "alloc"_sel), "init"_sel);
        objc_msgSend<void(id)>(element, "setTitle:"_sel, "8x8"_ns);
        objc_msgSend<void(id)>(list, "addObject:"_sel, element);
        objc_release(element);
    }
    auto* grid = static_cast<UICollectionView*>(get(search, "collectionView"));
    objc_msgSend<void()>(grid, "reloadData"_sel);
    objc_msgSend<void()>(grid, "layoutIfNeeded"_sel);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(8, 8), NO, 1);
    Strong<NSObject> picture(static_cast<NSObject*>(objc::as_id(UIGraphicsGetImageFromCurrentImageContext())));
    UIGraphicsEndImageContext();
    id cell = objc_msgSend<id(id)>(grid, "cellForItemAtIndexPath:"_sel, objc::as_id(NSIndexPath::make(1, 0)));
    ASSERT_NE(cell, nil);
    objc_msgSend<void(id)>(cell, "setImage:"_sel, picture.get());

    static Slot<void(id, SEL, id, id)> _picked;
    static std::vector<id> picks;
    MSHookMessageEx(ParentSongAlbumArtistView::cls(), "internetImagePickerController:didFinishPickingImage:"_sel,
                    +[](id self, SEL cmd, id controller, id image) {
                        picks.push_back(image);
                        _picked(self, cmd, controller, image);
                    },
                    &_picked);
    platform::clearJournal();
    EXPECT_TRUE(platform::tapCollectionItem(grid, 0, 1));
    EXPECT_TRUE(platform::tapCollectionItem(grid, 0, 0));  // reaches the grid, which has answered already
    id sheet = presented(song.get());
    ASSERT_NE(panelOf(sheet), nullptr);
    EXPECT_EQ(shown(), (std::vector<std::string>{"dismiss SearchQueryViewController", "present UIAlertController"}));
    EXPECT_EQ(objc::as_id(song->pendingArtwork.get()), objc::as_id(picture.get()));
    EXPECT_EQ(picks, std::vector<id>{objc::as_id(picture.get())});
}

// No composer for the service: the sheet comes back. With one: its text for a
// song that is not playing, and its end reopens the sheet after 0.1 s.
TEST_F(PanelActions, ShareWithAndWithoutComposer) {
    OWN_PROCESS();
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    auto* panel = panelOf(open(song.get()));
    id recogniser = objc_msgSend<id(NSUInteger)>(get(panel->twitterImageView.get(), "gestureRecognizers"),
                                                 "objectAtIndex:"_sel, 0);
    objc_msgSend<void(id)>(panel, "shareTrack:"_sel, recogniser);
    id again = presented(song.get());
    ASSERT_TRUE(objc_isKindOfClass(again, UIAlertController::cls()));
    EXPECT_NE(panelOf(again), nullptr);

    platform::setSocialServiceAvailable(to_string(SLServiceTypeTwitter), true);
    panel = panelOf(again);
    objc_msgSend<void(id)>(panel->titleTextField.get(), "setText:"_sel, "Kept"_ns);
    recogniser = objc_msgSend<id(NSUInteger)>(get(panel->twitterImageView.get(), "gestureRecognizers"),
                                              "objectAtIndex:"_sel, 0);
    objc_msgSend<void(id)>(panel, "shareTrack:"_sel, recogniser);
    auto* composer = static_cast<SLComposeViewController*>(presented(song.get()));
    ASSERT_TRUE(objc_isKindOfClass(composer, SLComposeViewController::cls()));
    EXPECT_EQ(str(composer->_serviceType.get()), to_string(SLServiceTypeTwitter));
    EXPECT_EQ(str(composer->_initialText.get()),
              "♪ In my music library: Coming Home by Blue Harbor ♪\r\n\r\nsent via Cantrel ♫\r\n");
    objc_callBlock<void(NSInteger)>(composer->_completionHandler.get(), 0);
    objc_msgSend<void(BOOL, id)>(song->currentViewController.get(), "dismissViewControllerAnimated:completion:"_sel, YES, nil);
    platform::finishTransitions(1);
    platform::RunLoop::main().runFor(0.2);
    id sheet = presented(song.get());
    ASSERT_TRUE(objc_isKindOfClass(sheet, UIAlertController::cls()));
    EXPECT_EQ(str(get(panelOf(sheet)->titleTextField.get(), "text")), "Kept");
}

// A sheet whose screen the app has freed (the user left it): its actions
// find the screen gone and open nothing.
TEST_F(PanelActions, ActionsOfASheetWhoseScreenIsGoneOpenNothing) {
    OWN_PROCESS();
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    auto screen = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
        objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    song->currentViewController = objc::as_id(screen.get());
    Strong<UIAlertController> sheet(open(song.get()));
    ASSERT_NE(sheet.get(), nullptr);
    Strong<ParentSongAlbumArtistView> panel(panelOf(sheet.get()));
    screen.reset();
    ASSERT_EQ(song->currentViewController.get(), nil);
    platform::clearJournal();
    platform::setSocialServiceAvailable(to_string(SLServiceTypeTwitter), true);
    id recogniser = objc_msgSend<id(NSUInteger)>(get(panel->twitterImageView.get(), "gestureRecognizers"),
                                                 "objectAtIndex:"_sel, 0);
    objc_msgSend<void(id)>(panel.get(), "shareTrack:"_sel, recogniser);
    objc_msgSend<void(id)>(panel.get(), "selectPhoto:"_sel, nil);
    objc_msgSend<void()>(panel.get(), "reopenEditHandler"_sel);
    platform::RunLoop::main().runFor(1);
    EXPECT_EQ(shown(), std::vector<std::string>{});
}

}  // namespace
