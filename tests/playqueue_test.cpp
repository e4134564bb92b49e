// The Music app's live play queue as the platform models it: the feeder's
// snapshot, the player's item changes and their order, the end of a song,
// the list table view's hand-over, and the Foundation pieces it relies on.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicTableViewController.h>
#include <MediaPlayer/QueueMessages.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string>* events = nullptr;

struct Observer : NSObject {
    OBJC_CLASS(Observer)
};

unsigned long long pidOf(id item) { return objc_msgSend<unsigned long long()>(item, "persistentID"_sel); }

void heard(Observer*, SEL, NSNotification* note) {
    id player = note->object_.get();
    id item = objc_msgSend<queue::currentMediaItem>(player, "currentMediaItem"_sel);
    events->push_back(to_string(note->name_.get()) + " " + (item ? std::to_string(pidOf(item)) : "nil"));
}

Slot<void(objc_object*, SEL, id)> appItemWillChange;
void itemWillChange(objc_object* self, SEL cmd, id arg) {
    id item = objc_msgSend<queue::currentMediaItem>(self, "currentMediaItem"_sel);
    events->push_back("_itemWillChange: " + (item ? std::to_string(pidOf(item)) : std::string("nil")));
    appItemWillChange(self, cmd, arg);
}
Slot<id(objc_object*, SEL, NSUInteger)> appPlaybackInfo;
id playbackInfo(objc_object* self, SEL cmd, NSUInteger index) {
    events->push_back("playbackInfoAtIndex: " + std::to_string(index));
    return appPlaybackInfo(self, cmd, index);
}

class PlayQueue : public ::testing::Test {
protected:
    void SetUp() override {
        events = &log;
        ASSERT_TRUE(fixture::writeLibrary());
        platform::registerMusicApp();
        static bool hooked = [] {
            objc::ClassDef<Observer>("Observer", NSObject::cls()).method<heard>("heard:");
            MSHookMessageEx(objc_getClass("MPAVController"), "_itemWillChange:"_sel, &itemWillChange,
                            &appItemWillChange);
            MSHookMessageEx(objc_getClass("MusicQueryQueueFeeder"), "playbackInfoAtIndex:"_sel, &playbackInfo,
                            &appPlaybackInfo);
            return true;
        }();
        (void)hooked;
        app.launch();
        observer = Strong<Observer>::adopt(static_cast<Observer*>(class_createInstance(Observer::cls())));
        auto* center = NSNotificationCenter::defaultCenter();
        center->addObserver(observer.get(), "heard:"_sel, MPMusicPlayerControllerNowPlayingItemDidChangeNotification,
                            nullptr);
        center->addObserver(observer.get(), "heard:"_sel, MPMusicPlayerControllerPlaybackStateDidChangeNotification,
                            nullptr);
    }
    void TearDown() override { NSNotificationCenter::defaultCenter()->removeObserver(observer.get(), nullptr, nullptr); }

    id player() const { return objc::as_id(app.avController()); }
    MusicQueryQueueFeeder* feeder() const {
        return static_cast<MusicQueryQueueFeeder*>(objc_msgSend<queue::feeder>(player(), "feeder"_sel));
    }
    std::vector<unsigned long long> snapshot() const {
        std::vector<unsigned long long> out;
        for (NSUInteger i = 0, n = objc_msgSend<queue::itemCount>(objc::as_id(feeder()), "itemCount"_sel); i < n; ++i)
            out.push_back(pidOf(objc_msgSend<queue::mediaItemAtIndex>(objc::as_id(feeder()), "mediaItemAtIndex:"_sel, i)));
        return out;
    }
    id current() const { return objc_msgSend<queue::currentMediaItem>(player(), "currentMediaItem"_sel); }

    test::TempRoot root;
    std::vector<std::string> log;
    platform::MusicApp app;
    Strong<Observer> observer;
    AutoreleasePool pool;
};

