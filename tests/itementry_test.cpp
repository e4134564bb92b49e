// The item record: view indexes of the list screens, the index-path
// corrections, what a record holds after filling, and the artwork rule.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>

#include <mutex>

namespace {

// A list controller as the record sees it: the table's delegate, with the
// answers a test sets.
struct FakeList : NSObject {
    OBJC_CLASS(FakeList)
    int sectionAnswer = 0;       // sectionForDataSourceSection:
    NSInteger actionRows = 0;    // numberOfActionRowsInTableView:
    BOOL allowsActions = NO;
    Strong<NSObject> source;     // dataSource
};

// A data source that hands out one entity per index path and counts what it
// was asked.
struct FakeSource : NSObject {
    OBJC_CLASS(FakeSource)
    int asked = 0;
    Strong<NSIndexPath> lastPath;
    Strong<NSObject> entity;
};

// A media item or collection with an artwork that has a picture or not.
struct FakeItem : NSObject {
    OBJC_CLASS(FakeItem)
    unsigned long long pid = 0;
    Strong<NSObject> picture;          // what artwork's imageWithSize: gives
    Strong<NSObject> representative;   // for a collection
    CGSize askedSize{};
};

int sectionFor(FakeList* self, SEL, NSInteger) { return self->sectionAnswer; }
NSInteger actionRowsIn(FakeList* self, SEL, id) { return self->actionRows; }
BOOL allows(FakeList* self, SEL) { return self->allowsActions; }
id listSource(FakeList* self, SEL) { return self->source.get(); }
id entityAt(FakeSource* self, SEL, id path) {
    ++self->asked;
    self->lastPath = static_cast<NSIndexPath*>(path);
    return self->entity.get();
}
id itemArtwork(FakeItem* self, SEL) { return self; }  // the item is its own artwork object
id imageWithSize(FakeItem* self, SEL, CGSize size) {
    self->askedSize = size;
    return self->picture.get();
}
unsigned long long itemPid(FakeItem* self, SEL) { return self->pid; }
id representativeItem(FakeItem* self, SEL) { return self->representative.get(); }

void registerFakes() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<FakeList>("FakeList", NSObject::cls())
            .method<sectionFor>("sectionForDataSourceSection:")
            .method<actionRowsIn>("numberOfActionRowsInTableView:")
            .method<allows>("allowsActions")
            .method<listSource>("dataSource");
        objc::ClassDef<FakeSource>("FakeSource", NSObject::cls()).method<entityAt>("entityAtIndexPath:");
        objc::ClassDef<FakeItem>("FakeItem", NSObject::cls())
            .method<itemArtwork>("artwork")
            .method<imageWithSize>("imageWithSize:")
            .method<itemPid>("persistentID")
            .method<representativeItem>("representativeItem");
    });
}

template <class T>
Strong<T> make() {
    return Strong<T>::adopt(static_cast<T*>(objc_msgSend<id()>(objc_msgSend<id()>(T::cls(), "alloc"_sel), "init"_sel)));
}

NSIndexPath* path(NSInteger row, NSInteger section) {
    return objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row,
                                                            section);
}

class Record : public ::testing::Test {
protected:
    void SetUp() override {
        Cantrel_registerClasses();
        registerFakes();
        table = Strong<UITableView>::adopt(static_cast<UITableView*>(objc_msgSend<id()>(
            objc_msgSend<id()>(UITableView::cls(), "alloc"_sel), "init"_sel)));
        list = make<FakeList>();
        source = make<FakeSource>();
        list->source = source.get();
        objc_msgSend<void(id)>(table, "setDelegate:"_sel, list.get());
        entry = make<ItemEntry>();
    }

    // Fills the record for a row and returns the corrected index path.
    std::pair<NSInteger, NSInteger> fill(NSInteger row, NSInteger section, long viewIndex) {
        assignMediaItem(table, path(row, section), viewIndex, entry, nil);
        NSIndexPath* p = entry->currentIndexPath;
        return {objc_msgSend<NSInteger()>(p, "row"_sel), objc_msgSend<NSInteger()>(p, "section"_sel)};
    }

    test::TempRoot root;
    AutoreleasePool pool;
    Strong<UITableView> table;
    Strong<FakeList> list;
    Strong<FakeSource> source;
    Strong<ItemEntry> entry;
};

