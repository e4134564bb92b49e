// The MediaPlayer classes' access to the media library database: one cached
// read-only connection per database file, writes on a connection of their
// own, the item rows the queries read, and the identity map of media items.
#pragma once

#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct MPConcreteMediaItem;

namespace platform::medialibrary {

using Text = std::optional<std::string>;  // nullopt: NULL in the database

// One item as the queries read it (item joined with its album, album artist,
// genre, composer, statistics and artwork).
struct ItemRow {
    int64_t pid = 0;
    int64_t albumPid = 0;
    int64_t albumArtistPid = 0;
    int64_t genreId = 0;
    int64_t composerPid = 0;
    Text title, artist, albumTitle, albumArtist, genre, composer, location, artworkPath;
    int64_t mediaType = 1;
    int64_t trackNumber = 0, trackCount = 0, discNumber = 0, discCount = 0, year = 0;
    int64_t totalTimeMs = 0;
    int64_t isCompilation = 0;
    int64_t userRating = 0;  // 0..100, 20 a star
    int64_t playCount = 0, skipCount = 0;
    int64_t datePlayed = 0;  // seconds since 1970, 0 for never
    // Sort orders (sort_map orders of the names).
    int64_t titleOrder = 0, albumOrder = 0, albumArtistOrder = 0, genreOrder = 0, composerOrder = 0;

    bool operator==(const ItemRow&) const = default;
};

// The select list of an ItemRow over "item i" with itemJoins() (item_stats
// and item_artwork), and the number of its columns. The names of albums,
// album artists, genres and composers and the artwork paths come from small
// tables that readItems() keeps per connection: a query then reads only the
// rows of its items, in the tables' own order, and sorts them here, several
// times faster than joins walked in an index order.
const char* itemColumns();
const char* itemJoins();
inline constexpr int kItemColumnCount = 27;
// The column as text, nullopt for NULL.
Text columnText(sqlite3_stmt* statement, int column);

// A parameter of a statement.
struct Binding {
    static Binding integer(int64_t v) { return Binding{false, v, {}}; }
    static Binding text(std::string v) { return Binding{true, 0, std::move(v)}; }
    bool isText;
    int64_t i;
    std::string s;
};

// The host path of the current device root's library.
std::string libraryHostPath();

// Runs a SELECT on the cached read-only connection of the current library
// and calls `row` for each result row. False when the database is missing or
// cannot be read; rows already delivered then count for nothing.
bool readRows(const std::string& sql, const std::vector<Binding>& bindings,
              const std::function<void(sqlite3_stmt*)>& row);

// Runs a SELECT whose columns `first` .. first + kItemColumnCount - 1 are
// itemColumns(), on the read connection, and calls `row` with each
// statement row and its ItemRow (names filled in). False as for readRows.
bool readItems(const std::string& sql, const std::vector<Binding>& bindings, int first,
               const std::function<void(sqlite3_stmt*, ItemRow&&)>& row);

// Opens the library for writing, runs `work` in a transaction and commits
// when it answers true. False when the database is missing, cannot be
// written, or `work` answered false (then nothing is changed).
bool writeLibrary(const std::function<bool(sqlite3*)>& work);

// Runs one statement with parameters on a write connection; *changes gets
// the number of rows changed. False on an error.
bool execute(sqlite3* db, const char* sql, const std::vector<Binding>& bindings, int* changes = nullptr);

// The sort_map order and section of a name; a name not yet in the map gets
// an order between its neighbours and is added.
bool sortOrderForName(sqlite3* db, const std::string& name, int64_t* order, int* section);

// Shared values of one load: equal texts and numbers become one object.
class ValueCache {
public:
    NSString* string(const std::string& text);
    NSNumber* number(long long value);

private:
    std::unordered_map<std::string, Strong<NSString>> strings_;
    std::unordered_map<long long, Strong<NSNumber>> numbers_;
};

// The media item of a row: the living item of that persistent id, its
// properties refreshed when the row changed, or a new one. Autoreleased.
MPConcreteMediaItem* itemForRow(const ItemRow& row, ValueCache& values);

// Held while an item's row or property cache is read or changed: items are
// shared by every thread that reads the library (exports read them on the
// global queues while the main thread lists them).
std::recursive_mutex& itemStateLock();

// Registration of the classes, one function per source file.
void registerItemClasses();
void registerCollectionClasses();
void registerQueryClasses();
void registerPlayerClasses();  // Player.cpp: MPAVController, MPMediaQueryShuffledItems, the server
void registerItemRefresh();  // after the item classes

}  // namespace platform::medialibrary
