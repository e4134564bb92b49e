// Commands around the web image search: its grid of results, scrolling,
// turning the device, a pick and the cancel.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITouch.h>
#include <platform/Network.h>
#include <platform/RunLoop.h>

#include <cstdio>
#include <ostream>

namespace host {
namespace {

// The search ends within its 15 s deadline, and each picture within the
// requests' 20 s; this leaves a margin above both.
constexpr double kSearchWait = 25;
constexpr double kSettle = 1;  // the pictures' fade-in and the sheet's reopening

std::string str(id s) { return to_string(static_cast<NSString*>(s)); }

id searchScreen() {
    Class cls = objc_getClass("SearchQueryViewController");
    id found = nil;
    if (cls == nil) return nil;
    for (UIViewController* c : platform::presentedViewControllers())
        if (objc_isKindOfClass(objc::as_id(c), cls)) found = objc::as_id(c);
    return found;
}

id gridOf(id screen) { return objc_msgSend<id()>(screen, "collectionView"_sel); }

void settle() {
    platform::finishTransitions(kTransitionWait);
    platform::RunLoop::main().runFor(kSettle);
    platform::finishTransitions(kTransitionWait);
}

// The open grid laid out, or nil.
id openGridOrNil() {
    id screen = searchScreen();
    if (screen == nil) return nil;
    objc_msgSend<void()>(objc_msgSend<id()>(screen, "view"_sel), "layoutIfNeeded"_sel);
    return gridOf(screen);
}

// The open grid, laid out, or nil after an error.
id openGrid(Context& c, const char* command) {
    platform::finishTransitions(kTransitionWait);
    id screen = searchScreen();
    if (screen == nil) {
        *c.err << command << ": no image search is open\n";
        return nil;
    }
    id grid = gridOf(screen);
    objc_msgSend<void()>(objc_msgSend<id()>(screen, "view"_sel), "layoutIfNeeded"_sel);
    return grid;
}

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string frameText(CGRect f) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%g,%g %gx%g", f.origin.x, f.origin.y, f.size.width, f.size.height);
    return buf;
}

bool grid(Context& c, const std::vector<std::string>&) {
    id view = openGrid(c, "grid");
    if (view == nil) return false;
    id screen = searchScreen();
    id layout = objc_msgSend<id()>(view, "collectionViewLayout"_sel);
    id elements = objc_msgSend<id()>(objc_msgSend<id()>(screen, "customDatasource"_sel), "elements"_sel);
    NSUInteger n = objc_msgSend<NSUInteger()>(elements, "count"_sel);
    CGSize content = objc_msgSend<CGSize()>(view, "contentSize"_sel);
    CGPoint offset = objc_msgSend<CGPoint()>(view, "contentOffset"_sel);
    *c.out << "grid " << n << " cells, " << objc_msgSend<NSInteger()>(layout, "columnsQuantity"_sel) << " columns, content "
           << content.width << "x" << content.height << ", offset " << offset.y << "\n";
    for (NSUInteger i = 0; i < n; ++i) {
        AutoreleasePool pool;
        id element = objc_msgSend<id(NSUInteger)>(elements, "objectAtIndex:"_sel, i);
        id path = objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForItem:inSection:"_sel,
                                                         static_cast<NSInteger>(i), 0);
        id attributes = objc_msgSend<id(id)>(layout, "layoutAttributesForItemAtIndexPath:"_sel, path);
        id cell = objc_msgSend<id(id)>(view, "cellForItemAtIndexPath:"_sel, path);
        const char* picture = cell == nil ? "offscreen" : objc_msgSend<id()>(cell, "image"_sel) ? "loaded" : "none";
        int type = objc_msgSend<int()>(element, "layoutType"_sel);
        *c.out << "cell " << i << " " << printable(str(objc_msgSend<id()>(element, "title"_sel))) << " "
               << (type == 2 ? "double" : type == 1 ? "single" : "undecided") << " "
               << number(objc_msgSend<float()>(element, "relativeHeight"_sel)) << " picture " << picture << " frame "
               << frameText(objc_msgSend<CGRect()>(attributes, "frame"_sel)) << "\n";
    }
    return true;
}

