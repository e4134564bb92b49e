// Nibs as data files: NSBundle's loadNibNamed:owner:options: (see
// Foundation/NSBundle.h for the format).
#include "ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSBundle.h>
#include <Foundation/NSString.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITouch.h>

#include <nlohmann/json.hpp>
#include <platform/DeviceRoot.h>

#include <filesystem>
#include <map>
#include <sstream>

using namespace platform::support;
using json = nlohmann::json;

namespace {

const char kOwner[] = "File's Owner";

// Every failure of a nib is one exception naming it.
struct NibError {
    std::string what;
};

// Builds one nib's objects.
class NibLoader {
public:
    NibLoader(NSBundle* bundle, std::string name, id owner) : bundle_(bundle), name_(std::move(name)), owner_(owner) {}

    id load(const json& nib) {
        if (!nib.is_object() || !nib.contains("objects") || !nib["objects"].is_array())
            throw NibError{"no \"objects\" list"};
        id top = mutableArray();
        for (const json& o : nib["objects"]) arrayAdd(top, make(o));
        if (nib.contains("outlets")) for (const json& c : nib["outlets"]) connectOutlet(c);
        if (nib.contains("actions")) for (const json& a : nib["actions"]) connectAction(a);
        if (nib.contains("gestures")) for (const json& g : nib["gestures"]) addGesture(g);
        for (const Strong<NSObject>& o : made_)
            if (objc_msgSend<BOOL(SEL)>(o.get(), "respondsToSelector:"_sel, "awakeFromNib"_sel))
                objc_msgSend<void()>(o.get(), "awakeFromNib"_sel);
        return top;
    }

private:
    id object(const json& ref) {
        if (!ref.is_string()) throw NibError{"an object reference is not a string"};
        std::string key = ref.get<std::string>();
        if (key == kOwner) return owner_;
        auto it = byId_.find(key);
        if (it == byId_.end()) throw NibError{"no object \"" + key + "\""};
        return it->second;
    }

    Class classNamed(const json& o) {
        std::string name = o.value("class", "");
        Class cls = objc_getClass(name.c_str());
        if (cls == nil) throw NibError{"unknown class \"" + name + "\""};
        return cls;
    }

    id make(const json& o) {
        if (!o.is_object()) throw NibError{"an object is not a JSON object"};
        Class cls = classNamed(o);
        id coder = newObject(NSObject::cls());
        id obj = objc_msgSend<id(id)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithCoder:"_sel, coder);
        objc_release(coder);
        if (obj == nil) throw NibError{"initWithCoder: of " + o.value("class", "") + " gave nil"};
        made_.push_back(Strong<NSObject>::adopt(static_cast<NSObject*>(obj)));
        if (o.contains("id")) {
            if (!o["id"].is_string()) throw NibError{"an id is not a string"};
            byId_[o["id"].get<std::string>()] = obj;
        }
        if (o.contains("frame")) objc_msgSend<void(CGRect)>(obj, "setFrame:"_sel, rect(o["frame"]));
        if (o.contains("properties")) {
            if (!o["properties"].is_object()) throw NibError{"properties are not a JSON object"};
            for (const auto& [key, value] : o["properties"].items()) setProperty(obj, key, value);
        }
        if (o.contains("subviews")) {
            for (const json& s : o["subviews"]) objc_msgSend<void(id)>(obj, "addSubview:"_sel, make(s));
        }
        if (o.contains("constraints")) {
            for (const json& c : o["constraints"]) objc_msgSend<void(id)>(obj, "addConstraint:"_sel, makeConstraint(obj, c));
        }
        return obj;
    }

    id makeConstraint(id item, const json& c) {
        std::string attribute = c.value("attribute", "");
        NSInteger a = attribute == "width" ? NSLayoutAttributeWidth : attribute == "height" ? NSLayoutAttributeHeight : -1;
        if (a < 0) throw NibError{"a constraint's attribute must be width or height"};
        if (!c.contains("constant") || !c["constant"].is_number()) throw NibError{"a constraint without a constant"};
        id constraint = objc_msgSend<id(id, NSInteger, NSInteger, id, NSInteger, double, double)>(
            NSLayoutConstraint::cls(), "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:"_sel,
            item, a, 0, nil, NSLayoutAttributeNotAnAttribute, 1.0, c["constant"].get<double>());
        if (c.contains("id")) byId_[c.value("id", "")] = constraint;
        return constraint;
    }

