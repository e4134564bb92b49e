// The swipe buttons of the list rows: which buttons a row gets on each
// screen, their titles, pictures and colours, the options read at each swipe,
// and what a tap does.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "Classes.h"
#include "IconView.h"
#include "MediaLibraryFixture.h"
#include "MessageView.h"
#include "SwipeButtons.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicLibraryScreens.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The library's resource bundle, as a device path.
const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";
const std::string kBundleSource = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle";
const char kPrefsPath[] = "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";

// The titles on a phone.
const std::string kDeletePhone = "\u2715  ";
const std::string kEditPhone = "\u2026";
const std::string kPicturePhone = "   ";
// The titles on an iPad.
const std::string kDeletePad = "\u2715        ";
const std::string kEditPad = "\u2026        ";
const std::string kPicturePad = "           ";

using Buttons = std::vector<Strong<_UITableViewCellActionButton>>;

NSIndexPath* path(NSInteger row, NSInteger section) {
    return objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row,
                                                            section);
}

std::vector<NSInteger> tags(const Buttons& buttons) {
    std::vector<NSInteger> out;
    for (const auto& b : buttons) out.push_back(objc_msgSend<NSInteger()>(b.get(), "tag"_sel));
    return out;
}

std::vector<std::string> titles(const Buttons& buttons) {
    std::vector<std::string> out;
    for (const auto& b : buttons)
        out.push_back(to_string(static_cast<NSString*>(
            objc_msgSend<id(NSUInteger)>(b.get(), "titleForState:"_sel, UIControlStateNormal))));
    return out;
}

// The file name of each button's background picture; "" for none.
std::vector<std::string> pictures(const Buttons& buttons) {
    std::vector<std::string> out;
    for (const auto& b : buttons) {
        auto* image = static_cast<UIImage*>(
            objc_msgSend<id(NSUInteger)>(b.get(), "backgroundImageForState:"_sel, UIControlStateNormal));
        out.push_back(image ? std::filesystem::path(image->_fileName).filename().string() : "");
    }
    return out;
}

_UITableViewCellActionButton* withTag(const Buttons& buttons, NSInteger tag) {
    for (const auto& b : buttons)
        if (objc_msgSend<NSInteger()>(b.get(), "tag"_sel) == tag) return b.get();
    return nullptr;
}

// Stand-ins for the handlers of the other components, made only while the
// library has none of its own: they record what they were sent.
struct Sent {
    int editCalls = 0;
    id editImage = nil;
    id editEntry = nil;
    long editRating = 0;
    int exportCalls = 0;
    id exportEntry = nil;
    int exportType = 0;
    std::vector<int> prepared;
    std::vector<int> played;
    int prepareAnswer = 1;
};
Sent* sent = nullptr;

struct RecordingHandler : NSObject {
    OBJC_CLASS(RecordingHandler)
};

void openEdit(objc_class*, SEL, id image, id entry, long rating) {
    ++sent->editCalls;
    sent->editImage = image;
    sent->editEntry = entry;
    sent->editRating = rating;
}
void exportAlbum(objc_class*, SEL, id entry, int type) {
    ++sent->exportCalls;
    sent->exportEntry = entry;
    sent->exportType = type;
}
int prepare(objc_class*, SEL, int style, id, id) {
    sent->prepared.push_back(style);
    return sent->prepareAnswer;
}
void play(objc_class*, SEL, int style, id, id) { sent->played.push_back(style); }

// Puts a recording stand-in in place of a handler's class method: a class
// of that name where the library has none, a replacement of the library's
// own method where it has one.
void recordClassMethod(const char* className, SEL selector, IMP recorder, const char* types) {
    if (Class existing = objc_getClass(className)) {
        MSHookMessageEx(existing->isa, selector, recorder, nullptr);
        return;
    }
    Class cls = objc_allocateClassPair(NSObject::cls(), className, 0);
    objc::define_method(cls->isa, selector, recorder, types);
    objc_registerClassPair(cls);
}

// The recording stand-ins: edit and export always record; the queue
// handler records only where the library has none of its own (the queue
// tests drive the real one).
struct Recording {
    bool queue = false;
};

