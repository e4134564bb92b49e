// The list screens of the Music app and the UIKit they stand on: colours,
// images, the screen and the device, table geometry and visible cells, and
// each screen over a media library of known contents.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "MediaLibraryGenerator.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicApp.h>
#include <MusicApp/MusicLibraryDataSource.h>
#include <MusicApp/MusicLibraryScreens.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>

#include <cairo.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

// ---------------------------------------------------------------------------
// Helpers: everything through sends, as the library sees it.

Class cls(const char* name) { return objc_getClass(name); }
id alloc(Class c) { return objc_msgSend<id()>(c, "alloc"_sel); }
id make(Class c) { return objc_autorelease(objc_msgSend<id()>(alloc(c), "init"_sel)); }
id str(const std::string& s) { return NSString::make(s); }

std::string text(id s) {
    if (s == nullptr) return "(nil)";
    return objc_msgSend<const char*()>(s, "UTF8String"_sel);
}

id path(NSInteger row, NSInteger section) {
    return objc_msgSend<id(NSInteger, NSInteger)>(cls("NSIndexPath"), "indexPathForRow:inSection:"_sel, row, section);
}
NSInteger rowOf(id p) { return objc_msgSend<NSInteger()>(p, "row"_sel); }
NSInteger sectionOf(id p) { return objc_msgSend<NSInteger()>(p, "section"_sel); }

NSUInteger count(id array) { return objc_msgSend<NSUInteger()>(array, "count"_sel); }
id at(id array, NSUInteger i) { return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, i); }

bool isKind(id obj, const char* name) { return objc_isKindOfClass(obj, cls(name)); }

CGRect rectOf(id table, NSInteger row, NSInteger section) {
    return objc_msgSend<CGRect(id)>(table, "rectForRowAtIndexPath:"_sel, path(row, section));
}

id cellAt(id table, NSInteger row, NSInteger section) {
    return objc_msgSend<id(id)>(table, "cellForRowAtIndexPath:"_sel, path(row, section));
}

std::string titleOf(id cell) { return text(objc_msgSend<id()>(cell, "title"_sel)); }

// "section.row" of each visible row, top to bottom.
std::vector<std::string> visibleRows(id table) {
    std::vector<std::string> out;
    id paths = objc_msgSend<id()>(table, "indexPathsForVisibleRows"_sel);
    for (NSUInteger i = 0; i < count(paths); ++i)
        out.push_back(std::to_string(sectionOf(at(paths, i))) + "." + std::to_string(rowOf(at(paths, i))));
    return out;
}

// ---------------------------------------------------------------------------
// A plain table data source and delegate whose answers the tests set.

struct RowsConfig {
    std::vector<NSInteger> rows{5};
    int cellsMade = 0;
    bool nilCells = false;
    std::vector<std::string> displayed;
    std::map<std::pair<NSInteger, NSInteger>, double> heights;  // from the delegate
};
RowsConfig rowsConfig;

NSInteger sourceSections(objc_object*, SEL, id) { return static_cast<NSInteger>(rowsConfig.rows.size()); }
NSInteger sourceRows(objc_object*, SEL, id, NSInteger s) { return rowsConfig.rows.at(static_cast<size_t>(s)); }

id sourceCell(objc_object*, SEL, id table, id p) {
    if (rowsConfig.nilCells) return nil;
    id cell = objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, str("Row"));
    if (cell == nullptr) {
        ++rowsConfig.cellsMade;
        cell = objc_autorelease(objc_msgSend<id(NSInteger, id)>(alloc(cls("UITableViewCell")),
                                                                "initWithStyle:reuseIdentifier:"_sel, 0, str("Row")));
    }
    objc_msgSend<void(id)>(cell, "setTitle:"_sel,
                           str(std::to_string(sectionOf(p)) + "." + std::to_string(rowOf(p))));
    return cell;
}

double delegateHeight(objc_object*, SEL, id, id p) {
    auto it = rowsConfig.heights.find({sectionOf(p), rowOf(p)});
    return it == rowsConfig.heights.end() ? 30 : it->second;
}

void willDisplay(objc_object*, SEL, id, id cell, id p) {
    rowsConfig.displayed.push_back(titleOf(cell) + "@" + std::to_string(sectionOf(p)) + "." + std::to_string(rowOf(p)));
}

void registerTestClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        Class source = objc_allocateClassPair(NSObject::cls(), "ListTestRowsSource", 0);
        class_addMethod(source, "numberOfSectionsInTableView:"_sel, &sourceSections, "q@:@");
        class_addMethod(source, "tableView:numberOfRowsInSection:"_sel, &sourceRows, "q@:@q");
        class_addMethod(source, "tableView:cellForRowAtIndexPath:"_sel, &sourceCell, "@@:@@");
        objc_registerClassPair(source);
        Class delegate = objc_allocateClassPair(NSObject::cls(), "ListTestHeightsDelegate", 0);
        class_addMethod(delegate, "tableView:heightForRowAtIndexPath:"_sel, &delegateHeight, "d@:@@");
        class_addMethod(delegate, "tableView:willDisplayCell:forRowAtIndexPath:"_sel, &willDisplay, "v@:@@@");
        objc_registerClassPair(delegate);
    });
}

class UIKitTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::registerMusicApp({.radio = false});
        registerTestClasses();
        rowsConfig = RowsConfig{};
    }

    // A table of that frame served by a ListTestRowsSource.
    id makeTable(CGRect frame) {
        source_ = make(cls("ListTestRowsSource"));
        id table = objc_autorelease(objc_msgSend<id(CGRect, NSInteger)>(alloc(UITableView::cls()),
                                                                        "initWithFrame:style:"_sel, frame, 0));
        objc_msgSend<void(id)>(table, "setDataSource:"_sel, source_);
        objc_msgSend<void()>(table, "reloadData"_sel);
        return table;
    }

    test::TempRoot root_;
    AutoreleasePool pool_;
    id source_ = nil;
};

// ---------------------------------------------------------------------------
// Colours.

using Colors = UIKitTest;

std::vector<double> components(id color) {
    double r = -1, g = -1, b = -1, a = -1;
    EXPECT_TRUE((objc_msgSend<BOOL(double*, double*, double*, double*)>(color, "getRed:green:blue:alpha:"_sel, &r, &g,
                                                                         &b, &a)));
    return {r, g, b, a};
}

TEST_F(Colors, ComponentsNamedColoursAndEquality) {
    id c = objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, 0,
                                                            122 / 255.0, 1, 1);
    EXPECT_EQ(components(c), (std::vector<double>{0, 122 / 255.0, 1, 1}));
    // Out of range components are clamped.
    id clamped = objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel,
                                                                  -2, 0.5, 7, 2);
    EXPECT_EQ(components(clamped), (std::vector<double>{0, 0.5, 1, 1}));
    // A NULL out-pointer is skipped.
    double red = -1;
    EXPECT_TRUE((objc_msgSend<BOOL(double*, double*, double*, double*)>(c, "getRed:green:blue:alpha:"_sel, &red,
                                                                         nullptr, nullptr, nullptr)));
    EXPECT_EQ(red, 0);

    EXPECT_EQ(components(objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel)), (std::vector<double>{1, 1, 1, 1}));
    EXPECT_EQ(components(objc_msgSend<id()>(UIColor::cls(), "blackColor"_sel)), (std::vector<double>{0, 0, 0, 1}));
    EXPECT_EQ(components(objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel)), (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(components(objc_msgSend<id()>(UIColor::cls(), "redColor"_sel)), (std::vector<double>{1, 0, 0, 1}));
    EXPECT_EQ(components(objc_msgSend<id(double, double)>(UIColor::cls(), "colorWithWhite:alpha:"_sel, 0.25, 0.5)),
              (std::vector<double>{0.25, 0.25, 0.25, 0.5}));

    id red1 = objc_msgSend<id()>(UIColor::cls(), "redColor"_sel);
    id red2 = objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, 1,
                                                               0, 0, 1);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(red1, "isEqual:"_sel, red2));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(red1, "hash"_sel), objc_msgSend<NSUInteger()>(red2, "hash"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(red1, "isEqual:"_sel, c));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(red1, "isEqual:"_sel, str("red")));
    id faded = objc_msgSend<id(double)>(red1, "colorWithAlphaComponent:"_sel, 0.5);
    EXPECT_EQ(components(faded), (std::vector<double>{1, 0, 0, 0.5}));
    EXPECT_EQ(text(objc_msgSend<id()>(faded, "description"_sel)), "UIDeviceRGBColorSpace 1 0 0 0.5");
}

