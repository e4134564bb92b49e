// The device root: every device path resolves under one folder of the host
// machine, and nothing is read or written outside it.
//
//   "/var/mobile/Library/x"  -> ROOT/var/mobile/Library/x
//   "//var/mobile/x"         -> ROOT/var/mobile/x
//   "/User/Library/x"        -> ROOT/var/mobile/Library/x   (/User is /var/mobile)
//   "var/mobile/Media/x"     -> ROOT/var/mobile/Media/x     (relative to the root)
//   "ROOT/var/x"             -> unchanged (already resolved)
// A path whose ".." would climb out of the root resolves to "" (callers treat
// it as a file that cannot be read or written), and so does one that leads
// out of it through a symlink (symlinks that stay inside are followed), and
// any path under ROOT/.platform when that is not a real folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Sets the root (made absolute and normalised). Until it is set, the root is
// $CANTREL_DEVICE_ROOT, else the working directory at first use.
void setDeviceRoot(const std::string& path);
std::string deviceRoot();

// The host path of a device path, or "" when it would leave the root.
std::string devicePath(const std::string& path);

// Creates the folder (and its parents) of a device path; false on failure.
bool makeDeviceDirectories(const std::string& path);
// EMFILE or ENFILE when this process cannot open one more file (a device
// path that did not resolve may have failed for that alone), else 0.
int descriptorShortage();

// The absolute, lexically normalised form of a host path ("a/../b" is
// CWD/b, and "a" is never looked at); "" when it cannot be made.
std::string absoluteHostPath(const std::string& path);

// True when `hostPath` (absolute and normalised) lies in the folder
// `rootHostPath` once the symlinks of the part of it that exists are
// resolved; false for a dangling symlink on the way.
bool resolvesInside(const std::string& hostPath, const std::string& rootHostPath);

// Every read of a device file goes through these. The file must be a
// regular file inside the device root (what was opened is checked, so a
// symlink swapped in on the way cannot lead out); a FIFO, a device or a
// folder answers at once with -1 / false and errno set, never blocks.
int openDeviceFile(const std::string& hostPath);  // a read-only descriptor, or -1
// The whole file, refused (EFBIG) when larger than maxBytes.
bool readDeviceFile(const std::string& hostPath, std::string& out, size_t maxBytes = SIZE_MAX);

// Every new file written whole goes through this. `fill` writes the file into
// a hidden temporary file in the host folder `folder` (it gets the file's
// path and a descriptor open for writing); once it answers true the file
// appears at once and complete under the first of nameFor(1), nameFor(2), …
// that is not taken (never replacing a file; "" from nameFor stops), and the
// temporary name goes. The data is on the disk before the name appears,
// unless a NewFileBatch is open (see there). Answers the name taken, or "" with errno set (EEXIST
// when every name offered was taken) and nothing left behind.
std::string publishNewFile(const std::string& folder, const std::function<bool(const std::string& path, int fd)>& fill,
                           const std::function<std::string(int n)>& nameFor);

// New files published on one thread as one batch: while a NewFileBatch is
// open on the calling thread, publishNewFile names each file at once without
// waiting for the disk (a large file's write-back starts at once, small
// ones go to the disk together); sync() then makes every file of the batch
// durable in one pass. Whoever opens a batch names
// its files where nothing reads them until sync() has answered true (a
// hidden folder renamed into place afterwards). Batches nest: a file belongs
// to the innermost one.
class NewFileBatch {
public:
    NewFileBatch();
    ~NewFileBatch();
    NewFileBatch(const NewFileBatch&) = delete;
    NewFileBatch& operator=(const NewFileBatch&) = delete;
    // Waits until every file published in the batch so far is on the disk;
    // false (errno set) when any of them failed or is gone.
    bool sync();
    // Files held open at once by sync().
    static constexpr size_t kOpenAtOnce = 16;

private:
    friend std::string publishNewFile(const std::string&, const std::function<bool(const std::string&, int)>&,
                                      const std::function<std::string(int)>&);
    struct File {
        std::string path;  // host path
        bool writing;      // its write-back has started
    };
    NewFileBatch* outer_;
    std::vector<File> files_;
};

// The number of times new files were made durable so far in this process:
// one for each file published outside a batch, one for each batch's sync().
unsigned long newFileSyncCount();

// Appends bytes [from, to) of `source` to `target`: in the kernel where it
// can and the bytes keep their place in the page, else through a buffer.
// False on a read or write error or when the source ends early. With
// `writeBack`, the disk starts writing each piece as soon as it is appended,
// so that a sync afterwards has less left to wait for.
bool appendFileRange(int source, int target, off_t from, off_t to, bool writeBack = false);

}  // namespace platform
