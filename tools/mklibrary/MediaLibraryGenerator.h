// Makes a device root with a media library: the database
// (platform/include/MediaPlayer/MediaLibrary.h), artwork JPEG files under
// the artwork folder and MP3 files with ID3v2 tags under
// var/mobile/Media/iTunes_Control/Music/F00..F04.
//
// The same options give the same rows and the same file bytes. Most items
// share a few audio files (at most 20 distinct ones), so large libraries
// stay small on disk. The library holds the awkward cases on purpose:
// apostrophes and percent signs, Cyrillic, CJK and emoji names, empty and
// NULL names, persistent ids with the top bit set (every other one), items
// without artwork, an empty playlist and a hidden one, an item without an
// item_playback row, compilations and items without a composer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct GenerateOptions {
    size_t songs = 200;
    uint64_t seed = 1;
};

struct GenerateSummary {
    size_t songs = 0;
    size_t albums = 0;
    size_t albumArtists = 0;
    size_t genres = 0;
    size_t composers = 0;
    size_t playlists = 0;
    size_t artworks = 0;
    size_t audioFiles = 0;
};

// Writes the library into the device root at `rootHostPath` (made when
// missing); an existing library there is replaced. False with *error set on
// failure.
bool generateMediaLibrary(const std::string& rootHostPath, const GenerateOptions& options, std::string* error,
                          GenerateSummary* summary = nullptr);

namespace generator {

// A small JPEG picture (size×size, quality 85) in one of several looks.
std::vector<unsigned char> artworkJPEG(int variant, int size);
// A baseline JPEG of packed RGB rows; empty for a buffer too small.
std::vector<unsigned char> encodeJPEG(const std::vector<unsigned char>& rgb, int width, int height, int quality);
// Half a second of a sine tone as MPEG-1 Layer III (44.1 kHz mono,
// 128 kbit/s); empty on failure.
std::vector<unsigned char> toneMP3(double frequency);
// Writes an ID3v2 tag with title, album and lead artist (and a front-cover
// picture when `picture` is not empty) to an MP3 file. Texts that are not
// ASCII are written as UTF-16.
bool tagMP3(const std::string& path, const std::string& title, const std::string& album, const std::string& artist,
            const std::vector<unsigned char>& picture, std::string* error);

}  // namespace generator

}  // namespace platform
