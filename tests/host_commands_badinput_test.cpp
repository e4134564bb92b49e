// The Music host given what a careless or hostile user gives it: numbers
// out of range, places it cannot write, titles that would forge output
// lines, a stale swipe, files that are no pictures, a file-size limit,
// SIGTERM while it waits or works. Each gives a clear result and a failing
// status; nothing crashes or hangs.
#include <gtest/gtest.h>

#include "MediaLibraryFixture.h"
#include "ProcessSupport.h"
#include <MediaLibraryGenerator.h>

#include <platform/DeviceRoot.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

using testsupport::binPath;
using testsupport::Child;
using testsupport::TempDir;

namespace {

namespace fs = std::filesystem;

class HostBadInput : public ::testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        platform::setDeviceRoot(root.path());
        ASSERT_TRUE(fixture::writeLibrary());
    }

    // Runs the host in `start` on a script with its standard streams
    // redirected as the shell's `redirect` says (stderr merged by default);
    // its output lines and exit code.
    std::vector<std::string> run(const std::string& script, int& exitCode, const std::string& options = "--no-inject",
                                 const std::string& redirect = "2>&1") {
        std::ofstream(start.path() + "/script") << script;
        Child child({"/bin/sh", "-c",
                     "cd '" + start.path() + "' && exec " + binPath("Music") + " --root '" + root.path() +
                         "' --script script " + options + " " + redirect});
        std::vector<std::string> lines;
        while (auto line = child.readLine()) lines.push_back(*line);
        auto status = child.waitExit();
        exitCode = status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
        return lines;
    }

    // Sends SIGTERM: the host ends within `seconds` with the status for it,
    // and leaves the lock free for another host of the root.
    void expectEndedBySigterm(Child& host, double seconds, const char* otherwise) {
        ASSERT_EQ(kill(host.pid(), SIGTERM), 0);
        auto status = host.waitExit(seconds);
        ASSERT_TRUE(status) << otherwise;
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 143);
        EXPECT_EQ(WEXITSTATUS(testsupport::runProgram({binPath("Music"), "--root", root.path(), "--no-inject"})), 0);
    }

    TempDir root{"badinput-root"};
    TempDir start{"badinput-start"};
};

