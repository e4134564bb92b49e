#include "EditSave.h"
#include "Sends.h"

#include "Cantrel.h"
#include "DBHandler.h"
#include "ID3Writer.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "MessageView.h"
#include "NSObject+BKAssociatedObjects.h"
#include "ParentSongAlbumArtistView.h"

#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaLibrary.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>

#include <chrono>
#include <memory>
#include <mutex>

using cantrel::get;
using cantrel::countOf;
using cantrel::responds;

namespace {

using Panel = ParentSongAlbumArtistView;
constexpr double kRefreshDelay = 1.0;
constexpr double kFailedBadgeInterval = 1.0;
// A picker with no row selected.
constexpr long kNoRow = -1;

id dbHandler() { return objc_msgSend<id()>(objc_getClass("DBHandler"), "sharedInstance"_sel); }
// Raises NSRangeException outside the array, as the step guards expect.
id at(id array, long index) { return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, static_cast<NSUInteger>(index)); }
bool isEmptyText(id s) { return s == nil || objc_msgSend<NSUInteger()>(s, "length"_sel) == 0; }
unsigned long long pidOf(id item, SEL sel = "persistentID"_sel) { return objc_msgSend<unsigned long long()>(item, sel); }
id tableViewOf(ItemEntry* entry) { return get(entry->currentViewController.get(), "tableView"_sel); }

// Flags of one save, shared by the Save handler and the import it starts.
// The refresh flag is read and written on the main queue only.
struct SaveState {
    bool importStarted = false;
    bool refreshScheduled = false;
};

// What the writes of one save came to.
struct SaveOutcome {
    int stored = 0;
    int failed = 0;
};

// The library operations of one write through DBHandler: stored when none
// of them failed and `operations` answered that it sent a write.
template <class F>
void storeThroughDB(platform::MediaLibraryWait& wait, SaveOutcome& outcome, F&& operations) {
    unsigned long before = wait.failures();
    bool wrote = operations();
    if (wait.failures() != before) ++outcome.failed;
    else if (wrote) ++outcome.stored;
}

// A write through the Music app's own object, which waits for a locked
// library on its own: made only once the library can be written within the
// save's wait; `write` answers whether it took.
template <class F>
void storeThroughApp(SaveOutcome& outcome, F&& write) {
    if (DBWaitUntilWritable() && write()) ++outcome.stored;
    else ++outcome.failed;
}

// Runs one named step; an exception ends that step only.
template <class F>
void step(const char* name, ItemEntry* entry, F&& body) {
    try {
        body();
    } catch (NSException* e) {
        NSLog(NSStringWithFormat("** Cantrel EXCEPTION: %s: %%@, item_entry.viewIndex: %%ld", name),
              objc_msgSend<id()>(e, "reason"_sel), entry->viewIndex);
    }
}

// The refresh, 1.0 s from now, once per save. The block keeps the panel, the
// record, its screen and its table alive until the refresh has run, even when
// the user has left the list meanwhile.
void scheduleRefresh(Panel* panel, ItemEntry* entry, const std::shared_ptr<SaveState>& state) {
    if (state->refreshScheduled) return;
    objc_msgSend<void(BOOL)>(tableViewOf(entry), "setEditing:"_sel, NO);
    Strong<Panel> keptPanel(panel);
    Strong<ItemEntry> keptEntry(entry);
    Strong<NSObject> screen(static_cast<NSObject*>(entry->currentViewController.get()));
    Strong<NSObject> table(static_cast<NSObject*>(tableViewOf(entry)));
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(kRefreshDelay * NSEC_PER_SEC)),
                   dispatch_get_main_queue(), [keptPanel, keptEntry, screen, table] {
                       step("updateRowAfterSave", keptEntry.get(),
                            [&] { objc_msgSend<void()>(keptPanel.get(), "updateRowAfterSave"_sel); });
                   });
    state->refreshScheduled = true;
}

