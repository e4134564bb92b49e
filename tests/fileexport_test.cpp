// The export to files: safe names, never-overwritten copies, the archive read
// back by a reader that is not ours (Python's zipfile), and whole exports of a
// song, an album, an album artist and a playlist over the known library:
// their folders, the copies' tags, the badge's texts, the files left out.
#include "Cantrel.h"
#include "Classes.h"
#include "EditSheetSupport.h"
#include "ActivityViewCustomActivity.h"
#include "FileHandler.h"
#include "ItemEntry.h"
#include "Libs/ZipArchive/ZipArchive.h"
#include "MediaLibraryFixture.h"
#include "MessageView.h"
#include "TestSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIActivityViewController.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>
#include <platform/RunLoop.h>
#include <platform/Log.h>

#include <id3v2tag.h>
#include <mpegfile.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include <signal.h>
#include <sys/resource.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;
namespace ex = cantrel::exporting;

namespace {

const std::string kExports = "var/mobile/Media/general_storage/Cantrel";

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool validUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// Runs Python's zipfile over an archive: one line per entry
// "name|utf8flag|compress_type|size", then "testzip=None" when every CRC holds.
// Empty when Python is not there.
std::string pythonListing(const std::string& archive) {
    if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") != 0) return "";
    std::string script = fs::temp_directory_path() / ("zipcheck-" + std::to_string(getpid()) + ".py");
    writeFile(script,
              "import sys, zipfile\n"
              "z = zipfile.ZipFile(sys.argv[1])\n"
              "for i in z.infolist():\n"
              "    print('%s|%d|%d|%d' % (i.filename, (i.flag_bits >> 11) & 1, i.compress_type, i.file_size))\n"
              "print('count=%d' % len(z.infolist()))\n"
              "print('testzip=%s' % z.testzip())\n");
    std::string cmd = "python3 " + script + " '" + archive + "' 2>&1";  // an archive it cannot read says why
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    fs::remove(script);
    return out;
}

#define SKIP_WITHOUT_PYTHON(listing) \
    if ((listing).empty()) GTEST_SKIP() << "python3 with zipfile is not available"

class ExportFiles : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(root.host(kExports)); }
    test::TempRoot root;
    AutoreleasePool pool;
};

// One table for the name rules: removed characters, placeholders, a leading
// dot, the 255-byte cut on a character boundary.
TEST_F(ExportFiles, SafeComponentTable) {
    std::string cjk;
    for (int i = 0; i < 100; ++i) cjk += "東";  // 300 bytes
    std::string cut;
    for (int i = 0; i < 85; ++i) cut += "東";  // 255 bytes
    struct Case {
        std::string in, placeholder, out;
    } cases[] = {
        {"AC/DC", "Untitled", "ACDC"},
        {"Who? What: 100% *real* <yes> | \"no\" \\", "Untitled", "Who What: 100 real yes  no "},
        {"", "Unknown Album", "Unknown Album"},
        {"/?*", "Unknown Artist", "Unknown Artist"},
        {".", "Untitled", "Untitled"},
        {"..", "Untitled", "Untitled"},
        {"../up", "Untitled", "_.up"},
        {".hidden", "Untitled", "_hidden"},
        {"tab\tand\x01" "control\x7f", "Untitled", "tabandcontrol"},
        {"Été 🎧", "Untitled", "Été 🎧"},
        {cjk, "Untitled", cut},
    };
    for (const Case& c : cases) EXPECT_EQ(ex::safeComponent(c.in, c.placeholder), c.out) << c.in;
    // Room kept for a suffix: still whole characters.
    std::string reserved = ex::safeComponent(cjk, "Untitled", 8);
    EXPECT_LE(reserved.size(), 247u);
    EXPECT_TRUE(validUtf8(reserved));
}

// Copies never overwrite: a taken name gets " (2)", " (3)"; a long name with
// its suffix and extension stays within 255 bytes; an unreadable source and a
// folder outside the export folder copy nothing and leave no file.
TEST_F(ExportFiles, CopiesClaimFreeNames) {
    writeFile(root.host("var/mobile/Media/Music/a.mp3"), "first");
    writeFile(root.host("var/mobile/Media/Music/b.mp3"), "second");
    std::string why;
    EXPECT_EQ(ex::copyInto(kExports, "Song", "var/mobile/Media/Music/a.mp3"), kExports + "/Song.mp3");
    EXPECT_EQ(ex::copyInto(kExports, "Song", "var/mobile/Media/Music/b.mp3"), kExports + "/Song (2).mp3");
    EXPECT_EQ(ex::copyInto(kExports, "Song", "var/mobile/Media/Music/a.mp3"), kExports + "/Song (3).mp3");
    EXPECT_EQ(readFile(root.host(kExports + "/Song.mp3")), "first");
    EXPECT_EQ(readFile(root.host(kExports + "/Song (2).mp3")), "second");
    EXPECT_EQ(ex::copyInto(kExports, "a/b: c?", "var/mobile/Media/Music/a.mp3"), kExports + "/ab: c.mp3");
    EXPECT_EQ(ex::copyInto(kExports, "", "var/mobile/Media/Music/a.mp3"), kExports + "/Untitled.mp3");

    std::string cjk;
    for (int i = 0; i < 100; ++i) cjk += "東";
    for (int round = 0; round < 2; ++round) {
        std::string copy = ex::copyInto(kExports, cjk, "var/mobile/Media/Music/a.mp3");
        ASSERT_FALSE(copy.empty());
        std::string name = fs::path(copy).filename().string();
        EXPECT_LE(name.size(), 255u) << name;
        EXPECT_TRUE(validUtf8(name));
        EXPECT_TRUE(name.ends_with(round == 0 ? ".mp3" : " (2).mp3")) << name;
    }

    size_t before = std::distance(fs::directory_iterator(root.host(kExports)), {});
    EXPECT_EQ(ex::copyInto(kExports, "Gone", "var/mobile/Media/Music/missing.mp3", &why), "");
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(ex::copyInto("var/mobile/Media/general_storage", "Out", "var/mobile/Media/Music/a.mp3"), "");
    EXPECT_EQ(ex::copyInto(kExports + "/../..", "Out", "var/mobile/Media/Music/a.mp3"), "");
    EXPECT_EQ(static_cast<size_t>(std::distance(fs::directory_iterator(root.host(kExports)), {})), before);
    EXPECT_FALSE(fs::exists(root.host("var/mobile/Media/general_storage/Out.mp3")));
}

