// The list screens: MusicTableViewController and its screens over the media
// library, their data source and their cells.
#include "../UIKit/ObjectSupport.h"
#include "Private.h"

#include <Foundation/NSArray.h>
#include <Foundation/NSIndexPath.h>
#include <Foundation/NSString.h>
#include <MediaPlayer/MPMediaItem.h>
#include <MediaPlayer/MPMediaItemCollection.h>
#include <MediaPlayer/MPMediaQuery.h>
#include <MediaPlayer/MediaLibrary.h>
#include <MusicApp/MusicAlbumDetail.h>
#include <MusicApp/MusicLibraryDataSource.h>
#include <MusicApp/MusicLibraryScreens.h>
#include <MusicApp/MusicTableViewController.h>
#include <UIKit/UIKit.h>

#include <algorithm>
#include <climits>

using namespace platform::support;

MusicTableViewController::~MusicTableViewController() {
    // The table view may outlive its controller; it must not keep pointing here.
    if (auto* table = objectAs<UITableView>(_view)) {
        if (table->_delegate == this) table->_delegate = nil;
        if (table->_dataSource == this) table->_dataSource = nil;
        // A row left swiped closes with its screen: its buttons' actions may
        // hold the table, which holds the buttons while they are shown.
        if (table->_editing) {
            AutoreleasePool pool;
            objc_msgSend<void(BOOL)>(table, "setEditing:"_sel, NO);
        }
    }
    clearStrong(_dataSource);
    clearStrong(_collection);
}

MusicMediaCellContentView::~MusicMediaCellContentView() { clearStrong(_artworkImage); }

MusicMediaTableViewCell::~MusicMediaTableViewCell() {
    clearStrong(_artworkImage);
    clearStrong(_mediaCellContentView);
}

MusicLibraryDataSource::~MusicLibraryDataSource() {
    clearStrong(_entities);
    clearStrong(_titles);
}

namespace {

id indexPath(NSInteger row, NSInteger section) {
    return objc_msgSend<id(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel, row, section);
}

NSInteger rowOf(id path) { return objc_msgSend<NSInteger()>(path, "row"_sel); }
NSInteger sectionOf(id path) { return objc_msgSend<NSInteger()>(path, "section"_sel); }

bool isSubclassOf(Class cls, Class base) {
    for (Class c = cls; c != nullptr; c = class_getSuperclass(c))
        if (c == base) return true;
    return false;
}

CGRect screenBounds() {
    return objc_msgSend<CGRect()>(objc_msgSend<id()>(UIScreen::cls(), "mainScreen"_sel), "bounds"_sel);
}

// The row title of an action row.
NSString* actionTitle(NSInteger row) {
    static const char* const kTitles[] = {"Shuffle", "Play All", "Genius"};
    if (row >= 0 && row < 3) return NSString::make(kTitles[row]);
    return NSStringWithFormat("Action %ld", row + 1);
}

// The media item an entity stands for: a collection's representative item,
// an item itself.
id representedItem(id entity) {
    if (objc_msgSend<BOOL(SEL)>(entity, "respondsToSelector:"_sel, "representativeItem"_sel))
        return objc_msgSend<id()>(entity, "representativeItem"_sel);
    return entity;
}

// --- MusicLibraryDataSource -------------------------------------------------

namespace source {

std::string sectionTitle(NSString* title) {
    int section = platform::mediaLibrarySortSection(to_string(title));
    return section < 26 ? std::string(1, static_cast<char>('A' + section)) : std::string("#");
}

id initWithEntities(MusicLibraryDataSource* self, SEL, id entities, id titles, BOOL grouped) {
    self = objectAs<MusicLibraryDataSource>(
        objc_msgSendSuper<id()>(self, MusicLibraryDataSource::cls(), "init"_sel));
    if (self == nullptr) return nil;
    id list = mutableArray();
    id names = mutableArray();
    NSUInteger n = arrayCount(entities);
    for (NSUInteger i = 0; i < n; ++i) {
        arrayAdd(list, arrayObjectAt(entities, i));
        id title = i < arrayCount(titles) ? arrayObjectAt(titles, i) : nullptr;
        arrayAdd(names, title != nullptr ? title : NSString::make(""));
    }
    storeStrong(self->_entities, list);
    storeStrong(self->_titles, names);
    if (!grouped) {
        if (n > 0) self->_sections.push_back({std::string(), 0, n});
        return self;
    }
    for (NSUInteger i = 0; i < n; ++i) {
        std::string letter = sectionTitle(objectAs<NSString>(arrayObjectAt(names, i)));
        if (self->_sections.empty() || self->_sections.back().title != letter)
            self->_sections.push_back({letter, i, 0});
        ++self->_sections.back().count;
    }
    return self;
}

id entities(MusicLibraryDataSource* self, SEL) { return self->_entities; }

NSInteger numberOfSections(MusicLibraryDataSource* self, SEL) {
    return static_cast<NSInteger>(self->_sections.size());
}

const MusicLibraryDataSource::Section* sectionAt(MusicLibraryDataSource* self, NSInteger section) {
    if (section < 0 || static_cast<size_t>(section) >= self->_sections.size()) return nullptr;
    return &self->_sections[static_cast<size_t>(section)];
}

NSInteger numberOfEntitiesInSection(MusicLibraryDataSource* self, SEL, NSInteger section) {
    const auto* s = sectionAt(self, section);
    return s ? static_cast<NSInteger>(s->count) : 0;
}

id titleForSection(MusicLibraryDataSource* self, SEL, NSInteger section) {
    const auto* s = sectionAt(self, section);
    if (s == nullptr || s->title.empty()) return nil;
    return NSString::make(s->title);
}

// The index in _entities of an index path, or -1.
long indexOf(MusicLibraryDataSource* self, id path) {
    if (path == nullptr) return -1;
    const auto* s = sectionAt(self, sectionOf(path));
    NSInteger row = rowOf(path);
    if (s == nullptr || row < 0 || static_cast<NSUInteger>(row) >= s->count) return -1;
    return static_cast<long>(s->start + static_cast<NSUInteger>(row));
}

id entityAtIndexPath(MusicLibraryDataSource* self, SEL, id path) {
    long i = indexOf(self, path);
    return i < 0 ? nil : arrayObjectAt(self->_entities, static_cast<NSUInteger>(i));
}

id titleAtIndexPath(MusicLibraryDataSource* self, SEL, id path) {
    long i = indexOf(self, path);
    return i < 0 ? nil : arrayObjectAt(self->_titles, static_cast<NSUInteger>(i));
}

id indexPathForEntity(MusicLibraryDataSource* self, SEL, id entity) {
    for (size_t s = 0; s < self->_sections.size(); ++s) {
        const auto& section = self->_sections[s];
        for (NSUInteger r = 0; r < section.count; ++r) {
            if (arrayObjectAt(self->_entities, section.start + r) == entity)
                return indexPath(static_cast<NSInteger>(r), static_cast<NSInteger>(s));
        }
    }
    return nil;
}

NSInteger tableSections(MusicLibraryDataSource* self, SEL, id) {
    return objc_msgSend<NSInteger()>(self, "numberOfSections"_sel);
}

NSInteger tableRows(MusicLibraryDataSource* self, SEL, id, NSInteger section) {
    return objc_msgSend<NSInteger(NSInteger)>(self, "numberOfEntitiesInSection:"_sel, section);
}

id tableCell(MusicLibraryDataSource* self, SEL, id table, id path) {
    NSString* identifier = NSString::make(kMusicSongListCellIdentifier);
    id cell = objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, identifier);
    if (cell == nullptr) {
        id alloced = objc_msgSend<id()>(MusicSongListTableViewCell::cls(), "alloc"_sel);
        cell = objc_autorelease(objc_msgSend<id(NSInteger, id)>(alloced, "initWithStyle:reuseIdentifier:"_sel,
                                                                UITableViewCellStyleDefault, identifier));
    }
    objc_msgSend<void(id)>(cell, "setTitle:"_sel, objc_msgSend<id(id)>(self, "titleAtIndexPath:"_sel, path));
    return cell;
}

}  // namespace source

