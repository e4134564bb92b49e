// EditHandler: the item editor's class methods (no instances, no state).
//
//   +openEditViewOnCurrentItem:andItemEntry:sentRating:   void(id, id, long)
//       builds the edit sheet for the record's entry (a UIImage or nil, the
//       ItemEntry, -1 or a rating 0..5) and presents it: an alert whose
//       message makes room for the panel of the entry's kind, laid over it.
//       A view index without a panel opens nothing; a missing bundle, nib or
//       panel is logged and opens nothing.
//   +genreOrArtistPickerInit:andItemEntry:andContentType:  void(id, id, int)
//       the genre (7) or album-artist (1) picker of a panel's field, filled
//       from the database and preselected, with a Cancel / Done toolbar:
//       Done commits the row the picker shows and writes its name into the
//       field; Cancel puts the picker back on the committed row.
//   +buildAlertActionBtn:alert:hasArtwork:andItemEntry:    id(int, id, BOOL, id)
//       -1 "Cancel", 0 "Save" (each closes the sheet), nil otherwise
//   +getViewIndexNameByMusicViewIndex:                     id(long)
//   +tweet                                                 void()
//
// NSString(Extra): +stringFromObject: id(id)  the argument, or "" for nil.
//
// EditPickerToolbarTarget: the target of a picker toolbar's two buttons
// (donePickerView:, cancelPickerView:), kept alive by the toolbar.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <objc/NSObject.h>

struct EditHandler : NSObject {
    OBJC_CLASS(EditHandler)
};

struct NSString;

// The CR LF pairs of a sheet's message.
NSString* EditSheetMessage(int pairs);

struct ParentSongAlbumArtistView;

// The first top-level object of a nib of the library's bundle when it is a
// panel (nil, logged, when the bundle, the nib or the panel is missing).
ParentSongAlbumArtistView* EditPanelFromNib(const char* nib, Class owner);

// The width of a sheet's text fields for the alert's frame on this screen.
double EditSheetFieldWidth(long viewIndex, CGRect alertFrame);
// Gives a field of a panel laid over an alert's card that width, at most
// what keeps it inside the card, through its width constraint.
void EditSheetSetFieldWidth(id constraint, id field, double width);

// The input view of a picker field (autoreleased): a container (0, 219,
// screen width, 258) holding a white toolbar (a plain "Cancel" and a plain
// "Done" button, sent to `target`, which the toolbar keeps) and a white
// picker with the tag, the panel as its data source and delegate, at the
// container's bottom. `*pickerOut` gets the picker.
id EditPickerInputView(id panel, NSInteger tag, id target, SEL cancel, SEL done, id* pickerOut);

// Registers EditHandler, its picker toolbar target and NSString(Extra).
// Idempotent.
void registerEditHandler();