// Two exports of the same song at once each get a file of their own.
TEST_F(ExportFiles, ConcurrentCopiesClaimDifferentNames) {
    // About a megabyte of MPEG audio: a minute of the tone, half a second
    // at a time.
    std::vector<unsigned char> tone = platform::generator::toneMP3(440);
    ASSERT_FALSE(tone.empty());
    std::string audio;
    while (audio.size() < (1u << 20)) audio.append(tone.begin(), tone.end());
    writeFile(root.host("var/mobile/Media/Music/a.mp3"), audio);
    for (int round = 0; round < 20; ++round) {
        std::string folder = kExports + "/R" + std::to_string(round);
        fs::create_directories(root.host(folder));
        // Odd rounds write the copies with a tag in the same pass.
        const ex::Tags tags{u"Same", u"Album", u"Artist"};
        const ex::Tags* tagged = round % 2 ? &tags : nullptr;
        std::string first, second;
        std::thread t([&] { first = ex::copyInto(folder, "Same", "var/mobile/Media/Music/a.mp3", nullptr, tagged); });
        second = ex::copyInto(folder, "Same", "var/mobile/Media/Music/a.mp3", nullptr, tagged);
        t.join();
        EXPECT_EQ(std::set<std::string>({first, second}),
                  std::set<std::string>({folder + "/Same.mp3", folder + "/Same (2).mp3"}));
        auto size = fs::file_size(root.host(folder + "/Same.mp3"));
        EXPECT_EQ(fs::file_size(root.host(folder + "/Same (2).mp3")), size);
        EXPECT_EQ(size > audio.size(), tagged != nullptr) << size;
        EXPECT_GE(size, audio.size());
    }
}

// The archive opens in Python's zipfile with its UTF-8 names (a name that is
// not UTF-8 keeps its bytes and does not claim to be), every CRC right, MP3s
// stored and other files deflated; folders get no entries.
TEST_F(ExportFiles, ArchiveReadsBackInAnotherReader) {
    std::string folder = kExports + "/F1";
    std::string tone(40000, '\0');
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<char>((i * 7919) % 251);
    writeFile(root.host(folder + "/Blue Harbor/Aerial Maps/Coming Home.mp3"), tone);
    writeFile(root.host(folder + "/Blue Harbor/Aerial Maps/東京 🎧.mp3"), "short");
    writeFile(root.host(folder + "/Road Trip - Playlist/notes.txt"), std::string(5000, 'a'));
    writeFile(root.host(folder + "/raw\xFE.txt"), "x");
    fs::create_directories(root.host(folder + "/empty"));
    std::string archive = ex::zipFolder(folder);
    ASSERT_EQ(archive, folder + ".zip");
    std::string listing = pythonListing(root.host(archive));
    SKIP_WITHOUT_PYTHON(listing);
    EXPECT_EQ(listing,
              "Blue Harbor/Aerial Maps/Coming Home.mp3|1|0|40000\n"
              "Blue Harbor/Aerial Maps/東京 🎧.mp3|1|0|5\n"
              "Road Trip - Playlist/notes.txt|1|8|5000\n"
              "raw\u25A0.txt|0|8|1\n"  // 0xFE read in the zip format's old code page
              "count=4\n"
              "testzip=None\n");
}

// More than 65,535 entries: the archive's zip64 end record carries the count.
TEST_F(ExportFiles, ArchiveOfManyEntries) {
    std::string file = root.host(kExports + "/one.txt");
    writeFile(file, "x");
    std::string archive = root.host(kExports + "/many.zip");
    {
        cantrel::ZipArchive zip;
        ASSERT_TRUE(zip.create(archive));
        for (int i = 0; i < 65540; ++i) ASSERT_TRUE(test::addFileAt(zip, file, "d/" + std::to_string(i) + ".txt"));
        ASSERT_TRUE(zip.close());
    }
    std::string listing = pythonListing(archive);
    SKIP_WITHOUT_PYTHON(listing);
    EXPECT_NE(listing.find("count=65540\n"), std::string::npos);
    EXPECT_NE(listing.find("testzip=None"), std::string::npos);
}

// A failing add (a source that went away) fails the close, and zipFolder
// leaves no archive behind.
TEST_F(ExportFiles, FailedArchiveIsRemoved) {
    std::string archive = root.host(kExports + "/bad.zip");
    cantrel::ZipArchive zip;
    ASSERT_TRUE(zip.create(archive));
    EXPECT_FALSE(test::addFileAt(zip, root.host(kExports + "/nothing.mp3"), "nothing.mp3"));
    EXPECT_FALSE(zip.close());
    EXPECT_EQ(ex::zipFolder("var/mobile/Media/elsewhere"), "");
    EXPECT_FALSE(fs::exists(root.host("var/mobile/Media/elsewhere.zip")));
}

// The badge's texts, in order.
std::vector<std::string>& badgeLog() {
    static std::vector<std::string> log;
    return log;
}
Slot<void(MessageView*, SEL, id)> originalSubText;
void recordSubText(MessageView* self, SEL cmd, id t) {
    badgeLog().push_back(to_string(static_cast<NSString*>(t)));
    originalSubText(self, cmd, t);
}

