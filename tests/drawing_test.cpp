// Drawing on the cairo backend: paths, clips, images, text, the render pass,
// blur availability and view animation.
#include <Foundation/NSDictionary.h>
#include <UIKit/CALayer.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIVisualEffectView.h>
#include <platform/RunLoop.h>

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <filesystem>
#include <functional>

namespace {

// An image context of `w` x `h` points at scale 1, drawn by `draw`.
Strong<UIImage> drawImage(double w, double h, const std::function<void()>& draw) {
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(w, h), NO, 1);
    draw();
    Strong<UIImage> image(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    return image;
}

Strong<UIImage> render(UIView* view, double scale = 1) {
    return Strong<UIImage>(UIImage::withSurface(platform::renderView(view, scale), scale));
}

uint32_t alphaOf(uint32_t p) { return p >> 24; }
uint32_t redOf(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t greenOf(uint32_t p) { return (p >> 8) & 0xFF; }
uint32_t blueOf(uint32_t p) { return p & 0xFF; }

id path(const char* sel, CGRect r) {
    return objc_msgSend<id(CGRect)>(UIBezierPath::cls(), sel_registerName(sel), r);
}

void setFill(UIColor* c) { objc_msgSend<void()>(c, "setFill"_sel); }
void setStroke(UIColor* c) { objc_msgSend<void()>(c, "setStroke"_sel); }

Strong<UIView> makeView(CGRect frame, UIColor* background = nil, Class cls = UIView::cls()) {
    auto v = Strong<UIView>::adopt(static_cast<UIView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithFrame:"_sel, frame)));
    objc_msgSend<void(id)>(v.get(), "setBackgroundColor:"_sel, background);
    return v;
}

UIColor* red() { return UIColor::make(1, 0, 0, 1); }
UIColor* blue() { return UIColor::make(0, 0, 1, 1); }
UIColor* green() { return UIColor::make(0, 1, 0, 1); }

// --- Paths ----------------------------------------------------------------------

TEST(DrawingPaths, FillAndStrokeCoverTheirShapesOnly) {
    AutoreleasePool pool;
    auto img = drawImage(40, 40, [] {
        setFill(red());
        objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(5, 5, 10, 10)), "fill"_sel);
        id line = objc_msgSend<id()>(UIBezierPath::cls(), "bezierPath"_sel);
        objc_msgSend<void(CGPoint)>(line, "moveToPoint:"_sel, CGPointMake(0, 30));
        objc_msgSend<void(CGPoint)>(line, "addLineToPoint:"_sel, CGPointMake(40, 30));
        objc_msgSend<void(double)>(line, "setLineWidth:"_sel, 4.0);
        setStroke(blue());
        objc_msgSend<void()>(line, "stroke"_sel);
        // An oval and an arc: filled inside, nothing at the oval's box corner.
        setFill(green());
        objc_msgSend<void()>(path("bezierPathWithOvalInRect:", CGRectMake(20, 0, 20, 20)), "fill"_sel);
    });
    EXPECT_EQ(img->pixel(10, 10), 0xFFFF0000u);
    EXPECT_EQ(img->pixel(3, 10), 0u);
    EXPECT_EQ(img->pixel(17, 10), 0u);
    EXPECT_EQ(img->pixel(20, 30), 0xFF0000FFu);
    EXPECT_EQ(img->pixel(20, 29), 0xFF0000FFu);
    EXPECT_EQ(img->pixel(20, 26), 0u);
    EXPECT_EQ(img->pixel(30, 10), 0xFF00FF00u);
    EXPECT_EQ(img->pixel(21, 1), 0u);
}

TEST(DrawingPaths, WindingRulesDecideWhatAHoleIs) {
    AutoreleasePool pool;
    // Outer square clockwise; inner square the same way or against it.
    auto squares = [](bool innerReversed, bool evenOdd) {
        return drawImage(30, 30, [=] {
            id p = objc_msgSend<id()>(UIBezierPath::cls(), "bezierPath"_sel);
            auto poly = [&](std::vector<CGPoint> pts) {
                objc_msgSend<void(CGPoint)>(p, "moveToPoint:"_sel, pts[0]);
                for (size_t i = 1; i < pts.size(); ++i) objc_msgSend<void(CGPoint)>(p, "addLineToPoint:"_sel, pts[i]);
                objc_msgSend<void()>(p, "closePath"_sel);
            };
            poly({{0, 0}, {30, 0}, {30, 30}, {0, 30}});
            if (innerReversed) poly({{10, 10}, {10, 20}, {20, 20}, {20, 10}});
            else poly({{10, 10}, {20, 10}, {20, 20}, {10, 20}});
            objc_msgSend<void(BOOL)>(p, "setUsesEvenOddFillRule:"_sel, evenOdd);
            setFill(red());
            objc_msgSend<void()>(p, "fill"_sel);
        });
    };
    EXPECT_EQ(squares(false, false)->pixel(15, 15), 0xFFFF0000u);  // same winding: filled
    EXPECT_EQ(squares(true, false)->pixel(15, 15), 0u);            // wound against: a hole
    EXPECT_EQ(squares(false, true)->pixel(15, 15), 0u);            // even-odd: a hole
    EXPECT_EQ(squares(false, true)->pixel(5, 5), 0xFFFF0000u);
}

TEST(DrawingPaths, ZeroWidthLinesShowAndClipsLimitDrawing) {
    AutoreleasePool pool;
    auto img = drawImage(20, 20, [] {
        id line = objc_msgSend<id()>(UIBezierPath::cls(), "bezierPath"_sel);
        objc_msgSend<void(CGPoint)>(line, "moveToPoint:"_sel, CGPointMake(0, 5.5));
        objc_msgSend<void(CGPoint)>(line, "addLineToPoint:"_sel, CGPointMake(20, 5.5));
        objc_msgSend<void(double)>(line, "setLineWidth:"_sel, 0.0);
        setStroke(UIColor::make(0, 0, 0, 1));
        objc_msgSend<void()>(line, "stroke"_sel);

        CGContextRef c = UIGraphicsGetCurrentContext();
        CGContextSaveGState(c);
        objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(10, 10, 5, 5)), "addClip"_sel);
        setFill(red());
        objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(0, 8, 20, 12)), "fill"_sel);
        CGContextRestoreGState(c);
        // After the restore the clip is gone, and the fill colour is the saved one.
        EXPECT_EQ(platform::contextFillColor(c).red, 0);
        setFill(red());
        objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(0, 18, 2, 2)), "fill"_sel);
    });
    EXPECT_EQ(alphaOf(img->pixel(10, 5)), 0xFFu);
    EXPECT_EQ(img->pixel(10, 4), 0u);
    EXPECT_EQ(img->pixel(12, 12), 0xFFFF0000u);
    EXPECT_EQ(img->pixel(5, 12), 0u);
    EXPECT_EQ(img->pixel(17, 12), 0u);
    EXPECT_EQ(img->pixel(1, 19), 0xFFFF0000u);
}

