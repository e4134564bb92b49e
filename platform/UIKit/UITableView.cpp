// UITableView, UITableViewCell and _UITableViewCellActionButton.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIKit.h>

#include <algorithm>

using namespace platform::support;

UITableViewCell::~UITableViewCell() {
    clearStrong(_reuseIdentifier);
    clearStrong(_contentView);
}

namespace {

BOOL answers(id obj, SEL sel) { return objc_msgSend<BOOL(SEL)>(obj, "respondsToSelector:"_sel, sel); }

namespace table {

id initWithFrame(UITableView* self, SEL, CGRect frame) {
    return objc_msgSend<id(CGRect, NSInteger)>(self, "initWithFrame:style:"_sel, frame, UITableViewStylePlain);
}

id initWithFrameStyle(UITableView* self, SEL, CGRect frame, NSInteger style) {
    self = objectAs<UITableView>(objc_msgSendSuper<id(CGRect)>(self, UITableView::cls(), "initWithFrame:"_sel, frame));
    if (self == nullptr) return nil;
    self->_style = style;
    return self;
}

NSInteger style(UITableView* self, SEL) { return self->_style; }
id delegate(UITableView* self, SEL) { return self->_delegate; }
void setDelegate(UITableView* self, SEL, id delegate) { self->_delegate = delegate; }
id dataSource(UITableView* self, SEL) { return self->_dataSource; }
void setDataSource(UITableView* self, SEL, id dataSource) { self->_dataSource = dataSource; }
BOOL isEditing(UITableView* self, SEL) { return self->_editing; }
void setEditing(UITableView* self, SEL, BOOL editing) { self->_editing = editing; }

void reloadData(UITableView* self, SEL) {
    id source = self->_dataSource;
    NSInteger sections = 0;
    if (source != nullptr) {
        sections = answers(source, "numberOfSectionsInTableView:"_sel)
                       ? objc_msgSend<NSInteger(id)>(source, "numberOfSectionsInTableView:"_sel, self)
                       : 1;
    }
    std::vector<NSInteger> rows(static_cast<size_t>(std::max<NSInteger>(sections, 0)), 0);
    if (answers(source, "tableView:numberOfRowsInSection:"_sel)) {
        for (size_t s = 0; s < rows.size(); ++s) {
            NSInteger n = objc_msgSend<NSInteger(id, NSInteger)>(source, "tableView:numberOfRowsInSection:"_sel, self,
                                                                 static_cast<NSInteger>(s));
            rows[s] = std::max<NSInteger>(n, 0);
        }
    }
    self->_rowCounts = std::move(rows);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

NSInteger numberOfSections(UITableView* self, SEL) { return static_cast<NSInteger>(self->_rowCounts.size()); }

NSInteger numberOfRowsInSection(UITableView* self, SEL, NSInteger section) {
    if (section < 0 || static_cast<size_t>(section) >= self->_rowCounts.size()) return 0;
    return self->_rowCounts[static_cast<size_t>(section)];
}

// The system's own swipe buttons of a row: none yet.
id swipeActionButtonsForRowAtIndexPath(UITableView*, SEL, id) { return mutableArray(); }

}  // namespace table

namespace cell {

// The size of a plain row.
constexpr CGRect kDefaultFrame = CGRectMake(0, 0, 320, 44);

id initWithFrame(UITableViewCell* self, SEL, CGRect frame) {
    self = objectAs<UITableViewCell>(objc_msgSend<id(NSInteger, id)>(self, "initWithStyle:reuseIdentifier:"_sel,
                                                                     UITableViewCellStyleDefault, nil));
    if (self == nullptr) return nil;
    objc_msgSend<void(CGRect)>(self, "setFrame:"_sel, frame);
    return self;
}

id initWithStyleReuseIdentifier(UITableViewCell* self, SEL, NSInteger style, id reuseIdentifier) {
    self = objectAs<UITableViewCell>(
        objc_msgSendSuper<id(CGRect)>(self, UITableViewCell::cls(), "initWithFrame:"_sel, kDefaultFrame));
    if (self == nullptr) return nil;
    self->_style = style;
    storeStrong(self->_reuseIdentifier, reuseIdentifier);
    id content = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                          objc_msgSend<CGRect()>(self, "bounds"_sel));
    storeStrong(self->_contentView, requireObject<UIView>(content, "-[UITableViewCell initWithStyle:reuseIdentifier:]"));
    objc_release(content);
    objc_msgSend<void(id)>(self, "addSubview:"_sel, self->_contentView);
    return self;
}

id contentView(UITableViewCell* self, SEL) { return self->_contentView; }
id reuseIdentifier(UITableViewCell* self, SEL) { return self->_reuseIdentifier; }
NSInteger style(UITableViewCell* self, SEL) { return self->_style; }

void layoutSubviews(UITableViewCell* self, SEL) {
    objc_msgSendSuper<void()>(self, UITableViewCell::cls(), "layoutSubviews"_sel);
    objc_msgSend<void(CGRect)>(self->_contentView, "setFrame:"_sel, objc_msgSend<CGRect()>(self, "bounds"_sel));
}

}  // namespace cell

namespace actionButton {

void layoutSubviews(_UITableViewCellActionButton* self, SEL) {
    objc_msgSendSuper<void()>(self, _UITableViewCellActionButton::cls(), "layoutSubviews"_sel);
}

}  // namespace actionButton

}  // namespace

void platform::uikit::registerTableViews() {
    objc::ClassDef<UITableView>("UITableView", UIScrollView::cls())
        .method<table::initWithFrame>("initWithFrame:")
        .method<table::initWithFrameStyle>("initWithFrame:style:")
        .method<table::style>("style")
        .method<table::delegate>("delegate")
        .method<table::setDelegate>("setDelegate:")
        .method<table::dataSource>("dataSource")
        .method<table::setDataSource>("setDataSource:")
        .method<table::isEditing>("isEditing")
        .method<table::setEditing>("setEditing:")
        .method<table::reloadData>("reloadData")
        .method<table::numberOfSections>("numberOfSections")
        .method<table::numberOfRowsInSection>("numberOfRowsInSection:")
        .method<table::swipeActionButtonsForRowAtIndexPath>("_swipeActionButtonsForRowAtIndexPath:")
        .OBJC_IVAR(UITableView, _style)
        .OBJC_IVAR(UITableView, _delegate)
        .OBJC_IVAR(UITableView, _dataSource)
        .OBJC_IVAR(UITableView, _editing);
    objc::ClassDef<UITableViewCell>("UITableViewCell", UIView::cls())
        .method<cell::initWithFrame>("initWithFrame:")
        .method<cell::initWithStyleReuseIdentifier>("initWithStyle:reuseIdentifier:")
        .method<cell::contentView>("contentView")
        .method<cell::reuseIdentifier>("reuseIdentifier")
        .method<cell::style>("style")
        .method<cell::layoutSubviews>("layoutSubviews")
        .OBJC_IVAR(UITableViewCell, _style)
        .OBJC_IVAR(UITableViewCell, _reuseIdentifier)
        .OBJC_IVAR(UITableViewCell, _contentView);
    objc::ClassDef<_UITableViewCellActionButton>("_UITableViewCellActionButton", UIButton::cls())
        .method<actionButton::layoutSubviews>("layoutSubviews");
}
