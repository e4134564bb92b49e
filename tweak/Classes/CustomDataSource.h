// CustomDataSource: the web image search's results and the grid's data
// source.
//
//   init                 id()      no results
//   elements             id()      NSMutableArray of MosaicData, in result order
//   searchString / setSearchString:   id() / void(id)   the query as it goes into the
//                        request (already escaped by the caller)
//   loadFromDisk         void()    fetches the three pages of 8 results, one after the
//                        other on the calling thread, and makes `elements` anew. The
//                        three pages together take at most searchSeconds(): each page
//                        gets what is left of it (with nothing left it is not asked);
//                        a page that fails is logged with its reason
//   numberOfSectionsInCollectionView:, collectionView:numberOfItemsInSection:,
//   collectionView:cellForItemAtIndexPath:   one section; a "Cell" (MosaicCell) per element
//
// A page adds the entries of its "responseData" object's "results" array
// that are objects; anything else in a page (no object at the top, no
// such object or array, bad JSON, no answer) adds nothing. An entry becomes
// a MosaicData with its "url" (when a string) and the caption "WIDTHxHEIGHT".
#pragma once

#include <objc/NSObject.h>

#include <mutex>
#include <string>

struct NSMutableArray;
struct NSString;

struct CustomDataSource : NSObject {
    OBJC_CLASS(CustomDataSource)

    std::mutex lock;  // both properties are atomic
    Strong<NSMutableArray> elements;
    Strong<NSString> searchString;
};

namespace cantrel::imagesearch {

// The image-search service: CANTREL_IMAGE_SEARCH_ENDPOINT when it is an
// http:// or https:// address, else kDefaultEndpoint, which no service
// answers (none ships with the library).
inline constexpr const char* kDefaultEndpoint = "https://image-search.cantrel.invalid";
inline constexpr int kResultsPerPage = 8;
inline constexpr unsigned long kPages = 3;
inline constexpr double kSearchSeconds = 15;
// The time the three pages have together: kSearchSeconds, or what a test set
// (0 or less sets it back).
double searchSeconds();
void setSearchSeconds(double seconds);
std::string endpoint();

// The address of one page (0, 1, 2) of results for the query.
std::string pageAddress(const std::string& query, unsigned long page);

// The elements (MosaicData, autoreleased NSMutableArray) of one page's
// parsed answer: one per object of its "responseData" object's "results"
// array; none for any other answer (nil included).
id elementsOfPage(id answer);

}  // namespace cantrel::imagesearch

void registerCustomDataSource();
