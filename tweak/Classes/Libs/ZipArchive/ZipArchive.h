// ZipArchive: writes one zip archive through minizip. Entry names keep their
// bytes and are flagged as UTF-8 when they are, every entry carries zip64
// fields (large files and more than 65,535 entries open in standard tools),
// MP3s are stored and other files deflated, and files are streamed in
// chunks, never read whole.
//
// The archive is created at a host path; each file is added from a
// descriptor its caller opened (and closes). Every result is checked: a failed add or close
// answers false, and the caller removes the archive.
#pragma once

#include <string>

#include <sys/stat.h>

namespace cantrel {

class ZipArchive {
public:
    ZipArchive() = default;
    ~ZipArchive();  // closes an archive still open (its result is lost)
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Creates (or truncates) the archive file.
    bool create(const std::string& archivePath);
    // Adds the regular file open at `fd` (its status `st`), read from where
    // it stands, under `entryName` (slash-separated).
    bool addFile(int fd, const struct stat& st, const std::string& entryName);
    // Writes the central directory and closes the file; false when any step
    // of the archive failed.
    bool close();

private:
    void* zip_ = nullptr;
    bool failed_ = false;
};

}  // namespace cantrel
