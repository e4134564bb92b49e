// UITableViewCell: one row of a table view; its content goes into
// contentView, which fills the cell.
//
//   initWithStyle:reuseIdentifier:   id(NSInteger, id)
//   initWithFrame:                   id(CGRect)   -> initWithStyle: Default reuseIdentifier: nil
//   contentView                      id()
//   reuseIdentifier                  id()
//   style                            NSInteger()
//   layoutSubviews                   void()       the content view takes the bounds
//   title / setTitle:                id() / void(id)   the row's text (NSString), retained
//   prepareForReuse                  void()       sent when a table hands the cell out again
#pragma once

#include <UIKit/UIView.h>

using UITableViewCellStyle = NSInteger;
inline constexpr UITableViewCellStyle UITableViewCellStyleDefault = 0;
inline constexpr UITableViewCellStyle UITableViewCellStyleValue1 = 1;
inline constexpr UITableViewCellStyle UITableViewCellStyleValue2 = 2;
inline constexpr UITableViewCellStyle UITableViewCellStyleSubtitle = 3;

using UITableViewCellEditingStyle = NSInteger;
inline constexpr UITableViewCellEditingStyle UITableViewCellEditingStyleNone = 0;
inline constexpr UITableViewCellEditingStyle UITableViewCellEditingStyleDelete = 1;
inline constexpr UITableViewCellEditingStyle UITableViewCellEditingStyleInsert = 2;

struct UITableViewCell : UIView {
    OBJC_CLASS(UITableViewCell)

    UITableViewCellStyle _style = UITableViewCellStyleDefault;
    id _reuseIdentifier = nil;        // owned
    UIView* _contentView = nullptr;   // owned (and a subview)
    id _title = nil;                  // owned

    ~UITableViewCell() override;
};
