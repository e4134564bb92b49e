// Cantrel_Tools: the titles of the row's swipe buttons, by device idiom.
//
// Class methods only (no instances, no state), each id() → NSString:
//   getDeleteButtonText     U+2715 and 8 spaces on an iPad, U+2715 and 2 spaces elsewhere
//   getEditButtonText       U+2026 and 8 spaces on an iPad, U+2026 alone elsewhere
//   getPlayNowButtonText, getPlayNextButtonText, getPlayLastButtonText,
//   getExportButtonText     11 spaces on an iPad, 3 spaces elsewhere (these
//                           buttons show a picture behind their title)
//
// The idiom is the current device's userInterfaceIdiom when the device
// answers it, the phone idiom otherwise.
#pragma once

#include <objc/NSObject.h>

struct Cantrel_Tools : NSObject {
    OBJC_CLASS(Cantrel_Tools)
};

// Whether the current device is an iPad: UI_USER_INTERFACE_IDIOM() (the
// device's userInterfaceIdiom, the phone's when it has none) is the pad's.
bool Cantrel_isPad();

// Registers the class. Idempotent.
void registerCantrelTools();
