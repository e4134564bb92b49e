// UIAlertView: the older alert that shows itself. `show` records it in the
// presentation journal (kind "alert", presented "UIAlertView", its title and
// message); it is kept until the journal is read, nothing is drawn.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSString.h>
#include <UIKit/UIAlertController.h>

using namespace platform::support;

namespace {

struct UIAlertView : NSObject {
    OBJC_CLASS(UIAlertView)
    Strong<NSString> _title;
    Strong<NSString> _message;
    Strong<NSString> _cancelButtonTitle;
    id _delegate = nil;  // not retained
};

Strong<NSString> copied(id s, const char* where) {
    if (s == nil) return {};
    return adoptObject<NSString>(objc_msgSend<id()>(s, "copy"_sel), where);
}

// The list of other button titles is a C varargs list on the platform; here it
// is its first title or nil, and only nil is supported.
id initWithTitle(UIAlertView* self, SEL, id title, id message, id delegate, id cancelTitle, id otherTitle) {
    if (otherTitle != nil)
        NSException::raise(NSInvalidArgumentException, "-[UIAlertView initWithTitle:...]: other buttons are not supported");
    self->_title = copied(title, "-[UIAlertView initWithTitle:]");
    self->_message = copied(message, "-[UIAlertView initWithTitle:]");
    self->_cancelButtonTitle = copied(cancelTitle, "-[UIAlertView initWithTitle:]");
    self->_delegate = delegate;
    return self;
}

id title(UIAlertView* self, SEL) { return self->_title.get(); }
id message(UIAlertView* self, SEL) { return self->_message.get(); }
id cancelButtonTitle(UIAlertView* self, SEL) { return self->_cancelButtonTitle.get(); }

void show(UIAlertView* self, SEL) {
    platform::addJournalEntry({"alert", "", "UIAlertView", to_string(self->_title.get()), to_string(self->_message.get())});
}

}  // namespace

void platform::uikit::registerAlertViews() {
    objc::ClassDef<UIAlertView>("UIAlertView", NSObject::cls())
        .method<initWithTitle>("initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:")
        .method<title>("title")
        .method<message>("message")
        .method<cancelButtonTitle>("cancelButtonTitle")
        .method<show>("show");
}