TEST(DrawingPaths, RoundedRectsArcsAndBounds) {
    AutoreleasePool pool;
    id rounded = objc_msgSend<id(CGRect, double)>(UIBezierPath::cls(), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                                                  CGRectMake(0, 0, 20, 20), 8.0);
    CGRect b = objc_msgSend<CGRect()>(rounded, "bounds"_sel);
    EXPECT_NEAR(b.size.width, 20, 1e-9);
    EXPECT_NEAR(b.size.height, 20, 1e-9);
    auto img = drawImage(20, 20, [&] {
        setFill(red());
        objc_msgSend<void()>(rounded, "fill"_sel);
    });
    EXPECT_EQ(img->pixel(0, 0), 0u);
    EXPECT_EQ(img->pixel(10, 0), 0xFFFF0000u);
    EXPECT_EQ(img->pixel(10, 10), 0xFFFF0000u);

    // A half circle below its centre, clockwise on screen from 0 to pi.
    auto half = drawImage(20, 20, [] {
        id p = objc_msgSend<id()>(UIBezierPath::cls(), "bezierPath"_sel);
        objc_msgSend<void(CGPoint, double, double, double, BOOL)>(
            p, "addArcWithCenter:radius:startAngle:endAngle:clockwise:"_sel, CGPointMake(10, 10), 8.0, 0.0, M_PI, YES);
        objc_msgSend<void()>(p, "closePath"_sel);
        setFill(blue());
        objc_msgSend<void()>(p, "fill"_sel);
    });
    EXPECT_EQ(half->pixel(10, 15), 0xFF0000FFu);
    EXPECT_EQ(half->pixel(10, 5), 0u);
}

