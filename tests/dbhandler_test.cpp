// DBHandler against a media library file: every read and write, awkward
// names and ids, a locked database, a file that is no database and a
// missing one. Writes are read back through a second connection.
#include "DBHandler.h"

#include <Foundation/Foundation.h>
#include <MediaLibraryGenerator.h>
#include <MediaPlayer/MediaLibrary.h>
#include <gtest/gtest.h>
#include <platform/Log.h>
#include <platform/System.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Classes.h"
#include "ItemEntry.h"
#include "TestSupport.h"

namespace {

constexpr long long kTop = static_cast<long long>(0x8000000000000123ULL);  // an id with the top bit set
const std::string T = std::to_string(kTop);

// Titles that break SQL built as text, formats, or narrow encodings.
const char* const kTitles[] = {"Rock 'n' Roll", "100% \"Pure\" %@ %d %s",   "日本の歌",
                               "Ελληνικά 🎸",    "x'); DROP TABLE genre;--", ""};

// A connection of its own, as the Music app has.
struct Sql {
    sqlite3* db = nullptr;
    explicit Sql(const std::string& path) { sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr); }
    ~Sql() { sqlite3_close(db); }
    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) ADD_FAILURE() << sql << ": " << error;
        sqlite3_free(error);
    }
    // Each row's columns as text ("<NULL>" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
        std::vector<std::vector<std::string>> out;
        while (sqlite3_step(st) == SQLITE_ROW) {
            out.emplace_back();
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                auto* t = sqlite3_column_text(st, c);
                out.back().push_back(t ? reinterpret_cast<const char*>(t) : "<NULL>");
            }
        }
        sqlite3_finalize(st);
        return out;
    }
    // The first row's first column; "<none>" without a row.
    std::string get(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() ? "<none>" : r[0][0];
    }
};

// Stand-ins for a media item collection and its representative item.
struct TestItem : NSObject {
    OBJC_CLASS(TestItem)
    unsigned long long album = 0, artist = 0;
};
struct TestCollection : NSObject {
    OBJC_CLASS(TestCollection)
    Strong<TestItem> item;
};
unsigned long long albumPersistentID(TestItem* self, SEL) { return self->album; }
unsigned long long albumArtistPersistentID(TestItem* self, SEL) { return self->artist; }
id representativeItem(TestCollection* self, SEL) { return self->item.get(); }

// A device root with a library file; subclasses fill it.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Cantrel_registerClasses();
        if (objc_getClass("ItemEntry") == nil) registerItemEntry();
        if (TestItem::cls() == nil) {
            objc::ClassDef<TestItem>("TestItem", NSObject::cls())
                .method<albumPersistentID>("albumPersistentID")
                .method<albumArtistPersistentID>("albumArtistPersistentID");
            objc::ClassDef<TestCollection>("TestCollection", NSObject::cls())
                .method<representativeItem>("representativeItem");
        }
        LOGGER_ON = YES;
        platform::clearRecentLogLines();
    }
    void TearDown() override { LOGGER_ON = NO; }

    template <class F, class... A>
    auto send(const char* selector, A... args) {
        return objc_msgSend<F>(objc_msgSend<id()>(DBHandler::cls(), "sharedInstance"_sel), sel_registerName(selector),
                               args...);
    }
    std::string text(const char* selector, auto arg) {
        return to_string(send<NSString*(decltype(arg))>(selector, arg));
    }
    static std::string str(id o) { return to_string(static_cast<NSString*>(o)); }
    static long long num(id o) { return static_cast<NSNumber*>(o)->longLongValue(); }
    static bool logged(const std::string& line, bool prefix = false) {
        for (const auto& l : platform::recentLogLines())
            if (prefix ? l.rfind(line, 0) == 0 : l == line) return true;
        return false;
    }
    // The two paired lists of getGenres or getArtists, as "name=id" lines.
    std::vector<std::string> pairs(const char* selector, NSString* names, NSString* ids) {
        auto* d = static_cast<NSDictionary*>(send<id()>(selector));
        auto* n = static_cast<NSArray*>(d->objectForKey(names));
        auto* i = static_cast<NSArray*>(d->objectForKey(ids));
        EXPECT_EQ(n->count(), i->count());
        std::vector<std::string> out;
        for (NSUInteger k = 0; k < std::min(n->count(), i->count()); ++k)
            out.push_back(str(n->at(k)) + "=" + std::to_string(num(i->at(k))));
        return out;
    }
    std::vector<std::string> pairs(const std::string& query) {
        std::vector<std::string> out;
        for (auto& r : sql->rows(query)) out.push_back(r[0] + "=" + r[1]);
        return out;
    }
    id entry(long viewIndex, unsigned long long album, unsigned long long artist) {
        auto* item = static_cast<TestItem*>(class_createInstance(TestItem::cls()));
        item->album = album, item->artist = artist;
        auto* collection = static_cast<TestCollection*>(class_createInstance(TestCollection::cls()));
        collection->item = Strong<TestItem>::adopt(item);
        auto* e = static_cast<ItemEntry*>(autorelease(class_createInstance(ItemEntry::cls())));
        e->viewIndex = viewIndex;
        e->mediaItemCollection = Strong<NSObject>::adopt(collection);
        return e;
    }

    AutoreleasePool pool;
    test::TempRoot root;
    std::string path = root.host(platform::mediaLibraryDevicePath());
    std::unique_ptr<Sql> sql;
};