TEST_F(HostBadInput, NumbersOutOfRangeAreCalledWhatTheyAre) {
    struct Case {
        const char* script;
        const char* error;
    };
    const Case cases[] = {
        {"rows 9223372036854775808 1", "rows: FIRST 9223372036854775808 is too large (at most 9223372036854775807)"},
        {"rows 0 -3", "rows: COUNT -3 is negative"},
        {"rows 0 x", "rows: COUNT must be a whole number, not 'x'"},
        {"entry 99999999999999999999 0",
         "entry: SECTION 99999999999999999999 is too large (at most 9223372036854775807)"},
        {"swipe 0 -1", "swipe: ROW -1 is negative"},
        {"tap 99999999999999999999", "tap: TAG 99999999999999999999 is too large (at most 9223372036854775807)"},
        {"run 1e9", "run: SECONDS 1e9 is too large (at most 86400)"},
        {"run nan", "run: SECONDS must be a number, not 'nan'"},
        {"icon 2 x.png -2147483649", "icon: SUBTAG -2147483649 is too small (at least -2147483648)"},
        {"open album 0x10", "open: ID must be a whole number, not '0x10'"},
        {"open album 18446744073709551616", "open: ID 18446744073709551616 is too large (at most 18446744073709551615)"},
        {"open album -9223372036854775809",
         "open: ID -9223372036854775809 is too small (at least -9223372036854775808)"},
        // An id is named as it was typed.
        {"open album -5", "open: no album with id -5"},
        {"open album 007", "open: no album with id 007"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        int code = -1;
        auto lines = run(std::string(c.script) + "\n", code);
        EXPECT_EQ(code, 1);
        EXPECT_EQ(lines, std::vector<std::string>{c.error});
    }
    // The largest COUNT is no overflow: every row from the first on.
    int code = -1;
    auto all = run("open songs\nrows 0 1000\n", code);
    auto rest = run("open songs\nrows 1 9223372036854775807\n", code);
    EXPECT_EQ(code, 0);
    ASSERT_GT(all.size(), 1u);
    EXPECT_EQ(rest, std::vector<std::string>(all.begin() + 1, all.end()));
}

TEST_F(HostBadInput, PlacesItCannotUseFailWithTheReason) {
    fs::create_directories(start.path() + "/folder");
    std::ofstream(start.path() + "/old.png") << "the picture before";
    struct Case {
        const char* what;
        std::string script;
        std::string options;
        std::string redirect;
        int code;
        std::string error;
    };
    const Case cases[] = {
        {"a file as the device root", "", "--no-inject --root old.png", "2>&1", 2,
         "Music: cannot use device root 'old.png': Not a directory"},
        {"a folder as the script", "", "--no-inject --script folder", "2>&1", 2,
         "Music: cannot read script 'folder': Is a directory"},
        {"standard output that cannot be written", "open genres\nrows\n", "--no-inject", "2>&1 >/dev/full", 1,
         "Music: cannot write to standard output: No space left on device"},
        {"a snapshot onto a folder", "snapshot folder\n", "--no-inject", "2>&1", 1,
         "snapshot: cannot write folder: Is a directory"},
        {"a snapshot into a missing folder", "snapshot missing/shot.png\n", "--no-inject", "2>&1", 1,
         "snapshot: cannot write missing/shot.png: No such file or directory"},
        {"a snapshot onto a device", "snapshot /dev/null\n", "--no-inject", "2>&1", 1,
         "snapshot: cannot write /dev/null: not a regular file"},
        {"a snapshot beyond the surface limit", "snapshot old.png\n", "--no-inject --screen 8200x100@2", "2>&1", 1,
         "snapshot: cannot write old.png: the picture would be 16400x200 pixels, more than the drawing surface's "
         "16384 a side"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int code = -1;
        auto lines = run(c.script, code, c.options, c.redirect);
        EXPECT_EQ(code, c.code);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), c.error);
    }
    // The refused snapshot left the file it would have replaced, and no
    // half-written one beside it.
    std::ifstream in(start.path() + "/old.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the picture before");
    EXPECT_EQ(std::distance(fs::directory_iterator(start.path()), fs::directory_iterator()), 3);  // script too
}

