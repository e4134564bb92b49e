// UILabel.
#include "ObjectSupport.h"
#include "Private.h"

#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UILabel.h>

#include <algorithm>
#include <cmath>

using namespace platform::support;
namespace text = platform::text;

UILabel::~UILabel() {
    clearStrong(_text);
    clearStrong(_font);
    clearStrong(_textColor);
}

namespace {

constexpr double kDefaultFontSize = 17;

text::Face faceOf(UILabel* label) {
    UIFont* font = objectAs<UIFont>(objc_msgSend<id()>(label, "font"_sel));
    return text::faceOf(font);
}

std::string textOf(UILabel* label) {
    return to_string(objectAs<NSString>(objc_msgSend<id()>(label, "text"_sel)));
}

// The lines of the label's text at `face` within `width`.
std::vector<std::string> linesOf(UILabel* label, text::Face face, double width, bool truncate) {
    long lines = static_cast<long>(label->_numberOfLines);
    std::string s = textOf(label);
    if (lines == 1) {
        // One line: no wrapping, the text cut at the end when it is too wide.
        std::string one = s.substr(0, s.find('\n'));
        if (truncate && text::width(face, one) > width) return text::wrap(face, one, width, 1);
        return {one};
    }
    return text::wrap(face, s, width, truncate ? lines : 0);
}

bool fits(UILabel* label, text::Face face, CGSize size) {
    std::vector<std::string> lines = linesOf(label, face, label->_numberOfLines == 1 ? 0 : size.width, false);
    for (const std::string& line : lines)
        if (text::width(face, line) > size.width) return false;
    if (label->_numberOfLines == 1) return true;
    // Words broken across lines do not fit either.
    std::vector<std::string> unbroken = text::wrap(face, textOf(label), 0, 0);
    for (const std::string& paragraph : unbroken) {
        size_t start = 0;
        while (start <= paragraph.size()) {
            size_t space = paragraph.find(' ', start);
            if (space == std::string::npos) space = paragraph.size();
            if (text::width(face, paragraph.substr(start, space - start)) > size.width) return false;
            start = space + 1;
        }
    }
    size_t allowed = label->_numberOfLines > 0 ? static_cast<size_t>(label->_numberOfLines) : lines.size();
    return lines.size() <= allowed && lines.size() * text::metrics(face).lineHeight <= size.height + 0.01;
}

namespace label {

id initWithFrame(UILabel* self, SEL, CGRect frame) {
    self = objectAs<UILabel>(objc_msgSendSuper<id(CGRect)>(self, UILabel::cls(), "initWithFrame:"_sel, frame));
    if (self == nullptr) return nil;
    return self;
}

id text(UILabel* self, SEL) { return self->_text; }

void setText(UILabel* self, SEL, id value) {
    auto* s = requireObject<NSString>(value, "-[UILabel setText:]");
    NSString* copy = s ? NSString::create(s->str()) : nullptr;
    objc_release(std::exchange(self->_text, copy));
}

id font(UILabel* self, SEL) { return self->_font ? self->_font : UIFont::system(kDefaultFontSize); }
void setFont(UILabel* self, SEL, id value) { storeStrong(self->_font, requireObject<UIFont>(value, "-[UILabel setFont:]")); }

id textColor(UILabel* self, SEL) { return self->_textColor ? self->_textColor : UIColor::make(0, 0, 0, 1); }
void setTextColor(UILabel* self, SEL, id value) {
    storeStrong(self->_textColor, requireObject<UIColor>(value, "-[UILabel setTextColor:]"));
}

NSInteger textAlignment(UILabel* self, SEL) { return self->_textAlignment; }
void setTextAlignment(UILabel* self, SEL, NSInteger v) { self->_textAlignment = v; }
NSInteger numberOfLines(UILabel* self, SEL) { return self->_numberOfLines; }
void setNumberOfLines(UILabel* self, SEL, NSInteger v) { self->_numberOfLines = std::max<NSInteger>(v, 0); }
NSInteger lineBreakMode(UILabel* self, SEL) { return self->_lineBreakMode; }
void setLineBreakMode(UILabel* self, SEL, NSInteger v) { self->_lineBreakMode = v; }
BOOL adjusts(UILabel* self, SEL) { return self->_adjustsFontSizeToFitWidth; }
void setAdjusts(UILabel* self, SEL, BOOL v) { self->_adjustsFontSizeToFitWidth = v; }
double minimumScaleFactor(UILabel* self, SEL) { return self->_minimumScaleFactor; }
void setMinimumScaleFactor(UILabel* self, SEL, double v) {
    self->_minimumScaleFactor = std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0;
}

id shadowColor(UILabel* self, SEL) { return self->_shadowColor.get(); }
void setShadowColor(UILabel* self, SEL, id colour) {
    self->_shadowColor = requireObject<UIColor>(colour, "-[UILabel setShadowColor:]");
}
CGSize shadowOffset(UILabel* self, SEL) { return self->_shadowOffset; }
void setShadowOffset(UILabel* self, SEL, CGSize v) {
    if (std::isfinite(v.width) && std::isfinite(v.height)) self->_shadowOffset = v;
}

void drawTextInRect(UILabel* self, SEL, CGRect rect) {
    CGContextRef c = UIGraphicsGetCurrentContext();
    if (c == nullptr) return;
    rect = CGRectStandardize(rect);
    text::Face face = faceOf(self);
    face.size = self->fittedPointSize(rect.size);
    bool wraps = self->_numberOfLines != 1;
    std::vector<std::string> lines = linesOf(self, face, rect.size.width, true);
    if (wraps) {
        // Only the lines that fit the height, at least one.
        size_t fit = static_cast<size_t>(std::max(1.0, std::floor(rect.size.height / text::metrics(face).lineHeight + 0.01)));
        if (lines.size() > fit) lines = text::wrap(face, textOf(self), rect.size.width, static_cast<long>(fit));
    }
    double height = lines.size() * text::metrics(face).lineHeight;
    CGRect box = rect;
    box.origin.y += std::max(0.0, (rect.size.height - height) / 2);
    box.size.height = rect.origin.y + rect.size.height - box.origin.y;
    auto* color = objectAs<UIColor>(objc_msgSend<id()>(self, "textColor"_sel));
    CGContextSaveGState(c);
    CGContextClipToRect(c, rect);
    if (UIColor* shadow = self->_shadowColor.get()) {
        CGRect moved = box;
        moved.origin.x += self->_shadowOffset.width;
        moved.origin.y += self->_shadowOffset.height;
        text::drawLines(c, face, lines, moved, self->_textAlignment, shadow->cgColor());
    }
    auto draw = [&](CGColor paint) { text::drawLines(c, face, lines, box, self->_textAlignment, paint); };
    if (!platform::uikit::paintWithPattern(c, color, draw)) draw(color ? color->cgColor() : CGColor{0, 0, 0, 1});
    CGContextRestoreGState(c);
}

void drawRect(UILabel* self, SEL, CGRect) {
    objc_msgSend<void(CGRect)>(self, "drawTextInRect:"_sel, objc_msgSend<CGRect()>(self, "bounds"_sel));
}

CGSize sizeThatFits(UILabel* self, SEL, CGSize size) {
    text::Face face = faceOf(self);
    std::vector<std::string> lines = linesOf(self, face, self->_numberOfLines == 1 ? 0 : size.width, false);
    if (self->_numberOfLines > 0 && lines.size() > static_cast<size_t>(self->_numberOfLines))
        lines.resize(static_cast<size_t>(self->_numberOfLines));
    double w = 0;
    for (const auto& line : lines) w = std::max(w, text::width(face, line));
    return CGSizeMake(std::ceil(w), std::ceil(lines.size() * text::metrics(face).lineHeight));
}

}  // namespace label

}  // namespace

