// New files written whole: filled under a hidden name, then linked under
// their own name only once complete.
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

namespace platform {

bool appendFileRange(int source, int target, off_t from, off_t to, bool writeBack) {
    off_t in = from;
    // Pieces of this size are handed to the disk as they are appended.
    constexpr off_t kWriteBackPiece = 1 << 20;
    off_t out = ::lseek(target, 0, SEEK_CUR), handed = 0;
    auto appended = [&](off_t upTo) {
        if (!writeBack || out < 0 || upTo - handed < kWriteBackPiece) return;
        ::sync_file_range(target, handed, upTo - handed, SYNC_FILE_RANGE_WRITE);
        handed = upTo;
    };
    // The kernel copies page by page: bytes that land at another place in
    // their page than they had (after a tag of any length) go faster
    // through the buffer.
    constexpr off_t kPage = 4096;
    bool samePlaceInPage = out >= 0 && out % kPage == from % kPage;
    while (samePlaceInPage && in < to) {
        ssize_t n = ::copy_file_range(source, &in, target, nullptr,
                                      static_cast<size_t>(writeBack ? std::min(to - in, kWriteBackPiece) : to - in), 0);
        if (n > 0) {
            appended(out + (in - from));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {  // the source ended early
            errno = EIO;
            return false;
        }
        break;  // not supported here: copy by hand
    }
    if (in >= to) return true;
    // Not cleared: every byte is read before it is written.
    const size_t size = static_cast<size_t>(std::min<off_t>(to - in, 1 << 20));
    std::unique_ptr<char[]> buffer(new char[size]);
    while (in < to) {
        ssize_t n = ::pread(source, buffer.get(), std::min<size_t>(size, static_cast<size_t>(to - in)), in);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(target, buffer.get() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
        in += n;
        appended(out + (in - from));
    }
    return true;
}

namespace {

thread_local NewFileBatch* openBatch = nullptr;
std::atomic<unsigned long> syncs{0};

}  // namespace

NewFileBatch::NewFileBatch() : outer_(openBatch) { openBatch = this; }

NewFileBatch::~NewFileBatch() {
    // Closed in the reverse order of opening on this thread.
    if (openBatch == this) openBatch = outer_;
}

bool NewFileBatch::sync() {
    ++syncs;
    int failed = 0;
    auto failure = [&] { failed = failed != 0 ? failed : errno; };
    // The small files' write-back starts now, a group at a time, so that
    // the disk gets them in few requests; then each file of the group is
    // waited for (the first wait commits the journal for all of them). A
    // group is small: each of its files is held open from the one step to
    // the other, and the app has few descriptors to spare.
    std::vector<int> fds;
    for (size_t first = 0; first < files_.size(); first += kOpenAtOnce) {
        size_t end = std::min(files_.size(), first + kOpenAtOnce);
        fds.clear();
        for (size_t i = first; i < end; ++i) {
            int fd = openInsideRoot(files_[i].path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
            if (fd < 0) failure();
            else if (!files_[i].writing) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            fds.push_back(fd);
        }
        for (int fd : fds) {
            if (fd < 0) continue;
            if (::fdatasync(fd) != 0) failure();
            ::close(fd);
        }
    }
    files_.clear();
    if (failed != 0) errno = failed;
    return failed == 0;
}

unsigned long newFileSyncCount() { return syncs.load(); }

std::string publishNewFile(const std::string& folder, const std::function<bool(const std::string& path, int fd)>& fill,
                           const std::function<std::string(int n)>& nameFor) {
    DeviceFolder dir;
    NewFile file;
    if (!DeviceFolder::open(folder, dir).setErrno() || !dir.createFile(file).setErrno()) return "";
    // The data reaches the disk before the name appears, so a power cut never
    // leaves a short file under a final name. In a batch, its write-back only
    // starts now and the batch's sync() waits for it.
    NewFileBatch* batch = openBatch;
    errno = 0;
    bool filled = fill(file.reopenPath(), file.fd());
    // A file this large goes to the disk while the batch's next ones are
    // made; smaller ones wait for the batch's sync().
    constexpr off_t kWriteBackAtOnce = 1 << 20;
    struct stat st {};
    bool writing = false;
    if (filled && batch != nullptr) {
        writing = ::fstat(file.fd(), &st) == 0 && st.st_size >= kWriteBackAtOnce;
        if (writing) ::sync_file_range(file.fd(), 0, 0, SYNC_FILE_RANGE_WRITE);
    } else if (filled) {
        ++syncs;
        filled = ::fdatasync(file.fd()) == 0;
    }
    if (!filled) {
        if (errno == 0) errno = EIO;
        return "";
    }
    std::string taken;
    if (!file.publish(nameFor, taken).setErrno()) return "";
    if (batch != nullptr) batch->files_.push_back({folder + "/" + taken, writing});
    return taken;
}

}  // namespace platform
