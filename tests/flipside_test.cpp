// The flipside album view's edit button: one button per reload, in the
// header's corner, opening the edit sheet on the whole album; none for an
// empty list, none in another controller's header.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "FlipsideAlbumView.h"
#include "ItemEntry.h"
#include "MediaLibraryFixture.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicLibraryDataSource.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>

#include <string>
#include <vector>

namespace {

// What the edit handler was sent.
struct Opened {
    int calls = 0;
    Strong<NSObject> image;
    Strong<NSObject> entry;
    long rating = 0;
};
Opened* opened = nullptr;

void recordOpen(objc_class*, SEL, id image, id entry, long rating) {
    if (opened == nullptr) return;
    ++opened->calls;
    opened->image = static_cast<NSObject*>(image);
    opened->entry = static_cast<NSObject*>(entry);
    opened->rating = rating;
}

std::vector<unsigned long long> pidsOf(id array) {
    std::vector<unsigned long long> out;
    for (NSUInteger i = 0, n = array ? objc_msgSend<NSUInteger()>(array, "count"_sel) : 0; i < n; ++i)
        out.push_back(objc_msgSend<unsigned long long()>(objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, i),
                                                         "persistentID"_sel));
    return out;
}

class Flipside : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::writeLibrary());
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        MSHookMessageEx(objc_getClass("EditHandler")->isa, "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                        objc::make_imp<recordOpen>(), nullptr);
        opened = &record;
        app.launch();
    }
    void TearDown() override { opened = nullptr; }

    MusicFlipsideAlbumDetailViewController* controller() { return app.flipsideViewController(); }
    id tableView(id c) { return objc_msgSend<id()>(c, "tableView"_sel); }
    id header(id c) { return objc_msgSend<id()>(tableView(c), "tableHeaderView"_sel); }
    void layout(id view) { objc_msgSend<void()>(view, "layoutSubviews"_sel); }

    // The edit toolbars among a view's direct subviews' subviews.
    std::vector<id> toolbarsIn(id view) {
        std::vector<id> out;
        id subviews = objc_msgSend<id()>(view, "subviews"_sel);
        for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
            id sub = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
            id inner = objc_msgSend<id()>(sub, "subviews"_sel);
            for (NSUInteger k = 0, m = objc_msgSend<NSUInteger()>(inner, "count"_sel); k < m; ++k) {
                id t = objc_msgSend<id(NSUInteger)>(inner, "objectAtIndex:"_sel, k);
                if (objc_isKindOfClass(t, UIToolbar::cls()) && objc_msgSend<NSInteger()>(t, "tag"_sel) == 99)
                    out.push_back(t);
            }
        }
        return out;
    }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
    Opened record;
};

TEST_F(Flipside, TwoReloadsLeaveOneButtonThatEditsTheWholeAlbum) {
    std::string error;
    ASSERT_TRUE(app.play("album", 202, &error)) << error;  // Coming Home, Something Blue, Otter's Garden
    app.showFlipside();
    id c = controller();
    ASSERT_NE(c, nullptr);
    objc_msgSend<void()>(c, "reloadData"_sel);
    layout(header(c));
    layout(header(c));
    std::vector<id> toolbars = toolbarsIn(header(c));
    ASSERT_EQ(toolbars.size(), 1u);

    // The container stands 55 points from the header's right edge and 100
    // from its bottom, 50 square.
    CGRect frame = objc_msgSend<CGRect()>(header(c), "frame"_sel);
    CGRect container = objc_msgSend<CGRect()>(objc_msgSend<id()>(toolbars[0], "superview"_sel), "frame"_sel);
    EXPECT_EQ(container.origin.x, frame.size.width - 55);
    EXPECT_EQ(container.origin.y, frame.size.height - 100);
    EXPECT_EQ(container.size.width, 50);
    EXPECT_EQ(container.size.height, 50);
    // A header of another size keeps those distances.
    objc_msgSend<void(CGRect)>(header(c), "setFrame:"_sel, CGRectMake(0, 0, 500, 300));
    layout(header(c));
    container = objc_msgSend<CGRect()>(objc_msgSend<id()>(toolbars[0], "superview"_sel), "frame"_sel);
    EXPECT_EQ(container.origin.x, 445);
    EXPECT_EQ(container.origin.y, 200);

    // A clear 50-point toolbar: an empty picture as its background, its
    // subviews clipped.
    EXPECT_NE(objc_msgSend<id(NSInteger, NSInteger)>(toolbars[0], "backgroundImageForToolbarPosition:barMetrics:"_sel, 0,
                                                     0),
              nullptr);
    EXPECT_TRUE(objc_msgSend<BOOL()>(toolbars[0], "clipsToBounds"_sel));
    CGRect bar = objc_msgSend<CGRect()>(toolbars[0], "frame"_sel);
    EXPECT_EQ(bar.size.width, 50);
    EXPECT_EQ(bar.size.height, 50);

    // Its one item, a compose button, opens the sheet on the album.
    id items = objc_msgSend<id()>(toolbars[0], "items"_sel);
    ASSERT_EQ(objc_msgSend<NSUInteger()>(items, "count"_sel), 1u);
    id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 0);
    EXPECT_EQ(objc_msgSend<NSInteger()>(item, "systemItem"_sel), 7);
    objc_msgSend<void()>(objc_msgSend<id()>(item, "target"_sel), objc_msgSend<SEL()>(item, "action"_sel));
    ASSERT_EQ(record.calls, 1);
    EXPECT_EQ(record.image.get(), nullptr);
    EXPECT_EQ(record.rating, -1);
    auto* entry = static_cast<ItemEntry*>(objc::as_id(record.entry.get()));
    EXPECT_EQ(entry->viewIndex, 10);
    EXPECT_EQ(objc_msgSend<unsigned long long()>(entry->mediaItem.get(), "persistentID"_sel), 1003u);
    EXPECT_EQ(pidsOf(objc::as_id(entry->mediaItemCollectionItems.get())),
              (std::vector<unsigned long long>{1003, 1004, 1005}));
    EXPECT_EQ(entry->mediaItemCollection.get(), nullptr);
    EXPECT_EQ(entry->currentViewController.get(), objc::as_id(c));
}

