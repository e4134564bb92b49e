// The library's small categories and tools: UIView(Subviews),
// NSObject(BKAssociatedObjects), DelegateClass, ActionButtonImageView with its
// picture, and UILongPressGestureRecognizerWithBlock.
#include <gtest/gtest.h>

#include "ActionButtonImageView.h"
#include "Cantrel.h"
#include "Classes.h"
#include "DelegateClass.h"
#include "NSObject+BKAssociatedObjects.h"
#include "ProcessSupport.h"
#include "TestSupport.h"
#include "UILongPressGestureRecognizerWithBlock.h"
#include "UIView+Subviews.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>
#include <platform/Log.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

template <class T>
Strong<T> make() {
    return Strong<T>::adopt(static_cast<T*>(objc_msgSend<id()>(objc_msgSend<id()>(T::cls(), "alloc"_sel), "init"_sel)));
}

template <class T>
Strong<T> makeWithFrame(CGRect frame) {
    return Strong<T>::adopt(static_cast<T*>(
        objc_msgSend<id(CGRect)>(objc_msgSend<id()>(T::cls(), "alloc"_sel), "initWithFrame:"_sel, frame)));
}

Strong<UIView> viewWithTag(NSInteger tag) {
    auto v = make<UIView>();
    objc_msgSend<void(NSInteger)>(v, "setTag:"_sel, tag);
    return v;
}

void addSubview(id parent, id child) { objc_msgSend<void(id)>(parent, "addSubview:"_sel, child); }

std::string onlyLogLine() {
    auto lines = platform::recentLogLines();
    return lines.size() == 1 ? lines.front() : "(" + std::to_string(lines.size()) + " lines)";
}

// A view whose tag comes from its class, not from the stored value.
struct AnsweringView : UIView {
    OBJC_CLASS(AnsweringView)
};
NSInteger answeringTag(AnsweringView*, SEL) { return 42; }

// A presenter that writes down how it was asked to dismiss.
struct FakePresenter : UIViewController {
    OBJC_CLASS(FakePresenter)
    int dismissals = 0;
    BOOL lastAnimated = NO;
    id lastCompletion = nil;
};
void fakeDismiss(FakePresenter* self, SEL, BOOL animated, id completion) {
    ++self->dismissals;
    self->lastAnimated = animated;
    self->lastCompletion = completion;
}

// A class whose class object carries values in the class-method tests.
struct Holder : NSObject {
    OBJC_CLASS(Holder)
};

void registerAll() {
    Cantrel_registerClasses();
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<AnsweringView>("AnsweringView", UIView::cls()).method<answeringTag>("tag");
        objc::ClassDef<FakePresenter>("FakePresenter", UIViewController::cls())
            .method<fakeDismiss>("dismissViewControllerAnimated:completion:");
        objc::ClassDef<Holder>("Holder", NSObject::cls());
    });
}

class Tools : public ::testing::Test {
protected:
    void SetUp() override {
        registerAll();
        platform::clearRecentLogLines();
    }
    void TearDown() override { LOGGER_ON = NO; }

    test::TempRoot root;
    AutoreleasePool pool;
};

// --- UIView(Subviews) ---------------------------------------------------------

TEST_F(Tools, SubViewWithTagFindsTheFirstDirectSubviewAskingEachForItsTag) {
    auto parent = viewWithTag(7);
    auto first = viewWithTag(1);
    auto second = viewWithTag(7);
    auto third = viewWithTag(7);
    auto deep = viewWithTag(9);
    auto answering = make<AnsweringView>();  // stored tag 0, answers 42
    for (id v : {first.get(), second.get(), third.get(), static_cast<UIView*>(answering.get())}) addSubview(parent, v);
    addSubview(first, deep);
    auto find = [](id view, NSInteger tag) { return objc_msgSend<id(NSInteger)>(view, "subViewWithTag:"_sel, tag); };

    EXPECT_EQ(find(parent, 7), second.get());
    EXPECT_EQ(find(parent, 42), answering.get());
    EXPECT_EQ(find(parent, 0), nil);
    // Two levels down is out of reach, though viewWithTag: finds it; never the receiver.
    EXPECT_EQ(find(parent, 9), nil);
    EXPECT_EQ(objc_msgSend<id(NSInteger)>(parent, "viewWithTag:"_sel, 9), deep.get());
    EXPECT_EQ(find(deep, 9), nil);
    // Brought to the front, the second comes after the third.
    addSubview(parent, second);
    EXPECT_EQ(find(parent, 7), third.get());
}

