#include "CustomDrawView.h"

#include <UIKit/UIBezierPath.h>
#include <UIKit/UIColor.h>

#include <atomic>
#include <initializer_list>
#include <mutex>

namespace {

// --- Drawing through UIBezierPath and UIColor ----------------------------------

constexpr NSInteger kRoundCap = 1;

id colour(SEL name) { return objc_msgSend<id()>(UIColor::cls(), name); }
id grey50() {
    return objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, 0.5,
                                                             0.5, 0.5, 1.0);
}

class Path {
public:
    Path() : p_(objc_msgSend<id()>(objc_getClass("UIBezierPath"), "bezierPath"_sel)) {}
    explicit Path(id made) : p_(made) {}
    static Path rect(double x, double y, double w, double h) {
        return Path(objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel, CGRectMake(x, y, w, h)));
    }
    static Path oval(double x, double y, double w, double h) {
        return Path(
            objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithOvalInRect:"_sel, CGRectMake(x, y, w, h)));
    }
    Path& move(double x, double y) {
        objc_msgSend<void(CGPoint)>(p_, "moveToPoint:"_sel, CGPointMake(x, y));
        return *this;
    }
    Path& line(double x, double y) {
        objc_msgSend<void(CGPoint)>(p_, "addLineToPoint:"_sel, CGPointMake(x, y));
        return *this;
    }
    Path& curve(double x, double y, double c1x, double c1y, double c2x, double c2y) {
        objc_msgSend<void(CGPoint, CGPoint, CGPoint)>(p_, "addCurveToPoint:controlPoint1:controlPoint2:"_sel,
                                                      CGPointMake(x, y), CGPointMake(c1x, c1y), CGPointMake(c2x, c2y));
        return *this;
    }
    // A polygon (closed) or polyline through points given as x, y pairs.
    Path& poly(std::initializer_list<double> xy, bool closed) {
        auto it = xy.begin();
        move(it[0], it[1]);
        for (size_t i = 2; i + 1 < xy.size(); i += 2) line(it[i], it[i + 1]);
        if (closed) close();
        return *this;
    }
    Path& close() {
        objc_msgSend<void()>(p_, "closePath"_sel);
        return *this;
    }
    void fill(id c) {
        objc_msgSend<void()>(c, "setFill"_sel);
        objc_msgSend<void()>(p_, "fill"_sel);
    }
    void stroke(id c, double width, bool round = false) {
        objc_msgSend<void(double)>(p_, "setLineWidth:"_sel, width);
        if (round) objc_msgSend<void(NSInteger)>(p_, "setLineCapStyle:"_sel, kRoundCap);
        objc_msgSend<void()>(c, "setStroke"_sel);
        objc_msgSend<void()>(p_, "stroke"_sel);
    }

private:
    id p_;
};

// --- The glyphs, in points ------------------------------------------------------

void drawAlarmClock(NSInteger subTag, id primary, id secondary) {
    const double cx = 11.125, cy = 18.98, r = 9.6, k = 0.5523 * r;
    Path body;
    body.move(cx, cy - r)
        .curve(cx + r, cy, cx + k, cy - r, cx + r, cy - k)
        .curve(cx, cy + r, cx + r, cy + k, cx + k, cy + r)
        .curve(cx - r, cy, cx - k, cy + r, cx - r, cy + k)
        .curve(cx, cy - r, cx - r, cy - k, cx - k, cy - r)
        .close();
    body.move(4.54, 25.96).line(2.04, 28.54);
    body.move(17.71, 26.13).line(20.04, 28.46);
    Path right;
    right.move(15.2, 9.6).curve(21.6, 14.6, 16.9, 7.1, 21.9, 9.6).curve(19.9, 12.6, 21.0, 13.9, 20.6, 13.1).line(15.2, 9.6);
    Path left;
    left.move(7.05, 9.6).curve(0.65, 14.6, 5.35, 7.1, 0.35, 9.6).curve(2.35, 12.6, 1.25, 13.9, 1.65, 13.1).line(7.05, 9.6);
    auto paint = [&](Path& p, double width) {
        if (subTag == 1) p.fill(primary);
        p.stroke(primary, width, &p == &body);
    };
    paint(body, 0.95);
    paint(right, 0.5);
    paint(left, 0.5);
    Path hands;
    hands.move(11.125, 19.125).line(11.125, 12.29);
    hands.move(6.71, 19.29).line(11.125, 19.29);
    hands.stroke(secondary, 1, true);
}

