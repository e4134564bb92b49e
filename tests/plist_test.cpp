#include "foundation_support.h"

#include <climits>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

using namespace foundation_test;

namespace {

constexpr const char* kPrefs = "/var/mobile/Library/Preferences";

std::string prefsFile(const char* name) { return std::string(kPrefs) + "/" + name; }

std::string readHost(const std::string& hostFile) {
    std::ifstream in(hostFile, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeHost(const std::string& hostFile, const std::string& contents) {
    std::ofstream(hostFile, std::ios::binary) << contents;
}

id num(long long v) { return NSNumber::withLongLong(v); }

// 2020-05-17 12:34:56 UTC; XML keeps whole seconds only.
constexpr double kWhen = 1589718896.0;

NSDictionary* everyKind() {
    const char bytes[] = {'\x00', '\x01', '\xFF', 'z'};
    return NSDictionary::make({
        {S("title"), S("Now Playing \xE2\x9C\x95 \xE2\x80\xA6")},
        {S("emoji"), S("\xF0\x9F\x8E\xB5\xF0\x9F\x8E\xB6")},
        {S("empty"), S("")},
        {S("on"), NSNumber::withBool(true)},
        {S("off"), NSNumber::withBool(false)},
        {S("zero"), num(0)},
        {S("negative"), num(-42)},
        {S("minusOne"), num(-1)},
        {S("min"), num(LLONG_MIN)},
        {S("max"), num(LLONG_MAX)},
        {S("topBit"), NSNumber::withUnsignedLongLong(ULLONG_MAX)},
        {S("twoTo63"), NSNumber::withUnsignedLongLong(1ull << 63)},
        {S("real"), NSNumber::withDouble(0.1)},
        {S("tiny"), NSNumber::withDouble(-1e-300)},
        {S("data"), NSData::make(bytes, sizeof bytes)},
        {S("date"), NSDate::withTimeIntervalSince1970(kWhen)},
        {S("list"), NSArray::make({S("a"), num(1), NSArray::make({}), NSDictionary::make({{S("inner"), NSNumber::withBool(true)}})})},
        {S("nested"), NSDictionary::make({{S("deeper"), NSDictionary::make({{S("k"), S("v")}})}})},
        {S("emptyDict"), NSDictionary::make({})},
        {S("\xE2\x9C\x95 key"), S("unicode key")},
    });
}

NSNumber* numberAt(NSDictionary* d, const char* key) {
    id v = d->objectForKey(S(key));
    EXPECT_TRUE(objc_isKindOfClass(v, NSNumber::cls())) << key;
    return static_cast<NSNumber*>(v);
}

}  // namespace

class PlistTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(platform::makeDeviceDirectories(kPrefs));
    }
    static id readDictionary(const std::string& path) {
        return objc_msgSend<id(NSString*)>(NSDictionary::cls(), "dictionaryWithContentsOfFile:"_sel, S(path.c_str()));
    }
    static BOOL writeDictionary(id dict, const std::string& path) {
        return objc_msgSend<BOOL(NSString*, BOOL)>(dict, "writeToFile:atomically:"_sel, S(path.c_str()), YES);
    }
};

class PlistRoundTrip : public PlistTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PlistRoundTrip, EveryValueKindSurvives) {
    bool binary = GetParam();
    NSDictionary* original = everyKind();
    ASSERT_TRUE(platform::writePropertyList(original, prefsFile("all.plist"), binary));
    EXPECT_EQ(readHost(host(prefsFile("all.plist"))).rfind(binary ? "bplist00" : "<?xml", 0), 0u);

