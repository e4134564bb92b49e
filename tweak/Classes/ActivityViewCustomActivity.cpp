#include "ActivityViewCustomActivity.h"

#include "Cantrel.h"
#include "IconView.h"
#include "MessageView.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>


namespace {

NSInteger actionCategory(id, SEL) { return 0; }
NSInteger shareCategory(id, SEL) { return 1; }
id exportType(id, SEL) { return NSStringWithFormat("%@.export", "Cantrel"_ns); }
id shareType(id, SEL) { return "whatsapp"_ns; }
id exportTitle(id, SEL) { return "Export to Folder"_ns; }
id shareTitle(id, SEL) { return "WhatsApp"_ns; }
id image(id, SEL) {
    id path = objc_msgSend<id(id)>(CantrelBundlePath(), "stringByAppendingPathComponent:"_sel, "10@2x.png"_ns);
    return objc_msgSend<id(id)>(objc_getClass("UIImage"), "imageWithContentsOfFile:"_sel, path);
}
BOOL canPerform(id, SEL, id) { return YES; }
BOOL shareCanPerform(id, SEL, id items) {
    CLog("canPerformWithActivityItems - activityItems: %@", items);
    return YES;
}
void prepare(id, SEL, id) {}
void sharePrepare(id, SEL, id items) { CLog("prepareWithActivityItems - activityItems: %@", items); }
id noController(id, SEL) { return nil; }

void perform(id self, const char* text) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id badge = objc_msgSend<id(id, double, NSInteger, CGRect, int)>(
        objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
        "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, NSString::make(text), 1.3,
        static_cast<NSInteger>(IconViewTagDiscSquare), screen, 0);
    id app = objc_msgSend<id()>(objc_getClass("UIApplication"), "sharedApplication"_sel);
    id root = objc_msgSend<id()>(objc_msgSend<id()>(app, "keyWindow"_sel), "rootViewController"_sel);
    objc_msgSend<void(id)>(objc_msgSend<id()>(root, "view"_sel), "addSubview:"_sel, badge);
    objc_release(badge);
    objc_msgSend<void(BOOL)>(self, "activityDidFinish:"_sel, YES);
}
void exportPerform(id self, SEL) { perform(self, "Done!"); }
void sharePerform(id self, SEL) {
    CLog("performActivity ");
    perform(self, "WDone!");
}

}  // namespace

void registerActivityViewCustomActivity() {
    objc::ClassDef<ActivityViewCustomActivity>("ActivityViewCustomActivity", UIActivity::cls())
        .classMethod<actionCategory>("activityCategory")
        .method<exportType>("activityType")
        .method<exportTitle>("activityTitle")
        .method<image>("activityImage")
        .method<canPerform>("canPerformWithActivityItems:")
        .method<prepare>("prepareWithActivityItems:")
        .method<noController>("activityViewController")
        .method<exportPerform>("performActivity");
    objc::ClassDef<ActivityViewCustomActivity_Share>("ActivityViewCustomActivity_Share", UIActivity::cls())
        .classMethod<shareCategory>("activityCategory")
        .method<shareType>("activityType")
        .method<shareTitle>("activityTitle")
        .method<image>("activityImage")
        .method<shareCanPerform>("canPerformWithActivityItems:")
        .method<sharePrepare>("prepareWithActivityItems:")
        .method<noController>("activityViewController")
        .method<sharePerform>("performActivity");
}
