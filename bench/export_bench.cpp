// Exporting a 12-track album (each copy written with its ID3 tag in one pass
// under a free name, then the zip)
// against copying the same files and zipping them stored by a plain minizip
// loop, in the same run. Each file is about 4 MB of MP3 frames.
#include <benchmark/benchmark.h>

#include "FileHandler.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <platform/DeviceRoot.h>

#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace ex = cantrel::exporting;

namespace {

constexpr int kTracks = 12;

struct Files {
    std::string root;
    std::vector<std::string> sources;  // device paths
    Files() {
        char tmpl[] = "/tmp/cantrel-exportbench-XXXXXX";
        root = mkdtemp(tmpl);
        platform::setDeviceRoot(root);
        auto tone = platform::generator::toneMP3(440);
        std::string audio;
        while (audio.size() < 4u << 20) audio.append(reinterpret_cast<const char*>(tone.data()), tone.size());
        fs::create_directories(root + "/var/mobile/Media/Music");
        fs::create_directories(platform::devicePath(ex::kExportFolder));
        for (int i = 0; i < kTracks; ++i) {
            std::string device = "var/mobile/Media/Music/" + std::to_string(i) + ".mp3";
            std::ofstream(platform::devicePath(device), std::ios::binary) << audio;
            sources.push_back(device);
        }
    }
    ~Files() { fs::remove_all(root); }
};

Files& files() {
    static Files f;
    return f;
}

void BM_ExportAlbum(benchmark::State& state) {
    Files& f = files();
    std::string folder = std::string(ex::kExportFolder) + "/B";
    for (auto _ : state) {
        fs::create_directories(platform::devicePath(folder + "/Artist/Album"));
        const ex::Tags tags{u"Track", u"Album", u"Artist"};
        for (int i = 0; i < kTracks; ++i)
            ex::copyInto(folder + "/Artist/Album", "Track " + std::to_string(i), f.sources[i], nullptr, &tags);
        std::string archive = ex::zipFolder(folder);
        benchmark::DoNotOptimize(archive);
        state.PauseTiming();
        fs::remove_all(platform::devicePath(folder));
        fs::remove(platform::devicePath(folder + ".zip"));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ExportAlbum)->Unit(benchmark::kMillisecond);

void BM_PlainCopyAndZip(benchmark::State& state) {
    Files& f = files();
    std::string folder = platform::devicePath(ex::kExportFolder) + "/P";
    std::vector<char> buffer(256 * 1024);
    for (auto _ : state) {
        fs::create_directories(folder);
        for (int i = 0; i < kTracks; ++i)
            fs::copy_file(platform::devicePath(f.sources[i]), folder + "/" + std::to_string(i) + ".mp3");
        zipFile z = zipOpen64((folder + ".zip").c_str(), APPEND_STATUS_CREATE);
        for (int i = 0; i < kTracks; ++i) {
            zip_fileinfo info{};
            zipOpenNewFileInZip64(z, (std::to_string(i) + ".mp3").c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1);
            FILE* in = std::fopen((folder + "/" + std::to_string(i) + ".mp3").c_str(), "rb");
            size_t n;
            while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
                zipWriteInFileInZip(z, buffer.data(), static_cast<unsigned>(n));
            std::fclose(in);
            zipCloseFileInZip(z);
        }
        zipClose(z, nullptr);
        state.PauseTiming();
        fs::remove_all(folder);
        fs::remove(folder + ".zip");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlainCopyAndZip)->Unit(benchmark::kMillisecond);

}  // namespace
