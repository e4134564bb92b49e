// Database access of the MediaPlayer classes.
#include "LibraryStore.h"

#include <MediaPlayer/MediaLibrary.h>
#include <platform/DeviceRoot.h>
#include <platform/Log.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <chrono>
#include <climits>
#include <map>
#include <memory>
#include <mutex>

namespace platform::medialibrary {

const char* itemColumns() {
    return "i.item_pid, i.album_pid, i.album_artist_pid, i.genre_id, i.composer_pid, i.title, i.artist, i.location, "
           "ia.sync_artwork_token, ia.best_artwork_token, i.media_type, i.track_number, i.track_count, "
           "i.disc_number, i.disc_count, i.year, i.total_time_ms, i.is_compilation, s.user_rating, "
           "s.play_count_user, s.skip_count_user, s.date_played, i.title_order, i.album_order, "
           "i.album_artist_order, i.genre_order, i.composer_order";
}

const char* itemJoins() {
    return " LEFT JOIN item_stats s ON s.item_pid = i.item_pid LEFT JOIN item_artwork ia ON ia.item_pid = i.item_pid";
}

Text columnText(sqlite3_stmt* st, int column) {
    const unsigned char* p = sqlite3_column_text(st, column);
    if (p == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(st, column)));
}

namespace {

// The small tables an item row refers to, by id.
struct NameTables {
    std::unordered_map<int64_t, Text> albums, albumArtists, genres, composers;
    std::unordered_map<std::string, Text> artworkPaths;  // token -> relative_path
};

// Reads an item row; the artwork tokens go to *sync and *best.
ItemRow readItemRow(sqlite3_stmt* st, int first, const NameTables& names) {
    ItemRow r;
    int c = first;
    r.pid = sqlite3_column_int64(st, c++);
    r.albumPid = sqlite3_column_int64(st, c++);
    r.albumArtistPid = sqlite3_column_int64(st, c++);
    r.genreId = sqlite3_column_int64(st, c++);
    r.composerPid = sqlite3_column_int64(st, c++);
    r.title = columnText(st, c++);
    r.artist = columnText(st, c++);
    r.location = columnText(st, c++);
    // The token the library wrote last (sync) wins over the best one.
    for (int k = 0; k < 2 && !r.artworkPath; ++k, ++c) {
        const unsigned char* token = sqlite3_column_text(st, c);
        if (token == nullptr || *token == '\0') continue;
        auto it = names.artworkPaths.find(reinterpret_cast<const char*>(token));
        if (it != names.artworkPaths.end()) r.artworkPath = it->second;
    }
    c = first + 10;
    for (int64_t* v : {&r.mediaType, &r.trackNumber, &r.trackCount, &r.discNumber, &r.discCount, &r.year,
                       &r.totalTimeMs, &r.isCompilation, &r.userRating, &r.playCount, &r.skipCount, &r.datePlayed,
                       &r.titleOrder, &r.albumOrder, &r.albumArtistOrder, &r.genreOrder, &r.composerOrder})
        *v = sqlite3_column_int64(st, c++);
    auto name = [](const std::unordered_map<int64_t, Text>& table, int64_t key) -> Text {
        auto it = table.find(key);
        return it == table.end() ? std::nullopt : it->second;
    };
    r.albumTitle = name(names.albums, r.albumPid);
    r.albumArtist = name(names.albumArtists, r.albumArtistPid);
    r.genre = name(names.genres, r.genreId);
    r.composer = name(names.composers, r.composerPid);
    return r;
}

}  // namespace

std::string libraryHostPath() { return platform::devicePath(mediaLibraryDevicePath()); }

