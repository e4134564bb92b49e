// While it lives, every DBHandler borrows one open connection instead of
// opening and closing the media library around each statement, so that a
// benchmark can run the very same statement and result-building code both
// ways.
#pragma once

#include "DBHandler.h"

#include <MediaPlayer/MediaLibrary.h>
#include <platform/DeviceRoot.h>
#include <sqlite3.h>

namespace bench {

class KeptOpenConnection {
public:
    KeptOpenConnection() {
        sqlite3_open_v2(platform::devicePath(platform::mediaLibraryDevicePath()).c_str(), &shared_,
                        SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(shared_, 2000);
        open_ = class_getInstanceMethod(DBHandler::cls(), "openDatabase"_sel);
        close_ = class_getInstanceMethod(DBHandler::cls(), "closeDatabase"_sel);
        savedOpen_ = method_setImplementation(open_, imp_implementationWithFunction(&borrow));
        savedClose_ = method_setImplementation(close_, imp_implementationWithFunction(&giveBack));
    }
    ~KeptOpenConnection() {
        method_setImplementation(open_, savedOpen_);
        method_setImplementation(close_, savedClose_);
        sqlite3_close(shared_);
        shared_ = nullptr;
    }
    KeptOpenConnection(const KeptOpenConnection&) = delete;
    KeptOpenConnection& operator=(const KeptOpenConnection&) = delete;

private:
    static BOOL borrow(DBHandler* self, SEL) {
        self->db = shared_;
        return YES;
    }
    static void giveBack(DBHandler* self, SEL) { self->db = nullptr; }

    static inline sqlite3* shared_ = nullptr;
    Method open_;
    Method close_;
    IMP savedOpen_;
    IMP savedClose_;
};

}  // namespace bench
