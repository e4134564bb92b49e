// The "Playing list" over the live queue, the navigation-bar options with the
// queue button, and the platform's navigation and table stand-ins they use.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "NavigationOptions.h"
#include "PlaylistTableViewController.h"
#include "QueueFixture.h"
#include "QueueHandler.h"
#include "SwipeButtons.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicNowPlayingViewController.h>
#include <MusicApp/MusicTableViewController.h>
#include <MediaPlayer/QueueMessages.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewController.h>
#include <platform/RunLoop.h>

#include <cairo.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace queuetest;

constexpr unsigned long long s1 = 1001, s2 = 1002, s3 = 1003, s4 = 1004, s5 = 1005, s6 = 1006;

id alloc(Class cls) { return objc_msgSend<id()>(objc::as_id(cls), "alloc"_sel); }

bool logged(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class PlayingList : public QueueFixture {
protected:
    // Play last of a song from the songs list, as its swipe button does.
    void playLast(unsigned long long pid) {
        AutoreleasePool pool;
        auto* e = static_cast<ItemEntry*>(objc_autorelease(objc_msgSend<id()>(alloc(ItemEntry::cls()), "init"_sel)));
        e->viewIndex = kViewIndexSongs;
        e->currentViewController = app.songsViewController();
        e->mediaItem = static_cast<NSObject*>(songWithID(pid));
        id handler = objc::as_id(objc_getClass("QueueHandler"));
        if (objc_msgSend<int(int, id, id)>(handler, "preparePlayNowOrNext:itemEntry:tableView:"_sel, PLAY_LAST, e, nil) !=
            PREPARE_DONE)
            objc_msgSend<void(int, id, id)>(handler, "playNowOrNext:itemEntry:tableView:"_sel, PLAY_LAST, e, nil);
    }

    id navigation() const { return objc::as_id(app.songsNavigationController()); }
    id top() const { return objc_msgSend<id()>(navigation(), "topViewController"_sel); }
    id list() const {
        return objc_msgSend<id()>(objc::as_id(objc_getClass("PlaylistTableViewController")), "sharedInstanceIfAlive"_sel);
    }
    UITableView* table() const { return static_cast<UITableView*>(objc_msgSend<id()>(list(), "tableView"_sel)); }

    // The queue button's action from the songs screen.
    void open() {
        AutoreleasePool pool;
        objc_msgSend<void(id)>(objc::as_id(app.songsViewController()), "showNowPlayingList:"_sel, nil);
        ASSERT_EQ(top(), list());
    }
    void close() { objc_msgSend<id(BOOL)>(navigation(), "popViewControllerAnimated:"_sel, NO); }

    // What the rows show, top to bottom: each cell's tag (the persistent id).
    Pids rows() {
        Pids out;
        platform::forEachRowCell(table(), 0, 1000, [&](NSInteger, NSInteger, UITableViewCell* cell) {
            out.push_back(static_cast<unsigned long long>(objc_msgSend<NSInteger()>(cell, "tag"_sel)));
        });
        return out;
    }
    // Each visible row's indicator state: 0 without one.
    std::vector<NSInteger> indicators() {
        std::vector<NSInteger> out;
        id cells = objc_msgSend<id()>(table(), "visibleCells"_sel);
        for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(cells, "count"_sel); i < n; ++i) {
            id cell = objc_msgSend<id(NSUInteger)>(cells, "objectAtIndex:"_sel, i);
            id indicator =
                objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(cell, "editingAccessoryView"_sel), "viewWithTag:"_sel, 99);
            out.push_back(objc_msgSend<NSInteger()>(indicator, "playbackState"_sel));
        }
        return out;
    }
    bool drag(NSInteger from, NSInteger to) { return platform::dragTableRow(table(), 0, from, to); }
    bool tapRow(NSInteger row) { return platform::tapTableRow(table(), 0, row); }
};

