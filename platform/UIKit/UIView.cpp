// UIResponder, UIView, UIScrollView, UIControl and UIButton.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIKit.h>

#include <algorithm>

using namespace platform::support;

UIView::~UIView() {
    // Subviews that someone else still retains outlive their superview.
    for (Strong<UIView>& v : _subviews) v->_superview = nullptr;
    clearStrong(_backgroundColor);
    if (_layer != nullptr) _layer->_view = nullptr;
    clearStrong(_layer);
}

namespace {

namespace view {

id init(UIView* self, SEL) { return objc_msgSend<id(CGRect)>(self, "initWithFrame:"_sel, CGRectZero); }

id initWithFrame(UIView* self, SEL, CGRect frame) {
    self = objectAs<UIView>(objc_msgSendSuper<id()>(self, UIView::cls(), "init"_sel));
    if (self == nullptr) return nil;
    self->_frame = frame;
    return self;
}

CGRect frame(UIView* self, SEL) { return self->_frame; }

void setFrame(UIView* self, SEL, CGRect frame) {
    platform::uikit::noteAnimatedChange(self);
    bool resized = !CGSizeEqualToSize(self->_frame.size, frame.size);
    self->_frame = frame;
    if (resized) objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

CGRect bounds(UIView* self, SEL) { return CGRect{CGPointZero, self->_frame.size}; }

NSInteger tag(UIView* self, SEL) { return self->_tag; }

void setTag(UIView* self, SEL, NSInteger tag) { self->_tag = tag; }

id superview(UIView* self, SEL) { return self->_superview; }

id subviews(UIView* self, SEL) { return arrayOf(self->_subviews); }

void addSubview(UIView* self, SEL, id obj) {
    UIView* view = requireObject<UIView>(obj, "-[UIView addSubview:]");
    if (view == nullptr) return;
    for (UIView* v = self; v != nullptr; v = v->_superview) {
        if (v == view)
            NSException::raise(NSInvalidArgumentException, "-[UIView addSubview:]: a view cannot be its own subview");
    }
    Strong<UIView> keep(view);
    if (view->_superview == self) {
        // Already ours: to the front.
        auto& list = self->_subviews;
        list.erase(std::find_if(list.begin(), list.end(), [&](const Strong<UIView>& v) { return v.get() == view; }));
        list.push_back(keep);
    } else {
        objc_msgSend<void()>(view, "removeFromSuperview"_sel);
        self->_subviews.push_back(keep);
        view->_superview = self;
    }
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);
}

void removeFromSuperview(UIView* self, SEL) {
    UIView* parent = self->_superview;
    if (parent == nullptr) return;
    // The superview may hold the last reference; the view goes when this returns.
    Strong<UIView> keep(self);
    self->_superview = nullptr;
    auto& list = parent->_subviews;
    auto it = std::find_if(list.begin(), list.end(), [&](const Strong<UIView>& v) { return v.get() == self; });
    if (it != list.end()) list.erase(it);
    objc_msgSend<void()>(parent, "setNeedsLayout"_sel);
}

id viewWithTag(UIView* self, SEL, NSInteger tag) {
    if (objc_msgSend<NSInteger()>(self, "tag"_sel) == tag) return self;
    // A copy: an overriding viewWithTag: may change the list.
    std::vector<Strong<UIView>> subviews = self->_subviews;
    for (const Strong<UIView>& v : subviews) {
        if (id found = objc_msgSend<id(NSInteger)>(v.get(), "viewWithTag:"_sel, tag)) return found;
    }
    return nil;
}

void setNeedsLayout(UIView* self, SEL) { self->_needsLayout = YES; }

void layoutIfNeeded(UIView* self, SEL) {
    if (self->_needsLayout) {
        self->_needsLayout = NO;
        Strong<UIViewController> controller(self->_viewDelegate);
        objc_msgSend<void()>(controller.get(), "viewWillLayoutSubviews"_sel);
        objc_msgSend<void()>(self, "layoutSubviews"_sel);
        objc_msgSend<void()>(controller.get(), "viewDidLayoutSubviews"_sel);
    }
    std::vector<Strong<UIView>> subviews = self->_subviews;
    for (const Strong<UIView>& v : subviews) objc_msgSend<void()>(v.get(), "layoutIfNeeded"_sel);
}

void layoutSubviews(UIView* self, SEL) { platform::uikit::applyEdgeConstraints(self); }

id backgroundColor(UIView* self, SEL) { return self->_backgroundColor; }

void setBackgroundColor(UIView* self, SEL, id color) {
    platform::uikit::noteAnimatedChange(self);
    storeStrong(self->_backgroundColor, requireObject<UIColor>(color, "-[UIView setBackgroundColor:]"));
}

}  // namespace view

namespace scrollView {

CGSize contentSize(UIScrollView* self, SEL) { return self->_contentSize; }
void setContentSize(UIScrollView* self, SEL, CGSize size) { self->_contentSize = size; }
CGPoint contentOffset(UIScrollView* self, SEL) { return self->_contentOffset; }
void setContentOffset(UIScrollView* self, SEL, CGPoint offset) { self->_contentOffset = offset; }

}  // namespace scrollView

}  // namespace

void platform::uikit::registerViews() {
    objc::ClassDef<UIResponder>("UIResponder", NSObject::cls());
    objc::ClassDef<UIView>("UIView", UIResponder::cls())
        .method<view::init>("init")
        .method<view::initWithFrame>("initWithFrame:")
        .method<view::frame>("frame")
        .method<view::setFrame>("setFrame:")
        .method<view::bounds>("bounds")
        .method<view::tag>("tag")
        .method<view::setTag>("setTag:")
        .method<view::superview>("superview")
        .method<view::subviews>("subviews")
        .method<view::addSubview>("addSubview:")
        .method<view::removeFromSuperview>("removeFromSuperview")
        .method<view::viewWithTag>("viewWithTag:")
        .method<view::setNeedsLayout>("setNeedsLayout")
        .method<view::layoutIfNeeded>("layoutIfNeeded")
        .method<view::layoutSubviews>("layoutSubviews")
        .method<view::backgroundColor>("backgroundColor")
        .method<view::setBackgroundColor>("setBackgroundColor:")
        .OBJC_IVAR(UIView, _frame)
        .OBJC_IVAR(UIView, _tag)
        .OBJC_IVAR(UIView, _superview)
        .OBJC_IVAR(UIView, _viewDelegate)
        .OBJC_IVAR(UIView, _backgroundColor);
    objc::ClassDef<UIScrollView>("UIScrollView", UIView::cls())
        .method<scrollView::contentSize>("contentSize")
        .method<scrollView::setContentSize>("setContentSize:")
        .method<scrollView::contentOffset>("contentOffset")
        .method<scrollView::setContentOffset>("setContentOffset:")
        .OBJC_IVAR(UIScrollView, _contentSize)
        .OBJC_IVAR(UIScrollView, _contentOffset);
    objc::ClassDef<UIControl>("UIControl", UIView::cls());
    objc::ClassDef<UIButton>("UIButton", UIControl::cls());
}
