// The web image search against tools/searchserver on loopback: the three
// pages in order, the query as the panel encoded it, pages that fail or
// carry the wrong things, a server that never answers, the grid's pictures
// (and those it must refuse), and a search from the edit sheet to a pick.
#include "Cantrel.h"
#include "Classes.h"
#include "CustomDataSource.h"
#include "EditHandler.h"
#include "EditSheetSupport.h"
#include "ItemEntry.h"
#include "Libs/MosaicLayout/Entities/MosaicData.h"
#include "Libs/MosaicLayout/Views/MosaicCell.h"
#include "MediaLibraryFixture.h"
#include "MessageView.h"
#include "PanelActions.h"
#include "ParentSongAlbumArtistView.h"
#include "SearchQueryViewController.h"
#include "SearchServerSupport.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSURL.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>
#include <platform/Log.h>
#include <platform/Network.h>
#include <platform/Random.h>
#include <platform/RunLoop.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using test::SearchServer;

// No request of these tests may leave the machine.
const bool loopbackOnly = [] {
    platform::net::setLoopbackOnly(true);
    return true;
}();

std::string str(id s) { return objc_isKindOfClass(s, NSString::cls()) ? to_string(static_cast<NSString*>(s)) : "(none)"; }

// The search screen's delegate: keeps the picture picked.
struct PickRecorder : NSObject {
    OBJC_CLASS(PickRecorder)
    Strong<NSObject> picked;
    static Strong<PickRecorder> make() {
        static bool registered = [] {
            objc::ClassDef<PickRecorder>("ImageSearchTestPickRecorder", NSObject::cls())
                .method<pick>("internetImagePickerController:didFinishPickingImage:", "v@:@@");
            return true;
        }();
        (void)registered;
        return Strong<PickRecorder>::adopt(static_cast<PickRecorder*>(
            objc_msgSend<id()>(objc_msgSend<id()>(cls(), "alloc"_sel), "init"_sel)));
    }
    static void pick(PickRecorder* self, SEL, id, id image) { self->picked = static_cast<NSObject*>(image); }
};

class ImageSearch : public ::testing::Test {
protected:
    void SetUp() override {
        std::string bundle = root.host("Library/Application Support/Cantrel/Cantrel.bundle");
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
        platform::resetMainScreen();
        Cantrel_registerClasses();
    }
    // The results of a search at the server, as the screen gets them.
    std::vector<MosaicData*> search(const SearchServer& server, const std::string& query = "cat") {
        setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", server.base().c_str(), 1);
        source = Strong<CustomDataSource>::adopt(static_cast<CustomDataSource*>(
            objc_msgSend<id()>(objc_msgSend<id()>(CustomDataSource::cls(), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(source.get(), "setSearchString:"_sel, NSString::make(query));
        objc_msgSend<void()>(source.get(), "loadFromDisk"_sel);
        std::vector<MosaicData*> out;
        id list = objc_msgSend<id()>(source.get(), "elements"_sel);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(list, "count"_sel); ++i)
            out.push_back(static_cast<MosaicData*>(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, i)));
        return out;
    }
    // The search screen with the results of "cat" at the server, not yet
    // laid out.
    static Strong<NSObject> searchScreen(const SearchServer& server, id delegate = nil) {
        setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", server.base().c_str(), 1);
        id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
        Strong<NSObject> screen = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id(id, id)>(
            objc_msgSend<id()>(SearchQueryViewController::cls(), "alloc"_sel), "initWithNibName:bundle:"_sel,
            "SearchQueryViewController"_ns, bundle)));
        if (delegate != nil) objc_msgSend<void(id)>(screen.get(), "setDelegate:"_sel, delegate);
        objc_msgSend<void(id)>(screen.get(), "setSearchString:"_sel, "cat"_ns);
        objc_msgSend<void()>(screen.get(), "buildDatasource"_sel);
        return screen;
    }
    static std::vector<std::string> urls(const std::vector<MosaicData*>& elements) {
        std::vector<std::string> out;
        for (MosaicData* e : elements) out.push_back(str(objc_msgSend<id()>(e, "imageFilename"_sel)));
        return out;
    }
    // "/img/N.jpg" at the server for N in [from, to).
    static std::vector<std::string> pictures(const SearchServer& server, int from, int to) {
        std::vector<std::string> out;
        for (int n = from; n < to; ++n) out.push_back(server.base() + "/img/" + std::to_string(n) + ".jpg");
        return out;
    }
    test::TempRoot root;
    AutoreleasePool pool;
    Strong<CustomDataSource> source;
};

