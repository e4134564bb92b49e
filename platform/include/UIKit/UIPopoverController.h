// UIPopoverController: a controller's view shown in a card over the screen,
// pointing at a rectangle of a view (the pad's way of showing a share sheet).
//
//   initWithContentViewController:                       id(id)   retains the content
//   contentViewController                                id()
//   popoverContentSize / setPopoverContentSize:          CGSize() / void(CGSize)
//   setPopoverContentSize:animated:                      void(CGSize, BOOL)
//       320 x 480 until set; a shown popover takes the new size at once
//   presentPopoverFromRect:inView:permittedArrowDirections:animated:
//                                                        void(CGRect, id, NSUInteger, BOOL)
//       shows the content's view in a card centred on the rectangle (in the
//       view's coordinates), kept inside the screen; the content gets
//       viewWillAppear: now and viewDidAppear: after the transition. Refused
//       (logged, journalled "refused") while the popover is shown, without a
//       view or content, or when the content is presented elsewhere.
//   dismissPopoverAnimated:                              void(BOOL)
//   isPopoverVisible                                     BOOL()
//
// A shown popover is kept alive by the platform until its dismissal is over,
// so its maker may release it at once. dismissViewControllerAnimated:completion:
// sent to the content (as a share sheet does when it ends) dismisses the
// popover, then runs the completion. The journal records "present" and
// "dismiss" with the presenter "UIPopoverController".
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIViewController.h>

#include <vector>

struct UIView;

struct UIPopoverController : NSObject {
    OBJC_CLASS(UIPopoverController)

    Strong<UIViewController> _contentViewController;
    CGSize _popoverContentSize{320, 480};
    CGRect _anchor = CGRectZero;    // the rectangle pointed at, in screen coordinates
    Strong<UIView> _popoverView;    // the card, made when shown
    BOOL _visible = NO;
    BOOL _inTransition = NO;
};

namespace platform {

// The popovers shown now, in the order they were presented.
std::vector<UIPopoverController*> shownPopovers();

}  // namespace platform
