// LoadPrefs on a twelve-key binary preference file.
#include <benchmark/benchmark.h>

#include "Cantrel.h"

#include <Foundation/Foundation.h>
#include <platform/DeviceRoot.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

void BM_LoadPrefs(benchmark::State& state) {
    std::string root = (std::filesystem::temp_directory_path() / "cantrel-bench-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    platform::setDeviceRoot(root);
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
    for (auto _ : state) {
        AutoreleasePool pool;
        LoadPrefs();
    }
    benchmark::DoNotOptimize(hide_edit_button.load());
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_LoadPrefs)->Unit(benchmark::kMicrosecond);

}  // namespace
