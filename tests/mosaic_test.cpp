// The mosaic grid: where the layout puts each tile, what the search screen
// answers it (columns by device and orientation, double columns and heights
// decided once), and a cell's picture arriving late or after reuse.
#include "Cantrel.h"
#include "Classes.h"
#include "CustomDataSource.h"
#include "Libs/MosaicLayout/Controllers/MosaicLayout.h"
#include "Libs/MosaicLayout/Entities/MosaicData.h"
#include "Libs/MosaicLayout/Views/MosaicCell.h"
#include "SearchQueryViewController.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIKit.h>
#include <cairo.h>
#include <platform/Random.h>
#include <platform/RunLoop.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>
#include <set>

namespace {

// A delegate and data source with fixed answers, counting the double-column
// questions.
struct FixedMosaic : NSObject {
    OBJC_CLASS(FixedMosaic)
    NSInteger columns = 2;
    std::vector<float> heights;
    std::vector<bool> doubles;
    std::vector<NSInteger> askedDouble;
};

NSInteger fixedColumns(FixedMosaic* self, SEL, id) { return self->columns; }
NSInteger fixedItems(FixedMosaic* self, SEL, id, NSInteger) { return static_cast<NSInteger>(self->heights.size()); }
float fixedHeight(FixedMosaic* self, SEL, id, id path) {
    return self->heights.at(static_cast<size_t>(objc_msgSend<NSInteger()>(path, "item"_sel)));
}
BOOL fixedDouble(FixedMosaic* self, SEL, id, id path) {
    NSInteger item = objc_msgSend<NSInteger()>(path, "item"_sel);
    self->askedDouble.push_back(item);
    return static_cast<size_t>(item) < self->doubles.size() && self->doubles[static_cast<size_t>(item)];
}

id fixedCell(FixedMosaic*, SEL, id view, id path) {
    return objc_msgSend<id(id, id)>(view, "dequeueReusableCellWithReuseIdentifier:forIndexPath:"_sel, "Cell"_ns, path);
}

void registerFixed() {
    static bool done = false;
    if (done) return;
    done = true;
    objc::ClassDef<FixedMosaic>("FixedMosaic", NSObject::cls())
        .method<fixedColumns>("numberOfColumnsInCollectionView:")
        .method<fixedItems>("collectionView:numberOfItemsInSection:")
        .method<fixedHeight>("collectionView:relativeHeightForItemAtIndexPath:")
        .method<fixedDouble>("collectionView:isDoubleColumnAtIndexPath:");
}

class Mosaic : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        Cantrel_registerClasses();
        registerFixed();
        fixed = Strong<FixedMosaic>::adopt(static_cast<FixedMosaic*>(
            objc_msgSend<id()>(objc_msgSend<id()>(FixedMosaic::cls(), "alloc"_sel), "init"_sel)));
        layout = Strong<MosaicLayout>::adopt(static_cast<MosaicLayout*>(
            objc_msgSend<id()>(objc_msgSend<id()>(MosaicLayout::cls(), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(layout.get(), "setDelegate:"_sel, fixed.get());
        view = Strong<UICollectionView>::adopt(static_cast<UICollectionView*>(objc_msgSend<id(CGRect, id)>(
            objc_msgSend<id()>(UICollectionView::cls(), "alloc"_sel), "initWithFrame:collectionViewLayout:"_sel,
            CGRectMake(0, 0, 320, 480), layout.get())));
        objc_msgSend<void(id)>(view.get(), "setDataSource:"_sel, fixed.get());
    }
    std::vector<CGRect> frames() {
        objc_msgSend<void()>(view.get(), "reloadData"_sel);
        objc_msgSend<void()>(layout.get(), "prepareLayout"_sel);
        std::vector<CGRect> out;
        for (const auto& a : layout->itemsAttributes) out.push_back(objc_msgSend<CGRect()>(a.get(), "frame"_sel));
        return out;
    }
    AutoreleasePool pool;
    Strong<FixedMosaic> fixed;
    Strong<MosaicLayout> layout;
    Strong<UICollectionView> view;
};

bool same(CGRect a, CGRect b) { return CGRectEqualToRect(a, b); }

#define EXPECT_FRAMES(frames, ...)                                                                 \
    do {                                                                                           \
        std::vector<CGRect> got = (frames), want{__VA_ARGS__};                                     \
        ASSERT_EQ(got.size(), want.size());                                                        \
        for (size_t i = 0; i < want.size(); ++i)                                                   \
            EXPECT_TRUE(same(got[i], want[i])) << "tile " << i << ": " << got[i].origin.x << ","   \
                                               << got[i].origin.y << " " << got[i].size.width      \
                                               << "x" << got[i].size.height;                       \
    } while (0)

// Tiles go to the first of the shortest columns, heights cut down to a
// multiple of 40; a double tile starts only where two columns are level.
TEST_F(Mosaic, TilesFillTheShortestColumnInStepsOfForty) {
    fixed->heights = {1.00f, 1.24f, 1.10f};
    EXPECT_FRAMES(frames(), CGRectMake(0, 0, 160, 160), CGRectMake(160, 0, 160, 160), CGRectMake(0, 160, 160, 160));
    EXPECT_TRUE(CGSizeEqualToSize(objc_msgSend<CGSize()>(layout.get(), "collectionViewContentSize"_sel),
                                  CGSizeMake(320, 320)));

    // Level columns: the tile the delegate wants double spans both.
    fixed->heights = {0.80f, 1.00f};
    fixed->doubles = {true, false};
    EXPECT_FRAMES(frames(), CGRectMake(0, 0, 320, 240), CGRectMake(0, 240, 160, 160));
    EXPECT_TRUE(CGSizeEqualToSize(objc_msgSend<CGSize()>(layout.get(), "collectionViewContentSize"_sel),
                                  CGSizeMake(320, 400)));

    // Three columns of 107 (320 / 3 rounded). Columns 40, 0, 0: the second
    // tile goes to column 1 and may be double (1 and 2 are level); columns
    // 40, 120, 120: the third goes to column 0 and is single although the
    // delegate wants double; at 120, 120, 120 the fourth spans 0 and 1, its
    // height under 40 gives 0.
    fixed->columns = 3;
    fixed->heights = {0.40f, 0.60f, 1.0f, 0.1f};
    fixed->doubles = {false, true, true, true};
    fixed->askedDouble.clear();
    EXPECT_FRAMES(frames(), CGRectMake(0, 0, 107, 40), CGRectMake(107, 0, 214, 120), CGRectMake(0, 40, 107, 80),
                  CGRectMake(0, 120, 214, 0));
    // Asked only where the tile could span: never for tile 2.
    EXPECT_EQ(fixed->askedDouble, (std::vector<NSInteger>{0, 1, 3}));
}

// The column helpers on given column heights.
TEST_F(Mosaic, ColumnHelpers) {
    fixed->columns = 3;
    struct Case {
        std::vector<double> columns;
        NSUInteger shortest, longest;
        std::vector<BOOL> canDouble;  // for columns 0, 1, 2
    } cases[] = {
        {{40, 0, 0}, 1, 0, {NO, YES, NO}},
        {{0, 40, 40}, 0, 1, {NO, YES, NO}},
        {{0, 0, 0}, 0, 0, {YES, YES, NO}},
        {{80, 40, 80}, 1, 0, {NO, NO, NO}},
        {{80, 120, 120}, 0, 1, {NO, YES, NO}},
    };
    for (const Case& c : cases) {
        layout->columns = c.columns;
        EXPECT_EQ(objc_msgSend<NSUInteger()>(layout.get(), "shortestColumnIndex"_sel), c.shortest);
        EXPECT_EQ(objc_msgSend<NSUInteger()>(layout.get(), "longestColumnIndex"_sel), c.longest);
        for (NSUInteger i = 0; i < 3; ++i)
            EXPECT_EQ(objc_msgSend<BOOL(NSUInteger)>(layout.get(), "canUseDoubleColumnOnIndex:"_sel, i), c.canDouble[i])
                << "column " << i << " of " << c.columns[0] << "," << c.columns[1] << "," << c.columns[2];
    }
    EXPECT_EQ(objc_msgSend<float()>(layout.get(), "columnWidth"_sel), 107.0f);
    fixed->columns = 0;  // no columns: nothing laid out, nothing divided by zero
    fixed->heights = {1.0f};
    EXPECT_TRUE(frames().empty());
}

// Only the tiles in sight get cells; scrolling brings the others, and the
// rectangle query answers the tiles meeting it in item order.
TEST_F(Mosaic, OnlyVisibleTilesHaveCells) {
    objc_msgSend<void(Class, id)>(view.get(), "registerClass:forCellWithReuseIdentifier:"_sel, MosaicCell::cls(), "Cell"_ns);
    fixed->heights.assign(30, 1.0f);  // 15 rows of two 160 x 160 tiles
    auto cellsOn = [&] {
        objc_msgSend<void()>(view.get(), "layoutIfNeeded"_sel);
        return objc_msgSend<NSUInteger()>(objc_msgSend<id()>(view.get(), "visibleCells"_sel), "count"_sel);
    };
    // FixedMosaic makes no cells itself: answer them through a data source.
    objc::define_method(FixedMosaic::cls(), "collectionView:cellForItemAtIndexPath:"_sel, objc::make_imp<fixedCell>(),
                        "@@:@@");
    objc_msgSend<void()>(view.get(), "reloadData"_sel);
    EXPECT_EQ(cellsOn(), 6u);  // rows at 0, 160, 320 meet 480 points
    id hit = objc_msgSend<id(CGRect)>(layout.get(), "layoutAttributesForElementsInRect:"_sel, CGRectMake(0, 60, 100, 100));
    ASSERT_EQ(objc_msgSend<NSUInteger()>(hit, "count"_sel), 1u);
    EXPECT_TRUE(same(objc_msgSend<CGRect()>(objc_msgSend<id(NSUInteger)>(hit, "objectAtIndex:"_sel, 0), "frame"_sel),
                     CGRectMake(0, 0, 160, 160)));
    objc_msgSend<void(CGPoint)>(view.get(), "setContentOffset:"_sel, CGPointMake(0, 2000));
    EXPECT_EQ(cellsOn(), 6u);  // rows at 1920, 2080, 2240 (the last row ends at 2400)
    id first = objc_msgSend<id(NSUInteger)>(objc_msgSend<id()>(view.get(), "indexPathsForVisibleItems"_sel),
                                            "objectAtIndex:"_sel, 0);
    EXPECT_EQ(objc_msgSend<NSInteger()>(first, "item"_sel), 24);
}

// A picture request that the test answers by hand: stands in for the image
// loader (AFImageRequestOperation), whichever is registered.
struct HeldRequest : NSObject {
    OBJC_CLASS(HeldRequest)
    std::string url;
    Strong<NSObject> success;
    bool started = false, cancelled = false;
    CGSize fitting{-1, -1};  // the size the picture is asked for
};
std::vector<Strong<HeldRequest>>& heldRequests() {
    static std::vector<Strong<HeldRequest>> list;
    return list;
}
void heldStart(HeldRequest* self, SEL) { self->started = true; }
void heldCancel(HeldRequest* self, SEL) { self->cancelled = true; }
void heldFitting(HeldRequest* self, SEL, CGSize size) { self->fitting = size; }
id heldMake(id, SEL, id request, id success) {
    auto* r = static_cast<HeldRequest*>(objc_msgSend<id()>(objc_msgSend<id()>(HeldRequest::cls(), "alloc"_sel), "init"_sel));
    r->url = to_string(static_cast<NSString*>(
        objc_msgSend<id()>(objc_msgSend<id()>(request, "URL"_sel), "absoluteString"_sel)));
    r->success = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id()>(success, "copy"_sel)));
    heldRequests().emplace_back(r);
    return objc_autorelease(objc::as_id(r));
}
struct HeldLoader : NSObject {
    OBJC_CLASS(HeldLoader)
};
// Until the network side is there, a request is only its URL.
struct HeldURLRequest : NSObject {
    OBJC_CLASS(HeldURLRequest)
    Strong<NSObject> url;
};
id heldURLRequest(id, SEL, id url) {
    auto* r = static_cast<HeldURLRequest*>(
        objc_msgSend<id()>(objc_msgSend<id()>(HeldURLRequest::cls(), "alloc"_sel), "init"_sel));
    r->url = static_cast<NSObject*>(url);
    return objc_autorelease(objc::as_id(r));
}
id heldURL(HeldURLRequest* self, SEL) { return objc::as_id(self->url.get()); }

void holdPictureRequests() {
    objc::ClassDef<HeldRequest>("HeldRequest", NSObject::cls())
        .method<heldStart>("start")
        .method<heldCancel>("cancel")
        .method<heldFitting>("_setFittingSize:");
    if (objc_getClass("NSURLRequest") == nil)
        objc::ClassDef<HeldURLRequest>("NSURLRequest", NSObject::cls())
            .classMethod<heldURLRequest>("requestWithURL:")
            .method<heldURL>("URL");
    Class loader = objc_getClass("AFImageRequestOperation");
    if (loader == nil) loader = objc::ClassDef<HeldLoader>("AFImageRequestOperation", NSObject::cls()).get();
    objc::define_method(object_getClass(objc::as_id(loader)), "imageRequestOperationWithRequest:success:"_sel,
                        objc::make_imp<heldMake>(), "@@:@@?");
}

id picture(int width, int height) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(width, height), NO, 1);
    id image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

