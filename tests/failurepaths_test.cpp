// Failure paths of the library and the platform under it that must end as
// failures and lose nothing: artwork imports the media library refuses (all,
// or under one token), a save step that fails, database writes and reads that
// fail part way, a list screen's delete that fails part way, an export
// without its folder, the archive writer given what it cannot archive, and
// file writes that run out of room.
#include "Cantrel.h"
#include "Classes.h"
#include "DBHandler.h"
#include "EditHandler.h"
#include "EditSave.h"
#include "EditSheetSupport.h"
#include "FileHandler.h"
#include "ItemEntry.h"
#include "Libs/FMDB/FMDatabase.h"
#include "Libs/ZipArchive/ZipArchive.h"
#include "MediaLibraryFixture.h"
#include "MessageView.h"
#include "ID3Writer.h"
#include "PanelActions.h"
#include "ParentSongAlbumArtistView.h"
#include "TestSupport.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/ML3MusicLibrary.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIActivityViewController.h>
#include <UIKit/UIKit.h>
#include <platform/Log.h>
#include <platform/RunLoop.h>
#include <platform/Unicode.h>
#include <UIKit/Rendering.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cairo.h>
#include <filesystem>
#include <fstream>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kBundleFolder = "Library/Application Support/Cantrel/Cantrel.bundle";

// The library over the known media library, its app launched.
class FailurePaths : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Clock::setVirtual(true);
        ASSERT_TRUE(fixture::writeLibrary());
        // Every song has its artwork row, most of them without a token.
        execute("INSERT OR IGNORE INTO item_artwork (item_pid, best_artwork_token, sync_artwork_token) "
                "SELECT item_pid, '', '' FROM item");
        fs::create_directories(root.host(kBundleFolder));
        fs::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", root.host(kBundleFolder));
        platform::resetMainScreen();
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        platform::ml3::setRefusesImports(false);
        enforce_ID3Tag_on_artwork = NO;
        has_ArtworkOverwriteProblems = NO;
    }
    void TearDown() override { platform::ml3::setRefusesImports(false); }

    void execute(const std::string& statements) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(root.host(platform::mediaLibraryDevicePath()).c_str(), &db, SQLITE_OPEN_READWRITE,
                                  nullptr),
                  SQLITE_OK);
        EXPECT_TRUE(fixture::exec(db, statements)) << statements;
        sqlite3_close(db);
    }

    // The first column of each row of a read of the media library, joined by ";".
    std::string column(const std::string& select) {
        sqlite3* db = nullptr;
        std::string out;
        if (sqlite3_open_v2(root.host(platform::mediaLibraryDevicePath()).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, select.c_str(), -1, &st, nullptr) == SQLITE_OK)
                while (sqlite3_step(st) == SQLITE_ROW) {
                    const unsigned char* text = sqlite3_column_text(st, 0);
                    out += (out.empty() ? "" : ";") + std::string(text ? reinterpret_cast<const char*>(text) : "NULL");
                }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return out;
    }
    std::string artworkFile(const std::string& relativePath) {
        return root.host(std::string(platform::artworkFolderDevicePath()) + "/" + relativePath);
    }
    static UIImage* greenPicture() {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 16);
        cairo_t* cr = cairo_create(s);
        cairo_set_source_rgb(cr, 0.1, 0.8, 0.2);
        cairo_paint(cr);
        cairo_destroy(cr);
        return UIImage::withSurface(s);
    }
    // Opens the edit sheet of the entry with a picture picked.
    static id openWithPicture(ItemEntry* entry) {
        objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel,
                                         objc::as_id(greenPicture()), entry, -1L);
        platform::finishTransitions(1);
        return objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel);
    }
    static ParentSongAlbumArtistView* panelOf(id sheet) {
        return static_cast<ParentSongAlbumArtistView*>(
            objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(sheet, "view"_sel), "viewWithTag:"_sel, 99));
    }
    // Taps Save on the open sheet; serves the main loop until the import has
    // ended and the row refreshed.
    void saveWithPicture(ItemEntry* entry) { save(openWithPicture(entry)); }
    void save(id sheet) {
        ASSERT_NE(sheet, nil);
        id actions = objc_msgSend<id()>(sheet, "actions"_sel);
        id save = nil;
        for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(actions, "count"_sel); i < n; ++i) {
            id action = objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i);
            if (to_string(objc_msgSend<NSString*()>(action, "title"_sel)) == "Save") save = action;
        }
        ASSERT_NE(save, nil);
        ASSERT_TRUE(platform::tapAlertAction(static_cast<UIAlertController*>(sheet), static_cast<UIAlertAction*>(save)));
        ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return EditSheetImportsIdle(); }, 20));
        platform::RunLoop::main().runFor(1.1);
    }

    test::TempRoot root;
    AutoreleasePool pool;
    platform::MusicApp app;
};

