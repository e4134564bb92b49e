// New files written whole: filled under a hidden name, then linked under
// their own name only once complete.
#include <platform/DeviceRoot.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace platform {

bool appendFileRange(int source, int target, off_t from, off_t to) {
    off_t in = from;
    // The kernel copies page by page: bytes that land at another place in
    // their page than they had (after a tag of any length) go faster
    // through the buffer.
    constexpr off_t kPage = 4096;
    off_t at = ::lseek(target, 0, SEEK_CUR);
    bool samePlaceInPage = at >= 0 && at % kPage == from % kPage;
    while (samePlaceInPage && in < to) {
        ssize_t n = ::copy_file_range(source, &in, target, nullptr, static_cast<size_t>(to - in), 0);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {  // the source ended early
            errno = EIO;
            return false;
        }
        break;  // not supported here: copy by hand
    }
    std::vector<char> buffer(1 << 20);
    while (in < to) {
        ssize_t n = ::pread(source, buffer.data(), std::min<size_t>(buffer.size(), static_cast<size_t>(to - in)), in);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(target, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
        in += n;
    }
    return true;
}

std::string publishNewFile(const std::string& folder, const std::function<bool(const std::string& path, int fd)>& fill,
                           const std::function<std::string(int n)>& nameFor) {
    std::string temp = folder + "/.new-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return "";
    std::string path(name.data());
    // The data reaches the disk before the name appears, so a power cut never
    // leaves a short file under a final name.
    bool filled = fill(path, fd) && ::fdatasync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && filled) {
        filled = false;
        saved = errno;
    }
    std::string taken;
    if (!filled) {
        saved = saved != 0 ? saved : EIO;
    } else {
        saved = EEXIST;
        for (int n = 1;; ++n) {
            std::string candidate = nameFor(n);
            if (candidate.empty()) break;
            // link() never replaces: a taken name answers EEXIST.
            if (::link(path.c_str(), (folder + "/" + candidate).c_str()) == 0) {
                taken = candidate;
                break;
            }
            saved = errno;
            if (saved != EEXIST) break;
        }
    }
    ::unlink(path.c_str());
    if (taken.empty()) errno = saved;
    return taken;
}

}  // namespace platform