Recording registerRecording() {
    static Recording ours = [] {
        Recording r;
        recordClassMethod("EditHandler", "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                          objc::make_imp<openEdit>(), "v@:@@q");
        recordClassMethod("FileHandler", "exportAlbum:andType:"_sel, objc::make_imp<exportAlbum>(), "v@:@i");
        if (!objc_getClass("QueueHandler")) {
            Class queue = objc_allocateClassPair(NSObject::cls(), "QueueHandler", 0);
            objc::define_method(queue->isa, "preparePlayNowOrNext:itemEntry:tableView:"_sel, objc::make_imp<prepare>(),
                                "i@:i@@");
            objc::define_method(queue->isa, "playNowOrNext:itemEntry:tableView:"_sel, objc::make_imp<play>(), "v@:i@@");
            objc_registerClassPair(queue);
            r.queue = true;
        }
        return r;
    }();
    return ours;
}

// True when the recording queue handler is in place.
bool registerRecordingHandlers() { return registerRecording().queue; }

// A data source that answers one entity for every index path, and a
// collection with settable items.
struct FakeSource : NSObject {
    OBJC_CLASS(FakeSource)
    Strong<NSObject> entity;
};
struct FakeCollection : NSObject {
    OBJC_CLASS(FakeCollection)
    Strong<NSObject> items;
};
id fakeEntity(FakeSource* self, SEL, id) { return self->entity.get(); }
id fakeItems(FakeCollection* self, SEL) { return self->items.get(); }
id fakeRepresentative(FakeCollection*, SEL) { return nil; }

// A list screen of the given class whose rows come from `source`.
FakeSource* screenSource = nullptr;
id screenDataSource(id, SEL) { return screenSource; }

Class screenWithFakeSource(Class screen) {
    std::string name = std::string("Fake") + class_getName(screen);
    if (Class existing = objc_getClass(name.c_str())) return existing;
    Class cls = objc_allocateClassPair(screen, name.c_str(), 0);
    objc::define_method(cls, "dataSource"_sel, imp_implementationWithFunction(&screenDataSource), "@@:");
    objc_registerClassPair(cls);
    return cls;
}

void registerFakes() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<FakeSource>("FakeSource", NSObject::cls()).method<fakeEntity>("entityAtIndexPath:");
        objc::ClassDef<FakeCollection>("FakeCollection", NSObject::cls())
            .method<fakeItems>("items")
            .method<fakeRepresentative>("representativeItem");
    });
}

class Swipe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::writeLibrary());
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy(kBundleSource, root.host(kBundle));
        platform::setDeviceIdiom(UIUserInterfaceIdiomPhone);
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        registerFakes();
        CantrelInitialize();
        test::postSettingsChanged();  // every option at its default (a test before may have changed them)
        app.launch();
    }

    void open(const std::string& screen, std::optional<unsigned long long> id = std::nullopt) {
        std::string error;
        ASSERT_TRUE(app.openScreen(screen, id, &error)) << error;
    }

    UITableView* table() const {
        return static_cast<UITableView*>(objc_msgSend<id()>(app.currentScreen(), "tableView"_sel));
    }

    // The table's index path of the row showing the entity with that
    // persistent id; section -1 when there is none.
    NSIndexPath* rowOf(unsigned long long pid) {
        id screen = app.currentScreen();
        id source = objc_msgSend<id()>(screen, "dataSource"_sel);
        UITableView* tv = table();
        for (NSInteger s = 0, n = objc_msgSend<NSInteger()>(tv, "numberOfSections"_sel); s < n; ++s)
            for (NSInteger r = 0, m = objc_msgSend<NSInteger(NSInteger)>(tv, "numberOfRowsInSection:"_sel, s); r < m;
                 ++r) {
                id dsPath = objc_msgSend<id(id)>(screen, "dataSourceIndexPathForIndexPath:"_sel, path(r, s));
                if (dsPath == nil) continue;
                id entity = objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, dsPath);
                if (objc_msgSend<unsigned long long()>(entity, "persistentID"_sel) == pid) return path(r, s);
            }
        return path(0, -1);
    }

    Buttons swipe(NSIndexPath* row) { return platform::swipeRow(table(), row); }
    Buttons swipeEntity(unsigned long long pid) {
        NSIndexPath* row = rowOf(pid);
        EXPECT_GE(objc_msgSend<NSInteger()>(row, "section"_sel), 0) << "no row shows " << pid;
        return swipe(row);
    }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
};

