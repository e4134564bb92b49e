#include "ItemEntry.h"

#include "Cantrel.h"

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/Foundation.h>
#include <UIKit/UITableView.h>

#include <cstdlib>

namespace {

const char kArtworkFolder[] = "//var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals";

// The screens, in the order in which getViewIndex tests them.
struct ViewIndexClass {
    const char* className;
    MusicViewIndex viewIndex;
};
const ViewIndexClass kViewIndexClasses[] = {
    {"MusicFlipsideAlbumDetailViewController", kViewIndexFlipsideAlbum},
    {"MusicNowPlayingPlaybackControlsView", kViewIndexNowPlaying},
    {"MusicSongsViewController", kViewIndexSongs},
    {"MusicAlbumsDetailViewController", kViewIndexAlbumTracks},
    {"MusicPlaylistSongsViewController", kViewIndexPlaylistSongs},
    {"MusicCompilationsViewController", kViewIndexNone},
    {"MusicAlbumsViewController", kViewIndexAlbums},
    {"MusicComposersViewController", kViewIndexComposers},
    {"MusicArtistsViewController", kViewIndexArtists},
    {"MusicGenresViewController", kViewIndexGenres},
    {"MusicPlaylistsListViewController", kViewIndexPlaylists},
};

id makeIndexPath(NSInteger row, NSInteger section) {
    return objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
}

bool isSongScreen(long viewIndex) {
    return viewIndex == kViewIndexSongs || viewIndex == kViewIndexAlbumTracks || viewIndex == kViewIndexPlaylistSongs;
}

bool isCollectionScreen(long viewIndex) {
    return viewIndex == kViewIndexArtists || viewIndex == kViewIndexAlbums || viewIndex == kViewIndexComposers ||
           viewIndex == kViewIndexGenres || viewIndex == kViewIndexPlaylists;
}

bool correctsSection(long viewIndex) {
    return isSongScreen(viewIndex) || viewIndex == kViewIndexComposers || viewIndex == kViewIndexGenres ||
           viewIndex == kViewIndexPlaylists || viewIndex == kViewIndexFlipsideAlbum;
}

// The album of the albums query whose id is `albumPid`, or nil.
id albumWithPersistentID(unsigned long long albumPid) {
    id query = objc_msgSend<id()>(objc_getClass("MPMediaQuery"), "albumsQuery"_sel);
    id albums = objc_msgSend<id()>(query, "collections"_sel);
    NSUInteger count = objc_msgSend<NSUInteger()>(albums, "count"_sel);
    for (NSUInteger i = 0; i < count; ++i) {
        id album = objc_msgSend<id(NSUInteger)>(albums, "objectAtIndex:"_sel, i);
        if (objc_msgSend<unsigned long long()>(album, "persistentID"_sel) == albumPid) return album;
    }
    return nil;
}

id objectAtIndexOrNil(id array, NSUInteger index) {
    if (objc_msgSend<NSUInteger()>(array, "count"_sel) <= index) return nil;
    return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, index);
}

}  // namespace

void registerItemEntry() {
    objc::ClassDef<ItemEntry>("ItemEntry", NSObject::cls())
        .property<&ItemEntry::currentNowPlayingViewController>("currentNowPlayingViewController")
        .property<&ItemEntry::currentViewController>("currentViewController")
        .property<&ItemEntry::currentIndexPath>("currentIndexPath")
        .property<&ItemEntry::origionalIndexPath>("origionalIndexPath")
        .property<&ItemEntry::mediaItem>("mediaItem")
        .property<&ItemEntry::mediaItemCollection>("mediaItemCollection")
        .property<&ItemEntry::mediaItemCollectionItems>("mediaItemCollectionItems")
        .property<&ItemEntry::artwork>("artwork")
        .property<&ItemEntry::viewIndex>("viewIndex")
        .property<&ItemEntry::tableView>("tableView")
        .property<&ItemEntry::genreIndex>("genreIndex")
        .property<&ItemEntry::artistIndex>("artistIndex")
        .property<&ItemEntry::editName>("editName");
}

MusicViewIndex getViewIndex(id controller) {
    for (const ViewIndexClass& c : kViewIndexClasses) {
        // A lookup by name, as NSClassFromString does, without a string per
        // class on every swipe.
        Class cls = objc_getClass(c.className);
        if (cls != nil && objc_msgSend<BOOL(Class)>(controller, "isKindOfClass:"_sel, cls)) return c.viewIndex;
    }
    return kViewIndexNone;
}

NSString* getViewIndexNameByMusicViewIndex(long viewIndex) {
    if (viewIndex == kViewIndexNone) return "MusicCompilationsViewController - NONE!"_ns;
    for (const ViewIndexClass& c : kViewIndexClasses)
        if (c.viewIndex == viewIndex)
            return objc_msgSend<NSString*(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, c.className);
    return ""_ns;
}

