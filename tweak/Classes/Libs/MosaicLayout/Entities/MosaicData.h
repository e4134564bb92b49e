// MosaicData: one picture of the mosaic grid.
//
//   imageFilename / setImageFilename:   id() / void(id)   NSString: the picture's web
//                                       address; only http:// and https:// ones load
//   title / setTitle:                   id() / void(id)   NSString, the caption
//   firstTimeShown / setFirstTimeShown: BOOL() / void(BOOL)   YES until a cell first
//                                       shows a picture for it (its fade-in runs then)
//   layoutType / setLayoutType:         int() / void(int)   MosaicLayoutType
//   relativeHeight / setRelativeHeight: float() / void(float)   height / width of its
//                                       tile, 0 until decided
//   initWithDictionary:                 id(id)   "imageFilename" and "title" taken when
//                                       they are strings; firstTimeShown YES
//   description                         id()     the object's description and the title
#pragma once

#include <objc/NSObject.h>

#include <mutex>

struct NSString;

using MosaicLayoutType = int;
inline constexpr MosaicLayoutType MosaicLayoutTypeUndefined = 0;
inline constexpr MosaicLayoutType MosaicLayoutTypeSingle = 1;
inline constexpr MosaicLayoutType MosaicLayoutTypeDouble = 2;

struct MosaicData : NSObject {
    OBJC_CLASS(MosaicData)

    std::mutex lock;  // the two strings are atomic properties
    Strong<NSString> imageFilename;
    Strong<NSString> title;
    BOOL firstTimeShown = NO;
    MosaicLayoutType layoutType = MosaicLayoutTypeUndefined;
    float relativeHeight = 0;
};

void registerMosaicData();
