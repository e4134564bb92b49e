// DBHandler: the media library database, read and written one statement at
// a time. Reads and the writes of genre names, playlist names and artwork
// tokens use the SQLite connection held in `db`; the writes of album and
// album-artist titles, genres and album artists go through FMDatabase.
#include "DBHandler.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaLibrary.h>
#include <platform/DeviceRoot.h>
#include <platform/System.h>
#include <sqlite3.h>

#include <climits>
#include <string>
#include <utility>

#include "Cantrel.h"
#include "ItemEntry.h"
#include "Libs/FMDB/FMDatabase.h"

namespace {

// Relative to the working directory on the device, i.e. to the device root.
NSString* databasePath() { return "var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb"_ns; }

// The busy time-out of the next connection: what is left of the thread's
// wait for a locked library, else a statement's own 2 s.
int busyTimeoutNow() { return platform::mediaLibraryBusyTimeout(); }

// An operation that could not read or write the library, for a reason of
// its own (no file, no connection, a value it cannot hold).
void noteFailure() {
    if (platform::MediaLibraryWait* wait = platform::MediaLibraryWait::current()) wait->noteFailure();
}

// A statement SQLite refused: a locked or damaged library is the library's
// trouble, counted as every reader of the library counts it (so that the
// action's user hears why); a write a constraint or trigger refused counts
// for the wait alone.
void noteFailure(int code, sqlite3* db) {
    if (code != SQLITE_OK && (code & 0xff) != SQLITE_CONSTRAINT)
        platform::noteMediaLibraryFailure(code, db != nullptr ? sqlite3_errmsg(db) : "");
    else
        noteFailure();
}

// String parameters arrive as id, so that a caller's wrong object is
// refused here instead of being cast: the string, or nullptr for nil and for
// any other object.
const NSString* stringOrNull(id value) {
    return value != nil && objc_isKindOfClass(value, NSString::cls()) ? static_cast<NSString*>(value) : nullptr;
}
bool isNonEmptyString(id value) {
    const NSString* s = stringOrNull(value);
    return s != nullptr && s->length() > 0;
}

// A prepared statement of the held connection; reset and finalized when it
// goes, always before the connection closes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (int rc = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); rc != SQLITE_OK) {
            noteFailure(sqlite3_extended_errcode(db), db);
            sqlite3_finalize(stmt_);
            stmt_ = nullptr;
        }
    }
    ~Statement() {
        if (stmt_ == nullptr) return;
        sqlite3_reset(stmt_);
        sqlite3_finalize(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return stmt_ != nullptr; }

    void bind(int index, long long value) { sqlite3_bind_int64(stmt_, index, value); }
    void bind(int index, const NSString* text) {
        if (text == nullptr) {
            sqlite3_bind_null(stmt_, index);
        } else {
            sqlite3_bind_text(stmt_, index, text->c_str(), static_cast<int>(text->str().size()), SQLITE_TRANSIENT);
        }
    }

    int step() {
        int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) noteFailure(rc, db_);
        return rc;
    }

    // Steps to the next row of a list read: false at the end; a failure
    // ends the operation through its exception path, so no list is ever
    // handed out half read.
    bool nextRow() {
        int rc = step();
        if (rc == SQLITE_ROW) return true;
        if (rc != SQLITE_DONE)
            NSException::raise(NSGenericException, std::string("reading stopped: ") + sqlite3_errmsg(db_));
        return false;
    }

    long long int64(int column) { return sqlite3_column_int64(stmt_, column); }
    int int32(int column) { return sqlite3_column_int(stmt_, column); }
    double real(int column) { return sqlite3_column_double(stmt_, column); }
    // A NULL has no string: the operation ends through its exception path.
    NSString* text(int column) {
        const unsigned char* utf8 = sqlite3_column_text(stmt_, column);
        if (utf8 == nullptr)
            NSException::raise(NSInvalidArgumentException,
                               "column " + std::to_string(column) + " holds NULL, not text");
        int bytes = sqlite3_column_bytes(stmt_, column);
        return NSString::make(std::string_view(reinterpret_cast<const char*>(utf8), static_cast<size_t>(bytes)));
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Logs the exception being handled under the operation's text. Call only
// from a catch handler.
void logCurrentException(const char* text) {
    try {
        throw;
    } catch (NSException* e) {
        CLog(text, e);
    } catch (const std::exception& e) {
        CLog(text, NSException::make(NSGenericException, e.what()));
    } catch (...) {
        CLog(text, NSException::make(NSGenericException, "unknown exception"));
    }
}

// The frame of every operation on the held connection: open, run `body`
// with the connection, close. Any exception is logged under
// `exceptionText` and gives `empty`; the statement is finalized and the
// connection closed either way.
template <class R, class Body>
R withDatabase(DBHandler* self, const char* exceptionText, R empty, Body&& body) {
    R result = empty;
    try {
        if (objc_msgSend<BOOL()>(self, "openDatabase"_sel)) result = body(self->db);
        else noteFailure();
    } catch (...) {
        noteFailure();
        logCurrentException(exceptionText);
        result = empty;
    }
    objc_msgSend<void()>(self, "closeDatabase"_sel);
    return result;
}

// The file must exist before anything opens it: without it the Music app
// cannot work, and it is ended.
bool databaseFileExists() {
    NSString* path = databasePath();
    id fileManager = objc_msgSend<id()>(NSFileManager::cls(), "defaultManager"_sel);
    if (objc_msgSend<BOOL(NSString*)>(fileManager, "fileExistsAtPath:"_sel, path)) return true;
    CLog("Cannot locate database file '%@'. \r\n\r\n\r\n", path);
    platform::system("killall -9 Music");
    return false;
}

[[noreturn]] void raiseFailure(NSString* description) {
    NSException::raise(NSInternalInconsistencyException, description->str());
}

// The first row's text of a one-parameter read, or "".
template <class Value>
NSString* firstText(DBHandler* self, const char* sql, Value value, const char* prepareText, const char* exceptionText) {
    return withDatabase<NSString*>(self, exceptionText, ""_ns, [&](sqlite3* db) -> NSString* {
        Statement statement(db, sql);
        if (!statement.prepared()) {
            CLog(prepareText);
            return ""_ns;
        }
        statement.bind(1, value);
        return statement.step() == SQLITE_ROW ? statement.text(0) : ""_ns;
    });
}

// The first row's order (64-bit) and section (32-bit) of a one-parameter
// read, or an empty array.
template <class Value>
NSMutableArray* orderAndSection(DBHandler* self, const char* sql, Value value, const char* prepareText,
                                const char* exceptionText) {
    return withDatabase<NSMutableArray*>(self, exceptionText, NSMutableArray::make(), [&](sqlite3* db) {
        NSMutableArray* result = NSMutableArray::make();
        Statement statement(db, sql);
        if (!statement.prepared()) {
            CLog(prepareText);
            return result;
        }
        statement.bind(1, value);
        if (statement.step() == SQLITE_ROW) {
            result->addObject(NSNumber::withLongLong(statement.int64(0)));
            result->addObject(NSNumber::withLongLong(statement.int32(1)));
        }
        return result;
    });
}

// Every row's name and id, paired by index under the two keys.
NSMutableDictionary* namesAndIds(DBHandler* self, const char* sql, NSString* namesKey, NSString* idsKey,
                                 const char* prepareText, const char* exceptionText) {
    auto dictionary = [&](NSMutableArray* names, NSMutableArray* ids) {
        NSMutableDictionary* d = NSMutableDictionary::make();
        d->setObject(names, namesKey);
        d->setObject(ids, idsKey);
        return d;
    };
    NSMutableDictionary* empty = dictionary(NSMutableArray::make(), NSMutableArray::make());
    return withDatabase<NSMutableDictionary*>(self, exceptionText, empty, [&](sqlite3* db) {
        Statement statement(db, sql);
        if (!statement.prepared()) {
            CLog(prepareText);
            return empty;
        }
        NSMutableArray* names = NSMutableArray::make();
        NSMutableArray* ids = NSMutableArray::make();
        while (statement.nextRow()) {
            names->addObject(statement.text(0));
            ids->addObject(NSNumber::withLongLong(statement.int64(1)));
        }
        return dictionary(names, ids);
    });
}

// "UPDATE … SET name = ? WHERE id = ?" on the held connection. A missing
// title changes nothing: it would erase the name.
void updateName(DBHandler* self, const char* sql, long long rowId, id title, const char* prepareText,
                const char* errorText, const char* exceptionText) {
    const NSString* text = stringOrNull(title);
    if (text == nullptr) {
        CLog(errorText);
        return;
    }
    withDatabase<bool>(self, exceptionText, false, [&](sqlite3* db) {
        Statement statement(db, sql);
        if (!statement.prepared()) {
            CLog(prepareText);
            return false;
        }
        statement.bind(1, text);
        statement.bind(2, rowId);
        if (statement.step() != SQLITE_DONE) {
            CLog(errorText);
            return false;
        }
        return true;
    });
}

// One FMDatabase update: open, run, log the outcome, close.
template <class... A>
void fmdbUpdate(DBHandler* self, const char* failedText, const char* successText, const char* exceptionText,
                const char* format, A... args) {
    try {
        FMDatabase* fmdb = objc_msgSend<FMDatabase*()>(self, "open_FMDB_Database"_sel);
        if (fmdb == nil) {
            noteFailure();
            return;
        }
        if (fmdb->executeUpdateWithFormat(format, args...)) {
            CLog(successText);
        } else {
            noteFailure(fmdb->lastErrorCode(), nullptr);
            CLog(failedText, objc_msgSend<NSString*()>(fmdb, "lastErrorMessage"_sel));
        }
        objc_msgSend<BOOL()>(fmdb, "close"_sel);
    } catch (...) {
        noteFailure();
        logCurrentException(exceptionText);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Runtime methods.

NSMutableArray* DBSortMapOrderForName(id handler, NSString* name) {
    return orderAndSection(static_cast<DBHandler*>(handler), "SELECT name_order, name_section FROM sort_map WHERE name = ?",
                           stringOrNull(name), "sort_map - Problem with prepare statement", "An exception occured: %@");
}

namespace {
namespace dbhandler {

DBHandler* sharedInstance() {
    id handler = objc_msgSend<id()>(objc_msgSend<id()>(DBHandler::cls(), "alloc"_sel), "init"_sel);
    return static_cast<DBHandler*>(objc_autorelease(handler));
}

void dealloc(DBHandler* self, SEL) {
    objc_msgSend<void()>(self, "closeDatabase"_sel);
    objc_msgSendSuper<void()>(self, DBHandler::cls(), "dealloc"_sel);
}

// Read-write, never created: a missing file stays missing.
BOOL openDatabase(DBHandler* self, SEL) {
    if (self->db != nullptr) return YES;
    if (!databaseFileExists()) return NO;
    std::string hostPath = platform::devicePath(databasePath()->str());
    sqlite3* db = nullptr;
    int rc =
        hostPath.empty() ? SQLITE_CANTOPEN : sqlite3_open_v2(hostPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        CLog("openDatabase ERROR: %s", db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return NO;
    }
    sqlite3_busy_timeout(db, busyTimeoutNow());
    self->db = db;
    return YES;
}

void closeDatabase(DBHandler* self, SEL) {
    if (self->db == nullptr) return;
    int rc = sqlite3_close_v2(self->db);
    if (rc != SQLITE_OK) CLog("closeDatabase ERROR: %s", sqlite3_errstr(rc));
    self->db = nullptr;
}

FMDatabase* open_FMDB_Database(DBHandler*, SEL) {
    if (!databaseFileExists()) return nil;
    FMDatabase* fmdb = objc_msgSend<FMDatabase*(NSString*)>(FMDatabase::cls(), "databaseWithPath:"_sel, databasePath());
    if (platform::MediaLibraryWait::current() != nullptr)
        objc_msgSend<void(double)>(fmdb, "setMaxBusyRetryTimeInterval:"_sel, busyTimeoutNow() / 1000.0);
    if (!objc_msgSend<BOOL()>(fmdb, "open"_sel)) {
        CLog("openDatabase ERROR");
        return nil;
    }
    return fmdb;
}

// --- Reads ------------------------------------------------------------------

BOOL getIsPlaylistHidden(DBHandler* self, SEL, long long containerPid) {
    CLog("DBHandler- getIsPlaylistHidden");
    return withDatabase<BOOL>(self, "getIsPlaylistHidden - An exception occured: %@", NO, [&](sqlite3* db) -> BOOL {
        Statement statement(db, "SELECT is_hidden FROM container WHERE container_pid = ?");
        if (!statement.prepared()) {
            CLog("getIsPlaylistHidden - Problem with prepare statement");
            return NO;
        }
        statement.bind(1, containerPid);
        return statement.step() == SQLITE_ROW && statement.int32(0) == 1;
    });
}

NSString* getGenreName(DBHandler* self, SEL, long long genreId) {
    CLog("DBHandler- getGenreName");
    return firstText(self, "SELECT genre FROM genre WHERE genre_id = ?", genreId,
                     "getGenreName - Problem with prepare statement", "getGenreName - An exception occured: %@");
}

NSString* getPlaylistName(DBHandler* self, SEL, long long containerPid) {
    CLog("DBHandler- getPlaylistName");
    return firstText(self, "SELECT name FROM container WHERE container_pid = ?", containerPid,
                     "getPlaylistName - Problem with prepare statement", "getPlaylistName - An exception occured: %@");
}

NSString* getArtworkTokenByItem_pid(DBHandler* self, SEL, unsigned long long itemPid) {
    CLog("DBHandler- getArtworkTokenByItem_pid");
    return firstText(self, "SELECT best_artwork_token FROM item_artwork WHERE item_pid = ?",
                     static_cast<long long>(itemPid), "getArtworkTokenByItem_pid - Problem with prepare statement",
                     "getArtworkTokenByItem_pid - An exception occured: %@");
}

NSString* getArtworkPathForToken(DBHandler* self, SEL, id token) {
    static const char kSql[] = "SELECT relative_path FROM artwork WHERE artwork_token = ?";
    CLog("getArtworkPathForToken - token = %@", token);
    if (!isNonEmptyString(token)) return ""_ns;
    return withDatabase<NSString*>(
        self, "getArtworkPathForToken - An exception occured: %@", ""_ns, [&](sqlite3* db) -> NSString* {
            Statement statement(db, kSql);
            if (!statement.prepared()) {
                CLog("getArtworkPathForToken - Problem with prepare statement");
                return ""_ns;
            }
            CLog("getArtworkPathForToken - Prepare statement SUCCESS!: %@", NSString::make(kSql));
            statement.bind(1, stringOrNull(token));
            if (statement.step() != SQLITE_ROW) return ""_ns;
            CLog("getArtworkPathForToken - sqlite3_step(sqlStatement) == SQLITE_ROW 1");
            NSString* path = statement.text(0);
            CLog("getArtworkPathForToken - sqlite3_step(sqlStatement) == SQLITE_ROW 2");
            return path;
        });
}

// One more than the largest number that starts a token (tokens that start
// with "/" are paths, not numbers); "1" when there is none, "" when the
// tokens cannot be read or no larger number exists.
NSString* getNextArtworkToken(DBHandler* self, SEL) {
    CLog("DBHandler- getSongArtworkDetails");
    return withDatabase<NSString*>(self, "An exception occured: %@", ""_ns, [&](sqlite3* db) -> NSString* {
        Statement statement(db,
                            "SELECT artwork_token FROM artwork WHERE artwork_token <> '' ORDER BY artwork_token ASC");
        if (!statement.prepared()) {
            CLog("Problem with prepare statement");
            return ""_ns;
        }
        long long largest = 0;
        while (statement.nextRow()) {
            NSString* token = statement.text(0);
            if (!token->str().empty() && token->str()[0] == '/') continue;
            long long number = objc_msgSend<long long()>(token, "longLongValue"_sel);
            if (number > largest) largest = number;
        }
        CLog("largestNo = %lld", largest);
        if (largest == LLONG_MAX) return ""_ns;
        return NSStringWithFormat("%lld", largest + 1);
    });
}

NSMutableDictionary* getGenres(DBHandler* self, SEL) {
    CLog("DBHandler- getGenres");
    return namesAndIds(self, "SELECT genre, genre_id FROM genre WHERE genre <> '' order by genre asc", "genreNames"_ns,
                       "genreIDs"_ns, "Problem with prepare statement", "An exception occured: %@");
}

NSMutableDictionary* getArtists(DBHandler* self, SEL) {
    CLog("DBHandler- getArtists");
    return namesAndIds(self,
                       "SELECT album_artist, album_artist_pid FROM album_artist WHERE album_artist <> '' "
                       "order by album_artist asc",
                       "artistNames"_ns, "artistIDs"_ns, "getArtists - Problem with prepare statement",
                       "getArtists - An exception occured: %@");
}

// The first item's order and section in the genre; for a genre without
// items, the sort position of its name.
NSMutableArray* getItemGenreSpecificsByFromGenreID_andGenreName(DBHandler* self, SEL, long long genreId,
                                                                id genreName) {
    CLog("DBHandler- getItemGenreSpecificsByFromGenreID: genre_id = %lld", genreId);
    const char* prepareText = "getItemGenreSpecificsByFromGenreID - Problem with prepare statement";
    NSMutableArray* result =
        orderAndSection(self, "SELECT genre_order, genre_order_section FROM item WHERE genre_id = ?", genreId,
                        prepareText, "An exception occured: %@");
    if (result->count() == 0)
        result = orderAndSection(self, "SELECT name_order, name_section FROM sort_map WHERE name = ?",
                                 stringOrNull(genreName), prepareText, "An exception occured: %@");
    CLog("genreSpecificsArray: %@", result);
    return result;
}

NSMutableArray* getItemArtistSpecificsByFromArtistID(DBHandler* self, SEL, long long albumArtistPid) {
    CLog("DBHandler- getItemArtistSpecificsByFromArtistID: artist_id = %lld", albumArtistPid);
    NSMutableArray* result = orderAndSection(
        self, "SELECT album_artist_order, album_artist_order_section FROM item WHERE album_artist_pid = ?",
        albumArtistPid, "getItemArtistSpecificsByFromArtistID - Problem with prepare statement",
        "getItemArtistSpecificsByFromArtistID - An exception occured: %@");
    CLog("getItemArtistSpecificsByFromArtistID - genreSpecificsArray: %@", result);
    return result;
}

// Sample rate, bit rate and alarm flag; empty unless the item has a row in
// both item_stats and item_playback.
NSMutableArray* getItemDetails(DBHandler* self, SEL, unsigned long long itemPid) {
    static const char kSql[] =
        "SELECT  sample_rate , bit_rate, is_alarm FROM item_stats, item_playback WHERE item_stats.item_pid  = ? "
        "AND item_playback.item_pid = ?";
    CLog("DBHandler- getItemDetails: %llu", itemPid);
    return withDatabase<NSMutableArray*>(self, "An exception occured: %@", NSMutableArray::make(), [&](sqlite3* db) {
        NSMutableArray* details = NSMutableArray::make();
        Statement statement(db, kSql);
        if (!statement.prepared()) {
            CLog("Problem with prepare statement");
            return details;
        }
        CLog("Prepare statement SUCCESS!: %@", NSString::make(kSql));
        statement.bind(1, static_cast<long long>(itemPid));
        statement.bind(2, static_cast<long long>(itemPid));
        if (statement.step() == SQLITE_ROW) {
            details->addObject(NSNumber::withDouble(statement.real(0)));
            details->addObject(NSNumber::withLongLong(statement.int32(1)));
            details->addObject(NSNumber::withLongLong(statement.int32(2)));
        }
        CLog("itemDetails: %@", details);
        return details;
    });
}

// --- Writes on the held connection -----------------------------------------

void updateGenreName_andTitle(DBHandler* self, SEL, long long genreId, id title) {
    CLog("updateGenreName - genre_id: %lld, titleValue = %@", genreId, title);
    updateName(self, "UPDATE genre SET genre = ? WHERE genre_id = ?", genreId, title,
               "updateGenreName - Problem with prepare statement", "updateGenreName - error executing",
               "updateGenreName - An exception occured: %@");
}

void updatePlaylistName_andTitle(DBHandler* self, SEL, long long containerPid, id title) {
    CLog("updatePlaylistName - playlist_id: %lld, titleValue = %@", containerPid, title);
    updateName(self, "UPDATE container SET name = ? WHERE container_pid = ?", containerPid, title,
               "updatePlaylistName - Problem with prepare statement", "updatePlaylistName - error executing",
               "updatePlaylistName - An exception occured: %@");
}

// Ties the item to an artwork token; YES only when the item's artwork row
// took it.
BOOL updateSongArtworkDetails_token(DBHandler* self, SEL, unsigned long long itemPid, id token) {
    CLog("DBHandler- updateSongArtworkDetails: %lld, best_artwork_token = %@", static_cast<long long>(itemPid), token);
    if (!isNonEmptyString(token)) {
        CLog("updateSongArtworkDetails - no artwork token given");
        return NO;
    }
    return withDatabase<BOOL>(
        self, "updateSongArtworkDetails - An exception occured: %@", NO, [&](sqlite3* db) -> BOOL {
            Statement statement(db, "UPDATE item_artwork SET sync_artwork_token = ? WHERE item_pid = ?");
            if (!statement.prepared())
                raiseFailure(NSStringWithFormat(
                    "updateSongArtworkDetails - Error while creating update statement. '%s'", sqlite3_errmsg(db)));
            statement.bind(1, stringOrNull(token));
            statement.bind(2, static_cast<long long>(itemPid));
            if (statement.step() != SQLITE_DONE)
                raiseFailure(NSStringWithFormat("updateSongArtworkDetails - Error while creating database. '%s'",
                                                sqlite3_errmsg(db)));
            if (sqlite3_changes(db) == 0)
                raiseFailure(NSStringWithFormat("updateSongArtworkDetails - No artwork row for item_pid %lld",
                                                static_cast<long long>(itemPid)));
            return YES;
        });
}

// --- Writes through FMDatabase ---------------------------------------------

// Renames the album (album screens) or the album artist (artists screen) of
// the entry's collection; the sort name becomes the title too.
void updateAlbumOrArtistTitlesInDB_andTitle(DBHandler* self, SEL, id entry, id title) {
    try {
        MusicViewIndex viewIndex = objc_msgSend<long()>(entry, "viewIndex"_sel);
        id collection = objc_msgSend<id()>(entry, "mediaItemCollection"_sel);
        id item = objc_msgSend<id()>(collection, "representativeItem"_sel);
        // The flipside album view's record has no collection: its media item
        // belongs to the album.
        if (item == nil) item = objc_msgSend<id()>(entry, "mediaItem"_sel);
        unsigned long long albumPid = objc_msgSend<unsigned long long()>(item, "albumPersistentID"_sel);
        CLog("\r\n\r\nDBHandler- updateAlbumOrArtistTitlesInDB: %llu, titleValue = %@", albumPid, title);

        FMDatabase* fmdb = objc_msgSend<FMDatabase*()>(self, "open_FMDB_Database"_sel);
        CLog("DBHandler- updateAlbumOrArtistTitlesInDB fmdb: %@", fmdb);
        if (fmdb != nil) {
            // Without a title or an entry there is nothing to write: a NULL
            // would erase the name.
            const bool writable = stringOrNull(title) != nullptr && item != nil;
            BOOL ok = NO;
            bool ran = false;
            if (writable && (viewIndex == kViewIndexAlbums || viewIndex == kViewIndexFlipsideAlbum)) {
                ran = true;
                CLog("DBHandler- updateAlbumTitlesInDB: %llu, titleValue = %@", albumPid, title);
                ok = fmdb->executeUpdateWithFormat(
                    "UPDATE album SET album = %@, sort_album = %@ WHERE album_pid = %llu", title, title, albumPid);
            } else if (writable && viewIndex == kViewIndexArtists) {
                ran = true;
                unsigned long long artistPid = objc_msgSend<unsigned long long()>(item, "albumArtistPersistentID"_sel);
                CLog("DBHandler- updateArtistTitlesInDB: %llu, titleValue = %@", artistPid, title);
                ok = fmdb->executeUpdateWithFormat(
                    "UPDATE album_artist SET album_artist = %@, sort_album_artist = %@ WHERE album_artist_pid = %llu",
                    title, title, artistPid);
            }
            if (ok) {
                CLog("DBHandler- updateAlbumOrArtistTitlesInDB SUCCESS: %@",
                     objc_msgSend<NSString*()>(fmdb, "lastErrorMessage"_sel));
            } else {
                if (ran) noteFailure(fmdb->lastErrorCode(), nullptr);
                CLog("DBHandler- updateAlbumOrArtistTitlesInDB FAILED: %@",
                     objc_msgSend<NSString*()>(fmdb, "lastErrorMessage"_sel));
            }
            objc_msgSend<BOOL()>(fmdb, "close"_sel);
        } else {
            noteFailure();
        }
    } catch (...) {
        noteFailure();
        logCurrentException("updateAlbumOrArtistTitlesInDB - An exception occured: %@");
    }
    CLog("updateAlbumOrArtistTitlesInDB - END\r\n\r\n");
}

// `pid` is the album's for the album screens, the album artist's for the
// artists screen and the item's elsewhere. One attempt, whatever `tryout`.
void updateItemGenreFor_pid(DBHandler* self, SEL, unsigned long long pid, long long genreId, long long order,
                            int section, long long viewIndex, BOOL) {
    CLog("DBHandler- updateItemGenreFor_pid: %lld, genre_id = %lld, order = %ld, order_section = %d",
         static_cast<long long>(pid), genreId, order, section);
    const char* format;
    if (viewIndex == kViewIndexAlbums || viewIndex == kViewIndexFlipsideAlbum) {
        format = "UPDATE item SET genre_id = %lld, genre_order = %ld, genre_order_section = %d WHERE album_pid = %lld";
    } else if (viewIndex == kViewIndexArtists) {
        format =
            "UPDATE item SET genre_id = %lld, genre_order = %ld, genre_order_section = %d "
            "WHERE album_artist_pid = %lld";
    } else {
        format = "UPDATE item SET genre_id = %lld, genre_order = %ld, genre_order_section = %d WHERE item_pid = %lld";
    }
    fmdbUpdate(self, "DBHandler- updateItemGenreFor_pid FAILED: %@", "DBHandler- updateItemGenreFor_pid SUCCESS",
               "updateItemGenreFor_pid - An exception occured: %@", format, genreId, order, section, pid);
}

void updateAlbumArtistFor_pid_artist_id(DBHandler* self, SEL, long long albumPid, long long albumArtistPid) {
    CLog("DBHandler- updateAlbumArtistFor_pid: %lld, artist_id = %lld", albumPid, albumArtistPid);
    fmdbUpdate(self, "DBHandler- updateAlbumArtistFor_pid FAILED: %@", "DBHandler- updateAlbumArtistFor_pid SUCCESS",
               "updateAlbumArtistFor_pid - An exception occured: %@",
               "UPDATE album SET album_artist_pid = %lld WHERE album_pid = %lld", albumArtistPid, albumPid);
}

void updateItemAlbum_ArtistFor_pid(DBHandler* self, SEL, unsigned long long itemPid, long long albumArtistPid,
                                   long long order, int section) {
    CLog("DBHandler - updateItemAlbum_ArtistFor_pid: %lld, album_artist_id = %lld, order = %ld, order_section = %d",
         static_cast<long long>(itemPid), albumArtistPid, order, section);
    fmdbUpdate(self, "DBHandler- updateItemAlbum_ArtistFor_pid FAILED: %@",
               "DBHandler- updateItemAlbum_ArtistFor_pid SUCCESS",
               "updateItemAlbum_ArtistFor_pid - An exception occured: %@",
               "UPDATE item SET album_artist_pid = %lld, album_artist_order = %ld, album_artist_order_section = %d "
               "WHERE item_pid = %lld",
               albumArtistPid, order, section, itemPid);
}

}  // namespace dbhandler
}  // namespace

// Takes the write lock and gives it back at once: a write that follows finds
// the library free unless another process takes it in between.
bool DBWaitUntilWritable() {
    std::string hostPath = platform::devicePath(databasePath()->str());
    sqlite3* db = nullptr;
    int rc = hostPath.empty() ? SQLITE_CANTOPEN : sqlite3_open_v2(hostPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, busyTimeoutNow());
        rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK) noteFailure(rc, db);
    sqlite3_close(db);
    return rc == SQLITE_OK;
}

void registerDBHandler() {
    using namespace dbhandler;
    objc::ClassDef<DBHandler>("DBHandler", NSObject::cls())
        .classMethod<sharedInstance>("sharedInstance")
        .method<dealloc>("dealloc")
        .method<openDatabase>("openDatabase")
        .method<closeDatabase>("closeDatabase")
        .method<open_FMDB_Database>("open_FMDB_Database")
        .method<getIsPlaylistHidden>("getIsPlaylistHidden:")
        .method<getGenreName>("getGenreName:")
        .method<getPlaylistName>("getPlaylistName:")
        .method<getArtworkTokenByItem_pid>("getArtworkTokenByItem_pid:")
        .method<getArtworkPathForToken>("getArtworkPathForToken:")
        .method<getNextArtworkToken>("getNextArtworkToken")
        .method<getGenres>("getGenres")
        .method<getArtists>("getArtists")
        .method<getItemGenreSpecificsByFromGenreID_andGenreName>("getItemGenreSpecificsByFromGenreID:andGenreName:")
        .method<getItemArtistSpecificsByFromArtistID>("getItemArtistSpecificsByFromArtistID:")
        .method<getItemDetails>("getItemDetails:")
        .method<updateGenreName_andTitle>("updateGenreName:andTitle:")
        .method<updatePlaylistName_andTitle>("updatePlaylistName:andTitle:")
        .method<updateSongArtworkDetails_token>("updateSongArtworkDetails:token:")
        .method<updateAlbumOrArtistTitlesInDB_andTitle>("updateAlbumOrArtistTitlesInDB:andTitle:")
        .method<updateItemGenreFor_pid>(
            "updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:")
        .method<updateAlbumArtistFor_pid_artist_id>("updateAlbumArtistFor_pid:artist_id:")
        .method<updateItemAlbum_ArtistFor_pid>(
            "updateItemAlbum_ArtistFor_pid:album_artist_pid:album_artist_order:album_artist_order_section:")
        .OBJC_IVAR(DBHandler, db);
}
