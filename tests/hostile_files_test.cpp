// Hostile files on the device: preference files nested without end or too
// large, pictures that claim gigapixels, FIFOs where files belong, and
// symlinks that lead out of the device root. Nothing crashes, hangs or
// takes memory without bound, and nothing outside the root is read, written
// or truncated.
#include <gtest/gtest.h>

#include "Cantrel.h"
#include "MediaLibraryGenerator.h"
#include "ProcessSupport.h"
#include "TestSupport.h"

#include <CoreFoundation/CFNotificationCenter.h>
#include <Foundation/Foundation.h>
#include <Foundation/NSPropertyList.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>
#include <platform/Log.h>
#include <platform/System.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

const char kPrefsPath[] = "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";

std::string readAll(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::string& hostPath, const std::string& bytes) {
    fs::create_directories(fs::path(hostPath).parent_path());
    std::ofstream(hostPath, std::ios::binary | std::ios::trunc) << bytes;
}

// A reader stuck on a FIFO is freed after a while by opening its other end,
// so that a test that would hang fails instead; `rescued` says it had to.
class FifoRescue {
public:
    explicit FifoRescue(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            for (int i = 0; i < 1000 && !done_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            while (!done_) {
                struct stat st;
                int fd = ::stat(path_.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)
                             ? ::open(path_.c_str(), O_WRONLY | O_NONBLOCK)
                             : -1;
                if (fd >= 0) {
                    rescued_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~FifoRescue() { finish(); }
    bool finish() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        return rescued_;
    }

private:
    std::string path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> rescued_{false};
    std::thread thread_;
};

// ---------------------------------------------------------------------------
// Property lists written by hand.

std::string xmlPrefs(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "<key>is_enabled</key><false/>\n" +
           body + "</dict>\n</plist>\n";
}

// `depth` arrays, one inside the other, under the key "junk".
std::string xmlNested(size_t depth) {
    std::string s = "<key>junk</key>";
    s.reserve(depth * 16);
    for (size_t i = 0; i < depth; ++i) s += "<array>";
    for (size_t i = 0; i < depth; ++i) s += "</array>";
    return xmlPrefs(s + "\n");
}

// A binary property list of a root dictionary {is_enabled: NO, junk: J},
// the objects of J made by `junk` (given the index of its first object and
// answering the objects, J first). References and offsets are 4 bytes.
std::string binaryPrefs(const std::function<std::vector<std::string>(uint32_t first)>& junk) {
    auto ref = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    std::vector<std::string> objects = {"\xD2" + ref(1) + ref(2) + ref(3) + ref(4), "\x5Ais_enabled", "\x54junk",
                                        std::string(1, '\x08')};
    for (std::string& o : junk(4)) objects.push_back(std::move(o));
    std::string out = "bplist00";
    std::string table;
    for (const std::string& o : objects) {
        table += ref(static_cast<uint32_t>(out.size()));
        out += o;
    }
    uint64_t tableAt = out.size();
    out += table;
    std::string trailer(6, '\0');
    trailer += '\x04';
    trailer += '\x04';
    auto be64 = [&](uint64_t v) { return std::string(4, '\0') + ref(static_cast<uint32_t>(v)); };
    trailer += be64(objects.size()) + be64(0) + be64(tableAt);
    return out + trailer;
}

// A chain of `depth` one-element arrays ending in an empty one.
std::string binaryNested(uint32_t depth) {
    return binaryPrefs([depth](uint32_t first) {
        std::vector<std::string> chain;
        for (uint32_t i = 0; i < depth; ++i) {
            uint32_t next = first + i + 1;
            chain.push_back(std::string("\xA1") + static_cast<char>(next >> 24) + static_cast<char>(next >> 16) +
                            static_cast<char>(next >> 8) + static_cast<char>(next));
        }
        chain.push_back(std::string(1, '\xA0'));
        return chain;
    });
}

// `levels` arrays each holding the next one twice: 2^levels leaves once
// every reference is copied.
std::string binaryExpanding(uint32_t levels) {
    return binaryPrefs([levels](uint32_t first) {
        std::vector<std::string> chain;
        for (uint32_t i = 0; i < levels; ++i) {
            uint32_t n = first + i + 1;
            std::string r{static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                          static_cast<char>(n)};
            chain.push_back("\xA2" + r + r);
        }
        chain.push_back(std::string(1, '\x09'));
        return chain;
    });
}

// ---------------------------------------------------------------------------
// Pictures written by hand.

// A JPEG of one grey, written a row at a time.
std::string greyJPEG(unsigned width, unsigned height) {
    jpeg_compress_struct c{};
    jpeg_error_mgr e{};
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 20, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(width, 128);
    JSAMPROW rows[1] = {row.data()};
    while (c.next_scanline < c.image_height) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

// A small JPEG whose frame header claims width x height.
std::string claimingJPEG(uint16_t width, uint16_t height) {
    std::string bytes = greyJPEG(16, 16);
    size_t sof = bytes.find("\xFF\xC0");
    bytes[sof + 5] = static_cast<char>(height >> 8);
    bytes[sof + 6] = static_cast<char>(height);
    bytes[sof + 7] = static_cast<char>(width >> 8);
    bytes[sof + 8] = static_cast<char>(width);
    return bytes;
}

// A black one-bit PNG of that size.
std::string blackPNG(uint32_t width, uint32_t height) {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        std::string body = type + data;
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        return be32(static_cast<uint32_t>(data.size())) + body + be32(static_cast<uint32_t>(crc));
    };
    std::string raw(static_cast<size_t>(height) * (1 + (width + 7) / 8), '\0');
    uLongf packedSize = compressBound(raw.size());
    std::string packed(packedSize, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
             raw.size());
    packed.resize(packedSize);
    std::string header = be32(width) + be32(height) + std::string("\x01\0\0\0\0", 5);  // one-bit grey
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", packed) + chunk("IEND", "");
}

// ---------------------------------------------------------------------------

class HostileFiles : public ::testing::Test {
public:
    void SetUp() override {
        platform::registerMusicApp();
        platform::setMainScreen(CGSizeMake(320, 480), 2);
        // Start-up subscribes the library to the settings' change
        // notification; each load below is a reload on that notification.
        static bool started = [] {
            CantrelInitialize();
            return true;
        }();
        (void)started;
    }
    void TearDown() override { LOGGER_ON = NO; }

    std::string host(const std::string& devicePath) const { return root.path() + devicePath; }
    bool isEnabledAfterLoad() {
        AutoreleasePool pool;
        test::postSettingsChanged();
        return is_enabled.load();
    }

    test::TempRoot root;
    testsupport::TempDir outside{"outside"};
};

// Every preference file below holds is_enabled NO; the flag says whether it
// was read (NO) or refused with the defaults (YES).
TEST_F(HostileFiles, PreferenceFilesAreReadOnlyWhenSafe) {
    struct Case {
        const char* name;
        std::function<void(HostileFiles&)> make;
        bool read;
    };
    const std::string prefs = host(kPrefsPath);
    const std::string safe = xmlPrefs("");
    const Case cases[] = {
        {"xml nested 200,000 deep", [&](HostileFiles&) { writeAll(prefs, xmlNested(200000)); }, false},
        {"binary nested 100,000 deep", [&](HostileFiles&) { writeAll(prefs, binaryNested(100000)); }, false},
        {"xml nested 400 deep under another key", [&](HostileFiles&) { writeAll(prefs, xmlNested(400)); }, true},
        {"binary nested 400 deep under another key", [&](HostileFiles&) { writeAll(prefs, binaryNested(400)); }, true},
        {"binary sharing one object 2^40 times", [&](HostileFiles&) { writeAll(prefs, binaryExpanding(40)); }, false},
        {"binary sharing one object 2^4 times", [&](HostileFiles&) { writeAll(prefs, binaryExpanding(4)); }, true},
        {"xml over 1 MB",
         [&](HostileFiles&) {
             writeAll(prefs, xmlPrefs("<key>padding</key><string>" + std::string(1100000, 'x') + "</string>\n"));
         },
         false},
        {"xml of 900 KB",
         [&](HostileFiles&) {
             writeAll(prefs, xmlPrefs("<key>padding</key><string>" + std::string(900000, 'x') + "</string>\n"));
         },
         true},
        {"xml of 20,000 keys",
         [&](HostileFiles&) {
             std::string keys;
             for (int i = 0; i < 20000; ++i) keys += "<key>key" + std::to_string(i) + "</key><true/>\n";
             writeAll(prefs, xmlPrefs(keys));
         },
         true},
        {"a FIFO",
         [&](HostileFiles&) {
             fs::create_directories(fs::path(prefs).parent_path());
             ASSERT_EQ(mkfifo(prefs.c_str(), 0644), 0);
         },
         false},
        {"a symlink to a file outside the root",
         [&](HostileFiles& t) {
             writeAll(t.outside.path() + "/prefs.plist", safe);
             fs::create_directories(fs::path(prefs).parent_path());
             fs::create_symlink(t.outside.path() + "/prefs.plist", prefs);
         },
         false},
        {"in a folder that is a symlink out of the root",
         [&](HostileFiles& t) {
             writeAll(t.outside.path() + "/Preferences/com.brevank.Cantrel.plist", safe);
             fs::create_directories(fs::path(prefs).parent_path().parent_path());
             fs::create_directory_symlink(t.outside.path() + "/Preferences", fs::path(prefs).parent_path());
         },
         false},
        {"a symlink to a file inside the root",
         [&](HostileFiles& t) {
             writeAll(t.root.path() + "/var/mobile/kept.plist", safe);
             fs::create_directories(fs::path(prefs).parent_path());
             fs::create_symlink("../../kept.plist", prefs);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root.path() + "/var");
        fs::remove_all(outside.path() + "/Preferences");
        c.make(*this);
        FifoRescue rescue(prefs);
        EXPECT_EQ(isEnabledAfterLoad(), !c.read);
        EXPECT_FALSE(rescue.finish()) << "the load hung on the FIFO";
    }
}

TEST_F(HostileFiles, AnUnreadablePreferenceFileIsLoggedOnceWhenLoggingIsOn) {
    writeAll(host(kPrefsPath), "<plist><dict><key>is_enabled</key>");
    auto mentions = [] {
        size_t n = 0;
        for (const std::string& line : platform::recentLogLines())
            n += line.find("com.brevank.Cantrel.plist") != std::string::npos;
        return n;
    };
    platform::clearRecentLogLines();
    EXPECT_TRUE(isEnabledAfterLoad());
    EXPECT_EQ(mentions(), 0u);  // logging is off

    LOGGER_ON = YES;
    for (int reload = 0; reload < 3; ++reload) EXPECT_TRUE(isEnabledAfterLoad());
    EXPECT_EQ(mentions(), 1u);

    // Read again, then damaged again: named again, once.
    writeAll(host(kPrefsPath), xmlPrefs(""));
    EXPECT_FALSE(isEnabledAfterLoad());
    writeAll(host(kPrefsPath), "bplist00");
    for (int reload = 0; reload < 3; ++reload) EXPECT_TRUE(isEnabledAfterLoad());
    EXPECT_EQ(mentions(), 2u);
}

// Pictures of files: refused from the header over 40 megapixels, and never
// waited for or followed out of the root.
TEST_F(HostileFiles, PicturesAreRefusedWhenTooLargeOrNotPlainFilesInTheRoot) {
    struct Case {
        const char* name;
        std::function<void(HostileFiles&, const std::string&)> make;
        int width;  // 0: no picture
    };
    const Case cases[] = {
        {"a 5 KB JPEG claiming 30000 x 30000",
         [](HostileFiles&, const std::string& p) { writeAll(p, claimingJPEG(30000, 30000)); }, 0},
        {"a JPEG of 7000 x 7000 (49 megapixels)",
         [](HostileFiles&, const std::string& p) { writeAll(p, greyJPEG(7000, 7000)); }, 0},
        {"a PNG of 7000 x 7000 (49 megapixels)",
         [](HostileFiles&, const std::string& p) { writeAll(p, blackPNG(7000, 7000)); }, 0},
        {"a PNG of 40 x 30", [](HostileFiles&, const std::string& p) { writeAll(p, blackPNG(40, 30)); }, 40},
        {"a FIFO",
         [](HostileFiles&, const std::string& p) {
             fs::create_directories(fs::path(p).parent_path());
             ASSERT_EQ(mkfifo(p.c_str(), 0644), 0);
         },
         0},
        {"a symlink to a picture outside the root",
         [](HostileFiles& t, const std::string& p) {
             writeAll(t.outside.path() + "/out.jpg", greyJPEG(24, 24));
             fs::create_directories(fs::path(p).parent_path());
             fs::create_symlink(t.outside.path() + "/out.jpg", p);
         },
         0},
        {"a symlink to a picture inside the root",
         [](HostileFiles& t, const std::string& p) {
             writeAll(t.root.path() + "/in.jpg", greyJPEG(24, 24));
             fs::create_directories(fs::path(p).parent_path());
             fs::create_symlink(t.root.path() + "/in.jpg", p);
         },
         24},
    };
    const std::string device = "/var/mobile/Media/picture.jpg";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AutoreleasePool pool;
        fs::remove(host(device));
        c.make(*this, host(device));
        FifoRescue rescue(host(device));
        auto* image = static_cast<UIImage*>(
            objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, NSString::make(device)));
        EXPECT_FALSE(rescue.finish()) << "the read hung on the FIFO";
        EXPECT_EQ(image ? image->pixelWidth() : 0, c.width);
    }
}

// A JPEG is decoded only as large as the size it is shown at needs: just
// covering the size on the main screen (scale 2).
TEST_F(HostileFiles, PicturesShownSmallAreDecodedSmall) {
    struct Case {
        unsigned side;    // of the JPEG
        double shown;     // points
        int decoded;      // pixels a side
    };
    const Case cases[] = {
        {6000, 60, 120},  // 36 megapixels, under the limit
        {600, 60, 120},
        {300, 80, 160},
        {100, 60, 100},   // smaller than shown: whole
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.side) + " shown at " + std::to_string(c.shown));
        AutoreleasePool pool;
        writeAll(host("/p.jpg"), greyJPEG(c.side, c.side));
        auto* image = static_cast<UIImage*>(objc_msgSend<id(id, CGSize)>(
            UIImage::cls(), "_imageWithContentsOfFile:fittingSize:"_sel, "/p.jpg"_ns, CGSizeMake(c.shown, c.shown)));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixelWidth(), c.decoded);
        EXPECT_EQ(image->pixelHeight(), c.decoded);
    }
}

