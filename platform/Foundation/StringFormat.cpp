// The format engine behind NSStringWithFormat and NSLog. Numeric output
// goes through snprintf with a rebuilt conversion of fixed argument type;
// strings and objects are padded here, counting characters.
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>
#include <platform/Log.h>

#include "Internal.h"
#include <platform/Unicode.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform::fmt {
namespace {

constexpr int kMaxWidth = 1 << 20;  // larger widths or precisions are refused

enum class Length { Default, Char, Short, Wide };

struct Directive {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    Length length = Length::Default;
    char conversion = 0;
};

class Formatter {
public:
    Formatter(std::string_view format, const Arg* args, size_t count) : format_(format), args_(args), count_(count) {}

    std::string run() {
        size_t i = 0;
        while (i < format_.size()) {
            size_t pct = format_.find('%', i);
            if (pct == std::string_view::npos) {
                out_.append(format_.substr(i));
                break;
            }
            out_.append(format_.substr(i, pct - i));
            i = conversion(pct + 1);
        }
        return std::move(out_);
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        NSException::raise(NSInvalidArgumentException,
                           "format \"" + std::string(format_) + "\": " + why);
    }

    const Arg& take(char conversion) {
        if (next_ >= count_) fail(std::string("missing argument for %") + conversion);
        return args_[next_++];
    }

    // A '*' width or precision.
    int takeCount(char conversion) {
        const Arg& a = take(conversion);
        long long v;
        switch (a.kind) {
            case Arg::Kind::Signed: v = a.i; break;
            case Arg::Kind::Unsigned: v = a.u > static_cast<unsigned long long>(kMaxWidth) ? kMaxWidth + 1 : static_cast<long long>(a.u); break;
            case Arg::Kind::Double: v = std::isfinite(a.d) ? static_cast<long long>(std::fmax(std::fmin(a.d, kMaxWidth + 1.0), -kMaxWidth - 1.0)) : 0; break;
            default: fail("'*' needs an integer argument");
        }
        if (v > kMaxWidth || v < -kMaxWidth) fail("width or precision too large");
        return static_cast<int>(v);
    }

    int readNumber(size_t& i) {
        long v = 0;
        while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
            v = v * 10 + (format_[i++] - '0');
            if (v > kMaxWidth) fail("width or precision too large");
        }
        return static_cast<int>(v);
    }

    // Parses and writes the conversion starting after '%'; returns the index
    // after it.
    size_t conversion(size_t i) {
        Directive sp;
        for (; i < format_.size(); ++i) {
            char c = format_[i];
            if (c == '-') sp.left = true;
            else if (c == '+') sp.plus = true;
            else if (c == ' ') sp.space = true;
            else if (c == '#') sp.alt = true;
            else if (c == '0') sp.zero = true;
            else if (c == '\'') continue;
            else break;
        }
        if (i < format_.size() && format_[i] == '*') {
            ++i;
            int w = takeCount('*');
            if (w < 0) {
                sp.left = true;
                w = -w;
            }
            sp.width = w;
        } else if (i < format_.size() && format_[i] >= '1' && format_[i] <= '9') {
            sp.width = readNumber(i);
        }
        if (i < format_.size() && format_[i] == '.') {
            ++i;
            if (i < format_.size() && format_[i] == '*') {
                ++i;
                int p = takeCount('*');
                sp.precision = p < 0 ? -1 : p;
            } else {
                sp.precision = readNumber(i);
            }
        }
        while (i < format_.size()) {
            char c = format_[i];
            if (c == 'h') {
                sp.length = sp.length == Length::Short ? Length::Char : Length::Short;
            } else if (c == 'l' || c == 'q' || c == 'z' || c == 't' || c == 'j') {
                sp.length = Length::Wide;
            } else if (c != 'L') {
                break;
            }
            ++i;
        }
        if (i >= format_.size()) fail("incomplete conversion at the end");
        sp.conversion = format_[i];
        switch (sp.conversion) {
            case '%': out_ += '%'; break;
            case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
                integer(sp, take(sp.conversion));
                break;
            case 'c': case 'C': character(sp, take(sp.conversion)); break;
            case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A':
                floating(sp, take(sp.conversion));
                break;
            case 's': text(sp, take(sp.conversion)); break;
            case '@': object(sp, take(sp.conversion)); break;
            case 'p': pointer(sp, take(sp.conversion)); break;
            default: fail(std::string("unsupported conversion %") + sp.conversion);
        }
        return i + 1;
    }

    std::string flags(const Directive& sp) const {
        std::string f = "%";
        if (sp.left) f += '-';
        if (sp.plus) f += '+';
        if (sp.space) f += ' ';
        if (sp.alt) f += '#';
        if (sp.zero) f += '0';
        if (sp.width >= 0) f += std::to_string(sp.width);
        if (sp.precision >= 0) f += "." + std::to_string(sp.precision);
        return f;
    }

    template <class T>
    void print(const std::string& pattern, T value) {
        char buf[128];
        int n = std::snprintf(buf, sizeof buf, pattern.c_str(), value);
        if (n < 0) fail("cannot format " + pattern);
        if (static_cast<size_t>(n) < sizeof buf) {
            out_.append(buf, static_cast<size_t>(n));
        } else {
            std::string big(static_cast<size_t>(n) + 1, '\0');
            std::snprintf(big.data(), big.size(), pattern.c_str(), value);
            out_.append(big.data(), static_cast<size_t>(n));
        }
    }

