// Commands on the play queue: start a list playing, print the queue and the
// playing item, end the playing song, start the radio.
#include "Commands.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MPQueueFeeder.h>
#include <MusicApp/MusicApp.h>
#include <MediaPlayer/QueueMessages.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace host {
namespace {

bool running(Context& c, const char* command) {
    if (c.app != nullptr && c.app->launched()) return true;
    *c.err << command << ": the app is not running\n";
    return false;
}

id player(Context& c) { return objc::as_id(c.app->avController()); }

std::string titleOf(id item) {
    return printableText(objc_msgSend<id(id)>(item, "valueForProperty:"_sel, "title"_ns));
}

// "persistentID title" of a media item; a radio track by its kind.
std::string describe(id item) {
    if (!objc_msgSend<BOOL(SEL)>(item, "respondsToSelector:"_sel, "persistentID"_sel))
        return std::string("- ") + object_getClassName(item);
    return std::to_string(objc_msgSend<unsigned long long()>(item, "persistentID"_sel)) + " " + titleOf(item);
}

bool play(Context& c, const std::vector<std::string>& args) {
    if (!running(c, "play")) return false;
    std::optional<unsigned long long> pid;
    if (!screenID(c, "play", args, pid)) return false;
    std::string error;
    if (!c.app->play(args[0], pid, &error)) {
        *c.err << "play: " << error << "\n";
        return false;
    }
    return true;
}

bool queue(Context& c, const std::vector<std::string>&) {
    if (!running(c, "queue")) return false;
    AutoreleasePool pool;
    NSUInteger playing = objc_msgSend<queue::currentIndex>(player(c), "currentIndex"_sel);
    id feederObject = objc_msgSend<queue::feeder>(player(c), "feeder"_sel);
    auto* feeder = objc_isKindOfClass(feederObject, MusicQueryQueueFeeder::cls())
                       ? static_cast<MusicQueryQueueFeeder*>(feederObject)
                       : nullptr;
    if (feeder == nullptr) {
        NSUInteger count = objc_msgSend<queue::itemCount>(feederObject, "itemCount"_sel);
        *c.out << "# the player plays " << (feederObject ? object_getClassName(feederObject) : "nothing") << ", "
               << count << " item(s)\n";
        return true;
    }
    NSUInteger count = objc_msgSend<queue::itemCount>(feederObject, "itemCount"_sel);
    if (count == 0) *c.out << "# the queue is empty\n";
    for (NSUInteger i = 0; i < count; ++i) {
        id item = objc_msgSend<queue::mediaItemAtIndex>(feederObject, "mediaItemAtIndex:"_sel, i);
        *c.out << (i == playing ? "* " : "  ") << i << " " << describe(item) << "\n";
    }
    // What the player would play from, had the feeder been told of every change.
    id order = objc_msgSend<queue::items>(objc::as_id(feeder->_items), "items"_sel);
    bool same = objc_msgSend<NSUInteger()>(order, "count"_sel) == count;
    for (NSUInteger i = 0; same && i < count; ++i)
        same = objc_msgSend<id(NSUInteger)>(order, "objectAtIndex:"_sel, i) == feeder->_loaded[i].get();
    if (!same) *c.out << "# warning: the feeder's queue differs from its shuffled items' order (a stale queue)\n";
    return true;
}

bool nowPlaying(Context& c, const std::vector<std::string>&) {
    if (!running(c, "nowplaying")) return false;
    AutoreleasePool pool;
    id item = objc_msgSend<queue::currentMediaItem>(player(c), "currentMediaItem"_sel);
    if (item == nullptr) {
        *c.out << "# nothing is loaded\n";
        return true;
    }
    bool playing = objc_msgSend<queue::isPlaying>(player(c), "isPlaying"_sel);
    *c.out << describe(item) << " " << (playing ? "playing" : "paused") << "\n";
    return true;
}

bool advance(Context& c, const std::vector<std::string>&) {
    if (!running(c, "advance")) return false;
    c.app->advance();
    return true;
}

bool radio(Context& c, const std::vector<std::string>&) {
    if (!running(c, "radio")) return false;
    std::string error;
    if (!c.app->startRadio(&error)) {
        *c.err << "radio: " << error << "\n";
        return false;
    }
    return true;
}

}  // namespace

void addQueueCommands(CommandTable& table) {
    table["play"] = {"play SCREEN [ID]",
                     "start a list playing from its first song: songs, album ID or playlist ID (the screen stays)",
                     play};
    table["queue"] = {"queue",
                      "print the player's queue: [*] index persistentID title, * marking the playing item, and a "
                      "warning when the feeder's queue is stale",
                      queue};
    table["nowplaying"] = {"nowplaying", "print the playing item: persistentID title playing|paused", nowPlaying};
    table["advance"] = {"advance", "end the playing song: the next one plays, or the player stops after the last",
                        advance};
    table["radio"] = {"radio", "start a radio station", radio};
}

}  // namespace host
