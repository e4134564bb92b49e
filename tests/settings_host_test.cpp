// The Settings host end to end: its commands, a change reaching a running
// Music host, and the enable switch ending only the Music host of its root.
#include "ProcessSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

using testsupport::binPath;
using testsupport::Child;
using testsupport::TempDir;

namespace {

// A device root made by mklibrary (both bundles installed).
std::string makeRoot(const TempDir& dir, const std::string& name) {
    std::string root = dir.path() + "/" + name;
    int status = testsupport::runProgram({binPath("mklibrary"), "--root", root, "--songs", "12"});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return root;
}

std::vector<std::string> runSettings(const std::string& root, const std::string& script, int& exitCode) {
    std::string scriptPath = root + ".settings-script";
    std::ofstream(scriptPath) << script;
    Child child({"/bin/sh", "-c", binPath("Settings") + " --root '" + root + "' --script '" + scriptPath + "' 2>&1"});
    std::vector<std::string> lines;
    while (auto line = child.readLine()) lines.push_back(*line);
    auto status = child.waitExit();
    std::filesystem::remove(scriptPath);
    exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    return lines;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A running Music host with Cantrel, fed line by line.
struct MusicHost {
    Child child;
    explicit MusicHost(const std::string& root)
        : child({"/bin/sh", "-c", "exec " + binPath("Music") + " --root '" + root + "' 2>&1"}, true) {}
    // The output of the commands, up to the error of an unknown command
    // sent after them as a marker.
    std::vector<std::string> run(const std::vector<std::string>& commands) {
        for (const std::string& c : commands) child.writeLine(c);
        child.writeLine("marker");
        std::vector<std::string> out;
        while (auto line = child.readLine()) {
            if (line->find("'marker'") != std::string::npos) break;
            out.push_back(*line);
        }
        return out;
    }
    // The tags of the buttons a swipe on the first song row shows.
    std::string swipeTags() {
        std::string tags;
        for (const std::string& line : run({"swipe 0 0"}))
            if (!line.empty() && line[0] >= '0' && line[0] <= '9') tags += line.substr(0, line.find(' ')) + " ";
        return tags;
    }
};

TEST(SettingsHost, ASwitchChangeReachesARunningMusicHost) {
    TempDir dir{"settingshost"};
    std::string root = makeRoot(dir, "device");
    MusicHost music(root);
    music.run({"open songs"});
    EXPECT_EQ(music.swipeTags(), "1 2 6 4 3 5 ") << "delete, edit, play last, play next, play now, export";

    int code = 0;
    auto lines = runSettings(root, "tap button2Tap:\ntoggle hideExportButtonSwitch\nquit\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(contains(lines, "toggle hideExportButtonSwitch on=YES"));
    auto prefs = music.run({"run 0.3", "prefs"});
    EXPECT_TRUE(contains(prefs, "hide_export_button=YES"));
    EXPECT_EQ(music.swipeTags(), "1 2 6 4 3 ") << "the export button is gone";
    music.child.writeLine("quit");
    EXPECT_TRUE(music.child.waitExit().has_value());
}

TEST(SettingsHost, TheEnableSwitchEndsOnlyTheMusicHostOfItsOwnRoot) {
    TempDir dir{"settingskill"};
    std::string root = makeRoot(dir, "device"), other = dir.path() + "/other";
    MusicHost music(root);
    music.run({"open songs"});
    Child otherHost({binPath("platform_helper"), "host", other});
    ASSERT_EQ(otherHost.readLine(), std::optional<std::string>("ready"));
    // A process merely named Music: a copy of sleep(1).
    std::filesystem::copy_file("/bin/sleep", dir.path() + "/Music");
    Child namedMusic({dir.path() + "/Music", "60"});

    int code = 0;
    auto lines = runSettings(root, "toggle isEnabledSwitch\nquit\n", code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(contains(lines, "toggle isEnabledSwitch on=NO"));
    EXPECT_TRUE(music.child.waitExit(10).has_value()) << "the Music host of this root ended";
    EXPECT_TRUE(otherHost.running());
    EXPECT_TRUE(namedMusic.running());
}

TEST(SettingsHost, CommandsDriveThePagesAndErrorsNameTheCommand) {
    TempDir dir{"settingscmd"};
    std::string root = makeRoot(dir, "device");
    int code = 0;
    auto lines = runSettings(root,
                             "dump\ntap manualButtonTapped:\ndump\nswipe sideways exampleImageView\n"
                             "toggle exampleImageView\ntap nothing:\nbogus\nback\nback\nquit\n",
                             code);
    EXPECT_EQ(code, 1);
    auto has = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    };
    EXPECT_TRUE(has("pane Cantrel_PreferencesController title=\"Available Apps\""));
    EXPECT_TRUE(has("page Cantrel_MainViewController depth=1"));
    EXPECT_TRUE(has("UISwitch outlet=isEnabledSwitch on=YES"));
    EXPECT_TRUE(has("page Cantrel_ManualViewController depth=2"));
    EXPECT_TRUE(has("UIImageView outlet=exampleImageView frame=40,108,240,160 animating=YES frames=78 duration=3.12 shown=0"));
    EXPECT_TRUE(has("CustomDrawView outlet=tapHandView tag=11"));
    EXPECT_TRUE(has("swipe: the direction is left, right, up or down, not 'sideways'"));
    EXPECT_TRUE(has("toggle: the page has no switch outlet 'exampleImageView'"));
    EXPECT_TRUE(has("tap: the page has no button of action 'nothing:' and no outlet of that name"));
    EXPECT_TRUE(has("bogus: unknown command"));
    EXPECT_TRUE(has("back: the first page is shown"));

    std::filesystem::remove_all(root + "/Library/PreferenceBundles");
    lines = runSettings(root, "quit\n", code);
    EXPECT_EQ(code, 2);
    EXPECT_TRUE(has("no readable Info.plist"));
}

}  // namespace
