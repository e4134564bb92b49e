// MP3 files as other taggers, damaged downloads and hostile users leave them,
// through the export's tagged copy and through the artwork write: ID3v2.2,
// 2.3 and 2.4 tags of many frames, unsynchronised, with extended headers,
// footers and compressed frames, appended tags, tags that claim more than
// their file, compressed frames that are not zlib or inflate without end,
// empty and tiny files, and files that are not MPEG at all. Nothing crashes;
// the audio comes out byte for byte; the artwork write keeps every frame but
// the pictures it replaces; what cannot be read within bounds is left as it
// was (artwork) or copied as it is (export). Results are read back by TagLib
// and, for ID3v2.3, by id3lib.
#include "ID3Support.h"
#include "TestSupport.h"

#include "Cantrel.h"
#include "ID3Layout.h"
#include "ID3Writer.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <Foundation/Foundation.h>
#include <platform/Platform.h>

#include <attachedpictureframe.h>
#include <commentsframe.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <popularimeterframe.h>
#include <privateframe.h>
#include <tbytevectorstream.h>
#include <textidentificationframe.h>
#include <unsynchronizedlyricsframe.h>

#include <id3/tag.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>

namespace {

using namespace id3test;
using TagLib::ID3v2::AttachedPictureFrame;
using cantrel::id3::Outcome;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

enum class Expect {
    Tagged,       // both writers tag the file
    BadFrames,    // the header is sound but a frame is not: the export tags its copy, the artwork write leaves the file
    Unreadable,   // the header cannot be read or claims too much: the export copies as is, the artwork write leaves the file
};

struct Sample {
    std::string name;
    std::string oldTag, audio, tail;  // the file: oldTag + audio + tail
    Expect expect = Expect::Tagged;
    int frames = 0;                   // the version of a many-frame tag (its frames are checked), or 0
    bool packed = false;              // it also holds a compressed user text "PACKED" = "yes"
    std::string file() const { return oldTag + audio + tail; }
};

std::string apeTag() {
    // An APEv2 tag of one item, with header and footer.
    std::string value = "calm";
    std::string items;
    for (uint32_t v : {static_cast<uint32_t>(value.size()), 0u})
        for (int i = 0; i < 4; ++i) items.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    items += std::string("Mood") + '\0' + value;
    auto le = [](uint32_t v) {
        std::string out;
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        return out;
    };
    uint32_t size = static_cast<uint32_t>(items.size() + 32);
    auto block = [&](uint32_t flags) { return "APETAGEX" + le(2000) + le(size) + le(1) + le(flags) + std::string(8, '\0'); };
    return block(0xA0000000u) + items + block(0x80000000u);
}

std::string lyrics3v2() {
    std::string body = "LYRICSBEGININD00002" "10" "LYR00005" "la la";
    char size[7];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    return body + size + "LYRICS200";
}

std::vector<Sample> corpus(const std::string& tone) {
    std::vector<Sample> out;
    std::string packed3 = compressedFrame(3, "TXXX", std::string(1, '\0') + "PACKED" + '\0' + "yes");
    std::string packed4 = compressedFrame(4, "TXXX", std::string(1, '\0') + "PACKED" + '\0' + "yes");
    std::string v1 = id3v1("V1 title");
    out.push_back({"v2.2 of many frames", tag(2, manyFrames(2)), tone, v1, Expect::Tagged, 2});
    out.push_back({"v2.3 of many frames", tag(3, manyFrames(3) + packed3, {.padding = 300}), tone, v1, Expect::Tagged, 3, true});
    out.push_back({"v2.4 of many frames", tag(4, manyFrames(4) + packed4, {.padding = 300}), tone, v1, Expect::Tagged, 4, true});
    out.push_back({"v2.2 unsynchronised", tag(2, manyFrames(2), {.unsynchronised = true}), tone, "", Expect::Tagged, 2});
    out.push_back({"v2.3 unsynchronised", tag(3, manyFrames(3) + packed3, {.unsynchronised = true}), tone, v1, Expect::Tagged, 3,
                   true});
    out.push_back({"v2.4 unsynchronised", tag(4, manyFrames(4, 0x0002), {.unsynchronised = true}), tone, v1, Expect::Tagged, 4});
    out.push_back({"v2.3 extended header", tag(3, manyFrames(3), {.extendedHeader = true, .padding = 64}), tone, v1,
                   Expect::Tagged, 3});
    out.push_back({"v2.4 extended header", tag(4, manyFrames(4), {.extendedHeader = true}), tone, "", Expect::Tagged, 4});
    out.push_back({"v2.4 footer, APEv2, Lyrics3 and ID3v1 at the end", tag(4, manyFrames(4) + packed4, {.footer = true}), tone,
                   apeTag() + lyrics3v2() + v1, Expect::Tagged, 4, true});

    // A compressed frame that is not zlib, with a claimed size (the bytes of
    // a crash report), and one that inflates to 48 MB.
    std::string garbage = "TIT2" + bigEndian(18, 4) + bigEndian(0x80, 2) + bigEndian(1000, 4) + "garbagegarbage";
    out.push_back({"compressed frame that is not zlib", tag(3, garbage), mpegFrames(10), "", Expect::BadFrames});
    out.push_back({"compressed frame of 48 MB", tag(3, compressedFrame(3, "TXXX", std::string(48u << 20, 'a'))),
                   mpegFrames(10), "", Expect::BadFrames});
    out.push_back({"v2.4 compressed frame of 48 MB", tag(4, compressedFrame(4, "TXXX", std::string(48u << 20, 'a'))),
                   mpegFrames(10), "", Expect::BadFrames});
    out.push_back({"encrypted frame", tag(3, frame(3, "TIT2", "\x01secret", 0x0040)), mpegFrames(10), "", Expect::BadFrames});
    out.push_back({"frame larger than its tag", tag(3, "TIT2" + bigEndian(5000, 4) + std::string(2, '\0') + "\0short"),
                   mpegFrames(10), "", Expect::Unreadable});

    // Headers that claim more than the file holds, or that cannot be read.
    std::string claim = std::string("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10);
    out.push_back({"a tag of 256 MB in a 4 KB file", claim, mpegFrames(9).substr(0, 4086), "", Expect::Unreadable});
    std::string beyond = tag(3, manyFrames(3));
    out.push_back({"a tag cut short", beyond.substr(0, beyond.size() - 40), "", "", Expect::Unreadable});
    std::string footed = tag(4, text(4, "TIT2", 0, u"x"), {.footer = true});
    out.push_back({"v2.4 footer that does not match",
                   footed.substr(0, footed.size() - 10) + "3DI" + std::string("\x04\x00\x10", 3) + syncsafe(99), mpegFrames(3),
                   "", Expect::Unreadable});
    out.push_back({"version 5", std::string("ID3\x05\x00\x00\x00\x00\x00\x14", 10) + std::string(20, 'x'), mpegFrames(3), "",
                   Expect::Unreadable});
    out.push_back({"a size that is not syncsafe", std::string("ID3\x03\x00\x00\x00\x00\x00\x80", 10), mpegFrames(3), "",
                   Expect::Unreadable});
    out.push_back({"a header of five bytes", std::string("ID3\x03\x00", 5), "", "", Expect::Unreadable});

    // Files with little or nothing in them, and no MPEG at all.
    out.push_back({"zero-length file", "", "", "", Expect::Tagged});
    out.push_back({"a header alone (10 bytes)", tag(3, ""), "", "", Expect::Tagged});
    out.push_back({"ten bytes that are no tag", "", "0123456789", "", Expect::Tagged});
    std::string noise(200u << 10, '\0');
    std::mt19937 random(20);
    for (auto& c : noise) c = static_cast<char>(random());
    noise[0] = 'x';
    out.push_back({"not MPEG", "", noise, "", Expect::Tagged});
    return out;
}

class ID3HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::initialize();
        auto tone = platform::generator::toneMP3(440);
        tone_.assign(tone.begin(), tone.end());
        auto jpeg = platform::generator::artworkJPEG(1, 64);
        jpeg_.assign(jpeg.begin(), jpeg.end());
        image_ = root_.path() + "/cover.jpg";
        writeFile(image_, jpeg_);
    }

