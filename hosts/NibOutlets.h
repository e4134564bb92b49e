// The outlets a nib declares, so that the hosts look up only names a page or
// a panel has: a name typed on a command line is never sent as a message.
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace host {

// The names of the outlets of the nib file (NAME.nib.json) whose source is
// `source` ("File's Owner", "panel"), but `view`; none when the file cannot
// be read or holds no outlets.
inline std::vector<std::string> nibOutlets(const std::string& nibFile, const std::string& source) {
    std::vector<std::string> names;
    std::ifstream in(nibFile);
    nlohmann::json data = nlohmann::json::parse(in, nullptr, false);
    if (data.is_discarded() || !data.is_object() || !data.contains("outlets") || !data["outlets"].is_array())
        return names;
    for (const auto& o : data["outlets"]) {
        if (!o.is_object() || !o.contains("source") || !o.contains("name") || !o["source"].is_string() ||
            !o["name"].is_string())
            continue;
        std::string name = o["name"].get<std::string>();
        if (o["source"].get<std::string>() == source && name != "view" && !name.empty()) names.push_back(name);
    }
    return names;
}

inline bool declares(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace host
