// Test support for the live queue: the Music app launched on the test
// library with the library's hooks installed, its player, feeder and
// shuffled items, and the library's songs by persistent id.
#pragma once

#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "MediaLibraryFixture.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MediaPlayer/QueueMessages.h>

#include <algorithm>
#include <map>
#include <vector>

namespace queuetest {

using Pids = std::vector<unsigned long long>;

inline unsigned long long pidOf(id item) { return objc_msgSend<unsigned long long()>(item, "persistentID"_sel); }

inline Pids pidsOf(id array) {
    Pids out;
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(array, "count"_sel); i < n; ++i)
        out.push_back(pidOf(objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, i)));
    return out;
}

class QueueFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::writeLibrary());
        platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::ordered);
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        app.launch();
    }
    void TearDown() override { platform::setShuffledItemsOrder(platform::ShuffledItemsOrder::ordered); }

    // The library's song of that persistent id (one object per id), from
    // the library as it is at the first ask (a test may change it first).
    id songWithID(unsigned long long pid) {
        if (songs.empty()) {
            id items = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
            for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(items, "count"_sel); i < n; ++i) {
                id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
                songs[pidOf(item)] = static_cast<NSObject*>(item);
            }
        }
        auto found = songs.find(pid);
        if (found == songs.end()) {
            ADD_FAILURE() << "no song " << pid;
            return nil;
        }
        return objc::as_id(found->second.get());
    }
    id arrayOfSongs(const Pids& pids) {
        id array = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
        for (unsigned long long pid : pids) objc_msgSend<void(id)>(array, "addObject:"_sel, songWithID(pid));
        return array;
    }

    MPAVController* player() const { return app.avController(); }
    MusicQueryQueueFeeder* feeder() const { return static_cast<MusicQueryQueueFeeder*>(player()->_feeder.get()); }
    MPMediaQueryShuffledItems* shuffled() const { return feeder()->_items; }
    unsigned long long playingPid() const { return pidOf(player()->_currentItem.get()); }
    Pids ordered() const { return pidsOf(shuffled()->_orderedArray); }
    // The feeder's snapshot of the queue, which the player plays from.
    Pids loaded() const {
        Pids out;
        for (const auto& item : feeder()->_loaded) out.push_back(pidOf(item.get()));
        return out;
    }

    // A new feeder playing `pids` from the place of `playing`, as a list the
    // user started.
    void startQueue(const Pids& pids, unsigned long long playing) {
        AutoreleasePool pool;
        id f = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(MusicQueryQueueFeeder::cls(), "alloc"_sel),
                                                   "init"_sel));
        objc_msgSend<void(id)>(f, "setQueryItems:"_sel, arrayOfSongs(pids));
        auto at = std::find(pids.begin(), pids.end(), playing) - pids.begin();
        objc_msgSend<queue::switchToFeeder>(player(), "switchToFeeder:mode:index:play:"_sel, f, 0L, long(at), YES);
        ASSERT_EQ(playingPid(), playing);
    }

    std::vector<std::string>& playerCalls() { return player()->_calls.lines; }

    test::TempRoot root;
    std::map<unsigned long long, Strong<NSObject>> songs;
    platform::MusicApp app;
};

}  // namespace queuetest
