// tools/searchserver as a child process for a test: started on a free
// loopback port with a request log, stopped when the object goes.
#pragma once

#include "ProcessSupport.h"

#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace test {

class SearchServer {
public:
    explicit SearchServer(std::vector<std::string> args = {}) {
        log_ = dir_.path() + "/requests.log";
        std::vector<std::string> argv = {testsupport::binPath("searchserver"), "--idle-exit", "60", "--log", log_};
        argv.insert(argv.end(), args.begin(), args.end());
        child_ = std::make_unique<testsupport::Child>(argv);
        std::optional<std::string> line = child_->readLine(20);
        if (!line) throw std::runtime_error("searchserver did not start");
        port_ = std::stoi(*line);
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string page(int start, const std::string& query = "cat") const {
        return base() + "/ajax/services/search/images?v=1.0&rsz=8&start=" + std::to_string(start) +
               "&as_filetype=jpg&q=" + query;
    }
    // Each request's target, in order.
    std::vector<std::string> requests() const {
        std::ifstream in(log_);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }

private:
    testsupport::TempDir dir_{"searchserver"};
    std::string log_;
    std::unique_ptr<testsupport::Child> child_;
    int port_ = 0;
};

// Large but allowed pictures of each format, served with and without a
// declared length, and the pixel size a pick hands over: at most 2048 a
// side, in proportion.
struct LargePicture {
    std::vector<std::string> server;
    int pickedWidth, pickedHeight;
};
inline std::vector<LargePicture> largePictures() {
    return {
        {{"--picture-size", "5000x5000", "--no-length"}, 2048, 2048},
        {{"--picture-size", "4900x5000", "--picture-format", "png"}, 2007, 2048},
        {{"--picture-size", "20000x1200", "--picture-format", "png", "--no-length"}, 2048, 123},
        {{"--picture-size", "5000x5000", "--picture-format", "progressive"}, 2048, 2048},
        {{"--picture-size", "4000x4000", "--picture-format", "gif"}, 2048, 2048},
    };
}

}  // namespace test
