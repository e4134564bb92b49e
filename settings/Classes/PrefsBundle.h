// What the settings plug-in's classes share: the preference file, the change
// notification, and the plug-in's bundle.
#pragma once

#include <objc/NSObject.h>

#include <string>

inline constexpr const char* kPreferencesPath = "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist";
inline constexpr const char* kSettingsChangedNotification = "com.brevank.Cantrel.settingschanged";
inline constexpr const char* kBundleRelativePath = "Library/PreferenceBundles/Cantrel_Prefs.bundle";

// The plug-in's bundle: the folder the plug-in was loaded from when that
// folder lies under the device root, else the bundle at the relative path
// (against the working directory). nil when neither is there.
id openSettingsBundle();

// A new page of class `cls` made with initWithNibName:bundle: from the
// plug-in's bundle (owned by the caller).
id newPage(Class cls, const char* nibName);

// A page's loadView: the nib's view, or an empty view when the nib (or the
// bundle) is missing or broken.
void loadViewOrEmptyPage(id page, Class pageClass);

// The screen's shorter side as the pages fix their containers' widths: the
// main screen's bounds' width held in a float, the height when the width is
// greater.
double shorterScreenSide();

// Fixes `container`'s width to `width` by one constraint added to it.
void fixContainerWidth(id container, double width);

// The delegate's stored BOOL for `key` (the page's switch after a store).
BOOL storedBool(id delegate, const char* key, BOOL defaultValue);

// Registers every class of the plug-in. Idempotent.
extern "C" __attribute__((visibility("default"))) void CantrelPrefs_registerClasses();