// --- NSObject(BKAssociatedObjects) ------------------------------------------

const char kFirstKey = 0;
const char kSecondKey = 0;

void associate(id holder, const char* selector, id value, const void* key) {
    objc_msgSend<void(id, const void*)>(holder, sel_registerName(selector), value, key);
}
id associated(id holder, const void* key) {
    return objc_msgSend<id(const void*)>(holder, "associatedValueForKey:"_sel, key);
}

TEST_F(Tools, AssociationsRetainOrNotAndGoWhenRemovedOrWithTheirObject) {
    auto value = make<NSObject>();
    NSUInteger base = objc_retainCount(value);
    {
        auto holder = make<NSObject>();
        associate(holder, "associateValue:withKey:", value, &kFirstKey);
        EXPECT_EQ(associated(holder, &kFirstKey), value.get());
        EXPECT_EQ(objc_retainCount(value), base + 1);
        associate(holder, "weaklyAssociateValue:withKey:", value, &kFirstKey);  // replaces the retained one
        EXPECT_EQ(objc_retainCount(value), base);
        EXPECT_EQ(associated(holder, &kFirstKey), value.get());
        associate(holder, "atomicallyAssociateValue:withKey:", value, &kSecondKey);
        {
            AutoreleasePool inner;
            EXPECT_EQ(associated(holder, &kSecondKey), value.get());
        }
        EXPECT_EQ(objc_retainCount(value), base + 1);

        associate(holder, "associateValue:withKey:", nil, &kSecondKey);  // nil removes
        EXPECT_EQ(associated(holder, &kSecondKey), nil);
        EXPECT_EQ(associated(holder, &kFirstKey), value.get());
        EXPECT_EQ(objc_retainCount(value), base);

        associate(holder, "associateValue:withKey:", value, &kSecondKey);
        objc_msgSend<void()>(holder, "removeAllAssociatedObjects"_sel);
        EXPECT_EQ(associated(holder, &kFirstKey), nil);
        EXPECT_EQ(associated(holder, &kSecondKey), nil);
        EXPECT_EQ(objc_retainCount(value), base);

        associate(holder, "atomicallyAssociateValue:withKey:", value, &kFirstKey);
    }
    EXPECT_EQ(objc_retainCount(value), base);
}

TEST_F(Tools, CopyingAssociationsKeepACopyMadeWhenAttached) {
    auto holder = make<NSObject>();
    NSMutableString* text = NSMutableString::make("before");
    associate(holder, "associateCopyOfValue:withKey:", text, &kFirstKey);
    associate(holder, "atomicallyAssociateCopyOfValue:withKey:", text, &kSecondKey);
    text->append(" and after");
    for (const void* key : {static_cast<const void*>(&kFirstKey), static_cast<const void*>(&kSecondKey)}) {
        id stored = associated(holder, key);
        EXPECT_NE(stored, static_cast<id>(text));
        EXPECT_EQ(to_string(static_cast<NSString*>(stored)), "before");
    }
}

TEST_F(Tools, TheReloadMarkIsFoundByTheKeysAddressNotItsText) {
    static const char kSameText[] = "RELOAD_IMAGE";
    ASSERT_STREQ(kSameText, kReloadImageKey);
    auto item = make<NSObject>();
    associate(item, "associateCopyOfValue:withKey:", NSNumber::withLongLong(1), kReloadImageKey);
    EXPECT_EQ(objc_msgSend<int()>(associated(item, kReloadImageKey), "intValue"_sel), 1);
    EXPECT_EQ(associated(item, kSameText), nil);
    EXPECT_EQ(associated(make<NSObject>(), kReloadImageKey), nil);
}

