// The platform's editing stand-ins: nibs loaded through NSBundle,
// presentation and its journal, alerts, text fields, pickers, toolbars, tap
// recognisers, control touch tracking and constraints.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIKit.h>
#include <platform/RunLoop.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A recorder of what the widgets send: a target, a delegate and a data source.
struct Recorder : NSObject {
    OBJC_CLASS(Recorder)
    std::vector<std::string> calls;
    BOOL allowChanges = YES;
    BOOL allowTaps = YES;
    Strong<NSObject> label;  // an outlet
    std::vector<std::string> rows = {"Alpha", "Beta", "Gamma"};
};

void note(Recorder* self, SEL cmd, id) { self->calls.push_back(sel_getName(cmd)); }
BOOL shouldChange(Recorder* self, SEL, id, NSRange range, id text) {
    self->calls.push_back("change " + std::to_string(range.location) + "," + std::to_string(range.length) + " '" +
                          to_string(static_cast<NSString*>(text)) + "'");
    return self->allowChanges;
}
BOOL shouldReturn(Recorder* self, SEL, id) {
    self->calls.push_back("return");
    return NO;
}
BOOL shouldBegin(Recorder* self, SEL, id) { return self->allowTaps; }
NSInteger components(Recorder*, SEL, id) { return 1; }
NSInteger rowCount(Recorder* self, SEL, id, NSInteger) { return static_cast<NSInteger>(self->rows.size()); }
id rowTitle(Recorder* self, SEL, id, NSInteger row, NSInteger) { return NSString::make(self->rows.at(row)); }
void didSelect(Recorder* self, SEL, id, NSInteger row, NSInteger) { self->calls.push_back("select " + std::to_string(row)); }
void setLabel(Recorder* self, SEL, id v) { self->label = static_cast<NSObject*>(v); }

void registerRecorder() {
    static bool done = [] {
        objc::ClassDef<Recorder>("Recorder", NSObject::cls())
            .method<note>("tapped:")
            .method<note>("pressed:")
            .method<shouldChange>("textField:shouldChangeCharactersInRange:replacementString:")
            .method<shouldReturn>("textFieldShouldReturn:")
            .method<shouldBegin>("gestureRecognizerShouldBegin:")
            .method<components>("numberOfComponentsInPickerView:")
            .method<rowCount>("pickerView:numberOfRowsInComponent:")
            .method<rowTitle>("pickerView:titleForRow:forComponent:")
            .method<didSelect>("pickerView:didSelectRow:inComponent:")
            .method<setLabel>("setLabel:");
        return true;
    }();
    (void)done;
}

Strong<Recorder> recorder() {
    registerRecorder();
    return Strong<Recorder>::adopt(static_cast<Recorder*>(objc_msgSend<id()>(objc_msgSend<id()>(Recorder::cls(), "alloc"_sel), "init"_sel)));
}

template <class T>
Strong<T> make(CGRect frame) {
    return Strong<T>::adopt(static_cast<T*>(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(T::cls(), "alloc"_sel), "initWithFrame:"_sel, frame)));
}

std::string text(id s) { return to_string(static_cast<NSString*>(s)); }

class EditingUIKit : public ::testing::Test {
protected:
    void SetUp() override { platform::Clock::setVirtual(true); }
    void writeNib(const std::string& name, const std::string& json) {
        std::filesystem::create_directories(root.host("Panels.bundle"));
        std::ofstream(root.host("Panels.bundle/" + name + ".nib.json")) << json;
    }
    id bundle() { return objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, "Panels.bundle"_ns); }
    test::TempRoot root;
    AutoreleasePool pool;
};