class Export : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        ASSERT_TRUE(fixture::writeLibrary());
        fs::create_directories(root.host("/var/mobile/Media/Music/F00"));
        audio = platform::generator::toneMP3(440);
        for (const auto& s : fixture::songs()) writeMP3(s.pid);
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        if (!originalSubText)
            MSHookMessageEx(MessageView::cls(), "updateSubText:"_sel, imp_implementationWithFunction(recordSubText),
                            &originalSubText.imp);
        badgeLog().clear();
        platform::setManualGlobalQueues(true);
    }
    void TearDown() override { platform::setManualGlobalQueues(false); }
    void writeMP3(long long pid) {
        std::ofstream(mp3Of(pid), std::ios::binary)
            .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
    }
    std::string mp3Of(long long pid) { return root.host("/var/mobile/Media/Music/F00/" + std::to_string(pid) + ".mp3"); }
    // The track's file made `bytes` long of repeated MP3 frames.
    void writeLongMP3(long long pid, size_t bytes) {
        std::string frames(bytes, '\0');
        for (size_t i = 0; i < frames.size(); i += audio.size())
            std::memcpy(&frames[i], audio.data(), std::min(audio.size(), frames.size() - i));
        writeFile(mp3Of(pid), frames);
    }
    // exportRow while the process may write files of at most `limit` bytes
    // (as on a full disk), with the tag option set as given.
    void exportRowWithFileSizeLimit(const std::string& screen, unsigned long long pid, rlim_t limit, bool tags) {
        fs::remove_all(root.host(kExports));
        setExportTags(tags);
        platform::clearRecentLogLines();
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        struct rlimit small = old;
        small.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        exportRow(screen, pid);
        setrlimit(RLIMIT_FSIZE, &old);
    }
    void sql(const std::string& statements) {
        sqlite3* db = nullptr;
        sqlite3_open(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &db);
        EXPECT_TRUE(fixture::exec(db, statements)) << statements;
        sqlite3_close(db);
    }
    // Exports the row's entry and runs the background block and the main
    // queue's steps.
    void exportRow(const std::string& screen, unsigned long long pid,
                   std::optional<unsigned long long> container = std::nullopt) {
        Strong<ItemEntry> entry = test::entryForRow(app, screen, pid, container);
        ASSERT_TRUE(entry);
        objc_msgSend<void(id, int)>(FileHandler::cls(), "exportAlbum:andType:"_sel, entry.get(),
                                    static_cast<int>(entry->viewIndex));
        platform::drainGlobalQueues();
        platform::RunLoop::main().runFor(0.1);
    }
    // The files under the export folder, relative, sorted; archives listed by
    // their entries after a colon.
    std::vector<std::string> tree() {
        std::vector<std::string> out;
        std::string base = root.host(kExports);
        for (auto& e : fs::recursive_directory_iterator(base))
            if (e.is_regular_file()) out.push_back(fs::relative(e.path(), base).generic_string());
        std::sort(out.begin(), out.end());
        return out;
    }
    // The names under the only UUID folder, with the UUID replaced by "U".
    std::vector<std::string> uuidTree() {
        std::vector<std::string> out;
        for (std::string p : tree()) {
            auto slash = p.find('/');
            std::string head = slash == std::string::npos ? p : p.substr(0, slash);
            if (head.size() >= 36) p = "U" + p.substr(36);
            out.push_back(p);
        }
        return out;
    }
    // The main lines of the badges shown in a view.
    static std::vector<std::string> badgesIn(id view) {
        std::vector<std::string> out;
        id subviews = objc_msgSend<id()>(view, "subviews"_sel);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(subviews, "count"_sel); ++i) {
            id v = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
            if (!objc_isKindOfClass(v, MessageView::cls())) continue;
            id label = objc_msgSend<id(NSInteger)>(v, "viewWithTag:"_sel, 1);
            out.push_back(to_string(static_cast<NSString*>(objc_msgSend<id()>(label, "text"_sel))));
        }
        return out;
    }
    static id rootView() {
        id app = objc_msgSend<id()>(UIApplication::cls(), "sharedApplication"_sel);
        return objc_msgSend<id()>(objc_msgSend<id()>(objc_msgSend<id()>(app, "keyWindow"_sel), "rootViewController"_sel),
                                  "view"_sel);
    }
    // The open sheet's text, its file's path and its application activities' titles.
    std::string sheetSummary() {
        UIActivityViewController* sheet = platform::presentedActivitySheet();
        if (!sheet) return "<no sheet>";
        id items = sheet->_activityItems.get();
        std::string out = to_string(static_cast<NSString*>(objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 0)));
        std::string path = to_string(static_cast<NSString*>(
            objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, 1), "path"_sel)));
        if (path.size() > kExports.size() + 37 && path.compare(kExports.size() + 37, 1, ".") == 0)
            path = kExports + "/U" + path.substr(kExports.size() + 37);
        out += " | " + path;
        id acts = sheet->_applicationActivities.get();
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(acts, "count"_sel); ++i)
            out += " | " + to_string(static_cast<NSString*>(
                               objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(acts, "objectAtIndex:"_sel, i), "activityTitle"_sel)));
        return out;
    }
    void choose(const std::string& choice) {
        ASSERT_TRUE(platform::finishTransitions(1));
        ASSERT_TRUE(platform::chooseActivity(platform::presentedActivitySheet(), choice)) << choice;
        ASSERT_TRUE(platform::finishTransitions(1));
    }
    // The log lines holding `text`.
    static std::vector<std::string> logLinesWith(const std::string& text) {
        std::vector<std::string> out;
        for (const std::string& l : platform::recentLogLines())
            if (l.find(text) != std::string::npos) out.push_back(l.substr(l.find(text)));
        return out;
    }
    // Temporary files left in the export folder.
    std::vector<std::string> hiddenFiles() {
        std::vector<std::string> out;
        for (auto& e : fs::recursive_directory_iterator(root.host(kExports)))
            if (e.path().filename().string()[0] == '.') out.push_back(e.path().string());
        return out;
    }
    void setExportTags(bool on) {
        writeFile(root.host("/var/mobile/Library/Preferences/com.brevank.Cantrel.plist"),
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                              "<key>enforce_ID3Tag_on_export</key>") +
                      (on ? "<true/>" : "<false/>") + "</dict></plist>\n");
        test::postSettingsChanged();
    }
    static std::string tagOf(const std::string& path) {
        TagLib::MPEG::File f(path.c_str());
        if (!f.hasID3v2Tag()) return "<none>";
        auto* t = f.ID3v2Tag();
        return t->title().to8Bit(true) + "|" + t->album().to8Bit(true) + "|" + t->artist().to8Bit(true);
    }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
    std::vector<unsigned char> audio;
};

// A song exports one file straight into the export folder, tagged, with
// "1 of 1"; a second export of the same song gets its own file.
TEST_F(Export, SingleSongTwice) {
    OWN_PROCESS();
    exportRow("songs", 1003);
    exportRow("songs", 1003);
    EXPECT_EQ(tree(), (std::vector<std::string>{"Coming Home (2).mp3", "Coming Home.mp3"}));
    EXPECT_EQ(badgeLog(), (std::vector<std::string>{"1 of 1", "1 of 1"}));
    EXPECT_EQ(tagOf(root.host(kExports + "/Coming Home.mp3")), "Coming Home|Aerial Maps|Blue Harbor");
}

