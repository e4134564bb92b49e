#include "EditHandler.h"
#include "Sends.h"
#include "EditSave.h"

#include "Cantrel.h"
#include "CustomDrawView.h"
#include "IconView.h"
#include "ItemEntry.h"
#include "ParentSongAlbumArtistView.h"

#include <Foundation/Foundation.h>
#include <Foundation/NSBundle.h>
#include <MediaPlayer/MediaLibrary.h>
#include <Social/SLComposeViewController.h>
#include <UIKit/UIKit.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <string>

using cantrel::set;
using cantrel::get;
using cantrel::countOf;

namespace {

using Panel = ParentSongAlbumArtistView;

constexpr double kPickerContainerY = 219;
constexpr double kPickerContainerHeight = 258;
constexpr double kToolbarHeight = 44;
constexpr NSUInteger kFlexibleWidth = 1 << 1;
constexpr double kAlertBottom = 45;

// --- Small sends ----------------------------------------------------------------

void hide(id view, BOOL hidden) { objc_msgSend<void(BOOL)>(view, "setHidden:"_sel, hidden); }
void setAlpha(id view, double alpha) { objc_msgSend<void(double)>(view, "setAlpha:"_sel, alpha); }
id colour(SEL name) { return objc_msgSend<id()>(UIColor::cls(), name); }
id dbHandler() { return objc_msgSend<id()>(objc_getClass("DBHandler"), "sharedInstance"_sel); }
id elementAt(id array, long index) {
    if (index < 0 || static_cast<NSUInteger>(index) >= countOf(array)) return nil;
    return objc_msgSend<id(NSUInteger)>(array, "objectAtIndex:"_sel, static_cast<NSUInteger>(index));
}

// An outlet of the panel, or nil when its class does not declare it.
id outlet(id panel, const char* name) {
    SEL sel = sel_registerName(name);
    if (!objc_msgSend<BOOL(SEL)>(panel, "respondsToSelector:"_sel, sel)) return nil;
    return objc_msgSend<id()>(panel, sel);
}

// Numbers in the C locale, whatever the process's.
std::string fixed3(double value) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 3);
    return std::string(buf, r.ptr);
}

bool isSongIndex(long v) {
    return v == kViewIndexSongs || v == kViewIndexAlbumTracks || v == kViewIndexPlaylistSongs ||
           v == kViewIndexNowPlaying;
}
bool isAlbumIndex(long v) { return v == kViewIndexAlbums || v == kViewIndexFlipsideAlbum; }
// Both 5 and the composers' screen edit a composer.
bool isComposerIndex(long v) { return v == 5 || v == kViewIndexComposers; }
bool isPhotoIndex(long v) { return isSongIndex(v) || isAlbumIndex(v); }
bool hasStars(long v) { return isSongIndex(v) || v == kViewIndexArtists || isAlbumIndex(v); }

// The panel of a view index: its nib, glyph, subTag and message pairs.
struct PanelKind {
    const char* nib;
    NSInteger glyph;
    NSInteger subTag;
    int pairs;
};

bool panelKind(long viewIndex, PanelKind& kind) {
    if (isSongIndex(viewIndex)) kind = {"SongView", CustomDrawTagSong, 0, 15};
    else if (viewIndex == kViewIndexArtists) kind = {"SongView", CustomDrawTagArtist, 0, 15};
    else if (isAlbumIndex(viewIndex)) kind = {"AlbumView", CustomDrawTagAlbum, 0, 15};
    else if (isComposerIndex(viewIndex)) kind = {"GenreView", CustomDrawTagComposer, 0, 7};
    else if (viewIndex == kViewIndexGenres) kind = {"GenreView", CustomDrawTagGenre, 4, 7};
    else if (viewIndex == kViewIndexPlaylists) kind = {"GenreView", CustomDrawTagPlaylist, 0, 7};
    else return false;
    return true;
}

long long collectionID(ItemEntry* entry) {
    return static_cast<long long>(
        objc_msgSend<unsigned long long()>(entry->mediaItemCollection.get(), "persistentID"_sel));
}

