// A small media library with known contents, written into the current
// device root, for the tests of the list screens and the host's commands.
//
//   album artist (pid)       album (pid)                       songs (pid: title, track)
//   Amber Lane (101)         Arrival (201)                     1001 Dancing Lights 1, 1002 Money, Money, Maybe 2
//   Blue Harbor (102)        Aerial Maps (202)                 1003 Coming Home 1, 1004 Something Blue 2,
//                                                              1005 Otter's Garden 3
//   The Copper Moths (103)   Driftwood (203)                   1006 Lullaby 1, 1007 Lovesong 2
//   4 Quiet Rooms (104)      Bigger, Brighter, Louder! (204)   1008 What's Left 1
//   Various Artists (105)    Now Hits (205, a compilation)     1009 Zero Hour 1, 1010 Atlas 2
//
// Genres: Pop 1 (Amber Lane's songs, Atlas), Rock 2 (Blue Harbor's, What's
// Left), Alternative 3 (The Copper Moths', Zero Hour). Composers: Ashford
// 401 (Amber Lane's), Lindqvist 402 (Coming Home), Halloran 403 (Something
// Blue); the others have none. Playlists: Road Trip 501 (Atlas, Coming
// Home, Lullaby), Chill 502 (Something Blue) and the hidden Secret 503 (Zero
// Hour). Amber Lane's two songs have artwork: a 6 x 4 PNG, red.
#pragma once

#include <MediaPlayer/MediaLibrary.h>
#include <platform/DeviceRoot.h>

#include <cairo.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace fixture {

struct Song {
    int64_t pid;
    const char* title;
    int64_t album;
    int64_t track;
    int64_t genre;
    int64_t composer;  // 0: none
    const char* artist;
};

inline const std::vector<Song>& songs() {
    static const std::vector<Song> list = {
        {1001, "Dancing Lights", 201, 1, 1, 401, "Amber Lane"},
        {1002, "Money, Money, Maybe", 201, 2, 1, 401, "Amber Lane"},
        {1003, "Coming Home", 202, 1, 2, 402, "Blue Harbor"},
        {1004, "Something Blue", 202, 2, 2, 403, "Blue Harbor"},
        {1005, "Otter's Garden", 202, 3, 2, 0, "Blue Harbor"},
        {1006, "Lullaby", 203, 1, 3, 0, "The Copper Moths"},
        {1007, "Lovesong", 203, 2, 3, 0, "The Copper Moths"},
        {1008, "What's Left", 204, 1, 2, 0, "4 Quiet Rooms"},
        {1009, "Zero Hour", 205, 1, 3, 0, "The Linen Owls"},
        {1010, "Atlas", 205, 2, 1, 0, "Tollund"},
    };
    return list;
}

struct Album {
    int64_t pid;
    const char* title;
    int64_t artist;
    bool compilation;
};

inline const std::vector<Album>& albums() {
    static const std::vector<Album> list = {
        {201, "Arrival", 101, false},   {202, "Aerial Maps", 102, false},
        {203, "Driftwood", 103, false}, {204, "Bigger, Brighter, Louder!", 104, false},
        {205, "Now Hits", 105, true},
    };
    return list;
}

inline const std::map<int64_t, const char*>& albumArtists() {
    static const std::map<int64_t, const char*> m = {
        {101, "Amber Lane"}, {102, "Blue Harbor"}, {103, "The Copper Moths"}, {104, "4 Quiet Rooms"}, {105, "Various Artists"}};
    return m;
}

inline const std::map<int64_t, const char*>& genres() {
    static const std::map<int64_t, const char*> m = {{1, "Pop"}, {2, "Rock"}, {3, "Alternative"}};
    return m;
}

inline const std::map<int64_t, const char*>& composers() {
    static const std::map<int64_t, const char*> m = {{401, "Ashford"}, {402, "Lindqvist"}, {403, "Halloran"}};
    return m;
}

struct Playlist {
    int64_t pid;
    const char* name;
    bool hidden;
    std::vector<int64_t> items;
};

inline const std::vector<Playlist>& playlists() {
    static const std::vector<Playlist> list = {
        {501, "Road Trip", false, {1010, 1003, 1006}},
        {502, "Chill", false, {1004}},
        {503, "Secret", true, {1009}},
    };
    return list;
}

inline constexpr int kArtworkWidth = 6;
inline constexpr int kArtworkHeight = 4;

// The sort rank of each name among `names` (the library's sort order).
inline std::map<std::string, int64_t> ranks(std::vector<std::string> names) {
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return platform::mediaLibrarySortKey(a) < platform::mediaLibrarySortKey(b);
    });
    std::map<std::string, int64_t> out;
    for (size_t i = 0; i < names.size(); ++i) out.emplace(names[i], static_cast<int64_t>(i + 1) * 100);
    return out;
}

inline bool exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    bool ok = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    sqlite3_free(message);
    return ok;
}

inline std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

inline std::string number(int64_t v) { return std::to_string(v); }

