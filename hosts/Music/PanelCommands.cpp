// Commands around the edit sheet's sub-screens: the picture menu (reached by
// a tap on the artwork), its entries, the share icons and the composer they
// open, and the photo library picker.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIImagePickerController.h>
#include <UIKit/UIKit.h>
#include <UIKit/UITouch.h>
#include <platform/RunLoop.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace host {
namespace {

constexpr double kSettle = 0.5;  // the panel's reopening waits for the presenter in 50 ms steps

std::string str(id s) { return to_string(static_cast<NSString*>(s)); }

void settle() {
    platform::finishTransitions(kTransitionWait);
    platform::RunLoop::main().runFor(kSettle);
    platform::finishTransitions(kTransitionWait);
}

// The presented controller of a class, the last one, or nil.
id presentedOf(Class cls) {
    id found = nil;
    for (UIViewController* c : platform::presentedViewControllers())
        if (objc_isKindOfClass(objc::as_id(c), cls)) found = objc::as_id(c);
    return found;
}

id openMenu() {
    id found = nil;
    for (UIViewController* c : platform::presentedViewControllers())
        if (objc_isKindOfClass(objc::as_id(c), UIAlertController::cls()) &&
            str(objc_msgSend<id()>(c, "title"_sel)) == "Search the web for...")
            found = objc::as_id(c);
    return found;
}

bool hiddenOrClear(id view) {
    return view == nil || objc_msgSend<BOOL()>(view, "isHidden"_sel) || objc_msgSend<double()>(view, "alpha"_sel) <= 0;
}

// What the sheet shows after a sub-screen: "sheet" or the presented screen's class.
void printScreen(Context& c) {
    auto list = platform::presentedViewControllers();
    if (list.empty()) {
        *c.out << "screen none\n";
        return;
    }
    id top = objc::as_id(list.back());
    if (openPanel() != nil && objc_isKindOfClass(top, UIAlertController::cls()) && openMenu() == nil)
        *c.out << "screen sheet\n";
    else
        *c.out << "screen " << object_getClassName(top) << "\n";
}

bool artwork(Context& c, const std::vector<std::string>&) { return tapArtwork(c, "artwork", true); }

bool menu(Context& c, const std::vector<std::string>& args) {
    std::string title = args[0];
    for (size_t i = 1; i < args.size(); ++i) title += " " + args[i];
    if (!chooseMenuEntry(c, title, "menu")) return false;
    if (title != "Browse Photo library" && title != "Cancel" && !waitForSearch(c, "menu")) return false;
    printScreen(c);
    return true;
}

bool share(Context& c, const std::vector<std::string>& args) {
    id panel = openPanel();
    if (panel == nil) {
        *c.err << "share: no edit sheet is open\n";
        return false;
    }
    const char* outlet = args[0] == "twitter" ? "twitterImageView" : args[0] == "facebook" ? "facebookImageView" : nullptr;
    if (outlet == nullptr) {
        *c.err << "share: usage share facebook|twitter\n";
        return false;
    }
    id icon = objc_msgSend<id()>(panel, sel_registerName(outlet));
    id recognisers = objc_msgSend<id()>(icon, "gestureRecognizers"_sel);
    if (recognisers == nil || objc_msgSend<NSUInteger()>(recognisers, "count"_sel) == 0) {
        *c.err << "share: this sheet has no " << args[0] << " icon\n";
        return false;
    }
    objc_msgSend<void(id)>(panel, "shareTrack:"_sel, objc_msgSend<id(NSUInteger)>(recognisers, "objectAtIndex:"_sel, 0));
    settle();
    if (auto* composer = static_cast<SLComposeViewController*>(presentedOf(SLComposeViewController::cls()))) {
        *c.out << "composer " << str(composer->_serviceType.get()) << "\n";
        *c.out << "text " << printableText(composer->_initialText.get()) << "\n";
        *c.out << "images " << composer->_images.size() << "\n";
    } else {
        printScreen(c);
    }
    return true;
}

bool compose(Context& c, const std::vector<std::string>& args) {
    auto* composer = static_cast<SLComposeViewController*>(presentedOf(SLComposeViewController::cls()));
    if (composer == nullptr || (args[0] != "done" && args[0] != "cancel")) {
        *c.err << (composer ? "compose: usage compose done|cancel\n" : "compose: no composer is open\n");
        return false;
    }
    Strong<SLComposeViewController> kept(composer);
    objc_callBlock<void(NSInteger)>(composer->_completionHandler.get(), args[0] == "done" ? 1 : 0);
    objc_msgSend<void(BOOL, id)>(composer, "dismissViewControllerAnimated:completion:"_sel, YES, nil);
    settle();
    printScreen(c);
    return true;
}

bool photo(Context& c, const std::vector<std::string>& args) {
    id picture = nil;
    if (args[0] != "cancel" && (picture = readPicture(c, "photo", args[0])) == nil) return false;
    if (!finishPhotoPicker(c, picture, "photo")) return false;
    printScreen(c);
    return true;
}

}  // namespace