    test::TempRoot root_;
    std::string tone_, jpeg_, image_;
};

std::string str(const TagLib::String& s) { return s.to8Bit(true); }

TagLib::ID3v2::Frame* first(TagLib::ID3v2::Tag* tag, const char* id) {
    const auto& list = tag->frameListMap()[id];
    return list.isEmpty() ? nullptr : list.front();
}

std::string userText(TagLib::ID3v2::Tag* tag, const char* description) {
    auto* frame = TagLib::ID3v2::UserTextIdentificationFrame::find(tag, description);
    return frame && frame->fieldList().size() > 1 ? str(frame->fieldList()[1]) : "";
}

// Every frame of the many-frame tag that the artwork write keeps, and only
// our picture in place of those it replaces.
void expectFramesKept(TagLib::ID3v2::Tag* tag, const Sample& s, const std::string& jpeg) {
    EXPECT_EQ(str(tag->title()), "東京の夜 🎵");
    EXPECT_EQ(str(tag->album()), "Album");
    EXPECT_EQ(str(tag->artist()), "山田太郎");
    EXPECT_EQ(tag->track(), 7u);
    EXPECT_EQ(str(tag->genre()), "Jazz");
    EXPECT_EQ(tag->year(), 2001u);
    EXPECT_EQ(str(tag->comment()), "A comment");
    auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(first(tag, "USLT"));
    ASSERT_NE(lyrics, nullptr);
    EXPECT_EQ(str(lyrics->text()), "Some lyrics");
    EXPECT_EQ(userText(tag, "MOOD"), "calm");
    if (s.packed) {
        EXPECT_EQ(userText(tag, "PACKED"), "yes");
    }
    if (s.frames != 2) {
        auto* priv = dynamic_cast<TagLib::ID3v2::PrivateFrame*>(first(tag, "PRIV"));
        ASSERT_NE(priv, nullptr);
        EXPECT_EQ(str(priv->owner()), "owner@example");
        EXPECT_EQ(std::string(priv->data().data(), priv->data().size()), kPrivate);
    }
    auto* popm = dynamic_cast<TagLib::ID3v2::PopularimeterFrame*>(first(tag, "POPM"));
    ASSERT_NE(popm, nullptr);
    EXPECT_EQ(popm->rating(), 200);
    ASSERT_NE(first(tag, "TCOM"), nullptr);
    EXPECT_EQ(str(first(tag, "TCOM")->toString()), "Composer");

    std::vector<AttachedPictureFrame*> pictures;
    for (auto* f : tag->frameListMap()["APIC"]) pictures.push_back(static_cast<AttachedPictureFrame*>(f));
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0]->type(), AttachedPictureFrame::BackCover);
    EXPECT_EQ(std::string(pictures[0]->picture().data(), pictures[0]->picture().size()), kBackCover);
    EXPECT_EQ(static_cast<int>(pictures[1]->type()), 11);
    EXPECT_EQ(str(pictures[1]->description()), "@brevankl");
    EXPECT_EQ(str(pictures[1]->mimeType()), "image/jpeg");
    EXPECT_EQ(std::string(pictures[1]->picture().data(), pictures[1]->picture().size()), jpeg);
}

