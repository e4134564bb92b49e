// The Music host's icon command: one IconView picture written as a PNG at the
// picture's whole size.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"

#include <UIKit/UIImage.h>

#include <cairo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using testsupport::binPath;
using testsupport::Child;
using testsupport::TempDir;

// A decoded PNG: its size in pixels and its pixels (0xAARRGGBB).
struct Png {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

std::optional<Png> readPng(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return std::nullopt;
    cairo_surface_t* s = platform::decodeImage(bytes.data(), bytes.size());
    if (s == nullptr) return std::nullopt;
    Png png;
    png.width = cairo_image_surface_get_width(s);
    png.height = cairo_image_surface_get_height(s);
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < png.height; ++y)
        for (int x = 0; x < png.width; ++x)
            png.pixels.push_back(reinterpret_cast<const uint32_t*>(data + y * stride)[x]);
    cairo_surface_destroy(s);
    return png;
}

class IconCommand : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeEmptyLibrary());
    }

    // Runs the host on a script; its output lines (stderr merged) and exit code.
    // The host starts in the output folder.
    std::vector<std::string> run(const std::string& script, int& exitCode, const std::string& options = "") {
        std::string scriptPath = out.path() + "/script";
        std::ofstream(scriptPath) << script;
        Child child({"/bin/sh", "-c",
                     "cd '" + out.path() + "' && " + binPath("Music") + " --root '" + root.path() + "' --script '" +
                         scriptPath + "' " + options + " 2>&1"});
        std::vector<std::string> lines;
        while (auto line = child.readLine()) lines.push_back(*line);
        auto status = child.waitExit();
        exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        return lines;
    }

    TempDir root{"icon-root"};
    TempDir out{"icon-out"};
};

TEST_F(IconCommand, WritesThePictureAtItsWholeSizeAndRefusesBadArguments) {
    std::string disc = out.path() + "/disc.png", phone = out.path() + "/phone.png", none = out.path() + "/none.png";
    int exitCode = 0;
    auto lines = run("icon 33 " + disc + "\nicon 20 " + phone + " 3\nicon 40 " + none +
                         "\nicon seven x.png\nicon 20 y.png 2147483648\nicon 35\n",
                     exitCode);
    EXPECT_EQ(exitCode, 1);  // the bad lines failed
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "icon 33: 100x100 points -> " + disc);
    EXPECT_EQ(lines[1], "icon 20: 304x294 points -> " + phone);
    EXPECT_EQ(lines[2], "icon 40: 100x100 points -> " + none);
    EXPECT_EQ(lines[3], "icon: TAG must be a whole number, not 'seven'");
    EXPECT_EQ(lines[4], "icon: SUBTAG 2147483648 is too large (at most 2147483647)");
    EXPECT_NE(lines[5].find("icon: expected"), std::string::npos) << lines[5];

    // At the main screen's scale 2: the disc grey, its arrow white, the
    // corners transparent.
    auto d = readPng(disc);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, 200);
    EXPECT_EQ(d->height, 200);
    EXPECT_EQ(d->at(50, 50), 0xFFFFFFFFu);  // the shaft at (25, 25)
    EXPECT_EQ(d->at(30, 30), 0xFF808080u);  // the disc at (15, 15)
    EXPECT_EQ(d->at(2, 2), 0u);
    EXPECT_EQ(d->at(150, 150), 0u);

    auto p = readPng(phone);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 608);
    EXPECT_EQ(p->height, 588);

    // A tag without a picture gives an empty picture.
    auto n = readPng(none);
    ASSERT_TRUE(n);
    for (uint32_t px : n->pixels) ASSERT_EQ(px, 0u);
}

// The box of the painted pixels' right and bottom edges, in pixels.
std::pair<int, int> paintedEnd(const Png& png) {
    int maxX = 0, maxY = 0;
    for (int y = 0; y < png.height; ++y)
        for (int x = 0; x < png.width; ++x)
            if ((png.at(x, y) >> 24) > 0x20) maxX = std::max(maxX, x + 1), maxY = std::max(maxY, y + 1);
    return {maxX, maxY};
}

TEST_F(IconCommand, DrawsAtTheHostsIdiomIntoAPathRelativeToWhereItStarted) {
    int exitCode = 0;
    run("icon 5 clip.png\nicon 35 disc.png\n", exitCode, "--idiom phone");
    EXPECT_EQ(exitCode, 0);
    run("icon 5 clip_ipad.png\nicon 35 disc_ipad.png\n", exitCode, "--idiom ipad");
    EXPECT_EQ(exitCode, 0);
    auto phone = readPng(out.path() + "/clip.png"), pad = readPng(out.path() + "/clip_ipad.png");
    ASSERT_TRUE(phone && pad);
    // 22.2 x 20.5 points on a phone, 27.7 x 25.5 on an iPad; at scale 2.
    auto [phoneX, phoneY] = paintedEnd(*phone);
    auto [padX, padY] = paintedEnd(*pad);
    EXPECT_NEAR(phoneX, 44.4, 2);
    EXPECT_NEAR(phoneY, 41, 2);
    EXPECT_NEAR(padX, 55.5, 2);
    EXPECT_NEAR(padY, 51, 2);
    // The badges are the same on both.
    auto disc = readPng(out.path() + "/disc.png"), discPad = readPng(out.path() + "/disc_ipad.png");
    ASSERT_TRUE(disc && discPad);
    EXPECT_EQ(disc->pixels, discPad->pixels);
}

}  // namespace
