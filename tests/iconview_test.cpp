// IconView: its properties, the device idiom, the names of the screen
// pictures, and each picture as drawn: the box it paints against its table
// extent, and colour probes at points that must be the disc's grey, a white
// sign or a hole.
#include <gtest/gtest.h>

#include "Classes.h"
#include "IconView.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>
#include <string>

namespace {

constexpr double kScale = 4;  // pixels per point of the test renders
// The library's resource bundle, as a device path.
const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";
const std::string kResources = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/";

Strong<IconView> makeIconView(CGRect frame) {
    return Strong<IconView>::adopt(static_cast<IconView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(IconView::cls(), "alloc"_sel), "initWithFrame:"_sel, frame)));
}

struct Render {
    Strong<UIImage> image;

    // The pixel at a point (its pixel's centre), 0xAARRGGBB premultiplied.
    uint32_t at(double x, double y) const {
        return image->pixel(int(std::floor(x * kScale)), int(std::floor(y * kScale)));
    }
    // The box of every pixel with some paint, in points; empty when none.
    CGRect painted() const {
        int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1;
        for (int y = 0; y < image->pixelHeight(); ++y)
            for (int x = 0; x < image->pixelWidth(); ++x)
                if ((image->pixel(x, y) >> 24) > 0x20) {
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
        if (maxX < 0) return CGRectZero;
        return CGRectMake(minX / kScale, minY / kScale, (maxX + 1 - minX) / kScale, (maxY + 1 - minY) / kScale);
    }
};

// Draws the view's picture into a transparent image context of the view's
// size, as UIKit's render pass would.
Render render(IconView* view) {
    CGRect bounds = objc_msgSend<CGRect()>(view, "bounds"_sel);
    UIGraphicsBeginImageContextWithOptions(bounds.size, NO, kScale);
    objc_msgSend<void(CGRect)>(view, "drawRect:"_sel, bounds);
    Render r{UIGraphicsGetImageFromCurrentImageContext()};
    UIGraphicsEndImageContext();
    return r;
}

// In a view large enough for every picture (the phones reach 303.6 x 324).
Render renderTag(NSInteger tag, int subTag = 0, id penColor = nil) {
    auto view = makeIconView(CGRectMake(0, 0, 330, 330));
    objc_msgSend<void(NSInteger)>(view, "setTag:"_sel, tag);
    objc_msgSend<void(int)>(view, "setSubTag:"_sel, subTag);
    objc_msgSend<void(id)>(view, "setPenColor:"_sel, penColor);
    return render(view);
}

// Colours, premultiplied, with room for antialiasing and JPEG.
bool near(uint32_t pixel, uint32_t want, int tolerance = 3) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((pixel >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > tolerance) return false;
    return true;
}
std::string hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08X", v);
    return b;
}
constexpr uint32_t kGrey = 0xFF808080;   // grayColor
constexpr uint32_t kWhite = 0xFFFFFFFF;  // whiteColor
constexpr uint32_t kNone = 0x00000000;   // transparent

// EXPECT_COLOUR(render, x, y, want[, tolerance])
#define EXPECT_COLOUR(r, x, y, ...) \
    EXPECT_TRUE(near((r).at(x, y), __VA_ARGS__)) << "at (" << (x) << ", " << (y) << "): " << hex((r).at(x, y))

class IconViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cantrel_registerClasses();
        platform::setDeviceIdiom(0);
    }
    void TearDown() override { platform::setDeviceIdiom(0); }

    // Copies a picture of the resources into the library's bundle, under
    // another name when asked.
    void installPicture(const std::string& source, const std::string& name = "") {
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy_file(kResources + source, root.host(kBundle + "/" + (name.empty() ? source : name)));
    }

    test::TempRoot root;
    AutoreleasePool pool;
};

// --- Properties and idiom -------------------------------------------------------

