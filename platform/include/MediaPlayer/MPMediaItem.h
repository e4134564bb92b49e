// Media items: the songs of the device's media library (MediaLibrary.h).
//
// MPMediaEntity (NSObject)
//   persistentID            unsigned long long()   the entity's 64-bit id
//   valueForProperty:       id(id)                 nil for a property it lacks
// MPMediaItem (MPMediaEntity): accessors, each answered through
// valueForProperty: with the key beside it:
//   persistentID               unsigned long long()  "persistentID"
//   albumPersistentID          unsigned long long()  "albumPersistentID"
//   albumArtistPersistentID    unsigned long long()  "albumArtistPersistentID"
//   genrePersistentID          unsigned long long()  "genrePersistentID"
//   composerPersistentID       unsigned long long()  "composerPersistentID"
//   title, artist, albumTitle, albumArtist, genre, composer
//                              id()  NSString or nil ("title", "artist",
//                                    "albumTitle", "albumArtist", "genre",
//                                    "composer")
//   rating                     NSUInteger()  0..5 stars ("rating")
//   playCount, skipCount       NSUInteger()  ("playCount", "skipCount")
//   albumTrackNumber, albumTrackCount, discNumber, discCount, mediaType
//                              NSUInteger()  (the same keys)
//   playbackDuration           double()      seconds ("playbackDuration")
//   assetURL, lastPlayedDate   id()          ("assetURL", "lastPlayedDate")
//   artwork                    id()  MPMediaItemArtwork, nil when the item
//                                    has none ("artwork"): the artwork of
//                                    item_artwork.sync_artwork_token when it
//                                    is set, else of best_artwork_token
//   setRating:                 void(NSUInteger)  setValue:forProperty: of
//                                    "rating"; above 5 counts as 5
//   isEqual:, hash             BOOL(id), NSUInteger()  by persistentID
// MPConcreteMediaItem (MPMediaItem): an item of the library. One object per
// persistent id while it lives: a query that finds an item that is still
// alive hands out the same object (with its properties refreshed from the
// database), so what is attached to it (associated objects) stays. Queries
// refresh items in place: use an item's properties on the thread that runs
// the queries (the main thread).
//   valueForProperty:      id(id)       from the properties cache
//   setValue:forProperty:  BOOL(id, id) writes "title", "artist", "rating",
//                          "playCount" or "skipCount" to the database and
//                          then to the cache; NO (nothing changed) for any
//                          other property, a value of the wrong kind, or a
//                          database that cannot be written
//   ivar _propertiesCache  id: its MPConcreteMediaEntityPropertiesCache
// MPConcreteMediaEntityPropertiesCache (NSObject)
//   ivar _properties       id: NSMutableDictionary, property key -> value,
//                          the properties loaded so far: always
//                          "persistentID", "title", "artist", "albumTitle",
//                          "albumArtist", "genre" and "albumPersistentID";
//                          the others once asked for. A key whose value is
//                          NULL in the database is absent.
//
// Other property values: "filePath" (NSString, the audio file's host path),
// "assetURL" (NSString "ipod-library://item/item.mp3?id=<pid>"),
// "mediaType" (NSNumber, 1 for music), "albumTrackCount", "discCount",
// "year", "skipCount", "isCompilation" (NSNumber), "lastPlayedDate"
// (NSDate, absent when never played).
//
// MPMediaItemArtwork (NSObject): an item's picture, from its artwork file.
//   imageWithSize:   id(CGSize)  the picture (a UIImage of the artwork
//                    file, loaded on first use and kept in _image); nil when
//                    the file cannot be read or UIImage is not available. It
//                    is decoded no larger than it takes to cover the size
//                    asked for (UIImage's _imageWithContentsOfFile:fittingSize:,
//                    or imageWithContentsOfFile: where that is missing), and
//                    decoded again when a larger size is asked for later.
//   bounds           CGRect()    (0, 0, width, height) of the file's picture
//   imageCropRect    CGRect()    the same as bounds
//   ivar _image      id: the UIImage, owned (nil until loaded)
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSString.h>
#include <objc/NSObject.h>

