// The reload of a twelve-key binary preference file on the settings' change
// notification (the post, its delivery on the main loop and the library's
// reading of the file; LoadPrefs is private to the library's hook file), and
// decoding an XML property list of many keys (which must grow linearly with
// the keys).
#include <benchmark/benchmark.h>

#include "Cantrel.h"
#include "TemporaryFolder.h"

#include <CoreFoundation/CFNotificationCenter.h>
#include <Foundation/Foundation.h>
#include <Foundation/NSPropertyList.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

bool delivered = false;
void noteDelivery(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) { delivered = true; }

void BM_ReloadOnChangeNotification(benchmark::State& state) {
    bench::TemporaryFolder root;
    if (root.path().empty()) {
        state.SkipWithError(root.error().c_str());
        return;
    }
    platform::setDeviceRoot(root.path());
    platform::makeDeviceDirectories("/var/mobile/Library/Preferences");
    {
        AutoreleasePool pool;
        id dict = objc_msgSend<id()>(NSMutableDictionary::cls(), "dictionary"_sel);
        size_t count = 0;
        const CantrelPreference* table = Cantrel_preferences(&count);
        for (size_t i = 0; i < count; ++i) {
            id key = objc_msgSend<id(const char*)>(NSString::cls(), "stringWithUTF8String:"_sel, table[i].key);
            id value = objc_msgSend<id(BOOL)>(NSNumber::cls(), "numberWithBool:"_sel, i % 2 == 0);
            objc_msgSend<void(id, id)>(dict, "setObject:forKey:"_sel, value, key);
        }
        platform::writePropertyList(dict, "/var/mobile/Library/Preferences/com.brevank.Cantrel.plist", true);
    }
    // Start-up registers the library's observer; this one is called after it.
    CantrelInitialize();
    CFNotificationCenterRef center = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(center, &delivered, noteDelivery, CFSTR("com.brevank.Cantrel.settingschanged"),
                                    nullptr, CFNotificationSuspensionBehaviorHold);
    for (auto _ : state) {
        AutoreleasePool pool;
        delivered = false;
        CFNotificationCenterPostNotification(center, CFSTR("com.brevank.Cantrel.settingschanged"), nullptr, nullptr,
                                             true);
        if (!platform::RunLoop::main().runUntil([] { return delivered; }, 10)) {
            state.SkipWithError("the change notification did not arrive");
            break;
        }
    }
    CFNotificationCenterRemoveEveryObserver(center, &delivered);
    benchmark::DoNotOptimize(hide_edit_button.load());
}
BENCHMARK(BM_ReloadOnChangeNotification)->Unit(benchmark::kMicrosecond);

void BM_DecodeXmlDictionary(benchmark::State& state) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (int64_t i = 0; i < state.range(0); ++i) xml += "\t<key>key" + std::to_string(i) + "</key>\n\t<true/>\n";
    xml += "</dict>\n</plist>\n";
    for (auto _ : state) {
        AutoreleasePool pool;
        id dict = platform::decodePropertyList(xml);
        if (dict == nullptr) state.SkipWithError("not decoded");
        benchmark::DoNotOptimize(dict);
    }
    state.SetComplexityN(state.range(0));
}
// Refusing an XML list nested 200,000 deep: one pass over the text.
void BM_RefuseDeepXml(benchmark::State& state) {
    std::string xml = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\">\n";
    for (int i = 0; i < 200000; ++i) xml += "<array>";
    for (int i = 0; i < 200000; ++i) xml += "</array>";
    xml += "</plist>\n";
    for (auto _ : state) {
        AutoreleasePool pool;
        if (platform::decodePropertyList(xml) != nullptr) state.SkipWithError("not refused");
    }
}
BENCHMARK(BM_RefuseDeepXml)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DecodeXmlDictionary)
    ->RangeMultiplier(4)
    ->Range(1 << 12, 1 << 19)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