TEST_F(PlayingList, EveryOpeningShowsTheQueueOfThatMomentAndOnlyTheFirstScrolls) {
    startQueue({s1, s2, s3, s4, s5, s6}, s4);
    id made = objc_msgSend<id()>(objc::as_id(objc_getClass("PlaylistTableViewController")), "sharedInstance"_sel);
    objc_msgSend<void(double)>(objc_msgSend<id()>(made, "tableView"_sel), "setRowHeight:"_sel, 200);
    open();
    EXPECT_EQ(objc_msgSend<id()>(list(), "title"_sel), "Playing list"_ns);
    EXPECT_EQ(rows(), (Pids{s1, s2, s3, s4, s5, s6}));
    // The playing fourth row stands at the top: under the 0.01 point header, three rows of 200.
    EXPECT_NEAR(table()->_contentOffset.y, 600.01, 1e-6);

    close();
    objc_msgSend<void(CGPoint)>(table(), "setContentOffset:"_sel, CGPointMake(0, 0));
    playLast(1007);
    app.advance();
    open();
    EXPECT_EQ(rows(), (Pids{s1, s2, s3, s4, s5, s6, 1007}));
    EXPECT_EQ(table()->_contentOffset.y, 0);
}

TEST_F(PlayingList, RowsFollowTheOrderedArrayElseTheShuffledItems) {
    // With an ordered array its order shows, whatever the source list's.
    startQueue({s1, s2, s3}, s1);
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_orderedArray:"_sel, arrayOfSongs({s3, s1, s2}));
    open();
    EXPECT_EQ(rows(), (Pids{s3, s1, s2}));
    close();
    // Without one (the items play from the source list) the items show.
    platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::source);
    startQueue({s5, s4, s6}, s4);
    ASSERT_EQ(ordered(), Pids{});
    open();
    EXPECT_EQ(rows(), (Pids{s5, s4, s6}));
}

TEST_F(PlayingList, TheIndicatorFollowsPausePlayAndTheItemChange) {
    startQueue({s1, s2, s3}, s2);
    open();
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{0, 1, 0}));
    objc_msgSend<queue::pauseWithFadeout>(player(), "pauseWithFadeout:"_sel, 0.0);
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{0, 2, 0}));
    objc_msgSend<queue::play>(player(), "play"_sel);
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{0, 1, 0}));
    app.advance();
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{0, 0, 1}));
}

TEST_F(PlayingList, ATapPausesThePlayingRowWithAFadeAndTheNextRestartsIt) {
    startQueue({s1, s2, s3}, s2);
    open();
    playerCalls().clear();
    ASSERT_TRUE(tapRow(1));
    EXPECT_EQ(playerCalls(), std::vector<std::string>{"pauseWithFadeout: 0.1"});
    EXPECT_FALSE(player()->_playing);
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{0, 2, 0}));
    playerCalls().clear();
    ASSERT_TRUE(tapRow(1));
    EXPECT_TRUE(logged(playerCalls(), "playItemAtIndex:forceRestart: 1 1"));
    EXPECT_TRUE(player()->_playing);
    EXPECT_EQ(playingPid(), s2);
    // Another row plays from its start.
    ASSERT_TRUE(tapRow(2));
    EXPECT_EQ(playingPid(), s3);
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{0, 0, 1}));
}

// A drag reaches the live queue: the rows, the order the feeder plays and
// the player's item agree afterwards, with and without an ordered array.
TEST_F(PlayingList, ADragReordersTheLiveQueue) {
    struct Case {
        platform::ShuffledItemsOrder order;
        NSInteger from, to;
        Pids after;
    };
    const Case cases[] = {
        {platform::ShuffledItemsOrder::ordered, 2, 0, {s3, s1, s2, s4}},
        {platform::ShuffledItemsOrder::ordered, 0, 3, {s2, s3, s4, s1}},
        {platform::ShuffledItemsOrder::source, 2, 0, {s3, s1, s2, s4}},
        {platform::ShuffledItemsOrder::source, 1, 2, {s1, s3, s2, s4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.order) << " " << c.from << "->" << c.to);
        platform::setShuffledItemsOrder(c.order);
        startQueue({s1, s2, s3, s4}, s2);
        open();
        ASSERT_TRUE(drag(c.from, c.to));
        EXPECT_EQ(rows(), c.after);
        EXPECT_EQ(ordered(), c.after);
        EXPECT_EQ(loaded(), c.after);
        EXPECT_EQ(playingPid(), s2);
        EXPECT_TRUE(player()->_playing);
        if (c.order == platform::ShuffledItemsOrder::source) {
            // Rebuilt from the playing song's new place.
            auto at = std::find(c.after.begin(), c.after.end(), s2) - c.after.begin();
            EXPECT_TRUE(logged(shuffled()->_calls.lines,
                               "_rebuildItemCachesWithInitialSourceItemIndex: " + std::to_string(at)));
            EXPECT_TRUE(logged(shuffled()->_calls.lines, "invalidateSourceMediaQueryAndLoadItems"));
        } else {
            EXPECT_TRUE(logged(feeder()->_calls.lines, "_handleMediaLibraryDidChange"));
        }
        // The next song is the one that now follows.
        app.advance();
        auto next = std::find(c.after.begin(), c.after.end(), s2) + 1;
        if (next != c.after.end()) {
            EXPECT_EQ(playingPid(), *next);
        }
        close();
    }
}