// What id3lib, a second reader, finds in an ID3v2.3 tag we wrote: the frame
// count TagLib gives and, when `jpeg` is given, our picture.
void expectID3LibReads(const std::string& path, size_t frames, const std::string* jpeg) {
    ID3_Tag tag;
    tag.Link(path.c_str(), ID3TT_ID3V2);
    EXPECT_EQ(tag.NumFrames(), frames);
    EXPECT_NE(tag.Find(ID3FID_TITLE), nullptr);
    if (jpeg) {
        ID3_Frame* picture = tag.Find(ID3FID_PICTURE, ID3FN_DESCRIPTION, "@brevankl");
        ASSERT_NE(picture, nullptr);
        ID3_Field* data = picture->GetField(ID3FN_DATA);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data->GetRawBinary()), data->Size()), *jpeg);
        EXPECT_EQ(picture->GetField(ID3FN_PICTURETYPE)->Get(), 11u);
    }
}

TEST_F(ID3HostileTest, ArtworkWriteKeepsAudioAndFramesOrLeavesTheFile) {
    for (const Sample& s : corpus(tone_)) {
        SCOPED_TRACE(s.name);
        std::string path = root_.path() + "/artwork.mp3";
        std::string before = s.file();
        writeFile(path, before);
        std::string why;
        Outcome outcome = cantrel::id3::writeArtworkTag(path, image_, &why);
        std::string after = readFile(path);
        if (s.expect != Expect::Tagged) {
            EXPECT_EQ(outcome, Outcome::Untouched);
            EXPECT_FALSE(why.empty());
            EXPECT_TRUE(after == before) << "the file changed";
            continue;
        }
        ASSERT_EQ(outcome, Outcome::Written) << why;
        cantrel::id3::Layout layout = cantrel::id3::locateTags(after);
        ASSERT_TRUE(layout.readable) << layout.problem;
        // The audio and every appended tag, byte for byte, after the new tag.
        EXPECT_TRUE(after.substr(layout.tagEnd) == s.audio + s.tail) << "audio or appended tags changed";
        EXPECT_EQ(layout.version, s.frames == 0 ? 3 : s.frames) << "not the old tag's version";

        TagLib::MPEG::File f(path.c_str());
        ASSERT_TRUE(f.hasID3v2Tag());
        TagLib::ID3v2::Tag* tag = f.ID3v2Tag();
        if (s.frames != 0) {
            expectFramesKept(tag, s, jpeg_);
        } else {
            ASSERT_EQ(tag->frameList().size(), 1u);
            auto* picture = dynamic_cast<AttachedPictureFrame*>(tag->frameList().front());
            ASSERT_NE(picture, nullptr);
            EXPECT_EQ(std::string(picture->picture().data(), picture->picture().size()), jpeg_);
        }
        EXPECT_EQ(f.hasID3v1Tag(), s.tail.find("TAG") != std::string::npos);
        // id3lib reads no compressed frame (kept compressed, as it was) without crashing.
        if (layout.version == 3 && s.frames != 0 && !s.packed) expectID3LibReads(path, tag->frameList().size(), &jpeg_);
    }
}