TEST(ViewIndex, EachScreenOfTheApp) {
    OWN_PROCESS();  // registers subclasses of the screens
    platform::registerMusicApp();
    AutoreleasePool pool;
    const std::pair<const char*, long> screens[] = {
        {"MusicFlipsideAlbumDetailViewController", 10}, {"MusicNowPlayingPlaybackControlsView", 12},
        {"MusicSongsViewController", 0},                {"MusicAlbumsDetailViewController", 3},
        {"MusicPlaylistSongsViewController", 9},        {"MusicCompilationsViewController", -1},
        {"MusicAlbumsViewController", 2},               {"MusicComposersViewController", 6},
        {"MusicArtistsViewController", 1},              {"MusicGenresViewController", 7},
        {"MusicPlaylistsListViewController", 8},        {"MusicTableViewController", -1},
        {"UIViewController", -1},
    };
    for (auto [name, expected] : screens) {
        SCOPED_TRACE(name);
        Class cls = objc_getClass(name);
        ASSERT_NE(cls, nil);
        id controller = objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel);
        EXPECT_EQ(getViewIndex(controller), expected);
        // A subclass of a screen is that screen.
        std::string subName = std::string("My") + name;
        Class sub = objc_allocateClassPair(cls, subName.c_str(), 0);
        objc_registerClassPair(sub);
        id subController = objc_msgSend<id()>(objc_msgSend<id()>(sub, "alloc"_sel), "init"_sel);
        EXPECT_EQ(getViewIndex(subController), expected);
        objc_release(subController);
        objc_release(controller);
        EXPECT_EQ(to_string(getViewIndexNameByMusicViewIndex(expected)),
                  expected == -1 ? "MusicCompilationsViewController - NONE!" : name);
    }
    EXPECT_EQ(getViewIndex(nil), -1);
    EXPECT_EQ(to_string(getViewIndexNameByMusicViewIndex(5)), "");
}

// The screens are looked up by name; an app whose songs list is also an
// album detail (by inheritance) gives the songs list, tested first.
TEST(ViewIndex, FirstMatchInTestOrderWins) {
    OWN_PROCESS();  // registers its own screen classes
    Class songs = objc_allocateClassPair(NSObject::cls(), "MusicSongsViewController", 0);
    objc_registerClassPair(songs);
    Class detail = objc_allocateClassPair(songs, "MusicAlbumsDetailViewController", 0);
    objc_registerClassPair(detail);
    Class albums = objc_allocateClassPair(NSObject::cls(), "MusicAlbumsViewController", 0);
    objc_registerClassPair(albums);
    Class compilations = objc_allocateClassPair(albums, "MusicCompilationsViewController", 0);
    objc_registerClassPair(compilations);
    AutoreleasePool pool;
    auto make = [](Class c) { return autorelease(objc_msgSend<id()>(objc_msgSend<id()>(c, "alloc"_sel), "init"_sel)); };
    EXPECT_EQ(getViewIndex(make(detail)), 0);
    EXPECT_EQ(getViewIndex(make(compilations)), -1);  // before albums in the test order
    EXPECT_EQ(getViewIndex(make(albums)), 2);
}

TEST_F(Record, FreshRecordIsEmpty) {
    EXPECT_EQ(objc_msgSend<id()>(entry, "mediaItem"_sel), nil);
    EXPECT_EQ(objc_msgSend<long()>(entry, "viewIndex"_sel), 0);
    EXPECT_EQ(objc_msgSend<long()>(entry, "genreIndex"_sel), 0);
    objc_msgSend<void(long)>(entry, "setGenreIndex:"_sel, 4);
    EXPECT_EQ(entry->genreIndex, 4);
}

TEST_F(Record, SectionCorrectionOfSongScreens) {
    auto song = make<FakeItem>();
    source->entity = song.get();
    // Data-source section 2 shown as table section 3: the table's section 2
    // is the data source's section 1.
    list->sectionAnswer = 3;
    EXPECT_EQ(fill(5, 2, kViewIndexSongs), std::make_pair(NSInteger(5), NSInteger(1)));
    EXPECT_EQ(objc_msgSend<NSInteger()>(entry->origionalIndexPath.get(), "section"_sel), 2);
    EXPECT_EQ(entry->mediaItem.get(), song.get());
    EXPECT_EQ(entry->mediaItemCollection.get(), nullptr);
    EXPECT_EQ(entry->currentViewController.get(), list.get());
    EXPECT_EQ(entry->tableView.get(), table.get());
    EXPECT_EQ(entry->viewIndex, kViewIndexSongs);
    // The data source was asked the corrected path.
    EXPECT_EQ(objc_msgSend<NSInteger()>(source->lastPath.get(), "section"_sel), 1);

    // |t - s| counts both ways: t one below s lowers it too.
    list->sectionAnswer = 1;
    EXPECT_EQ(fill(0, 2, kViewIndexPlaylistSongs), std::make_pair(NSInteger(0), NSInteger(1)));
    // Albums are taken as they come.
    list->sectionAnswer = 7;
    EXPECT_EQ(fill(4, 2, kViewIndexAlbums), std::make_pair(NSInteger(4), NSInteger(2)));
}

TEST_F(Record, ArtistRowsWithActionRows) {
    auto artist = make<FakeItem>();
    auto representative = make<FakeItem>();
    artist->representative = representative.get();
    source->entity = artist.get();
    list->actionRows = 2;
    EXPECT_EQ(fill(7, 0, kViewIndexArtists), std::make_pair(NSInteger(4), NSInteger(0)));
    EXPECT_EQ(entry->mediaItemCollection.get(), artist.get());
    EXPECT_EQ(entry->mediaItem.get(), representative.get());
    // A later section: the row stays, the section follows allowsActions.
    list->allowsActions = YES;
    EXPECT_EQ(fill(7, 4, kViewIndexArtists), std::make_pair(NSInteger(7), NSInteger(0)));
    list->allowsActions = NO;
    EXPECT_EQ(fill(7, 4, kViewIndexArtists), std::make_pair(NSInteger(7), NSInteger(4)));
    list->actionRows = 0;
    EXPECT_EQ(fill(7, 0, kViewIndexArtists), std::make_pair(NSInteger(7), NSInteger(0)));
}

