// UIBezierPath over cairo paths.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIBezierPath.h>
#include <UIKit/UIGraphics.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>

using namespace platform::support;

void UIBezierPath::addToContext(CGContextRef context) const {
    cairo_t* cr = context->cr;
    cairo_new_path(cr);
    for (const Element& e : _elements) {
        switch (e.kind) {
        case Element::Move: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
        case Element::Line: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
        case Element::Curve:
            cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                           e.points[2].y);
            break;
        case Element::Close: cairo_close_path(cr); break;
        }
    }
}

namespace {

namespace path {

UIBezierPath* make(objc_class* cls) {
    return objectAs<UIBezierPath>(objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel)));
}

void moveToPoint(UIBezierPath* self, SEL, CGPoint p) {
    self->_elements.push_back({UIBezierPath::Element::Move, {p}});
    self->_currentPoint = self->_subpathStart = p;
    self->_hasCurrentPoint = true;
}

void addLineToPoint(UIBezierPath* self, SEL, CGPoint p) {
    if (!self->_hasCurrentPoint) return moveToPoint(self, nullptr, p);
    self->_elements.push_back({UIBezierPath::Element::Line, {p}});
    self->_currentPoint = p;
}

void addCurve(UIBezierPath* self, SEL, CGPoint end, CGPoint c1, CGPoint c2) {
    if (!self->_hasCurrentPoint) moveToPoint(self, nullptr, c1);
    self->_elements.push_back({UIBezierPath::Element::Curve, {c1, c2, end}});
    self->_currentPoint = end;
}

void addQuadCurve(UIBezierPath* self, SEL, CGPoint end, CGPoint control) {
    if (!self->_hasCurrentPoint) moveToPoint(self, nullptr, control);
    CGPoint s = self->_currentPoint;
    // The cubic with the same shape: control points two thirds of the way to
    // the quadratic's control point.
    CGPoint c1{s.x + 2.0 / 3.0 * (control.x - s.x), s.y + 2.0 / 3.0 * (control.y - s.y)};
    CGPoint c2{end.x + 2.0 / 3.0 * (control.x - end.x), end.y + 2.0 / 3.0 * (control.y - end.y)};
    addCurve(self, nullptr, end, c1, c2);
}

void closePath(UIBezierPath* self, SEL) {
    if (!self->_hasCurrentPoint) return;
    self->_elements.push_back({UIBezierPath::Element::Close, {}});
    self->_currentPoint = self->_subpathStart;
}

void addArc(UIBezierPath* self, SEL, CGPoint center, double radius, double start, double end, BOOL clockwise) {
    if (!std::isfinite(radius) || !std::isfinite(start) || !std::isfinite(end)) return;
    radius = std::fabs(radius);
    auto at = [&](double a) { return CGPoint{center.x + radius * std::cos(a), center.y + radius * std::sin(a)}; };
    CGPoint first = at(start);
    if (self->_hasCurrentPoint) addLineToPoint(self, nullptr, first);
    else moveToPoint(self, nullptr, first);
    // The sweep in the arc's direction: clockwise on screen is increasing angle.
    const double full = 2 * M_PI;
    double sweep = end - start;
    if (clockwise) {
        if (sweep < 0) sweep = std::fmod(sweep, full) + full;
        if (sweep > full) sweep = full;
    } else {
        if (sweep > 0) sweep = std::fmod(sweep, full) - full;
        if (sweep < -full) sweep = -full;
    }
    int segments = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (M_PI / 2) - 1e-9)));
    double step = sweep / segments;
    double k = 4.0 / 3.0 * std::tan(step / 4) * radius;
    double a = start;
    for (int i = 0; i < segments; ++i) {
        double b = a + step;
        CGPoint p0 = at(a), p3 = at(b);
        CGPoint c1{p0.x - k * std::sin(a), p0.y + k * std::cos(a)};
        CGPoint c2{p3.x + k * std::sin(b), p3.y - k * std::cos(b)};
        addCurve(self, nullptr, p3, c1, c2);
        a = b;
    }
}

void addRect(UIBezierPath* self, CGRect r) {
    moveToPoint(self, nullptr, r.origin);
    addLineToPoint(self, nullptr, CGPoint{r.origin.x + r.size.width, r.origin.y});
    addLineToPoint(self, nullptr, CGPoint{r.origin.x + r.size.width, r.origin.y + r.size.height});
    addLineToPoint(self, nullptr, CGPoint{r.origin.x, r.origin.y + r.size.height});
    closePath(self, nullptr);
}

id bezierPath(objc_class* cls, SEL) { return make(cls); }

