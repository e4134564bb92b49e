#include "Printable.h"

#include <platform/Unicode.h>

#include <cstdio>

namespace host {
namespace {

bool escapedCodePoint(char32_t cp) {
    return (cp >= 0x80 && cp <= 0x9f) || cp == 0x2028 || cp == 0x2029 || cp == 0x061c || cp == 0x200e ||
           cp == 0x200f || (cp >= 0x202a && cp <= 0x202e) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    char buf[8];
    for (size_t i = 0; i < text.size();) {
        char ch = text[i];
        auto byte = static_cast<unsigned char>(ch);
        size_t length = platform::unicode::sequenceLength(text, i);
        if (length > 1) {
            size_t at = i;
            char32_t cp = platform::unicode::decode(text, at);
            if (escapedCodePoint(cp)) {
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
                out += buf;
            } else {
                out.append(text, i, length);
            }
            i += length;
            continue;
        }
        ++i;
        switch (ch) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (length == 0 || byte < 0x20 || byte == 0x7f) {
                    std::snprintf(buf, sizeof buf, "\\x%02x", byte);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    return out;
}

}  // namespace host
