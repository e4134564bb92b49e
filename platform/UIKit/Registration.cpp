#include "../Registration.h"

#include "ImageViewsAndGestures.h"
#include "Private.h"

namespace platform {
void registerUIKit() {
    uikit::registerViews();
    uikit::registerViewControllers();
    uikit::registerTableViews();
    uikit::registerColors();
    uikit::registerImages();
    uikit::registerScreens();
    uikit::registerImageViewsAndGestures();
}
}  // namespace platform
