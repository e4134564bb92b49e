// Device files by descriptor. A folder is opened once beneath the device
// root (the kernel resolves every step inside it), and every operation on
// a file is then made relative to that folder's descriptor on a single
// name, whose last component is never followed as a symlink. What a name
// leads to cannot change between a check and its use: there is no check by
// path, only the operation itself. devicePath() strings stay for messages.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace platform {

// The result of a device-file operation: ok, or an errno value with a
// message naming the path and the reason ("cannot write /x/y: No space left
// on device").
class Status {
public:
    Status() = default;  // ok
    static Status error(int code, std::string_view action, std::string_view path);
    bool ok() const { return code_ == 0; }
    int code() const { return code_; }
    const std::string& message() const { return message_; }
    // Sets errno to the code (0 when ok) and answers ok(): for callers whose
    // failure path reads errno.
    bool setErrno() const;

private:
    int code_ = 0;
    std::string message_;
};

// A file being written in a folder, that has no name until it is published
// or replaces another: unnamed (O_TMPFILE) where the kernel allows, so that
// an interrupted write leaves nothing; else under a hidden temporary name
// ".new-XXXXXX" (locked while written) that goes when the NewFile does, or,
// left by a process that was ended, at the next start (sweepTemporaries).
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(NewFile&& other) noexcept;
    NewFile& operator=(NewFile&& other) noexcept;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int fd() const { return fd_; }
    // A path that opens this file again while it is being written (for
    // writers that take a path).
    std::string reopenPath() const;
    // Links the file under the first of nameFor(1), nameFor(2), … that is
    // not taken, never replacing a file ("" from nameFor stops: EEXIST).
    Status publish(const std::function<std::string(int n)>& nameFor, std::string& taken);
    // Puts the file in the place of `name` in its folder, atomically.
    Status replace(const std::string& name);
    // Closes the descriptor (the file stays open nowhere else); a close that
    // fails is a failed write.
    Status close();

private:
    friend class DeviceFolder;
    int folder_ = -1;           // borrowed from the folder that made it
    int fd_ = -1;
    std::string folderPath_;    // for messages
    std::string tempName_;      // "" when unnamed
    void discard();
};

// A folder of the device, held open by descriptor.
class DeviceFolder {
public:
    DeviceFolder() = default;
    ~DeviceFolder();
    DeviceFolder(DeviceFolder&& other) noexcept;
    DeviceFolder& operator=(DeviceFolder&& other) noexcept;
    DeviceFolder(const DeviceFolder&) = delete;
    DeviceFolder& operator=(const DeviceFolder&) = delete;

    // The folder at `hostPath`, which must lie inside the device root once
    // resolved; with `create`, the missing folders on the way are made
    // (each beneath the one before it).
    static Status open(const std::string& hostPath, DeviceFolder& out, bool create = false);

    // A folder of the host machine that is not a device path (the hosts'
    // own output files, named by the user): opened as the path says.
    static Status openHostFolder(const std::string& hostPath, DeviceFolder& out);

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Every `name` below is one component (no "/", not "." or ".."):
    // anything else is refused (EINVAL).

    // A subfolder, never through a symlink.
    Status openFolder(const std::string& name, DeviceFolder& out) const;
    // A regular file for reading: opened without blocking (a FIFO or a
    // device answers at once), never through a symlink; `st` gets its status.
    Status openRead(const std::string& name, int& fd, struct stat* st = nullptr) const;
    // What the name is, without following a symlink.
    Status statName(const std::string& name, struct stat& st) const;
    // A new file to be written here (see NewFile), mode 0600 until set.
    Status createFile(NewFile& out) const;
    // Makes a folder; EEXIST when the name is taken.
    Status makeFolder(const std::string& name, mode_t mode = 0755) const;
    // Renames `name` to `toName` in `to`; with `replace` false a taken name
    // answers EEXIST and nothing moves.
    Status rename(const std::string& name, const DeviceFolder& to, const std::string& toName, bool replace) const;
    // Removes a file or a symlink (never what a symlink names).
    Status removeFile(const std::string& name) const;
    // Removes a file, or a folder with everything in it; a symlink inside is
    // removed as a link, never followed.
    Status removeTree(const std::string& name) const;
    // Copies a file, a symlink (as a link) or a folder with everything in
    // it to `toName` in `to`, never following a symlink; a name taken there
    // answers EEXIST. A file appears there only complete.
    Status copyTree(const std::string& name, const DeviceFolder& to, const std::string& toName) const;
    // Writes `bytes` as the whole file `name` (mode 0644): the new file
    // appears only complete and synced, or the old one stays. A folder,
    // FIFO, device or socket at the name is refused and stays.
    Status replaceWhole(const std::string& name, const void* bytes, size_t length) const;
    // Makes the folder's entries durable.
    void syncEntries() const;

private:
    Status copyTreeAt(const std::string& name, const DeviceFolder& to, const std::string& toName, int depth) const;
    int fd_ = -1;
    std::string path_;
};

// Whether `name` is one component that a folder operation accepts.
bool isPlainName(std::string_view name);

// Removes the temporary files that writers of the layer left in `folder`
// (a host path inside the device root) when they were ended before they
// could remove them: the hidden ".new-XXXXXX" names that are not held by a
// writer at work. Answers how many went.
size_t sweepTemporaries(const std::string& folderHostPath);
// The same in the folder and in its subfolders down `levels` levels (a
// symlink among them is never followed): one read per folder.
size_t sweepTemporariesBelow(const std::string& folderHostPath, int levels);

// Opens a host path inside the device root beneath it (the kernel refuses
// every step that leads out): -1 with errno set otherwise. `flags` as for
// open(2); O_CLOEXEC is added.
int openInsideRoot(const std::string& hostPath, int flags);

}  // namespace platform