void onMain(std::function<void()> work) { dispatch_async(dispatch_get_main_queue(), std::move(work)); }

void showAlert(const Strong<NSString>& message) {
    onMain([message] {
        id alert = objc_msgSend<id()>(objc_getClass("UIAlertView"), "alloc"_sel);
        alert = objc_msgSend<id(id, id, id, id, id)>(
            alert, "initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:"_sel,
            "Failed to change ID3Tags metadata"_ns, message.get(), nil, "OK"_ns, nil);
        objc_msgSend<void()>(alert, "show"_sel);
        objc_release(alert);
    });
}

void showID3Alert() {
    showAlert(Strong<NSString>("Editing ID3Tags metadata from tracks can only be done on mp3 file types."_ns));
}

// The MP3 files of one import whose tags were left as they were: told to
// the user once, at the import's end.
struct TagsLeft {
    long count = 0;
    std::string firstName, firstReason;
};

void showTagsLeftAlert(const TagsLeft& left) {
    if (left.count == 0) return;
    std::string reason = left.firstReason.empty() ? "its tag could not be changed" : left.firstReason;
    std::string text =
        left.count == 1
            ? "The picture was saved in the library, but \u201C" + left.firstName +
                  "\u201D kept its tag as it was: " + reason + "."
            : "The picture was saved in the library, but " + std::to_string(left.count) +
                  " tracks kept their tags as they were. \u201C" + left.firstName + "\u201D: " + reason + ".";
    showAlert(Strong<NSString>(NSString::make(text)));
}

// --- The artwork imports ------------------------------------------------------

// One import at a time: each holds this lock from its token to its last write.
std::mutex importLock;
std::mutex pendingLock;
int pendingImports = 0;

void generateSizes(id library, id relativePath) {
    SEL withHandler = "_autogenerateArtworkForRelativePath:artworkType:mediaType:completionHandler:"_sel;
    SEL plain = "_autogenerateArtworkForRelativePath:artworkType:mediaType:"_sel;
    if (responds(library, withHandler))
        objc_msgSend<void(id, NSInteger, NSInteger, id)>(library, withHandler, relativePath, 1, 1, nil);
    else if (responds(library, plain))
        objc_msgSend<void(id, NSInteger, NSInteger)>(library, plain, relativePath, 1, 1);
    else
        CLog("_autogenerateArtworkForRelativePath not supported!");
}

void writeTag(ItemEntry* entry, id track, id relativePath, TagsLeft& left) {
    if (!enforce_ID3Tag_on_artwork) return;
    id target = entry->viewIndex == kViewIndexNowPlaying ? entry->currentNowPlayingViewController.get() : tableViewOf(entry);
    id path = objc_msgSend<id(id)>(track, "valueForProperty:"_sel, "filePath"_ns);
    cantrel::id3::takeArtworkRefusal();
    id answer = objc_msgSend<id(id, id)>(target, "setID3TagArtwork:andImagePath:"_sel, path, relativePath);
    if (answer == nil || objc_msgSend<int()>(answer, "intValue"_sel) != 0) return;
    std::string file = to_string(static_cast<NSString*>(path));
    if (!cantrel::id3::hasMP3Extension(file)) {
        showID3Alert();
        return;
    }
    if (left.count++ == 0) {
        left.firstName = file.substr(file.rfind('/') + 1);
        left.firstReason = cantrel::id3::takeArtworkRefusal();
    }
}

BOOL importUnder(id library, NSData* jpeg, id token) {
    return objc_msgSend<BOOL(id, id, NSInteger, NSInteger, NSInteger)>(
        library, "importOriginalArtworkFromImageData:withArtworkToken:artworkType:sourceType:mediaType:"_sel, jpeg,
        token, 1, 2, 1);
}

