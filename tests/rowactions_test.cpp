// The platform's swipe buttons: button titles and pictures per state, row
// actions, the system's delete button of a row, and the swipe and tap a user
// makes.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// A table's data source with `rows` rows in one section that records the
// edits committed to it.
struct RecordingSource : NSObject {
    OBJC_CLASS(RecordingSource)
    NSInteger rows = 3;
    struct Commit {
        id table;
        NSInteger style;
        NSInteger section, row;
    };
    std::vector<Commit> commits;
};
NSInteger rowsIn(RecordingSource* self, SEL, id, NSInteger) { return self->rows; }
void commit(RecordingSource* self, SEL, id table, NSInteger style, id path) {
    self->commits.push_back({table, style, objc_msgSend<NSInteger()>(path, "section"_sel),
                             objc_msgSend<NSInteger()>(path, "row"_sel)});
}

void registerSource() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<RecordingSource>("RecordingSource", NSObject::cls())
            .method<rowsIn>("tableView:numberOfRowsInSection:")
            .method<commit>("tableView:commitEditingStyle:forRowAtIndexPath:");
    });
}

template <class T>
Strong<T> make(Class cls) {
    return Strong<T>::adopt(static_cast<T*>(objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel)));
}

NSIndexPath* path(NSInteger row, NSInteger section) {
    return objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row,
                                                            section);
}

std::string text(id s) { return to_string(static_cast<NSString*>(s)); }

class RowActions : public ::testing::Test {
protected:
    void SetUp() override {
        registerSource();
        platform::setSystemSwipeButtonsEnabled(true);
        source = make<RecordingSource>(RecordingSource::cls());
        table = Strong<UITableView>::adopt(static_cast<UITableView*>(objc_msgSend<id(CGRect)>(
            objc_msgSend<id()>(UITableView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 320, 480))));
        objc_msgSend<void(id)>(table.get(), "setDataSource:"_sel, source.get());
        objc_msgSend<void()>(table.get(), "reloadData"_sel);
    }
    void TearDown() override { platform::setSystemSwipeButtonsEnabled(true); }

    AutoreleasePool pool;
    Strong<RecordingSource> source;
    Strong<UITableView> table;
};

TEST_F(RowActions, ButtonsKeepATitleAndAPicturePerStateWithTheNormalOneAsFallback) {
    id button = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(), "actionButtonWithStyle:"_sel, 2);
    EXPECT_EQ(objc_msgSend<NSInteger()>(button, "style"_sel), 2);
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(button, "titleForState:"_sel, UIControlStateNormal), nil);

    NSMutableString* title = NSMutableString::make("Go");
    objc_msgSend<void(id, NSUInteger)>(button, "setTitle:forState:"_sel, title, UIControlStateNormal);
    objc_msgSend<void(id)>(title, "appendString:"_sel, "ne"_ns);  // the button keeps its own copy
    EXPECT_EQ(text(objc_msgSend<id(NSUInteger)>(button, "titleForState:"_sel, UIControlStateNormal)), "Go");
    EXPECT_EQ(text(objc_msgSend<id(NSUInteger)>(button, "titleForState:"_sel, UIControlStateHighlighted)), "Go");
    objc_msgSend<void(id, NSUInteger)>(button, "setTitle:forState:"_sel, "Pressed"_ns, UIControlStateHighlighted);
    EXPECT_EQ(text(objc_msgSend<id(NSUInteger)>(button, "titleForState:"_sel, UIControlStateHighlighted)), "Pressed");
    EXPECT_EQ(text(objc_msgSend<id()>(button, "currentTitle"_sel)), "Go");
    objc_msgSend<void(id, NSUInteger)>(button, "setTitle:forState:"_sel, nil, UIControlStateNormal);
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(button, "titleForState:"_sel, UIControlStateNormal), nil);

    id image = objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(UIImage::cls(), "alloc"_sel), "init"_sel));
    objc_msgSend<void(id, NSUInteger)>(button, "setBackgroundImage:forState:"_sel, image, UIControlStateNormal);
    EXPECT_EQ(objc_msgSend<id(NSUInteger)>(button, "backgroundImageForState:"_sel, UIControlStateSelected), image);
    objc_msgSend<void(id, NSUInteger)>(button, "setBackgroundImage:forState:"_sel, nil, UIControlStateNormal);
    EXPECT_EQ(objc_msgSend<id()>(button, "currentBackgroundImage"_sel), nil);
    EXPECT_THROW(objc_msgSend<void(id, NSUInteger)>(button, "setBackgroundImage:forState:"_sel, "no image"_ns, 0),
                 NSException*);
}

