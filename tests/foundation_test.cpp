#include "foundation_support.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <thread>
#include <set>
#include <fstream>
#include <unistd.h>

#include <platform/Log.h>
#include <platform/Unicode.h>

using namespace foundation_test;

namespace {

// Runs `fn` and answers the name of the NSException it raised ("" if none).
template <class F>
std::string raisedName(F&& fn) {
    AutoreleasePool pool;  // outlives the catch: the exception is autoreleased
    try {
        fn();
    } catch (NSException* e) {
        return e->nameString();
    }
    return "";
}

BOOL responds(id obj, SEL sel) { return objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel); }

id number(long long v) { return objc_msgSend<id(long long)>(NSNumber::cls(), "numberWithLongLong:"_sel, v); }
id numberD(double v) { return objc_msgSend<id(double)>(NSNumber::cls(), "numberWithDouble:"_sel, v); }

}  // namespace

// ---------------------------------------------------------------------------
// NSString

TEST(StringTest, KeepsUtf8BytesAndCountsUtf16Units) {
    AutoreleasePool pool;
    const char* bytes = "x \xE2\x9C\x95 \xE2\x80\xA6 \xF0\x9F\x8E\xB5";  // x ✕ … 🎵
    id s = objc_msgSend<id(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, bytes);
    EXPECT_STREQ(objc_msgSend<const char*()>(s, "UTF8String"_sel), bytes);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(s, "length"_sel), 8u);  // the emoji is a surrogate pair
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 2), 0x2715);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 4), 0x2026);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 6), 0xD83C);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 7), 0xDFB5);
    EXPECT_EQ(raisedName([&] { objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 8); }),
              NSRangeException);
}

TEST(StringTest, NullAndIllFormedInputGiveNilWithoutLeaking) {
    long before = class_getLiveInstanceCount(NSString::cls());
    {
        AutoreleasePool pool;
        EXPECT_EQ(objc_msgSend<id(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, nullptr), nil);
        EXPECT_EQ(objc_msgSend<id(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, "a\xC3"), nil);
        id fresh = objc_msgSend<id()>(NSString::cls(), "alloc"_sel);
        EXPECT_EQ(objc_msgSend<id(const char*)>(fresh, "initWithUTF8String:"_sel, nullptr), nil);
    }
    EXPECT_EQ(class_getLiveInstanceCount(NSString::cls()), before);
}

// A byte outside well-formed UTF-8 is kept as it is and counts as one
// UTF-16 unit, U+DC00 + byte; whatever a string does carries it through.
TEST(StringTest, KeepsBytesOutsideWellFormedUtf8) {
    AutoreleasePool pool;
    const std::string bytes = "a\xFF" "b\xC3" "\xE2\x82\xAC";  // a, 0xFF, b, half of "é", "€"
    NSString* s = NSString::make(bytes);
    EXPECT_EQ(s->str(), bytes);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(s, "length"_sel), 5u);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 1), 0xDCFF);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 3), 0xDCC3);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(s, "characterAtIndex:"_sel, 4), 0x20AC);
    EXPECT_EQ(platform::unicode::fromUtf16(s->utf16()), bytes);
    EXPECT_EQ(objc_msgSend<unsigned short(NSUInteger)>(S("a\xFF"), "characterAtIndex:"_sel, 1), 0xDCFF);
    // Half of a pair, or a lone surrogate that stands for no byte, is U+FFFD.
    EXPECT_EQ(platform::unicode::fromUtf16(std::u16string{u'x', 0xD83C, u'y', 0xDC41}), "x\xEF\xBF\xBDy\xEF\xBF\xBD");

    EXPECT_FALSE(s->isEqualToString(NSString::make("a\xFE" "b\xC3" "\xE2\x82\xAC")));
    EXPECT_EQ(objc_msgSend<NSInteger(NSString*)>(S("a\xFF"), "compare:"_sel, S("a\xFE")), NSOrderedDescending);
    EXPECT_EQ(text(objc_msgSend<id()>(S("a\xFF\xC3\xA9"), "uppercaseString"_sel)), "A\xFF\xC3\x89");
    EXPECT_EQ(text(objc_msgSend<id(NSString*)>(s, "stringByAppendingString:"_sel, S("\xFE"))), bytes + "\xFE");
    NSMutableString* m = NSMutableString::make("\xFE");
    objc_msgSend<void(NSString*)>(m, "appendString:"_sel, s);
    EXPECT_EQ(m->str(), "\xFE" + bytes);
    EXPECT_EQ(text(objc_msgSend<id(NSString*, NSString*)>(S("x\xFFy"), "stringByReplacingOccurrencesOfString:withString:"_sel,
                                                         S("\xFF"), S("-"))),
              "x-y");
    // A kept byte never matches the inside of a character: 0xA9 is the end of "é".
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*)>(S("caf\xC3\xA9"), "hasSuffix:"_sel, S("\xA9")));
    EXPECT_EQ(static_cast<NSArray*>(objc_msgSend<id(NSString*)>(S("caf\xC3\xA9"), "componentsSeparatedByString:"_sel,
                                                                S("\xA9")))->count(),
              1u);
    // Formatting carries the bytes, and a width counts a kept byte as one
    // character; a %C surrogate from outside is U+FFFD.
    EXPECT_EQ(NSStringWithFormat("%@|%3s|%C", s, "\xFE", 0xDCFF)->str(), bytes + "|  \xFE|\xEF\xBF\xBD");
}

TEST(StringTest, EqualityHashAndCopies) {
    AutoreleasePool pool;
    NSString* a = S("caf\xC3\xA9");
    NSMutableString* m = NSMutableString::make("caf\xC3\xA9");
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, m));
    EXPECT_TRUE(objc_msgSend<BOOL(NSString*)>(m, "isEqualToString:"_sel, a));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(a, "hash"_sel), objc_msgSend<NSUInteger()>(m, "hash"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, number(1)));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, nil));

    auto same = Strong<objc_object>::adopt(objc_msgSend<id()>(a, "copy"_sel));
    EXPECT_EQ(same.get(), a);
    auto frozen = Strong<objc_object>::adopt(objc_msgSend<id()>(m, "copy"_sel));
    EXPECT_NE(frozen.get(), m);
    EXPECT_FALSE(responds(frozen, "appendString:"_sel));
    objc_msgSend<void(NSString*)>(m, "appendString:"_sel, S("!"));
    EXPECT_EQ(text(frozen), "caf\xC3\xA9");
    EXPECT_EQ(m->str(), "caf\xC3\xA9!");
    EXPECT_EQ(m->length(), 5u);

    auto thawed = Strong<objc_object>::adopt(objc_msgSend<id()>(a, "mutableCopy"_sel));
    objc_msgSend<void(NSString*)>(thawed, "setString:"_sel, S("new"));
    EXPECT_EQ(text(thawed), "new");
    EXPECT_EQ(a->str(), "caf\xC3\xA9");
    EXPECT_FALSE(responds(a, "appendString:"_sel));
}

TEST(StringTest, LiteralIsOneImmortalObjectPerSpelling) {
    auto literal = [] { return "Close \xE2\x9C\x95"_ns; };
    NSString* first = literal();
    EXPECT_EQ(literal(), first);
    EXPECT_EQ(first->str(), "Close \xE2\x9C\x95");
    objc_release(first);
    objc_release(first);
    EXPECT_EQ(objc_retainCount(first), static_cast<NSUInteger>(-1));
    EXPECT_EQ(literal()->length(), 7u);
    EXPECT_NE("Close"_ns, first);
}

TEST(StringTest, PathRules) {
    AutoreleasePool pool;
    auto call = [](const char* sel, const char* path) { return text(objc_msgSend<id()>(S(path), sel_registerName(sel))); };
    auto append = [](const char* base, const char* component) {
        return text(objc_msgSend<id(NSString*)>(S(base), "stringByAppendingPathComponent:"_sel, S(component)));
    };
    EXPECT_EQ(append("/User/Library/Preferences", "com.x.plist"), "/User/Library/Preferences/com.x.plist");
    EXPECT_EQ(append("/User/Library/Preferences/", "com.x.plist"), "/User/Library/Preferences/com.x.plist");
    EXPECT_EQ(append("", "com.x.plist"), "com.x.plist");
    EXPECT_EQ(append("/", "tmp"), "/tmp");
    EXPECT_EQ(append("/tmp", "/scratch.tiff"), "/tmp/scratch.tiff");
    EXPECT_EQ(append("/tmp//", "a/"), "/tmp/a");

    const std::vector<std::tuple<const char*, const char*, const char*>> cases = {
        {"lastPathComponent", "/tmp/scratch.tiff", "scratch.tiff"},
        {"lastPathComponent", "/tmp/", "tmp"},
        {"lastPathComponent", "scratch///", "scratch"},
        {"lastPathComponent", "/", "/"},
        {"lastPathComponent", "", ""},
        {"pathExtension", "/tmp/scratch.tiff", "tiff"},
        {"pathExtension", ".scratch.tiff", "tiff"},
        {"pathExtension", "/scratch..tiff", "tiff"},
        {"pathExtension", "/scratch.tiff/", "tiff"},
        {"pathExtension", ".profile", ""},
        {"pathExtension", "/tmp.d/file", ""},
        {"stringByDeletingLastPathComponent", "/tmp/scratch.tiff", "/tmp"},
        {"stringByDeletingLastPathComponent", "/tmp/lock/", "/tmp"},
        {"stringByDeletingLastPathComponent", "/tmp", "/"},
        {"stringByDeletingLastPathComponent", "/", "/"},
        {"stringByDeletingLastPathComponent", "scratch.tiff", ""},
        {"stringByDeletingPathExtension", "/tmp/scratch.tiff", "/tmp/scratch"},
        {"stringByDeletingPathExtension", "scratch.bundle/", "scratch"},
        {"stringByDeletingPathExtension", "scratch..tiff", "scratch."},
        {"stringByDeletingPathExtension", ".tiff", ".tiff"},
        {"stringByDeletingPathExtension", "/tmp.d/file", "/tmp.d/file"},
    };
    for (const auto& [sel, path, expected] : cases) EXPECT_EQ(call(sel, path), expected) << sel << " of " << path;

    auto components = [](const char* path) {
        std::vector<std::string> out;
        for (id c : *static_cast<NSArray*>(objc_msgSend<id()>(S(path), "pathComponents"_sel))) out.push_back(text(c));
        return out;
    };
    EXPECT_EQ(components("/tmp/scratch"), (std::vector<std::string>{"/", "tmp", "scratch"}));
    EXPECT_EQ(components("tmp//scratch"), (std::vector<std::string>{"tmp", "scratch"}));
    EXPECT_EQ(components("/tmp/x/"), (std::vector<std::string>{"/", "tmp", "x", "/"}));
    EXPECT_EQ(components("/"), (std::vector<std::string>{"/"}));
    EXPECT_TRUE(components("").empty());
}