// A song that already has artwork keeps its picture when the media library
// refuses the new one: the row under its token and the file it names stay.
TEST_F(FailurePaths, RefusedImportKeepsTheSongsArtwork) {
    ASSERT_EQ(column("SELECT relative_path FROM artwork WHERE artwork_token = 'aw1'"), "a1/arrival.png");
    ASSERT_TRUE(fs::exists(artworkFile("a1/arrival.png")));
    platform::ml3::setRefusesImports(true);
    Strong<ItemEntry> entry = test::entryForRow(app, "album", 1001, 201);
    ASSERT_TRUE(entry);
    saveWithPicture(entry.get());
    EXPECT_EQ(column("SELECT relative_path FROM artwork WHERE artwork_token = 'aw1'"), "a1/arrival.png");
    EXPECT_TRUE(fs::exists(artworkFile("a1/arrival.png")));
    EXPECT_EQ(column("SELECT best_artwork_token || '|' || coalesce(sync_artwork_token, '') FROM item_artwork "
                     "WHERE item_pid = 1001"),
              "aw1|");
}

// The media library's import, refusing only pictures under one token.
std::string refusedToken;
Slot<BOOL(objc_object*, SEL, id, id, NSInteger, NSInteger, NSInteger)> originalImport;
BOOL importRefusingOneToken(objc_object* self, SEL cmd, id data, id token, NSInteger type, NSInteger source,
                            NSInteger media) {
    if (!refusedToken.empty() && to_string(static_cast<NSString*>(token)) == refusedToken) return NO;
    return originalImport(self, cmd, data, token, type, source, media);
}

// A song's kept token takes the new picture and nothing else stays behind;
// when the library takes the new picture but not under the kept token, the
// song shows the new picture under a token of its own.
TEST_F(FailurePaths, ARefusedKeptTokenGivesTheSongTheNewPicture) {
    OWN_PROCESS();
    Strong<ItemEntry> first = test::entryForRow(app, "album", 1002, 201);
    ASSERT_TRUE(first);
    saveWithPicture(first.get());
    EXPECT_EQ(column("SELECT artwork_token FROM artwork"), "aw1");
    EXPECT_NE(column("SELECT relative_path FROM artwork WHERE artwork_token = 'aw1'"), "a1/arrival.png");

    MSHookMessageEx(objc_getClass("ML3MusicLibrary"),
                    "importOriginalArtworkFromImageData:withArtworkToken:artworkType:sourceType:mediaType:"_sel,
                    imp_implementationWithFunction(importRefusingOneToken), &originalImport.imp);
    refusedToken = "aw1";
    Strong<ItemEntry> entry = test::entryForRow(app, "album", 1001, 201);
    ASSERT_TRUE(entry);
    saveWithPicture(entry.get());
    refusedToken.clear();
    std::string token = column("SELECT coalesce(sync_artwork_token, '') FROM item_artwork WHERE item_pid = 1001");
    EXPECT_NE(token, "");
    EXPECT_NE(token, "aw1");
    std::string rel = column("SELECT relative_path FROM artwork WHERE artwork_token = '" + token + "'");
    ASSERT_NE(rel, "");
    EXPECT_TRUE(fs::exists(artworkFile(rel)));
}