// Three full pages: 24 results in page order, captioned with their pixel
// size; the query reaches the server exactly as the panel encoded it.
TEST_F(ImageSearch, ThreePagesInOrderAndTheQueryAsSent) {
    SearchServer server({"--picture-size", "64x48"});
    std::string query = cantrel::panel::searchQuery("'Été à Tōkyō' 'Live - Vol+1 & 2' album artwork");
    auto elements = search(server, query);
    ASSERT_EQ(elements.size(), 24u);
    EXPECT_EQ(urls(elements), pictures(server, 0, 24));
    for (MosaicData* e : elements) {
        EXPECT_EQ(str(objc_msgSend<id()>(e, "title"_sel)), "64x48");
        EXPECT_TRUE(e->firstTimeShown);
        EXPECT_EQ(e->layoutType, 0);
        EXPECT_EQ(e->relativeHeight, 0.0f);
    }
    std::string path = "/ajax/services/search/images?v=1.0&rsz=8&start=";
    std::string tail = "&as_filetype=jpg&q=" + query;
    EXPECT_EQ(server.requests(), (std::vector<std::string>{path + "0" + tail, path + "8" + tail, path + "16" + tail}));
    EXPECT_EQ(query, "'%C3%89t%C3%A9%20%C3%A0%20T%C5%8Dky%C5%8D'%20'Live%20Vol1%202'%20album%20artwork");
}

// A page that fails or is not the expected shape adds nothing; the others
// still count, in order. Entries that are not objects are skipped; a "url"
// that is not a string counts as none.
TEST_F(ImageSearch, PagesThatFailOrCarryTheWrongThings) {
    for (const char* mode : {"status500", "garbage", "empty-object", "top-array", "responsedata-array",
                             "results-object", "big-page"}) {
        SearchServer server({"--fail", mode, "--fail-start", "8"});
        auto elements = search(server);
        std::vector<std::string> want = pictures(server, 0, 8), last = pictures(server, 16, 24);
        want.insert(want.end(), last.begin(), last.end());
        EXPECT_EQ(urls(elements), want) << mode;
    }
    {
        SearchServer server({"--fail", "garbage"});
        EXPECT_TRUE(search(server).empty());
    }
    {
        SearchServer server({"--fail", "wrong-types", "--picture-size", "64x48"});
        auto elements = search(server);  // 1, "two", null, [3], true skipped on each page
        EXPECT_EQ(urls(elements), pictures(server, 0, 24));
    }
    {
        SearchServer server({"--fail", "url-number", "--picture-size", "64x48"});
        auto elements = search(server);
        ASSERT_EQ(elements.size(), 24u);
        for (MosaicData* e : elements) {
            EXPECT_EQ(objc_msgSend<id()>(e, "imageFilename"_sel), nil);
            EXPECT_EQ(str(objc_msgSend<id()>(e, "title"_sel)), "64x48");
        }
    }
}

