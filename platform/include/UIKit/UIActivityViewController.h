// The share sheet: UIActivity and UIActivityViewController.
//
// UIActivity : NSObject (an application's own activities derive from it)
//   +activityCategory              NSInteger()   0 action, 1 share; 0 here
//   activityType / activityTitle   id()          nil here
//   activityImage                  id()          nil here
//   canPerformWithActivityItems:   BOOL(id)      NO here
//   prepareWithActivityItems:      void(id)      nothing here
//   activityViewController         id()          nil here
//   performActivity                void()        activityDidFinish: YES
//   activityDidFinish:             void(BOOL)    ends the sheet that offered it
//
// UIActivityViewController : UIViewController
//   initWithActivityItems:applicationActivities:   id(id, id)
//   activityItems / applicationActivities          id()
//   view                                           drawn: presented, a card on the bottom
//       edge of the dimmed screen with what is shared (its text, its files by name),
//       a row of share activities and a row of action activities (the system's,
//       then the application's by their activityCategory, each its icon or
//       activityImage over its title) and a cancel button under it; in a popover,
//       the same card without the cancel button, filling the popover.
//   setCompletionWithItemsHandler: / completionWithItemsHandler
//       the handler, void(id activityType, BOOL completed, id returnedItems, id error),
//       runs once when the sheet ends in any way, after its dismissal.
//
// platform::chooseActivity plays a user's choice on a presented sheet: an
// application activity that can perform with the items is prepared and
// performed and ends the sheet when it calls activityDidFinish:; a system
// activity (systemActivityTypes) ends it completed; "cancel" ends it not
// completed with a nil type.
#pragma once

#include <UIKit/UIViewController.h>

#include <string>
#include <vector>

struct NSArray;

struct UIActivity : NSObject {
    OBJC_CLASS(UIActivity)

    UIViewController* _sheet = nullptr;  // the sheet performing it (plain reference)
};

struct UIActivityViewController : UIViewController {
    OBJC_CLASS(UIActivityViewController)

    Strong<NSArray> _activityItems;
    Strong<NSArray> _applicationActivities;
    Strong<NSObject> _completionWithItemsHandler;  // NSBlock void(id, BOOL, id, id)
    bool _ended = false;
};

namespace platform {

// The system's own activity types the sheet offers beside the application's.
const std::vector<std::string>& systemActivityTypes();

// The sheet presented now, or shown in a popover (the last one), or nullptr.
UIActivityViewController* presentedActivitySheet();

// A user's choice: a system activity type, an application activity's type or
// title, or "cancel". False when the sheet is not presented or offers no
// such activity (nothing happens then).
bool chooseActivity(UIActivityViewController* sheet, const std::string& choice);

}  // namespace platform