double UILabel::fittedPointSize(CGSize size) {
    text::Face face = faceOf(this);
    if (!_adjustsFontSizeToFitWidth) return face.size;
    double smallest = std::max(1.0, face.size * _minimumScaleFactor);
    double full = face.size;
    while (face.size > smallest && !fits(this, face, size)) face.size = std::max(smallest, face.size - 0.5);
    return std::min(face.size, full);
}

void platform::uikit::registerLabels() {
    objc::ClassDef<UILabel>("UILabel", UIView::cls())
        .method<label::initWithFrame>("initWithFrame:")
        .method<label::text>("text")
        .method<label::setText>("setText:")
        .method<label::font>("font")
        .method<label::setFont>("setFont:")
        .method<label::textColor>("textColor")
        .method<label::setTextColor>("setTextColor:")
        .method<label::textAlignment>("textAlignment")
        .method<label::setTextAlignment>("setTextAlignment:")
        .method<label::numberOfLines>("numberOfLines")
        .method<label::setNumberOfLines>("setNumberOfLines:")
        .method<label::lineBreakMode>("lineBreakMode")
        .method<label::setLineBreakMode>("setLineBreakMode:")
        .method<label::adjusts>("adjustsFontSizeToFitWidth")
        .method<label::setAdjusts>("setAdjustsFontSizeToFitWidth:")
        .method<label::minimumScaleFactor>("minimumScaleFactor")
        .method<label::setMinimumScaleFactor>("setMinimumScaleFactor:")
        .method<label::shadowColor>("shadowColor")
        .method<label::setShadowColor>("setShadowColor:")
        .method<label::shadowOffset>("shadowOffset")
        .method<label::setShadowOffset>("setShadowOffset:")
        .method<label::drawTextInRect>("drawTextInRect:")
        .method<label::drawRect>("drawRect:")
        .method<label::sizeThatFits>("sizeThatFits:")
        .OBJC_IVAR(UILabel, _text)
        .OBJC_IVAR(UILabel, _font)
        .OBJC_IVAR(UILabel, _textColor)
        .OBJC_IVAR(UILabel, _textAlignment)
        .OBJC_IVAR(UILabel, _numberOfLines);
}