// The sheet names what was exported (the album's title, the playlist's name,
// the song's title) and offers "Export to Folder". Cancel removes the working
// folder and keeps the archive; "Export to Folder" keeps both and shows
// "Done!" over the key window's root view; a single song's file always stays.
TEST_F(Export, ShareSheetEndings) {
    OWN_PROCESS();
    exportRow("albums", 202);
    EXPECT_EQ(sheetSummary(), "'Aerial Maps' via Cantrel | " + kExports + "/U.zip | Export to Folder");
    choose("cancel");
    EXPECT_EQ(uuidTree(), (std::vector<std::string>{"U.zip"}));

    fs::remove_all(root.host(kExports));
    exportRow("playlists", 501);
    EXPECT_EQ(sheetSummary(), "'Road Trip' via Cantrel | " + kExports + "/U.zip | Export to Folder");
    choose("Export to Folder");
    EXPECT_EQ(uuidTree().size(), 4u);
    EXPECT_EQ(badgesIn(rootView()), (std::vector<std::string>{"Done!"}));
    platform::RunLoop::main().runFor(2);
    EXPECT_TRUE(badgesIn(rootView()).empty());

    fs::remove_all(root.host(kExports));
    exportRow("songs", 1003);
    EXPECT_EQ(sheetSummary(), "'Coming Home' via Cantrel | " + kExports + "/Coming Home.mp3 | Export to Folder");
    choose("UIActivityTypeMail");
    EXPECT_EQ(tree(), (std::vector<std::string>{"Coming Home.mp3"}));
}

// On a pad the sheet is shown in a popover pointing at the screen's bounds in
// the entry's table, 330 x 225 points, with nothing presented over the
// screen; the platform keeps the popover while it shows, and the sheet's end
// dismisses it and runs the completion handler as on a phone.
TEST_F(Export, PadSharesInAPopover) {
    OWN_PROCESS();
    platform::setDeviceIdiom(UIUserInterfaceIdiomPad);
    platform::setMainScreen(CGSizeMake(768, 1024), 2);
    platform::clearJournal();
    struct Ending {
        std::string choice;
        size_t filesLeft;  // the archive, and the working folder's three copies when kept
    } endings[] = {{"Export to Folder", 4}, {"cancel", 1}};
    for (const Ending& e : endings) {
        fs::remove_all(root.host(kExports));
        exportRow("albums", 202);
        ASSERT_TRUE(platform::finishTransitions(1));
        std::vector<UIPopoverController*> popovers = platform::shownPopovers();
        ASSERT_EQ(popovers.size(), 1u);
        UIPopoverController* popover = popovers[0];
        EXPECT_EQ(objc::as_id(popover->_contentViewController.get()), objc::as_id(platform::presentedActivitySheet()));
        EXPECT_TRUE(objc_msgSend<BOOL()>(popover, "isPopoverVisible"_sel));
        CGSize size = objc_msgSend<CGSize()>(popover, "popoverContentSize"_sel);
        EXPECT_EQ(size.width, 330);
        EXPECT_EQ(size.height, 225);
        CGRect card = objc_msgSend<CGRect()>(popover->_popoverView.get(), "frame"_sel);
        EXPECT_EQ(card.origin.x, 219);  // centred on the 768 x 1024 screen
        EXPECT_EQ(card.origin.y, 400);
        EXPECT_EQ(sheetSummary(), "'Aerial Maps' via Cantrel | " + kExports + "/U.zip | Export to Folder");
        EXPECT_TRUE(platform::presentedViewControllers().empty());
        choose(e.choice);
        EXPECT_TRUE(platform::shownPopovers().empty());
        EXPECT_EQ(class_getLiveInstanceCount(UIPopoverController::cls()), 0);
        EXPECT_EQ(uuidTree().size(), e.filesLeft) << e.choice;
    }
    std::vector<std::string> kinds;
    for (const platform::JournalEntry& j : platform::journal())
        if (j.presenter == "UIPopoverController") kinds.push_back(j.kind + " " + j.presented);
    EXPECT_EQ(kinds, (std::vector<std::string>{"present UIActivityViewController", "dismiss UIActivityViewController",
                                               "present UIActivityViewController", "dismiss UIActivityViewController"}));
}

// The two activities as the sheet and its completion handler see them.
TEST_F(Export, ActivitiesDescribeThemselves) {
    OWN_PROCESS();
    auto make = [](Class c) { return Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id()>(objc_msgSend<id()>(c, "alloc"_sel), "init"_sel))); };
    auto text = [](id obj, const char* sel) { return to_string(static_cast<NSString*>(objc_msgSend<id()>(obj, sel_registerName(sel)))); };
    Strong<NSObject> folder = make(ActivityViewCustomActivity::cls());
    Strong<NSObject> share = make(ActivityViewCustomActivity_Share::cls());
    EXPECT_EQ(text(folder.get(), "activityType"), "Cantrel.export");
    EXPECT_EQ(text(folder.get(), "activityTitle"), "Export to Folder");
    EXPECT_EQ(text(share.get(), "activityType"), "whatsapp");
    EXPECT_EQ(text(share.get(), "activityTitle"), "WhatsApp");
    EXPECT_EQ(objc_msgSend<NSInteger()>(ActivityViewCustomActivity::cls(), "activityCategory"_sel), 0);
    EXPECT_EQ(objc_msgSend<NSInteger()>(ActivityViewCustomActivity_Share::cls(), "activityCategory"_sel), 1);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(folder.get(), "canPerformWithActivityItems:"_sel, NSArray::make({})));
    EXPECT_EQ(objc_msgSend<id()>(folder.get(), "activityViewController"_sel), nil);
}

