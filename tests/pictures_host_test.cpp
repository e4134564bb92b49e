// The Music host's snapshots with the library injected show what the app
// presents: the export's share sheet on a phone and in a pad's popover with
// its activities, the "Done!" badge that "Export to Folder" puts on the key
// window, and the composer a share icon of the edit sheet opens.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <cairo.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

class PicturesHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        ASSERT_TRUE(fixture::writeHostRoot(root.path()));
        std::filesystem::create_directories(root.path() + "/var/mobile/Media/Music/F00");
        auto audio = platform::generator::toneMP3(330);
        for (const auto& s : fixture::songs())
            std::ofstream(root.path() + "/var/mobile/Media/Music/F00/" + std::to_string(s.pid) + ".mp3", std::ios::binary)
                .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
    }
    std::string png(const std::string& name) const { return root.path() + "/" + name + ".png"; }
    TempDir root{"pictureshost"};
};

// A PNG's pixels (0xAARRGGBB), read whole.
struct Picture {
    explicit Picture(const std::string& path) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
        if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
            cairo_surface_flush(s);
            width = cairo_image_surface_get_width(s);
            height = cairo_image_surface_get_height(s);
            int stride = cairo_image_surface_get_stride(s);
            const unsigned char* data = cairo_image_surface_get_data(s);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    pixels.push_back(*reinterpret_cast<const uint32_t*>(data + y * stride + x * 4));
        }
        cairo_surface_destroy(s);
    }
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    // Pixels in the rectangle [x0, x1) x [y0, y1) that `match`.
    int count(int x0, int y0, int x1, int y1, const std::function<bool(int, int, int)>& match) const {
        int n = 0;
        for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(width, x1); ++x) {
                uint32_t p = at(x, y);
                if (match((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)) ++n;
            }
        return n;
    }
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// Colours near one another.
std::function<bool(int, int, int)> near(int r, int g, int b, int by = 24) {
    return [=](int pr, int pg, int pb) { return std::abs(pr - r) <= by && std::abs(pg - g) <= by && std::abs(pb - b) <= by; };
}
// A saturated blue (a mail icon) and green (a message icon), the colours of
// the activities' tiles.
const auto mailBlue = [](int r, int g, int b) { return b > 200 && r < 80 && g > 100 && g < 180; };
const auto messageGreen = [](int r, int g, int b) { return g > 180 && r < 120 && b < 140; };

// On a phone the share sheet rises from the bottom edge over the dimmed
// screen: a card with what is shared and the activities (the system's tiles
// and the library's "Export to Folder" with its picture), and a cancel button
// under it. "Export to Folder" then puts its "Done!" badge on the key window,
// which the snapshot shows until the badge is gone.
TEST_F(PicturesHost, PhoneShareSheetThenTheDoneBadge) {
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "open albums\nswipe 0 0\ntap 5\nsharesheet\nsnapshot " + png("sheet") +
                                                 "\nactivity Export to Folder\nsnapshot " + png("done") +
                                                 "\nbadges\nrun 3\nsnapshot " + png("after") + "\nbadges\n",
                                             code, "--screen 320x480@2");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    Picture sheet(png("sheet"));
    ASSERT_EQ(sheet.width, 640);
    ASSERT_EQ(sheet.height, 960);
    // The activities' tiles, all in the lower half of the screen.
    EXPECT_GT(sheet.count(0, 480, 640, 960, mailBlue), 1500);
    EXPECT_GT(sheet.count(0, 480, 640, 960, messageGreen), 1500);
    EXPECT_EQ(sheet.count(0, 0, 640, 480, mailBlue), 0);
    // The cancel button's white card on the bottom edge, its blue title in it.
    EXPECT_GT(sheet.count(40, 960 - 100, 600, 960 - 30, near(255, 255, 255, 3)), 20000);
    EXPECT_GT(sheet.count(40, 960 - 100, 600, 960 - 30, near(0, 122, 255, 40)), 200);
    // Over the list the screen is dimmed: no white is left at its top.
    EXPECT_EQ(sheet.count(0, 0, 640, 200, near(255, 255, 255, 3)), 0);
    // The export activity's picture (dark ink on its white tile) in the card's action row.
    EXPECT_GT(sheet.count(0, 620, 640, 860, near(0, 0, 0, 40)), 300);

    // The badge stands in the middle of the screen while it lasts.
    Picture done(png("done")), after(png("after"));
    ASSERT_EQ(done.pixels.size(), after.pixels.size());
    int changed = 0;
    for (int y = 330; y < 630; ++y)
        for (int x = 170; x < 470; ++x)
            if (done.at(x, y) != after.at(x, y)) ++changed;
    EXPECT_GT(changed, 20000);
    // The sheet itself is gone: neither picture shows its tiles.
    EXPECT_EQ(done.count(0, 0, 640, 960, mailBlue), 0);
    // `badges` names what the snapshot shows on the key window, and then its absence.
    auto badges = std::find(lines.begin(), lines.end(), "Done!");
    EXPECT_NE(badges, lines.end()) << ::testing::PrintToString(lines);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "# no badge"), 1) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), "# no badge");
}

