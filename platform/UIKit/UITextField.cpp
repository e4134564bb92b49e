// UITextField, the first responder, and the keyboard's helpers.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITextField.h>
#include <platform/Unicode.h>

#include <algorithm>

using namespace platform::support;

namespace {

// The first responder; cleared when it goes (a weak reference).
Weak<NSObject>& firstResponderSlot() {
    static Weak<NSObject>* slot = new Weak<NSObject>();
    return *slot;
}

namespace responder {
BOOL becomeFirstResponder(UIResponder*, SEL) { return NO; }
BOOL canBecomeFirstResponder(UIResponder*, SEL) { return NO; }
BOOL resignFirstResponder(UIResponder* self, SEL) {
    if (firstResponderSlot().get() != self) return YES;
    firstResponderSlot() = nullptr;
    platform::uikit::keyboardMoved();
    return YES;
}
BOOL isFirstResponder(UIResponder* self, SEL) { return firstResponderSlot().get() == self; }
}  // namespace responder

namespace field {

id initWithFrame(UITextField* self, SEL, CGRect frame) {
    self = objectAs<UITextField>(objc_msgSendSuper<id(CGRect)>(self, UITextField::cls(), "initWithFrame:"_sel, frame));
    if (self != nullptr) self->_text = ""_ns;
    return self;
}
id initWithCoder(UITextField* self, SEL, id coder) {
    self = objectAs<UITextField>(objc_msgSendSuper<id(id)>(self, UITextField::cls(), "initWithCoder:"_sel, coder));
    if (self != nullptr) self->_text = ""_ns;
    return self;
}

Strong<NSString> copied(id text, const char* where) {
    if (text == nullptr) return Strong<NSString>();
    return adoptObject<NSString>(objc_msgSend<id()>(requireObject<NSString>(text, where), "copy"_sel), where);
}

id text(UITextField* self, SEL) {
    if (!self->_typed.empty()) {
        std::string whole = (self->_text ? self->_text->str() : std::string()) + self->_typed;
        self->_text = Strong<NSString>::adopt(NSString::create(whole));
        self->_typed.clear();
        self->_typedUnits = 0;
    }
    return self->_text ? self->_text.get() : ""_ns;
}
void setText(UITextField* self, SEL, id text) {
    self->_text = copied(text, "-[UITextField setText:]");
    self->_typed.clear();
    self->_typedUnits = 0;
}
id placeholder(UITextField* self, SEL) { return self->_placeholder.get(); }
void setPlaceholder(UITextField* self, SEL, id text) { self->_placeholder = copied(text, "-[UITextField setPlaceholder:]"); }
id font(UITextField* self, SEL) { return self->_font ? objc::as_id(self->_font.get()) : UIFont::system(17); }
void setFont(UITextField* self, SEL, id font) { self->_font = requireObject<UIFont>(font, "-[UITextField setFont:]"); }
id textColor(UITextField* self, SEL) { return self->_textColor ? objc::as_id(self->_textColor.get()) : UIColor::make(0, 0, 0, 1); }
void setTextColor(UITextField* self, SEL, id c) { self->_textColor = requireObject<UIColor>(c, "-[UITextField setTextColor:]"); }
NSInteger textAlignment(UITextField* self, SEL) { return self->_textAlignment; }
void setTextAlignment(UITextField* self, SEL, NSInteger v) { self->_textAlignment = v; }
NSInteger borderStyle(UITextField* self, SEL) { return self->_borderStyle; }
void setBorderStyle(UITextField* self, SEL, NSInteger v) { self->_borderStyle = v; }
NSInteger returnKeyType(UITextField* self, SEL) { return self->_returnKeyType; }
void setReturnKeyType(UITextField* self, SEL, NSInteger v) { self->_returnKeyType = v; }
id delegate(UITextField* self, SEL) { return self->_delegate; }
void setDelegate(UITextField* self, SEL, id d) { self->_delegate = d; }
id inputView(UITextField* self, SEL) { return self->_inputView.get(); }
void setInputView(UITextField* self, SEL, id v) { self->_inputView = requireObject<UIView>(v, "-[UITextField setInputView:]"); }
id inputAccessoryView(UITextField* self, SEL) { return self->_inputAccessoryView.get(); }
void setInputAccessoryView(UITextField* self, SEL, id v) {
    self->_inputAccessoryView = requireObject<UIView>(v, "-[UITextField setInputAccessoryView:]");
}

BOOL canBecomeFirstResponder(UITextField*, SEL) { return YES; }

BOOL becomeFirstResponder(UITextField* self, SEL) {
    if (firstResponderSlot().get() == self) return YES;
    id d = self->_delegate;
    if (d != nil && objc_msgSend<BOOL(SEL)>(d, "respondsToSelector:"_sel, "textFieldShouldBeginEditing:"_sel) &&
        !objc_msgSend<BOOL(id)>(d, "textFieldShouldBeginEditing:"_sel, self))
        return NO;
    Strong<NSObject> former = firstResponderSlot().lock();
    if (former) objc_msgSend<BOOL()>(former.get(), "resignFirstResponder"_sel);
    firstResponderSlot() = self;
    platform::uikit::keyboardMoved();
    return YES;
}

void drawRect(UITextField* self, SEL, CGRect) {
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    if (self->_borderStyle == UITextBorderStyleRoundedRect) {
        id path = objc_msgSend<id(CGRect, double)>(objc_getClass("UIBezierPath"), "bezierPathWithRoundedRect:cornerRadius:"_sel,
                                                   CGRectMake(0.5, 0.5, bounds.size.width - 1, bounds.size.height - 1), 5.0);
        objc_msgSend<void()>(UIColor::make(1, 1, 1, 1), "setFill"_sel);
        objc_msgSend<void()>(path, "fill"_sel);
        objc_msgSend<void()>(UIColor::make(0.8, 0.8, 0.8, 1), "setStroke"_sel);
        objc_msgSend<void(double)>(path, "setLineWidth:"_sel, 1.0);
        objc_msgSend<void()>(path, "stroke"_sel);
    }
    id text = objc_msgSend<id()>(self, "text"_sel);
    id colour = objc_msgSend<id()>(self, "textColor"_sel);
    if (objc_msgSend<NSUInteger()>(text, "length"_sel) == 0) {
        text = self->_placeholder.get();
        colour = UIColor::make(0.7, 0.7, 0.72, 1);
    }
    if (text == nil) return;
    id font = objc_msgSend<id()>(self, "font"_sel);
    NSDictionary* attributes = NSDictionary::make({{NSFontAttributeName, font}, {NSForegroundColorAttributeName, colour}});
    CGSize size = objc_msgSend<CGSize(id)>(text, "sizeWithAttributes:"_sel, attributes);
    double x = 6;
    if (self->_textAlignment == NSTextAlignmentCenter) x = (bounds.size.width - size.width) / 2;
    else if (self->_textAlignment == NSTextAlignmentRight) x = bounds.size.width - 6 - size.width;
    objc_msgSend<void(CGPoint, id)>(text, "drawAtPoint:withAttributes:"_sel,
                                    CGPointMake(x, (bounds.size.height - size.height) / 2), attributes);
}

}  // namespace field

// Whether the delegate lets the change happen (YES without a delegate).
bool ask(UITextField* field, NSRange range, NSString* replacement) {
    id d = objc_msgSend<id()>(field, "delegate"_sel);
    SEL question = "textField:shouldChangeCharactersInRange:replacementString:"_sel;
    return d == nil || !objc_msgSend<BOOL(SEL)>(d, "respondsToSelector:"_sel, question) ||
           objc_msgSend<BOOL(id, NSRange, id)>(d, question, field, range, replacement);
}

// Asks the delegate, then changes the text.
bool change(UITextField* field, NSRange range, NSString* replacement) {
    if (!ask(field, range, replacement)) return false;
    // The range counts UTF-16 units: the edit is made there, so the bytes
    // around it come back as they were.
    std::u16string text = static_cast<NSString*>(objc_msgSend<id()>(field, "text"_sel))->utf16();
    size_t from = std::min<size_t>(range.location, text.size());
    text.replace(from, std::min<size_t>(range.length, text.size() - from), replacement ? replacement->utf16() : u"");
    objc_msgSend<void(id)>(field, "setText:"_sel, NSString::make(platform::unicode::fromUtf16(text)));
    objc_msgSend<void(NSUInteger)>(field, "sendActionsForControlEvents:"_sel, UIControlEventEditingChanged);
    return true;
}

}  // namespace

