// Commands around the export: the share sheet it opens, a user's choice of
// activity, and the device folders it writes.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <UIKit/UIActivityViewController.h>
#include <UIKit/UIKit.h>
#include <platform/DeviceRoot.h>
#include <platform/RunLoop.h>

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace host {
namespace {

constexpr double kExportWait = 120;

// Serves the main run loop until the library's exports have reached their
// share step and no transition is in flight.
void settleExports(Context& c) {
    using Idle = bool (*)();
    Idle idle = nullptr;
    for (void* lib : c.libraries)
        if (!idle) idle = reinterpret_cast<Idle>(dlsym(lib, "Cantrel_exportsIdle"));
    if (idle) platform::RunLoop::main().runUntil([idle] { return idle(); }, kExportWait);
    platform::finishTransitions(kTransitionWait);
}

bool sharesheet(Context& c, const std::vector<std::string>&) {
    settleExports(c);
    UIActivityViewController* sheet = platform::presentedActivitySheet();
    if (sheet == nullptr) {
        *c.err << "sharesheet: no share sheet is open\n";
        return false;
    }
    id items = sheet->_activityItems.get();
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(items, "count"_sel); ++i) {
        id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
        if (objc_isKindOfClass(item, NSString::cls()))
            *c.out << "text " << printableText(item) << "\n";
        else
            *c.out << "file " << printableText(objc_msgSend<id()>(item, "path"_sel)) << "\n";
    }
    id activities = sheet->_applicationActivities.get();
    for (NSUInteger i = 0; i < objc_msgSend<NSUInteger()>(activities, "count"_sel); ++i) {
        id a = objc_msgSend<id(NSUInteger)>(activities, "objectAtIndex:"_sel, i);
        *c.out << "activity " << printableText(objc_msgSend<id()>(a, "activityType"_sel)) << " \""
               << printableText(objc_msgSend<id()>(a, "activityTitle"_sel)) << "\"\n";
    }
    for (const std::string& type : platform::systemActivityTypes()) *c.out << "activity " << type << "\n";
    return true;
}

bool activity(Context& c, const std::vector<std::string>& args) {
    settleExports(c);
    std::string choice = args[0];
    for (size_t i = 1; i < args.size(); ++i) choice += " " + args[i];
    if (!platform::chooseActivity(platform::presentedActivitySheet(), choice)) {
        *c.err << "activity: no open share sheet offers '" << choice << "'\n";
        return false;
    }
    platform::finishTransitions(kTransitionWait);
    return true;
}

// The files and folders under a device folder, one per line, sorted, by
// their own names (never where a symlink leads); folders end in "/", and a
// symlink shows as "NAME -> TARGET", not followed.
bool ls(Context& c, const std::vector<std::string>& args) {
    std::string host = platform::devicePath(args[0]);
    std::error_code ec;
    if (host.empty() || !std::filesystem::is_directory(host, ec)) {
        *c.err << "ls: no device folder " << args[0] << "\n";
        return false;
    }
    std::vector<std::string> names;
    for (std::filesystem::recursive_directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
        std::string rel = printable(it->path().lexically_relative(host).generic_string());
        if (it->is_symlink(ec)) {
            std::error_code linkError;
            names.push_back(rel + " -> " + printable(std::filesystem::read_symlink(it->path(), linkError).string()));
        } else {
            names.push_back(it->is_directory(ec) ? rel + "/" : rel);
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) *c.out << n << "\n";
    return true;
}

}  // namespace

void addExportCommands(CommandTable& table) {
    table["sharesheet"] = {"sharesheet", "wait for the export and print the open share sheet (items, activities)", sharesheet};
    table["activity"] = {"activity CHOICE...", "choose an activity of the open share sheet by type or title (\"Export to Folder\"), or cancel it", activity};
    table["ls"] = {"ls DIR", "list a device folder recursively (DIR: the rest of the line)", ls, true};
}

}  // namespace host
