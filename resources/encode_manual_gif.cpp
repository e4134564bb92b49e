// Draws and encodes the manual page's example "Cantrel_@2x.gif": a list of
// three rows in which the middle row slides to the left under a finger and
// reveals six swipe buttons (delete red, edit slate, play last orange, play
// next blue, play now green, export teal).
//
// 20 frames of 480 x 320 pixels: frame 0 (the rows at rest) shows for
// 0.80 s, frames 1 to 18 (the slide) for 0.04 s each, frame 19 (every button
// revealed) for 1.60 s; 3.12 s in all. Frame 0 covers the canvas, the others
// only the middle row's band. One global palette of 16 colours.
//
//   encode_manual_gif OUTPUT.gif
//
// The committed animation is this program's output.
#include <cairo.h>
#include <gif_lib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 480, kHeight = 320;
constexpr int kRowTop = 116, kRowHeight = 88;
constexpr int kFrames = 20, kSlideFrames = 18;
constexpr int kButtonWidth = 72, kButtons = 6;

struct Rgb {
    uint8_t r, g, b;
};
const std::array<Rgb, 16> kPalette = {{
    {255, 255, 255}, {0, 0, 0},       {200, 200, 205}, {120, 120, 128}, {60, 60, 66},    {230, 230, 235},
    {255, 59, 48},   {90, 100, 125},  {255, 149, 0},   {0, 122, 255},   {52, 199, 89},   {48, 176, 199},
    {170, 170, 178}, {245, 245, 248}, {140, 140, 150}, {255, 220, 200},
}};
enum Colour { White, Black, Line, Grey, Dark, Art, Red, Slate, Orange, Blue, Green, Teal, Finger, Bar, Shade, Skin };

void set(cairo_t* cr, Colour c) { cairo_set_source_rgb(cr, kPalette[c].r / 255.0, kPalette[c].g / 255.0, kPalette[c].b / 255.0); }

void rect(cairo_t* cr, double x, double y, double w, double h, Colour c) {
    set(cr, c);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

// One list row's content at horizontal offset `dx`.
void rowContent(cairo_t* cr, double top, double dx) {
    rect(cr, dx, top, kWidth, kRowHeight, White);
    rect(cr, dx + 16, top + 12, 64, 64, Art);
    rect(cr, dx + 28, top + 24, 40, 40, Grey);
    rect(cr, dx + 96, top + 22, 220, 16, Dark);
    rect(cr, dx + 96, top + 50, 150, 12, Shade);
    rect(cr, 0, top + kRowHeight - 2, kWidth, 2, Line);
}

void drawFrame(cairo_t* cr, int frame) {
    rect(cr, 0, 0, kWidth, kHeight, Bar);
    rect(cr, 0, 0, kWidth, 24, Line);
    rowContent(cr, 28, 0);
    rowContent(cr, kRowTop + kRowHeight + 2, 0);
    double slide = frame == 0 ? 0 : frame > kSlideFrames ? kButtons * kButtonWidth
                                                         : kButtons * kButtonWidth * frame / double(kSlideFrames);
    // The buttons behind the row, from the right edge.
    const Colour buttons[kButtons] = {Teal, Green, Blue, Orange, Slate, Red};
    for (int i = 0; i < kButtons; ++i)
        rect(cr, kWidth - kButtonWidth * (kButtons - i), kRowTop, kButtonWidth, kRowHeight - 2, buttons[i]);
    rowContent(cr, kRowTop, -slide);
    // The finger: a round tip moving left with the row.
    double fx = kWidth - 40 - slide * 0.9;
    set(cr, Finger);
    cairo_arc(cr, fx, kRowTop + kRowHeight / 2.0, 18, 0, 6.2832);
    cairo_fill(cr);
    set(cr, Skin);
    cairo_arc(cr, fx, kRowTop + kRowHeight / 2.0, 12, 0, 6.2832);
    cairo_fill(cr);
}

int nearest(uint32_t argb) {
    int r = (argb >> 16) & 255, g = (argb >> 8) & 255, b = argb & 255;
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
        int d = (r - kPalette[i].r) * (r - kPalette[i].r) + (g - kPalette[i].g) * (g - kPalette[i].g) +
                (b - kPalette[i].b) * (b - kPalette[i].b);
        if (d < bestDistance) bestDistance = d, best = i;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: encode_manual_gif OUTPUT.gif\n");
        return 2;
    }
    int error = 0;
    GifFileType* gif = EGifOpenFileName(argv[1], false, &error);
    if (gif == nullptr) {
        std::fprintf(stderr, "encode_manual_gif: cannot write %s\n", argv[1]);
        return 1;
    }
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours;
    for (const Rgb& c : kPalette) colours.push_back({c.r, c.g, c.b});
    ColorMapObject* map = GifMakeMapObject(16, colours.data());
    bool ok = EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK;

    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (int f = 0; f < kFrames && ok; ++f) {
        drawFrame(cr, f);
        cairo_surface_flush(s);
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, f == 0 ? 80 : f == kFrames - 1 ? 160 : 4,
                                 NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        size_t len = EGifGCBToExtension(&gcb, ext);
        int top = f == 0 ? 0 : kRowTop, height = f == 0 ? kHeight : kRowHeight;
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext) == GIF_OK &&
             EGifPutImageDesc(gif, 0, top, kWidth, height, false, nullptr) == GIF_OK;
        const unsigned char* data = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        std::vector<GifPixelType> line(kWidth);
        for (int y = top; y < top + height && ok; ++y) {
            const auto* px = reinterpret_cast<const uint32_t*>(data + y * stride);
            for (int x = 0; x < kWidth; ++x) line[x] = static_cast<GifPixelType>(nearest(px[x]));
            ok = EGifPutLine(gif, line.data(), kWidth) == GIF_OK;
        }
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    GifFreeMapObject(map);
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (!ok) {
        std::fprintf(stderr, "encode_manual_gif: encoding failed\n");
        return 1;
    }
    return 0;
}