// The entry's stored title or name.
id storedTitle(ItemEntry* entry) {
    id item = entry->mediaItem.get();
    long v = entry->viewIndex;
    if (v == kViewIndexArtists) return get(item, "albumArtist"_sel);
    if (isAlbumIndex(v)) return get(item, "albumTitle"_sel);
    if (isComposerIndex(v)) return get(item, "composer"_sel);
    if (v == kViewIndexGenres)
        return objc_msgSend<id(long long)>(dbHandler(), "getGenreName:"_sel, collectionID(entry));
    if (v == kViewIndexPlaylists)
        return objc_msgSend<id(long long)>(dbHandler(), "getPlaylistName:"_sel, collectionID(entry));
    return get(item, "title"_sel);
}

id stringFromObject(Class, SEL, id obj) { return obj != nil ? obj : ""_ns; }

}  // namespace

// The panel loaded from its nib, or nil (logged) when the bundle, the nib or
// the panel is missing.
ParentSongAlbumArtistView* EditPanelFromNib(const char* nib, Class owner) {
    id bundle = objc_msgSend<id(id)>(NSBundle::cls(), "bundleWithPath:"_sel, CantrelBundlePath());
    if (bundle == nil) {
        CLog("openEditViewOnCurrentItem - no bundle at %@", CantrelBundlePath());
        return nullptr;
    }
    id objects = nil;
    try {
        objects = objc_msgSend<id(id, id, id)>(bundle, "loadNibNamed:owner:options:"_sel, NSString::make(nib),
                                               objc::as_id(owner), nil);
    } catch (NSException* e) {
        CLog("openEditViewOnCurrentItem - cannot load %s: %@", nib, e);
        return nullptr;
    }
    id first = countOf(objects) > 0 ? elementAt(objects, 0) : nil;
    if (!objc_isKindOfClass(first, Panel::cls())) {
        CLog("openEditViewOnCurrentItem - nib %s holds no panel", nib);
        return nullptr;
    }
    return static_cast<Panel*>(first);
}

namespace {

void addTap(id view, id panel, SEL action) {
    if (view == nil) return;
    id tap = objc_msgSend<id(id, SEL)>(objc_msgSend<id()>(UITapGestureRecognizer::cls(), "alloc"_sel),
                                       "initWithTarget:action:"_sel, panel, action);
    set(tap, "setDelegate:"_sel, panel);
    set(view, "addGestureRecognizer:"_sel, tap);
    objc_release(tap);
}

// The stars show the sent rating (taking it as chosen) or the item's own.
void showRating(Panel* panel, ItemEntry* entry, long sentRating) {
    set(outlet(panel, "ratingView"), "setDelegate:"_sel, panel);
    long rating = static_cast<long>(objc_msgSend<NSUInteger()>(entry->mediaItem.get(), "rating"_sel));
    panel->prevRating = rating;
    if (sentRating == -1) {
        objc_msgSend<void(int)>(panel, "setRating:"_sel, static_cast<int>(rating));
    } else {
        objc_msgSend<void(int)>(panel, "setRating:"_sel, static_cast<int>(sentRating));
        panel->newRating = sentRating;
    }
}

// The sample and bit rate labels; false when both rates are 0.
bool showRates(Panel* panel, ItemEntry* entry) {
    unsigned long long pid = objc_msgSend<unsigned long long()>(entry->mediaItem.get(), "persistentID"_sel);
    Strong<NSObject> details = Strong<NSObject>::adopt(static_cast<NSObject*>(
        objc_msgSend<id()>(objc_msgSend<id(unsigned long long)>(dbHandler(), "getItemDetails:"_sel, pid), "copy"_sel)));
    double sampleRate = 0;
    int bitRate = 0;
    if (countOf(details.get()) >= 2) {
        sampleRate = objc_msgSend<double()>(elementAt(details.get(), 0), "doubleValue"_sel);
        bitRate = objc_msgSend<int()>(elementAt(details.get(), 1), "intValue"_sel);
    }
    if (sampleRate > 0) {
        set(outlet(panel, "samplerateLbl"), "setText:"_sel, NSString::make(fixed3(sampleRate / 1000.0) + " kHz"));
    } else {
        hide(outlet(panel, "samplerateLbl"), YES);
        hide(outlet(panel, "samplerateDrawView"), YES);
    }
    if (bitRate > 0) {
        set(outlet(panel, "bitrateLbl"), "setText:"_sel, NSString::make(std::to_string(bitRate) + " kbps"));
    } else {
        hide(outlet(panel, "bitrateLbl"), YES);
        hide(outlet(panel, "bitrateDrawView"), YES);
    }
    return !(sampleRate == 0 && bitRate == 0);
}

void showShareIcons(Panel* panel) {
    struct Service {
        NSString* type;
        id icon;
        const char* name;
    };
    for (const Service& s : {Service{SLServiceTypeFacebook, panel->facebookImageView.get(), "Facebook"},
                             Service{SLServiceTypeTwitter, panel->twitterImageView.get(), "Twitter"}}) {
        BOOL available = objc_msgSend<BOOL(id)>(SLComposeViewController::cls(), "isAvailableForServiceType:"_sel, s.type);
        CLog("%s service available: %@", s.name, available ? "YES"_ns : "NO"_ns);
        setAlpha(s.icon, available ? 1 : 0);
        addTap(s.icon, panel, "shareTrack:"_sel);
    }
}

}  // namespace

