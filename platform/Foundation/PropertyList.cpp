// Property lists through libplist, and crash-safe file writes.
//
// libplist keeps every integer as 64 bits and tells a negative value from an
// unsigned one above INT64_MAX only through its own width flag: a node made
// with plist_new_uint is written signed, one parsed from decimal digits above
// INT64_MAX unsigned. So big unsigned values are made by parsing, and read
// back by asking how the node would be written.
#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSString.h>
#include <platform/DeviceRoot.h>

#include "Internal.h"

#include <plist/plist.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct NodeFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeFree>;

// Deeper nesting is taken for a cycle (a container holding itself).
constexpr int kMaxDepth = 512;

// ---------------------------------------------------------------------------
// Objects to nodes.

plist_t bigUnsignedNode(unsigned long long v) {
    std::string xml = "<plist version=\"1.0\"><integer>" + std::to_string(v) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &node);
    return node;
}

plist_t numberNode(NSNumber* n) {
    switch (n->kind()) {
        case NSNumber::Kind::Bool: return plist_new_bool(n->boolValue() ? 1 : 0);
        case NSNumber::Kind::Signed: return plist_new_uint(static_cast<uint64_t>(n->longLongValue()));
        case NSNumber::Kind::Unsigned: return bigUnsignedNode(n->unsignedLongLongValue());
        case NSNumber::Kind::Float:
        case NSNumber::Kind::Double: return plist_new_real(n->doubleValue());
    }
    return nullptr;
}

// Dates are seconds and microseconds from 2001 in 32-bit fields.
plist_t dateNode(NSDate* d) {
    double t = d->timeIntervalSinceReferenceDate();
    if (!std::isfinite(t) || t >= 2147483647.0 || t <= -2147483648.0) return nullptr;
    double whole = std::trunc(t);
    auto sec = static_cast<int32_t>(whole);
    auto usec = static_cast<int32_t>(std::lround((t - whole) * 1e6));
    if (usec >= 1000000 || usec <= -1000000) {
        if (sec == (usec > 0 ? INT32_MAX : INT32_MIN)) return nullptr;
        sec += usec > 0 ? 1 : -1;
        usec += usec > 0 ? -1000000 : 1000000;
    }
    return plist_new_date(sec, usec);
}

