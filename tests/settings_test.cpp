// The settings plug-in in process: the preference controller and its file,
// the typed lookups, the pages and their switches, the animated GIF
// category and the manual page.
#include "SettingsSupport.h"

#include <CoreFoundation/CFNotificationCenter.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>
#include <platform/MemoryBudget.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UISwipeGestureRecognizer.h>
#include <UIKit/UITouch.h>
#include <platform/RunLoop.h>
#include <platform/System.h>

#include <Cantrel_PreferencesController.h>
#include <UIImage+animatedGIF.h>
#include <UIKit/Rendering.h>

#include <ImageIO/ImageIO.h>
#include <gif_lib.h>

#include <climits>
#include <cmath>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <unordered_map>

#include <sys/resource.h>

using namespace settingstest;

namespace {

const std::string kDefaults = "111001110";

// Darwin notifications of the settings change that reached this process.
int posts = 0;
void onChange(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { ++posts; }

class Settings : public ::testing::Test {
protected:
    SettingsRoot root;
    void SetUp() override {
        posts = 0;
        platform::clearSystemRequests();
        CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &posts, onChange,
                                        CFSTR("com.brevank.Cantrel.settingschanged"), nullptr,
                                        CFNotificationSuspensionBehaviorDeliverImmediately);
    }
    void TearDown() override {
        // Posts of this test still on their way are heard here, not by the
        // next test's observer.
        platform::RunLoop::main().runFor(0.1);
        CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &posts);
    }
    int deliveredPosts() {
        platform::RunLoop::main().runFor(0.05);
        return posts;
    }
    std::string file() { return readFile(root.prefsFile()); }
};

// --- Typed lookups ---------------------------------------------------------------

BOOL boolLookup(id value, BOOL defaultValue) {
    id dictionary = value ? objc_msgSend<id(id, id)>(objc_getClass("NSDictionary"), "dictionaryWithObject:forKey:"_sel,
                                                     value, "k"_ns)
                          : objc_msgSend<id()>(objc_getClass("NSDictionary"), "dictionary"_sel);
    return objc_msgSend<BOOL(id, BOOL, id)>(objc_getClass("TypedValueTools"), "boolForKey:defaultValue:dictionary:"_sel,
                                            "k"_ns, defaultValue, dictionary);
}

TEST_F(Settings, BoolLookupReadsNumbersStringsAndFallsBackToTheDefault) {
    AutoreleasePool pool;
    id yes = objc_msgSend<id(BOOL)>(objc_getClass("NSNumber"), "numberWithBool:"_sel, YES);
    id no = objc_msgSend<id(BOOL)>(objc_getClass("NSNumber"), "numberWithBool:"_sel, NO);
    struct Case {
        id value;
        BOOL defaultValue;
        BOOL expected;
    };
    // Strings answer boolValue on this platform, as numbers do: their
    // leading Y, y, T, t or non-zero digit reads YES.
    const Case cases[] = {
        {nil, YES, YES},       {nil, NO, NO},          {yes, NO, YES},       {no, YES, NO},
        {"YES"_ns, NO, YES},   {"true"_ns, NO, YES},   {"no"_ns, YES, NO},   {""_ns, YES, NO},
        {"7"_ns, NO, YES},     {objc_msgSend<id()>(objc_getClass("NSArray"), "array"_sel), YES, YES},
        {objc_msgSend<id()>(objc_getClass("NSArray"), "array"_sel), NO, NO},
    };
    for (const Case& c : cases)
        EXPECT_EQ(boolLookup(c.value, c.defaultValue), c.expected)
            << (c.value ? to_string(static_cast<NSString*>(objc_msgSend<id()>(c.value, "description"_sel))) : "nil");
    // No dictionary at all.
    EXPECT_EQ(objc_msgSend<BOOL(id, BOOL, id)>(objc_getClass("TypedValueTools"), "boolForKey:defaultValue:dictionary:"_sel,
                                               "k"_ns, YES, nil),
              YES);
}

TEST_F(Settings, IntFloatAndStringLookupsCheckTheKindFirst) {
    AutoreleasePool pool;
    Class tools = objc_getClass("TypedValueTools");
    id dict = objc_msgSend<id()>(objc_getClass("NSMutableDictionary"), "dictionary"_sel);
    objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel,
                               objc_msgSend<id(double)>(objc_getClass("NSNumber"), "numberWithDouble:"_sel, 2.5), "n"_ns);
    objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel, objc_msgSend<id()>(objc_getClass("NSArray"), "array"_sel),
                               "list"_ns);
    objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel, "42"_ns, "s"_ns);
    auto intOf = [&](NSString* key, int d) {
        return objc_msgSend<int(id, int, id)>(tools, "intForKey:defaultValue:dictionary:"_sel, key, d, dict);
    };
    auto floatOf = [&](NSString* key, float d) {
        return objc_msgSend<float(id, float, id)>(tools, "floatForKey:defaultValue:dictionary:"_sel, key, d, dict);
    };
    EXPECT_EQ(intOf("n"_ns, -1), 2);
    EXPECT_EQ(intOf("s"_ns, -1), 42);
    EXPECT_EQ(intOf("list"_ns, -1), -1);
    EXPECT_EQ(intOf("absent"_ns, -1), -1);
    EXPECT_FLOAT_EQ(floatOf("n"_ns, -1), 2.5f);
    EXPECT_FLOAT_EQ(floatOf("list"_ns, -1), -1.0f);  // an array has no floatValue: the default
    EXPECT_FLOAT_EQ(floatOf("absent"_ns, 3), 3.0f);
    id fallback = "fallback"_ns;
    auto stringOf = [&](NSString* key, id d) {
        return objc_msgSend<id(id, id, id)>(tools, "stringForKey:defaultValue:dictionary:"_sel, key, d, dict);
    };
    EXPECT_EQ(stringOf("absent"_ns, fallback), fallback);  // the very object
    EXPECT_EQ(stringOf("absent"_ns, nil), nil);
    EXPECT_EQ(to_string(static_cast<NSString*>(stringOf("s"_ns, fallback))), "42");
    EXPECT_EQ(to_string(static_cast<NSString*>(stringOf("n"_ns, fallback))), "2.5");
    EXPECT_EQ(stringOf("list"_ns, fallback), fallback);
}

// --- Preference files as other writers leave them -----------------------------

TEST_F(Settings, EveryPageShowsTheFileWrittenByOtherToolsAndOpeningWritesNothing) {
    struct Case {
        const char* name;
        std::function<bool(const std::string&)> write;  // nullptr: no file
        std::string expected;
    };
    auto python = [](std::string root, std::string format) {
        return [=](const std::string& f) { return writeWithPython(f, root, format); };
    };
    auto raw = [](std::string bytes) {
        return [=](const std::string& f) {
            std::ofstream(f, std::ios::binary) << bytes;
            return true;
        };
    };
    // Written as XML, then turned into the binary encoding by plistutil.
    const std::string wrongKinds =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>is_enabled</key><integer>0</integer>"
        "<key>hide_edit_button</key><string>yes</string>"
        "<key>hide_export_button</key><string>TRUE</string>"
        "<key>ask_before_delete</key><date>2020-01-01T00:00:00Z</date>"
        "<key>disable_cover_flow</key><array><false/></array>"
        "<key>hide_store_button</key><real>0.0</real>"
        "<key>hide_buy_button_for_radio_track</key><integer>2</integer>"
        "<key>enforce_ID3Tag_on_export</key><data>AAE=</data>"
        "</dict></plist>\n";
    auto viaPlistutil = [=](const std::string& f) {
        std::ofstream(f + ".xml") << wrongKinds;
        bool ok = runsCleanly({"/usr/bin/plistutil", "-i", f + ".xml", "-o", f, "-f", "bin"});
        std::filesystem::remove(f + ".xml");
        return ok && readFile(f).rfind("bplist00", 0) == 0;
    };
    const Case cases[] = {
        {"no file", nullptr, kDefaults},
        {"python xml, some keys", python("{'is_enabled': False, 'hide_export_button': True, 'ask_before_delete': False}", "xml"),
         "011100110"},
        {"python binary, every key turned",
         python("{'is_enabled': False, 'enforce_ID3Tag_on_export': False, 'enforce_ID3Tag_on_artwork': False, "
                "'hide_export_button': True, 'hide_edit_button': True, 'ask_before_delete': False, "
                "'disable_cover_flow': False, 'hide_store_button': False, 'hide_buy_button_for_radio_track': True}",
                "binary"),
         "000110001"},
        {"python binary, unknown keys only", python("{'has_ArtworkOverwriteProblems': True, 'other': 3}", "binary"),
         kDefaults},
        {"plistutil binary, wrong kinds", viaPlistutil, "011111101"},
        {"a root that is an array", python("[True, False]", "xml"), kDefaults},
        {"garbage", raw(std::string("\x01\x02garbage\xff", 11)), kDefaults},
        {"an empty file", raw(""), kDefaults},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(root.prefsFile());
        if (c.write) {
            ASSERT_TRUE(c.write(root.prefsFile()));
        }
        std::string before = c.write ? file() : "";
        bool existed = std::filesystem::exists(root.prefsFile());
        {
            SettingsApp app;
            EXPECT_EQ(app.allSwitches(), c.expected);
        }
        platform::SettingsStack::shared().clear();
        EXPECT_EQ(std::filesystem::exists(root.prefsFile()), existed);
        if (existed) {
            EXPECT_EQ(file(), before);
        }
        EXPECT_FALSE(std::filesystem::exists(root.prefsFile() + ".corrupt"));
    }
    EXPECT_EQ(deliveredPosts(), 0);
    EXPECT_TRUE(platform::systemRequests().empty());
}

