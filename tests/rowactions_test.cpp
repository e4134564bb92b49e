// The platform's swipe buttons: button titles and pictures per state, row
// actions, the system's delete button of a row, and the swipe and tap a user
// makes.
#include <gtest/gtest.h>

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITableViewRowAction.h>

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

}  // namespace
