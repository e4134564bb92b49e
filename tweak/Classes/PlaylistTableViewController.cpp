#include "PlaylistTableViewController.h"
#include "Sends.h"

#include "Cantrel.h"
#include "DBHandler.h"
#include "QueueHandler.h"

#include <UIKit/UITableViewCell.h>
#include <UIKit/UITableView.h>
#include <Foundation/Foundation.h>
#include <MediaPlayer/MediaPlayer.h>
#include <MediaPlayer/QueueMessages.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>
#include <platform/RunLoop.h>

#include <climits>
#include <optional>

using cantrel::countOf;
using cantrel::objectAt;
using cantrel::responds;

namespace {

constexpr NSInteger kRowAnimationNone = 5;
constexpr NSInteger kIndicatorTag = 99;
constexpr NSInteger kIndicatorPlaying = 1;
constexpr NSInteger kIndicatorNotPlaying = 2;
constexpr double kPauseFadeSeconds = 0.1;
constexpr CGFloat kArtworkPoints = 80;
constexpr CGFloat kWhiteSquarePoints = 60;

PlaylistTableViewController* gSharedInstance = nullptr;  // owned, never released

id mutableCopyOf(id array) { return objc_autorelease(objc_msgSend<id()>(array, "mutableCopy"_sel)); }
// 0 for an entry without one (a radio track).
unsigned long long pidOf(id item) {
    return responds(item, "persistentID"_sel) ? objc_msgSend<unsigned long long()>(item, "persistentID"_sel) : 0;
}
id tableOf(id self) { return objc_msgSend<id()>(self, "tableView"_sel); }

// The queue's play order: the ordered array when it holds anything, else
// the shuffled items' items.
id liveOrder(const ResolvedQueue& q) {
    if (countOf(q.orderedArray) > 0) return q.orderedArray;
    return objc_msgSend<queue::items>(q.shuffledItems, "items"_sel);
}

bool sameOrder(id a, id b) {
    NSUInteger n = countOf(a);
    if (n != countOf(b)) return false;
    for (NSUInteger i = 0; i < n; ++i) {
        id x = objectAt(a, i), y = objectAt(b, i);
        if (x != y && !objc_msgSend<BOOL(id)>(x, "isEqual:"_sel, y)) return false;
    }
    return true;
}

// Whether a library feeder is there to take a move: the tracked one, or a
// query feeder the player plays. Asked without making one.
bool libraryFeederPlays() {
    id tracked = objc::as_id(_MusicQueryQueueFeeder);
    if (responds(tracked, "shouldBeginPlaybackOfItem:error:"_sel)) return true;
    Class server = objc_getClass("MPMusicPlayerControllerServer");
    id shared = server != nil ? objc_msgSend<queue::sharedInstance>(objc::as_id(server), "sharedInstance"_sel) : nil;
    id player = objc_msgSend<queue::player>(shared, "player"_sel);
    Class feederClass = objc_getClass("MusicQueryQueueFeeder");
    return feederClass != nil && objc_isKindOfClass(objc_msgSend<queue::feeder>(player, "feeder"_sel), feederClass);
}

id trackedPlayer() { return objc_msgSend<queue::AVController>(objc::as_id(_MusicQueryQueueFeeder), "AVController"_sel); }

// UIKit work from a notification: inline on the main thread, else on the
// main queue with the instance kept.
void onMainThread(id self, void (*work)(id)) {
    if (platform::RunLoop::main().isLoopThread()) {
        work(self);
        return;
    }
    Strong<NSObject> keep(static_cast<NSObject*>(self));
    dispatch_async(dispatch_get_main_queue(), [keep, work] { work(objc::as_id(keep.get())); });
}

// --- The picture of a row.

id artworkImage(id item) {
    if (!responds(item, "artwork"_sel)) return nil;
    id artwork = objc_msgSend<id()>(item, "artwork"_sel);
    return objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel, CGSizeMake(kArtworkPoints, kArtworkPoints));
}