// A step that fails ends only itself: the song's new title (a step before)
// and its picture (a step after) are still written, and the failure is logged
// with the step's name.
TEST_F(FailurePaths, AFailingStepEndsOnlyItself) {
    Strong<ItemEntry> entry = test::entryForRow(app, "songs", 1003);
    ASSERT_TRUE(entry);
    id sheet = openWithPicture(entry.get());
    ParentSongAlbumArtistView* panel = panelOf(sheet);
    ASSERT_NE(panel, nullptr);
    objc_msgSend<void(id)>(panel->titleTextField.get(), "setText:"_sel, "Coming Home Again"_ns);
    // A genre row the list does not have.
    panel->genreIndexAfter = panel->genreIndexBefore + 1000;
    platform::clearRecentLogLines();
    save(sheet);
    EXPECT_EQ(column("SELECT title FROM item WHERE item_pid = 1003"), "Coming Home Again");
    EXPECT_EQ(column("SELECT genre_id FROM item WHERE item_pid = 1003"), "2");
    EXPECT_NE(column("SELECT coalesce(sync_artwork_token, '') FROM item_artwork WHERE item_pid = 1003"), "");
    bool logged = false;
    for (const std::string& line : platform::recentLogLines())
        logged = logged || line.find("** Cantrel EXCEPTION: GENRE UIPICKER: ") != std::string::npos;
    EXPECT_TRUE(logged);
}

// A title the media library does not take is not shown as saved: the song
// and its row keep the stored title.
TEST_F(FailurePaths, ATitleTheLibraryRefusesIsNotShown) {
    execute("CREATE TRIGGER keep_title BEFORE UPDATE OF title ON item BEGIN SELECT RAISE(ABORT, 'kept'); END;");
    Strong<ItemEntry> entry = test::entryForRow(app, "songs", 1003);
    ASSERT_TRUE(entry);
    objc_msgSend<void(id, id, long)>(EditHandler::cls(), "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel, nil,
                                     entry.get(), -1L);
    platform::finishTransitions(1);
    id sheet = objc_msgSend<id()>(entry->currentViewController.get(), "presentedViewController"_sel);
    ASSERT_NE(panelOf(sheet), nullptr);
    objc_msgSend<void(id)>(panelOf(sheet)->titleTextField.get(), "setText:"_sel, "Not Stored"_ns);
    save(sheet);
    EXPECT_EQ(column("SELECT title FROM item WHERE item_pid = 1003"), "Coming Home");
    EXPECT_EQ(to_string(objc_msgSend<NSString*()>(entry->mediaItem.get(), "title"_sel)), "Coming Home");
}

// An album's picture the media library refuses writes nothing: no track
// takes a token, the import's badge is gone and the user is told it failed.
TEST_F(FailurePaths, RefusedAlbumImportWritesNothing) {
    platform::ml3::setRefusesImports(true);
    Strong<ItemEntry> entry = test::entryForRow(app, "albums", 202);
    ASSERT_TRUE(entry);
    std::string before = column("SELECT coalesce(sync_artwork_token, '') FROM item_artwork ORDER BY item_pid");
    std::string artwork = column("SELECT artwork_token FROM artwork ORDER BY artwork_token");
    saveWithPicture(entry.get());
    EXPECT_EQ(column("SELECT coalesce(sync_artwork_token, '') FROM item_artwork ORDER BY item_pid"), before);
    EXPECT_EQ(column("SELECT artwork_token FROM artwork ORDER BY artwork_token"), artwork);
    id subviews = objc_msgSend<id()>(objc_msgSend<id()>(entry->currentViewController.get(), "view"_sel), "subviews"_sel);
    std::vector<std::string> badges;
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
        id view = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_isKindOfClass(view, MessageView::cls()))
            badges.push_back(to_string(objc_msgSend<NSString*()>(objc_msgSend<id(NSInteger)>(view, "viewWithTag:"_sel, 1), "text"_sel)));
    }
    EXPECT_EQ(badges, std::vector<std::string>{"Failed"});
}

