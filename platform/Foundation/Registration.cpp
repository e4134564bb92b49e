#include "../Registration.h"

#include "Internal.h"

namespace platform {

// Superclasses before subclasses; NSException first, so that any failure of
// the rest can raise.
void registerFoundation() {
    using namespace foundation;
    registerExceptions();
    registerObjectAdditions();
    registerStrings();
    registerNumbers();
    registerArrays();
    registerSets();
    registerDictionaries();
    registerData();
    registerDates();
    registerIndexPaths();
    registerNotifications();
    registerErrors();
    registerFileManager();
    registerAutoreleasePools();
    registerBundles();
    registerURLs();
    registerJSON();
    registerUUIDs();
    registerCharacterSets();
}

}  // namespace platform