// --- Stores ---------------------------------------------------------------------

TEST_F(Settings, AStoreRewritesTheWholeFileAtomicallyKeepingUnknownKeysWithTheirKinds) {
    ASSERT_TRUE(writeWithPython(root.prefsFile(),
                                "{'has_ArtworkOverwriteProblems': True, 'custom_number': 7, 'custom_text': 'x', "
                                "'custom_list': [1, 2.5], 'is_enabled': True}",
                                "binary"));
    SettingsApp app;
    app.tapMain("button2Tap:");
    ASSERT_TRUE(app.toggle("hideExportButtonSwitch"));
    EXPECT_EQ(readWithPython(root.prefsFile()),
              "[('custom_list', [1, 2.5]), ('custom_number', 7), ('custom_text', 'x'), "
              "('has_ArtworkOverwriteProblems', True), ('hide_export_button', True), ('is_enabled', True)]");
    EXPECT_EQ(file().find("<?xml"), 0u);  // the platform's writer writes XML
    // Nothing but the file is left in the folder (no temporary file).
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(root.prefsFolder())) ++entries;
    EXPECT_EQ(entries, 1u);
    EXPECT_EQ(deliveredPosts(), 1);
    EXPECT_TRUE(platform::systemRequests().empty()) << "only the enable switch restarts the Music app";
}

TEST_F(Settings, WithoutAFileTheEnableSwitchWritesOneKeyPostsAndEndsTheMusicHostOfThisRoot) {
    testsupport::Child host({testsupport::binPath("platform_helper"), "host", root.path()});
    ASSERT_EQ(host.readLine(), std::optional<std::string>("ready"));
    SettingsApp app;
    EXPECT_TRUE(objc_msgSend<BOOL()>(app.outlet("isEnabledSwitch"), "isOn"_sel));
    ASSERT_TRUE(app.toggle("isEnabledSwitch"));
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('is_enabled', False)]");
    EXPECT_EQ(deliveredPosts(), 1);
    ASSERT_EQ(platform::systemRequests().size(), 1u);
    EXPECT_EQ(platform::systemRequests()[0].command, "killall -9 Music");
    EXPECT_EQ(platform::systemRequests()[0].result, 0);
    EXPECT_TRUE(host.waitExit(10).has_value()) << "the Music host of this root ends";
    // Back on: stored as true, the key stays.
    ASSERT_TRUE(app.toggle("isEnabledSwitch"));
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('is_enabled', True)]");
    EXPECT_EQ(platform::systemRequests().size(), 2u);
}

// The store, the write, the post and the restart, in that order.
Slot<void(Cantrel_PreferencesController*, SEL)> _writePreferencesToFile;
std::vector<std::string>* events = nullptr;
void writePreferencesToFile(Cantrel_PreferencesController* self, SEL sel) {
    // The replacement stays installed for the tests after the one that
    // installed it: they only write.
    if (events == nullptr) return _writePreferencesToFile(self, sel);
    id stored = objc_msgSend<id(id)>(self, "getPreferencesObjectForKey:"_sel, "is_enabled"_ns);
    events->push_back(std::string("write with the value ") + (stored ? "stored" : "absent") + ", restarts " +
                      std::to_string(platform::systemRequests().size()));
    _writePreferencesToFile(self, sel);
    events->push_back("written: " + readWithPython(platform::devicePath(kPrefsFile)) +
                      ", restarts " + std::to_string(platform::systemRequests().size()));
}

TEST_F(Settings, AChangeIsStoredThenWrittenThenPostedAndOnlyThenTheMusicAppRestarts) {
    OWN_PROCESS();  // replaces the controller's write for good
    std::vector<std::string> log;
    events = &log;
    MSHookMessageEx(objc_getClass("Cantrel_PreferencesController"), "writePreferencesToFile"_sel,
                    &writePreferencesToFile, &_writePreferencesToFile);
    SettingsApp app;
    ASSERT_TRUE(app.toggle("isEnabledSwitch"));
    EXPECT_EQ(log, (std::vector<std::string>{"write with the value stored, restarts 0",
                                             "written: [('is_enabled', False)], restarts 0"}));
    EXPECT_EQ(platform::systemRequests().size(), 1u);
    EXPECT_EQ(deliveredPosts(), 1);
    events = nullptr;
}

TEST_F(Settings, StoringTheSameStateAgainWritesAndPostsAgain) {
    SettingsApp app;
    app.tapMain("button1Tap:");
    // Each change is posted: the observer hears both (posts of one name
    // still pending are delivered once, so each is heard before the next).
    ASSERT_TRUE(app.toggle("enforceID3TagOnExportSwitch"));
    EXPECT_EQ(deliveredPosts(), 1);
    ASSERT_TRUE(app.toggle("enforceID3TagOnExportSwitch"));
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('enforce_ID3Tag_on_export', True)]");
    EXPECT_EQ(deliveredPosts(), 2);
    // Leaving and opening again shows the stored state.
    app.back();
    app.tapMain("button1Tap:");
    EXPECT_TRUE(objc_msgSend<BOOL()>(app.outlet("enforceID3TagOnExportSwitch"), "isOn"_sel));
}

TEST_F(Settings, AFailedWriteTakesTheSwitchBackKeepsTheDictionaryAndRestartsNothing) {
    testsupport::Child host({testsupport::binPath("platform_helper"), "host", root.path()});
    ASSERT_EQ(host.readLine(), std::optional<std::string>("ready"));
    // No preference folder, so nothing can be written there. (A read-only
    // folder is no obstacle to the root user the tests run as.)
    std::filesystem::remove_all(root.prefsFolder());
    SettingsApp app;
    ASSERT_TRUE(app.toggle("isEnabledSwitch"));
    EXPECT_TRUE(objc_msgSend<BOOL()>(app.outlet("isEnabledSwitch"), "isOn"_sel)) << "back to what is stored";
    EXPECT_EQ(objc_msgSend<id(id)>(app.pane.get(), "getPreferencesObjectForKey:"_sel, "is_enabled"_ns), nil);
    EXPECT_TRUE(platform::systemRequests().empty());
    EXPECT_TRUE(host.running());
    EXPECT_EQ(deliveredPosts(), 1) << "the change notification goes out all the same";
    app.tapMain("button2Tap:");
    ASSERT_TRUE(app.toggle("askBeforeDeleteSwitch"));
    EXPECT_TRUE(objc_msgSend<BOOL()>(app.outlet("askBeforeDeleteSwitch"), "isOn"_sel));
    EXPECT_FALSE(std::filesystem::exists(root.prefsFile()));
    EXPECT_EQ(deliveredPosts(), 2) << "the change notification goes out all the same";
    // The folder comes back: the next store takes, with only its own key.
    std::filesystem::create_directories(root.prefsFolder());
    ASSERT_TRUE(app.toggle("hideStoreButtonSwitch"));
    EXPECT_FALSE(objc_msgSend<BOOL()>(app.outlet("hideStoreButtonSwitch"), "isOn"_sel));
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('hide_store_button', False)]");
}