// nullptr when obj (or anything inside it) has no property-list form.
plist_t toNode(id obj, int depth) {
    if (obj == nullptr || depth > kMaxDepth) return nullptr;
    if (objc_isKindOfClass(obj, NSString::cls())) return plist_new_string(static_cast<NSString*>(obj)->c_str());
    if (objc_isKindOfClass(obj, NSNumber::cls())) return numberNode(static_cast<NSNumber*>(obj));
    if (objc_isKindOfClass(obj, NSData::cls())) {
        auto* d = static_cast<NSData*>(obj);
        return plist_new_data(static_cast<const char*>(d->bytes()), d->length());
    }
    if (objc_isKindOfClass(obj, NSDate::cls())) return dateNode(static_cast<NSDate*>(obj));
    if (objc_isKindOfClass(obj, NSArray::cls())) {
        Node array(plist_new_array());
        for (id item : *static_cast<NSArray*>(obj)) {
            plist_t child = toNode(item, depth + 1);
            if (child == nullptr) return nullptr;
            plist_array_append_item(array.get(), child);
        }
        return array.release();
    }
    if (objc_isKindOfClass(obj, NSDictionary::cls())) {
        Node dict(plist_new_dict());
        for (const auto& e : static_cast<NSDictionary*>(obj)->entries()) {
            if (!objc_isKindOfClass(e.key.get(), NSString::cls())) return nullptr;
            plist_t child = toNode(e.value.get(), depth + 1);
            if (child == nullptr) return nullptr;
            plist_dict_set_item(dict.get(), static_cast<NSString*>(e.key.get())->c_str(), child);
        }
        return dict.release();
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Nodes to objects (autoreleased; nil when a node has no object form).

bool writtenNegative(plist_t node) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    bool negative = xml != nullptr && std::string_view(xml, length).find("<integer>-") != std::string_view::npos;
    std::free(xml);
    return negative;
}

id fromNode(plist_t node, int depth) {
    if (node == nullptr || depth > kMaxDepth) return nullptr;
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t v = 0;
            plist_get_bool_val(node, &v);
            return NSNumber::withBool(v != 0);
        }
        case PLIST_UINT: {
            uint64_t v = 0;
            plist_get_uint_val(node, &v);
            if ((v >> 63) != 0 && writtenNegative(node)) return NSNumber::withLongLong(static_cast<long long>(v));
            return NSNumber::withUnsignedLongLong(v);
        }
        case PLIST_UID: {
            uint64_t v = 0;
            plist_get_uid_val(node, &v);
            return NSNumber::withUnsignedLongLong(v);
        }
        case PLIST_REAL: {
            double v = 0;
            plist_get_real_val(node, &v);
            return NSNumber::withDouble(v);
        }
        case PLIST_STRING: {
            uint64_t length = 0;
            const char* s = plist_get_string_ptr(node, &length);
            return NSString::make(s ? std::string_view(s, length) : std::string_view());
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            return NSData::make(bytes, bytes ? length : 0);
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            return NSDate::withTimeIntervalSince1970(NSTimeIntervalSince1970 + sec + usec / 1e6);
        }
        case PLIST_ARRAY: {
            std::vector<id> items;
            uint32_t n = plist_array_get_size(node);
            for (uint32_t i = 0; i < n; ++i) {
                id item = fromNode(plist_array_get_item(node, i), depth + 1);
                if (item == nullptr) return nullptr;
                items.push_back(item);
            }
            return NSArray::make(items);
        }
        case PLIST_DICT: {
            NSDictionary* dict = autorelease(foundation::allocate<NSDictionary>(NSDictionary::cls()));
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            std::unique_ptr<void, decltype(&std::free)> iterOwner(it, &std::free);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                std::unique_ptr<char, decltype(&std::free)> keyOwner(key, &std::free);
                if (value == nullptr) break;
                id obj = fromNode(value, depth + 1);
                if (key == nullptr || obj == nullptr) return nullptr;
                dict->setObject(obj, NSString::make(key));
            }
            return dict;
        }
        default: return nullptr;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

bool encodePropertyList(id root, bool binary, std::string& out) {
    Node node(toNode(root, 0));
    if (!node) return false;
    char* bytes = nullptr;
    uint32_t length = 0;
    if (binary) {
        plist_to_bin(node.get(), &bytes, &length);
    } else {
        plist_to_xml(node.get(), &bytes, &length);
    }
    if (bytes == nullptr) return false;
    out.assign(bytes, length);
    std::free(bytes);
    return true;
}

id decodePropertyList(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
    Node node(raw);
    return fromNode(raw, 0);
}

bool writePropertyList(id root, const std::string& path, bool binary) {
    std::string host = devicePath(path);
    std::string bytes;
    if (host.empty() || !encodePropertyList(root, binary, bytes)) return false;
    return writeFileAtomically(host, bytes.data(), bytes.size());
}

id readPropertyList(const std::string& path) {
    std::string host = devicePath(path);
    std::string bytes;
    if (host.empty() || !foundation::readHostFile(host, bytes)) return nullptr;
    return decodePropertyList(bytes);
}

// ---------------------------------------------------------------------------
// Files.

namespace {

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

bool writeFileAtomically(const std::string& hostPath, const void* bytes, size_t length) {
    auto fail = [](int err) {
        errno = err;
        return false;
    };
    if (hostPath.empty()) return fail(ENOENT);
    if (hostPath.back() == '/') return fail(EISDIR);
    size_t slash = hostPath.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
    std::string base = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) return fail(ENOTDIR);
    // A folder in the file's place stays (rename would refuse it only after
    // the whole picture was written).
    if (::stat(hostPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return fail(EISDIR);
    // Nor is a device, a pipe or a socket replaced by a file.
    if (::lstat(hostPath.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return fail(EINVAL);

    std::string temp = (dir == "/" ? "" : dir) + "/." + base + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = writeAll(fd, static_cast<const char*>(bytes), length) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), hostPath.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return fail(err);
    }
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool foundation::readHostFile(const std::string& hostPath, std::string& out) {
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    out.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace platform
