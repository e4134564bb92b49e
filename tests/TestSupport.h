// Shared helpers of the tests: a fresh device root per test.
#pragma once

#include <platform/DeviceRoot.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace test {

// A new empty folder under the system's temporary folder, made the device
// root, and removed again at the end of the test.
class TempRoot {
public:
    TempRoot() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "cantrel-test-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) std::abort();
        path_ = tmpl;
        platform::setDeviceRoot(path_);
    }
    ~TempRoot() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    // The host path of a device path.
    std::string host(const std::string& devicePath) const { return platform::devicePath(devicePath); }

private:
    std::string path_;
};

}  // namespace test
