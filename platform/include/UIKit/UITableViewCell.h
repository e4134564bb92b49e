// UITableViewCell: one row of a table view; its content goes into
// contentView, which fills the cell.
//
//   initWithStyle:reuseIdentifier:   id(NSInteger, id)
//   initWithFrame:                   id(CGRect)   -> initWithStyle: Default reuseIdentifier: nil
//   contentView                      id()
//   reuseIdentifier                  id()
//   style                            NSInteger()
//   layoutSubviews                   void()       the content view takes the bounds; the text
//                                                 label its bounds less 15 points on each side
//   textLabel                        id()         the UILabel of the row's text, a subview of
//                                                 the content view made at init (system font
//                                                 of 17 points, black, centred vertically)
//   title / setTitle:                id() / void(id)   the row's text (NSString), retained; the
//                                                 text label shows it (setText:, nil for a
//                                                 title that is not a string)
//   prepareForReuse                  void()       sent when a table hands the cell out again
//   drawRect:                        void(CGRect) the separator: a light grey line one pixel
//                                                 high along the bottom, from 15 points in
#pragma once

#include <UIKit/UIView.h>

#include <UIKit/UILabel.h>

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
    UILabel* _textLabel = nullptr;    // owned (and a subview of the content view)
    // UITableViewController.h: the subtitle, the picture and the editing state.
    Strong<UILabel> _detailTextLabel;
    Strong<UIView> _imageView;
    Strong<UIView> _editingAccessoryView;
    NSInteger _selectionStyle = 3;
    BOOL _editingShown = NO;
    BOOL _showsReorderControl = NO;
    CGFloat _editingIndent = 0;

    ~UITableViewCell() override;
};
