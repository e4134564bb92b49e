// Play now, play next and play last: puts the song or the collection of an
// item record into the Music app's live play queue, moves what is already
// queued, or replaces the queue when nothing is loaded. Class methods only;
// the swipe buttons send preparePlayNowOrNext:itemEntry:tableView: and,
// unless it answers PREPARE_DONE, playNowOrNext:itemEntry:tableView:.
#pragma once

#include <objc/NSObject.h>

#include <cstdint>

struct ItemEntry;

// The queue's insert styles are the queue values of ExtraButtonStyle.
using QueueInsertStyle = int32_t;

// The first stage's answers.
inline constexpr int32_t PREPARE_DONE = -2;
inline constexpr int32_t PREPARE_REARRANGE = 1;

struct QueueHandler : NSObject {
    OBJC_CLASS(QueueHandler)
};

void registerQueueHandler();

// The current library queue feeder F (found, adopted from the player or
// made), its shuffled items S, their live ordered array O and the player P;
// F is left in _MusicQueryQueueFeeder. Any of them may be nil.
struct ResolvedQueue {
    id feeder = nil;
    id shuffledItems = nil;
    id orderedArray = nil;
    id player = nil;
};
ResolvedQueue resolveQueueFeeder();

// Where the player's playing entry stands in `list` (an array of the queue's
// items): the player's own place when the list holds the playing item there
// (a song may be queued more than once, and the copy playing is the one that
// counts), else the item's first place; NSNotFound when it is absent.
NSUInteger playingPlace(id player, id list, id playing);

// +preparePlayNowOrNext:itemEntry:tableView:, int(int, id, id): the first
// stage. The table view is not read: the list that receives the new source
// list is the record's currentViewController's tableView.
int32_t preparePlayNowOrNext(QueueInsertStyle style, ItemEntry* entry, id tableView);
// +playNowOrNext:itemEntry:tableView:, void(int, id, id): the second stage,
// which moves the queued song or collection.
void playNowOrNext(QueueInsertStyle style, ItemEntry* entry, id tableView);
