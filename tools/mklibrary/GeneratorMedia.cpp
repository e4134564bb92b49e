// The generator's media files: artwork pictures (libjpeg), tones (LAME) and
// ID3v2 tags (id3lib).
#include "MediaLibraryGenerator.h"

#include <UIKit/UIImage.h>
#include <id3/tag.h>
#include <jpeglib.h>
#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace platform::generator {

std::vector<unsigned char> artworkJPEG(int variant, int size) {
    // Each look: a diagonal blend between two colours and a disc of a third.
    static const unsigned char palette[][9] = {
        {200, 40, 40, 40, 40, 160, 250, 220, 60},   {20, 120, 90, 230, 200, 120, 30, 30, 30},
        {90, 30, 150, 250, 140, 200, 255, 255, 255}, {240, 170, 20, 40, 60, 60, 0, 120, 200},
        {10, 10, 10, 120, 120, 120, 220, 30, 90},    {60, 180, 220, 250, 250, 240, 40, 90, 40},
        {150, 90, 40, 250, 230, 200, 90, 20, 20},    {30, 60, 30, 180, 220, 120, 250, 250, 200},
    };
    const unsigned char* c = palette[static_cast<size_t>(variant) % (sizeof palette / sizeof palette[0])];
    std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 3);
    double centre = size / 2.0, radius = size * (0.18 + 0.04 * (variant % 4));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            unsigned char* p = &pixels[(static_cast<size_t>(y) * size + x) * 3];
            double t = static_cast<double>(x + y) / (2.0 * size);
            bool disc = std::hypot(x - centre, y - centre) < radius;
            for (int k = 0; k < 3; ++k)
                p[k] = disc ? c[6 + k] : static_cast<unsigned char>(c[k] * (1 - t) + c[3 + k] * t);
        }
    }
    return encodeJPEG(pixels, size, size, 85);
}

std::vector<unsigned char> encodeJPEG(const std::vector<unsigned char>& rgb, int width, int height, int quality) {
    return platform::encodeRGBJPEG(rgb, width, height, quality);
}

std::vector<unsigned char> toneMP3(double frequency) {
    constexpr int kRate = 44100;
    constexpr int kSamples = kRate / 2;
    std::vector<short> pcm(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        double fade = std::min({1.0, i / 441.0, (kSamples - i) / 441.0});
        pcm[static_cast<size_t>(i)] =
            static_cast<short>(std::lround(8000.0 * fade * std::sin(2 * M_PI * frequency * i / kRate)));
    }
    std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(), lame_close);
    if (!lame) return {};
    lame_set_in_samplerate(lame.get(), kRate);
    lame_set_out_samplerate(lame.get(), kRate);
    lame_set_num_channels(lame.get(), 1);
    lame_set_mode(lame.get(), MONO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), 128);
    lame_set_quality(lame.get(), 7);
    lame_set_bWriteVbrTag(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0) return {};
    std::vector<unsigned char> out(static_cast<size_t>(1.25 * kSamples + 7200) + 7200);
    int n = lame_encode_buffer(lame.get(), pcm.data(), pcm.data(), kSamples, out.data(), static_cast<int>(out.size()));
    if (n < 0) return {};
    int m = lame_encode_flush(lame.get(), out.data() + n, static_cast<int>(out.size()) - n);
    if (m < 0) return {};
    out.resize(static_cast<size_t>(n + m));
    return out;
}

namespace {

bool isASCII(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// UTF-8 to UTF-16 code units, NUL-terminated; ill-formed bytes become U+FFFD.
std::vector<unicode_t> utf16(const std::string& s) {
    std::vector<unicode_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        uint32_t cp = extra == 0 ? b : extra == 1 ? (b & 0x1Fu) : extra == 2 ? (b & 0x0Fu) : (b & 0x07u);
        bool ok = extra >= 0 && i + static_cast<size_t>(extra) < s.size();
        for (int k = 1; ok && k <= extra; ++k) {
            unsigned char n = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((n >> 6) != 2) ok = false;
            else cp = cp << 6 | (n & 0x3Fu);
        }
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<unicode_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<unicode_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<unicode_t>(cp));
        }
    }
    out.push_back(0);
    return out;
}

ID3_Frame* textFrame(ID3_FrameID id, const std::string& text) {
    auto* frame = new ID3_Frame(id);
    if (isASCII(text)) {
        frame->GetField(ID3FN_TEXTENC)->Set(static_cast<uint32>(ID3TE_ISO8859_1));
        frame->GetField(ID3FN_TEXT)->Set(text.c_str());
    } else {
        // This id3lib writes a little-endian byte-order mark and then each
        // code unit's bytes in the opposite order of the host's; handing it
        // the units byte-swapped gives the UTF-16LE text its mark announces.
        frame->GetField(ID3FN_TEXTENC)->Set(static_cast<uint32>(ID3TE_UTF16));
        ID3_Field* field = frame->GetField(ID3FN_TEXT);
        field->SetEncoding(ID3TE_UTF16);
        std::vector<unicode_t> units = utf16(text);
        for (unicode_t& unit : units) unit = static_cast<unicode_t>((unit & 0xFF) << 8 | (unit >> 8 & 0xFF));
        field->Set(units.data());
    }
    return frame;
}

}  // namespace

bool tagMP3(const std::string& path, const std::string& title, const std::string& album, const std::string& artist,
            const std::vector<unsigned char>& picture, std::string* error) {
    ID3_Tag tag;
    tag.Link(path.c_str(), ID3TT_NONE);
    tag.SetPadding(false);
    tag.SetUnsync(false);
    if (!title.empty()) tag.AttachFrame(textFrame(ID3FID_TITLE, title));
    if (!album.empty()) tag.AttachFrame(textFrame(ID3FID_ALBUM, album));
    if (!artist.empty()) tag.AttachFrame(textFrame(ID3FID_LEADARTIST, artist));
    if (!picture.empty()) {
        auto* frame = new ID3_Frame(ID3FID_PICTURE);
        frame->GetField(ID3FN_TEXTENC)->Set(static_cast<uint32>(ID3TE_ISO8859_1));
        frame->GetField(ID3FN_MIMETYPE)->Set("image/jpeg");
        frame->GetField(ID3FN_PICTURETYPE)->Set(static_cast<uint32>(ID3PT_COVERFRONT));
        frame->GetField(ID3FN_DESCRIPTION)->Set("cover");
        frame->GetField(ID3FN_DATA)->Set(picture.data(), picture.size());
        tag.AttachFrame(frame);
    }
    if ((tag.Update(ID3TT_ID3V2) & ID3TT_ID3V2) == 0) {
        if (error) *error = "cannot write the ID3 tag of " + path;
        return false;
    }
    return true;
}

}  // namespace platform::generator