// An album: UUID/album artist/album/title.ext, the sub-texts 1 of 3 … and
// "Zipping Files", and the archive beside the folder holding the same names.
TEST_F(Export, AlbumLayoutAndArchive) {
    OWN_PROCESS();
    exportRow("albums", 202);
    std::vector<std::string> expected = {
        "U.zip",
        "U/Blue Harbor/Aerial Maps/Coming Home.mp3",
        "U/Blue Harbor/Aerial Maps/Otter's Garden.mp3",
        "U/Blue Harbor/Aerial Maps/Something Blue.mp3",
    };
    EXPECT_EQ(uuidTree(), expected);
    EXPECT_EQ(badgeLog(), (std::vector<std::string>{"1 of 3", "2 of 3", "3 of 3", "Zipping Files"}));
    std::string zip;
    for (const std::string& p : tree())
        if (p.ends_with(".zip")) zip = root.host(kExports + "/" + p);
    std::string listing = pythonListing(zip);
    SKIP_WITHOUT_PYTHON(listing);
    EXPECT_NE(listing.find("Blue Harbor/Aerial Maps/Otter's Garden.mp3|1|0|"), std::string::npos) << listing;
    EXPECT_NE(listing.find("count=3\n"), std::string::npos);
    EXPECT_NE(listing.find("testzip=None"), std::string::npos);
}

// A playlist: every track in "<name> - Playlist", whatever its album.
TEST_F(Export, PlaylistLayout) {
    OWN_PROCESS();
    exportRow("playlists", 501);
    std::vector<std::string> expected = {
        "U.zip",
        "U/Road Trip - Playlist/Atlas.mp3",
        "U/Road Trip - Playlist/Coming Home.mp3",
        "U/Road Trip - Playlist/Lullaby.mp3",
    };
    EXPECT_EQ(uuidTree(), expected);
}

// Unsafe library names become safe folders and files; two tracks with one
// title keep both files.
TEST_F(Export, UnsafeAndDuplicateNames) {
    OWN_PROCESS();
    sql("UPDATE album SET album = '../Maps: a/b?' WHERE album_pid = 202;"
        "UPDATE item SET title = 'Same' WHERE item_pid IN (1003, 1004);"
        "UPDATE item SET title = '.hidden/track' WHERE item_pid = 1005;");
    exportRow("albums", 202);
    std::vector<std::string> expected = {
        "U.zip",
        "U/Blue Harbor/_.Maps: ab/Same (2).mp3",
        "U/Blue Harbor/_.Maps: ab/Same.mp3",
        "U/Blue Harbor/_.Maps: ab/_hiddentrack.mp3",
    };
    EXPECT_EQ(uuidTree(), expected);
}

// An unreadable track is left out and the rest still ship; nothing readable:
// "Export failed", no archive, no folder.
TEST_F(Export, FailuresAreCounted) {
    OWN_PROCESS();
    fs::remove(mp3Of(1004));
    exportRow("albums", 202);
    EXPECT_EQ(uuidTree().size(), 3u);  // the archive and two copies
    EXPECT_NE(platform::presentedActivitySheet(), nullptr);
    choose("cancel");

    fs::remove_all(root.host(kExports));
    fs::remove(mp3Of(1006));
    fs::remove(mp3Of(1007));
    exportRow("albums", 203);
    EXPECT_TRUE(tree().empty());
    EXPECT_EQ(platform::presentedActivitySheet(), nullptr);
    id screen = objc::as_id(app.currentScreen());
    EXPECT_EQ(badgesIn(objc_msgSend<id()>(screen, "view"_sel)), (std::vector<std::string>{"Export failed"}));
    fs::remove(mp3Of(1003));
    exportRow("songs", 1003);
    EXPECT_TRUE(tree().empty());
}

// An album artist's export holds each of its albums in a folder of its own
// under the artist's, and the sheet names the artist.
TEST_F(Export, AlbumArtistLayout) {
    OWN_PROCESS();
    sql("UPDATE item SET album_artist_pid = 102 WHERE item_pid IN (1006, 1007);"
        "UPDATE album SET album_artist_pid = 102 WHERE album_pid = 203;");
    exportRow("artists", 102);
    std::vector<std::string> expected = {
        "U.zip",
        "U/Blue Harbor/Aerial Maps/Coming Home.mp3",
        "U/Blue Harbor/Aerial Maps/Otter's Garden.mp3",
        "U/Blue Harbor/Aerial Maps/Something Blue.mp3",
        "U/Blue Harbor/Driftwood/Lovesong.mp3",
        "U/Blue Harbor/Driftwood/Lullaby.mp3",
    };
    EXPECT_EQ(uuidTree(), expected);
    EXPECT_EQ(sheetSummary(), "'Blue Harbor' via Cantrel | " + kExports + "/U.zip | Export to Folder");
    EXPECT_EQ(badgeLog().back(), "Zipping Files");
    EXPECT_EQ(badgeLog().size(), 6u);
}

// With the tag option off the copies are the library's files byte for byte
// (their own tags kept); with it on each copy holds the new tag and the same
// audio.
TEST_F(Export, TagOptionDecidesTheCopies) {
    OWN_PROCESS();
    ASSERT_TRUE(platform::generator::tagMP3(mp3Of(1003), "Own Title", "Own Album", "Own Artist", {}, nullptr));
    std::string original = readFile(mp3Of(1003));
    struct Case {
        bool tags;
        std::string tag;
    } cases[] = {{false, "Own Title|Own Album|Own Artist"}, {true, "Coming Home|Aerial Maps|Blue Harbor"}};
    for (const Case& c : cases) {
        fs::remove_all(root.host(kExports));
        setExportTags(c.tags);
        exportRow("songs", 1003);
        std::string copy = root.host(kExports + "/Coming Home.mp3");
        EXPECT_EQ(tagOf(copy), c.tag);
        std::string bytes = readFile(copy);
        if (!c.tags) {
            EXPECT_EQ(bytes, original);
        }
        // The audio frames follow the tag unchanged either way.
        std::string tone(reinterpret_cast<const char*>(audio.data()), audio.size());
        EXPECT_TRUE(bytes.ends_with(tone)) << c.tags;
        choose("cancel");
    }
}

