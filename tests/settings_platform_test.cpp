// The platform's stand-ins the settings pages use: URLs, switches, swipe
// recognisers and image view frame animation.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <Foundation/Foundation.h>
#include <Foundation/NSURL.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UISwipeGestureRecognizer.h>
#include <UIKit/UISwitch.h>
#include <UIKit/UITouch.h>
#include <platform/RunLoop.h>

#include <cairo.h>

#include <filesystem>
#include <fstream>

namespace {

std::string text(id s) { return to_string(static_cast<NSString*>(s)); }

TEST(SettingsPlatform, URLsOfFilesAndOfTheWeb) {
    test::TempRoot root;
    AutoreleasePool pool;
    Class url = objc_getClass("NSURL");
    id file = objc_msgSend<id(id)>(url, "fileURLWithPath:"_sel, "Library/A Folder/x%.gif"_ns);
    EXPECT_EQ(text(objc_msgSend<id()>(file, "absoluteString"_sel)), "file://Library/A%20Folder/x%25.gif");
    EXPECT_EQ(text(objc_msgSend<id()>(file, "path"_sel)), "Library/A Folder/x%.gif");
    EXPECT_TRUE(objc_msgSend<BOOL()>(file, "isFileURL"_sel));
    id web = objc_msgSend<id(id)>(url, "URLWithString:"_sel, "https://example.com/a%20b/c?q=1"_ns);
    EXPECT_EQ(text(objc_msgSend<id()>(web, "scheme"_sel)), "https");
    EXPECT_EQ(text(objc_msgSend<id()>(web, "path"_sel)), "/a b/c");
    EXPECT_FALSE(objc_msgSend<BOOL()>(web, "isFileURL"_sel));
    for (NSString* bad : {"no scheme"_ns, "http://a b"_ns, "://x"_ns})
        EXPECT_EQ(objc_msgSend<id(id)>(url, "URLWithString:"_sel, bad), nil) << bad->str();
    EXPECT_EQ(objc_msgSend<id(id)>(url, "URLWithString:"_sel, nil), nil);

    // A bundle's resource by URL, and its bytes.
    std::filesystem::create_directories(root.path() + "/Library/B.bundle");
    std::ofstream(root.path() + "/Library/B.bundle/x.gif") << "GIF89a-bytes";
    id bundle = objc_msgSend<id(id)>(objc_getClass("NSBundle"), "bundleWithPath:"_sel, "Library/B.bundle"_ns);
    id found = objc_msgSend<id(id, id)>(bundle, "URLForResource:withExtension:"_sel, "x"_ns, "gif"_ns);
    EXPECT_EQ(text(objc_msgSend<id()>(found, "path"_sel)), "Library/B.bundle/x.gif");
    EXPECT_EQ(objc_msgSend<id(id, id)>(bundle, "URLForResource:withExtension:"_sel, "y"_ns, "gif"_ns), nil);
    Class data = objc_getClass("NSData");
    id bytes = objc_msgSend<id(id)>(data, "dataWithContentsOfURL:"_sel, found);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(bytes, "length"_sel), 12u);
    EXPECT_EQ(objc_msgSend<id(id)>(data, "dataWithContentsOfURL:"_sel, web), nil) << "only files are read";
    EXPECT_EQ(objc_msgSend<id(id)>(data, "dataWithContentsOfURL:"_sel, nil), nil);
}

struct Target : NSObject {
    OBJC_CLASS(Target)
    int changes = 0;
};
void changed(Target* self, SEL, id) { ++self->changes; }
// Registered once per process, by whichever test needs it first.
void registerTarget() {
    static const bool registered = [] {
        objc::ClassDef<Target>("SettingsPlatformTarget", NSObject::cls()).method<changed>("changed:", "v@:@");
        return true;
    }();
    (void)registered;
}

TEST(SettingsPlatform, OnlyAUsersChangeOfASwitchSendsItsAction) {
    AutoreleasePool pool;
    registerTarget();
    Strong<Target> target = Strong<Target>::adopt(static_cast<Target*>(
        objc_msgSend<id()>(objc_msgSend<id()>(Target::cls(), "alloc"_sel), "init"_sel)));
    auto* s = static_cast<UISwitch*>(objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("UISwitch"), "alloc"_sel),
                                                             "initWithFrame:"_sel, CGRectMake(5, 6, 200, 100)));
    Strong<UISwitch> keep = Strong<UISwitch>::adopt(s);
    CGRect frame = objc_msgSend<CGRect()>(s, "frame"_sel);
    EXPECT_EQ(frame.size.width, 51);
    EXPECT_EQ(frame.size.height, 31);
    objc_msgSend<void(id, SEL, NSUInteger)>(s, "addTarget:action:forControlEvents:"_sel, target.get(), "changed:"_sel,
                                            UIControlEventValueChanged);
    objc_msgSend<void(BOOL)>(s, "setOn:"_sel, YES);
    objc_msgSend<void(BOOL, BOOL)>(s, "setOn:animated:"_sel, NO, YES);
    EXPECT_EQ(target->changes, 0);
    EXPECT_TRUE(platform::toggleSwitch(s));
    EXPECT_TRUE(objc_msgSend<BOOL()>(s, "isOn"_sel));
    EXPECT_EQ(target->changes, 1);
    objc_msgSend<void(BOOL)>(s, "setEnabled:"_sel, NO);
    EXPECT_FALSE(platform::toggleSwitch(s));
    objc_msgSend<void(BOOL)>(s, "setEnabled:"_sel, YES);
    objc_msgSend<void(BOOL)>(s, "setHidden:"_sel, YES);
    EXPECT_FALSE(platform::toggleSwitch(s));
    EXPECT_TRUE(objc_msgSend<BOOL()>(s, "isOn"_sel));
    EXPECT_EQ(target->changes, 1);
}

