// Save and Cancel of the edit sheet, the artwork import and the row refresh.
//
//   EditSheetSave(entry, alert)     the Save action's work (main thread): each
//       changed field is written in a step of its own; a picked picture is
//       imported in the background; the row is refreshed once at the end.
//   EditSheetCancel(entry, alert)   closes the sheet, drops the picked picture
//       and ends the row's swipe state.
//   -[ParentSongAlbumArtistView updateRowAfterSave]   void()   the row refresh
//
// The artwork imports run one at a time (token allocation included), on a
// global queue; every screen change goes to the main queue.
#pragma once

#include <objc/NSObject.h>

struct ItemEntry;

void EditSheetSave(ItemEntry* entry, id alert);
void EditSheetCancel(ItemEntry* entry, id alert);
// The "Failed" badge over the sheet's presenter: nothing of a save could be
// stored, or the sheet could not read what it shows.
void EditSheetShowFailed(ItemEntry* entry);

// True when no artwork import is queued or running, its closing step on the
// main queue included (hosts and tests serve the main run loop until then).
bool EditSheetImportsIdle();

void registerEditSave();
