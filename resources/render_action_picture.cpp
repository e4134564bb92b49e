// Renders the library's action picture, "10@2x.png" of Cantrel.bundle: a tray
// with an arrow down into it, black on transparent (a template image: only
// its coverage counts), 30 x 30 points at scale 2.
//
//   render_action_picture OUTPUT.png
//
// The committed picture is this program's output; the tests render it again
// and compare.
#include <cairo.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    constexpr int kScale = 2;
    constexpr int kPoints = 30;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kPoints * kScale, kPoints * kScale);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, kScale, kScale);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

    // The tray.
    cairo_move_to(cr, 3, 16);
    cairo_line_to(cr, 3, 27);
    cairo_line_to(cr, 27, 27);
    cairo_line_to(cr, 27, 16);
    cairo_stroke(cr);

    // The arrow.
    cairo_move_to(cr, 15, 3);
    cairo_line_to(cr, 15, 20);
    cairo_stroke(cr);
    cairo_move_to(cr, 9.5, 14.5);
    cairo_line_to(cr, 15, 20);
    cairo_line_to(cr, 20.5, 14.5);
    cairo_stroke(cr);

    cairo_destroy(cr);
    cairo_status_t status = cairo_surface_write_to_png(surface, argv[1]);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "%s: %s\n", argv[1], cairo_status_to_string(status));
        return 1;
    }
    return 0;
}
