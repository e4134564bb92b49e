// Option parsing and process set-up shared by the hosts (Music, Settings).
#pragma once

#include <UIKit/UIScreen.h>
#include <platform/DeviceRoot.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include <signal.h>
#include <unistd.h>

namespace host {

// A write past the file-size limit (ulimit -f) fails with EFBIG, "File too
// large", instead of ending the host with SIGXFSZ: the write that meets the
// limit reports it and removes its temporary file, and the host goes on.
inline void failWritesPastTheFileSizeLimit() { signal(SIGXFSZ, SIG_IGN); }

// "phone", "ipad" or "none".
inline bool parseIdiom(const std::string& word, std::optional<NSInteger>& idiom) {
    if (word == "phone") idiom = UIUserInterfaceIdiomPhone;
    else if (word == "ipad") idiom = UIUserInterfaceIdiomPad;
    else if (word == "none") idiom = std::nullopt;
    else return false;
    return true;
}

// A positive finite number making up the whole of `word`.
inline bool parsePositive(const std::string& word, double& value) {
    if (word.empty() || word.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return end == word.c_str() + word.size() && std::isfinite(value) && value > 0 && value <= 100000;
}

// "WIDTHxHEIGHT" or "WIDTHxHEIGHT@SCALE", in points.
inline bool parseScreen(const std::string& word, CGSize& size, double& scale) {
    std::string dims = word;
    scale = 0;
    if (size_t at = word.find('@'); at != std::string::npos) {
        dims = word.substr(0, at);
        if (!parsePositive(word.substr(at + 1), scale) || scale > 10) return false;
    }
    size_t x = dims.find('x');
    if (x == std::string::npos) return false;
    return parsePositive(dims.substr(0, x), size.width) && parsePositive(dims.substr(x + 1), size.height);
}

// Applies --idiom and --screen to the device (after platform::initialize).
inline void applyDevice(bool setIdiom, std::optional<NSInteger> idiom, std::optional<CGSize> screen, double scale) {
    if (setIdiom) platform::setDeviceIdiom(idiom);
    if (screen) {
        double s = scale > 0 ? scale : objc_msgSend<double()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "scale"_sel);
        platform::setMainScreen(*screen, s);
    }
}

// Opens the script when one is given; false (with the error and its reason
// printed, prefixed by the host's name) when it cannot be read.
inline bool openScript(const char* hostName, const std::optional<std::string>& script, std::ifstream& file) {
    if (!script) return true;
    std::error_code ec;
    int err = std::filesystem::is_directory(*script, ec) ? EISDIR : 0;
    if (err == 0) {
        errno = 0;
        file.open(*script);
        if (file) return true;
        err = errno != 0 ? errno : ENOENT;
    }
    std::cerr << hostName << ": cannot read script '" << *script << "': " << std::strerror(err) << "\n";
    return false;
}

// Makes `root` (created when missing) the device root and the working
// directory; false with the error and its reason printed. "a/../b" is the
// folder b: a is never made or looked at.
inline bool enterDeviceRoot(const char* hostName, const std::string& given) {
    std::error_code ec;
    std::string root = platform::absoluteHostPath(given);
    if (!root.empty()) std::filesystem::create_directories(root, ec);
    std::string why = root.empty()                                 ? "not a usable path"
                      : ec                                         ? ec.message()
                      : !std::filesystem::is_directory(root, ec) ? "not a folder"
                                                                   : "";
    if (!why.empty()) {
        std::cerr << hostName << ": cannot use device root '" << given << "': " << why << "\n";
        return false;
    }
    platform::setDeviceRoot(root);
    if (chdir(platform::deviceRoot().c_str()) != 0) {
        std::cerr << hostName << ": cannot enter device root '" << given << "': " << std::strerror(errno) << "\n";
        return false;
    }
    return true;
}

}  // namespace host
