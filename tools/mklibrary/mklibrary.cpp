// mklibrary: makes a device root with a media library.
//
//   mklibrary --root DIR [--songs N] [--seed S]
//
// Exit status: 0 done, 1 the library could not be made or standard output
// could not be written, 2 bad arguments.
#include "InstalledBundles.h"
#include "MediaLibraryGenerator.h"
#include "StandardOutput.h"

#include <platform/DeviceRoot.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char* const kUsage =
    "usage: mklibrary --root DIR [--songs N] [--seed S]\n"
    "\n"
    "Makes the device root DIR (created when missing) with a media library:\n"
    "the database var/mobile/Media/iTunes_Control/iTunes/MediaLibrary.sqlitedb,\n"
    "artwork pictures and MP3 files. An existing library in DIR is replaced.\n"
    "It installs the library's resource bundle and the settings plug-in's\n"
    "bundle where a device with the package has them, and makes the\n"
    "preference folder var/mobile/Library/Preferences.\n"
    "\n"
    "  --root DIR   the device root\n"
    "  --songs N    number of songs (default 200, at most 10000000)\n"
    "  --seed S     seed of the random names and ids (default 1); the same\n"
    "               seed gives the same library\n"
    "  --help       this text\n";

bool parseNumber(const char* text, unsigned long long max, unsigned long long* out) {
    if (text == nullptr || *text < '0' || *text > '9') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > max) return false;
    *out = v;
    return true;
}

int usageError(const std::string& message) {
    std::fprintf(stderr, "mklibrary: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    platform::GenerateOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return host::reportOutputError("mklibrary") ? 1 : 0;
        }
        std::string value;
        bool hasValue = false;
        if (size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        } else if (i + 1 < argc) {
            value = argv[i + 1];
        }
        if (arg != "--root" && arg != "--songs" && arg != "--seed") return usageError("unknown argument " + arg);
        if (!hasValue) {
            if (i + 1 >= argc) return usageError(arg + " needs a value");
            ++i;
        }
        unsigned long long number = 0;
        if (arg == "--root") {
            if (value.empty()) return usageError("--root needs a folder");
            root = value;
        } else if (arg == "--songs") {
            if (!parseNumber(value.c_str(), 10000000ull, &number))
                return usageError("--songs takes a whole number from 0 to 10000000, not '" + value + "'");
            options.songs = static_cast<size_t>(number);
        } else {
            if (!parseNumber(value.c_str(), ~0ull, &number))
                return usageError("--seed takes a whole number, not '" + value + "'");
            options.seed = number;
        }
    }
    if (root.empty()) return usageError("--root is required");
    // The root as written: "a/../b" is the folder b, and a is never made.
    std::string given = root;
    root = platform::absoluteHostPath(given);
    if (root.empty()) return usageError("--root '" + given + "' is not a usable path");

    std::string error;
    platform::GenerateSummary s;
    if (!platform::generateMediaLibrary(root, options, &error, &s)) {
        std::fprintf(stderr, "mklibrary: %s\n", error.c_str());
        return 1;
    }
    // The preference folder every device has.
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(root) / "var/mobile/Library/Preferences", ec);
    if (ec || !platform::installBundles(root, &error)) {
        if (ec) error = "cannot make the preference folder: " + ec.message();
        std::fprintf(stderr, "mklibrary: %s\n", error.c_str());
        return 1;
    }
    std::printf("mklibrary: %zu songs, %zu albums, %zu album artists, %zu genres, %zu composers, %zu playlists, "
                "%zu artworks, %zu audio files in %s\n",
                s.songs, s.albums, s.albumArtists, s.genres, s.composers, s.playlists, s.artworks, s.audioFiles,
                given.c_str());
    return host::reportOutputError("mklibrary") ? 1 : 0;
}
