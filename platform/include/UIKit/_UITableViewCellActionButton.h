// _UITableViewCellActionButton: a button revealed by swiping a table row
// (the system's delete button, and any the app adds).
//
//   layoutSubviews   void()   defined on this class
#pragma once

#include <UIKit/UIButton.h>

struct _UITableViewCellActionButton : UIButton {
    OBJC_CLASS(_UITableViewCellActionButton)
};
