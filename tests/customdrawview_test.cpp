// CustomDrawView's glyphs by tag and subTag: colour probes at points of
// each glyph, the box each paints against its stated extent, the tags that
// draw nothing, and subTag changing only the alarm clock. Built twice: with
// the library, and as the settings plug-in builds the class (tags 12 and 13
// drawing nothing there).
#include <gtest/gtest.h>

#include "CustomDrawView.h"

#include <Foundation/Foundation.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIKit.h>

#include <cairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double kScale = 4;
constexpr double kSide = 80;

struct Picture {
    cairo_surface_t* s;
    ~Picture() { cairo_surface_destroy(s); }
    uint32_t at(double x, double y) const {
        auto* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        return *reinterpret_cast<uint32_t*>(data + int(std::floor(y * kScale)) * stride + int(std::floor(x * kScale)) * 4);
    }
    CGRect painted() const {
        int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
        int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if ((at(x / kScale, y / kScale) >> 24) > 0x20) {
                    minX = std::min(minX, x), maxX = std::max(maxX, x);
                    minY = std::min(minY, y), maxY = std::max(maxY, y);
                }
        if (maxX < 0) return CGRectZero;
        return CGRectMake(minX / kScale, minY / kScale, (maxX + 1 - minX) / kScale, (maxY + 1 - minY) / kScale);
    }
    bool sameAs(const Picture& o) const {
        int n = cairo_image_surface_get_stride(s) * cairo_image_surface_get_height(s);
        return std::equal(cairo_image_surface_get_data(s), cairo_image_surface_get_data(s) + n, cairo_image_surface_get_data(o.s));
    }
};

Strong<UIView> glyphView(NSInteger tag, NSInteger subTag) {
    registerCustomDrawView();
    auto v = Strong<UIView>::adopt(static_cast<UIView*>(objc_msgSend<id(CGRect)>(
        objc_msgSend<id()>(CustomDrawView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, kSide, kSide))));
    objc_msgSend<void(NSInteger)>(v.get(), "setTag:"_sel, tag);
    objc_msgSend<void(NSInteger)>(v.get(), "setSubTag:"_sel, subTag);
    return v;
}

Picture draw(NSInteger tag, NSInteger subTag = 0) {
    AutoreleasePool pool;
    return Picture{platform::renderView(glyphView(tag, subTag).get(), kScale)};
}

// Opaque colours, premultiplied ARGB, with room for antialiasing.
constexpr uint32_t kRed = 0xFFFF0000, kWhite = 0xFFFFFFFF, kDarkGray = 0xFF555555, kGray = 0xFF808080,
                   kLightGray = 0xFFAAAAAA, kClear = 0;
