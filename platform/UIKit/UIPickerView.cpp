// UIPickerView: rows from a data source, a selection per component.
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>
#include <UIKit/UIPickerView.h>

using namespace platform::support;

namespace {

bool answers(id obj, SEL sel) { return obj != nil && objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel); }

namespace picker {

id initWithFrame(UIPickerView* self, SEL, CGRect frame) {
    if (frame.size.height == 0) frame.size.height = kUIPickerViewDefaultHeight;
    return objc_msgSendSuper<id(CGRect)>(self, UIPickerView::cls(), "initWithFrame:"_sel, frame);
}

id dataSource(UIPickerView* self, SEL) { return self->_dataSource; }
void setDataSource(UIPickerView* self, SEL, id d) { self->_dataSource = d; }
id delegate(UIPickerView* self, SEL) { return self->_delegate; }
void setDelegate(UIPickerView* self, SEL, id d) { self->_delegate = d; }
BOOL showsSelectionIndicator(UIPickerView* self, SEL) { return self->_showsSelectionIndicator; }
void setShowsSelectionIndicator(UIPickerView* self, SEL, BOOL v) { self->_showsSelectionIndicator = v; }

NSInteger numberOfComponents(UIPickerView* self, SEL) {
    if (!answers(self->_dataSource, "numberOfComponentsInPickerView:"_sel)) return 0;
    return objc_msgSend<NSInteger(id)>(self->_dataSource, "numberOfComponentsInPickerView:"_sel, self);
}

NSInteger numberOfRows(UIPickerView* self, SEL, NSInteger component) {
    if (!answers(self->_dataSource, "pickerView:numberOfRowsInComponent:"_sel)) return 0;
    return std::max<NSInteger>(0, objc_msgSend<NSInteger(id, NSInteger)>(
                                      self->_dataSource, "pickerView:numberOfRowsInComponent:"_sel, self, component));
}

NSInteger selectedRow(UIPickerView* self, SEL, NSInteger component) {
    auto it = self->_selected.find(component);
    return it == self->_selected.end() ? -1 : it->second;
}

void selectRow(UIPickerView* self, SEL, NSInteger row, NSInteger component, BOOL) {
    if (row == -1) {
        self->_selected.erase(component);
        return;
    }
    NSInteger rows = objc_msgSend<NSInteger(NSInteger)>(self, "numberOfRowsInComponent:"_sel, component);
    if (row < 0 || row >= rows) return;
    self->_selected[component] = row;
}

void reloadComponent(UIPickerView* self, SEL, NSInteger component) {
    NSInteger rows = objc_msgSend<NSInteger(NSInteger)>(self, "numberOfRowsInComponent:"_sel, component);
    auto it = self->_selected.find(component);
    if (it != self->_selected.end() && it->second >= rows) self->_selected.erase(it);
}

void reloadAllComponents(UIPickerView* self, SEL) {
    std::map<NSInteger, NSInteger> selected = self->_selected;
    for (const auto& [component, row] : selected)
        objc_msgSend<void(NSInteger)>(self, "reloadComponent:"_sel, component);
}

id titleOfRow(UIPickerView* self, NSInteger row, NSInteger component) {
    if (!answers(self->_delegate, "pickerView:titleForRow:forComponent:"_sel)) return nil;
    return objc_msgSend<id(id, NSInteger, NSInteger)>(self->_delegate, "pickerView:titleForRow:forComponent:"_sel, self,
                                                      row, component);
}

constexpr double kRowHeight = 32;

void drawRect(UIPickerView* self, SEL, CGRect) {
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    double middle = bounds.size.height / 2;
    NSInteger rows = objc_msgSend<NSInteger(NSInteger)>(self, "numberOfRowsInComponent:"_sel, 0);
    NSInteger selected = objc_msgSend<NSInteger(NSInteger)>(self, "selectedRowInComponent:"_sel, 0);
    NSInteger centre = selected < 0 ? 0 : selected;
    if (self->_showsSelectionIndicator || selected >= 0) {
        id band = objc_msgSend<id(CGRect)>(objc_getClass("UIBezierPath"), "bezierPathWithRect:"_sel,
                                           CGRectMake(0, middle - kRowHeight / 2, bounds.size.width, kRowHeight));
        objc_msgSend<void()>(UIColor::make(0.94, 0.94, 0.96, 1), "setFill"_sel);
        objc_msgSend<void()>(band, "fill"_sel);
    }
    for (NSInteger r = centre - 3; r <= centre + 3; ++r) {
        if (r < 0 || r >= rows) continue;
        id title = titleOfRow(self, r, 0);
        if (title == nil) continue;
        bool chosen = r == selected;
        id font = UIFont::system(chosen ? 21 : 18);
        id colour = chosen ? UIColor::make(0, 0, 0, 1) : UIColor::make(0.6, 0.6, 0.6, 1);
        NSDictionary* attributes = NSDictionary::make({{NSFontAttributeName, font}, {NSForegroundColorAttributeName, colour}});
        CGSize size = objc_msgSend<CGSize(id)>(title, "sizeWithAttributes:"_sel, attributes);
        double y = middle + (r - centre) * kRowHeight - size.height / 2;
        objc_msgSend<void(CGPoint, id)>(title, "drawAtPoint:withAttributes:"_sel,
                                        CGPointMake((bounds.size.width - size.width) / 2, y), attributes);
    }
}

}  // namespace picker

}  // namespace

void platform::uikit::registerPickerViews() {
    objc::ClassDef<UIPickerView>("UIPickerView", UIView::cls())
        .method<picker::initWithFrame>("initWithFrame:")
        .method<picker::dataSource>("dataSource")
        .method<picker::setDataSource>("setDataSource:")
        .method<picker::delegate>("delegate")
        .method<picker::setDelegate>("setDelegate:")
        .method<picker::showsSelectionIndicator>("showsSelectionIndicator")
        .method<picker::setShowsSelectionIndicator>("setShowsSelectionIndicator:")
        .method<picker::numberOfComponents>("numberOfComponents")
        .method<picker::numberOfRows>("numberOfRowsInComponent:")
        .method<picker::selectedRow>("selectedRowInComponent:")
        .method<picker::selectRow>("selectRow:inComponent:animated:")
        .method<picker::reloadComponent>("reloadComponent:")
        .method<picker::reloadAllComponents>("reloadAllComponents")
        .method<picker::drawRect>("drawRect:");
}

bool platform::scrollPicker(UIPickerView* picker, NSInteger row, NSInteger component) {
    if (picker == nullptr) return false;
    NSInteger rows = objc_msgSend<NSInteger(NSInteger)>(picker, "numberOfRowsInComponent:"_sel, component);
    if (row < 0 || row >= rows) return false;
    Strong<UIPickerView> keep(picker);
    picker->_selected[component] = row;
    if (answers(picker->_delegate, "pickerView:didSelectRow:inComponent:"_sel))
        objc_msgSend<void(id, NSInteger, NSInteger)>(picker->_delegate, "pickerView:didSelectRow:inComponent:"_sel,
                                                     picker, row, component);
    return true;
}
