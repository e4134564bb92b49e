// The mosaic grid's layout pass (prepareLayout) over 1,000 search results on
// a 320-point phone grid, the search screen answering the layout's
// questions: the first pass, which decides each result's double column and
// height, and a later one (a rotation's), which reads them back.
#include <benchmark/benchmark.h>

#include "Classes.h"
#include "CustomDataSource.h"
#include "Libs/MosaicLayout/Controllers/MosaicLayout.h"
#include "Libs/MosaicLayout/Entities/MosaicData.h"
#include "SearchQueryViewController.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>

namespace {

struct Grid {
    Strong<SearchQueryViewController> screen;
    Strong<MosaicLayout> layout;
    Strong<UICollectionView> view;

    explicit Grid(NSInteger elements) {
        Cantrel_registerClasses();
        screen = Strong<SearchQueryViewController>::adopt(static_cast<SearchQueryViewController*>(objc_msgSend<id(id, id)>(
            objc_msgSend<id()>(SearchQueryViewController::cls(), "alloc"_sel), "initWithNibName:bundle:"_sel, nil, nil)));
        layout = Strong<MosaicLayout>::adopt(static_cast<MosaicLayout*>(
            objc_msgSend<id()>(objc_msgSend<id()>(MosaicLayout::cls(), "alloc"_sel), "init"_sel)));
        objc_msgSend<void(id)>(layout.get(), "setDelegate:"_sel, screen.get());
        view = Strong<UICollectionView>::adopt(static_cast<UICollectionView*>(objc_msgSend<id(CGRect, id)>(
            objc_msgSend<id()>(UICollectionView::cls(), "alloc"_sel), "initWithFrame:collectionViewLayout:"_sel,
            CGRectMake(0, 0, 320, 436), layout.get())));
        id source = objc_msgSend<id()>(screen.get(), "customDatasource"_sel);
        objc_msgSend<void(id)>(view.get(), "setDataSource:"_sel, source);
        reset(elements);
    }
    void reset(NSInteger elements) {
        AutoreleasePool pool;
        id list = objc_msgSend<id()>(objc_msgSend<id()>(screen.get(), "customDatasource"_sel), "elements"_sel);
        objc_msgSend<void()>(list, "removeAllObjects"_sel);
        for (NSInteger i = 0; i < elements; ++i) {
            id e = objc_msgSend<id()>(objc_msgSend<id()>(MosaicData::cls(), "alloc"_sel), "init"_sel);
            objc_msgSend<void(id)>(e, "setTitle:"_sel, "640x480"_ns);
            objc_msgSend<void(id)>(list, "addObject:"_sel, e);
            objc_release(e);
        }
        objc_msgSend<void()>(view.get(), "reloadData"_sel);
    }
};

void firstLayout(benchmark::State& state) {
    AutoreleasePool outer;
    Grid grid(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        grid.reset(state.range(0));
        state.ResumeTiming();
        objc_msgSend<void()>(grid.layout.get(), "prepareLayout"_sel);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(firstLayout)->Arg(1000)->Unit(benchmark::kMicrosecond);

void laterLayout(benchmark::State& state) {
    AutoreleasePool outer;
    Grid grid(state.range(0));
    objc_msgSend<void()>(grid.layout.get(), "prepareLayout"_sel);
    for (auto _ : state) objc_msgSend<void()>(grid.layout.get(), "prepareLayout"_sel);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(laterLayout)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
