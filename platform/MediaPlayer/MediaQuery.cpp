// Queries of the media library: MPMediaPredicate, MPMediaPropertyPredicate,
// MPMediaQuery and MPMediaLibrary.
#include "LibraryStore.h"

#include "../UIKit/ObjectSupport.h"

#include <Foundation/NSArray.h>
#include <Foundation/NSDictionary.h>
#include <MediaPlayer/MPMediaQuery.h>

#include <MediaPlayer/MediaLibrary.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <tuple>
#include <unordered_map>

using namespace platform::support;

MPMediaPropertyPredicate::~MPMediaPropertyPredicate() {
    clearStrong(_value);
    clearStrong(_property);
}

MPMediaQuery::~MPMediaQuery() { clearStrong(_filterPredicates); }

namespace platform {

namespace {
std::atomic<bool> addPlaylistNil{false};
std::atomic<bool> listHidden{false};
}  // namespace

void setAddPlaylistAnswersNil(bool on) { addPlaylistNil = on; }
bool addPlaylistAnswersNil() { return addPlaylistNil; }
void setPlaylistsQueryListsHidden(bool on) { listHidden = on; }
bool playlistsQueryListsHidden() { return listHidden; }

}  // namespace platform

namespace platform::medialibrary {

namespace {

// ---------------------------------------------------------------------------
// Predicates as SQL.

// A persistent id from an NSNumber or a decimal NSString, as the signed
// number the database stores.
bool persistentIdValue(id value, int64_t* out) {
    if (auto* n = objectAs<NSNumber>(value)) {
        if (n->kind() == NSNumber::Kind::Float || n->kind() == NSNumber::Kind::Double) return false;
        *out = n->kind() == NSNumber::Kind::Unsigned ? static_cast<int64_t>(n->unsignedLongLongValue())
                                                     : n->longLongValue();
        return true;
    }
    auto* s = objectAs<NSString>(value);
    if (s == nullptr) return false;
    const std::string& text = s->str();
    if (text.empty()) return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    if (text[0] == '-') {
        long long v = std::strtoll(begin, &end, 10);
        *out = v;
    } else {
        if (text[0] < '0' || text[0] > '9') return false;
        unsigned long long v = std::strtoull(begin, &end, 10);
        *out = static_cast<int64_t>(v);
    }
    return errno == 0 && end != nullptr && *end == '\0';
}

struct Clauses {
    std::vector<std::string> sql;
    std::vector<Binding> bindings;

