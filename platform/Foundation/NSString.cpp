// NSString and NSMutableString.
#include <Foundation/NSArray.h>
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>
#include <platform/Platform.h>

#include "Internal.h"

#include <platform/Unicode.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

namespace uc = platform::unicode;
using platform::foundation::allocate;

// ---------------------------------------------------------------------------
// C++ API

NSString* NSString::create(std::string_view utf8) {
    auto* s = allocate<NSString>(NSString::cls());
    s->assign(std::string(utf8));
    return s;
}

NSString* NSString::make(std::string_view utf8) { return autorelease(create(utf8)); }

void NSString::assign(std::string utf8) {
    utf8_ = std::move(utf8);
    utf16Length_ = uc::utf16Length(utf8_);
}

std::u16string NSString::utf16() const { return uc::toUtf16(utf8_); }

unsigned short NSString::characterAtIndex(NSUInteger index) const {
    if (index >= utf16Length_) {
        NSException::raise(NSRangeException, "-[NSString characterAtIndex:]: index " + std::to_string(index) +
                                                 " beyond bounds " + std::to_string(utf16Length_));
    }
    if (utf16Length_ == utf8_.size()) {  // one byte a character: ASCII, or a kept byte
        auto byte = static_cast<unsigned char>(utf8_[index]);
        return static_cast<unsigned short>(byte < 0x80 ? byte : uc::kKeptByteBase + byte);
    }
    NSUInteger unit = 0;
    for (size_t i = 0; i < utf8_.size();) {
        char32_t cp = uc::decode(utf8_, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            if (unit == index) return static_cast<unsigned short>(0xD800 + (cp >> 10));
            if (unit + 1 == index) return static_cast<unsigned short>(0xDC00 + (cp & 0x3FF));
            unit += 2;
        } else {
            if (unit == index) return static_cast<unsigned short>(cp);
            unit += 1;
        }
    }
    return 0;  // not reached: index < length
}