TEST_F(Colors, ViewsKeepTheirBackgroundColour) {
    id view = make(UIView::cls());
    EXPECT_EQ(objc_msgSend<id()>(view, "backgroundColor"_sel), nullptr);
    id color = objc_msgSend<id()>(UIColor::cls(), "blueColor"_sel);
    NSUInteger before = objc_retainCount(color);
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, color);
    EXPECT_EQ(objc_msgSend<id()>(view, "backgroundColor"_sel), color);
    EXPECT_EQ(objc_retainCount(color), before + 1);
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, nil);
    EXPECT_EQ(objc_msgSend<id()>(view, "backgroundColor"_sel), nullptr);
    EXPECT_EQ(objc_retainCount(color), before);
    EXPECT_THROW(objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, str("blue")), NSException*);
}

// ---------------------------------------------------------------------------
// Images.

using Images = UIKitTest;

// A PNG of w x h filled with one colour (components 0..1, alpha 1).
bool writePNG(const std::string& hostPath, int w, int h, double r, double g, double b) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(s, hostPath.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

// The bytes of a baseline JPEG of w x h: the left half one colour, the right
// half another.
std::string jpegBytes(int w, int h, const unsigned char left[3], const unsigned char right[3]) {
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) rgb[(static_cast<size_t>(y) * w + x) * 3 + c] = x < w / 2 ? left[c] : right[c];
    std::vector<unsigned char> bytes = platform::generator::encodeJPEG(rgb, w, h, 100);
    return std::string(bytes.begin(), bytes.end());
}

void writeFile(const std::string& hostPath, const std::string& bytes) {
    std::ofstream(hostPath, std::ios::binary) << bytes;
}

std::string readFile(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

id imageAt(const std::string& devicePath) {
    return objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, str(devicePath));
}

CGSize sizeOf(id image) { return objc_msgSend<CGSize()>(image, "size"_sel); }

// Channels of a 0xAARRGGBB pixel.
int channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xff); }

TEST_F(Images, PNGFilesDecodeThroughTheDeviceRoot) {
    ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Pictures"));
    ASSERT_TRUE(writePNG(root_.host("/var/mobile/Pictures/green.png"), 7, 3, 0, 1, 0));
    id image = imageAt("/var/mobile/Pictures/green.png");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(isKind(image, "UIImage"));
    EXPECT_TRUE(CGSizeEqualToSize(sizeOf(image), CGSizeMake(7, 3)));
    EXPECT_EQ(objc_msgSend<double()>(image, "scale"_sel), 1);
    auto* img = static_cast<UIImage*>(image);
    EXPECT_EQ(img->pixel(0, 0), 0xff00ff00u);
    EXPECT_EQ(img->pixel(6, 2), 0xff00ff00u);
    EXPECT_EQ(img->pixel(7, 0), 0u);  // outside

    // The same file by its /User spelling and relative to the root.
    EXPECT_NE(imageAt("/User/Pictures/green.png"), nullptr);
    EXPECT_NE(imageAt("var/mobile/Pictures/green.png"), nullptr);

    // "@2x" halves the size in points.
    ASSERT_TRUE(writePNG(root_.host("/var/mobile/Pictures/icon@2x.png"), 8, 6, 1, 1, 1));
    id retina = imageAt("/var/mobile/Pictures/icon@2x.png");
    ASSERT_NE(retina, nullptr);
    EXPECT_EQ(objc_msgSend<double()>(retina, "scale"_sel), 2);
    EXPECT_TRUE(CGSizeEqualToSize(sizeOf(retina), CGSizeMake(4, 3)));
}

TEST_F(Images, JPEGFilesDecodeIntoOpaquePixels) {
    const unsigned char blue[3] = {0, 0, 255};
    const unsigned char yellow[3] = {255, 255, 0};
    std::string bytes = jpegBytes(16, 8, blue, yellow);
    ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Media"));
    writeFile(root_.host("/var/mobile/Media/photo.jpg"), bytes);
    id image = imageAt("/var/mobile/Media/photo.jpg");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(CGSizeEqualToSize(sizeOf(image), CGSizeMake(16, 8)));
    auto* img = static_cast<UIImage*>(image);
    uint32_t left = img->pixel(1, 4);
    uint32_t right = img->pixel(14, 4);
    EXPECT_EQ(channel(left, 24), 255);  // opaque
    EXPECT_LT(channel(left, 16), 20);   // red
    EXPECT_GT(channel(left, 0), 235);   // blue
    EXPECT_GT(channel(right, 16), 235);
    EXPECT_GT(channel(right, 8), 235);
    EXPECT_LT(channel(right, 0), 20);

    // The same bytes as data.
    id data = NSData::make(bytes);
    id fromData = objc_msgSend<id(id)>(UIImage::cls(), "imageWithData:"_sel, data);
    ASSERT_NE(fromData, nullptr);
    EXPECT_TRUE(CGSizeEqualToSize(sizeOf(fromData), CGSizeMake(16, 8)));
}

TEST_F(Images, MissingCorruptAndTruncatedFilesGiveNil) {
    ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Media"));
    EXPECT_EQ(imageAt("/var/mobile/Media/none.png"), nullptr);
    EXPECT_EQ(imageAt("/var/mobile/Media"), nullptr);  // a folder
    EXPECT_EQ(imageAt("../../outside.png"), nullptr);  // leaves the root
    EXPECT_EQ(objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, nil), nullptr);

    writeFile(root_.host("/var/mobile/Media/text.png"), "this is not a picture at all");
    EXPECT_EQ(imageAt("/var/mobile/Media/text.png"), nullptr);

    // Real pictures cut short.
    ASSERT_TRUE(writePNG(root_.host("/var/mobile/Media/full.png"), 32, 32, 1, 0, 0));
    std::string png = readFile(root_.host("/var/mobile/Media/full.png"));
    writeFile(root_.host("/var/mobile/Media/cut.png"), png.substr(0, png.size() / 2));
    EXPECT_NE(imageAt("/var/mobile/Media/full.png"), nullptr);
    EXPECT_EQ(imageAt("/var/mobile/Media/cut.png"), nullptr);

    const unsigned char grey[3] = {128, 128, 128};
    std::string jpeg = jpegBytes(64, 64, grey, grey);
    writeFile(root_.host("/var/mobile/Media/cut.jpg"), jpeg.substr(0, jpeg.size() / 2));
    EXPECT_EQ(imageAt("/var/mobile/Media/cut.jpg"), nullptr);
    // A JPEG header and garbage after it.
    writeFile(root_.host("/var/mobile/Media/bad.jpg"), std::string("\xff\xd8\xff\xe0", 4) + std::string(200, 'x'));
    EXPECT_EQ(imageAt("/var/mobile/Media/bad.jpg"), nullptr);

    EXPECT_EQ(objc_msgSend<id(id)>(UIImage::cls(), "imageWithData:"_sel, NSData::make("nope")), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(UIImage::cls(), "imageWithData:"_sel, nil), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(UIImage::cls(), "imageWithData:"_sel, str("not data")), nullptr);
}

TEST_F(Images, ImagesFreeTheirPixels) {
    ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Media"));
    ASSERT_TRUE(writePNG(root_.host("/var/mobile/Media/a.png"), 4, 4, 0, 0, 1));
    {
        AutoreleasePool inner;
        id image = objc_msgSend<id(id)>(alloc(UIImage::cls()), "initWithContentsOfFile:"_sel,
                                        str("/var/mobile/Media/a.png"));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(class_getLiveInstanceCount(UIImage::cls()), 1);
        objc_release(image);
        // A failed initialiser frees the instance it was given.
        EXPECT_EQ(objc_msgSend<id(id)>(alloc(UIImage::cls()), "initWithContentsOfFile:"_sel, str("/nothing.png")),
                  nullptr);
    }
    EXPECT_EQ(class_getLiveInstanceCount(UIImage::cls()), 0);
}

// ---------------------------------------------------------------------------
// The screen and the device.

using Device = UIKitTest;