const std::vector<NSInteger> kAllTags = {1, 2, 6, 4, 3, 5};

TEST_F(Swipe, SongRowGetsSixButtonsInOrderWithTheirTitlesAndPictures) {
    open("songs");
    Buttons buttons = swipeEntity(1003);
    EXPECT_EQ(tags(buttons), kAllTags);
    EXPECT_EQ(titles(buttons), (std::vector<std::string>{kDeletePhone, kEditPhone, kPicturePhone, kPicturePhone,
                                                         kPicturePhone, kPicturePhone}));
    // The list's rows are 44 points high: the short pictures, read from
    // their 2x files on the 2x screen.
    EXPECT_EQ(pictures(buttons), (std::vector<std::string>{"", "", "play_last_short@2x.png", "play_next_short@2x.png",
                                                           "play_now_short@2x.png", "export_short@2x.png"}));
    // The system's delete keeps its own style; the queue buttons have style
    // 2, edit and export 1; every library button carries a normal row action
    // titled as the button.
    EXPECT_EQ(objc_msgSend<NSInteger()>(buttons[0].get(), "style"_sel), 0);
    const std::vector<NSInteger> styles = {0, 1, 2, 2, 2, 1};
    for (size_t i = 1; i < buttons.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(objc_msgSend<NSInteger()>(buttons[i].get(), "style"_sel), styles[i]);
        id action = objc_msgSend<id()>(buttons[i].get(), "action"_sel);
        ASSERT_NE(action, nil);
        EXPECT_EQ(objc_msgSend<NSInteger()>(action, "style"_sel), UITableViewRowActionStyleNormal);
        EXPECT_EQ(to_string(static_cast<NSString*>(objc_msgSend<id()>(action, "title"_sel))), titles(buttons)[i]);
    }
    // The result does not change under its caller.
    id result = objc_msgSend<id(id)>(table(), "_swipeActionButtonsForRowAtIndexPath:"_sel, rowOf(1003));
    EXPECT_FALSE(objc_msgSend<BOOL(Class)>(result, "isKindOfClass:"_sel, NSMutableArray::cls()));
}

TEST_F(Swipe, TitlesAndPicturesFollowTheRowHeightAndTheIdiom) {
    platform::setMainScreen(CGSizeMake(320, 480), 1);  // the names as composed, without "@2x"
    open("songs");
    NSIndexPath* row = rowOf(1003);
    struct Case {
        std::optional<NSInteger> idiom;
        double height;
        const char* playNow;
    };
    const Case cases[] = {
        {UIUserInterfaceIdiomPhone, 44, "play_now_short.png"}, {UIUserInterfaceIdiomPhone, 47.9, "play_now_short.png"},
        {UIUserInterfaceIdiomPhone, 48, "play_now.png"},       {UIUserInterfaceIdiomPhone, 65, "play_now.png"},
        {UIUserInterfaceIdiomPhone, 65.1, "play_now_long.png"}, {UIUserInterfaceIdiomPhone, 70, "play_now_long.png"},
        {UIUserInterfaceIdiomPad, 44, "play_now_short_ipad.png"}, {UIUserInterfaceIdiomPad, 48, "play_now_ipad.png"},
        {UIUserInterfaceIdiomPad, 65, "play_now_ipad.png"},     {UIUserInterfaceIdiomPad, 70, "play_now_long_ipad.png"},
        {std::nullopt, 70, "play_now_long.png"},  // a device that cannot tell its idiom: a phone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "idiom " << c.idiom.value_or(-1) << ", height " << c.height);
        platform::setDeviceIdiom(c.idiom);
        objc_msgSend<void(double, id)>(table(), "setHeight:forRowAtIndexPath:"_sel, c.height, row);
        Buttons buttons = swipe(row);
        ASSERT_EQ(tags(buttons), kAllTags);
        EXPECT_EQ(pictures(buttons)[4], c.playNow);
        bool pad = c.idiom == UIUserInterfaceIdiomPad;
        const std::string& picture = pad ? kPicturePad : kPicturePhone;
        EXPECT_EQ(titles(buttons), (std::vector<std::string>{pad ? kDeletePad : kDeletePhone,
                                                             pad ? kEditPad : kEditPhone, picture, picture, picture,
                                                             picture}));
        // Every picture of the swipe was found in the bundle.
        std::vector<std::string> files = pictures(buttons);
        for (size_t i = 2; i < files.size(); ++i) EXPECT_NE(files[i], "") << i;
    }
}

