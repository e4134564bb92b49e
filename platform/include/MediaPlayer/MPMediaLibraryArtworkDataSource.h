// MPMediaLibraryArtworkDataSource: hands out the artwork of library items.
//
//   _cacheRepresentation:forCatalog:   id(id, id)   the representation to cache
//                                                  for a catalog: the one given
#pragma once

#include <objc/NSObject.h>

struct MPMediaLibraryArtworkDataSource : NSObject {
    OBJC_CLASS(MPMediaLibraryArtworkDataSource)
};