TEST_F(Tools, TheClassFormsActOnTheClassObject) {
    id cls = Holder::cls();
    associate(cls, "associateCopyOfValue:withKey:", "class value"_ns, &kFirstKey);
    EXPECT_EQ(to_string(static_cast<NSString*>(associated(cls, &kFirstKey))), "class value");
    EXPECT_EQ(associated(make<Holder>(), &kFirstKey), nil);
    EXPECT_EQ(associated(NSObject::cls(), &kFirstKey), nil);
    objc_msgSend<void()>(cls, "removeAllAssociatedObjects"_sel);
    EXPECT_EQ(associated(cls, &kFirstKey), nil);
    EXPECT_NE(class_getClassMethod(NSObject::cls(), "weaklyAssociateValue:withKey:"_sel), nullptr);
}

// --- DelegateClass --------------------------------------------------------------

class Delegate : public Tools {
protected:
    void SetUp() override {
        Tools::SetUp();
        presenter = make<FakePresenter>();
        delegate = make<DelegateClass>();
        objc_msgSend<void(id)>(delegate, "setCurrentViewController:"_sel, presenter.get());
    }
    void mail(NSInteger result) {
        objc_msgSend<void(id, NSInteger, id)>(delegate, "mailComposeController:didFinishWithResult:error:"_sel, nil,
                                              result, nil);
    }
    void message(NSInteger result) {
        objc_msgSend<void(id, NSInteger)>(delegate, "messageComposeViewController:didFinishWithResult:"_sel, nil,
                                          result);
    }

    Strong<FakePresenter> presenter;
    Strong<DelegateClass> delegate;
};

TEST_F(Delegate, EachResultLogsItsLineAndDismissesThePresenter) {
    LOGGER_ON = YES;
    const std::pair<NSInteger, const char*> mails[] = {
        {0, "You cancelled sending this email."},
        {1, "You saved a draft of this email"},
        {2, "You sent the email."},
        {3, "Mail failed:  An error occurred when trying to compose this email"},
        {4, "An error occurred when trying to compose this email"},
    };
    for (const auto& [result, line] : mails) {
        platform::clearRecentLogLines();
        mail(result);
        EXPECT_EQ(onlyLogLine(), line) << "result " << result;
    }
    const std::pair<NSInteger, const char*> messages[] = {{0, "Message cancelled"}, {1, nullptr}, {2, nullptr}};
    for (const auto& [result, line] : messages) {
        platform::clearRecentLogLines();
        message(result);
        EXPECT_EQ(onlyLogLine(), line ? line : "(0 lines)") << "result " << result;
    }
    EXPECT_EQ(presenter->dismissals, 8);
    EXPECT_TRUE(presenter->lastAnimated);
    EXPECT_EQ(presenter->lastCompletion, nil);
}

TEST_F(Delegate, QuietWithoutTheLoggerAndTheControllerIsNotRetained) {
    mail(2);
    EXPECT_TRUE(platform::recentLogLines().empty());
    EXPECT_EQ(presenter->dismissals, 1);
    EXPECT_EQ(objc_msgSend<id()>(delegate, "currentViewController"_sel), presenter.get());
    NSUInteger count = objc_retainCount(presenter);
    objc_msgSend<void(id)>(delegate, "setCurrentViewController:"_sel, nil);
    EXPECT_EQ(objc_retainCount(presenter), count);
    EXPECT_NO_THROW(message(0));  // nobody to dismiss
    EXPECT_EQ(presenter->dismissals, 1);
}

// --- ActionButtonImageView and its picture ---------------------------------------

// The library's resource bundle, as a device path.
const std::string kBundle = "Library/Application Support/Cantrel/Cantrel.bundle";
const std::string kPictureSource = std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png";

UIImage* load(const std::string& devicePath) {
    return static_cast<UIImage*>(
        objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, NSString::make(devicePath)));
}

bool samePixels(UIImage* a, UIImage* b) {
    if (a == nullptr || b == nullptr) return false;
    if (a->pixelWidth() != b->pixelWidth() || a->pixelHeight() != b->pixelHeight()) return false;
    for (int y = 0; y < a->pixelHeight(); ++y)
        for (int x = 0; x < a->pixelWidth(); ++x)
            if (a->pixel(x, y) != b->pixel(x, y)) return false;
    return true;
}

class ActionButton : public Tools {
protected:
    void installBundle() {
        std::filesystem::create_directories(root.host(kBundle));
        std::filesystem::copy_file(kPictureSource, root.host(kBundle + "/10@2x.png"));
    }