const char kNib[] = R"({
 "objects": [
  {"class": "UIView", "id": "panel", "frame": [0, 0, 200, 100], "properties": {"tag": 5, "backgroundColor": "clear"},
   "subviews": [
    {"class": "UILabel", "id": "label", "frame": [10, 10, 100, 20], "properties": {"text": "Hello", "fontSize": 13}},
    {"class": "UIButton", "id": "button", "frame": [10, 40, 50, 30], "properties": {"title": "Go"}},
    {"class": "UITextField", "id": "field", "frame": [70, 40, 100, 30], "properties": {"placeholder": "Name"},
     "constraints": [{"id": "width", "attribute": "width", "constant": 100}]}
   ]},
  {"class": "UIView", "id": "second"}
 ],
 "outlets": [{"source": "File's Owner", "name": "label", "destination": "label"}],
 "actions": [{"source": "button", "target": "File's Owner", "selector": "pressed:", "events": ["touchUpInside"]}],
 "gestures": [{"class": "UITapGestureRecognizer", "view": "panel", "target": "File's Owner", "selector": "tapped:"}]
})";

// A nib builds its objects, properties, subviews, constraints, outlets,
// actions and recognisers; the bundle finds its files.
TEST_F(EditingUIKit, NibBuildsObjectsAndConnectsThem) {
    writeNib("Panel", kNib);
    auto owner = recorder();
    id objects = objc_msgSend<id(id, id, id)>(bundle(), "loadNibNamed:owner:options:"_sel, "Panel"_ns, owner.get(), nil);
    ASSERT_EQ(objc_msgSend<NSUInteger()>(objects, "count"_sel), 2u);
    id panel = objc_msgSend<id(NSUInteger)>(objects, "objectAtIndex:"_sel, 0);
    EXPECT_EQ(objc_msgSend<NSInteger()>(panel, "tag"_sel), 5);
    EXPECT_EQ(objc_msgSend<CGRect()>(panel, "frame"_sel).size.width, 200);
    id subviews = objc_msgSend<id()>(panel, "subviews"_sel);
    ASSERT_EQ(objc_msgSend<NSUInteger()>(subviews, "count"_sel), 3u);
    EXPECT_EQ(text(objc_msgSend<id()>(owner->label.get(), "text"_sel)), "Hello");
    EXPECT_EQ(owner->label.get(), objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, 0));

    // The button's action reaches the owner on a touch that ends inside.
    {
        platform::TouchSequence touch(static_cast<UIView*>(panel), CGPointMake(20, 50));
        ASSERT_NE(touch.control(), nullptr);
        touch.end();
    }
    // The tap recogniser reaches the owner.
    EXPECT_EQ(platform::tapView(static_cast<UIView*>(panel)), 1);
    EXPECT_EQ(owner->calls, (std::vector<std::string>{"pressed:", "tapped:"}));

    // The field's width follows its constraint once asked to update.
    id field = objc_msgSend<id(NSUInteger)>(subviews, "objectAtIndex:"_sel, 2);
    id constraint = objc_msgSend<id(NSUInteger)>(objc_msgSend<id()>(field, "constraints"_sel), "objectAtIndex:"_sel, 0);
    objc_msgSend<void(double)>(constraint, "setConstant:"_sel, 150.0);
    EXPECT_EQ(objc_msgSend<CGRect()>(field, "frame"_sel).size.width, 100);
    objc_msgSend<void()>(field, "updateConstraints"_sel);
    EXPECT_EQ(objc_msgSend<CGRect()>(field, "frame"_sel).size.width, 150);

    EXPECT_EQ(text(objc_msgSend<id(id, id)>(bundle(), "pathForResource:ofType:"_sel, "Panel.nib"_ns, "json"_ns)),
              "Panels.bundle/Panel.nib.json");
    EXPECT_EQ(objc_msgSend<id(id, id)>(bundle(), "pathForResource:ofType:"_sel, "Missing"_ns, "png"_ns), nil);
}

// Whatever is wrong with a bundle or a nib is a raise (or nil), never a
// half-built result.
TEST_F(EditingUIKit, MissingOrBadNibsRaise) {
    EXPECT_EQ(objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, "Nowhere.bundle"_ns), nil);
    writeNib("Broken", "{\"objects\": [");
    writeNib("UnknownClass", R"({"objects": [{"class": "NoSuchView"}]})");
    writeNib("UnknownProperty", R"({"objects": [{"class": "UIView", "properties": {"sparkle": 1}}]})");
    writeNib("UnknownOutlet", R"({"objects": [{"class": "UIView", "id": "v"}],
                                 "outlets": [{"source": "File's Owner", "name": "nothing", "destination": "v"}]})");
    writeNib("DanglingId", R"({"objects": [{"class": "UIView"}],
                              "outlets": [{"source": "File's Owner", "name": "label", "destination": "ghost"}]})");
    auto owner = recorder();
    for (const char* name : {"Missing", "Broken", "UnknownClass", "UnknownProperty", "UnknownOutlet", "DanglingId", "../x"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(objc_msgSend<id(id, id, id)>(bundle(), "loadNibNamed:owner:options:"_sel, NSString::make(name),
                                                  owner.get(), nil),
                     NSException*);
    }
    EXPECT_EQ(owner->label.get(), nullptr);
}

