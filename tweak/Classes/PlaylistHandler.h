// PlaylistHandler: the add-to-playlist picker of the now-playing screen
// (class methods only, no state). The picker is an alert with a
// PlaylistSelectionView panel whose title field takes a picker of the
// library's visible playlists, topped by a row that creates a new one.
//
//   +openPlaylistSelectionViewOnItem:andViewController:   void(id, id)
//       builds the sheet for the media item and presents it over the
//       controller; the title field becomes the first responder once it is
//       shown. Nothing without an item, a controller or the panel's nib.
//   +playlistPickerInit:andMediaItemEntry:andContentType:  void(id, id, int)
//       the rows (panel's genreDictionary: "name" and "playList", equal
//       length; row 0 "Create new playlist" and ""; then each playlist the
//       database does not mark hidden, in the playlists query's order, its
//       name or "" for one without) and the title field's picker with its
//       Cancel / Done toolbar. Only Done commits the row the picker shows
//       (playlistIndex): row 0 brings the keyboard for a new name, another
//       row shows its name in the field; Cancel puts the picker back on the
//       committed row.
//   +buildAlertActionBtn:alert:andMediaItem:andViewController:   id(int, id, id, id)
//       -1 "Cancel" (closes the sheet), 0 "Done" (closes it and adds the item
//       to the committed playlist, or to a new one named by the field for
//       row 0), nil otherwise. The add's outcome shows over the controller's
//       view on the main queue: a "Done" badge with the disc-plus icon, or
//       "Failed" with the disc-cross icon when no playlist could be made or
//       the add failed, each for one second.
//
// PlaylistPickerToolbarTarget: the target of the picker toolbar's buttons
// (donePickerView:, cancelPickerView:), kept alive by the toolbar.
#pragma once

#include <objc/NSObject.h>

struct PlaylistHandler : NSObject {
    OBJC_CLASS(PlaylistHandler)
};

// The first row's title.
inline constexpr const char* kCreateNewPlaylistRow = "Create new playlist";

// Registers PlaylistHandler and its toolbar target. Idempotent.
void registerPlaylistHandler();
