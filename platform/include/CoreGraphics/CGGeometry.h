// Points, sizes and rectangles. CGFloat is double, and rectangles travel by
// value in method prototypes (UIView's initWithFrame: is id(CGRect)).
//
// The Get* accessors answer for the standardised rectangle (a negative width
// or height counts from the other edge), so CGRectGetMinX of {10, 0, -4, 1}
// is 6.
#pragma once

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};

constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }
constexpr CGSize CGSizeMake(CGFloat width, CGFloat height) { return CGSize{width, height}; }
constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    return CGRect{CGPoint{x, y}, CGSize{width, height}};
}

constexpr bool CGPointEqualToPoint(CGPoint a, CGPoint b) { return a.x == b.x && a.y == b.y; }
constexpr bool CGSizeEqualToSize(CGSize a, CGSize b) { return a.width == b.width && a.height == b.height; }
// Exact comparison of the rectangles as given (not standardised).
constexpr bool CGRectEqualToRect(CGRect a, CGRect b) {
    return CGPointEqualToPoint(a.origin, b.origin) && CGSizeEqualToSize(a.size, b.size);
}

// The same rectangle with a non-negative width and height.
constexpr CGRect CGRectStandardize(CGRect r) {
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

constexpr CGFloat CGRectGetWidth(CGRect r) { return CGRectStandardize(r).size.width; }
constexpr CGFloat CGRectGetHeight(CGRect r) { return CGRectStandardize(r).size.height; }
constexpr CGFloat CGRectGetMinX(CGRect r) { return CGRectStandardize(r).origin.x; }
constexpr CGFloat CGRectGetMinY(CGRect r) { return CGRectStandardize(r).origin.y; }
constexpr CGFloat CGRectGetMaxX(CGRect r) { return CGRectGetMinX(r) + CGRectGetWidth(r); }
constexpr CGFloat CGRectGetMaxY(CGRect r) { return CGRectGetMinY(r) + CGRectGetHeight(r); }
constexpr CGFloat CGRectGetMidX(CGRect r) { return CGRectGetMinX(r) + CGRectGetWidth(r) / 2; }
constexpr CGFloat CGRectGetMidY(CGRect r) { return CGRectGetMinY(r) + CGRectGetHeight(r) / 2; }

// A rectangle with no area: a zero width or height.
constexpr bool CGRectIsEmpty(CGRect r) { return r.size.width == 0 || r.size.height == 0; }
// Whether the two rectangles share some area (an empty one meets nothing).
constexpr bool CGRectIntersectsRect(CGRect a, CGRect b) {
    if (CGRectIsEmpty(a) || CGRectIsEmpty(b)) return false;
    return CGRectGetMinX(a) < CGRectGetMaxX(b) && CGRectGetMinX(b) < CGRectGetMaxX(a) &&
           CGRectGetMinY(a) < CGRectGetMaxY(b) && CGRectGetMinY(b) < CGRectGetMaxY(a);
}