TEST_F(RowActions, SystemDeleteComesFirstAndCommitsTheRowsDeleteThroughTheDataSource) {
    OWN_PROCESS();  // needs UITableView's own swipe buttons
    auto buttons = platform::swipeRow(table, path(1, 0));
    ASSERT_EQ(buttons.size(), 1u);
    _UITableViewCellActionButton* del = buttons[0].get();
    EXPECT_EQ(objc_msgSend<NSInteger()>(del, "tag"_sel), 0);
    EXPECT_EQ(objc_msgSend<NSInteger()>(del, "style"_sel), 0);
    EXPECT_EQ(text(objc_msgSend<id(NSUInteger)>(del, "titleForState:"_sel, UIControlStateNormal)), "Delete");
    id action = objc_msgSend<id()>(del, "action"_sel);
    EXPECT_EQ(objc_msgSend<NSInteger()>(action, "style"_sel), UITableViewRowActionStyleDestructive);
    // The swipe puts the table into editing and lays the button out on the row.
    EXPECT_TRUE(objc_msgSend<BOOL()>(table.get(), "isEditing"_sel));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(del, "frame"_sel), CGRectMake(246, 44, 74, 44)));

    EXPECT_TRUE(source->commits.empty());
    platform::tapSwipeButton(del);
    ASSERT_EQ(source->commits.size(), 1u);
    EXPECT_EQ(source->commits[0].table, table.get());
    EXPECT_EQ(source->commits[0].style, UITableViewCellEditingStyleDelete);
    EXPECT_EQ(source->commits[0].section, 0);
    EXPECT_EQ(source->commits[0].row, 1);

    // Switched off: no system button at all.
    platform::setSystemSwipeButtonsEnabled(false);
    EXPECT_TRUE(platform::swipeRow(table, path(1, 0)).empty());
    platform::setSystemSwipeButtonsEnabled(true);

    // A delete button that outlives its table does nothing.
    auto kept = platform::swipeRow(table, path(2, 0));
    table = nil;
    EXPECT_NO_THROW(platform::tapSwipeButton(kept[0].get()));
    EXPECT_EQ(source->commits.size(), 1u);
}

