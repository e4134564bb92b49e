#include "StarRatingControl.h"

#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>

#include <algorithm>
#include <mutex>

namespace {

constexpr double kStarWidth = 40;
constexpr double kStarHeight = 60;
constexpr double kFirstStarX = 35;

id starAt(StarRatingControl* self, int position) {
    return objc_msgSend<id(NSInteger)>(self, "subViewWithTag:"_sel, position);
}

void releaseKeyboard(StarRatingControl* self) {
    if (self->delegate != nil) objc_msgSend<void()>(self->delegate, "releaseKeyboard"_sel);
}

void light(id star, BOOL lit) {
    objc_msgSend<void(BOOL)>(star, "setHighlighted:"_sel, lit);
    objc_msgSend<void()>(star, "setNeedsDisplay"_sel);
}

namespace control {

void setupView(StarRatingControl* self, SEL) {
    objc_msgSend<void(BOOL)>(self, "setClipsToBounds:"_sel, YES);
    self->currentIdx = -1;
    for (int p = 0; p < self->numberOfStars; ++p) {
        id star = objc_msgSend<id(int)>(objc_msgSend<id()>(StarView::cls(), "alloc"_sel), "initWithDefaultPosition:"_sel, p);
        objc_msgSend<void(id)>(self, "addSubview:"_sel, star);
        objc_release(star);
    }
}

id initWithCoder(StarRatingControl* self, SEL, id coder) {
    self->decoding = true;
    id result = objc_msgSendSuper<id(id)>(self, StarRatingControl::cls(), "initWithCoder:"_sel, coder);
    if (result == nil) return nil;
    static_cast<StarRatingControl*>(result)->decoding = false;
    static_cast<StarRatingControl*>(result)->numberOfStars = 5;
    objc_msgSend<void()>(result, "setupView"_sel);
    return result;
}

id initWithFrame(StarRatingControl* self, SEL, CGRect frame) {
    id result = objc_msgSendSuper<id(CGRect)>(self, StarRatingControl::cls(), "initWithFrame:"_sel, frame);
    if (result == nil || static_cast<StarRatingControl*>(result)->decoding) return result;
    static_cast<StarRatingControl*>(result)->numberOfStars = 5;
    objc_msgSend<void()>(result, "setupView"_sel);
    return result;
}

id initWithFrameAndStars(StarRatingControl* self, SEL, CGRect frame, int stars, BOOL) {
    id result = objc_msgSendSuper<id(CGRect)>(self, StarRatingControl::cls(), "initWithFrame:"_sel, frame);
    if (result == nil) return nil;
    static_cast<StarRatingControl*>(result)->numberOfStars = std::max(0, stars);
    objc_msgSend<void()>(result, "setupView"_sel);
    return result;
}

id starForPoint(StarRatingControl* self, SEL, CGPoint point) {
    for (int p = 0; p < self->numberOfStars; ++p) {
        id star = starAt(self, p);
        if (star == nil) continue;
        CGRect f = objc_msgSend<CGRect()>(star, "frame"_sel);
        if (point.x >= CGRectGetMinX(f) && point.x < CGRectGetMaxX(f) && point.y >= CGRectGetMinY(f) &&
            point.y < CGRectGetMaxY(f))
            return star;
    }
    return nil;
}

void enableStarsUpTo(StarRatingControl* self, SEL, int n) {
    for (int p = 0; p <= std::min(n, self->numberOfStars - 1); ++p) {
        light(starAt(self, p), YES);
        releaseKeyboard(self);
    }
}

void disableStarsDownTo(StarRatingControl* self, SEL, int n) {
    for (int p = self->numberOfStars - 1; p >= std::max(n, 0); --p) {
        light(starAt(self, p), NO);
        releaseKeyboard(self);
    }
}

void disableStarsDownToExclusive(StarRatingControl* self, SEL, int n) {
    objc_msgSend<void(int)>(self, "disableStarsDownTo:"_sel, n + 1);
}

// A rating outside 0 .. numberOfStars lights no star that is not there.
void setRating(StarRatingControl* self, SEL, int rating) {
    rating = std::clamp(rating, 0, self->numberOfStars);
    objc_msgSend<void(int)>(self, "disableStarsDownTo:"_sel, 0);
    self->currentIdx = rating - 1;
    objc_msgSend<void(int)>(self, "enableStarsUpTo:"_sel, rating - 1);
}

int rating(StarRatingControl* self, SEL) { return self->currentIdx + 1; }
int numberOfStars(StarRatingControl* self, SEL) { return self->numberOfStars; }
id delegate(StarRatingControl* self, SEL) { return self->delegate; }
void setDelegate(StarRatingControl* self, SEL, id d) { self->delegate = d; }

CGPoint touchPoint(StarRatingControl* self, id touch) {
    return objc_msgSend<CGPoint(id)>(touch, "locationInView:"_sel, self);
}

BOOL beginTracking(StarRatingControl* self, SEL, id touch, id) {
    self->idxBeforeTouch = self->currentIdx;
    id star = objc_msgSend<id(CGPoint)>(self, "starForPoint:"_sel, touchPoint(self, touch));
    if (star == nil) return YES;
    int t = static_cast<int>(objc_msgSend<NSInteger()>(star, "tag"_sel));
    if (objc_msgSend<BOOL()>(star, "isHighlighted"_sel))
        objc_msgSend<void(int)>(self, "disableStarsDownToExclusive:"_sel, t);
    else
        objc_msgSend<void(int)>(self, "enableStarsUpTo:"_sel, t);
    self->currentIdx = t;
    return YES;
}

BOOL continueTracking(StarRatingControl* self, SEL, id touch, id) {
    CGPoint point = touchPoint(self, touch);
    id star = objc_msgSend<id(CGPoint)>(self, "starForPoint:"_sel, point);
    if (star != nil) {
        int t = static_cast<int>(objc_msgSend<NSInteger()>(star, "tag"_sel));
        if (t < self->currentIdx) {
            light(starAt(self, self->currentIdx), NO);
            self->currentIdx = t;
            objc_msgSend<void(int)>(self, "disableStarsDownToExclusive:"_sel, t);
            releaseKeyboard(self);
        } else if (t > self->currentIdx) {
            if (self->currentIdx >= 0) light(starAt(self, self->currentIdx), YES);
            light(star, YES);
            self->currentIdx = t;
            objc_msgSend<void(int)>(self, "enableStarsUpTo:"_sel, t);
            releaseKeyboard(self);
        }
        return YES;
    }
    id first = starAt(self, 0);
    if (first != nil && point.x < CGRectGetMinX(objc_msgSend<CGRect()>(first, "frame"_sel))) {
        light(first, NO);
        self->currentIdx = -1;
        objc_msgSend<void(int)>(self, "disableStarsDownToExclusive:"_sel, 0);
        releaseKeyboard(self);
    }
    return YES;
}

void endTracking(StarRatingControl* self, SEL, id touch, id event) {
    if (self->delegate != nil)
        objc_msgSend<void(id, int)>(self->delegate, "newRating::"_sel, self, objc_msgSend<int()>(self, "rating"_sel));
    objc_msgSendSuper<void(id, id)>(self, StarRatingControl::cls(), "endTrackingWithTouch:withEvent:"_sel, touch, event);
}

// The rating held before the touch comes back: a cancelled touch reports
// nothing, so the stars must not show a rating that will not be saved.
void cancelTracking(StarRatingControl* self, SEL, id event) {
    objc_msgSend<void(int)>(self, "setRating:"_sel, self->idxBeforeTouch + 1);
    objc_msgSendSuper<void(id)>(self, StarRatingControl::cls(), "cancelTrackingWithEvent:"_sel, event);
}

void dealloc(StarRatingControl* self, SEL) {
    self->delegate = nil;
    objc_msgSendSuper<void()>(self, StarRatingControl::cls(), "dealloc"_sel);
}

}  // namespace control

namespace star {

id initWithDefaultPosition(StarView* self, SEL, int p) {
    CGRect frame = CGRectMake(static_cast<double>(p * static_cast<int>(kStarWidth) + static_cast<int>(kFirstStarX)), 0,
                              kStarWidth, kStarHeight);
    id result = objc_msgSend<id(CGRect)>(self, "initWithFrame:"_sel, frame);
    if (result == nil) return nil;
    objc_msgSend<void(NSInteger)>(result, "setTag:"_sel, p);
    objc_msgSend<void(UIEdgeInsets)>(result, "setImageEdgeInsets:"_sel, UIEdgeInsetsMake(0, 0, 20, 0));
    objc_msgSend<void(id)>(result, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "clearColor"_sel));
    NSString* label = p == 0 ? "1 star"_ns : NSString::stringWithFormat("%d stars", p + 1);
    objc_msgSend<void(id)>(result, "setAccessibilityLabel:"_sel, label);
    return result;
}

id hitTest(StarView* self, SEL, CGPoint, id) { return objc_msgSend<id()>(self, "superview"_sel); }

// The lit star's outline, in twelfths of a point.
constexpr CGPoint kStar[] = {{75.5, 150.5}, {30.5, 233.5}, {120.5, 183.5}, {208.5, 233.5}, {161.5, 150.5},
                             {232.5, 96.5}, {147.5, 95.5}, {120.5, 8.5},   {88.5, 95.5},    {8.5, 96.5}};

void drawRect(StarView* self, SEL, CGRect) {
    id red = objc_msgSend<id()>(UIColor::cls(), "redColor"_sel);
    objc_msgSend<void()>(red, "setFill"_sel);
    objc_msgSend<void()>(red, "setStroke"_sel);
    Class pathClass = objc_getClass("UIBezierPath");
    id path = nil;
    if (objc_msgSend<BOOL()>(self, "isHighlighted"_sel)) {
        path = objc_msgSend<id()>(pathClass, "bezierPath"_sel);
        objc_msgSend<void(CGPoint)>(path, "moveToPoint:"_sel, CGPointMake(kStar[0].x / 12.0, kStar[0].y / 12.0));
        for (size_t i = 1; i <= std::size(kStar); ++i) {
            const CGPoint& p = kStar[i % std::size(kStar)];
            objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, CGPointMake(p.x / 12.0, p.y / 12.0));
        }
        objc_msgSend<void()>(path, "closePath"_sel);
    } else {
        path = objc_msgSend<id(CGRect)>(pathClass, "bezierPathWithOvalInRect:"_sel, CGRectMake(13.5625, 11.25, 3, 3));
    }
    objc_msgSend<void(double)>(path, "setLineWidth:"_sel, 1.0);
    objc_msgSend<void()>(path, "fill"_sel);
    objc_msgSend<void()>(path, "stroke"_sel);
}

}  // namespace star

}  // namespace