    static CGRect rect(const json& v) {
        if (!v.is_array() || v.size() != 4) throw NibError{"a frame is not [x, y, width, height]"};
        for (const json& n : v)
            if (!n.is_number()) throw NibError{"a frame is not [x, y, width, height]"};
        return CGRectMake(v[0].get<double>(), v[1].get<double>(), v[2].get<double>(), v[3].get<double>());
    }

    static double number(const std::string& key, const json& v) {
        if (v.is_boolean()) return v.get<bool>() ? 1 : 0;
        if (!v.is_number()) throw NibError{"\"" + key + "\" is not a number"};
        return v.get<double>();
    }

    static std::string text(const std::string& key, const json& v) {
        if (!v.is_string()) throw NibError{"\"" + key + "\" is not a string"};
        return v.get<std::string>();
    }

    static id colour(const std::string& key, const json& v) {
        if (v.is_string()) {
            std::string selector = v.get<std::string>() + "Color";
            SEL sel = sel_registerName(selector.c_str());
            if (!objc_msgSend<BOOL(SEL)>(UIColor::cls(), "respondsToSelector:"_sel, sel))
                throw NibError{"\"" + key + "\": no colour " + v.get<std::string>()};
            return objc_msgSend<id()>(UIColor::cls(), sel);
        }
        if (!v.is_array() || v.size() != 4) throw NibError{"\"" + key + "\" is not [r, g, b, a] or a colour name"};
        return UIColor::make(number(key, v[0]), number(key, v[1]), number(key, v[2]), number(key, v[3]));
    }

    id image(const std::string& key, const json& v) {
        std::string file = text(key, v);
        if (file.find('/') != std::string::npos) throw NibError{"\"" + key + "\" names a file outside the bundle"};
        std::string path = (std::filesystem::path(bundle_->_path) / file).string();
        id picture = objc_msgSend<id(id)>(UIImage::cls(), "imageWithContentsOfFile:"_sel, NSString::make(path));
        if (picture == nil) throw NibError{"no picture " + file};
        return picture;
    }

    void setProperty(id obj, const std::string& key, const json& v) {
        bool isButton = objectAs<UIButton>(obj) != nullptr;
        if (key == "frame") {
            objc_msgSend<void(CGRect)>(obj, "setFrame:"_sel, rect(v));
        } else if (key == "tag" || key == "textAlignment" || key == "numberOfLines" || key == "borderStyle") {
            objc_msgSend<void(NSInteger)>(obj, sel_registerName(objc::setter_name(key.c_str()).c_str()),
                                          static_cast<NSInteger>(number(key, v)));
        } else if (key == "autoresizingMask") {
            objc_msgSend<void(NSUInteger)>(obj, "setAutoresizingMask:"_sel, static_cast<NSUInteger>(number(key, v)));
        } else if (key == "hidden" || key == "userInteractionEnabled" || key == "clipsToBounds" ||
                   key == "showsSelectionIndicator" || key == "adjustsFontSizeToFitWidth" || key == "on") {
            objc_msgSend<void(BOOL)>(obj, sel_registerName(objc::setter_name(key.c_str()).c_str()), number(key, v) != 0);
        } else if (key == "alpha") {
            objc_msgSend<void(double)>(obj, "setAlpha:"_sel, number(key, v));
        } else if (key == "cornerRadius") {
            objc_msgSend<void(double)>(objc_msgSend<id()>(obj, "layer"_sel), "setCornerRadius:"_sel, number(key, v));
        } else if (key == "backgroundColor" || key == "textColor" || key == "tintColor") {
            objc_msgSend<void(id)>(obj, sel_registerName(objc::setter_name(key.c_str()).c_str()), colour(key, v));
        } else if (key == "text" || key == "placeholder" || key == "accessibilityLabel") {
            objc_msgSend<void(id)>(obj, sel_registerName(objc::setter_name(key.c_str()).c_str()), NSString::make(text(key, v)));
        } else if (key == "title") {
            if (isButton)
                objc_msgSend<void(id, NSUInteger)>(obj, "setTitle:forState:"_sel, NSString::make(text(key, v)), UIControlStateNormal);
            else
                objc_msgSend<void(id)>(obj, "setTitle:"_sel, NSString::make(text(key, v)));
        } else if (key == "fontSize" || key == "boldFontSize") {
            objc_msgSend<void(id)>(obj, "setFont:"_sel, UIFont::system(number(key, v), key == "boldFontSize"));
        } else if (key == "image") {
            if (isButton) objc_msgSend<void(id, NSUInteger)>(obj, "setImage:forState:"_sel, image(key, v), UIControlStateNormal);
            else objc_msgSend<void(id)>(obj, "setImage:"_sel, image(key, v));
        } else {
            throw NibError{"unknown property \"" + key + "\""};
        }
    }

