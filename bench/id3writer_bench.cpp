// Tagging a 5 MB MP3 with a 300 KB picture, against copying the file once,
// and against id3lib rewriting the file itself (Update), in the same run.
#include "ID3Writer.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <benchmark/benchmark.h>
#include <id3/tag.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <random>

namespace {

using Bytes = std::vector<unsigned char>;

struct Files {
    std::string dir, mp3, copy, image;
    Bytes audio;
    Files() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cantrel-bench-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        mp3 = dir + "/song.mp3";
        copy = dir + "/copy.mp3";
        image = dir + "/cover.jpg";
        Bytes tone = platform::generator::toneMP3(440);
        while (audio.size() < 5u << 20) audio.insert(audio.end(), tone.begin(), tone.end());
        // The writer does not decode the picture: 300 KB of noise behind a JPEG marker.
        Bytes picture(300u << 10);
        std::mt19937 random(3);
        for (auto& b : picture) b = static_cast<unsigned char>(random());
        picture[0] = 0xFF, picture[1] = 0xD8;
        write(image, picture);
        reset();
    }
    ~Files() { std::filesystem::remove_all(dir); }
    static void write(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void reset() { write(mp3, audio); }
};

Files& files() {
    static Files f;
    return f;
}

void BM_CopyFileOnce(benchmark::State& state) {
    Files& f = files();
    for (auto _ : state)
        std::filesystem::copy_file(f.mp3, f.copy, std::filesystem::copy_options::overwrite_existing);
}
BENCHMARK(BM_CopyFileOnce)->Unit(benchmark::kMillisecond);

// The same copy made durable, as the writer's new file is (fsync).
void BM_CopyFileOnceAndSync(benchmark::State& state) {
    Files& f = files();
    for (auto _ : state) {
        std::filesystem::copy_file(f.mp3, f.copy, std::filesystem::copy_options::overwrite_existing);
        int fd = ::open(f.copy.c_str(), O_WRONLY);
        ::fsync(fd);
        ::close(fd);
    }
}
BENCHMARK(BM_CopyFileOnceAndSync)->Unit(benchmark::kMillisecond);

void BM_ExportTagWithPicture(benchmark::State& state) {
    Files& f = files();
    for (auto _ : state)
        if (cantrel::id3::writeExportTag(f.mp3, u"Title é", u"Album", u"Artist", f.image) != cantrel::id3::Outcome::Written)
            state.SkipWithError("not written");
    f.reset();
}
BENCHMARK(BM_ExportTagWithPicture)->Unit(benchmark::kMillisecond);

void BM_ArtworkTag(benchmark::State& state) {
    Files& f = files();
    for (auto _ : state)
        if (cantrel::id3::writeArtworkTag(f.mp3, f.image) != cantrel::id3::Outcome::Written)
            state.SkipWithError("not written");
    f.reset();
}
BENCHMARK(BM_ArtworkTag)->Unit(benchmark::kMillisecond);

// Reading the tag that the artwork writer keeps (after one artwork write).
void BM_ReadTagWithPicture(benchmark::State& state) {
    Files& f = files();
    cantrel::id3::writeArtworkTag(f.mp3, f.image);
    for (auto _ : state) {
        ID3_Tag tag;
        tag.Link(f.mp3.c_str(), ID3TT_ID3V2);
        benchmark::DoNotOptimize(tag.NumFrames());
    }
    f.reset();
}
BENCHMARK(BM_ReadTagWithPicture)->Unit(benchmark::kMillisecond);

// id3lib's own rewrite of the same file with the same picture frame.
void BM_ID3LibUpdate(benchmark::State& state) {
    Files& f = files();
    for (auto _ : state) {
        ID3_Tag tag;
        tag.Link(f.mp3.c_str(), ID3TT_ALL);
        tag.Strip(ID3TT_ALL);
        tag.Clear();
        ID3_Frame picture(ID3FID_PICTURE);
        picture.GetField(ID3FN_MIMETYPE)->Set("image/jpeg");
        picture.GetField(ID3FN_PICTURETYPE)->Set(11u);
        picture.GetField(ID3FN_DESCRIPTION)->Set("@brevankl");
        picture.GetField(ID3FN_DATA)->FromFile(f.image.c_str());
        tag.AddFrame(picture);
        tag.SetPadding(false);
        tag.SetUnsync(false);
        tag.Update(ID3TT_ID3V2);
    }
    f.reset();
}
BENCHMARK(BM_ID3LibUpdate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