void drawWaveform() {
    static const double above[] = {1, 3, 5.25, 7.25, 9.25, 11.25, 13.25, 15.5, 17.75};
    static const double below[] = {19.75, 22, 24.25, 26.25, 28.25, 30.25, 32.25, 34.5, 36.5};
    static const double heights[] = {2.5, 5, 7, 9, 9.5, 9, 7, 5, 2.5};
    Path up, down;
    for (int i = 0; i < 9; ++i) {
        up.move(above[i], 10).line(above[i], 10 - heights[i]);
        down.move(below[i], 10).line(below[i], 10 + heights[i]);
    }
    up.stroke(colour("grayColor"_sel), 1);
    down.stroke(colour("grayColor"_sel), 1);
}

void drawPulse() {
    Path().poly({0.5, 10.5, 5.5, 10.5, 5.5, 0.7, 8.3, 0.7, 8.4, 6.6, 8.3, 21.3, 11.5, 21.3, 11.5, 10.5, 16.3, 10.5}, false)
        .stroke(colour("grayColor"_sel), 1);
}

void drawGuitars() {
    id red = colour("redColor"_sel);
    // Middle: a double-cutaway electric guitar.
    Path middle;
    middle.poly({14.2, 1.2, 15.3, 1.2, 15.3, 4.0, 14.95, 4.0, 14.95, 15.5, 16.6, 14.6, 17.2, 15.8, 18.7, 16.8, 18.2, 20.5,
                 18.7, 24.8, 16.8, 26.5, 14.75, 25.9, 12.7, 26.5, 10.8, 24.8, 11.3, 20.5, 10.8, 17.2, 12.0, 16.4, 12.9, 14.6,
                 14.55, 15.5, 14.55, 4.0, 14.2, 4.0},
                true);
    // Left: a V-shaped guitar, neck and body.
    Path left;
    left.poly({7.4, 0.9, 8.5, 1.3, 8.0, 3.8, 7.7, 3.8, 6.6, 15.6, 6.2, 15.6, 7.3, 3.7, 7.0, 3.6}, true);
    left.poly({5.5, 15.2, 7.6, 15.4, 12.3, 25.0, 10.9, 25.4, 7.3, 20.6, 4.2, 26.9, 1.3, 27.4, 1.8, 25.9, 4.9, 20.0}, true);
    // Right: an acoustic guitar with its sound hole wound the other way.
    Path right;
    right.move(22.3, 1.2).line(23.6, 1.2).line(23.6, 3.9).line(23.2, 3.9).line(23.2, 12.3)
        .curve(25.6, 16.4, 24.9, 12.5, 25.9, 14.2)
        .curve(24.6, 20.4, 25.4, 18.3, 24.0, 19.2)
        .curve(26.4, 24.8, 25.8, 21.7, 26.7, 23.2)
        .curve(22.55, 27.2, 26.0, 26.6, 24.3, 27.2)
        .curve(18.7, 24.8, 20.8, 27.2, 19.1, 26.6)
        .curve(20.5, 20.4, 18.4, 23.2, 19.3, 21.7)
        .curve(19.5, 16.4, 19.1, 19.2, 19.2, 18.3)
        .curve(21.9, 12.3, 19.2, 14.2, 20.2, 12.5)
        .line(21.9, 3.9).line(22.3, 3.9).close();
    right.move(22.55, 16.0).curve(21.35, 17.2, 21.9, 16.0, 21.35, 16.5).curve(22.55, 18.4, 21.35, 17.9, 21.9, 18.4)
        .curve(23.75, 17.2, 23.2, 18.4, 23.75, 17.9).curve(22.55, 16.0, 23.75, 16.5, 23.2, 16.0).close();
    for (Path* p : {&middle, &left, &right}) {
        p->fill(red);
        p->stroke(red, 0.5);
    }
}

