// UIScrollView: a view whose content may be larger than its bounds.
//
//   contentSize / setContentSize:       CGSize() / void(CGSize)
//   contentOffset / setContentOffset:   CGPoint() / void(CGPoint)
#pragma once

#include <UIKit/UIView.h>

struct UIScrollView : UIView {
    OBJC_CLASS(UIScrollView)

    CGSize _contentSize = CGSizeZero;
    CGPoint _contentOffset = CGPointZero;
};
