#include "Commands.h"

#include "Cantrel.h"

#include <objc/runtime.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>

#include <dlfcn.h>

namespace host {
namespace {

// The preference table a library exports for the host.
using PreferencesFn = const CantrelPreference* (*)(size_t*);

// The longest `run`, in seconds.
constexpr double kLongestRun = 86400;

// A number of seconds making up the whole of `text`; else false after an
// error that calls it what it is.
bool parseSeconds(Context& c, const std::string& text, double& seconds) {
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end == nullptr || *end != '\0' || std::isnan(seconds) || std::isspace(
            static_cast<unsigned char>(text[0]))) {
        *c.err << "run: SECONDS must be a number, not '" << text << "'\n";
        return false;
    }
    if (seconds < 0) {
        *c.err << "run: SECONDS " << text << " is negative\n";
        return false;
    }
    if (seconds > kLongestRun) {
        *c.err << "run: SECONDS " << text << " is too large (at most " << kLongestRun << ")\n";
        return false;
    }
    return true;
}

bool prefs(Context& c, const std::vector<std::string>&) {
    for (void* handle : c.libraries) {
        auto fn = reinterpret_cast<PreferencesFn>(dlsym(handle, "Cantrel_preferences"));
        if (fn == nullptr) continue;
        size_t count = 0;
        const CantrelPreference* table = fn(&count);
        for (size_t i = 0; i < count; ++i)
            *c.out << table[i].key << "=" << (table[i].flag->load() ? "YES" : "NO") << "\n";
        return true;
    }
    *c.err << "prefs: no injected library has preferences\n";
    return false;
}

bool installed(Context& c, const std::vector<std::string>&) {
    for (const objc_installation& e : objc_copyInstallationLog())
        *c.out << e.className << " " << e.selector << " " << e.kind << "\n";
    return true;
}

bool run(Context& c, const std::vector<std::string>& args) {
    double seconds = 0;
    if (!parseSeconds(c, args[0], seconds)) return false;
    platform::RunLoop::main().runFor(seconds);
    if (platform::RunLoop::main().quitRequested()) c.quit = true;
    return true;
}

bool quit(Context& c, const std::vector<std::string>&) {
    c.quit = true;
    return true;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// The argument counts a usage line allows. Words after the command's name
// are required; a group in brackets ("[FIRST COUNT]") is optional as a
// whole, and later groups need the earlier ones: "rows [FIRST COUNT]" takes
// 0 or 2 arguments, "open SCREEN [ID]" 1 or 2. A last word ending in "..."
// takes one or more words (the largest count is then unbounded).
std::vector<size_t> argumentCounts(const std::string& usage) {
    std::vector<std::string> w = words(usage);
    size_t required = 0;
    std::vector<size_t> groups;
    bool inGroup = false;
    for (size_t i = 1; i < w.size(); ++i) {
        const std::string& word = w[i];
        if (!inGroup && word.front() == '[') {
            inGroup = true;
            groups.push_back(0);
        }
        if (inGroup) ++groups.back();
        else ++required;
        if (inGroup && word.back() == ']') inGroup = false;
    }
    std::vector<size_t> counts{required};
    for (size_t g : groups) counts.push_back(counts.back() + g);
    return counts;
}

}  // namespace

void addCoreCommands(CommandTable& table) {
    table["prefs"] = {"prefs", "print every preference flag as key=YES|NO, in load order", prefs};
    table["installed"] = {"installed", "print the installed methods: class selector R|A", installed};
    table["run"] = {"run SECONDS", "serve the main loop that long", run};
    table["quit"] = {"quit", "end the app", quit};
}

const CommandTable& commands() {
    static const CommandTable table = [] {
        CommandTable t;
        addCoreCommands(t);
        addListCommands(t);
        addScreenCommands(t);
        addIconCommands(t);
        addSwipeCommands(t);
        addSheetCommands(t);
        addQueueCommands(t);
        addPlayingListCommands(t);
        addSaveCommands(t);
        addExportCommands(t);
        addPanelCommands(t);
        addFlipsideCommands(t);
        addNowPlayingCommands(t);
        addSearchCommands(t);
        addBadgeCommands(t);
        return t;
    }();
    return table;
}

bool parseWhole(Context& c, const char* command, const char* name, const std::string& word, long long min,
                long long max, long long& out) {
    long long value = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    bool negative = !word.empty() && word[0] == '-';
    if (end != word.data() + word.size() || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        *c.err << command << ": " << name << " must be a whole number, not '" << word << "'\n";
        return false;
    }
    bool outOfRange = ec == std::errc::result_out_of_range;
    if ((outOfRange && negative) || (!outOfRange && value < min)) {
        *c.err << command << ": " << name << " " << word;
        if (min == 0) *c.err << " is negative\n";
        else *c.err << " is too small (at least " << min << ")\n";
        return false;
    }
    if (outOfRange || value > max) {
        *c.err << command << ": " << name << " " << word << " is too large (at most " << max << ")\n";
        return false;
    }
    out = value;
    return true;
}

bool reportLibraryTrouble(Context& c, const std::string& command) {
    platform::MediaLibraryReadFailures now = platform::mediaLibraryReadFailures();
    if (now.total() == c.libraryFailuresReported.total()) return false;
    *c.err << command << ": " << now.reason << "\n";
    c.libraryFailuresReported = now;
    return true;
}

namespace {

// Commands that print what the library held when the screen or the queue
// was filled, maybe before they ran: while the last read failed, that is
// not what the library holds.
bool showsLibraryContent(const std::string& command) {
    static const char* const kShowing[] = {"queue", "nowplaying", "nowplayingscreen", "rows",
                                           "entry", "playinglist", "playlists",  "addtoplaylist"};
    return std::any_of(std::begin(kShowing), std::end(kShowing), [&](const char* name) { return command == name; });
}

}  // namespace

std::string printableText(id string) {
    if (string == nil || !objc_isKindOfClass(string, objc_getClass("NSString"))) return "";
    const char* t = objc_msgSend<const char*()>(string, "UTF8String"_sel);
    return t != nullptr ? printable(t) : "";
}

bool runLine(Context& context, const std::string& line) {
    std::vector<std::string> w = words(line);
    if (w.empty() || w[0][0] == '#') return true;
    auto it = commands().find(w[0]);
    if (it == commands().end()) {
        *context.err << "unknown command '" << w[0] << "' (try --help)\n";
        return false;
    }
    const Command& cmd = it->second;
    std::vector<std::string> args(w.begin() + 1, w.end());
    if (cmd.restOfLine && !args.empty()) {
        size_t name = line.find(w[0]);
        size_t start = line.find_first_not_of(" \t\v\f\r\n", name + w[0].size());
        args = {line.substr(start)};
    }
    std::vector<size_t> allowed = argumentCounts(cmd.usage);
    bool open = cmd.usage.size() > 3 && cmd.usage.compare(cmd.usage.size() - 3, 3, "...") == 0;
    bool fits = std::find(allowed.begin(), allowed.end(), args.size()) != allowed.end() ||
                (open && args.size() >= allowed.back());
    if (!fits) {
        *context.err << w[0] << ": expected ";
        for (size_t i = 0; i < allowed.size(); ++i)
            *context.err << (i == 0 ? "" : i + 1 == allowed.size() ? " or " : ", ") << allowed[i];
        *context.err << " argument(s), usage: " << cmd.usage << "\n";
        return false;
    }
    unsigned long failuresBefore = platform::mediaLibraryReadFailures().total();
    // A command is one user action: its reads and writes of a locked library
    // share one wait. What it says goes out after the library's trouble,
    // which is why whatever else went wrong, and so does what a command that
    // shows the library's content prints (or it is dropped).
    bool showing = showsLibraryContent(w[0]);
    std::ostringstream printed, said;
    std::ostream* out = context.out;
    std::ostream* err = context.err;
    auto restore = [&] {
        context.out = out;
        context.err = err;
    };
    if (showing) context.out = &printed;
    context.err = &said;
    bool ok = false;
    try {
        // `run` serves the main loop: what comes due there is not this
        // command's action, and waits as it would in the app.
        std::optional<platform::MediaLibraryWait> wait;
        if (w[0] != "run") wait.emplace();
        ok = cmd.run(context, args);
    } catch (...) {
        restore();
        *out << printed.str();
        *err << said.str();
        throw;
    }
    restore();
    platform::MediaLibraryReadFailures after = platform::mediaLibraryReadFailures();
    bool troubled = after.total() != failuresBefore;
    if (troubled) {
        // Unless the command has said so itself.
        if (reportLibraryTrouble(context, w[0])) ok = false;
    } else if (after.failing && showing) {
        *context.err << w[0] << ": " << after.reason << "\n";
        ok = false;
    }
    // What a list or the queue shows of a library that could not be read is
    // not what the library holds: it is not printed as if it were.
    if (showing && !troubled && !after.failing) *context.out << printed.str();
    // (Standard error is tied to standard output: only a write that is
    // there flushes it, so that main names why standard output failed.)
    if (!said.str().empty()) *context.err << said.str();
    return ok;
}

}  // namespace host