id withRect(objc_class* cls, SEL, CGRect rect) {
    UIBezierPath* p = make(cls);
    if (p) addRect(p, rect);
    return p;
}

id withOval(objc_class* cls, SEL, CGRect rect) {
    UIBezierPath* p = make(cls);
    if (p == nullptr) return nil;
    rect = CGRectStandardize(rect);
    double rx = rect.size.width / 2, ry = rect.size.height / 2;
    double cx = rect.origin.x + rx, cy = rect.origin.y + ry;
    const double k = 0.5522847498307936;
    moveToPoint(p, nullptr, CGPoint{cx + rx, cy});
    addCurve(p, nullptr, CGPoint{cx, cy + ry}, CGPoint{cx + rx, cy + k * ry}, CGPoint{cx + k * rx, cy + ry});
    addCurve(p, nullptr, CGPoint{cx - rx, cy}, CGPoint{cx - k * rx, cy + ry}, CGPoint{cx - rx, cy + k * ry});
    addCurve(p, nullptr, CGPoint{cx, cy - ry}, CGPoint{cx - rx, cy - k * ry}, CGPoint{cx - k * rx, cy - ry});
    addCurve(p, nullptr, CGPoint{cx + rx, cy}, CGPoint{cx + k * rx, cy - ry}, CGPoint{cx + rx, cy - k * ry});
    closePath(p, nullptr);
    return p;
}

id withRoundedRect(objc_class* cls, SEL, CGRect rect, double radius) {
    UIBezierPath* p = make(cls);
    if (p == nullptr) return nil;
    rect = CGRectStandardize(rect);
    double r = std::clamp(std::isfinite(radius) ? radius : 0.0, 0.0,
                          std::min(rect.size.width, rect.size.height) / 2);
    if (r <= 0) {
        addRect(p, rect);
        return p;
    }
    double x0 = rect.origin.x, y0 = rect.origin.y, x1 = x0 + rect.size.width, y1 = y0 + rect.size.height;
    moveToPoint(p, nullptr, CGPoint{x0 + r, y0});
    addArc(p, nullptr, CGPoint{x1 - r, y0 + r}, r, -M_PI / 2, 0, YES);
    addArc(p, nullptr, CGPoint{x1 - r, y1 - r}, r, 0, M_PI / 2, YES);
    addArc(p, nullptr, CGPoint{x0 + r, y1 - r}, r, M_PI / 2, M_PI, YES);
    addArc(p, nullptr, CGPoint{x0 + r, y0 + r}, r, M_PI, 3 * M_PI / 2, YES);
    closePath(p, nullptr);
    return p;
}

void removeAllPoints(UIBezierPath* self, SEL) {
    self->_elements.clear();
    self->_hasCurrentPoint = false;
    self->_currentPoint = self->_subpathStart = CGPointZero;
}

void appendPath(UIBezierPath* self, SEL, id other) {
    auto* o = requireObject<UIBezierPath>(other, "-[UIBezierPath appendPath:]");
    if (o == nullptr || o == self) {
        if (o == self) {
            std::vector<UIBezierPath::Element> copy = self->_elements;
            self->_elements.insert(self->_elements.end(), copy.begin(), copy.end());
        }
        return;
    }
    self->_elements.insert(self->_elements.end(), o->_elements.begin(), o->_elements.end());
    if (o->_hasCurrentPoint) {
        self->_hasCurrentPoint = true;
        self->_currentPoint = o->_currentPoint;
        self->_subpathStart = o->_subpathStart;
    }
}

CGPoint currentPoint(UIBezierPath* self, SEL) { return self->_hasCurrentPoint ? self->_currentPoint : CGPointZero; }

BOOL isEmpty(UIBezierPath* self, SEL) { return self->_elements.empty(); }

CGRect bounds(UIBezierPath* self, SEL) {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (const auto& e : self->_elements) {
        int n = e.kind == UIBezierPath::Element::Curve ? 3 : e.kind == UIBezierPath::Element::Close ? 0 : 1;
        for (int i = 0; i < n; ++i) {
            const CGPoint& p = e.points[i];
            if (!any) {
                x0 = x1 = p.x;
                y0 = y1 = p.y;
                any = true;
            }
            x0 = std::min(x0, p.x);
            y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x);
            y1 = std::max(y1, p.y);
        }
    }
    return any ? CGRectMake(x0, y0, x1 - x0, y1 - y0) : CGRectZero;
}