// When the song's artwork row cannot take the new token, the song keeps its
// (empty) artwork and the picture imported for it is not left behind.
TEST_F(FailurePaths, ArtworkRowThatRefusesTheTokenLeavesNoOrphan) {
    execute("CREATE TRIGGER refuse_token BEFORE UPDATE OF sync_artwork_token ON item_artwork "
            "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    std::string artwork = column("SELECT artwork_token FROM artwork ORDER BY artwork_token");
    Strong<ItemEntry> entry = test::entryForRow(app, "songs", 1003);
    ASSERT_TRUE(entry);
    saveWithPicture(entry.get());
    EXPECT_EQ(column("SELECT coalesce(sync_artwork_token, '') FROM item_artwork WHERE item_pid = 1003"), "");
    EXPECT_EQ(column("SELECT artwork_token FROM artwork ORDER BY artwork_token"), artwork);
}

// The collection of `query` whose persistent id is `pid`, or nil.
id collectionOf(const char* query, unsigned long long pid) {
    id all = objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass("MPMediaQuery"), sel_registerName(query)),
                                "collections"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(all, "count"_sel); i < n; ++i) {
        id c = objc_msgSend<id(NSUInteger)>(all, "objectAtIndex:"_sel, i);
        if (objc_msgSend<unsigned long long()>(c, "persistentID"_sel) == pid) return c;
    }
    return nil;
}

// A delete from a list screen is one transaction: when a later row cannot go,
// the album's other songs and their playlist entries stay; a playlist that
// is gone already is no success.
TEST_F(FailurePaths, ADeleteThatFailsPartWayRemovesNothing) {
    execute("CREATE TRIGGER keep_otter BEFORE DELETE ON item WHEN old.item_pid = 1005 "
            "BEGIN SELECT RAISE(ABORT, 'kept'); END;");
    id album = collectionOf("albumsQuery", 202);
    ASSERT_NE(album, nil);
    EXPECT_FALSE(platform::deleteMediaEntity(album));
    EXPECT_EQ(column("SELECT item_pid FROM item WHERE album_pid = 202 ORDER BY item_pid"), "1003;1004;1005");
    EXPECT_EQ(column("SELECT item_pid FROM container_items WHERE container_pid = 501 ORDER BY item_pid"),
              "1003;1006;1010");
    EXPECT_EQ(column("SELECT count(*) FROM item_artwork WHERE item_pid IN (1003, 1004, 1005)"), "3");

    id playlist = collectionOf("playlistsQuery", 502);
    ASSERT_NE(playlist, nil);
    EXPECT_TRUE(platform::deleteMediaEntity(playlist));
    EXPECT_EQ(column("SELECT count(*) FROM container_items WHERE container_pid = 502"), "0");
    EXPECT_FALSE(platform::deleteMediaEntity(playlist));
    EXPECT_FALSE(platform::deleteMediaEntity(nil));
}

