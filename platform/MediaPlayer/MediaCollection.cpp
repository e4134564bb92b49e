// Collections of media items: MPMediaItemCollection,
// MPConcreteMediaItemCollection, MPMediaPlaylist, MPConcreteMediaPlaylist.
#include "LibraryStore.h"

#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <MediaPlayer/MPMediaItemCollection.h>
#include <MediaPlayer/MPMediaQuery.h>

using namespace platform::support;

MPMediaItemCollection::~MPMediaItemCollection() { clearStrong(_items); }
MPConcreteMediaPlaylist::~MPConcreteMediaPlaylist() { clearStrong(_properties); }

namespace platform::medialibrary {

namespace {

// The item property that names what a grouping groups by.
NSString* groupingProperty(NSInteger grouping) {
    switch (grouping) {
        case MPMediaGroupingAlbum: return MPMediaItemPropertyAlbumPersistentID;
        case MPMediaGroupingArtist:
        case MPMediaGroupingAlbumArtist: return MPMediaItemPropertyAlbumArtistPersistentID;
        case MPMediaGroupingComposer: return MPMediaItemPropertyComposerPersistentID;
        case MPMediaGroupingGenre: return MPMediaItemPropertyGenrePersistentID;
        case MPMediaGroupingPlaylist: return MPMediaPlaylistPropertyPersistentID;
        default: return nullptr;
    }
}

bool isKey(id property, NSString* key) {
    auto* s = objectAs<NSString>(property);
    return s != nullptr && key != nullptr && s->isEqualToString(key);
}

namespace collection {

id collectionWithItems(objc_class* cls, SEL, id items) {
    id made = objc_msgSend<id(id)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithItems:"_sel, items);
    return objc_autorelease(made);
}

id initWithItems(MPMediaItemCollection* self, SEL, id items) {
    self = objectAs<MPMediaItemCollection>(
        objc_msgSendSuper<id()>(self, MPMediaItemCollection::cls(), "init"_sel));
    if (self == nullptr) return nil;
    id copy = items ? objc_msgSend<id()>(items, "copy"_sel) : objc_retain(objc::as_id(NSArray::make({})));
    clearStrong(self->_items);
    self->_items = copy;  // owned from copy
    return self;
}

// init is initWithItems: with no items.
id init(MPMediaItemCollection* self, SEL) { return objc_msgSend<id(id)>(self, "initWithItems:"_sel, nullptr); }

id items(MPMediaItemCollection* self, SEL) { return self->_items; }

NSUInteger count(MPMediaItemCollection* self, SEL) {
    return arrayCount(objc_msgSend<id()>(self, "items"_sel));
}

id representativeItem(MPMediaItemCollection* self, SEL) {
    id list = objc_msgSend<id()>(self, "items"_sel);
    return arrayCount(list) > 0 ? arrayObjectAt(list, 0) : nil;
}

NSUInteger mediaTypes(MPMediaItemCollection* self, SEL) {
    return objc_msgSend<NSUInteger()>(self, "count"_sel) > 0 ? MPMediaTypeMusic : 0;
}

unsigned long long persistentID(MPMediaItemCollection* self, SEL) { return self->_persistentID; }

NSInteger groupingType(MPMediaItemCollection* self, SEL) { return self->_groupingType; }

id valueForProperty(MPMediaItemCollection* self, SEL, id property) {
    if (property == nullptr) return nil;
    if (isKey(property, MPMediaItemPropertyPersistentID) || isKey(property, groupingProperty(self->_groupingType)))
        return NSNumber::withUnsignedLongLong(objc_msgSend<unsigned long long()>(self, "persistentID"_sel));
    id item = objc_msgSend<id()>(self, "representativeItem"_sel);
    return objc_msgSend<id(id)>(item, "valueForProperty:"_sel, property);
}

}  // namespace collection

namespace playlist {

id valueForProperty(MPMediaPlaylist* self, SEL, id property) {
    if (auto* concrete = objectAs<MPConcreteMediaPlaylist>(self)) {
        if (auto* d = objectAs<NSDictionary>(concrete->_properties)) {
            if (isKey(property, MPMediaPlaylistPropertyName) || isKey(property, MPMediaPlaylistPropertyPersistentID) ||
                isKey(property, MPMediaPlaylistPropertyPlaylistAttributes))
                return d->objectForKey(property);
        }
    }
    return objc_msgSendSuper<id(id)>(self, MPMediaPlaylist::cls(), "valueForProperty:"_sel, property);
}

id name(MPMediaPlaylist* self, SEL) {
    return objc_msgSend<id(id)>(self, "valueForProperty:"_sel, MPMediaPlaylistPropertyName);
}

NSUInteger playlistAttributes(MPMediaPlaylist* self, SEL) {
    id v = objc_msgSend<id(id)>(self, "valueForProperty:"_sel, MPMediaPlaylistPropertyPlaylistAttributes);
    auto* n = objectAs<NSNumber>(v);
    return n ? static_cast<NSUInteger>(n->unsignedLongLongValue()) : 0;
}

id concreteInitWithItems(MPConcreteMediaPlaylist* self, SEL, id items) {
    self = objectAs<MPConcreteMediaPlaylist>(
        objc_msgSendSuper<id(id)>(self, MPConcreteMediaPlaylist::cls(), "initWithItems:"_sel, items));
    if (self == nullptr) return nil;
    storeStrong(self->_properties, objc::as_id(NSMutableDictionary::make()));
    self->_groupingType = MPMediaGroupingPlaylist;
    return self;
}

void addItem(MPMediaPlaylist* self, SEL, id item, id completion) {
    uint64_t pid = objc_msgSend<unsigned long long()>(self, "persistentID"_sel);
    bool ok = false;
    if (objc_isKindOfClass(item, MPMediaItem::cls())) {
        auto itemPid = static_cast<int64_t>(objc_msgSend<unsigned long long()>(item, "persistentID"_sel));
        ok = writeLibrary([&](sqlite3* db) {
            return execute(db,
                           "INSERT INTO container_items (container_pid, item_pid, position) "
                           "SELECT ?1, ?2, COALESCE(MAX(position) + 1, 0) FROM container_items "
                           "WHERE container_pid = ?1",
                           {Binding::integer(static_cast<int64_t>(pid)), Binding::integer(itemPid)});
        });
    }
    if (ok) {
        NSMutableArray* list = NSMutableArray::make();
        if (auto* old = objectAs<NSArray>(self->_items)) list->addObjectsFromArray(old);
        list->addObject(item);
        storeStrong(self->_items, objc::as_id(list));
    }
    id error = ok ? nil
                  : objc::as_id(NSError::make("MPErrorDomain"_ns, 1,
                                              NSDictionary::make({{NSLocalizedDescriptionKey,
                                                                   "The item could not be added to the playlist."_ns}})));
    objc_callBlock<void(id)>(completion, error);
}

}  // namespace playlist

}  // namespace

void registerCollectionClasses() {
    objc::ClassDef<MPMediaItemCollection>("MPMediaItemCollection", MPMediaEntity::cls())
        .classMethod<collection::collectionWithItems>("collectionWithItems:")
        .method<collection::init>("init")
        .method<collection::initWithItems>("initWithItems:")
        .method<collection::items>("items")
        .method<collection::count>("count")
        .method<collection::representativeItem>("representativeItem")
        .method<collection::mediaTypes>("mediaTypes")
        .method<collection::persistentID>("persistentID")
        .method<collection::groupingType>("groupingType")
        .method<collection::valueForProperty>("valueForProperty:");
    objc::ClassDef<MPConcreteMediaItemCollection>("MPConcreteMediaItemCollection", MPMediaItemCollection::cls());
    objc::ClassDef<MPMediaPlaylist>("MPMediaPlaylist", MPMediaItemCollection::cls())
        .method<playlist::valueForProperty>("valueForProperty:")
        .method<playlist::name>("name")
        .method<playlist::playlistAttributes>("playlistAttributes")
        .method<playlist::addItem>("addItem:completionBlock:");
    objc::ClassDef<MPConcreteMediaPlaylist>("MPConcreteMediaPlaylist", MPMediaPlaylist::cls())
        .method<playlist::concreteInitWithItems>("initWithItems:")
        .OBJC_IVAR(MPConcreteMediaPlaylist, _properties);
}

}  // namespace platform::medialibrary
