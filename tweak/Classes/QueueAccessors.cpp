#include "QueueAccessors.h"
#include "Sends.h"

#include "Cantrel.h"
#include "ItemEntry.h"

#include <Foundation/Foundation.h>

#include <cstdlib>

using cantrel::responds;

namespace {

// The object variable of that name, or nullptr when the receiver is nil or
// its class has none (a later app may rename it).
id* objectIvar(id object, const char* name) { return objc_ivarPointer<id>(object, name); }

id readIvar(id object, const char* name) {
    id* slot = objectIvar(object, name);
    return slot != nullptr ? *slot : nil;
}

// Stores an owned value (+1) in the variable, releasing the one it replaces;
// a receiver without the variable takes nothing and the value goes.
void storeOwned(id object, const char* name, id owned) {
    id* slot = objectIvar(object, name);
    if (slot == nullptr) {
        objc_release(owned);
        return;
    }
    id old = *slot;
    *slot = owned;
    objc_release(old);
}


bool isShuffledItems(id object) { return responds(object, "shuffleItemsWithInitialIndex:"_sel); }
bool isArtwork(id object) { return responds(object, "imageWithSize:"_sel); }

}  // namespace

id getMPMediaQueryShuffledItems(id self, SEL) {
    CLog("** Cantrel ** getMPMediaQueryShuffledItems - start");
    if (!responds(self, "shouldBeginPlaybackOfItem:error:"_sel)) return nil;
    return readIvar(self, "_items");
}

id get_sourceMediaQueryItems(id self, SEL) {
    CLog("** Cantrel ** get_sourceMediaQueryItems - start");
    return readIvar(self, "_sourceMediaQueryItems");
}

void set_sourceMediaQueryItems(id self, SEL, id items) {
    CLog("** Cantrel ** set_sourceMediaQueryItems - start");
    if (items == nil || objectIvar(self, "_sourceMediaQueryItems") == nullptr) return;
    storeOwned(self, "_sourceMediaQueryItems", objc_msgSend<id()>(items, "copy"_sel));
}

id get_orderedArray(id self, SEL) {
    CLog("** Cantrel ** get_orderedArray - start");
    if (!isShuffledItems(self)) return nil;
    return readIvar(self, "_orderedArray");
}

void set_orderedArray(id self, SEL, id items) {
    CLog("** Cantrel ** set_orderedArray - start");
    if (items == nil || !isShuffledItems(self) || objectIvar(self, "_orderedArray") == nullptr) return;
    storeOwned(self, "_orderedArray", objc_msgSend<id()>(items, "mutableCopy"_sel));
}

// The shuffled items keep the query they are given: the caller's reference
// may go as soon as this returns.
void set_sourceMediaQuery(id self, SEL, id query) {
    CLog("** Cantrel ** set_sourceMediaQuery - start");
    if (query == nil || !isShuffledItems(self) || objectIvar(self, "_sourceMediaQuery") == nullptr) return;
    storeOwned(self, "_sourceMediaQuery", objc_retain(query));
}

id getMPMediaItemArtworkImage(id, SEL, id artwork) {
    CLog("** Cantrel ** getMPMediaItemArtworkImage - start");
    if (!isArtwork(artwork)) return nil;
    return readIvar(artwork, "_image");
}

// The artwork keeps the picture it is given.
void setMPMediaItemArtworkImage(id, SEL, id image, id artwork) {
    CLog("** Cantrel ** setMPMediaItemArtworkImage - start");
    if (image == nil || !isArtwork(artwork) || objectIvar(artwork, "_image") == nullptr) return;
    storeOwned(artwork, "_image", objc_retain(image));
}

id getMediaItemProperties(id, SEL, id mediaItem) {
    CLog("** Cantrel ** getMediaItemProperties - start");
    id cache = readIvar(mediaItem, "_propertiesCache");
    if (cache == nil) return nil;
    return readIvar(cache, "_properties");
}

// Renames the playlist entity that the record names, in the list's data
// source: only while the row at the record's index path still shows that
// playlist (the list may have changed since the record was made).
void setPlaylistName(id, SEL, NSString* name, id record) {
    CLog("setPlaylistName - text: %@", name);
    auto* entry = objc_isKindOfClass(record, ItemEntry::cls()) ? static_cast<ItemEntry*>(record) : nullptr;
    if (entry == nullptr || entry->viewIndex != kViewIndexPlaylists || name == nullptr) return;
    id collection = entry->mediaItemCollection.get();
    if (collection == nil) return;
    id dataSource = objc_msgSend<id()>(entry->currentViewController.get(), "dataSource"_sel);
    if (!responds(dataSource, "entityAtIndexPath:"_sel)) return;
    id entity = objc_msgSend<id(id)>(dataSource, "entityAtIndexPath:"_sel, objc::as_id(entry->currentIndexPath.get()));
    if (!responds(entity, "persistentID"_sel)) return;
    if (objc_msgSend<unsigned long long()>(entity, "persistentID"_sel) !=
        objc_msgSend<unsigned long long()>(collection, "persistentID"_sel))
        return;
    id properties = readIvar(entity, "_properties");
    if (!responds(properties, "setObject:forKey:"_sel)) return;
    objc_msgSend<void(id, id)>(properties, "setObject:forKey:"_sel, name, "name"_ns);
}

void getClassIVar(id, SEL, id object) {
    if (!LOGGER_ON) return;
    NSLog("getClassIVar - %@", object);
    if (object == nil) return;
    unsigned count = 0;
    Ivar* ivars = class_copyIvarList(object_getClass(object), &count);
    for (unsigned i = 0; i < count; ++i) {
        NSLog("getClassIVar -name: %s", ivar_getName(ivars[i]));
        NSLog("getClassIVar - typeEncoding: %s", ivar_getTypeEncoding(ivars[i]));
    }
    std::free(ivars);
    NSLog("getClassIVar - array: %@", readIvar(object, "_staticEntities"));
}

void documentInteractionControllerViewControllerForPreview(id, SEL, id) {
    CLog("documentInteractionControllerViewControllerForPreview");
}
