// The media library: its schema against the statements the library runs,
// the generator, and the MediaPlayer classes over a generated library
// (queries, collections, items, artwork, writes, a missing database).
#include <gtest/gtest.h>

#include "ProcessSupport.h"
#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <InstalledBundles.h>
#include <MediaLibraryGenerator.h>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;

// A direct connection to the library file, for checking what the classes
// read and write.
class Sql {
public:
    explicit Sql(const std::string& path) { sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr); }
    ~Sql() { sqlite3_close(db_); }
    Sql(const Sql&) = delete;
    Sql& operator=(const Sql&) = delete;

    sqlite3* db() const { return db_; }

    // Every row, columns joined by '|', NULL as "<NULL>".
    std::vector<std::string> rows(const std::string& sql) const {
        std::vector<std::string> out;
        sqlite3_stmt* st = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql << ": " << sqlite3_errmsg(db_);
        while (st && sqlite3_step(st) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) row += '|';
                auto* t = sqlite3_column_text(st, c);
                row += t ? reinterpret_cast<const char*>(t) : "<NULL>";
            }
            out.push_back(row);
        }
        sqlite3_finalize(st);
        return out;
    }
    std::string get(const std::string& sql) const {
        auto r = rows(sql);
        return r.empty() ? "<none>" : r.front();
    }
    std::vector<int64_t> ids(const std::string& sql) const {
        std::vector<int64_t> out;
        for (const std::string& r : rows(sql)) out.push_back(std::stoll(r));
        return out;
    }
    void exec(const std::string& sql) const {
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
        sqlite3_free(message);
    }

private:
    sqlite3* db_ = nullptr;
};

std::string libraryPath(const std::string& root) {
    return (fs::path(root) / platform::mediaLibraryDevicePath()).string();
}

// A fresh device root with a generated library of 200 songs.
class Library : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {200, 1}, &error)) << error;
        sql = std::make_unique<Sql>(libraryPath(root.path()));
    }

    test::TempRoot root;
    std::unique_ptr<Sql> sql;
    AutoreleasePool pool;
};

id send(id obj, SEL sel) { return objc_msgSend<id()>(obj, sel); }
// An answer that must be an NSArray.
NSArray* list(id obj, SEL sel) {
    id answer = send(obj, sel);
    EXPECT_TRUE(objc_isKindOfClass(answer, NSArray::cls())) << sel_getName(sel);
    return objc_isKindOfClass(answer, NSArray::cls()) ? static_cast<NSArray*>(answer) : NSArray::make({});
}
NSArray* songs() { return list(send(MPMediaQuery::cls(), "songsQuery"_sel), "items"_sel); }
NSArray* collectionsOf(SEL query) { return list(send(MPMediaQuery::cls(), query), "collections"_sel); }
unsigned long long pidOf(id entity) { return objc_msgSend<unsigned long long()>(entity, "persistentID"_sel); }
std::string text(id obj, SEL sel) {
    id v = objc_msgSend<id()>(obj, sel);
    return v ? static_cast<NSString*>(v)->str() : "<NULL>";
}
id valueOf(id obj, NSString* key) { return objc_msgSend<id(id)>(obj, "valueForProperty:"_sel, key); }
unsigned long long unsignedLongLongOf(id number) {
    return number ? static_cast<NSNumber*>(number)->unsignedLongLongValue() : 0;
}
std::string dec(unsigned long long pid) { return std::to_string(static_cast<long long>(pid)); }

NSArray* itemsWhere(NSString* property, id value, NSInteger comparison = MPMediaPredicateComparisonEqualTo) {
    id predicate = objc_msgSend<id(id, id, NSInteger)>(MPMediaPropertyPredicate::cls(),
                                                       "predicateWithValue:forProperty:comparisonType:"_sel, value,
                                                       property, comparison);
    id query = objc_msgSend<id(id)>(objc_msgSend<id()>(MPMediaQuery::cls(), "alloc"_sel),
                                    "initWithFilterPredicates:"_sel, NSArray::make({predicate}));
    NSArray* items = list(query, "items"_sel);
    objc_release(query);
    return items;
}

std::vector<unsigned long long> pids(NSArray* entities) {
    std::vector<unsigned long long> out;
    for (id e : *entities) out.push_back(pidOf(e));
    return out;
}

std::vector<unsigned long long> asUnsigned(const std::vector<int64_t>& v) {
    return std::vector<unsigned long long>(v.begin(), v.end());
}

// ---------------------------------------------------------------------------
// The schema serves the library's own statements.

TEST_F(Library, SchemaServesTheLibrarysReads) {
    std::string hidden = sql->get("SELECT container_pid FROM container WHERE name = 'Hidden Gems'");
    std::string genreId = sql->get("SELECT genre_id FROM genre WHERE genre = 'Jazz'");
    std::string withArt = sql->get("SELECT item_pid FROM item_artwork WHERE best_artwork_token <> '' LIMIT 1");
    // Each statement as the library prepares it, with its parameters.
    struct Case {
        std::string sql;
        std::vector<std::string> bind;  // a number binds as int64, anything else as text
        std::string expected;           // the first row
    };
    std::string plainItem = sql->get("SELECT item_pid FROM item WHERE item_pid > 0 AND item_pid IN "
                                     "(SELECT item_pid FROM item_playback) AND item_pid IN (SELECT item_pid FROM item_stats)");
    std::string token = sql->get("SELECT best_artwork_token FROM item_artwork WHERE item_pid = " + withArt);
    std::vector<Case> cases = {
        {"SELECT is_hidden FROM container WHERE container_pid = ?", {hidden}, "1"},
        {"SELECT genre FROM genre WHERE genre_id = ?", {genreId}, "Jazz"},
        {"SELECT name FROM container WHERE container_pid = ?", {hidden}, "Hidden Gems"},
        {"SELECT best_artwork_token FROM item_artwork WHERE item_pid = ?", {withArt}, token},
        // Formatted in without quotes: the TEXT affinity of artwork_token makes the number match.
        {"SELECT relative_path FROM artwork WHERE artwork_token= " + token, {},
         sql->get("SELECT relative_path FROM artwork WHERE artwork_token = '" + token + "'")},
        {"SELECT artwork_token FROM artwork WHERE artwork_token <> '' ORDER BY artwork_token ASC", {}, "1"},
        {"SELECT genre, genre_id FROM genre WHERE genre <> '' order by genre asc", {}, "Classical|" +
                                                                                         sql->get("SELECT genre_id FROM genre WHERE genre = 'Classical'")},
        {"SELECT album_artist, album_artist_pid FROM album_artist WHERE album_artist <> '' order by album_artist asc",
         {}, "100% Pure|" + sql->get("SELECT album_artist_pid FROM album_artist WHERE album_artist = '100% Pure'")},
        {"SELECT genre_order, genre_order_section FROM item WHERE genre_id = ?",
         {sql->get("SELECT genre_id FROM item LIMIT 1")},
         sql->get("SELECT name_order || '|' || name_section FROM sort_map WHERE name = (SELECT g.genre FROM item i "
                  "JOIN genre g ON g.genre_id = i.genre_id LIMIT 1)")},
        {"SELECT name_order, name_section FROM sort_map WHERE name = ?", {"Rock"},
         sql->get("SELECT name_order || '|' || name_section FROM sort_map WHERE name = 'Rock'")},
        {"SELECT album_artist_order, album_artist_order_section FROM item WHERE album_artist_pid = ?",
         {sql->get("SELECT album_artist_pid FROM album_artist WHERE album_artist = 'Сполох'")},
         sql->get("SELECT name_order || '|26' FROM sort_map WHERE name = 'Сполох'")},
        {"SELECT  sample_rate , bit_rate, is_alarm FROM item_stats, item_playback WHERE item_stats.item_pid  = " +
             plainItem + " AND item_playback.item_pid = " + plainItem,
         {}, "44100.0|128|" + sql->get("SELECT is_alarm FROM item_stats WHERE item_pid = " + plainItem)},
    };
    for (const Case& c : cases) {
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(sql->db(), c.sql.c_str(), -1, &st, nullptr), SQLITE_OK)
            << c.sql << ": " << sqlite3_errmsg(sql->db());
        int index = 1;
        for (const std::string& b : c.bind) {
            bool number = !b.empty() && b.find_first_not_of("-0123456789") == std::string::npos;
            if (number) sqlite3_bind_int64(st, index++, std::stoll(b));
            else sqlite3_bind_text(st, index++, b.c_str(), -1, SQLITE_TRANSIENT);
        }
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW) << c.sql;
        std::string row;
        for (int k = 0; k < sqlite3_column_count(st); ++k) {
            if (k) row += '|';
            auto* t = sqlite3_column_text(st, k);
            row += t ? reinterpret_cast<const char*>(t) : "<NULL>";
        }
        EXPECT_EQ(row, c.expected) << c.sql;
        sqlite3_finalize(st);
    }
}

