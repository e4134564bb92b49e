// Shared by the edit-sheet tests: the record a swipe on an entity's row
// would fill.
#pragma once

#include "ItemEntry.h"

#include <Foundation/Foundation.h>
#include <MusicApp/MusicApp.h>
#include <UIKit/UIKit.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace test {

// Opens `screen` (launching the app first when needed; "" keeps the screen
// on show) and fills a record from the row that shows the entity `pid`;
// empty (and a test failure) when no row shows it.
inline Strong<ItemEntry> entryForRow(platform::MusicApp& app, const std::string& screen, unsigned long long pid,
                                     std::optional<unsigned long long> container = std::nullopt) {
    if (!app.launched()) app.launch();
    std::string error;
    if (!screen.empty()) {
        EXPECT_TRUE(app.openScreen(screen, container, &error)) << error;
    }
    id controller = objc::as_id(app.currentScreen());
    id source = objc_msgSend<id()>(controller, "dataSource"_sel);
    auto* tv = static_cast<UITableView*>(objc_msgSend<id()>(controller, "tableView"_sel));
    auto path = [](NSInteger row, NSInteger section) {
        return objc_msgSend<NSIndexPath*(NSInteger, NSInteger)>(NSIndexPath::cls(), "indexPathForRow:inSection:"_sel,
                                                                row, section);
    };
    for (NSInteger s = 0, n = objc_msgSend<NSInteger()>(tv, "numberOfSections"_sel); s < n; ++s)
        for (NSInteger r = 0, m = objc_msgSend<NSInteger(NSInteger)>(tv, "numberOfRowsInSection:"_sel, s); r < m; ++r) {
            id dsPath = objc_msgSend<id(id)>(controller, "dataSourceIndexPathForIndexPath:"_sel, path(r, s));
            if (dsPath == nil) continue;
            id entity = objc_msgSend<id(id)>(source, "entityAtIndexPath:"_sel, dsPath);
            if (objc_msgSend<unsigned long long()>(entity, "persistentID"_sel) != pid) continue;
            auto entry = Strong<ItemEntry>::adopt(
                static_cast<ItemEntry*>(objc_msgSend<id()>(objc_msgSend<id()>(ItemEntry::cls(), "alloc"_sel), "init"_sel)));
            assignMediaItem(tv, path(r, s), getViewIndex(controller), entry.get(), nil);
            return entry;
        }
    ADD_FAILURE() << "no row shows " << pid << " on " << screen;
    return {};
}

}  // namespace test
