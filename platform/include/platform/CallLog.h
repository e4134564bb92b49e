// The call log of the play queue's objects: one line per message received,
// "selector arg arg…", for tests and the host to read. Media entities are
// written as their persistent id, arrays as [count], nil as nil, other
// objects as their class name, numbers in decimal, BOOL as 1 / 0, ranges as
// {location,length}.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

namespace platform {

std::string callArgument(id value);
inline std::string callArgument(NSRange r) {
    return "{" + std::to_string(r.location) + "," + std::to_string(r.length) + "}";
}
inline std::string callArgument(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}
template <class T>
    requires std::is_integral_v<T>
std::string callArgument(T v) {
    return std::to_string(v);
}

struct CallLog {
    std::vector<std::string> lines;

    template <class... A>
    void add(const char* selector, A... args) {
        std::string line = selector;
        ((line += " " + callArgument(args)), ...);
        lines.push_back(std::move(line));
    }
    void clear() { lines.clear(); }
};

}  // namespace platform
