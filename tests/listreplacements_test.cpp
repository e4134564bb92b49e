// The list screens' replacements: the delete question (its texts, its style
// by device, what each answer does, and a list that changed before the
// answer), the artwork reload of marked rows, and the song cell's slide.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "ListScreenReplacements.h"
#include "MediaLibraryFixture.h"
#include "NSObject+BKAssociatedObjects.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicLibraryDataSource.h>
#include <MusicApp/MusicLibraryScreens.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

NSIndexPath* path(NSInteger row, NSInteger section) {
    return objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row,
                                                            section);
}

// The persistent ids of every song in the library.
std::set<unsigned long long> songIDs() {
    std::set<unsigned long long> out;
    id items = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(items, "count"_sel); i < n; ++i)
        out.insert(objc_msgSend<unsigned long long()>(objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i),
                                                      "persistentID"_sel));
    return out;
}

std::set<unsigned long long> allSongsBut(unsigned long long pid) {
    std::set<unsigned long long> out;
    for (const auto& s : fixture::songs())
        if (static_cast<unsigned long long>(s.pid) != pid) out.insert(s.pid);
    return out;
}

// A data source that answers one entity for every index path, for the
// section-conversion cases.
struct OneEntitySource : MusicLibraryDataSource {
    OBJC_CLASS(OneEntitySource)
    Strong<NSObject> entity;
    std::vector<NSInteger> askedSections;
};
id oneEntity(OneEntitySource* self, SEL, id p) {
    self->askedSections.push_back(objc_msgSend<NSInteger()>(p, "section"_sel));
    return self->entity.get();
}
OneEntitySource* currentSource = nullptr;
id sourceOf(id, SEL) { return currentSource; }
int sectionPlusThree(id, SEL, NSInteger s) { return static_cast<int>(s + 3); }

// A songs screen whose data source is `currentSource` and whose table
// sections stand three after the data source's.
Class shiftedSongsScreen() {
    static Class cls = [] {
        objc::ClassDef<OneEntitySource>("OneEntitySource", MusicLibraryDataSource::cls()).method<oneEntity>("entityAtIndexPath:");
        Class c = objc_allocateClassPair(MusicSongsViewController::cls(), "ShiftedSongsViewController", 0);
        objc::define_method(c, "dataSource"_sel, imp_implementationWithFunction(&sourceOf), "@@:");
        objc::define_method(c, "sectionForDataSourceSection:"_sel, imp_implementationWithFunction(&sectionPlusThree),
                            "i@:q");
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

class ListReplacements : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::writeLibrary());
        platform::setDeviceIdiom(UIUserInterfaceIdiomPhone);
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        test::postSettingsChanged();  // every option at its default
        app.launch();
        platform::clearJournal();
    }

    // A question left up goes with its test.
    void TearDown() override {
        platform::finishTransitions(2);
        for (auto* c : platform::presentedViewControllers())
            objc_msgSend<void(BOOL, id)>(c, "dismissViewControllerAnimated:completion:"_sel, NO, nil);
        platform::finishTransitions(2);
    }

    void open(const std::string& screen, std::optional<unsigned long long> id = std::nullopt) {
        std::string error;
        ASSERT_TRUE(app.openScreen(screen, id, &error)) << error;
    }

    MusicTableViewController* screen() const { return app.currentScreen(); }
    UITableView* table() const { return static_cast<UITableView*>(objc_msgSend<id()>(screen(), "tableView"_sel)); }

    // The table's index path of the row showing that persistent id.
    NSIndexPath* rowOf(unsigned long long pid) {
        id source = objc_msgSend<id()>(screen(), "dataSource"_sel);
        for (NSInteger s = 0, n = objc_msgSend<NSInteger()>(table(), "numberOfSections"_sel); s < n; ++s)
            for (NSInteger r = 0, m = objc_msgSend<NSInteger(NSInteger)>(table(), "numberOfRowsInSection:"_sel, s);
                 r < m; ++r) {
                id ds = objc_msgSend<id(id)>(screen(), "dataSourceIndexPathForIndexPath:"_sel, path(r, s));
                if (ds == nil) continue;
                id e = objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, ds);
                if (objc_msgSend<unsigned long long()>(e, "persistentID"_sel) == pid) return path(r, s);
            }
        ADD_FAILURE() << "no row shows " << pid;
        return path(0, 0);
    }

    // A swipe-delete of the row (the row is in editing mode first).
    void swipeDelete(NSIndexPath* row, NSInteger style = UITableViewCellEditingStyleDelete) {
        objc_msgSend<void(BOOL)>(table(), "setEditing:"_sel, YES);
        objc_msgSend<void(id, NSInteger, id)>(screen(), "tableView:commitEditingStyle:forRowAtIndexPath:"_sel, table(),
                                              style, row);
    }

    // Serves the main loop until the question was shown or refused.
    bool waitForQuestion() {
        return platform::RunLoop::main().runUntil(
            [] {
                for (const auto& e : platform::journal())
                    if (e.kind == "present" || e.kind == "refused") return true;
                return false;
            },
            5);
    }

    UIAlertController* question() {
        for (auto* c : platform::presentedViewControllers())
            if (objc_isKindOfClass(objc::as_id(c), UIAlertController::cls())) return static_cast<UIAlertController*>(c);
        return nullptr;
    }

    bool answer(const std::string& title) {
        platform::finishTransitions(2);  // the question is fully shown
        UIAlertController* alert = question();
        if (alert == nullptr) return false;
        for (const auto& a : alert->_actions)
            if (to_string(a->_title.get()) == title) {
                bool ok = platform::tapAlertAction(alert, a.get());
                platform::finishTransitions(2);
                return ok;
            }
        return false;
    }

    bool editing() { return objc_msgSend<BOOL()>(table(), "isEditing"_sel); }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
};