TEST_F(RowActions, TapRunsTheRowActionsHandlerWithTheActionAndTheRow) {
    OWN_PROCESS();  // replaces UITableView's swipe buttons for good
    std::vector<std::pair<id, NSInteger>> calls;
    NSBlock* handler = objc_block<UITableViewRowActionHandler>(
        [&calls](id action, id indexPath) { calls.push_back({action, objc_msgSend<NSInteger()>(indexPath, "row"_sel)}); });
    NSMutableString* title = NSMutableString::make("Edit");
    id action = objc_msgSend<id(NSInteger, id, id)>(UITableViewRowAction::cls(), "rowActionWithStyle:title:handler:"_sel,
                                                    UITableViewRowActionStyleNormal, title, handler);
    objc_msgSend<void(id)>(title, "appendString:"_sel, "ed"_ns);
    EXPECT_EQ(text(objc_msgSend<id()>(action, "title"_sel)), "Edit");
    EXPECT_EQ(objc_msgSend<NSInteger()>(action, "style"_sel), UITableViewRowActionStyleNormal);

    // The app's own buttons follow the system's, right to left.
    Slot<id(UITableView*, SEL, id)> original;
    static Slot<id(UITableView*, SEL, id)>* originalOf = nullptr;
    static id addedAction = nil;
    originalOf = &original;
    addedAction = action;
    MSHookMessageEx(UITableView::cls(), "_swipeActionButtonsForRowAtIndexPath:"_sel,
                    +[](UITableView* self, SEL cmd, id path) -> id {
                        id list = objc_msgSend<id()>((*originalOf)(self, cmd, path), "mutableCopy"_sel);
                        id mine = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(),
                                                              "actionButtonWithStyle:"_sel, 1);
                        objc_msgSend<void(id)>(mine, "setAction:"_sel, addedAction);
                        objc_msgSend<void(id)>(list, "addObject:"_sel, mine);
                        return objc_autorelease(list);
                    },
                    &original);
    objc_msgSend<void(double, id)>(table.get(), "setHeight:forRowAtIndexPath:"_sel, 70.0, path(2, 0));
    auto buttons = platform::swipeRow(table, path(2, 0));
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(buttons[0].get(), "frame"_sel), CGRectMake(246, 88, 74, 70)));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(buttons[1].get(), "frame"_sel), CGRectMake(172, 88, 74, 70)));
    platform::tapSwipeButton(buttons[1].get());
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, action);
    EXPECT_EQ(calls[0].second, 2);
    EXPECT_TRUE(source->commits.empty());

    // A button without an action does nothing when tapped.
    id bare = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(), "actionButtonWithStyle:"_sel, 1);
    EXPECT_NO_THROW(platform::tapSwipeButton(static_cast<_UITableViewCellActionButton*>(bare)));
    EXPECT_EQ(calls.size(), 1u);
    addedAction = nil;
}

// --- Drawing: rows and the buttons of a swiped row --------------------------

// A data source whose rows are plain cells titled "Row 0", "Row 1"…
NSInteger titledRows(NSObject*, SEL, id, NSInteger) { return 2; }
id titledCell(NSObject*, SEL, id table, id indexPath) {
    id cell = objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, "Row"_ns);
    if (cell == nullptr)
        cell = objc_autorelease(objc_msgSend<id(NSInteger, id)>(objc_msgSend<id()>(UITableViewCell::cls(), "alloc"_sel),
                                                                "initWithStyle:reuseIdentifier:"_sel,
                                                                UITableViewCellStyleDefault, "Row"_ns));
    std::string title = "Row " + std::to_string(objc_msgSend<NSInteger()>(indexPath, "row"_sel));
    objc_msgSend<void(id)>(cell, "setTitle:"_sel, NSString::make(title));
    return cell;
}

uint32_t alphaOf(uint32_t p) { return p >> 24; }
uint32_t redOf(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t greenOf(uint32_t p) { return (p >> 8) & 0xFF; }
uint32_t blueOf(uint32_t p) { return p & 0xFF; }

// The table drawn by the render pass at one pixel per point.
Strong<UIImage> render(UIView* view) { return Strong<UIImage>(UIImage::withSurface(platform::renderView(view, 1), 1)); }

// Opaque dark pixels (text) in [x0, x1) x [y0, y1).
int darkPixels(UIImage* img, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint32_t p = img->pixel(x, y);
            if (alphaOf(p) > 200 && redOf(p) < 100 && greenOf(p) < 100 && blueOf(p) < 100) ++n;
        }
    return n;
}

bool near(uint32_t pixel, uint32_t r, uint32_t g, uint32_t b) {
    auto close = [](uint32_t a, uint32_t want) { return a + 3 >= want && a <= want + 3; };
    return alphaOf(pixel) == 0xFF && close(redOf(pixel), r) && close(greenOf(pixel), g) && close(blueOf(pixel), b);
}

