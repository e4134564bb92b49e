// ZipArchive: writes one zip archive through minizip. Entry names keep their
// bytes and are flagged as UTF-8 when they are, every entry carries zip64
// fields (large files and more than 65,535 entries open in standard tools),
// MP3s are stored and other files deflated, and files are streamed in
// chunks, never read whole.
//
// Paths are host paths. Every result is checked: a failed add or close
// answers false, and the caller removes the archive.
#pragma once

#include <string>

namespace cantrel {

class ZipArchive {
public:
    ZipArchive() = default;
    ~ZipArchive();  // closes an archive still open (its result is lost)
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Creates (or truncates) the archive file.
    bool create(const std::string& archivePath);
    // Adds the regular file at `filePath` under `entryName` (slash-separated).
    bool addFile(const std::string& filePath, const std::string& entryName);
    // Writes the central directory and closes the file; false when any step
    // of the archive failed.
    bool close();

private:
    void* zip_ = nullptr;
    bool failed_ = false;
};

}  // namespace cantrel
