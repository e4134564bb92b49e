#include <platform/Unicode.h>

#include <vector>

namespace platform::unicode {

size_t sequenceLength(std::string_view s, size_t i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) return 1;
    size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // bounds of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0) lo = 0xA0;  // overlong
        if (b0 == 0xED) hi = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0) lo = 0x90;  // overlong
        if (b0 == 0xF4) hi = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    return n;
}

bool isValidUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = sequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string sanitizeUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        size_t n = sequenceLength(s, i);
        if (n == 0) {
            append(out, kReplacement);
            ++i;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

char32_t decode(std::string_view s, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(s[k])); };
    char32_t b0 = byte(i);
    if (b0 < 0x80) {
        i += 1;
        return b0;
    }
    switch (sequenceLength(s, i)) {
        case 2: {
            char32_t cp = ((b0 & 0x1F) << 6) | (byte(i + 1) & 0x3F);
            i += 2;
            return cp;
        }
        case 3: {
            char32_t cp = ((b0 & 0x0F) << 12) | ((byte(i + 1) & 0x3F) << 6) | (byte(i + 2) & 0x3F);
            i += 3;
            return cp;
        }
        case 4: {
            char32_t cp = ((b0 & 0x07) << 18) | ((byte(i + 1) & 0x3F) << 12) | ((byte(i + 2) & 0x3F) << 6) |
                          (byte(i + 3) & 0x3F);
            i += 4;
            return cp;
        }
        default:
            i += 1;
            return kKeptByteBase + b0;
    }
}

void append(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendCharacter(std::string& out, char32_t c) {
    if (c >= kKeptByteBase + 0x80 && c <= kKeptByteBase + 0xFF) {
        out += static_cast<char>(c - kKeptByteBase);
    } else {
        append(out, c);
    }
}

size_t utf16Length(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++n;
            ++i;
            continue;
        }
        size_t length = characterLength(s, i);
        n += length == 4 ? 2 : 1;
        i += length;
    }
    return n;
}

size_t codePointCount(std::string_view s) {
    size_t n = 0;
    for (size_t i = 0; i < s.size(); ++n) i += characterLength(s, i);
    return n;
}

std::u16string toUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp = decode(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string fromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        appendCharacter(out, c);
    }
    return out;
}

size_t prefixBoundary(std::string_view s, size_t limit) {
    if (limit >= s.size()) return s.size();
    size_t i = 0;
    for (size_t next; (next = i + characterLength(s, i)) <= limit;) i = next;
    return i;
}

size_t find(std::string_view s, std::string_view t, size_t from) {
    // Well-formed text begins with a byte that no sequence holds inside, and
    // is read the same in `s` as on its own: any match lies between
    // characters.
    if (isValidUtf8(t)) return s.find(t, from);
    std::vector<bool> between(s.size() + 1, false);
    for (size_t i = 0; i < s.size(); i += characterLength(s, i)) between[i] = true;
    between[s.size()] = true;
    for (size_t at = s.find(t, from); at != std::string_view::npos; at = s.find(t, at + 1))
        if (between[at] && between[at + t.size()]) return at;
    return std::string_view::npos;
}

char32_t toLower(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp < 0x80) return cp;
    if ((cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)) return cp + 32;  // Latin-1
    if (cp >= 0x100 && cp <= 0x17F && cp != 0x130 && cp != 0x131 && cp != 0x138 && cp != 0x149 && cp != 0x17F) {
        // Latin Extended-A pairs: even upper/odd lower, except 0x139–0x148
        // and 0x179–0x17E, which are odd upper/even lower.
        bool oddUpper = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
        if (cp == 0x178) return 0xFF;
        if (oddUpper) return (cp & 1) ? cp + 1 : cp;
        return (cp & 1) ? cp : cp + 1;
    }
    if (cp >= 0x391 && cp <= 0x3AB && cp != 0x3A2) return cp + 32;  // Greek
    if (cp >= 0x410 && cp <= 0x42F) return cp + 32;                  // Cyrillic
    if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
    return cp;
}

char32_t toUpper(char32_t cp) {
    if (cp >= 'a' && cp <= 'z') return cp - 32;
    if (cp < 0x80) return cp;
    if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
    if (cp == 0xFF) return 0x178;
    if (cp >= 0x100 && cp <= 0x17F && cp != 0x130 && cp != 0x131 && cp != 0x138 && cp != 0x149 && cp != 0x17F) {
        bool oddUpper = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
        if (cp == 0x178) return cp;
        if (oddUpper) return (cp & 1) ? cp : cp - 1;
        return (cp & 1) ? cp - 1 : cp;
    }
    if (cp >= 0x3B1 && cp <= 0x3CB && cp != 0x3C2) return cp - 32;
    if (cp == 0x3C2) return 0x3A3;  // final sigma
    if (cp >= 0x430 && cp <= 0x44F) return cp - 32;
    if (cp >= 0x450 && cp <= 0x45F) return cp - 80;
    return cp;
}

std::string lowercase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) appendCharacter(out, toLower(decode(s, i)));
    return out;
}

std::string uppercase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp = decode(s, i);
        if (cp == 0xDF) {
            out += "SS";
        } else {
            appendCharacter(out, toUpper(cp));
        }
    }
    return out;
}

}  // namespace platform::unicode