// A song whose tag claims more than its file holds is exported as it is; one
// whose tag has a compressed frame that is not zlib gets the new tag over
// its audio. The library's file stays as it was.
TEST_F(Export, HostileTagsAreCopiedAsTheyAreOrReplaced) {
    OWN_PROCESS();
    std::string tone(reinterpret_cast<const char*>(audio.data()), audio.size());
    std::string garbage = std::string("TIT2\x00\x00\x00\x12\x00\x80\x00\x00\x03\xe8", 14) + "garbagegarbage";
    struct Case {
        const char* name;
        std::string tag;
        bool asItIs;
    } cases[] = {
        {"a tag of 256 MB", std::string("ID3\x03\x00\x00\x7f\x7f\x7f\x7f", 10), true},
        {"a compressed frame that is not zlib",
         std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + static_cast<char>(garbage.size()) + garbage, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root.host(kExports));
        writeFile(mp3Of(1003), c.tag + tone);
        exportRow("songs", 1003);
        std::string copy = readFile(root.host(kExports + "/Coming Home.mp3"));
        EXPECT_EQ(readFile(mp3Of(1003)), c.tag + tone);
        if (c.asItIs) {
            EXPECT_TRUE(copy == c.tag + tone);
        } else {
            EXPECT_EQ(tagOf(root.host(kExports + "/Coming Home.mp3")), "Coming Home|Aerial Maps|Blue Harbor");
            EXPECT_TRUE(copy.ends_with(tone));
            EXPECT_EQ(copy.find("garbage"), std::string::npos);
        }
        choose("cancel");
    }
}

// A copy that fails part-way (the file grows past what the process may
// write) leaves no file, not even a temporary one; the log names the track,
// and the sheet still opens with the rest, with the tag writer and without.
TEST_F(Export, CopyFailingPartWay) {
    OWN_PROCESS();
    writeLongMP3(1004, 400 * 1024);
    for (bool tags : {true, false}) {
        exportRowWithFileSizeLimit("albums", 202, 200 * 1024, tags);
        std::vector<std::string> expected = {
            "U.zip",
            "U/Blue Harbor/Aerial Maps/Coming Home.mp3",
            "U/Blue Harbor/Aerial Maps/Otter's Garden.mp3",
        };
        EXPECT_EQ(uuidTree(), expected) << tags;
        EXPECT_TRUE(hiddenFiles().empty()) << ::testing::PrintToString(hiddenFiles());
        EXPECT_EQ(logLinesWith("left out"), (std::vector<std::string>{"left out Something Blue"})) << tags;
        EXPECT_EQ(sheetSummary(), "'Aerial Maps' via Cantrel | " + kExports + "/U.zip | Export to Folder");
        choose("Export to Folder");
    }
}

// Sources that cannot be read as files (a folder, a FIFO in a track's place,
// a missing file) are left out and named, without blocking on the FIFO.
TEST_F(Export, UnreadableSourcesAreLeftOut) {
    OWN_PROCESS();
    fs::remove(mp3Of(1003));
    fs::create_directories(mp3Of(1003));
    fs::remove(mp3Of(1004));
    ASSERT_EQ(mkfifo(mp3Of(1004).c_str(), 0644), 0);
    for (bool tags : {true, false}) {
        fs::remove_all(root.host(kExports));
        setExportTags(tags);
        platform::clearRecentLogLines();
        exportRow("albums", 202);
        std::vector<std::string> expected = {"U.zip", "U/Blue Harbor/Aerial Maps/Otter's Garden.mp3"};
        EXPECT_EQ(uuidTree(), expected);
        // Nothing else in the album's folder: no folder copied in a track's place.
        std::vector<std::string> names;
        for (auto& e : fs::recursive_directory_iterator(root.host(kExports)))
            if (e.path().parent_path().filename() == "Aerial Maps") names.push_back(e.path().filename().string());
        EXPECT_EQ(names, (std::vector<std::string>{"Otter's Garden.mp3"})) << tags;
        EXPECT_EQ(logLinesWith("left out"),
                  (std::vector<std::string>{"left out Coming Home", "left out Something Blue"}));
        choose("cancel");
    }
}

// A collection with no items copies nothing: "Export failed", no sheet, no
// folder and no archive left.
TEST_F(Export, EmptyCollection) {
    OWN_PROCESS();
    Strong<ItemEntry> entry = test::entryForRow(app, "albums", 202);
    ASSERT_TRUE(entry);
    entry->mediaItemCollection = Strong<NSObject>(static_cast<NSObject*>(objc_msgSend<id(id)>(
        objc_getClass("MPMediaItemCollection"), "collectionWithItems:"_sel, NSArray::make({}))));
    objc_msgSend<void(id, int)>(FileHandler::cls(), "exportAlbum:andType:"_sel, entry.get(),
                                static_cast<int>(entry->viewIndex));
    platform::drainGlobalQueues();
    platform::RunLoop::main().runFor(0.1);
    EXPECT_TRUE(tree().empty());
    EXPECT_EQ(platform::presentedActivitySheet(), nullptr);
    id screen = objc::as_id(app.currentScreen());
    EXPECT_EQ(badgesIn(objc_msgSend<id()>(screen, "view"_sel)), (std::vector<std::string>{"Export failed"}));
}

// The messaging activity, offered by a sheet: its badge "WDone!" stands over
// the key window's root view for 1.3 seconds, and the sheet ends at once,
// completed, with its type.
TEST_F(Export, MessagingActivityBadge) {
    OWN_PROCESS();
    app.launch();
    id activity = objc_msgSend<id()>(objc_msgSend<id()>(ActivityViewCustomActivity_Share::cls(), "alloc"_sel), "init"_sel);
    id sheet = objc_msgSend<id(id, id)>(objc_msgSend<id()>(UIActivityViewController::cls(), "alloc"_sel),
                                        "initWithActivityItems:applicationActivities:"_sel,
                                        NSArray::make({NSString::make("text")}), NSArray::make({activity}));
    objc_release(activity);
    std::vector<std::string> ended;
    objc_msgSend<void(id)>(sheet, "setCompletionWithItemsHandler:"_sel,
                           objc_block<void(id, BOOL, id, id)>([&ended](id type, BOOL completed, id, id) {
                               ended.push_back(to_string(static_cast<NSString*>(type)) + (completed ? " YES" : " NO"));
                           }));
    id rootController = objc_msgSend<id()>(objc_msgSend<id()>(objc_msgSend<id()>(UIApplication::cls(), "sharedApplication"_sel),
                                                              "keyWindow"_sel),
                                           "rootViewController"_sel);
    objc_msgSend<void(id, BOOL, id)>(rootController, "presentViewController:animated:completion:"_sel, sheet, YES, nil);
    objc_release(sheet);
    choose("WhatsApp");
    EXPECT_EQ(ended, (std::vector<std::string>{"whatsapp YES"}));
    EXPECT_EQ(badgesIn(rootView()), (std::vector<std::string>{"WDone!"}));
    platform::RunLoop::main().runFor(1.0);
    EXPECT_EQ(badgesIn(rootView()), (std::vector<std::string>{"WDone!"}));
    platform::RunLoop::main().runFor(0.5);
    EXPECT_TRUE(badgesIn(rootView()).empty());
}

}  // namespace