// --- Images ---------------------------------------------------------------------

TEST(DrawingImages, TiledAndSingleImagesAreDrawnBottomUp) {
    AutoreleasePool pool;
    // A 2 x 2 picture: top row red, bottom row blue.
    Strong<UIImage> tile = drawImage(2, 2, [] {
        setFill(red());
        objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(0, 0, 2, 1)), "fill"_sel);
        setFill(blue());
        objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(0, 1, 2, 1)), "fill"_sel);
    });
    CGImageRef cg = objc_msgSend<CGImage*()>(tile.get(), "CGImage"_sel);
    ASSERT_NE(cg, nullptr);
    EXPECT_EQ(CGImageGetWidth(cg), 2u);
    auto tiled = drawImage(8, 8, [&] {
        CGContextRef c = UIGraphicsGetCurrentContext();
        CGContextClipToRect(c, CGRectMake(0, 0, 8, 6));
        CGContextDrawTiledImage(c, CGRectMake(0, 0, 2, 2), cg);
    });
    // Bottom-up in a UIKit context: the first row lands at the bottom of a tile.
    for (int x : {0, 3, 6}) {
        EXPECT_EQ(tiled->pixel(x, 0), 0xFF0000FFu) << x;
        EXPECT_EQ(tiled->pixel(x, 1), 0xFFFF0000u) << x;
        EXPECT_EQ(tiled->pixel(x, 4), 0xFF0000FFu) << x;
    }
    EXPECT_EQ(tiled->pixel(3, 7), 0u);  // outside the clip
    // Flipped first, the picture is upright.
    auto upright = drawImage(4, 4, [&] {
        CGContextRef c = UIGraphicsGetCurrentContext();
        CGContextTranslateCTM(c, 0, 4);
        CGContextScaleCTM(c, 1, -1);
        CGContextDrawImage(c, CGRectMake(0, 0, 4, 4), cg);
    });
    EXPECT_EQ(upright->pixel(1, 0), 0xFFFF0000u);
    EXPECT_EQ(upright->pixel(1, 3), 0xFF0000FFu);

    // An image view shows its image upright, scaled to its bounds.
    id imageView = objc_autorelease(
        objc_msgSend<id(id)>(objc_msgSend<id()>(UIImageView::cls(), "alloc"_sel), "initWithImage:"_sel, tile.get()));
    objc_msgSend<void(CGRect)>(imageView, "setFrame:"_sel, CGRectMake(0, 0, 10, 10));
    auto shown = render(static_cast<UIView*>(imageView));
    EXPECT_EQ(shown->pixel(5, 1), 0xFFFF0000u);
    EXPECT_EQ(shown->pixel(5, 8), 0xFF0000FFu);
}

TEST(DrawingImages, ImageNamedLooksInTheAppBundle) {
    test::TempRoot root;
    AutoreleasePool pool;
    Strong<UIImage> pic = drawImage(4, 2, [] {});
    std::filesystem::create_directories(root.host("/Applications/Music.app"));
    ASSERT_EQ(cairo_surface_write_to_png(pic->surface(), root.host("/Applications/Music.app/pic@2x.png").c_str()),
              CAIRO_STATUS_SUCCESS);
    id named = objc_msgSend<id(id)>(UIImage::cls(), "imageNamed:"_sel, "pic"_ns);
    ASSERT_NE(named, nil);
    EXPECT_EQ(objc_msgSend<double()>(named, "scale"_sel), 2);
    EXPECT_TRUE(CGSizeEqualToSize(objc_msgSend<CGSize()>(named, "size"_sel), CGSizeMake(2, 1)));
    EXPECT_EQ(objc_msgSend<id(id)>(UIImage::cls(), "imageNamed:"_sel, "missing"_ns), nil);
}

