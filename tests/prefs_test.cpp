// Start-up and preferences: the flags loaded from the preference file, the
// reload on the change notification, and what start-up installs.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "TestSupport.h"

#include <CoreFoundation/CFNotificationCenter.h>
#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <platform/RunLoop.h>

#include <fstream>
#include <map>
#include <string>

namespace {

const char kPrefsPath[] = "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";

std::map<std::string, bool> currentFlags() {
    size_t count = 0;
    const CantrelPreference* table = Cantrel_preferences(&count);
    std::map<std::string, bool> out;
    for (size_t i = 0; i < count; ++i) out[table[i].key] = table[i].flag->load();
    return out;
}

std::map<std::string, bool> defaults() {
    return {{"is_enabled", true},
            {"enforce_ID3Tag_on_export", true},
            {"enforce_ID3Tag_on_artwork", true},
            {"disable_cover_flow", true},
            {"hide_store_button", true},
            {"ask_before_delete", true},
            {"hide_buy_button_for_radio_track", false},
            {"hide_export_button", false},
            {"hide_edit_button", false},
            {"hide_queue_buttons", false},
            {"hide_delete_button", false},
            {"has_ArtworkOverwriteProblems", false}};
}

NSString* str(const char* s) { return objc_msgSend<NSString*(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, s); }
id boolean(bool b) { return objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, b); }
id integer(long v) { return objc_msgSend<id(NSInteger)>(NSNumber::cls(), "numberWithInteger:"_sel, v); }

class Prefs : public ::testing::Test {
protected:
    void SetUp() override {
        platform::registerMusicApp();
        ASSERT_TRUE(platform::makeDeviceDirectories("/var/mobile/Library/Preferences"));
    }

    // Writes the preference file from key/value pairs.
    void write(std::initializer_list<std::pair<const char*, id>> entries, bool binary = true) {
        AutoreleasePool pool;
        id dict = objc_msgSend<id()>(NSMutableDictionary::cls(), "dictionary"_sel);
        for (auto& [key, value] : entries) objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel, value, str(key));
        ASSERT_TRUE(platform::writePropertyList(dict, kPrefsPath, binary));
    }

    void writeRaw(const std::string& bytes) {
        std::ofstream(root.host(kPrefsPath), std::ios::binary) << bytes;
    }

    // Reads the file again as the library does on the change notification
    // (start-up registers the library for it).
    void reload() {
        CantrelInitialize();
        test::postSettingsChanged();
    }

    test::TempRoot root;
};

TEST_F(Prefs, NoFileGivesEveryDefaultAndInstallsTheTable) {
    OWN_PROCESS();  // start-up runs once a process
    CantrelInitialize();
    EXPECT_EQ(currentFlags(), defaults());
    EXPECT_FALSE(objc_copyInstallationLog().empty());
    EXPECT_FALSE(LOGGER_ON);
    EXPECT_EQ(_MusicQueryQueueFeeder, nullptr);
}

TEST_F(Prefs, BinaryAndXmlFilesAreRead) {
    for (bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "xml");
        write({{"enforce_ID3Tag_on_export", boolean(false)},
               {"enforce_ID3Tag_on_artwork", boolean(false)},
               {"disable_cover_flow", boolean(false)},
               {"hide_store_button", boolean(false)},
               {"ask_before_delete", boolean(false)},
               {"hide_buy_button_for_radio_track", boolean(true)},
               {"hide_export_button", boolean(true)},
               {"hide_edit_button", boolean(true)},
               {"hide_delete_button", boolean(true)},
               {"has_ArtworkOverwriteProblems", boolean(true)}},
              binary);
        reload();
        auto expected = defaults();
        for (auto& [key, value] : expected)
            if (key != "is_enabled" && key != "hide_queue_buttons") value = !value;
        EXPECT_EQ(currentFlags(), expected);
    }
}

TEST_F(Prefs, OnlyTheKeysPresentChange) {
    OWN_PROCESS();  // start-up runs once a process
    write({{"hide_edit_button", boolean(true)}});
    CantrelInitialize();
    auto expected = defaults();
    expected["hide_edit_button"] = true;
    EXPECT_EQ(currentFlags(), expected);
}

TEST_F(Prefs, QueueButtonsAreNeverHidden) {
    write({{"hide_queue_buttons", boolean(true)}, {"hide_export_button", boolean(true)}});
    reload();
    EXPECT_FALSE(hide_queue_buttons);
    EXPECT_TRUE(hide_export_button);  // read in the same pass
}

