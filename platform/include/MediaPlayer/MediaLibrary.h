// The device's media library database: one SQLite file under the device
// root, read by the MediaPlayer classes (MPMediaQuery and friends) and read
// and written by the Music app's extensions with their own SQL.
//
// Persistent ids are 64-bit numbers stored as signed INTEGER (an id with the
// top bit set is a negative number in the file; the classes hand it out as
// unsigned long long). Artwork files live under the artwork folder
// (artworkFolderDevicePath()) at artwork.relative_path, reached from an item
// through item_artwork.best_artwork_token (or sync_artwork_token when set).
// Audio files live under "var/mobile/Media/" + item.location.
//
// Tables (mediaLibrarySchemaSQL() has every column): container (playlists,
// is_hidden 1 hides one), container_items (a playlist's items by position),
// genre, album_artist, album, composer, item, item_stats (ratings 0..100,
// counts, is_alarm), item_playback (sample_rate, bit_rate), artwork (token
// to relative_path), item_artwork (an item's best and sync tokens),
// sort_map. Tests insert rows into genre, album_artist, composer,
// container_items and sort_map by position: keep those tables' columns and
// their order as they are.
//
// Sort orders: sort_map gives every name (titles, albums, album artists,
// genres, composers, playlist names) its name_order (ascending in sort
// order, with gaps) and name_section (0..25 for A..Z, 26 for anything else);
// the *_order and *_order_section columns of item and container copy the
// values of their name, and the queries sort by them.
#pragma once

#include <objc/objc.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace platform {

// "var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb", relative to
// the device root.
const char* mediaLibraryDevicePath();
// "/var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals".
const char* artworkFolderDevicePath();
// "/var/mobile/Media/", the folder that item.location is relative to.
const char* mediaFolderDevicePath();

// The CREATE statements of every table and index, one script.
const char* mediaLibrarySchemaSQL();

// Creates an empty library with the schema at a host path (its folder must
// exist). An existing file is replaced. False with *error set on failure.
bool createMediaLibrary(const std::string& hostPath, std::string* error);

// Why reads of the media library failed, counted since the process started:
// a caller that compares the counts before and after its reads knows
// whether they saw the whole library. Also counted: a write that a lock kept
// out, and a failed statement of another connection (noteMediaLibraryFailure). `missing`: no library file (or
// something else in its place, named once in the log); `busy`: another
// connection held the library's lock past the busy time-out (2 s; after a
// read found the library locked, the reads of the next 2 s fail at once,
// until one succeeds);
// `unreadable`: anything else (a damaged or changed file, a failed query).
// `reason` words the last failure for a user: "the media library is busy
// (another process holds its lock)", "there is no media library", "the
// media library is not a file", or "the media library cannot be read: "
// with SQLite's account ("database disk image is malformed", "no such
// table: item", ...). `failing`: the last read failed (what the library
// held was not seen since; only the MediaPlayer classes' reads set it).
struct MediaLibraryReadFailures {
    unsigned long missing = 0;
    unsigned long busy = 0;
    unsigned long unreadable = 0;
    std::string reason;
    bool failing = false;

    unsigned long total() const { return missing + busy + unreadable; }
};
MediaLibraryReadFailures mediaLibraryReadFailures();

// One user action's wait for a locked library (a tap, a screen's load, a
// Save): every statement of this thread while it lives, the MediaPlayer
// classes' reads and writes and those of the injected library's own
// connections alike, waits for another process's lock only until one common
// deadline, about 2 s after the action began however many statements it
// runs; once the deadline has passed a locked library fails at once. A wait
// made inside another never outlasts it, and a wait may take over the
// deadline of an action that goes on on another thread. Outside every wait
// a statement waits 2 s of its own (the MediaPlayer classes' reads then
// fail at once for 2 s after one found the library locked, until one
// succeeds). A wait also counts the failures of its thread's statements
// since it began (those counted below, and those its owner notes).
class MediaLibraryWait {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kDefault{2000};

    explicit MediaLibraryWait(std::chrono::milliseconds wait = kDefault);
    explicit MediaLibraryWait(Clock::time_point deadline);
    ~MediaLibraryWait();
    MediaLibraryWait(const MediaLibraryWait&) = delete;
    MediaLibraryWait& operator=(const MediaLibraryWait&) = delete;

    Clock::time_point deadline() const { return deadline_; }
    // Milliseconds left until the deadline, 0 once it has passed.
    int remainingMilliseconds() const;
    // Failures of this thread's statements since this wait began.
    unsigned long failures() const { return failures_; }
    // Counts a failure in this wait and every wait around it.
    void noteFailure();

    // The innermost wait of this thread, or nullptr.
    static MediaLibraryWait* current();
    // The deadline of the action this thread serves now: the innermost
    // wait's, else a fresh one (2 s from now). Work that the action leaves
    // for later (on another thread, or when its views appear) takes it over.
    static Clock::time_point actionDeadline();

private:
    Clock::time_point deadline_;
    unsigned long failures_ = 0;
    MediaLibraryWait* outer_;
};

// The busy time-out of this thread's next statement, in milliseconds: what
// is left of its wait, else 2000.
int mediaLibraryBusyTimeout();

// Counts a failed statement of another connection to the library (the
// injected library's own) with its SQLite result code and SQLite's account
// of it, as the MediaPlayer classes count theirs: busy or locked as `busy`,
// any other error as `unreadable`. Also counted in the thread's wait.
void noteMediaLibraryFailure(int sqliteCode, const std::string& detail);

// Runs a SELECT with integer parameters on the library as the MediaPlayer
// classes read it (a hot journal rolled back first, a failure counted
// above) and calls `row` for each result row; false when the library could
// not be read.
bool readMediaLibrary(const std::string& sql, const std::vector<int64_t>& parameters,
                      const std::function<void(sqlite3_stmt*)>& row);

// Sort order of names as the library keeps it: leading "The " ignored, ASCII
// letters folded to lower case, names that start with a letter before all
// others, empty names last. Returns a byte string comparable with <.
std::string mediaLibrarySortKey(const std::string& name);
// 0..25 for a name whose sort key starts with a..z, 26 otherwise.
int mediaLibrarySortSection(const std::string& name);

// Deletes an entity from the library as the Music app's list screens do: an
// item's rows (its stats, playback, artwork link and playlist memberships);
// a playlist's container and memberships, its songs staying; any other
// collection (album, artist, genre, composer) with all of its items. One
// transaction: false, and nothing changed, when the database refuses it or
// the entity is neither an item nor a collection.
bool deleteMediaEntity(id entity);

// Test switches, off at start: addPlaylistWithName: answers nil without
// writing anything; the playlists query lists hidden playlists too (so that
// a caller's own hidden-playlist check is what a test sees).
void setAddPlaylistAnswersNil(bool on);
bool addPlaylistAnswersNil();
void setPlaylistsQueryListsHidden(bool on);
bool playlistsQueryListsHidden();

}  // namespace platform
