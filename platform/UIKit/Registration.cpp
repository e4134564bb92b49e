#include "../Registration.h"

#include "ImageViewsAndGestures.h"
#include "Private.h"

namespace platform {
void registerUIKit() {
    uikit::registerViews();
    uikit::registerButtons();
    uikit::registerViewControllers();
    uikit::registerTableViews();
    uikit::registerCollectionViews();
    uikit::registerRowActions();
    uikit::registerColors();
    uikit::registerImages();
    uikit::registerScaledImages();
    uikit::registerScreens();
    // Before the image views: UIView's own drawing methods come first.
    uikit::registerBezierPaths();
    uikit::registerFonts();
    uikit::registerViewDrawing();
    uikit::registerLabels();
    uikit::registerVisualEffects();
    uikit::registerImageViewsAndGestures();
    uikit::registerEditing();
    uikit::registerSettingsWidgets();
    uikit::registerTableViewControllers();
}
}  // namespace platform

namespace platform::uikit {
void registerEditing() {
    registerControls();
    registerTextFields();
    registerPickerViews();
    registerToolbars();
    registerAlerts();
    registerAlertViews();
    registerNibLoading();
    registerSocial();
    registerApplication();
    registerActivities();
    registerPopovers();
    registerImagePickers();
}

void registerSettingsWidgets() {
    registerSwitchesAndSwipes();
    registerImageAnimation();
    registerPatternColors();
}
}  // namespace platform
