// Deleting an entity from the media library (the list screens' delete).
#include "LibraryStore.h"

#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSArray.h>
#include <MediaPlayer/MPMediaItem.h>
#include <MediaPlayer/MPMediaItemCollection.h>
#include <MediaPlayer/MediaLibrary.h>

#include <vector>

using namespace platform::support;
using namespace platform::medialibrary;

namespace platform {

namespace {

bool deleteItemRows(sqlite3* db, int64_t pid) {
    static const char* const kStatements[] = {
        "DELETE FROM container_items WHERE item_pid = ?", "DELETE FROM item_stats WHERE item_pid = ?",
        "DELETE FROM item_playback WHERE item_pid = ?",   "DELETE FROM item_artwork WHERE item_pid = ?",
        "DELETE FROM item WHERE item_pid = ?",
    };
    for (const char* sql : kStatements)
        if (!execute(db, sql, {Binding::integer(pid)})) return false;
    return true;
}

}  // namespace

bool deleteMediaEntity(id entity) {
    std::vector<int64_t> items;
    int64_t container = 0;
    bool isContainer = false;
    if (auto* item = objectAs<MPConcreteMediaItem>(entity)) {
        items.push_back(static_cast<int64_t>(item->_persistentID));
    } else if (auto* playlist = objectAs<MPMediaPlaylist>(entity)) {
        container = static_cast<int64_t>(playlist->_persistentID);
        isContainer = true;
    } else if (objectAs<MPMediaItemCollection>(entity) != nullptr) {
        id list = objc_msgSend<id()>(entity, "items"_sel);
        NSUInteger n = list ? objc_msgSend<NSUInteger()>(list, "count"_sel) : 0;
        for (NSUInteger i = 0; i < n; ++i) {
            auto* item = objectAs<MPConcreteMediaItem>(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, i));
            if (item != nullptr) items.push_back(static_cast<int64_t>(item->_persistentID));
        }
    } else {
        return false;
    }
    return writeLibrary([&](sqlite3* db) {
        if (isContainer) {
            int changes = 0;
            return execute(db, "DELETE FROM container_items WHERE container_pid = ?", {Binding::integer(container)}) &&
                   execute(db, "DELETE FROM container WHERE container_pid = ?", {Binding::integer(container)},
                           &changes) &&
                   changes > 0;
        }
        for (int64_t pid : items)
            if (!deleteItemRows(db, pid)) return false;
        return true;
    });
}

}  // namespace platform