// A list read that fails part way gives the empty answer, never the rows
// read so far: no artwork token that another artwork holds, no partial
// genre list.
TEST_F(FailurePaths, AReadThatFailsGivesTheEmptyAnswer) {
    execute("INSERT INTO artwork (artwork_token, relative_path) VALUES ('1', 'b/1.jpg'), ('7', 'b/7.jpg');"
            "ALTER TABLE artwork RENAME TO artwork_rows;"
            "CREATE VIEW artwork AS SELECT CASE WHEN artwork_token = '7' THEN json('unreadable') ELSE artwork_token "
            "END AS artwork_token, relative_path FROM artwork_rows;"
            "ALTER TABLE genre RENAME TO genre_rows;"
            "CREATE VIEW genre AS SELECT CASE WHEN genre_id = 3 THEN json('unreadable') ELSE genre END AS genre, "
            "genre_id FROM genre_rows;");
    id handler = objc_msgSend<id()>(DBHandler::cls(), "sharedInstance"_sel);
    LOGGER_ON = YES;
    platform::clearRecentLogLines();
    EXPECT_EQ(to_string(objc_msgSend<NSString*()>(handler, "getNextArtworkToken"_sel)), "");
    LOGGER_ON = NO;
    // The read ran and stopped (the statements themselves are sound).
    bool stopped = false;
    for (const std::string& line : platform::recentLogLines())
        stopped = stopped || line.find("An exception occured: reading stopped") != std::string::npos;
    EXPECT_TRUE(stopped);
    id genres = objc_msgSend<id()>(handler, "getGenres"_sel);
    for (const char* key : {"genreNames", "genreIDs"})
        EXPECT_EQ(objc_msgSend<NSUInteger()>(objc_msgSend<id(id)>(genres, "objectForKey:"_sel, NSString::make(key)),
                                             "count"_sel),
                  0u)
            << key;
}

// The main lines of the badges shown in a view.
std::vector<std::string> badgesIn(id view) {
    std::vector<std::string> out;
    id subviews = objc_msgSend<id()>(view, "subviews"_sel);
    for (NSUInteger i = 0, n = objc_msgSend<NSUInteger()>(subviews, "count"_sel); i < n; ++i) {
        id v = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_isKindOfClass(v, MessageView::cls()))
            out.push_back(to_string(objc_msgSend<NSString*()>(objc_msgSend<id(NSInteger)>(v, "viewWithTag:"_sel, 1), "text"_sel)));
    }
    return out;
}

// Where the export folder cannot be made (a file of the user's stands in the
// way), an export of an album or a song fails as a failure: "Export failed",
// no share sheet, and the file in the way is untouched.
TEST_F(FailurePaths, AnExportWithoutItsFolderFailsAndTouchesNothing) {
    fs::create_directories(root.host("/var/mobile/Media/Music/F00"));
    std::vector<unsigned char> audio = platform::generator::toneMP3(440);
    for (long long pid : {1003LL, 1004LL, 1005LL})
        std::ofstream(root.host("/var/mobile/Media/Music/F00/" + std::to_string(pid) + ".mp3"), std::ios::binary)
            .write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
    const std::string inTheWay = root.host("/var/mobile/Media/general_storage");
    std::ofstream(inTheWay) << "the user's own file";
    for (const auto& [screen, pid] : {std::pair<const char*, unsigned long long>{"albums", 202}, {"songs", 1003}}) {
        SCOPED_TRACE(screen);
        Strong<ItemEntry> entry = test::entryForRow(app, screen, pid);
        ASSERT_TRUE(entry);
        objc_msgSend<void(id, int)>(FileHandler::cls(), "exportAlbum:andType:"_sel, entry.get(),
                                    static_cast<int>(entry->viewIndex));
        ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return Cantrel_exportsIdle(); }, 20));
        platform::finishTransitions(1);
        EXPECT_EQ(badgesIn(objc_msgSend<id()>(entry->currentViewController.get(), "view"_sel)),
                  std::vector<std::string>{"Export failed"});
        EXPECT_EQ(platform::presentedActivitySheet(), nullptr);
        platform::RunLoop::main().runFor(2);  // the badge goes
    }
    std::ifstream in(inTheWay);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the user's own file");
}

}  // namespace