TEST_F(Settings, AFileThatIsNoDictionaryIsMovedAsideAtTheFirstStore) {
    const std::string garbage("not a property list\x01", 20);
    std::ofstream(root.prefsFile(), std::ios::binary) << garbage;
    SettingsApp app;
    EXPECT_EQ(app.allSwitches(), kDefaults);
    EXPECT_EQ(file(), garbage) << "opening pages writes nothing";
    app.tapMain("button2Tap:");
    ASSERT_TRUE(app.toggle("hideEditButtonSwitch"));
    EXPECT_TRUE(objc_msgSend<BOOL()>(app.outlet("hideEditButtonSwitch"), "isOn"_sel));
    EXPECT_EQ(readFile(root.prefsFile() + ".corrupt"), garbage);
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('hide_edit_button', True)]");
    ASSERT_TRUE(app.toggle("hideBuyButtonSwitch"));
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('hide_buy_button_for_radio_track', True), ('hide_edit_button', True)]");
    EXPECT_EQ(readFile(root.prefsFile() + ".corrupt"), garbage);
}

TEST_F(Settings, EachUnreadableFileIsKeptAsABackupOfItsOwnUpToTen) {
    auto storeOnce = [&](const std::string& garbage) {
        std::ofstream(root.prefsFile(), std::ios::binary) << garbage;
        SettingsApp app;
        app.tapMain("button2Tap:");
        ASSERT_TRUE(app.toggle("hideEditButtonSwitch"));
        EXPECT_EQ(readWithPython(root.prefsFile()), "[('hide_edit_button', True)]");
        platform::SettingsStack::shared().clear();
    };
    const std::string backup = root.prefsFile() + ".corrupt";
    storeOnce("first bad file");
    storeOnce("second bad file");
    EXPECT_EQ(readFile(backup), "first bad file");
    EXPECT_EQ(readFile(backup + ".1"), "second bad file");
    // Up to ten backups: .corrupt and .corrupt.1 to .corrupt.9; later ones
    // take the last place, the earlier ones stay.
    for (int n = 3; n <= 12; ++n) storeOnce("bad file " + std::to_string(n));
    EXPECT_EQ(readFile(backup), "first bad file");
    EXPECT_EQ(readFile(backup + ".1"), "second bad file");
    EXPECT_EQ(readFile(backup + ".2"), "bad file 3");
    EXPECT_EQ(readFile(backup + ".8"), "bad file 9");
    EXPECT_EQ(readFile(backup + ".9"), "bad file 12");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(root.prefsFolder())) ++entries;
    EXPECT_EQ(entries, 11u) << "the file and ten backups";
}

// --- The controller and the pages ------------------------------------------------

TEST_F(Settings, TheControllerAnswersTheSettingsAppAndThePagesGetTheirDelegates) {
    SettingsApp app;
    EXPECT_EQ(to_string(static_cast<NSString*>(objc_msgSend<id()>(app.pane.get(), "navigationTitle"_sel))),
              "Available Apps");
    id main = objc_msgSend<id()>(app.pane.get(), "mainViewController"_sel);
    EXPECT_EQ(objc_msgSend<id()>(app.pane.get(), "view"_sel), objc_msgSend<id()>(main, "view"_sel));
    EXPECT_EQ(objc_msgSend<id()>(app.pane.get(), "view"_sel), objc_msgSend<id()>(app.pane.get(), "view"_sel));
    EXPECT_EQ(app.top(), main);
    EXPECT_EQ(objc_msgSend<id()>(main, "delegate"_sel), app.pane.get());
    struct Row {
        const char* action;
        const char* pageClass;
        bool delegate;
    };
    for (const Row& r : {Row{"button1Tap:", "OptionsViewController", true}, Row{"button2Tap:", "VisualsViewController", true},
                         Row{"manualButtonTapped:", "Cantrel_ManualViewController", false}}) {
        app.tapMain(r.action);
        Strong<UIViewController> first(app.top());
        EXPECT_STREQ(object_getClassName(first.get()), r.pageClass);
        if (r.delegate) {
            EXPECT_EQ(objc_msgSend<id()>(first.get(), "delegate"_sel), app.pane.get());
        }
        app.back();
        app.tapMain(r.action);
        EXPECT_NE(app.top(), first.get()) << "every tap makes a new page";
        app.back();
    }
    EXPECT_EQ(platform::SettingsStack::shared().depth(), 1u);
}

TEST_F(Settings, TheMainSwitchIsNotReadAgainWhenThePageShowsAgain) {
    SettingsApp app;
    app.tapMain("button1Tap:");
    // Another writer changes the file meanwhile: the controller never reads it again.
    ASSERT_TRUE(writeWithPython(root.prefsFile(), "{'is_enabled': False}", "xml"));
    app.back();
    EXPECT_TRUE(objc_msgSend<BOOL()>(app.outlet("isEnabledSwitch"), "isOn"_sel));
    // And its next store overwrites that change.
    app.tapMain("button2Tap:");
    ASSERT_TRUE(app.toggle("hideEditButtonSwitch"));
    EXPECT_EQ(readWithPython(root.prefsFile()), "[('hide_edit_button', True)]");
}

TEST_F(Settings, TheTitleIsFilledWithTheGradientPicture) {
    SettingsApp app;
    auto* title = static_cast<UILabel*>(objc_msgSend<id()>(app.shown(), "titleLabel"_sel));
    auto* colour = static_cast<UIColor*>(objc_msgSend<id()>(title, "textColor"_sel));
    auto* picture = colour ? static_cast<UIImage*>(colour->_patternImage.get()) : nullptr;
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->_fileName, platform::kInstalledPrefsBundle + std::string("/textGradient.png"));
    // Drawn: the letters take the picture's colours (orange to violet), not black.
    _cairo_surface* s = platform::renderView(title, 1);
    UIImage* drawn = UIImage::withSurface(s, 1);
    int coloured = 0, dark = 0;
    for (int y = 0; y < drawn->pixelHeight(); ++y)
        for (int x = 0; x < drawn->pixelWidth(); ++x) {
            uint32_t p = drawn->pixel(x, y);
            if ((p >> 24) < 250) continue;
            int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (r > 150 && r > b) ++coloured;
            if (r < 40 && g < 40 && b < 40) ++dark;
        }
    EXPECT_GT(coloured, 50);
    EXPECT_EQ(dark, 0);
}

TEST_F(Settings, TheContainersTakeTheScreensShorterSide) {
    struct Case {
        CGSize screen;
        double width;
    };
    for (const Case& c : {Case{{320, 568}, 320}, Case{{568, 320}, 320}, Case{{768, 1024}, 768}, Case{{500, 500}, 500}}) {
        platform::setMainScreen(c.screen, 2);
        SettingsApp app;
        for (const char* action : {"", "manualButtonTapped:"}) {
            if (*action) app.tapMain(action);
            id container = objc_msgSend<id()>(app.shown(), "containerView"_sel);
            id constraints = objc_msgSend<id()>(container, "constraints"_sel);
            ASSERT_EQ(objc_msgSend<NSUInteger()>(constraints, "count"_sel), 1u);
            auto* k = static_cast<NSLayoutConstraint*>(objc_msgSend<id(NSUInteger)>(constraints, "objectAtIndex:"_sel, 0));
            EXPECT_EQ(k->_firstItem, container);
            EXPECT_EQ(k->_firstAttribute, 7);
            EXPECT_EQ(k->_relation, 0);
            EXPECT_EQ(k->_secondItem, nil);
            EXPECT_EQ(k->_secondAttribute, 7);
            EXPECT_EQ(k->_multiplier, 1.0);
            EXPECT_EQ(k->_constant, c.width) << c.screen.width << "x" << c.screen.height;
        }
        platform::SettingsStack::shared().clear();
    }
    platform::resetMainScreen();
}

