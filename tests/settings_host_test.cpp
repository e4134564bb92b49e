// The Settings host end to end: its commands, a change reaching a running
// Music host, and the enable switch ending only the Music host of its root.
#include "ProcessSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

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

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
                             "tap isEnabledSwitchValueChange:\ntoggle dealloc\ntap dealloc\nswipe left autorelease\n"
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
    // Names the page does not declare are never sent to it.
    EXPECT_TRUE(has("tap: the page has no button of action 'isEnabledSwitchValueChange:' and no outlet of that name"));
    EXPECT_TRUE(has("toggle: the page has no switch outlet 'dealloc'"));
    EXPECT_TRUE(has("tap: the page has no button of action 'dealloc' and no outlet of that name"));
    EXPECT_TRUE(has("swipe: the page has no outlet 'autorelease'"));
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

// A folder nothing can be written into, for the user the tests run as:
// read-only permissions, or for the root user the immutable attribute.
// Undone when the object goes. ok() is false when neither can be set.
class UnwritableFolder {
public:
    explicit UnwritableFolder(const std::string& path) : path_(path) {
        if (geteuid() != 0) {
            std::filesystem::permissions(path_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
            mode_ = Mode::Permissions;
            return;
        }
        int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            if (ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0) mode_ = Mode::Immutable;
        }
        if (fd >= 0) close(fd);
    }
    ~UnwritableFolder() {
        if (mode_ == Mode::Permissions) std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
        if (mode_ != Mode::Immutable) return;
        int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0) close(fd);
    }
    bool ok() const { return mode_ != Mode::None; }

private:
    enum class Mode { None, Permissions, Immutable };
    std::string path_;
    Mode mode_ = Mode::None;
};

// Where the preference file cannot be stored, the host says so, fails, and
// the switch keeps showing what is stored; nothing outside the root changes.
TEST(SettingsHost, AStoreThatFailsIsReportedAndTheSwitchShowsTheStoredValue) {
    TempDir dir{"settingsstore"};
    std::string root = makeRoot(dir, "device");
    const std::string folder = root + "/var/mobile/Library/Preferences";
    const std::string file = folder + "/com.brevank.Cantrel.plist";
    const std::string outside = dir.path() + "/outside";
    std::filesystem::create_directory(outside);
    std::ofstream(outside + "/victim.plist") << "outside";
    struct Case {
        const char* what;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"the file a symlink out of the root",
         [&] { std::filesystem::create_symlink(outside + "/victim.plist", file); }},
        {"the folder a symlink out of the root",
         [&] {
             std::filesystem::remove_all(folder);
             std::filesystem::create_directory_symlink(outside, folder);
         }},
    };
    auto expectFailedStores = [&](const std::vector<std::string>& lines, int code) {
        EXPECT_EQ(code, 1);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "toggle isEnabledSwitch on=YES"), 2);
        EXPECT_EQ(std::count(lines.begin(), lines.end(),
                             "toggle: the switch 'isEnabledSwitch' could not be stored; it shows the stored value"),
                  2);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        c.make();
        int code = 0;
        auto lines = runSettings(root, "toggle isEnabledSwitch\ntoggle isEnabledSwitch\nquit\n", code);
        expectFailedStores(lines, code);
        EXPECT_EQ(readText(outside + "/victim.plist"), "outside");
        size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(outside)) ++entries;
        EXPECT_EQ(entries, 1u) << "nothing made outside the root";
    }
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    {
        // A store that takes: no error.
        int code = 0;
        auto lines = runSettings(root, "toggle isEnabledSwitch\nquit\n", code);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(contains(lines, "toggle isEnabledSwitch on=NO"));
        std::filesystem::remove(file);
    }
    SCOPED_TRACE("a folder that cannot be written");
    UnwritableFolder readOnly(folder);
    if (!readOnly.ok()) GTEST_SKIP() << "cannot make a folder unwritable here";
    int code = 0;
    auto lines = runSettings(root, "toggle isEnabledSwitch\ntoggle isEnabledSwitch\nquit\n", code);
    expectFailedStores(lines, code);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(SettingsHost, StandardOutputThatCannotBeWrittenIsReportedByEveryProgram) {
    TempDir dir{"settingsfull"};
    std::string root = makeRoot(dir, "device");
    struct Case {
        const char* what;
        std::string command;
        std::string error;
    };
    const Case cases[] = {
        {"the Settings host", binPath("Settings") + " --root '" + root + "' </dev/null",
         "Settings: cannot write to standard output: No space left on device"},
        {"the Settings host with commands", "echo dump | " + binPath("Settings") + " --root '" + root + "'",
         "Settings: cannot write to standard output: No space left on device"},
        {"mklibrary", binPath("mklibrary") + " --root '" + dir.path() + "/other' --songs 2",
         "mklibrary: cannot write to standard output: No space left on device"},
        {"the Settings host's help", binPath("Settings") + " --help",
         "Settings: cannot write to standard output: No space left on device"},
        {"the Music host's help", binPath("Music") + " --help",
         "Music: cannot write to standard output: No space left on device"},
        {"notifyutil's help", binPath("notifyutil") + " --help",
         "notifyutil: cannot write to standard output: No space left on device"},
        {"mklibrary's help", binPath("mklibrary") + " --help",
         "mklibrary: cannot write to standard output: No space left on device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Child child({"/bin/sh", "-c", "(" + c.command + ") 2>&1 >/dev/full"});
        std::vector<std::string> lines;
        while (auto line = child.readLine()) lines.push_back(*line);
        auto status = child.waitExit();
        ASSERT_TRUE(status && WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 1);
        EXPECT_EQ(lines, std::vector<std::string>{c.error});
    }
}

}  // namespace