namespace {

// An archive that cannot be written whole answers false, never success: a
// device that is full, a call out of order, a source that is no regular file.
TEST(ArchiveFailures, AFullDeviceFailsTheArchive) {
    test::TempRoot root;
    std::string source = root.path() + "/track.bin";
    {
        // More than the writer's buffers hold, so that the writes themselves meet the full device.
        std::ofstream out(source, std::ios::binary);
        std::string block(1 << 20, 'x');
        for (int i = 0; i < 3; ++i) out << block;
    }
    cantrel::ZipArchive zip;
    ASSERT_TRUE(zip.create("/dev/full"));
    test::addFileAt(zip, source, "track.bin");
    EXPECT_FALSE(zip.close());

    // A nearly empty archive whose only write is at the close fails there.
    cantrel::ZipArchive small;
    ASSERT_TRUE(small.create("/dev/full"));
    EXPECT_FALSE(small.close());
}

TEST(ArchiveFailures, CallsOutOfOrderAnswerFalse) {
    test::TempRoot root;
    std::string source = root.path() + "/a.txt";
    std::ofstream(source) << "a";
    cantrel::ZipArchive zip;
    EXPECT_FALSE(test::addFileAt(zip, source, "a.txt"));  // no archive yet
    EXPECT_FALSE(zip.close());
    ASSERT_TRUE(zip.create(root.path() + "/one.zip"));
    EXPECT_FALSE(zip.create(root.path() + "/two.zip"));  // one archive at a time
    EXPECT_FALSE(fs::exists(root.path() + "/two.zip"));
    EXPECT_FALSE(test::addFileAt(zip, source, ""));  // an entry needs a name
    EXPECT_TRUE(test::addFileAt(zip, source, "a.txt"));
    EXPECT_TRUE(zip.close());
    EXPECT_FALSE(zip.close());  // closed already
    EXPECT_FALSE(zip.create(root.path() + "/missing/three.zip"));
}

// A FIFO or a folder in a file's place fails its add at once (a FIFO nobody
// writes would block a reader) and fails the archive.
TEST(ArchiveFailures, OnlyRegularFilesAreAdded) {
    test::TempRoot root;
    std::string fifo = root.path() + "/pipe.mp3";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    cantrel::ZipArchive zip;
    ASSERT_TRUE(zip.create(root.path() + "/out.zip"));
    EXPECT_FALSE(test::addFileAt(zip, fifo, "pipe.mp3"));
    EXPECT_FALSE(test::addFileAt(zip, root.path(), "folder"));
    EXPECT_FALSE(zip.close());
}

}  // namespace

namespace {

// Runs `body` with files limited to `bytes` (a write past it fails with
// EFBIG instead of ending the process), then lifts the limit.
template <class F>
void withFileSizeLimit(rlim_t bytes, F&& body) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    body();
    setrlimit(RLIMIT_FSIZE, &old);
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes that run out of room part way answer NO and keep what was there:
// the old file whole, no temporary file beside it, no half archive.
TEST(OutOfRoom, AFailedWriteKeepsTheOldFile) {
    test::TempRoot root;
    const std::string folder = "var/mobile/Library/Preferences";
    ASSERT_TRUE(platform::makeDeviceDirectories(folder));
    const std::string file = folder + "/com.example.kept.plist";
    AutoreleasePool pool;
    id small = objc::as_id(NSDictionary::make({{"a"_ns, "old"_ns}}));
    ASSERT_TRUE(objc_msgSend<BOOL(id, BOOL)>(small, "writeToFile:atomically:"_sel, NSString::make(file), YES));
    const std::string before = contentsOf(root.host(file));
    ASSERT_FALSE(before.empty());

    const std::string large(256 * 1024, 'x');
    id big = objc::as_id(NSDictionary::make({{"a"_ns, NSString::make(large)}}));
    id bytes = objc_msgSend<id(const void*, NSUInteger)>(NSData::cls(), "dataWithBytes:length:"_sel, large.data(),
                                                         static_cast<NSUInteger>(large.size()));
    withFileSizeLimit(16 * 1024, [&] {
        EXPECT_FALSE(objc_msgSend<BOOL(id, BOOL)>(big, "writeToFile:atomically:"_sel, NSString::make(file), YES));
        EXPECT_FALSE(objc_msgSend<BOOL(id, BOOL)>(bytes, "writeToFile:atomically:"_sel, NSString::make(file), YES));
    });
    EXPECT_EQ(contentsOf(root.host(file)), before);
    EXPECT_EQ(namesIn(root.host(folder)), std::vector<std::string>{"com.example.kept.plist"});
}

TEST(OutOfRoom, AFailedArchiveIsRemovedAndItsFolderKept) {
    test::TempRoot root;
    AutoreleasePool pool;
    const std::string exports = "var/mobile/Media/general_storage/Cantrel";
    const std::string folder = exports + "/album";
    ASSERT_TRUE(platform::makeDeviceDirectories(folder));
    {
        std::ofstream out(root.host(folder + "/track.mp3"), std::ios::binary);
        for (int i = 0; i < 64 * 1024; ++i) out.put(static_cast<char>(i * 7919 % 251));
    }
    withFileSizeLimit(16 * 1024, [&] { EXPECT_EQ(cantrel::exporting::zipFolder(folder), ""); });
    EXPECT_EQ(namesIn(root.host(exports)), std::vector<std::string>{"album"});
    EXPECT_EQ(namesIn(root.host(folder)), std::vector<std::string>{"track.mp3"});
    EXPECT_EQ(fs::file_size(root.host(folder + "/track.mp3")), 64u * 1024u);
}

}  // namespace

