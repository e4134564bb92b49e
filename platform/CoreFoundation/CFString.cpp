// Strings for CoreFoundation, through NSString's messages.
#include <CoreFoundation/CFBase.h>

#include <objc/runtime.h>

namespace platform {

CFStringRef makeConstantString(const char* utf8) {
    id str = objc_msgSend<id(const char*)>(objc_getClass("NSString"), "stringWithUTF8String:"_sel, utf8);
    objc_retain(str);  // never released
    return reinterpret_cast<CFStringRef>(str);
}

const char* stringUTF8(CFStringRef string) {
    if (string == nullptr) return "";
    const char* s = objc_msgSend<const char*()>(objc::as_id(string), "UTF8String"_sel);
    return s ? s : "";
}

}  // namespace platform