TEST_F(Library, SchemaTakesTheLibrarysWritesAndTheClassesSeeThem) {
    std::string item = sql->get("SELECT item_pid FROM item WHERE album_pid IN (SELECT album_pid FROM album WHERE album = 'Don''t Look Back')");
    std::string album = sql->get("SELECT album_pid FROM item WHERE item_pid = " + item);
    std::string artist = sql->get("SELECT album_artist_pid FROM item WHERE item_pid = " + item);
    std::string genre = sql->get("SELECT genre_id FROM item WHERE item_pid = " + item);
    std::string playlist = sql->get("SELECT container_pid FROM container WHERE name = 'Road Trip'");
    std::string otherGenre = sql->get("SELECT genre_id FROM genre WHERE genre = 'Folk'");
    struct Write {
        std::string sql;
        std::vector<std::string> bind;
    };
    std::vector<Write> writes = {
        {"UPDATE genre SET genre = ? WHERE genre_id = ?", {"Jazz 'n' 100%", genre}},
        {"UPDATE container SET name = ? WHERE container_pid = ?", {"Trip 'n' Roll", playlist}},
        {"UPDATE item_artwork SET sync_artwork_token = '77' WHERE item_pid = " + item, {}},
        // The FMDB writes, with their placeholders bound.
        {"UPDATE album SET album = ?, sort_album = ? WHERE album_pid = ?", {"Don't Stop", "Don't Stop", album}},
        {"UPDATE album_artist SET album_artist = ?, sort_album_artist = ? WHERE album_artist_pid = ?",
         {"New 'Name'", "New 'Name'", artist}},
        {"UPDATE item SET genre_id = ?, genre_order = ?, genre_order_section = ? WHERE album_pid = ?",
         {genre, "5", "1", album}},
        {"UPDATE item SET genre_id = ?, genre_order = ?, genre_order_section = ? WHERE album_artist_pid = ?",
         {genre, "5", "1", artist}},
        {"UPDATE item SET genre_id = ?, genre_order = ?, genre_order_section = ? WHERE item_pid = ?",
         {otherGenre, "6", "2", item}},
        {"UPDATE album SET album_artist_pid = ? WHERE album_pid = ?", {artist, album}},
        {"UPDATE item SET album_artist_pid = ?, album_artist_order = ?, album_artist_order_section = ? WHERE item_pid = ?",
         {artist, "42", "7", item}},
    };
    // The classes read the library before the writes, so the writes must
    // reach an already open connection.
    ASSERT_GT(songs()->count(), 0u);
    for (const Write& w : writes) {
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(sql->db(), w.sql.c_str(), -1, &st, nullptr), SQLITE_OK) << w.sql;
        int index = 1;
        for (const std::string& b : w.bind) {
            bool number = b.find_first_not_of("-0123456789") == std::string::npos;
            if (number) sqlite3_bind_int64(st, index++, std::stoll(b));
            else sqlite3_bind_text(st, index++, b.c_str(), -1, SQLITE_TRANSIENT);
        }
        EXPECT_EQ(sqlite3_step(st), SQLITE_DONE) << w.sql;
        EXPECT_GE(sqlite3_changes(sql->db()), 1) << w.sql;
        sqlite3_finalize(st);
    }
    NSArray* found = itemsWhere(MPMediaItemPropertyPersistentID, NSString::make(item));
    ASSERT_EQ(found->count(), 1u);
    id song = found->at(0);
    EXPECT_EQ(text(song, "albumTitle"_sel), "Don't Stop");
    EXPECT_EQ(text(song, "albumArtist"_sel), "New 'Name'");
    EXPECT_EQ(text(song, "genre"_sel), "Folk");
    EXPECT_EQ(dec(objc_msgSend<unsigned long long()>(song, "genrePersistentID"_sel)), otherGenre);
    bool renamed = false;
    for (id p : *collectionsOf("playlistsQuery"_sel))
        renamed |= text(p, "name"_sel) == "Trip 'n' Roll" && dec(pidOf(p)) == playlist;
    EXPECT_TRUE(renamed);
}

// ---------------------------------------------------------------------------
// The generator.

