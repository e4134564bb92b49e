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
