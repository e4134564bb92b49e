#include <UIKit/UIImagePickerController.h>

#include "Private.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <UIKit/UIImage.h>

namespace {

NSInteger sourceType(UIImagePickerController* self, SEL) { return self->_sourceType; }
void setSourceType(UIImagePickerController* self, SEL, NSInteger t) { self->_sourceType = t; }
BOOL allowsEditing(UIImagePickerController* self, SEL) { return self->_allowsEditing; }
void setAllowsEditing(UIImagePickerController* self, SEL, BOOL b) { self->_allowsEditing = b; }
id delegate(UIImagePickerController* self, SEL) { return self->_delegate; }
void setDelegate(UIImagePickerController* self, SEL, id d) { self->_delegate = d; }

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
        .method<setDelegate>("setDelegate:");
}