TEST_F(PlayingList, ADragOntoItselfChangesNothing) {
    startQueue({s1, s2, s3}, s1);
    open();
    id before = objc::as_id(shuffled()->_orderedArray);
    feeder()->_calls.clear();
    ASSERT_TRUE(drag(1, 1));
    EXPECT_EQ(objc::as_id(shuffled()->_orderedArray), before);
    EXPECT_TRUE(feeder()->_calls.lines.empty());
    EXPECT_EQ(rows(), (Pids{s1, s2, s3}));
}

TEST_F(PlayingList, ASongQueuedWhileTheListShowsSurvivesADrag) {
    startQueue({s1, s2, s3}, s1);
    open();
    playLast(s5);  // the list still shows the three rows
    ASSERT_EQ(ordered(), (Pids{s1, s2, s3, s5}));
    ASSERT_TRUE(drag(2, 0));
    // The drag is dropped and the list shows the queue as it is.
    EXPECT_EQ(ordered(), (Pids{s1, s2, s3, s5}));
    EXPECT_EQ(loaded(), (Pids{s1, s2, s3, s5}));
    EXPECT_EQ(rows(), (Pids{s1, s2, s3, s5}));
    // Dragged again on the fresh rows, it goes through.
    ASSERT_TRUE(drag(3, 0));
    EXPECT_EQ(ordered(), (Pids{s5, s1, s2, s3}));
}

TEST_F(PlayingList, WithoutALibraryQueueADragKeepsTheRowsAndChangesNothing) {
    if (objc_getClass("RURadioQueueFeeder") == nil) GTEST_SKIP() << "a Music app without the radio";
    startQueue({s1, s2, s3}, s1);
    open();
    ASSERT_TRUE(app.startRadio());
    ASSERT_EQ(_MusicQueryQueueFeeder, nullptr);
    id playerFeeder = objc_msgSend<queue::feeder>(player(), "feeder"_sel);
    ASSERT_TRUE(drag(2, 0));
    EXPECT_EQ(rows(), (Pids{s1, s2, s3}));
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);  // no feeder was made for the move
    EXPECT_EQ(objc_msgSend<queue::feeder>(player(), "feeder"_sel), playerFeeder);
}

TEST_F(PlayingList, ATappedSongThatLeftTheQueuePlaysNothing) {
    startQueue({s1, s2, s3}, s1);
    open();
    // The queue loses the third song behind the list's back.
    objc_msgSend<void(id)>(objc::as_id(shuffled()), "set_orderedArray:"_sel, arrayOfSongs({s1, s2}));
    objc_msgSend<queue::handleMediaLibraryDidChange>(objc::as_id(feeder()), "_handleMediaLibraryDidChange"_sel);
    playerCalls().clear();
    ASSERT_TRUE(tapRow(2));
    EXPECT_EQ(playerCalls(), std::vector<std::string>{});
    EXPECT_EQ(playingPid(), s1);
    EXPECT_EQ(rows(), (Pids{s1, s2}));
}

TEST_F(PlayingList, GoingToTheBackgroundReturnsToTheScreenBelow) {
    startQueue({s1, s2}, s1);
    open();
    app.enterBackground();
    EXPECT_EQ(top(), objc::as_id(app.songsViewController()));
}