TEST(StringTest, SearchingComparingAndCase) {
    AutoreleasePool pool;
    NSString* s = S("Now Playing \xE2\x80\xA6");
    EXPECT_TRUE(objc_msgSend<BOOL(NSString*)>(s, "hasPrefix:"_sel, S("Now")));
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*)>(s, "hasPrefix:"_sel, S("now")));
    EXPECT_TRUE(objc_msgSend<BOOL(NSString*)>(s, "hasSuffix:"_sel, S("\xE2\x80\xA6")));
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*)>(s, "hasPrefix:"_sel, S("")));  // as the platform answers
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*)>(s, "hasSuffix:"_sel, S("")));

    auto compare = [](const char* a, const char* b, const char* sel = "compare:") {
        return objc_msgSend<NSInteger(NSString*)>(S(a), sel_registerName(sel), S(b));
    };
    EXPECT_EQ(compare("abc", "abd"), NSOrderedAscending);
    EXPECT_EQ(compare("abc", "abc"), NSOrderedSame);
    EXPECT_EQ(compare("b", "abc"), NSOrderedDescending);
    EXPECT_EQ(compare("B", "a"), NSOrderedAscending);
    // UTF-16 order: a surrogate pair (🎵) sorts before U+FF61, unlike code point order.
    EXPECT_EQ(compare("\xF0\x9F\x8E\xB5", "\xEF\xBD\xA1"), NSOrderedAscending);
    EXPECT_EQ(compare("Stra\xC3\x9F" "e", "STRA\xC3\x9F" "E", "caseInsensitiveCompare:"), NSOrderedSame);
    EXPECT_EQ(compare("B", "a", "caseInsensitiveCompare:"), NSOrderedDescending);

    EXPECT_EQ(text(objc_msgSend<id()>(S("Stra\xC3\x9F" "e \xC3\x80 \xCE\xA3"), "uppercaseString"_sel)),
              "STRASSE \xC3\x80 \xCE\xA3");
    EXPECT_EQ(text(objc_msgSend<id()>(S("\xC3\x80\xC3\x89 \xD0\x96 ABC"), "lowercaseString"_sel)),
              "\xC3\xA0\xC3\xA9 \xD0\xB6 abc");

    NSArray* fields = static_cast<NSArray*>(objc_msgSend<id(NSString*)>(S("a, b,, c"), "componentsSeparatedByString:"_sel, S(",")));
    ASSERT_EQ(fields->count(), 4u);
    EXPECT_EQ(text(fields->at(0)), "a");
    EXPECT_EQ(text(fields->at(1)), " b");
    EXPECT_EQ(text(fields->at(2)), "");
    EXPECT_EQ(text(fields->at(3)), " c");

    auto replace = [](const char* s, const char* t, const char* r) {
        return text(objc_msgSend<id(NSString*, NSString*)>(S(s), "stringByReplacingOccurrencesOfString:withString:"_sel, S(t), S(r)));
    };
    EXPECT_EQ(replace("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replace("x\xE2\x9C\x95y\xE2\x9C\x95", "\xE2\x9C\x95", "-"), "x-y-");
    EXPECT_EQ(replace("abc", "", "z"), "abc");
    EXPECT_EQ(text(objc_msgSend<id(NSString*)>(S("ab"), "stringByAppendingString:"_sel, S("\xE2\x80\xA6"))), "ab\xE2\x80\xA6");
}

TEST(StringTest, NumericValues) {
    AutoreleasePool pool;
    auto i = [](const char* s) { return objc_msgSend<int()>(S(s), "intValue"_sel); };
    auto ll = [](const char* s) { return objc_msgSend<long long()>(S(s), "longLongValue"_sel); };
    auto d = [](const char* s) { return objc_msgSend<double()>(S(s), "doubleValue"_sel); };
    EXPECT_EQ(i("  42abc"), 42);
    EXPECT_EQ(i("-17"), -17);
    EXPECT_EQ(i("x1"), 0);
    EXPECT_EQ(i("99999999999"), INT_MAX);
    EXPECT_EQ(i("-99999999999"), INT_MIN);
    EXPECT_EQ(objc_msgSend<NSInteger()>(S("+123"), "integerValue"_sel), 123);
    EXPECT_EQ(ll("9223372036854775807"), LLONG_MAX);
    EXPECT_EQ(ll("9223372036854775808"), LLONG_MAX);
    EXPECT_EQ(ll("-9223372036854775808"), LLONG_MIN);
    EXPECT_DOUBLE_EQ(d(" 3.5e2xyz"), 350.0);
    EXPECT_DOUBLE_EQ(d("+1.5"), 1.5);
    EXPECT_DOUBLE_EQ(d("-.25"), -0.25);
    EXPECT_DOUBLE_EQ(d("abc"), 0.0);
}

TEST(BoolValueTest, StringsFollowThePlatformRule) {
    AutoreleasePool pool;
    const std::vector<std::pair<const char*, bool>> table = {
        {"", false},   {"no", false},  {" 1", true},   {"t", true},     {"0", false},  {"000", false},
        {"-1", true},  {"+0", false},  {"007", true},  {"  YES", true}, {"yes", true}, {"True", true},
        {"9", true},   {"+-1", false}, {"0x1", false}, {"\t\ny", true}, {"N", false},  {"0.5", false},
    };
    for (const auto& [s, expected] : table) EXPECT_EQ(objc_msgSend<BOOL()>(S(s), "boolValue"_sel), expected) << '"' << s << '"';
}

TEST(BoolValueTest, NumbersAreYesWhenNonZeroAndNothingElseAnswers) {
    AutoreleasePool pool;
    EXPECT_TRUE(objc_msgSend<BOOL()>(numberD(0.5), "boolValue"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL()>(numberD(-0.0), "boolValue"_sel));
    EXPECT_TRUE(objc_msgSend<BOOL()>(number(-1), "boolValue"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL()>(number(0), "boolValue"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL()>(objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, NO), "boolValue"_sel));
    EXPECT_FALSE(responds(NSArray::make({}), "boolValue"_sel));
    EXPECT_FALSE(responds(NSMutableDictionary::make(), "boolValue"_sel));
    EXPECT_FALSE(responds(NSData::make("1"), "boolValue"_sel));
}

// ---------------------------------------------------------------------------
// Formatting

TEST(FormatTest, IntegerConversions) {
    AutoreleasePool pool;
    auto f = [](const char* format, auto... args) { return NSStringWithFormat(format, args...)->str(); };
    EXPECT_EQ(f("%d|%i", -42, 7), "-42|7");
    EXPECT_EQ(f("[%5d][%-5d][%05d][%+d][% d]", 42, 42, -42, 42, 42), "[   42][42   ][-0042][+42][ 42]");
    EXPECT_EQ(f("%ld %lld", LONG_MAX, LLONG_MIN), "9223372036854775807 -9223372036854775808");
    EXPECT_EQ(f("%u %lu %llu", 4000000000u, ULONG_MAX, 5ull), "4000000000 18446744073709551615 5");
    EXPECT_EQ(f("%x %X %#x %o", 255, 255, 255, 8), "ff FF 0xff 10");
    EXPECT_EQ(f("%hhd %hd", 300, 70000), "44 4464");
    // A negative value under an unsigned conversion wraps at the modifier's width.
    EXPECT_EQ(f("%u %x %lu %llx", -1, -1, -1, -1LL), "4294967295 ffffffff 18446744073709551615 ffffffffffffffff");
    // Type-safe: a wide value is never cut to int.
    EXPECT_EQ(f("%d %d", 5000000000LL, ULLONG_MAX), "5000000000 18446744073709551615");
    EXPECT_EQ(f("%d %d", 3.9, -3.9), "3 -3");
    EXPECT_EQ(f("%d%d", true, false), "10");
    EXPECT_EQ(f("%c%c%C", 'A', 0x2715, 0x2026), "A\xE2\x9C\x95\xE2\x80\xA6");
}

TEST(FormatTest, FloatingStringPointerAndStarConversions) {
    AutoreleasePool pool;
    auto f = [](const char* format, auto... args) { return NSStringWithFormat(format, args...)->str(); };
    EXPECT_EQ(f("%f|%.2f|%5.1f|%08.3f", 3.14159, 3.14159, 3.14159, 3.14159), "3.141590|3.14|  3.1|0003.142");
    EXPECT_EQ(f("%e %g %g %.3g", 12345.678, 0.0001, 1e20, 3.14159), "1.234568e+04 0.0001 1e+20 3.14");
    EXPECT_EQ(f("%f", 3), "3.000000");
    EXPECT_EQ(f("%s|%-6s|%6s|%.2s", "hi", "ab", "ab", "hello"), "hi|ab    |    ab|he");
    EXPECT_EQ(f("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(f("%s+%s", std::string("std"), std::string_view("view-tail").substr(0, 4)), "std+view");
    EXPECT_EQ(f("%.1s|", "\xE2\x9C\x95"), "|");  // bytes, but never half a character
    EXPECT_EQ(f("%*d|%-*d|%.*f", 6, 42, -4, 7, 1, 2.26), "    42|7   |2.3");
    EXPECT_EQ(f("%p %p", static_cast<void*>(nullptr), reinterpret_cast<void*>(0x1234)), "0x0 0x1234");
    EXPECT_EQ(f("100%% %d%%", 5), "100% 5%");
    EXPECT_EQ(f("%d", 1, 2, 3), "1");  // extra arguments are ignored
}

TEST(FormatTest, ObjectsThroughDescription) {
    AutoreleasePool pool;
    NSString* nilString = nullptr;
    EXPECT_EQ(NSStringWithFormat("%@|%@|%@", S("\xE2\x9C\x95"), number(42), nilString)->str(), "\xE2\x9C\x95|42|(null)");
    EXPECT_EQ(NSStringWithFormat("%@", nullptr)->str(), "(null)");
    EXPECT_EQ(NSStringWithFormat("[%5@][%-3@][%.2@]", S("\xE2\x9C\x95"), S("\xC3\xA9"), S("\xE2\x9C\x95\xE2\x80\xA6x"))->str(),
              "[    \xE2\x9C\x95][\xC3\xA9  ][\xE2\x9C\x95\xE2\x80\xA6]");
    EXPECT_EQ(NSStringWithFormat("%@", NSArray::make({S("a"), S("b c")}))->str(), "(\n    a,\n    \"b c\"\n)");
    EXPECT_EQ(NSStringWithFormat("%@", NSString::cls())->str(), "NSString");
    // The format itself may be an NSString, and its text passes through byte-exactly.
    EXPECT_EQ(NSStringWithFormat("\xE2\x9C\x95 %@ \xE2\x80\xA6"_ns, S("\xF0\x9F\x8E\xB5"))->str(),
              "\xE2\x9C\x95 \xF0\x9F\x8E\xB5 \xE2\x80\xA6");
    EXPECT_EQ(NSString::stringWithFormat("%d-%@", 1, S("x"))->str(), "1-x");
}

TEST(FormatTest, MismatchesRaise) {
    NSString* obj = S("x");
    EXPECT_EQ(raisedName([&] { NSStringWithFormat("%d", obj); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([&] { NSStringWithFormat("%f", obj); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([&] { NSStringWithFormat("%s", obj); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat("%@", 42); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat("%@", "c string"); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat("%d and %d", 1); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat("%*d", 5); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat("%y", 1); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat("50%"); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([] { NSStringWithFormat(static_cast<NSString*>(nullptr)); }), NSInvalidArgumentException);
}

TEST(FormatTest, NSLogWritesOneFormattedLine) {
    AutoreleasePool pool;
    platform::clearRecentLogLines();
    NSLog("volume %d%% %@", 80, S("\xE2\x80\xA6"));
    NSLog("plain"_ns);
    auto lines = platform::recentLogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "volume 80% \xE2\x80\xA6");
    EXPECT_EQ(lines[1], "plain");
}

// ---------------------------------------------------------------------------
// NSNumber

TEST(NumberTest, ConversionsAndDescriptions) {
    AutoreleasePool pool;
    id big = objc_msgSend<id(unsigned long long)>(NSNumber::cls(), "numberWithUnsignedLongLong:"_sel, ULLONG_MAX);
    EXPECT_EQ(objc_msgSend<unsigned long long()>(big, "unsignedLongLongValue"_sel), ULLONG_MAX);
    EXPECT_EQ(objc_msgSend<long long()>(big, "longLongValue"_sel), -1);
    EXPECT_EQ(text(objc_msgSend<id()>(big, "description"_sel)), "18446744073709551615");

    id d = numberD(3.9);
    EXPECT_EQ(objc_msgSend<int()>(d, "intValue"_sel), 3);
    EXPECT_EQ(objc_msgSend<NSInteger()>(numberD(-3.9), "integerValue"_sel), -3);
    EXPECT_EQ(objc_msgSend<long long()>(numberD(1e300), "longLongValue"_sel), LLONG_MAX);
    EXPECT_FLOAT_EQ(objc_msgSend<float()>(d, "floatValue"_sel), 3.9f);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(number(7), "unsignedIntegerValue"_sel), 7u);

    id i = objc_msgSend<id(int)>(NSNumber::cls(), "numberWithInt:"_sel, -5);
    EXPECT_EQ(objc_msgSend<double()>(i, "doubleValue"_sel), -5.0);
    EXPECT_EQ(text(objc_msgSend<id()>(i, "stringValue"_sel)), "-5");
    EXPECT_EQ(text(objc_msgSend<id()>(numberD(0.1), "description"_sel)), "0.1");
    EXPECT_EQ(text(objc_msgSend<id()>(numberD(1.0 / 3), "description"_sel)), "0.3333333333333333");
    id f = objc_msgSend<id(float)>(NSNumber::cls(), "numberWithFloat:"_sel, 0.1f);
    EXPECT_EQ(text(objc_msgSend<id()>(f, "description"_sel)), "0.1");
    id yes = objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, YES);
    EXPECT_EQ(text(objc_msgSend<id()>(yes, "description"_sel)), "1");
    EXPECT_TRUE(static_cast<NSNumber*>(yes)->isBool());
    EXPECT_FALSE(static_cast<NSNumber*>(number(1))->isBool());

    id made = objc_msgSend<id(NSInteger)>(objc_msgSend<id()>(NSNumber::cls(), "alloc"_sel), "initWithInteger:"_sel, 12);
    EXPECT_EQ(objc_msgSend<NSInteger()>(made, "integerValue"_sel), 12);
    release(made);
}

TEST(NumberTest, EqualityHashAndOrderAcrossKinds) {
    AutoreleasePool pool;
    auto equal = [](id a, id b) { return objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b); };
    auto hash = [](id a) { return objc_msgSend<NSUInteger()>(a, "hash"_sel); };
    auto cmp = [](id a, id b) { return objc_msgSend<NSInteger(NSNumber*)>(a, "compare:"_sel, static_cast<NSNumber*>(b)); };
    EXPECT_TRUE(equal(number(1), numberD(1.0)));
    EXPECT_EQ(hash(number(1)), hash(numberD(1.0)));
    EXPECT_TRUE(equal(objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, YES), number(1)));
    EXPECT_TRUE(objc_msgSend<BOOL(NSNumber*)>(number(3), "isEqualToNumber:"_sel, static_cast<NSNumber*>(numberD(3.0))));
    EXPECT_FALSE(equal(number(1), S("1")));

    id maxUnsigned = objc_msgSend<id(unsigned long long)>(NSNumber::cls(), "numberWithUnsignedLongLong:"_sel, ULLONG_MAX);
    EXPECT_FALSE(equal(maxUnsigned, number(-1)));
    EXPECT_EQ(cmp(number(-1), maxUnsigned), NSOrderedAscending);
    EXPECT_EQ(cmp(maxUnsigned, number(LLONG_MAX)), NSOrderedDescending);
    // 2^53 + 1 has no double; the comparison must not round it.
    EXPECT_EQ(cmp(number((1LL << 53) + 1), numberD(9007199254740992.0)), NSOrderedDescending);
    EXPECT_FALSE(equal(number((1LL << 53) + 1), numberD(9007199254740992.0)));
    EXPECT_EQ(cmp(numberD(0.5), number(1)), NSOrderedAscending);
    EXPECT_EQ(cmp(number(2), number(2)), NSOrderedSame);
}

// ---------------------------------------------------------------------------
// NSArray

TEST(ArrayTest, RetainsElementsWhileHeldAndReleasesThemAfter) {
    long base = liveTracked();
    {
        AutoreleasePool pool;
        id array = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
        for (int i = 0; i < 3; ++i) {
            Strong<Tracked> t = newTracked();
            objc_msgSend<void(id)>(array, "addObject:"_sel, t.get());
        }
        EXPECT_EQ(liveTracked(), base + 3);  // only the array holds them now
        objc_msgSend<void(NSUInteger)>(array, "removeObjectAtIndex:"_sel, 0);
        EXPECT_EQ(liveTracked(), base + 2);
        Strong<Tracked> replacement = newTracked();
        objc_msgSend<void(NSUInteger, id)>(array, "replaceObjectAtIndex:withObject:"_sel, 0, replacement.get());
        EXPECT_EQ(liveTracked(), base + 2);  // the old one went, the new one is shared
        EXPECT_EQ(objc_retainCount(replacement), 2u);

        auto copy = Strong<objc_object>::adopt(objc_msgSend<id()>(array, "copy"_sel));
        objc_msgSend<void()>(array, "removeAllObjects"_sel);
        EXPECT_EQ(liveTracked(), base + 2);  // the copy still holds both
        EXPECT_EQ(objc_msgSend<NSUInteger()>(copy, "count"_sel), 2u);
        copy.reset();
        EXPECT_EQ(liveTracked(), base + 1);  // replacement, still ours
        EXPECT_EQ(objc_retainCount(replacement), 1u);

        objc_msgSend<void(id)>(array, "addObject:"_sel, replacement.get());
        objc_msgSend<void(NSArray*)>(array, "setArray:"_sel, NSArray::make({}));
        EXPECT_EQ(objc_retainCount(replacement), 1u);
    }
    EXPECT_EQ(liveTracked(), base);
}

TEST(ArrayTest, DeallocReleasesEveryElement) {
    long base = liveTracked();
    long arrays = class_getLiveInstanceCount(NSMutableArray::cls());
    {
        AutoreleasePool pool;
        NSMutableArray* a = NSMutableArray::make();
        Strong<Tracked> t = newTracked();
        a->addObject(t);
        a->addObject(t);
        a->insertObject(newTracked(), 1);
        EXPECT_EQ(objc_retainCount(t), 3u);
    }
    EXPECT_EQ(liveTracked(), base);
    EXPECT_EQ(class_getLiveInstanceCount(NSMutableArray::cls()), arrays);
}

TEST(ArrayTest, BadIndexesRaiseRangeAndNilRaisesInvalidArgument) {
    AutoreleasePool pool;
    NSMutableArray* a = NSMutableArray::make();
    a->addObject(S("x"));
    EXPECT_EQ(raisedName([&] { objc_msgSend<id(NSUInteger)>(a, "objectAtIndex:"_sel, 1); }), NSRangeException);
    EXPECT_EQ(raisedName([&] { objc_msgSend<void(id, NSUInteger)>(a, "insertObject:atIndex:"_sel, S("y"), 3); }), NSRangeException);
    EXPECT_EQ(raisedName([&] { objc_msgSend<void(NSUInteger, NSUInteger)>(a, "exchangeObjectAtIndex:withObjectAtIndex:"_sel, 0, 1); }),
              NSRangeException);
    EXPECT_EQ(raisedName([&] { objc_msgSend<void(id)>(a, "addObject:"_sel, nil); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([&] { objc_msgSend<id(id)>(NSArray::cls(), "arrayWithObject:"_sel, nil); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([&] { objc_msgSend<id(NSUInteger)>(NSArray::make({}), "objectAtIndex:"_sel, 0); }), NSRangeException);
    objc_msgSend<void()>(NSMutableArray::make(), "removeLastObject"_sel);  // nothing to remove is fine
    EXPECT_EQ(a->count(), 1u);
}

TEST(ArrayTest, MutationsAndLookupsUseIsEqual) {
    AutoreleasePool pool;
    NSMutableArray* a = NSMutableArray::make();
    for (const char* s : {"a", "b", "a", "c"}) a->addObject(S(s));
    EXPECT_EQ(objc_msgSend<NSUInteger(id)>(a, "indexOfObject:"_sel, S("c")), 3u);  // another object, equal text
    EXPECT_EQ(objc_msgSend<NSUInteger(id)>(a, "indexOfObject:"_sel, S("z")), NSNotFound);
    EXPECT_EQ(NSNotFound, static_cast<NSUInteger>(LONG_MAX));
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(a, "containsObject:"_sel, S("b")));

    objc_msgSend<void(id)>(a, "removeObject:"_sel, S("a"));  // every equal element
    objc_msgSend<void(NSUInteger, NSUInteger)>(a, "exchangeObjectAtIndex:withObjectAtIndex:"_sel, 0, 1);
    objc_msgSend<void(NSArray*)>(a, "addObjectsFromArray:"_sel, a);  // from itself
    objc_msgSend<void(id, NSUInteger)>(a, "insertObject:atIndex:"_sel, S("first"), 0);
    objc_msgSend<void()>(a, "removeLastObject"_sel);
    std::vector<std::string> seen;
    for (id obj : *a) seen.push_back(text(obj));
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "c", "b", "c"}));
    EXPECT_EQ(text(objc_msgSend<id()>(a, "firstObject"_sel)), "first");
    EXPECT_EQ(text(objc_msgSend<id()>(a, "lastObject"_sel)), "c");
    EXPECT_EQ(objc_msgSend<id()>(NSArray::make({}), "lastObject"_sel), nil);

    NSArray* same = NSArray::make({S("first"), S("c"), S("b"), S("c")});
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, same));
    EXPECT_TRUE(objc_msgSend<BOOL(NSArray*)>(same, "isEqualToArray:"_sel, a));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(same, "isEqual:"_sel, NSArray::make({S("first")})));
    NSArray* longer = static_cast<NSArray*>(objc_msgSend<id(id)>(same, "arrayByAddingObject:"_sel, S("z")));
    EXPECT_EQ(longer->count(), 5u);
    EXPECT_EQ(same->count(), 4u);
}

TEST(ArrayTest, CopiesAreImmutableAndIndependent) {
    AutoreleasePool pool;
    NSArray* fixed = NSArray::make({S("a")});
    auto same = Strong<objc_object>::adopt(objc_msgSend<id()>(fixed, "copy"_sel));
    EXPECT_EQ(same.get(), fixed);
    auto editable = Strong<objc_object>::adopt(objc_msgSend<id()>(fixed, "mutableCopy"_sel));
    EXPECT_TRUE(objc_isKindOfClass(editable, NSMutableArray::cls()));
    objc_msgSend<void(id)>(editable, "addObject:"_sel, S("b"));
    EXPECT_EQ(fixed->count(), 1u);
    auto frozen = Strong<objc_object>::adopt(objc_msgSend<id()>(editable, "copy"_sel));
    EXPECT_NE(frozen.get(), editable.get());
    EXPECT_FALSE(responds(frozen, "addObject:"_sel));
    objc_msgSend<void()>(editable, "removeAllObjects"_sel);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(frozen, "count"_sel), 2u);
    id built = objc_msgSend<id(NSArray*)>(objc_msgSend<id()>(NSArray::cls(), "alloc"_sel), "initWithArray:"_sel,
                                          static_cast<NSArray*>(frozen.get()));
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(built, "isEqual:"_sel, frozen.get()));
    release(built);
}

// Changing a collection inside a loop over it: every kind of change raises
// NSGenericException at the loop's next step, even after the last element;
// leaving the loop right after the change is fine.
namespace {

struct Enumerated {
    std::string name, reason;
    int steps = 0;
};

template <class Loop>
Enumerated enumerate(Loop&& loop) {
    AutoreleasePool pool;  // outlives the catch: the exception is autoreleased
    Enumerated out;
    try {
        loop(out.steps);
    } catch (NSException* e) {
        out.name = e->nameString();
        out.reason = e->reasonString();
    }
    return out;
}

void expectMutationRaised(const Enumerated& r, const std::string& what, int steps) {
    EXPECT_EQ(r.name, NSGenericException) << what;
    const std::string tail = " was mutated while being enumerated.";
    EXPECT_TRUE(r.reason.size() > tail.size() && r.reason.compare(r.reason.size() - tail.size(), tail.size(), tail) == 0)
        << what << ": " << r.reason;
    EXPECT_EQ(r.steps, steps) << what;  // no element after the change was handed out
}

}  // namespace

TEST(ArrayTest, ChangingAnArrayWhileEnumeratingItRaises) {
    struct Case {
        const char* what;
        size_t atStep;  // 1-based step of the loop that changes the array
        std::function<void(NSMutableArray*)> change;
    };
    const std::vector<Case> cases = {
        {"addObject: at the first element", 1, [](NSMutableArray* a) { objc_msgSend<void(id)>(a, "addObject:"_sel, S("d")); }},
        {"addObject: at the last element", 3, [](NSMutableArray* a) { objc_msgSend<void(id)>(a, "addObject:"_sel, S("d")); }},
        {"insertObject:atIndex:", 2,
         [](NSMutableArray* a) { objc_msgSend<void(id, NSUInteger)>(a, "insertObject:atIndex:"_sel, S("z"), 0); }},
        {"replaceObjectAtIndex:withObject:", 1,
         [](NSMutableArray* a) { objc_msgSend<void(NSUInteger, id)>(a, "replaceObjectAtIndex:withObject:"_sel, 2, S("x")); }},
        {"removeObjectAtIndex:", 1, [](NSMutableArray* a) { objc_msgSend<void(NSUInteger)>(a, "removeObjectAtIndex:"_sel, 0); }},
        {"removeObject: of the last element, at it", 3, [](NSMutableArray* a) { objc_msgSend<void(id)>(a, "removeObject:"_sel, S("c")); }},
        {"removeLastObject", 2, [](NSMutableArray* a) { objc_msgSend<void()>(a, "removeLastObject"_sel); }},
        {"removeAllObjects", 1, [](NSMutableArray* a) { objc_msgSend<void()>(a, "removeAllObjects"_sel); }},
        {"exchangeObjectAtIndex:withObjectAtIndex:", 1,
         [](NSMutableArray* a) { objc_msgSend<void(NSUInteger, NSUInteger)>(a, "exchangeObjectAtIndex:withObjectAtIndex:"_sel, 0, 2); }},
        {"addObjectsFromArray:", 2, [](NSMutableArray* a) { objc_msgSend<void(NSArray*)>(a, "addObjectsFromArray:"_sel, NSArray::make({S("e")})); }},
        {"setArray:", 1, [](NSMutableArray* a) { objc_msgSend<void(NSArray*)>(a, "setArray:"_sel, NSArray::make({S("e")})); }},
    };
    for (const Case& c : cases) {
        AutoreleasePool pool;
        NSMutableArray* a = NSMutableArray::make();
        for (const char* s : {"a", "b", "c"}) a->addObject(S(s));
        Enumerated r = enumerate([&](int& steps) {
            for (id obj : *a) {
                ASSERT_NE(obj, nil);
                if (static_cast<size_t>(++steps) == c.atStep) c.change(a);
            }
        });
        expectMutationRaised(r, c.what, static_cast<int>(c.atStep));
    }

    // Removing the element found and leaving the loop at once is the usual
    // idiom and raises nothing; neither does a loop that only reads.
    AutoreleasePool pool;
    NSMutableArray* a = NSMutableArray::make();
    for (const char* s : {"a", "b", "c"}) a->addObject(S(s));
    Enumerated r = enumerate([&](int& steps) {
        for (id obj : *a) {
            ++steps;
            if (text(obj) == "b") {
                a->removeObject(obj);
                break;
            }
        }
        for (id obj : *a) steps += obj != nil;
    });
    EXPECT_EQ(r.name, "");
    EXPECT_EQ(r.steps, 4);
}

// ---------------------------------------------------------------------------
// NSDictionary

TEST(DictionaryTest, KeysAreCopiedAndMatchedByIsEqual) {
    AutoreleasePool pool;
    NSMutableDictionary* d = NSMutableDictionary::make();
    NSMutableString* key = NSMutableString::make("volume");
    objc_msgSend<void(id, id)>(d, "setObject:forKey:"_sel, number(5), key);
    key->append("-changed");  // must not move or rename the entry
    EXPECT_EQ(objc_msgSend<id(id)>(d, "objectForKey:"_sel, key), nil);
    id found = objc_msgSend<id(id)>(d, "objectForKey:"_sel, S("volume"));
    ASSERT_NE(found, nil);
    EXPECT_EQ(objc_msgSend<NSInteger()>(found, "integerValue"_sel), 5);
    id storedKey = d->entries()[0].key.get();
    EXPECT_NE(storedKey, static_cast<id>(key));
    EXPECT_FALSE(objc_isKindOfClass(storedKey, NSMutableString::cls()));

    // Number keys: 1 and 1.0 are one key.
    objc_msgSend<void(id, id)>(d, "setObject:forKey:"_sel, S("int"), number(1));
    objc_msgSend<void(id, id)>(d, "setObject:forKey:"_sel, S("double"), numberD(1.0));
    EXPECT_EQ(d->count(), 2u);
    EXPECT_EQ(text(d->objectForKey(number(1))), "double");
    EXPECT_EQ(objc_msgSend<id(NSString*)>(d, "valueForKey:"_sel, S("volume")), found);
}

TEST(DictionaryTest, OrderRemovalAndNilRules) {
    AutoreleasePool pool;
    NSMutableDictionary* d = NSMutableDictionary::make();
    for (const char* k : {"c", "a", "b"}) d->setObject(S(k), S(k));
    d->setObject(S("A"), S("a"));  // overwriting keeps the position
    objc_msgSend<void(id, NSString*)>(d, "setValue:forKey:"_sel, nil, S("c"));  // nil value removes
    objc_msgSend<void(id, NSString*)>(d, "setValue:forKey:"_sel, S("D"), S("d"));
    std::vector<std::string> keys, values;
    for (id k : *static_cast<NSArray*>(objc_msgSend<id()>(d, "allKeys"_sel))) keys.push_back(text(k));
    for (id v : *static_cast<NSArray*>(objc_msgSend<id()>(d, "allValues"_sel))) values.push_back(text(v));
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(values, (std::vector<std::string>{"A", "b", "D"}));
    EXPECT_EQ(text(d->objectForKey(S("b"))), "b");  // the index survived the removal
    EXPECT_EQ(text(d->objectForKey(S("d"))), "D");

    EXPECT_EQ(raisedName([&] { objc_msgSend<void(id, id)>(d, "setObject:forKey:"_sel, nil, S("k")); }), NSInvalidArgumentException);
    EXPECT_EQ(raisedName([&] { objc_msgSend<void(id, id)>(d, "setObject:forKey:"_sel, S("v"), nil); }), NSInvalidArgumentException);
    EXPECT_EQ(objc_msgSend<id(id)>(d, "objectForKey:"_sel, nil), nil);
    EXPECT_EQ(text(objc_msgSend<id()>(NSDictionary::make({{S("k"), number(1)}, {S("a b"), S("x")}}), "description"_sel)),
              "{\n    k = 1;\n    \"a b\" = x;\n}");
}

TEST(DictionaryTest, RetainsKeysAndValuesAndReleasesThemAfter) {
    long base = liveTracked();
    {
        AutoreleasePool pool;
        NSMutableDictionary* d = NSMutableDictionary::make();
        d->setObject(newTracked(), S("one"));
        d->setObject(newTracked(), S("two"));
        EXPECT_EQ(liveTracked(), base + 2);
        objc_msgSend<void(id)>(d, "removeObjectForKey:"_sel, S("one"));
        EXPECT_EQ(liveTracked(), base + 1);
        d->setObject(newTracked(), S("two"));  // replaced value is released
        EXPECT_EQ(liveTracked(), base + 1);
        // A key that cannot be copied is refused, and nothing leaks.
        Strong<Tracked> badKey = newTracked();
        EXPECT_EQ(raisedName([&] { d->setObject(S("v"), badKey); }), NSInvalidArgumentException);
        EXPECT_EQ(d->count(), 1u);
        EXPECT_EQ(objc_retainCount(badKey), 1u);
    }
    EXPECT_EQ(liveTracked(), base);
}

TEST(DictionaryTest, ChangingADictionaryWhileIteratingItsEntriesRaises) {
    struct Case {
        const char* what;
        std::function<void(NSMutableDictionary*)> change;
    };
    auto set = [](NSMutableDictionary* d, const char* value, const char* key) {
        objc_msgSend<void(id, id)>(d, "setObject:forKey:"_sel, S(value), S(key));
    };
    const std::vector<Case> cases = {
        {"setObject:forKey: of a new key", [&](NSMutableDictionary* d) { set(d, "4", "four"); }},
        {"setObject:forKey: of a key it has", [&](NSMutableDictionary* d) { set(d, "II", "two"); }},
        {"setValue:forKey:", [](NSMutableDictionary* d) { objc_msgSend<void(id, NSString*)>(d, "setValue:forKey:"_sel, S("3"), S("three")); }},
        {"removeObjectForKey:", [](NSMutableDictionary* d) { objc_msgSend<void(id)>(d, "removeObjectForKey:"_sel, S("one")); }},
        {"removeAllObjects", [](NSMutableDictionary* d) { objc_msgSend<void()>(d, "removeAllObjects"_sel); }},
        {"addEntriesFromDictionary:", [](NSMutableDictionary* d) {
             objc_msgSend<void(NSDictionary*)>(d, "addEntriesFromDictionary:"_sel, NSDictionary::make({{S("five"), S("5")}}));
         }},
    };
    for (const Case& c : cases) {
        // Enough entries that adding one moves them all in memory.
        for (size_t atStep : {size_t(1), size_t(8)}) {
            AutoreleasePool pool;
            NSMutableDictionary* d = NSMutableDictionary::make();
            for (const char* k : {"one", "two", "three", "a", "b", "c", "d", "e"}) d->setObject(S(k), S(k));
            Enumerated r = enumerate([&](int& steps) {
                for (const auto& e : d->entries()) {
                    ASSERT_NE(e.key.get(), nil);
                    if (static_cast<size_t>(++steps) == atStep) c.change(d);
                }
            });
            expectMutationRaised(r, c.what, static_cast<int>(atStep));
        }
    }
}

TEST(DictionaryTest, EqualityIgnoresOrderAndCopiesAreIndependent) {
    AutoreleasePool pool;
    NSDictionary* a = NSDictionary::make({{S("x"), number(1)}, {S("y"), S("2")}});
    NSDictionary* b = NSDictionary::make({{S("y"), S("2")}, {S("x"), numberD(1.0)}});
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, b));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, NSDictionary::make({{S("x"), number(1)}, {S("y"), S("3")}})));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(a, "isEqual:"_sel, NSDictionary::make({{S("x"), number(1)}})));

    auto same = Strong<objc_object>::adopt(objc_msgSend<id()>(a, "copy"_sel));
    EXPECT_EQ(same.get(), a);
    auto editable = Strong<objc_object>::adopt(objc_msgSend<id()>(a, "mutableCopy"_sel));
    objc_msgSend<void(id)>(editable, "removeObjectForKey:"_sel, S("x"));
    EXPECT_EQ(a->count(), 2u);
    id merged = objc_msgSend<id(NSDictionary*)>(NSMutableDictionary::cls(), "dictionaryWithDictionary:"_sel, b);
    objc_msgSend<void(NSDictionary*)>(merged, "addEntriesFromDictionary:"_sel, static_cast<NSDictionary*>(editable.get()));
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(merged, "isEqual:"_sel, a));
    objc_msgSend<void()>(merged, "removeAllObjects"_sel);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(merged, "count"_sel), 0u);
    id single = objc_msgSend<id(id, id)>(NSDictionary::cls(), "dictionaryWithObject:forKey:"_sel, S("v"), S("k"));
    EXPECT_EQ(text(static_cast<NSDictionary*>(single)->objectForKey(S("k"))), "v");
    EXPECT_FALSE(responds(single, "setObject:forKey:"_sel));
}

