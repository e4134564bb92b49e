// The Music app host: registers the platform's and the app's classes, loads
// the injected libraries the way the code-injection host does (their loader
// hooks run before the app creates any object), launches the app and runs
// commands from a script or standard input.
#include "Commands.h"
#include "../HostOptions.h"
#include "../StandardOutput.h"

#include <MusicApp/MusicApp.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIScreen.h>
#include <platform/DeviceRoot.h>
#include <platform/Platform.h>
#include <platform/RunLoop.h>
#include <platform/System.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: Music --root DIR [--script FILE] [--inject LIB]... [--no-inject] [--no-radio]\n"
    "             [--idiom phone|ipad|none] [--screen WIDTHxHEIGHT[@SCALE]]\n"
    "\n"
    "Runs the Music app on the device root DIR (every device path resolves under\n"
    "it) with the injected libraries loaded; by default the Cantrel library built\n"
    "beside this program. --idiom sets the device's user interface idiom (none: a\n"
    "device that predates idioms), --screen the main screen in points (and its\n"
    "scale; 320x480@2 by default). Each alert the app shows is printed as it is\n"
    "shown: \"alert: TITLE: MESSAGE\". Commands come from FILE or standard input, one a\n"
    "line:\n";

struct Options {
    std::string root;
    std::optional<std::string> script;
    std::vector<std::string> inject;
    bool noInject = false;
    bool radio = true;
    bool setIdiom = false;
    std::optional<NSInteger> idiom;
    std::optional<CGSize> screen;
    double screenScale = 0;  // 0: keep the main screen's
};

using host::parseIdiom;
using host::parseScreen;

void printHelp(std::ostream& out) {
    out << kUsage;
    for (const auto& [name, cmd] : host::commands()) out << "  " << cmd.usage << "\n      " << cmd.help << "\n";
    out << "\nAn unknown command or bad argument prints an error and the host goes on;\n"
           "the exit status is 1 when any command failed (or standard output could not\n"
           "be written), 2 for bad options or an unreadable script, 143 when SIGTERM\n"
           "ended the host (at once, even while it waits for input).\n";
}

// Whether a journal entry is the presentation of an alert a user reads: an
// alert controller in alert style (the controller presented last) that
// carries no panel of the library: the edit sheet and the playlist picker
// are printed by their own commands, and so are action sheets.
bool presentsAnAlert(const platform::JournalEntry& e) {
    if (e.kind != "present" || e.presented != "UIAlertController") return false;
    std::vector<UIViewController*> shown = platform::presentedViewControllers();
    if (shown.empty() || !objc_isKindOfClass(objc::as_id(shown.back()), UIAlertController::cls())) return false;
    auto* alert = static_cast<UIAlertController*>(shown.back());
    return alert->_preferredStyle == UIAlertControllerStyleAlert && host::alertPanel(objc::as_id(alert)) == nil;
}

// The library built beside this program: bin/Music -> lib/libCantrel.so.
std::string defaultLibrary() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "lib" / "libCantrel.so").string();
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::cerr << "Music: " << a << " needs a value\n";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::ostringstream help;
            printHelp(help);
            std::exit(host::writeStandardOutput("Music", help.str()) ? 0 : 1);
        } else if (a == "--root") {
            if (!value(o.root)) return false;
        } else if (a == "--script") {
            std::string s;
            if (!value(s)) return false;
            o.script = s;
        } else if (a == "--inject") {
            std::string s;
            if (!value(s)) return false;
            o.inject.push_back(s);
        } else if (a == "--no-inject") {
            o.noInject = true;
        } else if (a == "--no-radio") {
            o.radio = false;
        } else if (a == "--idiom") {
            std::string s;
            if (!value(s)) return false;
            if (!parseIdiom(s, o.idiom)) {
                std::cerr << "Music: --idiom takes phone, ipad or none, not '" << s << "'\n";
                return false;
            }
            o.setIdiom = true;
        } else if (a == "--screen") {
            std::string s;
            if (!value(s)) return false;
            CGSize size;
            if (!parseScreen(s, size, o.screenScale)) {
                std::cerr << "Music: --screen takes WIDTHxHEIGHT or WIDTHxHEIGHT@SCALE in points (e.g. 320x568@2), not '"
                          << s << "'\n";
                return false;
            }
            o.screen = size;
        } else {
            std::cerr << "Music: unknown option '" << a << "' (try --help)\n";
            return false;
        }
    }
    if (o.root.empty()) {
        std::cerr << "Music: --root DIR is required (try --help)\n";
        return false;
    }
    return true;
}

