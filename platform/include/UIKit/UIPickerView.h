// UIPickerView: rows to scroll through, one column (component) or more,
// from a data source, reported to a delegate.
//
//   dataSource / setDataSource:   id() / void(id)   not retained; answers
//       numberOfComponentsInPickerView: NSInteger(id) and
//       pickerView:numberOfRowsInComponent: NSInteger(id, NSInteger)
//   delegate / setDelegate:       id() / void(id)   not retained; may answer
//       pickerView:titleForRow:forComponent: id(id, NSInteger, NSInteger) and
//       pickerView:didSelectRow:inComponent: void(id, NSInteger, NSInteger)
//   numberOfComponents            NSInteger()
//   numberOfRowsInComponent:      NSInteger(NSInteger)   asked of the data source
//   selectedRowInComponent:       NSInteger(NSInteger)   -1 while no row is selected
//   selectRow:inComponent:animated:   void(NSInteger, NSInteger, BOOL)   no delegate call;
//                                 a row outside the component's rows changes nothing; -1
//                                 (this stand-in's way) shows no row again
//   reloadComponent: / reloadAllComponents   void(NSInteger) / void()   rows asked again;
//                                 a selection past the new end is cleared
//   showsSelectionIndicator / setShowsSelectionIndicator:   BOOL() / void(BOOL)
//   initWithFrame:                a frame of height 0 takes the default height, 216
//   drawRect:                     the selected row's title in the middle band, two rows
//                                 above and below it in grey
#pragma once

#include <UIKit/UIView.h>

#include <map>

inline constexpr double kUIPickerViewDefaultHeight = 216;

struct UIPickerView : UIView {
    OBJC_CLASS(UIPickerView)

    id _dataSource = nil;  // not retained
    id _delegate = nil;    // not retained
    BOOL _showsSelectionIndicator = NO;
    std::map<NSInteger, NSInteger> _selected;  // component -> row
};

namespace platform {

// A user's scroll of the picker onto a row: the row is selected and the
// delegate gets pickerView:didSelectRow:inComponent:. NO, with nothing done,
// for a row the component does not have.
bool scrollPicker(UIPickerView* picker, NSInteger row, NSInteger component = 0);

}  // namespace platform
