#include "ActionButtonImageView.h"

#include "Cantrel.h"

#include <Foundation/NSString.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>

#include <iterator>
#include <mutex>

namespace {

// UIImageRenderingModeAlwaysTemplate.
constexpr NSInteger kAlwaysTemplate = 2;

// The stepped line, in the picture's units; each coordinate is divided by 3
// to give points.
constexpr CGPoint kLinePoints[] = {{2.5, 52.5},  {27.5, 52.5},  {27.5, 3.5},  {41.5, 3.5}, {42, 33},
                                   {41.5, 106.5}, {57.5, 106.5}, {57.5, 52.5}, {81.5, 52.5}};
constexpr double kLineScale = 3;
constexpr double kLineWidth = 4;

CGPoint linePoint(const CGPoint& p) { return CGPointMake(p.x / kLineScale, p.y / kLineScale); }

id initWithCoder(ActionButtonImageView* self, SEL, id coder) {
    id result = objc_msgSendSuper<id(id)>(self, ActionButtonImageView::cls(), "initWithCoder:"_sel, coder);
    if (result != nullptr)
        objc_msgSend<void(id)>(result, "setBackgroundColor:"_sel, objc_msgSend<id()>(UIColor::cls(), "greenColor"_sel));
    return result;
}

void setDefaultRenderingMode(ActionButtonImageView* self, SEL, NSInteger mode) {
    CLog("ActionButtonImageView - _setDefaultRenderingMode: %d", mode);
    objc_msgSendSuper<void(NSInteger)>(self, ActionButtonImageView::cls(), "_setDefaultRenderingMode:"_sel,
                                       kAlwaysTemplate);
}

void setImage(ActionButtonImageView* self, SEL, id image) {
    CLog("ActionButtonImageView - setImage: %@", image);
    objc_msgSend<void()>(self, "setNeedsDisplay"_sel);
    NSString* path = objc_msgSend<NSString*(NSString*)>(CantrelBundlePath(),
                                                        "stringByAppendingPathComponent:"_sel, "10@2x.png"_ns);
    id picture = objc_msgSend<id(NSString*)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, path);
    objc_msgSendSuper<void(id)>(self, ActionButtonImageView::cls(), "setImage:"_sel, picture);
}

void drawRect(ActionButtonImageView*, SEL, CGRect) {
    id path = objc_msgSend<id()>(objc_getClass("UIBezierPath"), "bezierPath"_sel);
    objc_msgSend<void(CGPoint)>(path, "moveToPoint:"_sel, linePoint(kLinePoints[0]));
    for (size_t i = 1; i < std::size(kLinePoints); ++i)
        objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, linePoint(kLinePoints[i]));
    objc_msgSend<void()>(objc_msgSend<id()>(UIColor::cls(), "blackColor"_sel), "setStroke"_sel);
    objc_msgSend<void(double)>(path, "setLineWidth:"_sel, kLineWidth);
    objc_msgSend<void()>(path, "stroke"_sel);
}

}  // namespace

void registerActionButtonImageView() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<ActionButtonImageView>("ActionButtonImageView", UIImageView::cls())
            .method<initWithCoder>("initWithCoder:", "@@:@")
            .method<setDefaultRenderingMode>("_setDefaultRenderingMode:", "v@:q")
            .method<setImage>("setImage:", "v@:@")
            .method<drawRect>("drawRect:", "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
    });
}