TEST_F(IconViewTest, PropertiesStartEmptyAndKeepWhatIsSet) {
    auto framed = makeIconView(CGRectMake(50, 80, 50, 50));
    auto coded = Strong<IconView>::adopt(static_cast<IconView*>(
        objc_msgSend<id(id)>(objc_msgSend<id()>(IconView::cls(), "alloc"_sel), "initWithCoder:"_sel, nil)));
    ASSERT_NE(coded.get(), nullptr);
    for (IconView* v : {framed.get(), coded.get()}) {
        EXPECT_EQ(objc_msgSend<int()>(v, "themeIndex"_sel), 0);
        EXPECT_EQ(objc_msgSend<int()>(v, "subTag"_sel), 0);
        EXPECT_EQ(objc_msgSend<id()>(v, "penColor"_sel), nil);
    }
    // The nib path clears the background; the frame path leaves UIView's none.
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(objc_msgSend<id()>(coded, "backgroundColor"_sel), "isEqual:"_sel,
                                       objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel)));
    EXPECT_EQ(objc_msgSend<id()>(framed, "backgroundColor"_sel), nil);

    objc_msgSend<void(int)>(framed, "setThemeIndex:"_sel, -7);
    objc_msgSend<void(int)>(framed, "setSubTag:"_sel, INT_MIN);
    EXPECT_EQ(objc_msgSend<int()>(framed, "themeIndex"_sel), -7);
    EXPECT_EQ(objc_msgSend<int()>(framed, "subTag"_sel), INT_MIN);

    // penColor is retained, kept when set again, released when replaced.
    Strong<UIColor> red = UIColor::make(1, 0, 0, 1);
    NSUInteger before = objc_retainCount(red);
    objc_msgSend<void(id)>(framed, "setPenColor:"_sel, red.get());
    EXPECT_EQ(objc_msgSend<id()>(framed, "penColor"_sel), red.get());
    EXPECT_EQ(objc_retainCount(red), before + 1);
    objc_msgSend<void(id)>(framed, "setPenColor:"_sel, red.get());
    EXPECT_EQ(objc_retainCount(red), before + 1);
    objc_msgSend<void(id)>(framed, "setPenColor:"_sel, nil);
    EXPECT_EQ(objc_retainCount(red), before);
    EXPECT_EQ(objc_msgSend<id()>(framed, "penColor"_sel), nil);
}

TEST_F(IconViewTest, IdiomIsTheDevicesOrPhoneForADeviceWithoutIdioms) {
    for (NSInteger idiom : {0L, 1L, 2L, -1L}) {
        platform::setDeviceIdiom(idiom);
        EXPECT_EQ(UI_USER_INTERFACE_IDIOM(), idiom);
    }
    platform::setDeviceIdiom(std::nullopt);
    EXPECT_EQ(UI_USER_INTERFACE_IDIOM(), 0);
}

TEST_F(IconViewTest, ScreenPictureNamesCountFromSubTagPlusOneWithoutOverflow) {
    using cantrel::iconImageName;
    EXPECT_EQ(iconImageName(20, 0), "keyboard_white_1_640x491.jpg");
    EXPECT_EQ(iconImageName(20, 4), "keyboard_white_5_640x491.jpg");
    EXPECT_EQ(iconImageName(20, -1), "keyboard_white_0_640x491.jpg");
    EXPECT_EQ(iconImageName(20, INT_MAX), "keyboard_white_2147483648_640x491.jpg");
    EXPECT_EQ(iconImageName(25, 0), "iCloud_1_640x603.jpg");
    EXPECT_EQ(iconImageName(25, 4), "iCloud_5_640x603.jpg");
    EXPECT_EQ(iconImageName(25, -1), "iCloud_0_640x603.jpg");
    EXPECT_EQ(iconImageName(25, INT_MAX), "iCloud_2147483648_640x603.jpg");
    EXPECT_EQ(iconImageName(19, 4), "widget_640x395.jpg");
    EXPECT_EQ(iconImageName(35, 0), std::nullopt);
}

// --- Every picture's painted box ----------------------------------------------------