    Strong<ActionButtonImageView> makeView() {
        return makeWithFrame<ActionButtonImageView>(CGRectMake(0, 0, 28, 36));
    }

};

TEST_F(ActionButton, ShowsTheBundlesPictureWhateverImageIsSetOrNoneWithoutTheFile) {
    std::filesystem::copy_file(kPictureSource, root.host("other.png"));
    UIImage* other = load("other.png");  // the same pixels at scale 1
    ASSERT_NE(other, nullptr);
    auto view = makeView();
    objc_msgSend<void(id)>(view, "setImage:"_sel, other);
    EXPECT_EQ(objc_msgSend<id()>(view, "image"_sel), nil);

    installBundle();
    for (id given : {static_cast<id>(other), static_cast<id>(nil)}) {
        objc_msgSend<void(id)>(view, "setImage:"_sel, given);
        auto* shown = static_cast<UIImage*>(objc_msgSend<id()>(view, "image"_sel));
        ASSERT_NE(shown, nullptr);
        EXPECT_DOUBLE_EQ(objc_msgSend<double()>(shown, "scale"_sel), 2);
        EXPECT_DOUBLE_EQ(objc_msgSend<CGSize()>(shown, "size"_sel).width, 30);
        EXPECT_TRUE(samePixels(shown, load(kBundle + "/10@2x.png")));
    }
}

TEST_F(ActionButton, LogsWhatItIsGivenMarksItselfForRedisplayAndStaysTemplate) {
    static std::vector<id> marked;
    static Slot<void(UIView*, SEL)> _setNeedsDisplay$UIView;
    MSHookMessageEx(
        UIView::cls(), "setNeedsDisplay"_sel,
        +[](UIView* self, SEL cmd) {
            marked.push_back(self);
            _setNeedsDisplay$UIView(self, cmd);
        },
        &_setNeedsDisplay$UIView);
    auto view = makeView();
    LOGGER_ON = YES;
    objc_msgSend<void(id)>(view, "setImage:"_sel, nil);
    EXPECT_EQ(marked, std::vector<id>{view.get()});
    EXPECT_EQ(onlyLogLine(), "ActionButtonImageView - setImage: (null)");

    for (NSInteger mode : {0, 1, 2}) {
        platform::clearRecentLogLines();
        objc_msgSend<void(NSInteger)>(view, "_setDefaultRenderingMode:"_sel, mode);
        EXPECT_EQ(objc_msgSend<NSInteger()>(view, "_defaultRenderingMode"_sel), 2);
        EXPECT_EQ(onlyLogLine(), "ActionButtonImageView - _setDefaultRenderingMode: " + std::to_string(mode));
    }
}

TEST_F(ActionButton, FromACoderItIsGreenAndFromAFrameItIsNot) {
    auto coded = Strong<ActionButtonImageView>::adopt(static_cast<ActionButtonImageView*>(objc_msgSend<id(id)>(
        objc_msgSend<id()>(ActionButtonImageView::cls(), "alloc"_sel), "initWithCoder:"_sel, nil)));
    ASSERT_NE(coded.get(), nil);
    id green = objc_msgSend<id()>(UIColor::cls(), "greenColor"_sel);
    EXPECT_TRUE(objc_msgSend<BOOL(id)>(objc_msgSend<id()>(coded, "backgroundColor"_sel), "isEqual:"_sel, green));
    EXPECT_EQ(objc_msgSend<id()>(makeView(), "backgroundColor"_sel), nil);
}

// What drawing reaches the path and the colour, as text lines.
std::vector<std::string> drawing;

std::string fmt2(const char* what, double a, double b) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %.3f %.3f", what, a, b);
    return buf;
}

