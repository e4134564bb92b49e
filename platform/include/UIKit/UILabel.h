// UILabel: a view that draws a text.
//
//   initWithFrame:                  id(CGRect)       no text, the system font of 17
//                                                    points, black, left aligned, one line
//   text / setText:                 id() / void(id)  NSString, copied
//   font / setFont:                 id() / void(id)  UIFont; nil sets the default back
//   textColor / setTextColor:       id() / void(id)  UIColor; nil sets black back
//   textAlignment / setTextAlignment:   NSInteger()  NSTextAlignment (UIFont.h)
//   numberOfLines / setNumberOfLines:   NSInteger()  0 for as many as fit
//   lineBreakMode / setLineBreakMode:   NSInteger()  NSLineBreakMode; tail truncation by
//                                                    default
//   adjustsFontSizeToFitWidth / setAdjustsFontSizeToFitWidth:   BOOL()
//   minimumScaleFactor / setMinimumScaleFactor:   double()   the smallest size the fitting
//                                                    may choose, as a share of the font's
//   shadowColor / setShadowColor:   id() / void(id)  UIColor; nil (the default) draws no shadow
//   shadowOffset / setShadowOffset: CGSize() / void(CGSize)   (0, -1) by default; the text
//                                                    is drawn first in the shadow colour there
//   drawRect:                       void(CGRect)     sends drawTextInRect: with the bounds
//   drawTextInRect:                 void(CGRect)     the text, wrapped to the width (when
//                                                    more than one line is allowed), centred
//                                                    vertically, clipped to the rect
//   sizeThatFits:                   CGSize(CGSize)
//
// Fitting: with adjustsFontSizeToFitWidth the font shrinks (in half points,
// down to pointSize x minimumScaleFactor, never below 1 point) until every
// line fits the width unbroken within its words and, when more than one line
// is allowed, all lines fit the height.
#pragma once

#include <UIKit/UIFont.h>
#include <UIKit/UIView.h>

struct UIColor;

struct UILabel : UIView {
    OBJC_CLASS(UILabel)

    NSString* _text = nullptr;      // owned
    UIFont* _font = nullptr;        // owned; nil is the default
    UIColor* _textColor = nullptr;  // owned; nil is black
    NSInteger _textAlignment = 0;
    NSInteger _numberOfLines = 1;
    NSInteger _lineBreakMode = 4;
    BOOL _adjustsFontSizeToFitWidth = NO;
    double _minimumScaleFactor = 0;
    Strong<UIColor> _shadowColor;
    CGSize _shadowOffset{0, -1};

    ~UILabel() override;

    // The font size the label draws with inside `width` x `height` points.
    double fittedPointSize(CGSize size);
};