NSUInteger NSString::hash() const {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (char c : utf8_) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

NSMutableString* NSMutableString::make(std::string_view utf8) {
    auto* s = allocate<NSMutableString>(NSMutableString::cls());
    s->assign(std::string(utf8));
    return autorelease(s);
}

void NSMutableString::append(std::string_view utf8) {
    std::string next = str();
    next += utf8;
    assign(std::move(next));
}

NSString* platform::makeImmortalString(const char* utf8, size_t length) {
    // A literal evaluated before the platform registered its classes (a
    // static initialiser of another library) registers them first.
    if (NSString::cls() == nullptr) platform::initialize();
    NSString* s = NSString::create(std::string_view(utf8, length));
    // The runtime's immortal flag (bit 63 of the count, as class objects
    // have): retain and release leave the object alone from now on.
    s->rc_.fetch_or(uint64_t(1) << 63);
    return s;
}

// ---------------------------------------------------------------------------
// Path rules: runs of '/' count as one, a trailing '/' is dropped (except for
// the root itself), an extension is what follows the last '.' of the last
// component unless that '.' starts the component.

namespace {
namespace path {

std::string standardSlashes(std::string_view p) {
    std::string out;
    out.reserve(p.size());
    for (char c : p) {
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out += c;
    }
    if (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

std::string appendingComponent(std::string_view base, std::string_view component) {
    if (base.empty()) return standardSlashes(component);
    if (component.empty()) return standardSlashes(base);
    std::string joined(base);
    joined += '/';
    joined += component;
    return standardSlashes(joined);
}

std::string lastComponent(std::string_view p) {
    std::string f = standardSlashes(p);
    if (f == "/") return f;
    size_t slash = f.rfind('/');
    return slash == std::string::npos ? f : f.substr(slash + 1);
}

std::string deletingLastComponent(std::string_view p) {
    std::string f = standardSlashes(p);
    if (f == "/") return f;
    size_t slash = f.rfind('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return f.substr(0, slash);
}

// Position of the extension's '.' in the standardised path, or npos.
size_t extensionDot(const std::string& f) {
    size_t start = f.rfind('/');
    start = start == std::string::npos ? 0 : start + 1;
    size_t dot = f.rfind('.');
    if (dot == std::string::npos || dot <= start) return std::string::npos;
    return dot;
}

std::string extension(std::string_view p) {
    std::string f = standardSlashes(p);
    size_t dot = extensionDot(f);
    return dot == std::string::npos ? "" : f.substr(dot + 1);
}

std::string deletingExtension(std::string_view p) {
    std::string f = standardSlashes(p);
    size_t dot = extensionDot(f);
    return dot == std::string::npos ? f : f.substr(0, dot);
}

// "/a/b/" → "/", "a", "b", "/".
std::vector<std::string> components(std::string_view p) {
    std::vector<std::string> out;
    if (p.empty()) return out;
    if (p.front() == '/') out.emplace_back("/");
    size_t i = 0;
    while (i < p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string_view::npos) j = p.size();
        if (j > i) out.emplace_back(p.substr(i, j - i));
        i = j + 1;
    }
    if (p.size() > 1 && p.back() == '/' && out.size() > 1) out.emplace_back("/");
    return out;
}

}  // namespace path
}  // namespace

// ---------------------------------------------------------------------------
// Numeric values of text.

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

size_t skipSpace(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    return i;
}

// Leading white space, an optional sign, decimal digits; clamped to
// [min, max]; 0 without digits.
long long parseInteger(std::string_view s, long long min, long long max) {
    size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    unsigned long long limit = negative ? static_cast<unsigned long long>(-(min + 1)) + 1 : static_cast<unsigned long long>(max);
    unsigned long long v = 0;
    bool clamped = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        unsigned digit = static_cast<unsigned>(s[i] - '0');
        if (v > (limit - digit) / 10) {
            clamped = true;
            break;
        }
        v = v * 10 + digit;
    }
    if (clamped) return negative ? min : max;
    if (negative) return v == 0 ? 0 : -static_cast<long long>(v - 1) - 1;
    return static_cast<long long>(v);
}

double parseDouble(std::string_view s) {
    size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) return 0.0;  // one sign only
    double v = 0.0;
    auto [end, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range) {
        v = std::strtod(std::string(s.substr(i)).c_str(), nullptr);
    } else if (ec != std::errc()) {
        return 0.0;
    }
    (void)end;
    return negative ? -v : v;
}

// YES when, after white space, a sign and any run of '0', the next
// character is one of Y y T t 1-9.
bool parseBool(std::string_view s) {
    size_t i = skipSpace(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] == '0') ++i;
    if (i == s.size()) return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// UTF-16 order, as the platform compares.
NSComparisonResult compareText(const std::string& a, const std::string& b) {
    int c;
    // One byte a character (ASCII and kept bytes, U+DC80 + byte): the bytes
    // sort as the UTF-16 units do.
    if (uc::utf16Length(a) == a.size() && uc::utf16Length(b) == b.size()) {
        c = a.compare(b);
    } else {
        c = uc::toUtf16(a).compare(uc::toUtf16(b));
    }
    return c < 0 ? NSOrderedAscending : c > 0 ? NSOrderedDescending : NSOrderedSame;
}

std::string foldCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) uc::appendCharacter(out, uc::toLower(uc::toUpper(uc::decode(s, i))));
    return out;
}

[[noreturn]] void raiseNil(const char* method) {
    NSException::raise(NSInvalidArgumentException, std::string(method) + ": nil argument");
}

NSString* make(std::string utf8) {
    auto* s = allocate<NSString>(NSString::cls());
    s->assign(std::move(utf8));
    return autorelease(s);
}

bool isString(id obj) { return objc_isKindOfClass(obj, NSString::cls()); }

// ---------------------------------------------------------------------------
// Runtime methods.

id stringClass(objc_class* self, SEL) { return autorelease(class_createInstance(self)); }

id stringWithUTF8String(objc_class* self, SEL, const char* utf8) {
    if (utf8 == nullptr || !uc::isValidUtf8(utf8)) return nullptr;
    auto* s = allocate<NSString>(self);
    s->assign(utf8);
    return autorelease(s);
}

id stringWithString(objc_class* self, SEL, NSString* other) {
    if (other == nullptr) raiseNil("+[NSString stringWithString:]");
    auto* s = allocate<NSString>(self);
    s->assign(other->str());
    return autorelease(s);
}