// The signs of a button picture, left to right along its middle row: "T" for
// a triangle (tall on its left, pointed on its right), "B" for a bar.
std::string signs(UIImage* picture) {
    auto painted = [&](int x, int y) { return (picture->pixel(x, y) >> 24) > 0x80; };
    auto columnHeight = [&](int x) {
        int n = 0;
        for (int y = 0; y < picture->pixelHeight(); ++y) n += painted(x, y);
        return n;
    };
    std::string out;
    int y = picture->pixelHeight() / 2;
    for (int x = 0; x < picture->pixelWidth(); ++x) {
        if (!painted(x, y)) continue;
        int end = x;
        while (end + 1 < picture->pixelWidth() && painted(end + 1, y)) ++end;
        int left = columnHeight(std::min(x + 1, end)), right = columnHeight(std::max(end - 1, x));
        out += left > 2 * right ? "T" : "B";
        x = end;
    }
    return out;
}

TEST_F(Swipe, QueuePicturesShowTheirBadgesSignsAtTheScreensScale) {
    open("songs");
    NSIndexPath* row = rowOf(1003);
    // Each queue button shows the sign of its badge's icon: play now one
    // triangle, play next two triangles, play last a triangle and a bar.
    const std::pair<NSInteger, const char*> expected[] = {{3, "T"}, {4, "TT"}, {6, "TB"}};
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        platform::setMainScreen(CGSizeMake(320, 480), scale);
        Buttons buttons = swipe(row);
        for (auto [tag, sign] : expected) {
            SCOPED_TRACE(tag);
            auto* picture = static_cast<UIImage*>(
                objc_msgSend<id(NSUInteger)>(withTag(buttons, tag), "backgroundImageForState:"_sel, UIControlStateNormal));
            ASSERT_NE(picture, nullptr);
            // A button of 74 x 44 points, in pixels of the screen.
            EXPECT_EQ(objc_msgSend<double()>(picture, "scale"_sel), scale);
            EXPECT_EQ(objc_msgSend<CGSize()>(picture, "size"_sel).width, 74);
            EXPECT_EQ(objc_msgSend<CGSize()>(picture, "size"_sel).height, 44);
            EXPECT_EQ(picture->pixelWidth(), 74 * scale);
            EXPECT_EQ(signs(picture), sign);
        }
    }
}

TEST_F(Swipe, EachListScreenGetsItsButtonsAndOnlySomeGetExport) {
    struct Case {
        const char* screen;
        std::optional<unsigned long long> id;
        unsigned long long row;
        std::vector<NSInteger> tags;
    };
    const std::vector<NSInteger> noExport = {1, 2, 6, 4, 3};
    const Case cases[] = {
        {"artists", std::nullopt, 102, kAllTags},  {"albums", std::nullopt, 202, kAllTags},
        {"album", 201, 1002, kAllTags},            {"composers", std::nullopt, 401, noExport},
        {"genres", std::nullopt, 2, noExport},      {"playlists", std::nullopt, 501, kAllTags},
        {"playlist", 501, 1006, kAllTags},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        open(c.screen, c.id);
        EXPECT_EQ(tags(swipeEntity(c.row)), c.tags);
    }
}

TEST_F(Swipe, FlipsideAlbumRowsGetExportUnlessHidden) {
    app.showFlipside();  // the playing song's album seen from the back (view index 10)
    auto* tv = static_cast<UITableView*>(objc_msgSend<id()>(app.flipsideViewController(), "tableView"_sel));
    ASSERT_NE(tv, nullptr);
    EXPECT_EQ(tags(platform::swipeRow(tv, path(1, 0))), kAllTags);
    hide_export_button = YES;
    EXPECT_EQ(tags(platform::swipeRow(tv, path(1, 0))), (std::vector<NSInteger>{1, 2, 6, 4, 3}));
}