    id back = readDictionary(prefsFile("all.plist"));
    ASSERT_TRUE(objc_isKindOfClass(back, NSDictionary::cls()));
    auto* d = static_cast<NSDictionary*>(back);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(d, "isEqual:"_sel, original)) << text(objc_msgSend<id()>(d, "description"_sel));

    // Same keys, in the file's order.
    std::vector<std::string> keysBefore, keysAfter;
    for (const auto& e : original->entries()) keysBefore.push_back(text(e.key.get()));
    for (const auto& e : d->entries()) keysAfter.push_back(text(e.key.get()));
    EXPECT_EQ(keysAfter, keysBefore);

    // Kinds, not just values.
    EXPECT_TRUE(numberAt(d, "on")->isBool());
    EXPECT_TRUE(numberAt(d, "off")->isBool());
    EXPECT_FALSE(numberAt(d, "zero")->isBool());
    EXPECT_EQ(numberAt(d, "topBit")->kind(), NSNumber::Kind::Unsigned);
    EXPECT_EQ(numberAt(d, "topBit")->unsignedLongLongValue(), ULLONG_MAX);
    EXPECT_EQ(numberAt(d, "twoTo63")->unsignedLongLongValue(), 1ull << 63);
    EXPECT_EQ(numberAt(d, "minusOne")->kind(), NSNumber::Kind::Signed);
    EXPECT_EQ(numberAt(d, "minusOne")->longLongValue(), -1);
    EXPECT_EQ(numberAt(d, "min")->longLongValue(), LLONG_MIN);
    EXPECT_EQ(numberAt(d, "real")->doubleValue(), 0.1);
    EXPECT_EQ(numberAt(d, "tiny")->doubleValue(), -1e-300);
    EXPECT_EQ(text(d->objectForKey(S("title"))), "Now Playing \xE2\x9C\x95 \xE2\x80\xA6");
    EXPECT_EQ(text(d->objectForKey(S("\xE2\x9C\x95 key"))), "unicode key");
    id date = d->objectForKey(S("date"));
    ASSERT_TRUE(objc_isKindOfClass(date, NSDate::cls()));
    EXPECT_EQ(static_cast<NSDate*>(date)->timeIntervalSince1970(), kWhen);
    id data = d->objectForKey(S("data"));
    ASSERT_TRUE(objc_isKindOfClass(data, NSData::cls()));
    EXPECT_EQ(static_cast<NSData*>(data)->length(), 4u);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlistRoundTrip, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Binary" : "Xml"; });

TEST_F(PlistTest, XmlIsTheDefaultAndReadable) {
    ASSERT_TRUE(writeDictionary(everyKind(), prefsFile("com.x.plist")));
    std::string xml = readHost(root_ + "/var/mobile/Library/Preferences/com.x.plist");
    EXPECT_EQ(xml.rfind("<?xml", 0), 0u);
    for (const char* fragment : {"<key>on</key>\n\t<true/>", "<key>off</key>\n\t<false/>",
                              "<integer>18446744073709551615</integer>", "<integer>9223372036854775808</integer>",
                              "<integer>-1</integer>", "<integer>-9223372036854775808</integer>",
                              "Now Playing \xE2\x9C\x95 \xE2\x80\xA6", "<key>\xE2\x9C\x95 key</key>",
                              "<date>2020-05-17T12:34:56Z</date>"}) {
        EXPECT_NE(xml.find(fragment), std::string::npos) << fragment;
    }
    // The /User alias names the same file.
    id back = readDictionary("/User/Library/Preferences/com.x.plist");
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(back, "isEqual:"_sel, everyKind()));
}

TEST_F(PlistTest, AnythingButADictionaryFileReadsAsNil) {
    long dicts = class_getLiveInstanceCount(NSDictionary::cls());
    long mutableDicts = class_getLiveInstanceCount(NSMutableDictionary::cls());
    {
        AutoreleasePool pool;
        std::string good;
        ASSERT_TRUE(platform::encodePropertyList(everyKind(), true, good));
        writeHost(host(prefsFile("empty.plist")), "");
        writeHost(host(prefsFile("garbage.plist")), "this is not a property list\n");
        writeHost(host(prefsFile("truncated.plist")), good.substr(0, good.size() / 2));
        writeHost(host(prefsFile("half.xml")), "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>");
        ASSERT_TRUE(platform::writePropertyList(NSArray::make({S("a"), num(2)}), prefsFile("array.plist"), false));
        ASSERT_TRUE(platform::makeDeviceDirectories(prefsFile("folder.plist")));

        for (const char* name : {"missing.plist", "empty.plist", "garbage.plist", "truncated.plist", "half.xml",
                                 "array.plist", "folder.plist"}) {
            EXPECT_EQ(readDictionary(prefsFile(name)), nil) << name;
            id fresh = objc_msgSend<id()>(NSMutableDictionary::cls(), "alloc"_sel);
            EXPECT_EQ(objc_msgSend<id(NSString*)>(fresh, "initWithContentsOfFile:"_sel, S(prefsFile(name).c_str())), nil) << name;
        }
        EXPECT_EQ(readDictionary("/../../etc/passwd"), nil);
        EXPECT_EQ(platform::readPropertyList(prefsFile("garbage.plist")), nil);
        // The same array file is fine for the generic reader.
        id array = platform::readPropertyList(prefsFile("array.plist"));
        ASSERT_TRUE(objc_isKindOfClass(array, NSArray::cls()));
        EXPECT_EQ(static_cast<NSArray*>(array)->count(), 2u);
    }
    // Every refused receiver was freed.
    EXPECT_EQ(class_getLiveInstanceCount(NSDictionary::cls()), dicts);
    EXPECT_EQ(class_getLiveInstanceCount(NSMutableDictionary::cls()), mutableDicts);
}

