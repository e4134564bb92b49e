// CGContext over cairo.
#include <CoreGraphics/CGContext.h>

#include <cairo.h>

#include <cmath>

CGContext::CGContext(_cairo* context, double s) : cr(context), scale(s > 0 ? s : 1) {}

CGContext::~CGContext() {
    if (cr != nullptr) cairo_destroy(cr);
}

size_t CGImageGetWidth(CGImageRef image) {
    return image && image->surface ? static_cast<size_t>(cairo_image_surface_get_width(image->surface)) : 0;
}

size_t CGImageGetHeight(CGImageRef image) {
    return image && image->surface ? static_cast<size_t>(cairo_image_surface_get_height(image->surface)) : 0;
}

void CGContextSaveGState(CGContextRef c) {
    if (c == nullptr) return;
    cairo_save(c->cr);
    c->saved.push_back(c->state);
}

void CGContextRestoreGState(CGContextRef c) {
    if (c == nullptr || c->saved.empty()) return;
    cairo_restore(c->cr);
    c->state = c->saved.back();
    c->saved.pop_back();
}

void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy) {
    // A zero scale would leave cairo with a singular matrix (an error state
    // that ends all drawing); nothing would be visible anyway.
    if (c == nullptr || sx == 0 || sy == 0 || !std::isfinite(sx) || !std::isfinite(sy)) return;
    cairo_scale(c->cr, sx, sy);
}

void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty) {
    if (c == nullptr || !std::isfinite(tx) || !std::isfinite(ty)) return;
    cairo_translate(c->cr, tx, ty);
}

void CGContextRotateCTM(CGContextRef c, CGFloat angle) {
    if (c == nullptr || !std::isfinite(angle)) return;
    cairo_rotate(c->cr, angle);
}

namespace {

// A pattern over the image that maps it into `rect`, first row at maxY.
cairo_pattern_t* imagePattern(CGRect rect, CGImageRef image) {
    double w = static_cast<double>(CGImageGetWidth(image));
    double h = static_cast<double>(CGImageGetHeight(image));
    rect = CGRectStandardize(rect);
    cairo_pattern_t* p = cairo_pattern_create_for_surface(image->surface);
    // The pattern matrix maps user space to image pixels.
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, w / rect.size.width, -h / rect.size.height);
    cairo_matrix_translate(&m, -rect.origin.x, -(rect.origin.y + rect.size.height));
    cairo_pattern_set_matrix(p, &m);
    cairo_pattern_set_filter(p, CAIRO_FILTER_GOOD);
    return p;
}

bool drawable(CGContextRef c, CGRect rect, CGImageRef image) {
    return c != nullptr && CGImageGetWidth(image) > 0 && CGImageGetHeight(image) > 0 && !CGRectIsEmpty(rect) &&
           std::isfinite(rect.size.width) && std::isfinite(rect.size.height);
}

void setSource(CGContextRef c, const CGColor& color) {
    cairo_set_source_rgba(c->cr, color.red, color.green, color.blue, color.alpha * c->state.alpha);
}

}  // namespace

namespace {

// Paints the image placed in `rect`: once, clipped to the rectangle, or
// repeated over the whole clip.
void paintImage(CGContextRef c, CGRect rect, CGImageRef image, bool tiled) {
    if (!drawable(c, rect, image)) return;
    cairo_t* cr = c->cr;
    cairo_save(cr);
    cairo_pattern_t* p = imagePattern(rect, image);
    cairo_pattern_set_extend(p, tiled ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
    cairo_set_source(cr, p);
    if (!tiled) {
        rect = CGRectStandardize(rect);
        cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
        cairo_clip(cr);
    }
    cairo_paint_with_alpha(cr, c->state.alpha);
    cairo_pattern_destroy(p);
    cairo_restore(cr);
}

}  // namespace

void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image) { paintImage(c, rect, image, false); }

void CGContextDrawTiledImage(CGContextRef c, CGRect rect, CGImageRef image) { paintImage(c, rect, image, true); }

void CGContextSetFillColorWithColor(CGContextRef c, CGColor color) {
    if (c != nullptr) c->state.fill = color;
}

void CGContextSetStrokeColorWithColor(CGContextRef c, CGColor color) {
    if (c != nullptr) c->state.stroke = color;
}

void CGContextFillRect(CGContextRef c, CGRect rect) {
    if (c == nullptr) return;
    rect = CGRectStandardize(rect);
    cairo_new_path(c->cr);
    cairo_rectangle(c->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    setSource(c, c->state.fill);
    cairo_fill(c->cr);
}

void CGContextClipToRect(CGContextRef c, CGRect rect) {
    if (c == nullptr) return;
    rect = CGRectStandardize(rect);
    cairo_new_path(c->cr);
    cairo_rectangle(c->cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
    cairo_clip(c->cr);
}

void CGContextSetAlpha(CGContextRef c, CGFloat alpha) {
    if (c != nullptr) c->state.alpha = std::isnan(alpha) ? 0 : std::fmin(std::fmax(alpha, 0.0), 1.0);
}

CGColor platform::contextFillColor(CGContextRef c) { return c ? c->state.fill : CGColor{}; }
CGColor platform::contextStrokeColor(CGContextRef c) { return c ? c->state.stroke : CGColor{}; }
void platform::contextUseFillColor(CGContextRef c) {
    if (c) setSource(c, c->state.fill);
}
void platform::contextUseStrokeColor(CGContextRef c) {
    if (c) setSource(c, c->state.stroke);
}