double EditSheetFieldWidth(long viewIndex, CGRect alertFrame) {
    id screen = objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(screen, "bounds"_sel);
    double scale = objc_msgSend<double()>(screen, "scale"_sel);
    bool landscape = bounds.size.width > bounds.size.height;
    double W = alertFrame.size.width;
    double side = viewIndex == kViewIndexFlipsideAlbum && landscape ? alertFrame.size.height : W;
    double width = std::trunc(side - 96);
    if (UI_USER_INTERFACE_IDIOM() == UIUserInterfaceIdiomPhone) {
        double longer = std::max(bounds.size.width, bounds.size.height);
        if (longer == 667) {
            CLog("IS_IPHONE_6 WIDTH");
            width = std::trunc(side - 148);
        } else if (longer == 736) {
            CLog("IS_IPHONE_6P WIDTH");
            width = std::trunc(side - 195);
        }
    }
    // Below scale 2 the wide rule applies only where it leaves a width.
    if (scale < 2.0) {
        double wide = bounds.size.width <= bounds.size.height ? W - 540 : W - 796;
        if (wide > 0) width = std::trunc(wide);
    }
    return width;
}

// An alert's card is 270 points wide on every device; a field laid over it
// ends short of its right edge by the inset its panel keeps on the left.
constexpr double kAlertCardWidth = 270;
constexpr double kCardInset = 6;

void EditSheetSetFieldWidth(id constraint, id field, double width) {
    if (field != nil) {
        double x = objc_msgSend<CGRect()>(field, "frame"_sel).origin.x;
        width = std::min(width, std::max(0.0, kAlertCardWidth - kCardInset - x));
    }
    objc_msgSend<void(double)>(constraint, "setConstant:"_sel, width);
    objc_msgSend<void()>(field, "updateConstraints"_sel);
}

