// NSURL, with NSBundle's and NSData's URL methods.
#include "Internal.h"

#include <Foundation/NSBundle.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSError.h>
#include <Foundation/NSString.h>
#include <Foundation/NSURL.h>
#include <platform/DeviceRoot.h>
#include <platform/Network.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <optional>
#include <functional>

namespace {

using platform::foundation::allocate;
using platform::foundation::str;

const char kFilePrefix[] = "file://";

bool isUnreserved(unsigned char c) {
    return std::isalnum(c) || std::string_view("-._~/!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string percentEncode(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (isUnreserved(c)) out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string percentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// The scheme of a URL string ("" when it has none).
std::string schemeOf(const std::string& url) {
    size_t colon = url.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0]))) return "";
    for (size_t i = 0; i < colon; ++i) {
        char c = url[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return "";
    }
    return url.substr(0, colon);
}

bool isFile(const NSURL* url) { return url->_string.rfind(kFilePrefix, 0) == 0; }

std::string pathOf(const NSURL* url) {
    const std::string& s = url->_string;
    if (isFile(url)) return percentDecode(s.substr(sizeof kFilePrefix - 1));
    size_t start = s.find("://");
    if (start == std::string::npos) return "";
    size_t slash = s.find('/', start + 3);
    if (slash == std::string::npos) return "";
    size_t end = s.find_first_of("?#", slash);
    return percentDecode(s.substr(slash, end == std::string::npos ? std::string::npos : end - slash));
}

id urlOf(Class cls, std::string string) {
    auto* u = allocate<NSURL>(cls);
    u->_string = std::move(string);
    return autorelease(u);
}

id fileURLWithPath(Class cls, SEL, NSString* path) {
    if (path == nullptr) return nil;
    return urlOf(cls, kFilePrefix + percentEncode(path->str()));
}

id URLWithString(Class cls, SEL, id string) {
    if (!objc_isKindOfClass(string, NSString::cls())) return nil;
    const std::string& s = static_cast<NSString*>(string)->str();
    if (!platform::net::parseURL(s)) return nil;
    return urlOf(cls, s);
}

id absoluteString(NSURL* self, SEL) { return str(self->_string); }
id scheme(NSURL* self, SEL) { return str(schemeOf(self->_string)); }
// nil without an authority or with an empty host; an IPv6 host without
// its brackets.
id host(NSURL* self, SEL) {
    std::optional<platform::net::URLParts> parts = platform::net::parseURL(self->_string);
    if (!parts || parts->host.empty()) return nil;
    std::string h = percentDecode(parts->host);
    if (h.size() >= 2 && h.front() == '[') h = h.substr(1, h.size() - 2);
    return str(h);
}
BOOL isFileURL(NSURL* self, SEL) { return isFile(self); }
id path(NSURL* self, SEL) { return str(pathOf(self)); }
BOOL isEqual(NSURL* self, SEL, id other) {
    return objc_isKindOfClass(other, NSURL::cls()) && static_cast<NSURL*>(other)->_string == self->_string;
}
NSUInteger hash(NSURL* self, SEL) { return std::hash<std::string>{}(self->_string); }
id description(NSURL* self, SEL) { return str(self->_string); }

id URLForResourceWithExtension(NSBundle* self, SEL, id name, id extension) {
    id path = objc_msgSend<id(id, id)>(self, "pathForResource:ofType:"_sel, name, extension);
    if (path == nil) return nil;
    return objc_msgSend<id(id)>(NSURL::cls(), "fileURLWithPath:"_sel, path);
}

// A page read from the web is at most this large; a larger one counts as
// failed (nil), as does any answer other than 2xx.
constexpr size_t kMaxPageBytes = 2 * 1024 * 1024;

// A web page's GET, within `seconds` when given.
platform::net::Response fetchPage(const std::string& url, std::optional<double> seconds) {
    platform::net::Activity activity;
    platform::net::HTTPRequest request(url, kMaxPageBytes);
    if (seconds)
        request.until(std::chrono::steady_clock::now() +
                      std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(*seconds)));
    return request.perform();
}

id dataOf(const platform::net::Response& r) {
    return objc_msgSend<id(const void*, NSUInteger)>(NSData::cls(), "dataWithBytes:length:"_sel, r.body.data(), r.body.size());
}

id dataWithContentsOfURL(Class cls, SEL, id url) {
    if (!objc_isKindOfClass(url, NSURL::cls())) return nil;
    auto* u = static_cast<NSURL*>(url);
    if (isFile(u)) return objc_msgSend<id(id)>(cls, "dataWithContentsOfFile:"_sel, str(pathOf(u)));
    if (!platform::net::isWebURL(u->_string)) return nil;
    platform::net::Response r = fetchPage(u->_string, std::nullopt);
    if (!r.ok()) return nil;
    return dataOf(r);
}

