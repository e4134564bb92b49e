#include "ParentSongAlbumArtistView.h"

#include "Cantrel.h"

#include <Foundation/Foundation.h>
#include <UIKit/UITextField.h>

#include <mutex>

namespace {

using Panel = ParentSongAlbumArtistView;

// The list of a picker's rows by its tag, or nil.
id rowsOf(Panel* self, NSInteger tag) {
    switch (tag) {
        case kPickerGenre:
            return objc_msgSend<id(id)>(self->genreDictionary.get(), "objectForKey:"_sel, "genreNames"_ns);
        case kPickerAlbumArtist:
            return objc_msgSend<id(id)>(self->artistDictionary.get(), "objectForKey:"_sel, "artistNames"_ns);
        case kPickerPlaylist: return objc_msgSend<id(id)>(self->genreDictionary.get(), "objectForKey:"_sel, "name"_ns);
        default: return nil;
    }
}

NSInteger pickerTag(id picker) { return objc_msgSend<NSInteger()>(picker, "tag"_sel); }

BOOL textFieldShouldReturn(Panel*, SEL, id field) {
    objc_msgSend<BOOL()>(field, "resignFirstResponder"_sel);
    return YES;
}

BOOL shouldChange(Panel* self, SEL, id field, NSRange, id) {
    for (id sub : {objc::as_id(self->subTitleTextField.get()), objc::as_id(self->subSubTitleTextField.get())})
        if (sub != nil && objc_msgSend<BOOL(id)>(field, "isEqual:"_sel, sub)) return NO;
    return YES;
}

NSInteger numberOfComponents(Panel*, SEL, id) { return 1; }

NSInteger numberOfRows(Panel* self, SEL, id picker, NSInteger) {
    return static_cast<NSInteger>(objc_msgSend<NSUInteger()>(rowsOf(self, pickerTag(picker)), "count"_sel));
}

id titleForRow(Panel* self, SEL, id picker, NSInteger row, NSInteger) {
    id rows = rowsOf(self, pickerTag(picker));
    if (row < 0 || static_cast<NSUInteger>(row) >= objc_msgSend<NSUInteger()>(rows, "count"_sel)) return nil;
    return objc_msgSend<id(NSUInteger)>(rows, "objectAtIndex:"_sel, static_cast<NSUInteger>(row));
}

// Every picker's row is committed by its toolbar's Done (the picker shows
// the row until then), so that Cancel really cancels.
void didSelectRow(Panel*, SEL, id picker, NSInteger row, NSInteger) {
    CLog("ParentSongAlbumArtistView - didSelectRow: %ld, picker: %ld", static_cast<long>(row),
         static_cast<long>(pickerTag(picker)));
}

void newRating(Panel* self, SEL, id, int rating) { self->newRating = rating; }

void releaseKeyboard(Panel* self, SEL) {
    objc_msgSend<BOOL()>(self->titleTextField.get(), "resignFirstResponder"_sel);
}

void setRating(Panel* self, SEL, int rating) {
    objc_msgSend<void(int)>(self->ratingView.get(), "setRating:"_sel, rating);
}


void dealloc(Panel* self, SEL) {
    CLog("ParentSongAlbumArtistView - dealloc");
    objc_msgSendSuper<void()>(self, Panel::cls(), "dealloc"_sel);
}

template <class C>
id initWithCoderLogged(C* self, SEL, id coder) {
    CLog("initWithCoder - %s", class_getName(C::cls()));
    return objc_msgSendSuper<id(id)>(self, C::cls(), "initWithCoder:"_sel, coder);
}

template <class C>
void deallocLogged(C* self, SEL) {
    CLog("%s - dealloc", class_getName(C::cls()));
    objc_msgSendSuper<void()>(self, C::cls(), "dealloc"_sel);
}

#define PANEL_OUTLET(def, name) def.property<&Panel::name>(#name)

}  // namespace

void PanelEndEditing(ParentSongAlbumArtistView* panel) {
    if (panel == nullptr) return;
    for (id field : {objc::as_id(panel->titleTextField.get()), objc::as_id(panel->subTitleTextField.get()),
                     objc::as_id(panel->subSubTitleTextField.get())})
        if (field != nil && objc_msgSend<BOOL()>(field, "isFirstResponder"_sel))
            objc_msgSend<BOOL()>(field, "resignFirstResponder"_sel);
}

