// The device-file layer: folders opened beneath the device root and every
// operation made by descriptor on one name.
#include "TestSupport.h"

#include <Foundation/NSPropertyList.h>
#include <platform/DeviceFiles.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::DeviceFolder;
using platform::NewFile;
using platform::Status;

namespace {

void writeFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A device root and, beside it, a folder outside it that nothing may touch.
class DeviceFiles : public ::testing::Test {
protected:
    DeviceFiles() {
        outside = root.path() + "-outside";
        fs::create_directories(outside);
        writeFile(outside + "/keep.txt", "outside");
        fs::create_directories(root.path() + "/in/sub");
        writeFile(root.path() + "/in/file.txt", "inside");
    }
    ~DeviceFiles() override { fs::remove_all(outside); }

    // Everything under the outside folder, names and contents.
    std::string outsideState() const {
        std::string out;
        for (auto& e : fs::recursive_directory_iterator(outside))
            out += e.path().string() + "=" + (e.is_regular_file() ? readFile(e.path().string()) : "") + "\n";
        return out;
    }

    test::TempRoot root;
    std::string outside;
};

}  // namespace

// Every operation refuses a folder that leads out of the root, whether by a
// relative or an absolute symlink on the way, and leaves the outside as it was.
TEST_F(DeviceFiles, AFolderThatLeadsOutIsRefusedByEveryOperation) {
    fs::create_symlink(outside, root.path() + "/in/absolute");
    fs::create_symlink("../../" + fs::path(outside).filename().string(), root.path() + "/in/relative");
    std::string before = outsideState();
    for (const char* link : {"absolute", "relative"}) {
        SCOPED_TRACE(link);
        std::string via = root.path() + "/in/" + link;
        DeviceFolder folder;
        Status s = DeviceFolder::open(via, folder);
        EXPECT_FALSE(s.ok());
        EXPECT_NE(s.message().find(via), std::string::npos) << s.message();
        EXPECT_FALSE(DeviceFolder::open(via + "/made", folder, true).ok());
        EXPECT_FALSE(platform::writeFileAtomically(via + "/keep.txt", "x", 1));
        EXPECT_EQ(platform::publishNewFile(via, [](const std::string&, int) { return true; },
                                           [](int n) { return n == 1 ? "new.txt" : ""; }),
                  "");
        EXPECT_EQ(platform::sweepTemporaries(via), 0u);
    }
    // An absolute symlink to a folder inside the root is the device's own.
    fs::create_symlink(root.path() + "/in/sub", root.path() + "/in/inside");
    DeviceFolder folder;
    ASSERT_TRUE(DeviceFolder::open(root.path() + "/in/inside", folder).ok());
    EXPECT_TRUE(folder.replaceWhole("made.txt", "ok", 2).ok());
    EXPECT_EQ(readFile(root.path() + "/in/sub/made.txt"), "ok");
    EXPECT_EQ(outsideState(), before);
}

// A symlink as the last name is never followed: not read, not descended,
// not written through; removing or replacing it touches only the link.
TEST_F(DeviceFiles, ASymlinkAsTheLastNameIsNeverFollowed) {
    fs::create_symlink(outside + "/keep.txt", root.path() + "/in/filelink");
    fs::create_symlink(outside, root.path() + "/in/folderlink");
    std::string before = outsideState();
    DeviceFolder in, sub;
    ASSERT_TRUE(DeviceFolder::open(root.path() + "/in", in).ok());
    int fd = -1;
    EXPECT_EQ(in.openRead("filelink", fd).code(), ELOOP);
    EXPECT_EQ(fd, -1);
    EXPECT_FALSE(in.openFolder("folderlink", sub).ok());
    // A tree holding a link to the outside goes, the outside stays.
    fs::create_symlink(outside, root.path() + "/in/sub/away");
    EXPECT_TRUE(in.removeTree("sub").ok());
    EXPECT_FALSE(fs::exists(root.path() + "/in/sub"));
    EXPECT_TRUE(in.removeTree("folderlink").ok());
    EXPECT_TRUE(in.removeFile("filelink").ok());
    // Replacing a link replaces the link, not its target.
    fs::create_symlink(outside + "/keep.txt", root.path() + "/in/replaced");
    EXPECT_TRUE(in.replaceWhole("replaced", "new", 3).ok());
    EXPECT_FALSE(fs::is_symlink(root.path() + "/in/replaced"));
    // A copy keeps a link as a link.
    fs::create_directories(root.path() + "/in/tree");
    fs::create_symlink(outside + "/keep.txt", root.path() + "/in/tree/link");
    writeFile(root.path() + "/in/tree/a.txt", "a");
    EXPECT_TRUE(in.copyTree("tree", in, "copy").ok());
    EXPECT_TRUE(fs::is_symlink(root.path() + "/in/copy/link"));
    EXPECT_EQ(readFile(root.path() + "/in/copy/a.txt"), "a");
    EXPECT_EQ(outsideState(), before);
}