Slot<void(NSObject*, SEL, CGPoint)> _moveToPoint$UIBezierPath;
void moveToPoint$UIBezierPath(NSObject* self, SEL cmd, CGPoint p) {
    drawing.push_back(fmt2("move", p.x, p.y));
    if (_moveToPoint$UIBezierPath) _moveToPoint$UIBezierPath(self, cmd, p);
}
Slot<void(NSObject*, SEL, CGPoint)> _addLineToPoint$UIBezierPath;
void addLineToPoint$UIBezierPath(NSObject* self, SEL cmd, CGPoint p) {
    drawing.push_back(fmt2("line", p.x, p.y));
    if (_addLineToPoint$UIBezierPath) _addLineToPoint$UIBezierPath(self, cmd, p);
}
Slot<void(NSObject*, SEL, double)> _setLineWidth$UIBezierPath;
void setLineWidth$UIBezierPath(NSObject* self, SEL cmd, double width) {
    drawing.push_back(fmt2("width", width, 0));
    if (_setLineWidth$UIBezierPath) _setLineWidth$UIBezierPath(self, cmd, width);
}
Slot<void(NSObject*, SEL)> _stroke$UIBezierPath;
void stroke$UIBezierPath(NSObject* self, SEL cmd) {
    drawing.push_back("stroke");
    if (_stroke$UIBezierPath) _stroke$UIBezierPath(self, cmd);
}
Slot<void(UIColor*, SEL)> _setStroke$UIColor;
void setStroke$UIColor(UIColor* self, SEL cmd) {
    double r = -1, g = -1, b = -1, a = -1;
    objc_msgSend<BOOL(double*, double*, double*, double*)>(self, "getRed:green:blue:alpha:"_sel, &r, &g, &b, &a);
    drawing.push_back(fmt2("colour", r + g + b, a));
    if (_setStroke$UIColor) _setStroke$UIColor(self, cmd);
}
id bezierPath(objc_class* cls, SEL) {
    return autorelease(objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel));
}

// Records the drawing calls: through replacements of the platform's path and
// colour methods, or, where the platform has none, through recording ones.
void recordDrawing() {
    Class path = objc_getClass("UIBezierPath");
    if (path == nullptr) {
        path = objc_allocateClassPair(NSObject::cls(), "UIBezierPath", 0);
        objc_registerClassPair(path);
        class_addMethod(object_getClass(path), "bezierPath"_sel, bezierPath, "@@:");
        class_addMethod(path, "moveToPoint:"_sel, moveToPoint$UIBezierPath, "v@:{CGPoint=dd}");
        class_addMethod(path, "addLineToPoint:"_sel, addLineToPoint$UIBezierPath, "v@:{CGPoint=dd}");
        class_addMethod(path, "setLineWidth:"_sel, setLineWidth$UIBezierPath, "v@:d");
        class_addMethod(path, "stroke"_sel, stroke$UIBezierPath, "v@:");
    } else {
        MSHookMessageEx(path, "moveToPoint:"_sel, moveToPoint$UIBezierPath, &_moveToPoint$UIBezierPath);
        MSHookMessageEx(path, "addLineToPoint:"_sel, addLineToPoint$UIBezierPath, &_addLineToPoint$UIBezierPath);
        MSHookMessageEx(path, "setLineWidth:"_sel, setLineWidth$UIBezierPath, &_setLineWidth$UIBezierPath);
        MSHookMessageEx(path, "stroke"_sel, stroke$UIBezierPath, &_stroke$UIBezierPath);
    }
    if (class_respondsToSelector(UIColor::cls(), "setStroke"_sel)) {
        MSHookMessageEx(UIColor::cls(), "setStroke"_sel, setStroke$UIColor, &_setStroke$UIColor);
    } else {
        class_addMethod(UIColor::cls(), "setStroke"_sel, setStroke$UIColor, "v@:");
    }
}

TEST_F(ActionButton, DrawsTheSteppedLineInBlackFourPointsWide) {
    recordDrawing();
    auto view = makeView();
    objc_msgSend<void(CGRect)>(view, "drawRect:"_sel, CGRectMake(0, 0, 28, 36));
    const std::vector<std::string> expected = {
        "move 0.833 17.500", "line 9.167 17.500",  "line 9.167 1.167",   "line 13.833 1.167",
        "line 14.000 11.000", "line 13.833 35.500", "line 19.167 35.500", "line 19.167 17.500",
        "line 27.167 17.500", "colour 0.000 1.000", "width 4.000 0.000",  "stroke",
    };
    EXPECT_EQ(drawing, expected);
}

