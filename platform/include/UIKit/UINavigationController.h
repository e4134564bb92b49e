// UINavigationController: a stack of controllers; its children, bottom to
// top, are the stack.
//
//   initWithRootViewController:       id(id)
//   viewControllers                   id()          NSArray, root first
//   setViewControllers:animated:      void(id, BOOL)   the stack becomes the array (each taken
//                                                   off any other stack first); the new top
//                                                   gets viewWillAppear:
//   pushViewController:animated:      void(id, BOOL)   raises NSInvalidArgumentException for a
//                                                   controller that already stands on a stack
//                                                   (this one or another) or has another parent;
//                                                   onto a non-empty stack the pushed controller
//                                                   gets viewWillAppear: and viewDidAppear:
//   popViewControllerAnimated:        id(BOOL)      the popped controller (autoreleased);
//                                                   nil when only the root is left; the new
//                                                   top gets viewWillAppear:
//   popToViewController:animated:     id(id, BOOL)  NSArray of the popped controllers, top
//                                                   first; nil for a controller not on the stack
//   popToRootViewControllerAnimated:  id(BOOL)      NSArray of the popped controllers, top first
//   topViewController                 id()
//   navigationBar                     id()          the UINavigationBar (made on first use,
//                                                   as wide as the main screen, 44 high)
//
// UINavigationItem : NSObject — what a controller shows in the bar
//   title / setTitle:                 id() / void(id)   copied; nil shows the controller's title
//   rightBarButtonItems / setRightBarButtonItems:   id() / void(id)   NSArray of
//                                     UIBarButtonItem, the first the rightmost; nil clears
//   setRightBarButtonItems:animated:  void(id, BOOL)
//   rightBarButtonItem / setRightBarButtonItem:     id() / void(id)   the first right item;
//                                     setting one makes it the only one (nil: none)
//   setRightBarButtonItem:animated:   void(id, BOOL)
// UIViewController answers navigationItem (id(), made on first use).
//
// UINavigationBar : UIView — drawRect: draws a light bar with a hairline at
// the bottom, the top controller's title in the middle (bold), and its right
// items from the right edge: a titled item as its title in the tint colour,
// a bookmarks item (system item 11) as an open book.
//
// The Music app calls its navigation-bar category on its own screens
// (MusicTableViewController, MusicNowPlayingViewController):
// music_updateStoreNavigationItem on every viewWillAppear:,
// _music_updateForContentChangeForInitialViewLoad: once from viewDidLoad,
// and MPH_supportsCoverFlow when the device turns to landscape
// (platform::MusicApp::rotateToLandscape).
#pragma once

#include <UIKit/UIToolbar.h>
#include <UIKit/UIViewController.h>

#include <vector>

struct NSString;

struct UINavigationItem : NSObject {
    OBJC_CLASS(UINavigationItem)

    Strong<NSString> _title;
    std::vector<Strong<UIBarButtonItem>> _rightBarButtonItems;
    UIViewController* _controller = nullptr;  // the controller whose item this is (not retained)
};

struct UINavigationBar : UIView {
    OBJC_CLASS(UINavigationBar)

    struct UINavigationController* _navigationController = nullptr;  // not retained
};

struct UINavigationController : UIViewController {
    OBJC_CLASS(UINavigationController)

    Strong<UINavigationBar> _navigationBar;

    ~UINavigationController() override;
};

inline constexpr CGFloat kUINavigationBarHeight = 44;

namespace platform {

// Whether `navigation`'s bar shows over the screen: while the controller on
// top shows a title or a right item in it.
bool navigationBarShows(UINavigationController* navigation);
// The room of the view of the controller on top: the main screen below the
// bar while the bar shows, else the whole screen.
CGRect navigationContentFrame(UINavigationController* navigation);

}  // namespace platform

#define UIApplicationDidEnterBackgroundNotification ("UIApplicationDidEnterBackgroundNotification"_ns)
