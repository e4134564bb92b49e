// Renders the settings bundle's title picture "textGradient.png": a vertical
// gradient from warm orange at the top through red to deep violet at the
// bottom, 8 x 64 pixels. The main page fills its title's letters with it,
// tiled, so the width does not matter and the height spans a large title.
//
//   render_text_gradient OUTPUT.png
//
// The committed picture is this program's output.
#include <cairo.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_text_gradient OUTPUT.png\n");
        return 2;
    }
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 64);
    cairo_t* cr = cairo_create(s);
    cairo_pattern_t* g = cairo_pattern_create_linear(0, 8, 0, 56);
    cairo_pattern_add_color_stop_rgb(g, 0.0, 1.00, 0.62, 0.12);
    cairo_pattern_add_color_stop_rgb(g, 0.5, 0.90, 0.13, 0.25);
    cairo_pattern_add_color_stop_rgb(g, 1.0, 0.40, 0.10, 0.62);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    cairo_destroy(cr);
    cairo_status_t status = cairo_surface_write_to_png(s, argv[1]);
    cairo_surface_destroy(s);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "render_text_gradient: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
