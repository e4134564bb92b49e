#include <UIKit/UIImagePickerController.h>

#include "Private.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

NSInteger sourceType(UIImagePickerController* self, SEL) { return self->_sourceType; }
void setSourceType(UIImagePickerController* self, SEL, NSInteger t) { self->_sourceType = t; }
BOOL allowsEditing(UIImagePickerController* self, SEL) { return self->_allowsEditing; }
void setAllowsEditing(UIImagePickerController* self, SEL, BOOL b) { self->_allowsEditing = b; }
id delegate(UIImagePickerController* self, SEL) { return self->_delegate; }
void setDelegate(UIImagePickerController* self, SEL, id d) { self->_delegate = d; }

// The photo library's pictures, as device paths: the PNG and JPEG files in
// the photo folder and its folders one level down, by name, at most
// kMostPhotos of them. Only regular files count; a symlink is not followed.
constexpr size_t kMostPhotos = 60;

bool isPicture(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".png" || ext == ".jpg" || ext == ".jpeg";
}

std::vector<std::string> photoFiles() {
    std::vector<std::string> found;
    std::string folder = platform::devicePath(kPhotoFolder);
    if (folder.empty()) return found;
    // A folder's entries by name (at most a few thousand are looked at).
    auto scan = [](const std::filesystem::path& dir) {
        std::error_code ec;
        std::vector<std::filesystem::path> entries;
        for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end && entries.size() < 4096;
             it.increment(ec))
            entries.push_back(it->path());
        std::sort(entries.begin(), entries.end());
        return entries;
    };
    // The same file as a device path, which the picture is read through.
    auto asDevicePath = [&](const std::filesystem::path& file) {
        return std::string(kPhotoFolder) + "/" + file.lexically_relative(folder).string();
    };
    std::vector<std::filesystem::path> top = scan(folder);
    for (const auto& entry : top) {
        std::error_code ec;
        auto status = std::filesystem::symlink_status(entry, ec);
        if (ec) continue;
        if (std::filesystem::is_directory(status)) {
            for (const auto& inner : scan(entry)) {
                auto innerStatus = std::filesystem::symlink_status(inner, ec);
                if (!ec && std::filesystem::is_regular_file(innerStatus) && isPicture(inner))
                    found.push_back(asDevicePath(inner));
                if (found.size() >= kMostPhotos) return found;
            }
        } else if (std::filesystem::is_regular_file(status) && isPicture(entry)) {
            found.push_back(asDevicePath(entry));
        }
        if (found.size() >= kMostPhotos) return found;
    }
    return found;
}

// The picker's screen: a bar titled "Photos" over a grid of the library's
// pictures, four a row on a phone and six on a pad, each cropped square.
void loadView(UIImagePickerController* self, SEL) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    auto make = [](Class cls, CGRect frame) {
        return objc_msgSend<id(CGRect)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithFrame:"_sel, frame);
    };
    id view = make(UIView::cls(), screen);
    objc_msgSend<void(id)>(view, "setBackgroundColor:"_sel, UIColor::make(1, 1, 1, 1));
    id bar = make(UIView::cls(), CGRectMake(0, 0, screen.size.width, kUINavigationBarHeight));
    objc_msgSend<void(id)>(bar, "setBackgroundColor:"_sel, UIColor::make(0.97, 0.97, 0.97, 1));
    id title = make(UILabel::cls(), objc_msgSend<CGRect()>(bar, "bounds"_sel));
    objc_msgSend<void(id)>(title, "setText:"_sel, "Photos"_ns);
    objc_msgSend<void(NSInteger)>(title, "setTextAlignment:"_sel, NSTextAlignmentCenter);
    objc_msgSend<void(id)>(bar, "addSubview:"_sel, title);
    objc_release(title);
    objc_msgSend<void(id)>(view, "addSubview:"_sel, bar);
    objc_release(bar);
    const int columns = UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPad ? 6 : 4;
    const CGFloat gap = 2;
    const CGFloat side = std::floor((screen.size.width - gap * (columns + 1)) / columns);
    int index = 0;
    for (const std::string& file : photoFiles()) {
        CGFloat y = kUINavigationBarHeight + gap + (index / columns) * (side + gap);
        if (y >= screen.size.height) break;
        AutoreleasePool pool;
        id picture = objc_msgSend<id(id, CGSize)>(UIImage::cls(), "_imageWithContentsOfFile:fittingSize:"_sel,
                                                  NSString::make(file), CGSizeMake(side, side));
        if (picture == nil) continue;
        id cell = make(UIImageView::cls(), CGRectMake(gap + (index % columns) * (side + gap), y, side, side));
        objc_msgSend<void(id)>(cell, "setImage:"_sel, picture);
        objc_msgSend<void(NSInteger)>(cell, "setContentMode:"_sel, 2);  // aspect fill
        objc_msgSend<void(BOOL)>(cell, "setClipsToBounds:"_sel, YES);
        objc_msgSend<void(id)>(view, "addSubview:"_sel, cell);
        objc_release(cell);
        ++index;
    }
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
}

bool presented(UIImagePickerController* picker) {
    return picker != nullptr && picker == platform::presentedPhotoPicker();
}

}  // namespace

namespace platform {

UIImagePickerController* presentedPhotoPicker() {
    UIImagePickerController* found = nullptr;
    for (UIViewController* c : presentedViewControllers())
        if (objc_isKindOfClass(c, UIImagePickerController::cls())) found = static_cast<UIImagePickerController*>(c);
    return found;
}

bool pickPhoto(UIImagePickerController* picker, UIImage* picture) {
    if (!presented(picker) || picture == nullptr) return false;
    id info = objc_msgSend<id()>(objc_getClass("NSMutableDictionary"), "dictionary"_sel);
    objc_msgSend<void(id, id)>(info, "setObject:forKey:"_sel, picture, "UIImagePickerControllerOriginalImage"_ns);
    if (picker->_allowsEditing)
        objc_msgSend<void(id, id)>(info, "setObject:forKey:"_sel, picture, "UIImagePickerControllerEditedImage"_ns);
    Strong<UIImagePickerController> kept(picker);
    objc_msgSend<void(id, id)>(picker->_delegate, "imagePickerController:didFinishPickingMediaWithInfo:"_sel, picker,
                               info);
    return true;
}

bool cancelPhotoPicker(UIImagePickerController* picker) {
    if (!presented(picker)) return false;
    Strong<UIImagePickerController> kept(picker);
    objc_msgSend<void(id)>(picker->_delegate, "imagePickerControllerDidCancel:"_sel, picker);
    return true;
}

}  // namespace platform

void platform::uikit::registerImagePickers() {
    objc::ClassDef<UIImagePickerController>("UIImagePickerController", UIViewController::cls())
        .method<sourceType>("sourceType")
        .method<setSourceType>("setSourceType:")
        .method<allowsEditing>("allowsEditing")
        .method<setAllowsEditing>("setAllowsEditing:")
        .method<delegate>("delegate")
        .method<setDelegate>("setDelegate:")
        .method<loadView>("loadView");
}
