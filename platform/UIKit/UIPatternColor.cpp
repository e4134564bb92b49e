// Pattern colours: UIColor's colorWithPatternImage:, and painting a shape
// (a label's letters) with the pattern.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>

#include <cairo.h>

using namespace platform::support;

namespace {

id colorWithPatternImage(Class cls, SEL, id image) {
    auto* picture = requireObject<UIImage>(image, "+[UIColor colorWithPatternImage:]");
    if (picture == nullptr) return nil;
    auto* colour = static_cast<UIColor*>(
        objc_msgSend<id(double, double, double, double)>(cls, "colorWithRed:green:blue:alpha:"_sel, 0, 0, 0, 0));
    colour->_patternImage = Strong<NSObject>(picture);
    return colour;
}

}  // namespace

bool platform::uikit::paintWithPattern(CGContextRef c, UIColor* colour, const std::function<void(CGColor)>& draw) {
    auto* picture = colour ? objectAs<UIImage>(colour->_patternImage.get()) : nullptr;
    if (c == nullptr || picture == nullptr || picture->_surface == nullptr) return false;
    cairo_t* cr = c->cr;
    cairo_push_group(cr);
    draw(CGColor{0, 0, 0, 1});
    cairo_pattern_t* shape = cairo_pop_group(cr);
    cairo_save(cr);
    cairo_pattern_t* tiles = cairo_pattern_create_for_surface(picture->_surface);
    cairo_pattern_set_extend(tiles, CAIRO_EXTEND_REPEAT);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, picture->_scale, picture->_scale);  // image pixels per point
    cairo_pattern_set_matrix(tiles, &m);
    cairo_set_source(cr, tiles);
    cairo_mask(cr, shape);
    cairo_restore(cr);
    cairo_pattern_destroy(tiles);
    cairo_pattern_destroy(shape);
    return true;
}

void platform::uikit::registerPatternColors() {
    objc::define_method(UIColor::cls()->isa, "colorWithPatternImage:"_sel, objc::make_imp<colorWithPatternImage>(),
                        "@@:@");
}
