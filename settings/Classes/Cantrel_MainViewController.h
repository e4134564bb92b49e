// The settings pages, each a UIViewController made from its nib in the
// plug-in's bundle (prototypes as sent; outlets are weak):
//
// Cantrel_MainViewController ("RootView"): outlets isEnabledSwitch,
//   containerView, titleLabel; delegate (weak). viewDidLoad fixes the
//   container's width to the screen's shorter side, sets the switch from
//   is_enabled (default YES) and fills the title's letters with the picture
//   textGradient.png. Actions (void(id)): isEnabledSwitchValueChange: stores
//   the switch's state under is_enabled and, when the store took, ends the
//   Music app of this device root ("killall -9 Music" through the platform);
//   when it did not take, the switch goes back to the stored value.
//   manualButtonTapped:, button1Tap: and button2Tap: push a new manual,
//   options or visuals page (the last two get the delegate first).
//   viewWillAppear: only passes the flag on.
//
// OptionsViewController ("COptionsVC"): outlets enforceID3TagOnExportSwitch,
//   enforceID3TagArtworkSwitch; delegate. Actions
//   enforceID3TagOnExportValueChanged:, enforceID3TagArtworkValueChanged:.
//
// VisualsViewController ("CVisualsVC"): outlets hideExportButtonSwitch,
//   askBeforeDeleteSwitch, disableCoverFlowSwitch, hideStoreButtonSwitch,
//   hideBuyButtonSwitch, hideEditButtonSwitch; delegate. Actions
//   hideExportButtonValueChanged:, hideEditButtonValueChanged:,
//   askBeforeDeleteValueChanged:, disableCoverFlowValueChanged:,
//   hideStoreButtonValueChanged:, hideBuyButtonValueChanged:,
//   hideQueueButtonValueChanged:, hideDeleteButtonValueChanged:.
//
// A switch action stores numberWithBool: of its sender's state through the
// delegate's setPreferencesObject:ForKey:, then reads the key back and puts
// the switch to what is stored (a store that failed leaves the old value).
// A page whose nib is missing shows an empty view.
#pragma once

#include <UIKit/UISwitch.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIViewController.h>

struct Cantrel_MainViewController : UIViewController {
    OBJC_CLASS(Cantrel_MainViewController)

    Weak<UISwitch> _isEnabledSwitch;
    Weak<UIView> _containerView;
    Weak<UILabel> _titleLabel;
    Weak<NSObject> _delegate;
};

struct OptionsViewController : UIViewController {
    OBJC_CLASS(OptionsViewController)

    Weak<NSObject> _delegate;
    Weak<UISwitch> _enforceID3TagOnExportSwitch;
    Weak<UISwitch> _enforceID3TagArtworkSwitch;
};

struct VisualsViewController : UIViewController {
    OBJC_CLASS(VisualsViewController)

    Weak<NSObject> _delegate;
    Weak<UISwitch> _hideExportButtonSwitch;
    Weak<UISwitch> _askBeforeDeleteSwitch;
    Weak<UISwitch> _disableCoverFlowSwitch;
    Weak<UISwitch> _hideStoreButtonSwitch;
    Weak<UISwitch> _hideBuyButtonSwitch;
    Weak<UISwitch> _hideEditButtonSwitch;
};

void registerPages();
