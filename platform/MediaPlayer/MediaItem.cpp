// Media items and their artwork: MPMediaEntity, MPMediaItem,
// MPConcreteMediaItem, MPConcreteMediaEntityPropertiesCache,
// MPMediaItemArtwork; the identity map of items.
#include "LibraryStore.h"

#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <MediaPlayer/MPMediaItem.h>
#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UIImage.h>
#include <platform/DeviceRoot.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include <unistd.h>

using namespace platform::support;

MPConcreteMediaEntityPropertiesCache::~MPConcreteMediaEntityPropertiesCache() { clearStrong(_properties); }
MPConcreteMediaItem::~MPConcreteMediaItem() { clearStrong(_propertiesCache); }
MPMediaItemArtwork::~MPMediaItemArtwork() { clearStrong(_image); }

namespace platform::medialibrary {

namespace {

// ---------------------------------------------------------------------------
// Values.

NSNumber* asNumber(id value) { return objectAs<NSNumber>(value); }

unsigned long long unsignedValue(id value) {
    NSNumber* n = asNumber(value);
    return n ? n->unsignedLongLongValue() : 0;
}

double doubleValue(id value) {
    NSNumber* n = asNumber(value);
    return n ? n->doubleValue() : 0;
}

NSMutableDictionary* propertiesOf(MPConcreteMediaItem* item) {
    auto* cache = static_cast<MPConcreteMediaEntityPropertiesCache*>(item->_propertiesCache);
    return cache ? objectAs<NSMutableDictionary>(cache->_properties) : nullptr;
}

// "a" + "/" + "b", with one slash between.
std::string joinPath(std::string folder, std::string_view component) {
    while (!component.empty() && component.front() == '/') component.remove_prefix(1);
    if (folder.empty() || folder.back() != '/') folder += '/';
    folder.append(component);
    return folder;
}

// The size of a picture from its header (read by the images' own header
// reader); false for a file that is no picture it knows.
bool readImageSize(const std::string& path, double* width, double* height) {
    int fd = platform::openDeviceFile(path);
    if (fd < 0) return false;
    unsigned char buf[65536];
    ssize_t got = ::pread(fd, buf, sizeof buf, 0);
    ::close(fd);
    uint64_t w = 0, h = 0;
    if (got <= 0 || !platform::imagePixelSize(buf, static_cast<size_t>(got), w, h)) return false;
    *width = static_cast<double>(w);
    *height = static_cast<double>(h);
    return true;
}

// ---------------------------------------------------------------------------
// The identity map: one living item per persistent id.

struct IdentityMap {
    std::mutex lock;
    std::unordered_map<uint64_t, Weak<MPConcreteMediaItem>> items;
    size_t sweepAt = 4096;

    Strong<MPConcreteMediaItem> find(uint64_t pid) {
        std::lock_guard<std::mutex> g(lock);
        auto it = items.find(pid);
        return it == items.end() ? Strong<MPConcreteMediaItem>() : it->second.lock();
    }