TEST_F(Swipe, CollectionsGetExportOnlyWhenTheyHaveItems) {
    UITableView* tv = static_cast<UITableView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UITableView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                 CGRectMake(0, 0, 320, 480)));
    Strong<UITableView> keep = Strong<UITableView>::adopt(tv);
    Strong<FakeSource> source = Strong<FakeSource>::adopt(static_cast<FakeSource*>(
        objc_msgSend<id()>(objc_msgSend<id()>(FakeSource::cls(), "alloc"_sel), "init"_sel)));
    screenSource = source.get();
    Strong<FakeCollection> collection = Strong<FakeCollection>::adopt(static_cast<FakeCollection*>(
        objc_msgSend<id()>(objc_msgSend<id()>(FakeCollection::cls(), "alloc"_sel), "init"_sel)));
    id oneItem = objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel, collection.get());
    id noItems = objc_msgSend<id()>(NSArray::cls(), "array"_sel);

    for (Class screen : {MusicArtistsViewController::cls(), MusicAlbumsViewController::cls(),
                         MusicPlaylistsListViewController::cls()}) {
        SCOPED_TRACE(class_getName(screen));
        Strong<NSObject> controller = Strong<NSObject>::adopt(static_cast<NSObject*>(
            objc_msgSend<id()>(objc_msgSend<id()>(screenWithFakeSource(screen), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(tv, "setDelegate:"_sel, controller.get());

        source->entity = collection.get();
        collection->items = static_cast<NSObject*>(oneItem);
        EXPECT_EQ(tags(platform::swipeRow(tv, path(5, 0))), kAllTags);
        collection->items = static_cast<NSObject*>(noItems);
        EXPECT_EQ(tags(platform::swipeRow(tv, path(5, 0))), (std::vector<NSInteger>{1, 2, 6, 4, 3}));
        collection->items = nil;
        EXPECT_EQ(tags(platform::swipeRow(tv, path(5, 0))), (std::vector<NSInteger>{1, 2, 6, 4, 3}));
        source->entity = nil;  // no collection at all
        EXPECT_EQ(tags(platform::swipeRow(tv, path(5, 0))), (std::vector<NSInteger>{1, 2, 6, 4, 3}));
        objc_msgSend<void(id)>(tv, "setDelegate:"_sel, nil);
    }
    screenSource = nullptr;
}

TEST_F(Swipe, TheHideOptionsActAtTheNextSwipe) {
    open("songs");
    NSIndexPath* row = rowOf(1003);
    hide_edit_button = YES;
    hide_export_button = YES;
    EXPECT_EQ(tags(swipe(row)), (std::vector<NSInteger>{1, 6, 4, 3}));
    hide_export_button = NO;
    EXPECT_EQ(tags(swipe(row)), (std::vector<NSInteger>{1, 6, 4, 3, 5}));
    hide_edit_button = NO;
    EXPECT_EQ(tags(swipe(row)), kAllTags);

    // A file that asks to hide the queue buttons: they show all the same.
    ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Library/Preferences"));
    id dict = objc_msgSend<id()>(NSMutableDictionary::cls(), "dictionary"_sel);
    objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel,
                               objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, YES),
                               "hide_queue_buttons"_ns);
    objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel,
                               objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, YES),
                               "hide_edit_button"_ns);
    ASSERT_TRUE(platform::writePropertyList(dict, kPrefsPath, true));
    test::postSettingsChanged();
    EXPECT_EQ(tags(swipe(row)), (std::vector<NSInteger>{1, 6, 4, 3, 5}));
}

TEST_F(Swipe, CompilationsAndOtherTablesKeepTheSystemsButtons) {
    auto expectSystemOnly = [](const Buttons& buttons) {
        ASSERT_EQ(buttons.size(), 1u);
        EXPECT_EQ(objc_msgSend<NSInteger()>(buttons[0].get(), "tag"_sel), 0);
        EXPECT_EQ(titles(buttons)[0], "Delete");
        EXPECT_EQ(objc_msgSend<id()>(buttons[0].get(), "backgroundColor"_sel), nil);
    };
    open("compilations");
    expectSystemOnly(swipeEntity(205));

    // A table that is no list screen: no delegate, then a plain object.
    Strong<UITableView> tv = Strong<UITableView>::adopt(static_cast<UITableView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UITableView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                 CGRectMake(0, 0, 320, 480))));
    expectSystemOnly(platform::swipeRow(tv, path(0, 0)));
    Strong<NSObject> other = Strong<NSObject>::adopt(static_cast<NSObject*>(
        objc_msgSend<id()>(objc_msgSend<id()>(NSObject::cls(), "alloc"_sel), "init"_sel)));
    objc_msgSend<void(id)>(tv.get(), "setDelegate:"_sel, other.get());
    expectSystemOnly(platform::swipeRow(tv, path(0, 0)));
}

