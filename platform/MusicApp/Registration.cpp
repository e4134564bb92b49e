#include <MusicApp/MusicApp.h>
#include <platform/Platform.h>

#include "Private.h"

#include <mutex>

namespace platform {

bool musicAppRadioByDefault() {
#if defined(CANTREL_NO_RADIO) && CANTREL_NO_RADIO
    return false;
#else
    return true;
#endif
}

void registerMusicApp(const MusicAppOptions& options) {
    initialize();
    static std::mutex lock;
    static bool core = false;
    static bool radio = false;
    std::lock_guard<std::mutex> guard(lock);
    if (!core) {
        musicapp::registerQueueFeeders();
        musicapp::registerViewControllers();
        musicapp::registerNowPlayingIndicator();
        musicapp::registerNowPlayingArtwork();
        musicapp::registerListScreens();
        core = true;
    }
    if (options.radio && !radio) {
        musicapp::registerRadio();
        radio = true;
    }
}

}  // namespace platform