// The library's artwork: FIFOs and symlinks out of the root give no
// picture, and a list cell's picture is decoded at the cell's size.
TEST_F(HostileFiles, ArtworkFilesOfTheLibrary) {
    std::string error;
    platform::GenerateOptions options;
    options.songs = 12;
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), options, &error)) << error;
    std::vector<std::string> artwork;
    for (const auto& e : fs::recursive_directory_iterator(host(platform::artworkFolderDevicePath())))
        if (e.is_regular_file()) artwork.push_back(e.path().string());
    ASSERT_GE(artwork.size(), 2u);

    auto pictures = [](CGSize size) {
        AutoreleasePool pool;
        std::vector<int> widths;
        id items = objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel);
        for (id item : *static_cast<NSArray*>(items)) {
            id art = objc_msgSend<id()>(item, "artwork"_sel);
            if (art == nullptr) continue;
            auto* image = static_cast<UIImage*>(objc_msgSend<id(CGSize)>(art, "imageWithSize:"_sel, size));
            widths.push_back(image ? image->pixelWidth() : 0);
        }
        return widths;
    };
    // The generated pictures are 300 and 600 pixels a side; a 60-point cell
    // at scale 2 needs 120, and each is decoded just that large.
    std::vector<int> cell = pictures(CGSizeMake(60, 60));
    ASSERT_FALSE(cell.empty());
    for (int w : cell) EXPECT_EQ(w, 120);

    // Every other artwork file a FIFO, the rest symlinks out of the root.
    writeAll(outside.path() + "/a.jpg", greyJPEG(24, 24));
    for (size_t i = 0; i < artwork.size(); ++i) {
        fs::remove(artwork[i]);
        if (i % 2 == 0) ASSERT_EQ(mkfifo(artwork[i].c_str(), 0644), 0);
        else fs::create_symlink(outside.path() + "/a.jpg", artwork[i]);
    }
    FifoRescue rescue(artwork[0]);
    std::vector<int> widths = pictures(CGSizeMake(60, 60));
    EXPECT_FALSE(rescue.finish()) << "the artwork hung on the FIFO";
    // (An item whose artwork file leads out of the root has no artwork.)
    EXPECT_EQ(std::count(widths.begin(), widths.end(), 0), static_cast<long>(widths.size()));
}