// A few rows written by hand, so that every answer is known.
class DBHandlerTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        ASSERT_TRUE(platform::makeDeviceDirectories("var/mobile/Media/iTunes_Control/iTunes"));
        std::string error;
        ASSERT_TRUE(platform::createMediaLibrary(path, &error)) << error;
        sql = std::make_unique<Sql>(path);
        std::string rows = R"sql(
INSERT INTO genre VALUES (1,'Rock'),(2,'Ambient'),(3,''),(4,NULL),(TOP,'Jazz ''n'' 100%'),(5,'日本の歌 🎸');
INSERT INTO album_artist(album_artist_pid,album_artist) VALUES (10,'Zed'),(11,'Abba'),(12,''),(13,NULL),(TOP,'Ünï 🎤');
INSERT INTO album(album_pid,album,album_artist_pid) VALUES (20,'First',10),(TOP,'Top',TOP);
INSERT INTO item(item_pid,album_pid,album_artist_pid,album_artist_order,album_artist_order_section,
                 genre_id,genre_order,genre_order_section)
    VALUES (100,20,10,500,3,1,700,4),(101,20,11,501,0,1,701,4),(TOP,TOP,TOP,900,26,TOP,800,26);
INSERT INTO item_stats(item_pid,is_alarm) VALUES (100,1),(TOP,0);
INSERT INTO item_playback(item_pid,sample_rate,bit_rate) VALUES (100,44100,256),(101,48000,320),(TOP,96000.5,1411);
INSERT INTO container(container_pid,name,is_hidden)
    VALUES (30,'Mix ''90s'' 50%',0),(31,'H',1),(32,'Two',2),(33,NULL,1),(TOP,'Плейлист 🎶',1);
INSERT INTO artwork(artwork_token,relative_path) VALUES ('12','a/12.jpg'),('7','b/7.jpg'),('/abs/99','c.jpg'),
    ('tok''en','q/it''s.jpg'),('ключ','k/ключ.jpg'),('nopath',NULL);
INSERT INTO item_artwork(item_pid,best_artwork_token) VALUES (100,'12'),(TOP,'ключ'),(101,NULL);
INSERT INTO sort_map VALUES ('Ambient',300,0,x'00'),('Rock',9999,17,x'01');
)sql";
        for (size_t at; (at = rows.find("TOP")) != std::string::npos;) rows.replace(at, 3, T);
        sql->exec(rows);
    }
};

TEST_F(DBHandlerTest, SharedInstanceIsANewObjectEachTime) {
    id a = objc_msgSend<id()>(DBHandler::cls(), "sharedInstance"_sel);
    EXPECT_NE(a, objc_msgSend<id()>(DBHandler::cls(), "sharedInstance"_sel));
    EXPECT_EQ(objc_retainCount(a), 1u);  // owned by the pool only
}