// The artwork file the database names for the item: a token, then its path,
// each asked of a fresh DBHandler.
id databaseImage(id item) {
    if (pidOf(item) == 0) return nil;
    id handlerClass = objc::as_id(DBHandler::cls());
    id token = objc_msgSend<id(unsigned long long)>(objc_msgSend<id()>(handlerClass, "sharedInstance"_sel),
                                                    "getArtworkTokenByItem_pid:"_sel, pidOf(item));
    if (objc_msgSend<NSUInteger()>(token, "length"_sel) == 0) return nil;
    id path = objc_msgSend<id(id)>(objc_msgSend<id()>(handlerClass, "sharedInstance"_sel), "getArtworkPathForToken:"_sel,
                                   token);
    if (objc_msgSend<NSUInteger()>(path, "length"_sel) == 0) return nil;
    id full = objc_msgSend<id(id)>("//var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals"_ns,
                                   "stringByAppendingPathComponent:"_sel, path);
    return objc_msgSend<id(id)>(objc::as_id(UIImage::cls()), "imageWithContentsOfFile:"_sel, full);
}

id whiteSquare() {
    CGRect frame = CGRectMake(0, 0, kWhiteSquarePoints, kWhiteSquarePoints);
    id view = objc_autorelease(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc::as_id(UIView::cls()), "alloc"_sel),
                                                        "initWithFrame:"_sel, frame));
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel,
                           objc_msgSend<id()>(objc::as_id(UIColor::cls()), "whiteColor"_sel));
    double scale = objc_msgSend<double()>(objc_msgSend<id()>(objc::as_id(UIScreen::cls()), "mainScreen"_sel), "scale"_sel);
    UIGraphicsBeginImageContextWithOptions(frame.size, YES, scale);
    objc_msgSend<void(CGContextRef)>(objc_msgSend<id()>(view, "layer"_sel), "renderInContext:"_sel,
                                     UIGraphicsGetCurrentContext());
    id image = objc::as_id(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    return image;
}

id pictureOf(id item) {
    if (id image = artworkImage(item)) return image;
    if (id image = databaseImage(item)) return image;
    if (responds(item, "representativeItem"_sel)) {
        id representative = objc_msgSend<id()>(item, "representativeItem"_sel);
        if (id image = artworkImage(representative)) return image;
        if (id image = databaseImage(representative)) return image;
    }
    return whiteSquare();
}

// "artist, album", or whichever of the two the item has, or nothing.
id detailOf(id item) {
    id artist = objc_msgSend<id()>(item, "artist"_sel);
    id album = objc_msgSend<id()>(item, "albumTitle"_sel);
    bool hasArtist = objc_msgSend<NSUInteger()>(artist, "length"_sel) > 0;
    bool hasAlbum = objc_msgSend<NSUInteger()>(album, "length"_sel) > 0;
    if (hasArtist && hasAlbum) return NSStringWithFormat("%@, %@", artist, album);
    if (hasArtist) return artist;
    if (hasAlbum) return album;
    return nil;
}

// --- Class methods.

id sharedInstanceIfAlive() { return objc::as_id(gSharedInstance); }

id sharedInstance() {
    if (gSharedInstance != nullptr) return objc::as_id(gSharedInstance);
    id made = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(objc::as_id(PlaylistTableViewController::cls()), "alloc"_sel),
                                          "initWithStyle:"_sel, UITableViewStyleGrouped);
    gSharedInstance = static_cast<PlaylistTableViewController*>(made);
    if (made == nil) return nil;
    id center = objc_msgSend<id()>(objc::as_id(NSNotificationCenter::cls()), "defaultCenter"_sel);
    auto observe = [&](SEL selector, id name) {
        objc_msgSend<void(id, SEL, id, id)>(center, "addObserver:selector:name:object:"_sel, made, selector, name, nil);
    };
    observe("handleEnteredBackground:"_sel, "UIApplicationDidEnterBackgroundNotification"_ns);
    observe("nowPlayingItemChanged:"_sel, MPMusicPlayerControllerNowPlayingItemDidChangeNotification);
    observe("nowPlayingStateChanged:"_sel, MPMusicPlayerControllerPlaybackStateDidChangeNotification);
    return made;
}