TEST_F(ID3HostileTest, ExportCopyHoldsTheNewTagAndTheAudioOrTheFileAsItIs) {
    std::string folder = root_.path() + "/out";
    std::filesystem::create_directories(folder);
    int n = 0;
    for (const Sample& s : corpus(tone_)) {
        SCOPED_TRACE(s.name);
        std::string source = root_.path() + "/source.mp3";
        std::string before = s.file();
        writeFile(source, before);
        std::string base = "copy" + std::to_string(++n);
        std::string why;
        std::string name = cantrel::id3::writeTaggedCopy(
            source, folder, [&](int i) { return i == 1 ? base + ".mp3" : ""; }, u"Título 東京 🎶", u"Album", u"Artist",
            &why);
        ASSERT_EQ(name, base + ".mp3") << why;
        std::string copy = readFile(folder + "/" + name);
        EXPECT_TRUE(readFile(source) == before) << "the source changed";
        if (s.expect == Expect::Unreadable) {
            EXPECT_TRUE(copy == before) << "not copied as it is";
            continue;
        }
        cantrel::id3::Layout layout = cantrel::id3::locateTags(copy);
        ASSERT_TRUE(layout.readable) << layout.problem;
        EXPECT_EQ(layout.audioEnd, copy.size()) << "an appended tag in the copy";
        EXPECT_TRUE(copy.substr(layout.tagEnd) == s.audio) << "the audio changed";

        TagLib::MPEG::File f((folder + "/" + name).c_str());
        ASSERT_TRUE(f.hasID3v2Tag());
        EXPECT_FALSE(f.hasID3v1Tag());
        EXPECT_FALSE(f.hasAPETag());
        TagLib::ID3v2::Tag* tag = f.ID3v2Tag();
        std::vector<std::string> ids;
        for (auto* frame : tag->frameList()) ids.emplace_back(frame->frameID().data(), 4);
        EXPECT_EQ(ids, (std::vector<std::string>{"TIT2", "TALB", "TPE1"}));
        EXPECT_EQ(str(tag->title()), "Título 東京 🎶");
        EXPECT_EQ(tag->header()->majorVersion(), 3u);
        expectID3LibReads(folder + "/" + name, 3, nullptr);
    }
}

// Frames of ID3v2.3 that v2.4 retired (dates, size, equalisation, volume
// adjustment) stay through the artwork write, byte for byte; a frame marked
// to be dropped once the tag changes is dropped.
TEST_F(ID3HostileTest, ArtworkWriteKeepsRetiredFramesAndDropsThoseMarkedSo) {
    const std::string retired[] = {
        text(3, "TRDA", 0, u"2nd March"),
        text(3, "TSIZ", 0, u"123456"),
        text(3, "TIME", 0, u"1234"),
        frame(3, "EQUA", std::string("\x10\x80\x40\x00\x10", 5)),
        frame(3, "RVAD", std::string("\x03\x10\x00\x20\x00\x30\x00\x40\x00\x50", 10)),
    };
    std::string frames = text(3, "TIT2", 1, kTitle);
    for (const auto& f : retired) frames += f;
    frames += text(3, "TPE1", 0, u"Artist") + text(3, "TENC", 0, u"dropped", 0x8000);
    std::string path = root_.path() + "/retired.mp3";
    writeFile(path, tag(3, frames) + tone_);

    ASSERT_EQ(cantrel::id3::writeArtworkTag(path, image_), Outcome::Written);
    std::string after = readFile(path);
    cantrel::id3::Layout layout = cantrel::id3::locateTags(after);
    ASSERT_TRUE(layout.readable);
    std::string written = after.substr(0, layout.tagEnd);
    for (const auto& f : retired) EXPECT_NE(written.find(f), std::string::npos) << f.substr(0, 4) << " not kept as it was";
    TagLib::MPEG::File file(path.c_str());
    ASSERT_TRUE(file.hasID3v2Tag());
    TagLib::ID3v2::Tag* read = file.ID3v2Tag();
    EXPECT_EQ(str(read->title()), "東京の夜 🎵");
    EXPECT_EQ(str(read->artist()), "Artist");
    for (const char* id : {"TRDA", "TSIZ", "EQUA", "RVAD"}) EXPECT_EQ(read->frameListMap()[id].size(), 1u) << id;
    EXPECT_TRUE(read->frameListMap()["TENC"].isEmpty());
    EXPECT_EQ(read->frameListMap()["APIC"].size(), 1u);
    EXPECT_TRUE(after.substr(layout.tagEnd) == tone_);
    expectID3LibReads(path, read->frameList().size(), &jpeg_);
}