TEST_F(DBHandlerTest, SingleRowReads) {
    EXPECT_TRUE((send<BOOL(long long)>("getIsPlaylistHidden:", 31LL)));
    EXPECT_TRUE((send<BOOL(long long)>("getIsPlaylistHidden:", kTop)));
    for (long long pid : {30LL, 32LL, 999LL}) EXPECT_FALSE((send<BOOL(long long)>("getIsPlaylistHidden:", pid))) << pid;
    EXPECT_EQ(text("getGenreName:", 5LL), "日本の歌 🎸");
    EXPECT_EQ(text("getGenreName:", kTop), "Jazz 'n' 100%");
    EXPECT_EQ(text("getGenreName:", 999LL), "");
    EXPECT_EQ(text("getPlaylistName:", 30LL), "Mix '90s' 50%");
    EXPECT_EQ(text("getPlaylistName:", kTop), "Плейлист 🎶");
    EXPECT_EQ(text("getArtworkTokenByItem_pid:", 100ULL), "12");
    EXPECT_EQ(text("getArtworkTokenByItem_pid:", static_cast<unsigned long long>(kTop)), "ключ");
    EXPECT_EQ(text("getArtworkPathForToken:", NSString::make("ключ")), "k/ключ.jpg");
    EXPECT_EQ(text("getArtworkPathForToken:", NSString::make("tok'en")), "q/it's.jpg");
    EXPECT_EQ(text("getArtworkPathForToken:", NSString::make("12 OR 1=1")), "");  // a value, never SQL
    EXPECT_TRUE(logged("getArtworkPathForToken - sqlite3_step(sqlStatement) == SQLITE_ROW 2"));
}

TEST_F(DBHandlerTest, NullTextEndsInTheExceptionPathWithAnEmptyString) {
    EXPECT_EQ(text("getGenreName:", 4LL), "");
    EXPECT_EQ(text("getPlaylistName:", 33LL), "");
    EXPECT_EQ(text("getArtworkTokenByItem_pid:", 101ULL), "");
    EXPECT_EQ(text("getArtworkPathForToken:", NSString::make("nopath")), "");
    EXPECT_TRUE(logged("getGenreName - An exception occured: column 0 holds NULL, not text"));
    EXPECT_TRUE(logged("getArtworkPathForToken - An exception occured: column 0 holds NULL, not text"));
}

TEST_F(DBHandlerTest, EmptyTokenAnswersAtOnce) {
    EXPECT_EQ(text("getArtworkPathForToken:", ""_ns), "");
    EXPECT_EQ(text("getArtworkPathForToken:", static_cast<NSString*>(nullptr)), "");
    EXPECT_FALSE(logged(
        "getArtworkPathForToken - Prepare statement SUCCESS!: SELECT relative_path FROM artwork WHERE artwork_token = ?"));
}

TEST_F(DBHandlerTest, GenresAndArtistsAreSortedPairedAndSkipEmptyNames) {
    EXPECT_EQ(pairs("getGenres", "genreNames"_ns, "genreIDs"_ns),
              (std::vector<std::string>{"Ambient=2", "Jazz 'n' 100%=" + T, "Rock=1", "日本の歌 🎸=5"}));
    EXPECT_EQ(pairs("getArtists", "artistNames"_ns, "artistIDs"_ns),
              (std::vector<std::string>{"Abba=11", "Zed=10", "Ünï 🎤=" + T}));
    sql->exec("DELETE FROM genre");
    EXPECT_TRUE(pairs("getGenres", "genreNames"_ns, "genreIDs"_ns).empty());
}

TEST_F(DBHandlerTest, NextArtworkTokenIsOneMoreThanTheLargestNumber) {
    auto next = [&] { return to_string(send<NSString*()>("getNextArtworkToken")); };
    EXPECT_EQ(next(), "13");  // 12, 7; "/abs/99" and words do not count
    sql->exec("INSERT INTO artwork(artwork_token) VALUES ('300abc')");
    EXPECT_EQ(next(), "301");
    sql->exec("INSERT INTO artwork(artwork_token) VALUES ('5000000000')");  // past 32 bits
    EXPECT_EQ(next(), "5000000001");
    sql->exec("INSERT INTO artwork(artwork_token) VALUES ('9223372036854775807')");
    EXPECT_EQ(next(), "");  // nothing larger exists
    sql->exec("DELETE FROM artwork WHERE artwork_token GLOB '[0-9]*'");
    EXPECT_EQ(next(), "1");
    EXPECT_TRUE(logged("largestNo = 0"));
}