// --- Cells ------------------------------------------------------------------

namespace contentView {

id artworkImage(MusicMediaCellContentView* self, SEL) { return self->_artworkImage; }

void setArtworkImageAnimated(MusicMediaCellContentView* self, SEL, id image, BOOL) {
    storeStrong(self->_artworkImage, requireObject<UIImage>(image, "-[MusicMediaCellContentView setArtworkImage:]"));
    objc_msgSend<void()>(self, "setNeedsContentReload"_sel);
}

void setArtworkImage(MusicMediaCellContentView* self, SEL, id image) {
    objc_msgSend<void(id, BOOL)>(self, "setArtworkImage:animated:"_sel, image, NO);
}

void setNeedsContentReload(MusicMediaCellContentView* self, SEL) { self->_needsContentReload = YES; }

void reloadContent(MusicMediaCellContentView* self, SEL) {
    ++self->_contentReloads;
    self->_needsContentReload = NO;
}

// The artwork, a square of the row's height at the left.
void drawRect(MusicMediaCellContentView* self, SEL, CGRect) {
    CGRect bounds = objc_msgSend<CGRect()>(self, "bounds"_sel);
    objc_msgSend<void(CGRect)>(objc_msgSend<id()>(self, "artworkImage"_sel), "drawInRect:"_sel,
                               CGRectMake(0, 0, bounds.size.height, bounds.size.height));
}

}  // namespace contentView