#include <cstdint>
#include <memory>
#include <string>

using MPMediaEntityPersistentID = uint64_t;

#define MPMediaItemPropertyPersistentID ("persistentID"_ns)
#define MPMediaItemPropertyMediaType ("mediaType"_ns)
#define MPMediaItemPropertyTitle ("title"_ns)
#define MPMediaItemPropertyAlbumTitle ("albumTitle"_ns)
#define MPMediaItemPropertyAlbumPersistentID ("albumPersistentID"_ns)
#define MPMediaItemPropertyArtist ("artist"_ns)
#define MPMediaItemPropertyAlbumArtist ("albumArtist"_ns)
#define MPMediaItemPropertyAlbumArtistPersistentID ("albumArtistPersistentID"_ns)
#define MPMediaItemPropertyGenre ("genre"_ns)
#define MPMediaItemPropertyGenrePersistentID ("genrePersistentID"_ns)
#define MPMediaItemPropertyComposer ("composer"_ns)
#define MPMediaItemPropertyComposerPersistentID ("composerPersistentID"_ns)
#define MPMediaItemPropertyPlaybackDuration ("playbackDuration"_ns)
#define MPMediaItemPropertyAlbumTrackNumber ("albumTrackNumber"_ns)
#define MPMediaItemPropertyAlbumTrackCount ("albumTrackCount"_ns)
#define MPMediaItemPropertyDiscNumber ("discNumber"_ns)
#define MPMediaItemPropertyDiscCount ("discCount"_ns)
#define MPMediaItemPropertyReleaseYear ("year"_ns)
#define MPMediaItemPropertyArtwork ("artwork"_ns)
#define MPMediaItemPropertyIsCompilation ("isCompilation"_ns)
#define MPMediaItemPropertyRating ("rating"_ns)
#define MPMediaItemPropertyLastPlayedDate ("lastPlayedDate"_ns)
#define MPMediaItemPropertyPlayCount ("playCount"_ns)
#define MPMediaItemPropertySkipCount ("skipCount"_ns)
#define MPMediaItemPropertyAssetURL ("assetURL"_ns)
#define MPMediaItemPropertyFilePath ("filePath"_ns)

// MPMediaType: what an item is; the library holds music only.
inline constexpr NSUInteger MPMediaTypeMusic = 1;

struct MPMediaEntity : NSObject {
    OBJC_CLASS(MPMediaEntity)
};

struct MPMediaItem : MPMediaEntity {
    OBJC_CLASS(MPMediaItem)
};

struct MPConcreteMediaEntityPropertiesCache : NSObject {
    OBJC_CLASS(MPConcreteMediaEntityPropertiesCache)

    id _properties = nil;  // owned NSMutableDictionary

    ~MPConcreteMediaEntityPropertiesCache() override;
};

namespace platform::medialibrary {
struct ItemRow;
}

struct MPConcreteMediaItem : MPMediaItem {
    OBJC_CLASS(MPConcreteMediaItem)

    id _propertiesCache = nil;  // owned MPConcreteMediaEntityPropertiesCache
    MPMediaEntityPersistentID _persistentID = 0;
    // The database row the properties come from: a query that reads a
    // different row refreshes them. Properties other than the ones every
    // list shows are made from it on first use.
    std::unique_ptr<platform::medialibrary::ItemRow> _row;

    ~MPConcreteMediaItem() override;
};

struct MPMediaItemArtwork : NSObject {
    OBJC_CLASS(MPMediaItemArtwork)

    id _image = nil;  // owned UIImage, nil until loaded
    CGSize _imageFits{};  // the size _image was decoded for
    std::string _filePath;  // host path of the artwork file
    CGRect _bounds{};

    ~MPMediaItemArtwork() override;
};