TEST_F(DBHandlerTest, SortPositions) {
    auto genre = [&](long long id, const char* name) {
        auto* a = send<NSMutableArray*(long long, NSString*)>("getItemGenreSpecificsByFromGenreID:andGenreName:", id,
                                                              NSString::make(name));
        return a->count() == 2 ? std::to_string(num(a->at(0))) + "/" + std::to_string(num(a->at(1)))
                               : "<" + std::to_string(a->count()) + ">";
    };
    EXPECT_EQ(genre(1, "Rock"), "700/4");  // items first: sort_map's "Rock" is not asked
    EXPECT_EQ(genre(kTop, "x"), "800/26");
    EXPECT_EQ(genre(2, "Ambient"), "300/0");  // no items: the name's sort position
    EXPECT_EQ(genre(77, "Nothing"), "<0>");
    auto* artist = send<NSMutableArray*(long long)>("getItemArtistSpecificsByFromArtistID:", kTop);
    ASSERT_EQ(artist->count(), 2u);
    EXPECT_EQ(num(artist->at(0)), 900);
    EXPECT_EQ(send<NSMutableArray*(long long)>("getItemArtistSpecificsByFromArtistID:", 99LL)->count(), 0u);
}

TEST_F(DBHandlerTest, ItemDetailsNeedBothRowsAndTakeTopBitIds) {
    auto* d = send<NSMutableArray*(unsigned long long)>("getItemDetails:", static_cast<unsigned long long>(kTop));
    ASSERT_EQ(d->count(), 3u);
    EXPECT_EQ(static_cast<NSNumber*>(d->at(0))->doubleValue(), 96000.5);
    EXPECT_EQ(num(d->at(1)), 1411);
    EXPECT_EQ(num(send<NSMutableArray*(unsigned long long)>("getItemDetails:", 100ULL)->at(2)), 1);
    EXPECT_EQ(send<NSMutableArray*(unsigned long long)>("getItemDetails:", 101ULL)->count(), 0u);  // no item_stats row
}

TEST_F(DBHandlerTest, NameWritesStoreEveryTitleIntact) {
    for (const char* title : kTitles) {
        send<void(long long, NSString*)>("updateGenreName:andTitle:", kTop, NSString::make(title));
        EXPECT_EQ(sql->get("SELECT genre FROM genre WHERE genre_id=" + T), title);
        send<void(long long, NSString*)>("updatePlaylistName:andTitle:", 30LL, NSString::make(title));
        EXPECT_EQ(sql->get("SELECT name FROM container WHERE container_pid=30"), title);
    }
    for (id notATitle : {static_cast<id>(nullptr), static_cast<id>(NSNumber::withLongLong(5))})
        send<void(long long, id)>("updateGenreName:andTitle:", 1LL, notATitle);
    EXPECT_EQ(sql->get("SELECT genre FROM genre WHERE genre_id=1"), "Rock");  // erases nothing
    EXPECT_TRUE(logged("updateGenreName - error executing"));
    EXPECT_EQ(sql->get("SELECT count(*) FROM genre"), "6");
}

TEST_F(DBHandlerTest, ArtworkTokenWriteReportsWhetherARowTookIt) {
    using Update = BOOL(unsigned long long, NSString*);
    EXPECT_TRUE(send<Update>("updateSongArtworkDetails:token:", static_cast<unsigned long long>(kTop),
                             NSString::make("it's 🎨")));
    EXPECT_EQ(sql->get("SELECT sync_artwork_token FROM item_artwork WHERE item_pid=" + T), "it's 🎨");
    EXPECT_FALSE(send<Update>("updateSongArtworkDetails:token:", 555ULL, NSString::make("13")));
    EXPECT_TRUE(logged(
        "updateSongArtworkDetails - An exception occured: updateSongArtworkDetails - No artwork row for item_pid 555"));
    EXPECT_FALSE(send<Update>("updateSongArtworkDetails:token:", 100ULL, ""_ns));
    EXPECT_EQ(sql->get("SELECT sync_artwork_token FROM item_artwork WHERE item_pid=100"), "<NULL>");
}