MosaicData* record(const char* url, const char* title) {
    auto* r = static_cast<MosaicData*>(objc_autorelease(
        objc_msgSend<id()>(objc_msgSend<id()>(MosaicData::cls(), "alloc"_sel), "init"_sel)));
    objc_msgSend<void(id)>(r, "setImageFilename:"_sel, url ? NSString::make(url) : nil);
    objc_msgSend<void(id)>(r, "setTitle:"_sel, NSString::make(title));
    objc_msgSend<void(BOOL)>(r, "setFirstTimeShown:"_sel, YES);
    return r;
}

// A picture arriving for a record the cell no longer shows is dropped, even
// with the same caption; the record's own picture fades in. A reused or
// freed cell cancels its request; only http(s) addresses are requested.
TEST(MosaicCellPictures, LateOrReusedPicturesAndAddresses) {
    OWN_PROCESS();
    test::TempRoot root;
    platform::Clock::setVirtual(true);
    Cantrel_registerClasses();
    holdPictureRequests();
    AutoreleasePool pool;
    Strong<MosaicCell> cell = Strong<MosaicCell>::adopt(static_cast<MosaicCell*>(objc_msgSend<id(CGRect)>(
        objc_msgSend<id()>(MosaicCell::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 160, 160))));
    MosaicData* first = record("http://127.0.0.1:9/a.jpg", "640x480");
    MosaicData* second = record("https://127.0.0.1:9/b.jpg", "640x480");
    objc_msgSend<void(id)>(cell.get(), "setMosaicData:"_sel, first);
    objc_msgSend<void()>(cell.get(), "prepareForReuse"_sel);
    objc_msgSend<void(id)>(cell.get(), "setMosaicData:"_sel, second);
    auto& held = heldRequests();
    ASSERT_EQ(held.size(), 2u);
    EXPECT_EQ(held[0]->url, "http://127.0.0.1:9/a.jpg");
    EXPECT_EQ(held[1]->url, "https://127.0.0.1:9/b.jpg");
    EXPECT_TRUE(held[0]->started && held[0]->cancelled);
    EXPECT_TRUE(held[1]->started && !held[1]->cancelled);
    // The picture is asked for at the tile's size (its decoding follows it).
    EXPECT_EQ(held[1]->fitting.width, 160);
    EXPECT_EQ(held[1]->fitting.height, 160);

    objc_callBlock<void(UIImage*)>(objc::as_id(held[0]->success.get()), static_cast<UIImage*>(picture(64, 48)));  // late, same caption
    EXPECT_EQ(objc_msgSend<id()>(cell.get(), "image"_sel), nil);
    id mine = picture(64, 48);
    objc_callBlock<void(UIImage*)>(objc::as_id(held[1]->success.get()), static_cast<UIImage*>(mine));
    EXPECT_EQ(objc_msgSend<id()>(cell.get(), "image"_sel), mine);
    EXPECT_FALSE(second->firstTimeShown);
    id imageView = objc::as_id(cell->imageView.get());
    EXPECT_EQ(objc_msgSend<double()>(imageView, "alpha"_sel), 0.0);
    platform::RunLoop::main().runFor(0.7);  // the fade starts within 0.699 s
    EXPECT_EQ(objc_msgSend<double()>(imageView, "alpha"_sel), 1.0);

    for (const char* address : {"file:///etc/passwd", "cover.png", "../../etc/hosts", "ftp://127.0.0.1/x.jpg"}) {
        objc_msgSend<void(id)>(cell.get(), "setMosaicData:"_sel, record(address, "1x1"));
        EXPECT_EQ(objc_msgSend<id()>(cell.get(), "image"_sel), nil) << address;
    }
    EXPECT_EQ(held.size(), 2u);

    objc_msgSend<void(id)>(cell.get(), "setMosaicData:"_sel, record("http://127.0.0.1:9/c.jpg", "1x1"));
    ASSERT_EQ(held.size(), 3u);
    cell = nullptr;  // the grid goes: its running request with it
    EXPECT_TRUE(held[2]->cancelled);
}