// ---------------------------------------------------------------------------
// NSData, NSDate, NSIndexPath

TEST(ValueTest, DataKeepsEveryByte) {
    AutoreleasePool pool;
    const char raw[] = {'a', 0, '\xFF', 'b'};
    id d = objc_msgSend<id(const void*, NSUInteger)>(NSData::cls(), "dataWithBytes:length:"_sel, raw, sizeof raw);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(d, "length"_sel), 4u);
    EXPECT_EQ(std::memcmp(objc_msgSend<const void*()>(d, "bytes"_sel), raw, 4), 0);
    id m = objc_msgSend<id()>(d, "mutableCopy"_sel);
    objc_msgSend<void(const void*, NSUInteger)>(m, "appendBytes:length:"_sel, "!", 1);
    objc_msgSend<void(NSData*)>(m, "appendData:"_sel, static_cast<NSData*>(m));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(m, "length"_sel), 10u);
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(d, "isEqual:"_sel, m));
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(d, "isEqual:"_sel, NSData::make(std::string_view(raw, 4))));
    EXPECT_EQ(text(objc_msgSend<id()>(d, "description"_sel)), "{length = 4, bytes = 0x6100ff62}");
    release(m);
}

TEST(ValueTest, DatesAndIndexPaths) {
    AutoreleasePool pool;
    id epoch = objc_msgSend<id(double)>(NSDate::cls(), "dateWithTimeIntervalSince1970:"_sel, 0.0);
    EXPECT_EQ(text(objc_msgSend<id()>(epoch, "description"_sel)), "1970-01-01 00:00:00 +0000");
    EXPECT_DOUBLE_EQ(objc_msgSend<double()>(epoch, "timeIntervalSinceReferenceDate"_sel), -978307200.0);
    id now = objc_msgSend<id()>(NSDate::cls(), "date"_sel);
    EXPECT_NEAR(objc_msgSend<double()>(now, "timeIntervalSince1970"_sel), static_cast<double>(std::time(nullptr)), 5.0);

    auto path = [](NSInteger row, NSInteger section) {
        return objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
    };
    id p = path(2, 1);
    EXPECT_EQ(objc_msgSend<NSInteger()>(p, "row"_sel), 2);
    EXPECT_EQ(objc_msgSend<NSInteger()>(p, "item"_sel), 2);
    EXPECT_EQ(objc_msgSend<NSInteger()>(p, "section"_sel), 1);
    id item = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForItem:inSection:"_sel, 2, 1);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(p, "isEqual:"_sel, item));
    EXPECT_EQ(objc_msgSend<NSUInteger()>(p, "hash"_sel), objc_msgSend<NSUInteger()>(item, "hash"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(p, "isEqual:"_sel, path(1, 2)));
    EXPECT_EQ(objc_msgSend<NSInteger(NSIndexPath*)>(path(9, 0), "compare:"_sel, static_cast<NSIndexPath*>(p)), NSOrderedAscending);
    EXPECT_EQ(objc_msgSend<NSInteger(NSIndexPath*)>(path(3, 1), "compare:"_sel, static_cast<NSIndexPath*>(p)), NSOrderedDescending);
    EXPECT_NE(text(objc_msgSend<id()>(p, "description"_sel)).find("path = 1 - 2"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Notifications

class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override { registerTestClasses(); }
    Strong<Listener> listener() {
        return Strong<Listener>::adopt(static_cast<Listener*>(class_createInstance(Listener::cls())));
    }
    NSNotificationCenter* center = NSNotificationCenter::defaultCenter();
    AutoreleasePool pool;
};

TEST_F(NotificationTest, DeliversByNameAndSenderInRegistrationOrder) {
    Strong<Listener> any = listener(), named = listener(), fromSender = listener();
    Strong<Tracked> sender = newTracked(), other = newTracked();
    std::vector<std::string> order;
    any->onNote = [&](NSNotification*) { order.push_back("any"); };
    named->onNote = [&](NSNotification*) { order.push_back("named"); };
    auto add = [&](id observer, NSString* name, id object) {
        objc_msgSend<void(id, SEL, NSString*, id)>(center, "addObserver:selector:name:object:"_sel, observer,
                                                   "noteReceived:"_sel, name, object);
    };
    add(any, nullptr, nullptr);
    add(named, S("Changed"), nullptr);
    add(fromSender, S("Changed"), sender);

    NSDictionary* info = NSDictionary::make({{S("k"), S("v")}});
    objc_msgSend<void(NSString*, id, NSDictionary*)>(center, "postNotificationName:object:userInfo:"_sel, S("Changed"), sender, info);
    objc_msgSend<void(NSString*, id)>(center, "postNotificationName:object:"_sel, S("Changed"), other);
    objc_msgSend<void(NSNotification*)>(center, "postNotification:"_sel,
                                        static_cast<NSNotification*>(objc_msgSend<id(NSString*, id, NSDictionary*)>(
                                            NSNotification::cls(), "notificationWithName:object:userInfo:"_sel, S("Other"), nil, nil)));
    EXPECT_EQ(any->heard, (std::vector<std::string>{"Changed", "Changed", "Other"}));
    EXPECT_EQ(named->heard, (std::vector<std::string>{"Changed", "Changed"}));
    EXPECT_EQ(fromSender->heard, (std::vector<std::string>{"Changed"}));
    EXPECT_EQ(fromSender->objects[0], static_cast<id>(sender.get()));
    EXPECT_EQ(order, (std::vector<std::string>{"any", "named", "any", "named", "any"}));

    // Removal by name and sender, then entirely.
    objc_msgSend<void(id, NSString*, id)>(center, "removeObserver:name:object:"_sel, named, S("Changed"), nil);
    objc_msgSend<void(id)>(center, "removeObserver:"_sel, any);
    center->post(S("Changed"), sender);
    EXPECT_EQ(any->heard.size(), 3u);
    EXPECT_EQ(named->heard.size(), 2u);
    EXPECT_EQ(fromSender->heard.size(), 2u);
    center->removeObserver(fromSender);
}

TEST_F(NotificationTest, UserInfoAndObjectReachTheObserver) {
    Strong<Listener> l = listener();
    Strong<NSDictionary> seenInfo;
    l->onNote = [&](NSNotification* n) {
        seenInfo = static_cast<NSDictionary*>(objc_msgSend<id()>(n, "userInfo"_sel));
        EXPECT_EQ(text(objc_msgSend<id()>(n, "name"_sel)), "Info");
    };
    center->addObserver(l, "noteReceived:"_sel, S("Info"), nullptr);
    center->post(S("Info"), nullptr, NSDictionary::make({{S("k"), S("v")}}));
    ASSERT_TRUE(seenInfo);
    EXPECT_EQ(text(seenInfo->objectForKey(S("k"))), "v");
    center->removeObserver(l);
}

TEST_F(NotificationTest, FreedObserverIsSkippedAndForgotten) {
    size_t before = center->observationCount();
    Strong<Listener> kept = listener();
    {
        Strong<Listener> gone = listener();
        center->addObserver(gone, "noteReceived:"_sel, S("Ping"), nullptr);
        center->addObserver(kept, "noteReceived:"_sel, S("Ping"), nullptr);
        EXPECT_EQ(center->observationCount(), before + 2);
    }  // freed without removing itself
    EXPECT_EQ(center->observationCount(), before + 1);
    center->post(S("Ping"), nullptr);
    EXPECT_EQ(kept->heard.size(), 1u);
    center->removeObserver(kept);
    EXPECT_EQ(center->observationCount(), before);
}

TEST_F(NotificationTest, ObserverRemovedDuringDeliveryIsNotCalled) {
    Strong<Listener> first = listener(), second = listener(), late = listener();
    first->onNote = [&](NSNotification*) {
        center->removeObserver(second);
        center->addObserver(late, "noteReceived:"_sel, S("Go"), nullptr);  // hears the next post only
    };
    center->addObserver(first, "noteReceived:"_sel, S("Go"), nullptr);
    center->addObserver(second, "noteReceived:"_sel, S("Go"), nullptr);
    center->post(S("Go"), nullptr);
    EXPECT_EQ(first->heard.size(), 1u);
    EXPECT_TRUE(second->heard.empty());
    EXPECT_TRUE(late->heard.empty());
    first->onNote = nullptr;
    center->post(S("Go"), nullptr);
    EXPECT_EQ(late->heard.size(), 1u);
    center->removeObserver(first);
    center->removeObserver(late);
}

TEST_F(NotificationTest, RegistrationFromManyThreads) {
    size_t before = center->observationCount();
    Strong<Listener> stable = listener();
    center->addObserver(stable, "noteReceived:"_sel, S("Tick"), nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this] {
            AutoreleasePool threadPool;
            for (int i = 0; i < 200; ++i) {
                Strong<Listener> l = listener();
                center->addObserver(l, "noteReceived:"_sel, S("Tick"), nullptr);
                if (i % 2) center->removeObserver(l);
            }
        });
    }
    for (int i = 0; i < 200; ++i) center->post(S("Tick"), nullptr);
    for (auto& t : threads) t.join();
    EXPECT_EQ(stable->heard.size(), 200u);
    center->removeObserver(stable);
    EXPECT_EQ(center->observationCount(), before);
}

// ---------------------------------------------------------------------------
// Files

class FileManagerTest : public DeviceRootTest {
protected:
    NSFileManager* fm = NSFileManager::defaultManager();
    BOOL mkdirs(const char* path, BOOL intermediates, NSError** error = nullptr) {
        return objc_msgSend<BOOL(NSString*, BOOL, NSDictionary*, NSError**)>(
            fm, "createDirectoryAtPath:withIntermediateDirectories:attributes:error:"_sel, S(path), intermediates, nullptr, error);
    }
    void writeHost(const std::string& hostFile, const std::string& contents) {
        FILE* f = std::fopen(hostFile.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(contents.data(), 1, contents.size(), f);
        std::fclose(f);
    }
};

TEST_F(FileManagerTest, DirectoriesLiveUnderTheDeviceRoot) {
    NSError* error = nullptr;
    EXPECT_FALSE(mkdirs("/var/mobile/Library/Deep/Er", NO, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(text(objc_msgSend<id()>(error, "domain"_sel)), "NSCocoaErrorDomain");
    EXPECT_EQ(objc_msgSend<NSInteger()>(error, "code"_sel), NSFileNoSuchFileError);
    EXPECT_EQ(text(error->userInfo_->objectForKey(NSFilePathErrorKey)), "/var/mobile/Library/Deep/Er");

    EXPECT_TRUE(mkdirs("/User/Library/Deep/Er", YES));
    EXPECT_TRUE(std::filesystem::is_directory(root_ + "/var/mobile/Library/Deep/Er"));
    EXPECT_TRUE(mkdirs("/User/Library/Deep/Er", YES));  // already there is fine with intermediates
    EXPECT_FALSE(mkdirs("/User/Library/Deep/Er", NO));

    BOOL isDir = NO;
    EXPECT_TRUE(objc_msgSend<BOOL(NSString*, BOOL*)>(fm, "fileExistsAtPath:isDirectory:"_sel, S("/var/mobile/Library/Deep"), &isDir));
    EXPECT_TRUE(isDir);
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*)>(fm, "fileExistsAtPath:"_sel, S("/var/mobile/Nothing")));
    // A path that climbs out of the root is refused, not created next to it.
    EXPECT_FALSE(mkdirs("/../../escaped", YES, &error));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(root_).parent_path() / "escaped"));
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*)>(fm, "fileExistsAtPath:"_sel, S("/../..")));
}