// The grid requests only http(s) pictures: file: and relative names are
// never looked up. Pictures over the caps stay away; the others arrive.
TEST_F(ImageSearch, TheGridsPictures) {
    auto loaded = [&](std::vector<std::string> args) {
        SearchServer server(args);
        Strong<NSObject> screen = searchScreen(server);
        objc_msgSend<void()>(objc_msgSend<id()>(screen.get(), "view"_sel), "layoutIfNeeded"_sel);
        EXPECT_TRUE(platform::waitForNetworkIdle(20));
        id cells = objc_msgSend<id()>(objc_msgSend<id()>(screen.get(), "collectionView"_sel), "visibleCells"_sel);
        size_t shown = 0, withPicture = 0;
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(cells, "count"_sel); ++i) {
            ++shown;
            withPicture += objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(cells, "objectAtIndex:"_sel, i), "image"_sel) != nil;
        }
        EXPECT_GT(shown, 0u);
        std::vector<std::string> asked;
        for (const std::string& r : server.requests())
            if (r.rfind("/ajax/", 0) != 0) asked.push_back(r);
        return std::make_pair(withPicture == shown ? std::string("all") : withPicture == 0 ? "none" : "some", asked);
    };
    auto [all, askedAll] = loaded({});
    EXPECT_EQ(all, "all");
    EXPECT_FALSE(askedAll.empty());
    for (const char* mode : {"url-file", "url-relative"}) {
        auto [none, asked] = loaded({"--fail", mode});
        EXPECT_EQ(none, "none") << mode;
        EXPECT_TRUE(asked.empty()) << mode;
    }
    for (const char* mode : {"big-picture", "huge-header", "picture-500"}) {
        auto [none, asked] = loaded({"--fail", mode});
        EXPECT_EQ(none, "none") << mode;
        EXPECT_FALSE(asked.empty()) << mode;
    }
}

// A server that takes the connection and never answers: each page gives
// up at its time-out and the grid comes up empty.
TEST_F(ImageSearch, AServerThatNeverAnswers) {
    platform::net::setTimeouts(0.2, 0.4);
    SearchServer server({"--fail", "hang"});
    EXPECT_TRUE(search(server).empty());
    EXPECT_EQ(server.requests().size(), 3u);
    platform::net::resetTimeouts();
}

// The three pages together end within one deadline whatever the service
// does: one that sends a byte a second uses it up and the pages after it
// are not asked; the grid keeps what arrived before. Each failure is logged
// with its reason.
TEST_F(ImageSearch, TheWholeSearchEndsWithinOneDeadline) {
    platform::net::setTimeouts(5, 5);  // each page alone could take 5 s
    cantrel::imagesearch::setSearchSeconds(2);
    struct Case {
        std::vector<std::string> server;
        size_t elements;
        int slowPage;
    } cases[] = {
        {{"--fail", "trickle"}, 0, 0},
        {{"--fail", "trickle", "--fail-start", "8", "--picture-size", "64x48"}, 8, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.server));
        platform::clearRecentLogLines();
        SearchServer server(c.server);
        auto t0 = std::chrono::steady_clock::now();
        auto elements = search(server);
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_LT(took, 2 + 2.5);  // a generous margin above the deadline
        EXPECT_EQ(elements.size(), c.elements);
        std::string log;
        for (const std::string& line : platform::recentLogLines()) log += line + "\n";
        EXPECT_NE(log.find("page " + std::to_string(c.slowPage) + " failed: "), std::string::npos) << log;
    }
    cantrel::imagesearch::setSearchSeconds(0);
    platform::net::resetTimeouts();
}

// Deep, endless, truncated, non-JSON and looping answers add nothing, the
// other pages still count, and the log says why the page failed.
TEST_F(ImageSearch, HostileAnswersAreLoggedWithTheirReason) {
    for (const char* mode : {"deep", "endless", "truncated", "garbage", "redirect-loop"}) {
        SCOPED_TRACE(mode);
        platform::clearRecentLogLines();
        SearchServer server({"--fail", mode, "--fail-start", "8"});
        auto elements = search(server);
        std::vector<std::string> want = pictures(server, 0, 8), last = pictures(server, 16, 24);
        want.insert(want.end(), last.begin(), last.end());
        EXPECT_EQ(urls(elements), want);
        bool logged = false;
        for (const std::string& line : platform::recentLogLines()) {
            size_t at = line.find("page 1 failed: ");
            logged = logged || (at != std::string::npos && line.size() > at + 15);
        }
        EXPECT_TRUE(logged);
    }
}

