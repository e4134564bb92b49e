// NSJSONSerialization over nlohmann-json's event parser: runtime objects are
// built as the events come, so no intermediate tree is made and the nesting
// is checked before it grows.
#include <Foundation/NSArray.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSJSONSerialization.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>

#include "Internal.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <vector>

namespace {

using json = nlohmann::json;
using platform::foundation::allocate;

NSNull* theNull() {
    static NSNull* const instance = static_cast<NSNull*>(class_createInstance(NSNull::cls()));
    return instance;
}

class Builder : public nlohmann::json_sax<json> {
public:
    explicit Builder(NSUInteger options) : options_(options) {}

    Strong<objc_object> root;
    std::string error;

    bool null() override { return add(theNull()); }
    bool boolean(bool v) override { return add(NSNumber::withBool(v)); }
    bool number_integer(number_integer_t v) override { return add(NSNumber::withLongLong(v)); }
    bool number_unsigned(number_unsigned_t v) override {
        return add(v > static_cast<uint64_t>(INT64_MAX) ? NSNumber::withUnsignedLongLong(v)
                                                        : NSNumber::withLongLong(static_cast<long long>(v)));
    }
    bool number_float(number_float_t v, const string_t& text) override {
        if (!std::isfinite(v)) return fail("number out of range: " + text);
        return add(NSNumber::withDouble(v));
    }
    bool string(string_t& v) override {
        if (options_ & NSJSONReadingMutableLeaves) return add(NSMutableString::make(v));
        return add(NSString::make(v));
    }
    bool binary(binary_t&) override { return fail("binary values are not JSON"); }
    bool start_object(std::size_t) override {
        Class cls = options_ & NSJSONReadingMutableContainers ? NSMutableDictionary::cls() : NSDictionary::cls();
        return open(Strong<objc_object>::adopt(class_createInstance(cls)));
    }
    bool key(string_t& v) override {
        keys_.back() = NSString::make(v);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override {
        Class cls = options_ & NSJSONReadingMutableContainers ? NSMutableArray::cls() : NSArray::cls();
        return open(Strong<objc_object>::adopt(class_createInstance(cls)));
    }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e) override {
        return fail("invalid JSON at byte " + std::to_string(position) + ": " + e.what());
    }

private:
    bool fail(std::string why) {
        if (error.empty()) error = std::move(why);
        return false;
    }

    bool open(Strong<objc_object> container) {
        if (open_.size() >= NSJSONMaximumDepth)
            return fail("nesting deeper than " + std::to_string(NSJSONMaximumDepth) + " levels");
        if (!add(container)) return false;
        open_.push_back(container);
        keys_.emplace_back();
        return true;
    }
    bool close() {
        open_.pop_back();
        keys_.pop_back();
        return true;
    }
    bool add(id value) {
        if (open_.empty()) {
            root = value;
            return true;
        }
        id top = open_.back();
        if (objc_isKindOfClass(top, NSDictionary::cls()))
            static_cast<NSDictionary*>(top)->setObject(value, keys_.back());
        else
            static_cast<NSArray*>(top)->items().emplace_back(value);
        return true;
    }

    NSUInteger options_;
    std::vector<Strong<objc_object>> open_;  // the containers being filled
    std::vector<Strong<NSString>> keys_;     // per open container: the key of the next value
};

id JSONObjectWithData(Class, SEL, id data, NSUInteger options, NSError** error) {
    auto fail = [&](const std::string& why) -> id {
        if (error != nullptr) {
            NSMutableDictionary* info = NSMutableDictionary::make();
            info->setObject(NSString::make("The data couldn\u2019t be read because it isn\u2019t in the correct format. (" + why + ")"),
                            NSLocalizedDescriptionKey);
            *error = NSError::make(NSCocoaErrorDomain, NSPropertyListReadCorruptError, info);
        }
        return nil;
    };
    if (!objc_isKindOfClass(data, NSData::cls())) return fail("no data");
    const auto& bytes = static_cast<NSData*>(data)->buffer();
    Builder builder(options);
    bool ok = false;
    try {
        ok = json::sax_parse(bytes.begin(), bytes.end(), &builder);
    } catch (const std::exception& e) {
        // The event parser reports through parse_error; anything else that
        // escapes it (memory) still gives nil.
        builder.error = e.what();
    }
    if (!ok || builder.root == nullptr) return fail(builder.error.empty() ? "invalid JSON" : builder.error);
    id root = builder.root;
    if (!(options & NSJSONReadingAllowFragments) && !objc_isKindOfClass(root, NSDictionary::cls()) &&
        !objc_isKindOfClass(root, NSArray::cls()))
        return fail("the top level is neither an object nor an array");
    return autorelease(objc_retain(root));
}

id null(Class, SEL) { return theNull(); }
id nullDescription(id, SEL) { return "<null>"_ns; }

}  // namespace

void platform::foundation::registerJSON() {
    objc::ClassDef<NSNull>("NSNull", NSObject::cls())
        .classMethod<null>("null")
        .method<nullDescription>("description");
    objc::ClassDef<NSJSONSerialization>("NSJSONSerialization", NSObject::cls())
        .classMethod<JSONObjectWithData>("JSONObjectWithData:options:error:");
}