// A controller made with a nib name loads its view from the nib when it is
// first asked for.
TEST_F(EditingUIKit, ControllerLoadsItsViewFromItsNib) {
    writeNib("Screen", R"({"objects": [{"class": "UIView", "id": "root", "properties": {"tag": 42}}],
                          "outlets": [{"source": "File's Owner", "name": "view", "destination": "root"}]})");
    id controller = objc_msgSend<id(id, id)>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel),
                                             "initWithNibName:bundle:"_sel, "Screen"_ns, bundle());
    EXPECT_FALSE(objc_msgSend<BOOL()>(controller, "isViewLoaded"_sel));
    EXPECT_EQ(objc_msgSend<NSInteger()>(objc_msgSend<id()>(controller, "view"_sel), "tag"_sel), 42);
    objc_release(controller);
}

// A presented controller's view fills the screen, and its subviews follow
// their autoresizing masks: a nib made for a 320 x 480 phone shown on a
// 768 x 1024 pad.
TEST_F(EditingUIKit, PresentedViewFillsTheScreenBySubviewMasks) {
    writeNib("Sized", R"({"objects": [{"class": "UIView", "id": "root", "frame": [0, 0, 320, 480], "subviews": [
                            {"class": "UIView", "id": "grows", "frame": [0, 44, 320, 436], "properties": {"autoresizingMask": 18}},
                            {"class": "UIView", "id": "right", "frame": [240, 0, 72, 44], "properties": {"autoresizingMask": 1}},
                            {"class": "UIView", "id": "fixed", "frame": [10, 10, 20, 20]}]}],
                          "outlets": [{"source": "File's Owner", "name": "view", "destination": "root"}]})");
    platform::setMainScreen(CGSizeMake(768, 1024), 1);
    auto presenter = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
        objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    id controller = objc_msgSend<id(id, id)>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel),
                                             "initWithNibName:bundle:"_sel, "Sized"_ns, bundle());
    objc_msgSend<void(id, BOOL, id)>(presenter.get(), "presentViewController:animated:completion:"_sel, controller, NO, nil);
    platform::RunLoop::main().runFor(0.1);
    id root = objc_msgSend<id()>(controller, "view"_sel);
    auto frameOf = [&](NSUInteger i) {
        return objc_msgSend<CGRect()>(objc_msgSend<id(NSUInteger)>(objc_msgSend<id()>(root, "subviews"_sel), "objectAtIndex:"_sel, i),
                                      "frame"_sel);
    };
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(root, "frame"_sel), CGRectMake(0, 0, 768, 1024)));
    EXPECT_TRUE(CGRectEqualToRect(frameOf(0), CGRectMake(0, 44, 768, 980)));
    EXPECT_TRUE(CGRectEqualToRect(frameOf(1), CGRectMake(688, 0, 72, 44)));
    EXPECT_TRUE(CGRectEqualToRect(frameOf(2), CGRectMake(10, 10, 20, 20)));
    objc_msgSend<void(BOOL, id)>(presenter.get(), "dismissViewControllerAnimated:completion:"_sel, NO, nil);
    platform::RunLoop::main().runFor(0.1);
    objc_release(controller);
    platform::resetMainScreen();
}