// Every table's rows and every file's bytes under a root.
std::map<std::string, std::string> snapshot(const std::string& root) {
    std::map<std::string, std::string> out;
    Sql db(libraryPath(root));
    for (const std::string& table : db.rows("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        std::string all;
        for (const std::string& row : db.rows("SELECT * FROM \"" + table + "\" ORDER BY 1, 2")) all += row + "\n";
        out["table " + table] = all;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".sqlitedb") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        out["file " + fs::relative(entry.path(), root).string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return out;
}

TEST(Generator, SameSeedGivesTheSameLibraryAndAnotherSeedAnother) {
    test::TempRoot a;
    std::string error;
    std::string b = a.path() + "/second", c = a.path() + "/third";
    ASSERT_TRUE(platform::generateMediaLibrary(a.path() + "/first", {300, 7}, &error)) << error;
    ASSERT_TRUE(platform::generateMediaLibrary(b, {300, 7}, &error)) << error;
    ASSERT_TRUE(platform::generateMediaLibrary(c, {300, 8}, &error)) << error;
    auto first = snapshot(a.path() + "/first");
    auto second = snapshot(b);
    EXPECT_GT(first.size(), 20u);
    EXPECT_EQ(first, second);
    auto third = snapshot(c);
    EXPECT_NE(first["table item"], third["table item"]);
}

TEST(Generator, CountsFollowTheOptions) {
    test::TempRoot root;
    std::string error;
    platform::GenerateSummary s;
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {1000, 3}, &error, &s)) << error;
    Sql db(libraryPath(root.path()));
    EXPECT_EQ(db.get("SELECT count(*) FROM item"), "1000");
    EXPECT_EQ(db.get("SELECT count(*) FROM album"), std::to_string(s.albums));
    EXPECT_EQ(db.get("SELECT count(DISTINCT location) FROM item"), "20");
    EXPECT_EQ(s.audioFiles, 20u);
    EXPECT_FALSE(platform::generateMediaLibrary("", {10, 1}, &error));
    EXPECT_FALSE(error.empty());
}

TEST(Generator, ProgramMakesARootAndRefusesBadArguments) {
    test::TempRoot root;
    auto exitCode = [](std::vector<std::string> args) {
        args.insert(args.begin(), testsupport::binPath("mklibrary"));
        int status = testsupport::runProgram(args);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string made = root.path() + "/made", direct = root.path() + "/direct";
    ASSERT_EQ(exitCode({"--root", made, "--songs", "25", "--seed", "4"}), 0);
    std::string error;
    ASSERT_TRUE(platform::generateMediaLibrary(direct, {25, 4}, &error)) << error;
    ASSERT_TRUE(platform::installBundles(direct, &error)) << error;
    EXPECT_EQ(snapshot(made), snapshot(direct));
    // Both bundles where a device with the package has them, and the
    // preference folder.
    for (const char* file : {"Library/Application Support/Cantrel/Cantrel.bundle/SongView.nib.json",
                             "Library/PreferenceBundles/Cantrel_Prefs.bundle/Info.plist",
                             "Library/PreferenceBundles/Cantrel_Prefs.bundle/Cantrel_Prefs",
                             "Library/PreferenceBundles/Cantrel_Prefs.bundle/RootView.nib.json",
                             "Library/PreferenceBundles/Cantrel_Prefs.bundle/Cantrel_@2x.gif"})
        EXPECT_TRUE(std::filesystem::is_regular_file(made + "/" + file)) << file;
    EXPECT_TRUE(std::filesystem::is_directory(made + "/var/mobile/Library/Preferences"));
    EXPECT_EQ(Sql(libraryPath(made)).get("SELECT count(*) FROM item"), "25");
    EXPECT_EQ(exitCode({"--help"}), 0);
    EXPECT_EQ(exitCode({}), 2);
    EXPECT_EQ(exitCode({"--root"}), 2);
    EXPECT_EQ(exitCode({"--root", made, "--songs", "-3"}), 2);
    EXPECT_EQ(exitCode({"--root", made, "--seed", "x"}), 2);
    EXPECT_EQ(exitCode({"--root", made, "--what"}), 2);
    EXPECT_EQ(exitCode({"--root", "/proc/no/such/root"}), 1);
}

TEST_F(Library, GeneratedLibraryHoldsTheAwkwardCases) {
    auto has = [&](const std::string& table, const std::string& column, const std::string& value) {
        sqlite3_stmt* st = nullptr;
        std::string q = "SELECT count(*) FROM " + table + " WHERE " + column + " = ?";
        sqlite3_prepare_v2(sql->db(), q.c_str(), -1, &st, nullptr);
        sqlite3_bind_text(st, 1, value.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
        int n = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        return n > 0;
    };
    for (const char* name : {"Gulls 'n' Roses", "Сполох", "坂本夜風", "100% Pure", "🎸 Riffs Collective", ""})
        EXPECT_TRUE(has("album_artist", "album_artist", name)) << name;
    for (const char* name : {"100% Pure", "🎸 Riffs", "Don't Look Back", ""}) EXPECT_TRUE(has("album", "album", name)) << name;
    for (const char* name : {"It's 100% Real", "Ночной дождь", "夜の雨", "🎸 Solo", ""})
        EXPECT_TRUE(has("item", "title", name)) << name;
    for (const char* name : {"Электроника", ""}) EXPECT_TRUE(has("genre", "genre", name)) << name;
    for (const char* name : {"Gulls 'n' Roses Live", "100% Pure Hits", "Сполох — лучшее", "🎸 Riffs", ""})
        EXPECT_TRUE(has("container", "name", name)) << name;
    for (const char* table : {"item WHERE title", "album WHERE album", "album_artist WHERE album_artist",
                              "genre WHERE genre", "container WHERE name", "item WHERE artist"})
        EXPECT_NE(sql->get(std::string("SELECT count(*) FROM ") + table + " IS NULL"), "0") << table;
    // Every other id has the top bit set.
    EXPECT_EQ(sql->get("SELECT count(*) FROM item WHERE item_pid < 0"), "100");
    EXPECT_NE(sql->get("SELECT count(*) FROM album WHERE album_pid < 0"), "0");
    EXPECT_NE(sql->get("SELECT count(*) FROM item_artwork WHERE best_artwork_token = ''"), "0");
    EXPECT_EQ(sql->get("SELECT count(*) FROM container WHERE is_hidden = 1"), "1");
    EXPECT_NE(sql->get("SELECT count(*) FROM container WHERE container_pid NOT IN (SELECT container_pid FROM container_items)"), "0");
    EXPECT_NE(sql->get("SELECT count(*) FROM item WHERE item_pid NOT IN (SELECT item_pid FROM item_playback)"), "0");
    EXPECT_NE(sql->get("SELECT count(*) FROM item WHERE composer_pid = 0"), "0");
    EXPECT_NE(sql->get("SELECT count(*) FROM album WHERE is_compilation = 1"), "0");
    // Items point at names the sort map knows, with their orders.
    EXPECT_EQ(sql->get("SELECT count(*) FROM item i JOIN sort_map m ON m.name = i.title WHERE m.name_order <> i.title_order"), "0");
}

TEST_F(Library, AudioFilesAreTaggedMP3sAtTheItemsLocations) {
    auto locations = sql->rows("SELECT DISTINCT location FROM item");
    ASSERT_EQ(locations.size(), 20u);
    for (const std::string& location : locations) {
        std::string path = root.host("/var/mobile/Media/" + location);
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 4000u) << path;
        EXPECT_EQ(bytes.substr(0, 3), "ID3");
        size_t tagSize = 10 + ((bytes[6] & 0x7f) << 21 | (bytes[7] & 0x7f) << 14 | (bytes[8] & 0x7f) << 7 | (bytes[9] & 0x7f));
        ASSERT_LT(tagSize + 1, bytes.size());
        // An MPEG-1 Layer III frame follows the tag.
        EXPECT_EQ(static_cast<unsigned char>(bytes[tagSize]), 0xFF);
        EXPECT_EQ(static_cast<unsigned char>(bytes[tagSize + 1]) & 0xFE, 0xFA);
        EXPECT_EQ(sql->get("SELECT DISTINCT file_size FROM item WHERE location = '" + location + "'"),
                  std::to_string(bytes.size()));
    }
    // The first items name the files they play: item 0 has a cover picture,
    // item 2 a Cyrillic title. The tags are read back with TagLib, a reader
    // independent of the id3lib that wrote them.
    struct Tags {
        std::string title, album, artist;
        size_t pictureBytes = 0;
    };
    auto tagsOf = [&](const std::string& title) {
        std::string location = sql->get("SELECT location FROM item WHERE title = '" + title + "'");
        TagLib::MPEG::File file(root.host("/var/mobile/Media/" + location).c_str(), false);
        Tags out;
        TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
        if (tag == nullptr) return out;
        out.title = tag->title().to8Bit(true);
        out.album = tag->album().to8Bit(true);
        out.artist = tag->artist().to8Bit(true);
        for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC"))
            if (auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame))
                out.pictureBytes += picture->picture().size();
        return out;
    };
    Tags first = tagsOf("It''s 100% Real");
    EXPECT_EQ(first.title, "It's 100% Real");
    EXPECT_EQ(first.album, "100% Pure");
    EXPECT_EQ(first.artist, "Gulls 'n' Roses");
    EXPECT_GT(first.pictureBytes, 1000u);
    EXPECT_EQ(tagsOf("Ночной дождь").title, "Ночной дождь");
    EXPECT_EQ(tagsOf("🎸 Solo").title, "🎸 Solo");
    // Every file carries the title, album and artist of one of the items
    // that play it ("🎸 Riffs" and the other names outside ASCII included).
    for (const std::string& location : locations) {
        SCOPED_TRACE(location);
        TagLib::MPEG::File file(root.host("/var/mobile/Media/" + location).c_str(), false);
        TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag() : nullptr;
        ASSERT_NE(tag, nullptr);
        std::string read = tag->title().to8Bit(true) + "|" + tag->album().to8Bit(true) + "|" +
                           tag->artist().to8Bit(true);
        auto playing = sql->rows("SELECT IFNULL(i.title, ''), IFNULL(a.album, ''), IFNULL(i.artist, '') FROM item i "
                                 "LEFT JOIN album a ON a.album_pid = i.album_pid WHERE i.location = '" + location + "'");
        EXPECT_NE(std::find(playing.begin(), playing.end(), read), playing.end()) << read;
    }
}