// Writes a red PNG of kArtworkWidth x kArtworkHeight at a host path.
inline bool writeArtwork(const std::string& hostPath) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kArtworkWidth, kArtworkHeight);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(s, hostPath.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

// Creates an empty library under the current device root (a device always
// has one; without it the platform logs that it is missing); false on
// failure.
inline bool writeEmptyLibrary() {
    std::string path = platform::devicePath(platform::mediaLibraryDevicePath());
    return platform::makeDeviceDirectories(path.substr(0, path.find_last_of('/'))) &&
           platform::createMediaLibrary(path, nullptr);
}

// Creates the library under the current device root; false on failure.
inline bool writeLibrary() {
    std::string path = platform::devicePath(platform::mediaLibraryDevicePath());
    std::string folder = path.substr(0, path.find_last_of('/'));
    std::string artFolder = platform::devicePath(std::string(platform::artworkFolderDevicePath()) + "/a1");
    if (!platform::makeDeviceDirectories(folder) || !platform::makeDeviceDirectories(artFolder)) return false;
    if (!platform::createMediaLibrary(path, nullptr)) return false;
    if (!writeArtwork(artFolder + "/arrival.png")) return false;

    std::vector<std::string> titles, albumTitles, artistNames, genreNames, composerNames, playlistNames;
    for (const Song& s : songs()) titles.push_back(s.title);
    for (const Album& a : albums()) albumTitles.push_back(a.title);
    for (const auto& [pid, name] : albumArtists()) artistNames.push_back(name);
    for (const auto& [pid, name] : genres()) genreNames.push_back(name);
    for (const auto& [pid, name] : composers()) composerNames.push_back(name);
    for (const Playlist& p : playlists()) playlistNames.push_back(p.name);
    auto titleOrder = ranks(titles), albumOrder = ranks(albumTitles), artistOrder = ranks(artistNames),
         genreOrder = ranks(genreNames), composerOrder = ranks(composerNames), playlistOrder = ranks(playlistNames);

    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    std::string sql = "BEGIN;";
    for (const auto& [pid, name] : albumArtists())
        sql += "INSERT INTO album_artist VALUES (" + number(pid) + "," + quoted(name) + "," + quoted(name) + ");";
    for (const auto& [pid, name] : genres())
        sql += "INSERT INTO genre VALUES (" + number(pid) + "," + quoted(name) + ");";
    for (const auto& [pid, name] : composers())
        sql += "INSERT INTO composer VALUES (" + number(pid) + "," + quoted(name) + "," + quoted(name) + ");";
    for (const Album& a : albums())
        sql += "INSERT INTO album (album_pid, album, sort_album, album_artist_pid, is_compilation) VALUES (" +
               number(a.pid) + "," + quoted(a.title) + "," + quoted(a.title) + "," + number(a.artist) + "," +
               (a.compilation ? "1" : "0") + ");";
    for (const Song& s : songs()) {
        const Album& a = *std::find_if(albums().begin(), albums().end(), [&](const Album& x) { return x.pid == s.album; });
        std::string artistName = albumArtists().at(a.artist);
        sql += "INSERT INTO item (item_pid, title, sort_title, title_order, title_order_section, artist, album_pid, "
               "album_order, album_order_section, album_artist_pid, album_artist_order, album_artist_order_section, "
               "genre_id, genre_order, genre_order_section, composer_pid, composer_order, composer_order_section, "
               "track_number, track_count, disc_number, disc_count, total_time_ms, location, is_compilation) VALUES (" +
               number(s.pid) + "," + quoted(s.title) + "," + quoted(s.title) + "," + number(titleOrder[s.title]) + "," +
               number(platform::mediaLibrarySortSection(s.title)) + "," + quoted(s.artist) + "," + number(a.pid) + "," +
               number(albumOrder[a.title]) + "," + number(platform::mediaLibrarySortSection(a.title)) + "," +
               number(a.artist) + "," + number(artistOrder[artistName]) + "," +
               number(platform::mediaLibrarySortSection(artistName)) + "," + number(s.genre) + "," +
               number(genreOrder[genres().at(s.genre)]) + "," +
               number(platform::mediaLibrarySortSection(genres().at(s.genre))) + "," + number(s.composer) + "," +
               number(s.composer ? composerOrder[composers().at(s.composer)] : 0) + "," +
               number(s.composer ? platform::mediaLibrarySortSection(composers().at(s.composer)) : 0) + "," +
               number(s.track) + ",3,1,1,180000," + quoted("Music/F00/" + number(s.pid) + ".mp3") + "," +
               (a.compilation ? "1" : "0") + ");";
        sql += "INSERT INTO item_stats (item_pid) VALUES (" + number(s.pid) + ");";
        if (s.album == 201)
            sql += "INSERT INTO item_artwork (item_pid, best_artwork_token) VALUES (" + number(s.pid) + ",'aw1');";
    }
    sql += "INSERT INTO artwork (artwork_token, relative_path) VALUES ('aw1', 'a1/arrival.png');";
    for (const Playlist& p : playlists()) {
        sql += "INSERT INTO container (container_pid, name, name_order, name_order_section, is_hidden) VALUES (" +
               number(p.pid) + "," + quoted(p.name) + "," + number(playlistOrder[p.name]) + "," +
               number(platform::mediaLibrarySortSection(p.name)) + "," + (p.hidden ? "1" : "0") + ");";
        for (size_t i = 0; i < p.items.size(); ++i)
            sql += "INSERT INTO container_items VALUES (" + number(p.pid) + "," + number(p.items[i]) + "," +
                   number(static_cast<int64_t>(i)) + ");";
    }
    sql += "COMMIT;";
    bool ok = exec(db, sql);
    sqlite3_close(db);
    return ok;
}

#ifdef CANTREL_RESOURCES_DIR
// A device root for the Music host at `root`: the library above and the
// library's resource bundle.
inline bool writeHostRoot(const std::string& root) {
    platform::setDeviceRoot(root);
    if (!writeLibrary()) return false;
    std::string bundle = root + "/Library/Application Support/Cantrel/Cantrel.bundle";
    std::error_code error;
    std::filesystem::create_directories(bundle, error);
    std::filesystem::copy(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle", bundle, error);
    return !error;
}
#endif

}  // namespace fixture