    // The argument as an integer; a double is truncated toward zero.
    __int128 integerOf(const Directive& sp, const Arg& a) {
        switch (a.kind) {
            case Arg::Kind::Signed: return a.i;
            case Arg::Kind::Unsigned: return a.u;
            case Arg::Kind::Double:
                if (std::isnan(a.d)) return 0;
                if (a.d >= 18446744073709551616.0) return static_cast<__int128>(~0ull);
                if (a.d <= -9223372036854775808.0) return static_cast<__int128>(-9223372036854775807ll - 1);
                return static_cast<__int128>(a.d);
            case Arg::Kind::Object: fail(std::string("an object for %") + sp.conversion + " (use %@)");
            default: fail(std::string("a string or pointer for %") + sp.conversion);
        }
    }

    void integer(const Directive& sp, const Arg& a) {
        __int128 v = integerOf(sp, a);
        std::string pattern = flags(sp);
        bool isSigned = sp.conversion == 'd' || sp.conversion == 'i';
        if (isSigned) {
            if (sp.length == Length::Char) v = static_cast<signed char>(v);
            if (sp.length == Length::Short) v = static_cast<short>(v);
            if (v > LLONG_MAX) {
                print(pattern + "llu", static_cast<unsigned long long>(v));
            } else {
                print(pattern + "lld", static_cast<long long>(v));
            }
            return;
        }
        unsigned long long u = 0;
        switch (sp.length) {
            case Length::Char: u = static_cast<unsigned char>(v); break;
            case Length::Short: u = static_cast<unsigned short>(v); break;
            case Length::Default: u = v < 0 ? static_cast<unsigned>(v) : static_cast<unsigned long long>(v); break;
            case Length::Wide: u = static_cast<unsigned long long>(v); break;
        }
        print(pattern + "ll" + sp.conversion, u);
    }

    void character(const Directive& sp, const Arg& a) {
        __int128 v = integerOf(sp, a);
        std::string s;
        if (v != 0) unicode::append(s, v < 0 || v > 0x10FFFF ? unicode::kReplacement : static_cast<char32_t>(v));
        pad(sp, s);
    }

    void floating(const Directive& sp, const Arg& a) {
        double d;
        switch (a.kind) {
            case Arg::Kind::Double: d = a.d; break;
            case Arg::Kind::Signed: d = static_cast<double>(a.i); break;
            case Arg::Kind::Unsigned: d = static_cast<double>(a.u); break;
            case Arg::Kind::Object: fail(std::string("an object for %") + sp.conversion + " (use %@)");
            default: fail(std::string("a string or pointer for %") + sp.conversion);
        }
        print(flags(sp) + sp.conversion, d);
    }

    void text(const Directive& sp, const Arg& a) {
        if (a.kind == Arg::Kind::Object) fail("an object for %s (use %@)");
        if (a.kind != Arg::Kind::Text) fail("a number or pointer for %s");
        std::string_view s;
        if (a.text == nullptr) {
            s = "(null)";
        } else if (a.textLength == std::string_view::npos) {
            s = a.text;
        } else {
            s = std::string_view(a.text, a.textLength);
        }
        pad(sp, s);
    }

    void object(const Directive& sp, const Arg& a) {
        if (a.kind != Arg::Kind::Object) fail("a value that is not an object for %@");
        std::string d = foundation::describe(a.object);
        Directive chars = sp;
        if (sp.precision >= 0) {
            // The precision of %@ counts characters, not bytes.
            size_t i = 0;
            for (int n = 0; n < sp.precision && i < d.size(); ++n) unicode::decode(d, i);
            chars.precision = static_cast<int>(i);
        }
        pad(chars, d);
    }

    void pointer(const Directive& sp, const Arg& a) {
        unsigned long long v;
        switch (a.kind) {
            case Arg::Kind::Pointer: v = reinterpret_cast<uintptr_t>(a.p); break;
            case Arg::Kind::Object: v = reinterpret_cast<uintptr_t>(a.object); break;
            case Arg::Kind::Text: v = reinterpret_cast<uintptr_t>(a.text); break;
            case Arg::Kind::Signed: v = static_cast<unsigned long long>(a.i); break;
            case Arg::Kind::Unsigned: v = a.u; break;
            default: fail("a floating value for %p");
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "0x%llx", v);
        Directive plain = sp;
        plain.precision = -1;
        pad(plain, buf);
    }

    // Writes text cut to the precision (in bytes, never splitting a
    // character) and
    // padded to the width (in characters).
    void pad(const Directive& sp, std::string_view s) {
        if (sp.precision >= 0) s = s.substr(0, unicode::prefixBoundary(s, static_cast<size_t>(sp.precision)));
        size_t chars = unicode::codePointCount(s);
        size_t fill = sp.width > 0 && static_cast<size_t>(sp.width) > chars ? sp.width - chars : 0;
        if (!sp.left) out_.append(fill, ' ');
        out_.append(s);
        if (sp.left) out_.append(fill, ' ');
    }

    std::string_view format_;
    const Arg* args_;
    size_t count_;
    size_t next_ = 0;
    std::string out_;
};

}  // namespace

std::string format(std::string_view format, const Arg* args, size_t count) {
    return Formatter(format, args, count).run();
}

void logFormatted(const std::string& text) { platform::logLine(text); }

void raiseNilFormat() { NSException::raise(NSInvalidArgumentException, "nil format string"); }

}  // namespace platform::fmt
