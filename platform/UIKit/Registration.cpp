#include "../Registration.h"

#include "Private.h"

namespace platform {
void registerUIKit() {
    uikit::registerViews();
    uikit::registerViewControllers();
    uikit::registerTableViews();
}
}  // namespace platform
