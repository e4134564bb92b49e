// UIImageView, the gesture recognisers, a simulated long press, and the
// recognisers a view holds.
#include <gtest/gtest.h>

#include "TestSupport.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIKit.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Events = std::vector<std::string>;

// A target that writes down each action it receives with the sender's state.
struct Recorder : NSObject {
    OBJC_CLASS(Recorder)
    Events events;
    id releaseOnAction = nil;  // an owned reference, let go by releaseIt:
};

std::string stateOf(id r) { return std::to_string(objc_msgSend<NSInteger()>(r, "state"_sel)); }
void pressed(Recorder* self, SEL, id sender) { self->events.push_back("pressed:" + stateOf(sender)); }
void noArgument(Recorder* self, SEL) { self->events.push_back("noArgument"); }
void withEvent(Recorder* self, SEL, id sender, id event) {
    self->events.push_back("withEvent:" + stateOf(sender) + (event == nil ? ":nil" : ":event"));
}
void releaseIt(Recorder* self, SEL, id) { objc_release(std::exchange(self->releaseOnAction, nil)); }
void takesNumber(Recorder*, SEL, NSInteger) {}

// A long-press recogniser that counts what reaches it through sends.
struct CountingPress : UILongPressGestureRecognizer {
    OBJC_CLASS(CountingPress)
    std::vector<NSInteger> statesSet;
    int resets = 0;
};
void countingSetState(CountingPress* self, SEL, NSInteger state) {
    self->statesSet.push_back(state);
    objc_msgSendSuper<void(NSInteger)>(self, CountingPress::cls(), "setState:"_sel, state);
}
void countingReset(CountingPress* self, SEL) {
    ++self->resets;
    objc_msgSendSuper<void()>(self, CountingPress::cls(), "reset"_sel);
}

void registerFakes() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Recorder>("Recorder", NSObject::cls())
            .method<pressed>("pressed:")
            .method<noArgument>("noArgument")
            .method<withEvent>("withEvent:event:")
            .method<releaseIt>("releaseIt:")
            .method<takesNumber>("takesNumber:");
        objc::ClassDef<CountingPress>("CountingPress", UILongPressGestureRecognizer::cls())
            .method<countingSetState>("setState:")
            .method<countingReset>("reset");
    });
}

template <class T>
Strong<T> make() {
    return Strong<T>::adopt(static_cast<T*>(objc_msgSend<id()>(objc_msgSend<id()>(T::cls(), "alloc"_sel), "init"_sel)));
}

template <class T>
Strong<T> makePress(id target, SEL action) {
    return Strong<T>::adopt(static_cast<T*>(objc_msgSend<id(id, SEL)>(
        objc_msgSend<id()>(T::cls(), "alloc"_sel), "initWithTarget:action:"_sel, target, action)));
}

void addTarget(id r, id target, SEL action) { objc_msgSend<void(id, SEL)>(r, "addTarget:action:"_sel, target, action); }
void removeTarget(id r, id target, SEL action) {
    objc_msgSend<void(id, SEL)>(r, "removeTarget:action:"_sel, target, action);
}

class Gestures : public ::testing::Test {
protected:
    void SetUp() override {
        registerFakes();
        target = make<Recorder>();
        press = makePress<CountingPress>(target.get(), "pressed:"_sel);
    }
    NSInteger state() { return objc_msgSend<NSInteger()>(press, "state"_sel); }
    bool simulate(UIGestureRecognizerState s) { return platform::simulateLongPress(press, s); }

    AutoreleasePool pool;
    Strong<Recorder> target;
    Strong<CountingPress> press;
};

TEST_F(Gestures, APressReportsItsChangesThroughSetStateAndANewOneResetsFirst) {
    EXPECT_EQ(state(), UIGestureRecognizerStatePossible);
    for (auto s : {UIGestureRecognizerStateBegan, UIGestureRecognizerStateChanged, UIGestureRecognizerStateEnded})
        EXPECT_TRUE(simulate(s));
    EXPECT_EQ(state(), UIGestureRecognizerStateEnded);  // kept until the next press
    EXPECT_EQ(press->resets, 0);
    simulate(UIGestureRecognizerStateBegan);
    simulate(UIGestureRecognizerStateCancelled);
    simulate(UIGestureRecognizerStateFailed);  // a third press that fails: not reported
    EXPECT_EQ(press->resets, 2);
    EXPECT_EQ(press->statesSet, (std::vector<NSInteger>{1, 2, 3, 1, 4, 5}));
    EXPECT_EQ(target->events, (Events{"pressed:1", "pressed:2", "pressed:3", "pressed:1", "pressed:4"}));
}

