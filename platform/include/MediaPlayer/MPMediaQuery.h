// Queries of the device's media library (MediaLibrary.h).
//
// MPMediaPredicate (NSObject), MPMediaPropertyPredicate (MPMediaPredicate)
//   +predicateWithValue:forProperty:                 id(id, id)  equal to
//   +predicateWithValue:forProperty:comparisonType:  id(id, id, NSInteger)
//   value, property                                  id()
//   comparisonType                                   NSInteger()
// Persistent-id properties take an NSNumber or a decimal NSString (signed or
// unsigned: "-1" and "18446744073709551615" are the same id). Text
// properties compare the exact text (EqualTo) or contain it, ignoring ASCII
// case (Contains). A predicate on a property the library cannot filter by
// matches nothing. Properties: "persistentID", "albumPersistentID",
// "albumArtistPersistentID", "genrePersistentID", "composerPersistentID",
// "title", "artist", "albumTitle", "albumArtist", "genre", "composer",
// "isCompilation", "mediaType", "playlistPersistentID", "name" (a
// playlist's).
//
// MPMediaQuery (NSObject)
//   +songsQuery, +albumsQuery, +artistsQuery, +albumArtistsQuery,
//   +composersQuery, +genresQuery, +playlistsQuery, +compilationsQuery
//                            id()  autoreleased queries
//   init                     id()  every song, grouped by title
//   initWithFilterPredicates:  id(id)  an NSArray of predicates, or a set
//                            (anything answering allObjects); nil for none
//   filterPredicates         id()  NSArray
//   setFilterPredicates:     void(id)
//   addFilterPredicate:, removeFilterPredicate:   void(id)
//   groupingType, setGroupingType:   NSInteger() / void(NSInteger)
//   items                    id()  NSArray of MPConcreteMediaItem
//   collections              id()  NSArray of MPMediaItemCollection
//   copyWithZone:            id(id)  +1 copy with the same predicates
// Orders: songs by title; albums by album title, each album's items by
// disc, track and title; album artists by name, then album, disc, track;
// genres by name, then album artist, album, disc, track; composers by name,
// then title; playlists by name, each playlist in its own order. A query
// with a "playlistPersistentID" predicate lists its items in the
// playlist's order; one with an "albumPersistentID" predicate by disc,
// track and title, as the album's screen lists them. Grouped queries leave out the items that have nothing
// to group by (no composer, genre id 0, ...). The playlists query leaves
// out hidden playlists (is_hidden 1) unless platform::
// setPlaylistsQueryListsHidden is on. The artists query groups by album
// artist, like the album artists query (track artists are only texts).
// A missing or unreadable database gives empty results.
//
// MPMediaLibrary (NSObject)
//   +defaultMediaLibrary      id()  the one library object
//   addPlaylistWithName:      id(id)  a new, empty, visible playlist
//                             (autoreleased), or nil when the database
//                             cannot be written (or platform::
//                             setAddPlaylistAnswersNil is on)
#pragma once

#include <MediaPlayer/MPMediaItemCollection.h>

// MPMediaGrouping
inline constexpr NSInteger MPMediaGroupingTitle = 0;
inline constexpr NSInteger MPMediaGroupingAlbum = 1;
inline constexpr NSInteger MPMediaGroupingArtist = 2;
inline constexpr NSInteger MPMediaGroupingAlbumArtist = 3;
inline constexpr NSInteger MPMediaGroupingComposer = 4;
inline constexpr NSInteger MPMediaGroupingGenre = 5;
inline constexpr NSInteger MPMediaGroupingPlaylist = 6;

// MPMediaPredicateComparison
inline constexpr NSInteger MPMediaPredicateComparisonEqualTo = 0;
inline constexpr NSInteger MPMediaPredicateComparisonContains = 1;

struct MPMediaPredicate : NSObject {
    OBJC_CLASS(MPMediaPredicate)
};

struct MPMediaPropertyPredicate : MPMediaPredicate {
    OBJC_CLASS(MPMediaPropertyPredicate)

    id _value = nil;     // owned
    id _property = nil;  // owned NSString
    NSInteger _comparisonType = MPMediaPredicateComparisonEqualTo;

    ~MPMediaPropertyPredicate() override;
};

struct MPMediaQuery : NSObject {
    OBJC_CLASS(MPMediaQuery)

    id _filterPredicates = nil;  // owned NSMutableArray
    NSInteger _groupingType = MPMediaGroupingTitle;

    ~MPMediaQuery() override;
};

struct MPMediaLibrary : NSObject {
    OBJC_CLASS(MPMediaLibrary)
};