TEST_F(Library, ArtworkFilesAreSmallJPEGsUnderTheArtworkFolder) {
    auto paths = sql->rows("SELECT relative_path FROM artwork");
    ASSERT_FALSE(paths.empty());
    for (const std::string& relative : paths) {
        std::ifstream in(root.host(std::string(platform::artworkFolderDevicePath()) + "/" + relative), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GT(bytes.size(), 100u) << relative;
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
    }
    EXPECT_EQ(sql->get("SELECT count(*) FROM item_artwork WHERE best_artwork_token <> '' AND best_artwork_token NOT IN "
                       "(SELECT artwork_token FROM artwork)"),
              "0");
    // Every item has its artwork row; those without artwork have empty tokens.
    EXPECT_EQ(sql->get("SELECT count(*) FROM item WHERE item_pid NOT IN (SELECT item_pid FROM item_artwork)"), "0");
    EXPECT_NE(sql->get("SELECT count(*) FROM item_artwork WHERE best_artwork_token = '' AND sync_artwork_token = ''"), "0");
}

// ---------------------------------------------------------------------------
// Queries.

TEST_F(Library, SongsQueryGivesEveryItemInTitleOrder) {
    NSArray* items = songs();
    ASSERT_EQ(items->count(), 200u);
    EXPECT_EQ(pids(items), asUnsigned(sql->ids("SELECT item_pid FROM item ORDER BY title_order, item_pid")));
    std::string previous;
    for (id item : *items) {
        EXPECT_TRUE(objc_isKindOfClass(item, MPConcreteMediaItem::cls()));
        id title = valueOf(item, MPMediaItemPropertyTitle);
        if (title == nullptr) continue;  // the NULL title sorts last
        std::string key = platform::mediaLibrarySortKey(static_cast<NSString*>(title)->str());
        EXPECT_LE(previous, key);
        previous = key;
    }
    EXPECT_EQ(valueOf(items->lastObject(), MPMediaItemPropertyTitle), nullptr);
}

// Checks a grouped query against the database: the groups, in their order,
// each with its items and its representative item.
void expectGroups(const Sql& db, SEL query, const char* column, const char* order, SEL itemKey) {
    NSArray* collections = collectionsOf(query);
    std::vector<unsigned long long> expected = asUnsigned(db.ids(std::string("SELECT ") + column + " FROM item WHERE " +
                                                                 column + " <> 0 GROUP BY " + column + " ORDER BY min(" +
                                                                 order + "), " + column));
    ASSERT_EQ(pids(collections), expected) << sel_getName(query);
    for (id c : *collections) {
        EXPECT_TRUE(objc_isKindOfClass(c, MPConcreteMediaItemCollection::cls()));
        NSArray* items = list(c, "items"_sel);
        EXPECT_EQ(objc_msgSend<NSUInteger()>(c, "count"_sel), items->count());
        EXPECT_EQ(db.get(std::string("SELECT count(*) FROM item WHERE ") + column + " = " + dec(pidOf(c))),
                  std::to_string(items->count()));
        id representative = objc_msgSend<id()>(c, "representativeItem"_sel);
        EXPECT_EQ(representative, items->at(0));
        for (id item : *items) EXPECT_EQ(objc_msgSend<unsigned long long()>(item, itemKey), pidOf(c));
    }
}

TEST_F(Library, GroupedQueriesGiveCollectionsWithTheirItems) {
    expectGroups(*sql, "albumsQuery"_sel, "album_pid", "album_order", "albumPersistentID"_sel);
    expectGroups(*sql, "artistsQuery"_sel, "album_artist_pid", "album_artist_order", "albumArtistPersistentID"_sel);
    expectGroups(*sql, "genresQuery"_sel, "genre_id", "genre_order", "genrePersistentID"_sel);
    expectGroups(*sql, "composersQuery"_sel, "composer_pid", "composer_order", "composerPersistentID"_sel);
}

TEST_F(Library, AlbumItemsGoByDiscAndTrackAndCollectionsAnswerProperties) {
    for (id album : *collectionsOf("albumsQuery"_sel)) {
        std::pair<NSUInteger, NSUInteger> last{0, 0};
        for (id item : *list(album, "items"_sel)) {
            std::pair<NSUInteger, NSUInteger> at{objc_msgSend<NSUInteger()>(item, "discNumber"_sel),
                                                 objc_msgSend<NSUInteger()>(item, "albumTrackNumber"_sel)};
            EXPECT_LT(last, at);
            last = at;
        }
        id representative = objc_msgSend<id()>(album, "representativeItem"_sel);
        EXPECT_EQ(unsignedLongLongOf(valueOf(album, MPMediaItemPropertyAlbumPersistentID)), pidOf(album));
        id title = valueOf(album, MPMediaItemPropertyAlbumTitle);
        EXPECT_EQ(title, valueOf(representative, MPMediaItemPropertyAlbumTitle));
    }
    // Compilations are the albums marked so.
    NSArray* compilations = collectionsOf("compilationsQuery"_sel);
    EXPECT_EQ(pids(compilations), asUnsigned(sql->ids("SELECT DISTINCT album_pid FROM item WHERE is_compilation = 1 "
                                                      "ORDER BY album_order, album_pid")));
    EXPECT_FALSE(compilations->count() == 0);
}

// A query for one album's songs (what a tap on the album screen's first row
// plays) lists them as that screen does, not by title.
TEST_F(Library, AnAlbumsQueryListsItsSongsByDiscAndTrack) {
    bool sawTitleOrderDiffer = false;
    for (id album : *collectionsOf("albumsQuery"_sel)) {
        std::string pid = dec(pidOf(album));
        std::vector<unsigned long long> queried = pids(itemsWhere(MPMediaItemPropertyAlbumPersistentID, NSString::make(pid)));
        EXPECT_EQ(queried, asUnsigned(sql->ids("SELECT item_pid FROM item WHERE album_pid = " + pid +
                                               " ORDER BY disc_number, track_number, title_order, item_pid")));
        EXPECT_EQ(queried, pids(list(album, "items"_sel)));
        sawTitleOrderDiffer |= queried != asUnsigned(sql->ids("SELECT item_pid FROM item WHERE album_pid = " + pid +
                                                              " ORDER BY title_order, item_pid"));
    }
    EXPECT_TRUE(sawTitleOrderDiffer);
    // A second disc follows the first whatever its track numbers.
    int64_t album = sql->ids("SELECT album_pid FROM item GROUP BY album_pid HAVING count(*) >= 3 LIMIT 1")[0];
    std::vector<int64_t> tracks = sql->ids("SELECT item_pid FROM item WHERE album_pid = " + std::to_string(album) +
                                           " ORDER BY track_number, item_pid");
    sql->exec("UPDATE item SET disc_number = 2, track_number = 1 WHERE item_pid = " + std::to_string(tracks[0]));
    std::vector<unsigned long long> queried =
        pids(itemsWhere(MPMediaItemPropertyAlbumPersistentID, NSString::make(std::to_string(album))));
    ASSERT_FALSE(queried.empty());
    EXPECT_EQ(queried.back(), static_cast<unsigned long long>(tracks[0]));
}

TEST_F(Library, PlaylistsQueryLeavesOutHiddenOnesAndKeepsEachOrder) {
    NSArray* playlists = collectionsOf("playlistsQuery"_sel);
    EXPECT_EQ(pids(playlists), asUnsigned(sql->ids("SELECT container_pid FROM container WHERE is_hidden <> 1 "
                                                   "ORDER BY name_order, container_pid")));
    bool sawEmpty = false, sawNullName = false;
    for (id p : *playlists) {
        EXPECT_TRUE(objc_isKindOfClass(p, MPMediaPlaylist::cls()));
        EXPECT_NE(text(p, "name"_sel), "Hidden Gems");
        std::string name = sql->get("SELECT name FROM container WHERE container_pid = " + dec(pidOf(p)));
        EXPECT_EQ(text(p, "name"_sel), name);
        sawNullName |= name == "<NULL>";
        EXPECT_EQ(pids(list(p, "items"_sel)),
                  asUnsigned(sql->ids("SELECT item_pid FROM container_items WHERE container_pid = " + dec(pidOf(p)) +
                                      " ORDER BY position")));
        if (objc_msgSend<NSUInteger()>(p, "count"_sel) == 0) {
            sawEmpty = true;
            EXPECT_EQ(objc_msgSend<id()>(p, "representativeItem"_sel), nullptr);
        }
        // The playlist's own properties live in _properties.
        id properties = MSHookIvar<id>(p, "_properties");
        EXPECT_EQ(unsignedLongLongOf(static_cast<NSDictionary*>(properties)->objectForKey(MPMediaPlaylistPropertyPersistentID)),
                  pidOf(p));
    }
    EXPECT_TRUE(sawEmpty);
    EXPECT_TRUE(sawNullName);
}

TEST_F(Library, PredicatesFilterByIdsTextsAndPlaylists) {
    // An item by its id as unsigned text ("%llu"), the top bit set.
    int64_t top = sql->ids("SELECT item_pid FROM item WHERE item_pid < 0 LIMIT 1")[0];
    NSArray* one = itemsWhere(MPMediaItemPropertyPersistentID, NSString::make(std::to_string(static_cast<uint64_t>(top))));
    ASSERT_EQ(one->count(), 1u);
    EXPECT_EQ(pidOf(one->at(0)), static_cast<uint64_t>(top));
    // The same id as a number and as signed text.
    EXPECT_EQ(pids(itemsWhere(MPMediaItemPropertyPersistentID, NSNumber::withUnsignedLongLong(static_cast<uint64_t>(top)))),
              pids(one));
    EXPECT_EQ(pids(itemsWhere(MPMediaItemPropertyPersistentID, NSString::make(std::to_string(top)))), pids(one));
    // An album by signed text ("%lld"): its tracks.
    int64_t album = sql->ids("SELECT album_pid FROM album WHERE album_pid < 0 LIMIT 1")[0];
    EXPECT_EQ(itemsWhere(MPMediaItemPropertyAlbumPersistentID, NSString::make(std::to_string(album)))->count(),
              std::stoul(sql->get("SELECT count(*) FROM item WHERE album_pid = " + std::to_string(album))));
    // A playlist: its items in its own order, repeats kept.
    std::string playlist = sql->get("SELECT container_pid FROM container WHERE name = 'Road Trip'");
    EXPECT_EQ(pids(itemsWhere(MPMediaPlaylistPropertyPersistentID, NSString::make(playlist))),
              asUnsigned(sql->ids("SELECT item_pid FROM container_items WHERE container_pid = " + playlist +
                                  " ORDER BY position")));
    // Texts: exact, with an apostrophe and a percent sign, or contained.
    NSArray* real = itemsWhere(MPMediaItemPropertyTitle, "It's 100% Real"_ns);
    ASSERT_EQ(real->count(), 1u);
    EXPECT_EQ(text(real->at(0), "title"_sel), "It's 100% Real");
    EXPECT_EQ(itemsWhere(MPMediaItemPropertyTitle, "100%"_ns)->count(), 0u);
    EXPECT_GE(itemsWhere(MPMediaItemPropertyTitle, "100% r"_ns, MPMediaPredicateComparisonContains)->count(), 1u);
    EXPECT_EQ(itemsWhere(MPMediaItemPropertyAlbumArtist, "Сполох"_ns)->count(),
              std::stoul(sql->get("SELECT count(*) FROM item i JOIN album_artist a ON a.album_artist_pid = "
                                  "i.album_artist_pid WHERE a.album_artist = 'Сполох'")));
    // What the library cannot filter by matches nothing.
    EXPECT_EQ(itemsWhere("noSuchProperty"_ns, "x"_ns)->count(), 0u);
    EXPECT_EQ(itemsWhere(MPMediaItemPropertyPersistentID, "12abc"_ns)->count(), 0u);
    // Predicates combine; a removed one no longer counts.
    id query = send(MPMediaQuery::cls(), "songsQuery"_sel);
    id byAlbum = objc_msgSend<id(id, id)>(MPMediaPropertyPredicate::cls(), "predicateWithValue:forProperty:"_sel,
                                          NSString::make(std::to_string(album)), MPMediaItemPropertyAlbumPersistentID);
    id byTitle = objc_msgSend<id(id, id)>(MPMediaPropertyPredicate::cls(), "predicateWithValue:forProperty:"_sel,
                                          "no such title"_ns, MPMediaItemPropertyTitle);
    objc_msgSend<void(id)>(query, "addFilterPredicate:"_sel, byAlbum);
    objc_msgSend<void(id)>(query, "addFilterPredicate:"_sel, byTitle);
    EXPECT_EQ(list(query, "items"_sel)->count(), 0u);
    objc_msgSend<void(id)>(query, "removeFilterPredicate:"_sel, byTitle);
    EXPECT_GT(list(query, "items"_sel)->count(), 0u);
    EXPECT_EQ(list(query, "filterPredicates"_sel)->count(), 1u);
}

// ---------------------------------------------------------------------------
// Items.

TEST_F(Library, AnItemIsOneObjectPerPersistentIdWhileItLives) {
    static char mark;
    unsigned long long pid = 0;
    {
        AutoreleasePool inner;
        id first = songs()->at(0);
        pid = pidOf(first);
        objc_setAssociatedObject(first, &mark, "marked"_ns, OBJC_ASSOCIATION_RETAIN);
        id again = itemsWhere(MPMediaItemPropertyPersistentID, NSNumber::withUnsignedLongLong(pid))->at(0);
        EXPECT_EQ(again, first);
        EXPECT_EQ(objc_getAssociatedObject(again, &mark), "marked"_ns);
        // The album's items include the same object.
        bool found = false;
        for (id album : *collectionsOf("albumsQuery"_sel))
            for (id item : *list(album, "items"_sel)) found |= item == first;
        EXPECT_TRUE(found);
    }
    // Once nothing holds the items, they are gone and come back fresh.
    EXPECT_EQ(class_getLiveInstanceCount(MPConcreteMediaItem::cls()), 0);
    id fresh = itemsWhere(MPMediaItemPropertyPersistentID, NSNumber::withUnsignedLongLong(pid))->at(0);
    EXPECT_EQ(objc_getAssociatedObject(fresh, &mark), nullptr);
    EXPECT_EQ(pidOf(fresh), pid);
}

TEST_F(Library, PersistentIdsWithTheTopBitRoundTrip) {
    std::vector<unsigned long long> fromClasses;
    size_t topBit = 0;
    for (id item : *songs()) {
        unsigned long long pid = pidOf(item);
        fromClasses.push_back(pid);
        topBit += pid >> 63;
        EXPECT_EQ(unsignedLongLongOf(valueOf(item, MPMediaItemPropertyPersistentID)), pid);
        EXPECT_EQ(objc_msgSend<BOOL(id)>(item, "isEqual:"_sel, item), YES);
    }
    EXPECT_EQ(topBit, 100u);
    std::vector<unsigned long long> fromDatabase = asUnsigned(sql->ids("SELECT item_pid FROM item"));
    std::sort(fromClasses.begin(), fromClasses.end());
    std::sort(fromDatabase.begin(), fromDatabase.end());
    EXPECT_EQ(fromClasses, fromDatabase);
}

TEST_F(Library, ItemPropertiesMatchTheDatabaseAndLiveInThePropertiesCache) {
    auto rows = sql->rows(
        "SELECT i.item_pid, i.title, i.artist, al.album, aa.album_artist, g.genre, co.composer, s.user_rating / 20, "
        "s.play_count_user, i.album_pid, i.album_artist_pid, i.genre_id, i.composer_pid, i.location FROM item i "
        "LEFT JOIN album al ON al.album_pid = i.album_pid LEFT JOIN album_artist aa ON aa.album_artist_pid = "
        "i.album_artist_pid LEFT JOIN genre g ON g.genre_id = i.genre_id LEFT JOIN composer co ON co.composer_pid = "
        "i.composer_pid LEFT JOIN item_stats s ON s.item_pid = i.item_pid ORDER BY i.title_order, i.item_pid");
    NSArray* items = songs();
    ASSERT_EQ(rows.size(), items->count());
    for (size_t k = 0; k < rows.size(); ++k) {
        id item = items->at(k);
        auto n = [&](SEL sel) { return std::to_string(objc_msgSend<NSUInteger()>(item, sel)); };
        auto p = [&](SEL sel) { return dec(objc_msgSend<unsigned long long()>(item, sel)); };
        std::string mine = dec(pidOf(item)) + "|" + text(item, "title"_sel) + "|" + text(item, "artist"_sel) + "|" +
                           text(item, "albumTitle"_sel) + "|" + text(item, "albumArtist"_sel) + "|" +
                           text(item, "genre"_sel) + "|" + text(item, "composer"_sel) + "|" + n("rating"_sel) + "|" +
                           n("playCount"_sel) + "|" + p("albumPersistentID"_sel) + "|" +
                           p("albumArtistPersistentID"_sel) + "|" + p("genrePersistentID"_sel) + "|" +
                           p("composerPersistentID"_sel) + "|";
        std::string row = rows[k];
        ASSERT_EQ(mine, row.substr(0, row.rfind('|') + 1));
        // The audio file is where "filePath" says.
        id path = valueOf(item, MPMediaItemPropertyFilePath);
        ASSERT_NE(path, nullptr);
        EXPECT_EQ(static_cast<NSString*>(path)->str(), root.host("/var/mobile/Media/" + row.substr(row.rfind('|') + 1)));
        EXPECT_TRUE(fs::exists(static_cast<NSString*>(path)->str()));
    }
    // The properties cache, as the library reaches it.
    id item = items->at(0);
    id cache = MSHookIvar<id>(item, "_propertiesCache");
    ASSERT_TRUE(objc_isKindOfClass(cache, MPConcreteMediaEntityPropertiesCache::cls()));
    id properties = MSHookIvar<id>(cache, "_properties");
    ASSERT_TRUE(objc_isKindOfClass(properties, NSMutableDictionary::cls()));
    auto* d = static_cast<NSDictionary*>(properties);
    EXPECT_EQ(d->objectForKey(MPMediaItemPropertyTitle), valueOf(item, MPMediaItemPropertyTitle));
    EXPECT_EQ(unsignedLongLongOf(d->objectForKey(MPMediaItemPropertyPersistentID)), pidOf(item));
    // A NULL title is an absent key and a nil value.
    id untitled = items->lastObject();
    auto* u = static_cast<NSDictionary*>(MSHookIvar<id>(MSHookIvar<id>(untitled, "_propertiesCache"), "_properties"));
    EXPECT_EQ(u->objectForKey(MPMediaItemPropertyTitle), nullptr);
    EXPECT_NE(u->objectForKey(MPMediaItemPropertyAlbumPersistentID), nullptr);
    EXPECT_EQ(valueOf(untitled, "noSuchProperty"_ns), nullptr);
}

TEST_F(Library, SetValueForPropertyWritesTheDatabaseAndTheItem) {
    id item = songs()->at(0);
    std::string pid = dec(pidOf(item));
    EXPECT_TRUE(objc_msgSend<BOOL(id, id)>(item, "setValue:forProperty:"_sel, "Zed's 50% Song"_ns, MPMediaItemPropertyTitle));
    EXPECT_EQ(text(item, "title"_sel), "Zed's 50% Song");
    EXPECT_EQ(sql->get("SELECT title || '|' || sort_title FROM item WHERE item_pid = " + pid), "Zed's 50% Song|Zed's 50% Song");
    // The new title has its place in the sort order: among the z's.
    EXPECT_EQ(sql->get("SELECT title_order = name_order FROM item JOIN sort_map ON name = title WHERE item_pid = " + pid), "1");
    EXPECT_EQ(sql->get("SELECT title_order_section FROM item WHERE item_pid = " + pid), "25");
    objc_msgSend<void(NSUInteger)>(item, "setRating:"_sel, 4);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(item, "rating"_sel), 4u);
    EXPECT_EQ(sql->get("SELECT user_rating FROM item_stats WHERE item_pid = " + pid), "80");
    objc_msgSend<void(NSUInteger)>(item, "setRating:"_sel, 9);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(item, "rating"_sel), 5u);
    // The same object comes back from a new query, with the new values.
    NSArray* again = itemsWhere(MPMediaItemPropertyTitle, "Zed's 50% Song"_ns);
    ASSERT_EQ(again->count(), 1u);
    EXPECT_EQ(again->at(0), item);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(item, "rating"_sel), 5u);
    // Refused: a property that cannot be written, a value of the wrong kind.
    EXPECT_FALSE(objc_msgSend<BOOL(id, id)>(item, "setValue:forProperty:"_sel, "x"_ns, MPMediaItemPropertyGenre));
    EXPECT_FALSE(objc_msgSend<BOOL(id, id)>(item, "setValue:forProperty:"_sel, NSNumber::withLongLong(3), MPMediaItemPropertyTitle));
    EXPECT_EQ(text(item, "title"_sel), "Zed's 50% Song");
    // Without a database nothing is written and the item keeps its value.
    fs::remove(libraryPath(root.path()));
    EXPECT_FALSE(objc_msgSend<BOOL(id, id)>(item, "setValue:forProperty:"_sel, "Gone"_ns, MPMediaItemPropertyTitle));
    EXPECT_EQ(text(item, "title"_sel), "Zed's 50% Song");
}