TEST_F(PlayQueue, AtLaunchNothingIsLoadedAndPlayingAnAlbumRunsOneItemChangeInOrder) {
    EXPECT_EQ(current(), nullptr);
    EXPECT_FALSE(objc_msgSend<queue::isPlaying>(player(), "isPlaying"_sel));
    log.clear();
    std::string error;
    ASSERT_TRUE(app.play("album", 201, &error)) << error;
    EXPECT_EQ(log, (std::vector<std::string>{
                       "_itemWillChange: nil",
                       "playbackInfoAtIndex: 0",
                       "MPMusicPlayerControllerNowPlayingItemDidChangeNotification 1001",
                       "MPMusicPlayerControllerPlaybackStateDidChangeNotification 1001",
                   }));
    EXPECT_EQ(snapshot(), (std::vector<unsigned long long>{1001, 1002}));
    EXPECT_EQ(objc_msgSend<queue::AVController>(objc::as_id(feeder()), "AVController"_sel), player());

    // The next song: no state change this time.
    log.clear();
    app.advance();
    EXPECT_EQ(log, (std::vector<std::string>{"_itemWillChange: 1001", "playbackInfoAtIndex: 1",
                                             "MPMusicPlayerControllerNowPlayingItemDidChangeNotification 1002"}));
    // After the last song the player stops and keeps it.
    log.clear();
    app.advance();
    EXPECT_EQ(log, (std::vector<std::string>{"MPMusicPlayerControllerPlaybackStateDidChangeNotification 1002"}));
    EXPECT_EQ(pidOf(current()), 1002u);
    EXPECT_FALSE(objc_msgSend<queue::isPlaying>(player(), "isPlaying"_sel));
}

TEST_F(PlayQueue, ThePlayerFollowsItsItemNotAnIndex) {
    std::string error;
    ASSERT_TRUE(app.play("album", 202, &error)) << error;  // 1003, 1004, 1005 (by disc and track)
    id playing = current();
    auto* order = static_cast<NSMutableArray*>(feeder()->_items->_orderedArray);
    // Re-ordering, told to the feeder, changes what plays next but not what plays.
    order->exchangeObjects(0, 2);
    objc_msgSend<queue::handleMediaLibraryDidChange>(objc::as_id(feeder()), "_handleMediaLibraryDidChange"_sel);
    EXPECT_EQ(current(), playing);
    EXPECT_EQ(snapshot(), (std::vector<unsigned long long>{1005, 1004, 1003}));
    app.advance();  // after 1003, the last: stops
    EXPECT_EQ(pidOf(current()), 1003u);
    EXPECT_FALSE(objc_msgSend<queue::isPlaying>(player(), "isPlaying"_sel));
    // An index outside the queue is logged and ignored.
    log.clear();
    objc_msgSend<queue::playItemAtIndex>(player(), "playItemAtIndex:forceRestart:"_sel, 3, YES);
    objc_msgSend<queue::playItemAtIndex>(player(), "playItemAtIndex:forceRestart:"_sel, -1, YES);
    EXPECT_TRUE(log.empty());
    auto& calls = app.avController()->_calls.lines;
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"playItemAtIndex:forceRestart: -1 1", "ignored: index out of range -1"}));
}

TEST_F(PlayQueue, AChangeNobodyAnnouncesLeavesTheFeederStale) {
    std::string error;
    ASSERT_TRUE(app.play("album", 202, &error)) << error;
    auto* order = static_cast<NSMutableArray*>(feeder()->_items->_orderedArray);
    order->removeObjectAtIndex(2);
    EXPECT_EQ(snapshot().size(), 3u);
    objc_msgSend<queue::contentsDidChangeByRemovingRange>(objc::as_id(feeder()), "contentsDidChangeByRemovingRange:"_sel,
                                                          NSMakeRange(0, 0));
    EXPECT_EQ(snapshot(), (std::vector<unsigned long long>{1003, 1004}));
    EXPECT_EQ(feeder()->_calls.lines.back(), "contentsDidChangeByRemovingRange: {0,0}");
}

TEST_F(PlayQueue, AFreshFeederHasNoOrderUntilItGetsAQuery) {
    Strong<MusicQueryQueueFeeder> fresh = Strong<MusicQueryQueueFeeder>::adopt(static_cast<MusicQueryQueueFeeder*>(
        objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel), "init"_sel)));
    EXPECT_EQ(fresh->_items->_orderedArray, nullptr);
    EXPECT_EQ(objc_msgSend<queue::itemCount>(objc::as_id(fresh.get()), "itemCount"_sel), 0u);
    id query = objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel);
    objc_msgSend<queue::setQuery>(objc::as_id(fresh.get()), "setQuery:"_sel, query);
    EXPECT_EQ(objc_msgSend<queue::query>(objc::as_id(fresh.get()), "query"_sel), query);
    EXPECT_EQ(objc_msgSend<queue::itemCount>(objc::as_id(fresh.get()), "itemCount"_sel), 10u);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(fresh->_items->_orderedArray, "count"_sel), 10u);
    EXPECT_EQ(objc_msgSend<queue::indexOfMediaItem>(objc::as_id(fresh.get()), "indexOfMediaItem:"_sel, nil), -1);

    // The list's table view hands over a list: it plays as handed over.
    id list = NSArray::make({objc_msgSend<queue::mediaItemAtIndex>(objc::as_id(fresh.get()), "mediaItemAtIndex:"_sel, 4),
                             objc_msgSend<queue::mediaItemAtIndex>(objc::as_id(fresh.get()), "mediaItemAtIndex:"_sel, 1)});
    id table = objc_msgSend<id()>(objc::as_id(app.songsViewController()), "tableView"_sel);
    objc_msgSend<queue::setSourceMediaQueryItems>(table, "setSourceMediaQueryItems:andFeeder:"_sel, list, fresh.get());
    EXPECT_EQ(objc_msgSend<queue::itemCount>(objc::as_id(fresh.get()), "itemCount"_sel), 2u);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(fresh->_items->_orderedArray, "count"_sel), 2u);
    EXPECT_EQ(objc_msgSend<queue::mediaItemAtIndex>(objc::as_id(fresh.get()), "mediaItemAtIndex:"_sel, 0),
              static_cast<NSArray*>(list)->at(0));
}