// A file read by name comes from its "@2x" (or "@3x") variant on a screen of
// that scale when the variant is there, as on the platform.
TEST(DrawingImages, FilesAreReadAtTheScreensScale) {
    test::TempRoot root;
    AutoreleasePool pool;
    Strong<UIImage> pic = drawImage(4, 2, [] {});
    for (const char* name : {"pic.png", "pic@2x.png", "only.png"})
        ASSERT_EQ(cairo_surface_write_to_png(pic->surface(), root.host(name).c_str()), CAIRO_STATUS_SUCCESS);
    struct Case {
        double screenScale;
        const char* asked;
        const char* read;
        double scale;
    };
    const Case cases[] = {
        {1, "pic.png", "pic.png", 1},       {2, "pic.png", "pic@2x.png", 2},   {3, "pic.png", "pic.png", 1},
        {1, "pic@2x.png", "pic@2x.png", 2}, {2, "only.png", "only.png", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.asked << " at scale " << c.screenScale);
        platform::setMainScreen(CGSizeMake(320, 480), c.screenScale);
        auto* image = static_cast<UIImage*>(
            objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, NSString::make(c.asked)));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->_fileName, c.read);
        EXPECT_EQ(objc_msgSend<double()>(image, "scale"_sel), c.scale);
    }
    platform::resetMainScreen();
}

// --- Text -----------------------------------------------------------------------

TEST(DrawingText, TextDrawsInsideItsRectInItsColourOnly) {
    AutoreleasePool pool;
    CGRect rect = CGRectMake(10, 10, 60, 30);
    id font = objc_msgSend<id(id, double)>(UIFont::cls(), "fontWithName:size:"_sel, "Helvetica-Bold"_ns, 20.0);
    ASSERT_NE(font, nil);
    EXPECT_EQ(objc_msgSend<id(id, double)>(UIFont::cls(), "fontWithName:size:"_sel, "NoSuchFont"_ns, 20.0), nil);
    EXPECT_GT(objc_msgSend<double()>(font, "lineHeight"_sel), 20.0);
    NSDictionary* attrs = NSDictionary::make({{NSFontAttributeName, font}, {NSForegroundColorAttributeName, red()}});
    auto img = drawImage(100, 60, [&] {
        objc_msgSend<void(CGRect, id)>("Wide words wrap and overflow here"_ns, "drawInRect:withAttributes:"_sel, rect,
                                       attrs);
    });
    int inside = 0, outside = 0, otherColour = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            uint32_t p = img->pixel(x, y);
            if (alphaOf(p) == 0) continue;
            bool in = x >= 10 && x < 70 && y >= 10 && y < 40;
            (in ? inside : outside)++;
            if (greenOf(p) != 0 || blueOf(p) != 0 || redOf(p) != alphaOf(p)) otherColour++;
        }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(otherColour, 0);

    CGSize one = objc_msgSend<CGSize(id)>("Hi"_ns, "sizeWithAttributes:"_sel, attrs);
    CGSize two = objc_msgSend<CGSize(id)>("Hi\nHi"_ns, "sizeWithAttributes:"_sel, attrs);
    EXPECT_GT(one.width, 10);
    EXPECT_NEAR(two.height, 2 * one.height, 1.01);
}