// Presentation takes its transition's time, runs completions after it,
// refuses a second presentation and journals all of it.
TEST_F(EditingUIKit, PresentationRunsCompletionsAfterTheTransitionAndRefusesOverlaps) {
    platform::clearJournal();
    auto presenter = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
        objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    id alert = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(), "alertControllerWithTitle:message:preferredStyle:"_sel,
                                                   "Title"_ns, "\r\n\r\n"_ns, UIAlertControllerStyleAlert);
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(objc_msgSend<id()>(alert, "view"_sel), "frame"_sel), screen));

    int completions = 0;
    objc_msgSend<void(id, BOOL, id)>(presenter.get(), "presentViewController:animated:completion:"_sel, alert, YES,
                                     objc_block<void()>([&] { ++completions; }));
    EXPECT_EQ(objc_msgSend<id()>(presenter.get(), "presentedViewController"_sel), alert);
    platform::RunLoop::main().runFor(0.29);
    EXPECT_EQ(completions, 0);
    platform::RunLoop::main().runFor(0.02);
    EXPECT_EQ(completions, 1);
    // Presented, the alert's view is its card, narrower than the screen.
    EXPECT_EQ(objc_msgSend<CGRect()>(objc_msgSend<id()>(alert, "view"_sel), "frame"_sel).size.width, 270);

    id other = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(), "alertControllerWithTitle:message:preferredStyle:"_sel,
                                                   "Other"_ns, nil, UIAlertControllerStyleAlert);
    objc_msgSend<void(id, BOOL, id)>(presenter.get(), "presentViewController:animated:completion:"_sel, other, NO,
                                     objc_block<void()>([&] { completions += 10; }));
    objc_msgSend<void(BOOL, id)>(alert, "dismissViewControllerAnimated:completion:"_sel, YES,
                                 objc_block<void()>([&] { completions += 100; }));
    // A second dismissal during the first does nothing.
    objc_msgSend<void(BOOL, id)>(presenter.get(), "dismissViewControllerAnimated:completion:"_sel, YES,
                                 objc_block<void()>([&] { completions += 1000; }));
    platform::RunLoop::main().runFor(1);
    EXPECT_EQ(completions, 101);
    EXPECT_EQ(objc_msgSend<id()>(presenter.get(), "presentedViewController"_sel), nil);
    EXPECT_TRUE(platform::presentedViewControllers().empty());

    const auto& j = platform::journal();
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0].kind, "present");
    EXPECT_EQ(j[0].presented, "UIAlertController");
    EXPECT_EQ(j[0].title, "Title");
    EXPECT_EQ(j[0].message, "\r\n\r\n");
    EXPECT_EQ(j[1].kind, "refused");
    EXPECT_EQ(j[1].title, "Other");
    EXPECT_EQ(j[2].kind, "dismiss");
}