TEST_F(Swipe, WithoutSystemButtonsTheLibrarysStillCome) {
    open("songs");
    platform::setSystemSwipeButtonsEnabled(false);
    Buttons buttons = swipeEntity(1003);
    platform::setSystemSwipeButtonsEnabled(true);
    EXPECT_EQ(tags(buttons), (std::vector<NSInteger>{2, 6, 4, 3, 5}));
    EXPECT_EQ(titles(buttons)[0], kEditPhone);
}

TEST_F(Swipe, LayoutPaintsEachButtonInTheColourOfItsTag) {
    open("songs");
    Buttons buttons = swipeEntity(1003);
    struct Rgb {
        NSInteger tag;
        int r, g, b;
    };
    const Rgb expected[] = {{1, 254, 59, 47}, {2, 199, 199, 204}, {3, 255, 169, 0},
                            {4, 255, 149, 0}, {5, 255, 196, 55},  {6, 255, 124, 0}};
    for (const Rgb& e : expected) {
        SCOPED_TRACE(e.tag);
        _UITableViewCellActionButton* button = withTag(buttons, e.tag);
        ASSERT_NE(button, nullptr);
        auto* colour = static_cast<UIColor*>(objc_msgSend<id()>(button, "backgroundColor"_sel));
        ASSERT_NE(colour, nullptr);
        EXPECT_NEAR(colour->_red, e.r / 255.0, 1e-9);
        EXPECT_NEAR(colour->_green, e.g / 255.0, 1e-9);
        EXPECT_NEAR(colour->_blue, e.b / 255.0, 1e-9);
        EXPECT_EQ(colour->_alpha, 1.0);
        // A later colour is painted over at the next layout.
        objc_msgSend<void(id)>(button, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "blueColor"_sel));
        objc_msgSend<void()>(button, "layoutSubviews"_sel);
        EXPECT_NEAR(static_cast<UIColor*>(objc_msgSend<id()>(button, "backgroundColor"_sel))->_blue, e.b / 255.0, 1e-9);
    }

    // Any other tag keeps its colour.
    for (NSInteger tag : {0, 7}) {
        id other = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(), "actionButtonWithStyle:"_sel, 1);
        objc_msgSend<void(NSInteger)>(other, "setTag:"_sel, tag);
        id blue = objc_msgSend<id()>(UIColor::cls(), "blueColor"_sel);
        objc_msgSend<void(id)>(other, "setBackgroundColor:"_sel, blue);
        objc_msgSend<void()>(other, "layoutSubviews"_sel);
        EXPECT_EQ(objc_msgSend<id()>(other, "backgroundColor"_sel), blue) << tag;
    }
}

// The badges shown over a controller's view.
std::vector<MessageView*> badgesOn(id controller) {
    std::vector<MessageView*> out;
    id subviews = objc_msgSend<id()>(objc_msgSend<id()>(controller, "view"_sel), "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
        id view = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_msgSend<BOOL(Class)>(view, "isKindOfClass:"_sel, MessageView::cls()))
            out.push_back(static_cast<MessageView*>(view));
    }
    return out;
}

std::string badgeText(MessageView* badge) {
    id label = objc_msgSend<id(NSInteger)>(badge, "viewWithTag:"_sel, 1);
    return to_string(static_cast<NSString*>(objc_msgSend<id()>(label, "text"_sel)));
}

NSInteger badgeIcon(MessageView* badge) {
    id subviews = objc_msgSend<id()>(badge, "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
        id view = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_msgSend<BOOL(Class)>(view, "isKindOfClass:"_sel, IconView::cls()))
            return objc_msgSend<NSInteger()>(view, "tag"_sel);
    }
    return -1;
}

