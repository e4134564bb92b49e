#include "../Registration.h"

namespace platform {
void registerMediaPlayer() {}
}  // namespace platform