// A popover lives while shown though its maker let it go; a second
// presentation is refused; its card stands centred on the rectangle within
// the screen's margins at its content size; the content's own dismissal
// ends it and then runs the completion.
TEST_F(EditingUIKit, PopoverShowsItsContentUntilDismissed) {
    platform::clearJournal();
    auto content = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
        objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    id anchorView = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                             CGRectMake(0, 0, 320, 480));
    id popover = objc_msgSend<id(id)>(objc_msgSend<id()>(UIPopoverController::cls(), "alloc"_sel),
                                      "initWithContentViewController:"_sel, content.get());
    CGSize initial = objc_msgSend<CGSize()>(popover, "popoverContentSize"_sel);
    EXPECT_EQ(initial.width, 320);
    EXPECT_EQ(initial.height, 480);
    objc_msgSend<void(CGSize)>(popover, "setPopoverContentSize:"_sel, CGSizeMake(200, 100));
    // Anchored near the bottom right corner: pushed back inside the 320 x 480 screen.
    objc_msgSend<void(CGRect, id, NSUInteger, BOOL)>(popover, "presentPopoverFromRect:inView:permittedArrowDirections:animated:"_sel,
                                                     CGRectMake(300, 470, 10, 10), anchorView, 0, YES);
    objc_msgSend<void(CGRect, id, NSUInteger, BOOL)>(popover, "presentPopoverFromRect:inView:permittedArrowDirections:animated:"_sel,
                                                     CGRectMake(0, 0, 10, 10), anchorView, 0, YES);
    objc_release(popover);
    objc_release(anchorView);
    ASSERT_EQ(platform::shownPopovers().size(), 1u);
    auto* shown = platform::shownPopovers()[0];
    EXPECT_TRUE(objc_msgSend<BOOL()>(shown, "isPopoverVisible"_sel));
    CGRect card = objc_msgSend<CGRect()>(shown->_popoverView.get(), "frame"_sel);
    EXPECT_TRUE(CGRectEqualToRect(card, CGRectMake(110, 370, 200, 100)));
    objc_msgSend<void(CGSize)>(shown, "setPopoverContentSize:"_sel, CGSizeMake(100, 50));
    card = objc_msgSend<CGRect()>(shown->_popoverView.get(), "frame"_sel);
    EXPECT_TRUE(CGRectEqualToRect(card, CGRectMake(210, 420, 100, 50)));
    EXPECT_EQ(objc_msgSend<id()>(content.get(), "presentingViewController"_sel), nil);

    int completions = 0;
    ASSERT_TRUE(platform::finishTransitions(1));
    objc_msgSend<void(BOOL, id)>(content.get(), "dismissViewControllerAnimated:completion:"_sel, YES,
                                 objc_block<void()>([&] { ++completions; }));
    EXPECT_EQ(platform::shownPopovers().size(), 1u);  // until the transition is over
    EXPECT_TRUE(platform::finishTransitions(1));
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(platform::shownPopovers().empty());
    EXPECT_EQ(class_getLiveInstanceCount(UIPopoverController::cls()), 0);
    std::vector<std::string> kinds;
    for (const auto& j : platform::journal()) kinds.push_back(j.kind + " " + j.presenter + " " + j.presented);
    EXPECT_EQ(kinds, (std::vector<std::string>{"present UIPopoverController UIViewController",
                                               "refused UIPopoverController UIViewController",
                                               "dismiss UIPopoverController UIViewController"}));
}

// An alert action's tap dismisses the alert, then runs the handler.
TEST_F(EditingUIKit, AlertActionTapDismissesThenRunsItsHandler) {
    platform::clearJournal();
    auto presenter = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
        objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    id alert = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(), "alertControllerWithTitle:message:preferredStyle:"_sel,
                                                   ""_ns, ""_ns, UIAlertControllerStyleAlert);
    std::vector<std::string> seen;
    id action = objc_msgSend<id(id, NSInteger, id)>(
        UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Save"_ns, UIAlertActionStyleDefault,
        objc_block<void(id)>([&](id a) {
            seen.push_back(platform::journal().back().kind + " " + text(objc_msgSend<id()>(a, "title"_sel)));
        }));
    objc_msgSend<void(id)>(alert, "addAction:"_sel, action);
    EXPECT_FALSE(platform::tapAlertAction(static_cast<UIAlertController*>(alert), static_cast<UIAlertAction*>(action)));
    objc_msgSend<void(id, BOOL, id)>(presenter.get(), "presentViewController:animated:completion:"_sel, alert, YES, nil);
    platform::finishTransitions(1);
    EXPECT_TRUE(platform::tapAlertAction(static_cast<UIAlertController*>(alert), static_cast<UIAlertAction*>(action)));
    EXPECT_EQ(seen, (std::vector<std::string>{"dismiss Save"}));
    platform::finishTransitions(1);
    EXPECT_EQ(objc_msgSend<id()>(presenter.get(), "presentedViewController"_sel), nil);
}