// ---------------------------------------------------------------------------
// Artwork.

std::vector<std::string> loadedPaths;
id fakeImageWithContentsOfFile(objc_object*, SEL, id path) {
    loadedPaths.push_back(static_cast<NSString*>(path)->str());
    return NSString::make("picture of " + static_cast<NSString*>(path)->str());
}

TEST_F(Library, ArtworkComesFromTheArtworkFileOrIsNil) {
    std::string withArt = sql->get("SELECT item_pid FROM item_artwork WHERE best_artwork_token <> '' LIMIT 1");
    std::string without = sql->get("SELECT item_pid FROM item_artwork WHERE best_artwork_token = '' LIMIT 1");
    id plain = itemsWhere(MPMediaItemPropertyPersistentID, NSString::make(without))->at(0);
    EXPECT_EQ(objc_msgSend<id()>(plain, "artwork"_sel), nullptr);

    id item = itemsWhere(MPMediaItemPropertyPersistentID, NSString::make(withArt))->at(0);
    id artwork = objc_msgSend<id()>(item, "artwork"_sel);
    ASSERT_TRUE(objc_isKindOfClass(artwork, MPMediaItemArtwork::cls()));
    EXPECT_EQ(objc_msgSend<id()>(item, "artwork"_sel), artwork);  // made once
    std::string relative = sql->get("SELECT relative_path FROM artwork WHERE artwork_token = (SELECT best_artwork_token "
                                    "FROM item_artwork WHERE item_pid = " + withArt + ")");
    CGRect bounds = objc_msgSend<CGRect()>(artwork, "bounds"_sel);
    EXPECT_TRUE(bounds.size.width == 300 || bounds.size.width == 600);
    EXPECT_EQ(bounds.size.width, bounds.size.height);

    std::string file = root.host(std::string(platform::artworkFolderDevicePath()) + "/" + relative);
    if (objc_getClass("UIImage") == nullptr) {
        // Without a picture class there is no picture...
        EXPECT_EQ(objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(80, 80)), nullptr);
        // ...and with one, the artwork file is what it loads, once.
        Class image = objc_allocateClassPair(NSObject::cls(), "UIImage", 0);
        objc_registerClassPair(image);
        class_addMethod(object_getClass(image), "imageWithContentsOfFile:"_sel, &fakeImageWithContentsOfFile, "@@:@");
        id picture = objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(80, 80));
        EXPECT_EQ(static_cast<NSString*>(picture)->str(), "picture of " + file);
        EXPECT_EQ(objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(40, 40)), picture);
        EXPECT_EQ(loadedPaths, std::vector<std::string>{file});
    } else {
        EXPECT_NE(objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(80, 80)), nullptr);
    }
    // _image holds the picture; what is stored there is what comes back.
    id& image = MSHookIvar<id>(artwork, "_image");
    EXPECT_NE(image, nullptr);
    id replacement = "replacement"_ns;
    objc_release(image);
    image = objc_retain(replacement);
    EXPECT_EQ(objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(80, 80)), replacement);

    // A new token written by the library (sync_artwork_token) wins.
    std::string other = sql->get("SELECT artwork_token FROM artwork WHERE artwork_token <> (SELECT best_artwork_token "
                                 "FROM item_artwork WHERE item_pid = " + withArt + ")");
    sql->exec("UPDATE item_artwork SET sync_artwork_token = '" + other + "' WHERE item_pid = " + withArt);
    itemsWhere(MPMediaItemPropertyPersistentID, NSString::make(withArt));
    id changed = objc_msgSend<id()>(item, "artwork"_sel);
    EXPECT_NE(changed, artwork);
    EXPECT_EQ(static_cast<MPMediaItemArtwork*>(changed)->_filePath,
              root.host(std::string(platform::artworkFolderDevicePath()) + "/" +
                        sql->get("SELECT relative_path FROM artwork WHERE artwork_token = '" + other + "'")));
}