void platform::uikit::registerTextFields() {
    Class r = UIResponder::cls();
    objc::define_method(r, "becomeFirstResponder"_sel, objc::make_imp<responder::becomeFirstResponder>(), "B@:");
    objc::define_method(r, "canBecomeFirstResponder"_sel, objc::make_imp<responder::canBecomeFirstResponder>(), "B@:");
    objc::define_method(r, "resignFirstResponder"_sel, objc::make_imp<responder::resignFirstResponder>(), "B@:");
    objc::define_method(r, "isFirstResponder"_sel, objc::make_imp<responder::isFirstResponder>(), "B@:");
    objc::ClassDef<UITextField>("UITextField", UIControl::cls())
        .method<field::initWithFrame>("initWithFrame:")
        .method<field::initWithCoder>("initWithCoder:")
        .method<field::text>("text")
        .method<field::setText>("setText:")
        .method<field::placeholder>("placeholder")
        .method<field::setPlaceholder>("setPlaceholder:")
        .method<field::font>("font")
        .method<field::setFont>("setFont:")
        .method<field::textColor>("textColor")
        .method<field::setTextColor>("setTextColor:")
        .method<field::textAlignment>("textAlignment")
        .method<field::setTextAlignment>("setTextAlignment:")
        .method<field::borderStyle>("borderStyle")
        .method<field::setBorderStyle>("setBorderStyle:")
        .method<field::returnKeyType>("returnKeyType")
        .method<field::setReturnKeyType>("setReturnKeyType:")
        .method<field::delegate>("delegate")
        .method<field::setDelegate>("setDelegate:")
        .method<field::inputView>("inputView")
        .method<field::setInputView>("setInputView:")
        .method<field::inputAccessoryView>("inputAccessoryView")
        .method<field::setInputAccessoryView>("setInputAccessoryView:")
        .method<field::canBecomeFirstResponder>("canBecomeFirstResponder")
        .method<field::becomeFirstResponder>("becomeFirstResponder")
        .method<field::drawRect>("drawRect:");
}