TEST_F(DBHandlerTest, AlbumAndArtistTitlesFollowTheViewIndex) {
    using Update = void(id, NSString*);
    const auto top = static_cast<unsigned long long>(kTop);
    for (long viewIndex : {kViewIndexAlbums, kViewIndexFlipsideAlbum}) {
        NSString* title = NSStringWithFormat("Album %ld's 100%%", viewIndex);
        send<Update>("updateAlbumOrArtistTitlesInDB:andTitle:", entry(viewIndex, top, 10), title);
        EXPECT_EQ(sql->get("SELECT album || '|' || sort_album FROM album WHERE album_pid=" + T),
                  title->str() + "|" + title->str());
    }
    send<Update>("updateAlbumOrArtistTitlesInDB:andTitle:", entry(kViewIndexArtists, 20, top),
                 NSString::make("Ärtist \"X\""));
    EXPECT_EQ(sql->get("SELECT sort_album_artist FROM album_artist WHERE album_artist_pid=" + T), "Ärtist \"X\"");
    EXPECT_TRUE(logged("DBHandler- updateAlbumOrArtistTitlesInDB SUCCESS: not an error"));
    platform::clearRecentLogLines();
    send<Update>("updateAlbumOrArtistTitlesInDB:andTitle:", entry(kViewIndexSongs, 20, 10), NSString::make("Nope"));
    send<Update>("updateAlbumOrArtistTitlesInDB:andTitle:", entry(kViewIndexAlbums, 20, 10),
                 static_cast<NSString*>(nullptr));
    EXPECT_EQ(sql->get("SELECT album FROM album WHERE album_pid=20"), "First");
    EXPECT_TRUE(logged("DBHandler- updateAlbumOrArtistTitlesInDB FAILED: not an error"));
    EXPECT_TRUE(logged("updateAlbumOrArtistTitlesInDB - END\r\n\r\n"));
    send<Update>("updateAlbumOrArtistTitlesInDB:andTitle:", NSString::make("not an entry"), NSString::make("x"));
    EXPECT_TRUE(logged("updateAlbumOrArtistTitlesInDB - An exception occured: ", true));
}

TEST_F(DBHandlerTest, GenreAndAlbumArtistWritesChooseTheirRows) {
    using Genre = void(unsigned long long, long long, long long, int, long long, BOOL);
    const char* select =
        "SELECT group_concat(item_pid || ':' || genre_id || ':' || genre_order || ':' || genre_order_section, ' ') "
        "FROM (SELECT * FROM item ORDER BY item_pid)";
    send<Genre>("updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:", 20ULL, 2LL, 31LL,
                1, 2LL, NO);
    EXPECT_EQ(sql->get(select), T + ":" + T + ":800:26 100:2:31:1 101:2:31:1");
    send<Genre>("updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:", 11ULL, 5LL, 1LL, 0,
                1LL, NO);
    EXPECT_EQ(sql->get(select), T + ":" + T + ":800:26 100:2:31:1 101:5:1:0");
    for (long long viewIndex : {-1LL, 0LL, 12LL}) {  // by item
        send<Genre>("updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:",
                    static_cast<unsigned long long>(kTop), kTop, 9LL + viewIndex, 3, viewIndex, NO);
        EXPECT_EQ(sql->get(select), T + ":" + T + ":" + std::to_string(9 + viewIndex) + ":3 100:2:31:1 101:5:1:0");
    }
    send<void(long long, long long)>("updateAlbumArtistFor_pid:artist_id:", kTop, 11LL);
    EXPECT_EQ(sql->get("SELECT album_artist_pid FROM album WHERE album_pid=" + T), "11");
    send<void(unsigned long long, long long, long long, int)>(
        "updateItemAlbum_ArtistFor_pid:album_artist_pid:album_artist_order:album_artist_order_section:", 100ULL, kTop,
        42LL, 7);
    EXPECT_EQ(
        sql->get(
            "SELECT album_artist_pid || ':' || album_artist_order || ':' || album_artist_order_section FROM item WHERE item_pid=100"),
        T + ":42:7");
    EXPECT_TRUE(logged("DBHandler- updateItemAlbum_ArtistFor_pid SUCCESS"));
}