TEST_F(Settings, MissingNibsAndAMissingBundleShowEmptyPages) {
    std::filesystem::remove(root.bundle() + "/COptionsVC.nib.json");
    {
        SettingsApp app;
        app.tapMain("button1Tap:");
        EXPECT_EQ(objc_msgSend<id()>(app.shown(), "enforceID3TagOnExportSwitch"_sel), nil);
        id view = objc_msgSend<id()>(app.shown(), "view"_sel);
        ASSERT_NE(view, nil);
        EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(view, "subviews"_sel), "count"_sel), 0u);
    }
    platform::SettingsStack::shared().clear();
    std::filesystem::remove_all(root.bundle());
    SettingsApp app;
    id view = objc_msgSend<id()>(app.pane.get(), "view"_sel);
    ASSERT_NE(view, nil);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id()>(view, "subviews"_sel), "count"_sel), 0u);
    app.tapMain("button2Tap:");  // a page that cannot load its nib is still shown, empty
    EXPECT_STREQ(object_getClassName(app.top()), "VisualsViewController");
}

// --- Animated GIFs -----------------------------------------------------------------

struct Frame {
    int delay;  // centiseconds; -1: no graphic control block
    uint8_t colour;  // palette index: 0 red, 1 green, 2 blue, 3 white
    int left = 0, top = 0, width = 4, height = 4;
    int disposal = DISPOSAL_UNSPECIFIED;
    bool interlaced = false;  // its lines stored in the four passes
    bool stripes = false;     // row r in colour r % 4 instead of `colour`
};

