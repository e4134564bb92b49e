#include "IconView.h"

#include "Cantrel.h"

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <mutex>
#include <vector>

namespace cantrel {

double iconPictureFactor(const IconPicture& picture, NSInteger idiom);
void drawIconPicture(const IconPicture& picture, double factor, int subTag, id penColor);

namespace {

// Extents at the phone divisor, strokes included.
constexpr IconPicture kPictures[] = {
    {IconViewTagPaperClip, "paper clip", 3.5f, 2.8f, CGRectMake(0.1, 0.1, 22.1, 20.4), 5.5 / 3.5},
    {IconViewTagHeart, "heart", 4.0f, 2.9f, CGRectMake(0.0, 0.0, 17.7, 16.8), 5.5 / 4.0},
    {IconViewTagChainLink, "chain link", 5.0f, 0, CGRectMake(0.2, 0.2, 10.2, 9.6), 1.0},
    {IconViewTagInfo, "information", 4.0f, 2.9f, CGRectMake(-0.1, -0.1, 17.9, 16.9), 5.5 / 4.0},
    {IconViewTagRocket, "rocket", 3.5f, 2.6f, CGRectMake(1.2, 0.4, 18.5, 18.4), 3.5 / 3.5},
    {IconViewTagNoImage, "no image found", 6.0f, 0, CGRectMake(0.5, 1.1, 113.9, 47.6), 0},
    {IconViewTagPhoneWidget, "phone with tabs", 2.5f, 0, CGRectMake(24.0, 22.6, 279.6, 271.0), 1.6},
    {IconViewTagPhoneKeyboard, "phone with home button", 2.5f, 0, CGRectMake(26.8, 25.2, 276.8, 268.4), 1.6},
    {IconViewTagDiscCross, "disc with cross", 3.0f, 0, CGRectMake(0, 0, 50, 50), 0},
    {IconViewTagDiscPlus, "disc with plus", 3.0f, 0, CGRectMake(0, 0, 50, 50), 0},
    {IconViewTagDiscSquare, "disc with square ring", 3.0f, 0, CGRectMake(0, 0, 50, 50), 0},
    {IconViewTagContentTooLarge, "content too large", 4.0f, 0, CGRectMake(0.8, 1.6, 207.2, 71.4), 0},
    {IconViewTagPhoneScreen, "phone with screen", 2.5f, 0, CGRectMake(24.0, 12.2, 279.6, 311.8), 1.6},
    {IconViewTagDiscArrowDown, "disc, arrow down", 3.0f, 0, CGRectMake(0, 0, 50, 50), 5},
    {IconViewTagDiscArrowRight, "disc, arrow right", 3.0f, 0, CGRectMake(0, 0, 50, 50), 5},
    {IconViewTagDiscPlay, "disc, play", 3.0f, 0, CGRectMake(0, 0, 50, 50), 2.5},
    {IconViewTagDiscPlayNext, "disc, play next", 3.0f, 0, CGRectMake(0, 0, 50, 50), 2.5},
    {IconViewTagDiscPlayLast, "disc, play last", 3.0f, 0, CGRectMake(0, 0, 50, 50), 2.5},
    {IconViewTagDiscSearch, "disc, search", 3.0f, 0, CGRectMake(0, 0, 50, 50), 3.5},
};

}  // namespace

const IconPicture* iconPicture(NSInteger tag) {
    for (const IconPicture& p : kPictures)
        if (p.tag == tag) return &p;
    return nullptr;
}

const IconPicture* iconPictures(size_t* count) {
    *count = std::size(kPictures);
    return kPictures;
}

// The factor by which a picture is drawn larger than at its phone divisor.
double iconPictureFactor(const IconPicture& picture, NSInteger idiom) {
    if (picture.padDivisor == 0 || idiom != 1) return 1;
    return double(picture.divisor) / double(picture.padDivisor);
}

CGRect iconPictureExtent(const IconPicture& picture, NSInteger idiom) {
    double k = iconPictureFactor(picture, idiom);
    const CGRect& e = picture.extent;
    return CGRectMake(e.origin.x * k, e.origin.y * k, e.size.width * k, e.size.height * k);
}

CGSize iconPictureViewSize(const IconPicture& picture, NSInteger idiom) {
    CGRect e = iconPictureExtent(picture, idiom);
    return CGSizeMake(std::max(100.0, std::ceil(CGRectGetMaxX(e))), std::max(100.0, std::ceil(CGRectGetMaxY(e))));
}

std::optional<std::string> iconImageName(NSInteger tag, int subTag) {
    // One more than subTag, in 64 bits: INT_MAX names 2147483648.
    long long number = static_cast<long long>(subTag) + 1;
    switch (tag) {
        case IconViewTagPhoneWidget:
            return std::string("widget_640x395.jpg");
        case IconViewTagPhoneKeyboard:
            return "keyboard_white_" + std::to_string(number) + "_640x491.jpg";
        case IconViewTagPhoneScreen:
            return "iCloud_" + std::to_string(number) + "_640x603.jpg";
        default:
            return std::nullopt;
    }
}

}  // namespace cantrel

namespace cantrel {
namespace {

// --- Sends of the drawing API ---------------------------------------------------

// UIBezierPath's line cap and join styles (CGLineCap, CGLineJoin).
using LineStyle = NSInteger;
constexpr LineStyle kButt = 0;
constexpr LineStyle kRound = 1;

id color(const char* selector) { return objc_msgSend<id()>(UIColor::cls(), sel_registerName(selector)); }
id grey(double g) {
    return objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, g,
                                                             g, g, 1.0);
}
id newPath() { return objc_msgSend<id()>(objc_getClass("UIBezierPath"), "bezierPath"_sel); }
id ovalPath(CGRect r) {
    return objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithOvalInRect:"_sel, r);
}
id rectPath(CGRect r) { return objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel, r); }

