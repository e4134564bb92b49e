// The MP3 tag writer, read back through TagLib (a reader that is not ours):
// the export's tag and the artwork's tag, UTF-16 texts, pictures, the ID3v1
// tag, files that must stay untouched and a writer killed mid-write.
#include "TestSupport.h"

#include "Cantrel.h"
#include "ID3Writer.h"
#include "tools/mklibrary/MediaLibraryGenerator.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <platform/Platform.h>
#include <platform/RunLoop.h>

#include <attachedpictureframe.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

#include <gtest/gtest.h>

#include <sys/file.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;
using TagLib::ID3v2::AttachedPictureFrame;

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}
bool endsWith(const Bytes& whole, const Bytes& tail) {
    return whole.size() >= tail.size() && std::equal(tail.begin(), tail.end(), whole.end() - static_cast<long>(tail.size()));
}

Bytes bytesOf(const TagLib::ByteVector& v) { return Bytes(v.begin(), v.end()); }

TagLib::String utf8(const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); }

struct PictureSpec {
    AttachedPictureFrame::Type type;
    const char* description;
    Bytes data;
};

// A file tagged by TagLib itself: the "user's own" tags before our writers.
struct UserTags {
    std::string title = "Old Title", artist = "Old Artist", genre = "Jazz";
    unsigned track = 7;
    std::vector<PictureSpec> pictures;
    bool v1 = true;
};

class ID3WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::initialize();
        audio_ = platform::generator::toneMP3(440);
        ASSERT_FALSE(audio_.empty());
        jpeg_ = platform::generator::artworkJPEG(1, 64);
        image_ = root_.path() + "/cover.jpg";
        writeFile(image_, jpeg_);
    }

    std::string plainMP3(const std::string& name) {
        std::string path = root_.path() + "/" + name;
        writeFile(path, audio_);
        return path;
    }

    std::string taggedMP3(const std::string& name, const UserTags& tags) {
        std::string path = plainMP3(name);
        TagLib::MPEG::File f(path.c_str());
        TagLib::ID3v2::Tag* v2 = f.ID3v2Tag(true);
        v2->setTitle(utf8(tags.title));
        v2->setArtist(utf8(tags.artist));
        v2->setGenre(utf8(tags.genre));
        v2->setTrack(tags.track);
        for (const auto& p : tags.pictures) {
            auto* frame = new AttachedPictureFrame;
            frame->setType(p.type);
            frame->setMimeType("image/png");
            frame->setDescription(p.description);
            frame->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(p.data.data()),
                                                 static_cast<unsigned>(p.data.size())));
            v2->addFrame(frame);
        }
        if (tags.v1) f.ID3v1Tag(true)->setTitle("V1 Title");
        EXPECT_TRUE(f.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v3));
        return path;
    }

    test::TempRoot root_;
    Bytes audio_, jpeg_;
    std::string image_;
};

std::vector<std::string> frameIDs(TagLib::ID3v2::Tag* tag) {
    std::vector<std::string> ids;
    for (auto* frame : tag->frameList()) ids.push_back(frame->frameID().data() ? std::string(frame->frameID().data(), 4) : "");
    return ids;
}

std::vector<AttachedPictureFrame*> pictures(TagLib::ID3v2::Tag* tag) {
    std::vector<AttachedPictureFrame*> out;
    for (auto* frame : tag->frameListMap()["APIC"]) out.push_back(static_cast<AttachedPictureFrame*>(frame));
    return out;
}

