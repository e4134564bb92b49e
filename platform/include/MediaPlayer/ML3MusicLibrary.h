// ML3MusicLibrary: the Music app's private media-library object (looked up by
// name, +sharedLibrary), over the same database as the MediaPlayer classes.
//
//   -fetchItemArtworkForPersistentID:   id(unsigned long long)
//       an ML3Artwork (artworkToken, relativePath; either nil) of the item's
//       artwork row: the sync token when set, else the best one (the same rule
//       as the items' artwork)
//   -deleteArtworkWithToken:            void(id)   the artwork row and its files
//   -importOriginalArtworkFromImageData:withArtworkToken:artworkType:sourceType:mediaType:
//       BOOL(id data, id token, long, long, long)  writes the JPEG under the
//       artwork folder at a new relative path and sets the token's artwork row
//   -_autogenerateArtworkForRelativePath:artworkType:mediaType:completionHandler:
//       void(id, long, long, id)
//   -_autogenerateArtworkForRelativePath:artworkType:mediaType:
//       void(id, long, long)   write the smaller sizes (kArtworkSizes) of an
//       original under the artwork caches folder, "SIZExSIZE/RELATIVE_PATH"
//   -deleteOrphanedArtworkWithSearchOptions:   void(long)
//       removes artwork rows (and files) no item_artwork row names
//
// An import writes item_artwork.sync_artwork_token only through the caller
// (DBHandler); the items and the edit sheet read the sync token before the
// best one, so a new import shows at once.
#pragma once

#include <string>
#include <vector>

namespace platform::ml3 {

inline constexpr int kArtworkSizes[] = {600, 100};
// "/var/mobile/Media/iTunes_Control/iTunes/Artwork/Caches".
const char* artworkCachesDevicePath();

// Test switches: imports answer NO; either form of the size generation is
// missing (respondsToSelector: answers NO and a send raises).
void setRefusesImports(bool refuses);
void setAutogenerateForms(bool withHandler, bool withoutHandler);
// Every call made, as "SELECTOR ARG…", in order; thread-safe.
std::vector<std::string> callLog();
void clearCallLog();

void registerML3MusicLibrary();

}  // namespace platform::ml3