namespace mediaCell {

// The text's inset from the artwork.
constexpr CGFloat kTextInset = 15;

id initWithStyle(MusicMediaTableViewCell* self, SEL, NSInteger style, id reuseIdentifier) {
    self = objectAs<MusicMediaTableViewCell>(objc_msgSendSuper<id(NSInteger, id)>(
        self, MusicMediaTableViewCell::cls(), "initWithStyle:reuseIdentifier:"_sel, style, reuseIdentifier));
    if (self == nullptr) return nil;
    id content = objc_msgSend<id()>(self, "contentView"_sel);
    id alloced = objc_msgSend<id()>(MusicMediaCellContentView::cls(), "alloc"_sel);
    id media = objc_msgSend<id(CGRect)>(alloced, "initWithFrame:"_sel, objc_msgSend<CGRect()>(content, "bounds"_sel));
    auto owned = adoptObject<MusicMediaCellContentView>(media, "-[MusicMediaTableViewCell initWithStyle:reuseIdentifier:]");
    storeStrong(self->_mediaCellContentView, owned.get());
    objc_msgSend<void(id)>(content, "addSubview:"_sel, owned.get());
    return self;
}

id artworkImage(MusicMediaTableViewCell* self, SEL) { return self->_artworkImage; }

void setArtworkImageAnimated(MusicMediaTableViewCell* self, SEL, id image, BOOL animated) {
    storeStrong(self->_artworkImage, requireObject<UIImage>(image, "-[MusicMediaTableViewCell setArtworkImage:]"));
    objc_msgSend<void(id, BOOL)>(self->_mediaCellContentView, "setArtworkImage:animated:"_sel, image, animated);
    objc_msgSend<void()>(self, "setNeedsLayout"_sel);  // the text makes room for it, or takes it back
}

void setArtworkImage(MusicMediaTableViewCell* self, SEL, id image) {
    objc_msgSend<void(id, BOOL)>(self, "setArtworkImage:animated:"_sel, image, NO);
}

// The media content view fills the content view; with artwork, which the
// content view draws at the left, the text starts after it.
void layoutSubviews(MusicMediaTableViewCell* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicMediaTableViewCell::cls(), "layoutSubviews"_sel);
    id content = objc_msgSend<id()>(self, "contentView"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(content, "bounds"_sel);
    objc_msgSend<void(CGRect)>(self->_mediaCellContentView, "setFrame:"_sel, bounds);
    if (objc_msgSend<id()>(self, "artworkImage"_sel) == nullptr) return;
    id label = objc_msgSend<id()>(self, "textLabel"_sel);
    CGRect text = objc_msgSend<CGRect()>(label, "frame"_sel);
    CGFloat left = bounds.size.height + kTextInset;
    CGFloat right = text.origin.x + text.size.width;
    objc_msgSend<void(CGRect)>(label, "setFrame:"_sel,
                               CGRectMake(left, text.origin.y, std::max<CGFloat>(0, right - left), text.size.height));
}

void prepareForReuse(MusicMediaTableViewCell* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicMediaTableViewCell::cls(), "prepareForReuse"_sel);
    objc_msgSend<void(id, BOOL)>(self, "setArtworkImage:animated:"_sel, nil, NO);
    objc_msgSend<void(id)>(self, "setTitle:"_sel, nil);
}

id songCellInit(MusicSongListTableViewCell* self, SEL, NSInteger style, id reuseIdentifier) {
    return objc_msgSendSuper<id(NSInteger, id)>(self, MusicSongListTableViewCell::cls(),
                                                "initWithStyle:reuseIdentifier:"_sel, style, reuseIdentifier);
}

}  // namespace mediaCell

// --- MusicTableViewController ----------------------------------------------

namespace list {

// Where a table row is in the data source.
struct Place {
    enum Kind { Entity, Action, None } kind = None;
    NSInteger section = 0;  // data-source section (Entity)
    NSInteger row = 0;      // data-source row (Entity) or action number (Action)
};

id dataSourceOf(MusicTableViewController* self) { return objc_msgSend<id()>(self, "dataSource"_sel); }

NSInteger dataSourceSections(id source) { return objc_msgSend<NSInteger()>(source, "numberOfSections"_sel); }

NSInteger dataSourceRows(id source, NSInteger section) {
    return objc_msgSend<NSInteger(NSInteger)>(source, "numberOfEntitiesInSection:"_sel, section);
}

// Header sections before the data source's first one.
NSInteger leadingSections(MusicTableViewController* self) {
    return self->_allowsActions ? 1 : std::max<NSInteger>(0, self->_dataSourceSectionOffset);
}

NSInteger actionRows(MusicTableViewController* self) { return std::max<NSInteger>(0, self->_numberOfActionRows); }

Place placeOf(MusicTableViewController* self, NSInteger section, NSInteger row) {
    Place p;
    if (row < 0) return p;
    id source = dataSourceOf(self);
    NSInteger actions = actionRows(self);
    if (self->_allowsActions && section == 0) {
        if (row < actions) p = {Place::Action, 0, row};
        return p;
    }
    NSInteger d = section - leadingSections(self);
    if (d < 0) return p;
    if (!self->_allowsActions && d == 0) {
        if (row < actions) return {Place::Action, 0, row};
        row -= actions;
    }
    if (row < dataSourceRows(source, d)) p = {Place::Entity, d, row};
    return p;
}

void loadView(MusicTableViewController* self, SEL) {
    id alloced = objc_msgSend<id()>(UITableView::cls(), "alloc"_sel);
    id table = objc_msgSend<id(CGRect, NSInteger)>(alloced, "initWithFrame:style:"_sel, screenBounds(),
                                                    UITableViewStylePlain);
    objc_msgSend<void(id)>(table, "setDelegate:"_sel, self);
    objc_msgSend<void(id)>(table, "setDataSource:"_sel, self);
    objc_msgSend<void(id)>(self, "setView:"_sel, table);
    objc_release(table);
}

void viewDidLoad(MusicTableViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicTableViewController::cls(), "viewDidLoad"_sel);
    objc_msgSend<void(BOOL)>(self, "_music_updateForContentChangeForInitialViewLoad:"_sel, YES);
    objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
}

