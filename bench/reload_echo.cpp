// Injected into the Music host after the library, for settings_bench: on
// each settings-changed notification (heard after the library's own
// observer, which reloads the flags) it posts "cantrel.bench.reloaded.yes" or
// ".no" with the hide_export_button flag the library now holds. Posts
// "cantrel.bench.echo-ready" when loaded.
#include "Cantrel.h"

#include <CoreFoundation/CoreFoundation.h>
#include <platform/RunLoop.h>

#include <cstring>

#include <dlfcn.h>

namespace {

using PreferencesFn = const CantrelPreference* (*)(size_t*);

void report(CFNotificationCenterRef center) {
    auto fn = reinterpret_cast<PreferencesFn>(dlsym(RTLD_DEFAULT, "Cantrel_preferences"));
    bool hidden = false;
    size_t count = 0;
    const CantrelPreference* table = fn ? fn(&count) : nullptr;
    for (size_t i = 0; i < count; ++i)
        if (std::strcmp(table[i].key, "hide_export_button") == 0) hidden = table[i].flag->load();
    CFNotificationCenterPostNotification(center, hidden ? CFSTR("cantrel.bench.reloaded.yes") : CFSTR("cantrel.bench.reloaded.no"),
                                         nullptr, nullptr, true);
}

// Reports once every observer of this delivery has run (the library's
// reload among them, whichever registered first).
void onChange(CFNotificationCenterRef center, void*, CFStringRef, const void*, CFDictionaryRef) {
    platform::RunLoop::main().post([center] { report(center); });
}

int observer;  // its own observer: the library observes the same name as nullptr

__attribute__((constructor)) void load() {
    CFNotificationCenterRef centre = CFNotificationCenterGetDarwinNotifyCenter();
    CFNotificationCenterAddObserver(centre, &observer, onChange, CFSTR("com.brevank.Cantrel.settingschanged"), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterPostNotification(centre, CFSTR("cantrel.bench.echo-ready"), nullptr, nullptr, true);
}

}  // namespace