void fill(id path, id colour) {
    objc_msgSend<void()>(colour, "setFill"_sel);
    objc_msgSend<void()>(path, "fill"_sel);
}
// A nil colour sets nothing: the context's stroke colour stays.
void stroke(id path, id colour, double width, LineStyle cap = kButt, LineStyle join = kButt) {
    objc_msgSend<void(double)>(path, "setLineWidth:"_sel, width);
    if (cap != kButt) objc_msgSend<void(LineStyle)>(path, "setLineCapStyle:"_sel, cap);
    if (join != kButt) objc_msgSend<void(LineStyle)>(path, "setLineJoinStyle:"_sel, join);
    objc_msgSend<void()>(colour, "setStroke"_sel);
    objc_msgSend<void()>(path, "stroke"_sel);
}

// --- Outlines in picture coordinates ----------------------------------------------

constexpr double kPi = 3.14159265358979323846;

struct Segment {
    enum Kind { Move, Line, Curve, Close } kind;
    CGPoint p;
    CGPoint c1;
    CGPoint c2;
};

// The point at t (0 to 1) of a curve segment drawn from `from`.
CGPoint curvePoint(CGPoint from, const Segment& seg, double t) {
    double u = 1 - t;
    return CGPointMake(u * u * u * from.x + 3 * u * u * t * seg.c1.x + 3 * u * t * t * seg.c2.x + t * t * t * seg.p.x,
                       u * u * u * from.y + 3 * u * u * t * seg.c1.y + 3 * u * t * t * seg.c2.y + t * t * t * seg.p.y);
}

CGPoint polar(CGPoint c, double r, double degrees) {
    double a = degrees * kPi / 180;
    return CGPointMake(c.x + r * std::cos(a), c.y + r * std::sin(a));
}

// Subpaths of lines, curves and arcs. Angles are in degrees, y down:
// increasing angles turn clockwise on the screen.
class Outline {
public:
    Outline& move(double x, double y) { return add({Segment::Move, {x, y}, {}, {}}); }
    Outline& line(double x, double y) { return add({Segment::Line, {x, y}, {}, {}}); }
    Outline& curve(double x, double y, double c1x, double c1y, double c2x, double c2y) {
        return add({Segment::Curve, {x, y}, {c1x, c1y}, {c2x, c2y}});
    }
    Outline& close() { return add({Segment::Close, {}, {}, {}}); }
    Outline& moveTo(CGPoint p) { return move(p.x, p.y); }
    Outline& lineTo(CGPoint p) { return line(p.x, p.y); }
    // An arc from the current point (which lies on it at angle `from`).
    Outline& arc(CGPoint c, double r, double from, double to) {
        int pieces = std::max(1, int(std::ceil(std::abs(to - from) / 90 - 1e-9)));
        double step = (to - from) / pieces;
        for (int i = 0; i < pieces; ++i) {
            double a0 = from + i * step;
            double a1 = a0 + step;
            double h = 4.0 / 3.0 * std::tan(step * kPi / 720) * r;
            CGPoint p0 = polar(c, r, a0);
            CGPoint p1 = polar(c, r, a1);
            double s0 = std::sin(a0 * kPi / 180), k0 = std::cos(a0 * kPi / 180);
            double s1 = std::sin(a1 * kPi / 180), k1 = std::cos(a1 * kPi / 180);
            curve(p1.x, p1.y, p0.x - h * s0, p0.y + h * k0, p1.x + h * s1, p1.y - h * k1);
        }
        return *this;
    }
    // A whole circle as a subpath, clockwise or not.
    Outline& circle(CGPoint c, double r, bool clockwise) {
        moveTo(polar(c, r, 0));
        arc(c, r, 0, clockwise ? 360 : -360);
        return close();
    }
    // A closed rectangle, clockwise or not.
    Outline& rect(double x, double y, double w, double h, bool clockwise = true) {
        move(x, y);
        if (clockwise)
            line(x + w, y).line(x + w, y + h).line(x, y + h);
        else
            line(x, y + h).line(x + w, y + h).line(x + w, y);
        return close();
    }
    void rotate(double degrees) {
        double a = degrees * kPi / 180, c = std::cos(a), s = std::sin(a);
        auto turn = [&](CGPoint& p) { p = CGPointMake(p.x * c - p.y * s, p.x * s + p.y * c); };
        for (Segment& seg : segments_) {
            turn(seg.p);
            turn(seg.c1);
            turn(seg.c2);
        }
    }
    // The box of the drawn outline (curves sampled).
    void extend(double& minX, double& minY, double& maxX, double& maxY) const {
        auto take = [&](CGPoint p) {
            minX = std::min(minX, p.x), minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
        };
        CGPoint current{};
        for (const Segment& seg : segments_) {
            if (seg.kind == Segment::Curve) {
                for (int i = 1; i <= 32; ++i) take(curvePoint(current, seg, i / 32.0));
            } else if (seg.kind != Segment::Close) {
                take(seg.p);
            }
            if (seg.kind != Segment::Close) current = seg.p;
        }
    }
    const std::vector<Segment>& segments() const { return segments_; }

private:
    Outline& add(const Segment& s) {
        segments_.push_back(s);
        return *this;
    }
    std::vector<Segment> segments_;
};

