// Drawing each IconView picture into a 100 x 100 point image context at
// scale 2, as the render pass would; the phones load their screen pictures
// from the resource bundle on every draw.
#include <benchmark/benchmark.h>

#include "Classes.h"
#include "GeneratedLibrary.h"
#include "IconView.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A device root holding the library's resource bundle, for the whole run.
struct BundleRoot : bench::DeviceRootFolder {
    BundleRoot() { installResourceBundle(); }
};

void drawPicture(benchmark::State& state) {
    if (bench::sharedFixture<BundleRoot>(state) == nullptr) return;
    Cantrel_registerClasses();
    NSInteger tag = state.range(0);
    AutoreleasePool outer;
    Strong<IconView> view = Strong<IconView>::adopt(static_cast<IconView*>(objc_msgSend<id(CGRect)>(
        objc_msgSend<id()>(IconView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 100, 100))));
    objc_msgSend<void(NSInteger)>(view, "setTag:"_sel, tag);
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(100, 100), NO, 2);
    for (auto _ : state) {
        AutoreleasePool pool;
        objc_msgSend<void(CGRect)>(view, "drawRect:"_sel, CGRectMake(0, 0, 100, 100));
    }
    UIGraphicsEndImageContext();
    state.SetLabel(cantrel::iconPicture(tag)->name);
}

BENCHMARK(drawPicture)
    ->ArgName("tag")
    ->Arg(5)->Arg(7)->Arg(9)->Arg(15)->Arg(16)->Arg(18)->Arg(19)->Arg(20)->Arg(21)->Arg(22)->Arg(23)
    ->Arg(24)->Arg(25)->Arg(33)->Arg(34)->Arg(35)->Arg(36)->Arg(37)->Arg(38)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
