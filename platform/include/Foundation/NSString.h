// NSString and NSMutableString: UTF-8 text that counts and indexes in UTF-16
// code units as the platform does. A string keeps the bytes it was made
// from, well-formed or not; a byte outside well-formed UTF-8 counts as one
// unit (see platform/Unicode.h). Also the "text"_ns literal, type-safe
// formatting (NSStringWithFormat, NSLog) for C++ callers.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

struct NSArray;

struct NSString : NSObject {
    OBJC_CLASS(NSString)

    // C++ API ---------------------------------------------------------------
    // New immutable strings holding exactly these bytes.
    static NSString* make(std::string_view utf8);    // autoreleased
    static NSString* create(std::string_view utf8);  // owned (+1)

    // +[NSString stringWithFormat:] for C++ (defined below).
    template <class... A>
    static NSString* stringWithFormat(NSString* format, A&&... args);
    template <class... A>
    static NSString* stringWithFormat(const char* format, A&&... args);

    // The bytes the string holds; valid while it lives and is not changed.
    const std::string& str() const { return utf8_; }
    const char* c_str() const { return utf8_.c_str(); }
    // The contents as UTF-16 code units (no terminator); a kept byte b is
    // the unit 0xDC00 + b.
    std::u16string utf16() const;
    // Length and indexes in UTF-16 code units.
    NSUInteger length() const { return utf16Length_; }
    // Raises NSRangeException past the end.
    unsigned short characterAtIndex(NSUInteger index) const;
    bool isEqualToString(const NSString* other) const { return other != nullptr && utf8_ == other->utf8_; }
    NSUInteger hash() const;

    // Replaces the contents (any bytes, kept as they are). For initialisers and
    // NSMutableString; an NSString is never changed once it is shared.
    void assign(std::string utf8);

private:
    std::string utf8_;
    NSUInteger utf16Length_ = 0;
};

struct NSMutableString : NSString {
    OBJC_CLASS(NSMutableString)

    static NSMutableString* make(std::string_view utf8 = {});  // autoreleased
    void append(std::string_view utf8);
};

// The string of a C++ std::string ("" for nil).
inline std::string to_string(const NSString* s) { return s ? s->str() : std::string(); }

// ---------------------------------------------------------------------------
// "text"_ns: one immortal NSString per spelling, made on first use, never
// freed (retain and release do nothing to it), like a compiled constant.

namespace platform {
// An immortal immutable string holding exactly these bytes.
NSString* makeImmortalString(const char* utf8, size_t length);
}  // namespace platform

template <objc::Literal S>
NSString* operator""_ns() {
    static NSString* const s = platform::makeImmortalString(S.chars, sizeof(S.chars) - 1);
    return s;
}

// ---------------------------------------------------------------------------
// Formatting. A format argument is captured by kind; the conversion decides
// how it is written:
//   %@          an object, through its `description` ("(null)" for nil)
//   %d %i %u %x %X %o %c %C   integers (a double is truncated); hh, h, l,
//               ll, q, z, t, j accepted; a negative value under an unsigned
//               conversion wraps at the modifier's width (32 bits without one)
//   %f %F %e %E %g %G %a %A   floating values (an integer is converted)
//   %s          a C string ("(null)" for NULL), std::string, std::string_view
//   %p          any pointer or object, as 0x…
//   %%
// Flags - + space # 0, width and precision (also *). An object under a
// numeric conversion, a number under %@ or %s, a missing argument or an
// unknown conversion raises NSInvalidArgumentException; extra arguments are
// ignored. Widths count characters (code points); the precision of %s
// counts bytes (never splitting a character), that of %@ characters.

namespace platform::fmt {

struct Arg {
    enum class Kind : unsigned char { Object, Signed, Unsigned, Double, Text, Pointer };
    Kind kind = Kind::Object;
    union {
        id object;
        long long i;
        unsigned long long u;
        double d;
        const void* p;
        const char* text;
    };
    size_t textLength = 0;  // for Text; npos: NUL-terminated (or NULL)