// Every appearance updates the store item of the navigation bar.
void viewWillAppear(MusicTableViewController* self, SEL, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, MusicTableViewController::cls(), "viewWillAppear:"_sel, animated);
    objc_msgSend<void()>(self, "music_updateStoreNavigationItem"_sel);
}

id tableView(MusicTableViewController* self, SEL) {
    return objectAs<UITableView>(objc_msgSend<id()>(self, "view"_sel));
}

id loadEntities(MusicTableViewController*, SEL) { return nil; }
id titleForEntity(MusicTableViewController*, SEL, id) { return nil; }
BOOL groupsEntitiesBySection(MusicTableViewController*, SEL) { return NO; }
id cellClass(MusicTableViewController*, SEL) { return MusicSongListTableViewCell::cls(); }

id collection(MusicTableViewController* self, SEL) { return self->_collection; }

void setCollection(MusicTableViewController* self, SEL, id collection) {
    storeStrong(self->_collection, collection);
    objc_msgSend<void()>(self, "reloadDataSource"_sel);
}

// Made on first ask, from the screen's entities and their titles.
id dataSource(MusicTableViewController* self, SEL) {
    if (self->_dataSourceLoaded) return self->_dataSource;
    self->_dataSourceLoaded = YES;
    id entities = objc_msgSend<id()>(self, "loadEntities"_sel);
    if (entities == nullptr) return nil;
    id titles = mutableArray();
    NSUInteger n = arrayCount(entities);
    for (NSUInteger i = 0; i < n; ++i) {
        id title = objc_msgSend<id(id)>(self, "titleForEntity:"_sel, arrayObjectAt(entities, i));
        arrayAdd(titles, title != nullptr ? title : NSString::make(""));
    }
    BOOL grouped = !self->_allowsActions && objc_msgSend<BOOL()>(self, "groupsEntitiesBySection"_sel);
    id alloced = objc_msgSend<id()>(MusicLibraryDataSource::cls(), "alloc"_sel);
    id made = objc_msgSend<id(id, id, BOOL)>(alloced, "initWithEntities:titles:grouped:"_sel, entities, titles, grouped);
    auto owned = adoptObject<MusicLibraryDataSource>(made, "-[MusicTableViewController dataSource]");
    storeStrong(self->_dataSource, owned.get());
    return self->_dataSource;
}

void setDataSource(MusicTableViewController* self, SEL, id source) {
    storeStrong(self->_dataSource, requireObject<MusicLibraryDataSource>(source, "-[MusicTableViewController setDataSource:]"));
    self->_dataSourceLoaded = YES;
    if (objc_msgSend<BOOL()>(self, "isViewLoaded"_sel))
        objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
}

void reloadDataSource(MusicTableViewController* self, SEL) {
    clearStrong(self->_dataSource);
    self->_dataSourceLoaded = NO;
    if (objc_msgSend<BOOL()>(self, "isViewLoaded"_sel))
        objc_msgSend<void()>(objc_msgSend<id()>(self, "tableView"_sel), "reloadData"_sel);
}

int sectionForDataSourceSection(MusicTableViewController* self, SEL, NSInteger section) {
    NSInteger table = section + leadingSections(self);
    return static_cast<int>(std::clamp<NSInteger>(table, INT_MIN, INT_MAX));
}

NSInteger numberOfActionRowsInTableView(MusicTableViewController* self, SEL, id) { return actionRows(self); }
BOOL allowsActions(MusicTableViewController* self, SEL) { return self->_allowsActions; }
NSInteger dataSourceSectionOffset(MusicTableViewController* self, SEL) { return self->_dataSourceSectionOffset; }

void setDataSourceSectionOffset(MusicTableViewController* self, SEL, NSInteger offset) {
    self->_dataSourceSectionOffset = std::max<NSInteger>(0, offset);
    objc_msgSend<void()>(self, "reloadDataSource"_sel);
}

void setNumberOfActionRows(MusicTableViewController* self, SEL, NSInteger rows) {
    self->_numberOfActionRows = std::max<NSInteger>(0, rows);
    objc_msgSend<void()>(self, "reloadDataSource"_sel);
}

void setAllowsActions(MusicTableViewController* self, SEL, BOOL allows) {
    self->_allowsActions = allows;
    objc_msgSend<void()>(self, "reloadDataSource"_sel);
}

id dataSourceIndexPathForIndexPath(MusicTableViewController* self, SEL, id path) {
    if (path == nullptr) return nil;
    Place p = placeOf(self, sectionOf(path), rowOf(path));
    return p.kind == Place::Entity ? indexPath(p.row, p.section) : nil;
}

NSInteger numberOfSections(MusicTableViewController* self, SEL, id) {
    id source = dataSourceOf(self);
    NSInteger sections = dataSourceSections(source);
    NSInteger total = self->_allowsActions
                          ? 1 + sections
                          : leadingSections(self) + std::max<NSInteger>(sections, actionRows(self) > 0 ? 1 : 0);
    return std::max<NSInteger>(total, 1);
}

NSInteger numberOfRows(MusicTableViewController* self, SEL, id, NSInteger section) {
    id source = dataSourceOf(self);
    if (self->_allowsActions) {
        if (section == 0) return actionRows(self);
        return dataSourceRows(source, section - 1);
    }
    NSInteger d = section - leadingSections(self);
    if (d < 0) return 0;
    return dataSourceRows(source, d) + (d == 0 ? actionRows(self) : 0);
}