TEST_F(PlayQueue, TheShowingScreensLeaveTheFeederTrackingAlone) {
    log.clear();
    app.showNowPlaying();
    app.showFlipside();
    for (const std::string& line : log) EXPECT_EQ(line.rfind("playbackInfoAtIndex:", 0), std::string::npos);
}

template <class F>
struct Proto;
template <class R, class... A>
struct Proto<R(A...)> {
    static const std::type_info& get() { return objc::signature<R, A...>(); }
};

// The prototypes the design gives, as the app answers them and as the
// shared table states them.
TEST(PlayQueueMessages, IndexesAreThirtyTwoBitWhereTheDesignSaysSo) {
    platform::registerMusicApp();
    struct Case {
        const char* cls;
        const char* sel;
        const std::type_info& (*have)();
        const std::type_info& (*want)();
    };
    const Case cases[] = {
        {"MusicQueryQueueFeeder", "indexOfMediaItem:", &Proto<queue::indexOfMediaItem>::get, &Proto<int(id)>::get},
        {"MPAVController", "reloadFeederWithStartQueueIndex:", &Proto<queue::reloadFeederWithStartQueueIndex>::get,
         &Proto<void(int)>::get},
        {"MPAVController", "playItemAtIndex:forceRestart:", &Proto<queue::playItemAtIndex>::get,
         &Proto<void(int, BOOL)>::get},
        {"MusicQueryQueueFeeder", "playbackInfoAtIndex:", &Proto<queue::playbackInfoAtIndex>::get,
         &Proto<id(NSUInteger)>::get},
        {"MusicQueryQueueFeeder", "itemCount", &Proto<queue::itemCount>::get, &Proto<NSUInteger()>::get},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + c.sel);
        IMP imp = class_getMethodImplementation(objc_getClass(c.cls), sel_registerName(c.sel));
        ASSERT_TRUE(imp);
        EXPECT_TRUE(*imp.sig == c.want());
        EXPECT_TRUE(c.have() == c.want());
    }
}

TEST(PlayQueueFoundation, BlocksReplaceRangesAndSetsHoldDistinctObjects) {
    AutoreleasePool pool;
    NSMutableArray* a = NSMutableArray::make();
    for (const char* s : {"a", "b", "c"}) a->addObject(NSString::make(s));
    a->replaceObjectsInRange(NSMakeRange(1, 0), NSArray::make({NSString::make("x"), NSString::make("y")}));
    a->replaceObjectsInRange(NSMakeRange(0, 1), NSArray::make({NSString::make("z")}));
    std::vector<std::string> got;
    for (id o : *a) got.push_back(to_string(static_cast<NSString*>(o)));
    EXPECT_EQ(got, (std::vector<std::string>{"z", "x", "y", "b", "c"}));
    EXPECT_THROW(a->replaceObjectsInRange(NSMakeRange(6, 0), nullptr), NSException*);
    EXPECT_THROW(a->replaceObjectsInRange(NSMakeRange(4, 2), nullptr), NSException*);
    EXPECT_EQ(a->count(), 5u);

    id set = objc_msgSend<id(id)>(NSSet::cls(), "setWithArray:"_sel,
                                  NSArray::make({NSString::make("p"), NSString::make("q"), NSString::make("p")}));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(set, "count"_sel), 2u);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(set, "containsObject:"_sel, NSString::make("q")));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(set, "allObjects"_sel), "count"_sel), 2u);
    EXPECT_THROW(objc_msgSend<id(id)>(NSSet::cls(), "setWithObject:"_sel, nil), NSException*);
}

}  // namespace