// Files published in a batch are named at once and made durable together by
// one sync; one that went away before it fails the sync.
TEST_F(ExportFiles, BatchMakesItsFilesDurableInOnePass) {
    std::string folder = root.host(kExports);
    auto write = [](const std::string& text) {
        return [text](const std::string&, int fd) { return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()); };
    };
    auto only = [](const std::string& name) { return [name](int n) { return n == 1 ? name : std::string(); }; };
    unsigned long before = platform::newFileSyncCount();
    EXPECT_EQ(platform::publishNewFile(folder, write("alone"), only("alone.txt")), "alone.txt");
    EXPECT_EQ(platform::newFileSyncCount(), before + 1);
    {
        platform::NewFileBatch batch;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(platform::publishNewFile(folder, write("file " + std::to_string(i)), only(std::to_string(i) + ".txt")),
                      std::to_string(i) + ".txt");
        EXPECT_EQ(readFile(folder + "/4.txt"), "file 4");
        EXPECT_EQ(platform::newFileSyncCount(), before + 1);
        EXPECT_TRUE(batch.sync());
        EXPECT_EQ(platform::newFileSyncCount(), before + 2);

        EXPECT_EQ(platform::publishNewFile(folder, write("gone"), only("gone.txt")), "gone.txt");
        fs::remove(folder + "/gone.txt");
        EXPECT_FALSE(batch.sync());
    }
    // Outside the batch again: each file is synced before it is named.
    EXPECT_EQ(platform::publishNewFile(folder, write("after"), only("after.txt")), "after.txt");
    EXPECT_EQ(platform::newFileSyncCount(), before + 4);
}

// Within one export's claims, alike titles take " (2)", " (3)" … in turn and
// a suffix once taken is not offered again, even when its file went away;
// each folder counts its own names; other claims (another export) start from
// the first free name.
TEST_F(ExportFiles, ClaimedNamesAreNotOfferedAgain) {
    writeFile(root.host("var/mobile/Media/Music/a.mp3"), "audio");
    const ex::Tags tags{u"Same", u"Album", u"Artist"};
    ex::NameClaims claims;  // one set for both folders
    for (const ex::Tags* tagged : {static_cast<const ex::Tags*>(nullptr), &tags}) {
        std::string folder = kExports + (tagged ? "/T" : "/P");
        fs::create_directories(root.host(folder));
        for (const char* expected : {"Same.mp3", "Same (2).mp3", "Same (3).mp3"})
            EXPECT_EQ(ex::copyInto(folder, "Same", "var/mobile/Media/Music/a.mp3", nullptr, tagged, &claims),
                      folder + "/" + expected);
        fs::remove(root.host(folder + "/Same (2).mp3"));
        EXPECT_EQ(ex::copyInto(folder, "Same", "var/mobile/Media/Music/a.mp3", nullptr, tagged, &claims),
                  folder + "/Same (4).mp3");
        // A different title in the same folder has its own count.
        EXPECT_EQ(ex::copyInto(folder, "Other", "var/mobile/Media/Music/a.mp3", nullptr, tagged, &claims),
                  folder + "/Other.mp3");
        ex::NameClaims fresh;
        EXPECT_EQ(ex::copyInto(folder, "Same", "var/mobile/Media/Music/a.mp3", nullptr, tagged, &fresh),
                  folder + "/Same (2).mp3");
    }
}

// A playlist's folder keeps " - Playlist" after a name of any length, cut on
// a character boundary within 255 bytes.
TEST_F(ExportFiles, PlaylistFolderKeepsItsSuffix) {
    std::string cjk;
    for (int i = 0; i < 100; ++i) cjk += "東";  // 300 bytes
    std::string name = ex::playlistFolderName(cjk);
    EXPECT_LE(name.size(), 255u);
    EXPECT_TRUE(validUtf8(name));
    EXPECT_TRUE(name.ends_with("東 - Playlist")) << name;
    EXPECT_EQ(ex::playlistFolderName("Road/Trip?"), "RoadTrip - Playlist");
    EXPECT_EQ(ex::playlistFolderName(std::string(300, 'a')), std::string(244, 'a') + " - Playlist");
}