id platform::firstResponder() { return firstResponderSlot().get(); }

CGRect platform::keyboardFrame() {
    auto* field = objectAs<UITextField>(firstResponderSlot().get());
    if (field == nullptr) return CGRectZero;
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    bool turned = screen.size.width > screen.size.height;
    bool pad = UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad;
    CGFloat height = pad ? (turned ? 352 : 264) : (turned ? 162 : 216);
    if (id input = objc_msgSend<id()>(field, "inputView"_sel))
        height = objc_msgSend<CGRect()>(input, "frame"_sel).size.height;
    height = std::min(height, screen.size.height);
    return CGRectMake(0, screen.size.height - height, screen.size.width, height);
}

void platform::uikit::endEditingIn(objc_object* view) {
    auto* responder = objectAs<UIView>(firstResponderSlot().get());
    for (UIView* v = responder; v != nullptr; v = v->_superview)
        if (objc::as_id(v) == view) {
            Strong<UIView> keep(responder);
            objc_msgSend<BOOL()>(responder, "resignFirstResponder"_sel);
            return;
        }
}

int platform::typeText(UITextField* field, const std::string& utf8) {
    if (field == nullptr) return 0;
    Strong<UITextField> keep(field);
    int allowed = 0;
    for (size_t i = 0; i < utf8.size();) {
        // One key at a time, each with its own pool as each event has.
        AutoreleasePool pool;
        size_t length = platform::unicode::characterLength(utf8, i);
        NSString* piece = NSString::make(utf8.substr(i, length));
        i += length;
        // The end of the text, and the character appended there, without
        // making the whole text again for every character.
        NSUInteger end = (field->_text ? field->_text->length() : 0) + field->_typedUnits;
        if (!ask(field, NSMakeRange(end, 0), piece)) continue;
        field->_typed += piece->str();
        field->_typedUnits += piece->length();
        objc_msgSend<void(NSUInteger)>(field, "sendActionsForControlEvents:"_sel, UIControlEventEditingChanged);
        ++allowed;
    }
    return allowed;
}

int platform::clearText(UITextField* field) {
    if (field == nullptr) return 0;
    Strong<UITextField> keep(field);
    NSUInteger end = static_cast<NSString*>(objc_msgSend<id()>(field, "text"_sel))->length();
    return change(field, NSMakeRange(0, end), ""_ns) ? 1 : 0;
}

bool platform::pressReturn(UITextField* field) {
    if (field == nullptr) return false;
    id d = objc_msgSend<id()>(field, "delegate"_sel);
    if (d != nil && objc_msgSend<BOOL(SEL)>(d, "respondsToSelector:"_sel, "textFieldShouldReturn:"_sel))
        return objc_msgSend<BOOL(id)>(d, "textFieldShouldReturn:"_sel, field);
    return true;
}