    Arg() : object(nullptr) {}
};

template <class T>
concept CompleteType = requires { sizeof(T); };

template <class T>
Arg makeArg(const Strong<T>& v) {
    Arg a;
    a.kind = Arg::Kind::Object;
    a.object = objc::as_id(v.get());
    return a;
}

template <class T>
Arg makeArg(const T& v) {
    using D = std::decay_t<T>;
    Arg a;
    if constexpr (std::is_same_v<D, std::nullptr_t>) {
        a.kind = Arg::Kind::Object;
    } else if constexpr (std::is_same_v<D, bool>) {
        a.kind = Arg::Kind::Signed;
        a.i = v ? 1 : 0;
    } else if constexpr (std::is_enum_v<D>) {
        return makeArg(static_cast<std::underlying_type_t<D>>(v));
    } else if constexpr (std::is_integral_v<D> && std::is_signed_v<D>) {
        a.kind = Arg::Kind::Signed;
        a.i = v;
    } else if constexpr (std::is_integral_v<D>) {
        a.kind = Arg::Kind::Unsigned;
        a.u = v;
    } else if constexpr (std::is_floating_point_v<D>) {
        a.kind = Arg::Kind::Double;
        a.d = static_cast<double>(v);
    } else if constexpr (std::is_same_v<D, const char*> || std::is_same_v<D, char*>) {
        a.kind = Arg::Kind::Text;
        a.text = v;
        a.textLength = std::string_view::npos;
    } else if constexpr (std::is_same_v<D, std::string> || std::is_same_v<D, std::string_view>) {
        a.kind = Arg::Kind::Text;
        a.text = v.data();
        a.textLength = v.size();
    } else if constexpr (std::is_pointer_v<D>) {
        using P = std::remove_cv_t<std::remove_pointer_t<D>>;
        if constexpr (std::is_class_v<P>) {
            static_assert(CompleteType<P>, "format argument points to an incomplete class: include its header");
        }
        if constexpr (objc::is_object_ptr_v<D>) {
            a.kind = Arg::Kind::Object;
            a.object = const_cast<id>(static_cast<const objc_object*>(v));
        } else {
            a.kind = Arg::Kind::Pointer;
            a.p = static_cast<const void*>(v);
        }
    } else {
        static_assert(sizeof(D) == 0, "type cannot be a format argument");
    }
    return a;
}

// Formats `format` (UTF-8) with `args`; raises on a mismatch.
std::string format(std::string_view format, const Arg* args, size_t count);

template <class... A>
std::string formatArgs(std::string_view format, A&&... args) {
    if constexpr (sizeof...(A) == 0) {
        return fmt::format(format, nullptr, 0);
    } else {
        const Arg captured[] = {makeArg(args)...};
        return fmt::format(format, captured, sizeof...(A));
    }
}

// Writes one line to the system log.
void logFormatted(const std::string& text);

[[noreturn]] void raiseNilFormat();

}  // namespace platform::fmt

// An autoreleased string; a nil format raises NSInvalidArgumentException.
template <class... A>
NSString* NSStringWithFormat(NSString* format, A&&... args) {
    if (format == nullptr) platform::fmt::raiseNilFormat();
    return NSString::make(platform::fmt::formatArgs(format->str(), std::forward<A>(args)...));
}
template <class... A>
NSString* NSStringWithFormat(const char* format, A&&... args) {
    if (format == nullptr) platform::fmt::raiseNilFormat();
    return NSString::make(platform::fmt::formatArgs(format, std::forward<A>(args)...));
}

template <class... A>
NSString* NSStringWithFormat(std::nullptr_t, A&&...) = delete;

// Formats as NSStringWithFormat and writes the line to the system log.
template <class... A>
void NSLog(NSString* format, A&&... args) {
    if (format == nullptr) platform::fmt::raiseNilFormat();
    platform::fmt::logFormatted(platform::fmt::formatArgs(format->str(), std::forward<A>(args)...));
}
template <class... A>
void NSLog(const char* format, A&&... args) {
    if (format == nullptr) platform::fmt::raiseNilFormat();
    platform::fmt::logFormatted(platform::fmt::formatArgs(format, std::forward<A>(args)...));
}

template <class... A>
NSString* NSString::stringWithFormat(NSString* format, A&&... args) {
    return NSStringWithFormat(format, std::forward<A>(args)...);
}
template <class... A>
NSString* NSString::stringWithFormat(const char* format, A&&... args) {
    return NSStringWithFormat(format, std::forward<A>(args)...);
}