class DrawnRows : public ::testing::Test {
protected:
    void SetUp() override {
        static std::once_flag once;
        std::call_once(once, [] {
            objc::ClassDef<NSObject>("TitledSource", NSObject::cls())
                .method<titledRows>("tableView:numberOfRowsInSection:")
                .method<titledCell>("tableView:cellForRowAtIndexPath:");
        });
        platform::setSystemSwipeButtonsEnabled(true);
        source = make<NSObject>(objc_getClass("TitledSource"));
        table = Strong<UITableView>::adopt(static_cast<UITableView*>(objc_msgSend<id(CGRect)>(
            objc_msgSend<id()>(UITableView::cls(), "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, 320, 120))));
        objc_msgSend<void(id)>(table.get(), "setDataSource:"_sel, source.get());
    }

    AutoreleasePool pool;
    Strong<NSObject> source;
    Strong<UITableView> table;
};

TEST_F(DrawnRows, CellsDrawTheirTitleAndASeparatorAtTheirRows) {
    Strong<UIImage> img = render(table.get());
    ASSERT_TRUE(img);
    // The cells are the table's subviews, at their rows; the title is in the text label.
    id cell = objc_msgSend<id(id)>(table.get(), "cellForRowAtIndexPath:"_sel, path(1, 0));
    ASSERT_NE(cell, nil);
    EXPECT_EQ(objc_msgSend<id()>(cell, "superview"_sel), table.get());
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(cell, "frame"_sel), CGRectMake(0, 44, 320, 44)));
    id label = objc_msgSend<id()>(cell, "textLabel"_sel);
    EXPECT_EQ(text(objc_msgSend<id()>(label, "text"_sel)), "Row 1");

    // Black text 15 points in, vertically centred in each row; nothing left of it.
    EXPECT_GT(darkPixels(img.get(), 15, 12, 80, 32), 20);
    EXPECT_GT(darkPixels(img.get(), 15, 56, 80, 76), 20);
    EXPECT_EQ(darkPixels(img.get(), 0, 0, 14, 88), 0);
    EXPECT_EQ(darkPixels(img.get(), 15, 0, 80, 6), 0);
    EXPECT_EQ(darkPixels(img.get(), 100, 0, 320, 88), 0);  // short titles
    // A light grey separator at the bottom of each row, from the text's inset.
    for (int y : {43, 87}) {
        EXPECT_TRUE(near(img->pixel(200, y), 199, 199, 204)) << std::hex << img->pixel(200, y);
        EXPECT_TRUE(near(img->pixel(16, y), 199, 199, 204));
        EXPECT_EQ(img->pixel(5, y), 0u);
    }
    EXPECT_EQ(img->pixel(200, 42), 0u);
    EXPECT_EQ(img->pixel(200, 100), 0u);  // no third row

    // A new title shows in the text label.
    objc_msgSend<void(id)>(cell, "setTitle:"_sel, nil);
    EXPECT_EQ(objc_msgSend<id()>(label, "text"_sel), nil);
    EXPECT_EQ(darkPixels(render(table.get()).get(), 15, 56, 80, 76), 0);
}

void arrayAdd(id list, id obj) { objc_msgSend<void(id)>(list, "addObject:"_sel, obj); }

// The buttons of a swiped row: coloured per tag by a replaced layoutSubviews,
// as the library does, one with a picture.
Slot<void(_UITableViewCellActionButton*, SEL)> _layoutSubviews$Button;
Slot<id(UITableView*, SEL, id)> _swipeButtons$Table;
UIImage* greenPicture = nullptr;

void layoutSubviews$Button(_UITableViewCellActionButton* self, SEL cmd) {
    NSInteger tag = objc_msgSend<NSInteger()>(self, "tag"_sel);
    double r = tag == 0 ? 1 : 0, b = tag == 0 ? 0 : 1;
    objc_msgSend<void(id)>(self, "setBackgroundColor:"_sel,
                           objc_msgSend<id(double, double, double, double)>(
                               UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, r, 0.0, b, 1.0));
    _layoutSubviews$Button(self, cmd);
}

id swipeButtons$Table(UITableView* self, SEL cmd, id indexPath) {
    id list = objc_autorelease(objc_msgSend<id()>(_swipeButtons$Table(self, cmd, indexPath), "mutableCopy"_sel));
    for (NSInteger tag : {2, 3}) {
        id button = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(), "actionButtonWithStyle:"_sel, 2);
        objc_msgSend<void(NSInteger)>(button, "setTag:"_sel, tag);
        if (tag == 3)
            objc_msgSend<void(id, NSUInteger)>(button, "setBackgroundImage:forState:"_sel, greenPicture,
                                               UIControlStateNormal);
        arrayAdd(list, button);
    }
    return list;
}

TEST_F(DrawnRows, ASwipedRowShowsItsButtonsUntilTheTableLeavesEditing) {
    OWN_PROCESS();  // replaces the swipe buttons and their layout for good
    UIGraphicsBeginImageContextWithOptions(CGSizeMake(2, 2), YES, 1);
    CGContextSetFillColorWithColor(UIGraphicsGetCurrentContext(), CGColor{0, 1, 0, 1});
    CGContextFillRect(UIGraphicsGetCurrentContext(), CGRectMake(0, 0, 2, 2));
    Strong<UIImage> green(UIGraphicsGetImageFromCurrentImageContext());
    UIGraphicsEndImageContext();
    ASSERT_TRUE(green);
    greenPicture = green.get();
    MSHookMessageEx(_UITableViewCellActionButton::cls(), "layoutSubviews"_sel, layoutSubviews$Button,
                    &_layoutSubviews$Button);
    MSHookMessageEx(UITableView::cls(), "_swipeActionButtonsForRowAtIndexPath:"_sel, swipeButtons$Table,
                    &_swipeButtons$Table);

    auto buttons = platform::swipeRow(table, path(1, 0));
    ASSERT_EQ(buttons.size(), 3u);
    id cell = objc_msgSend<id(id)>(table.get(), "cellForRowAtIndexPath:"_sel, path(1, 0));
    for (const auto& button : buttons) EXPECT_EQ(objc_msgSend<id()>(button.get(), "superview"_sel), cell);
    // In the cell's coordinates: at its right edge, the row's height.
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(buttons[0].get(), "frame"_sel), CGRectMake(246, 0, 74, 44)));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(buttons[2].get(), "frame"_sel), CGRectMake(98, 0, 74, 44)));

    Strong<UIImage> img = render(table.get());
    // Delete: red with its title in white in the middle.
    EXPECT_EQ(img->pixel(250, 48), 0xFFFF0000u);
    EXPECT_EQ(img->pixel(316, 84), 0xFFFF0000u);
    auto whitish = [&](int x0, int x1) {
        int n = 0;
        for (int y = 56; y < 76; ++y)
            for (int x = x0; x < x1; ++x) {
                uint32_t p = img->pixel(x, y);
                n += greenOf(p) > 200 && blueOf(p) > 200;
            }
        return n;
    };
    // Centred: as much of it on either side of the middle.
    int left = whitish(246, 283), right = whitish(283, 320);
    EXPECT_GT(left, 15);
    EXPECT_GT(right, 15);
    EXPECT_LT(std::abs(left - right), (left + right) / 3);
    EXPECT_EQ(img->pixel(260, 50), 0xFFFF0000u);  // above the title
    // The next one blue, the last one the green picture over its whole frame.
    EXPECT_EQ(img->pixel(174, 46), 0xFF0000FFu);
    EXPECT_EQ(img->pixel(244, 86), 0xFF0000FFu);
    EXPECT_EQ(img->pixel(99, 45), 0xFF00FF00u);
    EXPECT_EQ(img->pixel(170, 86), 0xFF00FF00u);
    EXPECT_EQ(img->pixel(135, 66), 0xFF00FF00u);
    // The row's title stays under them at the left; row 0 is untouched.
    EXPECT_GT(darkPixels(img.get(), 15, 56, 80, 76), 20);
    EXPECT_EQ(img->pixel(250, 20), 0u);

    // Another row's swipe moves the buttons there.
    buttons = platform::swipeRow(table, path(0, 0));
    id first = objc_msgSend<id(id)>(table.get(), "cellForRowAtIndexPath:"_sel, path(0, 0));
    img = render(table.get());
    EXPECT_EQ(img->pixel(250, 20), 0xFFFF0000u);
    EXPECT_EQ(img->pixel(250, 66), 0u);
    id subviews = objc_msgSend<id()>(cell, "subviews"_sel);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(subviews, "count"_sel), 1u);  // the content view only
    EXPECT_EQ(objc_msgSend<id()>(buttons[0].get(), "superview"_sel), first);

    // Leaving editing closes the row.
    objc_msgSend<void(BOOL)>(table.get(), "setEditing:"_sel, NO);
    for (const auto& button : buttons) EXPECT_EQ(objc_msgSend<id()>(button.get(), "superview"_sel), nil);
    img = render(table.get());
    for (int x : {100, 135, 200, 250, 316}) {
        EXPECT_EQ(alphaOf(img->pixel(x, 4)), 0u) << x;
        EXPECT_EQ(alphaOf(img->pixel(x, 40)), 0u) << x;
    }
    EXPECT_TRUE(near(img->pixel(250, 43), 199, 199, 204));
    greenPicture = nullptr;
}

}  // namespace

