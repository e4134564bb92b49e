#include <platform/DeviceRoot.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace platform {
namespace {

std::mutex rootLock;
std::string* rootPath = nullptr;

// Lexical normalisation of an absolute path; false when ".." climbs above "/".
bool normalise(const std::string& in, std::string& out) {
    std::vector<std::string> parts;
    size_t i = 0;
    while (i < in.size()) {
        size_t j = in.find('/', i);
        if (j == std::string::npos) j = in.size();
        std::string part = in.substr(i, j - i);
        if (part.empty() || part == ".") {
        } else if (part == "..") {
            if (parts.empty()) return false;
            parts.pop_back();
        } else {
            parts.push_back(part);
        }
        i = j + 1;
    }
    out.clear();
    for (const auto& p : parts) out += "/" + p;
    if (out.empty()) out = "/";
    return true;
}

std::string initialRoot() {
    const char* env = std::getenv("CANTREL_DEVICE_ROOT");
    std::error_code ec;
    std::string base = (env && *env) ? std::string(env) : fs::current_path(ec).string();
    std::string abs = fs::absolute(base, ec).string();
    std::string out;
    normalise(abs, out);
    return out;
}

}  // namespace

void setDeviceRoot(const std::string& path) {
    std::error_code ec;
    std::string abs = fs::absolute(path, ec).string();
    std::string out;
    if (!normalise(abs, out)) out = "/";
    std::lock_guard<std::mutex> g(rootLock);
    if (rootPath == nullptr) rootPath = new std::string();
    *rootPath = out;
}

std::string deviceRoot() {
    std::lock_guard<std::mutex> g(rootLock);
    if (rootPath == nullptr) rootPath = new std::string(initialRoot());
    return *rootPath;
}

std::string devicePath(const std::string& path) {
    const std::string& root = deviceRoot();
    std::string rootSlash = root == "/" ? "/" : root + "/";
    if (path.empty()) return "";
    std::string rel;
    if (path[0] == '/') {
        std::string norm;
        if (!normalise(path, norm)) return "";
        if (norm == root || norm.compare(0, rootSlash.size(), rootSlash) == 0) {
            // Already a host path under the root; it must stay there.
            return norm;
        }
        rel = norm;
        if (rel == "/User" || rel.compare(0, 6, "/User/") == 0) rel = "/var/mobile" + rel.substr(5);
    } else {
        rel = "/" + path;
    }
    std::string normRel;
    if (!normalise(rel, normRel)) return "";
    if (normRel == "/User" || normRel.compare(0, 6, "/User/") == 0) normRel = "/var/mobile" + normRel.substr(5);
    return root == "/" ? normRel : root + (normRel == "/" ? "" : normRel);
}

bool makeDeviceDirectories(const std::string& path) {
    std::string host = devicePath(path);
    if (host.empty()) return false;
    std::error_code ec;
    fs::create_directories(host, ec);
    return !ec && fs::is_directory(host);
}

}  // namespace platform
