// UITableViewRowAction: what one swipe button of a table row does.
//
//   +rowActionWithStyle:title:handler:   id(NSInteger, id, id)   autoreleased; the handler (a
//                                        block of type void(id action, id indexPath)) is copied
//   style                                NSInteger()
//   title / setTitle:                    id() / void(id)   NSString, copied
//   handler                              id()   the block
//   backgroundColor / setBackgroundColor:   id() / void(id)   UIColor, retained; nil unless set
//
// The handler runs when the user taps the button that carries the action
// (platform::tapSwipeButton, _UITableViewCellActionButton.h), with the action
// and the row's index path.
#pragma once

#include <objc/NSObject.h>

struct NSString;
struct UIColor;

using UITableViewRowActionStyle = NSInteger;
inline constexpr UITableViewRowActionStyle UITableViewRowActionStyleDefault = 0;
inline constexpr UITableViewRowActionStyle UITableViewRowActionStyleDestructive = 0;
inline constexpr UITableViewRowActionStyle UITableViewRowActionStyleNormal = 1;

// The prototype of a row action's handler.
using UITableViewRowActionHandler = void(id action, id indexPath);

struct UITableViewRowAction : NSObject {
    OBJC_CLASS(UITableViewRowAction)

    UITableViewRowActionStyle _style = UITableViewRowActionStyleDefault;
    Strong<NSString> _title;
    Strong<NSObject> _handler;  // NSBlock
    Strong<UIColor> _backgroundColor;
};