TEST_F(FileManagerTest, CopyMoveListAndRemove) {
    ASSERT_TRUE(mkdirs("/var/mobile/Media", YES));
    writeHost(host("/var/mobile/Media/b.txt"), "bee");
    NSError* error = nullptr;
    auto copy = [&](const char* a, const char* b) {
        return objc_msgSend<BOOL(NSString*, NSString*, NSError**)>(fm, "copyItemAtPath:toPath:error:"_sel, S(a), S(b), &error);
    };
    auto move = [&](const char* a, const char* b) {
        return objc_msgSend<BOOL(NSString*, NSString*, NSError**)>(fm, "moveItemAtPath:toPath:error:"_sel, S(a), S(b), &error);
    };
    EXPECT_TRUE(copy("/var/mobile/Media/b.txt", "/var/mobile/Media/a.txt"));
    EXPECT_FALSE(copy("/var/mobile/Media/b.txt", "/var/mobile/Media/a.txt"));
    EXPECT_EQ(error->code_, NSFileWriteFileExistsError);
    EXPECT_FALSE(copy("/var/mobile/Media/none", "/var/mobile/Media/c.txt"));
    EXPECT_EQ(error->code_, NSFileReadNoSuchFileError);
    EXPECT_TRUE(move("/var/mobile/Media/a.txt", "/var/mobile/Media/c.txt"));
    EXPECT_FALSE(std::filesystem::exists(host("/var/mobile/Media/a.txt")));
    EXPECT_TRUE(copy("/var/mobile/Media", "/var/mobile/Copy"));  // folders copy whole

    auto list = [&](const char* path) {
        std::vector<std::string> names;
        id listing = objc_msgSend<id(NSString*, NSError**)>(fm, "contentsOfDirectoryAtPath:error:"_sel, S(path), &error);
        if (listing == nil) return std::vector<std::string>{"<nil>"};
        for (id n : *static_cast<NSArray*>(listing)) names.push_back(text(n));
        return names;
    };
    EXPECT_EQ(list("/var/mobile/Media"), (std::vector<std::string>{"b.txt", "c.txt"}));
    EXPECT_EQ(list("/var/mobile/Copy"), (std::vector<std::string>{"b.txt", "c.txt"}));
    EXPECT_EQ(list("/var/mobile/Missing"), (std::vector<std::string>{"<nil>"}));

    auto remove = [&](const char* path) {
        return objc_msgSend<BOOL(NSString*, NSError**)>(fm, "removeItemAtPath:error:"_sel, S(path), &error);
    };
    EXPECT_TRUE(remove("/var/mobile/Copy"));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/var/mobile/Copy"));
    EXPECT_FALSE(remove("/var/mobile/Copy"));
    EXPECT_EQ(error->code_, NSFileNoSuchFileError);
    EXPECT_FALSE(remove("/"));  // never the device root itself
    EXPECT_TRUE(std::filesystem::exists(host("/var/mobile/Media/c.txt")));
    EXPECT_NE(text(objc_msgSend<id()>(error, "localizedDescription"_sel)), "");
}

