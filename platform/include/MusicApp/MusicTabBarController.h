// MusicTabBarController: the Music app's tabs. It rebuilds its tabs when the
// radio is switched on or off and when the media libraries change.
//
//   _isRadioEnabledDidChangeNotification:          void(id)
//   _availableMediaLibrariesDidChangeNotification:  void(id)
//   _mediaLibraryDidChangeNotification:             void(id)
//
// Each handler counts its notifications.
#pragma once

#include <UIKit/UITabBarController.h>

struct MusicTabBarController : UITabBarController {
    OBJC_CLASS(MusicTabBarController)

    NSInteger _radioEnabledChanges = 0;
    NSInteger _availableLibrariesChanges = 0;
    NSInteger _mediaLibraryChanges = 0;
};
