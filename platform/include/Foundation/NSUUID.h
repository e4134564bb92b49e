// NSUUID: a universally unique identifier, random (version 4) from libuuid.
//
//   +UUID          id()   a new identifier (autoreleased)
//   init           id()   a new identifier
//   UUIDString     id()   "E621E1F8-C36C-495A-93FC-0C247A3E6E5F": upper-case
//                         hexadecimal in five groups
//   isEqual:       BOOL(id)   the same 16 bytes
#pragma once

#include <Foundation/NSObjCRuntime.h>

struct NSUUID : NSObject {
    OBJC_CLASS(NSUUID)

    unsigned char _bytes[16] = {};
};
