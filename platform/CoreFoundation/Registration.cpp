#include "../Registration.h"

namespace platform {
void registerCoreFoundation() {}
}  // namespace platform
