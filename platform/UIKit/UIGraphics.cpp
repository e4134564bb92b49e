// The current drawing context and image contexts.
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>

#include <cairo.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

struct ImageContext {
    std::unique_ptr<CGContext> context;
    cairo_surface_t* surface = nullptr;  // owned

    ~ImageContext() {
        context.reset();
        if (surface != nullptr) cairo_surface_destroy(surface);
    }
};

thread_local std::vector<CGContextRef> currentContexts;
thread_local std::vector<std::unique_ptr<ImageContext>> imageContexts;

}  // namespace

CGContextRef UIGraphicsGetCurrentContext() { return currentContexts.empty() ? nullptr : currentContexts.back(); }

void UIGraphicsPushContext(CGContextRef context) { currentContexts.push_back(context); }

void UIGraphicsPopContext() {
    if (!currentContexts.empty()) currentContexts.pop_back();
}

void UIGraphicsBeginImageContextWithOptions(CGSize size, BOOL opaque, double scale) {
    if (!(scale > 0)) scale = objc_msgSend<double()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel),
                                                     "scale"_sel);
    if (!(scale > 0)) scale = 1;
    auto pixels = [&](double points) {
        double v = std::ceil(points * scale);
        return std::isfinite(v) && v > 0 ? static_cast<int>(std::fmin(v, 16384)) : 0;
    };
    auto ic = std::make_unique<ImageContext>();
    ic->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels(size.width), pixels(size.height));
    cairo_t* cr = cairo_create(ic->surface);
    if (opaque) {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
    }
    cairo_scale(cr, scale, scale);
    ic->context = std::make_unique<CGContext>(cr, scale);
    currentContexts.push_back(ic->context.get());
    imageContexts.push_back(std::move(ic));
}

void UIGraphicsBeginImageContext(CGSize size) { UIGraphicsBeginImageContextWithOptions(size, NO, 1); }

UIImage* UIGraphicsGetImageFromCurrentImageContext() {
    if (imageContexts.empty() || currentContexts.empty() || currentContexts.back() != imageContexts.back()->context.get())
        return nullptr;
    ImageContext& ic = *imageContexts.back();
    cairo_surface_flush(ic.surface);
    int w = cairo_image_surface_get_width(ic.surface);
    int h = cairo_image_surface_get_height(ic.surface);
    // A copy: drawing may go on after the image was taken.
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(copy);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, ic.surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    return UIImage::withSurface(copy, ic.context->scale);
}

void UIGraphicsEndImageContext() {
    if (imageContexts.empty()) return;
    CGContextRef ctx = imageContexts.back()->context.get();
    for (auto it = currentContexts.rbegin(); it != currentContexts.rend(); ++it) {
        if (*it == ctx) {
            currentContexts.erase(std::next(it).base());
            break;
        }
    }
    imageContexts.pop_back();
}
