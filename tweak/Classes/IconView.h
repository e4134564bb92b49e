// IconView: a view that draws one of the library's vector pictures, chosen by
// its UIKit tag (IconViewTag). The message badge shows one as its icon (a grey
// disc with a white sign); the other pictures draw whenever a view carries
// their tag. Pictures are drawn at fixed positions from the view's top-left
// corner, at their own size: neither the rectangle given to drawRect: nor the
// view's bounds change them, and UIKit clips what lies outside the view.
//
// Runtime methods (prototypes as sent):
//   initWithFrame:               id(CGRect)      UIView's (properties 0, 0, nil)
//   initWithCoder:               id(id)          UIView's, then a clear background
//                                                and setSubTag: 0
//   themeIndex / setThemeIndex:  int() / void(int)    carried, never read
//   subTag / setSubTag:          int() / void(int)    number of the screen picture
//                                                     of tags 20 and 25
//   penColor / setPenColor:      id() / void(id)      UIColor, retained; nil until
//                                                     set; the stroke of tag 9
//   drawRect:                    void(CGRect)    the picture of the current tag
//
// Setting the tag or a property does not redraw; send setNeedsDisplay.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIView.h>

#include <optional>
#include <string>

// The tags that select a picture. Every other tag draws nothing.
enum IconViewTag : NSInteger {
    IconViewTagPaperClip = 5,
    IconViewTagHeart = 7,
    IconViewTagChainLink = 9,
    IconViewTagInfo = 15,
    IconViewTagRocket = 16,
    IconViewTagNoImage = 18,
    IconViewTagPhoneWidget = 19,
    IconViewTagPhoneKeyboard = 20,
    IconViewTagDiscCross = 21,
    IconViewTagDiscPlus = 22,
    IconViewTagDiscSquare = 23,
    IconViewTagContentTooLarge = 24,
    IconViewTagPhoneScreen = 25,
    IconViewTagDiscArrowDown = 33,
    IconViewTagDiscArrowRight = 34,
    IconViewTagDiscPlay = 35,
    IconViewTagDiscPlayNext = 36,
    IconViewTagDiscPlayLast = 37,
    IconViewTagDiscSearch = 38,
};

struct IconView : UIView {
    OBJC_CLASS(IconView)

    int _themeIndex = 0;  // atomic: read and written whole, without a lock
    int _subTag = 0;      // atomic, as _themeIndex
    Strong<UIColor> _penColor;
};

// Registers the class. Idempotent.
void registerIconView();

namespace cantrel {

// One picture: its divisor (and the iPad's, where the picture has one) and
// the box it paints, strokes included, in points from the view's top-left
// corner at the phone divisor.
struct IconPicture {
    NSInteger tag;
    const char* name;
    float divisor;
    float padDivisor;  // 0: the same size on every device
    CGRect extent;
    double lineWidth;  // the widest line of the picture, at the phone divisor
};

// The picture of a tag, or nullptr for a tag that draws nothing.
const IconPicture* iconPicture(NSInteger tag);
// Every picture, in tag order.
const IconPicture* iconPictures(size_t* count);
// The picture's extent at the given idiom (larger on an iPad, idiom 1, for
// the pictures that have an iPad divisor).
CGRect iconPictureExtent(const IconPicture& picture, NSInteger idiom);
// The size of a view that shows the whole picture: 100 x 100, or larger when
// the picture is (rounded up to whole points).
CGSize iconPictureViewSize(const IconPicture& picture, NSInteger idiom);

// The name of the image in the phone's screen for tags 19, 20 and 25 (20 and
// 25 number theirs with subTag + 1, computed without overflow); none for
// other tags.
std::optional<std::string> iconImageName(NSInteger tag, int subTag);

}  // namespace cantrel