// The song import; YES when the picture became the song's artwork.
bool importSongArtwork(ItemEntry* entry, UIImage* picture, TagsLeft& left) {
    id library = objc_msgSend<id()>(objc_getClass("ML3MusicLibrary"), "sharedLibrary"_sel);
    id item = entry->mediaItem.get();
    unsigned long long pid = pidOf(item);
    id token = get(objc_msgSend<id(unsigned long long)>(library, "fetchItemArtworkForPersistentID:"_sel, pid),
                   "artworkToken"_sel);
    bool isNew = false;
    if (isEmptyText(token) || has_ArtworkOverwriteProblems) {
        token = get(dbHandler(), "getNextArtworkToken"_sel);
        isNew = true;
    }
    // The picture is encoded before anything is deleted.
    NSData* jpeg = UIImageJPEGRepresentation(picture, 1.0);
    if (isEmptyText(token) || jpeg == nullptr) return false;
    // A kept token's picture is replaced only once the library has taken the
    // new one under a token of its own: a refusal leaves the old artwork.
    id staged = nil;
    if (!isNew) {
        staged = get(dbHandler(), "getNextArtworkToken"_sel);
        if (isEmptyText(staged) || !importUnder(library, jpeg, staged)) {
            NSLog("** Cantrel ** artwork import refused for item %llu", pid);
            return false;
        }
    }
    objc_msgSend<void(id)>(library, "deleteArtworkWithToken:"_sel, token);
    BOOL ok = importUnder(library, jpeg, token);
    if (staged != nil) {
        if (ok) {
            objc_msgSend<void(id)>(library, "deleteArtworkWithToken:"_sel, staged);
        } else {
            // The kept token's artwork is gone: the item takes the staged copy.
            token = staged;
            isNew = true;
            ok = YES;
        }
    }
    if (!ok) {
        NSLog("** Cantrel ** artwork import refused for item %llu", pid);
        return false;
    }
    id relativePath = nil;
    if (isNew) {
        relativePath = objc_msgSend<id(id)>(dbHandler(), "getArtworkPathForToken:"_sel, token);
        if (!objc_msgSend<BOOL(unsigned long long, id)>(dbHandler(), "updateSongArtworkDetails:token:"_sel, pid, token)) {
            NSLog("** Cantrel ** artwork import: no artwork row took token %@ for item %llu", token, pid);
            objc_msgSend<void(NSInteger)>(library, "deleteOrphanedArtworkWithSearchOptions:"_sel, 1);
            return false;
        }
    } else {
        relativePath = get(objc_msgSend<id(unsigned long long)>(library, "fetchItemArtworkForPersistentID:"_sel, pid),
                           "relativePath"_sel);
    }
    if (!isEmptyText(relativePath)) {
        generateSizes(library, relativePath);
        writeTag(entry, item, relativePath, left);
    }
    objc_msgSend<void(NSInteger)>(library, "deleteOrphanedArtworkWithSearchOptions:"_sel, 1);
    return true;
}