TEST_F(Device, MainScreenAnswersWhatTheHostSets) {
    id screen = objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), screen);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(screen, "bounds"_sel), CGRectMake(0, 0, 320, 480)));
    EXPECT_EQ(objc_msgSend<double()>(screen, "scale"_sel), 2);
    platform::setMainScreen(CGSizeMake(768, 1024), 1);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(screen, "bounds"_sel), CGRectMake(0, 0, 768, 1024)));
    EXPECT_EQ(objc_msgSend<double()>(screen, "scale"_sel), 1);
    // A list made now fills the new screen.
    id list = make(cls("MusicSongsViewController"));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(objc_msgSend<id()>(list, "tableView"_sel), "frame"_sel),
                                  CGRectMake(0, 0, 768, 1024)));
    platform::resetMainScreen();
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(screen, "bounds"_sel), CGRectMake(0, 0, 320, 480)));
}

TEST_F(Device, IdiomsIncludingADeviceThatDoesNotKnowThem) {
    auto device = [] { return objc_msgSend<id()>(UIDevice::cls(), "currentDevice"_sel); };
    auto idiom = [&] { return objc_msgSend<NSInteger()>(device(), "userInterfaceIdiom"_sel); };
    EXPECT_TRUE(isKind(device(), "UIDevice"));
    EXPECT_EQ(idiom(), UIUserInterfaceIdiomPhone);
    EXPECT_EQ(UI_USER_INTERFACE_IDIOM(), UIUserInterfaceIdiomPhone);
    EXPECT_EQ(text(objc_msgSend<id()>(device(), "model"_sel)), "Phone");

    platform::setDeviceIdiom(UIUserInterfaceIdiomPad);
    EXPECT_EQ(idiom(), UIUserInterfaceIdiomPad);
    EXPECT_EQ(UI_USER_INTERFACE_IDIOM(), UIUserInterfaceIdiomPad);
    EXPECT_EQ(text(objc_msgSend<id()>(device(), "model"_sel)), "iPad");

    platform::setDeviceIdiom(5);  // a kind of device that came later
    EXPECT_EQ(idiom(), 5);
    EXPECT_EQ(UI_USER_INTERFACE_IDIOM(), 5);

    platform::setDeviceIdiom(std::nullopt);
    id old = device();
    EXPECT_TRUE(isKind(old, "UIDevice"));
    EXPECT_EQ(object_getClass(old), cls("_UIOldDevice"));
    EXPECT_FALSE(objc_msgSend<BOOL(SEL)>(old, "respondsToSelector:"_sel, "userInterfaceIdiom"_sel));
    EXPECT_FALSE(class_respondsToSelector(object_getClass(old), "userInterfaceIdiom"_sel));
    EXPECT_THROW(objc_msgSend<NSInteger()>(old, "userInterfaceIdiom"_sel), NSException*);
    EXPECT_EQ(UI_USER_INTERFACE_IDIOM(), UIUserInterfaceIdiomPhone);
    EXPECT_EQ(text(objc_msgSend<id()>(old, "systemName"_sel)), "iOS");
    // UIDevice itself still has the method.
    EXPECT_TRUE(class_respondsToSelector(UIDevice::cls(), "userInterfaceIdiom"_sel));

    platform::setDeviceIdiom(UIUserInterfaceIdiomPhone);
    EXPECT_NE(device(), old);
    EXPECT_EQ(idiom(), UIUserInterfaceIdiomPhone);
}

// ---------------------------------------------------------------------------
// Tables: geometry and visible cells.

using TableViews = UIKitTest;

TEST_F(TableViews, RowRectanglesFollowTheHeights) {
    rowsConfig.rows = {3, 2};
    id table = makeTable(CGRectMake(0, 0, 320, 480));
    EXPECT_EQ(objc_msgSend<double()>(table, "rowHeight"_sel), 44);
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 0, 0), CGRectMake(0, 0, 320, 44)));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 1, 1), CGRectMake(0, 4 * 44, 320, 44)));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 3, 0), CGRectZero));  // no such row
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 0, 2), CGRectZero));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect(id)>(table, "rectForRowAtIndexPath:"_sel, nil), CGRectZero));

    // One row set higher moves the rows below it.
    objc_msgSend<void(double, id)>(table, "setHeight:forRowAtIndexPath:"_sel, 100, path(1, 0));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 1, 0), CGRectMake(0, 44, 320, 100)));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 2, 0), CGRectMake(0, 144, 320, 44)));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 0, 1), CGRectMake(0, 188, 320, 44)));

    // Section headers and the table header come before their rows.
    objc_msgSend<void(double)>(table, "setSectionHeaderHeight:"_sel, 20);
    id header = objc_autorelease(
        objc_msgSend<id(CGRect)>(alloc(UIView::cls()), "initWithFrame:"_sel, CGRectMake(0, 0, 320, 50)));
    objc_msgSend<void(id)>(table, "setTableHeaderView:"_sel, header);
    EXPECT_EQ(objc_msgSend<id()>(table, "tableHeaderView"_sel), header);
    EXPECT_EQ(objc_msgSend<id()>(header, "superview"_sel), table);
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 0, 0), CGRectMake(0, 70, 320, 44)));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 0, 1), CGRectMake(0, 70 + 188 + 20, 320, 44)));

    // The delegate's heights count unless a row's own is set; a negative
    // height removes the row's own.
    id delegate = make(cls("ListTestHeightsDelegate"));
    rowsConfig.heights[{0, 2}] = 10;
    objc_msgSend<void(id)>(table, "setDelegate:"_sel, delegate);
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 1, 0), CGRectMake(0, 100, 320, 100)));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 2, 0), CGRectMake(0, 200, 320, 10)));
    objc_msgSend<void(double, id)>(table, "setHeight:forRowAtIndexPath:"_sel, -1, path(1, 0));
    EXPECT_TRUE(CGRectEqualToRect(rectOf(table, 2, 0), CGRectMake(0, 130, 320, 10)));

    objc_msgSend<void()>(table, "layoutIfNeeded"_sel);
    CGSize content = objc_msgSend<CGSize()>(table, "contentSize"_sel);
    EXPECT_EQ(content.height, 50 + 20 + 30 + 30 + 10 + 20 + 30 + 30);
}

TEST_F(TableViews, CellsExistForTheVisibleWindowOnly) {
    rowsConfig.rows = {10};
    id table = makeTable(CGRectMake(0, 0, 320, 100));
    id delegate = make(cls("ListTestHeightsDelegate"));
    rowsConfig.heights[{0, 0}] = 44;
    rowsConfig.heights[{0, 1}] = 44;
    rowsConfig.heights[{0, 2}] = 44;
    for (NSInteger r = 3; r < 10; ++r) rowsConfig.heights[{0, r}] = 44;
    objc_msgSend<void(id)>(table, "setDelegate:"_sel, delegate);

    // Rows 0-2 meet the window [0, 100).
    id first = cellAt(table, 0, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(titleOf(first), "0.0");
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.0", "0.1", "0.2"}));
    EXPECT_EQ(cellAt(table, 3, 0), nullptr);
    EXPECT_EQ(cellAt(table, 0, 1), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "cellForRowAtIndexPath:"_sel, nil), nullptr);
    EXPECT_EQ(rowsConfig.cellsMade, 3);
    EXPECT_EQ(rowsConfig.displayed, (std::vector<std::string>{"0.0@0.0", "0.1@0.1", "0.2@0.2"}));
    EXPECT_EQ(objc_msgSend<id()>(first, "superview"_sel), table);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(cellAt(table, 2, 0), "frame"_sel), CGRectMake(0, 88, 320, 44)));
    id p = objc_msgSend<id(id)>(table, "indexPathForCell:"_sel, cellAt(table, 1, 0));
    EXPECT_EQ(rowOf(p), 1);
    EXPECT_EQ(sectionOf(p), 0);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "indexPathForCell:"_sel, make(UITableViewCell::cls())), nullptr);
    id cells = objc_msgSend<id()>(table, "visibleCells"_sel);
    ASSERT_EQ(count(cells), 3u);
    EXPECT_EQ(at(cells, 0), first);

    // Asking again makes nothing new.
    cellAt(table, 0, 0);
    EXPECT_EQ(rowsConfig.cellsMade, 3);

    // Scrolled so that row 5 is on top: rows 5-7 show, in reused cells.
    objc_msgSend<void(id, NSInteger, BOOL)>(table, "scrollToRowAtIndexPath:atScrollPosition:animated:"_sel,
                                            path(5, 0), UITableViewScrollPositionTop, NO);
    EXPECT_EQ(objc_msgSend<CGPoint()>(table, "contentOffset"_sel).y, 5 * 44);
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.5", "0.6", "0.7"}));
    EXPECT_EQ(cellAt(table, 0, 0), nullptr);
    EXPECT_EQ(titleOf(cellAt(table, 6, 0)), "0.6");
    EXPECT_EQ(rowsConfig.cellsMade, 3);
    EXPECT_EQ(objc_msgSend<id()>(first, "superview"_sel) == table, cellAt(table, 5, 0) == first ||
                                                                       cellAt(table, 6, 0) == first ||
                                                                       cellAt(table, 7, 0) == first);

    // Scrolling past the end stops at the last full window.
    objc_msgSend<void(id, NSInteger, BOOL)>(table, "scrollToRowAtIndexPath:atScrollPosition:animated:"_sel,
                                            path(9, 0), UITableViewScrollPositionTop, NO);
    EXPECT_EQ(objc_msgSend<CGPoint()>(table, "contentOffset"_sel).y, 10 * 44 - 100);
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.7", "0.8", "0.9"}));

    // A taller frame shows more rows.
    objc_msgSend<void(CGPoint)>(table, "setContentOffset:"_sel, CGPointZero);
    objc_msgSend<void(CGRect)>(table, "setFrame:"_sel, CGRectMake(0, 0, 320, 200));
    EXPECT_EQ(visibleRows(table).size(), 5u);
}

