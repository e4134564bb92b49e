#include "../Registration.h"

namespace platform {
void registerUIKit() {}
}  // namespace platform