// The photo picker shows the photo library's pictures as a grid under its
// bar: here a red and a blue one, side by side at the top left.
TEST_F(PicturesHost, PhotoPickerShowsTheLibrarysPictures) {
    std::string dcim = root.path() + "/var/mobile/Media/DCIM/100TEST";
    std::filesystem::create_directories(dcim);
    auto paint = [&](const std::string& name, double r, double g, double b) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 30);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, r, g, b);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_write_to_png(s, (dcim + "/" + name).c_str());
        cairo_surface_destroy(s);
    };
    paint("IMG_0001.PNG", 1, 0, 0);
    paint("IMG_0002.png", 0, 0, 1);
    std::ofstream(dcim + "/notes.txt") << "not a picture";
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(), "open songs\nswipe 0 0\ntap 2\nartwork\nmenu Browse Photo library\nrun 1\nsnapshot " + png("photos") + "\n",
        code, "--screen 320x480@1");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    Picture photos(png("photos"));
    ASSERT_EQ(photos.width, 320);
    // Four a row of 78 points under the 44-point bar: red first, then blue.
    EXPECT_GT(photos.count(2, 46, 80, 124, near(255, 0, 0, 3)), 5000);
    EXPECT_GT(photos.count(82, 46, 160, 124, near(0, 0, 255, 3)), 5000);
    EXPECT_EQ(photos.count(0, 130, 320, 480, near(255, 0, 0, 3)), 0);
    EXPECT_EQ(photos.count(162, 46, 320, 124, near(0, 0, 255, 3)), 0);
}

// On a pad the sheet's popover shows the same activities.
TEST_F(PicturesHost, PadPopoverShowsTheActivities) {
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "open albums\nswipe 0 0\ntap 5\nsharesheet\nsnapshot " + png("popover") + "\n",
                                             code, "--idiom ipad --screen 768x1024@1");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    Picture popover(png("popover"));
    ASSERT_EQ(popover.width, 768);
    // The popover (330 x 225 points) is centred on the screen.
    int x0 = 384 - 165, y0 = 512 - 113, x1 = 384 + 165, y1 = 512 + 113;
    EXPECT_GT(popover.count(x0, y0, x1, y1, mailBlue), 500);
    EXPECT_GT(popover.count(x0, y0, x1, y1, messageGreen), 500);
    EXPECT_EQ(popover.count(0, 0, 768, y0 - 10, mailBlue), 0);
    // What is shared: its text in dark ink in the popover's top part.
    EXPECT_GT(popover.count(x0, y0, x1, y0 + 56, near(0, 0, 0, 60)), 200);
}

// A share icon of the edit sheet opens the composer: a card in the upper
// part of the dimmed screen with its bar ("Cancel", "Post" in the tint) and
// the text.
TEST_F(PicturesHost, ComposerIsDrawnOverTheDimmedScreen) {
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "social twitter on\nopen songs\nswipe 0 0\ntap 2\nshare twitter\nsnapshot " +
                                                 png("composer") + "\n",
                                             code, "--screen 320x480@1");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    ASSERT_NE(std::find(lines.begin(), lines.end(), "composer com.platform.social.twitter"), lines.end())
        << ::testing::PrintToString(lines);
    Picture composer(png("composer"));
    ASSERT_EQ(composer.height, 480);
    EXPECT_GT(composer.count(0, 0, 320, 160, near(0, 122, 255, 40)), 60);        // "Cancel" and "Post"
    EXPECT_GT(composer.count(0, 0, 320, 240, near(250, 250, 250, 3)), 15000);    // the card
    EXPECT_GT(composer.count(10, 60, 250, 240, near(0, 0, 0, 60)), 150);         // the text
    EXPECT_EQ(composer.count(0, 300, 320, 480, near(255, 255, 255, 3)), 0);      // the rest dimmed
}

// Shown upright, then turned to landscape, the now-playing screen's
// navigation bar spans the turned screen: its light grey reaches the right
// edge.
TEST_F(PicturesHost, TurnedNowPlayingScreenHasAFullWidthBar) {
    int code = -1;
    auto lines = testsupport::runMusicScript(root.path(),
                                             "play album 202\nnowplayingscreen\nrotate landscape\nnowplayingscreen\nsnapshot " +
                                                 png("turned") + "\n",
                                             code, "--screen 320x480@1");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    Picture turned(png("turned"));
    ASSERT_EQ(turned.width, 480);
    ASSERT_EQ(turned.height, 320);
    // The bar's grey right of where a 320-point bar would end.
    EXPECT_GT(turned.count(330, 2, 470, 40, near(247, 247, 247, 3)), 2000);
}

}  // namespace