TEST_F(PlayingList, NotificationsFromAnotherThreadUpdateOnTheMainQueue) {
    startQueue({s1, s2}, s1);
    open();
    ASSERT_EQ(indicators(), (std::vector<NSInteger>{1, 0}));
    player()->_playing = NO;
    std::thread poster([] {
        AutoreleasePool pool;
        objc_msgSend<void(id, id)>(objc::as_id(NSNotificationCenter::defaultCenter()), "postNotificationName:object:"_sel,
                                   MPMusicPlayerControllerPlaybackStateDidChangeNotification, nil);
    });
    poster.join();
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{1, 0}));  // nothing touched off the main thread
    platform::RunLoop::main().runPending();
    EXPECT_EQ(indicators(), (std::vector<NSInteger>{2, 0}));
}

TEST_F(PlayingList, CellsShowTextsPictureAndTag) {
    // The Arrival songs have artwork; Coming Home has none. An empty artist
    // leaves the album alone on the detail line.
    objc_msgSend<BOOL(id, id)>(songWithID(s3), "setValue:forProperty:"_sel, ""_ns, "artist"_ns);
    // An album title gone from the cached properties leaves the artist alone.
    id properties = objc_msgSend<id(id)>(objc::as_id(app.songsViewController()->_view), "getMediaItemProperties:"_sel, songWithID(s2));
    objc_msgSend<void(id, id)>(properties, "setObject:forKey:"_sel, ""_ns, "albumTitle"_ns);
    startQueue({s1, s3, s2}, s1);
    open();
    auto* first = static_cast<UITableViewCell*>(
        objc_msgSend<id(id)>(table(), "cellForRowAtIndexPath:"_sel,
                             objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 0, 0)));
    auto* second = static_cast<UITableViewCell*>(
        objc_msgSend<id(id)>(table(), "cellForRowAtIndexPath:"_sel,
                             objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 1, 0)));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    auto label = [](id cell, const char* which) {
        return to_string(static_cast<NSString*>(objc_msgSend<id()>(objc_msgSend<id()>(cell, sel_registerName(which)), "text"_sel)));
    };
    EXPECT_EQ(label(first, "textLabel"), "Dancing Lights");
    EXPECT_EQ(label(first, "detailTextLabel"), "Amber Lane, Arrival");
    EXPECT_EQ(label(second, "detailTextLabel"), "Aerial Maps");
    auto* third = static_cast<UITableViewCell*>(
        objc_msgSend<id(id)>(table(), "cellForRowAtIndexPath:"_sel,
                             objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, 2, 0)));
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(label(third, "detailTextLabel"), "Amber Lane");
    EXPECT_EQ(objc_msgSend<NSInteger()>(first, "tag"_sel), 1001);
    EXPECT_EQ(objc_msgSend<NSInteger()>(first, "style"_sel), 3);
    EXPECT_EQ(objc_msgSend<NSInteger()>(first, "selectionStyle"_sel), 0);
    EXPECT_TRUE(objc_msgSend<BOOL()>(first, "showsReorderControl"_sel));
    // The artwork at 80 points; without any, a white square of 60.
    id art = objc_msgSend<id()>(objc_msgSend<id()>(first, "imageView"_sel), "image"_sel);
    id white = objc_msgSend<id()>(objc_msgSend<id()>(second, "imageView"_sel), "image"_sel);
    ASSERT_NE(art, nil);
    ASSERT_NE(white, nil);
    EXPECT_NE(art, white);
    CGSize whiteSize = objc_msgSend<CGSize()>(white, "size"_sel);
    EXPECT_EQ(whiteSize.width, 60);
    EXPECT_EQ(whiteSize.height, 60);
    auto* image = static_cast<UIImage*>(white);
    ASSERT_NE(image->surface(), nullptr);
    cairo_surface_flush(image->surface());
    const unsigned char* px = cairo_image_surface_get_data(image->surface());
    EXPECT_EQ(px[0], 0xFF);
    EXPECT_EQ(px[1], 0xFF);
    EXPECT_EQ(px[2], 0xFF);
}