// The box a picture paints, strokes included, in points from the view's
// top-left corner on a phone: x from..to, y from..to.
struct Extent {
    NSInteger tag;
    double x0, x1, y0, y1;
};
const Extent kExtents[] = {
    {5, 0.1, 22.2, 0.1, 20.5},      {7, 0.0, 17.7, 0.0, 16.8},      {9, 0.2, 10.4, 0.2, 9.8},
    {15, -0.1, 17.8, -0.1, 16.8},   {16, 1.2, 19.7, 0.4, 18.8},     {18, 0.5, 114.4, 1.1, 48.7},
    {19, 24.0, 303.6, 22.6, 293.6}, {20, 26.8, 303.6, 25.2, 293.6}, {21, 0, 50, 0, 50},
    {22, 0, 50, 0, 50},             {23, 0, 50, 0, 50},             {24, 0.8, 208.0, 1.6, 73.0},
    {25, 24.0, 303.6, 12.2, 324.0}, {33, 0, 50, 0, 50},             {34, 0, 50, 0, 50},
    {35, 0, 50, 0, 50},             {36, 0, 50, 0, 50},             {37, 0, 50, 0, 50},
    {38, 0, 50, 0, 50},
};
const Extent& extentOf(NSInteger tag) {
    for (const Extent& e : kExtents)
        if (e.tag == tag) return e;
    throw std::out_of_range("no extent for tag " + std::to_string(tag));
}

// The painted box matches the given one to within the rounding of its
// figures and a pixel of antialiasing. Nothing paints left of or above the
// view, so the box is clipped there.
void expectExtent(const Render& r, double x0, double x1, double y0, double y1, const std::string& what) {
    SCOPED_TRACE(what);
    constexpr double kTolerance = 0.1 + 1 / kScale;
    CGRect got = r.painted();
    EXPECT_NEAR(CGRectGetMinX(got), std::max(0.0, x0), kTolerance);
    EXPECT_NEAR(CGRectGetMaxX(got), x1, kTolerance);
    EXPECT_NEAR(CGRectGetMinY(got), std::max(0.0, y0), kTolerance);
    EXPECT_NEAR(CGRectGetMaxY(got), y1, kTolerance);
}

TEST_F(IconViewTest, EachPicturePaintsItsExtentAndOtherTagsNothing) {
    installPicture("widget_640x395.jpg");
    installPicture("keyboard_white_1_640x491.jpg");
    installPicture("iCloud_1_640x603.jpg");
    for (const Extent& e : kExtents)
        expectExtent(renderTag(e.tag), e.x0, e.x1, e.y0, e.y1, "tag " + std::to_string(e.tag));

    for (NSInteger tag : {0L, -1L, -35L, 6L, 8L, 10L, 14L, 17L, 26L, 32L, 39L, 135L})
        EXPECT_TRUE(CGRectIsEmpty(renderTag(tag).painted())) << "tag " << tag;
}

// On an iPad four pictures are drawn larger by the ratio of their divisors,
// line widths included: the phone box scaled by it, of the iPad sizes given.
struct PadPicture {
    NSInteger tag;
    double ratio;          // phone divisor / iPad divisor
    double width, height;  // on an iPad
};
const PadPicture kPadPictures[] = {
    {5, 3.5 / 2.8, 27.7, 25.5},
    {7, 4.0 / 2.9, 24.4, 23.1},
    {15, 4.0 / 2.9, 24.7, 23.3},
    {16, 3.5 / 2.6, 24.8, 24.8},
};

TEST_F(IconViewTest, FourPicturesAreLargerOnAnIPadOnly) {
    for (const PadPicture& p : kPadPictures) {
        const Extent& e = extentOf(p.tag);
        platform::setDeviceIdiom(1);
        double x0 = e.x0 * p.ratio, y0 = e.y0 * p.ratio;
        expectExtent(renderTag(p.tag), x0, x0 + p.width, y0, y0 + p.height, "iPad, tag " + std::to_string(p.tag));
        // Any other answer, or none, is a phone.
        for (std::optional<NSInteger> idiom : {std::optional<NSInteger>(2), std::optional<NSInteger>(-1),
                                               std::optional<NSInteger>()}) {
            platform::setDeviceIdiom(idiom);
            expectExtent(renderTag(p.tag), e.x0, e.x1, e.y0, e.y1, "tag " + std::to_string(p.tag));
        }
    }
    // The others keep their size.
    platform::setDeviceIdiom(1);
    for (NSInteger tag : {9L, 35L})
        expectExtent(renderTag(tag), extentOf(tag).x0, extentOf(tag).x1, extentOf(tag).y0, extentOf(tag).y1,
                     "iPad, tag " + std::to_string(tag));
}