id initWithUTF8String(NSString* self, SEL, const char* utf8) {
    if (utf8 == nullptr || !uc::isValidUtf8(utf8)) {
        release(self);
        return nullptr;
    }
    self->assign(utf8);
    return self;
}

id initWithString(NSString* self, SEL, NSString* other) {
    if (other == nullptr) {
        release(self);
        raiseNil("-[NSString initWithString:]");
    }
    self->assign(other->str());
    return self;
}

const char* utf8String(NSString* self, SEL) { return self->c_str(); }
NSUInteger length(NSString* self, SEL) { return self->length(); }
unsigned short characterAtIndex(NSString* self, SEL, NSUInteger i) { return self->characterAtIndex(i); }
BOOL isEqualToString(NSString* self, SEL, NSString* other) { return self->isEqualToString(other); }
BOOL isEqual(NSString* self, SEL, id other) {
    return other == self || (isString(other) && self->isEqualToString(static_cast<NSString*>(other)));
}
NSUInteger hash(NSString* self, SEL) { return self->hash(); }
NSString* description(NSString* self, SEL) { return self; }
id copyImmutable(NSString* self, SEL, id) { return retain(self); }
id copyMutable(NSString* self, SEL, id) { return NSString::create(self->str()); }
id mutableCopy(NSString* self, SEL, id) {
    auto* s = allocate<NSMutableString>(NSMutableString::cls());
    s->assign(self->str());
    return s;
}

NSString* stringByAppendingString(NSString* self, SEL, NSString* other) {
    if (other == nullptr) raiseNil("-[NSString stringByAppendingString:]");
    return make(self->str() + other->str());
}

NSString* stringByAppendingPathComponent(NSString* self, SEL, NSString* component) {
    if (component == nullptr) raiseNil("-[NSString stringByAppendingPathComponent:]");
    return make(path::appendingComponent(self->str(), component->str()));
}
NSString* lastPathComponent(NSString* self, SEL) { return make(path::lastComponent(self->str())); }
NSString* pathExtension(NSString* self, SEL) { return make(path::extension(self->str())); }
NSString* stringByDeletingLastPathComponent(NSString* self, SEL) {
    return make(path::deletingLastComponent(self->str()));
}
NSString* stringByDeletingPathExtension(NSString* self, SEL) {
    return make(path::deletingExtension(self->str()));
}
NSArray* pathComponents(NSString* self, SEL) {
    std::vector<id> items;
    for (auto& component : path::components(self->str())) items.push_back(make(component));
    return NSArray::make(items);
}

// The platform answers NO for an empty prefix or suffix.
BOOL hasPrefix(NSString* self, SEL, NSString* prefix) {
    if (prefix == nullptr || prefix->str().empty()) return NO;
    return self->str().starts_with(prefix->str()) && uc::find(self->str(), prefix->str()) == 0;
}
BOOL hasSuffix(NSString* self, SEL, NSString* suffix) {
    if (suffix == nullptr || suffix->str().empty()) return NO;
    const std::string& s = self->str();
    size_t at = s.size() - std::min(s.size(), suffix->str().size());
    return s.ends_with(suffix->str()) && uc::find(s, suffix->str(), at) == at;
}

NSInteger compare(NSString* self, SEL, NSString* other) {
    if (other == nullptr) return NSOrderedDescending;
    return compareText(self->str(), other->str());
}
NSInteger caseInsensitiveCompare(NSString* self, SEL, NSString* other) {
    if (other == nullptr) return NSOrderedDescending;
    return compareText(foldCase(self->str()), foldCase(other->str()));
}

NSArray* componentsSeparatedByString(NSString* self, SEL, NSString* separator) {
    if (separator == nullptr) raiseNil("-[NSString componentsSeparatedByString:]");
    const std::string& s = self->str();
    const std::string& sep = separator->str();
    std::vector<id> items;
    if (sep.empty()) {
        items.push_back(make(s));
    } else {
        size_t i = 0;
        for (;;) {
            size_t j = uc::find(s, sep, i);
            if (j == std::string::npos) {
                items.push_back(make(s.substr(i)));
                break;
            }
            items.push_back(make(s.substr(i, j - i)));
            i = j + sep.size();
        }
    }
    return NSArray::make(items);
}