namespace {

void openEditView(id image, id obj, long sentRating) {
    auto* entry = static_cast<ItemEntry*>(obj);
    if (entry == nullptr) return;
    // The sheet's reads (the pickers' lists, the rates) share one wait for a
    // locked library; a sheet that could not read them does not open with
    // empty lists that look like the library's, it says "Failed".
    platform::MediaLibraryWait wait;
    unsigned long failuresBefore = platform::mediaLibraryReadFailures().total();
    // A rating from outside -1 (untouched) ... 5 stars is taken as its
    // nearest, once, so that the stars and Save agree.
    sentRating = std::clamp(sentRating, -1L, 5L);
    long viewIndex = entry->viewIndex;
    CLog("openEditViewOnCurrentItem - START - sentRating = %ld............................", sentRating);
    PanelKind kind;
    if (!panelKind(viewIndex, kind)) return;
    Strong<Panel> panel(EditPanelFromNib(kind.nib, EditHandler::cls()));
    if (!panel) return;
    panel->newRating = -1;
    id item = entry->mediaItem.get();
    int pairs = kind.pairs;

    if (isSongIndex(viewIndex)) {
        set(outlet(panel, "ratingView"), "setDelegate:"_sel, panel);
        showShareIcons(panel);
        showRating(panel, entry, sentRating);
        if (!showRates(panel, entry)) pairs = 14;
    } else {
        setAlpha(panel->facebookImageView.get(), 0);
        setAlpha(panel->twitterImageView.get(), 0);
        if (hasStars(viewIndex)) showRating(panel, entry, sentRating);
        if (viewIndex == kViewIndexArtists)
            for (const char* name : {"bitrateLbl", "samplerateLbl", "bitrateDrawView", "samplerateDrawView"})
                hide(outlet(panel, name), YES);
    }
    if (isPhotoIndex(viewIndex)) {
        addTap(panel->imageview.get(), panel, "selectPhoto:"_sel);
        addTap(panel->noImageCustomView.get(), panel, "selectPhoto:"_sel);
    }

    id layer = get(panel, "layer"_sel);
    objc_msgSend<void(double)>(layer, "setCornerRadius:"_sel, 0.5);
    objc_msgSend<void(BOOL)>(layer, "setMasksToBounds:"_sel, YES);
    set(panel, "setBackgroundColor:"_sel, colour("clearColor"_sel));

    id stored = storedTitle(entry);
    id shown = entry->editName && entry->editName->length() > 0 ? objc::as_id(entry->editName.get()) : stored;
    set(panel->titleTextField.get(), "setText:"_sel, shown);
    set(panel->titleTextField.get(), "setDelegate:"_sel, panel);

    id genre = objc_msgSend<id(id)>(NSString::cls(), "stringFromObject:"_sel, get(item, "genre"_sel));
    if (isAlbumIndex(viewIndex)) {
        set(panel->subTitleTextField.get(), "setText:"_sel, get(item, "albumArtist"_sel));
        set(panel->subSubTitleTextField.get(), "setText:"_sel, genre);
    } else {
        set(panel->subTitleTextField.get(), "setText:"_sel, genre);
    }

    id glyph = panel->typeIndicatorDrawView.get();
    objc_msgSend<void(NSInteger)>(glyph, "setTag:"_sel, kind.glyph);
    objc_msgSend<void(NSInteger)>(glyph, "setSubTag:"_sel, kind.subTag);
    objc_msgSend<void()>(glyph, "setNeedsDisplay"_sel);

    // A picked picture stays pending until Save or Cancel, whichever
    // sub-screens reopen the sheet meanwhile.
    if (image != nil) entry->pendingArtwork = static_cast<NSObject*>(image);
    id shownArtwork = entry->pendingArtwork ? objc::as_id(entry->pendingArtwork.get()) : objc::as_id(entry->artwork.get());
    if (shownArtwork == nil) {
        hide(panel->noImageCustomView.get(), NO);
        if (isPhotoIndex(viewIndex)) hide(outlet(panel, "imageViewTapIndicator"), YES);
    } else {
        hide(panel->noImageCustomView.get(), YES);
        if (isPhotoIndex(viewIndex)) hide(outlet(panel, "imageViewTapIndicator"), NO);
        set(panel->imageview.get(), "setImage:"_sel, shownArtwork);
    }
    if (viewIndex == kViewIndexArtists) {
        hide(outlet(panel, "noImageViewTapIndicator"), YES);
        hide(outlet(panel, "imageViewTapIndicator"), YES);
    }

    id alert = objc_msgSend<id(id, id, NSInteger)>(UIAlertController::cls(),
                                                   "alertControllerWithTitle:message:preferredStyle:"_sel, ""_ns,
                                                   EditSheetMessage(pairs), UIAlertControllerStyleAlert);

    Class handler = EditHandler::cls();
    if (isSongIndex(viewIndex) || viewIndex == kViewIndexArtists || isAlbumIndex(viewIndex))
        objc_msgSend<void(id, id, int)>(handler, "genreOrArtistPickerInit:andItemEntry:andContentType:"_sel, panel.get(),
                                        entry, static_cast<int>(kPickerGenre));
    if (isAlbumIndex(viewIndex))
        objc_msgSend<void(id, id, int)>(handler, "genreOrArtistPickerInit:andItemEntry:andContentType:"_sel, panel.get(),
                                        entry, static_cast<int>(kPickerAlbumArtist));

    id alertView = get(alert, "view"_sel);
    CGRect frame = objc_msgSend<CGRect()>(alertView, "frame"_sel);
    objc_msgSend<void(CGRect)>(panel, "setFrame:"_sel,
                               CGRectMake(0, 0, frame.size.width, frame.size.height - kAlertBottom));
    double width = EditSheetFieldWidth(viewIndex, frame);
    id constraints[] = {panel->constraintWidthTitle.get(), panel->constraintWidthSubTitle.get(),
                        panel->constraintWidthSubSubTitle.get()};
    id fields[] = {panel->titleTextField.get(), panel->subTitleTextField.get(), panel->subSubTitleTextField.get()};
    for (int i = 0; i < 3; ++i) EditSheetSetFieldWidth(constraints[i], fields[i], width);

    panel->item_entry = entry;
    panel->prevTitle = static_cast<NSString*>(stored);
    objc_msgSend<void(NSInteger)>(panel, "setTag:"_sel, kPanelTag);
    set(alertView, "addSubview:"_sel, panel);
    set(alertView, "setTintColor:"_sel,
        objc_msgSend<id(double, double, double, double)>(UIColor::cls(), "colorWithRed:green:blue:alpha:"_sel, 0.0,
                                                         122.0 / 255.0, 1.0, 1.0));

    BOOL hasArtwork = entry->pendingArtwork ? YES : NO;
    for (int kindOfAction : {-1, 0}) {
        id action = objc_msgSend<id(int, id, BOOL, id)>(handler, "buildAlertActionBtn:alert:hasArtwork:andItemEntry:"_sel,
                                                        kindOfAction, alert, hasArtwork, entry);
        if (action != nil) set(alert, "addAction:"_sel, action);
    }

    if (platform::mediaLibraryReadFailures().total() != failuresBefore) {
        CLog("openEditViewOnCurrentItem - the media library could not be read");
        EditSheetShowFailed(entry);
        return;
    }
    bool nowPlaying = viewIndex == kViewIndexNowPlaying;
    id presenter = nowPlaying ? entry->currentNowPlayingViewController.get() : entry->currentViewController.get();
    objc_msgSend<void(id, BOOL, id)>(presenter, "presentViewController:animated:completion:"_sel, alert, YES, nil);
    CLog(nowPlaying ? "after currentNowPlayingViewController presentViewController "
                    : "after currentViewController presentViewController ");
}

void openEditViewOnCurrentItem(Class, SEL, id image, id entry, long sentRating) {
    openEditView(image, entry, sentRating);
}

// --- Pickers ----------------------------------------------------------------------

struct EditPickerToolbarTarget : NSObject {
    OBJC_CLASS(EditPickerToolbarTarget)

