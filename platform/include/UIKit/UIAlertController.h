// Presentation of view controllers, UIAlertController and UIAlertAction, and
// the journal of what was presented.
//
// UIViewController gains (UIAlertController.cpp):
//   presentViewController:animated:completion:   void(id, BOOL, id)   the controller
//       shows over the screen; the completion block (void()) runs on the main run loop
//       once the transition is over (0.3 s of clock time when animated, the next pass
//       otherwise). Refused, logged and journalled (the completion never runs) while
//       the presenter already presents a controller or is in a transition, or for a
//       controller that is already presented.
//   dismissViewControllerAnimated:completion:    void(BOOL, id)   sent to the presenter or
//       to the presented controller: the presented controller goes after the
//       transition, then the completion runs. Nothing (no completion) when nothing is
//       presented or a transition is in progress.
//   presentedViewController / presentingViewController   id()
//
// UIAlertAction : NSObject
//   +actionWithTitle:style:handler:   id(id, NSInteger, id)   handler: void(id action)
//   title / style / isEnabled / setEnabled:
//
// UIAlertController : UIViewController
//   +alertControllerWithTitle:message:preferredStyle:   id(id, id, NSInteger)
//   title / setTitle:, message / setMessage:   NSString
//   preferredStyle            NSInteger()   0 action sheet, 1 alert
//   addAction: / actions      void(id) / id()
//   view                      its view: the main screen's bounds until it is presented;
//                             then the alert's card (270 points wide, as high as its
//                             title, message and action row need, centred) whose subviews
//                             are clipped to it. A message with text is wrapped to the
//                             card's width; a message of blank lines is room for a view
//                             laid over the card, a line of room a line. An action sheet
//                             stands on the bottom edge instead, as wide as the screen's
//                             shorter side less a margin, its cancel action in a card of
//                             its own under the others. The card stays below the 20-point
//                             status bar and above the keyboard (platform::keyboardFrame);
//                             a card taller than that room fills it: its content (title,
//                             message and the views laid over them) scrolls, to show the
//                             field being edited, while the action rows stay whole at the
//                             card's bottom, over the content
#pragma once

#include <functional>
#include <utility>

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIViewController.h>

#include <string>
#include <vector>

struct NSString;

using UIAlertControllerStyle = NSInteger;
inline constexpr UIAlertControllerStyle UIAlertControllerStyleActionSheet = 0;
inline constexpr UIAlertControllerStyle UIAlertControllerStyleAlert = 1;

using UIAlertActionStyle = NSInteger;
inline constexpr UIAlertActionStyle UIAlertActionStyleDefault = 0;
inline constexpr UIAlertActionStyle UIAlertActionStyleCancel = 1;
inline constexpr UIAlertActionStyle UIAlertActionStyleDestructive = 2;

struct UIAlertAction : NSObject {
    OBJC_CLASS(UIAlertAction)

    Strong<NSString> _title;
    NSInteger _style = UIAlertActionStyleDefault;
    Strong<NSObject> _handler;  // NSBlock void(id)
    BOOL _enabled = YES;
};

struct UIAlertController : UIViewController {
    OBJC_CLASS(UIAlertController)

    Strong<NSString> _message;
    NSInteger _preferredStyle = UIAlertControllerStyleAlert;
    std::vector<Strong<UIAlertAction>> _actions;
};

// Seconds an animated transition takes.
inline constexpr double kUIPresentationDuration = 0.3;

namespace platform {

struct JournalEntry {
    std::string kind;       // "present", "dismiss", "refused", "alert", "badge", ...
    std::string presenter;  // class names ("" when none)
    std::string presented;
    std::string title;      // an alert's title and message; a badge's text
    std::string message;
};

// What was shown, in order: every accepted presentation ("present", with an
// alert's title and message), dismissal ("dismiss") and refused presentation
// ("refused"). Main thread only.
const std::vector<JournalEntry>& journal();
void clearJournal();
void addJournalEntry(JournalEntry entry);
// Called with each entry as it is added (a host that prints what is shown;
// a presentation's controller is then the last of presentedViewControllers());
// nullptr for none.
void setJournalObserver(std::function<void(const JournalEntry&)> observer);

// The controllers presented now, in the order they were presented.
std::vector<UIViewController*> presentedViewControllers();

// A user's tap on an alert's action: the alert is dismissed (animated), then
// the action's handler runs with the action. NO when the action is not one of
// the alert's, is disabled, or the alert is not presented.
bool tapAlertAction(UIAlertController* alert, UIAlertAction* action);

// Serves the main run loop until no presentation or dismissal is in its
// transition (or the timeout passes); whether none is.
bool finishTransitions(double timeoutSeconds);

// The alert's card frame on the screen once presented (for drawing and taps).
CGRect alertCardFrame(UIAlertController* alert);

// Where each of the presented alert's actions shows on the screen, in the
// order of its actions; none before its view is loaded.
std::vector<std::pair<UIAlertAction*, CGRect>> alertActionFrames(UIAlertController* alert);

// A user's scroll of the alert's content (when its card is shorter than it)
// until `view`, laid over the card, shows above the actions.
void scrollAlertToShow(UIAlertController* alert, UIView* view);

}  // namespace platform