// Copies by file URL never replace a file, a failed one leaves nothing under
// its name; readability and the recursive listing go through the device root.
TEST_F(FileManagerTest, CopyByURLReadableAndSubpaths) {
    ASSERT_TRUE(mkdirs("/var/mobile/Media/Sub/Deeper", YES));
    writeHost(host("/var/mobile/Media/a.mp3"), std::string(300000, 'a'));
    writeHost(host("/var/mobile/Media/Sub/Deeper/b.txt"), "bee");
    NSError* error = nullptr;
    auto url = [](const char* path) { return objc_msgSend<id(NSString*)>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, S(path)); };
    auto copy = [&](id from, id to) {
        error = nullptr;
        return objc_msgSend<BOOL(id, id, NSError**)>(fm, "copyItemAtURL:toURL:error:"_sel, from, to, &error);
    };
    EXPECT_TRUE(copy(url("/var/mobile/Media/a.mp3"), url("/var/mobile/Media/Sub/c.mp3")));
    EXPECT_EQ(std::filesystem::file_size(host("/var/mobile/Media/Sub/c.mp3")), 300000u);
    writeHost(host("/var/mobile/Media/Sub/d.mp3"), "kept");
    EXPECT_FALSE(copy(url("/var/mobile/Media/a.mp3"), url("/var/mobile/Media/Sub/d.mp3")));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->code_, NSFileWriteFileExistsError);
    std::ifstream kept(host("/var/mobile/Media/Sub/d.mp3"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept");
    EXPECT_FALSE(copy(url("/var/mobile/Media/none.mp3"), url("/var/mobile/Media/Sub/e.mp3")));
    EXPECT_EQ(error->code_, NSFileReadNoSuchFileError);
    EXPECT_FALSE(copy(url("/var/mobile/Media/a.mp3"), url("/var/mobile/Media/NoFolder/e.mp3")));
    EXPECT_FALSE(copy(url("/var/mobile/Media/a.mp3"), url("/../../escaped.mp3")));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(root_).parent_path() / "escaped.mp3"));
    EXPECT_FALSE(copy(url("/var/mobile/Media/a.mp3"), objc_msgSend<id(NSString*)>(objc_getClass("NSURL"), "URLWithString:"_sel,
                                                                                  S("http://127.0.0.1/e.mp3"))));
    EXPECT_FALSE(copy(nil, url("/var/mobile/Media/Sub/e.mp3")));

    auto readable = [&](const char* path) { return objc_msgSend<BOOL(NSString*)>(fm, "isReadableFileAtPath:"_sel, S(path)); };
    EXPECT_TRUE(readable("/var/mobile/Media/a.mp3"));
    EXPECT_FALSE(readable("/var/mobile/Media/none.mp3"));
    EXPECT_FALSE(readable("/../../etc/hostname"));
    if (geteuid() != 0) {  // root reads anything
        std::filesystem::permissions(host("/var/mobile/Media/a.mp3"), std::filesystem::perms::none);
        EXPECT_FALSE(readable("/var/mobile/Media/a.mp3"));
        EXPECT_FALSE(copy(url("/var/mobile/Media/a.mp3"), url("/var/mobile/Media/Sub/f.mp3")));
        EXPECT_FALSE(std::filesystem::exists(host("/var/mobile/Media/Sub/f.mp3")));
    }

    auto subpaths = [&](const char* path) {
        std::vector<std::string> names;
        id listing = objc_msgSend<id(NSString*)>(fm, "subpathsAtPath:"_sel, S(path));
        if (listing == nil) return std::vector<std::string>{"<nil>"};
        for (id n : *static_cast<NSArray*>(listing)) names.push_back(text(n));
        return names;
    };
    std::filesystem::create_symlink("/", host("/var/mobile/Media/Sub/out"));
    EXPECT_EQ(subpaths("/var/mobile/Media/Sub"),
              (std::vector<std::string>{"Deeper", "Deeper/b.txt", "c.mp3", "d.mp3", "out"}));
    EXPECT_EQ(subpaths("/var/mobile/Media/a.mp3"), (std::vector<std::string>{"<nil>"}));
    EXPECT_EQ(subpaths("/var/mobile/Missing"), (std::vector<std::string>{"<nil>"}));
    // No temporary file is left in the folders copied into.
    for (auto& e : std::filesystem::recursive_directory_iterator(host("/var/mobile/Media")))
        EXPECT_NE(e.path().filename().string().rfind(".new-", 0), 0u) << e.path();
}