// The platform's own files: a symlinked .platform or lock file is refused,
// and what it points to is left as it was.
TEST_F(HostileFiles, PlatformFilesAreNeverReachedThroughSymlinks) {
    struct Case {
        const char* name;
        std::function<void(HostileFiles&)> make;
    };
    const std::string precious = "precious\n";
    const Case cases[] = {
        {".platform a symlink out of the root",
         [](HostileFiles& t) { fs::create_directory_symlink(t.outside.path(), t.root.path() + "/.platform"); }},
        {".platform a symlink to a folder in the root",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/elsewhere");
             fs::create_directory_symlink(t.root.path() + "/elsewhere", t.root.path() + "/.platform");
         }},
        {"the lock a symlink out of the root",
         [&](HostileFiles& t) {
             writeAll(t.outside.path() + "/file", precious);
             fs::create_directories(t.root.path() + "/.platform");
             fs::create_symlink(t.outside.path() + "/file", t.root.path() + "/.platform/Music.lock");
         }},
        {"the lock a symlink to a file in the root",
         [&](HostileFiles& t) {
             writeAll(t.root.path() + "/elsewhere/file", precious);
             fs::create_directories(t.root.path() + "/.platform");
             fs::create_symlink(t.root.path() + "/elsewhere/file", t.root.path() + "/.platform/Music.lock");
         }},
        {"the lock a FIFO",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/.platform");
             ASSERT_EQ(mkfifo((t.root.path() + "/.platform/Music.lock").c_str(), 0644), 0);
         }},
    };
    auto snapshot = [](const std::string& folder) {
        std::vector<std::pair<std::string, std::string>> files;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            files.emplace_back(e.path().string(), e.is_regular_file() ? readAll(e.path().string()) : "");
        std::sort(files.begin(), files.end());
        return files;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root.path() + "/.platform");
        fs::remove_all(root.path() + "/elsewhere");
        for (const auto& e : fs::directory_iterator(outside.path())) fs::remove_all(e.path());
        c.make(*this);
        auto outsideBefore = snapshot(outside.path());
        auto elsewhereBefore = fs::exists(root.path() + "/elsewhere") ? snapshot(root.path() + "/elsewhere")
                                                                      : decltype(snapshot(""))();
        {
            platform::MusicHostRegistration registration;
            EXPECT_FALSE(registration.ok());
            EXPECT_FALSE(registration.error().empty());
        }
        {
            FifoRescue rescue(root.path() + "/.platform/Music.lock");
            EXPECT_EQ(platform::system("killall -9 Music"), 1);  // no host runs here
            EXPECT_FALSE(rescue.finish()) << "killall hung on the FIFO";
        }
        EXPECT_EQ(snapshot(outside.path()), outsideBefore);
        if (!elsewhereBefore.empty()) {
            EXPECT_EQ(snapshot(root.path() + "/elsewhere"), elsewhereBefore);
        }
    }
    // Notification sockets are not made through a symlinked .platform.
    fs::remove_all(root.path() + "/.platform");
    fs::create_directory_symlink(outside.path(), root.path() + "/.platform");
    CFNotificationCenterAddObserver(
        CFNotificationCenterGetDarwinNotifyCenter(), this, [](CFNotificationCenterRef, void*, CFStringRef, const void*,
                                                              CFDictionaryRef) {},
        CFSTR("hostile.files"), nullptr, CFNotificationSuspensionBehaviorHold);
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), CFSTR("hostile.files"), nullptr,
                                         nullptr, true);
    EXPECT_TRUE(fs::is_empty(outside.path()));
    CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), this);
}