namespace {

// How long a locked library is waited for; after a read found it locked,
// the reads of the next such span fail at once instead of each waiting,
// until a read succeeds.
constexpr int kBusyTimeoutMs = 2000;

struct FailureState {
    std::mutex lock;
    platform::MediaLibraryReadFailures counts;
    std::chrono::steady_clock::time_point lastBusy{};
    bool busySeen = false;
    // The path and state last named in the log for a library that is not
    // there, so that it is named once.
    std::string reportedPath;
    int reportedState = 0;
};

FailureState& failures() {
    static auto* state = new FailureState;
    return *state;
}

bool isBusy(int code) { return (code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED; }

// Counts a failed statement by its SQLite result code; `detail` is SQLite's
// account of it. A failed read of the MediaPlayer classes also marks what
// they show as not seen (`failing`); a write, or another connection's
// statement, leaves that as it is.
void noteFailure(int code, const std::string& detail, bool read = true) {
    if (platform::MediaLibraryWait* wait = platform::MediaLibraryWait::current()) wait->noteFailure();
    FailureState& f = failures();
    std::lock_guard<std::mutex> guard(f.lock);
    if (isBusy(code)) {
        ++f.counts.busy;
        f.lastBusy = std::chrono::steady_clock::now();
        f.busySeen = true;
        f.counts.reason = "the media library is busy (another process holds its lock)";
        f.counts.failing = f.counts.failing || read;
    } else {
        ++f.counts.unreadable;
        f.counts.reason = "the media library cannot be read: " + (detail.empty() ? sqlite3_errstr(code) : detail);
        f.counts.failing = f.counts.failing || read;
    }
}

// The busy time-out for the next read: what is left of the thread's wait;
// outside one, 2 s unless a read found the library locked less than 2 s ago.
int busyTimeoutNow() {
    if (platform::MediaLibraryWait* wait = platform::MediaLibraryWait::current()) return wait->remainingMilliseconds();
    FailureState& f = failures();
    std::lock_guard<std::mutex> guard(f.lock);
    if (f.busySeen && std::chrono::steady_clock::now() - f.lastBusy < std::chrono::milliseconds(kBusyTimeoutMs))
        return 0;
    return kBusyTimeoutMs;
}

// A library that is not there: counted each time, named in the log once per
// path and state (missing, or something else in its place) until a library
// is found there again.
void noteMissing(const std::string& path, bool somethingElse) {
    FailureState& f = failures();
    std::lock_guard<std::mutex> guard(f.lock);
    if (platform::MediaLibraryWait* wait = platform::MediaLibraryWait::current()) wait->noteFailure();
    ++f.counts.missing;
    f.counts.reason = somethingElse ? "the media library is not a file" : "there is no media library";
    f.counts.failing = true;
    int state = somethingElse ? 2 : 1;
    if (f.reportedPath == path && f.reportedState == state) return;
    f.reportedPath = path;
    f.reportedState = state;
    platform::logLine(somethingElse ? "MediaPlayer: the media library " + path + " is not a file"
                                    : "MediaPlayer: there is no media library at " + path);
}

void noteFound(const std::string& path) {
    FailureState& f = failures();
    std::lock_guard<std::mutex> guard(f.lock);
    if (f.reportedPath == path) f.reportedState = 0;
}

}  // namespace

namespace {

void bindAll(sqlite3_stmt* st, const std::vector<Binding>& bindings) {
    int index = 1;
    for (const Binding& b : bindings) {
        if (b.isText) sqlite3_bind_text(st, index, b.s.data(), static_cast<int>(b.s.size()), SQLITE_TRANSIENT);
        else sqlite3_bind_int64(st, index, b.i);
        ++index;
    }
}

// The identity of a database file: a replaced or changed file gets a new
// connection.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    int64_t mtimeNs = 0;
    int64_t size = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a regular file; false for anything else (*exists tells
// whether something else is there).
bool stampOf(const std::string& path, FileStamp* stamp, bool* exists = nullptr) {
    struct stat st {};
    bool found = !path.empty() && ::stat(path.c_str(), &st) == 0;
    if (exists) *exists = found;
    if (!found || !S_ISREG(st.st_mode)) return false;
    stamp->device = st.st_dev;
    stamp->inode = st.st_ino;
    stamp->mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->size = st.st_size;
    return true;
}

class ReadConnection {
public:
    ReadConnection() = default;
    ReadConnection(const ReadConnection&) = delete;
    ReadConnection& operator=(const ReadConnection&) = delete;
    ~ReadConnection() { close(); }

    bool open(const std::string& path, const FileStamp& stamp) {
        close();
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            platform::logLine("MediaPlayer: cannot open the media library " + path + ": " +
                              (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
            close();
            return false;
        }
        // Queries read most of the file: keep what was read. The file is
        // never memory-mapped: another process may rewrite or truncate it
        // in place, which must give query errors, not a signal.
        sqlite3_exec(db_, "PRAGMA mmap_size = 0; PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
        stamp_ = stamp;
        return true;
    }

    void close() {
        names_.reset();
        for (auto& [sql, st] : statements_) sqlite3_finalize(st);
        statements_.clear();
        if (db_) sqlite3_close(db_);
        db_ = nullptr;
        busyTimeout_ = -1;  // a new handle starts without one
    }

    bool isOpen() const { return db_ != nullptr; }

    // The name tables, read on first use after each open.
    const NameTables* names() {
        if (names_) return names_.get();
        auto tables = std::make_unique<NameTables>();
        struct Source {
            const char* sql;
            std::unordered_map<int64_t, Text>* into;
        };
        for (const Source& source : {Source{"SELECT album_pid, album FROM album", &tables->albums},
                                     Source{"SELECT album_artist_pid, album_artist FROM album_artist", &tables->albumArtists},
                                     Source{"SELECT genre_id, genre FROM genre", &tables->genres},
                                     Source{"SELECT composer_pid, composer FROM composer", &tables->composers}}) {
            bool ok = each(source.sql, [&](sqlite3_stmt* st) {
                source.into->emplace(sqlite3_column_int64(st, 0), columnText(st, 1));
            });
            if (!ok) return nullptr;
        }
        bool ok = each("SELECT artwork_token, relative_path FROM artwork", [&](sqlite3_stmt* st) {
            if (Text token = columnText(st, 0)) tables->artworkPaths.emplace(*token, columnText(st, 1));
        });
        if (!ok) return nullptr;
        names_ = std::move(tables);
        return names_.get();
    }
    const FileStamp& stamp() const { return stamp_; }

    sqlite3_stmt* statement(const std::string& sql) {
        auto it = statements_.find(sql);
        if (it != statements_.end()) return it->second;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) {
            noteFailure(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
            platform::logLine(std::string("MediaPlayer: cannot prepare a media library query: ") + sqlite3_errmsg(db_));
            sqlite3_finalize(st);
            return nullptr;
        }
        statements_.emplace(sql, st);
        return st;
    }

    // Runs a statement without parameters over every row.
    bool each(const char* sql, const std::function<void(sqlite3_stmt*)>& row) {
        sqlite3_stmt* st = statement(sql);
        if (st == nullptr) return false;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
        sqlite3_reset(st);
        if (rc != SQLITE_DONE) noteFailure(rc, sqlite3_errmsg(db_));
        return rc == SQLITE_DONE;
    }

    std::string errorMessage() const { return db_ ? sqlite3_errmsg(db_) : ""; }

    void setBusyTimeout(int ms) {
        if (ms != busyTimeout_) sqlite3_busy_timeout(db_, ms);
        busyTimeout_ = ms;
    }

private:
    int busyTimeout_ = -1;
    sqlite3* db_ = nullptr;
    FileStamp stamp_;
    std::unique_ptr<NameTables> names_;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

std::mutex& readLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::map<std::string, ReadConnection>& readConnections() {
    static auto* connections = new std::map<std::string, ReadConnection>;
    return *connections;
}

}  // namespace

namespace {

// A writer that died inside a transaction leaves a hot journal. Only a
// connection that may write can roll it back; the read-only connection
// would fail every query until then. A brief read-write connection rolls
// it back (SQLite does so on its first read) and leaves the last committed
// state; the journal of a writer still at work is left alone (SQLite tells
// the two apart by the writer's lock), and that writer is not waited for
// here: the read itself waits.
void rollBackHotJournal(const std::string& path) {
    struct stat st {};
    if (::stat((path + "-journal").c_str(), &st) != 0 || st.st_size == 0) return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
        sqlite3_exec(db, "PRAGMA mmap_size = 0; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
}

// The read connection of the current library, opened or reopened as the
// file requires; nullptr when there is no readable library. Call with
// readLock() held.
ReadConnection* currentConnection() {
    std::string path = libraryHostPath();
    if (!path.empty()) rollBackHotJournal(path);
    auto& connections = readConnections();
    FileStamp stamp;
    bool exists = false;
    if (!stampOf(path, &stamp, &exists)) {
        connections.erase(path);
        // A path that could not be resolved for want of descriptors is no
        // missing library: the reason is named.
        if (int err = path.empty() ? platform::descriptorShortage() : 0; err != 0) noteFailure(SQLITE_CANTOPEN, std::strerror(err));
        else noteMissing(path, exists);
        return nullptr;
    }
    noteFound(path);
    ReadConnection& connection = connections[path];
    if (!connection.isOpen() || !(connection.stamp() == stamp)) {
        if (!connection.open(path, stamp)) {
            connections.erase(path);
            noteFailure(SQLITE_CANTOPEN, "");
            return nullptr;
        }
    }
    connection.setBusyTimeout(busyTimeoutNow());
    return &connection;
}

bool run(ReadConnection& connection, const std::string& sql, const std::vector<Binding>& bindings,
         const std::function<void(sqlite3_stmt*)>& row) {
    sqlite3_stmt* st = connection.statement(sql);
    if (st == nullptr) return false;
    bindAll(st, bindings);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    bool ok = rc == SQLITE_DONE;
    if (!ok) {
        noteFailure(rc, connection.errorMessage());
        platform::logLine(std::string("MediaPlayer: media library query failed: ") + sqlite3_errstr(rc));
    }
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return ok;
}

}  // namespace

// Notes the outcome of a whole read: a read that succeeded has seen what
// the library holds, and the lock that made earlier reads fail has gone
// (the next lock is waited for again).
bool noteRead(bool ok) {
    if (ok) {
        FailureState& f = failures();
        std::lock_guard<std::mutex> guard(f.lock);
        f.counts.failing = false;
        f.busySeen = false;
    }
    return ok;
}

bool readRows(const std::string& sql, const std::vector<Binding>& bindings,
              const std::function<void(sqlite3_stmt*)>& row) {
    std::lock_guard<std::mutex> guard(readLock());
    ReadConnection* connection = currentConnection();
    return noteRead(connection != nullptr && run(*connection, sql, bindings, row));
}

bool readItems(const std::string& sql, const std::vector<Binding>& bindings, int first,
               const std::function<void(sqlite3_stmt*, ItemRow&&)>& row) {
    std::lock_guard<std::mutex> guard(readLock());
    ReadConnection* connection = currentConnection();
    const NameTables* names = connection ? connection->names() : nullptr;
    if (names == nullptr) return false;
    return noteRead(
        run(*connection, sql, bindings, [&](sqlite3_stmt* st) { row(st, readItemRow(st, first, *names)); }));
}

}  // namespace platform::medialibrary

namespace {
thread_local platform::MediaLibraryWait* currentWait = nullptr;
}

platform::MediaLibraryWait::MediaLibraryWait(std::chrono::milliseconds wait)
    : MediaLibraryWait(Clock::now() + wait) {}

platform::MediaLibraryWait::MediaLibraryWait(Clock::time_point deadline)
    : deadline_(currentWait != nullptr ? std::min(deadline, currentWait->deadline_) : deadline), outer_(currentWait) {
    currentWait = this;
}

platform::MediaLibraryWait::~MediaLibraryWait() { currentWait = outer_; }

platform::MediaLibraryWait* platform::MediaLibraryWait::current() { return currentWait; }

platform::MediaLibraryWait::Clock::time_point platform::MediaLibraryWait::actionDeadline() {
    return currentWait != nullptr ? currentWait->deadline_ : Clock::now() + kDefault;
}

int platform::MediaLibraryWait::remainingMilliseconds() const {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return left <= 0 ? 0 : left >= INT_MAX ? INT_MAX : static_cast<int>(left);
}

void platform::MediaLibraryWait::noteFailure() {
    for (MediaLibraryWait* wait = this; wait != nullptr; wait = wait->outer_) ++wait->failures_;
}

int platform::mediaLibraryBusyTimeout() {
    MediaLibraryWait* wait = MediaLibraryWait::current();
    return wait != nullptr ? wait->remainingMilliseconds() : static_cast<int>(MediaLibraryWait::kDefault.count());
}

void platform::noteMediaLibraryFailure(int sqliteCode, const std::string& detail) {
    medialibrary::noteFailure(sqliteCode, detail, false);
}

platform::MediaLibraryReadFailures platform::mediaLibraryReadFailures() {
    auto& f = medialibrary::failures();
    std::lock_guard<std::mutex> guard(f.lock);
    return f.counts;
}

bool platform::readMediaLibrary(const std::string& sql, const std::vector<int64_t>& parameters,
                                const std::function<void(sqlite3_stmt*)>& row) {
    std::vector<medialibrary::Binding> bindings;
    for (int64_t value : parameters) bindings.push_back(medialibrary::Binding::integer(value));
    return medialibrary::readRows(sql, bindings, row);
}

namespace platform::medialibrary {

bool execute(sqlite3* db, const char* sql, const std::vector<Binding>& bindings, int* changes) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        platform::logLine(std::string("MediaPlayer: cannot prepare a media library update: ") + sqlite3_errmsg(db));
        return false;
    }
    bindAll(st, bindings);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        platform::logLine(std::string("MediaPlayer: media library update failed: ") + sqlite3_errmsg(db));
        return false;
    }
    if (changes) *changes = sqlite3_changes(db);
    return true;
}

bool writeLibrary(const std::function<bool(sqlite3*)>& work) {
    std::string path = libraryHostPath();
    FileStamp stamp;
    if (!stampOf(path, &stamp)) return false;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        platform::logLine("MediaPlayer: cannot open the media library for writing: " +
                          std::string(db ? sqlite3_errmsg(db) : "out of memory"));
        sqlite3_close(db);
        return false;
    }
    sqlite3_busy_timeout(db, platform::mediaLibraryBusyTimeout());
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    bool ok = rc == SQLITE_OK;
    if (ok) {
        ok = work(db);
        if (ok) {
            rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            ok = rc == SQLITE_OK;
        }
        if (!ok) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    } else {
        platform::logLine(std::string("MediaPlayer: the media library is busy: ") + sqlite3_errmsg(db));
    }
    // A write the lock kept out is the library's trouble; one the library
    // refused (a constraint) is the writer's.
    if (!ok && isBusy(rc)) noteFailure(rc, sqlite3_errmsg(db), false);
    sqlite3_close(db);
    return ok;
}

bool sortOrderForName(sqlite3* db, const std::string& name, int64_t* order, int* section) {
    sqlite3_stmt* st = nullptr;
    auto queryOrder = [&](const char* sql, const std::string& value, int64_t* out) -> int {
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return -1;
        sqlite3_bind_text(st, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        int rc = sqlite3_step(st);
        int found = 0;
        if (rc == SQLITE_ROW) {
            *out = sqlite3_column_int64(st, 0);
            if (section && sqlite3_column_count(st) > 1) *section = sqlite3_column_int(st, 1);
            found = 1;
        } else if (rc != SQLITE_DONE) {
            found = -1;
        }
        sqlite3_finalize(st);
        st = nullptr;
        return found;
    };
    int found = queryOrder("SELECT name_order, name_section FROM sort_map WHERE name = ?", name, order);
    if (found < 0) return false;
    if (found == 1) return true;

    std::string key = mediaLibrarySortKey(name);
    int64_t before = 0, after = 0;
    int hasBefore = queryOrder(
        "SELECT name_order FROM sort_map WHERE sort_key <= ? ORDER BY sort_key DESC, name_order DESC LIMIT 1", key,
        &before);
    int hasAfter = queryOrder(
        "SELECT name_order FROM sort_map WHERE sort_key > ? ORDER BY sort_key ASC, name_order ASC LIMIT 1", key,
        &after);
    if (hasBefore < 0 || hasAfter < 0) return false;
    constexpr int64_t kGap = 1024;
    if (hasBefore && hasAfter) *order = before + (after - before) / 2;
    else if (hasBefore) *order = before + kGap;
    else if (hasAfter) *order = after - kGap;
    else *order = kGap;
    *section = mediaLibrarySortSection(name);
    return execute(db, "INSERT INTO sort_map (name, name_order, name_section, sort_key) VALUES (?, ?, ?, ?)",
                   {Binding::text(name), Binding::integer(*order), Binding::integer(*section), Binding::text(key)});
}

NSString* ValueCache::string(const std::string& text) {
    auto it = strings_.find(text);
    if (it != strings_.end()) return it->second.get();
    Strong<NSString> s = Strong<NSString>::adopt(NSString::create(text));
    NSString* raw = s.get();
    strings_.emplace(text, std::move(s));
    return raw;
}

NSNumber* ValueCache::number(long long value) {
    auto it = numbers_.find(value);
    if (it != numbers_.end()) return it->second.get();
    NSNumber* n = NSNumber::withLongLong(value);
    numbers_.emplace(value, Strong<NSNumber>(n));
    return n;
}

}  // namespace platform::medialibrary