// The album import: every track takes one new token; YES when the library
// took the picture.
bool importAlbumArtwork(ItemEntry* entry, UIImage* picture, id tracks, MessageView* badge, TagsLeft& left) {
    id library = objc_msgSend<id()>(objc_getClass("ML3MusicLibrary"), "sharedLibrary"_sel);
    id collection = entry->mediaItemCollection.get();
    id source = collection ? get(collection, "representativeItem"_sel) : objc::as_id(entry->mediaItem.get());
    CLog("nextToken = %@", get(objc_msgSend<id(unsigned long long)>(library, "fetchItemArtworkForPersistentID:"_sel,
                                                                    pidOf(source)),
                               "artworkToken"_sel));
    id token = get(dbHandler(), "getNextArtworkToken"_sel);
    NSData* jpeg = UIImageJPEGRepresentation(picture, 1.0);
    if (isEmptyText(token) || jpeg == nullptr) return false;
    objc_msgSend<void(id)>(library, "deleteArtworkWithToken:"_sel, token);
    BOOL ok = importUnder(library, jpeg, token);
    CLog("didIt = %@", ok ? "YES"_ns : "NO"_ns);
    if (!ok) {
        NSLog("** Cantrel ** album artwork import refused");
        return false;
    }
    long count = static_cast<long>(countOf(tracks));
    Strong<MessageView> keptBadge(badge);
    onMain([keptBadge] { objc_msgSend<void(id)>(keptBadge.get(), "updateText:"_sel, "Updating Tracks"_ns); });
    id relativePath = objc_msgSend<id(id)>(dbHandler(), "getArtworkPathForToken:"_sel, token);
    bool tookAny = false;
    for (long i = 0; i < count; ++i) {
        Strong<NSString> progress(NSStringWithFormat("%ld of %ld", i + 1, count));
        onMain([keptBadge, progress] { objc_msgSend<void(id)>(keptBadge.get(), "updateSubText:"_sel, progress.get()); });
        id track = at(tracks, i);
        if (objc_msgSend<BOOL(unsigned long long, id)>(dbHandler(), "updateSongArtworkDetails:token:"_sel, pidOf(track),
                                                       token))
            tookAny = true;
        // Without the new artwork's own file there is nothing to write: never
        // another artwork's file.
        if (!isEmptyText(relativePath)) {
            generateSizes(library, relativePath);
            writeTag(entry, track, relativePath, left);
        }
    }
    return tookAny;
}

// Runs the import of a save in the background and its closing step on the
// main queue.
void startImport(ItemEntry* entry, Panel* panel, const std::shared_ptr<SaveState>& state, bool album, id tracks) {
    state->importStarted = true;
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    Strong<MessageView> badge = Strong<MessageView>::adopt(static_cast<MessageView*>(
        objc_msgSend<id(id, double, NSInteger, CGRect, int)>(
            objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
            "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, "Importing"_ns, 0.0,
            static_cast<NSInteger>(IconViewTagDiscPlus), screen, static_cast<int>(entry->viewIndex))));
    objc_msgSend<void(id)>(badge.get(), "updateSubText:"_sel, "artwork"_ns);
    if (album || enforce_ID3Tag_on_artwork)
        objc_msgSend<void(id)>(get(entry->currentViewController.get(), "view"_sel), "addSubview:"_sel, badge.get());

    Strong<ItemEntry> keptEntry(entry);
    Strong<Panel> keptPanel(panel);
    Strong<NSObject> picture(static_cast<NSObject*>(entry->pendingArtwork.get()));
    Strong<NSObject> keptTracks(static_cast<NSObject*>(tracks));
    Strong<NSObject> screenKept(static_cast<NSObject*>(entry->currentViewController.get()));
    {
        std::lock_guard<std::mutex> g(pendingLock);
        ++pendingImports;
    }
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [=] {
        bool ok = false;
        TagsLeft left;
        {
            std::lock_guard<std::mutex> serial(importLock);
            step("ARTWORK", keptEntry.get(), [&] {
                auto* image = static_cast<UIImage*>(objc::as_id(picture.get()));
                ok = album ? importAlbumArtwork(keptEntry.get(), image, keptTracks.get(), badge.get(), left)
                           : importSongArtwork(keptEntry.get(), image, left);
            });
        }
        showTagsLeftAlert(left);
        onMain([=] {
            ItemEntry* e = keptEntry.get();
            if (_MusicQueryQueueFeeder != nullptr && responds(objc::as_id(_MusicQueryQueueFeeder), "_handleMediaLibraryDidChange"_sel))
                objc_msgSend<void()>(objc::as_id(_MusicQueryQueueFeeder), "_handleMediaLibraryDidChange"_sel);
            id marked = album ? (countOf(keptTracks.get()) > 0 ? at(keptTracks.get(), 0) : nil) : objc::as_id(e->mediaItem.get());
            if (marked != nil)
                objc_msgSend<void(id, const void*)>(marked, "associateCopyOfValue:withKey:"_sel, NSNumber::withLongLong(1),
                                                    kReloadImageKey);
            if (ok) {
                e->artwork = picture;
            } else {
                // The row keeps the item's own picture.
                objc_msgSend<void(id)>(keptPanel->imageview.get(), "setImage:"_sel, e->artwork.get());
            }
            objc_msgSend<void()>(badge.get(), "removeFromSuperview"_sel);
            // The picture was not stored: the user is told, as for a save
            // that stored nothing.
            if (!ok) EditSheetShowFailed(e);
            scheduleRefresh(keptPanel.get(), e, state);
            (void)screenKept;
            std::lock_guard<std::mutex> g(pendingLock);
            --pendingImports;
        });
    });
}

