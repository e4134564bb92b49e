// The editing panels: views loaded from the resource bundle's nibs and laid
// over the edit sheet's alert (or the add-to-playlist picker). The base,
// ParentSongAlbumArtistView, holds the record being edited, the values at
// opening and the values chosen, and serves as the delegate of the text
// fields, the data source and delegate of the pickers (by their tag: 7 genre,
// 1 album artist, 11 playlist) and the delegate of the star rating control.
//
// Properties (strong objects, 64-bit numbers; plain accessors): see the
// members below. Runtime methods besides them:
//   textFieldShouldReturn:                                  BOOL(id)   resigns; YES
//   textField:shouldChangeCharactersInRange:replacementString:   BOOL(id, NSRange, id)
//                                    NO for the sub-title fields (changed only by pickers)
//   numberOfComponentsInPickerView:                         NSInteger(id)   1
//   pickerView:numberOfRowsInComponent:                     NSInteger(id, NSInteger)
//   pickerView:titleForRow:forComponent:                    id(id, NSInteger, NSInteger)
//   pickerView:didSelectRow:inComponent:                    void(id, NSInteger, NSInteger)
//                                    commits nothing: every picker keeps the row on
//                                    itself until its toolbar's Done commits it
//   newRating::                      void(id, int)   newRating = the rating
//   releaseKeyboard                  void()          the title field resigns
//   setRating:                       void(int)       the stars show it (ratingView)
//   shareTrack: / selectPhoto:       void(id)        the tap recognisers' actions
//                                    (PanelActions.h, with the other sub-screens)
//
// Subclasses (each made only from its nib): SongView, AlbumView, GenreView,
// PlaylistSelectionView, AlbumArtistView, with the outlets of their nibs.
#pragma once

#include <UIKit/UIView.h>

struct NSString;

// The tag of the panel on the sheet's alert view: how the sheet's actions
// find the panel of an alert.
inline constexpr NSInteger kPanelTag = 99;

struct ParentSongAlbumArtistView : UIView {
    OBJC_CLASS(ParentSongAlbumArtistView)

    // The base's outlets and values, in declaration order.
    Strong<NSObject> typeIndicatorDrawView;  // CustomDrawView
    Strong<NSObject> imageview;              // UIImageView
    Strong<NSObject> titleTextField;         // UITextField
    Strong<NSObject> subTitleTextField;
    Strong<NSObject> subSubTitleTextField;
    Strong<NSObject> constraintWidthTitle;  // NSLayoutConstraint
    Strong<NSObject> constraintWidthSubTitle;
    Strong<NSObject> constraintWidthSubSubTitle;
    Strong<NSObject> noImageCustomView;  // CustomDrawView
    Strong<NSString> prevTitle;
    long prevRating = 0;
    long newRating = 0;
    Strong<NSObject> item_entry;        // ItemEntry
    Strong<NSObject> genreDictionary;   // NSMutableDictionary
    Strong<NSObject> artistDictionary;  // NSMutableDictionary
    long genreIndexBefore = 0;
    long genreIndexAfter = 0;
    long artistIndexBefore = 0;
    long artistIndexAfter = 0;
    long playlistIndex = 0;
    Strong<NSObject> facebookImageView;  // UIImageView
    Strong<NSObject> twitterImageView;

    // Outlets that only some subclasses declare (their accessors are
    // registered on those classes alone).
    Strong<NSObject> imageViewTapIndicator;    // SongView, AlbumView
    Strong<NSObject> noImageViewTapIndicator;  // SongView
    Strong<NSObject> samplerateDrawView;       // SongView
    Strong<NSObject> bitrateDrawView;          // SongView
    Strong<NSObject> ratingView;               // SongView, AlbumView: StarRatingControl
    Strong<NSObject> bitrateLbl;               // SongView
    Strong<NSObject> samplerateLbl;            // SongView
    Strong<NSObject> constraintMsgWidth;       // PlaylistSelectionView
    Strong<NSObject> msgLabel;                 // PlaylistSelectionView
};

struct SongView : ParentSongAlbumArtistView {
    OBJC_CLASS(SongView)
};
struct AlbumView : ParentSongAlbumArtistView {
    OBJC_CLASS(AlbumView)
};
struct GenreView : ParentSongAlbumArtistView {
    OBJC_CLASS(GenreView)
};
struct AlbumArtistView : ParentSongAlbumArtistView {
    OBJC_CLASS(AlbumArtistView)
};
struct PlaylistSelectionView : ParentSongAlbumArtistView {
    OBJC_CLASS(PlaylistSelectionView)
};

// The picker tags (PickerContentType).
inline constexpr long kPickerAlbumArtist = 1;
inline constexpr long kPickerGenre = 7;
inline constexpr long kPickerPlaylist = 11;

// Registers the panel classes. Idempotent.
void registerEditingPanels();

// Whichever of the panel's text fields is being edited gives up the keyboard
// (or its picker): the sheet's ways out call it before the sheet goes.
void PanelEndEditing(ParentSongAlbumArtistView* panel);
