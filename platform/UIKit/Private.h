// Registration of the UIKit classes, one function per source file, called
// by platform::registerUIKit() superclasses first.
#pragma once

struct objc_object;

namespace platform::uikit {
void registerViews();            // UIResponder, UIView, UIScrollView, UIControl, UIButton
void registerButtons();          // UIButton's titles and background images (UIButton.cpp)
void registerViewControllers();  // UIViewController and its UIKit subclasses
void registerTableViews();       // UITableView, UITableViewCell, _UITableViewCellActionButton
void registerRowActions();       // UITableViewRowAction, the swipe buttons of the rows (RowActions.cpp)
void registerColors();           // UIColor
void registerImages();           // UIImage
void registerScreens();          // UIScreen, UIDevice, _UIOldDevice
void registerBezierPaths();      // UIBezierPath
void registerFonts();            // UIFont, NSParagraphStyle, NSString's drawing methods
void registerViewDrawing();      // CALayer; UIView's layer, alpha, drawing and animation
void registerLabels();           // UILabel
void registerVisualEffects();    // UIBlurEffect, UIVisualEffectView
// The editing widgets, presentation and nibs, after the image views and
// gestures (registerEditing calls these in order):
void registerEditing();
void registerControls();     // UIView touches and constraints, UIControl tracking, UIButton
                             // images, NSLayoutConstraint, UITouch, UITapGestureRecognizer
void registerTextFields();   // UIResponder's first responder, UITextField
void registerPickerViews();  // UIPickerView
void registerToolbars();     // UIBarButtonItem, UIToolbar
void registerAlerts();       // presentation, UIAlertAction, UIAlertController
void registerAlertViews();   // UIAlertView, recorded in the journal when shown
void registerNibLoading();   // NSBundle's loadNibNamed:owner:options:
void registerSocial();       // SLComposeViewController

// Takes the swipe buttons (_UITableViewCellActionButton) among the view's
// own subviews out of it (removeFromSuperview): a swiped cell closing.
void removeSwipeButtons(objc_object* view);

// Inside an animations block: keeps `view` alive until the animation's
// completion has run. Nothing outside one.
void noteAnimatedChange(objc_object* view);
}  // namespace platform::uikit