int writeBytes(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

// Calls `put` with each row of an image `height` rows high, in the order a
// GIF stores them: interlaced, in four passes (every eighth row from 0, from
// 4, every fourth from 2, every other from 1).
void forEachStoredRow(int height, bool interlaced, const std::function<void(int)>& put) {
    if (interlaced) {
        for (auto [offset, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
            for (int y = offset; y < height; y += step) put(y);
    } else {
        for (int y = 0; y < height; ++y) put(y);
    }
}

// A GIF of a 4 x 4 canvas with these frames, made with giflib.
std::string makeGif(const std::vector<Frame>& frames) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeBytes, &error);
    EGifSetGifVersion(gif, true);
    GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifPutScreenDesc(gif, 4, 4, 8, 3, map);
    for (const Frame& f : frames) {
        if (f.delay >= 0) {
            GraphicsControlBlock gcb{f.disposal, false, f.delay, NO_TRANSPARENT_COLOR};
            GifByteType ext[4];
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
        }
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
        std::vector<GifPixelType> line(f.width, f.colour);
        forEachStoredRow(f.height, f.interlaced, [&](int y) {
            if (f.stripes) std::fill(line.begin(), line.end(), static_cast<GifPixelType>(y % 4));
            EGifPutLine(gif, line.data(), f.width);
        });
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

struct Expanded {
    bool made = false;
    std::vector<int> entries;  // each entry's frame, by first appearance
    double duration = 0;
    std::vector<uint32_t> firstPixels;  // pixel (0,0) and (3,3) of each distinct frame
    std::vector<std::vector<uint32_t>> pixels;  // with `allPixels`: each distinct frame's, row by row
    std::vector<std::pair<int, int>> sizes;     // each distinct frame's width and height
};

Expanded expand(const std::string& bytes, bool allPixels = false) {
    CantrelPrefs_registerClasses();
    AutoreleasePool pool;
    id data = objc_msgSend<id(const void*, NSUInteger)>(objc_getClass("NSData"), "dataWithBytes:length:"_sel,
                                                        bytes.data(), bytes.size());
    id image = objc_msgSend<id(id)>(UIImage::cls(), "animatedImageWithAnimatedGIFData:"_sel, data);
    Expanded e;
    if (image == nil) return e;
    e.made = true;
    e.duration = objc_msgSend<double()>(image, "duration"_sel);
    std::map<id, int> seen;
    id images = objc_msgSend<id()>(image, "images"_sel);
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(images, "count"_sel); ++i) {
        id entry = objc_msgSend<id(NSUInteger)>(images, "objectAtIndex:"_sel, i);
        auto [it, added] = seen.emplace(entry, static_cast<int>(seen.size()));
        if (added) {
            e.firstPixels.push_back(static_cast<UIImage*>(entry)->pixel(0, 0));
            e.firstPixels.push_back(static_cast<UIImage*>(entry)->pixel(3, 3));
            auto* frame = static_cast<UIImage*>(entry);
            e.sizes.emplace_back(frame->pixelWidth(), frame->pixelHeight());
            if (allPixels) {
                e.pixels.emplace_back();
                for (int y = 0; y < frame->pixelHeight(); ++y)
                    for (int x = 0; x < frame->pixelWidth(); ++x) e.pixels.back().push_back(frame->pixel(x, y));
            }
        }
        e.entries.push_back(it->second);
    }
    return e;
}

TEST(AnimatedGIF, FramesKeepTheirOwnTimesAsEqualShares) {
    struct Case {
        const char* name;
        std::vector<Frame> frames;
        std::vector<int> entries;
        double duration;
    };
    std::vector<int> oneAndHundred{0};
    oneAndHundred.insert(oneAndHundred.end(), 100, 1);
    const Case cases[] = {
        {"10, 20 and 30", {{10, 0}, {20, 1}, {30, 2}}, {0, 1, 1, 2, 2, 2}, 0.6},
        {"one frame of 5", {{5, 0}}, {0}, 0.05},
        {"1 and 100", {{1, 0}, {100, 1}}, oneAndHundred, 1.01},
        {"4 and 6", {{4, 0}, {6, 1}}, {0, 0, 1, 1, 1}, 0.1},
        // A delay of 0 reads as the clamped delay time of 0.1 s.
        {"zero delays", {{0, 0}, {0, 1}, {0, 2}}, {0, 1, 2}, 0.3},
        {"no control blocks", {{-1, 0}, {-1, 1}}, {0, 1}, 0.02},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Expanded e = expand(makeGif(c.frames));
        ASSERT_TRUE(e.made);
        EXPECT_EQ(e.entries, c.entries);
        EXPECT_NEAR(e.duration, c.duration, 1e-9);
    }
}

TEST(AnimatedGIF, FramesAreTheComposedCanvas) {
    // Blue over the whole canvas, then green over its bottom-right quarter.
    Expanded e = expand(makeGif({{10, 2}, {10, 1, 2, 2, 2, 2}}));
    ASSERT_TRUE(e.made);
    EXPECT_EQ(e.firstPixels, (std::vector<uint32_t>{0xff0000ff, 0xff0000ff, 0xff0000ff, 0xff00ff00}));
    // The green quarter goes again before the red one is drawn: restored to
    // what was under it, or cleared to transparent.
    struct Case {
        int disposal;
        uint32_t underGreen;
    };
    for (const Case& c : {Case{DISPOSE_PREVIOUS, 0xff0000ff}, Case{DISPOSE_BACKGROUND, 0}, Case{DISPOSE_DO_NOT, 0xff00ff00}}) {
        Frame green{10, 1, 2, 2, 2, 2, c.disposal};
        Expanded d = expand(makeGif({{10, 2}, green, {10, 0, 0, 0, 2, 2}}));
        ASSERT_TRUE(d.made);
        ASSERT_EQ(d.firstPixels.size(), 6u);
        EXPECT_EQ(d.firstPixels[4], 0xffff0000u) << "red top-left";
        EXPECT_EQ(d.firstPixels[5], c.underGreen) << "disposal " << c.disposal;
    }
}

TEST(AnimatedGIF, BrokenTooLargeAndStillData) {
    AutoreleasePool pool;
    // Cut inside the third frame: it is left out with its delay.
    std::string full = makeGif({{10, 0}, {20, 1}, {30, 2}});
    std::string twoFrames = makeGif({{10, 0}, {20, 1}});
    std::string truncated = full.substr(0, twoFrames.size() - 1 + 14);
    Expanded cut = expand(truncated);
    ASSERT_TRUE(cut.made);
    EXPECT_EQ(cut.entries, (std::vector<int>{0, 1, 1}));
    EXPECT_NEAR(cut.duration, 0.3, 1e-9);

    std::vector<Frame> many(5000, Frame{1, 0, 0, 0, 1, 1});
    EXPECT_FALSE(expand(makeGif(many)).made) << "5,000 frames";
    many.resize(4096);
    Expanded most = expand(makeGif(many));
    ASSERT_TRUE(most.made) << "4,096 frames";
    EXPECT_EQ(most.entries.size(), 4096u);
    EXPECT_NEAR(most.duration, 40.96, 1e-9);

    // 201 frames of a 200 x 200 canvas are 8.04 megapixels: refused (each
    // frame is a single pixel of the file, but decodes as the whole canvas).
    std::vector<Frame> dots(201, Frame{1, 0, 0, 0, 1, 1});
    std::string big = makeGif(dots);
    big[6] = static_cast<char>(200);  // the canvas: 200 x 200
    big[8] = static_cast<char>(200);
    EXPECT_FALSE(expand(big).made) << "more than 8 megapixels";
    dots.resize(40);
    big = makeGif(dots);
    big[6] = static_cast<char>(200);
    big[8] = static_cast<char>(200);
    Expanded small = expand(big);
    ASSERT_TRUE(small.made) << "1.6 megapixels";
    EXPECT_EQ(small.entries.size(), 40u);

    EXPECT_FALSE(expand("").made);
    EXPECT_FALSE(expand("GIF89a").made);
    EXPECT_FALSE(expand("neither a GIF nor anything else").made);
    EXPECT_EQ(objc_msgSend<id(id)>(UIImage::cls(), "animatedImageWithAnimatedGIFData:"_sel, nil), nil);
    // A still picture without a GIF dictionary: one entry of 1 centisecond.
    std::string png = readFile(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel_Prefs.bundle/textGradient.png");
    Expanded still = expand(png);
    ASSERT_TRUE(still.made);
    EXPECT_EQ(still.entries, (std::vector<int>{0}));
    EXPECT_NEAR(still.duration, 0.01, 1e-9);
}

// "VmRSS" or "VmHWM" of this process (kilobytes).
long residentKilobytes(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return 0;
}

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The same GIF with its frames (all but the header and the trailer of
// `gif`, made with makeGif) repeated `times`.
std::string repeatFrames(const std::string& gif, int times) {
    const size_t header = 6 + 7 + 4 * 3;  // signature, screen, four colours
    std::string frames = gif.substr(header, gif.size() - header - 1), out = gif.substr(0, header);
    for (int i = 0; i < times; ++i) out += frames;
    return out + ";";
}

TEST(AnimatedGIF, FramesBeyondTheScreenAreClippedAndTheirDecodingBounded) {
    AutoreleasePool pool;
    // 135 bytes: a 10 x 10 screen holding five frames that each claim
    // 65535 x 65535 pixels (4.3 gigapixels), with a few bytes of data each.
    std::string hostile = "GIF89a";
    hostile += std::string("\x0a\x00\x0a\x00\xf0\x00\x00", 7) + std::string(3, '\0') + std::string(3, '\xff');
    for (int i = 0; i < 5; ++i)
        hostile += std::string("\x21\xf9\x04\x00\x0a\x00\x00\x00\x2c\x00\x00\x00\x00\xff\xff\xff\xff\x00\x02\x02\x44\x01\x00", 23);
    hostile += ";";
    ASSERT_EQ(hostile.size(), 135u);
    long before = peakResidentKilobytes();
    EXPECT_FALSE(expand(hostile).made) << "no frame holds its pixels: nothing to show";
    EXPECT_LT(peakResidentKilobytes() - before, 256 * 1024) << "kilobytes taken at the peak";

    // An 807-byte GIF: an 8000 x 8000 screen holding one 1 x 1 frame. The
    // frame comes no larger than the main screen (320 x 480 points at scale
    // 2: 960 pixels a side), and the whole animation stays under 64 MB.
    std::string screen = "GIF89a";
    screen += std::string("\x40\x1f\x40\x1f\xf0\x00\x00", 7) + std::string(3, '\0') + std::string(3, '\xff');
    screen += std::string("\x21\xf9\x04\x00\x0a\x00\x00\x00\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 23);
    screen += std::string(807 - 1 - screen.size(), '\0') + ";";  // padding after the image's data
    std::ofstream("/proc/self/clear_refs") << "5";
    long residentBefore = residentKilobytes("VmRSS");
    Expanded onScreen = expand(screen);
    EXPECT_LT(residentKilobytes("VmHWM") - residentBefore, 64 * 1024) << "kilobytes taken at the peak";
    ASSERT_TRUE(onScreen.made);
    ASSERT_EQ(onScreen.sizes.size(), 1u);
    EXPECT_EQ(onScreen.sizes[0], std::make_pair(960, 960));

    // Frames far larger than the 4 x 4 screen show the part on it: green
    // over all of it, then blue from (2, 2) on.
    Expanded clipped = expand(makeGif({{10, 1, 0, 0, 3000, 3000}, {10, 2, 2, 2, 3000, 3000}}));
    ASSERT_TRUE(clipped.made);
    EXPECT_EQ(clipped.firstPixels, (std::vector<uint32_t>{0xff00ff00, 0xff00ff00, 0xff00ff00, 0xff0000ff}));
    // Rows in colour r % 4, the image 5,000 lines high: the screen's four
    // rows are whole whether the lines come in order or in the four passes
    // (rows 1 and 3 only in the last one).
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "in order");
        Frame striped{10, 0, 0, 0, 4, 5000, DISPOSAL_UNSPECIFIED, interlaced, true};
        Expanded rows = expand(makeGif({striped}));
        ASSERT_TRUE(rows.made);
        EXPECT_EQ(rows.firstPixels, (std::vector<uint32_t>{0xffff0000, 0xffffffff})) << "(0,0) red, (3,3) white";
    }

    // Each line of an image is decoded whole, however little of it shows:
    // 300 frames of 65535 x 4 pixels are 78.6 million pixels to decode,
    // refused before any is decoded; 20 frames are not.
    std::string wide = makeGif({{1, 1, 0, 0, 65535, 4}});
    EXPECT_FALSE(expand(repeatFrames(wide, 300)).made) << "300 wide frames";
    Expanded fewer = expand(repeatFrames(wide, 20));
    ASSERT_TRUE(fewer.made) << "20 wide frames";
    EXPECT_EQ(fewer.entries.size(), 20u);
    EXPECT_EQ(fewer.firstPixels.front(), 0xff00ff00u);
    EXPECT_EQ(fewer.firstPixels.back(), 0xff00ff00u);
}

// --- GIFs of any size and palette, and their LZW data -------------------------------

// Palette index i of the GIFs below: every index a colour of its own.
GifColorType paletteColour(int i) {
    return {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i * 7)};
}
uint32_t opaque(int i) {
    GifColorType c = paletteColour(i);
    return 0xff000000u | (uint32_t{c.Red} << 16) | (uint32_t{c.Green} << 8) | c.Blue;
}

using Indexes = std::vector<uint8_t>;  // an image's palette indexes, row by row

// A GIF of a `width` x `height` screen with 1 << `bits` colours whose frames
// (10 centiseconds each) cover the screen with these indexes, made with
// giflib's encoder.
std::string encodeFrames(int width, int height, int bits, const std::vector<Indexes>& frames, bool interlaced) {
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeBytes, &error);
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours;
    for (int i = 0; i < (1 << bits); ++i) colours.push_back(paletteColour(i));
    ColorMapObject* map = GifMakeMapObject(1 << bits, colours.data());
    EGifPutScreenDesc(gif, width, height, bits, 0, map);
    for (const Indexes& f : frames) {
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 10, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
        EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
        forEachStoredRow(height, interlaced, [&](int y) {
            EGifPutLine(gif, const_cast<GifPixelType*>(f.data() + static_cast<size_t>(y) * width), width);
        });
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &error);
    return out;
}

// Each image's indexes as giflib's own decoder reads them (rows in order);
// nothing when it finds the file broken.
std::vector<Indexes> giflibFrames(const std::string& bytes) {
    struct Reader {
        const std::string* bytes;
        size_t at = 0;
    } reader{&bytes};
    auto read = [](GifFileType* gif, GifByteType* out, int length) {
        auto* r = static_cast<Reader*>(gif->UserData);
        size_t n = std::min(r->bytes->size() - r->at, static_cast<size_t>(length));
        std::memcpy(out, r->bytes->data() + r->at, n);
        r->at += n;
        return static_cast<int>(n);
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, read, &error);
    std::vector<Indexes> frames;
    if (gif == nullptr) return frames;
    if (DGifSlurp(gif) == GIF_OK)
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& image = gif->SavedImages[i];
            frames.emplace_back(image.RasterBits,
                                image.RasterBits + static_cast<size_t>(image.ImageDesc.Width) * image.ImageDesc.Height);
        }
    DGifCloseFile(gif, &error);
    return frames;
}

