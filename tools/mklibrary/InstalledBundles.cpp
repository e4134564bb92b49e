#include "InstalledBundles.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace platform {

namespace {

bool copyBundle(const fs::path& from, const fs::path& to, std::string* error) {
    std::error_code ec;
    fs::remove_all(to, ec);
    fs::create_directories(to.parent_path(), ec);
    if (!ec) fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec && error) *error = "cannot install " + from.filename().string() + ": " + ec.message();
    return !ec;
}

}  // namespace

bool installBundles(const std::string& rootHostPath, std::string* error) {
    fs::path root(rootHostPath);
    return copyBundle(fs::path(CANTREL_RESOURCES_DIR) / "Cantrel.bundle", root / kInstalledResourceBundle, error) &&
           copyBundle(CANTREL_PREFS_BUNDLE_DIR, root / kInstalledPrefsBundle, error);
}

}  // namespace platform
