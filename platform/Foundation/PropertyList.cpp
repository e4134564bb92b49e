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
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>
#include <platform/Unicode.h>

#include "Internal.h"

#include <plist/plist.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct NodeFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeFree>;

// Deeper nesting is taken for a cycle (a container holding itself) when
// writing, and refused before parsing when reading: libplist recurses (and
// checks for cycles in quadratic time) on nesting.
constexpr int kMaxDepth = 512;
// A binary list can share an object among many containers; libplist makes
// a copy of it for each, so a small file could expand without bound.
constexpr uint64_t kMaxBinaryNodes = uint64_t{1} << 20;
// Property-list files on the device are small (the preference file is a few
// hundred bytes); larger ones are not read.
constexpr size_t kMaxPropertyListFile = 1 << 20;

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

// A property list holds well-formed UTF-8 (libplist's writers read it as
// such): a byte a string keeps outside it is written as U+FFFD.
std::string plistText(const NSString* s) {
    return platform::unicode::sanitizeUtf8(s->str());
}

// nullptr when obj (or anything inside it) has no property-list form.
plist_t toNode(id obj, int depth) {
    if (obj == nullptr || depth > kMaxDepth) return nullptr;
    if (objc_isKindOfClass(obj, NSString::cls()))
        return plist_new_string(plistText(static_cast<NSString*>(obj)).c_str());
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
            plist_dict_set_item(dict.get(), plistText(static_cast<NSString*>(e.key.get())).c_str(), child);
        }
        return dict.release();
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Checks made before libplist sees the bytes, in time linear in their size.
//
// XML: libplist files every key of a dictionary in a hash table of fixed
// size, which makes a dictionary of n keys cost O(n^2). So every <dict> is
// handed to it as an <array> and every <key> as a <string>, and the shape
// recorded here (in document order, which is the order of a pre-order walk
// of the parsed tree) turns them back into dictionaries and keys.

struct XmlShape {
    std::vector<bool> containerIsDict;  // per <dict>/<array>, in order
    std::vector<bool> stringIsKey;      // per <key>/<string>, in order
};

// Where the walk of the parsed tree stands in the shape.
struct ShapeCursor {
    const XmlShape& shape;
    size_t container = 0;
    size_t string = 0;
};

// The position just past `end` in text from `from`, or npos.
size_t skipPast(std::string_view text, size_t from, std::string_view end) {
    size_t at = text.find(end, from);
    return at == std::string_view::npos ? at : at + end.size();
}