// Identifiers: new ones differ, the string is the upper-case 8-4-4-4-12 form
// of a random (version 4) identifier.
TEST(UUIDTest, NewIdentifiersAndTheirStrings) {
    AutoreleasePool pool;
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        id uuid = objc_msgSend<id()>(objc_getClass("NSUUID"), "UUID"_sel);
        std::string s = text(objc_msgSend<id()>(uuid, "UUIDString"_sel));
        ASSERT_EQ(s.size(), 36u);
        for (size_t k : {8u, 13u, 18u, 23u}) EXPECT_EQ(s[k], '-') << s;
        EXPECT_EQ(s[14], '4') << s;
        EXPECT_EQ(s.find_first_not_of("0123456789ABCDEF-"), std::string::npos) << s;
        EXPECT_TRUE(objc_msgSend<BOOL(id)>(uuid, "isEqual:"_sel, uuid));
        seen.insert(s);
    }
    EXPECT_EQ(seen.size(), 100u);
}

// Splitting at a set of characters: empty pieces stay, characters outside
// the ASCII range count as one character each.
TEST(CharacterSetTest, SplitAtTheSetsCharacters) {
    AutoreleasePool pool;
    auto split = [](const std::string& in, id set) {
        std::vector<std::string> out;
        id pieces = objc_msgSend<id(id)>(NSString::make(in), "componentsSeparatedByCharactersInSet:"_sel, set);
        for (id p : *static_cast<NSArray*>(pieces)) out.push_back(text(p));
        return out;
    };
    id slashes = objc_msgSend<id(id)>(objc_getClass("NSCharacterSet"), "characterSetWithCharactersInString:"_sel,
                                      NSString::make("/?東"));
    id control = objc_msgSend<id()>(objc_getClass("NSCharacterSet"), "controlCharacterSet"_sel);
    struct Case {
        std::string in;
        id set;
        std::vector<std::string> out;
    } cases[] = {
        {"AC/DC", slashes, {"AC", "DC"}},
        {"a//b?", slashes, {"a", "", "b", ""}},
        {"京東京", slashes, {"京", "京"}},
        {"", slashes, {""}},
        {"tab\tbell\x07\xc2\x85" "end\x7f", control, {"tab", "bell", "", "end", ""}},
        {"plain é", control, {"plain é"}},
    };
    for (const Case& c : cases) EXPECT_EQ(split(c.in, c.set), c.out) << c.in;
    EXPECT_TRUE(objc_msgSend<BOOL(unsigned short)>(slashes, "characterIsMember:"_sel, '/'));
    EXPECT_FALSE(objc_msgSend<BOOL(unsigned short)>(slashes, "characterIsMember:"_sel, ':'));
    id inverted = objc_msgSend<id()>(slashes, "invertedSet"_sel);
    EXPECT_TRUE(objc_msgSend<BOOL(unsigned short)>(inverted, "characterIsMember:"_sel, ':'));
    EXPECT_EQ(text(objc_msgSend<id(id)>(NSArray::make({NSString::make("a"), NSString::make("b")}),
                                        "componentsJoinedByString:"_sel, NSString::make(", "))),
              "a, b");
    EXPECT_THROW(split("a", nil), NSException*);
}