TEST_F(TableViews, ReloadDataRefetchesAndHeightsChangeTheWindow) {
    rowsConfig.rows = {2, 3};
    id table = makeTable(CGRectMake(0, 0, 320, 100));
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.0", "0.1", "1.0"}));
    // A high row pushes the others out of the window.
    objc_msgSend<void(double, id)>(table, "setHeight:forRowAtIndexPath:"_sel, 90, path(0, 0));
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.0", "0.1"}));
    // A zero-height row is never visible.
    objc_msgSend<void(double, id)>(table, "setHeight:forRowAtIndexPath:"_sel, 0, path(0, 1));
    objc_msgSend<void(double, id)>(table, "setHeight:forRowAtIndexPath:"_sel, 0, path(0, 0));
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.1", "1.1", "1.2"}));

    rowsConfig.rows = {1};
    objc_msgSend<void()>(table, "reloadData"_sel);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 1);
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{}));  // its only row has no height
    objc_msgSend<void(double, id)>(table, "setHeight:forRowAtIndexPath:"_sel, -1, path(0, 0));
    EXPECT_EQ(visibleRows(table), (std::vector<std::string>{"0.0"}));

    // A data source that gives no cell is an error, as in UIKit.
    rowsConfig.nilCells = true;
    objc_msgSend<void()>(table, "reloadData"_sel);
    EXPECT_THROW(objc_msgSend<id()>(table, "visibleCells"_sel), NSException*);
}

TEST_F(TableViews, AFreshTableLoadsItsDataAtItsFirstLayout) {
    rowsConfig.rows = {4};
    source_ = make(cls("ListTestRowsSource"));
    id table = objc_autorelease(objc_msgSend<id(CGRect, NSInteger)>(alloc(UITableView::cls()),
                                                                    "initWithFrame:style:"_sel,
                                                                    CGRectMake(0, 0, 320, 480), 0));
    objc_msgSend<void(id)>(table, "setDataSource:"_sel, source_);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 0);
    EXPECT_EQ(count(objc_msgSend<id()>(table, "visibleCells"_sel)), 4u);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 0), 4);

    objc_msgSend<void(BOOL, BOOL)>(table, "setEditing:animated:"_sel, YES, NO);
    EXPECT_TRUE(objc_msgSend<BOOL()>(table, "isEditing"_sel));
    objc_msgSend<void(BOOL)>(table, "setEditing:"_sel, NO);
    EXPECT_FALSE(objc_msgSend<BOOL()>(table, "isEditing"_sel));
}

TEST_F(TableViews, ReusedCellsArePreparedAndMatchTheirIdentifier) {
    rowsConfig.rows = {3};
    id table = makeTable(CGRectMake(0, 0, 320, 480));
    EXPECT_EQ(count(objc_msgSend<id()>(table, "visibleCells"_sel)), 3u);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, str("Row")), nullptr);
    objc_msgSend<void()>(table, "reloadData"_sel);  // the cells go back to the pool
    EXPECT_EQ(objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, str("Other")), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, nil), nullptr);
    id reused = objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, str("Row"));
    ASSERT_NE(reused, nullptr);
    EXPECT_EQ(objc_msgSend<id()>(reused, "superview"_sel), nullptr);
    // Laying out again takes the two left in the pool and makes one.
    EXPECT_EQ(count(objc_msgSend<id()>(table, "visibleCells"_sel)), 3u);
    EXPECT_EQ(rowsConfig.cellsMade, 4);
}

// ---------------------------------------------------------------------------
// The list screens over the library.

class Screens : public UIKitTest {
protected:
    void SetUp() override {
        UIKitTest::SetUp();
        ASSERT_TRUE(fixture::writeLibrary());
    }

    // A screen of that class, its view loaded.
    id screen(const char* name) {
        id controller = make(cls(name));
        objc_msgSend<id()>(controller, "tableView"_sel);
        return controller;
    }

    static id dataSourceOf(id controller) { return objc_msgSend<id()>(controller, "dataSource"_sel); }

    static id entity(id controller, NSInteger row, NSInteger section) {
        return objc_msgSend<id(id)>(dataSourceOf(controller), "entityAtIndexPath:"_sel, path(row, section));
    }

    static unsigned long long pidOf(id entity) { return objc_msgSend<unsigned long long()>(entity, "persistentID"_sel); }

    // The persistent ids of the data source's entities, in order.
    static std::vector<unsigned long long> pids(id controller) {
        std::vector<unsigned long long> out;
        id all = objc_msgSend<id()>(dataSourceOf(controller), "entities"_sel);
        for (NSUInteger i = 0; i < count(all); ++i) out.push_back(pidOf(at(all, i)));
        return out;
    }

    // The titles of the data source's sections.
    static std::vector<std::string> sectionTitles(id controller) {
        std::vector<std::string> out;
        id source = dataSourceOf(controller);
        for (NSInteger s = 0, n = objc_msgSend<NSInteger()>(source, "numberOfSections"_sel); s < n; ++s)
            out.push_back(text(objc_msgSend<id(NSInteger)>(source, "titleForSection:"_sel, s)));
        return out;
    }

    // "title" of every table row, in table order, through the controller's
    // own table data source methods.
    static std::vector<std::string> rowTitles(id controller) {
        std::vector<std::string> out;
        id table = objc_msgSend<id()>(controller, "tableView"_sel);
        NSInteger sections = objc_msgSend<NSInteger(id)>(controller, "numberOfSectionsInTableView:"_sel, table);
        for (NSInteger s = 0; s < sections; ++s) {
            NSInteger rows = objc_msgSend<NSInteger(id, NSInteger)>(controller, "tableView:numberOfRowsInSection:"_sel,
                                                                    table, s);
            for (NSInteger r = 0; r < rows; ++r)
                out.push_back(titleOf(objc_msgSend<id(id, id)>(controller, "tableView:cellForRowAtIndexPath:"_sel,
                                                                table, path(r, s))));
        }
        return out;
    }
};