// Maps outline coordinates to points: an optional fit of a group of
// outlines into a box, then the picture's size factor.
struct Placement {
    double scaleX = 1, scaleY = 1, fromX = 0, fromY = 0, toX = 0, toY = 0;
    double factor = 1;
    CGPoint operator()(CGPoint p) const {
        return CGPointMake((toX + (p.x - fromX) * scaleX) * factor, (toY + (p.y - fromY) * scaleY) * factor);
    }
};

Placement fitted(std::initializer_list<const Outline*> outlines, CGRect box, double factor) {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const Outline* o : outlines) o->extend(minX, minY, maxX, maxY);
    Placement p;
    p.fromX = minX, p.fromY = minY;
    p.toX = box.origin.x, p.toY = box.origin.y;
    p.scaleX = box.size.width / (maxX - minX);
    p.scaleY = box.size.height / (maxY - minY);
    p.factor = factor;
    return p;
}

// The box that an outline, placed and stroked `width` wide with butt caps and
// miter joins (UIKit's miter limit of 10), paints. Curves are followed in
// short straight pieces.
CGRect strokedBox(const Outline& outline, const Placement& place, double width) {
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    auto take = [&](CGPoint p) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
    };
    double half = width / 2;
    // The corners of one subpath's polyline: each vertex offset to both sides
    // of the pieces that meet there, and the tip of the miter between them.
    auto strokePolyline = [&](const std::vector<CGPoint>& points, bool closed) {
        size_t n = points.size();
        if (n < 2) return;
        auto direction = [&](size_t from, size_t to) {
            double dx = points[to].x - points[from].x, dy = points[to].y - points[from].y;
            double length = std::hypot(dx, dy);
            return length > 0 ? CGPointMake(dx / length, dy / length) : CGPointMake(0, 0);
        };
        for (size_t i = 0; i < n; ++i) {
            bool hasIn = closed || i > 0, hasOut = closed || i + 1 < n;
            CGPoint in = hasIn ? direction((i + n - 1) % n, i) : CGPointMake(0, 0);
            CGPoint out = hasOut ? direction(i, (i + 1) % n) : CGPointMake(0, 0);
            const CGPoint& p = points[i];
            for (CGPoint d : {in, out}) {
                take(CGPointMake(p.x - d.y * half, p.y + d.x * half));
                take(CGPointMake(p.x + d.y * half, p.y - d.x * half));
            }
            if (!hasIn || !hasOut) continue;
            double cosTurn = in.x * out.x + in.y * out.y;
            double cosHalf = std::sqrt(std::max(0.0, (1 + cosTurn) / 2));
            CGPoint outward = CGPointMake(in.x - out.x, in.y - out.y);
            double length = std::hypot(outward.x, outward.y);
            if (length < 1e-9 || cosHalf < 0.1) continue;  // straight on, or beyond the miter limit
            double reach = half / cosHalf;
            take(CGPointMake(p.x + outward.x / length * reach, p.y + outward.y / length * reach));
        }
    };
    std::vector<CGPoint> points;
    CGPoint current{};
    for (const Segment& seg : outline.segments()) {
        switch (seg.kind) {
            case Segment::Move:
                strokePolyline(points, false);
                points = {place(seg.p)};
                break;
            case Segment::Line: points.push_back(place(seg.p)); break;
            case Segment::Curve:
                for (int i = 1; i <= 16; ++i) points.push_back(place(curvePoint(current, seg, i / 16.0)));
                break;
            case Segment::Close:
                if (points.size() > 1 && std::hypot(points.front().x - points.back().x,
                                                     points.front().y - points.back().y) < 1e-9)
                    points.pop_back();
                strokePolyline(points, true);
                points.clear();
                break;
        }
        if (seg.kind != Segment::Close) current = seg.p;
    }
    strokePolyline(points, false);
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

// A fit of `outline` whose stroke, `width` wide, paints exactly `extent`
// (both at the phone's size), then the picture's size factor.
Placement fittedStroke(const Outline& outline, CGRect extent, double width, double factor) {
    CGRect box = CGRectMake(extent.origin.x + width / 2, extent.origin.y + width / 2, extent.size.width - width,
                            extent.size.height - width);
    Placement place;
    for (int pass = 0; pass < 4; ++pass) {
        place = fitted({&outline}, box, 1);
        CGRect painted = strokedBox(outline, place, width);
        double x0 = box.origin.x + CGRectGetMinX(extent) - CGRectGetMinX(painted);
        double y0 = box.origin.y + CGRectGetMinY(extent) - CGRectGetMinY(painted);
        double x1 = CGRectGetMaxX(box) + CGRectGetMaxX(extent) - CGRectGetMaxX(painted);
        double y1 = CGRectGetMaxY(box) + CGRectGetMaxY(extent) - CGRectGetMaxY(painted);
        box = CGRectMake(x0, y0, x1 - x0, y1 - y0);
    }
    place = fitted({&outline}, box, factor);
    return place;
}

Placement scaled(double factor) {
    Placement p;
    p.factor = factor;
    return p;
}

id makePath(const Outline& outline, const Placement& place) {
    id path = newPath();
    for (const Segment& s : outline.segments()) {
        switch (s.kind) {
            case Segment::Move:
                objc_msgSend<void(CGPoint)>(path, "moveToPoint:"_sel, place(s.p));
                break;
            case Segment::Line:
                objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, place(s.p));
                break;
            case Segment::Curve:
                objc_msgSend<void(CGPoint, CGPoint, CGPoint)>(path, "addCurveToPoint:controlPoint1:controlPoint2:"_sel,
                                                              place(s.p), place(s.c1), place(s.c2));
                break;
            case Segment::Close:
                objc_msgSend<void()>(path, "closePath"_sel);
                break;
        }
    }
    return path;
}