// Text that keeps bytes outside well-formed UTF-8 leaves for what demands
// well-formed text with U+FFFD in their place: it is drawn (and so is what
// comes after it), a property list holding it is written whole and read
// back, a tag's frame holds well-formed UTF-16, a web query well-formed
// UTF-8.
TEST_F(FailurePaths, TextOutsideUtf8LeavesWithReplacementCharacters) {
    AutoreleasePool pool;
    const std::string replaced = "A\xEF\xBF\xBD";
    NSString* name = NSString::make("A\xFF");

    auto inkOf = [](NSString* text) {
        id label = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("UILabel"), "alloc"_sel), "initWithFrame:"_sel,
                                            CGRectMake(0, 0, 60, 30));
        objc_msgSend<void(id)>(label, "setText:"_sel, text);
        objc_msgSend<void(id)>(label, "setBackgroundColor:"_sel, UIColor::make(1, 1, 1, 1));
        Strong<UIImage> picture(UIImage::withSurface(platform::renderView(static_cast<UIView*>(label), 1), 1));
        objc_release(label);
        int ink = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 60; ++x) ink += ((picture->pixel(x, y) >> 16) & 0xff) < 0x80;
        return ink;
    };
    EXPECT_GT(inkOf(NSString::make("\xFF\xFF")), 0) << "U+FFFD drawn";
    EXPECT_GT(inkOf("A"_ns), 0) << "text drawn after it";

    NSDictionary* list = NSDictionary::make({{name, name}});
    for (bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "XML");
        std::string encoded;
        ASSERT_TRUE(platform::encodePropertyList(list, binary, encoded));
        if (!binary) {
            EXPECT_TRUE(platform::unicode::isValidUtf8(encoded));
        }
        id back = platform::decodePropertyList(encoded);
        ASSERT_NE(back, nil);
        NSString* key = NSString::make(replaced);
        EXPECT_EQ(to_string(static_cast<NSString*>(objc_msgSend<id(id)>(back, "objectForKey:"_sel, key))), replaced);
    }

    // TIT2: UTF-16 with a byte-order mark, "A" then U+FFFD.
    std::string tag = cantrel::id3::renderExportTag(name->utf16(), u"", u"");
    size_t frame = tag.find("TIT2");
    ASSERT_NE(frame, std::string::npos);
    EXPECT_EQ(tag.substr(frame + 10, 7), std::string("\x01\xFF\xFE" "A\x00\xFD\xFF", 7));

    EXPECT_EQ(cantrel::panel::searchQuery(name->str()), "A%EF%BF%BD");
}
