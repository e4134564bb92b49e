// The render pass.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/CALayer.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UIVisualEffectView.h>

#include <cairo.h>

#include <Foundation/NSPropertyList.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string>

#include <sys/stat.h>

using namespace platform::support;

namespace {

double screenScale() {
    double s = objc_msgSend<double()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel), "scale"_sel);
    return s > 0 ? s : 1;
}

}  // namespace

void platform::uikit::roundedRectPath(cairo_t* cr, CGRect r, double radius) {
    cairo_new_path(cr);
    radius = std::clamp(radius, 0.0, std::min(r.size.width, r.size.height) / 2);
    if (radius <= 0) {
        cairo_rectangle(cr, r.origin.x, r.origin.y, r.size.width, r.size.height);
        return;
    }
    double x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x1 - radius, y0 + radius, radius, -M_PI / 2, 0);
    cairo_arc(cr, x1 - radius, y1 - radius, radius, 0, M_PI / 2);
    cairo_arc(cr, x0 + radius, y1 - radius, radius, M_PI / 2, M_PI);
    cairo_arc(cr, x0 + radius, y0 + radius, radius, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

namespace {

using platform::uikit::roundedRectPath;

void fillShape(cairo_t* cr, CGRect bounds, double radius, CGColor color) {
    roundedRectPath(cr, bounds, radius);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    cairo_fill(cr);
}

}  // namespace

// The picture in the bounds: stretched (content mode 0), whole and centred
// (1, aspect fit) or covering them, centred and cut at the bounds (2, aspect fill).
void platform::uikit::drawImageInRect(cairo_t* cr, UIImage* image, CGRect bounds, NSInteger mode) {
    if (image == nullptr || image->surface() == nullptr || image->pixelWidth() == 0 || image->pixelHeight() == 0)
        return;
    double pw = image->pixelWidth(), ph = image->pixelHeight();
    double sx = bounds.size.width / pw, sy = bounds.size.height / ph;
    if (mode == 1 || mode == 2) sx = sy = mode == 1 ? std::min(sx, sy) : std::max(sx, sy);
    if (!(sx > 0) || !(sy > 0)) return;
    cairo_save(cr);
    cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
    cairo_clip(cr);
    cairo_translate(cr, bounds.origin.x + (bounds.size.width - pw * sx) / 2,
                    bounds.origin.y + (bounds.size.height - ph * sy) / 2);
    cairo_scale(cr, sx, sy);
    cairo_set_source_surface(cr, image->surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);  // no fading at the edges
    cairo_paint(cr);
    cairo_restore(cr);
}

namespace {

// drawRect: with a UIKit context over the same cairo context.
void sendDrawRect(cairo_t* cr, double scale, UIView* view, CGRect bounds) {
    cairo_save(cr);
    cairo_rectangle(cr, bounds.origin.x, bounds.origin.y, bounds.size.width, bounds.size.height);
    cairo_clip(cr);
    CGContext context(cairo_reference(cr), scale);
    UIGraphicsPushContext(&context);
    try {
        objc_msgSend<void(CGRect)>(view, "drawRect:"_sel, bounds);
    } catch (...) {
        UIGraphicsPopContext();
        cairo_restore(cr);
        throw;
    }
    UIGraphicsPopContext();
    cairo_restore(cr);
}

void drawView(cairo_t* cr, double scale, UIView* view, bool atOrigin) {
    if (view == nullptr || objc_msgSend<BOOL()>(view, "isHidden"_sel)) return;
    double alpha = objc_msgSend<double()>(view, "alpha"_sel);
    if (!(alpha > 0)) return;
    Strong<UIView> keep(view);
    CGRect frame = CGRectStandardize(objc_msgSend<CGRect()>(view, "frame"_sel));
    CGRect bounds = objc_msgSend<CGRect()>(view, "bounds"_sel);
    id layer = objc_msgSend<id()>(view, "layer"_sel);
    double radius = objc_msgSend<double()>(layer, "cornerRadius"_sel);
    bool masks = objc_msgSend<BOOL()>(layer, "masksToBounds"_sel);
    double borderWidth = objc_msgSend<double()>(layer, "borderWidth"_sel);
    CGColor borderColor = objc_msgSend<CGColor()>(layer, "borderColor"_sel);
    float shadowOpacity = objc_msgSend<float()>(layer, "shadowOpacity"_sel);

    cairo_save(cr);
    if (!atOrigin) cairo_translate(cr, frame.origin.x, frame.origin.y);
    bool group = alpha < 1;
    if (group) cairo_push_group(cr);
    // A shadow: what the view paints, in the shadow colour at the offset, under it.
    bool shadow = shadowOpacity > 0;
    if (shadow) cairo_push_group(cr);

    if (auto* color = objectAs<UIColor>(objc_msgSend<id()>(view, "backgroundColor"_sel)))
        fillShape(cr, bounds, radius, color->cgColor());
    if (auto tint = platform::visualEffectTint(view)) fillShape(cr, bounds, radius, *tint);
    if (masks) {
        roundedRectPath(cr, bounds, radius);
        cairo_clip(cr);
    }
    if (auto* imageView = objectAs<UIImageView>(view))
        platform::uikit::drawImageInRect(cr, platform::imageViewShownImage(imageView), bounds, objc_msgSend<NSInteger()>(view, "contentMode"_sel));
    sendDrawRect(cr, scale, view, bounds);
    std::vector<Strong<UIView>> subviews = objectsOf<UIView>(objc_msgSend<id()>(view, "subviews"_sel), "render pass");
    // A scroll view shows its content from contentOffset.
    CGPoint offset = objectAs<UIScrollView>(view) ? objc_msgSend<CGPoint()>(view, "contentOffset"_sel) : CGPointZero;
    if (!subviews.empty()) {
        cairo_save(cr);
        cairo_translate(cr, -offset.x, -offset.y);
        for (const Strong<UIView>& sub : subviews) drawView(cr, scale, sub.get(), false);
        cairo_restore(cr);
    }
    if (borderWidth > 0 && borderColor.alpha > 0) {
        double inset = std::min(borderWidth, std::min(bounds.size.width, bounds.size.height) / 2) / 2;
        CGRect r{{bounds.origin.x + inset, bounds.origin.y + inset},
                 {bounds.size.width - 2 * inset, bounds.size.height - 2 * inset}};
        roundedRectPath(cr, r, std::max(0.0, radius - inset));
        cairo_set_line_width(cr, 2 * inset);
        cairo_set_source_rgba(cr, borderColor.red, borderColor.green, borderColor.blue, borderColor.alpha);
        cairo_stroke(cr);
    }

    if (shadow) {
        cairo_pattern_t* painted = cairo_pop_group(cr);
        CGColor colour = objc_msgSend<CGColor()>(layer, "shadowColor"_sel);
        CGSize offset = objc_msgSend<CGSize()>(layer, "shadowOffset"_sel);
        cairo_save(cr);
        cairo_translate(cr, offset.width, offset.height);
        cairo_set_source_rgba(cr, colour.red, colour.green, colour.blue, colour.alpha * shadowOpacity);
        cairo_mask(cr, painted);
        cairo_restore(cr);
        cairo_set_source(cr, painted);
        cairo_paint(cr);
        cairo_pattern_destroy(painted);
    }
    if (group) {
        cairo_pop_group_to_source(cr);
        cairo_paint_with_alpha(cr, alpha);
    }
    cairo_restore(cr);
}

// Pixels for a length in points at `scale` (0 for none or a bad value).
double pixelsFor(double points, double scale) {
    double v = std::ceil(points * scale - 1e-9);
    return std::isfinite(v) && v > 0 ? v : 0;
}

// A transparent surface of `size` points at `scale`, painted by `paint` with
// a context in points; the context is gone, and on an exception the surface
// too, before this returns.
template <class Paint>
cairo_surface_t* paintSurface(CGSize size, double scale, Paint&& paint) {
    auto pixels = [&](double points) {
        double v = pixelsFor(points, scale);
        return static_cast<int>(std::min(v, static_cast<double>(platform::kMaxSurfacePixels)));
    };
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(size.width), pixels(size.height));
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    try {
        paint(cr);
    } catch (...) {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
        throw;
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

// A picture of `size` points at `scale` that a surface cannot hold whole.
bool tooLarge(CGSize size, double scale, std::string* error) {
    double width = pixelsFor(size.width, scale), height = pixelsFor(size.height, scale);
    if (width <= platform::kMaxSurfacePixels && height <= platform::kMaxSurfacePixels) return false;
    if (error != nullptr)
        *error = "the picture would be " + std::to_string(static_cast<long long>(width)) + "x" +
                 std::to_string(static_cast<long long>(height)) + " pixels, more than the drawing surface's " +
                 std::to_string(platform::kMaxSurfacePixels) + " a side";
    return true;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// Encodes the surface (destroyed here) as a PNG and puts it in place only
// once it is whole, so that a failure leaves the file that was there.
bool writeSurface(cairo_surface_t* surface, const std::string& hostPath, std::string* error) {
    if (surface == nullptr) {
        if (error != nullptr) *error = "nothing to draw";
        return false;
    }
    // Only a file is replaced: never a device, a pipe or a socket of that name.
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
        cairo_surface_destroy(surface);
        if (error != nullptr) *error = "not a regular file";
        return false;
    }
    std::string png;
    cairo_status_t status = cairo_surface_write_to_png_stream(surface, appendBytes, &png);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        if (error != nullptr) *error = cairo_status_to_string(status);
        return false;
    }
    if (!platform::writeFileAtomically(hostPath, png.data(), png.size())) {
        if (error != nullptr) *error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

_cairo_surface* platform::renderView(UIView* view, double scale) {
    if (view == nullptr) return nullptr;
    if (!(scale > 0)) scale = screenScale();
    Strong<UIView> keep(view);
    AutoreleasePool pool;
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(view, "bounds"_sel);
    return paintSurface(bounds.size, scale, [&](cairo_t* cr) { drawView(cr, scale, view, true); });
}

_cairo_surface* platform::renderScreen(const std::vector<UIView*>& views, double scale) {
    if (!(scale > 0)) scale = screenScale();
    AutoreleasePool pool;
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
    return paintSurface(screen.size, scale, [&](cairo_t* cr) {
        // The window's white under everything.
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        for (UIView* view : views) {
            if (view == nullptr) continue;
            objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
            drawView(cr, scale, view, false);
        }
    });
}

void platform::drawViewInContext(UIView* view, CGContext* context) {
    if (view == nullptr || context == nullptr || context->cr == nullptr) return;
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    drawView(context->cr, context->scale, view, true);
}

bool platform::writePNG(UIView* view, const std::string& hostPath, double scale, std::string* error) {
    if (!(scale > 0)) scale = screenScale();
    if (view != nullptr && tooLarge(objc_msgSend<CGRect()>(view, "bounds"_sel).size, scale, error)) return false;
    return writeSurface(renderView(view, scale), hostPath, error);
}

bool platform::writeScreenPNG(const std::string& hostPath, const std::vector<UIView*>& views, double scale,
                              std::string* error) {
    if (!(scale > 0)) scale = screenScale();
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
    if (tooLarge(screen.size, scale, error)) return false;
    return writeSurface(renderScreen(views, scale), hostPath, error);
}
