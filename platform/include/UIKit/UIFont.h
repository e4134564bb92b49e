// UIFont, paragraph styles and the string drawing that NSString gets from
// UIKit. Text is drawn with cairo's fonts, found through fontconfig:
// Liberation Sans stands in for Helvetica and the system font (its bold for
// the bold ones).
//
// UIFont
//   +systemFontOfSize:        id(double)
//   +boldSystemFontOfSize:    id(double)
//   +fontWithName:size:       id(id, double)   "Helvetica", "Helvetica-Bold", "HelveticaNeue",
//                             "HelveticaNeue-Bold", "Arial", "Arial-BoldMT", "LiberationSans",
//                             "LiberationSans-Bold"; nil for any other name. A size of 0 or
//                             less is 12
//   fontWithSize:             id(double)       the same face at another size
//   fontName / familyName     id()             NSString
//   pointSize                 double()
//   lineHeight                double()         ascender + descender + leading
//   ascender / descender      double()         descender negative, as on the platform
//
// NSParagraphStyle / NSMutableParagraphStyle
//   +defaultParagraphStyle    id()             a new style of the receiving class
//   alignment / setAlignment: NSInteger() / void(NSInteger)  (setAlignment: on the mutable one)
//   copy / mutableCopy        id()             owned
//
// NSString (UIKit's drawing methods, added to NSString by UIKit)
//   drawInRect:withAttributes:   void(CGRect, id)   wrapped at word boundaries to the rect's
//                                width, from its top, aligned as the paragraph style asks;
//                                nothing outside the rect
//   drawAtPoint:withAttributes:  void(CGPoint, id)  one line per "\n", the point the top-left
//                                corner, no wrapping
//   sizeWithAttributes:          CGSize(id)         the size drawAtPoint: covers
// Attributes (an NSDictionary, nil for none): NSFontAttributeName (a UIFont;
// Helvetica 12 by default), NSForegroundColorAttributeName (a UIColor; black
// by default), NSParagraphStyleAttributeName (an NSParagraphStyle).
#pragma once

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSString.h>
#include <objc/NSObject.h>

#include <string>
#include <vector>

using NSTextAlignment = NSInteger;
inline constexpr NSTextAlignment NSTextAlignmentLeft = 0;
inline constexpr NSTextAlignment NSTextAlignmentCenter = 1;
inline constexpr NSTextAlignment NSTextAlignmentRight = 2;
inline constexpr NSTextAlignment NSTextAlignmentJustified = 3;  // drawn as left
inline constexpr NSTextAlignment NSTextAlignmentNatural = 4;    // left

using NSLineBreakMode = NSInteger;
inline constexpr NSLineBreakMode NSLineBreakByWordWrapping = 0;
inline constexpr NSLineBreakMode NSLineBreakByCharWrapping = 1;
inline constexpr NSLineBreakMode NSLineBreakByClipping = 2;
inline constexpr NSLineBreakMode NSLineBreakByTruncatingHead = 3;
inline constexpr NSLineBreakMode NSLineBreakByTruncatingTail = 4;
inline constexpr NSLineBreakMode NSLineBreakByTruncatingMiddle = 5;

// The attribute keys (constant strings, compared by value).
#define NSFontAttributeName ("NSFont"_ns)
#define NSForegroundColorAttributeName ("NSColor"_ns)
#define NSParagraphStyleAttributeName ("NSParagraphStyle"_ns)

struct UIFont : NSObject {
    OBJC_CLASS(UIFont)

    std::string _fontName;
    bool _bold = false;
    double _pointSize = 12;

    // An autoreleased font, for C++ callers.
    static UIFont* system(double size, bool bold = false);
};

struct NSParagraphStyle : NSObject {
    OBJC_CLASS(NSParagraphStyle)
    NSInteger _alignment = NSTextAlignmentNatural;
};

struct NSMutableParagraphStyle : NSParagraphStyle {
    OBJC_CLASS(NSMutableParagraphStyle)
};

namespace platform::text {

// A face and size as cairo draws it.
struct Face {
    bool bold = false;
    double size = 12;
};
Face faceOf(UIFont* font);  // Helvetica 12 for nil

struct Metrics {
    double ascent = 0;
    double descent = 0;
    double lineHeight = 0;
};
Metrics metrics(Face face);
double width(Face face, const std::string& text);

// The lines of `text`: one per "\n", each broken at spaces (within a word at
// characters) so that it is no wider than `maxWidth` (no limit when
// maxWidth <= 0). With maxLines > 0 the text is cut after that many lines and
// the last one ends in an ellipsis when text was left out.
std::vector<std::string> wrap(Face face, const std::string& text, double maxWidth, long maxLines);

// Draws the lines into the context from the top of `rect`, each aligned
// within the rect's width, in `color`, clipped to the rect.
void drawLines(CGContextRef context, Face face, const std::vector<std::string>& lines, CGRect rect,
               NSInteger alignment, CGColor color);

}  // namespace platform::text