// The visible tiles hold their pictures about as large as they show them,
// whatever the format and whether the length is declared; a pick hands
// over the picture at up to 2048 pixels a side.
TEST_F(ImageSearch, LargePicturesOfEachFormatAreKeptAtTheirTileSize) {
    // What is checked is the size a picture is kept at, not how fast it
    // comes: the deadlines are lifted so that a slow machine cannot leave a
    // tile empty (a picture that fails for any other reason still does).
    platform::net::setTimeouts(10, 300);
    cantrel::imagesearch::setSearchSeconds(300);
    struct Restore {
        ~Restore() {
            cantrel::imagesearch::setSearchSeconds(0);
            platform::net::resetTimeouts();
        }
    } restore;
    std::vector<test::LargePicture> cases = test::largePictures();
    cases.push_back({{"--picture-size", "64x48"}, 64, 48});  // never made larger
    for (const test::LargePicture& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.server));
        SearchServer server(c.server);
        AutoreleasePool inner;
        Strong<PickRecorder> delegate = PickRecorder::make();
        Strong<NSObject> screen = searchScreen(server, delegate.get());
        objc_msgSend<void()>(objc_msgSend<id()>(screen.get(), "view"_sel), "layoutIfNeeded"_sel);
        ASSERT_TRUE(platform::waitForNetworkIdle(300));
        id grid = objc_msgSend<id()>(screen.get(), "collectionView"_sel);
        id cells = objc_msgSend<id()>(grid, "visibleCells"_sel);
        ASSERT_GT(objc_msgSend<NSUInteger()>(cells, "count"_sel), 0u);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(cells, "count"_sel); ++i) {
            id cell = objc_msgSend<id(NSUInteger)>(cells, "objectAtIndex:"_sel, i);
            auto* image = static_cast<UIImage*>(objc_msgSend<id()>(cell, "image"_sel));
            ASSERT_NE(image, nullptr);
            CGRect tile = objc_msgSend<CGRect()>(cell, "bounds"_sel);
            double tilePixels = tile.size.width * 2 * tile.size.height * 2;  // a screen of scale 2
            EXPECT_LE(static_cast<double>(image->pixelWidth()) * image->pixelHeight(), 2.0 * tilePixels * 1.01);
        }
        objc_msgSend<void(id, id)>(screen.get(), "collectionView:didSelectItemAtIndexPath:"_sel, grid,
                                   objc::as_id(NSIndexPath::make(0, 0)));
        auto* picked = static_cast<UIImage*>(objc::as_id(delegate->picked.get()));
        ASSERT_NE(picked, nullptr);
        EXPECT_EQ(picked->pixelWidth(), c.pickedWidth);
        EXPECT_EQ(picked->pixelHeight(), c.pickedHeight);
    }
}

