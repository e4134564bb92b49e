// The share sheet's application activities (both UIActivity subclasses):
//
//   ActivityViewCustomActivity        "Export to Folder", type "Cantrel.export",
//                                     action category; badge "Done!"
//   ActivityViewCustomActivity_Share  "WhatsApp", type "whatsapp", share
//                                     category; badge "WDone!" (not offered)
//
// Both: the image "10@2x.png" of the resource bundle, performable with any
// items, no view controller; performing shows the badge (1.3 s) over the key
// window's root view and finishes at once.
#pragma once

#include <UIKit/UIActivityViewController.h>

struct NSString;

struct ActivityViewCustomActivity : UIActivity {
    OBJC_CLASS(ActivityViewCustomActivity)
};

struct ActivityViewCustomActivity_Share : UIActivity {
    OBJC_CLASS(ActivityViewCustomActivity_Share)

    Strong<NSString> filePath;  // nothing sets or reads it
};

void registerActivityViewCustomActivity();