TEST_F(ListReplacements, EachListAsksWithItsOwnText) {
    struct Case {
        const char* cls;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"MusicSongsViewController", "Are you sure you want to delete this track?"},
        {"MusicAlbumsDetailViewController", "Are you sure you want to delete this track?"},
        {"MusicPlaylistSongsViewController", "Are you sure you want to delete this track?"},
        {"MusicAlbumsViewController", "Are you sure you want to delete this album?"},
        {"MusicArtistsViewController", "Are you sure you want to delete this artist?"},
        {"MusicComposersViewController", "Are you sure you want to delete this composer?"},
        {"MusicGenresViewController", "Are you sure you want to delete this genre?"},
        {"MusicPlaylistsListViewController", "Are you sure you want to delete this playlist?"},
        {"MusicTableViewController", ""},
    };
    for (const auto& c : cases) {
        Class cls = objc_getClass(c.cls);
        ASSERT_NE(cls, nullptr) << c.cls;
        id controller = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel));
        EXPECT_EQ(to_string(deleteConfirmationText(controller)), c.text) << c.cls;
    }
    // A compilations list is asked about as a compilation unless it is also
    // a kind of a class listed before it.
    Class compilations = objc_getClass("MusicCompilationsViewController");
    ASSERT_NE(compilations, nullptr);
    bool isAlbums = class_getSuperclass(compilations) == objc_getClass("MusicAlbumsViewController");
    id controller = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(compilations, "alloc"_sel), "init"_sel));
    EXPECT_EQ(to_string(deleteConfirmationText(controller)),
              isAlbums ? "Are you sure you want to delete this album?"
                       : "Are you sure you want to delete this compilation?");
}

TEST_F(ListReplacements, DeleteWaitsForTheAnswer) {
    open("songs");
    swipeDelete(rowOf(1004));
    // Nothing asked or deleted before the main loop comes round.
    EXPECT_TRUE(platform::journal().empty());
    ASSERT_TRUE(waitForQuestion());
    EXPECT_EQ(songIDs().size(), fixture::songs().size());
    UIAlertController* alert = question();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(to_string(alert->_message.get()), "Are you sure you want to delete this track?");
    EXPECT_EQ(objc_msgSend<id()>(alert, "title"_sel), nullptr);
    EXPECT_EQ(alert->_preferredStyle, UIAlertControllerStyleActionSheet);  // a phone
    ASSERT_EQ(alert->_actions.size(), 2u);
    EXPECT_EQ(to_string(alert->_actions[0]->_title.get()), "Delete");
    EXPECT_EQ(alert->_actions[0]->_style, UIAlertActionStyleDestructive);
    EXPECT_EQ(to_string(alert->_actions[1]->_title.get()), "Cancel");
    EXPECT_EQ(alert->_actions[1]->_style, UIAlertActionStyleCancel);

    ASSERT_TRUE(answer("Delete"));
    EXPECT_EQ(songIDs(), allSongsBut(1004));
}

TEST_F(ListReplacements, CancelEndsEditingAndDeletesNothing) {
    open("songs");
    swipeDelete(rowOf(1004));
    ASSERT_TRUE(waitForQuestion());
    ASSERT_TRUE(answer("Cancel"));
    EXPECT_FALSE(editing());
    EXPECT_EQ(screen()->_deleteCommits, 0);
    EXPECT_EQ(songIDs().size(), fixture::songs().size());
}