// A queue entry without an artwork object of its own: a persistent id (that
// the database may name a picture for) and, maybe, a representative item.
struct EntryWithoutArtwork : NSObject {
    OBJC_CLASS(EntryWithoutArtwork)
    unsigned long long pid = 0;
    Strong<NSObject> representative;
};
unsigned long long entryPid(EntryWithoutArtwork* self, SEL) { return self->pid; }
id entryTitle(EntryWithoutArtwork*, SEL) { return "No artwork object"_ns; }
id entryNothing(EntryWithoutArtwork*, SEL) { return nil; }
id entryRepresentative(EntryWithoutArtwork* self, SEL) { return objc::as_id(self->representative.get()); }

// Where an entry's artwork object gives no picture, its row takes the one the
// database names for its id, else its representative item's (its artwork,
// else the database's picture for it), else a white square.
TEST_F(PlayingList, APictureComesFromTheDatabaseOrTheRepresentativeItem) {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<EntryWithoutArtwork>("EntryWithoutArtwork", NSObject::cls())
            .method<entryPid>("persistentID")
            .method<entryTitle>("title")
            .method<entryNothing>("artist")
            .method<entryNothing>("albumTitle")
            .method<entryNothing>("artwork")
            .method<entryRepresentative>("representativeItem");
    });
    auto entry = [](unsigned long long pid, id representative) {
        auto* e = static_cast<EntryWithoutArtwork*>(
            objc_autorelease(objc_msgSend<id()>(alloc(EntryWithoutArtwork::cls()), "init"_sel)));
        e->pid = pid;
        e->representative = static_cast<NSObject*>(representative);
        return objc::as_id(e);
    };
    startQueue({s1, s2}, s1);
    open();
    AutoreleasePool pool;
    // Amber Lane's songs (s1) have a red picture in the database; Coming Home (s3) none.
    const std::pair<const char*, id> cases[] = {
        {"the database's for its id", entry(s1, nil)},
        {"its representative item's artwork", entry(0, songWithID(s1))},
        {"the database's for its representative item", entry(0, entry(s1, nil))},
        {"none: a white square", entry(s3, entry(s3, nil))},
    };
    auto* list = static_cast<PlaylistTableViewController*>(this->list());
    Strong<NSObject> kept = list->tmp;
    id rows = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    for (const auto& c : cases) objc_msgSend<void(id)>(rows, "addObject:"_sel, c.second);
    list->tmp = static_cast<NSObject*>(rows);
    for (NSInteger row = 0; row < 4; ++row) {
        SCOPED_TRACE(cases[row].first);
        id cell = objc_msgSend<id(id, id)>(objc::as_id(list), "tableView:cellForRowAtIndexPath:"_sel, table(),
                                           objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(),
                                                                                 "indexPathForRow:inSection:"_sel, row, 0));
        auto* image = static_cast<UIImage*>(objc_msgSend<id()>(objc_msgSend<id()>(cell, "imageView"_sel), "image"_sel));
        ASSERT_NE(image, nullptr);
        ASSERT_NE(image->surface(), nullptr);
        cairo_surface_flush(image->surface());
        const unsigned char* px = cairo_image_surface_get_data(image->surface());  // B, G, R, A
        if (row < 3) {
            EXPECT_NE(objc_msgSend<CGSize()>(image, "size"_sel).width, 60);
            EXPECT_GT(px[2], 0xC0);
            EXPECT_LT(px[1], 0x40);
            EXPECT_LT(px[0], 0x40);
        } else {
            EXPECT_EQ(objc_msgSend<CGSize()>(image, "size"_sel).width, 60);
            EXPECT_EQ(px[0] & px[1] & px[2], 0xFF);
        }
    }
    list->tmp = kept;
}

// A row's picture that the database names is read when its cell appears,
// maybe long after the action that loaded the rows: such reads share that
// action's wait for a locked library. Loaded by an action whose wait is
// over, eight rows without artwork of their own wait for none (one wait of
// 2 s each would take 16 s), and each shows the white square.
TEST_F(PlayingList, PicturesReadAfterTheirActionShareItsWaitForALockedLibrary) {
    startQueue({1003, 1004, 1005, 1006, 1007, 1008, 1009, 1010}, 1003);
    sqlite3* lock = nullptr;
    ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &lock), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        platform::MediaLibraryWait over(std::chrono::milliseconds(0));
        open();
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<double> widths;
    platform::forEachRowCell(table(), 0, 1000, [&](NSInteger, NSInteger, UITableViewCell* cell) {
        widths.push_back(objc_msgSend<CGSize()>(objc_msgSend<id()>(objc_msgSend<id()>(cell, "imageView"_sel), "image"_sel),
                                                 "size"_sel)
                             .width);
    });
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sqlite3_exec(lock, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(lock);
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(widths, std::vector<double>(8, 60));
}