// --- Save --------------------------------------------------------------------------

id textOf(Panel* panel) { return get(panel->titleTextField.get(), "text"_sel); }
bool titleChanged(Panel* panel) {
    return !objc_msgSend<BOOL(id)>(panel->prevTitle.get() ? objc::as_id(panel->prevTitle.get()) : ""_ns, "isEqual:"_sel,
                                   textOf(panel) ? textOf(panel) : ""_ns);
}
bool ratingChanged(Panel* panel) { return panel->newRating != -1 && panel->newRating != panel->prevRating; }

id tracksOf(ItemEntry* entry) {
    id collection = entry->mediaItemCollection.get();
    return collection ? get(collection, "items"_sel) : objc::as_id(entry->mediaItemCollectionItems.get());
}

// Rates an item; true when it holds the rating afterwards.
bool rate(id item, long rating) {
    objc_msgSend<void(NSUInteger)>(item, "setRating:"_sel, static_cast<NSUInteger>(rating));
    return objc_msgSend<NSUInteger()>(item, "rating"_sel) == static_cast<NSUInteger>(rating);
}

void rateTracks(Panel* panel, id tracks, SaveOutcome& outcome) {
    for (NSUInteger i = 0, n = countOf(tracks); i < n; ++i) {
        id track = at(tracks, static_cast<long>(i));
        CLog("setRating of %ld for item: %@", panel->newRating, track);
        storeThroughApp(outcome, [&] { return rate(track, panel->newRating); });
    }
}

// The genre step: the picked genre's order pair, and the update when it has
// one; true when the update was sent.
bool saveGenre(Panel* panel, unsigned long long pid, long viewIndex, bool needsTwo) {
    CLog("self.genreIndexBefore: %ld, self.genreIndexAfter: %ld", panel->genreIndexBefore, panel->genreIndexAfter);
    if (panel->genreIndexBefore == panel->genreIndexAfter || panel->genreIndexAfter == kNoRow) return false;
    CLog("Updating genre - self.genreIndexAfter = %ld", panel->genreIndexAfter);
    id ids = objc_msgSend<id(id)>(panel->genreDictionary.get(), "objectForKey:"_sel, "genreIDs"_ns);
    id names = objc_msgSend<id(id)>(panel->genreDictionary.get(), "objectForKey:"_sel, "genreNames"_ns);
    long long genreId = objc_msgSend<long long()>(at(ids, panel->genreIndexAfter), "longLongValue"_sel);
    id name = at(names, panel->genreIndexAfter);
    id pair = objc_msgSend<id(long long, id)>(dbHandler(), "getItemGenreSpecificsByFromGenreID:andGenreName:"_sel,
                                              genreId, name);
    NSUInteger n = countOf(pair);
    if (needsTwo ? n != 2 : n == 0) return false;
    objc_msgSend<void(unsigned long long, long long, long long, int, long long, BOOL)>(
        dbHandler(), "updateItemGenreFor_pid:genre_id:genre_order:genre_order_section:viewIndex:tryout:"_sel, pid,
        genreId, objc_msgSend<long long()>(at(pair, 0), "longLongValue"_sel),
        objc_msgSend<int()>(at(pair, 1), "intValue"_sel), viewIndex, NO);
    return true;
}