    Weak<Panel> panel;
    Strong<ItemEntry> entry;
    Weak<NSObject> picker;
    Weak<NSObject> field;
    int contentType = 0;
};

const char kToolbarTargetKey = 0;

id namesOf(Panel* panel, int type) {
    return type == kPickerGenre ? objc_msgSend<id(id)>(panel->genreDictionary.get(), "objectForKey:"_sel, "genreNames"_ns)
                                : objc_msgSend<id(id)>(panel->artistDictionary.get(), "objectForKey:"_sel, "artistNames"_ns);
}
long& afterRow(Panel* panel, int type) { return type == kPickerGenre ? panel->genreIndexAfter : panel->artistIndexAfter; }
long& recordRow(ItemEntry* entry, int type) { return type == kPickerGenre ? entry->genreIndex : entry->artistIndex; }

// Done: the row the picker shows becomes the chosen one, and its name the
// field's text. With no row shown and none chosen before, nothing changes.
void donePickerView(EditPickerToolbarTarget* self, SEL, id) {
    CLog("donePickerView");
    Strong<Panel> panel = self->panel.lock();
    if (!panel) return;
    int type = self->contentType;
    long& after = afterRow(panel, type);
    NSInteger shown = objc_msgSend<NSInteger(NSInteger)>(self->picker.get(), "selectedRowInComponent:"_sel, 0);
    if (shown >= 0) after = shown;
    recordRow(self->entry, type) = after;
    id field = self->field.get();
    objc_msgSend<BOOL()>(field, "resignFirstResponder"_sel);
    if (id name = elementAt(namesOf(panel, type), after)) set(field, "setText:"_sel, name);
}

// Cancel: the picker goes back to the chosen row; nothing is committed.
void cancelPickerView(EditPickerToolbarTarget* self, SEL, id) {
    CLog("cancelPickerView");
    Strong<Panel> panel = self->panel.lock();
    if (!panel) return;
    objc_msgSend<void(NSInteger, NSInteger, BOOL)>(self->picker.get(), "selectRow:inComponent:animated:"_sel,
                                                   afterRow(panel, self->contentType), 0, NO);
    objc_msgSend<BOOL()>(self->field.get(), "resignFirstResponder"_sel);
}

}  // namespace