// The export's tag: exactly title, album and lead artist, UTF-16 with a
// byte-order mark, texts intact whatever their script; nothing of the old
// tags; the audio unchanged.
TEST_F(ID3WriterTest, ExportTagHoldsTheThreeTextsIntactInUTF16) {
    struct Case {
        const char* name;
        const char* title;
        const char* album;
        const char* artist;
    } cases[] = {
        {"accents", "Café Crème à l'été", "Über Äpfel", "Zoë Noël"},
        {"cjk", "東京の夜", "夜の歌", "山田太郎"},
        {"rtl", "שלום עולם", "موسيقى", "فيروز"},
        {"emoji", "Party 🎉🎶", "Mixed 😀 album", "DJ 🐙"},
        {"ascii", "Plain", "Album", "Artist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UserTags old;
        old.pictures.push_back({AttachedPictureFrame::FrontCover, "old", {1, 2, 3}});
        std::string path = taggedMP3(std::string(c.name) + ".mp3", old);
        setID3Tags(nil, nullptr, NSString::make(path), NSString::make(c.title), NSString::make(c.album),
                   NSString::make(c.artist), ""_ns);

        TagLib::MPEG::File f(path.c_str());
        ASSERT_TRUE(f.isValid());
        ASSERT_TRUE(f.hasID3v2Tag());
        EXPECT_FALSE(f.hasID3v1Tag());
        auto* tag = f.ID3v2Tag();
        EXPECT_EQ(frameIDs(tag), (std::vector<std::string>{"TIT2", "TALB", "TPE1"}));
        EXPECT_EQ(tag->title().to8Bit(true), c.title);
        EXPECT_EQ(tag->album().to8Bit(true), c.album);
        EXPECT_EQ(tag->artist().to8Bit(true), c.artist);
        EXPECT_TRUE(tag->genre().isEmpty());
        for (const char* id : {"TIT2", "TALB", "TPE1"}) {
            auto* frame = static_cast<TagLib::ID3v2::TextIdentificationFrame*>(tag->frameListMap()[id].front());
            EXPECT_EQ(frame->textEncoding(), TagLib::String::UTF16) << id;
        }
        EXPECT_TRUE(endsWith(readFile(path), audio_));
    }
}

TEST_F(ID3WriterTest, ExportTagWithAPicture) {
    std::string path = plainMP3("song.mp3");
    setID3Tags(nil, nullptr, NSString::make(path), "T"_ns, "A"_ns, "R"_ns, NSString::make(image_));
    TagLib::MPEG::File f(path.c_str());
    auto* tag = f.ID3v2Tag();
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(frameIDs(tag), (std::vector<std::string>{"TIT2", "TALB", "TPE1", "APIC"}));
    auto pics = pictures(tag);
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0]->type(), AttachedPictureFrame::Type(11));
    EXPECT_EQ(pics[0]->mimeType(), "image/jpeg");
    EXPECT_EQ(pics[0]->description(), "@brevankl");
    EXPECT_EQ(bytesOf(pics[0]->picture()), jpeg_);
    EXPECT_TRUE(endsWith(readFile(path), audio_));
}

// The artwork's tag: our picture replaces front cover, other and earlier
// pictures of ours; other picture types, every text frame and the ID3v1 tag
// stay.
TEST_F(ID3WriterTest, ArtworkTagReplacesOnlyThePictures) {
    UserTags old;
    old.title = "Ancien titre é 東京 🎵";
    old.pictures = {{AttachedPictureFrame::FrontCover, "front", {1}},
                    {AttachedPictureFrame::Other, "other", {2}},
                    {AttachedPictureFrame::BackCover, "back", {3, 3}},
                    {AttachedPictureFrame::Artist, "@brevankl", {4}}};
    std::string path = taggedMP3("kept.mp3", old);
    Bytes before = readFile(path);
    Bytes v1(before.end() - 128, before.end());

    // The writer takes the artwork's path under the artwork folder.
    std::string folder = root_.host("/var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals/ab");
    std::filesystem::create_directories(folder);
    writeFile(folder + "/pic.jpg", jpeg_);
    id result = setID3TagArtwork(nil, nullptr, NSString::make(path), "ab/pic.jpg"_ns);
    EXPECT_EQ(objc_msgSend<int()>(result, "intValue"_sel), 1);

    TagLib::MPEG::File f(path.c_str());
    auto* tag = f.ID3v2Tag();
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->title().to8Bit(true), "Ancien titre é 東京 🎵");
    EXPECT_EQ(tag->artist().to8Bit(true), "Old Artist");
    EXPECT_EQ(tag->genre().to8Bit(true), "Jazz");
    EXPECT_EQ(tag->track(), 7u);
    auto pics = pictures(tag);
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[0]->type(), AttachedPictureFrame::BackCover);
    EXPECT_EQ(pics[0]->picture(), TagLib::ByteVector("\x03\x03", 2));
    EXPECT_EQ(pics[1]->type(), AttachedPictureFrame::Type(11));
    EXPECT_EQ(pics[1]->description(), "@brevankl");
    EXPECT_EQ(pics[1]->mimeType(), "image/jpeg");
    EXPECT_EQ(bytesOf(pics[1]->picture()), jpeg_);
    ASSERT_TRUE(f.hasID3v1Tag());
    EXPECT_EQ(f.ID3v1Tag()->title(), "V1 Title");
    // Everything after the ID3v2 tag is kept byte for byte.
    Bytes after = readFile(path);
    Bytes tail = audio_;
    tail.insert(tail.end(), v1.begin(), v1.end());
    EXPECT_TRUE(endsWith(after, tail));

    // A second write leaves one picture of ours.
    setID3TagArtwork(nil, nullptr, NSString::make(path), "ab/pic.jpg"_ns);
    TagLib::MPEG::File again(path.c_str());
    EXPECT_EQ(pictures(again.ID3v2Tag()).size(), 2u);
}

