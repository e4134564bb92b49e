// The Music host's export commands end to end with the library injected: an
// album exported from its swipe button, the share sheet printed, "Export to
// Folder" chosen and the folder listed; a song exported and the sheet
// cancelled; a choice with no sheet open refused.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <cairo.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

class ExportHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        std::filesystem::create_directories(root.path() + "/var/mobile/Media/Music/F00");
        auto audio = platform::generator::toneMP3(330);
        for (const auto& s : fixture::songs())
            std::ofstream(root.path() + "/var/mobile/Media/Music/F00/" + std::to_string(s.pid) + ".mp3", std::ios::binary)
                .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
    }
    TempDir root{"exporthost"};
};

// Lines with the UUID of an export folder replaced by "U".
std::vector<std::string> withoutUUIDs(const std::vector<std::string>& lines) {
    static const std::regex uuid("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    std::vector<std::string> out;
    for (const std::string& l : lines) out.push_back(std::regex_replace(l, uuid, "U"));
    return out;
}

TEST_F(ExportHost, ExportShareAndList) {
    int code = -1;
    auto lines = withoutUUIDs(testsupport::runMusicScript(
        root.path(),
        "open albums\nswipe 0 0\ntap 5\nsharesheet\nactivity Export to Folder\n"
        "ls var/mobile/Media/general_storage/Cantrel\n"
        "open album 202\nswipe 0 0\ntap 5\nsharesheet\nactivity cancel\n"
        "ls var/mobile/Media/general_storage/Cantrel\n",
        code));
    EXPECT_EQ(code, 0);
    std::vector<std::string> expected = {
        "text 'Aerial Maps' via Cantrel",
        "file var/mobile/Media/general_storage/Cantrel/U.zip",
        "activity Cantrel.export \"Export to Folder\"",
        "U.zip",
        "U/",
        "U/Blue Harbor/",
        "U/Blue Harbor/Aerial Maps/",
        "U/Blue Harbor/Aerial Maps/Coming Home.mp3",
        "U/Blue Harbor/Aerial Maps/Otter's Garden.mp3",
        "U/Blue Harbor/Aerial Maps/Something Blue.mp3",
        "text 'Coming Home' via Cantrel",
        "file var/mobile/Media/general_storage/Cantrel/Coming Home.mp3",
        "Coming Home.mp3",
    };
    for (const std::string& e : expected)
        EXPECT_NE(std::find(lines.begin(), lines.end(), e), lines.end()) << e;
}

// Two exports from two swipes on one screen: both sheets show, one after the
// other (in the order the exports finish), and each keeps its own folder.
TEST_F(ExportHost, TwoExportsShowTwoSheets) {
    int code = -1;
    std::vector<std::string> errors;
    auto lines = withoutUUIDs(testsupport::runMusicScript(
        root.path(),
        "open albums\nswipe 0 0\ntap 5\nswipe 1 0\ntap 5\nsharesheet\nactivity Export to Folder\nsharesheet\n"
        "activity Export to Folder\nls var/mobile/Media/general_storage/Cantrel\n",
        code, "", &errors));
    EXPECT_EQ(code, 0) << ::testing::PrintToString(errors);
    std::vector<std::string> texts, files;
    for (const std::string& l : lines) {
        if (l.starts_with("text ")) texts.push_back(l);
        if (l.starts_with("U")) files.push_back(l);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"text 'Aerial Maps' via Cantrel",
                                               "text 'Bigger, Brighter, Louder!' via Cantrel"}));
    EXPECT_EQ(std::count(files.begin(), files.end(), "U.zip"), 2);
    EXPECT_EQ(std::count(files.begin(), files.end(), "U/Blue Harbor/Aerial Maps/Coming Home.mp3"), 1);
    EXPECT_NE(std::find_if(files.begin(), files.end(),
                           [](const std::string& f) { return f.find("/Bigger, Brighter, Louder!/") != std::string::npos; }),
              files.end())
        << ::testing::PrintToString(files);
}

// On a pad the sheet comes in a popover: the snapshot draws its card (light
// grey) in the middle of the screen until the sheet ends.
TEST_F(ExportHost, PadSheetInAPopoverIsDrawn) {
    int code = -1;
    std::string shown = root.path() + "/shown.png", ended = root.path() + "/ended.png";
    auto lines = testsupport::runMusicScript(root.path(),
                                             "open albums\nswipe 0 0\ntap 5\nsharesheet\nsnapshot " + shown +
                                                 "\nactivity cancel\nsnapshot " + ended + "\n",
                                             code, "--idiom ipad --screen 768x1024");
    ASSERT_EQ(code, 0) << ::testing::PrintToString(lines);
    auto centre = [](const std::string& png) {
        cairo_surface_t* s = cairo_image_surface_create_from_png(png.c_str());
        EXPECT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
        cairo_surface_flush(s);
        uint32_t pixel = *reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s) +
                                                      1024 * cairo_image_surface_get_stride(s) + 768 * 4) &
                         0xFFFFFF;
        cairo_surface_destroy(s);
        return pixel;
    };
    EXPECT_EQ(centre(shown), 0xF8F8F8u);
    EXPECT_NE(centre(ended), 0xF8F8F8u);
}

TEST_F(ExportHost, ChoicesWithoutASheetAreRefused) {
    int code = -1;
    std::vector<std::string> errors;
    testsupport::runMusicScript(root.path(), "activity cancel\nls var/mobile/Nowhere\nls ../..\n", code, "", &errors);
    EXPECT_NE(code, 0);
    std::vector<std::string> expected = {"activity: no open share sheet offers 'cancel'",
                                         "ls: no device folder var/mobile/Nowhere", "ls: no device folder ../.."};
    EXPECT_EQ(errors, expected);
}

}  // namespace