NSString* stringByReplacing(NSString* self, SEL, NSString* target, NSString* replacement) {
    if (target == nullptr || replacement == nullptr)
        raiseNil("-[NSString stringByReplacingOccurrencesOfString:withString:]");
    const std::string& s = self->str();
    const std::string& t = target->str();
    if (t.empty()) return make(s);
    std::string out;
    size_t i = 0;
    for (size_t j; (j = uc::find(s, t, i)) != std::string::npos; i = j + t.size()) {
        out.append(s, i, j - i);
        out += replacement->str();
    }
    out.append(s, i, std::string::npos);
    return make(std::move(out));
}

NSString* lowercaseString(NSString* self, SEL) { return make(uc::lowercase(self->str())); }
NSString* uppercaseString(NSString* self, SEL) { return make(uc::uppercase(self->str())); }

int intValue(NSString* self, SEL) { return static_cast<int>(parseInteger(self->str(), INT_MIN, INT_MAX)); }
NSInteger integerValue(NSString* self, SEL) { return parseInteger(self->str(), LONG_MIN, LONG_MAX); }
long long longLongValue(NSString* self, SEL) { return parseInteger(self->str(), LLONG_MIN, LLONG_MAX); }
double doubleValue(NSString* self, SEL) { return parseDouble(self->str()); }
float floatValue(NSString* self, SEL) { return static_cast<float>(parseDouble(self->str())); }
BOOL boolValue(NSString* self, SEL) { return parseBool(self->str()); }

void appendString(NSMutableString* self, SEL, NSString* other) {
    if (other == nullptr) raiseNil("-[NSMutableString appendString:]");
    self->append(other->str());
}
void setString(NSMutableString* self, SEL, NSString* other) {
    if (other == nullptr) raiseNil("-[NSMutableString setString:]");
    self->assign(other->str());
}

}  // namespace

void platform::foundation::registerStrings() {
    objc::ClassDef<NSString>("NSString", NSObject::cls())
        .classMethod<stringClass>("string")
        .classMethod<stringWithUTF8String>("stringWithUTF8String:")
        .classMethod<stringWithString>("stringWithString:")
        .method<initWithUTF8String>("initWithUTF8String:")
        .method<initWithString>("initWithString:")
        .method<utf8String>("UTF8String")
        .method<length>("length")
        .method<characterAtIndex>("characterAtIndex:")
        .method<isEqualToString>("isEqualToString:")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<description>("description")
        .method<copyImmutable>("copyWithZone:")
        .method<mutableCopy>("mutableCopyWithZone:")
        .method<stringByAppendingString>("stringByAppendingString:")
        .method<stringByAppendingPathComponent>("stringByAppendingPathComponent:")
        .method<lastPathComponent>("lastPathComponent")
        .method<pathExtension>("pathExtension")
        .method<stringByDeletingLastPathComponent>("stringByDeletingLastPathComponent")
        .method<stringByDeletingPathExtension>("stringByDeletingPathExtension")
        .method<pathComponents>("pathComponents")
        .method<hasPrefix>("hasPrefix:")
        .method<hasSuffix>("hasSuffix:")
        .method<compare>("compare:")
        .method<caseInsensitiveCompare>("caseInsensitiveCompare:")
        .method<componentsSeparatedByString>("componentsSeparatedByString:")
        .method<stringByReplacing>("stringByReplacingOccurrencesOfString:withString:")
        .method<lowercaseString>("lowercaseString")
        .method<uppercaseString>("uppercaseString")
        .method<intValue>("intValue")
        .method<integerValue>("integerValue")
        .method<longLongValue>("longLongValue")
        .method<doubleValue>("doubleValue")
        .method<floatValue>("floatValue")
        .method<boolValue>("boolValue");
    objc::ClassDef<NSMutableString>("NSMutableString", NSString::cls())
        .method<copyMutable>("copyWithZone:")
        .method<appendString>("appendString:")
        .method<setString>("setString:");
}
