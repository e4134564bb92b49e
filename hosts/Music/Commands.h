// The Music host's commands: one per line of a script or of standard input.
#pragma once

#include "../Printable.h"

#include <MediaPlayer/MediaLibrary.h>
#include <objc/runtime.h>

#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class MusicApp;
}
struct _UITableViewCellActionButton;
struct UIAlertController;
struct UIView;

namespace host {

struct Context {
    platform::MusicApp* app = nullptr;
    std::vector<void*> libraries;  // dlopen handles of the injected libraries
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    bool quit = false;
    // Where the host was started: host paths named on command lines are
    // relative to it (the host itself runs in the device root).
    std::string startDirectory;
    // The buttons of the last `swipe`, kept for `tap`, and the screen they
    // were revealed on: a swipe is forgotten when the screen changes or a
    // later swipe fails.
    std::vector<Strong<_UITableViewCellActionButton>> swipeButtons;
    Weak<objc_object> swipeScreen;
    // The media library's read failures up to the last one reported.
    platform::MediaLibraryReadFailures libraryFailuresReported;
    void forgetSwipe() {
        swipeButtons.clear();
        swipeScreen = nullptr;
    }
};

// A command gets its arguments (the words after its name) and returns false
// when it failed; it prints its own error.
using Handler = std::function<bool(Context&, const std::vector<std::string>&)>;

struct Command {
    std::string usage;
    std::string help;
    Handler run;
    // The command takes the rest of the line, as written, as its one
    // argument (a path with spaces).
    bool restOfLine = false;
};

using CommandTable = std::map<std::string, Command>;

// How long a command waits for the screen's transitions (a sheet or alert
// coming or going) to finish before it reports that they did not.
constexpr double kTransitionWait = 5;

// A persistent id: unsigned decimal, or the signed spelling of the same
// bits; false for anything else, after an error that calls it what it is.
bool parseID(Context& c, const char* command, const std::string& text, unsigned long long& out);
// The optional ID of "COMMAND SCREEN [ID]" (args[1]); false, with the error
// printed, for one that is not an id.
bool screenID(Context& c, const char* command, const std::vector<std::string>& args,
              std::optional<unsigned long long>& out);

// A host path named on a command line: relative ones are relative to where
// the host was started.
std::string resolveHostPath(const Context& c, const std::string& path);

// The views of the screen shown, back to front, without what is presented
// over it: the flipside view, or the view of the controller on top of the
// shown navigation stack and the stack's own view, then what stands on the
// key window over the screens (such as a badge).
std::vector<UIView*> shownViews(const Context& c);

// Tags the injected library gives the views the commands look for: the
// editing panel on a sheet's alert view, and the toolbar that holds one of
// its buttons on the now-playing controls or the flipside header.
constexpr NSInteger kPanelTag = 99;
constexpr NSInteger kButtonToolbarTag = 99;

// Every command by name.
const CommandTable& commands();

// Each group of commands adds its own (one file each).
void addCoreCommands(CommandTable& table);  // prefs, installed, run, quit
void addListCommands(CommandTable& table);    // list screens and item records
void addScreenCommands(CommandTable& table);  // pictures of the screen
void addIconCommands(CommandTable& table);    // pictures of the icons
void addSwipeCommands(CommandTable& table);   // swipe buttons of list rows
void addQueueCommands(CommandTable& table);   // the play queue and the player
void addSheetCommands(CommandTable& table);   // the edit sheet
void addPlayingListCommands(CommandTable& table);  // the navigation bar and the "Playing list"
void addSaveCommands(CommandTable& table);    // a picked picture, ID3 frames, item rows
void addExportCommands(CommandTable& table);  // the share sheet, its activities, device folders
void addPanelCommands(CommandTable& table);   // the panel's picture menu, posts and photo picker
void addFlipsideCommands(CommandTable& table);  // the flipside album view
void addSearchCommands(CommandTable& table);  // the web image search's grid
void addNowPlayingCommands(CommandTable& table);  // the now-playing screen's buttons and the playlist picker
void addBadgeCommands(CommandTable& table);   // the library's badges over the screen

// Prints bar button items as `TAG NAME` lines (`bookmarks` for the queue
// button, else the title, `-` for none), or `# no right bar items`.
void printBarItems(Context& c, id items);

// The library's panel (kPanelTag: the edit sheet's, the playlist picker's)
// that an alert controller carries over its card, or nil.
id alertPanel(id controller);
// The panel on the topmost presented alert that carries one, after the
// transitions in flight, or nil: the open edit sheet's, or with `cls` the
// topmost one of that class (the add-to-playlist picker's). *alert, when
// given, gets the alert it stands on.
id openPanel(Class cls = nil, UIAlertController** alert = nullptr);
// The panel's sub-screens, each printing its error under `command`: a tap on
// the sheet's artwork (or its placeholder), printing the picture menu's
// entries when `print`; an entry of the open menu chosen by title; the open
// photo picker given a picture (nil: cancelled). Each waits for the sheet
// or screen that follows.
bool tapArtwork(Context& c, const char* command, bool print);
bool chooseMenuEntry(Context& c, const std::string& title, const char* command);
bool finishPhotoPicker(Context& c, id picture, const char* command);
// The picture in a host file named on a command line (relative to where the
// host was started), as the photo library hands one over: a regular file of
// at most 50 MB, opened without blocking (a FIFO or a device cannot hold the
// host), decoded within the platform's pixel limit. nil after an error
// naming the file and saying why ("COMMAND: cannot read a picture from
// 'FILE': Is a directory").
id readPicture(Context& c, const char* command, const std::string& file);
// After a web-search entry of the picture menu: waits until the search has
// ended in its grid (or back at the sheet); false after an error when
// neither came.
bool waitForSearch(Context& c, const char* command);

// A whole number from `min` to `max` making up the whole of `word`. Else
// false after an error that calls it what it is: "COMMAND: NAME must be a
// whole number, not 'WORD'", "COMMAND: NAME WORD is negative", "... is too
// large (at most MAX)" or "... is too small (at least MIN)".
bool parseWhole(Context& c, const char* command, const char* name, const std::string& word, long long min,
                long long max, long long& out);

// A string object's text made printable; "" for nil or anything else.
std::string printableText(id string);

// Reads of the media library that failed since the last report (busy,
// missing, not a file, damaged): prints "COMMAND: REASON" and marks them
// reported; false when none failed. A command that reads the library and
// fails because of it reports so instead of a misleading error of its own.
bool reportLibraryTrouble(Context& c, const std::string& command);

// Runs one line; false when it failed (unknown command, bad argument, or the
// command's own failure). Blank lines and lines starting with '#' pass. The
// command is one user action: its statements share one
// platform::MediaLibraryWait (but `run`'s, which serves the main loop). A command during which a read of the media
// library failed fails with the reason, printed before its own errors, and
// so does a command that prints what a list or the queue took from the
// library while the last read failed (the launch's, say); such a command
// prints nothing else.
bool runLine(Context& context, const std::string& line);

}  // namespace host
