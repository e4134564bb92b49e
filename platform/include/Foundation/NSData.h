// NSData and NSMutableData: byte buffers.
#pragma once

#include <Foundation/NSObjCRuntime.h>

#include <cstdint>
#include <string_view>
#include <vector>

struct NSData : NSObject {
    OBJC_CLASS(NSData)

    static NSData* make(const void* bytes, NSUInteger length);  // autoreleased
    static NSData* make(std::string_view bytes) { return make(bytes.data(), bytes.size()); }

    NSUInteger length() const { return bytes_.size(); }
    const void* bytes() const { return bytes_.data(); }
    bool isEqualToData(const NSData* other) const { return other != nullptr && bytes_ == other->bytes_; }

    // The buffer; for initialisers and NSMutableData.
    std::vector<uint8_t>& buffer() { return bytes_; }
    const std::vector<uint8_t>& buffer() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

struct NSMutableData : NSData {
    OBJC_CLASS(NSMutableData)

    static NSMutableData* make();  // autoreleased, empty
    void appendBytes(const void* bytes, NSUInteger length);
};