TEST(SettingsPlatform, SwipesOnlyInTheirDirectionOnViewsThatTakeTouches) {
    AutoreleasePool pool;
    registerTarget();
    Strong<Target> target = Strong<Target>::adopt(static_cast<Target*>(
        objc_msgSend<id()>(objc_msgSend<id()>(Target::cls(), "alloc"_sel), "init"_sel)));
    id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("UIImageView"), "alloc"_sel), "initWithFrame:"_sel,
                                       CGRectMake(0, 0, 10, 10));
    Strong<UIView> keep = Strong<UIView>::adopt(static_cast<UIView*>(view));
    id swipe = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(objc_getClass("UISwipeGestureRecognizer"), "alloc"_sel),
                                         "initWithTarget:action:"_sel, target.get(), "changed:"_sel);
    EXPECT_EQ(objc_msgSend<NSUInteger()>(swipe, "direction"_sel), UISwipeGestureRecognizerDirectionRight);
    objc_msgSend<void(NSUInteger)>(swipe, "setDirection:"_sel, UISwipeGestureRecognizerDirectionLeft);
    objc_msgSend<void(id)>(view, "addGestureRecognizer:"_sel, swipe);
    objc_release(swipe);
    // An image view takes no touches until told to.
    EXPECT_EQ(platform::swipeView(static_cast<UIView*>(view), UISwipeGestureRecognizerDirectionLeft), 0);
    objc_msgSend<void(BOOL)>(view, "setUserInteractionEnabled:"_sel, YES);
    for (NSUInteger d : {UISwipeGestureRecognizerDirectionRight, UISwipeGestureRecognizerDirectionUp,
                         UISwipeGestureRecognizerDirectionDown})
        EXPECT_EQ(platform::swipeView(static_cast<UIView*>(view), d), 0);
    EXPECT_EQ(target->changes, 0);
    EXPECT_EQ(platform::swipeView(static_cast<UIView*>(view), UISwipeGestureRecognizerDirectionLeft), 1);
    EXPECT_EQ(target->changes, 1);
    EXPECT_EQ(platform::tapView(static_cast<UIView*>(view)), 0) << "a swipe recogniser takes no tap";
}

UIImage* solid(uint32_t argb) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgba(cr, ((argb >> 16) & 255) / 255.0, ((argb >> 8) & 255) / 255.0, (argb & 255) / 255.0, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    return UIImage::withSurface(s, 1);
}

TEST(SettingsPlatform, ImageViewsAnimateOnTheRunLoopsClock) {
    platform::Clock::setVirtual(true);
    AutoreleasePool pool;
    id images = objc_msgSend<id()>(objc_getClass("NSMutableArray"), "array"_sel);
    for (uint32_t c : {0xff0000u, 0x00ff00u, 0x0000ffu, 0xffffffu}) objc_msgSend<void(id)>(images, "addObject:"_sel, solid(c));
    id view = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(objc_getClass("UIImageView"), "alloc"_sel), "initWithFrame:"_sel,
                                       CGRectMake(0, 0, 2, 2));
    Strong<UIImageView> iv = Strong<UIImageView>::adopt(static_cast<UIImageView*>(view));
    objc_msgSend<void()>(view, "startAnimating"_sel);
    EXPECT_FALSE(objc_msgSend<BOOL()>(view, "isAnimating"_sel)) << "nothing to play";
    objc_msgSend<void(id)>(view, "setAnimationImages:"_sel, images);
    objc_msgSend<void(double)>(view, "setAnimationDuration:"_sel, 2.0);
    objc_msgSend<void(NSInteger)>(view, "setAnimationRepeatCount:"_sel, 2);
    objc_msgSend<void()>(view, "startAnimating"_sel);
    struct Step {
        double advance;
        long frame;
    };
    // 0.5 s an image, two runs of 2 s.
    for (const Step& s : {Step{0, 0}, Step{0.49, 0}, Step{0.02, 1}, Step{1.0, 3}, Step{0.5, 0}, Step{1.9, 3}, Step{0.1, -1}}) {
        platform::Clock::advance(s.advance);
        EXPECT_EQ(platform::imageViewFrameIndex(iv.get()), s.frame);
    }
    EXPECT_FALSE(objc_msgSend<BOOL()>(view, "isAnimating"_sel));
    EXPECT_EQ(platform::imageViewShownImage(iv.get()), nullptr) << "no image set";
    // No duration: 1/30 s an image; no repeat count: endless.
    objc_msgSend<void(double)>(view, "setAnimationDuration:"_sel, 0);
    objc_msgSend<void(NSInteger)>(view, "setAnimationRepeatCount:"_sel, 0);
    objc_msgSend<void()>(view, "startAnimating"_sel);
    platform::Clock::advance(100 + 3.5 / 30);
    EXPECT_EQ(platform::imageViewFrameIndex(iv.get()), 3);
    objc_msgSend<void()>(view, "stopAnimating"_sel);
    EXPECT_EQ(platform::imageViewFrameIndex(iv.get()), -1);
    platform::Clock::setVirtual(false);
}

}  // namespace