namespace {

// Six buttons on a phone's 320-point row: the swipe edits the table for that
// row alone, and its buttons share the row's width.
TEST_F(DrawnRows, ASwipeMovesNoRowAsideAndItsButtonsFitTheRow) {
    OWN_PROCESS();  // replaces the swipe buttons for good
    static Slot<id(UITableView*, SEL, id)> original;
    MSHookMessageEx(UITableView::cls(), "_swipeActionButtonsForRowAtIndexPath:"_sel,
                    +[](UITableView* self, SEL cmd, id indexPath) -> id {
                        id list = objc_autorelease(objc_msgSend<id()>(original(self, cmd, indexPath), "mutableCopy"_sel));
                        for (NSInteger tag = 2; tag <= 6; ++tag) {
                            id button = objc_msgSend<id(NSInteger)>(_UITableViewCellActionButton::cls(),
                                                                    "actionButtonWithStyle:"_sel, 1);
                            objc_msgSend<void(NSInteger)>(button, "setTag:"_sel, tag);
                            arrayAdd(list, button);
                        }
                        return list;
                    },
                    &original);
    auto contentFrame = [&](NSInteger row) {
        id cell = objc_msgSend<id(id)>(table.get(), "cellForRowAtIndexPath:"_sel, path(row, 0));
        objc_msgSend<void()>(cell, "layoutIfNeeded"_sel);
        return objc_msgSend<CGRect()>(objc_msgSend<id()>(cell, "contentView"_sel), "frame"_sel);
    };
    CGRect before[] = {contentFrame(0), contentFrame(1)};

    auto buttons = platform::swipeRow(table, path(1, 0));
    ASSERT_EQ(buttons.size(), 6u);
    EXPECT_TRUE(objc_msgSend<BOOL()>(table.get(), "isEditing"_sel));
    objc_msgSend<void()>(table.get(), "layoutIfNeeded"_sel);
    for (NSInteger row : {0, 1}) EXPECT_TRUE(CGRectEqualToRect(contentFrame(row), before[row])) << "row " << row;
    // Right to left, side by side, every one whole on the row.
    CGFloat right = 320;
    for (const auto& button : buttons) {
        CGRect frame = objc_msgSend<CGRect()>(button.get(), "frame"_sel);
        EXPECT_EQ(CGRectGetMaxX(frame), right);
        EXPECT_GE(frame.origin.x, 0);
        EXPECT_GT(frame.size.width, 40);
        right = frame.origin.x;
    }

    // The table's own editing still moves the rows' content aside.
    objc_msgSend<void(BOOL)>(table.get(), "setEditing:"_sel, YES);
    objc_msgSend<void()>(table.get(), "layoutIfNeeded"_sel);
    EXPECT_GT(contentFrame(0).origin.x, before[0].origin.x);
}

}  // namespace