TEST(ActionPicture, TheCommittedPictureIsWhatTheGeneratorDraws) {
    test::TempRoot root;
    AutoreleasePool pool;
    ASSERT_EQ(testsupport::runProgram({testsupport::binPath("render_action_picture"), root.host("fresh@2x.png")}), 0);
    std::filesystem::copy_file(kPictureSource, root.host("committed@2x.png"));
    UIImage* committed = load("committed@2x.png");
    ASSERT_NE(committed, nullptr);
    EXPECT_TRUE(samePixels(load("fresh@2x.png"), committed));
    // A template picture 60 pixels square: black where drawn, clear elsewhere.
    ASSERT_EQ(committed->pixelWidth(), 60);
    ASSERT_EQ(committed->pixelHeight(), 60);
    int covered = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            EXPECT_EQ(committed->pixel(x, y) & 0x00FFFFFFu, 0u) << x << "," << y;
            if ((committed->pixel(x, y) >> 24) == 0xFF) ++covered;
        }
    }
    EXPECT_GT(covered, 200);
    EXPECT_LT(covered, 60 * 60 / 2);
}

// --- UILongPressGestureRecognizerWithBlock ------------------------------------------

class BlockPress : public Tools {
protected:
    // A recogniser whose block writes down the sender and its state.
    Strong<UILongPressGestureRecognizerWithBlock> makePress() {
        AutoreleasePool inner;  // only the recogniser keeps the block
        id block = objc_block<LongPressBlock>([this](id sender) {
            calls.push_back({sender, objc_msgSend<NSInteger()>(sender, "state"_sel)});
        });
        return Strong<UILongPressGestureRecognizerWithBlock>::adopt(static_cast<UILongPressGestureRecognizerWithBlock*>(
            objc_msgSend<id(id)>(objc_msgSend<id()>(UILongPressGestureRecognizerWithBlock::cls(), "alloc"_sel),
                                 "initWithBlock:"_sel, block)));
    }

    std::vector<std::pair<id, NSInteger>> calls;
};

TEST_F(BlockPress, TheBlockRunsWithTheRecogniserOnEachStateChange) {
    auto press = makePress();
    platform::simulateLongPress(press, UIGestureRecognizerStateBegan);
    platform::simulateLongPress(press, UIGestureRecognizerStateChanged);
    platform::simulateLongPress(press, UIGestureRecognizerStateEnded);
    platform::simulateLongPress(press, UIGestureRecognizerStateFailed);  // a new press that fails: no report
    using Calls = std::vector<std::pair<id, NSInteger>>;
    EXPECT_EQ(calls, (Calls{{press.get(), 1}, {press.get(), 2}, {press.get(), 3}}));

    // The recogniser is its own target, with dispatchBlock: as the action.
    objc_msgSend<void(id, SEL)>(press, "removeTarget:action:"_sel, press.get(), "dispatchBlock:"_sel);
    platform::simulateLongPress(press, UIGestureRecognizerStateBegan);
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(BlockPress, TheBlockIsACopyThatGoesWithTheRecogniserAndMayReplaceItself) {
    long blocks = class_getLiveInstanceCount(NSBlock::cls());
    int second = 0;
    {
        AutoreleasePool local;  // the blocks made here are autoreleased into it
        auto press = makePress();
        EXPECT_EQ(objc_retainCount(objc_msgSend<id()>(press, "block"_sel)), 1u);
        EXPECT_EQ(class_getLiveInstanceCount(NSBlock::cls()), blocks + 1);
        {
            AutoreleasePool inner;
            objc_msgSend<void(id)>(press, "setBlock:"_sel, objc_block<LongPressBlock>([&](id sender) {
                                       // The running block lets go of its last owner.
                                       objc_msgSend<void(id)>(sender, "setBlock:"_sel,
                                                              objc_block<LongPressBlock>([&](id) { ++second; }));
                                   }));
        }
        platform::simulateLongPress(press, UIGestureRecognizerStateBegan);
        platform::simulateLongPress(press, UIGestureRecognizerStateEnded);
        EXPECT_EQ(second, 1);
        objc_msgSend<void(id)>(press, "setBlock:"_sel, nil);  // without a block the action does nothing
        EXPECT_TRUE(platform::simulateLongPress(press, UIGestureRecognizerStateBegan));
        EXPECT_TRUE(calls.empty());
        objc_msgSend<void(id)>(press, "setBlock:"_sel, objc_block<LongPressBlock>([](id) {}));
    }
    EXPECT_EQ(class_getLiveInstanceCount(NSBlock::cls()), blocks);
}

}  // namespace