TEST_F(Screens, EveryScreenShowsItsEntitiesInLibraryOrder) {
    struct Expect {
        const char* screen;
        std::vector<unsigned long long> pids;
        std::vector<std::string> titles;
        std::vector<std::string> sections;
        const char* entityClass;
    };
    const Expect expected[] = {
        {"MusicSongsViewController",
         {1010, 1003, 1001, 1007, 1006, 1002, 1005, 1004, 1008, 1009},
         {"Atlas", "Coming Home", "Dancing Lights", "Lovesong", "Lullaby", "Money, Money, Maybe", "Otter's Garden",
          "Something Blue", "What's Left", "Zero Hour"},
         {"A", "C", "D", "L", "M", "O", "S", "W", "Z"},
         "MPConcreteMediaItem"},
        {"MusicArtistsViewController",
         {101, 102, 103, 105, 104},
         {"Amber Lane", "Blue Harbor", "The Copper Moths", "Various Artists", "4 Quiet Rooms"},
         {"A", "B", "C", "V", "#"},
         "MPConcreteMediaItemCollection"},
        {"MusicAlbumsViewController",
         {202, 201, 204, 203, 205},
         {"Aerial Maps", "Arrival", "Bigger, Brighter, Louder!", "Driftwood", "Now Hits"},
         {"A", "B", "D", "N"},
         "MPConcreteMediaItemCollection"},
        {"MusicComposersViewController",
         {401, 403, 402},
         {"Ashford", "Halloran", "Lindqvist"},
         {"A", "H", "L"},
         "MPConcreteMediaItemCollection"},
        {"MusicGenresViewController",
         {3, 1, 2},
         {"Alternative", "Pop", "Rock"},
         {"A", "P", "R"},
         "MPConcreteMediaItemCollection"},
        {"MusicPlaylistsListViewController", {502, 501}, {"Chill", "Road Trip"}, {"(nil)"}, "MPConcreteMediaPlaylist"},
        {"MusicCompilationsViewController", {205}, {"Now Hits"}, {"N"}, "MPConcreteMediaItemCollection"},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.screen);
        id controller = screen(e.screen);
        EXPECT_TRUE(isKind(controller, "MusicTableViewController"));
        id source = dataSourceOf(controller);
        ASSERT_TRUE(isKind(source, "MusicLibraryDataSource"));
        EXPECT_EQ(pids(controller), e.pids);
        EXPECT_EQ(sectionTitles(controller), e.sections);
        EXPECT_EQ(rowTitles(controller), e.titles);
        // The table's data source and delegate are the controller.
        id table = objc_msgSend<id()>(controller, "tableView"_sel);
        EXPECT_EQ(objc_msgSend<id()>(table, "delegate"_sel), controller);
        EXPECT_EQ(objc_msgSend<id()>(table, "dataSource"_sel), controller);
        EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), static_cast<NSInteger>(e.sections.size()));
        // Every entity is of the kind the library expects of the screen.
        id first = entity(controller, 0, 0);
        EXPECT_EQ(object_getClass(first), cls(e.entityClass));
        bool songs = std::string(e.entityClass) == "MPConcreteMediaItem";
        EXPECT_EQ(isKind(first, "MPConcreteMediaItemCollection") || isKind(first, "MPMediaPlaylist"), !songs);
        // The last entity sits in the last row of the last section.
        NSInteger lastSection = static_cast<NSInteger>(e.sections.size()) - 1;
        NSInteger lastRow = objc_msgSend<NSInteger(NSInteger)>(source, "numberOfEntitiesInSection:"_sel, lastSection) - 1;
        EXPECT_EQ(pidOf(entity(controller, lastRow, lastSection)), e.pids.back());
        EXPECT_EQ(entity(controller, lastRow + 1, lastSection), nullptr);
        EXPECT_EQ(entity(controller, 0, lastSection + 1), nullptr);
        EXPECT_EQ(objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, nil), nullptr);
    }
}