// ---------------------------------------------------------------------------
// The database file coming and going; playlists made by the library.

TEST(MissingLibrary, QueriesAreEmptyUntilTheFileComesAndAfterItGoes) {
    test::TempRoot root;
    AutoreleasePool pool;
    EXPECT_EQ(songs()->count(), 0u);
    EXPECT_EQ(collectionsOf("albumsQuery"_sel)->count(), 0u);
    EXPECT_EQ(collectionsOf("playlistsQuery"_sel)->count(), 0u);
    EXPECT_EQ(objc_msgSend<id(id)>(objc_msgSend<id()>(MPMediaLibrary::cls(), "defaultMediaLibrary"_sel),
                                   "addPlaylistWithName:"_sel, "New"_ns),
              nullptr);
    std::string error;
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {50, 1}, &error)) << error;
    EXPECT_EQ(songs()->count(), 50u);
    // A replaced file is read afresh.
    ASSERT_TRUE(platform::generateMediaLibrary(root.path(), {30, 2}, &error)) << error;
    EXPECT_EQ(songs()->count(), 30u);
    fs::remove(libraryPath(root.path()));
    EXPECT_EQ(songs()->count(), 0u);
    // A file that is not a database reads as empty too.
    std::ofstream(libraryPath(root.path())) << "not a database";
    EXPECT_EQ(songs()->count(), 0u);
}