// False when the text is nested deeper than kMaxDepth, closes a container
// with the other kind's tag, or cannot be tokenised. Comments, CDATA
// sections, processing instructions and the document type are skipped as
// libplist skips them; nesting is counted on <dict> and <array> only.
bool prepareXml(std::string_view in, std::string& out, XmlShape& shape) {
    out.clear();
    out.reserve(in.size() + in.size() / 8);
    std::vector<bool> open;  // the containers open, innermost last: true for <dict>
    size_t copied = 0;
    size_t at = 0;
    auto rename = [&](size_t nameAt, size_t nameLength, std::string_view to) {
        out.append(in, copied, nameAt - copied);
        out.append(to);
        copied = nameAt + nameLength;
    };
    while ((at = in.find('<', at)) != std::string_view::npos) {
        std::string_view rest = in.substr(at);
        size_t next = std::string_view::npos;
        if (rest.starts_with("<?")) {
            next = skipPast(in, at + 2, "?>");
        } else if (rest.starts_with("<!--")) {
            next = skipPast(in, at + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            next = skipPast(in, at + 9, "]]>");
        } else if (rest.starts_with("<!")) {
            size_t close = in.find_first_of("[>", at + 2);
            if (close != std::string_view::npos) next = in[close] == '[' ? skipPast(in, close, "]>") : close + 1;
        } else {
            bool closing = rest.size() > 1 && rest[1] == '/';
            size_t nameAt = at + (closing ? 2 : 1);
            size_t nameEnd = in.find_first_of(" \t\r\n<>/", nameAt);
            size_t end = in.find('>', nameAt);
            if (nameEnd == std::string_view::npos || end == std::string_view::npos) return false;
            std::string_view name = in.substr(nameAt, nameEnd - nameAt);
            bool empty = !closing && in[end - 1] == '/';
            bool dict = name == "dict";
            if (dict || name == "array") {
                // Once renamed, a </dict> could close an <array>: the pairs
                // are checked here.
                if (closing) {
                    if (open.empty() || open.back() != dict) return false;
                    open.pop_back();
                } else {
                    shape.containerIsDict.push_back(dict);
                    if (!empty) open.push_back(dict);
                    if (open.size() > static_cast<size_t>(kMaxDepth)) return false;
                }
                if (dict) rename(nameAt, name.size(), "array");
            } else if (name == "key" || name == "string") {
                bool key = name == "key";
                if (!closing) shape.stringIsKey.push_back(key);
                if (key) rename(nameAt, name.size(), "string");
            }
            next = end + 1;
        }
        if (next == std::string_view::npos) return false;
        at = next;
    }
    out.append(in, copied);
    return true;
}

// Binary: the objects are checked for nesting, cycles and expansion without
// building anything; offsets and references outside the file are refused
// here as libplist refuses them.
class BinaryCheck {
public:
    explicit BinaryCheck(std::string_view bytes) : b_(bytes) {}

    bool ok() {
        if (b_.size() < 8 + 32) return false;
        size_t trailer = b_.size() - 32;
        offsetSize_ = u8(trailer + 6);
        refSize_ = u8(trailer + 7);
        uint64_t count = be(trailer + 8, 8), top = be(trailer + 16, 8), table = be(trailer + 24, 8);
        if (offsetSize_ == 0 || offsetSize_ > 8 || refSize_ == 0 || refSize_ > 8) return false;
        if (count == 0 || top >= count || table < 8 || table > trailer) return false;
        if (count > (trailer - table) / offsetSize_) return false;
        table_ = static_cast<size_t>(table);
        objectsEnd_ = table_;
        count_ = static_cast<size_t>(count);
        height_.assign(count_, 0);
        nodes_.assign(count_, 0);
        state_.assign(count_, 0);
        return walk(static_cast<size_t>(top));
    }

private:
    struct Frame {
        size_t object;
        size_t refsAt;
        size_t refs;
        size_t next = 0;
    };

    uint8_t u8(size_t at) const { return static_cast<uint8_t>(b_[at]); }
    uint64_t be(size_t at, size_t n) const {
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v = v << 8 | u8(at + i);
        return v;
    }

    // The references of a container object (0 for any other object); false
    // when the object or its references lie outside the object area.
    bool references(size_t object, size_t* refsAt, size_t* refs) const {
        uint64_t offset = be(table_ + object * offsetSize_, offsetSize_);
        if (offset < 8 || offset >= objectsEnd_) return false;
        size_t at = static_cast<size_t>(offset);
        uint8_t marker = u8(at);
        unsigned kind = marker >> 4;
        *refs = 0;
        *refsAt = 0;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return true;
        uint64_t length = marker & 0x0F;
        ++at;
        if (length == 0x0F) {
            if (at >= objectsEnd_ || (u8(at) >> 4) != 0x1) return false;
            size_t width = size_t{1} << (u8(at) & 0x0F);
            if (width > 8 || at + 1 + width > objectsEnd_) return false;
            length = be(at + 1, width);
            at += 1 + width;
        }
        uint64_t perItem = kind == 0xD ? 2 : 1;
        if (length > (objectsEnd_ - at) / refSize_ / perItem) return false;
        *refs = static_cast<size_t>(length * perItem);
        *refsAt = at;
        return true;
    }

    // Iterative depth-first walk: height (containers on the deepest path)
    // and expanded node count of every object reached, each object once.
    bool walk(size_t top) {
        std::vector<Frame> stack;
        auto enter = [&](size_t object) {
            Frame f{object, 0, 0};
            if (!references(object, &f.refsAt, &f.refs)) return false;
            state_[object] = 1;
            stack.push_back(f);
            return true;
        };
        if (!enter(top)) return false;
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next < f.refs) {
                uint64_t child = be(f.refsAt + f.next * refSize_, refSize_);
                ++f.next;
                if (child >= count_) return false;
                auto c = static_cast<size_t>(child);
                if (state_[c] == 1) return false;  // a cycle
                if (state_[c] == 0 && !enter(c)) return false;
                continue;
            }
            // Done with f: its height and size from its children.
            bool container = f.refsAt != 0;
            uint64_t height = 0, nodes = 1;
            for (size_t i = 0; i < f.refs; ++i) {
                auto c = static_cast<size_t>(be(f.refsAt + i * refSize_, refSize_));
                height = std::max(height, height_[c]);
                nodes += nodes_[c];
                if (nodes > kMaxBinaryNodes) return false;
            }
            if (container) ++height;
            if (height > static_cast<uint64_t>(kMaxDepth)) return false;
            height_[f.object] = height;
            nodes_[f.object] = nodes;
            state_[f.object] = 2;
            stack.pop_back();
        }
        return true;
    }

    std::string_view b_;
    size_t offsetSize_ = 0, refSize_ = 0, table_ = 0, objectsEnd_ = 0, count_ = 0;
    std::vector<uint64_t> height_, nodes_;
    std::vector<uint8_t> state_;  // 0 not seen, 1 on the walk, 2 done
};

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

