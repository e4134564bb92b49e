// Collections of media items: the albums, album artists, genres, composers
// and playlists that queries group items into (MPMediaQuery.h).
//
// MPMediaItemCollection (MPMediaEntity)
//   +collectionWithItems:  id(id)        autoreleased collection of an NSArray
//   initWithItems:         id(id)        the designated initialiser (init:
//                                        no items)
//   items                  id()          NSArray of MPMediaItem, in order
//   count                  NSUInteger()
//   representativeItem     id()          the first item; nil when empty
//   mediaTypes             NSUInteger()  MPMediaTypeMusic when not empty
//   persistentID           unsigned long long()  the id of what the items
//                          were grouped by (album pid, album artist pid,
//                          genre id, composer pid, playlist pid); 0 for a
//                          collection made from items
//   groupingType           NSInteger()   the MPMediaGrouping it was made by
//   valueForProperty:      id(id)        the grouping property (e.g.
//                          "albumPersistentID" of an album) gives
//                          persistentID; any other item property is the
//                          representative item's
// MPConcreteMediaItemCollection (MPMediaItemCollection): the collections a
//   query makes (albums, artists, genres, composers).
// MPMediaPlaylist (MPMediaItemCollection): a playlist.
//   name                   id()          NSString or nil
//   playlistAttributes     NSUInteger()  MPMediaPlaylistAttribute bits
//   valueForProperty:      id(id)        "name", "playlistPersistentID",
//                          "playlistAttributes" from _properties; others as
//                          for any collection
//   addItem:completionBlock:   void(id, id)  appends the item to the
//                          playlist in the database and in memory; the
//                          block, void(id error), runs before the method
//                          returns, with nil on success
// MPConcreteMediaPlaylist (MPMediaPlaylist): a playlist of the library.
//   ivar _properties       id: NSMutableDictionary "name" (absent when the
//                          name is NULL), "playlistPersistentID",
//                          "playlistAttributes"
#pragma once

#include <MediaPlayer/MPMediaItem.h>

#define MPMediaPlaylistPropertyPersistentID ("playlistPersistentID"_ns)
#define MPMediaPlaylistPropertyName ("name"_ns)
#define MPMediaPlaylistPropertyPlaylistAttributes ("playlistAttributes"_ns)

// MPMediaPlaylistAttribute bits.
inline constexpr NSUInteger MPMediaPlaylistAttributeNone = 0;
inline constexpr NSUInteger MPMediaPlaylistAttributeOnTheGo = 1 << 0;
inline constexpr NSUInteger MPMediaPlaylistAttributeSmart = 1 << 1;
inline constexpr NSUInteger MPMediaPlaylistAttributeGenius = 1 << 2;

struct MPMediaItemCollection : MPMediaEntity {
    OBJC_CLASS(MPMediaItemCollection)

    id _items = nil;  // owned NSArray
    MPMediaEntityPersistentID _persistentID = 0;
    NSInteger _groupingType = 0;

    ~MPMediaItemCollection() override;
};

struct MPConcreteMediaItemCollection : MPMediaItemCollection {
    OBJC_CLASS(MPConcreteMediaItemCollection)
};

struct MPMediaPlaylist : MPMediaItemCollection {
    OBJC_CLASS(MPMediaPlaylist)
};

struct MPConcreteMediaPlaylist : MPMediaPlaylist {
    OBJC_CLASS(MPConcreteMediaPlaylist)

    id _properties = nil;  // owned NSMutableDictionary

    ~MPConcreteMediaPlaylist() override;
};