TEST(DrawingText, CharactersTheMainFaceLacksAreDrawnWithAFallbackFace) {
    AutoreleasePool pool;
    NSDictionary* attrs =
        NSDictionary::make({{NSFontAttributeName, UIFont::system(40)}, {NSForegroundColorAttributeName, red()}});
    // U+2715 MULTIPLICATION X: a cross, not the empty box of a missing glyph.
    NSString* cross = NSString::make("\xE2\x9C\x95");
    CGSize size = objc_msgSend<CGSize(id)>(cross, "sizeWithAttributes:"_sel, attrs);
    EXPECT_GT(size.width, 10);
    auto img = drawImage(60, 60, [&] {
        objc_msgSend<void(CGRect, id)>(cross, "drawInRect:withAttributes:"_sel, CGRectMake(0, 0, 60, 60), attrs);
    });
    // The bounds of the ink, all of it red.
    int left = 60, right = -1, top = 60, bottom = -1, otherColour = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            uint32_t p = img->pixel(x, y);
            if (alphaOf(p) == 0) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
            if (greenOf(p) != 0 || blueOf(p) != 0 || redOf(p) != alphaOf(p)) otherColour++;
        }
    ASSERT_GT(right - left, 10);
    ASSERT_GT(bottom - top, 10);
    EXPECT_EQ(otherColour, 0);
    auto inked = [&](double fx, double fy) {
        int x = static_cast<int>(std::lround(left + fx * (right - left)));
        int y = static_cast<int>(std::lround(top + fy * (bottom - top)));
        return alphaOf(img->pixel(x, y)) > 128;
    };
    EXPECT_TRUE(inked(0.5, 0.5));                        // the centre
    EXPECT_TRUE(inked(0.25, 0.25));                      // both diagonals
    EXPECT_TRUE(inked(0.75, 0.25));
    EXPECT_FALSE(inked(0.5, 0.05));                      // not a box: the middles of its edges are empty
    EXPECT_FALSE(inked(0.05, 0.5));

    // Plain ASCII measures as Liberation Sans alone does.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 40);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, options);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "Hello, World", &e);
    cairo_font_options_destroy(options);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    EXPECT_DOUBLE_EQ(platform::text::width(platform::text::Face{false, 40}, "Hello, World"), e.x_advance);
    CGSize hello = objc_msgSend<CGSize(id)>("Hello, World"_ns, "sizeWithAttributes:"_sel, attrs);
    EXPECT_EQ(hello.width, std::ceil(e.x_advance));
}

// Chinese, Japanese and Korean characters and emoji are drawn with faces that
// have them: each its own glyph, not the one box every missing character gets.
TEST(DrawingText, CjkCharactersAndEmojiAreDrawnNotBoxes) {
    AutoreleasePool pool;
    NSDictionary* attrs =
        NSDictionary::make({{NSFontAttributeName, UIFont::system(40)}, {NSForegroundColorAttributeName, red()}});
    auto inkOf = [&](const char* utf8) {
        auto img = drawImage(60, 60, [&] {
            objc_msgSend<void(CGRect, id)>(NSString::make(utf8), "drawInRect:withAttributes:"_sel,
                                           CGRectMake(0, 0, 60, 60), attrs);
        });
        std::vector<bool> ink(60 * 60);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) ink[y * 60 + x] = alphaOf(img->pixel(x, y)) > 128;
        return std::make_pair(ink, img);
    };
    // U+6771 and U+4EAC (Tokyo), U+D55C (a Hangul syllable), U+3042 (hiragana a):
    // four different pictures, each with ink, none the same as another.
    const char* cjk[] = {"\xE6\x9D\xB1", "\xE4\xBA\xAC", "\xED\x95\x9C", "\xE3\x81\x82"};
    std::vector<std::vector<bool>> pictures;
    for (const char* ch : cjk) {
        auto [ink, img] = inkOf(ch);
        EXPECT_GT(std::count(ink.begin(), ink.end(), true), 60) << ch;
        CGSize size = objc_msgSend<CGSize(id)>(NSString::make(ch), "sizeWithAttributes:"_sel, attrs);
        EXPECT_GT(size.width, 36) << ch;  // a full-width character: about as wide as the font is tall
        pictures.push_back(ink);
    }
    for (size_t i = 0; i < pictures.size(); ++i)
        for (size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_TRUE(pictures[i] != pictures[j]) << cjk[i] << " and " << cjk[j] << " look the same";

    // U+1F3B5 MUSICAL NOTE and U+1F600 GRINNING FACE: colour pictures (ink in
    // colours other than the text's red), and not the same picture.
    auto [note, noteImage] = inkOf("\xF0\x9F\x8E\xB5");
    auto [face, faceImage] = inkOf("\xF0\x9F\x98\x80");
    EXPECT_TRUE(note != face) << "two emoji look the same";
    int coloured = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            uint32_t p = faceImage->pixel(x, y);
            if (alphaOf(p) > 200 && (greenOf(p) > 60 || blueOf(p) > 60)) coloured++;
        }
    EXPECT_GT(coloured, 100);
}