bool scrollgrid(Context& c, const std::vector<std::string>& args) {
    long long y = 0;
    if (!parseWhole(c, "scrollgrid", "Y", args[0], 0, 1000000, y)) return false;
    id view = openGrid(c, "scrollgrid");
    if (view == nil) return false;
    CGSize content = objc_msgSend<CGSize()>(view, "contentSize"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(view, "bounds"_sel);
    double most = std::max(0.0, content.height - bounds.size.height);
    double to = std::min(static_cast<double>(y), most);
    objc_msgSend<void(CGPoint)>(view, "setContentOffset:"_sel, CGPointMake(0, to));
    objc_msgSend<void()>(view, "layoutIfNeeded"_sel);
    platform::waitForNetworkIdle(kSearchWait);  // the pictures of the cells now in sight
    settle();
    *c.out << "scrollgrid " << to << "\n";
    return true;
}

bool rotate(Context& c, const std::vector<std::string>& args) {
    if (args[0] != "landscape" && args[0] != "portrait") {
        *c.err << "rotate: usage rotate landscape|portrait\n";
        return false;
    }
    platform::finishTransitions(kTransitionWait);
    platform::rotateInterface(args[0] == "landscape" ? UIInterfaceOrientationLandscapeRight
                                                     : UIInterfaceOrientationPortrait);
    if (id grid = openGridOrNil()) objc_msgSend<void()>(grid, "layoutIfNeeded"_sel);
    platform::waitForNetworkIdle(kSearchWait);
    settle();
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    *c.out << "rotate " << args[0] << " " << screen.size.width << "x" << screen.size.height << "\n";
    return true;
}

bool pickcell(Context& c, const std::vector<std::string>& args) {
    long long index = 0;
    if (!parseWhole(c, "pickcell", "N", args[0], 0, 1000000, index)) return false;
    id view = openGrid(c, "pickcell");
    if (view == nil) return false;
    if (!platform::tapCollectionItem(static_cast<UICollectionView*>(view), 0, static_cast<NSInteger>(index))) {
        *c.err << "pickcell: cell " << index << " is not on screen\n";
        return false;
    }
    settle();
    *c.out << "pickcell " << index << (searchScreen() == nil ? " closed the search\n" : "\n");
    return true;
}

// The first button in the view's tree (the screen's cancel control).
UIView* buttonIn(UIView* view) {
    if (view == nullptr) return nullptr;
    if (objc_isKindOfClass(objc::as_id(view), UIButton::cls())) return view;
    for (const Strong<UIView>& sub : view->_subviews)
        if (UIView* found = buttonIn(sub.get())) return found;
    return nullptr;
}

bool cancelsearch(Context& c, const std::vector<std::string>&) {
    platform::finishTransitions(kTransitionWait);
    id screen = searchScreen();
    if (screen == nil) {
        *c.err << "cancelsearch: no image search is open\n";
        return false;
    }
    auto* root = static_cast<UIView*>(objc_msgSend<id()>(screen, "view"_sel));
    UIView* cancel = buttonIn(root);
    CGRect bounds = cancel ? objc_msgSend<CGRect()>(cancel, "bounds"_sel) : CGRectZero;
    CGPoint middle = objc_msgSend<CGPoint(CGPoint, id)>(cancel, "convertPoint:toView:"_sel,
                                                        CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)), root);
    platform::TouchSequence touch(root, middle);
    if (touch.control() == nullptr || objc::as_id(touch.control()) != objc::as_id(cancel)) {
        *c.err << "cancelsearch: the search's cancel control takes no tap\n";
        return false;
    }
    touch.end();
    settle();
    *c.out << "cancelsearch" << (searchScreen() == nil ? " closed the search\n" : "\n");
    return true;
}

}  // namespace

bool waitForSearch(Context& c, const char* command) {
    // The pages are fetched on a global queue; the grid is presented from the
    // main queue once they are in, or the sheet reopens when there is no
    // search screen.
    bool ended = platform::RunLoop::main().runUntil(
        [] {
            if (searchScreen() != nil) return true;
            auto shown = platform::presentedViewControllers();  // the sheet (an alert) again
            return !shown.empty() && objc_isKindOfClass(objc::as_id(shown.back()), UIAlertController::cls());
        },
        kSearchWait);
    platform::finishTransitions(kTransitionWait);
    openGridOrNil();  // on screen: its cells are made and ask for their pictures
    platform::waitForNetworkIdle(kSearchWait);
    settle();
    if (!ended) {
        *c.err << command << ": the search did not end within " << kSearchWait << " seconds\n";
        return false;
    }
    return true;
}

void addSearchCommands(CommandTable& table) {
    table["grid"] = {"grid", "print the image search's cells: index, caption, single or double, relative height, "
                             "picture (loaded, none, offscreen) and frame",
                     grid};
    table["scrollgrid"] = {"scrollgrid Y", "scroll the image search's grid to Y points from its top", scrollgrid};
    table["rotate"] = {"rotate landscape|portrait", "turn the device", rotate};
    table["pickcell"] = {"pickcell N", "tap cell N of the image search's grid (it must be on screen)", pickcell};
    table["cancelsearch"] = {"cancelsearch", "tap the image search's cancel control", cancelsearch};
}

}  // namespace host
