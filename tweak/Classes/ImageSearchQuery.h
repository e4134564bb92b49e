// ImageSearchQuery: a second way into the image search (no screen uses it).
//
//   searchViewController / setSearchViewController:   id() / void(id)   retained
//   findImages:andViewController:   void(id query, id presenter)   the query's spaces
//       become "%20"; a SearchQueryViewController from the library's bundle gets it and
//       is presented, animated, without a fetch and without a delegate
#pragma once

#include <objc/NSObject.h>

struct ImageSearchQuery : NSObject {
    OBJC_CLASS(ImageSearchQuery)

    Strong<NSObject> searchViewController;
};

void registerImageSearchQuery();
