// Shared helpers of the Foundation tests: a runtime class whose live
// instances can be counted, a notification listener, and a fresh device
// root per test.
#pragma once

#include <Foundation/Foundation.h>
#include <platform/DeviceRoot.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace foundation_test {

// Instances of a class of its own, so class_getLiveInstanceCount sees only
// the objects a test made.
struct Tracked : NSObject {
    OBJC_CLASS(Tracked)
};

// Records the names it hears through -noteReceived:.
struct Listener : NSObject {
    OBJC_CLASS(Listener)
    std::vector<std::string> heard;
    std::vector<id> objects;
    std::function<void(NSNotification*)> onNote;
};

inline void noteReceived(Listener* self, SEL, NSNotification* note) {
    self->heard.push_back(to_string(note->name_.get()));
    self->objects.push_back(note->object_.get());
    if (self->onNote) self->onNote(note);
}

inline void registerTestClasses() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Tracked>("FoundationTestTracked", NSObject::cls());
        objc::ClassDef<Listener>("FoundationTestListener", NSObject::cls()).method<noteReceived>("noteReceived:");
    });
}

// An owned Tracked instance.
inline Strong<Tracked> newTracked() {
    registerTestClasses();
    return Strong<Tracked>::adopt(static_cast<Tracked*>(class_createInstance(Tracked::cls())));
}

inline long liveTracked() {
    registerTestClasses();
    return class_getLiveInstanceCount(Tracked::cls());
}

inline NSString* S(const char* utf8) { return NSString::make(utf8); }

// The UTF-8 of an NSString answer.
inline std::string text(id s) { return s ? static_cast<NSString*>(s)->str() : std::string("<nil>"); }

// Each test gets an empty device root of its own, removed afterwards.
class DeviceRootTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "cantrel-foundation-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        platform::setDeviceRoot(root_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    // The host file of a device path.
    std::string host(const std::string& devicePath) const { return platform::devicePath(devicePath); }

    // Names in a host folder, sorted.
    static std::vector<std::string> listing(const std::string& hostDir) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(hostDir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string root_;
    AutoreleasePool pool_;
};

}  // namespace foundation_test