// The frames of a tag as this test reads it, independently of the writer:
// the header, a v2.2/v2.3 unsynchronisation of the whole tag undone, an
// extended header skipped by its size (or by `extended` bytes when given),
// then frames (frames of size 0 left out) up to the first zero byte or the
// end. nullopt when a frame does not fit; `rest` is what follows the last
// frame.
struct Split {
    int version = 0;
    unsigned flags = 0;
    std::vector<std::string> frames;
    std::string rest;
};
std::optional<Split> splitFrames(const std::string& t, std::optional<size_t> extended = std::nullopt) {
    if (t.size() < 10 || t.compare(0, 3, "ID3") != 0) return std::nullopt;
    Split out;
    out.version = t[3];
    out.flags = static_cast<unsigned char>(t[5]);
    auto u = [](const std::string& b, size_t at, int n, int bits) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << bits) | static_cast<unsigned char>(b[at + i]);
        return static_cast<size_t>(v);
    };
    size_t size = u(t, 6, 4, 7);
    if (t.size() < 10 + size) return std::nullopt;
    std::string body = t.substr(10, size);
    if ((out.flags & 0x80) && out.version < 4) {
        std::string plain;
        for (size_t i = 0; i < body.size(); ++i) {
            plain.push_back(body[i]);
            if (body[i] == '\xFF' && i + 1 < body.size() && body[i + 1] == 0) ++i;
        }
        body = plain;
    }
    size_t pos = 0;
    if ((out.flags & 0x40) && out.version >= 3) {
        if (body.size() < 4) return std::nullopt;
        pos = extended ? *extended : out.version == 3 ? 4 + u(body, 0, 4, 8) : u(body, 0, 4, 7);
    }
    size_t head = out.version == 2 ? 6 : 10;
    while (pos < body.size() && body[pos] != 0) {
        if (body.size() - pos < head) return std::nullopt;
        size_t length = out.version == 2 ? u(body, pos + 3, 3, 8) : u(body, pos + 4, 4, out.version == 4 ? 7 : 8);
        if (length > body.size() - pos - head) return std::nullopt;
        if (length > 0) out.frames.push_back(body.substr(pos, head + length));
        pos += head + length;
    }
    if (pos > body.size()) return std::nullopt;
    out.rest = body.substr(pos);
    return out;
}