TEST_F(ListReplacements, OnAnIPadTheQuestionIsACentredAlert) {
    platform::setDeviceIdiom(UIUserInterfaceIdiomPad);
    open("albums");
    swipeDelete(path(0, 0));
    ASSERT_TRUE(waitForQuestion());
    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(question()->_preferredStyle, UIAlertControllerStyleAlert);
    EXPECT_EQ(to_string(question()->_message.get()), "Are you sure you want to delete this album?");
}

TEST_F(ListReplacements, AnswerAfterTheListChangedDeletesNothing) {
    open("songs");
    NSIndexPath* asked = rowOf(1007);  // Lovesong, first of the "L" section, Lullaby after it
    swipeDelete(asked);
    ASSERT_TRUE(waitForQuestion());
    // Before the answer, the asked-about song goes by another way: its row
    // now shows Lullaby.
    ASSERT_TRUE(platform::deleteMediaEntity(objc_msgSend<id(id)>(
        objc_msgSend<id()>(screen(), "dataSource"_sel), "entityAtIndexPath:"_sel,
        objc_msgSend<id(id)>(screen(), "dataSourceIndexPathForIndexPath:"_sel, asked))));
    objc_msgSend<void()>(screen(), "reloadDataSource"_sel);
    ASSERT_TRUE(objc_msgSend<BOOL(id)>(rowOf(1006), "isEqual:"_sel, asked));

    ASSERT_TRUE(answer("Delete"));
    EXPECT_EQ(songIDs(), allSongsBut(1007));  // Lullaby stays
    EXPECT_FALSE(editing());
    EXPECT_EQ(screen()->_deleteCommits, 0);
}

TEST_F(ListReplacements, WithTheOptionOffTheDeleteIsAtOnce) {
    ask_before_delete = NO;
    open("songs");
    swipeDelete(rowOf(1004));
    EXPECT_EQ(songIDs(), allSongsBut(1004));
    platform::RunLoop::main().runFor(0.5);
    EXPECT_TRUE(platform::journal().empty());
}

TEST_F(ListReplacements, OnlyTheDeleteStyleIsAsked) {
    open("songs");
    swipeDelete(rowOf(1004), UITableViewCellEditingStyleInsert);
    platform::RunLoop::main().runFor(0.5);
    EXPECT_TRUE(platform::journal().empty());
    EXPECT_EQ(songIDs().size(), fixture::songs().size());
}

TEST_F(ListReplacements, AnotherAlertUpEndsEditingAndDeletesNothing) {
    open("songs");
    id other = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(),
                                                   "alertControllerWithTitle:message:preferredStyle:"_sel, "Other"_ns,
                                                   nil, UIAlertControllerStyleAlert);
    objc_msgSend<void(id, BOOL, id)>(screen(), "presentViewController:animated:completion:"_sel, other, NO, nil);
    platform::finishTransitions(2);
    platform::clearJournal();
    swipeDelete(rowOf(1004));
    ASSERT_TRUE(waitForQuestion());
    ASSERT_EQ(platform::journal().size(), 1u);
    EXPECT_EQ(platform::journal()[0].kind, "refused");
    EXPECT_FALSE(editing());
    EXPECT_EQ(songIDs().size(), fixture::songs().size());
}

// --- Artwork reload -------------------------------------------------------------

MusicMediaCellContentView* contentOf(id cell) {
    return static_cast<MusicMediaTableViewCell*>(cell)->_mediaCellContentView;
}

TEST_F(ListReplacements, MarkedRowTakesItsArtworkAnewEachTime) {
    open("songs");
    NSIndexPath* row = rowOf(1001);  // a song with artwork
    id cell = objc_msgSend<id(id, id)>(screen(), "tableView:cellForRowAtIndexPath:"_sel, table(), row);
    EXPECT_EQ(contentOf(cell)->_contentReloads, 0);  // unmarked: as the app made it

    id entity = objc_msgSend<id(id)>(objc_msgSend<id()>(screen(), "dataSource"_sel), "entityAtIndexPath:"_sel,
                                     objc_msgSend<id(id)>(screen(), "dataSourceIndexPathForIndexPath:"_sel, row));
    objc_msgSend<void(id, const void*)>(entity, "associateCopyOfValue:withKey:"_sel, NSNumber::withLongLong(1),
                                        kReloadImageKey);
    for (int shown = 1; shown <= 2; ++shown) {
        cell = objc_msgSend<id(id, id)>(screen(), "tableView:cellForRowAtIndexPath:"_sel, table(), row);
        MusicMediaCellContentView* content = contentOf(cell);
        EXPECT_GE(content->_contentReloads, 1) << "display " << shown;
        EXPECT_TRUE(content->_needsContentReload);  // asked after the reload
        ASSERT_NE(content->_artworkImage, nullptr);
        EXPECT_EQ(content->_artworkImage, static_cast<MusicMediaTableViewCell*>(cell)->_artworkImage);
    }
    // A mark other than 1 reloads nothing.
    objc_msgSend<void(id, const void*)>(entity, "associateCopyOfValue:withKey:"_sel, NSNumber::withLongLong(2),
                                        kReloadImageKey);
    cell = objc_msgSend<id(id, id)>(screen(), "tableView:cellForRowAtIndexPath:"_sel, table(), row);
    contentOf(cell)->_contentReloads = 0;
    cell = objc_msgSend<id(id, id)>(screen(), "tableView:cellForRowAtIndexPath:"_sel, table(), row);
    EXPECT_EQ(contentOf(cell)->_contentReloads, 0);
}

