// MPAudioDeviceController: the audio routes (speaker, headphones, remote
// devices) the user can pick.
//
//   init              id()
//   _pickableRoutes   id()   NSArray of routes
#pragma once

#include <objc/NSObject.h>

struct MPAudioDeviceController : NSObject {
    OBJC_CLASS(MPAudioDeviceController)

    id _routes = nil;  // owned NSMutableArray

    ~MPAudioDeviceController() override;
};