TEST_F(PlayingList, TheOneListNeverStandsOnTwoStacks) {
    startQueue({s1, s2}, s1);
    id songsScreen = objc::as_id(app.songsViewController());
    open();
    // Shown on top: asked again, nothing changes.
    objc_msgSend<void(id)>(songsScreen, "showNowPlayingList:"_sel, nil);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(navigation(), "viewControllers"_sel), "count"_sel), 2u);
    // Lower on the stack: back to it.
    id above = objc_autorelease(objc_msgSend<id()>(alloc(UIViewController::cls()), "init"_sel));
    objc_msgSend<void(id, BOOL)>(navigation(), "pushViewController:animated:"_sel, above, NO);
    objc_msgSend<void(id)>(above, "showNowPlayingList:"_sel, nil);
    EXPECT_EQ(top(), list());
    EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(navigation(), "viewControllers"_sel), "count"_sel), 2u);
    // From the now-playing screen's stack: taken off the songs stack first.
    id nowPlaying = objc::as_id(app.nowPlayingViewController());
    objc_msgSend<void(id)>(nowPlaying, "showNowPlayingList:"_sel, nil);
    id other = objc::as_id(app.nowPlayingNavigationController());
    EXPECT_EQ(objc_msgSend<id()>(other, "topViewController"_sel), list());
    EXPECT_EQ(top(), songsScreen);
    // The platform refuses a controller already on a stack.
    EXPECT_THROW(objc_msgSend<void(id, BOOL)>(navigation(), "pushViewController:animated:"_sel, list(), NO), NSException*);
}

TEST_F(PlayingList, EachDragReleasesTheOrderItReplaces) {
    startQueue({s1, s2, s3}, s1);
    open();
    Strong<NSObject> old(static_cast<NSObject*>(objc::as_id(shuffled()->_orderedArray)));
    ASSERT_EQ(objc_retainCount(objc::as_id(old.get())), 2u);
    ASSERT_TRUE(drag(2, 0));
    EXPECT_NE(objc::as_id(shuffled()->_orderedArray), objc::as_id(old.get()));
    EXPECT_EQ(objc_retainCount(objc::as_id(old.get())), 1u);
}

// ---------------------------------------------------------------------------
// The navigation bar.

struct BarItem {
    NSInteger tag;
    std::string name;
    bool operator==(const BarItem&) const = default;
};
std::ostream& operator<<(std::ostream& os, const BarItem& b) { return os << b.tag << " " << b.name; }

std::vector<BarItem> barOf(id controller) {
    std::vector<BarItem> out;
    id items = objc_msgSend<id()>(objc_msgSend<id()>(controller, "navigationItem"_sel), "rightBarButtonItems"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(items, "count"_sel); i < n; ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        std::string name = objc_msgSend<NSInteger()>(item, "systemItem"_sel) == 11
                               ? "queue"
                               : to_string(static_cast<NSString*>(objc_msgSend<id()>(item, "title"_sel)));
        if (name == "queue") {
            EXPECT_EQ(objc_msgSend<id()>(item, "target"_sel), controller);
            EXPECT_EQ(objc_msgSend<SEL()>(item, "action"_sel), "showNowPlayingList:"_sel);
            EXPECT_EQ(objc_msgSend<NSInteger()>(item, "style"_sel), 0);
        }
        out.push_back({objc_msgSend<NSInteger()>(item, "tag"_sel), name});
    }
    return out;
}

using Bar = std::vector<BarItem>;