// The album-artist step: the album and its tracks take the chosen artist
// together, or neither does; true when the updates were sent.
bool saveAlbumArtist(Panel* panel, ItemEntry* entry, id tracks) {
    CLog("self.artistIndexBefore: %ld, self.artistIndexAfter: %ld", panel->artistIndexBefore, panel->artistIndexAfter);
    // An album without an album artist opens with no row chosen.
    if (panel->artistIndexAfter == kNoRow) {
        CLog("no album artist chosen: album left unchanged");
        return false;
    }
    CLog("Updating artist - self.artistIndexAfter = %ld", panel->artistIndexAfter);
    id ids = objc_msgSend<id(id)>(panel->artistDictionary.get(), "objectForKey:"_sel, "artistIDs"_ns);
    id names = objc_msgSend<id(id)>(panel->artistDictionary.get(), "objectForKey:"_sel, "artistNames"_ns);
    long long artistId = objc_msgSend<long long()>(at(ids, panel->artistIndexAfter), "longLongValue"_sel);
    id name = countOf(names) > static_cast<NSUInteger>(panel->artistIndexAfter) ? at(names, panel->artistIndexAfter) : nil;
    CLog("chosen artistName: %@", name);
    id order = objc_msgSend<id(long long)>(dbHandler(), "getItemArtistSpecificsByFromArtistID:"_sel, artistId);
    // An artist without songs: its name's place in the sort map.
    if (countOf(order) < 2 && name != nil) order = DBSortMapOrderForName(dbHandler(), static_cast<NSString*>(name));
    if (countOf(order) < 2) {
        NSLog("** Cantrel ** album artist %lld has no sort order: album left unchanged", artistId);
        return false;
    }
    objc_msgSend<void(long long, long long)>(dbHandler(), "updateAlbumArtistFor_pid:artist_id:"_sel,
                                             static_cast<long long>(pidOf(entry->mediaItem.get(), "albumPersistentID"_sel)),
                                             artistId);
    long long artistOrder = objc_msgSend<long long()>(at(order, 0), "longLongValue"_sel);
    int section = objc_msgSend<int()>(at(order, 1), "intValue"_sel);
    for (NSUInteger i = 0, n = countOf(tracks); i < n; ++i)
        objc_msgSend<void(unsigned long long, long long, long long, int)>(
            dbHandler(),
            "updateItemAlbum_ArtistFor_pid:album_artist_pid:album_artist_order:album_artist_order_section:"_sel,
            pidOf(at(tracks, static_cast<long>(i))), artistId, artistOrder, section);
    return true;
}

}  // namespace

void EditSheetShowFailed(ItemEntry* entry) {
    id presenter = entry->viewIndex == kViewIndexNowPlaying ? entry->currentNowPlayingViewController.get()
                                                            : entry->currentViewController.get();
    MessageViewShow(presenter, "Failed"_ns, kFailedBadgeInterval, IconViewTagDiscCross, static_cast<int>(entry->viewIndex));
}