TEST_F(Screens, SongScreensUseSongCellsAndCollectionScreensShowArtwork) {
    id songs = screen("MusicSongsViewController");
    id table = objc_msgSend<id()>(songs, "tableView"_sel);
    id cell = cellAt(table, 0, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(object_getClass(cell), cls("MusicSongListTableViewCell"));
    EXPECT_EQ(text(objc_msgSend<id()>(cell, "reuseIdentifier"_sel)), kMusicSongListCellIdentifier);

    id albums = screen("MusicAlbumsViewController");
    table = objc_msgSend<id()>(albums, "tableView"_sel);
    id aerialMaps = cellAt(table, 0, 0);
    id arrival = cellAt(table, 1, 0);
    ASSERT_NE(arrival, nullptr);
    EXPECT_EQ(object_getClass(arrival), cls("MusicMediaTableViewCell"));
    EXPECT_EQ(titleOf(arrival), "Arrival");
    // Arrival's representative item has artwork; Aerial Maps' has none.
    id image = objc_msgSend<id()>(arrival, "artworkImage"_sel);
    ASSERT_TRUE(isKind(image, "UIImage"));
    Strong<objc_object> keptImage(image);  // the cells are its only owners
    EXPECT_TRUE(CGSizeEqualToSize(sizeOf(image), CGSizeMake(fixture::kArtworkWidth, fixture::kArtworkHeight)));
    EXPECT_EQ(static_cast<UIImage*>(image)->pixel(0, 0), 0xffff0000u);
    EXPECT_EQ(objc_msgSend<id()>(aerialMaps, "artworkImage"_sel), nullptr);

    // The cell's content view has the picture too.
    id content = MSHookIvar<id>(arrival, "_mediaCellContentView");
    ASSERT_TRUE(isKind(content, "MusicMediaCellContentView"));
    EXPECT_EQ(objc_msgSend<id()>(content, "artworkImage"_sel), image);
    EXPECT_TRUE(MSHookIvar<BOOL>(content, "_needsContentReload"));
    objc_msgSend<void()>(content, "reloadContent"_sel);
    EXPECT_FALSE(MSHookIvar<BOOL>(content, "_needsContentReload"));
    EXPECT_EQ(MSHookIvar<NSInteger>(content, "_contentReloads"), 1);
    objc_msgSend<void()>(content, "setNeedsContentReload"_sel);
    EXPECT_TRUE(MSHookIvar<BOOL>(content, "_needsContentReload"));
    objc_msgSend<void(id)>(content, "setArtworkImage:"_sel, nil);
    EXPECT_EQ(objc_msgSend<id()>(content, "artworkImage"_sel), nullptr);

    // setArtworkImage: goes through setArtworkImage:animated:.
    objc_msgSend<void(id)>(arrival, "setArtworkImage:"_sel, nil);
    EXPECT_EQ(objc_msgSend<id()>(arrival, "artworkImage"_sel), nullptr);
    objc_msgSend<void(id, BOOL)>(arrival, "setArtworkImage:animated:"_sel, image, YES);
    EXPECT_EQ(objc_msgSend<id()>(arrival, "artworkImage"_sel), image);
    EXPECT_EQ(objc_msgSend<id()>(content, "artworkImage"_sel), image);
    EXPECT_THROW(objc_msgSend<void(id)>(arrival, "setArtworkImage:"_sel, str("picture")), NSException*);
}

TEST_F(Screens, DetailScreensShowTheirCollectionsSongs) {
    // Aerial Maps' tracks, in track order, found through the albums screen.
    id albums = screen("MusicAlbumsViewController");
    id aerialMaps = entity(albums, 0, 0);
    ASSERT_EQ(pidOf(aerialMaps), 202u);
    id detail = make(cls("MusicAlbumsDetailViewController"));
    objc_msgSend<void(id)>(detail, "setCollection:"_sel, aerialMaps);
    EXPECT_EQ(objc_msgSend<id()>(detail, "collection"_sel), aerialMaps);
    EXPECT_EQ(pids(detail), (std::vector<unsigned long long>{1003, 1004, 1005}));
    EXPECT_EQ(rowTitles(detail), (std::vector<std::string>{"Coming Home", "Something Blue", "Otter's Garden"}));
    EXPECT_EQ(sectionTitles(detail), (std::vector<std::string>{"(nil)"}));
    EXPECT_EQ(object_getClass(entity(detail, 2, 0)), cls("MPConcreteMediaItem"));
    // The album's header heads the table and knows it.
    id table = objc_msgSend<id()>(detail, "tableView"_sel);
    id header = objc_msgSend<id()>(table, "tableHeaderView"_sel);
    ASSERT_TRUE(isKind(header, "MusicAlbumsDetailTableHeaderView"));
    EXPECT_EQ(objc_msgSend<id()>(header, "tableView"_sel), table);
    EXPECT_EQ(rectOf(table, 0, 0).origin.y, kMusicAlbumsDetailHeaderHeight);

    id playlists = screen("MusicPlaylistsListViewController");
    id roadTrip = entity(playlists, 1, 0);
    id songs = make(cls("MusicPlaylistSongsViewController"));
    objc_msgSend<void(id)>(songs, "setCollection:"_sel, roadTrip);
    EXPECT_EQ(pids(songs), (std::vector<unsigned long long>{1010, 1003, 1006}));  // the playlist's order
    EXPECT_EQ(rowTitles(songs), (std::vector<std::string>{"Atlas", "Coming Home", "Lullaby"}));

    // Without a collection there is nothing to show.
    id empty = screen("MusicPlaylistSongsViewController");
    EXPECT_EQ(dataSourceOf(empty), nullptr);
    EXPECT_EQ(rowTitles(empty), (std::vector<std::string>{}));
    EXPECT_EQ(objc_msgSend<NSInteger()>(objc_msgSend<id()>(empty, "tableView"_sel), "numberOfSections"_sel), 1);
}

TEST_F(Screens, APlaylistRowShowsTheNameInItsProperties) {
    id playlists = screen("MusicPlaylistsListViewController");
    id table = objc_msgSend<id()>(playlists, "tableView"_sel);
    EXPECT_EQ(titleOf(cellAt(table, 0, 0)), "Chill");
    // The library renames a playlist through its properties dictionary.
    id chill = entity(playlists, 0, 0);
    id properties = MSHookIvar<id>(chill, "_properties");
    ASSERT_TRUE(isKind(properties, "NSMutableDictionary"));
    objc_msgSend<void(id, id)>(properties, "setObject:forKey:"_sel, str("Chill Out"), str("name"));
    objc_msgSend<void()>(table, "reloadData"_sel);
    EXPECT_EQ(titleOf(cellAt(table, 0, 0)), "Chill Out");
}

TEST_F(Screens, SectionOffsetAndActionRowsAnswerAsConfigured) {
    id songs = screen("MusicSongsViewController");
    id table = objc_msgSend<id()>(songs, "tableView"_sel);
    EXPECT_EQ(objc_msgSend<int(NSInteger)>(songs, "sectionForDataSourceSection:"_sel, 2), 2);
    EXPECT_EQ(objc_msgSend<NSInteger(id)>(songs, "numberOfActionRowsInTableView:"_sel, table), 0);
    EXPECT_FALSE(objc_msgSend<BOOL()>(songs, "allowsActions"_sel));

    // One header section before the data source's: table section = data-source section + 1.
    objc_msgSend<void(NSInteger)>(songs, "setDataSourceSectionOffset:"_sel, 1);
    EXPECT_EQ(objc_msgSend<NSInteger()>(songs, "dataSourceSectionOffset"_sel), 1);
    EXPECT_EQ(objc_msgSend<int(NSInteger)>(songs, "sectionForDataSourceSection:"_sel, 2), 3);
    EXPECT_EQ(objc_msgSend<NSInteger()>(table, "numberOfSections"_sel), 10);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 0), 0);
    EXPECT_EQ(text(objc_msgSend<id(id, NSInteger)>(songs, "tableView:titleForHeaderInSection:"_sel, table, 4)), "L");
    EXPECT_EQ(objc_msgSend<id(id, NSInteger)>(songs, "tableView:titleForHeaderInSection:"_sel, table, 0), nullptr);
    // Table row 1 of section 4 ("Lullaby") is data-source row 1 of section 3.
    id dsPath = objc_msgSend<id(id)>(songs, "dataSourceIndexPathForIndexPath:"_sel, path(1, 4));
    ASSERT_NE(dsPath, nullptr);
    EXPECT_EQ(sectionOf(dsPath), 3);
    EXPECT_EQ(rowOf(dsPath), 1);
    EXPECT_EQ(pidOf(entity(songs, 1, 3)), 1006u);
    EXPECT_EQ(titleOf(objc_msgSend<id(id, id)>(songs, "tableView:cellForRowAtIndexPath:"_sel, table, path(1, 4))),
              "Lullaby");
    EXPECT_EQ(objc_msgSend<id(id)>(songs, "dataSourceIndexPathForIndexPath:"_sel, path(0, 0)), nullptr);
    // The library's correction: section s - |sectionForDataSourceSection:(s) - s|.
    NSInteger s = 4;
    NSInteger t = objc_msgSend<int(NSInteger)>(songs, "sectionForDataSourceSection:"_sel, s);
    EXPECT_EQ(s - std::abs(t - s), 3);

    // Three action rows at the top of the artists' first section.
    id artists = screen("MusicArtistsViewController");
    id artistTable = objc_msgSend<id()>(artists, "tableView"_sel);
    objc_msgSend<void(NSInteger)>(artists, "setNumberOfActionRows:"_sel, 3);
    EXPECT_EQ(objc_msgSend<NSInteger(id)>(artists, "numberOfActionRowsInTableView:"_sel, artistTable), 3);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(artistTable, "numberOfRowsInSection:"_sel, 0), 4);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(artistTable, "numberOfRowsInSection:"_sel, 1), 1);
    EXPECT_EQ(rowTitles(artists), (std::vector<std::string>{"Shuffle", "Play All", "Genius", "Amber Lane", "Blue Harbor",
                                                             "The Copper Moths", "Various Artists", "4 Quiet Rooms"}));
    id action = cellAt(artistTable, 0, 0);
    EXPECT_EQ(object_getClass(action), cls("MusicMediaTableViewCell"));
    EXPECT_EQ(text(objc_msgSend<id()>(action, "reuseIdentifier"_sel)), kMusicActionCellIdentifier);
    EXPECT_EQ(objc_msgSend<id()>(action, "artworkImage"_sel), nullptr);
    EXPECT_EQ(objc_msgSend<id(id)>(artists, "dataSourceIndexPathForIndexPath:"_sel, path(2, 0)), nullptr);
    // Row 3 of section 0 is the first artist: the library lowers the row by 3.
    dsPath = objc_msgSend<id(id)>(artists, "dataSourceIndexPathForIndexPath:"_sel, path(3, 0));
    EXPECT_EQ(rowOf(dsPath), 0);
    EXPECT_EQ(pidOf(entity(artists, 3 - 3, 0)), 101u);
    // Other sections are not shifted.
    dsPath = objc_msgSend<id(id)>(artists, "dataSourceIndexPathForIndexPath:"_sel, path(0, 2));
    EXPECT_EQ(sectionOf(dsPath), 2);
    EXPECT_EQ(rowOf(dsPath), 0);

    // With actions allowed: the actions in section 0, all artists in one
    // data-source section shown as table section 1.
    objc_msgSend<void(BOOL)>(artists, "setAllowsActions:"_sel, YES);
    EXPECT_TRUE(objc_msgSend<BOOL()>(artists, "allowsActions"_sel));
    EXPECT_EQ(objc_msgSend<NSInteger()>(artistTable, "numberOfSections"_sel), 2);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(artistTable, "numberOfRowsInSection:"_sel, 0), 3);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(artistTable, "numberOfRowsInSection:"_sel, 1), 5);
    EXPECT_EQ(sectionTitles(artists), (std::vector<std::string>{"(nil)"}));
    EXPECT_EQ(objc_msgSend<int(NSInteger)>(artists, "sectionForDataSourceSection:"_sel, 0), 1);
    // Row 4 of section 1 is data-source (4, 0): the library's (row, 0).
    dsPath = objc_msgSend<id(id)>(artists, "dataSourceIndexPathForIndexPath:"_sel, path(4, 1));
    EXPECT_EQ(sectionOf(dsPath), 0);
    EXPECT_EQ(rowOf(dsPath), 4);
    EXPECT_EQ(titleOf(cellAt(artistTable, 4, 1)), "4 Quiet Rooms");
    EXPECT_EQ(pidOf(entity(artists, 4, 0)), 104u);

    // Back to none: the plain grouped list.
    objc_msgSend<void(BOOL)>(artists, "setAllowsActions:"_sel, NO);
    objc_msgSend<void(NSInteger)>(artists, "setNumberOfActionRows:"_sel, 0);
    EXPECT_EQ(objc_msgSend<NSInteger()>(artistTable, "numberOfSections"_sel), 5);
    EXPECT_EQ(rowTitles(artists).front(), "Amber Lane");
}

TEST_F(Screens, VisibleCellsComeFromTheReplaceableDataSourceMethod) {
    static int sends = 0;
    static Slot<id(objc_object*, SEL, id, id)> original;
    struct Replacement {
        static id cellForRow(objc_object* self, SEL cmd, id table, id p) {
            ++sends;
            return original(self, cmd, table, p);
        }
    };
    MSHookMessageEx(cls("MusicTableViewController"), "tableView:cellForRowAtIndexPath:"_sel, &Replacement::cellForRow,
                    &original);
    ASSERT_TRUE(original);

    id songs = screen("MusicSongsViewController");
    id table = objc_msgSend<id()>(songs, "tableView"_sel);
    // The ten 44-point rows all fit the 480-point screen: one cell each.
    EXPECT_EQ(sends, 0);
    ASSERT_NE(cellAt(table, 0, 0), nullptr);
    EXPECT_EQ(sends, 10);
    EXPECT_EQ(titleOf(cellAt(table, 1, 3)), "Lullaby");
    EXPECT_EQ(sends, 10);

    // A short window: only the first rows have cells.
    objc_msgSend<void(CGRect)>(table, "setFrame:"_sel, CGRectMake(0, 0, 320, 88));
    EXPECT_NE(cellAt(table, 0, 1), nullptr);
    EXPECT_EQ(cellAt(table, 0, 2), nullptr);
    objc_msgSend<void(id, NSInteger, BOOL)>(table, "scrollToRowAtIndexPath:atScrollPosition:animated:"_sel,
                                            path(0, 8), UITableViewScrollPositionTop, NO);
    EXPECT_EQ(titleOf(cellAt(table, 0, 8)), "Zero Hour");
    EXPECT_EQ(cellAt(table, 0, 1), nullptr);
}