void registerStarRatingControl() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<StarView>("StarView", UIButton::cls())
            .method<star::initWithDefaultPosition>("initWithDefaultPosition:", "@@:i")
            .method<star::hitTest>("hitTest:withEvent:", "@@:{CGPoint=dd}@")
            .method<star::drawRect>("drawRect:", "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
        objc::ClassDef<StarRatingControl>("StarRatingControl", UIControl::cls())
            .method<control::initWithCoder>("initWithCoder:", "@@:@")
            .method<control::initWithFrame>("initWithFrame:", "@@:{CGRect={CGPoint=dd}{CGSize=dd}}")
            .method<control::initWithFrameAndStars>("initWithFrame:andStars:isFractional:", "@@:{CGRect={CGPoint=dd}{CGSize=dd}}iB")
            .method<control::setupView>("setupView", "v@:")
            .method<control::starForPoint>("starForPoint:", "@@:{CGPoint=dd}")
            .method<control::enableStarsUpTo>("enableStarsUpTo:", "v@:i")
            .method<control::disableStarsDownTo>("disableStarsDownTo:", "v@:i")
            .method<control::disableStarsDownToExclusive>("disableStarsDownToExclusive:", "v@:i")
            .method<control::setRating>("setRating:", "v@:i")
            .method<control::rating>("rating", "i@:")
            .method<control::numberOfStars>("numberOfStars", "i@:")
            .method<control::delegate>("delegate", "@@:")
            .method<control::setDelegate>("setDelegate:", "v@:@")
            .method<control::beginTracking>("beginTrackingWithTouch:withEvent:", "B@:@@")
            .method<control::continueTracking>("continueTrackingWithTouch:withEvent:", "B@:@@")
            .method<control::endTracking>("endTrackingWithTouch:withEvent:", "v@:@@")
            .method<control::cancelTracking>("cancelTrackingWithEvent:", "v@:@")
            .method<control::dealloc>("dealloc", "v@:")
            .OBJC_IVAR(StarRatingControl, numberOfStars)
            .OBJC_IVAR(StarRatingControl, currentIdx)
            .OBJC_IVAR(StarRatingControl, delegate);
    });
}