TEST_F(Gestures, MovesAPressCannotMakeRaise) {
    auto refused = [&](UIGestureRecognizerState to) {
        try {
            simulate(to);
        } catch (NSException* e) {
            return e->nameString() == NSInternalInconsistencyException;
        }
        return false;
    };
    EXPECT_TRUE(refused(UIGestureRecognizerStateEnded));  // never began
    EXPECT_TRUE(refused(UIGestureRecognizerStatePossible));
    simulate(UIGestureRecognizerStateBegan);
    EXPECT_TRUE(refused(UIGestureRecognizerStateBegan));
    EXPECT_TRUE(refused(UIGestureRecognizerStateFailed));  // too late to fail
    EXPECT_EQ(target->events, (Events{"pressed:1"}));
    EXPECT_FALSE(platform::simulateLongPress(nullptr, UIGestureRecognizerStateBegan));
}

TEST_F(Gestures, TargetsAreCalledInOrderWithTheArgumentsTheirActionsTake) {
    auto other = make<Recorder>();
    addTarget(press, target.get(), "noArgument"_sel);
    addTarget(press, other.get(), "withEvent:event:"_sel);
    addTarget(press, other.get(), "noArgument"_sel);
    // The same pair again, a nil target and a NULL action add nothing.
    addTarget(press, target.get(), "pressed:"_sel);
    addTarget(press, nil, "pressed:"_sel);
    addTarget(press, target.get(), nullptr);
    simulate(UIGestureRecognizerStateBegan);
    EXPECT_EQ(target->events, (Events{"pressed:1", "noArgument"}));
    EXPECT_EQ(other->events, (Events{"withEvent:1:nil", "noArgument"}));

    removeTarget(press, nil, "noArgument"_sel);       // that action of every target
    removeTarget(press, other.get(), nullptr);         // every action of that target
    simulate(UIGestureRecognizerStateEnded);
    EXPECT_EQ(target->events, (Events{"pressed:1", "noArgument", "pressed:3"}));
    EXPECT_EQ(other->events.size(), 2u);
}

TEST_F(Gestures, AnActionMayLetTheRecogniserGoAndABadTargetRaises) {
    long before = class_getLiveInstanceCount(UILongPressGestureRecognizer::cls());
    auto* lone = makePress<UILongPressGestureRecognizer>(target.get(), "releaseIt:"_sel).detach();
    addTarget(lone, target.get(), "noArgument"_sel);
    target->releaseOnAction = lone;  // the last reference
    platform::simulateLongPress(lone, UIGestureRecognizerStateBegan);
    EXPECT_EQ(target->events, (Events{"noArgument"}));
    EXPECT_EQ(class_getLiveInstanceCount(UILongPressGestureRecognizer::cls()), before);

    auto plain = make<NSObject>();
    auto unanswered = makePress<UILongPressGestureRecognizer>(plain.get(), "pressed:"_sel);
    EXPECT_THROW(platform::simulateLongPress(unanswered, UIGestureRecognizerStateBegan), NSException*);
    auto wrongType = makePress<UILongPressGestureRecognizer>(target.get(), "takesNumber:"_sel);
    EXPECT_THROW(platform::simulateLongPress(wrongType, UIGestureRecognizerStateBegan), NSException*);
}

TEST_F(Gestures, DisablingCancelsAPressAndADisabledRecogniserIgnoresTheFinger) {
    simulate(UIGestureRecognizerStateBegan);
    objc_msgSend<void(BOOL)>(press, "setEnabled:"_sel, NO);
    EXPECT_FALSE(objc_msgSend<BOOL()>(press, "isEnabled"_sel));
    EXPECT_EQ(state(), UIGestureRecognizerStateCancelled);
    EXPECT_FALSE(simulate(UIGestureRecognizerStateBegan));
    objc_msgSend<void(BOOL)>(press, "setEnabled:"_sel, YES);
    simulate(UIGestureRecognizerStateBegan);
    simulate(UIGestureRecognizerStateEnded);
    objc_msgSend<void(BOOL)>(press, "setEnabled:"_sel, NO);  // idle: nothing to report
    EXPECT_EQ(target->events, (Events{"pressed:1", "pressed:4", "pressed:1", "pressed:3"}));

    auto bare = make<UILongPressGestureRecognizer>();
    EXPECT_DOUBLE_EQ(objc_msgSend<double()>(bare, "minimumPressDuration"_sel), 0.5);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(bare, "numberOfTouchesRequired"_sel), 1u);
    EXPECT_TRUE(platform::simulateLongPress(bare, UIGestureRecognizerStateBegan));  // no targets
}