    // Keeps `candidate` unless another thread put a living item there first;
    // answers the one kept.
    Strong<MPConcreteMediaItem> insert(uint64_t pid, MPConcreteMediaItem* candidate) {
        std::lock_guard<std::mutex> g(lock);
        Weak<MPConcreteMediaItem>& slot = items[pid];
        if (Strong<MPConcreteMediaItem> living = slot.lock()) return living;
        slot = candidate;
        if (items.size() >= sweepAt) {
            std::erase_if(items, [](const auto& entry) { return entry.second.expired(); });
            sweepAt = std::max<size_t>(4096, items.size() * 2);
        }
        return Strong<MPConcreteMediaItem>(candidate);
    }
};

IdentityMap& identityMap() {
    static auto* map = new IdentityMap;
    return *map;
}

// The properties every list shows, set when the item is made or refreshed.
void fillProperties(MPConcreteMediaItem* item, const ItemRow& row, ValueCache& values) {
    std::lock_guard<std::recursive_mutex> g(itemStateLock());
    NSMutableDictionary* d = propertiesOf(item);
    if (d == nullptr) return;
    bool sameArtwork = item->_row && item->_row->artworkPath == row.artworkPath;
    Strong<objc_object> artwork = sameArtwork ? d->objectForKey(MPMediaItemPropertyArtwork) : nullptr;
    d->removeAllObjects();
    d->setObject(NSNumber::withUnsignedLongLong(static_cast<uint64_t>(row.pid)), MPMediaItemPropertyPersistentID);
    d->setObject(NSNumber::withUnsignedLongLong(static_cast<uint64_t>(row.albumPid)),
                 MPMediaItemPropertyAlbumPersistentID);
    auto text = [&](NSString* key, const Text& value) {
        if (value) d->setObject(values.string(*value), key);
    };
    text(MPMediaItemPropertyTitle, row.title);
    text(MPMediaItemPropertyArtist, row.artist);
    text(MPMediaItemPropertyAlbumTitle, row.albumTitle);
    text(MPMediaItemPropertyAlbumArtist, row.albumArtist);
    text(MPMediaItemPropertyGenre, row.genre);
    if (artwork) d->setObject(artwork.get(), MPMediaItemPropertyArtwork);
    if (item->_row) *item->_row = row;
    else item->_row = std::make_unique<ItemRow>(row);
}

// The artwork object of a row, or nil when the item has no artwork.
id makeArtwork(const ItemRow& row) {
    if (!row.artworkPath || row.artworkPath->empty()) return nil;
    std::string path = platform::devicePath(joinPath(artworkFolderDevicePath(), *row.artworkPath));
    if (path.empty()) return nil;
    auto artwork = adoptObject<MPMediaItemArtwork>(newObject(MPMediaItemArtwork::cls()), "MPConcreteMediaItem artwork");
    if (!artwork) return nil;
    artwork->_filePath = path;
    double width = 0, height = 0;
    if (readImageSize(path, &width, &height)) artwork->_bounds = CGRectMake(0, 0, width, height);
    return autorelease(artwork.detach());
}

// A property made from the row when first asked for; nil for a property the
// item does not have.
id lazyProperty(MPConcreteMediaItem* item, const std::string& key) {
    const ItemRow& row = *item->_row;
    auto number = [](long long v) -> id { return NSNumber::withLongLong(v); };
    auto pid = [](int64_t v) -> id { return NSNumber::withUnsignedLongLong(static_cast<uint64_t>(v)); };
    if (key == "albumArtistPersistentID") return pid(row.albumArtistPid);
    if (key == "genrePersistentID") return pid(row.genreId);
    if (key == "composerPersistentID") return pid(row.composerPid);
    if (key == "composer") return row.composer ? NSString::make(*row.composer) : nil;
    if (key == "rating") return number(std::clamp<int64_t>(row.userRating / 20, 0, 5));
    if (key == "playCount") return number(row.playCount);
    if (key == "skipCount") return number(row.skipCount);
    if (key == "mediaType") return number(row.mediaType);
    if (key == "albumTrackNumber") return number(row.trackNumber);
    if (key == "albumTrackCount") return number(row.trackCount);
    if (key == "discNumber") return number(row.discNumber);
    if (key == "discCount") return number(row.discCount);
    if (key == "year") return number(row.year);
    if (key == "isCompilation") return NSNumber::withBool(row.isCompilation != 0);
    if (key == "playbackDuration") return NSNumber::withDouble(static_cast<double>(row.totalTimeMs) / 1000.0);
    if (key == "lastPlayedDate")
        return row.datePlayed > 0 ? NSDate::withTimeIntervalSince1970(static_cast<double>(row.datePlayed)) : nil;
    if (key == "filePath") {
        if (!row.location || row.location->empty()) return nil;
        return NSString::make(platform::devicePath(joinPath(mediaFolderDevicePath(), *row.location)));
    }
    if (key == "assetURL")
        return NSStringWithFormat("ipod-library://item/item.mp3?id=%llu", static_cast<uint64_t>(row.pid));
    if (key == "artwork") return makeArtwork(row);
    return nil;
}

// ---------------------------------------------------------------------------
// MPMediaEntity and MPMediaItem: everything through valueForProperty:.

namespace entity {

id valueForProperty(MPMediaEntity*, SEL, id) { return nil; }

unsigned long long persistentID(MPMediaEntity* self, SEL) {
    return unsignedValue(objc_msgSend<id(id)>(self, "valueForProperty:"_sel, MPMediaItemPropertyPersistentID));
}

}  // namespace entity

namespace item {

template <objc::Literal K>
id value(MPMediaItem* self) {
    return objc_msgSend<id(id)>(self, "valueForProperty:"_sel, operator""_ns<K>());
}

template <objc::Literal K>
id object(MPMediaItem* self, SEL) {
    return value<K>(self);
}

template <objc::Literal K>
unsigned long long unsignedLongLong(MPMediaItem* self, SEL) {
    return unsignedValue(value<K>(self));
}

template <objc::Literal K>
NSUInteger unsignedInteger(MPMediaItem* self, SEL) {
    return static_cast<NSUInteger>(unsignedValue(value<K>(self)));
}

double playbackDuration(MPMediaItem* self, SEL) { return doubleValue(value<"playbackDuration">(self)); }

void setRating(MPMediaItem* self, SEL, NSUInteger rating) {
    objc_msgSend<BOOL(id, id)>(self, "setValue:forProperty:"_sel,
                               NSNumber::withLongLong(static_cast<long long>(std::min<NSUInteger>(rating, 5))),
                               MPMediaItemPropertyRating);
}

BOOL setValueForProperty(MPMediaItem*, SEL, id, id) { return NO; }

// Two items are equal when they are the same library item.
BOOL isEqual(MPMediaItem* self, SEL, id other) {
    if (other == self) return YES;
    // Two library items: their ids at hand.
    if (other != nullptr && other->isa == self->isa && self->isa == MPConcreteMediaItem::cls()) {
        auto* a = static_cast<MPConcreteMediaItem*>(static_cast<objc_object*>(self));
        auto* b = static_cast<MPConcreteMediaItem*>(other);
        if (a->_persistentID != 0 && b->_persistentID != 0) return a->_persistentID == b->_persistentID;
    }
    if (!objc_isKindOfClass(other, MPMediaItem::cls())) return NO;
    return objc_msgSend<unsigned long long()>(self, "persistentID"_sel) ==
           objc_msgSend<unsigned long long()>(other, "persistentID"_sel);
}

NSUInteger hash(MPMediaItem* self, SEL) {
    return static_cast<NSUInteger>(objc_msgSend<unsigned long long()>(self, "persistentID"_sel));
}

}  // namespace item

// ---------------------------------------------------------------------------
// MPConcreteMediaItem.

namespace concrete {

id cacheInit(MPConcreteMediaEntityPropertiesCache* self, SEL) {
    self = objectAs<MPConcreteMediaEntityPropertiesCache>(
        objc_msgSendSuper<id()>(self, MPConcreteMediaEntityPropertiesCache::cls(), "init"_sel));
    if (self == nullptr) return nil;
    storeStrong(self->_properties, objc::as_id(NSMutableDictionary::make()));
    return self;
}

id init(MPConcreteMediaItem* self, SEL) {
    self = objectAs<MPConcreteMediaItem>(objc_msgSendSuper<id()>(self, MPConcreteMediaItem::cls(), "init"_sel));
    if (self == nullptr) return nil;
    id cache = newObject(MPConcreteMediaEntityPropertiesCache::cls());
    clearStrong(self->_propertiesCache);
    self->_propertiesCache = cache;  // owned from newObject
    return self;
}

// A library item knows its id without a property lookup (queues compare
// items by it, thousands at a time).
unsigned long long persistentID(MPConcreteMediaItem* self, SEL) {
    if (self->_persistentID != 0) return self->_persistentID;
    return unsignedValue(objc_msgSend<id(id)>(self, "valueForProperty:"_sel, MPMediaItemPropertyPersistentID));
}

id valueForProperty(MPConcreteMediaItem* self, SEL, id property) {
    if (property == nullptr) return nil;
    std::lock_guard<std::recursive_mutex> g(itemStateLock());
    NSMutableDictionary* d = propertiesOf(self);
    if (d == nullptr) return nil;
    if (id kept = d->objectForKey(property)) return kept;
    auto* key = objectAs<NSString>(property);
    if (key == nullptr || !self->_row) return nil;
    id value = lazyProperty(self, key->str());
    if (value) d->setObject(value, key);
    return value;
}

// Writes one property of an item; false when the database does not take it.
bool writeProperty(uint64_t pid, const std::string& key, id value, id* stored) {
    auto sqlPid = Binding::integer(static_cast<int64_t>(pid));
    if (key == "title" || key == "artist") {
        auto* text = objectAs<NSString>(value);
        if (text == nullptr) return false;
        *stored = text;
        std::string s = text->str();
        return writeLibrary([&](sqlite3* db) {
            int changes = 0;
            if (key == "artist")
                return execute(db, "UPDATE item SET artist = ?, sort_artist = ? WHERE item_pid = ?",
                               {Binding::text(s), Binding::text(s), sqlPid}, &changes) &&
                       changes > 0;
            int64_t order = 0;
            int section = 0;
            return sortOrderForName(db, s, &order, &section) &&
                   execute(db,
                           "UPDATE item SET title = ?, sort_title = ?, title_order = ?, title_order_section = ? "
                           "WHERE item_pid = ?",
                           {Binding::text(s), Binding::text(s), Binding::integer(order), Binding::integer(section),
                            sqlPid},
                           &changes) &&
                   changes > 0;
        });
    }
    const char* column = key == "rating" ? "user_rating"
                         : key == "playCount" ? "play_count_user"
                         : key == "skipCount" ? "skip_count_user"
                                                : nullptr;
    NSNumber* number = asNumber(value);
    if (column == nullptr || number == nullptr) return false;
    long long v = number->longLongValue();
    if (v < 0) return false;
    long long dbValue = v;
    if (key == "rating") {
        v = std::min(v, 5LL);
        dbValue = v * 20;
    }
    *stored = NSNumber::withLongLong(v);
    std::string sql = std::string("INSERT INTO item_stats (item_pid, ") + column +
                      ") SELECT item_pid, ? FROM item WHERE item_pid = ? ON CONFLICT (item_pid) DO UPDATE SET " +
                      column + " = excluded." + column;
    return writeLibrary([&](sqlite3* db) {
        int changes = 0;
        return execute(db, sql.c_str(), {Binding::integer(dbValue), sqlPid}, &changes) && changes > 0;
    });
}

BOOL setValueForProperty(MPConcreteMediaItem* self, SEL, id value, id property) {
    auto* key = objectAs<NSString>(property);
    NSMutableDictionary* d = propertiesOf(self);
    if (key == nullptr || d == nullptr) return NO;
    id stored = nil;
    if (!writeProperty(self->_persistentID, key->str(), value, &stored)) return NO;
    std::lock_guard<std::recursive_mutex> g(itemStateLock());
    d->setObject(stored, key);
    return YES;
}

}  // namespace concrete

// ---------------------------------------------------------------------------
// MPMediaItemArtwork.

namespace artwork {

id imageWithSize(MPMediaItemArtwork* self, SEL, CGSize size) {
    bool covered = size.width <= self->_imageFits.width && size.height <= self->_imageFits.height;
    if (self->_image != nullptr && covered) return self->_image;
    Class image = objc_getClass("UIImage");
    if (image == nullptr || self->_filePath.empty()) return self->_image;
    NSString* path = NSString::make(self->_filePath);
    SEL fitting = "_imageWithContentsOfFile:fittingSize:"_sel;
    bool whole = !(size.width > 0 && size.height > 0) || !class_respondsToSelector(object_getClass(image), fitting);
    id picture = whole ? objc_msgSend<id(id)>(image, "imageWithContentsOfFile:"_sel, path)
                       : objc_msgSend<id(id, CGSize)>(image, fitting, path, size);
    if (picture == nullptr) return self->_image;
    storeStrong(self->_image, picture);
    self->_imageFits = whole ? CGSizeMake(INFINITY, INFINITY)
                             : CGSizeMake(std::max(size.width, self->_imageFits.width),
                                          std::max(size.height, self->_imageFits.height));
    return self->_image;
}

CGRect bounds(MPMediaItemArtwork* self, SEL) { return self->_bounds; }

}  // namespace artwork

}  // namespace

MPConcreteMediaItem* itemForRow(const ItemRow& row, ValueCache& values) {
    uint64_t pid = static_cast<uint64_t>(row.pid);
    IdentityMap& map = identityMap();
    Strong<MPConcreteMediaItem> item = map.find(pid);
    if (!item) {
        auto made = adoptObject<MPConcreteMediaItem>(newObject(MPConcreteMediaItem::cls()), "media item");
        if (!made) return nullptr;
        made->_persistentID = pid;
        item = map.insert(pid, made.get());
        if (item.get() == made.get()) {
            fillProperties(item.get(), row, values);
            return autorelease(item.detach());
        }
    }
    {
        std::lock_guard<std::recursive_mutex> g(itemStateLock());
        if (!item->_row || !(*item->_row == row)) fillProperties(item.get(), row, values);
    }
    return autorelease(item.detach());
}

std::recursive_mutex& itemStateLock() {
    static auto* lock = new std::recursive_mutex;  // outlives the statics
    return *lock;
}

void registerItemClasses() {
    objc::ClassDef<MPMediaEntity>("MPMediaEntity", NSObject::cls())
        .method<entity::valueForProperty>("valueForProperty:")
        .method<entity::persistentID>("persistentID");
    objc::ClassDef<MPMediaItem>("MPMediaItem", MPMediaEntity::cls())
        .method<item::unsignedLongLong<"albumPersistentID">>("albumPersistentID")
        .method<item::unsignedLongLong<"albumArtistPersistentID">>("albumArtistPersistentID")
        .method<item::unsignedLongLong<"genrePersistentID">>("genrePersistentID")
        .method<item::unsignedLongLong<"composerPersistentID">>("composerPersistentID")
        .method<item::object<"title">>("title")
        .method<item::object<"artist">>("artist")
        .method<item::object<"albumTitle">>("albumTitle")
        .method<item::object<"albumArtist">>("albumArtist")
        .method<item::object<"genre">>("genre")
        .method<item::object<"composer">>("composer")
        .method<item::object<"artwork">>("artwork")
        .method<item::object<"assetURL">>("assetURL")
        .method<item::object<"lastPlayedDate">>("lastPlayedDate")
        .method<item::unsignedInteger<"rating">>("rating")
        .method<item::unsignedInteger<"playCount">>("playCount")
        .method<item::unsignedInteger<"skipCount">>("skipCount")
        .method<item::unsignedInteger<"albumTrackNumber">>("albumTrackNumber")
        .method<item::unsignedInteger<"albumTrackCount">>("albumTrackCount")
        .method<item::unsignedInteger<"discNumber">>("discNumber")
        .method<item::unsignedInteger<"discCount">>("discCount")
        .method<item::unsignedInteger<"mediaType">>("mediaType")
        .method<item::playbackDuration>("playbackDuration")
        .method<item::setRating>("setRating:")
        .method<item::setValueForProperty>("setValue:forProperty:")
        .method<item::isEqual>("isEqual:")
        .method<item::hash>("hash");
    objc::ClassDef<MPConcreteMediaEntityPropertiesCache>("MPConcreteMediaEntityPropertiesCache", NSObject::cls())
        .method<concrete::cacheInit>("init")
        .OBJC_IVAR(MPConcreteMediaEntityPropertiesCache, _properties);
    objc::ClassDef<MPConcreteMediaItem>("MPConcreteMediaItem", MPMediaItem::cls())
        .method<concrete::init>("init")
        .method<concrete::valueForProperty>("valueForProperty:")
        .method<concrete::persistentID>("persistentID")
        .method<concrete::setValueForProperty>("setValue:forProperty:")
        .OBJC_IVAR(MPConcreteMediaItem, _propertiesCache);
    objc::ClassDef<MPMediaItemArtwork>("MPMediaItemArtwork", NSObject::cls())
        .method<artwork::imageWithSize>("imageWithSize:")
        .method<artwork::bounds>("bounds")
        .method<artwork::bounds>("imageCropRect")
        .OBJC_IVAR(MPMediaItemArtwork, _image);
}

}  // namespace platform::medialibrary