// The widths of the painted runs met along a line from `from` in direction
// (dx, dy) (a unit vector) for `length` points: each run's coverage summed
// along the line, which is the width of a stroke crossed at right angles.
std::vector<double> runsAlong(const Render& r, CGPoint from, double dx, double dy, double length) {
    constexpr double kStep = 0.02;
    std::vector<double> runs;
    bool inside = false;
    for (double t = 0; t <= length; t += kStep) {
        double x = from.x + dx * t, y = from.y + dy * t;
        double coverage = x < 0 || y < 0 ? 0 : double(r.at(x, y) >> 24) / 255;
        if (coverage > 0.02) {
            if (!inside) runs.push_back(0);
            runs.back() += coverage * kStep;
        }
        inside = coverage > 0.02;
    }
    return runs;
}

// The width of the stroke at a picture's rightmost point, where the stroke
// runs upright: the first run met leftwards from the right edge of its box
// along the row of that point.
double widthAtRightmostPoint(const Render& r) {
    CGRect box = r.painted();
    double right = CGRectGetMaxX(box) - 0.5 / kScale;
    for (double y = CGRectGetMinY(box); y < CGRectGetMaxY(box); y += 1 / kScale)
        if ((r.at(right, y) >> 24) > 0x20) {
            // The middle of the rows that reach the right edge.
            double last = y;
            while ((r.at(right, last + 1 / kScale) >> 24) > 0x20) last += 1 / kScale;
            std::vector<double> runs = runsAlong(r, CGPointMake(right + 1, (y + last) / 2), -1, 0, 8);
            return runs.empty() ? 0 : runs.front();
        }
    return 0;
}

// Every fully painted pixel of the picture is white.
void expectOnlyWhite(const Render& r) {
    int opaque = 0, white = 0;
    for (int y = 0; y < r.image->pixelHeight(); ++y)
        for (int x = 0; x < r.image->pixelWidth(); ++x) {
            uint32_t p = r.image->pixel(x, y);
            if ((p >> 24) != 0xFF) continue;
            ++opaque;
            white += p == kWhite;
        }
    EXPECT_GT(opaque, 100);
    EXPECT_EQ(white, opaque);
}

TEST_F(IconViewTest, OutlinePicturesAreWhiteStrokesOfTheirWidths) {
    struct Case {
        NSInteger idiom;
        double clip, heart, ring, rocket, window;  // line widths in points
    };
    // 5.5 / S for the paper clip, heart and ring, 3.5 / S and 2.5 / S for the
    // rocket and its window.
    const Case cases[] = {
        {0, 5.5 / 3.5, 5.5 / 4, 5.5 / 4, 3.5 / 3.5, 2.5 / 3.5},
        {1, 5.5 / 2.8, 5.5 / 2.9, 5.5 / 2.9, 3.5 / 2.6, 2.5 / 2.6},
    };
    constexpr double kTolerance = 0.1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.idiom == 1 ? "iPad" : "phone");
        platform::setDeviceIdiom(c.idiom);
        double k = c.idiom == 1 ? 4 / 2.9 : 1;  // the heart's and the ring's enlargement
        Render clip = renderTag(5), heart = renderTag(7), info = renderTag(15), rocket = renderTag(16);
        for (const Render* r : {&clip, &heart, &info, &rocket}) expectOnlyWhite(*r);
        EXPECT_NEAR(widthAtRightmostPoint(clip), c.clip, kTolerance);
        EXPECT_NEAR(widthAtRightmostPoint(heart), c.heart, kTolerance);
        // The ring's right side, crossed on its middle row: the oval
        // (2.5, 2.5, 66, 62) in design units of S 4.
        std::vector<double> ring = runsAlong(info, CGPointMake(12 * k, (2.5 + 31) / 4 * k), 1, 0, 8 * k);
        ASSERT_EQ(ring.size(), 1u);
        EXPECT_NEAR(ring[0], c.ring, kTolerance);
        // Across the rocket's body through its window, at right angles to the
        // body pointing upper right: a side, the window twice, a side.
        double windowX = 15.5 * (c.idiom == 1 ? 3.5 / 2.6 : 1), windowY = 4.7 * (c.idiom == 1 ? 3.5 / 2.6 : 1);
        const double d = std::sqrt(0.5), reach = 6 * (c.idiom == 1 ? 3.5 / 2.6 : 1);
        std::vector<double> across = runsAlong(rocket, CGPointMake(windowX - d * reach, windowY - d * reach), d, d,
                                               2 * reach);
        ASSERT_EQ(across.size(), 4u);
        EXPECT_NEAR(across[0], c.rocket, kTolerance);
        EXPECT_NEAR(across[1], c.window, kTolerance);
        EXPECT_NEAR(across[2], c.window, kTolerance);
        EXPECT_NEAR(across[3], c.rocket, kTolerance);
    }
}

