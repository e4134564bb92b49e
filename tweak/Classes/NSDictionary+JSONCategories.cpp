#include "NSDictionary+JSONCategories.h"

#include <Foundation/Foundation.h>

#include <mutex>

namespace {

// The JSON value of the data, or nil (with the parser's reason) for none.
id parsed(id data, std::string* why) {
    if (data == nil) return nil;
    NSError* error = nullptr;
    id value = objc_msgSend<id(id, NSUInteger, NSError**)>(objc_getClass("NSJSONSerialization"),
                                                            "JSONObjectWithData:options:error:"_sel, data, 0, &error);
    if (error == nullptr) return value;
    if (why != nullptr) *why = "not JSON: " + to_string(static_cast<NSString*>(objc_msgSend<id()>(error, "localizedDescription"_sel)));
    return nil;
}

id dictionaryWithContentsOfJSONURLString(id, SEL, id address) {
    id url = objc_msgSend<id(id)>(objc_getClass("NSURL"), "URLWithString:"_sel, address);
    if (url == nil) return nil;
    return parsed(objc_msgSend<id(id)>(NSData::cls(), "dataWithContentsOfURL:"_sel, url), nullptr);
}

}  // namespace

id cantrel::json::objectAtAddress(id address, double seconds, std::string& why) {
    id url = objc_msgSend<id(id)>(objc_getClass("NSURL"), "URLWithString:"_sel, address);
    if (url == nil) {
        why = "not a URL";
        return nil;
    }
    id request = objc_msgSend<id(id, NSUInteger, double)>(objc_getClass("NSURLRequest"),
                                                          "requestWithURL:cachePolicy:timeoutInterval:"_sel, url, 0, seconds);
    NSError* error = nullptr;
    id data = objc_msgSend<id(id, id*, NSError**)>(objc_getClass("NSURLConnection"),
                                                    "sendSynchronousRequest:returningResponse:error:"_sel, request, nullptr,
                                                    &error);
    if (data == nil) {
        why = error != nullptr ? to_string(static_cast<NSString*>(objc_msgSend<id()>(error, "localizedDescription"_sel)))
                               : "no answer";
        return nil;
    }
    return parsed(data, &why);
}

void registerNSDictionaryJSONCategories() {
    static std::once_flag once;
    std::call_once(once, [] {
        Class meta = object_getClass(objc::as_id(NSDictionary::cls()));
        objc::define_method(meta, "dictionaryWithContentsOfJSONURLString:"_sel,
                            objc::make_imp<dictionaryWithContentsOfJSONURLString>(), "@@:@");
    });
}
