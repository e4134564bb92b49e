// UTF-8 text as the platform's strings hold it: validation, character
// walking, the UTF-16 form and the simple case mappings Foundation needs.
//
// A string keeps the bytes it was made from. A byte that is not part of a
// well-formed UTF-8 sequence (a name written in another encoding, a cut
// sequence) is kept as it is and counts as one character: in the UTF-16
// form it reads as the lone low surrogate U+DC00 + byte (U+DC80..U+DCFF),
// which well-formed UTF-8 can never hold, and such a unit turns back into
// its byte when UTF-16 becomes UTF-8 again. So the round trip through the
// UTF-16 form, and every length, range and edit counted in it, gives back
// exactly the bytes. Bytes that meet again (a kept 0xC3 before a kept 0xA9)
// are read anew as what they now form ("é").
//
// A lone surrogate from outside a string's UTF-16 form (a code point given
// to append(), a %C argument) cannot be written in UTF-8 and becomes U+FFFD;
// so does, in a string's UTF-16 form, half of a pair cut off by a range and
// any lone surrogate outside U+DC80..U+DCFF.
//
// Where text leaves for something that demands well-formed UTF-8 (drawing,
// JSON, property lists, tags, URLs), sanitizeUtf8() gives it U+FFFD for each
// kept byte; the string itself, and whatever stores its bytes, keeps them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform::unicode {

inline constexpr char32_t kReplacement = 0xFFFD;
// A kept byte b reads as kKeptByteBase + b.
inline constexpr char32_t kKeptByteBase = 0xDC00;

// Length of the well-formed sequence at byte `i` of `s`, or 0 when it is
// ill-formed.
size_t sequenceLength(std::string_view s, size_t i);

// Length of the character at byte `i`: its well-formed sequence, or 1 for a
// kept byte.
inline size_t characterLength(std::string_view s, size_t i) {
    size_t n = sequenceLength(s, i);
    return n == 0 ? 1 : n;
}

// True when `s` is well-formed UTF-8 (no overlongs, no surrogates, ≤ U+10FFFF).
bool isValidUtf8(std::string_view s);

// `s` with every kept byte replaced by U+FFFD: for a boundary that demands
// well-formed text.
std::string sanitizeUtf8(std::string_view s);

// The character at `i` (a code point, or kKeptByteBase + byte for a kept
// byte); advances `i` past it.
char32_t decode(std::string_view s, size_t& i);

// Appends `cp` as UTF-8 (U+FFFD for surrogates and values past U+10FFFF).
void append(std::string& out, char32_t cp);

// Appends what decode() read: a kept byte's U+DC80..U+DCFF as that byte,
// anything else as append() does.
void appendCharacter(std::string& out, char32_t c);

// Number of UTF-16 code units of `s`.
size_t utf16Length(std::string_view s);

// Number of characters of `s` (code points and kept bytes).
size_t codePointCount(std::string_view s);

// The UTF-16 form of `s`, and back.
std::u16string toUtf16(std::string_view s);
std::string fromUtf16(std::u16string_view units);

// Largest prefix length ≤ `limit` bytes that does not split a character.
size_t prefixBoundary(std::string_view s, size_t limit);

// The first occurrence of `t` in `s` at or after byte `from` that begins and
// ends between characters, or npos: a kept byte never matches the inside of
// a well-formed sequence.
size_t find(std::string_view s, std::string_view t, size_t from = 0);

// One-to-one case mappings for Latin, Greek and Cyrillic; other code points
// (and kept bytes) map to themselves.
char32_t toLower(char32_t cp);
char32_t toUpper(char32_t cp);

// Whole-string mappings (the upper case of ß is "SS"); kept bytes stay.
std::string lowercase(std::string_view s);
std::string uppercase(std::string_view s);

}  // namespace platform::unicode