TEST_F(Flipside, AnEmptyAlbumListGetsNoButton) {
    std::string error;
    ASSERT_TRUE(app.play("album", 202, &error)) << error;
    app.showFlipside();
    id c = controller();
    layout(header(c));
    ASSERT_EQ(toolbarsIn(header(c)).size(), 1u);
    id empty = objc_autorelease(objc_msgSend<id(id, id, BOOL)>(
        objc_msgSend<id()>(MusicLibraryDataSource::cls(), "alloc"_sel), "initWithEntities:titles:grouped:"_sel,
        objc_msgSend<id()>(NSArray::cls(), "array"_sel), objc_msgSend<id()>(NSArray::cls(), "array"_sel), NO));
    objc_msgSend<void(id)>(c, "setDataSource:"_sel, empty);
    objc_msgSend<void()>(c, "reloadData"_sel);
    layout(header(c));
    EXPECT_TRUE(toolbarsIn(header(c)).empty());
    EXPECT_EQ(musicFlipsideAlbumDetailViewController_drawView, nullptr);
}

// Each reload replaces the button: over many reloads one record and one
// container stay alive, and a reload of an empty list frees the last.
TEST_F(Flipside, ReloadsKeepOneRecordAlive) {
    std::string error;
    ASSERT_TRUE(app.play("album", 202, &error)) << error;
    {
        AutoreleasePool inner;
        app.showFlipside();
    }
    id c = controller();
    long records = class_getLiveInstanceCount(ItemEntry::cls());
    long toolbars = class_getLiveInstanceCount(UIToolbar::cls());
    for (int i = 0; i < 50; ++i) {
        AutoreleasePool inner;
        objc_msgSend<void()>(c, "reloadData"_sel);
        layout(header(c));
    }
    {
        AutoreleasePool inner;  // the subviews arrays hold the container too
        EXPECT_EQ(toolbarsIn(header(c)).size(), 1u);
    }
    EXPECT_EQ(class_getLiveInstanceCount(ItemEntry::cls()), records);
    EXPECT_EQ(class_getLiveInstanceCount(UIToolbar::cls()), toolbars);
    {
        AutoreleasePool inner;
        id empty = objc_autorelease(objc_msgSend<id(id, id, BOOL)>(
            objc_msgSend<id()>(MusicLibraryDataSource::cls(), "alloc"_sel), "initWithEntities:titles:grouped:"_sel,
            objc_msgSend<id()>(NSArray::cls(), "array"_sel), objc_msgSend<id()>(NSArray::cls(), "array"_sel), NO));
        objc_msgSend<void(id)>(c, "setDataSource:"_sel, empty);
        objc_msgSend<void()>(c, "reloadData"_sel);
        layout(header(c));
    }
    EXPECT_EQ(class_getLiveInstanceCount(ItemEntry::cls()), records - 1);
    EXPECT_EQ(class_getLiveInstanceCount(UIToolbar::cls()), toolbars - 1);
}

TEST_F(Flipside, AnotherControllersHeaderNeverShowsIt) {
    std::string error;
    ASSERT_TRUE(app.play("album", 202, &error)) << error;
    app.showFlipside();
    id other = objc_autorelease(
        objc_msgSend<id()>(objc_msgSend<id()>(MusicFlipsideAlbumDetailViewController::cls(), "alloc"_sel), "init"_sel));
    objc_msgSend<void(id)>(other, "setDataSource:"_sel, objc_msgSend<id()>(controller(), "dataSource"_sel));
    objc_msgSend<void()>(objc_msgSend<id()>(other, "view"_sel), "layoutIfNeeded"_sel);
    layout(header(other));
    EXPECT_TRUE(toolbarsIn(header(other)).empty());
    layout(header(controller()));
    EXPECT_EQ(toolbarsIn(header(controller())).size(), 1u);
}

}  // namespace
