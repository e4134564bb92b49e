// MessageView: the library's 150 x 150 badge: a light blur, a bold main line,
// an optional second line and a drawn icon (IconView), rounded, with a thin
// light grey border. A badge with a positive interval fades out over 0.3 s
// after that interval and removes itself (the pending dismissal keeps it
// alive meanwhile); one with interval 0 has the second line and stays until
// its caller removes it.
//
// Runtime methods (prototypes as sent):
//   initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:
//                              id(id, double, NSInteger, CGRect, int)
//                              only the frame's size counts: centred across it,
//                              30 points above its middle, 150 higher for view
//                              index 10
//   initWithMessage:dismissAfter:andWithIconTag:andViewIndex:
//                              id(id, double, NSInteger, NSInteger)
//                              over the main screen, centred on its middle (150
//                              higher for view index 10)
//   setupView:iconTag:andInterval:   void(id, NSInteger, double)   builds the badge
//   updateText: / updateSubText:     void(id)   the text of the label tagged 1 / 2
//   addBlurToView:                   void(id)   a light blur over the view's bounds, when
//                                               the platform offers UIBlurEffect
//   dismissAfterDelay                void()     fades out and removes the badge
//   messageTxt / setMessageTxt:      id() / void(id)   retained; not used by the badge
//   txtLabel / setTxtLabel:          id() / void(id)   retained; not used by the badge
//
// Subviews, back to front: the blur (tag 0), the main line (tag 1), the
// second line (tag 2, interval 0 only), the icon (the icon tag).
#pragma once

#include <UIKit/UIView.h>

struct NSString;

struct MessageView : UIView {
    OBJC_CLASS(MessageView)

    Strong<NSString> _messageTxt;
    Strong<UIView> _txtLabel;  // UILabel
};

// Registers the class. Idempotent.
void registerMessageView();

// A badge over the main screen's bounds with `text`, the icon of `iconTag`
// and `interval`, added to the view of `controller` (nothing for nil).
void MessageViewShow(id controller, NSString* text, double interval, long iconTag, int viewIndex);
