// Tagging a 5 MB MP3 with a 300 KB picture, against copying the file once,
// and against id3lib rewriting the file itself (Update), in the same run.
// The artwork write of v2.3 and v2.4 files of 15 frames, and the export's
// tagged copy of a 20 MB file that is not MPEG, each timed against a copy of
// the same file in the same run, print their ratio; so does the artwork
// write of a tag of 160,000 frames, against reading that tag once, and the
// writer after a picture decode, against the writer without one.
#include "ID3Writer.h"
#include "TemporaryFolder.h"
#include "tests/ID3Support.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <benchmark/benchmark.h>
#include <id3/tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfile.h>
#include <platform/DeviceRoot.h>
#include <ImageIO/ImageDecoder.h>
#include <UIKit/UIImage.h>

#include <cairo.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <random>
#include <time.h>

namespace {

using Bytes = std::vector<unsigned char>;

struct Files {
    bench::TemporaryFolder folder;
    std::string dir = folder.path(), mp3, copy, image;
    Bytes audio;
    Files() {
        if (dir.empty()) {
            std::fprintf(stderr, "%s\n", folder.error().c_str());
            std::abort();
        }
        // The writer opens device files only beneath the device root.
        platform::setDeviceRoot(dir);
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

double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void syncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
}

void writeString(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    syncFile(path);
}

// A 5 MB MP3 whose ID3v2 tag of the given version holds 15 frames: texts,
// a comment, a user text and a front cover of 300 KB (which the write
// replaces).
std::string fifteenFrameMP3(int version, const Bytes& audio, const Bytes& picture) {
    using namespace id3test;
    std::string frames;
    const char* texts[] = {"TIT2", "TALB", "TPE1", "TPE2", "TRCK", "TPOS", "TCON", version == 4 ? "TDRC" : "TYER",
                           "TCOM", "TBPM", "TSSE", "TENC"};
    for (const char* id : texts) frames += text(version, id, 1, u"Text of the frame é");
    frames += frame(version, "COMM", std::string("\x01" "eng", 4) + encoded(1, u"") + terminator(1) + encoded(1, u"A comment"));
    frames += frame(version, "TXXX", std::string(1, '\0') + "MOOD" + '\0' + "calm");
    frames += id3test::picture(version, 3, 0, u"", std::string(picture.begin(), picture.end()));
    std::string file = tag(version, frames, {.padding = 2048}) + std::string(audio.begin(), audio.end());
    file.resize(5u << 20, '\0');
    return file;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Each iteration: a synced copy of the file and the artwork write of the
// same file (reset and synced beforehand), in turns first; the time counted
// is the write's, the counter "ratio" the write's median over the copy's.
void BM_ArtworkWriteAgainstSyncedCopy(benchmark::State& state) {
    Files& f = files();
    Bytes picture(300u << 10);
    std::mt19937 random(5);
    for (auto& b : picture) b = static_cast<unsigned char>(random());
    std::string original = fifteenFrameMP3(static_cast<int>(state.range(0)), f.audio, picture);
    std::vector<double> copies, writes;
    bool copyFirst = true;
    for (auto _ : state) {
        writeString(f.mp3, original);
        auto copy = [&] {
            double t0 = now();
            std::filesystem::copy_file(f.mp3, f.copy, std::filesystem::copy_options::overwrite_existing);
            syncFile(f.copy);
            copies.push_back(now() - t0);
        };
        if (copyFirst) copy();
        double t0 = now();
        if (cantrel::id3::writeArtworkTag(f.mp3, f.image) != cantrel::id3::Outcome::Written) {
            state.SkipWithError("not written");
            break;
        }
        writes.push_back(now() - t0);
        state.SetIterationTime(writes.back());
        if (!copyFirst) copy();
        copyFirst = !copyFirst;
    }
    double ratio = median(copies) > 0 ? median(writes) / median(copies) : 0;
    state.counters["ratio"] = ratio;
    std::printf("artwork write of a 5 MB ID3v2.%d file of 15 frames: %.2fx a synced copy\n", static_cast<int>(state.range(0)),
                ratio);
    f.reset();
}
BENCHMARK(BM_ArtworkWriteAgainstSyncedCopy)->Arg(3)->Arg(4)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// A tag of 160,000 small frames (1.9 MB): what it adds to the artwork
// write's work on the tag (the new tag made from the old one, in memory)
// over a tag as large that holds one frame, against reading that tag once
// with our frame walk, and, printed beside, with TagLib. In turns; medians.
std::string manyFramesTag(int frames) {
    using namespace id3test;
    const char* ids[] = {"TIT2", "TALB", "TPE1", "COMM", "TXXX", "PRIV", "TCON", "TRCK"};
    std::string body;
    body.reserve(static_cast<size_t>(frames) * 12);
    for (int i = 0; i < frames; ++i) body += frame(3, ids[i % 8], std::string(1, '\0') + static_cast<char>('a' + i % 26));
    return tag(3, body);
}

double taglibRead(const std::string& tag) {
    double t0 = now();
    TagLib::ByteVector bytes(tag.data(), static_cast<unsigned>(tag.size()));
    TagLib::ByteVectorStream stream(bytes);
    struct Memory : TagLib::File {
        explicit Memory(TagLib::IOStream* s) : TagLib::File(s) {}
        TagLib::Tag* tag() const override { return nullptr; }
        TagLib::AudioProperties* audioProperties() const override { return nullptr; }
        bool save() override { return false; }
    } file(&stream);
    TagLib::ID3v2::Tag read(&file, 0);
    benchmark::DoNotOptimize(read.frameList().size());
    return now() - t0;
}

void BM_ManyFramesTagAgainstReadingIt(benchmark::State& state) {
    using namespace id3test;
    const std::string many = manyFramesTag(160000);
    const std::string one = tag(3, frame(3, "PRIV", std::string(many.size() - 20, 'p')));
    const std::string jpeg(300u << 10, '\xAB');
    std::vector<double> manyWrites, oneWrites, walks;
    auto timed = [](std::vector<double>& into, auto&& run) {
        double t0 = now();
        run();
        into.push_back(now() - t0);
    };
    for (auto _ : state) {
        timed(manyWrites, [&] { benchmark::DoNotOptimize(cantrel::id3::renderArtworkTag(many, jpeg)); });
        timed(walks, [&] { benchmark::DoNotOptimize(cantrel::id3::walkFrames(many).frames.size()); });
        timed(oneWrites, [&] { benchmark::DoNotOptimize(cantrel::id3::renderArtworkTag(one, jpeg)); });
        state.SetIterationTime(manyWrites.back());
    }
    double added = median(manyWrites) - median(oneWrites);
    double ratio = median(walks) > 0 ? added / median(walks) : 0;
    state.counters["ratio"] = ratio;
    std::printf("artwork tag from a tag of 160k frames: adds %.2f ms (%.2f vs %.2f ms), %.2fx reading that tag once "
                "(%.2f ms); TagLib reads it in %.0f ms\n",
                added * 1e3, median(manyWrites) * 1e3, median(oneWrites) * 1e3, ratio, median(walks) * 1e3,
                taglibRead(many) * 1e3);
}
BENCHMARK(BM_ManyFramesTagAgainstReadingIt)->Iterations(15)->UseManualTime()->Unit(benchmark::kMillisecond);

// The export's tagged copy of a 20 MB file named ".mp3" that is not MPEG,
// against the plain copy the export makes of other files (a new file
// published whole and synced), alternating in each iteration.
void BM_ExportCopyOfNonMPEGAgainstCopy(benchmark::State& state) {
    Files& f = files();
    std::string source = f.dir + "/noise.mp3";
    std::string out = f.dir + "/out";
    std::filesystem::create_directories(out);
    std::string noise(20u << 20, '\0');
    std::mt19937 random(7);
    for (auto& c : noise) c = static_cast<char>(random());
    writeString(source, noise);
    platform::setDeviceRoot(f.dir);
    auto name = [](int n) { return n == 1 ? std::string("copy.mp3") : std::string(); };
    std::vector<double> copies, tagged;
    auto timed = [](std::vector<double>& into, const std::function<bool()>& run) {
        double t0 = now();
        bool ok = run();
        into.push_back(now() - t0);
        return ok;
    };
    auto copy = [&] {
        int in = ::open(source.c_str(), O_RDONLY);
        bool ok = !platform::publishNewFile(
                       out,
                       [&](const std::string&, int fd) {
                           return platform::appendFileRange(in, fd, 0, static_cast<off_t>(noise.size()));
                       },
                       name)
                       .empty();
        ::close(in);
        return ok;
    };
    auto tag = [&] { return !cantrel::id3::writeTaggedCopy(source, out, name, u"Title", u"Album", u"Artist").empty(); };
    bool copyFirst = true;
    for (auto _ : state) {
        bool ok = true;
        for (int turn = 0; turn < 2; ++turn) {
            bool copying = (turn == 0) == copyFirst;
            ok = timed(copying ? copies : tagged, copying ? std::function<bool()>(copy) : std::function<bool()>(tag)) && ok;
            std::filesystem::remove(out + "/copy.mp3");
        }
        if (!ok) {
            state.SkipWithError("not copied");
            break;
        }
        state.SetIterationTime(tagged.back());
        copyFirst = !copyFirst;
    }
    double ratio = median(copies) > 0 ? median(tagged) / median(copies) : 0;
    state.counters["ratio"] = ratio;
    std::printf("export of a 20 MB file that is not MPEG: %.2fx its copy\n", ratio);
}
BENCHMARK(BM_ExportCopyOfNonMPEGAgainstCopy)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

// What a picture decode earlier in the process costs the tag writer (a
// decoder that changed the allocator's settings for the whole process, such
// as glibc's mapping and trimming thresholds, would show here). Each turn runs the writer in two fresh processes, one
// that has decoded a small picture first and one that has not, in
// alternating order; each process times 9 runs (after one untimed) and
// reports its median. Arg 0: the artwork tag made in memory from a tag of
// 160,000 frames and from one of a single frame (the writer's own tag
// work); arg 1: the artwork write of a 5 MB file (read, new file written
// and synced). The counter "ratio": the median of the turns' ratios (after
// a decode / without).
double medianInChild(bool afterDecode, const std::function<void()>& run) {
    int out[2];
    if (pipe(out) != 0) return 0;
    pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        if (afterDecode) {
            std::vector<uint8_t> rgb(16 * 16 * 3, 0x80);
            std::vector<uint8_t> jpeg = platform::encodeRGBJPEG(rgb, 16, 16, 80);
            cairo_surface_destroy(platform::decodeImage(jpeg.data(), jpeg.size()));
        }
        run();
        std::vector<double> times;
        for (int i = 0; i < 9; ++i) {
            double t0 = now();
            run();
            times.push_back(now() - t0);
        }
        double m = median(times);
        ssize_t written = write(out[1], &m, sizeof m);
        _exit(written == sizeof m ? 0 : 1);
    }
    close(out[1]);
    double m = 0;
    if (pid < 0 || read(out[0], &m, sizeof m) != sizeof m) m = 0;
    close(out[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    return m;
}

void BM_TagWriterAfterAPictureDecode(benchmark::State& state) {
    using namespace id3test;
    Files& f = files();
    const std::string many = manyFramesTag(160000);
    const std::string one = tag(3, frame(3, "PRIV", std::string(many.size() - 20, 'p')));
    const std::string jpeg(300u << 10, '\xAB');
    Bytes picture(300u << 10);
    std::mt19937 random(5);
    for (auto& b : picture) b = static_cast<unsigned char>(random());
    const std::string original = fifteenFrameMP3(3, f.audio, picture);
    std::function<void()> run;
    if (state.range(0) == 0)
        run = [&] {
            benchmark::DoNotOptimize(cantrel::id3::renderArtworkTag(many, jpeg));
            benchmark::DoNotOptimize(cantrel::id3::renderArtworkTag(one, jpeg));
        };
    else
        run = [&] {
            writeString(f.mp3, original);
            cantrel::id3::writeArtworkTag(f.mp3, f.image);
        };
    std::vector<double> ratios;
    bool decodedFirst = false;
    for (auto _ : state) {
        double with = 0, without = 0;
        for (int turn = 0; turn < 2; ++turn) {
            bool decoded = (turn == 0) == decodedFirst;
            (decoded ? with : without) = medianInChild(decoded, run);
        }
        if (with <= 0 || without <= 0) {
            state.SkipWithError("a child process failed");
            break;
        }
        ratios.push_back(with / without);
        state.SetIterationTime(with);
        decodedFirst = !decodedFirst;
    }
    state.counters["ratio"] = median(ratios);
    std::printf("%s after a picture decode: %.3fx without\n",
                state.range(0) == 0 ? "artwork tag from 160k frames, in memory" : "artwork write of a 5 MB file",
                median(ratios));
    f.reset();
}
BENCHMARK(BM_TagWriterAfterAPictureDecode)->Arg(0)->Arg(1)->Iterations(8)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