    void add(std::string clause, Binding binding) {
        sql.push_back(std::move(clause));
        bindings.push_back(std::move(binding));
    }
    std::string where(const std::vector<std::string>& extra = {}) const {
        std::string out;
        for (const auto* list : {&extra, &sql})
            for (const std::string& c : *list) out += (out.empty() ? " WHERE " : " AND ") + c;
        return out;
    }
};

// The filter of a query's predicates: clauses on items and, for the
// playlists query, on playlists.
struct Filter {
    Clauses items;
    Clauses playlists;
    bool matchesNothing = false;
    bool hasPlaylistId = false;
    int64_t playlistId = 0;  // of the first playlist-id predicate
    bool hasAlbumId = false;
};

std::string textComparison(const std::string& column, NSInteger comparison) {
    return comparison == MPMediaPredicateComparisonContains ? "instr(lower(" + column + "), lower(?)) > 0"
                                                            : column + " = ?";
}

void addPredicate(Filter& f, id predicate, bool groupedByPlaylist) {
    auto* p = objectAs<MPMediaPropertyPredicate>(predicate);
    auto* property = p ? objectAs<NSString>(p->_property) : nullptr;
    if (property == nullptr) {
        f.matchesNothing = true;
        return;
    }
    const std::string& key = property->str();
    id value = p->_value;
    NSInteger comparison = p->_comparisonType;

    static const std::unordered_map<std::string, std::string> idColumns = {
        {"persistentID", "i.item_pid"},          {"albumPersistentID", "i.album_pid"},
        {"albumArtistPersistentID", "i.album_artist_pid"}, {"genrePersistentID", "i.genre_id"},
        {"composerPersistentID", "i.composer_pid"},
    };
    // Text columns of the item, or of a table the item refers to: "column"
    // or "item column IN (SELECT id FROM table WHERE column".
    struct TextColumn {
        const char* column;
        const char* itemColumn;  // nullptr: the column is the item's own
        const char* table;
        const char* id;
    };
    static const std::unordered_map<std::string, TextColumn> textColumns = {
        {"title", {"i.title", nullptr, nullptr, nullptr}},
        {"artist", {"i.artist", nullptr, nullptr, nullptr}},
        {"albumTitle", {"album", "i.album_pid", "album", "album_pid"}},
        {"albumArtist", {"album_artist", "i.album_artist_pid", "album_artist", "album_artist_pid"}},
        {"genre", {"genre", "i.genre_id", "genre", "genre_id"}},
        {"composer", {"composer", "i.composer_pid", "composer", "composer_pid"}},
    };

    int64_t number = 0;
    if (auto it = idColumns.find(key); it != idColumns.end()) {
        if (!persistentIdValue(value, &number)) f.matchesNothing = true;
        else f.items.add(it->second + " = ?", Binding::integer(number));
        if (key == "albumPersistentID") f.hasAlbumId = true;
        return;
    }
    if (auto it = textColumns.find(key); it != textColumns.end()) {
        auto* text = objectAs<NSString>(value);
        const TextColumn& c = it->second;
        std::string test = textComparison(c.column, comparison);
        if (c.itemColumn)
            test = std::string(c.itemColumn) + " IN (SELECT " + c.id + " FROM " + c.table + " WHERE " + test + ")";
        if (text == nullptr) f.matchesNothing = true;
        else f.items.add(test, Binding::text(text->str()));
        return;
    }
    if (key == "isCompilation" || key == "mediaType") {
        auto* n = objectAs<NSNumber>(value);
        if (n == nullptr) f.matchesNothing = true;
        else if (key == "isCompilation")
            f.items.add("(i.is_compilation <> 0) = ?", Binding::integer(n->boolValue() ? 1 : 0));
        else f.items.add("(i.media_type & ?) <> 0", Binding::integer(n->longLongValue()));
        return;
    }
    if (key == "playlistPersistentID") {
        if (!persistentIdValue(value, &number)) {
            f.matchesNothing = true;
            return;
        }
        if (!f.hasPlaylistId) {
            f.hasPlaylistId = true;
            f.playlistId = number;
        }
        if (groupedByPlaylist) f.playlists.add("ct.container_pid = ?", Binding::integer(number));
        else
            f.items.add("i.item_pid IN (SELECT item_pid FROM container_items WHERE container_pid = ?)",
                        Binding::integer(number));
        return;
    }
    if (key == "name") {
        auto* text = objectAs<NSString>(value);
        if (text == nullptr) {
            f.matchesNothing = true;
        } else if (groupedByPlaylist) {
            f.playlists.add(textComparison("ct.name", comparison), Binding::text(text->str()));
        } else {
            f.items.add("i.item_pid IN (SELECT ci2.item_pid FROM container_items ci2 JOIN container ct2"
                        " ON ct2.container_pid = ci2.container_pid WHERE " +
                            textComparison("ct2.name", comparison) + ")",
                        Binding::text(text->str()));
        }
        return;
    }
    f.matchesNothing = true;
}

Filter filterOf(MPMediaQuery* query) {
    Filter f;
    bool byPlaylist = query->_groupingType == MPMediaGroupingPlaylist;
    id predicates = query->_filterPredicates;
    NSUInteger n = arrayCount(predicates);
    for (NSUInteger i = 0; i < n; ++i) addPredicate(f, arrayObjectAt(predicates, i), byPlaylist);
    return f;
}

// ---------------------------------------------------------------------------
// Loading.

struct GroupRule {
    const char* keyColumn;  // nullptr: every item on its own
    int64_t ItemRow::*key;
    bool (*before)(const ItemRow&, const ItemRow&);
};

GroupRule groupRule(NSInteger grouping) {
    using R = const ItemRow&;
    switch (grouping) {
        case MPMediaGroupingAlbum:
            return {"i.album_pid", &ItemRow::albumPid, [](R a, R b) {
                        return std::tie(a.albumOrder, a.albumPid, a.discNumber, a.trackNumber, a.titleOrder, a.pid) <
                               std::tie(b.albumOrder, b.albumPid, b.discNumber, b.trackNumber, b.titleOrder, b.pid);
                    }};
        case MPMediaGroupingArtist:
        case MPMediaGroupingAlbumArtist:
            return {"i.album_artist_pid", &ItemRow::albumArtistPid, [](R a, R b) {
                        return std::tie(a.albumArtistOrder, a.albumArtistPid, a.albumOrder, a.albumPid, a.discNumber,
                                        a.trackNumber, a.pid) < std::tie(b.albumArtistOrder, b.albumArtistPid,
                                                                          b.albumOrder, b.albumPid, b.discNumber,
                                                                          b.trackNumber, b.pid);
                    }};
        case MPMediaGroupingGenre:
            return {"i.genre_id", &ItemRow::genreId, [](R a, R b) {
                        return std::tie(a.genreOrder, a.genreId, a.albumArtistOrder, a.albumOrder, a.albumPid,
                                        a.discNumber, a.trackNumber, a.pid) <
                               std::tie(b.genreOrder, b.genreId, b.albumArtistOrder, b.albumOrder, b.albumPid,
                                        b.discNumber, b.trackNumber, b.pid);
                    }};
        case MPMediaGroupingComposer:
            return {"i.composer_pid", &ItemRow::composerPid, [](R a, R b) {
                        return std::tie(a.composerOrder, a.composerPid, a.titleOrder, a.pid) <
                               std::tie(b.composerOrder, b.composerPid, b.titleOrder, b.pid);
                    }};
        default:
            return {nullptr, &ItemRow::pid,
                    [](R a, R b) { return std::tie(a.titleOrder, a.pid) < std::tie(b.titleOrder, b.pid); }};
    }
}

std::vector<Binding> concat(const std::vector<Binding>& a, const std::vector<Binding>& b) {
    std::vector<Binding> out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// The items of a query that is not grouped by playlist, in the grouping's
// order; false when the database cannot be read.
bool loadItemRows(MPMediaQuery* query, const Filter& f, std::vector<ItemRow>* rows) {
    GroupRule rule = groupRule(query->_groupingType);
    std::string sql = std::string("SELECT ") + itemColumns();
    std::vector<Binding> bindings;
    bool playlistOrder = rule.keyColumn == nullptr && f.hasPlaylistId;
    if (playlistOrder) {
        sql += " FROM container_items ci JOIN item i ON i.item_pid = ci.item_pid";
        sql += itemJoins();
        bindings.push_back(Binding::integer(f.playlistId));
        sql += f.items.where({"ci.container_pid = ?"}) + " ORDER BY ci.position";
    } else {
        sql += " FROM item i";
        sql += itemJoins();
        std::vector<std::string> extra;
        if (rule.keyColumn) extra.push_back(std::string(rule.keyColumn) + " <> 0");
        sql += f.items.where(extra);
    }
    bindings = concat(bindings, f.items.bindings);
    std::vector<ItemRow> read;
    if (!readItems(sql, bindings, 0, [&](sqlite3_stmt*, ItemRow&& row) { read.push_back(std::move(row)); }))
        return false;
    if (playlistOrder) {
        *rows = std::move(read);
        return true;
    }
    // The songs of one album as the album screen lists them: by disc and track.
    if (rule.keyColumn == nullptr && f.hasAlbumId) rule.before = groupRule(MPMediaGroupingAlbum).before;
    std::vector<uint32_t> order(read.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return rule.before(read[a], read[b]); });
    rows->reserve(read.size());
    for (uint32_t i : order) rows->push_back(std::move(read[i]));
    return true;
}

NSMutableArray* itemsOf(const std::vector<ItemRow>& rows, ValueCache& values) {
    std::vector<id> objects;
    objects.reserve(rows.size());
    NSMutableArray* list = NSMutableArray::make();
    list->items().reserve(rows.size());
    for (const ItemRow& row : rows)
        if (MPConcreteMediaItem* item = itemForRow(row, values)) list->items().emplace_back(objc::as_id(item));
    return list;
}

template <class C>
C* makeCollection(id items, uint64_t pid, NSInteger grouping) {
    auto made = adoptObject<C>(
        objc_msgSend<id(id)>(objc_msgSend<id()>(C::cls(), "alloc"_sel), "initWithItems:"_sel, items), "collection");
    if (!made) return nullptr;
    made->_persistentID = pid;
    made->_groupingType = grouping;
    return autorelease(made.detach());
}

NSMutableArray* playlistCollections(const Filter& f) {
    NSMutableArray* result = NSMutableArray::make();
    struct PlaylistRow {
        int64_t pid;
        Text name;
        int64_t smart;
        std::vector<ItemRow> items;
    };
    std::vector<PlaylistRow> playlists;
    std::unordered_map<int64_t, size_t> index;
    const char* visible = platform::playlistsQueryListsHidden() ? "1" : "ct.is_hidden IS NOT 1";
    bool ok = readRows("SELECT ct.container_pid, ct.name, ct.is_smart FROM container ct" +
                           f.playlists.where({visible}) + " ORDER BY ct.name_order, ct.container_pid",
                       f.playlists.bindings, [&](sqlite3_stmt* st) {
                           index.emplace(sqlite3_column_int64(st, 0), playlists.size());
                           playlists.push_back({sqlite3_column_int64(st, 0), columnText(st, 1),
                                                sqlite3_column_int64(st, 2), {}});
                       });
    if (!ok || playlists.empty()) return result;
    std::string sql = std::string("SELECT ci.container_pid, ") + itemColumns() +
                      " FROM container_items ci JOIN container ct ON ct.container_pid = ci.container_pid"
                      " JOIN item i ON i.item_pid = ci.item_pid" +
                      itemJoins();
    Clauses all = f.playlists;
    all.sql.insert(all.sql.end(), f.items.sql.begin(), f.items.sql.end());
    sql += all.where({visible}) + " ORDER BY ci.container_pid, ci.position";
    ok = readItems(sql, concat(f.playlists.bindings, f.items.bindings), 1, [&](sqlite3_stmt* st, ItemRow&& row) {
        auto it = index.find(sqlite3_column_int64(st, 0));
        if (it != index.end()) playlists[it->second].items.push_back(std::move(row));
    });
    if (!ok) return result;

    ValueCache values;
    bool itemFilter = !f.items.sql.empty();
    for (PlaylistRow& p : playlists) {
        if (itemFilter && p.items.empty()) continue;
        auto* playlist = makeCollection<MPConcreteMediaPlaylist>(objc::as_id(itemsOf(p.items, values)),
                                                                 static_cast<uint64_t>(p.pid), MPMediaGroupingPlaylist);
        if (playlist == nullptr) continue;
        auto* d = objectAs<NSMutableDictionary>(playlist->_properties);
        if (p.name) d->setObject(NSString::make(*p.name), MPMediaPlaylistPropertyName);
        d->setObject(NSNumber::withUnsignedLongLong(static_cast<uint64_t>(p.pid)), MPMediaPlaylistPropertyPersistentID);
        d->setObject(NSNumber::withLongLong(p.smart ? static_cast<long long>(MPMediaPlaylistAttributeSmart) : 0),
                     MPMediaPlaylistPropertyPlaylistAttributes);
        result->addObject(objc::as_id(playlist));
    }
    return result;
}

// ---------------------------------------------------------------------------
// MPMediaPropertyPredicate.

namespace predicate {

id withValueForPropertyComparison(objc_class* cls, SEL, id value, id property, NSInteger comparison) {
    auto made = adoptObject<MPMediaPropertyPredicate>(newObject(cls), "predicate");
    if (!made) return nil;
    // Values are kept as they are given (the platform's values are immutable).
    storeStrong(made->_value, value);
    storeStrong(made->_property, property);
    made->_comparisonType = comparison;
    return autorelease(made.detach());
}

id withValueForProperty(objc_class* cls, SEL, id value, id property) {
    return objc_msgSend<id(id, id, NSInteger)>(cls, "predicateWithValue:forProperty:comparisonType:"_sel, value,
                                               property, MPMediaPredicateComparisonEqualTo);
}

id value(MPMediaPropertyPredicate* self, SEL) { return self->_value; }
id property(MPMediaPropertyPredicate* self, SEL) { return self->_property; }
NSInteger comparisonType(MPMediaPropertyPredicate* self, SEL) { return self->_comparisonType; }

}  // namespace predicate

// ---------------------------------------------------------------------------
// MPMediaQuery.

namespace query {

id init(MPMediaQuery* self, SEL) {
    return objc_msgSend<id(id)>(self, "initWithFilterPredicates:"_sel, nullptr);
}

// The predicates of an NSArray, or of a set (anything answering allObjects).
id predicateList(id predicates) {
    if (predicates == nullptr) return nil;
    if (objc_isKindOfClass(predicates, NSArray::cls())) return predicates;
    if (objc_msgSend<BOOL(SEL)>(predicates, "respondsToSelector:"_sel, "allObjects"_sel))
        return objc_msgSend<id()>(predicates, "allObjects"_sel);
    return nil;
}

id initWithFilterPredicates(MPMediaQuery* self, SEL, id predicates) {
    self = objectAs<MPMediaQuery>(objc_msgSendSuper<id()>(self, MPMediaQuery::cls(), "init"_sel));
    if (self == nullptr) return nil;
    NSMutableArray* list = NSMutableArray::make();
    if (auto* given = objectAs<NSArray>(predicateList(predicates))) list->addObjectsFromArray(given);
    storeStrong(self->_filterPredicates, objc::as_id(list));
    self->_groupingType = MPMediaGroupingTitle;
    return self;
}

id filterPredicates(MPMediaQuery* self, SEL) {
    return objc_autorelease(objc_msgSend<id()>(self->_filterPredicates, "copy"_sel));
}

void setFilterPredicates(MPMediaQuery* self, SEL, id predicates) {
    NSMutableArray* list = NSMutableArray::make();
    if (auto* given = objectAs<NSArray>(predicateList(predicates))) list->addObjectsFromArray(given);
    storeStrong(self->_filterPredicates, objc::as_id(list));
}

void addFilterPredicate(MPMediaQuery* self, SEL, id predicate) {
    if (predicate == nullptr) return;
    arrayAdd(self->_filterPredicates, predicate);
}

void removeFilterPredicate(MPMediaQuery* self, SEL, id predicate) {
    if (predicate == nullptr) return;
    objc_msgSend<void(id)>(self->_filterPredicates, "removeObject:"_sel, predicate);
}

NSInteger groupingType(MPMediaQuery* self, SEL) { return self->_groupingType; }
void setGroupingType(MPMediaQuery* self, SEL, NSInteger grouping) { self->_groupingType = grouping; }

id items(MPMediaQuery* self, SEL) {
    if (self->_groupingType != MPMediaGroupingTitle) {
        NSMutableArray* all = NSMutableArray::make();
        id collections = objc_msgSend<id()>(self, "collections"_sel);
        NSUInteger n = arrayCount(collections);
        for (NSUInteger i = 0; i < n; ++i) {
            auto* list = objectAs<NSArray>(objc_msgSend<id()>(arrayObjectAt(collections, i), "items"_sel));
            if (list) all->addObjectsFromArray(list);
        }
        return all;
    }
    Filter f = filterOf(self);
    std::vector<ItemRow> rows;
    if (f.matchesNothing || !loadItemRows(self, f, &rows)) return NSMutableArray::make();
    ValueCache values;
    return itemsOf(rows, values);
}

id collections(MPMediaQuery* self, SEL) {
    Filter f = filterOf(self);
    if (f.matchesNothing) return NSMutableArray::make();
    if (self->_groupingType == MPMediaGroupingPlaylist) return playlistCollections(f);

    std::vector<ItemRow> rows;
    NSMutableArray* result = NSMutableArray::make();
    if (!loadItemRows(self, f, &rows)) return result;
    GroupRule rule = groupRule(self->_groupingType);
    // Groups in the order of their first item; a group's items in row order.
    std::vector<std::pair<int64_t, std::vector<size_t>>> groups;
    std::unordered_map<int64_t, size_t> index;
    for (size_t i = 0; i < rows.size(); ++i) {
        int64_t key = rows[i].*rule.key;
        auto [it, added] = index.emplace(key, groups.size());
        if (added) groups.push_back({key, {}});
        groups[it->second].second.push_back(i);
    }
    ValueCache values;
    for (auto& [key, members] : groups) {
        NSMutableArray* list = NSMutableArray::make();
        list->items().reserve(members.size());
        for (size_t i : members)
            if (MPConcreteMediaItem* item = itemForRow(rows[i], values)) list->items().emplace_back(objc::as_id(item));
        auto* c = makeCollection<MPConcreteMediaItemCollection>(objc::as_id(list), static_cast<uint64_t>(key),
                                                                self->_groupingType);
        if (c) result->addObject(objc::as_id(c));
    }
    return result;
}

id copyWithZone(MPMediaQuery* self, SEL, id) {
    id copy = objc_msgSend<id(id)>(objc_msgSend<id()>(object_getClass(self), "alloc"_sel),
                                   "initWithFilterPredicates:"_sel, self->_filterPredicates);
    objc_msgSend<void(NSInteger)>(copy, "setGroupingType:"_sel, self->_groupingType);
    return copy;
}

template <NSInteger Grouping>
id grouped(objc_class* cls, SEL) {
    id q = objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel);
    objc_msgSend<void(NSInteger)>(q, "setGroupingType:"_sel, Grouping);
    return objc_autorelease(q);
}

id compilationsQuery(objc_class* cls, SEL) {
    id q = objc_msgSend<id()>(cls, "albumsQuery"_sel);
    id p = objc_msgSend<id(id, id)>(MPMediaPropertyPredicate::cls(), "predicateWithValue:forProperty:"_sel,
                                    NSNumber::withBool(true), MPMediaItemPropertyIsCompilation);
    objc_msgSend<void(id)>(q, "addFilterPredicate:"_sel, p);
    return q;
}

}  // namespace query

// ---------------------------------------------------------------------------
// MPMediaLibrary.

namespace library {

id defaultMediaLibrary(objc_class* cls, SEL) {
    static id shared = objc_msgSend<id()>(objc_msgSend<id()>(cls, "alloc"_sel), "init"_sel);
    return shared;
}

// A new visible playlist with a fresh persistent id.
id addPlaylistWithName(MPMediaLibrary*, SEL, id name) {
    auto* text = objectAs<NSString>(name);
    if (text == nullptr || platform::addPlaylistAnswersNil()) return nil;
    static std::mt19937_64 ids{std::random_device{}()};
    static std::mutex idLock;
    int64_t pid = 0;
    bool ok = writeLibrary([&](sqlite3* db) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            {
                std::lock_guard<std::mutex> g(idLock);
                pid = static_cast<int64_t>(ids());
            }
            if (pid == 0) continue;
            int64_t order = 0;
            int section = 0;
            int changes = 0;
            if (!sortOrderForName(db, text->str(), &order, &section)) return false;
            if (!execute(db,
                         "INSERT OR IGNORE INTO container (container_pid, name, name_order, name_order_section, "
                         "is_hidden, date_created, date_modified) VALUES (?, ?, ?, ?, 0, strftime('%s','now'), "
                         "strftime('%s','now'))",
                         {Binding::integer(pid), Binding::text(text->str()), Binding::integer(order),
                          Binding::integer(section)},
                         &changes))
                return false;
            if (changes > 0) return true;
        }
        return false;
    });
    if (!ok) return nil;
    auto* playlist = makeCollection<MPConcreteMediaPlaylist>(objc::as_id(NSArray::make({})), static_cast<uint64_t>(pid),
                                                             MPMediaGroupingPlaylist);
    if (playlist == nullptr) return nil;
    auto* d = objectAs<NSMutableDictionary>(playlist->_properties);
    d->setObject(text, MPMediaPlaylistPropertyName);
    d->setObject(NSNumber::withUnsignedLongLong(static_cast<uint64_t>(pid)), MPMediaPlaylistPropertyPersistentID);
    d->setObject(NSNumber::withLongLong(0), MPMediaPlaylistPropertyPlaylistAttributes);
    return playlist;
}

}  // namespace library

}  // namespace