// LZW codes written as a GIF stores them: each in `bits` bits, lowest first.
struct CodeWriter {
    std::string bytes;
    uint32_t pending = 0;
    int count = 0;
    void put(uint32_t code, int bits) {
        pending |= code << count;
        for (count += bits; count >= 8; count -= 8, pending >>= 8) bytes += static_cast<char>(pending & 0xff);
    }
    std::string done() { return count > 0 ? bytes + static_cast<char>(pending & 0xff) : bytes; }
};

// A plain LZW encoder for GIF data (the codes without their sub-blocks).
// Unlike giflib's, it fills the whole table of 4,096 codes and then goes on
// with 12-bit codes and no new strings, `codesWhileFull` of them before it
// clears the table. `change` may replace each string's code (given the code
// the next string gets) to make broken data.
std::string lzwEncode(const Indexes& pixels, int minimumCodeSize, int codesWhileFull = INT_MAX,
                      const std::function<uint32_t(size_t, uint32_t, uint32_t)>& change = {}) {
    const uint32_t clear = 1u << minimumCodeSize;
    uint32_t next = clear + 2;
    int bits = minimumCodeSize + 1, whileFull = 0;
    std::unordered_map<uint32_t, uint32_t> strings;  // (code << 8 | byte) -> code
    CodeWriter w;
    w.put(clear, bits);
    size_t emitted = 0;
    auto emit = [&](uint32_t code) {
        w.put(change ? change(emitted, code, next) : code, bits);
        ++emitted;
        if (next >= (1u << bits) && bits < 12) ++bits;  // the decoder widens its codes at the same point
    };
    int64_t current = -1;
    for (uint8_t p : pixels) {
        if (current < 0) {
            current = p;
            continue;
        }
        auto found = strings.find(static_cast<uint32_t>(current) << 8 | p);
        if (found != strings.end()) {
            current = found->second;
            continue;
        }
        emit(static_cast<uint32_t>(current));
        if (next < 4096) {
            strings[static_cast<uint32_t>(current) << 8 | p] = next++;
        } else if (++whileFull > codesWhileFull) {
            w.put(clear, bits);
            strings.clear();
            next = clear + 2;
            bits = minimumCodeSize + 1;
            whileFull = 0;
        }
        current = p;
    }
    if (current >= 0) emit(static_cast<uint32_t>(current));
    w.put(clear + 1, bits);
    return w.done();
}

struct RawImage {
    int minimumCodeSize;
    std::string lzw;  // its codes, cut into sub-blocks when written
    int width = 0, height = 0;  // 0: the screen's
    int transparent = -1;       // its transparent index, if any
};

// A GIF of a `width` x `height` screen with 1 << `bits` colours holding
// these images at (0, 0), 10 centiseconds each, written byte by byte.
std::string gifAround(int width, int height, int bits, const std::vector<RawImage>& images) {
    auto le16 = [](int v) { return std::string{static_cast<char>(v & 0xff), static_cast<char>(v >> 8 & 0xff)}; };
    std::string out = "GIF89a" + le16(width) + le16(height);
    out += static_cast<char>(0x80 | (bits - 1) << 4 | (bits - 1));
    out += std::string(2, '\0');
    for (int i = 0; i < (1 << bits); ++i) {
        GifColorType c = paletteColour(i);
        out += {static_cast<char>(c.Red), static_cast<char>(c.Green), static_cast<char>(c.Blue)};
    }
    for (const RawImage& image : images) {
        out += std::string("\x21\xf9\x04", 3) + static_cast<char>(image.transparent >= 0 ? 1 : 0) + "\x0a" + '\0' +
               static_cast<char>(std::max(image.transparent, 0)) + '\0';
        out += "\x2c" + le16(0) + le16(0) + le16(image.width ? image.width : width) +
               le16(image.height ? image.height : height) + '\0';
        out += static_cast<char>(image.minimumCodeSize);
        for (size_t at = 0; at < image.lzw.size(); at += 255) {
            std::string block = image.lzw.substr(at, 255);
            out += static_cast<char>(block.size()) + block;
        }
        out += '\0';
    }
    return out + ";";
}

Indexes noise(size_t n, int colours, unsigned seed) {
    std::mt19937 random(seed);
    Indexes out(n);
    for (auto& p : out) p = static_cast<uint8_t>(random() % colours);
    return out;
}

// Runs of one colour, of random lengths up to `longest`.
Indexes runs(size_t n, int colours, size_t longest, unsigned seed) {
    std::mt19937 random(seed);
    Indexes out;
    while (out.size() < n) out.resize(std::min(n, out.size() + 1 + random() % longest), static_cast<uint8_t>(random() % colours));
    return out;
}

// Where a frame's pixels first differ from the colours of `indexes`; -1
// when they do not.
long firstDifference(const std::vector<uint32_t>& pixels, const Indexes& indexes) {
    for (size_t i = 0; i < std::max(pixels.size(), indexes.size()); ++i)
        if (i >= pixels.size() || i >= indexes.size() || pixels[i] != opaque(indexes[i])) return static_cast<long>(i);
    return -1;
}

// Frames encoded by giflib, read back whole: noise in 256 colours (codes
// growing to 12 bits, the table cleared whenever full), in 4 and 2 colours,
// long runs and a single colour (strings that repeat the code just made),
// each stored in order and interlaced. giflib's decoder reads the same
// indexes from the same bytes.
TEST(AnimatedGIF, FramesAreTheIndexesGiflibEncoded) {
    struct Case {
        const char* name;
        int width, height, bits;
        std::vector<Indexes> frames;
    };
    const Case cases[] = {
        {"noise of 256 colours", 200, 150, 8, {noise(30000, 256, 1), noise(30000, 256, 2)}},
        {"noise of 4 colours", 64, 48, 2, {noise(3072, 4, 3), runs(3072, 4, 40, 4)}},
        {"noise of 2 colours", 61, 37, 1, {noise(2257, 2, 5)}},
        {"long runs of 16 colours", 300, 200, 4, {runs(60000, 16, 2000, 6), runs(60000, 16, 50, 7)}},
        {"a single colour", 256, 256, 4, {Indexes(65536, 9), Indexes(65536, 0)}},
    };
    for (const Case& c : cases)
        for (bool interlaced : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (interlaced ? ", interlaced" : ""));
            std::string bytes = encodeFrames(c.width, c.height, c.bits, c.frames, interlaced);
            ASSERT_EQ(giflibFrames(bytes), c.frames);
            Expanded e = expand(bytes, true);
            ASSERT_TRUE(e.made);
            ASSERT_EQ(e.pixels.size(), c.frames.size());
            for (size_t f = 0; f < c.frames.size(); ++f) EXPECT_EQ(firstDifference(e.pixels[f], c.frames[f]), -1) << "frame " << f;
        }
}