// The picture of a surface at (x, y): 0xAARRGGBB.
uint32_t pixelAt(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const uint32_t*>(row)[x];
}

// A tile draws its picture over its whole size (the image view pinned to
// the tile's edges), cut to the tile's shape rather than squeezed: a 2:1
// picture in a square tile shows its middle half. Its white border frames
// it; the caption sits in the lower right corner, white on a black shadow.
TEST(MosaicCellDrawing, PictureFillsTheTileWithItsCaption) {
    OWN_PROCESS();
    test::TempRoot root;
    Cantrel_registerClasses();
    AutoreleasePool pool;
    Strong<MosaicCell> cell = Strong<MosaicCell>::adopt(static_cast<MosaicCell*>(objc_msgSend<id(CGRect)>(
        objc_msgSend<id()>(MosaicCell::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 160, 160))));
    // 200 x 100: red in its left quarter, green elsewhere.
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(200, 100), YES, 1);
    CGContextRef c = UIGraphicsGetCurrentContext();
    CGContextSetFillColorWithColor(c, CGColor{0, 1, 0, 1});
    CGContextFillRect(c, CGRectMake(0, 0, 200, 100));
    CGContextSetFillColorWithColor(c, CGColor{1, 0, 0, 1});
    CGContextFillRect(c, CGRectMake(0, 0, 50, 100));
    id wide = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    objc_msgSend<void(id)>(cell.get(), "setMosaicData:"_sel, record(nullptr, "200x100"));
    objc_msgSend<void(id)>(cell.get(), "setImage:"_sel, wide);
    objc_msgSend<void(double)>(cell->imageView.get(), "setAlpha:"_sel, 1.0);  // past its fade-in
    objc_msgSend<void()>(cell.get(), "layoutIfNeeded"_sel);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(cell->imageView.get(), "frame"_sel), CGRectMake(0, 0, 160, 160)));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(cell->titleLabel.get(), "frame"_sel), CGRectMake(10, 130, 140, 20)));

    cairo_surface_t* s = platform::renderView(cell.get(), 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pixelAt(s, 16, 80), 0xff00ff00u);   // a squeezed picture would be red here
    EXPECT_EQ(pixelAt(s, 80, 10), 0xff00ff00u);   // the picture reaches the top
    EXPECT_EQ(pixelAt(s, 0, 80), 0xffffffffu);    // the border
    EXPECT_EQ(pixelAt(s, 159, 80), 0xffffffffu);
    int white = 0, black = 0;
    for (int y = 130; y < 150; ++y)
        for (int x = 100; x < 150; ++x) {
            uint32_t p = pixelAt(s, x, y);
            white += p == 0xffffffffu;
            black += ((p >> 16) & 0xff) < 0x30 && ((p >> 8) & 0xff) < 0x30 && (p & 0xff) < 0x30;
        }
    EXPECT_GT(white, 10);  // "200x100"
    EXPECT_GT(black, 10);  // its shadow
    cairo_surface_destroy(s);
}

