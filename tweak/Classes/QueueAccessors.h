// Methods the library adds to the Music app's classes to reach their private
// state: the queue feeder's shuffled items, the shuffled items' lists and
// query, an artwork object's picture, a media item's properties, a playlist
// entity's name; and two that only log. Each is a free function named after
// its selector, installed by the hook file's table.
#pragma once

#include <objc/NSObject.h>

struct NSString;

// MusicQueryQueueFeeder: its _items when it is a queue feeder (answers
// shouldBeginPlaybackOfItem:error:), else nil.
id getMPMediaQueryShuffledItems(id self, SEL _cmd);
// MPMediaQueryShuffledItems.
id get_sourceMediaQueryItems(id self, SEL _cmd);
void set_sourceMediaQueryItems(id self, SEL _cmd, id items);
id get_orderedArray(id self, SEL _cmd);
void set_orderedArray(id self, SEL _cmd, id items);
void set_sourceMediaQuery(id self, SEL _cmd, id query);
// UITableView (the receiver is not used).
id getMPMediaItemArtworkImage(id self, SEL _cmd, id artwork);
void setMPMediaItemArtworkImage(id self, SEL _cmd, id image, id artwork);
id getMediaItemProperties(id self, SEL _cmd, id mediaItem);
void setPlaylistName(id self, SEL _cmd, NSString* name, id entry);  // entry: an ItemEntry
void getClassIVar(id self, SEL _cmd, id object);
// UIViewController.
void documentInteractionControllerViewControllerForPreview(id self, SEL _cmd, id controller);