// Data no giflib encoder writes, read as giflib's decoder reads it: a table
// filled to its 4,096 codes and then used as it is (cleared after a while or
// never), and the smallest minimum code size, 1 (two colours, codes from 2
// bits on).
TEST(AnimatedGIF, FullCodeTablesAndOneBitCodesAreDecoded) {
    struct Case {
        const char* name;
        int width, height, bits, minimumCodeSize;
        Indexes pixels;
        int codesWhileFull;
    };
    const Case cases[] = {
        {"a full table used to the end", 160, 120, 8, 8, noise(19200, 256, 11), INT_MAX},
        {"a full table cleared after 300 codes", 160, 120, 8, 8, noise(19200, 256, 12), 300},
        {"a full table of 16 colours", 200, 200, 4, 4, runs(40000, 16, 6, 13), INT_MAX},
        {"noise with 1-bit indexes", 64, 64, 1, 1, noise(4096, 2, 14), 100},
        {"runs with 1-bit indexes", 64, 64, 1, 1, runs(4096, 2, 300, 15), INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = gifAround(c.width, c.height, c.bits, {{c.minimumCodeSize, lzwEncode(c.pixels, c.minimumCodeSize, c.codesWhileFull)}});
        ASSERT_EQ(giflibFrames(bytes), std::vector<Indexes>{c.pixels});
        Expanded e = expand(bytes, true);
        ASSERT_TRUE(e.made);
        ASSERT_EQ(e.pixels.size(), 1u);
        EXPECT_EQ(firstDifference(e.pixels[0], c.pixels), -1);
    }
}

// Frames asked for out of order, again, or after a later one are the frames
// read in order (the source decodes again from the first).
TEST(AnimatedGIF, FramesAskedInAnyOrderAreThoseReadInOrder) {
    // Blue; green in the bottom-right quarter, then gone; red in the top-left
    // quarter, then cleared; white in the middle.
    std::string bytes = makeGif({{10, 2},
                                 {10, 1, 2, 2, 2, 2, DISPOSE_PREVIOUS},
                                 {10, 0, 0, 0, 2, 2, DISPOSE_BACKGROUND},
                                 {10, 3, 1, 1, 2, 2}});
    Expanded inOrder = expand(bytes, true);
    ASSERT_EQ(inOrder.pixels.size(), 4u);
    EXPECT_EQ(inOrder.firstPixels, (std::vector<uint32_t>{0xff0000ff, 0xff0000ff, 0xff0000ff, 0xff00ff00, 0xffff0000,
                                                          0xff0000ff, 0, 0xff0000ff}));
    AutoreleasePool pool;
    id data = objc_msgSend<id(const void*, NSUInteger)>(objc_getClass("NSData"), "dataWithBytes:length:"_sel,
                                                        bytes.data(), bytes.size());
    CGImageSourceRef source = CGImageSourceCreateWithData(static_cast<CFDataRef>(data), nullptr);
    ASSERT_EQ(CGImageSourceGetCount(source), 4u);
    for (size_t index : {3, 0, 2, 2, 1, 3, 0}) {
        CGImageRef image = CGImageSourceCreateImageAtIndex(source, index, nullptr);
        ASSERT_NE(image, nullptr);
        auto* frame = static_cast<UIImage*>(objc_msgSend<id(CGImageRef)>(UIImage::cls(), "imageWithCGImage:"_sel, image));
        std::vector<uint32_t> pixels;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) pixels.push_back(frame->pixel(x, y));
        EXPECT_EQ(pixels, inOrder.pixels[index]) << "frame " << index;
        CGImageRelease(image);
    }
    CFRelease(source);
}

// Frame buffers kept aside for the next frames give way to work that finds
// no room in picture memory.
TEST(AnimatedGIF, FrameBuffersKeptAsideGiveWayToWorkWithoutRoom) {
    std::string bytes = makeGif({{10, 2}, {10, 1, 2, 2, 2, 2}});
    {
        AutoreleasePool pool;
        id data = objc_msgSend<id(const void*, NSUInteger)>(objc_getClass("NSData"), "dataWithBytes:length:"_sel,
                                                            bytes.data(), bytes.size());
        CGImageSourceRef source = CGImageSourceCreateWithData(static_cast<CFDataRef>(data), nullptr);
        ASSERT_EQ(CGImageSourceGetCount(source), 2u);
        CGImageRelease(CGImageSourceCreateImageAtIndex(source, 1, nullptr));
        CFRelease(source);
    }
    platform::MemoryBudget& memory = platform::pictureMemory();
    ASSERT_GT(memory.kept(), 0u);
    platform::MemoryBudget::Hold rest(&memory), more(&memory);
    ASSERT_TRUE(rest.grow(memory.limit() - memory.inUse()));
    EXPECT_TRUE(more.growWaiting(16, std::chrono::steady_clock::now() + std::chrono::milliseconds(200)));
}

// The transparent index, and indexes past the colour map, leave the pixel
// under them as it was; the others give their colours. Here two frames:
// noise of indexes 0 and 1, then noise of 0 to 3 over it.
TEST(AnimatedGIF, TransparentAndUnmappedIndexesLeaveTheCanvasAsItWas) {
    const Indexes first = noise(64, 2, 41), second = noise(64, 4, 42);
    RawImage over{2, lzwEncode(second, 2)};
    over.transparent = 0;
    Expanded e = expand(gifAround(8, 8, 1, {{1, lzwEncode(first, 1)}, over}), true);
    ASSERT_TRUE(e.made);
    ASSERT_EQ(e.pixels.size(), 2u);
    EXPECT_EQ(firstDifference(e.pixels[0], first), -1);
    Indexes shown(64);
    for (size_t i = 0; i < 64; ++i) shown[i] = second[i] == 1 ? 1 : first[i];
    EXPECT_EQ(firstDifference(e.pixels[1], shown), -1);
    // Without the transparent index, index 0 is drawn.
    over.transparent = -1;
    e = expand(gifAround(8, 8, 1, {{1, lzwEncode(first, 1)}, over}), true);
    ASSERT_EQ(e.pixels.size(), 2u);
    for (size_t i = 0; i < 64; ++i) shown[i] = second[i] <= 1 ? second[i] : first[i];
    EXPECT_EQ(firstDifference(e.pixels[1], shown), -1);
    // A 4-colour map whose last index is the transparent one.
    over.transparent = 3;
    e = expand(gifAround(8, 8, 2, {{2, lzwEncode(first, 2)}, over}), true);
    ASSERT_EQ(e.pixels.size(), 2u);
    for (size_t i = 0; i < 64; ++i) shown[i] = second[i] != 3 ? second[i] : first[i];
    EXPECT_EQ(firstDifference(e.pixels[1], shown), -1);
}

// A frame whose data cannot give its pixels is left out, and the frames
// after it with it; the frame before it is shown. The data: a code with no
// string yet (past the next one, or the next one right after a clear), codes
// that end before the last pixel (at an end code or the data's last byte),
// minimum code sizes of 0, 9 and 12. An image that claims 65535 x 65535
// pixels is decoded down to the screen's last line only.
TEST(AnimatedGIF, BrokenLzwDataLeavesItsFrameOut) {
    const Indexes pixels = noise(64, 4, 21), red = Indexes(64, 2);
    auto replaced = [&](size_t at, uint32_t by) {
        return lzwEncode(pixels, 2, INT_MAX, [=](size_t i, uint32_t code, uint32_t next) {
            return i == at ? next + by : code;
        });
    };
    std::string whole = lzwEncode(pixels, 2);
    ASSERT_EQ(giflibFrames(gifAround(8, 8, 2, {{2, whole}})), std::vector<Indexes>{pixels});
    struct Case {
        const char* name;
        RawImage broken;
    };
    const Case cases[] = {
        // (Codes that still fit in the bits of the codes around them.)
        {"a code past the next one", {2, replaced(9, 0)}},
        {"a code far past the next one", {2, replaced(20, 5)}},
        {"the next code right after a clear", {2, replaced(0, 0)}},
        {"an end code too early", {2, lzwEncode(Indexes(pixels.begin(), pixels.begin() + 60), 2)}},
        {"data cut short", {2, whole.substr(0, whole.size() - 4)}},
        {"no data", {2, ""}},
        {"minimum code size 0", {0, lzwEncode(Indexes(64, 0), 0)}},  // codes of 1 bit, then 2
        {"minimum code size 9", {9, whole}},
        {"minimum code size 12", {12, whole}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& bytes :
             {gifAround(8, 8, 2, {{2, lzwEncode(red, 2)}, c.broken}), gifAround(8, 8, 2, {{2, lzwEncode(red, 2)}, c.broken, {2, whole}})}) {
            Expanded e = expand(bytes, true);
            ASSERT_TRUE(e.made);
            ASSERT_EQ(e.pixels.size(), 1u) << "only the red frame";
            EXPECT_EQ(firstDifference(e.pixels[0], red), -1);
        }
    }
    // The first four lines of an image 65535 pixels wide and high, then its
    // end code: all the 4 x 4 screen shows.
    Indexes lines(4 * 65535, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) lines[static_cast<size_t>(y) * 65535 + x] = static_cast<uint8_t>(x ^ y);
    Expanded huge = expand(gifAround(4, 4, 2, {{2, lzwEncode(lines, 2), 65535, 65535}}), true);
    ASSERT_TRUE(huge.made);
    ASSERT_EQ(huge.pixels.size(), 1u);
    Indexes shown;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) shown.push_back(static_cast<uint8_t>(x ^ y));
    EXPECT_EQ(firstDifference(huge.pixels[0], shown), -1);
}