TEST_F(PlayingList, TheQueueButtonComesAndGoesWithTheQueue) {
    struct Step {
        bool queued;
        Bar hidden;  // hide_store_button YES
        Bar shown;   // NO: the app's store button stands first
    };
    const Step steps[] = {
        {true, {{101, "queue"}}, {{99, "Store"}, {101, "queue"}}},
        {true, {{101, "queue"}}, {{99, "Store"}, {101, "queue"}}},  // a repeated check adds nothing
        {false, {}, {{0, "Store"}}},
        {false, {}, {{0, "Store"}}},
        {true, {{101, "queue"}}, {{99, "Store"}, {101, "queue"}}},
    };
    for (bool hide : {true, false}) {
        SCOPED_TRACE(hide ? "store hidden" : "store shown");
        hide_store_button = hide;
        id screen = objc_autorelease(objc_msgSend<id()>(alloc(MusicTableViewController::cls()), "init"_sel));
        for (const Step& step : steps) {
            if (step.queued) {
                startQueue({s1, s2}, s1);
                _MusicQueryQueueFeeder = feeder();
            } else {
                _MusicQueryQueueFeeder = nullptr;
            }
            objc_msgSend<void(BOOL)>(screen, "viewWillAppear:"_sel, NO);
            EXPECT_EQ(barOf(screen), hide ? step.hidden : step.shown);
        }
        // The store item is the app's own, built only while shown.
        EXPECT_EQ(MSHookIvar<NSInteger>(screen, "_storeButtonUpdates"), hide ? 0 : 5);
    }
}

// With the queue button in the bar, a list screen opened stands below the
// bar, so that its first row shows whole.
TEST_F(PlayingList, AListOpenedUnderTheBarStartsBelowIt) {
    startQueue({s1, s2}, s1);
    _MusicQueryQueueFeeder = feeder();
    ASSERT_TRUE(app.openScreen("songs"));
    id screen = objc::as_id(app.currentScreen());
    ASSERT_FALSE(barOf(screen).empty());
    CGRect bar = objc_msgSend<CGRect()>(objc_msgSend<id()>(navigation(), "navigationBar"_sel), "frame"_sel);
    CGRect main = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id table = objc_msgSend<id()>(screen, "tableView"_sel);
    CGRect frame = objc_msgSend<CGRect()>(table, "frame"_sel);
    EXPECT_EQ(frame.origin.y, CGRectGetMaxY(bar));
    EXPECT_EQ(CGRectGetMaxY(frame), CGRectGetMaxY(main));
    EXPECT_EQ(frame.size.width, main.size.width);
    CGRect row = objc_msgSend<CGRect(id)>(table, "rectForRowAtIndexPath:"_sel,
                                          objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(),
                                                                                 "indexPathForRow:inSection:"_sel, 0, 0));
    EXPECT_GE(frame.origin.y + row.origin.y - objc_msgSend<CGPoint()>(table, "contentOffset"_sel).y, CGRectGetMaxY(bar));
}

