// The device root: every device path resolves under one folder of the host
// machine, and nothing is read or written outside it.
//
//   "/var/mobile/Library/x"  -> ROOT/var/mobile/Library/x
//   "//var/mobile/x"         -> ROOT/var/mobile/x
//   "/User/Library/x"        -> ROOT/var/mobile/Library/x   (/User is /var/mobile)
//   "var/mobile/Media/x"     -> ROOT/var/mobile/Media/x     (relative to the root)
//   "ROOT/var/x"             -> unchanged (already resolved)
// A path whose ".." would climb out of the root resolves to "" (callers treat
// it as a file that cannot be read or written).
#pragma once

#include <string>

namespace platform {

// Sets the root (made absolute and normalised). Until it is set, the root is
// $CANTREL_DEVICE_ROOT, else the working directory at first use.
void setDeviceRoot(const std::string& path);
std::string deviceRoot();

// The host path of a device path, or "" when it would leave the root.
std::string devicePath(const std::string& path);

// Creates the folder (and its parents) of a device path; false on failure.
bool makeDeviceDirectories(const std::string& path);

}  // namespace platform
