// Process-wide state of the library, shared by its components.
#pragma once

#include <objc/NSObject.h>

#include <atomic>
#include <cstddef>

#define CANTREL_EXPORT __attribute__((visibility("default")))

struct MusicQueryQueueFeeder;
struct NSString;

// The library's resource bundle, "Library/Application Support/Cantrel/
// Cantrel.bundle", relative to the working directory (the device root): its
// pictures are loaded from here. The one place that names it.
NSString* CantrelBundlePath();

// Diagnostic lines go to the system log only while this is YES. Start-up
// clears it and nothing sets it later (a debugger or a test may).
extern BOOL LOGGER_ON;

// The Music app's current library queue feeder (not retained), or nil.
extern MusicQueryQueueFeeder* _MusicQueryQueueFeeder;

// NO from the installation until the Music app creates its root controller.
extern BOOL isOnStartup;

// Preference flags, one per key of the preference file and named after it.
// Each is published whole when the preference file is read (at start-up and
// on the change notification); the export's background work reads
// one of them, so they are atomic.
extern std::atomic<BOOL> is_enabled;
extern std::atomic<BOOL> enforce_ID3Tag_on_export;
extern std::atomic<BOOL> enforce_ID3Tag_on_artwork;
extern std::atomic<BOOL> disable_cover_flow;
extern std::atomic<BOOL> hide_store_button;
extern std::atomic<BOOL> ask_before_delete;
extern std::atomic<BOOL> hide_buy_button_for_radio_track;
extern std::atomic<BOOL> hide_export_button;
extern std::atomic<BOOL> hide_edit_button;
extern std::atomic<BOOL> hide_queue_buttons;
extern std::atomic<BOOL> hide_delete_button;
extern std::atomic<BOOL> has_ArtworkOverwriteProblems;

// One preference: its key, its flag and its default, in the order in which
// LoadPrefs reads them.
struct CantrelPreference {
    const char* key;
    std::atomic<BOOL>* flag;
    BOOL defaultValue;
};

extern "C" {
// The library's initialisation routine; the loader runs it once.
CANTREL_EXPORT void CantrelInitialize();
// The preference table, for the host's `prefs` command.
CANTREL_EXPORT const CantrelPreference* Cantrel_preferences(size_t* count);
}

// The library's log line, written only while LOGGER_ON.
#define CLog(...)                           \
    do {                                    \
        if (LOGGER_ON) NSLog(__VA_ARGS__);  \
    } while (0)
