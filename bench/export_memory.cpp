// The resident memory of exporting a 1 GB album: the known library's album
// of three tracks, each made about 342 MB of MP3 frames under a temporary
// device root, exported from its row through FileHandler as the export
// button does (copies written with their tags, the archive), the share
// sheet's "Export to Folder" chosen. Prints the peak resident size (VmHWM of
// /proc/self/status) before and after, and fails (status 1) when the peak
// reached 64 MB. The files are removed at the end.
#include "Cantrel.h"
#include "Classes.h"
#include "EditSheetSupport.h"
#include "FileHandler.h"
#include "MediaLibraryFixture.h"
#include "TemporaryFolder.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <UIKit/UIActivityViewController.h>
#include <dispatch/dispatch.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr long kLimitKB = 64 * 1024;
constexpr unsigned long long kAlbumBytes = 1ull << 30;

long peakResidentKB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main() {
    int status = 1;
    {
        bench::TemporaryFolder root;
        if (root.path().empty()) {
            std::cerr << root.error() << "\n";
            return 1;
        }
        platform::setDeviceRoot(root.path());
        AutoreleasePool pool;
        if (!fixture::writeLibrary()) {
            std::cerr << "cannot write the media library\n";
            return 1;
        }
        // Album 202's three tracks, about a third of a gigabyte each, written
        // a frame run at a time.
        auto tone = platform::generator::toneMP3(440);
        fs::create_directories(platform::devicePath("/var/mobile/Media/Music/F00"));
        for (long long pid : {1003, 1004, 1005}) {
            std::ofstream out(platform::devicePath("/var/mobile/Media/Music/F00/" + std::to_string(pid) + ".mp3"), std::ios::binary);
            for (unsigned long long n = 0; n < kAlbumBytes / 3; n += tone.size())
                out.write(reinterpret_cast<const char*>(tone.data()), static_cast<std::streamsize>(tone.size()));
            if (!out) {
                std::cerr << "cannot write the album's files\n";
                return 1;
            }
        }
        platform::registerMusicApp();
        Cantrel_registerClasses();
        CantrelInitialize();
        platform::setManualGlobalQueues(true);
        platform::MusicApp app;
        Strong<ItemEntry> entry = test::entryForRow(app, "albums", 202);
        if (!entry) return 1;
        long before = peakResidentKB();

        objc_msgSend<void(id, int)>(FileHandler::cls(), "exportAlbum:andType:"_sel, entry.get(),
                                    static_cast<int>(entry->viewIndex));
        platform::drainGlobalQueues();
        platform::RunLoop::main().runFor(0.1);
        platform::finishTransitions(1);
        bool shared = platform::chooseActivity(platform::presentedActivitySheet(), "Export to Folder");
        platform::finishTransitions(1);
        long after = peakResidentKB();

        unsigned long long exported = 0;
        for (auto& e : fs::recursive_directory_iterator(platform::devicePath("var/mobile/Media/general_storage/Cantrel")))
            if (e.is_regular_file()) exported += e.file_size();
        std::printf("album %.0f MB; exported %.0f MB (copies and archive); share sheet %s\n",
                    kAlbumBytes / 1048576.0, exported / 1048576.0, shared ? "shown" : "missing");
        std::printf("peak resident: %.1f MB before the export, %.1f MB after (limit %ld MB)\n", before / 1024.0,
                    after / 1024.0, kLimitKB / 1024);
        status = shared && exported >= 2 * kAlbumBytes && after < kLimitKB ? 0 : 1;
        platform::setManualGlobalQueues(false);
    }
    return status;
}