// --- The grey discs -------------------------------------------------------------

constexpr CGPoint kDiscCentre{25, 25};
constexpr double kDiscRadius = 25;

// Four bars with rounded ends from `centre`, the first at angle `first`,
// wound anticlockwise so that they cut a hole into a clockwise disc.
void addCrossHole(Outline& o, CGPoint centre, double halfWidth, double length, double first) {
    auto dir = [](double deg) { return polar(CGPointZero, 1, deg); };
    auto corner = [&](double a, double b) {
        CGPoint da = dir(a), db = dir(b);
        return CGPointMake(centre.x + halfWidth * (da.x + db.x), centre.y + halfWidth * (da.y + db.y));
    };
    o.moveTo(corner(first, first + 90));
    for (int k = 0; k < 4; ++k) {
        double theta = first - 90 * k;
        CGPoint end = polar(centre, length, theta);
        o.lineTo(polar(end, halfWidth, theta + 90));
        o.arc(end, halfWidth, theta + 90, theta - 90);
        o.lineTo(corner(theta, theta - 90));
    }
    o.close();
}

void drawDisc() { fill(ovalPath(CGRectMake(0, 0, 50, 50)), color("grayColor")); }

void drawDiscWithHole(NSInteger tag) {
    Outline o;
    o.circle(kDiscCentre, kDiscRadius, true);
    if (tag == IconViewTagDiscCross) {
        addCrossHole(o, kDiscCentre, 1.665, 15.606, 45);
    } else if (tag == IconViewTagDiscPlus) {
        addCrossHole(o, CGPointMake(24.985, 24.985), 1.665, 15.335, 0);
    } else {
        // The ring between a rounded square and the square inside it.
        constexpr double r = 3;
        o.move(37, 10).line(13, 10).arc({13, 13}, r, -90, -180);
        o.line(10, 37).arc({13, 37}, r, 180, 90);
        o.line(37, 40).arc({37, 37}, r, 90, 0);
        o.line(40, 13).arc({37, 13}, r, 0, -90).close();
        o.rect(13.33, 13.33, 23.34, 23.34, true);
    }
    fill(makePath(o, scaled(1)), color("grayColor"));
}

void drawDiscSign(NSInteger tag) {
    drawDisc();
    id white = color("whiteColor");
    auto pt = [](double x, double y) { return CGPointMake(x, y); };
    auto line = [&](id path, std::initializer_list<CGPoint> points) {
        bool first = true;
        for (CGPoint p : points) {
            objc_msgSend<void(CGPoint)>(path, first ? "moveToPoint:"_sel : "addLineToPoint:"_sel, p);
            first = false;
        }
        return path;
    };
    switch (tag) {
        case IconViewTagDiscArrowDown:
            stroke(line(newPath(), {pt(25, 9.67), pt(25, 40.33)}), white, 5, kRound);
            stroke(line(newPath(), {pt(38.33, 28.67), pt(25, 40.33), pt(11.67, 28.67)}), white, 5, kRound);
            break;
        case IconViewTagDiscArrowRight: {
            id path = line(newPath(), {pt(9.67, 25), pt(40.33, 25)});
            line(path, {pt(28.67, 11.67), pt(40.33, 25), pt(28.67, 38.33)});
            stroke(path, white, 5, kRound);
            break;
        }
        case IconViewTagDiscPlay: {
            id path = line(newPath(), {pt(15.83, 35.5), pt(39.17, 24.83), pt(15.83, 14.17)});
            objc_msgSend<void()>(path, "closePath"_sel);
            stroke(path, white, 2.5);
            break;
        }
        case IconViewTagDiscPlayNext: {
            id front = line(newPath(), {pt(23.17, 14.17), pt(46.5, 24.83), pt(23.17, 35.5)});
            objc_msgSend<void()>(front, "closePath"_sel);
            stroke(front, white, 2.5);
            stroke(line(newPath(), {pt(23.23, 21.88), pt(6, 14), pt(6, 35.33), pt(23.32, 27.41)}), white, 2.5);
            break;
        }
        case IconViewTagDiscPlayLast:
            stroke(line(newPath(), {pt(33.36, 24.46), pt(10.83, 14.17), pt(10.83, 35.5), pt(32.96, 25.38),
                                    pt(33.39, 25.19)}),
                   white, 2.5);
            stroke(rectPath(CGRectMake(32.83, 14.17, 6.17, 21)), white, 2.5);
            break;
        case IconViewTagDiscSearch:
            stroke(ovalPath(CGRectMake(16.33, 10.67, 23.33, 23.33)), white, 2.5);
            stroke(line(newPath(), {pt(12.67, 37.33), pt(18.33, 32)}), white, 3.5, kRound);
            break;
        default:
            break;
    }
}

// --- The outline pictures -------------------------------------------------------

void drawPaperClip(const IconPicture& picture, double k) {
    // Three turns of wire along x, then laid on the diagonal; each straight
    // run and each turn is a subpath of its own.
    Outline o;
    o.move(6, 0).line(17, 0);
    o.move(17, 0).arc({17, 2.2}, 2.2, -90, 90);
    o.move(17, 4.4).line(2.5, 4.4);
    o.move(2.5, 4.4).arc({2.5, 1.1}, 3.3, 90, 270);
    o.move(2.5, -2.2).line(21, -2.2);
    o.move(21, -2.2).arc({21, 2.2}, 4.4, -90, 90);
    o.move(21, 6.6).line(8, 6.6);
    o.rotate(-40);
    double width = 5.5 / picture.divisor;
    stroke(makePath(o, fittedStroke(o, picture.extent, width, k)), color("whiteColor"), width * k);
}