// --- Screen methods.

void viewDidLoad(PlaylistTableViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, PlaylistTableViewController::cls(), "viewDidLoad"_sel);
    id table = tableOf(self);
    objc_msgSend<void(BOOL)>(table, "setAllowsSelectionDuringEditing:"_sel, YES);
    objc_msgSend<void(BOOL)>(table, "setAllowsSelection:"_sel, NO);
    CGRect bounds = objc_msgSend<CGRect()>(table, "bounds"_sel);
    id header = objc_autorelease(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc::as_id(UIView::cls()), "alloc"_sel),
                                                          "initWithFrame:"_sel, CGRectMake(0, 0, bounds.size.width, 0.01)));
    objc_msgSend<void(id)>(table, "setTableHeaderView:"_sel, header);
    objc_msgSend<void(id)>(self, "setTitle:"_sel, "Playing list"_ns);
}

// Every appearance shows the queue of that moment; only the first scrolls.
void viewWillAppear(PlaylistTableViewController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, PlaylistTableViewController::cls(), "viewWillAppear:"_sel, animated);
    objc_msgSend<void(BOOL)>(self, "loadupTable:"_sel, self->tmp ? NO : YES);
}

void didReceiveMemoryWarning(PlaylistTableViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, PlaylistTableViewController::cls(), "didReceiveMemoryWarning"_sel);
}

void dealloc(PlaylistTableViewController* self, SEL) {
    id center = objc_msgSend<id()>(objc::as_id(NSNotificationCenter::cls()), "defaultCenter"_sel);
    for (id name : {objc::as_id("UIApplicationDidEnterBackgroundNotification"_ns),
                    objc::as_id(MPMusicPlayerControllerNowPlayingItemDidChangeNotification),
                    objc::as_id(MPMusicPlayerControllerPlaybackStateDidChangeNotification)})
        objc_msgSend<void(id, id, id)>(center, "removeObserver:name:object:"_sel, objc::as_id(self), name, nil);
    if (gSharedInstance == self) gSharedInstance = nullptr;
    objc_msgSendSuper<void()>(self, PlaylistTableViewController::cls(), "dealloc"_sel);
}

void loadupTable(PlaylistTableViewController* self, SEL, BOOL scroll) {
    AutoreleasePool pool;
    ResolvedQueue q = resolveQueueFeeder();
    id rows = mutableCopyOf(liveOrder(q));
    if (rows == nil) rows = objc_msgSend<id()>(objc::as_id(NSMutableArray::cls()), "array"_sel);
    NSUInteger playing = 0;
    id current = objc_msgSend<queue::currentMediaItem>(q.player, "currentMediaItem"_sel);
    if (current != nil) playing = playingPlace(q.player, rows, current);
    self->tmp = static_cast<NSObject*>(mutableCopyOf(rows));
    self->picturesDeadline = platform::MediaLibraryWait::actionDeadline();
    id table = tableOf(self);
    objc_msgSend<void(BOOL, BOOL)>(table, "setEditing:animated:"_sel, YES, YES);
    objc_msgSend<void()>(table, "reloadData"_sel);
    if (scroll && playing < countOf(objc::as_id(self->tmp.get()))) {
        id path = objc_msgSend<id(NSInteger, NSInteger)>(objc::as_id(NSIndexPath::cls()), "indexPathForRow:inSection:"_sel,
                                                         static_cast<NSInteger>(playing), 0L);
        objc_msgSend<void(id, NSInteger, BOOL)>(table, "scrollToRowAtIndexPath:atScrollPosition:animated:"_sel, path,
                                                UITableViewScrollPositionTop, NO);
    }
}

void reloadVisibleRows(id self) {
    if (!objc_msgSend<BOOL()>(self, "isViewLoaded"_sel)) return;
    AutoreleasePool pool;
    static_cast<PlaylistTableViewController*>(self)->picturesDeadline = platform::MediaLibraryWait::actionDeadline();
    id table = tableOf(self);
    objc_msgSend<void(id, NSInteger)>(table, "reloadRowsAtIndexPaths:withRowAnimation:"_sel,
                                      objc_msgSend<id()>(table, "indexPathsForVisibleRows"_sel), kRowAnimationNone);
}