// On a 375 x 667 phone a tall alert with a field moves up above the 216-point
// keyboard (or the field's taller picker) while the field edits; closing the
// alert ends the editing, so no keyboard stays over the screen under it.
TEST_F(EditingUIKit, AnAlertStandsAboveTheKeyboardAndItsClosingTakesTheKeyboardAway) {
    platform::setMainScreen(CGSizeMake(375, 667), 2);
    struct ScreenBack {
        ~ScreenBack() { platform::resetMainScreen(); }
    } screenBack;
    auto presenter = Strong<UIViewController>::adopt(static_cast<UIViewController*>(
        objc_msgSend<id()>(objc_msgSend<id()>(UIViewController::cls(), "alloc"_sel), "init"_sel)));
    std::string lines;
    for (int i = 0; i < 18; ++i) lines += "\r\n";
    id alert = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(), "alertControllerWithTitle:message:preferredStyle:"_sel,
                                                   ""_ns, NSString::make(lines), UIAlertControllerStyleAlert);
    id save = objc_msgSend<id(id, NSInteger, id)>(UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Save"_ns,
                                                  UIAlertActionStyleDefault, nil);
    objc_msgSend<void(id)>(alert, "addAction:"_sel, save);
    id view = objc_msgSend<id()>(alert, "view"_sel);
    auto title = make<UITextField>(CGRectMake(10, 10, 200, 30));
    auto genre = make<UITextField>(CGRectMake(10, 50, 200, 30));
    auto picker = make<UIView>(CGRectMake(0, 0, 320, 260));
    objc_msgSend<void(id)>(genre.get(), "setInputView:"_sel, picker.get());
    for (id field : {objc::as_id(title.get()), objc::as_id(genre.get())}) objc_msgSend<void(id)>(view, "addSubview:"_sel, field);
    objc_msgSend<void(id, BOOL, id)>(presenter.get(), "presentViewController:animated:completion:"_sel, alert, YES, nil);
    platform::finishTransitions(1);
    CGRect card = objc_msgSend<CGRect()>(view, "frame"_sel);
    ASSERT_GT(CGRectGetMaxY(card), 667 - 216);  // in the middle it would stand under the keyboard

    ASSERT_TRUE(objc_msgSend<BOOL()>(title.get(), "becomeFirstResponder"_sel));
    EXPECT_TRUE(CGRectEqualToRect(platform::keyboardFrame(), CGRectMake(0, 667 - 216, 375, 216)));
    CGRect above = objc_msgSend<CGRect()>(view, "frame"_sel);
    EXPECT_LE(CGRectGetMaxY(above), 667 - 216);
    EXPECT_GE(above.origin.y, 0);
    EXPECT_TRUE(CGSizeEqualToSize(above.size, card.size));
    ASSERT_TRUE(objc_msgSend<BOOL()>(genre.get(), "becomeFirstResponder"_sel));
    EXPECT_TRUE(CGRectEqualToRect(platform::keyboardFrame(), CGRectMake(0, 667 - 260, 375, 260)));
    EXPECT_LE(CGRectGetMaxY(objc_msgSend<CGRect()>(view, "frame"_sel)), 667 - 260);

    EXPECT_TRUE(platform::tapAlertAction(static_cast<UIAlertController*>(alert), static_cast<UIAlertAction*>(save)));
    platform::finishTransitions(1);
    EXPECT_EQ(platform::firstResponder(), nil);
    EXPECT_TRUE(CGRectIsEmpty(platform::keyboardFrame()));
}

// The keyboard asks the delegate before each change; a refused change
// leaves the text; the return key asks textFieldShouldReturn:.
TEST_F(EditingUIKit, TextFieldAsksItsDelegateBeforeEachChange) {
    auto field = make<UITextField>(CGRectMake(0, 0, 100, 30));
    auto d = recorder();
    objc_msgSend<void(id)>(field.get(), "setDelegate:"_sel, d.get());
    objc_msgSend<void(id)>(field.get(), "setText:"_sel, "ab"_ns);
    EXPECT_EQ(platform::typeText(field.get(), "c\u00e9"), 2);
    EXPECT_EQ(text(objc_msgSend<id()>(field.get(), "text"_sel)), "abc\u00e9");
    EXPECT_EQ(platform::clearText(field.get()), 1);
    EXPECT_EQ(text(objc_msgSend<id()>(field.get(), "text"_sel)), "");
    d->allowChanges = NO;
    EXPECT_EQ(platform::typeText(field.get(), "x"), 0);
    EXPECT_EQ(text(objc_msgSend<id()>(field.get(), "text"_sel)), "");
    EXPECT_FALSE(platform::pressReturn(field.get()));
    EXPECT_EQ(d->calls, (std::vector<std::string>{"change 2,0 'c'", "change 3,0 '\u00e9'", "change 0,4 ''",
                                                  "change 0,0 'x'", "return"}));

    // One first responder at a time.
    auto other = make<UITextField>(CGRectMake(0, 0, 100, 30));
    EXPECT_TRUE(objc_msgSend<BOOL()>(field.get(), "becomeFirstResponder"_sel));
    EXPECT_TRUE(objc_msgSend<BOOL()>(other.get(), "becomeFirstResponder"_sel));
    EXPECT_FALSE(objc_msgSend<BOOL()>(field.get(), "isFirstResponder"_sel));
    EXPECT_EQ(platform::firstResponder(), objc::as_id(other.get()));
    objc_msgSend<BOOL()>(other.get(), "resignFirstResponder"_sel);
    EXPECT_EQ(platform::firstResponder(), nil);
}