// Tags as other taggers and damaged files leave them, through the artwork
// write: each frame kept is the bytes it was, in its order, in the tag's own
// version, with our picture after them, and the audio and appended tags
// follow byte for byte. Frames that hold nothing or are marked to go when
// the tag changes go; a tag whose size runs past its frames into what is not
// zeros is not trusted: the file stays as it was and the export copies it as
// it is.
TEST_F(ID3HostileTest, ArtworkWriteCopiesEveryOtherFrameAsItsBytes) {
    struct Case {
        std::string name;
        int version;
        std::vector<std::pair<std::string, bool>> frames;  // each frame, and whether it is kept
        std::string extended = {};                         // an extended header before the frames ("" none)
        size_t padding = 0;
    };
    const std::string hello = text(3, "TIT2", 0, u"Hello");
    auto utf16NoBOM = [](const std::string& id, const std::u16string& t) {
        std::string data = "\x01";
        for (char16_t c : t) data += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        return frame(3, id, data);
    };
    const Case cases[] = {
        {"frames of size 0", 3,
         {{hello, true}, {frame(3, "TALB", ""), false}, {text(3, "TPE1", 0, u"Artist"), true}, {frame(3, "TPE2", ""), false}}},
        {"an extended header whose size says a CRC its flags do not promise", 3,
         {{hello, true}, {text(3, "TALB", 0, u"Album"), true}},
         bigEndian(10, 4) + std::string(2, '\0') + bigEndian(0, 4), 16},
        {"an extended header flag without an extended header", 3, {{hello, true}, {text(3, "TALB", 0, u"Album"), true}}, "\x01"},
        {"v2.4 frames shorter than their flags say (they hold nothing)", 4,
         {{text(4, "TIT2", 3, u"Title"), true}, {frame(4, "TALB", "abc", 0x0001), false}, {frame(4, "TPE1", "\x03", 0x0040), false},
          {text(4, "TPE2", 3, u"Band"), true}}},
        {"UTF-16 without a byte-order mark", 3,
         {{utf16NoBOM("TIT2", u"Nocturne"), true},
          {frame(3, "COMM", std::string("\x01" "eng\x00\x00", 6) + encoded(1, u"Nocturne").substr(2)), true}}},
        {"invalid UTF-8 and an unknown encoding", 4,
         {{frame(4, "TIT2", "\x03\xC3\x28 bad \xFF"), true}, {frame(4, "TALB", "\x07" "seven"), true}}},
        {"a user text without description, multiple values with empty ones", 4,
         {{frame(4, "TXXX", std::string("\x00\x00value", 7)), true},
          {frame(4, "TPE1", std::string("\x03" "A\x00\x00" "B\x00", 7)), true}}},
        {"a genre by number, a URL-form feed, a v2.3 recording time", 3,
         {{text(3, "TCON", 0, u"(17)Rock"), true},
          {frame(3, "WFED", "http://example.com/feed"), true},
          {text(3, "TDRC", 0, u"2001-02-03"), true},
          {text(3, "TYER", 0, u"2001"), true}}},
        {"v2.2 with day and month, time and a frame of no later name", 2,
         {{text(2, "TT2", 0, u"Title"), true},
          {text(2, "TDA", 0, u"0302"), true},
          {text(2, "TIM", 0, u"1234"), true},
          {frame(2, "XYZ", "private bytes"), true},
          {picture(2, 3, 0, u"front", "front cover"), false}}},
        {"pictures ours in any encoding, front and other go; others and marked frames as said", 4,
         {{picture(4, 11, 3, u"@brevankl", "ours in UTF-8"), false},
          {picture(4, 6, 1, u"@brevankl", "ours in UTF-16"), false},
          {picture(4, 11, 0, u"composer", "a composer's picture"), true},
          {picture(4, 0, 0, u"", "other"), false},
          {picture(4, 4, 0, u"back", kBackCover), true},
          {text(4, "TENC", 0, u"goes", 0x4000), false},
          {text(4, "TCOP", 0, u"stays", 0x2000), true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string frames;
        for (const auto& [bytes, kept] : c.frames) frames += bytes;
        std::string body = c.extended == "\x01" ? frames : c.extended + frames;
        body += std::string(c.padding, '\0');
        unsigned flags = c.extended.empty() ? 0 : 0x40;
        std::string old = std::string("ID3") + static_cast<char>(c.version) + '\0' + static_cast<char>(flags) +
                          syncsafe(static_cast<uint32_t>(body.size())) + body;
        std::string audio = mpegFrames(10) + id3v1("V1");
        std::string path = root_.path() + "/shape.mp3";
        writeFile(path, old + audio);
        std::string why;
        ASSERT_EQ(cantrel::id3::writeArtworkTag(path, image_, &why), Outcome::Written) << why;
        std::string after = readFile(path);
        cantrel::id3::Layout layout = cantrel::id3::locateTags(after);
        ASSERT_TRUE(layout.readable);
        EXPECT_TRUE(after.substr(layout.tagEnd) == audio) << "audio or appended tags changed";
        std::optional<Split> split = splitFrames(after.substr(0, layout.tagEnd));
        ASSERT_TRUE(split);
        EXPECT_EQ(split->version, c.version);
        EXPECT_EQ(split->rest, "") << "padding written";
        ASSERT_FALSE(split->frames.empty());
        std::vector<std::string> expected;
        for (const auto& [bytes, kept] : c.frames)
            if (kept && bytes.size() > (c.version == 2 ? 6u : 10u)) expected.push_back(bytes);
        EXPECT_EQ(std::vector<std::string>(split->frames.begin(), split->frames.end() - 1), expected);
        const std::string& ours = split->frames.back();
        EXPECT_EQ(ours.substr(0, c.version == 2 ? 3 : 4), c.version == 2 ? "PIC" : "APIC");
        EXPECT_TRUE(ours.size() > jpeg_.size() && ours.substr(ours.size() - jpeg_.size()) == jpeg_);
        TagLib::MPEG::File f(path.c_str());
        ASSERT_TRUE(f.hasID3v2Tag());
        std::vector<std::string> descriptions;
        for (auto* frame : f.ID3v2Tag()->frameListMap()["APIC"])
            if (static_cast<AttachedPictureFrame*>(frame)->type() == 11)
                descriptions.push_back(str(static_cast<AttachedPictureFrame*>(frame)->description()));
        ASSERT_FALSE(descriptions.empty());
        EXPECT_EQ(descriptions.back(), "@brevankl");
    }

    // The size claims more than the frames and their zeros: it runs into the
    // audio, or a frame follows a zero byte.
    const std::string untrusted[] = {
        text(3, "TIT2", 0, u"Title") + std::string(1000, '\0') + mpegFrames(10),
        hello + std::string(1, '\0') + text(3, "TALB", 0, u"Album") + text(3, "COMM", 0, u"x"),
    };
    std::string folder = root_.path() + "/out";
    std::filesystem::create_directories(folder);
    for (const std::string& body : untrusted) {
        std::string file = std::string("ID3\x03\x00\x00", 6) + syncsafe(static_cast<uint32_t>(body.size())) + body +
                           mpegFrames(3) + id3v1("V1");
        std::string path = root_.path() + "/untrusted.mp3";
        writeFile(path, file);
        std::string why, forUser;
        EXPECT_EQ(cantrel::id3::writeArtworkTag(path, image_, &why, &forUser), Outcome::Untouched);
        EXPECT_TRUE(readFile(path) == file) << "the file changed";
        // Words for a person, not the log's technical text.
        EXPECT_FALSE(forUser.empty());
        EXPECT_NE(forUser, why);
        EXPECT_EQ(forUser.find(path), std::string::npos) << forUser;
        std::string name = cantrel::id3::writeTaggedCopy(
            path, folder, [](int i) { return i == 1 ? std::string("copy.mp3") : std::string(); }, u"T", u"A", u"R");
        ASSERT_EQ(name, "copy.mp3");
        EXPECT_TRUE(readFile(folder + "/copy.mp3") == file) << "not copied as it is";
        std::filesystem::remove(folder + "/copy.mp3");
    }
}

// A song whose path is a symlink inside the device: the target gets the
// picture and the link stays a link. One that leads out of the device is
// left alone.
TEST_F(ID3HostileTest, ArtworkWriteThroughASymlinkRewritesItsTarget) {
    std::string media = root_.host("/var/mobile/Media/Music");
    std::filesystem::create_directories(media);
    std::string target = media + "/real.mp3";
    std::string before = tag(3, manyFrames(3)) + tone_;
    writeFile(target, before);
    std::filesystem::create_symlink("real.mp3", media + "/link.mp3");
    std::string art = root_.host("/var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals/01");
    std::filesystem::create_directories(art);
    writeFile(art + "/a.jpg", jpeg_);

    id result = setID3TagArtwork(nil, nullptr, "/var/mobile/Media/Music/link.mp3"_ns, "01/a.jpg"_ns);
    EXPECT_EQ(objc_msgSend<int()>(result, "intValue"_sel), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(media + "/link.mp3"));
    EXPECT_EQ(std::filesystem::read_symlink(media + "/link.mp3"), "real.mp3");
    TagLib::MPEG::File f(target.c_str());
    ASSERT_TRUE(f.hasID3v2Tag());
    EXPECT_EQ(str(f.ID3v2Tag()->title()), "東京の夜 🎵");
    bool ours = false;
    for (auto* frame : f.ID3v2Tag()->frameListMap()["APIC"])
        ours = ours || str(static_cast<AttachedPictureFrame*>(frame)->description()) == "@brevankl";
    EXPECT_TRUE(ours);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(media), {}), 2) << "no file left beside";

    // Out of the device: nothing written there.
    test::TempRoot outside;  // makes itself the device root: set ours back
    platform::setDeviceRoot(root_.path());
    std::string away = outside.path() + "/away.mp3";
    writeFile(away, before);
    std::filesystem::create_symlink(away, media + "/away.mp3");
    setID3TagArtwork(nil, nullptr, "/var/mobile/Media/Music/away.mp3"_ns, "01/a.jpg"_ns);
    EXPECT_TRUE(readFile(away) == before);
    EXPECT_TRUE(std::filesystem::is_symlink(media + "/away.mp3"));
}

}  // namespace

