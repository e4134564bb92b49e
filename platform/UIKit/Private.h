// Registration of the UIKit classes, one function per source file, called
// by platform::registerUIKit() superclasses first.
#pragma once

namespace platform::uikit {
void registerViews();            // UIResponder, UIView, UIScrollView, UIControl, UIButton
void registerViewControllers();  // UIViewController and its UIKit subclasses
void registerTableViews();       // UITableView, UITableViewCell, _UITableViewCellActionButton
void registerColors();           // UIColor
void registerImages();           // UIImage
void registerScreens();          // UIScreen, UIDevice, _UIOldDevice
}  // namespace platform::uikit
