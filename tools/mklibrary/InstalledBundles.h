// The two bundles a device with the package installed has: the library's
// resource bundle and the settings plug-in's bundle (with the plug-in).
#pragma once

#include <string>

namespace platform {

// Under the device root:
inline constexpr const char* kInstalledResourceBundle = "Library/Application Support/Cantrel/Cantrel.bundle";
inline constexpr const char* kInstalledPrefsBundle = "Library/PreferenceBundles/Cantrel_Prefs.bundle";

// Copies both bundles from the build into the device root (replacing what
// is there); false with `error` set when a copy fails.
bool installBundles(const std::string& rootHostPath, std::string* error);

}  // namespace platform