void drawPhotos() {
    // The back card, tilted left, where the front one leaves it visible.
    Path().poly({0.8, 13.5, 52.0, 1.6, 57.5, 25.0, 47.0, 25.0, 12.0, 33.0, 18.5, 61.0, 9.5, 63.0}, true)
        .fill(colour("lightGrayColor"_sel));
    // The front card, tilted right: its frame, the window cut out, and a
    // landscape of two peaks inside.
    Path front;
    front.poly({12.0, 21.0, 70.0, 13.5, 73.5, 65.5, 15.5, 73.0}, true);
    front.poly({17.6, 27.0, 20.0, 65.6, 67.8, 59.5, 65.5, 20.8}, true);
    front.poly({21.0, 60.5, 33.0, 40.0, 42.0, 52.0, 50.0, 38.0, 64.5, 56.5}, true);
    front.fill(colour("grayColor"_sel));
}

void drawSong() {
    id red = colour("redColor"_sel);
    Path::oval(7.5, 19, 8, 6.125).fill(red);
    Path().poly({15, 6.5, 21.75, 7.75, 21.75, 3.25, 15, 2}, true).fill(red);
    Path().move(15, 22.25).line(15, 2).stroke(red, 1);
}

void drawSinger() {
    id red = colour("redColor"_sel);
    // Head and shoulders in profile, facing left, the mouth open.
    Path().poly({19.5, 4.9, 22.8, 5.6, 25.0, 7.6, 25.8, 10.6, 25.2, 13.4, 24.0, 15.2, 24.2, 17.4, 26.0, 19.0, 27.0, 21.5,
                 27.0, 25.4, 11.0, 25.4, 11.6, 21.6, 13.4, 19.6, 16.2, 18.4, 16.0, 16.4, 14.6, 16.6, 13.6, 15.8, 13.9, 14.4,
                 13.0, 14.2, 13.6, 12.9, 12.2, 12.6, 13.8, 11.4, 13.9, 9.8, 14.2, 7.6, 16.4, 5.6},
                true)
        .fill(red);
    // A microphone on its stand in front of the mouth.
    Path().poly({10.1, 11.6, 9.0, 10.2, 7.6, 11.3, 8.3, 12.4, 7.2, 13.6, 6.2, 16.0, 5.6, 16.0, 5.6, 23.6, 8.6, 24.8, 8.6,
                 25.4, 0.15, 25.4, 0.15, 24.8, 3.6, 23.6, 4.8, 23.6, 4.8, 16.0, 6.6, 13.2, 8.0, 11.9, 7.1, 10.6, 8.8, 9.4},
                true)
        .fill(red);
}

void drawAlbum() {
    id red = colour("redColor"_sel);
    id white = colour("whiteColor"_sel);
    Path::rect(6.92, 8.72, 16.79, 16.15).fill(red);
    Path note;
    note.poly({11.6, 21.6, 11.6, 13.2, 19.4, 11.6, 19.4, 20.0, 18.6, 20.0, 18.6, 13.6, 12.4, 14.9, 12.4, 21.6}, true);
    note.move(12.0, 20.6).curve(10.0, 22.7, 12.9, 21.4, 11.2, 22.9).curve(12.0, 20.6, 8.9, 22.5, 10.6, 20.3).close();
    note.move(19.0, 19.0).curve(17.0, 21.1, 19.9, 19.8, 18.2, 21.3).curve(19.0, 19.0, 15.9, 20.9, 17.6, 18.7).close();
    note.fill(white);
    note.stroke(white, 0.5);
    Path edges;
    edges.move(8.57, 7.7).line(22.04, 7.5);
    edges.move(10.26, 6.1).line(20.32, 5.9);
    edges.stroke(red, 0.35);
}

