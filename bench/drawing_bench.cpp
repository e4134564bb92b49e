// Drawing: a 20-element path filled and stroked into a 100 x 100 image
// context, and a 150 x 150 view tree with a label through the render pass.
#include <UIKit/Rendering.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIVisualEffectView.h>

#include <benchmark/benchmark.h>

#include <cairo.h>

#include <cmath>

namespace {

void BM_FillAndStrokePath(benchmark::State& state) {
    AutoreleasePool pool;
    id path = objc_msgSend<id()>(UIBezierPath::cls(), "bezierPath"_sel);
    objc_msgSend<void(CGPoint)>(path, "moveToPoint:"_sel, CGPointMake(50, 5));
    for (int i = 1; i < 19; ++i) {
        double a = i * 2 * M_PI / 19, r = i % 2 ? 45 : 20;
        CGPoint p = CGPointMake(50 + r * std::sin(a), 50 - r * std::cos(a));
        if (i % 3 == 0)
            objc_msgSend<void(CGPoint, CGPoint, CGPoint)>(path, "addCurveToPoint:controlPoint1:controlPoint2:"_sel, p,
                                                          CGPointMake(50, 50), p);
        else
            objc_msgSend<void(CGPoint)>(path, "addLineToPoint:"_sel, p);
    }
    objc_msgSend<void()>(path, "closePath"_sel);
    objc_msgSend<void(double)>(path, "setLineWidth:"_sel, 2.0);
    UIColor* fill = UIColor::make(0.5, 0.5, 0.5, 1);
    UIColor* stroke = UIColor::make(1, 1, 1, 1);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(100, 100), NO, 1);
    for (auto _ : state) {
        objc_msgSend<void()>(fill, "setFill"_sel);
        objc_msgSend<void()>(path, "fill"_sel);
        objc_msgSend<void()>(stroke, "setStroke"_sel);
        objc_msgSend<void()>(path, "stroke"_sel);
    }
    UIGraphicsEndImageContext();
}
BENCHMARK(BM_FillAndStrokePath);

Strong<UIView> makeView(Class cls, CGRect frame) {
    return Strong<UIView>::adopt(static_cast<UIView*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithFrame:"_sel, frame)));
}

// A badge-like tree: rounded, bordered, clipped, a blur, a fitted label.
void BM_RenderViewTreeWithLabel(benchmark::State& state) {
    AutoreleasePool pool;
    auto root = makeView(UIView::cls(), CGRectMake(0, 0, 150, 150));
    id layer = objc_msgSend<id()>(root.get(), "layer"_sel);
    objc_msgSend<void(double)>(layer, "setCornerRadius:"_sel, 10.0);
    objc_msgSend<void(double)>(layer, "setBorderWidth:"_sel, 0.2);
    objc_msgSend<void(BOOL)>(root.get(), "setClipsToBounds:"_sel, YES);
    id effect = objc_msgSend<id(NSInteger)>(UIBlurEffect::cls(), "effectWithStyle:"_sel, 1);
    id blur = objc_autorelease(
        objc_msgSend<id(id)>(objc_msgSend<id()>(UIVisualEffectView::cls(), "alloc"_sel), "initWithEffect:"_sel, effect));
    objc_msgSend<void(CGRect)>(blur, "setFrame:"_sel, CGRectMake(0, 0, 150, 150));
    objc_msgSend<void(id)>(root.get(), "addSubview:"_sel, blur);
    auto label = makeView(UILabel::cls(), CGRectMake(0, 15, 150, 50));
    objc_msgSend<void(id)>(label.get(), "setText:"_sel, "Preparing Tracks"_ns);
    objc_msgSend<void(id)>(label.get(), "setFont:"_sel, UIFont::system(17, true));
    objc_msgSend<void(NSInteger)>(label.get(), "setNumberOfLines:"_sel, 0);
    objc_msgSend<void(BOOL)>(label.get(), "setAdjustsFontSizeToFitWidth:"_sel, YES);
    objc_msgSend<void(NSInteger)>(label.get(), "setTextAlignment:"_sel, NSTextAlignmentCenter);
    objc_msgSend<void(id)>(root.get(), "addSubview:"_sel, label.get());
    for (auto _ : state) {
        cairo_surface_t* s = platform::renderView(root.get(), 2);
        benchmark::DoNotOptimize(s);
        cairo_surface_destroy(s);
    }
}
BENCHMARK(BM_RenderViewTreeWithLabel);

}  // namespace
