// URL parsing, NSJSONSerialization's mapping and failures, a seeded
// random-mutation run over the JSON reader, and the seedable random source.
#include <gtest/gtest.h>

#include <Foundation/Foundation.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSURL.h>
#include <platform/Random.h>

#include <nlohmann/json.hpp>

#include <random>
#include <string>
#include <vector>

namespace {

id url(const char* s) { return objc_msgSend<id(id)>(NSURL::cls(), "URLWithString:"_sel, NSString::make(s)); }
std::string text(id s) { return s ? static_cast<NSString*>(s)->str() : std::string("(nil)"); }

TEST(URLStrings, AbsoluteURLsAreTakenApart) {
    AutoreleasePool pool;
    struct Case {
        const char* string;
        const char* scheme;
        const char* host;
    } cases[] = {
        {"http://127.0.0.1:8080/a/b?c=d%20e#f", "http", "127.0.0.1"},
        {"https://images.example.org", "https", "images.example.org"},
        {"HTTP://Example.COM/x", "HTTP", "Example.COM"},
        {"http://user:pw@host.test:1/", "http", "host.test"},
        {"http://[::1]:9/img.jpg", "http", "::1"},
        {"file:///etc/hosts", "file", "(nil)"},
        {"mailto:someone@example.org", "mailto", "(nil)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.string);
        id u = url(c.string);
        ASSERT_NE(u, nil);
        EXPECT_EQ(text(objc_msgSend<id()>(u, "absoluteString"_sel)), c.string);
        EXPECT_EQ(text(objc_msgSend<id()>(u, "scheme"_sel)), c.scheme);
        EXPECT_EQ(text(objc_msgSend<id()>(u, "host"_sel)), c.host);
    }
}

TEST(URLStrings, StringsThatAreNoURLGiveNil) {
    AutoreleasePool pool;
    for (const char* s : {"", "no scheme here", "relative/path.jpg", "/etc/passwd", ":nothing", "1http://host/",
                          "http://", "http:///path", "https:relative", "http://host:99999/", "http://host:8x/",
                          "http://ho st/", "http://host/a b", "http://host/%zz", "http://host/%4", "http://host/<b>",
                          "http://host/a\"b", "http://host/caf\xc3\xa9", "http://host/a#b#c", "http://host/\t",
                          "http://[::1/", "http://ho\\st/"}) {
        SCOPED_TRACE(s);
        EXPECT_EQ(url(s), nil);
    }
    EXPECT_EQ(objc_msgSend<id(id)>(NSURL::cls(), "URLWithString:"_sel, nil), nil);
    EXPECT_EQ(objc_msgSend<id(id)>(NSURL::cls(), "URLWithString:"_sel, NSNumber::withLongLong(3)), nil);
}

TEST(URLStrings, ARequestKeepsItsURL) {
    AutoreleasePool pool;
    id u = url("http://127.0.0.1/x");
    id request = objc_msgSend<id(id)>(NSURLRequest::cls(), "requestWithURL:"_sel, u);
    ASSERT_NE(request, nil);
    EXPECT_EQ(objc_msgSend<id()>(request, "URL"_sel), u);
    id none = objc_msgSend<id(id)>(NSURLRequest::cls(), "requestWithURL:"_sel, "http://127.0.0.1/x"_ns);
    EXPECT_EQ(objc_msgSend<id()>(none, "URL"_sel), nil);
}

// --- JSON -------------------------------------------------------------------

id parse(const std::string& bytes, NSUInteger options = 0, NSError** error = nullptr) {
    return objc_msgSend<id(id, NSUInteger, NSError**)>(NSJSONSerialization::cls(), "JSONObjectWithData:options:error:"_sel,
                                                       NSData::make(bytes), options, error);
}

id at(id dict, const char* key) { return static_cast<NSDictionary*>(dict)->objectForKey(NSString::make(key)); }

TEST(JSONReading, EveryJSONTypeBecomesItsObject) {
    AutoreleasePool pool;
    id root = parse(R"({"s":"caf\u00e9 \ud83c\udfb5","i":-42,"u":18446744073709551615,"f":2.5,"t":true,"n":null,)"
                    R"("a":[1,"x",[],{}],"o":{"k":"v","k":"last"}})");
    ASSERT_TRUE(objc_isKindOfClass(root, NSDictionary::cls()));
    EXPECT_FALSE(objc_isKindOfClass(root, NSMutableDictionary::cls()));
    EXPECT_EQ(static_cast<NSDictionary*>(root)->count(), 8u);
    EXPECT_EQ(text(at(root, "s")), "caf\xc3\xa9 \xf0\x9f\x8e\xb5");
    auto* i = static_cast<NSNumber*>(at(root, "i"));
    ASSERT_TRUE(objc_isKindOfClass(i, NSNumber::cls()));
    EXPECT_EQ(i->longLongValue(), -42);
    EXPECT_FALSE(i->isBool());
    EXPECT_EQ(static_cast<NSNumber*>(at(root, "u"))->unsignedLongLongValue(), 18446744073709551615ull);
    EXPECT_EQ(static_cast<NSNumber*>(at(root, "f"))->doubleValue(), 2.5);
    auto* t = static_cast<NSNumber*>(at(root, "t"));
    EXPECT_TRUE(t->isBool());
    EXPECT_TRUE(t->boolValue());
    EXPECT_EQ(at(root, "n"), objc_msgSend<id()>(NSNull::cls(), "null"_sel));
    EXPECT_EQ(text(objc_msgSend<id()>(at(root, "n"), "description"_sel)), "<null>");
    auto* a = static_cast<NSArray*>(at(root, "a"));
    ASSERT_TRUE(objc_isKindOfClass(a, NSArray::cls()));
    ASSERT_EQ(a->count(), 4u);
    EXPECT_EQ(static_cast<NSNumber*>(a->at(0))->longLongValue(), 1);
    EXPECT_EQ(text(a->at(1)), "x");
    EXPECT_TRUE(objc_isKindOfClass(a->at(2), NSArray::cls()));
    EXPECT_TRUE(objc_isKindOfClass(a->at(3), NSDictionary::cls()));
    id o = at(root, "o");
    EXPECT_EQ(static_cast<NSDictionary*>(o)->count(), 1u);
    EXPECT_EQ(text(at(o, "k")), "last");
}

TEST(JSONReading, OptionsGiveMutableObjectsAndFragments) {
    AutoreleasePool pool;
    id mutableRoot = parse(R"({"a":[{"b":"c"}]})", NSJSONReadingMutableContainers | NSJSONReadingMutableLeaves);
    ASSERT_TRUE(objc_isKindOfClass(mutableRoot, NSMutableDictionary::cls()));
    auto* a = static_cast<NSArray*>(at(mutableRoot, "a"));
    EXPECT_TRUE(objc_isKindOfClass(a, NSMutableArray::cls()));
    EXPECT_TRUE(objc_isKindOfClass(a->at(0), NSMutableDictionary::cls()));
    EXPECT_TRUE(objc_isKindOfClass(at(a->at(0), "b"), NSMutableString::cls()));

    for (const char* fragment : {"\"text\"", "12", "true", "null"}) {
        SCOPED_TRACE(fragment);
        NSError* error = nullptr;
        EXPECT_EQ(parse(fragment, 0, &error), nil);
        EXPECT_NE(error, nullptr);
        EXPECT_NE(parse(fragment, NSJSONReadingAllowFragments), nil);
    }
}

TEST(JSONReading, BadInputGivesNilAndAnError) {
    AutoreleasePool pool;
    std::string deep513 = std::string(513, '[') + std::string(513, ']');
    std::string deep512 = std::string(512, '[') + std::string(512, ']');
    std::string deepObjects;
    for (int i = 0; i < 600; ++i) deepObjects += "{\"k\":";
    deepObjects += "1" + std::string(600, '}');
    for (const std::string& bad : std::vector<std::string>{
             "", " ", "{", "[1,]", "{\"a\":}", "{\"a\" 1}", "[1 2]", "{'a':1}", "[01]", "[1.]", "[.5]", "[+1]",
             "[NaN]", "[Infinity]", "[1e400]", "[-1e99999]", "[tru]", "[\"unterminated]", "[\"tab\there\"]", "[\"\\x\"]", "[\"\\u12\"]",
             "[\"\xff\"]", "[\"\xc3\"]", "[\"\xed\xa0\x80\"]", "[\"\\ud800\"]", "[\"\\udc00x\"]", "[1]]", "[1] [2]",
             "/* c */ []", deep513, deepObjects, std::string("[\"a\0b\"]", 7)}) {
        SCOPED_TRACE(testing::PrintToString(bad.substr(0, 40)));
        NSError* error = nullptr;
        EXPECT_EQ(parse(bad, NSJSONReadingAllowFragments, &error), nil);
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->domain_->str(), "NSCocoaErrorDomain");
        EXPECT_EQ(error->code_, 3840);
    }
    EXPECT_NE(parse(deep512), nil);
    NSError* error = nullptr;
    EXPECT_EQ(objc_msgSend<id(id, NSUInteger, NSError**)>(NSJSONSerialization::cls(),
                                                          "JSONObjectWithData:options:error:"_sel, "[]"_ns, 0, &error),
              nil);
    EXPECT_NE(error, nullptr);
    // No error asked for: still nil, nothing raised.
    EXPECT_EQ(parse("[", 0, nullptr), nil);
}

// Nesting of a document that nlohmann accepts.
size_t depthOf(const nlohmann::json& j) {
    size_t deepest = 0;
    if (j.is_structured())
        for (const auto& e : j) deepest = std::max(deepest, depthOf(e));
    return j.is_structured() ? deepest + 1 : 0;
}

// Random edits of pages like the search service's: the reader never raises,
// answers an object or array exactly when the bytes are valid JSON (judged by
// nlohmann's own checker), and sets an error whenever it answers nil.
TEST(JSONReading, RandomlyMutatedPagesNeverBreakTheReader) {
    const std::vector<std::string> seeds = {
        R"({"responseData":{"results":[{"url":"http://127.0.0.1:1/img/0.jpg","width":"72","height":"68"},)"
        R"({"url":"http://127.0.0.1:1/img/1.jpg","width":"101","height":"109"}]},"responseStatus":200})",
        R"([1,-2.5e3,true,false,null,"\u00e9\n",{"a":[[[]]]},{}])",
        R"({"responseData":null,"x":{"y":{"z":["\ud83c\udfb5",0.0001,1E+2]}}})",
    };
    static const char letters[] = "{}[]\":,\\ 0123456789.eE+-truefalsn\xff\xc3\xa9\0ud8";
    const std::string alphabet(letters, sizeof letters - 1);
    std::mt19937 rng(20261207);
    int valid = 0;
    for (int round = 0; round < 4000; ++round) {
        AutoreleasePool pool;
        std::string doc = seeds[rng() % seeds.size()];
        int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits && !doc.empty(); ++e) {
            size_t at = rng() % doc.size();
            char c = alphabet[rng() % alphabet.size()];
            switch (rng() % 5) {
                case 0: doc[at] = c; break;
                case 1: doc.insert(doc.begin() + static_cast<long>(at), c); break;
                case 2: doc.erase(at, 1 + rng() % 4); break;
                case 3: doc.insert(at, doc.substr(rng() % doc.size(), rng() % 16)); break;
                default: doc.resize(at); break;
            }
        }
        SCOPED_TRACE(testing::PrintToString(doc));
        NSError* error = nullptr;
        id root = nullptr;
        ASSERT_NO_THROW(root = parse(doc, NSJSONReadingAllowFragments, &error));
        bool accepted = nlohmann::json::accept(doc);
        if (accepted && depthOf(nlohmann::json::parse(doc)) <= NSJSONMaximumDepth) {
            EXPECT_NE(root, nil);
            ++valid;
        } else {
            EXPECT_EQ(root, nil);
        }
        if (root == nil) {
            EXPECT_NE(error, nullptr);
        }
    }
    // The run must exercise both sides.
    EXPECT_GT(valid, 100);
    EXPECT_LT(valid, 3900);
}

// --- Random source -----------------------------------------------------------

TEST(RandomSource, ASeedGivesARepeatableSequence) {
    auto draw = [] {
        std::vector<uint32_t> v;
        for (int i = 0; i < 8; ++i) v.push_back(arc4random());
        for (int i = 0; i < 8; ++i) v.push_back(arc4random_uniform(100));
        return v;
    };
    platform::seedRandom(7);
    std::vector<uint32_t> first = draw();
    platform::seedRandom(7);
    EXPECT_EQ(draw(), first);
    platform::seedRandom(8);
    EXPECT_NE(draw(), first);
    for (int i = 0; i < 1000; ++i) EXPECT_LT(arc4random_uniform(25), 25u);
    EXPECT_EQ(arc4random_uniform(0), 0u);
    EXPECT_EQ(arc4random_uniform(1), 0u);
}

}  // namespace