TEST(DrawingText, LabelsShrinkToFitWhenAsked) {
    AutoreleasePool pool;
    auto label = makeView(CGRectMake(0, 0, 100, 50), nil, UILabel::cls());
    objc_msgSend<void(id)>(label.get(), "setText:"_sel, "Preparing Tracks"_ns);
    objc_msgSend<void(id)>(label.get(), "setFont:"_sel, UIFont::system(40, true));
    objc_msgSend<void(NSInteger)>(label.get(), "setNumberOfLines:"_sel, 0);
    auto* l = static_cast<UILabel*>(label.get());
    EXPECT_EQ(l->fittedPointSize(CGSizeMake(100, 50)), 40);
    objc_msgSend<void(BOOL)>(label.get(), "setAdjustsFontSizeToFitWidth:"_sel, YES);
    double fitted = l->fittedPointSize(CGSizeMake(100, 50));
    EXPECT_LT(fitted, 40);
    platform::text::Face face{true, fitted};
    EXPECT_LE(platform::text::width(face, "Preparing"), 100);
    EXPECT_LE(2 * platform::text::metrics(face).lineHeight, 50.01);
    // A larger size would not fit.
    face.size = fitted + 1;
    EXPECT_TRUE(platform::text::width(face, "Preparing") > 100 || 2 * platform::text::metrics(face).lineHeight > 50);

    // Drawn centred in the label's colour by the render pass.
    objc_msgSend<void(id)>(label.get(), "setTextColor:"_sel, blue());
    objc_msgSend<void(NSInteger)>(label.get(), "setTextAlignment:"_sel, NSTextAlignmentCenter);
    auto img = render(label.get());
    int blueInk = 0;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            if (img->pixel(x, y) == 0xFF0000FFu) blueInk++;
    EXPECT_GT(blueInk, 30);
}

// --- The render pass --------------------------------------------------------------

TEST(RenderPass, BackgroundsSubviewOrderAlphaAndHidden) {
    AutoreleasePool pool;
    auto root = makeView(CGRectMake(50, 50, 40, 40), red());
    auto back = makeView(CGRectMake(0, 0, 20, 20), blue());
    auto front = makeView(CGRectMake(10, 10, 20, 20), green());
    auto faint = makeView(CGRectMake(30, 0, 10, 10), blue());
    auto hidden = makeView(CGRectMake(0, 30, 10, 10), blue());
    for (UIView* v : {back.get(), front.get(), faint.get(), hidden.get()})
        objc_msgSend<void(id)>(root.get(), "addSubview:"_sel, v);
    objc_msgSend<void(double)>(faint.get(), "setAlpha:"_sel, 0.5);
    objc_msgSend<void(BOOL)>(hidden.get(), "setHidden:"_sel, YES);
    EXPECT_TRUE(objc_msgSend<BOOL()>(hidden.get(), "isHidden"_sel));

    auto img = render(root.get(), 2);
    ASSERT_EQ(img->pixelWidth(), 80);
    EXPECT_EQ(img->pixel(2 * 5, 2 * 5), 0xFF0000FFu);    // back only
    EXPECT_EQ(img->pixel(2 * 15, 2 * 15), 0xFF00FF00u);  // front over back
    EXPECT_EQ(img->pixel(2 * 35, 2 * 35), 0xFFFF0000u);  // root
    uint32_t mixed = img->pixel(2 * 35, 2 * 5);          // half blue over red
    EXPECT_NEAR(int(redOf(mixed)), 0x80, 2);
    EXPECT_NEAR(int(blueOf(mixed)), 0x80, 2);
    EXPECT_EQ(img->pixel(2 * 5, 2 * 35), 0xFFFF0000u);  // the hidden view is not drawn

    objc_msgSend<void(id)>(root.get(), "bringSubviewToFront:"_sel, back.get());
    EXPECT_EQ(render(root.get())->pixel(15, 15), 0xFF0000FFu);
}