TEST_F(FileManagerTest, DataFilesGoThroughTheDeviceRoot) {
    ASSERT_TRUE(mkdirs("/var/mobile/Library", YES));
    id data = NSData::make(std::string_view("\x00\x01zz", 4));
    EXPECT_TRUE(objc_msgSend<BOOL(NSString*, BOOL)>(data, "writeToFile:atomically:"_sel, S("/User/Library/blob"), YES));
    EXPECT_EQ(std::filesystem::file_size(root_ + "/var/mobile/Library/blob"), 4u);
    id back = objc_msgSend<id(NSString*)>(NSData::cls(), "dataWithContentsOfFile:"_sel, S("/var/mobile/Library/blob"));
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(data, "isEqual:"_sel, back));
    EXPECT_EQ(objc_msgSend<id(NSString*)>(NSData::cls(), "dataWithContentsOfFile:"_sel, S("/var/mobile/none")), nil);
    EXPECT_FALSE(objc_msgSend<BOOL(NSString*, BOOL)>(data, "writeToFile:atomically:"_sel, S("/var/missing/blob"), YES));
}

// ---------------------------------------------------------------------------
// NSError, NSException, NSAutoreleasePool, NSObject additions

TEST(ErrorTest, LocalizedDescriptionPrefersUserInfo) {
    AutoreleasePool pool;
    id plain = objc_msgSend<id(NSString*, NSInteger, NSDictionary*)>(NSError::cls(), "errorWithDomain:code:userInfo:"_sel,
                                                                     S("Demo"), 7, nullptr);
    EXPECT_EQ(text(objc_msgSend<id()>(plain, "localizedDescription"_sel)),
              "The operation couldn\xE2\x80\x99t be completed. (Demo error 7.)");
    id told = objc_msgSend<id(NSString*, NSInteger, NSDictionary*)>(
        NSError::cls(), "errorWithDomain:code:userInfo:"_sel, S("Demo"), 7,
        NSDictionary::make({{NSLocalizedDescriptionKey, S("Disk full")}}));
    EXPECT_EQ(text(objc_msgSend<id()>(told, "localizedDescription"_sel)), "Disk full");
}