TEST_F(PlayingList, CoverFlowFollowsItsOption) {
    disable_cover_flow = YES;
    EXPECT_FALSE(app.rotateToLandscape());
    id plain = objc_autorelease(objc_msgSend<id()>(alloc(UIViewController::cls()), "init"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL()>(plain, "MPH_supportsCoverFlow"_sel));
    disable_cover_flow = NO;
    EXPECT_TRUE(app.rotateToLandscape());
    EXPECT_TRUE(objc_msgSend<BOOL()>(plain, "MPH_supportsCoverFlow"_sel));
}

// The app's own content-load update is kept out (it would run the store
// update and its check too): what shows is the replacement's own check.
int appContentLoads = 0;
void appContentLoad(UIViewController*, SEL, BOOL) { ++appContentLoads; }

TEST_F(PlayingList, TheContentLoadCheckWaitsForARightItemAndTheStart) {
    startQueue({s1, s2}, s1);
    _MusicQueryQueueFeeder = feeder();
    IMP app = __music_updateForContentChangeForInitialViewLoad$UIViewController.imp;
    __music_updateForContentChangeForInitialViewLoad$UIViewController.imp = imp_implementationWithFunction(&appContentLoad);
    auto screenWith = [&](const char* title) {
        id screen = objc_autorelease(objc_msgSend<id()>(alloc(UIViewController::cls()), "init"_sel));
        if (title != nullptr) {
            id own = objc_autorelease(objc_msgSend<id(id, NSInteger, id, SEL)>(
                alloc(UIBarButtonItem::cls()), "initWithTitle:style:target:action:"_sel,
                objc_autorelease(objc::as_id(NSString::create(title))), 0L, nil, static_cast<SEL>(nullptr)));
            objc_msgSend<void(id)>(objc_msgSend<id()>(screen, "navigationItem"_sel), "setRightBarButtonItem:"_sel, own);
        }
        objc_msgSend<void(BOOL)>(screen, "_music_updateForContentChangeForInitialViewLoad:"_sel, YES);
        return barOf(screen);
    };
    EXPECT_EQ(screenWith(nullptr), Bar{});  // no right item: skipped
    isOnStartup = NO;
    EXPECT_EQ(screenWith("Edit"), (Bar{{0, "Edit"}}));  // before the root controller: skipped
    isOnStartup = YES;
    EXPECT_EQ(screenWith("Edit"), (Bar{{99, "Edit"}, {101, "queue"}}));
    EXPECT_EQ(appContentLoads, 3);  // the app's own update ran each time
    __music_updateForContentChangeForInitialViewLoad$UIViewController.imp = app;
}

TEST_F(PlayingList, TheNowPlayingVariantAddsButNeverRemoves) {
    id screen = objc::as_id(app.nowPlayingViewController());
    id navigationItem = objc_msgSend<id()>(screen, "navigationItem"_sel);
    id own = objc_autorelease(objc_msgSend<id(id, NSInteger, id, SEL)>(
        alloc(UIBarButtonItem::cls()), "initWithTitle:style:target:action:"_sel, "Done"_ns, 0L, nil, static_cast<SEL>(nullptr)));
    objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItem:"_sel, own);
    _MusicQueryQueueFeeder = nullptr;
    doNowPlayingNavigationPlaylistCheck(screen);
    EXPECT_EQ(barOf(screen), (Bar{{0, "Done"}}));  // empty queue: nothing added
    startQueue({s1, s2}, s1);
    _MusicQueryQueueFeeder = feeder();
    doNowPlayingNavigationPlaylistCheck(screen);
    doNowPlayingNavigationPlaylistCheck(screen);
    EXPECT_EQ(barOf(screen), (Bar{{99, "Done"}, {0, "queue"}}));
    _MusicQueryQueueFeeder = nullptr;
    doNowPlayingNavigationPlaylistCheck(screen);
    EXPECT_EQ(barOf(screen), (Bar{{99, "Done"}, {0, "queue"}}));  // never removed
    // A bar of two items of the screen's own keeps both.
    id second = objc_autorelease(objc_msgSend<id(id, NSInteger, id, SEL)>(
        alloc(UIBarButtonItem::cls()), "initWithTitle:style:target:action:"_sel, "Share"_ns, 0L, nil, static_cast<SEL>(nullptr)));
    objc_msgSend<void(NSInteger)>(own, "setTag:"_sel, 0);
    id both = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
    objc_msgSend<void(id)>(both, "addObject:"_sel, own);
    objc_msgSend<void(id)>(both, "addObject:"_sel, second);
    objc_msgSend<void(id)>(navigationItem, "setRightBarButtonItems:"_sel, both);
    _MusicQueryQueueFeeder = feeder();
    doNowPlayingNavigationPlaylistCheck(screen);
    EXPECT_EQ(barOf(screen), (Bar{{0, "Done"}, {0, "Share"}}));
}

// ---------------------------------------------------------------------------
// The platform's table editing, as the list relies on it.

TEST_F(PlayingList, TheTableMovesTheRowOnScreenBeforeTheDataSourceHears) {
    startQueue({s1, s2, s3}, s1);
    open();
    id cellOfFirst = objc_msgSend<id(id)>(table(), "cellForRowAtIndexPath:"_sel,
                                          objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(),
                                                                                 "indexPathForRow:inSection:"_sel, 0, 0));
    ASSERT_TRUE(drag(0, 2));
    // The same cell now stands at the third place.
    EXPECT_EQ(objc_msgSend<id(id)>(table(), "cellForRowAtIndexPath:"_sel,
                                   objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel,
                                                                          2, 0)),
              cellOfFirst);
    // Outside editing no drag and no tap (selection only while editing).
    objc_msgSend<void(BOOL, BOOL)>(list(), "setEditing:animated:"_sel, NO, NO);
    EXPECT_FALSE(drag(0, 1));
    EXPECT_FALSE(tapRow(0));
    EXPECT_FALSE(drag(0, 7));
}

}  // namespace
