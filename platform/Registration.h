// Registration of the platform's core classes, called in this order by
// platform::initialize(). Each framework keeps its own list.
#pragma once

namespace platform {
void registerFoundation();      // platform/Foundation
void registerCoreFoundation();  // platform/CoreFoundation, dispatch, run loop
void registerUIKit();           // platform/UIKit
void registerMediaPlayer();     // platform/MediaPlayer
void registerImageIO();         // platform/ImageIO
void registerPreferences();     // platform/Preferences (PSViewController)
void registerNetwork();         // platform/Network (AFImageRequestOperation)
}  // namespace platform
