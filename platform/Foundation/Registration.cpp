#include "../Registration.h"

#include <Foundation/NSException.h>

namespace platform {
void registerFoundation() { objc::ClassDef<NSException>("NSException", NSObject::cls()); }
}  // namespace platform