TEST_F(PlistTest, MutableReadersGiveMutableDictionaries) {
    ASSERT_TRUE(writeDictionary(NSDictionary::make({{S("volume"), num(3)}}), prefsFile("m.plist")));
    id loaded = objc_msgSend<id(NSString*)>(objc_msgSend<id()>(NSMutableDictionary::cls(), "alloc"_sel),
                                            "initWithContentsOfFile:"_sel, S(prefsFile("m.plist").c_str()));
    ASSERT_NE(loaded, nil);
    EXPECT_TRUE(objc_isKindOfClass(loaded, NSMutableDictionary::cls()));
    objc_msgSend<void(id, id)>(loaded, "setObject:forKey:"_sel, num(4), S("volume"));
    EXPECT_TRUE(writeDictionary(loaded, prefsFile("m.plist")));
    release(loaded);
    id again = objc_msgSend<id(NSString*)>(NSMutableDictionary::cls(), "dictionaryWithContentsOfFile:"_sel,
                                           S(prefsFile("m.plist").c_str()));
    EXPECT_TRUE(objc_isKindOfClass(again, NSMutableDictionary::cls()));
    EXPECT_EQ(numberAt(static_cast<NSDictionary*>(again), "volume")->longLongValue(), 4);
}

TEST_F(PlistTest, FailedWritesLeaveTheOldFileAndNoTemporary) {
    const std::string target = prefsFile("keep.plist");
    ASSERT_TRUE(writeDictionary(NSDictionary::make({{S("a"), num(1)}}), target));
    const std::string before = readHost(host(target));
    const std::string folder = host(kPrefs);

    Strong<Tracked> notPlist = newTracked();
    NSMutableArray* cycle = NSMutableArray::make();
    cycle->addObject(cycle);
    const std::vector<std::pair<const char*, id>> bad = {
        {"object of another class", NSDictionary::make({{S("a"), notPlist.get()}})},
        {"non-string key", NSDictionary::make({{num(1), S("x")}})},
        {"date past the format's range", NSDictionary::make({{S("d"), NSDate::withTimeIntervalSince1970(4.2e9)}})},
        {"array holding itself", NSDictionary::make({{S("c"), cycle}})},
    };
    for (const auto& [why, dict] : bad) {
        EXPECT_FALSE(writeDictionary(dict, target)) << why;
        EXPECT_EQ(readHost(host(target)), before) << why;
        EXPECT_EQ(listing(folder), std::vector<std::string>{"keep.plist"}) << why;
    }
    cycle->removeAllObjects();

    // A write that fails after the temporary file exists: the target is a folder.
    ASSERT_TRUE(platform::makeDeviceDirectories(prefsFile("taken.plist")));
    EXPECT_FALSE(writeDictionary(NSDictionary::make({{S("a"), num(2)}}), prefsFile("taken.plist")));
    EXPECT_EQ(listing(folder), (std::vector<std::string>{"keep.plist", "taken.plist"}));
    EXPECT_TRUE(std::filesystem::is_empty(host(prefsFile("taken.plist"))));

    // A missing folder is not created.
    EXPECT_FALSE(writeDictionary(NSDictionary::make({{S("a"), num(2)}}), "/var/mobile/Library/Nope/x.plist"));
    EXPECT_FALSE(std::filesystem::exists(root_ + "/var/mobile/Library/Nope"));
    EXPECT_FALSE(writeDictionary(NSDictionary::make({{S("a"), num(2)}}), "/../../outside.plist"));
}

TEST_F(PlistTest, SuccessfulWriteReplacesTheFileWhole) {
    const std::string target = prefsFile("swap.plist");
    ASSERT_TRUE(writeDictionary(NSDictionary::make({{S("long"), S(std::string(5000, 'x').c_str())}}), target));
    ASSERT_TRUE(writeDictionary(NSDictionary::make({{S("v"), num(2)}}), target));
    EXPECT_EQ(listing(host(kPrefs)), std::vector<std::string>{"swap.plist"});
    auto* d = static_cast<NSDictionary*>(readDictionary(target));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->count(), 1u);
    EXPECT_EQ(numberAt(d, "v")->longLongValue(), 2);
    struct stat st;
    ASSERT_EQ(::stat(host(target).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}