void EditSheetSave(ItemEntry* entry, id alert) {
    CLog("SAVE PRESSED - %@", getViewIndexNameByMusicViewIndex(entry->viewIndex));
    Strong<ItemEntry> keep(entry);
    Strong<Panel> panel(static_cast<Panel*>(objc_msgSend<id(NSInteger)>(get(alert, "view"_sel), "viewWithTag:"_sel, kPanelTag)));
    PanelEndEditing(panel.get());
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, YES, nil);
    auto state = std::make_shared<SaveState>();
    long v = entry->viewIndex;
    id item = entry->mediaItem.get();
    id collection = entry->mediaItemCollection.get();
    bool hasPicture = entry->pendingArtwork;
    // Every write of this save shares one wait for a locked library.
    platform::MediaLibraryWait wait;
    SaveOutcome outcome;

    if (panel) {
        Panel* p = panel.get();
        if (v == 0 || v == 3 || v == 9 || v == 12) {
            step("SONG TITLE", entry, [&] {
                CLog("persistentID: %lld, item: %@", pidOf(item), item);
                if (!titleChanged(p)) return;
                p->prevTitle = static_cast<NSString*>(textOf(p));
                storeThroughApp(outcome, [&] {
                    BOOL ok = objc_msgSend<BOOL(id, id)>(item, "setValue:forProperty:"_sel, textOf(p), "title"_ns);
                    CLog("title result = %@", ok ? "YES"_ns : "NO"_ns);
                    return ok == YES;
                });
            });
            step("RATING", entry, [&] {
                CLog("songView.rating before save = %ld", p->prevRating);
                if (!ratingChanged(p)) return;
                CLog("setRating of %ld, for item: %@", p->newRating, item);
                storeThroughApp(outcome, [&] { return rate(item, p->newRating); });
            });
            step("GENRE UIPICKER", entry,
                 [&] { storeThroughDB(wait, outcome, [&] { return saveGenre(p, pidOf(item), 0, true); }); });
            step("ARTWORK", entry, [&] {
                if (hasPicture) startImport(entry, p, state, false, nil);
            });
        } else if (v == 2 || v == 10 || v == 1) {
            id tracks = tracksOf(entry);
            step("RATING", entry, [&] {
                if (ratingChanged(p)) rateTracks(p, tracks, outcome);
            });
            step("SONG TITLE", entry, [&] {
                if (!titleChanged(p)) return;
                storeThroughDB(wait, outcome, [&] {
                    objc_msgSend<void(id, id)>(dbHandler(), "updateAlbumOrArtistTitlesInDB:andTitle:"_sel, entry, textOf(p));
                    return true;
                });
            });
            step("GENRE UIPICKER", entry, [&] {
                CLog("songAlbumArtistView.genreIndexBefore = %ld, songAlbumArtistView.genreIndexAfter %ld",
                     p->genreIndexBefore, p->genreIndexAfter);
                storeThroughDB(wait, outcome, [&] {
                    return saveGenre(p, pidOf(item, v == 1 ? "albumArtistPersistentID"_sel : "albumPersistentID"_sel),
                                     v == 1 ? 1 : v, false);
                });
            });
            if (v != 1) {
                step("ARTIST UIPICKER", entry,
                     [&] { storeThroughDB(wait, outcome, [&] { return saveAlbumArtist(p, entry, tracks); }); });
                step("ARTWORK", entry, [&] {
                    if (hasPicture) startImport(entry, p, state, true, tracks);
                });
            }
        } else if (v == 7) {
            step("GENRE UIPICKER", entry, [&] {
                if (!titleChanged(p)) return;
                storeThroughDB(wait, outcome, [&] {
                    objc_msgSend<void(long long, id)>(dbHandler(), "updateGenreName:andTitle:"_sel,
                                                      static_cast<long long>(pidOf(collection)), textOf(p));
                    return true;
                });
            });
        } else if (v == 8) {
            step("PLAYLIST NAME", entry, [&] {
                if (!titleChanged(p)) return;
                id text = textOf(p);
                p->prevTitle = static_cast<NSString*>(text);
                auto pid = static_cast<long long>(pidOf(collection));
                bool renamed = false;
                storeThroughDB(wait, outcome, [&] {
                    objc_msgSend<void(long long, id)>(dbHandler(), "updatePlaylistName:andTitle:"_sel, pid, text);
                    // The list shows the new name only once the database holds it.
                    id stored = objc_msgSend<id(long long)>(dbHandler(), "getPlaylistName:"_sel, pid);
                    renamed = objc_msgSend<BOOL(id)>(text, "isEqual:"_sel, stored);
                    if (!renamed) wait.noteFailure();
                    return renamed;
                });
                if (!renamed) {
                    NSLog("** Cantrel ** playlist %lld was not renamed", pid);
                    return;
                }
                id table = tableViewOf(entry);
                if (responds(table, "setPlaylistName:andItemEntry:"_sel))
                    objc_msgSend<void(id, id)>(table, "setPlaylistName:andItemEntry:"_sel, text, entry);
            });
        }
    }
    entry->pendingArtwork = nullptr;
    // Fields that did store stay stored; a save that stored none of its
    // changes does not close as if it had.
    if (outcome.failed > 0 && outcome.stored == 0 && !state->importStarted) EditSheetShowFailed(entry);
    step("updateRowAfterSave", entry, [&] {
        if (!state->importStarted && panel) scheduleRefresh(panel.get(), entry, state);
    });
}

