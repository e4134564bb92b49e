// The UIKit classes of the platform.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/CALayer.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIControl.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIMoreListController.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIResponder.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIScrollView.h>
#include <UIKit/UITabBarController.h>
#include <UIKit/UITableView.h>
#include <UIKit/UITableViewCell.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIVisualEffectView.h>
#include <UIKit/_UITableViewCellActionButton.h>