TEST(RenderPass, CornersBordersAndClipping) {
    AutoreleasePool pool;
    auto root = makeView(CGRectMake(0, 0, 60, 60));
    auto box = makeView(CGRectMake(0, 0, 40, 40), red());
    auto child = makeView(CGRectMake(30, 30, 20, 20), blue());
    objc_msgSend<void(id)>(root.get(), "addSubview:"_sel, box.get());
    objc_msgSend<void(id)>(box.get(), "addSubview:"_sel, child.get());
    id layer = objc_msgSend<id()>(box.get(), "layer"_sel);
    objc_msgSend<void(double)>(layer, "setCornerRadius:"_sel, 10.0);
    objc_msgSend<void(double)>(layer, "setBorderWidth:"_sel, 2.0);
    objc_msgSend<void(CGColor)>(layer, "setBorderColor:"_sel, objc_msgSend<CGColor()>(green(), "CGColor"_sel));

    auto open = render(root.get());
    EXPECT_EQ(open->pixel(45, 45), 0xFF0000FFu);  // the child reaches outside its superview
    EXPECT_EQ(open->pixel(0, 0), 0u);             // rounded corner
    EXPECT_EQ(open->pixel(0, 20), 0xFF00FF00u);   // border
    EXPECT_EQ(open->pixel(5, 20), 0xFFFF0000u);   // background inside it

    objc_msgSend<void(BOOL)>(box.get(), "setClipsToBounds:"_sel, YES);
    EXPECT_TRUE(objc_msgSend<BOOL()>(layer, "masksToBounds"_sel));
    auto clipped = render(root.get());
    EXPECT_EQ(clipped->pixel(45, 45), 0u);
    EXPECT_EQ(clipped->pixel(39, 20), 0xFF00FF00u);  // the border stays above the subviews
    EXPECT_EQ(clipped->pixel(33, 33), 0xFF0000FFu);
}

// A view class whose drawRect: only the runtime knows.
int replacedDraws = 0;
CGRect drawnRect;
Slot<void(UIView*, SEL, CGRect)> _drawRect$DrawTestView;
void drawRect$DrawTestView(UIView* self, SEL cmd, CGRect rect) {
    ++replacedDraws;
    drawnRect = rect;
    _drawRect$DrawTestView(self, cmd, rect);
    setFill(green());
    objc_msgSend<void()>(path("bezierPathWithRect:", CGRectMake(-100, -100, 400, 400)), "fill"_sel);
}

TEST(RenderPass, DrawRectIsSentThroughTheRuntime) {
    AutoreleasePool pool;
    Class cls = objc_allocateClassPair(UIView::cls(), "DrawTestView", 0);
    objc_registerClassPair(cls);
    MSHookMessageEx(cls, "drawRect:"_sel, &drawRect$DrawTestView, &_drawRect$DrawTestView);
    ASSERT_TRUE(_drawRect$DrawTestView);

    auto root = makeView(CGRectMake(0, 0, 30, 30), red());
    auto drawn = makeView(CGRectMake(10, 10, 10, 5), nil, cls);
    objc_msgSend<void(id)>(root.get(), "addSubview:"_sel, drawn.get());
    auto img = render(root.get());
    EXPECT_EQ(replacedDraws, 1);
    EXPECT_TRUE(CGRectEqualToRect(drawnRect, CGRectMake(0, 0, 10, 5)));
    EXPECT_EQ(img->pixel(15, 12), 0xFF00FF00u);
    EXPECT_EQ(img->pixel(15, 16), 0xFFFF0000u);  // clipped to the view's bounds
    EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
}

// --- Blur and animation -------------------------------------------------------------

