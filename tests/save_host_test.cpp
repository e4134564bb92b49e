// The Music host's save commands end to end with the library injected: a
// song saved with a new title and rating, an album given a picture picked as
// in the photo library, then the rows and the files' tags printed.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using testsupport::TempDir;

namespace {

class SaveHost : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        fixture::exec(db, "INSERT OR IGNORE INTO item_artwork (item_pid, best_artwork_token, sync_artwork_token) "
                          "SELECT item_pid, '', '' FROM item");
        sqlite3_close(db);
        std::filesystem::create_directories(root.path() + "/var/mobile/Media/Music/F00");
        auto audio = platform::generator::toneMP3(330);
        for (const auto& s : fixture::songs())
            std::ofstream(root.path() + "/var/mobile/Media/Music/F00/" + std::to_string(s.pid) + ".mp3", std::ios::binary)
                .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
        std::string bundle = root.path() + "/Library/Application Support/Cantrel/Cantrel.bundle";
        std::filesystem::create_directories(bundle);
        std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
    }
    static bool has(const std::vector<std::string>& lines, const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    TempDir root{"savehost"};
};

TEST_F(SaveHost, SaveAndPickedPictureShowInRowsAndTags) {
    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(),
        "open album 202\nswipe 0 0\ntap 2\nfocus titleTextField\nclear\ntype Nouvel été\nstars 4\naction Save\nrun 1.5\n"
        "db 1003\n"
        "open albums\nswipe 0 0\ntap 2\npickimage " + picture + "\naction Save\nrun 3\n"
        "db 1005\ntags /var/mobile/Media/Music/F00/1005.mp3\n",
        code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(has(lines, "title=Nouvel été"));
    EXPECT_TRUE(has(lines, "user_rating=80"));
    auto sync = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& l) { return l.rfind("sync_artwork_token=", 0) == 0; });
    ASSERT_NE(sync, lines.rend());
    EXPECT_NE(*sync, "sync_artwork_token=");
    EXPECT_TRUE(has(lines, "APIC type=11 mime=image/jpeg description=@brevankl bytes="));
}

TEST_F(SaveHost, BadArgumentsAreReported) {
    struct Case {
        const char* script;
        const char* error;
    } cases[] = {
        {"pickimage /nowhere.png\n", "pickimage: no edit sheet is open"},
        {"open album 202\nswipe 0 0\ntap 2\npickimage /nowhere.png\n", "pickimage: cannot read a picture from '/nowhere.png'"},
        {"db 999\n", "db: no item 999"},
        {"db twelve\n", "db: bad persistent id 'twelve'"},
        {"tags /var/mobile/none.mp3\n", "tags: no file '/var/mobile/none.mp3'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        auto lines = testsupport::runMusicScript(root.path(), c.script, code);
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(has(lines, c.error));
    }
}

}  // namespace

namespace {

// An album whose tracks' tags cannot be trusted (their size runs past their
// padding into the audio): the library takes the picture, those files stay
// byte for byte, and the user is told once for the import, in words, in a
// line the host prints as the alert is shown.
TEST_F(SaveHost, TagsLeftAsTheyWereAreToldInOneAlert) {
    std::string folder = root.path() + "/var/mobile/Media/Music/F00/";
    std::string title = std::string("TIT2") + std::string("\0\0\0\x06\0\0\0", 7) + "Title";
    std::string audio;
    for (int i = 0; i < 10; ++i) audio += std::string("\xFF\xFB\x90\xC4", 4) + std::string(413, '\0');
    std::string tag = title + std::string(1000, '\0');
    size_t size = tag.size() + audio.size();
    std::string header = std::string("ID3\x03\x00\x00", 6);
    for (int i = 3; i >= 0; --i) header.push_back(static_cast<char>((size >> (7 * i)) & 0x7F));
    std::string damaged = header + tag + audio + "TAG" + std::string(125, '\0');
    for (const char* pid : {"1004", "1005"})
        std::ofstream(folder + pid + ".mp3", std::ios::binary).write(damaged.data(), static_cast<std::streamsize>(damaged.size()));

    std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    int code = -1;
    auto lines = testsupport::runMusicScript(
        root.path(), "open albums\nswipe 0 0\ntap 2\npickimage " + picture + "\naction Save\nrun 3\ntags /var/mobile/Media/Music/F00/1003.mp3\n",
        code);
    EXPECT_EQ(code, 0);
    std::vector<std::string> alerts;
    for (const auto& l : lines)
        if (l.rfind("alert: ", 0) == 0) alerts.push_back(l);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].rfind("alert: Failed to change ID3Tags metadata: ", 0), 0u) << alerts[0];
    EXPECT_NE(alerts[0].find("2 tracks kept their tags as they were"), std::string::npos) << alerts[0];
    EXPECT_NE(alerts[0].find("1004.mp3"), std::string::npos) << alerts[0];
    EXPECT_NE(alerts[0].find("cut into the music"), std::string::npos) << alerts[0];
    for (const char* pid : {"1004", "1005"}) {
        std::ifstream in(folder + pid + ".mp3", std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == damaged) << pid << " changed";
    }
    EXPECT_TRUE(has(lines, "APIC type=11 mime=image/jpeg description=@brevankl bytes="));
}

}  // namespace