// A generous bound on what a search of 24 pictures of 5000 x 5000 takes on
// a pad, where 19 tiles show at once (the benchmark reports the figure).
TEST_F(ImageSearch, ALargeSearchStaysWithinAGenerousMemoryBound) {
    platform::setMainScreen(CGSizeMake(768, 1024), 2);
    platform::setDeviceIdiom(UIUserInterfaceIdiomPad);
    SearchServer server({"--picture-size", "5000x5000"});
    platform::seedRandom(1);  // the same tiles every time
    auto status = [](const std::string& key) {
        std::ifstream in("/proc/self/status");
        for (std::string line; std::getline(in, line);)
            if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024.0;
        return 0.0;
    };
    double before = status("VmRSS");
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";  // the high-water mark starts anew
    }
    {
        AutoreleasePool inner;
        Strong<NSObject> screen = searchScreen(server);
        id view = objc_msgSend<id()>(screen.get(), "view"_sel);
        objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, CGRectMake(0, 0, 768, 1024));
        objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
        ASSERT_TRUE(platform::waitForNetworkIdle(60));
        id cells = objc_msgSend<id()>(objc_msgSend<id()>(screen.get(), "collectionView"_sel), "visibleCells"_sel);
        EXPECT_GE(objc_msgSend<NSUInteger()>(cells, "count"_sel), 12u);  // a pad's grid shows many at once
    }
    double grew = status("VmHWM") - before;
    EXPECT_LT(grew, 500.0) << "MB";  // decoded whole, these pictures took well over 1 GB
    platform::resetMainScreen();
    platform::setDeviceIdiom(UIUserInterfaceIdiomPhone);
}

// Random changes to a good page (bytes flipped, cut, repeated, JSON values
// swapped) never crash the walk; whatever it keeps is an element with a
// string or no address.
TEST_F(ImageSearch, ChangedPagesNeverBreakTheWalk) {
    SearchServer server({"--picture-size", "64x48"});
    std::string good;
    {
        id data = objc_msgSend<id(id)>(
            NSData::cls(), "dataWithContentsOfURL:"_sel,
            objc_msgSend<id(id)>(NSURL::cls(), "URLWithString:"_sel,
                                 NSString::make(server.base() + "/ajax/services/search/images?v=1.0&rsz=8&start=0&as_filetype=jpg&q=cat")));
        ASSERT_NE(data, nil);
        good.assign(static_cast<const char*>(static_cast<NSData*>(data)->bytes()), static_cast<NSData*>(data)->length());
    }
    std::mt19937 random(1234);
    const std::vector<std::string> values = {"null", "1", "-0.5e3", "\"\"", "[]", "{}", "true", "\"http://127.0.0.1/x.jpg\"",
                                             "{\"url\":[1]}", "[{\"url\":{}}]", "\"file:///etc/passwd\""};
    for (int round = 0; round < 400; ++round) {
        std::string page = good;
        int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !page.empty(); ++e) {
            size_t at = random() % page.size();
            switch (random() % 5) {
                case 0: page[at] = static_cast<char>(random() % 256); break;
                case 1: page.resize(at); break;
                case 2: page.insert(at, page.substr(at, random() % 40)); break;
                case 3: page.insert(at, values[random() % values.size()]); break;
                default: page.erase(at, random() % 20); break;
            }
        }
        AutoreleasePool inner;
        NSError* error = nullptr;
        id parsed = objc_msgSend<id(id, NSUInteger, NSError**)>(objc_getClass("NSJSONSerialization"),
                                                                 "JSONObjectWithData:options:error:"_sel,
                                                                 NSData::make(page), 0, &error);
        id list = cantrel::imagesearch::elementsOfPage(parsed);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(list, "count"_sel); ++i) {
            id e = objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, i);
            id url = objc_msgSend<id()>(e, "imageFilename"_sel);
            EXPECT_TRUE(url == nil || objc_isKindOfClass(url, NSString::cls()));
            EXPECT_TRUE(objc_isKindOfClass(objc_msgSend<id()>(e, "title"_sel), NSString::cls()));
        }
    }
}

