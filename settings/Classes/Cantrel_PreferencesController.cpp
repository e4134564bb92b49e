#include "Cantrel_PreferencesController.h"

#include "Cantrel_MainViewController.h"
#include "PrefsBundle.h"

#include <CoreFoundation/CFNotificationCenter.h>
#include <Foundation/NSString.h>
#include <platform/DeviceFiles.h>
#include <platform/DeviceRoot.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

#include <fcntl.h>

namespace {

using Controller = Cantrel_PreferencesController;

id preferencesPath() { return NSString::make(kPreferencesPath); }

id newMutableDictionary() {
    return objc_msgSend<id()>(objc_msgSend<id()>(objc_getClass("NSMutableDictionary"), "alloc"_sel), "init"_sel);
}

void initPreferencesDictionary(Controller* self, SEL) {
    id manager = objc_msgSend<id()>(objc_getClass("NSFileManager"), "defaultManager"_sel);
    id dictionary = nil;
    if (objc_msgSend<BOOL(id)>(manager, "fileExistsAtPath:"_sel, preferencesPath())) {
        dictionary = objc_msgSend<id(id)>(objc_msgSend<id()>(objc_getClass("NSMutableDictionary"), "alloc"_sel),
                                          "initWithContentsOfFile:"_sel, preferencesPath());
        if (dictionary == nil) {
            // Unreadable as a dictionary: start empty, keep the file until a
            // store replaces it.
            self->moveBadFileAside = true;
            dictionary = newMutableDictionary();
        }
    } else {
        dictionary = newMutableDictionary();
    }
    self->preferences = Strong<NSObject>::adopt(static_cast<NSObject*>(dictionary));
}

id initForContentSize(Controller* self, SEL, CGSize) {
    self = static_cast<Controller*>(objc_msgSendSuper<id()>(self, Controller::cls(), "init"_sel));
    if (self == nullptr) return nil;
    objc_msgSend<void()>(self, "initPreferencesDictionary"_sel);
    id page = newPage(Cantrel_MainViewController::cls(), "RootView");
    self->mainViewController = Strong<Cantrel_MainViewController>::adopt(static_cast<Cantrel_MainViewController*>(page));
    objc_msgSend<void(id)>(page, "setDelegate:"_sel, self);
    objc_msgSend<void(id)>(self, "pushController:"_sel, page);
    return self;
}

// Backups of unreadable preference files kept beside the file: ".corrupt",
// then ".corrupt.1" and on; when all are taken the last one is replaced.
constexpr int kCorruptBackups = 10;

// Moves the unreadable file to the first backup name not taken (never
// replacing an earlier backup but the last); false when it stays.
bool moveAside(const std::string& file) {
    size_t slash = file.rfind('/');
    if (slash == std::string::npos) return false;
    platform::DeviceFolder folder;
    if (!platform::DeviceFolder::open(file.substr(0, slash), folder).ok()) return false;
    std::string name = file.substr(slash + 1);
    for (int n = 0; n < kCorruptBackups; ++n) {
        std::string backup = name + ".corrupt" + (n == 0 ? "" : "." + std::to_string(n));
        bool last = n + 1 == kCorruptBackups;
        platform::Status moved = folder.rename(name, folder, backup, last);
        if (moved.ok()) return true;
        if (moved.code() != EEXIST) return false;
    }
    return false;
}

// Writes the whole dictionary; false when nothing was written.
bool writeFile(Controller* self) {
    if (!self->preferences) return false;
    if (self->moveBadFileAside) {
        std::string file = platform::devicePath(kPreferencesPath);
        if (file.empty() || !moveAside(file)) return false;
        self->moveBadFileAside = false;
    }
    return objc_msgSend<BOOL(id, BOOL)>(self->preferences.get(), "writeToFile:atomically:"_sel, preferencesPath(), YES);
}

void postChange() {
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                         NSString::make(kSettingsChangedNotification), nullptr, nullptr, true);
}

void writePreferencesToFile(Controller* self, SEL) {
    self->lastWriteSucceeded = writeFile(self);
    postChange();
}

id getPreferencesObjectForKey(Controller* self, SEL, id key) {
    if (!self->preferences || key == nil) return nil;
    return objc_msgSend<id(id)>(self->preferences.get(), "objectForKey:"_sel, key);
}

BOOL getPreferencesBOOL(Controller* self, SEL, id key, BOOL defaultValue) {
    return objc_msgSend<BOOL(id, BOOL, id)>(objc_getClass("TypedValueTools"), "boolForKey:defaultValue:dictionary:"_sel,
                                            key, defaultValue, self->preferences.get());
}

void setPreferencesObject(Controller* self, SEL, id object, id key) {
    id dictionary = self->preferences.get();
    if (dictionary == nil || object == nil || key == nil) {
        postChange();
        return;
    }
    Strong<NSObject> previous(static_cast<NSObject*>(objc_msgSend<id(id)>(dictionary, "objectForKey:"_sel, key)));
    objc_msgSend<void(id, id)>(dictionary, "setObject:forKey:"_sel, object, key);
    self->lastWriteSucceeded = false;
    objc_msgSend<void()>(self, "writePreferencesToFile"_sel);
    if (!self->lastWriteSucceeded) {
        // The file does not hold the value: neither does the dictionary.
        if (previous) objc_msgSend<void(id, id)>(dictionary, "setObject:forKey:"_sel, previous.get(), key);
        else objc_msgSend<void(id)>(dictionary, "removeObjectForKey:"_sel, key);
    }
}

id view(Controller* self, SEL) { return objc_msgSend<id()>(self->mainViewController.get(), "view"_sel); }

id navigationTitle(Controller*, SEL) { return "Available Apps"_ns; }

}  // namespace

void registerPreferencesController() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Controller>("Cantrel_PreferencesController", PSViewController::cls())
            .method<initForContentSize>("initForContentSize:", "@@:{CGSize=dd}")
            .method<initPreferencesDictionary>("initPreferencesDictionary", "v@:")
            .method<writePreferencesToFile>("writePreferencesToFile", "v@:")
            .method<getPreferencesObjectForKey>("getPreferencesObjectForKey:", "@@:@")
            .method<getPreferencesBOOL>("getPreferencesBOOLForKey:withDefaultValue:", "B@:@B")
            .method<setPreferencesObject>("setPreferencesObject:ForKey:", "v@:@@")
            .method<view>("view", "@@:")
            .method<navigationTitle>("navigationTitle", "@@:")
            .property<&Controller::mainViewController>("mainViewController");
    });
}