// Device paths resolve, symlinks included, inside the root or not at all.
TEST_F(HostileFiles, DevicePathsThroughSymlinksStayInTheRoot) {
    struct Case {
        const char* name;
        std::function<void(HostileFiles&)> make;
        const char* path;    // device path read and written
        const char* folder;  // device folder made
        bool allowed;
    };
    const Case cases[] = {
        {"a folder symlinked out of the root",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/var/mobile");
             fs::create_directory_symlink(t.outside.path(), t.root.path() + "/var/mobile/Library");
         },
         "/User/Library/file", "/User/Library/made", false},
        {"a dangling symlink out of the root",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/var/mobile/Library");
             fs::create_symlink(t.outside.path() + "/new", t.root.path() + "/var/mobile/Library/file");
         },
         "/var/mobile/Library/file", "/var/mobile/Library/file/made", false},
        {"a symlink to a symlink out of the root",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/var/mobile");
             fs::create_directory_symlink(t.outside.path(), t.root.path() + "/var/hop");
             fs::create_directory_symlink("../hop", t.root.path() + "/var/mobile/Library");
         },
         "/var/mobile/Library/file", "/var/mobile/Library/made", false},
        {"a folder symlinked inside the root",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/var/mobile");
             fs::create_directories(t.root.path() + "/kept");
             fs::create_directory_symlink("../../kept", t.root.path() + "/var/mobile/Library");
         },
         "/var/mobile/Library/file", "/var/mobile/Library/made", true},
        {"a folder symlinked inside the root by its host path",
         [](HostileFiles& t) {
             fs::create_directories(t.root.path() + "/var/mobile");
             fs::create_directories(t.root.path() + "/kept");
             fs::create_directory_symlink(t.root.path() + "/kept", t.root.path() + "/var/mobile/Library");
         },
         "/var/mobile/Library/file", "/var/mobile/Library/made", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AutoreleasePool pool;
        fs::remove_all(root.path() + "/var");
        fs::remove_all(root.path() + "/kept");
        for (const auto& e : fs::directory_iterator(outside.path())) fs::remove_all(e.path());
        c.make(*this);
        writeAll(outside.path() + "/file", "outside");
        id data = objc_msgSend<id(const void*, NSUInteger)>(NSData::cls(), "dataWithBytes:length:"_sel, "inside", 6);
        BOOL written = objc_msgSend<BOOL(id, BOOL)>(data, "writeToFile:atomically:"_sel, NSString::make(c.path), YES);
        EXPECT_EQ(written, c.allowed);
        EXPECT_EQ(platform::makeDeviceDirectories(c.folder), c.allowed);
        id read = objc_msgSend<id(id)>(NSData::cls(), "dataWithContentsOfFile:"_sel, NSString::make(c.path));
        EXPECT_EQ(read != nullptr, c.allowed);
        EXPECT_EQ(readAll(outside.path() + "/file"), "outside");
        EXPECT_FALSE(fs::exists(outside.path() + "/new"));
        EXPECT_FALSE(fs::exists(outside.path() + "/made"));
    }
}