// The whole way from the edit sheet: the "Searching" badge while the pages
// come, the grid of 24 with the visible cells' pictures, a pick, and the
// sheet again with that picture. Against a server that never answers, the
// badge goes after the time-outs and the grid is empty.
class PanelSearch : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        ASSERT_TRUE(fixture::writeLibrary());
        std::string bundle = root.host("Library/Application Support/Cantrel/Cantrel.bundle");
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
    }
    // The song's sheet, its picture menu, "Track title"; the screen shown
    // once the search is over.
    id searchFromSheet(ItemEntry* entry, const SearchServer& server) {
        setenv("CANTREL_IMAGE_SEARCH_ENDPOINT", server.base().c_str(), 1);
        objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         nil, entry, -1L);
        platform::finishTransitions(1);
        id sheet = objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel);
        id panel = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(sheet, "view"_sel), "viewWithTag:"_sel, 99);
        objc_msgSend<void(id)>(panel, "selectPhoto:"_sel, nil);
        platform::finishTransitions(2);
        auto* menu = static_cast<UIAlertController*>(objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel));
        for (const auto& action : menu->_actions) {
            if (str(objc_msgSend<id()>(action.get(), "title"_sel)) == "Track title") {
                EXPECT_TRUE(platform::tapAlertAction(menu, action.get()));
            }
        }
        platform::finishTransitions(2);
        badgeWhileSearching = badgeShown(entry);
        EXPECT_TRUE(platform::waitForNetworkIdle(20));
        platform::finishTransitions(2);
        id screen = objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel);
        objc_msgSend<void()>(objc_msgSend<id()>(screen, "view"_sel), "layoutIfNeeded"_sel);  // on screen: cells made
        EXPECT_TRUE(platform::waitForNetworkIdle(20));  // and their pictures in
        return screen;
    }
    static bool badgeShown(ItemEntry* entry) {
        id subviews = objc_msgSend<id()>(objc_msgSend<id()>(entry->currentViewController.get(), "view"_sel), "subviews"_sel);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(subviews, "count"_sel); ++i)
            if (objc_isKindOfClass(objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i), MessageView::cls()))
                return true;
        return false;
    }
    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
    bool badgeWhileSearching = false;
};

TEST_F(PanelSearch, FromTheSheetToAPickedPicture) {
    OWN_PROCESS();
    SearchServer server;
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    id screen = searchFromSheet(song.get(), server);
    ASSERT_TRUE(objc_isKindOfClass(screen, SearchQueryViewController::cls()));
    EXPECT_FALSE(badgeShown(song.get()));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(objc_msgSend<id()>(screen, "customDatasource"_sel), "elements"_sel),
                                         "count"_sel),
              24u);
    auto* grid = static_cast<UICollectionView*>(objc_msgSend<id()>(screen, "collectionView"_sel));
    id cell = objc_msgSend<id(id)>(grid, "cellForItemAtIndexPath:"_sel, objc::as_id(NSIndexPath::make(1, 0)));
    Strong<NSObject> picture(static_cast<NSObject*>(objc_msgSend<id()>(cell, "image"_sel)));
    ASSERT_NE(picture.get(), nullptr);
    EXPECT_TRUE(platform::tapCollectionItem(grid, 0, 1));
    platform::finishTransitions(2);
    platform::RunLoop::main().runFor(0.3);
    platform::finishTransitions(2);
    id sheet = objc_msgSend<id()>(song->currentViewController.get(), "presentedViewController"_sel);
    EXPECT_TRUE(objc_isKindOfClass(sheet, UIAlertController::cls()));
    EXPECT_EQ(objc::as_id(song->pendingArtwork.get()), objc::as_id(picture.get()));
}

TEST_F(PanelSearch, AServerThatNeverAnswersLeavesAnEmptyGrid) {
    OWN_PROCESS();
    platform::net::setTimeouts(0.2, 0.4);
    SearchServer server({"--fail", "hang"});
    Strong<ItemEntry> song = test::entryForRow(app, "songs", 1003);
    id screen = searchFromSheet(song.get(), server);
    ASSERT_TRUE(objc_isKindOfClass(screen, SearchQueryViewController::cls()));
    EXPECT_TRUE(badgeWhileSearching);
    EXPECT_FALSE(badgeShown(song.get()));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(objc_msgSend<id()>(screen, "customDatasource"_sel), "elements"_sel),
                                         "count"_sel),
              0u);
    platform::net::resetTimeouts();
}

}  // namespace