// A FIFO (or a folder) in a file's place answers at once, without blocking.
TEST_F(DeviceFiles, AFifoIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((root.path() + "/in/pipe").c_str(), 0644), 0);
    DeviceFolder in;
    ASSERT_TRUE(DeviceFolder::open(root.path() + "/in", in).ok());
    auto start = std::chrono::steady_clock::now();
    int fd = -1;
    Status s = in.openRead("pipe", fd);
    EXPECT_EQ(s.code(), EINVAL);
    EXPECT_NE(s.message().find("/in/pipe"), std::string::npos);
    EXPECT_EQ(in.openRead("sub", fd).code(), EISDIR);
    EXPECT_FALSE(in.replaceWhole("pipe", "x", 1).ok());
    EXPECT_FALSE(in.replaceWhole("sub", "x", 1).ok());
    EXPECT_EQ(platform::openDeviceFile(root.path() + "/in/pipe"), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    struct stat st {};
    ASSERT_TRUE(in.statName("pipe", st).ok());
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Names are single components; a new file appears only whole and never
// replaces one that is there; a rename without replace keeps a taken name.
TEST_F(DeviceFiles, NewFilesAppearWholeUnderFreeNames) {
    DeviceFolder in;
    ASSERT_TRUE(DeviceFolder::open(root.path() + "/in", in).ok());
    for (const char* bad : {"", ".", "..", "sub/x", "../x"}) EXPECT_EQ(in.removeFile(bad).code(), EINVAL) << bad;
    NewFile file;
    ASSERT_TRUE(in.createFile(file).ok());
    ASSERT_EQ(::write(file.fd(), "data", 4), 4);
    // Nothing named while it is written.
    size_t entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(root.path() + "/in")) ++entries;
    EXPECT_EQ(entries, 2u);
    std::string taken;
    ASSERT_TRUE(file.publish([](int n) { return n == 1 ? std::string("file.txt") : "file " + std::to_string(n) + ".txt"; },
                             taken)
                    .ok());
    EXPECT_EQ(taken, "file 2.txt");
    EXPECT_EQ(readFile(root.path() + "/in/file.txt"), "inside");
    EXPECT_EQ(readFile(root.path() + "/in/file 2.txt"), "data");
    EXPECT_EQ(in.rename("file 2.txt", in, "file.txt", false).code(), EEXIST);
    EXPECT_EQ(readFile(root.path() + "/in/file.txt"), "inside");
    EXPECT_TRUE(in.rename("file 2.txt", in, "file.txt", true).ok());
    EXPECT_EQ(readFile(root.path() + "/in/file.txt"), "data");
}

// A writer ended in the middle of its write leaves no name behind; a
// temporary name of ours left by a writer that died goes at the sweep, one
// whose writer still holds it stays.
TEST_F(DeviceFiles, AnInterruptedWriteLeavesNothingAfterTheSweep) {
    std::string folder = root.path() + "/in/sub";
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DeviceFolder sub;
        NewFile file;
        if (!DeviceFolder::open(folder, sub).ok() || !sub.createFile(file).ok()) ::_exit(1);
        std::string chunk(1 << 20, 'x');
        for (;;)
            if (::write(file.fd(), chunk.data(), chunk.size()) < 0) ::_exit(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    writeFile(folder + "/.new-abcdef", "left by a writer that died");
    writeFile(folder + "/.new-kept", "not ours");
    int held = ::open((folder + "/.new-123456").c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    EXPECT_EQ(platform::sweepTemporaries(folder), 1u);
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".new-123456", ".new-kept"}));
    ::close(held);
}

// Another process swaps a folder on the way for a symlink to the outside and
// back, as fast as it can: files written, published and removed there,
// hundreds of times, never create, change or remove anything outside.
TEST_F(DeviceFiles, AFolderSwappedForALinkOutsideNeverLeadsOut) {
    writeFile(outside + "/work/victim.txt", "outside");
    std::string before = outsideState();
    std::string in = root.path() + "/in";
    pid_t swapper = ::fork();
    ASSERT_GE(swapper, 0);
    if (swapper == 0) {
        std::string work = in + "/work", link = in + "/work.link", real = in + "/work.real";
        for (;;) {
            ::symlink((outside + "/work").c_str(), link.c_str());
            ::mkdir(real.c_str(), 0755);
            ::rename(real.c_str(), work.c_str());   // a folder of the device
            ::rename(work.c_str(), real.c_str());
            ::rename(link.c_str(), work.c_str());   // a link out of the root
            ::rename(work.c_str(), link.c_str());
        }
    }
    DeviceFolder parent;
    ASSERT_TRUE(DeviceFolder::open(in, parent).ok());
    for (int i = 0; i < 300; ++i) {
        DeviceFolder work;
        if (DeviceFolder::open(in + "/work", work).ok()) {
            work.replaceWhole("victim.txt", "device", 6);
            platform::publishNewFile(work.path(), [](const std::string&, int fd) { return ::write(fd, "x", 1) == 1; },
                                     [](int n) { return n == 1 ? std::string("new.txt") : ""; });
            work.removeTree("victim.txt");
        }
        platform::writeFileAtomically(in + "/work/victim.txt", "device", 6);
        parent.removeTree("work");
    }
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    EXPECT_EQ(outsideState(), before);
}
