// MusicLibraryDataSource: the entities of a list screen (media items or
// media item collections) in sections.
//
//   initWithEntities:titles:grouped:   id(id, id, BOOL)   NSArray of entities and an NSArray of
//                                      their titles (NSString, same order). Not grouped: one
//                                      section holding every entity (none when there are none).
//                                      Grouped: consecutive entities whose titles fall in the
//                                      same letter (the media library's sort sections, A..Z then
//                                      "#") form one section; the entities come in the
//                                      library's sort order, as its queries give them
//   entities                           id()           NSArray, in order
//   numberOfSections                   NSInteger()
//   numberOfEntitiesInSection:         NSInteger(NSInteger)   0 for a section that does not exist
//   titleForSection:                   id(NSInteger)  "A".."Z", "#", or nil when not grouped
//   entityAtIndexPath:                 id(id)         nil outside the sections
//   titleAtIndexPath:                  id(id)         the title given for that entity
//   indexPathForEntity:                id(id)         the first place of the entity (pointer
//                                                     identity), nil when absent
//
// It also serves a table directly (the flipside album view's):
//   numberOfSectionsInTableView:       NSInteger(id)
//   tableView:numberOfRowsInSection:   NSInteger(id, NSInteger)
//   tableView:cellForRowAtIndexPath:   id(id, id)     a MusicSongListTableViewCell with the title
#pragma once

#include <objc/NSObject.h>

#include <string>
#include <vector>

struct MusicLibraryDataSource : NSObject {
    OBJC_CLASS(MusicLibraryDataSource)

    struct Section {
        std::string title;  // empty when not grouped
        NSUInteger start;   // index of its first entity
        NSUInteger count;
    };

    id _entities = nil;  // owned NSArray
    id _titles = nil;    // owned NSArray
    std::vector<Section> _sections;

    ~MusicLibraryDataSource() override;
};