TEST_F(DBHandlerTest, LoggingIsOffWithTheSwitch) {
    LOGGER_ON = NO;
    EXPECT_EQ(text("getGenreName:", 4LL), "");
    EXPECT_TRUE(platform::recentLogLines().empty());
}

// A lock held by another connection: the write waits about 2 s, fails and
// changes nothing; a lock released in time lets it through.
TEST_F(DBHandlerTest, LockedDatabaseWritesWaitThenFailCleanly) {
    Sql other(path);
    other.exec("BEGIN IMMEDIATE; UPDATE genre SET genre='theirs' WHERE genre_id=2;");
    auto timed = [](auto&& f) {
        auto start = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double sqliteWait =
        timed([&] { send<void(long long, NSString*)>("updateGenreName:andTitle:", 1LL, NSString::make("mine")); });
    double fmdbWait =
        timed([&] { send<void(long long, long long)>("updateAlbumArtistFor_pid:artist_id:", 20LL, 11LL); });
    for (double wait : {sqliteWait, fmdbWait}) {
        EXPECT_GE(wait, 1.9);
        EXPECT_LT(wait, 6.0);
    }
    EXPECT_TRUE(logged("updateGenreName - error executing"));
    EXPECT_TRUE(logged("DBHandler- updateAlbumArtistFor_pid FAILED: database is locked"));
    other.exec("ROLLBACK");
    EXPECT_EQ(sql->get("SELECT genre FROM genre WHERE genre_id=1"), "Rock");
    EXPECT_EQ(sql->get("SELECT album_artist_pid FROM album WHERE album_pid=20"), "10");

    other.exec("BEGIN IMMEDIATE; UPDATE genre SET genre='theirs' WHERE genre_id=1;");
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        other.exec("COMMIT");
    });
    send<void(long long, NSString*)>("updateGenreName:andTitle:", 1LL, NSString::make("mine"));
    release.join();
    EXPECT_EQ(sql->get("SELECT genre FROM genre WHERE genre_id=1"), "mine");
}

