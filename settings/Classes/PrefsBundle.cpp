#include "PrefsBundle.h"

#include <Foundation/NSBundle.h>
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIView.h>
#include <platform/DeviceRoot.h>

#include <filesystem>

#include <dlfcn.h>

id openSettingsBundle() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&openSettingsBundle), &info) != 0 && info.dli_fname != nullptr) {
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::absolute(info.dli_fname, ec).parent_path();
        std::string root = platform::deviceRoot();
        std::string here = folder.lexically_normal().string();
        if (!ec && here.size() > root.size() && here.compare(0, root.size(), root) == 0 && here[root.size()] == '/') {
            if (id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, NSString::make(here)))
                return bundle;
        }
    }
    return objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, NSString::make(kBundleRelativePath));
}

id newPage(Class cls, const char* nibName) {
    id bundle = openSettingsBundle();
    return objc_msgSend<id(id, id)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithNibName:bundle:"_sel,
                                    NSString::make(nibName), bundle);
}

void loadViewOrEmptyPage(id page, Class pageClass) {
    try {
        objc_msgSendSuper<void()>(page, pageClass, "loadView"_sel);
        return;
    } catch (NSException*) {
    }
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
    id empty = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel, screen);
    objc_msgSend<void(id)>(page, "setView:"_sel, empty);
    objc_release(empty);
}

double shorterScreenSide() {
    CGRect bounds = objc_msgSend<CGRect()>(objc_msgSend<id()>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
    float side = static_cast<float>(bounds.size.width);
    if (bounds.size.width > bounds.size.height) side = static_cast<float>(bounds.size.height);
    return static_cast<double>(side);
}

void fixContainerWidth(id container, double width) {
    id constraint = objc_msgSend<id(id, NSInteger, NSInteger, id, NSInteger, double, double)>(
        NSLayoutConstraint::cls(), "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:"_sel,
        container, NSLayoutAttributeWidth, 0, nil, NSLayoutAttributeWidth, 1.0, width);
    objc_msgSend<void(id)>(container, "addConstraint:"_sel, constraint);
}

BOOL storedBool(id delegate, const char* key, BOOL defaultValue) {
    return objc_msgSend<BOOL(id, BOOL)>(delegate, "getPreferencesBOOLForKey:withDefaultValue:"_sel, NSString::make(key),
                                        defaultValue);
}