TEST_F(Record, NegativeCorrectionsAskNothing) {
    source->entity = make<FakeItem>().get();
    list->actionRows = 1;
    fill(1, 0, kViewIndexArtists);  // row 1 - 3
    EXPECT_EQ(source->asked, 0);
    EXPECT_EQ(entry->mediaItem.get(), nullptr);
    EXPECT_EQ(entry->mediaItemCollection.get(), nullptr);
    EXPECT_EQ(entry->viewIndex, kViewIndexArtists);  // still a record of that screen

    list->sectionAnswer = 9;
    fill(0, 1, kViewIndexGenres);  // section 1 - |9 - 1|
    EXPECT_EQ(source->asked, 0);
}

TEST_F(Record, FilledRecordResetsTheEditorsFields) {
    entry->genreIndex = 3;
    entry->artistIndex = 5;
    entry->editName = "typed"_ns;
    fill(0, 0, kViewIndexSongs);
    EXPECT_EQ(entry->genreIndex, -1);
    EXPECT_EQ(entry->artistIndex, -1);
    EXPECT_EQ(to_string(entry->editName), "");
    // A screen without buttons still yields a record, with nothing asked.
    fill(0, 0, kViewIndexNone);
    EXPECT_EQ(source->asked, 1);
    EXPECT_EQ(entry->mediaItem.get(), nullptr);
}

TEST_F(Record, NowPlayingTakesControllerAndItemFromTheExtra) {
    auto controller = make<FakeList>();
    auto item = make<FakeItem>();
    auto picture = make<FakeItem>();
    item->picture = picture.get();
    id extra = NSArray::make({controller.get(), item.get()});
    entry->currentViewController = list.get();
    assignMediaItem(nil, nil, kViewIndexNowPlaying, entry, extra);
    EXPECT_EQ(entry->currentNowPlayingViewController.get(), controller.get());
    EXPECT_EQ(entry->mediaItem.get(), item.get());
    EXPECT_EQ(entry->artwork.get(), picture.get());
    EXPECT_EQ(item->askedSize.width, 80);
    EXPECT_EQ(entry->currentViewController.get(), nullptr);
    EXPECT_EQ(entry->tableView.get(), nullptr);
    EXPECT_EQ(entry->viewIndex, kViewIndexNowPlaying);

    // Fewer than two objects: what is missing counts as nil.
    assignMediaItem(nil, nil, kViewIndexNowPlaying, entry, NSArray::make({controller.get()}));
    EXPECT_EQ(entry->mediaItem.get(), nullptr);
    EXPECT_EQ(entry->currentNowPlayingViewController.get(), controller.get());
    assignMediaItem(nil, nil, kViewIndexNowPlaying, entry, nil);
    EXPECT_EQ(entry->currentNowPlayingViewController.get(), nullptr);
}

TEST_F(Record, RecordOwnsWhatOutlivesTheCall) {
    long before = class_getLiveInstanceCount(FakeItem::cls());
    {
        AutoreleasePool inner;
        auto song = make<FakeItem>();
        source->entity = song.get();
        fill(0, 0, kViewIndexSongs);
        source->entity = nil;
    }
    // The data source let go; the record still holds its item.
    EXPECT_EQ(class_getLiveInstanceCount(FakeItem::cls()), before + 1);
    ASSERT_NE(entry->mediaItem.get(), nullptr);
    entry = nil;
    EXPECT_EQ(class_getLiveInstanceCount(FakeItem::cls()), before);
}

TEST_F(Record, ArtworkComesFromTheItemElseFromItsTokenAndFile) {
    ASSERT_TRUE(fixture::writeLibrary());
    auto item = make<FakeItem>();
    auto picture = make<FakeItem>();
    item->picture = picture.get();
    item->pid = 1006;
    EXPECT_EQ(artworkForMediaItem(item), picture.get());  // the database is not needed

    // No picture from the item: its token leads to the file in the artwork
    // folder (Amber Lane's songs have the 6 x 4 picture).
    item->picture = nil;
    item->pid = 1001;
    id image = artworkForMediaItem(item);
    ASSERT_NE(image, nil);
    CGSize size = objc_msgSend<CGSize()>(image, "size"_sel);
    EXPECT_EQ(size.width, 6);
    EXPECT_EQ(size.height, 4);

    item->pid = 1006;  // no token
    EXPECT_EQ(artworkForMediaItem(item), nil);
    EXPECT_EQ(artworkForMediaItem(nil), nil);
}

}  // namespace