// Typing a long text asks the delegate once a character, at the growing
// end, and leaves no string per character behind: memory stays linear in
// the text's length.
TEST_F(EditingUIKit, TypingALongTextLeavesNoStringPerCharacter) {
    auto field = make<UITextField>(CGRectMake(0, 0, 100, 30));
    auto d = recorder();
    objc_msgSend<void(id)>(field.get(), "setDelegate:"_sel, d.get());
    objc_msgSend<void(id)>(field.get(), "setText:"_sel, "\u00e9"_ns);
    AutoreleasePool pool;
    long before = class_getLiveInstanceCount(NSString::cls());
    EXPECT_EQ(platform::typeText(field.get(), std::string(20000, 'a')), 20000);
    EXPECT_LT(class_getLiveInstanceCount(NSString::cls()) - before, 10) << "strings still alive";
    ASSERT_EQ(d->calls.size(), 20000u);
    EXPECT_EQ(d->calls.front(), "change 1,0 'a'");
    EXPECT_EQ(d->calls.back(), "change 20000,0 'a'");
    EXPECT_EQ(text(objc_msgSend<id()>(field.get(), "text"_sel)), "\u00e9" + std::string(20000, 'a'));
    // Typed on after the text was read, and after it was set.
    EXPECT_EQ(platform::typeText(field.get(), "b"), 1);
    EXPECT_EQ(d->calls.back(), "change 20001,0 'b'");
    objc_msgSend<void(id)>(field.get(), "setText:"_sel, "xy"_ns);
    EXPECT_EQ(platform::typeText(field.get(), "z"), 1);
    EXPECT_EQ(d->calls.back(), "change 2,0 'z'");
    EXPECT_EQ(text(objc_msgSend<id()>(field.get(), "text"_sel)), "xyz");
}

// selectRow: tells nobody; a user's scroll tells the delegate; rows outside
// the list are refused.
TEST_F(EditingUIKit, PickerSelectsQuietlyAndScrollsAloud) {
    auto picker = make<UIPickerView>(CGRectMake(0, 0, 320, 0));
    EXPECT_EQ(objc_msgSend<CGRect()>(picker.get(), "frame"_sel).size.height, 216);
    auto d = recorder();
    objc_msgSend<void(id)>(picker.get(), "setDataSource:"_sel, d.get());
    objc_msgSend<void(id)>(picker.get(), "setDelegate:"_sel, d.get());
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker.get(), "selectedRowInComponent:"_sel, 0), -1);
    objc_msgSend<void(NSInteger, NSInteger, BOOL)>(picker.get(), "selectRow:inComponent:animated:"_sel, 1, 0, YES);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker.get(), "selectedRowInComponent:"_sel, 0), 1);
    objc_msgSend<void(NSInteger, NSInteger, BOOL)>(picker.get(), "selectRow:inComponent:animated:"_sel, 3, 0, YES);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker.get(), "selectedRowInComponent:"_sel, 0), 1);
    EXPECT_TRUE(d->calls.empty());
    EXPECT_TRUE(platform::scrollPicker(picker.get(), 2));
    EXPECT_FALSE(platform::scrollPicker(picker.get(), 3));
    EXPECT_FALSE(platform::scrollPicker(picker.get(), -1));
    EXPECT_EQ(d->calls, (std::vector<std::string>{"select 2"}));
    // Fewer rows after a reload clear a selection past the end.
    d->rows = {"Alpha"};
    objc_msgSend<void(NSInteger)>(picker.get(), "reloadComponent:"_sel, 0);
    EXPECT_EQ(objc_msgSend<NSInteger(NSInteger)>(picker.get(), "selectedRowInComponent:"_sel, 0), -1);
}

