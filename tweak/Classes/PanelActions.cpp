#include "PanelActions.h"

#include "Cantrel.h"
#include "EditHandler.h"
#include "FeederTracking.h"
#include "Cantrel_Tools.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "MessageView.h"
#include "ParentSongAlbumArtistView.h"
#include "Sends.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIKit.h>
#include <dispatch/dispatch.h>
#include <platform/Unicode.h>

#include <cstring>

using cantrel::get;

namespace cantrel::panel {

std::string searchQuery(std::string_view query) {
    std::string cleaned;
    for (char c : query)
        if (c != '&' && c != '-' && c != '+') cleaned += c;
    std::string single;
    for (size_t i = 0; i < cleaned.size(); ++i) {
        if (cleaned[i] == ' ' && i + 1 < cleaned.size() && cleaned[i + 1] == ' ') {
            single += ' ';
            ++i;
        } else {
            single += cleaned[i];
        }
    }
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    // The service reads the query as UTF-8: a byte the name keeps outside it
    // is sent as U+FFFD.
    for (unsigned char c : platform::unicode::sanitizeUtf8(single)) {
        bool keep = std::isalnum(c) && c < 0x80;
        keep = keep || (c != 0 && std::strchr("-._~'()!*,;:@/?", c) != nullptr);
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace cantrel::panel

namespace {

using Panel = ParentSongAlbumArtistView;

ItemEntry* entryOf(Panel* panel) { return static_cast<ItemEntry*>(panel->item_entry.get()); }
std::string str(id s) { return to_string(static_cast<NSString*>(s)); }

id presenterOf(ItemEntry* entry) {
    if (entry == nullptr) return nil;
    return entry->viewIndex == kViewIndexNowPlaying ? entry->currentNowPlayingViewController.get()
                                                    : entry->currentViewController.get();
}

void keepTypedTitle(Panel* panel) {
    if (ItemEntry* entry = entryOf(panel))
        entry->editName = Strong<NSString>(static_cast<NSString*>(get(panel->titleTextField.get(), "text"_sel)));
}

// Runs `work` once the presenter presents nothing any more: a menu entry's
// handler runs while the menu's own dismissal is still in flight, and a
// presentation then would be refused. Checked every 50 ms, for up to 5 s.
// Nothing runs once the screen has gone (the user left it).
void whenPresenterFree(Panel* panel, std::function<void(Panel*)> work, int tries = 100) {
    id presenter = presenterOf(entryOf(panel));
    if (presenter == nil) return;
    if (get(presenter, "presentedViewController"_sel) == nil || tries <= 0) {
        work(panel);
        return;
    }
    Strong<Panel> kept(panel);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(0.05 * NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [kept, work, tries] { whenPresenterFree(kept.get(), work, tries - 1); });
}

void reopen(Panel* panel, id picture) {
    Strong<NSObject> kept(static_cast<NSObject*>(picture));
    whenPresenterFree(panel, [kept](Panel* p) {
        objc_msgSend<void(id, id, long)>(EditHandler::cls(),
                                         "openEditViewOnCurrentItem:andItemEntry:sentRating:"_sel, kept.get(),
                                         entryOf(p), p->newRating);
    });
}

// Dismisses what the presenter presents (the sheet), then runs `then`; the
// block keeps the panel alive until then. A field being edited gives up the
// keyboard (or its picker) first, so that none stays over what opens next.
// Once the screen has gone, nothing follows.
void closeSheetThen(Panel* panel, std::function<void(Panel*)> then) {
    PanelEndEditing(panel);
    Strong<Panel> kept(panel);
    id presenter = presenterOf(entryOf(panel));
    if (presenter == nil) return;
    id done = objc_block<void()>([kept, then] { then(kept.get()); });
    if (get(presenter, "presentedViewController"_sel) == nil) {
        objc_callBlock<void()>(done);
        return;
    }
    objc_msgSend<void(BOOL, id)>(presenter, "dismissViewControllerAnimated:completion:"_sel, YES, done);
}

void present(Panel* panel, id controller) {
    Strong<NSObject> kept(static_cast<NSObject*>(controller));
    whenPresenterFree(panel, [kept](Panel* p) {
        objc_msgSend<void(id, BOOL, id)>(presenterOf(entryOf(p)), "presentViewController:animated:completion:"_sel,
                                         kept.get(), YES, nil);
    });
}

id currentPlayerItem() {
    id player = nil;
    id feeder = objc::as_id(_MusicQueryQueueFeeder);
    if (feeder && objc_msgSend<BOOL(SEL)>(feeder, "respondsToSelector:"_sel, "shouldBeginPlaybackOfItem:error:"_sel))
        player = get(feeder, "AVController"_sel);
    if (player == nil)
        player = get(objc_msgSend<id()>(objc_getClass("MPMusicPlayerControllerServer"), "sharedInstance"_sel),
                     "player"_sel);
    return get(player, "currentMediaItem"_sel);
}

void reopenEditHandler(Panel* self, SEL) {
    keepTypedTitle(self);
    reopen(self, nil);
}

void shareTrack(Panel* self, SEL, id recogniser) {
    bool twitter = get(recogniser, "view"_sel) == static_cast<id>(self->twitterImageView.get());
    keepTypedTitle(self);
    closeSheetThen(self, [twitter](Panel* panel) {
        id composer = objc_msgSend<id(id)>(SLComposeViewController::cls(), "composeViewControllerForServiceType:"_sel,
                                           twitter ? SLServiceTypeTwitter : SLServiceTypeFacebook);
        if (composer == nil) {  // no account for that service: back to the sheet
            reopen(panel, nil);
            return;
        }
        ItemEntry* entry = entryOf(panel);
        id item = entry->mediaItem.get();
        const char* prefix = currentPlayerItem() == item ? "Listening to" : "In my music library:";
        id text = NSStringWithFormat("♪ %@ %@ by %@ ♪\r\n\r\nsent via Cantrel ♫\r\n", NSString::make(prefix),
                                     get(item, "title"_sel) ?: ""_ns, get(item, "artist"_sel) ?: ""_ns);
        objc_msgSend<BOOL(id)>(composer, "setInitialText:"_sel, text);
        objc_msgSend<BOOL(id)>(composer, "addImage:"_sel, get(panel->imageview.get(), "image"_sel));
        Strong<Panel> kept(panel);
        objc_msgSend<void(id)>(composer, "setCompletionHandler:"_sel, objc_block<void(NSInteger)>([kept](NSInteger) {
                                   objc_msgSend<void(SEL, id, double)>(kept.get(),
                                                                       "performSelector:withObject:afterDelay:"_sel,
                                                                       "reopenEditHandler"_sel, nil, 0.1);
                               }));
        present(panel, composer);
    });
}

void search(Panel* self, SEL, id query) {
    ItemEntry* entry = entryOf(self);
    std::string sent = cantrel::panel::searchQuery(str(query));
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    id badge = objc_msgSend<id(id, double, NSInteger, CGRect, int)>(
        objc_msgSend<id()>(MessageView::cls(), "alloc"_sel),
        "initWithMessage:dismissAfter:andWithIconTag:andFrame:andViewIndex:"_sel, "Searching"_ns, 0.0,
        static_cast<NSInteger>(IconViewTagDiscSearch), screen, static_cast<int>(entry->viewIndex));
    objc_msgSend<void(id)>(badge, "updateSubText:"_sel, "Please wait..."_ns);
    objc_msgSend<void(id)>(get(presenterOf(entry), "view"_sel), "addSubview:"_sel, badge);
    Strong<NSObject> keptBadge(static_cast<NSObject*>(badge));
    objc_release(badge);

    id controller = nil;
    Class searchClass = objc_getClass("SearchQueryViewController");
    id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
    if (searchClass != nil && bundle != nil) {
        try {
            controller = objc_msgSend<id(id, id)>(objc_msgSend<id()>(searchClass, "alloc"_sel),
                                                  "initWithNibName:bundle:"_sel, "SearchQueryViewController"_ns, bundle);
        } catch (NSException* e) {
            CLog("search: - cannot load the search screen: %@", e);
            controller = nil;
        }
    }
    if (controller == nil) {  // no search screen: back to the sheet
        objc_msgSend<void()>(keptBadge.get(), "removeFromSuperview"_sel);
        reopen(self, nil);
        return;
    }
    objc_msgSend<void(id)>(controller, "setDelegate:"_sel, self);
    objc_msgSend<void(id)>(controller, "setSearchString:"_sel, NSString::make(sent));
    Strong<NSObject> keptController = Strong<NSObject>::adopt(static_cast<NSObject*>(controller));
    Strong<Panel> kept(self);
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [=] {
        objc_msgSend<void()>(keptController.get(), "buildDatasource"_sel);
        dispatch_async(dispatch_get_main_queue(), [=] {
            objc_msgSend<void()>(keptBadge.get(), "removeFromSuperview"_sel);
            present(kept.get(), keptController.get());
        });
    });
}

void selectPhoto(Panel* self, SEL, id) {
    closeSheetThen(self, [](Panel* panel) {
        ItemEntry* entry = entryOf(panel);
        id menu = objc_msgSend<id(id, id, NSInteger)>(
            UIAlertController::cls(), "alertControllerWithTitle:message:preferredStyle:"_sel,
            "Search the web for..."_ns, nil,
            Cantrel_isPad() ? UIAlertControllerStyleAlert : UIAlertControllerStyleActionSheet);
        id tint = objc_msgSend<id(double, double, double, double)>(
            objc_getClass("UIColor"), "colorWithRed:green:blue:alpha:"_sel, 0.0, 122.0 / 255.0, 1.0, 1.0);
        objc_msgSend<void(id)>(get(menu, "view"_sel), "setTintColor:"_sel, tint);
        Strong<Panel> kept(panel);
        auto add = [&](const char* title, NSInteger style, std::function<void(Panel*)> run, bool keepsPickers) {
            id action = objc_msgSend<id(id, NSInteger, id)>(
                UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, NSString::make(title), style,
                objc_block<void(id)>([kept, run, keepsPickers](id) {
                    Panel* p = kept.get();
                    keepTypedTitle(p);
                    if (keepsPickers) {
                        entryOf(p)->genreIndex = p->genreIndexAfter;
                        entryOf(p)->artistIndex = p->artistIndexAfter;
                    }
                    run(p);
                }));
            objc_msgSend<void(id)>(menu, "addAction:"_sel, action);
        };
        auto searchFor = [](NSString* query) {
            Strong<NSString> q(query);
            return [q](Panel* p) { objc_msgSend<void(id)>(p, "search:"_sel, q.get()); };
        };
        id item = entry->mediaItem.get();
        id artist = get(item, "albumArtist"_sel) ?: ""_ns;
        id album = get(item, "albumTitle"_sel) ?: ""_ns;
        id title = get(item, "title"_sel) ?: ""_ns;
        add("Artist name & Album title", 0, searchFor(NSStringWithFormat("'%@' '%@' album artwork", artist, album)),
            true);
        if (entry->viewIndex == kViewIndexSongs || entry->viewIndex == kViewIndexAlbumTracks ||
            entry->viewIndex == kViewIndexPlaylistSongs) {
            add("Album title & Track title", 0,
                searchFor(NSStringWithFormat("'%@' '%@' album artwork", album, title)), true);
            add("Track title", 0, searchFor(NSStringWithFormat("'%@' album artwork", title)), true);
        }
        add("Browse Photo library", 0, [](Panel* p) {
            id picker = objc_msgSend<id()>(objc_msgSend<id()>(CUIImagePickerController::cls(), "alloc"_sel), "init"_sel);
            objc_msgSend<void(BOOL)>(picker, "setAllowsEditing:"_sel, YES);
            objc_msgSend<void(NSInteger)>(picker, "setSourceType:"_sel, 0);
            objc_msgSend<void(id)>(picker, "setDelegate:"_sel, p);
            present(p, picker);
            objc_release(picker);
        }, true);
        add("Cancel", 2, [](Panel* p) { reopen(p, nil); }, false);
        present(panel, menu);
    });
}

void internetPicked(Panel* self, SEL, id, id picture) {
    Strong<NSObject> kept(static_cast<NSObject*>(picture));
    closeSheetThen(self, [kept](Panel* p) { reopen(p, kept.get()); });
}
void internetCancelled(Panel* self, SEL, id) { reopen(self, nil); }

void photoPicked(Panel* self, SEL, id picker, id info) {
    Strong<NSObject> picture(static_cast<NSObject*>(
        objc_msgSend<id(id)>(info, "objectForKey:"_sel, "UIImagePickerControllerEditedImage"_ns)));
    Strong<Panel> kept(self);
    objc_msgSend<void(BOOL, id)>(picker, "dismissViewControllerAnimated:completion:"_sel, YES,
                                 objc_block<void()>([kept, picture] { reopen(kept.get(), picture.get()); }));
}
void photoCancelled(Panel* self, SEL, id picker) {
    Strong<Panel> kept(self);
    objc_msgSend<void(BOOL, id)>(picker, "dismissViewControllerAnimated:completion:"_sel, YES,
                                 objc_block<void()>([kept] { reopen(kept.get(), nil); }));
}

BOOL noAutorotate(id, SEL) { return NO; }
BOOL landscapeOnly(id, SEL, NSInteger orientation) { return orientation == 3 || orientation == 4; }

}  // namespace

void registerPanelActions() {
    objc::ClassDef<CUIImagePickerController>("CUIImagePickerController", UIImagePickerController::cls())
        .method<noAutorotate>("shouldAutorotate", "c@:")
        .method<landscapeOnly>("shouldAutorotateToInterfaceOrientation:", "c@:q");
    Class c = Panel::cls();
    objc::define_method(c, "shareTrack:"_sel, objc::make_imp<shareTrack>(), "v@:@");
    objc::define_method(c, "selectPhoto:"_sel, objc::make_imp<selectPhoto>(), "v@:@");
    objc::define_method(c, "search:"_sel, objc::make_imp<search>(), "v@:@");
    objc::define_method(c, "reopenEditHandler"_sel, objc::make_imp<reopenEditHandler>(), "v@:");
    objc::define_method(c, "internetImagePickerController:didFinishPickingImage:"_sel, objc::make_imp<internetPicked>(),
                        "v@:@@");
    objc::define_method(c, "internetImagePickerControllerDidCancel:"_sel, objc::make_imp<internetCancelled>(), "v@:@");
    objc::define_method(c, "imagePickerController:didFinishPickingMediaWithInfo:"_sel, objc::make_imp<photoPicked>(),
                        "v@:@@");
    objc::define_method(c, "imagePickerControllerDidCancel:"_sel, objc::make_imp<photoCancelled>(), "v@:@");
}
