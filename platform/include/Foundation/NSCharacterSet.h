// NSCharacterSet: a set of Unicode code points, and NSString's split at them.
//
//   +characterSetWithCharactersInString:   id(id)   the string's characters
//   +controlCharacterSet                   id()     U+0000-U+001F, U+007F-U+009F
//   characterIsMember:                     BOOL(unichar)
//   longCharacterIsMember:                 BOOL(UTF32Char)
//   invertedSet                            id()
//
// NSString gains (NSCharacterSet.cpp):
//   componentsSeparatedByCharactersInSet:  id(id)   the pieces between the
//       set's characters, empty ones included ("a//b" -> "a", "", "b")
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <set>
#include <utility>
#include <vector>

struct NSCharacterSet : NSObject {
    OBJC_CLASS(NSCharacterSet)

    std::set<char32_t> _characters;
    std::vector<std::pair<char32_t, char32_t>> _ranges;  // inclusive
    bool _inverted = false;

    bool contains(char32_t c) const;
};