TEST_F(Screens, TheAppOpensEachScreenInItsNavigationController) {
    platform::MusicApp app;
    std::string error;
    EXPECT_FALSE(app.openScreen("songs", std::nullopt, &error));
    EXPECT_EQ(error, "the app is not running");
    EXPECT_EQ(app.currentScreen(), nullptr);
    app.launch();
    id nav = app.songsNavigationController();
    EXPECT_EQ(app.currentScreen(), app.songsViewController());

    struct Case {
        const char* name;
        std::optional<unsigned long long> id;
        const char* cls;
        std::vector<unsigned long long> pids;
    };
    const Case cases[] = {
        {"songs", std::nullopt, "MusicSongsViewController", {1010, 1003, 1001, 1007, 1006, 1002, 1005, 1004, 1008, 1009}},
        {"artists", std::nullopt, "MusicArtistsViewController", {101, 102, 103, 105, 104}},
        {"albums", std::nullopt, "MusicAlbumsViewController", {202, 201, 204, 203, 205}},
        {"album", 203, "MusicAlbumsDetailViewController", {1006, 1007}},
        {"composers", std::nullopt, "MusicComposersViewController", {401, 403, 402}},
        {"genres", std::nullopt, "MusicGenresViewController", {3, 1, 2}},
        {"playlists", std::nullopt, "MusicPlaylistsListViewController", {502, 501}},
        {"playlist", 501, "MusicPlaylistSongsViewController", {1010, 1003, 1006}},
        {"compilations", std::nullopt, "MusicCompilationsViewController", {205}},
    };
    ASSERT_EQ(platform::MusicApp::screenNames().size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(app.openScreen(c.name, c.id, &error)) << error;
        id current = app.currentScreen();
        EXPECT_EQ(object_getClass(current), cls(c.cls));
        EXPECT_EQ(pids(current), c.pids);
        EXPECT_EQ(platform::MusicApp::screenTakesID(c.name), c.id.has_value());
        // Root and the screen: opening goes back to the root first.
        id stack = objc_msgSend<id()>(nav, "viewControllers"_sel);
        ASSERT_EQ(count(stack), 2u);
        EXPECT_EQ(at(stack, 0), app.songsViewController());
        // The screen is shown: its cells exist.
        id table = objc_msgSend<id()>(current, "tableView"_sel);
        EXPECT_GT(count(objc_msgSend<id()>(table, "visibleCells"_sel)), 0u);
        EXPECT_EQ(objc_msgSend<id()>(current, "navigationController"_sel), nav);
        id parent = objc_msgSend<id()>(current, "parentViewController"_sel);
        if (std::string(c.name) == "album") {
            EXPECT_EQ(object_getClass(parent), cls("MusicAlbumsDetailContainerViewController"));
            EXPECT_EQ(objc_msgSend<id()>(parent, "detailViewController"_sel), current);
            EXPECT_EQ(objc_msgSend<id()>(parent, "parentViewController"_sel), nav);
            EXPECT_EQ(objc_msgSend<id()>(table, "superview"_sel), objc_msgSend<id()>(parent, "view"_sel));
            EXPECT_EQ(pidOf(objc_msgSend<id()>(current, "collection"_sel)), 203u);
        } else {
            EXPECT_EQ(parent, nav);
        }
    }

    // Errors leave the current screen as it was.
    id before = app.currentScreen();
    EXPECT_FALSE(app.openScreen("radio", std::nullopt, &error));
    EXPECT_EQ(error, "unknown screen 'radio'");
    EXPECT_FALSE(app.openScreen("album", std::nullopt, &error));
    EXPECT_EQ(error, "the album screen needs an id");
    EXPECT_FALSE(app.openScreen("songs", 1001, &error));
    EXPECT_EQ(error, "the songs screen takes no id");
    EXPECT_FALSE(app.openScreen("album", 999, &error));
    EXPECT_EQ(error, "no album with id 999");
    EXPECT_FALSE(app.openScreen("playlist", 201, &error));  // an album's id
    EXPECT_EQ(error, "no playlist with id 201");
    EXPECT_FALSE(app.openScreen("playlist", 503, &error));  // hidden
    EXPECT_EQ(app.currentScreen(), before);
}

TEST_F(Screens, TheQueueAndTheFlipsideComeFromTheLibrary) {
    platform::MusicApp app;
    app.launch();
    // The queue holds the library's first songs.
    id feeder = app.queueFeeder();
    ASSERT_EQ(objc_msgSend<NSUInteger()>(feeder, "itemCount"_sel), 3u);
    id playing = objc_msgSend<id(NSUInteger)>(feeder, "playbackInfoAtIndex:"_sel, 0);
    EXPECT_EQ(pidOf(playing), 1010u);  // Atlas, on Now Hits

    EXPECT_EQ(app.flipsideViewController(), nullptr);
    // Nothing plays yet: no album to show.
    app.showFlipside();
    id flipside = app.flipsideViewController();
    ASSERT_NE(flipside, nullptr);
    EXPECT_EQ(count(objc_msgSend<id()>(objc_msgSend<id()>(flipside, "dataSource"_sel), "entities"_sel)), 0u);
    objc_msgSend<void(int, BOOL)>(objc::as_id(app.avController()), "playItemAtIndex:forceRestart:"_sel, 0, YES);
    app.showFlipside();
    // The library reaches the tracks as tableView.delegate.dataSource.entities.
    id table = objc_msgSend<id()>(flipside, "tableView"_sel);
    id delegate = objc_msgSend<id()>(table, "delegate"_sel);
    EXPECT_EQ(delegate, flipside);
    id source = objc_msgSend<id()>(delegate, "dataSource"_sel);
    ASSERT_TRUE(isKind(source, "MusicLibraryDataSource"));
    EXPECT_EQ(objc_msgSend<id()>(table, "dataSource"_sel), source);
    id tracks = objc_msgSend<id()>(source, "entities"_sel);
    ASSERT_EQ(count(tracks), 2u);
    EXPECT_EQ(pidOf(at(tracks, 0)), 1009u);
    EXPECT_EQ(pidOf(at(tracks, 1)), 1010u);
    EXPECT_EQ(at(tracks, 1), playing);
    // Shown: its header view is in the table and the rows have cells.
    id header = objc_msgSend<id()>(table, "tableHeaderView"_sel);
    EXPECT_TRUE(isKind(header, "MusicFlipsideAlbumDetailHeaderView"));
    EXPECT_EQ(titleOf(cellAt(table, 1, 0)), "Atlas");
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, 0), 2);

    // Again: a new data source, still one controller.
    app.showFlipside();
    EXPECT_EQ(app.flipsideViewController(), flipside);
    EXPECT_NE(objc_msgSend<id()>(flipside, "dataSource"_sel), source);
}

TEST_F(Screens, ShutdownFreesTheScreens) {
    {
        AutoreleasePool inner;
        platform::MusicApp app;
        app.launch();
        ASSERT_TRUE(app.openScreen("album", 201));
        app.showFlipside();
        ASSERT_TRUE(app.openScreen("artists"));
        app.shutdown();
    }
    for (const char* name : {"MusicAlbumsDetailViewController", "MusicAlbumsDetailContainerViewController",
                             "MusicArtistsViewController", "MusicFlipsideAlbumDetailViewController",
                             "MusicLibraryDataSource", "MusicMediaTableViewCell", "MusicSongListTableViewCell",
                             "MusicMediaCellContentView", "UITableView", "UIImage"})
        EXPECT_EQ(class_getLiveInstanceCount(cls(name)), 0) << name;
}

// ---------------------------------------------------------------------------
// A generated library, with its awkward names and ids.

class Generated : public UIKitTest {
protected:
    void SetUp() override {
        UIKitTest::SetUp();
        std::string error;
        ASSERT_TRUE(platform::generateMediaLibrary(root_.path(), {.songs = 150, .seed = 11}, &error)) << error;
    }