TEST_F(Library, NewPlaylistsTakeItemsAndShowInThePlaylistsQuery) {
    id library = objc_msgSend<id()>(MPMediaLibrary::cls(), "defaultMediaLibrary"_sel);
    EXPECT_EQ(objc_msgSend<id()>(MPMediaLibrary::cls(), "defaultMediaLibrary"_sel), library);
    id playlist = objc_msgSend<id(id)>(library, "addPlaylistWithName:"_sel, "Аа 'new' 100%"_ns);
    ASSERT_TRUE(objc_isKindOfClass(playlist, MPMediaPlaylist::cls()));
    EXPECT_EQ(text(playlist, "name"_sel), "Аа 'new' 100%");
    id song = songs()->at(3);
    int called = 0;
    id error = "unset"_ns;
    objc_msgSend<void(id, id)>(playlist, "addItem:completionBlock:"_sel, song, objc_block<void(id)>([&](id e) {
                                   ++called;
                                   error = e;
                               }));
    EXPECT_EQ(called, 1);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(list(playlist, "items"_sel)->count(), 1u);
    std::string pid = dec(pidOf(playlist));
    EXPECT_EQ(sql->get("SELECT item_pid || '|' || position FROM container_items WHERE container_pid = " + pid),
              dec(pidOf(song)) + "|0");
    bool listed = false;
    for (id p : *collectionsOf("playlistsQuery"_sel))
        if (pidOf(p) == pidOf(playlist)) {
            listed = true;
            EXPECT_EQ(objc_msgSend<id()>(p, "representativeItem"_sel), song);
        }
    EXPECT_TRUE(listed);
    // A collection made from items answers for them.
    id made = objc_msgSend<id(id)>(MPMediaItemCollection::cls(), "collectionWithItems:"_sel, NSArray::make({song}));
    EXPECT_EQ(objc_msgSend<id()>(made, "representativeItem"_sel), song);
    EXPECT_EQ(valueOf(made, MPMediaItemPropertyTitle), valueOf(song, MPMediaItemPropertyTitle));
}

}  // namespace