id EditPickerInputView(id panel, NSInteger tag, id target, SEL cancel, SEL done, id* pickerOut) {
    CGRect screen = objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
    double W = screen.size.width;
    id container = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                            CGRectMake(0, kPickerContainerY, W, kPickerContainerHeight));
    objc_autorelease(container);
    id toolbar = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIToolbar::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                          CGRectMake(0, 0, W, kToolbarHeight));
    objc_autorelease(toolbar);
    objc_msgSend<void(NSInteger)>(toolbar, "setBarStyle:"_sel, 0);
    objc_msgSend<void(NSUInteger)>(toolbar, "setAutoresizingMask:"_sel, kFlexibleWidth);
    set(toolbar, "setBackgroundColor:"_sel, colour("whiteColor"_sel));

    id picker = objc_msgSend<id(CGRect)>(objc_msgSend<id()>(UIPickerView::cls(), "alloc"_sel), "initWithFrame:"_sel,
                                         CGRectMake(0, 0, W, 0));
    objc_autorelease(picker);
    objc_msgSend<void(NSInteger)>(picker, "setTag:"_sel, tag);
    objc_msgSend<void(BOOL)>(picker, "setShowsSelectionIndicator:"_sel, YES);
    set(picker, "setDelegate:"_sel, panel);
    set(picker, "setDataSource:"_sel, panel);
    set(picker, "setBackgroundColor:"_sel, colour("whiteColor"_sel));
    CGRect pf = objc_msgSend<CGRect()>(picker, "frame"_sel);
    objc_msgSend<void(CGRect)>(picker, "setFrame:"_sel,
                               CGRectMake(0, kPickerContainerHeight - pf.size.height, W, pf.size.height));

    objc_setAssociatedObject(toolbar, &kToolbarTargetKey, target, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    auto button = [&](NSString* title, SEL action) {
        id b = objc_msgSend<id(id, NSInteger, id, SEL)>(objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel),
                                                        "initWithTitle:style:target:action:"_sel, title,
                                                        UIBarButtonItemStylePlain, target, action);
        return autorelease(b);
    };
    id space = autorelease(objc_msgSend<id(NSInteger, id, SEL)>(
        objc_msgSend<id()>(UIBarButtonItem::cls(), "alloc"_sel), "initWithBarButtonSystemItem:target:action:"_sel,
        UIBarButtonSystemItemFlexibleSpace, nil, static_cast<SEL>(nullptr)));
    set(toolbar, "setItems:"_sel,
        NSArray::make({button("Cancel"_ns, cancel), space, button("Done"_ns, done)}));

    set(container, "addSubview:"_sel, toolbar);
    set(container, "addSubview:"_sel, picker);
    if (pickerOut) *pickerOut = picker;
    return container;
}