TEST_F(ListReplacements, MarkedItemWithoutArtworkGetsNoPicture) {
    open("songs");
    NSIndexPath* row = rowOf(1003);  // no artwork at all: no artwork file path either
    id entity = objc_msgSend<id(id)>(objc_msgSend<id()>(screen(), "dataSource"_sel), "entityAtIndexPath:"_sel,
                                     objc_msgSend<id(id)>(screen(), "dataSourceIndexPathForIndexPath:"_sel, row));
    objc_msgSend<void(id, const void*)>(entity, "associateCopyOfValue:withKey:"_sel, NSNumber::withLongLong(1),
                                        kReloadImageKey);
    id cell = objc_msgSend<id(id, id)>(screen(), "tableView:cellForRowAtIndexPath:"_sel, table(), row);
    EXPECT_EQ(contentOf(cell)->_artworkImage, nullptr);
    EXPECT_GE(contentOf(cell)->_contentReloads, 1);
}

TEST_F(ListReplacements, SectionConversionReadsTheDataSourceSectionAndSkipsBelowZero) {
    Class screenClass = shiftedSongsScreen();
    id songs = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
    Strong<OneEntitySource> source = Strong<OneEntitySource>::adopt(static_cast<OneEntitySource*>(
        objc_msgSend<id(id, id, BOOL)>(objc_msgSend<id()>(OneEntitySource::cls(), "alloc"_sel),
                                       "initWithEntities:titles:grouped:"_sel, songs, nil, NO)));
    ASSERT_NE(source.get(), nullptr);
    currentSource = source.get();
    source->entity = static_cast<NSObject*>(objc_msgSend<id(NSUInteger)>(songs, "objectAtIndex:"_sel, 0));
    objc_msgSend<void(id, const void*)>(source->entity.get(), "associateCopyOfValue:withKey:"_sel,
                                        NSNumber::withLongLong(1), kReloadImageKey);
    id controller =
        objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(screenClass, "alloc"_sel), "init"_sel));
    id tv = objc_msgSend<id()>(controller, "tableView"_sel);
    // Table section 5: 5 - |8 - 5| = 2.
    source->askedSections.clear();
    objc_msgSend<id(id, id)>(controller, "tableView:cellForRowAtIndexPath:"_sel, tv, path(0, 5));
    EXPECT_NE(std::find(source->askedSections.begin(), source->askedSections.end(), 2), source->askedSections.end());
    // Table section 1: 1 - |4 - 1| = -2, below zero: no entity is asked for
    // by the reload, and the cell is left as the app made it.
    source->askedSections.clear();
    id cell = objc_msgSend<id(id, id)>(controller, "tableView:cellForRowAtIndexPath:"_sel, tv, path(0, 1));
    for (NSInteger s : source->askedSections) EXPECT_GE(s, 0);
    if (objc_isKindOfClass(cell, MusicMediaTableViewCell::cls())) {
        EXPECT_EQ(contentOf(cell)->_contentReloads, 0);
    }
    currentSource = nullptr;
}

TEST_F(ListReplacements, SongCellSlidesItsContentTo250) {
    open("songs");
    id cell = objc_msgSend<id(id, id)>(screen(), "tableView:cellForRowAtIndexPath:"_sel, table(), rowOf(1001));
    ASSERT_TRUE(objc_msgSend<BOOL(SEL)>(cell, "respondsToSelector:"_sel, "songsViewControllerCellSwipe:"_sel));
    CGRect before = objc_msgSend<CGRect()>(contentOf(cell), "frame"_sel);
    objc_msgSend<void(id)>(cell, "songsViewControllerCellSwipe:"_sel, nil);
    CGRect after = objc_msgSend<CGRect()>(contentOf(cell), "frame"_sel);
    EXPECT_EQ(after.origin.x, 250);
    EXPECT_EQ(after.origin.y, before.origin.y);
    EXPECT_EQ(after.size.width, before.size.width);
    EXPECT_EQ(objc::as_id(currentContentView), objc::as_id(contentOf(cell)));
    platform::RunLoop::main().runFor(0.5);
}

}  // namespace
