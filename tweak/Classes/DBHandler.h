// DBHandler: every read and write of the device's media library database.
//
// +sharedInstance hands out a new autoreleased object on every call; send the
// operation straight to it. Each operation opens the database file, runs its
// statement (two for the genre sort position's fallback) and closes the file
// before it returns, so nothing is cached and no connection stays open while
// the Music app writes. Every value reaches SQLite as a bound parameter.
//
// Runtime methods (typed sends; ids of containers, genres, album artists
// and albums are long long, an item's pid unsigned long long):
//
//   +sharedInstance                                      DBHandler*()
//   -openDatabase                                        BOOL()
//   -closeDatabase                                       void()
//   -open_FMDB_Database                                  FMDatabase*()   open, autoreleased; nil on failure
//
// Reads (the value when nothing is found, or on any failure, in brackets):
//   -getIsPlaylistHidden:                                BOOL(long long)                     [NO]
//   -getGenreName:                                       NSString*(long long)                [""]
//   -getPlaylistName:                                    NSString*(long long)                [""]
//   -getArtworkTokenByItem_pid:                          NSString*(unsigned long long)       [""]
//   -getArtworkPathForToken:                             NSString*(NSString*)                [""]
//   -getNextArtworkToken                                 NSString*()      ["1" for no numeric token; "" on failure]
//   -getGenres                                           NSMutableDictionary*()  genreNames/genreIDs   [both empty]
//   -getArtists                                          NSMutableDictionary*()  artistNames/artistIDs [both empty]
//   -getItemGenreSpecificsByFromGenreID:andGenreName:    NSMutableArray*(long long, NSString*)   [empty]
//   -getItemArtistSpecificsByFromArtistID:               NSMutableArray*(long long)              [empty]
//   -getItemDetails:                                     NSMutableArray*(unsigned long long)     [empty]
//
// Writes through the held SQLite connection:
//   -updateGenreName:andTitle:                           void(long long, NSString*)
//   -updatePlaylistName:andTitle:                        void(long long, NSString*)
//   -updateSongArtworkDetails:token:                     BOOL(unsigned long long, NSString*)  YES when a row changed
//
// Writes through FMDatabase:
//   -updateAlbumOrArtistTitlesInDB:andTitle:             void(ItemEntry*, NSString*)
//   -updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:
//                                                        void(unsigned long long, long long, long long, int,
//                                                             long long, BOOL)
//   -updateAlbumArtistFor_pid:artist_id:                 void(long long, long long)
//   -updateItemAlbum_ArtistFor_pid:album_artist_pid:album_artist_order:album_artist_order_section:
//                                                        void(unsigned long long, long long, long long, int)
//
// A missing database file ends the Music app ("killall -9 Music") and the
// operation returns its empty value; the file is never created. A locked
// database is retried for up to 2 seconds (within a
// platform::MediaLibraryWait, until its deadline), and a failed statement is
// counted in the wait and, but for a refused write, in
// platform::mediaLibraryReadFailures. No operation throws: each logs
// "<operation> - An exception occured: %@" and returns its empty value.
#pragma once

#include <objc/NSObject.h>

struct sqlite3;
struct NSMutableArray;
struct NSString;

struct DBHandler : NSObject {
    OBJC_CLASS(DBHandler)

    sqlite3* db = nullptr;  // open only inside an operation
};

// Registers DBHandler; Cantrel_registerClasses calls it.
void registerDBHandler();

// The sort_map order and section of a name ([order (long), section (int)]),
// empty when the name is not in the map or the database cannot be read.
NSMutableArray* DBSortMapOrderForName(id handler, NSString* name);

// Waits, within what is left of the thread's platform::MediaLibraryWait (or
// 2 s), until the library could be written, for writes made by the Music
// app's own objects, which wait on their own: takes the write lock and gives
// it back at once. False, and counted as a failure, when it could not.
bool DBWaitUntilWritable();