    static id query(const char* name, const char* results) {
        return objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), sel_registerName(name)),
                                  sel_registerName(results));
    }

    // The screen shows exactly the query's objects, in order, in sections
    // that follow the titles' letters, and each table row's cell shows its
    // entity's title.
    static void expectMirrors(id controller, id expected, bool grouped) {
        id source = objc_msgSend<id()>(controller, "dataSource"_sel);
        id entities = objc_msgSend<id()>(source, "entities"_sel);
        // Items are one object per id; collections are made by each query.
        auto same = [](id a, id b) {
            return a != nullptr && b != nullptr && object_getClass(a) == object_getClass(b) &&
                   objc_msgSend<unsigned long long()>(a, "persistentID"_sel) ==
                       objc_msgSend<unsigned long long()>(b, "persistentID"_sel) &&
                   (isKind(a, "MPMediaItemCollection") || a == b);
        };
        ASSERT_EQ(count(entities), count(expected));
        for (NSUInteger i = 0; i < count(expected); ++i) ASSERT_TRUE(same(at(entities, i), at(expected, i))) << i;

        NSUInteger seen = 0;
        NSInteger sections = objc_msgSend<NSInteger()>(source, "numberOfSections"_sel);
        if (!grouped) {
            EXPECT_EQ(sections, count(expected) ? 1 : 0);
        }
        std::vector<std::string> letters;
        for (NSInteger s = 0; s < sections; ++s) {
            std::string letter = text(objc_msgSend<id(NSInteger)>(source, "titleForSection:"_sel, s));
            if (grouped) {
                EXPECT_TRUE(std::find(letters.begin(), letters.end(), letter) == letters.end()) << letter;
                letters.push_back(letter);
            }
            for (NSInteger r = 0, n = objc_msgSend<NSInteger(NSInteger)>(source, "numberOfEntitiesInSection:"_sel, s);
                 r < n; ++r, ++seen) {
                id e = objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, path(r, s));
                EXPECT_EQ(e, at(entities, seen));
                if (!grouped) continue;
                std::string title = text(objc_msgSend<id(id)>(controller, "titleForEntity:"_sel, e));
                int n26 = platform::mediaLibrarySortSection(title == "(nil)" ? "" : title);
                EXPECT_EQ(letter, n26 < 26 ? std::string(1, static_cast<char>('A' + n26)) : "#") << title;
            }
        }
        EXPECT_EQ(seen, count(expected));

        id table = objc_msgSend<id()>(controller, "tableView"_sel);
        for (NSInteger s = 0, n = objc_msgSend<NSInteger()>(table, "numberOfSections"_sel); s < n; ++s) {
            for (NSInteger r = 0, m = objc_msgSend<NSInteger(NSInteger)>(table, "numberOfRowsInSection:"_sel, s); r < m;
                 ++r) {
                AutoreleasePool pool;
                id dsPath = objc_msgSend<id(id)>(controller, "dataSourceIndexPathForIndexPath:"_sel, path(r, s));
                id e = objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, dsPath);
                ASSERT_NE(e, nullptr);
                id cell = objc_msgSend<id(id, id)>(controller, "tableView:cellForRowAtIndexPath:"_sel, table, path(r, s));
                id title = objc_msgSend<id(id)>(controller, "titleForEntity:"_sel, e);
                EXPECT_EQ(titleOf(cell), text(title));
            }
        }
    }
};

TEST_F(Generated, EveryScreenMirrorsItsQuery) {
    struct Case {
        const char* screen;
        const char* query;
        const char* results;
        bool grouped;
    };
    const Case cases[] = {
        {"MusicSongsViewController", "songsQuery", "items", true},
        {"MusicArtistsViewController", "artistsQuery", "collections", true},
        {"MusicAlbumsViewController", "albumsQuery", "collections", true},
        {"MusicComposersViewController", "composersQuery", "collections", true},
        {"MusicGenresViewController", "genresQuery", "collections", true},
        {"MusicPlaylistsListViewController", "playlistsQuery", "collections", false},
        {"MusicCompilationsViewController", "compilationsQuery", "collections", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        AutoreleasePool pool;
        id expected = query(c.query, c.results);
        EXPECT_GT(count(expected), 0u);
        expectMirrors(make(cls(c.screen)), expected, c.grouped);
    }
    // Every album's and every playlist's songs.
    for (auto [collections, screen] : {std::pair{"albumsQuery", "MusicAlbumsDetailViewController"},
                                       std::pair{"playlistsQuery", "MusicPlaylistSongsViewController"}}) {
        SCOPED_TRACE(screen);
        id all = query(collections, "collections");
        for (NSUInteger i = 0; i < count(all); ++i) {
            AutoreleasePool pool;
            id controller = make(cls(screen));
            objc_msgSend<void(id)>(controller, "setCollection:"_sel, at(all, i));
            expectMirrors(controller, objc_msgSend<id()>(at(all, i), "items"_sel), false);
        }
    }
}

TEST_F(Generated, ReadingAListRowByRowKeepsOneCellAndNoPictures) {
    id songs = make(cls("MusicSongsViewController"));
    id table = objc_msgSend<id()>(songs, "tableView"_sel);
    objc_msgSend<void(CGRect)>(table, "setFrame:"_sel, CGRectMake(0, 0, 320, 0));  // no cell of its own
    long cellsBefore = class_getLiveInstanceCount(cls("MusicSongListTableViewCell"));
    long picturesBefore = class_getLiveInstanceCount(cls("UIImage"));
    long mostCells = 0, mostPictures = 0, withPicture = 0;
    std::vector<std::string> titles;
    size_t read = platform::forEachRowCell(static_cast<UITableView*>(table), 0, ULLONG_MAX,
                                           [&](NSInteger, NSInteger, UITableViewCell* cell) {
        titles.push_back(titleOf(cell));
        if (objc_msgSend<id()>(cell, "artworkImage"_sel) != nullptr) ++withPicture;
        mostCells = std::max(mostCells, class_getLiveInstanceCount(cls("MusicSongListTableViewCell")) - cellsBefore);
        mostPictures = std::max(mostPictures, class_getLiveInstanceCount(cls("UIImage")) - picturesBefore);
    });
    EXPECT_EQ(read, 150u);
    EXPECT_GT(withPicture, 0);
    // One cell, reused, and no more than the picture it shows.
    EXPECT_EQ(mostCells, 1);
    EXPECT_LE(mostPictures, 1);

    // A window across the sections, and one that runs past the end.
    std::vector<std::string> window;
    auto collect = [&](NSInteger, NSInteger, UITableViewCell* cell) { window.push_back(titleOf(cell)); };
    EXPECT_EQ(platform::forEachRowCell(static_cast<UITableView*>(table), 20, 40, collect), 40u);
    EXPECT_EQ(window, std::vector<std::string>(titles.begin() + 20, titles.begin() + 60));
    window.clear();
    EXPECT_EQ(platform::forEachRowCell(static_cast<UITableView*>(table), 148, ULLONG_MAX, collect), 2u);
    EXPECT_EQ(window, std::vector<std::string>(titles.begin() + 148, titles.end()));
    EXPECT_EQ(platform::forEachRowCell(static_cast<UITableView*>(table), ULLONG_MAX, 1, collect), 0u);
}

TEST_F(Generated, ScreensOpenByIdsWithTheTopBitSet) {
    platform::MusicApp app;
    app.launch();
    int opened = 0;
    for (auto [collections, name] : {std::pair{"albumsQuery", "album"}, std::pair{"playlistsQuery", "playlist"}}) {
        id all = query(collections, "collections");
        for (NSUInteger i = 0; i < count(all); ++i) {
            unsigned long long pid = objc_msgSend<unsigned long long()>(at(all, i), "persistentID"_sel);
            if ((pid >> 63) == 0) continue;
            std::string error;
            ASSERT_TRUE(app.openScreen(name, pid, &error)) << error;
            id shown = objc_msgSend<id()>(app.currentScreen(), "collection"_sel);
            EXPECT_EQ(objc_msgSend<unsigned long long()>(shown, "persistentID"_sel), pid);
            EXPECT_GT(count(objc_msgSend<id()>(objc_msgSend<id()>(app.currentScreen(), "tableView"_sel),
                                               "visibleCells"_sel)),
                      0u);
            ++opened;
            break;
        }
    }
    EXPECT_EQ(opened, 2);
}

}  // namespace