void drawHeart(const IconPicture& picture, double k) {
    double width = 5.5 / picture.divisor;
    Outline o;
    o.move(8.85, 3.4);
    o.curve(13.1, 0.69, 9.9, 1.7, 11.4, 0.69).curve(17.01, 4.9, 15.3, 0.69, 17.01, 2.5);
    o.curve(8.85, 15.4, 17.01, 9.0, 11.6, 12.2);
    o.curve(0.69, 4.9, 6.1, 12.2, 0.69, 9.0);
    o.curve(4.6, 0.69, 0.69, 2.5, 2.3, 0.69).curve(8.85, 3.4, 6.3, 0.69, 7.8, 1.7);
    o.close();
    stroke(makePath(o, fittedStroke(o, picture.extent, width, k)), color("whiteColor"), width * k);
}

constexpr float kChainLinkDivisor = 5.0f;

void drawChainLink(id penColor) {
    // Two rings stretched along the diagonal, overlapping in the middle:
    // ellipses of five curves each, turned by -45 degrees about their centres.
    constexpr double a = 3.3, b = 1.6, shift = 1.857;
    const double c = std::cos(-kPi / 4), s = std::sin(-kPi / 4);
    const double handle = 4.0 / 3.0 * std::tan(72 * kPi / 720);
    Outline o;
    for (int i = 0; i < 2; ++i) {
        double cx = 5.3 + (i == 0 ? -shift : shift), cy = 5.0 + (i == 0 ? shift : -shift);
        auto at = [&](double deg) {
            double x = a * std::cos(deg * kPi / 180), y = b * std::sin(deg * kPi / 180);
            return CGPointMake(cx + x * c - y * s, cy + x * s + y * c);
        };
        auto tangent = [&](double deg) {
            double x = -a * std::sin(deg * kPi / 180) * handle, y = b * std::cos(deg * kPi / 180) * handle;
            return CGPointMake(x * c - y * s, x * s + y * c);
        };
        double start = i == 0 ? 180 : 0;
        o.moveTo(at(start));
        for (int p = 0; p < 5; ++p) {
            double a0 = start + 72 * p, a1 = a0 + 72;
            CGPoint p0 = at(a0), p1 = at(a1), t0 = tangent(a0), t1 = tangent(a1);
            o.curve(p1.x, p1.y, p0.x + t0.x, p0.y + t0.y, p1.x - t1.x, p1.y - t1.y);
        }
        o.close();
    }
    id path = makePath(o, scaled(1));
    objc_msgSend<void(LineStyle)>(path, "setLineCapStyle:"_sel, kRound);
    // Without a pen colour the context's stroke colour stays.
    objc_msgSend<void()>(penColor, "setStroke"_sel);
    objc_msgSend<void(double)>(path, "setLineWidth:"_sel, 5.0 / kChainLinkDivisor);
    objc_msgSend<void()>(path, "stroke"_sel);
}

void drawInformation(const IconPicture& picture, double k) {
    double width = 5.5 / picture.divisor;
    double s = picture.divisor;
    stroke(ovalPath(CGRectMake(2.5 / s * k, 2.5 / s * k, 66 / s * k, 62 / s * k)), color("whiteColor"), width * k);
    Outline i;
    i.circle({10.25, 4.6}, 1.1, true);
    i.move(8.6, 6.9).line(10.2, 6.9).line(8.75, 11.3);
    i.curve(10.5, 11.0, 8.55, 12.0, 9.6, 11.8).line(10.8, 11.5);
    i.curve(7.5, 13.0, 10.0, 12.6, 8.6, 13.0).curve(6.7, 12.0, 6.9, 13.0, 6.65, 12.6);
    i.close();
    fill(makePath(i, scaled(k)), color("whiteColor"));
}

void drawRocket(const IconPicture& picture, double k) {
    Outline body;
    body.move(-6, -3).line(4, -3).curve(12, 0, 8, -3, 11, -1.5).curve(4, 3, 11, 1.5, 8, 3).line(-6, 3).close();
    body.move(-1, -3).line(-6, -7).line(-8, -7).line(-6, -3);
    body.move(-1, 3).line(-6, 7).line(-8, 7).line(-6, 3);
    body.move(-6, -2).line(-8, -2).line(-8, 2).line(-6, 2);
    body.move(-8, -1.2).curve(-13, 0, -10, -1.2, -11.5, -0.8).curve(-8, 1.2, -11.5, 0.8, -10, 1.2);
    Outline window;
    window.circle({6.3, 0}, 1.25, true);
    body.rotate(-45);
    window.rotate(-45);
    double width = 3.5 / picture.divisor;
    Placement place = fittedStroke(body, picture.extent, width, k);
    stroke(makePath(body, place), color("whiteColor"), width * k);
    stroke(makePath(window, place), color("whiteColor"), 2.5 / picture.divisor * k);
}

// --- The placeholders -----------------------------------------------------------