void drawPiano() {
    id red = colour("redColor"_sel);
    Path body;
    body.poly({1.44, 16.03, 1.44, 9.6, 3.2, 7.6, 5.6, 6.4, 21.0, 6.4, 23.4, 7.2, 25.0, 8.6, 25.51, 10.4, 25.51, 16.03, 22.69,
               16.03, 19.9, 16.03, 17.0, 16.03, 13.6, 16.03, 10.4, 16.03, 7.4, 16.03, 4.49, 16.03, 2.6, 16.03},
              true);
    body.fill(red);
    body.stroke(red, 0);
    Path().poly({1.44, 15.64, 3.0, 23.97, 24.0, 23.97, 25.51, 15.64}, false).stroke(red, 0.5);
    Path keys;
    for (double x : {4.49, 7.4, 10.4, 13.6, 16.6, 19.7, 22.69}) keys.move(x, 16.03).line(x, 20.39);
    keys.stroke(red, 1.2);
}

void drawPlaylist() {
    id red = colour("redColor"_sel);
    id white = colour("whiteColor"_sel);
    Path square = Path::rect(3.33, 3.59, 21.67, 21.67);
    square.fill(red);
    square.stroke(red, 0.35);
    Path lines;
    for (double y : {9.23, 12.31, 15.38}) lines.move(6.41, y).line(14.87, y);
    lines.stroke(white, 0.95);
    Path note;
    note.move(19.6, 6.7).line(19.6, 18.4)
        .curve(16.4, 21.4, 19.6, 20.2, 18.2, 21.4)
        .curve(13.7, 19.6, 14.6, 21.4, 13.7, 20.8)
        .curve(16.6, 17.6, 13.7, 18.4, 15.1, 17.6)
        .curve(18.4, 18.1, 17.3, 17.6, 17.9, 17.8)
        .line(18.4, 6.7)
        .curve(22.1, 10.8, 19.4, 8.6, 22.6, 8.6)
        .curve(19.6, 8.6, 21.6, 9.6, 20.4, 8.9)
        .close();
    note.fill(white);
    note.stroke(white, 1.05);
}

void drawTapHand() {
    Path hand;
    hand.move(3.4, 2.0)
        .curve(5.0, 0.7, 3.6, 1.0, 4.2, 0.6)
        .curve(6.4, 2.2, 5.8, 0.8, 6.2, 1.4)
        .curve(8.2, 8.2, 6.9, 4.2, 7.6, 6.2)
        .curve(9.9, 7.6, 8.5, 7.6, 9.2, 7.3)
        .curve(11.4, 8.7, 10.6, 7.7, 11.1, 8.1)
        .curve(12.9, 8.6, 11.8, 8.2, 12.4, 8.3)
        .curve(14.3, 9.9, 13.5, 8.8, 14.0, 9.3)
        .curve(15.6, 10.4, 14.8, 9.7, 15.3, 9.9)
        .curve(16.5, 12.4, 16.1, 10.9, 16.6, 11.6)
        .curve(15.9, 16.0, 16.4, 13.7, 16.3, 14.9)
        .curve(14.9, 18.4, 15.6, 17.0, 15.4, 18.0)
        .curve(9.8, 18.5, 13.2, 18.6, 11.4, 18.6)
        .curve(6.9, 16.9, 8.6, 18.4, 7.6, 17.8)
        .curve(3.6, 12.8, 5.8, 15.5, 4.6, 14.2)
        .curve(2.5, 10.6, 3.0, 12.0, 2.4, 11.2)
        .curve(3.8, 10.1, 2.6, 10.0, 3.2, 9.8)
        .curve(5.6, 11.6, 4.4, 10.4, 5.0, 11.0)
        .curve(3.0, 4.6, 4.8, 9.2, 3.8, 6.8)
        .curve(2.2, 2.6, 2.7, 3.8, 2.4, 3.2)
        .curve(3.4, 2.0, 2.1, 2.2, 2.9, 2.0)
        .close();
    hand.stroke(grey50(), 0.8);
}

