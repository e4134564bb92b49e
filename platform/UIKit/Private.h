// Registration of the UIKit classes, one function per source file, called
// by platform::registerUIKit() superclasses first.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <objc/objc.h>

#include <cstddef>
#include <cstdint>
#include <functional>

struct _cairo_surface;
struct objc_object;
struct UIColor;
struct UIImage;
struct UITableView;
struct UIView;
struct UITableViewCell;

namespace platform::uikit {
void registerViews();            // UIResponder, UIView, UIScrollView, UIControl, UIButton
void registerButtons();          // UIButton's titles and background images (UIButton.cpp)
void registerViewControllers();  // UIViewController and its UIKit subclasses
void registerNavigationControllers();  // UINavigationController, UINavigationItem, UINavigationBar
void registerTableViewControllers();   // UITableViewController; the tables' editing, moves and taps
void registerTableViews();       // UITableView, UITableViewCell, _UITableViewCellActionButton
void registerCollectionViews();  // UICollectionView, its layout, attributes and cells
void registerRowActions();       // UITableViewRowAction, the swipe buttons of the rows (RowActions.cpp)
void registerColors();           // UIColor
void registerImages();           // UIImage
void registerScaledImages();     // UIImage's pictures decoded to a size (UIImageScaled.cpp)
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
void registerApplication();  // UIApplication, UIWindow (the key window)
void registerImagePickers();  // UIImagePickerController
void registerActivities();   // UIActivity, UIActivityViewController
void registerPopovers();     // UIPopoverController
void registerSocial();       // SLComposeViewController
// The settings pages' widgets (registerSettingsWidgets calls these in order):
void registerSettingsWidgets();
void registerSwitchesAndSwipes();  // UISwitch, UISwipeGestureRecognizer
void registerImageAnimation();     // UIImage from pixels and animated, UIImageView animation
void registerPatternColors();      // UIColor's colorWithPatternImage:

// Paints what `draw` paints (it is handed opaque black) with the pattern
// image of `colour`, tiled from the context's origin. false, with nothing
// drawn, when the colour has no pattern (or there is no context).
bool paintWithPattern(CGContextRef c, UIColor* colour, const std::function<void(CGColor)>& draw);

// While the table edits: the cell's editing style, indent and reorder control
// as the delegate and data source answer for the row (UITableViewController.cpp).
void placeEditingState(::UITableView* table, ::UITableViewCell* cell, objc_object* indexPath);

// Takes the swipe buttons (_UITableViewCellActionButton) among the view's
// own subviews out of it (removeFromSuperview): a swiped cell closing.
void removeSwipeButtons(objc_object* view);

// Runs `work` on the main run loop once a presentation's transition is over
// (kUIPresentationDuration of clock time when animated, the next pass
// otherwise); platform::finishTransitions waits for it.
void afterTransition(BOOL animated, std::function<void()> work);
// Moves and sizes `view`'s subviews, and theirs, by their autoresizing masks
// after `view` went from size `was` to `now`.
void resizeSubviews(UIView* view, CGSize was, CGSize now);

// Drawing shared by the render pass and the sheets that draw themselves
// (Rendering.cpp), into the cairo context `cr` in points: a rounded
// rectangle's path (corners clamped to half the shorter side); `image`'s
// picture in `bounds`, stretched (mode 0), whole and centred (1, aspect fit)
// or covering them (2, aspect fill).
void roundedRectPath(_cairo* cr, CGRect r, double radius);
void drawImageInRect(_cairo* cr, UIImage* image, CGRect bounds, NSInteger mode);

// When `content` is the content of a shown popover: dismisses the popover,
// then runs the completion block (void(), may be nil), and answers true.
bool dismissPopoverShowing(objc_object* content, BOOL animated, objc_object* completion);

// Ends editing inside `view`: the first responder resigns when it is `view`
// or one of its subviews, at any depth (UITextField.cpp).
void endEditingIn(objc_object* view);
// The keyboard came or went: each presented alert's card moves to stay above
// it (UIAlertController.cpp).
void keyboardMoved();

// Places the view's direct subviews that do not translate their masks by
// the view's edge constraints (UIControl.cpp).
void applyEdgeConstraints(objc_object* view);

// Inside an animations block: keeps `view` alive until the animation's
// completion has run. Nothing outside one.
void noteAnimatedChange(objc_object* view);
}  // namespace platform::uikit