bool near(uint32_t pixel, uint32_t want) {
    for (int shift = 0; shift < 32; shift += 8)
        if (std::abs(int((pixel >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 8) return false;
    return true;
}

struct Probe {
    NSInteger tag;
    NSInteger subTag;
    double x, y;
    uint32_t colour;
};

#ifdef CUSTOM_DRAW_VIEW_SETTINGS_BUILD
constexpr bool kLibraryBuild = false;
#else
constexpr bool kLibraryBuild = true;
#endif

TEST(CustomDrawView, EachGlyphHasItsColoursWhereItsShapesAre) {
    std::vector<Probe> probes = {
        // Alarm clock: subTag 0 dark grey outline, 1 filled red with white
        // hands, any other value a red outline with white hands.
        {1, 0, 11.125, 9.4, kDarkGray}, {1, 0, 15, 23, kClear}, {1, 0, 11.125, 15, kDarkGray},
        {1, 1, 15, 23, kRed}, {1, 1, 11.125, 15, kWhite},
        {1, 2, 11.125, 9.4, kRed}, {1, 2, 15, 23, kClear}, {1, 2, 11.125, 15, kWhite},
        // Sampled wave and square pulse, grey.
        {2, 0, 9.25, 3, kGray}, {2, 0, 10.25, 3, kClear}, {2, 0, 28.25, 17, kGray}, {2, 0, 28.25, 3, kClear},
        {3, 0, 5.5, 5, kGray}, {3, 0, 3, 5, kClear}, {3, 0, 11.5, 18, kGray},
        // Guitars, red.
        {4, 0, 14.75, 22, kRed}, {4, 0, 30, 14, kClear},
        // Photographs: the back card light grey, the front frame and the
        // landscape grey, the window open.
        {5, 0, 8, 20, kLightGray}, {5, 0, 15, 40, kGray}, {5, 0, 40, 30, kClear}, {5, 0, 33, 45, kGray},
        // Eighth note: head, flag, stem.
        {6, 0, 11.5, 22, kRed}, {6, 0, 18, 5, kRed}, {6, 0, 15, 10, kRed}, {6, 0, 10, 10, kClear},
        // Singer and microphone.
        {7, 0, 22, 10, kRed}, {7, 0, 5.2, 20, kRed}, {7, 0, 9, 5, kClear},
        // Record sleeve: red square, white note.
        {8, 0, 9, 11, kRed}, {8, 0, 12, 18, kWhite}, {8, 0, 3, 3, kClear},
        // Piano: body and black keys red, the keys' face open.
        {9, 0, 12, 10, kRed}, {9, 0, 4.49, 18, kRed}, {9, 0, 6, 22, kClear},
        // Playlist: red square, white lines and note.
        {10, 0, 5, 20, kRed}, {10, 0, 10, 9.23, kWhite}, {10, 0, 19.0, 12, kWhite},
        // Pointing hand: an outline only.
        {11, 0, 10, 14, kClear},
    };
    if (kLibraryBuild) {
        std::vector<Probe> more = {{12, 0, 14.612, 25.8, kRed}, {12, 0, 14.608, 5.2, kRed}, {12, 0, 14.6, 14, kClear},
                                   {13, 0, 14.18, 15, kRed}, {13, 0, 2, 2, kClear}};
        probes.insert(probes.end(), more.begin(), more.end());
    }
    for (const Probe& p : probes) {
        Picture pic = draw(p.tag, p.subTag);
        EXPECT_TRUE(near(pic.at(p.x, p.y), p.colour))
            << "tag " << p.tag << " subTag " << p.subTag << " at " << p.x << "," << p.y << ": " << std::hex
            << pic.at(p.x, p.y) << " want " << p.colour;
    }
}

// Each glyph paints inside its stated extent (strokes included, with a
// point of slack) and fills most of it, at its own size in any view.
TEST(CustomDrawView, GlyphsPaintTheirExtents) {
    struct Extent {
        NSInteger tag;
        double x0, x1, y0, y1;
    };
    std::vector<Extent> extents = {
        {1, 0.3, 21.9, 7.6, 29.1},   {2, 0.5, 37, 0, 20},         {3, 0, 16.8, 0.2, 21.8},   {4, 1.0, 26.7, 0.9, 27.4},
        {5, 0.8, 73.5, 1.6, 73.0},   {6, 7.5, 21.75, 1.5, 25.1},  {7, 0.15, 27.0, 4.9, 25.4}, {8, 6.9, 23.7, 5.9, 24.9},
        {9, 1.4, 25.5, 6.4, 24.2},   {10, 3.2, 25.2, 3.4, 25.4},  {11, 0.6, 16.6, 0.6, 18.5},
    };
    if (kLibraryBuild) {
        extents.push_back({12, 0.6, 28.6, 0.6, 27.0});
        extents.push_back({13, 1.0, 27.4, 1.0, 27.5});
    }
    for (const Extent& e : extents) {
        SCOPED_TRACE(e.tag);
        CGRect box = draw(e.tag, 1).painted();
        EXPECT_GE(CGRectGetMinX(box), e.x0 - 1);
        EXPECT_LE(CGRectGetMaxX(box), e.x1 + 1);
        EXPECT_GE(CGRectGetMinY(box), e.y0 - 1);
        EXPECT_LE(CGRectGetMaxY(box), e.y1 + 1);
        EXPECT_GE(box.size.width, 0.85 * (e.x1 - e.x0));
        EXPECT_GE(box.size.height, 0.85 * (e.y1 - e.y0));
    }
}

// Tag 0 (the toolbars' containers), negative tags and tags past the last
// glyph draw nothing; so do the heart and the star in the plug-in's build.
TEST(CustomDrawView, OtherTagsDrawNothing) {
    std::vector<NSInteger> none = {0, -1, 14, 99};
    if (!kLibraryBuild) none.insert(none.end(), {12, 13});
    for (NSInteger tag : none) EXPECT_TRUE(CGRectIsEmpty(draw(tag).painted())) << tag;
}

// subTag changes the alarm clock alone.
TEST(CustomDrawView, SubTagChangesOnlyTheAlarmClock) {
    for (NSInteger tag = 2; tag <= 13; ++tag) {
        Picture zero = draw(tag, 0);
        for (NSInteger sub : {1, 4}) EXPECT_TRUE(zero.sameAs(draw(tag, sub))) << "tag " << tag << " subTag " << sub;
    }
    EXPECT_FALSE(draw(1, 0).sameAs(draw(1, 1)));
    EXPECT_FALSE(draw(1, 1).sameAs(draw(1, 2)));
}

// The coder path leaves a clear background and subTag 0; the heart keeps
// its view's background clear.
TEST(CustomDrawView, CoderDefaultsAndTheHeartsClearBackground) {
    registerCustomDrawView();
    AutoreleasePool pool;
    id v = objc_msgSend<id(id)>(objc_msgSend<id()>(CustomDrawView::cls(), "alloc"_sel), "initWithCoder:"_sel, nil);
    EXPECT_EQ(objc_msgSend<NSInteger()>(v, "subTag"_sel), 0);
    double a = 1;
    objc_msgSend<BOOL(double*, double*, double*, double*)>(objc_msgSend<id()>(v, "backgroundColor"_sel),
                                                          "getRed:green:blue:alpha:"_sel, nullptr, nullptr, nullptr, &a);
    EXPECT_EQ(a, 0);
    objc_msgSend<void(id)>(v, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "whiteColor"_sel));
    objc_msgSend<void(NSInteger)>(v, "setTag:"_sel, 12);
    objc_msgSend<void(CGRect)>(v, "setFrame:"_sel, CGRectMake(0, 0, 30, 30));
    cairo_surface_destroy(platform::renderView(static_cast<UIView*>(v), 1));
    objc_msgSend<BOOL(double*, double*, double*, double*)>(objc_msgSend<id()>(v, "backgroundColor"_sel),
                                                          "getRed:green:blue:alpha:"_sel, nullptr, nullptr, nullptr, &a);
    EXPECT_EQ(a, kLibraryBuild ? 0 : 1);
    objc_release(v);
}

}  // namespace