// Capital letters on a grid of five columns and seven rows.
const char* glyph(char c) {
    switch (c) {
        case 'A': return ".XXX.X...XX...XXXXXXX...XX...XX...X";
        case 'C': return ".XXXXX....X....X....X....X.....XXXX";
        case 'D': return "XXXX.X...XX...XX...XX...XX...XXXXX.";
        case 'E': return "XXXXXX....X....XXXX.X....X....XXXXX";
        case 'F': return "XXXXXX....X....XXXX.X....X....X....";
        case 'G': return ".XXXXX....X....X..XXX...XX...X.XXXX";
        case 'I': return "XXXXX..X....X....X....X....X..XXXXX";
        case 'L': return "X....X....X....X....X....X....XXXXX";
        case 'M': return "X...XXX.XXX.X.XX.X.XX...XX...XX...X";
        case 'N': return "X...XXX..XXX..XX.X.XX..XXX..XXX...X";
        case 'O': return ".XXX.X...XX...XX...XX...XX...X.XXX.";
        case 'P': return "XXXX.X...XX...XXXXX.X....X....X....";
        case 'R': return "XXXX.X...XX...XXXXX.X.X..X..X.X...X";
        case 'S': return ".XXXXX....X.....XXX.....X....XXXXX.";
        case 'T': return "XXXXX..X....X....X....X....X....X..";
        case 'U': return "X...XX...XX...XX...XX...XX...X.XXX.";
        case 'Y': return "X...XX...X.X.X...X....X....X....X..";
        default: return nullptr;
    }
}

// One line of capitals as filled cells, stretched over `box`.
void addWords(Outline& o, const char* text, CGRect box) {
    constexpr int kAdvance = 6, kSpace = 4;
    int cells = 0;
    for (const char* c = text; *c != 0; ++c) cells += *c == ' ' ? kSpace : kAdvance;
    cells -= 1;  // no gap after the last letter
    double w = box.size.width / cells, h = box.size.height / 7;
    double x = box.origin.x;
    for (const char* c = text; *c != 0; ++c) {
        const char* g = glyph(*c);
        if (g == nullptr) {
            x += kSpace * w;
            continue;
        }
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < 5;) {
                if (g[row * 5 + col] != 'X') {
                    ++col;
                    continue;
                }
                int end = col;
                while (end < 5 && g[row * 5 + end] == 'X') ++end;
                // Rows overlap a little so that no seam shows between them.
                double bottom = row == 6 ? 0 : 0.05 * h;
                o.rect(x + col * w, box.origin.y + row * h, (end - col) * w, h + bottom);
                col = end;
            }
        }
        x += kAdvance * w;
    }
}

// The two photographs of the placeholders, at the size of picture 18 times
// `scale`.
// Points of `from` fitted into `box`, as a new outline of straight subpaths.
Outline placedPolygons(const Outline& from, CGRect box) {
    Placement p = fitted({&from}, box, 1);
    Outline to;
    for (const Segment& s : from.segments()) {
        if (s.kind == Segment::Move) to.moveTo(p(s.p));
        else if (s.kind == Segment::Line) to.lineTo(p(s.p));
        else if (s.kind == Segment::Close) to.close();
    }
    return to;
}

// The two photographs of the placeholders, at the size of picture 18 times
// `scale`: a tilted card behind, and a tilted frame with its window cut out
// and two peaks inside it in front.
void photographs(Outline& back, Outline& front, double scale) {
    Outline card;
    card.rect(0, 0, 30, 36);
    card.rotate(14);
    back = placedPolygons(card, CGRectMake(0.5 * scale, 16.3 * scale, 24.0 * scale, 32.4 * scale));
    Outline frame;
    frame.rect(0, 0, 30, 36);
    frame.rect(3, 3, 24, 27, false);
    frame.move(3, 30).line(3, 22).line(10, 14).line(15, 20).line(20, 12).line(27, 21).line(27, 30).close();
    frame.rotate(-10);
    front = placedPolygons(frame, CGRectMake(10.5 * scale, 1.1 * scale, 38.5 * scale, 44.2 * scale));
}

void drawNoImage() {
    Outline back, front, words;
    photographs(back, front, 1);
    addWords(words, "NO IMAGE", CGRectMake(54.1, 11.3, 60.3, 8.6));
    addWords(words, "FOUND", CGRectMake(63.4, 27.1, 42.0, 8.6));
    fill(makePath(back, scaled(1)), color("grayColor"));
    fill(makePath(words, scaled(1)), color("darkGrayColor"));
    fill(makePath(front, scaled(1)), color("darkGrayColor"));
}

void drawContentTooLarge() {
    Outline back, front, words;
    photographs(back, front, 6.0 / 4.0);
    addWords(words, "CONTENT TOO", CGRectMake(79.5, 11.6, 128.5, 13.0));
    addWords(words, "LARGE", CGRectMake(116.1, 31.1, 55.7, 13.0));
    addWords(words, "TO DISPLAY", CGRectMake(93.4, 50.4, 101.2, 12.9));
    fill(makePath(back, scaled(1)), grey(0.811));
    fill(makePath(front, scaled(1)), grey(0.736));
    fill(makePath(words, scaled(1)), color("lightGrayColor"));
}

// --- The phones -----------------------------------------------------------------

constexpr double kPhoneLine = 1.6;
constexpr double kPhoneCorner = 36;
constexpr float kPhoneDivisor = 2.5f;

id phoneGrey() { return grey(0.813); }
id screenGrey() { return grey(0.986); }

