#include "ImageSearchQuery.h"

#include "Cantrel.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>

#include <mutex>

namespace {

void findImages(ImageSearchQuery* self, SEL, id query, id presenter) {
    id spaced = objc_msgSend<id(id, id)>(query, "stringByReplacingOccurrencesOfString:withString:"_sel, " "_ns, "%20"_ns);
    Class cls = objc_getClass("SearchQueryViewController");
    id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
    if (cls == nil || bundle == nil) return;
    id controller = objc_msgSend<id(id, id)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithNibName:bundle:"_sel,
                                             "SearchQueryViewController"_ns, bundle);
    self->searchViewController = Strong<NSObject>::adopt(static_cast<NSObject*>(controller));
    objc_msgSend<void(id)>(controller, "setSearchString:"_sel, spaced);
    objc_msgSend<void(id, BOOL, id)>(presenter, "presentViewController:animated:completion:"_sel, controller, YES, nil);
}

}  // namespace

void registerImageSearchQuery() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<ImageSearchQuery>("ImageSearchQuery", NSObject::cls())
            .property<&ImageSearchQuery::searchViewController>("searchViewController")
            .method<findImages>("findImages:andViewController:", "v@:@@")
            .OBJC_IVAR(ImageSearchQuery, searchViewController);
    });
}
