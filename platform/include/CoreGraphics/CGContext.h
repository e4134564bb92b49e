// Drawing contexts, images and colours on a cairo backend.
//
// CGContextRef is a handle over a cairo_t: every call draws into the
// context's target surface. UIKit's contexts (UIGraphics.h and the render
// pass) use UIKit's coordinates: the origin at the top-left corner, y down,
// one unit a point (the context's scale maps points to pixels).
//
// CGImageRef is a picture's pixels: an ARGB32 cairo surface that belongs to
// the UIImage it came from (UIImage's CGImage); it lives as long as that
// image does. CGContextDrawImage and CGContextDrawTiledImage draw it as the
// platform does in a UIKit context, that is bottom-up: the image's first row
// lands at the rectangle's maximum y. Callers that want the picture upright
// flip the context first (CGContextScaleCTM(ctx, 1, -1) and a translation).
//
// CGColor is a plain RGBA value here, copied wherever it goes (a layer's
// borderColor, UIColor's CGColor).
#pragma once

#include <CoreGraphics/CGGeometry.h>

#include <cstddef>
#include <vector>

struct _cairo;
struct _cairo_surface;

struct CGContext;
using CGContextRef = CGContext*;

struct CGImage {
    _cairo_surface* surface = nullptr;  // not owned
};
using CGImageRef = CGImage*;

struct CGColor {
    CGFloat red = 0;
    CGFloat green = 0;
    CGFloat blue = 0;
    CGFloat alpha = 0;
};

struct CGContext {
    struct State {
        CGColor fill{0, 0, 0, 1};
        CGColor stroke{0, 0, 0, 1};
        CGFloat alpha = 1;
    };

    _cairo* cr = nullptr;  // owned reference
    double scale = 1;      // device pixels per point
    State state;
    std::vector<State> saved;

    explicit CGContext(_cairo* cr, double scale = 1);
    ~CGContext();
    CGContext(const CGContext&) = delete;
    CGContext& operator=(const CGContext&) = delete;
};

size_t CGImageGetWidth(CGImageRef image);   // pixels; 0 for NULL
size_t CGImageGetHeight(CGImageRef image);  // pixels; 0 for NULL

// Every call below does nothing for a NULL context.
void CGContextSaveGState(CGContextRef c);
void CGContextRestoreGState(CGContextRef c);  // unbalanced restores are ignored
void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy);
void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty);
void CGContextRotateCTM(CGContextRef c, CGFloat angle);
// The image scaled into `rect`, bottom-up (see above).
void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image);
// The image repeated over the whole clip area, each tile the size of `rect`
// and one tile placed on `rect`, bottom-up.
void CGContextDrawTiledImage(CGContextRef c, CGRect rect, CGImageRef image);
void CGContextSetFillColorWithColor(CGContextRef c, CGColor color);
void CGContextSetStrokeColorWithColor(CGContextRef c, CGColor color);
void CGContextFillRect(CGContextRef c, CGRect rect);
void CGContextClipToRect(CGContextRef c, CGRect rect);
void CGContextSetAlpha(CGContextRef c, CGFloat alpha);

namespace platform {
// Fill and stroke colours live in the graphics state of a context (saved and
// restored with it); these give the current ones.
CGColor contextFillColor(CGContextRef c);
CGColor contextStrokeColor(CGContextRef c);
// Sets the cairo source to the context's fill or stroke colour.
void contextUseFillColor(CGContextRef c);
void contextUseStrokeColor(CGContextRef c);
}  // namespace platform