void registerEditingPanels() {
    static std::once_flag once;
    std::call_once(once, [] {
        objc::ClassDef<Panel> base("ParentSongAlbumArtistView", UIView::cls());
        PANEL_OUTLET(base, typeIndicatorDrawView);
        PANEL_OUTLET(base, imageview);
        PANEL_OUTLET(base, titleTextField);
        PANEL_OUTLET(base, subTitleTextField);
        PANEL_OUTLET(base, subSubTitleTextField);
        PANEL_OUTLET(base, constraintWidthTitle);
        PANEL_OUTLET(base, constraintWidthSubTitle);
        PANEL_OUTLET(base, constraintWidthSubSubTitle);
        PANEL_OUTLET(base, noImageCustomView);
        PANEL_OUTLET(base, prevTitle);
        PANEL_OUTLET(base, prevRating);
        PANEL_OUTLET(base, newRating);
        PANEL_OUTLET(base, item_entry);
        PANEL_OUTLET(base, genreDictionary);
        PANEL_OUTLET(base, artistDictionary);
        PANEL_OUTLET(base, genreIndexBefore);
        PANEL_OUTLET(base, genreIndexAfter);
        PANEL_OUTLET(base, artistIndexBefore);
        PANEL_OUTLET(base, artistIndexAfter);
        PANEL_OUTLET(base, playlistIndex);
        PANEL_OUTLET(base, facebookImageView);
        PANEL_OUTLET(base, twitterImageView);
        base.method<textFieldShouldReturn>("textFieldShouldReturn:", "B@:@")
            .method<shouldChange>("textField:shouldChangeCharactersInRange:replacementString:", "B@:@{_NSRange=QQ}@")
            .method<numberOfComponents>("numberOfComponentsInPickerView:", "q@:@")
            .method<numberOfRows>("pickerView:numberOfRowsInComponent:", "q@:@q")
            .method<titleForRow>("pickerView:titleForRow:forComponent:", "@@:@qq")
            .method<didSelectRow>("pickerView:didSelectRow:inComponent:", "v@:@qq")
            .method<newRating>("newRating::", "v@:@i")
            .method<releaseKeyboard>("releaseKeyboard", "v@:")
            .method<setRating>("setRating:", "v@:i")
            .method<dealloc>("dealloc", "v@:");

        objc::ClassDef<SongView> song("SongView", Panel::cls());
        song.method<initWithCoderLogged<SongView>>("initWithCoder:", "@@:@");
        PANEL_OUTLET(song, imageViewTapIndicator);
        PANEL_OUTLET(song, noImageViewTapIndicator);
        PANEL_OUTLET(song, samplerateDrawView);
        PANEL_OUTLET(song, bitrateDrawView);
        PANEL_OUTLET(song, ratingView);
        PANEL_OUTLET(song, bitrateLbl);
        PANEL_OUTLET(song, samplerateLbl);

        objc::ClassDef<AlbumView> album("AlbumView", Panel::cls());
        album.method<initWithCoderLogged<AlbumView>>("initWithCoder:", "@@:@")
            .method<deallocLogged<AlbumView>>("dealloc", "v@:");
        PANEL_OUTLET(album, imageViewTapIndicator);
        PANEL_OUTLET(album, ratingView);

        objc::ClassDef<GenreView>("GenreView", Panel::cls()).method<deallocLogged<GenreView>>("dealloc", "v@:");
        objc::ClassDef<AlbumArtistView>("AlbumArtistView", Panel::cls())
            .method<initWithCoderLogged<AlbumArtistView>>("initWithCoder:", "@@:@")
            .method<deallocLogged<AlbumArtistView>>("dealloc", "v@:");

        objc::ClassDef<PlaylistSelectionView> playlist("PlaylistSelectionView", Panel::cls());
        PANEL_OUTLET(playlist, constraintMsgWidth);
        PANEL_OUTLET(playlist, msgLabel);
    });
}