// The image of the phone's screen: clipped to `area`, tiled from `tile` in
// the context scaled by (1 / S, -1 / S). A missing image draws nothing.
void drawScreenImage(CGContextRef context, id image, CGRect area, CGPoint tile) {
    if (image == nullptr) return;
    CGContextSaveGState(context);
    Outline clip;
    clip.rect(area.origin.x, area.origin.y, area.size.width, area.size.height);
    objc_msgSend<void()>(makePath(clip, scaled(1)), "addClip"_sel);
    CGContextScaleCTM(context, 1 / kPhoneDivisor, -1 / kPhoneDivisor);
    CGSize size = objc_msgSend<CGSize()>(image, "size"_sel);
    CGContextDrawTiledImage(context, CGRectMake(tile.x, tile.y, size.width, size.height),
                            objc_msgSend<CGImageRef()>(image, "CGImage"_sel));
    CGContextRestoreGState(context);
}

id loadScreenImage(NSInteger tag, int subTag) {
    std::optional<std::string> name = iconImageName(tag, subTag);
    // A full device path: the library's bundle, not the app's.
    NSString* path = NSStringWithFormat("/%@/%s", CantrelBundlePath(), name->c_str());
    return objc_msgSend<id(id)>(UIImage::cls(), "imageNamed:"_sel, path);
}

void drawCamera(double cy) { stroke(ovalPath(CGRectMake(165 - 4.1, cy - 4.1, 8.2, 8.2)), phoneGrey(), kPhoneLine); }

void drawSpeaker(double top) {
    constexpr double left = 137.5, right = 192.5, height = 12.6, ring = 1.6;
    double r = height / 2, cy = top + r;
    Outline o;
    o.move(left + r, top).line(right - r, top).arc({right - r, cy}, r, -90, 90);
    o.line(left + r, top + height).arc({left + r, cy}, r, 90, 270).close();
    double ri = r - ring;
    o.move(left + r, top + ring).arc({left + r, cy}, ri, 270, 90).line(right - r, cy + ri);
    o.arc({right - r, cy}, ri, 90, -90).close();
    fill(makePath(o, scaled(1)), phoneGrey());
}

void drawSideButtons(double up) {
    const double spans[3][3] = {{90, 109.6, 24.8}, {129.2, 140.8, 25.2}, {158, 169.6, 25.2}};
    for (const auto& s : spans) {
        Outline o;
        o.move(27.4, s[0] - up).line(s[2], s[0] - up).line(s[2], s[1] - up).line(27.4, s[1] - up);
        stroke(makePath(o, scaled(1)), phoneGrey(), kPhoneLine, kRound, kRound);
    }
}

void drawTopButton(double top) {
    Outline o;
    o.move(246.4, top + 3).line(246.4, top).line(273.2, top).line(273.2, top + 3);
    stroke(makePath(o, scaled(1)), phoneGrey(), kPhoneLine);
}

// The outline open at the bottom: sides, rounded top corners and the top.
void drawUpperOutline(double top, double bottom) {
    constexpr double l = 27.6, r = 302.8, c = kPhoneCorner;
    Outline o;
    o.move(l, bottom).line(l, top + c).arc({l + c, top + c}, c, 180, 270);
    o.line(r - c, top).arc({r - c, top + c}, c, 270, 360).line(r, bottom);
    stroke(makePath(o, scaled(1)), phoneGrey(), kPhoneLine);
}

void drawScreen(CGRect screen) {
    id path = rectPath(screen);
    fill(path, screenGrey());
    stroke(path, phoneGrey(), kPhoneLine);
}

// Bold centred text, as the tabs' labels.
void drawLabel(const char* text, CGRect rect, id colour) {
    id font = objc_msgSend<id(id, double)>(UIFont::cls(), "fontWithName:size:"_sel, "Helvetica-Bold"_ns,
                                           35.0 / kPhoneDivisor);
    id style =
        objc_msgSend<id()>(objc_msgSend<id()>(NSParagraphStyle::cls(), "defaultParagraphStyle"_sel), "mutableCopy"_sel);
    objc_msgSend<void(NSInteger)>(style, "setAlignment:"_sel, NSTextAlignmentCenter);
    NSDictionary* attributes = NSDictionary::make(
        {{NSFontAttributeName, font}, {NSForegroundColorAttributeName, colour}, {NSParagraphStyleAttributeName, style}});
    objc_msgSend<void(CGRect, id)>(NSString::make(text), "drawInRect:withAttributes:"_sel, rect, attributes);
    objc_release(style);
}

void drawPhoneWidget(CGContextRef context, id image) {
    drawCamera(50.2);
    drawSpeaker(62.4);
    drawScreen(CGRectMake(39.6, 91.6, 249.6, 201.2));
    drawSideButtons(0);
    id left = rectPath(CGRectMake(47.6, 100, 116.4, 23.2));
    fill(left, phoneGrey());
    stroke(left, phoneGrey(), kPhoneLine, kRound, kRound);
    stroke(rectPath(CGRectMake(164, 100, 114.4, 23.2)), phoneGrey(), kPhoneLine, kRound, kRound);
    drawLabel("Today", CGRectMake(71.2, 103.6, 69.2, 19.6), grey(0.95));
    drawLabel("Notifications", CGRectMake(174.8, 104.4, 93.2, 18), phoneGrey());
    drawScreenImage(context, image, CGRectMake(40.8, 134, 247, 158.8), CGPointMake(102, -333));
    drawUpperOutline(26, 292.8);
    drawTopButton(23.4);
}

