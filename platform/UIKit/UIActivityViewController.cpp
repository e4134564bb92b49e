#include <UIKit/UIActivityViewController.h>

#include "Private.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIPopoverController.h>

namespace {

id get(id obj, SEL sel) { return objc_msgSend<id()>(obj, sel); }
std::string str(id s) { return to_string(static_cast<NSString*>(s)); }

NSInteger activityCategory(id, SEL) { return 0; }
id nothing(id, SEL) { return nil; }
BOOL cannotPerform(id, SEL, id) { return NO; }
void prepare(id, SEL, id) {}

// Ends the sheet once: it is dismissed, then its handler runs.
void endSheet(UIActivityViewController* sheet, id type, BOOL completed) {
    if (sheet == nullptr || sheet->_ended) return;
    sheet->_ended = true;
    Strong<UIActivityViewController> kept(sheet);
    Strong<NSObject> keptType(static_cast<NSObject*>(type));
    id completion = objc_block<void()>([kept, keptType, completed] {
        objc_callBlock<void(id, BOOL, id, id)>(kept->_completionWithItemsHandler.get(), keptType.get(), completed,
                                               nil, nil);
    });
    objc_msgSend<void(BOOL, id)>(sheet, "dismissViewControllerAnimated:completion:"_sel, YES, completion);
}

void activityDidFinish(UIActivity* self, SEL, BOOL completed) {
    auto* sheet = static_cast<UIActivityViewController*>(self->_sheet);
    self->_sheet = nullptr;
    endSheet(sheet, get(self, "activityType"_sel), completed);
}

void performActivity(id self, SEL) { objc_msgSend<void(BOOL)>(self, "activityDidFinish:"_sel, YES); }

id initSheet(UIActivityViewController* self, SEL, id items, id activities) {
    self = static_cast<UIActivityViewController*>(objc_msgSendSuper<id()>(self, UIViewController::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->_activityItems = Strong<NSArray>(static_cast<NSArray*>(items));
    self->_applicationActivities = Strong<NSArray>(static_cast<NSArray*>(activities));
    return self;
}
id activityItems(UIActivityViewController* self, SEL) { return self->_activityItems.get(); }
id applicationActivities(UIActivityViewController* self, SEL) { return self->_applicationActivities.get(); }
id completionHandler(UIActivityViewController* self, SEL) { return self->_completionWithItemsHandler.get(); }
void setCompletionHandler(UIActivityViewController* self, SEL, id block) {
    id copy = objc_msgSend<id()>(block, "copy"_sel);
    self->_completionWithItemsHandler = Strong<NSObject>::adopt(static_cast<NSObject*>(copy));
}

}  // namespace

namespace platform {

const std::vector<std::string>& systemActivityTypes() {
    static const std::vector<std::string> types = {"UIActivityTypeMail", "UIActivityTypeMessage",
                                                   "UIActivityTypeCopyToPasteboard"};
    return types;
}

UIActivityViewController* presentedActivitySheet() {
    UIActivityViewController* found = nullptr;
    std::vector<UIViewController*> shown = presentedViewControllers();
    for (UIPopoverController* p : shownPopovers()) shown.push_back(p->_contentViewController.get());
    for (UIViewController* c : shown)
        if (objc_isKindOfClass(c, UIActivityViewController::cls())) found = static_cast<UIActivityViewController*>(c);
    return found;
}

bool chooseActivity(UIActivityViewController* sheet, const std::string& choice) {
    if (sheet == nullptr || sheet->_ended || presentedActivitySheet() != sheet) return false;
    if (choice == "cancel") {
        endSheet(sheet, nil, NO);
        return true;
    }
    for (const std::string& type : systemActivityTypes())
        if (type == choice) {
            endSheet(sheet, NSString::make(type), YES);
            return true;
        }
    id activities = sheet->_applicationActivities.get();
    NSUInteger n = activities ? objc_msgSend<NSUInteger()>(activities, "count"_sel) : 0;
    for (NSUInteger i = 0; i < n; ++i) {
        auto* activity = static_cast<UIActivity*>(objc_msgSend<id(NSUInteger)>(activities, "objectAtIndex:"_sel, i));
        if (str(get(activity, "activityType"_sel)) != choice && str(get(activity, "activityTitle"_sel)) != choice)
            continue;
        id items = sheet->_activityItems.get();
        if (!objc_msgSend<BOOL(id)>(activity, "canPerformWithActivityItems:"_sel, items)) return false;
        activity->_sheet = sheet;
        objc_msgSend<void(id)>(activity, "prepareWithActivityItems:"_sel, items);
        objc_msgSend<void()>(activity, "performActivity"_sel);
        return true;
    }
    return false;
}

}  // namespace platform

void platform::uikit::registerActivities() {
    objc::ClassDef<UIActivity>("UIActivity", NSObject::cls())
        .classMethod<activityCategory>("activityCategory", "q@:")
        .method<nothing>("activityType", "@@:")
        .method<nothing>("activityTitle", "@@:")
        .method<nothing>("activityImage", "@@:")
        .method<cannotPerform>("canPerformWithActivityItems:", "c@:@")
        .method<prepare>("prepareWithActivityItems:", "v@:@")
        .method<nothing>("activityViewController", "@@:")
        .method<performActivity>("performActivity", "v@:")
        .method<activityDidFinish>("activityDidFinish:", "v@:c");
    objc::ClassDef<UIActivityViewController>("UIActivityViewController", UIViewController::cls())
        .method<initSheet>("initWithActivityItems:applicationActivities:", "@@:@@")
        .method<activityItems>("activityItems", "@@:")
        .method<applicationActivities>("applicationActivities", "@@:")
        .method<completionHandler>("completionWithItemsHandler", "@@:")
        .method<setCompletionHandler>("setCompletionWithItemsHandler:", "v@:@?");
}
