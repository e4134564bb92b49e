// The editing panel's actions that leave the edit sheet for another screen
// and come back to it (methods of ParentSongAlbumArtistView):
//
//   shareTrack:          void(id recogniser)   a post to the tapped service;
//                                              no composer: the sheet reopens
//   selectPhoto:         void(id)              the picture menu (web searches,
//                                              "Browse Photo library", "Cancel")
//   search:              void(id query)        the web image search; a missing
//                                              search screen reopens the sheet
//   reopenEditHandler    void()                the sheet again, typed title kept
//   internetImagePickerController:didFinishPickingImage: / …DidCancel:
//   imagePickerController:didFinishPickingMediaWithInfo: / imagePickerControllerDidCancel:
//
// Each closes the sheet first; the reopening runs from the dismissal's
// completion, never while a transition is in flight.
#pragma once

#include <UIKit/UIImagePickerController.h>
#include <objc/NSObject.h>

#include <string>
#include <string_view>

namespace cantrel::panel {

// The web query as sent: "&", "-" and "+" removed, each pair of spaces made
// one (one pass from the left), a byte outside well-formed UTF-8 made U+FFFD,
// then every UTF-8 byte outside the unreserved
// set and '()!*,;:@/? percent-encoded, a space as "%20".
std::string searchQuery(std::string_view query);

}  // namespace cantrel::panel

// The panel's photo library picker: landscape only, never rotates by itself.
//   shouldAutorotate                          BOOL()           NO
//   shouldAutorotateToInterfaceOrientation:   BOOL(NSInteger)  YES for 3 and 4
struct CUIImagePickerController : UIImagePickerController {
    OBJC_CLASS(CUIImagePickerController)
};

// Adds the methods to ParentSongAlbumArtistView (after it is registered) and
// registers CUIImagePickerController.
void registerPanelActions();
