// NSCharacterSet and NSString's componentsSeparatedByCharactersInSet:.
#include <Foundation/NSArray.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSException.h>
#include <Foundation/NSString.h>

#include "Internal.h"
#include <platform/Unicode.h>

#include <algorithm>

bool NSCharacterSet::contains(char32_t c) const {
    bool in = _characters.count(c) != 0 ||
              std::any_of(_ranges.begin(), _ranges.end(), [c](const auto& r) { return c >= r.first && c <= r.second; });
    return in != _inverted;
}

namespace {

NSCharacterSet* newSet(Class cls) {
    return static_cast<NSCharacterSet*>(objc_autorelease(objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel)));
}

id withCharacters(Class cls, SEL, NSString* text) {
    NSCharacterSet* set = newSet(cls);
    const std::string& s = to_string(text);
    for (size_t i = 0; i < s.size();) set->_characters.insert(platform::unicode::decode(s, i));
    return set;
}

id controlCharacters(Class cls, SEL) {
    NSCharacterSet* set = newSet(cls);
    set->_ranges = {{0x00, 0x1F}, {0x7F, 0x9F}};
    return set;
}

BOOL characterIsMember(NSCharacterSet* self, SEL, unsigned short c) { return self->contains(c); }
BOOL longCharacterIsMember(NSCharacterSet* self, SEL, unsigned int c) { return self->contains(c); }

id invertedSet(NSCharacterSet* self, SEL) {
    NSCharacterSet* set = newSet(NSCharacterSet::cls());
    set->_characters = self->_characters;
    set->_ranges = self->_ranges;
    set->_inverted = !self->_inverted;
    return set;
}

NSArray* componentsSeparatedByCharactersInSet(NSString* self, SEL, id setObject) {
    if (setObject == nil || !objc_isKindOfClass(setObject, NSCharacterSet::cls()))
        NSException::raise(NSInvalidArgumentException,
                           "-[NSString componentsSeparatedByCharactersInSet:]: nil or not a character set");
    auto* set = static_cast<NSCharacterSet*>(setObject);
    const std::string& s = self->str();
    std::vector<id> items;
    size_t start = 0;
    for (size_t i = 0; i < s.size();) {
        size_t at = i;
        if (set->contains(platform::unicode::decode(s, i))) {
            items.push_back(NSString::make(s.substr(start, at - start)));
            start = i;
        }
    }
    items.push_back(NSString::make(s.substr(start)));
    return NSArray::make(items);
}

}  // namespace

void platform::foundation::registerCharacterSets() {
    objc::ClassDef<NSCharacterSet>("NSCharacterSet", NSObject::cls())
        .classMethod<withCharacters>("characterSetWithCharactersInString:")
        .classMethod<controlCharacters>("controlCharacterSet")
        .method<characterIsMember>("characterIsMember:")
        .method<longCharacterIsMember>("longCharacterIsMember:")
        .method<invertedSet>("invertedSet");
    objc::define_method(NSString::cls(), "componentsSeparatedByCharactersInSet:"_sel,
                        objc::make_imp<componentsSeparatedByCharactersInSet>(), "@@:@");
}