void drawPhoneKeyboard(CGContextRef context, id image) {
    constexpr double l = 27.6, r = 302.8, bottom = 292.8, c = kPhoneCorner;
    Outline o;
    o.move(l, 26).line(l, bottom - c).arc({l + c, bottom - c}, c, 180, 90);
    o.line(r - c, bottom).arc({r - c, bottom - c}, c, 90, 0).line(r, 26);
    stroke(makePath(o, scaled(1)), phoneGrey(), kPhoneLine);
    CGRect screen = CGRectMake(36.8, 26, 257.2, 201.2);
    drawScreenImage(context, image, screen, CGPointMake(92, -65));
    stroke(rectPath(screen), phoneGrey(), kPhoneLine);
    id home = ovalPath(CGRectMake(143.2, 238.4, 44, 44));
    fill(home, screenGrey());
    stroke(home, phoneGrey(), kPhoneLine);
}

void drawPhoneScreen(CGContextRef context, id image) {
    drawUpperOutline(15.6, 323.2);
    drawCamera(39.8);
    drawSpeaker(52.0);
    drawScreen(CGRectMake(39.6, 81.2, 249.6, 242));
    drawSideButtons(10.4);
    drawScreenImage(context, image, CGRectMake(40.8, 82, 247, 241.2), CGPointMake(102, -205));
    drawTopButton(13);
}

}  // namespace

void drawIconPicture(const IconPicture& picture, double k, int subTag, id penColor) {
    switch (picture.tag) {
        case IconViewTagPaperClip: return drawPaperClip(picture, k);
        case IconViewTagHeart: return drawHeart(picture, k);
        case IconViewTagChainLink: return drawChainLink(penColor);
        case IconViewTagInfo: return drawInformation(picture, k);
        case IconViewTagRocket: return drawRocket(picture, k);
        case IconViewTagNoImage: return drawNoImage();
        case IconViewTagContentTooLarge: return drawContentTooLarge();
        case IconViewTagDiscCross:
        case IconViewTagDiscPlus:
        case IconViewTagDiscSquare: return drawDiscWithHole(picture.tag);
        case IconViewTagPhoneWidget:
        case IconViewTagPhoneKeyboard:
        case IconViewTagPhoneScreen: {
            CGContextRef context = UIGraphicsGetCurrentContext();
            id image = loadScreenImage(picture.tag, subTag);
            if (picture.tag == IconViewTagPhoneWidget) return drawPhoneWidget(context, image);
            if (picture.tag == IconViewTagPhoneKeyboard) return drawPhoneKeyboard(context, image);
            return drawPhoneScreen(context, image);
        }
        default: return drawDiscSign(picture.tag);
    }
}

}  // namespace cantrel

namespace {

int themeIndex(IconView* self, SEL) { return std::atomic_ref<int>(self->_themeIndex).load(std::memory_order_relaxed); }
void setThemeIndex(IconView* self, SEL, int value) {
    std::atomic_ref<int>(self->_themeIndex).store(value, std::memory_order_relaxed);
}
int subTag(IconView* self, SEL) { return std::atomic_ref<int>(self->_subTag).load(std::memory_order_relaxed); }
void setSubTag(IconView* self, SEL, int value) {
    std::atomic_ref<int>(self->_subTag).store(value, std::memory_order_relaxed);
}
id penColor(IconView* self, SEL) { return self->_penColor.get(); }
void setPenColor(IconView* self, SEL, id color) { self->_penColor = static_cast<UIColor*>(color); }

id initWithCoder(IconView* self, SEL, id coder) {
    id result = objc_msgSendSuper<id(id)>(self, IconView::cls(), "initWithCoder:"_sel, coder);
    if (result != nullptr) {
        objc_msgSend<void(id)>(result, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel));
        objc_msgSend<void(int)>(result, "setSubTag:"_sel, 0);
    }
    return result;
}

void drawRect(IconView* self, SEL, CGRect) {
    NSInteger tag = objc_msgSend<NSInteger()>(self, "tag"_sel);
    const cantrel::IconPicture* picture = cantrel::iconPicture(tag);
    if (picture == nullptr) return;
    // The idiom is asked only by the pictures that are larger on an iPad.
    NSInteger idiom = picture->padDivisor != 0 ? UI_USER_INTERFACE_IDIOM() : UIUserInterfaceIdiomPhone;
    cantrel::drawIconPicture(*picture, cantrel::iconPictureFactor(*picture, idiom),
                             objc_msgSend<int()>(self, "subTag"_sel), objc_msgSend<id()>(self, "penColor"_sel));
}

}  // namespace

void registerIconView() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<IconView>("IconView", UIView::cls())
            .method<initWithCoder>("initWithCoder:", "@@:@")
            .method<themeIndex>("themeIndex", "i@:")
            .method<setThemeIndex>("setThemeIndex:", "v@:i")
            .method<subTag>("subTag", "i@:")
            .method<setSubTag>("setSubTag:", "v@:i")
            .method<penColor>("penColor", "@@:")
            .method<setPenColor>("setPenColor:", "v@:@")
            .method<drawRect>("drawRect:", "v@:{CGRect={CGPoint=dd}{CGSize=dd}}")
            .OBJC_IVAR(IconView, _themeIndex)
            .OBJC_IVAR(IconView, _subTag)
            .OBJC_IVAR(IconView, _penColor);
    });
}

// The size of a view that shows a tag's whole picture at the device's idiom,
// for the hosts; NO for a tag that draws nothing.
extern "C" CANTREL_EXPORT BOOL Cantrel_iconPictureSize(NSInteger tag, CGSize* size) {
    const cantrel::IconPicture* picture = cantrel::iconPicture(tag);
    if (picture == nullptr) return NO;
    NSInteger idiom = picture->padDivisor != 0 ? UI_USER_INTERFACE_IDIOM() : UIUserInterfaceIdiomPhone;
    *size = cantrel::iconPictureViewSize(*picture, idiom);
    return YES;
}