// Whether the next string of the walk was a <key>; false without a shape.
bool nextStringIsKey(ShapeCursor* shape) {
    if (shape == nullptr) return false;
    const auto& keys = shape->shape.stringIsKey;
    return shape->string < keys.size() ? keys[shape->string++] : true;
}

// The same for the next container and <dict>.
bool nextContainerIsDict(ShapeCursor* shape) {
    if (shape == nullptr) return false;
    const auto& dicts = shape->shape.containerIsDict;
    return shape->container < dicts.size() && dicts[shape->container++];
}

id fromNode(plist_t node, int depth, ShapeCursor* shape);

// A dictionary handed to libplist as an array of alternating keys and
// values; nil unless every key is a <key> and no value is one.
id dictionaryFromPairs(plist_t node, int depth, ShapeCursor* shape) {
    uint32_t n = plist_array_get_size(node);
    if (n % 2 != 0) return nullptr;
    NSDictionary* dict = autorelease(foundation::allocate<NSDictionary>(NSDictionary::cls()));
    for (uint32_t i = 0; i < n; i += 2) {
        plist_t key = plist_array_get_item(node, i);
        if (plist_get_node_type(key) != PLIST_STRING || !nextStringIsKey(shape)) return nullptr;
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(key, &length);
        id value = fromNode(plist_array_get_item(node, i + 1), depth + 1, shape);
        if (value == nullptr) return nullptr;
        dict->setObject(value, NSString::make(text ? std::string_view(text, length) : std::string_view()));
    }
    return dict;
}

id fromNode(plist_t node, int depth, ShapeCursor* shape) {
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
            if (nextStringIsKey(shape)) return nullptr;  // a key where a value belongs
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
            if (nextContainerIsDict(shape)) return dictionaryFromPairs(node, depth, shape);
            std::vector<id> items;
            uint32_t n = plist_array_get_size(node);
            for (uint32_t i = 0; i < n; ++i) {
                id item = fromNode(plist_array_get_item(node, i), depth + 1, shape);
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
                id obj = fromNode(value, depth + 1, shape);
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
    if (bytes.starts_with("bplist00")) {
        if (!BinaryCheck(bytes).ok()) return nullptr;
        plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
        Node node(raw);
        return fromNode(raw, 0, nullptr);
    }
    std::string xml;
    XmlShape shape;
    if (!prepareXml(bytes, xml, shape) || xml.size() > std::numeric_limits<uint32_t>::max()) return nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &raw);
    Node node(raw);
    ShapeCursor cursor{shape};
    return fromNode(raw, 0, &cursor);
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
    if (host.empty() || !readDeviceFile(host, bytes, kMaxPropertyListFile)) return nullptr;
    return decodePropertyList(bytes);
}

// ---------------------------------------------------------------------------
// Files.


bool writeFileAtomically(const std::string& hostPath, const void* bytes, size_t length) {
    if (hostPath.empty()) {
        errno = ENOENT;
        return false;
    }
    if (hostPath.back() == '/') {
        errno = EISDIR;
        return false;
    }
    size_t slash = hostPath.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : hostPath.substr(0, slash);
    std::string base = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
    // A device file's folder is opened beneath the device root and the file
    // replaced in it by name; a host's own output elsewhere is written where
    // its path says.
    const std::string root = deviceRoot();
    bool device = root == "/" || hostPath.compare(0, root.size() + 1, root + "/") == 0;
    DeviceFolder folder;
    Status s = device ? DeviceFolder::open(dir, folder) : DeviceFolder::openHostFolder(dir, folder);
    if (s.ok()) s = folder.replaceWhole(base, bytes, length);
    return s.setErrno();
}

}  // namespace platform