// Three thousand random changes, from a fixed seed, to a small animated GIF
// (frames in part of the screen, interlaced, each disposal) and to
// the data of a single image: the file is read within bounds (no frame
// larger than the screen, at most 10,000 entries) and,
// where giflib decodes a changed image whole as well, to the same indexes.
TEST(AnimatedGIF, ChangedFilesAreReadWithinBounds) {
    constexpr int kSide = 16;
    std::string animated;
    {
        std::vector<Frame> frames = {
            {3, 1, 0, 0, 16, 16}, {5, 2, 2, 3, 9, 7, DISPOSE_BACKGROUND, true},
            {2, 0, 4, 4, 8, 8, DISPOSE_PREVIOUS, false, true}, {4, 3, 1, 0, 15, 16, DISPOSE_DO_NOT, true, true}};
        animated = makeGif(frames);
        animated[6] = animated[8] = static_cast<char>(kSide);  // the screen: 16 x 16
    }
    const Indexes single = runs(kSide * kSide, 16, 9, 31);
    const std::string still = gifAround(kSide, kSide, 4, {{4, lzwEncode(single, 4)}});
    const size_t dataStart = still.size() - 2 - lzwEncode(single, 4).size() - 1;  // after the first block's length
    std::mt19937 random(20261207);
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    int agreed = 0;
    for (int round = 0; round < 3000; ++round) {
        bool lzwOnly = round % 2 == 1;
        std::string bytes = lzwOnly ? still : animated;
        for (size_t changes = 1 + pick(3); changes > 0; --changes) {
            if (lzwOnly) {  // a byte of the codes (the only block's length kept)
                size_t at = dataStart + pick(still.size() - 2 - dataStart);
                bytes[at] = static_cast<char>(pick(2) ? random() : bytes[at] ^ (1 << pick(8)));
                continue;
            }
            size_t from = 10;  // the screen's size kept: large canvases are bounded elsewhere
            switch (pick(4)) {
                case 0: bytes[from + pick(bytes.size() - from)] = static_cast<char>(random()); break;
                case 1: bytes.resize(from + pick(bytes.size() - from)); break;
                case 2: bytes.insert(from + pick(bytes.size() - from), std::string(1 + pick(8), static_cast<char>(random()))); break;
                default: {
                    size_t at = from + pick(bytes.size() - from);
                    bytes[at] = static_cast<char>(bytes[at] ^ (1 << pick(8)));
                }
            }
        }
        SCOPED_TRACE(round);
        Expanded e = expand(bytes, lzwOnly);
        if (!e.made) continue;
        for (auto [w, h] : e.sizes) {
            ASSERT_EQ(w, kSide);
            ASSERT_EQ(h, kSide);
        }
        ASSERT_LE(e.entries.size(), 10000u);
        if (lzwOnly) {
            std::vector<Indexes> theirs = giflibFrames(bytes);
            ASSERT_EQ(e.pixels.size(), 1u);
            if (theirs.size() == 1) {
                EXPECT_EQ(firstDifference(e.pixels[0], theirs[0]), -1);
                ++agreed;
            }
        }
    }
    EXPECT_GT(agreed, 200) << "changed codes both decoders read whole";
}

TEST(AnimatedGIF, EntryCountsForDelays) {
    struct Case {
        std::vector<int64_t> delays, counts;
    };
    for (const Case& c : {Case{{0, 10}, {0, 1}}, Case{{0, 0}, {}}, Case{{3, 6, 9}, {1, 2, 3}},
                          // Beyond 10,000 entries each frame shows once.
                          Case{{1, 20000}, {1, 1}}, Case{{1, 10000}, {1, 1}}, Case{{1, 9999}, {1, 9999}},
                          // Sums past 32 bits.
                          Case{{2000000000, 2000000000}, {1, 1}}})
        EXPECT_EQ(gifEntryCounts(c.delays), c.counts);
}

// --- The manual page ---------------------------------------------------------------

class ManualPage : public Settings {
protected:
    void SetUp() override {
        Settings::SetUp();
        platform::Clock::setVirtual(true);
    }
    void TearDown() override {
        platform::Clock::setVirtual(false);
        Settings::TearDown();
    }
};

TEST_F(ManualPage, PlaysOnceRestsOnTheLastFrameAndReplaysOnATapOrALeftSwipe) {
    SettingsApp app;
    app.tapMain("manualButtonTapped:");
    auto* view = static_cast<UIImageView*>(objc_msgSend<id()>(app.shown(), "exampleImageView"_sel));
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(objc_msgSend<BOOL(SEL)>(app.top(), "respondsToSelector:"_sel, "delegate"_sel)) << "no delegate";
    // The bundle's example: 20 frames shown 0.80 s, 18 x 0.04 s and 1.60 s,
    // so 78 entries of 0.04 s, 3.12 s in all.
    id frames = objc_msgSend<id()>(view, "animationImages"_sel);
    ASSERT_EQ(objc_msgSend<NSUInteger()>(frames, "count"_sel), 78u);
    EXPECT_NEAR(objc_msgSend<double()>(view, "animationDuration"_sel), 3.12, 1e-9);
    EXPECT_EQ(objc_msgSend<NSInteger()>(view, "animationRepeatCount"_sel), 1);
    EXPECT_EQ(objc_msgSend<id()>(view, "image"_sel), objc_msgSend<id()>(frames, "lastObject"_sel));
    EXPECT_TRUE(objc_msgSend<BOOL()>(view, "isAnimating"_sel));
    EXPECT_EQ(platform::imageViewFrameIndex(view), 0);
    platform::Clock::advance(0.81);
    EXPECT_EQ(platform::imageViewFrameIndex(view), 20);  // the first frame's 20 entries are over
    platform::Clock::advance(2.4);
    EXPECT_FALSE(objc_msgSend<BOOL()>(view, "isAnimating"_sel));
    EXPECT_EQ(platform::imageViewShownImage(view), objc_msgSend<id()>(frames, "lastObject"_sel));

    struct Gesture {
        const char* name;
        std::function<int()> play;
        bool replays;
    };
    const Gesture gestures[] = {
        {"swipe right", [&] { return platform::swipeView(view, UISwipeGestureRecognizerDirectionRight); }, false},
        {"swipe up", [&] { return platform::swipeView(view, UISwipeGestureRecognizerDirectionUp); }, false},
        {"swipe down", [&] { return platform::swipeView(view, UISwipeGestureRecognizerDirectionDown); }, false},
        {"swipe left", [&] { return platform::swipeView(view, UISwipeGestureRecognizerDirectionLeft); }, true},
        {"tap", [&] { return platform::tapView(view); }, true},
    };
    for (const Gesture& g : gestures) {
        SCOPED_TRACE(g.name);
        EXPECT_EQ(g.play(), g.replays ? 1 : 0);
        EXPECT_EQ(objc_msgSend<BOOL()>(view, "isAnimating"_sel), g.replays);
        if (g.replays) {
            EXPECT_EQ(platform::imageViewFrameIndex(view), 0) << "from the first frame";
        }
        platform::Clock::advance(3.2);
        EXPECT_FALSE(objc_msgSend<BOOL()>(view, "isAnimating"_sel));
    }
    // The hand: the plug-in's glyph of tag 11.
    id hand = objc_msgSend<id()>(app.top(), "tapHandView"_sel);
    EXPECT_STREQ(object_getClassName(hand), "CustomDrawView");
    EXPECT_EQ(objc_msgSend<NSInteger()>(hand, "tag"_sel), 11);
}

TEST_F(ManualPage, WithoutTheAnimationThePageOpensEmptyAndGesturesPlayNothing) {
    std::filesystem::remove(root.bundle() + "/Cantrel_@2x.gif");
    SettingsApp app;
    app.tapMain("manualButtonTapped:");
    auto* view = static_cast<UIImageView*>(objc_msgSend<id()>(app.shown(), "exampleImageView"_sel));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(objc_msgSend<id()>(view, "animationImages"_sel), nil);
    EXPECT_EQ(objc_msgSend<id()>(view, "image"_sel), nil);
    EXPECT_FALSE(objc_msgSend<BOOL()>(view, "isAnimating"_sel));
    EXPECT_EQ(platform::tapView(view), 1);
    EXPECT_FALSE(objc_msgSend<BOOL()>(view, "isAnimating"_sel));
}

}  // namespace