TEST(VisualEffects, BlurCanBeAbsentAndDrawsATranslucentFill) {
    AutoreleasePool pool;
    Class blur = objc_getClass("UIBlurEffect");
    ASSERT_NE(blur, nullptr);
    EXPECT_NE(objc_msgSend<id()>(blur, "class"_sel), nil);
    id effect = objc_msgSend<id(NSInteger)>(blur, "effectWithStyle:"_sel, 1);
    ASSERT_NE(effect, nil);

    id view = objc_autorelease(
        objc_msgSend<id(id)>(objc_msgSend<id()>(UIVisualEffectView::cls(), "alloc"_sel), "initWithEffect:"_sel, effect));
    objc_msgSend<void(CGRect)>(view, "setFrame:"_sel, CGRectMake(0, 0, 10, 10));
    CGRect content = objc_msgSend<CGRect()>(objc_msgSend<id()>(view, "contentView"_sel), "frame"_sel);
    EXPECT_TRUE(CGRectEqualToRect(content, CGRectMake(0, 0, 10, 10)));
    uint32_t p = render(static_cast<UIView*>(view))->pixel(5, 5);
    EXPECT_GT(alphaOf(p), 0x80u);
    EXPECT_LT(alphaOf(p), 0xFFu);

    platform::setBlurAvailable(false);
    EXPECT_EQ(objc_getClass("UIBlurEffect"), nil);  // gone from name lookup
    EXPECT_EQ(objc_msgSend<id()>(blur, "class"_sel), nil);
    EXPECT_EQ(objc_msgSend<id(NSInteger)>(blur, "effectWithStyle:"_sel, 1), nil);
    EXPECT_EQ(objc_msgSend<id()>(blur, "alloc"_sel), nil);
    platform::setBlurAvailable(true);
    EXPECT_EQ(objc_getClass("UIBlurEffect"), blur);
    EXPECT_NE(objc_msgSend<id(NSInteger)>(blur, "effectWithStyle:"_sel, 1), nil);
}

TEST(Animation, CompletionRunsAfterTheDurationAndKeepsTheViewAlive) {
    platform::Clock::setVirtual(true);
    auto parent = makeView(CGRectMake(0, 0, 100, 100));
    Weak<UIView> weak;
    bool finished = false;
    {
        AutoreleasePool pool;
        auto badge = makeView(CGRectMake(0, 0, 10, 10));
        weak = badge.get();
        UIView* raw = badge.get();
        NSBlock* fade = objc_block<void()>([raw] { objc_msgSend<void(double)>(raw, "setAlpha:"_sel, 0.0); });
        NSBlock* done = objc_block<void(BOOL)>([raw, &finished](BOOL ok) {
            finished = ok;
            objc_msgSend<void()>(raw, "removeFromSuperview"_sel);
        });
        objc_msgSend<void(double, id, id)>(UIView::cls(), "animateWithDuration:animations:completion:"_sel, 0.3, fade,
                                           done);
        EXPECT_EQ(objc_msgSend<double()>(badge.get(), "alpha"_sel), 0.0);
        // The caller lets go of everything; the view is in no superview.
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_FALSE(finished);
    platform::RunLoop::main().runFor(0.2);
    EXPECT_FALSE(finished);
    ASSERT_FALSE(weak.expired());

    // Without a completion the animations block still runs at once.
    auto inner = makeView(CGRectMake(0, 0, 5, 5));
    objc_msgSend<void(id)>(parent.get(), "addSubview:"_sel, inner.get());
    {
        AutoreleasePool pool;
        UIView* raw = inner.get();
        objc_msgSend<void(double, id)>(UIView::cls(), "animateWithDuration:animations:"_sel, 0.05,
                                       objc_block<void()>([raw] { objc_msgSend<void(double)>(raw, "setAlpha:"_sel, 0.5); }));
    }
    EXPECT_EQ(objc_msgSend<double()>(inner.get(), "alpha"_sel), 0.5);
    platform::RunLoop::main().runFor(0.2);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(objc_msgSend<double()>(inner.get(), "alpha"_sel), 0.5);
    platform::Clock::setVirtual(false);
}

}  // namespace
