#include "MosaicData.h"

#include <Foundation/Foundation.h>

namespace {

id stringOrNil(id value) { return objc_isKindOfClass(value, NSString::cls()) ? value : nil; }

id getString(MosaicData* self, Strong<NSString> MosaicData::*member) {
    std::lock_guard<std::mutex> g(self->lock);
    return objc_autorelease(objc_retain(objc::as_id((self->*member).get())));
}

void setString(MosaicData* self, Strong<NSString> MosaicData::*member, id value) {
    Strong<NSString> old;
    std::lock_guard<std::mutex> g(self->lock);
    old = std::move(self->*member);
    self->*member = static_cast<NSString*>(value);
}

id imageFilename(MosaicData* self, SEL) { return getString(self, &MosaicData::imageFilename); }
void setImageFilename(MosaicData* self, SEL, id v) { setString(self, &MosaicData::imageFilename, v); }
id title(MosaicData* self, SEL) { return getString(self, &MosaicData::title); }
void setTitle(MosaicData* self, SEL, id v) { setString(self, &MosaicData::title, v); }

id initWithDictionary(MosaicData* self, SEL, id dictionary) {
    self = static_cast<MosaicData*>(objc_msgSendSuper<id()>(self, MosaicData::cls(), "init"_sel));
    if (self == nullptr) return nil;
    auto value = [&](const char* key) {
        return stringOrNil(objc_msgSend<id(id)>(dictionary, "objectForKey:"_sel, NSString::make(key)));
    };
    objc_msgSend<void(id)>(self, "setImageFilename:"_sel, value("imageFilename"));
    objc_msgSend<void(id)>(self, "setTitle:"_sel, value("title"));
    self->firstTimeShown = YES;
    return self;
}

id description(MosaicData* self, SEL) {
    id base = objc_msgSendSuper<id()>(self, MosaicData::cls(), "description"_sel);
    return NSStringWithFormat("%@ %@", base, objc_msgSend<id()>(self, "title"_sel));
}

}  // namespace

void registerMosaicData() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<MosaicData>("MosaicData", NSObject::cls())
            .method<imageFilename>("imageFilename", "@@:")
            .method<setImageFilename>("setImageFilename:", "v@:@")
            .method<title>("title", "@@:")
            .method<setTitle>("setTitle:", "v@:@")
            .property<&MosaicData::firstTimeShown>("firstTimeShown")
            .property<&MosaicData::layoutType>("layoutType")
            .property<&MosaicData::relativeHeight>("relativeHeight")
            .method<initWithDictionary>("initWithDictionary:", "@@:@")
            .method<description>("description", "@@:")
            .OBJC_IVAR(MosaicData, imageFilename)
            .OBJC_IVAR(MosaicData, title)
            .OBJC_IVAR(MosaicData, firstTimeShown)
            .OBJC_IVAR(MosaicData, layoutType)
            .OBJC_IVAR(MosaicData, relativeHeight);
    });
}