// Within one wait, the operations on a locked library, and the platform's
// own reads, share its deadline instead of waiting 2 s each, also in a wait
// made inside it; each failed one is counted, and each still gives its
// empty answer.
TEST_F(DBHandlerTest, OperationsInOneWaitShareItsDeadlineAndAreCounted) {
    Sql other(path);
    other.exec("BEGIN EXCLUSIVE");
    auto start = std::chrono::steady_clock::now();
    {
        platform::MediaLibraryWait wait(std::chrono::milliseconds(300));
        platform::MediaLibraryWait inner(std::chrono::milliseconds(2000));
        auto counted = [&](auto&& operation) {
            unsigned long before = wait.failures();
            operation();
            EXPECT_GT(wait.failures(), before);
        };
        counted([&] {
            EXPECT_EQ(pairs("getGenres", "genreNames"_ns, "genreIDs"_ns), std::vector<std::string>{});
        });
        counted([&] { EXPECT_EQ(text("getGenreName:", 1LL), ""); });
        counted([&] { EXPECT_EQ(send<NSArray*(long long)>("getItemArtistSpecificsByFromArtistID:", 10LL)->count(), 0u); });
        counted([&] { send<void(long long, NSString*)>("updateGenreName:andTitle:", 1LL, NSString::make("mine")); });
        counted([&] { send<void(long long, long long)>("updateAlbumArtistFor_pid:artist_id:", 20LL, 11LL); });
        counted([&] { EXPECT_FALSE(DBWaitUntilWritable()); });
        counted([&] { EXPECT_FALSE(platform::readMediaLibrary("SELECT item_pid FROM item", {}, [](sqlite3_stmt*) {})); });
        EXPECT_EQ(wait.remainingMilliseconds(), 0);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // One wait of 0.3 s, not 2 s for each of the seven statements.
    EXPECT_LT(seconds, 3.0);
    other.exec("ROLLBACK");

    platform::MediaLibraryWait wait(std::chrono::milliseconds(300));
    EXPECT_EQ(text("getGenreName:", 1LL), "Rock");
    send<void(long long, NSString*)>("updateGenreName:andTitle:", 1LL, NSString::make("mine"));
    EXPECT_TRUE(DBWaitUntilWritable());
    EXPECT_EQ(wait.failures(), 0u);
    EXPECT_EQ(sql->get("SELECT genre FROM genre WHERE genre_id=1"), "mine");
}

TEST_F(DBHandlerTest, AFileThatIsNoDatabaseIsLeftAlone) {
    sql.reset();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << "not a database at all";
    EXPECT_EQ(text("getGenreName:", 1LL), "");
    EXPECT_EQ(to_string(send<NSString*()>("getNextArtworkToken")), "");
    EXPECT_EQ(pairs("getArtists", "artistNames"_ns, "artistIDs"_ns).size(), 0u);
    send<void(long long, NSString*)>("updateGenreName:andTitle:", 1LL, NSString::make("x"));
    EXPECT_FALSE(
        (send<BOOL(unsigned long long, NSString*)>("updateSongArtworkDetails:token:", 100ULL, NSString::make("1"))));
    send<void(long long, long long)>("updateAlbumArtistFor_pid:artist_id:", 20LL, 11LL);
    EXPECT_TRUE(logged("getGenreName - Problem with prepare statement"));
    EXPECT_TRUE(logged("DBHandler- updateAlbumArtistFor_pid FAILED: file is not a database"));
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a database at all");
}

TEST_F(DBHandlerTest, MissingDatabaseEndsTheMusicAppAndIsNeverCreated) {
    sql.reset();
    std::filesystem::remove(path);
    platform::clearSystemRequests();
    EXPECT_EQ(text("getGenreName:", 1LL), "");
    EXPECT_EQ(to_string(send<NSString*()>("getNextArtworkToken")), "");
    EXPECT_FALSE(
        (send<BOOL(unsigned long long, NSString*)>("updateSongArtworkDetails:token:", 100ULL, NSString::make("1"))));
    send<void(long long, long long)>("updateAlbumArtistFor_pid:artist_id:", 20LL, 11LL);
    auto requests = platform::systemRequests();
    ASSERT_EQ(requests.size(), 4u);  // one per operation
    for (const auto& r : requests) {
        EXPECT_EQ(r.command, "killall -9 Music");
        EXPECT_TRUE(r.accepted);
        EXPECT_EQ(r.result, 1);  // no Music host runs here
    }
    EXPECT_TRUE(logged(
        "Cannot locate database file 'var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb'. \r\n\r\n\r\n"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace

namespace {

// The library that mklibrary makes: every read agrees with the file, and
// every name and id survives the writes.
class GeneratedLibraryTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        LOGGER_ON = NO;
        std::string error;
        ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {300, 7}, &error)) << error;
        sql = std::make_unique<Sql>(path);
    }
};

TEST_F(GeneratedLibraryTest, ReadsAgreeWithTheFile) {
    EXPECT_EQ(pairs("getGenres", "genreNames"_ns, "genreIDs"_ns),
              pairs("SELECT genre, genre_id FROM genre WHERE genre <> '' ORDER BY genre"));
    EXPECT_EQ(
        pairs("getArtists", "artistNames"_ns, "artistIDs"_ns),
        pairs(
            "SELECT album_artist, album_artist_pid FROM album_artist WHERE album_artist <> '' ORDER BY album_artist"));
    auto orEmpty = [](const std::string& v) { return v == "<NULL>" || v == "<none>" ? std::string() : v; };
    for (auto& r : sql->rows("SELECT genre_id, genre FROM genre"))
        EXPECT_EQ(text("getGenreName:", std::stoll(r[0])), orEmpty(r[1]));
    for (auto& r : sql->rows("SELECT container_pid, name, is_hidden FROM container")) {
        EXPECT_EQ(text("getPlaylistName:", std::stoll(r[0])), orEmpty(r[1]));
        EXPECT_EQ((send<BOOL(long long)>("getIsPlaylistHidden:", std::stoll(r[0]))), r[2] == "1");
    }
    size_t withDetails = 0;
    for (
        auto& r : sql->rows(
            "SELECT i.item_pid, a.best_artwork_token, w.relative_path, s.item_pid IS NOT NULL AND p.item_pid IS NOT NULL "
            "FROM item i LEFT JOIN item_artwork a USING (item_pid) LEFT JOIN artwork w ON w.artwork_token = a.best_artwork_token "
            "LEFT JOIN item_stats s ON s.item_pid = i.item_pid LEFT JOIN item_playback p ON p.item_pid = i.item_pid")) {
        auto pid = static_cast<unsigned long long>(std::stoll(r[0]));
        NSString* token = send<NSString*(unsigned long long)>("getArtworkTokenByItem_pid:", pid);
        EXPECT_EQ(to_string(token), orEmpty(r[1])) << pid;
        EXPECT_EQ(text("getArtworkPathForToken:", token), orEmpty(r[2])) << pid;
        size_t details = send<NSMutableArray*(unsigned long long)>("getItemDetails:", pid)->count();
        EXPECT_EQ(details, r[3] == "1" ? 3u : 0u) << pid;
        withDetails += details > 0;
    }
    EXPECT_GT(withDetails, 0u);
}

TEST_F(GeneratedLibraryTest, EveryNameAndIdSurvivesTheWrites) {
    auto renamed = [](const std::string& name) { return name + " ✓ 'x' 50%"; };
    for (auto& r : sql->rows("SELECT genre_id, genre FROM genre"))
        send<void(long long, NSString*)>("updateGenreName:andTitle:", std::stoll(r[0]), NSString::make(renamed(r[1])));
    for (auto& r : sql->rows("SELECT container_pid, name FROM container"))
        send<void(long long, NSString*)>("updatePlaylistName:andTitle:", std::stoll(r[0]),
                                         NSString::make(renamed(r[1])));
    for (auto& r : sql->rows("SELECT album_pid, album FROM album"))
        send<void(id, NSString*)>("updateAlbumOrArtistTitlesInDB:andTitle:",
                                  entry(kViewIndexAlbums, static_cast<unsigned long long>(std::stoll(r[0])), 0),
                                  NSString::make(renamed(r[1])));
    EXPECT_EQ(sql->get("SELECT count(*) FROM genre WHERE genre NOT LIKE '% ✓ ''x'' 50!%' ESCAPE '!'"), "0");
    EXPECT_EQ(sql->get("SELECT count(*) FROM container WHERE name NOT LIKE '% ✓ ''x'' 50!%' ESCAPE '!'"), "0");
    EXPECT_EQ(
        sql->get("SELECT count(*) FROM album WHERE album NOT LIKE '% ✓ ''x'' 50!%' ESCAPE '!' OR sort_album <> album"),
        "0");

    auto top = sql->rows(
        "SELECT item_pid, album_artist_pid FROM item WHERE item_pid < 0 AND item_pid IN (SELECT item_pid FROM item_artwork)");
    ASSERT_FALSE(top.empty());
    for (auto& r : top) {
        auto pid = static_cast<unsigned long long>(std::stoll(r[0]));
        EXPECT_TRUE(
            (send<BOOL(unsigned long long, NSString*)>("updateSongArtworkDetails:token:", pid, NSString::make(r[0]))));
        send<void(unsigned long long, long long, long long, int, long long, BOOL)>(
            "updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:", pid, std::stoll(r[0]),
            1LL, 2, 0LL, NO);
    }
    EXPECT_EQ(
        sql->get(
            "SELECT count(*) FROM item_artwork WHERE item_pid < 0 AND sync_artwork_token = CAST(item_pid AS TEXT)"),
        std::to_string(top.size()));
    EXPECT_EQ(sql->get("SELECT count(*) FROM item WHERE genre_id = item_pid"), std::to_string(top.size()));
}

}  // namespace