namespace {

// One random change to a tag: bytes set to random or boundary values, size
// fields and flags rewritten, bytes cut, inserted or removed.
void mutate(std::string& t, std::mt19937& random) {
    auto pick = [&](size_t n) { return n == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    static const unsigned char boundary[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    switch (pick(7)) {
        case 0:
            if (!t.empty()) t[pick(t.size())] = static_cast<char>(random());
            break;
        case 1:
            if (!t.empty()) t[pick(t.size())] = static_cast<char>(boundary[pick(sizeof boundary)]);
            break;
        case 2: {  // a size: the header's, or four bytes anywhere
            static const uint32_t sizes[] = {0, 1, 0x7F7F7F7F, 0xFFFFFFFF, 0x80, 0x0FFFFFFF};
            uint32_t v = pick(2) ? sizes[pick(std::size(sizes))] : static_cast<uint32_t>(random());
            size_t at = pick(3) == 0 ? 6 : pick(t.size());
            for (int i = 0; i < 4 && at + i < t.size(); ++i) t[at + i] = static_cast<char>(v >> (8 * (3 - i)));
            break;
        }
        case 3:
            t.resize(pick(t.size() + 1));
            break;
        case 4: {
            std::string bytes(1 + pick(16), '\0');
            for (auto& c : bytes) c = static_cast<char>(random());
            t.insert(pick(t.size() + 1), bytes);
            break;
        }
        case 5:
            if (!t.empty()) {
                size_t at = pick(t.size());
                t.erase(at, 1 + pick(std::min<size_t>(32, t.size() - at)));
            }
            break;
        default: {  // a bit of the header's version and flags, or of any byte
            size_t at = pick(2) ? 3 + pick(3) : pick(t.size());
            if (at < t.size()) t[at] = static_cast<char>(t[at] ^ (1 << pick(8)));
            break;
        }
    }
}

// The pictures described as ours in a tag, read by TagLib.
std::vector<std::string> ourPictures(const std::string& tag) {
    struct Memory : TagLib::File {
        explicit Memory(TagLib::IOStream* s) : TagLib::File(s) {}
        TagLib::Tag* tag() const override { return nullptr; }
        TagLib::AudioProperties* audioProperties() const override { return nullptr; }
        bool save() override { return false; }
    };
    TagLib::ByteVector bytes(tag.data(), static_cast<unsigned>(tag.size()));
    TagLib::ByteVectorStream stream(bytes);
    Memory file(&stream);
    TagLib::ID3v2::Tag read(&file, 0);
    std::vector<std::string> out;
    for (auto* frame : read.frameListMap()["APIC"]) {
        auto* picture = static_cast<AttachedPictureFrame*>(frame);
        if (str(picture->description()) == "@brevankl" && static_cast<int>(picture->type()) == 11)
            out.emplace_back(picture->picture().data(), picture->picture().size());
    }
    return out;
}

// Twenty thousand randomly changed tags of one version, from a fixed seed,
// through the bounded reader and the frame keeper: each is refused or
// gives a new tag that reads back whole, of its own length, holding our
// picture (and, read by TagLib in one round of sixteen, only one picture of
// ours); the audio after it is where the reader says, before the appended
// tags (which one round in four changes as well).
void mutationRounds(int version) {
    constexpr int kRounds = 20000;
    std::mt19937 random(20261207 + version);
    const std::string jpeg = "\xFF\xD8\xFF\xE0 a picture";
    const std::string tail = mpegFrames(2) + apeTag() + lyrics3v2() + id3v1("title");
    {
        // Eight frames of the kinds the keeper tells apart: texts, a comment,
        // a compressed user text (v2.3, v2.4), pictures kept and replaced.
        auto frames = [&](uint16_t flags) {
            bool v2 = version == 2;
            std::string out = text(version, v2 ? "TT2" : "TIT2", 1, kTitle, flags) +
                              text(version, v2 ? "TP1" : "TPE1", version == 4 ? 3 : 0, u"Artist", flags) +
                              frame(version, v2 ? "COM" : "COMM", std::string("\x00" "eng\x00" "A comment", 14), flags) +
                              picture(version, 4, 0, u"back", kBackCover, flags) + picture(version, 3, 0, u"front", "f", flags) +
                              picture(version, 8, 1, u"@brevankl", "ours", flags);
            if (!v2) out += compressedFrame(version, "TXXX", std::string(1, '\0') + "PACKED" + '\0' + "yes");
            if (!v2) out += frame(version, "PRIV", "owner" + std::string(1, '\0') + kPrivate, flags);
            return out;
        };
        const std::string bases[] = {
            tag(version, frames(0), {.padding = 16}),
            tag(version, frames(version == 4 ? 0x0002 : 0),
                {.unsynchronised = true, .extendedHeader = version > 2, .footer = version == 4}),
        };
        int kept = 0, refused = 0, split = 0;
        for (int round = 0; round < kRounds; ++round) {
            std::string t = bases[round % 2];
            for (size_t changes = 1 + random() % 3; changes > 0; --changes) mutate(t, random);
            // One round in four changes the appended tags as well.
            std::string audio = tail;
            if (round % 4 == 3) mutate(audio, random);
            std::string file = t + audio;
            cantrel::id3::Layout layout = cantrel::id3::locateTags(file);
            if (!layout.readable) {
                ++refused;
                continue;
            }
            ASSERT_LE(layout.tagEnd, layout.audioEnd) << round;
            ASSERT_LE(layout.audioEnd, file.size()) << round;
            std::optional<std::string> out = cantrel::id3::renderArtworkTag(std::string_view(file).substr(0, layout.tagEnd), jpeg);
            if (!out) {
                ++refused;
                continue;
            }
            ++kept;
            cantrel::id3::Layout again = cantrel::id3::locateTags(*out + audio);
            ASSERT_TRUE(again.readable) << round << ": " << again.problem;
            ASSERT_EQ(again.tagEnd, out->size()) << round;
            ASSERT_LE(again.audioEnd, out->size() + audio.size()) << round;
            if (round % 4 != 3) {
                ASSERT_EQ(again.audioEnd, out->size() + mpegFrames(2).size()) << round << ": appended tags not found";
            }
            std::optional<Split> written = splitFrames(*out);
            ASSERT_TRUE(written) << round;
            ASSERT_EQ(written->rest, "") << round << ": padding left";
            // Nothing lost beyond the frames: after the old tag's last frame
            // (read the standard way) only zeros, and every frame of ours
            // written is one of the old tag's, as it was.
            // An extended header is read by its size, or else by any length
            // of up to 16 bytes that leaves frames and zeros after it.
            auto clean = [](const std::optional<Split>& s) {
                return s && s->rest.find_first_not_of('\0') == std::string::npos;
            };
            std::optional<Split> old = splitFrames(t.substr(0, layout.tagEnd));
            for (size_t length = 0; length <= 16 && !clean(old); ++length)
                if (auto other = splitFrames(t.substr(0, layout.tagEnd), length); clean(other)) old = other;
            if (old) {
                ++split;
                ASSERT_EQ(old->rest.find_first_not_of('\0'), std::string::npos) << round << ": bytes after the frames lost";
                std::string oldFrames;
                for (const auto& f : old->frames) oldFrames += f;
                for (size_t i = 0; i + 1 < written->frames.size(); ++i)
                    ASSERT_NE(oldFrames.find(written->frames[i]), std::string::npos) << round << ": frame " << i << " changed";
            }
            // (unsynchronised in a v2.4 tag whose frames all are)
            ASSERT_TRUE(out->find(jpeg) != std::string::npos || out->find(unsynchronise(jpeg)) != std::string::npos) << round;
            if (round % 16 == 0) {
                ASSERT_EQ(ourPictures(*out), std::vector<std::string>{jpeg}) << round;
            }
        }
        EXPECT_GT(kept, kRounds / 10);
        EXPECT_GT(refused, kRounds / 10);
        EXPECT_GT(split, kept / 2);
        std::printf("ID3v2.%d: %d new tags, %d refused\n", version, kept, refused);
    }
}

TEST(ID3Mutation, ChangedV22TagsAreReadWithinBoundsOrRefused) { mutationRounds(2); }
TEST(ID3Mutation, ChangedV23TagsAreReadWithinBoundsOrRefused) { mutationRounds(3); }
TEST(ID3Mutation, ChangedV24TagsAreReadWithinBoundsOrRefused) { mutationRounds(4); }

}  // namespace
