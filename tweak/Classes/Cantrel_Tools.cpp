#include "Cantrel_Tools.h"

#include <Foundation/NSString.h>
#include <UIKit/UIScreen.h>

#include <mutex>

namespace {

// The titles: the iPad's are wider, since its buttons are.
NSString* byIdiom(NSString* pad, NSString* other) { return Cantrel_isPad() ? pad : other; }

id getDeleteButtonText(objc_class*, SEL) { return byIdiom("\u2715        "_ns, "\u2715  "_ns); }
id getEditButtonText(objc_class*, SEL) { return byIdiom("\u2026        "_ns, "\u2026"_ns); }
id getPictureButtonText(objc_class*, SEL) { return byIdiom("           "_ns, "   "_ns); }

}  // namespace

bool Cantrel_isPad() { return UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad; }

void registerCantrelTools() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Cantrel_Tools>("Cantrel_Tools", NSObject::cls())
            .classMethod<getDeleteButtonText>("getDeleteButtonText", "@@:")
            .classMethod<getEditButtonText>("getEditButtonText", "@@:")
            .classMethod<getPictureButtonText>("getPlayNowButtonText", "@@:")
            .classMethod<getPictureButtonText>("getPlayNextButtonText", "@@:")
            .classMethod<getPictureButtonText>("getPlayLastButtonText", "@@:")
            .classMethod<getPictureButtonText>("getExportButtonText", "@@:");
    });
}