    void connectOutlet(const json& c) {
        id source = object(c.at("source"));
        std::string name = text("name", c.at("name"));
        id destination = object(c.at("destination"));
        SEL setter = sel_registerName(objc::setter_name(name.c_str()).c_str());
        if (!objc_msgSend<BOOL(SEL)>(source, "respondsToSelector:"_sel, setter))
            NSException::raise("NSUnknownKeyException", std::string("[") + object_getClassName(source) +
                                                            " setValue:forUndefinedKey:]: this class is not key value "
                                                            "coding-compliant for the key " + name + ".");
        objc_msgSend<void(id)>(source, setter, destination);
    }

    void connectAction(const json& a) {
        id source = object(a.at("source"));
        id target = object(a.at("target"));
        SEL selector = sel_registerName(text("selector", a.at("selector")).c_str());
        NSUInteger events = 0;
        for (const json& e : a.at("events")) {
            std::string name = text("events", e);
            if (name == "touchUpInside") events |= UIControlEventTouchUpInside;
            else if (name == "touchDown") events |= UIControlEventTouchDown;
            else if (name == "valueChanged") events |= UIControlEventValueChanged;
            else if (name == "editingChanged") events |= UIControlEventEditingChanged;
            else if (name == "editingDidEndOnExit") events |= UIControlEventEditingDidEndOnExit;
            else throw NibError{"unknown control event \"" + name + "\""};
        }
        if (!objectAs<UIControl>(source)) throw NibError{"an action's source is not a control"};
        objc_msgSend<void(id, SEL, NSUInteger)>(source, "addTarget:action:forControlEvents:"_sel, target, selector, events);
    }

    void addGesture(const json& g) {
        Class cls = classNamed(g);
        if (!class_respondsToSelector(cls, "initWithTarget:action:"_sel)) throw NibError{"a gesture's class is not a recogniser"};
        id view = object(g.at("view"));
        id target = object(g.at("target"));
        SEL selector = sel_registerName(text("selector", g.at("selector")).c_str());
        id r = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(cls, "alloc"_sel), "initWithTarget:action:"_sel, target, selector);
        objc_msgSend<void(id)>(view, "addGestureRecognizer:"_sel, r);
        objc_release(r);
    }

    NSBundle* bundle_;
    std::string name_;
    id owner_;
    std::map<std::string, id> byId_;
    std::vector<Strong<NSObject>> made_;
};

id loadNibNamed(NSBundle* self, SEL, id name, id owner, id) {
    std::string nib = to_string(static_cast<NSString*>(name));
    std::filesystem::path file = std::filesystem::path(self->_hostPath) / (nib + ".nib.json");
    // A nib is a device file of its bundle: read beneath the root, a regular
    // file only, of a bounded size.
    constexpr size_t kMaxNibBytes = 4u << 20;
    std::string text;
    if (nib.empty() || nib.find('/') != std::string::npos || !platform::readDeviceFile(file.string(), text, kMaxNibBytes))
        NSException::raise(NSInternalInconsistencyException,
                           "Could not load NIB in bundle: '" + self->_path + "' with name '" + nib + "'");
    try {
        json data = json::parse(text);
        NibLoader loader(self, nib, owner);
        return loader.load(data);
    } catch (const NibError& e) {
        NSException::raise(NSInternalInconsistencyException, "Could not load NIB '" + nib + "': " + e.what);
    } catch (const json::exception& e) {
        NSException::raise(NSInternalInconsistencyException, "Could not load NIB '" + nib + "': " + e.what());
    }
}

}  // namespace

void platform::uikit::registerNibLoading() {
    objc::define_method(NSBundle::cls(), "loadNibNamed:owner:options:"_sel, objc::make_imp<loadNibNamed>(), "@@:@@@");
}
