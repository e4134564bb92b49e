// The star rating control: the stars' frames and labels, setRating:, and
// touches across the stars with what the delegate hears, in order.
#include <gtest/gtest.h>

#include "Classes.h"
#include "StarRatingControl.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIKit.h>

#include <cairo.h>
#include <algorithm>
#include <cstdint>

#include <string>
#include <vector>

namespace {

struct RatingListener : NSObject {
    OBJC_CLASS(RatingListener)
    std::vector<std::string> heard;
};
void heardRating(RatingListener* self, SEL, id, int rating) { self->heard.push_back("rating " + std::to_string(rating)); }
void heardRelease(RatingListener* self, SEL) { self->heard.push_back("release"); }

class Stars : public ::testing::Test {
protected:
    void SetUp() override {
        Cantrel_registerClasses();
        static bool once = [] {
            objc::ClassDef<RatingListener>("RatingListener", NSObject::cls())
                .method<heardRating>("newRating::")
                .method<heardRelease>("releaseKeyboard");
            return true;
        }();
        (void)once;
        control = Strong<UIView>::adopt(static_cast<UIView*>(objc_msgSend<id(CGRect)>(
            objc_msgSend<id()>(StarRatingControl::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 270, 60))));
        listener = Strong<RatingListener>::adopt(static_cast<RatingListener*>(
            objc_msgSend<id()>(objc_msgSend<id()>(RatingListener::cls(), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(control.get(), "setDelegate:"_sel, listener.get());
    }
    int rating() { return objc_msgSend<int()>(control.get(), "rating"_sel); }
    // The lit stars from the left, as "1" (lit) and "0".
    std::string lit() {
        std::string out;
        for (int p = 0; p < 5; ++p)
            out += objc_msgSend<BOOL()>(objc_msgSend<id(NSInteger)>(control.get(), "subViewWithTag:"_sel, p), "isHighlighted"_sel) ? "1" : "0";
        return out;
    }
    // Middle of star n (1-based) in the control.
    static CGPoint star(int n) { return CGPointMake(35 + 40 * (n - 1) + 20, 30); }
    // A finger down at the first point, through the others, then up.
    void drag(std::vector<CGPoint> points) {
        platform::TouchSequence touch(control.get(), points.front());
        for (size_t i = 1; i < points.size(); ++i) touch.moveTo(points[i]);
        touch.end();
    }
    std::vector<std::string> takeHeard() { return std::exchange(listener->heard, {}); }

    AutoreleasePool pool;
    Strong<UIView> control;
    Strong<RatingListener> listener;
};

// Five stars of 40 x 60 at x 35, 75, 115, 155 and 195, labelled for voice.
TEST_F(Stars, FiveStarsInARowWithTheirLabels) {
    id subviews = objc_msgSend<id()>(control.get(), "subviews"_sel);
    ASSERT_EQ(objc_msgSend<NSUInteger()>(subviews, "count"_sel), 5u);
    const double xs[] = {35, 75, 115, 155, 195};
    const char* labels[] = {"1 star", "2 stars", "3 stars", "4 stars", "5 stars"};
    for (int p = 0; p < 5; ++p) {
        SCOPED_TRACE(p);
        id s = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, p);
        EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(s, "frame"_sel), CGRectMake(xs[p], 0, 40, 60)));
        EXPECT_EQ(objc_msgSend<NSInteger()>(s, "tag"_sel), p);
        EXPECT_EQ(to_string(static_cast<NSString*>(objc_msgSend<id()>(s, "accessibilityLabel"_sel))), labels[p]);
        UIEdgeInsets insets = objc_msgSend<UIEdgeInsets()>(s, "imageEdgeInsets"_sel);
        EXPECT_EQ(insets.bottom, 20);
    }
    for (double x : {34.0, 235.0})
        EXPECT_EQ(objc_msgSend<id(CGPoint)>(control.get(), "starForPoint:"_sel, CGPointMake(x, 30)), nil) << x;
    EXPECT_EQ(rating(), 0);
}

// setRating: lights that many stars (never more than there are) and tells
// the delegate nothing but the keyboard releases.
TEST_F(Stars, SetRatingLightsStarsWithoutReporting) {
    struct Case {
        int set;
        int rating;
        const char* lit;
    };
    for (Case c : {Case{0, 0, "00000"}, Case{3, 3, "11100"}, Case{5, 5, "11111"}, Case{7, 5, "11111"}, Case{-2, 0, "00000"}}) {
        SCOPED_TRACE(c.set);
        objc_msgSend<void(int)>(control.get(), "setRating:"_sel, c.set);
        EXPECT_EQ(rating(), c.rating);
        EXPECT_EQ(lit(), c.lit);
    }
    for (const std::string& h : takeHeard()) EXPECT_EQ(h, "release");
}

// Taps and drags, with the delegate's calls in order.
TEST_F(Stars, TouchesLightStarsAndReportWhenTheyEnd) {
    drag({star(3)});  // an unlit third star
    EXPECT_EQ(lit(), "11100");
    EXPECT_EQ(takeHeard(), (std::vector<std::string>{"release", "release", "release", "rating 3"}));

    drag({star(2)});  // the lit second star: those above go out
    EXPECT_EQ(lit(), "11000");
    EXPECT_EQ(takeHeard(), (std::vector<std::string>{"release", "release", "release", "rating 2"}));

    objc_msgSend<void(int)>(control.get(), "setRating:"_sel, 1);
    takeHeard();
    drag({star(1)});  // the only lit star stays lit
    EXPECT_EQ(rating(), 1);
    EXPECT_EQ(takeHeard().back(), "rating 1");

    drag({star(1), star(2), star(4)});  // rightwards, one release per step besides the stars'
    EXPECT_EQ(lit(), "11110");
    std::vector<std::string> h = takeHeard();
    EXPECT_EQ(h.back(), "rating 4");
    EXPECT_EQ(std::count(h.begin(), h.end(), "rating 4"), 1);

    drag({star(5), star(3), CGPointMake(20, 30)});  // to the left of the first star
    EXPECT_EQ(lit(), "00000");
    h = takeHeard();
    EXPECT_EQ(std::count_if(h.begin(), h.end(), [](const std::string& s) { return s.rfind("rating", 0) == 0; }), 1);
    EXPECT_EQ(h.back(), "rating 0");

    // Right of the last star, or below the row, changes nothing.
    objc_msgSend<void(int)>(control.get(), "setRating:"_sel, 2);
    drag({star(2), CGPointMake(250, 30), CGPointMake(100, 59.5)});
    EXPECT_EQ(rating(), 2);
}

// A cancelled touch reports nothing and puts the stars back as they were.
TEST_F(Stars, CancelledTouchRestoresTheRating) {
    objc_msgSend<void(int)>(control.get(), "setRating:"_sel, 2);
    takeHeard();
    {
        platform::TouchSequence touch(control.get(), star(2));
        touch.moveTo(star(5));
        EXPECT_EQ(lit(), "11111");
        touch.cancel();
    }
    EXPECT_EQ(rating(), 2);
    EXPECT_EQ(lit(), "11000");
    for (const std::string& h : takeHeard()) EXPECT_EQ(h, "release");
}

// Lit: a filled red star; unlit: a small red dot at (15.06, 12.75).
TEST_F(Stars, StarsDrawAStarOrADot) {
    objc_msgSend<void(int)>(control.get(), "setRating:"_sel, 1);
    _cairo_surface* s = platform::renderView(control.get(), 4);
    ASSERT_NE(s, nullptr);
    auto pixel = [&](double x, double y) {
        unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        return *reinterpret_cast<uint32_t*>(data + int(y * 4) * stride + int(x * 4) * 4);
    };
    const uint32_t red = 0xFFFF0000;
    EXPECT_EQ(pixel(35 + 10, 13), red);        // inside the lit star
    EXPECT_EQ(pixel(35 + 1, 19), 0u);          // between its lower tips
    EXPECT_EQ(pixel(75 + 15.06, 12.75), red);  // the dot of star 2
    EXPECT_EQ(pixel(75 + 10, 13), 0u);         // no star there
    cairo_surface_destroy(s);
}

}  // namespace