// NSURLRequest: the URL of a request and its time-out.
constexpr double kDefaultTimeout = 60;

id requestWithURLTimeout(Class cls, SEL, id url, NSUInteger, double timeout) {
    auto* r = allocate<NSURLRequest>(cls);
    if (objc_isKindOfClass(url, NSURL::cls())) r->_URL = static_cast<NSURL*>(url);
    r->_timeoutInterval = std::isfinite(timeout) && timeout > 0 ? timeout : kDefaultTimeout;
    return autorelease(r);
}
id requestWithURL(Class cls, SEL, id url) { return requestWithURLTimeout(cls, nullptr, url, 0, kDefaultTimeout); }
id requestURL(NSURLRequest* self, SEL) { return self->_URL.get(); }
double timeoutInterval(NSURLRequest* self, SEL) { return self->_timeoutInterval; }

// The platform's NSURLErrorDomain codes.
NSInteger errorCodeOf(platform::net::Failure failure) {
    using platform::net::Failure;
    switch (failure) {
        case Failure::BadURL: return -1000;            // NSURLErrorBadURL
        case Failure::Refused: return -1002;           // NSURLErrorUnsupportedURL
        case Failure::Connect: return -1004;           // NSURLErrorCannotConnectToHost
        case Failure::Timeout: return -1001;           // NSURLErrorTimedOut
        case Failure::TooLarge: return -1103;          // NSURLErrorDataLengthExceedsMaximum
        case Failure::Status: return -1011;            // NSURLErrorBadServerResponse
        case Failure::TooManyRedirects: return -1007;  // NSURLErrorHTTPTooManyRedirects
        case Failure::Cancelled: return -999;          // NSURLErrorCancelled
        default: return -1005;                         // NSURLErrorNetworkConnectionLost
    }
}

id sendSynchronousRequest(Class, SEL, id request, id* response, NSError** error) {
    if (response != nullptr) *response = nil;
    auto fail = [&](platform::net::Failure failure, const std::string& why) -> id {
        if (error != nullptr) {
            id info = objc_msgSend<id(id, id)>(objc_getClass("NSDictionary"), "dictionaryWithObject:forKey:"_sel,
                                               str(why), NSLocalizedDescriptionKey);
            *error = NSError::make(NSString::make("NSURLErrorDomain"), errorCodeOf(failure), static_cast<NSDictionary*>(info));
        }
        return nil;
    };
    if (!objc_isKindOfClass(request, NSURLRequest::cls())) return fail(platform::net::Failure::BadURL, "no request");
    auto* r = static_cast<NSURLRequest*>(request);
    std::string url = r->_URL ? r->_URL->_string : "";
    if (!platform::net::isWebURL(url)) return fail(platform::net::Failure::BadURL, "not an http(s) URL: " + url);
    platform::net::Response answer = fetchPage(url, r->_timeoutInterval);
    if (!answer.ok()) return fail(answer.failure, answer.message);
    return dataOf(answer);
}

}  // namespace

void platform::foundation::registerURLs() {
    objc::ClassDef<NSURL>("NSURL", NSObject::cls())
        .classMethod<fileURLWithPath>("fileURLWithPath:")
        .classMethod<URLWithString>("URLWithString:")
        .method<absoluteString>("absoluteString")
        .method<scheme>("scheme")
        .method<host>("host")
        .method<isFileURL>("isFileURL")
        .method<path>("path")
        .method<isEqual>("isEqual:")
        .method<hash>("hash")
        .method<description>("description");
    objc::ClassDef<NSURLRequest>("NSURLRequest", NSObject::cls())
        .classMethod<requestWithURL>("requestWithURL:")
        .classMethod<requestWithURLTimeout>("requestWithURL:cachePolicy:timeoutInterval:")
        .method<requestURL>("URL")
        .method<timeoutInterval>("timeoutInterval");
    objc::ClassDef<NSURLConnection>("NSURLConnection", NSObject::cls())
        .classMethod<sendSynchronousRequest>("sendSynchronousRequest:returningResponse:error:");
    objc::define_method(NSBundle::cls(), "URLForResource:withExtension:"_sel,
                        objc::make_imp<URLForResourceWithExtension>(), "@@:@@");
    objc::define_method(NSData::cls()->isa, "dataWithContentsOfURL:"_sel, objc::make_imp<dataWithContentsOfURL>(),
                        "@@:@");
}