// A queue button's badge stays fully shown for half a second, fades for
// 0.3 s and is gone: probed just before and after each moment.
void expectBadgeTimeline(id controller) {
    auto only = [&]() -> MessageView* {
        std::vector<MessageView*> badges = badgesOn(controller);
        return badges.size() == 1 ? badges[0] : nullptr;
    };
    platform::RunLoop::main().runFor(0.49);
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(objc_msgSend<double()>(only(), "alpha"_sel), 1.0);
    platform::RunLoop::main().runFor(0.02);  // 0.51 s: fading
    ASSERT_NE(only(), nullptr);
    EXPECT_EQ(objc_msgSend<double()>(only(), "alpha"_sel), 0.0);
    platform::RunLoop::main().runFor(0.27);  // 0.78 s
    EXPECT_NE(only(), nullptr);
    platform::RunLoop::main().runFor(0.04);  // 0.82 s
    EXPECT_TRUE(badgesOn(controller).empty());
}

TEST_F(Swipe, PlayNextOnAnAlbumsTracksClosesTheSwipeAndShowsItsBadgeOnTheParent) {
    bool recording = registerRecordingHandlers();
    Sent record;
    sent = &record;
    platform::Clock::setVirtual(true);
    open("album", 201);
    MusicTableViewController* detail = app.currentScreen();
    id parent = objc_msgSend<id()>(detail, "parentViewController"_sel);
    ASSERT_NE(parent, nil);
    {
        AutoreleasePool inner;
        Buttons buttons = swipeEntity(1002);
        EXPECT_TRUE(objc_msgSend<BOOL()>(table(), "isEditing"_sel));
        platform::tapSwipeButton(withTag(buttons, 4));
    }
    EXPECT_FALSE(objc_msgSend<BOOL()>(table(), "isEditing"_sel));
    std::vector<MessageView*> badges = badgesOn(parent);
    ASSERT_EQ(badges.size(), 1u);
    EXPECT_EQ(badgeText(badges[0]), "Play Next!");
    EXPECT_EQ(badgeIcon(badges[0]), 36);
    EXPECT_TRUE(badgesOn(detail).empty());
    if (recording) {
        EXPECT_EQ(record.prepared, std::vector<int>{PLAY_NEXT});
        EXPECT_EQ(record.played, std::vector<int>{PLAY_NEXT});  // the first stage did not finish it
    }
    expectBadgeTimeline(parent);

    // The other queue buttons on the songs list: their own badge on the list
    // itself; a first stage that finishes the request ends it there.
    open("songs");
    record.prepared.clear();
    record.played.clear();
    record.prepareAnswer = -2;
    struct Expected {
        NSInteger button;
        const char* text;
        NSInteger icon;
    };
    for (const Expected& e : {Expected{3, "Play Now!", 35}, Expected{6, "Play Last!", 37}}) {
        SCOPED_TRACE(e.text);
        Buttons buttons = swipeEntity(1003);
        platform::tapSwipeButton(withTag(buttons, e.button));
        badges = badgesOn(app.currentScreen());
        ASSERT_EQ(badges.size(), 1u);
        EXPECT_EQ(badgeText(badges[0]), e.text);
        EXPECT_EQ(badgeIcon(badges[0]), e.icon);
        expectBadgeTimeline(app.currentScreen());
    }
    if (recording) {
        EXPECT_EQ(record.prepared, (std::vector<int>{PLAY_NOW, PLAY_LAST}));
        EXPECT_TRUE(record.played.empty());
    }
    sent = nullptr;
}

TEST_F(Swipe, AQueueButtonOfAReplacedScreenStillQueuesWithoutTheScreen) {
    bool recording = registerRecordingHandlers();
    Sent record;
    sent = &record;
    Weak<MusicTableViewController> songs;
    Buttons buttons;
    {
        AutoreleasePool inner;
        open("songs");
        songs = app.currentScreen();
        buttons = swipeEntity(1003);
        open("albums");
    }
    // The row actions keep the record and the table, not the screen: it is
    // gone, and the tap neither reaches it nor keeps it.
    EXPECT_FALSE(songs.lock());
    platform::tapSwipeButton(withTag(buttons, 4));
    if (recording) {
        EXPECT_EQ(record.prepared, std::vector<int>{PLAY_NEXT});
        EXPECT_EQ(record.played, std::vector<int>{PLAY_NEXT});
    }
    EXPECT_TRUE(badgesOn(app.currentScreen()).empty());
    sent = nullptr;
}