TEST_F(IconViewTest, PicturesKeepTheirPlaceWhateverTheViewSizeOrThemeIndex) {
    Render badge = renderTag(35);
    // In a view four times the badge's size the disc stays at the top left.
    auto big = makeIconView(CGRectMake(0, 0, 200, 200));
    objc_msgSend<void(NSInteger)>(big, "setTag:"_sel, 35);
    objc_msgSend<void(int)>(big, "setThemeIndex:"_sel, 3);
    Render large = render(big);
    expectExtent(large, 0, 50, 0, 50, "disc in a large view");
    for (double xy : {1.0, 10.0, 15.83, 25.0, 40.0})
        EXPECT_EQ(large.at(xy, 25), badge.at(xy, 25)) << "at " << xy;
    // The message badge's 50 x 50 view shows only a phone's upper left part.
    auto small = makeIconView(CGRectMake(0, 0, 50, 50));
    objc_msgSend<void(NSInteger)>(small, "setTag:"_sel, 19);
    Render corner = render(small);
    Render whole = renderTag(19);
    int differing = 0, painted = 0;
    for (int y = 0; y < 50 * kScale; ++y)
        for (int x = 0; x < 50 * kScale; ++x) {
            // Antialiasing may differ slightly between surfaces of other sizes.
            differing += !near(corner.image->pixel(x, y), whole.image->pixel(x, y), 8);
            painted += (corner.image->pixel(x, y) >> 24) != 0;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(painted, 0);
    EXPECT_EQ(corner.image->pixelWidth(), 50 * kScale);
}

// --- Colours of the badges ----------------------------------------------------------

TEST_F(IconViewTest, DiscsAreGreyWithWhiteSignsAndTrueHoles) {
    struct Probe {
        NSInteger tag;
        double x, y;
        uint32_t want;
    };
    const Probe probes[] = {
        // Outside every disc, and the disc itself.
        {33, 2, 2, kNone}, {33, 48, 48, kNone}, {33, 15, 15, kGrey},
        {33, 25, 25, kWhite}, {33, 25, 39.5, kWhite}, {33, 13, 29.5, kWhite},
        {34, 25, 25, kWhite}, {34, 29.5, 13, kWhite}, {34, 25, 45, kGrey},
        // Triangles are outlines: their insides stay grey.
        {35, 15.83, 25, kWhite}, {35, 22, 25, kGrey}, {35, 39.17, 24.83, kWhite},
        {36, 6, 25, kWhite}, {36, 23.17, 30, kWhite}, {36, 30, 25, kGrey}, {36, 14, 25, kGrey},
        {37, 10.83, 25, kWhite}, {37, 35.9, 14.17, kWhite}, {37, 35.9, 25, kGrey}, {37, 20, 25, kGrey},
        {38, 16.33, 22.33, kWhite}, {38, 28, 22.33, kGrey}, {38, 15.5, 34.67, kWhite},
        // The cut-outs are holes; the square inside the ring stays grey.
        {21, 25, 25, kNone}, {21, 16, 16, kNone}, {21, 34, 34, kNone}, {21, 25, 8, kGrey}, {21, 8, 25, kGrey},
        {22, 25, 25, kNone}, {22, 25, 10, kNone}, {22, 40, 25, kNone}, {22, 15, 15, kGrey}, {22, 2, 2, kNone},
        {23, 25, 25, kGrey}, {23, 11.6, 25, kNone}, {23, 25, 38.4, kNone}, {23, 5, 25, kGrey}, {23, 45, 25, kGrey},
    };
    for (const Probe& p : probes) {
        Render r = renderTag(p.tag);
        EXPECT_COLOUR(r, p.x, p.y, p.want) << " tag " << p.tag;
    }
}

TEST_F(IconViewTest, ChainLinkStrokesInPenColourOrTheContextsColour) {
    Render red = renderTag(9, 0, UIColor::make(1, 0, 0, 1));
    Render none = renderTag(9);
    CGRect box = red.painted();
    // Find a fully painted pixel on the links and compare both renders there.
    bool found = false;
    for (double y = box.origin.y; y < CGRectGetMaxY(box) && !found; y += 0.25)
        for (double x = box.origin.x; x < CGRectGetMaxX(box) && !found; x += 0.25)
            if ((red.at(x, y) >> 24) == 0xFF) {
                found = true;
                EXPECT_COLOUR(red, x, y, 0xFFFF0000);
                EXPECT_COLOUR(none, x, y, 0xFF000000);  // the context's black
            }
    EXPECT_TRUE(found);
}

TEST_F(IconViewTest, PlaceholdersDrawPhotographsAndWordsInTheirGreys) {
    Render noImage = renderTag(18);
    Render tooLarge = renderTag(24);
    // NO IMAGE: the I's top bar; the back card; nothing between card and words.
    EXPECT_COLOUR(noImage, 78.8, 11.9, 0xFF555555);  // darkGrayColor (1/3)
    EXPECT_COLOUR(noImage, 10, 40, kGrey);
    EXPECT_COLOUR(noImage, 52, 30, kNone);
    // The back card, the front frame and the L of LARGE.
    EXPECT_COLOUR(tooLarge, 10, 60, 0xFFCFCFCF);     // grey 0.811
    EXPECT_COLOUR(tooLarge, 20, 10, 0xFFBCBCBC);     // grey 0.736
    EXPECT_COLOUR(tooLarge, 117, 37.6, 0xFFAAAAAA);  // lightGrayColor (2/3)
    EXPECT_COLOUR(tooLarge, 125, 44.6, kNone);
}

// --- The phones and their pictures ----------------------------------------------------

TEST_F(IconViewTest, PhonesShowTheNamedPictureUprightOrNothingWithoutIt) {
    // Picture 20, subTag 4: keyboard 5. Its top-left tile starts at (36.8, 26);
    // a key's white lies at image pixel (32, 66), the keyboard's grey at (3, 3).
    installPicture("keyboard_white_1_640x491.jpg", "keyboard_white_5_640x491.jpg");
    Render keyboard = renderTag(20, 4);
    EXPECT_COLOUR(keyboard, 36.8 + 32 * 0.4, 26 + 66 * 0.4, kWhite, 10);
    EXPECT_COLOUR(keyboard, 36.8 + 3 * 0.4, 26 + 3 * 0.4, 0xFFD1D4DB, 10);
    // subTag 0 names keyboard 1, which is not there: the screen stays empty,
    // and the rest of the phone is drawn all the same.
    Render empty = renderTag(20, 0);
    EXPECT_COLOUR(empty, 36.8 + 32 * 0.4, 26 + 66 * 0.4, kNone);
    EXPECT_COLOUR(empty, 165.2, 238.4 + 22, 0xFFFCFCFC, 2);  // home button, grey 0.986

    // Picture 25, subTag 1: the second sky; without it the screen's grey 0.986.
    installPicture("iCloud_2_640x603.jpg");
    EXPECT_COLOUR(renderTag(25, 1), 42, 83.5, 0xFF8E74DA, 12);
    EXPECT_COLOUR(renderTag(25, 0), 42, 83.5, 0xFFFCFCFC, 2);

    // Picture 19: the widget tile starts below the tabs at (40.8, 133.2).
    installPicture("widget_640x395.jpg");
    Render widget = renderTag(19);
    EXPECT_COLOUR(widget, 42, 136, 0xFF292B33, 12);
    EXPECT_COLOUR(widget, 55, 118, 0xFFCFCFCF, 3);  // left tab, grey 0.813, beside its label
}

}  // namespace
