// UIImagePickerController: the photo library picker.
//
//   sourceType / setSourceType:         NSInteger   0 photo library (the default)
//   allowsEditing / setAllowsEditing:   BOOL
//   delegate / setDelegate:             id          not retained
//   loadView                            void()      the screen: a bar titled "Photos" over a
//                                       grid of the photo library's pictures (the PNG and
//                                       JPEG files of kPhotoFolder and of its folders, by
//                                       name, at most 60), four a row (six on a pad)
//
// platform::pickPhoto plays a user's pick on a presented picker: the delegate
// gets imagePickerController:didFinishPickingMediaWithInfo: with the info keys
// UIImagePickerControllerOriginalImage and (when editing is allowed)
// UIImagePickerControllerEditedImage; platform::cancelPhotoPicker sends
// imagePickerControllerDidCancel:. The delegate dismisses the picker.
#pragma once

#include <UIKit/UIViewController.h>

struct UIImage;

// The photo library's folder on the device.
inline constexpr const char* kPhotoFolder = "/var/mobile/Media/DCIM";

struct UIImagePickerController : UIViewController {
    OBJC_CLASS(UIImagePickerController)

    NSInteger _sourceType = 0;
    BOOL _allowsEditing = NO;
    id _delegate = nullptr;
};

namespace platform {

// The picker presented now (the last one), or nullptr.
UIImagePickerController* presentedPhotoPicker();
// False when the picker is not presented.
bool pickPhoto(UIImagePickerController* picker, UIImage* picture);
bool cancelPhotoPicker(UIImagePickerController* picker);

}  // namespace platform