id artworkForMediaItem(id mediaItem) {
    if (mediaItem == nil) return nil;
    id artwork = objc_msgSend<id()>(mediaItem, "artwork"_sel);
    id image = objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(80, 80));
    if (image != nil) return image;

    Class dbHandler = objc_getClass("DBHandler");
    unsigned long long pid = objc_msgSend<unsigned long long()>(mediaItem, "persistentID"_sel);
    NSString* token = objc_msgSend<NSString*(unsigned long long)>(
        objc_msgSend<id()>(dbHandler, "sharedInstance"_sel), "getArtworkTokenByItem_pid:"_sel, pid);
    NSString* path = objc_msgSend<NSString*(NSString*)>(objc_msgSend<id()>(dbHandler, "sharedInstance"_sel),
                                                        "getArtworkPathForToken:"_sel, token);
    // No token or no path: no file to load (the folder itself is no picture).
    if (objc_msgSend<NSUInteger()>(path, "length"_sel) == 0) return nil;
    NSString* file = objc_msgSend<NSString*(NSString*)>(NSString::make(kArtworkFolder),
                                                        "stringByAppendingPathComponent:"_sel, path);
    return objc_msgSend<id(NSString*)>(objc_getClass("UIImage"), "imageWithContentsOfFile:"_sel, file);
}

void assignMediaItem(UITableView* tableView, NSIndexPath* indexPath, long viewIndex, ItemEntry* entry, id extra) {
    if (entry == nil) return;
    entry->genreIndex = -1;
    entry->artistIndex = -1;
    entry->editName = ""_ns;

    if (viewIndex == kViewIndexNowPlaying) {
        id controller = objectAtIndexOrNil(extra, 0);
        id item = objectAtIndexOrNil(extra, 1);
        entry->mediaItem = static_cast<NSObject*>(item);
        entry->mediaItemCollection = nil;
        entry->artwork = static_cast<NSObject*>(artworkForMediaItem(item));
        entry->currentNowPlayingViewController = controller;
        entry->currentViewController = nil;
        entry->currentIndexPath = nil;
        entry->origionalIndexPath = nil;
        entry->tableView = nil;
        entry->viewIndex = kViewIndexNowPlaying;
        return;
    }

    NSInteger row = objc_msgSend<NSInteger()>(indexPath, "row"_sel);
    NSInteger section = objc_msgSend<NSInteger()>(indexPath, "section"_sel);
    NSInteger correctedRow = row;
    NSInteger correctedSection = section;
    id delegate = objc_msgSend<id()>(tableView, "delegate"_sel);

    if (correctsSection(viewIndex)) {
        long t = objc_msgSend<int(NSInteger)>(delegate, "sectionForDataSourceSection:"_sel, section);
        correctedSection = section - std::labs(t - section);
    }
    if (viewIndex == kViewIndexArtists) {
        if (objc_msgSend<NSInteger(id)>(delegate, "numberOfActionRowsInTableView:"_sel, tableView) > 0)
            correctedRow = row - 3;
        if (section > 0) {
            correctedRow = row;
            correctedSection = objc_msgSend<BOOL()>(delegate, "allowsActions"_sel) ? 0 : section;
        }
    }
    id corrected = makeIndexPath(correctedRow, correctedSection);

    entry->mediaItem = nil;
    entry->mediaItemCollection = nil;
    entry->artwork = nil;
    // A correction below zero names no entry: the data source is not asked.
    bool valid = correctedRow >= 0 && correctedSection >= 0;
    id dataSource = valid ? objc_msgSend<id()>(delegate, "dataSource"_sel) : nil;

    if (viewIndex == kViewIndexFlipsideAlbum && dataSource != nil) {
        id item = objc_msgSend<id(id)>(dataSource, "entityAtIndexPath:"_sel, corrected);
        entry->mediaItem = static_cast<NSObject*>(item);
        id album = albumWithPersistentID(objc_msgSend<unsigned long long()>(item, "albumPersistentID"_sel));
        if (album != nil) {
            entry->mediaItemCollection = static_cast<NSObject*>(album);
            entry->artwork = static_cast<NSObject*>(
                artworkForMediaItem(objc_msgSend<id()>(album, "representativeItem"_sel)));
        }
    } else if (isSongScreen(viewIndex) && dataSource != nil) {
        id item = objc_msgSend<id(id)>(dataSource, "entityAtIndexPath:"_sel, corrected);
        entry->mediaItem = static_cast<NSObject*>(item);
        entry->artwork = static_cast<NSObject*>(artworkForMediaItem(item));
    } else if (isCollectionScreen(viewIndex) && dataSource != nil) {
        id collection = objc_msgSend<id(id)>(dataSource, "entityAtIndexPath:"_sel, corrected);
        entry->mediaItemCollection = static_cast<NSObject*>(collection);
        entry->mediaItem = static_cast<NSObject*>(objc_msgSend<id()>(collection, "representativeItem"_sel));
        id cell = objc_msgSend<id(id)>(tableView, "cellForRowAtIndexPath:"_sel, indexPath);
        entry->artwork = static_cast<NSObject*>(objc_msgSend<id()>(cell, "artworkImage"_sel));
    }

    entry->currentViewController = delegate;
    entry->currentIndexPath = static_cast<NSIndexPath*>(corrected);
    entry->origionalIndexPath = indexPath;
    entry->tableView = tableView;
    entry->viewIndex = viewIndex;
}
