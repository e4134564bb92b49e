// Renders the background pictures of the swipe buttons of Cantrel.bundle:
// "play_now", "play_next", "play_last" and "export", each with the size
// suffixes "", "_long" and "_short" and the idiom suffixes "" and "_ipad",
// at scale 1 and at scale 2 ("@2x", which the platform picks on a 2x screen):
// 48 files. White signs on transparent, sized for the button: 74 points wide
// on a phone, 110 on an iPad; 56 points high, 70 long, 44 short. Each queue
// button shows the sign of the badge it opens: play now a triangle, play next
// two triangles, play last a triangle and a bar.
//
//   render_swipe_pictures OUTPUT_FOLDER
//
// The committed pictures are this program's output.
#include <cairo.h>

#include <cstdio>
#include <string>

namespace {

void triangle(cairo_t* cr, double x, double y, double size) {
    cairo_move_to(cr, x, y - size / 2);
    cairo_line_to(cr, x + size * 0.85, y);
    cairo_line_to(cr, x, y + size / 2);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void bar(cairo_t* cr, double x, double y, double size) {
    cairo_rectangle(cr, x, y - size / 2, size * 0.18, size);
    cairo_fill(cr);
}

// The sign of a picture, centred at (cx, cy), `size` points high.
void drawSign(cairo_t* cr, const std::string& name, double cx, double cy, double size) {
    if (name == "play_now") {
        triangle(cr, cx - size * 0.4, cy, size);
    } else if (name == "play_next") {
        triangle(cr, cx - size * 0.95, cy, size);
        triangle(cr, cx + size * 0.1, cy, size);
    } else if (name == "play_last") {
        triangle(cr, cx - size * 0.6, cy, size);
        bar(cr, cx + size * 0.4, cy, size);
    } else {  // export: a tray with an arrow up out of it
        cairo_set_line_width(cr, size * 0.12);
        cairo_move_to(cr, cx - size / 2, cy);
        cairo_line_to(cr, cx - size / 2, cy + size / 2);
        cairo_line_to(cr, cx + size / 2, cy + size / 2);
        cairo_line_to(cr, cx + size / 2, cy);
        cairo_stroke(cr);
        cairo_move_to(cr, cx, cy + size * 0.2);
        cairo_line_to(cr, cx, cy - size / 2);
        cairo_stroke(cr);
        cairo_move_to(cr, cx - size * 0.25, cy - size * 0.25);
        cairo_line_to(cr, cx, cy - size / 2);
        cairo_line_to(cr, cx + size * 0.25, cy - size * 0.25);
        cairo_stroke(cr);
    }
}

bool render(const std::string& path, const std::string& name, int width, int height, int scale) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    cairo_set_source_rgba(cr, 1, 1, 1, 1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    drawSign(cr, name, width / 2.0, height / 2.0, height * 0.4);
    cairo_destroy(cr);
    cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), cairo_status_to_string(status));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    struct Size {
        const char* suffix;
        int height;
    };
    struct Idiom {
        const char* suffix;
        int width;
    };
    const char* names[] = {"play_now", "play_next", "play_last", "export"};
    const Size sizes[] = {{"", 56}, {"_long", 70}, {"_short", 44}};
    const Idiom idioms[] = {{"", 74}, {"_ipad", 110}};
    for (const char* name : names)
        for (const Size& size : sizes)
            for (const Idiom& idiom : idioms)
                for (int scale : {1, 2}) {
                    std::string path = std::string(argv[1]) + "/" + name + size.suffix + idiom.suffix +
                                       (scale == 2 ? "@2x" : "") + ".png";
                    if (!render(path, name, idiom.width, size.height, scale)) return 1;
                }
    return 0;
}