class SearchScreen : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        std::string bundle = root.host("Library/Application Support/Cantrel/Cantrel.bundle");
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
        platform::resetMainScreen();
        Cantrel_registerClasses();
    }
    SearchQueryViewController* make(size_t elements) {
        id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
        auto* c = static_cast<SearchQueryViewController*>(objc_autorelease(objc_msgSend<id(id, id)>(
            objc_msgSend<id()>(SearchQueryViewController::cls(), "alloc"_sel), "initWithNibName:bundle:"_sel,
            "SearchQueryViewController"_ns, bundle)));
        id list = objc_msgSend<id()>(objc::as_id(c->customDatasource.get()), "elements"_sel);
        for (size_t i = 0; i < elements; ++i) objc_msgSend<void(id)>(list, "addObject:"_sel, record(nullptr, "8x8"));
        return c;
    }
    test::TempRoot root;
    AutoreleasePool pool;
};

// 2 and 3 columns on a phone (or a device without idioms), 4 and 5 on a pad.
TEST_F(SearchScreen, ColumnsByDeviceAndOrientation) {
    OWN_PROCESS();
    SearchQueryViewController* screen = make(0);
    struct Case {
        std::optional<NSInteger> idiom;
        NSInteger orientation, columns;
    } cases[] = {
        {0, 1, 2}, {0, 2, 2}, {0, 3, 3}, {0, 4, 3}, {1, 1, 4}, {1, 2, 4},
        {1, 3, 5}, {1, 4, 5}, {5, 1, 2}, {5, 3, 3}, {std::nullopt, 1, 2}, {std::nullopt, 4, 3},
    };
    for (const Case& c : cases) {
        platform::setDeviceIdiom(c.idiom);
        screen->_interfaceOrientation = c.orientation;
        EXPECT_EQ(objc_msgSend<NSInteger(id)>(screen, "numberOfColumnsInCollectionView:"_sel, nil), c.columns)
            << "idiom " << c.idiom.value_or(-1) << " orientation " << c.orientation;
    }
    platform::setDeviceIdiom(0);
}