void popTopScreen(id self) {
    objc_msgSend<id(BOOL)>(objc_msgSend<id()>(self, "navigationController"_sel), "popViewControllerAnimated:"_sel, YES);
}

void nowPlayingItemChanged(PlaylistTableViewController* self, SEL, id argument) {
    CLog("PlaylistTableViewController - nowPlayingItemChanged: %@", argument);
    onMainThread(objc::as_id(self), reloadVisibleRows);
}

void nowPlayingStateChanged(PlaylistTableViewController* self, SEL, id argument) {
    CLog("PlaylistTableViewController - nowPlayingStateChanged: %@", argument);
    onMainThread(objc::as_id(self), reloadVisibleRows);
}

void handleEnteredBackground(PlaylistTableViewController* self, SEL, id) {
    onMainThread(objc::as_id(self), popTopScreen);
}

// --- The table.

NSInteger numberOfSections(PlaylistTableViewController*, SEL, id) { return 1; }
NSInteger numberOfRows(PlaylistTableViewController* self, SEL, id, NSInteger) {
    return static_cast<NSInteger>(countOf(objc::as_id(self->tmp.get())));
}
BOOL canEditRow(PlaylistTableViewController*, SEL, id, id) { return YES; }
BOOL canMoveRow(PlaylistTableViewController*, SEL, id, id) { return YES; }
NSInteger editingStyleForRow(PlaylistTableViewController*, SEL, id, id) { return 0; }
BOOL shouldIndentWhileEditing(PlaylistTableViewController*, SEL, id, id) { return NO; }

id cellForRow(PlaylistTableViewController* self, SEL, id table, id path) {
    id cell = objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, "Cell"_ns);
    if (cell == nil)
        cell = objc_autorelease(objc_msgSend<id(NSInteger, id)>(
            objc_msgSend<id()>(objc::as_id(UITableViewCell::cls()), "alloc"_sel), "initWithStyle:reuseIdentifier:"_sel,
            UITableViewCellStyleSubtitle, "Cell"_ns));
    objc_msgSend<void(NSInteger)>(cell, "setSelectionStyle:"_sel, 0);
    NSInteger row = objc_msgSend<NSInteger()>(path, "row"_sel);
    id rows = objc::as_id(self->tmp.get());
    if (row < 0 || static_cast<NSUInteger>(row) >= countOf(rows)) return cell;
    id item = objectAt(rows, static_cast<NSUInteger>(row));
    objc_msgSend<void(id)>(objc_msgSend<id()>(cell, "textLabel"_sel), "setText:"_sel, objc_msgSend<id()>(item, "title"_sel));
    id detail = objc_msgSend<id()>(cell, "detailTextLabel"_sel);
    objc_msgSend<void(id)>(detail, "setText:"_sel, detailOf(item));
    objc_msgSend<void(id)>(detail, "setTextColor:"_sel, objc_msgSend<id()>(objc::as_id(UIColor::cls()), "lightGrayColor"_sel));
    {
        // A cell that appears outside any action reads within the deadline
        // of the one that loaded the rows.
        std::optional<platform::MediaLibraryWait> wait;
        if (platform::MediaLibraryWait::current() == nullptr) wait.emplace(self->picturesDeadline);
        objc_msgSend<void(id)>(objc_msgSend<id()>(cell, "imageView"_sel), "setImage:"_sel, pictureOf(item));
    }
    NSInteger tag = static_cast<NSInteger>(pidOf(item));
    objc_msgSend<void(NSInteger)>(cell, "setTag:"_sel, tag);

    id player = trackedPlayer();
    id current = objc_msgSend<queue::currentMediaItem>(player, "currentMediaItem"_sel);
    id accessory = objc_msgSend<id()>(cell, "editingAccessoryView"_sel);
    id indicator = objc_msgSend<id(NSInteger)>(accessory, "viewWithTag:"_sel, kIndicatorTag);
    Class indicatorClass = objc_getClass("MusicNowPlayingIndicatorView");
    if (current != nil && playingPlace(player, rows, current) == static_cast<NSUInteger>(row)) {
        if (indicator == nil && indicatorClass != nil) {
            indicator = objc_autorelease(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc::as_id(indicatorClass), "alloc"_sel),
                                                                  "initWithFrame:"_sel, CGRectMake(0, 0, 15, 18)));
            objc_msgSend<void(NSInteger)>(indicator, "setTag:"_sel, kIndicatorTag);
        }
        if (indicator != nil) {
            objc_msgSend<void(id)>(cell, "setEditingAccessoryView:"_sel, indicator);
            objc_msgSend<void(NSInteger)>(indicator, "setPlaybackState:"_sel,
                                          objc_msgSend<queue::isPlaying>(player, "isPlaying"_sel) ? kIndicatorPlaying
                                                                                                 : kIndicatorNotPlaying);
        }
    } else {
        objc_msgSend<void()>(indicator, "removeFromSuperview"_sel);
        objc_msgSend<void(id)>(cell, "setEditingAccessoryView:"_sel, nil);
    }
    return cell;
}