// Lines of commands from a file descriptor. Waiting for input ends as soon
// as SIGTERM asks the main run loop to quit: the signal is let through only
// inside ppoll, and a short time-out catches one taken by another thread.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}

    // The next line (without its newline); nullopt at the end of the input,
    // when a quit was asked for, or on a read error (*error says why).
    std::optional<std::string> next(std::string* error) {
        for (;;) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            if (atEnd_) {
                if (buffer_.empty()) return std::nullopt;
                return std::exchange(buffer_, std::string());
            }
            if (!waitForInput(error)) return std::nullopt;
            char chunk[4096];
            ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                *error = std::strerror(errno);
                return std::nullopt;
            }
            if (n == 0) atEnd_ = true;
            else buffer_.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    // False when a quit was asked for or polling failed.
    bool waitForInput(std::string* error) {
        sigset_t term, previous;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        for (;;) {
            sigprocmask(SIG_BLOCK, &term, &previous);
            if (platform::RunLoop::main().quitRequested()) {
                sigprocmask(SIG_SETMASK, &previous, nullptr);
                return false;
            }
            pollfd p{fd_, POLLIN, 0};
            timespec patience{0, 100 * 1000 * 1000};
            int ready = ppoll(&p, 1, &patience, &previous);
            int err = errno;
            sigprocmask(SIG_SETMASK, &previous, nullptr);
            if (ready > 0) return true;
            if (ready < 0 && err != EINTR) {
                *error = std::strerror(err);
                return false;
            }
        }
    }

    int fd_;
    std::string buffer_;
    bool atEnd_ = false;
};

int runHost(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) return 2;

    // The script is named relative to where the host was started.
    int input = STDIN_FILENO;
    struct ScriptFile {
        int fd = -1;
        ~ScriptFile() {
            if (fd >= 0) close(fd);
        }
    } scriptFile;
    if (options.script) {
        scriptFile.fd = open(options.script->c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        int err = scriptFile.fd < 0 ? errno : fstat(scriptFile.fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
        if (err != 0) {
            std::cerr << "Music: cannot read script '" << *options.script << "': " << std::strerror(err) << "\n";
            return 2;
        }
        input = scriptFile.fd;
    }

    std::error_code ec;
    std::string startDirectory = fs::current_path(ec).string();
    if (!host::enterDeviceRoot("Music", options.root)) return 2;

    platform::MusicHostRegistration registration;
    if (!registration.ok()) {
        std::cerr << "Music: " << registration.error() << "\n";
        return 2;
    }

    platform::initialize();
    // The device as the app and the injected libraries will find it.
    host::applyDevice(options.setIdiom, options.idiom, options.screen, options.screenScale);
    platform::MusicAppOptions appOptions;
    appOptions.radio = options.radio;
    platform::registerMusicApp(appOptions);

    // Every alert the app shows, as it is shown, so that a script sees it.
    platform::setJournalObserver([](const platform::JournalEntry& e) {
        if (e.kind == "alert" || presentsAnAlert(e))
            std::cout << "alert: " << host::printable(e.title) << ": " << host::printable(e.message) << "\n";
    });

    host::Context context;
    context.out = &std::cout;
    context.err = &std::cerr;
    context.startDirectory = startDirectory;
    std::vector<std::string> libraries = options.inject;
    if (libraries.empty() && !options.noInject) libraries.push_back(defaultLibrary());
    for (const std::string& path : libraries) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (handle == nullptr) {
            std::cerr << "Music: cannot load '" << path << "': " << dlerror() << "\n";
            return 2;
        }
        context.libraries.push_back(handle);
    }

    platform::MusicApp app(appOptions);
    {
        // The launch's loads share one wait for a locked library.
        platform::MediaLibraryWait wait;
        app.launch();
    }
    context.app = &app;

    bool failed = false;
    LineReader reader(input);
    std::string readError;
    while (!context.quit && !platform::RunLoop::main().quitRequested()) {
        std::optional<std::string> line = reader.next(&readError);
        if (!line) break;
        platform::RunLoop::main().runPending();
        // A command may take long without serving the main loop (thousands
        // of rows, a long text): SIGTERM meanwhile ends the host at once.
        platform::MusicHostRegistration::setEndAtOnce(true, "Music: ended by SIGTERM\n");
        bool ok = host::runLine(context, *line);
        platform::MusicHostRegistration::setEndAtOnce(false);
        if (!ok) failed = true;
        if (host::reportOutputError("Music")) {
            failed = true;
            break;
        }
    }
    if (!readError.empty()) {
        std::cerr << "Music: cannot read the commands: " << readError << "\n";
        failed = true;
    }
    app.shutdown();
    if (platform::MusicHostRegistration::terminated()) std::cerr << "Music: ended by SIGTERM\n";
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    host::failWritesPastTheFileSizeLimit();
    int status = runHost(argc, argv);
    // Ended by SIGTERM after releasing everything: the shell's status for it.
    return platform::MusicHostRegistration::terminated() ? 128 + SIGTERM : status;
}
