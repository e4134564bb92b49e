// Start-up of the platform layer. The core classes (runtime, Foundation,
// CoreFoundation, UIKit, MediaPlayer) register when libplatform is loaded;
// the Music app's own classes register when the app asks (PlatformOptions).
#pragma once

namespace platform {

// Registers every core class; idempotent. Runs from libplatform's loader
// initialiser, so nothing needs to call it, but calling it again is harmless.
void initialize();

}  // namespace platform