TEST_F(Swipe, EditExportAndDeleteReachTheirHandlers) {
    registerRecording();
    Sent record;
    sent = &record;
    open("songs");
    NSIndexPath* row = rowOf(1003);
    Buttons buttons = swipe(row);
    // The row actions keep the record alive after the swipe's pool is gone.
    platform::tapSwipeButton(withTag(buttons, 2));
    ASSERT_EQ(record.editCalls, 1);
    EXPECT_EQ(record.editImage, nil);
    EXPECT_EQ(record.editRating, -1);
    ASSERT_NE(record.editEntry, nil);
    EXPECT_EQ(objc_msgSend<long()>(record.editEntry, "viewIndex"_sel), 0);
    EXPECT_EQ(objc_msgSend<unsigned long long()>(objc_msgSend<id()>(record.editEntry, "mediaItem"_sel),
                                                 "persistentID"_sel),
              1003u);

    platform::tapSwipeButton(withTag(buttons, 5));
    ASSERT_EQ(record.exportCalls, 1);
    EXPECT_EQ(record.exportEntry, record.editEntry);
    EXPECT_EQ(record.exportType, 0);
    // Neither closes the swipe nor shows a badge.
    EXPECT_TRUE(objc_msgSend<BOOL()>(table(), "isEditing"_sel));
    EXPECT_TRUE(badgesOn(app.currentScreen()).empty());

    // The system's delete, restyled, still deletes through the list (not
    // asked first: the question has its own tests).
    ask_before_delete = NO;
    NSInteger before = app.currentScreen()->_deleteCommits;
    platform::tapSwipeButton(withTag(buttons, 1));
    EXPECT_EQ(app.currentScreen()->_deleteCommits, before + 1);
    sent = nullptr;
}

// The resource bundle holds every picture a swipe can ask for, at scales 1
// and 2, and each is what render_swipe_pictures draws.
TEST(SwipePictures, EveryNameSizeIdiomAndScaleIsInTheBundleAsRendered) {
    test::TempRoot root;
    AutoreleasePool pool;
    platform::setMainScreen(CGSizeMake(320, 480), 1);  // each file read as named
    std::filesystem::create_directories(root.host("rendered"));
    std::string cmd = std::string(CANTREL_BIN_DIR) + "/render_swipe_pictures '" + root.host("rendered") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::filesystem::create_directories(root.host("bundle"));
    std::filesystem::copy(kBundleSource, root.host("bundle"));
    int checked = 0;
    for (const char* name : {"play_now", "play_next", "play_last", "export"})
        for (const char* size : {"", "_long", "_short"})
            for (const char* idiom : {"", "_ipad"})
                for (int scale : {1, 2}) {
                    std::string file = std::string(name) + size + idiom + (scale == 2 ? "@2x" : "") + ".png";
                    SCOPED_TRACE(file);
                    auto load = [](const std::string& p) {
                        return static_cast<UIImage*>(
                            objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, NSString::make(p)));
                    };
                    UIImage* committed = load("bundle/" + file);
                    UIImage* rendered = load("rendered/" + file);
                    ASSERT_NE(committed, nullptr);
                    ASSERT_NE(rendered, nullptr);
                    ASSERT_EQ(committed->pixelWidth(), rendered->pixelWidth());
                    ASSERT_EQ(committed->pixelHeight(), rendered->pixelHeight());
                    EXPECT_EQ(committed->pixelWidth(), (idiom[0] ? 110 : 74) * scale);
                    int differing = 0, painted = 0;
                    for (int y = 0; y < committed->pixelHeight(); ++y)
                        for (int x = 0; x < committed->pixelWidth(); ++x) {
                            differing += committed->pixel(x, y) != rendered->pixel(x, y);
                            painted += committed->pixel(x, y) != 0;
                        }
                    EXPECT_EQ(differing, 0);
                    EXPECT_GT(painted, 0);
                    ++checked;
                }
    EXPECT_EQ(checked, 48);
}

}  // namespace