// A tap plays the row's song from its start, or pauses it while it plays. A
// song that has left the queue plays nothing: the list shows the queue again.
void didSelectRow(PlaylistTableViewController* self, SEL, id, id path) {
    reloadVisibleRows(objc::as_id(self));
    id feeder = objc::as_id(_MusicQueryQueueFeeder);
    id player = trackedPlayer();
    id rows = objc::as_id(self->tmp.get());
    NSInteger row = objc_msgSend<NSInteger()>(path, "row"_sel);
    if (player == nil || row < 0 || static_cast<NSUInteger>(row) >= countOf(rows)) return;
    id item = objectAt(rows, static_cast<NSUInteger>(row));
    id current = objc_msgSend<queue::currentMediaItem>(player, "currentMediaItem"_sel);
    if (current != nil && playingPlace(player, rows, current) == static_cast<NSUInteger>(row) &&
        objc_msgSend<queue::isPlaying>(player, "isPlaying"_sel)) {
        objc_msgSend<queue::pauseWithFadeout>(player, "pauseWithFadeout:"_sel, kPauseFadeSeconds);
        return;
    }
    // The row's own place while the queue holds its song there: of a song
    // queued twice, the copy tapped plays.
    id atRow = row <= INT_MAX ? objc_msgSend<queue::mediaItemAtIndex>(feeder, "mediaItemAtIndex:"_sel,
                                                                      static_cast<NSUInteger>(row))
                              : nil;
    int index = atRow != nil && (atRow == item || objc_msgSend<BOOL(id)>(atRow, "isEqual:"_sel, item))
                    ? static_cast<int>(row)
                    : objc_msgSend<queue::indexOfMediaItem>(feeder, "indexOfMediaItem:"_sel, item);
    if (index < 0) {
        objc_msgSend<void(BOOL)>(self, "loadupTable:"_sel, NO);
        return;
    }
    objc_msgSend<queue::playItemAtIndex>(player, "playItemAtIndex:forceRestart:"_sel, index, YES);
}

