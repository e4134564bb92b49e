#include "NSDictionary+JSONCategories.h"

#include <Foundation/Foundation.h>

#include <mutex>

namespace {

id dictionaryWithContentsOfJSONURLString(id, SEL, id address) {
    id url = objc_msgSend<id(id)>(objc_getClass("NSURL"), "URLWithString:"_sel, address);
    if (url == nil) return nil;
    id data = objc_msgSend<id(id)>(NSData::cls(), "dataWithContentsOfURL:"_sel, url);
    if (data == nil) return nil;
    NSError* error = nullptr;
    id parsed = objc_msgSend<id(id, NSUInteger, NSError**)>(objc_getClass("NSJSONSerialization"),
                                                             "JSONObjectWithData:options:error:"_sel, data, 0, &error);
    return error != nullptr ? nil : parsed;
}

}  // namespace

void registerNSDictionaryJSONCategories() {
    static std::once_flag once;
    std::call_once(once, [] {
        Class meta = object_getClass(objc::as_id(NSDictionary::cls()));
        objc::define_method(meta, "dictionaryWithContentsOfJSONURLString:"_sel,
                            objc::make_imp<dictionaryWithContentsOfJSONURLString>(), "@@:@");
    });
}