// A new or reused cell of `cls` with that identifier, autoreleased.
id makeCell(id table, Class cls, const char* identifier) {
    NSString* name = NSString::make(identifier);
    id cell = objc_msgSend<id(id)>(table, "dequeueReusableCellWithIdentifier:"_sel, name);
    if (cell != nullptr && objc_isKindOfClass(cell, cls)) return cell;
    id alloced = objc_msgSend<id()>(cls, "alloc"_sel);
    return objc_autorelease(objc_msgSend<id(NSInteger, id)>(alloced, "initWithStyle:reuseIdentifier:"_sel,
                                                            UITableViewCellStyleDefault, name));
}

// The entity's picture for its row: the artwork of the item it stands for.
// A picture the artwork did not hold before stays with the cell alone: the
// list's items live as long as the list, its cells are reused, so a long
// list keeps no more pictures than it has cells.
id artworkFor(id entity) {
    id item = representedItem(entity);
    if (item == nullptr || !objc_msgSend<BOOL(SEL)>(item, "respondsToSelector:"_sel, "artwork"_sel)) return nil;
    id artwork = objc_msgSend<id()>(item, "artwork"_sel);
    auto* stored = objectAs<MPMediaItemArtwork>(artwork);
    bool held = stored != nullptr && stored->_image != nullptr;
    id picture = objc_msgSend<id(CGSize)>(artwork, "imageWithSize:"_sel,
                                          CGSizeMake(kMusicCellArtworkSize, kMusicCellArtworkSize));
    if (stored != nullptr && !held && stored->_image != nullptr) {
        autorelease(retain(picture));
        clearStrong(stored->_image);
    }
    return picture;
}

id cellForRow(MusicTableViewController* self, SEL, id table, id path) {
    auto cls = static_cast<Class>(objc_msgSend<id()>(self, "cellClass"_sel));
    if (cls == nullptr) cls = MusicSongListTableViewCell::cls();
    const char* identifier =
        isSubclassOf(cls, MusicSongListTableViewCell::cls()) ? kMusicSongListCellIdentifier : kMusicMediaCellIdentifier;
    if (path == nullptr) return makeCell(table, cls, identifier);
    Place p = placeOf(self, sectionOf(path), rowOf(path));
    if (p.kind == Place::Action) {
        id cell = makeCell(table, MusicMediaTableViewCell::cls(), kMusicActionCellIdentifier);
        objc_msgSend<void(id)>(cell, "setTitle:"_sel, actionTitle(p.row));
        return cell;
    }
    id cell = makeCell(table, cls, identifier);
    if (p.kind != Place::Entity) return cell;
    id entity = objc_msgSend<id(id)>(dataSourceOf(self), "entityAtIndexPath:"_sel, indexPath(p.row, p.section));
    objc_msgSend<void(id)>(cell, "setTitle:"_sel, objc_msgSend<id(id)>(self, "titleForEntity:"_sel, entity));
    if (objc_msgSend<BOOL(SEL)>(cell, "respondsToSelector:"_sel, "setArtworkImage:"_sel))
        objc_msgSend<void(id)>(cell, "setArtworkImage:"_sel, artworkFor(entity));
    return cell;
}

id titleForHeader(MusicTableViewController* self, SEL, id, NSInteger section) {
    if (self->_allowsActions && section == 0) return nil;
    NSInteger d = section - leadingSections(self);
    if (d < 0) return nil;
    return objc_msgSend<id(NSInteger)>(dataSourceOf(self), "titleForSection:"_sel, d);
}

// A delete removes the row's entity from the media library and shows the
// list anew; a row that shows no entity (an action row, past the end)
// deletes nothing.
void commitEditingStyle(MusicTableViewController* self, SEL, id table, NSInteger style, id path) {
    if (style != UITableViewCellEditingStyleDelete) return;
    ++self->_deleteCommits;
    if (table != nullptr) objc_msgSend<void(BOOL)>(table, "setEditing:"_sel, NO);
    id sourcePath = objc_msgSend<id(id)>(self, "dataSourceIndexPathForIndexPath:"_sel, path);
    if (sourcePath == nullptr) return;
    id entity = objc_msgSend<id(id)>(dataSourceOf(self), "entityAtIndexPath:"_sel, sourcePath);
    if (entity == nullptr || !platform::deleteMediaEntity(entity)) return;
    ++self->_deletedEntities;
    // A detail screen's album or playlist no longer holds the deleted song.
    if (auto* collection = objectAs<MPMediaItemCollection>(self->_collection)) {
        id remaining = objc_msgSend<id()>(NSMutableArray::cls(), "array"_sel);
        id items = collection->_items;
        NSUInteger n = items ? objc_msgSend<NSUInteger()>(items, "count"_sel) : 0;
        for (NSUInteger i = 0; i < n; ++i) {
            id item = objc_msgSend<id(NSUInteger)>(items, "objectAtIndex:"_sel, i);
            if (!objc_msgSend<BOOL(id)>(item, "isEqual:"_sel, entity))
                objc_msgSend<void(id)>(remaining, "addObject:"_sel, item);
        }
        storeStrong(collection->_items, remaining);
    }
    objc_msgSend<void()>(self, "reloadDataSource"_sel);
}