double lineWidth(UIBezierPath* self, SEL) { return self->_lineWidth; }
void setLineWidth(UIBezierPath* self, SEL, double w) { self->_lineWidth = std::isfinite(w) && w > 0 ? w : 0; }
NSInteger lineCapStyle(UIBezierPath* self, SEL) { return self->_lineCapStyle; }
void setLineCapStyle(UIBezierPath* self, SEL, NSInteger v) { self->_lineCapStyle = std::clamp<NSInteger>(v, 0, 2); }
NSInteger lineJoinStyle(UIBezierPath* self, SEL) { return self->_lineJoinStyle; }
void setLineJoinStyle(UIBezierPath* self, SEL, NSInteger v) { self->_lineJoinStyle = std::clamp<NSInteger>(v, 0, 2); }
double miterLimit(UIBezierPath* self, SEL) { return self->_miterLimit; }
void setMiterLimit(UIBezierPath* self, SEL, double v) { self->_miterLimit = std::isfinite(v) && v >= 1 ? v : 1; }
BOOL usesEvenOdd(UIBezierPath* self, SEL) { return self->_usesEvenOddFillRule; }
void setUsesEvenOdd(UIBezierPath* self, SEL, BOOL v) { self->_usesEvenOddFillRule = v; }

cairo_fill_rule_t fillRule(UIBezierPath* self) {
    return self->_usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

void fill(UIBezierPath* self, SEL) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    cairo_save(c->cr);
    self->addToContext(c);
    cairo_set_fill_rule(c->cr, fillRule(self));
    platform::contextUseFillColor(c);
    cairo_fill(c->cr);
    cairo_restore(c->cr);
}

void stroke(UIBezierPath* self, SEL) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    cairo_t* cr = c->cr;
    cairo_save(cr);
    self->addToContext(c);
    double width = self->_lineWidth;
    if (width <= 0) {
        // One device pixel, whatever the transform.
        double dx = 1, dy = 0;
        cairo_device_to_user_distance(cr, &dx, &dy);
        width = std::hypot(dx, dy);
    }
    cairo_set_line_width(cr, width);
    static const cairo_line_cap_t caps[] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE};
    static const cairo_line_join_t joins[] = {CAIRO_LINE_JOIN_MITER, CAIRO_LINE_JOIN_ROUND, CAIRO_LINE_JOIN_BEVEL};
    cairo_set_line_cap(cr, caps[self->_lineCapStyle]);
    cairo_set_line_join(cr, joins[self->_lineJoinStyle]);
    cairo_set_miter_limit(cr, self->_miterLimit);
    platform::contextUseStrokeColor(c);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void addClip(UIBezierPath* self, SEL) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    self->addToContext(c);
    cairo_fill_rule_t old = cairo_get_fill_rule(c->cr);
    cairo_set_fill_rule(c->cr, fillRule(self));
    cairo_clip(c->cr);
    cairo_set_fill_rule(c->cr, old);
}

}  // namespace path

}  // namespace

void platform::uikit::registerBezierPaths() {
    objc::ClassDef<UIBezierPath>("UIBezierPath", NSObject::cls())
        .classMethod<path::bezierPath>("bezierPath")
        .classMethod<path::withRect>("bezierPathWithRect:")
        .classMethod<path::withOval>("bezierPathWithOvalInRect:")
        .classMethod<path::withRoundedRect>("bezierPathWithRoundedRect:cornerRadius:")
        .method<path::moveToPoint>("moveToPoint:")
        .method<path::addLineToPoint>("addLineToPoint:")
        .method<path::addCurve>("addCurveToPoint:controlPoint1:controlPoint2:")
        .method<path::addQuadCurve>("addQuadCurveToPoint:controlPoint:")
        .method<path::addArc>("addArcWithCenter:radius:startAngle:endAngle:clockwise:")
        .method<path::closePath>("closePath")
        .method<path::removeAllPoints>("removeAllPoints")
        .method<path::appendPath>("appendPath:")
        .method<path::currentPoint>("currentPoint")
        .method<path::isEmpty>("isEmpty")
        .method<path::bounds>("bounds")
        .method<path::lineWidth>("lineWidth")
        .method<path::setLineWidth>("setLineWidth:")
        .method<path::lineCapStyle>("lineCapStyle")
        .method<path::setLineCapStyle>("setLineCapStyle:")
        .method<path::lineJoinStyle>("lineJoinStyle")
        .method<path::setLineJoinStyle>("setLineJoinStyle:")
        .method<path::miterLimit>("miterLimit")
        .method<path::setMiterLimit>("setMiterLimit:")
        .method<path::usesEvenOdd>("usesEvenOddFillRule")
        .method<path::setUsesEvenOdd>("setUsesEvenOddFillRule:")
        .method<path::fill>("fill")
        .method<path::stroke>("stroke")
        .method<path::addClip>("addClip")
        .OBJC_IVAR(UIBezierPath, _lineWidth);
}
