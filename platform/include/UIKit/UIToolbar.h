// UIToolbar and UIBarButtonItem.
//
// UIBarButtonItem : NSObject (one class for toolbars and navigation bars)
//   initWithTitle:style:target:action:        id(id, NSInteger, id, SEL)
//   initWithBarButtonSystemItem:target:action:   id(NSInteger, id, SEL)   a system item's
//                                             title is its name ("Done", "Cancel", "Edit",
//                                             "Save", "Add" ...); spaces have none
//   initWithCustomView:                       id(id)
//   title / setTitle:        id() / void(id)   NSString, copied
//   style / setStyle:        NSInteger() / void(NSInteger)   0 plain, 1 bordered, 2 done
//   tag / setTag:            NSInteger() / void(NSInteger)
//   target / setTarget:      id() / void(id)   not retained
//   action / setAction:      SEL() / void(SEL)
//   isEnabled / setEnabled:  BOOL() / void(BOOL)
//   width / setWidth:        double() / void(double)
//   customView               id()
//   tintColor / setTintColor:   id() / void(id)
//   systemItem               NSInteger()   -1 for an item made with a title
//
// UIToolbar : UIView
//   items / setItems: / setItems:animated:   id() / void(id) / void(id, BOOL)   NSArray
//   barStyle / setBarStyle:  NSInteger() / void(NSInteger)
//   setBackgroundImage:forToolbarPosition:barMetrics: / backgroundImageForToolbarPosition:barMetrics:
//                            void(id, NSInteger, NSInteger) / id(NSInteger, NSInteger)   kept
//                            per position and metrics; with one for position 0 (any) and
//                            metrics 0 (default) the bar draws that picture (stretched)
//                            instead of its hairline, so an empty picture makes it clear
//   drawRect:                a hairline at the top; the items' titles laid out from the
//                            left, flexible spaces sharing what is left, in the tint colour
#pragma once

#include <UIKit/UIView.h>

#include <map>
#include <utility>
#include <vector>

using UIBarButtonSystemItem = NSInteger;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemDone = 0;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemCancel = 1;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemEdit = 2;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemSave = 3;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemAdd = 4;  // drawn as a plus sign
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemFlexibleSpace = 5;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemFixedSpace = 6;
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemCompose = 7;  // drawn as a pad and pencil, no title
inline constexpr UIBarButtonSystemItem UIBarButtonSystemItemBookmarks = 11;  // drawn as a book, no title

using UIBarButtonItemStyle = NSInteger;
inline constexpr UIBarButtonItemStyle UIBarButtonItemStylePlain = 0;
inline constexpr UIBarButtonItemStyle UIBarButtonItemStyleBordered = 1;
inline constexpr UIBarButtonItemStyle UIBarButtonItemStyleDone = 2;

struct NSString;
struct UIColor;

struct UIBarButtonItem : NSObject {
    OBJC_CLASS(UIBarButtonItem)

    Strong<NSString> _title;
    NSInteger _style = UIBarButtonItemStylePlain;
    NSInteger _tag = 0;
    NSInteger _systemItem = -1;
    id _target = nil;  // not retained
    SEL _action = nullptr;
    BOOL _enabled = YES;
    double _width = 0;
    Strong<UIView> _customView;
    Strong<UIColor> _tintColor;
};

struct UIToolbar : UIView {
    OBJC_CLASS(UIToolbar)

    std::vector<Strong<UIBarButtonItem>> _items;
    NSInteger _barStyle = 0;
    std::map<std::pair<NSInteger, NSInteger>, Strong<NSObject>> _backgroundImages;  // UIImage by position, metrics
};

namespace platform {

// A user's tap on a bar button item: its action to its target (with the
// item as sender), as UIKit does. NO when the item is disabled, has no
// action, or the target cannot take it.
bool tapBarButtonItem(UIBarButtonItem* item);

}  // namespace platform
