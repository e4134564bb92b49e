// Commands on the pictures of the icons.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <UIKit/Rendering.h>
#include <UIKit/UIView.h>

#include <dlfcn.h>

#include <climits>
#include <filesystem>
#include <ostream>

namespace host {

namespace {

using IconPictureSizeFn = BOOL (*)(NSInteger, CGSize*);


// A host path named on a command line: relative to where the host started.
std::string hostPath(const Context& c, const std::string& path) {
    std::filesystem::path p(path);
    if (p.is_absolute() || c.startDirectory.empty()) return path;
    return (std::filesystem::path(c.startDirectory) / p).string();
}

// Draws one IconView picture, at the device's current idiom, into a PNG: the
// view is the picture's whole size (100 x 100 points for a tag without one).
bool icon(Context& c, const std::vector<std::string>& args) {
    long long tag = 0, subTag = 0;
    if (!parseWhole(c, "icon", "TAG", args[0], LONG_MIN, LONG_MAX, tag)) return false;
    if (args.size() > 2 && !parseWhole(c, "icon", "SUBTAG", args[2], INT_MIN, INT_MAX, subTag)) return false;
    Class cls = objc_getClass("IconView");
    IconPictureSizeFn pictureSize = nullptr;
    for (void* handle : c.libraries)
        if (!pictureSize) pictureSize = reinterpret_cast<IconPictureSizeFn>(dlsym(handle, "Cantrel_iconPictureSize"));
    if (cls == nullptr || pictureSize == nullptr) {
        *c.err << "icon: no injected library draws icons\n";
        return false;
    }
    CGSize size = CGSizeMake(100, 100);
    pictureSize(tag, &size);

    AutoreleasePool pool;
    Strong<UIView> view = Strong<UIView>::adopt(static_cast<UIView*>(objc_msgSend<id(CGRect)>(
        objc_msgSend<id()>(cls, "alloc"_sel), "initWithFrame:"_sel, CGRectMake(0, 0, size.width, size.height))));
    objc_msgSend<void(NSInteger)>(view, "setTag:"_sel, tag);
    objc_msgSend<void(int)>(view, "setSubTag:"_sel, static_cast<int>(subTag));
    std::string error;
    if (!platform::writePNG(view.get(), hostPath(c, args[1]), 0, &error)) {
        *c.err << "icon: cannot write " << args[1] << ": " << error << "\n";
        return false;
    }
    *c.out << "icon " << tag << ": " << size.width << "x" << size.height << " points -> " << args[1] << "\n";
    return true;
}

}  // namespace

void addIconCommands(CommandTable& table) {
    table["icon"] = {"icon TAG FILE [SUBTAG]",
                     "draw the IconView picture of TAG (its subTag SUBTAG, 0 by default) at the device's idiom "
                     "into the PNG file FILE",
                     icon};
}

}  // namespace host