// Each element's double column and height are decided at the first layout
// (1.00 to 1.24 single, 0.75 to 0.99 double, in hundredths) and kept when
// the device turns and the grid is laid out again in 3 columns.
TEST_F(SearchScreen, DecisionsKeptAcrossRotation) {
    OWN_PROCESS();
    platform::seedRandom(5);  // one sequence of decisions, every run
    SearchQueryViewController* screen = make(60);
    platform::setKeyWindowRootViewController(screen);
    id view = objc_msgSend<id()>(screen, "view"_sel);
    id grid = objc_msgSend<id()>(screen, "collectionView"_sel);
    ASSERT_NE(grid, nil);
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    id list = objc_msgSend<id()>(objc::as_id(screen->customDatasource.get()), "elements"_sel);
    auto decisions = [&] {
        std::vector<std::pair<int, float>> out;
        for (NSUInteger i = 0; i < 60; ++i) {
            auto* e = static_cast<MosaicData*>(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, i));
            out.emplace_back(e->layoutType, e->relativeHeight);
        }
        return out;
    };
    auto before = decisions();
    int doubles = 0;
    for (auto [type, height] : before) {
        float cents = height * 100;
        EXPECT_NEAR(cents, std::round(cents), 1e-3);
        if (type == MosaicLayoutTypeDouble) {
            ++doubles;
            EXPECT_TRUE(height >= 0.749f && height <= 0.991f) << height;
        } else {
            EXPECT_EQ(type, MosaicLayoutTypeSingle);
            EXPECT_TRUE(height >= 0.999f && height <= 1.241f) << height;
        }
    }
    EXPECT_GT(doubles, 0);
    EXPECT_LT(doubles, 60);
    auto* layout = static_cast<MosaicLayout*>(objc_msgSend<id()>(grid, "collectionViewLayout"_sel));
    ASSERT_EQ(layout->columns.size(), 2u);

    ASSERT_TRUE(platform::rotateInterface(UIInterfaceOrientationLandscapeLeft));
    EXPECT_TRUE(CGSizeEqualToSize(objc_msgSend<CGRect()>(grid, "frame"_sel).size, CGSizeMake(480, 276)));
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    ASSERT_EQ(layout->columns.size(), 3u);
    EXPECT_EQ(decisions(), before);
    for (const auto& a : layout->itemsAttributes) {
        CGRect f = objc_msgSend<CGRect()>(a.get(), "frame"_sel);
        EXPECT_EQ(std::fmod(f.origin.x, 160.0), 0.0);
        EXPECT_EQ(std::fmod(f.size.height, 40.0), 0.0);
    }
    platform::rotateInterface(UIInterfaceOrientationPortrait);
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    EXPECT_EQ(layout->columns.size(), 2u);
    EXPECT_EQ(decisions(), before);
}

}  // namespace