void registerQueryClasses() {
    objc::ClassDef<MPMediaPredicate>("MPMediaPredicate", NSObject::cls());
    objc::ClassDef<MPMediaPropertyPredicate>("MPMediaPropertyPredicate", MPMediaPredicate::cls())
        .classMethod<predicate::withValueForProperty>("predicateWithValue:forProperty:")
        .classMethod<predicate::withValueForPropertyComparison>("predicateWithValue:forProperty:comparisonType:")
        .method<predicate::value>("value")
        .method<predicate::property>("property")
        .method<predicate::comparisonType>("comparisonType")
        .OBJC_IVAR(MPMediaPropertyPredicate, _value)
        .OBJC_IVAR(MPMediaPropertyPredicate, _property);
    objc::ClassDef<MPMediaQuery>("MPMediaQuery", NSObject::cls())
        .classMethod<query::grouped<MPMediaGroupingTitle>>("songsQuery")
        .classMethod<query::grouped<MPMediaGroupingAlbum>>("albumsQuery")
        .classMethod<query::grouped<MPMediaGroupingArtist>>("artistsQuery")
        .classMethod<query::grouped<MPMediaGroupingAlbumArtist>>("albumArtistsQuery")
        .classMethod<query::grouped<MPMediaGroupingComposer>>("composersQuery")
        .classMethod<query::grouped<MPMediaGroupingGenre>>("genresQuery")
        .classMethod<query::grouped<MPMediaGroupingPlaylist>>("playlistsQuery")
        .classMethod<query::compilationsQuery>("compilationsQuery")
        .method<query::init>("init")
        .method<query::initWithFilterPredicates>("initWithFilterPredicates:")
        .method<query::filterPredicates>("filterPredicates")
        .method<query::setFilterPredicates>("setFilterPredicates:")
        .method<query::addFilterPredicate>("addFilterPredicate:")
        .method<query::removeFilterPredicate>("removeFilterPredicate:")
        .method<query::groupingType>("groupingType")
        .method<query::setGroupingType>("setGroupingType:")
        .method<query::items>("items")
        .method<query::collections>("collections")
        .method<query::copyWithZone>("copyWithZone:")
        .OBJC_IVAR(MPMediaQuery, _filterPredicates);
    objc::ClassDef<MPMediaLibrary>("MPMediaLibrary", NSObject::cls())
        .classMethod<library::defaultMediaLibrary>("defaultMediaLibrary")
        .method<library::addPlaylistWithName>("addPlaylistWithName:");
}

}  // namespace platform::medialibrary
