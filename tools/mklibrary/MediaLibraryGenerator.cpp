// The media library generator: entities, rows and files from one seeded
// random sequence.
#include "MediaLibraryGenerator.h"

#include <MediaPlayer/MediaLibrary.h>
#include <platform/DeviceRoot.h>

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>

namespace platform {

namespace {

namespace fs = std::filesystem;
using Name = std::optional<std::string>;  // nullopt: NULL in the database

// A fixed random sequence: std::mt19937_64 is the same everywhere; the
// helpers below avoid the standard distributions, which are not.
class Random {
public:
    explicit Random(uint64_t seed) : engine_(seed) {}
    uint64_t next() { return engine_(); }
    size_t below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::mt19937_64 engine_;
};

const char* const kAdjectives[] = {"Midnight", "Golden",   "Silent", "Electric", "Paper",  "Crimson",
                                   "Hollow",   "Velvet",   "Neon",   "Broken",   "Wild",   "Quiet",
                                   "Summer",   "Northern", "Distant", "Glass",   "Lucky",  "Silver"};
const char* const kNouns[] = {"River",  "Heart",  "Sky",    "Road",   "Fire",  "Garden", "Machine", "Echo",
                              "Harbor", "Signal", "Mirror", "Storm",  "Letter", "Lights", "Dream",  "Shadow",
                              "Engine", "Tide",   "Forest", "Window", "Radio", "Canyon"};

std::string phrase(Random& r) {
    return std::string(kAdjectives[r.below(std::size(kAdjectives))]) + " " + kNouns[r.below(std::size(kNouns))];
}

// The special names come first, then made-up ones until `count`.
std::vector<Name> names(Random& r, const std::vector<Name>& special, size_t count,
                        const std::function<std::string(Random&, size_t)>& make) {
    std::vector<Name> out;
    for (size_t i = 0; i < count; ++i) out.push_back(i < special.size() ? special[i] : Name(make(r, i)));
    return out;
}

// Persistent ids: random, every other one with the top bit set, never 0 and
// never repeated.
class Ids {
public:
    explicit Ids(Random& r) : r_(r) {}
    int64_t next() {
        for (;;) {
            uint64_t v = r_.next() >> 1;
            if (flip_) v |= uint64_t(1) << 63;
            if (v == 0 || !used_.insert(v).second) continue;
            flip_ = !flip_;
            return static_cast<int64_t>(v);
        }
    }

private:
    Random& r_;
    std::set<uint64_t> used_;
    bool flip_ = false;
};

struct Album {
    int64_t pid;
    Name title;
    size_t artist;
    size_t genre;
    int year;
    bool compilation;
    int artwork;  // -1: none, else the artwork index
};

struct Item {
    int64_t pid;
    Name title;
    Name artist;
    size_t album;
    int composer;  // -1: none
    int track;
    int disc;
    size_t file;
    bool hasPlayback;
};

struct Playlist {
    int64_t pid;
    Name name;
    int hidden;
    bool smart;
    std::vector<size_t> items;
};

struct AudioFile {
    std::string location;  // relative to var/mobile/Media
    std::string hostPath;
    int64_t size = 0;
};

// sort_map: every name's order (gaps of 1024) and section.
class SortMap {
public:
    void add(const Name& n) {
        if (n) names_.insert(*n);
    }
    void finish() {
        std::vector<std::pair<std::string, std::string>> keyed;
        for (const std::string& n : names_) keyed.emplace_back(mediaLibrarySortKey(n), n);
        std::sort(keyed.begin(), keyed.end());
        int64_t order = 0;
        for (auto& [key, name] : keyed) entries_[name] = {order += 1024, mediaLibrarySortSection(name), key};
        last_ = order + 1024;
    }
    // NULL names sort after everything.
    std::pair<int64_t, int> of(const Name& n) const {
        if (!n) return {last_, 26};
        const Entry& e = entries_.at(*n);
        return {e.order, e.section};
    }
    template <class F>
    void each(F&& f) const {
        for (const auto& [name, e] : entries_) f(name, e.order, e.section, e.key);
    }

private:
    struct Entry {
        int64_t order;
        int section;
        std::string key;
    };
    std::set<std::string> names_;
    std::map<std::string, Entry> entries_;
    int64_t last_ = 1024;
};

// Prepared statements of one table, bound by position.
class Insert {
public:
    Insert(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) st_ = nullptr;
    }
    ~Insert() { sqlite3_finalize(st_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    bool ok() const { return st_ != nullptr; }
    Insert& bind(int64_t v) {
        sqlite3_bind_int64(st_, ++index_, v);
        return *this;
    }
    Insert& bind(double v) {
        sqlite3_bind_double(st_, ++index_, v);
        return *this;
    }
    Insert& bind(const Name& v) {
        ++index_;
        if (v) sqlite3_bind_text(st_, index_, v->data(), static_cast<int>(v->size()), SQLITE_TRANSIENT);
        else sqlite3_bind_null(st_, index_);
        return *this;
    }
    // Runs the statement; false (with the message kept) on failure.
    bool run() {
        int rc = sqlite3_step(st_);
        sqlite3_reset(st_);
        sqlite3_clear_bindings(st_);
        index_ = 0;
        if (rc != SQLITE_DONE) {
            if (failure_.empty()) failure_ = sqlite3_errmsg(db_);
            return false;
        }
        return true;
    }
    const std::string& failure() const { return failure_; }

private:
    sqlite3* db_;
    sqlite3_stmt* st_ = nullptr;
    int index_ = 0;
    std::string failure_;
};

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string hex(uint64_t v, int digits) {
    static const char* d = "0123456789abcdef";
    std::string s(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = d[v & 15];
    return s;
}

constexpr int kArtworks = 6;
constexpr size_t kMaxAudioFiles = 20;
constexpr int64_t kBaseDate = 1600000000;  // seconds since 1970

}  // namespace

bool generateMediaLibrary(const std::string& rootHostPath, const GenerateOptions& options, std::string* error,
                          GenerateSummary* summary) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    if (rootHostPath.empty()) return fail("no device root given");
    const size_t songs = options.songs;
    Random r(options.seed);
    Ids ids(r);

    // ---- Entities.
    std::vector<Name> genres = {"Rock", "Pop", "Jazz", "Electronic", "Hip-Hop/Rap", "Classical", "Folk",
                                "Электроника", "J-Pop", "R&B/Soul", "", std::nullopt};
    std::vector<int64_t> genreIds;
    for (size_t i = 0; i < genres.size(); ++i) genreIds.push_back(ids.next());

    size_t artistCount = std::max<size_t>(10, songs / 25);
    std::vector<Name> artists =
        names(r,
              {"Gulls 'n' Roses", "Сполох", "坂本夜風", "100% Pure", "🎸 Riffs Collective", "Various Artists",
               "The Night Owls", "", std::nullopt},
              artistCount, [](Random& rr, size_t i) { return phrase(rr) + "s" + (i % 7 == 0 ? " Band" : ""); });
    std::vector<int64_t> artistIds;
    for (size_t i = 0; i < artists.size(); ++i) artistIds.push_back(ids.next());
    const size_t variousArtists = 5;
    const size_t kSpecialArtists = 9;

    size_t composerCount = std::max<size_t>(5, songs / 100);
    std::vector<Name> composers = names(r, {"坂本夜風", "J. S. O'Brien", "100% Writers", "", std::nullopt},
                                        composerCount, [](Random& rr, size_t) {
                                            return std::string(kNouns[rr.below(std::size(kNouns))]) + " " +
                                                   kAdjectives[rr.below(std::size(kAdjectives))] + "son";
                                        });
    std::vector<int64_t> composerIds;
    for (size_t i = 0; i < composers.size(); ++i) composerIds.push_back(ids.next());

    size_t albumCount = std::max<size_t>(12, songs / 10);
    std::vector<Name> albumTitles =
        names(r, {"100% Pure", "🎸 Riffs", "Don't Look Back", "Сполох Live", "夜の音楽", "", std::nullopt}, albumCount,
              [](Random& rr, size_t i) { return phrase(rr) + (i % 9 == 0 ? " (Deluxe)" : ""); });
    std::vector<Album> albums;
    for (size_t a = 0; a < albumCount; ++a) {
        Album al;
        al.pid = ids.next();
        al.title = albumTitles[a];
        al.compilation = a % 15 == 14;
        al.artist = al.compilation ? variousArtists : a % artists.size();
        if (!al.compilation && al.artist == variousArtists) ++al.artist;
        al.genre = r.below(genres.size());
        al.year = 1965 + static_cast<int>(r.below(60));
        al.artwork = a % 5 == 4 ? -1 : static_cast<int>(a % kArtworks);
        albums.push_back(al);
    }

    // Items: albums take consecutive runs of tracks.
    std::vector<Name> specialTitles = {"It's 100% Real", "Don't Stop", "Ночной дождь", "夜の雨", "🎸 Solo",
                                       "",               std::nullopt, "The Long Goodbye"};
    std::vector<Item> items;
    items.reserve(songs);
    std::vector<int> trackOf(albumCount, 0);
    for (size_t i = 0; i < songs; ++i) {
        Item it;
        it.pid = ids.next();
        it.title = i < specialTitles.size() ? specialTitles[i] : Name(phrase(r) + (r.chance(10) ? " (Live)" : ""));
        it.album = songs <= albumCount ? i % albumCount : i * albumCount / songs;
        const Album& al = albums[it.album];
        // A compilation's tracks are by the made-up artists.
        it.artist = al.compilation ? artists[kSpecialArtists + r.below(artists.size() - kSpecialArtists)]
                                   : artists[al.artist];
        if (i == 3) it.artist = std::nullopt;
        if (it.artist && r.chance(8)) it.artist = *it.artist + " feat. " + phrase(r);
        it.composer = r.chance(70) ? static_cast<int>(r.below(composers.size())) : -1;
        int n = ++trackOf[it.album];
        it.disc = n > 12 ? 2 : 1;
        it.track = n > 12 ? n - 12 : n;
        it.hasPlayback = i != 7;
        items.push_back(std::move(it));
    }

    size_t playlistCount = std::clamp<size_t>(songs / 40, 8, 40);
    std::vector<Name> playlistNames = names(r,
                                            {"Road Trip", "Gulls 'n' Roses Live", "100% Pure Hits", "Сполох — лучшее",
                                             "🎸 Riffs", "", std::nullopt, "Hidden Gems"},
                                            playlistCount, [](Random& rr, size_t) { return phrase(rr) + " Mix"; });
    std::vector<Playlist> playlists;
    for (size_t p = 0; p < playlistCount; ++p) {
        Playlist pl{ids.next(), playlistNames[p], p == 7 ? 1 : 0, p == 2, {}};
        size_t n = p == 4 || songs == 0 ? 0 : 3 + r.below(20);  // "🎸 Riffs" stays empty
        for (size_t k = 0; k < n; ++k) pl.items.push_back(r.below(songs));
        playlists.push_back(std::move(pl));
    }

    SortMap sorts;
    for (const Name& n : genres) sorts.add(n);
    for (const Name& n : artists) sorts.add(n);
    for (const Name& n : composers) sorts.add(n);
    for (const Album& a : albums) sorts.add(a.title);
    for (const Item& it : items) {
        sorts.add(it.title);
        sorts.add(it.artist);
    }
    for (const Playlist& p : playlists) sorts.add(p.name);
    sorts.finish();

    // ---- Files. Nothing is made or written through a symlink that leads
    // out of the root, and "a/../b" is the folder b (a is never made).
    const std::string rootPath = absoluteHostPath(rootHostPath);
    if (rootPath.empty()) return fail("cannot use the device root " + rootHostPath);
    const fs::path root(rootPath);
    const fs::path media = root / "var/mobile/Media";
    const fs::path artworkFolder = media / "iTunes_Control/iTunes/Artwork/Originals";
    std::error_code ec;
    const char* const kOutside = "it leads out of the device root through a symlink";
    auto outside = [&](const fs::path& path) { return !resolvesInside(path.string(), rootPath); };
    // "" when made, else why not.
    auto makeFolder = [&](const fs::path& folder) -> std::string {
        if (outside(folder)) return kOutside;
        fs::create_directories(folder, ec);
        return ec ? ec.message() : std::string();
    };
    auto write = [&](const fs::path& path, const std::vector<unsigned char>& bytes) -> std::string {
        std::string why = makeFolder(path.parent_path());
        if (why.empty() && outside(path)) why = kOutside;
        if (why.empty() && !writeFile(path.string(), bytes)) why = "cannot write it";
        return why;
    };
    if (std::string why = makeFolder(artworkFolder); !why.empty())
        return fail("cannot make " + artworkFolder.string() + ": " + why);

    std::vector<std::vector<unsigned char>> pictures;
    std::vector<std::string> artworkPaths;
    for (int k = 0; k < kArtworks; ++k) {
        pictures.push_back(generator::artworkJPEG(k, k % 2 == 0 ? 300 : 600));
        std::string relative = hex(r.next() & 0xff, 2) + "/" + hex(r.next(), 16) + ".jpg";
        if (std::string why = write(artworkFolder / relative, pictures.back()); !why.empty())
            return fail("cannot write the artwork " + (artworkFolder / relative).string() + ": " + why);
        artworkPaths.push_back(relative);
    }

    size_t fileCount = std::min(kMaxAudioFiles, songs);
    std::vector<AudioFile> files;
    std::set<std::string> fileNames;
    for (size_t f = 0; f < fileCount; ++f) {
        std::string name;
        do {
            name.clear();
            for (int k = 0; k < 4; ++k) name += static_cast<char>('A' + r.below(26));
        } while (!fileNames.insert(name).second);
        AudioFile file;
        file.location = "iTunes_Control/Music/F0" + std::to_string(f % 5) + "/" + name + ".mp3";
        file.hostPath = (media / file.location).string();
        std::vector<unsigned char> mp3 = generator::toneMP3(220.0 * std::pow(2.0, static_cast<double>(f) / 12.0));
        if (mp3.empty()) return fail("cannot make the audio of " + file.hostPath);
        if (std::string why = write(file.hostPath, mp3); !why.empty())
            return fail("cannot write " + file.hostPath + ": " + why);
        // The file is tagged as the first item that plays it.
        const Item& it = items[f];
        const Album& al = albums[it.album];
        std::vector<unsigned char> cover;
        if (f % 3 == 0 && al.artwork >= 0) cover = pictures[static_cast<size_t>(al.artwork)];
        std::string why;
        if (!generator::tagMP3(file.hostPath, it.title.value_or(""), al.title.value_or(""), it.artist.value_or(""),
                               cover, &why))
            return fail(why);
        file.size = static_cast<int64_t>(fs::file_size(file.hostPath, ec));
        files.push_back(std::move(file));
    }
    for (size_t i = 0; i < items.size(); ++i) items[i].file = i % std::max<size_t>(fileCount, 1);

    // ---- Database.
    fs::path dbPath = root / mediaLibraryDevicePath();
    std::string why = makeFolder(dbPath.parent_path());
    if (why.empty() && outside(dbPath)) why = kOutside;
    if (!why.empty()) return fail("cannot make " + dbPath.string() + ": " + why);
    if (!createMediaLibrary(dbPath.string(), &why)) return fail(why);
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return fail("cannot open " + dbPath.string());
    }
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> closer(db, sqlite3_close);
    sqlite3_exec(db, "PRAGMA synchronous = OFF; BEGIN", nullptr, nullptr, nullptr);
    bool ok = true;
    std::string failure;
    {
        Insert genre(db, "INSERT INTO genre (genre_id, genre) VALUES (?, ?)");
        Insert artist(db, "INSERT INTO album_artist (album_artist_pid, album_artist, sort_album_artist) VALUES (?, ?, ?)");
        Insert composer(db, "INSERT INTO composer (composer_pid, composer, sort_composer) VALUES (?, ?, ?)");
        Insert album(db,
                     "INSERT INTO album (album_pid, album, sort_album, album_artist_pid, album_year, is_compilation) "
                     "VALUES (?, ?, ?, ?, ?, ?)");
        Insert item(db,
                    "INSERT INTO item (item_pid, media_type, title, sort_title, title_order, title_order_section, "
                    "artist, sort_artist, album_pid, album_order, album_order_section, album_artist_pid, "
                    "album_artist_order, album_artist_order_section, genre_id, genre_order, genre_order_section, "
                    "composer_pid, composer_order, composer_order_section, track_number, track_count, disc_number, "
                    "disc_count, year, total_time_ms, file_size, location, date_added, is_compilation) "
                    "VALUES (?, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 500, ?, ?, ?, ?)");
        Insert stats(db,
                     "INSERT INTO item_stats (item_pid, user_rating, play_count_user, skip_count_user, date_played, "
                     "is_alarm) VALUES (?, ?, ?, ?, ?, ?)");
        Insert playback(db,
                        "INSERT INTO item_playback (item_pid, audio_format, sample_rate, bit_rate) VALUES (?, 1, ?, ?)");
        Insert artwork(db, "INSERT INTO artwork (artwork_token, artwork_source_type, relative_path) VALUES (?, 1, ?)");
        Insert itemArtwork(db,
                           "INSERT INTO item_artwork (item_pid, best_artwork_token, sync_artwork_token) VALUES (?, ?, '')");
        Insert container(db,
                         "INSERT INTO container (container_pid, name, name_order, name_order_section, is_hidden, "
                         "is_smart, date_created, date_modified) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        Insert containerItem(db, "INSERT INTO container_items (container_pid, item_pid, position) VALUES (?, ?, ?)");
        Insert sortMap(db, "INSERT INTO sort_map (name, name_order, name_section, sort_key) VALUES (?, ?, ?, ?)");
        for (Insert* s : {&genre, &artist, &composer, &album, &item, &stats, &playback, &artwork, &itemArtwork,
                          &container, &containerItem, &sortMap})
            if (!s->ok()) {
                failure = sqlite3_errmsg(db);
                ok = false;
            }

        for (size_t g = 0; ok && g < genres.size(); ++g) ok = genre.bind(genreIds[g]).bind(genres[g]).run();
        for (size_t a = 0; ok && a < artists.size(); ++a)
            ok = artist.bind(artistIds[a]).bind(artists[a]).bind(artists[a]).run();
        for (size_t c = 0; ok && c < composers.size(); ++c)
            ok = composer.bind(composerIds[c]).bind(composers[c]).bind(composers[c]).run();
        for (const Album& a : albums) {
            if (!ok) break;
            ok = album.bind(a.pid).bind(a.title).bind(a.title).bind(artistIds[a.artist]).bind(int64_t{a.year})
                     .bind(int64_t{a.compilation}).run();
        }
        for (int k = 0; ok && k < kArtworks; ++k)
            ok = artwork.bind(Name(std::to_string(k + 1))).bind(Name(artworkPaths[static_cast<size_t>(k)])).run();
        for (size_t i = 0; ok && i < items.size(); ++i) {
            const Item& it = items[i];
            const Album& al = albums[it.album];
            auto [titleOrder, titleSection] = sorts.of(it.title);
            auto [albumOrder, albumSection] = sorts.of(al.title);
            auto [artistOrder, artistSection] = sorts.of(artists[al.artist]);
            auto [genreOrder, genreSection] = sorts.of(genres[al.genre]);
            std::pair<int64_t, int> composerSort{0, 0};
            if (it.composer >= 0) composerSort = sorts.of(composers[static_cast<size_t>(it.composer)]);
            const AudioFile& file = files[it.file];
            ok = item.bind(it.pid)
                     .bind(it.title)
                     .bind(it.title)
                     .bind(titleOrder)
                     .bind(int64_t{titleSection})
                     .bind(it.artist)
                     .bind(it.artist)
                     .bind(al.pid)
                     .bind(albumOrder)
                     .bind(int64_t{albumSection})
                     .bind(artistIds[al.artist])
                     .bind(artistOrder)
                     .bind(int64_t{artistSection})
                     .bind(genreIds[al.genre])
                     .bind(genreOrder)
                     .bind(int64_t{genreSection})
                     .bind(it.composer >= 0 ? composerIds[static_cast<size_t>(it.composer)] : int64_t{0})
                     .bind(composerSort.first)
                     .bind(int64_t{composerSort.second})
                     .bind(int64_t{it.track})
                     .bind(int64_t{trackOf[it.album] > 12 ? 12 : trackOf[it.album]})
                     .bind(int64_t{it.disc})
                     .bind(int64_t{trackOf[it.album] > 12 ? 2 : 1})
                     .bind(int64_t{al.year})
                     .bind(file.size)
                     .bind(Name(file.location))
                     .bind(kBaseDate + static_cast<int64_t>(i) * 60)
                     .bind(int64_t{al.compilation})
                     .run();
            bool played = !r.chance(30);
            ok = ok && stats.bind(it.pid)
                           .bind(static_cast<int64_t>(r.below(6) * 20))
                           .bind(played ? static_cast<int64_t>(1 + r.below(50)) : int64_t{0})
                           .bind(static_cast<int64_t>(r.below(5)))
                           .bind(played ? kBaseDate + static_cast<int64_t>(r.below(40000000)) : int64_t{0})
                           .bind(int64_t{i % 97 == 5})
                           .run();
            if (ok && it.hasPlayback) ok = playback.bind(it.pid).bind(44100.0).bind(int64_t{128}).run();
            // Every item has its artwork row; one without artwork has empty tokens.
            if (ok)
                ok = itemArtwork.bind(it.pid)
                         .bind(Name(al.artwork >= 0 ? std::to_string(al.artwork + 1) : std::string()))
                         .run();
        }
        for (size_t p = 0; ok && p < playlists.size(); ++p) {
            const Playlist& pl = playlists[p];
            auto [order, section] = sorts.of(pl.name);
            ok = container.bind(pl.pid)
                     .bind(pl.name)
                     .bind(order)
                     .bind(int64_t{section})
                     .bind(int64_t{pl.hidden})
                     .bind(int64_t{pl.smart})
                     .bind(kBaseDate + static_cast<int64_t>(p) * 3600)
                     .bind(kBaseDate + static_cast<int64_t>(p) * 7200)
                     .run();
            for (size_t k = 0; ok && k < pl.items.size(); ++k)
                ok = containerItem.bind(pl.pid).bind(items[pl.items[k]].pid).bind(static_cast<int64_t>(k)).run();
        }
        sorts.each([&](const std::string& name, int64_t order, int section, const std::string& key) {
            if (ok) ok = sortMap.bind(Name(name)).bind(order).bind(int64_t{section}).bind(Name(key)).run();
        });
        for (Insert* s : {&genre, &artist, &composer, &album, &item, &stats, &playback, &artwork, &itemArtwork,
                          &container, &containerItem, &sortMap})
            if (failure.empty() && !s->failure().empty()) failure = s->failure();
    }
    if (!ok) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail("cannot fill the media library: " + failure);
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(std::string("cannot save the media library: ") + sqlite3_errmsg(db));

    if (summary) {
        summary->songs = items.size();
        summary->albums = albums.size();
        summary->albumArtists = artists.size();
        summary->genres = genres.size();
        summary->composers = composers.size();
        summary->playlists = playlists.size();
        summary->artworks = kArtworks;
        summary->audioFiles = files.size();
    }
    return true;
}

}  // namespace platform