id viewForHeader(MusicTableViewController*, SEL, id, NSInteger) { return nil; }

void willDisplayHeaderView(MusicTableViewController*, SEL, id, id, NSInteger) {}

}  // namespace list

// --- The screens -------------------------------------------------------------

namespace screens {

id queryResults(SEL query, SEL results) {
    return objc_msgSend<id()>(objc_msgSend<id()>(MPMediaQuery::cls(), query), results);
}

id valueOf(id entity, const char* property) {
    return objc_msgSend<id(id)>(entity, "valueForProperty:"_sel, NSString::make(property));
}

BOOL yes(MusicTableViewController*, SEL) { return YES; }
id mediaCellClass(MusicTableViewController*, SEL) { return MusicMediaTableViewCell::cls(); }

id songTitle(MusicTableViewController*, SEL, id entity) { return valueOf(entity, "title"); }
id albumArtistTitle(MusicTableViewController*, SEL, id entity) { return valueOf(entity, "albumArtist"); }
id albumTitle(MusicTableViewController*, SEL, id entity) { return valueOf(entity, "albumTitle"); }
id composerTitle(MusicTableViewController*, SEL, id entity) { return valueOf(entity, "composer"); }
id genreTitle(MusicTableViewController*, SEL, id entity) { return valueOf(entity, "genre"); }

// A playlist's row shows the name in its properties, so a name changed there
// shows at the next display of the row.
id playlistTitle(MusicTableViewController*, SEL, id entity) {
    id* properties = objc_ivarPointer<id>(entity, "_properties");
    if (properties == nullptr || *properties == nullptr) return valueOf(entity, "name");
    return objc_msgSend<id(id)>(*properties, "objectForKey:"_sel, NSString::make("name"));
}

id songs(MusicTableViewController*, SEL) { return queryResults("songsQuery"_sel, "items"_sel); }
id artists(MusicTableViewController*, SEL) { return queryResults("artistsQuery"_sel, "collections"_sel); }
id albums(MusicTableViewController*, SEL) { return queryResults("albumsQuery"_sel, "collections"_sel); }
id composers(MusicTableViewController*, SEL) { return queryResults("composersQuery"_sel, "collections"_sel); }
id genres(MusicTableViewController*, SEL) { return queryResults("genresQuery"_sel, "collections"_sel); }
id playlists(MusicTableViewController*, SEL) { return queryResults("playlistsQuery"_sel, "collections"_sel); }
id compilations(MusicTableViewController*, SEL) { return queryResults("compilationsQuery"_sel, "collections"_sel); }

// An album's or a playlist's songs; nothing without a collection.
id collectionItems(MusicTableViewController* self, SEL) {
    id collection = objc_msgSend<id()>(self, "collection"_sel);
    if (collection == nullptr) return nil;
    id items = objc_msgSend<id()>(collection, "items"_sel);
    return items != nullptr ? items : mutableArray();
}

// The album's header view heads the table.
void albumDetailLoadView(MusicAlbumsDetailViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicAlbumsDetailViewController::cls(), "loadView"_sel);
    id table = objc_msgSend<id()>(self, "tableView"_sel);
    CGRect bounds = objc_msgSend<CGRect()>(table, "bounds"_sel);
    id alloced = objc_msgSend<id()>(MusicAlbumsDetailTableHeaderView::cls(), "alloc"_sel);
    id header = objc_msgSend<id(CGRect)>(alloced, "initWithFrame:"_sel,
                                         CGRectMake(0, 0, CGRectGetWidth(bounds), kMusicAlbumsDetailHeaderHeight));
    objc_msgSend<void(id)>(header, "setTableView:"_sel, table);
    objc_msgSend<void(id)>(table, "setTableHeaderView:"_sel, header);
    objc_release(header);
}

}  // namespace screens