TEST_F(HostBadInput, ControlCharactersInTitlesCannotForgeLines) {
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "UPDATE item SET title = item_pid || char(10) || '0 0 forged' || char(9) || char(27) "
                               "|| '\\' || char(13)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const std::string escaped = "\\n0 0 forged\\t\\x1b\\\\\\r";
    int code = -1;
    auto lines = run("open songs\nrows\n", code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(lines.size(), fixture::songs().size());
    for (const std::string& line : lines) EXPECT_EQ(line.substr(line.size() - escaped.size()), escaped) << line;

    auto entry = run("open songs\nentry 0 0\n", code, "");  // the library makes the record
    auto title = std::find_if(entry.begin(), entry.end(),
                              [](const std::string& l) { return l.rfind("mediaItem.title=", 0) == 0; });
    ASSERT_NE(title, entry.end());
    EXPECT_EQ(title->substr(title->size() - escaped.size()), escaped);
    EXPECT_EQ(std::next(title)->rfind("mediaItemCollection.persistentID=", 0), 0u);
}

TEST_F(HostBadInput, FilesThatAreNoPicturesAreNamedWithTheReasonAndTheHostGoesOn) {
    std::string bundle = root.path() + "/Library/Application Support/Cantrel/Cantrel.bundle";
    fs::create_directories(bundle);
    fs::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle);
    fs::create_directories(start.path() + "/folder.png");
    ASSERT_EQ(mkfifo((start.path() + "/pipe.png").c_str(), 0600), 0);
    std::ofstream(start.path() + "/notes.png") << "no picture";
    // One byte past 50 MB, taking no room on the disk.
    fs::resize_file((std::ofstream(start.path() + "/huge.png"), start.path() + "/huge.png"), 50 * 1024 * 1024 + 1);
    const std::string picture = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";
    const char* files[] = {"folder.png", "/dev/zero", "pipe.png", "huge.png", "notes.png", "missing.png"};
    const char* reasons[] = {"Is a directory", "not a regular file", "not a regular file", "larger than 50 MB",
                             "not a PNG or JPEG picture of at most 40 megapixels", "No such file or directory"};
    std::string script = "open album 202\nswipe 0 0\ntap 2\n";
    for (const char* f : files) script += "pickimage " + std::string(f) + "\n";
    script += "artwork\nmenu Browse Photo library\n";
    for (const char* f : files) script += "photo " + std::string(f) + "\n";
    script += "photo " + picture + "\n";
    int code = -1;
    auto lines = run(script, code, "");
    EXPECT_EQ(code, 1);
    std::vector<std::string> errors, expected;
    for (const std::string& l : lines)
        if (l.find("cannot read a picture") != std::string::npos) errors.push_back(l);
    for (const char* command : {"pickimage", "photo"})
        for (size_t i = 0; i < std::size(files); ++i)
            expected.push_back(std::string(command) + ": cannot read a picture from '" + files[i] + "': " + reasons[i]);
    EXPECT_EQ(errors, expected);
    // After all of them the picker still takes a picture, and the sheet
    // comes back.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "screen sheet");
}

TEST_F(HostBadInput, ASnapshotPastTheFileSizeLimitFailsAndLeavesNoFile) {
    std::ofstream(start.path() + "/script") << "open genres\nsnapshot shot.png\nrows 0 1\n";
    // 20 blocks of 1 KB: far less than a picture of the screen. A build
    // instrumented for coverage writes its counts at exit under the same
    // limit, cut short: they go to a folder of their own, not over the
    // counts the other tests wrote, and the complaints about them nowhere.
    TempDir counts("counts");
    Child child({"/bin/sh", "-c",
                 "ulimit -f 20 && cd '" + start.path() + "' && GCOV_PREFIX='" + counts.path() +
                     "' GCOV_ERROR_FILE=/dev/null exec " + binPath("Music") + " --root '" + root.path() +
                     "' --script script --no-inject 2>&1"});
    std::vector<std::string> out;
    while (auto line = child.readLine()) out.push_back(*line);
    auto status = child.waitExit();
    ASSERT_TRUE(status);
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    EXPECT_EQ(out, (std::vector<std::string>{"snapshot: cannot write shot.png: File too large", "0 0 Alternative"}));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(start.path())) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"script"}) << "no picture, no temporary file";
}

TEST_F(HostBadInput, SigtermDuringALongCommandEndsTheHostAtOnce) {
    // 20,000 songs: printing every row takes seconds.
    std::string error;
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {20000, 1}, &error)) << error;
    Child host({binPath("Music"), "--root", root.path(), "--no-inject"}, true);
    ASSERT_TRUE(host.writeLine("open songs"));
    ASSERT_TRUE(host.writeLine("rows 0 1"));
    ASSERT_TRUE(host.readLine(60).has_value());  // up, and waiting for the next line
    ASSERT_TRUE(host.writeLine("rows 0 20000"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(host.running());
    expectEndedBySigterm(host, 2, "still printing rows");
}

TEST_F(HostBadInput, SigtermWhileWaitingForInputEndsTheHostAtOnce) {
    Child host({binPath("Music"), "--root", root.path(), "--no-inject"}, true);
    ASSERT_TRUE(host.writeLine("open genres"));
    ASSERT_TRUE(host.writeLine("rows 0 1"));
    ASSERT_EQ(host.readLine(), "0 0 Alternative");  // up, and waiting for the next line
    expectEndedBySigterm(host, 10, "still waiting for input");
}

}  // namespace
