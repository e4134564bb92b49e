#include "ZipArchive.h"

#include <platform/Unicode.h>
#include <zip.h>

#include <cerrno>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <memory>
#include <vector>

namespace cantrel {

namespace {

constexpr size_t kChunk = 256 * 1024;
constexpr unsigned kUtf8NameFlag = 1u << 11;

bool endsWithMP3(const std::string& name) {
    if (name.size() < 4) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".mp3";
}

}  // namespace

ZipArchive::~ZipArchive() {
    if (zip_) zipClose(static_cast<zipFile>(zip_), nullptr);
}

bool ZipArchive::create(const std::string& archivePath) {
    if (zip_) return false;
    failed_ = false;
    zip_ = zipOpen64(archivePath.c_str(), APPEND_STATUS_CREATE);
    return zip_ != nullptr;
}

bool ZipArchive::addFile(int fd, const struct stat& st, const std::string& entryName) {
    if (!zip_ || entryName.empty()) return false;
    if (fd < 0 || !S_ISREG(st.st_mode)) {
        failed_ = true;
        return false;
    }
    zip_fileinfo info{};
    std::tm tm{};
    time_t mtime = st.st_mtime;
    localtime_r(&mtime, &tm);
    info.tmz_date.tm_sec = tm.tm_sec;
    info.tmz_date.tm_min = tm.tm_min;
    info.tmz_date.tm_hour = tm.tm_hour;
    info.tmz_date.tm_mday = tm.tm_mday;
    info.tmz_date.tm_mon = tm.tm_mon;
    info.tmz_date.tm_year = tm.tm_year + 1900;
    info.external_fa = (static_cast<uLong>(st.st_mode & 0777) | 0100000u) << 16;

    bool stored = endsWithMP3(entryName);
    // The name's bytes are kept as the folder holds them; it says UTF-8 only
    // when it is.
    unsigned nameFlag = platform::unicode::isValidUtf8(entryName) ? kUtf8NameFlag : 0;
    zipFile zf = static_cast<zipFile>(zip_);
    int rc = zipOpenNewFileInZip4_64(zf, entryName.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                     stored ? 0 : Z_DEFLATED, stored ? 0 : Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS,
                                     DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, (3u << 8) | 45u, nameFlag,
                                     1);
    if (rc != ZIP_OK) {
        failed_ = true;
        return false;
    }
    // Not cleared: only what was read is written. A small file needs no
    // more than its size (and one byte to see its end).
    const size_t size = std::min<size_t>(kChunk, static_cast<size_t>(st.st_size) + 1);
    std::unique_ptr<char[]> buffer(new char[size]);
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer.get(), size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        if (zipWriteInFileInZip(zf, buffer.get(), static_cast<unsigned>(n)) != ZIP_OK) {
            ok = false;
            break;
        }
    }
    if (zipCloseFileInZip(zf) != ZIP_OK) ok = false;
    if (!ok) failed_ = true;
    return ok;
}

bool ZipArchive::close() {
    if (!zip_) return false;
    int rc = zipClose(static_cast<zipFile>(zip_), nullptr);
    zip_ = nullptr;
    return rc == ZIP_OK && !failed_;
}

}  // namespace cantrel
