// Renders the pictures that IconView shows in its phones' screens, into the
// resource bundle Cantrel.bundle:
//
//   widget_640x395.jpg               a notification centre's widgets
//   keyboard_white_N_640x491.jpg     a white keyboard, N = 1 to 3 (the accent
//                                    colour of the return key changes)
//   iCloud_N_640x603.jpg             a cloud in a sky, N = 1 to 3 (the sky's
//                                    colour changes)
//
//   render_icon_screens OUTPUT_DIR
//
// The committed pictures are this program's output.
#include "MediaLibraryGenerator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
    double r, g, b;
};

class Canvas {
public:
    Canvas(int width, int height, Rgb background) : width_(width), height_(height), pixels_(width * height * 3) {
        fillRect(0, 0, width, height, background);
    }
    void set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        unsigned char* p = &pixels_[(y * width_ + x) * 3];
        p[0] = static_cast<unsigned char>(std::lround(c.r * 255));
        p[1] = static_cast<unsigned char>(std::lround(c.g * 255));
        p[2] = static_cast<unsigned char>(std::lround(c.b * 255));
    }
    void fillRect(int x0, int y0, int w, int h, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) set(x, y, c);
    }
    // A rectangle with rounded corners of radius r.
    void fillRoundRect(int x0, int y0, int w, int h, int r, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                int dx = std::max({x0 + r - x, 0, x - (x0 + w - 1 - r)});
                int dy = std::max({y0 + r - y, 0, y - (y0 + h - 1 - r)});
                if (dx * dx + dy * dy <= r * r) set(x, y, c);
            }
    }
    void fillEllipse(double cx, double cy, double rx, double ry, Rgb c) {
        for (int y = int(cy - ry); y <= int(cy + ry); ++y)
            for (int x = int(cx - rx); x <= int(cx + rx); ++x) {
                double u = (x - cx) / rx, v = (y - cy) / ry;
                if (u * u + v * v <= 1) set(x, y, c);
            }
    }
    bool write(const std::string& path) const {
        std::vector<unsigned char> jpeg = platform::generator::encodeJPEG(pixels_, width_, height_, 85);
        if (jpeg.empty()) return false;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
        return bool(out);
    }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    int width_;
    int height_;
    std::vector<unsigned char> pixels_;
};

Canvas widget() {
    Canvas c(640, 395, {0.16, 0.17, 0.2});
    const Rgb accents[] = {{0.95, 0.6, 0.2}, {0.3, 0.7, 0.95}, {0.45, 0.8, 0.4}};
    for (int i = 0; i < 3; ++i) {
        int top = 20 + i * 125;
        c.fillRoundRect(24, top, 592, 110, 18, {0.26, 0.27, 0.31});
        c.fillEllipse(80, top + 55, 32, 32, accents[i]);
        c.fillRoundRect(140, top + 30, 300 - 60 * i, 18, 9, {0.85, 0.85, 0.87});
        c.fillRoundRect(140, top + 64, 420, 14, 7, {0.55, 0.56, 0.6});
    }
    return c;
}

Canvas keyboard(int number) {
    const Rgb accents[] = {{0.2, 0.48, 0.96}, {0.25, 0.75, 0.35}, {0.92, 0.35, 0.3}};
    Rgb accent = accents[(number - 1) % 3];
    Canvas c(640, 491, {0.82, 0.83, 0.86});
    // Three rows of letters, then the bottom row.
    const int keys[] = {10, 9, 7};
    const int keyWidth = 54, keyHeight = 84, gap = 10;
    for (int row = 0; row < 3; ++row) {
        int count = keys[row];
        int left = (640 - (count * keyWidth + (count - 1) * gap)) / 2;
        int top = 24 + row * (keyHeight + 28);
        for (int k = 0; k < count; ++k)
            c.fillRoundRect(left + k * (keyWidth + gap), top, keyWidth, keyHeight, 8, {1, 1, 1});
    }
    int top = 24 + 3 * (keyHeight + 28);
    c.fillRoundRect(6, top, 140, keyHeight, 8, {0.68, 0.7, 0.74});
    c.fillRoundRect(156, top, 320, keyHeight, 8, {1, 1, 1});
    c.fillRoundRect(486, top, 148, keyHeight, 8, accent);
    return c;
}

Canvas cloud(int number) {
    const Rgb skies[] = {{0.35, 0.62, 0.95}, {0.55, 0.45, 0.85}, {0.95, 0.6, 0.35}};
    Rgb sky = skies[(number - 1) % 3];
    Canvas c(640, 603, sky);
    // The sky lightens towards the horizon.
    for (int y = 0; y < c.height(); ++y) {
        double t = double(y) / c.height() * 0.5;
        c.fillRect(0, y, c.width(), 1, {sky.r + (1 - sky.r) * t, sky.g + (1 - sky.g) * t, sky.b + (1 - sky.b) * t});
    }
    Rgb white{1, 1, 1};
    c.fillEllipse(250, 320, 120, 95, white);
    c.fillEllipse(380, 290, 140, 125, white);
    c.fillEllipse(170, 380, 90, 60, white);
    c.fillEllipse(480, 370, 100, 70, white);
    c.fillRect(170, 340, 310, 100, white);
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    bool ok = widget().write(dir + "/widget_640x395.jpg");
    for (int n = 1; n <= 3; ++n) {
        ok = keyboard(n).write(dir + "/keyboard_white_" + std::to_string(n) + "_640x491.jpg") && ok;
        ok = cloud(n).write(dir + "/iCloud_" + std::to_string(n) + "_640x603.jpg") && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "%s: cannot write the pictures\n", dir.c_str());
        return 1;
    }
    return 0;
}