namespace {

// The two test switches: a new playlist answered nil writes nothing; the
// playlists query with hidden ones listed adds exactly the hidden playlists.
TEST_F(Library, SwitchesRefuseNewPlaylistsAndListHiddenOnes) {
    id library = objc_msgSend<id()>(MPMediaLibrary::cls(), "defaultMediaLibrary"_sel);
    std::string before = sql->get("SELECT count(*) FROM container");
    platform::setAddPlaylistAnswersNil(true);
    EXPECT_EQ(objc_msgSend<id(id)>(library, "addPlaylistWithName:"_sel, "Refused"_ns), nullptr);
    platform::setAddPlaylistAnswersNil(false);
    EXPECT_EQ(sql->get("SELECT count(*) FROM container"), before);

    platform::setPlaylistsQueryListsHidden(true);
    NSArray* all = collectionsOf("playlistsQuery"_sel);
    platform::setPlaylistsQueryListsHidden(false);
    EXPECT_EQ(pids(all), asUnsigned(sql->ids("SELECT container_pid FROM container ORDER BY name_order, container_pid")));
    EXPECT_EQ(pids(collectionsOf("playlistsQuery"_sel)),
              asUnsigned(sql->ids("SELECT container_pid FROM container WHERE is_hidden <> 1 "
                                  "ORDER BY name_order, container_pid")));
}

}  // namespace