namespace {

// What the export folder shows (its entries not hidden, recursively) each
// time a track's file path is read during an export.
std::vector<std::vector<std::string>>& visibleAtEachTrack() {
    static std::vector<std::vector<std::string>> log;
    return log;
}
std::string visibleRoot;
Slot<id(id, SEL, id)> originalValueForProperty;
id recordVisible(id self, SEL cmd, id property) {
    if (to_string(static_cast<NSString*>(property)) == "filePath" && !visibleRoot.empty()) {
        std::vector<std::string> seen;
        for (auto& e : fs::recursive_directory_iterator(visibleRoot)) {
            std::string rel = fs::relative(e.path(), visibleRoot).generic_string();
            if (rel[0] != '.' && rel.find("/.") == std::string::npos) seen.push_back(rel);
        }
        visibleAtEachTrack().push_back(seen);
    }
    return originalValueForProperty(self, cmd, property);
}

// A multi-track export shows nothing under the export folder until all its
// files are durable, and makes them durable once, whatever its number of
// tracks; a single song is made durable before it is named, once.
TEST_F(Export, FilesAreMadeDurableOncePerExport) {
    OWN_PROCESS();
    MSHookMessageEx(objc_getClass("MPConcreteMediaItem"), "valueForProperty:"_sel,
                    imp_implementationWithFunction(recordVisible), &originalValueForProperty.imp);
    sql("UPDATE item SET album_artist_pid = 102 WHERE item_pid IN (1006, 1007);"
        "UPDATE album SET album_artist_pid = 102 WHERE album_pid = 203;");
    struct Case {
        std::string screen;
        unsigned long long pid;
        size_t files;  // copies and archive
    } cases[] = {{"albums", 202, 4}, {"artists", 102, 6}, {"songs", 1003, 1}};
    for (const Case& c : cases) {
        fs::remove_all(root.host(kExports));
        visibleRoot = root.host(kExports);
        visibleAtEachTrack().clear();
        unsigned long before = platform::newFileSyncCount();
        exportRow(c.screen, c.pid);
        visibleRoot.clear();
        EXPECT_EQ(platform::newFileSyncCount(), before + 1) << c.screen;
        EXPECT_EQ(tree().size(), c.files) << c.screen;
        EXPECT_TRUE(hiddenFiles().empty()) << ::testing::PrintToString(hiddenFiles());
        ASSERT_FALSE(visibleAtEachTrack().empty());
        for (const auto& seen : visibleAtEachTrack())
            EXPECT_TRUE(seen.empty()) << c.screen << ": " << ::testing::PrintToString(seen);
        choose("Export to Folder");
    }
}

// Two exports from two swipes on one screen, the second started before the
// first has finished: the first one's sheet shows; the second shows once the
// first has ended, and each sheet's ending acts on its own export.
TEST_F(Export, SecondSheetShowsAfterTheFirst) {
    OWN_PROCESS();
    for (auto [screen, pid] : {std::pair<const char*, unsigned long long>{"albums", 202}, {"", 203}}) {
        Strong<ItemEntry> entry = test::entryForRow(app, screen, pid);
        ASSERT_TRUE(entry);
        objc_msgSend<void(id, int)>(FileHandler::cls(), "exportAlbum:andType:"_sel, entry.get(),
                                    static_cast<int>(entry->viewIndex));
    }
    platform::drainGlobalQueues();
    platform::RunLoop::main().runFor(0.1);
    ASSERT_TRUE(platform::finishTransitions(1));
    EXPECT_EQ(sheetSummary(), "'Aerial Maps' via Cantrel | " + kExports + "/U.zip | Export to Folder");
    EXPECT_TRUE(logLinesWith("already presenting").empty());
    choose("cancel");
    EXPECT_EQ(sheetSummary(), "'Driftwood' via Cantrel | " + kExports + "/U.zip | Export to Folder");
    choose("Export to Folder");
    EXPECT_EQ(platform::presentedActivitySheet(), nullptr);
    std::vector<std::string> expected = {
        "U.zip",
        "U.zip",
        "U/The Copper Moths/Driftwood/Lovesong.mp3",
        "U/The Copper Moths/Driftwood/Lullaby.mp3",
    };
    std::vector<std::string> left = uuidTree();  // two UUIDs: sorted once they read "U"
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, expected);
    // A third export afterwards shows its sheet at once.
    exportRow("songs", 1003);
    ASSERT_TRUE(platform::finishTransitions(1));
    EXPECT_EQ(sheetSummary(), "'Coming Home' via Cantrel | " + kExports + "/Coming Home.mp3 | Export to Folder");
    choose("cancel");
}

// An export whose archive cannot be written (the disk is full for it: here
// the file size the process may write is smaller than the archive) shares
// nothing and leaves nothing: no folder, no copies, no archive, no
// temporary file; with the tag writer and without.
TEST_F(Export, NothingSharedLeavesNothing) {
    OWN_PROCESS();
    writeLongMP3(1006, 120 * 1024);
    writeLongMP3(1007, 120 * 1024);
    for (bool tags : {true, false}) {
        exportRowWithFileSizeLimit("albums", 203, 200 * 1024, tags);
        EXPECT_EQ(platform::presentedActivitySheet(), nullptr);
        id screen = objc::as_id(app.currentScreen());
        EXPECT_EQ(badgesIn(objc_msgSend<id()>(screen, "view"_sel)), (std::vector<std::string>{"Export failed"}));
        EXPECT_EQ(logLinesWith("nothing to share").size(), 1u) << tags;
        std::vector<std::string> left;
        for (auto& e : fs::recursive_directory_iterator(root.host(kExports))) left.push_back(e.path().string());
        EXPECT_TRUE(left.empty()) << tags << ::testing::PrintToString(left);
        platform::RunLoop::main().runFor(2);
    }
}

// A hidden export folder left by an export that never finished (its lock
// free, unchanged for a minute) goes with its archive when the next
// multi-track export starts; one still locked by its export, or one just
// made, stays.
TEST_F(Export, AbandonedExportFoldersAreRemoved) {
    OWN_PROCESS();
    auto hidden = [&](char last) { return root.host(kExports + "/.0A1B2C3D-0000-4000-8000-00000000000" + last); };
    std::string abandoned = hidden('A'), busy = hidden('B'), fresh = hidden('C');
    for (const std::string& folder : {abandoned, busy, fresh}) writeFile(folder + "/Artist/Album/Song.mp3", "partial");
    writeFile(abandoned + ".zip", "partial");
    struct timespec minutesAgo[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    for (const std::string& folder : {abandoned, busy}) ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), minutesAgo, 0), 0);
    int lock = ::open(busy.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    exportRow("albums", 202);
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_FALSE(fs::exists(abandoned + ".zip"));
    EXPECT_TRUE(fs::exists(busy + "/Artist/Album/Song.mp3"));
    EXPECT_TRUE(fs::exists(fresh + "/Artist/Album/Song.mp3"));
    ::close(lock);
    EXPECT_EQ(sheetSummary(), "'Aerial Maps' via Cantrel | " + kExports + "/U.zip | Export to Folder");
    choose("cancel");
}

// A playlist whose name fills a whole file name still exports into a folder
// ending in " - Playlist".
TEST_F(Export, LongPlaylistNameKeepsItsSuffix) {
    OWN_PROCESS();
    std::string name;
    for (int i = 0; i < 100; ++i) name += "旅";  // 300 bytes
    sql("UPDATE container SET name = '" + name + "' WHERE container_pid = 501;");
    exportRow("playlists", 501);
    std::vector<std::string> files = uuidTree();
    ASSERT_EQ(files.size(), 4u);
    for (size_t i = 1; i < files.size(); ++i) {
        fs::path folder = fs::path(files[i]).parent_path().filename();
        EXPECT_TRUE(folder.string().ends_with("旅 - Playlist")) << files[i];
        EXPECT_LE(folder.string().size(), 255u);
    }
}

}  // namespace
