// The plug-in's classes register when the Settings app loads it.
#include "PrefsBundle.h"

__attribute__((constructor)) static void CantrelPrefsLoad() { CantrelPrefs_registerClasses(); }