// A root folder moved away and another made at its path: paths are checked
// against the folder the root names now, not the one it named before.
TEST_F(HostileFiles, ARootFolderReplacedIsCheckedAsItIsNow) {
    fs::create_directories(host("/var/mobile/Library"));
    ASSERT_EQ(platform::devicePath("/var/mobile/Library"), host("/var/mobile/Library"));
    fs::rename(root.path(), root.path() + ".moved");
    fs::create_directories(root.path());
    fs::create_directories(outside.path() + "/mobile/Library");
    fs::create_directory_symlink(outside.path(), host("/var"));
    EXPECT_EQ(platform::devicePath("/var/mobile/Library"), "");
    EXPECT_LT(platform::openDeviceFile(host("/var/mobile/Library")), 0);
    fs::remove_all(root.path() + ".moved");
}

// The tools: mklibrary writes nothing through a symlinked folder, and a root
// given as "a/../b" is the folder b for mklibrary and the Music host alike.
TEST_F(HostileFiles, ToolsStayInTheRoot) {
    const std::string music = root.path() + "/var/mobile/Media/iTunes_Control/Music";
    fs::create_directories(fs::path(music).parent_path());
    fs::create_directory_symlink(outside.path(), music);
    std::string error;
    platform::GenerateOptions options;
    options.songs = 5;
    EXPECT_FALSE(platform::generateMediaLibrary(root.path(), options, &error));
    EXPECT_NE(error.find(music), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(outside.path()));

    testsupport::TempDir start("start");
    std::string script = start.path() + "/script";
    writeAll(script, "quit\n");
    std::string before = fs::current_path().string();
    ASSERT_EQ(chdir(start.path().c_str()), 0);
    EXPECT_TRUE(platform::generateMediaLibrary("a/../b", options, &error)) << error;
    int status = testsupport::runProgram({testsupport::binPath("Music"), "--root", "c/../d", "--no-inject", "--script",
                                          script});
    int made = testsupport::runProgram({testsupport::binPath("mklibrary"), "--root", "e/../f", "--songs", "2"});
    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(start.path() + "/a"));
    EXPECT_TRUE(fs::exists(start.path() + "/b/var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb"));
    EXPECT_FALSE(fs::exists(start.path() + "/c"));
    EXPECT_TRUE(fs::is_directory(start.path() + "/d"));
    EXPECT_TRUE(WIFEXITED(made) && WEXITSTATUS(made) == 0) << made;
    EXPECT_FALSE(fs::exists(start.path() + "/e")) << "mklibrary made the folder e";
    EXPECT_TRUE(fs::exists(start.path() + "/f/var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb"));
    EXPECT_TRUE(fs::is_directory(start.path() + "/f/var/mobile/Library/Preferences"));
}

}  // namespace