bool tapArtwork(Context& c, const char* command, bool print) {
    id panel = openPanel();
    if (panel == nil) {
        *c.err << command << ": no edit sheet is open\n";
        return false;
    }
    id art = objc_msgSend<id()>(panel, "imageview"_sel);
    if (hiddenOrClear(art)) art = objc_msgSend<id()>(panel, "noImageCustomView"_sel);
    if (art == nil || platform::tapView(static_cast<UIView*>(art)) != 1) {
        *c.err << command << ": this sheet's artwork takes no tap\n";
        return false;
    }
    settle();
    id menu = openMenu();
    if (menu == nil) {
        *c.err << command << ": no picture menu opened\n";
        return false;
    }
    if (print) {
        id actions = objc_msgSend<id()>(menu, "actions"_sel);
        for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i)
            *c.out << "menu " << str(objc_msgSend<id()>(objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i), "title"_sel))
                   << "\n";
    }
    return true;
}

bool chooseMenuEntry(Context& c, const std::string& title, const char* command) {
    platform::finishTransitions(kTransitionWait);
    id menu = openMenu();
    if (menu == nil) {
        *c.err << command << ": no picture menu is open\n";
        return false;
    }
    id actions = objc_msgSend<id()>(menu, "actions"_sel);
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(actions, "count"_sel); ++i) {
        id a = objc_msgSend<id(NSUInteger)>(actions, "objectAtIndex:"_sel, i);
        if (str(objc_msgSend<id()>(a, "title"_sel)) != title) continue;
        platform::tapAlertAction(static_cast<UIAlertController*>(menu), static_cast<UIAlertAction*>(a));
        settle();
        return true;
    }
    *c.err << command << ": the picture menu has no entry '" << title << "'\n";
    return false;
}

namespace {

constexpr off_t kMaxPictureFileBytes = 50 << 20;

// The whole of a regular file of at most kMaxPictureFileBytes; "" when read,
// else why not.
std::string readPictureFile(const std::string& path, std::string& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    const std::string tooLarge = "larger than " + std::to_string(kMaxPictureFileBytes >> 20) + " MB";
    if (st.st_size > kMaxPictureFileBytes) return tooLarge;
    // One byte more than the limit tells a file that grew since.
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > static_cast<size_t>(kMaxPictureFileBytes)) return tooLarge;
            bytes.resize(std::min(got * 2, static_cast<size_t>(kMaxPictureFileBytes) + 1));
        }
        ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::strerror(errno);
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    return "";
}

}  // namespace

id readPicture(Context& c, const char* command, const std::string& file) {
    std::string bytes;
    std::string why = readPictureFile(resolveHostPath(c, file), bytes);
    id picture = nil;
    if (why.empty() && (picture = objc_msgSend<id(id)>(UIImage::cls(), "imageWithData:"_sel, NSData::make(bytes))) == nil)
        why = "not a PNG or JPEG picture of at most 40 megapixels";
    if (picture == nil) *c.err << command << ": cannot read a picture from '" << file << "': " << why << "\n";
    return picture;
}

bool finishPhotoPicker(Context& c, id picture, const char* command) {
    UIImagePickerController* picker = platform::presentedPhotoPicker();
    if (picker == nullptr) {
        *c.err << command << ": no photo picker is open\n";
        return false;
    }
    bool ok = picture ? platform::pickPhoto(picker, static_cast<UIImage*>(picture)) : platform::cancelPhotoPicker(picker);
    settle();
    return ok;
}

void addPanelCommands(CommandTable& table) {
    table["artwork"] = {"artwork", "tap the open sheet's artwork (or its placeholder) and print the picture menu's entries", artwork};
    table["menu"] = {"menu ENTRY...", "choose an entry of the picture menu by its title", menu};
    table["share"] = {"share facebook|twitter", "tap a share icon of the open sheet and print the composer (or the sheet again)", share};
    table["compose"] = {"compose done|cancel", "end the open composer", compose};
    table["photo"] = {"photo FILE|cancel", "end the open photo picker with a picture (host path), or cancel it", photo};
}

}  // namespace host