namespace container {

// The one child: the album's tracks.
MusicAlbumsDetailViewController* detailOf(MusicAlbumsDetailContainerViewController* self) {
    for (const Strong<UIViewController>& child : self->_childViewControllers)
        if (auto* detail = objectAs<MusicAlbumsDetailViewController>(child.get())) return detail;
    return nullptr;
}

id detailViewController(MusicAlbumsDetailContainerViewController* self, SEL) { return detailOf(self); }

void placeDetailView(MusicAlbumsDetailContainerViewController* self) {
    MusicAlbumsDetailViewController* detail = detailOf(self);
    if (detail == nullptr || !objc_msgSend<BOOL()>(self, "isViewLoaded"_sel)) return;
    id view = objc_msgSend<id()>(self, "view"_sel);
    id detailView = objc_msgSend<id()>(detail, "view"_sel);
    objc_msgSend<void(CGRect)>(detailView, "setFrame:"_sel, objc_msgSend<CGRect()>(view, "bounds"_sel));
    objc_msgSend<void(id)>(view, "addSubview:"_sel, detailView);
}

void setDetailViewController(MusicAlbumsDetailContainerViewController* self, SEL, id obj) {
    auto* detail = requireObject<MusicAlbumsDetailViewController>(
        obj, "-[MusicAlbumsDetailContainerViewController setDetailViewController:]");
    Strong<MusicAlbumsDetailViewController> old(detailOf(self));
    if (detail == old.get()) return;
    if (old) {
        if (objc_msgSend<BOOL()>(old.get(), "isViewLoaded"_sel))
            objc_msgSend<void()>(objc_msgSend<id()>(old.get(), "view"_sel), "removeFromSuperview"_sel);
        objc_msgSend<void()>(old.get(), "removeFromParentViewController"_sel);
    }
    if (detail == nullptr) return;
    objc_msgSend<void(id)>(self, "addChildViewController:"_sel, detail);
    placeDetailView(self);
}

void loadView(MusicAlbumsDetailContainerViewController* self, SEL) {
    id alloced = objc_msgSend<id()>(UIView::cls(), "alloc"_sel);
    id view = objc_msgSend<id(CGRect)>(alloced, "initWithFrame:"_sel, screenBounds());
    objc_msgSend<void(id)>(self, "setView:"_sel, view);
    objc_release(view);
    placeDetailView(self);
}

void viewDidLayoutSubviews(MusicAlbumsDetailContainerViewController* self, SEL) {
    objc_msgSendSuper<void()>(self, MusicAlbumsDetailContainerViewController::cls(), "viewDidLayoutSubviews"_sel);
    MusicAlbumsDetailViewController* detail = detailOf(self);
    if (detail == nullptr) return;
    id view = objc_msgSend<id()>(self, "view"_sel);
    objc_msgSend<void(CGRect)>(objc_msgSend<id()>(detail, "view"_sel), "setFrame:"_sel,
                               objc_msgSend<CGRect()>(view, "bounds"_sel));
}

// The child appears and disappears with the container (one body for the
// four selectors: it passes on the one it was sent).
void forwardAppearance(MusicAlbumsDetailContainerViewController* self, SEL cmd, BOOL animated) {
    objc_msgSendSuper<void(BOOL)>(self, MusicAlbumsDetailContainerViewController::cls(), cmd, animated);
    objc_msgSend<void(BOOL)>(detailOf(self), cmd, animated);
}

}  // namespace container

template <class Screen>
objc::ClassDef<Screen> screen(const char* name) {
    return objc::ClassDef<Screen>(name, MusicTableViewController::cls());
}

}  // namespace

