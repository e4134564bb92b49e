// The Music host's commands: one per line of a script or of standard input.
#pragma once

#include <objc/runtime.h>

#include <functional>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

namespace platform {
class MusicApp;
}
struct _UITableViewCellActionButton;

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
    // The buttons of the last `swipe`, kept for `tap`.
    std::vector<Strong<_UITableViewCellActionButton>> swipeButtons;
};

// A command gets its arguments (the words after its name) and returns false
// when it failed; it prints its own error.
using Handler = std::function<bool(Context&, const std::vector<std::string>&)>;

struct Command {
    std::string usage;
    std::string help;
    Handler run;
};

using CommandTable = std::map<std::string, Command>;

// Every command by name.
const CommandTable& commands();

// Each group of commands adds its own (one file each).
void addCoreCommands(CommandTable& table);  // prefs, installed, run, quit
void addListCommands(CommandTable& table);    // list screens and item records
void addScreenCommands(CommandTable& table);  // pictures of the screen
void addIconCommands(CommandTable& table);    // pictures of the icons
void addSwipeCommands(CommandTable& table);   // swipe buttons of list rows
void addSheetCommands(CommandTable& table);   // the edit sheet
void addSaveCommands(CommandTable& table);    // a picked picture, ID3 frames, item rows

// A whole decimal number making up all of `text`.
bool parseNumber(const std::string& text, long& out);

// Runs one line; false when it failed (unknown command, bad argument, or the
// command's own failure). Blank lines and lines starting with '#' pass.
bool runLine(Context& context, const std::string& line);

}  // namespace host
