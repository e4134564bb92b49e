// UTF-8 helpers for NSString: validation, code point walking, UTF-16
// lengths and the simple case mappings Foundation needs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::unicode {

inline constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed sequence at byte `i` of `s`, or 0 when it is
// ill-formed.
size_t sequenceLength(std::string_view s, size_t i);

// True when `s` is well-formed UTF-8 (no overlongs, no surrogates, ≤ U+10FFFF).
bool isValidUtf8(std::string_view s);

// `s` with every ill-formed sequence replaced by U+FFFD.
std::string sanitizeUtf8(std::string_view s);

// Decodes the code point at `i` of well-formed UTF-8 and advances `i`.
char32_t decode(std::string_view s, size_t& i);

// Appends `cp` as UTF-8 (U+FFFD for surrogates and values past U+10FFFF).
void append(std::string& out, char32_t cp);

// Number of UTF-16 code units of well-formed UTF-8.
size_t utf16Length(std::string_view s);

// Number of code points of well-formed UTF-8.
size_t codePointCount(std::string_view s);

// The UTF-16 form of well-formed UTF-8.
std::u16string toUtf16(std::string_view s);

// Largest prefix length ≤ `limit` bytes that does not split a code point.
size_t prefixBoundary(std::string_view s, size_t limit);

// One-to-one case mappings for Latin, Greek and Cyrillic; other code points
// map to themselves.
char32_t toLower(char32_t cp);
char32_t toUpper(char32_t cp);

// Whole-string mappings (the upper case of ß is "SS").
std::string lowercase(std::string_view s);
std::string uppercase(std::string_view s);

}  // namespace platform::unicode
