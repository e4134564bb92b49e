// Cantrel_PreferencesController: the plug-in's principal class, the spine of
// the settings pages. It reads the preference file once, when it is made,
// and keeps the preference dictionary; every change that a page stores
// rewrites the whole file and posts the change notification.
//
// PreferencesControllerDelegate, the protocol through which the pages reach
// it (all optional; the controller answers all five):
//   writePreferencesToFile                          void()
//   pushController:                                 void(id)   PSViewController's
//   setPreferencesObject:ForKey:                    void(id, id)
//   getPreferencesObjectForKey:                     id(id)
//   getPreferencesBOOLForKey:withDefaultValue:      BOOL(id, BOOL)
//
// Cantrel_PreferencesController : PSViewController (prototypes as sent):
//   initForContentSize:        id(CGSize)   reads the file, makes the main page from
//                              "RootView", becomes its delegate and pushes it
//   initPreferencesDictionary  void()
//   view                       id()   the main page's view
//   navigationTitle            id()   "Available Apps"
//   mainViewController / setMainViewController:   id() / void(id)
//
// A store checks its write: when the file cannot be written the dictionary
// gets its previous value back (a key that was absent is removed again), so
// a page reading the key back learns that nothing was stored. The
// notification is posted after every write, whatever it gave. A file that
// exists but holds no dictionary is left alone until the first store, which
// moves it aside (the same name with ".corrupt" added, or ".corrupt.1" and on
// when earlier backups are there; the tenth and last, ".corrupt.9", is
// replaced by later ones) and writes a new file.
#pragma once

#include <Preferences/PSViewController.h>

struct Cantrel_MainViewController;

struct Cantrel_PreferencesController : PSViewController {
    OBJC_CLASS(Cantrel_PreferencesController)

    Strong<NSObject> preferences;  // an NSMutableDictionary
    Strong<Cantrel_MainViewController> mainViewController;
    // The file holds something that is not a dictionary; the first write
    // moves it aside.
    bool moveBadFileAside = false;
    bool lastWriteSucceeded = false;  // what the last writePreferencesToFile gave
};

void registerPreferencesController();
