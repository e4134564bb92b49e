#include "Cantrel_MainViewController.h"
#include "Cantrel_ManualViewController.h"
#include "Cantrel_PreferencesController.h"
#include "PrefsBundle.h"
#include "TypedValueTools.h"
#include "UIImage+animatedGIF.h"

extern "C" void CantrelPrefs_registerClasses() {
    registerTypedValueTools();
    registerCustomDrawView();
    registerAnimatedGIF();
    registerPages();
    registerManualPage();
    registerPreferencesController();
}
