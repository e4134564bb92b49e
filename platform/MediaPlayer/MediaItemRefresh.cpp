// Refreshing media items after the library was written:
// -[MPConcreteMediaItem invalidateCachedProperties] reads the item's row
// again (the properties every list shows follow it); -cachedPropertyValues
// answers the item's properties cache, whose -invalidate drops the
// properties loaded on demand (they are made again from the row when asked).
#include "LibraryStore.h"

#include <Foundation/NSDictionary.h>
#include <MediaPlayer/MPMediaItem.h>

namespace platform::medialibrary {
namespace {

void invalidateCachedProperties(MPConcreteMediaItem* self, SEL) {
    ValueCache values;
    readItems(std::string("SELECT ") + itemColumns() + " FROM item i" + itemJoins() + " WHERE i.item_pid = ?",
              {Binding::integer(static_cast<int64_t>(self->_persistentID))}, 0,
              [&](sqlite3_stmt*, ItemRow&& row) { itemForRow(row, values); });
}

id cachedPropertyValues(MPConcreteMediaItem* self, SEL) { return self->_propertiesCache; }

void invalidate(MPConcreteMediaEntityPropertiesCache* self, SEL) {
    std::lock_guard<std::recursive_mutex> g(itemStateLock());
    auto* d = static_cast<NSMutableDictionary*>(self->_properties);
    if (d == nullptr) return;
    static const char* const kept[] = {"persistentID", "title",       "artist",           "albumTitle",
                                       "albumArtist",  "genre",       "albumPersistentID", "artwork"};
    std::vector<std::pair<NSString*, Strong<objc_object>>> keep;
    for (const char* key : kept)
        if (id v = d->objectForKey(NSString::make(key))) keep.emplace_back(NSString::make(key), Strong<objc_object>(v));
    d->removeAllObjects();
    for (const auto& [key, value] : keep) d->setObject(value.get(), key);
}

}  // namespace

void registerItemRefresh() {
    objc::define_method(MPConcreteMediaItem::cls(), sel_registerName("invalidateCachedProperties"),
                    objc::make_imp<invalidateCachedProperties>(), "v@:");
    objc::define_method(MPConcreteMediaItem::cls(), sel_registerName("cachedPropertyValues"),
                    objc::make_imp<cachedPropertyValues>(), "@@:");
    objc::define_method(MPConcreteMediaEntityPropertiesCache::cls(), sel_registerName("invalidate"),
                    objc::make_imp<invalidate>(), "v@:");
}

}  // namespace platform::medialibrary