// A bar button item sends its action to its target; a disabled one does not.
TEST_F(EditingUIKit, BarButtonItemsSendTheirActions) {
    auto target = recorder();
    id done = objc_msgSend<id(NSInteger, id, SEL)>(objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel),
                                                   "initWithBarButtonSystemItem:target:action:"_sel,
                                                   UIBarButtonSystemItemDone, target.get(), "pressed:"_sel);
    EXPECT_EQ(text(objc_msgSend<id()>(done, "title"_sel)), "Done");
    EXPECT_TRUE(platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(done)));
    objc_msgSend<void(BOOL)>(done, "setEnabled:"_sel, NO);
    EXPECT_FALSE(platform::tapBarButtonItem(static_cast<UIBarButtonItem*>(done)));
    EXPECT_EQ(target->calls, (std::vector<std::string>{"pressed:"}));
    objc_release(done);
}

// A tap reaches only a shown view that takes touches, inside views that do,
// and only when the recogniser's delegate lets it begin.
TEST_F(EditingUIKit, TapsReachOnlyVisibleInteractiveViews) {
    auto target = recorder();
    auto outer = make<UIView>(CGRectMake(0, 0, 100, 100));
    auto image = make<UIImageView>(CGRectMake(0, 0, 50, 50));
    objc_msgSend<void(id)>(outer.get(), "addSubview:"_sel, image.get());
    id tap = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(UITapGestureRecognizer::cls(), "alloc"_sel),
                                       "initWithTarget:action:"_sel, target.get(), "tapped:"_sel);
    objc_msgSend<void(id)>(tap, "setDelegate:"_sel, target.get());
    objc_msgSend<void(id)>(image.get(), "addGestureRecognizer:"_sel, tap);
    objc_release(tap);
    EXPECT_EQ(platform::tapView(image.get()), 0);  // an image view takes no touches until told
    objc_msgSend<void(BOOL)>(image.get(), "setUserInteractionEnabled:"_sel, YES);
    EXPECT_EQ(platform::tapView(image.get()), 1);
    objc_msgSend<void(double)>(image.get(), "setAlpha:"_sel, 0.0);
    EXPECT_EQ(platform::tapView(image.get()), 0);
    objc_msgSend<void(double)>(image.get(), "setAlpha:"_sel, 1.0);
    objc_msgSend<void(BOOL)>(outer.get(), "setHidden:"_sel, YES);
    EXPECT_EQ(platform::tapView(image.get()), 0);
    objc_msgSend<void(BOOL)>(outer.get(), "setHidden:"_sel, NO);
    target->allowTaps = NO;
    EXPECT_EQ(platform::tapView(image.get()), 0);
    EXPECT_EQ(target->calls, (std::vector<std::string>{"tapped:"}));
}

// The social services are unavailable until set; no composer for them.
TEST_F(EditingUIKit, SocialServicesAreAvailableOnlyWhenSet) {
    auto available = [] {
        return objc_msgSend<BOOL(id)>(SLComposeViewController::cls(), "isAvailableForServiceType:"_sel, SLServiceTypeTwitter);
    };
    EXPECT_FALSE(available());
    EXPECT_EQ(objc_msgSend<id(id)>(SLComposeViewController::cls(), "composeViewControllerForServiceType:"_sel, SLServiceTypeTwitter), nil);
    platform::setSocialServiceAvailable(to_string(SLServiceTypeTwitter), true);
    EXPECT_TRUE(available());
    EXPECT_FALSE(objc_msgSend<BOOL(id)>(SLComposeViewController::cls(), "isAvailableForServiceType:"_sel, SLServiceTypeFacebook));
    EXPECT_NE(objc_msgSend<id(id)>(SLComposeViewController::cls(), "composeViewControllerForServiceType:"_sel, SLServiceTypeTwitter), nil);
}

}  // namespace
