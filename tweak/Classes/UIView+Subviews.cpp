#include "UIView+Subviews.h"

#include <Foundation/NSArray.h>
#include <UIKit/UIView.h>

#include <mutex>

namespace {

id subViewWithTag(UIView* self, SEL, NSInteger tag) {
    id subviews = objc_msgSend<id()>(self, "subviews"_sel);
    NSUInteger count = objc_msgSend<NSUInteger()>(subviews, "count"_sel);
    for (NSUInteger i = 0; i < count; ++i) {
        id view = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, i);
        if (objc_msgSend<NSInteger()>(view, "tag"_sel) == tag) return view;
    }
    return nil;
}

}  // namespace

void registerUIViewSubviews() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::define_method(UIView::cls(), "subViewWithTag:"_sel, imp_implementationWithFunction(subViewWithTag),
                            "@@:q");
    });
}
