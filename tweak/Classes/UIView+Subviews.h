// UIView(Subviews): finds a direct subview by its UIKit tag.
//
//   subViewWithTag:   id(NSInteger)   the first of the receiver's `subviews`, in
//                                     order, whose `tag` is the argument; nil when
//                                     none. Unlike viewWithTag: it never answers the
//                                     receiver itself nor a deeper descendant.
#pragma once

#include <objc/NSObject.h>

// Adds the category's method to UIView. Idempotent.
void registerUIViewSubviews();