void platform::musicapp::registerListScreens() {
    objc::ClassDef<MusicLibraryDataSource>("MusicLibraryDataSource", NSObject::cls())
        .method<source::initWithEntities>("initWithEntities:titles:grouped:")
        .method<source::entities>("entities")
        .method<source::numberOfSections>("numberOfSections")
        .method<source::numberOfEntitiesInSection>("numberOfEntitiesInSection:")
        .method<source::titleForSection>("titleForSection:")
        .method<source::entityAtIndexPath>("entityAtIndexPath:")
        .method<source::titleAtIndexPath>("titleAtIndexPath:")
        .method<source::indexPathForEntity>("indexPathForEntity:")
        .method<source::tableSections>("numberOfSectionsInTableView:")
        .method<source::tableRows>("tableView:numberOfRowsInSection:")
        .method<source::tableCell>("tableView:cellForRowAtIndexPath:")
        .OBJC_IVAR(MusicLibraryDataSource, _entities);

    objc::ClassDef<MusicTableViewController>("MusicTableViewController", UIViewController::cls())
        .method<list::loadView>("loadView")
        .method<list::viewDidLoad>("viewDidLoad")
        .method<list::viewWillAppear>("viewWillAppear:")
        .method<list::tableView>("tableView")
        .method<list::loadEntities>("loadEntities")
        .method<list::titleForEntity>("titleForEntity:")
        .method<list::groupsEntitiesBySection>("groupsEntitiesBySection")
        .method<list::cellClass>("cellClass")
        .method<list::collection>("collection")
        .method<list::setCollection>("setCollection:")
        .method<list::dataSource>("dataSource")
        .method<list::setDataSource>("setDataSource:")
        .method<list::reloadDataSource>("reloadDataSource")
        .method<list::sectionForDataSourceSection>("sectionForDataSourceSection:")
        .method<list::numberOfActionRowsInTableView>("numberOfActionRowsInTableView:")
        .method<list::allowsActions>("allowsActions")
        .method<list::dataSourceSectionOffset>("dataSourceSectionOffset")
        .method<list::setDataSourceSectionOffset>("setDataSourceSectionOffset:")
        .method<list::setNumberOfActionRows>("setNumberOfActionRows:")
        .method<list::setAllowsActions>("setAllowsActions:")
        .method<list::dataSourceIndexPathForIndexPath>("dataSourceIndexPathForIndexPath:")
        .method<list::numberOfSections>("numberOfSectionsInTableView:")
        .method<list::numberOfRows>("tableView:numberOfRowsInSection:")
        .method<list::cellForRow>("tableView:cellForRowAtIndexPath:")
        .method<list::titleForHeader>("tableView:titleForHeaderInSection:")
        .method<list::commitEditingStyle>("tableView:commitEditingStyle:forRowAtIndexPath:")
        .method<list::viewForHeader>("tableView:viewForHeaderInSection:")
        .method<list::willDisplayHeaderView>("tableView:willDisplayHeaderView:forSection:")
        .OBJC_IVAR(MusicTableViewController, _deleteCommits)
        .OBJC_IVAR(MusicTableViewController, _dataSource)
        .OBJC_IVAR(MusicTableViewController, _collection)
        .OBJC_IVAR(MusicTableViewController, _dataSourceSectionOffset)
        .OBJC_IVAR(MusicTableViewController, _numberOfActionRows)
        .OBJC_IVAR(MusicTableViewController, _allowsActions);

    screen<MusicSongsViewController>("MusicSongsViewController")
        .method<screens::songs>("loadEntities")
        .method<screens::songTitle>("titleForEntity:")
        .method<screens::yes>("groupsEntitiesBySection");
    screen<MusicArtistsViewController>("MusicArtistsViewController")
        .method<screens::artists>("loadEntities")
        .method<screens::albumArtistTitle>("titleForEntity:")
        .method<screens::yes>("groupsEntitiesBySection")
        .method<screens::mediaCellClass>("cellClass");
    screen<MusicAlbumsViewController>("MusicAlbumsViewController")
        .method<screens::albums>("loadEntities")
        .method<screens::albumTitle>("titleForEntity:")
        .method<screens::yes>("groupsEntitiesBySection")
        .method<screens::mediaCellClass>("cellClass");
    screen<MusicAlbumsDetailViewController>("MusicAlbumsDetailViewController")
        .method<screens::albumDetailLoadView>("loadView")
        .method<screens::collectionItems>("loadEntities")
        .method<screens::songTitle>("titleForEntity:");
    screen<MusicComposersViewController>("MusicComposersViewController")
        .method<screens::composers>("loadEntities")
        .method<screens::composerTitle>("titleForEntity:")
        .method<screens::yes>("groupsEntitiesBySection")
        .method<screens::mediaCellClass>("cellClass");
    screen<MusicGenresViewController>("MusicGenresViewController")
        .method<screens::genres>("loadEntities")
        .method<screens::genreTitle>("titleForEntity:")
        .method<screens::yes>("groupsEntitiesBySection")
        .method<screens::mediaCellClass>("cellClass");
    screen<MusicPlaylistsListViewController>("MusicPlaylistsListViewController")
        .method<screens::playlists>("loadEntities")
        .method<screens::playlistTitle>("titleForEntity:")
        .method<screens::mediaCellClass>("cellClass");
    screen<MusicPlaylistSongsViewController>("MusicPlaylistSongsViewController")
        .method<screens::collectionItems>("loadEntities")
        .method<screens::songTitle>("titleForEntity:");
    screen<MusicCompilationsViewController>("MusicCompilationsViewController")
        .method<screens::compilations>("loadEntities")
        .method<screens::albumTitle>("titleForEntity:")
        .method<screens::yes>("groupsEntitiesBySection")
        .method<screens::mediaCellClass>("cellClass");

    objc::ClassDef<MusicAlbumsDetailContainerViewController>("MusicAlbumsDetailContainerViewController",
                                                             UIViewController::cls())
        .method<container::loadView>("loadView")
        .method<container::viewDidLayoutSubviews>("viewDidLayoutSubviews")
        .method<container::forwardAppearance>("viewWillAppear:")
        .method<container::forwardAppearance>("viewDidAppear:")
        .method<container::forwardAppearance>("viewWillDisappear:")
        .method<container::forwardAppearance>("viewDidDisappear:")
        .method<container::detailViewController>("detailViewController")
        .method<container::setDetailViewController>("setDetailViewController:");

    objc::ClassDef<MusicTableViewCell>("MusicTableViewCell", UITableViewCell::cls());
    objc::ClassDef<MusicMediaCellContentView>("MusicMediaCellContentView", UIView::cls())
        .method<contentView::artworkImage>("artworkImage")
        .method<contentView::setArtworkImage>("setArtworkImage:")
        .method<contentView::setArtworkImageAnimated>("setArtworkImage:animated:")
        .method<contentView::setNeedsContentReload>("setNeedsContentReload")
        .method<contentView::reloadContent>("reloadContent")
        .method<contentView::drawRect>("drawRect:")
        .OBJC_IVAR(MusicMediaCellContentView, _artworkImage)
        .OBJC_IVAR(MusicMediaCellContentView, _needsContentReload)
        .OBJC_IVAR(MusicMediaCellContentView, _contentReloads);
    objc::ClassDef<MusicMediaTableViewCell>("MusicMediaTableViewCell", MusicTableViewCell::cls())
        .method<mediaCell::initWithStyle>("initWithStyle:reuseIdentifier:")
        .method<mediaCell::artworkImage>("artworkImage")
        .method<mediaCell::setArtworkImage>("setArtworkImage:")
        .method<mediaCell::setArtworkImageAnimated>("setArtworkImage:animated:")
        .method<mediaCell::layoutSubviews>("layoutSubviews")
        .method<mediaCell::prepareForReuse>("prepareForReuse")
        .OBJC_IVAR(MusicMediaTableViewCell, _artworkImage)
        .OBJC_IVAR(MusicMediaTableViewCell, _mediaCellContentView);
    objc::ClassDef<MusicSongListTableViewCell>("MusicSongListTableViewCell", MusicMediaTableViewCell::cls())
        .method<mediaCell::songCellInit>("initWithStyle:reuseIdentifier:");
}
