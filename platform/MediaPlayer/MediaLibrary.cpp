// The media library database: its schema, creation and the sort order of
// names.
#include <MediaPlayer/MediaLibrary.h>

#include <sqlite3.h>

#include <cstdio>
#include <unistd.h>

namespace platform {

const char* mediaLibraryDevicePath() { return "var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb"; }
const char* artworkFolderDevicePath() { return "/var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals"; }
const char* mediaFolderDevicePath() { return "/var/mobile/Media/"; }

// No foreign keys are enforced: the Music app and its extensions write the
// tables one statement at a time. Names may be NULL or empty. Columns shared
// by item_stats and item_playback are limited to item_pid, so that a join of
// the two reads every other column unqualified.
const char* mediaLibrarySchemaSQL() {
    return R"sql(
CREATE TABLE container (
    container_pid INTEGER PRIMARY KEY,
    distinguished_kind INTEGER NOT NULL DEFAULT 0,
    date_created INTEGER NOT NULL DEFAULT 0,
    date_modified INTEGER NOT NULL DEFAULT 0,
    name TEXT,
    name_order INTEGER NOT NULL DEFAULT 0,
    name_order_section INTEGER NOT NULL DEFAULT 0,
    is_hidden INTEGER NOT NULL DEFAULT 0,
    is_smart INTEGER NOT NULL DEFAULT 0,
    is_editable INTEGER NOT NULL DEFAULT 1,
    description TEXT
);
CREATE TABLE container_items (
    container_pid INTEGER NOT NULL,
    item_pid INTEGER NOT NULL,
    position INTEGER NOT NULL,
    PRIMARY KEY (container_pid, position)
);
CREATE INDEX container_items_item ON container_items (item_pid);
CREATE TABLE genre (
    genre_id INTEGER PRIMARY KEY,
    genre TEXT
);
CREATE TABLE album_artist (
    album_artist_pid INTEGER PRIMARY KEY,
    album_artist TEXT,
    sort_album_artist TEXT
);
CREATE TABLE album (
    album_pid INTEGER PRIMARY KEY,
    album TEXT,
    sort_album TEXT,
    album_artist_pid INTEGER NOT NULL DEFAULT 0,
    album_year INTEGER NOT NULL DEFAULT 0,
    is_compilation INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE composer (
    composer_pid INTEGER PRIMARY KEY,
    composer TEXT,
    sort_composer TEXT
);
CREATE TABLE item (
    item_pid INTEGER PRIMARY KEY,
    media_type INTEGER NOT NULL DEFAULT 1,
    title TEXT,
    sort_title TEXT,
    title_order INTEGER NOT NULL DEFAULT 0,
    title_order_section INTEGER NOT NULL DEFAULT 0,
    artist TEXT,
    sort_artist TEXT,
    album_pid INTEGER NOT NULL DEFAULT 0,
    album_order INTEGER NOT NULL DEFAULT 0,
    album_order_section INTEGER NOT NULL DEFAULT 0,
    album_artist_pid INTEGER NOT NULL DEFAULT 0,
    album_artist_order INTEGER NOT NULL DEFAULT 0,
    album_artist_order_section INTEGER NOT NULL DEFAULT 0,
    genre_id INTEGER NOT NULL DEFAULT 0,
    genre_order INTEGER NOT NULL DEFAULT 0,
    genre_order_section INTEGER NOT NULL DEFAULT 0,
    composer_pid INTEGER NOT NULL DEFAULT 0,
    composer_order INTEGER NOT NULL DEFAULT 0,
    composer_order_section INTEGER NOT NULL DEFAULT 0,
    track_number INTEGER NOT NULL DEFAULT 0,
    track_count INTEGER NOT NULL DEFAULT 0,
    disc_number INTEGER NOT NULL DEFAULT 0,
    disc_count INTEGER NOT NULL DEFAULT 0,
    year INTEGER NOT NULL DEFAULT 0,
    total_time_ms INTEGER NOT NULL DEFAULT 0,
    file_size INTEGER NOT NULL DEFAULT 0,
    location TEXT,
    date_added INTEGER NOT NULL DEFAULT 0,
    is_compilation INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX item_title_order ON item (title_order);
CREATE INDEX item_album ON item (album_pid);
CREATE INDEX item_album_order ON item (album_order, album_pid, disc_number, track_number);
CREATE INDEX item_album_artist ON item (album_artist_pid);
CREATE INDEX item_genre ON item (genre_id);
CREATE INDEX item_composer ON item (composer_pid);
CREATE TABLE item_stats (
    item_pid INTEGER PRIMARY KEY,
    user_rating INTEGER NOT NULL DEFAULT 0,
    play_count_user INTEGER NOT NULL DEFAULT 0,
    skip_count_user INTEGER NOT NULL DEFAULT 0,
    date_played INTEGER NOT NULL DEFAULT 0,
    date_skipped INTEGER NOT NULL DEFAULT 0,
    is_alarm INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE item_playback (
    item_pid INTEGER PRIMARY KEY,
    audio_format INTEGER NOT NULL DEFAULT 0,
    sample_rate REAL NOT NULL DEFAULT 0,
    bit_rate INTEGER NOT NULL DEFAULT 0,
    start_time_ms INTEGER NOT NULL DEFAULT 0,
    stop_time_ms INTEGER NOT NULL DEFAULT 0,
    is_gapless INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE artwork (
    artwork_token TEXT PRIMARY KEY,
    artwork_source_type INTEGER NOT NULL DEFAULT 0,
    relative_path TEXT,
    artwork_type INTEGER NOT NULL DEFAULT 1
);
CREATE TABLE item_artwork (
    item_pid INTEGER PRIMARY KEY,
    artwork_type INTEGER NOT NULL DEFAULT 1,
    best_artwork_token TEXT,
    sync_artwork_token TEXT
);
CREATE TABLE sort_map (
    name TEXT NOT NULL PRIMARY KEY,
    name_order INTEGER NOT NULL,
    name_section INTEGER NOT NULL,
    sort_key TEXT NOT NULL
);
CREATE INDEX sort_map_key ON sort_map (sort_key);
PRAGMA user_version = 1;
)sql";
}

bool createMediaLibrary(const std::string& hostPath, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    if (hostPath.empty()) return fail("no path for the media library");
    // Only the library generator and tests make a library, at a path of
    // their own choosing, before any app runs on it: not a device file the
    // app reaches, and SQLite opens it by name in any case.
    ::unlink(hostPath.c_str());
    ::unlink((hostPath + "-journal").c_str());
    ::unlink((hostPath + "-wal").c_str());
    ::unlink((hostPath + "-shm").c_str());
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(hostPath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        return fail("cannot create " + hostPath + ": " + message);
    }
    char* message = nullptr;
    rc = sqlite3_exec(db, mediaLibrarySchemaSQL(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        sqlite3_close(db);
        return fail("cannot create the media library schema: " + text);
    }
    sqlite3_close(db);
    return true;
}

namespace {
bool startsWithArticle(const std::string& s) {
    return s.size() > 4 && (s[0] == 'T' || s[0] == 't') && (s[1] == 'H' || s[1] == 'h') &&
           (s[2] == 'E' || s[2] == 'e') && s[3] == ' ';
}
}  // namespace

std::string mediaLibrarySortKey(const std::string& name) {
    std::string body = startsWithArticle(name) ? name.substr(4) : name;
    std::string key;
    key.reserve(body.size() + 1);
    if (body.empty()) {
        key.push_back('2');
        return key;
    }
    char first = body[0];
    bool letter = (first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z');
    key.push_back(letter ? '0' : '1');
    for (char c : body) key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return key;
}

int mediaLibrarySortSection(const std::string& name) {
    std::string key = mediaLibrarySortKey(name);
    if (key.size() >= 2 && key[0] == '0') return key[1] - 'a';
    return 26;
}

}  // namespace platform