TEST(ExceptionTest, RuntimeMethodsAndRaise) {
    AutoreleasePool pool;
    NSDictionary* info = NSDictionary::make({{S("k"), S("v")}});
    id e = objc_msgSend<id(NSString*, NSString*, NSDictionary*)>(NSException::cls(), "exceptionWithName:reason:userInfo:"_sel,
                                                                 S("Custom"), S("went \xE2\x9C\x95"), info);
    EXPECT_EQ(text(objc_msgSend<id()>(e, "name"_sel)), "Custom");
    EXPECT_EQ(text(objc_msgSend<id()>(e, "reason"_sel)), "went \xE2\x9C\x95");
    EXPECT_EQ(text(objc_msgSend<id()>(e, "description"_sel)), "went \xE2\x9C\x95");
    EXPECT_EQ(objc_msgSend<id()>(e, "userInfo"_sel), static_cast<id>(info));
    try {
        objc_msgSend<void()>(e, "raise"_sel);
        ADD_FAILURE() << "raise returned";
    } catch (NSException* caught) {
        EXPECT_EQ(static_cast<id>(caught), e);
    }
}

TEST(AutoreleasePoolTest, DrainAndReleaseEmptyThePool) {
    long base = liveTracked();
    long pools = class_getLiveInstanceCount(NSAutoreleasePool::cls());
    id outer = objc_msgSend<id()>(objc_msgSend<id()>(NSAutoreleasePool::cls(), "alloc"_sel), "init"_sel);
    autorelease(newTracked().detach());
    id inner = objc_msgSend<id()>(NSAutoreleasePool::cls(), "new"_sel);
    autorelease(newTracked().detach());
    EXPECT_EQ(liveTracked(), base + 2);
    objc_msgSend<void()>(inner, "release"_sel);
    EXPECT_EQ(liveTracked(), base + 1);
    autorelease(newTracked().detach());
    objc_msgSend<void()>(outer, "drain"_sel);
    EXPECT_EQ(liveTracked(), base);
    EXPECT_EQ(class_getLiveInstanceCount(NSAutoreleasePool::cls()), pools);
}

TEST(ObjectTest, DescriptionsAndNameConversions) {
    AutoreleasePool pool;
    Strong<Tracked> t = newTracked();
    std::string d = text(objc_msgSend<id()>(t, "description"_sel));
    const std::string prefix = "<FoundationTestTracked: 0x";
    ASSERT_TRUE(d.starts_with(prefix) && d.ends_with(">")) << d;
    std::string hex = d.substr(prefix.size(), d.size() - prefix.size() - 1);
    EXPECT_EQ(std::stoull(hex, nullptr, 16), reinterpret_cast<uintptr_t>(t.get())) << d;
    EXPECT_EQ(text(objc_msgSend<id()>(t, "debugDescription"_sel)), d);
    EXPECT_EQ(text(objc_msgSend<id()>(NSArray::cls(), "description"_sel)), "NSArray");

    EXPECT_EQ(text(NSStringFromClass(NSMutableArray::cls())), "NSMutableArray");
    EXPECT_EQ(NSClassFromString(S("NSMutableDictionary")), NSMutableDictionary::cls());
    EXPECT_EQ(NSClassFromString(S("NoSuchClassHere")), nullptr);
    EXPECT_EQ(NSClassFromString(nullptr), nullptr);
    EXPECT_EQ(text(NSStringFromSelector("tableView:cellForRowAtIndexPath:"_sel)), "tableView:cellForRowAtIndexPath:");
    EXPECT_EQ(NSSelectorFromString(S("count")), "count"_sel);
    EXPECT_EQ(NSSelectorFromString(nullptr), nullptr);
}