void moveRow(PlaylistTableViewController* self, SEL, id, id from, id to) {
    NSInteger source = objc_msgSend<NSInteger()>(from, "row"_sel);
    NSInteger destination = objc_msgSend<NSInteger()>(to, "row"_sel);
    if (source == destination) return;
    AutoreleasePool pool;
    id rows = objc::as_id(self->tmp.get());
    NSUInteger n = countOf(rows);
    if (source < 0 || destination < 0 || static_cast<NSUInteger>(source) >= n || static_cast<NSUInteger>(destination) >= n)
        return;
    id before = objc_autorelease(objc_msgSend<id()>(rows, "copy"_sel));
    // Nothing plays from a library queue: a move would go to a fresh feeder
    // nobody plays. The rows stay as they were.
    if (!libraryFeederPlays()) {
        self->tmp = static_cast<NSObject*>(mutableCopyOf(before));
        objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
        return;
    }
    ResolvedQueue q = resolveQueueFeeder();
    // The queue changed since the rows were read: show it again, move nothing.
    if (!sameOrder(liveOrder(q), before)) {
        objc_msgSend<void(BOOL)>(self, "loadupTable:"_sel, NO);
        return;
    }
    id item = objectAt(rows, static_cast<NSUInteger>(source));
    objc_retain(item);
    objc_msgSend<void(NSUInteger)>(rows, "removeObjectAtIndex:"_sel, static_cast<NSUInteger>(source));
    objc_msgSend<void(id, NSUInteger)>(rows, "insertObject:atIndex:"_sel, item, static_cast<NSUInteger>(destination));
    objc_release(item);
    // The playing entry's place, followed through the move: of a song queued
    // twice, only the list knows which copy went where, and tells the player.
    NSUInteger playing = NSNotFound;
    id current = objc_msgSend<queue::currentMediaItem>(q.player, "currentMediaItem"_sel);
    if (current != nil) {
        NSUInteger at = playingPlace(q.player, before, current), from = static_cast<NSUInteger>(source),
                   into = static_cast<NSUInteger>(destination);
        if (at == from) playing = into;
        else if (at != NSNotFound && from < at && at <= into) playing = at - 1;
        else if (at != NSNotFound && into <= at && at < from) playing = at + 1;
        else playing = at;
    }
    NSUInteger ordered = countOf(q.orderedArray);
    objc_msgSend<void(id)>(q.shuffledItems, "set_orderedArray:"_sel, rows);
    if (ordered == 0) {
        NSInteger start = playing == NSNotFound ? 0 : static_cast<NSInteger>(playing);
        objc_msgSend<queue::rebuildCaches>(q.shuffledItems, "_rebuildItemCachesWithInitialSourceItemIndex:"_sel, start);
        objc_msgSend<queue::rebuildCaches>(q.shuffledItems, "_rebuildCachesWithInitialSourceIndex:"_sel, start);
        objc_msgSend<queue::invalidateSourceMediaQueryAndLoadItems>(q.shuffledItems,
                                                                    "invalidateSourceMediaQueryAndLoadItems"_sel);
    } else {
        objc_msgSend<queue::handleMediaLibraryDidChange>(q.feeder, "_handleMediaLibraryDidChange"_sel);
    }
    if (playing != NSNotFound && playing <= INT_MAX)
        objc_msgSend<queue::reloadFeederWithStartQueueIndex>(q.player, "reloadFeederWithStartQueueIndex:"_sel,
                                                             static_cast<int>(playing));
}

}  // namespace

void registerPlaylistTableViewController() {
    objc::ClassDef<PlaylistTableViewController>("PlaylistTableViewController", UITableViewController::cls())
        .classMethod<sharedInstance>("sharedInstance", "@@:")
        .classMethod<sharedInstanceIfAlive>("sharedInstanceIfAlive", "@@:")
        .method<viewDidLoad>("viewDidLoad")
        .method<viewWillAppear>("viewWillAppear:")
        .method<didReceiveMemoryWarning>("didReceiveMemoryWarning")
        .method<dealloc>("dealloc")
        .method<loadupTable>("loadupTable:")
        .method<nowPlayingItemChanged>("nowPlayingItemChanged:")
        .method<nowPlayingStateChanged>("nowPlayingStateChanged:")
        .method<handleEnteredBackground>("handleEnteredBackground:")
        .method<numberOfSections>("numberOfSectionsInTableView:")
        .method<numberOfRows>("tableView:numberOfRowsInSection:")
        .method<canEditRow>("tableView:canEditRowAtIndexPath:")
        .method<canMoveRow>("tableView:canMoveRowAtIndexPath:")
        .method<editingStyleForRow>("tableView:editingStyleForRowAtIndexPath:")
        .method<shouldIndentWhileEditing>("tableView:shouldIndentWhileEditingRowAtIndexPath:")
        .method<cellForRow>("tableView:cellForRowAtIndexPath:")
        .method<didSelectRow>("tableView:didSelectRowAtIndexPath:")
        .method<moveRow>("tableView:moveRowAtIndexPath:toIndexPath:");
}