#ifndef CUSTOM_DRAW_VIEW_SETTINGS_BUILD
void drawHeart(CustomDrawView* self) {
    objc_msgSend<void(id)>(self, "setBackgroundColor:"_sel, colour("clearColor"_sel));
    Path heart;
    heart.move(25.78, 3.872)
        .curve(27.7, 9.5, 27.5, 5.6, 28.0, 7.6)
        .curve(25.6, 15.2, 27.4, 11.6, 26.7, 13.5)
        .curve(20.6, 21.0, 24.3, 17.3, 22.6, 19.2)
        .curve(14.612, 26.14, 18.5, 22.8, 16.4, 24.5)
        .curve(8.6, 21.0, 12.8, 24.5, 10.6, 22.8)
        .curve(3.6, 15.2, 6.6, 19.2, 4.9, 17.3)
        .curve(1.5, 9.5, 2.3, 13.5, 1.6, 11.6)
        .curve(3.44, 3.872, 1.2, 7.6, 1.7, 5.6)
        .curve(9.0, 1.5, 4.9, 2.2, 6.8, 1.5)
        .curve(14.608, 4.888, 11.4, 1.5, 13.3, 2.8)
        .curve(20.2, 1.5, 15.9, 2.8, 17.8, 1.5)
        .curve(25.78, 3.872, 22.4, 1.5, 24.3, 2.2)
        .close();
    heart.stroke(colour("redColor"_sel), 1.8);
}

void drawStar() {
    Path().poly({8.88, 17.71, 3.59, 27.47, 14.18, 21.59, 24.53, 27.47, 19.0, 17.71, 27.35, 11.35, 17.35, 11.24, 14.18, 1.0,
                 10.41, 11.24, 1.0, 11.35},
                true)
        .fill(colour("redColor"_sel));
}
#endif

// --- The class ------------------------------------------------------------------

id initWithCoder(CustomDrawView* self, SEL, id coder) {
    id result = objc_msgSendSuper<id(id)>(self, CustomDrawView::cls(), "initWithCoder:"_sel, coder);
    if (result != nil) {
        objc_msgSend<void(id)>(result, "setBackgroundColor:"_sel, colour("clearColor"_sel));
        objc_msgSend<void(NSInteger)>(result, "setSubTag:"_sel, 0);
    }
    return result;
}

NSInteger subTag(CustomDrawView* self, SEL) {
    return std::atomic_ref<NSInteger>(self->_subTag).load(std::memory_order_relaxed);
}
void setSubTag(CustomDrawView* self, SEL, NSInteger v) {
    std::atomic_ref<NSInteger>(self->_subTag).store(v, std::memory_order_relaxed);
}

void drawRect(CustomDrawView* self, SEL, CGRect) {
    id primary = colour("redColor"_sel);
    id secondary = colour("whiteColor"_sel);
    NSInteger sub = objc_msgSend<NSInteger()>(self, "subTag"_sel);
    if (sub == 0) primary = secondary = colour("darkGrayColor"_sel);
    switch (objc_msgSend<NSInteger()>(self, "tag"_sel)) {
        case CustomDrawTagAlarmClock: return drawAlarmClock(objc_msgSend<NSInteger()>(self, "subTag"_sel), primary, secondary);
        case CustomDrawTagWaveform: return drawWaveform();
        case CustomDrawTagPulse: return drawPulse();
        case CustomDrawTagGenre: return drawGuitars();
        case CustomDrawTagPhotos: return drawPhotos();
        case CustomDrawTagSong: return drawSong();
        case CustomDrawTagArtist: return drawSinger();
        case CustomDrawTagAlbum: return drawAlbum();
        case CustomDrawTagComposer: return drawPiano();
        case CustomDrawTagPlaylist: return drawPlaylist();
        case CustomDrawTagTapHand: return drawTapHand();
#ifndef CUSTOM_DRAW_VIEW_SETTINGS_BUILD
        case CustomDrawTagHeart: return drawHeart(self);
        case CustomDrawTagStar: return drawStar();
#endif
        default: return;
    }
}

}  // namespace

void registerCustomDrawView() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<CustomDrawView>("CustomDrawView", UIView::cls())
            .method<initWithCoder>("initWithCoder:", "@@:@")
            .method<subTag>("subTag", "q@:")
            .method<setSubTag>("setSubTag:", "v@:q")
            .method<drawRect>("drawRect:", "v@:{CGRect={CGPoint=dd}{CGSize=dd}}")
            .OBJC_IVAR(CustomDrawView, _subTag);
    });
}
