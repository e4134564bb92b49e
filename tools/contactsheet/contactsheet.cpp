// contactsheet OUT.png COLUMNS IN.png...: lays the pictures out in a grid,
// each in a cell as large as the largest picture, on a mid grey so that
// white strokes show as well as dark ones.
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: contactsheet OUT.png COLUMNS IN.png...\n");
        return 2;
    }
    int columns = std::atoi(argv[2]);
    if (columns <= 0) {
        std::fprintf(stderr, "contactsheet: COLUMNS must be a positive number\n");
        return 2;
    }
    std::vector<cairo_surface_t*> pictures;
    int cellW = 0, cellH = 0;
    for (int i = 3; i < argc; ++i) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(argv[i]);
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "contactsheet: cannot read '%s'\n", argv[i]);
            return 1;
        }
        cellW = std::max(cellW, cairo_image_surface_get_width(s));
        cellH = std::max(cellH, cairo_image_surface_get_height(s));
        pictures.push_back(s);
    }
    const int pad = 8;
    int count = static_cast<int>(pictures.size());
    int rows = (count + columns - 1) / columns;
    int cols = std::min(columns, count);
    cairo_surface_t* sheet =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cols * (cellW + pad) + pad, rows * (cellH + pad) + pad);
    cairo_t* cr = cairo_create(sheet);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    for (int i = 0; i < count; ++i) {
        double x = pad + (i % columns) * (cellW + pad), y = pad + (i / columns) * (cellH + pad);
        cairo_set_source_rgb(cr, 0.62, 0.66, 0.72);
        cairo_rectangle(cr, x, y, cellW, cellH);
        cairo_fill(cr);
        cairo_set_source_surface(cr, pictures[static_cast<size_t>(i)], x, y);
        cairo_paint(cr);
        cairo_surface_destroy(pictures[static_cast<size_t>(i)]);
    }
    cairo_destroy(cr);
    cairo_status_t status = cairo_surface_write_to_png(sheet, argv[1]);
    cairo_surface_destroy(sheet);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "contactsheet: cannot write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