TEST_F(Gestures, AViewHoldsItsRecognisersAndTheyPointBackWeakly) {
    auto first = make<UIView>();
    auto second = make<UIView>();
    EXPECT_EQ(objc_msgSend<id()>(first, "gestureRecognizers"_sel), nil);
    objc_msgSend<void(id)>(first, "addGestureRecognizer:"_sel, press.get());
    objc_msgSend<void(id)>(first, "addGestureRecognizer:"_sel, press.get());  // no second entry
    EXPECT_EQ(objc_msgSend<id()>(press, "view"_sel), first.get());
    {
        AutoreleasePool inner;  // the list is a copy that holds the recogniser too
        id list = objc_msgSend<id()>(first, "gestureRecognizers"_sel);
        ASSERT_EQ(objc_msgSend<NSUInteger()>(list, "count"_sel), 1u);
        EXPECT_EQ(objc_msgSend<id(NSUInteger)>(list, "objectAtIndex:"_sel, 0), press.get());
    }
    // Added to another view, it leaves the first; removing it from a view that
    // does not hold it changes nothing.
    objc_msgSend<void(id)>(second, "addGestureRecognizer:"_sel, press.get());
    objc_msgSend<void(id)>(first, "removeGestureRecognizer:"_sel, press.get());
    EXPECT_EQ(objc_msgSend<id()>(press, "view"_sel), second.get());
    EXPECT_EQ(objc_msgSend<id()>(first, "gestureRecognizers"_sel), nil);

    NSUInteger held = objc_retainCount(press);
    second.reset();
    EXPECT_EQ(objc_msgSend<id()>(press, "view"_sel), nil);
    EXPECT_EQ(objc_retainCount(press), held - 1);
    EXPECT_THROW(objc_msgSend<void(id)>(first, "addGestureRecognizer:"_sel, first.get()), NSException*);
}

// --- UIImageView -------------------------------------------------------------

class ImageViews : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(std::string(CANTREL_RESOURCES_DIR) + "/Cantrel.bundle/10@2x.png",
                                   root.host("picture@2x.png"));
        AutoreleasePool inner;  // only the fixture holds the picture
        picture = static_cast<NSObject*>(
            objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, "picture@2x.png"_ns));
        ASSERT_NE(picture.get(), nil);
        images = class_getLiveInstanceCount(UIImage::cls());
    }

    test::TempRoot root;
    AutoreleasePool pool;
    Strong<NSObject> picture;
    long images = 0;
};

TEST_F(ImageViews, AnImageViewTakesTheImagesSizeAndHoldsOnlyImages) {
    auto view = Strong<UIImageView>::adopt(static_cast<UIImageView*>(objc_msgSend<id(id)>(
        objc_msgSend<id()>(UIImageView::cls(), "alloc"_sel), "initWithImage:"_sel, picture.get())));
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(view, "frame"_sel), CGRectMake(0, 0, 30, 30)));
    EXPECT_EQ(objc_msgSend<id()>(view, "image"_sel), picture.get());
    EXPECT_THROW(objc_msgSend<void(id)>(view, "setImage:"_sel, "not an image"_ns), NSException*);
    picture.reset();
    EXPECT_EQ(class_getLiveInstanceCount(UIImage::cls()), images);  // the view holds it
    view.reset();
    EXPECT_EQ(class_getLiveInstanceCount(UIImage::cls()), images - 1);
}

TEST_F(ImageViews, FromACoderAViewStartsEmptyAndAnswersTheDrawingMessages) {
    auto view = Strong<UIImageView>::adopt(static_cast<UIImageView*>(
        objc_msgSend<id(id)>(objc_msgSend<id()>(UIImageView::cls(), "alloc"_sel), "initWithCoder:"_sel, nil)));
    ASSERT_NE(view.get(), nil);
    EXPECT_TRUE(CGRectEqualToRect(objc_msgSend<CGRect()>(view, "frame"_sel), CGRectZero));
    EXPECT_EQ(objc_msgSend<id()>(view, "image"_sel), nil);
    EXPECT_EQ(objc_msgSend<NSInteger()>(view, "_defaultRenderingMode"_sel), 0);
    objc_msgSend<void(NSInteger)>(view, "_setDefaultRenderingMode:"_sel, 1);
    EXPECT_EQ(objc_msgSend<NSInteger()>(view, "_defaultRenderingMode"_sel), 1);
    EXPECT_NO_THROW(objc_msgSend<void()>(view, "setNeedsDisplay"_sel));
    EXPECT_NO_THROW(objc_msgSend<void(CGRect)>(view, "drawRect:"_sel, CGRectMake(0, 0, 10, 10)));
}

}  // namespace