void EditSheetCancel(ItemEntry* entry, id alert) {
    PanelEndEditing(static_cast<Panel*>(objc_msgSend<id(NSInteger)>(get(alert, "view"_sel), "viewWithTag:"_sel, kPanelTag)));
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, YES, nil);
    entry->pendingArtwork = nullptr;
    objc_msgSend<void(BOOL)>(tableViewOf(entry), "setEditing:"_sel, NO);
}

bool EditSheetImportsIdle() {
    std::lock_guard<std::mutex> g(pendingLock);
    return pendingImports == 0;
}

namespace {

void invalidate(id object) {
    if (responds(object, "invalidateCachedProperties"_sel)) objc_msgSend<void()>(object, "invalidateCachedProperties"_sel);
    if (responds(object, "cachedPropertyValues"_sel))
        objc_msgSend<void()>(get(object, "cachedPropertyValues"_sel), "invalidate"_sel);
}

// The row refresh: the row's picture, the item's cached values, the list or
// the now-playing artwork.
void updateRowAfterSave(Panel* self, SEL) {
    auto* entry = static_cast<ItemEntry*>(objc::as_id(self->item_entry.get()));
    if (entry == nullptr) return;
    id image = get(self->imageview.get(), "image"_sel);
    if (entry->viewIndex != kViewIndexNowPlaying) {
        id cell = objc_msgSend<id(id)>(objc::as_id(entry->tableView.get()), "cellForRowAtIndexPath:"_sel,
                                       entry->origionalIndexPath.get());
        if (cell != nil && image != nil) objc_msgSend<void(id, BOOL)>(cell, "setArtworkImage:animated:"_sel, image, NO);
    }
    id item = entry->mediaItem.get();
    invalidate(item);
    if (entry->viewIndex == kViewIndexNowPlaying) {
        id controller = entry->currentNowPlayingViewController.get();
        if (responds(controller, "_didUpdateArtworkImage"_sel)) objc_msgSend<void()>(controller, "_didUpdateArtworkImage"_sel);
        Class placeholder = objc_getClass("MPUSlantedTextPlaceholderArtworkView");
        id subviews = get(get(controller, "view"_sel), "subviews"_sel);
        for (NSUInteger i = 0, n = countOf(subviews); placeholder && i < n; ++i) {
            id view = at(subviews, static_cast<long>(i));
            if (objc_msgSend<BOOL(Class)>(view, "isKindOfClass:"_sel, placeholder)) {
                objc_msgSend<void(id)>(view, "setImage:"_sel, entry->artwork.get());
                break;
            }
        }
    } else if (responds(entry->currentViewController.get(), "reloadData"_sel)) {
        objc_msgSend<void()>(entry->currentViewController.get(), "reloadData"_sel);
    }
    invalidate(item);
    id collection = entry->mediaItemCollection.get();
    if (responds(collection, "cachedPropertyValues"_sel))
        objc_msgSend<void()>(get(collection, "cachedPropertyValues"_sel), "invalidate"_sel);
}

}  // namespace

void registerEditSave() {
    objc::define_method(ParentSongAlbumArtistView::cls(), "updateRowAfterSave"_sel, objc::make_imp<updateRowAfterSave>(), "v@:");
}