// The boolean reading of every kind of value, for a flag that defaults to NO
// and one that defaults to YES.
TEST_F(Prefs, ValuesOfEveryKind) {
    AutoreleasePool pool;
    struct Case {
        const char* name;
        id value;
        int reading;  // 1 YES, 0 NO, -1 no reading (the default stays)
    };
    const unsigned char bytes[] = {1, 2, 3};
    std::vector<Case> cases = {
        {"true", boolean(true), 1},
        {"false", boolean(false), 0},
        {"integer 0", integer(0), 0},
        {"integer 2", integer(2), 1},
        {"integer -1", integer(-1), 1},
        {"real 0.5", objc_msgSend<id(double)>(NSNumber::cls(), "numberWithDouble:"_sel, 0.5), 1},
        {"\"YES\"", str("YES"), 1},
        {"\"no\"", str("no"), 0},
        {"\" 1\"", str(" 1"), 1},
        {"\"t\"", str("t"), 1},
        {"\"0\"", str("0"), 0},
        {"\"\"", str(""), 0},
        {"\"-007\"", str("-007"), 1},
        {"array", objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel, boolean(true)), -1},
        {"dictionary", objc_msgSend<id()>(NSDictionary::cls(), "dictionary"_sel), -1},
        {"data", objc_msgSend<id(const void*, NSUInteger)>(NSData::cls(), "dataWithBytes:length:"_sel, bytes, 3),
         -1},
        {"date", objc_msgSend<id()>(NSDate::cls(), "date"_sel), -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write({{"hide_export_button", c.value}, {"disable_cover_flow", c.value}});
        reload();
        EXPECT_EQ(hide_export_button.load(), c.reading == -1 ? false : c.reading == 1);
        EXPECT_EQ(disable_cover_flow.load(), c.reading == -1 ? true : c.reading == 1);
    }
}

TEST_F(Prefs, UnreadableFilesGiveDefaults) {
    AutoreleasePool pool;
    struct Case {
        const char* name;
        std::function<void()> make;
    };
    std::vector<Case> cases = {
        {"not a property list", [&] { writeRaw("hide_edit_button = YES\n"); }},
        {"empty file", [&] { writeRaw(""); }},
        {"truncated binary list", [&] { writeRaw(std::string("bplist00\xd1\x01\x02", 10)); }},
        {"root is an array",
         [&] {
             id array = objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel, str("hide_edit_button"));
             ASSERT_TRUE(platform::writePropertyList(array, kPrefsPath, false));
         }},
        {"a folder in its place",
         [&] {
             std::filesystem::remove(root.host(kPrefsPath));
             std::filesystem::create_directory(root.host(kPrefsPath));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write({{"hide_edit_button", boolean(true)}, {"is_enabled", boolean(false)}});
        reload();
        ASSERT_TRUE(hide_edit_button);
        c.make();
        reload();
        EXPECT_EQ(currentFlags(), defaults());
        std::filesystem::remove_all(root.host(kPrefsPath));
    }
}

TEST_F(Prefs, FileDeletedWhileRunningThenNotificationGivesDefaults) {
    OWN_PROCESS();  // start-up runs once a process
    write({{"hide_edit_button", boolean(true)}, {"ask_before_delete", boolean(false)}});
    CantrelInitialize();
    ASSERT_TRUE(hide_edit_button);
    ASSERT_FALSE(ask_before_delete);
    std::filesystem::remove(root.host(kPrefsPath));
    test::postSettingsChanged();
    EXPECT_EQ(currentFlags(), defaults());
}

TEST_F(Prefs, ChangeNotificationReloadsEveryFlag) {
    OWN_PROCESS();  // start-up runs once a process
    CantrelInitialize();
    write({{"hide_export_button", boolean(true)}, {"hide_store_button", boolean(false)}});
    EXPECT_FALSE(hide_export_button);  // nothing happens before the notification
    test::postSettingsChanged();
    EXPECT_TRUE(hide_export_button);
    EXPECT_FALSE(hide_store_button);
}

TEST_F(Prefs, DisabledInstallsNothingButStillFollowsTheFile) {
    OWN_PROCESS();  // start-up runs once a process
    write({{"is_enabled", boolean(false)}});
    CantrelInitialize();
    EXPECT_FALSE(is_enabled);
    EXPECT_TRUE(objc_copyInstallationLog().empty());

    // Switched on while the app runs: the flags follow, nothing is installed
    // until the app starts again.
    write({{"is_enabled", boolean(true)}, {"hide_edit_button", boolean(true)}});
    test::postSettingsChanged();
    EXPECT_TRUE(is_enabled);
    EXPECT_TRUE(hide_edit_button);
    EXPECT_TRUE(objc_copyInstallationLog().empty());
}

TEST_F(Prefs, InitialisationRunsOnce) {
    CantrelInitialize();
    size_t installed = objc_copyInstallationLog().size();
    CantrelInitialize();
    EXPECT_EQ(objc_copyInstallationLog().size(), installed);
}

}  // namespace