namespace {

void genreOrArtistPickerInit(Class, SEL, id panelObj, id entryObj, int type) {
    auto* panel = static_cast<Panel*>(panelObj);
    auto* entry = static_cast<ItemEntry*>(entryObj);
    if (panel == nullptr || entry == nullptr || (type != kPickerGenre && type != kPickerAlbumArtist)) return;
    bool genre = type == kPickerGenre;
    id lists = objc_msgSend<id()>(dbHandler(), genre ? "getGenres"_sel : "getArtists"_sel);
    Strong<NSObject> copy = Strong<NSObject>::adopt(static_cast<NSObject*>(objc_msgSend<id()>(lists, "mutableCopy"_sel)));
    (genre ? panel->genreDictionary : panel->artistDictionary) = copy;

    long viewIndex = entry->viewIndex;
    id field = genre && isAlbumIndex(viewIndex) ? panel->subSubTitleTextField.get() : panel->subTitleTextField.get();

    auto* target = static_cast<EditPickerToolbarTarget*>(
        objc_msgSend<id()>(objc_msgSend<id()>(EditPickerToolbarTarget::cls(), "alloc"_sel), "init"_sel));
    id picker = nil;
    id container = EditPickerInputView(panel, type, target, "cancelPickerView:"_sel, "donePickerView:"_sel, &picker);
    target->panel = panel;
    target->entry = entry;
    target->picker = static_cast<NSObject*>(picker);
    target->field = static_cast<NSObject*>(field);
    target->contentType = type;
    objc_release(target);

    set(field, "setInputView:"_sel, container);
    set(field, "setDelegate:"_sel, panel);

    // The item's own row, compared by value; a carried-over row outside the
    // list counts as none.
    id ids = objc_msgSend<id(id)>(copy.get(), "objectForKey:"_sel, genre ? "genreIDs"_ns : "artistIDs"_ns);
    id names = objc_msgSend<id(id)>(copy.get(), "objectForKey:"_sel, genre ? "genreNames"_ns : "artistNames"_ns);
    long long itemId = static_cast<long long>(objc_msgSend<unsigned long long()>(
        entry->mediaItem.get(), genre ? "genrePersistentID"_sel : "albumArtistPersistentID"_sel));
    long before = -1;
    for (NSUInteger i = 0; i < countOf(ids); ++i) {
        if (objc_msgSend<long long()>(elementAt(ids, static_cast<long>(i)), "longLongValue"_sel) == itemId) {
            before = static_cast<long>(i);
            break;
        }
    }
    if (before < 0) CLog(genre ? "genreID not found: %lld" : "artistID not found: %lld", itemId);
    else CLog(genre ? "genreID: %lld Found at : %ld" : "artistID: %lld Found at : %ld", itemId, before);
    long carried = recordRow(entry, type);
    if (carried < -1 || carried >= static_cast<long>(countOf(names))) carried = -1;
    (genre ? panel->genreIndexBefore : panel->artistIndexBefore) = before;
    afterRow(panel, type) = carried != -1 ? carried : before;

    if (carried == -1) {
        if (before != -1)
            objc_msgSend<void(NSInteger, NSInteger, BOOL)>(picker, "selectRow:inComponent:animated:"_sel, before, 0, YES);
    } else {
        objc_msgSend<void(NSInteger, NSInteger, BOOL)>(picker, "selectRow:inComponent:animated:"_sel, carried, 0, YES);
        set(field, "setText:"_sel, elementAt(names, carried));
    }
    objc_msgSend<void(NSInteger)>(picker, "reloadComponent:"_sel, 0);
}

// --- Alert actions ----------------------------------------------------------------

id buildAlertActionBtn(Class, SEL, int kind, id alert, BOOL, id entryObj) {
    if (kind != -1 && kind != 0) return nil;
    Weak<NSObject> weakAlert(static_cast<NSObject*>(alert));
    Strong<ItemEntry> entry(static_cast<ItemEntry*>(entryObj));
    if (kind == -1) {
        return objc_msgSend<id(id, NSInteger, id)>(
            UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Cancel"_ns, UIAlertActionStyleCancel,
            objc_block<void(id)>([weakAlert, entry](id) {
                Strong<NSObject> a = weakAlert.lock();
                EditSheetCancel(entry.get(), a.get());
            }));
    }
    return objc_msgSend<id(id, NSInteger, id)>(
        UIAlertAction::cls(), "actionWithTitle:style:handler:"_sel, "Save"_ns, UIAlertActionStyleDefault,
        objc_block<void(id)>([weakAlert, entry](id) {
            Strong<NSObject> a = weakAlert.lock();
            EditSheetSave(entry.get(), a.get());
        }));
}

id viewIndexName(Class, SEL, long viewIndex) { return getViewIndexNameByMusicViewIndex(viewIndex); }

void tweet(Class, SEL) {
    objc_msgSend<id(id)>(SLComposeViewController::cls(), "composeViewControllerForServiceType:"_sel, SLServiceTypeTwitter);
}

}  // namespace

NSString* EditSheetMessage(int pairs) {
    std::string text;
    for (int i = 0; i < pairs; ++i) text += "\r\n";
    return NSString::make(text);
}

void registerEditHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<EditHandler>("EditHandler", NSObject::cls())
            .classMethod<openEditViewOnCurrentItem>("openEditViewOnCurrentItem:andItemEntry:sentRating:", "v@:@@q")
            .classMethod<genreOrArtistPickerInit>("genreOrArtistPickerInit:andItemEntry:andContentType:", "v@:@@i")
            .classMethod<buildAlertActionBtn>("buildAlertActionBtn:alert:hasArtwork:andItemEntry:", "@@:i@B@")
            .classMethod<viewIndexName>("getViewIndexNameByMusicViewIndex:", "@@:q")
            .classMethod<tweet>("tweet", "v@:");
        registerEditSave();
        objc::ClassDef<EditPickerToolbarTarget>("EditPickerToolbarTarget", NSObject::cls())
            .method<donePickerView>("donePickerView:", "v@:@")
            .method<cancelPickerView>("cancelPickerView:", "v@:@");
        objc::define_method(object_getClass(objc::as_id(NSString::cls())), "stringFromObject:"_sel,
                            objc::make_imp<stringFromObject>(), "@@:@");
    });
}