// Which files the writers take, by extension, and what each says of the rest.
TEST_F(ID3WriterTest, OnlyMP3FilesAreTaggedAndTheOthersAreReported) {
    struct Case {
        const char* name;
        bool tagged;
        const char* alertExtension;
    } cases[] = {
        {"LOUD.MP3", true, nullptr}, {"mixed.Mp3", true, nullptr}, {"song.m4a", false, "m4a"},
        {"noextension", false, ""},  {"song.mp3.bak", false, "bak"},
    };
    std::string folder = root_.host("/var/mobile/Media/iTunes_Control/iTunes/Artwork/Originals");
    std::filesystem::create_directories(folder);
    writeFile(folder + "/p.jpg", jpeg_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::clearJournal();
        std::string path = plainMP3(c.name);
        setID3Tags(nil, nullptr, NSString::make(path), "T"_ns, "A"_ns, "R"_ns, ""_ns);
        platform::RunLoop::main().runPending();
        TagLib::MPEG::File f(path.c_str());
        EXPECT_EQ(f.hasID3v2Tag(), c.tagged);
        if (c.alertExtension) {
            ASSERT_EQ(platform::journal().size(), 1u);
            EXPECT_EQ(platform::journal()[0].kind, "alert");
            EXPECT_EQ(platform::journal()[0].title, "Failed to change ID3Tags metadata");
            EXPECT_EQ(platform::journal()[0].message,
                      std::string("ID3Tags metadata from tracks of type ") + c.alertExtension + " cannot be edited!");
            EXPECT_EQ(readFile(path), audio_);
        } else {
            EXPECT_TRUE(platform::journal().empty());
        }
        std::string other = plainMP3(std::string("art-") + c.name);
        id result = setID3TagArtwork(nil, nullptr, NSString::make(other), "p.jpg"_ns);
        EXPECT_EQ(objc_msgSend<int()>(result, "intValue"_sel), c.tagged ? 1 : 0);
        EXPECT_EQ(TagLib::MPEG::File(other.c_str()).hasID3v2Tag(), c.tagged);
    }
}

// A file that cannot be tagged is left exactly as it was: a picture that
// cannot be read, a read-only file. A written file keeps its mode.
TEST_F(ID3WriterTest, FilesThatCannotBeTaggedStayAsTheyWere) {
    UserTags old;
    std::string path = taggedMP3("user.mp3", old);
    Bytes before = readFile(path);
    using cantrel::id3::Outcome;
    EXPECT_EQ(cantrel::id3::writeExportTag(path, u"T", u"A", u"R", root_.path() + "/missing.jpg"), Outcome::Untouched);
    EXPECT_EQ(cantrel::id3::writeArtworkTag(path, root_.path() + "/missing.jpg"), Outcome::Untouched);
    EXPECT_EQ(readFile(path), before);

    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(cantrel::id3::writeExportTag(path, u"T", u"A", u"R", ""), Outcome::Untouched);
    EXPECT_EQ(cantrel::id3::writeArtworkTag(path, image_), Outcome::Untouched);
    EXPECT_EQ(readFile(path), before);

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(cantrel::id3::writeArtworkTag(path, image_), Outcome::Written);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root_.path()), {}), 2) << "no file left beside";
}

// A writer killed at any point leaves the old file or the new one, never a
// mix: the file always reads as one of the versions a finished write gives.
TEST_F(ID3WriterTest, AKilledWriterNeverLeavesADamagedFile) {
    UserTags old;
    Bytes big = platform::generator::artworkJPEG(2, 600);
    writeFile(image_, big);
    std::string path = taggedMP3("victim.mp3", old);
    // The two versions the writer alternates between, made once each.
    ASSERT_EQ(cantrel::id3::writeExportTag(path, u"one", u"A", u"R", image_), cantrel::id3::Outcome::Written);
    Bytes one = readFile(path);
    ASSERT_EQ(cantrel::id3::writeExportTag(path, u"two", u"A", u"R", image_), cantrel::id3::Outcome::Written);
    Bytes two = readFile(path);
    ASSERT_NE(one, two);

    std::mt19937 random(12);
    for (int round = 0; round < 25; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i)
                cantrel::id3::writeExportTag(path, i % 2 ? u"one" : u"two", u"A", u"R", image_);
        }
        usleep(std::uniform_int_distribution<unsigned>(0, 20000)(random));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        Bytes now = readFile(path);
        EXPECT_TRUE(now == one || now == two) << "round " << round << ": " << now.size() << " bytes";
    }

    // The killed writers left nothing beside the file. A temporary name of
    // ours (left where files cannot be unnamed) goes at the next write unless
    // a writer at work holds it.
    auto leftovers = [&] {
        std::vector<std::filesystem::path> out;
        for (const auto& e : std::filesystem::directory_iterator(root_.path()))
            if (e.path().filename().string().starts_with(".")) out.push_back(e.path());
        return out;
    };
    EXPECT_TRUE(leftovers().empty());
    std::filesystem::path stale = std::filesystem::path(root_.path()) / ".new-stale1";
    std::filesystem::path held = std::filesystem::path(root_.path()) / ".new-held01";
    writeFile(stale.string(), one);
    writeFile(held.string(), one);
    int lock = open(held.c_str(), O_RDONLY);  // a writer at work on it
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    ASSERT_EQ(cantrel::id3::writeExportTag(path, u"one", u"A", u"R", image_), cantrel::id3::Outcome::Written);
    EXPECT_EQ(leftovers(), (std::vector<std::filesystem::path>{held}));
    close(lock);
}

}  // namespace
