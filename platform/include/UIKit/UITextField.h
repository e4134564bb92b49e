// UITextField: one line of editable text.
//
//   text / setText:            id() / void(id)   NSString, copied; "" rather than nil
//   placeholder / setPlaceholder:   id() / void(id)
//   font / setFont:            id() / void(id)   UIFont; the system font of 17 by default
//   textColor / setTextColor:  id() / void(id)   black by default
//   textAlignment / setTextAlignment:   NSInteger() / void(NSInteger)
//   borderStyle / setBorderStyle:       NSInteger() / void(NSInteger)   3: rounded rect
//   delegate / setDelegate:    id() / void(id)   not retained
//   inputView / setInputView:  id() / void(id)   a UIView shown instead of the keyboard
//                              while the field is first responder; retained
//   inputAccessoryView / setInputAccessoryView:   id() / void(id)   retained
//   returnKeyType / setReturnKeyType:   NSInteger() / void(NSInteger)
//   becomeFirstResponder       BOOL()   asks textFieldShouldBeginEditing: when the delegate
//                              answers it; the former first responder resigns first
//   resignFirstResponder       BOOL()   YES; the field is no longer first responder
//   isFirstResponder           BOOL()
//   drawRect:                  void(CGRect)   the text (or the placeholder in grey), left
//                              aligned and centred vertically, inset 6 points; a rounded
//                              grey border for borderStyle 3
//
// UIResponder gains becomeFirstResponder (NO), resignFirstResponder (YES),
// isFirstResponder and canBecomeFirstResponder (NO).
//
// The keyboard (platform helpers below) asks the delegate before each change
// with textField:shouldChangeCharactersInRange:replacementString: and changes
// the text only on YES; the return key sends textFieldShouldReturn:.
#pragma once

#include <UIKit/UIControl.h>

#include <string>

struct NSString;
struct UIFont;
struct UIColor;


using UITextBorderStyle = NSInteger;
inline constexpr UITextBorderStyle UITextBorderStyleNone = 0;
inline constexpr UITextBorderStyle UITextBorderStyleRoundedRect = 3;

struct UITextField : UIControl {
    OBJC_CLASS(UITextField)

    Strong<NSString> _text;
    // Characters typed after `_text` was made (UTF-8, and UTF-16 units):
    // `text` makes the whole string only when it is asked for, so that
    // typing stays linear in the length of the text.
    std::string _typed;
    NSUInteger _typedUnits = 0;
    Strong<NSString> _placeholder;
    Strong<UIFont> _font;
    Strong<UIColor> _textColor;
    NSInteger _textAlignment = 0;
    NSInteger _borderStyle = UITextBorderStyleNone;
    NSInteger _returnKeyType = 0;
    id _delegate = nil;  // not retained
    Strong<UIView> _inputView;
    Strong<UIView> _inputAccessoryView;
};

namespace platform {

// The responder that is first responder now (not retained), or nullptr.
id firstResponder();

// Where the keyboard stands on the main screen while a text field is first
// responder: along the bottom, the screen's width, as high as the field's
// input view when it has one, else 216 points upright and 162 turned on a
// phone, 264 and 352 on a pad. CGRectZero while no field edits.
CGRect keyboardFrame();

// The keyboard. Each returns how many changes the delegate allowed.
// typeText: one change per character (a code point), appended at the end.
int typeText(UITextField* field, const std::string& utf8);
// clearText: one change replacing the whole text with "".
int clearText(UITextField* field);
// The return key: textFieldShouldReturn: when the delegate answers it; its
// answer, YES without a delegate.
bool pressReturn(UITextField* field);

}  // namespace platform