namespace {

// A decoded property list as text: {key=value,...} with the keys sorted,
// (item,...), "string", YES/NO, numbers; nil for no object.
std::string show(id obj) {
    if (obj == nullptr) return "nil";
    if (objc_isKindOfClass(obj, NSDictionary::cls())) {
        std::vector<std::string> entries;
        for (const auto& e : static_cast<NSDictionary*>(obj)->entries())
            entries.push_back(static_cast<NSString*>(e.key.get())->str() + "=" + show(e.value.get()));
        std::sort(entries.begin(), entries.end());
        std::string out = "{";
        for (const std::string& e : entries) out += (out.size() > 1 ? "," : "") + e;
        return out + "}";
    }
    if (objc_isKindOfClass(obj, NSArray::cls())) {
        std::string out = "(";
        for (id item : *static_cast<NSArray*>(obj)) out += (out.size() > 1 ? "," : "") + show(item);
        return out + ")";
    }
    if (objc_isKindOfClass(obj, NSString::cls())) return "\"" + static_cast<NSString*>(obj)->str() + "\"";
    auto* n = static_cast<NSNumber*>(obj);
    if (n->kind() == NSNumber::Kind::Bool) return n->boolValue() ? "YES" : "NO";
    return std::to_string(n->longLongValue());
}

// XML property lists read as written: dictionaries at any place, comments,
// CDATA and a document type that mention tags, empty elements, and the
// malformed dictionaries that give nil.
TEST_F(HostileFiles, XmlPropertyListsReadAsWritten) {
    struct Case {
        const char* body;  // inside <plist>
        const char* read;
    };
    const Case cases[] = {
        {"<dict><key>a</key><array><dict><key>b</key><string>x</string></dict><dict/></array>"
         "<key>c</key><dict/></dict>",
         "{a=({b=\"x\"},{}),c={}}"},
        {"<dict><!-- <dict><key>z</key> --><key>a</key><string><![CDATA[<key>k</key><dict>]]></string></dict>",
         "{a=\"<key>k</key><dict>\"}"},
        {"<dict><key>a</key><string>&lt;dict&gt;</string><key>b</key><integer>-3</integer></dict>",
         "{a=\"<dict>\",b=-3}"},
        {"<dict><key>a</key><integer>1</integer><key>a</key><integer>2</integer></dict>", "{a=2}"},
        {"<array><string>a</string><string/><array/><false/></array>", "(\"a\",\"\",(),NO)"},
        {"<dict><key>a</key></dict>", "nil"},
        {"<dict><true/></dict>", "nil"},
        {"<dict><string>a</string><true/></dict>", "nil"},
        {"<dict><key>a</key><key>b</key><true/></dict>", "nil"},
        {"<array><key>a</key></array>", "nil"},
        {"<dict><key>a</key><array></dict></array>", "nil"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        AutoreleasePool pool;
        std::string xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                      "<!DOCTYPE plist [ <!ELEMENT a (b)> ]>\n<plist version=\"1.0\">") +
                          c.body + "</plist>\n";
        EXPECT_EQ(show(platform::decodePropertyList(xml)), c.read);
    }
}

}  // namespace
